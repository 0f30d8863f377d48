// Shape tests of the classifier. Structural checks (kind, arity, column size) run before any
// walk, so a failing test usually costs a few comparisons; walks are iterative.
#include "graphs/factory/form_shapes.h"

#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"

namespace {

constexpr uint32_t kOrdinaryNodes = ClassifyParameters | ClassifySums | ClassifyDerivatives;  // set 37

bool IsKindOfArity(const ExprNode* node, uint32_t kind, int arity) {
  return node != nullptr && node->kind == kind && node->arity == arity;
}
bool IsEqualOfTwo(const ExprNode* node) { return IsKindOfArity(node, KindEqual, 2); }
bool IsColumn(const ExprNode* node, int rows) { return IsColumnOfRows(node, rows); }
bool IsListedVariable(int32_t id, int32_t a, int32_t b, int32_t c, int32_t d) {
  return id != kNoVariable && (id == a || id == b || id == c || id == d);
}

// A column of `rows` elements each using only a, b, c.
bool IsColumnUsing(const ExprNode* node, int rows, int32_t a, int32_t b, int32_t c = kNoVariable) {
  if (!IsColumn(node, rows)) return false;
  for (int k = 0; k < rows; ++k) {
    if (!UsesOnly(node->children[k], a, b, c)) return false;
  }
  return true;
}

// A comma node of at least two items whose first item is a space vector field.
bool StartsWithSpaceField(const ExprNode* node) {
  return node != nullptr && node->kind == KindComma && node->arity >= 2 && IsSpaceVectorField(node->children[0]);
}

constexpr ExplicitFormRow kExplicitSurfaces[] = {
    {55, kVarX, kVarY, kVarZ},   {56, kVarY, kVarZ, kVarX},       {57, kVarZ, kVarY, kVarX},
    {58, kVarR, kVarTheta, kVarPhi}, {60, kVarPhi, kVarR, kVarTheta}, {59, kVarTheta, kVarR, kVarPhi},
    {61, kVarR, kVarTheta, kVarZ}, {62, kVarZ, kVarR, kVarTheta},   {63, kVarTheta, kVarR, kVarZ},
};
constexpr ExplicitFormRow kParametricSurfaces[] = {
    {64, kVarX, kVarY, kVarZ}, {65, kVarR, kVarTheta, kVarPhi}, {66, kVarR, kVarTheta, kVarZ}};

}  // namespace

bool IsVariableNamed(const ExprNode* node, int32_t symbol) {
  return node != nullptr && node->kind == KindChar && node->value.symbol == symbol;
}

bool IsCoordinateVariableNode(const ExprNode* node) {
  return node != nullptr && node->kind == KindChar && IsCoordinateSymbol(node->value.symbol);
}

const ExprNode* SubscriptedBase(const ExprNode* node) {
  if (node == nullptr || node->kind != KindIndexes || node->arity < 1) return nullptr;
  return node->value.halves.first == 0 && node->value.halves.second == 1 ? node->children[0] : nullptr;
}

bool UsesOnly(const ExprNode* node, int32_t a, int32_t b, int32_t c, int32_t d) {
  if (node == nullptr) return false;
  TreeCursor cursor(const_cast<ExprNode*>(node), WalkOrder::kPreOrder);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (n->kind == KindChar) {
      const int32_t id = n->value.symbol;
      if (IsListedVariable(id, a, b, c, d) || !IsCoordinateSymbol(id)) continue;
    }
    if (!ClassifyNodeKind(n, kOrdinaryNodes, nullptr)) return false;
  }
  return true;
}

bool UsesOnlyPlaneVariables(const ExprNode* node) { return UsesOnly(node, kVarX, kVarY, kVarR, kVarTheta); }

bool AllNodesPassKindClass(const ExprNode* node, uint32_t extra) {
  if (node == nullptr) return false;
  TreeCursor cursor(const_cast<ExprNode*>(node), WalkOrder::kPreOrder);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (n->kind != KindMatrix && !ClassifyNodeKind(n, kOrdinaryNodes | extra, nullptr)) return false;
  }
  return true;
}

bool IsExplicitForm(const ExprNode* equation, int32_t a, int32_t b, int32_t c) {
  if (!IsEqualOfTwo(equation)) return false;
  const ExprNode* left = equation->children[0];
  const ExprNode* right = equation->children[1];
  const bool leftIsA = IsVariableNamed(left, a) || IsVariableNamed(SubscriptedBase(left), a);
  if (leftIsA && UsesOnly(right, b, c)) return true;
  return IsVariableNamed(right, a) && !IsCoordinateVariableNode(left) && UsesOnly(left, b, c);
}

bool IsColumnOfVariables(const ExprNode* node, int32_t a, int32_t b, int32_t c, int32_t d) {
  const int32_t vars[4] = {a, b, c, d};
  const int rows = d != kNoVariable ? 4 : c != kNoVariable ? 3 : 2;
  if (!IsColumn(node, rows)) return false;
  for (int k = 0; k < rows; ++k) {
    if (!IsVariableNamed(node->children[k], vars[k])) return false;
  }
  return true;
}

bool IsVectorOf(const ExprNode* node, int32_t a, int32_t b) { return IsColumnUsing(node, 2, a, b); }
bool IsTripleOf(const ExprNode* node, int32_t a, int32_t b) { return IsColumnUsing(node, 3, a, b); }
bool IsQuadOf(const ExprNode* node, int32_t a, int32_t b) { return IsColumnUsing(node, 4, a, b); }

bool IsPlaneVectorField(const ExprNode* equation) {
  return IsEqualOfTwo(equation) && IsColumnOfVariables(equation->children[0], kVarX, kVarY) &&
         IsVectorOf(equation->children[1], kVarX, kVarY);
}

bool IsSpaceVectorField(const ExprNode* equation) {
  return IsEqualOfTwo(equation) && IsColumnOfVariables(equation->children[0], kVarX, kVarY, kVarZ) &&
         IsColumnUsing(equation->children[1], 3, kVarX, kVarY, kVarZ);
}

bool IsPairEquation(const ExprNode* equation, int32_t a, int32_t b, int32_t p) {
  return IsEqualOfTwo(equation) && IsColumnOfVariables(equation->children[0], a, b) &&
         IsVectorOf(equation->children[1], p);
}

bool IsTripleEquation(const ExprNode* equation, int32_t a, int32_t b, int32_t c, int32_t p, int32_t q) {
  return IsEqualOfTwo(equation) && IsColumnOfVariables(equation->children[0], a, b, c) &&
         IsTripleOf(equation->children[1], p, q);
}

bool IsQuadEquation(const ExprNode* equation, int32_t a, int32_t b, int32_t c, int32_t d, int32_t p, int32_t q) {
  return IsEqualOfTwo(equation) && IsColumnOfVariables(equation->children[0], a, b, c, d) &&
         IsQuadOf(equation->children[1], p, q);
}

bool IsPairEquationForm(const ExprNode* equation, int32_t a, int32_t b, int32_t p) {
  return IsPairEquation(equation, a, b, p) && ContainsSymbol(equation, p);
}

bool IsTripleEquationForm(const ExprNode* equation, int32_t a, int32_t b, int32_t c, int32_t p, int32_t q) {
  return IsTripleEquation(equation, a, b, c, p, q) &&
         (ContainsSymbol(equation, p) || (q != kNoVariable && ContainsSymbol(equation, q)));
}

bool IsComplexCurveEquation(const ExprNode* equation, int32_t p) {
  if (!IsEqualOfTwo(equation)) return false;
  const ExprNode* left = equation->children[0];
  if (!IsKindOfArity(left, KindPlus, 2) || !IsVariableNamed(left->children[0], kVarX)) return false;
  const ExprNode* term = left->children[1];
  return IsKindOfArity(term, KindTimes, 2) && IsVariableNamed(term->children[0], kVarI) &&
         IsVariableNamed(term->children[1], kVarY) && UsesOnly(equation->children[1], p);
}

bool IsDerivativeOf(const ExprNode* node, int32_t a, int32_t b) {
  if (IsKindOfArity(node, KindFunction, 2)) {
    const ExprNode* op = node->children[0];
    return IsKindOfArity(op, KindOptotal, 1) && IsVariableNamed(op->children[0], a) &&
           IsVariableNamed(node->children[1], b);
  }
  if (!IsKindOfArity(node, KindOver, 2)) return false;
  const ExprNode* top = node->children[0];
  const ExprNode* bottom = node->children[1];
  return IsKindOfArity(top, KindTimes, 2) && IsVariableNamed(top->children[0], kVarD) &&
         IsVariableNamed(top->children[1], b) && IsKindOfArity(bottom, KindTimes, 2) &&
         IsVariableNamed(bottom->children[0], kVarD) && IsVariableNamed(bottom->children[1], a);
}

bool IsTimeDerivativeOfPlanePoint(const ExprNode* node) {
  if (!IsKindOfArity(node, KindFunction, 2)) return false;
  const ExprNode* op = node->children[0];
  return IsKindOfArity(op, KindOptotal, 1) && IsVariableNamed(op->children[0], kVarT) &&
         IsColumnOfVariables(node->children[1], kVarX, kVarY);
}

bool IsPlaneRelation(const ExprNode* node) {
  return node != nullptr && node->arity == 2 && UsesOnlyPlaneVariables(node->children[0]) &&
         UsesOnlyPlaneVariables(node->children[1]);
}

bool IsSpaceRelation(const ExprNode* node) {
  return node != nullptr && node->arity == 2 && UsesOnly(node->children[0], kVarX, kVarY, kVarZ) &&
         UsesOnly(node->children[1], kVarX, kVarY, kVarZ);
}

bool OperandsUsePlaneVariables(const ExprNode* node) {
  if (node == nullptr) return false;
  for (int k = 0; k < node->arity; ++k) {
    if (!UsesOnlyPlaneVariables(node->children[k])) return false;
  }
  return true;
}

bool IsConstantQuadList(const ExprNode* node) {
  if (node == nullptr || node->kind != KindComma || node->arity < 1) return false;
  for (int k = 0; k < node->arity; ++k) {
    if (!IsQuadOf(node->children[k], kNoVariable)) return false;
  }
  return true;
}

bool IsConstantPointPair2D(const ExprNode* node) {
  return IsKindOfArity(node, KindComma, 2) && IsVectorOf(node->children[0], kNoVariable) &&
         IsVectorOf(node->children[1], kNoVariable);
}

bool IsConstantPointPair3D(const ExprNode* node) {
  return IsKindOfArity(node, KindComma, 2) && IsTripleOf(node->children[0], kNoVariable) &&
         IsTripleOf(node->children[1], kNoVariable);
}

bool IsFieldOnImplicitSurface(const ExprNode* node) {
  return StartsWithSpaceField(node) && IsSpaceRelation(node->children[1]);
}

bool IsFieldOnExplicitSurface(const ExprNode* node, int32_t a, int32_t b, int32_t c) {
  return StartsWithSpaceField(node) && IsExplicitForm(node->children[1], a, b, c);
}

bool IsFieldOnParametricSurface(const ExprNode* node, int32_t a, int32_t b, int32_t c) {
  return StartsWithSpaceField(node) && IsTripleEquation(node->children[1], a, b, c, kVarU, kVarV);
}

int32_t FieldOnSurfaceForm(const ExprNode* node) {
  if (!StartsWithSpaceField(node)) return 0;
  for (const ExplicitFormRow& s : kParametricSurfaces) {
    if (IsTripleEquation(node->children[1], s.a, s.b, s.c, kVarU, kVarV)) return s.form;
  }
  for (const ExplicitFormRow& s : kExplicitSurfaces) {
    if (IsExplicitForm(node->children[1], s.a, s.b, s.c)) return s.form;
  }
  return IsSpaceRelation(node->children[1]) ? 54 : 0;
}

bool HasTrailingParts(const ExprNode* node) {
  if (node == nullptr || node->kind != KindComma) return false;
  if (IsConstantQuadList(node) || IsConstantPointPair2D(node) || IsConstantPointPair3D(node)) return false;
  return !(node->arity == 2 && IsFieldOnSurfaceForm(node));
}
