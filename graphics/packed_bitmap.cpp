// Coverage bitmaps. Fills, scrolls and blits walk whole bytes with edge masks (the hot paths of
// the relation graph); copies go pixel by pixel. Either way every range is clipped to the bounds
// first, so only pixels inside the bounds change and nothing past a row or the buffer is read.
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
  uint8_t fill = uint8_t((value & 3u) * 0x55u);
  int32_t x0 = r.left - bm.bounds.left, x1 = r.right - 1 - bm.bounds.left;
  int32_t first = x0 >> 2, last = x1 >> 2;
  // Write masks of the edge bytes: the pixels from x0 on, and the pixels up to x1.
  uint8_t firstMask = uint8_t(0xFFu >> (2 * (x0 & 3))), lastMask = uint8_t(0xFFu << (6 - 2 * (x1 & 3)));
  if (first == last) firstMask = lastMask = uint8_t(firstMask & lastMask);
  for (int32_t v = r.top; v < r.bottom; ++v) {
    uint8_t* row = bm.base + int64_t(v - bm.bounds.top) * bm.rowBytes;
    row[first] = uint8_t((row[first] & ~firstMask) | (fill & firstMask));
    if (last > first) {
      std::memset(row + first + 1, fill, size_t(last - first - 1));
      row[last] = uint8_t((row[last] & ~lastMask) | (fill & lastMask));
    }
  }
}

namespace {

// Shifts one row of n bytes by dh pixels (right when positive), zero-filling what is vacated.
// Bytes are visited away from the shift, so each source byte is read before it is overwritten.
void ShiftRow(uint8_t* row, int32_t n, int32_t dh) {
  int32_t q = (dh > 0 ? dh : -dh) >> 2, s = 2 * ((dh > 0 ? dh : -dh) & 3);
  auto at = [&](int32_t k) -> uint32_t { return k >= 0 && k < n ? row[k] : 0u; };
  if (dh > 0) {
    for (int32_t k = n - 1; k >= 0; --k)
      row[k] = uint8_t(s ? (at(k - q) >> s | at(k - q - 1) << (8 - s)) : at(k - q));
  } else {
    for (int32_t k = 0; k < n; ++k)
      row[k] = uint8_t(s ? (at(k + q) << s | at(k + q + 1) >> (8 - s)) : at(k + q));
  }
}

}  // namespace

void ScrollPackedBitmap(const PackedBitmap& bm, int32_t dh, int32_t dv) {
  if (!bm.base) return;
  int64_t width = RectWidth(bm.bounds), height = RectHeight(bm.bounds);
  if (width <= 0 || height <= 0) return;
  if (std::abs(int64_t(dh)) >= width || std::abs(int64_t(dv)) >= height) {
    std::memset(bm.base, 0, size_t(bm.rowBytes) * size_t(height));
    return;
  }
  if (dv != 0) {
    int64_t keep = height - std::abs(dv);
    uint8_t* from = bm.base + int64_t(dv > 0 ? 0 : -dv) * bm.rowBytes;
    uint8_t* to = bm.base + int64_t(dv > 0 ? dv : 0) * bm.rowBytes;
    std::memmove(to, from, size_t(keep) * size_t(bm.rowBytes));
    uint8_t* cleared = dv > 0 ? bm.base : bm.base + keep * bm.rowBytes;
    std::memset(cleared, 0, size_t(std::abs(dv)) * size_t(bm.rowBytes));
  }
  if (dh == 0) return;
  // The pixels of the last byte that lie past the width are no content: they are taken out
  // before the shift (so nothing moves in from them) and put back after it.
  int32_t n = int32_t((width + 3) / 4);
  uint8_t tail = uint8_t(0xFFu >> (2 * (width - 4 * (n - 1))));
  for (int64_t v = 0; v < height; ++v) {
    uint8_t* row = bm.base + v * bm.rowBytes;
    uint8_t kept = row[n - 1] & tail;
    row[n - 1] &= uint8_t(~tail);
    ShiftRow(row, n, dh);
    row[n - 1] = uint8_t((row[n - 1] & ~tail) | kept);
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
  const QDRect &bb = bits.bounds, &pb = port->bounds;
  // Offsets (i, j) from the rectangles' top-left whose source and destination pixels both exist.
  int32_t i0 = std::max({0, bb.top - srcRect.top, pb.top - dstRect.top});
  int32_t i1 = std::min({RectHeight(srcRect), RectHeight(dstRect), bb.bottom - srcRect.top, pb.bottom - dstRect.top});
  int32_t j0 = std::max({0, bb.left - srcRect.left, pb.left - dstRect.left});
  int32_t j1 = std::min({RectWidth(srcRect), RectWidth(dstRect), bb.right - srcRect.left, pb.right - dstRect.left});
  if (i0 >= i1 || j0 >= j1) return;
  uint32_t light = LightenHalf(color >> 16 & 0xFF) << 16 | LightenHalf(color >> 8 & 0xFF) << 8 | LightenHalf(color & 0xFF);
  const uint32_t tint[4] = {0, light, 0xFFFFFFu, color & 0xFFFFFFu};  // grey is white shaded by L
  for (int32_t i = i0; i < i1; ++i) {
    const uint8_t* row = bits.base + int64_t(srcRect.top + i - bb.top) * bits.rowBytes;
    uint32_t* first = PixelAddress(port, dstRect.left + j0, dstRect.top + i);
    for (int32_t j = j0; j < j1;) {
      int32_t x = srcRect.left + j - bb.left;
      uint32_t byte = row[x >> 2];
      if (byte == 0) {  // four empty pixels at a time
        j += 4 - (x & 3);
        continue;
      }
      uint32_t value = byte >> (6 - 2 * (x & 3)) & 3u;
      if (value) {
        uint32_t* p = first + (j - j0);
        *p = ShadePixelByLuminance(tint[value], *p);
      }
      ++j;
    }
  }
}

void BlitPixelsToPortSameSize(const PackedBitmap& bits, const QDRect& srcRect, PackedRGB color, const QDRect& dstRect) {
  if (RectWidth(srcRect) != RectWidth(dstRect) || RectHeight(srcRect) != RectHeight(dstRect)) return;
  BlitPackedBitmapShaded(bits, GetPort(), srcRect, dstRect, color);
}
