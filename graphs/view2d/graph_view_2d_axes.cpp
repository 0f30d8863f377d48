// GraphView2D paper, axes, read-out and hit order: the graph paper phased on the grid (window and
// double-size forms), the axes with ticks and 6-digit labels (grey when pinned to an edge), the
// probe's marker, guides and read-out box, and the three-pass search for the graph under a point.
// Tick and label walks are capped at the view's pixel extent and refuse steps beyond precision.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "graphics/label_text.h"
#include "graphics/pixel_routines.h"
#include "graphics/qd_layer.h"
#include "graphs/core/graph_color.h"
#include "graphs/view2d/graph_view_2d.h"
#include "graphs/core/graphs_state.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/numeric/numeric_helpers.h"

namespace {

constexpr int32_t kLabelDigits = 6;
constexpr int32_t kReadoutDigits = 13;
constexpr int32_t kTickHalf = 3;
constexpr PackedRGB kGuideGrey = 0x7f7f7f;

int32_t FloorMod(int32_t a, int32_t m) {
  const int32_t r = a % m;
  return r < 0 ? r + m : r;
}

// Tick steps in minor grid steps by step digit (1, 2, 5), and label steps.
double TickStep(double minor, int32_t digit) { return minor * (digit == 1 ? 4.0 : digit == 2 ? 2.0 : 1.0); }
double LabelStep(double minor, int32_t digit) { return minor * (digit == 5 ? 5.0 : 4.0); }

// Calls visit(value) for the multiples of step from the first at or after `from` up to `to`, at
// most `cap` times. False, with error 11 posted, when the step is beyond the values' precision.
template <typename Visit>
bool WalkSteps(double from, double to, double step, int32_t cap, Visit visit) {
  double first = from - std::fmod(from, step);
  if (first < from) first += step;
  if (IsBeyondPrecision(first, step)) return false;
  for (int32_t k = 0; k <= cap; ++k) {
    double value = first + k * step;
    if (!(value <= to)) break;
    if (std::fabs(value) < 1e-9 * step) value = 0.0;  // the sum's rounding noise around 0
    visit(value);
  }
  return true;
}

std::string Label(double value) {
  std::string text;
  FormatNumberLocalized(value, kLabelDigits, text);
  return text;
}

std::string Line(const char* templ, double value) {
  std::string text;
  FormatNumberLocalized(text, templ, value);
  return text;
}

double PositiveAngle(double x, double y) {
  const double theta = std::atan2(y, x);
  return theta < 0.0 ? theta + kTwoPi : theta;
}

}  // namespace

// ---- Graph paper ----

void GraphView2D::DrawViewBackground() {
  if (!showGraphPaper) {
    EraseRect(rect);
    return;
  }
  const double gx = scale.cornerX - std::fmod(scale.cornerX, scale.scaleX);
  const double gy = scale.cornerY - std::fmod(scale.cornerY, scale.scaleY);
  const int32_t h = FloorMod(WorldToPixelX(&windowMap, gx), 16), v = FloorMod(WorldToPixelY(&windowMap, gy), 16);
  if (!FillOutsideRect(h, v, rect)) EraseRect(rect);
}

void GraphView2D::DrawBufferBackground() {
  const QDRect frame = drawMap.frame;
  if (!showGraphPaper) {
    EraseRect(frame);
    return;
  }
  // The window's line pixels, doubled and taken from the buffer's origin: each 2-pixel line of
  // the buffer halves onto the 1-pixel line the window form draws.
  const double gx = scale.cornerX - std::fmod(scale.cornerX, scale.scaleX);
  const double gy = scale.cornerY - std::fmod(scale.cornerY, scale.scaleY);
  const int32_t h = FloorMod(2 * (WorldToPixelX(&windowMap, gx) - rect.left), 32);
  const int32_t v = FloorMod(2 * (WorldToPixelY(&windowMap, gy) - rect.top), 32);
  if (!FillOutsideRectOffset(h, v, frame)) EraseRect(frame);
}

// ---- Axes ----

void GraphView2D::DrawAxes(const GraphColor* overrideColour) {
  const LabelTextSeam& text = GraphsGlobals().labelText;
  QDPenNormal();
  if (overrideColour != nullptr) {
    SetForeColorPacked(overrideColour->rgb);
  } else {
    SetForeColorBlack();
  }
  text.setFont();
  const int32_t column = AxisColumn(), row = AxisRow();
  const int32_t zeroRow = WorldToPixelY(&windowMap, 0.0), zeroColumn = WorldToPixelX(&windowMap, 0.0);
  // Grey only while 0 lies outside the view: an axis clamped in from the edge margin while its 0
  // still shows is the real axis, drawn black.
  const bool xGrey = zeroRow < rect.top || zeroRow >= rect.bottom;
  const bool yGrey = zeroColumn < rect.left || zeroColumn >= rect.right;
  const bool xPinnedTop = row != zeroRow && row == rect.top + 6;
  const int32_t capX = RectWidth(rect) + 1, capY = RectHeight(rect) + 1;
  const double farX = WindowX(rect.right - 1), farY = WindowY(rect.top);

  // The x axis, its ticks (grey when y = 0 is out of view) and labels.
  if (xGrey) PenPatGray();
  QDMoveTo(rect.left, row);
  QDLineTo(rect.right - 1, row);
  WalkSteps(scale.cornerX, farX, TickStep(scale.scaleX, scale.stepDigitX), capX, [&](double x) {
    const int32_t h = WorldToPixelX(&windowMap, x);
    QDMoveTo(h, row - kTickHalf);
    QDLineTo(h, row + kTickHalf);
  });
  PenPatBlack();
  WalkSteps(scale.cornerX, farX, LabelStep(scale.scaleX, scale.stepDigitX), capX, [&](double x) {
    const int32_t h = WorldToPixelX(&windowMap, x);
    if (std::abs(h - column) <= 3) return;
    const std::string label = Label(x);
    QDMoveTo(h - text.width(label.c_str()) / 2, row + 13);
    text.draw(label.c_str());
  });

  // The y axis, its ticks and labels.
  if (yGrey) PenPatGray();
  QDMoveTo(column, rect.top);
  QDLineTo(column, rect.bottom - 1);
  WalkSteps(scale.cornerY, farY, TickStep(scale.scaleY, scale.stepDigitY), capY, [&](double y) {
    const int32_t v = WorldToPixelY(&windowMap, y);
    QDMoveTo(column - kTickHalf, v);
    QDLineTo(column + kTickHalf, v);
  });
  PenPatBlack();
  WalkSteps(scale.cornerY, farY, LabelStep(scale.scaleY, scale.stepDigitY), capY, [&](double y) {
    const int32_t v = WorldToPixelY(&windowMap, y);
    if (std::abs(v - row) <= 4 || (xPinnedTop && v < row)) return;
    const std::string label = Label(y);
    int32_t left = column - 3 - text.width(label.c_str());
    if (left < rect.left + 1) left = column + 9;
    QDMoveTo(left, v + 4);
    text.draw(label.c_str());
  });
}

bool GraphView2D::PointOnAxisLabels(QDPoint point) const {
  return showAxes && (PtInRect(point, XAxisLabelStrip()) || PtInRect(point, YAxisLabelStrip()));
}

// ---- Hit order ----

GraphView2D::GraphHit GraphView2D::HitGraph(QDPoint point, int32_t passes) {
  const double x = WindowX(point.h), y = WindowY(point.v);
  for (int32_t pass = 0; pass < passes; ++pass) {
    for (int32_t i = graphs.count - 1; i >= 0; --i) {
      GraphKind2D* graph = GraphAt(i);
      if (graph == nullptr) continue;
      const int32_t hitClass = graph->HitClass();
      if ((pass == 0 && hitClass != 0) || (pass == 1 && hitClass == 1)) continue;
      if (graph->HitTest(x, y)) return GraphHit{i, pass};
    }
  }
  return GraphHit{-1, -1};
}

bool GraphView2D::FindGraphAt(QDPoint point) {
  const GraphHit hit = HitGraph(point, 3);
  if (hit.index >= 0) probeGraph = hit.index;
  return hit.index >= 0;
}

bool GraphView2D::HitTestGraphs(QDPoint point) {
  const GraphHit hit = HitGraph(point, 1);
  if (hit.index >= 0) probeGraph = hit.index;
  return hit.index >= 0;
}

// ---- Probe marks and read-out ----

QDRect GraphView2D::TraceMarkerRect() const {
  const ProbeRecord& p = probeReadout;
  auto around = [this](double x, double y) {
    const int32_t h = WorldToPixelX(&windowMap, x), v = WorldToPixelY(&windowMap, y);
    return MakeRect(h - 4, v - 4, h + 5, v + 5);
  };
  QDRect marker = around(p.x, p.y);
  if (p.mode == 2) UnionRect(around(p.aux[2], p.aux[4]), around(p.aux[3], p.aux[5]), &marker);
  QDRect clipped;
  SectRect(marker, rect, &clipped);
  return clipped;
}

int32_t GraphView2D::ReadoutLineCount() const {
  switch (probeReadout.mode) {
    case 3: case 7: case 8: case 12: return 3;
    case 4: case 5: case 9: return 4;
    case 6: return 5;
    default: return 2;
  }
}

void GraphView2D::ReadoutLines(std::string lines[5]) const {
  const ProbeRecord& p = probeReadout;
  const double r = RoundToSignificantDigits(std::hypot(p.x, p.y), kReadoutDigits);
  const double theta = RoundToSignificantDigits(PositiveAngle(p.x, p.y), kReadoutDigits);
  lines[0] = Line("x: #", p.x);
  lines[1] = Line("y: #", p.y);
  if (p.mode == 2) {
    // The extent's two ends where they lie more than a pixel apart, else the point.
    auto extent = [](const char* name, double point, double lo, double hi, double unitsPerPixel) {
      if (!(std::fabs(hi - lo) > unitsPerPixel)) return Line(name, point);
      return Line(name, lo) + Line(" to #", hi);
    };
    lines[0] = extent("x: #", p.x, p.aux[2], p.aux[3], windowMap.unitsPerPixelX);
    lines[1] = extent("y: #", p.y, p.aux[4], p.aux[5], windowMap.unitsPerPixelY);
  }
  switch (p.mode) {
    case 3: lines[2] = Line("t: #", p.value); break;
    case 4: lines[2] = Line("t: #", p.value), lines[3] = Line("r: #", r); break;
    case 5: lines[2] = Line("t: #", p.value), lines[3] = Line("theta: #", theta); break;
    case 6: lines[2] = Line("t: #", p.value), lines[3] = Line("r: #", r), lines[4] = Line("theta: #", theta); break;
    case 7: lines[2] = Line("level: #", p.value); break;
    case 8: lines[2] = Line("value: #", p.value); break;
    case 9: lines[2] = Line("dx: #", p.aux[6]), lines[3] = Line("dy: #", p.aux[7]); break;
    case 12:
      lines[2] = Line("value: #", p.value);
      if (p.aux[6] != 0.0) lines[2] += Line(p.aux[6] < 0.0 ? " - #i" : " + #i", std::fabs(p.aux[6]));
      break;
    default: break;
  }
}

QDRect GraphView2D::ReadoutRect() const {
  const LabelTextSeam& text = GraphsGlobals().labelText;
  std::string lines[5];
  ReadoutLines(lines);
  const int32_t count = ReadoutLineCount();
  int32_t widest = 0;
  for (int32_t i = 0; i < count; ++i) widest = std::max(widest, text.width(lines[i].c_str()));
  return MakeRect(rect.left, rect.top, rect.left + widest + 8, rect.top + 12 * (count - 1) + 14);
}

void GraphView2D::DrawTraceGuides() {
  const ProbeRecord& p = probeReadout;
  const QDPoint axes = MakePoint(AxisColumn(), AxisRow());
  auto guides = [&](double x, double y) {
    const QDPoint at = MakePoint(WorldToPixelX(&windowMap, x), WorldToPixelY(&windowMap, y));
    ShadeVerticalSpan(rect, at, MakePoint(at.h, axes.v), kGuideGrey, 2);
    ShadeHorizontalSpan(rect, at, MakePoint(axes.h, at.v), kGuideGrey, 2);
  };
  if (p.mode == 2) {
    guides(p.aux[2], p.aux[4]);
    guides(p.aux[3], p.aux[5]);
  } else {
    guides(p.x, p.y);
  }
}

void GraphView2D::DrawTracePoint() {
  const ProbeRecord& p = probeReadout;
  QDPoint from = MakePoint(WorldToPixelX(&windowMap, p.x), WorldToPixelY(&windowMap, p.y));
  const double field = p.aux[6] * p.aux[6] + p.aux[7] * p.aux[7];
  const double drawn = p.aux[8] * p.aux[8] + p.aux[9] * p.aux[9];
  // A zero drawn vector has no direction (a segment of it would shrink the dot to one pixel).
  if (!std::isfinite(field) || !std::isfinite(drawn) || drawn == 0.0) {
    PlotSmallDot(rect, from, p.rgb);
    return;
  }
  // The segment from the point along its direction; its pixels saturate at 16383, and it is cut to
  // the view, since the antialiased line knows only the buffer's bounds.
  QDPoint to = MakePoint(WorldToPixelX(&windowMap, p.x + p.aux[8]), WorldToPixelY(&windowMap, p.y + p.aux[9]));
  auto inside = [this](QDPoint q) { return PtInRect(q, rect); };
  auto none = [](QDPoint q) { return q.h == -1 && q.v == -1; };
  if (!inside(to)) to = ClipSegmentEnd(rect, from, to);
  if (none(to)) return;
  if (!inside(from)) from = ClipSegmentEnd(rect, to, from);
  if (none(from)) return;
  DrawAntialiasedLine(from.h, from.v, to.h, to.v, p.rgb);
}

void GraphView2D::DrawProbeMarks() {
  DrawTraceGuides();
  if (probeReadout.mode == 2) {
    QDPenNormal();
    SetForeColorPacked(probeReadout.rgb);
    QDFrameRect(TraceMarkerRect());
    SetForeColorBlack();
  }
  DrawTracePoint();
}

void GraphView2D::DrawReadoutBox(const QDRect& readout) {
  QDPenNormal();
  SetForeColorBlack();
  SetBackColorWhite();
  EraseRect(readout);
  QDFrameRect(readout);
}

void GraphView2D::DrawReadoutText(const QDRect& readout) {
  const LabelTextSeam& text = GraphsGlobals().labelText;
  std::string lines[5];
  ReadoutLines(lines);
  text.setFont();
  for (int32_t i = 0; i < ReadoutLineCount(); ++i) {
    QDMoveTo(readout.left + 4, readout.top + 11 + 12 * i);
    text.draw(lines[i].c_str());
  }
}
