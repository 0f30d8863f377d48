// GraphCurve4D against hand values: sample counts from the grain (800 q + 200, the default for a
// grain that is not a number or would give a size out of range), the last sample at the range's
// end exactly (-3 + 999 (3.7 / 999) rounds to 0.7000000000000002), cube points half the world
// values for ranges -2..2, the extent of (cos t, sin t, t, 0) over [0, 1] (sqrt(1/4 + 1/4)),
// one-unit slices of the clock giving the arrays of one whole call, lists with undefined or
// malformed items, conditions on x, w and t, colour 13, and refused memory at every allocation.
#include <cmath>

#include "graphs/core/graph_color.h"
#include "graphs/view4d/graph_curve_4d.h"
#include "graphs/view4d/graph_view_4d.h"
#include "tests/graphs/graphs_test_support.h"

namespace {

using graphs_test::FunctionOf;

class Curve4DTest : public graphs_test::GraphsTest {
 protected:
  void SetUp() override {
    GraphsTest::SetUp();
    view = new GraphView4D();
    SetIdentity();
  }
  void TearDown() override {
    delete graph;
    delete view;
    GraphsTest::TearDown();
  }
  // The view looking along w, x, y, z drawn as they stand.
  void SetIdentity() {
    for (int k = 0; k < 16; ++k) view->orientation[k] = k % 5 == 0 ? 1 : 0;
    view->Update4DProjection();
  }
  GraphCurve4D* Curve(const std::string& x, const std::string& y, const std::string& z, const std::string& w,
                      double grain = 0.5, const std::string& condition = "") {
    delete graph;
    graph = new GraphCurve4D(FunctionOf(x), FunctionOf(y), FunctionOf(z), FunctionOf(w),
                             condition.empty() ? nullptr : FunctionOf(condition), new GraphColor(view->context),
                             grain, view->context, &view->projection, &t[0], &t[1]);
    return graph;
  }
  GraphCurve4D* List(const std::string& list, double colour = 1) {
    delete graph;
    auto* color = new GraphColor(view->context);
    SetGraphColorIndex(color, colour);
    graph = new GraphCurve4D(FunctionOf(list), color, view->context, &view->projection);
    return graph;
  }
  GraphView4D* view = nullptr;
  GraphCurve4D* graph = nullptr;
  double t[2] = {0, 1};
};

TEST_F(Curve4DTest, TheGrainSetsTheSampleCountAndTheLastSampleIsTheRangesEnd) {
  struct Case {
    double grain;
    int32_t n;
  } cases[] = {{0, 200}, {0.5, 600}, {1, 1000}, {2, 1800}, {std::nan(""), 600}, {-0.1, 120}, {-0.3, 600}, {82, 600}, {1e300, 600}};
  t[0] = -3, t[1] = 0.7;
  view->axisRanges[0] = -4, view->axisRanges[1] = 4;
  view->Update4DProjection();
  for (const Case& c : cases) {
    Curve("u", "0", "0", "0", c.grain)->Compute(graphs_test::kAll);
    ASSERT_EQ(graph->SampleCount(), c.n) << c.grain;
    EXPECT_TRUE(graph->IsComplete());
    EXPECT_EQ(graph->SampleParameter(c.n - 1, t[0], t[1]), 0.7);
    EXPECT_EQ(graph->Points()[4 * (c.n - 1)], 0.25 * 0.7) << c.grain;  // x' = (x - 0) 2 / 8
    EXPECT_EQ(graph->Points()[0], 0.25 * -3);
  }
  graph->SetOption(8, 0);  // a new grain: new arrays, sampled again
  EXPECT_TRUE(graph->SampleCount() == 200 && !graph->IsComplete() && graph->LastSample() == -1);
}

TEST_F(Curve4DTest, AHelixLiesHalfSizeInTheCubeAndSlicesGiveTheWholeCallsArrays) {
  Curve("cos[u]", "sin[u]", "u", "0")->Compute(graphs_test::kAll);
  const int32_t n = graph->SampleCount();
  for (int32_t k = 0; k < n; ++k) {
    const double u = graph->SampleParameter(k, 0, 1);
    const double* p = graph->Points() + 4 * k;
    EXPECT_TRUE(p[0] == std::cos(u) / 2 && p[1] == std::sin(u) / 2 && p[2] == u / 2 && p[3] == 0) << k;
    EXPECT_EQ(graph->Valid()[k], 1);
  }
  EXPECT_NEAR(graph->Extent(), std::sqrt(0.5), 1e-15);
  EXPECT_EQ(graph->Status(), 0);
  std::vector<double> whole(graph->Points(), graph->Points() + 4 * n);
  GraphCurve4D* sliced = Curve("cos[u]", "sin[u]", "u", "0");
  sliced->Compute(0);  // a budget of 0 computes nothing
  EXPECT_EQ(sliced->LastSample(), -1);
  int slices = 0;
  for (; !sliced->IsComplete() && slices < 1000000; ++slices) sliced->Compute(1);
  EXPECT_EQ(std::vector<double>(sliced->Points(), sliced->Points() + 4 * n), whole);
  EXPECT_GT(slices, 0);
  // Drawn from the identity orientation: the vertices are (x', y', z').
  EXPECT_TRUE(sliced->Draw());
  EXPECT_EQ(sliced->LineCount(), uint32_t(n - 1));
  EXPECT_EQ(sliced->Vertices()[3 * (n - 1) + 2], float(0.5));
}

TEST_F(Curve4DTest, ListsBreakAtUndefinedOrMalformedItems) {
  struct Case {
    std::string list;
    std::vector<uint8_t> valid;
    std::vector<uint16_t> lines;
  } cases[] = {
      {"comma[matrix[4,1,0,0,0,0],matrix[4,1,over[1,0],0,0,0],matrix[4,1,1,1,1,1],matrix[4,1,2,2,2,2]]",
       {1, 0, 1, 1}, {2, 3}},
      {"comma[matrix[4,1,0,0,0,0],matrix[4,1,0,sqrt[minus[1]],0,0],matrix[4,1,1,1,1,1]]", {1, 0, 1}, {}},
      {"comma[matrix[4,1,0,0,0,0],matrix[3,1,1,1,1],matrix[4,1,1,1,1,1]]", {1, 0, 1}, {}},  // a 3-vector item
      {"comma[matrix[4,1,0,0,0,0],matrix[4,1,1,0,0,0],matrix[4,1,1,1,0,0]]", {1, 1, 1}, {0, 1, 1, 2}},
      {"matrix[4,1,1,1,1,1]", {1}, {}},  // one point and no segment
      {"comma[matrix[4,1,9,0,0,0],matrix[4,1,0,0,0,0]]", {1, 1}, {0, 1}},  // beyond the cube still drawn
  };
  for (const Case& c : cases) {
    List(c.list)->Compute(graphs_test::kAll);
    ASSERT_EQ(graph->SampleCount(), int32_t(c.valid.size())) << c.list;
    EXPECT_EQ(std::vector<uint8_t>(graph->Valid(), graph->Valid() + c.valid.size()), c.valid) << c.list;
    graph->Draw();
    EXPECT_EQ(std::vector<uint16_t>(graph->Lines(), graph->Lines() + 2 * graph->LineCount()), c.lines) << c.list;
    graph->SetOption(8, 1);  // a list keeps one sample an item
    EXPECT_EQ(graph->SampleCount(), int32_t(c.valid.size()));
  }
  EXPECT_EQ(List("comma[matrix[4,1,1,0,0,0],matrix[4,1,over[1,0],0,0,0]]")->Extent(), 0.0);
  graph->Compute(graphs_test::kAll);
  EXPECT_EQ(graph->Extent(), 0.5);
  List("5")->Compute(graphs_test::kAll);  // no items
  EXPECT_TRUE(graph->SampleCount() == 0 && graph->IsComplete() && graph->Status() == 11);
  EXPECT_TRUE(graph->Draw());
}

TEST_F(Curve4DTest, ABehindTheEyeSampleBreaksOnlyItsOwnSegments) {
  // Depth = (50 - w' - 47.7) / 4.6: negative for w' > 2.3, a point 10 along w in a -2..2 cube.
  List("comma[matrix[4,1,0,0,0,0],matrix[4,1,1,0,0,0],matrix[4,1,1,0,0,10],matrix[4,1,0,1,0,0],"
       "matrix[4,1,0,0,0,0]]")
      ->Compute(graphs_test::kAll);
  graph->Draw();
  EXPECT_EQ(std::vector<uint16_t>(graph->Lines(), graph->Lines() + 2 * graph->LineCount()),
            (std::vector<uint16_t>{0, 1, 3, 4}));
}

// A finite sample far out (its squared cube radius past the largest double) leaves the view's
// extent finite, so the depth scale and offset stay numbers and a second, ordinary curve keeps all
// its segments (it lost them all: the far sample made the extent infinite and every depth NaN).
// The far curve's extent is its far sample's length, computed without overflow.
TEST_F(Curve4DTest, AFarSampleLeavesTheOtherCurvesDrawn) {
  const struct Case {
    const char* name;
    const char* x;
    const char* w;
    double t1;
    double extent;  // the far curve's, by hand: half the world length (ranges -2..2)
  } cases[] = {
      {"1e200", "over[u,u]", "times[u,power[10,200]]", 1, 5e199},
      {"exp t past 355", "0", "exp[u]", 360, std::exp(360.0) / 2},
      {"three at 1.7e308", "times[u,1.7,power[10,308]]", "times[u,1.7,power[10,308]]", 1, 0.85e308 * std::sqrt(3.0)},
      {"two at 1e308", "times[u,power[10,308]]", "0", 1, 5e307 * std::sqrt(2.0)},
  };
  for (const Case& c : cases) {
    t[0] = 0, t[1] = c.t1;
    double ordinaryRange[2] = {0, 1};
    auto* far = new GraphCurve4D(FunctionOf(c.x), FunctionOf(c.x), FunctionOf("0"), FunctionOf(c.w), nullptr,
                                 new GraphColor(view->context), 0, view->context, &view->projection, &t[0], &t[1]);
    auto* ordinary = new GraphCurve4D(FunctionOf("cos[u]"), FunctionOf("sin[u]"), FunctionOf("u"), FunctionOf("0"),
                                      nullptr, new GraphColor(view->context), 0, view->context, &view->projection,
                                      &ordinaryRange[0], &ordinaryRange[1]);
    ASSERT_TRUE(PtrArrayAppend(view->graphs, static_cast<GraphKind*>(far)));
    ASSERT_TRUE(PtrArrayAppend(view->graphs, static_cast<GraphKind*>(ordinary)));
    for (int n = 0; n < 3; ++n) view->Tick(graphs_test::kAll);
    ASSERT_TRUE(far->IsComplete() && ordinary->IsComplete()) << c.name;
    EXPECT_NEAR(far->Extent() / c.extent, 1.0, 1e-12) << c.name;
    EXPECT_TRUE(std::isfinite(view->extent) && view->extent <= kMax4DExtent) << c.name;
    view->Update4DProjection();
    EXPECT_TRUE(std::isfinite(view->projection.depthScale) && view->projection.depthScale > 0) << c.name;
    EXPECT_TRUE(std::isfinite(view->projection.depthOffset)) << c.name;
    EXPECT_TRUE(ordinary->Draw());
    EXPECT_EQ(ordinary->LineCount(), uint32_t(ordinary->SampleCount() - 1)) << c.name;
    EXPECT_TRUE(far->Draw());
    for (uint32_t i = 0; i < 2 * far->LineCount(); ++i) {
      const float* v = far->Vertices() + 3 * far->Lines()[i];
      ASSERT_TRUE(std::isfinite(v[0] + v[1] + v[2])) << c.name << " " << i;
    }
    DeleteGraphList(view->graphs);
  }
}

TEST_F(Curve4DTest, ConditionsSeeTheCoordinatesXYZWAndTheParameterAsT) {
  t[0] = 0, t[1] = 6.283185307179586;
  struct Case {
    std::string x, w, condition;
    bool (*kept)(double t);
  } cases[] = {
      {"cos[u]", "0", "greaterthan[x,0]", [](double t) { return std::cos(t) > 0; }},
      {"0", "over[u,4]", "greaterthan[w,1]", [](double t) { return t / 4 > 1; }},  // the fourth coordinate
      {"0", "0", "lessthan[t,1]", [](double t) { return t < 1; }},                  // the curve's parameter
  };
  for (const Case& c : cases) {
    Curve(c.x, "sin[u]", "0", c.w, 0, c.condition)->Compute(graphs_test::kAll);
    int kept = 0;
    for (int32_t k = 0; k < graph->SampleCount(); ++k) {
      const double u = graph->SampleParameter(k, t[0], t[1]);
      EXPECT_EQ(graph->Valid()[k] != 0, c.kept(u)) << c.condition << " at " << u;
      kept += graph->Valid()[k];
    }
    EXPECT_GT(kept, 0) << c.condition;
  }
  Curve("u", "0", "0", "0", 0, "greaterthan[x,100]")->Compute(graphs_test::kAll);
  EXPECT_TRUE(graph->IsComplete() && graph->Status() == 11);  // false everywhere
}

TEST_F(Curve4DTest, NoColourSamplesButDrawsNothingAndParametersRestartOnlyWhatDependsOnThem) {
  List("comma[matrix[4,1,0,0,0,0],matrix[4,1,1,0,0,0]]", 17)->Compute(graphs_test::kAll);
  EXPECT_TRUE(graph->IsComplete() && graph->Status() == 0);
  graph->Draw();
  EXPECT_EQ(graph->LineCount(), 0u);
  graph->SetOption(6, 2);
  graph->Draw();
  EXPECT_EQ(graph->LineCount(), 1u);

  Curve("times[a,u]", "0", "0", "0")->Compute(graphs_test::kAll);
  graph->VariableChanged('b', 2);
  EXPECT_TRUE(graph->IsComplete());
  graph->VariableChanged('a', 2);
  EXPECT_TRUE(!graph->IsComplete() && graph->LastSample() == -1);
  graph->Compute(graphs_test::kAll);
  graph->Invalidate();
  EXPECT_FALSE(graph->IsComplete());
}

TEST_F(Curve4DTest, RefusedMemoryPostsErrorSevenAndCompletesWithStatusEleven) {
  Curve("cos[u]", "sin[u]", "u", "0");
  for (uint64_t n = 1; n <= 5; ++n) {  // the grain option makes the five arrays again
    ResetErrorRegister();
    FailAllocationAt(n);
    graph->SetOption(8, 0.5);
    FailAllocationAt(0);
    EXPECT_TRUE(IsErrorPosted(kErrorOutOfMemory)) << n;
    graph->Compute(graphs_test::kAll);
    EXPECT_TRUE(graph->IsComplete() && graph->Status() == 11 && graph->Draw()) << n;
    EXPECT_EQ(graph->Extent(), 0.0);
  }
  graph->SetOption(8, 0.5);  // memory back: it samples again
  graph->Compute(graphs_test::kAll);
  EXPECT_TRUE(graph->IsComplete() && graph->Status() == 0);
}

}  // namespace
