// The passes the simplifier hands sums, products and quotients to: like terms merged, like
// factors merged into powers, factors ordered, common factors cancelled (declared in
// simplifier.h). Each merge takes its memory first (new shells, a spare number that can stand in
// for an operand whose removal is refused), so a refusal leaves the value unchanged; after a
// removal every operand and neighbour is read from the tree again, since a two-operand node
// takes the content of the survivor and its shell is gone.
#include <algorithm>
#include <vector>

#include "algebra/command_progress.h"
#include "algebra/rewrite_primitives.h"
#include "algebra/sign_knowledge.h"
#include "algebra/simplifier.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/trees/node_builders.h"

namespace {

const ExprNode* BaseOf(const ExprNode* node) { return IsPower(node) ? node->children[0] : node; }

bool ContainsKind(const ExprNode* t, bool (*matches)(uint32_t kind)) {
  TreeCursor cursor(const_cast<ExprNode*>(t), WalkOrder::kPreOrder);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (matches(n->kind)) return true;
  }
  return false;
}

bool IsDerivativeOperatorKind(uint32_t kind) { return kind == KindOptotal || kind == KindOppartial; }

bool IsNonCommutingKind(uint32_t kind) {
  return IsDerivativeOperatorKind(kind) || kind == KindMatrix || kind == KindBra || kind == KindKet;
}

// How a factor takes part in the ordering, found in one walk: free to move, a one-way barrier
// (a matrix, bra or ket inside), or fixed in place (a derivative operator inside).
enum class Mobility : uint8_t { kFree, kBarrier, kFixed };

Mobility MobilityOf(const ExprNode* t) {
  Mobility found = Mobility::kFree;
  TreeCursor cursor(const_cast<ExprNode*>(t), WalkOrder::kPreOrder);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (IsDerivativeOperatorKind(n->kind)) return Mobility::kFixed;
    if (IsNonCommutingKind(n->kind)) found = Mobility::kBarrier;
  }
  return found;
}

// CompareForOrder with the mobility of both factors already known. Past steps 1 and 2 both
// factors are free, and so is every part of them: the descent needs no further walk, so a
// comparison costs the depth at which the two first differ.
bool CompareKnownMobility(const ExprNode* a, Mobility am, const ExprNode* b, Mobility bm) {
  if (am == Mobility::kFixed || bm == Mobility::kFixed) return false;
  if (am == Mobility::kBarrier) return false;
  if (bm == Mobility::kBarrier) return true;
  for (;;) {  // each round descends into the operands, so the loop ends
    if (IsPower(a) && IsPower(b)) {
      a = a->children[0];
      b = b->children[0];
    }
    if (IsNumberNode(b)) return false;
    if (IsNumberNode(a)) return true;
    if (a->kind != b->kind) return a->kind < b->kind;
    if (a->kind == KindChar) return CompareSymbols(a->value.symbol, b->value.symbol);
    if (a->arity == 0 || b->arity == 0 || a->kind == KindString) return false;
    const bool second = a->arity >= 2 && b->arity >= 2 && ExpressionsEqual(a->children[0], b->children[0]);
    a = a->children[second ? 1 : 0];
    b = b->children[second ? 1 : 0];
  }
}

// The coefficient of a term: a product's leading number, negated under a negation (-1 for a
// negation of anything else), 1 for every other term.
double Coefficient(const ExprNode* t) {
  if (HasNumberFirst(t, KindTimes)) return NumberValue(t->children[0]);
  if (!IsNegation(t)) return 1;
  return HasNumberFirst(t->children[0], KindTimes) ? -NumberValue(t->children[0]->children[0]) : -1;
}

// Adds c to the coefficient of term t. False, nothing changed, without memory.
bool AddCoefficient(ExprNode* t, double c) {
  if (HasNumberFirst(t, KindTimes)) {
    SetNumberValue(t->children[0], NumberValue(t->children[0]) + c);
    return true;
  }
  const bool negated = IsNegation(t);
  if (negated && HasNumberFirst(t->children[0], KindTimes)) {
    ExprNode* number = t->children[0]->children[0];
    SetNumberValue(number, NumberValue(number) - c);
    return true;
  }
  ExprNode* factor = NewNumberNode(negated ? 1 - c : 1 + c);
  if (factor != nullptr && PrependFactor(negated ? t->children[0] : t, factor)) return true;
  FreeNode(factor);
  return false;
}

// Adds delta to a power's exponent: a number in place, any other exponent e becomes e + delta,
// simplified. False, nothing changed, without memory.
bool AddToExponent(ExprNode* power, double delta) {
  ExprNode* e = power->children[1];
  if (IsNumberNode(e)) {
    SetNumberValue(e, NumberValue(e) + delta);
    return true;
  }
  ExprNode* sum = NewNode(KindPlus, 2);
  ExprNode* number = sum != nullptr ? NewNumberNode(delta) : nullptr;
  if (number == nullptr) {
    FreeNode(sum);
    return false;
  }
  SetChild(sum, 0, e);
  SetChild(sum, 1, number);
  SetChild(power, 1, sum);
  SimplifyNode(sum);
  return true;
}

// Frees the spare numbers a merge did not use. True when the fallback is still there, that is
// when no removal was refused and the pass may go on.
bool FreeSpares(ExprNode* fallback, ExprNode* other = nullptr) {
  const bool kept = fallback != nullptr;
  FreeNode(fallback);
  FreeNode(other);
  return kept;
}

// A merge that could not have its memory, nothing changed: frees its spares; false (the pass ends).
bool GiveUp(ExprNode* spare, ExprNode* other = nullptr) {
  FreeNode(spare);
  FreeNode(other);
  return false;
}

// Same bases whose exponents add (x^a x^b = x^(a + b), x^a / x^b = x^(a - b)) wherever the left
// side has a value: not for a base that may be negative with one exponent a fraction of odd
// denominator and the other no number (x^(2/3) x^n has a value at x = -1 for a whole n, while
// x^(n + 2/3) is no real odd root).
bool Combinable(const ExprNode* a, const ExprNode* b) {
  if (!SameBase(a, b)) return false;
  const ExprNode* ea = IsPower(a) ? a->children[1] : nullptr;  // null: the exponent 1
  const ExprNode* eb = IsPower(b) ? b->children[1] : nullptr;
  auto clash = [](const ExprNode* fraction, const ExprNode* other) {
    return fraction != nullptr && other != nullptr && HasOddDenominator(fraction) && !IsNumberRatio(other);
  };
  return !(clash(ea, eb) || clash(eb, ea)) || KnownNonNegative(BaseOf(a));
}

// Merges factor i into factor j (same base, i < j) of a product. The index of the merged factor
// afterwards, or -1 when the pass should end (memory refused, nothing changed or a spare left in
// place of the removed factor).
int MergeFactors(ExprNode* product, int i, int j) {
  ExprNode* a = product->children[i];
  ExprNode* b = product->children[j];
  ExprNode* spare = NewNumberNode(1);
  if (spare == nullptr) return -1;
  int merged = j - 1;  // b took a, which is removed
  if (IsPower(a) && IsPower(b) && IsNumberNode(a->children[1]) && IsNumberNode(b->children[1])) {
    AddToExponent(b, NumberValue(a->children[1]));
    SimplifyNode(b);
    RemoveOrReplace(product, i, spare);
  } else if (IsPower(a) && IsPower(b)) {
    ExprNode* sum = NewNode(KindPlus, 2);
    ExprNode* stub = sum != nullptr ? NewNumberNode(1) : nullptr;  // takes the moved exponent's slot
    if (stub == nullptr) {
      FreeNode(sum);
      GiveUp(spare);
      return -1;
    }
    SetChild(sum, 0, a->children[1]);
    SetChild(sum, 1, b->children[1]);
    SetChild(b, 1, sum);
    SetChild(a, 1, stub);
    SimplifyNode(sum);
    SimplifyNode(b);
    RemoveOrReplace(product, i, spare);
  } else if (IsPower(a) || IsPower(b)) {
    ExprNode* power = IsPower(a) ? a : b;
    if (!AddToExponent(power, 1)) {
      GiveUp(spare);
      return -1;
    }
    SimplifyNode(power);
    if (power == a) merged = i;
    RemoveOrReplace(product, power == a ? j : i, spare);
  } else {
    ExprNode* two = NewNumberNode(2);
    if (two == nullptr || !RaiseNodeTo(a, two)) {
      FreeNode(two);
      GiveUp(spare);
      return -1;
    }
    SimplifyNode(a);
    merged = i;
    RemoveOrReplace(product, j, spare);
  }
  return FreeSpares(spare) ? merged : -1;
}

// Where the two factors being cancelled stand.
enum class Column {
  kPair,             // a factor of the numerator against a factor of the denominator
  kSingle,           // against the whole denominator
  kNumeratorAlone,   // the whole numerator against a factor of the denominator
};

struct Cancellation {
  ExprNode* quotient;
  Column column;
  int ai;  // a's index in the numerator; -1 when a is the whole numerator
  int bj;  // b's index in the denominator (kPair, kNumeratorAlone)
};

// The numerator loses a: removed from a product, or replaced by 1 (then, for the whole
// denominator column, the numerator is simplified).
void DropNumeratorFactor(const Cancellation& c, ExprNode*& spare, ExprNode*& spare2) {
  ExprNode* numerator = c.quotient->children[0];
  if (c.column == Column::kPair) {
    RemoveOrReplace(numerator, c.ai, spare);
    return;
  }
  const bool whole = c.ai < 0;
  ReplaceExpression(spare2, whole ? numerator : numerator->children[c.ai]);
  spare2 = nullptr;
  if (!whole) SimplifyNode(numerator);
}

// The denominator loses b: removed from a product, or, being b itself, the quotient becomes its
// numerator.
void DropDenominatorFactor(const Cancellation& c, ExprNode*& spare) {
  if (c.column == Column::kSingle) {
    ExprNode* denominator = c.quotient->children[1];
    c.quotient->children[1] = nullptr;
    FreeExpression(denominator);
    MoveNodeInto(c.quotient->children[0], c.quotient);
  } else {
    RemoveOrReplace(c.quotient->children[1], c.bj, spare);
  }
}

// Cancels a (numerator side) against b (denominator side), bases equal. Returns false when the
// pass should end for want of memory.
bool Cancel(const Cancellation& c, ExprNode* a, ExprNode* b) {
  ExprNode* spare = NewNumberNode(1);
  ExprNode* spare2 = spare != nullptr ? NewNumberNode(1) : nullptr;
  if (spare2 == nullptr) return GiveUp(spare);
  if (IsPower(a) && IsPower(b) && IsNumberNode(a->children[1]) && IsNumberNode(b->children[1])) {
    AddToExponent(a, -NumberValue(b->children[1]));
    SimplifyNode(a);
    DropDenominatorFactor(c, spare);
  } else if (IsPower(a) && IsPower(b)) {
    ExprNode* negation = NewNode(KindMinus, 1);
    ExprNode* sum = negation != nullptr ? NewNode(KindPlus, 2) : nullptr;
    if (sum == nullptr) {
      FreeNode(negation);
      return GiveUp(spare, spare2);
    }
    SetChild(negation, 0, b->children[1]);
    SetChild(sum, 0, negation);
    SetChild(sum, 1, a->children[1]);
    SetChild(a, 1, sum);
    SetChild(b, 1, spare2);  // b is freed whole
    spare2 = nullptr;
    SimplifyNode(negation);  // -(4/3) as the number quotient -4/3, which the sum adds to 2
    SimplifyNode(sum);
    SimplifyNode(a);
    DropDenominatorFactor(c, spare);
  } else if (IsPower(a)) {
    if (!AddToExponent(a, -1)) return GiveUp(spare, spare2);
    SimplifyNode(a);
    DropDenominatorFactor(c, spare);
  } else if (IsPower(b)) {
    if (!AddToExponent(b, -1)) return GiveUp(spare, spare2);
    SimplifyNode(b);
    DropNumeratorFactor(c, spare, spare2);
  } else {
    DropNumeratorFactor(c, spare, spare2);
    DropDenominatorFactor(c, spare);
  }
  return FreeSpares(spare, spare2);
}

// Index of the first factor of a product denominator whose base matches a, or -1.
int MatchingFactor(const ExprNode* a, const ExprNode* denominator) {
  for (int j = 0; j < denominator->arity; ++j) {
    if (Combinable(a, denominator->children[j])) return j;
  }
  return -1;
}

// A key of each operand of a sum or product that operands merged by a pass share (so that the
// search for a partner compares two numbers before it walks two trees): over a product of deeply
// nested factors the walks, once a pair, made the pass cubic in the factor count, and a sum of n
// unlike terms took n^2 / 2 walks. Kept in step with the node by each merge (one key made again,
// one removed), not made again whole: n like operands merge n - 1 times. An operand whose key no
// other shares is passed over without a search (found by sorting the keys once): the derivative of
// a product of n unlike factors collects each of its n shorter products, and a search from every
// factor made each collection n^2 / 2 comparisons. Without memory for the keys every pair is
// compared as before.
class OperandKeys {
 public:
  using Key = uint64_t (*)(const ExprNode* operand);
  OperandKeys(const ExprNode* node, Key key) : node_(node), kind_(node->kind), key_(key) { Refresh(); }
  ~OperandKeys() { FreeMemory(heap_); }
  OperandKeys(const OperandKeys&) = delete;
  OperandKeys& operator=(const OperandKeys&) = delete;

  // After a merge that removed operand `removed` and left the merged operand at `merged` (an index
  // in the node as it is now): the two entries brought up to date, or all of them when the node
  // did not lose exactly that one operand. False when the merged operand surely kept its key.
  bool AfterMerge(int removed, int merged) {
    if (keys_ == nullptr || node_->kind != kind_) return true;
    if (node_->arity != count_ - 1 || merged < 0 || merged >= node_->arity) {
      Refresh();
      return true;
    }
    --count_;
    for (int k = removed; k < count_; ++k) keys_[k] = keys_[k + 1], alone_[k] = alone_[k + 1];
    const uint64_t former = keys_[merged];
    keys_[merged] = key_(node_->children[merged]);
    alone_[merged] = 0;  // its new key was not among those sorted
    // A merge that changed the key (x x + x x into 2 x^2) may give a partner to an operand that
    // had none: every operand that shares the new key is searched from again.
    if (keys_[merged] == former) return false;
    for (int k = 0; k < count_; ++k) alone_[k] = keys_[k] == keys_[merged] ? 0 : alone_[k];
    return true;
  }
  // False only when operands i and j surely do not merge.
  bool MayMatch(int i, int j) const { return keys_ == nullptr || keys_[i] == keys_[j]; }
  // True only when operand i surely merges with no other.
  bool Alone(int i) const { return keys_ != nullptr && alone_[i] != 0; }

 private:
  static constexpr int kInline = 16;
  // The keys, a flag of each (alone or not) and room to sort a copy of the keys, in one block.
  void Refresh() {
    count_ = node_->kind == kind_ ? node_->arity : 0;
    keys_ = count_ <= kInline ? inline_ : count_ <= heapSize_ ? heap_ : Grow(count_);
    if (keys_ == nullptr) return;
    alone_ = keys_ + count_;
    uint64_t* sorted = alone_ + count_;
    for (int i = 0; i < count_; ++i) sorted[i] = keys_[i] = key_(node_->children[i]);
    std::sort(sorted, sorted + count_);
    for (int i = 0; i < count_; ++i) {
      const auto [first, last] = std::equal_range(sorted, sorted + count_, keys_[i]);
      alone_[i] = last - first == 1 ? 1 : 0;
    }
  }
  uint64_t* Grow(int n) {
    FreeMemory(heap_);
    heap_ = static_cast<uint64_t*>(AllocMemory(3 * static_cast<size_t>(n) * sizeof(uint64_t)));
    heapSize_ = heap_ != nullptr ? n : 0;
    return heap_;
  }
  const ExprNode* node_;
  uint32_t kind_;
  Key key_;
  uint64_t inline_[3 * kInline];
  uint64_t* alone_ = nullptr;
  uint64_t* heap_ = nullptr;
  int heapSize_ = 0;
  uint64_t* keys_ = nullptr;
  int count_ = 0;
};

// Factors with the same base share it.
uint64_t BaseKey(const ExprNode* factor) { return StructureHash(BaseOf(factor)); }

// Like terms share it: the hashes of the factors LikeTerms compares (a leading negation and a
// product's leading number dropped; a term that is no product counts as its one factor), in order.
uint64_t TermKey(const ExprNode* t) {
  if (IsNegation(t)) t = t->children[0];
  uint64_t key = 0x51ed270b27a1c3d5u;
  auto mix = [&key](uint64_t h) { key = (key ^ h) * 0x9e3779b97f4a7c15u + (key >> 29); };
  if (t->kind != KindTimes || t->arity == 0) {
    mix(StructureHash(t));
    return key;
  }
  for (int k = IsNumberNode(t->children[0]) ? 1 : 0; k < t->arity; ++k) mix(StructureHash(t->children[k]));
  return key;
}

bool IsProduct(const ExprNode* node) { return node->kind == KindTimes && node->arity > 1; }

// When every factor is free to move: a stable merge sort, the order the exchange passes below
// give, in n log n comparisons instead of up to n squared (deep factors make each comparison
// cost their depth). std::merge never reads past its ranges, whatever the comparisons answer.
// False, nothing changed, when a factor is not free; true, nothing changed, when the command
// stopped meanwhile (its formula is put back whole). The walks and merges of many deep factors
// take seconds: each factor and each merge looks whether the user pressed Escape.
bool SortFreeFactors(ExprNode* product) {
  const int n = product->arity;
  for (int k = 0; k < n; ++k) {
    if (MathCommandStopped()) return true;
    if (MobilityOf(product->children[k]) != Mobility::kFree) return false;
  }
  std::vector<ExprNode*> factors(product->children, product->children + n), merged(n);
  const auto before = [](const ExprNode* a, const ExprNode* b) {
    return CompareKnownMobility(a, Mobility::kFree, b, Mobility::kFree);
  };
  for (int width = 1; width < n; width *= 2) {
    for (int left = 0; left < n; left += 2 * width) {
      if (MathCommandStopped()) return true;
      const int middle = std::min(left + width, n), right = std::min(left + 2 * width, n);
      std::merge(factors.begin() + left, factors.begin() + middle, factors.begin() + middle, factors.begin() + right,
                 merged.begin() + left, before);
    }
    factors.swap(merged);
  }
  for (int k = 0; k < n; ++k) SetChild(product, k, factors[k]);
  return true;
}

}  // namespace

bool ContainsNonCommuting(const ExprNode* t) { return ContainsKind(t, IsNonCommutingKind); }

bool ContainsDerivativeOperator(const ExprNode* t) { return ContainsKind(t, IsDerivativeOperatorKind); }

bool SameBase(const ExprNode* a, const ExprNode* b) {
  if (!IsPower(a) && !IsPower(b) && IsNumberValue(a, 0)) return false;
  return ExpressionsAndShapesEqual(BaseOf(a), BaseOf(b));
}

bool LikeTerms(const ExprNode* a, const ExprNode* b) {
  if (IsNegation(a)) a = a->children[0];
  if (IsNegation(b)) b = b->children[0];
  const bool aProduct = a->kind == KindTimes && a->arity > 0, bProduct = b->kind == KindTimes && b->arity > 0;
  if (aProduct && bProduct) {
    const int ai = IsNumberNode(a->children[0]) ? 1 : 0, bi = IsNumberNode(b->children[0]) ? 1 : 0;
    if (a->arity - ai != b->arity - bi) return false;
    for (int k = 0; ai + k < a->arity; ++k) {
      if (!ExpressionsAndShapesEqual(a->children[ai + k], b->children[bi + k])) return false;
    }
    return true;
  }
  if (aProduct) return a->arity == 2 && IsNumberNode(a->children[0]) && ExpressionsAndShapesEqual(a->children[1], b);
  if (bProduct) return b->arity == 2 && IsNumberNode(b->children[0]) && ExpressionsAndShapesEqual(b->children[1], a);
  return ExpressionsAndShapesEqual(a, b);
}

void CollectLikeTerms(ExprNode* sum) {
  if (sum == nullptr || sum->kind != KindPlus) return;
  OperandKeys keys(sum, TermKey);
  for (int i = 0; sum->kind == KindPlus && i < sum->arity - 1;) {
    int j = keys.Alone(i) ? sum->arity : i + 1;
    while (j < sum->arity && !(keys.MayMatch(i, j) && LikeTerms(sum->children[i], sum->children[j]))) ++j;
    if (j == sum->arity) {
      ++i;
      continue;
    }
    ExprNode* spare = NewNumberNode(0);
    ExprNode* term = sum->children[j];
    if (spare == nullptr || !AddCoefficient(term, Coefficient(sum->children[i]))) {
      FreeNode(spare);
      return;
    }
    SimplifyChildrenThenNode(term);
    RemoveOrReplace(sum, i, spare);
    if (!FreeSpares(spare)) return;
    // A merged term of a new key may have become like one the loop has passed (x^2 + x x + x x):
    // the loop goes back to it.
    const bool newKey = keys.AfterMerge(i, j - 1);
    for (int k = 0; newKey && sum->kind == KindPlus && k < i; ++k) {
      if (keys.MayMatch(k, j - 1) && LikeTerms(sum->children[k], sum->children[j - 1])) {
        i = k;
        break;
      }
    }
  }
  SwitchGuard once(&AlgebraSwitches::collectLikeTerms, false);
  SimplifyNode(sum);
}

void CollectLikeFactors(ExprNode* product) {
  if (product == nullptr) return;
  OperandKeys keys(product, BaseKey);
  for (int i = 0; product->kind == KindTimes && i < product->arity - 1;) {
    const ExprNode* a = product->children[i];
    int j = i + 1;
    if (ContainsNonCommuting(a)) {
      j = Combinable(product->children[j], a) ? j : product->arity;
    } else {
      if (keys.Alone(i)) j = product->arity;
      while (j < product->arity && !(keys.MayMatch(i, j) && Combinable(product->children[j], a))) ++j;
    }
    if (j == product->arity) {
      ++i;
      continue;
    }
    const int merged = MergeFactors(product, i, j);
    if (merged < 0) return;
    keys.AfterMerge(merged == i ? j : i, merged);
  }
}

void OrderFactors(ExprNode* product) {
  if (product == nullptr || product->kind != KindTimes) return;
  if (SortFreeFactors(product)) return;
  const int n = product->arity;
  for (int pass = 0; pass < n; ++pass) {
    bool exchanged = false;
    // The mobility of the factor now at k - 1 travels with the comparisons, so each factor is
    // walked once a pass, not once a comparison.
    Mobility earlierMobility = MobilityOf(product->children[0]);
    for (int k = 1; k < n; ++k) {
      if (MathCommandStopped()) return;  // the command's formula is put back whole
      ExprNode* later = product->children[k];
      ExprNode* earlier = product->children[k - 1];
      const Mobility laterMobility = MobilityOf(later);
      if (!CompareKnownMobility(later, laterMobility, earlier, earlierMobility)) {
        earlierMobility = laterMobility;
        continue;
      }
      SetChild(product, k - 1, later);
      SetChild(product, k, earlier);
      exchanged = true;
    }
    if (!exchanged) return;
  }
}

bool CompareSymbols(int32_t p, int32_t q) {
  auto named = [](int32_t id) { return id >= kFirstSymbolId && id <= kLastSymbolId; };
  auto latin = [](int32_t id) { return (id >= 'A' && id <= 'Z') || (id >= 'a' && id <= 'z'); };
  if (named(p) && latin(q)) return true;
  if (latin(p) && named(q)) return false;
  if (p == kSymbolE) return false;
  if (q == kSymbolE) return true;
  return p < q;
}

bool CompareForOrder(const ExprNode* a, const ExprNode* b) {
  return CompareKnownMobility(a, MobilityOf(a), b, MobilityOf(b));
}

void CancelCommonFactors(ExprNode* quotient) {
  if (!IsQuotient(quotient)) return;
  // Each cancellation removes a factor or lowers an exponent; the cap only guards the loop.
  for (int i = 0, steps = 0; IsQuotient(quotient) && IsProduct(quotient->children[0]) &&
                             i < quotient->children[0]->arity && steps < 4 * kMaxArity;
       ++steps) {
    ExprNode* numerator = quotient->children[0];
    ExprNode* denominator = quotient->children[1];
    ExprNode* a = numerator->children[i];
    if (!IsProduct(denominator)) {
      if (!Combinable(a, denominator)) {
        ++i;
        continue;
      }
      const bool goesOn = !IsPower(a) && IsPower(denominator);
      if (!Cancel({quotient, Column::kSingle, i, 0}, a, denominator) || !goesOn) return;
      continue;  // the numerator lost a, so index i holds the next factor
    }
    const int j = MatchingFactor(a, denominator);
    if (j < 0) {
      ++i;
    } else if (!Cancel({quotient, Column::kPair, i, j}, a, denominator->children[j])) {
      return;
    }
  }
  if (!IsQuotient(quotient) || IsProduct(quotient->children[0])) return;
  ExprNode* numerator = quotient->children[0];
  ExprNode* denominator = quotient->children[1];
  if (!IsProduct(denominator)) {
    if (Combinable(numerator, denominator)) Cancel({quotient, Column::kSingle, -1, 0}, numerator, denominator);
    return;
  }
  const int j = MatchingFactor(numerator, denominator);
  if (j >= 0) Cancel({quotient, Column::kNumeratorAlone, -1, j}, numerator, denominator->children[j]);
}
