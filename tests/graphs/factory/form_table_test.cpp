// What the factory builds for every form code the classifier gives (1 to 66): one row a form, with
// the kinds and view placements of its graph-table row, or -1 and the message of the view for a
// form whose kinds are not on this branch yet. Such a row is marked pending and fails loudly once
// the form builds anything, asking for its row to be written. Then the plane forms' coordinate
// functions, worked out by hand from the factory's formulas and evaluated at u = 0.7, and their
// companions under a coordinate transformation.
#include <cmath>
#include <set>
#include <string>

#include "graphs/core/graph_color.h"
#include "graphs/factory/equation_form.h"
#include "graphs/factory/graph_factory.h"
#include "graphs/factory/plane_graphs.h"
#include "graphs/kinds2d/arrow_2d.h"
#include "graphs/kinds2d/color_plot_graph.h"
#include "graphs/kinds2d/contour_graph.h"
#include "graphs/kinds2d/curve_graph.h"
#include "graphs/kinds2d/mapped_picture_graph.h"
#include "graphs/kinds2d/point_graph.h"
#include "graphs/kinds2d/raster_graph.h"
#include "graphs/kinds2d/relation_graph.h"
#include "graphs/kinds2d/slope_field_graph.h"
#include "graphs/kinds2d/textured_image_graph.h"
#include "graphs/kinds2d/traced_graph.h"
#include "graphs/kinds2d/vector_field_graph.h"
#include "graphs/view3d/arrow_3d.h"
#include "graphs/view3d/implicit_surface_3d.h"
#include "graphs/view3d/implicit_surface_field_3d.h"
#include "graphs/view3d/parametric_surface_3d.h"
#include "graphs/view3d/point_3d.h"
#include "graphs/view3d/space_curve_3d.h"
#include "graphs/view3d/surface_companion_3d.h"
#include "graphs/view3d/surface_field_3d.h"
#include "graphs/view3d/vector_field_3d.h"
#include "graphs/view4d/graph_curve_4d.h"
#include "graphs/view4d/graph_surface_4d.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/trees/node_builders.h"
#include "tests/graphs/graphs_test_support.h"

namespace {

using graphs_test::Tree;

// The kind of a graph by its class; "?" for a kind this table does not know yet.
std::string KindOf(const GraphKind* g) {
  if (dynamic_cast<const GraphTraced2D*>(g)) return "traced";
  if (dynamic_cast<const GraphRelation2D*>(g)) return "relation";
  if (dynamic_cast<const GraphRaster2D*>(g)) return "raster";
  if (dynamic_cast<const GraphContour2D*>(g)) return "contour";
  if (dynamic_cast<const GraphVectorField2D*>(g)) return "field";
  if (dynamic_cast<const GraphCurve2D*>(g)) return "curve";
  if (dynamic_cast<const GraphPoint2D*>(g)) return "point";
  if (dynamic_cast<const GraphSlopeField2D*>(g)) return "slope";
  if (dynamic_cast<const GraphColorPlot2D*>(g)) return "colour";
  if (dynamic_cast<const GraphMesh2D*>(g)) return "mesh";
  if (dynamic_cast<const GraphImage2D*>(g)) return "image";
  if (dynamic_cast<const GraphVectorField3D*>(g)) return "field3D";
  if (dynamic_cast<const GraphSurface3D*>(g)) return "surface3D";
  if (dynamic_cast<const GraphImplicitSurface3D*>(g)) return "implicit3D";
  if (dynamic_cast<const GraphSurfaceCompanion3D*>(g)) return "companion3D";
  if (dynamic_cast<const GraphArrow2D*>(g)) return "arrow";
  if (dynamic_cast<const GraphCurve3D*>(g)) return "curve3D";
  if (dynamic_cast<const GraphArrow3D*>(g)) return "arrow3D";
  if (dynamic_cast<const GraphPoint3D*>(g)) return "point3D";
  if (dynamic_cast<const GraphSurfaceField3D*>(g)) return "surfaceField3D";
  if (dynamic_cast<const GraphImplicitSurfaceField3D*>(g)) return "implicitField3D";
  if (dynamic_cast<const GraphCurve4D*>(g)) return "curve4D";
  if (dynamic_cast<const GraphSurface4D*>(g)) return "surface4D";
  return "?";
}

const char* kViewNames[] = {"-", "2D1", "2D2", "3D1", "3D2", "4D"};

class FormTableTest : public graphs_test::GraphsTest {
 protected:
  void TearDown() override {
    DestroyViewSet(&set);
    graphs_test::GraphsTest::TearDown();
  }
  void Open(uint32_t mode = kTransformNone) {
    DestroyViewSet(&set);
    transform.mode = mode;
    InitViewSet(&set, MakeRect(0, 0, 410, 200), &document);
    BuildGraphsForEquationSet(&set, false, false, mode != kTransformNone, false, &transform);
  }
  int32_t Build(const std::string& text, bool is3D, bool is4D, double xyType, int32_t* message) {
    Tree tree(text);
    return CreateGraphsForEquation(&set, tree, is3D, is4D, &transform, 1, 0.5, 1, 2, xyType, &document, message);
  }
  // The row's four placements as "view:kind", "-" for an empty one.
  std::string Placements(int32_t row) const {
    std::string out;
    for (const GraphSlot& slot : set.graphTable.data[row].pair) {
      if (!out.empty()) out += " ";
      const GraphView* view = ViewSetView(&set, slot.view);
      if (slot.view == kNoView || view == nullptr || slot.index >= view->graphs.count) {
        out += "-";
        continue;
      }
      out += std::string(kViewNames[slot.view]) + ":" + KindOf(view->graphs.data[slot.index]);
    }
    return out;
  }
  graphs_test::FakeDocument document;
  GraphViewSet set;
  CoordinateTransform transform;
};

// A form built in a 2D view, a 3D view or the 4D view.
enum Where { k2D, k3D, k4D };
constexpr const char* kPending = nullptr;

struct FormRow {
  int32_t form;
  const char* text;
  Where where;
  double xyType;
  const char* placements;  // kPending: its kinds are not on this branch; the view's message expected
};

#define F "equal[matrix[3,1,x,y,z],matrix[3,1,y,z,x]],"  // (x, y, z) = (y, z, x) before a surface
const FormRow kForms[] = {
    {1, "equal[y,power[x,2]]", k2D, 1, "2D1:traced - - -"},
    {2, "equal[x,power[y,2]]", k2D, 1, "2D1:traced - - -"},
    {3, "equal[r,theta]", k2D, 1, "2D1:curve - - -"},
    {4, "equal[theta,r]", k2D, 1, "2D1:curve - - -"},
    {5, "equal[z,times[x,y]]", k2D, 2, "2D1:raster - - -"},
    {5, "equal[z,times[x,y]]", k2D, 3, "2D1:contour - - -"},
    {5, "equal[z,times[x,y]]", k3D, 1, "3D1:surface3D - - -"},
    {6, "equal[x,times[y,z]]", k3D, 1, "3D1:surface3D - - -"},
    {7, "equal[y,times[x,z]]", k3D, 1, "3D1:surface3D - - -"},
    {8, "equal[r,times[theta,phi]]", k3D, 1, "3D1:surface3D - - -"},
    {9, "equal[theta,times[r,phi]]", k3D, 1, "3D1:surface3D - - -"},
    {10, "equal[phi,times[r,theta]]", k3D, 1, "3D1:surface3D - - -"},
    {11, "equal[r,times[theta,z]]", k3D, 1, "3D1:surface3D - - -"},
    {12, "equal[z,times[r,theta]]", k2D, 2, "2D1:raster - - -"},
    {12, "equal[z,times[r,theta]]", k2D, 3, "2D1:contour - - -"},
    {13, "equal[z,times[x,r]]", k2D, 2, "2D1:raster - - -"},
    {14, "equal[theta,times[r,z]]", k3D, 1, "3D1:surface3D - - -"},
    {15, "equal[matrix[2,1,r,theta],matrix[2,1,t,t]]", k2D, 1, "2D1:curve - - -"},
    {15, "equal[matrix[2,1,r,theta],matrix[2,1,t,t]]", k3D, 1, "3D1:curve3D - - -"},
    {16, "equal[matrix[2,1,x,y],matrix[2,1,y,x]]", k2D, 1, "2D1:field - - -"},
    {17, "equal[matrix[3,1,x,y,z],matrix[3,1,y,z,x]]", k3D, 1, "3D1:field3D - - -"},
    {18, "equal[matrix[2,1,x,y],matrix[2,1,cos[t],sin[t]]]", k2D, 1, "2D1:curve - - -"},
    {18, "equal[matrix[2,1,x,y],matrix[2,1,cos[t],sin[t]]]", k3D, 1, "3D1:curve3D - - -"},
    {19, "equal[matrix[3,1,x,y,z],matrix[3,1,cos[t],sin[t],t]]", k3D, 1, "3D1:curve3D - - -"},
    {20, "equal[matrix[4,1,x,y,u,v],matrix[4,1,cos[t],sin[t],t,1]]", k4D, 1, "4D:curve4D - - -"},
    {21, "equal[matrix[4,1,x,y,u,v],matrix[4,1,cos[u],sin[u],u,v]]", k4D, 1, "4D:surface4D - - -"},
    {22, "equal[w,power[z,2]]", k4D, 1, "4D:surface4D - - -"},
    {23, "comma[matrix[4,1,1,2,3,4],matrix[4,1,5,6,7,8]]", k4D, 1, "4D:curve4D - - -"},
    {24, "equal[matrix[3,1,r,theta,phi],matrix[3,1,t,t,t]]", k3D, 1, "3D1:curve3D - - -"},
    {25, "equal[matrix[3,1,r,theta,z],matrix[3,1,t,t,t]]", k3D, 1, "3D1:curve3D - - -"},
    {26, "equal[matrix[3,1,x,y,z],matrix[3,1,u,v,times[u,v]]]", k3D, 1, "3D1:surface3D - - -"},
    {27, "equal[matrix[3,1,r,theta,phi],matrix[3,1,u,v,u]]", k3D, 1, "3D1:surface3D - - -"},
    {28, "equal[matrix[3,1,r,theta,z],matrix[3,1,u,v,1]]", k3D, 1, "3D1:surface3D - - -"},
    {29, "equal[plus[power[x,2],power[y,2]],1]", k2D, 1, "2D1:relation - - -"},
    {30, "equal[plus[power[x,2],power[y,2],power[z,2]],1]", k3D, 1, "3D1:implicit3D - - -"},
    {31, "power[x,2]", k2D, 1, "2D1:traced - - -"},
    {32, "power[y,2]", k2D, 1, "2D1:traced - - -"},
    {33, "times[x,y]", k2D, 2, "2D1:raster - - -"},
    {34, "lessthan[x,y]", k2D, 1, "2D1:relation - - -"},
    {35, "leq[x,y]", k2D, 1, "2D1:relation - 2D1:relation -"},
    {36, "equal[function[optotal[x],y],times[x,y]]", k2D, 1, "2D1:slope - - -"},
    {37, "equal[function[optotal[t],matrix[2,1,x,y]],matrix[2,1,y,minus[x]]]", k2D, 1, "2D1:slope - - -"},
    {38, "equal[z,power[t,2]]", k2D, 1, "2D1:curve - - -"},
    {38, "equal[z,power[t,2]]", k3D, 1, "3D1:curve3D - - -"},
    {39, "equal[plus[x,times[i,y]],power[z,2]]", k3D, 1, "3D1:curve3D - - -"},
    {40, "power[z,2]", k2D, 2, "2D1:raster - - -"},
    {40, "power[z,2]", k2D, 3, "2D1:contour - - -"},
    {41, "equal[function[optotal[t],z],z]", k2D, 1, "2D1:slope - - -"},
    {42, "equal[p,plus[1,times[2,i]]]", k2D, 1, "2D1:point - - -"},
    {43, "equal[z,plus[2,times[3,i]]]", k2D, 1, "2D1:point - - -"},
    {44, "matrix[2,1,1,2]", k2D, 1, "2D1:point - - -"},
    {45, "equal[matrix[2,1,x,y],matrix[2,1,1,2]]", k2D, 1, "2D1:point - - -"},
    {46, "matrix[2,1,t,power[t,2]]", k2D, 1, "2D1:curve - - -"},
    {47, "matrix[3,1,cos[t],sin[t],t]", k3D, 1, "3D1:curve3D - - -"},
    {48, "matrix[3,1,u,v,times[u,v]]", k3D, 1, "3D1:surface3D - - -"},
    {49, "equal[matrix[3,1,r,g,b],matrix[3,1,x,y,0]]", k2D, 1, "2D1:colour - - -"},
    {50, "equal[matrix[3,1,h,s,v],matrix[3,1,x,y,1]]", k2D, 1, "2D1:colour - - -"},
    {51, "comma[matrix[2,1,1,2],matrix[2,1,3,4]]", k2D, 1, "2D1:arrow - - -"},
    {52, "comma[matrix[3,1,1,2,3],matrix[3,1,4,5,6]]", k3D, 1, "3D1:arrow3D - - -"},
    {53, "matrix[3,1,1,2,3]", k3D, 1, "3D1:point3D - - -"},
    {54, "comma[" F "equal[plus[power[x,2],power[y,2],power[z,2]],1]]", k3D, 1, "3D1:implicitField3D - - -"},
    {55, "comma[" F "equal[x,times[y,z]]]", k3D, 1, "3D1:surfaceField3D - - -"},
    {56, "comma[" F "equal[y,times[z,x]]]", k3D, 1, "3D1:surfaceField3D - - -"},
    {57, "comma[" F "equal[z,times[y,x]]]", k3D, 1, "3D1:surfaceField3D - - -"},
    {58, "comma[" F "equal[r,times[theta,phi]]]", k3D, 1, "3D1:surfaceField3D - - -"},
    {59, "comma[" F "equal[theta,times[r,phi]]]", k3D, 1, "3D1:surfaceField3D - - -"},
    {60, "comma[" F "equal[phi,times[r,theta]]]", k3D, 1, "3D1:surfaceField3D - - -"},
    {61, "comma[" F "equal[r,times[theta,z]]]", k3D, 1, "3D1:surfaceField3D - - -"},
    {62, "comma[" F "equal[z,times[r,theta]]]", k3D, 1, "3D1:surfaceField3D - - -"},
    {63, "comma[" F "equal[theta,times[r,z]]]", k3D, 1, "3D1:surfaceField3D - - -"},
    {64, "comma[" F "equal[matrix[3,1,x,y,z],matrix[3,1,u,v,times[u,v]]]]", k3D, 1, "3D1:surfaceField3D - - -"},
    {65, "comma[" F "equal[matrix[3,1,r,theta,phi],matrix[3,1,u,v,1]]]", k3D, 1, "3D1:surfaceField3D - - -"},
    {66, "comma[" F "equal[matrix[3,1,r,theta,z],matrix[3,1,u,v,1]]]", k3D, 1, "3D1:surfaceField3D - - -"},
};
#undef F

TEST_F(FormTableTest, EveryFormBuildsItsKindsOrSaysItCannot) {
  std::set<int32_t> forms;
  for (const FormRow& r : kForms) {
    Open();
    const bool is3D = r.where == k3D, is4D = r.where == k4D;
    Tree tree(r.text);
    ASSERT_EQ(ClassifyEquationForGraph(tree, is3D, is4D, &document), r.form) << r.text;
    forms.insert(r.form);
    int32_t message = -1;
    const int32_t row = Build(r.text, is3D, is4D, r.xyType, &message);
    if (r.placements == kPending) {
      EXPECT_EQ(row, -1) << "form " << r.form << " (" << r.text << ") builds now: " << Placements(row)
                         << "; write what it builds into its row";
      EXPECT_EQ(message, is4D ? 25 : is3D ? 24 : 14) << r.form;
      continue;
    }
    ASSERT_EQ(row, 0) << "form " << r.form << " " << r.text;
    EXPECT_EQ(message, 0) << r.form;
    EXPECT_EQ(Placements(row), r.placements) << "form " << r.form << " " << r.text;
    EXPECT_TRUE(CheckViewSet(&set));
  }
  for (int32_t form = 1; form <= 66; ++form) EXPECT_TRUE(forms.count(form)) << "form " << form << " has no row";
}

// ---- The plane forms' functions ----

double At(CompiledFunction* f, double u) { return EvaluateFunction1(f, u); }

// Each curve form's (x(u), y(u)) at u = 0.7 from the factory's formulas, its read-out kind, the
// view range it runs over and the range it marks.
TEST_F(FormTableTest, PlaneCurveFormsMakeTheirCoordinateFunctions) {
  const double u = 0.7;
  const struct {
    const char* text;
    double x, y;
    int32_t kind, range;
  } cases[] = {
      {"equal[r,plus[1,cos[theta]]]", (1 + std::cos(u)) * std::cos(u), (1 + std::cos(u)) * std::sin(u), 4, kRangeTheta},
      {"equal[theta,times[2,r]]", u * std::cos(2 * u), u * std::sin(2 * u), 5, kRangeR},
      {"equal[matrix[2,1,r,theta],matrix[2,1,t,times[2,t]]]", u * std::cos(2 * u), u * std::sin(2 * u), 6, kRangeT},
      {"equal[matrix[2,1,x,y],matrix[2,1,cos[t],power[t,2]]]", std::cos(u), u * u, 3, kRangeT},
      {"equal[z,plus[t,times[i,power[t,2]]]]", u, u * u, 3, kRangeT},
      {"matrix[2,1,t,power[t,3]]", u, u * u * u, 3, kRangeT}};
  for (const auto& c : cases) {
    Open();
    ASSERT_EQ(Build(c.text, false, false, 1, nullptr), 0) << c.text;
    auto* curve = dynamic_cast<GraphCurve2D*>(set.first2D->graphs.data[0]);
    ASSERT_NE(curve, nullptr) << c.text;
    EXPECT_NEAR(At(curve->XFunction(), u), c.x, 1e-14) << c.text;
    EXPECT_NEAR(At(curve->YFunction(), u), c.y, 1e-14) << c.text;
    EXPECT_EQ(curve->ProbeKind(), c.kind) << c.text;
    const View2DScale& s = set.first2D->scale;
    EXPECT_EQ(curve->Range(), c.range == kRangeT ? s.rangeT : c.range == kRangeR ? s.rangeR : s.rangeTheta);
    EXPECT_EQ(set.rangeInUse[c.range], 1) << c.text;
  }
}

// Points at their coordinates (draggable for a complex point's definition); integral curves with
// their slope and dy/dt at (0.5, 2); colour plots with their components, read-out and HSV flag.
TEST_F(FormTableTest, PointSlopeAndColourFormsMakeTheirFunctions) {
  SetDefinedValueLookup([](Complex* out, int32_t key) { *out = key == 'p' ? Complex{1, 2} : Complex{1, 0}; });
  const struct {
    const char* text;
    double x, y;
    bool draggable;
  } points[] = {{"equal[p,plus[1,times[2,i]]]", 1, 2, true}, {"equal[z,plus[2,times[3,i]]]", 2, 3, false},
                {"matrix[2,1,1,2]", 1, 2, false}, {"equal[matrix[2,1,x,y],matrix[2,1,3,4]]", 3, 4, false}};
  for (const auto& c : points) {
    Open();
    ASSERT_EQ(Build(c.text, false, false, 1, nullptr), 0) << c.text;
    auto* point = dynamic_cast<GraphPoint2D*>(set.first2D->graphs.data[0]);
    ASSERT_NE(point, nullptr);
    point->Compute(graphs_test::kAll);
    EXPECT_TRUE(point->X() == c.x && point->Y() == c.y && point->Draggable() == c.draggable) << c.text;
  }
  const struct {
    const char* text;
    double slope, dydt;
    bool system;
  } fields[] = {{"equal[function[optotal[x],y],times[x,y]]", 1, 0, false},
                {"equal[function[optotal[t],matrix[2,1,x,y]],matrix[2,1,y,minus[x]]]", 2, -0.5, true},
                {"equal[function[optotal[t],z],power[z,2]]", 0.25 - 4, 2 * 0.5 * 2, true},
                {"equal[function[optotal[x],y],y]", 2, 0, false}};  // dy/dx = y, not read as y = y' 
  for (const auto& c : fields) {
    Open();
    ASSERT_EQ(Build(c.text, false, false, 1, nullptr), 0) << c.text;
    auto* field = dynamic_cast<GraphSlopeField2D*>(set.first2D->graphs.data[0]);
    ASSERT_NE(field, nullptr);
    EXPECT_DOUBLE_EQ(EvaluateFunction2(field->SlopeFunction(), 0.5, 2), c.slope) << c.text;
    EXPECT_EQ(field->DyDtFunction() != nullptr, c.system) << c.text;
    if (c.system) {
      EXPECT_DOUBLE_EQ(EvaluateFunction2(field->DyDtFunction(), 0.5, 2), c.dydt) << c.text;
    }
  }
  Open();
  ASSERT_EQ(Build("comma[equal[matrix[3,1,h,s,v],matrix[3,1,x,y,0.5]],plus[x,times[i,y]]]", false, false, 1, nullptr), 0);
  auto* plot = dynamic_cast<GraphColorPlot2D*>(set.first2D->graphs.data[0]);
  ASSERT_NE(plot, nullptr);
  EXPECT_TRUE(plot->IsHSV() && plot->Readout() != nullptr);
  EXPECT_EQ(EvaluateFunction6(plot->Component(0), 0.25, 0.5, 0, 0, 0, 0), 0.25);  // x turned into u
  EXPECT_EQ(EvaluateFunction6(plot->Component(1), 0.25, 0.5, 0, 0, 0, 0), 0.5);   // y into v
}

// ---- Companions ----

// Stands in for the algebra's rewrite: every variable named by the rule's left side becomes a
// copy of its right side.
void SubstitutionPass(ExprNode* tree, const ExprNode* rule) {
  const int32_t name = rule->children[0]->value.symbol;
  if (tree->kind == KindChar && tree->value.symbol == name) {
    ReplaceExpression(CopyExpression(rule->children[1]), tree);  // the root keeps its identity
    return;
  }
  TreeCursor cursor(tree, WalkOrder::kPreOrder);
  for (ExprNode* n = cursor.Current(); n != nullptr;) {
    if (n->kind != KindChar || n->value.symbol != name || n == tree) {
      n = cursor.Next();
      continue;
    }
    ExprNode* next = cursor.Pass();
    ReplaceExpression(CopyExpression(rule->children[1]), n);
    n = next;
  }
}

// Mode 2 (x' = x + 1, y' = 2 y): curves and points get companions in the second 2D view over the
// mapped coordinates; mode 1 records them. Colour plots the other way round: mode 1 (x = x' - 1,
// y = y') builds the companion through the transformation, mode 2 records it. The
// transformation's own graph: the mapped picture of mode 1 evaluates x' - 1 at the second view's
// x, the textured image of mode 2 x + 1 at the first view's x.
TEST_F(FormTableTest, CompanionsOfCurvesPointsAndColourPlots) {
  GraphsGlobals().rewritePass = SubstitutionPass;
  Tree forward1("plus[x,1]"), forward2("times[2,y]");
  transform.expression1 = forward1;
  transform.expression2 = forward2;
  Open(kTransformPlaneForwards);
  ASSERT_EQ(set.graphTable.count, 1);  // row 0: the transformation's own graph
  ASSERT_EQ(Build("equal[matrix[2,1,x,y],matrix[2,1,cos[t],sin[t]]]", false, false, 1, nullptr), 1);
  ASSERT_EQ(Build("equal[matrix[2,1,x,y],matrix[2,1,3,4]]", false, false, 1, nullptr), 2);
  EXPECT_EQ(Placements(1), "2D1:curve 2D2:curve - -");
  EXPECT_EQ(Placements(2), "2D1:point 2D2:point - -");
  auto* curve = dynamic_cast<GraphCurve2D*>(set.second2D->graphs.data[set.graphTable.data[1].pair[1].index]);
  ASSERT_NE(curve, nullptr);
  EXPECT_NEAR(At(curve->XFunction(), 0.7), std::cos(0.7) + 1, 1e-14);
  EXPECT_NEAR(At(curve->YFunction(), 0.7), 2 * std::sin(0.7), 1e-14);
  EXPECT_EQ(curve->Range(), set.first2D->scale.rangeT);
  auto* point = dynamic_cast<GraphPoint2D*>(set.second2D->graphs.data[set.graphTable.data[2].pair[1].index]);
  ASSERT_NE(point, nullptr);
  point->Compute(graphs_test::kAll);
  EXPECT_TRUE(point->X() == 4 && point->Y() == 8 && !point->Draggable());
  ASSERT_EQ(Build("equal[matrix[3,1,r,g,b],matrix[3,1,x,y,0]]", false, false, 1, nullptr), 3);
  EXPECT_EQ(Placements(3), "2D1:colour - - -");
  EXPECT_EQ(set.graphIndexList.count, 1);

  Tree backward1("'plus[x,minus[1]]"), backward2("'y");
  transform.expression1 = backward1;
  transform.expression2 = backward2;
  Open(kTransformPlaneBackwards);
  ASSERT_EQ(Build("equal[matrix[2,1,x,y],matrix[2,1,cos[t],sin[t]]]", false, false, 1, nullptr), 1);
  EXPECT_EQ(Placements(1), "2D1:curve - - -");
  EXPECT_EQ(set.graphIndexList.count, 1);
  ASSERT_EQ(Build("equal[matrix[3,1,r,g,b],matrix[3,1,x,y,0]]", false, false, 1, nullptr), 2);
  EXPECT_EQ(Placements(2), "2D1:colour 2D2:colour - -");
  auto* plot = dynamic_cast<GraphColorPlot2D*>(set.second2D->graphs.data[set.graphTable.data[2].pair[1].index]);
  ASSERT_NE(plot, nullptr);
  EXPECT_EQ(EvaluateFunction6(plot->Component(0), 0.25, 0.5, 0, 0, 0, 0), 0.25 - 1);  // x = x' - 1, in u
  auto* mesh = dynamic_cast<GraphMesh2D*>(set.second2D->graphs.data[0]);
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(EvaluateFunction2(mesh->XFunction(), 0.5, 0.25), -0.5);
  transform.expression1 = forward1;
  transform.expression2 = forward2;
  Open(kTransformPlaneForwards);
  auto* image = dynamic_cast<GraphImage2D*>(set.second2D->graphs.data[0]);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(EvaluateFunction2(image->XFunction(), 0.5, 0.25), 1.5);
  EXPECT_EQ(EvaluateFunction2(image->YFunction(), 0.5, 0.25), 0.5);
  transform.expression1 = transform.expression2 = nullptr;
}

// Every counted allocation of a plane form's build refused in turn, with its companion: a row with
// its graph, or nothing at all; nothing leaks (the fixture's counts).
TEST_F(FormTableTest, PlaneBuildsUnderEveryRefusedAllocation) {
  GraphsGlobals().rewritePass = SubstitutionPass;
  Tree forward1("plus[x,1]"), forward2("times[2,y]");
  const char* texts[] = {"equal[matrix[2,1,x,y],matrix[2,1,cos[t],sin[t]]]", "equal[z,plus[2,times[3,i]]]",
                         "equal[function[optotal[t],z],power[z,2]]",
                         "comma[equal[matrix[3,1,r,g,b],matrix[3,1,x,y,0]],plus[x,y]]"};
  for (const char* text : texts) {
    int32_t failures = 0, successes = 0;
    for (uint64_t n = 1; n < 80; ++n) {
      transform.expression1 = forward1;
      transform.expression2 = forward2;
      Open(kTransformPlaneForwards);
      const int32_t rows = set.graphTable.count;
      Tree tree(text);
      FailAllocationAt(n);
      const int32_t row = CreateGraphsForEquation(&set, tree, false, false, &transform, 1, 0.5, 1, 2, 1, &document);
      FailAllocationAt(0);
      const int32_t listed = set.first2D->graphs.count;
      EXPECT_TRUE(row == rows ? listed == 1 : (row == -1 && listed == 0 && set.graphTable.count == rows))
          << text << " " << n;
      EXPECT_TRUE(CheckViewSet(&set));
      failures += row == -1, successes += row == rows;
    }
    EXPECT_TRUE(failures > 0 && successes > 0) << text;
  }
  transform.expression1 = transform.expression2 = nullptr;
}

}  // namespace
