// The 4D forms' graphs: coordinate functions made from copies of the equation, the kind's
// constructor, attachment to the 4D view and the ranges in use.
#include "graphs/factory/graph_factory_4d.h"

#include "graphs/factory/factory_helpers.h"
#include "graphs/factory/graph_kind_table.h"
#include "graphs/view4d/graph_view_4d.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"

namespace {

// fn of a copy of the k-th element of the 4-vector, with `from` renamed `to` (0: none).
CompiledFunction* ElementFunction(const ExprNode* vector, int k, int32_t from, int32_t to) {
  ExprNode* copy = CopyExpression(vector->children[k]);
  if (copy != nullptr && from != 0) RenameSymbol(copy, from, to);
  return NewFunctionOver(copy);
}

// fn(Re e) or fn(Im e) of a copy of e with z = u + i v.
CompiledFunction* ComplexPartFunction(const ExprNode* expression, uint32_t part) {
  ExprNode* copy = CopyExpression(expression);
  if (copy == nullptr) return nullptr;
  SubstituteComplexZ(copy, 'u', 'v');
  ExprNode* taken = NewUnaryNode(part, copy);
  if (taken == nullptr) FreeExpression(copy);
  return NewFunctionOver(taken);
}

CompiledFunction* SymbolFunction(int32_t symbol) {
  return NewFunctionOver(NewSymbolNode(static_cast<int16_t>(symbol)));
}

bool AllMade(CompiledFunction* const f[4]) {
  return f[0] != nullptr && f[1] != nullptr && f[2] != nullptr && f[3] != nullptr;
}

void FreeFunctions(CompiledFunction* f[4]) {
  for (int k = 0; k < 4; ++k) DeleteCompiledFunction(f[k]);
}

// The right side of an equal node with two operands, else null.
const ExprNode* RightSide(const ExprNode* node) {
  return node->kind == KindEqual && node->arity == 2 ? node->children[1] : nullptr;
}
}  // namespace

FormBuild BuildGraph4D(GraphViewSet* set, int32_t form, const ExprNode* node, CompiledFunction** condition,
                       GraphColor** colour, double grain, double opacity) {
  const GraphConstructors make = GraphKindConstructors();
  GraphView4D* view = set->view4D;
  if (view == nullptr || form < 20 || form > 23) return FormBuild::kKindMissing;
  const bool kindThere = form == 23 ? make.curveList4D != nullptr
                         : form == 20 ? make.curve4D != nullptr
                                      : make.surface4D != nullptr;
  if (!kindThere) return FormBuild::kKindMissing;
  CompiledFunction* f[4] = {nullptr, nullptr, nullptr, nullptr};
  GraphKind4D* graph = nullptr;
  bool takesCondition = form != 23;
  const ExprNode* right = RightSide(node);
  if (form == 23) {
    CompiledFunction* list = NewFunctionOver(CopyExpression(node));
    if (list == nullptr) return FormBuild::kFailed;
    graph = make.curveList4D(list, *colour, view->context, &view->projection);
    if (graph == nullptr) DeleteCompiledFunction(list);
  } else if (form == 22) {
    if (right == nullptr) return FormBuild::kFailed;
    f[0] = SymbolFunction('u');
    f[1] = SymbolFunction('v');
    f[2] = ComplexPartFunction(right, KindRe);
    f[3] = ComplexPartFunction(right, KindIm);
    if (AllMade(f)) {
      // Over the complex plane: u and v run over the view's x and y ranges.
      const double* r = view->axisRanges;
      graph = make.surface4D(f[0], f[1], f[2], f[3], grain, opacity, *colour, *condition, r, r + 1, r + 2, r + 3,
                             view->context, &view->projection);
    }
  } else {
    if (!IsColumnOfRows(right, 4)) return FormBuild::kFailed;
    for (int k = 0; k < 4; ++k) f[k] = ElementFunction(right, k, form == 20 ? 't' : 0, 'u');
    const double* p = view->parameterRanges;  // t, u, v: (low, high) each
    if (AllMade(f) && form == 20) {
      graph = make.curve4D(f[0], f[1], f[2], f[3], *condition, *colour, grain, view->context, &view->projection, p,
                           p + 1);
    } else if (AllMade(f)) {
      graph = make.surface4D(f[0], f[1], f[2], f[3], grain, opacity, *colour, *condition, p + 2, p + 3, p + 4, p + 5,
                             view->context, &view->projection);
    }
  }
  if (graph == nullptr) {
    // A refused function said so itself; the graph object refused is said here.
    if (form == 23 || AllMade(f)) PostError(kErrorOutOfMemory);
    FreeFunctions(f);
    return FormBuild::kFailed;
  }
  *colour = nullptr;  // the graph's from here
  if (takesCondition) *condition = nullptr;
  if (!KeepIfAttached(graph, AttachTo4DView(set, graph))) return FormBuild::kFailed;
  if (form == 20) MarkRangeInUse(set, kRangeT);
  if (form == 21) {
    MarkRangeInUse(set, kRangeU);
    MarkRangeInUse(set, kRangeV);
  }
  Mark4DRangesInUse(set);
  return FormBuild::kBuilt;
}
