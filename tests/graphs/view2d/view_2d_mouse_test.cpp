// The 2D view under the mouse, driven by a scripted pointer on the fake clock: click results,
// pan with edge acceleration (a quarter of the distance, at most 20 pixels a step), the zoom box
// handing its world ranges to SetViewRange, picture drag with deletion by dragging out, drop
// positions worked out by hand, probe redraws, intersection snaps to exact crossings (worked out
// by hand: 0.5, 0 and 1), and the probe's visibility by its x extent.
#include <cmath>
#include <cstring>
#include <vector>

#include "graphs/view2d/graph_view_2d.h"
#include "platform/clock.h"
#include "platform/pointer_source.h"
#include "tests/graphs/graphs_test_support.h"
#include "tests/platform/draw_test_support.h"

namespace {

using graphs_test::CurveGraph;
using Step = ScriptedPointerSource::Step;

constexpr uint64_t kWaitNs = 33333333;  // the pan loop's 2-tick wait
constexpr uint32_t kZoomGrey = 0x003f3f3fu;

class View2DMouseTest : public graphs_test::ScriptedView2DTest {
 protected:
  static ClickFlags Flags(int32_t which) {
    ClickFlags flags{};
    if (which >= 0) flags.byte[which] = 1;
    return flags;
  }
};

TEST_F(View2DMouseTest, ClicksAreDeclinedWhenIgnoredOrOverNothingAndHandledOnAGraph) {
  Place(0, 0, 200, 200);
  const View2DScale before = view->scale;
  EXPECT_EQ(view->Click(MakePoint(150, 40), 0, Flags(kClickIgnore)), ClickResult::Declined);
  EXPECT_EQ(view->Click(MakePoint(150, 40), 0, Flags(-1)), ClickResult::Declined);
  EXPECT_TRUE(document.log.empty() && view->scale.scaleX == before.scaleX);
  AddCurve();
  EXPECT_EQ(view->Click(MakePoint(150, 40), 0, Flags(-1)), ClickResult::Declined);  // y = x is elsewhere
  EXPECT_EQ(view->Click(MakePoint(132, 67), 0, Flags(-1)), ClickResult::Handled);   // on it: probed
  EXPECT_EQ(view->probeReadout.mode, 1u);
  EXPECT_EQ(view->Click(MakePoint(132, 67), 0, Flags(kClickZoom)), ClickResult::Handled);
  EXPECT_EQ(view->scale.scaleX, 0.1);  // a zoom click zooms in
}

TEST_F(View2DMouseTest, PanAcceleratesByAQuarterOfTheDistanceBeyondTheEdgeUpToTwenty) {
  Place(0, 0, 200, 200);
  const struct { int32_t h; double pixels; } cases[] = {{-100, 200 + 20 + 5 * 20}, {-8, 108 + 2 + 5 * 2}};
  for (const auto& c : cases) {
    const double corner = view->scale.cornerX;
    document.log.clear();
    Script({{0, PointerEventKind::kMoved, MakePoint(100, 100)},  // held still inside first: no scroll
            {3 * kWaitNs + 1, PointerEventKind::kMoved, MakePoint(100, 100)},
            {0, PointerEventKind::kMoved, MakePoint(c.h, 100)},
            {5 * kWaitNs + 1, PointerEventKind::kReleased, MakePoint(c.h, 100)}});
    EXPECT_EQ(view->Click(MakePoint(100, 100), 0, Flags(kClickPan)), ClickResult::Handled);
    EXPECT_DOUBLE_EQ((view->scale.cornerX - corner) * 64, c.pixels) << c.h;
    EXPECT_EQ(document.Count("redraw"), 1 + 5) << "one scroll for the move, one a wait outside";
  }
}

TEST_F(View2DMouseTest, ZoomBoxDrawsDottedAndSetsTheViewToItsWorldRanges) {
  draw_test::Canvas window(200, 200);
  document.offscreen = window.gw();
  Place(0, 0, 200, 200);
  GraphView2D oracle;  // the same view given the box's ranges directly
  oracle.rect = view->rect;
  oracle.SetViewDefaults();
  oracle.SetViewRange(view->WindowX(50), view->WindowX(90), view->WindowY(40), view->WindowY(70));
  Script({{0, PointerEventKind::kMoved, MakePoint(90, 70)}, {0, PointerEventKind::kReleased, MakePoint(90, 70)}});
  EXPECT_EQ(view->Click(MakePoint(50, 40), 0, Flags(kClickZoomBox)), ClickResult::Handled);
  EXPECT_TRUE(view->scale.scaleX == 0.1 && std::memcmp(&oracle.scale, &view->scale, sizeof oracle.scale) == 0);
  EXPECT_TRUE(window.At(50, 40) == kZoomGrey && window.At(53, 70) == kZoomGrey && window.At(51, 40) != kZoomGrey);
  EXPECT_TRUE(document.Count("copy") == 1 && document.Count("redraw") == 1);
  const View2DScale zoomed = view->scale;
  Script({{0, PointerEventKind::kReleased, MakePoint(50, 40)}});  // no width: no change
  view->Click(MakePoint(50, 40), 0, Flags(kClickZoomBox));
  EXPECT_EQ(std::memcmp(&zoomed, &view->scale, sizeof zoomed), 0);
}

TEST_F(View2DMouseTest, PicturesDropCentredAndDraggedOutAreDeletedAndDraggedBackAreKept) {
  Place(0, 0, 200, 200);
  std::vector<uint32_t> pixels(20 * 10, 0x000000FFu);
  PicHandle picture = NewPicture(pixels.data(), 20, 10);
  const QDPoint elsewhere = MakePoint(40, 170);
  ASSERT_TRUE(view->DropPicture(picture, nullptr) && view->DropPicture(picture, &elsewhere));
  {
    draw_test::Refusal refusal(1);  // no copy: refused, nothing stored
    EXPECT_FALSE(view->DropPicture(picture, nullptr));
  }
  InitGraphicsLayer();  // the counted allocator back
  KillPicture(picture);
  const double cornerX = view->scale.cornerX, cornerY = view->scale.cornerY;
  const PlacedPicture first = view->pictures.data[0], second = view->pictures.data[1];
  EXPECT_TRUE(first.x == cornerX + (100 - 10) / 64.0 && first.y == cornerY + (100 - 5) / 64.0);
  EXPECT_TRUE(second.x == cornerX + (40 - 10) / 64.0 && second.y == cornerY + (30 - 5) / 64.0);
  Script({{0, PointerEventKind::kMoved, MakePoint(500, 500)}, {0, PointerEventKind::kReleased, MakePoint(500, 500)}});
  EXPECT_EQ(view->Click(MakePoint(100, 98), 0, Flags(-1)), ClickResult::Handled);  // in the first
  ASSERT_EQ(view->pictures.count, 1);
  EXPECT_TRUE(view->pictures.data[0].picture == second.picture && view->pictures.data[0].x == second.x);
  Script({{0, PointerEventKind::kMoved, MakePoint(-300, 170)}, {0, PointerEventKind::kMoved, MakePoint(45, 165)},
          {0, PointerEventKind::kReleased, MakePoint(45, 165)}});
  EXPECT_EQ(view->Click(elsewhere, 0, Flags(-1)), ClickResult::Handled);
  ASSERT_EQ(view->pictures.count, 1);
  EXPECT_DOUBLE_EQ(view->pictures.data[0].x, second.x + 5.0 / 64);
  EXPECT_EQ(document.Count("modified"), 2 + 2);  // two drops, two drags
}

TEST_F(View2DMouseTest, AnUnchangedProbePixelIsNotRedrawnUnlessADraggedPointStillComputes) {
  Place(0, 0, 200, 200);
  CurveGraph* graph = AddCurve();
  const QDPoint p = MakePoint(120, 70);
  const struct { uint32_t mode; bool complete, fresh; int redraws, options; } steps[] = {
      {1, true, true, 1, 0}, {1, true, false, 0, 0},     // same pixel: not redrawn
      {11, false, true, 1, 2}, {11, false, false, 1, 0},  // a dragged point while computing: redrawn
      {11, true, false, 0, 0}};
  for (const auto& s : steps) {
    graph->probeMode = s.mode, graph->complete = s.complete;
    if (s.fresh) view->lastProbeH = view->lastProbeV = -32768;
    document.log.clear();
    graph->options.clear();
    view->ProbeAt(p);
    EXPECT_EQ(document.Count("redraw"), s.redraws) << s.mode;
    EXPECT_EQ(int(graph->options.size()), s.options) << s.mode;
  }
}

// Each probe step redraws the overlay: over the saved background it is copied to the window and
// the pane is redrawn when the second 2D view maps this one; without a window buffer the pane is
// paced at the tick rate and redrawn whole.
TEST_F(View2DMouseTest, ProbeOverlayRedrawsTheMappedViewOrPacesTheWholePane) {
  draw_test::Canvas window(200, 200);
  Place(0, 0, 200, 200);
  AddCurve();
  for (bool buffer : {true, false}) {
    document.offscreen = buffer ? window.gw() : nullptr;
    document.log.clear();
    Script({{0, PointerEventKind::kMoved, MakePoint(140, 59)}, {0, PointerEventKind::kReleased, MakePoint(140, 59)}});
    EXPECT_EQ(view->Click(MakePoint(132, 67), 0, Flags(-1)), ClickResult::Handled);
    const graphs_test::Log step = buffer ? graphs_test::Log{"copy", "both 2D"} : graphs_test::Log{"tick rate", "redraw"};
    graphs_test::Log expected = step;
    expected.insert(expected.end(), step.begin(), step.end());  // the click's point, then the move
    expected.push_back("cursor");
    EXPECT_EQ(document.log, expected) << buffer;
  }
}

TEST_F(View2DMouseTest, ProbeSnapsToExactIntersections) {
  Place(0, 0, 200, 200);
  using graphs_test::Curve;
  const Curve oneMinus{[](double x) { return 1 - x; }, [](double) { return -1.0; }, [](double) { return 0.0; }};
  const Curve minus{[](double x) { return -x; }, [](double) { return -1.0; }, [](double) { return 0.0; }};
  const Curve square{[](double x) { return x * x; }, [](double x) { return 2 * x; }, [](double) { return 2.0; }};
  const Curve twoMinusSquare{[](double x) { return 2 - x * x; }, [](double x) { return -2 * x; },
                             [](double) { return -2.0; }};
  const Curve parallel{[](double x) { return x + 1; }, [](double) { return 1.0; }, [](double) { return 0.0; }};
  const struct { Curve a, b; int32_t h; bool snapped; double at; } cases[] = {
      {graphs_test::kLineYX, oneMinus, 131, true, 0.5}, {graphs_test::kLineYX, minus, 101, true, 0.0},
      {square, twoMinusSquare, 165, true, 1.0}, {graphs_test::kLineYX, parallel, 131, false, 0}};
  for (const auto& c : cases) {
    DeleteGraphList(view->graphs);
    AddCurve(c.a);
    AddCurve(c.b);
    view->probeGraph = 0;
    view->ProbeAt(MakePoint(c.h, 99 - (c.h - 100)));
    const ProbeRecord& r = view->probeReadout;
    EXPECT_EQ(r.snapped, c.snapped ? 1 : 0) << c.h;
    EXPECT_TRUE(!c.snapped || (r.x == c.at && r.y == c.at && r.value == c.at)) << r.x << " " << r.y << " " << r.value;
  }
}

TEST_F(View2DMouseTest, AnExtentProbeStaysWhileItsXExtentShows) {
  Place(0, 0, 200, 200);
  const struct { double lo, hi; uint32_t mode; } cases[] = {{-10, -9, 0}, {-10, 0.1, 2}, {1.55, 9, 2}, {1.6, 9, 0}};
  for (const auto& c : cases) {
    view->probeReadout = ProbeRecord{};
    view->probeReadout.mode = 2, view->probeReadout.aux[2] = c.lo, view->probeReadout.aux[3] = c.hi;
    view->probeReadout.y = 50;  // far above: only the x extent decides
    view->ProbeStillVisible();
    EXPECT_EQ(view->probeReadout.mode, c.mode) << c.lo << " " << c.hi;
  }
}

}  // namespace
