// The 2D view's own steps that compute between two changes of its graphs (the frames of a zoom, the
// scrolls of a pan) with the compute worker cutting every Compute up at each turn: no Compute is
// left suspended under a change, and the picture once computed is the one computed at one go.
#include <vector>

#include "graphs/core/compute_worker.h"
#include "graphs/core/graph_color.h"
#include "graphs/kinds2d/vector_field_graph.h"
#include "graphs/view2d/graph_view_2d.h"
#include "tests/graphs/graphs_test_support.h"
#include "tests/kernel/trees/tree_test_support.h"
#include "tests/platform/draw_test_support.h"

namespace {

// An uncompiled function over the text, in the tree tests' spelling (which has the bounded sum).
CompiledFunction* FunctionOf(const char* text) { return NewFunctionOver(tree_test::Build(text)); }

class View2DTurnsTest : public graphs_test::View2DTest {
 protected:
  void TearDown() override {
    SetComputeTurnsForTests(false);
    UseComputeWorker(false);
    View2DTest::TearDown();
  }
};

// A field whose every value is a sum of 3,000 terms (so each takes turns), zoomed in, panned in
// five steps and zoomed out on x: the pixels with the worker cutting everything up equal those at
// one go.
TEST_F(View2DTurnsTest, AZoomAndAPanLeaveNoComputeUnderAChange) {
  std::vector<uint32_t> pictures[2];
  for (int cut = 0; cut < 2; ++cut) {
    draw_test::Canvas canvas(200, 160);
    Place(0, 0, 200, 160);
    UseComputeWorker(cut == 1);
    SetComputeTurnsForTests(cut == 1);
    auto* field = new GraphVectorField2D(FunctionOf("minus[y]"), FunctionOf("bsum[equal[n,1],3000,over[x,power[n,2]]]"),
                                         new GraphColor(nullptr), 0, &view->drawMap, 0.6);
    ASSERT_TRUE(PtrArrayAppend(view->graphs, static_cast<GraphKind*>(field)));
    const auto complete = [&] {
      for (int tick = 0; tick < 1'000'000 && !view->IsReady(); ++tick) view->Tick(1);
    };
    complete();
    view->Command(kZoomInBoth);
    for (int step = 0; step < 5; ++step) view->ScrollView(7, -5);
    view->Command(kZoomOutX);
    complete();
    ASSERT_TRUE(view->IsReady());
    view->Draw();
    for (int32_t v = 0; v < 160; ++v)
      for (int32_t h = 0; h < 200; ++h) pictures[cut].push_back(canvas.At(h, v));
    DeleteGraphList(view->graphs);
    SetComputeTurnsForTests(false);
    UseComputeWorker(false);
  }
  EXPECT_TRUE(pictures[0] == pictures[1]) << "the picture computed in turns differs";
}

}  // namespace
