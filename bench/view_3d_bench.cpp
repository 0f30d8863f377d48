// One frame of the 3D view on Mesa's software renderer (llvmpipe): a 200 x 200 sample surface
// (40,000 vertices, 79,202 triangles, in buffer objects) with the view's box framing it and the
// axes, drawn by GraphView3D::DrawFrame into an 800 x 600 view and read back into the pane buffer
// (the headless program's road). The reference is the same frame without the surface (clear,
// camera, axes, read-back). The goal is 60 frames a second or more. The software rasteriser's
// frame is measured too. Skipped where no EGL display can be opened.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "graphics/gl/gl_globals.h"
#include "graphics/gl/graphics_context.h"
#include "graphics/qd_layer.h"
#include "graphs/view3d/graph_view_3d.h"
#include "tests/graphs/view3d/sample_surface.h"

namespace {

GWorldPtr gPane = nullptr;

void DrawFrames(benchmark::State& state, int32_t kind, int32_t samples) {
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  setenv("EGL_PLATFORM", "surfaceless", 1);
  if (kind != kContextQuickDraw && !DetectOpenGL()) {
    state.SkipWithError("no EGL display");
    return;
  }
  const QDRect pane = MakeRect(0, 0, 800, 600);
  gPane = NewGWorld32(pane);
  GLGlobals().document.offscreenBuffer = [](void*) { return gPane; };
  {
    GraphView3D view;
    view.rect = pane;
    view.SetOption(kOptionStopSpin, 0);
    SetRequestedContextKind(view.context, kind);
    if (samples > 0) {
      auto* surface = new sample_surface::Bump3D(samples, view.settings.camera.box, view.context);
      PtrArrayAppend(view.graphs, static_cast<GraphKind*>(surface));
    }
    view.Tick(1 << 30);
    view.SetOption(kOptionUploadMeshes, 0);
    view.DrawFrame();  // builds the context and moves the mesh into it
    if (GLContextKind(view.context) != kind) state.SkipWithError("kind not built");
    for (auto _ : state) benchmark::DoNotOptimize(view.DrawFrame());
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  }
  DestroyRetiredGLContexts();
  SafeDisposeGWorld(gPane);
  GLGlobals().document = HeadlessDocumentServices();
}

}  // namespace

static void BM_View3DFrameSurface200(benchmark::State& state) { DrawFrames(state, kContextGLOffscreen, 200); }
BENCHMARK(BM_View3DFrameSurface200)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_View3DFrameAxesOnly(benchmark::State& state) { DrawFrames(state, kContextGLOffscreen, 0); }
BENCHMARK(BM_View3DFrameAxesOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_View3DFrameSurface200Software(benchmark::State& state) { DrawFrames(state, kContextQuickDraw, 200); }
BENCHMARK(BM_View3DFrameSurface200Software)->Unit(benchmark::kMillisecond)->UseRealTime();
