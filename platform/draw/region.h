// Regions: sets of pixels kept as a banded list of rectangles. Bands are sorted top to bottom,
// do not overlap, have positive height, and two touching bands never hold the same spans; the
// spans of a band are sorted, disjoint and not touching. CheckRegion verifies exactly this.
// Operations that need memory return false on refusal and leave their destination unchanged.
#pragma once

#include <cstdint>

#include "platform/draw/draw_memory.h"
#include "platform/draw/qd_geometry.h"

struct Region {
  QDRect bbox;     // all zero when empty
  int32_t count;   // int16 words in use
  int32_t capacity;
  int16_t* data;   // per band: top, bottom, span count n, then n (left, right) pairs
  const DrawAllocator* alloc;
};
using RgnHandle = Region*;

// A new empty region, or null when memory is refused.
RgnHandle NewRgn();
void DisposeRgn(RgnHandle rgn);  // null ignored

void SetEmptyRgn(RgnHandle rgn);
bool RectRgn(RgnHandle rgn, const QDRect& r);  // an empty rectangle gives the empty region
bool SetRectRgn(RgnHandle rgn, int32_t left, int32_t top, int32_t right, int32_t bottom);
bool CopyRgn(const Region* src, RgnHandle dst);
// dst may be one of the operands.
bool UnionRgn(const Region* a, const Region* b, RgnHandle dst);
bool SectRgn(const Region* a, const Region* b, RgnHandle dst);
bool DiffRgn(const Region* a, const Region* b, RgnHandle dst);
// Moves the region; coordinates pinned to int16 (parts pushed past the limit collapse away).
void OffsetRgn(RgnHandle rgn, int32_t dh, int32_t dv);

bool EmptyRgn(const Region* rgn);
QDRect RgnBBox(const Region* rgn);
bool PtInRgn(QDPoint p, const Region* rgn);
// True when some pixel of r lies in the region.
bool RectInRgn(const QDRect& r, const Region* rgn);
// True when every pixel of a non-empty r lies in the region.
bool RectWhollyInRgn(const QDRect& r, const Region* rgn);
bool EqualRgn(const Region* a, const Region* b);
// Where a walk over a region's rows has got to. A lookup starts from the band the previous one
// stopped at whenever that band can still hold the row, so rows asked top to bottom cost
// rows + bands in all, and bottom to top rows + one scan a band crossed. One cursor serves one
// region, which must not change during the walk; a fresh cursor starts at the first band.
struct RegionCursor {
  int32_t band = 0;         // word offset of the first band whose bottom lies below `row`
  int32_t row = INT32_MIN;  // the row of the last lookup
  int64_t bandsRead = 0;    // band headers looked at, for the cost checks of tests and benchmarks
};
// The spans of row y as (left, right) pairs; *count = 0 when the row is outside the region.
// cursor may be null (a lookup from the first band).
const int16_t* RegionSpansAt(const Region* rgn, int32_t y, int32_t* count, RegionCursor* cursor = nullptr);
// The region's invariants (see the top of this file); true when they hold.
bool CheckRegion(const Region* rgn);
