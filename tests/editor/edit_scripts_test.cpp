// Edit scripts: codes run through DoFormulaEditCommand on a fresh editor (or on a formula with
// the caret placed), checked as infix text and caret dump. Expected values are worked by hand
// from the typing, navigation and deletion rules: for example s, i, n is a product of three
// letters until n completes "sin", which takes a new prompt as its argument and leaves the
// caret on it (path 0 under the sin node that the product collapsed into).
#include <cstring>

#include "editor/caret_navigation.h"
#include "tests/editor/edit_test_support.h"

using namespace edit_test;

namespace {

struct Script {
  const char* formula;  // reader notation; "" for a fresh prompt
  std::vector<int> path;
  int32_t mode;         // -1: the caret as the editor starts (the root selected)
  const char* codes;
  const char* infix;
  const char* caret;
};

class EditScriptTest : public EditTest {
 protected:
  void Check(const Script& s) {
    Fresh(s.formula);
    if (s.mode >= 0) Place(s.path, s.mode, s.mode == SelectionDigits ? 1 : 0, s.mode == SelectionDigits ? 1 : 0);
    Run(std::string(s.codes));
    EXPECT_EQ(Infix(), s.infix) << s.formula << " / " << s.codes;
    EXPECT_EQ(Caret(), s.caret) << s.formula << " / " << s.codes;
    const char* why = "";
    EXPECT_TRUE(CheckFormulaEditor(&E(), &why)) << why;
  }
};

TEST_F(EditScriptTest, TypingBuildsNumbersNamesAndProducts) {
  const Script scripts[] = {
      {"", {}, -1, "123", "123", " m3 0:0"},
      {"", {}, -1, "123x", "123*x", "1 m3 0:0"},
      {"45", {}, SelectionCaretBefore, "9", "945", " m7 1:1"},
      {"", {}, -1, "1.5E3", "sn(1.5,3)", "1 m3 0:0"},
      {"", {}, -1, "sin", "sin(?)", "0 m0 0:0"},
      {"", {}, -1, "sinh", "sinh(?)", "0 m0 0:0"},
      {"", {}, -1, "asin", "asin(?)", "0 m0 0:0"},
      {"", {}, -1, "theta", "theta", " m3 0:0"},
      {"", {}, -1, "pi", "pi", " m3 0:0"},
      {"", {}, -1, "2pi", "2*pi", "1 m3 0:0"},
      {"", {}, -1, "x2", "x*2", "1 m3 0:0"},
      {"minus[x]", {}, SelectionCaretBefore, "2", "2-x", "0 m3 0:0"},
      {"sin[x]", {0}, SelectionCaretBefore, "h", "sinh(x)", "0 m4 0:0"},
      {"times[s,i,n,x]", {2}, SelectionCaretAfter, "~n", "sin(x)", "0 m4 0:0"},
      {"int[x,0,1]", {0}, SelectionCaretAfter, "d", "int(x*diff(?),0,1)", "0.1.0 m0 0:0"},
      {"", {}, -1, "xif", "if(x,?)", "1 m0 0:0"},
      {"", {}, -1, "ab~~c", "c", " m3 0:0"},
      {"times[12,34]", {1}, SelectionCaretBefore, "~", "1234", " m7 2:2"},
      {"plus[a,b]", {1}, SelectionCaretBefore, "~", "a*b", "0 m3 0:0"},
  };
  for (const Script& s : scripts) Check(s);
}

TEST_F(EditScriptTest, ArrowsTabAndGroupExit) {
  const Script scripts[] = {
      {"times[2,x]", {0}, SelectionCaretAfter, ">", "2*x", "1 m3 0:0"},
      {"power[x,2]", {1}, SelectionCaretAfter, ">", "x^2", " m3 0:0"},
      {"over[1,x]", {1}, SelectionCaretAfter, ">", "1/x", " m3 0:0"},
      {"123", {}, SelectionCaretBefore, ">", "123", " m7 1:1"},
      {"123", {}, SelectionCaretAfter, "<", "123", " m7 2:2"},
      {"123", {}, SelectionDigits, "<", "123", " m4 0:0"},
      {"times[2,sin[x]]", {0}, SelectionCaretAfter, ">", "2*sin(x)", "1.0 m4 0:0"},
      {"plus[a,b]", {1}, SelectionCaretNode, "\t", "a+b", "0 m0 0:0"},
      {"plus[a,prompt[]]", {1}, SelectionCaretNode, ">", "a+?", "1 m0 0:0"},
      {"plus[a,b]", {1}, SelectionCaretNode, "^^v", "a+b", "0 m0 0:0"},
      {"plus[a,b]", {1}, SelectionCaretAfter, ")", "a+b", "1 m3 0:0"},
      {"times[f,id[x]]", {1, 0}, SelectionCaretAfter, ")", "f*(x)", "1 m3 0:0"},
      // Right from the end of a matrix's last cell leaves the matrix; from another cell, the next.
      {"plus[matrix[2,2,a,b,c,d],x]", {0, 3}, SelectionCaretAfter, ">", "matrix(2,2,a,b,c,d)+x", "1 m4 0:0"},
      {"matrix[2,2,a,b,c,plus[x,y]]", {3, 1}, SelectionCaretAfter, ">", "matrix(2,2,a,b,c,x+y)", " m3 0:0"},
      {"matrix[1,2,a,b]", {0}, SelectionCaretAfter, ">", "matrix(1,2,a,b)", "1 m4 0:0"},
  };
  for (const Script& s : scripts) Check(s);
  Fresh("plus[a,b]");
  Place({0}, SelectionCaretAfter);
  RunCodes({kCodeSelectNextPrompt});
  EXPECT_EQ(Caret(), "0 m3 0:0");
}

// Products of two numbers keep "after 2" and "before 3" apart; a letter's do not.
TEST_F(EditScriptTest, BeforeAFactorIsAfterTheFactorOnItsLeftExceptBetweenNumbers) {
  Fresh("times[2,3]");
  SetFormulaSelection(E().root->children[1], SelectionCaretBefore);
  EXPECT_EQ(Caret(), "1 m4 0:0");
  Fresh("times[2,x]");
  SetFormulaSelection(E().root->children[1], SelectionCaretBefore);
  EXPECT_EQ(Caret(), "0 m3 0:0");
}

TEST_F(EditScriptTest, NumberAndStringLimits) {
  Fresh("123456789012345678");
  Place({}, SelectionCaretAfter);
  Run("9");
  EXPECT_STREQ(E().root->value.number->text, "123456789012345678");
  Place({}, SelectionDigits, 4, 4);
  Run("9");
  EXPECT_STREQ(E().root->value.number->text, "1234956789012345678");
  EXPECT_EQ(Caret(), " m7 5:5");

  Fresh();
  Run("..");
  EXPECT_STREQ(E().root->value.number->text, "0.");
  Fresh("x");
  Place({}, SelectionCaretAfter);
  Run(".5");
  EXPECT_EQ(Infix(), "x*0.5");

  const std::string full(61, 'q');
  Fresh("string[\"" + full + "\"]");
  Place({}, SelectionCaretAfter);
  RunCodes({'z', 7, 127});
  EXPECT_EQ(std::string(E().root->text), full) << "a 62nd character and control codes are refused";
  Place({}, SelectionText, 2, 5);
  RunCodes({7, 127, 31});
  EXPECT_EQ(std::strlen(E().root->text), 61u) << "inside the text too, control codes are refused";
  Run("z");
  EXPECT_EQ(std::strlen(E().root->text), 59u);
  EXPECT_EQ(Caret(), " m6 3:3");
}

// A marked letter (a factor typed before "*") is skipped by name recognition.
TEST_F(EditScriptTest, MarkedLetterBreaksAName) {
  Fresh("times[a,s,i]");
  LayoutFormula();
  E().root->children[0]->box->nameBreakFlag = 1;
  Place({2}, SelectionCaretAfter);
  Run("n");
  EXPECT_EQ(Infix(), "a*sin(?)");
}

TEST_F(EditScriptTest, BackslashNamesEndStringEntry) {
  Fresh("times[x,string[\"\\alpha\"]]");
  Place({1}, SelectionCaretAfter);
  RunCodes({kCodeFinishStringEntry});
  EXPECT_EQ(Infix(), "x*alpha");
  EXPECT_EQ(Caret(), "1 m0 0:0");

  Fresh("string[\"\\sqrt\"]");
  Place({}, SelectionCaretAfter);
  const int before = document_.snapshots;
  RunCodes({kCodeFinishStringEntry});
  EXPECT_EQ(Infix(), "sqrt(?)") << "the string is cleared before the kind goes in";
  EXPECT_EQ(document_.kindsInserted, std::vector<int32_t>{KindSqrt});
  EXPECT_EQ(document_.snapshots - before, 2) << "clear and the kind each re-dispatch";

  for (const char* text : {"\\foo", "\\num", "plain"}) {
    Fresh(std::string("string[\"") + text + "\"]");
    Place({}, SelectionCaretAfter);
    document_.kindsInserted.clear();
    RunCodes({kCodeFinishStringEntry});
    EXPECT_TRUE(document_.kindsInserted.empty()) << text;
    EXPECT_EQ(Caret(), " m0 0:0") << text;
    const bool cleared = std::strcmp(text, "\\num") == 0;  // a kind name that inserts nothing
    EXPECT_EQ(E().root->kind, cleared ? KindPrompt : KindString) << text;
  }
}

}  // namespace
