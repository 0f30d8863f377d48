// The simplifier's rules by kind, its walks and its numeric helpers. Every rule takes what memory
// it needs (new shells, copies) before it moves an operand, so a refusal leaves the node as it
// was; after any call that frees or merges nodes the rule reads its operands from the tree again.
#include "algebra/simplifier.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "algebra/command_progress.h"
#include "algebra/rewrite_primitives.h"
#include "algebra/sign_knowledge.h"
#include "editor/formula_editor.h"
#include "editor/layout_driver.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/memory/memory_shortage.h"
#include "kernel/numeric/elementary_functions.h"
#include "kernel/text/number_text.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"

namespace {

// "Again" repeats the rules on the same node until none applies. A round that merges or removes
// an operand may ask for the next one (a sum of a hundred halves needs 99), so the cap grows with
// the most operands the node has had; the 64 beyond them are for the rules that only change the
// node's shape (a root into a power, a power of a sum expanded). It only guards against a rule
// that makes no progress.
constexpr int kShapeRounds = 64;
constexpr int kRoundsPerOperand = 4;

enum class Outcome { kDone, kAgain };

AlgebraSwitches gSwitches;
// The node SimplifyTreeBottomUp's walk is visiting, whose parent that walk visits next (null
// outside a walk, and for the walk's root).
ExprNode* gWalkedBelowParent = nullptr;

// The negation of a value, with zero kept as +0.
double Negated(double v) { return v == 0 ? 0.0 : -v; }

// Moves operand `from` to position `to`; the operands between close up. Allocates nothing.
void MoveOperand(ExprNode* node, int from, int to) {
  ExprNode* moved = node->children[from];
  for (int k = from; k < to; ++k) SetChild(node, k, node->children[k + 1]);
  for (int k = from; k > to; --k) SetChild(node, k, node->children[k - 1]);
  SetChild(node, to, moved);
}

// Splices operand i (of the node's own kind) into the node; true only when it happened, so a
// refused splice (operand limit, memory) is not examined again for ever.
bool Splice(ExprNode* node, int i) {
  if (node->arity + node->children[i]->arity - 1 > kMaxArity) return false;
  const uint64_t reports = NodeExhaustionReports();
  FlattenChildInto(node, i);
  return NodeExhaustionReports() == reports;
}

// The node becomes minus(former content); the former content is returned (null: unchanged).
ExprNode* NegateInPlace(ExprNode* node) {
  ExprNode* inner = MoveContentToNewNode(node, KindMinus, 1);
  if (inner != nullptr) SetChild(node, 0, inner);
  return inner;
}

// The number a side of a quotient leads with: the side itself or a product's first factor.
ExprNode* LeadingNumber(ExprNode* side) {
  if (IsNumberNode(side)) return side;
  return HasNumberFirst(side, KindTimes) ? side->children[0] : nullptr;
}

bool IsNumberQuotient(const ExprNode* node) {
  return IsShape(node, KindOver, 2) && IsNumberNode(node->children[0]) && IsNumberNode(node->children[1]);
}

// ---- equal and list: nested nodes of the same kind spliced in ----------------------------------
Outcome FlattenSameKind(ExprNode* node) {
  for (int i = 0; i < node->arity; ++i) {
    if (node->children[i]->kind == node->kind && Splice(node, i)) --i;
  }
  return Outcome::kDone;
}

// ---- sin and cos at multiples of pi/2 ----------------------------------------------------------
// The argument as a multiple of pi/2: 0, pi, n pi and (n pi)/2 with integral n.
bool HalfPiMultiple(const ExprNode* arg, int64_t* m) {
  int32_t n;
  if (IsNumberValue(arg, 0)) {
    *m = 0;
    return true;
  }
  if (IsConstantSymbol(arg, SymPi)) {
    *m = 2;
    return true;
  }
  auto timesPi = [&](const ExprNode* t) {
    return IsShape(t, KindTimes, 2) && IsNumberNode(t->children[0]) && IsConstantSymbol(t->children[1], SymPi) &&
           AsInt32(NumberValue(t->children[0]), &n);
  };
  if (timesPi(arg)) {
    *m = 2 * static_cast<int64_t>(n);
    return true;
  }
  if (IsShape(arg, KindOver, 2) && IsNumberValue(arg->children[1], 2) && timesPi(arg->children[0])) {
    *m = n;  // any n, reduced or not: the value is read from n mod 4
    return true;
  }
  return false;
}

Outcome SimplifyTrig(ExprNode* node) {
  int64_t m;
  if (node->arity != 1 || !HalfPiMultiple(node->children[0], &m)) return Outcome::kDone;
  static constexpr double kSin[4] = {0, 1, 0, -1}, kCos[4] = {1, 0, -1, 0};
  const int quarter = static_cast<int>(((m % 4) + 4) % 4);
  ReplaceWithNumber(node, node->kind == KindSin ? kSin[quarter] : kCos[quarter]);
  return Outcome::kDone;
}

// ---- Negation ----------------------------------------------------------------------------------
// minus(a + b + ...) becomes (-a) + (-b) + ..., each term simplified as it is made.
void NegateSum(ExprNode* node) {
  ExprNode* sum = node->children[0];
  const int m = sum->arity;
  ExprNode* result = NewNode(KindPlus, m);
  for (int k = 0; result != nullptr && k < m; ++k) {
    ExprNode* negation = NewNode(KindMinus, 1);
    if (negation == nullptr) {
      FreeExpression(result);
      return;
    }
    SetChild(result, k, negation);
  }
  if (result == nullptr) return;
  for (int k = 0; k < m; ++k) SetChild(result->children[k], 0, sum->children[k]);
  MoveNodeInto(result, node);
  FreeNode(sum);  // its operands now belong to the negations
  for (int k = m - 1; k >= 0; --k) SimplifyNode(node->children[k]);
  SimplifyChildrenThenNode(node);
}

Outcome SimplifyNegation(ExprNode* node) {
  if (node->arity != 1) return Outcome::kDone;
  ExprNode* u = node->children[0];
  if (u->kind == KindPlus && u->arity > 0) {
    NegateSum(node);
  } else if (HasNumberFirst(u, KindTimes)) {  // once more, so that a factor 1 or 0 goes
    SetNumberValue(u->children[0], Negated(NumberValue(u->children[0])));
    UnwrapNode(node);
    return Outcome::kAgain;
  } else if (IsNumberNode(u)) {
    const double v = Negated(NumberValue(u));
    UnwrapNode(node);
    SetNumberValue(node, v);
  } else if (IsNumberQuotient(u)) {
    SetNumberValue(u->children[0], Negated(NumberValue(u->children[0])));
    UnwrapNode(node);
  } else if (IsShape(u, KindMinus, 1)) {
    UnwrapNode(node);
    UnwrapNode(node);
  }
  return Outcome::kDone;
}

// ---- Roots -------------------------------------------------------------------------------------
// t^n == target exactly in 64-bit integers (n >= 1); an overflow is no match.
bool ExactPower(int64_t t, int32_t n, int64_t target) {
  if (t == 0 || t == 1) return t == target;
  if (t == -1) return target == (n % 2 != 0 ? -1 : 1);
  int64_t p = 1;
  for (int32_t k = 0; k < n; ++k) {  // |t| >= 2 overflows within 63 steps
    if (__builtin_mul_overflow(p, t, &p)) return false;
  }
  return p == target;
}

Outcome SimplifyRoot(ExprNode* node) {
  ExprNode* a = node->children[0];
  int32_t radicand, index;
  const bool integral = IsNumberNode(a) && AsInt32(NumberValue(a), &radicand);
  if (node->arity == 1) {
    if (integral && radicand >= 0) {
      const int64_t s = std::llround(std::sqrt(static_cast<double>(radicand)));
      if (s * s == radicand) {
        ReplaceWithNumber(node, static_cast<double>(s));
        return Outcome::kDone;
      }
    }
    ExprNode* half = Build(KindOver, {NewNumberNode(1), NewNumberNode(2)});
    if (half == nullptr || !SetChildCount(node, 2)) {
      FreeExpression(half);
      return Outcome::kDone;
    }
    SetChild(node, 1, half);
    node->kind = KindPower;
    return Outcome::kAgain;
  }
  if (node->arity != 2) return Outcome::kDone;
  ExprNode* n = node->children[1];
  // A root with an index folds only to a whole number, and only when it is exact: pow gives
  // 27^(1/3) = 3.0000000000000004 and 64^(1/3) = 3.9999999999999996, so keeping the floating root
  // would write a wrong digit and truncating it would miss 64. The nearest integer is checked
  // exactly instead; anything else stays a fractional power, still exact.
  if (integral && IsNumberNode(n) && AsInt32(NumberValue(n), &index) && index >= 1) {
    const double r = std::pow(static_cast<double>(radicand), 1.0 / index);
    if (std::isfinite(r) && ExactPower(std::llround(r), index, radicand)) {
      ReplaceWithNumber(node, static_cast<double>(std::llround(r)));
      return Outcome::kDone;
    }
  }
  ExprNode* one = NewNumberNode(1);
  ExprNode* reciprocal = one != nullptr ? NewNode(KindOver, 2) : nullptr;
  if (reciprocal == nullptr) {
    FreeExpression(one);
    return Outcome::kDone;
  }
  SetChild(reciprocal, 0, one);
  SetChild(reciprocal, 1, n);
  SetChild(node, 1, reciprocal);
  node->kind = KindPower;
  return Outcome::kAgain;
}

// ---- Powers ------------------------------------------------------------------------------------
// (f1 f2 ... fk)^e becomes f1^e f2^e ... fk^e (copies of e after the first).
void DistributeOverProduct(ExprNode* node) {
  ExprNode* product = node->children[0];
  ExprNode* e = node->children[1];
  const int k = product->arity;
  ExprNode* result = NewNode(KindTimes, k);
  for (int j = 0; result != nullptr && j < k; ++j) {
    ExprNode* power = NewNode(KindPower, 2);
    ExprNode* exponent = j == 0 ? nullptr : CopyTree(e);
    if (power == nullptr || (j > 0 && exponent == nullptr)) {
      FreeExpression(power);
      FreeExpression(exponent);
      FreeExpression(result);
      return;
    }
    SetChild(result, j, power);
    if (exponent != nullptr) SetChild(power, 1, exponent);
  }
  if (result == nullptr) return;
  for (int j = 0; j < k; ++j) SetChild(result->children[j], 0, product->children[j]);
  SetChild(result->children[0], 1, e);
  MoveNodeInto(result, node);
  FreeNode(product);
  SimplifyChildrenThenNode(node);
}

// (p/q)^e becomes p^e / q^e.
void DistributeOverQuotient(ExprNode* node) {
  ExprNode* quotient = node->children[0];
  ExprNode* e = node->children[1];
  ExprNode* top = NewNode(KindPower, 2);
  ExprNode* bottom = NewNode(KindPower, 2);
  ExprNode* copy = CopyTree(e);
  if (top == nullptr || bottom == nullptr || copy == nullptr) {
    FreeNode(top);
    FreeNode(bottom);
    FreeExpression(copy);
    return;
  }
  SetChild(top, 0, quotient->children[0]);
  SetChild(top, 1, copy);
  SetChild(bottom, 0, quotient->children[1]);
  SetChild(bottom, 1, e);
  SetChild(quotient, 0, top);
  SetChild(quotient, 1, bottom);
  UnwrapNode(node);
  SimplifyChildrenThenNode(node);
}

// (b1 ... bk)^e = b1^e ... bk^e and (p/q)^e = p^e / q^e hold wherever the left side has a value
// for a whole or odd-ratio e, for another e only while at most one operand may be negative or 0:
// sqrt(x y) is 1 at x = y = -1 and 0 at x = 0, y = -1, where sqrt(x) sqrt(y) has no value.
bool DistributesOver(const ExprNode* base, const ExprNode* e) {
  return IsWhole(e) || IsOddRatio(e) || AllButOneKnownPositive(base);
}

// (a^c)^e becomes a^(c e) where that holds wherever the left side has a value: e whole, a known
// non-negative, c odd and whole, or c an odd ratio and e a number. An even c makes a^c = |a|^c,
// so for a number e the power becomes |a|^(c e), without the bars when c e is even again
// (sqrt(x^2) = |x|, (x^6)^(1/3) = x^2). Any other power of a power stays: (x^2)^b has a value at
// x = -1, b = 1/2, where x^(2 b) has none.
void MultiplyExponents(ExprNode* node) {
  ExprNode* inner = node->children[0];
  ExprNode* c = inner->children[1];
  ExprNode* e = node->children[1];
  bool bars = false;
  if (!(IsWhole(e) || IsOddWhole(c) || (IsOddRatio(c) && IsNumberRatio(e)) || KnownNonNegative(inner->children[0]))) {
    if (!IsEvenRatio(c) || !IsNumberRatio(e) || !WrapInUnary(inner->children[0], KindAbs)) return;
    bars = true;
  }
  if (c->kind == KindTimes && c->arity > 0) {
    if (!SetChildCount(c, c->arity + 1)) return;
    SetChild(c, c->arity - 1, e);
  } else {
    ExprNode* product = NewNode(KindTimes, 2);
    if (product == nullptr) return;
    SetChild(product, 0, c);
    SetChild(product, 1, e);
    SetChild(inner, 1, product);
  }
  UnwrapNode(node);
  SimplifyChildrenThenNode(node);
  if (bars && IsPower(node) && IsShape(node->children[0], KindAbs, 1) && IsEvenRatio(node->children[1])) {
    UnwrapNode(node->children[0]);
  }
}

// b^e becomes (-1)^e times the power; returns the power (now the second factor) or null.
ExprNode* SplitOffMinusOne(ExprNode* node) {
  ExprNode* sign = Build(KindPower, {NewNumberNode(-1), CopyTree(node->children[1])});
  if (sign == nullptr) return nullptr;
  ExprNode* power = MoveContentToNewNode(node, KindTimes, 2);
  if (power == nullptr) {
    FreeExpression(sign);
    return nullptr;
  }
  SetChild(node, 0, sign);
  SetChild(node, 1, power);
  return power;
}

Outcome PowerOfI(ExprNode* node, int32_t n) {
  switch (((n % 4) + 4) % 4) {
    case 0: ReplaceWithNumber(node, 1); break;
    case 1: BecomeOperand(node, 0); break;
    case 2: ReplaceWithNumber(node, -1); break;
    default: {
      ExprNode* minusI = Build(KindMinus, {NewSymbolNode(kSymbolI)});
      if (minusI != nullptr) ReplaceExpression(minusI, node);
    }
  }
  return Outcome::kDone;
}

Outcome SimplifyPower(ExprNode* node) {
  if (node->arity != 2) return Outcome::kDone;
  ExprNode* b = node->children[0];
  ExprNode* e = node->children[1];
  int32_t n = 0;
  const bool integral = IsNumberNode(e) && AsInt32(NumberValue(e), &n);
  if (IsNumberValue(e, 1)) {
    BecomeOperand(node, 0);
    return Outcome::kDone;
  }
  if (IsNumberValue(e, 0)) {
    ReplaceWithNumber(node, 1);
    return Outcome::kDone;
  }
  if (integral && n > 0 && IsNumberNode(b)) {
    ReplaceWithNumber(node, PowerByInteger(NumberValue(b), n));
    return Outcome::kDone;
  }
  if (integral && gSwitches.expandProducts && b->kind == KindPlus && n > 1 && n < 24) {
    return ExpandPowerOfSum(node) ? Outcome::kAgain : Outcome::kDone;
  }
  // i^n of the imaginary unit, not of an index i of a sum around it
  if (integral && IsConstantSymbol(b, kSymbolI)) {
    return PowerOfI(node, n);
  }
  const bool distribute = gSwitches.distributePowers;
  if (distribute && b->kind == KindTimes && b->arity > 0) {
    if (DistributesOver(b, e)) DistributeOverProduct(node);
  } else if (distribute && IsShape(b, KindOver, 2)) {
    if (DistributesOver(b, e)) DistributeOverQuotient(node);
  } else if (distribute && IsShape(b, KindPower, 2)) {
    MultiplyExponents(node);
  } else if (IsNumberNode(b)) {
    const double base = NumberValue(b);
    // 0^e is 0 only for an exponent known positive: 0^0 is 1, 0 to a negative power has no value,
    // and a letter may be either.
    if (base == 1 || (base == 0 && KnownPositive(e))) {
      ReplaceWithNumber(node, base);
    } else if (base < -1 && SplitOffMinusOne(node) != nullptr) {
      SetNumberValue(b, -base);
    }
  } else if (distribute && IsShape(b, KindMinus, 1) && (IsWhole(e) || IsOddRatio(e))) {
    // (-u)^e = (-1)^e u^e: at u = -1, e = 1/2 the left side is 1 and (-1)^e has no value
    if (ExprNode* power = SplitOffMinusOne(node)) {
      UnwrapNode(power->children[0]);
      SimplifyChildrenThenNode(node);
    }
  }
  return Outcome::kDone;
}

// ---- Quotients ---------------------------------------------------------------------------------
Outcome CloseQuotient(ExprNode* node) {
  if (IsNumberValue(node->children[0], 0) && !IsNumberValue(node->children[1], 0)) {
    ReplaceWithNumber(node, 0);
  } else if (IsNumberValue(node->children[1], 1)) {
    BecomeOperand(node, 0);
  } else {
    CancelCommonFactors(node);
  }
  return Outcome::kDone;
}

// (p/q)/(r/s) and a/(r/s) as one quotient, reusing the inner quotients' shells as the
// new products. Allocates nothing.
void MergeNestedQuotients(ExprNode* node, bool aOver, bool bOver) {
  ExprNode* a = node->children[0];
  ExprNode* b = node->children[1];
  if (aOver && bOver) {  // (p s)/(q r)
    ExprNode* q = a->children[1];
    SetChild(a, 1, b->children[1]);
    SetChild(b, 1, b->children[0]);
    SetChild(b, 0, q);
    a->kind = b->kind = KindTimes;
  } else {  // (a s)/r
    SetChild(node, 1, b->children[0]);
    SetChild(b, 0, a);
    b->kind = KindTimes;
    SetChild(node, 0, b);
  }
  SimplifyChildrenThenNode(node);
}

// (p/q)/b: a link of a chain ((p/q)/b)/c... whose next link is the parent.
bool LeftChainLink(const ExprNode* node) {
  return IsShape(node, KindOver, 2) && IsShape(node->children[0], KindOver, 2) && !IsShape(node->children[1], KindOver, 2);
}

// The chain ((p/d1)/d2).../dn below the node becomes p/(d1 d2 ... dn) in one step, so a chain
// n deep costs its length, where merging it a link at a time would cost its length squared.
// Allocates the product first: a refusal leaves the node as it was.
void MergeQuotientChain(ExprNode* node) {
  int links = 0;  // a chain past a product's operand limit merges the rest in a later round
  for (const ExprNode* n = node; LeftChainLink(n) && links < kMaxArity - 1; n = n->children[0]) ++links;
  ExprNode* bottom = NewNode(KindTimes, links + 1);
  if (bottom == nullptr) return;
  SetChild(bottom, links, node->children[1]);
  ExprNode* link = node->children[0];
  for (int k = links - 1; k >= 0; --k) {
    ExprNode* inner = link->children[0];
    SetChild(bottom, k, link->children[1]);
    FreeNode(link);  // the shell only: its operands have moved
    link = inner;
  }
  SetChild(node, 0, link);
  SetChild(node, 1, bottom);
  SimplifyChildrenThenNode(node);
}

Outcome SimplifyQuotient(ExprNode* node) {
  if (node->arity != 2) return Outcome::kDone;
  // A link whose parent is the next link waits for the walk to reach the chain's end.
  if (node == gWalkedBelowParent && LeftChainLink(node) && node->parent != nullptr && IndexInParent(node) == 0 &&
      LeftChainLink(node->parent)) {
    return Outcome::kDone;
  }
  for (int side = 0; side < 2; ++side) {
    ExprNode* s = node->children[side];
    ExprNode* number = LeadingNumber(s);
    const bool negation = IsShape(s, KindMinus, 1);
    if (!negation && !(number != nullptr && NumberValue(number) < 0)) continue;
    ExprNode* quotient = NegateInPlace(node);
    if (quotient == nullptr) return Outcome::kDone;
    if (negation) {
      UnwrapNode(s);
    } else {
      SetNumberValue(number, -NumberValue(number));
    }
    SimplifyChildrenThenNode(node);
    return Outcome::kDone;
  }
  ExprNode* a = node->children[0];
  ExprNode* b = node->children[1];
  ExprNode* an = LeadingNumber(a);
  ExprNode* bn = LeadingNumber(b);
  if (an != nullptr && bn != nullptr) {
    ReduceNumberPair(an, bn);
    if (an != a) SimplifyNode(a);
    if (bn != b) SimplifyNode(b);
    return CloseQuotient(node);
  }
  const bool aOver = IsShape(a, KindOver, 2), bOver = IsShape(b, KindOver, 2);
  if (aOver && !bOver) {
    MergeQuotientChain(node);
    return Outcome::kDone;
  }
  if (aOver || bOver) {
    MergeNestedQuotients(node, aOver, bOver);
    return Outcome::kDone;
  }
  return CloseQuotient(node);
}

// ---- Sums --------------------------------------------------------------------------------------
// Merges the number quotient at i into the last operand (a number or a number quotient); false
// when the rule ends the call.
bool MergeNumberQuotient(ExprNode* node, int i) {
  ExprNode* t = node->children[i];
  ExprNode* last = node->children[node->arity - 1];
  const double tn = NumberValue(t->children[0]), td = NumberValue(t->children[1]);
  const bool binary = node->arity == 2;
  if (IsNumberNode(last)) {
    const double numerator = NumberValue(last) * td + tn;
    if (!RemoveOperandAndFree(node, node->arity - 1)) return false;
    SetNumberValue((binary ? node : node->children[i])->children[0], numerator);
    return true;
  }
  const double ln = NumberValue(last->children[0]), ld = NumberValue(last->children[1]);
  const double g = GreatestCommonDivisor(std::fabs(td), std::fabs(ld));
  if (g == 0) return false;
  if (!RemoveOperandAndFree(node, i)) return false;
  ExprNode* merged = binary ? node : node->children[node->arity - 1];
  SetNumberValue(merged->children[0], ln * (td / g) + tn * (ld / g));
  SetNumberValue(merged->children[1], ld * (td / g));
  return true;
}

Outcome SimplifySum(ExprNode* node) {
  if (node->arity == 1) {
    UnwrapNode(node);
    return Outcome::kDone;
  }
  for (int i = 0; node->kind == KindPlus && i < node->arity; ++i) {
    ExprNode* t = node->children[i];
    const int last = node->arity - 1;
    if (t->kind == KindPlus) {
      if (Splice(node, i)) --i;
      continue;
    }
    if (i == last) continue;
    ExprNode* l = node->children[last];
    if (IsNumberNode(t)) {
      if (IsNumberNode(l)) {
        const double sum = NumberValue(l) + NumberValue(t);
        const bool binary = node->arity == 2;
        if (!RemoveOperandAndFree(node, i)) return Outcome::kDone;
        SetNumberValue(binary ? node : node->children[node->arity - 1], sum);
      } else {
        MoveOperand(node, i, last);
      }
      --i;
    } else if (IsNumberQuotient(t)) {
      if (IsNumberNode(l) || IsNumberQuotient(l)) return MergeNumberQuotient(node, i) ? Outcome::kAgain : Outcome::kDone;
      MoveOperand(node, i, last);
      return Outcome::kAgain;
    }
  }
  if (node->kind == KindPlus && node->arity > 1 && IsNumberValue(node->children[node->arity - 1], 0)) {
    RemoveOperandAndFree(node, node->arity - 1);
  }
  if (node->kind == KindPlus && gSwitches.collectLikeTerms) CollectLikeTerms(node);
  return Outcome::kDone;
}

// ---- Products ----------------------------------------------------------------------------------
// The product of a sum of simplified terms (a copy of `terms` when it is no sum, as one term)
// and `factor` (each summand when it is a sum): every new term simplified as it is made, then
// the sum, so like terms merge before the next factor is multiplied in. Null without memory or
// once the command has stopped; nothing given is taken.
ExprNode* MultiplyOut(const ExprNode* terms, const ExprNode* factor) {
  const bool sumTerms = terms->kind == KindPlus && terms->arity > 0, sumFactor = factor->kind == KindPlus && factor->arity > 0;
  const int m = sumTerms ? terms->arity : 1, k = sumFactor ? factor->arity : 1;
  if (static_cast<int64_t>(m) * k > kMaxArity) {  // more terms than a sum can hold
    StopMathCommand(CommandStop::kTooLarge);
    return nullptr;
  }
  ExprNode* result = BuildEach(KindPlus, m * k, [&](int index) -> ExprNode* {
    if (IsMemoryShort() || MathCommandStopped()) return nullptr;
    const ExprNode* t = sumTerms ? terms->children[index / k] : terms;
    const ExprNode* s = sumFactor ? factor->children[index % k] : factor;
    ExprNode* term = Build(KindTimes, {CopyTree(t), CopyTree(s)});
    if (term != nullptr) SimplifyNode(term);
    return term;
  });
  if (result != nullptr) SimplifyNode(result);
  return result;
}

// A product holding a sum becomes the sum of its multiplied-out terms: the factors are
// multiplied in one at a time, left to right (so factors that do not commute keep their order),
// and like terms merge after each, so the work follows the size of the partial results, not
// the count of the products of summands. Built apart: a shortage, or the command's stop, leaves
// the node as it was.
void ExpandProduct(ExprNode* node) {
  ExprNode* partial = CopyTree(node->children[0]);
  for (int j = 1; partial != nullptr && j < node->arity; ++j) {
    ExprNode* next = MultiplyOut(partial, node->children[j]);
    FreeExpression(partial);
    partial = next;
  }
  if (partial == nullptr) return;
  ReplaceExpression(partial, node);
}

// A negated factor at i: the negation moves out over the whole product, which is simplified.
void PullNegationOut(ExprNode* node, int i) {
  ExprNode* product = NegateInPlace(node);
  if (product == nullptr) return;
  UnwrapNode(product->children[i]);
  SimplifyNode(product);
}

// Every quotient among the factors joins one quotient: the numerators and the other factors in
// their order over the denominators in theirs, as merging neighbours pair by pair would give,
// but in one step, and with numerators of 1 left out, so a product of many quotients (a
// server's reciprocals) costs its size, not its size squared. Allocates the new shells first: a
// refusal leaves the node as it was.
void MergeIntoQuotient(ExprNode* node) {
  int quotients = 0, ones = 0;
  for (int k = 0; k < node->arity; ++k) {
    const ExprNode* f = node->children[k];
    if (!IsShape(f, KindOver, 2)) continue;
    ++quotients;
    ones += IsNumberValue(f->children[0], 1) ? 1 : 0;
  }
  const int kept = node->arity - ones;
  ExprNode* bottom = NewNode(KindTimes, quotients);
  ExprNode* top = bottom == nullptr ? nullptr : kept > 0 ? NewNode(KindTimes, kept) : NewNumberNode(1);
  ExprNode* quotient = top == nullptr ? nullptr : NewNode(KindOver, 2);
  if (quotient == nullptr) {
    FreeNode(bottom);
    FreeNode(top);
    return;
  }
  for (int k = 0, t = 0, d = 0; k < node->arity; ++k) {
    ExprNode* f = node->children[k];
    if (!IsShape(f, KindOver, 2)) {
      SetChild(top, t++, f);
      continue;
    }
    SetChild(bottom, d++, f->children[1]);
    if (IsNumberValue(f->children[0], 1)) {
      FreeNode(f->children[0]);
    } else {
      SetChild(top, t++, f->children[0]);
    }
    FreeNode(f);  // the shell only: its operands have moved
  }
  SetChild(quotient, 0, top);
  SetChild(quotient, 1, bottom);
  MoveNodeInto(quotient, node);
  SimplifyChildrenThenNode(node);
}

Outcome SimplifyProduct(ExprNode* node) {
  if (node->arity == 1) {
    UnwrapNode(node);
    return Outcome::kDone;
  }
  for (int i = 0; node->kind == KindTimes && i < node->arity; ++i) {
    ExprNode* f = node->children[i];
    if (f->kind == KindTimes) {
      if (Splice(node, i)) --i;
      continue;
    }
    if (IsShape(f, KindMinus, 1)) {
      PullNegationOut(node, i);
      return Outcome::kDone;
    }
    if (f->kind == KindPlus && f->arity > 0 && gSwitches.expandProducts) {
      ExpandProduct(node);
      return Outcome::kDone;
    }
    if (i == 0) continue;
    if (IsNumberNode(f)) {
      if (!IsNumberNode(node->children[0])) {
        MoveOperand(node, i, 0);
        --i;
        continue;
      }
      const double product = NumberValue(node->children[0]) * NumberValue(f);
      const bool binary = node->arity == 2;
      if (!RemoveOperandAndFree(node, i)) return Outcome::kDone;
      SetNumberValue(binary ? node : node->children[0], product);
      --i;  // the next factor has moved to i; a round a number would make many numbers quadratic
      continue;
    }
    if (IsShape(node->children[i - 1], KindOver, 2) || IsShape(f, KindOver, 2)) {
      MergeIntoQuotient(node);
      return Outcome::kDone;
    }
  }
  if (HasNumberFirst(node, KindTimes)) {
    if (IsNumberValue(node->children[0], 1)) {
      RemoveOperandAndFree(node, 0);
    } else if (IsNumberValue(node->children[0], 0)) {
      ReplaceWithNumber(node, 0);
    }
  }
  if (node->kind == KindTimes && gSwitches.orderFactors) OrderFactors(node);
  if (node->kind == KindTimes) CollectLikeFactors(node);
  return Outcome::kDone;
}

// Every operand is a letter, and no two are the same.
bool DifferentLetters(const ExprNode* node) {
  std::vector<int32_t> ids;
  for (int k = 0; k < node->arity; ++k) {
    if (node->children[k]->kind != KindChar) return false;
    ids.push_back(node->children[k]->value.symbol);
  }
  std::sort(ids.begin(), ids.end());
  return std::adjacent_find(ids.begin(), ids.end()) == ids.end();
}

// ---- Dispatch ----------------------------------------------------------------------------------
Outcome ApplyRules(ExprNode* node) {
  ExprNode* u = node->children[0];
  int32_t n;
  switch (node->kind) {
    case KindLog:
      if (IsNumberValue(u, 1)) ReplaceWithNumber(node, 0);
      return Outcome::kDone;
    case KindLn:
      if (node->arity == 1 && (IsConstantSymbol(u, kSymbolE) || IsNumberValue(u, 1))) ReplaceWithNumber(node, IsNumberNode(u) ? 0 : 1);
      return Outcome::kDone;
    case KindExp:
      if (node->arity == 1 && IsNumberValue(u, 0)) ReplaceWithNumber(node, 1);
      return Outcome::kDone;
    case KindFact:
      if (node->arity == 1 && IsNumberNode(u) && AsInt32(NumberValue(u), &n) && n >= 0 && n <= 4) {
        ReplaceWithNumber(node, Factorial(n));
      }
      return Outcome::kDone;
    case KindSn:
      if (node->arity == 2 && IsNumberNode(u) && IsNumberNode(node->children[1])) {
        ReplaceWithNumber(node, ScientificValue(NumberValue(u), NumberValue(node->children[1])));
      }
      return Outcome::kDone;
    case KindEqual:
    case KindList:
      return FlattenSameKind(node);
    case KindOptotal:
    case KindOppartial:
      if (node->arity == 2 && IsNumberValue(node->children[1], 1)) DeleteChildAt(node, 1);
      return Outcome::kDone;
    case KindSin:
    case KindCos:
      return SimplifyTrig(node);
    case KindMinus:
      return SimplifyNegation(node);
    case KindSqrt:
      return SimplifyRoot(node);
    case KindPower:
      return SimplifyPower(node);
    case KindOver:
      return SimplifyQuotient(node);
    case KindPlus:
      return SimplifySum(node);
    case KindTimes:
      return SimplifyProduct(node);
    default:
      return Outcome::kDone;
  }
}

}  // namespace

void NormalizeSignsAt(ExprNode* node) {
  if (IsNumberNode(node) && NumberValue(node) < 0) {
    ExprNode* parent = node->parent;
    const bool inProduct = parent != nullptr && parent->kind == KindTimes;
    if (inProduct ? NegateInPlace(parent) != nullptr : NegateInPlace(node) != nullptr) {
      ExprNode* number = inProduct ? node : node->children[0];
      SetNumberValue(number, -NumberValue(number));
    }
  } else if (IsShape(node, KindOver, 2) && IsShape(node->children[0], KindMinus, 1)) {
    if (ExprNode* quotient = NegateInPlace(node)) UnwrapNode(quotient->children[0]);
  } else {
    HalfPowerToRoot(node);
  }
}

AlgebraSwitches& Switches() { return gSwitches; }

void ResetAlgebraSwitches() { gSwitches = AlgebraSwitches{}; }

SwitchGuard::SwitchGuard(bool AlgebraSwitches::*field, bool value) : field_(field), saved_(gSwitches.*field) {
  gSwitches.*field = value;
}

SwitchGuard::~SwitchGuard() { gSwitches.*field_ = saved_; }

void SimplifyNode(ExprNode* node) {
  for (int round = 0, cap = kShapeRounds; round < cap; ++round) {
    if (node == nullptr || node->arity == 0 || node->kind == KindString || IsMemoryShort() || DerivativeWorkExceeded() ||
        MathCommandStopped()) {
      return;
    }
    cap = std::max(cap, kShapeRounds + kRoundsPerOperand * node->arity);
    if (ApplyRules(node) == Outcome::kDone) return;
  }
}

void SimplifyTreeBottomUp(ExprNode* root) {
  ForEachPostOrder(root, [root](ExprNode* node) {
    ExprNode* const outer = gWalkedBelowParent;  // a walk inside a rule keeps the outer one's node
    gWalkedBelowParent = node != root ? node : nullptr;
    SimplifyNode(node);
    gWalkedBelowParent = outer;
  });
}

void SimplifyChildrenThenNode(ExprNode* node) {
  if (node == nullptr || node->kind == KindString) return;
  for (int i = 0; i < node->arity; ++i) SimplifyNode(node->children[i]);
  SimplifyNode(node);
}

void SimplifyAndNormalizeSigns(ExprNode* node) {
  SimplifyTreeBottomUp(node);
  NormalizeSigns(node);
}

void SimplifyExpression(ExprNode* node) {
  if (node == nullptr) return;
  UnwrapIdNodes(node);
  SimplifyAndNormalizeSigns(node);
}

void NormalizeSigns(ExprNode* root) { ForEachPostOrder(root, NormalizeSignsAt); }

void NormalizeSignsBelow(ExprNode* root) {
  // The root keeps its identity when a step below wraps it, so the walk still knows it.
  ForEachPostOrder(root, [root](ExprNode* node) {
    if (node != root) NormalizeSignsAt(node);
  });
}

void NegativePowersToReciprocals(ExprNode* node) {
  if (!IsShape(node, KindPower, 2)) return;
  const bool baseE = IsConstantSymbol(node->children[0], kSymbolE);
  ExprNode* e = node->children[1];
  const bool negated = !baseE && IsShape(e, KindMinus, 1);
  const bool negatedNumerator = IsShape(e, KindOver, 2) && IsShape(e->children[0], KindMinus, 1);
  const bool negative = !baseE && IsNumberNode(e) && NumberValue(e) < 0;
  if (!(negated || negatedNumerator || negative) || !InvertNode(node)) return;
  if (negated) {
    UnwrapNode(e);
  } else if (negatedNumerator) {
    UnwrapNode(e->children[0]);
  } else {
    SetNumberValue(e, -NumberValue(e));
  }
}

void SimplifyWithReciprocals(ExprNode* root) {
  SwitchGuard keepPowers(&AlgebraSwitches::distributePowers, false);
  SimplifyExpression(root);
  ForEachPostOrder(root, NegativePowersToReciprocals);
  SimplifyAndNormalizeSigns(root);
}

void SimplifyFormula() {
  FormulaEditor* editor = TypesettingGlobals().currentEditor;
  if (editor == nullptr || editor->caretNode == nullptr) return;
  SimplifyExpression(editor->caretNode);
  InvalidateFormulaLayout();
}

void MathCommand2001() {
  SwitchGuard expand(&AlgebraSwitches::expandProducts, true);
  SimplifyFormula();
}

bool ExpandPowerOfSum(ExprNode* node) {
  int32_t n;
  if (!IsShape(node, KindPower, 2) || node->children[0]->kind != KindPlus || node->children[0]->arity < 2 ||
      !IsNumberNode(node->children[1]) || !AsInt32(NumberValue(node->children[1]), &n) || n < 2 || n > 23) {
    return false;
  }
  const BoundIndexScope indices(node);  // the terms are simplified apart: i^2 under a sum over i stays
  const ExprNode* sum = node->children[0];
  // Over m different letters the expansion has C(n + m - 1, n) unlike terms: more than a sum can
  // hold is known before any is made.
  double products = 1;
  for (int k = 1; k <= n; ++k) products = products * (sum->arity - 1 + k) / k;
  if (products > kMaxArity && DifferentLetters(sum)) {
    StopMathCommand(CommandStop::kTooLarge);
    return false;
  }
  ExprNode* a = CopyTree(sum->children[0]);
  ExprNode* b = CopyTree(sum->arity == 2 ? sum->children[1] : sum);
  ExprNode* result = a != nullptr && b != nullptr ? NewNode(KindPlus, n + 1) : nullptr;
  if (result != nullptr && sum->arity > 2 && !DeleteChildAt(b, 0)) {
    FreeExpression(result);
    result = nullptr;
  }
  if (result != nullptr) SimplifyNode(b);
  for (int k = 0; result != nullptr && k <= n; ++k) {
    ExprNode* aPower = k < n ? Build(KindPower, {CopyTree(a), NewNumberNode(n - k)}) : nullptr;
    ExprNode* bPower = k > 0 ? Build(KindPower, {CopyTree(b), NewNumberNode(k)}) : nullptr;
    ExprNode* term = k == 0 ? aPower : k == n ? bPower
                   : Build(KindTimes, {NewNumberNode(static_cast<double>(BinomialCoefficient(n, k))), aPower, bPower});
    if (term == nullptr || IsMemoryShort() || MathCommandStopped()) {  // Build has freed the powers it was given
      FreeExpression(term);
      FreeExpression(result);
      result = nullptr;
      break;
    }
    SetChild(result, k, term);
    if (k == 0 || k == n) {
      SimplifyNode(term);
    } else {
      SimplifyChildrenThenNode(term);
    }
  }
  FreeExpression(a);
  FreeExpression(b);
  if (result == nullptr) return false;
  ReplaceExpression(result, node);
  return true;
}

bool ReplaceWithNumber(ExprNode* node, double value) {
  if (IsNumberNode(node)) {
    SetNumberValue(node, value);
    return true;
  }
  ExprNode* number = NewNumberNode(value);
  if (number == nullptr) return false;
  ReplaceExpression(number, node);
  return true;
}

void ReduceNumberPair(ExprNode* a, ExprNode* b) {
  const double g = GreatestCommonDivisor(NumberValue(a), NumberValue(b));
  if (g == 0 || g == 1) return;
  SetNumberValue(a, NumberValue(a) / g);
  SetNumberValue(b, NumberValue(b) / g);
}

double PowerByInteger(double x, int32_t n) {
  if (n <= 0) return 1;
  return n % 2 != 0 ? x * PowerByInteger(x, n - 1) : PowerByInteger(x * x, n / 2);
}

int64_t BinomialCoefficient(int32_t n, int32_t k) {
  const int64_t kk = std::min<int64_t>(k, static_cast<int64_t>(n) - k);
  if (n < 1 || n < kk || kk < 0) return 0;
  if (kk == 0) return 1;
  if (kk == 1) return n;
  int64_t numerator = 1, denominator = 1;
  for (int64_t j = 0; j < kk; ++j) {
    numerator *= n - j;
    denominator *= kk - j;
    const auto g = static_cast<int64_t>(GreatestCommonDivisor(static_cast<double>(numerator), static_cast<double>(denominator)));
    numerator /= g;
    denominator /= g;
  }
  return numerator;
}
