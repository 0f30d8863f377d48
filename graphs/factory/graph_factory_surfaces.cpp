// The surface forms' graphs: the coordinate functions each form's table row gives, built from
// copies of the equation, the kinds' constructors, attachment to the 3D view with the ranges in use,
// and the companions of a space transformation.
#include "graphs/factory/graph_factory_surfaces.h"

#include <initializer_list>
#include <vector>

#include "graphs/factory/graph_kind_table.h"
#include "graphs/view3d/graph_view_3d.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"
#include "kernel/trees/node_kinds.h"

namespace {

// Builders that free their operands when the node cannot be had (error 7 posted by the pool).
ExprNode* Owning(ExprNode* made, std::initializer_list<ExprNode*> operands) {
  if (made == nullptr) {
    for (ExprNode* operand : operands) FreeExpression(operand);
  }
  return made;
}
ExprNode* Times(ExprNode* a, ExprNode* b) {
  return a != nullptr && b != nullptr ? Owning(MakeTimes(a, b), {a, b}) : Owning(nullptr, {a, b});
}
ExprNode* Times3(ExprNode* a, ExprNode* b, ExprNode* c) {
  return a != nullptr && b != nullptr && c != nullptr ? Owning(MakeTimes3(a, b, c), {a, b, c})
                                                      : Owning(nullptr, {a, b, c});
}
ExprNode* Sin(ExprNode* a) { return a != nullptr ? Owning(MakeSin(a), {a}) : nullptr; }
ExprNode* Cos(ExprNode* a) { return a != nullptr ? Owning(MakeCos(a), {a}) : nullptr; }
ExprNode* U() { return NewSymbolNode('u'); }
ExprNode* V() { return NewSymbolNode('v'); }
// A copy of e with `a` renamed u and `b` renamed v.
ExprNode* InUV(const ExprNode* e, int32_t a, int32_t b) {
  ExprNode* copy = CopyExpression(e);
  if (copy != nullptr) {
    RenameSymbol(copy, a, 'u');
    RenameSymbol(copy, b, 'v');
  }
  return copy;
}

// The spherical point (rho, theta, phi) -> (rho sin phi cos theta, rho sin phi sin theta, rho cos phi),
// from three trees it takes over, each used as often as the formula needs (copies beyond the first).
void Spherical(ExprNode* rho, ExprNode* theta, ExprNode* phi, ExprNode* out[3]) {
  out[0] = Times3(CopyExpression(rho), Sin(CopyExpression(phi)), Cos(CopyExpression(theta)));
  out[1] = Times3(CopyExpression(rho), Sin(CopyExpression(phi)), Sin(theta));
  out[2] = Times(rho, Cos(phi));
}
// The cylindrical point (rho, theta, z) -> (rho cos theta, rho sin theta, z), taking the trees over.
void Cylindrical(ExprNode* rho, ExprNode* theta, ExprNode* z, ExprNode* out[3]) {
  out[0] = Times(CopyExpression(rho), Cos(CopyExpression(theta)));
  out[1] = Times(rho, Sin(theta));
  out[2] = z;
}

// The surface forms: 5 to 14, 26 to 28, 33, 40 and 48, each as three coordinate functions of u and v
// over two ranges of 3D view i, plus the ranges the form marks in use.
BuiltSurface ParametricSurfaceForm(GraphViewSet* set, int32_t viewIndex, int32_t form, const ExprNode* node,
                                   const CoordinateTransform* transform, CompiledFunction** condition,
                                   GraphColor** colour, double grain, double opacity, int32_t plotting) {
  GraphView3D* view = viewIndex == 0 ? set->first3D : set->second3D;
  if (GraphKindConstructors().surface3D == nullptr || view == nullptr) return BuiltSurface::kKindMissing;
  if (form == 26 || form == 48) {
    const ExprNode* vector = form == 26 ? node->children[1] : node;
    return AddParametricSurface(set, vector, viewIndex, colour, transform, grain, opacity, plotting, condition)
               ? BuiltSurface::kBuilt
               : BuiltSurface::kFailed;
  }
  const bool expression = form == 33 || form == 40;
  const ExprNode* R = expression ? node : node->children[1];
  if (form == 33) {
    const bool polar = !ContainsSymbol(R, 'x') && !ContainsSymbol(R, 'y') &&
                       (ContainsSymbol(R, 'r') || ContainsSymbol(R, SymTheta));
    form = polar ? 12 : 5;
  }
  ExprNode* c[3] = {nullptr, nullptr, nullptr};
  int32_t range[2] = {kRangeX, kRangeY};
  std::vector<int32_t> marks;
  switch (form) {
    case 5:
    case 13:
      c[0] = U(), c[1] = V(), c[2] = InUV(R, 'x', 'y');
      break;
    case 40:
      c[0] = U(), c[1] = V(), c[2] = CopyExpression(R);
      if (c[2] != nullptr) SubstituteComplexVariable(c[2], 'z', 'u', 'v');
      break;
    case 6:
      c[0] = InUV(R, 'y', 'z'), c[1] = U(), c[2] = V();
      range[0] = kRangeY, range[1] = kRangeZ;
      break;
    case 7:
      c[0] = U(), c[1] = InUV(R, 'x', 'z'), c[2] = V();
      range[0] = kRangeX, range[1] = kRangeZ;
      break;
    case 8:
      Spherical(InUV(R, SymTheta, SymPhi), U(), V(), c);
      range[0] = kRangeTheta, range[1] = kRangePhi, marks = {kRangeTheta, kRangePhi};
      break;
    case 9:
      Spherical(U(), InUV(R, 'r', SymPhi), V(), c);
      range[0] = kRangeR, range[1] = kRangePhi, marks = {kRangeR, kRangePhi};
      break;
    case 10:
      Spherical(U(), V(), InUV(R, 'r', SymTheta), c);
      range[0] = kRangeR, range[1] = kRangeTheta, marks = {kRangeR, kRangeTheta};
      break;
    case 11:
      Cylindrical(InUV(R, SymTheta, 'z'), U(), V(), c);
      range[0] = kRangeTheta, range[1] = kRangeZ, marks = {kRangeTheta};
      break;
    case 12:
      Cylindrical(U(), V(), InUV(R, 'r', SymTheta), c);
      range[0] = kRangeR, range[1] = kRangeTheta, marks = {kRangeR, kRangeTheta};
      break;
    case 14:
      Cylindrical(V(), InUV(R, 'z', 'r'), U(), c);
      range[0] = kRangeZ, range[1] = kRangeR, marks = {kRangeR};
      break;
    case 27:
    case 28: {
      if (R->arity < 3) return BuiltSurface::kFailed;
      ExprNode* e[3] = {CopyExpression(R->children[0]), CopyExpression(R->children[1]), CopyExpression(R->children[2])};
      if (form == 27) Spherical(e[0], e[1], e[2], c);
      else Cylindrical(e[0], e[1], e[2], c);
      range[0] = kRangeU, range[1] = kRangeV, marks = {kRangeU, kRangeV};
      break;
    }
    default:
      return BuiltSurface::kKindMissing;
  }
  double* first = RangeIn3DView(view, range[0]);
  double* second = RangeIn3DView(view, range[1]);
  const SurfaceRanges ranges{{first, first + 1, second, second + 1}};
  if (!AddSurface3D(set, viewIndex, c[0], c[1], c[2], colour, condition, transform, grain, opacity, plotting,
                    ranges)) {
    return BuiltSurface::kFailed;
  }
  for (int32_t n : marks) MarkRangeInUse(set, n);
  return BuiltSurface::kBuilt;
}

// Form 30: the implicit surface f = L - R in the box of 3D view i, and under a space transformation
// (i 0) its companion mapped into the second 3D view.
BuiltSurface ImplicitSurfaceForm(GraphViewSet* set, int32_t viewIndex, const ExprNode* node,
                                 const CoordinateTransform* transform, CompiledFunction** condition,
                                 GraphColor** colour, double grain, double opacity) {
  const GraphConstructors make = GraphKindConstructors();
  GraphView3D* view = viewIndex == 0 ? set->first3D : set->second3D;
  if (make.implicitSurface3D == nullptr || view == nullptr) return BuiltSurface::kKindMissing;
  if (node->arity != 2) return BuiltSurface::kFailed;
  ExprNode* left = CopyExpression(node->children[0]);
  ExprNode* right = CopyExpression(node->children[1]);
  ExprNode* difference = left != nullptr && right != nullptr ? MakeDifference(left, right) : nullptr;
  CompiledFunction* f = NewFunctionOver(Owning(difference, {left, right}));
  if (f == nullptr) return BuiltSurface::kFailed;
  GraphKind3D* graph = make.implicitSurface3D(f, grain, opacity, *colour, *condition, view->settings.camera.box,
                                              view->context);
  if (graph == nullptr) {
    DeleteCompiledFunction(f);
    PostError(kErrorOutOfMemory);
    return BuiltSurface::kFailed;
  }
  *colour = nullptr;
  *condition = nullptr;
  if (!KeepIfAttached(graph, AttachTo3DView(set, graph, viewIndex))) return BuiltSurface::kFailed;
  if (transform != nullptr && transform->mode == kTransformSpace && viewIndex == 0 && set->second3D != nullptr &&
      make.surfaceCompanion3D != nullptr) {
    CompiledFunction* map[3] = {NewFunctionOver(CopyExpression(transform->expression1)),
                                NewFunctionOver(CopyExpression(transform->expression2)),
                                NewFunctionOver(CopyExpression(transform->expression3))};
    GraphKind3D* companion = map[0] != nullptr && map[1] != nullptr && map[2] != nullptr
                                 ? make.surfaceCompanion3D(map[0], map[1], map[2], graph, set->second3D->context)
                                 : nullptr;
    if (companion == nullptr) {
      for (CompiledFunction* m : map) DeleteCompiledFunction(m);
      PostError(kErrorOutOfMemory);
    } else if (KeepIfAttached(companion, AttachToSecond3DView(set, companion))) {
      MarkViewRangesInUse(set, 1);
    }
  }
  MarkViewRangesInUse(set, viewIndex);
  return BuiltSurface::kBuilt;
}

}  // namespace

BuiltSurface BuildSurfaceForm(GraphViewSet* set, int32_t viewIndex, int32_t form, const ExprNode* node,
                              const CoordinateTransform* transform, CompiledFunction** condition, GraphColor** colour,
                              double grain, double opacity, int32_t plotting) {
  if (set == nullptr || node == nullptr) return BuiltSurface::kFailed;
  if (form == 30) return ImplicitSurfaceForm(set, viewIndex, node, transform, condition, colour, grain, opacity);
  return ParametricSurfaceForm(set, viewIndex, form, node, transform, condition, colour, grain, opacity, plotting);
}
