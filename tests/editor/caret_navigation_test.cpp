// Properties of caret placement and the arrows over random trees of every kind the reader can
// name (any operand count): normalisation ends and a second call changes nothing; from every
// caret position repeated Right (Left) arrows come to rest without visiting a position twice.
// Then the hint-line queries, worked by hand.
#include <set>
#include <tuple>

#include "editor/caret_navigation.h"
#include "tests/editor/edit_test_support.h"
#include "tests/kernel/trees/tree_test_support.h"

using namespace edit_test;

namespace {

using CaretState = std::tuple<const ExprNode*, int32_t, int32_t, int32_t>;

CaretState State(const FormulaEditor& e) {
  return {e.caretNode, e.selectionMode, e.selectionStart, e.selectionEnd};
}

class CaretNavigationTest : public EditTest {
 protected:
  // Each tree of the seeds, with every node of it, for the check.
  template <typename Check>
  void ForEveryPosition(uint32_t seeds, Check check) {
    for (uint32_t seed = 1; seed <= seeds; ++seed) {
      tree_test::RandomTree random(seed);
      FormulaEditor* e = Fresh();
      FreeExpression(e->root);
      e->root = e->caretNode = random.Make(5);
      std::vector<ExprNode*> nodes;
      TreeCursor cursor(e->root, WalkOrder::kPreOrder);
      for (ExprNode* n = cursor.Current(); n; n = cursor.Next()) nodes.push_back(n);
      for (ExprNode* n : nodes) check(n);
      Drop(e);
    }
  }
};

TEST_F(CaretNavigationTest, NormalisingTwiceChangesNothing) {
  ForEveryPosition(60, [](ExprNode* n) {
    for (int32_t mode : {SelectionCaretNode, SelectionCaretAfter, SelectionCaretBefore}) {
      SetFormulaSelection(n, mode);
      const CaretState once = State(E());
      SetFormulaSelection(E().caretNode, E().selectionMode);
      ASSERT_EQ(State(E()), once);
    }
  });
}

// Where the arrows come to rest is an end of the formula: nothing follows (Right) or precedes
// (Left) the caret node, and the caret stands after (before) it, or on a prompt there.
TEST_F(CaretNavigationTest, RepeatedArrowsReachTheEndsWithoutACycle) {
  int positions = 0;
  ForEveryPosition(60, [&](ExprNode* n) {
    for (const bool right : {true, false}) {
      for (int32_t mode : {SelectionCaretNode, SelectionCaretAfter, SelectionCaretBefore}) {
        SetFormulaSelection(n, mode);
        std::set<CaretState> seen;
        for (CaretState now = State(E());; now = State(E())) {
          ASSERT_TRUE(seen.insert(now).second) << "an arrow came back to a position it left";
          right ? CaretRight() : CaretLeft();
          const char* why = "";
          ASSERT_TRUE(CheckFormulaEditor(&E(), &why)) << why;
          if (State(E()) == now) break;
        }
        const ExprNode* c = E().caretNode;
        const int32_t end = right ? SelectionCaretAfter : SelectionCaretBefore;
        EXPECT_TRUE(E().selectionMode == end || (c->kind == KindPrompt && E().selectionMode == SelectionCaretNode));
        EXPECT_EQ(right ? NextSiblingOrAncestorSibling(c) : PrevSiblingOrAncestorSibling(c), nullptr)
            << (right ? "Right" : "Left") << " stopped short of the end: " << Infix() << " " << Caret();
        ++positions;
      }
    }
  });
  EXPECT_GT(positions, 1000);
}

// Shift-arrows hand the drag selection the caret bar where the arrow would go, from the caret
// they leave in place: one step from after a (to before b: a sum keeps both places), two from
// the selected a (after it, then before b). Either way the drag spans the sum.
// The end of the formula is where Right comes to rest: a second Right there changes nothing, and
// from every position repeated Right arrives at the same place (a formula ending in a prompt
// ends with the prompt selected, which Right from before it does not select).
TEST_F(CaretNavigationTest, FormulaEndIsWhereRightComesToRest) {
  ForEveryPosition(60, [](ExprNode* n) {
    CaretToFormulaEnd();
    const CaretState end = State(E());
    CaretRight();
    ASSERT_EQ(State(E()), end);
    if (E().caretNode->kind == KindPrompt) {
      ASSERT_EQ(E().selectionMode, SelectionCaretNode);
      return;
    }
    SetFormulaSelection(n, SelectionCaretAfter);
    for (int step = 0; step < 10000; ++step) {
      const CaretState before = State(E());
      CaretRight();
      if (State(E()) == before) break;
    }
    ASSERT_EQ(State(E()), end);
  });
}

TEST_F(CaretNavigationTest, ExtendingSelectionDragsToWhereTheArrowWouldGo) {
  FormulaEditor* e = Edit("plus[a,b]");
  FixedRect b;
  GetNodeRect(e->root->children[1], &b);
  Place({0}, SelectionCaretAfter);
  RunCodes({kCodeExtendRight});
  Place({0}, SelectionCaretNode);
  RunCodes({kCodeExtendRight});
  ASSERT_EQ(document_.drags.size(), 2u);
  for (const auto& [v, h] : document_.drags) {
    EXPECT_EQ(h, b.left);
    EXPECT_EQ(v, (b.top + b.bottom) / 2);
  }
  EXPECT_EQ(Caret(), " m0 0:0") << "a drag from a to b covers the whole sum";
}

TEST_F(CaretNavigationTest, HintQueriesSeeTheEndOfAnExponentOrDenominator) {
  const struct {
    const char* formula;
    std::vector<int> path;
    bool exponent, denominator;
  } cases[] = {
      {"power[x,plus[a,b]]", {1, 1}, true, false},
      {"power[x,plus[a,b]]", {1, 0}, false, false},
      {"over[1,power[x,2]]", {1, 1}, true, false},
      {"over[1,plus[x,2]]", {1, 1}, false, true},
      {"power[x,over[1,y]]", {1, 1}, false, true},
      {"power[x,id[y]]", {1, 0}, false, false},
  };
  for (const auto& c : cases) {
    Fresh(c.formula);
    Place(c.path, SelectionCaretAfter);
    EXPECT_EQ(IsCaretInExponent(), c.exponent) << c.formula;
    EXPECT_EQ(IsCaretInDenominator(), c.denominator) << c.formula;
  }
}

}  // namespace
