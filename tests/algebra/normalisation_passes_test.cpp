// The normalisation passes: each pass on its own, their order, and a function built through
// InitFunction with the algebra's seam installed, compiled and evaluated.
#include <gtest/gtest.h>

#include <cmath>

#include "algebra/normalisation_passes.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/trees/expr_node.h"
#include "tests/kernel/eval/evaluation_test_support.h"

using evaltest::Tree;

namespace {

struct PassCase {
  const char* before;
  const char* after;  // the expected tree, written in the same notation
};

void ExpectPassGives(void (*pass)(ExprNode*), const PassCase& c) {
  ExprNode* tree = Tree(c.before);
  ExprNode* expected = Tree(c.after);
  pass(tree);
  const char* why = nullptr;
  EXPECT_TRUE(CheckExpressionTree(tree, &why)) << c.before << ": " << (why != nullptr ? why : "");
  EXPECT_TRUE(ExpressionsEqual(tree, expected)) << c.before;
  EXPECT_EQ(tree->parent, nullptr);
  FreeExpression(tree);
  FreeExpression(expected);
}

TEST(NormalisationPassesTest, NegatedNumbersFoldInPostOrder) {
  ExpectPassGives(NormaliseForCompilation, PassCase{"minus[minus[3]]", "3"});
  ExprNode* tree = Tree("plus[x,minus[2]]");
  FoldNegatedNumberLiterals(tree);
  ASSERT_EQ(tree->children[1]->kind, static_cast<uint32_t>(KindNum));
  EXPECT_EQ(tree->children[1]->value.number->value, -2.0);
  FreeExpression(tree);
  // A negated 0 is -0.0 on purpose.
  tree = Tree("minus[0]");
  FoldNegatedNumberLiterals(tree);
  ASSERT_EQ(tree->kind, static_cast<uint32_t>(KindNum));
  EXPECT_TRUE(std::signbit(tree->value.number->value));
  FreeExpression(tree);
  // Ids go first, so a negated group of a number folds too.
  tree = Tree("minus[id[3]]");
  NormaliseForCompilation(tree);
  ASSERT_EQ(tree->kind, static_cast<uint32_t>(KindNum));
  EXPECT_EQ(tree->value.number->value, -3.0);
  FreeExpression(tree);
  // A negated variable stays.
  ExpectPassGives(FoldNegatedNumberLiterals, PassCase{"minus[x]", "minus[x]"});
}

TEST(NormalisationPassesTest, IdNodesAreUnwrappedAtEveryDepth) {
  ExpectPassGives(UnwrapIdNodes, PassCase{"id[id[plus[id[x],1]]]", "plus[x,1]"});
  ExpectPassGives(UnwrapIdNodes, PassCase{"sin[id[y]]", "sin[y]"});
}

TEST(NormalisationPassesTest, NonSmoothCallsTakeTheItemsOfASingleCommaList) {
  const PassCase cases[] = {
      {"min[comma[a,b,c]]", "min[a,b,c]"},
      {"mod[comma[a,b]]", "mod[a,b]"},
      {"clamp[comma[x,0,1]]", "clamp[x,0,1]"},
      {"max[comma[x,min[comma[y,z]]]]", "max[x,min[y,z]]"},
      {"min[a]", "min[a]"},
      {"mod[comma[a,b],c]", "mod[comma[a,b],c]"},  // more operands: replacing them would drop c
      {"sin[comma[a,b]]", "sin[comma[a,b]]"},
  };
  for (const PassCase& c : cases) ExpectPassGives(UnwrapNonSmoothCalls, c);
}

TEST(NormalisationPassesTest, IndexedSumsBecomeBoundedSums) {
  ExprNode* tree = Tree("sum[times[i,x],equal[i,1],n]");
  ExprNode* node = tree;
  ConvertIndexedSums(tree);
  EXPECT_EQ(tree, node);
  EXPECT_EQ(tree->kind, static_cast<uint32_t>(KindBoundedSum));
  ExprNode* expected = Tree("bsum[equal[i,1],n,times[i,x]]");
  EXPECT_TRUE(ExpressionsEqual(tree, expected));
  EXPECT_TRUE(CheckExpressionTree(tree));
  FreeExpression(tree);
  FreeExpression(expected);
  ExpectPassGives(ConvertIndexedSums, PassCase{"sum[i,i,n]", "sum[i,i,n]"});          // bare index
  ExpectPassGives(ConvertIndexedSums, PassCase{"prod[i,equal[i,1],n]", "prod[i,equal[i,1],n]"});
}

TEST(NormalisationPassesTest, FunctionsAreNormalisedWhenCreated) {
  InstallAlgebraSeams();
  struct ValueCase {
    const char* tree;
    double expected;  // hand-computed
  } cases[] = {
      {"sum[i,equal[i,1],4]", 10},
      {"min[comma[3,1,2]]", 1},
      {"plus[x,sum[times[k,x],equal[k,1],3]]", 7},  // x = 1: 1 + 6
      {"clamp[comma[x,0,0.5]]", 0.5},
      {"minus[minus[x]]", 1},
  };
  for (const ValueCase& c : cases) {
    EXPECT_EQ(evaltest::ValueAt(c.tree, 1), c.expected) << c.tree;
  }
  ResetEvaluationSeams();
}

}  // namespace
