// The plotting classifier, one test per rule on the cases that tell it apart from its
// neighbours, then the order in which the rules answer, the flag sets the graph classifier
// uses, and the tree-wide wrappers with the free variable. Expected answers are worked out by
// hand from the rules, never taken from a run.
#include <gtest/gtest.h>

#include <vector>

#include "kernel/trees/node_builders.h"
#include "tests/kernel/trees/tree_test_support.h"

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
const ExprNode* At(const ExprNode* root, const std::vector<int>& path) {
  for (int i : path) root = root->children[i];
  return root;
}

const std::vector<int> kNoRoot = {-1};

struct NodeCase {
  const char* tree;
  std::vector<int> node;  // path of the classified node
  uint32_t flags;
  bool expected;
  std::vector<int> root = {};  // path of the root argument (the tree itself), kNoRoot for null
};

void ExpectCases(const std::vector<NodeCase>& cases) {
  for (const NodeCase& c : cases) {
    ExprNode* tree = Build(c.tree);
    const ExprNode* node = At(tree, c.node);
    const ExprNode* root = c.root == kNoRoot ? nullptr : At(tree, c.root);
    EXPECT_EQ(ClassifyNodeKind(node, c.flags, root), c.expected)
        << c.tree << " at " << Show(node) << " flags " << c.flags << " root " << (root ? Show(root) : "null");
    FreeExpression(tree);
  }
}

TEST_F(ClassifierTest, Rule1DerivativeFormsUnderFlag1) {
  ExpectCases({
      {"function(oppartial(x), f)", {}, 1, true},  {"function(oppartial(x), f)", {}, 0, false},
      {"function(oppartial(x), f)", {0}, 1, true}, {"function(oppartial(x), f)", {0}, 0, false},
      {"function(f, x)", {}, 1, false},                  // first operand is no oppartial
      {"function(oppartial(plus(x, 1)), f)", {0}, 1, false},  // operand is no char
      {"plus(oppartial(x), 1)", {0}, 1, false},          // parent is no function
  });
  EXPECT_FALSE(ClassifyNodeKind(nullptr, 1, nullptr));
}

TEST_F(ClassifierTest, Rule2SumsAndTheirIndexUnderFlag4) {
  ExpectCases({
      {"sum(10, equal(k, 1), power(k, 2))", {}, 4, true}, {"sum(10, equal(k, 1), power(k, 2))", {}, 0, false},
      {"sum(10, equal(k, 1))", {}, 4, false},                 // two operands
      {"sum(10, equal(k, 1, 2), k)", {}, 4, false},           // equation of three operands
      {"sum(10, plus(k, 1), k)", {}, 4, false},               // no index equation
      {"sum(10, equal(k, 1), power(k, 2))", {1}, 4, true},    // the equation
      {"sum(equal(a, b), equal(k, 1), k)", {0}, 4, true},     // any equation directly under a sum
      {"plus(equal(a, b), 1)", {0}, 4, false},
      {"sum(10, equal(k, 1), power(k, 2))", {2, 0}, 4, true},  // the index inside the term
      {"sum(10, equal(k, 1), power(k, 2))", {1, 0}, 4, true},  // and inside its own equation
      {"sum(10, equal(k, 1), power(k, 2))", {2, 0}, 0, false},
      {"sum(10, equal(k, 1), power(j, 2))", {2, 0}, 4, false},  // another name
      {"sum(10, equal(t, 1), power(t, 2))", {2, 0}, 4, false},  // a coordinate is no plain variable
      {"plus(sum(10, equal(k, 1), k), k)", {1}, 4, false},      // outside the sum
      // Unlike the bounded sums, a sum binds its index wherever the root is.
      {"sum(10, equal(k, 1), power(k, 2))", {2, 0}, 4, true, {2}},
  });
}

TEST_F(ClassifierTest, Rule3BoundedSumsBindTheirIndexStrictlyBelowRoot) {
  const char* sum = "plus(k8086(equal(k, 1), 10, times(k, 2)), 1)";
  ExpectCases({
      {sum, {0}, 0, true},                              // the bounded sum itself
      {"k8086(plus(k, 1), 10, k)", {}, 0, false},       // first operand is no equation
      {"k8086(equal(k, 1), 10)", {}, 0, false},         // two operands
      {sum, {0, 0}, 0, true},                           // its index equation
      {sum, {0, 2, 0}, 0, true},                        // the index in the term, sum below root
      {sum, {0, 2, 0}, 0, true, kNoRoot},               // no root: any binder counts
      {sum, {0, 2, 0}, 0, false, {0}},                  // the sum is root: not strictly below
      {sum, {0, 2, 0}, 32, true, {0}},                  // ... so flag 32 may take it as a parameter
      {sum, {0, 2, 0}, 0, false, {0, 2}},               // the walk meets root before the binder
      {sum, {0, 2, 0}, 32, false, {0, 2}},              // and then no later rule may accept it
      {sum, {0, 2, 0}, 2, false, {0, 2}},
      {sum, {0, 2, 0}, 32, false, {0, 2, 0}},           // the index alone as root
      {"k8086(equal(k, 1), 10, times(k, j))", {2, 1}, 0, false},  // j is not the index
      {"k8086(equal(k, 1), 10, times(k, j))", {2, 1}, 32, true, {2}},  // a parameter of the term
  });
}

TEST_F(ClassifierTest, Rule3NestedSumsJudgeEachIndexByItsOwnBinder) {
  // Outer sum over k, inner over j; the inner term uses both.
  ExprNode* tree = Build("k8086(equal(k, 1), 10, k8086(equal(j, 1), 5, times(k, j, a)))");
  const ExprNode* inner = At(tree, {2});
  const ExprNode* k = At(tree, {2, 2, 0});
  const ExprNode* j = At(tree, {2, 2, 1});
  EXPECT_TRUE(ClassifyNodeKind(j, 32, inner));   // bound by the root itself
  EXPECT_FALSE(ClassifyNodeKind(k, 32, inner));  // bound above the root: varies inside it
  EXPECT_TRUE(ClassifyNodeKind(j, 0, tree));     // bound strictly below the outer root
  EXPECT_FALSE(ClassifyNodeKind(k, 0, tree));    // bound by the root: left to later rules
  EXPECT_TRUE(ClassifyNodeKind(k, 0, nullptr) && !ClassifyNodeKind(j, 0, inner));
  EXPECT_FALSE(AllNodesAllowedUnder(inner));     // the inner sum depends on k
  EXPECT_TRUE(AllNodesAllowedUnder(tree));       // the whole double sum is constant
  EXPECT_FALSE(AllNodesAllowedUnder(At(tree, {2, 2})) || IsConstantSubtree(At(tree, {2, 2})));
  FreeExpression(tree);
  // An inner sum over the same name shadows the outer one.
  tree = Build("k8086(equal(k, 1), 10, k8086(equal(k, 1), 5, times(k, 2)))");
  EXPECT_TRUE(ClassifyNodeKind(At(tree, {2, 2, 0}), 32, At(tree, {2})));
  EXPECT_TRUE(AllNodesAllowedUnder(At(tree, {2})));
  FreeExpression(tree);
}

TEST_F(ClassifierTest, Rule4ParametersUnderFlag32) {
  ExpectCases({
      {"x", {}, 32, false}, {"x'", {}, 32, false}, {"theta", {}, 32, false}, {"t", {}, 32, false},
      {"a", {}, 32, true},  {"a", {}, 0, false},   {"e", {}, 32, true},
      {"inf", {}, 32, true}, {"inf", {}, 0, false},  // a non-coordinate char, though no evaluator constant
      {"indexes(a, 1)", {}, 32, true}, {"indexes(a, 1)", {}, 0, false},
      {"indexes(a, 1.5)", {}, 32, false}, {"indexes(a, b)", {}, 32, false},
      {"indexes(2, 1)", {}, 32, false},  // subscripted thing is no char
      {"indexes(x, 1)", {}, 32, true},   // any char may carry a whole-number subscript
  });
  // The counts must be 0 raised and 1 lowered.
  ExprNode* raised = Build("indexes(a, 1)");
  for (NodeHalves counts : {NodeHalves{1, 0}, NodeHalves{1, 1}, NodeHalves{0, 2}, NodeHalves{0, 1}}) {
    raised->value.halves = counts;
    EXPECT_EQ(ClassifyNodeKind(raised, 32, raised), counts.first == 0 && counts.second == 1);
  }
  FreeExpression(raised);
}

TEST_F(ClassifierTest, Rules5To7RelationsComparisonsAndCharsByFlag) {
  ExpectCases({
      // Flag 2: comma, comparisons, equal, function, char.
      {"comma(a, b)", {}, 2, true},     {"lessthan(a, b)", {}, 2, true}, {"geq(a, b)", {}, 2, true},
      {"equal(a, b)", {}, 2, true},     {"function(f, x)", {}, 2, true}, {"x", {}, 2, true},
      {"notequal(a, b)", {}, 2, false}, {"list(a, b)", {}, 2, false},
      // Flag 8: comparisons and char.
      {"leq(a, b)", {}, 8, true}, {"x", {}, 8, true}, {"equal(a, b)", {}, 8, false}, {"comma(a, b)", {}, 8, false},
      // Flag 16: char only.
      {"x", {}, 16, true}, {"greaterthan(a, b)", {}, 16, false}, {"equal(a, b)", {}, 16, false},
      {"list(q, 1)", {}, 16, false},
      // Without the flags none of them passes.
      {"x", {}, 0, false}, {"lessthan(a, b)", {}, 0, false}, {"function(f, x)", {}, 0, false},
  });
}

TEST_F(ClassifierTest, Rule8ComparisonsInTheConditionOfAnIf) {
  ExpectCases({
      {"if(lessthan(x, 0), lessthan(y, 0))", {0}, 0, false},
      {"if(lessthan(x, 0), lessthan(y, 0))", {1}, 0, true},
      {"if(a, plus(geq(y, 0), 1))", {1, 0}, 0, true},           // any depth below operand 1
      {"if(a, equal(y, 0))", {1}, 0, true}, {"if(a, notequal(y, 0))", {1}, 0, false},  // no comparison
      {"if(a, if(lessthan(x, 0), b))", {1, 0}, 0, true},        // operand 0 of an if inside operand 1
      {"if(if(a, lessthan(x, 0)), b)", {0, 1}, 0, true},        // inner if's condition
      {"plus(lessthan(x, 0), 1)", {0}, 0, false},
  });
}

TEST_F(ClassifierTest, Rule9CommaListsAsArgumentsOfMinMaxClampMod) {
  ExpectCases({
      {"min(comma(a, b, c, d))", {0}, 0, true}, {"max(comma(a, b))", {0}, 0, true},
      {"max(id(id(comma(a, b))))", {0, 0, 0}, 0, true},  // id wrappers are skipped
      {"clamp(comma(a, b, c))", {0}, 0, true},  {"clamp(comma(a, b))", {0}, 0, false},
      {"mod(comma(a, b))", {0}, 0, true},       {"mod(comma(a, b, c))", {0}, 0, false},
      {"mod(id(comma(a, b)))", {0, 0}, 0, true}, {"plus(comma(a, b))", {0}, 0, false},
      {"min(plus(comma(a, b)))", {0, 0}, 0, false},      // the first non-id ancestor decides
      {"comma(a, b)", {}, 0, false},            {"id(comma(a, b))", {0}, 0, false},
  });
}

TEST_F(ClassifierTest, Rule10ModAndClampTakeOneCommaList) {
  ExpectCases({
      {"mod(comma(a, b))", {}, 0, true},       {"mod(id(comma(a, b)))", {}, 0, true},
      {"mod(a)", {}, 0, false},                {"mod(comma(a, b, c))", {}, 0, false},
      {"mod(id(id(comma(a, b))))", {}, 0, false},  // one id at most
      {"clamp(comma(a, b, c))", {}, 0, true},  {"clamp(id(comma(a, b, c)))", {}, 0, true},
      {"clamp(comma(a, b))", {}, 0, false},    {"clamp(a)", {}, 0, false},
  });
}

TEST_F(ClassifierTest, Rule11ExactlyTheKindsTheEvaluatorComputes) {
  // Independent list of the computable kinds; every other kind of the table must fail.
  const std::vector<uint32_t> computable = {
      KindNum,   KindTimes, KindPlus,  KindFact, KindLparen, KindId,   KindAbs,     KindOver, KindPower,
      KindSn,    KindFloor, KindCeil,  KindLn,   KindExp,    KindArg,  KindImag,    KindReal, KindBesselj,
      KindIf,    KindBranch, KindMin,  KindMax,  KindRe,     KindIm};
  auto isComputable = [&](uint32_t k) {
    if (k >= KindMinus && k <= KindSqrt) return true;  // signs, named functions, sgn, log, sqrt
    for (uint32_t c : computable) {
      if (c == k) return true;
    }
    return false;
  };
  for (uint32_t k = kFirstNodeKind; k <= kLastNodeKind; ++k) {
    if (k == KindChar) continue;  // rule 12
    ExprNode* node = k == KindNum ? NewNumberNode(1.0) : NewNode(k, 0);
    EXPECT_EQ(ClassifyNodeKind(node, 0, nullptr), isComputable(k)) << NodeKindName(k);
    FreeNode(node);
  }
  ExprNode* internal = NewNode(KindDerivativePartial, 0);
  EXPECT_FALSE(ClassifyNodeKind(internal, 0, nullptr));
  FreeNode(internal);
}

TEST_F(ClassifierTest, Rule12OnlyTheEvaluatorConstantsAmongChars) {
  ExpectCases({
      {"sin(pi)", {0}, 0, true}, {"e", {}, 0, true},  {"i", {}, 0, true},  {"degree", {}, 0, true},
      {"pi", {}, 0, true},       {"inf", {}, 0, false}, {"sin(x)", {0}, 0, false}, {"a", {}, 0, false},
      {"E", {}, 0, false},       {"Pi", {}, 0, false},
  });
  ExprNode* dummy = Build("pi");
  dummy->kind = KindDummy;  // a dummy holding pi is no char
  EXPECT_FALSE(ClassifyNodeKind(dummy, 0, nullptr));
  FreeExpression(dummy);
}

TEST_F(ClassifierTest, EarlierRulesAnswerFirst) {
  ExpectCases({
      {"plus(comma(a, b))", {0}, 2, true},        // rule 5 before rule 9's "otherwise false"
      {"mod(a)", {}, 32, false},                  // no flag rescues a bad mod
      {"k8086(equal(k, 1), 10, k)", {2}, 16, false, {2}},  // rule 3's false before rule 7
  });
}

TEST_F(ClassifierTest, FlagSetsOfTheGraphClassifier) {
  // 37 = 1|4|32, 39 = 1|2|4|32, 45 = 1|4|8|32, 53 = 1|4|16|32.
  ExprNode* tree = Build("equal(y, plus(a, lessthan(x, 1)))");
  struct Case { std::vector<int> node; uint32_t refusing, accepting; };
  const Case cases[] = {{{}, 37, 39}, {{1, 1}, 37, 45}, {{0}, 37, 53}};  // equal, lessthan, y
  for (const Case& c : cases) {
    EXPECT_FALSE(ClassifyNodeKind(At(tree, c.node), c.refusing, nullptr)) << c.refusing;
    EXPECT_TRUE(ClassifyNodeKind(At(tree, c.node), c.accepting, nullptr)) << c.accepting;
  }
  EXPECT_TRUE(ClassifyNodeKind(At(tree, {1, 0}), 37, nullptr));  // a parameter
  FreeExpression(tree);
}

TEST_F(ClassifierTest, TreeWrappers) {
  struct Case { const char* tree; bool allowed, under, classifiable, constant; };
  const Case cases[] = {
      {"plus(1, sin(pi))", true, true, true, true},
      {"sin(x)", false, false, false, false},
      {"times(a, 2)", false, true, false, true},
      {"sum(10, equal(k, 1), times(a, k))", false, false, false, true},
      {"k8086(equal(k, 1), 10, times(a, k))", false, true, false, true},
      {"k8086(equal(k, 1), 10, times(2, k))", true, true, true, true},
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
  // The term of a bounded sum varies with the index: not constant on its own, though the
  // evaluator question (no root) lets the sum above bind it.
  ExprNode* tree = Build("k8086(equal(k, 1), 10, times(a, k))");
  EXPECT_FALSE(AllNodesAllowedUnder(At(tree, {2})) || IsConstantSubtree(At(tree, {2})));
  FreeExpression(tree);
  tree = Build("k8086(equal(k, 1), 10, times(2, k))");
  EXPECT_TRUE(AllNodesAllowed(At(tree, {2})) && !AllNodesAllowedUnder(At(tree, {2})));
  FreeExpression(tree);
  // The free variable counts as classifiable wherever it is, even a coordinate.
  tree = Build("plus(t, sin(t))");
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
  EXPECT_FALSE(IsComparisonKind(KindNotequal) || IsComparisonKind(KindGg));
  for (uint32_t k : {KindMod, KindMin, KindMax, KindClamp, KindSlider}) EXPECT_TRUE(IsNonSmoothKind(k));
  EXPECT_FALSE(IsNonSmoothKind(KindAbs) || IsNonSmoothKind(KindFloor));
}

}  // namespace
