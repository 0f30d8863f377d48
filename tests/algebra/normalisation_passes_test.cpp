// The path from a tree to compiled code: each normalisation pass, the passes inside InitFunction,
// walk work that stays linear in the tree's size on wide and deep trees, and numbers that keep
// their exact value from text to compiled constant.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "algebra/algebra_seams.h"
#include "algebra/normalisation_passes.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/eval/evaluation_seams.h"
#include "tests/kernel/eval/evaluation_test_support.h"
#include "tests/kernel/trees/tree_test_support.h"

namespace {

using tree_test::Build;
using tree_test::Same;

class PipelineTest : public tree_test::TreeTest {
 protected:
  void SetUp() override {
    TreeTest::SetUp();
    checkBytes_ = false;  // compiles grow the process-wide evaluation scratch, kept by design
    InstallAlgebraSeams();
  }
  void TearDown() override {
    ResetEvaluationSeams();
    TreeTest::TearDown();
  }
  // Walk work of normalising and compiling the tree as a function, per node of the tree.
  static uint64_t WorkPerNode(ExprNode* tree) {
    const uint64_t nodes = CountSubtreeNodes(tree), before = TreeWalkWork();
    auto* f = new CompiledFunction{};
    InitFunction(f, tree);
    CompileFunction(f);
    evaltest::Free(f);
    return (TreeWalkWork() - before) / nodes;  // freeing walks too: a bounded amount a node
  }
};

TEST_F(PipelineTest, EachPassRewritesInPlace) {
  struct Case { void (*pass)(ExprNode*); const char* before; const char* after; };
  const Case cases[] = {
      {UnwrapIdNodes, "id[id[plus[id[x],1]]]", "plus[x,1]"},
      {FoldNegatedNumberLiterals, "plus[x,minus[2],minus[x]]", "plus[x,num[-2,\"-2\"],minus[x]]"},
      {NormaliseForCompilation, "minus[minus[id[3]]]", "3"},  // ids go first
      {UnwrapNonSmoothCalls, "max[comma[x,min[comma[y,z]]]]", "max[x,min[y,z]]"},
      {UnwrapNonSmoothCalls, "mod[comma[a,b],c]", "mod[comma[a,b],c]"},  // replacing them would drop c
      {ConvertIndexedSums, "sum[times[i,x],equal[i,1],n]", "bsum[equal[i,1],n,times[i,x]]"},
      {ConvertIndexedSums, "sum[i,i,n]", "sum[i,i,n]"},  // a bare index
  };
  for (const Case& c : cases) {
    ExprNode* tree = Build(c.before);
    const ExprNode* root = tree;
    c.pass(tree);
    EXPECT_TRUE(tree == root && tree->parent == nullptr && CheckExpressionTree(tree)) << c.before;
    EXPECT_TRUE(Same(tree, c.after)) << c.before;
    FreeExpression(tree);
  }
  ExprNode* zero = Build("minus[0]");
  FoldNegatedNumberLiterals(zero);  // -0 on purpose
  EXPECT_TRUE(zero->kind == KindNum && std::signbit(zero->value.number->value));
  FreeExpression(zero);
  // InitFunction runs the passes: sums, lists and doubled negations compute (hand-computed at x = 1).
  EXPECT_TRUE(evaltest::ValueAt("plus[x,sum[times[k,x],equal[k,1],3]]", 1) == 7 && evaltest::ValueAt("min[comma[3,1,2]]") == 1);
}

// A sum of 10,000 operands: normalising and compiling it used to walk the operand list again at
// every step (NextPostOrder, IndexInParent), tens of thousands of units a node.
TEST_F(PipelineTest, WideSumsNormaliseAndCompileInLinearWork) {
  std::string text = "plus[x";
  for (int i = 1; i < 10000; ++i) text += ",id[sin[x]]";
  EXPECT_LT(WorkPerNode(Build((text + "]").c_str())), 40u);
}

// A chain 8,000 deep: the compiler used to ask at every level whether the whole subtree below was
// constant, thousands of units a node.
TEST_F(PipelineTest, DeepChainsCompileInLinearWork) {
  ExprNode* chain = NewSymbolNode('x');
  for (int i = 0; i < 8000; ++i) ASSERT_TRUE(WrapInUnary(chain, i % 2 ? KindSin : KindPlus));
  EXPECT_LT(WorkPerNode(chain), 40u);
}

// Numbers read from text and split into mantissa and power of ten evaluate to their own value:
// bit for bit with at most 15 significant digits, the subnormals (4.94e-324 used to give 0,
// 2.47e-322 came back 2% low) and the largest double among them, and within two units in the
// last place with 16 or 17, across every exponent.
TEST_F(PipelineTest, NumbersKeepTheirValueThroughSplitAndCompile) {
  std::vector<double> exact = {4.94e-324, 2.47e-322, 1e-310, 1.7976931348623157e308, 6.02214076e23, 238810495};
  std::vector<double> full;
  std::mt19937_64 random(11);
  for (int i = 0; i < 200; ++i) {
    const int exponent = static_cast<int>(random() % 2000) - 1000;
    full.push_back(std::ldexp(1.0 + static_cast<double>(random() % (1ull << 52)) / 0x1p52, exponent));
    exact.push_back(std::strtod((std::to_string(random() % 1000000000000000u) + "e" + std::to_string(exponent % 280)).c_str(), nullptr));
  }
  for (const std::vector<double>* values : {&exact, &full}) {
    for (double v : *values) {
      char text[64];
      std::snprintf(text, sizeof text, "num[%.17g,\"x\"]", v);  // a display text that forces the split
      const double unit = values == &exact ? 0 : std::nextafter(std::fabs(v), HUGE_VAL) - std::fabs(v);
      EXPECT_LE(std::fabs(evaltest::ValueAt(text) - v), 2 * unit) << text;
    }
  }
}

// Nested sums over one index are undefined, however wide the tree around them (past 512 pending
// operands the check used to give up and let them run).
TEST_F(PipelineTest, NestedSumsOfOneIndexAreUndefinedInWideTrees) {
  std::string text = "plus[";
  for (int i = 0; i < 600; ++i) text += "1,";
  text += "sum[sum[k,equal[k,1],2],equal[k,1],3]]";
  EXPECT_TRUE(std::isnan(evaltest::ValueAt(text.c_str())));
}

}  // namespace
