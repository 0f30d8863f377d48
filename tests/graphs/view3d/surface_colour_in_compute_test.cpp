// Surfaces evaluate their colours and conditions only in their computing: a parametric, an implicit
// and a 4D surface, coloured by expressions with a slider and a folded constant or a long sum, or by
// a texture or a fixed colour under a condition with both, are built, told of the slider, re-moded,
// moved between contexts, recoloured and drawn while the worker cuts every computing at each turn:
// the main thread starts no evaluation, and each picture computed in turns is the one of one go.
#include <functional>
#include <string>
#include <vector>

#include "graphs/core/compute_worker.h"
#include "graphs/core/graph_color.h"
#include "graphs/core/graphs_state.h"
#include "graphs/view3d/implicit_surface_3d.h"
#include "graphs/view3d/parametric_surface_3d.h"
#include "graphs/view4d/graph_surface_4d.h"
#include "graphs/view4d/graph_view_4d.h"
#include "kernel/eval/evaluation_scratch.h"
#include "kernel/eval/evaluation_seams.h"
#include "tests/graphs/view3d/surface_test_support.h"
#include "tests/graphs/view3d/view_3d_frame_test.h"
#include "tests/kernel/trees/tree_test_support.h"

namespace {

using graphs_test::CutComputeIntoTurns;

// An uncompiled function over the text (bsum spelled as the test trees spell it).
CompiledFunction* FunctionOf(const std::string& text) { return NewFunctionOver(tree_test::Build(text.c_str())); }

const std::string kCostly = "bsum[equal[k,1],100000,over[1,power[k,2]]]";
const std::string kFolded = "over[3,plus[2,power[2,0.5]]]";
constexpr const char* kSphere = "plus[power[x,2],power[y,2],power[z,2],minus[1.69]]";

double gSlider = 1;
// Ticks enough for any row computed in turns, each tick one turn; a computing abandoned at every
// frame never gets there.
constexpr int kMaxTicks = 200000;

// Where each row's costs lie: expressions the GPU takes have the slider as a program parameter and
// the folded constant in the text; a sum keeps expressions on the CPU (the 4D surface always is);
// a textured colour's condition goes to the GPU whatever it holds, so the sum is a parameter there;
// a fixed colour's linear condition is a clip plane whose coefficient holds the sum.
enum class Kind { kParametric, kImplicit, k4D };
struct Row {
  const char* name;
  Kind kind;
  double index;     // the colour index; 0: hue, saturation and value from expressions
  std::string hue;  // with the slider a
  std::string condition;
  double recolour;  // the index given afterwards
};
const Row kRows[] = {
    {"parametric, expressions on the GPU", Kind::kParametric, 0, "times[a,x," + kFolded + "]", "", 3},
    {"implicit, expressions on the GPU", Kind::kImplicit, 0, "times[a,x," + kFolded + "]", "", 3},
    {"parametric, expressions with a sum", Kind::kParametric, 0, "times[a,x," + kCostly + "]", "", 3},
    {"4D, expressions with a sum", Kind::k4D, 0, "times[a,x," + kCostly + "]", "", 3},
    {"parametric, texture under a condition with a sum", Kind::kParametric, 999, "",
     "lessthan[x,times[a," + kCostly + "]]", 999},
    {"implicit, clip plane of a condition with a sum", Kind::kImplicit, 3, "", "lessthan[x,times[a," + kCostly + "]]",
     2},
};

class SurfaceColourInComputeTest : public view3d_test::View3DFrameTest {
 protected:
  void SetUp() override {
    View3DFrameTest::SetUp();
    ResetGraphsStateForTests();
    SetDefinedValueLookup([](Complex* out, int32_t key) { *out = Complex{key == 'a' ? gSlider : 1.0, 0.0}; });
    surface_test::InstallDerivatives(
        {{kSphere, 'x', "times[2,x]"}, {kSphere, 'y', "times[2,y]"}, {kSphere, 'z', "times[2,z]"}});
    const uint32_t texels[4] = {0xFF3366CCu, 0xFFCC6633u, 0xFF66CC33u, 0xFF3333CCu};
    texture_ = NewPicture(texels, 2, 2);
    GraphsGlobals().currentTexturePicture = texture_;
    bytesBefore_ = CountedBytes();
  }
  void TearDown() override {
    CutComputeIntoTurns(false);
    delete view4d_;
    view4d_ = nullptr;
    EXPECT_EQ(CountedBytes(), bytesBefore_) << "counted heap bytes leaked";
    GraphsGlobals().currentTexturePicture = nullptr;
    KillPicture(texture_);
    SetExpandDerivativesPass(nullptr);
    ResetEvaluationSeams();
    View3DFrameTest::TearDown();
  }
  // Counted bytes in use, less what process-wide records keep between tests (the evaluation
  // scratch, the node pools' free blocks, the queue of retired GL contexts).
  static size_t CountedBytes() {
    FreeEvalScratch();
    ReleaseNodePools();
    DestroyRetiredGLContexts();
    return GetBytesInUse();
  }

  // The row's surface, in the 3D view or a 4D view of its own; its context.
  GraphicsContext* Build(const Row& row) {
    if (row.kind == Kind::k4D) {
      view4d_ = new GraphView4D();
      view4d_->rect = MakeRect(0, 0, kSide, kSide);
    }
    GraphicsContext* ctx = row.kind == Kind::k4D ? view4d_->context : view->context;
    auto* colour = new GraphColor(ctx);
    SetGraphColorIndex(colour, row.index == 0 ? 1 : row.index);
    if (row.index == 0) {
      colour->mode = kColorHSVExpressions;
      const std::string texts[3] = {row.hue, "1", "1"};
      for (int k = 0; k < 3; ++k) colour->component[k] = FunctionOf(texts[k]);
    }
    CompiledFunction* condition = row.condition.empty() ? nullptr : FunctionOf(row.condition);
    if (row.kind == Kind::k4D) {
      const double* r = view4d_->axisRanges;
      Keep(view4d_, new GraphSurface4D(FunctionOf("u"), FunctionOf("v"), FunctionOf("times[0.25,power[u,2]]"),
                                      FunctionOf("times[0.25,v]"), 0.2, 1.0, colour, condition, r, r + 1, r + 2, r + 3,
                                      ctx, &view4d_->projection));
    } else if (row.kind == Kind::kParametric) {
      Keep(view, new GraphSurface3D(FunctionOf("u"), FunctionOf("v"),
                                    FunctionOf("times[0.3,plus[power[u,2],minus[power[v,2]]]]"), 0.3, 1.0, colour,
                                    condition, 2, &square_[0], &square_[1], &square_[2], &square_[3], ctx));
    } else {
      const double* box = view->settings.camera.box;
      Keep(view, new GraphImplicitSurface3D(FunctionOf(kSphere), 0.0, 1.0, colour, condition, box, box + 1, box + 2,
                                            box + 3, box + 4, box + 5, ctx));
    }
    return ctx;
  }
  static void Keep(GraphView* v, GraphKind* graph) { ASSERT_TRUE(PtrArrayAppend(v->graphs, graph)); }
  GraphView* ViewOf(const Row& row) const {
    return row.kind == Kind::k4D ? static_cast<GraphView*>(view4d_) : static_cast<GraphView*>(view);
  }
  GraphKind* Graph(const Row& row) const { return ViewOf(row)->graphs.data[0]; }

  // Ticks until the view is ready, drawing a frame now and then while it is not (in turns the
  // computing lies suspended then), and hands the meshes over.
  void Compute(const Row& row) {
    GraphView* v = ViewOf(row);
    for (int ticks = 0; !v->IsReady() && ticks < kMaxTicks; ++ticks) {
      v->Tick(graphs_test::kAll);
      if (ticks % 256 == 0 && !v->IsReady()) v->Draw();
    }
    ASSERT_TRUE(v->IsReady()) << row.name;
    if (v == view) view->SetOption(kOptionUploadMeshes, 0);
  }
  // Frames in the context's kind (a change of kind builds it first), the last one's pixels.
  std::vector<uint32_t> Frames(const Row& row, GraphicsContext* ctx, int32_t kind, int frames = 1) {
    SetRequestedContextKind(ctx, kind);
    for (int f = 0; f < frames; ++f) ViewOf(row)->Draw();
    EXPECT_EQ(GLContextKind(ctx), kind) << row.name;
    if (kind == kContextGLWindow) {
      EXPECT_TRUE(ReadGLPixelsToGWorld(ctx));
    }
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < kSide; ++y)
      for (int32_t x = 0; x < kSide; ++x) pixels.push_back(*PixelAddress(gl_test::gDocument.buffer, x, y) & 0xFFFFFF);
    return pixels;
  }

  // The row's life: each step's actions (counted), its computing, and the picture computed. The
  // main thread's runs in the steps, by name, go to `runs` when the worker is wanted.
  std::vector<std::vector<uint32_t>> Live(const Row& row, bool inTurns, std::vector<std::string>* runs) {
    CutComputeIntoTurns(inTurns);
    gSlider = 1;
    GraphicsContext* ctx = nullptr;
    std::vector<std::vector<uint32_t>> pictures;
    auto step = [&](const char* name, int32_t kind, const std::function<void()>& act) {
      const uint64_t before = MainThreadRunsForTests();
      act();
      Frames(row, ctx, kind, 3);  // drawn before any computing
      Compute(row);
      pictures.push_back(Frames(row, ctx, kind));
      const uint64_t spent = MainThreadRunsForTests() - before;
      if (inTurns && spent != 0) runs->push_back(std::string(row.name) + ": " + name + ", " + std::to_string(spent));
    };
    step("built", kContextGLOffscreen, [&] { ctx = Build(row); });
    step("slider", kContextGLOffscreen, [&] {
      gSlider = 0.5;
      Graph(row)->VariableChanged('a', gSlider);
    });
    step("plotting mode", kContextGLOffscreen, [&] { Graph(row)->SetOption(0, 2); });
    step("software context", kContextQuickDraw, [] {});
    step("window context", kContextGLWindow, [] {});
    step("colour index", kContextGLWindow, [&] { Graph(row)->SetOption(6, row.recolour); });
    CutComputeIntoTurns(false);
    if (row.kind == Kind::k4D) {
      delete view4d_;
      view4d_ = nullptr;
    } else {
      DeleteGraphList(view->graphs);
    }
    return pictures;
  }

  PicHandle texture_ = nullptr;
  GraphView4D* view4d_ = nullptr;
  double square_[4] = {-1.5, 1.5, -1.5, 1.5};
  size_t bytesBefore_ = 0;
};

TEST_F(SurfaceColourInComputeTest, OnlyTheComputingEvaluatesAndItsPicturesAreThoseOfOneGo) {
  std::vector<std::string> runs;
  for (const Row& row : kRows) {
    const std::vector<std::vector<uint32_t>> atOnce = Live(row, false, &runs);
    const std::vector<std::vector<uint32_t>> inTurns = Live(row, true, &runs);
    ASSERT_EQ(atOnce.size(), inTurns.size());
    for (size_t s = 0; s < atOnce.size(); ++s) EXPECT_TRUE(atOnce[s] == inTurns[s]) << row.name << ", step " << s;
    // The slider alone changes the picture: what only the colour or the condition reads is shown.
    EXPECT_FALSE(atOnce[0] == atOnce[1]) << row.name;
  }
  std::string list;
  for (const std::string& r : runs) list += "\n  " + r;
  EXPECT_TRUE(runs.empty()) << "runs on the main thread:" << list;
}

}  // namespace
