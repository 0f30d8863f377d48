// The plane vector field on a 400 x 300 map at 64 px a unit with the axes inside (world (0, 0) at
// pixel (130, 170)): samples every Spacing pixels from column 124 and row 170, arrow lengths in
// pixels worked out from the spacing alone.
#include "graphs/graph_color.h"
#include "graphs/vector_field_graph.h"
#include "tests/graphs/graphs_test_support.h"
#include "tests/platform/draw_test_support.h"

namespace {

using graphs_test::FunctionOf;
using graphs_test::kAll;

class VectorFieldTest : public graphs_test::OneGraphTest<GraphVectorField2D> {
 protected:
  void SetUp() override {
    OneGraphTest::SetUp();
    SetViewMap(&map, MakeRect(0, 0, 400, 300), 130, 170, 64, -64, 1, 1);
  }
  GraphVectorField2D* Make(const char* fx, const char* fy, double grain = 0.5, bool equal = false) {
    return TakeComputed(new GraphVectorField2D(FunctionOf(fx), FunctionOf(fy), new GraphColor(nullptr), equal, &map,
                                               grain));
  }
  // The field drawn over white: the non-white pixels as a map.
  std::string Drawn() {
    draw_test::Canvas canvas(400, 300);
    canvas.Fill([](int32_t, int32_t) { return draw_test::kWhitePixel; });
    graph->Draw();
    std::string out;
    canvas.ForEach([&](int32_t h, int32_t v) {
      out += (canvas.At(h, v) & 0xffffff) == 0xffffff ? '.' : '#';
      if (h == 399) out += '\n';
    });
    return out;
  }
};

TEST_F(VectorFieldTest, SpacingOfTheGrainAndFactor) {
  const struct {
    double q;
    int32_t factor, spacing;
  } cases[] = {{0.5, 1, 55}, {0.5, 2, 110}, {0, 1, 100}, {1, 1, 10}, {2, 1, 10}, {-1, 1, 100}, {NAN, 1, 55}};
  SetViewMap(&map, MakeRect(-16000, -16000, 16000, 16000), 0, 0, 64, -64, 1, 1);  // a grid too big: spacing doubled
  GraphVectorField2D big(FunctionOf("x"), FunctionOf("y"), new GraphColor(nullptr), 0, &map, 1);
  EXPECT_TRUE(big.Spacing() == 40 && big.Columns() * big.Rows() <= kMaxFieldSamples);
  for (const auto& c : cases) {
    SetViewMap(&map, MakeRect(0, 0, 400 * c.factor, 300 * c.factor), 130.0 * c.factor, 170.0 * c.factor,
               64.0 * c.factor, -64.0 * c.factor, c.factor, c.factor);
    EXPECT_EQ(Make("1", "0", c.q)->Spacing(), c.spacing) << c.q;
  }
}

// Columns at the y axis' column - 6 + k 55, rows on the x axis' row + k 55, reaching past every
// edge; after a taller frame the grid is laid again on the moved axis row.
TEST_F(VectorFieldTest, GridAnchoredToTheAxesAlsoAfterAGeometryChange) {
  for (double axisRow : {170.0, 230.0}) {
    SetViewMap(&map, MakeRect(0, 0, 400, int32_t(axisRow) + 130), 130, axisRow, 64, -64, 1, 1);
    if (graph != nullptr)
      graph->GeometryChanged(), graph->Compute(kAll);
    else
      Make("x", "y");
    int32_t hMin = 1 << 20, hMax = -hMin, vMin = hMin, vMax = -hMin;
    for (int32_t i = 0; i < graph->Columns() * graph->Rows(); ++i) {
      const FieldSample& s = graph->Samples()[i];
      const int32_t h = WorldToPixelX(&map, s.x), v = WorldToPixelY(&map, s.y);
      EXPECT_TRUE(s.done && (h - 124) % 55 == 0 && (v - int32_t(axisRow)) % 55 == 0) << h << " " << v;
      hMin = std::min(hMin, h), hMax = std::max(hMax, h), vMin = std::min(vMin, v), vMax = std::max(vMax, v);
    }
    EXPECT_TRUE(hMin < 0 && hMax >= 400 && vMin < 0 && vMax >= map.frame.bottom);
  }
}

// F = (1, 0): arrows Spacing long, less L pixel steps for the head with L in world units (less
// than one pixel here, as the arrows have always been drawn); with equal lengths every finite
// non-zero arrow is Spacing - 8 pixels long.
TEST_F(VectorFieldTest, ArrowLengths) {
  const ArrowWorld a = Make("1", "0")->ArrowVector(1, 0);  // shortened by L = 55/64 steps (kept)
  EXPECT_TRUE(a.ay == 0 && std::fabs(a.ax * 64 - (55 - 55 / 64.0)) < 1e-12);
  Make("times[x,y]", "minus[x]", 0.5, true);
  for (double f : {0.1, -3.0, 1e6}) {
    const ArrowWorld b = graph->ArrowVector(f, 2 * f);
    EXPECT_NEAR(std::hypot(b.ax * 64, b.ay * 64), 47, 1e-9);
  }
}

// F = (1/(x + 6/64), 0): the samples on x = -6/64 are dots (the ring of PlotSmallDot, no shaft), the others
// arrows; F = (0, 0): status 0 and nothing drawn. No samples at all: status 0 and error 7.
TEST_F(VectorFieldTest, SingularDotsAZeroFieldAndNoSamples) {
  Make("over[1,plus[x,0.09375]]", "0");
  const std::string drawn = Drawn();
  auto at = [&](int32_t h, int32_t v) { return drawn[size_t(v * 401 + h)]; };
  EXPECT_TRUE(at(124 + 3, 170) == '#' && at(124 + 10, 170) == '.');  // the dot, no shaft
  EXPECT_TRUE(at(179 + 10, 170) == '#');                             // the arrow of the next sample
  EXPECT_EQ(graph->Status(), 0);
  Make("0", "0");
  EXPECT_TRUE(graph->Status() == 0 && Drawn().find('#') == std::string::npos);
  Make("sqrt[minus[1]]", "0");
  EXPECT_EQ(graph->Status(), 1);  // "Undefined in the region shown"
  delete graph;
  CompiledFunction* fx = FunctionOf("x");
  CompiledFunction* fy = FunctionOf("y");
  FailAllocationAt(1, true);
  graph = new GraphVectorField2D(fx, fy, new GraphColor(nullptr), 0, &map, 0.5);
  FailAllocationAt(0);
  EXPECT_TRUE(graph->Samples() == nullptr && graph->IsComplete() && graph->Status() == 0 && !graph->HitTest(0, 0));
  EXPECT_EQ(PendingError(), kErrorOutOfMemory);
}

// Scrolled by exactly one spacing, one new column of samples is computed; a field of constant
// magnitude then draws as a fresh graph on the scrolled map. A fraction of a pixel keeps nothing.
TEST_F(VectorFieldTest, ScrollKeepsSamples) {
  for (double shift : {55.0, -110.0, 0.5}) {
    SetViewMap(&map, MakeRect(0, 0, 400, 300), 130, 170, 64, -64, 1, 1);
    Make("cos[x]", "sin[x]");
    const uint64_t before = graph->Evaluations();
    SetViewMap(&map, map.frame, 130 + shift, 170, 64, -64, 1, 1);
    graph->Scroll(int32_t(shift), 0);
    graph->Compute(kAll);
    const uint64_t want = shift == 0.5 ? uint64_t(graph->Columns() * graph->Rows()) : uint64_t(graph->Rows());
    EXPECT_EQ(graph->Evaluations() - before, want) << shift;
    const std::string scrolled = Drawn();
    EXPECT_EQ((Make("cos[x]", "sin[x]"), Drawn()), scrolled) << shift;
  }
}

// F = (1, 0): within 4 pixels of a shaft is a hit (3 pixels above the middle), 5 pixels is not;
// the probe reads the field and its arrow.
TEST_F(VectorFieldTest, HitTestAndProbe) {
  Make("1", "0");
  const double x = (124 + 27 - 130) / 64.0;
  EXPECT_TRUE(graph->HitTest(x, 3 / 64.0) && !graph->HitTest(x, 5 / 64.0));
  const ProbeRecord p = graph->Probe(0.25, 0.5);
  EXPECT_TRUE(p.mode == 9 && p.aux[6] == 1 && p.aux[7] == 0 && std::fabs(p.aux[8] * 64 - (55 - 55 / 64.0)) < 1e-12);
}

}  // namespace
