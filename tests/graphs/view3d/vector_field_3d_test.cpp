// The space vector field and its arrow glyphs. Golden values worked by hand: the grid of grain 0.5
// over -2..2 (10 points an axis, 4/9 apart, glyph size 2/9), grain 1 (16, 4096 points), the
// condition x > 0 (10 x 10 x 5 = 500); an arrow of F = (2, 0, 0) at its own length and at 0.5; the
// head of a unit arrow over width 4 (fraction 0.15 + 0.05 = 0.2, barbs 0.1 off the axis at 0.8).
// F = (-y, x, 0) seen from above draws arrows tangent to circles about the z axis: checked on the
// arrow ends projected through the view's camera and on the pixels drawn along the shafts.
// Failure paths: no point, every point refused by the condition, infinite and NaN vectors, more
// points than 16-bit indices reach, refused memory at every allocation, a Compute abandoned at its
// evaluations.
#include <cmath>

#include "graphics/render/software_camera.h"
#include "graphs/factory/factory_helpers.h"
#include "graphs/core/graph_color.h"
#include "graphs/factory/graph_factory.h"
#include "graphs/view3d/vector_field_3d.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/memory/memory_budget.h"
#include "tests/graphs/view3d/view_3d_test_support.h"

namespace {

using graphs_test::FunctionOf;
using graphs_test::kAll;

class VectorField3DTest : public view3d_test::Graph3DTest {
 protected:
  void TearDown() override {
    delete field;
    delete glyphs;
    ChunkPoolClear(points);
    Graph3DTest::TearDown();
  }
  GraphVectorField3D* Field(const std::string& fx, const std::string& fy, const std::string& fz, double grain,
                            const std::string& condition = "") {
    delete field;
    field = new GraphVectorField3D(FunctionOf(fx), FunctionOf(fy), FunctionOf(fz),
                                   condition.empty() ? nullptr : FunctionOf(condition), grain, Colour(), context,
                                   frame.box);
    return field;
  }
  GraphGlyphs3D* Glyphs(const std::string& fx, const std::string& fy, const std::string& fz) {
    delete glyphs;
    return glyphs = new GraphGlyphs3D(FunctionOf(fx), FunctionOf(fy), FunctionOf(fz), Colour(), &lengthScale, &points,
                                      context);
  }
  void AddPoint(double x, double y, double z) { ASSERT_EQ(ChunkPoolAppend(points, GridPoint3{x, y, z}), 0); }
  GraphVectorField3D* field = nullptr;
  GraphGlyphs3D* glyphs = nullptr;
  GridPointPool points;
  double lengthScale = 0.0;
};

TEST_F(VectorField3DTest, TheGridFollowsTheGrainOverTheBox) {
  Field("1", "0", "0", 0.5)->Compute(kAll);
  ASSERT_TRUE(field->IsComplete());
  EXPECT_EQ(field->PointsPerAxis(), 10);
  EXPECT_NEAR(field->GlyphSize(), 2.0 / 9, 1e-15);
  ASSERT_EQ(ChunkPoolCount(field->Points()), 1000);
  // x outermost, then y, then z.
  const GridPoint3& second = *ChunkPoolAt(field->Points(), 1);
  const GridPoint3& eleventh = *ChunkPoolAt(field->Points(), 10);
  const GridPoint3& last = *ChunkPoolAt(field->Points(), 999);
  EXPECT_TRUE(second.x == -2 && second.y == -2 && std::fabs(second.z - (-2 + 4.0 / 9)) < 1e-15);
  EXPECT_TRUE(eleventh.x == -2 && std::fabs(eleventh.y - (-2 + 4.0 / 9)) < 1e-15 && eleventh.z == -2);
  EXPECT_NEAR(last.x, 2, 1e-15);
  EXPECT_EQ(field->Glyphs()->GlyphCount(), 1000);
  EXPECT_EQ(field->Status(), 0);
  // The longest arrow is the glyph size long.
  const ArrowGlyph& g = field->Glyphs()->GlyphAt(0);
  EXPECT_NEAR(g.point[0][0] - g.point[1][0], 2.0 / 9, 1e-6);

  struct Case {
    double grain;
    int32_t n;
  } cases[] = {{1, 16}, {0, 4}, {-3, 4}, {50, 16}, {std::nan(""), 10}};
  for (const Case& c : cases) {
    field->SetOption(8, c.grain);
    EXPECT_FALSE(field->IsComplete());
    field->Compute(kAll);
    EXPECT_EQ(field->PointsPerAxis(), c.n) << c.grain;
    EXPECT_EQ(ChunkPoolCount(field->Points()), c.n * c.n * c.n);
    EXPECT_NEAR(field->GlyphSize(), 2.0 / (c.n - 1), 1e-15);
  }
}

TEST_F(VectorField3DTest, AConditionKeepsItsPointsAndAnUnsatisfiedOneLeavesOnePointAtInfinity) {
  Field("1", "0", "0", 0.5, "greaterthan[x,0]")->Compute(kAll);
  ASSERT_EQ(ChunkPoolCount(field->Points()), 500);
  for (int32_t i = 0; i < 500; ++i) ASSERT_GT(ChunkPoolAt(field->Points(), i)->x, 0);
  EXPECT_EQ(field->Glyphs()->GlyphCount(), 500);

  Field("1", "0", "0", 0.5, "greaterthan[x,5]")->Compute(kAll);
  ASSERT_EQ(ChunkPoolCount(field->Points()), 1);
  const GridPoint3& nowhere = *ChunkPoolAt(field->Points(), 0);
  EXPECT_TRUE(std::isinf(nowhere.x) && std::isinf(nowhere.y) && std::isinf(nowhere.z) && nowhere.x > 0);
  EXPECT_TRUE(field->IsComplete());
  EXPECT_EQ(field->Status(), 11);
  EXPECT_EQ(field->Glyphs()->GlyphCount(), 0);
  const GridPoint3* kept = ChunkPoolAt(field->Points(), 0);
  field->Compute(kAll);  // not built again
  EXPECT_EQ(ChunkPoolAt(field->Points(), 0), kept);
  EXPECT_FALSE(HasPendingError());
}

TEST_F(VectorField3DTest, ArrowsTakeTheirLengthAndHeadsTheirShape) {
  AddPoint(0.5, -1, 0.25);
  struct Case {
    double lengthScale, tipX;
  } cases[] = {{0, 2.5}, {0.5, 1.0}};
  for (const Case& c : cases) {
    lengthScale = c.lengthScale;
    Glyphs("2", "0", "0")->Compute(kAll);
    ASSERT_TRUE(glyphs->IsComplete());
    ASSERT_EQ(glyphs->GlyphCount(), 1);
    const ArrowGlyph& g = glyphs->GlyphAt(0);
    EXPECT_FLOAT_EQ(g.point[0][0], c.tipX);
    EXPECT_TRUE(g.point[0][1] == -1 && g.point[0][2] == 0.25f && g.point[1][0] == 0.5f);
    EXPECT_EQ(glyphs->MaxLength(), 2);
  }
  // A unit arrow over width 4: fraction 0.2, barbs at 0.8 along and 0.1 off the shaft.
  lengthScale = 0;
  Glyphs("0", "1", "0")->Compute(kAll);
  const ArrowGlyph& g = glyphs->GlyphAt(0);
  for (int b = 2; b < 5; ++b) {
    const double along = g.point[b][1] - g.point[1][1];
    const double off = std::hypot(g.point[b][0] - g.point[1][0], g.point[b][2] - g.point[1][2]);
    EXPECT_NEAR(along, 0.8, 1e-6);
    EXPECT_NEAR(off, 0.1, 1e-6);
  }
  const uint16_t expected[8] = {0, 1, 0, 2, 0, 3, 0, 4};
  ASSERT_EQ(glyphs->SegmentCount(), 4);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(glyphs->Segments()[i], expected[i]);
  // A narrower box shrinks the head's fixed part: width 2 gives 0.15 + 0.025.
  frame.box[2] = -1;
  frame.box[3] = 1;
  Glyphs("0", "1", "0")->Compute(kAll);
  EXPECT_NEAR(glyphs->GlyphAt(0).point[2][1] - glyphs->GlyphAt(0).point[1][1], 1 - 0.175, 1e-6);
}

// Lengths are scaled in double before they become floats: a single arrow of any finite size, tiny
// or huge, gets the 0.5 asked (1e-44 gave 0.4905 through a subnormal float, 1e39 an infinite tip
// and NaN barbs, 1e160 no arrow at all through an overflowing sum of squares); with two arrows a
// thousand-fold apart the short one keeps its share. At their own length (scale 0) an arrow past
// the floats' range has nowhere to be drawn and is left out, the others kept.
TEST_F(VectorField3DTest, TinyAndHugeFieldsKeepTheLengthAsked) {
  AddPoint(0.5, -1, 0.25);
  const struct Case {
    const char* fx;
    const char* fy;
    double length;  // |F|, by hand
  } cases[] = {
      {"over[1,power[10,44]]", "0", 1e-44},
      {"over[3,power[10,300]]", "over[4,power[10,300]]", 5e-300},
      {"power[10,39]", "0", 1e39},
      {"power[10,160]", "power[10,160]", std::sqrt(2.0) * 1e160},
      {"times[3,power[10,307]]", "times[4,power[10,307]]", 5e307},
      {"minus[2]", "0", 2},
  };
  lengthScale = 0.5;
  for (const Case& c : cases) {
    Glyphs(c.fx, c.fy, "0")->Compute(kAll);
    ASSERT_EQ(glyphs->GlyphCount(), 1) << c.fx;
    EXPECT_NEAR(glyphs->MaxLength() / c.length, 1.0, 1e-12) << c.fx;
    const ArrowGlyph& g = glyphs->GlyphAt(0);
    const double shaft = std::hypot(g.point[0][0] - g.point[1][0], g.point[0][1] - g.point[1][1],
                                    g.point[0][2] - g.point[1][2]);
    EXPECT_NEAR(shaft, 0.5, 1e-6) << c.fx;
    for (int b = 0; b < 5; ++b) {
      for (int i = 0; i < 3; ++i) EXPECT_TRUE(std::isfinite(g.point[b][i])) << c.fx << " " << b;
    }
  }
  // Two arrows 1000-fold apart: 0.5 and 0.0005.
  AddPoint(1, 1, 1);
  Glyphs("over[plus[1,times[1998,plus[x,minus[0.5]]]],power[10,41]]", "0", "0")
      ->Compute(kAll);
  ASSERT_EQ(glyphs->GlyphCount(), 2);
  EXPECT_NEAR(glyphs->GlyphAt(0).point[0][0] - glyphs->GlyphAt(0).point[1][0], 0.0005, 1e-7);
  EXPECT_NEAR(glyphs->GlyphAt(1).point[0][0] - glyphs->GlyphAt(1).point[1][0], 0.5, 1e-7);
  // At their own length: 1e39 leaves the floats' range, 3 stays.
  lengthScale = 0;
  Glyphs("plus[times[3,plus[2,minus[times[2,x]]]],times[power[10,39],plus[times[2,x],minus[1]]]]", "0", "0")
      ->Compute(kAll);
  ASSERT_EQ(glyphs->GlyphCount(), 1);
  EXPECT_FLOAT_EQ(glyphs->GlyphAt(0).point[0][0] - glyphs->GlyphAt(0).point[1][0], 3);
  EXPECT_EQ(glyphs->SegmentCount(), 4);
}

TEST_F(VectorField3DTest, ZeroInfiniteAndNaNVectorsAndEmptyLists) {
  Glyphs("0", "0", "0")->Compute(kAll);  // no point at all
  EXPECT_TRUE(glyphs->IsComplete() && glyphs->GlyphCount() == 0 && glyphs->Status() == 11);
  EXPECT_FALSE(HasPendingError());
  AddPoint(1, 1, 1);
  AddPoint(2, 2, 2);
  Glyphs("0", "0", "0")->Compute(kAll);  // zero vectors: barbs collapse onto the tip
  EXPECT_EQ(glyphs->MaxLength(), 1);
  for (int b = 2; b < 5; ++b) EXPECT_EQ(glyphs->GlyphAt(1).point[b][0], 2.0f);
  EXPECT_EQ(glyphs->Status(), 0);
  // 1/(x - 1): infinite at the first point, finite at the second; 0/0 at x = 1 is NaN.
  Glyphs("over[1,plus[x,minus[1]]]", "0", "0")->Compute(kAll);
  EXPECT_EQ(glyphs->GlyphCount(), 1);
  EXPECT_EQ(glyphs->GlyphAt(0).point[1][0], 2.0f);
  Glyphs("over[plus[x,minus[1]],plus[x,minus[1]]]", "0", "0")->Compute(kAll);
  EXPECT_EQ(glyphs->GlyphCount(), 1);
  EXPECT_EQ(glyphs->Status(), 0);
  lengthScale = 0.5;
  Glyphs("plus[over[plus[x,minus[1]],plus[x,minus[1]]],over[1,plus[x,minus[2]]]]", "0", "0")->Compute(kAll);
  EXPECT_EQ(glyphs->GlyphCount(), 0);
  EXPECT_EQ(glyphs->Status(), 11);
  AddPoint(kPositiveInfinity, 0, 0);  // a point that is not finite gets no arrow
  Glyphs("1", "0", "0")->Compute(kAll);
  EXPECT_EQ(glyphs->GlyphCount(), 2);
}

// 13,107 arrows (65,535 ends) fit 16-bit indices and are drawn; one more point, or 20,000, is a
// request the glyphs refuse whole, as refused memory: complete, no arrow, status 11, error 7.
TEST_F(VectorField3DTest, MorePointsThanSixteenBitIndicesReachAreRefusedWithAStatus) {
  for (int i = 0; i < kMaxGlyphs; ++i) AddPoint(-2 + i * 1e-4, 0, 0);
  Glyphs("1", "1", "0")->Compute(kAll);
  ASSERT_EQ(glyphs->GlyphCount(), kMaxGlyphs);
  for (int32_t i = 0; i < 2 * glyphs->SegmentCount(); ++i) ASSERT_LT(glyphs->Segments()[i], 5 * kMaxGlyphs);
  glyphs->SetOption(5, 0);
  EXPECT_EQ(glyphs->Mesh().vertexCount, uint32_t(5 * kMaxGlyphs));
  EXPECT_EQ(glyphs->Mesh().lineCount, uint32_t(4 * kMaxGlyphs));
  EXPECT_FALSE(HasPendingError());
  for (int more : {1, 20000 - kMaxGlyphs}) {
    for (int i = 0; i < more; ++i) AddPoint(1, 1, 1);
    ResetErrorRegister();
    Glyphs("1", "1", "0")->Compute(kAll);
    EXPECT_TRUE(glyphs->IsComplete());
    EXPECT_EQ(glyphs->GlyphCount(), 0);
    EXPECT_EQ(glyphs->Status(), 11);
    EXPECT_TRUE(IsErrorPosted(kErrorOutOfMemory));
    glyphs->SetOption(5, 0);
    EXPECT_FALSE(MeshHasData(&glyphs->Mesh()));
  }
}

// On the real clock: a timer unit is about 65 us, far less than the grid takes.
TEST_F(VectorField3DTest, ComputingInSmallBudgetsOrAbandonedAtEvaluationsGivesTheSameArrows) {
  Field("minus[y]", "x", "z", 1, "greaterthan[x,0]")->Compute(kAll);
  const std::vector<float> whole = view3d_test::GlyphPoints(field->Glyphs());
  const int32_t points = ChunkPoolCount(field->Points());
  Field("minus[y]", "x", "z", 1, "greaterthan[x,0]")->Compute(0);  // a budget of 0 computes nothing
  EXPECT_EQ(ChunkPoolCount(field->Points()), 0);
  int calls = 0;
  for (; !field->IsComplete() && calls < 1000000; ++calls) field->Compute(1);
  ASSERT_TRUE(field->IsComplete());
  EXPECT_GT(calls, 1);
  EXPECT_EQ(view3d_test::GlyphPoints(field->Glyphs()), whole);

  // Abandoned again and again at the condition's and the field's evaluations.
  Field("minus[y]", "x", "z", 1, "greaterthan[x,0]");
  const int abandons = graphs_test::ComputeAbandonedAgainAndAgain(field);
  EXPECT_GT(abandons, 50);
  EXPECT_EQ(ChunkPoolCount(field->Points()), points);
  EXPECT_EQ(view3d_test::GlyphPoints(field->Glyphs()), whole);
}

TEST_F(VectorField3DTest, RefusedMemoryLeavesACompleteFieldWithoutArrows) {
  view3d_test::ExpectFieldsCompleteUnderRefusedMemory(40, [&](auto refuse) {
    CompiledFunction* f[3] = {FunctionOf("minus[y]"), FunctionOf("x"), FunctionOf("0")};
    GraphColor* colour = Colour();
    refuse();
    return new GraphVectorField3D(f[0], f[1], f[2], nullptr, 0.1, colour, context, frame.box);
  });
}

TEST_F(VectorField3DTest, OptionsVariablesAndAHundredFieldsWithoutALeak) {
  Field("times[a,x]", "0", "0", 0.1, "greaterthan[z,b]")->Compute(kAll);
  ASSERT_TRUE(field->IsComplete());
  field->VariableChanged('c', 1);  // neither depends on c
  EXPECT_TRUE(field->IsComplete());
  field->VariableChanged('a', 1);  // the components do
  EXPECT_FALSE(field->IsComplete());
  field->Compute(kAll);
  field->VariableChanged('b', 1);  // the condition does: a new grid
  EXPECT_EQ(ChunkPoolCount(field->Points()), 0);
  field->SetOption(6, 17);  // no fill
  field->Compute(kAll);
  field->SetOption(5, 0);
  EXPECT_TRUE(field->Draw());
  for (int i = 0; i < 100; ++i) {
    Field("minus[y]", "x", "0", 0.2, "greaterthan[x,0]")->Compute(kAll);
    field->SetOption(5, 0);
  }
}

// Seen from above (eye on +z, screen right +x, up +y), the arrows of F = (-y, x, 0) on the top
// layer of the grid (z = 2) are tangent to the circles about the z axis: the projected tip minus the
// projected base is perpendicular to the projected base minus the projected axis, and the pixels
// along each projected shaft are drawn in the arrows' colour.
TEST_F(VectorField3DTest, RotationFieldArrowsAreTangentToCirclesAboutTheZAxis) {
  GraphView3D view;
  view3d_test::LookFromAbove(view);
  auto* made = new GraphVectorField3D(FunctionOf("minus[y]"), FunctionOf("x"), FunctionOf("0"), FunctionOf("greaterthan[z,1.9]"), 0.5,
                                      Colour(), view.context, view.settings.camera.box);
  ASSERT_TRUE(PtrArrayAppend(view.graphs, static_cast<GraphKind*>(made)));
  view.Tick(kAll);
  ASSERT_TRUE(view.IsReady());
  view.SetOption(kOptionUploadMeshes, 0);
  ASSERT_TRUE(view.DrawFrame());
  const GraphGlyphs3D* arrows = made->Glyphs();
  ASSERT_EQ(arrows->GlyphCount(), 100);

  GraphicsContext* ctx = view.context;
  const BoxToCube b = BoxToCubeOf(view.settings.camera);
  auto project = [&](const float* p, double out[3]) {
    const double q[3] = {(p[0] - b.centre[0]) * b.scale[0], (p[1] - b.centre[1]) * b.scale[1],
                         (p[2] - b.centre[2]) * b.scale[2]};
    ProjectCubePoint(ctx, q, out);
  };
  int drawnShaftPixels = 0, shaftPixels = 0;
  for (int32_t i = 0; i < arrows->GlyphCount(); ++i) {
    const ArrowGlyph& g = arrows->GlyphAt(i);
    if (g.point[1][0] == 0 && g.point[1][1] == 0) continue;
    const float axis[3] = {0, 0, g.point[1][2]};
    double tip[3], base[3], centre[3];
    project(g.point[0], tip);
    project(g.point[1], base);
    project(axis, centre);
    const double d[2] = {tip[0] - base[0], tip[1] - base[1]}, r[2] = {base[0] - centre[0], base[1] - centre[1]};
    const double cosine = (d[0] * r[0] + d[1] * r[1]) / (std::hypot(d[0], d[1]) * std::hypot(r[0], r[1]));
    EXPECT_LT(std::fabs(cosine), 1e-6) << i;
    // Counter-clockwise on the screen (y grows downward): r x d < 0.
    EXPECT_LT(r[0] * d[1] - r[1] * d[0], 0) << i;
    // The middle of the shaft is drawn.
    const int32_t h = int32_t(std::lround((tip[0] + base[0]) / 2)), v = int32_t(std::lround((tip[1] + base[1]) / 2));
    ++shaftPixels;
    bool inked = false;
    for (int32_t dv = -1; dv <= 1; ++dv)
      for (int32_t dh = -1; dh <= 1; ++dh) inked = inked || view3d_test::PanePixel(h + dh, v + dv) != 0xFFFFFF;
    drawnShaftPixels += inked;
  }
  EXPECT_EQ(drawnShaftPixels, shaftPixels);
}

TEST_F(VectorField3DTest, TheFactoryBuildsForm17InThe3DView) {
  graphs_test::FakeDocument document;
  GraphViewSet set;
  InitViewSet(&set, MakeRect(0, 0, 200, 200), &document);
  CoordinateTransform transform;
  BuildGraphsForEquationSet(&set, true, false, false, false, &transform);
  graphs_test::Tree equation("equal[matrix[3,1,x,y,z],matrix[3,1,minus[y],x,0]]");
  ExprNode* copy = CopyExpression(equation);
  const int32_t row = CreateGraphsForEquation(&set, copy, true, false, &transform, 1, 0.5, 1, 2, 1, &document);
  FreeExpression(copy);
  ASSERT_EQ(row, 0);
  ASSERT_EQ(set.first3D->graphs.count, 1);
  auto* made = dynamic_cast<GraphVectorField3D*>(set.first3D->graphs.data[0]);
  ASSERT_NE(made, nullptr);
  EXPECT_TRUE(set.rangeInUse[0] && set.rangeInUse[1] && set.rangeInUse[2] && !set.rangeInUse[4]);
  set.first3D->Tick(kAll);
  EXPECT_EQ(made->Glyphs()->GlyphCount(), 1000);
  EXPECT_EQ(ViewSetGetSlotEntry(&set, row), 0);
  ViewSetDeleteAllGraphs(&set);
  DestroyViewSet(&set);
}

}  // namespace
