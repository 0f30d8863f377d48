// The interval machine's cost per box on the evaluation benchmark's expressions, with bounds
// rounded outward and with round-to-nearest, in one run: the kernel is built twice into modules
// that differ only by QV_INTERVAL_ROUND_TO_NEAREST (bench/CMakeLists.txt) and each iteration times
// one grid of boxes through each, box by box and by blocks. Counters: ns per box of both and the
// outward/nearest ratio.
#include <algorithm>
#include <chrono>
#include <cmath>

#include "algebra/normalisation_passes.h"
#include "kernel/eval/block_evaluation.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/text/formula_reader.h"

namespace {

constexpr int kSide = 300;
constexpr double kOrigin = -2.0;
constexpr double kStep = 4.0 / kSide;

// The evaluation benchmark's expressions: transcendental, a degree-8 polynomial, a bounded sum.
constexpr const char* kExpressions[] = {
    "plus[times[sin[x],cos[y]],over[times[x,y],plus[1,power[x,2]]]]",
    "plus[plus[times[plus[times[plus[times[plus[times[plus[times[plus[times[plus[time"
    "s[plus[times[0.5,x],0.3],x],0.2],x],0.1],x],0.7],x],0.6],x],0.4],x],0.8],x],1],y]",
    "plus[sum[over[sin[times[n,x]],n],equal[n,1],10],y]",
};
constexpr int kExpressionCount = static_cast<int>(std::size(kExpressions));

}  // namespace

#ifdef QV_INTERVAL_BENCH_MODULE

namespace {

// Each expression compiled once and kept for the process.
CompiledFunction* Function(int index) {
  static CompiledFunction* functions[kExpressionCount] = {};
  if (functions[index] == nullptr) {
    SetNormaliseTreePass(NormaliseForCompilation);
    SetFormulaReaderText(kExpressions[index]);
    functions[index] = new CompiledFunction{};
    InitFunction(functions[index], ParseFormulaText());
    CompileFunction(functions[index]);
  }
  return functions[index];
}

}  // namespace

// One grid of kSide x kSide boxes over [-2, 2]^2, box by box or a row of boxes at a time; the sum
// of the result widths keeps it observable.
extern "C" __attribute__((visibility("default"))) double QvIntervalGrid(int index, bool blocks) {
  CompiledFunction* f = Function(index);
  Interval xs[kSide], out[kSide];
  for (int i = 0; i < kSide; ++i) xs[i] = Interval{kOrigin + i * kStep, kOrigin + i * kStep + kStep};
  double sum = 0;
  for (int j = 0; j < kSide; ++j) {
    const double y = kOrigin + j * kStep;
    if (blocks) {
      EvaluateIntervalXYBlock(f, BoxAxis{xs, {}}, BoxAxis{nullptr, Interval{y, y + kStep}}, kSide, out);
    } else {
      for (int i = 0; i < kSide; ++i) EvaluateIntervalXY(f, xs[i].lo, xs[i].hi, y, y + kStep, &out[i].lo, &out[i].hi);
    }
    for (const Interval& r : out) sum += r.hi - r.lo;
  }
  return sum;
}

#else

#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstdio>

namespace {

using Grid = double (*)(int, bool);

Grid LoadGrid(const char* path) {
  void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    std::fprintf(stderr, "interval benchmark: %s\n", dlerror());
    return nullptr;
  }
  return reinterpret_cast<Grid>(dlsym(module, "QvIntervalGrid"));
}

double TimedGrid(Grid grid, int index, bool blocks, double& totalNs) {
  const auto start = std::chrono::steady_clock::now();
  const double sum = grid(index, blocks);
  totalNs += std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
  return sum;
}

// range(0): the expression; range(1): 0 box by box, 1 by blocks (a row of boxes at a time).
void BM_IntervalMachineOutwardVersusNearest(benchmark::State& state) {
  static const Grid outward = LoadGrid(QV_INTERVAL_OUTWARD_MODULE), nearest = LoadGrid(QV_INTERVAL_NEAREST_MODULE);
  if (outward == nullptr || nearest == nullptr) {
    state.SkipWithError("the interval modules did not load");
    return;
  }
  const int index = static_cast<int>(state.range(0));
  const bool blocks = state.range(1) != 0;
  double outwardNs = 0, nearestNs = 0;
  for (auto _ : state) {  // alternating, so drift in the machine's speed touches both alike
    benchmark::DoNotOptimize(TimedGrid(nearest, index, blocks, nearestNs));
    benchmark::DoNotOptimize(TimedGrid(outward, index, blocks, outwardNs));
  }
  const double boxes = static_cast<double>(state.iterations()) * kSide * kSide;
  state.counters["outward_ns_per_box"] = outwardNs / boxes;
  state.counters["nearest_ns_per_box"] = nearestNs / boxes;
  state.counters["outward_over_nearest"] = outwardNs / nearestNs;
}

BENCHMARK(BM_IntervalMachineOutwardVersusNearest)
    ->ArgsProduct({benchmark::CreateDenseRange(0, kExpressionCount - 1, 1), {0, 1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace

#endif
