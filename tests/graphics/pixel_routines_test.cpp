// Pixel routines: luminance shading, the ring marker, spans, clipped lines, triangles,
// anti-aliased lines, graph paper and halving, with hand-computed words and end points as far
// as the int32 range goes.
#include <gtest/gtest.h>

#include <climits>
#include <utility>

#include "graphics/pixel_routines.h"
#include "tests/graphics/graphics_test_support.h"

using draw_test::Canvas;
using draw_test::kWhitePixel;
using draw_test::Points;

// L of 0x808080 = 256 * 128 / 255 = 128; 255 * 128 >> 8 = 127. L of 0x0000FF = 29; 128 * 29 >> 8 = 14.
TEST(PixelRoutines, ShadeByLuminanceOfTheBackground) {
  const struct { uint32_t color, background, want; } cases[] = {
      {0xFF0000, 0x808080, 0x7F0000}, {0x123456, 0xFFFFFF, 0x123456},   {0x123456, 0x000000, 0x000000},
      {0xFFFFFF, 0xCCFFFF, 0xFFFFFF}, {0xFF123456, 0x00CCFFFF, 0x123456}, {0x808080, 0x0000FF, 0x0E0E0E}};
  for (auto c : cases) EXPECT_EQ(ShadePixelByLuminance(c.color, c.background), c.want) << std::hex << c.color;
}

// The ring's pixels inside the rectangle only; spans visit every step-th point from the smaller
// end, one point whatever the step, nothing for a row or column outside.
TEST(PixelRoutines, SmallDotRingAndSpansStayInTheirRectangle) {
  Canvas edge(20, 20);
  PlotSmallDot(MakeRect(0, 0, 12, 11), MakePoint(10, 10), 0);
  EXPECT_EQ(edge.Where(0), (Points{{8, 9}, {9, 9}, {11, 9}, {7, 10}, {10, 10}}));
  PlotSmallDot(MakeRect(-100, -100, 100, 100), MakePoint(0, 0), 0);  // past the buffer's corner
  Canvas spans(12, 12);
  QDRect all = MakeRect(0, 0, 12, 12);
  ShadeHorizontalSpan(all, MakePoint(10, 1), MakePoint(2, 1), 0, 3);
  ShadeVerticalSpan(all, MakePoint(1, 2), MakePoint(1, 40), 0, 5);
  ShadeHorizontalSpan(all, MakePoint(6, 6), MakePoint(6, 6), 0, 0);
  ShadeHorizontalSpan(all, MakePoint(0, 19), MakePoint(3, 19), 0, 1);
  ShadeVerticalSpan(all, MakePoint(19, 0), MakePoint(19, 3), 0, 1);
  EXPECT_EQ(spans.Where(0), (Points{{2, 1}, {5, 1}, {8, 1}, {1, 2}, {1, 7}, {6, 6}}));
}

TEST(PixelRoutines, LineSegmentsClipToTheRectangle) {
  QDRect r = MakeRect(0, 0, 10, 10);
  // Crossing edges: v = 0 reached at h = 2 + 0.5 -> 2 (truncated); the far end stops on the last
  // row or column inside; a segment missing the rectangle gives (-1, -1), as does a parallel one.
  const struct { int h0, v0, h1, v1, h, v; } ends[] = {
      {5, 5, -1, -5, 2, 0}, {5, 5, 5, 30, 5, 9}, {5, 5, 30, 5, 9, 5}, {20, -5, 30, -10, -1, -1}};
  for (auto e : ends) {
    QDPoint end = ClipSegmentEnd(r, MakePoint(e.h0, e.v0), MakePoint(e.h1, e.v1));
    EXPECT_EQ(std::make_pair(int(end.h), int(end.v)), std::make_pair(e.h, e.v)) << e.h1 << "," << e.v1;
  }
  EXPECT_EQ(IntersectSegmentWithEdge(MakePoint(0, 3), MakePoint(9, 3), true, 0, 0, 9).h, -1);
  Canvas missed(12, 12);
  ShadeLineSegment(r, MakePoint(20, -5), MakePoint(30, -10), 0);
  ShadeLineSegment(MakeRect(-50, -50, 50, 50), MakePoint(-40, -30), MakePoint(40, 45), 0);  // beyond the buffer
  // v = trunc(-30 + 0.9375 (h + 40) + 0.5) gives rows 8, 8, 9, 10, 11 for columns 0-4 of the buffer.
  EXPECT_EQ(missed.Where(0), (Points{{0, 8}, {1, 8}, {2, 9}, {3, 10}, {4, 11}}));
}

// A row covers floor(x_left) up to, not including, floor(x_right), the edges' x taken exactly at
// the row from the vertices. Long edge (2,0)-(4,4) on the right: x = 2, 2.5, 3, 3.5; short edges
// x = 2, 1, then 0, 2. Far away, (0, -2e8), (8, 8), (4, 2e8) has its long edge at x = 2 + y / 1e8
// and its short edges at 8 (2e8 + y) / (2e8 + 8) above row 8 and 8 - 4 (y - 8) / (2e8 - 8) below:
// columns 2-6 on every row, 2-7 on row 8. With vertices at +-2e9 the long edge runs from x = -2e9
// on row 0 to 0 on row 6, the short edges reach 2e9 on row 3: rows 2-5 cover the whole buffer.
TEST(PixelRoutines, TrianglesGiveExactSpansOnTheVisibleRowsOnly) {
  Canvas canvas(8, 5), right(5, 5), far(16, 16), farther(8, 8);
  SetGWorld(canvas.gw(), nullptr);
  FillFlatTriangle(0, 0, 4, 0, 0, 4, 1);  // long edge left, a flat top
  FillFlatTriangle(0, 5, 0, 5, 0, 7, 1);  // three equal x
  FillFlatTriangle(0, 3, 5, 3, 7, 3, 1);  // three equal y
  EXPECT_EQ(canvas.Map(1), "####....\n###.....\n##......\n#.......\n........\n");
  SetGWorld(right.gw(), nullptr);
  FillFlatTriangle(2, 0, 0, 2, 4, 4, 1);
  EXPECT_EQ(right.Map(1), ".....\n.#...\n###..\n..#..\n.....\n");
  SetGWorld(far.gw(), nullptr);
  FillFlatTriangle(0, -200000000, 8, 8, 4, 200000000, 1);
  far.ForEach([&](int h, int v) { ASSERT_EQ(far.At(h, v) == 1, h >= 2 && h < (v == 8 ? 8 : 7)) << h << "," << v; });
  SetGWorld(farther.gw(), nullptr);
  FillFlatTriangle(-2000000000, 0, 2000000000, 3, 0, 6, 3);
  FillFlatTriangle(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN, INT32_MAX, 3);  // row y: columns < y
  EXPECT_EQ(farther.Map(3), "........\n#.......\n########\n########\n########\n########\n######..\n#######.\n");
}

// Coverage 0.5 gives weight 128: (0 * 128 + 255 * 127 + 127) / 255 = 127 per channel. End points
// may lie anywhere in the int32 range: differences in 64 bits, and only the part of the major
// axis inside the buffer walked (a walk to INT32_MAX used to wrap and never end).
TEST(PixelRoutines, AntialiasedLinesSplitCoverageAndDrawTheVisiblePartOfFarLines) {
  Canvas canvas(6, 4), far(8, 6);
  SetGWorld(canvas.gw(), nullptr);
  DrawAntialiasedLine(0, 0, 4, 2, 0x000000);
  EXPECT_EQ(canvas.Map({{0, '#'}, {0x007F7F7Fu, 'o'}, {kWhitePixel, '_'}}), "#o____\n_o#o__\n___o#_\n______\n");
  SetGWorld(far.gw(), nullptr);
  DrawAntialiasedLine(INT32_MIN, 2, INT32_MAX, 2, 0);
  DrawAntialiasedLine(INT32_MIN + 1, INT32_MIN + 1, INT32_MAX, INT32_MAX, 0);  // slope exactly 1
  DrawAntialiasedLine(3, 2000000000, 3, -2000000000, 0);
  DrawAntialiasedLine(0, INT32_MAX, INT32_MAX, 0, 0);  // passes far below and right of the buffer
  EXPECT_EQ(far.Map(), "#..#....\n.#.#....\n########\n...#....\n...##...\n...#.#..\n");
}

// The two routines without a rectangle of their own keep to the port's clip: a view's drawing
// clips the port to the view, and nothing of a line or a triangle may land beside it. Golden maps
// by hand: the unclipped figure cut at the clip's edges (rows 1-3, columns 2-5).
TEST(PixelRoutines, LinesAndTrianglesKeepToThePortsClip) {
  Canvas line(8, 5), triangle(8, 5);
  SetGWorld(line.gw(), nullptr);
  ClipRect(MakeRect(2, 1, 6, 4));
  DrawAntialiasedLine(0, 2, 7, 2, 0);
  DrawAntialiasedLine(3, -100, 3, 100, 0);
  EXPECT_EQ(line.Map(), "........\n...#....\n..####..\n...#....\n........\n");
  SetGWorld(triangle.gw(), nullptr);
  ClipRect(MakeRect(2, 1, 6, 4));
  FillFlatTriangle(-10, -10, 20, -10, -10, 20, 1);
  EXPECT_EQ(triangle.Map(1), "........\n..####..\n..####..\n..####..\n........\n");
  ClipRect(MakeRect(0, 0, 0, 0));  // an empty clip draws nothing
  FillFlatTriangle(-10, -10, 20, -10, -10, 20, 2);
  DrawAntialiasedLine(0, 0, 7, 4, 0x123456);
  EXPECT_EQ(triangle.Map(2), "........\n........\n........\n........\n........\n");
  EXPECT_EQ(triangle.Count(0x123456), 0);
  SetGWorld(nullptr, nullptr);
}

// h = 6, v = 3: columns 6 and 7 counted from the rect's first group (x = 10, 11), rows 3 and 4
// from its top. Groups of four start at the buffer's left, so with bounds from 2, rect.left 3
// is pixel 1 of group 0.
TEST(PixelRoutines, GridFastPhasesAndDirtyRegion) {
  Canvas canvas(40, 6), moved(8, 2, 2, 0);
  SetGWorld(canvas.gw(), nullptr);
  FillGridFast(2 - 6, -3, MakeRect(4, 1, 40, 6));
  canvas.ForEach([&](int h, int v) {
    bool grid = v - 1 == 3 || v - 1 == 4 || (h - 4) % 32 == 6 || (h - 4) % 32 == 7;
    ASSERT_EQ(canvas.At(h, v), h < 4 || v < 1 ? kWhitePixel : grid ? kGridPixel : kPaperPixel) << h << "," << v;
  });
  EXPECT_TRUE(RectWhollyInRgn(MakeRect(4, 1, 40, 6), canvas.gw()->dirty));
  EXPECT_EQ(GetPixelsState(canvas.gw()) & kPixelsLocked, 0);
  FillGridFast(5, -7, MakeRect(-1000, -1000, 1000, 1000));
  EXPECT_EQ(canvas.Count(kWhitePixel), 0);
  SetGWorld(moved.gw(), nullptr);
  FillGridFast(2, 5, MakeRect(3, 0, 10, 2));
  EXPECT_EQ(moved.Map({{kGridPixel, '#'}, {kPaperPixel, '_'}}).substr(0, 9), ".#______\n");
  // Exactly the rectangle, on both sides of groups it cuts: the grid pair 8, 9 (h = 8) straddles
  // rect.right = 9, and the pixels of the first and last groups outside it stay as they were.
  Canvas narrow(16, 2);
  SetGWorld(narrow.gw(), nullptr);
  FillGridFast(2 - 8, 5, MakeRect(3, 0, 9, 2));
  EXPECT_EQ(narrow.Map({{kGridPixel, '#'}, {kPaperPixel, '_'}}), "..._____#.......\n..._____#.......\n");
}

// The whole-row halving agrees with the per-byte definition avg(avg(a, c), avg(b, d)),
// avg(x, y) = (x + y + 1) >> 1, on random pixels, for source and destination rectangles that
// start inside, on, or outside their buffers: blocks are counted from srcRect's top-left (the
// source buffer starts at -3, so srcRect.left 0 reads its fourth column), never from the buffer's.
TEST(PixelRoutines, HalvingMatchesTheDefinitionEverywhere) {
  Canvas source(12, 8, -3, 2);
  GWorldPtr src = source.gw();
  uint32_t seed = 12345;
  source.Fill([&](int, int) { return seed = seed * 1664525u + 1013904223u; });
  auto avg = [](uint32_t x, uint32_t y) { return (x + y + 1) >> 1; };
  for (int sl : {-5, -4, -3, 0}) {
    for (int dl : {-2, 0, 1}) {
      Canvas canvas(5, 4);
      QDRect srcRect = MakeRect(sl, 1, sl + 12, 9), dstRect = MakeRect(dl, 0, dl + 6, 3);  // row 3 stays
      HalveGWorldVector(src, srcRect, dstRect);
      canvas.ForEach([&](int h, int v) {
        int i = v - dstRect.top, j = h - dstRect.left, sx = sl + 2 * j, sy = 1 + 2 * i;
        uint32_t want = kWhitePixel;
        if (i < 3 && j >= 0 && j < 6 && sx >= -3 && sx + 1 < 9 && sy >= 2 && sy + 1 < 10) {
          want = 0;
          for (int shift = 0; shift < 32; shift += 8) {
            auto c = [&](int hh, int vv) { return *PixelAddress(src, hh, vv) >> shift & 0xFF; };
            want |= avg(avg(c(sx, sy), c(sx, sy + 1)), avg(c(sx + 1, sy), c(sx + 1, sy + 1))) << shift;
          }
        }
        ASSERT_EQ(canvas.At(h, v), want) << sl << "," << dl << " at " << h << "," << v;
      });
    }
  }
}
