// Node builders: the shapes they make, and for every allocation a builder needs, a refusal that
// leaves its operands exactly as they were with nothing leaked.
#include <functional>
#include <string>
#include <vector>

#include "kernel/trees/node_builders.h"
#include "tests/kernel/trees/tree_test_support.h"

namespace {

using tree_test::Build;
using tree_test::Same;

class BuilderTest : public tree_test::TreeTest {};

struct BuilderCase { int operands; std::function<ExprNode*(ExprNode** o)> make; const char* expected; };  // a, b, c

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

// Each builder makes its shape; then, for every allocation it needs, refusing that one gives null
// with error 7 posted once and the operands exactly as they were: still in their holder, whose
// parent links and slots would show any change.
TEST_F(BuilderTest, BuildersMakeTheirShapesOrLeaveOperandsAsTheyWere) {
  int failures = 0;
  for (const BuilderCase& c : Cases()) {
    ExprNode* holder = Build("list[a,b,c]");
    FailNodeAllocationAt(0);
    ExprNode* made = c.make(holder->children);
    const uint64_t needed = NodeAllocationAttempts();
    ASSERT_TRUE(made != nullptr && made->parent == nullptr && Same(made, c.expected) && CheckExpressionTree(made)) << c.expected;
    EXPECT_TRUE(made->kind != KindIndexes || (made->value.halves.first == 0 && made->value.halves.second == 1));
    for (int i = 0; i < c.operands; ++i) {  // the operands go back to the holder, a prompt in each one's place
      ExprNode* operand = holder->children[i];
      SetChild(operand->parent, IndexInParent(operand), NewPromptNode());
      SetChild(holder, i, operand);
    }
    FreeExpression(made);
    for (uint64_t n = 1; n <= needed; ++n, ++failures) {
      SetOutOfMemoryFlag(false);
      const uint64_t reports = NodeExhaustionReports();
      FailNodeAllocationAt(n);
      EXPECT_EQ(c.make(holder->children), nullptr) << c.expected << " failing at " << n;
      FailNodeAllocationAt(0);
      EXPECT_TRUE(NodeExhaustionReports() - reports == 1u && CheckExpressionTree(holder) && Same(holder, "list[a,b,c]"))
          << c.expected << " failing at " << n;
    }
    FreeExpression(holder);
  }
  EXPECT_GT(failures, 20);
  ExprNode* a = Build("a");  // a missing operand gives null and leaves the others alone
  EXPECT_TRUE(MakeTimes(a, nullptr) == nullptr && MakeDifference(nullptr, a) == nullptr && a->parent == nullptr);
  FreeExpression(a);
}

// Only the half written 1/2 with number nodes becomes a root; the node keeps its identity.
TEST_F(BuilderTest, AHalfPowerBecomesARootInPlace) {
  const struct {
    const char* before;
    bool rewritten;
    const char* after;
  } cases[] = {{"power[plus[x,1],over[1,2]]", true, "sqrt[plus[x,1]]"},
               {"power[x,over[2,4]]", false, "power[x,over[2,4]]"},
               {"power[x,0.5]", false, "power[x,0.5]"},
               {"power[x,over[1,a]]", false, "power[x,over[1,a]]"},
               {"over[1,2]", false, "over[1,2]"}};
  for (const auto& c : cases) {
    ExprNode* holder = Build((std::string("list[") + c.before + "]").c_str());
    ExprNode* node = holder->children[0];
    EXPECT_EQ(HalfPowerToRoot(node), c.rewritten) << c.before;
    EXPECT_TRUE(holder->children[0] == node && Same(node, c.after) && CheckExpressionTree(holder)) << c.before;
    FreeExpression(holder);
  }
}

}  // namespace
