// The factory's surface forms in a 3D document. Each form is built, computed at grain 0 (5 x 5
// samples) and its samples compared with the point the form's own table row gives, worked from the
// form's formula over the ranges it names (x, y, z in -2..2, r 0..2, theta 0..2 pi, phi 0..pi, u and
// v 0..1); the ranges it marks in use; the row's second double as the opacity; form 30 with its
// companion under a space transformation, and the parametric surface's companion through the
// transformation (the rewrite pass standing in for the algebra's).
#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "graphs/factory/equation_form.h"
#include "graphs/factory/graph_factory.h"
#include "graphs/view3d/implicit_surface_3d.h"
#include "graphs/view3d/parametric_surface_3d.h"
#include "graphs/view3d/surface_companion_3d.h"
#include "kernel/numeric/numeric_constants.h"
#include "tests/graphs/view3d/surface_test_support.h"

namespace {

using graphs_test::Tree;
using Point = std::function<void(double u, double v, double out[3])>;

class SurfaceFormsTest : public graphs_test::GraphsTest {
 protected:
  void TearDown() override {
    DestroyViewSet(&set);
    graphs_test::GraphsTest::TearDown();
  }
  void Open(bool is3D = true, uint32_t mode = kTransformNone) {
    DestroyViewSet(&set);
    transform.mode = mode;
    InitViewSet(&set, MakeRect(0, 0, 200, 200), &document);
    BuildGraphsForEquationSet(&set, is3D, false, false, false, &transform);
  }
  int32_t Build(const std::string& text, bool is3D = true, double opacity = 1, double displayKind = 1,
                int32_t* message = nullptr) {
    Tree tree(text);
    return CreateGraphsForEquation(&set, tree, is3D, false, &transform, 1, 0, opacity, 2, displayKind, &document,
                                   message);
  }
  GraphViewSet set;
  CoordinateTransform transform;
  graphs_test::FakeDocument document;
};

TEST_F(SurfaceFormsTest, EverySurfaceFormSamplesItsFormulaOverItsRanges) {
  const double pi = kPi;
  const struct {
    const char* text;
    int32_t form;
    double range[4];  // u low, u high, v low, v high
    Point point;
    std::vector<int32_t> marks;
  } cases[] = {
      {"equal[z,times[x,y]]", 5, {-2, 2, -2, 2}, [](double u, double v, double* p) { p[0] = u, p[1] = v, p[2] = u * v; }, {}},
      {"equal[x,plus[y,z]]", 6, {-2, 2, -2, 2}, [](double u, double v, double* p) { p[0] = u + v, p[1] = u, p[2] = v; }, {}},
      {"equal[y,times[x,z]]", 7, {-2, 2, -2, 2}, [](double u, double v, double* p) { p[0] = u, p[1] = u * v, p[2] = v; }, {}},
      {"equal[r,plus[1,times[0.1,theta]]]", 8, {0, 2 * pi, 0, pi},
       [](double u, double v, double* p) {
         const double R = 1 + 0.1 * u;
         p[0] = R * std::sin(v) * std::cos(u), p[1] = R * std::sin(v) * std::sin(u), p[2] = R * std::cos(v);
       },
       {kRangeTheta, kRangePhi}},
      {"equal[theta,phi]", 9, {0, 2, 0, pi},
       [](double u, double v, double* p) {
         p[0] = u * std::sin(v) * std::cos(v), p[1] = u * std::sin(v) * std::sin(v), p[2] = u * std::cos(v);
       },
       {kRangeR, kRangePhi}},
      {"equal[phi,times[0.5,r]]", 10, {0, 2, 0, 2 * pi},
       [](double u, double v, double* p) {
         p[0] = u * std::sin(0.5 * u) * std::cos(v), p[1] = u * std::sin(0.5 * u) * std::sin(v), p[2] = u * std::cos(0.5 * u);
       },
       {kRangeR, kRangeTheta}},
      {"equal[r,plus[1,z]]", 11, {0, 2 * pi, -2, 2},
       [](double u, double v, double* p) { p[0] = (1 + v) * std::cos(u), p[1] = (1 + v) * std::sin(u), p[2] = v; },
       {kRangeTheta}},
      {"equal[z,times[r,theta]]", 12, {0, 2, 0, 2 * pi},
       [](double u, double v, double* p) { p[0] = u * std::cos(v), p[1] = u * std::sin(v), p[2] = u * v; },
       {kRangeR, kRangeTheta}},
      {"equal[z,plus[x,r]]", 13, {-2, 2, -2, 2},
       [](double u, double v, double* p) { p[0] = u, p[1] = v, p[2] = u + std::hypot(u, v); }, {}},
      {"equal[theta,plus[r,z]]", 14, {-2, 2, 0, 2},
       [](double u, double v, double* p) { p[0] = v * std::cos(u + v), p[1] = v * std::sin(u + v), p[2] = u; },
       {kRangeR}},
      {"equal[matrix[3,1,x,y,z],matrix[3,1,u,v,times[u,v]]]", 26, {0, 1, 0, 1},
       [](double u, double v, double* p) { p[0] = u, p[1] = v, p[2] = u * v; }, {kRangeU, kRangeV}},
      {"equal[matrix[3,1,r,theta,phi],matrix[3,1,1,u,v]]", 27, {0, 1, 0, 1},
       [](double u, double v, double* p) {
         p[0] = std::sin(v) * std::cos(u), p[1] = std::sin(v) * std::sin(u), p[2] = std::cos(v);
       },
       {kRangeU, kRangeV}},
      {"equal[matrix[3,1,r,theta,z],matrix[3,1,u,v,u]]", 28, {0, 1, 0, 1},
       [](double u, double v, double* p) { p[0] = u * std::cos(v), p[1] = u * std::sin(v), p[2] = u; },
       {kRangeU, kRangeV}},
      {"times[x,y]", 33, {-2, 2, -2, 2}, [](double u, double v, double* p) { p[0] = u, p[1] = v, p[2] = u * v; }, {}},
      {"sin[r]", 33, {0, 2, 0, 2 * pi},
       [](double u, double v, double* p) { p[0] = u * std::cos(v), p[1] = u * std::sin(v), p[2] = std::sin(u); },
       {kRangeR, kRangeTheta}},
      {"real[power[z,2]]", 40, {-2, 2, -2, 2},
       [](double u, double v, double* p) { p[0] = u, p[1] = v, p[2] = u * u - v * v; }, {}},
      {"matrix[3,1,u,v,plus[u,v]]", 48, {0, 1, 0, 1},
       [](double u, double v, double* p) { p[0] = u, p[1] = v, p[2] = u + v; }, {kRangeU, kRangeV}},
  };
  for (const auto& c : cases) {
    Open();
    Tree tree(c.text);
    ASSERT_EQ(ClassifyEquationForGraph(tree, true, false, &document), c.form) << c.text;
    ASSERT_EQ(Build(c.text), 0) << c.text;
    ASSERT_EQ(set.first3D->graphs.count, 1) << c.text;
    auto* s = dynamic_cast<GraphSurface3D*>(set.first3D->graphs.data[0]);
    ASSERT_NE(s, nullptr) << c.text;
    s->Compute(graphs_test::kAll);
    ASSERT_TRUE(s->IsComplete());
    ASSERT_EQ(s->GridSize(), 5);
    for (int32_t i = 0; i < 5; ++i) {
      for (int32_t j = 0; j < 5; ++j) {
        const double u = std::fma(double(i), (c.range[1] - c.range[0]) / 4, c.range[0]);
        const double v = std::fma(double(j), (c.range[3] - c.range[2]) / 4, c.range[2]);
        double expected[3];
        c.point(u, v, expected);
        const float* p = s->Vertices() + 3 * (5 * i + j);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(p[k], expected[k], 2e-6) << c.text << " " << i << " " << j;
      }
    }
    EXPECT_TRUE(set.rangeInUse[kRangeX] && set.rangeInUse[kRangeY] && set.rangeInUse[kRangeZ]) << c.text;
    for (int32_t n = kRangeR; n <= kRangeV; ++n) {
      const bool marked = std::find(c.marks.begin(), c.marks.end(), n) != c.marks.end();
      EXPECT_EQ(set.rangeInUse[n] != 0, marked) << c.text << " range " << n;
    }
  }
}

// The row's five numbers: the grain sizes the grid, the second double is the surface's opacity, the
// plotting mode goes to it; a 2D document builds the surface in the first 3D view for display kind 1
// and the raster for 2.
TEST_F(SurfaceFormsTest, TheSecondDoubleIsTheOpacityAndTheDisplayKindDecidesIn2D) {
  Open();
  ASSERT_EQ(Build("equal[z,times[x,y]]", true, 0.25), 0);
  auto* s = dynamic_cast<GraphSurface3D*>(set.first3D->graphs.data[0]);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->Opacity(), 0.25);
  ASSERT_EQ(Build("equal[x,plus[power[x,2],power[y,2],power[z,2]]]", true, 0.5), 1);
  auto* implicit = dynamic_cast<GraphImplicitSurface3D*>(set.first3D->graphs.data[1]);
  ASSERT_NE(implicit, nullptr);
  EXPECT_EQ(implicit->Opacity(), 0.5);

  Open(false);
  ASSERT_EQ(Build("equal[z,times[x,y]]", false, 1, 1), 0);
  EXPECT_EQ(set.first3D->graphs.count, 1);
  EXPECT_EQ(set.first2D->graphs.count, 0);
  ASSERT_EQ(Build("equal[z,times[x,y]]", false, 1, 2), 1);
  EXPECT_EQ(set.first2D->graphs.count, 1);
}

// Form 30 with a space transformation: the implicit surface in the first 3D view and its companion,
// the image of its mesh, in the second; both views' ranges are in use.
TEST_F(SurfaceFormsTest, AnImplicitSurfaceGetsItsMappedCompanionUnderASpaceTransformation) {
  Tree x("times[2,x]"), y("y"), z("plus[z,1]");
  transform.expression1 = x;
  transform.expression2 = y;
  transform.expression3 = z;
  Open(true, kTransformSpace);
  ASSERT_EQ(Build("equal[plus[power[x,2],power[y,2],power[z,2]],1]"), 0);
  ASSERT_EQ(set.first3D->graphs.count, 1);
  ASSERT_EQ(set.second3D->graphs.count, 1);
  EXPECT_EQ(set.graphTable.data[0].pair[1].view, kViewSecond3D);
  auto* parent = dynamic_cast<GraphImplicitSurface3D*>(set.first3D->graphs.data[0]);
  auto* companion = dynamic_cast<GraphSurfaceCompanion3D*>(set.second3D->graphs.data[0]);
  ASSERT_TRUE(parent != nullptr && companion != nullptr);
  for (int32_t n : {0, 1, 2, 4, 5, 6}) EXPECT_TRUE(set.rangeInUse[n]) << n;
  set.first3D->Tick(graphs_test::kAll);
  set.second3D->Tick(graphs_test::kAll);
  ASSERT_TRUE(companion->IsComplete());
  ASSERT_EQ(companion->VertexCount(), parent->VertexCount());
  ASSERT_GT(parent->VertexCount(), 0);
  for (int32_t v = 0; v < parent->VertexCount(); v += 7) {
    const double* p = ChunkPoolAt(parent->Vertices(), v)->position;
    EXPECT_FLOAT_EQ(companion->Vertices()[3 * v], float(2 * p[0]));
    EXPECT_FLOAT_EQ(companion->Vertices()[3 * v + 2], float(p[2] + 1));
  }
  transform.expression1 = transform.expression2 = transform.expression3 = nullptr;
}

// The parametric surface's companion: its coordinates are the transformation's expressions with
// x, y, z put for the surface's own, so (u, v, u v) under x' = x + 1, y' = 2 y, z' = z gives
// (u + 1, 2 v, u v), over the same u and v.
TEST_F(SurfaceFormsTest, AParametricSurfaceGetsItsTransformedCompanion) {
  GraphsGlobals().rewritePass = surface_test::SubstituteRule;
  Tree x("plus[x,1]"), y("times[2,y]"), z("z");
  transform.expression1 = x;
  transform.expression2 = y;
  transform.expression3 = z;
  Open(true, kTransformSpace);
  ASSERT_EQ(Build("equal[matrix[3,1,x,y,z],matrix[3,1,u,v,times[u,v]]]", true, 0.75), 0);
  ASSERT_EQ(set.second3D->graphs.count, 1);
  auto* companion = dynamic_cast<GraphSurface3D*>(set.second3D->graphs.data[0]);
  ASSERT_NE(companion, nullptr);
  EXPECT_EQ(companion->Opacity(), 0.75);
  companion->Compute(graphs_test::kAll);
  for (int32_t i = 0; i < 5; ++i) {
    for (int32_t j = 0; j < 5; ++j) {
      const double u = i / 4.0, v = j / 4.0;
      const float* p = companion->Vertices() + 3 * (5 * i + j);
      EXPECT_FLOAT_EQ(p[0], float(u + 1));
      EXPECT_FLOAT_EQ(p[1], float(2 * v));
      EXPECT_FLOAT_EQ(p[2], float(u * v));
    }
  }
  EXPECT_TRUE(set.rangeInUse[kRangeSecondX] && set.rangeInUse[kRangeU]);
  transform.expression1 = transform.expression2 = transform.expression3 = nullptr;
}

}  // namespace
