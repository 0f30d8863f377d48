// The progress box a window shows over its panes while it blocks on a Math command (its long
// work, or the remote integration's transfer): a title, a bar (filled by the bytes received when the reply's length is known,
// else a block sweeping along it, one step a frame) and how to cancel. Drawing only: the window
// decides when, and puts its panes back afterwards.
#pragma once

#include <cstdint>

#include "platform/draw/qd_geometry.h"

inline constexpr const char* kIntegrationProgressTitle = "Waiting for the integration server";
inline constexpr const char* kCommandProgressTitle = "Working on the formula";
inline constexpr const char* kProgressCancelHint = "Escape cancels";

// The box centred in the window's rectangle (clipped to it when the window is smaller).
QDRect ProgressBoxRect(const QDRect& window);
// The bar inside the box.
QDRect ProgressBarRect(const QDRect& box);
// The part of the bar filled: received / expected of it when expected > 0, else a fifth of the
// bar at a place that moves with `frame` and comes back to the start every 40 frames.
QDRect ProgressBarFill(const QDRect& bar, int64_t received, int64_t expected, int32_t frame);
// Draws the box into the current port.
void DrawProgressBox(const QDRect& box, const char* title, int64_t received, int64_t expected, int32_t frame);
