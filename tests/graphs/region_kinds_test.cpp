// What every region kind owes the view's time slicing: computed in one-unit slices of the real
// clock, the raster, the level lines and the vector field draw exactly what one Compute draws
// (the relation's bitmap is compared in its own test).
#include <functional>
#include <string>

#include "graphs/contour_graph.h"
#include "graphs/graph_color.h"
#include "graphs/raster_graph.h"
#include "graphs/vector_field_graph.h"
#include "tests/graphs/graphs_test_support.h"
#include "tests/platform/draw_test_support.h"

namespace {

using graphs_test::FunctionOf;

class RegionKindsTest : public graphs_test::GraphsTest {};

std::vector<uint32_t> DrawnPixels(GraphKind2D* graph) {
  draw_test::Canvas canvas(300, 200);
  canvas.Fill([](int32_t, int32_t) { return draw_test::kWhitePixel; });
  graph->Draw();
  return canvas.Pixels();
}

TEST_F(RegionKindsTest, ManyTinyBudgetsDrawWhatOneLargeBudgetDraws) {
  ViewMap map;
  SetViewMap(&map, MakeRect(0, 0, 300, 200), 150, 99, 32, -32, 1, 1);
  const std::function<GraphKind2D*()> makers[] = {
      [&] {
        return NewRasterGraph(FunctionOf("times[sin[times[3,u]],cos[times[2,v]]]"), 1, new GraphColor(nullptr), &map);
      },
      [&] {
        return NewContourGraph(FunctionOf("times[sin[times[3,x]],cos[times[2,y]]]"), 1, new GraphColor(nullptr), &map);
      },
      [&] {
        return NewVectorFieldGraph(FunctionOf("sin[y]"), FunctionOf("cos[times[x,y]]"), new GraphColor(nullptr), 0,
                                   &map, 1);
      }};
  int32_t slices = 0;
  for (const auto& make : makers) {
    GraphKind2D* whole = make();
    whole->Compute(graphs_test::kAll);
    GraphKind2D* sliced = make();
    sliced->Compute(0);  // a budget of 0 computes nothing
    for (int32_t n = 0; !sliced->IsComplete() && n < 1000000; ++n, ++slices) sliced->Compute(1);
    EXPECT_TRUE(whole->IsComplete() && sliced->IsComplete());
    EXPECT_TRUE(DrawnPixels(whole) == DrawnPixels(sliced));
    delete whole;
    delete sliced;
  }
  EXPECT_GT(slices, 3);
}

}  // namespace
