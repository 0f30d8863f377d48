// Mouse selection and term dragging with a scripted pointer over formulas laid out with the fake
// metrics (a character is half its size wide). Press and pointer points are whole pixels taken
// from the node boxes of the layout, so each expectation follows from the drag rules alone: both
// ends in one operand of a sum select that operand, in different operands the range between.
#include "editor/mouse_selection.h"
#include "kernel/trees/tree_seams.h"
#include "platform/clock.h"
#include "platform/pointer_source.h"
#include "tests/editor/edit_test_support.h"

using namespace edit_test;

namespace {

struct Pixel {
  int32_t v, h;
};

class MouseSelectionTest : public EditTest {
 protected:
  void SetUp() override {
    EditTest::SetUp();
    SetPointerSource(&pointer_);
  }
  void TearDown() override {
    SetPointerSource(nullptr);
    ResetTreeSeams();
    EditTest::TearDown();
  }
  // The middle of a node's box, or a point that far into it (0 left edge, 1 right edge).
  static Pixel At(const std::vector<int>& path, double across = 0.5) {
    const ExprNode* n = E().root;
    for (int i : path) n = n->children[i];
    FixedRect r{};
    GetNodeRect(n, &r);
    return {FixedToPixels((r.top + r.bottom) / 2), FixedToPixels(r.left + static_cast<Fixed>((r.right - r.left) * across))};
  }
  // Presses at `press`, moves through `moves`, releases.
  void Press(Pixel press, std::vector<Pixel> moves, bool extend = false, bool selectOnClick = false,
             bool dragAllowed = false) {
    for (Pixel p : moves) pointer_.Push({1, PointerEventKind::kMoved, QDPoint{int16_t(p.v), int16_t(p.h)}});
    FormulaMouseDown(FixedPoint{Px(press.v), Px(press.h)}, extend, selectOnClick, dragAllowed);
  }
  static Fixed Px(int32_t pixels) { return FixedFromInt(pixels); }
  FakeClock clock_;
  ScriptedPointerSource pointer_{&clock_};
};

TEST_F(MouseSelectionTest, ClicksPlaceTheCaretOrSelect) {
  const struct {
    const char* formula;
    std::vector<int> path;
    double across;
    bool selectOnClick;
    const char* caret;
  } clicks[] = {
      {"times[x,12345]", {0}, 0.8, false, "0 m3 0:0"},  // right half of x: after it
      {"times[x,12345]", {0}, 0.2, false, "0 m4 0:0"},
      {"times[x,12345]", {1}, 0.45, false, "1 m7 2:2"},  // between 2 and 3
      {"times[x,12345]", {0}, 0.8, true, "0 m0 0:0"},
      {"times[x,12345]", {1}, 0.45, true, "1 m0 0:0"},  // a whole number
  };
  for (const auto& c : clicks) {
    Edit(c.formula);
    Press(At(c.path, c.across), {}, false, c.selectOnClick);
    EXPECT_EQ(Caret(), c.caret) << c.formula << " " << c.across;
  }
}

TEST_F(MouseSelectionTest, DragsSelectDigitsOperatorsRangesAndBlocks) {
  const struct {
    const char* formula;
    std::vector<int> from;
    double fromAcross;
    std::vector<int> to;
    double toAcross;
    const char* caret;
  } drags[] = {
      {"plus[a,b,c,d]", {0}, 0.5, {2}, 0.5, " m1 0:2"},
      {"plus[a,b,c,d]", {0}, 0.5, {3}, 0.5, " m0 0:0"},      // all of the operands: the sum
      {"plus[a,b,c,d]", {1}, 0.2, {1}, 0.8, "1 m0 0:0"},     // within one operand
      {"plus[a,b]", {0}, 1.3, {1}, -0.3, " m2 0:0"},         // press and pointer in the gap: the sign
      {"times[x,12345]", {1}, 0.25, {1}, 0.75, "1 m7 1:4"},  // digits 1 to 4
      {"times[x,12345]", {1}, 0.25, {1}, 1.2, "1 m7 1:5"},
      {"times[x,12345]", {1}, 0.05, {1}, 0.95, "1 m0 0:0"},  // every digit: the number
      {"times[x,12345]", {1}, 0.95, {1}, 0.98, "1 m3 0:0"},  // at the digits' end: after the number
      {"times[x,12345]", {1}, 0.02, {1}, 0.04, "0 m3 0:0"},  // at their start: before it (after x)
      {"12345", {}, 0.02, {}, 0.04, " m4 0:0"},
      {"matrix[2,2,a,b,c,d]", {1}, 0.5, {2}, 0.5, " m5 0:3"},
      {"matrix[3,3,a,b,c,d,e,f,g,h,i]", {5}, 0.5, {1}, 0.5, " m5 1:5"},
      {"sin[x]", {}, 0.1, {}, 0.2, " m2 0:0"},               // on the name: the function's sign
  };
  for (const auto& d : drags) {
    Edit(d.formula);
    const Pixel from = At(d.from, d.fromAcross), to = At(d.to, d.toAcross);
    Press(from, {Pixel{from.v, from.h + 1}, to});
    EXPECT_EQ(Caret(), d.caret) << d.formula;
    const char* why = "";
    EXPECT_TRUE(CheckFormulaEditor(&E(), &why)) << why;
  }
}

// Shift-click extends a range from its end farther from the click.
TEST_F(MouseSelectionTest, ShiftClickExtendsFromTheFartherEnd) {
  for (int target : {3, 0}) {
    Edit("plus[a,b,c,d]");
    Place({}, SelectionChildRange, 1, 2);
    Press(At({target}), {}, true);
    EXPECT_EQ(Caret(), target == 3 ? " m1 1:3" : " m1 0:2");
  }
}

// A press inside a movable selection drags the term: nothing until 3 pixels, then one move right
// per 12 pixels beyond the selection, all in one undo step; the caret stays.
TEST_F(MouseSelectionTest, TermDragMovesOncePerCrossingInOneUndoStep) {
  GetTreeSeams().canMoveSelectedTerm = [] { return true; };
  const struct {
    std::vector<int> moves;  // pixels right of the press
    std::vector<int32_t> codes;
  } drags[] = {
      {{3}, {}},
      {{3, 13}, {kCodeMoveTermRight}},
      {{13, 26, 39}, {kCodeMoveTermRight, kCodeMoveTermRight, kCodeMoveTermRight}},
      {{-20, -40}, {kCodeMoveTermLeft, kCodeMoveTermLeft}},
  };
  for (const auto& d : drags) {
    Edit("plus[a,x,b]");
    Place({1}, SelectionCaretNode);
    document_.algebraCodes.clear();
    const int snapshots = document_.snapshots;
    const Pixel press = At({1});
    std::vector<Pixel> moves;
    for (int dh : d.moves) moves.push_back({press.v, press.h + dh});
    Press(press, moves, false, false, true);
    const bool dragged = !d.codes.empty();
    if (dragged) {
      EXPECT_EQ(document_.algebraCodes, d.codes);
      EXPECT_EQ(document_.snapshots - snapshots, 1);
      EXPECT_EQ(Caret(), "1 m0 0:0");
    } else {
      EXPECT_TRUE(document_.algebraCodes.empty());
    }
    RunCodes({'q'});
    if (dragged) {
      EXPECT_EQ(document_.snapshots - snapshots, 2) << "a change after the drag is a step of its own";
    }
  }
  // Two drags in a row are two gestures, so two undo steps: the second does not join the first.
  Edit("plus[a,x,b,c]");
  Place({1}, SelectionCaretNode);
  document_.algebraCodes.clear();
  const int snapshots = document_.snapshots;
  Pixel press = At({1});
  Press(press, {{press.v, press.h + 13}}, false, false, true);
  press = At({1});
  Press(press, {{press.v, press.h + 13}}, false, false, true);
  EXPECT_EQ(document_.algebraCodes.size(), 2u);
  EXPECT_EQ(document_.snapshots - snapshots, 2);
}

}  // namespace
