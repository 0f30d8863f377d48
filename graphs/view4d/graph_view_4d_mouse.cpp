// GraphView4D's mouse: the click that a plain press on the background declines, the trackball
// (three of the four axes at a time; shift turns the other three), the depth drag, the spin a
// drag leaves behind, and the scroll wheel's spin. A drag turns the scene by the trackball
// rotation carried into the scene's frame (R' = M R M^T), so the picture follows the mouse.
#include <algorithm>
#include <cmath>

#include "graphics/gl/pixel_readback.h"
#include "graphs/core/document_services.h"
#include "graphs/core/rotation_matrices.h"
#include "graphs/view4d/graph_view_4d.h"
#include "kernel/application_state.h"
#include "kernel/interaction/mouse_tracking.h"
#include "kernel/threads/timers.h"

namespace {

constexpr int32_t kTrackTicks = 20;  // a still mouse reports after this long
// Held still longer than this many ticks (as in the 3D view; a still mouse is reported only after
// kTrackTicks anyway), a drag stops the spin.
constexpr int32_t kStillTicks = 20;
constexpr double kDepthPerPixel = 0.03;

}  // namespace

ClickResult GraphView4D::Click(QDPoint point, uint32_t, const ClickFlags& flags) {
  if (Begin4DDrag(point, flags) == 0) return ClickResult::Declined;
  QDPoint where = point;
  while (TrackMouseTicks(&where, kTrackTicks)) Track4DDrag(where);
  End4DDrag();
  return ClickResult::Handled;
}

int32_t GraphView4D::Begin4DDrag(QDPoint point, const ClickFlags& flags) {
  if (document != nullptr) document->SetDocumentModified(true);
  if (flags.byte[kClickCommandKey] != 0) return 0;
  lastMousePoint = point;
  const bool shift = flags.byte[kClickShiftKey] != 0, option = flags.byte[kClickOptionKey] != 0;
  if (flags.byte[kClickControlKey] != 0) {
    dragMode = kDrag4DDepth;
    dragStartDepth = depth;
    return 1;
  }
  // A plain click on the background is not the view's (the pane may use it).
  if (!shift && !option && !IsDemoRunning() && graphs.count > 0 && !HitTest4DPixels(point)) {
    dragMode = kDrag4DDeclined;
    return 0;
  }
  dragMode = shift ? kDrag4DRotateOther : kDrag4DRotate;
  dragStartTime = ElapsedTimerUnits();
  // The first step's speed is measured from here, not from the previous drag.
  lastDragTime = MicrosecondsNow();
  Stop4DSpin();
  return 1;
}

bool GraphView4D::HitTest4DPixels(QDPoint point) {
  return context != nullptr && HitTestPixelsNearPoint(point, static_cast<void*>(document), rect, context);
}

void GraphView4D::Track4DDrag(QDPoint point) {
  if (dragMode == kDrag4DDepth) {
    const double wanted = dragStartDepth + (int32_t(point.v) - lastMousePoint.v) * kDepthPerPixel;
    depth = std::clamp(wanted, kMin4DDragDepth, kMax4DDragDepth);
    if (document != nullptr) document->RedrawGraphPaneNow();
    return;
  }
  if (dragMode != kDrag4DRotate && dragMode != kDrag4DRotateOther) return;
  const uint32_t now = ElapsedTimerUnits();
  const uint64_t nowUs = MicrosecondsNow();
  if (point.h == lastMousePoint.h && point.v == lastMousePoint.v) {
    // Held still before the release: the view is left still.
    if (DeadlineReached(now, dragStartTime + TicksToTimerUnits(kStillTicks) + 1) && !IsDemoRunning()) Stop4DSpin();
    return;
  }
  int32_t kind = trackballKind;
  if (dragMode == kDrag4DRotateOther) kind = kind == 1 ? 2 : 1;
  double turn[16];
  TrackballRotation4(point, lastMousePoint, TrackballCentre(rect), TrackballRadius(rect), turn, kind);
  ConjugateRotation4(orientation, turn);
  for (double entry : turn) {
    if (!std::isfinite(entry)) return;  // no step rather than a picture of NaNs
  }
  double angle1 = 0.0, angle2 = 0.0;
  DoubleRotationFromMatrix4(spinAxis1, &angle1, spinAxis2, &angle2, turn);
  const double seconds = double(nowUs - lastDragTime) * 1e-6;
  spinSpeed1 = DragSpinSpeed(angle1, seconds);
  spinSpeed2 = DragSpinSpeed(angle2, seconds);
  TurnOrientation(turn);
  if (document != nullptr) document->RedrawGraphPaneNow();
  dragStartTime = now;
  lastDragTime = nowUs;
  lastMousePoint = point;
}

int32_t GraphView4D::ScrollWheel(int32_t, int32_t dv) {
  lastSpinTime = 0;
  lastSpinAngle1 = lastSpinAngle2 = 0.0;
  spinSpeed1 = spinSpeed2 = dv / 5.0;
  return 1;
}
