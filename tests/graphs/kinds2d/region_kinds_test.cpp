// What every region kind owes the view's time slicing: computed in one-unit slices of the real
// clock, the raster, the level lines, the vector field, the colour plot, the plane curve and the
// integral curves draw exactly what one Compute draws (the relation's bitmap is compared in its
// own test); and what the kinds that cache maps owe the benchmark.
#include <functional>
#include <string>

#include "graphs/kinds2d/color_plot_graph.h"
#include "graphs/kinds2d/contour_graph.h"
#include "graphs/kinds2d/curve_graph.h"
#include "graphs/core/graph_color.h"
#include "graphs/kinds2d/raster_graph.h"
#include "graphs/kinds2d/relation_graph.h"
#include "graphs/kinds2d/slope_field_graph.h"
#include "graphs/kinds2d/vector_field_graph.h"
#include "kernel/application_state.h"
#include "kernel/eval/evaluation_seams.h"
#include "tests/graphs/graphs_test_support.h"
#include "tests/platform/draw_test_support.h"

namespace {

using graphs_test::FunctionOf;

class RegionKindsTest : public graphs_test::GraphsTest {
 protected:
  void TearDown() override {
    SetBenchmarkRunning(false);
    GraphsTest::TearDown();
  }
};

std::vector<uint32_t> DrawnPixels(GraphKind2D* graph) {
  draw_test::Canvas canvas(300, 200);
  canvas.Fill([](int32_t, int32_t) { return draw_test::kWhitePixel; });
  graph->Draw();
  return canvas.Pixels();
}

TEST_F(RegionKindsTest, ManyTinyBudgetsDrawWhatOneLargeBudgetDraws) {
  ViewMap map;
  SetViewMap(&map, MakeRect(0, 0, 300, 200), 150, 99, 32, -32, 1, 1);
  double range[2] = {-3, 3};
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
      },
      [&] {
        return NewColorPlotGraph(FunctionOf("sin[x]"), FunctionOf("cos[y]"), FunctionOf("times[x,y]"), nullptr, 1,
                                 new GraphColor(nullptr), &map);
      },
      [&] {
        return NewCurveGraph(FunctionOf("times[u,cos[times[7,u]]]"), FunctionOf("sin[times[3,u]]"),
                             new GraphColor(nullptr), 1, kCurveParametric, &map, range);
      },
      [&] { return NewSlopeFieldGraph(FunctionOf("sin[times[x,y]]"), nullptr, new GraphColor(nullptr), 1, &map); }};
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

// Made while the benchmark plays, the kinds that keep maps per parameter value keep none, so
// every frame of the benchmark computes; made afterwards, they keep them again.
TEST_F(RegionKindsTest, KindsThatCacheMapsCacheNothingWhileTheBenchmarkPlays) {
  ViewMap map;
  SetViewMap(&map, MakeRect(0, 0, 100, 80), 50, 39, 32, -32, 1, 1);
  SetParameterLetter('a');
  for (bool benchmark : {true, false}) {
    SetBenchmarkRunning(benchmark);
    GraphRelation2D relation(FunctionOf("lessthan[plus[power[x,2],power[y,2]],a]"), nullptr, new GraphColor(nullptr),
                             2, 0, &map);
    GraphRaster2D raster(FunctionOf("times[a,u,v]"), 0.5, new GraphColor(nullptr), &map);
    GraphColorPlot2D plot(FunctionOf("times[a,x]"), FunctionOf("y"), FunctionOf("0"), nullptr, 0,
                          new GraphColor(nullptr), &map);
    for (double a : {1.0, 2.0}) {
      SetParameterValue(a);
      for (GraphKind2D* g : {static_cast<GraphKind2D*>(&relation), static_cast<GraphKind2D*>(&raster),
                             static_cast<GraphKind2D*>(&plot)}) {
        g->VariableChanged('a', a);
        g->Compute(graphs_test::kAll);
        EXPECT_TRUE(g->IsComplete());
      }
    }
    EXPECT_TRUE(relation.CacheOff() == benchmark && raster.CacheDisabled() == benchmark) << benchmark;
    EXPECT_EQ(relation.Cache().count, benchmark ? 0 : 2);
    EXPECT_EQ(raster.Cache().count, benchmark ? 0 : 2);
    EXPECT_TRUE(plot.CacheOff() == benchmark && plot.Cache().count == (benchmark ? 0 : 2)) << benchmark;
  }
}

}  // namespace
