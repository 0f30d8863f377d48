// The 3D frame pipeline: whole frames of a lit 100 x 100-vertex surface at 600 x 400 in the
// software kind and the offscreen GL kind (begin, draw the mesh, end with the frame in the
// document's buffer), and the upload of a 250,000-triangle mesh into buffer objects. The GL
// cases run on Mesa's software renderer and are skipped where no EGL display can be opened.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "graphics/gl/frame_setup.h"
#include "graphics/gl/gl_globals.h"
#include "graphics/gl/gl_material.h"
#include "graphics/gl/gl_mesh.h"
#include "graphics/gl/mesh_drawing.h"
#include "graphics/qd_layer.h"

namespace {

GWorldPtr gBuffer = nullptr;

// z = sin(3x) cos(2y) / 2 over [-1, 1]^2 with its normals, on a grid of `side` x `other` vertices.
struct Surface {
  std::vector<float> vertices, normals;
  std::vector<uint32_t> triangles;
  Surface(int side, int other) {
    for (int i = 0; i < other; ++i) {
      for (int j = 0; j < side; ++j) {
        const double x = -1 + 2.0 * j / (side - 1), y = -1 + 2.0 * i / (other - 1);
        const double zx = 1.5 * std::cos(3 * x) * std::cos(2 * y), zy = -std::sin(3 * x) * std::sin(2 * y);
        const double n = std::sqrt(zx * zx + zy * zy + 1);
        vertices.insert(vertices.end(), {float(x), float(y), float(std::sin(3 * x) * std::cos(2 * y) / 2)});
        normals.insert(normals.end(), {float(-zx / n), float(-zy / n), float(1 / n)});
      }
    }
    for (int i = 0; i + 1 < other; ++i) {
      for (int j = 0; j + 1 < side; ++j) {
        const uint32_t a = i * side + j, b = a + side;
        triangles.insert(triangles.end(), {a, b, a + 1, a + 1, b, b + 1});
      }
    }
  }
};

const ViewFrame kFrame = {{0.8, 0, -0.6, 0, 1, 0, 0.6, 0, 0.8}, {-1, 1, -1, 1, -1, 1}, 1.0, 3.4641016151377544};

// A context of `kind` over a 600 x 400 view, or null (the state is marked skipped).
GraphicsContext* MakeContext(benchmark::State& state, int32_t kind) {
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  if (kind != kContextQuickDraw && !DetectOpenGL()) {
    state.SkipWithError("no EGL display");
    return nullptr;
  }
  const QDRect view = MakeRect(0, 0, 600, 400);
  gBuffer = NewGWorld32(view);
  GLGlobals().document.offscreenBuffer = [](void*) { return gBuffer; };
  GraphicsContext* ctx = NewGLContextRecord();
  SetRequestedContextKind(ctx, kind);
  if (PrepareGraphicsContext(ctx, view, &kFrame) != kind) {
    state.SkipWithError("kind not built");
    DeleteGLContextRecord(ctx);
    return nullptr;
  }
  return ctx;
}

void ReleaseContext(GraphicsContext* ctx) {
  DetachGLContext(ctx);
  DestroyRetiredGLContexts();
  DeleteGLContextRecord(ctx);
  SafeDisposeGWorld(gBuffer);
  GLGlobals().document = HeadlessDocumentServices();
}

void SurfaceFrames(benchmark::State& state, int32_t kind) {
  GraphicsContext* ctx = MakeContext(state, kind);
  if (ctx == nullptr) return;
  const Surface surface(100, 100);
  GLMesh mesh;
  SetGLTriangleMesh(&mesh, surface.vertices.data(), surface.normals.data(), nullptr, nullptr,
                    surface.triangles.data(), uint32_t(surface.vertices.size() / 3),
                    uint32_t(surface.triangles.size() / 3), 0, ctx);
  for (auto _ : state) {
    BeginGLFrame(ctx, 0);
    SetGLMaterialColor(0x40C0FF, ctx);
    DrawGLMesh(&mesh);
    benchmark::DoNotOptimize(EndGLFrame(ctx));
  }
  state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  DestroyGLMesh(&mesh);
  ReleaseContext(ctx);
}

}  // namespace

static void BM_SurfaceFrameSoftware(benchmark::State& state) { SurfaceFrames(state, kContextQuickDraw); }
BENCHMARK(BM_SurfaceFrameSoftware)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_SurfaceFrameOffscreenGL(benchmark::State& state) { SurfaceFrames(state, kContextGLOffscreen); }
BENCHMARK(BM_SurfaceFrameOffscreenGL)->Unit(benchmark::kMillisecond)->UseRealTime();

// 251 x 501 vertices: 2 x 250 x 500 = 250,000 triangles into buffer objects, GL finished.
static void BM_UploadQuarterMillionTriangles(benchmark::State& state) {
  GraphicsContext* ctx = MakeContext(state, kContextGLOffscreen);
  if (ctx == nullptr) return;
  const Surface surface(251, 501);
  GLMesh mesh;
  for (auto _ : state) {
    SetGLTriangleMesh(&mesh, surface.vertices.data(), surface.normals.data(), nullptr, nullptr,
                      surface.triangles.data(), uint32_t(surface.vertices.size() / 3),
                      uint32_t(surface.triangles.size() / 3), 0, ctx);
    GLApi().Finish();
  }
  if (mesh.storage != kMeshBufferObjects) state.SkipWithError("not in buffer objects");
  state.SetItemsProcessed(state.iterations() * int64_t(surface.triangles.size() / 3));
  DestroyGLMesh(&mesh);
  ReleaseContext(ctx);
}
BENCHMARK(BM_UploadQuarterMillionTriangles)->Unit(benchmark::kMillisecond)->UseRealTime();
