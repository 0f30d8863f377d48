// GraphView3D as the view set sees it: the camera and ranges copied between the two 3D views,
// the spin speed that movie frames are reckoned from, the axes switch, the graphics context and
// whether the view draws through a window context. The rest comes with the 3D view itself.
#pragma once

#include <cstdint>

#include "graphs/graph_view.h"

struct GraphicsContext;

// The 3D camera state and ranges that ViewSetCopyViewSettings copies from the other 3D view:
// the rotation (nine doubles), then twenty doubles of box, depth, extent and ranges.
struct View3DSettings {
  double rotation[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};  // row by row
  double box[6] = {-2, 2, -2, 2, -2, 2};             // xmin, xmax, ymin, ymax, zmin, zmax
  double depth = 1.7330909743;
  double maxExtent = 2.3;
  double unitRanges[6] = {0, 1, 0, 1, 0, 1};                                      // t, u, v
  double parameterRanges[6] = {0, 2, 0, 6.283185307179586, 0, 3.141592653589793};  // r, theta, phi
};

class GraphView3D : public GraphView {
 public:
  // True while the view draws through a window OpenGL context.
  virtual bool HasWindowContext() = 0;

  View3DSettings settings;
  double spinSpeed = 0.0;                // radians per second; 0 still
  uint8_t showAxes = 1;                  // option 15
  GraphicsContext* context = nullptr;    // the concrete view's own
};
