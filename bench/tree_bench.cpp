// Tree walks at growing sizes, so that their growth shows: compiling a deep chain, and
// normalising and compiling a wide sum. Each size doubles the last; linear walks take about
// twice the time. Counters: time a node, and walk steps a node (TreeWalkWork), which stays flat
// for linear walks whatever the caches do.
#include <benchmark/benchmark.h>

#include <string>

#include "algebra/algebra_seams.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/trees/expr_node.h"

namespace {

void PerNode(benchmark::State& state, int nodes, uint64_t work) {
  const double visits = static_cast<double>(state.iterations()) * nodes;
  state.counters["time/node"] = benchmark::Counter(visits, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["steps/node"] = static_cast<double>(work) / visits;
}

// sin(plus(sin(plus(... x)))), `depth` levels: nothing in it is constant, so the compiler asks
// about every level.
void BM_CompileDeepChain(benchmark::State& state) {
  const int depth = static_cast<int>(state.range(0));
  ExprNode* chain = NewSymbolNode('x');
  for (int i = 0; i < depth; ++i) WrapInUnary(chain, i % 2 ? KindSin : KindPlus);
  auto* f = new CompiledFunction{};
  InitFunction(f, chain);
  const uint64_t work = TreeWalkWork();
  for (auto _ : state) CompileFunction(f);
  PerNode(state, depth + 1, TreeWalkWork() - work);
  DisposeFunction(f);
  delete f;
}
BENCHMARK(BM_CompileDeepChain)->Arg(4000)->Arg(8000)->Arg(16000)->Arg(32000)->Unit(benchmark::kMillisecond);

// plus(id(sin(times(x, y))), ...) of `width` operands, normalised (ids unwrapped) and compiled.
// Five nodes an operand keep even the smallest size past the processor's second-level cache, so
// that the sizes compare walks rather than caches.
void BM_NormaliseAndCompileWideSum(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  ExprNode* sum = NewNode(KindPlus, width);
  for (int i = 0; i < width; ++i) {
    ExprNode* product = NewBinaryNode(KindTimes, NewSymbolNode('x'), NewSymbolNode('y'));
    SetChild(sum, i, NewUnaryNode(KindId, NewUnaryNode(KindSin, product)));
  }
  InstallAlgebraSeams();
  uint64_t work = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto* f = new CompiledFunction{};
    ExprNode* tree = CopyExpression(sum);
    const uint64_t before = TreeWalkWork();
    state.ResumeTiming();
    InitFunction(f, tree);
    CompileFunction(f);
    state.PauseTiming();
    work += TreeWalkWork() - before;
    DisposeFunction(f);
    delete f;
    ReleaseNodePools();  // the next copy's nodes lie in order again, as a fresh tree's do
    state.ResumeTiming();
  }
  PerNode(state, 5 * width + 1, work);
  FreeExpression(sum);
}
BENCHMARK(BM_NormaliseAndCompileWideSum)->Arg(2500)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
