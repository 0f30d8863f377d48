// The factory's plane curves, points, integral curves and colour plots: the coordinate functions
// each form turns into, the graph made over copies of them, its attachment, and its companion.
#include "graphs/factory/plane_graphs.h"

#include <new>
#include <utility>

#include "graphs/core/graph_color.h"
#include "graphs/core/graphs_state.h"
#include "graphs/factory/graph_kind_table.h"
#include "graphs/kinds2d/curve_graph.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"

namespace {

// A tree the builder owns until the end of its scope.
struct OwnedTree {
  explicit OwnedTree(ExprNode* n = nullptr) : node(n) {}
  ~OwnedTree() { FreeExpression(node); }
  OwnedTree(const OwnedTree&) = delete;
  OwnedTree& operator=(const OwnedTree&) = delete;
  ExprNode* node;
};

// The builders leave their operands alone when they fail: these free them then.
ExprNode* Apply(ExprNode* (*make)(ExprNode*), ExprNode* a) {
  ExprNode* made = a != nullptr ? make(a) : nullptr;
  if (made == nullptr) FreeExpression(a);
  return made;
}
ExprNode* Apply(ExprNode* (*make)(ExprNode*, ExprNode*), ExprNode* a, ExprNode* b) {
  ExprNode* made = a != nullptr && b != nullptr ? make(a, b) : nullptr;
  if (made == nullptr) FreeExpression(a), FreeExpression(b);
  return made;
}
ExprNode* Symbol(int32_t id) { return NewSymbolNode(static_cast<int16_t>(id)); }
ExprNode* CopyOf(const ExprNode* node) { return node != nullptr ? CopyExpression(node) : nullptr; }

// Element k of a column (null when there is none).
const ExprNode* Element(const ExprNode* column, int32_t k) {
  return column != nullptr && column->kind == KindMatrix && k < column->arity ? column->children[k] : nullptr;
}

GraphView2D* View2D(GraphViewSet* set, int32_t i) { return i == 0 ? set->first2D : set->second2D; }

// Two functions over copies of x and y; both or neither (error 7 posted when a part is missing).
bool FunctionPair(const ExprNode* x, const ExprNode* y, CompiledFunction** fx, CompiledFunction** fy) {
  *fx = NewFunctionOver(CopyOf(x));
  *fy = y != nullptr ? NewFunctionOver(CopyOf(y)) : nullptr;
  if (*fx != nullptr && (*fy != nullptr || y == nullptr)) return true;
  DeleteCompiledFunction(*fx);
  DeleteCompiledFunction(*fy);
  *fx = *fy = nullptr;
  PostError(kErrorOutOfMemory);
  return false;
}

// A made graph (or null: its parts are freed here, error 7 posted) goes to 2D view i with its row;
// the colour is the graph's from the moment it was made.
FormBuild AttachMainGraph(GraphViewSet* set, GraphKind2D* graph, int32_t i, GraphColor** colour,
                          CompiledFunction* f1, CompiledFunction* f2) {
  if (graph == nullptr) {
    DeleteCompiledFunction(f1);
    DeleteCompiledFunction(f2);
    PostError(kErrorOutOfMemory);
    return FormBuild::kFailed;
  }
  *colour = nullptr;
  return KeepIfAttached(graph, AttachTo2DView(set, graph, i)) ? FormBuild::kBuilt : FormBuild::kFailed;
}

// A plane curve over x and y (taken over) in the argument renamed u, read out as probeKind over
// the view's range, with its companion; the range is marked.
FormBuild BuildCurve(GraphViewSet* set, ExprNode* x, ExprNode* y, int32_t argument, int32_t i, GraphColor** colour,
                     const CoordinateTransform* transform, double detail, int32_t probeKind, int32_t range) {
  OwnedTree ox(x), oy(y);
  auto* make = GraphKindConstructors().curve2D;
  GraphView2D* view = View2D(set, i);
  if (make == nullptr || view == nullptr) return FormBuild::kKindMissing;
  if (x == nullptr || y == nullptr) return PostError(kErrorOutOfMemory), FormBuild::kFailed;
  RenameSymbol(x, argument, 'u');
  RenameSymbol(y, argument, 'u');
  CompiledFunction *fx, *fy;
  if (!FunctionPair(x, y, &fx, &fy)) return FormBuild::kFailed;
  GraphColor* taken = *colour;
  const FormBuild built = AttachMainGraph(
      set, make(fx, fy, taken, detail, probeKind, &view->drawMap, RangeIn2DView(view, range)), i, colour, fx, fy);
  if (built != FormBuild::kBuilt) return built;
  MarkRangeInUse(set, range);
  AddCurveCompanion2D(set, transform, i, x, y, taken, detail, RangeIn2DView(set->first2D, range));
  return built;
}

// A point over x and y (taken over), with its companion.
FormBuild BuildPoint(GraphViewSet* set, ExprNode* x, ExprNode* y, int32_t i, GraphColor** colour,
                     const CoordinateTransform* transform, uint8_t draggable) {
  OwnedTree ox(x), oy(y);
  auto* make = GraphKindConstructors().point2D;
  GraphView2D* view = View2D(set, i);
  if (make == nullptr || view == nullptr) return FormBuild::kKindMissing;
  CompiledFunction *fx, *fy;
  if (x == nullptr || y == nullptr || !FunctionPair(x, y, &fx, &fy)) return FormBuild::kFailed;
  GraphColor* taken = *colour;
  const FormBuild built = AttachMainGraph(set, make(fx, fy, taken, draggable, &view->drawMap), i, colour, fx, fy);
  if (built == FormBuild::kBuilt) AddPointCompanion2D(set, transform, i, x, y, taken);
  return built;
}

// The integral curves of the slope (and dy/dt, or null), both taken over; recorded under a
// transformation when in the first view.
FormBuild BuildSlopeField(GraphViewSet* set, ExprNode* slope, ExprNode* dydt, bool system, int32_t i,
                          GraphColor** colour, const CoordinateTransform* transform, double detail) {
  OwnedTree os(slope), od(dydt);
  auto* make = GraphKindConstructors().slopeField2D;
  GraphView2D* view = View2D(set, i);
  if (make == nullptr || view == nullptr) return FormBuild::kKindMissing;
  CompiledFunction *f1, *f2;
  if (slope == nullptr || (system && dydt == nullptr) || !FunctionPair(slope, dydt, &f1, &f2)) {
    return FormBuild::kFailed;
  }
  const FormBuild built = AttachMainGraph(set, make(f1, f2, *colour, detail, &view->drawMap), i, colour, f1, f2);
  if (built == FormBuild::kBuilt && i == 0) RecordGraphIndex(set, transform);
  return built;
}

// One colour plot over copies of the three components (through the transformation when asked),
// x to u and y to v, and of the read-out part; null (all freed, error 7 posted) when a part or the
// graph cannot be had. The colour is the graph's only when one is made.
GraphKind2D* MakeColorPlot(const ExprNode* right, const ExprNode* extra, bool transformed,
                           const CoordinateTransform* transform, uint8_t hsv, GraphColor* colour,
                           const ViewMap* frame) {
  CompiledFunction* f[4] = {nullptr, nullptr, nullptr, nullptr};
  bool complete = colour != nullptr;
  for (int32_t k = 0; k < 4; ++k) {
    const ExprNode* part = k < 3 ? Element(right, k) : extra;
    if (part == nullptr) {
      complete = complete && k == 3;
      continue;
    }
    ExprNode* copy = CopyExpression(part);
    if (transformed) TransformPlaneExpression(copy, transform);
    if (k < 3) RenameXYToUV(copy);
    f[k] = NewFunctionOver(copy);
    complete = complete && f[k] != nullptr;
  }
  auto* make = GraphKindConstructors().colorPlot2D;
  GraphKind2D* graph = complete ? make(f[0], f[1], f[2], f[3], hsv, colour, frame) : nullptr;
  if (graph == nullptr) {
    for (CompiledFunction* g : f) DeleteCompiledFunction(g);
    PostError(kErrorOutOfMemory);
  }
  return graph;
}

}  // namespace

// ---- Companions ----

void TransformPlanePoint(const CoordinateTransform* transform, const ExprNode* x, const ExprNode* y, ExprNode** outX,
                        ExprNode** outY) {
  const ExprNode* point[2] = {x, y};
  const ExprNode* trees[2] = {transform->expression1, transform->expression2};
  ExprNode* out[2];
  RewriteThroughPoint(point, 2, trees, 2, out);
  *outX = out[0], *outY = out[1];
}

namespace {

// Mode 1 (i 0) records the graph; mode 2 (i 0) maps (x, y) forward and asks `make` for the
// companion over the two functions and a clone of the colour.
template <typename Make>
bool AddMappedCompanion(GraphViewSet* set, const CoordinateTransform* transform, int32_t i, const ExprNode* x,
                        const ExprNode* y, const GraphColor* colour, Make make) {
  if (transform == nullptr || i != 0) return false;
  if (transform->mode == kTransformPlaneBackwards) RecordGraphIndex(set, transform);
  if (transform->mode != kTransformPlaneForwards || set->second2D == nullptr) return false;
  ExprNode *mx, *my;
  TransformPlanePoint(transform, x, y, &mx, &my);
  OwnedTree ox(mx), oy(my);
  if (mx == nullptr) return false;
  CompiledFunction *fx, *fy;
  if (!FunctionPair(mx, my, &fx, &fy)) return false;
  GraphColor* clone = CloneGraphColor(colour);
  GraphKind2D* graph = clone != nullptr ? make(fx, fy, clone, &set->second2D->drawMap) : nullptr;
  if (graph == nullptr) {
    DeleteCompiledFunction(fx);
    DeleteCompiledFunction(fy);
    delete clone;
    PostError(kErrorOutOfMemory);
    return false;
  }
  return KeepIfAttached(graph, AttachToSecond2DView(set, graph));
}

}  // namespace

bool AddCurveCompanion2D(GraphViewSet* set, const CoordinateTransform* transform, int32_t i, const ExprNode* x,
                         const ExprNode* y, const GraphColor* colour, double detail, const double* range) {
  auto* make = GraphKindConstructors().curve2D;
  if (make == nullptr || range == nullptr) return false;
  return AddMappedCompanion(set, transform, i, x, y, colour,
                            [&](CompiledFunction* fx, CompiledFunction* fy, GraphColor* clone, const ViewMap* frame) {
                              return make(fx, fy, clone, detail, kCurveParametric, frame, range);
                            });
}

bool AddPointCompanion2D(GraphViewSet* set, const CoordinateTransform* transform, int32_t i, const ExprNode* x,
                         const ExprNode* y, const GraphColor* colour) {
  auto* make = GraphKindConstructors().point2D;
  if (make == nullptr) return false;
  return AddMappedCompanion(set, transform, i, x, y, colour,
                            [&](CompiledFunction* fx, CompiledFunction* fy, GraphColor* clone, const ViewMap* frame) {
                              return make(fx, fy, clone, 0, frame);
                            });
}

bool AddArrowCompanion2D(GraphViewSet* set, const CoordinateTransform* transform, int32_t i, const ExprNode* a,
                         const ExprNode* b, const ExprNode* c, const ExprNode* d, const GraphColor* colour) {
  auto* make = GraphKindConstructors().arrow2D;
  if (transform == nullptr || i != 0) return false;
  if (transform->mode == kTransformPlaneBackwards) RecordGraphIndex(set, transform);
  if (transform->mode != kTransformPlaneForwards || set->second2D == nullptr || make == nullptr) return false;
  ExprNode* ends[4];
  TransformPlanePoint(transform, a, b, &ends[0], &ends[1]);
  TransformPlanePoint(transform, c, d, &ends[2], &ends[3]);
  CompiledFunction* f[4];
  for (int k = 0; k < 4; ++k) f[k] = NewFunctionOver(ends[k]);
  GraphColor* clone = CloneGraphColor(colour);
  GraphKind2D* graph = nullptr;
  if (f[0] != nullptr && f[1] != nullptr && f[2] != nullptr && f[3] != nullptr && clone != nullptr) {
    graph = make(f[0], f[1], f[2], f[3], clone, &set->second2D->drawMap);
  }
  if (graph == nullptr) {
    for (CompiledFunction* g : f) DeleteCompiledFunction(g);
    delete clone;
    PostError(kErrorOutOfMemory);
    return false;
  }
  return KeepIfAttached(graph, AttachToSecond2DView(set, graph));
}

// ---- Families ----

FormBuild AddPlaneCurve(GraphViewSet* set, const ExprNode* x, const ExprNode* y, int32_t i, GraphColor** colour,
                        const CoordinateTransform* transform, double detail, bool is3D) {
  if (is3D) return FormBuild::kKindMissing;  // the space curve's
  return BuildCurve(set, CopyOf(x), CopyOf(y), 't', i, colour, transform, detail, kCurveParametric, kRangeT);
}

FormBuild AddColorPlot(GraphViewSet* set, const ExprNode* equation, int32_t i, GraphColor** colour,
                       const CoordinateTransform* transform, const ExprNode* extra, uint8_t hsv) {
  GraphView2D* view = View2D(set, i);
  if (GraphKindConstructors().colorPlot2D == nullptr || view == nullptr) return FormBuild::kKindMissing;
  if (equation->kind != KindEqual || equation->arity != 2) return FormBuild::kFailed;
  const ExprNode* right = equation->children[1];
  GraphColor* taken = *colour;
  GraphKind2D* graph = MakeColorPlot(right, extra, false, transform, hsv, taken, &view->drawMap);
  if (graph == nullptr) return FormBuild::kFailed;
  *colour = nullptr;
  if (!KeepIfAttached(graph, AttachTo2DView(set, graph, i))) return FormBuild::kFailed;
  if (transform == nullptr || i != 0) return FormBuild::kBuilt;
  if (transform->mode == kTransformPlaneForwards) RecordGraphIndex(set, transform);
  if (transform->mode == kTransformPlaneBackwards && set->second2D != nullptr) {
    GraphColor* clone = CloneGraphColor(taken);
    GraphKind2D* companion = MakeColorPlot(right, extra, true, transform, hsv, clone, &set->second2D->drawMap);
    if (companion == nullptr) delete clone;
    KeepIfAttached(companion, AttachToSecond2DView(set, companion));
  }
  return FormBuild::kBuilt;
}

FormBuild BuildPlaneForm(GraphViewSet* set, const ExprNode* node, int32_t form, int32_t i, GraphColor** colour,
                         const CoordinateTransform* transform, double detail, const ExprNode* extra, bool is3D) {
  const bool equation = node->kind == KindEqual && node->arity == 2;
  const ExprNode* left = equation ? node->children[0] : nullptr;
  const ExprNode* right = equation ? node->children[1] : nullptr;
  auto curve = [&](ExprNode* x, ExprNode* y, int32_t argument, int32_t kind, int32_t range) {
    return BuildCurve(set, x, y, argument, i, colour, transform, detail, kind, range);
  };
  auto point = [&](ExprNode* x, ExprNode* y, uint8_t draggable) {
    return BuildPoint(set, x, y, i, colour, transform, draggable);
  };
  auto field = [&](ExprNode* slope, ExprNode* dydt, bool system) {
    return BuildSlopeField(set, slope, dydt, system, i, colour, transform, detail);
  };
  auto polar = [&](ExprNode* radius, ExprNode* angle, ExprNode* radius2, ExprNode* angle2) {  // (r cos a, r sin a)
    return std::make_pair(Apply(MakeTimes, radius, Apply(MakeCos, angle)),
                          Apply(MakeTimes, radius2, Apply(MakeSin, angle2)));
  };
  const bool needsEquation = form != 44 && form != 46;
  if (needsEquation && !equation) return FormBuild::kFailed;
  switch (form) {
    case 3: {  // r = f(theta)
      auto [x, y] = polar(CopyOf(right), Symbol(SymTheta), CopyOf(right), Symbol(SymTheta));
      return curve(x, y, SymTheta, kCurvePolarR, kRangeTheta);
    }
    case 4: {  // theta = f(r)
      auto [x, y] = polar(Symbol('r'), CopyOf(right), Symbol('r'), CopyOf(right));
      return curve(x, y, 'r', kCurvePolarTheta, kRangeR);
    }
    case 15: {  // (r, theta) = f(t)
      if (is3D) return FormBuild::kKindMissing;  // the space curve's
      const ExprNode *r = Element(right, 0), *a = Element(right, 1);
      auto [x, y] = polar(CopyOf(r), CopyOf(a), CopyOf(r), CopyOf(a));
      return curve(x, y, 't', kCurvePolarPair, kRangeT);
    }
    case 18:
      return AddPlaneCurve(set, Element(right, 0), Element(right, 1), i, colour, transform, detail, is3D);
    case 46:
      return AddPlaneCurve(set, Element(node, 0), Element(node, 1), i, colour, transform, detail, is3D);
    case 38: {  // z = f(t), x + i y = f(t)
      OwnedTree x(Apply(MakeRealPart, CopyOf(right))), y(Apply(MakeImagPart, CopyOf(right)));
      if (x.node == nullptr || y.node == nullptr) return PostError(kErrorOutOfMemory), FormBuild::kFailed;
      return AddPlaneCurve(set, x.node, y.node, i, colour, transform, detail, is3D);
    }
    case 36:  // dy/dx = f(x, y)
      return field(CopyOf(right), nullptr, false);
    case 37:  // d/dt (x, y) = F(x, y)
      return field(CopyOf(Element(right, 0)), CopyOf(Element(right, 1)), true);
    case 41: {  // dz/dt = f(z), read with z = x + i y
      ExprNode* a = CopyOf(right);
      ExprNode* b = CopyOf(right);
      SubstituteComplexZ(a, 'x', 'y');
      SubstituteComplexZ(b, 'x', 'y');
      return field(Apply(MakeRealPart, a), Apply(MakeImagPart, b), true);
    }
    case 42:  // a complex point's name or expression = a complex constant: dragged
      return point(Apply(MakeRealPart, CopyOf(left)), Apply(MakeImagPart, CopyOf(left)), 1);
    case 43:  // z = a complex constant
      return point(Apply(MakeRealPart, CopyOf(right)), Apply(MakeImagPart, CopyOf(right)), 0);
    case 44:  // a constant 2-vector
      return point(CopyOf(Element(node, 0)), CopyOf(Element(node, 1)), 0);
    case 45:  // (x, y) = constants
      return point(CopyOf(Element(right, 0)), CopyOf(Element(right, 1)), 0);
    case 49:
    case 50:
      return AddColorPlot(set, node, i, colour, transform, extra, form == 50 ? 1 : 0);
    default:
      return FormBuild::kKindMissing;
  }
}
