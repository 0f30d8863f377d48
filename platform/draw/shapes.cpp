// Pen, lines, rectangles, polygons and pattern fills. A line's pixels depend only on its two end
// points (never on their order): the walk starts at the end with the smaller major coordinate and
// rounds the minor coordinate half up. Pen-sized lines are drawn one clipped span per row, so the
// xor mode inverts every covered pixel exactly once.
#include "platform/draw/shapes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "platform/draw/draw_internal.h"
#include "platform/draw/png_io.h"

using draw_detail::FloorMod;
using draw_detail::ForClippedSpan;

namespace {

#ifdef QV_RESOURCE_DIR
std::string gResourceDir = QV_RESOURCE_DIR;
#else
std::string gResourceDir = "resources";
#endif

// The pixels of the line between two points, in the order of increasing row.
class LineWalk {
 public:
  LineWalk(int32_t h0, int32_t v0, int32_t h1, int32_t v1) {
    adh_ = std::abs(h1 - h0);
    adv_ = std::abs(v1 - v0);
    hMajor_ = adh_ >= adv_;
    if (hMajor_ ? h1 < h0 : v1 < v0) {
      std::swap(h0, h1);
      std::swap(v0, v1);
    }
    hs_ = h0; vs_ = v0;
    sh_ = h1 >= h0 ? 1 : -1;
    sv_ = v1 >= v0 ? 1 : -1;
    n_ = std::max(adh_, adv_) + 1;
    // Rows must come in increasing order: walk backwards when the line climbs.
    step_ = sv_ < 0 && adv_ > 0 ? -1 : 1;
  }
  int32_t H(int32_t i) const {
    return hMajor_ ? hs_ + sh_ * i : hs_ + sh_ * int32_t((2 * int64_t(i) * adh_ + adv_) / (2 * int64_t(adv_)));
  }
  int32_t V(int32_t i) const {
    if (!hMajor_) return vs_ + sv_ * i;
    if (adh_ == 0) return vs_;
    return vs_ + sv_ * int32_t((2 * int64_t(i) * adv_ + adh_) / (2 * int64_t(adh_)));
  }
  int32_t MinV() const { return std::min(V(0), V(n_ - 1)); }
  int32_t MaxV() const { return std::max(V(0), V(n_ - 1)); }
  // The columns [*lo, *hi] of the line's pixels in `row` (rows must be asked in increasing order,
  // a row again as often as wanted). Rows and columns are monotone along the walk, so a row's run
  // is searched for from where the last one ended and its extent is that of its two ends,
  // whatever the line's length or the rows skipped before it.
  void RunAt(int32_t row, int32_t* lo, int32_t* hi) {
    if (row != row_) {
      const int32_t start = std::min(PositionOf(row, next_), n_ - 1);
      const bool inRow = V(At(start)) == row;  // else the row has no pixel and its nearest is shown
      int32_t end = start;
      if (inRow && end + 1 < n_ && V(At(end + 1)) == row) end = PositionOf(row + 1, end + 1) - 1;
      const int32_t a = H(At(start)), b = end == start ? a : H(At(end));
      row_ = row;
      lo_ = std::min(a, b);
      hi_ = std::max(a, b);
      next_ = inRow ? end + 1 : start;
    }
    *lo = lo_;
    *hi = hi_;
  }

 private:
  // The pixel index of a walk position (positions run in the order of increasing row).
  int32_t At(int32_t position) const { return step_ > 0 ? position : n_ - 1 - position; }
  // The first walk position at or after `from` whose row is `row` or below it; n_ when none is.
  // Rows are asked in order, so the answer mostly lies at hand: strides doubling from `from`
  // find a span that holds it, which is then halved.
  int32_t PositionOf(int32_t row, int32_t from) const {
    int32_t below = from, above = from;
    for (int64_t stride = 1; above < n_ && V(At(above)) < row; stride *= 2) {
      below = above + 1;
      above = static_cast<int32_t>(std::min<int64_t>(n_, above + stride));
    }
    while (below < above) {
      const int32_t middle = below + (above - below) / 2;
      if (V(At(middle)) < row) {
        below = middle + 1;
      } else {
        above = middle;
      }
    }
    return below;
  }

  int32_t hs_, vs_, adh_, adv_, sh_, sv_, n_, step_;
  int32_t next_ = 0;                           // the first walk position not yet in a run
  int32_t row_ = INT32_MIN, lo_ = 0, hi_ = 0;  // the last run
  bool hMajor_;
};

void DrawPenLine(Port* port, int32_t h0, int32_t v0, int32_t h1, int32_t v1) {
  int32_t pw = port->pen.size.h, ph = port->pen.size.v;
  if (pw <= 0 || ph <= 0) return;
  LineWalk lead(h0, v0, h1, v1), trail(h0, v0, h1, v1);
  int32_t vmin = lead.MinV(), vmax = lead.MaxV();
  // Only the port's rows are walked, so a rule far longer than the buffer costs its visible part.
  const int32_t first = std::max(vmin, int32_t{port->bounds.top});
  const int32_t last = std::min(vmax + ph - 1, port->bounds.bottom - 1);
  if (first > last) return;
  RegionCursor clip;
  for (int32_t y = first; y <= last; ++y) {
    int32_t a = std::max(y - ph + 1, vmin), b = std::min(y, vmax);
    int32_t loA, hiA, loB, hiB;
    trail.RunAt(a, &loA, &hiA);
    lead.RunAt(b, &loB, &hiB);
    int32_t lo = std::min(loA, loB), hi = std::max(hiA, hiB) + pw - 1;
    draw_detail::PatternSpan(port, clip, y, lo, hi + 1, port->pen.pattern, port->pen.mode);
  }
}

void PatternRect(Port* port, const QDRect& r, const Pattern8& pat, int32_t mode) {
  if (EmptyRect(r)) return;
  RegionCursor clip;
  for (int32_t y = r.top; y < r.bottom; ++y) draw_detail::PatternSpan(port, clip, y, r.left, r.right, pat, mode);
}

void PixPatSpan(const Port* port, RegionCursor& clip, int32_t y, int32_t x0, int32_t x1, const PixPat* pat) {
  ForClippedSpan(port, clip, y, x0, x1, [pat](uint32_t* p, int32_t a, int32_t c, int32_t yy) {
    const uint32_t* prow = pat->pixels + FloorMod(yy, pat->height) * pat->width;
    for (int32_t x = a; x < c; ++x) *p++ = prow[FloorMod(x, pat->width)] & 0x00FFFFFFu;
  });
}

// Calls span(clip, y, x0, x1) for each row piece of the polygon's interior (pixel centres,
// even-odd) within the port's rows. False, having drawn nothing, when the buffer of a row's edge
// crossings (one a point at most) is refused.
template <class F>
bool ScanPolygon(const Port* port, const QDPoint* pts, int32_t count, F&& span) {
  if (!pts || count < 3) return true;
  int32_t top = INT32_MAX, bottom = INT32_MIN;
  for (int32_t i = 0; i < count; ++i) {
    top = std::min<int32_t>(top, pts[i].v);
    bottom = std::max<int32_t>(bottom, pts[i].v);
  }
  top = std::max<int32_t>(top, port->bounds.top);
  bottom = std::min<int32_t>(bottom, port->bounds.bottom);
  if (top >= bottom) return true;
  const DrawAllocator* alloc = CurrentDrawAllocator();
  auto* xs = static_cast<double*>(alloc->alloc(size_t(count) * sizeof(double)));
  if (!xs) return false;
  RegionCursor clip;
  for (int32_t y = top; y < bottom; ++y) {
    double yc = y + 0.5;
    int32_t n = 0;
    for (int32_t i = 0; i < count; ++i) {
      const QDPoint& p = pts[i];
      const QDPoint& q = pts[i + 1 < count ? i + 1 : 0];
      if (p.v == q.v) continue;
      double ylo = std::min(p.v, q.v), yhi = std::max(p.v, q.v);
      if (yc < ylo || yc >= yhi) continue;
      xs[n++] = p.h + (yc - p.v) * double(q.h - p.h) / double(q.v - p.v);
    }
    std::sort(xs, xs + n);
    for (int32_t i = 0; i + 1 < n; i += 2) {
      int32_t a = int32_t(std::ceil(xs[i] - 0.5)), c = int32_t(std::ceil(xs[i + 1] - 0.5));
      if (a < c) span(clip, y, a, c);
    }
  }
  alloc->release(xs);
  return true;
}

}  // namespace

namespace draw_detail {

void PatternSpan(const Port* port, RegionCursor& clip, int32_t y, int32_t x0, int32_t x1, const Pattern8& pat,
                 int32_t mode) {
  uint32_t fore = ColorToPixel(port->foreColor), back = ColorToPixel(port->backColor);
  ForClippedSpan(port, clip, y, x0, x1, [&](uint32_t* p, int32_t a, int32_t c, int32_t yy) {
    for (int32_t x = a; x < c; ++x, ++p) {
      uint32_t bit = PatternBit(pat, x, yy);
      switch (mode) {
        case kPatOr: if (bit) *p = fore; break;
        case kPatXor: if (bit) *p = (*p ^ 0x00FFFFFFu) & 0x00FFFFFFu; break;
        case kPatBic: if (bit) *p = back; break;
        default: *p = bit ? fore : back; break;
      }
    }
  });
}

}  // namespace draw_detail

void MoveTo(int32_t h, int32_t v) {
  if (Port* port = GetPort()) port->pen.location = MakePoint(h, v);
}

void Move(int32_t dh, int32_t dv) {
  if (Port* port = GetPort()) MoveTo(port->pen.location.h + dh, port->pen.location.v + dv);
}

void LineTo(int32_t h, int32_t v) {
  Port* port = GetPort();
  if (!port) return;
  QDPoint to = MakePoint(h, v);
  DrawPenLine(port, port->pen.location.h, port->pen.location.v, to.h, to.v);
  port->pen.location = to;
}

void Line(int32_t dh, int32_t dv) {
  if (Port* port = GetPort()) LineTo(port->pen.location.h + dh, port->pen.location.v + dv);
}

void GetPen(QDPoint* p) {
  if (Port* port = GetPort()) *p = port->pen.location;
}

void PenSize(int32_t width, int32_t height) {
  if (Port* port = GetPort()) port->pen.size = MakePoint(width, height);
}

void PenMode(int32_t mode) {
  Port* port = GetPort();
  if (port && mode >= kPatCopy && mode <= kPatBic) port->pen.mode = int16_t(mode);
}

void PenPat(const Pattern8& pat) {
  if (Port* port = GetPort()) port->pen.pattern = pat;
}

void PenNormal() {
  Port* port = GetPort();
  if (!port) return;
  port->pen.size = QDPoint{1, 1};
  port->pen.mode = kPatCopy;
  port->pen.pattern = BlackPattern();
}

void GetPenState(PenState* state) {
  if (Port* port = GetPort()) *state = port->pen;
}

void SetPenState(const PenState& state) {
  if (Port* port = GetPort()) port->pen = state;
}

void PaintRect(const QDRect& r) {
  if (Port* port = GetPort()) PatternRect(port, r, port->pen.pattern, port->pen.mode);
}

void FrameRect(const QDRect& r) {
  Port* port = GetPort();
  if (!port || EmptyRect(r)) return;
  int32_t pw = port->pen.size.h, ph = port->pen.size.v;
  if (pw <= 0 || ph <= 0) return;
  const Pattern8& pat = port->pen.pattern;
  int32_t mode = port->pen.mode;
  if (2 * pw >= RectWidth(r) || 2 * ph >= RectHeight(r)) {
    PatternRect(port, r, pat, mode);
    return;
  }
  RegionCursor clip;
  for (int32_t y = r.top; y < r.bottom; ++y) {
    if (y < r.top + ph || y >= r.bottom - ph) {
      draw_detail::PatternSpan(port, clip, y, r.left, r.right, pat, mode);
    } else {
      draw_detail::PatternSpan(port, clip, y, r.left, r.left + pw, pat, mode);
      draw_detail::PatternSpan(port, clip, y, r.right - pw, r.right, pat, mode);
    }
  }
}

void EraseRect(const QDRect& r) {
  if (Port* port = GetPort()) PatternRect(port, r, WhitePattern(), kPatCopy);
}

void InvertRect(const QDRect& r) {
  if (Port* port = GetPort()) PatternRect(port, r, BlackPattern(), kPatXor);
}

void FillRect(const QDRect& r, const Pattern8& pat) {
  if (Port* port = GetPort()) PatternRect(port, r, pat, kPatCopy);
}

bool PaintPoly(const QDPoint* points, int32_t count) {
  Port* port = GetPort();
  if (!port) return true;
  return ScanPolygon(port, points, count, [port](RegionCursor& clip, int32_t y, int32_t a, int32_t c) {
    draw_detail::PatternSpan(port, clip, y, a, c, port->pen.pattern, port->pen.mode);
  });
}

void FillCRect(const QDRect& r, const PixPat* pat) {
  Port* port = GetPort();
  if (!port || !pat || EmptyRect(r)) return;
  RegionCursor clip;
  for (int32_t y = r.top; y < r.bottom; ++y) PixPatSpan(port, clip, y, r.left, r.right, pat);
}

bool FillCPoly(const QDPoint* points, int32_t count, const PixPat* pat) {
  Port* port = GetPort();
  if (!port || !pat) return true;
  return ScanPolygon(port, points, count, [port, pat](RegionCursor& clip, int32_t y, int32_t a, int32_t c) {
    PixPatSpan(port, clip, y, a, c, pat);
  });
}

void FillRoundedRect(double left, double top, double right, double bottom, double radius,
                     const RGBColor16* colour) {
  Port* port = GetPort();
  if (!port || !(right > left) || !(bottom > top) || !(radius >= 0)) return;
  double r = std::min({radius, (right - left) / 2, (bottom - top) / 2});
  uint32_t ink = ColorToPixel(colour ? *colour : port->foreColor);
  // Rows and columns far outside the int16 plane can never be inside the port.
  int32_t y0 = int32_t(std::ceil(std::max(top, -40000.0) - 0.5));
  int32_t y1 = int32_t(std::ceil(std::min(bottom, 40000.0) - 0.5));
  RegionCursor clip;
  for (int32_t y = y0; y < y1; ++y) {
    double cy = y + 0.5, dy = 0;
    if (cy < top + r) dy = top + r - cy;
    if (cy > bottom - r) dy = cy - (bottom - r);
    double inset = dy > 0 ? r - std::sqrt(std::max(0.0, r * r - dy * dy)) : 0;
    int32_t x0 = int32_t(std::ceil(std::max(left + inset, -40000.0) - 0.5));
    int32_t x1 = int32_t(std::ceil(std::min(right - inset, 40000.0) - 0.5));
    ForClippedSpan(port, clip, y, x0, x1,
                   [ink](uint32_t* p, int32_t a, int32_t b, int32_t) { std::fill(p, p + (b - a), ink); });
  }
}

PixPatHandle NewPixPat(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0 || width > 4096 || height > 4096) return nullptr;
  const DrawAllocator* alloc = CurrentDrawAllocator();
  auto* pat = static_cast<PixPat*>(alloc->alloc(sizeof(PixPat)));
  if (!pat) return nullptr;
  auto* pixels = static_cast<uint32_t*>(alloc->alloc(size_t(width) * size_t(height) * 4));
  if (!pixels) {
    alloc->release(pat);
    return nullptr;
  }
  std::fill(pixels, pixels + size_t(width) * size_t(height), 0u);
  *pat = PixPat{int16_t(width), int16_t(height), pixels, alloc};
  return pat;
}

void DisposePixPat(PixPatHandle pat) {
  if (!pat) return;
  pat->alloc->release(pat->pixels);
  pat->alloc->release(pat);
}

PixPatHandle GetPixPat(int32_t id) {
  std::string path = gResourceDir + "/ppat_" + std::to_string(id) + ".png";
  PngImage image{};
  if (!ReadPngFile(path.c_str(), &image)) return nullptr;
  PixPatHandle pat = NewPixPat(image.width, image.height);
  if (pat) std::copy(image.pixels, image.pixels + size_t(image.width) * size_t(image.height), pat->pixels);
  FreePngImage(&image);
  return pat;
}

void SetResourceDirectory(const char* path) { gResourceDir = path ? path : ""; }
const char* ResourceDirectory() { return gResourceDir.c_str(); }
