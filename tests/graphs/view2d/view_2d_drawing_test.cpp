// The 2D view's drawing: axes goldens (ticks every grid step x 4 at kind 1, labels skipped
// beside the other axis, worked out by hand from 64 px a unit and 6-pixel label characters),
// the precision guard on an axis, the pinned grey axis, the read-out's geometry and texts, the
// marker rectangle, the three-pass hit order, and drawing through the antialias buffer against an
// independent oracle: paper and a painted rectangle built at double size and halved here.
#include <cmath>
#include <cstring>
#include <vector>

#include "graphs/core/graph_color.h"
#include "graphs/view2d/graph_view_2d.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/text/number_settings.h"
#include "tests/graphs/graphs_test_support.h"
#include "tests/platform/draw_test_support.h"

namespace {

using draw_test::Canvas;
using graphs_test::CurveGraph;
using graphs_test::DrawnLabel;
using graphs_test::DrawnLabels;
using Labels = std::vector<DrawnLabel>;

constexpr uint32_t kBlack = 0x00000000u;

class View2DDrawingTest : public graphs_test::View2DTest {};

// Black columns of one row of the canvas.
std::vector<int32_t> InkColumns(const Canvas& canvas, int32_t row) {
  std::vector<int32_t> columns;
  for (auto [h, v] : canvas.Where(kBlack)) columns.insert(columns.end(), v == row ? 1 : 0, h);
  return columns;
}

// x from -2 to 2 (257 columns), y from -1.5625, grid step 0.25, kind 1.
TEST_F(View2DDrawingTest, AxesTicksAndLabelsWithTheOnesBesideTheOtherAxisSkipped) {
  Canvas canvas(257, 200);
  Place(0, 0, 257, 200);
  view->showGraphPaper = 0;
  view->Draw();
  EXPECT_EQ(InkColumns(canvas, 99 - 3), (std::vector<int32_t>{0, 64, 128, 192, 256}));
  EXPECT_EQ(InkColumns(canvas, 99 + 3), (std::vector<int32_t>{0, 64, 128, 192, 256}));
  EXPECT_EQ(DrawnLabels(), (Labels{{"-2", -6, 112}, {"-1", 58, 112}, {"1", 189, 112}, {"2", 253, 112},
                                   {"-1", 113, 167}, {"1", 119, 39}}));
  EXPECT_FALSE(HasPendingError());
}

// y = 0 above the view: the x axis at top + 6 in grey, the pen black again afterwards, and the y
// label that would sit above the pinned axis (y = -7 at row 1) skipped. Then x from 1e20 at step
// 1: error 11 and no x ticks or labels.
TEST_F(View2DDrawingTest, PinnedAxisIsGreyAndAnAxisBeyondPrecisionHasNoTicks) {
  Canvas canvas(257, 200);
  Place(0, 0, 257, 200);
  view->showGraphPaper = 0;
  view->scale.cornerY = -10.09375;
  view->UpdatePixelScale();
  view->Draw();
  int alternations = 0;
  for (int32_t h = 10; h < 120; ++h) {
    if (h != 63 && h != 64) alternations += (canvas.At(h, 6) == kBlack) != (canvas.At(h + 1, 6) == kBlack);
  }
  EXPECT_EQ(alternations, 110 - 2);  // every neighbour pair away from the tick at 64
  EXPECT_EQ(std::memcmp(&GetPort()->pen.pattern, &BlackPattern(), sizeof(Pattern8)), 0);
  for (const DrawnLabel& label : DrawnLabels()) EXPECT_TRUE(label.v >= 6) << label.text;
  EXPECT_EQ(DrawnLabels().front(), (DrawnLabel{"-2", -6, 6 + 13}));
  EXPECT_FALSE(HasPendingError());
  Place(0, 0, 257, 200);
  view->scale.cornerX = 1e20;
  view->UpdatePixelScale();
  DrawnLabels().clear();
  view->Draw();
  EXPECT_EQ(PendingError(), kErrorFloatingPointLimits);
  for (int32_t row : {96, 102}) {
    for (int32_t h : InkColumns(canvas, row)) EXPECT_EQ(h, 6) << row;  // only the pinned y axis
  }
  for (const DrawnLabel& label : DrawnLabels()) EXPECT_NE(label.v, 112) << label.text;  // no x labels
}

// An axis is grey only while its 0 is out of view: with 0 inside the view but within the clamp
// margin (x = 0 at column 254, y = 0 at row 199; the axes clamp to column 250 and row 185) both are
// drawn solid; one pixel further (column 257, row 200: outside) both are grey.
TEST_F(View2DDrawingTest, AnAxisIsGreyOnlyWhileItsZeroIsOutOfView) {
  const struct { double cornerX, cornerY; bool solid; } cases[] = {{-254.0 / 64, 0.0, true},
                                                                   {-257.0 / 64, 1.0 / 64, false}};
  for (const auto& c : cases) {
    Canvas canvas(257, 200);
    Place(0, 0, 257, 200);
    view->showGraphPaper = 0;
    view->scale.cornerX = c.cornerX, view->scale.cornerY = c.cornerY;
    view->UpdatePixelScale();
    view->Draw();
    ASSERT_TRUE(view->AxisRow() == 185 && view->AxisColumn() == 250);
    int32_t rowInk = 0, columnInk = 0;
    for (int32_t h = 0; h < 257; ++h) rowInk += canvas.At(h, 185) == kBlack;
    for (int32_t v = 0; v < 200; ++v) columnInk += canvas.At(250, v) == kBlack;
    if (c.solid) {
      EXPECT_TRUE(rowInk == 257 && columnInk == 200) << rowInk << " " << columnInk;
    } else {
      EXPECT_TRUE(rowInk < 257 * 6 / 10 && columnInk < 200 * 6 / 10) << rowInk << " " << columnInk;
    }
  }
}

// The probe's point: a dot (the 14-pixel ring around it), or, when both direction vectors have
// finite squared lengths, an antialiased segment along the drawn one. World (0, 0) is pixel
// (100, 99); the drawn vector (0.5, 0.25) ends at (132, 83), so (116, 91) lies exactly on the
// segment and the ring's pixel (103, 99) off it.
TEST_F(View2DDrawingTest, TracePointIsASegmentAlongAFiniteDirectionElseADot) {
  constexpr uint32_t kRed = 0x00FF0000u, kWhitePixel = 0x00FFFFFFu;
  const double kNaN = std::nan("");
  const struct { double field[2], drawn[2]; bool segment; } cases[] = {
      {{1, 0.5}, {0.5, 0.25}, true},   {{1e200, 0}, {0.5, 0.25}, false},  // the field's square overflows
      {{1, 0.5}, {kNaN, 0.25}, false}, {{0, 0}, {0, 0}, false}};          // a cleared record: no direction
  for (const auto& c : cases) {
    Canvas canvas(260, 200);
    Place(0, 0, 200, 200);
    view->probeReadout = ProbeRecord{};
    view->probeReadout.mode = 9, view->probeReadout.rgb = kRed;
    view->probeReadout.aux[6] = c.field[0], view->probeReadout.aux[7] = c.field[1];
    view->probeReadout.aux[8] = c.drawn[0], view->probeReadout.aux[9] = c.drawn[1];
    view->DrawProbeOverlay();
    EXPECT_EQ((canvas.At(116, 91) & 0xFFFFFFu) == kRed, c.segment) << c.field[0] << " " << c.drawn[0];
    EXPECT_EQ((canvas.At(132, 83) & 0xFFFFFFu) == kRed, c.segment) << c.field[0] << " " << c.drawn[0];
    EXPECT_EQ((canvas.At(103, 99) & 0xFFFFFFu) == kWhitePixel, c.segment) << c.field[0] << " " << c.drawn[0];
  }
  // A segment leaving the view ends at its edge: from (1, 0) (pixel 164, 99) by (2, 0).
  Canvas canvas(260, 200);
  Place(0, 0, 200, 200);
  view->probeReadout = ProbeRecord{};
  view->probeReadout.mode = 9, view->probeReadout.rgb = kRed, view->probeReadout.x = 1;
  view->probeReadout.aux[6] = view->probeReadout.aux[8] = 2;
  view->DrawProbeOverlay();
  EXPECT_EQ(canvas.At(199, 99) & 0xFFFFFFu, kRed);
  for (int32_t h = 200; h < 260; ++h) EXPECT_EQ(canvas.At(h, 99) & 0xFFFFFFu, kWhitePixel) << h;
}

TEST_F(View2DDrawingTest, ReadoutLinesByModeAndTheMarkerRectangle) {
  Place(0, 0, 200, 200);
  const int digits = GetDisplayDigits();
  SetDisplayDigits(15);
  const struct { uint32_t mode; double x, y; int32_t lines; const char* extra; } cases[] = {
      {1, 3, 4, 2, "y: 4"}, {6, 3, 4, 5, "theta: 0.9272952180016"}, {4, 3, 4, 4, "r: 5"},
      {5, -1, -1, 4, "theta: 3.926990816987"}, {9, 0, 0, 4, "dy: 0"}, {8, 0, 0, 3, "value: 0"}};
  for (const auto& c : cases) {
    view->probeReadout = ProbeRecord{};
    view->probeReadout.mode = c.mode, view->probeReadout.x = c.x, view->probeReadout.y = c.y;
    std::string lines[5];
    view->ReadoutLines(lines);
    const QDRect box = view->ReadoutRect();
    EXPECT_EQ(view->ReadoutLineCount(), c.lines) << c.mode;
    EXPECT_EQ(lines[c.lines - 1], c.extra) << c.mode;
    EXPECT_TRUE(box.top == 0 && box.left == 0 && box.bottom == 12 * (c.lines - 1) + 14) << c.mode;
  }
  SetDisplayDigits(digits);
  view->probeReadout.mode = 1;
  view->probeReadout.x = 0, view->probeReadout.y = 49.0 / 64;  // pixel (100, 50)
  EXPECT_TRUE(EqualRect(view->TraceMarkerRect(), MakeRect(96, 46, 105, 55)));
  view->probeReadout.x = -98.0 / 64;  // pixel (2, 50): clipped at the left edge
  EXPECT_TRUE(EqualRect(view->TraceMarkerRect(), MakeRect(0, 46, 7, 55)));
}

TEST_F(View2DDrawingTest, HitOrderPrefersClassZeroThenAnyButClassOne) {
  Place(0, 0, 100, 100);
  const struct { std::vector<std::pair<int32_t, bool>> graphs; int32_t found; } cases[] = {
      {{{0, true}, {2, true}}, 0}, {{{2, true}, {1, true}}, 0}, {{{2, true}, {2, true}}, 1},
      {{{2, false}, {1, true}}, 1}, {{{0, false}, {2, false}}, -1}};
  for (const auto& c : cases) {
    DeleteGraphList(view->graphs);
    for (auto [hitClass, hit] : c.graphs) AddCurve(graphs_test::kLineYX, hitClass)->hitTolerance = hit ? 1e9 : -1;
    view->probeGraph = 7;
    EXPECT_EQ(view->FindGraphAt(MakePoint(50, 50)), c.found >= 0);
    EXPECT_EQ(view->probeGraph, c.found >= 0 ? c.found : 7);
  }
}

// The buffer path (document antialiased and in front) against a double-size oracle halved here;
// the direct path (window not in front) against the same oracle at window size. The paper's lines
// are every 16 window pixels from the world origin; the rectangle is painted through the map the
// graph reads.
TEST_F(View2DDrawingTest, AntialiasBufferEqualsDoubleSizeDrawingHalved) {
  const int32_t left = 10, top = 6, w = 64, h = 48;
  const double x0 = -0.3, y0 = -0.2, x1 = 0.45, y1 = 0.35;
  for (int32_t factor : {2, 1}) {
    Canvas canvas(90, 70);
    document.antialiased = true;
    document.active = factor == 2;
    Place(left, top, left + w, top + h);
    view->showAxes = 0;
    CurveGraph* graph = AddCurve();
    graph->map = &view->drawMap;
    graph->paint[0] = x0, graph->paint[1] = y0, graph->paint[2] = x1, graph->paint[3] = y1;
    view->Draw();
    // The oracle: window origin at the centre, vertical origin one row lower at double size.
    const int32_t originH = left + w / 2, originV = top + h - 1 - h / 2, f = factor;
    const double oh = f * (originH - left), ov = f * (originV - top) + f - 1;
    auto pixel = [](double p) { return int32_t(std::floor(0.5 + p)); };
    auto big = [&](int32_t i, int32_t j) -> uint32_t {
      if (i >= pixel(x0 * 64 * f + oh) && i < pixel(x1 * 64 * f + oh) && j >= pixel(-y1 * 64 * f + ov) &&
          j < pixel(-y0 * 64 * f + ov)) {
        return 0xFF0000u;
      }
      return (left + i / f - originH) % 16 == 0 || (top + j / f - originV) % 16 == 0 ? 0xCCFFFFu : 0xFFFFFFu;
    };
    auto average = [](uint32_t a, uint32_t b) {
      uint32_t out = 0;
      for (int k = 0; k < 24; k += 8) out |= ((((a >> k) & 255) + ((b >> k) & 255) + 1) >> 1) << k;
      return out;
    };
    int mismatches = 0, outside = 0;
    canvas.ForEach([&](int32_t ch, int32_t cv) {
      const int32_t i = ch - left, j = cv - top;
      if (!PtInRect(MakePoint(ch, cv), view->rect)) {
        outside += canvas.At(ch, cv) != 0x00FFFFFFu;
      } else {
        const uint32_t want = f == 1 ? big(i, j)
                                     : average(average(big(2 * i, 2 * j), big(2 * i, 2 * j + 1)),
                                               average(big(2 * i + 1, 2 * j), big(2 * i + 1, 2 * j + 1)));
        mismatches += (canvas.At(ch, cv) & 0xFFFFFFu) != want;
      }
    });
    EXPECT_TRUE(mismatches == 0 && outside == 0) << "factor " << f << ": " << mismatches << " " << outside;
    DeleteGraphList(view->graphs);
  }
  Canvas untouched(90, 70);
  Place(left, top, left, top + h);  // no width: nothing drawn
  EXPECT_EQ(view->DrawGraphsInView(nullptr, nullptr), 1);
  EXPECT_EQ(untouched.Count(0x00FFFFFFu), 90 * 70);
}

// A no-fill colour (the second view's masks) leaves the graphs alone on an erased view: no paper,
// no axes; through DrawViewPicture the same pixels come out.
TEST_F(View2DDrawingTest, NoFillColourDrawsTheGraphsAloneAndAViewPictureMatches) {
  Canvas canvas(80, 60), picture(80, 60);
  SetGWorld(canvas.gw(), nullptr);
  Place(0, 0, 80, 60);
  CurveGraph* graph = AddCurve();
  graph->map = &view->drawMap;
  graph->paint[0] = graph->paint[1] = 0, graph->paint[2] = graph->paint[3] = 0.25;  // 16 x 16 pixels
  GraphColor noFill(nullptr);
  noFill.mode = kColorNoFill;
  EXPECT_EQ(view->DrawGraphsInView(nullptr, &noFill), 1);
  EXPECT_TRUE(canvas.Count(0x00FF0000u) == 16 * 16 && canvas.Count(0x00FFFFFFu) == 80 * 60 - 16 * 16);
  SetGWorld(picture.gw(), nullptr);
  view->DrawViewPicture(view->rect, nullptr, &noFill);
  EXPECT_EQ(canvas.Pixels(0xFFFFFFu), picture.Pixels(0xFFFFFFu));
}

}  // namespace
