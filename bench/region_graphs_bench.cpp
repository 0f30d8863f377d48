// The region kinds computed to completion on a 600 x 400 view at 64 pixels a unit (x within
// +-4.7, y within +-3.1): the relations sin(x^2 + y^2) = cos(x y) (dense curves, most pixels
// settled by sub-boxes) and x^2 + y^2 < 1 in plotting mode 2, and the raster and level lines of
// sin(x) cos(y) (level lines at grain 0.5: 14 levels). Goals: the relations complete and sound in
// under 1 s in Release, the others under 100 ms; the raster's drawing is timed too.
#include <benchmark/benchmark.h>

#include "algebra/algebra_seams.h"
#include "graphics/graphics_layer.h"
#include "graphs/kinds2d/contour_graph.h"
#include "graphs/factory/factory_helpers.h"
#include "graphs/core/graph_color.h"
#include "graphs/kinds2d/raster_graph.h"
#include "graphs/kinds2d/relation_graph.h"
#include "kernel/text/formula_reader.h"
#include "kernel/trees/expr_node.h"
#include "platform/draw/port.h"

namespace {

constexpr int32_t kAll = 1 << 30;

CompiledFunction* Function(const char* text) {
  SetFormulaReaderText(text);
  return NewFunctionOver(ParseFormulaText());
}

ViewMap View() {
  ViewMap map;
  SetViewMap(&map, MakeRect(0, 0, 600, 400), 300, 199, 64, -64, 1, 1);
  return map;
}

void BM_RelationToCompletion(benchmark::State& state, const char* text, bool equation) {
  InstallAlgebraSeams();
  const ViewMap map = View();
  GraphRelation2D graph(Function(text), nullptr, new GraphColor(nullptr), 2, equation, &map);
  for (auto _ : state) {
    graph.Invalidate();
    graph.Compute(kAll);
    benchmark::DoNotOptimize(graph.Bitmap().base);
  }
  state.counters["boxes"] = static_cast<double>(graph.Evaluations()) / static_cast<double>(state.iterations() + 1);
}
BENCHMARK_CAPTURE(BM_RelationToCompletion, sin_sum_squares_eq_cos_product,
                  "equal[sin[plus[power[x,2],power[y,2]]],cos[times[x,y]]]", true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RelationToCompletion, unit_disc, "lessthan[plus[power[x,2],power[y,2]],1]", false)
    ->Unit(benchmark::kMillisecond);

void BM_RasterToCompletion(benchmark::State& state) {
  InstallAlgebraSeams();
  const ViewMap map = View();
  GraphRaster2D graph(Function("times[sin[u],cos[v]]"), 0.5, new GraphColor(nullptr), &map);
  for (auto _ : state) {
    graph.Invalidate();
    graph.Compute(kAll);
    benchmark::DoNotOptimize(graph.Cells());
  }
}
BENCHMARK(BM_RasterToCompletion)->Unit(benchmark::kMillisecond);

void BM_RasterDraw(benchmark::State& state) {
  InitGraphicsLayer();
  InstallAlgebraSeams();
  const ViewMap map = View();
  GraphRaster2D graph(Function("times[sin[u],cos[v]]"), 0.5, new GraphColor(nullptr), &map);
  graph.Compute(kAll);
  GWorldPtr world = NewGWorld(map.frame);
  SetGWorld(world, nullptr);
  for (auto _ : state) graph.Draw();
  SetGWorld(nullptr, nullptr);
  DisposeGWorld(world);
}
BENCHMARK(BM_RasterDraw)->Unit(benchmark::kMillisecond);

void BM_LevelLinesToCompletion(benchmark::State& state) {
  InstallAlgebraSeams();
  const ViewMap map = View();
  GraphContour2D graph(Function("times[sin[x],cos[y]]"), 0.5, new GraphColor(nullptr), &map);
  for (auto _ : state) {
    graph.Invalidate();
    graph.Compute(kAll);
    benchmark::DoNotOptimize(graph.Segments().total);
  }
  state.counters["segments"] = graph.Segments().total;
}
BENCHMARK(BM_LevelLinesToCompletion)->Unit(benchmark::kMillisecond);

}  // namespace
