// The 4D projection: points, directions, the axis labels' perspective and the cube map.
#include "graphs/view4d/projection_4d.h"

#include <algorithm>

namespace {

constexpr double kLabelEyeDistance = 50.0;

double Dot4(const double a[4], const double b[4]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3]; }

}  // namespace

void Project4DPoint(const Projection4D& p, const double point[4], double out3[3], double* depth) {
  const double d[4] = {point[0] - p.eye[0], point[1] - p.eye[1], point[2] - p.eye[2], point[3] - p.eye[3]};
  out3[0] = Dot4(d, p.axisX);
  out3[1] = Dot4(d, p.axisY);
  out3[2] = Dot4(d, p.axisZ);
  *depth = Dot4(d, p.axisDepth) * p.depthScale + p.depthOffset;
}

void Project4DDirection(const Projection4D& p, const double v[4], double out3[3]) {
  out3[0] = Dot4(v, p.axisX);
  out3[1] = Dot4(v, p.axisY);
  out3[2] = Dot4(v, p.axisZ);
}

void ProjectAxisPoint3D(const double point3[3], double* h, double* v) {
  const double d[3] = {point3[0] - kLabelEyeDistance, point3[1], point3[2]};
  const double n = -d[0];
  *h = kLabelEyeDistance * d[1] / n;
  *v = -kLabelEyeDistance * d[2] / n;
}

CubeAxis CubeAxisOf(double min, double max) { return CubeAxis{2.0 / (max - min), (min + max) / 2.0}; }

void CubeAxesOf(const Projection4D& projection, CubeAxis out[4]) {
  for (int k = 0; k < 4; ++k) out[k] = CubeAxisOf(projection.ranges[2 * k], projection.ranges[2 * k + 1]);
}

bool MapIntoCube(const double world[4], const CubeAxis axes[4], double out[4], double* maxRadius) {
  for (int k = 0; k < 4; ++k) out[k] = axes[k].scale * (world[k] - axes[k].centre);
  if (!IsFinite4(out)) return false;
  const double r2 = Dot4(out, out);
  double r;
  if (r2 < 1e300) {
    if (r2 <= *maxRadius * *maxRadius) return true;  // the common case: no square root
    r = std::sqrt(r2);
  } else {
    // The squares would overflow: the length of the point scaled by its largest coordinate.
    const double m = std::max({std::fabs(out[0]), std::fabs(out[1]), std::fabs(out[2]), std::fabs(out[3])});
    const double s[4] = {out[0] / m, out[1] / m, out[2] / m, out[3] / m};
    r = m * std::sqrt(Dot4(s, s));
  }
  if (r > *maxRadius) *maxRadius = r;
  return true;
}
