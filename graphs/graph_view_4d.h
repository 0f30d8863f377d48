// GraphView4D as the view set sees it: the two spin speeds that movie frames are reckoned from,
// the axes switch, the graphics context, whether it draws through a window context, and the
// ranges the factory marks and sets (t, u, v and the four axes). The projection, orientation and
// interaction come with the 4D view itself.
#pragma once

#include <cstdint>

#include "graphs/graph_view.h"

struct GraphicsContext;

class GraphView4D : public GraphView {
 public:
  // True while the view draws through a window OpenGL context.
  virtual bool HasWindowContext() = 0;

  double spinSpeed1 = 0.0;  // angular speeds of the left and right quaternion, radians per second
  double spinSpeed2 = 0.0;
  uint8_t showAxes = 1;     // option 15
  GraphicsContext* context = nullptr;
  double parameterRanges[6] = {0, 1, 0, 1, 0, 1};       // t, u, v: (low, high) each
  double axisRanges[8] = {-2, 2, -2, 2, -2, 2, -2, 2};  // x, y, z, w
};
