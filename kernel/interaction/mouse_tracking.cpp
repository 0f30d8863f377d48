// Both tracking signatures run on one step routine, so time-out and release rules cannot
// drift between the callers.
#include "kernel/interaction/mouse_tracking.h"

namespace {

constexpr double kWaitMouseMovedSeconds = 15.0;

// The one tracking step both signatures use. With the button already up (its release taken by
// an earlier loop or the event loop) it only looks at what is queued, and reports the release.
PointerEvent TrackStep(double timeoutSeconds) {
  PointerSource* source = GetPointerSource();
  if (source == nullptr) return PointerEvent{};  // headless: kFailed
  if (!source->IsButtonDown()) {
    PointerEvent event = source->WaitPointerEvent(0.0);
    if (event.kind != PointerEventKind::kCancelled && event.kind != PointerEventKind::kFailed)
      event.kind = PointerEventKind::kReleased;
    return event;
  }
  if (!(timeoutSeconds >= 0.0)) timeoutSeconds = -1.0;  // negative or NaN: no limit
  return source->WaitPointerEvent(timeoutSeconds);
}

double TicksToSeconds(int32_t ticks) { return ticks < 0 ? -1.0 : ticks / 60.0; }

}  // namespace

bool TrackMouseWhileDown(QDPoint* pointOut, uint32_t* modifiersOut, double timeoutSeconds) {
  const PointerEvent event = TrackStep(timeoutSeconds);
  if (pointOut != nullptr) *pointOut = event.where;
  if (modifiersOut != nullptr) *modifiersOut = event.modifiers;
  return event.kind == PointerEventKind::kMoved || event.kind == PointerEventKind::kTimedOut;
}

bool TrackMouseWhileDown(const MouseTrackContext& context, double timeoutSeconds) {
  for (;;) {
    const PointerEvent event = TrackStep(timeoutSeconds);
    if (event.kind != PointerEventKind::kMoved) return event.kind == PointerEventKind::kTimedOut;
    if (context.onMove != nullptr) context.onMove(context.data, event.where);
  }
}

bool TrackMouseTicks(QDPoint* pointOut, int32_t ticks) {
  return TrackMouseWhileDown(pointOut, nullptr, TicksToSeconds(ticks));
}

bool TrackMouseTicks(const MouseTrackContext& context, int32_t ticks) {
  return TrackMouseWhileDown(context, TicksToSeconds(ticks));
}

bool TrackMouseQueued(QDPoint* pointOut) {
  for (;;) {
    const PointerEvent event = TrackStep(0.0);
    if (event.kind == PointerEventKind::kTimedOut) return true;
    if (event.kind == PointerEventKind::kCancelled || event.kind == PointerEventKind::kFailed) return false;
    if (pointOut != nullptr) *pointOut = event.where;
    if (event.kind != PointerEventKind::kMoved) return false;
  }
}

bool WaitMouseMoved(QDPoint* pointOut) {
  const PointerEvent event = TrackStep(kWaitMouseMovedSeconds);
  if (pointOut != nullptr) *pointOut = event.where;
  return event.kind != PointerEventKind::kReleased && event.kind != PointerEventKind::kCancelled &&
         event.kind != PointerEventKind::kFailed;
}
