// GraphSurface4D against hand values: grid sizes from the grain (74 q + 5: 5 and 79, the default 42
// for a grain that is not a number or out of range), the plane (u, v, 0, 0) over [-1, 1]^2 in a
// -2..2 cube seen from the identity orientation (vertices (u/2, v/2, 0), normals (0, 0, 1)), the
// triangles of cells with missing corners, nothing drawn before the last row, one-unit clock slices
// giving the arrays of one whole call, finite-difference normals without derivatives, derivatives
// scaled into the cube when the ranges differ, colours by mode (kept between fixed colours, made
// again otherwise, expressions following a parameter), and refused memory at every allocation.
// The algebra's differentiation is stood in for by a pass that knows d(s)/ds = 1 and d(c)/ds = 0
// for a symbol or number c and leaves anything else undefined.
#include <cmath>

#include "graphics/colour/colour_shader_programs.h"
#include "graphs/core/graph_color.h"
#include "graphs/view4d/graph_surface_4d.h"
#include "graphs/view4d/graph_view_4d.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/trees/node_kinds.h"
#include "tests/graphs/graphs_test_support.h"

namespace {

using graphs_test::FunctionOf;

// The derivative node (expression, variable) becomes 1, 0, or NaN.
void KnownDerivatives(ExprNode* tree) {
  const ExprNode* e = tree->children[0];
  const ExprNode* s = tree->children[1];
  double d = std::nan("");
  if (e->kind == KindNum) d = 0;
  if (e->kind == KindChar) d = e->value.symbol == s->value.symbol ? 1 : 0;
  ReplaceExpression(NewNumberNode(d), tree);
}

class Surface4DTest : public graphs_test::GraphsTest {
 protected:
  void SetUp() override {
    GraphsTest::SetUp();
    SetExpandDerivativesPass(KnownDerivatives);
    view = new GraphView4D();
    for (int k = 0; k < 16; ++k) view->orientation[k] = k % 5 == 0 ? 1 : 0;  // x, y, z drawn as they stand
    view->Update4DProjection();
  }
  void TearDown() override {
    delete graph;
    delete view;
    GraphsTest::TearDown();
  }
  GraphSurface4D* Surface(const char* x, const char* y, const char* z, const char* w, double grain = 0,
                          const char* condition = nullptr, GraphColor* color = nullptr) {
    delete graph;
    if (color == nullptr) color = new GraphColor(view->context);
    graph = new GraphSurface4D(FunctionOf(x), FunctionOf(y), FunctionOf(z), FunctionOf(w), grain, 1.0, color,
                               condition != nullptr ? FunctionOf(condition) : nullptr, &range[0], &range[1],
                               &range[2], &range[3], view->context, &view->projection);
    return graph;
  }
  GraphSurface4D* Computed(GraphSurface4D* made) {
    made->Compute(graphs_test::kAll);
    EXPECT_TRUE(made->IsComplete());
    return made;
  }
  GraphView4D* view = nullptr;
  GraphSurface4D* graph = nullptr;
  double range[4] = {-1, 1, -1, 1};
};

TEST_F(Surface4DTest, TheGrainSetsTheGridAndAFullGridHasTwoTrianglesACell) {
  struct Case {
    double grain;
    int32_t n;
  } cases[] = {{0, 5}, {1, 79}, {0.5, 42}, {2, 153}, {std::nan(""), 42}, {-1, 42}, {1e9, 42}};
  for (const Case& c : cases) {
    Computed(Surface("u", "v", "0", "0", c.grain));
    EXPECT_EQ(graph->GridSize(), c.n) << c.grain;
    EXPECT_EQ(graph->TriangleCount(), uint32_t(2 * (c.n - 1) * (c.n - 1))) << c.grain;
    EXPECT_EQ(graph->Status(), 0);
  }
  graph->SetOption(8, 0);
  EXPECT_TRUE(graph->GridSize() == 5 && !graph->IsComplete());
}

TEST_F(Surface4DTest, APlaneProjectsToHalfItsParametersWithUpwardNormals) {
  Computed(Surface("u", "v", "0", "0"));
  EXPECT_TRUE(graph->HasDerivatives() && graph->AnalyticNormals());
  EXPECT_NEAR(graph->Extent(), std::sqrt(0.5), 1e-15);
  EXPECT_TRUE(graph->Draw());
  for (int32_t i = 0; i < 5; ++i) {
    for (int32_t j = 0; j < 5; ++j) {
      const int32_t k = 5 * i + j;
      const double u = -1 + 0.5 * i, v = -1 + 0.5 * j;
      const float* p = graph->Vertices() + 3 * k;
      const float* n = graph->Normals() + 3 * k;
      EXPECT_TRUE(p[0] == float(u / 2) && p[1] == float(v / 2) && p[2] == 0) << i << " " << j;
      EXPECT_TRUE(n[0] == 0 && n[1] == 0 && n[2] == 1) << i << " " << j;
    }
  }
  // Turned a quarter in the xz plane, the plane stands on edge: x' = -z, z' = x, and the normal
  // (0, 0, 1) of the derivatives' projection follows to (-1, 0, 0).
  const std::vector<double> samples(graph->Points(), graph->Points() + 4 * 25);
  view->Rotate4DInPlane(97, 180);
  view->Update4DProjection();
  graph->Draw();
  EXPECT_TRUE(graph->IsComplete());  // a turn projects again, it does not sample again
  EXPECT_EQ(std::vector<double>(graph->Points(), graph->Points() + 4 * 25), samples);
  EXPECT_NEAR(graph->Vertices()[3 * 24 + 2], 0.5, 1e-7);
  EXPECT_NEAR(graph->Normals()[0], -1, 1e-7);
  EXPECT_NEAR(graph->Normals()[2], 0, 1e-7);
}

TEST_F(Surface4DTest, MissingCornersLeaveOneTriangleOrNone) {
  // u + v > -2 fails at sample (0, 0) alone: cell (0, 0) keeps (b, c, d) = (1, 5, 6).
  Computed(Surface("u", "v", "0", "0", 0, "greaterthan[plus[u,v],minus[2]]"));
  EXPECT_EQ(graph->Valid()[0], 0);
  ASSERT_EQ(graph->TriangleCount(), 31u);
  EXPECT_EQ(std::vector<uint32_t>(graph->Triangles(), graph->Triangles() + 3), (std::vector<uint32_t>{1, 5, 6}));
  EXPECT_EQ(std::vector<uint32_t>(graph->Triangles() + 3, graph->Triangles() + 9),
            (std::vector<uint32_t>{1, 7, 2, 1, 6, 7}));  // cell (0, 1): (a, d, b), (a, c, d)
  // Row 0 fails: its cells have two corners missing and draw nothing.
  Computed(Surface("u", "v", "0", "0", 0, "greaterthan[u,minus[1]]"));
  EXPECT_EQ(graph->TriangleCount(), 24u);
  // The condition sees x, y, z, w: w = 1 everywhere here.
  Computed(Surface("u", "v", "0", "1", 0, "greaterthan[w,0.5]"));
  EXPECT_EQ(graph->TriangleCount(), 32u);
  Computed(Surface("u", "v", "0", "1", 0, "greaterthan[w,2]"));
  EXPECT_TRUE(graph->TriangleCount() == 0 && graph->Status() == 11 && graph->Draw());
  // Samples that are not finite are holes too, and no NaN is kept.
  Computed(Surface("u", "v", "sqrt[u]", "over[1,v]"));
  for (int32_t k = 0; k < 25; ++k) {
    const bool expected = -1 + 0.5 * (k / 5) >= 0 && k % 5 != 2;  // sqrt of a negative, 1 / 0
    EXPECT_EQ(graph->Valid()[k] != 0, expected) << k;
  }
  graph->Draw();
  for (int32_t k = 0; k < 3 * graph->VertexCount(); ++k) {
    EXPECT_TRUE(std::isfinite(graph->Vertices()[k]) && std::isfinite(graph->Normals()[k])) << k;
  }
  // So are finite samples whose projection would pass the floats' range: here all but the row
  // u = 0 (w = 1e39 u).
  Computed(Surface("u", "v", "0", "times[power[10,39],u]"));
  for (int32_t k = 0; k < 25; ++k) EXPECT_EQ(graph->Valid()[k] != 0, k / 5 == 2) << k;
  EXPECT_EQ(graph->TriangleCount(), 0u);
  EXPECT_EQ(graph->Extent(), 0.5);  // the holes do not count: (0, v / 2, 0, 0) at v = 1
}

TEST_F(Surface4DTest, NothingIsDrawnBeforeTheLastRowAndSlicesOrAbandonedComputesGiveTheWholeCallsArrays) {
  Computed(Surface("u", "v", "times[u,v]", "plus[u,v]", 0.6));
  const int32_t samples = graph->GridSize() * graph->GridSize();
  const std::vector<double> whole(graph->Points(), graph->Points() + 4 * samples);
  const std::vector<uint32_t> triangles(graph->Triangles(), graph->Triangles() + 3 * graph->TriangleCount());
  GraphSurface4D* sliced = Surface("u", "v", "times[u,v]", "plus[u,v]", 0.6);
  sliced->Compute(0);
  int slices = 0;
  for (; !sliced->IsComplete() && slices < 1000000; ++slices) {
    EXPECT_EQ(sliced->TriangleCount(), 0u);
    sliced->Compute(1);
  }
  EXPECT_EQ(std::vector<double>(sliced->Points(), sliced->Points() + 4 * samples), whole);
  EXPECT_EQ(std::vector<uint32_t>(sliced->Triangles(), sliced->Triangles() + 3 * sliced->TriangleCount()), triangles);
  // Abandoned again and again at its evaluations (the condition's and the colour's too): the same
  // samples, colours and count of valid ones.
  auto colour = [this] {
    auto* hsv = new GraphColor(view->context);
    hsv->mode = kColorHSVExpressions;
    hsv->component[0] = FunctionOf("plus[x,w]");
    hsv->component[1] = FunctionOf("1");
    hsv->component[2] = FunctionOf("1");
    return hsv;
  };
  const char* condition = "greaterthan[plus[u,0.5],0]";
  Computed(Surface("u", "v", "times[u,v]", "plus[u,v]", 0.6, condition, colour()));
  const std::vector<double> points(graph->Points(), graph->Points() + 4 * samples);
  const std::vector<float> colours(graph->Colors(), graph->Colors() + 3 * graph->VertexCount());
  const int32_t status = graph->Status();
  GraphSurface4D* abandoned = Surface("u", "v", "times[u,v]", "plus[u,v]", 0.6, condition, colour());
  EXPECT_GT(graphs_test::ComputeAbandonedAgainAndAgain(abandoned), 50);
  EXPECT_EQ(std::vector<double>(abandoned->Points(), abandoned->Points() + 4 * samples), points);
  EXPECT_EQ(std::vector<float>(abandoned->Colors(), abandoned->Colors() + 3 * abandoned->VertexCount()), colours);
  EXPECT_EQ(abandoned->Status(), status);
}

TEST_F(Surface4DTest, WithoutDerivativesNormalsComeFromTheNeighbours) {
  Computed(Surface("min[u,5]", "v", "0", "0"));
  EXPECT_FALSE(graph->HasDerivatives() || graph->AnalyticNormals());
  graph->Draw();
  for (int32_t k = 0; k < 25; ++k) {  // backwards differences on the last row and column keep the sense
    const float* n = graph->Normals() + 3 * k;
    EXPECT_TRUE(n[0] == 0 && n[1] == 0 && n[2] == 1) << k;
  }
  // Derivatives that are not finite somewhere: those samples take the neighbours' normals.
  Computed(Surface("u", "v", "0", "plus[u,v]"));  // d(u + v) is beyond the stand-in: not a number
  EXPECT_TRUE(graph->HasDerivatives() && !graph->AnalyticNormals());
  graph->Draw();
  EXPECT_EQ(graph->Normals()[3 * 12 + 2], 1.0f);
}

// The square u, v in [0, 1e-7] at z = 1.9 lies in the cube at z 0.95, its samples 1.25e-8 apart
// there: below the float step of 0.95 (5.7e-8), yet distinct points, so every finite-difference
// normal is (0, 0, 1).
TEST_F(Surface4DTest, AFineSquareBesideAFarCoordinateIsLit) {
  range[0] = range[2] = 0, range[1] = range[3] = 1e-7;
  Computed(Surface("min[u,5]", "v", "1.9", "0"));
  graph->Draw();
  for (int32_t k = 0; k < 25; ++k) {
    const float* n = graph->Normals() + 3 * k;
    EXPECT_TRUE(n[0] == 0 && n[1] == 0 && n[2] == 1) << k;
  }
}

TEST_F(Surface4DTest, DerivativesAreScaledIntoTheCubeWithThePositions) {
  // x over -2..2, y and z over -8..8: the plane (u, v, u, 0) has the cube tangents (1/2, 0, 1/8)
  // and (0, 1/8, 0), whose normal (-1/64, 0, 1/16) is (-1, 0, 4) / sqrt 17; the world's
  // derivatives (1, 0, 1) and (0, 1, 0) would give (-1, 0, 1) / sqrt 2 against the cube's positions.
  view->axisRanges[2] = -8, view->axisRanges[3] = 8;
  view->axisRanges[4] = -8, view->axisRanges[5] = 8;
  view->Update4DProjection();
  Computed(Surface("u", "v", "u", "0"));
  graph->Draw();
  const float* n = graph->Normals() + 3 * 12;
  EXPECT_NEAR(n[0], -1 / std::sqrt(17.0), 1e-6);
  EXPECT_NEAR(n[1], 0, 1e-7);
  EXPECT_NEAR(n[2], 4 / std::sqrt(17.0), 1e-6);
}

TEST_F(Surface4DTest, ColoursFollowTheModeAndAParameterOfTheExpressions) {
  Computed(Surface("u", "v", "0", "0"));
  graph->SetOption(6, 2);  // another fixed colour: the samples stand
  EXPECT_TRUE(graph->IsComplete() && graph->Colors() == nullptr);
  graph->SetOption(6, 10);  // checks: two copies a sample, sampled at once
  EXPECT_TRUE(graph->IsComplete());
  EXPECT_EQ(graph->VertexCount(), 50);
  ASSERT_NE(graph->Colors(), nullptr);
  EXPECT_EQ(graph->Colors()[0], 0.3f);
  EXPECT_EQ(graph->Colors()[3], 1.0f);
  EXPECT_EQ(graph->Triangles()[0], 0u);   // cell (0, 0) in copy A
  EXPECT_EQ(graph->Triangles()[6], 3u);   // cell (0, 1) in copy B of sample 1
  graph->SetOption(7, 0.25);
  EXPECT_EQ(graph->Opacity(), 0.25);

  // Red = a / 4 through the parameter slot: after the slider moves, the colours use the new a.
  SetParameterLetter('a');
  SetParameterValue(1);
  auto* color = new GraphColor(view->context);
  color->mode = kColorRGBExpressions;
  color->component[0] = FunctionOf("over[a,4]");
  color->component[1] = FunctionOf("0");
  color->component[2] = FunctionOf("times[u,2]");  // clamped into 0..1
  Computed(Surface("u", "v", "0", "0", 0, nullptr, color));
  EXPECT_EQ(graph->Colors()[0], 0.25f);
  EXPECT_EQ(graph->Colors()[2], 0.0f);
  EXPECT_EQ(graph->Colors()[3 * 24 + 2], 1.0f);
  graph->VariableChanged('b', 2);
  EXPECT_TRUE(graph->IsComplete());
  SetParameterValue(2);
  graph->VariableChanged('a', 2);
  EXPECT_FALSE(graph->IsComplete());
  graph->Compute(graphs_test::kAll);
  EXPECT_EQ(graph->Colors()[0], 0.5f);
  SetParameterLetter(0);
}

TEST_F(Surface4DTest, RefusedMemoryPostsErrorSevenAndCompletesWithStatusEleven) {
  Surface("u", "v", "0", "0");
  for (uint64_t n = 1;; ++n) {  // the grain option makes every array again
    ResetErrorRegister();
    FailAllocationAt(n);
    graph->SetOption(8, 0);
    const bool refused = CountedAllocationAttempts() >= n;
    FailAllocationAt(0);
    if (!refused) break;
    EXPECT_TRUE(IsErrorPosted(kErrorOutOfMemory)) << n;
    graph->Compute(graphs_test::kAll);
    EXPECT_TRUE(graph->IsComplete() && graph->Status() == 11 && graph->Draw()) << n;
  }
  graph->Compute(graphs_test::kAll);
  EXPECT_TRUE(graph->IsComplete() && graph->Status() == 0);
}

}  // namespace
