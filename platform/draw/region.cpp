// Banded regions: every set operation walks both operands band by band and builds the result
// in a fresh buffer, which replaces the destination only when the whole operation succeeded.
#include "platform/draw/region.h"

#include <algorithm>
#include <cstring>

namespace {

enum class SetOp { kUnion, kSect, kDiff };

struct Builder {
  const DrawAllocator* alloc;
  int16_t* data = nullptr;
  int32_t count = 0;
  int32_t capacity = 0;
  int32_t lastBand = -1;  // offset of the last band emitted
  bool failed = false;

  bool Reserve(int32_t extra) {
    if (failed) return false;
    if (count + extra <= capacity) return true;
    int32_t want = std::max<int32_t>(capacity * 2, count + extra);
    want = std::max<int32_t>(want, 16);
    auto* grown = static_cast<int16_t*>(alloc->alloc(size_t(want) * sizeof(int16_t)));
    if (!grown) {
      failed = true;
      return false;
    }
    if (count) std::memcpy(grown, data, size_t(count) * sizeof(int16_t));
    alloc->release(data);
    data = grown;
    capacity = want;
    return true;
  }
  void Discard() {
    alloc->release(data);
    data = nullptr;
  }
};

inline int32_t BandWords(const int16_t* band) { return 3 + 2 * band[2]; }

// Emits band [top, bottom) with the spans already appended after a 3-word header at `start`;
// drops it when it has no spans and merges it into the previous band when they touch and agree.
void FinishBand(Builder& b, int32_t start, int32_t top, int32_t bottom, int32_t spanCount) {
  if (spanCount == 0) {
    b.count = start;
    return;
  }
  int16_t* band = b.data + start;
  band[0] = int16_t(top);
  band[1] = int16_t(bottom);
  band[2] = int16_t(spanCount);
  if (b.lastBand >= 0) {
    int16_t* prev = b.data + b.lastBand;
    if (prev[1] == top && prev[2] == spanCount &&
        std::memcmp(prev + 3, band + 3, size_t(2 * spanCount) * sizeof(int16_t)) == 0) {
      prev[1] = int16_t(bottom);
      b.count = start;
      return;
    }
  }
  b.lastBand = start;
}

// Combines two span lists (sorted (left, right) pairs) into the builder; returns the span count.
int32_t CombineSpans(Builder& b, const int16_t* sa, int32_t na, const int16_t* sb, int32_t nb, SetOp op) {
  int32_t ia = 0, ib = 0, produced = 0;
  bool inA = false, inB = false, inOut = false;
  int32_t outLeft = 0;
  // Walk the boundary points of both lists in order; coverage changes only there.
  while (ia < 2 * na || ib < 2 * nb) {
    int32_t xa = ia < 2 * na ? sa[ia] : INT32_MAX;
    int32_t xb = ib < 2 * nb ? sb[ib] : INT32_MAX;
    int32_t x = std::min(xa, xb);
    if (xa == x) { inA = !inA; ++ia; }
    if (xb == x) { inB = !inB; ++ib; }
    bool now = op == SetOp::kUnion ? (inA || inB) : op == SetOp::kSect ? (inA && inB) : (inA && !inB);
    if (now && !inOut) {
      outLeft = x;
    } else if (!now && inOut) {
      if (!b.Reserve(2)) return produced;
      b.data[b.count++] = int16_t(outLeft);
      b.data[b.count++] = int16_t(x);
      ++produced;
    }
    inOut = now;
  }
  return produced;
}

void RecomputeBBox(RgnHandle dst) {
  if (dst->count == 0) {
    dst->bbox = QDRect{0, 0, 0, 0};
    return;
  }
  int32_t top = INT32_MAX, bottom = INT32_MIN, left = INT32_MAX, right = INT32_MIN;
  for (const int16_t* p = dst->data; p < dst->data + dst->count; p += BandWords(p)) {
    top = std::min<int32_t>(top, p[0]);
    bottom = std::max<int32_t>(bottom, p[1]);
    left = std::min<int32_t>(left, p[3]);
    right = std::max<int32_t>(right, p[3 + 2 * (p[2] - 1) + 1]);
  }
  dst->bbox = QDRect{int16_t(top), int16_t(left), int16_t(bottom), int16_t(right)};
}

void Adopt(RgnHandle dst, Builder& b) {
  dst->alloc->release(dst->data);
  dst->data = b.data;
  dst->count = b.count;
  dst->capacity = b.capacity;
  RecomputeBBox(dst);
}

bool Combine(const Region* a, const Region* b, RgnHandle dst, SetOp op) {
  Builder out{dst->alloc};
  const int16_t* pa = a->data;
  const int16_t* ea = a->data + a->count;
  const int16_t* pb = b->data;
  const int16_t* eb = b->data + b->count;
  if (pa == ea && pb == eb) {
    Adopt(dst, out);
    return true;
  }
  int32_t y = INT32_MAX;
  if (pa < ea) y = std::min<int32_t>(y, pa[0]);
  if (pb < eb) y = std::min<int32_t>(y, pb[0]);
  while (pa < ea || pb < eb) {
    while (pa < ea && pa[1] <= y) pa += BandWords(pa);
    while (pb < eb && pb[1] <= y) pb += BandWords(pb);
    if (pa >= ea && pb >= eb) break;
    bool coverA = pa < ea && pa[0] <= y;
    bool coverB = pb < eb && pb[0] <= y;
    int32_t next = INT32_MAX;
    if (pa < ea) next = std::min<int32_t>(next, coverA ? pa[1] : pa[0]);
    if (pb < eb) next = std::min<int32_t>(next, coverB ? pb[1] : pb[0]);
    if (coverA || coverB) {
      int32_t start = out.count;
      if (!out.Reserve(3)) break;
      out.count += 3;
      int32_t n = CombineSpans(out, coverA ? pa + 3 : nullptr, coverA ? pa[2] : 0,
                               coverB ? pb + 3 : nullptr, coverB ? pb[2] : 0, op);
      if (out.failed) break;
      FinishBand(out, start, y, next, n);
    }
    y = next;
  }
  if (out.failed) {
    out.Discard();
    return false;
  }
  Adopt(dst, out);
  return true;
}

}  // namespace

RgnHandle NewRgn() {
  const DrawAllocator* alloc = CurrentDrawAllocator();
  auto* rgn = static_cast<Region*>(alloc->alloc(sizeof(Region)));
  if (!rgn) return nullptr;
  *rgn = Region{QDRect{0, 0, 0, 0}, 0, 0, nullptr, alloc};
  return rgn;
}

void DisposeRgn(RgnHandle rgn) {
  if (!rgn) return;
  rgn->alloc->release(rgn->data);
  rgn->alloc->release(rgn);
}

void SetEmptyRgn(RgnHandle rgn) {
  rgn->count = 0;
  rgn->bbox = QDRect{0, 0, 0, 0};
}

bool RectRgn(RgnHandle rgn, const QDRect& r) {
  if (EmptyRect(r)) {
    SetEmptyRgn(rgn);
    return true;
  }
  if (rgn->capacity < 5) {
    Builder b{rgn->alloc};
    if (!b.Reserve(5)) return false;
    rgn->alloc->release(rgn->data);
    rgn->data = b.data;
    rgn->capacity = b.capacity;
  }
  int16_t* d = rgn->data;
  d[0] = r.top; d[1] = r.bottom; d[2] = 1; d[3] = r.left; d[4] = r.right;
  rgn->count = 5;
  rgn->bbox = r;
  return true;
}

bool SetRectRgn(RgnHandle rgn, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return RectRgn(rgn, MakeRect(left, top, right, bottom));
}

bool CopyRgn(const Region* src, RgnHandle dst) {
  if (src == dst) return true;
  Region empty{QDRect{0, 0, 0, 0}, 0, 0, nullptr, SystemDrawAllocator()};
  return Combine(src, &empty, dst, SetOp::kUnion);
}

bool UnionRgn(const Region* a, const Region* b, RgnHandle dst) { return Combine(a, b, dst, SetOp::kUnion); }
bool SectRgn(const Region* a, const Region* b, RgnHandle dst) { return Combine(a, b, dst, SetOp::kSect); }
bool DiffRgn(const Region* a, const Region* b, RgnHandle dst) { return Combine(a, b, dst, SetOp::kDiff); }

void OffsetRgn(RgnHandle rgn, int32_t dh, int32_t dv) {
  if (rgn->count == 0) return;
  // Shift with pinning, then drop bands and spans that collapsed at the int16 limits; a band
  // that lost spans may now equal the band above it, and is then merged into it.
  int32_t w = 0, prev = -1;
  for (int32_t r = 0; r < rgn->count;) {
    int16_t* band = rgn->data + r;
    int32_t n = band[2];
    int32_t words = 3 + 2 * n;
    int16_t top = PinCoordinate(band[0] + dv), bottom = PinCoordinate(band[1] + dv);
    int32_t start = w;
    int32_t kept = 0;
    if (bottom > top) {
      w += 3;
      for (int32_t i = 0; i < n; ++i) {
        int16_t l = PinCoordinate(band[3 + 2 * i] + dh), rr = PinCoordinate(band[4 + 2 * i] + dh);
        if (rr > l) {
          rgn->data[w++] = l;
          rgn->data[w++] = rr;
          ++kept;
        }
      }
    }
    r += words;
    if (kept == 0) {
      w = start;
      continue;
    }
    if (prev >= 0 && rgn->data[prev + 1] == top && rgn->data[prev + 2] == kept &&
        std::memcmp(rgn->data + prev + 3, rgn->data + start + 3, size_t(2 * kept) * sizeof(int16_t)) == 0) {
      rgn->data[prev + 1] = bottom;
      w = start;
      continue;
    }
    rgn->data[start] = top;
    rgn->data[start + 1] = bottom;
    rgn->data[start + 2] = int16_t(kept);
    prev = start;
  }
  rgn->count = w;
  RecomputeBBox(rgn);
}

bool EmptyRgn(const Region* rgn) { return rgn->count == 0; }
QDRect RgnBBox(const Region* rgn) { return rgn->bbox; }

const int16_t* RegionSpansAt(const Region* rgn, int32_t y, int32_t* count, RegionCursor* cursor) {
  *count = 0;
  if (rgn->count == 0 || y < rgn->bbox.top || y >= rgn->bbox.bottom) return nullptr;
  RegionCursor fresh;
  RegionCursor& c = cursor ? *cursor : fresh;
  // Bands before the cursor's band end at or above its top, so it still answers any row at or
  // below that top, and any row at or below the last one asked.
  if (c.band < 0 || c.band >= rgn->count || (y < c.row && y < rgn->data[c.band])) c.band = 0;
  c.row = y;
  const int16_t* p = rgn->data + c.band;
  const int16_t* end = rgn->data + rgn->count;
  for (; p < end; p += BandWords(p)) {
    ++c.bandsRead;
    if (y < p[1]) break;
  }
  c.band = int32_t(p - rgn->data);
  if (p == end || y < p[0]) return nullptr;
  *count = p[2];
  return p + 3;
}

bool PtInRgn(QDPoint p, const Region* rgn) {
  int32_t n = 0;
  const int16_t* spans = RegionSpansAt(rgn, p.v, &n);
  for (int32_t i = 0; i < n; ++i)
    if (p.h >= spans[2 * i] && p.h < spans[2 * i + 1]) return true;
  return false;
}

bool RectInRgn(const QDRect& r, const Region* rgn) {
  if (EmptyRect(r)) return false;
  for (const int16_t* p = rgn->data; p < rgn->data + rgn->count; p += BandWords(p)) {
    if (p[1] <= r.top || p[0] >= r.bottom) continue;
    for (int32_t i = 0; i < p[2]; ++i)
      if (p[3 + 2 * i] < r.right && p[4 + 2 * i] > r.left) return true;
  }
  return false;
}

bool RectWhollyInRgn(const QDRect& r, const Region* rgn) {
  if (EmptyRect(r)) return false;
  int32_t covered = r.top;  // rows above this one are known to be covered
  for (const int16_t* p = rgn->data; p < rgn->data + rgn->count && covered < r.bottom; p += BandWords(p)) {
    if (p[1] <= covered) continue;
    if (p[0] > covered) return false;
    bool holds = false;
    for (int32_t i = 0; i < p[2]; ++i)
      if (p[3 + 2 * i] <= r.left && p[4 + 2 * i] >= r.right) holds = true;
    if (!holds) return false;
    covered = p[1];
  }
  return covered >= r.bottom;
}

bool EqualRgn(const Region* a, const Region* b) {
  return a->count == b->count &&
         (a->count == 0 || std::memcmp(a->data, b->data, size_t(a->count) * sizeof(int16_t)) == 0);
}

bool CheckRegion(const Region* rgn) {
  if (rgn->count < 0 || rgn->count > rgn->capacity) return false;
  if (rgn->count == 0) return EmptyRect(rgn->bbox);
  int32_t top = INT32_MAX, bottom = INT32_MIN, left = INT32_MAX, right = INT32_MIN;
  const int16_t* prev = nullptr;
  const int16_t* end = rgn->data + rgn->count;
  for (const int16_t* p = rgn->data; p < end; p += BandWords(p)) {
    if (p + 3 > end || p[2] <= 0 || p + BandWords(p) > end) return false;
    if (p[1] <= p[0]) return false;
    if (prev) {
      if (p[0] < prev[1]) return false;
      if (p[0] == prev[1] && prev[2] == p[2] &&
          std::memcmp(prev + 3, p + 3, size_t(2 * p[2]) * sizeof(int16_t)) == 0)
        return false;
    }
    for (int32_t i = 0; i < p[2]; ++i) {
      int16_t l = p[3 + 2 * i], r = p[4 + 2 * i];
      if (r <= l) return false;
      if (i > 0 && l <= p[2 + 2 * i]) return false;  // must start past the previous span's right
      left = std::min<int32_t>(left, l);
      right = std::max<int32_t>(right, r);
    }
    top = std::min<int32_t>(top, p[0]);
    bottom = std::max<int32_t>(bottom, p[1]);
    prev = p;
  }
  return rgn->bbox.top == top && rgn->bbox.bottom == bottom && rgn->bbox.left == left &&
         rgn->bbox.right == right;
}
