// Rounding, level-crossing searches and segment geometry for the 2D graphs.
// Invariants: every loop has a fixed bound (scales at most ~650 steps, searches
// 16 + 1024 evaluations); NaN never counts as a crossing; tolerances scale by the
// kernel epsilon 2^-52.
#include "kernel/numeric/numeric_helpers.h"

#include <algorithm>
#include <cmath>

#include "kernel/eval/compiled_function.h"
#include "kernel/numeric/numeric_constants.h"

namespace {

// 10^k by repeated multiplication (the rounding behaviour callers see depends on
// it: 10^-2 is 0.010000000000000002). k is bounded by the caller.
double PowerOfTenByMultiplication(int k) {
  double s = 1.0;
  if (k >= 0) {
    for (int i = 0; i < k; ++i) s *= 10.0;
  } else {
    for (int i = 0; i < -k; ++i) s *= 0.1;
  }
  return s;
}

bool IsUsableScale(double s) { return std::isfinite(s) && s != 0.0; }

// The point at parameter t of the segment p0-p1, per coordinate.
double Lerp(double p0, double p1, double t) { return std::fma(t, p1 - p0, p0); }

double EvaluateCompiled(void* context, double u, double v, double x, double y, double z, double w) {
  return EvaluateFunction6(static_cast<CompiledFunction*>(context), u, v, x, y, z, w);
}

}  // namespace

RealEvaluator CompiledFunctionEvaluator(CompiledFunction* function) {
  return RealEvaluator{EvaluateCompiled, function};
}

double RoundToSignificantDigits(double value, int n) {
  if (value == 0.0 || !std::isfinite(value)) return value;
  n = std::clamp(n, 1, 15);
  // |value| is finite and non-zero, so e lies in -324..308 and the loop is short.
  const int e = static_cast<int>(std::floor(std::log10(std::fabs(value))));
  const double s = PowerOfTenByMultiplication(n - 1 - e);
  if (!IsUsableScale(s)) return value;
  const double rounded = std::floor(std::fma(value, s, 0.5)) / s;
  return std::isfinite(rounded) ? rounded : value;
}

double NiceRoundStep(double value) {
  if (!(value > 0.0) || !std::isfinite(value)) return value;
  const int e = static_cast<int>(std::floor(std::log10(value)));
  const double s = PowerOfTenByMultiplication(-e);
  if (!IsUsableScale(s)) return value;
  const double r = RoundToSignificantDigits(value, 1);
  if (std::fabs(s * (r - value)) < 0.33) return r;
  return (0.5 + std::trunc(value * s)) / s;
}

double SnapInterpolate(double a, double b, double t) {
  const double v = std::fma(t, b - a, a);
  // An infinite value is no rounding noise, although it never exceeds an infinite bound.
  if (!std::isfinite(v)) return v;
  // epsilon (|a| + |b|) / 2, formed so that it cannot overflow for huge a and b.
  const double halfTol = 0.5 * kMachineEpsilon * std::fabs(a) + 0.5 * kMachineEpsilon * std::fabs(b);
  if (std::fabs(v) <= halfTol) return 0.0;
  // Clamp in doubles first: the ratio is infinite when halfTol underflows to 0.
  const double digits = std::clamp(std::floor(std::log10(std::fabs(v) / halfTol)), 1.0, 15.0);
  return RoundToSignificantDigits(v, static_cast<int>(digits));
}

bool FindRootSecant(const RealEvaluator& f, double level, double tolerance, double fa, double fb,
                    double x0, double x1, double y0, double y1, double z0, double z1,
                    double* outX, double* outY, double* outZ) {
  auto answer = [&](double t, bool snap) {
    if (snap) {
      *outX = SnapInterpolate(x0, x1, t);
      if (outY) *outY = SnapInterpolate(y0, y1, t);
      if (outZ) *outZ = SnapInterpolate(z0, z1, t);
    } else {
      *outX = Lerp(x0, x1, t);
      if (outY) *outY = Lerp(y0, y1, t);
      if (outZ) *outZ = Lerp(z0, z1, t);
    }
    return true;
  };
  auto valueAt = [&](double t) {
    const double x = Lerp(x0, x1, t);
    return f(x, 0.0, x, Lerp(y0, y1, t), Lerp(z0, z1, t), 0.0) - level;
  };

  if (std::isnan(fa) || std::isnan(fb)) return false;
  if (fa == 0.0) {
    *outX = x0;
    if (outY) *outY = y0;
    if (outZ) *outZ = z0;
    return true;
  }
  if (fb == 0.0) {
    *outX = x1;
    if (outY) *outY = y1;
    if (outZ) *outZ = z1;
    return true;
  }

  // False position on the bracket [a, b].
  double a = 0.0;
  double b = 1.0;
  double previous = kUndefinedReal;
  for (int iteration = 0; iteration < 16; ++iteration) {
    // One end far smaller than the other: the secant would creep; bisect instead.
    if (std::fabs(fb / fa) < kMachineEpsilon || std::fabs(fa / fb) < kMachineEpsilon) break;
    const double t = a - fa * (b - a) / (fb - fa);
    const double ft = valueAt(t);
    if (std::isnan(ft)) return false;
    if ((ft < 0.0) == (fa < 0.0)) {
      a = t;
      fa = ft;
    } else {
      b = t;
      fb = ft;
    }
    // A caller's tolerance bounds the bracket, not the last step: false position
    // creeps from one side on skewed functions with steps far below its error.
    const double step = std::fabs(t - previous);
    if (b - a < tolerance || step < t * kMachineEpsilon || ft == 0.0) {
      return answer(t, tolerance == 0.0);
    }
    previous = t;
  }

  // Bisection from the end where the value is negative towards the other one.
  double position = (fa < 0.0) ? a : b;
  double step = (fa < 0.0) ? (b - a) : (a - b);
  for (int iteration = 0; iteration < 1024; ++iteration) {
    step *= 0.5;
    const double t = position + step;
    const double ft = valueAt(t);
    if (std::isnan(ft)) return false;
    if (ft <= 0.0) position = t;
    if (ft == 0.0 || std::fabs(step) < tolerance || std::fabs(step) < std::fabs(position) * kMachineEpsilon) {
      break;
    }
  }
  return answer(position, true);
}

bool LocateZeroOnSegment(const RealEvaluator& f, double level, double x0, double y0, double x1,
                         double y1, double* outX, double* outY) {
  const double fa = f(x0, 0.0, x0, y0, 0.0, 0.0) - level;
  const double fb = f(x1, 0.0, x1, y1, 0.0, 0.0) - level;
  if (std::isnan(fa) || std::isnan(fb)) return false;
  if ((fa > 0.0 && fb > 0.0) || (fa < 0.0 && fb < 0.0)) return false;
  return FindRootSecant(f, level, 0.0, fa, fb, x0, x1, y0, y1, 0.0, 0.0, outX, outY, nullptr);
}

bool LocateZeroOnSegment(const RealEvaluator& f, double level, double ta, double tb, double* outT) {
  double unusedY = 0.0;
  return LocateZeroOnSegment(f, level, ta, 0.0, tb, 0.0, outT, &unusedY);
}

namespace {

// The eight box points around a centre, in the order both searches use:
// corners (-,-), (-,+), (+,+), (+,-), then the midpoints left, top, right, bottom.
constexpr double kBoxX[8] = {-1, -1, 1, 1, -1, 0, 1, 0};
constexpr double kBoxY[8] = {-1, 1, 1, -1, 0, 1, 0, -1};

bool OnOppositeSides(double centre, double other) {
  return (centre >= 0.0 && other < 0.0) || (centre < 0.0 && other >= 0.0);
}

}  // namespace

bool LevelCrossesBoxAround(const RealEvaluator& f, double level, double cx, double cy, double dx,
                           double dy) {
  const double centre = f(0.0, 0.0, cx, cy, 0.0, 0.0) - level;
  for (int i = 0; i < 8; ++i) {
    const double value = f(0.0, 0.0, cx + kBoxX[i] * dx, cy + kBoxY[i] * dy, 0.0, 0.0) - level;
    if (OnOppositeSides(centre, value)) return true;
  }
  return false;
}

bool NearestLevelCrossing(const RealEvaluator& f, double level, double cx, double cy, double dx,
                          double dy, double px, double py, double* outX, double* outY) {
  // Vertical differences in horizontal units. With dy = 0 the weight is not finite and
  // the distances compare false: the first crossing found is kept.
  const double weight = (dx * dx) / (dy * dy);
  bool found = false;
  double best = kPositiveInfinity;
  for (int i = 0; i < 8; ++i) {
    double x = 0.0;
    double y = 0.0;
    if (!LocateZeroOnSegment(f, level, cx, cy, cx + kBoxX[i] * dx, cy + kBoxY[i] * dy, &x, &y)) continue;
    const double distance = (x - px) * (x - px) + weight * (y - py) * (y - py);
    if (!found || distance < best) {
      found = true;
      best = distance;
      *outX = x;
      *outY = y;
    }
  }
  if (found) return true;

  for (int k = 1; k <= 9; ++k) {
    const double kx = k * dx / 10.0;
    const double ky = k * dy / 10.0;
    for (int i = 0; i < 8; ++i) {
      if (LocateZeroOnSegment(f, level, cx, cy, cx + kBoxX[i] * kx, cy + kBoxY[i] * ky, outX, outY)) {
        return true;
      }
    }
  }
  return false;
}

namespace {

// Point p against segment a-b: squared distances to both ends, and the dot products
// of d = b - a with a - p and b - p (their signs say where the foot falls).
struct SegmentProjection {
  double dx, dy, toA, toB, da, db;
  // The foot of the perpendicular lies strictly between a and b.
  bool FootInside() const { return da < 0.0 && db > 0.0; }
};

SegmentProjection ProjectOntoSegment(double px, double py, double ax, double ay, double bx,
                                     double by) {
  const double dx = bx - ax;
  const double dy = by - ay;
  const double apx = ax - px;
  const double apy = ay - py;
  const double bpx = bx - px;
  const double bpy = by - py;
  return {dx, dy, apx * apx + apy * apy, bpx * bpx + bpy * bpy, dx * apx + dy * apy,
          dx * bpx + dy * bpy};
}

}  // namespace

double PointSegmentDistanceSquared(double px, double py, double ax, double ay, double bx, double by) {
  if (std::isnan(ax) || std::isnan(ay) || std::isnan(bx) || std::isnan(by)) return kUndefinedReal;
  if (std::isinf(ax) || std::isinf(ay) || std::isinf(bx) || std::isinf(by)) return kPositiveInfinity;
  const SegmentProjection s = ProjectOntoSegment(px, py, ax, ay, bx, by);
  if (s.FootInside()) {
    // Cancellation can leave a tiny negative remainder for points on the line.
    return std::max(0.0, s.toA - (s.da * s.da) / (s.dx * s.dx + s.dy * s.dy));
  }
  return std::min(s.toA, s.toB);
}

void NearestPointOnSegment(double px, double py, double ax, double ay, double bx, double by,
                           double* outX, double* outY) {
  const SegmentProjection s = ProjectOntoSegment(px, py, ax, ay, bx, by);
  if (s.FootInside()) {
    const double k = s.da / (s.dx * s.dx + s.dy * s.dy);
    *outX = ax - s.dx * k;
    *outY = ay - s.dy * k;
  } else if (s.toA <= s.toB) {
    *outX = ax;
    *outY = ay;
  } else {
    *outX = bx;
    *outY = by;
  }
}

bool InterpolateCrossing(double p1x, double p1y, double p2x, double p2y, double q1x, double q1y,
                         double q2x, double q2y) {
  const double dx = p2x - p1x;
  const double dy = p2y - p1y;
  const double ex = q2x - q1x;
  const double ey = q2y - q1y;
  // Slope in the form that stays bounded for p: by magnitude, so a leftward or
  // downward p is treated like its mirror image.
  const bool flat = std::fabs(dy) < std::fabs(dx);
  const double slopeP = flat ? dy / dx : dx / dy;
  const double slopeQ = flat ? ey / ex : ex / ey;
  if (std::isnan(slopeP) || std::isnan(slopeQ) || !std::isfinite(slopeQ)) return false;
  if (!(std::fabs(slopeP - slopeQ) <= 1e-6 * std::max(std::fabs(slopeP), std::fabs(slopeQ)))) {
    return false;
  }
  auto beyondP = [&](double x) { return (x > p1x && x > p2x) || (x < p1x && x < p2x); };
  if (beyondP(q1x) && beyondP(q2x)) return false;
  return PointSegmentDistanceSquared(q1x, q1y, p1x, p1y, p2x, p2y) <= 0.0001 * (dx * dx + dy * dy);
}

bool InterpolateCrossing2(double p1x, double p1y, double p2x, double p2y, double q1x, double q1y,
                          double q2x, double q2y, double out[3]) {
  const double mp = (p2y - p1y) / (p2x - p1x);
  const double mq = (q2y - q1y) / (q2x - q1x);
  if (std::isnan(mp) || std::isnan(mq)) return false;
  const bool verticalP = std::isinf(mp);
  const bool verticalQ = std::isinf(mq);
  if (verticalP && verticalQ) return false;
  double x = 0.0;
  double y = 0.0;
  if (verticalP) {
    x = p1x;
    y = q1y + mq * (x - q1x);
  } else if (verticalQ) {
    x = q1x;
    y = p1y + mp * (x - p1x);
  } else {
    const double bp = p1y - mp * p1x;
    const double bq = q1y - mq * q1x;
    x = (bq - bp) / (mp - mq);
    y = mp * x + bp;
  }
  const double slackX =
      16.0 * kMachineEpsilon * std::max({std::fabs(p1x), std::fabs(p2x), std::fabs(q1x), std::fabs(q2x)});
  const double slackY =
      16.0 * kMachineEpsilon * std::max({std::fabs(p1y), std::fabs(p2y), std::fabs(q1y), std::fabs(q2y)});
  auto within = [](double v, double e1, double e2, double slack) {
    return v >= std::min(e1, e2) - slack && v <= std::max(e1, e2) + slack;
  };
  if (!(within(x, p1x, p2x, slackX) && within(y, p1y, p2y, slackY) && within(x, q1x, q2x, slackX) &&
        within(y, q1y, q2y, slackY))) {
    return false;
  }
  out[0] = kUndefinedReal;
  out[1] = x;
  out[2] = y;
  return true;
}

void ClipSegmentToCircle(double cx, double cy, double r, double* x0, double* y0, double* x1,
                         double* y1) {
  const double ax = *x0 - cx;
  const double ay = *y0 - cy;
  const double bx = *x1 - cx;
  const double by = *y1 - cy;
  const double r2 = r * r;
  const bool inside0 = ax * ax + ay * ay < r2;
  const bool inside1 = bx * bx + by * by < r2;
  if (inside0 && inside1) return;

  const double sx0 = *x0, sy0 = *y0, sx1 = *x1, sy1 = *y1;
  *x0 = cx + r;
  *y0 = cy;
  *x1 = cx + r;
  *y1 = cy;

  // Parametrise the line by the coordinate along which the segment extends more
  // (s; the other is o = o0 + m (s - s0)), so that its intersections come out exact
  // for axis-parallel segments.
  const bool alongX = std::fabs(sx1 - sx0) >= std::fabs(sy1 - sy0);
  const double s0 = alongX ? sx0 : sy0;
  const double s1 = alongX ? sx1 : sy1;
  const double o0 = alongX ? sy0 : sx0;
  const double o1 = alongX ? sy1 : sx1;
  const double cs = alongX ? cx : cy;
  const double co = alongX ? cy : cx;
  const double m = (o1 - o0) / (s1 - s0);
  // With u = s - cs, the line is o - co = k + m u.
  const double k = (o0 - co) + m * (cs - s0);
  const double a = 1.0 + m * m;
  const double discriminant = r * r * a - k * k;
  if (!(discriminant >= 0.0)) return;  // also NaN: a degenerate or undefined segment
  const double root = std::sqrt(discriminant);
  const double sLow = cs + (-k * m - root) / a;
  const double sHigh = cs + (-k * m + root) / a;
  const double segLow = std::min(s0, s1);
  const double segHigh = std::max(s0, s1);
  if (!(sHigh >= segLow && sLow <= segHigh)) return;
  const double clipLow = std::max(sLow, segLow);
  const double clipHigh = std::min(sHigh, segHigh);
  // An end outside moves to the clipped bound on its own side.
  const double e0 = inside0 ? s0 : (s0 <= s1 ? clipLow : clipHigh);
  const double e1 = inside1 ? s1 : (s0 <= s1 ? clipHigh : clipLow);
  const double f0 = inside0 ? o0 : o0 + m * (e0 - s0);
  const double f1 = inside1 ? o1 : o0 + m * (e1 - s0);
  *x0 = alongX ? e0 : f0;
  *y0 = alongX ? f0 : e0;
  *x1 = alongX ? e1 : f1;
  *y1 = alongX ? f1 : e1;
}

namespace {

// The parameters *tLow <= *tHigh of the part of the segment inside the closed rectangle (Liang and
// Barsky's clip); false when it misses. Differences are taken of halves, so finite ends far apart
// never overflow.
bool ClipSegmentRange(double x0, double y0, double x1, double y1, double left, double right, double top,
                      double bottom, double* tLow, double* tHigh) {
  const double dx = 0.5 * x1 - 0.5 * x0;
  const double dy = 0.5 * y1 - 0.5 * y0;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {0.5 * x0 - 0.5 * left, 0.5 * right - 0.5 * x0, 0.5 * y0 - 0.5 * bottom,
                       0.5 * top - 0.5 * y0};
  *tLow = 0.0;
  *tHigh = 1.0;
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0.0) {
      if (!(q[i] >= 0.0)) return false;
      continue;
    }
    const double ratio = q[i] / p[i];
    if (p[i] < 0.0) {
      *tLow = std::max(*tLow, ratio);
    } else {
      *tHigh = std::min(*tHigh, ratio);
    }
  }
  return *tLow <= *tHigh;
}

// The point a fraction t of the way from p0 to p1 without forming p1 - p0: exact at both ends and
// finite for any finite ends.
double Between(double p0, double p1, double t) { return t == 0.0 ? p0 : t == 1.0 ? p1 : p0 * (1.0 - t) + p1 * t; }

}  // namespace

bool ClipSegmentToRect(double left, double right, double top, double bottom, double* x0, double* y0, double* x1,
                       double* y1) {
  double tLow, tHigh;
  if (!ClipSegmentRange(*x0, *y0, *x1, *y1, left, right, top, bottom, &tLow, &tHigh)) return false;
  const double a[4] = {Between(*x0, *x1, tLow), Between(*y0, *y1, tLow), Between(*x0, *x1, tHigh),
                       Between(*y0, *y1, tHigh)};
  *x0 = a[0], *y0 = a[1], *x1 = a[2], *y1 = a[3];
  return true;
}

bool SegmentMeetsRect(double x0, double y0, double x1, double y1, double left, double right,
                      double top, double bottom) {
  auto inside = [&](double x, double y) { return x > left && x < right && y > bottom && y < top; };
  if (inside(x0, y0) || inside(x1, y1)) return true;
  if ((x0 <= left && x1 <= left) || (x0 >= right && x1 >= right) || (y0 <= bottom && y1 <= bottom) ||
      (y0 >= top && y1 >= top)) {
    return false;
  }
  // Clip to the closed rectangle; the segment meets the open one exactly when the
  // middle of the clipped part lies strictly inside (this also takes a segment that
  // runs corner to corner, which a test of the line at the left and right edges
  // misses, and rejects one that only grazes an edge or a corner).
  double tLow, tHigh;
  if (!ClipSegmentRange(x0, y0, x1, y1, left, right, top, bottom, &tLow, &tHigh)) return false;
  const double t = 0.5 * (tLow + tHigh);
  return inside(Lerp(x0, x1, t), Lerp(y0, y1, t));
}
