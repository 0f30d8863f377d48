// The document file with typed rows: "type:" lines run through the row editor's own key handling,
// named keys in braces, and the lines refused with their reasons; the rows' settings read and
// written back. Expected formulas are the infix text of what a user typing the same keys gets (a
// blank is no edit outside a text).
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "document/document_file.h"
#include "document/row_settings.h"
#include "graphics/gl/gl_globals.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/trees/expr_node.h"
#include "document/equation_sliders.h"
#include "document/typed_keys.h"
#include "editor/formula_editor.h"
#include "editor/typeset_state.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/text/formula_reader.h"
#include "kernel/text/formula_writer.h"
#include "kernel/text/number_settings.h"
#include "kernel/trees/node_builders.h"
#include "tests/document/document_test_support.h"

namespace {

// A line the reader must name, and why.
struct ExpectedProblem {
  int line;
  const char* reason;
};

class DocumentFileTest : public document_test::DocumentTest {
 protected:
  void TearDown() override {
    std::remove(path_.c_str());
    ResetTypesetGlobalsForTest();
    DocumentTest::TearDown();
  }
  bool Read(const std::string& text, DocumentRecord* document) {
    std::ofstream(path_, std::ios::binary) << text;
    lines_.clear();
    problems_.clear();
    std::string failure;
    return ReadDocumentFile(path_, document, &lines_, &problems_, &failure);
  }
  // The problems read, line and reason, are exactly the expected ones ({line, reason} records).
  template <size_t n>
  void ExpectProblems(const ExpectedProblem (&expected)[n]) {
    ASSERT_EQ(problems_.size(), n);
    for (size_t i = 0; i < n; ++i) {
      EXPECT_EQ(problems_[i].line, expected[i].line) << i;
      EXPECT_EQ(problems_[i].reason, expected[i].reason) << i;
    }
  }
  static std::string Infix(const ExprNode* tree) {
    char* text = FormatExpressionText(const_cast<ExprNode*>(tree), false);
    std::string out = text ? text : "<null>";
    FreeMemory(text);
    return out;
  }
  // One file a test: ctest runs the tests of this suite side by side as separate processes.
  std::string path_ = testing::TempDir() + testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
  std::vector<int> lines_;
  std::vector<DocumentProblem> problems_;
};

TEST_F(DocumentFileTest, TypedRowsReadAsTheKeysTypeThem) {
  DocumentRecord document;
  ASSERT_TRUE(Read("# typed\n"
                   "type: y = sin x^2 + 1/2\n"
                   "type: y = sin x^2{Right} + 1/2\r\n"
                   "@xytype=3 type: z = x y\n"
                   "equal[y,x]\n"
                   "type:y=x^2{Right},x>0\n"
                   "@keys y=x\n",
                   &document));
  EXPECT_TRUE(problems_.empty());
  ASSERT_EQ(document.rows.count, 6);
  const char* expected[] = {"y=sin(x^(2+1/2))", "y=sin(x^2)+1/2", "z=x*y", "y=x", "y=x^2,x>0", "y=x"};
  for (int32_t i = 0; i < document.rows.count; ++i) {
    EXPECT_EQ(Infix(document.rows.data[i].expression), expected[i]) << "row " << i;
    const bool typed = i != 3;
    EXPECT_EQ(document.rows.data[i].editor != nullptr, typed) << "row " << i;
    if (typed) {
      EXPECT_EQ(document.rows.data[i].expression, document.rows.data[i].editor->root);
    }
  }
  EXPECT_EQ(document.rows.data[2].xyType, 3.0);
  EXPECT_EQ(lines_, (std::vector<int>{2, 3, 4, 5, 6, 7}));
}

// Each refused line is named with its reason, under either spelling; the rows around them stay.
TEST_F(DocumentFileTest, TypedRowsThatCannotBeTypedAreNamedByLine) {
  DocumentRecord document;
  ASSERT_TRUE(Read("type: y = }\n"
                   "type:\n"
                   "type: y = \xC3(\n"
                   "type: y = x\n"
                   "type: a{Ctrl-q}\n"
                   "type: y = {Alt-x}\n"
                   "@keys y=x}\n"
                   "@keys y=\n"
                   "@keys y=\xff\n"
                   "@keys \n"
                   "@keys {Ctrl-q}\n"
                   "@xytype=3\n"
                   "@xytype=3 type: z = x y\n",
                   &document));
  const ExpectedProblem expected[] = {
      {1, "cannot type the formula: key 5 (}) means nothing to the editor there"},
      {2, "cannot type the formula: no keys after \"type:\""},
      {3, "cannot type the formula: the keys are not valid UTF-8 (byte 5)"},
      {5, "cannot type the formula: key 2 ({Ctrl-q}) means nothing to the editor there"},
      {6, "cannot type the formula: the typed formula still has an empty place"},  // y = cross(?, ?)
      {7, "cannot type the formula: key 4 (}) means nothing to the editor there"},
      {8, "cannot type the formula: the typed formula still has an empty place"},
      {9, "cannot type the formula: the keys are not valid UTF-8 (byte 3)"},
      {10, "cannot type the formula: no keys after \"@keys\""},
      {11, "cannot type the formula: key 1 ({Ctrl-q}) means nothing to the editor there"},
      {12, "a row setting without a formula (\"@xytype=N formula\" expected)"},
  };
  ExpectProblems(expected);
  if (HasFatalFailure()) return;
  ASSERT_EQ(document.rows.count, 2);
  EXPECT_EQ(lines_, (std::vector<int>{4, 13}));
  EXPECT_EQ(document.rows.data[1].xyType, 3.0);
}

// A typed line reads the same whatever the user's decimal separator (the window follows the
// locale's; a German one is ","): "." stays the decimal point and "," the list's comma, and the
// typed numbers take the separator number text has, as a bracket line's numbers do. A key that
// does nothing where it is typed (the caret and the formula as they were) is named with its line.
TEST_F(DocumentFileTest, TypedRowsReadTheSameInEveryLocaleAndAKeyThatDoesNothingIsNamed) {
  for (const char separator : {'.', ','}) {
    const DecimalSeparatorScope locale(separator);
    DocumentRecord document;
    ASSERT_TRUE(Read("type: y = 0.5x\n"
                     "type: y = x^2{Right}, x > 1.25\n"
                     "equal[y,times[0.5,x]]\n"
                     "type: y = x{Right}\n"
                     "type: y = sin x{Right}^2\n"
                     "type: y = 2\\x\n"
                     "type: y = (x))\n"
                     "type: y = 3.5.\n"
                     "type: y = 1234567890123456789\n",
                     &document));
    const ExpectedProblem expected[] = {
        {4, "cannot type the formula: key 6 ({Right}) does nothing where it is typed"},
        {5, "cannot type the formula: key 10 ({Right}) does nothing where it is typed"},
        {6, "cannot type the formula: key 6 (\\) does nothing where it is typed"},
        {7, "cannot type the formula: key 8 ()) does nothing where it is typed"},
        {8, "cannot type the formula: key 8 (.) does nothing where it is typed"},
        {9, "cannot type the formula: key 23 (9) does nothing where it is typed"},  // past 18 digits
    };
    ExpectProblems(expected);
    if (HasFatalFailure()) return;
    ASSERT_EQ(document.rows.count, 3) << separator;
    const char* infix[] = {"y=0.5*x", "y=x^2,x>1.25", "y=0.5*x"};
    for (int32_t i = 0; i < 3; ++i) EXPECT_EQ(Infix(document.rows.data[i].expression), infix[i]) << separator << i;
    for (const int32_t i : {0, 2}) {
      const NumberRecord* half = document.rows.data[i].expression->children[1]->children[0]->value.number;
      EXPECT_EQ(half->value, 0.5) << separator << i;
      EXPECT_STREQ(half->text, separator == ',' ? "0,5" : "0.5") << i;
    }
  }
}

// A line "@view=3d", "@view=4d" or "@view=2d" sets the document's mode for both programs; the
// last one counts, blanks and a carriage return around it are fine, anything else after "@view"
// is named by line, and a view line is never a row.
TEST_F(DocumentFileTest, ViewLinesSetTheDocumentsMode) {
  const struct {
    const char* text;
    bool show3D, show4D;
    int rows;
    int badLine;  // the one refused line, 0 none
  } cases[] = {
      {"equal[y,x]\n", false, false, 1, 0},
      {"@view=3d\nequal[y,x]\n", true, false, 1, 0},
      {"  @view = 3d \r\ntype: y = x\n", true, false, 1, 0},
      {"@view=3d\n@view=2d\nequal[y,x]\n", false, false, 1, 0},
      {"@view=2d\nequal[y,x]\n@view=3d\n", true, false, 1, 0},
      {"# @view=3d\nequal[y,x]\n", false, false, 1, 0},
      {"@view=4d\nequal[y,x]\n", false, true, 1, 0},
      {"@view=4d\n@view=3d\n", true, false, 0, 0},
      {"@view = 3d\n@view=4d\n", false, true, 0, 0},
      {"@view=4d\n@view=2d\n", false, false, 0, 0},
      {"@view=5d\nequal[y,x]\n", false, false, 1, 1},
      {"equal[y,x]\n@view=3D\n", false, false, 1, 2},
      {"@view=\n", false, false, 0, 1},
      {"@view=3d equal[y,x]\n", false, false, 0, 1},
      {"@view=3d\n@view=3dd\n", true, false, 0, 2},
  };
  for (const auto& c : cases) {
    DocumentRecord document;
    ASSERT_TRUE(Read(c.text, &document)) << c.text;
    EXPECT_EQ(document.shownView == ShownView::k3D, c.show3D) << c.text;
    EXPECT_EQ(document.shownView == ShownView::k4D, c.show4D) << c.text;
    EXPECT_EQ(document.rows.count, c.rows) << c.text;
    ASSERT_EQ(problems_.size(), c.badLine != 0 ? 1u : 0u) << c.text;
    if (c.badLine == 0) continue;
    EXPECT_EQ(problems_[0].line, c.badLine) << c.text;
    EXPECT_EQ(problems_[0].reason, "bad view setting (\"@view=2d\", \"@view=3d\" or \"@view=4d\" expected)")
        << c.text;
  }
}

// A line "@NAME=MIN,MAX" asks for a range by name (blanks allowed, "MIN:MAX" too, the last line for
// a name counts); bounds that are not a range (reversed, empty, not finite, a width that
// overflows, text after them) are named by line; "@xytype=" stays a row setting and an unknown
// name is no range line.
TEST_F(DocumentFileTest, RangeLinesAskForARangeByName) {
  const struct {
    const char* text;
    int32_t range;  // the range asked for, -1 none
    double low, high;
    int rows, badLine;
  } cases[] = {
      {"@z=-1,1\nequal[y,x]\n", kAskedZ, -1, 1, 1, 0},
      {" @ theta = 0 : 3.5 \n", kAskedTheta, 0, 3.5, 0, 0},
      {"@t=0,1\n@t=2,5e300\n", kAskedT, 2, 5e300, 0, 0},
      {"@xytype=2 equal[y,x]\n", -1, 0, 0, 1, 0},
      {"@phi=1,0\n", -1, 0, 0, 0, 1},
      {"@u=1,1\n", -1, 0, 0, 0, 1},
      {"@v=0,nan\n", -1, 0, 0, 0, 1},
      {"@w=-1.7e308,1.7e308\n", -1, 0, 0, 0, 1},
      {"@r=0,1x\n", -1, 0, 0, 0, 1},
      {"equal[y,x]\n@x=\n", -1, 0, 0, 1, 2},
      {"@q=0,1\n", -1, 0, 0, 0, 1},  // no such range: a bad row setting
  };
  for (const auto& c : cases) {
    DocumentRecord document;
    ASSERT_TRUE(Read(c.text, &document)) << c.text;
    EXPECT_EQ(document.rows.count, c.rows) << c.text;
    for (int32_t k = 0; k < kAskedRangeCount; ++k) {
      EXPECT_EQ(document.askedRanges.given[k], k == c.range) << c.text << " " << AskedRangeNameText(k);
    }
    if (c.range >= 0) {
      EXPECT_TRUE(document.askedRanges.fromDocumentLine[c.range]);
      EXPECT_EQ(document.askedRanges.bounds[c.range][0], c.low) << c.text;
      EXPECT_EQ(document.askedRanges.bounds[c.range][1], c.high) << c.text;
    }
    ASSERT_EQ(problems_.size(), c.badLine != 0 ? 1u : 0u) << c.text;
    if (c.badLine != 0) {
      EXPECT_EQ(problems_[0].line, c.badLine) << c.text;
    }
  }
}

// A line "@map=picture matrix[2,1,X,Y]" or "@map=image ..." gives the document its plane
// transformation (the picture's kept in x' and y', the image's as written); the last one counts;
// a bad one is named by line; a map line is never a row. Built, the second 2D view shows the
// transformation's own graph beside the first.
TEST_F(DocumentFileTest, MapLinesGiveThePlaneTransformation) {
  const struct {
    const char* text;
    uint32_t mode;
    const char* x;  // the first expression as kept ("'" primes it)
    int rows;
    int badLine;
  } cases[] = {
      {"@map=picture matrix[2,1,plus[x,1],y]\nequal[y,x]\n", kTransformPlaneBackwards, "'plus[x,1]", 1, 0},
      {"@map = image matrix[2,1, times[2,x], y]\nequal[y,x]\n", kTransformPlaneForwards, "times[2,x]", 1, 0},
      {"@map=image matrix[2,1,x,y]\n@map=picture matrix[2,1,y,x]\n", kTransformPlaneBackwards, "'y", 0, 0},
      {"@map=mirror matrix[2,1,x,y]\nequal[y,x]\n", kTransformNone, nullptr, 1, 1},
      {"@map=image matrix[3,1,x,y,1]\n", kTransformNone, nullptr, 0, 1},
      {"@map=image plus[x,y]\n", kTransformNone, nullptr, 0, 1},
      {"@map=picture\n", kTransformNone, nullptr, 0, 1},
  };
  for (const auto& c : cases) {
    DocumentRecord document;
    ASSERT_TRUE(Read(c.text, &document)) << c.text;
    EXPECT_EQ(document.transform.mode, c.mode) << c.text;
    EXPECT_EQ(document.rows.count, c.rows) << c.text;
    ASSERT_EQ(problems_.size(), c.badLine != 0 ? 1u : 0u) << c.text;
    if (c.badLine != 0) {
      EXPECT_EQ(problems_[0].line, c.badLine) << c.text;
      continue;
    }
    const std::string text = c.x[0] == '\'' ? c.x + 1 : c.x;
    SetFormulaReaderText(text.c_str());
    ExprNode* expected = ParseFormulaText();
    if (c.x[0] == '\'') SwapPrimedCoordinates(expected);
    EXPECT_TRUE(ExpressionsEqual(document.transform.expression1, expected)) << c.text;
    FreeExpression(expected);
  }
  DocumentRecord document(MakeRect(0, 0, 410, 200));
  ASSERT_TRUE(Read("@map=image matrix[2,1,y,x]\nequal[y,x]\n", &document));
  EXPECT_EQ(BuildDocumentRowGraphs(&document), 0);
  EXPECT_TRUE(document.viewSet.secondary == document.viewSet.second2D && document.viewSet.second2D->graphs.count == 1);
}

// The reader stops at a NUL byte: a setting, a typed row or a formula whose line holds one is named
// by line and left out, rather than read in part (a map line was taken up to the NUL); a comment
// holding one stays a comment.
TEST_F(DocumentFileTest, ALineHoldingANulByteIsNamedAndLeftOut) {
  using namespace std::string_literals;
  const struct {
    std::string text;
    int rows;
    int badLine;
  } cases[] = {
      {"@map=image matrix[2,1,x,y]\0plus[x\nequal[y,x]\n"s, 1, 1},
      {"@view=3d\0\nequal[y,x]\n"s, 1, 1},
      {"equal[y,x]\nequal[y,power[x,2]]\0]\n"s, 1, 2},
      {"type: y = x\0 + 1\n"s, 0, 1},
      {"# a note \0\nequal[y,x]\n"s, 1, 0},
  };
  for (const auto& c : cases) {
    DocumentRecord document;
    ASSERT_TRUE(Read(c.text, &document));
    EXPECT_EQ(document.rows.count, c.rows) << c.badLine;
    EXPECT_EQ(document.transform.mode, kTransformNone);
    EXPECT_EQ(document.shownView, ShownView::k2D);
    ASSERT_EQ(problems_.size(), c.badLine != 0 ? 1u : 0u) << c.badLine;
    if (c.badLine == 0) continue;
    EXPECT_EQ(problems_[0].line, c.badLine);
    EXPECT_EQ(problems_[0].reason, "the line holds a NUL byte");
  }
}

TEST_F(DocumentFileTest, NamedKeysDecodeWithTheirModifiers) {
  std::vector<TypedKey> keys;
  std::string reason;
  ASSERT_TRUE(DecodeTypedKeys("{Shift-Tab}{Ctrl-Alt-d}{x}\xCF\x80{Left", &keys, &reason));
  ASSERT_EQ(keys.size(), 11u);
  EXPECT_EQ(keys[0].character, char32_t(kKeyTab));
  EXPECT_TRUE(keys[0].shift);
  EXPECT_TRUE(keys[1].control && keys[1].alt);
  EXPECT_EQ(keys[2].character, U'{') << "braces without a key name are the brace key";
  EXPECT_EQ(keys[5].character, U'\u03C0');
  EXPECT_EQ(KeyToEditCommand(TypedKeyEvent(keys[0])), 0x160E);
  EXPECT_EQ(KeyToEditCommand(TypedKeyEvent(keys[1])), 0x18C0);
  EXPECT_EQ(KeyToEditCommand(TypedKeyEvent(keys[5])), 0x1312);
  keys.clear();
  EXPECT_FALSE(DecodeTypedKeys("\xE0\x80\x80", &keys, &reason)) << "an overlong sequence";
}

// Braces around a name the key table lacks (a letter of either case first) are refused by that
// name, not typed as a brace and letters and blamed on the closing brace; braces around other text
// (one character, a digit or hyphen first, a space) stay the brace key.
TEST_F(DocumentFileTest, AnUnknownKeyNameIsNamedAsWritten) {
  const struct {
    const char* keys;
    const char* unknown;  // null: decodes
    size_t place;
  } cases[] = {
      {"{Bogus}", "{Bogus}", 1},
      {"y = x{Home}", "{Home}", 6},
      {"{Ctrl-Bogus}", "{Ctrl-Bogus}", 1},
      {"{Shift-Right}{Pgup}", "{Pgup}", 2},
      {"{x}", nullptr, 0},
      {"{B}", nullptr, 0},
      {"{bogus}", "{bogus}", 1},
      {"{Bo gus}", nullptr, 0},
      // Names of either case: a lower-case first letter is a key's name too.
      {"{right}", "{right}", 1},
      {"y = x{Right}{left}", "{left}", 7},
      {"{ctrl+z}", "{ctrl+z}", 1},
      {"{f5}", "{f5}", 1},
      {"a{esc}b", "{esc}", 2},
      {"{r}", nullptr, 0},
      {"{5x}", nullptr, 0},
      {"{-x}", nullptr, 0},
      {"{right", nullptr, 0},
      {"}right{", nullptr, 0},
  };
  for (const auto& c : cases) {
    std::vector<TypedKey> keys;
    std::string reason;
    const bool decoded = DecodeTypedKeys(c.keys, &keys, &reason);
    EXPECT_EQ(decoded, c.unknown == nullptr) << c.keys;
    if (c.unknown == nullptr) continue;
    EXPECT_EQ(reason.rfind(std::string("unknown key ") + c.unknown + " (key " + std::to_string(c.place) + ";", 0), 0u)
        << c.keys << ": " << reason;
  }
  // A document line names it too, in either of the two ways of writing keys.
  const struct {
    const char* line;
    const char* reason;
  } lines[] = {
      {"type: y = {Bogus}\n", "cannot type the formula: unknown key {Bogus} (key 5;"},
      {"type: y = x^2{right} + 1\n", "cannot type the formula: unknown key {right} (key 8;"},
      {"@keys y = {bogus}\n", "cannot type the formula: unknown key {bogus} (key 5;"},
  };
  for (const auto& l : lines) {
    problems_.clear();
    DocumentRecord document;
    ASSERT_TRUE(Read(l.line, &document));
    ASSERT_EQ(problems_.size(), 1u) << l.line;
    EXPECT_EQ(problems_[0].reason.rfind(l.reason, 0), 0u) << problems_[0].reason;
    EXPECT_EQ(document.rows.count, 0);
  }
}

// A slider row carries its position: "@slider=P" before the formula (with "@xytype=N" in either
// order) is read into the row, clamped to its steps, and the row's line written back reads as the
// same formula and position; a bad position, or one on a row that defines no slider, is named.
TEST_F(DocumentFileTest, ASliderRowKeepsItsPositionThroughTheFile) {
  DocumentRecord document;
  ASSERT_TRUE(Read("@slider=37 equal[a,slider[id[comma[0,4]]]]\n"
                   "equal[y,times[a,power[x,2]]]\n"
                   "@xytype=3 @slider=2 equal[b,slider[id[comma[minus[1],1,4]]]]\n"
                   "@slider=9 @xytype=2 equal[c,slider[id[comma[0,1,4]]]]\n"
                   "equal[d,slider[id[comma[0,1]]]]\n"
                   "@slider=250 type: f = slider(0, 1)\n"
                   "@slider=-1 equal[g,slider[id[comma[0,1]]]]\n"
                   "@slider=1x equal[g,slider[id[comma[0,1]]]]\n"
                   "@slider=100001 equal[g,slider[id[comma[0,1]]]]\n"
                   "@slider=5 equal[y,x]\n"
                   "@slider=5 type: y = x\n"
                   "@slider=5\n",
                   &document));
  const ExpectedProblem expected[] = {
      {7, "bad slider setting (\"@slider=P\" with P a whole number from 0 to 100000 expected)"},
      {8, "bad slider setting (\"@slider=P\" with P a whole number from 0 to 100000 expected)"},
      {9, "bad slider setting (\"@slider=P\" with P a whole number from 0 to 100000 expected)"},
      {10, "a slider setting on a formula that defines no slider (\"@slider=P a = slider(MIN, MAX)\" expected)"},
      {11, "a slider setting on a formula that defines no slider (\"@slider=P a = slider(MIN, MAX)\" expected)"},
      {12, "a row setting without a formula (\"@slider=P formula\" expected)"},
  };
  ExpectProblems(expected);
  if (HasFatalFailure()) return;
  ASSERT_EQ(document.rows.count, 6);
  const struct {
    bool control;
    int32_t position;
    double xyType;
    const char* value;
  } rows[] = {{true, 37, 1, "1.48"}, {false, 0, 1, ""}, {true, 2, 3, "0"}, {true, 4, 2, "1"}, {true, 0, 1, "0"}, {true, 100, 1, "1"}};
  for (int32_t i = 0; i < document.rows.count; ++i) {
    const EquationRow& row = document.rows.data[i];
    EXPECT_EQ(row.hasSliderControl, rows[i].control) << i;
    EXPECT_EQ(row.sliderValue, rows[i].position) << i;
    EXPECT_EQ(row.xyType, rows[i].xyType) << i;
    if (rows[i].control) {
      EXPECT_EQ(SliderValueText(row), rows[i].value) << i;
    }
  }
  // Written and read back: the same formulas, settings and positions.
  std::string text;
  for (int32_t i = 0; i < document.rows.count; ++i) text += DocumentRowLine(document.rows.data[i], i) + "\n";
  EXPECT_EQ(text.rfind("@slider=37 equal[a,slider[id[comma[", 0), 0u) << text;
  DocumentRecord again;
  ASSERT_TRUE(Read(text, &again));
  EXPECT_TRUE(problems_.empty()) << problems_[0].reason;
  ASSERT_EQ(again.rows.count, document.rows.count);
  for (int32_t i = 0; i < again.rows.count; ++i) {
    EXPECT_EQ(Infix(again.rows.data[i].expression), Infix(document.rows.data[i].expression)) << i;
    EXPECT_EQ(again.rows.data[i].sliderValue, document.rows.data[i].sliderValue) << i;
    EXPECT_EQ(again.rows.data[i].xyType, document.rows.data[i].xyType) << i;
    EXPECT_EQ(DocumentRowLine(again.rows.data[i], i), DocumentRowLine(document.rows.data[i], i)) << i;
  }
}

// Each refused setting line says what is wrong with it: a range too wide, a slider setting alone,
// a setting given twice on one line, a setting the reader does not know.
TEST_F(DocumentFileTest, SettingLinesSayWhatIsWrong) {
  const struct {
    const char* line;
    const char* reason;  // null: read without a problem
  } cases[] = {
      {"@x=-1e308,1e308", "bad range (\"@x=MIN,MAX\" with MAX - MIN finite expected: the range is too wide)"},
      {"@ t = -1.5e308 : 1e308", "bad range (\"@t=MIN,MAX\" with MAX - MIN finite expected: the range is too wide)"},
      {"@x=-8e307,8e307", nullptr},  // 1.6e308 wide: finite
      {"@x=1e308,-1e308", "bad range (\"@x=MIN,MAX\" with finite MIN below MAX expected)"},
      {"@slider=5", "a row setting without a formula (\"@slider=P formula\" expected)"},
      {"@xytype=2 @slider=5", "a row setting without a formula (\"@xytype=N formula\" expected)"},
      {"@slider=1 @slider=2 equal[a,slider[id[comma[0,1]]]]",
       "\"@slider=\" given twice on the line (each row setting once)"},
      {"@xytype=1 @slider=2 @xytype=3 equal[a,slider[id[comma[0,1]]]]",
       "\"@xytype=\" given twice on the line (each row setting once)"},
      {"@xytype=1 @slider=2 equal[a,slider[id[comma[0,1]]]]", nullptr},
      {"@q=0,1", "bad row setting (\"@xytype=N\", \"@slider=P\", \"@colour=N\", \"@grain=G\", \"@opacity=A\", "
                 "\"@mode=M\" or \"@side=S\" expected)"},
      {"@xytype=8 equal[y,x]", "bad row setting (\"@xytype=N\" with N from 0 to 7 expected)"},
  };
  for (const auto& c : cases) {
    DocumentRecord document;
    ASSERT_TRUE(Read(std::string(c.line) + "\n", &document)) << c.line;
    if (c.reason == nullptr) {
      EXPECT_TRUE(problems_.empty()) << c.line << ": " << problems_[0].reason;
      continue;
    }
    ASSERT_EQ(problems_.size(), 1u) << c.line;
    EXPECT_EQ(problems_[0].reason, c.reason) << c.line;
    EXPECT_EQ(document.rows.count, 0) << c.line;
  }
}

// A range is refused in the same words wherever it stands on its line: alone, before or after a
// formula, after a row setting or another setting, blanks or none; a good one beside anything is
// refused as not alone. The earlier range of the same name keeps its bounds and no row is added.
TEST_F(DocumentFileTest, ARangeIsRefusedInTheSameWordsWhereverItStands) {
  const struct {
    const char* range;
    const char* says;  // after "bad range (\"@x=MIN,MAX\" "; null: a good range
  } ranges[] = {
      {"-1e308,1e308", "with MAX - MIN finite expected: the range is too wide"},
      {"-1.5e308 : 1e308", "with MAX - MIN finite expected: the range is too wide"},
      {"1e308,-1e308", "with finite MIN below MAX expected"},
      {"3,3", "with finite MIN below MAX expected"},
      {"0,inf", "with finite MIN below MAX expected"},
      {"0,1e400", "with finite MIN below MAX expected"},
      {"0,1x", "with finite MIN below MAX expected"},
      {"0", "with finite MIN below MAX expected"},
      {"", "with finite MIN below MAX expected"},
      {"-8e307,8e307", nullptr},
  };
  // Where the range stands: the text before and after "@x=RANGE", and whether it is alone there.
  const struct {
    const char* before;
    const char* after;
    bool alone;
  } places[] = {
      {"", "", true},
      {"  ", " \r", true},
      {"", " equal[y,x]", false},
      {"", " type: y=x", false},
      {"@xytype=2 ", " equal[y,x]", false},
      {"@slider=5 ", " equal[a,slider[id[comma[0,1]]]]", false},
      {"equal[y,x] ", "", false},
      {"@view=3d ", "", false},
      {"@map=picture matrix[2,1,x,y] ", "", false},
      {"", " @y=0,1", false},
  };
  for (const auto& r : ranges) {
    for (const auto& p : places) {
      const std::string line = std::string(p.before) + "@x=" + r.range + p.after;
      SCOPED_TRACE(line);
      DocumentRecord document;
      ASSERT_TRUE(Read("@x=1,2\n" + line + "\n", &document));
      const char* says = r.says != nullptr ? r.says : p.alone ? nullptr : "with nothing beside it expected";
      EXPECT_EQ(document.rows.count, 0);
      EXPECT_TRUE(document.askedRanges.given[kAskedX]);
      EXPECT_FALSE(document.askedRanges.given[kAskedY]);
      EXPECT_EQ(document.askedRanges.bounds[kAskedX][0], says != nullptr ? 1 : -8e307);
      EXPECT_EQ(document.askedRanges.bounds[kAskedX][1], says != nullptr ? 2 : 8e307);
      if (says == nullptr) {
        EXPECT_TRUE(problems_.empty()) << problems_[0].reason;
        continue;
      }
      ASSERT_EQ(problems_.size(), 1u);
      EXPECT_EQ(problems_[0].line, 2);
      EXPECT_EQ(problems_[0].reason, std::string("bad range (\"@x=MIN,MAX\" ") + says + ")");
    }
  }
  // Typed keys are keys and a comment is no setting, whatever "@" they hold.
  DocumentRecord document;
  ASSERT_TRUE(Read("type: y=x @x=1,0\n# @x=1,0\n", &document));
  EXPECT_FALSE(document.askedRanges.given[kAskedX]);
}

// A "type:" line of a megabyte of braces (the document's limit), none closed or each closed at the
// far end, is decoded in one pass: about a second sanitized (several on a busy machine), where a
// search to the end for each brace takes 12 s in a release build, far longer sanitized; the limit
// only tells the two apart. The first key means nothing, so only the reading is timed.
TEST_F(DocumentFileTest, AMegabyteOfBracesIsReadInLinearTime) {
  const size_t size = (1 << 20) - 16;
  for (const std::string& keys : {"}" + std::string(size, '{'), "}" + std::string(size, '{') + "}",
                                  "}{a" + std::string(size, 'a') + "}"}) {
    DocumentRecord document;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(Read("type: " + keys + "\n", &document));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 20.0) << keys.substr(0, 4) << "... " << keys.size();
    ASSERT_EQ(problems_.size(), 1u);
    EXPECT_EQ(problems_[0].reason.substr(0, 200), "cannot type the formula: key 1 (}) means nothing to the editor there");
  }
}

// Keys that grow the formula at every key, in a long row or nesting at every few keys. A pass over
// the whole tree at every key made a 160 KB row take 10 s in a release build, and each key at the
// caret of a formula nested 16,000 deep climbed its levels (2.4 s for as many sums, growing with
// the square); the limit only tells those apart. A row nested past a formula line's depth is
// refused, as that line would be.
TEST_F(DocumentFileTest, RowsTypedKeyByKeyAreTypedInLinearTimeAndNoDeeperThanALine) {
  std::string wide;  // sums of 4,000 terms, each in a group of the one before
  for (int k = 0; k < 4000; ++k) wide += "x+";
  const struct { std::string unit; bool nests; } cases[] = {
      {wide + "(", false}, {"sin ", true}, {"{Ctrl-Alt-s}", true}, {"(x", true}};
  for (const auto& c : cases) {
    std::string keys = "y=";
    while (keys.size() < (256u << 10)) keys += c.unit;
    DocumentRecord document;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(Read("type: " + keys + "x\n", &document));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 20.0) << c.unit.substr(0, 12);
    ASSERT_EQ(problems_.size(), c.nests ? 1u : 0u) << c.unit.substr(0, 12);
    if (c.nests) {
      EXPECT_NE(problems_[0].reason.find("nests deeper than 4096 levels"), std::string::npos) << problems_[0].reason;
    }
  }
}

// A sum typed past the operands a node holds is refused with its line, not read short, and leaves
// no memory alert behind.
TEST_F(DocumentFileTest, ARowTypedPastTheOperandLimitIsRefusedNotCut) {
  std::string keys = "y=x";
  for (int k = 0; k < kMaxArity; ++k) keys += "+x";
  DocumentRecord document;
  ASSERT_TRUE(Read("type: " + keys + "\n", &document));
  ASSERT_EQ(problems_.size(), 1u);
  EXPECT_NE(problems_[0].reason.find("does not fit: more than 10000 operands"), std::string::npos) << problems_[0].reason;
  EXPECT_EQ(ErrorRegisterGlobals().pending, 0);
}

// The second row of each document carries the settings (the first is a plain row before it, so a
// colour left out is the second row's own, red). Values: colour, grain, opacity, mode, side.
TEST_F(DocumentFileTest, EachSettingSetsItsRowOrRefusesTheWholeLine) {
  const struct {
    const char* line;
    double values[5];
    const char* reason;  // null: read
  } cases[] = {
      {"@colour=12 @grain=0.25 @opacity=0.5 @mode=0 @side=1 equal[y,x]", {12, 0.25, 0.5, 0, 1}, nullptr},
      {"@mode=1 @xytype=2 @opacity=0 @colour=17 type: y = x", {17, 0.5, 0, 1, 0}, nullptr},
      {"@grain=1e-1 @colour=8 equal[y,x]", {8, 0.1, 1, 2, 0}, nullptr},
      {"@grain=.75 @opacity=1 @mode=2 @side=0 @colour=1 equal[y,x]", {1, 0.75, 1, 2, 0}, nullptr},
      {"@colour=9 equal[y,x]", {}, "bad colour setting (\"@colour=N\" with N from 1 to 8 or 10 to 17 expected)"},
      {"@colour=0 equal[y,x]", {}, "bad colour setting (\"@colour=N\" with N from 1 to 8 or 10 to 17 expected)"},
      {"@colour=18 equal[y,x]", {}, "bad colour setting (\"@colour=N\" with N from 1 to 8 or 10 to 17 expected)"},
      {"@colour=2.0 equal[y,x]", {}, "bad colour setting (\"@colour=N\" with N from 1 to 8 or 10 to 17 expected)"},
      {"@grain=-0.1 equal[y,x]", {}, "bad grain setting (\"@grain=G\" with G from 0 to 1 expected)"},
      {"@grain=1.01 equal[y,x]", {}, "bad grain setting (\"@grain=G\" with G from 0 to 1 expected)"},
      {"@grain=0,5 equal[y,x]", {}, "bad grain setting (\"@grain=G\" with G from 0 to 1 expected)"},
      {"@grain= equal[y,x]", {}, "bad grain setting (\"@grain=G\" with G from 0 to 1 expected)"},
      {"@opacity=nan equal[y,x]", {}, "bad opacity setting (\"@opacity=A\" with A from 0 to 1 expected)"},
      {"@opacity=inf equal[y,x]", {}, "bad opacity setting (\"@opacity=A\" with A from 0 to 1 expected)"},
      {"@mode=3 equal[y,x]", {}, "bad mode setting (\"@mode=M\" with M 0, 1 or 2 expected)"},
      {"@side=-1 equal[y,x]", {}, "bad side setting (\"@side=S\" with S 0 or 1 expected)"},
      // A good setting before a bad one sets nothing: the line is refused whole.
      {"@colour=3 @grain=0.5 @opacity=2 equal[y,x]", {}, "bad opacity setting (\"@opacity=A\" with A from 0 to 1 expected)"},
      {"@mode=0 @mode=1 equal[y,x]", {}, "\"@mode=\" given twice on the line (each row setting once)"},
      {"@opacity=0.5", {}, "a row setting without a formula (\"@opacity=A formula\" expected)"},
  };
  for (const auto& c : cases) {
    DocumentRecord document;  // fills the graphics layer's document hooks
    const auto transparent = GLGlobals().document.drawsWithTransparency;
    ASSERT_TRUE(Read(std::string("equal[y,x]\n") + c.line + "\n", &document)) << c.line;
    if (c.reason != nullptr) {
      ASSERT_EQ(problems_.size(), 1u) << c.line;
      EXPECT_EQ(problems_[0].reason, c.reason) << c.line;
      EXPECT_EQ(document.rows.count, 1) << c.line;
      EXPECT_FALSE(transparent(static_cast<DocumentServices*>(&document))) << c.line;
      continue;
    }
    ASSERT_TRUE(problems_.empty()) << c.line << ": " << problems_[0].reason;
    ASSERT_EQ(document.rows.count, 2) << c.line;
    const EquationRow& row = document.rows.data[1];
    for (int32_t k = 0; k < kRowSettingCount; ++k) {
      EXPECT_EQ(RowSettingOf(row, static_cast<RowSetting>(k)), c.values[k]) << c.line << " setting " << k;
    }
    EXPECT_EQ(transparent(static_cast<DocumentServices*>(&document)), c.values[2] != 1.0) << c.line;
  }
}

// Written and read back, every row has its settings again: a colour other than its place's own
// (row 3 magenta rather than green), the exact grain and opacity, the mode and the side; a row
// with the settings a plain line gives is written plain.
TEST_F(DocumentFileTest, RowsWrittenBackReadWithTheirSettings) {
  DocumentRecord document;
  ASSERT_TRUE(Read("@grain=0.1 @opacity=0.3333333333333333 equal[y,x]\n"
                   "equal[y,x]\n"
                   "@side=1 @mode=1 equal[y,x]\n"
                   "@colour=1 @xytype=3 equal[z,times[x,y]]\n",
                   &document));
  ASSERT_TRUE(problems_.empty()) << problems_[0].reason;
  std::string text;
  for (int32_t i = 0; i < document.rows.count; ++i) text += DocumentRowLine(document.rows.data[i], i) + "\n";
  EXPECT_EQ(text.substr(text.find('\n') + 1, 11), "equal[y,x]\n") << text;
  DocumentRecord again;
  ASSERT_TRUE(Read(text, &again));
  ASSERT_TRUE(problems_.empty()) << problems_[0].reason;
  ASSERT_EQ(again.rows.count, document.rows.count);
  for (int32_t i = 0; i < again.rows.count; ++i) {
    for (int32_t k = 0; k < kRowSettingCount; ++k) {
      const RowSetting which = static_cast<RowSetting>(k);
      EXPECT_EQ(RowSettingOf(again.rows.data[i], which), RowSettingOf(document.rows.data[i], which)) << i << " " << k;
    }
    EXPECT_EQ(again.rows.data[i].xyType, document.rows.data[i].xyType) << i;
  }
  EXPECT_EQ(again.rows.data[3].color, 1.0);
}

}  // namespace
