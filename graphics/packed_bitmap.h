// Coverage bitmaps of the 2D graph kinds: two bits a pixel, four pixels a byte, the leftmost
// pixel in the two highest bits. Invariant: base holds rowBytes x height(bounds) bytes and
// rowBytes >= ceil(width / 4). Every operation touches only pixels inside the bounds.
#pragma once

#include <cstdint>

#include "graphics/packed_color.h"

struct PackedBitmap {
  uint8_t* base;
  int32_t rowBytes;
  QDRect bounds;  // pixel coordinates of the bitmap
};

// Row bytes of the 2D kinds' coverage bitmaps, width pixels wide: whole 32-bit words of 16
// pixels and one word more, so rows start word-aligned. A width of 0 or less gives one word.
inline int32_t PackedBitmapRowBytes(int32_t width) { return 4 * ((width > 0 ? width : 0) / 16) + 4; }

uint32_t GetPackedPixel(const PackedBitmap& bm, int32_t h, int32_t v);  // 0 outside
void SetPackedPixel(const PackedBitmap& bm, int32_t h, int32_t v, uint32_t value);

// Sets every pixel of rect (clipped to the bounds) to value & 3; other pixels keep their bits.
void FillPackedBitmapRect(const PackedBitmap& bm, const QDRect& rect, uint32_t value);
// Moves the content by dh pixels (right when positive) and dv rows (down when positive);
// uncovered pixels become 0; |dh| >= width or |dv| >= height clears everything. Rows move
// whole (their spare bytes with them); a sideways move leaves the bits past the width alone.
void ScrollPackedBitmap(const PackedBitmap& bm, int32_t dh, int32_t dv);
// Copies the pixels of srcRect so that its top-left lands at dstTopLeft; only the copied
// pixels change, and only pixels inside both bitmaps are read or written.
void CopyPackedBitmapRect(const PackedBitmap& dst, QDPoint dstTopLeft, const PackedBitmap& src, const QDRect& srcRect);
// Draws the coverage of srcRect into dstRect of a 32-bit port (same size; the part outside
// either is skipped): 0 keeps the pixel; 1 the colour lightened half way to white, 2 grey,
// 3 the colour, each scaled by the luminance of the pixel beneath as in ShadePixelByLuminance.
void BlitPackedBitmapShaded(const PackedBitmap& bits, Port* port, const QDRect& srcRect, const QDRect& dstRect,
                            PackedRGB color);
// The same into the current port; nothing when the rectangles differ in size.
void BlitPixelsToPortSameSize(const PackedBitmap& bits, const QDRect& srcRect, PackedRGB color, const QDRect& dstRect);
