// GraphViewGL: what the 3D and 4D views share. Each owns a GraphicsContext (made with the view,
// released with it after its graphs, whose meshes live in that context) and answers the slots
// that do not depend on the dimension: a graph's status, readiness, the origin, and an empty
// region for every invalidation question (these views are always redrawn whole).
// Invariant: `context` is the view's own or null (memory refused: the view computes but never
// draws).
#pragma once

#include <cstdint>

#include "graphs/core/graph_view.h"

struct GraphicsContext;

// Flag bytes of ClickFlags as the 3D and 4D views read them: the keys held at the mouse-down.
enum ClickGLFlag : int32_t { kClickCommandKey = 0, kClickOptionKey = 1, kClickControlKey = 2, kClickShiftKey = 3 };

class GraphViewGL : public GraphView {
 public:
  GraphViewGL();
  // Deletes the graphs, then releases what the context built and the context record.
  ~GraphViewGL() override;
  GraphViewGL(const GraphViewGL&) = delete;
  GraphViewGL& operator=(const GraphViewGL&) = delete;

  int32_t GraphStatus(int32_t index) override { return GraphListStatus(graphs, index); }
  void UpdateGeometry() override {}
  RgnHandle InvalRect(RgnHandle region, bool all) override;
  RgnHandle InvalRectMode(RgnHandle region, bool all, QDPoint point) override;
  RgnHandle InvalRegion(RgnHandle region) override;
  QDPoint Origin() override { return QDPoint{0, 0}; }
  void ReservedHook1() override {}
  void ReservedHook2() override {}
  bool IsReady() override { return AllGraphsComplete(graphs); }
  // The context draws into a window (kind 2).
  virtual bool HasWindowContext();
  // Makes `document` the owner of the view and of its context (the context's window is the
  // document's services pointer, which the document layer's graphics hooks receive).
  void SetOwner(DocumentServices* owner);

  GraphicsContext* context = nullptr;

 protected:
  // The graph options both views pass on: the document is marked modified; code 8 goes to the
  // graph at index, codes 6 and 7 (and 0 when `plottingModeRedraws`) go to it and redraw the
  // pane; other codes, and indexes outside the list, nothing more.
  void PassGraphOption(int32_t code, double value, int32_t index, bool plottingModeRedraws);
};
