// The plotting classifier: each of its rules on the cases that tell them apart, the flag sets
// the graph classifier uses, and the tree-wide wrappers with the free variable.
#include <gtest/gtest.h>

#include "kernel/node_builders.h"
#include "tests/kernel/tree_test_support.h"

namespace {

using tree_test::Build;
using tree_test::Show;

class ClassifierTest : public tree_test::TreeTest {
 protected:
  void TearDown() override {
    SetFreeVariable(0);
    tree_test::TreeTest::TearDown();
  }
};

// Follows a path of child indexes from the root.
const ExprNode* At(const ExprNode* root, std::initializer_list<int> path) {
  for (int i : path) root = root->children[i];
  return root;
}

struct NodeCase {
  const char* tree;
  std::initializer_list<int> path;
  uint32_t flags;
  bool rootIsTree;  // false: root null
  bool expected;
};

TEST_F(ClassifierTest, RulesInOrder) {
  const NodeCase cases[] = {
      // Flags 0: sin(x) fails at the plain variable, sin(pi) passes everywhere.
      {"sin(x)", {}, 0, true, true},
      {"sin(x)", {0}, 0, true, false},
      {"sin(pi)", {0}, 0, true, true},
      {"sin(a)", {0}, 0, true, false},
      {"plus(e, i, degree)", {0}, 0, true, true},
      {"plus(e, i, degree)", {1}, 0, true, true},
      {"plus(e, i, degree)", {2}, 0, true, true},
      {"minus(inf)", {0}, 0, true, false},  // infinity is no evaluator constant
      // Flag 32: a coordinate fails, a parameter passes, whole-number subscripts pass.
      {"x", {}, 32, true, false},
      {"theta", {}, 32, true, false},
      {"a", {}, 32, true, true},
      {"e", {}, 32, true, true},
      {"indexes(a, 1)", {}, 32, true, true},
      {"indexes(a, 1.5)", {}, 32, true, false},
      {"indexes(a, b)", {}, 32, true, false},
      {"indexes(a, 1)", {}, 0, true, false},
      // Rules 9 and 10: comma lists as arguments of mod, clamp, min, max.
      {"mod(comma(a, b))", {}, 0, true, true},
      {"mod(comma(a, b))", {0}, 0, true, true},
      {"mod(id(comma(a, b)))", {}, 0, true, true},
      {"mod(id(comma(a, b)))", {0, 0}, 0, true, true},
      {"mod(a)", {}, 0, true, false},
      {"mod(comma(a, b, c))", {}, 0, true, false},
      {"mod(comma(a, b, c))", {0}, 0, true, false},
      {"clamp(comma(a, b, c))", {}, 0, true, true},
      {"clamp(comma(a, b, c))", {0}, 0, true, true},
      {"clamp(comma(a, b))", {}, 0, true, false},
      {"min(comma(a, b, c, d))", {0}, 0, true, true},
      {"max(id(id(comma(a, b))))", {0, 0, 0}, 0, true, true},
      {"plus(comma(a, b))", {0}, 0, true, false},
      // Rule 8: a comparison in the condition (operand 1) of an if, not in operand 0.
      {"if(lessthan(x, 0), lessthan(y, 0))", {0}, 0, true, false},
      {"if(lessthan(x, 0), lessthan(y, 0))", {1}, 0, true, true},
      {"if(a, plus(geq(y, 0), 1))", {1, 0}, 0, true, true},
      {"if(a, equal(y, 0))", {1}, 0, true, true},
      // Rule 2 (flag 4): summation with an index equation; the index variable inside the term.
      {"sum(10, equal(k, 1), power(k, 2))", {}, 4, true, true},
      {"sum(10, equal(k, 1), power(k, 2))", {1}, 4, true, true},
      {"sum(10, equal(k, 1), power(k, 2))", {2, 0}, 4, true, true},
      {"sum(10, equal(k, 1), power(k, 2))", {1, 0}, 4, true, true},
      {"sum(10, equal(k, 1), power(j, 2))", {2, 0}, 4, true, false},
      {"sum(10, equal(k, 1), power(k, 2))", {2, 0}, 0, true, false},
      {"sum(10, equal(k, 1), power(k, 2))", {}, 0, true, false},
      // Rule 3: internal bounded sums bind their index strictly below root.
      {"plus(k8086(equal(k, 1), 10, k), 1)", {0, 2}, 0, true, true},
      {"plus(k8086(equal(k, 1), 10, k), 1)", {0, 2}, 0, false, true},
      {"plus(k8086(equal(k, 1), 10, k), 1)", {0}, 0, true, true},
      {"plus(k8086(equal(k, 1), 10, k), 1)", {0, 0}, 0, true, true},
      {"k8086(equal(k, 1), 10, times(k, j))", {2, 1}, 0, true, false},
      // Flags 1, 2, 8, 16.
      {"function(oppartial(x), f)", {}, 1, true, true},
      {"function(oppartial(x), f)", {0}, 1, true, true},
      {"function(oppartial(x), f)", {}, 0, true, false},
      {"function(f, x)", {}, 2, true, true},
      {"comma(a, b)", {}, 2, true, true},
      {"lessthan(a, b)", {}, 8, true, true},
      {"equal(a, b)", {}, 8, true, false},
      {"plus(q, 1)", {0}, 16, true, true},
      {"plus(q, 1)", {}, 16, true, true},  // plus passes rule 11 anyway
      {"list(q, 1)", {}, 16, true, false},
      // Rule 11: what the evaluator computes, and some it does not.
      {"grad(a)", {}, 0, true, false},
      {"pm(a)", {}, 0, true, false},
      {"slider(a)", {}, 0, true, false},
      {"integral(a, b)", {}, 0, true, false},
      {"sqrt(a)", {}, 0, true, true},
      {"log(a)", {}, 0, true, true},
      {"besselj(a, b)", {}, 0, true, true},
      {"branch(a, b)", {}, 0, true, true},
      {"Re(a)", {}, 0, true, true},
  };
  for (const NodeCase& c : cases) {
    ExprNode* tree = Build(c.tree);
    const ExprNode* node = At(tree, c.path);
    EXPECT_EQ(ClassifyNodeKind(node, c.flags, c.rootIsTree ? tree : nullptr), c.expected)
        << c.tree << " at " << Show(node) << " flags " << c.flags;
    FreeExpression(tree);
  }
  EXPECT_FALSE(ClassifyNodeKind(nullptr, 0, nullptr));
}

TEST_F(ClassifierTest, BoundedSumIndexNotBoundWhenSumIsRootOrAbove) {
  ExprNode* tree = Build("k8086(equal(k, 1), 10, times(k, 2))");
  const ExprNode* k = At(tree, {2, 0});
  EXPECT_TRUE(ClassifyNodeKind(k, 0, nullptr));
  EXPECT_FALSE(ClassifyNodeKind(k, 0, tree));              // the sum is the root itself
  EXPECT_FALSE(ClassifyNodeKind(k, 0, At(tree, {2})));     // the walk meets root first
  // The evaluator question lets the sum above bind the index, wherever the walk starts.
  EXPECT_TRUE(AllNodesAllowed(At(tree, {2})));
  EXPECT_TRUE(AllNodesAllowed(tree));
  FreeExpression(tree);
}

TEST_F(ClassifierTest, FlagSetsOfTheGraphClassifier) {
  // 37 = 1|4|32, 39 = 1|2|4|32, 45 = 1|4|8|32, 53 = 1|4|16|32.
  ExprNode* tree = Build("equal(y, plus(a, lessthan(x, 1)))");
  const ExprNode* equal = tree;
  const ExprNode* less = At(tree, {1, 1});
  const ExprNode* y = At(tree, {0});
  EXPECT_FALSE(ClassifyNodeKind(equal, 37, tree));
  EXPECT_TRUE(ClassifyNodeKind(equal, 39, tree));
  EXPECT_FALSE(ClassifyNodeKind(less, 37, tree));
  EXPECT_TRUE(ClassifyNodeKind(less, 45, tree));
  EXPECT_FALSE(ClassifyNodeKind(y, 37, tree));
  EXPECT_TRUE(ClassifyNodeKind(y, 53, tree));
  FreeExpression(tree);
}

TEST_F(ClassifierTest, TreeWrappers) {
  struct Case { const char* tree; bool allowed, under, classifiable, constant; };
  const Case cases[] = {
      {"plus(1, sin(pi))", true, true, true, true},
      {"sin(x)", false, false, false, false},
      {"times(a, 2)", false, true, false, true},
      {"sum(10, equal(k, 1), times(a, k))", false, false, false, true},
      {"interval(1, 2)", false, false, true, true},
      {"plus(indexes(a, 2), 1)", false, true, false, true},
  };
  for (const Case& c : cases) {
    ExprNode* tree = Build(c.tree);
    EXPECT_EQ(AllNodesAllowed(tree), c.allowed) << c.tree;
    EXPECT_EQ(AllNodesAllowedUnder(tree), c.under) << c.tree;
    EXPECT_EQ(AllNodesClassifiable(tree), c.classifiable) << c.tree;
    EXPECT_EQ(IsConstantSubtree(tree), c.constant) << c.tree;
    FreeExpression(tree);
  }
  // The free variable counts as classifiable wherever it is, even a coordinate.
  ExprNode* tree = Build("plus(t, sin(t))");
  EXPECT_FALSE(AllNodesClassifiable(tree));
  SetFreeVariable('t');
  EXPECT_EQ(FreeVariable(), 't');
  EXPECT_TRUE(AllNodesClassifiable(tree));
  EXPECT_TRUE(IsConstantSubtree(tree));
  EXPECT_FALSE(AllNodesAllowed(tree));  // only the wrappers that say so accept it
  SetFreeVariable(0);
  FreeExpression(tree);
  EXPECT_TRUE(AllNodesAllowed(nullptr));
}

TEST_F(ClassifierTest, KindGroups) {
  for (uint32_t k = KindLessthan; k <= KindGeq; ++k) EXPECT_TRUE(IsComparisonKind(k));
  EXPECT_FALSE(IsComparisonKind(KindNotequal));
  EXPECT_FALSE(IsComparisonKind(KindGg));
  const uint32_t nonSmooth[] = {KindMod, KindMin, KindMax, KindClamp, KindSlider};
  for (uint32_t k : nonSmooth) EXPECT_TRUE(IsNonSmoothKind(k));
  EXPECT_FALSE(IsNonSmoothKind(KindAbs));
  EXPECT_FALSE(IsNonSmoothKind(KindFloor));
}

}  // namespace
