// Coverage bitmaps: byte-exact fills at the edges, scrolling in every direction against a
// brute-force model, copies that change only the copied pixels, and the shaded blit.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "graphics/packed_bitmap.h"
#include "graphics/pixel_routines.h"
#include "tests/graphics/graphics_test_support.h"

using draw_test::Canvas;

namespace {

struct Bitmap {
  std::vector<uint8_t> bytes;
  PackedBitmap bm;
  Bitmap(int width, int height, int left = 0, int top = 0, int slack = 0)
      : bytes(size_t((width + 3) / 4 + slack) * size_t(height)),
        bm{nullptr, (width + 3) / 4 + slack, MakeRect(left, top, left + width, top + height)} {
    bm.base = bytes.data();
  }
};

}  // namespace

TEST(PackedBitmaps, FillChangesOnlyTheRectanglesPixels) {
  Bitmap one(12, 1);
  FillPackedBitmapRect(one.bm, MakeRect(1, 0, 3, 1), 3);
  EXPECT_EQ(one.bytes, (std::vector<uint8_t>{0x3C, 0x00, 0x00}));
  Bitmap three(12, 1);
  FillPackedBitmapRect(three.bm, MakeRect(0, 0, 12, 1), 1);
  FillPackedBitmapRect(three.bm, MakeRect(2, 0, 10, 1), 2);
  EXPECT_EQ(three.bytes, (std::vector<uint8_t>{0x5A, 0xAA, 0xA5}));
  Bitmap moved(8, 2, 10, 20);
  FillPackedBitmapRect(moved.bm, MakeRect(-100, 21, 11, 100), 3);  // clipped to column 10, row 21
  EXPECT_EQ(moved.bytes, (std::vector<uint8_t>{0x00, 0x00, 0xC0, 0x00}));
}

TEST(PackedBitmaps, ScrollMovesContentAndClearsWhatIsUncovered) {
  Bitmap b(8, 3, 0, 0, 1);  // one spare byte a row that must stay untouched by the pixels
  for (int v = 0; v < 3; ++v)
    for (int h = 0; h < 8; ++h) SetPackedPixel(b.bm, h, v, uint32_t((h + v) % 3 + 1));
  std::vector<uint8_t> start = b.bytes;
  ScrollPackedBitmap(b.bm, 1, 0);
  for (int v = 0; v < 3; ++v) {
    EXPECT_EQ(GetPackedPixel(b.bm, 0, v), 0u);
    for (int h = 1; h < 8; ++h) EXPECT_EQ(GetPackedPixel(b.bm, h, v), uint32_t((h - 1 + v) % 3 + 1));
  }
  b.bytes = start;
  ScrollPackedBitmap(b.bm, -1, 0);
  for (int v = 0; v < 3; ++v) {
    EXPECT_EQ(GetPackedPixel(b.bm, 7, v), 0u);
    for (int h = 0; h < 7; ++h) EXPECT_EQ(GetPackedPixel(b.bm, h, v), uint32_t((h + 1 + v) % 3 + 1));
  }
  b.bytes = start;
  ScrollPackedBitmap(b.bm, 0, 3);
  EXPECT_EQ(b.bytes, std::vector<uint8_t>(b.bytes.size(), 0));
}

// Floor semantics for negative shifts: compare against a pixel-by-pixel model.
TEST(PackedBitmaps, ScrollAgreesWithAModelForEveryShift) {
  std::mt19937 rng(3);
  for (int dh = -10; dh <= 10; ++dh)
    for (int dv = -4; dv <= 4; ++dv) {
      Bitmap b(9, 4, 5, 7);
      uint32_t model[4][9];
      for (int v = 0; v < 4; ++v)
        for (int h = 0; h < 9; ++h) {
          model[v][h] = rng() & 3;
          SetPackedPixel(b.bm, 5 + h, 7 + v, model[v][h]);
        }
      ScrollPackedBitmap(b.bm, dh, dv);
      for (int v = 0; v < 4; ++v)
        for (int h = 0; h < 9; ++h) {
          int sh = h - dh, sv = v - dv;
          uint32_t want = (sh >= 0 && sh < 9 && sv >= 0 && sv < 4 && std::abs(dh) < 9) ? model[sv][sh] : 0;
          ASSERT_EQ(GetPackedPixel(b.bm, 5 + h, 7 + v), want) << dh << "," << dv << " at " << h << "," << v;
        }
    }
}

TEST(PackedBitmaps, CopyChangesOnlyCopiedPixelsAndNeverReadsPastTheSource) {
  Bitmap src(5, 2);  // the last row ends mid-byte: nothing after it may be read
  for (int v = 0; v < 2; ++v)
    for (int h = 0; h < 5; ++h) SetPackedPixel(src.bm, h, v, 3);
  for (int offset = 0; offset < 4; ++offset) {
    Bitmap dst(12, 3);
    FillPackedBitmapRect(dst.bm, MakeRect(0, 0, 12, 3), 1);
    CopyPackedBitmapRect(dst.bm, MakePoint(offset + 2, 1), src.bm, MakeRect(1, 0, 5, 2));
    for (int v = 0; v < 3; ++v)
      for (int h = 0; h < 12; ++h) {
        bool copied = v >= 1 && h >= offset + 2 && h < offset + 6;
        ASSERT_EQ(GetPackedPixel(dst.bm, h, v), copied ? 3u : 1u) << offset << ": " << h << "," << v;
      }
  }
  // Reaching outside either bitmap copies only the part inside both.
  Bitmap dst(4, 2);
  CopyPackedBitmapRect(dst.bm, MakePoint(-2, -4), src.bm, MakeRect(-3, -3, 30, 30));  // dst = src + (1, -1)
  EXPECT_EQ(GetPackedPixel(dst.bm, 0, 0), 0u);
  EXPECT_EQ(GetPackedPixel(dst.bm, 1, 0), 3u);
  EXPECT_EQ(GetPackedPixel(dst.bm, 3, 0), 3u);
  EXPECT_EQ(GetPackedPixel(dst.bm, 1, 1), 0u);
  // Within one bitmap, overlapping moves behave as if through a copy.
  Bitmap same(8, 1);
  for (int h = 0; h < 8; ++h) SetPackedPixel(same.bm, h, 0, uint32_t(h % 4));
  CopyPackedBitmapRect(same.bm, MakePoint(1, 0), same.bm, MakeRect(0, 0, 7, 1));
  for (int h = 1; h < 8; ++h) EXPECT_EQ(GetPackedPixel(same.bm, h, 0), uint32_t((h - 1) % 4));
}

// Colour 0x204080. Lightened half way: 0x8F, 0x9F, 0xBF. Over 0x808080 L = 128:
// 1 -> 0x474F5F, 2 -> 0x7F7F7F, 3 -> 0x102040; over white and over the grid colour L = 256.
TEST(PackedBitmaps, ShadedBlitOverPaperGridAndGrey) {
  Bitmap bits(4, 3);
  for (int v = 0; v < 3; ++v)
    for (int h = 0; h < 4; ++h) SetPackedPixel(bits.bm, h, v, uint32_t(h));
  Canvas canvas(4, 3);
  for (int h = 0; h < 4; ++h) {
    canvas.Set(h, 1, 0x00CCFFFFu);
    canvas.Set(h, 2, 0x00808080u);
  }
  BlitPixelsToPortSameSize(bits.bm, MakeRect(0, 0, 4, 3), 0x204080, MakeRect(0, 0, 4, 3));
  const uint32_t want[3][4] = {{0x00FFFFFF, 0x008F9FBF, 0x00FFFFFF, 0x00204080},
                               {0x00CCFFFF, 0x008F9FBF, 0x00FFFFFF, 0x00204080},
                               {0x00808080, 0x00474F5F, 0x007F7F7F, 0x00102040}};
  for (int v = 0; v < 3; ++v)
    for (int h = 0; h < 4; ++h) EXPECT_EQ(canvas.At(h, v), want[v][h]) << h << "," << v;
  Canvas untouched(4, 3);
  BlitPixelsToPortSameSize(bits.bm, MakeRect(0, 0, 4, 3), 0x204080, MakeRect(0, 0, 3, 3));
  EXPECT_EQ(untouched.Count(draw_test::kWhitePixel), 12);
  BlitPackedBitmapShaded(bits.bm, untouched.gw(), MakeRect(-8, -8, 40, 40), MakeRect(-8, -8, 40, 40), 0);
  BlitPackedBitmapShaded(bits.bm, nullptr, MakeRect(0, 0, 4, 3), MakeRect(0, 0, 4, 3), 0);
}
