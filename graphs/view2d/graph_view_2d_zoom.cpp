// GraphView2D grid steps and zoom: the scale ladder (0.1 (5), 0.25 (1), 0.5 (2), 1 (5), ...),
// fitting a range, keeping the major grid lines on whole pixels, the animated zoom that keeps a
// point under its pixel, scrolling, the view commands, and the axes' clamped row and column.
// Every loop here is bounded: scales are normalised before use, powers of ten and ladder steps
// have fixed caps.
#include "graphs/view2d/graph_view_2d.h"

#include <algorithm>
#include <cmath>

#include "graphs/core/compute_worker.h"
#include "graphs/core/document_services.h"
#include "kernel/numeric/numeric_helpers.h"
#include "kernel/threads/timers.h"

namespace {

constexpr int32_t kZoomFrames = 5;  // four animated frames, then the final state
constexpr uint32_t kComputeTicks = 30;
constexpr int32_t kMaxLadderSteps = 64;  // a fit needs at most about four; the cap guards noise
constexpr int32_t kCornerDigits = 14;
constexpr double kCentredWithinPixels = 1.0;  // a range's middle from the view's, once aligned

bool ZoomsX(int32_t code) {
  return code == kZoomInBoth || code == kZoomInX || code == kZoomOutBoth || code == kZoomOutX;
}
bool ZoomsY(int32_t code) {
  return code == kZoomInBoth || code == kZoomInY || code == kZoomOutBoth || code == kZoomOutY;
}
bool ZoomsOut(int32_t code) { return code >= kZoomOutBoth && code <= kZoomOutY; }

// The major grid step: five minor steps for digit 5, four for 1 and 2.
double MajorStep(double minor, int32_t digit) { return (digit == 5 ? 5.0 : 4.0) * minor; }

// 10^e by repeated multiplication, as the ladder arithmetic expects; |e| is bounded by the
// caller (finite positive ratios give |e| <= 700).
double PowerOfTen(int32_t e) {
  double f = 1.0;
  for (int32_t k = 0; k < e; ++k) f *= 10.0;
  for (int32_t k = 0; k > e; --k) f *= 0.1;
  return f;
}

// The finest grid step on the ladder through *step (leading digit *digit) at which `span` world
// units fit in `pixels` pixels: *step and *digit replaced, *shown the width those pixels then show.
// False, nothing changed, when the span or the width shown now is not positive and finite.
bool LadderStepFitting(double span, int32_t pixels, double* step, int32_t* digit, double* shown) {
  const double unitsPerPixel = 1.0 / (16.0 / *step);  // the window map's, from the step
  const double now = unitsPerPixel * pixels;
  if (!(span > 0.0) || !std::isfinite(span) || !(now > 0.0) || !std::isfinite(now)) return false;
  const double ratio = std::log10(span / now);
  if (!std::isfinite(ratio)) return false;
  const double f = PowerOfTen(static_cast<int32_t>(std::floor(ratio)));
  double s = *step * f, w = now * f;
  int32_t d = *digit;
  for (int32_t k = 0; k < kMaxLadderSteps && w < span; ++k) {
    const double grow = d == 5 ? 2.5 : 2.0;
    s *= grow, w *= grow;
    d = d == 1 ? 2 : d == 2 ? 5 : 1;
  }
  *step = s, *digit = d, *shown = w;
  return true;
}

// The first multiple of step at or right of (above) corner.
double FirstLineAtOrAfter(double corner, double step) {
  double line = corner - std::fmod(corner, step);
  if (line < corner) line += step;
  return line;
}

}  // namespace

// ---- Ladder ----

void GraphView2D::StepScale(double* scaleValue, int32_t* digit, bool zoomOut) {
  double v = 2.0 * *scaleValue;  // normalised: positive and finite, so both loops end
  double m = 0.5;
  while (v >= 10.0) v /= 10.0, m *= 10.0;
  while (v < 1.0) v *= 10.0, m /= 10.0;
  int32_t d = static_cast<int32_t>(std::floor(0.5 + v));
  if (d == 10) d = 1, m *= 10.0;
  double next;
  int32_t nextDigit;
  if (d == 1) {
    next = zoomOut ? 2.0 * m : 0.5 * m, nextDigit = zoomOut ? 5 : 1;
  } else if (d == 2) {
    next = zoomOut ? 5.0 * m : m, nextDigit = zoomOut ? 1 : 2;
  } else if (d == 5) {
    next = zoomOut ? 10.0 * m : 2.0 * m, nextDigit = zoomOut ? 2 : 5;
  } else {
    return;  // off the ladder (a scale not of the form 1, 2.5 or 5 x 10^k): unchanged
  }
  if (!IsUsableViewScale(next)) return;  // past the usable range: the ladder stops there
  *scaleValue = next;
  *digit = nextDigit;
}

void GraphView2D::StepScaleX(int32_t code) {
  NormaliseViewScale(&scale, RectWidth(rect), RectHeight(rect));
  if (ZoomsX(code)) StepScale(&scale.scaleX, &scale.stepDigitX, ZoomsOut(code));
}

void GraphView2D::StepScaleY(int32_t code) {
  NormaliseViewScale(&scale, RectWidth(rect), RectHeight(rect));
  if (ZoomsY(code)) StepScale(&scale.scaleY, &scale.stepDigitY, ZoomsOut(code));
}

void GraphView2D::ZoomView(int32_t code) {
  StepScaleX(code);
  StepScaleY(code);
}

// ---- Fit and alignment ----

bool GraphView2D::FitRange(bool vertical, double a, double b) {
  NormaliseViewScale(&scale, RectWidth(rect), RectHeight(rect));
  double& scaleValue = vertical ? scale.scaleY : scale.scaleX;
  int32_t& digitValue = vertical ? scale.stepDigitY : scale.stepDigitX;
  double& corner = vertical ? scale.cornerY : scale.cornerX;
  const int32_t extent = vertical ? RectHeight(rect) : RectWidth(rect);
  const double lo = std::min(a, b), hi = std::max(a, b), span = hi - lo;
  double s = scaleValue, w = 0.0;
  int32_t digit = digitValue;
  if (!std::isfinite(lo) || !LadderStepFitting(span, extent - 1, &s, &digit, &w)) return false;
  const double shown = 1.0 / (16.0 / scaleValue) * (extent - 1);
  if (s == scaleValue && digit == digitValue && lo >= corner && hi <= corner + shown) return true;  // shown already
  View2DScale trial = scale;
  (vertical ? trial.scaleY : trial.scaleX) = s;
  (vertical ? trial.cornerY : trial.cornerX) = lo - 0.5 * (w - span);
  if (!NormaliseViewScale(&trial, RectWidth(rect), RectHeight(rect))) return false;  // beyond the usable scales
  scaleValue = s;
  digitValue = digit;
  corner = lo - 0.5 * (w - span);
  return true;
}

bool GraphView2D::FitRangeX(double a, double b) { return FitRange(false, a, b); }

bool GraphView2D::FitRangeY(double a, double b) { return FitRange(true, a, b); }

void GraphView2D::AlignCornerToGrid() {
  NormaliseViewScale(&scale, RectWidth(rect), RectHeight(rect));
  const double gx = FirstLineAtOrAfter(scale.cornerX, MajorStep(scale.scaleX, scale.stepDigitX));
  const double gy = FirstLineAtOrAfter(scale.cornerY, MajorStep(scale.scaleY, scale.stepDigitY));
  UpdatePixelScale();
  RebuildMaps();
  const double px = std::floor(0.5 + gx * windowMap.pixelsPerUnitX + windowMap.originH);
  const double py = std::floor(0.5 + gy * windowMap.pixelsPerUnitY + windowMap.originV);
  const double cornerX = scale.cornerX + gx - windowMap.unitsPerPixelX * (px - windowMap.originH);
  const double cornerY = scale.cornerY + gy - windowMap.unitsPerPixelY * -(py - windowMap.originV);
  // A corner so far out that the line's pixel is not finite stays where it was.
  if (std::isfinite(cornerX)) scale.cornerX = RoundToSignificantDigits(cornerX, kCornerDigits);
  if (std::isfinite(cornerY)) scale.cornerY = RoundToSignificantDigits(cornerY, kCornerDigits);
}

bool GraphView2D::SetViewRange(double x1, double x2, double y1, double y2) {
  const bool fitted = FitRangeX(x1, x2) & FitRangeY(y1, y2);  // both, as before
  ViewRangeChanged();
  return fitted;
}

bool GraphView2D::ShowRangesAtOneScale(const double* rangeX, const double* rangeY) {
  NormaliseViewScale(&scale, RectWidth(rect), RectHeight(rect));
  const double* ranges[2] = {rangeX, rangeY};
  const int32_t extents[2] = {RectWidth(rect), RectHeight(rect)};
  // Each range's step on the x axis's ladder; the coarsest of them fits them all.
  double lo[2] = {0.0, 0.0}, span[2] = {0.0, 0.0}, step = 0.0;
  int32_t digit = scale.stepDigitX;
  for (int32_t axis = 0; axis < 2; ++axis) {
    if (ranges[axis] == nullptr) continue;
    lo[axis] = std::min(ranges[axis][0], ranges[axis][1]);
    span[axis] = std::fabs(ranges[axis][1] - ranges[axis][0]);
    double s = scale.scaleX, w = 0.0;
    int32_t d = scale.stepDigitX;
    // One pixel to spare: aligning the grid moves the corner by up to half a pixel either way.
    if (!std::isfinite(lo[axis]) || !LadderStepFitting(span[axis], extents[axis] - 2, &s, &d, &w)) return false;
    if (s > step) step = s, digit = d;
  }
  if (step == 0.0) return true;  // nothing asked
  View2DScale trial = scale;
  trial.scaleX = trial.scaleY = step;
  trial.stepDigitX = trial.stepDigitY = digit;
  double* corners[2] = {&trial.cornerX, &trial.cornerY};
  for (int32_t axis = 0; axis < 2; ++axis) {
    const double shown = 1.0 / (16.0 / step) * (extents[axis] - 1);
    // An axis not asked for is centred on 0.
    *corners[axis] = ranges[axis] != nullptr ? lo[axis] - 0.5 * (shown - span[axis]) : -0.5 * shown;
  }
  if (!NormaliseViewScale(&trial, RectWidth(rect), RectHeight(rect))) return false;  // beyond the usable scales
  const View2DScale before = scale;
  scale = trial;
  // Aligned twice, as ViewRangeChanged aligns again: what is checked is what will be shown.
  for (int pass = 0; pass < 2; ++pass) {
    AlignCornerToGrid();
    UpdatePixelScale();
  }
  // The aligned corner is kept to 14 digits: a range narrow against its distance from 0 can then
  // fall outside the view, which would show another region, or off its middle. The grid's snap to
  // whole pixels moves a range by up to half a pixel, the corner's rounding by up to half its
  // 14-digit step: within a pixel of the middle where that step is a pixel or less. A range moved
  // further sits where the corner's digits put it, not where it was asked, and is refused.
  const double first[2] = {double(rect.left), double(rect.bottom - 1)};
  const double last[2] = {double(rect.right - 1), double(rect.top)};
  for (int32_t axis = 0; axis < 2; ++axis) {
    if (ranges[axis] == nullptr) continue;
    const double ppu = axis == 0 ? scale.pixelsPerUnitX : scale.pixelsPerUnitY;
    const double origin = axis == 0 ? scale.originH : scale.originV;
    const double a = lo[axis] * ppu + origin, b = (lo[axis] + span[axis]) * ppu + origin;
    const double low = std::min(first[axis], last[axis]) - 0.5, high = std::max(first[axis], last[axis]) + 0.5;
    const bool whole = std::min(a, b) >= low && std::max(a, b) <= high;
    if (!whole || !(std::fabs(0.5 * (a + b) - 0.5 * (first[axis] + last[axis])) <= kCentredWithinPixels)) {
      scale = before;
      UpdatePixelScale();
      RebuildMaps();
      return false;
    }
  }
  ViewRangeChanged();
  return true;
}

void GraphView2D::ViewRangeChanged() {
  AlignCornerToGrid();
  UpdatePixelScale();
  UpdateViewMaps();
  InvalidateAllGraphs();
  if (document == nullptr) return;
  document->MarkDocumentDirty();
  document->AdjustCursor();
}

// ---- Commands, zoom and scroll ----

void GraphView2D::Command(int32_t code) {
  if (code != kNewDocumentView && document != nullptr) document->SetDocumentModified(true);
  if (code == kResetView) {
    SetViewDefaults();
    UpdateViewMaps();
    InvalidateAllGraphs();
  } else if (code == kNewDocumentView) {
    SetViewDefaults();
    scale.cornerX = scale.cornerY = -2.0;
    UpdatePixelScale();
    UpdateViewMaps();
    InvalidateAllGraphs();
    for (int32_t i = 0; i < pictures.count; ++i) KillPicture(pictures.data[i].picture);
    GrowArrayFree(pictures);
    scale.rangeT[0] = 0.0, scale.rangeT[1] = 1.0;
    showAxes = showGraphPaper = 1;
  } else {
    ZoomSequence(code);
  }
}

void GraphView2D::ZoomSequence(int32_t code) {
  const View2DScale old = scale;
  const double x = probeReadout.x, y = probeReadout.y;
  const bool probed = probeReadout.mode != 0 && std::isfinite(x) && std::isfinite(y);
  if (probed && !IsPointVisible(&windowMap, x, y)) {
    // Recentre on the probe's point, on each axis where it is outside, at the same scale.
    const int32_t h = WorldToPixelX(&windowMap, x), v = WorldToPixelY(&windowMap, y);
    const int32_t midH = (rect.left + rect.right) / 2, midV = (rect.top + rect.bottom) / 2;
    if (h < rect.left || h >= rect.right) scale.cornerX = x - (midH - rect.left) / scale.pixelsPerUnitX;
    if (v < rect.top || v >= rect.bottom) scale.cornerY = y + ((rect.bottom - 1) - midV) / scale.pixelsPerUnitY;
  } else {
    double keepX = x, keepY = y;
    int32_t h, v;
    if (probed) {
      h = WorldToPixelX(&windowMap, x), v = WorldToPixelY(&windowMap, y);
    } else {
      probeReadout.mode = 0;
      h = AxisColumn(), v = AxisRow();
      keepX = WindowX(h), keepY = WindowY(v);
    }
    ZoomView(code);
    UpdatePixelScale();
    UpdateViewMaps();
    scale.cornerX = keepX - (h - rect.left) / scale.pixelsPerUnitX;
    scale.cornerY = keepY + ((rect.bottom - 1) - v) / scale.pixelsPerUnitY;
  }
  AlignCornerToGrid();
  UpdatePixelScale();
  UpdateViewMaps();
  const View2DScale target = scale;
  // The animation: pixels per unit, origin and corner move in steps while scales and digits
  // keep their old values (the grid is drawn at the old steps until the last frame).
  for (int32_t i = 1; i < kZoomFrames; ++i) {
    const double t = static_cast<double>(i) / kZoomFrames;
    auto mix = [t](double a, double b) { return a + t * (b - a); };
    scale.scaleX = old.scaleX, scale.scaleY = old.scaleY;
    scale.stepDigitX = old.stepDigitX, scale.stepDigitY = old.stepDigitY;
    scale.pixelsPerUnitX = mix(old.pixelsPerUnitX, target.pixelsPerUnitX);
    scale.pixelsPerUnitY = mix(old.pixelsPerUnitY, target.pixelsPerUnitY);
    scale.originH = mix(old.originH, target.originH);
    scale.originV = mix(old.originV, target.originV);
    scale.cornerX = mix(old.cornerX, target.cornerX);
    scale.cornerY = mix(old.cornerY, target.cornerY);
    UpdateViewMaps();
    InvalidateAllGraphs();
    Tick(static_cast<int32_t>(TicksToTimerUnits(kComputeTicks)));
    if (document != nullptr) document->RedrawGraphPaneNow();
  }
  scale = target;
  UpdateViewMaps();
  InvalidateAllGraphs();
  Tick(static_cast<int32_t>(TicksToTimerUnits(kComputeTicks)));
  // The probe's extents or arrow follow the new scale: probed again in turns once the graphs are
  // computed at it, shown now when a slice ends it, else when it ends in the ticks. A click's pick or
  // probe still running ends at the new scale as it is.
  const bool clickRuns = PointerWorkRuns() && pointerWork.stage != PointerStage::kReprobe;
  if (!clickRuns && (probeReadout.mode == 2 || probeReadout.mode == 9) && GraphAt(probeGraph) != nullptr) {
    StartReprobe();
    RunPointerSlice();
    if (pointerWork.done) FinishReprobe(false);
  }
  if (document != nullptr) document->RedrawGraphPaneNow();
}

void GraphView2D::ScrollView(int32_t dh, int32_t dv) {
  const double oldCornerX = scale.cornerX, oldCornerY = scale.cornerY;
  const int32_t oldH = WorldToPixelX(&drawMap, oldCornerX), oldV = WorldToPixelY(&drawMap, oldCornerY);
  scale.cornerX += dh / scale.pixelsPerUnitX;
  scale.cornerY += dv / scale.pixelsPerUnitY;
  AlignCornerToGrid();
  UpdatePixelScale();
  UpdateViewMaps();
  const int32_t shiftH = WorldToPixelX(&drawMap, oldCornerX) - oldH;
  const int32_t shiftV = WorldToPixelY(&drawMap, oldCornerY) - oldV;
  if (graphs.count > 0) {
    AbandonSuspendedCompute();  // a pan's steps tick between two scrolls: none may be left under one
    for (int32_t i = 0; i < graphs.count; ++i) {
      if (GraphKind2D* graph = GraphAt(i)) graph->Scroll(shiftH, shiftV);
    }
    if (IsReady() && document != nullptr) document->StepSliderAnimation();
    Tick(static_cast<int32_t>(TicksToTimerUnits(kComputeTicks)));
  }
  if (document == nullptr) return;
  document->SetDocumentModified(true);
  document->RedrawGraphPaneNow();
}

int32_t GraphView2D::ScrollWheel(int32_t dh, int32_t dv) {
  ScrollView(3 * dh, 3 * dv);
  return 1;
}

// ---- Axis placement ----

int32_t GraphView2D::AxisColumn() const {
  return std::max(rect.left + 6, std::min(rect.right - 7, WorldToPixelX(&windowMap, 0.0)));
}

int32_t GraphView2D::AxisRow() const {
  return std::max(rect.top + 6, std::min(rect.bottom - 15, WorldToPixelY(&windowMap, 0.0)));
}

QDRect GraphView2D::XAxisLabelStrip() const {
  QDRect strip;
  const int32_t row = AxisRow();
  SectRect(MakeRect(rect.left, row - 7, rect.right, row + 11), rect, &strip);
  return strip;
}

QDRect GraphView2D::YAxisLabelStrip() const {
  QDRect strip;
  const int32_t column = AxisColumn();
  SectRect(MakeRect(column - 16, rect.top, column + 17, rect.bottom), rect, &strip);
  return strip;
}
