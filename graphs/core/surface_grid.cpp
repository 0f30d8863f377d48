// The grid surfaces' shared rules: copies and arrays by colour mode, colours, cell triangles and
// finite-difference normals.
#include "graphs/core/surface_grid.h"

#include <algorithm>
#include <cmath>

#include "graphs/core/graph_color.h"
#include "graphs/core/graph_kind.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/numeric/hsv_colour.h"

namespace {

// Into [0, 1]; not a number counts as 0.
double Unit(double value) { return value > 0.0 ? std::min(value, 1.0) : 0.0; }

void Hue(double h, float* out) {
  double r = 0, g = 0, b = 0;
  HSVToRGB(h, 1.0, 1.0, &r, &g, &b);
  out[0] = float(r), out[1] = float(g), out[2] = float(b);
}

void Grey(float level, float* out) { out[0] = out[1] = out[2] = level; }

// Two stored samples are the same point when no coordinate differs by more than a float step of
// that coordinate's span over the grid: such a neighbour gives no direction. The samples along a
// pole differ only by rounding far below that step (sin v at v = pi is 1e-16, not 0), whose sign
// would otherwise turn the pole's normal either way. Each coordinate is measured against its own
// span, not against the largest coordinate: a fine square at z = 1000 has x and y steps far below
// 1000's float step, and they are distinct points all the same.
struct SameTolerance {
  double within[3];
};

// Over the valid samples' finite coordinates (a double past the float range is stored infinite).
SameTolerance SameToleranceOf(const float* vertices, const uint8_t* valid, int32_t n, int32_t copies) {
  double low[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, high[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
  for (int32_t k = 0; k < n * n; ++k) {
    if (!valid[k]) continue;
    const float* p = vertices + 3 * copies * k;
    for (int c = 0; c < 3; ++c) {
      if (!std::isfinite(p[c])) continue;
      low[c] = std::min(low[c], double(p[c]));
      high[c] = std::max(high[c], double(p[c]));
    }
  }
  SameTolerance t;
  for (int c = 0; c < 3; ++c) t.within[c] = high[c] > low[c] ? 0x1p-24 * (high[c] - low[c]) : 0.0;
  return t;
}

bool SamePoint(const float* a, const float* b, const SameTolerance& t) {
  for (int c = 0; c < 3; ++c) {
    if (!(std::fabs(double(a[c]) - double(b[c])) <= t.within[c])) return false;
  }
  return true;
}

}  // namespace

int32_t SurfaceGridOfGrain(double q, int32_t most) { return GrainSize(q, 74.0, 5.0, 2, most); }

int32_t SurfaceVertexCopies(uint32_t mode) {
  switch (mode) {
    case kColorChecks:
    case kColorStripesAcross:
    case kColorStripesAlong:
    case kColorHueStepsDown:
    case kColorHueStepsAcross:
      return 2;
    default:
      return 1;
  }
}

bool SurfaceModeHasColors(uint32_t mode) {
  return mode != kColorFixed && mode != kColorTexture && mode != kColorGPUProgram && mode != kColorNoFill;
}

bool SurfaceModeHasTexCoords(uint32_t mode) { return mode == kColorTexture; }

bool SurfaceModeDrawsTriangles(uint32_t mode) {
  return mode <= kColorHSVExpressions;  // 0 to 10: fixed, patterns, texture and expressions
}

void SurfacePatternColors(uint32_t mode, int32_t i, int32_t j, int32_t n, float out[6]) {
  switch (mode) {
    case kColorHueRampDown:
      Hue(double(i + 1) / n, out);
      break;
    case kColorHueRampAcross:
      Hue(double(j) / n, out);
      break;
    case kColorChecks:
    case kColorStripesAcross:
    case kColorStripesAlong:
      Grey(0.3f, out);
      Grey(1.0f, out + 3);
      break;
    case kColorHueStepsDown:
    case kColorHueStepsAcross: {
      const int32_t step = mode == kColorHueStepsDown ? i : j;
      Hue(double((step + 5) % 6) / 6, out);
      Hue(double(step % 6) / 6, out + 3);
      break;
    }
    default:
      break;
  }
}

void SurfaceExpressionColor(GraphColor* color, const double args[6], float out[3]) {
  double value[3];
  for (int c = 0; c < 3; ++c) {
    CompiledFunction* f = color->component[c];
    value[c] = f != nullptr ? EvaluateFunction6(f, args[0], args[1], args[2], args[3], args[4], args[5]) : 0.0;
  }
  value[1] = Unit(value[1]);
  value[2] = Unit(value[2]);
  if (color->mode == kColorHSVExpressions) {
    HSVToRGB(value[0], value[1], value[2], &value[0], &value[1], &value[2]);
  } else {
    value[0] = Unit(value[0]);
  }
  for (int c = 0; c < 3; ++c) out[c] = float(Unit(value[c]));
}

void SurfaceTexCoord(int32_t i, int32_t j, int32_t n, float out[2]) {
  out[0] = float(double(i) / (n - 1));
  out[1] = float(1.0 - double(j) / (n - 1));
}

void StoreSurfaceSampleColour(GraphColor* color, uint32_t mode, int32_t i, int32_t j, int32_t n, const double args[6],
                              float* colors, float* texCoords) {
  const size_t k = size_t(i) * size_t(n) + size_t(j);
  if (mode == kColorTexture) {
    SurfaceTexCoord(i, j, n, texCoords + 2 * k);
    return;
  }
  if (colors == nullptr) return;
  float* out = colors + 3 * size_t(SurfaceVertexCopies(mode)) * k;
  if (mode == kColorRGBExpressions || mode == kColorHSVExpressions) {
    SurfaceExpressionColor(color, args, out);
  } else {
    SurfacePatternColors(mode, i, j, n, out);
  }
}

uint32_t BuildSurfaceTriangles(const uint8_t* valid, int32_t n, uint32_t mode, uint32_t* triangles) {
  if (!SurfaceModeDrawsTriangles(mode) || n < 2) return 0;
  const bool twoTone = SurfaceVertexCopies(mode) == 2;
  uint32_t count = 0;
  for (int32_t i = 0; i + 1 < n; ++i) {
    for (int32_t j = 0; j + 1 < n; ++j) {
      const uint32_t k[4] = {uint32_t(i * n + j), uint32_t(i * n + j + 1), uint32_t((i + 1) * n + j),
                             uint32_t((i + 1) * n + j + 1)};  // a, b, c, d
      const bool ok[4] = {valid[k[0]] != 0, valid[k[1]] != 0, valid[k[2]] != 0, valid[k[3]] != 0};
      const int validCorners = ok[0] + ok[1] + ok[2] + ok[3];
      if (validCorners < 3) continue;
      uint32_t v[4];
      for (int corner = 0; corner < 4; ++corner) {
        uint32_t copy = 0;
        switch (mode) {
          case kColorHueStepsDown:
            copy = corner < 2 ? 1 : 0;  // B at a and b
            break;
          case kColorHueStepsAcross:
            copy = corner % 2 == 0 ? 1 : 0;  // B at a and c
            break;
          case kColorChecks:
            copy = uint32_t(i ^ j) & 1u;
            break;
          case kColorStripesAcross:
            copy = uint32_t(i) & 1u;
            break;
          case kColorStripesAlong:
            copy = uint32_t(j) & 1u;
            break;
          default:
            break;
        }
        v[corner] = twoTone ? 2 * k[corner] + copy : k[corner];
      }
      const uint32_t a = v[0], b = v[1], c = v[2], d = v[3];
      auto put = [&](uint32_t p, uint32_t q, uint32_t r) {
        triangles[3 * count] = p, triangles[3 * count + 1] = q, triangles[3 * count + 2] = r;
        ++count;
      };
      if (validCorners == 4) {
        put(a, d, b);
        put(a, c, d);
      } else if (!ok[0]) {
        put(b, c, d);
      } else if (!ok[1]) {
        put(a, c, d);
      } else if (!ok[2]) {
        put(a, d, b);
      } else {
        put(a, c, b);
      }
    }
  }
  return count;
}

bool UnitNormal(const double n[3], float out[3]) {
  const double squared = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
  if (squared > 1e-280 && squared < 1e280) {  // the common case: no scaling needed
    const double k = 1.0 / std::sqrt(squared);
    for (int c = 0; c < 3; ++c) out[c] = float(n[c] * k);
    return true;
  }
  out[0] = out[1] = out[2] = 0.0f;
  const double scale = std::max({std::fabs(n[0]), std::fabs(n[1]), std::fabs(n[2])});
  if (!std::isfinite(scale) || scale == 0.0 || !std::isfinite(n[0] + n[1] + n[2])) return false;
  const double a = n[0] / scale, b = n[1] / scale, c = n[2] / scale;
  const double length = std::sqrt(a * a + b * b + c * c);
  out[0] = float(a / length);
  out[1] = float(b / length);
  out[2] = float(c / length);
  return true;
}

void FiniteDifferenceNormals(const float* vertices, const uint8_t* valid, int32_t n, int32_t copies, float* normals) {
  if (n < 2) return;
  auto at = [&](int32_t i, int32_t j) { return vertices + 3 * copies * (i * n + j); };
  const SameTolerance same = SameToleranceOf(vertices, valid, n, copies);
  auto usable = [&](int32_t i, int32_t j, const float* p) {
    return valid[i * n + j] != 0 && !SamePoint(at(i, j), p, same);
  };
  for (int32_t i = 0; i < n; ++i) {
    for (int32_t j = 0; j < n; ++j) {
      const int32_t k = i * n + j;
      float* normal = normals + 3 * copies * k;
      if (!valid[k] || normal[0] != 0.0f || normal[1] != 0.0f || normal[2] != 0.0f) continue;
      const float* p = at(i, j);
      double sign = 1.0;
      const int32_t qi = i < n - 1 ? i + 1 : i - 1;
      const int32_t rj = j < n - 1 ? j + 1 : j - 1;
      if (i == n - 1) sign = -sign;
      if (j == n - 1) sign = -sign;
      const float* q = usable(qi, j, p) ? at(qi, j) : valid[qi * n + rj] ? at(qi, rj) : p;
      const float* r = usable(i, rj, p) ? at(i, rj) : valid[qi * n + rj] ? at(qi, rj) : p;
      const double pq[3] = {double(p[0]) - q[0], double(p[1]) - q[1], double(p[2]) - q[2]};
      const double rp[3] = {double(r[0]) - p[0], double(r[1]) - p[1], double(r[2]) - p[2]};
      const double m[3] = {sign * (rp[1] * pq[2] - rp[2] * pq[1]), sign * (rp[2] * pq[0] - rp[0] * pq[2]),
                           sign * (rp[0] * pq[1] - rp[1] * pq[0])};
      float unit[3];
      if (!UnitNormal(m, unit)) continue;
      for (int c = 0; c < copies; ++c) std::copy(unit, unit + 3, normal + 3 * c);
    }
  }
}
