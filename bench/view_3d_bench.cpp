// One frame of the 3D view on Mesa's software renderer (llvmpipe): a 200 x 200 sample surface
// (40,000 vertices, 79,202 triangles, in buffer objects) with the view's box framing it and the
// axes, drawn by GraphView3D::DrawFrame into an 800 x 600 view and read back into the pane buffer
// (the headless program's road). The reference is the same frame without the surface (clear,
// camera, axes, read-back). The goal is 60 frames a second or more. The software rasteriser's
// frame is measured too. Skipped where no EGL display can be opened.
#include "bench/view_3d_frames.h"
#include "tests/graphs/view3d/sample_surface.h"

namespace {

void DrawFrames(benchmark::State& state, int32_t kind, int32_t samples) {
  bench_3d::DrawViewFrames(state, kind, [samples](GraphView3D& view) -> const char* {
    if (samples <= 0) return nullptr;
    auto* surface = new sample_surface::Bump3D(samples, view.settings.camera.box, view.context);
    if (PtrArrayAppend(view.graphs, static_cast<GraphKind*>(surface))) return nullptr;
    delete surface;
    return "no room for the surface";
  });
}

}  // namespace

static void BM_View3DFrameSurface200(benchmark::State& state) { DrawFrames(state, kContextGLOffscreen, 200); }
BENCHMARK(BM_View3DFrameSurface200)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_View3DFrameAxesOnly(benchmark::State& state) { DrawFrames(state, kContextGLOffscreen, 0); }
BENCHMARK(BM_View3DFrameAxesOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_View3DFrameSurface200Software(benchmark::State& state) { DrawFrames(state, kContextQuickDraw, 200); }
BENCHMARK(BM_View3DFrameSurface200Software)->Unit(benchmark::kMillisecond)->UseRealTime();
