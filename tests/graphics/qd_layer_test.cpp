// The wrappers, offscreen buffers, copies, phased fills and save/restore pairs of the graphics
// layer. Pixel values are hand-computed; allocation failures are injected at every request.
#include <gtest/gtest.h>

#include <vector>

#include "graphics/graphics_layer.h"
#include "graphics/pixel_routines.h"
#include "graphics/qd_layer.h"
#include "platform/fonts.h"
#include "tests/graphics/graphics_test_support.h"

using draw_test::Canvas;
using draw_test::kBlackPixel;
using draw_test::kWhitePixel;

static testing::Environment* const kGraphicsEnvironment =
    testing::AddGlobalTestEnvironment(new graphics_test::GraphicsEnvironment);

TEST(QDLayer, PackedColoursWidenAndRoundTrip) {
  RGBColor16 c = PackedRGBToRGBColor(0x12AB00);
  EXPECT_EQ(c.red, 0x1212);
  EXPECT_EQ(c.green, 0xABAB);
  EXPECT_EQ(c.blue, 0x0000);
  for (PackedRGB rgb : {0x000000u, 0xFFFFFFu, 0x12AB00u, 0x010203u, 0xFEDCBAu})
    EXPECT_EQ(RGBColorToPackedRGB(PackedRGBToRGBColor(rgb)), rgb);
  EXPECT_EQ(RGBColorToPackedRGB(RGBColor16{0x12FF, 0x00FF, 0xFF00}), 0x1200FFu);
  Canvas canvas(2, 2);
  SetRGBForeIndex(0x336699);
  QDPaintRect(MakeRect(0, 0, 1, 1));
  EXPECT_EQ(canvas.At(0, 0), 0x00336699u);
  EXPECT_EQ(GetPixelPacked(MakePoint(0, 0)), 0x336699u);
  EXPECT_EQ(GetPixelPacked(MakePoint(1, 1)), 0xFFFFFFu);
  EXPECT_EQ(GetPixelPacked(MakePoint(-4, 9)), 0xFFFFFFu);  // outside reads as white
  SetForeColorBlack();
  SetBackColorWhite();
  QDDrawDot(1, 1);
  EXPECT_EQ(canvas.At(1, 1), kBlackPixel);
}

// The wrappers take wide numbers: coordinates pin, font numbers and characters keep their low bits.
TEST(QDLayer, WrappersPinCoordinatesAndAnswerZeroOrOne) {
  QDRect a = MakeRect(0, 0, 10, 10), out;
  EXPECT_EQ(IntersectRects(a, MakeRect(5, 5, 20, 20), &out), 1);
  EXPECT_EQ(IntersectRects(a, MakeRect(10, 0, 20, 10), &out), 0);
  EXPECT_EQ(PointInRect(MakePoint(9, 9), a), 1);
  EXPECT_EQ(PointInRect(MakePoint(10, 9), a), 0);
  QDOffsetRect(&a, 100000, -100000);
  EXPECT_EQ(a.left, 32767);
  EXPECT_EQ(a.top, -32768);
  Canvas canvas(4, 4);
  QDMoveTo(70000, 1);
  QDPoint pen;
  GetPen(&pen);
  EXPECT_EQ(pen.h, 32767);
  QDTextFont(kFontTimes + 65536);
  EXPECT_EQ(canvas.gw()->textFont, kFontTimes);
  EXPECT_EQ(QDCharWidth('A' + 256), QDCharWidth('A'));
  SafeDisposeRgn(nullptr);
  SafeDisposeGWorld(nullptr);
}

// Union of two disjoint rectangles: inside the second one, and in the gap.
TEST(QDLayer, RegionWrappersAndClipSaveRestore) {
  RgnHandle a = QDNewRgn(), b = QDNewRgn(), u = QDNewRgn();
  QDRectRgn(a, MakeRect(0, 0, 10, 10));
  QDRectRgn(b, MakeRect(20, 0, 30, 10));
  QDUnionRgn(a, b, u);
  EXPECT_EQ(QDPtInRgn(MakePoint(29, 9), u), 1);
  EXPECT_EQ(QDPtInRgn(MakePoint(15, 5), u), 0);
  QDSetEmptyRgn(u);
  EXPECT_EQ(QDPtInRgn(MakePoint(5, 5), u), 0);

  Canvas canvas(40, 20);
  QDUnionRgn(a, b, u);
  SetClip(u);
  ClipSave saved;
  SaveClipRect(&saved, MakeRect(2, 2, 4, 4));
  QDPaintRect(MakeRect(0, 0, 40, 20));
  EXPECT_EQ(canvas.Count(kBlackPixel), 4);
  RestoreClip(&saved);
  EXPECT_TRUE(EqualRgn(canvas.gw()->clip, u));
  EXPECT_EQ(saved.saved, nullptr);
  // Refused memory: the clip is still set for drawing, and restoring opens it to the port.
  {
    graphics_test::FailureGuard guard;
    FailAllocationAt(1, true);
    SaveClipRect(&saved, MakeRect(2, 2, 4, 4));
    FailAllocationAt(0);
    EXPECT_EQ(saved.saved, nullptr);
    RestoreClip(&saved);
    EXPECT_TRUE(RectWhollyInRgn(MakeRect(0, 0, 40, 20), canvas.gw()->clip));
  }
  DisposeRgn(a);
  DisposeRgn(b);
  DisposeRgn(u);
}

TEST(QDLayer, NewGWorld32RefusedAtEveryRequestReturnsNullAndKeepsTheCount) {
  graphics_test::FailureGuard guard;
  size_t before = GetBytesInUse();
  int n = 1;
  for (;; ++n) {
    FailAllocationAt(uint64_t(n));
    GWorldPtr gw = NewGWorld32(MakeRect(0, 0, 8, 8));
    FailAllocationAt(0);
    if (gw) {
      EXPECT_GT(GetBytesInUse(), before);
      EXPECT_EQ(GWorldBounds(gw).right, 8);
      EXPECT_EQ(GWorldRowBytes(gw), 32);
      SafeDisposeGWorld(gw);
      break;
    }
    EXPECT_EQ(GetBytesInUse(), before) << "refused request " << n;
    ASSERT_LT(n, 20);
  }
  EXPECT_GT(n, 1);
  EXPECT_EQ(GetBytesInUse(), before);
  EXPECT_EQ(NewGWorld32(MakeRect(0, 0, 0, 0)), nullptr);
}

TEST(QDLayer, BufferQueriesAndLockState) {
  GWorldPtr gw = NewGWorld32(MakeRect(-3, 4, 5, 10));
  ASSERT_NE(gw, nullptr);
  EXPECT_TRUE(GWorldPixelsLost(nullptr));
  EXPECT_FALSE(GWorldPixelsLost(gw));
  EXPECT_FALSE(GWorldPixelsState(gw));  // the probe left it unlocked
  EXPECT_TRUE(LockGWorld(gw));
  EXPECT_FALSE(GWorldPixelsLost(gw));
  EXPECT_TRUE(GWorldPixelsState(gw));  // and left it locked
  UnlockGWorldPixels(gw);
  GWorldSave saved;
  CGrafPtr before = GetPort();
  SaveAndSetGWorld(&saved, gw);
  EXPECT_EQ(CurrentGWorldBase(), GWorldBaseAddr(gw));
  EXPECT_EQ(CurrentGWorldRowBytes(), 32);
  EXPECT_TRUE(RectsEqual(CurrentGWorldBounds(), MakeRect(-3, 4, 5, 10)));
  PixelsSave pixels;
  SaveGWorldLockPixels(&pixels);
  EXPECT_TRUE(GWorldPixelsState(gw));
  RestorePixelsState(&pixels);
  EXPECT_FALSE(GWorldPixelsState(gw));
  RestoreGWorld(&saved);
  EXPECT_EQ(GetPort(), before);
  SafeDisposeGWorld(gw);
}

TEST(QDLayer, PenStateSaveRestoreAndPenCalls) {
  graphics_test::FailureGuard guard;
  Canvas canvas(8, 8);
  SetSquarePenSize(3);
  SetPenModeXor(12345);
  PenPatGray();
  PenState* saved = SavePenState();
  ASSERT_NE(saved, nullptr);
  QDPenNormal();
  PenPatBlack();
  RestorePenState(saved);
  PenState now;
  GetPenState(&now);
  EXPECT_EQ(now.size.h, 3);
  EXPECT_EQ(now.size.v, 3);
  EXPECT_EQ(now.mode, kPatXor);
  EXPECT_EQ(now.pattern.bits[0], 0xAA);
  FailAllocationAt(1);
  EXPECT_EQ(SavePenState(), nullptr);
  RestorePenState(nullptr);
}

TEST(QDLayer, CopyGWorldRectRestoresLocksColoursAndPort) {
  Canvas srcCanvas(3, 2), dstCanvas(4, 4);
  GWorldPtr src = srcCanvas.gw(), dst = dstCanvas.gw();
  srcCanvas.Fill([](int h, int v) { return uint32_t(0x010203 * (v * 3 + h + 1)); });
  Canvas current(1, 1);
  SetGWorld(dst, nullptr);
  RGBForeColor(RGBColor16{0x1111, 0x2222, 0x3333});
  RGBBackColor(RGBColor16{0x4444, 0x5555, 0x6666});
  SetGWorld(current.gw(), nullptr);
  for (bool srcLocked : {false, true}) {
    if (srcLocked) LockGWorldPixels(src);
    CopyGWorldRect(src, dst, MakeRect(0, 0, 3, 2), MakeRect(1, 2, 4, 4));
    EXPECT_EQ(GWorldPixelsState(src), srcLocked);
    EXPECT_FALSE(GWorldPixelsState(dst));
    EXPECT_EQ(GetPort(), current.gw());
    EXPECT_EQ(dst->foreColor.red, 0x1111);
    EXPECT_EQ(dst->backColor.blue, 0x6666);
    for (int v = 0; v < 2; ++v)
      for (int h = 0; h < 3; ++h) EXPECT_EQ(*PixelAddress(dst, h + 1, v + 2), uint32_t(0x010203 * (v * 3 + h + 1)));
    EXPECT_EQ(*PixelAddress(dst, 0, 0), kWhitePixel);
  }
}

// 50 % blend per 16-bit channel: 0xFF over 0x00 gives 0x80, 0x00 over 0xFF gives 0x7F.
TEST(QDLayer, CopyGWorldOpColorBlendsHalfAndKeepsColoursSet) {
  Canvas source(1, 1), canvas(1, 1);
  GWorldPtr src = source.gw();
  source.Set(0, 0, 0x00FF00FFu);
  canvas.Set(0, 0, 0x0000FF00u);
  RGBForeColor(RGBColor16{0x1234, 0, 0});
  CopyGWorldOpColor(src, MakeRect(0, 0, 1, 1));
  EXPECT_EQ(canvas.At(0, 0), 0x00807F80u);
  EXPECT_EQ(canvas.gw()->opColor.green, 0x8000);
  EXPECT_EQ(canvas.gw()->foreColor.red, 0);
  EXPECT_FALSE(GWorldPixelsState(src));
  EXPECT_FALSE(GWorldPixelsState(canvas.gw()));
}

TEST(QDLayer, CopyGWorldToPortHalvesExactlyTwiceSizeAndScalesOtherwise) {
  Canvas checkers(4, 4), half(2, 2);
  GWorldPtr big = checkers.gw();
  checkers.Fill([](int h, int v) { return (v + h) % 2 ? 0x00000000u : 0x00FFFFFFu; });
  CopyGWorldToPort(big, MakeRect(0, 0, 4, 4), MakeRect(0, 0, 2, 2));
  // avg(avg(255, 0), avg(0, 255)) = avg(128, 128) = 128 in every colour channel.
  EXPECT_EQ(half.At(0, 0), 0x00808080u);
  EXPECT_EQ(half.At(1, 1), 0x00808080u);
  Canvas same(4, 4);
  CopyGWorldToPortSameRect(big, MakeRect(0, 0, 4, 4));
  EXPECT_EQ(same.At(0, 0), 0x00FFFFFFu);
  EXPECT_EQ(same.At(1, 0), 0x00000000u);
  EXPECT_FALSE(GWorldPixelsState(big));
}

// A 16x16 pattern marked only at (0, 0), anchored at (5, 3): marks at (5 + 16i, 3 + 16j) only.
TEST(QDLayer, PhasedPatternFillPutsPatternOriginAtTheAnchor) {
  PixPatHandle pat = NewPixPat(16, 16);
  ASSERT_NE(pat, nullptr);
  for (int i = 0; i < 256; ++i) pat->pixels[i] = 0xFFFFFFu;
  pat->pixels[0] = 0x000001u;
  Canvas canvas(48, 40);
  RgnHandle clipBefore = NewRgn();
  GetClip(clipBefore);
  FillRectPixPatPhased(pat, 5, 3, MakeRect(0, 0, 48, 40));
  draw_test::Points marks;
  for (int h : {5, 21, 37})
    for (int v : {3, 19, 35}) marks.insert({h, v});
  EXPECT_EQ(canvas.Where(0x000001u), marks);
  EXPECT_EQ(canvas.Count(0xFFFFFFu), 48 * 40 - 9);
  EXPECT_TRUE(EqualRgn(canvas.gw()->clip, clipBefore));
  EXPECT_TRUE(RectsEqual(canvas.gw()->portRect, MakeRect(0, 0, 48, 40)));
  // A clip smaller than the rectangle limits the fill and comes back unchanged.
  EraseRect(MakeRect(0, 0, 48, 40));
  ClipRect(MakeRect(0, 0, 20, 10));
  GetClip(clipBefore);
  FillRectPixPatPhased(pat, 5, 3, MakeRect(0, 0, 48, 40));
  EXPECT_EQ(canvas.Count(0x000001u), 1);  // of the marks only (5, 3) lies in the clip
  EXPECT_TRUE(EqualRgn(canvas.gw()->clip, clipBefore));
  DisposeRgn(clipBefore);
  DisposePixPat(pat);
}

// FillGridBackground(0, 0): columns and rows 0, 1, 32, 33 in the grid colour, all words opaque.
TEST(QDLayer, GridBackgroundMatchesPatternFillForEvenPhases) {
  Canvas canvas(64, 64);
  FillGridBackground(0, 0, MakeRect(0, 0, 64, 64));
  canvas.ForEach([&](int h, int v) {
    ASSERT_EQ(canvas.At(h, v), h % 32 < 2 || v % 32 < 2 ? kGridPixel : kPaperPixel) << h << "," << v;
  });
  Canvas viaPattern(64, 40);
  for (int h = 0; h < 32; h += 2)
    for (int v : {0, 1, 7, 31}) {
      FillGridBackground(h, v, MakeRect(0, 0, 64, 40));
      std::vector<uint32_t> fast;
      viaPattern.ForEach([&](int x, int y) { fast.push_back(viaPattern.At(x, y) & 0xFFFFFFu); });
      FillRectPixPatPhased(GraphicsGlobals().gridPattern32, h, v, MakeRect(0, 0, 64, 40));
      viaPattern.ForEach([&](int x, int y) {
        ASSERT_EQ(viaPattern.At(x, y) & 0xFFFFFFu, fast[size_t(y * 64 + x)]) << h << "," << v;
      });
    }
  // Window scale: pattern 250 puts 1-pixel lines every 16 pixels from the phase.
  Canvas window(20, 20);
  FillRectPatternPhased(3, 4, MakeRect(0, 0, 20, 20));
  EXPECT_EQ(window.At(3, 0) & 0xFFFFFFu, kGridColor);
  EXPECT_EQ(window.At(19, 0) & 0xFFFFFFu, kGridColor);
  EXPECT_EQ(window.At(0, 4) & 0xFFFFFFu, kGridColor);
  EXPECT_EQ(window.At(0, 0) & 0xFFFFFFu, 0xFFFFFFu);
  FillOutsideRect(3, 4, MakeRect(0, 0, 20, 20));
  FillOutsideRectOffset(0, 0, MakeRect(0, 0, 20, 20));
}

TEST(QDLayer, PhasedFillRefusedMemoryDrawsNothing) {
  graphics_test::FailureGuard guard;
  Canvas canvas(8, 8);
  FailAllocationAt(1, true);
  FillRectPatternPhased(0, 0, MakeRect(0, 0, 8, 8));
  FailAllocationAt(0);
  EXPECT_EQ(canvas.Count(kWhitePixel), 64);
}

TEST(QDLayer, PaletteColourComesFromTheDocumentHook) {
  Canvas canvas(1, 1);
  SetForeColorPalette7(nullptr);  // no hook: nothing changes
  EXPECT_EQ(canvas.gw()->foreColor.red, 0);
  SetPaletteEntryHook([](int index, void*, RGBColor16* out) {
    if (index != 7) return false;
    *out = RGBColor16{0xAAAA, 0xBBBB, 0xCCCC};
    return true;
  });
  SetForeColorPalette7(nullptr);
  EXPECT_EQ(canvas.gw()->foreColor.green, 0xBBBB);
  SetForeColorFromPalette(3, nullptr);
  EXPECT_EQ(canvas.gw()->foreColor.green, 0xBBBB);
  SetPaletteEntryHook(nullptr);
  EXPECT_EQ(GetPortHiliteColorPacked(canvas.gw()), RGBColorToPackedRGB(canvas.gw()->hiliteColor));
}

TEST(QDLayer, CStringDrawingTakesTextsOfAnyLength) {
  Canvas canvas(10, 10);
  TextFont(kFontTimes);
  TextSize(12);
  std::string text(300, 'i');
  EXPECT_EQ(CStringWidth(text.c_str()), 300 * QDCharWidth('i'));
  QDMoveTo(0, 9);
  DrawCString(text.c_str());
  QDPoint pen;
  GetPen(&pen);
  EXPECT_EQ(pen.h, 300 * QDCharWidth('i'));
  EXPECT_EQ(text, std::string(300, 'i'));  // the caller's text is not touched
}
