// Numerical helpers of the 2D views and graph kinds: rounding to significant digits
// and to nice axis steps, level crossings of a function along segments, and plane
// segment geometry. Every routine terminates on any input (NaN, infinities, zero)
// and allocates nothing; functions are reached through a RealEvaluator.
#pragma once

// The real entry point of a compiled function, f(u, v, x, y, z, w); NaN where the
// function is undefined. The segment searches call it with (x, 0, x, y, z, 0) and
// LevelCrossesBoxAround with (0, 0, x, y, 0, 0). A plain function pointer and its
// context, so that hot loops neither allocate nor copy.
struct RealEvaluator {
  double (*evaluate)(void* context, double u, double v, double x, double y, double z, double w);
  void* context;

  double operator()(double u, double v, double x, double y, double z, double w) const {
    return evaluate(context, u, v, x, y, z, w);
  }
};

struct CompiledFunction;
// The real entry point of a compiled function (EvaluateFunction6) as an evaluator;
// the function must be compiled and outlive the result.
RealEvaluator CompiledFunctionEvaluator(CompiledFunction* function);

// Wraps any callable taking the six arguments; the callable must outlive the result.
template <typename Callable>
RealEvaluator MakeRealEvaluator(Callable& callable) {
  return RealEvaluator{[](void* context, double u, double v, double x, double y, double z, double w) {
                         return static_cast<double>((*static_cast<Callable*>(context))(u, v, x, y, z, w));
                       },
                       static_cast<void*>(&callable)};
}

// value rounded to n significant digits, n clamped to 1..15. Zero, NaN and the
// infinities come back unchanged, and so does a value whose scale 10^k overflows,
// underflows or whose rounding would overflow. The power of ten is built by repeated
// multiplication, so (123.456, 0) gives 99.99999999999999.
double RoundToSignificantDigits(double value, int n);

// An axis step: value rounded to one significant digit, or to its leading digit
// plus one half when that is closer (0.0037 -> 0.004, 0.0035 -> 0.0035, 1.4 -> 1.5).
// Non-finite, zero or negative input, or a scale that overflows, comes back unchanged.
double NiceRoundStep(double value);

// a + t (b - a) with the digits below the precision of a and b removed; 0 when the
// result is within rounding noise of zero. NaN and infinities come back unchanged.
double SnapInterpolate(double a, double b, double t);

// Crossing of f = level on the segment p0-p1 (coordinates x, y, z), given
// fa = f(p0) - level and fb = f(p1) - level of opposite signs (or one of them 0).
// False position for at most 16 steps, then bisection for at most 1024. Both stop
// at a relative step of 2^-52 or an exact zero; a positive tolerance also ends false
// position once the bracket is narrower than it (not the last step, which can be far
// smaller than the error) and bisection once its step is. With tolerance 0 the
// coordinates are snapped (SnapInterpolate). Returns true with the point; false when
// an evaluation (or fa, fb) is NaN. outY and outZ may be null.
bool FindRootSecant(const RealEvaluator& f, double level, double tolerance, double fa, double fb,
                    double x0, double x1, double y0, double y1, double z0, double z1,
                    double* outX, double* outY, double* outZ);

// True when f = level crosses the plane segment (x0, y0)-(x1, y1) (the end values
// minus level are not both > 0 nor both < 0, and neither is NaN), with the point.
bool LocateZeroOnSegment(const RealEvaluator& f, double level, double x0, double y0, double x1,
                         double y1, double* outX, double* outY);
// Parameter form used by the curve graphs: a crossing of level by a one-variable
// function on [ta, tb]; the evaluator reads the parameter from its x (and u) argument.
bool LocateZeroOnSegment(const RealEvaluator& f, double level, double ta, double tb, double* outT);

// True when one of the eight points of the box (cx +- dx, cy +- dy; corners, then
// edge midpoints) lies on the other side of the level from the centre: f - level
// >= 0 at one and < 0 at the other. NaN at either never counts as a crossing.
bool LevelCrossesBoxAround(const RealEvaluator& f, double level, double cx, double cy, double dx,
                           double dy);

// The crossing of f = level on the eight segments from the centre to the box points
// nearest to (px, py), vertical differences scaled by dx / dy; when none, the first
// crossing on boxes shrunk to k/10 of the half sizes, k = 1..9. False when none.
bool NearestLevelCrossing(const RealEvaluator& f, double level, double cx, double cy, double dx,
                          double dy, double px, double py, double* outX, double* outY);

// Squared distance from (px, py) to the segment a-b; NaN when an end coordinate is
// NaN, +inf when one is infinite; never negative.
double PointSegmentDistanceSquared(double px, double py, double ax, double ay, double bx, double by);
// The point of segment a-b nearest to (px, py).
void NearestPointOnSegment(double px, double py, double ax, double ay, double bx, double by,
                           double* outX, double* outY);

// True when segments p and q are parallel (slopes within 1e-6 relative), q1 lies
// within 1% of |p| of segment p, and q is not wholly beyond p's x range.
bool InterpolateCrossing(double p1x, double p1y, double p2x, double p2y, double q1x, double q1y,
                         double q2x, double q2y);
// True when segments p and q intersect (within 16 ulps of the coordinates), with
// out = (NaN, x, y). Parallel, degenerate or NaN segments give false.
bool InterpolateCrossing2(double p1x, double p1y, double p2x, double p2y, double q1x, double q1y,
                          double q2x, double q2y, double out[3]);

// Clips the segment (x0, y0)-(x1, y1) in place to the disc of radius r around
// (cx, cy). Both ends strictly inside: unchanged. A segment that misses the disc
// collapses to the single point (cx + r, cy).
void ClipSegmentToCircle(double cx, double cy, double r, double* x0, double* y0, double* x1,
                         double* y1);

// Clips the segment (x0, y0)-(x1, y1) in place to the closed rectangle left <= x <= right,
// bottom <= y <= top. False (the ends unchanged) when it misses the rectangle. The ends must be
// finite; however far apart, nothing overflows (the clipped ends are exact to the rounding of the
// ends' size), and an end inside stays exactly as it was.
bool ClipSegmentToRect(double left, double right, double top, double bottom, double* x0, double* y0, double* x1,
                       double* y1);

// True when the segment meets the open rectangle left < x < right, bottom < y < top.
bool SegmentMeetsRect(double x0, double y0, double x1, double y1, double left, double right,
                      double top, double bottom);

// The names the graph kinds use for the same routines.
inline void IntersectSegmentWithLine(double cx, double cy, double r, double* x0, double* y0,
                                     double* x1, double* y1) {
  ClipSegmentToCircle(cx, cy, r, x0, y0, x1, y1);
}
inline bool SegmentIntersectsRect(double x0, double y0, double x1, double y1, double left,
                                  double right, double top, double bottom) {
  return SegmentMeetsRect(x0, y0, x1, y1, left, right, top, bottom);
}
inline double SegmentDistanceSquared(double px, double py, double ax, double ay, double bx,
                                     double by) {
  return PointSegmentDistanceSquared(px, py, ax, ay, bx, by);
}
