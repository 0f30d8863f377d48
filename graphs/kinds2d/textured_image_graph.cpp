// GraphImage2D: the grid over the first view, its points mapped in one call, and the draw: the
// first view's picture as a ten-level texture, the grid cells as textured triangles multiplied into
// a white buffer, the buffer laid over the view by luminance.
#include "graphs/kinds2d/textured_image_graph.h"

#include <cmath>
#include <algorithm>
#include <new>

#include "graphics/gl/gl_textures.h"
#include "graphics/pixel_routines.h"
#include "graphics/qd_layer.h"
#include "graphics/render/software_rasterizer.h"
#include "graphs/core/compute_worker.h"
#include "graphs/core/graph_color.h"
#include "graphs/view2d/graph_view_2d.h"
#include "kernel/eval/block_evaluation.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/threads/timers.h"

namespace {

constexpr uint32_t kRecomputeTicks = 10;  // the budget of the draw that finds the grid stale

}  // namespace

int32_t ImageGridStepOfGrain(double q) { return static_cast<int32_t>(15.0 - 10.0 * ClampGrain(q)); }

GraphImage2D::GraphImage2D(CompiledFunction* fx, CompiledFunction* fy, GraphColor* color, double grain,
                           const ViewMap* map, GraphViewSet* set, GrowArray<int32_t>* indexList)
    : map_(map), source_{set, indexList}, functions_{fx, fy}, color_(color), grain_(grain) {
  if (fx != nullptr && fy != nullptr) context_ = CompileFunctionsShared2(fx, fy);
  if (context_ == nullptr) {
    PostError(kErrorOutOfMemory);
    return;
  }
  AllocateGrid();
}

GraphImage2D::~GraphImage2D() {
  FreeMemory(points_);
  DisposeEvalContext(context_);
  for (CompiledFunction* f : functions_) DeleteCompiledFunction(f);
  delete color_;
}

GraphKind2D* NewImageGraph(CompiledFunction* fx, CompiledFunction* fy, GraphColor* color, double grain,
                           const ViewMap* map, GraphViewSet* set, GrowArray<int32_t>* indexList) {
  return new (std::nothrow) GraphImage2D(fx, fy, color, grain, map, set, indexList);
}

void GraphImage2D::AllocateGrid() {
  FreeMemory(points_);
  points_ = nullptr;
  columns_ = rows_ = nextColumn_ = nextRow_ = 0;
  const GraphView2D* view = source_.View();
  if (view == nullptr || context_ == nullptr) return;
  computedMap_ = view->windowMap;
  const int32_t width = RectWidth(computedMap_.frame), height = RectHeight(computedMap_.frame);
  if (width <= 0 || height <= 0) return;
  const int32_t step = ImageGridStepOfGrain(grain_);  // 5 or more: never a division by 0
  const int32_t columns = width / step + 2, rows = height / step + 2;
  points_ = static_cast<MappedPoint*>(AllocMemory(sizeof(MappedPoint) * size_t(columns) * size_t(rows)));
  if (points_ == nullptr) {
    PostError(kErrorOutOfMemory);
    return;
  }
  columns_ = columns, rows_ = rows;
}

bool GraphImage2D::SourceMoved() const {
  const GraphView2D* view = source_.View();
  if (view == nullptr) return false;
  const ViewMap& now = view->windowMap;
  return now.originH != computedMap_.originH || now.originV != computedMap_.originV ||
         now.pixelsPerUnitX != computedMap_.pixelsPerUnitX || now.pixelsPerUnitY != computedMap_.pixelsPerUnitY ||
         !EqualRect(now.frame, computedMap_.frame);
}

void GraphImage2D::Compute(int32_t budget) {
  if (points_ == nullptr || budget <= 0) return;
  struct Running {  // cleared however the Compute ends, an abandon's unwinding included
    explicit Running(uint8_t* flag) : flag_(flag) { *flag_ = 1; }
    ~Running() { *flag_ = 0; }
    uint8_t* flag_;
  } running(&computing_);
  // The grid runs from the rectangle's top-left corner to its bottom-right one (pixel edges, half
  // a pixel from the outer pixels' points), so the texture's 0..1 spans the whole picture.
  const ViewMap* m = &computedMap_;
  const QDRect& r = m->frame;
  const double stepH = double(RectWidth(r)) / (columns_ - 1), stepV = double(RectHeight(r)) / (rows_ - 1);
  PrepareSampleGrid(PixelToWorldX(m, r.left - 0.5), PixelToWorldY(m, r.top - 0.5), m->unitsPerPixelX * stepH,
                    -m->unitsPerPixelY * stepV, columns_, rows_, context_);
  double x[kCellRun], y[kCellRun];
  double* out[2] = {x, y};
  for (; nextRow_ < rows_; ++nextRow_) {
    MappedPoint* row = points_ + size_t(nextRow_) * size_t(columns_);
    for (int32_t i0 = 0; i0 < columns_; i0 += kCellRun) {
      const int32_t n = std::min(kCellRun, columns_ - i0);
      EvaluateGridRowBatch(functions_, 2, i0, nextRow_, n, context_, out);
      for (int32_t t = 0; t < n; ++t) row[i0 + t] = StoreMappedPoint(x[t], y[t]);
    }
  }
  nextColumn_ = columns_;
}

bool GraphImage2D::Draw() {
  if (points_ == nullptr || !source_.Shows(color_)) return true;
  if (SourceMoved()) {
    Invalidate();
    ComputeInTurns(this, static_cast<int32_t>(TicksToTimerUnits(kRecomputeTicks)));
  }
  // A grid reset by a build, a scroll, a grain or a parameter holds no points until it is computed.
  if (points_ == nullptr || !IsComplete()) return true;
  Port* port = GetPort();
  if (port == nullptr) return true;
  const QDRect& f = map_->frame;
  const int32_t width = RectWidth(f), height = RectHeight(f);
  if (width <= 0 || height <= 0) return true;
  GWorldPtr picture = source_.Draw(color_);
  GWorldPtr image = picture != nullptr ? NewGWorld32(MakeRect(0, 0, width, height)) : nullptr;
  uint32_t** texture = image != nullptr ? SoftwareTextureFromGWorld(picture, GWorldBounds(picture)) : nullptr;
  if (texture != nullptr) {
    GWorldSave save;
    SaveAndSetGWorld(&save, image);
    EraseRect(MakeRect(0, 0, width, height));
    RestoreGWorld(&save);
    const PixelTarget target{GWorldBaseAddr(image), GWorldRowBytes(image) / 4, width, height};
    // Vertices on this view's drawing map: a window pixel's block from its left column and its
    // lower row (where the antialias map puts the pixel's point), so the pixel's point lies at the
    // block's centre.
    const double offsetH = map_->originH + CellWidthOf(map_) / 2.0 - f.left;
    const double offsetV = map_->originV + 1.0 - CellHeightOf(map_) / 2.0 - f.top;
    auto vertex = [&](int32_t i, int32_t j, TexturedVertex* out) {
      const MappedPoint& p = points_[size_t(j) * size_t(columns_) + size_t(i)];
      if (!IsMappedPointFinite(p)) return false;
      *out = TexturedVertex{p.x * map_->pixelsPerUnitX + offsetH, p.y * map_->pixelsPerUnitY + offsetV,
                            double(i) / (columns_ - 1), double(j) / (rows_ - 1)};  // rows top first
      return true;
    };
    const uint32_t* const* levels = texture;
    for (int32_t j = 0; j + 1 < rows_; ++j) {
      for (int32_t i = 0; i + 1 < columns_; ++i) {
        TexturedVertex v[4];
        const bool use[4] = {vertex(i, j, &v[0]), vertex(i + 1, j, &v[1]), vertex(i + 1, j + 1, &v[2]),
                             vertex(i, j + 1, &v[3])};
        const int32_t usable = use[0] + use[1] + use[2] + use[3];
        if (usable == 4) {
          MultiplyTexturedTriangle(levels, v[0], v[3], v[2], target);
          MultiplyTexturedTriangle(levels, v[0], v[1], v[2], target);
        } else if (usable == 3) {
          TexturedVertex t[3];
          for (int32_t k = 0, n = 0; k < 4; ++k) {
            if (use[k]) t[n++] = v[k];
          }
          MultiplyTexturedTriangle(levels, t[0], t[1], t[2], target);
        }
      }
    }
    for (int32_t y = 0; y < height; ++y) {
      const uint32_t* row = target.base + int64_t(y) * target.rowWords;
      for (int32_t x = 0; x < width; ++x) {
        if ((row[x] & 0xFFFFFFu) == 0xFFFFFFu) continue;
        if (uint32_t* out = PixelAddress(port, f.left + x, f.top + y)) *out = ShadePixelByLuminance(row[x], *out);
      }
    }
  }
  FreeMemory(texture);
  SafeDisposeGWorld(image);
  SafeDisposeGWorld(picture);
  return true;
}

void GraphImage2D::VariableChanged(int32_t symbol, double) {
  if (ForgetBindingsOf(functions_, 2, symbol)) Invalidate();
}

void GraphImage2D::SetOption(int32_t code, double value) {
  if (code == 6 && color_ != nullptr) {
    SetGraphColorIndex(color_, value);
  } else if (code == 8) {
    grain_ = value;
    Invalidate();
  }
}

// A draw that finds the first view moved makes the grid again, and may do so between the frames
// of an animation while the Compute it started at the last frame lies suspended in a row of the
// grid: that Compute goes first, or taken up again it would write into the freed grid.
void GraphImage2D::Invalidate() {
  if (computing_) AbandonSuspendedCompute();
  AllocateGrid();
}

ProbeRecord GraphImage2D::Probe(double, double) {
  ProbeRecord record{};
  InitProbeRecord(&record);
  return record;
}
