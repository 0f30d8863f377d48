// Evaluation speed of compiled functions over a 1000 x 1000 grid: the real machine and the
// interval machine against the same expressions as native C++ (the physical limit) and through
// muParser. Counters: nanoseconds per point and the ratio to native C++ per point.
#include <benchmark/benchmark.h>
#include <muParser.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "algebra/normalisation_passes.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/text/formula_reader.h"

namespace {

constexpr int kSide = 1000;
constexpr double kPoints = static_cast<double>(kSide) * kSide;
constexpr double kOrigin = -2.0;
constexpr double kStep = 4.0 / kSide;

struct Expression {
  const char* bracket;  // for the compiler
  const char* infix;    // for muParser
  double (*native)(double x, double y);
};

double NativeTranscendental(double x, double y) { return std::sin(x) * std::cos(y) + x * y / (1 + x * x); }

double NativePolynomial(double x, double y) {
  return ((((((((0.5 * x + 0.3) * x + 0.2) * x + 0.1) * x + 0.7) * x + 0.6) * x + 0.4) * x + 0.8) * x + 1.0) + y;
}

double NativeSum(double x, double y) {
  double s = 0;
  for (int n = 1; n <= 10; ++n) s = s + std::sin(n * x) / n;
  return s + y;
}

const Expression kExpressions[3] = {
    {"plus[times[sin[x],cos[y]],over[times[x,y],plus[1,power[x,2]]]]", "sin(x)*cos(y)+x*y/(1+x*x)",
     NativeTranscendental},
    {"plus[plus[times[plus[times[plus[times[plus[times[plus[times[plus[times[plus[time"
     "s[plus[times[0.5,x],0.3],x],0.2],x],0.1],x],0.7],x],0.6],x],0.4],x],0.8],x],1],y]",
     "((((((((0.5*x+0.3)*x+0.2)*x+0.1)*x+0.7)*x+0.6)*x+0.4)*x+0.8)*x+1)+y", NativePolynomial},
    {"plus[sum[over[sin[times[n,x]],n],equal[n,1],10],y]",
     "sin(1*x)/1+sin(2*x)/2+sin(3*x)/3+sin(4*x)/4+sin(5*x)/5+sin(6*x)/6+sin(7*x)/7+sin(8*x)/8+sin(9*x)/9+"
     "sin(10*x)/10+y",
     NativeSum},
};

CompiledFunction* MakeFunction(const Expression& e) {
  InstallAlgebraSeams();
  SetFormulaReaderText(e.bracket);
  auto* f = new CompiledFunction{};
  InitFunction(f, ParseFormulaText());
  return f;
}

void FreeFunction(CompiledFunction* f) {
  DisposeFunction(f);
  delete f;
}

double NativeGrid(const Expression& e) {
  double sum = 0;
  for (int j = 0; j < kSide; ++j) {
    const double y = std::fma(j, kStep, kOrigin);
    for (int i = 0; i < kSide; ++i) sum += e.native(std::fma(i, kStep, kOrigin), y);
  }
  return sum;
}

// Native nanoseconds per point, the best of three timed grids (measured once per expression).
double NativeNsPerPoint(int index) {
  static double cache[3] = {0, 0, 0};
  if (cache[index] == 0) {
    double best = 1e300;
    for (int run = 0; run < 3; ++run) {
      const auto start = std::chrono::steady_clock::now();
      benchmark::DoNotOptimize(NativeGrid(kExpressions[index]));
      const double ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
      if (ns < best) best = ns;
    }
    cache[index] = best / kPoints;
  }
  return cache[index];
}

// Runs `grid` once per iteration and reports nanoseconds per point and the ratio to native.
template <class Grid>
void Measure(benchmark::State& state, int index, Grid grid) {
  const double native = NativeNsPerPoint(index);
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(grid());
    total += std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
  }
  const double perPoint = total / (static_cast<double>(state.iterations()) * kPoints);
  state.counters["ns_per_point"] = perPoint;
  state.counters["ratio_to_native"] = perPoint / native;
}

void BM_NativeCpp(benchmark::State& state) {
  const int index = static_cast<int>(state.range(0));
  Measure(state, index, [&] { return NativeGrid(kExpressions[index]); });
}

void BM_RealMachine(benchmark::State& state) {
  const int index = static_cast<int>(state.range(0));
  CompiledFunction* f = MakeFunction(kExpressions[index]);
  EvalContext* context = CompileFunctionsShared1(f);
  PrepareSampleGrid(kOrigin, kOrigin, kStep, kStep, kSide, kSide, context);
  Measure(state, index, [&] {
    double sum = 0;
    for (int j = 0; j < kSide; ++j) {
      for (int i = 0; i < kSide; ++i) sum += EvaluateAtGridPoint(f, i, j, context);
    }
    return sum;
  });
  DisposeEvalContext(context);
  FreeFunction(f);
}

void BM_IntervalMachine(benchmark::State& state) {
  const int index = static_cast<int>(state.range(0));
  CompiledFunction* f = MakeFunction(kExpressions[index]);
  CompileFunction(f);
  Measure(state, index, [&] {
    double sum = 0;
    for (int j = 0; j < kSide; ++j) {
      const double y = std::fma(j, kStep, kOrigin);
      for (int i = 0; i < kSide; ++i) {
        const double x = std::fma(i, kStep, kOrigin);
        double lo, hi;
        EvaluateIntervalXY(f, x, x + kStep, y, y + kStep, &lo, &hi);
        sum += hi - lo;
      }
    }
    return sum;
  });
  FreeFunction(f);
}

void BM_MuParser(benchmark::State& state) {
  const int index = static_cast<int>(state.range(0));
  double x = 0, y = 0;
  mu::Parser parser;
  parser.DefineVar("x", &x);
  parser.DefineVar("y", &y);
  parser.SetExpr(kExpressions[index].infix);
  Measure(state, index, [&] {
    double sum = 0;
    for (int j = 0; j < kSide; ++j) {
      y = std::fma(j, kStep, kOrigin);
      for (int i = 0; i < kSide; ++i) {
        x = std::fma(i, kStep, kOrigin);
        sum += parser.Eval();
      }
    }
    return sum;
  });
}

// Argument: 0 transcendental expression, 1 polynomial of degree 8, 2 bounded sum of 10 terms.
// With --benchmark_repetitions=N the "min" row is the least disturbed one on a busy machine.
double Smallest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

BENCHMARK(BM_NativeCpp)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", Smallest);
BENCHMARK(BM_RealMachine)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", Smallest);
BENCHMARK(BM_IntervalMachine)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", Smallest);
BENCHMARK(BM_MuParser)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", Smallest);

}  // namespace
