// GraphView2D mouse: the click dispatch (picture drag, zoom box, pan, zoom click, probe) once the
// pick under the press has ended, the pan loop with edge acceleration, the dotted zoom box,
// picture dragging with deletion by dragging out, and the drop of a picture. Loops run on the
// pointer source until the button is released; each one ends with the cursor regions refreshed.
#include <algorithm>
#include <cstring>

#include "graphics/feedback/poof_animation.h"
#include "graphics/pixel_routines.h"
#include "graphics/qd_layer.h"
#include "graphs/core/document_services.h"
#include "graphs/view2d/graph_view_2d.h"
#include "kernel/interaction/cursors.h"
#include "kernel/interaction/mouse_tracking.h"
#include "kernel/memory/memory_shortage.h"

namespace {

constexpr int32_t kPanWaitTicks = 2;  // a held mouse keeps panning at the edges
constexpr int32_t kMaxEdgeSpeed = 20;
constexpr PackedRGB kZoomBoxGrey = 0x3f3f3f;

// The extra pan on one side: a quarter of the distance beyond the edge, at most 20 pixels.
int32_t EdgeSpeed(int32_t beyond) { return beyond > 0 ? std::min(kMaxEdgeSpeed, beyond / 4) : 0; }

}  // namespace

ClickResult GraphView2D::Click(QDPoint point, uint32_t, const ClickFlags& flags) {
  if (document != nullptr) document->ApplyNumberFormat();
  if (flags.byte[kClickIgnore] != 0) return ClickResult::Declined;
  // The keys that choose without looking at the graphs; pictures are dragged only without them.
  if (flags.byte[kClickZoomBox] != 0) {
    ZoomBoxLoop(point);
    return ClickResult::Handled;
  }
  if (flags.byte[kClickPan] != 0) {
    PanLoop(point);
    return ClickResult::Handled;
  }
  // The hit tests evaluate the graphs: in turns, the pointer followed meanwhile. A button
  // released first leaves the rest of the click to the view's ticks.
  StartPick(point, flags);
  QDPoint pointer = point;
  const bool down = PursuePointerWork(&pointer, false);
  pointerWork.point = pointer;
  if (!pointerWork.done) return ClickResult::Handled;
  return ChooseAfterPick(down);
}

ClickResult GraphView2D::ChooseAfterPick(bool down) {
  const PointerWork work = pointerWork;
  pointerWork = PointerWork{};
  const QDPoint press = work.press, release = work.point;
  const bool probeKey = work.flags.byte[kClickProbe] != 0;
  const bool found = work.hit >= 0, onClassZero = work.hitPass == 0;
  // On a graph or near the probe's lines (InvalRectMode's region), or the probe key.
  const bool inProbeArea = probeKey || found || NearProbeLines(press);
  // ProbeGraph as the hit tests leave it: a class-0 graph first, else the probe key's first graph,
  // else any graph hit.
  if (onClassZero) {
    probeGraph = work.hit;
  } else if (probeKey) {
    probeGraph = 0;
  } else if (found) {
    probeGraph = work.hit;
  }
  if (!onClassZero && !inProbeArea && !probeKey) {
    for (int32_t i = pictures.count - 1; i >= 0; --i) {
      if (!PtInRect(press, PictureRect(pictures.data[i]))) continue;
      if (down) {
        PictureDragLoop(i, press);
      } else {
        DragPictureStep(i, press, release);
        EndPictureDrag(i);
      }
      return ClickResult::Handled;
    }
  }
  // Paper (a press the views decline is the document's pan) and the axis labels pan.
  const bool pans = PointOnAxisLabels(press) && !inProbeArea && !onClassZero;
  const bool declined = (!inProbeArea || graphs.count == 0) && !found;
  if (down && pans) {
    PanLoop(press);
    return ClickResult::Handled;
  }
  if (down && declined) return ClickResult::Declined;
  if (pans || declined) {
    if (!EqualPt(press, release)) ScrollView(press.h - release.h, press.v - release.v);
    EndPan();
    return ClickResult::Handled;
  }
  if (work.flags.byte[kClickZoom] != 0) {
    Command(kZoomInBoth);
  } else if (down) {
    TrackProbe(release);
  } else if (!CheckFreeMemory()) {
    lastProbeH = lastProbeV = kNoProbePixel;  // a probe of its own, as TrackProbe's: drawn whatever its pixel
    StartProbe(release);                      // ends in the ticks
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
  EndPan();
}

void GraphView2D::EndPan() {
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
    if (EqualPt(p, last)) continue;
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
  while (TrackMouseTicks(&p, -1)) {
    if (EqualPt(p, last)) continue;
    DragPictureStep(index, last, p);
    last = p;
  }
  EndPictureDrag(index);
}

void GraphView2D::DragPictureStep(int32_t index, QDPoint from, QDPoint to) {
  if (EqualPt(from, to)) return;
  PlacedPicture& placed = pictures.data[index];
  placed.x += (to.h - from.h) * windowMap.unitsPerPixelX;
  placed.y -= (to.v - from.v) * windowMap.unitsPerPixelY;
  if (document != nullptr) document->RedrawGraphPaneNow();
  QDRect common;
  if (SectRect(PictureRect(placed), rect, &common)) {
    SetThemeClosedHandCursor();
  } else {
    SetPoofCursor();  // released here, the picture goes
  }
}

void GraphView2D::EndPictureDrag(int32_t index) {
  QDRect common;
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
