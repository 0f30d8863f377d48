// The builders of the curve, arrow, point and field-on-surface forms: the form's coordinate
// functions from copies of the equation's parts, the kind made through the constructor table, its
// row, its companion and its range marks.
#include "graphs/factory/space_form_builders.h"

#include <algorithm>

#include "graphs/core/graph_color.h"
#include "graphs/core/graphs_state.h"
#include "graphs/factory/form_shapes.h"
#include "graphs/factory/graph_kind_table.h"
#include "graphs/factory/plane_graphs.h"
#include "graphs/factory/space_coordinates.h"
#include "graphs/view2d/graph_view_2d.h"
#include "graphs/view3d/graph_view_3d.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"

namespace {

GraphView3D* View3DOf(const SpaceFormRequest& r) { return r.viewIndex == 0 ? r.set->first3D : r.set->second3D; }

// Item k of a one-column matrix of n rows, else null.
const ExprNode* Component(const ExprNode* vector, int n, int k) {
  if (vector == nullptr || vector->kind != KindMatrix || vector->arity != n) return nullptr;
  return vector->children[k];
}
ExprNode* CopyOf(const ExprNode* node) { return node != nullptr ? CopyExpression(node) : nullptr; }
// A unary builder over a copy, freeing the copy when the node is refused.
ExprNode* Part(ExprNode* (*make)(ExprNode*), const ExprNode* node) {
  ExprNode* copy = CopyOf(node);
  ExprNode* result = copy != nullptr ? make(copy) : nullptr;
  if (result == nullptr) FreeExpression(copy);
  return result;
}
const ExprNode* RightSide(const ExprNode* node) {
  return node != nullptr && node->kind == KindEqual && node->arity == 2 ? node->children[1] : nullptr;
}

// fn over each tree (taken over); all or none: on a refusal every function made is freed.
bool FunctionsOver(ExprNode* const* trees, int n, CompiledFunction** out) {
  bool all = true;
  for (int k = 0; k < n; ++k) all = (out[k] = NewFunctionOver(trees[k])) != nullptr && all;
  if (all) return true;
  for (int k = 0; k < n; ++k) DeleteCompiledFunction(out[k]);
  return false;
}
void DeleteFunctions(CompiledFunction* const* f, int n) {
  for (int k = 0; k < n; ++k) DeleteCompiledFunction(f[k]);
}
// The copies of `nodes` as new functions; null trees or refused memory give false.
bool FunctionsOfCopies(const ExprNode* const* nodes, int n, CompiledFunction** out) {
  ExprNode* copies[6];
  bool all = true;
  for (int k = 0; k < n; ++k) all = (copies[k] = CopyOf(nodes[k])) != nullptr && all;
  if (all) return FunctionsOver(copies, n, out);
  for (int k = 0; k < n; ++k) FreeExpression(copies[k]);
  return false;
}

// A made graph takes the request's colour and condition; a null graph leaves them (its functions
// are freed and error 7 posted).
template <typename Graph>
Graph* Took(const SpaceFormRequest& r, Graph* graph, CompiledFunction* const* functions, int n, bool condition) {
  if (graph == nullptr) {
    DeleteFunctions(functions, n);
    PostError(kErrorOutOfMemory);
    return nullptr;
  }
  *r.colour = nullptr;
  if (condition) *r.condition = nullptr;
  return graph;
}

// The curve x, y, z (t or z renamed u) over the range of 3D view i, its companion, the t mark
// (over the t range) and the view's marks. Frees the three trees.
FormBuild BuildCurve(const SpaceFormRequest& r, ExprNode* xyz[3], int32_t rangeIndex) {
  GraphView3D* view = View3DOf(r);
  auto* make = GraphKindConstructors().curve3D;
  CompiledFunction* f[3] = {};
  FormBuild built = view == nullptr || make == nullptr ? FormBuild::kKindMissing : FormBuild::kFailed;
  if (built == FormBuild::kFailed && FunctionsOfCopies(xyz, 3, f)) {
    double* range = RangeIn3DView(view, rangeIndex);
    GraphColor* colour = *r.colour;
    CompiledFunction* condition = *r.condition;
    GraphKind3D* graph =
        Took(r, make(f[0], f[1], f[2], condition, colour, r.grain, view->context, range, range + 1), f, 3, true);
    if (KeepIfAttached(graph, AttachTo3DView(r.set, graph, r.viewIndex))) {
      built = FormBuild::kBuilt;
      AddCurveCompanion3D(r.set, r.transform, r.viewIndex, xyz[0], xyz[1], xyz[2],
                          condition != nullptr ? condition->tree : nullptr, colour, r.grain, range);
      if (rangeIndex == kRangeT) MarkRangeInUse(r.set, kRangeT);
      MarkViewRangesInUse(r.set, r.viewIndex);
    }
  }
  for (int k = 0; k < 3; ++k) FreeExpression(xyz[k]);
  return built;
}

// The constant points of a space arrow (two) or point (one) in the second 3D view's coordinates,
// as the same kind there with a clone of the colour; then its box ranges are marked.
void AddConstantCompanion3D(const SpaceFormRequest& r, const ExprNode* const* coordinates, int points,
                            const GraphColor* colour) {
  if (!WantsSpaceCompanion(r.set, r.transform, r.viewIndex)) return;
  ExprNode* mapped[6] = {};
  for (int p = 0; p < points; ++p) {
    const ExprNode* const* at = coordinates + 3 * p;
    TransformSpacePoint(r.transform, at[0], at[1], at[2], nullptr, nullptr, &mapped[3 * p], &mapped[3 * p + 1],
                        &mapped[3 * p + 2], nullptr);
  }
  const int n = 3 * points;
  CompiledFunction* f[6] = {};
  if (!FunctionsOver(mapped, n, f)) return;  // error 7 posted
  const GraphConstructors make = GraphKindConstructors();
  GraphColor* clone = CloneGraphColor(colour);
  GraphKind3D* graph = nullptr;
  if (clone != nullptr) {
    graph = points == 2 ? make.arrow3D(f, f + 3, clone, r.set->second3D->context)
                        : make.point3D(f[0], f[1], f[2], clone, r.grain, r.set->second3D->context);
  }
  KeepSpaceCompanion(r.set, graph, f, n, nullptr, clone);
}

// The arrow (two points) or point (one) of constant coordinates in 3D view i, its companion, the
// view's marks.
FormBuild BuildConstantKind3D(const SpaceFormRequest& r, const ExprNode* const* coordinates, int points) {
  GraphView3D* view = View3DOf(r);
  const GraphConstructors make = GraphKindConstructors();
  CompiledFunction* f[6] = {};
  if (view == nullptr || (points == 2 ? make.arrow3D == nullptr : make.point3D == nullptr)) {
    return FormBuild::kKindMissing;
  }
  if (!FunctionsOfCopies(coordinates, 3 * points, f)) return FormBuild::kFailed;
  GraphColor* colour = *r.colour;
  GraphKind3D* made = points == 2 ? make.arrow3D(f, f + 3, colour, view->context)
                                  : make.point3D(f[0], f[1], f[2], colour, r.grain, view->context);
  GraphKind3D* graph = Took(r, made, f, 3 * points, false);
  if (!KeepIfAttached(graph, AttachTo3DView(r.set, graph, r.viewIndex))) return FormBuild::kFailed;
  AddConstantCompanion3D(r, coordinates, points, colour);
  MarkViewRangesInUse(r.set, r.viewIndex);
  return FormBuild::kBuilt;
}

}  // namespace

FormBuild BuildSpaceCurveForm(const SpaceFormRequest& r, int32_t form, const ExprNode* node) {
  const ExprNode* right = RightSide(node);
  const ExprNode* vector = form == 46 || form == 47 ? node : right;
  const int rows = form == 15 || form == 18 || form == 46 ? 2 : 3;
  ExprNode* xyz[3] = {};
  int32_t range = kRangeT;
  bool made = false;
  switch (form) {
    case 15:
    case 18:
    case 46:
    case 19:
    case 47:
    case 24:
    case 25: {
      const ExprNode* e[3] = {Component(vector, rows, 0), Component(vector, rows, 1),
                              rows == 3 ? Component(vector, rows, 2) : nullptr};
      if (e[0] == nullptr || e[1] == nullptr || (rows == 3 && e[2] == nullptr)) return FormBuild::kFailed;
      const CoordinateSystem system = form == 24 ? CoordinateSystem::kSpherical
                                      : form == 15 || form == 25 ? CoordinateSystem::kCylindrical
                                                                 : CoordinateSystem::kCartesian;
      made = ToCartesian(system, CopyOf(e[0]), CopyOf(e[1]), rows == 3 ? CopyOf(e[2]) : NewNumberNode(0), xyz);
      break;
    }
    case 38:
    case 39: {
      if (right == nullptr) return FormBuild::kFailed;
      ExprNode* z = form == 38 ? NewNumberNode(0) : NewSymbolNode('u');
      made = ToCartesian(CoordinateSystem::kCartesian, Part(MakeRealPart, right), Part(MakeImagPart, right), z, xyz);
      if (form == 39 && made) {
        for (ExprNode* tree : xyz) RenameSymbol(tree, kVarZ, 'u');
        range = kRangeZ;
      }
      break;
    }
    default:
      return FormBuild::kFailed;
  }
  if (!made) return FormBuild::kFailed;  // error 7 posted by the pools
  for (ExprNode* tree : xyz) RenameSymbol(tree, kVarT, 'u');
  return BuildCurve(r, xyz, range);
}

FormBuild BuildPlaneArrowForm(const SpaceFormRequest& r, const ExprNode* node) {
  if (node == nullptr || node->kind != KindComma || node->arity != 2) return FormBuild::kFailed;
  const ExprNode* ends[4] = {Component(node->children[0], 2, 0), Component(node->children[0], 2, 1),
                             Component(node->children[1], 2, 0), Component(node->children[1], 2, 1)};
  GraphView2D* view = r.viewIndex == 0 ? r.set->first2D : r.set->second2D;
  auto* make = GraphKindConstructors().arrow2D;
  CompiledFunction* f[4] = {};
  if (view == nullptr || make == nullptr) return FormBuild::kKindMissing;
  if (!FunctionsOfCopies(ends, 4, f)) return FormBuild::kFailed;
  GraphColor* colour = *r.colour;
  GraphKind2D* graph = Took(r, make(f[0], f[1], f[2], f[3], colour, &view->drawMap), f, 4, false);
  if (!KeepIfAttached(graph, AttachTo2DView(r.set, graph, r.viewIndex))) return FormBuild::kFailed;
  AddArrowCompanion2D(r.set, r.transform, r.viewIndex, ends[0], ends[1], ends[2], ends[3], colour);
  return FormBuild::kBuilt;
}

FormBuild BuildSpaceArrowForm(const SpaceFormRequest& r, const ExprNode* node) {
  if (node == nullptr || node->kind != KindComma || node->arity != 2) return FormBuild::kFailed;
  const ExprNode* ends[6];
  for (int k = 0; k < 6; ++k) ends[k] = Component(node->children[k / 3], 3, k % 3);
  return BuildConstantKind3D(r, ends, 2);
}

FormBuild BuildSpacePointForm(const SpaceFormRequest& r, const ExprNode* node) {
  const ExprNode* at[3] = {Component(node, 3, 0), Component(node, 3, 1), Component(node, 3, 2)};
  return BuildConstantKind3D(r, at, 1);
}

FormBuild BuildFieldOnSurfaceForm(const SpaceFormRequest& r, int32_t form, const ExprNode* node) {
  if (node == nullptr || node->kind != KindComma || node->arity < 2) return FormBuild::kFailed;
  const ExprNode* field = RightSide(node->children[0]);
  const ExprNode* components[3] = {Component(field, 3, 0), Component(field, 3, 1), Component(field, 3, 2)};
  const GraphConstructors make = GraphKindConstructors();
  GraphView3D* view = View3DOf(r);
  const bool kind = form == 54 ? make.implicitSurfaceField3D != nullptr : make.surfaceField3D != nullptr;
  if (view == nullptr || !kind) return FormBuild::kKindMissing;
  // The surface: f = L - R of the relation (54), or x, y, z of u and v as its surface form builds them.
  SurfaceParameterisation surface{{}, kRangeX, kRangeY, {-1, -1}};
  ExprNode* f = nullptr;
  if (form == 54) {
    f = node->children[1]->arity == 2 ? ProductOfSideDifferences(nullptr, node->children[1]) : nullptr;
    if (f == nullptr) return FormBuild::kFailed;
  } else if (!ParameteriseSurface(form, node->children[1], &surface)) {
    return FormBuild::kFailed;
  }
  CompiledFunction* fn[6] = {};
  const int n = form == 54 ? 4 : 6;
  ExprNode* trees[6] = {CopyOf(components[0]), CopyOf(components[1]), CopyOf(components[2]), f};
  if (form != 54) std::copy(surface.coordinate, surface.coordinate + 3, trees + 3);
  if (!FunctionsOver(trees, n, fn)) return FormBuild::kFailed;
  GraphKind3D* made = nullptr;
  if (form == 54) {
    made = make.implicitSurfaceField3D(fn[0], fn[1], fn[2], fn[3], *r.condition, r.grain, *r.colour,
                                       view->settings.camera.box, view->context);
  } else {
    const double* u = RangeIn3DView(view, surface.uRange);
    const double* v = RangeIn3DView(view, surface.vRange);
    made = make.surfaceField3D(fn[0], fn[1], fn[2], fn[3], fn[4], fn[5], *r.condition, r.grain, *r.colour, u, u + 1,
                               v, v + 1, view->context);
  }
  GraphKind3D* graph = Took(r, made, fn, n, true);
  if (!KeepIfAttached(graph, AttachTo3DView(r.set, graph, r.viewIndex))) return FormBuild::kFailed;
  for (int32_t mark : surface.marks) {
    if (mark >= 0) MarkRangeInUse(r.set, mark);
  }
  MarkViewRangesInUse(r.set, r.viewIndex);
  return FormBuild::kBuilt;
}
