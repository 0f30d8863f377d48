// Builders, the plotting classifier and tree/editor queries. Builders record every node they
// make and the parent links of their operands, so a failure part-way undoes exactly what was
// done. The classifier's rules are tried in a fixed order and the first that matches answers.
#include "kernel/trees/node_builders.h"

#include <initializer_list>

#include "kernel/memory/growable_array.h"
#include "kernel/numeric/elementary_functions.h"
#include "kernel/trees/bound_names.h"
#include "kernel/trees/tree_seams.h"

namespace {

uint8_t gFreeVariable = 0;

// What a builder made so far, and the operands' parent links and slots before it started.
class BuilderScratch {
 public:
  BuilderScratch(std::initializer_list<ExprNode*> operands) {
    for (ExprNode* operand : operands) {
      operands_[operandCount_] = operand;
      parents_[operandCount_] = operand != nullptr ? operand->parent : nullptr;
      slots_[operandCount_] = operand != nullptr ? operand->slot : 0;
      ++operandCount_;
    }
  }
  // Records a new node; false when it is null (the allocation failed).
  bool Keep(ExprNode* node) {
    if (node == nullptr) return false;
    made_[madeCount_++] = node;
    return true;
  }
  // Frees the new nodes (not their operands) and restores the operands' parent links.
  ExprNode* Fail() {
    for (int i = madeCount_ - 1; i >= 0; --i) FreeNode(made_[i]);
    for (int i = 0; i < operandCount_; ++i) {
      if (operands_[i] == nullptr) continue;
      operands_[i]->parent = parents_[i];
      operands_[i]->slot = slots_[i];
    }
    return nullptr;
  }
  bool HasNullOperand() const {
    for (int i = 0; i < operandCount_; ++i) {
      if (operands_[i] == nullptr) return true;
    }
    return false;
  }

 private:
  ExprNode* operands_[3] = {};
  ExprNode* parents_[3] = {};
  uint16_t slots_[3] = {};
  int operandCount_ = 0;
  ExprNode* made_[6] = {};
  int madeCount_ = 0;
};

ExprNode* Unary(uint32_t kind, ExprNode* a) { return a != nullptr ? NewUnaryNode(kind, a) : nullptr; }

ExprNode* Binary(uint32_t kind, ExprNode* a, ExprNode* b) {
  return a != nullptr && b != nullptr ? NewBinaryNode(kind, a, b) : nullptr;
}

// power(a, 2) within a larger builder.
ExprNode* SquareInto(BuilderScratch& s, ExprNode* a) {
  ExprNode* two = NewNumberNode(2.0);
  if (!s.Keep(two)) return nullptr;
  ExprNode* square = NewBinaryNode(KindPower, a, two);
  return s.Keep(square) ? square : nullptr;
}

enum class NegatedTerm { None, Square, One };

// plus(1, a^2) when `oneFirst`, else plus(a^2, 1), with the chosen term under a minus.
ExprNode* SumOfSquareAndOne(ExprNode* a, bool oneFirst, NegatedTerm negated) {
  BuilderScratch s{a};
  if (s.HasNullOperand()) return nullptr;
  ExprNode* square = SquareInto(s, a);
  if (square == nullptr) return s.Fail();
  ExprNode* one = NewNumberNode(1.0);
  if (!s.Keep(one)) return s.Fail();
  if (negated != NegatedTerm::None) {
    ExprNode*& term = negated == NegatedTerm::Square ? square : one;
    term = NewUnaryNode(KindMinus, term);
    if (!s.Keep(term)) return s.Fail();
  }
  ExprNode* sum = oneFirst ? NewBinaryNode(KindPlus, one, square) : NewBinaryNode(KindPlus, square, one);
  return s.Keep(sum) ? sum : s.Fail();
}

bool IsCharNode(const ExprNode* node) { return node != nullptr && node->kind == KindChar; }

bool IsCharWithId(const ExprNode* node, int32_t id) { return IsCharNode(node) && node->value.symbol == id; }

bool IsPlainVariable(const ExprNode* node) {
  if (!IsCharNode(node)) return false;
  const int32_t id = node->value.symbol;
  return !IsReservedSymbol(id) && !(gFreeVariable != 0 && id == gFreeVariable);
}

bool IsEqualOfTwo(const ExprNode* node) { return node != nullptr && node->kind == KindEqual && node->arity == 2; }

enum class Binding { BelowRoot, AtRootOrNone, AboveRoot };

// Where the nearest bounded sum binding the variable `node` at its place (its term, or the index
// itself) lies relative to `root` (null: every binder counts as below). A binder reached only
// after the walk met root (or the variable is root itself) is above it.
Binding IndexBinding(const ExprNode* node, const ExprNode* root) {
  bool metRoot = node == root;
  for (const ExprNode *from = node, *a = node->parent; a != nullptr; from = a, a = a->parent) {
    if (a->kind == KindBoundedSum && NameBoundAt(a, from, node) == node->value.symbol) {
      if (a == root) return Binding::AtRootOrNone;
      return metRoot ? Binding::AboveRoot : Binding::BelowRoot;
    }
    if (a == root) metRoot = true;
  }
  return Binding::AtRootOrNone;
}

// The node is operand 1 (the condition) of an if.
bool IsIfCondition(const ExprNode* node) {
  const ExprNode* parent = node->parent;
  return parent != nullptr && parent->kind == KindIf && parent->arity > 1 && parent->children[1] == node;
}

// The node lies in the condition of an if: it or an ancestor is operand 1 of an if.
bool InsideIfCondition(const ExprNode* node) {
  for (const ExprNode* n = node; n != nullptr; n = n->parent) {
    if (IsIfCondition(n)) return true;
  }
  return false;
}

// A plain variable inside the term of a sum that names it as its index, or that index itself.
bool BoundBySum(const ExprNode* node) {
  const int32_t id = node->value.symbol;
  return AnyBinderAbove(node, [id](const ExprNode* a, int32_t name) { return a->kind == KindSum && name == id; });
}

// A sum or bounded sum: the binders the classifier's rules read (null: no).
bool IsSumBinder(const ExprNode* node) {
  return node != nullptr && (node->kind == KindSum || node->kind == KindBoundedSum);
}

// The bounded sum whose term the node is, when the tree holds that sum (binders above the tree
// are kept apart); null when none.
const ExprNode* BoundedSumOpenedBy(const ExprNode* node, const ExprNode* tree) {
  const ExprNode* opened = node != tree ? BinderScopedAt(node) : nullptr;
  return opened != nullptr && opened->kind == KindBoundedSum ? opened : nullptr;
}

// The binder whose name `node` spells lies in the tree (at its root or below): the walk up from
// the letter meets the binder before it leaves the tree.
bool NamedInside(const ExprNode* node, const ExprNode* binder, const ExprNode* tree) {
  for (const ExprNode* n = node; n != binder; n = n->parent) {
    if (n == tree) return false;
  }
  return true;
}

// What the rules need to know about a node's ancestors, worked out by the caller: from the
// ancestors themselves (ClassifyNodeKind) or from what a walk kept (AllowedUnderScan).
struct Surroundings {
  bool plainVariable;
  bool boundBySum;        // rule 2, asked only of plain variables under ClassifySums
  Binding binding;        // rule 3, asked only of plain variables
  bool ifCondition;       // rule 8, asked only of comparisons and equations
};

bool Classify(const ExprNode* node, uint32_t flags, const Surroundings& around);

// Comma lists are values only as the argument of min, max, clamp (3 items) or mod (2 items);
// id wrappers between them do not count.
bool CommaIsArgumentList(const ExprNode* comma) {
  const ExprNode* ancestor = comma->parent;
  while (ancestor != nullptr && ancestor->kind == KindId) ancestor = ancestor->parent;
  if (ancestor == nullptr) return false;
  switch (ancestor->kind) {
    case KindMin:
    case KindMax:
      return true;
    case KindClamp:
      return comma->arity == 3;
    case KindMod:
      return comma->arity == 2;
    default:
      return false;
  }
}

// mod and clamp take one comma list of 2 or 3 items, possibly inside an id.
bool HasCommaArgument(const ExprNode* node, int items) {
  if (node->arity < 1) return false;
  const ExprNode* operand = node->children[0];
  if (operand->kind == KindId && operand->arity >= 1) operand = operand->children[0];
  return operand->kind == KindComma && operand->arity == items;
}

bool IsEvaluatorKind(uint32_t k) {
  if (k >= KindMinus && k <= KindSqrt) return true;
  switch (k) {
    case KindNum:
    case KindTimes:
    case KindPlus:
    case KindFact:
    case KindLparen:
    case KindId:
    case KindAbs:
    case KindOver:
    case KindPower:
    case KindSn:
    case KindFloor:
    case KindCeil:
    case KindLn:
    case KindExp:
    case KindArg:
    case KindImag:
    case KindReal:
    case KindBesselj:
    case KindIf:
    case KindBranch:
    case KindMin:
    case KindMax:
    case KindRe:
    case KindIm:
      return true;
    default:
      return false;
  }
}

bool IsClassifierConstant(int32_t id) { return id == kSymbolE || id == kSymbolI || id == SymPi || id == SymDegree; }

// What ClassifyNodeKind reads of a node's ancestors, for every node of one tree in one walk: the
// index names bound above each node and the if conditions it lies in are kept on the way down
// instead of found again by climbing from every node (a variable at each level of a tree n deep
// made that n^2). Root is the tree or null, as the classifier's whole-tree questions ask.
// Keeps 32 binders a stack in place and the rest on the heap, so nesting of any depth is scanned
// in one walk; only when that memory is refused, Overflowed() says the caller must ask the
// classifier node by node.
class SurroundingsScan {
 public:
  SurroundingsScan(const ExprNode* tree, const ExprNode* root) : tree_(tree), root_(root) {
    ifConditions_ = InsideIfCondition(tree) ? 1 : 0;
    AnyBinderAbove(tree, [this](const ExprNode* a, int32_t name) {
      if (IsSumBinder(a) && !outside_.Push(Binder{a->kind, name, false, nullptr})) overflowed_ = true;
      return overflowed_;
    });
  }
  ~SurroundingsScan() {
    GrowArrayFree(inside_.more);
    GrowArrayFree(outside_.more);
  }
  SurroundingsScan(const SurroundingsScan&) = delete;
  SurroundingsScan& operator=(const SurroundingsScan&) = delete;
  bool Overflowed() const { return overflowed_; }

  // The surroundings of a node just entered (the binders whose scopes hold it are on the stacks).
  Surroundings Enter(const ExprNode* node) {
    if (node != tree_ && IsIfCondition(node)) ++ifConditions_;
    const ExprNode* opened = node != tree_ ? BinderScopedAt(node) : nullptr;
    if (IsSumBinder(opened) && !inside_.Push(Binder{opened->kind, BoundNameOf(opened), opened == root_, node})) {
      overflowed_ = true;
    }
    Surroundings around{};
    around.plainVariable = IsPlainVariable(node);
    around.ifCondition = (IsComparisonKind(node->kind) || node->kind == KindEqual) && ifConditions_ > 0;
    around.binding = Binding::AtRootOrNone;
    if (around.plainVariable) {
      const int32_t name = node->value.symbol;
      around.boundBySum = Finds(inside_, KindSum, name) != nullptr || Finds(outside_, KindSum, name) != nullptr;
      if (const Binder* b = Finds(inside_, KindBoundedSum, name)) {
        around.binding = b->atRoot ? Binding::AtRootOrNone : Binding::BelowRoot;
      } else if (Finds(outside_, KindBoundedSum, name) != nullptr) {
        around.binding = root_ != nullptr ? Binding::AboveRoot : Binding::BelowRoot;
      }
      // The index letter itself is in its own sum's scope, the nearest of all.
      const ExprNode* own = BinderNamedBy(node);
      if (own != nullptr && own->kind == KindSum) around.boundBySum = true;
      if (own != nullptr && own->kind == KindBoundedSum) {
        const bool inside = NamedInside(node, own, tree_);
        around.binding = inside ? (own == root_ ? Binding::AtRootOrNone : Binding::BelowRoot)
                                : (root_ != nullptr ? Binding::AboveRoot : Binding::BelowRoot);
      }
    }
    return around;
  }
  void Leave(const ExprNode* node) {
    if (inside_.count > 0 && inside_.At(inside_.count - 1)->scope == node) inside_.Pop();
    if (node != tree_ && IsIfCondition(node)) --ifConditions_;
  }

 private:
  static constexpr int kInlineBinders = 32;
  struct Binder {
    uint32_t kind;  // KindSum or KindBoundedSum
    int32_t name;
    bool atRoot;
    const ExprNode* scope;  // the term whose walk it lasts (null above the tree)
  };
  // The first binders in place, the rest on the heap.
  struct Binders {
    Binder first[kInlineBinders];
    GrowArray<Binder> more;
    int count = 0;
    Binder* At(int i) { return i < kInlineBinders ? &first[i] : GrowArrayAt(more, i - kInlineBinders); }
    const Binder* At(int i) const { return i < kInlineBinders ? &first[i] : GrowArrayAt(more, i - kInlineBinders); }
    bool Push(const Binder& b) {
      if (count < kInlineBinders) {
        first[count++] = b;
        return true;
      }
      if (!GrowArrayAppend(more, b)) return false;
      ++count;
      return true;
    }
    void Pop() {
      if (--count >= kInlineBinders) --more.count;
    }
  };
  // The innermost binder of the kind and name.
  static const Binder* Finds(const Binders& stack, uint32_t kind, int32_t name) {
    for (int i = stack.count - 1; i >= 0; --i) {
      const Binder* b = stack.At(i);
      if (b->kind == kind && b->name == name) return b;
    }
    return nullptr;
  }
  const ExprNode* tree_;
  const ExprNode* root_;
  Binders inside_;   // binders on the path from the tree down, innermost last
  Binders outside_;  // binders above the tree, innermost first
  int ifConditions_ = 0;         // if conditions the current node lies in
  bool overflowed_ = false;
};

// Every node of the tree passes the classifier with the given root (the tree or null), or is
// accepted by `alsoAccept`. One walk with SurroundingsScan; node by node only past its capacity.
template <typename Accept>
bool EveryNode(const ExprNode* tree, uint32_t flags, const ExprNode* root, Accept alsoAccept) {
  if (tree == nullptr) return true;
  SurroundingsScan scan(tree, root);
  TreeCursor cursor(const_cast<ExprNode*>(tree), WalkOrder::kEnterAndLeave);
  for (const ExprNode* n = cursor.Current(); n != nullptr && !scan.Overflowed(); n = cursor.Next()) {
    if (!cursor.Entering()) {
      scan.Leave(n);
      continue;
    }
    Surroundings around = scan.Enter(n);
    around.boundBySum = around.boundBySum && (flags & ClassifySums) != 0;
    if (!scan.Overflowed() && !Classify(n, flags, around) && !alsoAccept(n)) return false;
  }
  if (!scan.Overflowed()) return true;
  TreeCursor slow(const_cast<ExprNode*>(tree), WalkOrder::kPreOrder);
  for (const ExprNode* n = slow.Current(); n != nullptr; n = slow.Next()) {
    if (!ClassifyNodeKind(n, flags, root) && !alsoAccept(n)) return false;
  }
  return true;
}

bool ClassifiableExtra(const ExprNode* n) {
  return n->kind == KindInterval || (gFreeVariable != 0 && IsCharWithId(n, gFreeVariable));
}

int32_t SwappedCoordinate(int32_t id) {
  if (id >= 'x' && id <= 'z') return id + kPrimeOffset;
  if (id >= 'x' + kPrimeOffset && id <= 'z' + kPrimeOffset) return id - kPrimeOffset;
  return id;
}

FormulaEditor* CurrentEditor() { return TypesettingGlobals().currentEditor; }

bool CaretIsPrompt(const FormulaEditor* editor) {
  return editor->caretNode == nullptr || editor->caretNode->kind == KindPrompt;
}

}  // namespace

// ---- Builders ----------------------------------------------------------------------------------

ExprNode* MakeTimes(ExprNode* a, ExprNode* b) { return Binary(KindTimes, a, b); }

ExprNode* MakeTimes3(ExprNode* a, ExprNode* b, ExprNode* c) {
  return a != nullptr && b != nullptr && c != nullptr ? NewTernaryNode(KindTimes, a, b, c) : nullptr;
}

ExprNode* MakePlus(ExprNode* a, ExprNode* b) { return Binary(KindPlus, a, b); }

ExprNode* MakeDifference(ExprNode* a, ExprNode* b) {
  BuilderScratch s{a, b};
  if (s.HasNullOperand()) return nullptr;
  ExprNode* negated = NewUnaryNode(KindMinus, b);
  if (!s.Keep(negated)) return s.Fail();
  ExprNode* sum = NewBinaryNode(KindPlus, a, negated);
  if (!s.Keep(sum)) return s.Fail();
  return sum;
}

ExprNode* MakeNegate(ExprNode* a) { return Unary(KindMinus, a); }

ExprNode* MakeOver(ExprNode* a, ExprNode* b) { return Binary(KindOver, a, b); }

ExprNode* MakeReciprocal(ExprNode* a) {
  BuilderScratch s{a};
  if (s.HasNullOperand()) return nullptr;
  ExprNode* one = NewNumberNode(1.0);
  if (!s.Keep(one)) return s.Fail();
  ExprNode* quotient = NewBinaryNode(KindOver, one, a);
  if (!s.Keep(quotient)) return s.Fail();
  return quotient;
}

ExprNode* MakePower(ExprNode* a, ExprNode* b) { return Binary(KindPower, a, b); }

ExprNode* MakeSquare(ExprNode* a) {
  BuilderScratch s{a};
  if (s.HasNullOperand()) return nullptr;
  ExprNode* square = SquareInto(s, a);
  return square != nullptr ? square : s.Fail();
}

ExprNode* MakeOneMinusSquare(ExprNode* a) { return SumOfSquareAndOne(a, true, NegatedTerm::Square); }

ExprNode* MakeOnePlusSquare(ExprNode* a) { return SumOfSquareAndOne(a, true, NegatedTerm::None); }

ExprNode* MakeSquareMinusOne(ExprNode* a) { return SumOfSquareAndOne(a, false, NegatedTerm::One); }

ExprNode* MakeSqrt(ExprNode* a) { return Unary(KindSqrt, a); }
ExprNode* MakeLn(ExprNode* a) { return Unary(KindLn, a); }
ExprNode* MakeSin(ExprNode* a) { return Unary(KindSin, a); }
ExprNode* MakeCos(ExprNode* a) { return Unary(KindCos, a); }
ExprNode* MakeRealPart(ExprNode* a) { return Unary(KindReal, a); }
ExprNode* MakeImagPart(ExprNode* a) { return Unary(KindImag, a); }

ExprNode* MakePartialDerivative(ExprNode* a, ExprNode* b) { return Binary(KindDerivativePartial, a, b); }

ExprNode* MakeSubstitution(ExprNode* a, ExprNode* b, ExprNode* c) {
  BuilderScratch s{a, b, c};
  if (s.HasNullOperand()) return nullptr;
  ExprNode* equation = NewBinaryNode(KindEqual, b, c);
  if (!s.Keep(equation)) return s.Fail();
  ExprNode* substitution = NewBinaryNode(KindSubstitution, a, equation);
  if (!s.Keep(substitution)) return s.Fail();
  return substitution;
}

ExprNode* MakeIndexed(ExprNode* a, ExprNode* b) {
  ExprNode* indexed = Binary(KindIndexes, a, b);
  if (indexed != nullptr) indexed->value.halves = {0, 1};
  return indexed;
}

bool HalfPowerToRoot(ExprNode* node) {
  if (node == nullptr || node->kind != KindPower || node->arity != 2) return false;
  ExprNode* half = node->children[1];
  if (half->kind != KindOver || half->arity != 2 || !IsNumberValue(half->children[0], 1.0) ||
      !IsNumberValue(half->children[1], 2.0) || !SetChildCount(node, 1)) {
    return false;
  }
  FreeExpression(half);
  node->kind = KindSqrt;
  return true;
}

// ---- Classifier --------------------------------------------------------------------------------

uint8_t FreeVariable() { return gFreeVariable; }
void SetFreeVariable(uint8_t code) { gFreeVariable = code; }

bool IsComparisonKind(uint32_t kind) { return kind >= KindLessthan && kind <= KindGeq; }

bool IsNonSmoothKind(uint32_t kind) {
  return kind == KindMod || kind == KindMin || kind == KindMax || kind == KindClamp || kind == KindSlider;
}

bool IsColumnOfRows(const ExprNode* node, int rows) {
  return node != nullptr && node->kind == KindMatrix && node->arity == rows && node->value.halves.first == rows &&
         node->value.halves.second == 1;
}

namespace {

bool Classify(const ExprNode* node, uint32_t flags, const Surroundings& around) {
  const uint32_t k = node->kind;
  const ExprNode* parent = node->parent;
  const bool plainVariable = around.plainVariable;

  // 1. Derivative forms.
  if (flags & ClassifyDerivatives) {
    if (k == KindFunction && node->arity >= 1 && node->children[0]->kind == KindOppartial) return true;
    if (k == KindOppartial && parent != nullptr && parent->kind == KindFunction && node->arity >= 1 &&
        IsCharNode(node->children[0])) {
      return true;
    }
  }
  // 2. Sums with an index equation, the equation itself and the index variable inside.
  if (flags & ClassifySums) {
    if (k == KindSum && node->arity == 3 && IsEqualOfTwo(node->children[1])) return true;
    if (k == KindEqual && parent != nullptr && parent->kind == KindSum) return true;
    if (plainVariable && around.boundBySum) return true;
  }
  // 3. Internal bounded sums and their index variables, when bound strictly below root.
  if (k == KindBoundedSum && node->arity == 3 && IsEqualOfTwo(node->children[0])) return true;
  if (k == KindEqual && parent != nullptr && parent->kind == KindBoundedSum) return true;
  if (plainVariable) {
    switch (around.binding) {
      case Binding::BelowRoot:
        return true;
      case Binding::AboveRoot:
        return false;  // an index that runs inside the subtree is never a parameter of it
      case Binding::AtRootOrNone:
        break;
    }
  }
  // 4. Parameters: non-coordinate chars and whole-number subscripts such as a_1.
  if (flags & ClassifyParameters) {
    if (k == KindChar && !IsCoordinateSymbol(node->value.symbol)) return true;
    if (k == KindIndexes && node->value.halves.first == 0 && node->value.halves.second == 1 && node->arity == 2 &&
        IsCharNode(node->children[0]) && node->children[1]->kind == KindNum &&
        node->children[1]->value.number != nullptr && IsWholeNumber(node->children[1]->value.number->value)) {
      return true;
    }
  }
  // 5.-7. Relations, comparisons, chars.
  if ((flags & ClassifyRelations) &&
      (k == KindComma || IsComparisonKind(k) || k == KindEqual || k == KindFunction || k == KindChar)) {
    return true;
  }
  if ((flags & ClassifyComparisons) && (IsComparisonKind(k) || k == KindChar)) return true;
  if ((flags & ClassifyChars) && k == KindChar) return true;
  // 8. A comparison or equation in the condition of an if.
  if ((IsComparisonKind(k) || k == KindEqual) && around.ifCondition) return true;
  // 9. Argument lists of min, max, clamp and mod.
  if (k == KindComma) return CommaIsArgumentList(node);
  // 10. mod and clamp over their argument lists.
  if (k == KindMod) return HasCommaArgument(node, 2);
  if (k == KindClamp) return HasCommaArgument(node, 3);
  // 11. Kinds the evaluator computes.
  if (IsEvaluatorKind(k)) return true;
  // 12. The constants e, i, pi and degree.
  return k == KindChar && IsClassifierConstant(node->value.symbol);
}

}  // namespace

bool ClassifyNodeKind(const ExprNode* node, uint32_t flags, const ExprNode* root) {
  if (node == nullptr) return false;
  Surroundings around{};
  around.plainVariable = IsPlainVariable(node);
  around.boundBySum = around.plainVariable && (flags & ClassifySums) != 0 && BoundBySum(node);
  around.binding = around.plainVariable ? IndexBinding(node, root) : Binding::AtRootOrNone;
  around.ifCondition = (IsComparisonKind(node->kind) || node->kind == KindEqual) && InsideIfCondition(node);
  return Classify(node, flags, around);
}

AllowedUnderScan::AllowedUnderScan(const ExprNode* tree) : tree_(tree) {
  if (tree == nullptr) return;
  ifConditions_ = InsideIfCondition(tree) ? 1 : 0;
  AnyBinderAbove(tree, [this](const ExprNode* a, int32_t name) {
    if (a->kind != KindBoundedSum || BoundOutside(name)) return false;
    if (outsideCount_ == kMaxBinders) {
      outsideLost_ = true;
      return true;
    }
    outside_[outsideCount_++] = name;
    return false;
  });
}

bool AllowedUnderScan::BoundOutside(int32_t name) const {
  for (int i = 0; i < outsideCount_; ++i) {
    if (outside_[i] == name) return true;
  }
  return false;
}

int AllowedUnderScan::Enter(const ExprNode* node, int depth) {
  if (node != tree_ && IsIfCondition(node)) ++ifConditions_;
  if (const ExprNode* sum = BoundedSumOpenedBy(node, tree_)) {
    if (bindersLost_ > 0 || binderCount_ == kMaxBinders) {
      ++bindersLost_;
    } else {
      binders_[binderCount_++] = Binder{BoundNameOf(sum), depth - 1};
    }
  }
  Surroundings around{};
  around.plainVariable = IsPlainVariable(node);
  around.binding = Binding::AtRootOrNone;  // the answer with the binder as root, or with none
  around.ifCondition = ifConditions_ > 0;
  const bool alone = Classify(node, ClassifyParameters, around);
  int limit = alone ? kNoLimit : 0;
  if (around.plainVariable) {
    // Below its binder the variable varies, at the binder the later rules answer, above it
    // the sum makes it constant. The index letter itself is in its own sum's scope, the nearest
    // of all.
    const int32_t name = node->value.symbol;
    const ExprNode* own = BinderNamedBy(node);
    int binder = binderCount_ - 1;
    while (binder >= 0 && binders_[binder].name != name) --binder;
    if (own != nullptr && own->kind == KindBoundedSum) {
      const int ownDepth = depth - (own == node->parent ? 1 : 2);
      limit = !NamedInside(node, own, tree_) ? 0 : alone ? ownDepth + 1 : ownDepth;
    } else if (bindersLost_ > 0 || (binder < 0 && (outsideLost_ || BoundOutside(name)))) {
      limit = 0;
    } else if (binder >= 0) {
      limit = alone ? binders_[binder].depth + 1 : binders_[binder].depth;
    }
  }
  return limit;
}

void AllowedUnderScan::Leave(const ExprNode* node) {
  if (BoundedSumOpenedBy(node, tree_) != nullptr) {
    if (bindersLost_ > 0) {
      --bindersLost_;
    } else {
      --binderCount_;
    }
  }
  if (node != tree_ && IsIfCondition(node)) --ifConditions_;
}

// "Can the evaluator compute it" questions let a bounded sum anywhere above bind its index;
// the constancy questions bound the walk by the tree itself.
bool AllNodesAllowed(const ExprNode* tree) {
  return EveryNode(tree, 0, nullptr, [](const ExprNode*) { return false; });
}

bool AllNodesAllowedUnder(const ExprNode* tree) {
  AllowedUnderScan scan(tree);
  TreeCursor cursor(const_cast<ExprNode*>(tree), WalkOrder::kEnterAndLeave);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (!cursor.Entering()) {
      scan.Leave(n);
    } else if (scan.Enter(n, cursor.Depth()) <= 0) {
      return false;
    }
  }
  return true;
}

bool AllNodesClassifiable(const ExprNode* tree) { return EveryNode(tree, 0, nullptr, ClassifiableExtra); }

bool IsConstantSubtree(const ExprNode* tree) {
  return EveryNode(tree, ClassifySums | ClassifyParameters, tree, ClassifiableExtra);
}

// ---- Symbol queries ----------------------------------------------------------------------------

bool IsCoordinateSymbol(int32_t id) {
  if (id >= 'x' && id <= 'z') return true;
  if (id >= 'x' + kPrimeOffset && id <= 'z' + kPrimeOffset) return true;
  switch (id) {
    case 'r':
    case 't':
    case 'u':
    case 'v':
    case 'w':
    case SymPhi:
    case SymTheta:
    case SymRho:
      return true;
    default:
      return false;
  }
}

bool IsConstantSymbol(int32_t id) {
  return id == kSymbolE || id == kSymbolI || id == SymPi || id == SymDegree || id == SymInf;
}

bool IsReservedSymbol(int32_t id) { return IsCoordinateSymbol(id) || IsConstantSymbol(id); }

bool ContainsSymbol(const ExprNode* tree, int32_t id) {
  if (tree == nullptr) return false;
  TreeCursor cursor(const_cast<ExprNode*>(tree), WalkOrder::kPreOrder);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (IsCharWithId(n, id)) return true;
  }
  return false;
}

void RenameSymbol(ExprNode* tree, int32_t from, int32_t to) {
  if (tree == nullptr) return;
  TreeCursor cursor(tree, WalkOrder::kPreOrder);
  for (ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (IsCharWithId(n, from)) n->value.symbol = static_cast<int16_t>(to);
  }
}

bool UsesComplexNumbers(const ExprNode* tree) {
  if (tree == nullptr) return false;
  TreeCursor cursor(const_cast<ExprNode*>(tree), WalkOrder::kPreOrder);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    switch (n->kind) {
      case KindArg:
      case KindImag:
      case KindReal:
      case KindRe:
      case KindIm:
        return true;
      case KindChar:
        if (n->value.symbol == kSymbolI) return true;
        break;
      default:
        break;
    }
  }
  // The whole tree goes to the document: a defined name with a complex value anywhere counts.
  return TreeUsesDefinedName(tree, GetTreeSeams().complexDefinitions);
}

bool IsFOfX(const ExprNode* node) {
  if (node == nullptr || node->kind != KindTimes || node->arity != 2) return false;
  const ExprNode* argument = node->children[1];
  return IsCharWithId(node->children[0], 'f') && argument->kind == KindId && argument->arity == 1 &&
         IsCharWithId(argument->children[0], 'x');
}

bool IsFOfXFormula() {
  const FormulaEditor* editor = CurrentEditor();
  if (editor == nullptr || editor->root == nullptr) return false;
  const ExprNode* root = editor->root;
  if (IsFOfX(root)) return true;
  return root->kind == KindEqual && root->arity >= 1 && IsFOfX(root->children[0]);
}

void FoldPrimesIntoCoordinates(ExprNode* tree) {
  if (tree == nullptr) return;
  // A fold turns prime(x) into x', which can never enable a fold above it, so the order of
  // the walk does not change the result.
  TreeCursor cursor(tree, WalkOrder::kPreOrder);
  for (ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (n->kind != KindPrime || n->arity != 1) continue;
    ExprNode* operand = n->children[0];
    if (!IsCharNode(operand) || operand->value.symbol < 'x' || operand->value.symbol > 'z') continue;
    operand->value.symbol = static_cast<int16_t>(operand->value.symbol + kPrimeOffset);
    UnwrapNode(n);
  }
}

void SwapPrimedCoordinates(ExprNode* tree) {
  if (tree == nullptr) return;
  TreeCursor cursor(tree, WalkOrder::kPreOrder);
  for (ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (IsCharNode(n)) n->value.symbol = static_cast<int16_t>(SwappedCoordinate(n->value.symbol));
  }
}

// ---- Formula editor queries --------------------------------------------------------------------

bool FormulaIsNonEmpty() {
  const FormulaEditor* editor = CurrentEditor();
  return editor != nullptr && editor->root != nullptr && editor->root->kind != KindPrompt;
}

bool IsPromptRoot(const FormulaEditor* editor) {
  return editor != nullptr && editor->root != nullptr && editor->root->kind == KindPrompt;
}

ExprNode* GetFormulaRoot(const FormulaEditor* editor) { return editor != nullptr ? editor->root : nullptr; }

int32_t GetRootBoxDescent(const FormulaEditor* editor) {
  if (editor == nullptr || editor->root == nullptr || editor->root->box == nullptr) return 0;
  return editor->root->box->descent;
}

PixelRect GetFormulaOrigin(const FormulaEditor* editor) {
  return editor != nullptr ? editor->frame : PixelRect{0, 0, 0, 0};
}

void ScrollFormulaOrigin(FormulaEditor* editor, int pixels) {
  if (editor == nullptr) return;
  editor->frame.top = static_cast<int16_t>(editor->frame.top - pixels);
}

bool SelectionIsBlock() {
  const FormulaEditor* editor = CurrentEditor();
  if (editor == nullptr || CaretIsPrompt(editor)) return false;
  return editor->selectionMode == SelectionCaretNode || SelectionRangeIsVisible(*editor);
}

bool CanApplyToSelection() {
  const FormulaEditor* editor = CurrentEditor();
  if (editor == nullptr || CaretIsPrompt(editor)) return false;
  const int mode = editor->selectionMode;
  return mode == SelectionCaretNode || mode == SelectionChildRange || mode == SelectionMatrixBlock;
}

bool CanDragSelection() {
  const FormulaEditor* editor = CurrentEditor();
  if (editor == nullptr) return false;
  const int mode = editor->selectionMode;
  return (mode == SelectionCaretNode || mode == SelectionChildRange) && CanMoveSelectedTerm();
}

bool IsEditingText() {
  const FormulaEditor* editor = CurrentEditor();
  if (editor == nullptr) return false;
  if (editor->selectionMode == SelectionText) return true;
  return editor->selectionMode == SelectionCaretAfter && editor->caretNode != nullptr &&
         editor->caretNode->kind == KindString;
}
