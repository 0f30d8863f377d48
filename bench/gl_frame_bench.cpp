// Presenting a GL frame on Mesa's software renderer, once a frame of every 3D view: a
// single-sampled read-back (offscreen kind) and a multisampled one resolved first (window kind),
// rows flipped into a 32-bit buffer. Skipped where no EGL display can be opened.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "graphics/gl/gl_globals.h"
#include "graphics/gl/graphics_context.h"
#include "graphics/qd_layer.h"

namespace {

GWorldPtr gBuffer = nullptr;

void PresentFrames(benchmark::State& state, int32_t kind) {
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  if (!DetectOpenGL()) {
    state.SkipWithError("no EGL display");
    return;
  }
  const QDRect view = MakeRect(0, 0, 800, 600);
  gBuffer = NewGWorld32(view);
  GLGlobals().document.offscreenBuffer = [](void*) { return gBuffer; };
  GLGlobals().document.windowBackingStore = [](void*) { return gBuffer; };
  GLGlobals().document.isAntialiased = [](void*) { return true; };
  GraphicsContext* ctx = NewGLContextRecord();
  SetRequestedContextKind(ctx, kind);
  if (PrepareGraphicsContext(ctx, view, nullptr) != kind) state.SkipWithError("kind not built");
  for (auto _ : state) {
    GLApi().Clear(GL_COLOR_BUFFER_BIT);
    benchmark::DoNotOptimize(PresentGLFrame(ctx));
  }
  state.SetItemsProcessed(state.iterations() * 800 * 600);
  DetachGLContext(ctx);
  DestroyRetiredGLContexts();
  DeleteGLContextRecord(ctx);
  SafeDisposeGWorld(gBuffer);
  GLGlobals().document = HeadlessDocumentServices();
}

}  // namespace

static void BM_PresentOffscreenFrame(benchmark::State& state) { PresentFrames(state, kContextGLOffscreen); }
BENCHMARK(BM_PresentOffscreenFrame)->Unit(benchmark::kMillisecond);

static void BM_PresentMultisampledWindowFrame(benchmark::State& state) { PresentFrames(state, kContextGLWindow); }
BENCHMARK(BM_PresentMultisampledWindowFrame)->Unit(benchmark::kMillisecond);
