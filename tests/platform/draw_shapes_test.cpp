// Lines, rectangles, polygons and pattern fills, checked pixel by pixel against hand-drawn maps,
// far coordinates that must stay inside the buffer, and refused memory at every request.
#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "platform/draw/shapes.h"
#include "tests/platform/draw_test_support.h"

using draw_test::Canvas;
using draw_test::kBlackPixel;
using draw_test::kWhitePixel;
using draw_test::Points;

// Hand-computed: the walk starts at the end with the smaller major coordinate and rounds the
// minor one half up, so both directions give the same pixels.
TEST(DrawLines, KnownLinesInEveryOctantDrawBothEnds) {
  const std::tuple<int, int, int, int, Points> cases[] = {
      {0, 0, 4, 2, {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}}},   {8, 8, 4, 6, {{4, 6}, {5, 7}, {6, 7}, {7, 8}, {8, 8}}},
      {8, 8, 10, 4, {{10, 4}, {9, 5}, {9, 6}, {8, 7}, {8, 8}}}, {2, 2, 2, 5, {{2, 2}, {2, 3}, {2, 4}, {2, 5}}},
      {3, 3, 3, 3, {{3, 3}}},                                    {0, 3, 3, 0, {{0, 3}, {1, 2}, {2, 1}, {3, 0}}}};
  for (const auto& [h0, v0, h1, v1, pixels] : cases) {
    for (bool reversed : {false, true}) {
      Canvas canvas(12, 12);
      MoveTo(reversed ? h1 : h0, reversed ? v1 : v0);
      LineTo(reversed ? h0 : h1, reversed ? v0 : v1);
      EXPECT_EQ(canvas.Where(kBlackPixel), pixels) << h0 << "," << v0 << " -> " << h1 << "," << v1;
    }
  }
}

// A pen-sized line covers the union of the pen rectangles; xor inverts each covered pixel once.
TEST(DrawLines, WidePenXorInvertsEachCoveredPixelOnceAndZeroPenDrawsNothing) {
  const std::tuple<int, int, int, int, int, int, const char*> cases[] = {
      {8, 4, 2, 2, 3, 0, "#####...\n#####...\n........\n........\n"},
      {6, 6, 2, 2, 3, 3, "##....\n###...\n.###..\n..###.\n...##.\n......\n"},
      {4, 2, 0, 3, 3, 1, "....\n....\n"}};
  for (const auto& [w, h, penW, penH, toH, toV, map] : cases) {
    Canvas canvas(w, h);
    PenSize(penW, penH);
    PenMode(kPatXor);
    MoveTo(0, 0);
    LineTo(toH, toV);
    EXPECT_EQ(canvas.Map(), map);
  }
}

// A port that shows part of a line holds the whole line's pixels there: rows off the port are
// skipped and a row's run is searched for, not walked, so nothing may shift. Lines of every
// octant and pen, their ends far outside the part or inside it.
TEST(DrawLines, APartOfALineHasTheWholeLinesPixels) {
  std::mt19937 random(5);
  for (int i = 0; i < 400; ++i) {
    const int h0 = int(random() % 400) - 150, v0 = int(random() % 400) - 150, pen = 1 + int(random() % 3);
    const int h1 = int(random() % 400) - 150, v1 = int(random() % 400) - 150;
    Canvas whole(400, 400, -150, -150);
    PenSize(pen, pen);
    MoveTo(h0, v0);
    LineTo(h1, v1);
    Points inPart;
    for (int v = 35; v < 65; ++v)
      for (int h = 20; h < 60; ++h)
        if (whole.At(h, v) == kBlackPixel) inPart.insert({h, v});
    Canvas part(40, 30, 20, 35);
    PenSize(pen, pen);
    MoveTo(h0, v0);
    LineTo(h1, v1);
    EXPECT_EQ(part.Where(kBlackPixel), inPart) << h0 << "," << v0 << " -> " << h1 << "," << v1 << " pen " << pen;
  }
}

TEST(DrawRects, PaintFrameEraseInvertAndClip) {
  Canvas canvas(7, 6);
  PaintRect(MakeRect(2, 1, 5, 4));
  EXPECT_EQ(canvas.Map(), ".......\n..###..\n..###..\n..###..\n.......\n.......\n");
  EraseRect(MakeRect(0, 0, 7, 6));
  RGBForeColor(RGBColor16{0xFFFF, 0x8080, 0x0000});
  PenSize(2, 1);
  FrameRect(MakeRect(1, 1, 6, 5));
  EXPECT_EQ(canvas.Map(0x00FF8000u), ".......\n.#####.\n.##.##.\n.##.##.\n.#####.\n.......\n");
  canvas.Set(0, 0, 0xFF123456u);  // invert keeps alpha at 0 and twice is the identity on RGB
  InvertRect(MakeRect(0, 0, 1, 1));
  EXPECT_EQ(canvas.At(0, 0), 0x00EDCBA9u);
  InvertRect(MakeRect(0, 0, 1, 1));
  EXPECT_EQ(canvas.At(0, 0), 0x00123456u);
  Canvas clipped(6, 3);
  ClipRect(MakeRect(1, 0, 3, 2));
  PaintRect(MakeRect(0, 0, 6, 3));
  EXPECT_EQ(clipped.Map(), ".##...\n.##...\n......\n");
}

// Whatever the coordinates, every call stays inside the buffer (the sanitizers watch).
TEST(DrawRects, FarShapesStayInBounds) {
  Canvas canvas(8, 8);
  const QDRect rects[] = {MakeRect(-5, -5, 2, 2), MakeRect(6, 6, 30000, 30000), MakeRect(-32768, -32768, 32767, 32767),
                          MakeRect(20, 20, 30, 30), MakeRect(5, 5, 2, 2)};
  for (const QDRect& r : rects) {
    InvertRect(r);
    FrameRect(r);
  }
  MoveTo(-32768, 32767);
  LineTo(32767, -32768);
  const QDPoint far[] = {MakePoint(-30000, -30000), MakePoint(30000, -100), MakePoint(100, 30000)};
  EXPECT_TRUE(PaintPoly(far, 3));
  EXPECT_EQ(canvas.Count(kWhitePixel), 0);  // the polygon covers the whole buffer
}

// Pattern bit (h mod 8, v mod 8) of local coordinates: gray's row 0 is 10101010.
TEST(DrawPatterns, BitPatternsAnchoredToLocalOrigin) {
  Canvas canvas(4, 2);
  FillRect(MakeRect(0, 0, 4, 2), GrayPattern());
  EXPECT_EQ(canvas.Map(), "#.#.\n.#.#\n");
  Canvas moved(4, 2, 3, 5);  // local (3, 5) is the first pixel: row 5 is 01010101, bit for h = 3 set
  FillRect(MakeRect(3, 5, 7, 7), GrayPattern());
  EXPECT_EQ(moved.Map(), "#.#.\n.#.#\n");
  Canvas shifted(4, 1);
  SetOrigin(-1, 0);  // the first pixel is now local -1
  FillRect(MakeRect(-1, 0, 3, 1), GrayPattern());
  EXPECT_EQ(shifted.Map(), ".#.#\n");
  FillRect(MakeRect(-1, 0, 3, 1), BlackPattern());  // the clip stayed at local 0..4
  EXPECT_EQ(shifted.Map(), ".###\n");
}

// Pattern pixel (0, 0) lies at local (0, 0): local h = -2 takes column 1, rows repeat every 2,
// and written pixels carry alpha 0. A polygon covers the pixels whose centres lie inside.
TEST(DrawPatterns, PixelPatternFillsRectAndPolygonFromOrigin) {
  PixPatHandle pat = NewPixPat(3, 2);
  ASSERT_NE(pat, nullptr);
  for (int i = 0; i < 6; ++i) pat->pixels[i] = 0xFF000000u | uint32_t(i + 1);
  const auto legend = {std::pair{1u, 'a'}, {2u, 'b'}, {3u, 'c'}, {4u, 'd'}, {5u, 'e'}, {6u, 'f'}};
  Canvas canvas(5, 3, -2, 0), tri(5, 3);
  SetGWorld(canvas.gw(), nullptr);
  FillCRect(MakeRect(-2, 0, 3, 3), pat);
  EXPECT_EQ(canvas.Map(legend), "bcabc\nefdef\nbcabc\n");
  SetGWorld(tri.gw(), nullptr);
  const QDPoint triangle[] = {MakePoint(0, 0), MakePoint(4, 0), MakePoint(0, 4)};
  EXPECT_TRUE(FillCPoly(triangle, 3, pat));
  EXPECT_EQ(tri.Map(legend), "abc..\nde...\na....\n");
  Canvas quad(7, 6);
  const QDPoint corners[] = {MakePoint(1, 1), MakePoint(5, 1), MakePoint(5, 4), MakePoint(1, 4)};
  EXPECT_TRUE(PaintPoly(corners, 4));
  EXPECT_TRUE(PaintPoly(corners, 2));  // too few points: nothing to draw
  EXPECT_EQ(quad.Map(), ".......\n.####..\n.####..\n.####..\n.......\n.......\n");
  DisposePixPat(pat);
}

// 250: 16x16 with row and column 0 in 0xCCFFFF (251 is checked against the fast grid fill).
TEST(DrawPatterns, ResourcePatternsLoad) {
  PixPatHandle grid = GetPixPat(250);
  ASSERT_TRUE(grid && grid->width == 16 && grid->height == 16);
  for (int k = 0; k < 256; ++k) EXPECT_EQ(grid->pixels[k] & 0xFFFFFFu, k % 16 && k > 15 ? 0xFFFFFFu : 0xCCFFFFu) << k;
  DisposePixPat(grid);
  for (int id : {251, 507, 508, 509, 4242}) {
    PixPatHandle p = GetPixPat(id);
    EXPECT_EQ(p != nullptr, id != 4242) << id;
    DisposePixPat(p);
  }
}

TEST(DrawPorts, RefusedMemoryLeavesNothingBehind) {
  for (int n = 1, made = 0; !made; ++n) {
    ASSERT_LT(n, 10);
    draw_test::Refusal refusal(n);
    GWorldPtr gw = NewGWorld(MakeRect(0, 0, 4, 4));
    PixPatHandle pat = NewPixPat(2, 2);
    made = gw && pat;
    DisposePixPat(pat);
    DisposeGWorld(gw);
    EXPECT_EQ(draw_test::FailingAllocator::live, 0) << "failing request " << n;
  }
  EXPECT_EQ(NewGWorld(MakeRect(0, 0, 0, 4)), nullptr);
  EXPECT_EQ(NewPixPat(0, 3), nullptr);
}
