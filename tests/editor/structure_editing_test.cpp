// Operators, relations, templates and matrix growth as edit scripts, checked as infix text and
// caret dump. Expected values are worked by hand from the insertion rules: for example "-" after
// x in x·y splits the product into a sum whose second term is the negated y, the caret before y;
// Control-2 types 1, makes it a matrix, adds a column (0), a row (0), moves right and types 1.
#include "editor/edit_templates.h"
#include "editor/equation_keys.h"
#include "tests/editor/edit_test_support.h"

using namespace edit_test;

namespace {

constexpr int32_t kPlus = KindCode(KindPlus), kTimes = KindCode(KindTimes), kMinus = KindCode(KindMinus);

struct Script {
  const char* formula;  // reader notation; "" for a fresh prompt
  std::vector<int> path;
  int32_t mode;         // -1: the caret as the editor starts
  std::vector<int32_t> codes;
  const char* infix;
  const char* caret;
};

class StructureEditingTest : public EditTest {
 protected:
  void Check(const Script& s) {
    Fresh(s.formula);
    if (s.mode >= 0) Place(s.path, s.mode);
    RunCodes(s.codes);
    EXPECT_EQ(Infix(), s.infix) << s.formula << " " << ::testing::PrintToString(s.codes);
    EXPECT_EQ(Caret(), s.caret) << s.formula << " " << ::testing::PrintToString(s.codes);
    const char* why = "";
    EXPECT_TRUE(CheckFormulaEditor(&E(), &why)) << why;
  }
};

TEST_F(StructureEditingTest, OperatorsAndRelationsGoWhereTheCaretIs) {
  const Script scripts[] = {
      {"", {}, -1, {'a', kPlus, 'b', kPlus, 'c'}, "a+b+c", "2 m3 0:0"},  // the second "+" extends the sum
      {"", {}, -1, {'a', kMinus, 'b'}, "a-b", "1.0 m3 0:0"},
      {"", {}, -1, {'a', kTimes, 's', 'i', 'n'}, "a*sin(?)", "1.0 m0 0:0"},  // the marked a stays out of asin
      {"plus[a,minus[b]]", {1}, SelectionOperator, {0x1901}, "a=b", " m2 0:0"},
      {"times[x,y]", {0}, SelectionCaretAfter, {0x1901}, "x=y", "1 m4 0:0"},
      {"times[x,y]", {0}, SelectionCaretAfter, {kMinus}, "x-y", "1.0 m4 0:0"},
      {"sum[f,k]", {1}, SelectionCaretAfter, {0x1901, '0'}, "sum(f,k=0)", "1.1 m3 0:0"},
      {"sum[f,k]", {1}, SelectionCaretAfter, {0x1905}, "sum(f,k)<?", "1 m0 0:0"},  // only "=" stays in a bound
      {"equal[a,b]", {}, SelectionOperator, {0x1905}, "a<b", " m2 0:0"},
      {"equal[y,times[a,b]]", {1, 0}, SelectionCaretAfter, {0x1901}, "y=a*b=?", "2 m0 0:0"},
      {"times[2,sin[x]]", {1, 0}, SelectionCaretAfter, {kTimes}, "2*sin(x)*?", "2 m0 0:0"},
      {"times[a,b]", {0}, SelectionCaretAfter, {kPlus}, "a+b", "1 m4 0:0"},
      {"plus[a,b]", {}, SelectionOperator, {kMinus}, "a-b", "1.0 m4 0:0"},
      {"times[x,y]", {0}, SelectionCaretBefore, {kMinus}, "-(x*y)", "0.0 m4 0:0"},
      {"times[x,y]", {0}, SelectionCaretAfter, {KindCode(KindSqrt)}, "x*sqrt(y)", "1.0 m4 0:0"},
      {"times[x,y]", {0}, SelectionCaretAfter, {KindCode(KindFact)}, "x!*y", "0 m3 0:0"},
      {"sin[x]", {}, SelectionOperator, {KindCode(KindPower)}, "sin(x)^?", "1 m0 0:0"},
      {"x", {}, SelectionCaretBefore, {KindCode(KindString)}, "string()*x", "0 m3 0:0"},  // x survives
      {"", {}, -1, {'g', 'r', 'a', 'd', KindCode(KindDot)}, "div(?)", "0 m0 0:0"},
      {"max[a]", {0}, SelectionCaretAfter, {0x1907}, "max(a,?)", "0.1 m0 0:0"},
      {"times[2,cos[x]]", {1, 0}, SelectionCaretNode, {0x1900}, "2*cos(-x)", "1.0.0 m4 0:0"},  // x, not cos x
      {"log[x,2]", {}, SelectionOperator, {0x1901}, "log(x,2)=?", "1 m0 0:0"},  // no relation between x and 2
      {"function[f,a]", {1}, SelectionCaretAfter, {0x1907}, "function(f,a,?)", "1.1 m0 0:0"},
  };
  for (const Script& s : scripts) Check(s);
}

// A relation or the list separator typed with a matrix block or a text caret selected climbs from
// the matrix or string like any caret, and the operator goes in after the node it reached.
TEST_F(StructureEditingTest, RelationsAndSeparatorsTakeABlockOrTextCaretToo) {
  const Script scripts[] = {
      {"matrix[2,2,a,b,c,d]", {}, SelectionMatrixBlock, {0x1901}, "matrix(2,2,a,b,c,d)=?", "1 m0 0:0"},
      {"matrix[2,2,a,b,c,d]", {}, SelectionMatrixBlock, {0x1905}, "matrix(2,2,a,b,c,d)<?", "1 m0 0:0"},
      {"matrix[2,2,a,b,c,d]", {}, SelectionMatrixBlock, {0x1906}, "matrix(2,2,a,b,c,d)>?", "1 m0 0:0"},
      {"matrix[2,2,a,b,c,d]", {}, SelectionMatrixBlock, {0x1909}, "leq(matrix(2,2,a,b,c,d),?)", "1 m0 0:0"},
      {"matrix[2,2,a,b,c,d]", {}, SelectionMatrixBlock, {0x190A}, "geq(matrix(2,2,a,b,c,d),?)", "1 m0 0:0"},
      {"matrix[2,2,a,b,c,d]", {}, SelectionMatrixBlock, {0x1907}, "matrix(2,2,a,b,c,d),?", "1 m0 0:0"},
      {"times[2,matrix[1,2,a,b]]", {1}, SelectionMatrixBlock, {0x1901}, "2*matrix(1,2,a,b)=?", "1 m0 0:0"},
      {"comma[y,times[k,matrix[1,2,a,b]]]", {1, 1}, SelectionMatrixBlock, {0x1907}, "y,k*matrix(1,2,a,b),?", "2 m0 0:0"},
      {"times[x,string[\"ab\"]]", {1}, SelectionText, {0x1901}, "x*string()=?", "1 m0 0:0"},
      {"times[x,string[\"ab\"]]", {1}, SelectionText, {0x1907}, "x*string(),?", "1 m0 0:0"},
      {"sum[string[\"ab\"],k]", {0}, SelectionText, {0x1901}, "sum(string(),k)=?", "1 m0 0:0"},
      {"sum[f,string[\"ab\"]]", {1}, SelectionText, {0x1901}, "sum(f,string()=?)", "1.1 m0 0:0"},  // a bound
  };
  for (const Script& s : scripts) Check(s);
}

// Control-minus leaves a block or a text caret alone, the layout included; elsewhere it negates.
TEST_F(StructureEditingTest, NegateOnABlockOrTextKeepsTheLayout) {
  const struct {
    const char* formula;
    int32_t mode;
    const char* infix;
    bool relaid;
  } cases[] = {
      {"matrix[2,2,a,b,c,d]", SelectionMatrixBlock, "matrix(2,2,a,b,c,d)", false},
      {"string[\"ab\"]", SelectionText, "string()", false},
      {"matrix[2,2,a,b,c,d]", SelectionCaretNode, "-matrix(2,2,a,b,c,d)", true},
  };
  for (const auto& c : cases) {
    Edit(c.formula);
    Place({}, c.mode, 0, c.mode == SelectionCaretNode ? 0 : 1);
    ASSERT_TRUE(E().layoutValid);
    RunCodes({0x1900});
    EXPECT_EQ(Infix(), c.infix);
    EXPECT_EQ(E().layoutValid == 0, c.relaid) << c.formula;
  }
}

// "*" after any letter breaks a name there: the break the user typed is never read through.
TEST_F(StructureEditingTest, StarAfterALetterKeepsTheLettersApart) {
  const Script scripts[] = {
      {"", {}, -1, {'a', kTimes, 's', 'i', 'n'}, "a*sin(?)", "1.0 m0 0:0"},
      {"", {}, -1, {'p', kTimes, 'i'}, "p*i", "1 m3 0:0"},
      {"", {}, -1, {'c', kTimes, 'o', 's'}, "c*o*s", "2 m3 0:0"},
      {"", {}, -1, {'p', 'i'}, "pi", " m3 0:0"},  // without the break, the names are read
      {"", {}, -1, {'c', 'o', 's'}, "cos(?)", "0 m0 0:0"},
      {"", {}, -1, {'a', 's', 'i', 'n'}, "asin(?)", "0 m0 0:0"},
  };
  for (const Script& s : scripts) Check(s);
}

// Each template on a fresh prompt and on a selected x.
TEST_F(StructureEditingTest, TemplatesOnAPromptAndOnASelectedX) {
  const struct {
    int32_t code;
    const char *onPrompt, *promptCaret, *onX, *xCaret;
  } rows[] = {
      {0x1809, "function(optotal(?),?)", "0.0 m0 0:0", "function(optotal(?),x)", "0.0 m0 0:0"},
      {0x180A, "function(oppartial(?),?)", "0.0 m0 0:0", "function(oppartial(?),x)", "0.0 m0 0:0"},
      {0x18A0, "branch(?,?)", "1 m0 0:0", "branch(x,?)", "1 m0 0:0"},
      {0x18A1, "?", " m0 0:0", "x", " m0 0:0"},  // no matrix, no column
      {0x18A6, "?_?", "1 m0 0:0", "x_?", "1 m0 0:0"},
      {0x18A9, "1/?", "1 m0 0:0", "1/x", " m0 0:0"},
      {0x18AA, "?^2", "0 m0 0:0", "x^2", " m0 0:0"},
      {0x18AB, "?^3", "0 m0 0:0", "x^3", " m0 0:0"},
      {0x18AC, "e^?", "1 m0 0:0", "e^x", " m0 0:0"},
      {0x18AD, "2^?", "1 m0 0:0", "2^x", " m0 0:0"},
      {0x18AE, "10^?", "1 m0 0:0", "10^x", " m0 0:0"},
      {0x18AF, "sqrt(?,3)", "0 m0 0:0", "sqrt(x,3)", " m0 0:0"},
      {0x18B0, "sqrt(?,?)", "1 m0 0:0", "sqrt(x,?)", "1 m0 0:0"},
      {0x18B1, "log(?,2)", "0 m0 0:0", "log(x,2)", " m0 0:0"},
      {0x18B2, "function(oppartial(x),?)", "1 m0 0:0", "function(oppartial(x),x)", " m0 0:0"},
      {0x18B3, "vector(x,y)", "0 m0 0:0", "vector(x,y)", "0 m0 0:0"},
      {0x18B4, "vector(x,y,z)", "0 m0 0:0", "vector(x,y,z)", "0 m0 0:0"},
      {0x18B5, "?_0", "0 m0 0:0", "x_0", " m3 0:0"},
      {0x18B9, "?_4", "0 m0 0:0", "x_4", " m3 0:0"},
      {0x18BA, "function(optotal(x),?)", "1 m0 0:0", "function(optotal(x),x)", " m0 0:0"},
      {0x18BB, "sum(?,k=0,5)", "2 m3 0:0", "sum(x,k=0,5)", "2 m3 0:0"},
      {0x18BC, "lparen(?)", "0 m0 0:0", "lparen(x)", "0 m4 0:0"},
      {0x18BD, "substitution(?,x=0)", "1.1 m3 0:0", "substitution(x,x=0)", "1.1 m3 0:0"},
      {0x18BF, "integral(?,x)", "1 m3 0:0", "integral(x,x)", "1 m3 0:0"},
      {0x18C0, "integral(?,x,0,1)", "3 m3 0:0", "integral(x,x,0,1)", "3 m3 0:0"},
      {0x18C1, "matrix(2,2,1,0,0,1)", "0 m0 0:0", "matrix(2,2,1,0,0,1)", "0 m0 0:0"},
      {0x18C2, "matrix(3,3,1,0,0,0,1,0,0,0,1)", "0 m0 0:0", "matrix(3,3,1,0,0,0,1,0,0,0,1)", "0 m0 0:0"},
      {0x1900, "-?", "0 m0 0:0", "-x", "0 m4 0:0"},
      {0x1901, "?=?", "1 m0 0:0", "x=?", "1 m0 0:0"},
      {0x1902, "?", " m0 0:0", "x", " m0 0:0"},  // nothing with bound slots around
      {0x1903, "?", " m0 0:0", "x", " m0 0:0"},  // no handler
      {0x1905, "?<?", "1 m0 0:0", "x<?", "1 m0 0:0"},
      {0x1906, "?>?", "1 m0 0:0", "x>?", "1 m0 0:0"},
      {0x1907, "?,?", "1 m0 0:0", "x,?", "1 m0 0:0"},
      {0x1908, "vector(x,y,u,v)", "0 m0 0:0", "vector(x,y,u,v)", "0 m0 0:0"},
      {0x1909, "leq(?,?)", "1 m0 0:0", "leq(x,?)", "1 m0 0:0"},
      {0x190A, "geq(?,?)", "1 m0 0:0", "geq(x,?)", "1 m0 0:0"},
  };
  for (const auto& r : rows) {
    Check({"", {}, -1, {r.code}, r.onPrompt, r.promptCaret});
    Check({"x", {}, SelectionCaretNode, {r.code}, r.onX, r.xCaret});
  }
  Check({"over[1,x]", {}, SelectionCaretNode, {0x18A9}, "x", " m0 0:0"});  // and back
}

// The keys of the identity matrices, the definite integral and the sum reach their templates.
TEST_F(StructureEditingTest, ControlKeysTypeTheirTemplates) {
  const struct {
    char key;
    const char* infix;
  } keys[] = {{'2', "matrix(2,2,1,0,0,1)"}, {'3', "matrix(3,3,1,0,0,0,1,0,0,0,1)"},
              {'d', "integral(?,x,0,1)"},   {'s', "sum(?,k=0,5)"}};
  for (const auto& k : keys) {
    FormulaEditor* e = Fresh();
    HandleEquationKey(TranslateLinuxKey(k.key, k.key, false, true, true), e, nullptr);
    EXPECT_EQ(Infix(), k.infix) << k.key;
  }
}

TEST_F(StructureEditingTest, MatrixGrowthStopsAtTheOperandLimitAndWhileMemoryIsShort) {
  Fresh("matrix[2,2,a,b,c,d]");
  Place({1}, SelectionCaretAfter);
  AddMatrixColumn();
  EXPECT_EQ(Infix(), "matrix(2,3,a,b,?,c,d,?)");
  EXPECT_EQ(Caret(), "5 m0 0:0");
  SetOutOfMemoryFlag(true);
  AddMatrixRowOrBranch();
  SetOutOfMemoryFlag(false);
  EXPECT_EQ(E().root->arity, 6);

  ExprNode* big = NewNode(KindMatrix, kMaxArity);  // 100 by 100
  for (int32_t k = 0; k < kMaxArity; ++k) SetChild(big, k, NewPromptNode());
  big->value.halves = NodeHalves{100, 100};
  FreeExpression(E().root);
  E().root = E().caretNode = big;
  ResetErrorRegister();
  for (int32_t code : {0x18A0, 0x18A1, 0x18A0}) {
    RunCodes({code});
    EXPECT_EQ(E().root->arity, kMaxArity) << "no row or column past the limit";
    EXPECT_EQ(PendingError(), kErrorOutOfMemory) << "and each refusal is told, " << code;
    ShowPendingError();
  }
}

// "+" after the last term of a sum at the operand limit (and "*" or a letter, an implied factor,
// after the last factor of a product) adds nothing and says so at every key: error 7, re-armed
// after each alert. One term fewer takes it.
TEST_F(StructureEditingTest, AnOperatorPastTheOperandLimitChangesNothingAndSaysSo) {
  const struct { uint32_t kind; int32_t code; int32_t mode; int32_t operands; } cases[] = {
      {KindPlus, kPlus, SelectionCaretAfter, kMaxArity},  {KindPlus, kPlus, SelectionCaretAfter, kMaxArity},
      {KindTimes, kTimes, SelectionCaretAfter, kMaxArity}, {KindTimes, 'b', SelectionCaretAfter, kMaxArity},
      {KindPlus, kPlus, SelectionCaretAfter, kMaxArity - 1},
  };
  ResetErrorRegister();
  for (const auto& c : cases) {
    Fresh("x");
    ExprNode* wide = NewNode(c.kind, c.operands);
    for (int32_t k = 0; k < c.operands; ++k) SetChild(wide, k, NewSymbolNode('a'));
    FreeExpression(E().root);
    E().root = wide;
    Place({c.operands - 1}, c.mode);
    RunCodes({c.code});
    const bool full = c.operands == kMaxArity;
    EXPECT_EQ(E().root->arity, kMaxArity) << c.kind;  // full: unchanged; one short: filled
    EXPECT_EQ(PendingError(), full ? kErrorOutOfMemory : kErrorNone) << c.kind << " " << c.mode;
    const char* why = "";
    EXPECT_TRUE(CheckFormulaEditor(&E(), &why)) << why;
    ShowPendingError();
  }
}

// "+" "-" "*" on a selected block use the clipboard: a matrix of the block's shape cell by cell,
// or a factor that is no matrix; anything else changes nothing.
TEST_F(StructureEditingTest, BlockArithmeticUsesTheClipboardOnlyWhenItFits) {
  const struct {
    const char* clip;
    int32_t code;
    int32_t end;  // the block runs from cell 0 to this cell
    const char* infix;
  } cases[] = {
      {"matrix[1,2,p,q]", kPlus, 1, "matrix(2,2,a+p,b+q,c,d)"},
      {"matrix[2,1,p,q]", kMinus, 2, "matrix(2,2,a-p,b,c-q,d)"},
      {"k", kTimes, 3, "matrix(2,2,a*k,b*k,c*k,d*k)"},
      {"matrix[1,2,p,q]", kPlus, 3, "matrix(2,2,a,b,c,d)"},  // shapes differ
      {"matrix[1,1,p]", kTimes, 0, "matrix(2,2,a,b,c,d)"},    // a matrix factor
  };
  for (const auto& c : cases) {
    Fresh(c.clip);
    RunCodes({kCodeCopy});
    Fresh("matrix[2,2,a,b,c,d]");
    Place({}, SelectionMatrixBlock, 0, c.end);
    RunCodes({c.code});
    EXPECT_EQ(Infix(), c.infix) << c.clip;
  }
  Fresh("k");
  RunCodes({kCodeCopy});
  Fresh("matrix[1,2,times[a,b],c]");
  Place({}, SelectionMatrixBlock, 0, 0);
  RunCodes({kTimes});
  EXPECT_EQ(Infix(), "matrix(1,2,a*b*k,c)") << "a product cell takes one more factor";
}

// Parentheses the layout adds around a selected range's node keep the selection on that node.
TEST_F(StructureEditingTest, ACaretKeepsItsRangeWhenLayoutAddsParentheses) {
  Fresh("times[2,plus[a,b,c]]");
  Place({1}, SelectionChildRange, 0, 1);
  LayoutFormula();
  EXPECT_EQ(Caret(), "1.0 m1 0:1");
  const char* why = "";
  EXPECT_TRUE(CheckFormulaEditor(&E(), &why)) << why;
}

}  // namespace
