// Stepwise moves. Each move works on a copy of the formula (RewriteCopy on its root, which keeps
// its identity) and names the node the caret goes to; a move that names none, or that was refused
// an allocation, leaves the formula alone. Kernel edits free shells: a two-operand parent that
// loses an operand takes the other's content, and an unwrapped group takes its operand's, so a
// rule re-reads a neighbour through its parent after every such edit.
#include "algebra/stepwise_moves.h"

#include <cstdint>
#include <vector>

#include "algebra/differentiation.h"
#include "algebra/rewrite_primitives.h"
#include "algebra/sign_knowledge.h"
#include "algebra/simplifier.h"
#include "editor/caret_navigation.h"
#include "editor/layout_driver.h"
#include "editor/structural_deletion.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"

namespace {

FormulaEditor* Editor() { return TypesettingGlobals().currentEditor; }

bool IsReorderableKind(uint32_t kind) {
  return kind == KindList || kind == KindTimes || kind == KindPlus || kind == KindEqual;
}
bool IsKindWithOperands(const ExprNode* n, uint32_t kind) { return n != nullptr && n->kind == kind && n->arity >= 2; }
// An equation whose sides a term or factor may cross: not a sum's, product's or integral's index
// equation, which names the index and its start (1 = i is no index).
bool IsEquationOfValues(const ExprNode* n) { return IsKindWithOperands(n, KindEqual) && !IsIndexEquation(n); }

// The operand index at the end of p in direction d.
int EndIndex(const ExprNode* p, int d) { return d > 0 ? p->arity - 1 : 0; }
bool AtEnd(const ExprNode* s, int d) { return IndexInParent(s) == EndIndex(s->parent, d); }

// A big operator's bound name: operand 1, or the left side of an index equation i = a (passing
// the whole equation would make every body independent of it).
const ExprNode* BoundVariable(const ExprNode* op) {
  if (op->arity < 2) return nullptr;
  const ExprNode* v = op->children[1];
  if (v->kind == KindEqual) return v->arity >= 1 ? v->children[0] : nullptr;
  return v;
}
bool FreeOfVariable(const ExprNode* s, const ExprNode* op) {
  const ExprNode* v = BoundVariable(op);
  return v != nullptr && ExpressionIndependentOf(s, v);
}

// Whether s may leave the body of op: free of its variable, and for a product of terms only with
// its bounds written (i = a, b), since the factor leaves once for every term.
bool MayLeaveBody(const ExprNode* s, const ExprNode* op) {
  if (!FreeOfVariable(s, op)) return false;
  return op->kind != KindProd || (op->arity == 3 && IsShape(op->children[1], KindEqual, 2));
}

// s taken out of its parent, which keeps its identity and needs two operands or more: with two
// it takes the other operand's content, whose shell is freed, so *other (when it named that
// operand) comes back as the parent; with more the rest close up. s detached, or null.
ExprNode* DetachSelected(ExprNode* s, ExprNode** other = nullptr) {
  ExprNode* p = s->parent;
  if (p == nullptr || p->arity < 2) return nullptr;
  const bool merges = p->arity == 2;
  ExprNode* removed = RemoveOperand(p, IndexInParent(s));
  if (removed != nullptr && merges && other != nullptr) *other = p;
  return removed;
}

// s taken out of its place, which a new number 1 takes: s detached, or null.
ExprNode* ReplaceByOne(ExprNode* s) {
  ExprNode* one = NewNumberNode(1);
  if (one == nullptr) return nullptr;
  SetChild(s->parent, IndexInParent(s), one);
  s->parent = nullptr;
  return s;
}

// f (a detached tree, owned from here on) next to target on the side of d: into the product that
// holds target (also through a group around target, which is removed), else target becomes
// target f (d = +1) or f target (d = -1) in place. f, or null with f freed.
ExprNode* AttachFactorBeside(ExprNode* target, ExprNode* f, int d) {
  if (f == nullptr) return nullptr;
  ExprNode* holder = target->parent;
  if (IsGroup(holder) && holder->parent != nullptr && holder->parent->kind == KindTimes) {
    UnwrapNode(holder);  // target's shell is gone: the group holds its content now
    target = holder;
    holder = target->parent;
  }
  const bool attached = holder != nullptr && holder->kind == KindTimes
                            ? InsertOperand(holder, IndexInParent(target) + (d > 0 ? 1 : 0), f)
                            : WrapInBinary(target, f, d > 0 ? 1 : 0, KindTimes);
  if (attached) return f;
  FreeExpression(f);
  return nullptr;
}

// f put into target from the side it enters: a group target is unwrapped and a negation looked
// through; a product gets f as its first factor (d = +1) or last (d = -1); a number 1 is replaced
// by f; anything else becomes f target (d = +1) or target f (d = -1). The node now holding f's
// content (f itself, or the former 1), or null with f freed.
ExprNode* AttachFactorInside(ExprNode* target, ExprNode* f, int d) {
  if (f == nullptr) return nullptr;
  ExprNode* t = target;
  if (IsGroup(t)) UnwrapNode(t);
  if (IsNegation(t)) t = t->children[0];
  if (IsNumberValue(t, 1)) {
    ReplaceExpression(f, t);
    return t;
  }
  const bool attached = t->kind == KindTimes && t->arity >= 1 ? InsertOperand(t, d > 0 ? 0 : t->arity, f)
                                                             : WrapInBinary(t, f, d > 0 ? 0 : 1, KindTimes);
  if (attached) return f;
  FreeExpression(f);
  return nullptr;
}

// A new tree simplified (SimplifyExpression) where it stands alone; null stays null.
ExprNode* Simplified(ExprNode* made) {
  if (made != nullptr) SimplifyExpression(made);
  return made;
}
ExprNode* Reciprocal(ExprNode* s) { return Build(KindOver, {NewNumberNode(1), s}); }
// s (detached, owned) as it stands beside op once it left op's body: itself beside a sum or an
// integral; s^(b - a + 1), simplified, beside a product over i = a .. b.
ExprNode* LeavingFactor(ExprNode* s, const ExprNode* op) {
  if (s == nullptr || op->kind != KindProd) return s;
  const ExprNode* first = op->children[1]->children[1];
  ExprNode* terms = Build(KindPlus, {CopyTree(op->children[2]), Build(KindMinus, {CopyTree(first)}), NewNumberNode(1)});
  return Simplified(Build(KindPower, {s, terms}));
}
ExprNode* InversePower(ExprNode* s) { return Simplified(Build(KindPower, {s, NewNumberNode(-1)})); }

ExprNode* SwapWithNeighbour(ExprNode* s, int d) {
  ExprNode* p = s->parent;
  const int i = IndexInParent(s), j = i + d;
  if (p == nullptr || j < 0 || j >= p->arity) return nullptr;
  ExprNode* n = p->children[j];
  SetChild(p, j, s);
  SetChild(p, i, n);
  return s;
}

// s to the end of its parent in direction d; the operands on the way close up.
ExprNode* MoveToEnd(ExprNode* s, int d) {
  ExprNode* p = s->parent;
  const int end = EndIndex(p, d);
  for (int k = IndexInParent(s); k != end; k += d) SetChild(p, k, p->children[k + d]);
  SetChild(p, end, s);
  return s;
}

// A sum or equation n (or a group holding one) after s in p: every operand of it gets s, the
// nearest one s itself and the others copies, each simplified (twice inside a group, which is
// then removed).
ExprNode* DistributeInto(ExprNode* s, ExprNode* n, int d) {
  const bool grouped = IsGroup(n);
  if (DetachSelected(s, &n) == nullptr) return nullptr;
  ExprNode* into = grouped ? n->children[0] : n;
  const int nearest = d > 0 ? 0 : into->arity - 1;
  for (int j = 0; j < into->arity; ++j) {  // copies first: s may be absorbed where it goes
    if (j == nearest) continue;
    if (AttachFactorInside(into->children[j], CopyTree(s), d) == nullptr) {
      FreeExpression(s);
      return nullptr;
    }
    for (int times = grouped ? 2 : 1; times > 0; --times) SimplifyExpression(into->children[j]);
  }
  ExprNode* held = AttachFactorInside(into->children[nearest], s, d);
  if (grouped) UnwrapNode(n);
  return held;
}

// s sqrt(a) = sqrt(s^2 a) and s a^e = (s^(1/e) a)^e hold for every real s under an odd root (odd
// e), else for s >= 0 only. Whether s may go in: a factor with a sign of its own (a negation, a
// negative number or leading number) goes in as its magnitude (TakeSign) with the sign kept
// outside, so that magnitude must be known non-negative; any other factor of unknown sign stays
// out, since x sqrt(a) is -2 where sqrt(x^2 a) is 2 (x = -2, a = 1). wholeRaise: s goes in
// raised to a whole power. s still in the formula.
bool MayEnterRootOrPower(const ExprNode* s, bool odd, bool wholeRaise) {
  if (odd) return true;
  while (IsNegation(s)) s = s->children[0];
  if (IsNumberNode(s)) return true;
  if (!HasNumberFirst(s, KindTimes)) return KnownNonNegative(s, wholeRaise);
  for (int k = 1; k < s->arity; ++k) {
    if (!KnownNonNegative(s->children[k], wholeRaise)) return false;
  }
  return true;
}

// sqrt(s f) = sqrt(s) sqrt(f) holds when s or the rest of its product p is known non-negative
// (both negative, the left side has a value and the right none).
bool MayLeaveRoot(const ExprNode* s, const ExprNode* p) {
  if (KnownNonNegative(s)) return true;
  for (int k = 0; k < p->arity; ++k) {
    if (p->children[k] != s && !KnownNonNegative(p->children[k])) return false;
  }
  return true;
}
// (s f)^e = s^e f^e holds for every sign when e is whole or an odd ratio, else for s known
// non-negative (s^e is simplified, so no even power of a base of unknown sign).
bool MayLeavePower(const ExprNode* s, const ExprNode* exponent) {
  return IsWhole(exponent) || IsOddRatio(exponent) || KnownNonNegative(s, false);
}

// Makes s (detached) its magnitude in place, taking away the sign of a negation, a negative
// number or leading number; true when that took an odd number of signs away.
bool TakeSign(ExprNode* s) {
  bool negative = false;
  for (;;) {
    if (IsNegation(s)) {
      UnwrapNode(s);
    } else if (ExprNode* number = IsNumberNode(s) ? s : HasNumberFirst(s, KindTimes) ? s->children[0] : nullptr;
               number != nullptr && NumberValue(number) < 0) {
      SetNumberValue(number, -NumberValue(number));
    } else {
      return negative;
    }
    negative = !negative;
  }
}

// The node that took the factor (held, null when that failed) with the sign TakeSign took kept
// outside: n, which holds it, negated in place. held, or null when the negation cannot be had.
ExprNode* SignOutside(ExprNode* n, ExprNode* held, bool negative) {
  if (held == nullptr || !negative) return held;
  return WrapInUnary(n, KindMinus) ? held : nullptr;
}

// Mode 2 in a product: s joins the neighbour n in direction d.
ExprNode* CombineWithNeighbour(ExprNode* s, int d) {
  ExprNode* n = s->parent->children[IndexInParent(s) + d];
  if (IsBigOperatorKind(n->kind)) {
    // Into a product of terms a factor would go in as its n-th root: it stays out.
    if (n->kind == KindProd || !FreeOfVariable(s, n) || DetachSelected(s, &n) == nullptr) return nullptr;
    return AttachFactorInside(n->children[0], s, d);
  }
  const ExprNode* inner = IsGroup(n) ? n->children[0] : n;
  if (IsKindWithOperands(inner, KindPlus) || IsKindWithOperands(inner, KindEqual)) return DistributeInto(s, n, d);
  if (IsGroup(n)) return DetachSelected(s, &n) ? AttachFactorInside(n, s, d) : nullptr;
  if (n->kind == KindSqrt && (n->arity == 1 || n->arity == 2)) {
    // s sqrt(a) = sqrt(s^2 a); under an n-th root the factor goes in as s^n (as 1 under a 0-th:
    // it would be lost).
    const ExprNode* index = n->arity == 2 ? n->children[1] : nullptr;
    if (index != nullptr && IsNumberValue(index, 0)) return nullptr;
    const bool odd = index != nullptr && IsOddWhole(index), whole = index == nullptr || IsWhole(index);
    if (!MayEnterRootOrPower(s, odd, whole) || DetachSelected(s, &n) == nullptr) {
      return nullptr;
    }
    const bool negative = TakeSign(s);
    ExprNode* power = Build(KindPower, {s, n->arity == 2 ? CopyTree(n->children[1]) : NewNumberNode(2)});
    return SignOutside(n, AttachFactorInside(n->children[0], Simplified(power), d), negative);
  }
  if (IsQuotient(n)) {
    if (DetachSelected(s, &n) == nullptr) return nullptr;
    if (IsQuotient(s) && IsNumberValue(s->children[0], 1)) {
      BecomeOperand(s, 1);  // 1/t: t goes into the denominator
      return AttachFactorInside(n->children[1], s, d);
    }
    return AttachFactorInside(n->children[0], s, d);
  }
  if (IsPower(n)) {
    const bool sameBase = ExpressionsAndShapesEqual(s, n->children[0]);
    // Into a^0 a factor would go in as s^(1/0): a^0 = 1 swallows it.
    const ExprNode* e = n->children[1];
    if (!sameBase && (IsNumberValue(e, 0) || !MayEnterRootOrPower(s, IsOddRatio(e), HasWholeReciprocal(e)))) {
      return nullptr;
    }
    if (DetachSelected(s, &n) == nullptr) return nullptr;
    if (sameBase) {  // x x^n = x^(n + 1)
      FreeExpression(s);
      ExprNode* exponent = n->children[1];
      if (!Attach(NewNumberNode(1), [exponent](ExprNode* one) { return AddToNode(exponent, one); })) return nullptr;
      SimplifyExpression(exponent);
      return n->children[0];
    }
    // s a^e = (s^(1/e) a)^e
    const bool negative = TakeSign(s);
    ExprNode* root = Build(KindPower, {s, Build(KindOver, {NewNumberNode(1), CopyTree(n->children[1])})});
    return SignOutside(n, AttachFactorInside(n->children[0], Simplified(root), d), negative);
  }
  return nullptr;
}

bool IsCombiningNeighbour(const ExprNode* n) {
  switch (n->kind) {
    case KindPlus:
    case KindEqual:
    case KindSqrt:
    case KindPower:
    case KindId:
    case KindOver: return true;
    default: return IsBigOperatorKind(n->kind);
  }
}

ExprNode* MoveOperandInParent(ExprNode* s, int32_t mode, int d) {
  if (mode == 1) return MoveToEnd(s, d);
  ExprNode* p = s->parent;
  if (mode == 2 && p->kind == KindTimes && IsCombiningNeighbour(p->children[IndexInParent(s) + d])) {
    return CombineWithNeighbour(s, d);
  }
  return SwapWithNeighbour(s, d);
}

// t added to a side of an equation: at its front for d = +1, at its end for d = -1.
bool AddTerm(ExprNode* side, ExprNode* t, int d) {
  return Attach(t, [side, d](ExprNode* term) {
    if (d < 0) return AppendOperand(side, term, KindPlus);
    return side->kind == KindPlus ? InsertOperand(side, 0, term) : AddNodeBefore(side, term);
  });
}

// A term at the end of the sum p leaves it and reaches every other side of the equation as -s
// (a negated term arrives plain); the sides other than the destination are simplified.
ExprNode* MoveTermAcrossEquation(ExprNode* s, ExprNode* p, ExprNode* equation, int d) {
  const int k = IndexInParent(p), destination = k + d;
  if (DetachSelected(s) == nullptr) return nullptr;
  if (IsGroup(p)) UnwrapNode(p);
  ExprNode* term = s;
  if (IsNegation(s)) {
    UnwrapNode(s);
  } else if ((term = Build(KindMinus, {s})) == nullptr) {
    return nullptr;
  }
  for (int j = 0; j < equation->arity; ++j) {
    if (j == k || j == destination) continue;
    if (!AddTerm(equation->children[j], CopyTree(term), d)) {
      FreeExpression(term);
      return nullptr;
    }
    SimplifyTreeBottomUp(equation->children[j]);
  }
  return AddTerm(equation->children[destination], term, d) ? term : nullptr;
}

// A factor at the end of the product p leaves it and reaches every other side as 1/s, simplified,
// attached with the direction reversed so that it stands on the side it came from.
ExprNode* MoveFactorAcrossEquation(ExprNode* s, ExprNode* p, ExprNode* equation, int d) {
  const int k = IndexInParent(p), destination = k + d;
  if (IsNumberValue(s, 0) || DetachSelected(s) == nullptr) return nullptr;  // no side is divided by 0
  if (IsGroup(p)) UnwrapNode(p);
  ExprNode* r = Simplified(Reciprocal(s));
  if (r == nullptr) return nullptr;
  const int back = RewriteDirection() = -d;
  for (int j = 0; j < equation->arity; ++j) {
    if (j == k || j == destination) continue;
    if (AttachFactorBeside(equation->children[j], CopyTree(r), back) == nullptr) {
      FreeExpression(r);
      return nullptr;
    }
    SimplifyTreeBottomUp(equation->children[j]);
  }
  return AttachFactorBeside(equation->children[destination], r, back);
}

// x a + x b = x (a + b): every operand divided by a copy of s and simplified, the copy attached
// beside the sum.
ExprNode* FactorOutOfSum(const ExprNode* s, ExprNode* sum, int d) {
  if (IsNumberValue(s, 0)) return nullptr;  // no term is divided by 0
  ExprNode* factor = CopyTree(s);
  for (int j = 0; factor != nullptr && j < sum->arity; ++j) {
    ExprNode* operand = sum->children[j];
    if (!Attach(CopyTree(factor), [operand](ExprNode* c) { return DivideNodeBy(operand, c); })) {
      FreeExpression(factor);
      return nullptr;
    }
    SimplifyAndNormalizeSigns(operand);
  }
  return factor != nullptr ? AttachFactorBeside(sum, factor, d) : nullptr;
}

// The rows of the move by the shapes of p and g, for s at the end of p (or p not reorderable).
ExprNode* RewriteByShape(ExprNode* s, int d) {
  ExprNode* p = s->parent;
  const int i = IndexInParent(s);
  if (IsQuotient(p)) {
    if (i == 0) return AttachFactorBeside(p, ReplaceByOne(s), d);  // s/b = s (1/b)
    if (DetachSelected(s) == nullptr) return nullptr;                 // a/s = a (1/s)
    return AttachFactorBeside(p, Reciprocal(s), d);
  }
  if (IsPower(p) && i == 0) {  // x^3 = x x^2
    ExprNode* copy = CopyTree(s);
    ExprNode* exponent = p->children[1];
    if (copy == nullptr || !Attach(NewNumberNode(-1), [exponent](ExprNode* m) { return AddToNode(exponent, m); })) {
      FreeExpression(copy);
      return nullptr;
    }
    SimplifyExpression(p->children[1]);
    return AttachFactorBeside(p, copy, d);
  }
  ExprNode* g = p->parent;
  if (p->kind == KindPlus) {
    if (p->arity < 2) return nullptr;
    if (IsEquationOfValues(g) && !AtEnd(p, d)) return MoveTermAcrossEquation(s, p, g, d);
    return FactorOutOfSum(s, p, d);
  }
  if (p->kind != KindTimes || p->arity < 2 || g == nullptr) return nullptr;
  const int place = IndexInParent(p);
  if (IsEquationOfValues(g)) return AtEnd(p, d) ? nullptr : MoveFactorAcrossEquation(s, p, g, d);
  if (IsIndexEquation(g)) return nullptr;
  if (g->kind == KindPlus) return FactorOutOfSum(s, g, d);
  if (IsNegation(g) && g->parent != nullptr && g->parent->kind == KindPlus) return FactorOutOfSum(s, g->parent, d);
  if (IsBigOperatorKind(g->kind) && place == 0) {  // sum (s f) = s sum f
    if (!MayLeaveBody(s, g) || DetachSelected(s) == nullptr) return nullptr;
    return AttachFactorBeside(g, LeavingFactor(s, g), d);
  }
  if (IsShape(g, KindSqrt, 1)) {
    if (!MayLeaveRoot(s, p) || DetachSelected(s) == nullptr) return nullptr;
    return AttachFactorBeside(g, Build(KindSqrt, {s}), d);
  }
  if (IsQuotient(g)) {
    if (DetachSelected(s) == nullptr) return nullptr;
    return AttachFactorBeside(g, place == 0 ? s : Reciprocal(s), d);
  }
  if (IsGroup(g)) {
    ExprNode* power = g->parent;
    if (IsPower(power) && IndexInParent(g) == 0 && !MayLeavePower(s, power->children[1])) return nullptr;
    if (DetachSelected(s) == nullptr) return nullptr;
    UnwrapNode(g);  // the group goes: p's shell with it
    if (IsPower(power) && IndexInParent(g) == 0) {  // (s a)^n = s^n a^n
      return AttachFactorBeside(power, Simplified(Build(KindPower, {s, CopyTree(power->children[1])})), d);
    }
    return AttachFactorBeside(g, s, d);
  }
  if (IsNegation(g)) return DetachSelected(s) ? AttachFactorBeside(g, s, d) : nullptr;
  return nullptr;
}

ExprNode* Rewrite(ExprNode* s, int32_t mode, int d) {
  ExprNode* p = s->parent;
  if (p == nullptr || IsIndexEquation(p)) return nullptr;
  if (IsReorderableKind(p->kind) && !AtEnd(s, d)) return MoveOperandInParent(s, mode, d);
  if (IsNegation(p) || IsGroup(p)) return p;
  if (IsBigOperatorKind(p->kind) && IndexInParent(s) == 0) {  // sum s = s sum 1
    if (!MayLeaveBody(s, p)) return nullptr;
    return AttachFactorBeside(p, LeavingFactor(ReplaceByOne(s), p), d);
  }
  return RewriteByShape(s, d);
}

// An index of an index list or tensor raised or lowered; else a factor between numerator and
// denominator as s^(-1).
ExprNode* ChangeIndexLevel(ExprNode* s, bool raise) {
  ExprNode* p = s->parent;
  if (p == nullptr) return nullptr;
  const int i = IndexInParent(s), indices = p->arity - 1;
  if ((p->kind == KindIndexes || p->kind == KindTensor) && i >= 1) {
    if (indices > 32) return nullptr;  // one mask bit a position
    uint32_t mask = static_cast<uint32_t>(p->value.tensorMask);
    if (p->kind == KindIndexes) {  // lowered indices first, then the raised
      const int raised = p->value.halves.first, lowered = p->value.halves.second;
      if (raised < 0 || lowered < 0 || raised + lowered != indices) return nullptr;
      mask = 0;
      for (int k = lowered; k < indices; ++k) mask |= 1u << k;
    }
    mask = raise ? mask | 1u << (i - 1) : mask & ~(1u << (i - 1));
    p->kind = KindTensor;
    p->value.raw = 0;
    p->value.tensorMask = static_cast<int32_t>(mask);
    SimplifyTensorToIndexes(p);
    return s;
  }
  const int d = raise ? 1 : -1;
  ExprNode* g = p->parent;
  const bool factorOfQuotient = p->kind == KindTimes && p->arity >= 2 && IsQuotient(g);
  if (raise) {
    if (IsQuotient(p) && i == 1) return DetachSelected(s) ? AttachFactorBeside(p, InversePower(s), d) : nullptr;
    if (factorOfQuotient && IndexInParent(p) == 1) {
      return DetachSelected(s) ? AttachFactorBeside(g->children[0], InversePower(s), d) : nullptr;
    }
    return nullptr;
  }
  if (IsNumberValue(s, 0)) return nullptr;  // 0 lowered would be 1 / 0^-1: no value where 0 had one
  if (IsQuotient(p) && i == 0) {
    ExprNode* out = ReplaceByOne(s);
    return out ? AttachFactorBeside(p->children[1], InversePower(out), d) : nullptr;
  }
  if (factorOfQuotient && IndexInParent(p) == 0) {
    return DetachSelected(s) ? AttachFactorBeside(g->children[1], InversePower(s), d) : nullptr;
  }
  return nullptr;
}

// Runs move(s) on a copy of the formula, s the copy's node at the caret's place. When the move
// names a node and no allocation was refused, the copy replaces the formula (whose root keeps its
// identity) and the caret goes to that node in mode 0.
template <class Move>
bool MoveOnCopy(Move move) {
  FormulaEditor* e = Editor();
  if (e == nullptr || e->caretNode == nullptr) return false;
  ExprNode* root = e->caretNode;
  while (root->parent != nullptr) root = root->parent;
  const std::vector<int> path = PathFromRoot(e->caretNode);
  ExprNode* selected = nullptr;
  bool selectedIsRoot = false;
  const bool moved = RewriteCopy(root, [&](ExprNode* copy) {
    ExprNode* s = NodeAtPath(copy, path);
    // The pieces a move simplifies apart from the copy keep the indices bound around s.
    const BoundIndexScope indices(s);
    selected = s != nullptr ? move(s) : nullptr;
    selectedIsRoot = selected == copy;  // the copy's shell goes once its content is in place
    return selected != nullptr;
  });
  if (moved) SetFormulaSelection(selectedIsRoot ? root : selected, SelectionCaretNode);
  return moved;
}

void RewriteInDirection(int d, int32_t mode) {
  RewriteDirection() = d;
  DirectedRewrite(mode);
  FormulaEditor* e = Editor();
  if (e != nullptr && IsGroup(e->caretNode)) UnwrapNode(e->caretNode);  // the caret node takes the content
  InvalidateFormulaLayout();
}

void ChangeSelectedIndexLevel(bool raise) {
  RewriteDirection() = raise ? 1 : -1;
  MoveOnCopy([raise](ExprNode* s) { return ChangeIndexLevel(s, raise); });
}

void SwapSelectedOperand() {
  FormulaEditor* e = Editor();
  if (e == nullptr || e->caretNode == nullptr || IsIndexEquation(e->caretNode->parent)) return;
  SwapWithNeighbour(e->caretNode, RewriteDirection());
  InvalidateFormulaLayout();
}

}  // namespace

int32_t& RewriteDirection() {
  static int32_t direction = 1;
  return direction;
}

bool IsBigOperatorKind(uint32_t kind) {
  return kind == KindSum || kind == KindProd || kind == KindInt || kind == KindOint;
}

void DirectedRewrite(int32_t mode) {
  const int d = RewriteDirection() < 0 ? -1 : 1;
  MoveOnCopy([mode, d](ExprNode* s) { return Rewrite(s, mode, d); });
}

void DirectedRewriteForward(int32_t mode) { RewriteInDirection(1, mode); }
void DirectedRewriteBackward(int32_t mode) { RewriteInDirection(-1, mode); }
void MathCommand2101() { DirectedRewriteForward(2); }
void MathCommand2102() { DirectedRewriteForward(1); }
void MathCommand2104() { DirectedRewriteBackward(2); }
void MathCommand2105() { DirectedRewriteBackward(1); }

void RaiseSelectedIndex() { ChangeSelectedIndexLevel(true); }
void LowerSelectedIndex() { ChangeSelectedIndexLevel(false); }

void MathCommand2106() {
  RaiseSelectedIndex();
  InvalidateFormulaLayout();
}

void MathCommand2107() {
  LowerSelectedIndex();
  InvalidateFormulaLayout();
}

void MoveSelectedOperandLeft() {
  RewriteDirection() = -1;
  SwapSelectedOperand();
}

void MoveSelectedOperandRight() {
  RewriteDirection() = 1;
  SwapSelectedOperand();
}

bool SelectedTermCanMove() {
  const FormulaEditor* e = Editor();
  if (e == nullptr || e->caretNode == nullptr) return false;
  // A range moves as the group of the caret node's kind that the command makes of it.
  const bool range = e->selectionMode == SelectionChildRange;
  const ExprNode* p = range ? e->caretNode : e->caretNode->parent;
  if (p == nullptr || IsIndexEquation(p)) return false;
  const int i = range ? e->selectionStart : IndexInParent(e->caretNode);
  // A product is reorderable, so every product row of the move (whatever holds the product)
  // is covered by the first test.
  return IsReorderableKind(p->kind) || IsNegation(p) || IsGroup(p) || IsQuotient(p) || (IsPower(p) && i == 0) ||
         (IsBigOperatorKind(p->kind) && i == 0);
}
