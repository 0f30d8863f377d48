// The surface forms' graphs: the coordinate functions each form's table row gives, built from
// copies of the equation, the kinds' constructors, attachment to the 3D view with the ranges in use,
// and the companions of a space transformation.
#include "graphs/factory/graph_factory_surfaces.h"

#include "graphs/factory/graph_kind_table.h"
#include "graphs/factory/space_coordinates.h"
#include "graphs/view3d/graph_view_3d.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"
#include "kernel/trees/node_kinds.h"

namespace {

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
  // The others by the table of surface forms; 13 is read as 5, a lone expression of the plane (33)
  // as 5 or, in r and theta alone, as 12, and f(z) (40) as 5 over z = u + i v.
  SurfaceParameterisation surface{};
  bool made = false;
  if (form == 33 || form == 40) {
    const bool polar = form == 33 && !ContainsSymbol(node, 'x') && !ContainsSymbol(node, 'y') &&
                       (ContainsSymbol(node, 'r') || ContainsSymbol(node, SymTheta));
    ExprNode* function = form == 40 ? CopyExpression(node) : nullptr;
    if (form == 40 && function == nullptr) return BuiltSurface::kFailed;
    if (function != nullptr) SubstituteComplexVariable(function, 'z', 'x', 'y');
    made = ParameteriseExplicitSurface(polar ? 12 : 5, form == 40 ? function : node, &surface);
    FreeExpression(function);
  } else {
    made = ParameteriseSurface(form == 13 ? 5 : form, node, &surface);
  }
  if (!made) return BuiltSurface::kFailed;
  const int32_t range[2] = {surface.uRange, surface.vRange};
  ExprNode* const* c = surface.coordinate;
  double* first = RangeIn3DView(view, range[0]);
  double* second = RangeIn3DView(view, range[1]);
  const SurfaceRanges ranges{{first, first + 1, second, second + 1}};
  if (!AddSurface3D(set, viewIndex, c[0], c[1], c[2], colour, condition, transform, grain, opacity, plotting,
                    ranges)) {
    return BuiltSurface::kFailed;
  }
  for (int32_t n : surface.marks) {
    if (n >= 0) MarkRangeInUse(set, n);
  }
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
  CompiledFunction* f = NewFunctionOver(ProductOfSideDifferences(nullptr, node));  // L - R
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
