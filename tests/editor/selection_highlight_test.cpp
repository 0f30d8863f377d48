// Line mapping on a hand-made three-line table (starts 0, 100, 200; every line as tall as the
// root), the highlight pieces and the caret bar on the recording port, the pixel rectangles, and
// the pointer read-outs from a scripted pointer. Expected bounds are worked from the table.
#include "editor/hit_testing.h"
#include "editor/line_mapping.h"
#include "editor/pointer_tracking.h"
#include "editor/selection_highlight.h"
#include "platform/clock.h"
#include "platform/pointer_source.h"
#include "tests/editor/edit_test_support.h"

using namespace edit_test;
using typeset_test::Px;

namespace {

class SelectionHighlightTest : public EditTest {
 protected:
  // A laid-out formula given three display lines that start at 0, 100 and 200 pixels.
  FormulaEditor* ThreeLines() {
    FormulaEditor* e = Edit("plus[a,b,c,d,e,f,g,h,i,j,k,l,m,n,o,p,q,r,s,t]");
    height_ = e->root->box->descent + e->root->box->ascent;
    FreeMemory(e->lineTable);
    e->lineTable = static_cast<FormulaLine*>(AllocMemory(3 * sizeof(FormulaLine)));
    for (int32_t k = 0; k < 3; ++k) e->lineTable[k] = FormulaLine{Px(100 * k), k * height_};
    e->lineCount = 3;
    e->widestLine = Px(120);
    return e;
  }
  std::vector<typeset_test::Call> Fills() const {
    std::vector<typeset_test::Call> fills;
    for (const auto& call : port_.calls)
      if (call.op == 'F') fills.push_back(call);
    return fills;
  }
  Fixed height_ = 0;
};

TEST_F(SelectionHighlightTest, LayoutAndDisplayPointsMapThroughTheLineTable) {
  FormulaEditor* e = Edit("plus[a,b]");
  FixedPoint p{Px(30), Px(7)};
  DisplayToLayoutPoint(&p);
  EXPECT_EQ(p.v, Px(30));
  EXPECT_EQ(p.h, Px(7));
  EXPECT_EQ(FormulaTextWidth(e), e->root->box->width);

  e = ThreeLines();
  EXPECT_EQ(LayoutXToLine(Px(100)), 1);
  EXPECT_EQ(LayoutXToLine(Px(100) - 1), 0);
  EXPECT_EQ(LayoutXToLineX(Px(250)), Px(50));
  EXPECT_EQ(LayoutXToLineOffsetY(Px(250)), 2 * height_);
  const struct {
    Fixed v;
    Fixed layoutV, layoutH;
  } points[] = {
      {height_, height_, Px(5)},                    // on line 1's top: still line 0
      {height_ + 1, 1, Px(105)},                    // just below it: line 1
      {Px(30000), Px(30000) - 2 * height_, Px(205)},  // far below: the last line, no row past it
  };
  for (const auto& q : points) {
    FixedPoint point{q.v, Px(5)};
    DisplayToLayoutPoint(&point);
    EXPECT_EQ(point.v, q.layoutV);
    EXPECT_EQ(point.h, q.layoutH);
  }
  EXPECT_EQ(FormulaTextWidth(e), e->widthLimit);
  EXPECT_EQ(FormulaTextHeight(e), 3 * height_);
}

TEST_F(SelectionHighlightTest, ASelectionOverThreeLinesIsATailABandAndAHead) {
  ThreeLines();
  TypesetGlobals().originH = 10;
  DrawMultiLineSelection(FixedRect{Px(2), Px(50), Px(20), Px(250)}, true);
  const auto fills = Fills();
  ASSERT_EQ(fills.size(), 3u);
  const double h = height_ / 65536.0;
  const double expected[3][4] = {{60, 2, 130, 20}, {10, h, 130, 2 * h}, {10, 2 + 2 * h, 60, 20 + 2 * h}};
  for (int i = 0; i < 3; ++i) {
    for (int k = 0; k < 4; ++k) EXPECT_DOUBLE_EQ(fills[i].fill[k], expected[i][k]) << i << "," << k;
    EXPECT_FALSE(fills[i].plain) << "pieces over several lines always take the highlight colour";
  }
  port_.calls.clear();
  DrawMultiLineSelection(FixedRect{Px(2), Px(120), Px(20), Px(150)}, true);
  ASSERT_EQ(Fills().size(), 1u);
  EXPECT_DOUBLE_EQ(Fills()[0].fill[0], 30);
  EXPECT_DOUBLE_EQ(Fills()[0].fill[1], 2 + h);
  EXPECT_TRUE(Fills()[0].plain);
}

TEST_F(SelectionHighlightTest, PixelRectanglesComeFromTheSelectionGeometry) {
  FormulaEditor* e = Edit("plus[a,b,c]");
  TypesetGlobals().originV = 40;
  FixedRect a, c;
  GetNodeRect(e->root->children[0], &a);
  GetNodeRect(e->root->children[2], &c);
  Place({}, SelectionChildRange, 0, 2);
  PixelRect r{};
  ASSERT_TRUE(GetFormulaSelectionRect(&r));
  EXPECT_EQ(r.left, FixedToPixels(a.left));
  EXPECT_EQ(r.right, FixedToPixels(c.right));
  EXPECT_EQ(r.top, 40 + FixedToPixels(a.top));

  PixelRect untouched{1, 2, 3, 4};
  EXPECT_FALSE(GetSymbolCharRect('z', &untouched));
  EXPECT_EQ(untouched.right, 4);
  ASSERT_TRUE(GetSymbolCharRect('c', &r));
  EXPECT_EQ(r.left, FixedToPixels(c.left));
  EXPECT_EQ(Caret(), " m1 0:2") << "the caret is put back";
  EXPECT_TRUE(PointInCaretRect(QDPoint{50, 1}) == false) << "only a selected node has a caret rectangle";
}

// XOR twice leaves the screen as it was; the phase toggles with each draw.
TEST_F(SelectionHighlightTest, CaretBarIsAnXorLineDrawnOnItsDisplayLine) {
  FormulaEditor* e = Edit("times[x,y]");
  Place({0}, SelectionCaretAfter);
  FixedRect x;
  GetNodeRect(e->root->children[0], &x);
  DrawCurrentEquationCaret();
  DrawCurrentEquationCaret();
  std::string ops;
  for (const auto& call : port_.calls) ops += call.op;
  EXPECT_EQ(ops, "SPXMPLXPRSPXMPLXPR");
  EXPECT_EQ(port_.calls[3].h, FixedToPixels(x.right - kFixedOne));
  EXPECT_EQ(port_.calls[3].v, FixedToPixels(x.top));
  EXPECT_EQ(port_.calls[5].v, FixedToPixels(x.bottom));
  EXPECT_EQ(e->documentFlag, 0);
  port_.calls.clear();
  Place({0}, SelectionCaretNode);
  DrawCurrentEquationCaret();
  EXPECT_TRUE(port_.calls.empty()) << "a selected letter shows no caret";
}

TEST_F(SelectionHighlightTest, PinnedPointerNeverLeavesTheFormula) {
  FakeClock clock;
  ScriptedPointerSource pointer(&clock);
  const QDPoint script[] = {{-500, -500}, {3, 3}, {900, 12}, {10, 32000}};
  for (QDPoint where : script) pointer.Push({1, PointerEventKind::kMoved, where});
  SetPointerSource(&pointer);
  FormulaEditor* e = Edit("plus[a,b]");
  FixedRect root;
  GetNodeRect(e->root, &root);
  FixedPoint p{};
  int moves = 0;
  while (TrackFormulaMousePinned(&p)) {
    ++moves;
    EXPECT_TRUE(p.v >= root.top && p.v < root.bottom && p.h >= root.left && p.h < root.right) << p.v << "," << p.h;
    ClickToCaret(p);
  }
  EXPECT_EQ(moves, 4);
  FixedPoint free{};
  pointer.Push({1, PointerEventKind::kMoved, QDPoint{-7, 900}});
  EXPECT_TRUE(TrackFormulaMouse(&free));
  EXPECT_EQ(free.h, Px(900));
  EXPECT_FALSE(TrackFormulaMouse(&free)) << "a script that ran out lets go of the button";
  SetPointerSource(nullptr);
}

TEST_F(SelectionHighlightTest, ClicksPutTheCaretBesideLettersAndBetweenDigits) {
  FormulaEditor* e = Edit("times[x,12345]");
  FixedRect x, number;
  GetNodeRect(e->root->children[0], &x);
  GetNodeRect(e->root->children[1], &number);
  const Fixed middle = (x.top + x.bottom) / 2, digit = (number.right - number.left) / 5;
  ClickToCaret(FixedPoint{middle, x.right - 1});
  EXPECT_EQ(Caret(), "0 m3 0:0");
  ClickToCaret(FixedPoint{middle, x.left + 1});
  EXPECT_EQ(Caret(), "0 m4 0:0");
  ClickToCaret(FixedPoint{middle, number.left + 2 * digit + digit / 4});
  EXPECT_EQ(Caret(), "1 m7 2:2");
}

}  // namespace
