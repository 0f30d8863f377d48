// GraphCurve2D: a plane curve of one parameter, (x(u), y(u)) for u over the view's range of t,
// theta or r (parametric, polar and the other forms the factory turns into two coordinate
// functions): n = 200..1000 samples at equal parameter steps (the last exactly at the range's
// end), computed under the time budget, drawn as lines limited to a large disc, hit within four
// pixels, probed with snapping to axis crossings and turning points, and searched for the nearest
// point behind the view's intersection snapping and point dragging.
// Invariants: sample k lies at the parameter of k alone, so any slicing of Compute gives the same
// samples; a segment is drawn, hit or searched only when its four coordinates are finite; a graph
// without sample storage is complete and draws, hits and probes nothing; every walk has a cap.
#pragma once

#include <cstdint>

#include "graphs/core/graph_kind.h"
#include "graphs/view2d/view_map.h"

class GraphColor;
struct CompiledFunction;

// The probe's read-out kinds the factory gives: a parametric curve of a 2-vector, the polar
// r = f(theta) and theta = f(r), and a polar pair of t.
enum CurveProbeKind : int32_t { kCurveParametric = 3, kCurvePolarR = 4, kCurvePolarTheta = 5, kCurvePolarPair = 6 };
// A probe snaps to an axis crossing or turning point of the curve within this many pixels.
inline constexpr double kCurveSnapPixels = 4.0;
inline constexpr int32_t kCurveMaxWalkSteps = 10000;

using CurvePoint = ProbePoint;

// The polyline of world points through the map, with the pen in the colour and clipped to the
// map's frame: each segment whose four coordinates are finite, limited to the disc of the radius
// around the frame's centre (so no end leaves the pixel range), from pixel to pixel.
void DrawWorldPolyline(const ViewMap* map, const CurvePoint* points, int32_t count, double radius, uint32_t rgb);

class GraphCurve2D final : public GraphKind2D {
 public:
  // Takes over both functions (compiled here, each with its derivative by u when it uses only
  // smooth operators) and the colour. `range` points at the parameter's two bounds (the view's),
  // read at every use. Samples that cannot be had post error 7 and leave the graph empty.
  GraphCurve2D(CompiledFunction* x, CompiledFunction* y, GraphColor* color, double grain, int32_t probeKind,
               const ViewMap* map, const double* range);
  ~GraphCurve2D() override;
  GraphCurve2D(const GraphCurve2D&) = delete;
  GraphCurve2D& operator=(const GraphCurve2D&) = delete;

  // Samples from the next one on; the clock is read before each.
  void Compute(int32_t budget) override;
  bool Draw() override;
  // 2 without a drawable segment, 5 when none meets the frame, else 0.
  int32_t Status() override;
  void VariableChanged(int32_t symbol, double value) override;
  // 6: colour index; 8: grain (the samples are made again).
  void SetOption(int32_t code, double value) override;
  void Invalidate() override { next_ = 0; }
  bool IsComplete() override { return points_ == nullptr || next_ >= count_; }
  void GeometryChanged() override {}
  void Scroll(int32_t, int32_t) override {}
  // The first segment within four pixels; its start becomes the hit parameter.
  bool HitTest(double x, double y) override;
  // Mode probeKind at the curve point nearest the pointer, walked from the hit parameter.
  ProbeRecord Probe(double x, double y) override;
  NearestPointRecord NearestPoint(double x, double y, double tolerance, double tmin, double tmax) override;

  // Read access for the tests.
  int32_t SampleCount() const { return count_; }
  int32_t Computed() const { return next_; }
  const CurvePoint* Samples() const { return points_; }
  double HitParameter() const { return hitParameter_; }
  GraphColor* Color() const { return color_; }
  CompiledFunction* XFunction() const { return xFunction_; }
  CompiledFunction* YFunction() const { return yFunction_; }
  int32_t ProbeKind() const { return probeKind_; }
  const double* Range() const { return range_; }
  // The parameter of sample k.
  double ParameterOf(int32_t k) const;

 private:
  void AllocatePoints();
  // The parameter's bounds, lower first: the walks and searches run over them whichever way the
  // range is given (the samples keep its direction).
  void OrderedRange(double* t0, double* t1) const;
  CurvePoint At(double t) const;
  // The screen step of a third of a pixel as a parameter step at t, or `fallback` where the
  // derivatives are missing or give no usable step.
  double ParameterStep(double t, double fallback) const;
  // Squared distance on the screen, y scaled to x units.
  double Distance2(const CurvePoint& p, double x, double y) const;
  // The start of the drawable segment nearest the point; false when there is none.
  bool NearestSegmentStart(double x, double y, double* t) const;
  void SnapProbe(ProbeRecord* record) const;
  double Aspect() const { return map_->unitsPerPixelX / map_->unitsPerPixelY; }

  const ViewMap* map_;
  const double* range_;
  CompiledFunction* xFunction_;
  CompiledFunction* yFunction_;
  CompiledFunction* dxdt_ = nullptr;
  CompiledFunction* dydt_ = nullptr;
  int32_t next_ = 0;
  int32_t count_;
  CurvePoint* points_ = nullptr;  // counted memory, count_ samples
  GraphColor* color_;
  int32_t probeKind_;
  double hitParameter_;
};

// The factory's constructor of the kind: null (nothing taken over) when the object cannot be had.
GraphKind2D* NewCurveGraph(CompiledFunction* x, CompiledFunction* y, GraphColor* color, double grain,
                           int32_t probeKind, const ViewMap* map, const double* range);
