// Structural deletion and the formula clipboard as edit scripts, refused allocations swept over
// every attempt, and the system clipboard's text through a fake. Expected values are worked by
// hand from the deletion and clipboard rules: for example backspace before 34 in 12·34 joins the
// numbers with the caret where they met (1234, digits caret at 2).
#include "editor/formula_clipboard.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/text/bracket_writer.h"
#include "kernel/text/formula_reader.h"
#include "kernel/text/number_settings.h"
#include "tests/editor/edit_test_support.h"

using namespace edit_test;

namespace {

constexpr int32_t kBack = kCodeBackspace;

struct Case {
  const char* formula;
  std::vector<int> path;
  int32_t mode, start = 0, end = 0;
  std::vector<int32_t> codes = {};
  const char* infix = "";
  const char* caret = "";
};

class DeletionClipboardTest : public EditTest {
 protected:
  void Run(const Case& c) {
    Fresh(c.formula);
    Place(c.path, c.mode, c.start, c.end);
    RunCodes(c.codes);
  }
  void Check(const Case& c) {
    Run(c);
    EXPECT_EQ(Infix(), c.infix) << c.formula << " " << ::testing::PrintToString(c.codes);
    EXPECT_EQ(Caret(), c.caret) << c.formula << " " << ::testing::PrintToString(c.codes);
    const char* why = "";
    EXPECT_TRUE(CheckFormulaEditor(&E(), &why)) << why;
  }
  static std::string Bracket(const ExprNode* tree) {
    char* text = FormatExpressionBracket(tree);
    std::string out = text ? text : "";
    FreeMemory(text);
    return out;
  }
  static void SetClipboard(const char* text) { SetFormulaClipboardExpression(typeset_test::Parse(text)); }
};

TEST_F(DeletionClipboardTest, BackspaceLeavesATreeThatCanBeTypeset) {
  const Case cases[] = {
      {"123", {}, SelectionCaretAfter, 0, 0, {kBack}, "12", " m3 0:0"},
      {"7", {}, SelectionCaretAfter, 0, 0, {kBack}, "?", " m0 0:0"},
      {"id[plus[a,b]]", {}, SelectionCaretAfter, 0, 0, {kBack}, "a+b", "1 m3 0:0"},
      {"fact[n]", {}, SelectionCaretAfter, 0, 0, {kBack}, "n", " m3 0:0"},
      {"plus[a,b]", {1}, SelectionCaretBefore, 0, 0, {kBack}, "a*b", "0 m3 0:0"},
      {"plus[a,minus[b]]", {1, 0}, SelectionCaretBefore, 0, 0, {kBack}, "a*b", "0 m3 0:0"},
      {"times[12,34]", {1}, SelectionCaretBefore, 0, 0, {kBack}, "1234", " m7 2:2"},
      {"times[1.5,2.5]", {1}, SelectionCaretBefore, 0, 0, {kBack}, "1.5*2.5", "0 m3 0:0"},
      {"over[a,b]", {1}, SelectionCaretBefore, 0, 0, {kBack}, "a*b", "0 m3 0:0"},
      {"integral[f,x,a,b]", {2}, SelectionCaretBefore, 0, 0, {kBack}, "x*integral(f,a,b)", "0 m3 0:0"},
      {"plus[a,b,c]", {1}, SelectionCaretBefore, 0, 0, {kBack}, "a*b+c", "0.0 m3 0:0"},
      {"plus[a,times[b,c],d]", {2}, SelectionCaretBefore, 0, 0, {kBack}, "a+b*c*d", "1.1 m3 0:0"},
      {"prompt[]", {}, SelectionCaretNode, 0, 0, {kBack}, "?", " m0 0:0"},
      {"matrix[1,2,a,prompt[]]", {1}, SelectionCaretNode, 0, 0, {kBack}, "vector(a)", "0 m3 0:0"},
      {"matrix[2,2,a,b,c,prompt[]]", {3}, SelectionCaretNode, 0, 0, {kBack}, "matrix(2,2,a,b,c,?)", " m0 0:0"},
      {"indexes[0,1,prompt[],i]", {0}, SelectionCaretNode, 0, 0, {kBack}, "?_i", " m0 0:0"},
      {"sum[prompt[],k,5]", {0}, SelectionCaretNode, 0, 0, {kBack}, "sum(?,k,5)", " m0 0:0"},
      // An integral's emptied integrand stays: its variable never becomes the integrand.
      {"integral[prompt[],x,0,1]", {0}, SelectionCaretNode, 0, 0, {kBack}, "integral(?,x,0,1)", " m0 0:0"},
      {"integral[prompt[],x]", {0}, SelectionCaretNode, 0, 0, {kBack}, "integral(?,x)", " m0 0:0"},
      {"", {}, SelectionCaretNode, 0, 0, {0x18C0, kCodeSelectNextLeaf, kBack}, "integral(?,x,0,1)", " m0 0:0"},
      {"", {}, SelectionCaretNode, 0, 0, {0x18BF, kCodeSelectNextLeaf, kBack}, "integral(?,x)", " m0 0:0"},
      {"integral[prompt[],x]", {1}, SelectionCaretNode, 0, 0, {kBack, kBack}, "?", " m0 0:0"},
      // A tensor with i raised and j lowered: one index gone gives an index list, both its base.
      {"tensor[1,x,i,j]", {1}, SelectionCaretNode, 0, 0, {kBack, kBack}, "x_j", "0 m3 0:0"},
      {"tensor[1,x,i,j]", {1}, SelectionCaretNode, 0, 0, {kBack, kBack, kCodeCaretRight, kCodeCaretRight, kBack, kBack},
       "x", " m3 0:0"},
      {"123", {}, SelectionDigits, 0, 3, {kBack}, "?", " m0 0:0"},  // never an empty number
      {"times[x,345]", {1}, SelectionDigits, 0, 3, {kCodeClear}, "x", " m3 0:0"},
      {"plus[a,b,c]", {}, SelectionOperator, 0, 0, {kCodeClear}, "?", " m0 0:0"},  // clear takes the node
      {"comma[times[],y]", {}, SelectionOperator, 0, 0, {kBack}, "*y", "0 m3 0:0"},  // an empty factor stays
  };
  for (const Case& c : cases) Check(c);
  Check({"chem[0,0,1,1,c,prompt[],b]", {1}, SelectionCaretNode, 0, 0, {kBack}, "c_b", "0 m3 0:0"});
  EXPECT_EQ(E().root->kind, KindIndexes) << "the places left are the second and fourth";
  EXPECT_EQ(E().root->value.halves.first, 1);
  EXPECT_EQ(E().root->value.halves.second, 0);
  Fresh("num[1234,\"1234\"]");
  E().root->value.number->moreDigits = 1;
  Place({}, SelectionCaretAfter);
  RunCodes({kBack});
  EXPECT_EQ(Infix(), "1234") << "the first backspace shows the whole number";
  EXPECT_EQ(E().root->value.number->moreDigits, 0);
}

TEST_F(DeletionClipboardTest, CutThenPasteRestoresTheFormula) {
  const Case cases[] = {
      {"times[a,x,b]", {1}, SelectionCaretNode}, {"times[x,a,b]", {0}, SelectionCaretNode},
      {"times[a,x]", {1}, SelectionCaretNode},   {"plus[a,b]", {1}, SelectionCaretNode},
      {"plus[a,minus[b],c]", {1}, SelectionCaretNode}, {"sin[plus[x,y]]", {}, SelectionCaretNode},
      {"plus[a,b,c,d]", {}, SelectionChildRange, 1, 2}, {"123", {}, SelectionDigits, 1, 2},
      {"plus[a,b]", {}, SelectionOperator},     {"times[2,3]", {1}, SelectionCaretNode},
  };
  for (const Case& c : cases) {
    Fresh(c.formula);
    const std::string before = Bracket(E().root);
    Place(c.path, c.mode, c.start, c.end);
    RunCodes({kCodeCut});
    EXPECT_NE(Bracket(E().root), before) << c.formula;
    RunCodes({kCodePaste});
    EXPECT_EQ(Bracket(E().root), before) << c.formula;
  }
}

TEST_F(DeletionClipboardTest, PasteByMode) {
  const struct {
    const char* clip;
    Case target;
  } cases[] = {
      {"plus[x,y]", {"plus[a,b,c]", {1}, SelectionCaretNode, 0, 0, {kCodePaste}, "a+x+y+c", " m1 1:2"}},
      {"times[x,y]", {"times[a,b]", {0}, SelectionCaretAfter, 0, 0, {kCodePaste}, "a*x*y*b", " m1 1:2"}},
      {"45", {"123", {}, SelectionDigits, 1, 1, {kCodePaste}, "14523", " m7 3:3"}},
      {"45", {"123", {}, SelectionDigits, 3, 3, {kCodePaste}, "12345", " m3 0:0"}},
      {"45", {"123", {}, SelectionDigits, 0, 3, {kCodePaste}, "45", " m0 0:0"}},  // over all of the digits
      {"12345678901234567890", {"123", {}, SelectionDigits, 1, 1, {kCodePaste}, "123", " m7 1:1"}},  // too long
      {"y", {"123", {}, SelectionDigits, 1, 1, {kCodePaste}, "1*y*23", "1 m3 0:0"}},
      {"y", {"x", {}, SelectionCaretBefore, 0, 0, {kCodePaste}, "y*x", "0 m3 0:0"}},
      {"y", {"x", {}, SelectionCaretAfter, 0, 0, {kCodePaste, kCodePaste}, "x*y*y", "2 m3 0:0"}},
  };
  for (const auto& c : cases) {
    SetClipboard(c.clip);
    Check(c.target);
  }
  // An operator copied alone pastes as a new node of its kind, not the copied operands.
  Fresh("plus[a,b]");
  Place({}, SelectionOperator);
  RunCodes({kCodeCopy});
  EXPECT_EQ(FormulaClipboardExpression(), nullptr);
  Check({"", {}, SelectionCaretNode, 0, 0, {kCodePaste}, "?+?", "1 m0 0:0"});
}

TEST_F(DeletionClipboardTest, CopiesAreIndependentAndCaretsCutNothing) {
  for (int32_t mode : {SelectionCaretAfter, SelectionCaretBefore}) {
    SetClipboard("q");
    Check({"times[a,b]", {0}, mode, 0, 0, {kCodeCut, kCodeCopy}, "a*b", mode == SelectionCaretAfter ? "0 m3 0:0" : "0 m4 0:0"});
    EXPECT_EQ(Bracket(FormulaClipboardExpression()), "q");
  }
  Check({"times[a,x,b]", {1}, SelectionCaretNode, 0, 0, {kCodeCut, kCodePaste, kCodePaste, 'q'}, "a*x*x*q*b", "3 m3 0:0"});
  EXPECT_EQ(Bracket(FormulaClipboardExpression()), "x");
  EXPECT_NE(E().root->children[1], E().root->children[2]);
  // Clearing whole columns of a 3×3 matrix keeps the others; one cell is no whole row or column.
  Check({"matrix[3,3,a,b,c,d,e,f,g,h,i]", {}, SelectionMatrixBlock, 0, 6, {kCodeClear}, "matrix(3,2,b,c,e,f,h,i)", " m0 0:0"});
  Check({"matrix[3,3,a,b,c,d,e,f,g,h,i]", {}, SelectionMatrixBlock, 1, 8, {kCodeClear}, "vector(a,d,g)", " m0 0:0"});
  Check({"matrix[3,3,a,b,c,d,e,f,g,h,i]", {}, SelectionMatrixBlock, 4, 4, {kCodeClear},
         "matrix(3,3,a,b,c,d,e,f,g,h,i)", " m5 4:4"});
  Check({"matrix[2,2,a,b,c,d]", {}, SelectionMatrixBlock, 1, 3, {kCodeCopy, kCodeCaretLeft, kCodePaste},
         "matrix(2,2,a,vector(b,d),c,d)", "1 m0 0:0"});
}

TEST_F(DeletionClipboardTest, CutOutOfMemoryLeavesTheFormulaAndAnEmptyClipboard) {
  SetClipboard("q");
  Fresh("times[a,x,b]");
  Place({1}, SelectionCaretNode);
  FailNodeAllocationAt(1);
  RunCodes({kCodeCut});
  FailNodeAllocationAt(0);
  SetOutOfMemoryFlag(false);
  EXPECT_EQ(Infix(), "a*x*b");
  EXPECT_EQ(FormulaClipboardExpression(), nullptr);
}

// Each edit with every allocation refused in turn (node pools, then counted memory): the editor
// stays valid, and an edit that is one step either happens whole or not at all.
TEST_F(DeletionClipboardTest, RefusedAllocationsLeaveTheFormulaWholeOrDone) {
  const struct {
    Case c;
    const char* clip;
    bool whole;
  } cases[] = {
      {{"plus[a,b,c]", {1}, SelectionCaretBefore, 0, 0, {kBack}}, "", true},
      {{"times[12,34,x]", {1}, SelectionCaretBefore, 0, 0, {kBack}}, "", true},
      {{"integral[f,x,a,b]", {2}, SelectionCaretBefore, 0, 0, {kBack}}, "", true},
      {{"tensor[1,x,i,prompt[],j]", {2}, SelectionCaretNode, 0, 0, {kBack}}, "", true},
      {{"matrix[1,3,a,b,prompt[]]", {2}, SelectionCaretNode, 0, 0, {kBack}}, "", true},
      {{"times[x,y,z]", {0}, SelectionCaretAfter, 0, 0, {0x1901}}, "", true},
      {{"times[2,matrix[2,2,a,b,c,d]]", {1}, SelectionMatrixBlock, 0, 3, {0x1901}}, "", true},  // caret put back
      {{"times[x,string[\"ab\"]]", {1}, SelectionText, 0, 1, {0x1907}}, "", true},
      {{"matrix[2,2,a,b,c,d]", {0}, SelectionCaretAfter, 0, 0, {0x18A0}}, "", true},
      {{"matrix[3,3,a,b,c,d,e,f,g,h,i]", {}, SelectionMatrixBlock, 0, 6, {kCodeClear}}, "", true},
      {{"matrix[2,2,a,b,c,d]", {}, SelectionMatrixBlock, 0, 3, {KindCode(KindTimes)}}, "k", true},
      {{"times[a,x,b]", {1}, SelectionCaretNode, 0, 0, {kCodeCut}}, "", true},
      {{"plus[a,b,c]", {1}, SelectionCaretNode, 0, 0, {kCodePaste}}, "plus[p,q]", false},
      {{"x", {}, SelectionCaretNode, 0, 0, {0x18C1}}, "", false},
      {{"x", {}, SelectionCaretNode, 0, 0, {0x18A9}}, "", false},
  };
  for (const auto& k : cases) {
    if (*k.clip) SetClipboard(k.clip);
    Run(k.c);
    const std::string before = k.c.formula, done = Bracket(E().root);
    for (int seam = 0; seam < 2; ++seam) {
      for (uint64_t n = 1;; ++n) {
        if (*k.clip) SetClipboard(k.clip);
        Fresh(k.c.formula);
        const std::string original = Bracket(E().root);
        Place(k.c.path, k.c.mode, k.c.start, k.c.end);
        seam == 0 ? FailNodeAllocationAt(n) : FailAllocationAt(n);
        RunCodes(k.c.codes);
        const bool refused = (seam == 0 ? NodeAllocationAttempts() : CountedAllocationAttempts()) >= n;
        FailNodeAllocationAt(0);
        FailAllocationAt(0);
        SetOutOfMemoryFlag(false);
        const char* why = "";
        EXPECT_TRUE(CheckFormulaEditor(&E(), &why)) << before << " " << n << ": " << why;
        const std::string after = Bracket(E().root);
        if (k.whole) {
          EXPECT_TRUE(after == original || after == done) << before << " " << n << ": " << after;
        }
        if (!refused) break;
      }
    }
  }
}

// The system clipboard fake: what was put there, and what another program puts there.
std::string& Scrap() {
  static std::string scrap;
  return scrap;
}

TEST_F(DeletionClipboardTest, SystemClipboardTextGoesOutAndComesBackAsAFormula) {
  Scrap().clear();
  TypesetGlobals().hooks.putScrapText = [](const char* text) { Scrap() = text; };
  TypesetGlobals().hooks.scrapText = [] { return Scrap().empty() ? nullptr : Scrap().c_str(); };
  Fresh("plus[a,num[2.5,\"2.5\"]]");
  RunCodes({kCodeCopy});
  EXPECT_EQ(Scrap(), "plus[a,2.5]");
  Check({"x", {}, SelectionCaretNode, 0, 0, {kCodePaste}, "a+2.5", " m0 0:0"});

  Scrap() = "times[p,q]";  // put there by another program
  Check({"x", {}, SelectionCaretNode, 0, 0, {kCodePaste}, "p*q", " m0 0:0"});
  Scrap() = "][ not a formula";  // refused: not the previous formula either
  Check({"x", {}, SelectionCaretNode, 0, 0, {kCodePaste}, "x", " m0 0:0"});
  EXPECT_EQ(Bracket(FormulaClipboardExpression()), "times[p,q]");
  // An operator copied here stays the clipboard while the system's text is the one already seen.
  Fresh("equal[a,b]");
  Place({}, SelectionOperator);
  RunCodes({kCodeCopy});
  Check({"x", {}, SelectionCaretNode, 0, 0, {kCodePaste}, "x=?", "1 m0 0:0"});
}

// A copy's numbers go to the system clipboard as the typing guide writes them (1, 0.5) where that
// plain word reads back as the same number, else with their text; under either decimal separator
// the copied text reads back as the formula copied.
TEST_F(DeletionClipboardTest, CopiedNumbersArePlainWordsThatReadBackTheSame) {
  TypesetGlobals().hooks.putScrapText = [](const char* text) { Scrap() = text; };
  TypesetGlobals().hooks.scrapText = [] { return Scrap().empty() ? nullptr : Scrap().c_str(); };
  const struct {
    const char* formula;
    const char* copied;
  } cases[] = {
      {"equal[y,plus[sqrt[x],1]]", "equal[y,plus[sqrt[x],1]]"},
      {"equal[y,times[num[0.5,\"0.5\"],x]]", "equal[y,times[0.5,x]]"},
      {"num[5,\"05\"]", "05"},
      {"num[1,\"1.\"]", "1."},
      {"num[1e22,\"10000000000000000000000\"]", "10000000000000000000000"},
      {"num[0.33333333333333331,\"0.33333333\"]", "num[0.33333333333333331,\"0.33333333\"]"},  // 1/3 shown short
      {"num[238810495,\"2.388105e+08\"]", "sn[num[2.3881049499999998,\"2.388105\"],8]"},  // split: no plain word
  };
  for (const char separator : {'.', ','}) {
    const DecimalSeparatorScope locale(separator);
    for (const auto& c : cases) {
      Scrap().clear();
      Fresh(c.formula);
      Place({}, SelectionCaretNode);
      RunCodes({kCodeCopy});
      EXPECT_EQ(Scrap(), c.copied) << separator << " " << c.formula;
      ExprNode* back = ReadWholeFormula(Scrap().c_str());
      EXPECT_EQ(Bracket(back), Bracket(E().root)) << separator << " " << c.formula;
      FreeExpression(back);
    }
  }
}

}  // namespace

namespace {

// Text on the system clipboard is pasted only when it reads whole as a formula: never a readable
// beginning of it, never an operator without operands or a number without digits. Any other text
// changes nothing, not even into the previous formula clipboard, and says each time that the
// clipboard's text is no formula (not the damaged-file message). Blanks outside quotes are dropped
// first, as a document line's are.
TEST_F(DeletionClipboardTest, PastedTextMustReadWholeOrChangesNothingAndSaysSo) {
  TypesetGlobals().hooks.putScrapText = [](const char* text) { Scrap() = text; };
  TypesetGlobals().hooks.scrapText = [] { return Scrap().c_str(); };
  const struct {
    const char* text;
    const char* infix;  // pasted over the selected x; "x" when refused
  } cases[] = {
      {"1/0", "x"},                   // the reader's prefix would be 1
      {"x+", "x"},                    // ... and x
      {"sin[y]z", "x"},
      {"times[]", "x"},               // an empty, invisible product
      {"plus[a,times[]]", "x"},
      {"comma[]", "x"},
      {"plus[a,]", "x"},              // an empty item reads as a number without digits
      {"", "x"},
      {" \n", "x"},
      {"num[1,\"1\"", "x"},         // unterminated
      {"matrix[2,2,a]", "x"},         // the reader's own refusal
      {"][", "x"},
      {"  plus[a,b]\n", "a+b"},      // blanks around a whole formula are no part of it
      {"times[2,sin[y]]", "2*sin(y)"},
      {"prompt[]", "?"},
      {"string[\"\"]", "string()"},  // an empty text is a string, not an operator
      {"plus[a, times[2, b]]", "a+2*b"},  // blanks after commas, as a document line has them
      {"plus[a,\r\n\tb]", "a+b"},
      {"plus[a, ]", "x"},                 // still an empty item without its blank
      {"sin [y] z", "x"},                 // still more than one formula
  };
  for (const auto& c : cases) {
    SetClipboard("q");
    ResetErrorRegister();
    Scrap() = c.text;
    Check({"x", {}, SelectionCaretNode, 0, 0, {kCodePaste}, c.infix, " m0 0:0"});
    const bool refused = std::string(c.infix) == "x";
    EXPECT_EQ(PendingError(), refused ? kErrorUnreadableClipboard : kErrorNone) << c.text;
    EXPECT_EQ(Bracket(FormulaClipboardExpression()), refused ? "q" : Bracket(E().root)) << c.text;
  }

  // Into digits: a refused text leaves 123 and its digit caret as they were (no 1123).
  ResetErrorRegister();
  Scrap() = "1/0";
  Check({"123", {}, SelectionDigits, 1, 1, {kCodePaste}, "123", " m7 1:1"});
  // A refusal is told again at the next paste, after the first was shown.
  ShowPendingError();
  EXPECT_EQ(PendingError(), kErrorNone);
  RunCodes({kCodePaste});
  EXPECT_EQ(PendingError(), kErrorUnreadableClipboard);
  EXPECT_EQ(Infix(), "123");

  // Text that could not be read for want of memory says that instead.
  ResetErrorRegister();
  Scrap() = "plus[a,b]";
  Fresh("x");
  FailNodeAllocationAt(1, true);
  RunCodes({kCodePaste});
  FailNodeAllocationAt(0);
  SetOutOfMemoryFlag(false);
  EXPECT_EQ(Infix(), "x");
  EXPECT_EQ(PendingError(), kErrorOutOfMemory);
  RunCodes({kCodePaste});
  EXPECT_EQ(Infix(), "a+b") << "the same text reads once memory is back";
}

// A sum past the operand limit is refused as memory is (error 7), at every paste of it: the
// reader's own post of 7 is swallowed by its once-bit after the first alert, and the refusal must
// not then be told as unrecognised text. A long sum within the limit still pastes.
TEST_F(DeletionClipboardTest, APasteOverTheOperandLimitSaysSoEveryTime) {
  TypesetGlobals().hooks.putScrapText = [](const char* text) { Scrap() = text; };
  TypesetGlobals().hooks.scrapText = [] { return Scrap().c_str(); };
  const auto sum = [](int operands) {
    std::string text = "plus[a";
    for (int k = 1; k < operands; ++k) text += ",a";
    return text + "]";
  };
  ResetErrorRegister();
  const struct { int operands; int error; } pastes[] = {
      {kMaxArity + 1, kErrorOutOfMemory}, {kMaxArity + 1, kErrorOutOfMemory}, {kMaxArity + 1, kErrorOutOfMemory},
      {kMaxArity, kErrorNone},
  };
  for (const auto& p : pastes) {
    SetClipboard("q");
    Scrap() = sum(p.operands);
    Fresh("x");
    RunCodes({kCodePaste});
    EXPECT_EQ(PendingError(), p.error) << p.operands;
    EXPECT_EQ(E().root->arity, p.error == kErrorNone ? kMaxArity : 0) << "nothing changes when refused";
    ShowPendingError();  // the alert is seen: the next refusal must be told again
  }
}

}  // namespace
