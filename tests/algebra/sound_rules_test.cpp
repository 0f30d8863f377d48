// Power, root and logarithm rules rewrite only where they hold for every sign; matrices of other
// shapes are never equal.
#include <gtest/gtest.h>

#include "algebra/algebra_commands.h"
#include "algebra/pattern_rewriting.h"
#include "algebra/sign_knowledge.h"
#include "algebra/substitution.h"
#include "kernel/trees/node_builders.h"
#include "tests/algebra/algebra_test_support.h"

namespace {

using namespace algebra_test;

struct CommandCase {
  int32_t code;
  const char* before;
  const char* after;
};

template <size_t N>
void ExpectGoldens(const CommandCase (&cases)[N]) {
  for (const CommandCase& c : cases) {
    EXPECT_TRUE(Transforms([&c] { RunAlgebraCommand(c.code); }, c.before, c.after)) << std::hex << c.code;
  }
}

// Goldens by hand; rows the sign-blind rules got wrong checked at x = -2 or a = x = -1.
TEST_F(AlgebraTest, PowerRootAndLogRulesHoldForEverySign) {
  const CommandCase cases[] = {
      {kSimplify, "sqrt[power[x,2]]", "abs[x]"},
      {kExpand, "sqrt[power[x,2]]", "abs[x]"},
      {kSimplify, "sqrt[times[minus[x],minus[a]]]", "sqrt[times[a,x]]"},
      {kSimplify, "power[power[a,2],b]", "power[power[a,2],b]"},  // a = -1, b = 1/2: 1, where a^(2b) has none
      {kSimplify, "power[power[a,2],3]", "power[a,6]"},            // a whole exponent: any sign
      {kSimplify, "power[power[abs[a],2],b]", "power[abs[a],times[2,b]]"},
      {kSimplify, "power[power[a,3],b]", "power[a,times[3,b]]"},   // an odd power keeps the sign
      {kSimplify, "sqrt[power[x,2],4]", "sqrt[abs[x]]"},
      {kSimplify, "power[power[x,6],over[1,3]]", "power[x,2]"},    // even again: no bars
      {kSimplify, "power[power[x,2],over[3,2]]", "power[abs[x],3]"},
      {kSimplify, "sqrt[times[x,y]]", "sqrt[times[x,y]]"},
      {kSimplify, "sqrt[times[4,x]]", "times[sqrt[4],sqrt[x]]"},    // one factor of unknown sign
      {kSimplify, "sqrt[over[x,y]]", "sqrt[over[x,y]]"},
      // an index from 1 is positive; from 0 it may be 0, and sqrt(0 x) = 0 where sqrt(x) has none
      {kSimplify, "sum[sqrt[times[k,x]],equal[k,1],2]", "sum[times[sqrt[k],sqrt[x]],equal[k,1],2]"},
      {kSimplify, "sum[sqrt[times[k,x]],equal[k,0],2]", "sum[sqrt[times[k,x]],equal[k,0],2]"},
      {kSimplify, "power[times[x,y],3]", "times[power[x,3],power[y,3]]"},
      {kSimplify, "power[times[x,y],over[1,3]]", "times[power[x,over[1,3]],power[y,over[1,3]]]"},
      {kSimplify, "sqrt[minus[x]]", "sqrt[minus[x]]"},               // x = -1: 1, where (-1)^(1/2) has none
      // x^(2/3) x^n has a value at x = -1, n = 1, where x^(n + 2/3) has none (no fraction)
      {kSimplify, "times[power[x,over[2,3]],power[x,n]]", "times[power[x,over[2,3]],power[x,n]]"},
      {kSimplify, "over[power[x,over[2,3]],power[x,n]]", "over[power[x,over[2,3]],power[x,n]]"},
      {kSimplify, "times[power[x,over[2,3]],power[x,over[1,3]]]", "x"},
      {kSimplify, "times[power[exp[x],over[2,3]],power[exp[x],n]]", "power[exp[x],plus[n,over[2,3]]]"},
      {kSimplify, "power[0,minus[over[2,3]]]", "power[0,minus[over[2,3]]]"},  // 1 / 0^(2/3): no value, not 0
      {kExpandSpecialForms, "abs[matrix[2,1,0,a]]", "abs[a]"},
      {kExpandSpecialForms, "ln[power[x,2]]", "times[2,ln[abs[x]]]"},
      {kExpandSpecialForms, "ln[power[x,3]]", "times[3,ln[x]]"},
      {kExpandSpecialForms, "ln[power[x,b]]", "ln[power[x,b]]"},
      {kExpandSpecialForms, "ln[power[exp[x],b]]", "times[b,ln[exp[x]]]"},
      {kExpandSpecialForms, "ln[times[x,a]]", "ln[times[a,x]]"},
      {kExpandSpecialForms, "ln[times[2,x]]", "plus[ln[2],ln[x]]"},
      {kExpandSpecialForms, "log[times[abs[a],exp[b],x]]", "plus[log[x],log[abs[a]],log[exp[b]]]"},
  };
  ExpectGoldens(cases);
}

// Wherever a random formula had a value, with letters of either sign, each result has the same.
TEST_F(AlgebraTest, SimplifyExpandAndSpecialFormsKeepTheValueForEverySign) {
  checkBytes_ = false;  // the commands' compiles grow the process-wide evaluation scratch
  SignedFormulas random(50321, {'x', 'y', 'a'});
  ValueComparison values;
  ThroughTheThreeCommands(
      4500, [&] { return random.Make(4); }, [](const std::string& text) { return text; },
      [&](const ExprNode* formula, const ExprNode* result, auto what) {
        for (int p = 0; p < 6; ++p) values.At(formula, result, random.Point(), what);
      });
  EXPECT_EQ(values.failures, 0);
  EXPECT_GT(values.compared, 8000);
}

// A row and a column of the same cells are unequal wherever that decides a rewrite (by hand).
TEST_F(AlgebraTest, MatricesOfOtherShapesAreNeverEqual) {
  const CommandCase cases[] = {
      {kSimplify, "times[matrix[1,2,a,b],matrix[2,1,a,b]]", "plus[power[a,2],power[b,2]]"},
      {kSimplify, "plus[matrix[1,2,a,b],matrix[2,1,a,b]]", "plus[matrix[1,2,a,b],matrix[2,1,a,b]]"},
      {kSimplify, "plus[matrix[2,1,a,b],matrix[2,1,a,b]]", "matrix[2,1,times[2,a],times[2,b]]"},
      {kExpand, "times[matrix[1,2,a,b],matrix[2,1,a,b]]", "times[matrix[1,2,a,b],matrix[2,1,a,b]]"},
      {kExpandSpecialForms, "substitution[plus[matrix[2,1,a,b],c],equal[matrix[1,2,a,b],0]]", "plus[matrix[2,1,a,b],c]"},
  };
  ExpectGoldens(cases);
  EXPECT_TRUE(Transforms([] { RunAlgebraCommand(0x2101); }, "times[matrix[1,2,a,b],power[matrix[2,1,a,b],2]]",
                         "times[matrix[1,2,a,b],power[matrix[2,1,a,b],2]]"));  // no x x^2 = x^3
  ExprNode* rule = Tree("equal[matrix[1,2,dummy[0],b],c]");
  EXPECT_TRUE(Rewrites([rule](ExprNode* t) { RewritePass(t, rule); }, "matrix[2,1,a,b]", "matrix[2,1,a,b]"));
  EXPECT_TRUE(Rewrites([rule](ExprNode* t) { RewritePass(t, rule); }, "matrix[1,2,a,b]", "c"));
  FreeExpression(rule);
  ExprNode* row = Tree("matrix[1,2,a,b]");
  ExprNode* column = Tree("matrix[2,1,a,b]");
  EXPECT_TRUE(ExpressionsEqual(row, column));  // a tree's identity still ignores the shape
  EXPECT_FALSE(ExpressionsAndShapesEqual(row, column));
  FreeExpression(row);
  FreeExpression(column);
}

// The sign of e e ... e is known over 8 factors; over 9,000, past the bound read, it is not known.
TEST_F(AlgebraTest, SignQuestionsReadABoundedPart) {
  auto product = [](int n) {
    return BuildEach(KindTimes, n, [](int) { return NewSymbolNode(static_cast<int16_t>(kSymbolE)); });
  };
  ExprNode* few = product(8);
  ExprNode* many = product(9000);
  ASSERT_NE(many, nullptr);
  EXPECT_TRUE(KnownPositive(few) && KnownNonNegative(few));
  EXPECT_FALSE(KnownPositive(many) || KnownNonNegative(many));
  FreeExpression(many);
  FreeExpression(few);
}

}  // namespace
