// The colour plot: golden cells (0.5 gives trunc(127.5) = 127 a byte; the hue 1.125 wraps to 0.125,
// the first sector at 3/4: (255, trunc(191.25), 0), both worked out by hand), ranges sampled once,
// clamping, scrolls and resizes that keep computed cells, frames replayed by parameter value with
// no evaluation, the shading over four backgrounds at cell size 2, a NaN hue, and the read-out.
#include "graphs/kinds2d/color_plot_graph.h"

#include <cmath>
#include <vector>

#include "graphics/pixel_routines.h"
#include "graphs/core/graph_color.h"
#include "kernel/eval/evaluation_seams.h"
#include "platform/handles.h"
#include "tests/graphs/graphs_test_support.h"
#include "tests/platform/draw_test_support.h"

namespace {

using graphs_test::FunctionOf;
using graphs_test::kAll;

class ColorPlotTest : public graphs_test::OneGraphTest<GraphColorPlot2D> {
 protected:
  GraphColorPlot2D* Plot(const char* a, const char* b, const char* c, bool hsv = false, const char* readout = nullptr,
                         bool compute = true) {
    auto* made = new GraphColorPlot2D(FunctionOf(a), FunctionOf(b), FunctionOf(c),
                                      readout != nullptr ? FunctionOf(readout) : nullptr, hsv ? 1 : 0,
                                      new GraphColor(nullptr), &map);
    return compute ? TakeComputed(made) : Take(made);
  }
  std::vector<uint32_t> Cells() const {
    return {graph->Cells(), graph->Cells() + size_t(graph->Columns()) * size_t(graph->Rows())};
  }
  uint32_t Cell(int32_t c, int32_t r) const { return graph->Cells()[size_t(r) * size_t(graph->Columns()) + size_t(c)]; }
};

TEST_F(ColorPlotTest, GoldenCells) {
  Plot("0.5", "0.5", "0.5");
  EXPECT_EQ(Cells(), std::vector<uint32_t>(40000, 0x7F7F7F));
  EXPECT_EQ(std::vector<double>(graph->Ranges(), graph->Ranges() + 6), (std::vector<double>{0, 1, 0, 1, 0, 1}));
  EXPECT_EQ(ColorCellOf(1.125, 1, 1, true), 0xFFBF00u);
  EXPECT_EQ(ColorCellOf(0, 0.5, 1, false), 0x007FFFu);
  EXPECT_EQ(ColorCellOf(NAN, 1, 1, true), 0xFF00FFu);  // the conversion's own guard; the plot passes 0
}

// x over a view from -3 to 5 (161 columns at 20 px a unit) has the range [-3, 5]; scrolled so
// x = 7 shows, red clamps to 255; the hue x over [-2, 2] at x = 2.5 wraps to 0xFFBF00.
TEST_F(ColorPlotTest, RangesAreSampledOnceAndValuesClampedExceptTheHue) {
  SetViewMap(&map, MakeRect(0, 0, 161, 10), 60, 5, 20, -20, 1, 1);
  Plot("x", "0", "0");
  EXPECT_TRUE(graph->Ranges()[0] == -3 && graph->Ranges()[1] == 5);
  EXPECT_EQ(Cell(0, 0), 0x000000u);
  EXPECT_EQ(Cell(160, 0), 0xFF0000u);
  EXPECT_EQ(Cell(80, 0), uint32_t(255 * 0.5) << 16);
  SetViewMap(&map, MakeRect(0, 0, 161, 10), 20, 5, 20, -20, 1, 1);  // 40 px to the left
  graph->Scroll(-40, 0);
  graph->Compute(kAll);
  EXPECT_TRUE(graph->Ranges()[0] == -3 && graph->Ranges()[1] == 5);
  EXPECT_EQ(Cell(160, 0), 0xFF0000u);  // x = 7: clamped
  SetViewMap(&map, MakeRect(0, 0, 81, 10), 40, 5, 20, -20, 1, 1);  // x from -2 to 2
  Plot("x", "1", "1", true);
  SetViewMap(&map, MakeRect(0, 0, 81, 10), 30, 5, 20, -20, 1, 1);
  graph->Scroll(-10, 0);
  graph->Compute(kAll);
  EXPECT_EQ(Cell(80, 0), 0xFFBF00u);  // x = 2.5, hue 1.125
}

// A NaN or infinite hue is taken as 0 (red at full saturation and value), never converted.
TEST_F(ColorPlotTest, UndefinedHueCountsAsZero) {
  Plot("over[1,x]", "1", "1", true);
  EXPECT_EQ(Cell(100, 5), 0xFF0000u);  // x = 0 exactly: 1/0 is infinite
  Plot("sqrt[minus[1]]", "1", "1", true);
  EXPECT_EQ(Cells(), std::vector<uint32_t>(40000, 0xFF0000));
}

TEST_F(ColorPlotTest, AViewWithoutWidthHasNoCells) {
  SetViewMap(&map, MakeRect(0, 0, 0, 200), 0, 99, 64, -64, 1, 1);
  Plot("x", "y", "0");
  EXPECT_TRUE(graph->Cells() == nullptr && graph->Status() == 1 && !graph->RangesKnown());
  draw_test::Canvas canvas(20, 20);
  canvas.Fill([](int32_t, int32_t) { return draw_test::kWhitePixel; });
  graph->Draw();
  EXPECT_EQ(canvas.Count(draw_test::kWhitePixel), 400);
}

// Scrolled by 3 cells the first 3 columns are pending and the rest moved, and only they are
// evaluated; by the whole width, everything. Grown by 5 rows, old row r is row r + 5.
TEST_F(ColorPlotTest, ScrollAndResizeKeepComputedCells) {
  Plot("x", "y", "times[x,y]");
  const std::vector<uint32_t> before = Cells();
  uint64_t evaluations = graph->Evaluations();
  SetViewMap(&map, MakeRect(0, 0, 200, 200), 103, 99, 64, -64, 1, 1);
  graph->Scroll(3, 0);
  int32_t pending = 0, moved = 0;
  for (int32_t r = 0; r < 200; ++r) {
    for (int32_t c = 0; c < 200; ++c) {
      pending += c < 3 && Cell(c, r) == kColorCellPending;
      moved += c >= 3 && Cell(c, r) == before[size_t(r) * 200 + size_t(c - 3)];
    }
  }
  EXPECT_TRUE(pending == 600 && moved == 197 * 200);
  graph->Compute(kAll);
  EXPECT_EQ(graph->Evaluations() - evaluations, 600u);
  SetViewMap(&map, MakeRect(0, 0, 200, 200), 103 + 200, 99, 64, -64, 1, 1);
  graph->Scroll(200, 0);
  EXPECT_EQ(Cells(), std::vector<uint32_t>(40000, kColorCellPending));
  SetViewMap(&map, MakeRect(0, 0, 200, 200), 100, 99, 64, -64, 1, 1);
  Plot("x", "y", "times[x,y]");
  const std::vector<uint32_t> old = Cells();
  evaluations = graph->Evaluations();
  SetViewMap(&map, MakeRect(0, 0, 200, 205), 100, 104, 64, -64, 1, 1);
  graph->GeometryChanged();
  ASSERT_EQ(graph->Rows(), 205);
  int32_t kept = 0;
  for (int32_t r = 0; r < 200; ++r) {
    for (int32_t c = 0; c < 200; ++c) kept += Cell(c, r + 5) == old[size_t(r) * 200 + size_t(c)];
  }
  EXPECT_EQ(kept, 40000);
  graph->Compute(kAll);
  EXPECT_EQ(graph->Evaluations() - evaluations, 5u * 200);
}

// A scroll moves the cells by its own amounts, whatever the maps' origins say: the origin moved by
// 13.000000000000014 (as at deep zoom) on a scroll of 13 computes the 13 columns that came in.
// A move not whole in cells (on the cells of two pixels) or a scale that changed makes all pending.
TEST_F(ColorPlotTest, AScrollMovesTheCellsByItsOwnAmounts) {
  const struct {
    double originH, factor, ppu;
    int32_t dh, pending;
  } cases[] = {
      {113.00000000000001, 1, 64, 13, 13 * 200},    // off a whole pixel by an ulp
      {100.0 - 13, 1, 64, -13, 13 * 200},            // whole: as before
      {100.0, 1, 64, 0, 0},                          // no move
      {2 * 100.0 + 3, 2, 128, 3, 200 * 200},         // half a cell
      {2 * 100.0 + 4, 2, 128, 4, 2 * 200},           // two cells of two pixels
      {100.0 + 13, 1, 65, 13, 200 * 200},            // another scale
  };
  for (const auto& c : cases) {
    const int32_t f = int32_t(c.factor), side = 200 * f;
    SetViewMap(&map, MakeRect(0, 0, side, side), f * 100.0, f * 99.0 + (f - 1), 64 * c.factor, -64 * c.factor, f, f);
    Plot("x", "y", "times[x,y]");
    const uint64_t evaluations = graph->Evaluations();
    SetViewMap(&map, MakeRect(0, 0, side, side), c.originH, f * 99.0 + (f - 1), c.ppu, -c.ppu, f, f);
    graph->Scroll(c.dh, 0);
    graph->Compute(kAll);
    EXPECT_EQ(graph->Evaluations() - evaluations, uint64_t(c.pending)) << c.originH << " " << c.dh;
  }
}

// Antialiasing on and off changes the drawing map's factor, not the points the cells stand for:
// the cells are kept (nothing is evaluated) and are those of a plot made on the new map. The
// components stay inside [0, 1], so the ranges, sampled over each map's own pixels, are [0, 1] on
// both.
TEST_F(ColorPlotTest, AFactorChangeKeepsTheCellsOfTheSamePoints) {
  auto windowMap = [&] { SetViewMap(&map, MakeRect(0, 0, 200, 200), 100.375, 99.25, 64, -64, 1, 1); };
  auto antialiasMap = [&] {
    SetViewMap(&map, MakeRect(0, 0, 400, 400), 2 * 100.375, 2 * 99.25 + 1, 128, -128, 2, 2);
  };
  const char* components[3] = {"over[plus[x,3],8]", "over[plus[y,3],8]", "over[plus[times[x,y],3],8]"};
  antialiasMap();
  Plot(components[0], components[1], components[2]);
  const std::vector<uint32_t> onTheBuffer = Cells();
  windowMap();
  Plot(components[0], components[1], components[2]);
  const std::vector<uint32_t> onTheWindow = Cells();
  EXPECT_EQ(onTheWindow, onTheBuffer);
  const uint64_t evaluations = graph->Evaluations();
  for (int32_t k = 0; k < 2; ++k) {
    k == 0 ? antialiasMap() : windowMap();
    graph->GeometryChanged();
    graph->Compute(kAll);
    EXPECT_EQ(graph->Evaluations(), evaluations) << k;
    EXPECT_EQ(Cells(), onTheWindow) << k;
  }
}

// Parameter values 1, 2, 1: the third replays the first frame with no evaluation; after a purge
// the frame is computed again and caching stops.
TEST_F(ColorPlotTest, CacheReplaysFramesWithoutEvaluating) {
  SetParameterLetter('a');
  SetParameterValue(1);
  Plot("times[a,x]", "y", "0");
  auto set = [&](double a) {
    SetParameterValue(a);
    graph->VariableChanged('a', a);
    graph->Compute(kAll);
    return Cells();
  };
  const std::vector<uint32_t> one = set(1), two = set(2);
  const uint64_t evaluations = graph->Evaluations();
  EXPECT_TRUE(one != two && set(1) == one && graph->Evaluations() == evaluations);
  EXPECT_TRUE(set(2) == two && graph->Evaluations() == evaluations);
  EXPECT_EQ(graph->Cache().count, 2);
  EXPECT_EQ(PurgeHandlesForTest(), 2u);
  EXPECT_TRUE(set(1) == one && graph->CacheOff() && graph->Evaluations() == evaluations + 40000);
  // A symbol none of the components uses changes nothing; another one starts over.
  graph->VariableChanged('q', 3);
  EXPECT_TRUE(graph->IsComplete());
}

// Cell size 2 over stripes of four backgrounds: every pixel is shaded from its own background,
// and over the grid colour 0xCCFFFF (and white) the colour comes out unchanged.
TEST_F(ColorPlotTest, CellsOfTwoPixelsShadeEachPixelFromItsBackground) {
  SetViewMap(&map, MakeRect(0, 0, 40, 40), 20, 19, 64, -64, 2, 2);
  Plot("0.25", "0.5", "1");
  ASSERT_TRUE(graph->Columns() == 20 && graph->Rows() == 20);
  const uint32_t backgrounds[4] = {0xFFFFFF, 0xCCFFFF, 0x808080, 0x203040};
  draw_test::Canvas canvas(40, 40);
  canvas.Fill([&](int32_t h, int32_t v) { return backgrounds[(h + 3 * v) % 4]; });
  graph->Draw();
  int32_t wrong = 0;
  canvas.ForEach([&](int32_t h, int32_t v) {
    wrong += (canvas.At(h, v) & 0xFFFFFF) != ShadePixelByLuminance(0x3F7FFF, backgrounds[(h + 3 * v) % 4]);
  });
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(ShadePixelByLuminance(0x3F7FFF, 0xCCFFFF), 0x3F7FFFu);
}

// With a read-out function the probe is mode 12 with its complex value; without one, mode 1; a
// hit needs the three components defined.
TEST_F(ColorPlotTest, ReadOutAndHit) {
  Plot("x", "y", "0", false, "plus[x,times[i,y]]");
  ProbeRecord p = graph->Probe(0.5, -0.25);
  EXPECT_TRUE(p.mode == 12 && p.aux[0] == 0.5 && p.aux[1] == -0.25 && p.x == 0.5 && p.y == -0.25);
  EXPECT_TRUE(graph->HitTest(0.5, 0.5) && graph->HitClass() == 1);
  Plot("sqrt[x]", "y", "0");
  EXPECT_EQ(graph->Probe(0.5, 0.5).mode, 1u);
  EXPECT_TRUE(graph->HitTest(0.5, 0.5) && !graph->HitTest(-0.5, 0.5));
  SetGraphColorIndex(graph->Color(), 17);
  EXPECT_TRUE(graph->Probe(0.5, 0.5).mode == 0 && !graph->HitTest(0.5, 0.5));
}

// Cells refused: error 7, status 1, complete.
TEST_F(ColorPlotTest, RefusedCellsLeaveItEmptyAndComplete) {
  SetViewMap(&map, MakeRect(-16000, -16000, 16000, 16000), 0, 0, 64, -64, 1, 1);  // past the cap
  Plot("x", "y", "0", false, nullptr, false);
  EXPECT_TRUE(graph->Cells() == nullptr && graph->IsComplete() && graph->Status() == 1);
  EXPECT_EQ(PendingError(), kErrorOutOfMemory);
}

}  // namespace
