// CopyBits: same-size, scaled and blended copies with hand-computed pixels, overlaps within one
// buffer, and rectangles reaching outside either buffer.
#include <gtest/gtest.h>

#include "platform/draw/copy_bits.h"
#include "tests/platform/draw_test_support.h"

using draw_test::Canvas;
using draw_test::kWhitePixel;

// Nearest neighbour picks the source pixel under each destination pixel's centre; every copy
// writes alpha 0.
TEST(DrawCopies, SameSizeAndScaledCopies) {
  Canvas src(3, 2), dst(5, 4);
  src.Fill([](int h, int v) { return 0xFF000000u | uint32_t(v * 16 + h + 1); });
  CopyBits(src.gw(), dst.gw(), MakeRect(0, 0, 3, 2), MakeRect(1, 1, 4, 3), kSrcCopy);
  dst.ForEach([&](int h, int v) {
    bool in = h >= 1 && h < 4 && v >= 1 && v < 3;
    EXPECT_EQ(dst.At(h, v), in ? uint32_t((v - 1) * 16 + h) : kWhitePixel) << h << "," << v;
  });
  Canvas up(6, 4);
  CopyBits(src.gw(), up.gw(), MakeRect(0, 0, 3, 2), MakeRect(0, 0, 6, 4), kSrcCopy);
  up.ForEach([&](int h, int v) { EXPECT_EQ(up.At(h, v), uint32_t(v / 2 * 16 + h / 2 + 1)) << h << "," << v; });
  Canvas big(4, 4), down(2, 2);
  big.Fill([](int h, int v) { return uint32_t(10 * v + h); });
  CopyBits(big.gw(), down.gw(), MakeRect(0, 0, 4, 4), MakeRect(0, 0, 2, 2), kDitherCopy);
  EXPECT_EQ(down.At(0, 0), 11u);
  EXPECT_EQ(down.At(1, 0), 13u);
  EXPECT_EQ(down.At(0, 1), 31u);
  EXPECT_EQ(down.At(1, 1), 33u);
}

// (src * w + dst * (65535 - w)) / 65535 per 16-bit channel, w = 0x8000: red 0xFFFF -> 0x8000 -> 0x80,
// blue 0xFFFF * 0x7FFF / 0xFFFF = 0x7FFF -> 0x7F.
TEST(DrawCopies, BlendUsesOpColorWeights) {
  Canvas src(1, 1), dst(1, 1);
  src.Set(0, 0, 0x00FF0000u);
  dst.Set(0, 0, 0x000000FFu);
  OpColor(RGBColor16{0x8000, 0x8000, 0x8000});
  CopyBits(src.gw(), dst.gw(), MakeRect(0, 0, 1, 1), MakeRect(0, 0, 1, 1), kBlend);
  EXPECT_EQ(dst.At(0, 0), 0x0080007Fu);
  OpColor(RGBColor16{0xFFFF, 0, 0});  // full weight on red only
  src.Set(0, 0, 0x00123456u);
  dst.Set(0, 0, 0x00ABCDEFu);
  CopyBits(src.gw(), dst.gw(), MakeRect(0, 0, 1, 1), MakeRect(0, 0, 1, 1), kBlend);
  EXPECT_EQ(dst.At(0, 0), 0x0012CDEFu);
}

TEST(DrawCopies, OverlappingCopyWithinOneBuffer) {
  Canvas c(5, 3);
  for (int h = 0; h < 5; ++h) c.Set(h, 0, uint32_t(h + 1));
  CopyBits(c.gw(), c.gw(), MakeRect(0, 0, 4, 1), MakeRect(1, 0, 5, 1), kSrcCopy);
  const uint32_t right[] = {1, 1, 2, 3, 4};
  for (int h = 0; h < 5; ++h) EXPECT_EQ(c.At(h, 0), right[h]);
  // Rows 0-1 onto rows 1-2: row 2 receives the old (white) row 1, not the freshly copied one.
  CopyBits(c.gw(), c.gw(), MakeRect(0, 0, 5, 2), MakeRect(0, 1, 5, 3), kSrcCopy);
  for (int h = 0; h < 5; ++h) {
    EXPECT_EQ(c.At(h, 1), right[h]);
    EXPECT_EQ(c.At(h, 2), kWhitePixel);
  }
}

TEST(DrawCopies, RectanglesOutsideEitherBufferTouchOnlyValidPixels) {
  Canvas src(4, 4, 10, 10), dst(4, 4);
  src.Fill([](int, int) { return 7u; });
  // The source rectangle starts 2 pixels left of the source buffer: those destination pixels stay.
  CopyBits(src.gw(), dst.gw(), MakeRect(8, 10, 12, 14), MakeRect(0, 0, 4, 4), kSrcCopy);
  EXPECT_EQ(dst.Map(7), "..##\n..##\n..##\n..##\n");
  const QDRect wild[] = {MakeRect(-32768, -32768, 32767, 32767), MakeRect(-3, -3, 1, 1), MakeRect(3, 3, 9000, 9000)};
  for (const QDRect& a : wild)
    for (const QDRect& b : wild) {
      CopyBits(src.gw(), dst.gw(), a, b, kSrcCopy);
      CopyBits(dst.gw(), dst.gw(), a, b, kBlend);
    }
  CopyBits(nullptr, dst.gw(), wild[0], wild[0], kSrcCopy);
}

// With a clip of two pieces in one row, a rightward overlapping copy still reads old pixels.
TEST(DrawCopies, OverlappingCopyThroughASplitClip) {
  Canvas c(6, 1);
  c.Fill([](int h, int) { return uint32_t(h + 1); });
  RgnHandle a = NewRgn(), b = NewRgn();
  RectRgn(a, MakeRect(0, 0, 3, 1));
  RectRgn(b, MakeRect(4, 0, 6, 1));
  UnionRgn(a, b, a);
  SetClip(a);
  CopyBits(c.gw(), c.gw(), MakeRect(0, 0, 5, 1), MakeRect(1, 0, 6, 1), kSrcCopy);
  const uint32_t want[] = {1, 1, 2, 4, 4, 5};  // column 3 is clipped and keeps its 4
  for (int h = 0; h < 6; ++h) EXPECT_EQ(c.At(h, 0), want[h]) << h;
  DisposeRgn(a);
  DisposeRgn(b);
}
