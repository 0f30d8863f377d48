// Symbolic differentiation: every rule of the derivative table against central differences of the
// test evaluator (first and second order), random expressions likewise, the edge cases as
// goldens of ExpandDerivativesPass, orders, unevaluated forms, shortage and malformed operands,
// and derivative functions compiled through the kernel's seam.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "kernel/eval/compiled_function.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/trees/node_builders.h"
#include "tests/algebra/algebra_test_support.h"

namespace {

using namespace algebra_test;

// d/dx (or d2/dx2, by differentiating twice) of a copy of f, expanded.
ExprNode* Derivative(const ExprNode* f, int order) {
  ExprNode* d = CopyExpression(f);
  for (int k = 0; k < order; ++k) {
    d = Build(KindFunction, {Build(KindOppartial, {NewSymbolNode('x')}), d});
    ExpandDerivativesPass(d);
  }
  return d;
}

// The order-th derivative by x at the point by central differences; NaN where a part of f is not
// finite or steps of h and 2h disagree (a pole or a kink nearby), so only smooth points count.
double CentralDifference(const ExprNode* f, const Values& at, int order) {
  TreeCursor cursor(const_cast<ExprNode*>(f), WalkOrder::kPreOrder);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (!std::isfinite(Evaluate(n, at))) return NAN;
  }
  auto value = [&](double dx) {
    Values p = at;
    p['x'] += dx;
    return Evaluate(f, p);
  };
  auto step = [&](double h) {
    return order == 1 ? (value(h) - value(-h)) / (2 * h) : (value(h) - 2 * value(0) + value(-h)) / (h * h);
  };
  const double h = order == 1 ? 1e-5 : 1e-3, a = step(h);
  return Close(a, step(2 * h), order == 1 ? 1e-6 : 1e-4) ? a : NAN;
}

// Compares the symbolic derivatives of f of order 1 and 2 with central differences at the
// points; returns how many comparisons were made.
int CompareWithDifferences(const ExprNode* f, const std::vector<Values>& points) {
  int compared = 0;
  for (int order = 1; order <= 2; ++order) {
    ExprNode* d = Derivative(f, order);
    EXPECT_TRUE(CheckExpressionTree(d));
    TreeCursor cursor(d, WalkOrder::kPreOrder);  // no internal derivative node outlives the pass
    for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
      EXPECT_TRUE(n->kind != KindDerivativePartial && n->kind != KindDerivativeTotal) << Text(d);
    }
    for (const Values& at : points) {
      const double expected = CentralDifference(f, at, order), got = Evaluate(d, at);
      if (!std::isfinite(expected)) continue;
      ++compared;
      EXPECT_TRUE(Close(got, expected, order == 1 ? 1e-6 : 1e-3))
          << "d" << order << " of " << Text(f) << " at x = " << at.at('x') << ": " << got << " vs " << expected << "\n  " << Text(d);
    }
    FreeExpression(d);
  }
  return compared;
}

// Every kind of the table and every structural rule, over an inner function that keeps the
// argument in the kind's domain. Catches sign errors, swapped rows and wrong constants.
TEST_F(AlgebraTest, EveryRuleAgreesWithCentralDifferences) {
  const char* linear = "plus[times[2,x],0.3]";  // 1.3 .. 4.3 at the points
  const char* small = "times[0.3,x]";           // 0.15 .. 0.6: inside (-1, 1)
  const char* large = "plus[power[x,2],1.5]";   // 1.75 .. 5.5: outside [-1, 1]
  const struct { const char* kind; const char* inner; } unary[] = {
      {"sin", linear}, {"cos", linear}, {"tan", small}, {"cot", linear}, {"sec", small}, {"csc", linear},
      {"sinh", linear}, {"cosh", linear}, {"tanh", linear}, {"coth", linear}, {"sech", linear}, {"csch", linear},
      {"asin", small}, {"acos", small}, {"atan", linear}, {"acot", linear}, {"asec", large}, {"acsc", large},
      {"asinh", linear}, {"acosh", large}, {"atanh", small}, {"acoth", large}, {"asech", small}, {"acsch", linear},
      {"ln", large}, {"log", large}, {"exp", linear}, {"sqrt", large}, {"abs", linear}, {"sgn", linear},
      {"floor", linear}, {"ceil", linear}, {"minus", linear}};
  std::vector<std::string> texts;
  for (const auto& u : unary) texts.push_back(std::string(u.kind) + "[" + u.inner + "]");
  for (const char* text : {"times[x,sin[x],y]", "over[sin[x],plus[x,2]]", "power[x,x]", "power[x,-2.5]", "power[e,times[x,x]]",
                           "power[2,x]", "power[x,y]", "sqrt[plus[x,1],3]", "log[plus[x,2],x]", "times[3,power[x,4]]",
                           "plus[x,times[-1,y],minus[power[x,3]]]", "power[sin[x],y]", "times[y,power[x,2]]"}) {
    texts.push_back(text);
  }
  const std::vector<Values> points = {{{'x', 0.55}, {'y', 1.3}}, {{'x', 0.8}, {'y', 1.3}}, {{'x', 1.1}, {'y', 1.3}},
                                      {{'x', 1.45}, {'y', 1.3}}, {{'x', 1.9}, {'y', 1.3}}};
  for (const std::string& text : texts) {
    ExprNode* f = Tree(text);
    EXPECT_GE(CompareWithDifferences(f, points), 6) << text << ": too few smooth points";
    FreeExpression(f);
  }
}

// A thousand random expressions over every function of the table, both orders.
TEST_F(AlgebraTest, RandomExpressionsAgreeWithCentralDifferences) {
  RandomExpressions random(7, {KindSin, KindCos, KindTan, KindCot, KindSec, KindCsc, KindSinh, KindCosh, KindTanh,
                               KindCoth, KindSech, KindCsch, KindAsin, KindAcos, KindAtan, KindAcot, KindAsec, KindAcsc,
                               KindAsinh, KindAcosh, KindAtanh, KindAcoth, KindAsech, KindAcsch, KindExp, KindAbs});
  int compared = 0;
  for (int i = 0; i < 1000; ++i) {
    ExprNode* f = random.Make(3);
    compared += CompareWithDifferences(f, {random.Point(), random.Point()});
    FreeExpression(f);
  }
  EXPECT_GT(compared, 1500);
}

TEST_F(AlgebraTest, DerivativeEdgeCasesGiveTheirGoldens) {
  const struct { const char* before; const char* after; } cases[] = {
      {"function[optotal[x],power[x,3]]", "times[3,power[x,2]]"},
      {"function[optotal[x],5]", "0"},
      {"function[optotal[x],pi]", "0"},
      {"function[optotal[x],power[e,x]]", "power[e,x]"},  // e^x 1 after the tidy-up
      {"function[oppartial[x],times[x,y]]", "y"},           // y 1 after the tidy-up
      // d/dx y stays unevaluated, back in operator form: no internal node is left
      {"function[optotal[x],times[x,y]]", "plus[times[x,function[optotal[x],y]],y]"},
      {"function[optotal[x,2],power[x,3]]", "function[optotal[x,plus[2,-1]],times[3,power[x,2]]]"},
      {"function[optotal[x,0],power[x,3]]", "power[x,3]"},  // order 0: the expression itself
      {"function[optotal[x,-1],x]", "function[optotal[x,-1],x]"},
      {"function[optotal[x,0.5],x]", "function[optotal[x,0.5],x]"},
      {"function[optotal[t],matrix[2,1,x,y]]", "function[optotal[t],matrix[2,1,x,y]]"},
      {"function[optotal[t],matrix[2,1,y,x]]", "matrix[2,1,function[optotal[t],y],function[optotal[t],x]]"},
      {"function[oppartial[power[x,2]],power[x,2]]", "1"},  // a variable that is not a symbol
      {"function[optotal[x],function[f,x]]", "function[optotal[x],function[f,x]]"},
      {"function[optotal[x],fact[x]]", "function[optotal[x],fact[x]]"},
      {"function[optotal[x],integral[x,x]]", "function[optotal[x],integral[x,x]]"},
      {"function[optotal[x],sin[]]", "function[optotal[x],sin[]]"},
      {"function[oppartial[x],function[oppartial[y],times[x,y]]]", "1"},
      {"plus[id[function[oppartial[x],sin[x]]],1]", "plus[cos[x],1]"},
  };
  for (const auto& c : cases) EXPECT_TRUE(Rewrites(ExpandDerivativesPass, c.before, c.after));
  ExprNode* broken = Tree("function[optotal[x],matrix[2,2,x,x,x,x]]");
  DeleteChildAt(broken->children[1], 3);  // three cells under a 2 x 2 value word: left unevaluated
  ExpandDerivativesPass(broken);
  EXPECT_TRUE(broken->kind == KindFunction && broken->children[1]->arity == 3 && CheckExpressionTree(broken));
  FreeExpression(broken);
  // A higher order loses one order a run; simplified in between, the second run ends it.
  ExprNode* tree = Tree("function[optotal[x,2],power[x,3]]");
  ExpandDerivativesPass(tree);
  SimplifyExpression(tree);
  EXPECT_TRUE(Is(tree, "function[optotal[x],times[3,power[x,2]]]"));
  ExpandDerivativesPass(tree);
  EXPECT_TRUE(Is(tree, "times[6,x]"));
  FreeExpression(tree);
}

// A matrix variable is its cells in its shape: by the row (a b), the row is 1 and a column of the
// same cells is a constant like any other expression free of the row (goldens by hand).
TEST_F(AlgebraTest, DerivativesByAMatrixTellRowsFromColumns) {
  const struct { const char* before; const char* after; } cases[] = {
      {"function[oppartial[matrix[1,2,a,b]],matrix[1,2,a,b]]", "1"},
      {"function[oppartial[matrix[1,2,a,b]],matrix[2,1,a,b]]", "0"},
      {"function[oppartial[matrix[1,2,a,b]],times[3,matrix[1,2,a,b]]]", "3"},
      {"function[oppartial[matrix[1,2,a,b]],times[3,matrix[2,1,a,b]]]", "0"},
      {"function[oppartial[matrix[1,2,a,b]],power[matrix[2,1,a,b],2]]", "0"},
      {"function[optotal[matrix[1,2,a,b]],power[matrix[1,2,a,b],3]]", "times[3,power[matrix[1,2,a,b],2]]"},
      // the chain rule, the column's cells left to their own unevaluated derivatives
      {"function[optotal[matrix[1,2,a,b]],power[matrix[2,1,a,b],3]]",
       "times[3,power[matrix[2,1,a,b],2],matrix[2,1,function[optotal[matrix[1,2,a,b]],a],function[optotal[matrix[1,2,a,b]],b]]]"},
  };
  for (const auto& c : cases) EXPECT_TRUE(Rewrites(ExpandDerivativesPass, c.before, c.after));
}

// sin nested a hundred deep: the derivative is the product of the hundred cosines of the inner
// chains (chain rule, computed here in doubles), ordered once, with no factor left to merge.
TEST_F(AlgebraTest, DeeplyNestedFunctionsDifferentiate) {
  constexpr int kDepth = 100;
  ExprNode* f = NewSymbolNode('x');
  for (int k = 0; k < kDepth; ++k) f = Build(KindSin, {f});
  ExprNode* d = Derivative(f, 1);
  double inner = 0.7, expected = 1;
  for (int k = 0; k < kDepth; ++k) {
    expected *= std::cos(inner);
    inner = std::sin(inner);
  }
  EXPECT_TRUE(IsShape(d, KindTimes, kDepth) && CheckExpressionTree(d)) << d->kind << " " << d->arity;
  EXPECT_TRUE(Close(Evaluate(d, {{'x', 0.7}}), expected, 1e-12)) << Evaluate(d, {{'x', 0.7}}) << " vs " << expected;
  OrderFactors(d);
  EXPECT_TRUE(IsShape(d->children[0], KindCos, 1) && IsSymbolNode(d->children[0]->children[0], 'x'));  // cos(x) first
  FreeExpression(f);
  FreeExpression(d);
}

// While memory is short the expression becomes inf (undefined), also when the stack runs short
// on a deep tree; a refused allocation anywhere leaves a valid tree holding either the derivative
// or inf, and nothing leaks.
TEST_F(AlgebraTest, ShortMemoryGivesInfinity) {
  SetOutOfMemoryFlag(true);
  EXPECT_TRUE(Rewrites(ExpandDerivativesPass, "function[optotal[x],sin[x]]", "inf"));
  SetOutOfMemoryFlag(false);
  ExprNode* chain = tree_test::Chain(KindMinus, 200000);  // deep enough to run short of stack
  ExprNode* d = Build(KindDerivativeTotal, {chain, NewSymbolNode('x')});
  DifferentiateDerivativeNodes(d);
  EXPECT_TRUE(CheckExpressionTree(d) && ContainsSymbol(d, SymInf));
  FreeExpression(d);
  SetOutOfMemoryFlag(false);
  ExprNode* f = Tree("over[times[x,sin[x]],plus[power[x,y],1]]");
  const Values at{{'x', 1.3}, {'y', 0.7}};
  const double expected = CentralDifference(f, at, 1);
  WithEachAllocationRefused("function[oppartial[x],over[times[x,sin[x]],plus[power[x,y],1]]]", ExpandDerivativesPass,
                            [&](const ExprNode* d, uint64_t n) {
                              EXPECT_TRUE(ContainsSymbol(d, SymInf) || Close(Evaluate(d, at), expected, 1e-6)) << n << " " << Text(d);
                            });
  FreeExpression(f);
}

// NewDerivativeFunction and derivative nodes in a formula compile to the real derivatives
// (hand-computed at the points); short memory and a missing source give an undefined function.
TEST_F(AlgebraTest, DerivativeFunctionsCompileThroughTheSeam) {
  checkBytes_ = false;  // compiles grow the process-wide evaluation scratch
  auto* f = new CompiledFunction{};
  InitFunction(f, Tree("times[power[x,2],sin[y]]"));
  const struct { const CompiledFunction* source; int32_t symbol; bool memoryShort; double expected; } cases[] = {
      {f, 'x', false, 2 * 3 * std::sin(2.0)}, {f, 'y', false, 9 * std::cos(2.0)}, {f, 'x', true, NAN}, {nullptr, 'x', false, NAN}};
  for (const auto& c : cases) {
    SetOutOfMemoryFlag(c.memoryShort);
    CompiledFunction* d = NewDerivativeFunction(c.source, c.symbol);
    SetOutOfMemoryFlag(false);
    CompileFunction(d);
    EXPECT_TRUE(Close(EvaluateFunction2(d, 3, 2), c.expected)) << EvaluateFunction2(d, 3, 2);
    DisposeFunction(d);
    delete d;
  }
  ExprNode* formula = Tree("plus[function[oppartial[x],power[x,3]],function[optotal[x],cos[x]]]");
  ExpandDerivatives(formula);  // the kernel's seam
  DisposeFunction(f);
  InitFunction(f, formula);
  CompileFunction(f);
  EXPECT_TRUE(Close(EvaluateFunction2(f, 0.5, 0), 3 * 0.25 - std::sin(0.5)));
  DisposeFunction(f);
  delete f;
}

// x x ... x with n factors.
ExprNode* LongProduct(int n) {
  ExprNode* tree = NewNode(KindTimes, n);
  for (int k = 0; k < n; ++k) SetChild(tree, k, NewSymbolNode('x'));
  return tree;
}

// sin(sin(...sin(x)...)) n deep.
ExprNode* NestedSin(int n) {
  ExprNode* tree = NewSymbolNode('x');
  for (int k = 0; k < n; ++k) tree = NewUnaryNode(KindSin, tree);
  return tree;
}

// Like factors are merged once, before the product rule splits the product: x x ... x is
// differentiated as x^n (goldens by hand: n x^(n-1)), with factors free of x kept outside, and
// the value checked against central differences.
TEST_F(AlgebraTest, ProductsOfLikeFactorsDifferentiateAsPowers) {
  const struct { const char* product; const char* derivative; } cases[] = {
      {"times[x,x]", "times[2,x]"},
      {"times[x,x,x]", "times[3,power[x,2]]"},
      {"times[x,y,x]", "times[2,x,y]"},
      {"times[x,power[x,2],x]", "times[4,power[x,3]]"},
      {"times[2,x,x,y,x]", "times[6,y,power[x,2]]"},
      {"times[x,power[x,minus[1]]]", "0"},
      {"times[sin[x],x,sin[x]]", "plus[power[sin[x],2],times[2,x,sin[x],cos[x]]]"},
  };
  const std::vector<Values> points = {{{'x', 0.7}, {'y', 1.3}}, {{'x', 1.9}, {'y', -0.4}}};
  for (const auto& c : cases) {
    ExprNode* f = Tree(c.product);
    ExprNode* d = Derivative(f, 1);
    EXPECT_TRUE(Is(d, c.derivative)) << c.product;
    for (const Values& at : points) {
      const double expected = CentralDifference(f, at, 1);
      if (std::isfinite(expected)) {
        EXPECT_TRUE(Close(Evaluate(d, at), expected, 1e-5)) << c.product << " " << Text(d);
      }
    }
    FreeExpression(d);
    FreeExpression(f);
  }
  // 4,000 factors, as a row of typed x's makes: one merge pass, then the power rule.
  ExprNode* f = LongProduct(4000);
  ExprNode* d = Derivative(f, 1);
  ExprNode* expected = Tree("times[4000,power[x,3999]]");
  EXPECT_TRUE(ExpressionsEqual(d, expected)) << Text(d);
  FreeExpression(expected);
  FreeExpression(d);
  FreeExpression(f);
}

// A graph build's derivative is bounded: sin nested 800 deep (a derivative of some 320,000 nodes,
// whose simplification walks grow with the cube of the depth) is given up, a function of NaN that
// the graph goes without; a shallower chain and the long product are worked out (values by hand:
// the product of the cosines down the chain).
TEST_F(AlgebraTest, AGraphBuildGivesUpADerivativePastItsBound) {
  checkBytes_ = false;  // compiles grow the process-wide evaluation scratch
  const struct { ExprNode* tree; bool given; } cases[] = {
      {NestedSin(30), true}, {NestedSin(800), false}, {LongProduct(4000), true},
  };
  for (const auto& c : cases) {
    auto* f = new CompiledFunction{};
    InitFunction(f, c.tree);
    const size_t blocksBefore = NodePoolBlocksInUse();
    CompiledFunction* d = NewDerivativeFunction(f, 'x');
    ASSERT_NE(d, nullptr);
    const bool given = !(d->tree->kind == KindNum && std::isnan(d->tree->value.number->value));
    EXPECT_EQ(given, c.given) << CountSubtreeNodes(f->tree) << " nodes";
    EXPECT_FALSE(DerivativeWorkExceeded()) << "the bound ends with its expansion";
    if (given) {
      CompileFunction(d);
      const double x = 0.6;
      double expected = 1, u = x;
      if (c.tree->kind == KindTimes) {
        expected = 4000 * std::pow(x, 3999);
      } else {
        for (int k = 0; k < 30; ++k) {
          expected *= std::cos(u);
          u = std::sin(u);
        }
      }
      EXPECT_TRUE(Close(EvaluateFunction2(d, x, 0), expected, 1e-9)) << EvaluateFunction2(d, x, 0);
    }
    DisposeFunction(d);
    delete d;
    EXPECT_EQ(NodePoolBlocksInUse(), blocksBefore) << "what was given up is freed";
    DisposeFunction(f);
    delete f;
  }
  // Without a bound the same pass works the chain out whole: the bound is the graph build's.
  ExprNode* chain = NestedSin(60);
  ExprNode* whole = Derivative(chain, 1);
  EXPECT_EQ(CountSubtreeNodes(whole), 60 * 63 / 2 + 1) << "cosines of sin chains 0..59 deep in one product";
  FreeExpression(whole);
  FreeExpression(chain);
}

// Trees of any shape the reader accepts (every kind, any operand count, odd numbers and texts):
// simplifying and differentiating them reads no missing operand and leaves valid trees.
TEST_F(AlgebraTest, TreesOfAnyShapeStayValid) {
  tree_test::RandomTree random(5);
  for (int i = 0; i < 3000; ++i) {
    ExprNode* tree = random.Make(4);
    ExprNode* d = Build(KindFunction, {Build(KindOptotal, {NewSymbolNode('x')}), CopyExpression(tree)});
    SimplifyExpression(tree);
    ExpandDerivativesPass(d);
    EXPECT_TRUE(CheckExpressionTree(tree) && CheckExpressionTree(d)) << Text(tree);
    FreeExpression(tree);
    FreeExpression(d);
  }
}

}  // namespace
