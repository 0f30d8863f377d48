// The offscreen buffers, copies, phased fills and save/restore pairs of the graphics layer.
// Pixel values are hand-computed; allocation failures are injected at every request.
#include <gtest/gtest.h>

#include <vector>

#include "graphics/graphics_layer.h"
#include "graphics/pixel_routines.h"
#include "graphics/qd_layer.h"
#include "tests/graphics/graphics_test_support.h"

using draw_test::Canvas;
using draw_test::kBlackPixel;
using draw_test::kWhitePixel;

static testing::Environment* const kGraphicsEnvironment =
    testing::AddGlobalTestEnvironment(new graphics_test::GraphicsEnvironment);

TEST(QDLayer, NewGWorld32RefusedAtEveryRequestReturnsNullAndKeepsTheCount) {
  graphics_test::FailureGuard guard;
  size_t before = GetBytesInUse();
  GWorldPtr gw = nullptr;
  for (uint64_t n = 1; !gw; ++n) {
    ASSERT_LT(n, 20u);
    FailAllocationAt(n);
    gw = NewGWorld32(MakeRect(0, 0, 8, 8));
    FailAllocationAt(0);
    EXPECT_EQ(GetBytesInUse() == before, !gw) << "refused request " << n;
  }
  SafeDisposeGWorld(gw);
  EXPECT_EQ(GetBytesInUse(), before);
}

// The copy is black on white whatever the colours; the current port, the destination's colours
// and both lock states come back as they were.
TEST(QDLayer, CopyGWorldRectRestoresLocksColoursAndPort) {
  Canvas src(3, 2), dst(4, 4), current(1, 1);
  src.Fill([](int h, int v) { return uint32_t(0x010203 * (v * 3 + h + 1)); });
  SetGWorld(dst.gw(), nullptr);
  RGBForeColor(RGBColor16{0x1111, 0x2222, 0x3333});
  SetGWorld(current.gw(), nullptr);
  for (bool srcLocked : {false, true}) {
    if (srcLocked) LockGWorldPixels(src.gw());
    CopyGWorldRect(src.gw(), dst.gw(), MakeRect(0, 0, 3, 2), MakeRect(1, 2, 4, 4));
    EXPECT_EQ(std::make_tuple(GWorldPixelsState(src.gw()), GWorldPixelsState(dst.gw()), GetPort()),
              std::make_tuple(srcLocked, false, current.gw()));
    EXPECT_EQ(dst.gw()->foreColor.red, 0x1111);
    dst.ForEach([&](int h, int v) {
      EXPECT_EQ(dst.At(h, v), h && v > 1 ? uint32_t(0x010203 * ((v - 2) * 3 + h)) : kWhitePixel) << h << "," << v;
    });
  }
}

// A 16x16 pattern marked only at (0, 0), anchored at (5, 3): marks at (5 + 16i, 3 + 16j) only,
// within the clip; the port's clip and origin come back unchanged.
TEST(QDLayer, PhasedPatternFillPutsPatternOriginAtTheAnchor) {
  PixPatHandle pat = NewPixPat(16, 16);
  ASSERT_NE(pat, nullptr);
  std::fill(pat->pixels, pat->pixels + 256, 0xFFFFFFu);
  pat->pixels[0] = 0x000001u;
  Canvas canvas(48, 40);
  for (QDRect clip : {MakeRect(0, 0, 48, 40), MakeRect(0, 0, 20, 10)}) {
    EraseRect(MakeRect(0, 0, 48, 40));
    ClipRect(clip);
    RgnHandle clipBefore = canvas.gw()->clip;
    EXPECT_TRUE(FillRectPixPatPhased(pat, 5, 3, MakeRect(0, 0, 48, 40)));
    for (auto [h, v] : canvas.Where(0x000001u))
      EXPECT_TRUE(h % 16 == 5 && v % 16 == 3 && h < clip.right && v < clip.bottom) << h << "," << v;
    EXPECT_EQ(canvas.Count(0x000001u), clip.right == 48 ? 9 : 1);
    EXPECT_TRUE(canvas.gw()->clip == clipBefore && EqualRect(RgnBBox(clipBefore), clip));
    EXPECT_TRUE(RectsEqual(canvas.gw()->portRect, MakeRect(0, 0, 48, 40)));
  }
  DisposePixPat(pat);
}

// For every even phase the fast grid fill equals the phased fill with pattern 251.
TEST(QDLayer, GridBackgroundMatchesPatternFillForEvenPhases) {
  Canvas canvas(64, 40);
  for (int h = 0; h < 32; h += 2)
    for (int v : {0, 1, 7, 31}) {
      FillGridBackground(h, v, MakeRect(0, 0, 64, 40));
      std::vector<uint32_t> fast = canvas.Pixels(0xFFFFFFu);
      FillRectPixPatPhased(GraphicsGlobals().gridPattern32, h, v, MakeRect(0, 0, 64, 40));
      ASSERT_EQ(canvas.Pixels(0xFFFFFFu), fast) << h << "," << v;
    }
}

// Polygons of any size draw. Refused memory is reported and draws nothing, and the clip comes
// back: a refused save narrows the clip in place and its restore opens it to the port; a phased
// fill refused at any request leaves the port's own clip region in place, unchanged.
TEST(QDLayer, LargePolygonsDrawAndRefusalsAreReportedWithTheClipIntact) {
  graphics_test::FailureGuard guard;
  Canvas canvas(40, 20);
  const QDRect all = MakeRect(0, 0, 40, 20);
  std::vector<QDPoint> ring;  // 1000 points along the top and the bottom of (2, 2, 38, 18)
  for (int i = 0; i < 500; ++i) ring.push_back(MakePoint(2 + 36 * i / 499, 2));
  for (int i = 0; i < 500; ++i) ring.push_back(MakePoint(38 - 36 * i / 499, 18));
  EXPECT_TRUE(PaintPoly(ring.data(), int32_t(ring.size())));
  EXPECT_TRUE(canvas.Count(kBlackPixel) == 36 * 16 && canvas.At(2, 2) == 0 && canvas.At(37, 17) == 0);
  EraseRect(all);
  FailAllocationAt(1, true);
  EXPECT_FALSE(PaintPoly(ring.data(), int32_t(ring.size())));
  EXPECT_EQ(SavePenState(), nullptr);
  ClipSave saved;
  EXPECT_FALSE(SaveClipRect(&saved, MakeRect(2, 2, 4, 4)));
  FailAllocationAt(0);
  QDPaintRect(all);
  EXPECT_EQ(canvas.Count(kBlackPixel), 4);
  RestoreClip(&saved);
  RgnHandle own = canvas.gw()->clip;
  EXPECT_TRUE(RectWhollyInRgn(all, own));
  for (int n = 1; n <= 3; ++n) {  // the region, its words, then nothing more: drawn
    FailAllocationAt(uint64_t(n));
    bool filled = FillRectPatternPhased(0, 0, all);
    FailAllocationAt(0);
    EXPECT_EQ(std::make_pair(filled, canvas.Count(kGridColor) > 0), std::make_pair(n == 3, n == 3));
    EXPECT_EQ(canvas.gw()->clip, own);
    EXPECT_TRUE(CheckRegion(own) && RectWhollyInRgn(all, own) && EqualRect(RgnBBox(own), all));
  }
}
