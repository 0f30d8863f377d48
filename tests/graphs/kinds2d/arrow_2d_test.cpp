// The plane arrow on a 200 x 200 map at 64 px a unit, world (0, 0) at pixel (100, 99): the arrow
// (0, 0) to (1, 0) runs from pixel 100 to pixel 164 on row 99, and its head (5 drawing pixels for
// an arrow this long) lies in the last 6 pixels before the tip. The pixels are read back from the
// buffer the arrow drew into; a head placed from the tip instead of the tail would land at pixel
// 228, outside the frame.
#include <algorithm>
#include <cmath>

#include "graphs/core/graph_color.h"
#include "graphs/kinds2d/arrow_2d.h"
#include "graphs/view2d/view_map.h"
#include "tests/graphs/graphs_test_support.h"
#include "tests/platform/draw_test_support.h"

namespace {

using graphs_test::FunctionOf;
using graphs_test::kAll;

class Arrow2DTest : public graphs_test::OneGraphTest<GraphArrow2D> {
 protected:
  GraphArrow2D* Make(const char* a, const char* b, const char* c, const char* d) {
    auto* colour = new GraphColor(nullptr);
    SetGraphColorIndex(colour, 1);
    return TakeComputed(new GraphArrow2D(FunctionOf(a), FunctionOf(b), FunctionOf(c), FunctionOf(d), colour, &map));
  }
  // The pixels the arrow draws over white.
  draw_test::Points Drawn() {
    draw_test::Canvas canvas(200, 200);
    canvas.Fill([](int32_t, int32_t) { return draw_test::kWhitePixel; });
    EXPECT_TRUE(graph->Draw());
    draw_test::Points inked;
    canvas.ForEach([&](int32_t h, int32_t v) {
      if ((canvas.At(h, v) & 0xFFFFFF) != 0xFFFFFF) inked.insert({h, v});
    });
    return inked;
  }
};

TEST_F(Arrow2DTest, TheHeadSitsAtTheTipInTheDrawnPixels) {
  struct Case {
    const char *a, *b, *c, *d;
    int tipH, tipV, dirH, dirV;  // the tip pixel and the arrow's direction on the screen
  } cases[] = {
      {"0", "0", "1", "0", 164, 99, 1, 0},
      {"1", "0", "0", "0", 100, 99, -1, 0},
      {"0", "minus[1]", "0", "0.5", 100, 67, 0, -1},
  };
  for (const Case& c : cases) {
    Make(c.a, c.b, c.c, c.d);
    const draw_test::Points inked = Drawn();
    ASSERT_FALSE(inked.empty());
    // Along the arrow the ink ends at the tip pixel.
    int farthest = -100000;
    for (auto [h, v] : inked) farthest = std::max(farthest, h * c.dirH + v * c.dirV);
    EXPECT_EQ(farthest, c.tipH * c.dirH + c.tipV * c.dirV) << c.c;
    // Off the shaft's line: only the head, wholly within 6 pixels behind the tip.
    int head = 0;
    for (auto [h, v] : inked) {
      const int across = c.dirH != 0 ? v - c.tipV : h - c.tipH;
      const int behind = (c.tipH - h) * c.dirH + (c.tipV - v) * c.dirV;
      if (across == 0) continue;
      ++head;
      EXPECT_TRUE(behind >= 0 && behind <= 6 && std::abs(across) <= 3) << h << "," << v << " " << c.c;
    }
    EXPECT_GE(head, 2) << c.c;
  }
}

// Zoomed in, an end far outside the view no longer turns the shaft: every pixel drawn lies on the
// true line (within 1.5 pixels of it) or in the head at the true tip. Clamping each end to 16,383
// pixels axis by axis aimed (0, 0) to (3, 1) at 6,400 pixels a unit 6 rows off at the frame's edge,
// and (0, 0) to (1000, 500) at 64 out through the top instead of the right. Every case's line
// passes through the world origin.
TEST_F(Arrow2DTest, ZoomedInArrowsKeepTheirLineToTheFramesEdge) {
  const struct Case {
    const char *a, *b, *c, *d;
    double x0, y0, x1, y1;  // the same values
    double pixelsPerUnit;
    int32_t leastInk;
  } cases[] = {
      {"0", "0", "3", "1", 0, 0, 3, 1, 6400, 95},
      {"0", "0", "1000", "500", 0, 0, 1000, 500, 64, 95},
      {"minus[1000]", "minus[500]", "0.5", "0.25", -1000, -500, 0.5, 0.25, 64, 120},  // the tail far out
      {"minus[3]", "1", "3", "minus[1]", -3, 1, 3, -1, 6400, 190},  // both ends out: through the view
      // The tip far beyond any pixel.
      {"0.01", "0.005", "power[10,6]", "times[5,power[10,5]]", 0.01, 0.005, 1e6, 5e5, 6400, 40},
  };
  for (const Case& c : cases) {
    SetViewMap(&map, MakeRect(0, 0, 200, 200), 100, 99, c.pixelsPerUnit, -c.pixelsPerUnit, 1, 1);
    Make(c.a, c.b, c.c, c.d);
    // The true line in pixels: every case's passes through the world origin, pixel (100, 99).
    const double h0 = 100, v0 = 99;
    const double dh = 0.5 * c.x1 - 0.5 * c.x0, dv = -(0.5 * c.y1 - 0.5 * c.y0), length = std::hypot(dh, dv);
    const double tipH = 100 + c.x1 * c.pixelsPerUnit, tipV = 99 - c.y1 * c.pixelsPerUnit;
    const draw_test::Points inked = Drawn();
    int32_t off = 0;
    for (auto [h, v] : inked) {
      const double across = std::fabs((h - h0) * dv - (v - v0) * dh) / length;
      const bool head = std::hypot(h - tipH, v - tipV) <= 8;
      off += across > 1.5 && !head;
    }
    EXPECT_EQ(off, 0) << c.c << "," << c.d;
    EXPECT_GE(int32_t(inked.size()), c.leastInk) << c.c << "," << c.d;
  }
}

TEST_F(Arrow2DTest, ArrowsWithoutAValueOrALengthDrawNothing) {
  const char* cases[][4] = {
      {"0", "0", "over[1,0]", "0"},       // infinite tip
      {"minus[over[1,0]]", "0", "1", "1"},  // infinite tail
      {"0", "sqrt[minus[1]]", "1", "0"},    // NaN
      {"0.5", "0.5", "0.5", "0.5"},         // no length
  };
  for (const auto& c : cases) {
    Make(c[0], c[1], c[2], c[3]);
    EXPECT_TRUE(Drawn().empty()) << c[0] << " " << c[1] << " " << c[2] << " " << c[3];
    EXPECT_EQ(graph->Status(), 0);
  }
  Make("0", "0", "1", "1");
  graph->SetOption(6, 17);  // the no-fill colour
  EXPECT_TRUE(Drawn().empty());
}

TEST_F(Arrow2DTest, AnyParameterChangeEvaluatesAgainAndTheArrowIsNeverHit) {
  static double aValue = 1;
  SetDefinedValueLookup([](Complex* out, int32_t) { *out = Complex{aValue, 0}; });
  Make("0", "0", "a", "0");
  EXPECT_EQ(graph->Values()[2], 1);
  aValue = 0.5;
  graph->Compute(kAll);
  EXPECT_EQ(graph->Values()[2], 1);  // computed once until a parameter changes
  graph->VariableChanged('q', 0.5);  // whatever the symbol
  EXPECT_FALSE(graph->IsComplete());
  graph->Compute(0);  // a budget of 0 computes nothing
  EXPECT_FALSE(graph->IsComplete());
  graph->Compute(1);  // any other is enough
  EXPECT_TRUE(graph->IsComplete());
  EXPECT_EQ(graph->Values()[2], 0.5);
  graph->Invalidate();
  graph->GeometryChanged();
  graph->Scroll(3, 4);
  EXPECT_TRUE(graph->IsComplete());
  EXPECT_EQ(graph->HitClass(), 0);
  EXPECT_FALSE(graph->HitTest(0.25, 0));
  EXPECT_EQ(graph->Probe(0.25, 0).mode, 0u);
  EXPECT_FALSE(graph->NearestPoint(0.25, 0, 1, 0, 1).found);
}

}  // namespace
