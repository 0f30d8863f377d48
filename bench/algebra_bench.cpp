// The algebra on a formula of 195 nodes: a full simplification (SimplifyExpression), a full
// differentiation (ExpandDerivativesPass of the partial derivative by x), two definitions applied
// to the fixpoint, a substitution and the numeric evaluation of its constant parts; and the matrix
// arithmetic of a product of two 3 by 3 matrices and a vector. Each run starts from a fresh copy,
// made and freed outside the timing. Goal: under 1 ms a call.
// Deep nesting: the derivative of sin nested 160 and 400 deep, and IsConstantSubtree over a sum
// nested 40,000 deep with a variable at every level; the work should grow about linearly.
// Long rows: the derivative of x x ... x with 1,000 and 4,000 factors (a row of typed x's) and of
// a sum of as many unlike terms, and
// a graph build's bounded derivative (NewDerivativeFunction) of that product and of sin nested
// 1,000 and 4,000 deep, which gives up past its bound; each should stay within milliseconds,
// beside the 195-node formula above as the reference.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

#include "algebra/algebra_seams.h"
#include "algebra/differentiation.h"
#include "algebra/matrix_arithmetic.h"
#include "algebra/numeric_evaluation.h"
#include "algebra/pattern_rewriting.h"
#include "algebra/substitution.h"
#include "algebra/simplifier.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/text/formula_reader.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"

namespace {

ExprNode* Read(const std::string& text) {
  SetFormulaReaderText(text.c_str());
  return ParseFormulaText();
}

// Sums, products, quotients, powers and functions in x and y, with like terms and numbers to
// fold: fifteen terms of 12 or 14 nodes each (195 nodes).
ExprNode* Formula() {
  std::string text = "plus[";
  for (int k = 1; k <= 15; ++k) {
    const std::string c = std::to_string(k);
    text += k % 2 ? "times[" + c + ",power[x," + std::to_string(k % 4 + 1) + "],sin[plus[times[2,y]," + c + "]],x]"
                  : "over[plus[times[" + c + ",x],power[y,2],3],times[x,cos[y]," + c + "]]";
    text += k < 15 ? "," : "]";
  }
  return Read(text);
}

template <class Run>
void Measure(benchmark::State& state, Run run, ExprNode* formula = Formula()) {
  for (auto _ : state) {
    state.PauseTiming();
    ExprNode* tree = CopyExpression(formula);
    state.ResumeTiming();
    tree = run(tree);
    state.PauseTiming();
    FreeExpression(tree);
    state.ResumeTiming();
  }
  state.counters["nodes"] = CountSubtreeNodes(formula);
  FreeExpression(formula);
}

void BM_SimplifyFormula(benchmark::State& state) {
  Measure(state, [](ExprNode* tree) {
    SimplifyExpression(tree);
    return tree;
  });
}
BENCHMARK(BM_SimplifyFormula)->Unit(benchmark::kMicrosecond);

// The tree's partial derivative by x, expanded (the tree becomes its operand).
ExprNode* DerivativeByX(ExprNode* tree) {
  ExprNode* derivative = MakePartialDerivative(tree, NewSymbolNode('x'));
  ExpandDerivativesPass(derivative);
  return derivative;
}

void BM_DifferentiateFormula(benchmark::State& state) {
  Measure(state, DerivativeByX);
}
BENCHMARK(BM_DifferentiateFormula)->Unit(benchmark::kMicrosecond);

// sin(u) and cos(u) as definitions of f and g applied where the formula has sin and cos.
void BM_RewriteDefinitionsToFixpoint(benchmark::State& state) {
  ExprNode* rules = Read("list[equal[sin[dummy[u]],function[f,dummy[u]]],equal[cos[dummy[u]],function[g,dummy[u]]],"
                         "equal[function[f,dummy[u]],over[dummy[u],plus[1,power[dummy[u],2]]]]]");
  Measure(state, [rules](ExprNode* tree) {
    RewriteToFixpoint(tree, rules);
    return tree;
  });
  FreeExpression(rules);
}
BENCHMARK(BM_RewriteDefinitionsToFixpoint)->Unit(benchmark::kMicrosecond);

// substitution(formula, x = 2) applied (simplified), then its constant parts evaluated.
void BM_SubstituteAndEvaluate(benchmark::State& state) {
  Measure(state, [](ExprNode* tree) {
    ExprNode* substitution = MakeSubstitution(tree, NewSymbolNode('x'), NewNumberNode(2));
    ApplySubstitutions(substitution);
    EvaluateSubtreesNumerically(substitution);
    return substitution;
  });
}
BENCHMARK(BM_SubstituteAndEvaluate)->Unit(benchmark::kMicrosecond);

void BM_MatrixProductRewrite(benchmark::State& state) {
  Measure(state, [](ExprNode* tree) {
    SymbolicRewritePass(tree);
    return tree;
  }, Read("plus[times[matrix[3,3,a,b,c,d,e,f,g,h,k],matrix[3,3,1,2,3,x,y,z,4,5,6],matrix[3,1,x,y,z]],"
          "cross[matrix[3,1,a,b,c],matrix[3,1,x,y,z]]]"));
}
BENCHMARK(BM_MatrixProductRewrite)->Unit(benchmark::kMicrosecond);

// sin(sin(...sin(x)...)) n deep.
ExprNode* NestedSin(int n) {
  ExprNode* tree = NewSymbolNode('x');
  for (int k = 0; k < n; ++k) tree = NewUnaryNode(KindSin, tree);
  return tree;
}

void BM_DifferentiateNestedSin(benchmark::State& state) {
  Measure(state, DerivativeByX, NestedSin(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_DifferentiateNestedSin)->Arg(40)->Arg(160)->Arg(400)->Unit(benchmark::kMillisecond);

// x x ... x with n factors.
ExprNode* LongProduct(int n) {
  ExprNode* tree = NewNode(KindTimes, n);
  for (int k = 0; k < n; ++k) SetChild(tree, k, NewSymbolNode('x'));
  return tree;
}

void BM_DifferentiateLongProduct(benchmark::State& state) {
  Measure(state, DerivativeByX, LongProduct(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_DifferentiateLongProduct)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);

// x^1/1 + x^2/2 + ... + x^n/n: every term's derivative is x^(k-1), none alike.
ExprNode* LongSum(int n) {
  ExprNode* tree = NewNode(KindPlus, n);
  for (int k = 1; k <= n; ++k) {
    SetChild(tree, k - 1, NewBinaryNode(KindOver, NewBinaryNode(KindPower, NewSymbolNode('x'), NewNumberNode(k)),
                                        NewNumberNode(k)));
  }
  return tree;
}

void BM_DifferentiateLongSum(benchmark::State& state) {
  Measure(state, DerivativeByX, LongSum(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_DifferentiateLongSum)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);

// What a 2D graph build does with y = f(x): the derivative by x of the function, bounded.
void MeasureGraphDerivative(benchmark::State& state, ExprNode* tree) {
  InstallAlgebraSeams();
  CompiledFunction function{};
  InitFunction(&function, tree);
  bool given = false;
  for (auto _ : state) {
    CompiledFunction* derivative = NewDerivativeFunction(&function, 'x');
    given = derivative->tree->kind != KindNum || !std::isnan(derivative->tree->value.number->value);
    DisposeFunction(derivative);
    delete derivative;
  }
  state.counters["nodes"] = CountSubtreeNodes(function.tree);
  state.counters["derivative"] = given ? 1 : 0;  // 0: given up past the bound
  DisposeFunction(&function);
}

void BM_GraphDerivativeOfLongProduct(benchmark::State& state) {
  MeasureGraphDerivative(state, LongProduct(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_GraphDerivativeOfLongProduct)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);

// (x + 0)(x + 1) ... (x + n - 1): no two factors alike, so the derivative is given up past the
// bound; each shorter product the product rule differentiates is collected on the way.
ExprNode* UnlikeProduct(int n) {
  ExprNode* tree = NewNode(KindTimes, n);
  for (int k = 0; k < n; ++k) SetChild(tree, k, NewBinaryNode(KindPlus, NewSymbolNode('x'), NewNumberNode(k)));
  return tree;
}

void BM_GraphDerivativeOfUnlikeProduct(benchmark::State& state) {
  MeasureGraphDerivative(state, UnlikeProduct(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_GraphDerivativeOfUnlikeProduct)->Arg(1000)->Arg(4000)->Arg(8000)->Unit(benchmark::kMillisecond);

void BM_GraphDerivativeOfNestedSin(benchmark::State& state) {
  MeasureGraphDerivative(state, NestedSin(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_GraphDerivativeOfNestedSin)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);

// a + (b + (a + (b + ...))) n deep: a variable beside every sum.
void BM_IsConstantSubtreeDeep(benchmark::State& state) {
  ExprNode* tree = NewSymbolNode('a');
  for (int k = 0; k < state.range(0); ++k) tree = NewBinaryNode(KindPlus, NewSymbolNode(k % 2 ? 'a' : 'b'), tree);
  for (auto _ : state) benchmark::DoNotOptimize(IsConstantSubtree(tree));
  state.counters["nodes"] = CountSubtreeNodes(tree);
  FreeExpression(tree);
}
BENCHMARK(BM_IsConstantSubtreeDeep)->Arg(4000)->Arg(40000)->Unit(benchmark::kMillisecond);

// 40 nested bounded sums (more binders than the walk keeps in place) around a + (b + ...) n deep.
void BM_IsConstantSubtreeUnderNestedSums(benchmark::State& state) {
  ExprNode* tree = NewSymbolNode('a');
  for (int k = 0; k < state.range(0); ++k) tree = NewBinaryNode(KindPlus, NewSymbolNode(k % 2 ? 'a' : 'b'), tree);
  for (int level = 0; level < 40; ++level) {
    ExprNode* sum = NewNode(KindBoundedSum, 3);
    SetChild(sum, 0, NewBinaryNode(KindEqual, NewSymbolNode(level % 2 ? 'k' : 'j'), NewNumberNode(1)));
    SetChild(sum, 1, NewNumberNode(5));
    SetChild(sum, 2, tree);
    tree = sum;
  }
  for (auto _ : state) benchmark::DoNotOptimize(IsConstantSubtree(tree));
  state.counters["nodes"] = CountSubtreeNodes(tree);
  FreeExpression(tree);
}
BENCHMARK(BM_IsConstantSubtreeUnderNestedSums)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
