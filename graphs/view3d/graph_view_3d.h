// GraphView3D: the OpenGL (or software-rasterised) view in which the 3D graph kinds draw. It owns
// its graphs, a GraphicsContext and a camera (rotation, viewing box, depth, largest extent); it
// spins about an axis with smoothing and a 20 degree cap a frame, turns with a virtual trackball
// (free, locked to a coordinate axis, or changing the depth), zooms its box in two animated steps,
// resets its orientation, and draws the coordinate axes with arrowheads.
// Invariants: the rotation stays orthonormal (every composition is re-orthonormalised); the spin
// axis is finite, the spin speed finite; the depth stays in [0.17330909743, 5] under drags.
// The members are implemented by topic: view3d/graph_view_3d.cpp (construction, tick, frame,
// spin, axes, options and commands) and view3d/graph_view_3d_mouse.cpp (trackball, wheel).
#pragma once

#include <cstdint>

#include "graphics/gl/graphics_context.h"
#include "graphs/view3d/graph_view_gl.h"

// The 3D camera and ranges that ViewSetCopyViewSettings copies from the other 3D view: the
// camera block the frame set-up reads (rotation as orientation, box, depth as zoom, the largest
// graph extent as radius), then the unit ranges (t, u, v) and the polar ranges (r, theta, phi).
struct View3DSettings {
  ViewFrame camera = {{1, 0, 0, 0, 1, 0, 0, 0, 1}, {-2, 2, -2, 2, -2, 2}, 1.7330909743, 2.3};
  double unitRanges[6] = {0, 1, 0, 1, 0, 1};
  double parameterRanges[6] = {0, 2, 0, 6.283185307179586, 0, 3.141592653589793};
};

// Drag modes of the trackball.
enum View3DDragMode : uint32_t {
  kDragNone = 0,
  kDragDeclined = 1,
  kDragFree = 2,
  kDragLockedAxis = 3,
  kDragDepth = 4,
};

// View options (SetOption) and commands (Command).
enum View3DOption : int32_t {
  kOptionStopSpin = 1,
  kOptionSpinX = 2,
  kOptionSpinY = 3,
  kOptionSpinZ = 4,
  kOptionUploadMeshes = 5,
  kOptionToggleAxes = 15,
};
enum View3DCommand : int32_t { kCommandZoomOut3D = 3, kCommandResetView3D = 6, kCommandNewView3D = 7 };

inline constexpr double kDefaultDepth = 1.7330909743;
inline constexpr double kMinDragDepth = 0.17330909743;
inline constexpr double kMaxDragDepth = 5.0;
inline constexpr double kMinSceneExtent = 2.3;

class GraphView3D : public GraphViewGL {
 public:
  // A context record, the default orientation spinning about (0, 0, -1), axes shown.
  GraphView3D();

  // ---- GraphView ----
  // With a non-empty rectangle: the context prepared for it, the number format, then the graphs
  // until the deadline.
  void Tick(int32_t budget) override;
  void Draw() override { DrawFrame(); }
  void Command(int32_t code) override;
  // Restarts the spin timing at speed dv / 5 (about the present axis). Answers 1.
  int32_t ScrollWheel(int32_t dh, int32_t dv) override;
  // Marks the document modified; codes 0, 6, 7 go to the graph at index and redraw the pane, code
  // 8 goes to it without the redraw; other codes and indexes outside the list nothing more.
  void SetGraphOption(int32_t code, double value, int32_t index) override;
  // The trackball. Declined for the command key and for a plain click on the background (with
  // graphs shown, no demo playing); otherwise tracks the mouse until it is released.
  ClickResult Click(QDPoint point, uint32_t when, const ClickFlags& flags) override;
  bool NeedsRedraw() override { return spinSpeed != 0.0; }
  bool CanRedrawLive() override { return HasWindowContext(); }
  // 5 hands every graph's samples to its mesh; other codes mark the document modified, then 1
  // stops the spin, 2, 3, 4 spin about x, y, -z at 0.8 rad/s, 15 toggles the axes.
  void SetOption(int32_t code, double value) override;

  // One frame: true when it is complete (also when there is nothing to draw: short memory, an
  // empty rectangle, no context kind, or a failed frame, which posts error 7); false when a graph
  // answered an unfinished draw (the axes are then not drawn).
  bool DrawFrame();
  // Box -2..2, default depth, polar ranges, the default rotation, and the spin about (0, 0, -1)
  // at 0.8 rad/s (without marking the document modified).
  void SetDefaultOrientation();
  // One step of the spin, at the start of every frame.
  void SpinStep();
  // The axes through the origin clamped into the box, with arrowheads on x and y. True.
  bool DrawAxes();
  // One trackball step to the mouse point, by the drag mode.
  void DragStep(QDPoint point);

  View3DSettings settings;
  double spinAxis[3] = {0, 0, -1};
  double spinSpeed = 0.0;      // radians a second; 0 still
  double lastSpinAngle = 0.0;  // the previous spin step's angle; 0 none
  uint8_t showAxes = 1;        // option 15
  uint64_t dragMicroseconds = 0;
  uint32_t dragTime = 0;  // timer units of the last trackball move
  QDPoint dragPoint{0, 0};
  uint32_t dragMode = kDragNone;
  uint8_t lockedAxisSet = 0;
  double lockedAxis[3] = {0, 0, 0};
  double dragStartDepth = 0.0;
  uint64_t spinMicroseconds = 0;  // of the last spin step; 0 none

 private:
  void SetSpin(double x, double y, double z, double speed);
  // The zoom: two animation steps by `step`, then the final factor, each followed by the redraw
  // sequence.
  void ZoomBox(double step, double factor);
  void RedrawAfterChange();
  void FreeDragStep(QDPoint point);
  void LockedDragStep(QDPoint point);
  // A still mouse stops the spin after 20 ticks (not while a demo plays, unless it is paused).
  void StopSpinWhenStill();
  // spinSpeed = angle / seconds, 0 when negative or NaN, at most 4 pi; the axis of
  // the step becomes the spin axis unless it is not finite (a turn too small to have one).
  void SpinFromStep(const double axis[3], double angle, double seconds);
};
