// Lines, rectangles, polygons and pattern fills, checked pixel by pixel against hand-drawn maps.
#include <gtest/gtest.h>

#include <map>
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
  struct Case {
    int h0, v0, h1, v1;
    Points pixels;
  };
  const Case cases[] = {
      {0, 0, 4, 2, {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}}},
      {8, 8, 4, 6, {{4, 6}, {5, 7}, {6, 7}, {7, 8}, {8, 8}}},
      {8, 8, 10, 4, {{10, 4}, {9, 5}, {9, 6}, {8, 7}, {8, 8}}},
      {2, 2, 2, 5, {{2, 2}, {2, 3}, {2, 4}, {2, 5}}},
      {5, 1, 1, 1, {{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}}},
      {3, 3, 3, 3, {{3, 3}}},
      {0, 3, 3, 0, {{0, 3}, {1, 2}, {2, 1}, {3, 0}}},
  };
  for (const Case& c : cases) {
    for (int reversed = 0; reversed < 2; ++reversed) {
      Canvas canvas(12, 12);
      MoveTo(reversed ? c.h1 : c.h0, reversed ? c.v1 : c.v0);
      LineTo(reversed ? c.h0 : c.h1, reversed ? c.v0 : c.v1);
      EXPECT_EQ(canvas.Where(kBlackPixel), c.pixels) << c.h0 << "," << c.v0 << " -> " << c.h1 << "," << c.v1;
      QDPoint pen;
      GetPen(&pen);
      EXPECT_EQ(pen.h, reversed ? c.h0 : c.h1);
    }
  }
}

// Property over all 8 octants from a centre: both ends, and exactly one pixel per step of the
// major axis, each a king's move from the one before (so the line is 8-connected).
TEST(DrawLines, OctantLinesAreConnectedWithOnePixelPerMajorStep) {
  const int ends[][2] = {{20, 13}, {13, 20}, {4, 20}, {0, 13}, {0, 6}, {6, 0}, {13, 0}, {20, 6}, {20, 20}, {0, 0}};
  for (const auto& e : ends) {
    Canvas canvas(21, 21);
    MoveTo(10, 10);
    LineTo(e[0], e[1]);
    Points px = canvas.Where(kBlackPixel);
    bool steep = std::abs(e[1] - 10) > std::abs(e[0] - 10);
    EXPECT_EQ(int(px.size()), std::max(std::abs(e[0] - 10), std::abs(e[1] - 10)) + 1);
    EXPECT_TRUE(px.count({10, 10}) && px.count({e[0], e[1]}));
    std::map<int, int> minorAt;  // major coordinate -> minor coordinate
    for (auto [h, v] : px) EXPECT_TRUE(minorAt.emplace(steep ? v : h, steep ? h : v).second);
    for (auto it = minorAt.begin(); std::next(it) != minorAt.end(); ++it) {
      EXPECT_EQ(std::next(it)->first, it->first + 1);
      EXPECT_LE(std::abs(std::next(it)->second - it->second), 1);
    }
  }
}

TEST(DrawLines, WidePenXorInvertsEachCoveredPixelOnceAndZeroPenDrawsNothing) {
  const auto xorLineFromOrigin = [](int32_t penWidth, int32_t penHeight, int32_t h, int32_t v) {
    PenSize(penWidth, penHeight);
    PenMode(kPatXor);
    MoveTo(0, 0);
    LineTo(h, v);
  };
  Canvas canvas(8, 4);
  xorLineFromOrigin(2, 2, 3, 0);
  EXPECT_EQ(canvas.Map(), "#####...\n#####...\n........\n........\n");
  // A diagonal 2x2 pen: rows cover the union of the pen squares, drawn once.
  Canvas diag(6, 6);
  xorLineFromOrigin(2, 2, 3, 3);
  EXPECT_EQ(diag.Map(), "##....\n###...\n.###..\n..###.\n...##.\n......\n");
  Canvas none(4, 2);
  xorLineFromOrigin(0, 3, 3, 1);
  EXPECT_EQ(none.Count(kBlackPixel), 0);
  PenNormal();  // back to 1x1 copy: drawn twice the line stays
  for (int i = 0; i < 2; ++i) {
    MoveTo(0, 0);
    LineTo(3, 0);
  }
  EXPECT_EQ(none.Map(), "####\n....\n");
}

TEST(DrawRects, PaintFrameEraseInvertExactPixels) {
  Canvas canvas(7, 6);
  PaintRect(MakeRect(2, 1, 5, 4));
  EXPECT_EQ(canvas.Map(), ".......\n..###..\n..###..\n..###..\n.......\n.......\n");
  EraseRect(MakeRect(0, 0, 7, 6));
  EXPECT_EQ(canvas.Count(kWhitePixel), 42);
  FrameRect(MakeRect(1, 1, 6, 5));
  EXPECT_EQ(canvas.Map(), ".......\n.#####.\n.#...#.\n.#...#.\n.#####.\n.......\n");
  InvertRect(MakeRect(0, 0, 7, 6));
  EXPECT_EQ(canvas.Count(kWhitePixel), 14);
  EXPECT_EQ(canvas.At(0, 0), kBlackPixel);
  // Invert keeps alpha at 0 and twice is the identity on RGB.
  canvas.Set(0, 0, 0xFF123456u);
  InvertRect(MakeRect(0, 0, 1, 1));
  EXPECT_EQ(canvas.At(0, 0), 0x00EDCBA9u);
  InvertRect(MakeRect(0, 0, 1, 1));
  EXPECT_EQ(canvas.At(0, 0), 0x00123456u);
}

TEST(DrawRects, ThickFrameColoursAndClip) {
  Canvas canvas(6, 6);
  RGBForeColor(RGBColor16{0xFFFF, 0x8080, 0x0000});
  PenSize(2, 2);
  FrameRect(MakeRect(0, 0, 6, 6));
  EXPECT_EQ(canvas.Map(0x00FF8000u), "######\n######\n##..##\n##..##\n######\n######\n");
  RGBBackColor(RGBColor16{0x1111, 0x2222, 0x3333});
  EraseRect(MakeRect(2, 2, 4, 4));
  EXPECT_EQ(canvas.At(3, 3), 0x00112233u);
  Canvas clipped(6, 3);
  ClipRect(MakeRect(1, 0, 3, 2));
  PaintRect(MakeRect(0, 0, 6, 3));
  EXPECT_EQ(clipped.Map(), ".##...\n.##...\n......\n");
}

TEST(DrawRects, RectanglesOutsideTheBufferStayInBounds) {
  Canvas canvas(8, 8);
  const QDRect rects[] = {MakeRect(-100, -100, 100, 100), MakeRect(-5, -5, 2, 2), MakeRect(6, 6, 30000, 30000),
                          MakeRect(-32768, -32768, 32767, 32767), MakeRect(20, 20, 30, 30), MakeRect(5, 5, 2, 2)};
  for (const QDRect& r : rects) {
    PaintRect(r);
    InvertRect(r);
    EraseRect(r);
    FrameRect(r);
    FillRect(r, GrayPattern());
  }
  PaintRect(MakeRect(-100, -100, 100, 100));
  EXPECT_EQ(canvas.Count(kBlackPixel), 64);
  MoveTo(-30000, -20);
  LineTo(30000, 40);
  MoveTo(-32768, 32767);
  LineTo(32767, -32768);
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
  // The clip stays where it was in local coordinates (0..4), so local -1 is clipped away.
  FillRect(MakeRect(-1, 0, 3, 1), BlackPattern());
  EXPECT_EQ(shifted.Map(), ".###\n");
}

TEST(DrawPatterns, PixelPatternFillsRectAndPolygonFromOrigin) {
  PixPatHandle pat = NewPixPat(3, 2);
  ASSERT_NE(pat, nullptr);
  for (int i = 0; i < 6; ++i) pat->pixels[i] = 0xFF000000u | uint32_t(i + 1);
  Canvas canvas(5, 3, -2, 0);
  FillCRect(MakeRect(-2, 0, 3, 3), pat);
  // local h = -2 uses pattern column 1; rows repeat every 2; written pixels carry alpha 0
  const uint32_t rows[2][5] = {{2, 3, 1, 2, 3}, {5, 6, 4, 5, 6}};
  canvas.ForEach([&](int h, int v) { EXPECT_EQ(canvas.At(h, v), rows[v % 2][h + 2]) << h << "," << v; });
  Canvas tri(6, 6);
  const QDPoint triangle[] = {MakePoint(0, 0), MakePoint(4, 0), MakePoint(0, 4)};
  FillCPoly(triangle, 3, pat);
  EXPECT_EQ(tri.Count(kWhitePixel), 36 - 6);  // 3 + 2 + 1 pixel centres inside
  EXPECT_EQ(tri.At(2, 0), 3u);
  EXPECT_EQ(tri.At(0, 2), 1u);
  EXPECT_EQ(tri.At(1, 2), kWhitePixel);
  Canvas quad(7, 6);
  const QDPoint corners[] = {MakePoint(1, 1), MakePoint(5, 1), MakePoint(5, 4), MakePoint(1, 4)};
  PaintPoly(corners, 4);
  EXPECT_EQ(quad.Map(), ".......\n.####..\n.####..\n.####..\n.......\n.......\n");
  const QDPoint far[] = {MakePoint(-30000, -30000), MakePoint(30000, -100), MakePoint(100, 30000)};
  FillCPoly(far, 3, pat);
  PaintPoly(far, 2);  // too few points: nothing
  DisposePixPat(pat);
}

// 250: 16x16 with row and column 0 in 0xCCFFFF; 251: 32x32 with rows and columns 0-1.
TEST(DrawPatterns, ResourcePatternsHaveTheirGridLines) {
  for (auto [id, size, lines] : {std::tuple{250, 16, 1}, std::tuple{251, 32, 2}}) {
    PixPatHandle p = GetPixPat(id);
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p->width, size);
    ASSERT_EQ(p->height, size);
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x)
        EXPECT_EQ(p->pixels[y * size + x] & 0xFFFFFFu, (x < lines || y < lines) ? 0xCCFFFFu : 0xFFFFFFu) << id;
    DisposePixPat(p);
  }
  for (int id : {507, 508, 509}) {
    PixPatHandle p = GetPixPat(id);
    ASSERT_NE(p, nullptr) << id;
    EXPECT_EQ(p->width, 16);
    DisposePixPat(p);
  }
  EXPECT_EQ(GetPixPat(4242), nullptr);
}

TEST(DrawPorts, RefusedMemoryLeavesNothingBehind) {
  for (int n = 1;; ++n) {
    draw_test::Refusal refusal(n);
    GWorldPtr gw = NewGWorld(MakeRect(0, 0, 4, 4));
    DisposeGWorld(gw);
    EXPECT_EQ(draw_test::FailingAllocator::live, 0) << "failing request " << n;
    if (gw) break;
    ASSERT_LT(n, 6);
  }
  EXPECT_EQ(NewGWorld(MakeRect(0, 0, 0, 4)), nullptr);
  EXPECT_EQ(NewPixPat(0, 3), nullptr);
}

TEST(DrawPorts, CurrentPortAndColourPixels) {
  Canvas canvas(2, 2);
  CGrafPtr port;
  void* device = &port;
  GetGWorld(&port, &device);
  EXPECT_EQ(port, canvas.gw());
  EXPECT_EQ(device, nullptr);
  RGBColor16 c;
  SetCPixel(1, 1, RGBColor16{0x1200, 0xAB00, 0x0000});
  GetCPixel(1, 1, &c);
  EXPECT_EQ(c.red, 0x1212);
  EXPECT_EQ(c.green, 0xABAB);
  GetCPixel(5, 5, &c);  // outside: white, nothing read
  EXPECT_EQ(c.red, 0xFFFF);
  SetCPixel(-1, 0, RGBColor16{0, 0, 0});
  EXPECT_EQ(canvas.Count(kBlackPixel), 0);
}
