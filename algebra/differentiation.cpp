// Differentiation rules: the one-operand functions from one table of shapes, the structural
// kinds (sums, products, quotients, powers, roots and logarithms with two operands, matrices)
// by hand. Each rule builds its result as a new tree from copies (Build owns what it is given,
// so a refusal frees the partial result) and then moves it into e; a refusal makes e the symbol
// inf. Recursion goes one level a node and is bounded by IsMemoryShort's stack test; a bounded
// expansion (a graph build's) stops working the same way once DerivativeWorkExceeded, and so
// does the simplifier it calls.
#include "algebra/differentiation.h"

#include "algebra/command_progress.h"
#include "algebra/rewrite_primitives.h"
#include "algebra/simplifier.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/memory/memory_shortage.h"
#include "kernel/threads/threads.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"

namespace {

constexpr double kLog10OfE = 0.4342944819032518;

// How the derivative of f(u) is made from u and u'.
enum class Shape : uint8_t {
  kZero,          // 0
  kTimes,         // g(u) u'
  kSquareTimes,   // g(u)^2 u'
  kTwoTimes,      // g(u) h(u) u'
  kOverU,         // u' / u
  kLog10,         // (log10(e) u') / u
  kOverTwoRoot,   // u' / (2 sqrt(u))
  kOverPoly,      // u' / p(u)
  kOverRootPoly,  // u' / sqrt(p(u))
  kOverAbsRoot,   // u' / (abs(u) sqrt(p(u)))
  kOverURoot,     // u' / (u sqrt(p(u)))
};

// The polynomial p(u) of a shape.
enum class Poly : uint8_t { kNone, kOneMinusSquare, kOnePlusSquare, kSquareMinusOne, kOneMinusSquareAsNegation };

struct ChainRule {
  uint32_t kind;
  Shape shape;
  bool negated;  // the whole result under a minus
  uint32_t g = 0, h = 0;
  Poly poly = Poly::kNone;
};

constexpr ChainRule kChainRules[] = {
    {KindSgn, Shape::kZero, false},
    {KindFloor, Shape::kZero, false},
    {KindCeil, Shape::kZero, false},
    {KindLn, Shape::kOverU, false},
    {KindLog, Shape::kLog10, false},
    {KindSqrt, Shape::kOverTwoRoot, false},
    {KindExp, Shape::kTimes, false, KindExp},
    {KindAbs, Shape::kTimes, false, KindSgn},
    {KindSin, Shape::kTimes, false, KindCos},
    {KindCos, Shape::kTimes, true, KindSin},
    {KindTan, Shape::kSquareTimes, false, KindSec},
    {KindCot, Shape::kSquareTimes, true, KindCsc},
    {KindSec, Shape::kTwoTimes, false, KindSec, KindTan},
    {KindCsc, Shape::kTwoTimes, true, KindCsc, KindCot},
    {KindSinh, Shape::kTimes, false, KindCosh},
    {KindCosh, Shape::kTimes, false, KindSinh},
    {KindTanh, Shape::kSquareTimes, false, KindSech},
    {KindCoth, Shape::kSquareTimes, true, KindCsch},
    {KindSech, Shape::kTwoTimes, true, KindSech, KindTanh},
    {KindCsch, Shape::kTwoTimes, true, KindCsch, KindCoth},
    {KindAsin, Shape::kOverRootPoly, false, 0, 0, Poly::kOneMinusSquare},
    {KindAcos, Shape::kOverRootPoly, true, 0, 0, Poly::kOneMinusSquare},
    {KindAtan, Shape::kOverPoly, false, 0, 0, Poly::kOnePlusSquare},
    {KindAcot, Shape::kOverPoly, true, 0, 0, Poly::kOnePlusSquare},
    {KindAsec, Shape::kOverAbsRoot, false, 0, 0, Poly::kSquareMinusOne},
    {KindAcsc, Shape::kOverAbsRoot, true, 0, 0, Poly::kSquareMinusOne},
    {KindAsinh, Shape::kOverRootPoly, false, 0, 0, Poly::kOnePlusSquare},
    {KindAcosh, Shape::kOverRootPoly, false, 0, 0, Poly::kSquareMinusOne},
    {KindAtanh, Shape::kOverPoly, false, 0, 0, Poly::kOneMinusSquare},
    {KindAcoth, Shape::kOverPoly, false, 0, 0, Poly::kOneMinusSquareAsNegation},
    {KindAsech, Shape::kOverURoot, true, 0, 0, Poly::kOneMinusSquare},
    {KindAcsch, Shape::kOverAbsRoot, true, 0, 0, Poly::kOnePlusSquare},
};

const ChainRule* FindChainRule(uint32_t kind) {
  for (const ChainRule& rule : kChainRules) {
    if (rule.kind == kind) return &rule;
  }
  return nullptr;
}

// Set just before the derivative of a chain rule's inner function is taken, when that derivative
// becomes a factor of the rule's product: the product is simplified as a whole above it, so the
// inner product need not be ordered and merged on its own first. Read and cleared on entry.
thread_local bool tJoinsProduct = false;

// A product (or its negation) that joins the product above: its operands simplified, itself not.
// A chain n deep is then ordered and merged once at its top, not once a level.
void SimplifyFactorsOnly(ExprNode* e) {
  ExprNode* product = IsShape(e, KindMinus, 1) ? e->children[0] : e;
  for (int i = 0; i < product->arity; ++i) {
    if (product->children[i]->kind != KindTimes) SimplifyNode(product->children[i]);
  }
}

bool IsDerivativeNode(const ExprNode* node) {
  return node->kind == KindDerivativePartial || node->kind == KindDerivativeTotal;
}

// What one differentiation works with: the kind, the variable, and builders of fresh pieces.
class Differentiator {
 public:
  Differentiator(uint32_t kind, const ExprNode* v) : kind_(kind), v_(v) {}

  // A fresh copy of x differentiated, or null without memory.
  ExprNode* D(const ExprNode* x) const { return Derived(C(x)); }
  // D(x) as a factor of a product that is simplified above it.
  ExprNode* DFactor(const ExprNode* x) const {
    ExprNode* copy = C(x);
    tJoinsProduct = true;
    ExprNode* d = Derived(copy);
    tJoinsProduct = false;
    return d;
  }
  // A fresh tree differentiated in place (null passes through).
  ExprNode* Derived(ExprNode* x) const {
    if (x != nullptr) DifferentiateExpression(x, kind_, v_);
    return x;
  }
  // A fresh copy of x, or null without memory. Past a bounded pass's work the symbol inf stands
  // in: the pass's result is discarded, and the rules unwinding above would copy on for nothing.
  static ExprNode* C(const ExprNode* x) {
    return DerivativeWorkExceeded() || MathCommandStopped() ? NewSymbolNode(SymInf) : CopyTree(x);
  }
  static ExprNode* Num(double value) { return NewNumberNode(value); }
  static ExprNode* Square(ExprNode* x) { return Build(KindPower, {x, Num(2)}); }

  // x is the variable itself.
  bool IsVariable(const ExprNode* x) const {
    return v_->kind == KindChar ? IsSymbolNode(x, v_->value.symbol) : ExpressionsAndShapesEqual(x, v_);
  }
  // Under a partial derivative by a char, x holds no char of the variable.
  bool FreeOfCharVariable(const ExprNode* x) const {
    return kind_ == KindDerivativePartial && v_->kind == KindChar && !ContainsSymbol(x, v_->value.symbol);
  }

  ExprNode* Chain(const ChainRule& rule, const ExprNode* u) const;
  ExprNode* Product(const ExprNode* e) const;
  ExprNode* Quotient(const ExprNode* a, const ExprNode* b) const;
  ExprNode* Power(const ExprNode* e) const;

 private:
  ExprNode* PolyOf(Poly poly, const ExprNode* u) const;
  uint32_t kind_;
  const ExprNode* v_;
};

ExprNode* Differentiator::PolyOf(Poly poly, const ExprNode* u) const {
  switch (poly) {
    case Poly::kOneMinusSquare: return Build(KindPlus, {Num(1), Build(KindMinus, {Square(C(u))})});
    case Poly::kOnePlusSquare: return Build(KindPlus, {Num(1), Square(C(u))});
    case Poly::kSquareMinusOne: return Build(KindPlus, {Square(C(u)), Build(KindMinus, {Num(1)})});
    case Poly::kOneMinusSquareAsNegation:
      return Build(KindMinus, {Build(KindPlus, {Square(C(u)), Build(KindMinus, {Num(1)})})});
    case Poly::kNone: break;
  }
  return nullptr;
}

ExprNode* Differentiator::Chain(const ChainRule& rule, const ExprNode* u) const {
  auto g = [&](uint32_t kind) { return Build(kind, {C(u)}); };
  ExprNode* r = nullptr;
  switch (rule.shape) {
    case Shape::kZero: r = Num(0); break;
    case Shape::kTimes: r = Build(KindTimes, {g(rule.g), DFactor(u)}); break;
    case Shape::kSquareTimes: r = Build(KindTimes, {Square(g(rule.g)), DFactor(u)}); break;
    case Shape::kTwoTimes: r = Build(KindTimes, {g(rule.g), g(rule.h), DFactor(u)}); break;
    case Shape::kOverU: r = Build(KindOver, {D(u), C(u)}); break;
    case Shape::kLog10: r = Build(KindOver, {Build(KindTimes, {Num(kLog10OfE), D(u)}), C(u)}); break;
    case Shape::kOverTwoRoot: r = Build(KindOver, {D(u), Build(KindTimes, {Num(2), g(KindSqrt)})}); break;
    case Shape::kOverPoly: r = Build(KindOver, {D(u), PolyOf(rule.poly, u)}); break;
    case Shape::kOverRootPoly: r = Build(KindOver, {D(u), Build(KindSqrt, {PolyOf(rule.poly, u)})}); break;
    case Shape::kOverAbsRoot:
      r = Build(KindOver, {D(u), Build(KindTimes, {g(KindAbs), Build(KindSqrt, {PolyOf(rule.poly, u)})})});
      break;
    case Shape::kOverURoot:
      r = Build(KindOver, {D(u), Build(KindTimes, {C(u), Build(KindSqrt, {PolyOf(rule.poly, u)})})});
      break;
  }
  return rule.negated ? Build(KindMinus, {r}) : r;
}

// a B with B the remaining factors: a B' when a is constant, B a' when B is free of the
// variable under a partial derivative, a B' + B a' otherwise (B' splits B again).
ExprNode* Differentiator::Product(const ExprNode* e) const {
  const ExprNode* a = e->children[0];
  auto rest = [&]() -> ExprNode* {
    if (e->arity == 2) return C(e->children[1]);
    ExprNode* b = NewNode(KindTimes, e->arity - 1);
    for (int k = 1; b != nullptr && k < e->arity; ++k) {
      ExprNode* copy = C(e->children[k]);
      if (copy == nullptr) {
        FreeExpression(b);
        return nullptr;
      }
      SetChild(b, k - 1, copy);
    }
    return b;
  };
  if (IsNumberNode(a) || FreeOfCharVariable(a)) return Build(KindTimes, {C(a), Derived(rest())});
  ExprNode* b = rest();
  if (b != nullptr && FreeOfCharVariable(b)) return Build(KindTimes, {b, D(a)});
  return Build(KindPlus, {Build(KindTimes, {C(a), Derived(rest())}), Build(KindTimes, {b, D(a)})});
}

// (b a' - a b') / b^2.
ExprNode* Differentiator::Quotient(const ExprNode* a, const ExprNode* b) const {
  return Build(KindOver, {Build(KindPlus, {Build(KindTimes, {C(b), D(a)}),
                                           Build(KindMinus, {Build(KindTimes, {C(a), D(b)})})}),
                          Square(C(b))});
}

ExprNode* Differentiator::Power(const ExprNode* e) const {
  const ExprNode* b = e->children[0];
  const ExprNode* n = e->children[1];
  if (IsConstantSymbol(b, kSymbolE)) return Build(KindTimes, {C(e), D(n)});
  if (IsNumberNode(n)) {
    const double c = NumberValue(n);
    ExprNode* lowered = Build(KindPower, {C(b), Num(c - 1)});
    return IsVariable(b) ? Build(KindTimes, {Num(c), lowered}) : Build(KindTimes, {Num(c), lowered, D(b)});
  }
  if (FreeOfCharVariable(n)) {
    ExprNode* lowered = Build(KindPower, {C(b), Build(KindPlus, {C(n), Num(-1)})});
    return IsVariable(b) ? Build(KindTimes, {C(n), lowered}) : Build(KindTimes, {C(n), lowered, D(b)});
  }
  // b^n (ln(b) n' + (n/b) b')
  return Build(KindTimes, {C(e), Build(KindPlus, {Build(KindTimes, {Build(KindLn, {C(b)}), D(n)}),
                                                   Build(KindTimes, {Build(KindOver, {C(n), C(b)}), D(b)})})});
}

// e takes the new content; without it, e is undefined.
void Commit(ExprNode* e, ExprNode* result) {
  if (result != nullptr) {
    ReplaceExpression(result, e);
  } else {
    BecomeSymbol(e, SymInf);
  }
}

void BecomeNumber(ExprNode* e, double value) {
  if (!ReplaceWithNumber(e, value)) BecomeSymbol(e, SymInf);
}

// The two cells x then y of a matrix differentiated totally by t stay a derivative: the form of
// a system of differential equations.
bool IsPlaneSystem(const ExprNode* e, uint32_t kind, const ExprNode* v) {
  return kind == KindDerivativeTotal && IsSymbolNode(v, 't') && e->arity == 2 && IsSymbolNode(e->children[0], 'x') &&
         IsSymbolNode(e->children[1], 'y');
}

// Applies the rule of e's kind. False when the rule leaves nothing to tidy (numbers, symbols).
bool ApplyRule(ExprNode* e, uint32_t kind, const ExprNode* v) {
  const Differentiator d(kind, v);
  const int arity = e->arity;
  switch (e->kind) {
    case KindNum:
      SetNumberValue(e, 0);
      return false;
    case KindChar: {
      const int32_t id = e->value.symbol;
      if (d.IsVariable(e)) {
        BecomeNumber(e, 1);
      } else if (kind == KindDerivativePartial || id == kSymbolE || id == kSymbolI || id == SymPi || id == SymInf) {
        BecomeNumber(e, 0);
      } else {
        MakeUnevaluatedDerivative(e, v, kind);
      }
      return false;
    }
    case KindPlus:
    case KindAtop:
    case KindBranch:
      for (int i = 0; i < arity; ++i) DifferentiateExpression(e->children[i], kind, v);
      return true;
    case KindMatrix:
      if (e->value.halves.first * e->value.halves.second != arity || IsPlaneSystem(e, kind, v)) break;
      for (int i = 0; i < arity; ++i) DifferentiateExpression(e->children[i], kind, v);
      return true;
    case KindMinus:
    case KindReal:
    case KindImag:
    case KindRe:
    case KindIm:
      if (arity != 1) break;
      DifferentiateExpression(e->children[0], kind, v);
      return true;
    case KindLparen:
    case KindSum:
    case KindIf:
      if (arity < 1) break;
      DifferentiateExpression(e->children[0], kind, v);
      return true;
    case KindBoundedSum:
      if (arity != 3) break;
      DifferentiateExpression(e->children[2], kind, v);
      return true;
    case KindTimes:
      if (arity == 1) {
        DifferentiateExpression(e->children[0], kind, v);
        return true;
      }
      if (arity < 2) break;
      // Like factors merged first (x x ... x into x^n, one pass over the product): the rule
      // splits off one factor a step, so n like factors took n steps, each simplifying the rest.
      CollectLikeFactors(e);
      if (e->kind != KindTimes || e->arity != arity) return ApplyRule(e, kind, v);
      Commit(e, d.Product(e));
      return true;
    case KindOver:
      if (arity != 2) break;
      Commit(e, d.Quotient(e->children[0], e->children[1]));
      return true;
    case KindPower:
      if (arity != 2) break;
      Commit(e, d.Power(e));
      return true;
    case KindSqrt:  // the index form as a power: u^(1/m)
      if (arity != 2) break;
      Commit(e, d.Derived(Build(KindPower, {d.C(e->children[0]), Build(KindOver, {d.Num(1), d.C(e->children[1])})})));
      return true;
    case KindLog:  // the base form as a quotient: ln(u) / ln(w)
      if (arity != 2) break;
      Commit(e, d.Derived(Build(KindOver, {Build(KindLn, {d.C(e->children[0])}), Build(KindLn, {d.C(e->children[1])})})));
      return true;
    default:
      break;
  }
  const ChainRule* rule = FindChainRule(e->kind);
  if (rule != nullptr && arity == 1) {
    Commit(e, d.Chain(*rule, e->children[0]));
  } else {
    MakeUnevaluatedDerivative(e, v, kind);
  }
  return true;
}

// function(op(v[, n]), f) at `node`, as DerivativeOperatorsToNodes describes.
void OperatorToNode(ExprNode* node) {
  if (node->kind != KindFunction || node->arity != 2) return;
  ExprNode* op = node->children[0];
  ExprNode* f = node->children[1];
  if ((op->kind != KindOptotal && op->kind != KindOppartial) || op->arity < 1 || op->arity > 2) return;
  const uint32_t kind = op->kind == KindOppartial ? KindDerivativePartial : KindDerivativeTotal;
  if (op->arity == 1) {
    SetChild(node, 0, f);
    SetChild(node, 1, op->children[0]);
    FreeNode(op);
    node->kind = kind;
    return;
  }
  ExprNode* order = op->children[1];
  if (IsNumberValue(order, 0)) {  // the derivative of order 0 is the expression itself
    BecomeOperand(node, 1);
    return;
  }
  int32_t whole;
  if (IsNumberNode(order) && (!AsInt32(NumberValue(order), &whole) || whole < 0)) return;
  ExprNode* minusOne = NewNumberNode(-1);
  ExprNode* lowered = minusOne != nullptr ? NewNode(KindPlus, 2) : nullptr;
  ExprNode* variable = lowered != nullptr ? CopyTree(op->children[0]) : nullptr;
  if (variable == nullptr || !WrapInBinary(f, variable, 1, kind)) {
    FreeNode(minusOne);
    FreeNode(lowered);
    FreeExpression(variable);
    return;
  }
  SetChild(lowered, 0, order);
  SetChild(lowered, 1, minusOne);
  SetChild(op, 1, lowered);
}

// An internal node at `node` replaced by the derivative of its expression.
void DifferentiateNode(ExprNode* node) {
  if (!IsDerivativeNode(node) || node->arity != 2) return;
  DifferentiateExpression(node->children[0], node->kind, node->children[1]);
  BecomeOperand(node, 0);
}

// An internal node at `node` back in operator form; undefined (inf) without memory, so that no
// internal node outlives the pass.
void NodeToOperator(ExprNode* node) {
  if (!IsDerivativeNode(node)) return;
  ExprNode* op = node->arity == 2 ? NewNode(node->kind == KindDerivativePartial ? KindOppartial : KindOptotal, 1) : nullptr;
  if (op == nullptr) {
    BecomeSymbol(node, SymInf);
    return;
  }
  ExprNode* e = node->children[0];
  SetChild(op, 0, node->children[1]);
  SetChild(node, 0, op);
  SetChild(node, 1, e);
  node->kind = KindFunction;
}

}  // namespace

void ExpandDerivativesPass(ExprNode* tree) {
  if (tree == nullptr) return;
  UnwrapIdNodes(tree);
  DerivativeOperatorsToNodes(tree);
  DifferentiateDerivativeNodes(tree);
  DerivativeNodesToOperators(tree);
}

void DerivativeOperatorsToNodes(ExprNode* tree) { ForEachPostOrder(tree, OperatorToNode); }

void DifferentiateDerivativeNodes(ExprNode* tree) { ForEachPostOrder(tree, DifferentiateNode); }

void DerivativeNodesToOperators(ExprNode* tree) { ForEachPostOrder(tree, NodeToOperator); }

void DifferentiateExpression(ExprNode* e, uint32_t kind, const ExprNode* v) {
  const bool joinsProduct = tJoinsProduct;
  tJoinsProduct = false;
  YieldIfDue();
  if (IsMemoryShort() || DerivativeWorkExceeded() || MathCommandStopped()) {
    BecomeSymbol(e, SymInf);
  } else if (v->kind != KindChar && ExpressionsAndShapesEqual(e, v)) {
    BecomeNumber(e, 1);
  } else if (kind == KindDerivativePartial && ExpressionIndependentOf(e, v)) {
    BecomeNumber(e, 0);
  } else if (ApplyRule(e, kind, v)) {
    const ExprNode* product = IsShape(e, KindMinus, 1) ? e->children[0] : e;
    if (joinsProduct && product->kind == KindTimes) {
      SimplifyFactorsOnly(e);
    } else {
      SimplifyChildrenThenNode(e);
    }
  }
}

bool ExpressionIndependentOf(const ExprNode* e, const ExprNode* v) {
  if (v->kind == KindChar) return !ContainsSymbol(e, v->value.symbol);
  TreeCursor cursor(const_cast<ExprNode*>(e), WalkOrder::kPreOrder);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (ExpressionsAndShapesEqual(n, v)) return false;
  }
  return true;
}

void MakeUnevaluatedDerivative(ExprNode* e, const ExprNode* v, uint32_t kind) {
  ExprNode* variable = CopyTree(v);
  ExprNode* inner = variable != nullptr ? MoveContentToNewNode(e, kind, 2) : nullptr;
  if (inner == nullptr) {
    FreeExpression(variable);
    BecomeSymbol(e, SymInf);
    return;
  }
  SetChild(e, 0, inner);
  SetChild(e, 1, variable);
}
