// Coverage bitmaps against pixel-by-pixel models: fills at every alignment, scrolls by every
// shift, copies between and within bitmaps, and the byte-skipping shaded blit; bytes past the
// width are no pixels and stay as they were.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "graphics/packed_bitmap.h"
#include "graphics/pixel_routines.h"
#include "tests/graphics/graphics_test_support.h"

using draw_test::Canvas;

namespace {

// A bitmap of random bytes with `slack` spare bytes a row; remembers its bytes as made.
struct Bitmap {
  std::vector<uint8_t> bytes, before;
  PackedBitmap bm;
  Bitmap(int width, int height, int left, int top, int slack, std::mt19937& rng)
      : bytes(size_t((width + 3) / 4 + slack) * size_t(height)),
        bm{nullptr, (width + 3) / 4 + slack, MakeRect(left, top, left + width, top + height)} {
    for (uint8_t& byte : bytes) byte = uint8_t(rng());
    before = bytes;
    bm.base = bytes.data();
  }
  int Width() const { return RectWidth(bm.bounds); }
  // Pixel values row by row, indexed from the top-left.
  std::vector<uint32_t> Pixels() const {
    std::vector<uint32_t> out;
    for (int v = bm.bounds.top; v < bm.bounds.bottom; ++v)
      for (int h = bm.bounds.left; h < bm.bounds.right; ++h) out.push_back(GetPackedPixel(bm, h, v));
    return out;
  }
  // The bits past the width in each row's last byte, and the spare bytes, as they were made.
  bool PaddingKept() const {
    int used = (Width() + 3) / 4;
    uint8_t tail = uint8_t((1u << (2 * (4 * used - Width()))) - 1);
    for (size_t row = 0; row < bytes.size(); row += size_t(bm.rowBytes)) {
      if ((bytes[row + used - 1] & tail) != (before[row + used - 1] & tail)) return false;
      if (!std::equal(bytes.begin() + long(row) + used, bytes.begin() + long(row) + bm.rowBytes,
                      before.begin() + long(row) + used))
        return false;
    }
    return true;
  }
};

}  // namespace

// The layout puts the leftmost pixel in the two highest bits of a byte. Against the model: every
// alignment of both edges, one byte or many, rectangles reaching past the bounds.
TEST(PackedBitmaps, FillAgreesWithAModelAtEveryAlignment) {
  std::mt19937 rng(5);
  Bitmap layout(8, 2, 10, 20, 0, rng);
  FillPackedBitmapRect(layout.bm, MakeRect(0, 0, 100, 100), 0);
  FillPackedBitmapRect(layout.bm, MakeRect(11, 20, 13, 21), 3);
  FillPackedBitmapRect(layout.bm, MakeRect(-100, 21, 11, 100), 2);  // clipped to column 10, row 21
  EXPECT_EQ(layout.bytes, (std::vector<uint8_t>{0x3C, 0x00, 0x80, 0x00}));
  for (int left = -2; left < 14; ++left)
    for (int right = left + 1; right <= 16; ++right) {
      Bitmap b(13, 2, 0, 0, 1, rng);
      std::vector<uint32_t> model = b.Pixels();
      uint32_t value = uint32_t(left + right) & 3;
      FillPackedBitmapRect(b.bm, MakeRect(left, 1, right, 5), value);
      for (int k = 13; k < 26; ++k) model[size_t(k)] = k - 13 >= left && k - 13 < right ? value : model[size_t(k)];
      ASSERT_EQ(b.Pixels(), model) << left << ".." << right;
      ASSERT_TRUE(b.PaddingKept()) << left << ".." << right;
    }
}

// Content moves by (dh, dv) and what is uncovered clears, for widths that end at every place in
// a byte; a shift of a whole side or more clears everything, spare bytes too.
TEST(PackedBitmaps, ScrollAgreesWithAModelForEveryShift) {
  std::mt19937 rng(3);
  for (int width : {9, 10, 11, 12, 13})
    for (int dh = -14; dh <= 14; ++dh)
      for (int dv = -4; dv <= 4; ++dv) {
        Bitmap b(width, 4, 5, 7, 1, rng);
        std::vector<uint32_t> model = b.Pixels(), want;
        ScrollPackedBitmap(b.bm, dh, dv);
        for (int v = 0; v < 4; ++v)
          for (int h = 0; h < width; ++h) {
            int sh = h - dh, sv = v - dv;
            bool kept = sh >= 0 && sh < width && sv >= 0 && sv < 4 && std::abs(dh) < width;
            want.push_back(kept ? model[size_t(sv * width + sh)] : 0u);
          }
        ASSERT_EQ(b.Pixels(), want) << width << ": " << dh << "," << dv;
        if (std::abs(dv) >= 4 || std::abs(dh) >= width) {
          ASSERT_EQ(b.bytes, std::vector<uint8_t>(b.bytes.size(), 0));
        } else if (dv == 0) {  // rows moved whole take their padding with them
          ASSERT_TRUE(b.PaddingKept()) << width << ": " << dh;
        }
      }
}

// Pixels of srcRect land at dstTopLeft where they lie inside both bitmaps, nothing else changes,
// nothing past the source is read, and within one bitmap a copy acts as if through a temporary.
TEST(PackedBitmaps, CopyAgreesWithAModelBetweenAndWithinBitmaps) {
  std::mt19937 rng(9);
  for (int trial = 0; trial < 300; ++trial) {
    Bitmap src(5 + trial % 7, 3, 2, 1, 0, rng), other(9, 4, 0, 0, 0, rng);
    Bitmap& dst = trial % 3 ? other : src;
    std::uniform_int_distribution<int> at(-3, 10);
    QDRect srcRect = MakeRect(at(rng), at(rng), at(rng), at(rng));
    QDPoint to = MakePoint(at(rng), at(rng));
    std::vector<uint32_t> from = src.Pixels(), want = dst.Pixels();
    CopyPackedBitmapRect(dst.bm, to, src.bm, srcRect);
    const QDRect &sb = src.bm.bounds, &db = dst.bm.bounds;
    for (int v = db.top; v < db.bottom; ++v)
      for (int h = db.left; h < db.right; ++h) {
        int sh = h - to.h + srcRect.left, sv = v - to.v + srcRect.top;
        if (PtInRect(MakePoint(sh, sv), srcRect) && PtInRect(MakePoint(sh, sv), sb))
          want[size_t((v - db.top) * dst.Width() + h - db.left)] =
              from[size_t((sv - sb.top) * src.Width() + sh - sb.left)];
      }
    ASSERT_EQ(dst.Pixels(), want) << trial;
    ASSERT_TRUE(dst.PaddingKept()) << trial;
  }
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
    Bitmap bits(11, 6, 2, 3, 0, rng);
    for (uint8_t& byte : bits.bytes) byte = rng() % 3 ? byte : 0;  // runs of empty bytes are skipped
    Canvas canvas(9, 7, -1, 1);
    canvas.Fill([&](int, int) { return rng() % 4 ? uint32_t(rng()) & 0xFFFFFF : 0xCCFFFFu; });
    std::vector<uint32_t> before = canvas.Pixels();
    int sl = int(rng() % 9), st = int(rng() % 7), dl = int(rng() % 9) - 3, dt = int(rng() % 7) - 1;
    QDRect srcRect = MakeRect(sl, st, sl + 8, st + 6), dstRect = MakeRect(dl, dt, dl + 8, dt + 6);
    BlitPixelsToPortSameSize(bits.bm, MakeRect(sl, st, sl + 7, st + 6), color, dstRect);  // sizes differ: nothing
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
