// The algebra on a formula of 195 nodes: a full simplification (SimplifyExpression) and a
// full differentiation (ExpandDerivativesPass of the partial derivative by x). Each run starts
// from a fresh copy, made and freed outside the timing. Goal: under 1 ms a call.
#include <benchmark/benchmark.h>

#include <string>

#include "algebra/differentiation.h"
#include "algebra/simplifier.h"
#include "kernel/text/formula_reader.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"

namespace {

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
  SetFormulaReaderText(text.c_str());
  return ParseFormulaText();
}

template <class Run>
void Measure(benchmark::State& state, Run run) {
  ExprNode* formula = Formula();
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

void BM_DifferentiateFormula(benchmark::State& state) {
  Measure(state, [](ExprNode* tree) {
    ExprNode* derivative = MakePartialDerivative(tree, NewSymbolNode('x'));
    ExpandDerivativesPass(derivative);
    return derivative;
  });
}
BENCHMARK(BM_DifferentiateFormula)->Unit(benchmark::kMicrosecond);

}  // namespace
