// One frame of the 3D view on Mesa's software renderer (llvmpipe) with 10,000 arrows of a vector
// field: F = (-y, x, 0) at a 100 x 100 grid of points of the plane z = 0 (the glyphs a field on a
// surface hands over), 50,000 vertices and 40,000 line segments, drawn with the axes by
// GraphView3D::DrawFrame into an 800 x 600 view and read back into the pane buffer. The arrows are
// scaled as the grid field scales them, the longest half a grid step long (0.02, about 4 pixels);
// the OwnLength variant draws them at the field's own length (up to 2.8, most of the view, each
// pixel covered by many arrows), the most the rasteriser can be asked to fill. The reference is
// the same frame without the arrows. The goal is the frame under 16 ms. The evaluation and layout
// of the 10,000 arrows (once per parameter change) and the software rasteriser's frame are
// measured too. Skipped where no EGL display can be opened.
#include "bench/view_3d_frames.h"
#include "graphs/core/graph_color.h"
#include "graphs/factory/factory_helpers.h"
#include "graphs/view3d/graph_view_3d.h"
#include "graphs/view3d/vector_glyphs_3d.h"
#include "kernel/text/formula_reader.h"

namespace {

constexpr int32_t kSide = 100;  // arrows a side: 10,000

CompiledFunction* FunctionOfText(const char* text) {
  SetFormulaReaderText(text);
  return NewFunctionOver(ParseFormulaText());
}

// The grid of points over [-2, 2]^2 at z = 0.
void FillGrid(GridPointPool& points) {
  for (int32_t i = 0; i < kSide; ++i) {
    for (int32_t j = 0; j < kSide; ++j) {
      if (ChunkPoolAppend(points, GridPoint3{-2 + 4.0 * i / (kSide - 1), -2 + 4.0 * j / (kSide - 1), 0}) != 0) return;
    }
  }
}

// The longest arrow's length: half a grid step, or 0 for every arrow at its own length.
constexpr double kHalfStep = 0.5 * 4.0 / (kSide - 1);
constexpr double kOwnLength = 0.0;

GraphGlyphs3D* NewRotationGlyphs(const GridPointPool* points, GraphicsContext* context, const double* lengthScale) {
  return new GraphGlyphs3D(FunctionOfText("minus[y]"), FunctionOfText("x"), FunctionOfText("0"),
                           new GraphColor(context), lengthScale, points, context);
}

// lengthScale null: no arrows.
void DrawFrames(benchmark::State& state, int32_t kind, const double* lengthScale) {
  GridPointPool points;
  FillGrid(points);
  bench_3d::DrawViewFrames(state, kind, [&](GraphView3D& view) -> const char* {
    if (lengthScale == nullptr) return nullptr;
    GraphGlyphs3D* glyphs = NewRotationGlyphs(&points, view.context, lengthScale);
    if (!PtrArrayAppend(view.graphs, static_cast<GraphKind*>(glyphs))) {
      delete glyphs;
      return "no room for the arrows";
    }
    return nullptr;
  });
  ChunkPoolClear(points);
}

// The arrows made again, as after a change of F's parameter: evaluation of the 10,000 vectors,
// scaling and heads, and the upload of the line mesh (no frame).
void BM_GlyphsCompute10000(benchmark::State& state) {
  GridPointPool points;
  FillGrid(points);
  GraphicsContext* context = NewGLContextRecord();
  GraphGlyphs3D* glyphs = NewRotationGlyphs(&points, context, &kHalfStep);
  for (auto _ : state) {
    glyphs->Invalidate();
    glyphs->Compute(1 << 30);
    glyphs->SetOption(5, 0);
  }
  delete glyphs;
  DeleteGLContextRecord(context);
  ChunkPoolClear(points);
}

}  // namespace

static void BM_View3DFrameGlyphs10000(benchmark::State& state) {
  DrawFrames(state, kContextGLOffscreen, &kHalfStep);
}
BENCHMARK(BM_View3DFrameGlyphs10000)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_View3DFrameGlyphs10000OwnLength(benchmark::State& state) {
  DrawFrames(state, kContextGLOffscreen, &kOwnLength);
}
BENCHMARK(BM_View3DFrameGlyphs10000OwnLength)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_View3DFrameNoGlyphs(benchmark::State& state) { DrawFrames(state, kContextGLOffscreen, nullptr); }
BENCHMARK(BM_View3DFrameNoGlyphs)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_View3DFrameGlyphs10000Software(benchmark::State& state) {
  DrawFrames(state, kContextQuickDraw, &kHalfStep);
}
BENCHMARK(BM_View3DFrameGlyphs10000Software)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK(BM_GlyphsCompute10000)->Unit(benchmark::kMillisecond);
