// Colour conversion, mouse tracking and cursors. Both mouse-tracking signatures run on
// one step routine, so time-out and release rules cannot drift between the callers.
#include "kernel/interface_helpers.h"

#include <cmath>

#include "kernel/timers.h"

namespace {

struct InterfaceState {
  uint32_t yieldInterval = 0;  // 0 until the static initialiser (or first use) sets it
  const ColorCursorImage* cursor128 = nullptr;
  const ColorCursorImage* cursor355 = nullptr;
  const ColorCursorImage* cursor357 = nullptr;
};

constinit InterfaceState helpers;

// The static initialiser: the yield interval is ready before main.
struct StaticInitialiser {
  StaticInitialiser() { YieldIntervalUnits(); }
} staticInitialiser;

constexpr double kWaitMouseMovedSeconds = 15.0;

// The one tracking step both signatures use.
PointerEvent TrackStep(double timeoutSeconds) {
  PointerSource* source = GetPointerSource();
  if (source == nullptr) return PointerEvent{};  // headless: kFailed
  if (!(timeoutSeconds >= 0.0)) timeoutSeconds = -1.0;  // negative or NaN: no limit
  return source->WaitPointerEvent(timeoutSeconds);
}

double TicksToSeconds(int32_t ticks) { return ticks < 0 ? -1.0 : ticks / 60.0; }

void SetColorCursor(const ColorCursorImage* image) {
  PointerSource* source = GetPointerSource();
  if (source != nullptr && image != nullptr) source->SetColorCursor(*image);
}

bool SetTheme(int themeCursor) {
  PointerSource* source = GetPointerSource();
  return source != nullptr && source->SetThemeCursor(themeCursor);
}

}  // namespace

uint32_t YieldIntervalUnits() {
  if (helpers.yieldInterval == 0) helpers.yieldInterval = TicksToTimerUnits(10);
  return helpers.yieldInterval;
}

void HSVToRGB(double h, double s, double v, double* red, double* green, double* blue) {
  if (s == 0.0) {
    *red = *green = *blue = v;
    return;
  }
  int i = 6;  // "any other value": where a non-finite hue lands
  double f = 0.0;
  if (std::isfinite(h)) {
    double x = (h - std::floor(h)) * 6.0;
    // A tiny negative hue rounds h - floor(h) up to 1: that is hue 0, not sector 6.
    if (x >= 6.0) x = 0.0;
    i = static_cast<int>(std::floor(x));
    f = x - i;
  }
  const double p = v * (1.0 - s);
  const double q = v * (1.0 - s * f);
  const double t = v * (1.0 - s * (1.0 - f));
  switch (i) {
    case 0: *red = v; *green = t; *blue = p; break;
    case 1: *red = q; *green = v; *blue = p; break;
    case 2: *red = p; *green = v; *blue = t; break;
    case 3: *red = p; *green = q; *blue = v; break;
    case 4: *red = t; *green = p; *blue = v; break;
    default: *red = v; *green = p; *blue = q; break;
  }
}

void HSVToRGB(double& h, double& s, double& v) {
  double r = 0, g = 0, b = 0;
  HSVToRGB(h, s, v, &r, &g, &b);
  h = r;
  s = g;
  v = b;
}

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

bool WaitMouseMoved(QDPoint* pointOut) {
  const PointerEvent event = TrackStep(kWaitMouseMovedSeconds);
  if (pointOut != nullptr) *pointOut = event.where;
  return event.kind != PointerEventKind::kReleased && event.kind != PointerEventKind::kCancelled &&
         event.kind != PointerEventKind::kFailed;
}

void LoadColorCursors() {
  helpers.cursor128 = BuiltInColorCursor(128);
  helpers.cursor355 = BuiltInColorCursor(355);
  helpers.cursor357 = BuiltInColorCursor(357);
}

void SetThemeArrowCursor() { SetTheme(kThemeArrowCursor); }
void SetThemeClosedHandCursor() { SetTheme(kThemeClosedHandCursor); }
void SetPoofCursor() {
  if (!SetTheme(kThemePoofCursor)) SetThemeArrowCursor();
}
void SetColorCursor128() { SetColorCursor(helpers.cursor128); }
void SetColorCursor355() { SetColorCursor(helpers.cursor355); }
void SetColorCursor357() { SetColorCursor(helpers.cursor357); }

void ResetInterfaceHelpersForTests() {
  helpers.cursor128 = helpers.cursor355 = helpers.cursor357 = nullptr;
  helpers.yieldInterval = 0;
}
