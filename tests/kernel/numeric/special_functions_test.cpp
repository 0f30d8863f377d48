// Support routines of the Bessel family: polynomial evaluation, cube root,
// log-gamma with its sign, the Airy functions, J0, J1, the error record and the
// transcribed tables. Golden values: mpmath 1.3 at 50 digits unless noted.
#include <atomic>
#include <cmath>
#include <limits>
#include <thread>

#include <gtest/gtest.h>

#include "kernel/numeric/numeric_constants.h"
#include "kernel/numeric/special_functions.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double RelativeError(double got, double want) {
  if (want == 0.0) return std::fabs(got);
  return std::fabs(got - want) / std::fabs(want);
}

TEST(SpecialFunctions, TablesStartWithThePublishedFirstEntries) {
  // Four first entries quoted with the published tables, to check the transcription.
  EXPECT_EQ(kAiryAN[0], 0.346538101525629);
  EXPECT_EQ(kJ0PP[0], 7.969367292973471e-4);
  EXPECT_EQ(kLogGammaA[0], 8.116141674705085e-4);
  EXPECT_EQ(kLogGammaB[0], -1378.2515256912086);
  // Last entries too, so a shifted or truncated table shows (values as published).
  EXPECT_EQ(kAiryAPGD[9], 5.79912514929147598821E-9);
  EXPECT_EQ(kJvMu[10], -3.316218568547972508762102E+3);
  EXPECT_EQ(kLogGammaC[5], -2.01889141433532773231E6);
}

TEST(SpecialFunctions, LibraryEpsilonIsHalfTheKernelEpsilon) {
  // The routines' series stop at 2^-53; the kernel's tolerances use 2^-52. Kept apart.
  EXPECT_EQ(kSpecialMachineEpsilon, std::ldexp(1.0, -53));
  EXPECT_EQ(kMachineEpsilon, std::ldexp(1.0, -52));
}

TEST(SpecialFunctions, PolyEvalIsHornerWithAndWithoutLeadingOne) {
  // Hand-computed: 2x^2 - 3x + 5 at x = 4 is 25; x^3 + 2x^2 - 3x + 5 at 4 is 89.
  const double c[] = {2.0, -3.0, 5.0};
  EXPECT_EQ(PolyEval(4.0, c, 2), 25.0);
  EXPECT_EQ(PolyEval1(4.0, c, 3), 89.0);
  // Degree 1 with implied 1: x + c0.
  EXPECT_EQ(PolyEval1(4.0, c, 1), 6.0);
  // The steps are fused: (1 + 2^-30)(1 - 2^-30) - 1 = -2^-60 exactly; 0 when rounded first.
  const double t = std::ldexp(1.0, -30);
  const double f[] = {1.0 + t, -1.0};
  EXPECT_EQ(PolyEval(1.0 - t, f, 1), -std::ldexp(1.0, -60));
}

TEST(SpecialFunctions, CubeRootMatchesTheLibraryWithinAnUlp) {
  // Independent reference: std::cbrt.
  const double values[] = {1.0, 2.0, 3.0, 0.5, 27.0, -8.0, 1e-300, 4.9e-324, 1e300,
                           -7.25, 0.001, 123456.789, 1.0 / 3.0, 8.0e15};
  for (double v : values) {
    const double want = std::cbrt(v);
    EXPECT_LE(std::fabs(CubeRoot(v) - want), 2.0 * std::fabs(std::nextafter(want, kInf) - want))
        << v;
  }
  EXPECT_EQ(CubeRoot(27.0), 3.0);
  EXPECT_EQ(CubeRoot(-8.0), -2.0);
  EXPECT_TRUE(std::signbit(CubeRoot(-0.0)));
  EXPECT_EQ(CubeRoot(kInf), kInf);
  EXPECT_EQ(CubeRoot(-kInf), -kInf);
  EXPECT_TRUE(std::isnan(CubeRoot(kNaN)));
}

struct LogGammaCase {
  double x;
  double logAbsGamma;
  int sign;
};

TEST(SpecialFunctions, LogGammaAndItsSignAcrossItsForms) {
  // Cover the recurrence-to-[2,3) form (< 13), Stirling with the table (< 1000),
  // Stirling's short form (>= 1000), the 1e8 cut and the reflection (< -34).
  const LogGammaCase cases[] = {
      {0.5, 5.7236494292470009e-1, 1},   {1, 0.0, 1},
      {2, 0.0, 1},                       {2.5, 2.8468287047291916e-1, 1},
      {3, 6.9314718055994531e-1, 1},     {7.3, 7.1478925230222487, 1},
      {12.99, 1.9961958544465608e+1, 1}, {13, 1.9987214495661886e+1, 1},
      {50.5, 1.4651925549072063e+2, 1},  {999, 5.8983136684305327e+3, 1},
      {1001, 5.9121281784881633e+3, 1},  {1e9, 1.9723265827503717e+10, 1},
      {-0.5, 1.2655121234846454, -1},    {-2.5, -5.6243716497674051e-2, -1},
      {-33.9, -8.590778427576712e+1, 1}, {-35.5, -9.2779733076450358e+1, 1},
      {-40.3, -1.1007548100733777e+2, -1}, {-100.25, -3.6340092322782154e+2, -1},
  };
  for (const LogGammaCase& c : cases) {
    ResetMathError();
    int32_t sign = 0;
    const double got = LogGamma(c.x, &sign);
    if (c.logAbsGamma == 0.0) {
      EXPECT_LE(std::fabs(got), 1e-15) << c.x;
    } else {
      EXPECT_LE(RelativeError(got, c.logAbsGamma), 2e-14) << c.x;
    }
    EXPECT_EQ(sign, c.sign) << c.x;
    EXPECT_EQ(MathErrorCode(), 0) << c.x;
  }
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

TEST(SpecialFunctions, LogGammaPolesAreSingularAndNanPassesThrough) {
  const double poles[] = {0.0, -1.0, -2.0, -40.0};
  for (double x : poles) {
    ResetMathError();
    int32_t sign = 0;
    EXPECT_EQ(LogGamma(x, &sign), kInf) << x;
    EXPECT_EQ(MathErrorCode(), kMathSingular) << x;
  }
  int32_t sign = 0;
  EXPECT_TRUE(std::isnan(LogGamma(kNaN, &sign)));
  EXPECT_EQ(LogGamma(kInf, &sign), kInf);
  EXPECT_EQ(LogGamma(3e305, &sign), kInf);
}

struct AiryCase {
  double x, ai, aip, bi, bip;
};

TEST(SpecialFunctions, AiryFunctionsAcrossTheirRegions) {
  // Oscillating form (< -2.09), Maclaurin series, decaying forms (>= 2.09) with
  // Bi from the series up to 8.3203353 and from its own form beyond.
  const AiryCase cases[] = {
      {-10, 4.0241238486443191e-2, 9.9626504413279006e-1, -3.1467982964383863e-1, 1.1941411339990924e-1},
      {-2.1, 1.6348451299929268e-1, 6.5834069281434345e-1, -4.3590234823072676e-1, 1.9168563232842979e-1},
      {-2.08, 1.7658105160983956e-1, 6.5123326390068082e-1, -4.3188668466035418e-1, 2.0982382061609345e-1},
      {0, 3.5502805388781724e-1, -2.588194037928068e-1, 6.1492662744600074e-1, 4.4828835735382636e-1},
      {1, 1.3529241631288142e-1, -1.5914744129679321e-1, 1.2074235949528713, 9.3243593339277563e-1},
      {2.08, 3.0894392489319441e-2, -4.7727576240678393e-2, 3.6482763726682131, 4.6670766389094687},
      {2.1, 2.9952602115866522e-2, -4.6455994032674594e-2, 3.7431535649561756, 4.8215499257174961},
      {5, 1.0834442813607442e-4, -2.4741389086846248e-4, 6.5779204417117118e+2, 1.4358190802179825e+3},
      {8.32, 1.8631290741071689e-8, -5.4286947386914709e-8, 2.9623344369846085e+6, 8.4531874173148367e+6},
      {8.33, 1.8096100200998922e-8, -5.2758280248747927e-8, 3.0481109508178791e+6, 8.7033555662213633e+6},
      {20, 1.6916728686705403e-27, -7.586391625748355e-27, 2.1037650496511038e+25, 9.3818393361339643e+25},
      {25.7, 2.3754065481195886e-39, -1.2065160739790524e-38, 1.3216596130380985e+37, 6.6872565272499811e+37},
  };
  for (const AiryCase& c : cases) {
    double ai = 0, aip = 0, bi = 0, bip = 0;
    EXPECT_EQ(AiryFunctions(c.x, &ai, &aip, &bi, &bip), 0) << c.x;
    EXPECT_LE(RelativeError(ai, c.ai), 1e-13) << "Ai " << c.x;
    EXPECT_LE(RelativeError(aip, c.aip), 1e-13) << "Ai' " << c.x;
    EXPECT_LE(RelativeError(bi, c.bi), 1e-13) << "Bi " << c.x;
    EXPECT_LE(RelativeError(bip, c.bip), 1e-13) << "Bi' " << c.x;
  }
}

TEST(SpecialFunctions, AiryBeyondItsLimitFlushesToZero) {
  // The published limit 25.77 is kept although Ai(25.78), about 2e-39, is a double.
  ResetMathError();
  double ai = 1, aip = 1, bi = 0, bip = 0;
  EXPECT_EQ(AiryFunctions(25.78, &ai, &aip, &bi, &bip), -1);
  EXPECT_EQ(ai, 0.0);
  EXPECT_EQ(aip, 0.0);
  EXPECT_EQ(bi, kSpecialMaxNumber);
  EXPECT_EQ(bip, kSpecialMaxNumber);
  EXPECT_EQ(MathErrorCode(), 0);
  EXPECT_EQ(AiryFunctions(25.77, &ai, &aip, &bi, &bip), 0);
  EXPECT_GT(ai, 0.0);
}

struct J01Case {
  double x, j0, j1;
};

TEST(SpecialFunctions, J0AndJ1OnBothSidesOfTheirFormSwitch) {
  // Values: mpmath besselj(0, x), besselj(1, x).
  const J01Case cases[] = {
      {1e-6, 9.9999999999975e-1, 4.9999999999993748e-7},
      {1, 7.6519768655796655e-1, 4.4005058574493352e-1},
      {4.9999, -1.7762952866763651e-1, -3.2756792781263167e-1},
      {5.0, -1.775967713143383e-1, -3.2757913759146522e-1},
      {5.0000001, -1.7759673855642389e-1, -3.2757914879955795e-1},
      {50, 5.5812327669251815e-2, -9.7511828125175138e-2},
      {1000, 2.4786686152420175e-2, 4.7283119070895239e-3},
  };
  for (const J01Case& c : cases) {
    // Relative to the larger of the value and the envelope sqrt(2 / (pi x)), plus the
    // rounding of the phase x - pi/4 to the ulp of x.
    const double envelope = std::sqrt(2.0 / (3.14159265358979323846 * c.x));
    const double slack = 1e-14 + std::ldexp(c.x, -52);
    EXPECT_LE(std::fabs(BesselJ0(c.x) - c.j0), slack * std::fmax(std::fabs(c.j0), envelope)) << c.x;
    EXPECT_LE(std::fabs(BesselJ1(c.x) - c.j1), slack * std::fmax(std::fabs(c.j1), envelope)) << c.x;
    EXPECT_EQ(BesselJ0(-c.x), BesselJ0(c.x)) << c.x;
    EXPECT_EQ(BesselJ1(-c.x), -BesselJ1(c.x)) << c.x;
  }
  EXPECT_EQ(BesselJ0(0.0), 1.0);
  EXPECT_EQ(BesselJ1(0.0), 0.0);
}

TEST(SpecialFunctions, MathErrorRecordKeepsOnlyClassesOneToFive) {
  ResetMathError();
  SetMathError("Jv", kMathTotalLoss);
  EXPECT_EQ(MathErrorCode(), 5);
  SetMathError("Jv", kMathPartialLoss);
  EXPECT_EQ(MathErrorCode(), 0);
  SetMathError("lgam", -3);
  EXPECT_EQ(MathErrorCode(), 0);
  SetMathError("lgam", kMathDomain);
  ResetMathError();
  EXPECT_EQ(MathErrorCode(), 0);
}

TEST(SpecialFunctions, GammaFunctionIsTheFactorial) {
  // 5! and Gamma(1.5) = sqrt(pi)/2 (hand-computed); glibc's gamma() would give log-gamma.
  EXPECT_EQ(GammaFunction(5.0), 120.0);
  EXPECT_NEAR(GammaFunction(0.5), 0.886226925452758, 1e-15);
}

}  // namespace
