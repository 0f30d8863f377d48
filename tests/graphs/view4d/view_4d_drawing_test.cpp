// The 4D view's frames against golden pictures, 200 x 200 from the default orientation: the helix
// (cos t, sin t, t, 0) over t in -2..2 with the grid and axes, and the surface w = z^2 / 4 over the
// complex plane (lit by its neighbours' normals: no algebra differentiates here), each computed in
// one-unit slices of the clock, drawn by the software rasteriser (exact) and by Mesa's GL in both GL
// kinds (within 2 a channel on 0.5 % of the pixels, the frame tests' tolerance). The goldens were
// checked by eye when made: grey grid, cyan axes, the magenta helix rising through the grid; the
// magenta saddle shaded from light to dark. QV_UPDATE_GOLDENS=1 rewrites them.
#include <set>

#include "graphs/core/graph_color.h"
#include "graphs/view4d/graph_curve_4d.h"
#include "graphs/view4d/graph_surface_4d.h"
#include "graphs/view4d/graph_view_4d.h"
#include "kernel/trees/node_kinds.h"
#include "tests/graphics/gl/frame_test_support.h"
#include "tests/graphs/graphs_test_support.h"

namespace {

using gl_test::gDocument;
using graphs_test::FunctionOf;

class View4DDrawingTest : public gl_test::RealGLTest {
 protected:
  static constexpr int32_t kSide = 200;
  void SetUp() override {
    RealGLTest::SetUp();
    gDocument.buffer = NewGWorld32(MakeRect(0, 0, kSide, kSide));
    view = new GraphView4D();
    view->rect = MakeRect(0, 0, kSide, kSide);
  }
  void TearDown() override {
    delete view;
    RealGLTest::TearDown();
  }
  // Computes the view's graphs in one-unit slices, as the idle loop would.
  void ComputeInSlices() {
    for (int n = 0; !view->IsReady() && n < 1000000; ++n) view->Tick(1);
    ASSERT_TRUE(view->IsReady());
  }
  std::vector<uint32_t> Frame(int32_t kind) {
    return frame_test::ViewFrameIn(view->context, kind, kSide, [this] { return view->DrawFrame(); });
  }
  void ExpectGoldens(const std::string& name) {
    frame_test::ExpectViewGoldens(name, view->context, kSide, [this] { return view->DrawFrame(); }, "graphs");
  }
  template <typename G>
  G* Add(G* graph) {
    EXPECT_TRUE(PtrArrayAppend(view->graphs, static_cast<GraphKind*>(graph)));
    return graph;
  }
  GraphView4D* view = nullptr;
  double t[2] = {-2, 2};
};

TEST_F(View4DDrawingTest, TheHelixMatchesItsGoldens) {
  Add(new GraphCurve4D(FunctionOf("cos[u]"), FunctionOf("sin[u]"), FunctionOf("u"), FunctionOf("0"), nullptr,
                       new GraphColor(view->context), 0.5, view->context, &view->projection, &t[0], &t[1]));
  ComputeInSlices();
  ExpectGoldens("view4d-helix");
}

TEST_F(View4DDrawingTest, TheSquareOfZIsALitSurfaceMatchingItsGoldens) {
  // As the factory builds w = f(z): x = u, y = v, z = Re f(u + i v), w = Im f(u + i v).
  auto part = [](uint32_t kind) {
    return NewFunctionOver(NewUnaryNode(kind, graphs_test::Parse("times[0.25,power[plus[u,times[i,v]],2]]")));
  };
  const double* r = view->axisRanges;
  Add(new GraphSurface4D(FunctionOf("u"), FunctionOf("v"), part(KindRe), part(KindIm), 0.3, 1.0,
                         new GraphColor(view->context), nullptr, r, r + 1, r + 2, r + 3, view->context,
                         &view->projection));
  ComputeInSlices();
  const std::vector<uint32_t> pixels = Frame(kContextQuickDraw);
  std::set<uint32_t> shades;
  for (uint32_t p : pixels) {
    const int red = p >> 16 & 0xFF, green = p >> 8 & 0xFF;
    if (red > green + 40) shades.insert(p & 0xFFFFFF);  // the graph's magenta, neither grey nor cyan
  }
  EXPECT_GT(shades.size(), 40u) << "lit: many shades of the one colour";
  ExpectGoldens("view4d-square");
}

}  // namespace
