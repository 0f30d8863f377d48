// Rasters laid into ports: CopyBits (same size, scaled, blended, overlapping within one buffer)
// and pictures (scaled, laid over by alpha), with hand-computed pixels; rectangles reaching
// outside either buffer touch only valid pixels.
#include <gtest/gtest.h>

#include "platform/draw/copy_bits.h"
#include "platform/draw/picture.h"
#include "tests/platform/draw_test_support.h"

using draw_test::Canvas;
using draw_test::kWhitePixel;

// Nearest neighbour picks the source pixel under each destination pixel's centre; every copy
// writes alpha 0; source pixels outside the source buffer leave their destination pixels alone.
TEST(DrawCopies, SameSizeScaledAndPartialCopies) {
  Canvas src(3, 2), dst(5, 4), up(6, 4);
  src.Fill([](int h, int v) { return 0xFF000000u | uint32_t(v * 16 + h + 1); });
  CopyBits(src.gw(), dst.gw(), MakeRect(0, 0, 3, 2), MakeRect(1, 1, 4, 3), kSrcCopy);
  dst.ForEach([&](int h, int v) {
    bool in = h >= 1 && h < 4 && v >= 1 && v < 3;
    EXPECT_EQ(dst.At(h, v), in ? uint32_t((v - 1) * 16 + h) : kWhitePixel) << h << "," << v;
  });
  CopyBits(src.gw(), up.gw(), MakeRect(0, 0, 3, 2), MakeRect(0, 0, 6, 4), kSrcCopy);
  up.ForEach([&](int h, int v) { EXPECT_EQ(up.At(h, v), uint32_t(v / 2 * 16 + h / 2 + 1)) << h << "," << v; });
  Canvas big(4, 4, 10, 10), down(2, 2), part(4, 1);
  big.Fill([](int h, int v) { return uint32_t(10 * (v - 10) + h - 10); });
  CopyBits(big.gw(), down.gw(), MakeRect(10, 10, 14, 14), MakeRect(0, 0, 2, 2), kDitherCopy);
  EXPECT_EQ(down.Map({{11, 'a'}, {13, 'b'}, {31, 'c'}, {33, 'd'}}), "ab\ncd\n");
  CopyBits(big.gw(), part.gw(), MakeRect(8, 10, 12, 11), MakeRect(0, 0, 4, 1), kSrcCopy);  // starts 2 left of big
  EXPECT_EQ(part.Map({{0, '0'}, {1, '1'}}), "..01\n");
}

// (src * w + dst * (65535 - w)) / 65535 per 16-bit channel, w = 0x8000: red 0xFFFF -> 0x8000 -> 0x80,
// blue 0xFFFF * 0x7FFF / 0xFFFF = 0x7FFF -> 0x7F; weight 0xFFFF on red only takes the source's red.
TEST(DrawCopies, BlendUsesOpColorWeights) {
  Canvas src(1, 1), dst(1, 1);
  const struct { RGBColor16 op; uint32_t s, d, want; } cases[] = {
      {{0x8000, 0x8000, 0x8000}, 0x00FF0000u, 0x000000FFu, 0x0080007Fu},
      {{0xFFFF, 0, 0}, 0x00123456u, 0x00ABCDEFu, 0x0012CDEFu}};
  for (const auto& c : cases) {
    src.Set(0, 0, c.s);
    dst.Set(0, 0, c.d);
    OpColor(c.op);
    CopyBits(src.gw(), dst.gw(), MakeRect(0, 0, 1, 1), MakeRect(0, 0, 1, 1), kBlend);
    EXPECT_EQ(dst.At(0, 0), c.want);
  }
}

// Within one buffer a copy behaves as if through a temporary, also when the clip splits a row;
// wild rectangles stay inside both buffers (the sanitizers watch).
TEST(DrawCopies, OverlappingAndWildCopies) {
  Canvas c(6, 3);
  c.Fill([](int h, int v) { return v == 0 ? uint32_t(h + 1) : kWhitePixel; });
  CopyBits(c.gw(), c.gw(), MakeRect(0, 0, 5, 1), MakeRect(1, 0, 6, 1), kSrcCopy);
  CopyBits(c.gw(), c.gw(), MakeRect(0, 0, 6, 2), MakeRect(0, 1, 6, 3), kSrcCopy);  // row 2 gets the old row 1
  EXPECT_EQ(c.Map({{1, '1'}, {2, '2'}, {3, '3'}, {4, '4'}, {5, '5'}}), "112345\n112345\n......\n");
  RgnHandle a = NewRgn(), b = NewRgn();
  RectRgn(a, MakeRect(0, 0, 3, 1));
  RectRgn(b, MakeRect(4, 0, 6, 1));
  UnionRgn(a, b, a);
  SetClip(a);
  CopyBits(c.gw(), c.gw(), MakeRect(0, 0, 5, 1), MakeRect(1, 0, 6, 1), kSrcCopy);
  EXPECT_EQ(c.Map({{1, '1'}, {3, '3'}, {4, '4'}}).substr(0, 6), "111334");  // column 3 clipped
  DisposeRgn(a);
  DisposeRgn(b);
  const QDRect wild[] = {MakeRect(-32768, -32768, 32767, 32767), MakeRect(-3, -3, 1, 1), MakeRect(3, 3, 9000, 9000)};
  for (const QDRect& r : wild)
    for (const QDRect& s : wild) CopyBits(c.gw(), c.gw(), r, s, kBlend);
}

// Alpha 0x80 red over white: red (255 * 128 + 255 * 127 + 127) / 255 = 255, green and blue
// (255 * 127 + 127) / 255 = 127; over the erased buffer (alpha 0) the alpha byte is 0x80 itself.
// Half red over opaque blue stays opaque (0x80 + (0xFF * 0x7F + 127) / 0xFF = 0xFF).
TEST(DrawPictures, ScaledDrawingDoublesPixelsAndBlendsByAlpha) {
  const uint32_t raster[4] = {0xFF000001u, 0x00000002u, 0x80FF0000u, 0xFF000004u};
  PicHandle pic = NewPicture(raster, 2, 2), dot = NewPicture(raster + 2, 1, 1);
  ASSERT_TRUE(pic && dot);
  Canvas canvas(5, 5);
  canvas.Set(0, 0, 0xFF0000FFu);
  DrawPicture(dot, MakeRect(0, 0, 1, 1));
  DrawPicture(pic, MakeRect(1, 1, 5, 5));
  const uint32_t want[2][2] = {{0xFF000001u, kWhitePixel}, {0x80FF7F7Fu, 0xFF000004u}};
  canvas.ForEach([&](int h, int v) {
    EXPECT_EQ(canvas.At(h, v), h && v ? want[(v - 1) / 2][(h - 1) / 2] : h + v ? kWhitePixel : 0xFF80007Fu);
  });
  DrawPicture(pic, MakeRect(-30000, -30000, 30000, 30000));
  KillPicture(dot);
  KillPicture(pic);
  PicHandle read = ReadPicturePng(draw_test::SourcePath("resources/ppat_250.png").c_str());
  EXPECT_TRUE(read && EqualRect(read->frame, MakeRect(0, 0, 16, 16)) && read->pixels[0] == 0xFFCCFFFFu);
  KillPicture(read);  // a PNG without alpha reads opaque
  for (int n = 1; n <= 2; ++n) {
    draw_test::Refusal refusal(n);
    EXPECT_EQ(NewPicture(raster, 1, 1), nullptr);
    EXPECT_EQ(draw_test::FailingAllocator::live, 0);
  }
}
