// The poof animation: five frames of "poof.png" (a horizontal strip) shown in a transparent
// overlay window centred on a point, four ticks each, while sound 129 plays; it runs to the end
// before returning and leaves nothing behind. The window, the mouse and the waiting come from
// an overlay host the window layer supplies; without one (headless) no window is made.
#pragma once

#include <cstdint>

#include "platform/draw/png_io.h"
#include "platform/draw/port.h"

constexpr int32_t kPoofFrames = 5;
constexpr int32_t kPoofFrameTicks = 4;

class PoofOverlayHost {
 public:
  virtual ~PoofOverlayHost() = default;
  // The mouse in global coordinates.
  virtual QDPoint GlobalMouse() = 0;
  // A transparent overlay window at bounds (global) with a pixel surface of its size, hidden;
  // null when it cannot be made.
  virtual Port* CreateOverlayWindow(const QDRect& bounds) = 0;
  virtual void ShowOverlayWindow(Port* surface) = 0;
  // Puts what was drawn into the surface on the screen.
  virtual void FlushOverlayWindow(Port* surface) = 0;
  virtual void DisposeOverlayWindow(Port* surface) = 0;
  // Blocks for the given ticks (1/60.15 s each).
  virtual void Delay(int32_t ticks) = 0;
};

// Null restores the headless host (mouse at (0, 0), no window, no waiting). Not owned.
void SetPoofOverlayHost(PoofOverlayHost* host);

// The strip from the resource folder, or null when it is missing or not a readable PNG.
// Release with ReleasePoofImage.
PngImage* LoadPoofImage();
void ReleasePoofImage(PngImage* image);  // null ignored

// Plays the animation at a global point; (0, 0) means the mouse. Any missing piece (image,
// channel, sound, window, playing) ends it silently after releasing what was made.
void PlayPoofAnimation(QDPoint point);
