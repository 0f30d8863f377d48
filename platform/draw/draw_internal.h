// Private helpers of the drawing layer: the one place that clips a row span to a port's bounds
// and clip region. Every primitive draws through ForClippedSpan, which is what keeps all reads
// and writes inside the buffer; a drawing call walks its rows with one RegionCursor, so a fill
// costs rows + clip bands, not rows x bands.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/draw/port.h"

namespace draw_detail {

inline int32_t FloorMod(int32_t a, int32_t m) {
  int32_t r = a % m;
  return r < 0 ? r + m : r;
}

// The first pixel of row y, which must lie inside the port's bounds.
inline uint32_t* RowAt(const Port* port, int32_t y) { return PixelAddress(port, port->bounds.left, y); }

// Calls f(p, x0, x1, y) for every piece of the half-open span [x0, x1) of row y that lies inside
// the port's bounds and clip, left to right (right to left when rightToLeft); p points at the
// pixel of local column x0. `clip` follows the walk over the port's clip region.
template <class F>
void ForClippedSpan(const Port* port, RegionCursor& clip, int32_t y, int32_t x0, int32_t x1, F&& f,
                    bool rightToLeft = false) {
  const QDRect& b = port->bounds;
  if (y < b.top || y >= b.bottom) return;
  x0 = std::max<int32_t>(x0, b.left);
  x1 = std::min<int32_t>(x1, b.right);
  if (x0 >= x1) return;
  uint32_t* row = RowAt(port, y);
  if (!port->clip) {
    f(row + (x0 - b.left), x0, x1, y);
    return;
  }
  int32_t n = 0;
  const int16_t* spans = RegionSpansAt(port->clip, y, &n, &clip);
  for (int32_t k = 0; k < n; ++k) {
    int32_t i = rightToLeft ? n - 1 - k : k;
    int32_t a = std::max<int32_t>(x0, spans[2 * i]);
    int32_t c = std::min<int32_t>(x1, spans[2 * i + 1]);
    if (a < c) f(row + (a - b.left), a, c, y);
  }
}

// Applies a pattern transfer mode to the span: copy (bit ? fore : back), or (bit ? fore : keep),
// xor (bit ? invert : keep), bic (bit ? back : keep). Written pixels carry alpha 0.
void PatternSpan(const Port* port, RegionCursor& clip, int32_t y, int32_t x0, int32_t x1, const Pattern8& pat,
                 int32_t mode);

}  // namespace draw_detail
