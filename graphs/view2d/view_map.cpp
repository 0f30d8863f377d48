// The 2D world-to-pixel mapping: saturating conversions and the precision guard of the axes.
#include "graphs/view2d/view_map.h"

#include <cmath>

#include "kernel/diagnostics/error_register.h"
#include "kernel/numeric/numeric_constants.h"

void SetViewMap(ViewMap* map, const QDRect& frame, double originH, double originV, double pixelsPerUnitX,
                double pixelsPerUnitY, int32_t factorH, int32_t factorV) {
  map->frame = frame;
  map->originH = originH;
  map->originV = originV;
  map->pixelsPerUnitX = pixelsPerUnitX;
  map->pixelsPerUnitY = pixelsPerUnitY;
  map->unitsPerPixelX = 1.0 / pixelsPerUnitX;
  map->unitsPerPixelY = -1.0 / pixelsPerUnitY;
  map->maxX = map->unitsPerPixelX * (kPixelLimit - originH);
  map->minX = map->unitsPerPixelX * (-kPixelLimit - originH);
  map->minY = map->unitsPerPixelY * -(kPixelLimit - originV);
  map->maxY = map->unitsPerPixelY * -(-kPixelLimit - originV);
  map->factorH = factorH;
  map->factorV = factorV;
}

int32_t SaturatedPixel(double p) {
  if (std::isnan(p)) return kNaNPixel;
  const double pixel = std::floor(0.5 + p);
  if (!(pixel < kPixelLimit)) return kPixelLimit;
  if (!(pixel > -kPixelLimit)) return -kPixelLimit;
  return static_cast<int32_t>(pixel);
}

int32_t WorldToPixelX(const ViewMap* map, double x) {
  if (std::isnan(x)) return kNaNPixel;
  if (x > map->maxX) return kPixelLimit;
  if (x < map->minX) return -kPixelLimit;
  return SaturatedPixel(x * map->pixelsPerUnitX + map->originH);
}

int32_t WorldToPixelY(const ViewMap* map, double y) {
  if (std::isnan(y)) return kNaNPixel;
  if (y < map->minY) return kPixelLimit;
  if (y > map->maxY) return -kPixelLimit;
  return SaturatedPixel(y * map->pixelsPerUnitY + map->originV);
}

double PixelToWorldX(const ViewMap* map, double h) { return map->unitsPerPixelX * (h - map->originH); }

double PixelToWorldY(const ViewMap* map, double v) { return map->unitsPerPixelY * -(v - map->originV); }

bool IsPointVisible(const ViewMap* map, double x, double y) {
  const int32_t h = WorldToPixelX(map, x);
  const int32_t v = WorldToPixelY(map, y);
  return h >= map->frame.left && h < map->frame.right && v >= map->frame.top && v < map->frame.bottom;
}

bool WholePixelShift(const ViewMap* before, const ViewMap* after, int32_t* dh, int32_t* dv) {
  if (before->pixelsPerUnitX != after->pixelsPerUnitX || before->pixelsPerUnitY != after->pixelsPerUnitY ||
      before->factorH != after->factorH || before->factorV != after->factorV) {
    return false;
  }
  const double h = after->originH - before->originH, v = after->originV - before->originV;
  constexpr double kLimit = 1073741824.0;  // 2^30
  if (!(std::fabs(h) <= kLimit && std::fabs(v) <= kLimit) || h != std::floor(h) || v != std::floor(v)) return false;
  *dh = static_cast<int32_t>(h);
  *dv = static_cast<int32_t>(v);
  return true;
}

bool IsScrollOf(const ViewMap* before, const ViewMap* after, int32_t dh, int32_t dv) {
  // Far below what shows, far above the rounding of an origin the view can still show.
  constexpr double kSlack = 1e-3;
  return EqualRect(before->frame, after->frame) && before->pixelsPerUnitX == after->pixelsPerUnitX &&
         before->pixelsPerUnitY == after->pixelsPerUnitY && before->factorH == after->factorH &&
         before->factorV == after->factorV && std::fabs(after->originH - before->originH - dh) <= kSlack &&
         std::fabs(after->originV - before->originV - dv) <= kSlack;
}

bool IsBeyondPrecision(double value, double step) {
  const bool beyond = !std::isfinite(value) || !std::isfinite(step) || value - step == value ||
                      std::fabs(step / value) < 16.0 * kMachineEpsilon;
  if (beyond) PostError(kErrorFloatingPointLimits);
  return beyond;
}
