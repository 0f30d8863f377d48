// The 3D surfaces with the algebra's own derivatives and rewrite pass in place of the graph tests'
// stand-ins: the parametric unit sphere gets analytic normals (radial, unit, on the side of the u
// derivative cross the v derivative, the poles by finite differences), the implicit sphere its
// gradient normals (outward, unit, closed mesh), and a parametric surface's companion its
// coordinates through a space transformation rewritten by the algebra.
#include <cmath>
#include <map>
#include <set>

#include "graphics/gl/graphics_context.h"
#include "graphs/core/graph_color.h"
#include "graphs/core/graphs_state.h"
#include "graphs/factory/graph_factory.h"
#include "graphs/view3d/implicit_surface_3d.h"
#include "graphs/view3d/parametric_surface_3d.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/eval/evaluation_scratch.h"
#include "kernel/numeric/numeric_constants.h"
#include "tests/algebra/algebra_test_support.h"
#include "tests/graphs/graphs_test_support.h"

namespace {

using algebra_test::Tree;

class SurfaceDerivativesTest : public algebra_test::AlgebraTest {
 protected:
  void SetUp() override {
    FreeEvalScratch();  // grown by an earlier test in this process: not this test's to count
    AlgebraTest::SetUp();
    context = NewGLContextRecord();
    context->viewFrame = &frame;
  }
  void TearDown() override {
    DeleteGLContextRecord(context);
    ResetGraphsStateForTests();
    FreeEvalScratch();  // the compiles grew the process-wide scratch
    AlgebraTest::TearDown();
  }
  CompiledFunction* Function(const char* text) {
    auto* f = new CompiledFunction{};
    InitFunction(f, Tree(text));
    return f;
  }
  GraphColor* Colour() {
    auto* colour = new GraphColor(context);
    SetGraphColorIndex(colour, 1);
    return colour;
  }
  ViewFrame frame = {{1, 0, 0, 0, 1, 0, 0, 0, 1}, {-2, 2, -2, 2, -2, 2}, 1.7330909743, 2.3};
  GraphicsContext* context = nullptr;
};

TEST_F(SurfaceDerivativesTest, TheParametricSphereTakesItsNormalsFromTheDerivatives) {
  double range[4] = {0, kTwoPi, 0, kPi};
  GraphSurface3D s(Function("times[cos[u],sin[v]]"), Function("times[sin[u],sin[v]]"), Function("cos[v]"), 0.5, 1.0,
                   Colour(), nullptr, 2, &range[0], &range[1], &range[2], &range[3], context);
  ASSERT_TRUE(s.HasDerivatives());
  s.Compute(graphs_test::kAll);
  ASSERT_TRUE(s.IsComplete());
  const int32_t n = s.GridSize();
  for (int32_t k = 0; k < n * n; ++k) {
    ASSERT_TRUE(s.Valid()[k]);
    const float* p = s.Vertices() + 3 * k;
    const float* m = s.Normals() + 3 * k;
    double length = 0, dot = 0;
    for (int c = 0; c < 3; ++c) length += double(m[c]) * m[c], dot += double(m[c]) * p[c];
    EXPECT_NEAR(length, 1.0, 1e-6) << k;
    EXPECT_LT(dot, -0.999) << k;  // -sin v times the point: inward, and radial
  }
}

TEST_F(SurfaceDerivativesTest, TheImplicitSphereTakesItsNormalsFromTheGradient) {
  GraphImplicitSurface3D s(Function("plus[power[x,2],power[y,2],power[z,2],minus[1]]"), 0.5, 1.0, Colour(), nullptr,
                           &frame.box[0], &frame.box[1], &frame.box[2], &frame.box[3], &frame.box[4], &frame.box[5],
                           context);
  ASSERT_TRUE(s.HasGradient());
  s.Compute(graphs_test::kAll);
  ASSERT_TRUE(s.IsComplete());
  ASSERT_GT(s.VertexCount(), 0);
  for (int32_t v = 0; v < s.VertexCount(); ++v) {
    const MeshVertexRecord* r = ChunkPoolAt(s.Vertices(), v);
    const double* p = r->position;
    const double length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(r->normal[c], p[c] / length, 1e-6) << v;
  }
  std::map<std::pair<uint32_t, uint32_t>, int> edges;
  for (int32_t f = 0; f < s.TriangleCount(); ++f) {
    const uint32_t* t = ChunkPoolAt(s.Triangles(), f)->index;
    for (int k = 0; k < 3; ++k) ++edges[{std::min(t[k], t[(k + 1) % 3]), std::max(t[k], t[(k + 1) % 3])}];
  }
  for (const auto& e : edges) EXPECT_EQ(e.second, 2);
  EXPECT_EQ(s.VertexCount() - int64_t(edges.size()) + s.TriangleCount(), 2);
}

// (u, v, u v) under x' = x + 1, y' = 2 y, z' = z: the companion in the second 3D view samples
// (u + 1, 2 v, u v) over the same u and v.
TEST_F(SurfaceDerivativesTest, TheCompanionsCoordinatesGoThroughTheAlgebrasRewrite) {
  graphs_test::FakeDocument document;
  GraphViewSet set;
  InitViewSet(&set, MakeRect(0, 0, 200, 200), &document);
  CoordinateTransform transform;
  transform.mode = kTransformSpace;
  transform.expression1 = Tree("plus[x,1]");
  transform.expression2 = Tree("times[2,y]");
  transform.expression3 = Tree("z");
  BuildGraphsForEquationSet(&set, true, false, false, false, &transform);
  ExprNode* equation = Tree("equal[matrix[3,1,x,y,z],matrix[3,1,u,v,times[u,v]]]");
  EXPECT_EQ(CreateGraphsForEquation(&set, equation, true, false, &transform, 1, 0, 1, 2, 1, &document), 0);
  FreeExpression(equation);
  ASSERT_EQ(set.second3D->graphs.count, 1);
  auto* companion = dynamic_cast<GraphSurface3D*>(set.second3D->graphs.data[0]);
  ASSERT_NE(companion, nullptr);
  companion->Compute(graphs_test::kAll);
  ASSERT_TRUE(companion->IsComplete());
  for (int32_t i = 0; i < 5; ++i) {
    for (int32_t j = 0; j < 5; ++j) {
      const float* p = companion->Vertices() + 3 * (5 * i + j);
      EXPECT_FLOAT_EQ(p[0], float(i / 4.0 + 1));
      EXPECT_FLOAT_EQ(p[1], float(2 * j / 4.0));
      EXPECT_FLOAT_EQ(p[2], float(i / 4.0 * j / 4.0));
    }
  }
  ViewSetDeleteAllGraphs(&set);
  DestroyViewSet(&set);
  for (ExprNode* e : {transform.expression1, transform.expression2, transform.expression3}) FreeExpression(e);
}

}  // namespace
