// Pictures: read from PNG, drawn scaled by nearest neighbour and composited by alpha.
#include <gtest/gtest.h>

#include "platform/draw/picture.h"
#include "tests/platform/draw_test_support.h"

using draw_test::Canvas;
using draw_test::kWhitePixel;

TEST(DrawPictures, ReadFromPngWithItsFrame) {
  PicHandle pic = ReadPicturePng(draw_test::SourcePath("resources/ppat_250.png").c_str());
  ASSERT_NE(pic, nullptr);
  EXPECT_TRUE(EqualRect(pic->frame, MakeRect(0, 0, 16, 16)));
  EXPECT_EQ(pic->pixels[0], 0xFFCCFFFFu);  // PNG without alpha reads opaque
  EXPECT_EQ(pic->pixels[17], 0xFFFFFFFFu);
  Canvas canvas(16, 16);
  DrawPicture(pic, MakeRect(0, 0, 16, 16));
  EXPECT_EQ(canvas.At(0, 5), 0xFFCCFFFFu);  // an opaque picture leaves opaque pixels
  EXPECT_EQ(canvas.At(5, 5), 0xFFFFFFFFu);
  KillPicture(pic);
  const uint8_t junk[] = {0x89, 'P', 'N', 'G', 1, 2, 3, 4, 5, 6};
  EXPECT_EQ(ReadPicturePngMemory(junk, sizeof junk), nullptr);
  EXPECT_EQ(ReadPicturePng("/nonexistent.png"), nullptr);
  EXPECT_EQ(NewPicture(nullptr, 2, 2), nullptr);
}

// Alpha 0x80 red over white: red (255 * 128 + 255 * 127 + 127) / 255 = 255, green and blue
// (255 * 127 + 127) / 255 = 127; over the erased buffer (alpha 0) the alpha byte is 0x80 itself.
TEST(DrawPictures, ScaledDrawingDoublesPixelsAndBlendsByAlpha) {
  const uint32_t raster[4] = {0xFF000001u, 0x00000002u, 0x80FF0000u, 0xFF000004u};
  PicHandle pic = NewPicture(raster, 2, 2);
  ASSERT_NE(pic, nullptr);
  Canvas canvas(5, 5);
  DrawPicture(pic, MakeRect(1, 1, 5, 5));
  const uint32_t want[2][2] = {{0xFF000001u, kWhitePixel}, {0x80FF7F7Fu, 0xFF000004u}};
  canvas.ForEach([&](int h, int v) {
    EXPECT_EQ(canvas.At(h, v), h && v ? want[(v - 1) / 2][(h - 1) / 2] : kWhitePixel) << h << "," << v;
  });
  // Half red over opaque blue stays opaque (0x80 + (0xFF * 0x7F + 127) / 0xFF = 0xFF); red
  // (255 * 128 + 127) / 255 = 128, blue (255 * 127 + 127) / 255 = 127.
  canvas.Set(0, 0, 0xFF0000FFu);
  const uint32_t translucent[1] = {0x80FF0000u};
  PicHandle dot = NewPicture(translucent, 1, 1);
  ASSERT_NE(dot, nullptr);
  DrawPicture(dot, MakeRect(0, 0, 1, 1));
  EXPECT_EQ(canvas.At(0, 0), 0xFF80007Fu);
  KillPicture(dot);
  DrawPicture(pic, MakeRect(-30000, -30000, 30000, 30000));
  DrawPicture(pic, MakeRect(3, 3, 3000, 3000));
  DrawPicture(pic, MakeRect(4, 4, 2, 2));
  KillPicture(pic);
}

TEST(DrawPictures, RefusedMemoryLeavesNothing) {
  const uint32_t raster[1] = {0};
  for (int n = 1; n <= 2; ++n) {
    draw_test::Refusal refusal(n);
    EXPECT_EQ(NewPicture(raster, 1, 1), nullptr);
    EXPECT_EQ(draw_test::FailingAllocator::live, 0);
  }
}
