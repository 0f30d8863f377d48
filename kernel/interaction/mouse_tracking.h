// Mouse tracking with a time-out over the installed pointer source, for the drag loops of
// the views and the editor. Headless (no pointer source), tracking ends at once.
#pragma once

#include <cstdint>

#include "platform/pointer_source.h"

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
// Takes the movements already queued without waiting, leaving the latest position in pointOut:
// true while the button is down, false once a release among them (its position written) or a
// cancel ended the tracking.
bool TrackMouseQueued(QDPoint* pointOut);

// Waits up to 15 s for the pointer to move; false when the button went up, the user
// cancelled or tracking failed, true otherwise (also on time-out).
bool WaitMouseMoved(QDPoint* pointOut);
