// Sign and parity from a subtree's shape. A sign question reads the subtree once and, for each
// letter, its ancestors once, within a bounded amount of work (SignReader).
#include "algebra/sign_knowledge.h"

#include "algebra/rewrite_primitives.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"

namespace {

// x^e of a real x is >= 0 wherever it has a value: p/q with p odd and q even, so that q stays even
// in lowest terms (no value for x < 0).
bool HasEvenDenominator(const ExprNode* e) {
  int32_t p = 0, q = 0;
  return WholeRatio(e, &p, &q) && q != 0 && q % 2 == 0 && p % 2 != 0;
}

// One sign question over a subtree: every node read and every ancestor a letter's binding is
// looked for among costs one unit, and past kWork units the answer is "not known" (false), so a
// question costs at most that however deep or wide the tree and however often a rule asks.
class SignReader {
 public:
  bool NonNegative(const ExprNode* n, bool evenPowers) {
    if (!Spend()) return false;
    switch (n->kind) {
      case KindNum: return IsNumberNode(n) && NumberValue(n) >= 0;
      case KindChar: return Letter(n, false);
      case KindExp:
      case KindAbs: return n->arity == 1;
      case KindSqrt:
        return n->arity == 1 || (n->arity == 2 && (IsEvenWhole(n->children[1]) || NonNegative(n->children[0], evenPowers)));
      case KindPower:
        return n->arity == 2 && ((evenPowers && IsEvenRatio(n->children[1])) || HasEvenDenominator(n->children[1]) ||
                                 NonNegative(n->children[0], evenPowers));
      case KindId:
      case KindTimes:
      case KindOver:
      case KindPlus: return n->arity > 0 && All(n, [&](const ExprNode* c) { return NonNegative(c, evenPowers); });
      default: return false;
    }
  }

  bool Positive(const ExprNode* n) {
    if (!Spend()) return false;
    switch (n->kind) {
      case KindNum: return IsNumberNode(n) && NumberValue(n) > 0;
      case KindChar: return Letter(n, true);
      case KindExp: return n->arity == 1;
      case KindPower: return n->arity == 2 && Positive(n->children[0]);
      case KindId:
      case KindTimes:
      case KindOver: return n->arity > 0 && All(n, [&](const ExprNode* c) { return Positive(c); });
      case KindPlus: {
        bool positive = false;
        const bool nonNegative = All(n, [&](const ExprNode* c) {
          positive = positive || Positive(c);
          return NonNegative(c, true);
        });
        return nonNegative && positive;
      }
      default: return false;
    }
  }

 private:
  static constexpr int kWork = 2048;

  bool Spend() { return --work_ >= 0; }

  template <class Test>
  static bool All(const ExprNode* n, Test test) {
    for (int k = 0; k < n->arity; ++k) {
      if (!test(n->children[k])) return false;
    }
    return true;
  }

  // The nearest sum or product binding the letter at its place decides (a letter in a start or
  // an end is the one outside): an index counting up from a start known non-negative (positive);
  // an integral's variable is of unknown sign. A letter nothing binds is e or pi, or of unknown
  // sign.
  bool Letter(const ExprNode* letter, bool positive) {
    const int32_t id = letter->value.symbol;
    for (const ExprNode *from = letter, *a = letter->parent; a != nullptr; from = a, a = a->parent) {
      if (!Spend()) return false;
      if (NameBoundAt(a, from, letter) != id) continue;
      if (a->kind != KindSum && a->kind != KindProd) return false;
      const ExprNode* start = a->children[1]->children[1];
      return positive ? Positive(start) : NonNegative(start, true);
    }
    const bool constant = id == kSymbolE || id == SymPi;
    return constant && !BoundIndexScope::AnyName([id](int32_t name) { return name == id; });
  }

  int work_ = kWork;
};

}  // namespace

bool WholeNumber(const ExprNode* n, int32_t* out) {
  if (IsNegation(n)) {
    if (!WholeNumber(n->children[0], out) || *out == INT32_MIN) return false;
    *out = -*out;
    return true;
  }
  return IsNumberNode(n) && AsInt32(NumberValue(n), out);
}

bool WholeRatio(const ExprNode* e, int32_t* p, int32_t* q) {
  if (IsNegation(e)) e = e->children[0];
  *q = 1;
  if (IsQuotient(e)) return WholeNumber(e->children[0], p) && WholeNumber(e->children[1], q);
  return WholeNumber(e, p);
}

bool IsWhole(const ExprNode* n) {
  int32_t v = 0;
  return WholeNumber(n, &v);
}

bool IsEvenWhole(const ExprNode* n) {
  int32_t v = 0;
  return WholeNumber(n, &v) && v % 2 == 0;
}

bool IsOddWhole(const ExprNode* n) {
  int32_t v = 0;
  return WholeNumber(n, &v) && v % 2 != 0;
}

bool IsOddRatio(const ExprNode* e) {
  int32_t p = 0, q = 0;
  return WholeRatio(e, &p, &q) && p % 2 != 0 && q % 2 != 0;
}

bool IsEvenRatio(const ExprNode* e) {
  int32_t p = 0, q = 0;
  return WholeRatio(e, &p, &q) && p % 2 == 0 && q % 2 != 0;
}

bool IsNumberRatio(const ExprNode* e) {
  if (IsNegation(e)) e = e->children[0];
  return IsNumberNode(e) || (IsQuotient(e) && IsNumberNode(e->children[0]) && IsNumberNode(e->children[1]));
}

bool HasOddDenominator(const ExprNode* e) {
  int32_t p = 0, q = 0;
  return WholeRatio(e, &p, &q) && q % 2 != 0 && q != 1 && q != -1;
}

bool HasWholeReciprocal(const ExprNode* e) {
  if (IsNegation(e)) e = e->children[0];
  if (IsQuotient(e)) return IsNumberValue(e->children[0], 1) && IsWhole(e->children[1]);
  return IsNumberValue(e, 1) || IsNumberValue(e, -1);
}

bool KnownNonNegative(const ExprNode* n, bool evenPowers) { return SignReader().NonNegative(n, evenPowers); }

bool KnownPositive(const ExprNode* n) { return SignReader().Positive(n); }

bool AllButOneKnownPositive(const ExprNode* node) {
  SignReader reader;  // one budget for the whole question
  int unknown = 0, mayBeZero = 0;
  for (int k = 0; k < node->arity && (unknown < 2 || unknown == mayBeZero); ++k) {
    if (reader.Positive(node->children[k])) continue;
    ++unknown;
    mayBeZero += reader.NonNegative(node->children[k], true) ? 1 : 0;
  }
  return unknown < 2 || unknown == mayBeZero;
}

bool AtMostOneOfUnknownSign(const ExprNode* node) {
  SignReader reader;
  int unknown = 0;
  for (int k = 0; k < node->arity && unknown < 2; ++k) unknown += reader.NonNegative(node->children[k], true) ? 0 : 1;
  return unknown < 2;
}
