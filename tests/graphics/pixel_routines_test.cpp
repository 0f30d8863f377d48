// Pixel routines: luminance shading, the ring marker, spans, clipped lines, triangles,
// anti-aliased lines, graph paper and halving, with hand-computed words.
#include <gtest/gtest.h>

#include <utility>

#include "graphics/pixel_routines.h"
#include "tests/graphics/graphics_test_support.h"

using draw_test::Canvas;
using draw_test::kWhitePixel;
using draw_test::Points;

namespace {

Points Changed(const Canvas& c) { return c.Where(kWhitePixel, false); }

}  // namespace

// L of 0x808080 = 256 * 128 / 255 = 128; 255 * 128 >> 8 = 127.
TEST(PixelRoutines, ShadeByLuminanceOfTheBackground) {
  struct { uint32_t color, background, want; } cases[] = {
      {0xFF0000, 0x808080, 0x7F0000}, {0x123456, 0xFFFFFF, 0x123456}, {0x123456, 0x000000, 0x000000},
      {0xFFFFFF, 0xCCFFFF, 0xFFFFFF}, {0xFF123456, 0x00CCFFFF, 0x123456}, {0x123456, 0xFFFFFFFF, 0x123456},
      {0x808080, 0x0000FF, 0x0E0E0E}};  // L = 29 * 255 / 255 = 29; 128 * 29 >> 8 = 14
  for (auto c : cases) EXPECT_EQ(ShadePixelByLuminance(c.color, c.background), c.want) << std::hex << c.color;
  EXPECT_EQ(ShadeLuminance(0xFFFFFF), 256u);
  EXPECT_EQ(ShadeLuminance(0xCCFFFF), 256u);
}

TEST(PixelRoutines, SmallDotIsTheFourteenPixelRing) {
  Canvas canvas(20, 20);
  PlotSmallDot(MakeRect(0, 0, 20, 20), MakePoint(10, 10), 0x000000);
  Points want = {{8, 9},  {9, 9},   {11, 9},  {12, 9},  {7, 10},  {10, 10}, {13, 10},
                                        {7, 11}, {10, 11}, {13, 11}, {8, 12},  {9, 12},  {11, 12}, {12, 12}};
  EXPECT_EQ(Changed(canvas), want);
  Canvas edge(20, 20);
  PlotSmallDot(MakeRect(0, 0, 12, 11), MakePoint(10, 10), 0x000000);
  Points inside = {{8, 9}, {9, 9}, {11, 9}, {7, 10}, {10, 10}};
  EXPECT_EQ(Changed(edge), inside);
  PlotSmallDot(MakeRect(-100, -100, 100, 100), MakePoint(0, 0), 0x000000);  // past the buffer's corner
}

TEST(PixelRoutines, SpansVisitEveryStepFromTheLeftEnd) {
  Canvas canvas(12, 4);
  ShadeHorizontalSpan(MakeRect(0, 0, 12, 4), MakePoint(10, 1), MakePoint(2, 1), 0, 3);
  EXPECT_EQ(Changed(canvas), (Points{{2, 1}, {5, 1}, {8, 1}}));
  Canvas vert(4, 12);
  ShadeVerticalSpan(MakeRect(0, 0, 4, 12), MakePoint(1, 0), MakePoint(1, 40), 0, 5);
  EXPECT_EQ(Changed(vert), (Points{{1, 0}, {1, 5}, {1, 10}}));
  Canvas one(4, 4);
  ShadeHorizontalSpan(MakeRect(0, 0, 4, 4), MakePoint(2, 2), MakePoint(2, 2), 0, 0);
  ShadeHorizontalSpan(MakeRect(0, 0, 4, 4), MakePoint(0, 9), MakePoint(3, 9), 0, 1);  // row outside
  ShadeVerticalSpan(MakeRect(0, 0, 4, 4), MakePoint(9, 0), MakePoint(9, 3), 0, 1);
  EXPECT_EQ(Changed(one), (Points{{2, 2}}));
}

// (v5, h-10) to (v5, h5) in (0, 0, 10, 10): the left end moves to h 0, columns 0-5 of row 5.
TEST(PixelRoutines, LineSegmentsClipToTheRectangle) {
  Canvas canvas(12, 12);
  QDRect r = MakeRect(0, 0, 10, 10);
  ShadeLineSegment(r, MakePoint(-10, 5), MakePoint(5, 5), 0);
  Points row;
  for (int h = 0; h <= 5; ++h) row.insert({h, 5});
  EXPECT_EQ(Changed(canvas), row);
  // Crossing edges: v = 0 reached at h = 2 + 0.5 -> 2 (truncated); the far end stops on the last
  // row or column inside; a segment missing the rectangle gives (-1, -1).
  struct { int h0, v0, h1, v1, h, v; } ends[] = {
      {5, 5, -1, -5, 2, 0}, {5, 5, 5, 30, 5, 9}, {5, 5, 30, 5, 9, 5}, {20, -5, 30, -10, -1, -1}};
  for (auto e : ends) {
    QDPoint end = ClipSegmentEnd(r, MakePoint(e.h0, e.v0), MakePoint(e.h1, e.v1));
    EXPECT_EQ(std::make_pair(int(end.h), int(end.v)), std::make_pair(e.h, e.v)) << e.h1 << "," << e.v1;
  }
  QDPoint none = IntersectSegmentWithEdge(MakePoint(0, 3), MakePoint(9, 3), true, 0, 0, 9);  // parallel
  EXPECT_EQ(none.h, -1);
  Canvas diag(12, 12);
  ShadeLineSegment(r, MakePoint(0, 0), MakePoint(4, 2), 0);  // v = trunc(0.5 h + 0.5)
  EXPECT_EQ(Changed(diag), (Points{{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}}));
  Canvas missed(12, 12);
  ShadeLineSegment(r, MakePoint(20, -5), MakePoint(30, -10), 0);
  ShadeLineSegment(MakeRect(-50, -50, 50, 50), MakePoint(-40, -30), MakePoint(40, 45), 0);  // rect beyond the buffer
  // v = trunc(-30 + 0.9375 (h + 40) + 0.5) gives rows 8, 8, 9, 10, 11 for columns 0-4 of the buffer.
  EXPECT_EQ(Changed(missed), (Points{{0, 8}, {1, 8}, {2, 9}, {3, 10}, {4, 11}}));
}

TEST(PixelRoutines, FlatTrianglesFillRowsUpToTheBottom) {
  Canvas canvas(8, 8);
  FillFlatTriangle(0, 0, 4, 0, 0, 4, 0x00112233u);
  EXPECT_EQ(canvas.Count(0x00112233u), 10);
  EXPECT_EQ(canvas.Map(0x00112233u), "####....\n###.....\n##......\n#.......\n........\n........\n........\n........\n");
  Canvas flat(8, 8);
  FillFlatTriangle(0, 0, 0, 5, 0, 7, 1);  // three equal x
  FillFlatTriangle(0, 3, 5, 3, 7, 3, 1);  // three equal y
  EXPECT_EQ(flat.Count(1), 0);
  // A triangle with its long edge on the right, and one reaching past the buffer.
  Canvas right(8, 8);
  FillFlatTriangle(2, 0, 0, 2, 4, 4, 1);
  // Long edge (2,0)-(4,4) steps 0.5; short edges step -1 then 2 from (0,2): rows [2,2) [1,2.5) [0,3) [2,3.5).
  EXPECT_EQ(right.Map(1), "........\n.#......\n###.....\n..#.....\n........\n........\n........\n........\n");
  FillFlatTriangle(-100, -50, 300, 4, -20, 200, 2);
  EXPECT_GT(right.Count(2), 40);
  // Vertices two billion pixels away: the long edge runs from x = -2e9 on row 0 to 0 on row 6,
  // the short edges reach x = 2e9 on row 3, so rows 2-5 span the whole buffer and rows 0-1 miss it.
  Canvas far(8, 8);
  FillFlatTriangle(-2000000000, 0, 2000000000, 3, 0, 6, 3);
  EXPECT_EQ(far.Map(3), "........\n........\n########\n########\n########\n########\n........\n........\n");
}

// Coverage 0.5 gives weight 128: (0 * 128 + 255 * 127 + 127) / 255 = 127 per channel.
TEST(PixelRoutines, AntialiasedLineSplitsCoverage) {
  Canvas canvas(6, 4);
  DrawAntialiasedLine(0, 0, 4, 2, 0x000000);
  EXPECT_EQ(canvas.Map({{0, '#'}, {0x007F7F7Fu, 'o'}, {kWhitePixel, '_'}}), "#o____\n_o#o__\n___o#_\n______\n");
  Canvas straight(6, 6);
  DrawAntialiasedLine(5, 3, 0, 3, 0xFF0000);
  DrawAntialiasedLine(1, 0, 1, 5, 0x00FF00);
  EXPECT_EQ(straight.Count(0x00FF0000u), 5);
  EXPECT_EQ(straight.Count(0x0000FF00u), 6);
  DrawAntialiasedLine(-16383, -16383, 16383, 16383, 0);
  DrawAntialiasedLine(-16383, 3, 16383, 2, 0);
}

TEST(PixelRoutines, GridFastPhasesAndDirtyRegion) {
  Canvas canvas(40, 6);
  // h = 6, v = 3: columns 6 and 7 counted from the rect's first group (x = 10, 11), rows 3 and 4 from its top.
  FillGridFast(2 - 6, -3, MakeRect(4, 1, 40, 6));
  for (int v = 1; v < 6; ++v)
    for (int h = 4; h < 40; ++h) {
      bool grid = v - 1 == 3 || v - 1 == 4 || (h - 4) % 32 == 6 || (h - 4) % 32 == 7;
      ASSERT_EQ(canvas.At(h, v), grid ? kGridPixel : kPaperPixel) << h << "," << v;
    }
  EXPECT_EQ(canvas.At(0, 0), kWhitePixel);
  EXPECT_EQ(canvas.At(3, 3), kWhitePixel);
  EXPECT_TRUE(RectWhollyInRgn(MakeRect(4, 1, 40, 6), canvas.gw()->dirty));
  EXPECT_FALSE(GWorldPixelsState(canvas.gw()));
  FillGridFast(5, -7, MakeRect(-1000, -1000, 1000, 1000));
  EXPECT_EQ(canvas.Count(kWhitePixel), 0);
}

// avg(x, y) = (x + y + 1) >> 1 twice: channels (0, 0, 0, 1) give 1 and (255, 255, 255, 254) give 255.
TEST(PixelRoutines, HalvingRoundsUpTwice) {
  Canvas source(4, 2), canvas(2, 1);
  GWorldPtr src = source.gw();
  source.Fill([](int h, int) { return h < 2 ? 0u : 0xFFFFFFFFu; });
  source.Set(1, 1, 0x01010101u);
  source.Set(3, 1, 0xFEFEFEFEu);
  HalveGWorldVector(src, MakeRect(0, 0, 4, 2), MakeRect(0, 0, 2, 1));
  EXPECT_EQ(canvas.At(0, 0), 0x01010101u);
  EXPECT_EQ(canvas.At(1, 0), 0xFFFFFFFFu);
  HalveGWorldVector(src, MakeRect(0, 0, 400, 200), MakeRect(-5, -5, 200, 100));  // blocks past the source skipped
}

// A buffer whose bounds start at (10, 20): points are buffer coordinates, so (10, 20) is the
// first pixel in memory for every routine, spans and lines included.
TEST(PixelRoutines, BuffersWithMovedBoundsAreAddressedByTheirCoordinates) {
  Canvas canvas(6, 4, 10, 20);
  QDRect all = MakeRect(0, 0, 100, 100);
  ShadeHorizontalSpan(all, MakePoint(10, 20), MakePoint(15, 20), 0, 1);
  ShadeVerticalSpan(all, MakePoint(10, 21), MakePoint(10, 23), 0, 1);
  ShadeLineSegment(all, MakePoint(12, 22), MakePoint(15, 23), 0);
  FillFlatTriangle(0, 0, 9, 0, 0, 9, 0x00ABCDEFu);  // wholly before the buffer: nothing
  EXPECT_EQ(canvas.Map(), "######\n#.....\n#.##..\n#...##\n");
  Canvas grid(8, 2, 2, 0);  // group 0 starts at the buffer's left (2), so rect.left 3 sits in it
  FillGridFast(2, 5, MakeRect(3, 0, 10, 2));
  EXPECT_EQ(grid.At(3, 0), kGridPixel);   // group 0, pixel 1
  EXPECT_EQ(grid.At(4, 0), kPaperPixel);  // group 0, pixel 2
  EXPECT_EQ(grid.At(2, 0), kWhitePixel);  // left of rect: untouched
}

// The whole-row halving agrees with the per-byte definition on random pixels, for source and
// destination rectangles that start inside, on, or outside their buffers.
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
      for (int v = 0; v < 4; ++v)
        for (int h = 0; h < 5; ++h) {
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
        }
    }
  }
}
