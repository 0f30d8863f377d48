// Complex arithmetic: golden values (hand-computed, closed forms, or libquadmath's complex
// functions at 113 bits), exact small whole powers, the side of every cut, exactly real results
// on the real axis, and a sweep against std::complex as an independent library off the cuts.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <complex>
#include <random>
#include <string>
#include <vector>

#include "kernel/numeric/complex.h"
#include "kernel/numeric/elementary_functions.h"
#include "tests/kernel/numeric/interval_test_support.h"

namespace {

using namespace interval_test;
using PointFn = void (*)(Complex&, const Complex&);

::testing::AssertionResult Exactly(const Complex& got, const Complex& want) {
  const bool reOk = got.re == want.re || (std::isnan(got.re) && std::isnan(want.re));
  const bool imOk = got.im == want.im || (std::isnan(got.im) && std::isnan(want.im));
  if (reOk && imOk) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << Show(got) << ", want " << Show(want);
}

::testing::AssertionResult Near(const Complex& got, Std want, double tol) {
  const double err = std::abs(Std(got.re, got.im) - want);
  if (err <= tol * std::max(1.0, std::abs(want))) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << Show(got) << ", want " << Show(Complex{want.real(), want.imag()});
}

Complex RealOver(double c, const Complex& z) {
  Complex r;
  ComplexRealOver(r, c, z);
  return r;
}

TEST(ComplexArithmetic, GoldenValuesAndPrincipalBranches) {
  const Complex undefined = kUndefinedComplex;
  struct Case { const char* what; Complex got; Complex want; };
  const Case cases[] = {
      {"ln(-1 - 0i) keeps +pi", ValueOf(ComplexLn, {-1, -0.0}), {0, kPi}},
      {"sqrt(-4 - 0i)", ValueOf(ComplexSqrt, {-4, -0.0}), {0, 2}},
      {"sqrt(-3 + 4i)", ValueOf(ComplexSqrt, {-3, 4}), {1, 2}},
      {"0^0", ValueOf(ComplexPower, {0, 0}, {0, 0}), {1, 0}},
      {"i^3", ValueOf(ComplexPower, {0, 1}, {3, 0}), {0, -1}},
      {"i^101 by the exact fix-up", ValueOf(ComplexPower, {0, 1}, {101, 0}), {0, 1}},
      {"(-2)^101 real", ValueOf(ComplexPower, {-2, 0}, {101, 0}), {-0x1p101, 0}},
      {"10^22, exact in doubles", ValueOf(ComplexPower, {10, 0}, {22, 0}), {1e22, 0}},
      {"(1+i)^2", ValueOf(ComplexPower, {1, 1}, {2, 0}), {0, 2}},
      {"undefined^0 stays undefined", ValueOf(ComplexPower, undefined, {0, 0}), undefined},
      {"floor(2.5 + 0.1i)", ValueOf(ComplexFloor, {2.5, 0.1}), undefined},
      {"floor(2.5 - 0i)", ValueOf(ComplexFloor, {2.5, -0.0}), {2, 0}},
      {"min takes the top when below", ValueOf(ComplexMin, {2, 0}, {1, 0}), {1, 0}},
      {"min off the axis", ValueOf(ComplexMin, {1, 0}, {2, 1e-300}), undefined},
      {"min of undefined and 2", ValueOf(ComplexMin, {kUndefinedReal, 0}, {2, 0}), undefined},
      {"min keeps an infinite operand", ValueOf(ComplexMin, {2, 0}, {-kPositiveInfinity, 0}), {-kPositiveInfinity, 0}},
      {"mod(7i, 3)", ValueOf(ComplexMod, {0, 7}, {3, 0}), undefined},
      {"angle of (-1, -1) in [0, 2 pi)", ValueOf(ComplexAtan2, {-1, 0}, {-1, 0}), {3.9269908169872414, 0}},
      {"1/(0+0i) is not a number", ValueOf(ComplexDivide, {1, 0}, {0, 0}), undefined},
      // |z|^2 beyond the doubles either way; the reciprocal is exact (powers of two).
      {"1/(2^600 (1+i))", RealOver(1, {0x1p600, 0x1p600}), {0x1p-601, -0x1p-601}},
      {"1/(2^-600 (1+i))", RealOver(1, {0x1p-600, 0x1p-600}), {0x1p599, -0x1p599}},
      {"(x+i)(x-i) is exactly real", {0, ValueOf(ComplexMultiply, {1.1, 1}, {1.1, -1}).im}, {0, 0}},
      // One fused multiply-add a part: (1 + 2^-30)^2 - 1 keeps its 2^-60 (by hand).
      {"fused product", ValueOf(ComplexSquare, {1 + 0x1p-30, 1}), {0x1p-29 + 0x1p-60, 2 + 0x1p-29}},
      {"acot(-1) = atan(-1), pi below the real 3 pi/4", ValueOf(ComplexAcot, {-1, 0}), {-kPi / 4, 0}},
      {"acot 0 = pi/2, as the real one", ValueOf(ComplexAcot, {0, 0}), {kPi / 2, 0}},
  };
  for (const Case& c : cases) EXPECT_TRUE(Exactly(c.got, c.want)) << c.what;
  const double ln2PlusRoot3 = 1.3169578969248167;  // ln(2 + sqrt 3), hand-computed
  EXPECT_TRUE(Near(ValueOf(ComplexAcos, {2, 0}), Std(0, -ln2PlusRoot3), 1e-15));
  EXPECT_TRUE(Near(ValueOf(ComplexPower, {-8, 0}, {1.0 / 3, 0}), Std(1, std::sqrt(3.0)), 1e-15));
  EXPECT_TRUE(Near(ValueOf(ComplexLog10, {-100, 0}), Std(2, kPi / std::log(10.0)), 1e-15));
  // On the imaginary axis c / z is formed as -c / im: 1 / (1e200 i) used to square 1e200 to
  // infinity and give 0.
  const struct { double c; Complex z, want; } overs[] = {
      {2.0, {0, 1}, {0, -2}}, {1.0, {0, 1e200}, {0, -1e-200}}, {1.0, {-0.0, -1e-200}, {0, 1e200}}};
  for (const auto& o : overs) {
    Complex r;
    ComplexRealOver(r, o.c, o.z);
    EXPECT_TRUE(Exactly(r, o.want)) << Show(o.z);
  }
}

// acosh x = i acos x on [-1, 1) and asech x = acosh(1/x) = i acos(1/x) for x > 1, with either
// zero: the sign comes from the formula evaluated exactly (its real part is exactly 0, never
// negated), not from how |z + sqrt(z^2 - 1)| = 1 rounds. acosh(-0.683) from libquadmath.
TEST(ComplexArithmetic, AcoshAndAsechTakeTheirBranchFromTheArgumentNotFromRounding) {
  EXPECT_TRUE(Exactly(ValueOf(ComplexAcosh, {-0.683, 0}), {0, 2.3226583510625236}));
  for (int i = -999; i <= 999; ++i) {
    for (const double zero : {0.0, -0.0}) {
      const double x = i / 1000.0;
      EXPECT_TRUE(Near(ValueOf(ComplexAcosh, {x, zero}), Std(0, std::acos(x)), 1e-15)) << x;
      const double y = 1.0 + (i + 1000) / 500.0;  // (1, 5)
      EXPECT_TRUE(Near(ValueOf(ComplexAsech, {y, zero}), Std(0, std::acos(1.0 / y)), 1e-15)) << y;
    }
  }
}

// Within `ulps` doubles of the golden value, part by part; a golden 0 exactly.
::testing::AssertionResult WithinUlps(const Complex& got, double re, double im, uint64_t ulps) {
  const auto near = [ulps](double g, double w) { return w == 0.0 ? g == 0.0 : UlpsApart(g, w) <= ulps; };
  if (near(got.re, re) && near(got.im, im)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << Show(got) << ", want " << Show(Complex{re, im});
}

// On its cut each inverse function takes the value its logarithmic formula gives evaluated
// exactly, and beside the cut the principal value on each side (goldens: kCutGoldens).
TEST(ComplexArithmetic, InverseFunctionsOnAndBesideEveryCutFollowTheirFormulas) {
  const struct { const char* name; PointFn f; } functions[] = {
      {"asin", ComplexAsin},   {"acos", ComplexAcos},   {"atan", ComplexAtan},   {"asinh", ComplexAsinh},
      {"acosh", ComplexAcosh}, {"atanh", ComplexAtanh}, {"acsc", ComplexAcsc},   {"asec", ComplexAsec},
      {"acot", ComplexAcot},   {"acsch", ComplexAcsch}, {"asech", ComplexAsech}, {"acoth", ComplexAcoth},
  };
  for (const CutGolden& c : kCutGoldens) {
    PointFn f = nullptr;
    for (const auto& named : functions) f = std::string(named.name) == c.name ? named.f : f;
    ASSERT_NE(f, nullptr) << c.name;
    const bool realCut = c.y == 0.0;
    const auto at = [&](double across) { return realCut ? Complex{c.x, across} : Complex{across, c.y}; };
    for (const double zero : {0.0, -0.0}) EXPECT_TRUE(WithinUlps(ValueOf(f, at(zero)), c.re, c.im, 4)) << c.name << Show(at(zero));
    EXPECT_TRUE(WithinUlps(ValueOf(f, at(c.step)), c.plusRe, c.plusIm, 8)) << c.name << Show(at(c.step));
    EXPECT_TRUE(WithinUlps(ValueOf(f, at(-c.step)), c.minusRe, c.minusIm, 8)) << c.name << Show(at(-c.step));
  }
  // So, by these formulas, asin x + acos x is not pi/2 on the cuts: pi/2 -+ 2 acosh|x| i.
  for (const double x : {2.0, -2.0}) {
    const Complex a = ValueOf(ComplexAsin, {x, 0}), b = ValueOf(ComplexAcos, {x, 0});
    EXPECT_TRUE(Near({a.re + b.re, a.im + b.im}, Std(kPi / 2, -std::copysign(2 * std::acosh(2.0), x)), 1e-15)) << x;
  }
}

// Where the logarithmic forms cancel (|q| near 1 inside ln q, or z + sqrt(z^2 + 1) for large
// negative z) each part must stay within a few ulps. Golden values: libquadmath's complex
// functions at 113 bits, rounded to double.
TEST(ComplexArithmetic, InverseFunctionsStayWithinAFewUlpsWhereLogarithmsCancel) {
  struct Case { PointFn f; Complex z; Complex want; };
  const Case cases[] = {
      {ComplexAtanh, {1e-9, 1e-9}, {1.0000000000000001e-09, 1.0000000000000001e-09}},
      {ComplexAsinh, {-1000, 0.001}, {-7.6009027095424884, 9.9999950000004176e-07}},
      {ComplexAtanh, {0.5, 1e-300}, {0.54930614433405489, 1.3333333333333334e-300}},
      {ComplexAtanh, {1e6, -1e-3}, {1.0000000000003333e-06, -1.5707963267948957}},
      {ComplexAtanh, {-0.999, 1e-8}, {-3.8002011672251994, 5.0025012504586413e-06}},
      {ComplexAsinh, {1e-10, 2}, {1.3169578969248168, 1.5707963267371616}},
      {ComplexAsinh, {1e150, -1e149}, {346.08588629509336, -0.099668652491162038}},
      {ComplexAsinh, {3e-8, -4e-8}, {3.0000000000000017e-08, -3.9999999999999994e-08}},
      {ComplexAtan, {1e-9, 1e-9}, {1.0000000000000001e-09, 1.0000000000000001e-09}},
      {ComplexAtan, {-3, 1e-12}, {-1.2490457723982544, 1e-13}},
      {ComplexAsin, {1e-9, -1e-9}, {1.0000000000000001e-09, -1.0000000000000001e-09}},
      {ComplexAsin, {5, 1e-6}, {1.5707961226707514, 2.292431669561199}},
      {ComplexAcos, {1, 1e-9}, {3.1622776599048561e-05, -3.1622776604319023e-05}},
      {ComplexAcos, {-1e7, 3}, {3.1415923535897932, -16.811242831518307}},
      {ComplexAcosh, {1, 1e-12}, {1.0000000000000834e-06, 9.9999999999991673e-07}},
      {ComplexAcosh, {-1e8, -1}, {19.113827924512311, -3.1415926435897932}},
      {ComplexSqrt, {-1, 1e-10}, {5.0000000000000002e-11, 1}},
  };
  for (const Case& c : cases) {
    const Complex got = ValueOf(c.f, c.z);
    EXPECT_LE(UlpsApart(got.re, c.want.re), 4u) << Show(c.z) << ": " << Show(got);
    EXPECT_LE(UlpsApart(got.im, c.want.im), 4u) << Show(c.z) << ": " << Show(got);
  }
}

TEST(ComplexArithmetic, AgreesWithAnIndependentLibraryOffTheCuts) {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> coord(-3, 3);
  for (const ComplexUnary& c : kComplexUnary) {
    int failures = 0;
    for (int i = 0; i < 4000 && failures < 3; ++i) {
      // Every cut of these functions lies on an axis (1/z maps the axes to themselves).
      const Complex z{coord(rng), coord(rng)};
      if (std::fabs(z.re) < 1e-3 || std::fabs(z.im) < 1e-3) continue;
      const auto ok = Near(ValueOf(c.point, z), c.library(Std(z.re, z.im)), c.tolerance);
      if (!ok && ++failures) ADD_FAILURE() << c.name << " at " << Show(z) << ": " << ok.message();
    }
  }
}

TEST(ComplexArithmetic, PowerProductAndQuotientAgreeWithTheLibrary) {
  std::mt19937_64 rng(9);
  std::uniform_real_distribution<double> coord(-3, 3);
  for (int i = 0; i < 3000; ++i) {
    const Complex z{coord(rng), coord(rng)}, w{coord(rng), coord(rng)};
    if (std::fabs(z.im) < 1e-3) continue;  // the cut of ln
    const Std zs(z.re, z.im), ws(w.re, w.im);
    EXPECT_TRUE(Near(ValueOf(ComplexPower, z, w), std::pow(zs, ws), 1e-12));
    const Complex n{std::round(coord(rng) * 3), 0};  // whole exponents: repeated multiplication
    EXPECT_TRUE(Near(ValueOf(ComplexPower, z, n), std::pow(zs, n.re), 1e-12)) << n.re;
    EXPECT_TRUE(Near(ValueOf(ComplexMultiply, z, w), zs * ws, 1e-15));
    EXPECT_TRUE(Near(ValueOf(ComplexDivide, z, w), zs / ws, 1e-15));
  }
}

// Whole powers whose parts pass the largest double (or fall below the least) stay defined, and
// each part is what the exact value rounds to: infinite exactly where it lies beyond the doubles,
// with its sign; 0 (of either sign) only where it is 0 or underflows; otherwise within a few
// ulps. Goldens by hand, checked with mpmath at 60 digits: (1e154 (1 + i))^2 = 2e308 i,
// (1e200 (1 + i))^3 = 1e600 (-2 + 2i), (1e200 (1 + i))^-2 = -0.5e-400 i, (1e-200 (1 + i))^-2 =
// -0.5e400 i, (1e300 + 1e-300 i)^2 = 1e600 + 2i, (3e153 + 4e153 i)^2 = -7e306 + 2.4e307 i,
// (-1e200 + 1e100 i)^5 = -1e1000 + 5e900 i, (1e200 i)^2 = -1e400, (1e200 (1 + i))^16 =
// 2.56e3202, (1e160 + 1e159 i)^2 = 9.9e319 + 2e319 i, (1e-100 (1 + i))^-2 = -5e199 i,
// (1e-160 + 1e-161 i)^-2 = 9.70e319 - 1.96e319 i, (1e-60 (1 + i))^-5 = 1.25e299 (-1 + i),
// (1e200 + 1e-200 i)^3 = 1e600 + 3e200 i, (1e-100 (1 + 2i))^-3 = -8.8e298 + 1.6e298 i.
TEST(ComplexArithmetic, WholePowersNearOverflowTakeTheExactValuesParts) {
  constexpr double kInf = kPositiveInfinity;
  struct Case { Complex z; double n; double re, im; };
  const Case cases[] = {
      {{1e154, 1e154}, 2, 0, kInf},       {{1e200, 1e200}, 2, 0, kInf},         {{1e200, 1e200}, 3, -kInf, kInf},
      {{1e200, 1e200}, -2, 0, -0.0},      {{1e-200, 1e-200}, -2, 0, -kInf},     {{1e300, 1e-300}, 2, kInf, 2},
      {{3e153, 4e153}, 2, -7e306, 2.4e307}, {{-1e200, 1e100}, 5, -kInf, kInf},  {{0, 1e200}, 2, -kInf, 0},
      {{1e200, 1e200}, 16, kInf, 0},      {{1e160, 1e159}, 2, kInf, kInf},      {{1e-100, 1e-100}, -2, 0, -4.9999999999999998e199},
      {{1e-160, 1e-161}, -2, kInf, -kInf}, {{1e-60, 1e-60}, -5, -1.2500000000000002e299, 1.2500000000000002e299},
      {{1e200, 1e-200}, 3, kInf, 2.9999999999999998e200}, {{1e-100, 2e-100}, -3, -8.7999999999999995e298, 1.5999999999999999e298},
  };
  for (const Case& c : cases) {
    const Complex p = ValueOf(ComplexPower, c.z, Complex{c.n, 0});
    const auto fits = [](double got, double want) {
      return std::isinf(want) || want == 0.0 ? got == want : UlpsApart(got, want) <= 4;
    };
    EXPECT_TRUE(fits(p.re, c.re) && fits(p.im, c.im)) << Show(c.z) << "^" << c.n << " = " << Show(p);
  }
}

// The same over random bases from 1e-320 to 1e308 (parts of unlike sizes too) and every whole
// exponent from -64 to 64, against the 113-bit power with its binary exponent kept apart (so
// nothing overflows on the way): each part infinite exactly where the exact one rounds to an
// infinity, of its sign, and a finite part within 1e-12 of the exact part's size or the power's.
TEST(ComplexArithmetic, WholePowersOfAnySizeHaveTheExactPartsSignsAndFiniteness) {
  struct Scaled { Quad re, im; long e; };
  const auto normalise = [](Scaled& s) {
    int k = 0;
    frexpq(std::max(fabsq(s.re), fabsq(s.im)), &k);
    s.re = ldexpq(s.re, -k), s.im = ldexpq(s.im, -k), s.e += k;
  };
  const auto exact = [&](Complex z, int n) {
    Scaled base{z.re, z.im, 0}, r{1, 0, 0};
    normalise(base);
    for (int k = 0; k < std::abs(n); ++k) {
      r = {r.re * base.re - r.im * base.im, r.re * base.im + r.im * base.re, r.e + base.e};
      normalise(r);
    }
    if (n < 0) {
      const Quad d = r.re * r.re + r.im * r.im;
      r = {r.re / d, -r.im / d, -r.e};
    }
    return r;
  };
  std::mt19937_64 rng(20261207);
  std::uniform_real_distribution<double> unit(0, 1);
  const auto part = [&] {
    const double v = std::pow(10.0, -320 + 628 * unit(rng)) * (unit(rng) < 0.5 ? -1 : 1);
    return unit(rng) < 0.05 ? 0.0 : v;
  };
  int failures = 0, infinite = 0;
  for (int i = 0; i < 20000 && failures < 5; ++i) {
    Complex z{part(), part()};
    if (unit(rng) < 0.3) z.im = z.re * (unit(rng) - 0.5);  // parts of like size
    if (z.re == 0.0 && z.im == 0.0) continue;
    const int n = static_cast<int>(unit(rng) * 129) - 64;
    const Complex got = ValueOf(ComplexPower, z, Complex{static_cast<double>(n), 0});
    const Scaled w = exact(z, n);
    const Quad size = ldexpq(sqrtq(w.re * w.re + w.im * w.im), static_cast<int>(w.e));
    for (const auto& [g, q] : {std::pair{got.re, w.re}, std::pair{got.im, w.im}}) {
      const double want = static_cast<double>(ldexpq(q, static_cast<int>(w.e)));
      const Quad error = fabsq(Quad(g) - ldexpq(q, static_cast<int>(w.e)));
      const bool ok = std::isinf(want) ? g == want
                                       : std::isfinite(g) && (want == 0.0 || g == 0.0 || std::signbit(g) == std::signbit(want)) &&
                                             error <= 1e-12 * std::max(fabsq(Quad(want)), size <= DBL_MAX ? size : Quad(0)) + 1e-320;
      infinite += std::isinf(want);
      if (!ok && failures++ < 5) {
        ADD_FAILURE() << Show(z) << "^" << n << " = " << Show(got) << ": a part should be " << Fmt(want);
      }
    }
  }
  EXPECT_GT(infinite, 1000) << "the sweep should reach past the doubles";
}

// A part against its 113-bit value q: infinite exactly where q rounds to one; otherwise finite,
// of q's sign where q stands clear of the error allowed, `ulps` units of 2^-53 of the modulus
// (a small part carries the other's rounding) plus one subnormal step.
::testing::AssertionResult PartMatches(double got, Quad q, Quad modulus, double ulps) {
  const double want = static_cast<double>(q);
  const Quad allowed = ulps * Quad(0x1p-53) * modulus + Quad(0x1p-1074);
  const Quad error = fabsq(Quad(got) - q);
  const bool ok = std::isinf(want) ? got == want
                                   : std::isfinite(got) && (fabsq(q) <= allowed || std::signbit(got) == std::signbit(want)) &&
                                         error <= allowed;
  if (ok) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << Fmt(got) << ", the exact part " << Fmt(q) << " (modulus " << Fmt(modulus) << ")";
}

::testing::AssertionResult Matches(const Complex& got, QuadComplex want, double ulps) {
  const Quad modulus = cabsq(want);
  const auto re = PartMatches(got.re, __real__ want, modulus, ulps), im = PartMatches(got.im, __imag__ want, modulus, ulps);
  if (re && im) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "re: " << re.message() << "; im: " << im.message();
}

// Powers with a non-whole or complex exponent near the doubles' limits, against QuadPolarPower.
// The fixed case below is one whose real part is a double just short of the largest while its
// imaginary part overflows.
TEST(ComplexArithmetic, NonWholePowersNearOverflowAndUnderflowKeepEveryFinitePart) {
  std::mt19937_64 rng(20261207);
  int failures = 0, infinite = 0, finiteBesideInfinite = 0, tiny = 0;
  for (int i = 0; i < 20000 && failures < 5; ++i) {
    PowerCase c;
    if (!PowerNearLimits(rng, c)) continue;
    const Complex got = ValueOf(ComplexPower, c.z, c.w);
    const QuadComplex want = QuadPolarPower(c.z, c.w);
    const double re = static_cast<double>(__real__ want), im = static_cast<double>(__imag__ want);
    infinite += std::isinf(re) || std::isinf(im);
    finiteBesideInfinite += std::isinf(re) != std::isinf(im);
    tiny += cabsq(want) < Quad(0x1p-1000);
    const auto ok = Matches(got, want, 4);
    if (!ok && failures++ < 5) ADD_FAILURE() << Show(c.z) << "^" << Show(c.w) << " = " << Show(got) << ": " << ok.message();
  }
  EXPECT_GT(infinite, 2000) << "the sweep should reach past the doubles";
  EXPECT_GT(finiteBesideInfinite, 500) << "and find finite parts beside infinite ones";
  EXPECT_GT(tiny, 2000) << "and reach below the least normal double";
  EXPECT_TRUE(Matches(ValueOf(ComplexPower, {-1e154, -1.2e138}, {2, 0.5}), QuadPolarPower({-1e154, -1.2e138}, {2, 0.5}), 4));
}

// exp and the hyperbolic functions of x + iy, the circular ones of y + ix, with |x| from 300 to
// 800 (e^x or e^2x past the doubles, a product with a sine may not be), y sometimes 0; ln and sqrt
// of z with |z| past the largest double, within 1e8 of it, or subnormal. Against 113 bits.
TEST(ComplexArithmetic, FunctionsWithAPartNearOverflowKeepEveryFinitePart) {
  struct Sweep {
    const char* name;
    bool largeImaginary;  // the large part is the imaginary one
  };
  const Sweep sweeps[] = {{"exp", false},  {"sinh", false}, {"cosh", false}, {"tanh", false}, {"csch", false},
                          {"sech", false}, {"coth", false}, {"sin", true},    {"cos", true},    {"tan", true},
                          {"csc", true},   {"sec", true},   {"cot", true},    {"ln", false},    {"sqrt", false}};
  std::mt19937_64 rng(20261208);
  std::uniform_real_distribution<double> unit(0, 1);
  for (const Sweep& s : sweeps) {
    const ComplexUnary* f = nullptr;
    for (const ComplexUnary& c : kComplexUnary) f = std::string(c.name) == s.name ? &c : f;
    ASSERT_NE(f, nullptr) << s.name;
    const bool modulusSweep = std::string(s.name) == "ln" || std::string(s.name) == "sqrt";
    int failures = 0;
    for (int i = 0; i < 4000 && failures < 3; ++i) {
      const double sign = unit(rng) < 0.5 ? -1 : 1;
      Complex z;
      if (modulusSweep && unit(rng) < 0.25) {
        z = {sign * DBL_MAX * (0.5 + 0.5 * unit(rng)), (unit(rng) < 0.5 ? -1 : 1) * DBL_MAX * (0.5 + 0.5 * unit(rng))};
      } else if (modulusSweep) {
        const double m = unit(rng) < 0.5 ? DBL_MAX * std::pow(10.0, -8 * unit(rng)) : std::pow(10.0, -300 - 23 * unit(rng));
        const double theta = kPi * (2 * unit(rng) - 1);
        z = {m * std::cos(theta), m * std::sin(theta) + 0.0};  // a zero part counts as +0 on the cut
      } else {
        const double large = sign * (300 + 500 * unit(rng)), small = unit(rng) < 0.1 ? 0.0 : 20 * unit(rng) - 10;
        if (small == 0.0 && !s.largeImaginary) continue;  // a real argument takes the real function
        z = s.largeImaginary ? Complex{small, large} : Complex{large, small};
      }
      const Complex got = ValueOf(f->point, z);
      const auto ok = Matches(got, f->quadComplex(MakeQuad(z.re, z.im)), 4);
      if (!ok && failures++ < 3) ADD_FAILURE() << s.name << Show(z) << " = " << Show(got) << ": " << ok.message();
    }
  }
}

// Inside the real domain a real argument (with either zero) gives an exactly real result within
// a few ulps of the real machine's value: a stray imaginary ulp would make every real-only
// operation downstream undefined. Probes: domain edges, poles, overflow thresholds, random ones.
TEST(ComplexArithmetic, RealArgumentsInsideTheRealDomainGiveExactlyTheRealValue) {
  std::vector<double> probes = {0.0, 1e-300, 1e-170, 1e-20, 1e-8, 0.5, 0.9999999, 1.0, 1.0000001, 1.25, kPi / 2,
                                2.0, 3.0, kPi, 100.0, 355.0, 400.0, 710.0, 800.0, 1e20, 1e160, 1e300, kPositiveInfinity};
  for (size_t i = 1, n = probes.size(); i < n; ++i) probes.push_back(-probes[i]);
  std::mt19937 rng(20261206);
  for (int i = 0; i < 300; ++i) probes.push_back((i % 2 ? 1 : -1) * std::exp(std::uniform_real_distribution<double>(-12, 12)(rng)));
  for (const ComplexUnary& c : kComplexUnary) {
    int failures = 0;
    for (double x : probes) {
      const double want = c.real(x);
      // Outside the domain; or a reciprocal at 0, which the unscaled quotient leaves undefined.
      if (std::isnan(want) || (x == 0.0 && std::isinf(want))) continue;
      for (double zero : {0.0, -0.0}) {
        const Complex got = ValueOf(c.point, Complex{x, zero});
        if ((got.im != 0.0 || UlpsApart(got.re, want) > 4) && failures++ < 4) {
          ADD_FAILURE() << c.name << "(" << Fmt(x) << ") = " << Show(got) << ", the real function " << Fmt(want);
        }
      }
    }
  }
  // Product, quotient and power of real pairs: a negative base has a real power only for a
  // whole exponent.
  for (double a : {-65.0, -2.0, -0.5, 0.0, 1e-200, 0.1, 3.0, 64.0, 1e200, kPositiveInfinity}) {
    for (double b : {-100.0, -3.0, -0.5, 0.0, 1.5, 2.0, 7.0, 65.0, 1e200}) {
      EXPECT_TRUE(Exactly(ValueOf(ComplexMultiply, {a, 0}, {b, 0}), {a * b, 0})) << a << " " << b;
      if (b != 0.0) {
        EXPECT_TRUE(Exactly(ValueOf(ComplexDivide, {a, 0}, {b, 0}), {a / b, 0})) << a << " " << b;
      }
      if (a >= 0.0 || IsWholeNumber(b)) {
        const Complex p = ValueOf(ComplexPower, {a, 0}, {b, 0});
        EXPECT_TRUE(p.im == 0.0 && UlpsApart(p.re, std::pow(a, b)) <= 4) << a << "^" << b << " = " << Show(p);
      }
    }
  }
}

}  // namespace
