// Evaluation speed of compiled functions over a 1000 x 1000 grid, side by side in one run: the
// block entries, the point entries, native C++ inlined and through a function pointer, and
// muParser; then the interval machine over 0.004 x 0.004 boxes by blocks and box by box.
// Counters: nanoseconds per point of each path, and the ratios between them.
#include <benchmark/benchmark.h>
#include <muParser.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "algebra/algebra_seams.h"
#include "kernel/eval/block_evaluation.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/text/formula_reader.h"

namespace {

constexpr int kSide = 1000;
constexpr double kPoints = static_cast<double>(kSide) * kSide;
constexpr double kOrigin = -2.0;
constexpr double kStep = 4.0 / kSide;

// The expressions written natively: a functor the grid loop inlines, and its call operator
// reached through a pointer the compiler cannot see through.
struct SinCos {
  double operator()(double x, double y) const { return std::sin(x) * std::cos(y) + x * y / (1 + x * x); }
};
struct Powers {
  double operator()(double x, double) const {
    return 0.5 * std::pow(x, 8.0) + 0.3 * std::pow(x, 7.0) + 0.2 * std::pow(x, 6.0) + 0.1 * std::pow(x, 5.0) +
           0.7 * std::pow(x, 4.0) + 0.6 * std::pow(x, 3.0) + 0.4 * (x * x) + 0.8 * x + 1;
  }
};
struct Horner {
  double operator()(double x, double) const {
    return ((((((((0.5 * x + 0.3) * x + 0.2) * x + 0.1) * x + 0.7) * x + 0.6) * x + 0.4) * x + 0.8) * x + 1);
  }
};
struct Gaussian {
  double operator()(double x, double y) const { return std::sqrt(x * x + y * y) * std::exp(-(x * x + y * y) / 4); }
};
struct SineSum {
  double operator()(double x, double) const {
    double s = 0;
    for (int n = 1; n <= 20; ++n) s = s + std::sin(n * x) / n;
    return s;
  }
};

template <class F>
double CallNative(double x, double y) {
  return F{}(x, y);
}

struct Expression {
  const char* name;
  const char* bracket;  // for the compiler
  const char* infix;    // for muParser
  double (*native)(double x, double y);
  double (*inlined)();  // the whole grid with the expression inlined; returns the sum
};

template <class F>
double InlinedGrid() {
  const F f{};
  double sum = 0;
  for (int j = 0; j < kSide; ++j) {
    const double y = std::fma(j, kStep, kOrigin);
    for (int i = 0; i < kSide; ++i) sum += f(std::fma(i, kStep, kOrigin), y);
  }
  return sum;
}

const Expression kExpressions[5] = {
    {"sincos", "plus[times[sin[x],cos[y]],over[times[x,y],plus[1,power[x,2]]]]", "sin(x)*cos(y)+x*y/(1+x^2)",
     CallNative<SinCos>, InlinedGrid<SinCos>},
    {"powers",
     "plus[times[0.5,power[x,8]],times[0.3,power[x,7]],times[0.2,power[x,6]],times[0.1,power[x,5]],"
     "times[0.7,power[x,4]],times[0.6,power[x,3]],times[0.4,power[x,2]],times[0.8,x],1]",
     "0.5*x^8+0.3*x^7+0.2*x^6+0.1*x^5+0.7*x^4+0.6*x^3+0.4*x^2+0.8*x+1", CallNative<Powers>, InlinedGrid<Powers>},
    {"horner",
     "plus[times[plus[times[plus[times[plus[times[plus[times[plus[times[plus[times[plus[times[0.5,x],0.3],x],"
     "0.2],x],0.1],x],0.7],x],0.6],x],0.4],x],0.8],x],1]",
     "((((((((0.5*x+0.3)*x+0.2)*x+0.1)*x+0.7)*x+0.6)*x+0.4)*x+0.8)*x+1)", CallNative<Horner>, InlinedGrid<Horner>},
    {"gaussian", "times[sqrt[plus[power[x,2],power[y,2]]],exp[over[minus[plus[power[x,2],power[y,2]]],4]]]",
     "sqrt(x^2+y^2)*exp(-(x^2+y^2)/4)", CallNative<Gaussian>, InlinedGrid<Gaussian>},
    {"sinsum", "sum[over[sin[times[n,x]],n],equal[n,1],20]",
     "sin(1*x)/1+sin(2*x)/2+sin(3*x)/3+sin(4*x)/4+sin(5*x)/5+sin(6*x)/6+sin(7*x)/7+sin(8*x)/8+sin(9*x)/9+"
     "sin(10*x)/10+sin(11*x)/11+sin(12*x)/12+sin(13*x)/13+sin(14*x)/14+sin(15*x)/15+sin(16*x)/16+sin(17*x)/17+"
     "sin(18*x)/18+sin(19*x)/19+sin(20*x)/20",
     CallNative<SineSum>, InlinedGrid<SineSum>},
};

CompiledFunction* MakeFunction(const char* bracket) {
  InstallAlgebraSeams();
  SetFormulaReaderText(bracket);
  auto* f = new CompiledFunction{};
  InitFunction(f, ParseFormulaText());
  return f;
}

void FreeFunction(CompiledFunction* f) {
  DisposeFunction(f);
  delete f;
}

// The native function through a pointer the optimiser cannot follow.
double PointerGrid(const Expression& e) {
  double (*volatile native)(double, double) = e.native;
  double sum = 0;
  for (int j = 0; j < kSide; ++j) {
    const double y = std::fma(j, kStep, kOrigin);
    for (int i = 0; i < kSide; ++i) sum += native(std::fma(i, kStep, kOrigin), y);
  }
  return sum;
}

// Nanoseconds per point of one grid.
template <class Grid>
double Timed(Grid grid) {
  const auto start = std::chrono::steady_clock::now();
  benchmark::DoNotOptimize(grid());
  return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() / kPoints;
}

// Every path over the whole grid in turn at each iteration, so that all see the same load on a
// busy machine: nanoseconds per point of each path's fastest grid, and the ratios the goals are
// stated in.
void Grid(benchmark::State& state, int index) {
  const Expression& e = kExpressions[index];
  CompiledFunction* f = MakeFunction(e.bracket);
  EvalContext* context = CompileFunctionsShared1(f);
  PrepareSampleGrid(kOrigin, kOrigin, kStep, kStep, kSide, kSide, context);
  std::vector<double> row(kSide);
  double x = 0, y = 0;
  mu::Parser parser;
  parser.DefineVar("x", &x);
  parser.DefineVar("y", &y);
  parser.SetExpr(e.infix);
  const auto block = [&] {
    double sum = 0;
    for (int j = 0; j < kSide; ++j) {
      EvaluateGridRow(f, 0, j, kSide, context, row.data());
      for (double v : row) sum += v;
    }
    return sum;
  };
  const auto scalar = [&] {
    double sum = 0;
    for (int j = 0; j < kSide; ++j) {
      for (int i = 0; i < kSide; ++i) sum += EvaluateAtGridPoint(f, i, j, context);
    }
    return sum;
  };
  const auto muparser = [&] {
    double sum = 0;
    for (int j = 0; j < kSide; ++j) {
      y = std::fma(j, kStep, kOrigin);
      for (int i = 0; i < kSide; ++i) {
        x = std::fma(i, kStep, kOrigin);
        sum += parser.Eval();
      }
    }
    return sum;
  };
  double ns[5] = {1e300, 1e300, 1e300, 1e300, 1e300};
  for (auto _ : state) {
    ns[0] = std::min(ns[0], Timed(block));
    ns[1] = std::min(ns[1], Timed(scalar));
    ns[2] = std::min(ns[2], Timed(e.inlined));
    ns[3] = std::min(ns[3], Timed([&] { return PointerGrid(e); }));
    ns[4] = std::min(ns[4], Timed(muparser));
  }
  state.counters["block"] = ns[0];
  state.counters["scalar"] = ns[1];
  state.counters["native_inlined"] = ns[2];
  state.counters["native_pointer"] = ns[3];
  state.counters["muparser"] = ns[4];
  state.counters["block_x_pointer"] = ns[0] / ns[3];
  state.counters["scalar_x_block"] = ns[1] / ns[0];
  state.counters["muparser_x_block"] = ns[4] / ns[0];
  DisposeEvalContext(context);
  FreeFunction(f);
}

// Boxes of one grid cell each (0.004 x 0.004), a row at a time: by blocks sharing the row's y
// range, and box by box, in turn at each iteration; the fastest grid of each.
void IntervalBoxes(benchmark::State& state, const char* bracket) {
  CompiledFunction* f = MakeFunction(bracket);
  CompileFunction(f);
  std::vector<Interval> xs(kSide), out(kSide);
  for (int i = 0; i < kSide; ++i) {
    const double x = std::fma(i, kStep, kOrigin);
    xs[i] = Interval{x, x + kStep};
  }
  const auto grid = [&](bool blocks) {
    double sum = 0;
    for (int j = 0; j < kSide; ++j) {
      const double y = std::fma(j, kStep, kOrigin);
      if (blocks) {
        EvaluateIntervalXYBlock(f, BoxAxis{xs.data(), {}}, BoxAxis{nullptr, Interval{y, y + kStep}}, kSide, out.data());
      } else {
        for (int i = 0; i < kSide; ++i) EvaluateIntervalXY(f, xs[i].lo, xs[i].hi, y, y + kStep, &out[i].lo, &out[i].hi);
      }
      for (const Interval& r : out) sum += r.hi - r.lo;
    }
    return sum;
  };
  double block = 1e300, scalar = 1e300;
  for (auto _ : state) {
    block = std::min(block, Timed([&] { return grid(true); }));
    scalar = std::min(scalar, Timed([&] { return grid(false); }));
  }
  state.counters["block"] = block;
  state.counters["scalar"] = scalar;
  state.counters["scalar_x_block"] = scalar / block;
  FreeFunction(f);
}

const bool kRegistered = [] {
  for (int e = 0; e < 5; ++e) {
    benchmark::RegisterBenchmark((std::string("Grid/") + kExpressions[e].name).c_str(), Grid, e)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(e == 1 || e == 4 ? 4 : 12);  // the powers and the sine sum take long
  }
  for (int e : {0, 3, 2}) {  // the sine-cosine sum and the Gaussian, then the Horner form
    benchmark::RegisterBenchmark((std::string("IntervalBoxes/") + kExpressions[e].name).c_str(), IntervalBoxes,
                                 kExpressions[e].bracket)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(12);
  }
  // Relations: the blocks note each box's partial domains up to the comparison (the first beside
  // sincos above shows that cost); the second meets partial domains along the unit circle.
  for (const auto& [name, bracket] :
       {std::pair{"sincos_less", "lessthan[plus[times[sin[x],cos[y]],over[times[x,y],plus[1,power[x,2]]]],0.5]"},
        {"root_less", "lessthan[sqrt[plus[1,minus[power[x,2]],minus[power[y,2]]]],0.5]"}}) {
    benchmark::RegisterBenchmark((std::string("IntervalBoxes/") + name).c_str(), IntervalBoxes, bracket)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(12);
  }
  return true;
}();

}  // namespace
