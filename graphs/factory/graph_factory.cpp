// CreateGraphsForEquation: the preparation steps in their load-bearing order (classify, colour,
// comma parts, conditions, side differences, the "+ (0 if condition)" of the traced forms,
// parameter values, side swap), then the dispatch on the form. The 2D kinds (traced forms,
// relations, rasters and level lines, the plane vector field) and the space vector field are built
// here, the surfaces and the 4D kinds by their own files, the curves, arrows, points and fields
// on surfaces by space_form_builders; every other form reports that its kinds are missing until
// they land.
#include "graphs/factory/graph_factory.h"

#include <new>

#include "graphs/core/document_services.h"
#include "graphs/factory/equation_form.h"
#include "graphs/factory/form_shapes.h"
#include "graphs/factory/graph_factory_4d.h"
#include "graphs/factory/graph_factory_surfaces.h"
#include "graphs/core/graph_color.h"
#include "graphs/view3d/graph_view_3d.h"
#include "graphs/view4d/graph_view_4d.h"
#include "graphs/factory/graph_kind_table.h"
#include "graphs/factory/plane_graphs.h"
#include "graphs/factory/space_form_builders.h"
#include "graphs/core/graphs_state.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"

namespace {

constexpr int32_t kMessageNotIn2D = 14;  // "Can't graph equations of this form"
constexpr int32_t kMessageNotIn3D = 24;  // "Can't graph this in 3D"
constexpr int32_t kMessageNotIn4D = 25;  // "Can't graph this in 4D"

// What the preparation made besides the equation; freed at the end unless a graph took it.
struct Prepared {
  ExprNode* conditions = nullptr;
  ExprNode* differences = nullptr;
  ExprNode* extra = nullptr;     // the read-out part of forms 49 and 50
  ExprNode* joined = nullptr;    // forms 29, 34, 35 with conditions: wedge(equation, conditions)
  CompiledFunction* condition = nullptr;
  GraphColor* colour = nullptr;  // until a graph takes it
  ~Prepared() {
    FreeExpression(conditions);
    FreeExpression(differences);
    FreeExpression(extra);
    FreeExpression(joined);
    DeleteCompiledFunction(condition);
    delete colour;
  }
};

// wedge(a, b); on a refused node b is dropped and a kept (error 7 posted by the pool).
ExprNode* Wedge(ExprNode* a, ExprNode* b) {
  if (a == nullptr) return b;
  if (b == nullptr) return a;
  ExprNode* node = NewBinaryNode(KindWedge, a, b);
  if (node != nullptr) return node;
  FreeExpression(b);
  return a;
}

constexpr PackedRGB kBoundaryGrey = 0x333333;  // the boundary of a non-strict inequality

bool IsRelationForm(int32_t form) { return form == 29 || form == 34 || form == 35; }

enum class Built { kYes, kKindMissing, kFailed };

Built BuiltOf(FormBuild b) {
  return b == FormBuild::kBuilt ? Built::kYes : b == FormBuild::kKindMissing ? Built::kKindMissing : Built::kFailed;
}

// Forms 1, 2, 31, 32: the traced graph over a copy of the function with its argument renamed u,
// then its companion under a coordinate transformation.
Built BuildTraced(GraphViewSet* set, Prepared& prepared, int32_t viewIndex, const ExprNode* function,
                  int32_t argument, bool isX, const CoordinateTransform* transform, int32_t drawOption) {
  auto* make = GraphKindConstructors().traced2D;
  GraphView2D* view = viewIndex == 0 ? set->first2D : set->second2D;
  if (make == nullptr || view == nullptr) return Built::kKindMissing;
  ExprNode* copy = CopyExpression(function);
  if (copy == nullptr) return Built::kFailed;
  RenameSymbol(copy, argument, 'u');
  CompiledFunction* f = NewFunctionOver(copy);
  if (f == nullptr) return Built::kFailed;
  GraphColor* colour = prepared.colour;
  GraphKind2D* graph = make(f, isX ? 0 : 1, colour, static_cast<uint32_t>(drawOption), &view->drawMap);
  if (graph == nullptr) {
    DeleteCompiledFunction(f);
    PostError(kErrorOutOfMemory);
    return Built::kFailed;
  }
  prepared.colour = nullptr;  // the graph's from here
  if (!KeepIfAttached(graph, AttachTo2DView(set, graph, viewIndex))) return Built::kFailed;
  AddTracedRelationCompanion(set, function, viewIndex, colour, transform, drawOption, isX);
  return Built::kYes;
}

// A graph made for 2D view viewIndex goes there with its row. A null graph (its maker freed what
// it took) or a refused attachment fails.
Built AttachMade(GraphViewSet* set, GraphKind2D* graph, int32_t viewIndex) {
  return KeepIfAttached(graph, AttachTo2DView(set, graph, viewIndex)) ? Built::kYes : Built::kFailed;
}

// The relation node of a relation, or of the first operand of its wedge with conditions.
ExprNode* RelationNodeOf(ExprNode* node) {
  return node->kind == KindWedge && node->arity > 0 ? node->children[0] : node;
}

// Forms 29, 34, 35: the relation region (or curve), its companion, and for a non-strict inequality
// the strict region with its boundary curve in dark grey as the row's third placement (and the
// boundary's companion as its fourth).
Built BuildRelation(GraphViewSet* set, Prepared& p, int32_t viewIndex, ExprNode* node, int32_t form,
                    const CoordinateTransform* transform, int32_t drawOption) {
  GraphView2D* view = viewIndex == 0 ? set->first2D : set->second2D;
  if (GraphKindConstructors().relation2D == nullptr || view == nullptr) return Built::kKindMissing;
  ExprNode* relation = RelationNodeOf(node);
  if (form == 35) relation->kind = relation->kind == KindGeq ? KindGreaterthan : KindLessthan;
  GraphColor* colour = p.colour;
  p.colour = nullptr;  // the maker's from here
  const uint8_t isEquation = form == 29;
  const Built built = AttachMade(set, NewRelationOver(CopyExpression(node), CopyExpression(p.differences), colour,
                                                      drawOption, isEquation, &view->drawMap), viewIndex);
  if (built != Built::kYes) return built;
  AddRelationCompanion(set, node, viewIndex, colour, transform, drawOption, p.differences, isEquation);
  if (form != 35) return built;

  const uint32_t strictKind = relation->kind;
  auto boundaryOf = [&] {  // a copy of the relation with its kind set to equal
    relation->kind = KindEqual;
    ExprNode* tree = CopyExpression(node);
    relation->kind = strictKind;
    return tree;
  };
  ExprNode* boundary = boundaryOf();
  GraphColor* grey = CloneGraphColor(colour);
  if (grey != nullptr) grey->rgb = kBoundaryGrey;
  if (boundary == nullptr) {
    delete grey;
    return built;  // the region stands without its boundary (error 7 posted)
  }
  GraphKind2D* graph = NewRelationOver(boundary, CopyExpression(p.differences), grey, drawOption, 1, &view->drawMap);
  if (!KeepIfAttached(graph, AttachToRowPlacement2D(set, graph, viewIndex, 2))) return built;
  if (transform == nullptr || viewIndex != 0) return built;
  if (transform->mode == kTransformPlaneForwards) RecordGraphIndex(set, transform);
  if (transform->mode != kTransformPlaneBackwards || set->second2D == nullptr) return built;
  ExprNode* mapped = boundaryOf();
  ExprNode* differences = CopyExpression(p.differences);
  if (mapped == nullptr) {
    FreeExpression(differences);
    return built;
  }
  TransformPlaneExpression(mapped, transform);
  TransformPlaneExpression(differences, transform);
  GraphKind2D* companion =
      NewRelationOver(mapped, differences, CloneGraphColor(grey), drawOption, 1, &set->second2D->drawMap);
  KeepIfAttached(companion, AttachToRowPlacement2D(set, companion, 1, 3));
  return built;
}

// Forms 5, 12, 13, 33, 40 in 2D: the raster (display kind 2) over the function in u and v, with
// its companion, or the level lines (3) over it in x and y; a surface (1) is the 3D views'.
Built BuildFunctionOfXY(GraphViewSet* set, Prepared& p, int32_t viewIndex, const ExprNode* function, int32_t form,
                        int32_t displayKind, const CoordinateTransform* transform, double grain) {
  const GraphConstructors make = GraphKindConstructors();
  GraphView2D* view = viewIndex == 0 ? set->first2D : set->second2D;
  const bool raster = displayKind == 2;
  if ((displayKind != 2 && displayKind != 3) || view == nullptr ||
      (raster ? make.raster2D == nullptr : make.contour2D == nullptr)) {
    return Built::kKindMissing;
  }
  ExprNode* copy = CopyExpression(function);
  if (copy == nullptr) return Built::kFailed;
  if (form == 40) {
    SubstituteComplexVariable(copy, 'z', raster ? 'u' : 'x', raster ? 'v' : 'y');
  } else if (raster && form != 12) {
    RenameXYToUV(copy);
  }
  CompiledFunction* f = NewFunctionOver(copy);
  if (f == nullptr) return Built::kFailed;
  GraphColor* colour = p.colour;
  GraphKind2D* graph = raster ? make.raster2D(f, grain, colour, &view->drawMap)
                              : make.contour2D(f, grain, colour, &view->drawMap);
  if (graph == nullptr) {
    DeleteCompiledFunction(f);
    PostError(kErrorOutOfMemory);
    return Built::kFailed;
  }
  p.colour = nullptr;
  const Built built = AttachMade(set, graph, viewIndex);
  if (built != Built::kYes) return built;
  if (raster) {
    AddRasterCompanion2D(set, function, viewIndex, colour, transform, grain);
  } else if (viewIndex == 0) {
    RecordGraphIndex(set, transform);
  }
  return built;
}

// Form 16: the plane field (x, y) = (e0, e1) with arrows of one length when the xy type's bit of
// value 4 is set.
Built BuildVectorField(GraphViewSet* set, Prepared& p, int32_t viewIndex, const ExprNode* field, double displayKind,
                       const CoordinateTransform* transform, double grain) {
  auto* make = GraphKindConstructors().vectorField2D;
  GraphView2D* view = viewIndex == 0 ? set->first2D : set->second2D;
  if (make == nullptr || view == nullptr) return Built::kKindMissing;
  if (field->arity < 2) return Built::kFailed;
  CompiledFunction* fx = NewFunctionOver(CopyExpression(field->children[0]));
  CompiledFunction* fy = NewFunctionOver(CopyExpression(field->children[1]));
  const uint8_t equalLength = (static_cast<uint32_t>(TruncateToInt32(displayKind)) & 4u) != 0;
  GraphKind2D* graph =
      fx != nullptr && fy != nullptr ? make(fx, fy, p.colour, equalLength, &view->drawMap, grain) : nullptr;
  if (graph == nullptr) {
    DeleteCompiledFunction(fx);
    DeleteCompiledFunction(fy);
    if (fx != nullptr && fy != nullptr) PostError(kErrorOutOfMemory);
    return Built::kFailed;
  }
  p.colour = nullptr;
  const Built built = AttachMade(set, graph, viewIndex);
  if (built == Built::kYes && viewIndex == 0) RecordGraphIndex(set, transform);
  return built;
}

// Form 17: the space field (x, y, z) = (e0, e1, e2) on the grid of 3D view i, with the condition.
Built BuildVectorField3D(GraphViewSet* set, Prepared& p, int32_t viewIndex, const ExprNode* field, double grain) {
  auto* make = GraphKindConstructors().vectorField3D;
  GraphView3D* view = viewIndex == 0 ? set->first3D : set->second3D;
  if (make == nullptr || view == nullptr) return Built::kKindMissing;
  if (field->arity < 3) return Built::kFailed;
  CompiledFunction* f[3];
  for (int k = 0; k < 3; ++k) f[k] = NewFunctionOver(CopyExpression(field->children[k]));
  GraphKind3D* graph = nullptr;
  if (f[0] != nullptr && f[1] != nullptr && f[2] != nullptr) {
    graph = make(f[0], f[1], f[2], p.condition, grain, p.colour, view->context, view->settings.camera.box);
    if (graph == nullptr) PostError(kErrorOutOfMemory);
  }
  if (graph == nullptr) {
    for (CompiledFunction* component : f) DeleteCompiledFunction(component);
    return Built::kFailed;
  }
  p.condition = nullptr;
  p.colour = nullptr;
  if (!KeepIfAttached(graph, AttachTo3DView(set, graph, viewIndex))) return Built::kFailed;
  MarkViewRangesInUse(set, viewIndex);
  return Built::kYes;
}

// The surface forms (graph_factory_surfaces.h), taking the prepared condition and colour.
Built Surface(GraphViewSet* set, Prepared& p, int32_t viewIndex, const ExprNode* node, int32_t form,
              const CoordinateTransform* transform, double grain, double opacity, int32_t plotting) {
  const BuiltSurface made =
      BuildSurfaceForm(set, viewIndex, form, node, transform, &p.condition, &p.colour, grain, opacity, plotting);
  if (made == BuiltSurface::kKindMissing) return Built::kKindMissing;
  return made == BuiltSurface::kBuilt ? Built::kYes : Built::kFailed;
}

GraphicsContext* ColourContext(const GraphViewSet* set, bool is4D, int32_t viewIndex) {
  if (is4D) return set->view4D != nullptr ? set->view4D->context : nullptr;
  const GraphView3D* view = viewIndex == 0 ? set->first3D : set->second3D;
  return view != nullptr ? view->context : nullptr;
}

// The comma parts: colour items, conditions (with their side differences for the relation
// forms) and the read-out part of the colour plots.
void ScanCommaParts(ExprNode* equation, int32_t form, Prepared& p, DocumentServices* document) {
  const int first = IsFieldWithSurfaceList(equation) ? 2 : 1;
  for (int k = first; k < equation->arity; ++k) {
    const ExprNode* part = equation->children[k];
    if (IsColorSpecPart(part, p.colour, 'r', 'g', 'b')) {
      SetColorFromPart(p.colour, kColorRGBExpressions, part, document);
    } else if (IsColorSpecPart(part, p.colour, 'h', 's', 'v')) {
      SetColorFromPart(p.colour, kColorHSVExpressions, part, document);
    } else if (IsStrictInequalityKind(part->kind) && IsConditionItem(part)) {
      p.conditions = Wedge(p.conditions, CopyExpression(part));
      if (IsRelationForm(form)) p.differences = ProductOfSideDifferences(p.differences, part);
    } else if (form == 49 || form == 50) {
      FreeExpression(p.extra);
      p.extra = CopyExpression(part);
    }
  }
}

// The traced forms are undefined where the condition fails: f + (0 if condition), added
// to the function's side (for x^2 = y, before the swap, that is the left side).
void AddConditionToFunction(ExprNode* node, int32_t form, Prepared& p) {
  ExprNode* target = node;
  if (form == 1 || form == 2) {
    if (node->kind != KindEqual || node->arity != 2) return;
    target = IsCoordinateVariableNode(node->children[0]) ? node->children[1] : node->children[0];
  }
  ExprNode* zero = NewNumberNode(0.0);
  ExprNode* guard = zero != nullptr ? NewBinaryNode(KindIf, zero, p.conditions) : nullptr;
  if (guard == nullptr) {
    FreeExpression(zero);
    return;  // error 7 is posted; the conditions stay with the preparation and are freed
  }
  p.conditions = nullptr;
  if (!AddToNode(target, guard)) FreeExpression(guard);
}

// f(x) = y reads as y = f(x). Returns the new form word, or the old one.
int32_t SwapSidesIfNeeded(ExprNode* node, int32_t form, bool is3D, bool is4D, DocumentServices* document) {
  if (node->kind != KindEqual || node->arity != 2) return form;
  ExprNode* left = node->children[0];
  ExprNode* right = node->children[1];
  // A derivative on the left stays there: dy/dx = y and dz/dt = z are slope fields, not f(x) = y.
  if (IsVariableTuple(left) || !IsCoordinateVariableNode(right) || IsCoordinateVariableNode(left) ||
      IsSubscriptedCoordinateNode(left) || IsSlopeFieldDerivative(left)) {
    return form;
  }
  SetChild(node, 0, right);
  SetChild(node, 1, left);
  const int32_t word = ClassifyEquationForGraph(node, is3D, is4D, document);
  return (word & kPrimedForm) != 0 ? 0 : word;  // a primed form at this point builds nothing
}

}  // namespace

int32_t CreateGraphsForEquation(GraphViewSet* set, ExprNode* equation, bool is3D, bool is4D,
                                const CoordinateTransform* transform, double colorIndex, double detail, double detail2,
                                double drawOption, double displayKind, DocumentServices* document, int32_t* message,
                                int32_t side) {
  if (message != nullptr) *message = 0;
  if (set == nullptr || equation == nullptr) return -1;
  const int32_t rowsAtEntry = set->graphTable.count;

  // 1. The form; a primed form goes to the second view of its kind, and so does any form the caller
  // sends there.
  const int32_t word = ClassifyEquationForGraph(equation, is3D, is4D, document);
  const int32_t viewIndex = (word & kPrimedForm) != 0 || side == 1 ? 1 : 0;
  if ((word & kPrimedForm) != 0) SwapPrimedCoordinates(equation);
  int32_t form = word & ~kPrimedForm;
  if (form <= 0 || form >= kFormCodeCount) return -1;

  // 2. The colour.
  Prepared p;
  p.colour = new (std::nothrow) GraphColor(ColourContext(set, is4D, viewIndex));
  if (p.colour == nullptr) {
    PostError(kErrorOutOfMemory);
    return -1;
  }
  SetGraphColorIndex(p.colour, colorIndex);

  // 3. Comma parts; from here the equation is part 0 unless the first two parts are one object.
  ExprNode* node = equation;
  if (EquationHasExtraParts(equation)) {
    ScanCommaParts(equation, form, p, document);
    if (!IsFieldWithSurfaceList(equation)) node = equation->children[0];
  }

  // 4. A condition the graph evaluates itself.
  if (p.conditions != nullptr && FormAcceptsCondition(form, is3D) && !IsRelationForm(form)) {
    SubstituteParameterValues(p.conditions, document);
    RenameSymbol(p.conditions, 'r', SymRho);
    SetDocumentConditionFlag(document);
    p.condition = NewFunctionOver(p.conditions);
    p.conditions = nullptr;
    if (p.condition != nullptr) CompileFunction(p.condition);
  }

  // 5. The relation forms: their side differences, and the conditions joined to them.
  if (IsRelationForm(form)) {
    p.differences = ProductOfSideDifferences(p.differences, node);
    if (p.conditions != nullptr) {
      p.joined = Wedge(CopyExpression(node), p.conditions);
      p.conditions = nullptr;
      if (p.joined != nullptr) node = p.joined;
    }
  }

  // 6. The traced forms with conditions.
  const bool traced = form == 1 || form == 2 || form == 31 || form == 32;
  if (p.conditions != nullptr && traced) AddConditionToFunction(node, form, p);

  // 7. Parameter values.
  const bool rightSideParameters = form == 49 || form == 50 || form == 20 || form == 21 || form == 22 ||
                                   form == 41 || form == 36;
  if (document != nullptr) {
    if (rightSideParameters && node->kind == KindEqual && node->arity == 2) {
      document->CollectEquationParameters(node->children[1]);
    } else if (!rightSideParameters && !IsExplicitGraphEquation(node)) {
      document->CollectEquationParameters(node);
    }
  }
  SubstituteParameterValues(node, document);
  SubstituteParameterValues(p.differences, document);

  // 8. f(x) = y reads as y = f(x).
  form = SwapSidesIfNeeded(node, form, is3D, is4D, document) & ~kPrimedForm;

  // 9. Dispatch on the form.
  const int32_t plotting = TruncateToInt32(drawOption);
  const SpaceFormRequest request{set, viewIndex, transform, detail, &p.colour, &p.condition};
  Built built = Built::kKindMissing;
  switch (form) {
    case 0:
      return -1;
    case 1:
    case 2:
      if (node->kind != KindEqual || node->arity != 2) return -1;
      built = BuildTraced(set, p, viewIndex, node->children[1], form == 1 ? 'x' : 'y', form == 2, transform, plotting);
      break;
    case 31:
    case 32:
      built = BuildTraced(set, p, viewIndex, node, form == 31 ? 'x' : 'y', form == 32, transform, plotting);
      break;
    case 29:
    case 34:
    case 35:
      built = BuildRelation(set, p, viewIndex, node, form, transform, plotting);
      break;
    case 5:
    case 12:
    case 13:
    case 33:
    case 40: {
      const bool expression = form == 33 || form == 40;
      if (!expression && (node->kind != KindEqual || node->arity != 2)) return -1;
      const int32_t kind = is3D ? 1 : DisplayKindOf(displayKind);
      built = kind == 1 ? Surface(set, p, viewIndex, node, form, transform, detail, detail2, plotting)
                        : BuildFunctionOfXY(set, p, viewIndex, expression ? node : node->children[1], form, kind,
                                            transform, detail);
      break;
    }
    case 6:
    case 7:
    case 8:
    case 9:
    case 10:
    case 11:
    case 14:
    case 26:
    case 27:
    case 28:
      if (node->kind != KindEqual || node->arity != 2) return -1;
      built = Surface(set, p, viewIndex, node, form, transform, detail, detail2, plotting);
      break;
    case 48:
    case 30:
      built = Surface(set, p, viewIndex, node, form, transform, detail, detail2, plotting);
      break;
    case 16:
      if (node->kind != KindEqual || node->arity != 2) return -1;
      built = BuildVectorField(set, p, viewIndex, node->children[1], displayKind, transform, detail);
      break;
    case 17:
      if (node->kind != KindEqual || node->arity != 2) return -1;
      built = BuildVectorField3D(set, p, viewIndex, node->children[1], detail);
      break;
    case 15: case 18: case 38: case 46:  // plane curves, space curves at height 0 in 3D
      if (is3D) {
        built = BuiltOf(BuildSpaceCurveForm(request, form, node));
        break;
      }
      [[fallthrough]];
    case 3: case 4:                       // plane curves
    case 36: case 37: case 41:            // integral curves
    case 42: case 43: case 44: case 45:   // points
    case 49: case 50:                     // colour plots
      built = BuiltOf(BuildPlaneForm(set, node, form, viewIndex, &p.colour, transform, detail, p.extra, is3D));
      break;
    case 20:
    case 21:
    case 22:
    case 23: {
      built = BuiltOf(BuildGraph4D(set, form, node, &p.condition, &p.colour, detail, detail2));
      break;
    }
    case 19: case 24: case 25: case 39: case 47:  // space curves
      built = BuiltOf(BuildSpaceCurveForm(request, form, node));
      break;
    case 51:
      built = BuiltOf(BuildPlaneArrowForm(request, node));
      break;
    case 52:
      built = BuiltOf(BuildSpaceArrowForm(request, node));
      break;
    case 53:
      built = BuiltOf(BuildSpacePointForm(request, node));
      break;
    case 54: case 55: case 56: case 57: case 58: case 59: case 60:
    case 61: case 62: case 63: case 64: case 65: case 66:  // fields on surfaces
      built = BuiltOf(BuildFieldOnSurfaceForm(request, form, node));
      break;
    default:
      break;
  }
  if (built == Built::kKindMissing && message != nullptr) {
    *message = is4D ? kMessageNotIn4D : is3D ? kMessageNotIn3D : kMessageNotIn2D;
  }
  // The row this call added; an earlier equation's row is never answered for this one.
  return set->graphTable.count > rowsAtEntry ? set->graphTable.count - 1 : -1;
}
