// The parametric surface. Golden values worked by hand: grid sizes 5, 42, 79 at grain 0, 0.5, 1
// (trunc(74 g + 5)); the unit sphere (cos u sin v, sin u sin v, cos v), whose u derivative cross the
// v derivative is -sin v times the point (inward), and (cos v sin u, sin v sin u, cos u), whose
// product is +sin u times the point (outward); the plane (u, v, u + v) with normal (-1, -1, 1)/sqrt 3;
// z = 1/(x^2 + y^2) at grain 0 over -2..2 (steps of 1, the origin a sample: 4 cells of 3 valid
// corners, 12 of 4, so 4 + 24 triangles). Properties: many small budgets give the arrays of one;
// no stored vertex or normal is NaN; cells take only valid corners.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "graphs/view3d/parametric_surface_3d.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/numeric/numeric_constants.h"
#include "tests/graphs/view3d/surface_test_support.h"

namespace {

using surface_test::FunctionOf;
using surface_test::kAll;

class ParametricSurfaceTest : public surface_test::SurfaceTest {
 protected:
  // The surface (x, y, z) over u in [u0, u1], v in [v0, v1].
  GraphSurface3D* Surface(const std::string& x, const std::string& y, const std::string& z, double grain,
                          std::array<double, 4> ranges = {-2, 2, -2, 2}, int32_t plottingMode = 2,
                          double colourIndex = 1, const std::string& condition = "") {
    range = ranges;
    return Keep(new GraphSurface3D(FunctionOf(x), FunctionOf(y), FunctionOf(z), grain, 1.0, Colour(colourIndex),
                                   condition.empty() ? nullptr : FunctionOf(condition), plottingMode, &range[0],
                                   &range[1], &range[2], &range[3], context));
  }
  void InstallSphereDerivatives() {
    surface_test::InstallDerivatives({{"times[cos[u],sin[v]]", 'u', "times[minus[sin[u]],sin[v]]"},
                                      {"times[cos[u],sin[v]]", 'v', "times[cos[u],cos[v]]"},
                                      {"times[sin[u],sin[v]]", 'u', "times[cos[u],sin[v]]"},
                                      {"times[sin[u],sin[v]]", 'v', "times[sin[u],cos[v]]"},
                                      {"cos[v]", 'u', "0"},
                                      {"cos[v]", 'v', "minus[sin[v]]"}});
  }
  // Every valid sample of a computed surface: its (i, j), position and normal.
  template <typename F>
  void ForEachValidSample(const GraphSurface3D* s, F f) {
    const int32_t n = s->GridSize();
    for (int32_t i = 0; i < n; ++i) {
      for (int32_t j = 0; j < n; ++j) {
        const size_t k = size_t(i * n + j);
        if (s->Valid()[k]) f(i, j, s->Vertices() + 3 * s->Copies() * k, s->Normals() + 3 * s->Copies() * k);
      }
    }
  }
  std::array<double, 4> range{};
};

// A grain whose grid would fall outside 2..400 gives the default grain's.
TEST_F(ParametricSurfaceTest, TheGridFollowsTheGrainWithinItsBounds) {
  const struct {
    double grain;
    int32_t n;
  } cases[] = {{0, 5}, {0.5, 42}, {1, 79}, {kUndefinedReal, 42}, {-3, 42}, {-0.04, 2}, {-0.06, 42},
               {(400.5 - 5) / 74, kMaxSurfaceGrid}, {100, 42}};
  for (const auto& c : cases) {
    GraphSurface3D* s = Surface("u", "v", "0", c.grain);
    EXPECT_EQ(s->GridSize(), c.n) << c.grain;
    s->Compute(kAll);
    ASSERT_TRUE(s->IsComplete());
    EXPECT_EQ(s->TriangleCount(), 2 * (c.n - 1) * (c.n - 1)) << c.grain;
    DeleteGraphs();
  }
}

// The Done-when sphere: each stored coordinate is the float of the evaluated sample (so the sample
// itself lies on the unit sphere to the double's rounding), every normal unit and radial, the
// poles (finite-difference normals, the analytic one vanishing there) included, all on the side the
// u derivative cross the v derivative gives: inward for this parametrisation, outward for the one
// with u and v exchanged in their roles.
TEST_F(ParametricSurfaceTest, TheUnitSphereLiesOnItsRadiusWithUnitRadialNormals) {
  InstallSphereDerivatives();
  GraphSurface3D* s = Surface("times[cos[u],sin[v]]", "times[sin[u],sin[v]]", "cos[v]", 0.5, {0, kTwoPi, 0, kPi});
  ASSERT_TRUE(s->HasDerivatives());
  s->Compute(kAll);
  ASSERT_TRUE(s->IsComplete());
  EXPECT_FALSE(s->AnalyticNormals());  // the poles fell back
  const double du = kTwoPi / (s->GridSize() - 1), dv = kPi / (s->GridSize() - 1);
  int samples = 0;
  ForEachValidSample(s, [&](int32_t i, int32_t j, const float* p, const float* n) {
    const double u = std::fma(double(i), du, 0.0), v = std::fma(double(j), dv, 0.0);
    const double exact[3] = {std::cos(u) * std::sin(v), std::sin(u) * std::sin(v), std::cos(v)};
    double radius = 0, length = 0, dot = 0, cross = 0;
    for (int c = 0; c < 3; ++c) {
      EXPECT_EQ(p[c], float(exact[c])) << i << " " << j;
      radius += double(p[c]) * p[c];
      length += double(n[c]) * n[c];
      dot += double(n[c]) * p[c];
    }
    const double x[3] = {p[1] * double(n[2]) - p[2] * double(n[1]), p[2] * double(n[0]) - p[0] * double(n[2]),
                         p[0] * double(n[1]) - p[1] * double(n[0])};
    cross = std::sqrt(x[0] * x[0] + x[1] * x[1] + x[2] * x[2]);
    EXPECT_NEAR(std::sqrt(radius), 1.0, 2e-7);
    EXPECT_NEAR(length, 1.0, 1e-6);
    EXPECT_LT(dot, -0.99) << i << " " << j;  // inward, radial
    EXPECT_LT(cross, 0.05) << i << " " << j;
    ++samples;
  });
  EXPECT_EQ(samples, 42 * 42);
  EXPECT_EQ(s->Status(), 0);

  // Finite differences everywhere (plotting mode 0): the same side at every sample; the samples along
  // the poles, equal but for rounding, give no direction.
  DeleteGraphs();
  GraphSurface3D* fd = Surface("times[cos[u],sin[v]]", "times[sin[u],sin[v]]", "cos[v]", 0.5, {0, kTwoPi, 0, kPi}, 0);
  fd->Compute(kAll);
  ASSERT_FALSE(fd->HasDerivatives());
  ForEachValidSample(fd, [&](int32_t i, int32_t j, const float* p, const float* n) {
    EXPECT_LT(double(n[0]) * p[0] + double(n[1]) * p[1] + double(n[2]) * p[2], -0.95) << i << " " << j;
  });

  DeleteGraphs();
  GraphSurface3D* out = Surface("times[cos[v],sin[u]]", "times[sin[v],sin[u]]", "cos[u]", 0.5, {0, kPi, 0, kTwoPi});
  out->Compute(kAll);
  ForEachValidSample(out, [&](int32_t i, int32_t j, const float* p, const float* n) {
    EXPECT_GT(double(n[0]) * p[0] + double(n[1]) * p[1] + double(n[2]) * p[2], 0.99) << i << " " << j;
  });
}

// The plane (u, v, u + v): analytic normals and, with a term the algebra cannot differentiate, finite
// differences both point along (-1, -1, 1); the far row and column take their differences backwards
// and keep that sign.
TEST_F(ParametricSurfaceTest, AnalyticAndFiniteDifferenceNormalsAgree) {
  surface_test::InstallDerivatives({{"u", 'u', "1"}, {"u", 'v', "0"}, {"v", 'u', "0"}, {"v", 'v', "1"},
                                    {"plus[u,v]", 'u', "1"}, {"plus[u,v]", 'v', "1"}});
  const double k = 1 / std::sqrt(3.0);
  for (const char* z : {"plus[u,v]", "plus[min[u,9],v]"}) {
    GraphSurface3D* s = Surface("u", "v", z, 0, {0, 1, 0, 1});
    s->Compute(kAll);
    EXPECT_EQ(s->HasDerivatives(), std::string(z) == "plus[u,v]");
    ForEachValidSample(s, [&](int32_t i, int32_t j, const float*, const float* n) {
      EXPECT_NEAR(n[0], -k, 1e-6) << z << " " << i << " " << j;
      EXPECT_NEAR(n[1], -k, 1e-6);
      EXPECT_NEAR(n[2], k, 1e-6);
    });
    DeleteGraphs();
  }
}

// z = max(1000, x) over the square [0, 0.001]^2, drawn by finite differences (max has no
// derivative): its u and v steps of 0.001/41 are far below the float step of 1000 and still
// distinct points, so every sample gets the plane's normal (0, 0, 1); the square at z = 0 and at
// z = -1e6 likewise.
TEST_F(ParametricSurfaceTest, AFineSquareFarAlongZIsLit) {
  for (const char* z : {"max[1000,u]", "max[0,minus[u]]", "min[minus[1000000],u]"}) {
    GraphSurface3D* s = Surface("u", "v", z, 0.5, {0, 0.001, 0, 0.001});
    s->Compute(kAll);
    ASSERT_FALSE(s->HasDerivatives()) << z;
    int32_t lit = 0;
    ForEachValidSample(s, [&](int32_t, int32_t, const float*, const float* n) {
      lit += n[0] == 0 && n[1] == 0 && n[2] == 1.0f;
    });
    EXPECT_EQ(lit, 42 * 42) << z;
    DeleteGraphs();
  }
}

// z = 1/(x^2 + y^2) as the factory gives it: (u, v, 1/(u^2 + v^2)). At grain 0 the origin is a
// sample and infinite there: left out with its cells reduced to one triangle each, nothing
// non-finite stored; at grain 0.5 the grid misses the origin.
TEST_F(ParametricSurfaceTest, APoleIsLeftOutAndNothingNonFiniteIsStored) {
  const char* pole = "over[1,plus[power[u,2],power[v,2]]]";
  GraphSurface3D* s = Surface("u", "v", pole, 0);
  s->Compute(kAll);
  ASSERT_TRUE(s->IsComplete());
  const int32_t n = s->GridSize();
  ASSERT_EQ(n, 5);
  EXPECT_EQ(std::count(s->Valid(), s->Valid() + n * n, 0), 1);
  EXPECT_EQ(s->Valid()[2 * n + 2], 0);
  EXPECT_EQ(s->TriangleCount(), 4 + 24);
  for (int32_t t = 0; t < 3 * s->TriangleCount(); ++t) EXPECT_NE(s->Triangles()[t], uint32_t(2 * n + 2));
  EXPECT_TRUE(surface_test::Finite(s->Vertices(), size_t(3 * s->VertexCount())));
  EXPECT_TRUE(surface_test::Finite(s->Normals(), size_t(3 * s->VertexCount())));
  EXPECT_EQ(s->Status(), 0);
  EXPECT_GT(s->Extent(), 0.0);
  EXPECT_TRUE(std::isfinite(s->Extent()));

  s->SetOption(5, 0);  // the mesh checks what it is given too, but receives nothing to drop
  EXPECT_EQ(s->Mesh().triangleCount, uint32_t(28));

  GraphSurface3D* fine = Surface("u", "v", pole, 0.5);
  fine->Compute(kAll);
  EXPECT_EQ(std::count(fine->Valid(), fine->Valid() + 42 * 42, 0), 0);
}

TEST_F(ParametricSurfaceTest, SurfacesUndefinedEverywhereReportMessage11AndMakeNoTriangle) {
  for (const char* z : {"over[1,0]", "sqrt[minus[1]]", "ln[minus[plus[power[u,2],1]]]"}) {
    GraphSurface3D* s = Surface("u", "v", z, 0.2);
    s->Compute(kAll);
    ASSERT_TRUE(s->IsComplete()) << z;
    EXPECT_EQ(s->Status(), 11) << z;
    EXPECT_EQ(s->TriangleCount(), 0) << z;
    EXPECT_EQ(s->Extent(), 0.0) << z;
    DeleteGraphs();
  }
}

// The corners of a cell: three valid give one triangle (winding as the full cell's), two none.
TEST_F(ParametricSurfaceTest, ACellKeepsOnlyItsValidCorners) {
  // Grain 0 over [0, 4]: u = v = 4 is the only invalid sample, so the last cell has three corners.
  GraphSurface3D* s = Surface("u", "v", "sqrt[plus[7.9,minus[plus[u,v]]]]", 0, {0, 4, 0, 4});
  s->Compute(kAll);
  EXPECT_EQ(std::count(s->Valid(), s->Valid() + 25, 0), 1);
  EXPECT_EQ(s->TriangleCount(), 2 * 16 - 1);
  const uint32_t* last = s->Triangles() + 3 * (s->TriangleCount() - 1);
  EXPECT_EQ(std::vector<uint32_t>(last, last + 3), (std::vector<uint32_t>{18, 23, 19}));  // (a, c, b)
  DeleteGraphs();
  GraphSurface3D* half = Surface("u", "v", "sqrt[plus[3.5,minus[plus[u,v]]]]", 0, {0, 4, 0, 4});
  half->Compute(kAll);
  // u + v <= 3: the samples on and below the diagonal; cells across it have two or three corners.
  EXPECT_EQ(std::count(half->Valid(), half->Valid() + 25, 1), 10);
  EXPECT_EQ(half->TriangleCount(), 2 * 3 + 3);
}

// Many small budgets on the real clock give the arrays one budget gives, byte for byte.
TEST_F(ParametricSurfaceTest, SmallBudgetsGiveTheArraysOfOne) {
  InstallSphereDerivatives();
  auto make = [&] {
    return Surface("times[cos[u],sin[v]]", "times[sin[u],sin[v]]", "cos[v]", 1, {0, kTwoPi, 0, kPi}, 2, 15);
  };
  GraphSurface3D* whole = make();
  whole->Compute(kAll);
  GraphSurface3D* sliced = make();
  int calls = 0;
  while (!sliced->IsComplete() && calls < 1000000) {
    sliced->Compute(1);
    ++calls;
  }
  ASSERT_TRUE(sliced->IsComplete());
  EXPECT_GT(calls, 2);
  const size_t v = size_t(3 * whole->VertexCount());
  ASSERT_EQ(whole->VertexCount(), sliced->VertexCount());
  EXPECT_EQ(std::memcmp(whole->Vertices(), sliced->Vertices(), 4 * v), 0);
  EXPECT_EQ(std::memcmp(whole->Normals(), sliced->Normals(), 4 * v), 0);
  EXPECT_EQ(std::memcmp(whole->Colors(), sliced->Colors(), 4 * v), 0);
  ASSERT_EQ(whole->TriangleCount(), sliced->TriangleCount());
  EXPECT_EQ(std::memcmp(whole->Triangles(), sliced->Triangles(), 12 * size_t(whole->TriangleCount())), 0);
}

// The colour modes by index: pattern modes keep two copies and colour each cell in one colour; the
// hue steps along u pair the copies so a cell's four corners share their hue.
TEST_F(ParametricSurfaceTest, PatternModesColourEachCellInOneColour) {
  const struct {
    double index;
    int32_t copies;
  } cases[] = {{10, 2}, {11, 2}, {12, 2}, {15, 2}, {16, 2}, {13, 1}, {14, 1}, {3, 1}};
  for (const auto& c : cases) {
    GraphSurface3D* s = Surface("u", "v", "0", 0.1, {0, 1, 0, 1}, 2, c.index);
    s->Compute(kAll);
    ASSERT_TRUE(s->IsComplete());
    EXPECT_EQ(s->Copies(), c.copies) << c.index;
    EXPECT_EQ(s->VertexCount(), c.copies * s->GridSize() * s->GridSize());
    if (c.copies == 2) {
      for (int32_t t = 0; t < s->TriangleCount(); t += 2) {  // the two triangles of a full cell
        const uint32_t* tri = s->Triangles() + 3 * t;
        const float* first = s->Colors() + 3 * tri[0];
        for (int k = 0; k < 6; ++k) {
          const float* other = s->Colors() + 3 * tri[k];
          EXPECT_TRUE(std::equal(first, first + 3, other)) << c.index << " cell " << t / 2;
        }
      }
    }
    if (c.index == 3) {
      EXPECT_EQ(s->Colors(), nullptr);
    }
    DeleteGraphs();
  }
  // Mode 4: hue (i + 1)/n down u; mode 5: hue j/n across v (the asymmetry is the design's).
  GraphSurface3D* down = Surface("u", "v", "0", 0, {0, 1, 0, 1}, 2, 13);
  down->Compute(kAll);
  const float hue[3] = {0.8f, 1.0f, 0.0f};  // hue 1/5: a fifth of the way past yellow
  EXPECT_TRUE(std::equal(hue, hue + 3, down->Colors()));
}

// The picture colour (index 999): texture coordinates (i/(n - 1), 1 - j/(n - 1)) a sample, no
// per-vertex colours; without a texture for the context it is drawn grey.
TEST_F(ParametricSurfaceTest, ThePictureColourTakesTextureCoordinates) {
  GraphSurface3D* s = Surface("u", "v", "0", 0, {0, 1, 0, 1}, 2, kTextureColorIndex);
  s->Compute(kAll);
  ASSERT_EQ(s->Color()->mode, uint32_t(kColorTexture));
  ASSERT_NE(s->TexCoords(), nullptr);
  EXPECT_EQ(s->Colors(), nullptr);
  for (int32_t i = 0; i < 5; ++i) {
    for (int32_t j = 0; j < 5; ++j) {
      EXPECT_FLOAT_EQ(s->TexCoords()[2 * (5 * i + j)], float(i / 4.0));
      EXPECT_FLOAT_EQ(s->TexCoords()[2 * (5 * i + j) + 1], float(1 - j / 4.0));
    }
  }
}

TEST_F(ParametricSurfaceTest, ChangingAFixedColourNeitherResamplesNorReallocates) {
  GraphSurface3D* s = Surface("u", "v", "times[u,v]", 0.3);
  s->Compute(kAll);
  s->SetOption(5, 0);
  const float* vertices = s->Vertices();
  s->SetOption(6, 2);  // red
  EXPECT_EQ(s->Vertices(), vertices);
  EXPECT_TRUE(s->IsComplete());
  EXPECT_EQ(s->Color()->rgb, 0xff0000u);
  s->SetOption(6, 10);  // checks: two copies, computed at once and handed over
  EXPECT_EQ(s->Copies(), 2);
  EXPECT_TRUE(s->IsComplete());
  EXPECT_EQ(s->Mesh().vertexCount, uint32_t(s->VertexCount()));
}

// Expression colours on the CPU (no GL here): red, green, blue from the point, clamped, NaN black.
TEST_F(ParametricSurfaceTest, ExpressionColoursAreClampedAndNeverNaN) {
  GraphColor* colour = Colour(1);
  colour->mode = kColorRGBExpressions;
  const char* c[3] = {"u", "sqrt[v]", "2"};
  for (int k = 0; k < 3; ++k) colour->component[k] = FunctionOf(c[k]);
  range = {-1, 1, -1, 1};
  auto* s = Keep(new GraphSurface3D(FunctionOf("u"), FunctionOf("v"), FunctionOf("0"), 0, 1.0, colour, nullptr, 2,
                                    &range[0], &range[1], &range[2], &range[3], context));
  s->Compute(kAll);
  ASSERT_NE(s->Colors(), nullptr);
  for (int32_t k = 0; k < s->VertexCount(); ++k) {
    const float* rgb = s->Colors() + 3 * k;
    const double u = -1 + 0.5 * (k / 5), v = -1 + 0.5 * (k % 5);
    EXPECT_FLOAT_EQ(rgb[0], float(std::max(u, 0.0)));
    EXPECT_FLOAT_EQ(rgb[1], v < 0 ? 0.0f : float(std::sqrt(v)));
    EXPECT_FLOAT_EQ(rgb[2], 1.0f);
  }
}

// A condition evaluated per sample (no GL context, so no clip plane): samples where it fails are
// invalid; a slider symbol only in the condition resamples.
TEST_F(ParametricSurfaceTest, AConditionKeepsTheSamplesWhereItHolds) {
  GraphSurface3D* s = Surface("u", "v", "0", 0, {-2, 2, -2, 2}, 2, 1, "greaterthan[x,0]");
  s->Compute(kAll);
  EXPECT_FALSE(s->Clip().active);
  EXPECT_EQ(std::count(s->Valid(), s->Valid() + 25, 1), 10);  // x = 1 and 2
  EXPECT_EQ(s->TriangleCount(), 2 * 4);
}

// On a GL-kind context without a colour program a linear condition is a clip plane: a parameter only
// in it changes the plane and reports the surface incomplete until the next Compute, without a
// resample.
TEST_F(ParametricSurfaceTest, ALinearConditionOnGLIsAClipPlaneThatFollowsItsParameter) {
  context->kind = kContextGLOffscreen;  // the kind alone decides; nothing is drawn here
  GraphSurface3D* s = Surface("u", "v", "0", 0, {-2, 2, -2, 2}, 1, 1, "lessthan[x,a]");
  s->Compute(kAll);
  ASSERT_TRUE(s->Clip().active);
  EXPECT_EQ(std::count(s->Valid(), s->Valid() + 25, 1), 25);
  const float* vertices = s->Vertices();
  s->VariableChanged('a', 0.5);
  EXPECT_TRUE(s->ColorOnlyChanged());
  EXPECT_FALSE(s->IsComplete());
  s->Compute(kAll);
  EXPECT_TRUE(s->IsComplete());
  EXPECT_EQ(s->Vertices(), vertices);
  EXPECT_EQ(s->TriangleCount(), 32);
  context->kind = kContextNone;
}

// Every counted allocation of a first Compute refused in turn: the surface then stays complete with
// nothing (message 11, error 7), never half made; an option that rebuilds tries again.
TEST_F(ParametricSurfaceTest, RefusedStorageLeavesTheSurfaceCompleteWithItsReason) {
  int refused = 0;
  for (uint64_t n = 1; n < 12; ++n) {
    GraphSurface3D* s = Surface("u", "v", "times[u,v]", 0.2, {-2, 2, -2, 2}, 2, 13);
    ResetErrorRegister();
    FailAllocationAt(n);
    s->Compute(kAll);
    FailAllocationAt(0);
    ASSERT_TRUE(s->IsComplete()) << n;
    if (s->Vertices() == nullptr) {
      ++refused;
      EXPECT_EQ(s->Status(), 11);
      EXPECT_EQ(PendingError(), kErrorOutOfMemory);
      EXPECT_TRUE(s->Draw());
      s->SetOption(8, 0.2);
      EXPECT_FALSE(s->IsComplete());
      s->Compute(kAll);
      EXPECT_EQ(s->Status(), 0);
    }
    DeleteGraphs();
  }
  EXPECT_GT(refused, 0);
}

// A surface whose storage was refused is complete with nothing; a parameter that only moves its
// clip plane makes it incomplete until the next Compute, which must complete it again (it returned
// before taking the change in, and the idle loop computed it for ever).
TEST_F(ParametricSurfaceTest, ARefusedSurfaceCompletesAgainAfterAClipPlaneParameterMoves) {
  context->kind = kContextGLOffscreen;
  int refused = 0;
  for (uint64_t n = 1; n < 12; ++n) {
    GraphSurface3D* s = Surface("u", "v", "0", 0, {-2, 2, -2, 2}, 1, 1, "lessthan[x,a]");
    FailAllocationAt(n);
    s->Compute(kAll);
    FailAllocationAt(0);
    ASSERT_TRUE(s->IsComplete()) << n;
    if (s->Vertices() == nullptr && s->Clip().active) {
      ++refused;
      s->VariableChanged('a', 0.5);
      EXPECT_FALSE(s->IsComplete()) << n;
      s->Compute(kAll);
      EXPECT_TRUE(s->IsComplete()) << n;
    }
    DeleteGraphs();
  }
  EXPECT_GT(refused, 0);
  context->kind = kContextNone;
}

}  // namespace
