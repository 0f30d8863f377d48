// The 3D surfaces computed to completion, with the algebra's derivatives for the normals: the
// implicit surface meshed on 64 x 64 x 64 cubes for the unit sphere and the gyroid
// sin x cos y + sin y cos z + sin z cos x over the box -2..2 (goal for the gyroid: under 100 ms),
// and a 200 x 200 parametric surface, the unit sphere with analytic normals (goal: under 10 ms).
// The references are the evaluations alone: f at the grid's 65^3 corners and 64^3 centres, and the
// three coordinate functions at the 200^2 samples, as the graphs call them. Release build.
#include <benchmark/benchmark.h>

#include "algebra/algebra_seams.h"
#include "graphics/gl/graphics_context.h"
#include "graphs/core/graph_color.h"
#include "graphs/factory/factory_helpers.h"
#include "graphs/view3d/implicit_surface_3d.h"
#include "graphs/view3d/parametric_surface_3d.h"
#include "kernel/application_state.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/text/formula_reader.h"

namespace {

constexpr const char* kSphere = "plus[power[x,2],power[y,2],power[z,2],minus[1]]";
constexpr const char* kGyroid = "plus[times[sin[x],cos[y]],times[sin[y],cos[z]],times[sin[z],cos[x]]]";
// The grains that give 64 cubes and 200 samples a side: trunc(36 g + 4) = 64, trunc(74 g + 5) = 200.
constexpr double kGrain64 = 60.5 / 36;
constexpr double kGrain200 = 195.5 / 74;

CompiledFunction* Function(const char* text) {
  SetFormulaReaderText(text);
  return NewFunctionOver(ParseFormulaText());
}

ViewFrame gFrame = {{1, 0, 0, 0, 1, 0, 0, 0, 1}, {-2, 2, -2, 2, -2, 2}, 1.7330909743, 2.3};

void BM_ImplicitMesh64(benchmark::State& state, const char* f) {
  InstallAlgebraSeams();
  SetBenchmarkRunning(true);  // no partial uploads, as while the program's benchmark plays
  GraphicsContext* context = NewGLContextRecord();
  context->viewFrame = &gFrame;
  {
    const double* box = gFrame.box;
    GraphImplicitSurface3D graph(Function(f), kGrain64, 1.0, new GraphColor(context), nullptr, box, box + 1, box + 2,
                                 box + 3, box + 4, box + 5, context);
    for (auto _ : state) {
      graph.Invalidate();
      graph.Compute(1 << 30);
      benchmark::DoNotOptimize(graph.TriangleCount());
    }
    state.counters["cubes/side"] = graph.CubesPerSide();
    state.counters["triangles"] = graph.TriangleCount();
    state.counters["vertices"] = graph.VertexCount();
  }
  DeleteGLContextRecord(context);
  SetBenchmarkRunning(false);
}
BENCHMARK_CAPTURE(BM_ImplicitMesh64, sphere, kSphere)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImplicitMesh64, gyroid, kGyroid)->Unit(benchmark::kMillisecond);

// Reference: the values the mesher needs, each once (65^3 corners, 64^3 centres).
void BM_ImplicitGridValues64(benchmark::State& state, const char* text) {
  InstallAlgebraSeams();
  CompiledFunction* f = Function(text);
  CompileFunction(f);
  const int32_t n = 64;
  const double h = 4.0 / n;
  for (auto _ : state) {
    double sum = 0;
    for (int32_t k = 0; k <= n; ++k)
      for (int32_t j = 0; j <= n; ++j)
        for (int32_t i = 0; i <= n; ++i) {
          sum += EvaluateFunction6(f, 0, 0, -2 + i * h, -2 + j * h, -2 + k * h, 0);
          if (i < n && j < n && k < n) sum += EvaluateFunction6(f, 0, 0, -2 + (i + 0.5) * h, -2 + (j + 0.5) * h,
                                                                -2 + (k + 0.5) * h, 0);
        }
    benchmark::DoNotOptimize(sum);
  }
  DeleteCompiledFunction(f);
}
BENCHMARK_CAPTURE(BM_ImplicitGridValues64, sphere, kSphere)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImplicitGridValues64, gyroid, kGyroid)->Unit(benchmark::kMillisecond);

void BM_ParametricSurface200(benchmark::State& state) {
  InstallAlgebraSeams();
  GraphicsContext* context = NewGLContextRecord();
  context->viewFrame = &gFrame;
  double range[4] = {0, kTwoPi, 0, kPi};
  {
    GraphSurface3D graph(Function("times[cos[u],sin[v]]"), Function("times[sin[u],sin[v]]"), Function("cos[v]"),
                         kGrain200, 1.0, new GraphColor(context), nullptr, 2, &range[0], &range[1], &range[2],
                         &range[3], context);
    for (auto _ : state) {
      graph.Invalidate();
      graph.Compute(1 << 30);
      benchmark::DoNotOptimize(graph.TriangleCount());
    }
    state.counters["samples/side"] = graph.GridSize();
    state.counters["triangles"] = graph.TriangleCount();
    state.counters["analytic"] = graph.HasDerivatives();
  }
  DeleteGLContextRecord(context);
}
BENCHMARK(BM_ParametricSurface200)->Unit(benchmark::kMillisecond);

// Reference: the three coordinate functions at every sample through the shared grid context.
void BM_ParametricGridValues200(benchmark::State& state) {
  InstallAlgebraSeams();
  CompiledFunction* f[3] = {Function("times[cos[u],sin[v]]"), Function("times[sin[u],sin[v]]"), Function("cos[v]")};
  EvalContext* context = CompileFunctionsShared3(f[0], f[1], f[2]);
  const int32_t n = 200;
  PrepareSampleGrid(0, 0, kTwoPi / (n - 1), kPi / (n - 1), n, n, context);
  for (auto _ : state) {
    double sum = 0;
    for (int32_t i = 0; i < n; ++i)
      for (int32_t j = 0; j < n; ++j)
        for (CompiledFunction* g : f) sum += EvaluateAtGridPoint(g, i, j, context);
    benchmark::DoNotOptimize(sum);
  }
  DisposeEvalContext(context);
  for (CompiledFunction* g : f) DeleteCompiledFunction(g);
}
BENCHMARK(BM_ParametricGridValues200)->Unit(benchmark::kMillisecond);

}  // namespace
