// ViewMap: the world-to-pixel mapping of a 2D view that every 2D graph kind reads through a
// pointer (the view alone writes it), with the clamped conversions and the precision guard.
// Invariants: a world coordinate never becomes a pixel outside -16383..16383 except the NaN
// marker 32767, whatever the map holds (NaN or infinite fields included); the units per pixel
// are the reciprocals of the pixels per unit (y sign-flipped so both are positive).
#pragma once

#include <cstdint>

#include "platform/draw/qd_geometry.h"

inline constexpr int32_t kPixelLimit = 16383;
inline constexpr int32_t kNaNPixel = 32767;

struct ViewMap {
  QDRect frame{0, 0, 0, 0};  // the pixel rectangle covered by the map
  double originH = 0.0;      // pixel of world (0, 0)
  double originV = 0.0;
  double pixelsPerUnitX = 64.0;
  double pixelsPerUnitY = -64.0;  // rows grow downwards
  double unitsPerPixelX = 1.0 / 64.0;
  double unitsPerPixelY = 1.0 / 64.0;
  double maxX = 0.0;  // world x at pixel column +16383, and at -16383
  double minX = 0.0;
  double minY = 0.0;  // world y at pixel row +16383, and at -16383
  double maxY = 0.0;
  int32_t factorH = 1;  // map pixels per window pixel: 1 on the window, 2 in the antialias buffer
  int32_t factorV = 1;
};

// Fills a map from its frame, origin, pixels per unit and factors; the units per pixel and the
// four limits are derived.
void SetViewMap(ViewMap* map, const QDRect& frame, double originH, double originV, double pixelsPerUnitX,
                double pixelsPerUnitY, int32_t factorH, int32_t factorV);

// floor(0.5 + p) as a pixel, saturated to -16383..16383; NaN gives 32767. Every conversion of a
// computed double to a pixel goes through it.
int32_t SaturatedPixel(double p);

// The pixel of a world coordinate: NaN 32767; beyond the map's limits +-16383 (y above MaxY is
// the top, -16383); else floor(0.5 + x * PixelsPerUnit + Origin).
int32_t WorldToPixelX(const ViewMap* map, double x);
int32_t WorldToPixelY(const ViewMap* map, double y);
// World coordinates of a pixel: x = UnitsPerPixelX (h - OriginH), y = -UnitsPerPixelY (v - OriginV).
double PixelToWorldX(const ViewMap* map, double h);
double PixelToWorldY(const ViewMap* map, double v);
// The world point's pixel lies inside the map's frame.
bool IsPointVisible(const ViewMap* map, double x, double y);
// The graph kinds ask IsPointVisible by this name.
inline bool PointInViewRect(const ViewMap* map, double x, double y) { return IsPointVisible(map, x, y); }

// How far the world moved on the pixels between two maps: true, with (dh, dv) = the new pixel of a
// point minus its old one, when both maps have the same pixels per unit and factors and the origin
// moved by whole pixels (at most 2^30); false otherwise, when nothing computed per pixel on the
// first map may be kept on the second. The kinds that keep pixels across scrolls and geometry
// changes keep them world-aligned through it.
bool WholePixelShift(const ViewMap* before, const ViewMap* after, int32_t* dh, int32_t* dv);

// Whether the maps differ by the scroll (dh, dv) alone, so that what was computed per pixel on
// `before` moves by those amounts onto `after`: the same frame, pixels per unit and factors, and
// the origin moved by the amounts to within a thousandth of a pixel. The kinds move by the
// amounts the view gives, not by the origins' difference, which at deep zoom is off a whole pixel
// (-13.000000000014552 for a scroll of 13) though the view moved by whole pixels.
bool IsScrollOf(const ViewMap* before, const ViewMap* after, int32_t dh, int32_t dv);

// True, posting error 11 (once until re-armed), when stepping from value by step cannot be
// represented: value - step == value, |step / value| below 16 machine epsilons, or either is
// NaN or infinite. False otherwise.
bool IsBeyondPrecision(double value, double step);
