// The classifier's ordered tests, the primed retry, the trailing-item rules, the explanation
// messages and the form sets. The sets are one table (kFormTable); the order of the tests is the
// code below, first match wins.
#include "graphs/factory/equation_form.h"

#include <array>
#include <cmath>
#include <initializer_list>

#include "graphs/factory/definitions.h"
#include "graphs/factory/form_shapes.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"

namespace {

// What each form code allows and belongs to.
enum FormBit : uint16_t {
  kCurve = 1 << 0,            // IsCurveFormCode
  kInSet = 1 << 1,            // IsFormCodeInSet
  kDrawnAlike = 1 << 2,       // AllEquationsAreForm
  kSurfaceIn3D = 1 << 3,      // AnyEquationHasForm (classified with flag3D)
  kPointForm = 1 << 4,        // AllEquationsPassForm
  kShownSurface = 1 << 5,     // traits: always a surface
  kSurfaceByMode = 1 << 6,    // traits: a surface when the mode's low bits are 1
  kConditionAlways = 1 << 7,  // a condition item is allowed
  kCondition3D = 1 << 8,      // ... only with flag3D
  kColourAlways = 1 << 9,     // a colour item is allowed
  kColour3D = 1 << 10,        // ... only with flag3D
};

struct CodeRange {
  int lo;
  int hi;
};
using FormTable = std::array<uint16_t, kFormCodeCount>;

constexpr void Mark(FormTable& table, uint16_t bit, std::initializer_list<CodeRange> ranges) {
  for (const CodeRange& r : ranges) {
    for (int code = r.lo; code <= r.hi; ++code) table[static_cast<size_t>(code)] |= bit;
  }
}

constexpr FormTable MakeFormTable() {
  FormTable t{};
  Mark(t, kCurve, {{3, 22}, {24, 28}, {30, 30}, {33, 33}, {36, 41}, {46, 48}, {53, 66}});
  Mark(t, kInSet, {{5, 14}, {21, 22}, {26, 28}, {33, 33}, {40, 40}, {43, 45}, {48, 48}});
  Mark(t, kDrawnAlike, {{5, 14}, {21, 22}, {26, 28}, {33, 33}, {40, 40}, {48, 48}});
  Mark(t, kSurfaceIn3D, {{5, 14}, {21, 22}, {26, 28}, {30, 30}, {33, 33}, {40, 40}, {48, 48}});
  Mark(t, kPointForm, {{43, 45}});
  Mark(t, kShownSurface, {{6, 11}, {14, 14}, {17, 17}, {19, 19}, {24, 28}, {30, 30}, {39, 39}, {47, 48}, {52, 66}});
  Mark(t, kSurfaceByMode, {{5, 5}, {12, 13}, {33, 33}, {40, 40}});
  Mark(t, kConditionAlways, {{20, 22}, {29, 29}, {34, 35}});
  Mark(t, kCondition3D, {{5, 15}, {17, 19}, {24, 28}, {30, 30}, {33, 33}, {38, 40}, {46, 48}, {54, 66}});
  Mark(t, kColourAlways, {{21, 22}});
  Mark(t, kColour3D, {{5, 14}, {26, 28}, {30, 30}, {33, 33}, {40, 40}, {48, 48}});
  return t;
}
constexpr FormTable kFormTable = MakeFormTable();

int32_t CodeOf(int32_t word) { return word & 0xFF; }
bool HasBit(int32_t word, uint16_t bit) {
  const int32_t code = CodeOf(word);
  return code < kFormCodeCount && (kFormTable[static_cast<size_t>(code)] & bit) != 0;
}
bool Allowed(int32_t word, uint16_t always, uint16_t in3D, bool flag3D) {
  return HasBit(word, always) || (flag3D && HasBit(word, in3D));
}

bool IsMatrix(const ExprNode* node) { return node != nullptr && node->kind == KindMatrix; }

// x', y' or z' somewhere in the tree. A tree without one is unchanged by the primed retry except
// for x, y, z becoming primed, which every form refuses, so the retry can be skipped.
bool ContainsPrimedCoordinate(const ExprNode* tree) {
  TreeCursor cursor(const_cast<ExprNode*>(tree), WalkOrder::kPreOrder);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (n->kind == KindChar && n->value.symbol >= kVarX + kPrimeOffset && n->value.symbol <= kVarZ + kPrimeOffset) {
      return true;
    }
  }
  return false;
}

// z = f(x, y) through theta = f(r, z), in the order they are tried (13 and the relations follow).
constexpr ExplicitFormRow kExplicitSurfaceForms[] = {
    {5, kVarZ, kVarX, kVarY},       {6, kVarX, kVarY, kVarZ},     {7, kVarY, kVarX, kVarZ},
    {8, kVarR, kVarTheta, kVarPhi}, {9, kVarTheta, kVarR, kVarPhi}, {10, kVarPhi, kVarR, kVarTheta},
    {11, kVarR, kVarTheta, kVarZ},  {12, kVarZ, kVarR, kVarTheta}, {14, kVarTheta, kVarR, kVarZ},
};

// An equation with a coordinate variable on one side.
int32_t ClassifyCoordinateEquation(const ExprNode* eq, bool flag3D, const DocumentServices* document) {
  if (!flag3D) {
    if (IsExplicitForm(eq, kVarY, kVarX)) return 1;
    if (IsExplicitForm(eq, kVarX, kVarY)) return 2;
    if (IsExplicitForm(eq, kVarR, kVarTheta)) return 3;
    if (IsExplicitForm(eq, kVarTheta, kVarR)) return 4;
    if (IsExplicitForm(eq, kVarZ) && (UsesComplexNumbers(eq) || TreeUsesComplexPointName(eq, document))) return 43;
  }
  for (const ExplicitFormRow& f : kExplicitSurfaceForms) {
    if (IsExplicitForm(eq, f.a, f.b, f.c)) return f.form;
  }
  const ExprNode* left = eq->children[0];
  const ExprNode* right = eq->children[1];
  if ((IsVariableNamed(left, kVarZ) && UsesOnlyPlaneVariables(right)) ||
      (IsVariableNamed(right, kVarZ) && UsesOnlyPlaneVariables(left))) {
    return 13;
  }
  if (!flag3D && IsPlaneRelation(eq)) return 29;
  if (IsSpaceRelation(eq)) return 30;
  if (IsExplicitForm(eq, kVarZ, kVarT)) return 38;
  if (IsExplicitForm(eq, kVarW, kVarZ)) return 22;
  return 0;
}

// The tuple forms and the remaining relations.
int32_t ClassifyTupleEquation(const ExprNode* eq, bool flag3D) {
  if (IsPairEquationForm(eq, kVarR, kVarTheta, kVarT)) return 15;
  if (!flag3D && IsPairEquation(eq, kVarX, kVarY, kNoVariable)) return 45;
  if (!flag3D && IsPlaneVectorField(eq)) return 16;
  if (IsSpaceVectorField(eq)) return 17;
  if (IsPairEquationForm(eq, kVarX, kVarY, kVarT)) return 18;
  if (!flag3D && IsTripleEquation(eq, kVarR, kVarG, kVarB, kVarX, kVarY)) return 49;
  if (!flag3D && IsTripleEquation(eq, kVarH, kVarS, kVarV, kVarX, kVarY)) return 50;
  if (IsTripleEquationForm(eq, kVarX, kVarY, kVarZ, kVarT, kNoVariable)) return 19;
  if (IsQuadEquation(eq, kVarX, kVarY, kVarU, kVarV, kVarT, kNoVariable)) return 20;
  if (IsQuadEquation(eq, kVarX, kVarY, kVarU, kVarV, kVarU, kVarV)) return 21;
  if (IsTripleEquationForm(eq, kVarR, kVarTheta, kVarPhi, kVarT, kNoVariable)) return 24;
  if (IsTripleEquationForm(eq, kVarR, kVarTheta, kVarZ, kVarT, kNoVariable)) return 25;
  if (IsTripleEquationForm(eq, kVarX, kVarY, kVarZ, kVarU, kVarV)) return 26;
  if (IsTripleEquationForm(eq, kVarR, kVarTheta, kVarPhi, kVarU, kVarV)) return 27;
  if (IsTripleEquationForm(eq, kVarR, kVarTheta, kVarZ, kVarU, kVarV)) return 28;
  if (!flag3D && IsComplexPointDefinition(eq)) return 42;
  if (!flag3D && IsPlaneRelation(eq)) return 29;
  if (!flag3D && IsComplexCurveEquation(eq, kVarT)) return 38;
  if (IsComplexCurveEquation(eq, kVarZ)) return 39;
  if (IsSpaceRelation(eq)) return 30;
  return 0;
}

// An equal node: the derivative forms first, then by what its sides are.
int32_t ClassifyEquation(const ExprNode* eq, bool flag3D, const DocumentServices* document) {
  if (eq->arity != 2) return 0;
  const ExprNode* left = eq->children[0];
  const ExprNode* right = eq->children[1];
  if (!flag3D) {
    if (IsDerivativeOf(left, kVarX, kVarY) && UsesOnly(right, kVarX, kVarY)) return 36;
    if (IsDerivativeOf(left, kVarT, kVarZ) && UsesOnly(right, kVarZ)) return 41;
    if (IsTimeDerivativeOfPlanePoint(left) && IsVectorOf(right, kVarX, kVarY)) return 37;
  }
  if (IsCoordinateVariableNode(left) || IsSubscriptedCoordinateNode(left) || IsCoordinateVariableNode(right)) {
    return ClassifyCoordinateEquation(eq, flag3D, document);
  }
  return ClassifyTupleEquation(eq, flag3D);
}

// Anything but an equation.
int32_t ClassifyLoneExpression(const ExprNode* node, bool flag3D) {
  if (!flag3D && IsVectorOf(node, kNoVariable)) return 44;
  if (!flag3D && IsVectorOf(node, kVarT)) return 46;
  if (IsTripleOf(node, kVarT)) return 47;
  if (IsTripleOf(node, kVarU, kVarV)) return 48;
  if (!flag3D && UsesOnly(node, kVarX)) return 31;
  if (!flag3D && UsesOnly(node, kVarY)) return 32;
  if (UsesOnlyPlaneVariables(node)) return 33;
  if (UsesOnly(node, kVarZ)) return 40;
  if (flag3D) return 0;
  // A comparison needs two sides: an empty one read as form 34 would draw "False in the region
  // shown" for what is no inequality at all.
  if ((node->kind == KindLessthan || node->kind == KindGreaterthan) && node->arity >= 2 &&
      OperandsUsePlaneVariables(node)) {
    return 34;
  }
  if ((node->kind == KindLeq || node->kind == KindGeq) && node->arity == 2 && OperandsUsePlaneVariables(node)) {
    return 35;
  }
  return 0;
}

// (r, g, b) = 3-vector or (h, s, v) = 3-vector of colour expressions.
bool IsColourSpecification(const ExprNode* item) {
  if (item->kind != KindEqual || item->arity != 2) return false;
  const ExprNode* left = item->children[0];
  if (!IsColumnOfVariables(left, kVarR, kVarG, kVarB) && !IsColumnOfVariables(left, kVarH, kVarS, kVarV)) return false;
  const ExprNode* right = item->children[1];
  if (!IsMatrix(right) || right->arity != 3 || right->value.halves.first != 3 || right->value.halves.second != 1) {
    return false;
  }
  for (int k = 0; k < 3; ++k) {
    if (!AllNodesPassKindClass(right->children[k], ClassifyChars)) return false;
  }
  return true;
}

// The condition rule: 1 and 31 take conditions in x alone, 2 and 32 in y alone (the words, so a
// primed 1 or 2 takes none); other forms by the table.
bool ConditionFits(int32_t word, const ExprNode* condition, bool flag3D) {
  if (word == 1 || word == 31 || word == 2 || word == 32) {
    const int32_t only = (word == 1 || word == 31) ? kVarX : kVarY;
    for (int k = 0; k < condition->arity; ++k) {
      if (!UsesOnly(condition->children[k], only)) return false;
    }
    return true;
  }
  return FormAllowsCondition(word, flag3D);
}

// Calls test(item) on each equation of a list node, or on the node itself.
template <typename Test>
bool AnyEquation(ExprNode* equations, Test test) {
  if (equations == nullptr) return false;
  if (equations->kind != KindList) return test(equations);
  for (int k = 0; k < equations->arity; ++k) {
    if (test(equations->children[k])) return true;
  }
  return false;
}

bool UsesZAsSurface(const ExprNode* eq) {
  if (UsesOnlyPlaneVariables(eq) && !UsesOnly(eq, kVarX) && !UsesOnly(eq, kVarY)) return true;
  if (IsExplicitForm(eq, kVarZ, kVarR, kVarTheta) || IsExplicitForm(eq, kVarZ, kVarX, kVarY)) return true;
  if (UsesOnly(eq, kVarZ)) return true;
  return eq->arity == 2 && IsVariableNamed(eq->children[0], kVarZ) && UsesOnlyPlaneVariables(eq->children[1]);
}

}  // namespace

int32_t ClassifyEquationFormCore(const ExprNode* equation, bool flag3D, const DocumentServices* document) {
  if (equation == nullptr) return 0;
  if (IsConstantQuadList(equation)) return 23;
  if (IsConstantPointPair2D(equation)) return 51;
  if (IsConstantPointPair3D(equation)) return 52;
  if (IsTripleOf(equation, kNoVariable)) return 53;
  if (const int32_t field = FieldOnSurfaceForm(equation)) return field;
  const ExprNode* node = equation;
  if (node->kind == KindComma) {
    if (node->arity < 1 || !AllNodesPassKindClass(node, ClassifyRelations)) return 0;
    node = node->children[0];
  }
  if (node->kind == KindEqual) return ClassifyEquation(node, flag3D, document);
  return ClassifyLoneExpression(node, flag3D);
}

int32_t ClassifyEquationFormWithPrimes(ExprNode* equation, bool flag3D, bool flag4D, const DocumentServices* document) {
  int32_t word = ClassifyEquationFormCore(equation, flag3D, document);
  if (word == 0 && equation != nullptr && ContainsPrimedCoordinate(equation)) {
    SwapPrimedCoordinates(equation);
    const int32_t primed = ClassifyEquationFormCore(equation, flag3D, document);
    SwapPrimedCoordinates(equation);
    if (primed != 0 && !(primed >= 20 && primed <= 23)) word = primed | kPrimedForm;
  }
  if (flag4D && !(word >= 20 && word <= 23)) word = 0;
  return word;
}

int32_t ClassifyEquationForGraph(ExprNode* equation, bool flag3D, bool flag4D, const DocumentServices* document) {
  const int32_t word = ClassifyEquationFormWithPrimes(equation, flag3D, flag4D, document);
  if (word == 0) return 0;
  // The shapes are read on the tree the form was found on; the items on the tree as written.
  const bool primed = (word & kPrimedForm) != 0;
  if (primed) SwapPrimedCoordinates(equation);
  const bool trailing = HasTrailingParts(equation);
  const int first = IsFieldOnSurfaceForm(equation) ? 2 : 1;
  if (primed) SwapPrimedCoordinates(equation);
  if (!trailing) return word;
  const int32_t code = CodeOf(word);
  for (int k = first; k < equation->arity; ++k) {
    const ExprNode* item = equation->children[k];
    if (IsColourSpecification(item)) {
      if (!FormAllowsColorExpressions(word, flag3D)) return 0;
    } else if (IsConditionItem(item)) {
      if (!ConditionFits(word, item, flag3D)) return 0;
    } else {
      return (code == 49 || code == 50) ? word : 0;
    }
  }
  return word;
}

int32_t ClassifyEquationList(ExprNode* equation, bool flag3D, bool flag4D, const DocumentServices* document) {
  // Nothing, or a comma list with no item (the steps below read its first item): no equation.
  if (equation == nullptr || (equation->kind == KindComma && equation->arity < 1)) return 22;
  const ExprNode* node = equation;
  if (HasTrailingParts(equation)) {
    if (!AllNodesPassKindClass(equation, ClassifyRelations)) return 23;
    const int32_t form = ClassifyEquationFormWithPrimes(equation, flag3D, flag4D, document);
    if (form != 0 && ClassifyEquationForGraph(equation, flag3D, flag4D, document) == 0) {
      return FormAllowsCondition(form, flag3D) ? 23 : 21;
    }
    node = equation->children[0];
  }
  if (node->kind == KindPrompt) return 22;
  TreeCursor cursor(const_cast<ExprNode*>(node), WalkOrder::kPreOrder);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (n->kind == KindPrompt) return 15;
  }
  const bool isEquation = node->kind == KindEqual && node->arity == 2;
  if (flag3D && isEquation && IsTimeDerivativeOfPlanePoint(node->children[0]) &&
      IsVectorOf(node->children[1], kVarX, kVarY)) {
    return 24;
  }
  const bool betweenMatrices = isEquation && IsMatrix(node->children[0]) && IsMatrix(node->children[1]);
  if (!betweenMatrices && ContainsSymbol(node, kVarT)) return 16;
  if (!betweenMatrices && (ContainsSymbol(node, kVarU) || ContainsSymbol(node, kVarV))) return 17;
  if (flag3D) {
    if (IsPlaneRelation(node)) return 19;
    if (isEquation && IsMatrix(node->children[0]) && node->children[0]->value.halves.first == 2) return 20;
    if (isEquation && IsDerivativeOf(node->children[0], kVarX, kVarY) && UsesOnly(node->children[1], kVarX, kVarY)) {
      return 24;
    }
  }
  if (ContainsSymbol(node, kVarZ) && ContainsSymbol(node, kVarPhi)) return 18;
  if (!flag4D) return 14;
  return ClassifyEquationFormWithPrimes(equation, false, false, document) != 0 ? 25 : 14;
}

bool IsCurveFormCode(int32_t word) { return HasBit(word, kCurve); }
bool IsFormCodeInSet(int32_t word) { return HasBit(word, kInSet); }
bool FormAllowsCondition(int32_t word, bool flag3D) { return Allowed(word, kConditionAlways, kCondition3D, flag3D); }
bool FormAllowsColorExpressions(int32_t word, bool flag3D) { return Allowed(word, kColourAlways, kColour3D, flag3D); }

bool IsConditionItem(const ExprNode* item) {
  // Two sides at least: an empty comparison is no condition (it would hold nowhere).
  return item != nullptr && (item->kind == KindLessthan || item->kind == KindGreaterthan) && item->arity >= 2 &&
         AllNodesPassKindClass(item, ClassifyComparisons);
}

bool AllEquationsPassForm(ExprNode* equations, const DocumentServices* document) {
  return !AnyEquation(equations, [&](ExprNode* eq) {
    return !HasBit(ClassifyEquationFormWithPrimes(eq, false, false, document), kPointForm);
  });
}

bool AllEquationsAreForm(ExprNode* equations, const DocumentServices* document) {
  return !AnyEquation(equations, [&](ExprNode* eq) {
    return !HasBit(ClassifyEquationFormWithPrimes(eq, false, false, document), kDrawnAlike);
  });
}

bool AnyEquationHasForm(ExprNode* equations, const DocumentServices* document) {
  return AnyEquation(equations, [&](ExprNode* eq) {
    return HasBit(ClassifyEquationFormWithPrimes(eq, true, false, document), kSurfaceIn3D);
  });
}

bool AnyEquationHasProperty(ExprNode* equations) {
  return AnyEquation(equations, [](ExprNode* eq) {
    if (UsesZAsSurface(eq)) return true;
    SwapPrimedCoordinates(eq);
    const bool primed = UsesZAsSurface(eq);
    SwapPrimedCoordinates(eq);
    return primed;
  });
}

EquationFormTraits GetEquationFormTraits(ExprNode* equation, double modeValue, const DocumentServices* document) {
  const int32_t word = ClassifyEquationFormWithPrimes(equation, false, false, document);
  EquationFormTraits traits{};
  traits.graphable = word != 0 && !IsUndrawnDefinition(equation);
  const int64_t mode = std::isfinite(modeValue) && std::fabs(modeValue) < 9.0e18 ? static_cast<int64_t>(modeValue) : 0;
  traits.surface = HasBit(word, kShownSurface) || (HasBit(word, kSurfaceByMode) && (mode & 3) == 1);
  traits.form4D = word >= 20 && word <= 23;
  traits.primed = (word & kPrimedForm) != 0;
  return traits;
}

bool IsSlopeFieldDerivative(const ExprNode* node) {
  return IsDerivativeOf(node, kVarX, kVarY) || IsDerivativeOf(node, kVarT, kVarZ);
}
