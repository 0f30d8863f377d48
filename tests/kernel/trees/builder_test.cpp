// Node builders: the shapes they make, and for every allocation a builder needs, a refusal that
// leaves its operands exactly as they were (still attached where they were) with nothing leaked.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "kernel/trees/node_builders.h"
#include "tests/kernel/trees/tree_test_support.h"

namespace {

using tree_test::Build;
using tree_test::Show;

class BuilderTest : public tree_test::TreeTest {};

struct BuilderCase {
  const char* name;
  int operands;
  std::function<ExprNode*(ExprNode** o)> make;
  const char* expected;  // operands print as a, b, c
};

std::vector<BuilderCase> Cases() {
  return {
      {"MakeTimes", 2, [](ExprNode** o) { return MakeTimes(o[0], o[1]); }, "times(a,b)"},
      {"MakeTimes3", 3, [](ExprNode** o) { return MakeTimes3(o[0], o[1], o[2]); }, "times(a,b,c)"},
      {"MakePlus", 2, [](ExprNode** o) { return MakePlus(o[0], o[1]); }, "plus(a,b)"},
      {"MakeDifference", 2, [](ExprNode** o) { return MakeDifference(o[0], o[1]); }, "plus(a,minus(b))"},
      {"MakeNegate", 1, [](ExprNode** o) { return MakeNegate(o[0]); }, "minus(a)"},
      {"MakeOver", 2, [](ExprNode** o) { return MakeOver(o[0], o[1]); }, "over(a,b)"},
      {"MakeReciprocal", 1, [](ExprNode** o) { return MakeReciprocal(o[0]); }, "over(1,a)"},
      {"MakePower", 2, [](ExprNode** o) { return MakePower(o[0], o[1]); }, "power(a,b)"},
      {"MakeSquare", 1, [](ExprNode** o) { return MakeSquare(o[0]); }, "power(a,2)"},
      {"MakeOneMinusSquare", 1, [](ExprNode** o) { return MakeOneMinusSquare(o[0]); }, "plus(1,minus(power(a,2)))"},
      {"MakeOnePlusSquare", 1, [](ExprNode** o) { return MakeOnePlusSquare(o[0]); }, "plus(1,power(a,2))"},
      {"MakeSquareMinusOne", 1, [](ExprNode** o) { return MakeSquareMinusOne(o[0]); }, "plus(power(a,2),minus(1))"},
      {"MakeSqrt", 1, [](ExprNode** o) { return MakeSqrt(o[0]); }, "sqrt(a)"},
      {"MakeLn", 1, [](ExprNode** o) { return MakeLn(o[0]); }, "ln(a)"},
      {"MakeSin", 1, [](ExprNode** o) { return MakeSin(o[0]); }, "sin(a)"},
      {"MakeCos", 1, [](ExprNode** o) { return MakeCos(o[0]); }, "cos(a)"},
      {"MakeRealPart", 1, [](ExprNode** o) { return MakeRealPart(o[0]); }, "real(a)"},
      {"MakeImagPart", 1, [](ExprNode** o) { return MakeImagPart(o[0]); }, "imag(a)"},
      {"MakePartialDerivative", 2, [](ExprNode** o) { return MakePartialDerivative(o[0], o[1]); }, "k8081(a,b)"},
      {"MakeSubstitution", 3, [](ExprNode** o) { return MakeSubstitution(o[0], o[1], o[2]); },
       "substitution(a,equal(b,c))"},
      {"MakeIndexed", 2, [](ExprNode** o) { return MakeIndexed(o[0], o[1]); }, "indexes(a,b)"},
  };
}

TEST_F(BuilderTest, BuildersMakeTheirShapes) {
  for (const BuilderCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    ExprNode* operands[3] = {Build("a"), Build("b"), Build("c")};
    ExprNode* made = c.make(operands);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(Show(made), c.expected);
    EXPECT_TRUE(CheckExpressionTree(made));
    EXPECT_EQ(made->parent, nullptr);
    if (made->kind == KindIndexes) {  // 0 raised, 1 lowered
      EXPECT_TRUE(made->value.halves.first == 0 && made->value.halves.second == 1);
    }
    for (int i = c.operands; i < 3; ++i) FreeExpression(operands[i]);
    FreeExpression(made);
  }
}

TEST_F(BuilderTest, BuildersFailingAtEveryAllocationLeaveOperandsAsTheyWere) {
  int failures = 0;
  for (const BuilderCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    // Operands sit in a holder so that a changed parent link would show.
    ExprNode* holder = Build("list(a,b,c)");
    FailNodeAllocationAt(0);
    ExprNode* made = c.make(holder->children);
    const uint64_t needed = NodeAllocationAttempts();
    ASSERT_NE(made, nullptr);
    // Put the operands back into the holder and free the rest of what was made.
    for (int i = 0; i < c.operands; ++i) {
      ExprNode* operand = holder->children[i];
      const int slot = IndexInParent(operand);
      ASSERT_GE(slot, 0);
      ExprNode* stand = NewPromptNode();
      operand->parent->children[slot] = stand;
      stand->parent = operand->parent;
      operand->parent = holder;
    }
    FreeExpression(made);
    ASSERT_TRUE(CheckExpressionTree(holder));
    for (uint64_t n = 1; n <= needed; ++n) {
      SetOutOfMemoryFlag(false);
      const uint64_t reports = NodeExhaustionReports();
      FailNodeAllocationAt(n);
      EXPECT_EQ(c.make(holder->children), nullptr) << n;
      FailNodeAllocationAt(0);
      EXPECT_EQ(NodeExhaustionReports() - reports, 1u) << n;
      EXPECT_TRUE(GetOutOfMemoryFlag());
      EXPECT_TRUE(CheckExpressionTree(holder)) << n;
      EXPECT_EQ(Show(holder), "list(a,b,c)");
      ++failures;
    }
    FreeExpression(holder);
  }
  EXPECT_GT(failures, 25);
}

TEST_F(BuilderTest, NullOperandsGiveNull) {
  ExprNode* a = Build("a");
  EXPECT_TRUE(MakeTimes(a, nullptr) == nullptr && MakeDifference(nullptr, a) == nullptr &&
              MakeSquare(nullptr) == nullptr && MakeSubstitution(a, a, nullptr) == nullptr);
  EXPECT_EQ(a->parent, nullptr);
  FreeExpression(a);
}

}  // namespace
