// Coverage bitmaps. Pixels are addressed one at a time through GetPackedPixel/SetPackedPixel,
// which check the bounds; this keeps every operation exact at the byte edges (only the pixels
// named change) and makes reading past a row or the buffer impossible.
#include "graphics/packed_bitmap.h"

#include <algorithm>
#include <cstring>

#include "graphics/pixel_routines.h"

namespace {

inline bool Inside(const PackedBitmap& bm, int32_t h, int32_t v) {
  return v >= bm.bounds.top && v < bm.bounds.bottom && h >= bm.bounds.left && h < bm.bounds.right;
}

inline uint8_t* ByteOf(const PackedBitmap& bm, int32_t h, int32_t v, int32_t* shift) {
  int32_t x = h - bm.bounds.left;
  *shift = 6 - 2 * (x & 3);
  return bm.base + int64_t(v - bm.bounds.top) * bm.rowBytes + (x >> 2);
}

inline uint32_t LightenHalf(uint32_t c) { return (c + 255) >> 1; }

}  // namespace

uint32_t GetPackedPixel(const PackedBitmap& bm, int32_t h, int32_t v) {
  if (!bm.base || !Inside(bm, h, v)) return 0;
  int32_t shift = 0;
  const uint8_t* byte = ByteOf(bm, h, v, &shift);
  return uint32_t(*byte) >> shift & 3u;
}

void SetPackedPixel(const PackedBitmap& bm, int32_t h, int32_t v, uint32_t value) {
  if (!bm.base || !Inside(bm, h, v)) return;
  int32_t shift = 0;
  uint8_t* p = ByteOf(bm, h, v, &shift);
  *p = uint8_t((*p & ~(3u << shift)) | (value & 3u) << shift);
}

void FillPackedBitmapRect(const PackedBitmap& bm, const QDRect& rect, uint32_t value) {
  QDRect r;
  if (!bm.base || !SectRect(rect, bm.bounds, &r)) return;
  for (int32_t v = r.top; v < r.bottom; ++v)
    for (int32_t h = r.left; h < r.right; ++h) SetPackedPixel(bm, h, v, value);
}

void ScrollPackedBitmap(const PackedBitmap& bm, int32_t dh, int32_t dv) {
  if (!bm.base) return;
  int32_t width = RectWidth(bm.bounds), height = RectHeight(bm.bounds);
  if (width <= 0 || height <= 0) return;
  if (std::abs(dh) >= width || std::abs(dv) >= height) {
    std::memset(bm.base, 0, size_t(bm.rowBytes) * size_t(height));
    return;
  }
  if (dv != 0) {
    int32_t keep = height - std::abs(dv);
    uint8_t* from = bm.base + int64_t(dv > 0 ? 0 : -dv) * bm.rowBytes;
    uint8_t* to = bm.base + int64_t(dv > 0 ? dv : 0) * bm.rowBytes;
    std::memmove(to, from, size_t(keep) * size_t(bm.rowBytes));
    uint8_t* cleared = dv > 0 ? bm.base : bm.base + int64_t(keep) * bm.rowBytes;
    std::memset(cleared, 0, size_t(std::abs(dv)) * size_t(bm.rowBytes));
  }
  if (dh == 0) return;
  const QDRect& b = bm.bounds;
  for (int32_t v = b.top; v < b.bottom; ++v) {
    if (dh > 0) {
      for (int32_t h = b.right - 1; h >= b.left; --h) SetPackedPixel(bm, h, v, h - dh >= b.left ? GetPackedPixel(bm, h - dh, v) : 0);
    } else {
      for (int32_t h = b.left; h < b.right; ++h) SetPackedPixel(bm, h, v, h - dh < b.right ? GetPackedPixel(bm, h - dh, v) : 0);
    }
  }
}

void CopyPackedBitmapRect(const PackedBitmap& dst, QDPoint dstTopLeft, const PackedBitmap& src, const QDRect& srcRect) {
  if (!dst.base || !src.base || EmptyRect(srcRect)) return;
  bool same = dst.base == src.base;
  int32_t height = RectHeight(srcRect), width = RectWidth(srcRect);
  int32_t dh = dstTopLeft.h - srcRect.left, dv = dstTopLeft.v - srcRect.top;
  // Within one bitmap, walk away from the overlap.
  bool up = same && dv > 0, back = same && dh > 0;
  for (int32_t k = 0; k < height; ++k) {
    int32_t v = srcRect.top + (up ? height - 1 - k : k);
    for (int32_t t = 0; t < width; ++t) {
      int32_t h = srcRect.left + (back ? width - 1 - t : t);
      if (!Inside(src, h, v) || !Inside(dst, h + dh, v + dv)) continue;
      SetPackedPixel(dst, h + dh, v + dv, GetPackedPixel(src, h, v));
    }
  }
}

void BlitPackedBitmapShaded(const PackedBitmap& bits, Port* port, const QDRect& srcRect, const QDRect& dstRect,
                            PackedRGB color) {
  if (!port || !bits.base) return;
  uint32_t cr = color >> 16 & 0xFF, cg = color >> 8 & 0xFF, cb = color & 0xFF;
  int32_t rows = std::min(RectHeight(srcRect), RectHeight(dstRect));
  int32_t cols = std::min(RectWidth(srcRect), RectWidth(dstRect));
  for (int32_t i = 0; i < rows; ++i) {
    for (int32_t j = 0; j < cols; ++j) {
      uint32_t value = GetPackedPixel(bits, srcRect.left + j, srcRect.top + i);
      if (value == 0) continue;
      uint32_t* p = PixelAddress(port, dstRect.left + j, dstRect.top + i);
      if (!p) continue;
      uint32_t l = ShadeLuminance(*p);
      uint32_t r = cr, g = cg, b = cb;
      if (value == 1) {
        r = LightenHalf(r);
        g = LightenHalf(g);
        b = LightenHalf(b);
      } else if (value == 2) {
        r = g = b = 255;
      }
      *p = ((l * r) >> 8) << 16 | ((l * g) >> 8) << 8 | ((l * b) >> 8);
    }
  }
}

void BlitPixelsToPortSameSize(const PackedBitmap& bits, const QDRect& srcRect, PackedRGB color, const QDRect& dstRect) {
  if (RectWidth(srcRect) != RectWidth(dstRect) || RectHeight(srcRect) != RectHeight(dstRect)) return;
  BlitPackedBitmapShaded(bits, GetPort(), srcRect, dstRect, color);
}
