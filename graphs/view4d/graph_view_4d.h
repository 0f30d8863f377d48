// GraphView4D: the one view of 4D space, drawn through OpenGL (or the software rasteriser). It keeps
// a 4x4 orientation, rebuilds from it at every tick and frame the Projection4D its graphs project
// through, and draws the projected graphs, a grid in the xy plane and the four axes (x, y, z, w)
// inside the cube [-1, 1]^4. A trackball drag turns three of the four axes at a time, a
// control-drag changes the depth, and a spin (a pair of unit quaternions: two axes, two speeds)
// keeps any rotation of 4D space going; options rotate in the six coordinate planes and choose
// preset orientations.
// Invariants: the orientation stays orthonormal (every composition is re-orthonormalised, and a
// step whose matrix is not finite is skipped); spin axes are finite; the depth stays within
// [0.17330909743, 5] under drags; `extent` is finite, from 2.3 to 1e300 (so the depth range, twice it,
// is finite too). Graphs hold pointers to `projection`,
// `axisRanges` and `parameterRanges`: the view is neither copied nor moved.
// The members are implemented by topic: view4d/graph_view_4d.cpp (construction, projection, tick,
// frame, axes, rotations, spin, options and commands) and view4d/graph_view_4d_mouse.cpp (click,
// trackball, depth drag, wheel).
#pragma once

#include <cstdint>

#include "graphics/gl/graphics_context.h"
#include "graphs/view3d/graph_view_gl.h"
#include "graphs/view4d/projection_4d.h"

// Drag modes.
enum View4DDragMode : uint32_t {
  kDrag4DNone = 0,
  kDrag4DDeclined = 1,
  kDrag4DRotate = 2,
  kDrag4DRotateOther = 3,  // shift: the trackball turns the other three axes
  kDrag4DDepth = 4,
};

// View options (SetOption) and commands (Command).
enum View4DOption : int32_t {
  kOption4DStopSpin = 1,
  kOption4DShowAxes = 12,
  kOption4DShowXYPlane = 13,
  kOption4DPreset = 14,          // value 1, 2: trackball kind; 4 to 7: preset orientations
  kOption4DSpinPlaneFirst = 32,  // 32..37: spin in the planes xy, xz, xw, yz, yw, zw
  kOption4DSpinPlaneLast = 37,
  kOption4DTurnPlaneFirst = 96,  // 96..101: turn in the same planes at once
  kOption4DTurnPlaneLast = 101,
};
enum View4DCommand : int32_t { kCommand4DZoomOut = 3, kCommand4DReset = 6, kCommand4DNewView = 7 };

inline constexpr double kDefault4DDepth = 1.7330909743;
inline constexpr double kMin4DDragDepth = 0.17330909743;
inline constexpr double kMax4DDragDepth = 5.0;
inline constexpr double kMin4DExtent = 2.3;
// A graph farther out than this still leaves the depth scale and offset of the others finite.
inline constexpr double kMax4DExtent = 1e300;

class GraphView4D : public GraphViewGL {
 public:
  // A context record, the default orientation (ResetView4D), axes and grid shown, trackball kind 1,
  // parameter ranges (0, 1) three times.
  GraphView4D();

  // ---- GraphView ----
  // The number format, the projection, then the graphs until the deadline; `extent` from every
  // graph, computed or not.
  void Tick(int32_t budget) override;
  void Draw() override { DrawFrame(); }
  // 6 and 7 reset the view (7 also the shown parts and the parameter ranges, without marking the
  // document modified); 3 zooms out, any other code zooms in, each in two animated steps.
  void Command(int32_t code) override;
  // Restarts the spin timing with both speeds dv / 5 about the present axes. Answers 1.
  int32_t ScrollWheel(int32_t dh, int32_t dv) override;
  // Marks the document modified; code 8 goes to the graph at index, codes 6 and 7 go to it and
  // redraw the pane.
  void SetGraphOption(int32_t code, double value, int32_t index) override;
  // The trackball, depth drag and background test of Begin4DDrag, then the drag until release.
  ClickResult Click(QDPoint point, uint32_t when, const ClickFlags& flags) override;
  bool NeedsRedraw() override { return spinSpeed1 != 0.0 || spinSpeed2 != 0.0; }
  bool CanRedrawLive() override { return false; }
  // Marks the document modified, then: 1 stops the spin; 12 and 13 show the axes and the grid
  // (value non-zero) and redraw; 14 the trackball kind or a preset; 32..37 spin and 96..101 turn
  // in a coordinate plane by `value` degrees halved, and redraw.
  void SetOption(int32_t code, double value) override;

  // One frame: true when complete (also when there is nothing to draw: short memory, an empty
  // rectangle, no context kind, or a failed frame, which posts error 7); false when a graph could
  // not draw (the axes are then not drawn).
  bool DrawFrame();
  // Depth, ranges -2..2, the default orientation, no spin.
  void ResetView4D();
  // Both speeds 0; the document's scroll state reset.
  void Stop4DSpin();
  // Codes 96..101 turn the orientation by degrees/2 in their plane; 32..37 stop the spin and spin
  // in theirs at degrees/2 a second; every other code stops the spin. 0 degrees turns nothing.
  void Rotate4DInPlane(int32_t code, double degrees);
  void Update4DProjection();
  // The grid and the axes; the label points go to the document. True unless a line failed.
  bool Draw4DAxes();
  // One line between two cube points in the colour; an end of negative depth draws nothing (and
  // counts as drawn).
  bool Draw4DLine(const double a[4], const double b[4], uint32_t rgb);
  // One step of the spin, at the start of every frame.
  void Spin4DStep();
  // Begin4DDrag: 0 when the click is not the view's (command key, or a plain click on the
  // background), else 1 with the drag mode set.
  int32_t Begin4DDrag(QDPoint point, const ClickFlags& flags);
  void Track4DDrag(QDPoint point);
  void End4DDrag() { dragMode = kDrag4DNone; }
  bool HitTest4DPixels(QDPoint point);

  Projection4D projection{};
  double orientation[16];
  double parameterRanges[6] = {0, 1, 0, 1, 0, 1};       // t, u, v: (low, high) each
  double axisRanges[8] = {-2, 2, -2, 2, -2, 2, -2, 2};  // xMin, xMax, yMin, yMax, zMin, zMax, wMin, wMax
  uint32_t dragStartTime = 0;  // timer units
  QDPoint lastMousePoint{0, 0};
  uint32_t dragMode = kDrag4DNone;
  double extent = kMin4DExtent;
  double depth = kDefault4DDepth;
  double dragStartDepth = 0.0;
  uint8_t showAxes = 1;
  uint8_t showXYPlane = 1;
  int32_t trackballKind = 1;  // 1 turns x, y, z; 2 turns y, z, w
  double spinAxis1[3] = {0, 0, 0};
  double spinAxis2[3] = {0, 0, 0};
  double spinSpeed1 = 0.0;  // radians a second of the left and right quaternion
  double spinSpeed2 = 0.0;
  double lastSpinAngle1 = 0.0;
  double lastSpinAngle2 = 0.0;
  uint64_t lastSpinTime = 0;  // microseconds; 0 none
  uint64_t lastDragTime = 0;  // microseconds
  // The camera the frame set-up reads: identity, the cube -1..1, `depth`, 2 `extent`.
  ViewFrame camera{{1, 0, 0, 0, 1, 0, 0, 0, 1}, {-1, 1, -1, 1, -1, 1}, kDefault4DDepth, 2 * kMin4DExtent};

 private:
  // Turns the orientation by r (r orientation, re-orthonormalised); a matrix that is not finite is
  // skipped.
  void TurnOrientation(const double r[16]);
  // The three ranges scaled about their centres (by `step` twice, then to `factor` of the ranges
  // kept), each followed by the redraw sequence.
  void ZoomRanges(double step, double factor);
  void RedrawAfterZoomStep();
  void RedrawPane();
};
