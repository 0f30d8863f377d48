// The document file: lines read with a size bound, formulas through the kernel's reader (which
// bounds depth and operand counts itself), each row coloured by its place in the file.
#include "document/document_file.h"

#include <algorithm>
#include <cctype>
#include <fstream>

#include "document/document_ranges.h"
#include "document/equation_sliders.h"
#include "document/row_settings.h"
#include "document/typed_keys.h"
#include "editor/formula_editor.h"
#include "graphs/factory/definitions.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/text/bracket_writer.h"
#include "kernel/text/formula_reader.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"

namespace {

constexpr std::streamsize kMaxDocumentBytes = 1 << 20;
constexpr const char* kBadXyType = "bad row setting (\"@xytype=N\" with N from 0 to 7 expected)";
constexpr const char* kUnknownRowSetting =
    "bad row setting (\"@xytype=N\", \"@slider=P\", \"@colour=N\", \"@grain=G\", \"@opacity=A\", \"@mode=M\" or "
    "\"@side=S\" expected)";
constexpr const char* kNoSliderProblem =
    "a slider setting on a formula that defines no slider (\"@slider=P a = slider(MIN, MAX)\" expected)";
// "type:" and its earlier spelling "@keys ".
const std::string kTypePrefixes[] = {"type:", "@keys "};

// The keys of a "type: KEYS" line (the blanks before the first key and a final carriage return
// dropped) and the spelling that introduced them, or false for a line of bracket notation.
bool KeysOfLine(const std::string& line, std::string* keys, std::string* spelling) {
  const size_t start = line.find_first_not_of(" \t");
  if (start == std::string::npos) return false;
  size_t length = 0;
  for (const std::string& prefix : kTypePrefixes)
    if (line.compare(start, prefix.size(), prefix) == 0) length = prefix.size(), *spelling = prefix;
  if (length == 0) return false;
  const size_t first = line.find_first_not_of(" \t", start + length);
  *keys = first == std::string::npos ? std::string() : line.substr(first);
  if (!keys->empty() && keys->back() == '\r') keys->pop_back();
  return true;
}

// True when the tree still holds an empty place (a prompt): such a formula cannot be graphed.
bool HoldsPrompt(ExprNode* tree) {
  TreeCursor cursor(tree, WalkOrder::kPreOrder);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next())
    if (n->kind == KindPrompt) return true;
  return false;
}

// A new row's editor with the keys typed into it, as a user would in the window; null with
// *reason set when the keys cannot be decoded, one of them does nothing, they leave an empty place
// in the formula, or memory is refused.
FormulaEditor* TypeRow(const std::string& keys, const std::string& spelling, DocumentRecord* document,
                       std::string* reason) {
  std::vector<TypedKey> decoded;
  if (!DecodeTypedKeys(keys, &decoded, reason)) return nullptr;
  if (decoded.empty()) {
    *reason = "no keys after \"" + spelling.substr(0, spelling.find_last_not_of(' ') + 1) + "\"";
    return nullptr;
  }
  InitTypesetting();
  FormulaEditor* editor = NewFormulaEditor();
  if (editor == nullptr) {
    *reason = "not enough memory for a formula editor";
    return nullptr;
  }
  bool typed = TypeKeysIntoEditor(decoded, editor, document, reason);
  if (typed && HoldsPrompt(editor->root)) {
    *reason = "the typed formula still has an empty place";
    typed = false;
  }
  if (typed) return editor;
  DisposeFormulaEditor(editor);
  return nullptr;
}

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

// The value of a setting line "NAME=VALUE" (blanks outside quotes dropped, the name given with its
// "="), or false for a line that is no such setting.
bool SettingValue(const std::string& line, const std::string& name, std::string* value) {
  const std::string compact = Compact(line);
  if (compact.compare(0, name.size(), name) != 0) return false;
  *value = compact.substr(name.size());
  return true;
}

// The tree of a formula in bracket notation (blanks already dropped, no NUL byte); null when it
// cannot be read.
ExprNode* ReadFormula(const std::string& formula) {
  SetFormulaReaderText(formula.c_str());  // the reader keeps the pointer until it is done
  return ParseFormulaText();
}

// The settings a formula line may start with, each at most once and in any order:
// "@xytype=N " (N 0..7, the row's xy type), "@slider=P " (P 0..kMaxSliderSteps, the position of
// the slider the row defines) and the row settings of row_settings.h ("@colour=N ", ...).
struct RowSettings {
  double xyType = EquationRow{}.xyType;
  int32_t sliderPosition = -1;  // -1: none given
  bool xyTypeGiven = false;
  double values[kRowSettingCount] = {};
  bool given[kRowSettingCount] = {};
  std::string first;  // the first setting read, as a line gives it ("@slider=P"); empty for none
};

// A whole number of at most `limit` at `at` of the line, ended by a blank, a tab or the line's
// end; *end past its digits. False for anything else.
bool ReadSettingNumber(const std::string& line, size_t at, int32_t limit, int32_t* value, size_t* end) {
  int64_t n = 0;
  size_t i = at;
  for (; i < line.size() && line[i] >= '0' && line[i] <= '9' && n <= limit; ++i) n = n * 10 + (line[i] - '0');
  if (i == at || n > limit || (i < line.size() && line[i] != ' ' && line[i] != '\t')) return false;
  *value = static_cast<int32_t>(n);
  *end = i;
  return true;
}

// The problem of settings alone on their line, naming the first one given.
std::string RowSettingWithoutFormula(const RowSettings& settings) {
  return std::string("a row setting without a formula (\"") + settings.first + " formula\" expected)";
}

// The row setting of row_settings.h at `start` of the line ("@colour=2 "): its value read up to the
// next blank, *end past it. False, with *reason set, for a bad value or one given before.
bool ReadTableSetting(const std::string& line, size_t start, RowSetting which, RowSettings* settings, size_t* end,
                      std::string* reason) {
  const int32_t k = static_cast<int32_t>(which);
  const std::string name = std::string("@") + RowSettingName(which) + "=";
  if (settings->given[k]) {
    *reason = "\"" + name + "\" given twice on the line (each row setting once)";
    return false;
  }
  const size_t value = start + name.size();
  *end = std::min(line.find_first_of(" \t", value), line.size());
  if (!ReadRowSettingValue(which, std::string_view(line).substr(value, *end - value), &settings->values[k])) {
    *reason = RowSettingRefusal(which);
    return false;
  }
  settings->given[k] = true;
  return true;
}

// The row setting of the table named at `start` of the line ("@NAME="); false for none.
bool TableSettingAt(const std::string& line, size_t start, RowSetting* which) {
  const size_t equals = line.find('=', start);
  return equals != std::string::npos && RowSettingByName(std::string_view(line).substr(start + 1, equals - start - 1), which);
}

// Takes the row settings off the front of the line, leaving the rest. An "@" that starts neither a
// setting nor typed keys, or a setting with a bad value, is refused with *reason set.
bool ReadRowSettings(std::string* line, RowSettings* settings, std::string* reason) {
  static const std::string kXyType = "@xytype=", kSlider = "@slider=";
  for (;;) {
    const size_t start = line->find_first_not_of(" \t");
    if (start == std::string::npos || (*line)[start] != '@') return true;
    if (line->compare(start, kTypePrefixes[1].size(), kTypePrefixes[1]) == 0) return true;  // typed keys
    int32_t value = 0;
    size_t end = 0;
    const bool xyType = line->compare(start, kXyType.size(), kXyType) == 0;
    const bool slider = line->compare(start, kSlider.size(), kSlider) == 0;
    RowSetting which = RowSetting::kColour;
    if (!xyType && !slider && TableSettingAt(*line, start, &which)) {
      if (!ReadTableSetting(*line, start, which, settings, &end, reason)) return false;
      if (settings->first.empty()) settings->first = RowSettingForm(which);
      *line = line->substr(end);
      continue;
    }
    // Each setting once: a second value would silently overrule the first.
    if ((xyType && settings->xyTypeGiven) || (slider && settings->sliderPosition >= 0)) {
      *reason = "\"" + (xyType ? kXyType : kSlider) + "\" given twice on the line (each row setting once)";
      return false;
    }
    if (xyType) {
      if (!ReadSettingNumber(*line, start + kXyType.size(), 7, &value, &end) || end != start + kXyType.size() + 1) {
        *reason = kBadXyType;
        return false;
      }
      settings->xyType = value;
      settings->xyTypeGiven = true;
    } else if (slider) {
      if (!ReadSettingNumber(*line, start + kSlider.size(), kMaxSliderSteps, &value, &end)) {
        *reason = "bad slider setting (\"@slider=P\" with P a whole number from 0 to " +
                  std::to_string(kMaxSliderSteps) + " expected)";
        return false;
      }
      settings->sliderPosition = value;
    } else {
      *reason = kUnknownRowSetting;
      return false;
    }
    if (settings->first.empty()) settings->first = xyType ? "@xytype=N" : "@slider=P";
    *line = line->substr(end);
  }
}

// A document line "@view=2d", "@view=3d" or "@view=4d" (blanks around it allowed): the view it
// asks for in *view, *present true. False for another "@view" value; a line that is no view
// setting leaves both alone.
bool ReadViewSetting(const std::string& line, ShownView* view, bool* present) {
  std::string value;
  *present = false;
  if (!SettingValue(line, "@view=", &value)) return true;
  if (value != "2d" && value != "3d" && value != "4d") return false;
  *view = value == "3d" ? ShownView::k3D : value == "4d" ? ShownView::k4D : ShownView::k2D;
  *present = true;
  return true;
}

// A document line "@split=2d", "@split=3d" or "@split=none": the second view shown beside the
// first, *present true. False for another "@split" value; another line leaves both alone.
bool ReadSplitSetting(const std::string& line, DocumentRecord* document, bool* present) {
  std::string value;
  *present = false;
  if (!SettingValue(line, "@split=", &value)) return true;
  if (value != "2d" && value != "3d" && value != "none") return false;
  document->splitView = value != "none" ? 1 : 0;
  document->secondViewIs3D = value == "3d" ? 1 : 0;
  *present = true;
  return true;
}

// The column of `count` formulas "matrix[count,1,...]" (blanks already dropped), each copied into
// out. False, nothing kept and *reason set, when the text is no such column or memory is refused.
bool ReadMapColumn(const std::string& text, int32_t count, ExprNode** out, std::string* reason) {
  ExprNode* map = ReadFormula(text);
  const bool column = map != nullptr && map->kind == KindMatrix && map->arity == count &&
                      map->value.halves.first == count && map->value.halves.second == 1;
  bool whole = column;
  for (int32_t k = 0; k < count; ++k) {
    out[k] = column ? CopyExpression(map->children[k]) : nullptr;
    whole = whole && out[k] != nullptr;
  }
  FreeExpression(map);
  if (whole) return true;
  for (int32_t k = 0; k < count; ++k) FreeExpression(out[k]), out[k] = nullptr;
  if (column) {
    *reason = "not enough memory for the map";
  } else {
    *reason = count == 2 ? "bad map (a column of two formulas in x and y, matrix[2,1,X,Y], expected)"
                         : "bad map (a column of three formulas in x, y and z, matrix[3,1,X,Y,Z], expected)";
  }
  return false;
}

// A document line "@map=picture matrix[2,1,X,Y]", "@map=image matrix[2,1,X,Y]" or "@map=space
// matrix[3,1,X,Y,Z]": the coordinate transformation of the second view. A picture is pulled back:
// its pixel at (x, y) of the second 2D view shows the first view's (X, Y), kept as x = X, y = Y in
// x' and y' (mode 1); an image is pushed forward: the first view's (x, y) lands at (X, Y) (mode 2);
// space carries the first 3D view's (x, y, z) to (X, Y, Z) in the second 3D view (mode 4), and
// shows the 3D view. *present: the line was a map setting. False, with *reason set, for a bad
// one; the document's map is set by a good one.
bool ReadMapSetting(const std::string& line, DocumentRecord* document, bool* present, std::string* reason) {
  static const struct {
    const char* kind;
    uint32_t mode;
    int32_t count;
  } kKinds[] = {{"picture", kTransformPlaneBackwards, 2}, {"image", kTransformPlaneForwards, 2},
                {"space", kTransformSpace, 3}};
  std::string value;
  *present = false;
  if (!SettingValue(line, "@map=", &value)) return true;
  *present = true;
  for (const auto& kind : kKinds) {
    const size_t length = std::char_traits<char>::length(kind.kind);
    if (value.compare(0, length, kind.kind) != 0) continue;
    ExprNode* e[3] = {};
    if (!ReadMapColumn(value.substr(length), kind.count, e, reason)) return false;
    if (kind.mode == kTransformPlaneBackwards) SwapPrimedCoordinates(e[0]), SwapPrimedCoordinates(e[1]);  // in x', y'
    document->SetTransform(kind.mode, e[0], e[1], e[2]);
    if (kind.mode == kTransformSpace) document->shownView = ShownView::k3D;
    return true;
  }
  *reason = "bad map setting (\"@map=picture matrix[2,1,X,Y]\", \"@map=image matrix[2,1,X,Y]\" or "
            "\"@map=space matrix[3,1,X,Y,Z]\" expected)";
  return false;
}

// The range named by a setting "@NAME=" at `at` of the line (blanks allowed around NAME), -1 for
// none; *value is where its value starts.
int32_t RangeSettingAt(const std::string& line, size_t at, size_t* value) {
  const size_t name = std::min(line.find_first_not_of(" \t\r", at + 1), line.size());
  size_t end = name;
  while (end < line.size() && std::isalpha(static_cast<unsigned char>(line[end]))) ++end;
  const size_t equals = line.find_first_not_of(" \t\r", end);
  if (equals == std::string::npos || line[equals] != '=') return -1;
  *value = equals + 1;
  return AskedRangeByName(line.substr(name, end - name));
}

// Where a range setting stands on the line, wherever that is (first, after row settings, beside a
// formula or another setting): the first "@" outside quotes and brackets that starts "@NAME=" with
// NAME a range's name. Typed keys after "type:" or "@keys " are keys, and a comment is no setting:
// npos for those and for a line without one.
size_t FindRangeSetting(const std::string& line) {
  const size_t first = line.find_first_not_of(" \t\r");
  if (first == std::string::npos || line[first] == '#') return std::string::npos;
  bool quoted = false;
  int64_t depth = 0;
  for (size_t i = first; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    depth += c == '[' ? 1 : c == ']' ? -1 : 0;
    if (depth > 0) continue;
    for (const std::string& prefix : kTypePrefixes)
      if (line.compare(i, prefix.size(), prefix) == 0) return std::string::npos;
    size_t value = 0;
    if (c == '@' && RangeSettingAt(line, i, &value) >= 0) return i;
  }
  return std::string::npos;
}

// A range setting "@NAME=MIN,MAX" ("@z=-1,1", AskedRangeByName) wherever it stands on the line:
// the range the document asks its shown view for (the last such line for a name counts). True when
// the line holds one. A range has its line to itself; bad, or beside anything else, it is refused
// with *refusal set as an option giving it would be (RangeRefusal), the ranges unchanged.
bool ReadRangeSetting(const std::string& line, DocumentRecord* document, std::string* refusal) {
  const size_t at = FindRangeSetting(line);
  if (at == std::string::npos) return false;
  size_t value = 0;
  const int32_t k = RangeSettingAt(line, at, &value);
  double bounds[2];
  RangeRead read = ReadRangeBounds(line.c_str() + value, bounds);
  if (read == RangeRead::kRange && at != line.find_first_not_of(" \t\r")) read = RangeRead::kNotAlone;
  if (read != RangeRead::kRange) {
    *refusal = RangeRefusal(k, true, read);
    return true;
  }
  AskedRanges& asked = document->askedRanges;
  asked.bounds[k][0] = bounds[0], asked.bounds[k][1] = bounds[1];
  asked.given[k] = asked.fromDocumentLine[k] = true;
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
    // The formula reader and the key decoder read text up to a NUL: a line holding one would be
    // taken in part for the whole.
    if (raw.find('\0') != std::string::npos && Compact(raw)[0] != '#') {
      problems->push_back({line, "the line holds a NUL byte"});
      continue;
    }
    std::string rangeRefusal;
    if (ReadRangeSetting(raw, document, &rangeRefusal)) {
      if (!rangeRefusal.empty()) problems->push_back({line, rangeRefusal});
      continue;
    }
    bool viewLine = false;
    ShownView view = document->shownView;
    if (!ReadViewSetting(raw, &view, &viewLine)) {
      problems->push_back({line, "bad view setting (\"@view=2d\", \"@view=3d\" or \"@view=4d\" expected)"});
      continue;
    }
    if (viewLine && view != ShownView::k3D && document->transform.mode == kTransformSpace) {
      // The space map's companions are in the second 3D view: another view would show none of them.
      problems->push_back({line, "a view other than 3d after a space map (\"@map=space ...\" is shown in 3D)"});
      continue;
    }
    if (viewLine) {
      document->shownView = view;
      continue;
    }
    bool splitLine = false;
    if (!ReadSplitSetting(raw, document, &splitLine)) {
      problems->push_back({line, "bad split setting (\"@split=2d\", \"@split=3d\" or \"@split=none\" expected)"});
      continue;
    }
    if (splitLine) continue;
    bool mapLine = false;
    std::string mapProblem;
    if (!ReadMapSetting(raw, document, &mapLine, &mapProblem)) {
      problems->push_back({line, mapProblem});
      continue;
    }
    if (mapLine) continue;
    RowSettings settings;
    std::string settingProblem;
    if (!ReadRowSettings(&raw, &settings, &settingProblem)) {
      problems->push_back({line, settingProblem});
      continue;
    }
    const bool setting = !settings.first.empty();
    std::string keys, spelling, reason;
    EquationRow* row = nullptr;
    if (KeysOfLine(raw, &keys, &spelling)) {
      FormulaEditor* editor = TypeRow(keys, spelling, document, &reason);
      if (editor == nullptr) {
        problems->push_back({line, "cannot type the formula: " + reason});
        continue;
      }
      if (settings.sliderPosition >= 0 && !IsSliderDefinition(editor->root)) {
        DisposeFormulaEditor(editor);
        problems->push_back({line, kNoSliderProblem});
        continue;
      }
      if ((row = document->AppendEditorRow(editor)) == nullptr) DisposeFormulaEditor(editor);
    } else {
      const std::string formula = Compact(raw);
      if (formula.empty() || formula[0] == '#') {
        // A setting applies to the formula on its own line; alone it would be lost without a word.
        if (setting) problems->push_back({line, RowSettingWithoutFormula(settings)});
        continue;
      }
      ExprNode* tree = ReadFormula(formula);
      if (tree == nullptr) {
        problems->push_back({line, "cannot read the formula (bracket notation expected, e.g. equal[y,power[x,2]])"});
        continue;
      }
      if (settings.sliderPosition >= 0 && !IsSliderDefinition(tree)) {
        FreeExpression(tree);
        problems->push_back({line, kNoSliderProblem});
        continue;
      }
      if ((row = document->AppendEquationRow(tree)) == nullptr) FreeExpression(tree);
    }
    if (row == nullptr) {
      *failure = "not enough memory for the rows of " + path;
      return false;
    }
    row->color = FixedColourOfRow(document->rows.count - 1);
    row->xyType = settings.xyType;
    for (int32_t k = 0; k < kRowSettingCount; ++k) {
      if (settings.given[k]) SetRowSetting(row, static_cast<RowSetting>(k), settings.values[k]);
    }
    if (settings.sliderPosition >= 0) row->sliderValue = settings.sliderPosition;
    lineOfRow->push_back(line);
  }
  UpdateEquationSliders(document->rows.data, document->rows.count);
  return true;
}

std::string DocumentRowLine(const EquationRow& row, int32_t index) {
  if (row.kind != 0 || row.expression == nullptr) return {};
  char* text = FormatExpressionBracket(row.expression);
  if (text == nullptr) return {};
  std::string line = RowSettingsText(row, index);
  const double xyType = row.xyType;
  if (xyType != EquationRow{}.xyType && xyType >= 0 && xyType <= 7 && xyType == static_cast<int32_t>(xyType))
    line += "@xytype=" + std::to_string(static_cast<int32_t>(xyType)) + " ";
  if (IsSliderDefinition(row.expression))
    line += "@slider=" + std::to_string(std::clamp(row.sliderValue, 0, kMaxSliderSteps)) + " ";
  line += text;
  FreeMemory(text);
  return line;
}
