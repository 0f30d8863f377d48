// The infix and prefix writers. Trees come from the reader (itself tested against the
// grammar); expected texts are hand-derived from the writers' rules: the parenthesis table,
// the precedence fallback for trees without id groups, and the prefix word table.
#include <cmath>
#include <string>

#include "kernel/text/formula_writer.h"
#include "kernel/trees/node_kinds.h"
#include "tests/kernel/text/formula_test_support.h"

namespace {

using FormulaWriter = FormulaTextTest;

std::string Infix(const ExprNode* tree, bool brackets = false) { return TakeText(FormatExpressionText(tree, brackets)); }
std::string Lisp(const ExprNode* tree) { return TakeText(FormatExpressionLisp(tree)); }

TEST_F(FormulaWriter, InfixTextFollowsTheParenthesisRules) {
  struct Case { const char* tree; const char* text; };
  const Case cases[] = {
      {"over[plus[a,b],c]", "(a+b)/c"}, {"over[a,times[b,c]]", "a/(b*c)"}, {"over[times[a,b],c]", "a*b/c"},
      {"power[x,plus[n,1]]", "x^(n+1)"}, {"plus[a,minus[b]]", "a-b"}, {"minus[times[a,b]]", "-(a*b)"},
      {"equal[y,comma[a,b]]", "y=(a,b)"},
      // Untypeset trees: the precedence fallback keeps the meaning.
      {"power[plus[a,b],2]", "(a+b)^2"}, {"times[a,plus[b,c]]", "a*(b+c)"}, {"minus[plus[a,b]]", "-(a+b)"},
      {"power[minus[a],2]", "(-a)^2"}, {"power[power[a,b],c]", "(a^b)^c"}, {"power[a,power[b,c]]", "a^b^c"},
      {"fact[plus[n,1]]", "(n+1)!"}, {"plus[a,comma[b,c]]", "a+(b,c)"}, {"times[a,minus[b]]", "a*-b"},
      {"over[minus[a],b]", "-a/b"}, {"minus[over[a,b]]", "-a/b"},
      {"power[over[a,b],2]", "(a/b)^2"},  // a typeset fraction as a base carries no id group
      // Typeset trees carry id groups, which write their own brackets and suppress the rule.
      {"power[id[plus[a,b]],2]", "(a+b)^2"}, {"times[id[a],b]", "(a)*b"},
      // Other forms.
      {"fact[n]", "n!"}, {"indexes[0,1,x,i]", "x_i"}, {"indexes[0,1,x,plus[i,1]]", "x_(i+1)"},
      {"sin[x]", "sin(x)"}, {"sin[]", "sin()"}, {"over[a,b,c]", "a/b/c"},
      {"plus[x,y,z]", "x+y+z"}, {"lessthan[a,b]", "a<b"}, {"greaterthan[a,b]", "a>b"},
      {"matrix[2,2,a,b,c,d]", "matrix(2,2,a,b,c,d)"}, {"matrix[3,1,a,b,c]", "vector(a,b,c)"},
      {"string[\"hi\"]", "string()"}, {"dummy[t]", "dummy()"}, {"prompt[]", "?"}, {"alpha", "alpha"},
      {"besselj[n,x]", "besselj(n,x)"}, {"minus[]", "-"}, {"num[0.5,\"0.5\"]", "0.5"}, {"num[-2,\"-2\"]", "-2"},
      {"power[num[-2,\"-2\"],2]", "(-2)^2"},
  };
  for (const Case& c : cases) {
    ExprNode* tree = Parse(c.tree);
    ASSERT_NE(tree, nullptr) << c.tree;
    EXPECT_EQ(Infix(tree), c.text) << c.tree;
    FreeExpression(tree);
  }
  ExprNode* grouped = Parse("power[id[plus[a,b]],2]");
  EXPECT_EQ(Infix(grouped, true), "[a+b]^2");
  FreeExpression(grouped);
}

TEST_F(FormulaWriter, NumbersUseSixteenDigitsAndKeepTheSignOfInfinity) {
  struct Case { double value; const char* infix; const char* lisp; };
  const Case cases[] = {
      {1.0 / 3.0, "0.3333333333333333", "0.3333333333333333"},
      {INFINITY, "Infinity", "Infinity"}, {-INFINITY, "-Infinity", "(- Infinity)"}, {NAN, "NaN", "NaN"},
      {1e21, "1e+21", "1e+21"}, {-0.25, "-0.25", "-0.25"},
  };
  SetDecimalSeparator(',');  // writers never localise
  for (const Case& c : cases) {
    ExprNode* number = NewNumberNode(c.value);
    ASSERT_NE(number, nullptr);
    EXPECT_EQ(Infix(number), c.infix);
    EXPECT_EQ(Lisp(number), c.lisp);
    FreeExpression(number);
  }
}

TEST_F(FormulaWriter, CharNodesOutsideTheLettersWriteSafely) {
  struct Case { int symbol; const char* text; };
  const Case cases[] = {{'x', "x"},       {4864, "alpha"}, {4914, "degree"}, {0x7078, "x'"},
                        {0x7079, "y'"},   {0x707A, "z'"},  {'2', "2"},       {'+', "+"},
                        {1, "?"},         {0x7FFF, "?"},   {4915, "?"},      {-5, "?"}};
  for (const Case& c : cases) {
    ExprNode* node = NewSymbolNode(static_cast<int16_t>(c.symbol));
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(Infix(node), c.text) << c.symbol;
    EXPECT_EQ(Lisp(node), c.text) << c.symbol;
    FreeExpression(node);
  }
}

TEST_F(FormulaWriter, PrefixTextUsesItsOwnWords) {
  struct Case { const char* tree; const char* text; };
  const Case cases[] = {
      {"plus[power[sin[x],2],1]", "(+ (expt (sin x) 2) 1)"}, {"matrix[2,2,a,b,c,d]", "(matrix 2 2 a b c d)"},
      {"id[x]", "x"}, {"id[plus[a,b]]", "(+ a b)"}, {"ln[x]", "(log x)"}, {"log[x]", "(log10 x)"},
      {"besselj[n,x]", "(bessel-j n x)"}, {"integral[f,x]", "(integrate f x)"},
      {"times[a,over[b,minus[c]]]", "(* a (/ b (- c)))"}, {"acsch[x]", "(arccosech x)"}, {"csch[x]", "(cosech x)"},
      {"sqrt[x]", "(sqrt x)"}, {"prompt[]", "?"}, {"dummy[t]", ""}, {"string[\"s\"]", ""}, {"sin[]", ""},
  };
  for (const Case& c : cases) {
    ExprNode* tree = Parse(c.tree);
    ASSERT_NE(tree, nullptr) << c.tree;
    EXPECT_EQ(Lisp(tree), c.text) << c.tree;
    FreeExpression(tree);
  }
}

TEST_F(FormulaWriter, LongTextGrowsTheBufferAndFailuresTruncateCleanly) {
  std::string tree = "plus[x";
  std::string full = "x";
  for (int i = 0; i < 1500; ++i) {
    tree += ",y";
    full += "+y";
  }
  tree += "]";
  ExprNode* sum = Parse(tree);
  ASSERT_NE(sum, nullptr);
  EXPECT_EQ(Infix(sum), full);
  // Every counted allocation of the writer failing in turn: the text is a prefix of the
  // full text, terminated, and nothing leaks.
  for (uint64_t n = 1; n <= 3; ++n) {
    FailAllocationAt(n);
    char* text = FormatExpressionText(sum, false);
    ResetMemoryBudgetForTest();
    if (n == 1) {
      EXPECT_EQ(text, nullptr);
      continue;
    }
    ASSERT_NE(text, nullptr);
    const std::string got = text;
    EXPECT_EQ(got.size(), (n - 1) * 1024 - 1);
    EXPECT_EQ(full.compare(0, got.size(), got), 0);
    FreeMemory(text);
  }
  FreeExpression(sum);
}

TEST_F(FormulaWriter, FormattersAnswerNullWhenTwoBuffersAreOpen) {
  ExprNode* x = Parse("x");
  BeginOutputBuffer();
  EmitString("outer");
  BeginOutputBuffer();
  EmitString("inner");
  EXPECT_EQ(FormatExpressionText(x, false), nullptr);
  EXPECT_EQ(FormatExpressionLisp(x), nullptr);
  char* inner = EndOutputBuffer();
  char* outer = EndOutputBuffer();
  EXPECT_STREQ(inner, "inner");
  EXPECT_STREQ(outer, "outer");
  FreeMemory(inner);
  FreeMemory(outer);
  FreeExpression(x);
}

TEST_F(FormulaWriter, VeryDeepTreesStopAtTheWriterDepth) {
  ExprNode* root = NestedChain(KindMinus, kMaxWriterDepth + 10);
  ASSERT_NE(root, nullptr);
  const std::string infix = Infix(root);
  EXPECT_EQ(infix.back(), '?');
  EXPECT_EQ(infix.size(), static_cast<size_t>(kMaxWriterDepth) + 2);
  const std::string lisp = Lisp(root);
  EXPECT_EQ(lisp.substr(0, 4), "(- (");
  FreeExpression(root);
}

}  // namespace
