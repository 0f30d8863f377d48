// GraphView2D mouse: the click dispatch (picture drag, zoom box, pan, zoom click, probe), the
// pan loop with edge acceleration, the dotted zoom box, picture dragging with deletion by
// dragging out, and the drop of a picture. Loops run on the pointer source until the button is
// released; each one ends with the cursor regions refreshed.
#include <algorithm>
#include <cstring>

#include "graphics/feedback/poof_animation.h"
#include "graphics/pixel_routines.h"
#include "graphics/qd_layer.h"
#include "graphs/core/document_services.h"
#include "graphs/view2d/graph_view_2d.h"
#include "kernel/interaction/cursors.h"
#include "kernel/interaction/mouse_tracking.h"

namespace {

constexpr int32_t kPanWaitTicks = 2;  // a held mouse keeps panning at the edges
constexpr int32_t kMaxEdgeSpeed = 20;
constexpr PackedRGB kZoomBoxGrey = 0x3f3f3f;

bool SamePoint(QDPoint a, QDPoint b) { return a.h == b.h && a.v == b.v; }

// The extra pan on one side: a quarter of the distance beyond the edge, at most 20 pixels.
int32_t EdgeSpeed(int32_t beyond) { return beyond > 0 ? std::min(kMaxEdgeSpeed, beyond / 4) : 0; }

}  // namespace

ClickResult GraphView2D::Click(QDPoint point, uint32_t, const ClickFlags& flags) {
  if (document != nullptr) document->ApplyNumberFormat();
  if (flags.byte[kClickIgnore] != 0) return ClickResult::Declined;
  const bool panKey = flags.byte[kClickPan] != 0, probeKey = flags.byte[kClickProbe] != 0;
  const bool zoomBoxKey = flags.byte[kClickZoomBox] != 0, zoomClick = flags.byte[kClickZoom] != 0;
  // On a graph or near the probe's lines (InvalRectMode's region), or the probe key.
  bool inProbeArea = probeKey;
  if (RgnHandle region = NewRgn()) {
    InvalRectMode(region, false, point);
    inProbeArea = PtInRgn(point, region) || inProbeArea;
    DisposeRgn(region);
  }
  if (probeKey) probeGraph = 0;
  const bool onClassZero = HitTestGraphs(point);
  if (!onClassZero && !inProbeArea && !panKey && !zoomBoxKey && !probeKey) {
    for (int32_t i = pictures.count - 1; i >= 0; --i) {
      if (PtInRect(point, PictureRect(pictures.data[i]))) {
        PictureDragLoop(i, point);
        return ClickResult::Handled;
      }
    }
  }
  if (zoomBoxKey) {
    ZoomBoxLoop(point);
    return ClickResult::Handled;
  }
  if (panKey || (PointOnAxisLabels(point) && !inProbeArea && !onClassZero)) {
    PanLoop(point);
    return ClickResult::Handled;
  }
  if ((!inProbeArea || graphs.count == 0) && !FindGraphAt(point)) return ClickResult::Declined;
  if (zoomClick) {
    Command(kZoomInBoth);
  } else {
    TrackProbe(point);
  }
  return ClickResult::Handled;
}

void GraphView2D::PanLoop(QDPoint point) {
  SetColorCursor355();
  QDPoint last = point, p = point;
  while (TrackMouseTicks(&p, kPanWaitTicks)) {
    int32_t dh = last.h - p.h, dv = last.v - p.v;
    if (PtInRect(p, rect)) {
      const bool animating = document != nullptr && document->IsSliderAnimating();
      if (dh == 0 && dv == 0 && IsReady() && !animating) continue;
    } else {
      dh += EdgeSpeed(rect.left - p.h) - EdgeSpeed(p.h - rect.right + 1);
      dv += EdgeSpeed(rect.top - p.v) - EdgeSpeed(p.v - rect.bottom + 1);
    }
    ScrollView(dh, dv);
    last = p;
  }
  ProbeStillVisible();
  if (document == nullptr) return;
  document->AdjustCursor();
  document->MarkDocumentDirty();
}

void GraphView2D::ZoomBoxLoop(QDPoint point) {
  if (document != nullptr) document->ClearDemoHighlight();
  SaveBackground();
  const QDPoint start = point;
  QDPoint last = point, p = point;
  while (TrackMouseTicks(&p, -1)) {
    if (SamePoint(p, last)) continue;
    last = p;
    GWorldPtr window = document != nullptr ? document->OffscreenBuffer() : nullptr;
    if (savedBackground == nullptr || window == nullptr) continue;
    CopyGWorldRect(savedBackground, window, rect, rect);
    if (PtInRect(start, rect) && PtInRect(p, rect)) {
      const QDPoint corner1 = MakePoint(std::min(start.h, p.h), std::min(start.v, p.v));
      const QDPoint corner2 = MakePoint(std::max(start.h, p.h), std::max(start.v, p.v));
      GWorldSave port;
      SaveAndSetGWorld(&port, window);
      ShadeHorizontalSpan(rect, corner1, MakePoint(corner2.h, corner1.v), kZoomBoxGrey, 3);
      ShadeHorizontalSpan(rect, MakePoint(corner1.h, corner2.v), corner2, kZoomBoxGrey, 3);
      // The sides between the corners, which the top and bottom edges shade once already.
      if (corner2.v - corner1.v > 1) {
        const int32_t top = corner1.v + 1, bottom = corner2.v - 1;
        ShadeVerticalSpan(rect, MakePoint(corner1.h, top), MakePoint(corner1.h, bottom), kZoomBoxGrey, 3);
        ShadeVerticalSpan(rect, MakePoint(corner2.h, top), MakePoint(corner2.h, bottom), kZoomBoxGrey, 3);
      }
      RestoreGWorld(&port);
    }
    document->CopyOffscreenToWindow(rect);
  }
  if (document != nullptr) document->AdjustCursor();
  DisposeBackground();
  if (!PtInRect(start, rect) || !PtInRect(p, rect) || p.h == start.h || p.v == start.v) return;
  SetViewRange(WindowX(start.h), WindowX(p.h), WindowY(start.v), WindowY(p.v));
  if (document != nullptr) document->RedrawGraphPaneNow();
}

QDRect GraphView2D::PictureRect(const PlacedPicture& placed) const {
  const int32_t h = WorldToPixelX(&windowMap, placed.x), v = WorldToPixelY(&windowMap, placed.y);
  const QDRect& frame = placed.picture->frame;
  return MakeRect(h, v - RectHeight(frame), h + RectWidth(frame), v);
}

void GraphView2D::PictureDragLoop(int32_t index, QDPoint point) {
  draggedPicture = index;
  SetThemeClosedHandCursor();
  QDPoint last = point, p = point;
  QDRect common;
  while (TrackMouseTicks(&p, -1)) {
    if (SamePoint(p, last)) continue;
    PlacedPicture& placed = pictures.data[index];
    placed.x += (p.h - last.h) * windowMap.unitsPerPixelX;
    placed.y -= (p.v - last.v) * windowMap.unitsPerPixelY;
    last = p;
    if (document != nullptr) document->RedrawGraphPaneNow();
    if (SectRect(PictureRect(placed), rect, &common)) {
      SetThemeClosedHandCursor();
    } else {
      SetPoofCursor();  // released here, the picture goes
    }
  }
  if (!SectRect(PictureRect(pictures.data[index]), rect, &common)) {
    PlayPoofAnimation(MakePoint(0, 0));  // at the mouse
    KillPicture(pictures.data[index].picture);
    std::memmove(static_cast<void*>(pictures.data + index), pictures.data + index + 1,
                 static_cast<size_t>(pictures.count - index - 1) * sizeof(PlacedPicture));
    --pictures.count;
    if (document != nullptr) document->RedrawGraphPaneNow();
  }
  draggedPicture = -1;
  SetThemeArrowCursor();
  if (document != nullptr) document->SetDocumentModified(true);
}

bool GraphView2D::DropPicture(const Picture* picture, const QDPoint* point) {
  if (picture == nullptr) return false;
  PicHandle copy = NewPicture(picture->pixels, picture->width, picture->height);
  if (copy == nullptr) return false;
  const QDPoint at = point != nullptr ? *point : MakePoint((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  const int32_t width = RectWidth(copy->frame), height = RectHeight(copy->frame);
  const double x = scale.cornerX + (at.h - rect.left - width / 2) / scale.pixelsPerUnitX;
  const double y = scale.cornerY - ((rect.bottom - at.v) - height / 2) / scale.pixelsPerUnitY;
  if (!GrowArrayAppend(pictures, PlacedPicture{copy, x, y})) {
    KillPicture(copy);
    return false;
  }
  if (document != nullptr) {
    document->SetDocumentModified(true);
    document->RedrawGraphPaneNow();
  }
  return true;
}
