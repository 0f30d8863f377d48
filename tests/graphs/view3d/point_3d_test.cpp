// The 3D point and the shared sphere. The sphere's properties are checked directly (258 vertices,
// 512 triangles, unit length to 1e-12, each edge in exactly two triangles, every triangle wound
// outwards); the sizes are worked by hand: grain 0 over widths (4, 2, 8) gives radii 0.01 w =
// (0.04, 0.02, 0.08), grain 1 gives 0.11 w. Three points drawn with the axes match goldens (checked
// by eye when made: a red sphere at (1, 1, 0.5) on the right, a blue one at (-1, -1, 1) up on the
// left, a magenta one where the axes cross), and independently each sphere's centre pixel,
// projected through the view's camera, is in the sphere's own colour.
#include <cmath>
#include <map>
#include <utility>

#include "graphics/render/software_camera.h"
#include "graphs/core/graph_color.h"
#include "graphs/view3d/point_3d.h"
#include "tests/graphs/view3d/view_3d_frame_test.h"
#include "tests/graphs/view3d/view_3d_test_support.h"

namespace {

using graphs_test::FunctionOf;
using graphs_test::kAll;

TEST(UnitSphereMeshTest, AClosedOutwardGeodesicSphereBuiltOnce) {
  const UnitSphere& s = UnitSphereMesh();
  ASSERT_EQ(s.vertexCount, kSphereVertices);
  ASSERT_EQ(s.triangleCount, kSphereTriangles);
  EXPECT_EQ(&UnitSphereMesh(), &s);
  EXPECT_EQ(UnitSphereBuildCount(), 1);
  for (int32_t k = 0; k < s.vertexCount; ++k) {
    const double* v = s.vertices[k];
    EXPECT_NEAR(std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]), 1, 1e-12) << k;
    for (int32_t j = 0; j < k; ++j) {
      const double* w = s.vertices[j];
      ASSERT_GT(std::fabs(v[0] - w[0]) + std::fabs(v[1] - w[1]) + std::fabs(v[2] - w[2]), 1e-3) << j << " " << k;
    }
  }
  std::map<std::pair<uint32_t, uint32_t>, int> edges;
  for (int32_t t = 0; t < s.triangleCount; ++t) {
    const uint32_t* tri = s.triangles[t];
    for (int i = 0; i < 3; ++i) {
      ASSERT_LT(tri[i], uint32_t(s.vertexCount));
      const uint32_t a = tri[i], b = tri[(i + 1) % 3];
      ++edges[{std::min(a, b), std::max(a, b)}];
    }
    const double *P = s.vertices[tri[0]], *Q = s.vertices[tri[1]], *R = s.vertices[tri[2]];
    double e1[3], e2[3], c[3];
    for (int i = 0; i < 3; ++i) e1[i] = Q[i] - P[i], e2[i] = R[i] - P[i], c[i] = P[i] + Q[i] + R[i];
    const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
    EXPECT_GT(n[0] * c[0] + n[1] * c[1] + n[2] * c[2], 0) << t;
  }
  EXPECT_EQ(edges.size(), 768u);  // Euler: V - E + F = 2
  for (const auto& [edge, count] : edges) EXPECT_EQ(count, 2) << edge.first << "-" << edge.second;
}

GraphPoint3D* MakePoint(const char* a, const char* b, const char* c, double grain, GraphicsContext* ctx,
                        double colourIndex = 1) {
  auto* colour = new GraphColor(ctx);
  SetGraphColorIndex(colour, colourIndex);
  return new GraphPoint3D(FunctionOf(a), FunctionOf(b), FunctionOf(c), colour, grain, ctx);
}

class Point3DTest : public view3d_test::Graph3DTest {
 protected:
  void SetUp() override {
    Graph3DTest::SetUp();
    const double box[6] = {-2, 2, -1, 1, -4, 4};  // widths (4, 2, 8)
    std::copy(box, box + 6, frame.box);
  }
  void TearDown() override {
    delete point;
    delete other;
    Graph3DTest::TearDown();
  }
  // Half the vertices' extent along each axis, and the centre.
  void Spread(const GraphPoint3D* p, double half[3], double centre[3]) {
    for (int i = 0; i < 3; ++i) {
      double lo = 1e300, hi = -1e300;
      for (int32_t k = 0; k < kSphereVertices; ++k) {
        lo = std::min(lo, double(p->Vertices()[3 * k + i]));
        hi = std::max(hi, double(p->Vertices()[3 * k + i]));
      }
      half[i] = (hi - lo) / 2;
      centre[i] = (hi + lo) / 2;
    }
  }
  GraphPoint3D* point = nullptr;
  GraphPoint3D* other = nullptr;
};

TEST_F(Point3DTest, TheSphereTakesTheGrainTimesEachRangeWidth) {
  struct Case {
    double grain, r;
  } cases[] = {{0, 0.01}, {1, 0.11}, {0.5, 0.06}, {7, 0.11}, {-1, 0.01}};
  for (const Case& c : cases) {
    delete point;
    point = MakePoint("0.5", "minus[0.25]", "3", c.grain, context);
    point->Compute(kAll);
    ASSERT_TRUE(point->IsComplete() && point->Valid());
    double half[3], centre[3];
    Spread(point, half, centre);
    const double widths[3] = {4, 2, 8}, at[3] = {0.5, -0.25, 3};
    for (int i = 0; i < 3; ++i) {
      EXPECT_NEAR(half[i], c.r * widths[i], 1e-6) << c.grain << " " << i;
      EXPECT_NEAR(centre[i], at[i], 1e-6) << c.grain << " " << i;
    }
    // Normals u / w: along the axes they are 1 / w.
    for (int32_t k = 0; k < 6; ++k) {
      for (int i = 0; i < 3; ++i) {
        EXPECT_FLOAT_EQ(point->Normals()[3 * k + i], float(UnitSphereMesh().vertices[k][i] / widths[i]));
      }
    }
    // Extent: the farthest vertex in cube units. The centre maps to (0.5, -0.5, 1.5) and the sphere
    // to radius 4r about it; the vertex most nearly along the centre's direction is within 2 % of it.
    const double reach = std::hypot(0.5, 0.5, 1.5) + 4 * c.r;
    EXPECT_LE(point->Extent(), reach + 1e-6);
    EXPECT_GE(point->Extent(), reach - 0.02 * 4 * c.r);
  }
  point->SetOption(8, 1);  // the grain option resizes it
  EXPECT_FALSE(point->IsComplete());
  point->Compute(kAll);
  double half[3], centre[3];
  Spread(point, half, centre);
  EXPECT_NEAR(half[2], 0.88, 1e-6);
}

TEST_F(Point3DTest, EveryPointGraphSharesTheOneSphere) {
  point = MakePoint("0", "0", "0", 0, context);
  other = MakePoint("1", "1", "1", 1, context);
  point->Compute(kAll);
  other->Compute(kAll);
  EXPECT_EQ(point->Sphere(), &UnitSphereMesh());
  EXPECT_EQ(other->Sphere(), point->Sphere());
  EXPECT_EQ(UnitSphereBuildCount(), 1);
  point->SetOption(5, 0);
  other->SetOption(5, 0);
  ASSERT_TRUE(MeshHasData(&point->Mesh()) && MeshHasData(&other->Mesh()));
  EXPECT_EQ(point->Mesh().triangleCount, 512u);
  EXPECT_EQ(point->Mesh().vertexCount, 258u);
  for (int i = 0; i < 3 * kSphereTriangles; ++i) {
    ASSERT_EQ(point->Mesh().triangles[i], (&UnitSphereMesh().triangles[0][0])[i]);
  }
}

TEST_F(Point3DTest, AnInfiniteCoordinateHidesThePointAndAParameterMovesIt) {
  const char* nowhere[][3] = {{"over[1,0]", "0", "0"}, {"0", "sqrt[minus[1]]", "0"}};
  for (const auto& c : nowhere) {
    delete point;
    point = MakePoint(c[0], c[1], c[2], 0, context);
    point->Compute(kAll);
    EXPECT_TRUE(point->IsComplete());
    EXPECT_FALSE(point->Valid());
    EXPECT_EQ(point->Status(), 0);
    point->SetOption(5, 0);
    EXPECT_FALSE(MeshHasData(&point->Mesh()));
    EXPECT_TRUE(point->Draw());
  }
  static double aValue = 1;
  SetDefinedValueLookup([](Complex* out, int32_t) { *out = Complex{aValue, 0}; });
  delete point;
  point = MakePoint("a", "0", "0", 0, context);
  point->Compute(kAll);
  aValue = -1;
  point->VariableChanged('q', -1);  // whatever the symbol
  EXPECT_FALSE(point->IsComplete());
  point->Compute(1);
  double half[3], centre[3];
  Spread(point, half, centre);
  EXPECT_NEAR(centre[0], -1, 1e-6);
}

// Three points with the axes, 200 x 200 from the default orientation: goldens in the software and
// both GL kinds, and each centre drawn in its sphere's colour.
class Point3DDrawingTest : public view3d_test::View3DFrameTest {};

TEST_F(Point3DDrawingTest, PointsStandAtTheirCoordinatesInTheGoldenPicture) {
  struct Spot {
    const char *a, *b, *c;
    double colourIndex, x, y, z;
  } spots[] = {{"1", "1", "0.5", 2, 1, 1, 0.5}, {"minus[1]", "minus[1]", "1", 3, -1, -1, 1},
               {"0", "0", "0", 1, 0, 0, 0}};
  const double box[6] = {-1.5, 1.5, -1.5, 1.5, -1.5, 1.5};
  std::copy(box, box + 6, view->settings.camera.box);
  std::vector<GraphPoint3D*> points;
  for (const Spot& s : spots) {
    GraphPoint3D* p = MakePoint(s.a, s.b, s.c, 0.5, view->context, s.colourIndex);
    ASSERT_TRUE(PtrArrayAppend(view->graphs, static_cast<GraphKind*>(p)));
    points.push_back(p);
  }
  view->Tick(kAll);
  ASSERT_TRUE(view->IsReady());
  view->SetOption(kOptionUploadMeshes, 0);
  ExpectGoldens("view3d-points");
  int32_t centre[2][2] = {};  // the first two spheres' centre pixels, from the software frame
  for (int32_t kind : {kContextQuickDraw, kContextGLOffscreen, kContextGLWindow}) {
    const std::vector<uint32_t> pixels = Frame(kind);
    if (kind == kContextQuickDraw) {  // the camera the software frame set up
      const BoxToCube b = BoxToCubeOf(view->settings.camera);
      for (size_t i = 0; i < 2; ++i) {
        const Spot& s = spots[i];
        const double q[3] = {(s.x - b.centre[0]) * b.scale[0], (s.y - b.centre[1]) * b.scale[1],
                             (s.z - b.centre[2]) * b.scale[2]};
        double out[3];
        ProjectCubePoint(view->context, q, out);
        centre[i][0] = int32_t(out[0]);
        centre[i][1] = int32_t(out[1]);
      }
    }
    for (size_t i = 0; i < 2; ++i) {
      const uint32_t p = pixels[size_t(centre[i][1]) * kSide + size_t(centre[i][0])];
      const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, bl = p & 0xFF;
      if (i == 0) {
        EXPECT_TRUE(r > g + 60 && r > bl + 60) << std::hex << p << " kind " << kind;  // red
      } else {
        EXPECT_TRUE(bl > r + 60 && bl > g + 60) << std::hex << p << " kind " << kind;  // blue
      }
    }
  }
}

}  // namespace
