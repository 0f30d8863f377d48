// Where a window's pixels go: the drawing layer draws into an offscreen buffer of the window's
// size, and the surface shows rectangles of it. The SDL window is one; tests and benchmarks use a
// buffer in memory.
#pragma once

#include "platform/draw/port.h"

class WindowSurface {
 public:
  virtual ~WindowSurface() = default;
  // Shows the rectangle (window coordinates, clipped to the window) of the buffer, whose bounds
  // are the window's.
  virtual void Present(const Port& buffer, const QDRect& rect) = 0;
};
