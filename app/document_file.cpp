// The document file: lines read with a size bound, formulas through the kernel's reader (which
// bounds depth and operand counts itself), each row coloured by its place in the file.
#include "app/document_file.h"

#include <fstream>

#include "app/typed_keys.h"
#include "kernel/text/formula_reader.h"
#include "kernel/trees/expr_node.h"

namespace {

constexpr std::streamsize kMaxDocumentBytes = 1 << 20;
const std::string kKeys = "@keys ";

// The line without blanks outside double quotes (a doubled quote stays inside the text).
std::string Compact(const std::string& line) {
  std::string out;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') quoted = !quoted;
    if (quoted || (c != ' ' && c != '\t' && c != '\r')) out += c;
  }
  return out;
}

// Splits "@xytype=N rest" into the setting and the rest; lines without it leave *xyType as it
// is. *present: the line held a setting. False for a setting that is not a whole number 0..7, or
// an "@" that starts neither a setting nor typed keys.
bool ReadRowSetting(std::string* line, double* xyType, bool* present) {
  *present = false;
  const size_t start = line->find_first_not_of(" \t");
  if (start == std::string::npos || (*line)[start] != '@' || line->compare(start, kKeys.size(), kKeys) == 0) {
    return true;
  }
  static const std::string kName = "@xytype=";
  if (line->compare(start, kName.size(), kName) != 0) return false;
  const size_t value = start + kName.size();
  if (value >= line->size() || (*line)[value] < '0' || (*line)[value] > '7') return false;
  const size_t end = value + 1;
  if (end < line->size() && (*line)[end] != ' ' && (*line)[end] != '\t') return false;
  *xyType = (*line)[value] - '0';
  *line = line->substr(end);
  *present = true;
  return true;
}

// A document line "@view=2d" or "@view=3d" (blanks around it allowed): *is3D set, *present true.
// False for another "@view" value; a line that is no view setting leaves both alone.
bool ReadViewSetting(const std::string& line, bool* is3D, bool* present) {
  static const std::string kName = "@view=";
  *present = false;
  const std::string compact = Compact(line);
  if (compact.compare(0, kName.size(), kName) != 0) return true;
  const std::string value = compact.substr(kName.size());
  if (value != "2d" && value != "3d") return false;
  *is3D = value == "3d";
  *present = true;
  return true;
}

// The keys of an "@keys KEYS" line (blanks are keys; a final carriage return is not), or false
// for a line of bracket notation.
bool KeysOfLine(const std::string& line, std::string* keys) {
  const size_t start = line.find_first_not_of(" \t");
  if (start == std::string::npos || line.compare(start, kKeys.size(), kKeys) != 0) return false;
  *keys = line.substr(start + kKeys.size());
  if (!keys->empty() && keys->back() == '\r') keys->pop_back();
  return true;
}

}  // namespace

bool ReadDocumentFile(const std::string& path, DocumentRecord* document, std::vector<int>* lineOfRow,
                      std::vector<DocumentProblem>* problems, std::string* failure) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    *failure = "cannot open " + path;
    return false;
  }
  std::string text(kMaxDocumentBytes + 1, '\0');
  file.read(text.data(), kMaxDocumentBytes + 1);
  if (file.bad()) {
    *failure = "cannot read " + path;
    return false;
  }
  if (file.gcount() > kMaxDocumentBytes) {
    *failure = path + " is larger than 1 MiB";
    return false;
  }
  text.resize(static_cast<size_t>(file.gcount()));
  size_t start = 0;
  for (int line = 1; start < text.size(); ++line) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string raw = text.substr(start, end - start);
    start = end + 1;
    bool viewLine = false;
    if (!ReadViewSetting(raw, &document->show3D, &viewLine)) {
      problems->push_back({line, "bad view setting (\"@view=2d\" or \"@view=3d\" expected)"});
      continue;
    }
    if (viewLine) continue;
    double xyType = EquationRow{}.xyType;
    bool setting = false;
    if (!ReadRowSetting(&raw, &xyType, &setting)) {
      problems->push_back({line, "bad row setting (\"@xytype=N\" with N from 0 to 7 expected)"});
      continue;
    }
    std::string keys, reason;
    ExprNode* tree = nullptr;
    if (KeysOfLine(raw, &keys)) {
      tree = TypeFormulaKeys(keys, &reason);
      if (tree == nullptr) {
        problems->push_back({line, "cannot type the formula: " + reason});
        continue;
      }
    } else {
      const std::string formula = Compact(raw);
      if (formula.empty() || formula[0] == '#') {
        // A setting applies to the formula on its own line; alone it would be lost without a word.
        if (setting) problems->push_back({line, "a row setting without a formula (\"@xytype=N formula\" expected)"});
        continue;
      }
      if (formula.find('\0') != std::string::npos) {
        problems->push_back({line, "the line holds a NUL byte"});
        continue;
      }
      SetFormulaReaderText(formula.c_str());
      tree = ParseFormulaText();
      if (tree == nullptr) {
        problems->push_back({line, "cannot read the formula (bracket notation expected, e.g. equal[y,power[x,2]])"});
        continue;
      }
    }
    EquationRow* row = document->AppendEquationRow(tree);
    if (row == nullptr) {
      FreeExpression(tree);
      *failure = "not enough memory for the rows of " + path;
      return false;
    }
    row->color = (document->rows.count - 1) % 8 + 1;  // the eight fixed colours in turn
    row->xyType = xyType;
    lineOfRow->push_back(line);
  }
  return true;
}
