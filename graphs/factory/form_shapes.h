// The shape tests of the equation-form classifier: which variables a subtree uses, columns of
// variables, tuple equations, derivatives, relations and the comma forms (point lists, vector
// fields on surfaces). All are pure queries on const trees; variables are symbol ids, and
// kNoVariable (32) stands for "no variable" in the argument lists.
#pragma once

#include <cstdint>

struct ExprNode;

// Symbol ids the classifier tests by name.
enum FormVariable : int32_t {
  kNoVariable = 32,
  kVarB = 'b', kVarD = 'd', kVarG = 'g', kVarH = 'h', kVarI = 'i', kVarR = 'r', kVarS = 's',
  kVarT = 't', kVarU = 'u', kVarV = 'v', kVarW = 'w', kVarX = 'x', kVarY = 'y', kVarZ = 'z',
  kVarTheta = 4884, kVarPhi = 4870,
};

// Single-node name tests, shared by the classifier, the factory and the definitions.
bool IsVariableNamed(const ExprNode* node, int32_t symbol);
bool IsCoordinateVariableNode(const ExprNode* node);
// The base of a subscripted name a_k (indexes with index counts 0 and 1 and an operand); null for
// any other node.
const ExprNode* SubscriptedBase(const ExprNode* node);
inline bool IsSubscriptedCoordinateNode(const ExprNode* node) {
  return IsCoordinateVariableNode(SubscriptedBase(node));
}

// A row of the classifier's tables of explicit forms: the form of a = f(b, c).
struct ExplicitFormRow {
  int32_t form, a, b, c;
};

// Every node of the subtree passes the kernel's node classifier with flag set 37, or is a
// variable among a..d, or is a parameter (a variable that is no coordinate).
bool UsesOnly(const ExprNode* node, int32_t a, int32_t b = kNoVariable, int32_t c = kNoVariable,
              int32_t d = kNoVariable);
// UsesOnly with x, y, r, theta.
bool UsesOnlyPlaneVariables(const ExprNode* node);
// Every node passes the node classifier with flag set 37 + extra (2 comma lists, 8 conditions,
// 16 colour expressions), matrix nodes included: tuples keep their conditions.
bool AllNodesPassKindClass(const ExprNode* node, uint32_t extra);

// equal(a, R) or equal(a_k, R) with R using only b, c; or equal(L, a) with L using only b, c and
// L no coordinate variable.
bool IsExplicitForm(const ExprNode* equation, int32_t a, int32_t b = kNoVariable, int32_t c = kNoVariable);
// A one-column matrix of exactly the variables given (2, 3 or 4 of them; kNoVariable ends).
bool IsColumnOfVariables(const ExprNode* node, int32_t a, int32_t b, int32_t c = kNoVariable,
                         int32_t d = kNoVariable);
// A one-column matrix of 2 / 3 / 4 rows whose every element uses only the variables given.
bool IsVectorOf(const ExprNode* node, int32_t a, int32_t b = kNoVariable);
bool IsTripleOf(const ExprNode* node, int32_t a, int32_t b = kNoVariable);
bool IsQuadOf(const ExprNode* node, int32_t a, int32_t b = kNoVariable);

// Tuple equations (all on a two-operand equal node).
bool IsPlaneVectorField(const ExprNode* equation);                             // (x, y) = F(x, y)
bool IsSpaceVectorField(const ExprNode* equation);                             // (x, y, z) = F(x, y, z)
bool IsPairEquation(const ExprNode* equation, int32_t a, int32_t b, int32_t p);  // (a, b) = f(p)
bool IsTripleEquation(const ExprNode* equation, int32_t a, int32_t b, int32_t c, int32_t p, int32_t q);
bool IsQuadEquation(const ExprNode* equation, int32_t a, int32_t b, int32_t c, int32_t d, int32_t p, int32_t q);
// The pair and triple tests, and the tree mentions p (or q).
bool IsPairEquationForm(const ExprNode* equation, int32_t a, int32_t b, int32_t p);
bool IsTripleEquationForm(const ExprNode* equation, int32_t a, int32_t b, int32_t c, int32_t p, int32_t q);
// x + i y = f(p).
bool IsComplexCurveEquation(const ExprNode* equation, int32_t p);
// db/da: function(optotal(a), b), or (d b) / (d a).
bool IsDerivativeOf(const ExprNode* node, int32_t a, int32_t b);
// d/dt applied to the column (x, y).
bool IsTimeDerivativeOfPlanePoint(const ExprNode* node);

// Exactly two operands, both using only x, y, r, theta / only x, y, z (any kind of node).
bool IsPlaneRelation(const ExprNode* node);
bool IsSpaceRelation(const ExprNode* node);
// Every operand uses only x, y, r, theta.
bool OperandsUsePlaneVariables(const ExprNode* node);

// Comma forms.
bool IsConstantQuadList(const ExprNode* node);     // every item a constant 4-vector
bool IsConstantPointPair2D(const ExprNode* node);  // two constant 2-vectors
bool IsConstantPointPair3D(const ExprNode* node);  // two constant 3-vectors
bool IsFieldOnImplicitSurface(const ExprNode* node);
bool IsFieldOnExplicitSurface(const ExprNode* node, int32_t a, int32_t b, int32_t c);
bool IsFieldOnParametricSurface(const ExprNode* node, int32_t a, int32_t b, int32_t c);
// The form (54 to 66) of a vector field followed by the surface it is drawn on, tested in the
// classifier's order; 0 for none.
int32_t FieldOnSurfaceForm(const ExprNode* node);
inline bool IsFieldOnSurfaceForm(const ExprNode* node) { return FieldOnSurfaceForm(node) != 0; }
// A comma node whose items after the first (after the second for a field on a surface) are to be
// read as colour items, conditions or a read-out: not a point list, not a lone field
// with its surface.
bool HasTrailingParts(const ExprNode* node);

// The graph factory calls three of these by these names.
inline bool EquationHasExtraParts(const ExprNode* node) { return HasTrailingParts(node); }
inline bool IsFieldWithSurfaceList(const ExprNode* node) { return IsFieldOnSurfaceForm(node); }
inline bool IsSimpleVariableTerm(const ExprNode* tree, int32_t a, int32_t b, int32_t c, int32_t d) {
  return UsesOnly(tree, a, b, c, d);
}
