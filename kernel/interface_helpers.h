// Small interface services shared across the program: colour from hue, saturation and
// value; mouse tracking with a time-out over the installed pointer source; the cursor
// setters; and the process-wide constants set before main (machine epsilon, the
// cooperative threads' yield interval). Headless (no pointer source), tracking ends at
// once and cursor requests do nothing.
#pragma once

#include <cstdint>

#include "platform/pointer_source.h"

// 2^-52, the spacing of doubles at 1.0; the numeric helpers scale tolerances by it.
inline constexpr double kMachineEpsilon = 0x1p-52;

// TicksToTimerUnits(10): how long a worker runs per idle cycle. Set by a static
// initialiser; safe to call from other static initialisers too.
uint32_t YieldIntervalUnits();

// Hue, saturation and value in [0, 1] to red, green and blue in [0, 1] by the six hue
// sectors; the hue wraps (1.25 is 0.25). A NaN or infinite hue gives (v, p, v), the
// last sector at its start, never an undefined conversion.
void HSVToRGB(double h, double s, double v, double* red, double* green, double* blue);
// The same converted in place, (h, s, v) becoming (red, green, blue): the form the
// colour plots call.
void HSVToRGB(double& h, double& s, double& v);

// Called for each movement of the pointer while a tracking loop follows it.
using MouseMoveCallback = void (*)(void* data, QDPoint where);
struct MouseTrackContext {
  MouseMoveCallback onMove = nullptr;
  void* data = nullptr;
};

// Step form: waits for the next movement or release, at most timeoutSeconds (negative or
// NaN: no limit). Writes the pointer position and modifier keys (either may be null).
// Returns true while the button is still down (moved or timed out), false once it is
// released or tracking fails.
bool TrackMouseWhileDown(QDPoint* pointOut, uint32_t* modifiersOut, double timeoutSeconds);
// Loop form: calls back for each movement until the button is released (returns false)
// or a wait times out with the button still down (gives up, returns true).
bool TrackMouseWhileDown(const MouseTrackContext& context, double timeoutSeconds);

// The same with the time-out in ticks: ticks / 60 seconds, a negative count meaning no
// limit. Step form (for the views' drag loops) and loop form.
bool TrackMouseTicks(QDPoint* pointOut, int32_t ticks);
bool TrackMouseTicks(const MouseTrackContext& context, int32_t ticks);

// Waits up to 15 s for the pointer to move; false when the button went up, the user
// cancelled or tracking failed, true otherwise (also on time-out).
bool WaitMouseMoved(QDPoint* pointOut);

// Start-up: loads the colour cursors 128, 355 and 357; before it, their setters do nothing.
void LoadColorCursors();
void SetThemeArrowCursor();
void SetThemeClosedHandCursor();
void SetPoofCursor();  // falls back to the arrow when the back end has no poof cursor
void SetColorCursor128();
void SetColorCursor355();
void SetColorCursor357();

// Tests: forget the loaded cursors.
void ResetInterfaceHelpersForTests();
