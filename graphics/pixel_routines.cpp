// Pixel routines on the current 32-bit buffer. Each routine reaches pixels only through
// PixelAt, which answers null outside the buffer, so no rectangle can push a read or write out;
// the routines without a rectangle of their own keep to the port's clip.
#include "graphics/pixel_routines.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "graphics/port_save.h"

namespace {

inline uint32_t* PixelAt(Port* port, int32_t h, int32_t v) { return PixelAddress(port, h, v); }

// What the routines without a rectangle of their own may write: the port's clip (its bounding
// box) within its bounds. A view's drawing clips the port to the view, so an arrow or an axis
// tick running past the view's edge stops there rather than on a neighbouring pane.
QDRect DrawableRect(const Port* port) {
  const QDRect& b = port->bounds;
  if (port->clip == nullptr) return b;
  const QDRect& c = port->clip->bbox;
  return QDRect{std::max(b.top, c.top), std::max(b.left, c.left), std::min(b.bottom, c.bottom),
                std::min(b.right, c.right)};
}

inline bool InsideRect(const QDRect& r, int32_t h, int32_t v) {
  return v >= r.top && v < r.bottom && h >= r.left && h < r.right;
}

void ShadeAt(Port* port, const QDRect& rect, int32_t h, int32_t v, uint32_t color) {
  if (!InsideRect(rect, h, v)) return;
  if (uint32_t* p = PixelAt(port, h, v)) *p = ShadePixelByLuminance(color, *p);
}

inline int32_t FloorMod(int32_t a, int32_t m) {
  int32_t r = a % m;
  return r < 0 ? r + m : r;
}

// Shades every step-th point from p1 to p2 along p1's row (horizontal) or column, inside rect. A
// span of one point is that point whatever the step.
void ShadeSpan(const QDRect& rect, QDPoint p1, QDPoint p2, PackedRGB color, int32_t step, bool horizontal) {
  Port* port = GetPort();
  const int32_t across = horizontal ? p1.v : p1.h;
  const int32_t acrossLo = horizontal ? rect.top : rect.left, acrossHi = horizontal ? rect.bottom : rect.right;
  if (!port || across < acrossLo || across >= acrossHi) return;
  const int32_t a = horizontal ? p1.h : p1.v, b = horizontal ? p2.h : p2.v;
  const int32_t lo = horizontal ? rect.left : rect.top, hi = horizontal ? rect.right : rect.bottom;
  const int32_t from = std::max(std::min(a, b), lo), to = std::min(std::max(a, b), hi - 1);
  if (step < 1) step = 1;
  for (int64_t x = from; x <= to; x += step) {
    const auto along = static_cast<int32_t>(x);
    ShadeAt(port, rect, horizontal ? along : across, horizontal ? across : along, color);
  }
}

// (x + y + 1) >> 1 in each of the four bytes at once.
inline uint32_t AverageBytes(uint32_t x, uint32_t y) { return (x | y) - (((x ^ y) >> 1) & 0x7F7F7F7Fu); }

}  // namespace

void ShadeGWorldPixel(const QDRect& rect, QDPoint p, PackedRGB color) {
  if (Port* port = GetPort()) ShadeAt(port, rect, p.h, p.v, color);
}

void PlotSmallDot(const QDRect& rect, QDPoint p, PackedRGB color) {
  static constexpr int8_t kRing[14][2] = {{-1, -2}, {-1, -1}, {-1, 1}, {-1, 2}, {0, -3}, {0, 0}, {0, 3},
                                          {1, -3},  {1, 0},   {1, 3},  {2, -2}, {2, -1}, {2, 1}, {2, 2}};
  Port* port = GetPort();
  if (!port) return;
  for (const auto& o : kRing) ShadeAt(port, rect, p.h + o[1], p.v + o[0], color);
}

void ShadeHorizontalSpan(const QDRect& rect, QDPoint p1, QDPoint p2, PackedRGB color, int32_t step) {
  ShadeSpan(rect, p1, p2, color, step, true);
}

void ShadeVerticalSpan(const QDRect& rect, QDPoint p1, QDPoint p2, PackedRGB color, int32_t step) {
  ShadeSpan(rect, p1, p2, color, step, false);
}

QDPoint IntersectSegmentWithEdge(QDPoint p0, QDPoint p1, bool horizontalEdge, int32_t edge, int32_t lo, int32_t hi) {
  const QDPoint none{-1, -1};
  // Along: the coordinate that crosses the edge's line; across: the one found on the edge.
  double a0 = horizontalEdge ? p0.v : p0.h, a1 = horizontalEdge ? p1.v : p1.h;
  double s0 = horizontalEdge ? p0.h : p0.v, s1 = horizontalEdge ? p1.h : p1.v;
  if (a0 == a1) return none;
  if (edge < std::min(a0, a1) || edge > std::max(a0, a1)) return none;
  double s = s0 + (s1 - s0) / (a1 - a0) * (edge - a0) + 0.5;
  int32_t at = int32_t(s);  // truncation toward zero
  if (at < lo || at > hi) return none;
  return horizontalEdge ? MakePoint(at, edge) : MakePoint(edge, at);
}

QDPoint ClipSegmentEnd(const QDRect& rect, QDPoint p, QDPoint q) {
  const QDPoint none{-1, -1};
  int32_t top = rect.top, left = rect.left, bottom = rect.bottom - 1, right = rect.right - 1;
  if (bottom < top || right < left) return none;
  auto horizontal = [&](int32_t v) { return IntersectSegmentWithEdge(p, q, true, v, left, right); };
  auto vertical = [&](int32_t h) { return IntersectSegmentWithEdge(p, q, false, h, top, bottom); };
  auto found = [](QDPoint r) { return !(r.h == -1 && r.v == -1); };
  QDPoint r = none;
  if (q.v < top || q.v > bottom) {
    r = horizontal(q.v < top ? top : bottom);
    if (!found(r)) r = vertical(left);
    if (!found(r)) r = vertical(right);
    return r;
  }
  return q.h < rect.right ? vertical(left) : vertical(right);
}

void ShadeLineSegment(const QDRect& rect, QDPoint p1, QDPoint p2, PackedRGB color) {
  Port* port = GetPort();
  if (!port) return;
  if (p1.h == p2.h && p1.v == p2.v) {
    ShadeAt(port, rect, p1.h, p1.v, color);
    return;
  }
  auto outside = [&](QDPoint p) { return !InsideRect(rect, p.h, p.v); };
  auto none = [](QDPoint p) { return p.h == -1 && p.v == -1; };
  if (outside(p2)) {
    p2 = ClipSegmentEnd(rect, p1, p2);
    if (none(p2)) return;
  }
  if (outside(p1)) {
    p1 = ClipSegmentEnd(rect, p2, p1);
    if (none(p1)) return;
  }
  int32_t dh = p2.h - p1.h, dv = p2.v - p1.v;
  bool alongH = std::abs(dh) > std::abs(dv);
  QDPoint start = alongH ? (p1.h <= p2.h ? p1 : p2) : (p1.v <= p2.v ? p1 : p2);
  QDPoint end = (start.h == p1.h && start.v == p1.v) ? p2 : p1;
  if (alongH) {
    double slope = double(end.v - start.v) / double(end.h - start.h);
    for (int32_t h = start.h; h <= end.h; ++h)
      ShadeAt(port, rect, h, int32_t(start.v + slope * (h - start.h) + 0.5), color);
  } else {
    double slope = end.v == start.v ? 0.0 : double(end.h - start.h) / double(end.v - start.v);
    for (int32_t v = start.v; v <= end.v; ++v)
      ShadeAt(port, rect, int32_t(start.h + slope * (v - start.v) + 0.5), v, color);
  }
}

namespace {

// The column of an edge at row y: floor(x0 + (y - y0) dx / dy) for dy > 0 and y0 <= y < y0 + dy,
// exact in 128 bits (the product of two int32 differences needs 64 bits and a sign).
int64_t EdgeColumn(int64_t x0, int64_t y0, int64_t dx, int64_t dy, int64_t y) {
  __int128 num = __int128(y - y0) * dx;
  __int128 q = num / dy;
  if (num % dy != 0 && num < 0) --q;
  return x0 + int64_t(q);  // |q| <= |dx|
}

}  // namespace

void FillFlatTriangle(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t pixel) {
  Port* port = GetPort();
  if (!port) return;
  if ((y0 == y1 && y1 == y2) || (x0 == x1 && x1 == x2)) return;
  struct V { int64_t x, y; } v[3] = {{x0, y0}, {x1, y1}, {x2, y2}};
  std::sort(v, v + 3, [](const V& a, const V& b) { return a.y < b.y; });
  auto column = [&](int i, int j, int64_t y) {
    return EdgeColumn(v[i].x, v[i].y, v[j].x - v[i].x, v[j].y - v[i].y, y);
  };
  // The long edge runs from the top vertex to the bottom one; the sign of the cross product says
  // whether it lies left of the other two (for a flat top: whether v[0] is the left top vertex).
  bool longLeft =
      __int128(v[1].y - v[0].y) * (v[2].x - v[0].x) - __int128(v[1].x - v[0].x) * (v[2].y - v[0].y) < 0;
  const QDRect b = DrawableRect(port);
  // Only the rows inside the clip are visited, each span computed from the vertices.
  for (int64_t y = std::max<int64_t>(v[0].y, b.top), end = std::min<int64_t>(v[2].y, b.bottom); y < end; ++y) {
    int64_t longX = column(0, 2, y), shortX = y < v[1].y ? column(0, 1, y) : column(1, 2, y);
    int64_t left = longLeft ? longX : shortX, right = longLeft ? shortX : longX;
    left = std::max<int64_t>(left, b.left);
    right = std::min<int64_t>(right, b.right);
    if (left < right) {
      uint32_t* p = PixelAt(port, int32_t(left), int32_t(y));
      std::fill(p, p + (right - left), pixel);
    }
  }
}

void DrawAntialiasedLine(int32_t h0, int32_t v0, int32_t h1, int32_t v1, PackedRGB rgb) {
  Port* port = GetPort();
  if (!port) return;
  const QDRect bd = DrawableRect(port);
  auto blend = [&](int32_t h, int32_t v, double weight) {
    if (weight <= 0.0 || !InsideRect(bd, h, v)) return;
    uint32_t* p = PixelAt(port, h, v);
    if (!p) return;
    uint32_t w = uint32_t(weight * 255.0 + 0.5);
    *p = MixPixel(rgb, *p, w > 255 ? 255 : w);
  };
  // Differences in 64 bits: end points may lie anywhere in the int32 range.
  bool steep = std::llabs(int64_t(v1) - v0) > std::llabs(int64_t(h1) - h0);
  // Walk the major axis from its smaller end; the minor coordinate splits between two pixels.
  int64_t a0 = steep ? v0 : h0, a1 = steep ? v1 : h1, b0 = steep ? h0 : v0, b1 = steep ? h1 : v1;
  if (a1 < a0) {
    std::swap(a0, a1);
    std::swap(b0, b1);
  }
  double slope = a1 == a0 ? 0.0 : double(b1 - b0) / double(a1 - a0);
  // Only the stretch of the major axis inside the clip is walked.
  int64_t from = std::max<int64_t>(a0, steep ? bd.top : bd.left);
  int64_t to = std::min<int64_t>(a1, (steep ? bd.bottom : bd.right) - 1);
  double minorLo = (steep ? bd.left : bd.top) - 1, minorHi = steep ? bd.right : bd.bottom;
  for (int64_t a = from; a <= to; ++a) {
    double b = double(b0) + slope * double(a - a0);
    double base = std::floor(b), frac = b - base;
    if (base < minorLo || base >= minorHi) continue;
    int32_t ib = int32_t(base), ia = int32_t(a);
    if (steep) {
      blend(ib, ia, 1.0 - frac);
      blend(ib + 1, ia, frac);
    } else {
      blend(ia, ib, 1.0 - frac);
      blend(ia, ib + 1, frac);
    }
  }
}

// Rows counted from rect.top are grid rows when (i + phaseV) mod 32 is 0 or 1. Columns go in
// groups of four from the group (aligned to the buffer's left) holding rect.left; group k is a
// grid group when (phaseH + 4k) mod 32 < 4, and there pixels 0-1 (phaseH bit 1 set) or 2-3 are
// grid. FillGridBackground passes phaseH = 2 - h, so for even h the grid columns are h, h + 1.
// Only the pixels of rect are painted, not whole groups: a group write would also paint up to
// three pixels left of rect and past its right side, pixels the caller did not ask for (another
// view's, or past the end of the buffer's row). The groups set only the phase of the pattern.
void FillGridFast(int32_t phaseH, int32_t phaseV, const QDRect& rect) {
  Port* port = GetPort();
  if (!port || EmptyRect(rect)) return;
  PixelsSave saved;
  SaveGWorldLockPixels(&saved);
  const QDRect& b = port->bounds;
  int32_t group0 = rect.left - FloorMod(rect.left - b.left, 4);
  // The paper rows repeat every 8 groups (32 pixels) counted from group 0.
  uint32_t paperRow[32];
  bool firstPair = (phaseH & 2) != 0;
  for (int32_t o = 0; o < 32; ++o) {
    int32_t k = o >> 2, within = o & 3;
    bool grid = FloorMod(phaseH + 4 * k, 32) < 4 && (firstPair ? within < 2 : within >= 2);
    paperRow[o] = grid ? kGridPixel : kPaperPixel;
  }
  int32_t top = std::max<int32_t>(rect.top, b.top), bottom = std::min<int32_t>(rect.bottom, b.bottom);
  int32_t left = std::max<int32_t>(rect.left, b.left), right = std::min<int32_t>(rect.right, b.right);
  for (int32_t y = top; y < bottom && left < right; ++y) {
    uint32_t* p = PixelAt(port, left, y);
    if (FloorMod(y - rect.top + phaseV, 32) < 2) {
      std::fill(p, p + (right - left), kGridPixel);
    } else {
      for (int32_t x = left; x < right; ++x) *p++ = paperRow[(x - group0) & 31];
    }
  }
  RestorePixelsState(&saved);
  AddRectToDirtyRegion(port, rect);
}

// The source blocks are counted from srcRect's top-left, not from the source buffer's first
// pixel: the two agree when srcRect starts there, and for any other srcRect counting from the
// buffer would halve a part of the source the caller did not name.
void HalveGWorldVector(GWorldPtr src, const QDRect& srcRect, const QDRect& dstRect) {
  Port* port = GetPort();
  if (!port || !src || EmptyRect(dstRect)) return;
  PixelsSave saved;
  SaveGWorldLockPixels(&saved);
  const QDRect &db = port->bounds, &sb = src->bounds;
  // Columns j whose destination pixel and both source columns lie inside their buffers.
  int64_t jFrom = std::max<int64_t>({0, int64_t(db.left) - dstRect.left, (int64_t(sb.left) - srcRect.left + 1) / 2});
  int64_t jTo = std::min<int64_t>({RectWidth(dstRect), int64_t(db.right) - dstRect.left,
                                   (int64_t(sb.right) - srcRect.left) / 2});
  for (int32_t i = 0; i < RectHeight(dstRect) && jFrom < jTo; ++i) {
    int32_t sy = srcRect.top + 2 * i, dy = dstRect.top + i;
    if (dy < db.top || dy >= db.bottom || sy < sb.top || sy + 1 >= sb.bottom) continue;
    uint32_t* d = PixelAt(port, int32_t(dstRect.left + jFrom), dy);
    const uint32_t* r0 = PixelAddress(src, int32_t(srcRect.left + 2 * jFrom), sy);
    const uint32_t* r1 = PixelAddress(src, int32_t(srcRect.left + 2 * jFrom), sy + 1);
    for (int64_t j = jFrom; j < jTo; ++j, r0 += 2, r1 += 2)
      *d++ = AverageBytes(AverageBytes(r0[0], r1[0]), AverageBytes(r0[1], r1[1]));
  }
  RestorePixelsState(&saved);
  AddRectToDirtyRegion(port, dstRect);
}
