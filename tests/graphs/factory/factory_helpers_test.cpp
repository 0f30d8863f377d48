// The factory's helpers: rows of the graph table, range flags and bounds over recording views,
// the two form predicates enumerated against the tables of the forms (written out here from the
// form list: always / only in 3D / never), the display kind, the expression operations on parsed
// trees, colour parts, and the view choice of BuildGraphsForEquationSet.
#include <vector>

#include "graphs/factory/factory_helpers.h"
#include "graphs/core/graph_color.h"
#include "graphs/core/graphs_state.h"
#include "kernel/eval/compiled_function.h"
#include "tests/graphs/graphs_test_support.h"

namespace {

using graphs_test::FakeGraph;
using graphs_test::Parse;
using graphs_test::Tree;

class FactoryHelpersTest : public graphs_test::GraphsTest {
 protected:
  void SetUp() override {
    GraphsTest::SetUp();
    InitViewSet(&set, MakeRect(0, 0, 100, 50), &document);
  }
  void TearDown() override {
    EXPECT_TRUE(CheckViewSet(&set));
    DestroyViewSet(&set);
    GraphsTest::TearDown();
  }
  graphs_test::FakeDocument document;
  GraphViewSet set;
};

TEST_F(FactoryHelpersTest, AttachmentAppendsRowsAndCompanionsFillTheLastRow) {
  auto* companion = new FakeGraph;
  EXPECT_FALSE(AttachToSecond2DView(&set, companion));  // no row to fill: nothing written
  EXPECT_TRUE(set.graphTable.count == 0 && set.second2D->graphs.count == 0);
  EXPECT_TRUE(AttachTo2DView(&set, new FakeGraph, 0) && AttachTo2DView(&set, new FakeGraph, 0));
  EXPECT_TRUE(AttachToSecond2DView(&set, companion));
  const GraphTableRow* rows = set.graphTable.data;
  EXPECT_TRUE(set.graphTable.count == 2 && rows[0].pair[0].view == kViewFirst2D && rows[0].pair[0].index == 0);
  EXPECT_TRUE(rows[1].pair[0].index == 1 && rows[1].pair[1].view == kViewSecond2D && rows[1].pair[1].index == 0);
  EXPECT_TRUE(rows[0].pair[1].view == kNoView && AttachTo3DView(&set, new graphs_test::FakeGraph3D, 1));
  EXPECT_EQ(set.graphTable.data[2].pair[0].view, kViewSecond3D);
}

TEST_F(FactoryHelpersTest, RangeFlagsAndBoundsReachTheirViews) {
  MarkViewRangesInUse(&set, 1);
  EXPECT_EQ(std::vector<uint8_t>(set.rangeInUse, set.rangeInUse + 13),
            (std::vector<uint8_t>{0, 0, 0, 0, 1, 1, 1, 0, 0, 0, 0, 0, 0}));
  Mark4DRangesInUse(&set);
  EXPECT_TRUE(set.rangeInUse[0] && set.rangeInUse[1] && set.rangeInUse[2] && set.rangeInUse[3]);
  ViewSetSetRangeBound(&set, kRangeR, -7, 0);
  EXPECT_TRUE(set.first2D->scale.rangeR[0] == -7 && set.second2D->scale.rangeR[0] == -7);
  EXPECT_TRUE(set.first3D->settings.parameterRanges[0] == -7 && set.second3D->settings.parameterRanges[0] == -7);
  ViewSetSetRangeBound(&set, kRangeX, 5, 1);
  EXPECT_TRUE(set.first3D->settings.camera.box[1] == 5 && set.second3D->settings.camera.box[1] == 2 && set.view4D->axisRanges[1] == 2);
  ViewSetSetRangeBound(&set, kRangeW, 9, 1);  // no 4D view current: nowhere
  EXPECT_EQ(set.view4D->axisRanges[7], 2);
  set.primary = set.view4D;
  ViewSetSetRangeBound(&set, kRangeX, 6, 1);
  EXPECT_TRUE(set.view4D->axisRanges[1] == 6 && set.first3D->settings.camera.box[1] == 5);
}

// Predicates over 0..70 x {2D, 3D}: 'A' always, '3' only in 3D, '.' never.
TEST_F(FactoryHelpersTest, FormPredicatesFollowTheFormTables) {
  //                           0         1         2         3         4         5         6         7
  //                           01234567890123456789012345678901234567890123456789012345678901234567890
  const std::string condition = ".....33333333333.333AAA.33333A3..3AA..333.....333.....3333333333333....";
  const std::string colour = ".....3333333333......AA...333.3..3......3.......3......................";
  for (int32_t form = 0; form <= 70; ++form) {
    for (bool is3D : {false, true}) {
      const char c = condition[size_t(form)], k = colour[size_t(form)];
      EXPECT_EQ(FormAcceptsCondition(form, is3D), c == 'A' || (c == '3' && is3D)) << form << " " << is3D;
      EXPECT_EQ(FormAcceptsColorExpressions(form, is3D), k == 'A' || (k == '3' && is3D)) << form << " " << is3D;
    }
  }
  EXPECT_TRUE(!FormAcceptsCondition(17, false) && FormAcceptsCondition(17, true) && FormAcceptsCondition(29, false));
  EXPECT_TRUE(FormAcceptsColorExpressions(21, false) && !FormAcceptsColorExpressions(5, false));
  EXPECT_TRUE(DisplayKindOf(2.9) == 2 && DisplayKindOf(NAN) == 0 && DisplayKindOf(-1) == 3 && DisplayKindOf(1e300) == 3);
}

class ParameterDocument : public graphs_test::FakeDocument {
 public:
  double GetParameterValue(int32_t symbol) const override { return symbol == 'a' || symbol == 'b' ? 2 : NAN; }
};

TEST_F(FactoryHelpersTest, ExpressionOperations) {
  Tree square("power[z,2]");
  SubstituteComplexZ(square, 'x', 'y');
  EXPECT_TRUE(ExpressionsEqual(square, Tree("power[plus[x,times[i,y]],2]")));
  Tree lone("z");
  SubstituteComplexZ(lone, 'x', 'y');
  EXPECT_TRUE(ExpressionsEqual(lone, Tree("plus[x,times[i,y]]")));
  ExprNode* product = ProductOfSideDifferences(nullptr, Tree("lessthan[a,b,c]"));
  EXPECT_TRUE(ExpressionsEqual(product, Tree("times[plus[a,minus[b]],plus[b,minus[c]]]")));
  FreeExpression(product);
  ParameterDocument parameters;
  Tree substituted("comma[equal[matrix[3,1,r,g,b],matrix[3,1,a,b,indexes[0,1,x,a]]],plus[a,y]]");
  SubstituteParameterValues(substituted, &parameters);
  EXPECT_TRUE(ExpressionsEqual(substituted, Tree("comma[equal[matrix[3,1,r,g,b],matrix[3,1,2,2,indexes[0,1,x,a]]],plus[2,y]]")));
  Tree uv("plus[x,y]");
  RenameXYToUV(uv);
  EXPECT_TRUE(ExpressionsEqual(uv, Tree("plus[u,v]")));
  EXPECT_TRUE(IsExplicitGraphEquation(Tree("equal[y,x]")) && !IsExplicitGraphEquation(Tree("equal[plus[x,1],y]")));
}

TEST_F(FactoryHelpersTest, ColourPartsCompileThreeComponents) {
  Tree part("equal[matrix[3,1,r,g,b],matrix[3,1,x,y,0]]");
  GraphColor colour(nullptr);
  ASSERT_TRUE(IsColorSpecPart(part, &colour, 'r', 'g', 'b'));
  EXPECT_FALSE(IsColorSpecPart(part, &colour, 'h', 's', 'v'));
  SetColorFromPart(&colour, kColorRGBExpressions, part, &document);
  EXPECT_EQ(colour.mode, kColorRGBExpressions);
  for (CompiledFunction* f : colour.component) EXPECT_TRUE(f != nullptr && f->code != nullptr);
  EXPECT_EQ(EvaluateFunction2(colour.component[1], 0.25, 0.75), 0.75);
  EXPECT_EQ(document.Count("rebuild"), 1);
  SetGraphColorIndex(&colour, 17);  // no fill: colour parts are ignored
  EXPECT_FALSE(IsColorSpecPart(part, &colour, 'r', 'g', 'b'));
}

// (is3D, is4D, split, secondIs3D, transform mode) -> (primary, secondary); mode 1 adds the
// transformation's grid (a recorder here) as row 0, in the second 2D view.
TEST_F(FactoryHelpersTest, BuildGraphsForEquationSetChoosesTheViews) {
  GraphView* none = nullptr;
  const struct { bool is3D, is4D, split, second3D; uint32_t mode; GraphView *primary, *secondary; } cases[] = {
      {false, false, false, false, 0, set.first2D, none},     {true, false, false, false, 0, set.first3D, none},
      {false, true, true, true, 0, set.view4D, none},         {false, false, true, true, 0, set.first2D, set.second3D},
      {true, false, true, false, 0, set.first3D, set.second2D}, {false, false, false, false, 2, set.first2D, set.second2D},
      {true, false, false, false, 4, set.first3D, set.second3D}, {false, false, false, false, 1, set.first2D, set.second2D}};
  GraphsGlobals().constructors.mesh2D = [](CompiledFunction* fx, CompiledFunction* fy, GraphColor* colour,
                                           const ViewMap*, GraphViewSet*, GrowArray<int32_t>*) -> GraphKind2D* {
    for (CompiledFunction* f : {fx, fy}) DisposeFunction(f), delete f;
    delete colour;
    return new FakeGraph;
  };
  CoordinateTransform transform;
  transform.expression1 = Parse("plus[x,1]");
  transform.expression2 = Parse("y");
  AttachTo2DView(&set, new FakeGraph, 0);  // a stale graph is deleted first
  set.rangeInUse[7] = 1;
  for (const auto& c : cases) {
    transform.mode = c.mode;
    BuildGraphsForEquationSet(&set, c.is3D, c.is4D, c.split, c.second3D, &transform);
    EXPECT_TRUE(set.primary == c.primary && set.secondary == c.secondary) << c.is3D << c.is4D << c.split << c.mode;
    EXPECT_EQ(set.rangeInUse[7], 0);
  }
  EXPECT_TRUE(set.graphTable.count == 1 && set.graphTable.data[0].pair[0].view == kViewSecond2D);
  EXPECT_TRUE(set.first2D->graphs.count == 0 && set.first3D->settings.camera.radius == 1.2);
  FreeExpression(transform.expression1);
  FreeExpression(transform.expression2);
}

}  // namespace
