// GraphView3D: construction, the timed tick, the frame (transparent graphs first in overlay mode,
// then the others, then the axes), the spin step, the axes, options and commands. The mouse is
// in graph_view_3d_mouse.cpp.
#include <algorithm>
#include <cmath>

#include "graphics/gl/frame_setup.h"
#include "graphics/gl/gl_material.h"
#include "graphics/gl/mesh_drawing.h"
#include "graphics/gl/pixel_readback.h"
#include "graphics/port_save.h"
#include "graphs/core/rotation_matrices.h"
#include "graphs/core/document_services.h"
#include "graphs/view3d/graph_view_3d.h"
#include "kernel/application_state.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/memory/memory_shortage.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/threads/timers.h"

namespace {

constexpr double kSpinSpeed = 0.8;                      // radians a second of the option spins
constexpr double kMaxSpinStep = 20.0 * kPi / 180.0;     // the largest turn of one frame
constexpr uint32_t kAxisColor = 0x00ff00;
constexpr double kArrowFraction = 0.05;                 // arrowhead size, of the box extent
constexpr int32_t kZoomRedrawTicks = 10;                // compute time of each zoom step

GraphKind3D* Graph3DAt(const GraphList& graphs, int32_t i) { return static_cast<GraphKind3D*>(graphs.data[i]); }

// 0 clamped into [low, high].
double ClampedZero(double low, double high) { return low > 0 ? low : high < 0 ? high : 0.0; }

}  // namespace

GraphView3D::GraphView3D() {
  SetDefaultOrientation();
  SetUnitRanges(settings.unitRanges, 3);
}

void GraphView3D::SetSpin(double x, double y, double z, double speed) {
  spinAxis[0] = x;
  spinAxis[1] = y;
  spinAxis[2] = z;
  spinSpeed = speed;
}

void GraphView3D::SetDefaultOrientation() {
  ViewFrame& camera = settings.camera;
  for (int i = 0; i < 6; ++i) camera.box[i] = i % 2 == 0 ? -2.0 : 2.0;
  camera.zoom = kDefaultDepth;
  const double polar[6] = {0, 2, 0, kTwoPi, 0, kPi};
  std::copy(polar, polar + 6, settings.parameterRanges);
  MakeDefaultViewOrientation(camera.orientation);
  // Option 4's spin; a reset is not a change of the document (command 7 must leave it unmodified).
  SetSpin(0, 0, -1, kSpinSpeed);
}

void GraphView3D::Tick(int32_t budget) {
  if (EmptyRect(rect)) return;
  if (context != nullptr) PrepareViewGraphicsContext(context, rect, &settings.camera);
  if (document != nullptr) document->ApplyNumberFormat();
  TickGraphList(graphs, budget);
}

bool GraphView3D::DrawFrame() {
  if (CheckFreeMemory() || EmptyRect(rect)) return true;
  SpinStep();
  if (context == nullptr || PrepareViewGraphicsContext(context, rect, &settings.camera) == kContextNone) return true;
  double extent = kMinSceneExtent;
  bool transparent = false;
  for (int32_t i = 0; i < graphs.count; ++i) {
    GraphKind3D* graph = Graph3DAt(graphs, i);
    if (graph == nullptr) continue;
    const double e = graph->Extent();
    if (e > extent) extent = e;  // NaN never raises it
    transparent = transparent || graph->IsTransparent();
  }
  settings.camera.radius = extent;
  const bool overlay = transparent && !AvoidBuffersForDynamicData(context);
  ClipSave clip;
  SaveClipRect(&clip, rect);
  const int32_t begun = BeginGLFrame(context, overlay ? 1 : 0);
  if (begun != kGraphicsDone) {
    if (begun == kGraphicsFailed) PostError(kErrorOutOfMemory);
    RestoreClip(&clip);
    return true;
  }
  // Overlay: the transparent graphs make the first pass, composited over the background before
  // the others draw.
  bool complete = true;
  for (int pass = overlay ? 0 : 1; pass < 2 && complete; ++pass) {
    for (int32_t i = 0; i < graphs.count && complete; ++i) {
      GraphKind3D* graph = Graph3DAt(graphs, i);
      if (graph == nullptr || (overlay && graph->IsTransparent() != (pass == 0))) continue;
      complete = graph->Draw();
    }
    // A transparent graph that could not finish ends the frame before its overlay is laid.
    if (pass == 0 && complete) DrawTransparentOverlayGL(context);
  }
  if (complete && showAxes) complete = DrawAxes();
  if (EndGLFrame(context) != kGraphicsDone) PostError(kErrorOutOfMemory);
  RestoreClip(&clip);
  return complete;
}

void GraphView3D::SpinStep() {
  if (graphs.count == 0 || (document != nullptr && document->IsTrackingMouse())) {
    spinMicroseconds = 0;
    lastSpinAngle = 0;
    return;
  }
  const uint64_t now = MicrosecondsNow();
  const double seconds = static_cast<double>(now - spinMicroseconds) * 1e-6;
  // The first frame after a pause has no elapsed time to report or to turn by.
  if (spinMicroseconds != 0 && document != nullptr) document->RecordFrameTime(seconds);
  if (spinSpeed == 0.0) {
    spinMicroseconds = now;
    return;
  }
  double angle = spinMicroseconds != 0 ? seconds * spinSpeed : 0.0;
  // Speeding up is slow, slowing down quick.
  const double p = lastSpinAngle;
  if (p != 0.0 && angle != 0.0) {
    if (angle > p) angle = 0.99 * p + 0.01 * angle;
    if (angle < p) angle = 0.8 * p + 0.2 * angle;
  }
  // The cap holds for either sense of turning (the wheel sets negative speeds).
  if (std::fabs(angle) > kMaxSpinStep) angle = std::copysign(kMaxSpinStep, angle);
  if (GetMovieExportFlag()) angle = spinSpeed;
  if (!std::isfinite(angle)) angle = 0.0;
  const bool usableAxis = std::isfinite(spinAxis[0]) && std::isfinite(spinAxis[1]) && std::isfinite(spinAxis[2]);
  if (usableAxis && angle != 0.0) {
    double step[9];
    AxisAngleToMatrix3(step, spinAxis, angle);
    MultiplyMatrix3(step, settings.camera.orientation, settings.camera.orientation);
    OrthonormalizeMatrix3(settings.camera.orientation);
  }
  spinMicroseconds = now;
  lastSpinAngle = angle;
}

bool GraphView3D::DrawAxes() {
  const double* box = settings.camera.box;
  const double ox = ClampedZero(box[0], box[1]), oy = ClampedZero(box[2], box[3]), oz = ClampedZero(box[4], box[5]);
  const float lines[18] = {float(ox),     float(oy), float(oz),     float(ox),     float(oy),     float(box[5]),
                           float(box[1]), float(oy), float(oz),     float(box[0]), float(oy),     float(oz),
                           float(ox),     float(box[3]), float(oz), float(ox),     float(box[2]), float(oz)};
  static const uint16_t kLinePairs[6] = {0, 1, 2, 3, 4, 5};
  SetGLCurveMaterialColor(kAxisColor, context);
  SetGLVertexArray(lines, 6, context);
  DrawGLLineElements(kLinePairs, 3, context);
  const double dx = kArrowFraction * (box[1] - box[0]), dy = kArrowFraction * (box[3] - box[2]);
  const float heads[18] = {float(box[1] + dx), float(oy),          float(oz), float(box[1]),      float(oy + dy),
                           float(oz),          float(box[1]),      float(oy - dy), float(oz),     float(ox),
                           float(box[3] + dy), float(oz),          float(ox - dx), float(box[3]), float(oz),
                           float(ox + dx),     float(box[3]),      float(oz)};
  static const float kUp[18] = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1};
  static const uint32_t kTriangles[6] = {0, 1, 2, 3, 4, 5};
  SetGLMaterialColor(kAxisColor, context);
  SetGLVertexArray(heads, 6, context);
  SetGLNormalArray(kUp, context);
  DrawGLTriangleElements(kTriangles, 2, context);
  DisableNormalArray(context);
  return true;
}

void GraphView3D::SetOption(int32_t code, double) {
  if (code == kOptionUploadMeshes) {
    for (int32_t i = 0; i < graphs.count; ++i) {
      if (graphs.data[i] != nullptr) graphs.data[i]->SetOption(kOptionUploadMeshes, 0.0);
    }
    return;
  }
  if (document != nullptr) document->SetDocumentModified(true);
  switch (code) {
    case kOptionStopSpin:
      spinSpeed = 0.0;
      break;
    case kOptionSpinX:
      SetSpin(1, 0, 0, kSpinSpeed);
      break;
    case kOptionSpinY:
      SetSpin(0, 1, 0, kSpinSpeed);
      break;
    case kOptionSpinZ:
      SetSpin(0, 0, -1, kSpinSpeed);
      break;
    case kOptionToggleAxes:
      showAxes = showAxes ? 0 : 1;
      break;
    default:
      break;
  }
}

void GraphView3D::SetGraphOption(int32_t code, double value, int32_t index) {
  PassGraphOption(code, value, index, true);
}

void GraphView3D::RedrawAfterChange() {
  InvalidateGraphList(graphs);
  Tick(static_cast<int32_t>(TicksToTimerUnits(kZoomRedrawTicks)));
  if (IsReady()) SetOption(kOptionUploadMeshes, 0.0);
  if (document == nullptr) return;
  document->ResetViewStateFlags();
  document->RedrawGraphPaneNow();
  document->RedrawMessageRectsNow();
}

void GraphView3D::ZoomBox(double step, double factor) {
  ZoomRangePairs(settings.camera.box, 3, step, factor, [this] { RedrawAfterChange(); });
  if (document != nullptr) document->InvalidateGraphPane();
}

void GraphView3D::Command(int32_t code) {
  if (code != kCommandNewView3D && document != nullptr) document->SetDocumentModified(true);
  if (code == kCommandResetView3D || code == kCommandNewView3D) {
    SetDefaultOrientation();
    InvalidateGraphList(graphs);
    if (code == kCommandNewView3D) {
      showAxes = 1;
      SetUnitRanges(settings.unitRanges, 3);
    }
    // After the axes are shown again, so the document's toolbar states read them.
    if (document != nullptr) document->ResetViewStateFlags();
    return;
  }
  if (code == kCommandZoomOut3D) {
    ZoomBox(1.25, 2.0);
  } else {
    ZoomBox(0.8, 0.5);
  }
}
