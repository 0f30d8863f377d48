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

// Content moves by (dh, dv) and what is uncovered clears, floor semantics for negative shifts:
// compare against a pixel-by-pixel model, for widths that end at every place in a byte. The bits past the width in the last byte and a spare byte per
// row are no pixels: a horizontal scroll neither reads nor changes them.
TEST(PackedBitmaps, ScrollAgreesWithAModelForEveryShift) {
  std::mt19937 rng(3);
  for (int width : {9, 10, 11, 12, 13})
    for (int dh = -14; dh <= 14; ++dh)
      for (int dv = -4; dv <= 4; ++dv) {
        Bitmap b(width, 4, 5, 7, 1);
        for (uint8_t& byte : b.bytes) byte = uint8_t(rng());
        std::vector<uint8_t> before = b.bytes;
        uint32_t model[4][13];
        for (int v = 0; v < 4; ++v)
          for (int h = 0; h < width; ++h) model[v][h] = GetPackedPixel(b.bm, 5 + h, 7 + v);
        ScrollPackedBitmap(b.bm, dh, dv);
        for (int v = 0; v < 4; ++v)
          for (int h = 0; h < width; ++h) {
            int sh = h - dh, sv = v - dv;
            bool kept = sh >= 0 && sh < width && sv >= 0 && sv < 4 && std::abs(dh) < width;
            ASSERT_EQ(GetPackedPixel(b.bm, 5 + h, 7 + v), kept ? model[sv][sh] : 0u)
                << width << ": " << dh << "," << dv << " at " << h << "," << v;
          }
        if (std::abs(dv) >= 4) {  // cleared whole, spare bytes too
          ASSERT_EQ(b.bytes, std::vector<uint8_t>(b.bytes.size(), 0));
        }
        if (dv != 0 || std::abs(dh) >= width) continue;  // rows moved or cleared whole
        int used = (width + 3) / 4, tail = 4 * used - width;
        uint8_t tailMask = uint8_t((1u << (2 * tail)) - 1);
        for (int v = 0; v < 4; ++v) {
          size_t last = size_t(v) * size_t(b.bm.rowBytes) + size_t(used - 1);
          ASSERT_EQ(b.bytes[last] & tailMask, before[last] & tailMask) << width << ": " << dh;
          ASSERT_EQ(b.bytes[last + 1], before[last + 1]) << width << ": " << dh;
        }
      }
}

// Byte-wise fills against a pixel model: every alignment of both edges, one byte or many,
// rectangles reaching past the bounds; the spare byte of each row is never written.
TEST(PackedBitmaps, FillAgreesWithAModelAtEveryAlignment) {
  std::mt19937 rng(5);
  for (int left = -2; left < 14; ++left)
    for (int right = left + 1; right <= 16; ++right) {
      Bitmap b(13, 2, 0, 0, 1);
      for (uint8_t& byte : b.bytes) byte = uint8_t(rng());
      std::vector<uint8_t> before = b.bytes;
      uint32_t model[2][13];
      for (int v = 0; v < 2; ++v)
        for (int h = 0; h < 13; ++h) model[v][h] = GetPackedPixel(b.bm, h, v);
      uint32_t value = uint32_t(left + right) & 3;
      FillPackedBitmapRect(b.bm, MakeRect(left, 1, right, 5), value);
      for (int v = 0; v < 2; ++v)
        for (int h = 0; h < 13; ++h) {
          bool inside = v == 1 && h >= left && h < right;
          ASSERT_EQ(GetPackedPixel(b.bm, h, v), inside ? value : model[v][h]) << left << ".." << right << " at " << h;
        }
      for (int v = 0; v < 2; ++v) {
        size_t last = size_t(v) * size_t(b.bm.rowBytes) + 3;
        ASSERT_EQ(b.bytes[last] & 0x3F, before[last] & 0x3F);  // pixels 13-15 lie past the width
        ASSERT_EQ(b.bytes[last + 1], before[last + 1]);
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

// The byte-skipping blit against the per-pixel definition, written out here: L from the
// background (256 on the grid colour), then 1 lightened colour, 2 white, 3 colour, each
// channel (L * c) >> 8; rectangles offset against each other and reaching past both sides.
TEST(PackedBitmaps, ShadedBlitAgreesWithThePixelDefinition) {
  std::mt19937 rng(11);
  const uint32_t color = 0x3A7FC4;
  auto expected = [&](uint32_t value, uint32_t under) {
    uint32_t r = under >> 16 & 0xFF, g = under >> 8 & 0xFF, b = under & 0xFF;
    uint32_t l = (under & 0xFFFFFF) == 0xCCFFFF ? 256 : (77 * r + 150 * g + 29 * b) / 255;
    uint32_t out = 0;
    for (int shift = 16; shift >= 0; shift -= 8) {
      uint32_t c = color >> shift & 0xFF;
      c = value == 1 ? (c + 255) >> 1 : value == 2 ? 255 : c;
      out |= ((l * c) >> 8) << shift;
    }
    return out;
  };
  for (int trial = 0; trial < 40; ++trial) {
    Bitmap bits(11, 6, 2, 3);
    for (uint8_t& byte : bits.bytes) byte = rng() % 3 ? uint8_t(rng()) : 0;
    Canvas canvas(9, 7, -1, 1);
    canvas.Fill([&](int, int) { return rng() % 4 ? uint32_t(rng()) & 0xFFFFFF : 0xCCFFFFu; });
    std::vector<uint32_t> before;
    canvas.ForEach([&](int h, int v) { before.push_back(canvas.At(h, v)); });
    int sl = int(rng() % 9), st = int(rng() % 7), dl = int(rng() % 9) - 3, dt = int(rng() % 7) - 1;
    QDRect srcRect = MakeRect(sl, st, sl + 8, st + 6), dstRect = MakeRect(dl, dt, dl + 8, dt + 6);
    BlitPixelsToPortSameSize(bits.bm, srcRect, color, dstRect);
    size_t k = 0;
    canvas.ForEach([&](int h, int v) {
      bool covered = h >= dl && h < dl + 8 && v >= dt && v < dt + 6;
      uint32_t value = covered ? GetPackedPixel(bits.bm, h - dl + sl, v - dt + st) : 0;  // 0 outside the bitmap too
      uint32_t under = before[k++];
      ASSERT_EQ(canvas.At(h, v), value ? expected(value, under) : under) << trial << " at " << h << "," << v;
    });
  }
}
