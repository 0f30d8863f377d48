// Traced function graphs computed to completion on a 1200 x 800 view at 64 pixels a unit: one
// frame's work for y = x^2 (one interval and one point evaluation a column) and y = sin(1/x)
// (hulls, subdivision and the pole-like columns round 0). Goal: each under 16 ms in Release.
#include <benchmark/benchmark.h>

#include "algebra/algebra_seams.h"
#include "graphs/factory/factory_helpers.h"
#include "graphs/core/graph_color.h"
#include "graphs/kinds2d/traced_graph.h"
#include "kernel/text/formula_reader.h"
#include "kernel/trees/expr_node.h"

namespace {

void BM_TraceToCompletion(benchmark::State& state, const char* text) {
  InstallAlgebraSeams();
  ViewMap map;
  SetViewMap(&map, MakeRect(0, 0, 1200, 800), 600, 399, 64, -64, 1, 1);
  SetFormulaReaderText(text);
  GraphTraced2D graph(NewFunctionOver(ParseFormulaText()), 1, new GraphColor(nullptr), kTraceFull, &map);
  for (auto _ : state) {
    graph.Invalidate();
    graph.Compute(1 << 30);
    benchmark::DoNotOptimize(graph.Columns());
  }
  state.counters["columns"] = graph.ColumnCount();
}
BENCHMARK_CAPTURE(BM_TraceToCompletion, parabola, "power[u,2]")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TraceToCompletion, sin_of_reciprocal, "sin[over[1,u]]")->Unit(benchmark::kMillisecond);

}  // namespace
