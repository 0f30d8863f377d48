// The infix and prefix writers. Trees come from the reader; expected texts are hand-derived from
// the writers' rules: the parenthesis table, the precedence fallback for trees without id groups,
// and the prefix word table.
#include <cmath>
#include <string>

#include "kernel/text/formula_writer.h"
#include "kernel/trees/node_kinds.h"
#include "tests/kernel/trees/tree_test_support.h"

namespace {

using FormulaWriter = tree_test::TreeTest;
using tree_test::TakeText;

std::string Infix(const ExprNode* tree, bool brackets = false) { return TakeText(FormatExpressionText(tree, brackets)); }
std::string Lisp(const ExprNode* tree) { return TakeText(FormatExpressionLisp(tree)); }

TEST_F(FormulaWriter, TextsFollowTheParenthesisRulesAndTheWordTable) {
  struct Case { const char* tree; const char* infix; const char* lisp; };
  const Case cases[] = {
      {"over[plus[a,b],c]", "(a+b)/c", "(/ (+ a b) c)"}, {"over[a,times[b,c]]", "a/(b*c)", "(/ a (* b c))"},
      {"power[x,plus[n,1]]", "x^(n+1)", "(expt x (+ n 1))"}, {"plus[a,minus[b]]", "a-b", "(+ a (- b))"},
      {"minus[times[a,b]]", "-(a*b)", nullptr},          {"equal[y,comma[a,b]]", "y=(a,b)", nullptr},
      // Untypeset trees: the precedence fallback keeps the meaning.
      {"power[minus[a],2]", "(-a)^2", nullptr},          {"power[power[a,b],c]", "(a^b)^c", nullptr},
      {"power[a,power[b,c]]", "a^b^c", nullptr},         {"fact[plus[n,1]]", "(n+1)!", nullptr},
      {"plus[a,comma[b,c]]", "a+(b,c)", nullptr},        {"power[num[-2,\"-2\"],2]", "(-2)^2", "(expt -2 2)"},
      // Typeset trees carry id groups, which write their own brackets and suppress the rule.
      {"power[id[plus[a,b]],2]", "(a+b)^2", "(expt (+ a b) 2)"}, {"times[id[a],b]", "(a)*b", "(* a b)"},
      // Other forms.
      {"indexes[0,1,x,plus[i,1]]", "x_(i+1)", nullptr}, {"matrix[2,2,a,b,c,d]", "matrix(2,2,a,b,c,d)", "(matrix 2 2 a b c d)"},
      {"matrix[3,1,a,b,c]", "vector(a,b,c)", nullptr}, {"string[\"hi\"]", "string()", ""}, {"minus[]", "-", ""},
      {"ln[x]", nullptr, "(log x)"}, {"besselj[n,x]", "besselj(n,x)", "(bessel-j n x)"}, {"acsch[x]", nullptr, "(arccosech x)"},
  };
  for (const Case& c : cases) {
    ExprNode* tree = Parse(c.tree);
    ASSERT_NE(tree, nullptr) << c.tree;
    EXPECT_TRUE(c.infix == nullptr || Infix(tree) == c.infix) << c.tree << ": " << Infix(tree);
    EXPECT_TRUE(c.lisp == nullptr || Lisp(tree) == c.lisp) << c.tree << ": " << Lisp(tree);
    FreeExpression(tree);
  }
  ExprNode* grouped = Parse("power[id[plus[a,b]],2]");
  EXPECT_EQ(Infix(grouped, true), "[a+b]^2");
  FreeExpression(grouped);
}

TEST_F(FormulaWriter, NumbersAndCharsWriteSafely) {
  struct Case { double value; const char* infix; const char* lisp; };
  const Case numbers[] = {{1.0 / 3.0, "0.3333333333333333", "0.3333333333333333"}, {-INFINITY, "-Infinity", "(- Infinity)"},
                          {NAN, "NaN", "NaN"}};
  SetDecimalSeparator(',');  // writers never localise
  for (const Case& c : numbers) {
    ExprNode* number = NewNumberNode(c.value);
    EXPECT_TRUE(Infix(number) == c.infix && Lisp(number) == c.lisp) << c.infix;
    FreeExpression(number);
  }
  struct Symbol { int id; const char* text; };
  const Symbol symbols[] = {{4914, "degree"}, {0x707A, "z'"}, {'+', "+"}, {1, "?"}, {0x7FFF, "?"}, {4915, "?"}, {-5, "?"}};
  for (const Symbol& c : symbols) {
    ExprNode* node = NewSymbolNode(static_cast<int16_t>(c.id));
    EXPECT_TRUE(Infix(node) == c.text && Lisp(node) == c.text) << c.id;
    FreeExpression(node);
  }
}

// Past the writer depth a deep tree ends in "?"; with two buffers open already the formatters
// answer null and disturb neither (growth and refused blocks: the output buffer's tests).
TEST_F(FormulaWriter, DeepTreesStopAtTheWriterDepthAndFullStacksRefuse) {
  ExprNode* root = tree_test::Chain(KindMinus, kMaxWriterDepth + 10);
  const std::string infix = Infix(root);
  EXPECT_TRUE(infix.back() == '?' && infix.size() == static_cast<size_t>(kMaxWriterDepth) + 2);
  EXPECT_EQ(Lisp(root).substr(0, 4), "(- (");
  BeginOutputBuffer();
  BeginOutputBuffer();
  EmitString("inner");
  EXPECT_TRUE(FormatExpressionText(root, false) == nullptr && FormatExpressionLisp(root) == nullptr);
  EXPECT_TRUE(TakeText(EndOutputBuffer()) == "inner" && TakeText(EndOutputBuffer()).empty());
  FreeExpression(root);
}

}  // namespace
