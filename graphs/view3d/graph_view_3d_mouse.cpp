// GraphView3D's mouse: the trackball (free rotation, rotation locked to the coordinate axis the
// first movement chose, depth), the spin a drag leaves behind, and the scroll wheel's spin.
// A drag turns the scene by the trackball rotation carried into the scene's frame
// (R' = M R M^T), so the picture follows the mouse whatever the present orientation.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "graphics/gl/pixel_readback.h"
#include "graphs/core/rotation_matrices.h"
#include "graphs/core/document_services.h"
#include "graphs/view3d/graph_view_3d.h"
#include "kernel/application_state.h"
#include "kernel/interaction/mouse_tracking.h"
#include "kernel/threads/timers.h"

namespace {

constexpr int32_t kTrackTicks = 20;      // a still mouse reports after this long
constexpr int32_t kStillTicks = 20;      // held still longer than this, a drag stops the spin
constexpr double kDepthPerPixel = 0.03;
constexpr int32_t kLockedDragSlop = 4;   // pixels a locked drag ignores
constexpr double kLockedBoostAbove = 0.05;
constexpr double kLockedMaxStep = 0.7;

double SecondsSince(uint64_t then, uint64_t now) { return static_cast<double>(now - then) * 1e-6; }

}  // namespace

ClickResult GraphView3D::Click(QDPoint point, uint32_t, const ClickFlags& flags) {
  if (document != nullptr) document->SetDocumentModified(true);
  if (flags.byte[kClickCommandKey] != 0) return ClickResult::Declined;
  dragPoint = point;
  const bool shift = flags.byte[kClickShiftKey] != 0, option = flags.byte[kClickOptionKey] != 0;
  if (flags.byte[kClickControlKey] != 0) {
    dragMode = kDragDepth;
    dragStartDepth = settings.camera.zoom;
  } else {
    // A plain click on the background is not the view's (the pane may use it).
    if (!shift && !option && !IsDemoRunning() && graphs.count > 0 &&
        (context == nullptr || !HitTestPixelsNearPoint(point, static_cast<void*>(document), rect, context))) {
      dragMode = kDragDeclined;
      return ClickResult::Declined;
    }
    dragMode = shift ? kDragLockedAxis : kDragFree;
    dragTime = ElapsedTimerUnits();
    dragMicroseconds = MicrosecondsNow();
    spinSpeed = 0.0;
  }
  QDPoint where = point;
  while (TrackMouseTicks(&where, kTrackTicks)) DragStep(where);
  dragMode = kDragNone;
  lockedAxisSet = 0;
  return ClickResult::Handled;
}

int32_t GraphView3D::ScrollWheel(int32_t, int32_t dv) {
  spinMicroseconds = 0;
  lastSpinAngle = 0.0;
  spinSpeed = dv / 5.0;
  return 1;
}

void GraphView3D::DragStep(QDPoint point) {
  switch (dragMode) {
    case kDragDepth: {
      const double depth = dragStartDepth + kDepthPerPixel * (int32_t(point.v) - dragPoint.v);
      settings.camera.zoom = std::clamp(depth, kMinDragDepth, kMaxDragDepth);
      if (document != nullptr) document->RedrawGraphPaneNow();
      break;
    }
    case kDragFree:
      FreeDragStep(point);
      break;
    case kDragLockedAxis:
      LockedDragStep(point);
      break;
    default:
      break;
  }
}

void GraphView3D::FreeDragStep(QDPoint point) {
  if (point.h == dragPoint.h && point.v == dragPoint.v) {
    StopSpinWhenStill();
    return;
  }
  double turn[9];
  TrackballRotation3(point, dragPoint, TrackballCentre(rect), TrackballRadius(rect), turn);
  double* orientation = settings.camera.orientation;
  ConjugateRotation3(orientation, turn);
  MultiplyMatrix3(turn, orientation, orientation);
  OrthonormalizeMatrix3(orientation);
  double axis[3], angle = 0.0;
  RotationMatrixToAxisAngle(axis, &angle, turn);
  const uint64_t now = MicrosecondsNow();
  SpinFromStep(axis, angle, SecondsSince(dragMicroseconds, now));
  if (document != nullptr) document->RedrawGraphPaneNow();
  dragTime = ElapsedTimerUnits();
  dragMicroseconds = now;
  dragPoint = point;
}

void GraphView3D::LockedDragStep(QDPoint point) {
  if (std::abs(point.h - dragPoint.h) + std::abs(point.v - dragPoint.v) <= kLockedDragSlop) {
    StopSpinWhenStill();
    return;
  }
  double turn[9];
  TrackballRotation3(point, dragPoint, TrackballCentre(rect), std::max(RectWidth(rect), RectHeight(rect)), turn);
  double* orientation = settings.camera.orientation;
  ConjugateRotation3(orientation, turn);
  double theta = std::acos(std::clamp(0.5 * (turn[0] + turn[4] + turn[8] - 1.0), -1.0, 1.0));
  if (theta > kLockedBoostAbove) theta *= 3;
  theta = std::min(theta, kLockedMaxStep);
  const double current[3] = {turn[5] - turn[7], turn[6] - turn[2], turn[1] - turn[3]};
  if (!lockedAxisSet) {
    std::copy(current, current + 3, lockedAxis);
    lockedAxisSet = 1;
  }
  // The coordinate axis the first movement leaned on most, turned the way this movement goes.
  const double ax = std::fabs(lockedAxis[0]), ay = std::fabs(lockedAxis[1]), az = std::fabs(lockedAxis[2]);
  const int k = ax >= ay && ax > az ? 0 : ay > ax && ay > az ? 1 : 2;
  const bool negate = k == 1 ? current[1] > 0 : current[k] < 0;
  const double c = std::cos(negate ? -theta : theta), s = std::sin(negate ? -theta : theta);
  double locked[9];
  SetIdentity3(locked);
  const int a = k == 0 ? 1 : 0, b = k == 2 ? 1 : 2;  // the plane turned: (1, 2), (0, 2) or (0, 1)
  locked[3 * a + a] = c;
  locked[3 * a + b] = s;
  locked[3 * b + a] = -s;
  locked[3 * b + b] = c;
  MultiplyMatrix3(locked, orientation, orientation);
  OrthonormalizeMatrix3(orientation);
  double axis[3], angle = 0.0;
  RotationMatrixToAxisAngle(axis, &angle, locked);
  // Over the whole drag: the mouse-down time is kept.
  SpinFromStep(axis, angle, SecondsSince(dragMicroseconds, MicrosecondsNow()));
  if (document != nullptr) document->RedrawGraphPaneNow();
  dragTime = ElapsedTimerUnits();
  dragPoint = point;
}

void GraphView3D::StopSpinWhenStill() {
  if (!DeadlineReached(ElapsedTimerUnits(), dragTime + TicksToTimerUnits(kStillTicks) + 1)) return;
  if (IsDemoRunning() && !(document != nullptr && document->IsDemoPaused())) return;
  spinSpeed = 0.0;
}

void GraphView3D::SpinFromStep(const double axis[3], double angle, double seconds) {
  spinSpeed = DragSpinSpeed(angle, seconds);
  if (std::isfinite(axis[0]) && std::isfinite(axis[1]) && std::isfinite(axis[2])) {
    std::copy(axis, axis + 3, spinAxis);
  }
}
