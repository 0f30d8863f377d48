// The graph factory's helpers: attachment with reserved rows (so a row and its graph are appended
// together or not at all), the range table as data, the transformation through the algebra's
// rewrite seam, the expression operations and the preparation of a document's view set.
#include "graphs/factory/factory_helpers.h"

#include <cmath>
#include <new>

#include "graphs/core/document_services.h"
#include "graphs/factory/equation_form.h"
#include "graphs/factory/form_shapes.h"
#include "graphs/core/graph_color.h"
#include "graphs/factory/graph_kind_table.h"
#include "graphs/core/graphs_state.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/bytecode_compiler.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"

namespace {

constexpr int32_t kImaginaryUnit = 'i';

// binary(kind, a, b), freeing both operands when the node cannot be had.
ExprNode* Join(uint32_t kind, ExprNode* a, ExprNode* b) {
  if (a == nullptr || b == nullptr) {
    FreeExpression(a);
    FreeExpression(b);
    return nullptr;
  }
  ExprNode* node = NewBinaryNode(kind, a, b);
  if (node == nullptr) {
    FreeExpression(a);
    FreeExpression(b);
  }
  return node;
}

ExprNode* Symbol(int32_t id) { return NewSymbolNode(static_cast<int16_t>(id)); }

// ---- Attachment ----

// Appends the graph to the list and the row to the table, or neither: the table's room is
// reserved before the graph goes into the list.
bool AttachWithRow(GraphViewSet* set, GraphView* view, int32_t slot, GraphKind* graph) {
  if (view == nullptr || graph == nullptr) return false;
  if (!GrowArrayReserveOne(set->graphTable)) return false;
  GraphTableRow row{};
  row.pair[0] = GraphSlot{slot, view->graphs.count};
  if (!PtrArrayAppend(view->graphs, graph)) return false;
  return Array32Append(set->graphTable, row);  // room reserved: cannot fail
}

// Fills placement p of the last row with the graph's place in the view once the graph is in.
bool AttachToLastRow(GraphViewSet* set, GraphView* view, int32_t slot, GraphKind* graph, int32_t p) {
  if (view == nullptr || graph == nullptr || set->graphTable.count == 0) return false;
  const int32_t index = view->graphs.count;
  if (!PtrArrayAppend(view->graphs, graph)) return false;
  set->graphTable.data[set->graphTable.count - 1].pair[p] = GraphSlot{slot, index};
  return true;
}

// ---- Ranges ----

// Where a range index lives: up to five (low, high) pairs.
struct RangePlaces {
  double* pair[5];
  int32_t count;
  void Add(double* p) {
    if (p != nullptr) pair[count++] = p;
  }
};

double* Box(GraphView3D* view, int32_t axis) {
  return view != nullptr ? view->settings.camera.box + 2 * axis : nullptr;
}
double* Unit(GraphView3D* view, int32_t k) { return view != nullptr ? view->settings.unitRanges + 2 * k : nullptr; }
double* Polar(GraphView3D* view, int32_t k) {
  return view != nullptr ? view->settings.parameterRanges + 2 * k : nullptr;
}

// Every place ViewSetSetRangeBound writes (all) or the one ViewSetCopyRangeToDocument reads.
RangePlaces PlacesOf(GraphViewSet* set, int32_t n, bool all) {
  RangePlaces places{{}, 0};
  GraphView2D* v2[2] = {set->first2D, set->second2D};
  GraphView3D* v3[2] = {set->first3D, set->second3D};
  GraphView4D* v4 = set->view4D;
  if (n >= kRangeX && n <= kRangeW && ViewSetIsThirdViewCurrent(set)) {
    places.Add(v4 != nullptr ? v4->axisRanges + 2 * n : nullptr);
    return places;
  }
  switch (n) {
    case kRangeX: case kRangeY: case kRangeZ:
      places.Add(Box(v3[0], n));
      break;
    case kRangeSecondX: case kRangeSecondY: case kRangeSecondZ:
      places.Add(Box(v3[1], n - kRangeSecondX));
      break;
    case kRangeR: case kRangeTheta: case kRangePhi: case kRangeT: case kRangeU: case kRangeV:
      if (!all) {
        places.Add(RangeIn3DView(v3[0], n));
        break;
      }
      for (GraphView2D* v : v2) places.Add(RangeIn2DView(v, n));
      for (GraphView3D* v : v3) places.Add(RangeIn3DView(v, n));
      if (n >= kRangeT && v4 != nullptr) places.Add(v4->parameterRanges + 2 * (n - kRangeT));
      break;
    default:  // the fourth axis without the 4D view current, and unknown indexes
      break;
  }
  return places;
}

// Copies a (low, high) pair into every place of the range.
void SpreadRange(GraphViewSet* set, int32_t n, const double* from) {
  if (from == nullptr) return;
  const double low = from[0], high = from[1];
  ViewSetSetRangeBound(set, n, low, 0);
  ViewSetSetRangeBound(set, n, high, 1);
}

// Copies of the transformation's two expressions for its own graph: parameters collected and
// substituted, and in mode 1 primes exchanged (x = f(x', y') is evaluated on the second view's own
// x and y). Mode 2's x' = f(x, y) is already in the first view's x and y, its graph's arguments.
ExprNode* PreparedTransformExpression(const ExprNode* expression, const CoordinateTransform* transform,
                                      DocumentServices* document) {
  ExprNode* copy = CopyExpression(expression);
  if (copy == nullptr) return nullptr;
  if (transform->mode == kTransformPlaneBackwards) SwapPrimedCoordinates(copy);
  if (document != nullptr) document->CollectEquationParameters(copy);
  SubstituteParameterValues(copy, document);
  return copy;
}

// The transformation's own graph in the second 2D view (modes 1 and 2).
void AddTransformGraph(GraphViewSet* set, const CoordinateTransform* transform) {
  const GraphConstructors make = GraphKindConstructors();
  const bool mesh = transform->mode == kTransformPlaneBackwards;
  if ((mesh ? make.mesh2D == nullptr : make.image2D == nullptr) || set->second2D == nullptr) return;
  DocumentServices* document = set->document;
  CompiledFunction* fx = NewFunctionOver(PreparedTransformExpression(transform->expression1, transform, document));
  CompiledFunction* fy = NewFunctionOver(PreparedTransformExpression(transform->expression2, transform, document));
  auto* colour = new (std::nothrow) GraphColor(set->first3D != nullptr ? set->first3D->context : nullptr);
  GraphKind2D* graph = nullptr;
  if (fx != nullptr && fy != nullptr && colour != nullptr) {
    SetGraphColorIndex(colour, transform->colorIndex);
    const ViewMap* frame = &set->second2D->drawMap;
    graph = mesh ? make.mesh2D(fx, fy, colour, frame, set, &set->graphIndexList)
                 : make.image2D(fx, fy, colour, transform->grain, frame, set, &set->graphIndexList);
  }
  if (graph == nullptr) {
    DeleteCompiledFunction(fx);
    DeleteCompiledFunction(fy);
    delete colour;
    if (fx != nullptr && fy != nullptr && colour != nullptr) PostError(kErrorOutOfMemory);
    return;
  }
  if (!KeepIfAttached(graph, AttachTo2DView(set, graph, 1))) return;
  if (set->document != nullptr) set->document->EnsureRowParameterList(transform->rowKey, set->graphTable.count - 1);
}

}  // namespace

// ---- Attachment ----

bool AttachTo2DView(GraphViewSet* set, GraphKind2D* graph, int32_t k) {
  return AttachWithRow(set, k == 0 ? set->first2D : set->second2D, k == 0 ? kViewFirst2D : kViewSecond2D, graph);
}

bool AttachTo3DView(GraphViewSet* set, GraphKind3D* graph, int32_t k) {
  return AttachWithRow(set, k == 0 ? set->first3D : set->second3D, k == 0 ? kViewFirst3D : kViewSecond3D, graph);
}

bool AttachTo4DView(GraphViewSet* set, GraphKind4D* graph) { return AttachWithRow(set, set->view4D, kView4D, graph); }

bool AttachToSecond2DView(GraphViewSet* set, GraphKind2D* graph) {
  return AttachToLastRow(set, set->second2D, kViewSecond2D, graph, 1);
}

bool AttachToSecond3DView(GraphViewSet* set, GraphKind3D* graph) {
  return AttachToLastRow(set, set->second3D, kViewSecond3D, graph, 1);
}

bool AttachToRowPlacement2D(GraphViewSet* set, GraphKind2D* graph, int32_t k, int32_t p) {
  return AttachToLastRow(set, k == 0 ? set->first2D : set->second2D, k == 0 ? kViewFirst2D : kViewSecond2D, graph,
                         p);
}

bool KeepIfAttached(GraphKind* graph, bool attached) {
  if (graph == nullptr) return false;
  if (attached) return true;
  delete graph;
  PostError(kErrorOutOfMemory);
  return false;
}

// ---- Ranges ----

void MarkRangeInUse(GraphViewSet* set, int32_t n) {
  if (n >= 0 && n < kRangeCount) set->rangeInUse[n] = 1;
}

void MarkViewRangesInUse(GraphViewSet* set, int32_t k) {
  const int32_t first = k == 0 ? kRangeX : kRangeSecondX;
  for (int32_t n = first; n < first + 3; ++n) MarkRangeInUse(set, n);
}

void Mark4DRangesInUse(GraphViewSet* set) {
  MarkViewRangesInUse(set, 0);
  MarkRangeInUse(set, kRangeW);
}

void ViewSetSetRangeBound(GraphViewSet* set, int32_t n, double value, int32_t which) {
  const RangePlaces places = PlacesOf(set, n, true);
  for (int32_t k = 0; k < places.count; ++k) places.pair[k][which == 0 ? 0 : 1] = value;
}

void ViewSetCopyRangeToDocument(GraphViewSet* set, int32_t n) {
  const RangePlaces places = PlacesOf(set, n, false);
  if (places.count == 0 || set->document == nullptr) return;
  set->document->StoreRangeBounds(n, places.pair[0][0], places.pair[0][1]);
}

void ViewSetCopyFlaggedRanges(GraphViewSet* set) {
  for (int32_t n = 0; n < kRangeCount; ++n) {
    if (set->rangeInUse[n] != 0) ViewSetCopyRangeToDocument(set, n);
  }
}

double* RangeIn3DView(GraphView3D* view, int32_t n) {
  if (n >= kRangeX && n <= kRangeZ) return Box(view, n);
  if (n >= kRangeR && n <= kRangePhi) return Polar(view, n - kRangeR);
  if (n >= kRangeT && n <= kRangeV) return Unit(view, n - kRangeT);
  return nullptr;
}

double* RangeIn2DView(GraphView2D* view, int32_t n) {
  if (view == nullptr) return nullptr;
  if (n == kRangeR) return view->scale.rangeR;
  if (n == kRangeTheta) return view->scale.rangeTheta;
  if (n == kRangeT) return view->scale.rangeT;
  return nullptr;
}

void RecordGraphIndex(GraphViewSet* set, const CoordinateTransform* transform) {
  if (transform == nullptr || set->first2D == nullptr) return;
  if (transform->mode != kTransformPlaneBackwards && transform->mode != kTransformPlaneForwards) return;
  if (!GrowArrayAppend(set->graphIndexList, set->first2D->graphs.count - 1)) PostError(kErrorOutOfMemory);
}

// ---- Coordinate transformation ----

void TransformPlaneExpression(ExprNode* expression, const CoordinateTransform* transform) {
  if (expression == nullptr || transform == nullptr || transform->mode != kTransformPlaneBackwards) return;
  if (RewritePassFunction rewrite = GraphsGlobals().rewritePass) {
    ExprNode* rules[4] = {
        Join(KindEqual, Symbol('r'),
             MakeSqrt(Join(KindPlus, MakeSquare(Symbol('x')), MakeSquare(Symbol('y'))))),
        Join(KindEqual, Symbol(SymTheta), Join(KindAngleOfPoint, Symbol('x'), Symbol('y'))),
        Join(KindEqual, Symbol('x'), CopyExpression(transform->expression1)),
        Join(KindEqual, Symbol('y'), CopyExpression(transform->expression2)),
    };
    for (ExprNode* rule : rules) {
      if (rule != nullptr) rewrite(expression, rule);
    }
    for (ExprNode* rule : rules) FreeExpression(rule);
  }
  RenameSymbol(expression, 'x' + kPrimeOffset, 'x');
  RenameSymbol(expression, 'y' + kPrimeOffset, 'y');
}

GraphKind2D* NewRelationOver(ExprNode* relation, ExprNode* differences, GraphColor* colour, int32_t drawOption,
                             uint8_t isEquation, const ViewMap* frame) {
  auto* make = GraphKindConstructors().relation2D;
  const bool hasDifferences = differences != nullptr;
  CompiledFunction* fRelation = NewFunctionOver(relation);
  CompiledFunction* fDifferences = NewFunctionOver(differences);
  GraphKind2D* graph = nullptr;
  if (make != nullptr && fRelation != nullptr && (fDifferences != nullptr || !hasDifferences) && colour != nullptr) {
    graph = make(fRelation, fDifferences, colour, drawOption, isEquation, frame);
  }
  if (graph == nullptr) {
    DeleteCompiledFunction(fRelation);
    DeleteCompiledFunction(fDifferences);
    delete colour;
    PostError(kErrorOutOfMemory);
  }
  return graph;
}

namespace {

// A companion made from its parts goes to the second 2D view as the row's second placement.
bool AttachCompanion(GraphViewSet* set, GraphKind2D* graph) {
  return KeepIfAttached(graph, AttachToSecond2DView(set, graph));
}

// Mode 2 (i 0) records the graph's index; true when a mode-1 companion is to be built.
bool WantsPlaneCompanion(GraphViewSet* set, int32_t i, const CoordinateTransform* transform) {
  if (transform == nullptr || i != 0) return false;
  if (transform->mode == kTransformPlaneForwards) RecordGraphIndex(set, transform);
  return transform->mode == kTransformPlaneBackwards && set->second2D != nullptr;
}

}  // namespace

bool AddTracedRelationCompanion(GraphViewSet* set, const ExprNode* expression, int32_t i, const GraphColor* colour,
                                const CoordinateTransform* transform, int32_t drawOption, bool isX) {
  if (!WantsPlaneCompanion(set, i, transform) || GraphKindConstructors().relation2D == nullptr) return false;
  ExprNode* relation = Join(KindEqual, Symbol(isX ? 'x' : 'y'), CopyExpression(expression));
  if (relation == nullptr) return false;
  TransformPlaneExpression(relation, transform);
  ExprNode* difference = MakeDifference(CopyExpression(relation->children[0]), CopyExpression(relation->children[1]));
  if (difference == nullptr) {
    FreeExpression(relation);
    return false;
  }
  return AttachCompanion(set, NewRelationOver(relation, difference, CloneGraphColor(colour), drawOption, 1,
                                              &set->second2D->drawMap));
}

bool AddRelationCompanion(GraphViewSet* set, const ExprNode* relation, int32_t i, const GraphColor* colour,
                          const CoordinateTransform* transform, int32_t drawOption, const ExprNode* differences,
                          int32_t flag) {
  if (!WantsPlaneCompanion(set, i, transform) || GraphKindConstructors().relation2D == nullptr) return false;
  ExprNode* copy = CopyExpression(relation);
  ExprNode* differencesCopy = CopyExpression(differences);
  if (copy == nullptr || (differences != nullptr && differencesCopy == nullptr)) {
    FreeExpression(copy);
    FreeExpression(differencesCopy);
    return false;
  }
  TransformPlaneExpression(copy, transform);
  TransformPlaneExpression(differencesCopy, transform);
  return AttachCompanion(set, NewRelationOver(copy, differencesCopy, CloneGraphColor(colour), drawOption, flag > 0,
                                              &set->second2D->drawMap));
}

bool AddRasterCompanion2D(GraphViewSet* set, const ExprNode* expression, int32_t i, const GraphColor* colour,
                          const CoordinateTransform* transform, double grain) {
  auto* make = GraphKindConstructors().raster2D;
  if (!WantsPlaneCompanion(set, i, transform) || make == nullptr) return false;
  ExprNode* copy = CopyExpression(expression);
  if (copy == nullptr) return false;
  SubstituteComplexZ(copy, 'x', 'y');
  TransformPlaneExpression(copy, transform);
  RenameXYToUV(copy);
  CompiledFunction* f = NewFunctionOver(copy);
  GraphColor* clone = CloneGraphColor(colour);
  GraphKind2D* graph = f != nullptr && clone != nullptr ? make(f, grain, clone, &set->second2D->drawMap) : nullptr;
  if (graph == nullptr) {
    DeleteCompiledFunction(f);
    delete clone;
    PostError(kErrorOutOfMemory);
    return false;
  }
  return AttachCompanion(set, graph);
}

// ---- Space transformation and the surfaces ----

bool RewriteThroughPoint(const ExprNode* const* point, int dimensions, const ExprNode* const* trees, int count,
                         ExprNode** out) {
  constexpr int32_t kAxes[3] = {'x', 'y', 'z'};
  ExprNode* rules[3] = {nullptr, nullptr, nullptr};
  bool complete = true;
  for (int k = 0; k < dimensions; ++k) {
    rules[k] = Join(KindEqual, Symbol(kAxes[k] + kPrimeOffset), CopyExpression(point[k]));
    complete = complete && rules[k] != nullptr;
  }
  for (int k = 0; k < count; ++k) {
    out[k] = complete && trees[k] != nullptr ? CopyExpression(trees[k]) : nullptr;
    complete = complete && (trees[k] == nullptr || out[k] != nullptr);
  }
  const RewritePassFunction rewrite = GraphsGlobals().rewritePass;
  for (int k = 0; k < count && complete; ++k) {
    if (out[k] == nullptr) continue;
    SwapPrimedCoordinates(out[k]);
    for (int r = 0; r < dimensions && rewrite != nullptr; ++r) rewrite(out[k], rules[r]);
  }
  for (ExprNode* rule : rules) FreeExpression(rule);
  if (complete) return true;
  for (int k = 0; k < count; ++k) {
    FreeExpression(out[k]);
    out[k] = nullptr;
  }
  PostError(kErrorOutOfMemory);
  return false;
}

void TransformSpacePoint(const CoordinateTransform* transform, const ExprNode* x, const ExprNode* y,
                         const ExprNode* z, const ExprNode* cond, GraphColor* colour, ExprNode** outX,
                         ExprNode** outY, ExprNode** outZ, CompiledFunction** outCond) {
  *outX = *outY = *outZ = nullptr;
  if (outCond != nullptr) *outCond = nullptr;
  if (transform == nullptr || transform->mode != kTransformSpace) return;
  const bool colours =
      colour != nullptr && (colour->mode == kColorRGBExpressions || colour->mode == kColorHSVExpressions);
  const ExprNode* point[3] = {x, y, z};
  const ExprNode* trees[7] = {transform->expression1, transform->expression2, transform->expression3,
                              outCond != nullptr ? cond : nullptr};
  for (int c = 0; c < 3 && colours; ++c) {
    if (colour->component[c] != nullptr) trees[4 + c] = colour->component[c]->tree;
  }
  ExprNode* out[7];
  if (!RewriteThroughPoint(point, 3, trees, 7, out)) return;
  *outX = out[0], *outY = out[1], *outZ = out[2];
  if (out[3] != nullptr) *outCond = NewFunctionOver(out[3]);
  for (int c = 0; c < 3; ++c) {
    if (out[4 + c] == nullptr) continue;
    CompiledFunction* rewritten = NewFunctionOver(out[4 + c]);
    if (rewritten == nullptr) continue;  // the old one stays (error 7 posted)
    DeleteCompiledFunction(colour->component[c]);
    colour->component[c] = rewritten;
  }
}

bool WantsSpaceCompanion(const GraphViewSet* set, const CoordinateTransform* transform, int32_t i) {
  return transform != nullptr && transform->mode == kTransformSpace && i == 0 && set->second3D != nullptr;
}

bool KeepSpaceCompanion(GraphViewSet* set, GraphKind3D* graph, CompiledFunction* const* functions, int n,
                        CompiledFunction* condition, GraphColor* colour) {
  if (graph == nullptr) {
    for (int k = 0; k < n; ++k) DeleteCompiledFunction(functions[k]);
    DeleteCompiledFunction(condition);
    delete colour;
    PostError(kErrorOutOfMemory);
    return false;
  }
  if (!KeepIfAttached(graph, AttachToSecond3DView(set, graph))) return false;
  MarkViewRangesInUse(set, 1);
  return true;
}

bool AddSurfaceCompanion3D(GraphViewSet* set, const CoordinateTransform* transform, int32_t i, const ExprNode* x,
                           const ExprNode* y, const ExprNode* z, const ExprNode* cond, int32_t drawOption,
                           double detail, double detail2, const GraphColor* colour, const SurfaceRanges& ranges) {
  auto* make = GraphKindConstructors().surface3D;
  if (!WantsSpaceCompanion(set, transform, i) || make == nullptr) return false;
  GraphColor* clone = CloneGraphColor(colour);
  ExprNode *tx, *ty, *tz;
  CompiledFunction* tcond = nullptr;
  TransformSpacePoint(transform, x, y, z, cond, clone, &tx, &ty, &tz, cond != nullptr ? &tcond : nullptr);
  CompiledFunction* f[3] = {NewFunctionOver(tx), NewFunctionOver(ty), NewFunctionOver(tz)};
  GraphKind3D* graph = nullptr;
  const bool made = f[0] != nullptr && f[1] != nullptr && f[2] != nullptr && (cond == nullptr || tcond != nullptr);
  if (clone != nullptr && made) {
    graph = make(f[0], f[1], f[2], detail, detail2, clone, tcond, drawOption, ranges.bound[0], ranges.bound[1],
                 ranges.bound[2], ranges.bound[3], set->second3D->context);
  }
  return KeepSpaceCompanion(set, graph, f, 3, tcond, clone);
}

bool AddCurveCompanion3D(GraphViewSet* set, const CoordinateTransform* transform, int32_t i, const ExprNode* x,
                         const ExprNode* y, const ExprNode* z, const ExprNode* condition, const GraphColor* colour,
                         double grain, const double* range) {
  auto* make = GraphKindConstructors().curve3D;
  if (!WantsSpaceCompanion(set, transform, i) || make == nullptr) return false;
  ExprNode* mapped[3];
  CompiledFunction* mappedCondition = nullptr;
  TransformSpacePoint(transform, x, y, z, condition, nullptr, &mapped[0], &mapped[1], &mapped[2], &mappedCondition);
  CompiledFunction* f[3];
  for (int k = 0; k < 3; ++k) f[k] = NewFunctionOver(mapped[k]);
  GraphColor* clone = CloneGraphColor(colour);
  GraphKind3D* graph = nullptr;
  if (f[0] != nullptr && f[1] != nullptr && f[2] != nullptr && clone != nullptr &&
      (condition == nullptr || mappedCondition != nullptr)) {
    graph = make(f[0], f[1], f[2], mappedCondition, clone, grain, set->second3D->context, range, range + 1);
  }
  return KeepSpaceCompanion(set, graph, f, 3, mappedCondition, clone);
}

bool AddSurface3D(GraphViewSet* set, int32_t i, ExprNode* x, ExprNode* y, ExprNode* z, GraphColor** colour,
                  CompiledFunction** cond, const CoordinateTransform* transform, double detail, double detail2,
                  int32_t drawOption, const SurfaceRanges& ranges) {
  auto* make = GraphKindConstructors().surface3D;
  GraphView3D* view = i == 0 ? set->first3D : set->second3D;
  // The companion reads the expressions as they were given, before compilation rewrites them.
  const bool companion = transform != nullptr && transform->mode == kTransformSpace && i == 0;
  ExprNode* kept[3] = {companion ? CopyExpression(x) : nullptr, companion ? CopyExpression(y) : nullptr,
                       companion ? CopyExpression(z) : nullptr};
  CompiledFunction* f[3] = {NewFunctionOver(x), NewFunctionOver(y), NewFunctionOver(z)};
  GraphKind3D* graph = nullptr;
  if (make != nullptr && view != nullptr && f[0] != nullptr && f[1] != nullptr && f[2] != nullptr) {
    graph = make(f[0], f[1], f[2], detail, detail2, *colour, *cond, drawOption, ranges.bound[0], ranges.bound[1],
                 ranges.bound[2], ranges.bound[3], view->context);
    if (graph == nullptr) PostError(kErrorOutOfMemory);
  }
  bool attached = false;
  if (graph == nullptr) {
    for (CompiledFunction* g : f) DeleteCompiledFunction(g);
  } else {
    const GraphColor* made = *colour;
    const ExprNode* condition = *cond != nullptr ? (*cond)->tree : nullptr;
    *colour = nullptr;
    *cond = nullptr;
    attached = KeepIfAttached(graph, AttachTo3DView(set, graph, i));
    if (attached) {
      if (companion && kept[0] != nullptr && kept[1] != nullptr && kept[2] != nullptr) {
        AddSurfaceCompanion3D(set, transform, i, kept[0], kept[1], kept[2], condition, drawOption, detail, detail2,
                              made, ranges);
      }
      MarkViewRangesInUse(set, i);
    }
  }
  for (ExprNode* e : kept) FreeExpression(e);
  return attached;
}

bool AddParametricSurface(GraphViewSet* set, const ExprNode* vector, int32_t i, GraphColor** colour,
                          const CoordinateTransform* transform, double detail, double detail2, int32_t drawOption,
                          CompiledFunction** cond) {
  GraphView3D* view = i == 0 ? set->first3D : set->second3D;
  if (vector == nullptr || vector->arity < 3 || view == nullptr) return false;
  ExprNode* e[3];
  for (int k = 0; k < 3; ++k) e[k] = CopyExpression(vector->children[k]);
  double* u = RangeIn3DView(view, kRangeU);
  double* v = RangeIn3DView(view, kRangeV);
  const SurfaceRanges ranges{{u, u + 1, v, v + 1}};
  if (!AddSurface3D(set, i, e[0], e[1], e[2], colour, cond, transform, detail, detail2, drawOption, ranges)) {
    return false;
  }
  MarkRangeInUse(set, kRangeU);
  MarkRangeInUse(set, kRangeV);
  return true;
}

// ---- Expression operations ----

CompiledFunction* NewFunctionOver(ExprNode* tree) {
  if (tree == nullptr) return nullptr;
  auto* function = new (std::nothrow) CompiledFunction{};
  if (function == nullptr) {
    FreeExpression(tree);
    PostError(kErrorOutOfMemory);
    return nullptr;
  }
  InitFunction(function, tree);
  return function;
}

bool IsVariableTuple(const ExprNode* node) {
  if (node == nullptr || node->kind != KindMatrix || node->value.halves.second != 1) return false;
  if (node->arity < 2 || node->arity > 4 || node->value.halves.first != node->arity) return false;
  for (int k = 0; k < node->arity; ++k) {
    if (node->children[k] == nullptr || node->children[k]->kind != KindChar) return false;
  }
  return true;
}

ExprNode* ProductOfSideDifferences(ExprNode* accumulator, const ExprNode* relation) {
  if (relation == nullptr || relation->arity < 2) return accumulator;
  ExprNode* product = nullptr;
  for (int k = 0; k + 1 < relation->arity; ++k) {
    ExprNode* a = CopyExpression(relation->children[k]);
    ExprNode* b = CopyExpression(relation->children[k + 1]);
    ExprNode* difference = a != nullptr && b != nullptr ? MakeDifference(a, b) : nullptr;
    if (difference == nullptr) {
      FreeExpression(a), FreeExpression(b), FreeExpression(product);
      return accumulator;
    }
    product = product == nullptr ? difference : Join(KindTimes, product, difference);
    if (product == nullptr) return accumulator;
  }
  if (accumulator == nullptr) return product;
  ExprNode* result = NewBinaryNode(KindTimes, accumulator, product);
  if (result == nullptr) FreeExpression(product);
  return result != nullptr ? result : accumulator;
}

void SubstituteComplexVariable(ExprNode* tree, int32_t name, int32_t a, int32_t b) {
  if (tree == nullptr) return;
  TreeCursor cursor(tree, WalkOrder::kPreOrder);
  for (ExprNode* n = cursor.Current(); n != nullptr;) {
    if (!IsVariableNamed(n, name)) {
      n = cursor.Next();
      continue;
    }
    ExprNode* sum = Join(KindPlus, Symbol(a), Join(KindTimes, Symbol(kImaginaryUnit), Symbol(b)));
    if (n == tree) {  // the root keeps its identity; nothing is left to walk
      if (sum != nullptr) ReplaceExpression(sum, tree);
      return;
    }
    ExprNode* next = cursor.Pass();  // the new content is not walked again
    if (sum != nullptr) ReplaceExpression(sum, n);
    n = next;
  }
}

void RenameXYToUV(ExprNode* tree) {
  RenameSymbol(tree, 'x', 'u');
  RenameSymbol(tree, 'y', 'v');
}

void SubstituteParameterValues(ExprNode* tree, const DocumentServices* document) {
  if (tree == nullptr || document == nullptr) return;
  TreeCursor cursor(tree, WalkOrder::kPreOrder);
  for (ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (n->kind != KindChar) continue;
    const ExprNode* parent = n->parent;
    if (parent != nullptr && parent->kind == KindIndexes) continue;
    if (parent != nullptr && IsVariableTuple(parent) && parent->parent != nullptr &&
        parent->parent->kind == KindEqual && parent->slot == 0) {
      continue;  // the coordinates or colour channels a tuple names
    }
    const double value = document->GetParameterValue(n->value.symbol);
    if (std::isnan(value)) continue;
    if (ExprNode* number = NewNumberNode(value)) ReplaceExpression(number, n);  // in place, no children
  }
}

void SetColorFromPart(GraphColor* colour, uint32_t mode, const ExprNode* part, DocumentServices* document) {
  if (colour == nullptr || part == nullptr || part->arity != 2) return;
  const ExprNode* right = part->children[1];
  colour->mode = mode;
  if (document != nullptr) document->CollectEquationParameters(right);
  SetDocumentConditionFlag(document);
  for (int k = 0; k < 3; ++k) {
    DeleteCompiledFunction(colour->component[k]);
    colour->component[k] = nullptr;
    ExprNode* copy = k < right->arity ? CopyExpression(right->children[k]) : nullptr;
    SubstituteParameterValues(copy, document);
    CompiledFunction* f = NewFunctionOver(copy);
    if (f == nullptr) continue;
    RenameFunctionSymbol(f, 'r', SymRho);
    CompileFunction(f);
    colour->component[k] = f;
  }
}

bool IsColorSpecPart(const ExprNode* part, const GraphColor* colour, int32_t a, int32_t b, int32_t c) {
  if (part == nullptr || colour == nullptr || IsNoFillColor(colour)) return false;
  if (part->kind != KindEqual || part->arity != 2 || !IsColumnOfVariables(part->children[0], a, b, c)) return false;
  const ExprNode* right = part->children[1];
  return right->kind == KindMatrix && right->arity == 3 && right->value.halves.first == 3 &&
         right->value.halves.second == 1;
}

bool IsStrictInequalityKind(uint32_t kind) { return kind == KindLessthan || kind == KindGreaterthan; }

int32_t DisplayKindOf(double value) { return static_cast<int32_t>(static_cast<uint32_t>(TruncateToInt32(value)) & 3u); }

bool FormAcceptsCondition(int32_t form, bool is3D) { return FormAllowsCondition(form & ~kPrimedForm, is3D); }

bool FormAcceptsColorExpressions(int32_t form, bool is3D) {
  return FormAllowsColorExpressions(form & ~kPrimedForm, is3D);
}

bool IsExplicitGraphEquation(const ExprNode* equation) {
  if (equation == nullptr || equation->arity != 2) return false;
  const bool relation = equation->kind == KindEqual || IsComparisonKind(equation->kind);
  const ExprNode* left = equation->children[0];
  return relation && (left->kind == KindChar || IsFOfX(left));
}

// ---- The equation set ----

void BuildGraphsForEquationSet(GraphViewSet* set, bool is3D, bool is4D, bool split, bool secondIs3D,
                               const CoordinateTransform* transform) {
  bool stale = false;
  for (int32_t slot = kViewFirst2D; slot <= kView4D; ++slot) {
    const GraphView* view = ViewSetView(set, slot);
    stale = stale || (view != nullptr && view->graphs.count > 0);
  }
  if (stale) ViewSetDeleteAllGraphs(set);
  GrowArrayFree(set->graphTable);
  GrowArrayFree(set->graphIndexList);
  for (uint8_t& flag : set->rangeInUse) flag = 0;

  set->primary = is4D ? static_cast<GraphView*>(set->view4D)
                      : is3D ? static_cast<GraphView*>(set->first3D) : static_cast<GraphView*>(set->first2D);
  set->secondary = nullptr;
  if (split && !is4D) set->secondary = secondIs3D ? static_cast<GraphView*>(set->second3D) : set->second2D;
  const uint32_t mode = transform != nullptr ? transform->mode : kTransformNone;
  const bool planeMode = mode == kTransformPlaneBackwards || mode == kTransformPlaneForwards;
  if (set->primary == set->first2D && planeMode) set->secondary = set->second2D;
  if (set->primary == set->first3D && mode == kTransformSpace) set->secondary = set->second3D;
  if (set->primary == nullptr) set->primary = set->first2D;  // a missing view falls back to the plane
  ViewSetLayoutViews(set);
  ViewSetResetAllViews(set);
  if (planeMode && set->primary == set->first2D && set->secondary == set->second2D) {
    AddTransformGraph(set, transform);
  }

  // The parameter ranges from the shown view to every view that has them.
  if (set->primary == set->first2D && set->first2D != nullptr) {
    for (int32_t n : {kRangeT, kRangeR, kRangeTheta}) SpreadRange(set, n, RangeIn2DView(set->first2D, n));
    for (int32_t n : {kRangeU, kRangeV}) SpreadRange(set, n, RangeIn3DView(set->first3D, n));
  } else if (set->primary == set->first3D && set->first3D != nullptr) {
    for (int32_t n : {kRangeT, kRangeU, kRangeV, kRangeR, kRangeTheta}) {
      SpreadRange(set, n, RangeIn3DView(set->first3D, n));
    }
  } else if (set->primary == set->view4D && set->view4D != nullptr) {
    for (int32_t n : {kRangeT, kRangeU, kRangeV}) SpreadRange(set, n, set->view4D->parameterRanges + 2 * (n - kRangeT));
    for (int32_t n : {kRangeR, kRangeTheta}) SpreadRange(set, n, RangeIn3DView(set->first3D, n));
  }
  if (set->first3D != nullptr && set->second3D != nullptr) {
    Polar(set->second3D, 2)[0] = Polar(set->first3D, 2)[0];
    Polar(set->second3D, 2)[1] = Polar(set->first3D, 2)[1];
  }
  for (GraphView3D* view : {set->first3D, set->second3D}) {
    if (view != nullptr) view->settings.camera.radius = 1.2;
  }
}
