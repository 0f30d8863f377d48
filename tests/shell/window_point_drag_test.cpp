// A complex point dragged in the plane view through real events: while the button is down its row
// is drawn with the value it is dragged to and the point defined from it follows; after the release
// the row says where the point stands, Return builds the graphs there again, and one Undo gives the
// row its value from before the drag. Where things must be comes from the twin: its view's map, and
// its row rewritten to the pointer's last place and drawn by the same code.
#include "graphs/factory/definitions.h"
#include "tests/shell/window_test_support.h"
#undef Complex  // Xlib's word for a polygon's shape: the kernel's complex number here

namespace window_test {
namespace {

class PointDragWindowTest : public WindowTest {
 protected:
  QDPoint PixelOf(Complex z) const {
    const ViewMap* map = &twin_->viewSet.first2D->windowMap;
    return QDPoint{int16_t(WorldToPixelY(map, z.im)), int16_t(WorldToPixelX(map, z.re))};
  }
  // Ink within two pixels of the point.
  static bool InkNear(const Screenshot& shot, QDPoint p) {
    for (int dv = -2; dv <= 2; ++dv)
      for (int dh = -2; dh <= 2; ++dh)
        if (IsInk(shot.At(p.h + dh, p.v + dv))) return true;
    return false;
  }
  // The pixels of row 0's frame that differ between the shot and the twin's buffer.
  int RowDifferences(const Screenshot& shot) const {
    const PixelRect f = twinWindow_->RowEditor(0)->frame;
    const GWorldPtr buffer = twinWindow_->Buffer();
    int n = 0;
    for (int v = f.top; v < f.bottom; ++v)
      for (int h = f.left; h < f.right; ++h)
        n += shot.At(h, v) != (buffer->pixels[v * (buffer->rowBytes / 4) + h] & 0xFFFFFFu);
    return n;
  }
  // Up until the program's trace shows row 0; its text.
  std::string RowZeroText() {
    std::string line;
    for (int i = 0; i < 6 && line.rfind("row 0 ", 0) != 0; ++i) {
      Key(XK_Up, false);
      if (!program_.WaitFor("row ", &line)) break;
    }
    return line;
  }
};

TEST_F(PointDragWindowTest, ADraggedPointRewritesItsRowItsSquareFollowsAndOneUndoGivesItBack) {
  std::ofstream(document_) << "equal[p,plus[1,i]]\nequal[z,power[p,2]]\n";
  ASSERT_NO_FATAL_FAILURE(Start());
  const GraphView2D* view = twin_->viewSet.first2D;
  const EquationRow& row = twin_->rows.data[0];
  ASSERT_GE(row.graphRow, 0) << "p = 1 + i builds a point";
  const int32_t point = twin_->viewSet.graphTable.data[row.graphRow].pair[0].index;
  const QDPoint from = PixelOf({1, 1}), to = PixelOf(Complex{1.5, -0.5});
  const Screenshot before =
      ShootUntil("point-before", [&](const Screenshot& s) { return InkNear(s, from) && InkNear(s, PixelOf({0, 2})); });
  ASSERT_TRUE(InkNear(before, from) && InkNear(before, PixelOf({0, 2}))) << "p at 1 + i, z at 2i";

  // The twin's row rewritten where the program's drag ends, and drawn.
  twin_->RewritePointParameters(view, point, view->WindowX(to.h), view->WindowY(to.v));
  const std::string dragged = Bracket(twin_->rows.data[0].expression);
  EXPECT_NE(dragged, Written("equal[p,plus[1,i]]"));
  Complex p{};
  ASSERT_TRUE(IsComplexPointDefinition(twin_->rows.data[0].expression)) << dragged;
  ComplexLiteralValue(&p, twin_->rows.data[0].expression->children[1]);
  EXPECT_TRUE(EqualPt(PixelOf(p), to)) << dragged << " is not at the pointer";
  EXPECT_LT(p.im, 0) << dragged;
  const Complex square{p.re * p.re - p.im * p.im, 2 * p.re * p.im};
  ASSERT_TRUE(PtInRect(PixelOf(square), view->rect) && PtInRect(to, view->rect));

  // While the button is held: the row drawn with the new value, p and z drawn where it puts them.
  MoveTo(from.h, from.v);
  Button(true);
  for (int k = 1; k <= 8; ++k) {
    MoveTo(from.h + (to.h - from.h) * k / 8, from.v + (to.v - from.v) * k / 8);
    Pause(30);
  }
  const auto followed = [&](const Screenshot& s) {
    return RowDifferences(s) == 0 && InkNear(s, to) && InkNear(s, PixelOf(square)) && !InkNear(s, PixelOf({0, 2}));
  };
  const Screenshot during = ShootUntil("point-during", followed);
  Button(false);
  EXPECT_EQ(RowDifferences(during), 0) << "the row is not drawn as " << dragged;
  EXPECT_TRUE(InkNear(during, to)) << "p is not at the pointer";
  EXPECT_TRUE(InkNear(during, PixelOf(square)) && !InkNear(during, PixelOf({0, 2}))) << "z = p^2 did not follow";
  ASSERT_TRUE(program_.WaitFor("view "));

  // After the release the row says it, and Return builds the graphs where the row says.
  EXPECT_EQ(RowZeroText(), "row 0 " + dragged);
  Key(XK_Return, false);
  ASSERT_TRUE(program_.WaitFor("graphs complete"));
  const auto built = [&](const Screenshot& s) {
    return InkNear(s, to) && InkNear(s, PixelOf(square)) && !InkNear(s, from) && !InkNear(s, PixelOf({0, 2}));
  };
  EXPECT_TRUE(built(ShootUntil("point-after-return", built))) << "Return moved the points";
  EXPECT_EQ(RowZeroText(), "row 0 " + dragged);

  // The whole drag is one undo step.
  ChooseItem(0, kCommandUndo);
  std::string line;
  ASSERT_TRUE(program_.WaitFor("row ", &line));
  EXPECT_EQ(line, "row 0 " + Written("equal[p,plus[1,i]]"));
}

}  // namespace
}  // namespace window_test
