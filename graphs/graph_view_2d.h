// GraphView2D as the view set sees it: the scale and ranges it copies between the two 2D views,
// the probe whose mode is the view's drawn word, the axes and graph-paper switches, and the three
// operations the view set calls. The drawing, coordinate maps and interaction come with the 2D
// view itself; until then tests stand in for it with fakes.
// Invariant: pixelsPerUnitX = 16 / scaleX and pixelsPerUnitY = -16 / scaleY after every change.
#pragma once

#include <cstdint>

#include "graphs/graph_kind.h"
#include "graphs/graph_view.h"
#include "platform/handles.h"

// The plotting scale and the parameter ranges of a 2D view: the fourteen doubles and two words
// that ViewSetCopyViewSettings copies from the other 2D view.
struct View2DScale {
  double rangeT[2] = {0.0, 1.0};
  double rangeR[2] = {0.0, 2.0};
  double rangeTheta[2] = {0.0, 6.283185307179586};
  double scaleX = 0.25;  // world units per 16 pixels (the minor grid step)
  double scaleY = 0.25;
  double originH = 0.0;  // pixel of the world point (0, 0)
  double originV = 0.0;
  double pixelsPerUnitX = 64.0;
  double pixelsPerUnitY = -64.0;
  double cornerX = -2.0;  // world point of the bottom-left corner
  double cornerY = -2.0;
  int32_t stepDigitX = 1;  // leading digit of the major grid step: 1, 2 or 5
  int32_t stepDigitY = 1;
};

class GraphView2D : public GraphView {
 public:
  // Shows at least the two ranges (the view set's bounds command and the zoom box).
  virtual void SetViewRange(double x1, double x2, double y1, double y2) = 0;
  // Places a dropped picture at the point, or at the centre without one. False when the data
  // cannot be copied.
  virtual bool DropHandle(Handle data, const QDPoint* point) = 0;
  // Rebuilds the window and offscreen coordinate maps from the scale; true when antialiasing.
  virtual bool UpdateViewMaps() = 0;

  View2DScale scale;
  ProbeRecord probeReadout{};  // probeReadout.mode is the drawn word
  int32_t probeGraph = 0;      // index of the graph under the probe
  uint8_t showAxes = 1;        // option 15
  uint8_t showGraphPaper = 1;  // option 16
};

// The document's drop code calls the 2D view's drop handler by this name.
inline bool GraphView2DDropHandle(GraphView2D* view, Handle data, const QDPoint* point) {
  return view->DropHandle(data, point);
}
