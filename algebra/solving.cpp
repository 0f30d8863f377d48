// Solving for the selection. The inverses are applied to a detached copy of the equation
// (RewriteCopy), whose path to the selection runs in step with the original's.
#include "algebra/solving.h"

#include <numeric>
#include <utility>
#include <vector>

#include "algebra/rewrite_primitives.h"
#include "algebra/sign_knowledge.h"
#include "algebra/simplifier.h"
#include "editor/caret_navigation.h"
#include "editor/layout_driver.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"

namespace {

// Each direct function with its arc function.
constexpr uint32_t kArcPairs[][2] = {
    {KindSin, KindAsin},   {KindCos, KindAcos},   {KindTan, KindAtan},   {KindCot, KindAcot},
    {KindCsc, KindAcsc},   {KindSec, KindAsec},   {KindSinh, KindAsinh}, {KindCosh, KindAcosh},
    {KindTanh, KindAtanh}, {KindCoth, KindAcoth}, {KindCsch, KindAcsch}, {KindSech, KindAsech},
};

FormulaEditor* Editor() { return TypesettingGlobals().currentEditor; }

void ExchangeSides(ExprNode* equation) {
  ExprNode* left = equation->children[0];
  SetChild(equation, 0, equation->children[1]);
  SetChild(equation, 1, left);
}

bool IsRightSide(const ExprNode* node) {
  const ExprNode* p = node->parent;
  return p != nullptr && IsShape(p, KindEqual, 2) && p->children[1] == node;
}

bool IsBelow(const ExprNode* node, const ExprNode* top) {
  for (node = node->parent; node != nullptr; node = node->parent) {
    if (node == top) return true;
  }
  return false;
}

// The operand index of `top` whose subtree holds `node` (strictly below top).
int OperandTowards(const ExprNode* top, const ExprNode* node) {
  while (node->parent != top) node = node->parent;
  return IndexInParent(node);
}

// The kind has an inverse and the node the operand count that InvertStep reads.
bool HasInverse(const ExprNode* node) {
  switch (node->kind) {
    case KindPlus:
    case KindTimes: return node->arity >= 2;
    case KindOver:
    case KindPower: return node->arity == 2;
    case KindSqrt:
    case KindLog: return node->arity == 1 || node->arity == 2;
    default: return IsInvertibleKind(node->kind) && node->arity == 1;
  }
}

// The values each arc function takes (the evaluator's principal branches), from lo to hi in
// halves of pi (open: the ends left out; kNoEnd: unbounded above). sin u = y is solved by
// asin y, which has no value where there is no solution; asin u = y by sin y, which has one
// for every y, so the range is stated. The arc functions that take every value are not listed.
constexpr int kNoEnd = 99;
constexpr struct { uint32_t kind; int lo, hi; bool open; } kArcRanges[] = {
    {KindAsin, -1, 1, false}, {KindAcsc, -1, 1, false}, {KindAcos, 0, 2, false},      {KindAsec, 0, 2, false},
    {KindAtan, -1, 1, true},  {KindAcot, 0, 2, true},   {KindAcosh, 0, kNoEnd, false}, {KindAsech, 0, kNoEnd, false},
};

// halves times pi/2 for halves in -1 .. 2, written with the letter pi; its value where a sum
// around binds that name.
ExprNode* HalvesOfPi(int halves) {
  if (halves == 0 || BoundIndexScope::AnyName([](int32_t name) { return name == SymPi; })) {
    return NewNumberNode(halves * kHalfPi);
  }
  ExprNode* pi = NewSymbolNode(SymPi);
  ExprNode* value = halves == 2 ? pi : Build(KindOver, {pi, NewNumberNode(2)});
  return halves < 0 ? Build(KindMinus, {value}) : value;
}

// How u^e = y is solved by y^(1/e) (e, or 1/e when `reciprocal`, a number p/q): for every y when
// u^e takes every sign (p and q odd); otherwise for y >= 0 alone, which y^(1/e) says itself when
// its reduced denominator p is even (no value for y < 0), and which must be stated when it is odd
// (q even: y^(q/p) = |y|^(q/p)) or the exponent is no such number (a letter, 0.5).
enum class PowerSolvable { kEverywhere, kWhereRootIs, kWhereStated };
PowerSolvable SolvableByRoot(const ExprNode* e, bool reciprocal) {
  int32_t p = 0, q = 0;
  if (e == nullptr || !WholeRatio(e, &p, &q) || p == 0 || q == 0) return PowerSolvable::kWhereStated;
  const int64_t g = std::gcd(int64_t{p}, int64_t{q});
  int64_t top = p / g, bottom = q / g;
  if (reciprocal) std::swap(top, bottom);
  if (top % 2 != 0 && bottom % 2 != 0) return PowerSolvable::kEverywhere;
  return top % 2 == 0 ? PowerSolvable::kWhereRootIs : PowerSolvable::kWhereStated;
}

// The steps whose inverse raises the other side to a power, which the simplifier may merge with a
// root an earlier step put there: (y^(1/2))^2 becomes y.
bool RaisesToAPower(const ExprNode* node, int k) {
  return k == 0 && (node->kind == KindSqrt || node->kind == KindPower);
}

// Where the equation has a solution, step by step: each inverse that holds for some values of the
// other side y only (as it stands before the step) adds the condition that y has such a value;
// the solved side is then undefined where the condition fails (if y, c). A condition that the
// inverse's own root says is dropped unless a later step raises to a power.
class SolvableWhere {
 public:
  SolvableWhere() = default;
  SolvableWhere(const SolvableWhere&) = delete;
  SolvableWhere& operator=(const SolvableWhere&) = delete;
  ~SolvableWhere() {
    for (const Condition& c : conditions_) FreeExpression(c.tree);
  }

  // The condition of the step that inverts node's operation on its operand k with y the other
  // side; false when memory was refused.
  bool Add(const ExprNode* node, int k, const ExprNode* y) {
    if (RaisesToAPower(node, k)) {
      for (Condition& c : conditions_) c.saidByRoot = false;
    }
    const ExprNode* const* c = node->children;
    PowerSolvable solvable = PowerSolvable::kEverywhere;
    switch (node->kind) {
      case KindSqrt:
        if (k == 0) solvable = node->arity == 1 ? PowerSolvable::kWhereStated : SolvableByRoot(c[1], true);
        break;
      case KindPower:
        if (k == 0) solvable = SolvableByRoot(c[1], false);
        break;
      case KindLog:  // log(u, b) = y by b^y, log(x, u) = y by x^(1/y): for a positive b or x only
        if (node->arity == 2) return Keep(Build(KindGreaterthan, {CopyTree(c[1 - k]), NewNumberNode(0)}), false);
        break;
      default:
        for (const auto& range : kArcRanges) {
          if (range.kind != node->kind) continue;
          if (range.hi == kNoEnd) return Keep(AtLeastZero(y), false);
          const uint32_t chain = range.open ? KindLessthan : KindLeq;
          return Keep(Build(chain, {HalvesOfPi(range.lo), CopyTree(y), HalvesOfPi(range.hi)}), false);
        }
    }
    if (solvable == PowerSolvable::kEverywhere) return true;
    return Keep(AtLeastZero(y), solvable == PowerSolvable::kWhereRootIs);
  }

  // Wraps the solved side into (side if the conditions), each simplified and left out when it
  // holds for every value of its letters; false when memory was refused.
  bool Guard(ExprNode* side) {
    std::vector<ExprNode*> kept;
    for (Condition& c : conditions_) {
      if (c.saidByRoot) continue;
      SimplifyTreeBottomUp(c.tree);
      NormalizeSigns(c.tree);
      if (!HoldsEverywhere(c.tree)) kept.push_back(std::exchange(c.tree, nullptr));
    }
    if (kept.empty()) return true;
    ExprNode* all = kept.size() == 1 ? kept[0] : BuildEach(KindWedge, static_cast<int>(kept.size()), [&kept](int i) {
      return std::exchange(kept[i], nullptr);
    });
    if (all == nullptr) {
      for (ExprNode* c : kept) FreeExpression(c);
      return false;
    }
    return Attach(all, [side](ExprNode* condition) { return WrapInBinary(side, condition, 1, KindIf); });
  }

 private:
  struct Condition {
    ExprNode* tree;
    bool saidByRoot;
  };

  static ExprNode* AtLeastZero(const ExprNode* y) { return Build(KindGeq, {CopyTree(y), NewNumberNode(0)}); }

  // c >= 0 or c > 0 with a c known to be so, or a condition of numbers (pi and e among them) that
  // is true.
  static bool HoldsEverywhere(const ExprNode* c) {
    if (c->arity == 2 && IsNumberValue(c->children[1], 0)) {
      if (c->kind == KindGeq && KnownNonNegative(c->children[0])) return true;
      if (c->kind == KindGreaterthan && KnownPositive(c->children[0])) return true;
    }
    TreeCursor cursor(const_cast<ExprNode*>(c), WalkOrder::kPreOrder);
    for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
      const bool constant = IsConstantSymbol(n, SymPi) || IsConstantSymbol(n, kSymbolE);
      if (n->arity == 0 && !IsNumberNode(n) && !constant) return false;
    }
    return NodeToNumber(c) == 1.0;
  }

  bool Keep(ExprNode* condition, bool saidByRoot) {
    if (condition == nullptr) return false;
    conditions_.push_back({condition, saidByRoot});
    return true;
  }

  std::vector<Condition> conditions_;
};

}  // namespace

uint32_t InverseFunctionKind(uint32_t kind) {
  for (const auto& pair : kArcPairs) {
    if (pair[0] == kind) return pair[1];
    if (pair[1] == kind) return pair[0];
  }
  return 0;
}

bool IsInvertibleKind(uint32_t kind) {
  switch (kind) {
    case KindTimes:
    case KindPlus:
    case KindMinus:
    case KindOver:
    case KindPower:
    case KindSqrt:
    case KindLog:
    case KindLn:
    case KindId: return true;
    default: return InverseFunctionKind(kind) != 0;
  }
}

bool InvertStep(ExprNode* equation, int o, const ExprNode* node, int k) {
  ExprNode* y = equation->children[o];
  ExprNode* const* c = node->children;
  auto copy = [c](int i) { return CopyTree(c[i]); };
  auto raise = [y](ExprNode* e) { return RaiseNodeTo(y, e); };
  auto logTo = [y](ExprNode* base) { return WrapInBinary(y, base, 1, KindLog); };
  auto powerOf = [y](ExprNode* base) { return WrapInBinary(y, base, 0, KindPower); };
  switch (node->kind) {
    case KindPlus: return Attach(Build(KindMinus, {CopyWithout(node, k)}), [y](ExprNode* m) { return AddToNode(y, m); });
    case KindTimes: return Attach(CopyWithout(node, k), [y](ExprNode* rest) { return DivideNodeBy(y, rest); });
    case KindMinus: return NegateNode(y);
    case KindOver:
      if (k == 0) return Attach(copy(1), [y](ExprNode* b) { return AppendFactor(y, b); });
      return Attach(copy(0), [y](ExprNode* a) { return DivideNodeBy(y, a); }) && InvertNode(y);
    case KindPower:
      if (k == 0) return Attach(Build(KindOver, {NewNumberNode(1), copy(1)}), raise);
      return IsConstantSymbol(c[0], kSymbolE) ? WrapInUnary(y, KindLn) : Attach(copy(0), logTo);
    case KindSqrt:
      if (node->arity == 1) return Attach(NewNumberNode(2), raise);
      return k == 0 ? Attach(copy(1), raise) : Attach(copy(0), logTo) && InvertNode(y);
    case KindLog:
      if (node->arity == 1) return Attach(NewNumberNode(10), powerOf);
      return k == 0 ? Attach(copy(1), powerOf) : InvertNode(y) && Attach(copy(0), powerOf);
    case KindLn:
      // Where a sum, product or integral binds the letter e, e^y would read as that name.
      if (AnyEnclosingIndex(y, [](int32_t name) { return name == kSymbolE; })) return WrapInUnary(y, KindExp);
      return Attach(NewSymbolNode(kSymbolE), powerOf);
    case KindId: return true;
    default: {
      const uint32_t inverse = InverseFunctionKind(node->kind);
      return inverse != 0 && WrapInUnary(y, inverse);
    }
  }
}

void SolveForSelection(ExprNode* equation) {
  FormulaEditor* editor = Editor();
  const ExprNode* selection = editor != nullptr ? editor->caretNode : nullptr;
  if (selection == nullptr || !IsShape(equation, KindEqual, 2) || !IsBelow(selection, equation)) return;
  const int s = OperandTowards(equation, selection), o = 1 - s;
  const bool solved = RewriteCopy(equation, [&](ExprNode* work) {
    const ExprNode* t = equation->children[s];
    ExprNode* mirror = work->children[s];
    SolvableWhere where;
    while (t != selection) {
      const int k = OperandTowards(t, selection);
      if (!where.Add(mirror, k, work->children[o]) || !InvertStep(work, o, mirror, k)) return false;
      t = t->children[k];
      mirror = mirror->children[k];
    }
    SimplifyTreeBottomUp(work->children[o]);
    NormalizeSigns(work->children[o]);
    if (!where.Guard(work->children[o])) return false;
    ReplaceExpression(mirror, work->children[s]);  // the selection's copy is cut out first
    return true;
  });
  if (solved) SetFormulaSelection(equation->children[s], SelectionCaretNode);
}

void IsolateSelection(ExprNode* equation) {
  FormulaEditor* editor = Editor();
  if (editor == nullptr || editor->caretNode == nullptr) return;
  for (ExprNode* n = editor->caretNode->parent; n != nullptr && n != equation; n = n->parent) {
    if (!HasInverse(n)) {
      SetFormulaSelection(n, SelectionCaretNode);
      return;
    }
  }
  SolveForSelection(equation);
}

void MathCommand2016() {
  FormulaEditor* editor = Editor();
  ExprNode* selection = editor != nullptr ? editor->caretNode : nullptr;
  if (selection == nullptr || selection->parent == nullptr) return;
  if (selection->parent->kind == KindEqual) {
    if (IsRightSide(selection)) {
      ExchangeSides(selection->parent);
      InvalidateFormulaLayout();
    }
    return;
  }
  ExprNode* equation = selection->parent;
  while (equation != nullptr && equation->kind != KindEqual) equation = equation->parent;
  if (equation == nullptr || equation->arity != 2) return;
  IsolateSelection(equation);
  if (IsRightSide(editor->caretNode)) ExchangeSides(editor->caretNode->parent);
  InvalidateFormulaLayout();
}
