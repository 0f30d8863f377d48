// Support routines of the Bessel family: polynomial evaluation, cube root, log-gamma with its
// sign, the Airy functions, J0 and J1, and the error record. Golden values: mpmath 1.3 at 50
// digits unless noted.
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

TEST(SpecialFunctions, MathErrorRecordKeepsOnlyClassesOneToFive) {
  ResetMathError();
  SetMathError("Jv", kMathTotalLoss);
  EXPECT_EQ(MathErrorCode(), kMathTotalLoss);
  for (int32_t outside : {static_cast<int32_t>(kMathPartialLoss), -3}) {
    SetMathError("lgam", outside);
    EXPECT_EQ(MathErrorCode(), 0) << outside;
  }
}

}  // namespace
