// GraphMesh2D: the first view as the second view's mapped pictures draw it, the point rows under
// the budget, the four-sample resampling of the first view's picture, and the lifecycle of the
// point array (frames per parameter value, scrolls, geometry).
#include "graphs/kinds2d/mapped_picture_graph.h"

#include <cfloat>
#include <cmath>
#include <new>

#include "graphics/pixel_routines.h"
#include "graphics/qd_layer.h"
#include "graphs/core/graph_color.h"
#include "graphs/viewset/graph_view_set.h"
#include "kernel/application_state.h"
#include "kernel/eval/compiled_function.h"

namespace {

constexpr float kInf = HUGE_VALF;
constexpr MappedPoint kPointPending{NAN, NAN};
constexpr double kSampleOffsets[4][2] = {{0, 0}, {0.9, 0}, {0, 0.9}, {0.9, 0.9}};

bool IsPending(const MappedPoint& p) { return std::isnan(p.x); }

// floor(v) as a whole index within lo..hi, clamped in double first; `inside` is cleared when the
// clamp moved it (NaN included).
int32_t ClampedIndex(double v, int32_t lo, int32_t hi, bool* inside) {
  double f = std::floor(v);
  if (!(f >= lo)) f = lo, *inside = false;
  if (f > hi) f = hi, *inside = false;
  return static_cast<int32_t>(f);
}

}  // namespace

MappedPoint StoreMappedPoint(double x, double y) {
  if (std::isnan(x) || std::isnan(y) || !(std::fabs(x) <= FLT_MAX) || !(std::fabs(y) <= FLT_MAX)) {
    return MappedPoint{kInf, kInf};
  }
  return MappedPoint{static_cast<float>(x), static_cast<float>(y)};
}

GraphView2D* MapSource::View() const { return set != nullptr ? set->first2D : nullptr; }

bool MapSource::Shows(const GraphColor* color) const {
  const GraphView2D* view = View();
  if (view == nullptr) return false;
  return (indexList != nullptr && indexList->count > 0) || !IsNoFillColor(color) || view->pictures.count > 0;
}

GWorldPtr MapSource::Draw(const GraphColor* color) const {
  GraphView2D* view = View();
  if (view == nullptr) return nullptr;
  const ViewIndexList list{indexList != nullptr ? indexList->data : nullptr,
                           indexList != nullptr ? indexList->count : 0};
  return view->DrawViewIntoBuffer(&list, color);
}

GraphMesh2D::GraphMesh2D(CompiledFunction* fx, CompiledFunction* fy, GraphColor* color, const ViewMap* map,
                         GraphViewSet* set, GrowArray<int32_t>* indexList)
    : map_(map), source_{set, indexList}, functions_{fx, fy}, color_(color) {
  grid_.cache.off = IsBenchmarkRunning() ? 1 : 0;  // the benchmark always computes
  grid_.cellsMap = *map;
  if (fx != nullptr && fy != nullptr) context_ = CompileFunctionsShared2(fx, fy);
  if (context_ == nullptr) {
    PostError(kErrorOutOfMemory);
    return;
  }
  grid_.Allocate(map_, kPointPending);
}

GraphMesh2D::~GraphMesh2D() {
  grid_.Free();
  DisposeEvalContext(context_);
  for (CompiledFunction* f : functions_) DeleteCompiledFunction(f);
  delete color_;
}

GraphKind2D* NewMeshGraph(CompiledFunction* fx, CompiledFunction* fy, GraphColor* color, const ViewMap* map,
                          GraphViewSet* set, GrowArray<int32_t>* indexList) {
  return new (std::nothrow) GraphMesh2D(fx, fy, color, map, set, indexList);
}

void GraphMesh2D::Compute(int32_t budget) {
  const auto store = [](const double (&v)[2][kCellRun], int32_t t) { return StoreMappedPoint(v[0][t], v[1][t]); };
  evaluations_ += ComputeCellRows(grid_, map_, context_, functions_, budget, IsPending, store);
}

bool GraphMesh2D::Draw() {
  if (grid_.cells == nullptr || !source_.Shows(color_)) return true;
  Port* port = GetPort();
  if (port == nullptr) return true;
  GWorldPtr buffer = source_.Draw(color_);
  if (buffer == nullptr) return true;  // no memory: nothing this time
  const QDRect b = GWorldBounds(buffer);
  const uint32_t* base = GWorldBaseAddr(buffer);
  const int64_t stride = GWorldRowBytes(buffer) / 4;
  const ViewMap& src = source_.View()->windowMap;
  const int32_t tx = CellWidthOf(map_), ty = CellHeightOf(map_);
  const QDRect& f = map_->frame;
  // A point's position in the source buffer's pixels (a pixel's centre at its whole index).
  auto position = [&src](const MappedPoint& q, double* h, double* v) {
    *h = q.x * src.pixelsPerUnitX + src.originH;
    *v = q.y * src.pixelsPerUnitY + src.originV;
  };
  for (int32_t r = 0; r < grid_.height; ++r) {
    const MappedPoint* row = grid_.Row(r);
    for (int32_t c = 0; c < grid_.width; ++c) {
      if (!IsMappedPointFinite(row[c])) continue;
      double ph, pv, rh = 0, rv = 0, dh = 0, dv = 0;
      position(row[c], &ph, &pv);
      if (c + 1 < grid_.width && IsMappedPointFinite(row[c + 1])) {
        position(row[c + 1], &rh, &rv);
        rh -= ph, rv -= pv;
      }
      if (r + 1 < grid_.height && IsMappedPointFinite(grid_.Row(r + 1)[c])) {
        position(grid_.Row(r + 1)[c], &dh, &dv);
        dh -= ph, dv -= pv;
      }
      // Each map pixel of the cell's block starts its share of the step to the neighbours.
      for (int32_t j = 0; j < ty; ++j) {
        for (int32_t i = 0; i < tx; ++i) {
          uint32_t* out = PixelAddress(port, f.left + c * tx + i, f.top + r * ty + j);
          if (out == nullptr) continue;
          const double a0 = double(i) / tx, b0 = double(j) / ty;
          uint32_t sum[3] = {0, 0, 0};
          bool inside = false;
          for (const double* o : kSampleOffsets) {
            const double a = a0 + o[0] / tx, bb = b0 + o[1] / ty;
            bool in = true;
            const int32_t h = ClampedIndex(ph + a * rh + bb * dh, b.left, b.right - 1, &in);
            const int32_t v = ClampedIndex(pv + a * rv + bb * dv, b.top, b.bottom - 1, &in);
            inside = inside || in;
            const uint32_t pixel = base[(v - b.top) * stride + (h - b.left)];
            sum[0] += pixel >> 16 & 0xFF, sum[1] += pixel >> 8 & 0xFF, sum[2] += pixel & 0xFF;
          }
          const uint32_t average = (sum[0] >> 2) << 16 | (sum[1] >> 2) << 8 | (sum[2] >> 2);
          if (inside && average != 0xFFFFFFu) *out = ShadePixelByLuminance(average, *out);
        }
      }
    }
  }
  SafeDisposeGWorld(buffer);
  return true;
}

void GraphMesh2D::VariableChanged(int32_t symbol, double value) {
  // The constants go first, points or not: a view without size gets some later and must read the
  // new value then.
  const bool depends = ForgetBindingsOf(functions_, 2, symbol);
  if (grid_.cells == nullptr || !depends) return;
  if (IsFrameCacheSymbol(symbol)) {
    grid_.Restore(map_, value, kPointPending);
  } else {
    Invalidate();
  }
}

void GraphMesh2D::SetOption(int32_t code, double value) {
  if (code == 6 && color_ != nullptr) SetGraphColorIndex(color_, value);
}

void GraphMesh2D::Invalidate() {
  ValueCacheClear(grid_.cache.rows);
  if (context_ != nullptr) grid_.Reset(map_, kPointPending);
}

void GraphMesh2D::GeometryChanged() {
  if (context_ != nullptr) grid_.Follow(map_, kPointPending);
}

void GraphMesh2D::Scroll(int32_t dh, int32_t dv) {
  if (grid_.cells != nullptr) grid_.Scroll(map_, dh, dv, kPointPending);
}

ProbeRecord GraphMesh2D::Probe(double, double) {
  ProbeRecord record{};
  InitProbeRecord(&record);
  return record;
}
