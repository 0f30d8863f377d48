// GraphView2D: the two-dimensional view of a graph pane. It maps world to pixels through two
// ViewMaps (the window's, and the drawing map the graphs read: the window's, or the double-size
// antialias buffer's), draws graph paper, graphs, axes, pictures and the probe, zooms along the
// grid-step ladder, scrolls, and tracks the mouse (probe, pan, zoom box, picture drag).
// Invariants (CheckGraphView2D): pixelsPerUnitX = 16 / scaleX and pixelsPerUnitY = -16 / scaleY
// after every change of scale; originH = left - ppuX cornerX, originV = (bottom - 1) - ppuY
// cornerY; scales are positive and finite, step digits 1, 2 or 5, corners finite; every loop over
// ticks, labels or scale steps is bounded by the view's pixel extent.
// The members are implemented by topic: graph_view_2d.cpp (model, coordinates, state),
// graph_view_2d_zoom.cpp (grid steps, fit, zoom, scroll), graph_view_2d_axes.cpp (paper, axes,
// read-out, hit order), graph_view_2d_drawing.cpp (drawing the view), graph_view_2d_probe.cpp
// (probe and intersection snap) and graph_view_2d_mouse.cpp (click, tracking loops, pictures).
#pragma once

#include <cstdint>
#include <string>

#include "graphs/core/graph_kind.h"
#include "graphs/core/graph_view.h"
#include "graphs/view2d/view_map.h"
#include "kernel/memory/growable_array.h"
#include "platform/draw/picture.h"

class GraphColor;

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

// Brings damaged values back: a scale that is not positive and finite (or whose pixels per unit
// would not be) becomes 0.25 with digit 1, a digit other than 1, 2 or 5 becomes 1, a corner that
// is not finite centres the origin in a view of the given size. True when nothing changed.
bool NormaliseViewScale(View2DScale* scale, int32_t width, int32_t height);
// A grid step the view can work at: positive, and neither it nor 16 / it overflows (NaN: no).
bool IsUsableViewScale(double scale);

// A picture placed in the plane: world x of its left edge, world y of its bottom edge.
struct PlacedPicture {
  PicHandle picture;  // owned
  double x;
  double y;
};

// Graph indices for DrawGraphsInView.
struct ViewIndexList {
  const int32_t* indices;
  int32_t count;
};

// Flag bytes of ClickFlags as the 2D view reads them.
enum Click2DFlag : int32_t { kClickIgnore = 0, kClickPan = 1, kClickProbe = 2, kClickZoomBox = 3, kClickZoom = 4 };

// The evaluating half of a click, run in turns as a job of the compute worker: first the pick
// (the hit tests Click's choice rests on), then the probe at the pointer; or a zoom's probe again
// of the graph probed (no snap). Its answers below stand once `done` is set; the main thread
// applies them. Once begun it is run to its end or dropped on purpose (a new click, its graphs
// replaced, the probe cleared), never lost: abandoned on the worker, it begins again.
enum class PointerStage : uint8_t { kNone, kPick, kProbe, kReprobe };
struct PointerWork {
  PointerStage stage = PointerStage::kNone;
  bool started = false;  // taken by the worker; not done and not suspended then means abandoned
  bool afterGraphs = false;  // begun only once the graphs are complete (a zoom's, or abandoned once)
  bool done = false;
  GraphListStamp graphList{};  // the graphs it was begun on; other graphs drop it
  QDPoint press{0, 0};  // the click's press
  QDPoint point{0, 0};  // the pointer: where the probe is asked (the release, once the button is up)
  ClickFlags flags{};
  // The pick's: the graph hit under the press and the pass of the hit order that hit it (-1 none).
  int32_t hit = -1;
  int32_t hitPass = -1;
  // The probe's: the graph probed at the world point and its record, snapped to an intersection.
  int32_t graph = 0;
  double x = 0, y = 0;
  ProbeRecord record{};
};

// View commands.
enum View2DCommand : int32_t {
  kZoomInBoth = 0, kZoomInX = 1, kZoomInY = 2, kZoomOutBoth = 3, kZoomOutX = 4, kZoomOutY = 5,
  kResetView = 6, kNewDocumentView = 7,
};

class GraphView2D : public GraphView {
 public:
  // Empty lists, cleared probe, zero rectangle, defaults, axes and paper shown, no buffer.
  GraphView2D();
  // Frees the saved background, the antialias buffer, every picture and every graph.
  ~GraphView2D() override;
  GraphView2D(const GraphView2D&) = delete;
  GraphView2D& operator=(const GraphView2D&) = delete;

  // ---- GraphView (graph_view_2d.cpp, unless noted) ----
  // Pointer work of graphs since replaced is dropped. Then nothing for a budget <= 0; else the
  // number format, a click's pointer work still running (it ends the click when it ends; begun
  // again after an abandon, it waits for the graphs), then the graphs until the deadline.
  void Tick(int32_t budget) override;
  void Draw() override;  // DrawGraphsInView with no list and no colour (drawing file)
  int32_t GraphStatus(int32_t index) override;
  // After the rectangle changed: the antialias buffer grown when the document antialiases,
  // the pixel scale and maps, then GeometryChanged of every graph.
  void UpdateGeometry() override;
  void Command(int32_t code) override;                     // zoom file
  int32_t ScrollWheel(int32_t dh, int32_t dv) override;    // zoom file; answers 1
  // Marks the document modified, passes the option to a graph in range; code 6 redraws the
  // pane at once, code 8 clears the probe.
  void SetGraphOption(int32_t code, double value, int32_t index) override;
  // All: the rectangle; else with the axes shown the two label strips; else empty.
  RgnHandle InvalRect(RgnHandle region, bool all) override;
  // All: the rectangle; a 1-pixel rectangle at the point over a graph (FindGraphAt, which makes
  // it ProbeGraph); else while a probe shows, the 11-pixel strips through its pixel; else empty.
  RgnHandle InvalRectMode(RgnHandle region, bool all, QDPoint point) override;
  // The placed pictures' rectangles.
  RgnHandle InvalRegion(RgnHandle region) override;
  QDPoint Origin() override { return QDPoint{0, 0}; }
  // Handled or Declined (nothing done in the view); the flags are read by Click2DFlag.
  ClickResult Click(QDPoint point, uint32_t when, const ClickFlags& flags) override;  // mouse file
  void ReservedHook1() override {}
  void ReservedHook2() override {}
  bool NeedsRedraw() override { return false; }
  bool CanRedrawLive() override { return false; }
  // Every graph complete, and no pointer work running or waiting to be applied.
  bool IsReady() override;
  // 5 nothing; other codes mark the document modified, 15 toggles the axes, 16 the paper.
  void SetOption(int32_t code, double value) override;

  // ---- What the view set calls ----
  // FitRangeX, FitRangeY, AlignCornerToGrid, scale, maps, graphs invalidated, document changed,
  // cursor regions (zoom file). False when a range cannot be shown (see FitRangeX); the other
  // steps run all the same.
  virtual bool SetViewRange(double x1, double x2, double y1, double y2);
  // Places a copy of the picture centred on the point (the rectangle's centre without one).
  // False when the copy cannot be made or stored (mouse file).
  virtual bool DropPicture(const Picture* picture, const QDPoint* point);
  // Rebuilds both maps; true when antialiasing is in effect. A change of the drawing map's frame
  // or factor tells every graph GeometryChanged.
  virtual bool UpdateViewMaps();

  // ---- Model and coordinates (graph_view_2d.cpp) ----
  // Antialiasing is in effect: the document antialiases, its window is active, and the buffer
  // exists at twice the rectangle's size. The one rule for the drawing map and the drawing.
  bool AntialiasInEffect() const;
  void SetViewDefaults();
  // Normalises the scale, then pixels per unit and origin from scale, corner and rectangle.
  void UpdatePixelScale();
  void InvalidateAllGraphs();
  // The graph at index as a 2D graph (the view holds only those); null outside the list.
  GraphKind2D* GraphAt(int32_t index) const;
  double WindowX(int32_t h) const { return PixelToWorldX(&windowMap, h); }
  double WindowY(int32_t v) const { return PixelToWorldY(&windowMap, v); }

  // ---- Grid steps, fit, zoom and scroll (graph_view_2d_zoom.cpp) ----
  void ZoomView(int32_t code);
  void StepScaleX(int32_t code);
  void StepScaleY(int32_t code);
  // Shows [min(a, b), max(a, b)] on one axis at a ladder scale, centred; nothing when it is
  // already shown at the current scale (true). False, changing nothing, when the view cannot show
  // it: empty or not finite, an empty view, or a grid step beyond the usable ones
  // (IsUsableViewScale).
  bool FitRangeX(double a, double b);
  bool FitRangeY(double a, double b);
  // Shows each range given (null: not asked for) whole, centred, at one grid step for both axes:
  // the finest on the ladder at which every range given fits with a pixel to spare (an axis not
  // asked for centred on 0); then as SetViewRange after its fits. True, changing nothing, when
  // none is given. False, changing nothing, when the view cannot show one (see FitRangeX), or
  // when a range given would not lie whole in the view, or its middle more than a pixel from the
  // view's, once its corner is aligned to the grid and rounded (a range narrow against its
  // distance from 0, where the corner's 14 digits step by more than a pixel).
  bool ShowRangesAtOneScale(const double* rangeX, const double* rangeY);
  // Moves the corner so the major grid lines fall on whole window pixels (rounded to 14 digits).
  void AlignCornerToGrid();
  // Scrolls the content by whole window pixels.
  void ScrollView(int32_t dh, int32_t dv);
  // The axes' pixel column and row on the window map, clamped into the rectangle.
  int32_t AxisColumn() const;
  int32_t AxisRow() const;
  QDRect XAxisLabelStrip() const;
  QDRect YAxisLabelStrip() const;

  // ---- Paper, axes, read-out and hit order (graph_view_2d_axes.cpp) ----
  void DrawViewBackground();    // window form: the paper phased on the grid, or erased
  void DrawBufferBackground();  // the double-size buffer's form, in the current (buffer) port
  // Axes, ticks and labels in the colour (black when null).
  void DrawAxes(const GraphColor* overrideColour);
  // Three passes from the last graph to the first (HitClass 0, then not 1, then all); the first
  // hit becomes ProbeGraph. False, ProbeGraph unchanged, when nothing is hit.
  bool FindGraphAt(QDPoint point);
  // One pass over the class-0 graphs, the same way.
  bool HitTestGraphs(QDPoint point);
  // The first `passes` passes of FindGraphAt's order: the graph hit (-1 none) and its pass;
  // ProbeGraph is left alone.
  struct GraphHit {
    int32_t index;
    int32_t pass;
  };
  GraphHit HitGraph(QDPoint point, int32_t passes);
  // Near the probe's lines: within 5 pixels of its row or column (InvalRectMode's strips).
  bool NearProbeLines(QDPoint point) const;
  // With the axes shown, the point lies in a label strip.
  bool PointOnAxisLabels(QDPoint point) const;
  // The marker rectangle of the probe (9 by 9 around its pixel; mode 2: around both extents'
  // corners), clipped to the view.
  QDRect TraceMarkerRect() const;
  // The read-out's lines for the probe's mode, and its rectangle at the view's top-left.
  int32_t ReadoutLineCount() const;
  void ReadoutLines(std::string lines[5]) const;
  QDRect ReadoutRect() const;
  // Dotted spans from the probe's point (mode 2: from both extents' corners) to the axes.
  void DrawTraceGuides();
  // The probe's point: when the squared lengths of both its direction vectors (aux 6..7, the
  // field's, and 8..9, the drawn one) are finite, an antialiased segment from it along the drawn
  // one (a mode-9 record's probed arrow); else, and for the zero vectors of a cleared record, a
  // small dot.
  void DrawTracePoint();
  // The guides, mode 2's marker frame and the point.
  void DrawProbeMarks();
  void DrawReadoutBox(const QDRect& readout);
  void DrawReadoutText(const QDRect& readout);

  // ---- Drawing (graph_view_2d_drawing.cpp) ----
  // Background, graphs (through the antialias buffer when in effect), axes, pictures and probe;
  // returns 1. Nothing when memory is short or the rectangle is empty.
  int32_t DrawGraphsInView(const ViewIndexList* list, const GraphColor* overrideColour);
  // Probe marks, mode-9 arrow, mode-10 lists and the read-out, in the current port.
  void DrawProbeOverlay();
  // The view drawn into a fresh buffer of the area (erased first), then copied onto the same
  // area of the current port; error 9 and nothing drawn when the buffer cannot be had. The
  // mapped pictures of the second view draw the first one this way.
  void DrawViewPicture(const QDRect& area, const ViewIndexList* list, const GraphColor* overrideColour);
  // The view drawn as the second view's mapped pictures read it: into a new buffer of its
  // rectangle (erased first), without the probe overlay and without counting a frame. Null when
  // no buffer can be had; the caller disposes it.
  GWorldPtr DrawViewIntoBuffer(const ViewIndexList* list, const GraphColor* overrideColour);

  // ---- Pointer work in turns (graph_view_2d_pointer.cpp) ----
  // Begin the pick under a press, or the probe of ProbeGraph at a point (outside the view the
  // probe is cleared at once); whatever pointer work of this view was in flight is dropped first.
  void StartPick(QDPoint press, const ClickFlags& flags);
  void StartProbe(QDPoint point);
  // Begin probing ProbeGraph again at the probe's point, which a zoom moved, once the graphs are
  // computed at the new scale.
  void StartReprobe();
  // The pointer work is under way: begun and not ended. Work begun on graphs since replaced is
  // dropped here; work found abandoned is set to begin again once its graphs are complete.
  bool PointerWorkRuns();
  // It runs and may be handed the worker now (not waiting for its graphs to be computed again).
  bool PointerWorkDue();
  // Its job lies suspended on the worker.
  bool PointerWorkSuspended() const;
  // Hands the pointer work the worker, when it is due, for at most `budget` timer units (the slice
  // form: as long as an idle tick's, between two looks at the pointer); pointerWork.done tells
  // whether it ended.
  void RunPointerWork(int32_t budget);
  void RunPointerSlice();
  // An ended zoom's probe adopted (and the pane redrawn, when asked).
  void FinishReprobe(bool redraw);
  // Drops the pointer work (abandoned when it lies suspended), with any point lists it made.
  void DropPointerWork();
  // Clears the probe's readout and the probe or zoom's probe again still running, which would
  // have made it.
  void ClearProbe();
  // The job's body, on the worker: the pick's hit tests or the probe with its snap.
  void DoPointerWork();
  // The pointer's next event within `ticks` (negative: no limit): true while the button is down,
  // `where` the pointer's place then (left alone headless, where nothing tracks).
  static bool FollowPointer(QDPoint* where, int32_t ticks);
  // Runs the pointer work in slices while the button is down, following the pointer into
  // `pointer` meanwhile, until it ends, the button is up or (untilMoved) the pointer moved; true
  // while the button is down.
  bool PursuePointerWork(QDPoint* pointer, bool untilMoved);

  // ---- Probe (graph_view_2d_probe.cpp) ----
  // Probes under the pointer until the button is up, each new position abandoning the probe in
  // flight; a probe the release starts gets a slice at once (the whole of it with the worker off),
  // and one still running then goes on in the view's ticks.
  void TrackProbe(QDPoint point);
  // The probe at the point at one go (StartProbe, run to its end, FinishProbe).
  void ProbeAt(QDPoint point);
  // An ended probe applied: the record adopted, a dragged point moved (tracking: `dragged` set),
  // the overlay redrawn, the snap heard.
  void FinishProbe(bool* dragged, bool tracking);
  void RedrawProbeOverlay();
  // Clears the probe when its point (mode 2: its x extent) has left the view.
  void ProbeStillVisible();
  // Moves the record of graph `index` onto its crossing with another graph, when one is near.
  void SnapProbeToIntersection(ProbeRecord* record, int32_t index);
  bool IntersectNearestPoints(ProbeRecord* record, NearestPointRecord a, NearestPointRecord b, int32_t indexA,
                              int32_t indexB);
  // Stores a record as the read-out; a mode-10 record's lists go to the globals.
  void AdoptProbeRecord(ProbeRecord record);

  // ---- Mouse loops (graph_view_2d_mouse.cpp) ----
  // What a click does once its pick ended: the button still down, the loops follow the pointer
  // from the press; up (the pick ended in the ticks), the pan or picture drag it would have been
  // is done by the motion from the press to the release, and a probe goes on in the ticks.
  ClickResult ChooseAfterPick(bool down);
  void PanLoop(QDPoint point);
  // The pan's end: the probe's visibility, the cursor, the document changed.
  void EndPan();
  void ZoomBoxLoop(QDPoint point);
  void PictureDragLoop(int32_t index, QDPoint point);
  // One step of a picture's drag from `from` to `to`, and the drag's end (a picture dragged out of
  // the view goes).
  void DragPictureStep(int32_t index, QDPoint from, QDPoint to);
  void EndPictureDrag(int32_t index);
  // The picture at its pixel place: left edge at its x, bottom edge at its y.
  QDRect PictureRect(const PlacedPicture& placed) const;

  View2DScale scale;
  ViewMap drawMap;    // what the graphs read
  ViewMap windowMap;  // the window rectangle's
  ProbeRecord probeReadout{};  // probeReadout.mode is the drawn word
  int32_t probeGraph = 0;      // index of the graph under the probe (the hit index)
  PointerWork pointerWork;     // a click's pick or probe in turns
  GWorldPtr savedBackground = nullptr;  // the view's area of the window buffer while tracking
  static constexpr int16_t kNoProbePixel = -32768;
  int16_t lastProbeH = kNoProbePixel;  // last drawn probe pixel, if any
  int16_t lastProbeV = kNoProbePixel;
  uint8_t showAxes = 1;        // option 15
  uint8_t showGraphPaper = 1;  // option 16
  GrowArray<PlacedPicture> pictures;
  int32_t draggedPicture = -1;
  uint64_t lastFrameTime = 0;  // microseconds at the last drawing
  GWorldPtr antialiasBuffer = nullptr;  // (0, 0, 2 height, 2 width) when made
  int32_t antialiasWidth = 0;
  int32_t antialiasHeight = 0;

 private:
  bool drawingForMap_ = false;  // DrawViewIntoBuffer is drawing
  // The strips through the probe's pixel that InvalRectMode gives while a probe shows.
  void AddProbeStrips(RgnHandle region) const;
  // The point lists the view's last mode-10 probe handed the globals (freed with the view while
  // the globals hold them still).
  const GrowArray<ProbePoint>* adoptedListA_ = nullptr;
  const GrowArray<ProbePoint>* adoptedListB_ = nullptr;
  // Rebuilds both maps; true when the drawing map's frame or factor changed.
  bool RebuildMaps();
  void GeometryChangedAll();
  void StepScale(double* scaleValue, int32_t* digit, bool zoomOut);
  bool FitRange(bool vertical, double a, double b);
  // After a new range: grid aligned, scale, maps, graphs invalidated, document changed, cursor.
  void ViewRangeChanged();
  void ZoomSequence(int32_t code);
  // Saves the view's area of the window buffer for the tracking loops (nothing without one).
  void SaveBackground();
  void DisposeBackground();
};

// Verifies the invariants listed at the top; true when they hold.
bool CheckGraphView2D(const GraphView2D& view);

// The document's drop code calls the 2D view's drop handler by this name.
inline bool GraphView2DDropHandle(GraphView2D* view, const Picture* picture, const QDPoint* point) {
  return view->DropPicture(picture, point);
}
// The graph kinds and the view set know the axes and hit routines by these names too.
inline bool FindGraphUnderPoint(GraphView2D* view, QDPoint point) { return view->FindGraphAt(point); }
inline bool HitAxes(const GraphView2D* view, QDPoint point) { return view->PointOnAxisLabels(point); }
