// Nested sums against the work limit of one evaluation. One point of each machine at the limit
// (a sum whose inner bound is x, so no run can give up at once), beside a sum of 10,000 terms as
// the reference measured in the same run; traced graphs computed to completion on a 1200 x 800
// view: three nested sums of 10,000 terms (10^12 terms a point) and twenty nested sums of two
// terms (2^20 a point), both past the limit, beside three nested sums of span 40 within it; and
// the longest slice of computing a window could wait behind. Goal: every slice under 100 ms.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
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

// `levels` sums of two terms each around u.
std::string NestedPairSums(int levels) {
  std::string s = "u";
  for (int k = 0; k < levels; ++k) s = "sum[" + s + ",equal[" + std::string(1, static_cast<char>('a' + k)) + ",1],2]";
  return s;
}

constexpr const char* kTrillionTerms =
    "sum[sum[sum[over[u,times[i,j,k]],equal[k,1],10000],equal[j,1],10000],equal[i,1],10000]";
constexpr const char* kSpan40Cubed = "sum[sum[sum[times[u,i,j,k],equal[k,1],40],equal[j,1],40],equal[i,1],40]";
// The inner bound is u itself: at u = 10,000 past the limit, so every point gives up the long way.
constexpr const char* kAtTheLimit = "sum[sum[over[u,times[i,j]],equal[j,1],u],equal[i,1],10000]";
constexpr const char* kTenThousandTerms = "sum[over[u,times[n,n]],equal[n,1],10000]";

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

// The longest stretch the window could wait: a traced graph computed in slices of the smallest
// budget (each ends at the first look at the clock, a column), the longest slice in milliseconds.
// Inner bounds that follow x make every point past the limit give up the long way.
void BM_LongestSlice(benchmark::State& state, std::string text) {
  InstallAlgebraSeams();
  ViewMap map;
  SetViewMap(&map, MakeRect(0, 0, 1200, 800), 600, 399, 64, -64, 1, 1);
  double longest = 0;
  for (auto _ : state) {
    GraphTraced2D graph(NewFunctionOver(Parsed(text)), 1, new GraphColor(nullptr), kTraceFull, &map);
    while (!graph.IsComplete()) {
      const auto start = std::chrono::steady_clock::now();
      graph.Compute(1);
      longest = std::max(longest, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
  }
  state.counters["longest_slice_ms"] = longest;
}
BENCHMARK_CAPTURE(BM_LongestSlice, reference_span_40_cubed, std::string(kSpan40Cubed))->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_LongestSlice, inner_bound_u, std::string(kAtTheLimit))->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_LongestSlice, inner_bound_1000u, std::string("sum[sum[1,equal[j,1],times[1000,u]],equal[i,1],1000]"))
    ->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_TraceNestedSums, trillion_terms, std::string(kTrillionTerms))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TraceNestedSums, twenty_nested_pairs, NestedPairSums(20))->Unit(benchmark::kMillisecond);

}  // namespace
