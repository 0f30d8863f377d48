// The plane vector field on a 400 x 300 map at 64 px a unit with the axes inside (world (0, 0) at
// pixel (130, 170)): samples every Spacing pixels from column 124 and row 170, arrow lengths in
// pixels worked out from the spacing alone.
#include <string>
#include <vector>

#include "graphs/core/graph_color.h"
#include "graphs/kinds2d/vector_field_graph.h"
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
// edge, in a frame at the window's corner and in one that is not; after a taller frame the grid is
// laid again on the moved axis row.
TEST_F(VectorFieldTest, GridAnchoredToTheAxesAlsoAfterAGeometryChange) {
  const struct {
    QDRect frame;
    double axisColumn, axisRow;
    bool geometryChange;
  } cases[] = {{MakeRect(0, 0, 400, 300), 130, 170, false},
               {MakeRect(0, 0, 400, 360), 130, 230, true},
               {MakeRect(37, 11, 437, 311), 167, 181, false}};
  for (const auto& c : cases) {
    SetViewMap(&map, c.frame, c.axisColumn, c.axisRow, 64, -64, 1, 1);
    if (c.geometryChange)
      graph->GeometryChanged(), graph->Compute(kAll);
    else
      Make("x", "y");
    int32_t hMin = 1 << 20, hMax = -hMin, vMin = hMin, vMax = -hMin;
    for (int32_t i = 0; i < graph->Columns(); ++i) {
      for (int32_t j = 0; j < graph->Rows(); ++j) {
        const FieldSample& s = graph->SampleAt(i, j);
        const int32_t h = WorldToPixelX(&map, s.x), v = WorldToPixelY(&map, s.y);
        EXPECT_TRUE(s.done && (h - int32_t(c.axisColumn) + 6) % 55 == 0 && (v - int32_t(c.axisRow)) % 55 == 0)
            << h << " " << v;
        hMin = std::min(hMin, h), hMax = std::max(hMax, h), vMin = std::min(vMin, v), vMax = std::max(vMax, v);
      }
    }
    EXPECT_TRUE(hMin < c.frame.left && hMax >= c.frame.right && vMin < c.frame.top && vMax >= c.frame.bottom);
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
// A field scaled by any finite factor draws the same arrows: its length is taken without squaring
// (1e160 squared overflowed, and every sample was drawn as a singular dot), and each arrow is its
// share of the longest before it is scaled to pixels (Spacing / 1e-310 overflowed, and a subnormal
// field drew nothing while its status said it was shown).
TEST_F(VectorFieldTest, HugeAndTinyFieldsDrawTheArrowsOfTheUnitField) {
  const std::string unit = (Make("y", "minus[x]"), Drawn());
  for (const char* k : {"power[10,160]", "power[10,300]", "over[1,power[10,300]]", "power[10,minus[310]]"}) {
    const std::string fx = std::string("times[") + k + ",y]", fy = std::string("times[") + k + ",minus[x]]";
    Make(fx.c_str(), fy.c_str());
    EXPECT_EQ(Drawn(), unit) << k;
    EXPECT_EQ(graph->Status(), 0) << k;
  }
}

// F = k (1, 1/2) for k from near overflow down to subnormal: the arrow of the field's own value is
// that of F = (1, 1/2), within the relative rounding of a subnormal 1e-320 (about 2^-11), and the
// field is drawn and shown (status 0).
TEST_F(VectorFieldTest, ConstantFieldsOfAnySizeGiveTheUnitArrow) {
  const ArrowWorld unit = Make("1", "0.5")->ArrowVector(1, 0.5);
  const struct {
    const char* k;
    double value;
  } cases[] = {{"power[10,300]", 1e300}, {"power[10,minus[300]]", 1e-300}, {"power[10,minus[310]]", 1e-310},
               {"power[10,minus[320]]", 1e-320}};
  for (const auto& c : cases) {
    Make(c.k, (std::string("times[0.5,") + c.k + "]").c_str());
    const ArrowWorld a = graph->ArrowVector(c.value, 0.5 * c.value);
    EXPECT_NEAR(a.ax, unit.ax, 1e-3 * unit.ax) << c.k;
    EXPECT_NEAR(a.ay, unit.ay, 1e-3 * unit.ay) << c.k;
    EXPECT_EQ(graph->Status(), 0) << c.k;
    EXPECT_NE(Drawn().find('#'), std::string::npos) << c.k;
  }
}

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
  EXPECT_TRUE(graph->Columns() == 0 && graph->Rows() == 0 && graph->IsComplete() && graph->Status() == 0 &&
              !graph->HitTest(0, 0));
  EXPECT_EQ(PendingError(), kErrorOutOfMemory);
}

// The grid is (width - OffsetH) / Spacing + 3 columns by (height - OffsetV) / Spacing + 3 rows:
// offsets 130 mod 55 - 6 = 14 and 130 mod 55 = 20 give 10 x 8 samples, columns at pixels -41 ..
// 454 (x from -171/64 to 324/64), so F = (x, 0) has its largest magnitude 324/64 there, and the
// arrow of F = (1, 0) is 55 * 64/324 pixels before the head room.
TEST_F(VectorFieldTest, GridOfThreeExtraColumnsAndRowsSetsTheScale) {
  Make("x", "0");
  EXPECT_TRUE(graph->OffsetH() == 14 && graph->OffsetV() == 20 && graph->Columns() == 10 && graph->Rows() == 8);
  EXPECT_EQ(graph->MaxMagnitude(), 324 / 64.0);
  const ArrowWorld a = graph->ArrowVector(1, 0);
  const double before = 55 * 64 / 324.0 / 64;  // world length before the head room
  EXPECT_NEAR(a.ax * 64, 55 * 64 / 324.0 - before, 1e-12);
}

// Scrolls that keep samples compute only the new ones (a column a spacing across, a row a spacing
// up or down); half a pixel keeps nothing. Completed, a varying field draws as a fresh graph on the
// scrolled map, pixel for pixel, with the fresh graph's scale: also after scrolling away (the
// largest arrows out of the grid) and back.
TEST_F(VectorFieldTest, ScrollKeepsSamplesAndDrawsAsAFreshGraph) {
  const struct {
    std::vector<std::pair<double, double>> moves;  // origin shifts, one scroll each
    int32_t newColumns, newRows;                   // of samples computed over all of them (-1: all)
  } cases[] = {{{{55, 0}}, 1, 0},   {{{-110, 0}}, 2, 0},           {{{0, 55}}, 0, 1},
               {{{0, -55}}, 0, 1},  {{{-172, 113}, {172, -113}}, -1, -1}, {{{0.5, 0}}, -1, -1}};
  for (const auto& c : cases) {
    SetViewMap(&map, MakeRect(0, 0, 400, 300), 130, 170, 64, -64, 1, 1);
    Make("plus[x,1]", "times[y,y]");
    const uint64_t before = graph->Evaluations();
    for (const auto& [dh, dv] : c.moves) {
      SetViewMap(&map, map.frame, map.originH + dh, map.originV + dv, 64, -64, 1, 1);
      graph->Scroll(int32_t(dh), int32_t(dv));
      graph->Compute(kAll);
    }
    if (c.newColumns >= 0) {
      const auto want = uint64_t(c.newColumns * graph->Rows() + c.newRows * graph->Columns());
      EXPECT_EQ(graph->Evaluations() - before, want) << c.moves[0].first;
    }
    const std::string scrolled = Drawn();
    const double scale = graph->MaxMagnitude();
    GraphVectorField2D* fresh = Make("plus[x,1]", "times[y,y]");
    EXPECT_EQ(Drawn(), scrolled) << c.moves[0].first << " " << c.moves[0].second;
    EXPECT_EQ(fresh->MaxMagnitude(), scale);
  }
}

// On a map whose y axis has ten times the units per pixel of the x axis, F = (1, 1) points at
// 5.7 degrees on the screen: plain and equal-length arrows, and the probe's, keep the field's
// screen direction (fx / ux, fy / uy) after the head room, and equal ones are Spacing - 8 pixels.
TEST_F(VectorFieldTest, ArrowsKeepTheirScreenDirectionOnUnequalScales) {
  SetViewMap(&map, MakeRect(0, 0, 400, 300), 130, 170, 64, -6.4, 1, 1);
  const double ux = 1 / 64.0, uy = 1 / 6.4;
  for (bool equal : {false, true}) {
    Make("1", "1", 0.5, equal);
    const ProbeRecord p = graph->Probe(0.3, -2);
    const double fields[3][2] = {{1, 1}, {p.aux[6], p.aux[7]}, {-3, 0.5}};  // the second the probe's
    for (const auto& f : fields) {
      const ArrowWorld a = &f == &fields[1] ? ArrowWorld{p.aux[8], p.aux[9]} : graph->ArrowVector(f[0], f[1]);
      const double h = a.ax / ux, v = a.ay / uy, fh = f[0] / ux, fv = f[1] / uy;
      EXPECT_NEAR(h * fv - v * fh, 0, 1e-12 * std::hypot(h, v) * std::hypot(fh, fv)) << equal;  // parallel
      EXPECT_GT(h * fh + v * fv, 0) << equal;                                                     // same way
      EXPECT_TRUE(!equal || std::fabs(std::hypot(h, v) - 47) < 1e-9) << std::hypot(h, v);
    }
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
  SetGraphColorIndex(graph->Color(), 17);  // hidden: not hit, still probed
  EXPECT_TRUE(!graph->HitTest(x, 3 / 64.0) && graph->Probe(0.25, 0.5).mode == 9);
}

}  // namespace
