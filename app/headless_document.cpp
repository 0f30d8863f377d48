// The headless document and its file: lines read with a size bound, formulas through the
// kernel's reader (which bounds depth and operand counts itself).
#include "app/headless_document.h"

#include <fstream>
#include <iterator>

#include "kernel/text/formula_reader.h"
#include "kernel/trees/expr_node.h"

namespace {

constexpr std::streamsize kMaxDocumentBytes = 1 << 20;

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

}  // namespace

HeadlessDocument::~HeadlessDocument() {
  ViewSetDeleteAllGraphs(&viewSet);
  DestroyViewSet(&viewSet);
  for (EquationRow& row : rows) FreeExpression(row.expression);
}

bool ReadDocumentFile(const std::string& path, HeadlessDocument* document, std::vector<DocumentProblem>* problems,
                      std::string* failure) {
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
    const std::string formula = Compact(text.substr(start, end - start));
    start = end + 1;
    if (formula.empty() || formula[0] == '#') continue;
    if (formula.find('\0') != std::string::npos) {
      problems->push_back({line, "the line holds a NUL byte"});
      continue;
    }
    SetFormulaReaderText(formula.c_str());
    ExprNode* tree = ParseFormulaText();
    if (tree == nullptr) {
      problems->push_back({line, "cannot read the formula (bracket notation expected, e.g. equal[y,power[x,2]])"});
      continue;
    }
    EquationRow row;
    row.expression = tree;
    document->rows.push_back(row);
    document->lineOfRow.push_back(line);
  }
  return true;
}
