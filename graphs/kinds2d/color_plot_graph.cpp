// GraphColorPlot2D: the range sampling, the batched row loop with its normalisation and HSV
// conversion, the cell drawing, the frames per parameter value, and the read-out.
#include "graphs/kinds2d/color_plot_graph.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "graphs/core/graph_color.h"
#include "kernel/application_state.h"
#include "kernel/eval/block_evaluation.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/numeric/hsv_colour.h"
#include "kernel/threads/timers.h"

namespace {

// trunc(255 c) of a value in [0, 1]; anything else (never made here) gives its nearest end.
uint32_t ColourByte(double c) {
  if (!(c > 0)) return 0;
  return c >= 1 ? 255u : static_cast<uint32_t>(c * 255.0);
}

}  // namespace

uint32_t ColorCellOf(double c1, double c2, double c3, bool hsv) {
  if (hsv) HSVToRGB(c1, c2, c3);
  return ColourByte(c1) << 16 | ColourByte(c2) << 8 | ColourByte(c3);
}

GraphColorPlot2D::GraphColorPlot2D(CompiledFunction* first, CompiledFunction* second, CompiledFunction* third,
                                   CompiledFunction* readout, uint8_t hsv, GraphColor* color, const ViewMap* map)
    : map_(map), functions_{first, second, third}, readout_(readout), color_(color), hsv_(hsv) {
  grid_.cache.off = IsBenchmarkRunning() ? 1 : 0;  // the benchmark always computes
  grid_.cellsMap = *map;
  if (readout_ != nullptr) CompileFunction(readout_);
  if (first != nullptr && second != nullptr && third != nullptr) {
    context_ = CompileFunctionsShared3(first, second, third);
  }
  if (context_ == nullptr) {
    PostError(kErrorOutOfMemory);
    return;
  }
  grid_.Allocate(map_, kColorCellPending);
}

GraphColorPlot2D::~GraphColorPlot2D() {
  grid_.Free();
  DisposeEvalContext(context_);
  for (CompiledFunction* f : functions_) DeleteCompiledFunction(f);
  DeleteCompiledFunction(readout_);
  delete color_;
}

GraphKind2D* NewColorPlotGraph(CompiledFunction* first, CompiledFunction* second, CompiledFunction* third,
                               CompiledFunction* readout, uint8_t hsv, GraphColor* color, const ViewMap* map) {
  return new (std::nothrow) GraphColorPlot2D(first, second, third, readout, hsv, color, map);
}

// ---- Ranges and cells ----

void GraphColorPlot2D::SampleRanges() {
  if (rangesKnown_ || !PrepareRangeSampleGrid(map_, context_)) return;  // an empty view fixes nothing
  double values[3][kRangeSamples];
  double* out[3] = {values[0], values[1], values[2]};
  for (int32_t k = 0; k < 3; ++k) ranges_[2 * k] = 0, ranges_[2 * k + 1] = 1;
  for (int32_t j = 0; j < kRangeSamples; ++j) {
    EvaluateGridRowBatch(functions_, 3, 0, j, kRangeSamples, context_, out);
    for (int32_t k = 0; k < 3; ++k) {
      for (double v : values[k]) {
        if (!std::isfinite(v)) continue;
        ranges_[2 * k] = std::min(ranges_[2 * k], v);
        ranges_[2 * k + 1] = std::max(ranges_[2 * k + 1], v);
      }
    }
  }
  rangesKnown_ = 1;
}

void GraphColorPlot2D::ResetCells() {
  if (context_ != nullptr) grid_.Reset(map_, kColorCellPending);
}

double GraphColorPlot2D::Normalised(int32_t k, double v) const {
  const double lo = ranges_[2 * k], hi = ranges_[2 * k + 1];
  if (k == 0 && hsv_) {
    const double hue = (v - lo) * (1.0 / (hi - lo));
    return std::isfinite(hue) ? hue : 0.0;  // a NaN or infinite hue never reaches the conversion
  }
  if (!(v > lo)) return 0.0;  // NaN included
  if (!(v < hi)) return 1.0;
  return (v - lo) * (1.0 / (hi - lo));
}

// ---- Compute and draw ----

void GraphColorPlot2D::Compute(int32_t budget) {
  // The ranges first, in the computing's time (their samples may be long sums), then the cells.
  SampleRanges();
  evaluations_ += ComputeCellRows(
      grid_, map_, context_, functions_, budget, [](uint32_t cell) { return cell == kColorCellPending; },
      [this](const double (&v)[3][kCellRun], int32_t t) {
        return ColorCellOf(Normalised(0, v[0][t]), Normalised(1, v[1][t]), Normalised(2, v[2][t]), hsv_ != 0);
      });
}

bool GraphColorPlot2D::Draw() {
  if (IsNoFillColor(color_)) return true;
  ShadeCells(grid_, map_, [](uint32_t cell, uint32_t* rgb) {
    *rgb = cell;
    return cell != kColorCellPending;
  });
  return true;
}

// ---- Lifecycle ----

void GraphColorPlot2D::VariableChanged(int32_t symbol, double value) {
  ForgetBindingsOf(&readout_, 1, symbol);
  const bool depends = ForgetBindingsOf(functions_, 3, symbol);
  if (grid_.cells == nullptr || !depends) return;
  if (!IsFrameCacheSymbol(symbol)) {
    Invalidate();
  } else {
    grid_.Restore(map_, value, kColorCellPending);
  }
}

void GraphColorPlot2D::SetOption(int32_t code, double value) {
  if (code == 6 && color_ != nullptr) SetGraphColorIndex(color_, value);
}

void GraphColorPlot2D::Invalidate() {
  ValueCacheClear(grid_.cache.rows);
  ResetCells();
}

void GraphColorPlot2D::GeometryChanged() {
  if (context_ != nullptr) grid_.Follow(map_, kColorCellPending);
}

void GraphColorPlot2D::Scroll(int32_t dh, int32_t dv) {
  if (grid_.cells == nullptr) return;
  grid_.Scroll(map_, dh, dv, kColorCellPending);
}

// ---- Queries ----

bool GraphColorPlot2D::CellAt(double x, double y, int32_t* c, int32_t* r) {
  if (grid_.cells == nullptr || IsNoFillColor(color_) || !CellUnder(grid_, map_, x, y, c, r)) return false;
  PrepareCellEvaluationGrid(map_, grid_.width, grid_.height, context_);
  return true;
}

bool GraphColorPlot2D::HitTest(double x, double y) {
  int32_t c, r;
  if (!CellAt(x, y, &c, &r)) return false;
  for (CompiledFunction* f : functions_) {
    if (std::isnan(EvaluateAtGridPoint(f, c, r, context_))) return false;
  }
  return true;
}

ProbeRecord GraphColorPlot2D::Probe(double x, double y) {
  ProbeRecord record{};
  InitProbeRecord(&record);
  int32_t c, r;
  if (!CellAt(x, y, &c, &r)) return record;
  record.x = x, record.y = y;
  record.mode = 1;
  if (readout_ != nullptr) {
    Complex z;
    EvaluateComplexAt2(&z, readout_, x, y);
    record.mode = 12;
    record.aux[0] = z.re, record.aux[1] = z.im;
    record.value = z.re, record.aux[6] = z.im;  // as the view's mode-12 read-out shows it
  }
  return record;
}
