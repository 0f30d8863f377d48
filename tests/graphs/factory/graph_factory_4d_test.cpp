// The factory's 4D forms from formula text: (x, y, u, v) = f(t) a 4D curve over the 4D view's t
// range, (x, y, u, v) = f(u, v) a 4D surface over its u and v ranges, w = f(z) a surface over the
// complex plane of its x and y ranges, a list of constant 4-vectors a polyline; each in the 4D
// view with its row and its ranges in use, conditions on the fourth coordinate kept, and every
// refused allocation leaving the tables as they were. Sample values by hand for ranges -2..2 (a
// cube coordinate is half the world's): (cos t, sin t, t, 0) at t = 1, and z^2 at z = 1 + i
// (Re 0, Im 2).
#include <cmath>

#include "graphs/core/rotation_matrices.h"
#include "graphs/factory/graph_factory.h"
#include "graphs/view4d/graph_curve_4d.h"
#include "graphs/view4d/graph_surface_4d.h"
#include "kernel/memory/memory_budget.h"
#include "tests/graphs/graphs_test_support.h"

namespace {

using graphs_test::Tree;

class Factory4DTest : public graphs_test::GraphsTest {
 protected:
  void SetUp() override {
    GraphsTest::SetUp();
    Open();
  }
  void TearDown() override {
    DestroyViewSet(&set);
    GraphsTest::TearDown();
  }
  void Open() {
    DestroyViewSet(&set);
    InitViewSet(&set, MakeRect(0, 0, 200, 200), &document);
    BuildGraphsForEquationSet(&set, false, true, false, false, &transform);
  }
  int32_t Build(const std::string& text, int32_t* message = nullptr) {
    Tree tree(text);
    return CreateGraphsForEquation(&set, tree, false, true, &transform, 1, 0, 0.5, 2, 1, &document, message);
  }
  template <typename G>
  G* Graph(int32_t i) {
    return dynamic_cast<G*>(set.view4D->graphs.data[i]);
  }
  void ComputeAll() {
    for (int ticks = 0; !ViewSetAllViewsReady(&set) && ticks < 1000; ++ticks) ViewSetIdleTick(&set, 1 << 20);
    ASSERT_TRUE(ViewSetAllViewsReady(&set));
  }
  graphs_test::FakeDocument document;
  GraphViewSet set;
  CoordinateTransform transform;
};

TEST_F(Factory4DTest, EachFormBuildsItsKindInThe4DViewWithItsRanges) {
  const struct {
    const char* text;
    bool curve;
    std::vector<int32_t> ranges;  // in use besides x, y, z, w
  } cases[] = {
      {"equal[matrix[4,1,x,y,u,v],matrix[4,1,cos[t],sin[t],t,0]]", true, {kRangeT}},
      {"equal[matrix[4,1,x,y,u,v],matrix[4,1,u,v,times[u,v],0]]", false, {kRangeU, kRangeV}},
      {"equal[w,power[z,2]]", false, {}},
      {"comma[matrix[4,1,0,0,0,0],matrix[4,1,1,1,1,1],matrix[4,1,2,0,1,0]]", true, {}},
  };
  for (const auto& c : cases) {
    Open();
    int32_t message = -1;
    ASSERT_EQ(Build(c.text, &message), 0) << c.text;
    EXPECT_EQ(message, 0);
    const GraphTableRow& row = set.graphTable.data[0];
    EXPECT_TRUE(row.pair[0].view == kView4D && row.pair[0].index == 0) << c.text;
    EXPECT_EQ(Graph<GraphCurve4D>(0) != nullptr, c.curve) << c.text;
    EXPECT_EQ(Graph<GraphSurface4D>(0) != nullptr, !c.curve) << c.text;
    std::vector<int32_t> inUse;
    for (int32_t n = kRangeSecondX; n < kRangeCount; ++n) {
      if (set.rangeInUse[n]) inUse.push_back(n);
    }
    EXPECT_EQ(inUse, c.ranges) << c.text;
    for (int32_t n = kRangeX; n <= kRangeW; ++n) EXPECT_TRUE(set.rangeInUse[n]) << c.text;
    ComputeAll();
    EXPECT_EQ(ViewSetGetSlotEntry(&set, 0), 0) << c.text;
  }
}

TEST_F(Factory4DTest, TheHelixAndTheSquareOfZTakeTheirValues) {
  ASSERT_EQ(Build("equal[matrix[4,1,x,y,u,v],matrix[4,1,cos[t],sin[t],t,0]]"), 0);
  ComputeAll();
  GraphCurve4D* curve = Graph<GraphCurve4D>(0);
  const int32_t last = curve->SampleCount() - 1;
  const double* p = curve->Points() + 4 * last;  // t = 1, the t range 0..1
  EXPECT_TRUE(p[0] == std::cos(1.0) / 2 && p[1] == std::sin(1.0) / 2 && p[2] == 0.5 && p[3] == 0);

  Open();
  set.view4D->axisRanges[1] = 1;  // x (the real part) over -2..1: u runs to 1
  ASSERT_EQ(Build("equal[w,power[z,2]]"), 0);
  ComputeAll();
  GraphSurface4D* surface = Graph<GraphSurface4D>(0);
  const int32_t n = surface->GridSize();
  const double* corner = surface->Points() + 4 * (n * n - 1);  // u = 1, v = 2: z^2 = -3 + 4i
  EXPECT_NEAR(corner[0], (1 - -0.5) * 2 / 3.0, 1e-15);
  EXPECT_NEAR(corner[1], 1, 1e-15);
  EXPECT_NEAR(corner[2], -1.5, 1e-14);
  EXPECT_NEAR(corner[3], 2, 1e-14);
}

TEST_F(Factory4DTest, ConditionsSeeTheFourthCoordinate) {
  // The helix's w is t: kept where w > 0.5.
  ASSERT_EQ(Build("comma[equal[matrix[4,1,x,y,u,v],matrix[4,1,cos[t],sin[t],0,t]],greaterthan[w,0.5]]"), 0);
  ComputeAll();
  GraphCurve4D* curve = Graph<GraphCurve4D>(0);
  for (int32_t k = 0; k < curve->SampleCount(); ++k) {
    EXPECT_EQ(curve->Valid()[k] != 0, curve->SampleParameter(k, 0, 1) > 0.5) << k;
  }
  Open();
  ASSERT_EQ(Build("comma[equal[w,power[z,2]],greaterthan[w,100]]"), 0);  // Im z^2 <= 8 here
  ComputeAll();
  EXPECT_EQ(ViewSetGetSlotEntry(&set, 0), 11);
}

// The view set hands a 4D view option its value: the trackball kind, and a quarter turn in xy.
TEST_F(Factory4DTest, TheThirdViewCommandPassesItsValueToThe4DView) {
  ViewSetThirdViewCommand(&set, kOption4DPreset, 2);
  EXPECT_EQ(set.view4D->trackballKind, 2);
  SetIdentity4(set.view4D->orientation);
  ViewSetThirdViewCommand(&set, 96, 180);
  EXPECT_NEAR(set.view4D->orientation[1], 1, 1e-15);
  EXPECT_NEAR(set.view4D->orientation[4], -1, 1e-15);
}

TEST_F(Factory4DTest, EveryRefusedAllocationLeavesTheTablesAsTheyWere) {
  int32_t failures = 0;
  for (const char* text : {"equal[matrix[4,1,x,y,u,v],matrix[4,1,cos[t],sin[t],t,0]]", "equal[w,power[z,2]]",
                           "comma[matrix[4,1,0,0,0,0],matrix[4,1,1,1,1,1]]"}) {
    for (uint64_t n = 1; n < 80; ++n) {
      Open();
      Tree tree(text);
      FailAllocationAt(n);
      const int32_t row = CreateGraphsForEquation(&set, tree, false, true, &transform, 1, 0, 1, 2, 1, &document);
      ResetMemoryBudgetForTest();
      const int32_t rows = set.graphTable.count, listed = set.view4D->graphs.count;
      EXPECT_TRUE((row == 0 && rows == 1 && listed == 1) || (row == -1 && rows == 0 && listed == 0)) << text << n;
      EXPECT_TRUE(CheckViewSet(&set));
      failures += row == -1;
      // A graph that lost its arrays is complete and says why.
      if (row == 0 && IsErrorPosted(kErrorOutOfMemory)) ComputeAll();
      ResetErrorRegister();
    }
  }
  EXPECT_GT(failures, 0);
  // A constructor that cannot have its object frees what it was to take.
  Open();
  GraphsGlobals().constructors.surface4D = [](CompiledFunction*, CompiledFunction*, CompiledFunction*,
                                              CompiledFunction*, double, double, GraphColor*, CompiledFunction*,
                                              const double*, const double*, const double*, const double*,
                                              GraphicsContext*, const Projection4D*) -> GraphKind4D* { return nullptr; };
  EXPECT_EQ(Build("equal[w,power[z,2]]"), -1);
  EXPECT_TRUE(set.graphTable.count == 0 && set.view4D->graphs.count == 0);
}

}  // namespace
