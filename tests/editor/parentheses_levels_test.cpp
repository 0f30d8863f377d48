// Automatic parentheses and script levels: the precedence edge cases as one table (the tree
// after the pass, and the rule that decided), idempotence, and the levels of nested exponents,
// including a too-wide power that keeps its exponent at the base's level.
#include "editor/automatic_parentheses.h"
#include "editor/script_levels.h"
#include "tests/editor/typeset_test_support.h"

using namespace typeset_test;

TEST_F(TypesetTest, ParenthesesFollowTheOrderedRules) {
  struct Case { const char* text; const char* wrapped; int32_t rule; };  // rule: for child 0
  const Case cases[] = {
      {"times[plus[a,b],c]", "times(id(plus(a,b)),c)", 4},
      {"times[a,minus[b]]", "times(a,id(minus(b)))", 1},
      {"times[minus[a],b]", "times(id(minus(a)),b)", 4},
      {"times[not[a],b]", "times(id(not(a)),b)", 4},
      {"times[a,not[b]]", "times(a,not(b))", 1},
      {"times[sin[x],y]", "times(sin(x),y)", 4},
      {"times[equal[a,b],c]", "times(id(equal(a,b)),c)", 2},
      {"plus[plus[a,b],c]", "plus(id(plus(a,b)),c)", 7},
      {"plus[times[a,b],c]", "plus(times(a,b),c)", 7},
      {"power[x,power[y,z]]", "power(x,power(y,z))", 1},
      {"power[over[a,b],c]", "power(id(over(a,b)),c)", 6},
      {"power[power[x,y],z]", "power(id(power(x,y)),z)", 6},
      {"power[minus[x],y]", "power(id(minus(x)),y)", 6},
      {"sin[times[a,b]]", "sin(times(a,b))", 8},
      {"sin[times[over[a,b],x]]", "sin(id(times(over(a,b),x)))", 8},
      {"sin[plus[a,b]]", "sin(id(plus(a,b)))", 9},
      {"list[equal[a,b],c]", "list(equal(a,b),c)", 2},
      {"comma[equal[a,b]]", "comma(equal(a,b))", 2},
      {"branch[equal[a,b]]", "branch(equal(a,b))", 2},
      {"equal[comma[a,b],c]", "equal(id(comma(a,b)),c)", 5},
      {"fact[plus[a,b]]", "fact(id(plus(a,b)))", 10},
      {"divide[minus[a],b]", "divide(id(minus(a)),b)", 11},
      {"over[plus[a,b],c]", "over(plus(a,b),c)", 12},
  };
  for (const Case& c : cases) {
    ExprNode* tree = Parse(c.text);
    ASSERT_NE(tree, nullptr) << c.text;
    EXPECT_EQ(ParenthesesRule(tree->kind, tree->children[0]->kind, 0, tree), c.rule) << c.text;
    ASSERT_TRUE(AddAutomaticParentheses(tree));
    EXPECT_EQ(Dump(tree), c.wrapped) << c.text;
    AddAutomaticParentheses(tree);  // the wrappers are never wrapped again
    EXPECT_EQ(Dump(tree), c.wrapped) << c.text;
    EXPECT_TRUE(CheckExpressionTree(tree));
    FreeExpression(tree);
  }
}

TEST_F(TypesetTest, ExponentsGoDownToLevelFourAndStayUpWhenTooWide) {
  FormulaEditor* e = Edit("power[x,power[y,power[z,w]]]");
  const ExprNode* r = e->root;
  const ExprNode* y = r->children[1]->children[0];
  const ExprNode* zw = r->children[1]->children[1];
  EXPECT_EQ(std::make_tuple(r->children[0]->box->scriptLevel, y->box->scriptLevel, zw->children[0]->box->scriptLevel,
                            zw->children[1]->box->scriptLevel),
            std::make_tuple(2, 3, 4, 4));
  FormulaEditor* wide = Edit("power[x,y]", Px(1));
  EXPECT_EQ(wide->root->children[1]->box->scriptLevel, 2);
  EXPECT_TRUE(ScriptsItsOperands(KindBesselj) && !ScriptsItsOperands(KindPower));
  FormulaEditor* sum = Edit("sum[a,b,c]");
  EXPECT_EQ(std::make_tuple(sum->root->children[0]->box->scriptLevel, sum->root->children[2]->box->scriptLevel),
            std::make_tuple(2, 3));
}
