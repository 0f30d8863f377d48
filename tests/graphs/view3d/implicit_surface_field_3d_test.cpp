// The vector field on an implicit surface. The cells are worked out here from the mesher's
// vertices alone (cell of c: trunc(n (c - low) / (high - low) - 0.5) held to 0..n, n = trunc(20 q +
// 8)): every point is the first vertex of its cell in the mesher's order, no two share a cell, and
// every cell of a vertex has its point. F = (-y, x, 0) on the plane z = 0 gives arrows tangent to
// the circles about the z axis.
#include <cmath>
#include <set>
#include <tuple>
#include <vector>

#include "graphs/core/graph_color.h"
#include "graphs/view3d/implicit_surface_field_3d.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/memory/memory_budget.h"
#include "tests/graphs/view3d/view_3d_test_support.h"

namespace {

using graphs_test::FunctionOf;
using graphs_test::kAll;

class ImplicitSurfaceField3DTest : public view3d_test::Graph3DTest {
 protected:
  void TearDown() override {
    delete field;
    Graph3DTest::TearDown();
  }
  GraphImplicitSurfaceField3D* Field(const char* const f[3], const char* surface, double grain,
                                     const char* condition = "") {
    delete field;
    field = new GraphImplicitSurfaceField3D(FunctionOf(f[0]), FunctionOf(f[1]), FunctionOf(f[2]), FunctionOf(surface),
                                            *condition != 0 ? FunctionOf(condition) : nullptr, grain, Colour(),
                                            frame.box, context);
    return field;
  }
  std::tuple<int64_t, int64_t, int64_t> CellOf(const double* p) const {
    const int32_t n = field->CellsPerSide();
    auto axis = [&](int i) {
      const double t = n * (p[i] - frame.box[2 * i]) / (frame.box[2 * i + 1] - frame.box[2 * i]) - 0.5;
      return t <= 0 ? int64_t(0) : t >= n ? int64_t(n) : int64_t(std::trunc(t));
    };
    return {axis(0), axis(1), axis(2)};
  }
  GraphImplicitSurfaceField3D* field = nullptr;
  const char* rotation[3] = {"minus[y]", "x", "0"};
};

TEST_F(ImplicitSurfaceField3DTest, OnePointACellAtTheFirstVertexFoundThere) {
  Field(rotation, "plus[z,minus[0.1]]", 0)->Compute(kAll);
  ASSERT_TRUE(field->IsComplete());
  EXPECT_EQ(field->CellsPerSide(), 8);
  const MeshVertexPool& vertices = field->SurfaceVertices();
  ASSERT_GT(ChunkPoolCount(vertices), 0);
  std::set<std::tuple<int64_t, int64_t, int64_t>> cells;
  std::vector<const double*> firsts;  // the first vertex of each cell, in pool order
  for (int32_t k = 0; k < ChunkPoolCount(vertices); ++k) {
    const double* p = ChunkPoolAt(vertices, k)->position;
    EXPECT_NEAR(p[2], 0.1, 1e-12);
    if (cells.insert(CellOf(p)).second) firsts.push_back(p);
  }
  ASSERT_EQ(ChunkPoolCount(field->Points()), int32_t(firsts.size()));
  std::set<std::tuple<int64_t, int64_t, int64_t>> taken;
  for (int32_t k = 0; k < ChunkPoolCount(field->Points()); ++k) {
    const GridPoint3& p = *ChunkPoolAt(field->Points(), k);
    EXPECT_TRUE(p.x == firsts[k][0] && p.y == firsts[k][1] && p.z == firsts[k][2]) << k;
    const double at[3] = {p.x, p.y, p.z};
    EXPECT_TRUE(taken.insert(CellOf(at)).second) << k;
  }
  EXPECT_EQ(field->Glyphs()->GlyphCount(), int32_t(firsts.size()));
  EXPECT_EQ(field->Status(), 0);
}

TEST_F(ImplicitSurfaceField3DTest, ARotationOnThePlaneGivesTangentArrowsAndTheCountFollowsTheGrain) {
  int32_t last = 0;
  for (double grain : {0.0, 0.5, 1.0}) {
    Field(rotation, "z", grain)->Compute(kAll);
    ASSERT_TRUE(field->IsComplete());
    EXPECT_EQ(field->CellsPerSide(), int32_t(20 * grain + 8));
    const GraphGlyphs3D* arrows = field->Glyphs();
    EXPECT_GT(arrows->GlyphCount(), last) << grain;
    last = arrows->GlyphCount();
    for (int32_t i = 0; i < arrows->GlyphCount(); ++i) {
      const ArrowGlyph& g = arrows->GlyphAt(i);
      const double bx = g.point[1][0], by = g.point[1][1], dx = g.point[0][0] - bx, dy = g.point[0][1] - by;
      EXPECT_EQ(g.point[1][2], 0.0f);
      if (std::hypot(bx, by) < 1e-6) continue;
      EXPECT_NEAR(dx * bx + dy * by, 0, 1e-5) << i;
      EXPECT_GT(bx * dy - by * dx, 0) << i;  // counter-clockwise about +z
    }
  }
  // The Grain option meshes anew.
  field->SetOption(8, 0);
  EXPECT_FALSE(field->IsComplete());
  field->Compute(kAll);
  EXPECT_EQ(field->CellsPerSide(), 8);
}

TEST_F(ImplicitSurfaceField3DTest, NoSurfaceOrAConditionFalseEverywhereLeavesNoPointsAndSaysSo) {
  const struct {
    const char *surface, *condition;
  } cases[] = {{"plus[power[x,2],power[y,2],power[z,2],1]", ""}, {"z", "greaterthan[z,5]"}};
  for (const auto& c : cases) {
    Field(rotation, c.surface, 0.3, c.condition)->Compute(kAll);
    EXPECT_TRUE(field->IsComplete()) << c.surface;
    EXPECT_EQ(ChunkPoolCount(field->Points()), 0) << c.surface;
    EXPECT_EQ(field->Status(), 11) << c.surface;
    EXPECT_TRUE(field->Draw());
  }
  EXPECT_FALSE(HasPendingError());
}

// The condition's and the surface's parameters are read again when they change; one of F's only
// recomputes the arrows on the points kept.
TEST_F(ImplicitSurfaceField3DTest, ParametersOfTheSurfaceTheConditionAndTheField) {
  static double a = 0, h = 0, k = 1;
  SetDefinedValueLookup([](Complex* out, int32_t key) { *out = Complex{key == 'a' ? a : key == 'h' ? h : k, 0}; });
  const char* scaled[3] = {"times[k,minus[y]]", "times[k,x]", "0"};
  Field(scaled, "plus[z,minus[h]]", 0, "lessthan[x,a]")->Compute(kAll);
  const int32_t half = ChunkPoolCount(field->Points());
  ASSERT_GT(half, 0);
  a = 1.5;
  field->VariableChanged('a', 1.5);
  EXPECT_FALSE(field->IsComplete());
  field->Compute(kAll);
  EXPECT_GT(ChunkPoolCount(field->Points()), half);

  const GridPoint3* first = ChunkPoolAt(field->Points(), 0);
  const float before = field->Glyphs()->GlyphAt(0).point[0][0] - field->Glyphs()->GlyphAt(0).point[1][0];
  k = 2;
  field->VariableChanged('k', 2);
  EXPECT_TRUE(field->PointsReady());
  EXPECT_EQ(ChunkPoolAt(field->Points(), 0), first);
  field->Compute(kAll);
  EXPECT_FLOAT_EQ(field->Glyphs()->GlyphAt(0).point[0][0] - field->Glyphs()->GlyphAt(0).point[1][0], 2 * before);

  h = 0.6;
  field->VariableChanged('h', 0.6);
  EXPECT_FALSE(field->PointsReady());
  field->Compute(kAll);
  EXPECT_NEAR(ChunkPoolAt(field->Points(), 0)->z, 0.6, 1e-12);
}

// On the real clock: a timer unit is about 65 us.
TEST_F(ImplicitSurfaceField3DTest, ComputingInSmallBudgetsGivesTheSameArrows) {
  const char* sphere = "plus[power[x,2],power[y,2],power[z,2],minus[2]]";
  Field(rotation, sphere, 1)->Compute(kAll);
  const std::vector<float> whole = view3d_test::GlyphPoints(field->Glyphs());
  ASSERT_GT(whole.size(), 0u);
  Field(rotation, sphere, 1)->Compute(0);
  EXPECT_FALSE(field->IsComplete());
  int calls = 0;
  for (; !field->IsComplete() && calls < 1000000; ++calls) field->Compute(1);
  ASSERT_TRUE(field->IsComplete());
  EXPECT_GT(calls, 1);
  EXPECT_EQ(view3d_test::GlyphPoints(field->Glyphs()), whole);
}

TEST_F(ImplicitSurfaceField3DTest, RefusedMemoryAnywhereLeavesACompleteFieldThatSaysSo) {
  view3d_test::ExpectFieldsCompleteUnderRefusedMemory(80, [&](auto refuse) {
    CompiledFunction* f[4] = {FunctionOf("minus[y]"), FunctionOf("x"), FunctionOf("0"),
                              FunctionOf("plus[power[x,2],power[y,2],power[z,2],minus[2]]")};
    GraphColor* colour = Colour();
    refuse();
    return new GraphImplicitSurfaceField3D(f[0], f[1], f[2], f[3], nullptr, 0.2, colour, frame.box, context);
  });
}

// The fixture proves every counted byte and node back; LeakSanitizer watches the rest.
TEST_F(ImplicitSurfaceField3DTest, AHundredFieldsBuiltAndDestroyedLeaveNothing) {
  for (int i = 0; i < 100; ++i) {
    Field(rotation, "plus[power[x,2],power[y,2],minus[z]]", 0.05 * (i % 10),
          i % 2 == 0 ? "greaterthan[x,0]" : "")->Compute(kAll);
    field->SetOption(5, 0);
    if (i % 3 == 0) field->SetOption(8, 0.2);
  }
}

}  // namespace
