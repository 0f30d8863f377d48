// The factory's forms of the space curves, the arrows, the space points and the fields drawn on
// surfaces: recorders stand in for the kinds' constructors (then call them), noting the
// functions each form was turned into (the bracket text of the trees, worked out by hand from the
// form table: spherical (r, theta, phi) -> (r sin phi cos theta, r sin phi sin theta, r cos phi),
// cylindrical (r, theta, z) -> (r cos theta, r sin theta, z), t and the surface's variables
// renamed u and v), which ranges they run over and which range flags the build sets. Under
// transformation mode 4 the companions go to the second 3D view through a stand-in for the
// algebra's rewrite pass; under mode 2 the plane arrow's does.
#include <regex>
#include <string>
#include <vector>

#include "graphs/core/graph_color.h"
#include "graphs/core/graphs_state.h"
#include "graphs/factory/graph_factory.h"
#include "graphs/kinds2d/arrow_2d.h"
#include "graphs/view3d/arrow_3d.h"
#include "graphs/view3d/implicit_surface_field_3d.h"
#include "graphs/view3d/point_3d.h"
#include "graphs/view3d/space_curve_3d.h"
#include "graphs/view3d/surface_field_3d.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/text/bracket_writer.h"
#include "tests/graphs/graphs_test_support.h"

namespace {

using graphs_test::kAll;
using graphs_test::Tree;

// The bracket text of the function's tree, numbers by their value alone (num[2,"2"] is 2): a
// number the factory makes has no display text, one read from text has.
std::string Text(const CompiledFunction* f) {
  if (f == nullptr) return "none";
  char* text = FormatExpressionBracket(f->tree);
  if (text == nullptr) return "refused";  // under refused memory
  const std::string written = text;
  FreeMemory(text);
  return std::regex_replace(written, std::regex("num\\[([^,\\]]+),\"[^\"]*\"\\]"), "$1");
}

// What the recorders saw, one line a graph.
std::vector<std::string>& Seen() {
  static std::vector<std::string> log;
  return log;
}
const double* gRangeSeen[2];

// Replaces every variable named by the rule's left side with a copy of its right side.
void SubstituteRule(ExprNode* tree, const ExprNode* rule) {
  if (tree == nullptr) return;
  const ExprNode* name = rule->children[0];
  if (tree->kind == KindChar && tree->value.symbol == name->value.symbol) {
    ReplaceExpression(CopyExpression(rule->children[1]), tree);
    return;
  }
  for (int k = 0; k < tree->arity; ++k) SubstituteRule(tree->children[k], rule);
}

class SpaceFormsTest : public graphs_test::GraphsTest {
 protected:
  void SetUp() override {
    GraphsTest::SetUp();
    Seen().clear();
    GraphConstructors& c = GraphsGlobals().constructors;
    c.curve3D = [](CompiledFunction* x, CompiledFunction* y, CompiledFunction* z, CompiledFunction* condition,
                   GraphColor* colour, double grain, GraphicsContext* context, const double* tMin,
                   const double* tMax) {
      Seen().push_back("curve " + Text(x) + " " + Text(y) + " " + Text(z) + " if " + Text(condition));
      gRangeSeen[0] = tMin;
      return NewSpaceCurveGraph(x, y, z, condition, colour, grain, context, tMin, tMax);
    };
    c.arrow2D = [](CompiledFunction* a, CompiledFunction* b, CompiledFunction* cc, CompiledFunction* d,
                   GraphColor* colour, const ViewMap* map) {
      Seen().push_back("arrow2D " + Text(a) + " " + Text(b) + " " + Text(cc) + " " + Text(d));
      return NewArrow2DGraph(a, b, cc, d, colour, map);
    };
    c.arrow3D = [](CompiledFunction* const tail[3], CompiledFunction* const tip[3], GraphColor* colour,
                   GraphicsContext* context) {
      Seen().push_back("arrow3D " + Text(tail[0]) + " " + Text(tail[1]) + " " + Text(tail[2]) + " " + Text(tip[0]) +
                       " " + Text(tip[1]) + " " + Text(tip[2]));
      return NewArrow3DGraph(tail, tip, colour, context);
    };
    c.point3D = [](CompiledFunction* a, CompiledFunction* b, CompiledFunction* cc, GraphColor* colour, double grain,
                   GraphicsContext* context) {
      Seen().push_back("point " + Text(a) + " " + Text(b) + " " + Text(cc));
      return NewPoint3DGraph(a, b, cc, colour, grain, context);
    };
    c.surfaceField3D = [](CompiledFunction* fx, CompiledFunction* fy, CompiledFunction* fz, CompiledFunction* x,
                          CompiledFunction* y, CompiledFunction* z, CompiledFunction* condition, double grain,
                          GraphColor* colour, const double* uMin, const double* uMax, const double* vMin,
                          const double* vMax, GraphicsContext* context) {
      Seen().push_back("field " + Text(fx) + " " + Text(fy) + " " + Text(fz) + " on " + Text(x) + " " + Text(y) +
                       " " + Text(z) + " if " + Text(condition));
      gRangeSeen[0] = uMin;
      gRangeSeen[1] = vMin;
      return NewSurfaceField3DGraph(fx, fy, fz, x, y, z, condition, grain, colour, uMin, uMax, vMin, vMax, context);
    };
    c.implicitSurfaceField3D = [](CompiledFunction* fx, CompiledFunction* fy, CompiledFunction* fz,
                                  CompiledFunction* f, CompiledFunction* condition, double grain, GraphColor* colour,
                                  const double* box, GraphicsContext* context) {
      Seen().push_back("field " + Text(fx) + " " + Text(fy) + " " + Text(fz) + " on " + Text(f) + " if " +
                       Text(condition));
      gRangeSeen[0] = box;
      return NewImplicitSurfaceField3DGraph(fx, fy, fz, f, condition, grain, colour, box, context);
    };
  }
  void TearDown() override {
    DestroyViewSet(&set);
    for (ExprNode* e : expressions) FreeExpression(e);
    GraphsTest::TearDown();
  }
  void Open(bool is3D, uint32_t mode = kTransformNone) {
    DestroyViewSet(&set);
    transform.mode = mode;
    InitViewSet(&set, MakeRect(0, 0, 200, 200), &document);
    BuildGraphsForEquationSet(&set, is3D, false, false, false, &transform);
  }
  int32_t Build(const std::string& text, bool is3D, int32_t* message = nullptr) {
    Tree tree(text);
    return CreateGraphsForEquation(&set, tree, is3D, false, &transform, 1, 0.5, 1, 2, 1, &document, message);
  }
  // The transformation's expressions (x', y' and, for mode 4, z') from text, rewritten by the
  // stand-in for the algebra's pass.
  void Transform(const char* e1, const char* e2, const char* e3 = nullptr) {
    GraphsGlobals().rewritePass = SubstituteRule;
    const char* texts[3] = {e1, e2, e3};
    for (int k = 0; k < 3; ++k) {
      FreeExpression(expressions[k]);
      expressions[k] = texts[k] != nullptr ? graphs_test::Parse(texts[k]) : nullptr;
    }
    transform.expression1 = expressions[0];
    transform.expression2 = expressions[1];
    transform.expression3 = expressions[2];
  }
  std::string Flags() const {
    std::string out;
    for (uint8_t f : set.rangeInUse) out += f != 0 ? '1' : '0';
    return out;
  }
  graphs_test::FakeDocument document;
  GraphViewSet set;
  CoordinateTransform transform;
  ExprNode* expressions[3] = {};  // the transformation's, freed with the fixture
};

// The text of a formula as Text gives it.
std::string Written(const std::string& text) {
  CompiledFunction* f = graphs_test::FunctionOf(text);
  const std::string out = Text(f);
  DeleteCompiledFunction(f);
  return out;
}

TEST_F(SpaceFormsTest, CurveFormsBecomeTheirCoordinatesInU) {
  struct Case {
    const char* equation;
    const char *x, *y, *z;
    bool zRange;  // form 39 runs over the z range, the others over t
  } cases[] = {
      {"equal[matrix[3,1,x,y,z],matrix[3,1,cos[t],sin[t],over[t,10]]]", "cos[u]", "sin[u]", "over[u,10]", false},
      {"matrix[3,1,t,power[t,2],1]", "u", "power[u,2]", "1", false},
      {"equal[matrix[2,1,x,y],matrix[2,1,t,power[t,2]]]", "u", "power[u,2]", "0", false},
      {"equal[matrix[2,1,r,theta],matrix[2,1,2,t]]", "times[2,cos[u]]", "times[2,sin[u]]", "0", false},
      {"equal[matrix[3,1,r,theta,phi],matrix[3,1,2,t,3]]", "times[times[2,sin[3]],cos[u]]",
       "times[times[2,sin[3]],sin[u]]", "times[2,cos[3]]", false},
      {"equal[matrix[3,1,r,theta,z],matrix[3,1,2,t,t]]", "times[2,cos[u]]", "times[2,sin[u]]", "u", false},
      {"equal[z,power[t,2]]", "real[power[u,2]]", "imag[power[u,2]]", "0", false},
      {"equal[plus[x,times[i,y]],power[z,2]]", "real[power[u,2]]", "imag[power[u,2]]", "u", true},
  };
  for (const Case& c : cases) {
    Open(true);
    Seen().clear();
    ASSERT_EQ(Build(c.equation, true), 0) << c.equation;
    ASSERT_EQ(Seen().size(), 1u) << c.equation;
    EXPECT_EQ(Seen()[0], "curve " + Written(c.x) + " " + Written(c.y) + " " + Written(c.z) + " if none")
        << c.equation;
    ASSERT_EQ(set.first3D->graphs.count, 1);
    EXPECT_NE(dynamic_cast<GraphCurve3D*>(set.first3D->graphs.data[0]), nullptr);
    const double* expected = c.zRange ? set.first3D->settings.camera.box + 4 : set.first3D->settings.unitRanges;
    EXPECT_EQ(gRangeSeen[0], expected) << c.equation;
    EXPECT_EQ(Flags(), c.zRange ? "1110000000000" : "1110000000100") << c.equation;
  }
  // A condition goes to the curve; plane curves of t in a plane view are plane curves.
  Open(true);
  Seen().clear();
  ASSERT_EQ(Build("comma[equal[matrix[3,1,x,y,z],matrix[3,1,t,t,t]],greaterthan[z,0]]", true), 0);
  EXPECT_EQ(Seen()[0], "curve u u u if " + Written("greaterthan[z,0]"));
  Open(false);
  Seen().clear();
  EXPECT_EQ(Build("equal[matrix[2,1,r,theta],matrix[2,1,2,t]]", false), 0);
  EXPECT_TRUE(Seen().empty());
  EXPECT_TRUE(set.first3D->graphs.count == 0 && set.first2D->graphs.count == 1);
}

TEST_F(SpaceFormsTest, ArrowsAndPointsOfConstants) {
  Open(false);
  ASSERT_EQ(Build("comma[matrix[2,1,0,minus[1]],matrix[2,1,1,2]]", false), 0);
  EXPECT_EQ(Seen().back(), "arrow2D 0 " + Written("minus[1]") + " 1 2");
  auto* arrow = dynamic_cast<GraphArrow2D*>(set.first2D->graphs.data[0]);
  ASSERT_NE(arrow, nullptr);
  arrow->Compute(kAll);
  EXPECT_TRUE(arrow->Values()[1] == -1 && arrow->Values()[3] == 2);

  Open(true);
  ASSERT_EQ(Build("comma[matrix[3,1,0,0,0],matrix[3,1,1,2,3]]", true), 0);
  EXPECT_EQ(Seen().back(), "arrow3D 0 0 0 1 2 3");
  EXPECT_NE(dynamic_cast<GraphArrow3D*>(set.first3D->graphs.data[0]), nullptr);
  ASSERT_EQ(Build("matrix[3,1,1,2,3]", true), 1);
  EXPECT_EQ(Seen().back(), "point 1 2 3");
  EXPECT_NE(dynamic_cast<GraphPoint3D*>(set.first3D->graphs.data[1]), nullptr);
  EXPECT_EQ(Flags(), "1110000000000");
}

TEST_F(SpaceFormsTest, FieldsOnSurfacesTakeTheirSurfaceFormsCoordinatesAndRanges) {
  const char* field = "equal[matrix[3,1,x,y,z],matrix[3,1,minus[y],x,0]]";
  struct Case {
    const char* surface;
    const char *x, *y, *z;
    int uRange, vRange;  // into the first 3D view: 0-2 box axes, 3-5 polar, 6-8 unit
    const char* flags;
  } cases[] = {
      {"equal[z,times[x,y]]", "u", "v", "times[u,v]", 0, 1, "1110000000000"},
      {"equal[times[x,y],z]", "u", "v", "times[u,v]", 0, 1, "1110000000000"},
      {"equal[x,times[y,z]]", "times[u,v]", "u", "v", 1, 2, "1110000000000"},
      {"equal[y,plus[z,x]]", "u", "plus[v,u]", "v", 0, 2, "1110000000000"},
      {"equal[r,2]", "times[times[2,sin[v]],cos[u]]", "times[times[2,sin[v]],sin[u]]", "times[2,cos[v]]", 4, 5,
       "1110000011000"},
      {"equal[r,z]", "times[v,cos[u]]", "times[v,sin[u]]", "v", 4, 2, "1110000010000"},
      {"equal[z,r]", "times[u,cos[v]]", "times[u,sin[v]]", "u", 3, 4, "1110000110000"},
      {"equal[matrix[3,1,x,y,z],matrix[3,1,u,v,0]]", "u", "v", "0", 7, 8, "1110000000011"},
      {"equal[matrix[3,1,r,theta,z],matrix[3,1,1,u,v]]", "times[1,cos[u]]", "times[1,sin[u]]", "v", 7, 8,
       "1110000000011"},
  };
  for (const Case& c : cases) {
    Open(true);
    Seen().clear();
    const std::string equation = std::string("comma[") + field + "," + c.surface + "]";
    ASSERT_EQ(Build(equation, true), 0) << c.surface;
    ASSERT_EQ(Seen().size(), 1u) << c.surface;
    EXPECT_EQ(Seen()[0], "field " + Written("minus[y]") + " x 0 on " + Written(c.x) + " " + Written(c.y) + " " +
                             Written(c.z) + " if none")
        << c.surface;
    auto range = [&](int k) {
      GraphView3D* v = set.first3D;
      return k < 3 ? v->settings.camera.box + 2 * k
                   : k < 6 ? v->settings.parameterRanges + 2 * (k - 3) : v->settings.unitRanges + 2 * (k - 6);
    };
    EXPECT_EQ(gRangeSeen[0], range(c.uRange)) << c.surface;
    EXPECT_EQ(gRangeSeen[1], range(c.vRange)) << c.surface;
    EXPECT_EQ(Flags(), c.flags) << c.surface;
  }
  // A relation in x, y, z: the field on the implicit surface f = L - R in the view's box.
  Open(true);
  Seen().clear();
  ASSERT_EQ(Build(std::string("comma[") + field + ",equal[plus[power[x,2],power[y,2],power[z,2]],1]]", true), 0);
  EXPECT_EQ(Seen()[0], "field " + Written("minus[y]") + " x 0 on " +
                           Written("plus[plus[power[x,2],power[y,2],power[z,2]],minus[1]]") + " if none");
  EXPECT_EQ(gRangeSeen[0], set.first3D->settings.camera.box);
  EXPECT_EQ(Flags(), "1110000000000");
  EXPECT_NE(dynamic_cast<GraphImplicitSurfaceField3D*>(set.first3D->graphs.data[0]), nullptr);
  // With a condition after the surface: the condition goes to the field.
  Open(true);
  Seen().clear();
  ASSERT_EQ(Build(std::string("comma[") + field + ",equal[z,0],greaterthan[x,0]]", true), 0);
  EXPECT_EQ(Seen()[0], "field " + Written("minus[y]") + " x 0 on u v 0 if " + Written("greaterthan[x,0]"));
}

// F = (-y, x, 0) on the plane z = 0 from the text of the row: a tick of the view computes the arrows,
// one at each of the 42 x 42 points of the grain 0.5, each square to its point's radius.
TEST_F(SpaceFormsTest, TheRotationOnThePlaneFromItsTextDrawsTangentArrows) {
  Open(true);
  ASSERT_EQ(Build("comma[equal[matrix[3,1,x,y,z],matrix[3,1,minus[y],x,0]],equal[z,0]]", true), 0);
  set.first3D->rect = MakeRect(0, 0, 100, 100);
  set.first3D->Tick(kAll);
  auto* made = dynamic_cast<GraphSurfaceField3D*>(set.first3D->graphs.data[0]);
  ASSERT_NE(made, nullptr);
  ASSERT_TRUE(made->IsComplete());
  ASSERT_EQ(made->Glyphs()->GlyphCount(), 42 * 42);
  for (int32_t i = 0; i < made->Glyphs()->GlyphCount(); ++i) {
    const ArrowGlyph& g = made->Glyphs()->GlyphAt(i);
    const double bx = g.point[1][0], by = g.point[1][1];
    EXPECT_NEAR((g.point[0][0] - bx) * bx + (g.point[0][1] - by) * by, 0, 1e-5) << i;
  }
}

// Mode 4: the curve, the arrow and the point get companions in the second 3D view, whose
// coordinates are the transformation's expressions of the graph's own (x' = 2 x, y' = y + z,
// z' = z); the row's second placement names them, and the second view's ranges are marked.
TEST_F(SpaceFormsTest, SpaceCompanionsUnderATransformation) {
  Transform("times[2,x]", "plus[y,z]", "z");
  Open(true, kTransformSpace);
  ASSERT_EQ(Build("comma[equal[matrix[3,1,x,y,z],matrix[3,1,t,1,t]],greaterthan[x,0]]", true), 0);
  ASSERT_EQ(Seen().size(), 2u);
  EXPECT_EQ(Seen()[1], "curve " + Written("times[2,u]") + " " + Written("plus[1,u]") + " u if " +
                           Written("greaterthan[u,0]"));
  EXPECT_EQ(gRangeSeen[0], set.first3D->settings.unitRanges);
  EXPECT_TRUE(set.graphTable.data[0].pair[1].view == kViewSecond3D && set.second3D->graphs.count == 1);
  EXPECT_EQ(Flags(), "1110111000100");
  // The companion keeps the original's points where the original's condition holds (u is the
  // curve's parameter): x > 0 on the first curve is u > 0 on the second.
  set.first3D->rect = set.second3D->rect = MakeRect(0, 0, 100, 100);
  set.first3D->Tick(kAll);
  set.second3D->Tick(kAll);
  auto* first = dynamic_cast<GraphCurve3D*>(set.first3D->graphs.data[0]);
  auto* second = dynamic_cast<GraphCurve3D*>(set.second3D->graphs.data[0]);
  ASSERT_TRUE(first != nullptr && second != nullptr);
  for (int32_t k = 0; k < first->SampleCount(); ++k) EXPECT_EQ(first->SampleValid(k), second->SampleValid(k)) << k;
  EXPECT_EQ(second->SegmentCount(), first->SegmentCount());
  EXPECT_GT(first->SegmentCount(), 0);

  ASSERT_EQ(Build("comma[matrix[3,1,0,0,1],matrix[3,1,1,2,3]]", true), 1);
  EXPECT_EQ(Seen().back(), "arrow3D " + Written("times[2,0]") + " " + Written("plus[0,1]") + " 1 " + Written("times[2,1]") + " " +
                               Written("plus[2,3]") + " 3");
  ASSERT_EQ(Build("matrix[3,1,1,2,3]", true), 2);
  EXPECT_EQ(Seen().back(), "point " + Written("times[2,1]") + " " + Written("plus[2,3]") + " 3");
  EXPECT_EQ(set.second3D->graphs.count, 3);
  EXPECT_NE(dynamic_cast<GraphPoint3D*>(set.second3D->graphs.data[2]), nullptr);
}

// Mode 2: the plane arrow's companion has both ends through the transformation (x' = x + 1,
// y' = 2 y); mode 1 records the arrow's index instead.
TEST_F(SpaceFormsTest, PlaneArrowCompanions) {
  Transform("plus[x,1]", "times[2,y]");
  Open(false, kTransformPlaneForwards);
  const size_t before = Seen().size();
  int32_t row = set.graphTable.count;  // after the transformation's own graph
  ASSERT_EQ(Build("comma[matrix[2,1,0,1],matrix[2,1,3,4]]", false), row);
  ASSERT_EQ(Seen().size(), before + 2);
  EXPECT_EQ(Seen().back(), "arrow2D " + Written("plus[0,1]") + " " + Written("times[2,1]") + " " +
                               Written("plus[3,1]") + " " + Written("times[2,4]"));
  EXPECT_TRUE(set.graphTable.data[row].pair[1].view == kViewSecond2D);
  Open(false, kTransformPlaneBackwards);
  row = set.graphTable.count;
  const int32_t recorded = set.graphIndexList.count;
  ASSERT_EQ(Build("comma[matrix[2,1,0,1],matrix[2,1,3,4]]", false), row);
  EXPECT_EQ(set.graphIndexList.count, recorded + 1);
  EXPECT_EQ(set.graphIndexList.data[recorded], set.first2D->graphs.count - 1);
}

// Every counted allocation of each build refused in turn: the build completes or leaves the
// tables as they were (the fixture proves nothing outlives the set).
TEST_F(SpaceFormsTest, EveryRefusedAllocationLeavesTheTablesAsTheyWere) {
  Transform("times[2,x]", "y", "z");
  const char* equations[] = {
      "comma[equal[matrix[3,1,x,y,z],matrix[3,1,cos[t],sin[t],t]],greaterthan[x,0]]",
      "comma[matrix[3,1,0,0,1],matrix[3,1,1,2,3]]",
      "matrix[3,1,1,2,3]",
      "comma[equal[matrix[3,1,x,y,z],matrix[3,1,minus[y],x,0]],equal[r,2]]",
      "comma[equal[matrix[3,1,x,y,z],matrix[3,1,minus[y],x,0]],equal[plus[power[x,2],power[y,2],power[z,2]],2],lessthan[y,1]]",
  };
  for (const char* equation : equations) {
    int32_t built = 0, failed = 0;
    for (uint64_t n = 1; n < 60; ++n) {
      Open(true, kTransformSpace);
      Tree tree(equation);
      FailAllocationAt(n);
      const int32_t row = CreateGraphsForEquation(&set, tree, true, false, &transform, 1, 0.5, 1, 2, 1, &document);
      FailAllocationAt(0);
      const int32_t rows = set.graphTable.count, listed = set.first3D->graphs.count;
      EXPECT_TRUE((row == 0 && rows == 1 && listed == 1) || (row == -1 && rows == 0 && listed == 0))
          << equation << " " << n;
      EXPECT_TRUE(CheckViewSet(&set));
      (row == 0 ? built : failed) += 1;
    }
    EXPECT_GT(failed, 0) << equation;
    EXPECT_GT(built, 0) << equation;
  }
}

// Each counted allocation of a point's build refused in turn under mode 4: its companion is made
// with every coordinate through the transformation (x' = 2 x: (2, 2, 3)) or not at all, never with a
// rule missing (x' left standing in its first coordinate); the recorder's own text may be refused.
TEST_F(SpaceFormsTest, ACompanionIsNeverMadeWithARuleRefused) {
  Transform("times[2,x]", "y", "z");
  const std::string whole = "point " + Written("times[2,1]") + " 2 3";
  int32_t companions = 0;
  for (uint64_t n = 1; n < 60; ++n) {
    Seen().clear();
    Open(true, kTransformSpace);
    Tree tree("matrix[3,1,1,2,3]");
    FailAllocationAt(n);
    CreateGraphsForEquation(&set, tree, true, false, &transform, 1, 0.5, 1, 2, 1, &document);
    FailAllocationAt(0);
    if (Seen().size() < 2 || Seen()[1].find("refused") != std::string::npos) continue;
    EXPECT_EQ(Seen()[1], whole) << n;
    ++companions;
  }
  EXPECT_GT(companions, 0);
}

}  // namespace
