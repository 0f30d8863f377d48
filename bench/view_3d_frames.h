// The frame loop the 3D view benchmarks share: an 800 x 600 GraphView3D of one context kind on
// Mesa's software renderer (llvmpipe) or the software rasteriser, whose graphs the caller adds;
// they are computed whole and uploaded, one frame builds the context, then each iteration is one
// DrawFrame (read back into the pane buffer in the GL kinds). Skipped where no EGL display can be
// opened, or when `add` says the frame is not what was asked for.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdlib>

#include "graphics/gl/gl_globals.h"
#include "graphics/gl/graphics_context.h"
#include "graphics/qd_layer.h"
#include "graphs/view3d/graph_view_3d.h"

namespace bench_3d {

inline GWorldPtr gPane = nullptr;

// add(view) appends the graphs and answers an error text, or null when the frame may be measured.
template <typename AddGraphs>
void DrawViewFrames(benchmark::State& state, int32_t kind, AddGraphs add) {
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
    const char* error = add(view);
    view.Tick(1 << 30);
    view.SetOption(kOptionUploadMeshes, 0);
    view.DrawFrame();  // builds the context and moves the meshes into it
    if (error == nullptr && GLContextKind(view.context) != kind) error = "kind not built";
    if (error != nullptr) state.SkipWithError(error);
    for (auto _ : state) benchmark::DoNotOptimize(view.DrawFrame());
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  }
  DestroyRetiredGLContexts();
  SafeDisposeGWorld(gPane);
  gPane = nullptr;
  GLGlobals().document = HeadlessDocumentServices();
}

}  // namespace bench_3d
