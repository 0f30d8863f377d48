// GraphView4D: construction, the projection, the timed tick, the frame, the grid and axes, plane
// rotations and presets, the spin step, options and commands. The mouse is in
// graph_view_4d_mouse.cpp.
#include "graphs/view4d/graph_view_4d.h"

#include <algorithm>
#include <cmath>

#include "graphics/gl/frame_setup.h"
#include "graphics/gl/gl_material.h"
#include "graphics/gl/mesh_drawing.h"
#include "graphics/port_save.h"
#include "graphs/core/document_services.h"
#include "graphs/core/rotation_matrices.h"
#include "kernel/application_state.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/memory/memory_shortage.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/threads/timers.h"

namespace {

constexpr double kEyeDistance = 50.0;
constexpr double kMaxSpinStep = 0.3490658503988659;  // 20 degrees: the largest turn of one frame
constexpr uint32_t kGridColor = 0xbbbbbb;
constexpr uint32_t kAxisColor = 0x00ffff;
constexpr int kGridLines = 8;             // each way, at t = -1 + 2k/7
constexpr int32_t kZoomRedrawTicks = 10;  // compute time of each zoom step

// The coordinate pair (a, b), a < b, that each plane code turns: 32/96 xy, 33/97 xz, 34/98 xw,
// 35/99 yz, 36/100 yw, 37/101 zw.
constexpr int kPlanes[6][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};

// The preset orientations of option 14 (values 4 to 7): rotations from the identity, in order.
struct PlaneTurn {
  int32_t code;
  double degrees;
};
struct Preset {
  int count;
  PlaneTurn turns[6];
};
constexpr Preset kPresets[4] = {
    {2, {{97, -60}, {96, 90}}},                                               // 4: the default
    {3, {{101, 540}, {98, -60}, {96, 90}}},                                   // 5: looking along z
    {5, {{97, -60}, {96, 90}, {100, 540}, {97, 180}, {99, 360}}},             // 6: along y
    {6, {{97, -60}, {96, 90}, {97, 180}, {101, 360}, {100, -180}, {96, -180}}},  // 7: along x
};

GraphKind4D* Graph4DAt(const GraphList& graphs, int32_t i) { return static_cast<GraphKind4D*>(graphs.data[i]); }

void Normalise4(double v[4]) {
  const double n = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2] + v[3] * v[3]);
  for (int i = 0; i < 4; ++i) v[i] /= n;
}

bool AllFinite(const double* v, int n) {
  for (int i = 0; i < n; ++i) {
    if (!std::isfinite(v[i])) return false;
  }
  return true;
}

// A spin axis that can carry a turn: finite and of non-zero length (a zero axis would give a
// quaternion that is not a unit and shrink the orientation at every step).
bool UsableAxis(const double axis[3]) {
  return AllFinite(axis, 3) && axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2] > 0.0;
}

// The damped spin angle of one frame: a speed-up is taken one hundredth at a time (a sudden long
// frame does not jerk the picture), then the 20 degree cap, both for either sense of turning.
double SmoothedSpinAngle(double angle, double last) {
  if (last != 0.0 && angle != 0.0 && std::signbit(angle) == std::signbit(last) && std::fabs(angle) > std::fabs(last)) {
    angle = 0.99 * last + 0.01 * angle;
  }
  if (std::fabs(angle) > kMaxSpinStep) angle = std::copysign(kMaxSpinStep, angle);
  return angle;
}

}  // namespace

GraphView4D::GraphView4D() {
  ResetView4D();
  SetUnitRanges(parameterRanges, 3);
  Update4DProjection();
}

void GraphView4D::ResetView4D() {
  depth = kDefault4DDepth;
  for (int i = 0; i < 8; ++i) axisRanges[i] = i % 2 == 0 ? -2.0 : 2.0;
  SetIdentity4(orientation);
  Rotate4DInPlane(97, -60);
  Rotate4DInPlane(96, 90);
  for (int i = 0; i < 3; ++i) spinAxis1[i] = spinAxis2[i] = 0.0;
  spinSpeed1 = spinSpeed2 = 0.0;
}

void GraphView4D::Stop4DSpin() {
  spinSpeed1 = spinSpeed2 = 0.0;
  if (document != nullptr) document->ResetDocumentScroll();
}

void GraphView4D::TurnOrientation(const double r[16]) {
  if (!AllFinite(r, 16)) return;
  MultiplyMatrix4(r, orientation, orientation);
  OrthonormalizeMatrix4(orientation);
}

void GraphView4D::Rotate4DInPlane(int32_t code, double degrees) {
  const bool turn = code >= kOption4DTurnPlaneFirst && code <= kOption4DTurnPlaneLast;
  const bool spin = code >= kOption4DSpinPlaneFirst && code <= kOption4DSpinPlaneLast;
  if (!turn) Stop4DSpin();
  if (degrees == 0.0 || (!turn && !spin)) return;
  const double theta = degrees * kPi / 360.0;  // half the number given: the presets rely on it
  const int* plane = kPlanes[turn ? code - kOption4DTurnPlaneFirst : code - kOption4DSpinPlaneFirst];
  const int a = plane[0], b = plane[1];
  double r[16];
  SetIdentity4(r);
  r[4 * a + a] = std::cos(theta);
  r[4 * a + b] = std::sin(theta);
  r[4 * b + a] = -std::sin(theta);
  r[4 * b + b] = std::cos(theta);
  if (turn) {
    TurnOrientation(r);
    return;
  }
  // The two angles become speeds in radians a second: the plane turns by theta each second. A
  // matrix that cannot be decomposed (a half turn) gives zero axes and speeds: the spin stays still.
  DoubleRotationFromMatrix4(spinAxis1, &spinSpeed1, spinAxis2, &spinSpeed2, r);
}

void GraphView4D::Update4DProjection() {
  double eye[4], up[4], over[4];
  const double eyePoint[4] = {0, 0, 0, kEyeDistance}, upAxis[4] = {0, 1, 0, 0}, overAxis[4] = {0, 0, 1, 0};
  TransformPoint4(eye, orientation, eyePoint);
  TransformPoint4(up, orientation, upAxis);
  TransformPoint4(over, orientation, overAxis);
  Projection4D& p = projection;
  std::copy(eye, eye + 4, p.eye);
  for (int i = 0; i < 4; ++i) p.axisDepth[i] = -eye[i];
  Normalise4(p.axisDepth);
  // The argument order fixes the handedness of the drawn coordinates.
  Cross4(p.axisX, over, up, p.axisDepth);
  Normalise4(p.axisX);
  Cross4(p.axisY, over, p.axisDepth, p.axisX);
  Normalise4(p.axisY);
  Cross4(p.axisZ, p.axisY, p.axisX, p.axisDepth);
  Normalise4(p.axisZ);
  const double nearDistance = kEyeDistance - extent, farDistance = kEyeDistance + extent;
  p.depthScale = 1.0 / (farDistance - nearDistance);
  p.depthOffset = nearDistance / (nearDistance - farDistance);
  std::copy(axisRanges, axisRanges + 8, p.ranges);
}

void GraphView4D::Tick(int32_t budget) {
  if (document != nullptr) document->ApplyNumberFormat();
  Update4DProjection();
  TickGraphList(graphs, budget);
  extent = kMin4DExtent;
  for (int32_t i = 0; i < graphs.count; ++i) {
    GraphKind4D* graph = Graph4DAt(graphs, i);
    if (graph == nullptr) continue;
    const double e = graph->Extent();
    if (e > extent) extent = std::min(e, kMax4DExtent);  // NaN never raises it, infinity only to the cap
  }
}

bool GraphView4D::DrawFrame() {
  if (CheckFreeMemory() || EmptyRect(rect)) return true;
  Spin4DStep();
  ClipSave clip;
  SaveClipRect(&clip, rect);
  camera.zoom = depth;
  camera.radius = 2.0 * extent;
  if (context == nullptr || PrepareViewGraphicsContext(context, rect, &camera) == kContextNone) {
    RestoreClip(&clip);
    return true;
  }
  const int32_t begun = BeginGLFrame(context, 0);
  if (begun != kGraphicsDone) {
    // Reported once; answering "drawn" keeps the idle loop from retrying a failing frame at once.
    if (begun == kGraphicsFailed) PostError(kErrorOutOfMemory);
    RestoreClip(&clip);
    return true;
  }
  Update4DProjection();
  bool complete = true;
  for (int32_t i = 0; i < graphs.count && complete; ++i) {
    GraphKind4D* graph = Graph4DAt(graphs, i);
    if (graph != nullptr) complete = graph->Draw();
  }
  if (complete) complete = Draw4DAxes();
  if (EndGLFrame(context) != kGraphicsDone) PostError(kErrorOutOfMemory);
  RestoreClip(&clip);
  return complete;
}

bool GraphView4D::Draw4DLine(const double a[4], const double b[4], uint32_t rgb) {
  double pa[3], pb[3], depthA = 0.0, depthB = 0.0;
  Project4DPoint(projection, a, pa, &depthA);
  Project4DPoint(projection, b, pb, &depthB);
  if (depthA < 0.0 || depthB < 0.0 || !AllFinite(pa, 3) || !AllFinite(pb, 3)) return true;
  const float vertices[6] = {float(pa[0]), float(pa[1]), float(pa[2]), float(pb[0]), float(pb[1]), float(pb[2])};
  static const uint16_t kLine[2] = {0, 1};
  SetGLCurveMaterialColor(rgb, context);
  SetGLVertexArray(vertices, 2, context);
  DrawGLLineElements(kLine, 1, context);
  return true;
}

bool GraphView4D::Draw4DAxes() {
  // Where coordinate 0 of each axis lies in the cube, clamped to the cube's faces.
  double o[4];
  for (int k = 0; k < 4; ++k) {
    const CubeAxis axis = CubeAxisOf(axisRanges[2 * k], axisRanges[2 * k + 1]);
    o[k] = std::clamp(axis.scale * (0.0 - axis.centre), -1.0, 1.0);
  }
  double ends[5][4];
  for (int e = 0; e < 5; ++e) {
    std::copy(o, o + 4, ends[e]);
    if (e > 0) ends[e][e - 1] = 1.0;  // X, Y, Z, W after the origin
  }
  double labels[10];
  for (int e = 0; e < 5; ++e) {
    double drawn[3], unusedDepth = 0.0;
    Project4DPoint(projection, ends[e], drawn, &unusedDepth);
    ProjectAxisPoint3D(drawn, &labels[2 * e], &labels[2 * e + 1]);
  }
  if (document != nullptr) document->StoreViewParameterBlock(labels);
  if (showXYPlane) {
    for (int along = 0; along < 2; ++along) {
      for (int k = 0; k < kGridLines; ++k) {
        const double t = double(2 * k - (kGridLines - 1)) / (kGridLines - 1);
        const double a[4] = {along == 0 ? t : -1.0, along == 0 ? -1.0 : t, o[2], o[3]};
        const double b[4] = {along == 0 ? t : 1.0, along == 0 ? 1.0 : t, o[2], o[3]};
        if (!Draw4DLine(a, b, kGridColor)) return false;
      }
    }
  }
  if (showAxes) {
    for (int e = 1; e < 5; ++e) {
      if (!Draw4DLine(ends[0], ends[e], kAxisColor)) return false;
    }
  }
  return true;
}

void GraphView4D::Spin4DStep() {
  if (graphs.count == 0 || (document != nullptr && document->IsTrackingMouse())) {
    lastSpinTime = 0;
    lastSpinAngle1 = lastSpinAngle2 = 0.0;
    return;
  }
  if (!IsReady() || (spinSpeed1 == 0.0 && spinSpeed2 == 0.0)) {
    lastSpinTime = MicrosecondsNow();
    return;
  }
  const uint64_t now = MicrosecondsNow();
  double a1 = 0.0, a2 = 0.0;
  if (lastSpinTime != 0) {
    const double seconds = double(now - lastSpinTime) * 1e-6;
    a1 = seconds * spinSpeed1;
    a2 = seconds * spinSpeed2;
    if (document != nullptr) document->RecordFrameTime(seconds);
  }
  a1 = SmoothedSpinAngle(a1, lastSpinAngle1);
  a2 = SmoothedSpinAngle(a2, lastSpinAngle2);
  if (GetMovieExportFlag()) {
    a1 = spinSpeed1;
    a2 = spinSpeed2;
  }
  if (!std::isfinite(a1) || !UsableAxis(spinAxis1)) a1 = 0.0;
  if (!std::isfinite(a2) || !UsableAxis(spinAxis2)) a2 = 0.0;
  if (a1 != 0.0 || a2 != 0.0) {
    double step[16];
    DoubleRotationMatrix4(step, spinAxis1, spinAxis2, a1, a2);
    TurnOrientation(step);
  }
  lastSpinTime = now;
  lastSpinAngle1 = a1;
  lastSpinAngle2 = a2;
}

void GraphView4D::SetGraphOption(int32_t code, double value, int32_t index) {
  PassGraphOption(code, value, index, false);
}

void GraphView4D::RedrawPane() {
  if (document != nullptr) document->RedrawGraphPaneNow();
}

void GraphView4D::SetOption(int32_t code, double value) {
  if (document != nullptr) document->SetDocumentModified(true);
  if ((code >= kOption4DSpinPlaneFirst && code <= kOption4DSpinPlaneLast) ||
      (code >= kOption4DTurnPlaneFirst && code <= kOption4DTurnPlaneLast)) {
    Rotate4DInPlane(code, value);
    RedrawPane();
    return;
  }
  switch (code) {
    case kOption4DStopSpin:
      Stop4DSpin();
      break;
    case kOption4DShowAxes:
      showAxes = value != 0.0 ? 1 : 0;
      RedrawPane();
      break;
    case kOption4DShowXYPlane:
      showXYPlane = value != 0.0 ? 1 : 0;
      RedrawPane();
      break;
    case kOption4DPreset: {
      const int32_t n = TruncateToInt32(value);  // NaN and values out of range: no choice
      if (n == 1 || n == 2) {
        trackballKind = n;
      } else if (n >= 4 && n <= 7) {
        SetIdentity4(orientation);
        const Preset& preset = kPresets[n - 4];
        for (int k = 0; k < preset.count; ++k) Rotate4DInPlane(preset.turns[k].code, preset.turns[k].degrees);
        Stop4DSpin();
      }
      break;
    }
    default:
      break;
  }
}

void GraphView4D::RedrawAfterZoomStep() {
  InvalidateGraphList(graphs);
  Tick(static_cast<int32_t>(TicksToTimerUnits(kZoomRedrawTicks)));
  if (document == nullptr) return;
  document->ResetViewStateFlags();
  document->RedrawGraphPaneNow();
  document->RedrawMessageRectsNow();
}

void GraphView4D::ZoomRanges(double step, double factor) {
  ZoomRangePairs(axisRanges, 4, step, factor, [this] { RedrawAfterZoomStep(); });
}

void GraphView4D::Command(int32_t code) {
  if (code != kCommand4DNewView && document != nullptr) document->SetDocumentModified(true);
  if (code == kCommand4DReset || code == kCommand4DNewView) {
    ResetView4D();
    InvalidateGraphList(graphs);
    if (code == kCommand4DNewView) {
      showAxes = showXYPlane = 1;
      SetUnitRanges(parameterRanges, 3);
    }
    // After the axes are shown again, so the document's toolbar states read them.
    if (document != nullptr) document->ResetViewStateFlags();
    return;
  }
  // Every other code zooms in, as in the 3D view.
  if (code == kCommand4DZoomOut) {
    ZoomRanges(1.25, 2.0);
  } else {
    ZoomRanges(0.8, 0.5);
  }
}
