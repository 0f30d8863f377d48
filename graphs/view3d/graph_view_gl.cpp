// The slots the 3D and 4D views share, and the life of their graphics context.
#include "graphs/view3d/graph_view_gl.h"

#include "graphics/gl/graphics_context.h"
#include "graphs/core/document_services.h"

GraphViewGL::GraphViewGL() : context(NewGLContextRecord()) {}

GraphViewGL::~GraphViewGL() {
  // The graphs' meshes may live in the context's buffer objects: they go first.
  DeleteGraphList(graphs);
  if (context != nullptr) {
    DetachGLContext(context);
    DeleteGLContextRecord(context);
  }
}

RgnHandle GraphViewGL::InvalRect(RgnHandle region, bool) {
  SetEmptyRgn(region);
  return region;
}

RgnHandle GraphViewGL::InvalRectMode(RgnHandle region, bool, QDPoint) {
  SetEmptyRgn(region);
  return region;
}

RgnHandle GraphViewGL::InvalRegion(RgnHandle region) {
  SetEmptyRgn(region);
  return region;
}

bool GraphViewGL::HasWindowContext() { return context != nullptr && GLContextKind(context) == kContextGLWindow; }

void GraphViewGL::PassGraphOption(int32_t code, double value, int32_t index, bool plottingModeRedraws) {
  if (document != nullptr) document->SetDocumentModified(true);
  const bool redraw = code == 6 || code == 7 || (code == 0 && plottingModeRedraws);
  if ((!redraw && code != 8) || index < 0 || index >= graphs.count || graphs.data[index] == nullptr) return;
  graphs.data[index]->SetOption(code, value);
  if (redraw && document != nullptr) document->RedrawGraphPaneNow();
}

void GraphViewGL::SetOwner(DocumentServices* owner) {
  document = owner;
  if (context != nullptr) SetContextOwner(context, static_cast<void*>(owner));
}
