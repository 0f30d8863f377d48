// The README's typing guide, typed: every example line of its example block ("KEYS  ⇒  FORMULA",
// the keys as a "type:" line writes them, the formula in bracket notation) is typed into a fresh
// row through the editor's own key handling and must give that formula, so the guide and the
// typing cannot drift apart.
#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "document/typed_keys.h"
#include "editor/edit_commands.h"
#include "editor/formula_editor.h"
#include "editor/typeset_state.h"
#include "kernel/diagnostics/message_tables.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/text/formula_reader.h"
#include "tests/document/document_test_support.h"
#include "tests/document/formula_text_support.h"

namespace {

using formula_text::Bracket;

constexpr const char* kMarker = "<!-- typing guide examples: each line is typed by tests/document/typing_guide_test.cpp -->";
constexpr const char* kArrow = "\u21D2";

struct Example {
  int line;
  std::string keys, formula;
};

std::string Trim(const std::string& s) {
  const size_t first = s.find_first_not_of(' '), last = s.find_last_not_of(' ');
  return first == std::string::npos ? std::string() : s.substr(first, last - first + 1);
}

// The example lines of the fenced block after the marker; false when the README has none.
bool ReadExamples(std::vector<Example>* examples) {
  std::ifstream readme(std::string(QV_SOURCE_DIR) + "/README.md");
  std::string line;
  int number = 0;
  bool marked = false, inside = false;
  while (std::getline(readme, line)) {
    ++number;
    if (!marked) {
      marked = line == kMarker;
      continue;
    }
    if (line.rfind("```", 0) == 0) {
      if (inside) break;
      inside = true;
      continue;
    }
    if (!inside || Trim(line).empty() || Trim(line)[0] == '#') continue;
    const size_t arrow = line.find(kArrow);
    if (arrow == std::string::npos) {
      examples->push_back({number, line, ""});  // reported as malformed
      continue;
    }
    examples->push_back({number, Trim(line.substr(0, arrow)), Trim(line.substr(arrow + std::string(kArrow).size()))});
  }
  return marked && inside;
}

class TypingGuideTest : public document_test::DocumentTest {
 protected:
  void TearDown() override {
    ResetTypesetGlobalsForTest();
    DocumentTest::TearDown();
  }
};

TEST_F(TypingGuideTest, EveryExampleOfTheReadmeTypesAsItSays) {
  std::vector<Example> examples;
  ASSERT_TRUE(ReadExamples(&examples)) << "no example block after the marker in README.md";
  ASSERT_GE(examples.size(), 20u);
  InitTypesetting();
  DocumentRecord document;
  for (const Example& example : examples) {
    ASSERT_FALSE(example.formula.empty()) << "README.md line " << example.line << " has no " << kArrow;
    SetFormulaReaderText(example.formula.c_str());
    ExprNode* expected = ParseFormulaText();
    ASSERT_NE(expected, nullptr) << "README.md line " << example.line << ": " << example.formula << " does not read";
    const std::string want = Bracket(expected);
    FreeExpression(expected);
    std::vector<TypedKey> keys;
    std::string reason;
    ASSERT_TRUE(DecodeTypedKeys(example.keys, &keys, &reason)) << "README.md line " << example.line << ": " << reason;
    FormulaEditor* editor = NewFormulaEditor();
    ASSERT_NE(editor, nullptr);
    const bool typed = TypeKeysIntoEditor(keys, editor, &document, &reason);
    EXPECT_TRUE(typed) << "README.md line " << example.line << ": " << reason;
    EXPECT_EQ(Bracket(editor->root), want) << "README.md line " << example.line << ": " << example.keys;
    if (TypesettingGlobals().currentEditor == editor) TypesettingGlobals().currentEditor = nullptr;
    DisposeFormulaEditor(editor);
  }
}

// The message the guide explains for `sqrt x` (its t taken for the parameter of a curve) is the
// one a built row shows, word for word.
TEST_F(TypingGuideTest, TheMessageTheGuideExplainsIsTheOneShown) {
  std::ifstream readme(std::string(QV_SOURCE_DIR) + "/README.md");
  std::string text((std::istreambuf_iterator<char>(readme)), std::istreambuf_iterator<char>());
  std::replace(text.begin(), text.end(), '\n', ' ');  // the guide wraps its lines
  InitTypesetting();
  DocumentRecord document;
  std::vector<TypedKey> keys;
  std::string reason;
  ASSERT_TRUE(DecodeTypedKeys("y = sqrt x", &keys, &reason));
  FormulaEditor* editor = NewFormulaEditor();
  ASSERT_NE(editor, nullptr);
  ASSERT_TRUE(TypeKeysIntoEditor(keys, editor, &document, &reason)) << reason;
  if (TypesettingGlobals().currentEditor == editor) TypesettingGlobals().currentEditor = nullptr;
  ASSERT_NE(document.AppendEditorRow(editor), nullptr);
  SetCurrentDocument(&document);
  EXPECT_EQ(BuildDocumentRowGraphs(&document), 1);
  const int32_t message = document.rows.data[0].resultMessage;
  ASSERT_NE(message, 0);
  const std::string shown = GraphResultMessage(message);
  EXPECT_NE(text.find("`sqrt x` is s·q·r·t·x, which the graph step then explains as \"" + shown + "\""),
            std::string::npos)
      << shown;
}

}  // namespace
