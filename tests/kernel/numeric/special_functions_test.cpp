// The Bessel function J_v of real order and its support routines (polynomial evaluation, cube
// root, log-gamma with its sign, the Airy functions, J0 and J1, the error record): every region
// the algorithm switches between, its sign and edge rules, and two independent cross-checks,
// half orders' closed forms and the standard library's cyl_bessel_j. Golden values: mpmath 1.3
// at 50 digits unless noted.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "kernel/numeric/numeric_constants.h"
#include "kernel/numeric/special_functions.h"

namespace {

double RelativeError(double got, double want) { return want == 0.0 ? std::fabs(got) : std::fabs(got - want) / std::fabs(want); }

TEST(SpecialFunctions, PolyEvalIsFusedHornerAndCubeRootMatchesTheLibrary) {
  // Hand-computed: 2x^2 - 3x + 5 at 4 is 25; x^3 + 2x^2 - 3x + 5 is 89; x + 2 is 6. The steps
  // are fused: (1 + 2^-30)(1 - 2^-30) - 1 = -2^-60 exactly, 0 when rounded first.
  const double c[] = {2.0, -3.0, 5.0}, f[] = {1.0 + 0x1p-30, -1.0};
  EXPECT_TRUE(PolyEval(4.0, c, 2) == 25.0 && PolyEval1(4.0, c, 3) == 89.0 && PolyEval1(4.0, c, 1) == 6.0);
  EXPECT_EQ(PolyEval(1.0 - 0x1p-30, f, 1), -0x1p-60);
  // Independent reference: std::cbrt, within two ulps; exact cubes exactly.
  for (double v : {2.0, 3.0, 0.5, -7.25, 1e-300, 4.9e-324, 1e300, 0.001, 123456.789, 1.0 / 3.0, 8.0e15}) {
    const double want = std::cbrt(v);
    EXPECT_LE(std::fabs(CubeRoot(v) - want), 2.0 * std::fabs(std::nextafter(want, kPositiveInfinity) - want)) << v;
  }
  EXPECT_TRUE(CubeRoot(27.0) == 3.0 && CubeRoot(-8.0) == -2.0 && std::signbit(CubeRoot(-0.0)));
  EXPECT_TRUE(CubeRoot(-kPositiveInfinity) == -kPositiveInfinity && std::isnan(CubeRoot(kUndefinedReal)));
}

TEST(SpecialFunctions, LogGammaAndItsSignAcrossItsForms) {
  // The recurrence into [2, 3) (< 13), Stirling with the table (< 1000) and without (>= 1000),
  // the cut at 1e8 and the reflection (< -34).
  struct Case { double x, logAbsGamma; int sign; };
  const Case cases[] = {
      {0.5, 5.7236494292470009e-1, 1},   {1, 0.0, 1},                       {2.5, 2.8468287047291916e-1, 1},
      {7.3, 7.1478925230222487, 1},      {12.99, 1.9961958544465608e+1, 1}, {13, 1.9987214495661886e+1, 1},
      {50.5, 1.4651925549072063e+2, 1},  {999, 5.8983136684305327e+3, 1},   {1001, 5.9121281784881633e+3, 1},
      {1e9, 1.9723265827503717e+10, 1},  {-0.5, 1.2655121234846454, -1},    {-2.5, -5.6243716497674051e-2, -1},
      {-33.9, -8.590778427576712e+1, 1}, {-35.5, -9.2779733076450358e+1, 1}, {-40.3, -1.1007548100733777e+2, -1},
      {-100.25, -3.6340092322782154e+2, -1},
  };
  for (const Case& c : cases) {
    ResetMathError();
    int32_t sign = 0;
    const double got = LogGamma(c.x, &sign);
    EXPECT_LE(RelativeError(got, c.logAbsGamma), 2e-14) << c.x;
    EXPECT_TRUE(sign == c.sign && MathErrorCode() == 0) << c.x;
  }
  for (double pole : {0.0, -1.0, -2.0, -40.0}) {
    ResetMathError();
    int32_t sign = 0;
    EXPECT_TRUE(LogGamma(pole, &sign) == kPositiveInfinity && MathErrorCode() == kMathSingular) << pole;
  }
  int32_t sign = 0;
  EXPECT_TRUE(std::isnan(LogGamma(kUndefinedReal, &sign)) && LogGamma(3e305, &sign) == kPositiveInfinity);
}

// J_-1.5(1) and J_-2.5(3) run the series in logarithms with Gamma(-0.5) < 0 and Gamma(-1.5) > 0.
// Closed forms: J_-3/2(x) = -sqrt(2 / (pi x)) (cos x / x + sin x) and
// J_-5/2(x) = sqrt(2 / (pi x)) ((3 / x^2 - 1) cos x + 3 sin x / x).
TEST(SpecialFunctions, GammaSignStaysWithItsCallerAcrossThreads) {
  const double negative = BesselJv(-1.5, 1.0), positive = BesselJv(-2.5, 3.0);
  EXPECT_NEAR(negative, -std::sqrt(2.0 / kPi) * (std::cos(1.0) + std::sin(1.0)), 1e-15);
  EXPECT_NEAR(positive, std::sqrt(2.0 / (3.0 * kPi)) * (-2.0 / 3.0 * std::cos(3.0) + std::sin(3.0)), 1e-15);
  std::atomic<int> wrong{0};
  const auto sample = [&](double order, double x, double want) {
    for (int i = 0; i < 100000; ++i) {
      if (BesselJv(order, x) != want) ++wrong;
    }
  };
  std::thread a(sample, -1.5, 1.0, negative), b(sample, -2.5, 3.0, positive);
  a.join();
  b.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST(SpecialFunctions, AiryFunctionsAcrossTheirRegions) {
  // The oscillating form (< -2.09), the Maclaurin series, the decaying forms (>= 2.09) with Bi
  // from the series up to 8.3203353 and from its own form beyond.
  const double cases[][5] = {  // x, Ai, Ai', Bi, Bi'
      {-10, 4.0241238486443191e-2, 9.9626504413279006e-1, -3.1467982964383863e-1, 1.1941411339990924e-1},
      {-2.1, 1.6348451299929268e-1, 6.5834069281434345e-1, -4.3590234823072676e-1, 1.9168563232842979e-1},
      {-2.08, 1.7658105160983956e-1, 6.5123326390068082e-1, -4.3188668466035418e-1, 2.0982382061609345e-1},
      {0, 3.5502805388781724e-1, -2.588194037928068e-1, 6.1492662744600074e-1, 4.4828835735382636e-1},
      {2.08, 3.0894392489319441e-2, -4.7727576240678393e-2, 3.6482763726682131, 4.6670766389094687},
      {2.1, 2.9952602115866522e-2, -4.6455994032674594e-2, 3.7431535649561756, 4.8215499257174961},
      {8.32, 1.8631290741071689e-8, -5.4286947386914709e-8, 2.9623344369846085e+6, 8.4531874173148367e+6},
      {8.33, 1.8096100200998922e-8, -5.2758280248747927e-8, 3.0481109508178791e+6, 8.7033555662213633e+6},
      {25.7, 2.3754065481195886e-39, -1.2065160739790524e-38, 1.3216596130380985e+37, 6.6872565272499811e+37},
  };
  for (const auto& c : cases) {
    double v[4] = {0, 0, 0, 0};
    EXPECT_EQ(AiryFunctions(c[0], &v[0], &v[1], &v[2], &v[3]), 0) << c[0];
    for (int k = 0; k < 4; ++k) EXPECT_LE(RelativeError(v[k], c[k + 1]), 1e-13) << c[0] << " function " << k;
  }
  // The published limit 25.77 is kept although Ai(25.78), about 2e-39, is a double; no error.
  ResetMathError();
  double ai = 1, aip = 1, bi = 0, bip = 0;
  EXPECT_EQ(AiryFunctions(25.78, &ai, &aip, &bi, &bip), -1);
  EXPECT_TRUE(ai == 0.0 && aip == 0.0 && bi == kSpecialMaxNumber && bip == kSpecialMaxNumber && MathErrorCode() == 0);
}

TEST(SpecialFunctions, J0AndJ1OnBothSidesOfTheirFormSwitch) {
  const double cases[][3] = {  // x, J0, J1
      {1e-6, 9.9999999999975e-1, 4.9999999999993748e-7},       {1, 7.6519768655796655e-1, 4.4005058574493352e-1},
      {4.9999, -1.7762952866763651e-1, -3.2756792781263167e-1}, {5.0, -1.775967713143383e-1, -3.2757913759146522e-1},
      {5.0000001, -1.7759673855642389e-1, -3.2757914879955795e-1}, {50, 5.5812327669251815e-2, -9.7511828125175138e-2},
      {1000, 2.4786686152420175e-2, 4.7283119070895239e-3},
  };
  for (const auto& c : cases) {
    // Relative to the larger of the value and the envelope sqrt(2 / (pi x)), plus the rounding
    // of the phase x - pi/4 to the ulp of x.
    const double slack = 1e-14 + std::ldexp(c[0], -52), envelope = std::sqrt(2.0 / (kPi * c[0]));
    EXPECT_LE(std::fabs(BesselJ0(c[0]) - c[1]), slack * std::fmax(std::fabs(c[1]), envelope)) << c[0];
    EXPECT_LE(std::fabs(BesselJ1(c[0]) - c[2]), slack * std::fmax(std::fabs(c[2]), envelope)) << c[0];
    EXPECT_TRUE(BesselJ0(-c[0]) == BesselJ0(c[0]) && BesselJ1(-c[0]) == -BesselJ1(c[0])) << c[0];
  }
  EXPECT_TRUE(BesselJ0(0.0) == 1.0 && BesselJ1(0.0) == 0.0);
}

TEST(BesselJv, MatchesArbitraryPrecisionInEveryRegion) {
  constexpr double kModerate = 1e-12, kLargeOrder = 1e-9;
  struct Case { double order, x, want, relTol; const char* region; };
  const Case cases[] = {
      {0.5, 2, 5.1301613656182775e-1, kModerate, "recurrence from a larger order"},
      {-2.5, 3, 3.690407300737979e-1, kModerate, "series, negative order"},
      {10.3, 5.7, 3.1251276457563498e-3, kModerate, "recurrence down to order 2.3"},
      {45, 3, 6.6840711289233932e-49, kModerate, "power series"},
      {2.5, 30, 1.4120285879928212e-1, kModerate, "Hankel"},
      {100, 100, 9.636667329586156e-2, kModerate, "whole order down to J0/J1"},
      {2.5, 20.999, -1.3117543353362469e-1, kModerate, "just below the Hankel switch"},
      {2.5, 21.001, -1.3093962260315805e-1, kModerate, "just above the Hankel switch"},
      {21.5, 16.69, 9.5775558732719783e-3, kModerate, "just inside the series switch"},
      {21.5, 16.7, 9.6592938018639562e-3, kModerate, "just outside the series switch"},
      {30.7, 60, 1.0935254362474489e-1, kModerate, "recurrence to 3/4 of 3.6 sqrt x"},
      {-30.3, 20, 1.2323640679050113e+2, kModerate, "negative order recurrence"},
      // The series at x near 12 cancels terms of size e^12: the published accuracy.
      {-9.604, 12.18, 1.6633799265166507e-1, 2e-11, "negative order, series after recurrence"},
      {499.5, 400, 1.9318786540995188e-22, kModerate, "last order of the recurrence"},
      {500.5, 400, 9.6328147265467511e-23, kLargeOrder, "first order of the uniform form"},
      {600, 600, 5.3034008697371392e-2, kLargeOrder, "transition region"},
      {600, 605.9, 7.9099738907798888e-2, kLargeOrder, "transition region edge"},
      {600, 605.92, 7.913032462107236e-2, kLargeOrder, "uniform, just past the edge"},
      {600, 700, -3.5809913239637261e-2, kLargeOrder, "uniform, above the turning point"},
      {500, 74990, 1.412066575585904e-3, kLargeOrder, "uniform, x / n^2 just below 0.3"},
      {500, 75010, -1.7492765718527535e-3, kLargeOrder, "Hankel, x / n^2 just above 0.3"},
      // Far beyond the order the fraction J_n / J_n-1 needs about x terms; a cap of 1000 gave
      // J_400(12000) = 5.5e-4.
      {400, 12000, 2.0522676376214049e-3, 1e-9, "long continued fraction"},
      {450.25, 15000, -1.5324858626407002e-3, 1e-9, "long continued fraction, non-whole order"},
      // Leading term (x/2)^n / n!: J_3(1e-9) = (5e-10)^3 / 6 (hand-computed).
      {3, 1e-9, 2.0833333333333333e-29, 1e-15, "tiny argument"},
      {-3, 1e-9, -2.0833333333333333e-29, 1e-15, "tiny argument, negated whole order"},
  };
  for (const Case& c : cases) {
    EXPECT_LE(std::fabs(BesselJv(c.order, c.x) - c.want), c.relTol * std::fabs(c.want))
        << "J_" << c.order << "(" << c.x << ") [" << c.region << "] got " << BesselJv(c.order, c.x);
  }
}

TEST(BesselJv, WholeOrderSignRules) {
  // J_-n = (-1)^n J_n and J_n(-x) = (-1)^n J_n(x), also for orders beyond 2^14 (whose parity is
  // taken modulo 16384) and in the uniform region.
  struct Case { double n1, x1, n2, x2, sign; };
  const Case cases[] = {
      {-3, 2, 3, 2, -1},  {3, -2, 3, 2, -1},     {-3, -2, 3, 2, 1},          {-4, 2, 4, 2, 1},
      {4, -2, 4, 2, 1},   {-16385, 17000, 16385, 17000, -1}, {16386, -17000, 16386, 17000, 1},
      {-41, 30.5, 41, 30.5, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(BesselJv(c.n1, c.x1), c.sign * BesselJv(c.n2, c.x2)) << c.n1 << ", " << c.x1;
  EXPECT_TRUE(BesselJv(-1, 0.7) == -BesselJ1(0.7) && BesselJv(0, -0.7) == BesselJ0(0.7));
}

constexpr int kAnyError = -1;

// Exact answers at the edges, and the error record each call leaves (reset before each).
TEST(BesselJv, EdgeValuesAndTheErrorTheyRecord) {
  struct Case { double order, x, want; int error; const char* why; };
  const Case cases[] = {
      {0.5, -1, 0, kMathDomain, "negative x with a non-whole order"},
      {-600.5, 1000, 0, kMathTotalLoss, "large negative non-whole order outside the series"},
      // Where the series applies the value is simply huge (J_-600.5(10) = 3.2e986,
      // J_-601.5(10) = -3.8e988): the published overflow value, signed.
      {-600.5, 10, kSpecialMaxNumber, kMathOverflow, "series overflow"},
      {-601.5, 10, -kSpecialMaxNumber, kMathOverflow, "series overflow, negative"},
      // log 2^1022 = 708.396..., not the largest double's, is the limit: J_-100.5(0.0622) =
      // 8.9e307 is a double, yet reported as the overflow value.
      {-100.5, 0.0622, kSpecialMaxNumber, kMathOverflow, "past the library's largest logarithm"},
      {7, 0, 0, 0, "whole order at 0"},
      // (x/2)^v / Gamma(v+1) with v < 0: Gamma(0.5) > 0 and Gamma(-0.5) < 0.
      {-0.5, 0, kPositiveInfinity, kAnyError, "order -0.5 at 0"},
      {-1.5, 0, -kPositiveInfinity, kAnyError, "order -1.5 at 0"},
      // The binary exponent of (x/2)^v is far beyond int for v = 1e20 and the leading term is
      // inf / inf there; the true value underflows to 0.
      {1e20, 10, 0, 0, "huge order"},
      // J_1500(1200) is 2.8e-63; the uniform form needs Ai beyond 25.77 and gets 0.
      {1500, 1200, 0, 0, "past the Airy limit"},
      {kUndefinedReal, 1, kUndefinedReal, kAnyError, "NaN order"},
      {-kPositiveInfinity, 1, kUndefinedReal, kMathDomain, "infinite order"},
      {3, -kPositiveInfinity, 0, kAnyError, "negative infinite x"},
      {2.5, kPositiveInfinity, 0, kAnyError, "infinite x, non-whole order"},
  };
  for (const Case& c : cases) {
    ResetMathError();
    const double got = BesselJv(c.order, c.x);
    EXPECT_TRUE(std::isnan(c.want) ? std::isnan(got) : got == c.want) << c.why << ": " << got;
    EXPECT_TRUE(c.error == kAnyError || MathErrorCode() == c.error) << c.why;
  }
  // Just below that limit the value comes through: J_-100.5(0.06287) = 3.0357222118984518e307.
  ResetMathError();
  EXPECT_LE(std::fabs(BesselJv(-100.5, 0.06287) - 3.0357222118984518e307), 1e-12 * 3.0357222118984518e307);
  EXPECT_EQ(MathErrorCode(), 0);
}

TEST(BesselJv, HalfOrdersMatchTheirClosedForms) {
  // J_1/2(x) = sqrt(2/(pi x)) sin x and J_-1/2(x) = sqrt(2/(pi x)) cos x, measured against the
  // envelope because the values cross zero. The negative order uses the plain series up to x
  // near 13, which cancels terms of size e^x / x: a few 1e-12 there.
  for (int i = 1; i <= 5000; ++i) {
    const double x = 0.01 * i, envelope = std::sqrt(2.0 / (kPi * x));
    EXPECT_LE(std::fabs(BesselJv(0.5, x) - envelope * std::sin(x)), 1e-13 * envelope) << x;
    EXPECT_LE(std::fabs(BesselJv(-0.5, x) - envelope * std::cos(x)), 1e-11 * envelope) << x;
  }
}

TEST(BesselJv, AgreesWithTheStandardLibraryOverOrdersToFiftyAndXToHundred) {
  // libstdc++'s cyl_bessel_j is an independent implementation; it takes v >= 0 only.
  int failures = 0;
  for (int i = 0; i <= 200; ++i) {
    for (int j = 0; j <= 400; ++j) {
      const double v = 0.25 * i, x = 0.25 * j, want = std::cyl_bessel_j(v, x), got = BesselJv(v, x);
      if (!(std::fabs(got - want) <= 1e-10) && ++failures <= 10) ADD_FAILURE() << "J_" << v << "(" << x << ") = " << got << ", library " << want;
    }
  }
}

}  // namespace
