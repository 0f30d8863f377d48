// BesselJv cost in each region its algorithm switches between: one benchmark per
// region, sweeping x over a small range so no single argument is measured alone.
#include <benchmark/benchmark.h>

#include "kernel/numeric/special_functions.h"

namespace {

// Evaluates J_order(x) for 64 arguments spread over [x0, x1].
void SweepBesselJv(benchmark::State& state, double order, double x0, double x1) {
  const double step = (x1 - x0) / 63.0;
  for (auto _ : state) {
    double sum = 0.0;
    for (int i = 0; i < 64; ++i) sum += BesselJv(order, x0 + step * i);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * 64);
}

void BM_BesselJ0Rational(benchmark::State& s) { SweepBesselJv(s, 0.0, 0.1, 4.9); }
void BM_BesselJ1Asymptotic(benchmark::State& s) { SweepBesselJv(s, 1.0, 5.1, 100.0); }
void BM_BesselSeries(benchmark::State& s) { SweepBesselJv(s, 30.0, 0.1, 15.0); }
void BM_BesselRecurFromLargerOrder(benchmark::State& s) { SweepBesselJv(s, 2.5, 6.1, 19.9); }
void BM_BesselRecurToSmallOrder(benchmark::State& s) { SweepBesselJv(s, 10.3, 0.5, 5.9); }
void BM_BesselWholeOrderRecur(benchmark::State& s) { SweepBesselJv(s, 100.0, 50.0, 150.0); }
void BM_BesselHankel(benchmark::State& s) { SweepBesselJv(s, 2.5, 21.5, 200.0); }
void BM_BesselTransition(benchmark::State& s) { SweepBesselJv(s, 600.0, 595.0, 605.0); }
void BM_BesselUniform(benchmark::State& s) { SweepBesselJv(s, 600.0, 620.0, 900.0); }
void BM_BesselLongFraction(benchmark::State& s) { SweepBesselJv(s, 400.0, 11000.0, 12000.0); }

BENCHMARK(BM_BesselJ0Rational);
BENCHMARK(BM_BesselJ1Asymptotic);
BENCHMARK(BM_BesselSeries);
BENCHMARK(BM_BesselRecurFromLargerOrder);
BENCHMARK(BM_BesselRecurToSmallOrder);
BENCHMARK(BM_BesselWholeOrderRecur);
BENCHMARK(BM_BesselHankel);
BENCHMARK(BM_BesselTransition);
BENCHMARK(BM_BesselUniform);
BENCHMARK(BM_BesselLongFraction);

}  // namespace
