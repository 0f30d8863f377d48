// The vector field on an explicit or parametric surface. Golden values worked by hand: grain 0.5
// samples 42 x 42 = 1,764 points as built (74 q + 5) and 27 x 27 = 729 after the Grain option
// (45 q + 5); grain 0 gives 5 x 5 and grain 1 79 x 79. F = (-y, x, 0) on the plane z = 0 gives
// arrows tangent to the circles about the origin, turning counter-clockwise. A condition x < a
// over u in [-2, 2] at 5 samples keeps the columns u < a: 2 of 5 for a = 0 (u = -2, -1), 4 for
// a = 1.5.
#include <cmath>
#include <vector>

#include "graphs/core/graph_color.h"
#include "graphs/view3d/surface_field_3d.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/memory/memory_budget.h"
#include "tests/graphs/view3d/view_3d_test_support.h"

namespace {

using graphs_test::FunctionOf;
using graphs_test::kAll;

class SurfaceField3DTest : public view3d_test::Graph3DTest {
 protected:
  void TearDown() override {
    delete field;
    Graph3DTest::TearDown();
  }
  // F over the surface (x, y, z) of (u, v) on [-2, 2]^2.
  GraphSurfaceField3D* Field(const char* const f[3], const char* const s[3], double grain, const char* condition = "") {
    delete field;
    field = new GraphSurfaceField3D(FunctionOf(f[0]), FunctionOf(f[1]), FunctionOf(f[2]), FunctionOf(s[0]),
                                    FunctionOf(s[1]), FunctionOf(s[2]),
                                    *condition != 0 ? FunctionOf(condition) : nullptr, grain, Colour(), &range[0],
                                    &range[1], &range[0], &range[1], context);
    return field;
  }
  GraphSurfaceField3D* field = nullptr;
  double range[2] = {-2, 2};
  const char* rotation[3] = {"minus[y]", "x", "0"};
  const char* plane[3] = {"u", "v", "0"};
};

TEST_F(SurfaceField3DTest, TheCountFollowsTheGrainByTheKindsTwoFormulas) {
  struct Case {
    double grain;
    int32_t built, optioned;
  } cases[] = {{0.5, 42, 27}, {0, 5, 5}, {1, 79, 50}, {3, 79, 50}, {-1, 5, 5}, {std::nan(""), 42, 27}};
  for (const Case& c : cases) {
    Field(rotation, plane, c.grain)->Compute(kAll);
    ASSERT_TRUE(field->IsComplete());
    EXPECT_EQ(field->GridSide(), c.built) << c.grain;
    EXPECT_EQ(ChunkPoolCount(field->Points()), c.built * c.built) << c.grain;
    EXPECT_EQ(field->Glyphs()->GlyphCount(), c.built * c.built) << c.grain;
    field->SetOption(8, c.grain);
    EXPECT_FALSE(field->IsComplete());
    field->Compute(kAll);
    EXPECT_EQ(field->Glyphs()->GlyphCount(), c.optioned * c.optioned) << c.grain;
  }
  // Sample (i, j) lies at (u0 + i du, v0 + j dv): the last is the far corner.
  const GridPoint3& last = *ChunkPoolAt(field->Points(), 27 * 27 - 1);
  EXPECT_NEAR(last.x, 2, 1e-12);
  EXPECT_NEAR(last.y, 2, 1e-12);
  const GridPoint3& second = *ChunkPoolAt(field->Points(), 1);
  EXPECT_TRUE(second.x == -2 && std::fabs(second.y - (-2 + 4.0 / 26)) < 1e-12);
}

TEST_F(SurfaceField3DTest, ARotationOnThePlaneGivesArrowsTangentToCircles) {
  Field(rotation, plane, 0.2)->Compute(kAll);
  const GraphGlyphs3D* arrows = field->Glyphs();
  ASSERT_EQ(arrows->GlyphCount(), 19 * 19);
  int turning = 0;
  for (int32_t i = 0; i < arrows->GlyphCount(); ++i) {
    const ArrowGlyph& g = arrows->GlyphAt(i);
    const double bx = g.point[1][0], by = g.point[1][1], dx = g.point[0][0] - bx, dy = g.point[0][1] - by;
    EXPECT_EQ(g.point[0][2], 0.0f);
    if (std::hypot(bx, by) < 1e-6) continue;  // the centre (up to rounding): no direction
    // Tangent: the arrow is square to the radius and as long as it (|F| = r at its own length).
    EXPECT_NEAR(dx * bx + dy * by, 0, 1e-5) << i;
    EXPECT_NEAR(std::hypot(dx, dy), std::hypot(bx, by), 1e-5) << i;
    // Counter-clockwise about +z.
    EXPECT_GT(bx * dy - by * dx, 0) << i;
    ++turning;
  }
  EXPECT_EQ(turning, 19 * 19 - 1);
  field->SetOption(5, 0);
  EXPECT_EQ(arrows->Mesh().lineCount, uint32_t(4 * 19 * 19));
}

TEST_F(SurfaceField3DTest, AConditionFalseEverywhereLeavesNoPointsAndSaysSo) {
  Field(rotation, plane, 0.5, "greaterthan[z,1]")->Compute(kAll);
  EXPECT_TRUE(field->IsComplete());
  EXPECT_EQ(ChunkPoolCount(field->Points()), 0);
  EXPECT_EQ(field->Status(), 11);
  EXPECT_FALSE(HasPendingError());
  field->SetOption(5, 0);
  EXPECT_TRUE(field->Draw());
}

// The condition's parameter changes: its cached value must be read again, or the old a would
// keep the old points.
TEST_F(SurfaceField3DTest, AConditionsParameterIsReadAgainWhenItChanges) {
  static double aValue = 0;
  SetDefinedValueLookup([](Complex* out, int32_t) { *out = Complex{aValue, 0}; });
  Field(rotation, plane, 0, "lessthan[x,a]")->Compute(kAll);
  EXPECT_EQ(ChunkPoolCount(field->Points()), 2 * 5);
  aValue = 1.5;
  field->VariableChanged('a', 1.5);
  EXPECT_FALSE(field->IsComplete());
  field->Compute(kAll);
  EXPECT_EQ(ChunkPoolCount(field->Points()), 4 * 5);
  EXPECT_EQ(field->Glyphs()->GlyphCount(), 4 * 5);
}

TEST_F(SurfaceField3DTest, AFieldParameterRecomputesOnlyTheArrowsAndASurfaceOneThePoints) {
  static double k = 1;
  SetDefinedValueLookup([](Complex* out, int32_t key) { *out = Complex{key == 'k' ? k : 1.0, 0}; });
  const char* scaled[3] = {"times[k,minus[y]]", "times[k,x]", "0"};
  const char* lifted[3] = {"u", "v", "h"};
  Field(scaled, lifted, 0)->Compute(kAll);
  const GridPoint3* first = ChunkPoolAt(field->Points(), 0);
  field->VariableChanged('q', 3);  // nothing mentions q
  EXPECT_TRUE(field->IsComplete());
  k = 2;
  field->VariableChanged('k', 2);  // only F
  EXPECT_FALSE(field->IsComplete());
  EXPECT_TRUE(field->PointsReady());
  EXPECT_EQ(ChunkPoolAt(field->Points(), 0), first);
  field->Compute(kAll);
  const ArrowGlyph& g = field->Glyphs()->GlyphAt(0);  // at (-2, -2, 1): F = 2 (2, -2, 0)
  EXPECT_FLOAT_EQ(g.point[0][0] - g.point[1][0], 4);
  field->VariableChanged('h', 1);  // the surface: the points are collected again
  EXPECT_FALSE(field->PointsReady());
  EXPECT_EQ(ChunkPoolCount(field->Points()), 0);
  field->Compute(kAll);
  EXPECT_EQ(ChunkPoolCount(field->Points()), 25);
}

// On the real clock: a timer unit is about 65 us.
TEST_F(SurfaceField3DTest, ComputingInSmallBudgetsGivesTheSameArrows) {
  const char* sphere[3] = {"times[sin[v],cos[u]]", "times[sin[v],sin[u]]", "cos[v]"};
  Field(rotation, sphere, 1)->Compute(kAll);
  const std::vector<float> whole = view3d_test::GlyphPoints(field->Glyphs());
  Field(rotation, sphere, 1)->Compute(0);
  EXPECT_FALSE(field->PointsReady());
  int calls = 0;
  for (; !field->IsComplete() && calls < 1000000; ++calls) field->Compute(1);
  ASSERT_TRUE(field->IsComplete());
  EXPECT_GT(calls, 1);
  EXPECT_EQ(view3d_test::GlyphPoints(field->Glyphs()), whole);
}

TEST_F(SurfaceField3DTest, RefusedMemoryAnywhereLeavesACompleteFieldThatSaysSo) {
  view3d_test::ExpectFieldsCompleteUnderRefusedMemory(60, [&](auto refuse) {
    CompiledFunction* f[6] = {FunctionOf("minus[y]"), FunctionOf("x"), FunctionOf("0"),
                              FunctionOf("u"),        FunctionOf("v"), FunctionOf("0")};
    GraphColor* colour = Colour();
    refuse();
    return new GraphSurfaceField3D(f[0], f[1], f[2], f[3], f[4], f[5], nullptr, 0.3, colour, &range[0], &range[1],
                                   &range[0], &range[1], context);
  });
}

// The fixture proves every counted byte and node back; LeakSanitizer watches the rest.
TEST_F(SurfaceField3DTest, AHundredFieldsBuiltAndDestroyedLeaveNothing) {
  for (int i = 0; i < 100; ++i) {
    Field(rotation, plane, 0.1 * (i % 10), i % 2 == 0 ? "greaterthan[x,0]" : "")->Compute(kAll);
    field->SetOption(5, 0);
    if (i % 3 == 0) field->SetOption(8, 0.2);
  }
}

}  // namespace
