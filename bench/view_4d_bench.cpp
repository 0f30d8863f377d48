// One frame of the 4D view while it spins, on Mesa's software renderer (llvmpipe): a 100 x 100
// GraphSurface4D (x, y, z, w) = (u, v, sin(u v), cos u + sin v) over -2..2 (10,000 samples, 19,602
// triangles, analytic normals from the algebra's derivatives), turned by a double-rotation spin,
// projected, lit and drawn with the grid and axes by GraphView4D::DrawFrame into an 800 x 600 view
// and read back into the pane buffer (the headless program's road). The reference is the same
// spinning frame without the surface. The goal is 60 frames a second or more. The software
// rasteriser's frame is measured too. Skipped where no EGL display can be opened.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "algebra/algebra_seams.h"
#include "graphics/gl/gl_globals.h"
#include "graphics/gl/graphics_context.h"
#include "graphics/qd_layer.h"
#include "graphs/core/graph_color.h"
#include "graphs/factory/factory_helpers.h"
#include "graphs/view4d/graph_surface_4d.h"
#include "graphs/view4d/graph_view_4d.h"
#include "kernel/text/formula_reader.h"

namespace {

GWorldPtr gPane = nullptr;

CompiledFunction* FunctionOf(const char* text) {
  SetFormulaReaderText(text);
  return NewFunctionOver(ParseFormulaText());
}

void DrawSpinningFrames(benchmark::State& state, int32_t kind, bool surface) {
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  setenv("EGL_PLATFORM", "surfaceless", 1);
  if (kind != kContextQuickDraw && !DetectOpenGL()) {
    state.SkipWithError("no EGL display");
    return;
  }
  InstallAlgebraSeams();
  const QDRect pane = MakeRect(0, 0, 800, 600);
  gPane = NewGWorld32(pane);
  GLGlobals().document.offscreenBuffer = [](void*) { return gPane; };
  {
    GraphView4D view;
    view.rect = pane;
    SetRequestedContextKind(view.context, kind);
    GraphSurface4D* graph = nullptr;
    if (surface) {
      const double* r = view.axisRanges;
      constexpr double kGrain100 = 95.5 / 74;  // trunc(74 q + 5) = 100 samples a side
      graph = new GraphSurface4D(FunctionOf("u"), FunctionOf("v"), FunctionOf("sin[times[u,v]]"),
                                 FunctionOf("plus[cos[u],sin[v]]"), kGrain100, 1.0, new GraphColor(view.context),
                                 nullptr, r, r + 1, r + 2, r + 3, view.context, &view.projection);
    } else {
      // The spin turns only a view with graphs: one that draws nothing.
      graph = new GraphSurface4D(FunctionOf("u"), FunctionOf("v"), FunctionOf("0"), FunctionOf("0"), 0, 1.0,
                                 new GraphColor(view.context), nullptr, view.axisRanges, view.axisRanges + 1,
                                 view.axisRanges + 2, view.axisRanges + 3, view.context, &view.projection);
      graph->SetOption(6, 17);  // no colour: computed, never drawn
    }
    if (!PtrArrayAppend(view.graphs, static_cast<GraphKind*>(graph))) {
      delete graph;
      graph = nullptr;
      state.SkipWithError("no room for the graph");
    }
    if (graph != nullptr) {
      view.Tick(1 << 30);
      if (!view.IsReady() || (surface && graph->GridSize() != 100)) state.SkipWithError("surface not computed");
      view.SetOption(36, 60);   // spin in the yw plane
      view.spinSpeed1 *= 0.5;   // and, through the left quaternion alone, a second plane
      view.DrawFrame();         // builds the context
      if (GLContextKind(view.context) != kind) state.SkipWithError("kind not built");
      for (auto _ : state) benchmark::DoNotOptimize(view.DrawFrame());
      state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
      if (surface) state.counters["triangles"] = double(graph->TriangleCount());
    }
  }
  DestroyRetiredGLContexts();
  SafeDisposeGWorld(gPane);
  GLGlobals().document = HeadlessDocumentServices();
}

}  // namespace

static void BM_View4DFrameSurface100Spinning(benchmark::State& state) {
  DrawSpinningFrames(state, kContextGLOffscreen, true);
}
BENCHMARK(BM_View4DFrameSurface100Spinning)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_View4DFrameAxesOnlySpinning(benchmark::State& state) {
  DrawSpinningFrames(state, kContextGLOffscreen, false);
}
BENCHMARK(BM_View4DFrameAxesOnlySpinning)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_View4DFrameSurface100SpinningSoftware(benchmark::State& state) {
  DrawSpinningFrames(state, kContextQuickDraw, true);
}
BENCHMARK(BM_View4DFrameSurface100SpinningSoftware)->Unit(benchmark::kMillisecond)->UseRealTime();
