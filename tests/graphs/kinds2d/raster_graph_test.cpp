// The density raster on a 200 x 200 map at 64 px a unit, world (0, 0) at pixel (100, 99): cell
// (c, r) samples x = fma(c, 1/64, -100/64) and y = (99 - r) / 64; the level oracle is the formula
// level = trunc(240 / (max - min) (x - min)) against the measured range, clamped to 0..239.
#include "graphs/kinds2d/raster_graph.h"

#include <vector>

#include "graphs/core/graph_color.h"
#include "kernel/eval/evaluation_seams.h"
#include "tests/graphs/graphs_test_support.h"
#include "tests/platform/draw_test_support.h"

namespace {

using graphs_test::FunctionOf;
using graphs_test::kAll;

class RasterTest : public graphs_test::OneGraphTest<GraphRaster2D> {
 protected:
  GraphRaster2D* Computed(const char* f, double grain = 0.5) {
    auto* colour = new GraphColor(nullptr);
    colour->rgb = 0xff0000;
    return TakeComputed(new GraphRaster2D(FunctionOf(f), grain, colour, &map));
  }
  std::vector<uint8_t> Cells() const { return {graph->Cells(), graph->Cells() + graph->Width() * graph->Height()}; }
};

// Bands 24 / (24 / n), n = trunc(20 q + 4.5) of the clamped grain; every palette's top band is
// the colour itself (4 bands too), and 4 bands of red are 26 %, 50.7 %, 75.3 % and 100 %.
TEST_F(RasterTest, BandsOfTheGrainAndThePalette) {
  const struct {
    double q;
    int32_t bands;
  } cases[] = {{0, 4}, {0.05, 6}, {0.15, 8}, {0.25, 12}, {0.4, 12}, {0.45, 24}, {1, 24}, {1.1, 24}, {-3, 4}, {NAN, 24}};
  for (const auto& c : cases) EXPECT_EQ(RasterBandsOfGrain(c.q), c.bands) << c.q;
  PackedRGB palette[kRasterLevels];
  RasterPalette(0xff0000, 4, palette);
  for (int32_t e = 0; e < kRasterLevels; ++e) EXPECT_EQ(palette[e], PackedRGB(66 + 63 * (e / 60)) << 16) << e;
  for (int32_t bands : {6, 8, 12, 24}) {
    RasterPalette(0x3366ff, bands, palette);
    EXPECT_EQ(palette[kRasterLevels - 1], 0x3366ffu) << bands;
  }
}

// f = x: each cell's level is the oracle's, and drawn over white each pixel is its palette entry.
TEST_F(RasterTest, LevelsOfXAndTheirPixels) {
  Computed("u", 0);
  const double x0 = -100 / 64.0, min = graph->MinValue(), max = graph->MaxValue();
  EXPECT_TRUE(min == x0 && std::fabs(max - 99 / 64.0) < 1e-15);
  draw_test::Canvas canvas(200, 200);
  canvas.Fill([](int32_t, int32_t) { return draw_test::kWhitePixel; });
  graph->Draw();
  PackedRGB palette[kRasterLevels];
  RasterPalette(0xff0000, 4, palette);
  int32_t wrong = 0;
  for (int32_t r = 0; r < 200; ++r) {
    for (int32_t c = 0; c < 200; ++c) {
      const double t = 240 / (max - min) * (std::fma(c, 1 / 64.0, x0) - min);
      const int32_t level = std::min(std::max(int32_t(t), 0), 239);
      wrong += graph->Cells()[r * 200 + c] != level || (canvas.At(c, r) & 0xffffff) != palette[level];
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(graph->Cells()[199], 239);
}

// A constant is all level 239 and its range is measured again at the next reset: a = 0 to 1
// turns a u into x, whose levels then rise left to right.
TEST_F(RasterTest, ConstantAndUndefinedFunctions) {
  Computed("2.5");
  EXPECT_TRUE(!graph->RangeKnown() && Cells() == std::vector<uint8_t>(40000, 239) && graph->Status() == 0);
  SetParameterLetter('a');
  SetParameterValue(0);
  Computed("times[a,u]");
  EXPECT_TRUE(!graph->RangeKnown() && Cells() == std::vector<uint8_t>(40000, 239));
  SetParameterValue(1);
  graph->VariableChanged('a', 1);
  graph->Compute(kAll);
  EXPECT_TRUE(graph->RangeKnown() && graph->Cells()[0] == 0 && graph->Cells()[199] == 239);
  Computed("sqrt[minus[plus[1,power[u,2]]]]");
  EXPECT_TRUE(Cells() == std::vector<uint8_t>(40000, kRasterUndefined) && graph->Status() == 1);
  draw_test::Canvas canvas(200, 200);
  canvas.Fill([](int32_t, int32_t) { return draw_test::kWhitePixel; });
  graph->Draw();
  EXPECT_EQ(canvas.Map(draw_test::kWhitePixel).find('.'), std::string::npos);  // nothing drawn
}

// Scrolled by 3 cells, 3 columns are evaluated; by a whole width, every cell; a taller view keeps
// the bottom-aligned rows; half a pixel keeps nothing. Completed, every cell holds the level (in
// the range kept) of f = x + y at its own sample point, exact at these dyadic points.
TEST_F(RasterTest, ScrollAndGeometryChangeRecomputeOnlyWhatTheyMust) {
  const struct {
    QDRect frame;
    double oh, ov;
    uint64_t evaluations;
  } cases[] = {{MakeRect(0, 0, 200, 200), 103, 99, 3 * 200},
               {MakeRect(0, 0, 200, 200), 300, 99, 200 * 200},
               {MakeRect(0, 0, 200, 260), 100, 159, 60 * 200},
               {MakeRect(0, 0, 200, 200), 100, 99.5, 200 * 200}};
  for (const auto& c : cases) {
    SetViewMap(&map, MakeRect(0, 0, 200, 200), 100, 99, 64, -64, 1, 1);
    Computed("plus[u,v]");
    const uint64_t before = graph->Evaluations();
    SetViewMap(&map, c.frame, c.oh, c.ov, 64, -64, 1, 1);
    if (c.frame.bottom == 200)
      graph->Scroll(int32_t(c.oh) - 100, 0);
    else
      graph->GeometryChanged();
    graph->Compute(kAll);
    EXPECT_EQ(graph->Evaluations() - before, c.evaluations) << c.oh;
    int32_t wrong = 0;
    for (int32_t r = 0; r < graph->Height(); ++r) {
      for (int32_t k = 0; k < 200; ++k) {
        const uint8_t want = graph->LevelOf(PixelToWorldX(&map, k) + PixelToWorldY(&map, r));
        wrong += graph->Cells()[r * 200 + k] != want;
      }
    }
    EXPECT_EQ(wrong, 0) << c.oh;
  }
}

// Parameter values 1, 2, 1: the third costs no evaluation and equals the first map byte for byte;
// after a purge the map is computed again and caching stops.
TEST_F(RasterTest, CacheRoundTripAndEviction) {
  SetParameterLetter('a');
  Computed("times[a,u]");
  auto set = [&](double a) {
    SetParameterValue(a);
    graph->VariableChanged('a', a);
    graph->Compute(kAll);
    return Cells();
  };
  const std::vector<uint8_t> one = set(1), two = set(-1);
  const uint64_t evaluations = graph->Evaluations();
  EXPECT_TRUE(one != two && set(1) == one && graph->Evaluations() == evaluations);
  EXPECT_EQ(PurgeHandlesForTest(), 2u);
  EXPECT_TRUE(set(-1) == two && graph->CacheDisabled() && graph->Evaluations() == evaluations + 40000);
}

// Cells refused by a geometry change: scrolls keep nothing and ask for nothing (no error 7 at each
// step while memory stays short); the next geometry change asks again.
TEST_F(RasterTest, ScrollWithoutCellsAsksForNothing) {
  Computed("plus[u,v]");
  SetViewMap(&map, MakeRect(0, 0, 200, 220), 100, 119, 64, -64, 1, 1);
  FailAllocationAt(1, true);
  graph->GeometryChanged();
  EXPECT_TRUE(graph->Cells() == nullptr && PendingError() == kErrorOutOfMemory);
  ResetErrorRegister();
  for (int32_t step = 1; step <= 3; ++step) {
    SetViewMap(&map, map.frame, 100 + 5 * step, 119, 64, -64, 1, 1);
    graph->Scroll(5, 0);
  }
  EXPECT_TRUE(graph->Cells() == nullptr && PendingError() == 0 && graph->IsComplete());
  FailAllocationAt(0);
  graph->GeometryChanged();
  graph->Compute(kAll);
  EXPECT_TRUE(graph->Cells() != nullptr && graph->IsComplete() && graph->Status() == 0);
}

TEST_F(RasterTest, QueriesOutsideTheMapAnswerNothing) {
  SetViewMap(&map, MakeRect(-16000, -16000, 16000, 16000), 0, 0, 64, -64, 1, 1);  // past the cell cap
  EXPECT_TRUE(Computed("u")->Cells() == nullptr && PendingError() == kErrorOutOfMemory && graph->Status() == 1);
  SetViewMap(&map, MakeRect(0, 0, 200, 200), 100, 99, 64, -64, 1, 1);
  Computed("sqrt[u]");
  EXPECT_TRUE(graph->HitTest(0.5, 0) && !graph->HitTest(-0.5, 0) && graph->HitClass() == 1);
  const ProbeRecord p = graph->Probe(0.25, 1);
  EXPECT_TRUE(p.mode == 8 && p.value == 0.5);
  for (double x : {-1e6, 1e6, 1e300}) {
    EXPECT_FALSE(graph->HitTest(x, x));
    EXPECT_EQ(graph->Probe(x, -x).mode, 0u);
  }
}

}  // namespace
