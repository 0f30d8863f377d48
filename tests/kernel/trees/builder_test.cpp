// Node builders: the shapes they make, and for every allocation a builder needs, a refusal that
// leaves its operands exactly as they were (still attached where they were) with nothing leaked.
#include <functional>
#include <vector>

#include "kernel/trees/node_builders.h"
#include "tests/kernel/trees/tree_test_support.h"

namespace {

using tree_test::Build;
using tree_test::Same;

class BuilderTest : public tree_test::TreeTest {};

struct BuilderCase {
  int operands;
  std::function<ExprNode*(ExprNode** o)> make;
  const char* expected;  // operands are a, b, c
};

// Builders that make more than one node, or take three operands; the one-node forms are
// NewUnaryNode and NewBinaryNode under another name.
std::vector<BuilderCase> Cases() {
  return {
      {3, [](ExprNode** o) { return MakeTimes3(o[0], o[1], o[2]); }, "times[a,b,c]"},
      {2, [](ExprNode** o) { return MakeDifference(o[0], o[1]); }, "plus[a,minus[b]]"},
      {1, [](ExprNode** o) { return MakeReciprocal(o[0]); }, "over[1,a]"},
      {1, [](ExprNode** o) { return MakeSquare(o[0]); }, "power[a,2]"},
      {1, [](ExprNode** o) { return MakeOneMinusSquare(o[0]); }, "plus[1,minus[power[a,2]]]"},
      {1, [](ExprNode** o) { return MakeOnePlusSquare(o[0]); }, "plus[1,power[a,2]]"},
      {1, [](ExprNode** o) { return MakeSquareMinusOne(o[0]); }, "plus[power[a,2],minus[1]]"},
      {2, [](ExprNode** o) { return MakePartialDerivative(o[0], o[1]); }, "dpartial[a,b]"},
      {3, [](ExprNode** o) { return MakeSubstitution(o[0], o[1], o[2]); }, "substitution[a,equal[b,c]]"},
      {2, [](ExprNode** o) { return MakeIndexed(o[0], o[1]); }, "indexes[0,1,a,b]"},
  };
}

TEST_F(BuilderTest, BuildersMakeTheirShapes) {
  for (const BuilderCase& c : Cases()) {
    ExprNode* operands[3] = {Build("a"), Build("b"), Build("c")};
    ExprNode* made = c.make(operands);
    ASSERT_NE(made, nullptr) << c.expected;
    EXPECT_TRUE(Same(made, c.expected) && CheckExpressionTree(made) && made->parent == nullptr);
    if (made->kind == KindIndexes) {
      EXPECT_TRUE(made->value.halves.first == 0 && made->value.halves.second == 1);
    }
    for (int i = c.operands; i < 3; ++i) FreeExpression(operands[i]);
    FreeExpression(made);
  }
  ExprNode* a = Build("a");
  EXPECT_TRUE(MakeTimes(a, nullptr) == nullptr && MakeDifference(nullptr, a) == nullptr &&
              MakeSquare(nullptr) == nullptr && MakeSubstitution(a, a, nullptr) == nullptr && a->parent == nullptr);
  FreeExpression(a);
}

TEST_F(BuilderTest, BuildersFailingAtEveryAllocationLeaveOperandsAsTheyWere) {
  int failures = 0;
  for (const BuilderCase& c : Cases()) {
    // Operands sit in a holder so that a changed parent link or slot would show.
    ExprNode* holder = Build("list[a,b,c]");
    FailNodeAllocationAt(0);
    ExprNode* made = c.make(holder->children);
    const uint64_t needed = NodeAllocationAttempts();
    ASSERT_NE(made, nullptr);
    // Put the operands back into the holder (a prompt takes each one's place) and free the rest.
    for (int i = 0; i < c.operands; ++i) {
      ExprNode* operand = holder->children[i];
      SetChild(operand->parent, IndexInParent(operand), NewPromptNode());
      SetChild(holder, i, operand);
    }
    FreeExpression(made);
    ASSERT_TRUE(CheckExpressionTree(holder));
    for (uint64_t n = 1; n <= needed; ++n, ++failures) {
      SetOutOfMemoryFlag(false);
      const uint64_t reports = NodeExhaustionReports();
      FailNodeAllocationAt(n);
      EXPECT_EQ(c.make(holder->children), nullptr) << c.expected << " failing at " << n;
      FailNodeAllocationAt(0);
      EXPECT_TRUE(NodeExhaustionReports() - reports == 1u && GetOutOfMemoryFlag());
      EXPECT_TRUE(CheckExpressionTree(holder) && Same(holder, "list[a,b,c]")) << c.expected << " failing at " << n;
    }
    FreeExpression(holder);
  }
  EXPECT_GT(failures, 20);
}

}  // namespace
