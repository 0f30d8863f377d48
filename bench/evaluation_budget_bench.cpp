// Sums against the work bound of one evaluation. The cost of a point of the real and the interval
// machine for sums within the bound (one of 10,000 terms, and two nested of 100 and 40 cubed), the
// figures to hold against the same benchmarks before the bound changed; one point at the bound (a
// nested sum whose inner bound is x, so that no run can give up at once); and traced graphs
// computed to completion on a 1200 x 800 view: three nested sums of 10,000 terms (10^12 terms a
// point) and 28 nested sums of two terms (2^28 a point), both past the bound, beside three nested
// sums of span 40 within it.
#include <benchmark/benchmark.h>

#include <string>

#include "algebra/algebra_seams.h"
#include "graphs/core/graph_color.h"
#include "graphs/factory/factory_helpers.h"
#include "graphs/kinds2d/traced_graph.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/text/formula_reader.h"
#include "kernel/trees/expr_node.h"

namespace {

ExprNode* Parsed(const std::string& text) {
  SetFormulaReaderText(text.c_str());
  return ParseFormulaText();
}

// `levels` (at most 28) sums of two terms each around u, over letters that name nothing else.
std::string NestedPairSums(int levels) {
  const std::string letters = "abcdfghjklmnopqsABCDEFGHIJKL";
  std::string s = "u";
  for (int k = 0; k < levels; ++k) s = "sum[" + s + ",equal[" + letters[size_t(k)] + ",1],2]";
  return s;
}

constexpr const char* kTrillionTerms =
    "sum[sum[sum[over[u,times[i,j,k]],equal[k,1],10000],equal[j,1],10000],equal[i,1],10000]";
constexpr const char* kSpan40Cubed = "sum[sum[sum[times[u,i,j,k],equal[k,1],40],equal[j,1],40],equal[i,1],40]";
// The inner bound is u itself: at u = 10,000 past the bound, so every point gives up the long way.
constexpr const char* kAtTheLimit = "sum[sum[over[u,times[i,j]],equal[j,1],u],equal[i,1],10000]";
constexpr const char* kTenThousandTerms = "sum[over[u,times[n,n]],equal[n,1],10000]";
constexpr const char* kNested100Squared = "sum[sum[over[u,times[i,j]],equal[j,1],100],equal[i,1],100]";

// One point evaluation (real machine) or one box evaluation (interval machine) at u = 10,000.
void BM_OnePoint(benchmark::State& state, const char* text, bool box) {
  InstallAlgebraSeams();
  CompiledFunction* f = NewFunctionOver(Parsed(text));
  CompileFunction(f);
  for (auto _ : state) {
    if (box) {
      double lo, hi;
      EvaluateIntervalX(f, 10000, 10000, &lo, &hi);
      benchmark::DoNotOptimize(lo);
    } else {
      benchmark::DoNotOptimize(EvaluateFunction1(f, 10000));
    }
  }
  DeleteCompiledFunction(f);
}
BENCHMARK_CAPTURE(BM_OnePoint, reference_10000_terms_point, kTenThousandTerms, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OnePoint, reference_10000_terms_box, kTenThousandTerms, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OnePoint, nested_100_squared_point, kNested100Squared, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OnePoint, nested_100_squared_box, kNested100Squared, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OnePoint, span_40_cubed_point, kSpan40Cubed, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OnePoint, at_the_limit_point, kAtTheLimit, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OnePoint, at_the_limit_box, kAtTheLimit, true)->Unit(benchmark::kMillisecond);

void BM_TraceNestedSums(benchmark::State& state, std::string text) {
  InstallAlgebraSeams();
  ViewMap map;
  SetViewMap(&map, MakeRect(0, 0, 1200, 800), 600, 399, 64, -64, 1, 1);
  // A graph built afresh each time: a code remembers that its runs give up.
  for (auto _ : state) {
    GraphTraced2D graph(NewFunctionOver(Parsed(text)), 1, new GraphColor(nullptr), kTraceFull, &map);
    graph.Compute(1 << 30);
    benchmark::DoNotOptimize(graph.Columns());
  }
}
BENCHMARK_CAPTURE(BM_TraceNestedSums, reference_span_40_cubed, std::string(kSpan40Cubed))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TraceNestedSums, trillion_terms, std::string(kTrillionTerms))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TraceNestedSums, nested_pairs_28, NestedPairSums(28))->Unit(benchmark::kMillisecond);

}  // namespace
