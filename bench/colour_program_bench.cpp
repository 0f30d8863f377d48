// A colour of 30 nodes (three colour expressions in parameters, theta and rho, and a condition)
// made into its GPU program, side by side in one run: the text alone; the text generated and the
// program test-loaded on Mesa's software renderer, as a preparation does (for a colour prepared
// again, and for a new one that loads the vertex half too); and, for reference, the same
// expressions compiled for the CPU path. Goal: generate + load under 1 ms.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "algebra/algebra_seams.h"
#include "graphics/colour/colour_shader_front_end.h"
#include "graphics/colour/colour_shader_programs.h"
#include "graphics/gl/gl_globals.h"
#include "graphics/gl/graphics_context.h"
#include "graphics/qd_layer.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/text/formula_reader.h"
#include "kernel/trees/expr_node.h"

namespace {

constexpr const char* kComponents[3] = {
    "plus[0.5,times[0.5,sin[times[a,x]]]]",    // 8 nodes
    "over[plus[theta,times[b,y]],times[2,pi]]",  // 9
    "exp[minus[power[plus[z,c],2]]]",            // 7
};
constexpr const char* kCondition = "lessthan[plus[x,y],rho,4]";  // 6

CompiledFunction* Function(const char* text) {
  SetFormulaReaderText(text);
  auto* f = new CompiledFunction{};
  InitFunction(f, ParseFormulaText());
  CompileFunction(f);
  return f;
}

void Delete(CompiledFunction* f) {
  DisposeFunction(f);
  delete f;
}

// The colour's functions and its node count.
struct Colour {
  CompiledFunction* component[3];
  CompiledFunction* condition;
  Colour() {
    InstallAlgebraSeams();
    for (int k = 0; k < 3; ++k) component[k] = Function(kComponents[k]);
    condition = Function(kCondition);
  }
  ~Colour() {
    for (CompiledFunction* f : component) Delete(f);
    Delete(condition);
  }
  int Nodes() const {
    int n = CountSubtreeNodes(condition->tree);
    for (CompiledFunction* f : component) n += CountSubtreeNodes(f->tree);
    return n;
  }
};

void BM_GenerateColourProgram(benchmark::State& state) {
  Colour colour;
  for (auto _ : state) {
    ParameterList parameters{};
    std::string text = BuildColorFragmentProgram(colour.component[0], colour.component[1], colour.component[2],
                                                 colour.condition, false, &parameters, false);
    benchmark::DoNotOptimize(text.data());
    FreeParameterList(&parameters);
  }
  state.counters["nodes"] = colour.Nodes();
}

// An offscreen GL context on Mesa's software renderer for the loading benchmarks.
class GLView {
 public:
  explicit GLView(benchmark::State& state) {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    if (!DetectOpenGL()) {
      state.SkipWithError("no EGL display");
      return;
    }
    GLGlobals().shaderMessages = [](const char*) {};
    buffer_ = NewGWorld32(MakeRect(0, 0, 64, 64));
    GLGlobals().document.offscreenBuffer = [](void*) { return buffer_; };
    ctx = NewGLContextRecord();
    SetRequestedContextKind(ctx, kContextGLOffscreen);
    if (PrepareGraphicsContext(ctx, MakeRect(0, 0, 64, 64), nullptr) != kContextGLOffscreen) {
      state.SkipWithError("kind not built");
    }
  }
  ~GLView() {
    if (ctx != nullptr) {
      DetachGLContext(ctx);
      DestroyRetiredGLContexts();
      DeleteGLContextRecord(ctx);
    }
    SafeDisposeGWorld(buffer_);
    GLGlobals().document = HeadlessDocumentServices();
    GLGlobals().shaderMessages = nullptr;
  }
  GraphicsContext* ctx = nullptr;

 private:
  static inline GWorldPtr buffer_ = nullptr;
};

// Prepares a colour over the Colour's functions (which stay the Colour's) `times` times or while
// the state runs; a new colour each time when `fresh`.
void PrepareColour(benchmark::State& state, bool fresh) {
  GLView view(state);
  if (view.ctx == nullptr || state.error_occurred()) return;
  Colour colour;
  auto make = [&](GraphColorCore* color) {
    color->mode = kColorRGBExpressions;
    for (int k = 0; k < 3; ++k) color->component[k] = colour.component[k];
  };
  auto release = [](GraphColorCore* color) {
    for (CompiledFunction*& f : color->component) f = nullptr;
    DeleteColorPrograms(color);
    DeleteColorParameters(color);
  };
  GraphColorCore kept(view.ctx);
  make(&kept);
  for (auto _ : state) {
    if (fresh) {
      GraphColorCore color(view.ctx);
      make(&color);
      PrepareColorShaderPrograms(&color, colour.condition, 0, view.ctx);
      if (color.mode != kColorGPUProgram) state.SkipWithError("no program");
      state.PauseTiming();
      release(&color);
      state.ResumeTiming();
    } else {
      PrepareColorShaderPrograms(&kept, colour.condition, 0, view.ctx);
      if (kept.mode != kColorGPUProgram) state.SkipWithError("no program");
    }
  }
  state.counters["nodes"] = colour.Nodes();
  release(&kept);
}

// A colour prepared again (an option changed): its program generated and loaded anew, the vertex
// half it already has in the context kept.
void BM_GenerateAndLoadColourProgram(benchmark::State& state) { PrepareColour(state, false); }
// A colour prepared for the first time: both halves loaded.
void BM_GenerateAndLoadNewColourPrograms(benchmark::State& state) { PrepareColour(state, true); }

// Reference: the CPU path compiles the three expressions as one batch.
void BM_CompileColourForCpu(benchmark::State& state) {
  Colour colour;
  for (auto _ : state) {
    CompileFunctions3(colour.component[0], colour.component[1], colour.component[2]);
    CompileFunction(colour.condition);
  }
  state.counters["nodes"] = colour.Nodes();
}

}  // namespace

BENCHMARK(BM_GenerateColourProgram)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GenerateAndLoadColourProgram)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GenerateAndLoadNewColourPrograms)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CompileColourForCpu)->Unit(benchmark::kMicrosecond);
