// The plane's arrowhead: the triangle sampled 4 x 4 in each pixel of a square around its base.
#include "graphs/kinds2d/arrow_head_2d.h"

#include <algorithm>
#include <cmath>

#include "graphics/pixel_routines.h"
#include "graphs/view2d/view_map.h"

void DrawArrowHead(double x, double y, double ax, double ay, const ViewMap* map, PackedRGB rgb) {
  const double ux = ax / map->unitsPerPixelX, uy = ay / map->unitsPerPixelY;
  const double length = std::hypot(ux, uy);
  if (!std::isfinite(1 / length)) return;
  const double dx = ux / length, dy = -uy / length;  // pixel axes, rows down
  const int32_t f = std::max(map->factorH, 1);
  const int32_t h = length < 5 * f ? 3 * f : length < 6 * f ? 4 * f : 5 * f;
  const double tipH = (x + ax) * map->pixelsPerUnitX + map->originH;
  const double tipV = (y + ay) * map->pixelsPerUnitY + map->originV;
  const double baseH = tipH - h * dx, baseV = tipV - h * dy;
  const QDRect& frame = map->frame;
  if (!(baseH > frame.left - 2 * h && baseH < frame.right + 2 * h && baseV > frame.top - 2 * h &&
        baseV < frame.bottom + 2 * h)) {
    return;  // wholly outside (or not a number)
  }
  // The triangle: tip, and the base corners h / 2 to either side.
  const double px[3] = {tipH, baseH - dy * h / 2, baseH + dy * h / 2};
  const double py[3] = {tipV, baseV + dx * h / 2, baseV - dx * h / 2};
  auto edge = [&](int a, int b, double sx, double sy) {
    return (px[b] - px[a]) * (sy - py[a]) - (py[b] - py[a]) * (sx - px[a]);
  };
  const int32_t bh = static_cast<int32_t>(std::floor(0.5 + baseH)), bv = static_cast<int32_t>(std::floor(0.5 + baseV));
  for (int32_t v = bv - h; v < bv + h; ++v) {
    for (int32_t p = bh - h; p < bh + h; ++p) {
      int32_t c = 0;  // covered points of the pixel's 4 x 4 grid
      for (int32_t j = 0; j < 4; ++j) {
        for (int32_t i = 0; i < 4; ++i) {
          const double sx = p - 0.5 + (i + 0.5) / 4, sy = v - 0.5 + (j + 0.5) / 4;
          const double e0 = edge(0, 1, sx, sy), e1 = edge(1, 2, sx, sy), e2 = edge(2, 0, sx, sy);
          c += (e0 >= 0 && e1 >= 0 && e2 >= 0) || (e0 <= 0 && e1 <= 0 && e2 <= 0);
        }
      }
      if (c == 0) continue;
      PackedRGB shade = 0;
      for (int32_t shift = 0; shift < 24; shift += 8) {
        shade |= static_cast<PackedRGB>(((16 - c) * 255 + c * ((rgb >> shift) & 0xff)) / 16) << shift;
      }
      ShadeGWorldPixel(frame, MakePoint(p, v), shade);
    }
  }
}
