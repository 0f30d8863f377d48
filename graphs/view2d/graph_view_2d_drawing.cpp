// GraphView2D drawing: background, graphs (into the double-size antialias buffer with a 2x2 pen
// and halved onto the window, or straight into the window), axes, pictures and the probe overlay.
// The buffer is used exactly when the drawing map is the buffer's (AntialiasInEffect decides
// both), so graphs never draw through one size into the other. The clip comes back as it was.
#include "graphics/pixel_routines.h"
#include "graphics/picture_helpers.h"
#include "graphics/qd_layer.h"
#include "graphs/core/document_services.h"
#include "graphs/core/graph_color.h"
#include "graphs/view2d/graph_view_2d.h"
#include "graphs/core/graphs_state.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/memory/memory_shortage.h"
#include "kernel/threads/timers.h"

namespace {

constexpr int kErrorOffscreenMemory = 9;  // no memory for an offscreen picture

// Draws the listed graphs in list order, or all of them without a list.
void DrawGraphs(const GraphView2D& view, const ViewIndexList* list) {
  const int32_t count = list != nullptr ? list->count : view.graphs.count;
  for (int32_t k = 0; k < count; ++k) {
    if (GraphKind2D* graph = view.GraphAt(list != nullptr ? list->indices[k] : k)) graph->Draw();
  }
}

// A point list as a polyline in the colour, each segment clipped to the view.
void DrawPolyline(const GrowArray<ProbePoint>* points, const ViewMap& map, const QDRect& clip, PackedRGB rgb) {
  if (points == nullptr) return;
  for (int32_t i = 1; i < points->count; ++i) {
    const ProbePoint& a = points->data[i - 1];
    const ProbePoint& b = points->data[i];
    ShadeLineSegment(clip, MakePoint(WorldToPixelX(&map, a.x), WorldToPixelY(&map, a.y)),
                     MakePoint(WorldToPixelX(&map, b.x), WorldToPixelY(&map, b.y)), rgb);
  }
}

}  // namespace

void GraphView2D::Draw() { DrawGraphsInView(nullptr, nullptr); }

int32_t GraphView2D::DrawGraphsInView(const ViewIndexList* list, const GraphColor* overrideColour) {
  if (CheckFreeMemory() || EmptyRect(rect)) return 1;
  if (!drawingForMap_) {
    const uint64_t now = MicrosecondsNow();
    // The first frame has no previous one to be timed from.
    if (document != nullptr && lastFrameTime != 0) {
      document->RecordFrameTime(static_cast<double>(now - lastFrameTime) * 1e-6);
    }
    lastFrameTime = now;
  }

  ClipSave windowClip;
  SaveClipRect(&windowClip, rect);
  QDPenNormal();
  SetForeColorBlack();
  SetBackColorWhite();
  const bool antialiased = UpdateViewMaps();
  const bool noFill = IsNoFillColor(overrideColour);
  if (antialiased) {
    GWorldSave port;
    SaveAndSetGWorld(&port, antialiasBuffer);
    ClipSave bufferClip;
    SaveClipRect(&bufferClip, drawMap.frame);
    QDPenNormal();
    SetForeColorBlack();
    SetBackColorWhite();
    SetSquarePenSize(2);
    if (!noFill) DrawBufferBackground();
    DrawGraphs(*this, list);
    QDPenNormal();
    RestoreClip(&bufferClip);
    RestoreGWorld(&port);
    CopyGWorldToPort(antialiasBuffer, drawMap.frame, rect);
  } else {
    if (noFill) {
      EraseRect(rect);
    } else {
      DrawViewBackground();
    }
    DrawGraphs(*this, list);
  }
  if (showAxes && !noFill) DrawAxes(overrideColour);
  for (int32_t i = 0; i < pictures.count; ++i) {
    const PlacedPicture& placed = pictures.data[i];
    DrawPictureInGWorld(placed.picture, WorldToPixelX(&windowMap, placed.x), WorldToPixelY(&windowMap, placed.y),
                        rect, 1, 1);
  }
  if (!drawingForMap_) DrawProbeOverlay();
  QDPenNormal();
  SetForeColorBlack();
  RestoreClip(&windowClip);
  return 1;
}

void GraphView2D::DrawViewPicture(const QDRect& area, const ViewIndexList* list, const GraphColor* overrideColour) {
  GWorldPtr world = NewGWorld32(area);
  if (world == nullptr) {
    PostError(kErrorOffscreenMemory);
    return;
  }
  GWorldSave port;
  SaveAndSetGWorld(&port, world);
  EraseRect(area);
  DrawGraphsInView(list, overrideColour);
  RestoreGWorld(&port);
  CopyGWorldToPortSameRect(world, area);
  SafeDisposeGWorld(world);
}

GWorldPtr GraphView2D::DrawViewIntoBuffer(const ViewIndexList* list, const GraphColor* overrideColour) {
  GWorldPtr world = NewGWorld32(rect);
  if (world == nullptr) return nullptr;
  GWorldSave port;
  SaveAndSetGWorld(&port, world);
  EraseRect(rect);
  drawingForMap_ = true;
  DrawGraphsInView(list, overrideColour);
  drawingForMap_ = false;
  RestoreGWorld(&port);
  return world;
}

void GraphView2D::DrawProbeOverlay() {
  const uint32_t mode = probeReadout.mode;
  if (mode == 0 || mode == 11 || CheckFreeMemory()) return;
  const QDRect readout = ReadoutRect();
  DrawProbeMarks();  // a mode-9 record's probed arrow is its point's segment
  if (mode == 10) {
    DrawPolyline(GraphsGlobals().probeListA, windowMap, rect, probeReadout.rgb);
    DrawPolyline(GraphsGlobals().probeListB, windowMap, rect, probeReadout.rgb);
  }
  if (!EmptyRect(readout)) {
    DrawReadoutBox(readout);
    DrawReadoutText(readout);
  }
}
