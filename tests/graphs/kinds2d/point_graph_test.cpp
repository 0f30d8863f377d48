// The plane point: its disc (29 pixels at factor 1, 113 at factor 2: the lattice points of the
// discs of radius 3 and 6, counted by hand), each pixel shaded from its own background; the drag's
// hit radius, probe and options; undefined and far points; and a scripted drag in a 2D view that
// moves the point and writes its coordinates back.
#include "graphs/kinds2d/point_graph.h"

#include <cmath>

#include "graphics/pixel_routines.h"
#include "graphs/core/graph_color.h"
#include "kernel/eval/evaluation_seams.h"
#include "tests/graphs/graphs_test_support.h"
#include "tests/platform/draw_test_support.h"

namespace {

using graphs_test::FunctionOf;
using graphs_test::kAll;

class PointTest : public graphs_test::OneGraphTest<GraphPoint2D> {
 protected:
  GraphPoint2D* Point(const char* x, const char* y, uint8_t draggable = 1) {
    auto* colour = new GraphColor(nullptr);
    colour->rgb = 0x2040ff;
    return TakeComputed(new GraphPoint2D(FunctionOf(x), FunctionOf(y), colour, draggable, &map));
  }
  // The pixels the point changed on a canvas of stripes of four backgrounds.
  static uint32_t Background(int32_t h) {
    static const uint32_t kinds[4] = {0xFFFFFF, 0xCCFFFF, 0x808080, 0x204060};
    return kinds[(h / 2) % 4];
  }
  draw_test::Points Drawn(const draw_test::Canvas& canvas) const {
    draw_test::Points out;
    canvas.ForEach([&](int32_t h, int32_t v) {
      if ((canvas.At(h, v) & 0xFFFFFF) != Background(h)) out.insert({h, v});
    });
    return out;
  }
};

TEST_F(PointTest, DiscOfRadiusThreePixelsTimesTheFactor) {
  for (int32_t f : {1, 2}) {
    SetViewMap(&map, MakeRect(0, 0, 200 * f, 200 * f), 100 * f, 99 * f, 64 * f, -64 * f, f, f);
    Point("0.5", "0.25");
    draw_test::Canvas canvas(200 * f, 200 * f);
    canvas.Fill([](int32_t h, int32_t) { return Background(h); });
    graph->Draw();
    const int32_t h0 = WorldToPixelX(&map, 0.5), v0 = WorldToPixelY(&map, 0.25);
    int32_t count = 0, wrong = 0;
    canvas.ForEach([&](int32_t h, int32_t v) {
      const int32_t dh = h - h0, dv = v - v0;
      const bool in = std::abs(dh) <= 3 * f && std::abs(dv) <= 3 * f && dh * dh + dv * dv <= 9 * f * f;
      const uint32_t want = in ? ShadePixelByLuminance(0x2040ff, Background(h)) : Background(h);
      count += in;
      wrong += (canvas.At(h, v) & 0xFFFFFF) != want;
    });
    EXPECT_EQ(count, f == 1 ? 29 : 113);
    EXPECT_EQ(wrong, 0) << f;
  }
}

// Draggable: hit within 4 pixels (5 is too far), probed as mode 11 with the pointer's point; a
// point not draggable is never hit and probes as mode 0; both are class 0 of the view's search.
TEST_F(PointTest, DragHitsWithinFourPixelsAndProbesThePointer) {
  Point("0", "0");
  const double px = 1.0 / 64;
  EXPECT_TRUE(graph->HitTest(4 * px, 0) && graph->HitTest(0, -4 * px) && !graph->HitTest(5 * px, 0));
  EXPECT_FALSE(graph->HitTest(3 * px, 3 * px));  // 18 > 16
  const ProbeRecord p = graph->Probe(0.3, -0.2);
  EXPECT_TRUE(p.mode == 11 && p.x == 0.3 && p.y == -0.2 && graph->HitClass() == 0);
  Point("0", "0", 0);
  EXPECT_TRUE(!graph->HitTest(0, 0) && graph->Probe(0, 0).mode == 0);
}

// Undefined coordinates draw nothing and report 0; a point at 1e9 lands at pixel 16383 and draws
// nothing; options 9 and 10 move the drawn disc.
TEST_F(PointTest, UndefinedFarAndMovedPoints) {
  draw_test::Canvas canvas(200, 200);
  const struct {
    const char *x, *y;
  } hidden[] = {{"sqrt[minus[1]]", "0"}, {"0", "over[1,0]"}, {"1000000000", "0"}};
  for (const auto& c : hidden) {
    canvas.Fill([](int32_t h, int32_t) { return Background(h); });
    Point(c.x, c.y)->Draw();
    EXPECT_TRUE(Drawn(canvas).empty() && graph->Status() == 0) << c.x;
  }
  EXPECT_EQ(WorldToPixelX(&map, graph->X()), kPixelLimit);
  Point("0", "0");
  graph->SetOption(9, 0.5);
  graph->SetOption(10, -0.5);
  canvas.Fill([](int32_t h, int32_t) { return Background(h); });
  graph->Draw();
  const draw_test::Points drawn = Drawn(canvas);
  EXPECT_TRUE(drawn.count({WorldToPixelX(&map, 0.5), WorldToPixelY(&map, -0.5)}) == 1 && drawn.size() >= 20);
}

// Any parameter change evaluates the point again, used or not.
TEST_F(PointTest, EveryParameterChangeEvaluatesAgain) {
  SetParameterLetter('a');
  SetParameterValue(2);
  Point("a", "1");
  EXPECT_TRUE(graph->X() == 2 && graph->Evaluations() == 1);
  graph->VariableChanged('q', 0);
  EXPECT_FALSE(graph->IsComplete());
  SetParameterValue(3);
  graph->Compute(kAll);
  EXPECT_TRUE(graph->X() == 3 && graph->Evaluations() == 2);
}

// A Compute abandoned at any of its turns (as the compute worker abandons it) leaves the dragged
// point whole, never x moved and y not; the next one moves both.
TEST_F(PointTest, AnAbandonedComputeLeavesThePointWhole) {
  SetParameterLetter('a');
  SetParameterValue(2);
  Point("plus[a,1]", "times[a,3]");
  struct Abandoned {};
  static int turns, throwAt;
  struct Hook {
    Hook() {
      SetTurnAtEveryStart(true);
      SetEvaluationTurnHook([] {
        if (++turns == throwAt) throw Abandoned{};
      });
    }
    ~Hook() {
      SetEvaluationTurnHook(nullptr);
      SetTurnAtEveryStart(false);
    }
  } hook;
  SetParameterValue(5);
  turns = 0, throwAt = 0;
  graph->VariableChanged('a', 5);
  graph->Compute(kAll);
  const int all = turns;
  EXPECT_GE(all, 2) << "a turn at each coordinate's run";
  for (int at = 1; at <= all; ++at) {
    graph->SetOption(9, 0.5), graph->SetOption(10, -0.5);  // dragged there
    graph->VariableChanged('a', 5);
    turns = 0, throwAt = at;
    EXPECT_THROW(graph->Compute(kAll), Abandoned);
    EXPECT_TRUE(graph->X() == 0.5 && graph->Y() == -0.5 && !graph->IsComplete()) << "abandoned at " << at;
    throwAt = 0;
    graph->Compute(kAll);
    EXPECT_TRUE(graph->X() == 6 && graph->Y() == 15 && graph->IsComplete());
  }
}

// A scripted drag in a 2D view: the point follows the pointer through options 9 and 10, and the
// document is asked to rewrite the point's definition with the new coordinates.
using PointDragTest = graphs_test::ScriptedView2DTest;

TEST_F(PointDragTest, AScriptedDragMovesThePointAndWritesItBack) {
  Place(0, 0, 200, 200);
  auto* point = new GraphPoint2D(FunctionOf("0"), FunctionOf("0"), new GraphColor(nullptr), 1, &view->drawMap);
  point->Compute(kAll);
  ASSERT_TRUE(PtrArrayAppend(view->graphs, static_cast<GraphKind*>(point)));
  const QDPoint start = MakePoint(WorldToPixelX(&view->windowMap, 0), WorldToPixelY(&view->windowMap, 0));
  const QDPoint end = MakePoint(start.h + 32, start.v - 16);
  Script({{0, PointerEventKind::kMoved, MakePoint(start.h + 16, start.v - 8)},
          {0, PointerEventKind::kMoved, end},
          {0, PointerEventKind::kReleased, end}});
  EXPECT_EQ(view->Click(start, 0, ClickFlags{}), ClickResult::Handled);
  EXPECT_EQ(point->X(), view->WindowX(end.h));
  EXPECT_EQ(point->Y(), view->WindowY(end.v));
  const std::string last = "point 0 " + std::to_string(view->WindowX(end.h)) + " " + std::to_string(view->WindowY(end.v));
  EXPECT_EQ(document.Count(last), 1);
  EXPECT_EQ(document.Count("point 0 " + std::to_string(view->WindowX(start.h + 16)) + " " +
                           std::to_string(view->WindowY(start.v - 8))),
            1);
  EXPECT_EQ(view->probeReadout.mode, 0u);  // the drag's read-out ends with it
}

}  // namespace
