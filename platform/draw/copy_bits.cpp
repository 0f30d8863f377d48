// CopyBits: one loop over the destination's clipped spans with the source position derived per
// pixel; rows and columns are visited in the order that keeps same-port overlaps intact.
#include "platform/draw/copy_bits.h"

#include "platform/draw/draw_internal.h"

namespace {

uint32_t BlendChannel(uint32_t s8, uint32_t d8, uint32_t w) {
  uint32_t s16 = s8 * 257u, d16 = d8 * 257u;
  uint64_t mixed = (uint64_t(s16) * w + uint64_t(d16) * (65535u - w)) / 65535u;
  return uint32_t(mixed >> 8) & 0xFFu;
}

uint32_t BlendPixel(uint32_t s, uint32_t d, const RGBColor16& op) {
  return BlendChannel(s >> 16 & 0xFF, d >> 16 & 0xFF, op.red) << 16 |
         BlendChannel(s >> 8 & 0xFF, d >> 8 & 0xFF, op.green) << 8 | BlendChannel(s & 0xFF, d & 0xFF, op.blue);
}

// Source coordinate of destination index i (0-based) when n destination pixels map onto m source ones.
inline int32_t ScaledIndex(int32_t i, int32_t n, int32_t m) {
  return n == m ? i : int32_t((int64_t(2 * i + 1) * m) / (2 * int64_t(n)));
}

}  // namespace

void CopyBits(const Port* src, Port* dst, const QDRect& srcRect, const QDRect& dstRect, int32_t mode) {
  if (!src || !dst || EmptyRect(srcRect) || EmptyRect(dstRect)) return;
  int32_t sw = RectWidth(srcRect), sh = RectHeight(srcRect);
  int32_t dw = RectWidth(dstRect), dh = RectHeight(dstRect);
  const QDRect& sb = src->bounds;
  bool blend = mode == kBlend;
  RGBColor16 op = dst->opColor;
  // Same port, same size: walk away from the overlap.
  bool upward = src == dst && sh == dh && dstRect.top > srcRect.top;
  bool leftward = src == dst && sw == dw && dstRect.left > srcRect.left;
  RegionCursor clip;
  for (int32_t k = 0; k < dh; ++k) {
    int32_t i = upward ? dh - 1 - k : k;
    int32_t y = dstRect.top + i;
    int32_t sy = srcRect.top + ScaledIndex(i, dh, sh);
    if (sy < sb.top || sy >= sb.bottom) continue;
    const uint32_t* srow = draw_detail::RowAt(src, sy);
    auto copySpan = [&](uint32_t* p, int32_t a, int32_t c, int32_t) {
      for (int32_t t = 0; t < c - a; ++t) {
        int32_t x = leftward ? c - 1 - t : a + t;
        int32_t sx = srcRect.left + ScaledIndex(x - dstRect.left, dw, sw);
        if (sx < sb.left || sx >= sb.right) continue;
        uint32_t s = srow[sx - sb.left];
        uint32_t* d = p + (x - a);
        *d = blend ? BlendPixel(s, *d, op) : (s & 0x00FFFFFFu);
      }
    };
    draw_detail::ForClippedSpan(dst, clip, y, dstRect.left, dstRect.right, copySpan, leftward);
  }
}
