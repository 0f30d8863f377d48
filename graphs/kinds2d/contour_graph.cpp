// GraphContour2D: the level choice, the range measure, the cell loop with its carried corners and
// crossings, drawing, and the queries (hit test, probe, nearest point).
#include "graphs/kinds2d/contour_graph.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "graphics/qd_layer.h"
#include "graphs/core/graph_color.h"
#include "graphs/kinds2d/level_line_probes.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/threads/timers.h"

namespace {

constexpr int32_t kRangeParts = 20;  // a side of the measuring sample
constexpr int32_t kMaxAnchorCandidates = 12;
constexpr double kExactIntegers = 9007199254740992.0;  // 2^53

// Corners of a cell in units of (cw, ch) from its origin, and its edges as corner pairs: 0 left,
// 1 diagonal, 2 bottom, 3 top, 4 right. Triangles: edges {0, 1, 3} and {1, 2, 4}.
constexpr int32_t kCorner[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
constexpr int32_t kEdge[5][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {2, 3}};
constexpr int32_t kTriangle[2][3] = {{0, 1, 3}, {1, 2, 4}};

}  // namespace

int32_t ChooseContourLevels(double min, double max, int32_t n, double levels[kMaxLevels]) {
  n = std::min(std::max(n, 4), kMaxLevels);
  if (!std::isfinite(min) || !std::isfinite(max) || max < min) return 0;
  if (max == min) {  // a constant: one level, and no step to divide by
    levels[0] = min;
    return 1;
  }
  const double range = max - min;
  if (!std::isfinite(range)) return 0;
  // 1. The anchor: the only multiple of 10^e in the range, else the multiple of 10^(e-1)
  //    nearest the middle (the lower one on a tie).
  const int32_t e = static_cast<int32_t>(std::floor(std::log10(range))) + 1;
  double s = 1;
  for (int32_t k = 0; k < e; ++k) s *= 0.1;
  for (int32_t k = 0; k < -e; ++k) s *= 10;
  // The candidates are counted as whole numbers, exactly only up to 2^53: beyond it the range is
  // too narrow for its values to step through.
  auto exact = [](double k) { return std::fabs(k) <= kExactIntegers; };
  double lo = std::ceil(min * s), hi = std::floor(max * s), c;
  if (!exact(lo) || !exact(hi) || s == 0) return 0;
  if (hi == lo) {
    c = hi / s;
  } else {
    s *= 10;
    lo = std::ceil(min * s), hi = std::floor(max * s);
    if (!exact(lo) || !exact(hi)) return 0;
    const double mid = min / 2 + max / 2;
    double best = kPositiveInfinity;
    c = lo / s;
    const auto first = static_cast<int64_t>(lo), last = static_cast<int64_t>(hi);
    for (int64_t k = first; k <= last && k - first < kMaxAnchorCandidates; ++k) {
      const double d = std::fabs(static_cast<double>(k) / s - mid);
      if (d < best) best = d, c = static_cast<double>(k) / s;
    }
  }
  // 2. The step, and the levels above (a) and below (b) the anchor.
  const double step = NiceRoundStep(range / n);
  if (!(step > 0) || !std::isfinite(c)) return 0;
  int32_t a = static_cast<int32_t>(std::min((max - c) / step, 64.0));
  int32_t b = static_cast<int32_t>(std::min((c - min) / step, 64.0));
  while (a + b + 1 > n) {
    if ((max - c) - a * step > (c - min) - b * step) {
      --b;
    } else {
      --a;
    }
  }
  b = std::max(b, 0);
  if (a < 0) b = std::max(b + a, 0);  // the top level is the anchor, none above it
  // 3. The levels, the anchor 0 exactly.
  levels[0] = c - b * step;
  for (int32_t i = 1; i < n; ++i) levels[i] = levels[i - 1] + step;
  if (c == 0 && b < n) levels[b] = 0.0;
  // A step below the values' precision repeats a level: no lines rather than n copies of one.
  for (int32_t i = 1; i < n; ++i) {
    if (!(levels[i] > levels[i - 1])) return 0;
  }
  return n;
}

GraphContour2D::GraphContour2D(CompiledFunction* function, double grain, GraphColor* color, const ViewMap* map)
    : map_(map),
      function_(function),
      f_(CompiledFunctionEvaluator(function)),
      color_(color),
      levelCount_(LevelCountOfGrain(grain)) {
  if (function_ != nullptr) CompileFunction(function_);
  MeasureLater();
  AllocateGrid();
}

GraphContour2D::~GraphContour2D() {
  FreeMemory(rowBuffer_);
  ChunkPoolFree(points_);
  ChunkPoolFree(segments_);
  DeleteCompiledFunction(function_);
  delete color_;
}

GraphKind2D* NewContourGraph(CompiledFunction* function, double grain, GraphColor* color, const ViewMap* map) {
  return new (std::nothrow) GraphContour2D(function, grain, color, map);
}

void GraphContour2D::MeasureLater() {
  levelsValid_ = 0;
  measureDue_ = 1;
}

void GraphContour2D::MeasureAndChooseLevels() {
  const QDRect& r = map_->frame;
  if (function_ != nullptr && !EmptyRect(r)) {
    const double ux = map_->unitsPerPixelX, uy = map_->unitsPerPixelY;
    const double xa = PixelToWorldX(map_, r.left) - ux / 2, ya = PixelToWorldY(map_, r.top) + uy / 2;
    const double dx = RectWidth(r) * ux / kRangeParts,
                 dy = (PixelToWorldY(map_, r.bottom) - PixelToWorldY(map_, r.top)) / kRangeParts;
    double lo = kPositiveInfinity, hi = -kPositiveInfinity;
    for (int32_t j = 0; j < kRangeParts; ++j) {
      for (int32_t i = 0; i < kRangeParts; ++i) {
        const double v = f_(0, 0, xa + (i + 0.5) * dx, ya + (j + 0.5) * dy, 0, 0);
        if (std::isfinite(v)) lo = std::min(lo, v), hi = std::max(hi, v);
      }
    }
    // A constant gets its one level but no lines (Status 10), and is measured again when invalidated.
    levelsValid_ = hi > lo && ChooseContourLevels(lo, hi, levelCount_, levels_) == levelCount_;
  }
  // Only past the last evaluation: a measure abandoned in one is still due, and starts over.
  measureDue_ = 0;
}

void GraphContour2D::AllocateGrid() {
  FreeMemory(rowBuffer_);
  rowBuffer_ = static_cast<RowEntry*>(AllocMemory(sizeof(RowEntry) * (kContourGrid + 1), true));
  if (rowBuffer_ == nullptr) PostError(kErrorOutOfMemory);
  std::fill(carryPoints_, carryPoints_ + kMaxLevels, 0);
  carryValue_ = 0;
  const QDRect& r = map_->frame;
  const double ux = map_->unitsPerPixelX, uy = map_->unitsPerPixelY;
  xmin_ = PixelToWorldX(map_, r.left) - ux / 2;
  ymin_ = PixelToWorldY(map_, r.bottom) + uy / 2;
  cw_ = (PixelToWorldX(map_, r.right) - ux / 2 - xmin_) / kContourGrid;
  ch_ = (PixelToWorldY(map_, r.top) + uy / 2 - ymin_) / kContourGrid;
  nextCell_ = nextRow_ = 0;
}

void GraphContour2D::Stop() {
  ChunkPoolClear(points_);
  ChunkPoolClear(segments_);
  FreeMemory(rowBuffer_);
  rowBuffer_ = nullptr;
  PostError(kErrorOutOfMemory);
}

// ---- Compute ----

void GraphContour2D::Compute(int32_t budget) {
  const uint32_t deadline = ComputeDeadline(budget);
  if (DeadlineReached(ElapsedTimerUnits(), deadline)) return;
  // The range first, in the computing's time (its samples may be long sums), then the cells.
  if (measureDue_) MeasureAndChooseLevels();
  if (rowBuffer_ == nullptr || !levelsValid_) return;
  while (nextRow_ < kContourGrid) {
    if (nextCell_ == kContourGrid) nextCell_ = 0;
    while (nextCell_ < kContourGrid) {
      if (!ComputeCell(nextCell_, nextRow_)) {
        Stop();
        return;
      }
      ++nextCell_;
      if (DeadlineReached(ElapsedTimerUnits(), deadline)) {
        if (nextCell_ == kContourGrid) ++nextRow_;
        return;
      }
    }
    ++nextRow_;
  }
}

bool GraphContour2D::IsComplete() {
  if (measureDue_) return false;
  return rowBuffer_ == nullptr || !levelsValid_ || (nextCell_ == kContourGrid && nextRow_ == kContourGrid);
}

void GraphContour2D::EdgeCrossings(double xa, double ya, double va, double xb, double yb, double vb,
                                   ContourPoint* out) {
  for (int32_t k = 0; k < levelCount_; ++k) {
    out[k].level = -1;
    const double d1 = va - levels_[k], d2 = vb - levels_[k];
    if (!((d1 < 0 && d2 >= 0) || (d1 >= 0 && d2 < 0))) continue;  // NaN never crosses
    ContourPoint p{0, 0, static_cast<int16_t>(k)};
    // Tolerance 0: the point lies on its level to rounding, and on a straight edge exactly.
    if (FindRootSecant(f_, levels_[k], 0.0, d1, d2, xa, xb, ya, yb, 0, 0, &p.x, &p.y, nullptr)) out[k] = p;
  }
}

bool GraphContour2D::ComputeCell(int32_t c, int32_t r) {
  // Every evaluation of the cell comes first, into locals; the carried values, the pools and the row
  // buffer change only after the last one, so a Compute abandoned in one of them finds the cell as
  // it was and computes it again.
  auto x = [&](int32_t i) { return xmin_ + i * cw_; };  // shared corners come out bit for bit the same
  auto y = [&](int32_t j) { return ymin_ + j * ch_; };
  auto F = [&](int32_t i, int32_t j) { return f_(0, 0, x(i), y(j), 0, 0); };
  double v[4];
  v[0] = r > 0 || c > 0 ? rowBuffer_[c].value : F(c, r);
  v[3] = r > 0 ? rowBuffer_[c + 1].value : F(c + 1, r);
  v[1] = c > 0 ? carryValue_ : F(c, r + 1);
  v[2] = F(c + 1, r + 1);
  // The lower edge comes from the row below and the left one from the cell before; the others
  // are found here.
  auto shared = [r, c](int32_t e) { return (e == 2 && r > 0) || (e == 0 && c > 0); };
  ContourPoint found[5][kMaxLevels];
  for (int32_t e = 0; e < 5; ++e) {
    if (shared(e)) continue;
    const int32_t* a = kCorner[kEdge[e][0]];
    const int32_t* b = kCorner[kEdge[e][1]];
    EdgeCrossings(x(c + a[0]), y(r + a[1]), v[kEdge[e][0]], x(c + b[0]), y(r + b[1]), v[kEdge[e][1]], found[e]);
  }

  if (r == 0) rowBuffer_[c + 1].value = v[3];
  if (r < kContourGrid - 1) rowBuffer_[c].value = v[1];
  if (c < kContourGrid - 1) {
    carryValue_ = v[2];
  } else {
    rowBuffer_[kContourGrid].value = v[2];
  }
  int32_t edges[5][kMaxLevels] = {};
  for (int32_t e = 0; e < 5; ++e) {
    if (e == 2 && shared(e)) {
      std::copy(rowBuffer_[c].points, rowBuffer_[c].points + kMaxLevels, edges[e]);
    } else if (shared(e)) {
      std::copy(carryPoints_, carryPoints_ + kMaxLevels, edges[e]);
    } else {
      for (int32_t k = 0; k < levelCount_; ++k) {
        if (found[e][k].level < 0) continue;
        if (ChunkPoolAppend24(points_, found[e][k]) != 0) return false;
        edges[e][k] = ChunkPoolCount(points_);  // index + 1
      }
    }
  }
  if (r < kContourGrid - 1) std::copy(edges[3], edges[3] + kMaxLevels, rowBuffer_[c].points);
  if (c < kContourGrid - 1) std::copy(edges[4], edges[4] + kMaxLevels, carryPoints_);

  for (int32_t k = 0; k < levelCount_; ++k) {
    for (const auto& triangle : kTriangle) {
      int32_t ends[3], n = 0;
      for (int32_t e : triangle) {
        if (edges[e][k] != 0) ends[n++] = edges[e][k] - 1;
      }
      if (n == 2 && ChunkPoolAppend8(segments_, ContourSegment{ends[0], ends[1]}) != 0) return false;
    }
  }
  return true;
}

// ---- Drawing and status ----

bool GraphContour2D::Draw() {
  if (rowBuffer_ == nullptr || !levelsValid_ || IsNoFillColor(color_)) return true;
  const PackedRGB rgb = GraphColorRGB(color_);
  PackedRGB shades[kMaxLevels];
  for (int32_t k = 0; k < levelCount_; ++k) shades[k] = BandColor(rgb, k, levelCount_);
  auto h = [this](double wx) { return SaturatedPixel(wx * map_->pixelsPerUnitX + map_->originH); };
  auto v = [this](double wy) { return SaturatedPixel(wy * map_->pixelsPerUnitY + map_->originV); };
  for (int32_t i = 0; i < ChunkPoolCount(segments_); ++i) {
    const ContourSegment& s = *ChunkPoolAt(segments_, i);
    const ContourPoint& a = *ChunkPoolAt(points_, s.first);
    const ContourPoint& b = *ChunkPoolAt(points_, s.second);
    SetForeColorPacked(shades[a.level]);
    QDMoveTo(h(a.x), v(a.y));
    QDLineTo(h(b.x), v(b.y));
  }
  SetForeColorBlack();
  return true;
}

int32_t GraphContour2D::Status() { return ChunkPoolCount(segments_) == 0 ? 10 : 0; }

// ---- Lifecycle ----

void GraphContour2D::VariableChanged(int32_t symbol, double) {
  if (ForgetBindingsOf(&function_, 1, symbol)) Invalidate();
}

void GraphContour2D::SetOption(int32_t code, double value) {
  if (code == 6 && color_ != nullptr) {
    SetGraphColorIndex(color_, value);
  } else if (code == 8) {
    levelCount_ = LevelCountOfGrain(value);
    MeasureLater();
    Invalidate();
  }
}

void GraphContour2D::Invalidate() {
  if (!levelsValid_) MeasureLater();
  ChunkPoolClear(points_);
  ChunkPoolClear(segments_);
  AllocateGrid();
}

// ---- Queries ----

bool GraphContour2D::HitTest(double x, double y) {
  if (rowBuffer_ == nullptr || !levelsValid_ || IsNoFillColor(color_)) return false;
  for (int32_t k = 0; k < levelCount_; ++k) {
    if (LevelCrossesBoxAround(f_, levels_[k], x, y, 4 * map_->unitsPerPixelX, 4 * map_->unitsPerPixelY)) {
      selectedLevel_ = k;
      return true;
    }
  }
  return false;
}

int32_t GraphContour2D::NearestSegment(double x, double y, int32_t level) const {
  const double r = map_->unitsPerPixelX / map_->unitsPerPixelY;
  double best = kPositiveInfinity;
  int32_t found = -1;
  for (int32_t i = 0; i < ChunkPoolCount(segments_); ++i) {
    const ContourSegment& s = *ChunkPoolAt(segments_, i);
    const ContourPoint& a = *ChunkPoolAt(points_, s.first);
    const ContourPoint& b = *ChunkPoolAt(points_, s.second);
    if (level >= 0 && a.level != level) continue;
    const double d = PointSegmentDistanceSquared(x, y * r, a.x, a.y * r, b.x, b.y * r);
    if (d < best) best = d, found = i;
  }
  return found;
}

ProbeRecord GraphContour2D::Probe(double x, double y) {
  ProbeRecord record{};
  InitProbeRecord(&record);
  if (rowBuffer_ == nullptr || !levelsValid_ || IsNoFillColor(color_) || selectedLevel_ >= levelCount_) return record;
  const int32_t i = NearestSegment(x, y, selectedLevel_);
  if (i < 0) return record;
  const double r = map_->unitsPerPixelX / map_->unitsPerPixelY;
  const ContourSegment& s = *ChunkPoolAt(segments_, i);
  const ContourPoint& a = *ChunkPoolAt(points_, s.first);
  const ContourPoint& b = *ChunkPoolAt(points_, s.second);
  double px, py;
  NearestPointOnSegment(x, y * r, a.x, a.y * r, b.x, b.y * r, &px, &py);
  const double level = levels_[selectedLevel_];
  const double ux = map_->unitsPerPixelX, uy = map_->unitsPerPixelY;
  if (!NearestLevelCrossing(f_, level, px, py / r, 2 * ux, 2 * uy, x, y, &record.x, &record.y)) return record;
  record.mode = 7;
  record.value = level;
  record.rgb = GraphColorRGB(color_);
  ProbeSegmentIfNear(f_, level, 4 * ux, 4 * uy, &record);
  return record;
}

NearestPointRecord GraphContour2D::NearestPoint(double x, double y, double tolerance, double, double tmax) {
  if (rowBuffer_ == nullptr || !levelsValid_ || IsNoFillColor(color_)) return NoNearestPoint();
  double level = tmax;
  if (tmax == kPositiveInfinity) {
    const int32_t i = NearestSegment(x, y, -1);
    if (i < 0) return NoNearestPoint();
    level = levels_[ChunkPoolAt(points_, ChunkPoolAt(segments_, i)->first)->level];
  } else if (!std::isfinite(tmax)) {
    return NoNearestPoint();
  }
  NearestPointRecord record =
      ProbeCrossingsInBox(f_, level, x, y, tolerance, tolerance * map_->unitsPerPixelY / map_->unitsPerPixelX);
  // Every point's argument is the level, so a caller taking the range from the first point to the
  // last gets [L, L] for a negative level as for a positive one.
  record.before[0] = record.at[0] = record.after[0] = level;
  return record;
}
