// GraphView4D as far as the view set needs it to build, lay out, drive and destroy its five views:
// a GL view owning its context and graphs, with the ranges the factory marks and sets (t, u, v and
// the four axes), the two spin speeds that movie frames are reckoned from and the axes switch.
// It computes its graphs and answers the view set's questions; the projection, orientation,
// drawing and mouse of the 4D view come with the 4D view itself.
#pragma once

#include <cstdint>

#include "graphs/view3d/graph_view_gl.h"

class GraphView4D : public GraphViewGL {
 public:
  GraphView4D() = default;

  // With a non-empty rectangle: the number format, then the graphs until the deadline.
  void Tick(int32_t budget) override;
  void Draw() override {}
  void Command(int32_t) override {}
  int32_t ScrollWheel(int32_t, int32_t) override { return 0; }
  // Marks the document modified; code 8 goes to the graph at index, codes 6 and 7 go to it and
  // redraw the pane.
  void SetGraphOption(int32_t code, double value, int32_t index) override;
  ClickResult Click(QDPoint, uint32_t, const ClickFlags&) override { return ClickResult::Declined; }
  bool NeedsRedraw() override { return spinSpeed1 != 0.0 || spinSpeed2 != 0.0; }
  bool CanRedrawLive() override { return false; }
  void SetOption(int32_t, double) override {}

  double spinSpeed1 = 0.0;  // angular speeds of the left and right quaternion, radians per second
  double spinSpeed2 = 0.0;
  uint8_t showAxes = 1;     // option 15
  double parameterRanges[6] = {0, 1, 0, 1, 0, 1};       // t, u, v: (low, high) each
  double axisRanges[8] = {-2, 2, -2, 2, -2, 2, -2, 2};  // x, y, z, w
};
