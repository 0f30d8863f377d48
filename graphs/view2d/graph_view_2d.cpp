// GraphView2D model and coordinates: construction and defaults, normalisation of damaged scales,
// the pixel scale and the two maps (one antialiasing rule for both), the timed tick, options,
// invalidation regions and the invariant check.
#include "graphs/view2d/graph_view_2d.h"

#include <algorithm>
#include <cmath>

#include "graphics/qd_layer.h"
#include "graphs/core/compute_worker.h"
#include "graphs/core/document_services.h"
#include "graphs/core/graphs_state.h"
#include "kernel/numeric/numeric_constants.h"

namespace {

constexpr double kDefaultScale = 0.25;
constexpr double kDefaultCornerPerPixel = 0.015625;  // 1/64: the origin centred at 64 px a unit
constexpr double kMinScale = 1e-280;  // 16 / scale stays finite and so does its reciprocal
constexpr double kMaxScale = 1e280;
constexpr int32_t kProbeStripHalf = 5;

bool IsLadderDigit(int32_t digit) { return digit == 1 || digit == 2 || digit == 5; }

// Normalises one axis; true when nothing changed.
bool NormaliseAxis(double* scale, int32_t* digit, double* corner, int32_t extent) {
  bool same = true;
  if (!IsUsableViewScale(*scale)) *scale = kDefaultScale, *digit = 1, same = false;
  if (!IsLadderDigit(*digit)) *digit = 1, same = false;
  if (!std::isfinite(*corner) || !std::isfinite(*corner * (16.0 / *scale))) {
    // The origin centred: half the extent in pixels, 16 pixels a scale step.
    *corner = -(std::max(extent, 0) / 2) * (*scale / 16.0);
    if (*corner == 0.0) *corner = -8.0 * *scale;
    same = false;
  }
  return same;
}

// Adds r to region; when memory is refused the region grows to `fallback` (a larger redraw is
// safe, a smaller one is not).
void AddRect(RgnHandle region, const QDRect& r, const QDRect& fallback) {
  RgnHandle part = NewRgn();
  if (part == nullptr || !RectRgn(part, r) || !UnionRgn(region, part, region)) RectRgn(region, fallback);
  DisposeRgn(part);
}

}  // namespace

bool IsUsableViewScale(double s) { return s >= kMinScale && s <= kMaxScale; }

bool NormaliseViewScale(View2DScale* scale, int32_t width, int32_t height) {
  const bool sameX = NormaliseAxis(&scale->scaleX, &scale->stepDigitX, &scale->cornerX, width);
  const bool sameY = NormaliseAxis(&scale->scaleY, &scale->stepDigitY, &scale->cornerY, height);
  return sameX && sameY;
}

GraphView2D::GraphView2D() {
  SetViewDefaults();
  RebuildMaps();
}

GraphView2D::~GraphView2D() {
  DropPointerWork();
  // The point lists of this view's last mode-10 probe, while the globals still hold them.
  GraphsState& globals = GraphsGlobals();
  if ((adoptedListA_ != nullptr || adoptedListB_ != nullptr) && globals.probeListA == adoptedListA_ &&
      globals.probeListB == adoptedListB_) {
    FreeProbeLists();
  }
  DisposeBackground();
  SafeDisposeGWorld(antialiasBuffer);
  for (int32_t i = 0; i < pictures.count; ++i) KillPicture(pictures.data[i].picture);
  GrowArrayFree(pictures);
  DeleteGraphList(graphs);
}

GraphKind2D* GraphView2D::GraphAt(int32_t index) const {
  if (index < 0 || index >= graphs.count) return nullptr;
  return static_cast<GraphKind2D*>(graphs.data[index]);
}

int32_t GraphView2D::GraphStatus(int32_t index) { return GraphListStatus(graphs, index); }

void GraphView2D::SetViewDefaults() {
  scale.rangeT[0] = 0.0, scale.rangeT[1] = 1.0;
  scale.rangeR[0] = 0.0, scale.rangeR[1] = 2.0;
  scale.rangeTheta[0] = 0.0, scale.rangeTheta[1] = kTwoPi;
  scale.cornerX = -(std::max(RectWidth(rect), 0) / 2) * kDefaultCornerPerPixel;
  scale.cornerY = -(std::max(RectHeight(rect), 0) / 2) * kDefaultCornerPerPixel;
  if (scale.cornerX == 0.0) scale.cornerX = -2.0;
  if (scale.cornerY == 0.0) scale.cornerY = -2.0;
  scale.stepDigitX = scale.stepDigitY = 1;
  scale.scaleX = scale.scaleY = kDefaultScale;
  UpdatePixelScale();
}

void GraphView2D::UpdatePixelScale() {
  NormaliseViewScale(&scale, RectWidth(rect), RectHeight(rect));
  scale.pixelsPerUnitX = 16.0 / scale.scaleX;
  scale.pixelsPerUnitY = -16.0 / scale.scaleY;
  scale.originH = rect.left - scale.pixelsPerUnitX * scale.cornerX;
  scale.originV = (rect.bottom - 1) - scale.pixelsPerUnitY * scale.cornerY;
}

bool GraphView2D::AntialiasInEffect() const {
  return document != nullptr && document->IsAntialiased() && document->IsActiveDocument() &&
         antialiasBuffer != nullptr && antialiasWidth >= 2 * RectWidth(rect) &&
         antialiasHeight >= 2 * RectHeight(rect);
}

bool GraphView2D::RebuildMaps() {
  const ViewMap old = drawMap;
  SetViewMap(&windowMap, rect, scale.originH, scale.originV, scale.pixelsPerUnitX, scale.pixelsPerUnitY, 1, 1);
  if (AntialiasInEffect()) {
    // The buffer's map: twice the pixels; the vertical origin one row further down, as the
    // graph kinds' double-size drawing expects.
    const QDRect frame = MakeRect(0, 0, 2 * RectWidth(rect), 2 * RectHeight(rect));
    SetViewMap(&drawMap, frame, 2.0 * (scale.originH - rect.left), 2.0 * (scale.originV - rect.top) + 1.0,
               2.0 * scale.pixelsPerUnitX, 2.0 * scale.pixelsPerUnitY, 2, 2);
  } else {
    drawMap = windowMap;
  }
  return !EqualRect(old.frame, drawMap.frame) || old.factorH != drawMap.factorH || old.factorV != drawMap.factorV;
}

bool GraphView2D::UpdateViewMaps() {
  // A change of frame or factor (the window became active or not) changes the size of what the
  // graphs computed per pixel: they are told, so none blits data of the old size.
  if (RebuildMaps()) GeometryChangedAll();
  return drawMap.factorH == 2;
}

void GraphView2D::GeometryChangedAll() {
  AbandonSuspendedCompute();  // the frames of a zoom tick between two changes: none may be left under one
  for (int32_t i = 0; i < graphs.count; ++i) {
    if (GraphKind2D* graph = GraphAt(i)) graph->GeometryChanged();
  }
}

void GraphView2D::UpdateGeometry() {
  const int32_t width = std::max(RectWidth(rect), 0), height = std::max(RectHeight(rect), 0);
  if (document != nullptr && document->IsAntialiased() &&
      (antialiasWidth < 2 * width || antialiasHeight < 2 * height)) {
    SafeDisposeGWorld(antialiasBuffer);
    antialiasBuffer = NewGWorld32(MakeRect(0, 0, 2 * width, 2 * height));
    const QDRect made = antialiasBuffer != nullptr ? GWorldBounds(antialiasBuffer) : QDRect{0, 0, 0, 0};
    antialiasWidth = RectWidth(made);
    antialiasHeight = RectHeight(made);
  }
  UpdatePixelScale();
  RebuildMaps();
  GeometryChangedAll();
}

void GraphView2D::InvalidateAllGraphs() { InvalidateGraphList(graphs); }

bool GraphView2D::IsReady() {
  // Pointer work ended but not yet applied keeps the ticks coming as one running does.
  return AllGraphsComplete(graphs) && !PointerWorkRuns() && !pointerWork.done;
}

void GraphView2D::SetGraphOption(int32_t code, double value, int32_t index) {
  if (document != nullptr) document->SetDocumentModified(true);
  if (GraphKind2D* graph = GraphAt(index)) graph->SetOption(code, value);
  if (code == 6 && document != nullptr) document->RedrawGraphPaneNow();
  if (code == 8) ClearProbe();
}

void GraphView2D::SetOption(int32_t code, double) {
  if (code == 5) return;  // a view finished computing: nothing changes
  if (document != nullptr) document->SetDocumentModified(true);
  if (code == 15) showAxes = !showAxes;
  if (code == 16) showGraphPaper = !showGraphPaper;
}

RgnHandle GraphView2D::InvalRect(RgnHandle region, bool all) {
  if (all) {
    RectRgn(region, rect);
  } else if (showAxes) {
    RectRgn(region, XAxisLabelStrip());
    AddRect(region, YAxisLabelStrip(), rect);
  } else {
    SetEmptyRgn(region);
  }
  return region;
}

RgnHandle GraphView2D::InvalRectMode(RgnHandle region, bool all, QDPoint point) {
  SetEmptyRgn(region);
  if (all) {
    RectRgn(region, rect);
  } else if (FindGraphAt(point)) {
    RectRgn(region, MakeRect(point.h, point.v, point.h + 1, point.v + 1));
  } else {
    AddProbeStrips(region);
  }
  return region;
}

void GraphView2D::AddProbeStrips(RgnHandle region) const {
  if (probeReadout.mode == 0) return;
  const int32_t h = WorldToPixelX(&windowMap, probeReadout.x);
  const int32_t v = WorldToPixelY(&windowMap, probeReadout.y);
  QDRect strip;
  if (v >= rect.top && v < rect.bottom &&
      SectRect(MakeRect(rect.left, v - kProbeStripHalf, rect.right, v + kProbeStripHalf + 1), rect, &strip)) {
    AddRect(region, strip, rect);
  }
  if (h >= rect.left && h < rect.right &&
      SectRect(MakeRect(h - kProbeStripHalf, rect.top, h + kProbeStripHalf + 1, rect.bottom), rect, &strip)) {
    AddRect(region, strip, rect);
  }
}

bool GraphView2D::NearProbeLines(QDPoint point) const {
  RgnHandle region = NewRgn();
  if (region == nullptr) return false;
  AddProbeStrips(region);
  const bool near = PtInRgn(point, region);
  DisposeRgn(region);
  return near;
}

RgnHandle GraphView2D::InvalRegion(RgnHandle region) {
  SetEmptyRgn(region);
  for (int32_t i = 0; i < pictures.count; ++i) AddRect(region, PictureRect(pictures.data[i]), rect);
  return region;
}

bool CheckGraphView2D(const GraphView2D& view) {
  const View2DScale& s = view.scale;
  const QDRect& r = view.rect;
  View2DScale copy = s;
  if (!NormaliseViewScale(&copy, RectWidth(r), RectHeight(r))) return false;
  if (s.pixelsPerUnitX != 16.0 / s.scaleX || s.pixelsPerUnitY != -16.0 / s.scaleY) return false;
  if (s.originH != r.left - s.pixelsPerUnitX * s.cornerX) return false;
  if (s.originV != (r.bottom - 1) - s.pixelsPerUnitY * s.cornerY) return false;
  const ViewMap& w = view.windowMap;
  if (!EqualRect(w.frame, r) || w.originH != s.originH || w.originV != s.originV || w.factorH != 1) return false;
  const int32_t factor = view.drawMap.factorH;
  if (factor != view.drawMap.factorV || (factor == 2) != view.AntialiasInEffect()) return false;
  if (view.drawMap.pixelsPerUnitX != factor * s.pixelsPerUnitX) return false;
  if (view.antialiasBuffer != nullptr) {
    const QDRect b = GWorldBounds(view.antialiasBuffer);
    if (RectWidth(b) != view.antialiasWidth || RectHeight(b) != view.antialiasHeight) return false;
  }
  if (!CheckGrowArray(view.pictures) || !CheckGrowArray(view.graphs)) return false;
  for (int32_t i = 0; i < view.pictures.count; ++i) {
    if (view.pictures.data[i].picture == nullptr) return false;
  }
  return true;
}
