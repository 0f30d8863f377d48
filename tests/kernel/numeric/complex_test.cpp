// Complex arithmetic: golden values (hand-computed or closed forms such as ln(2 + sqrt 3)),
// exactness of small whole powers, principal branches at signed zeros, and a sweep against
// std::complex as an independent oracle away from the branch cuts.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <random>

#include "kernel/numeric/complex.h"
#include "kernel/numeric/elementary_functions.h"
#include "kernel/numeric/special_functions.h"
#include "tests/kernel/numeric/interval_test_support.h"

namespace {

using interval_test::Call;
using interval_test::Show;

constexpr double kPi = 3.141592653589793;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
using Std = std::complex<double>;

::testing::AssertionResult Exactly(const Complex& got, const Complex& want) {
  const bool reOk = got.re == want.re || (std::isnan(got.re) && std::isnan(want.re));
  const bool imOk = got.im == want.im || (std::isnan(got.im) && std::isnan(want.im));
  if (reOk && imOk) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << Show(got) << ", want " << Show(want);
}

::testing::AssertionResult Near(const Complex& got, Std want, double tol) {
  const double err = std::abs(Std(got.re, got.im) - want);
  if (err <= tol * std::max(1.0, std::abs(want))) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << Show(got) << ", want " << Show(Complex{want.real(), want.imag()})
                                       << ", error " << err;
}

TEST(ComplexArithmetic, GoldenValuesAndPrincipalBranches) {
  const Complex nan = kUndefinedComplex;
  struct Case { const char* what; Complex got; Complex want; };
  const Case cases[] = {
      {"ln(-1)", Call(ComplexLn, {-1, 0}), {0, kPi}},
      {"ln(-1 - 0i) keeps +pi", Call(ComplexLn, {-1, -0.0}), {0, kPi}},
      {"arg(-1 - 0i)", Call(ComplexArg, {-1, -0.0}), {kPi, 0}},
      {"abs(3 + 4i)", Call(ComplexAbs, {3, 4}), {5, 0}},
      {"sqrt(-4)", Call(ComplexSqrt, {-4, 0}), {0, 2}},
      {"sqrt(-4 - 0i)", Call(ComplexSqrt, {-4, -0.0}), {0, 2}},
      {"sqrt(4)", Call(ComplexSqrt, {4, 0}), {2, 0}},
      {"0^0", Call(ComplexPower, {0, 0}, {0, 0}), {1, 0}},
      {"0^-1", Call(ComplexPower, {0, 0}, {-1, 0}), {kInf, 0}},
      {"0^2", Call(ComplexPower, {0, 0}, {2, 0}), {0, 0}},
      {"i^2", Call(ComplexPower, {0, 1}, {2, 0}), {-1, 0}},
      {"i^3", Call(ComplexPower, {0, 1}, {3, 0}), {0, -1}},
      {"i^4", Call(ComplexPower, {0, 1}, {4, 0}), {1, 0}},
      {"(-i)^3", Call(ComplexPower, {0, -1}, {3, 0}), {0, 1}},
      {"i^101 by the exact fix-up", Call(ComplexPower, {0, 1}, {101, 0}), {0, 1}},
      {"i^100 by the exact fix-up", Call(ComplexPower, {0, 1}, {100, 0}), {1, 0}},
      {"(-2)^3", Call(ComplexPower, {-2, 0}, {3, 0}), {-8, 0}},
      {"2^10", Call(ComplexPower, {2, 0}, {10, 0}), {1024, 0}},
      {"2^-2", Call(ComplexPower, {2, 0}, {-2, 0}), {0.25, 0}},
      {"(1+i)^2", Call(ComplexPower, {1, 1}, {2, 0}), {0, 2}},
      {"(-2)^100 real", {Call(ComplexPower, {-2, 0}, {100, 0}).im, 0}, {0, 0}},
      {"floor(2.5 + 0.1i)", Call(ComplexFloor, {2.5, 0.1}), nan},
      {"floor(2.5 - 0i)", Call(ComplexFloor, {2.5, -0.0}), {2, 0}},
      {"ceil(2.5)", Call(ComplexCeil, {2.5, 0}), {3, 0}},
      {"sign(-3)", Call(ComplexSign, {-3, 0}), {-1, 0}},
      {"sign(i)", Call(ComplexSign, {0, 1}), nan},
      {"factorial(5 + i)", Call(ComplexFactorial, {5, 1}), nan},
      {"min", Call(ComplexMin, {1, 0}, {2, 0}), {1, 0}},
      {"min takes the top when below", Call(ComplexMin, {2, 0}, {1, 0}), {1, 0}},
      {"max", Call(ComplexMax, {1, 0}, {2, 0}), {2, 0}},
      {"min off the axis", Call(ComplexMin, {1, 0}, {2, 1e-300}), nan},
      {"min of undefined and 2", Call(ComplexMin, {kNaN, 0}, {2, 0}), nan},
      {"min of 2 and undefined", Call(ComplexMin, {2, 0}, {kNaN, 0}), nan},
      {"max of undefined and 2", Call(ComplexMax, {kNaN, 0}, {2, 0}), nan},
      {"max of 2 and undefined", Call(ComplexMax, {2, 0}, {kNaN, 0}), nan},
      {"min keeps an infinite operand", Call(ComplexMin, {2, 0}, {-kInf, 0}), {-kInf, 0}},
      {"undefined^0 stays undefined", Call(ComplexPower, nan, {0, 0}), nan},
      {"2^undefined", Call(ComplexPower, {2, 0}, {kNaN, 0}), nan},
      {"mod(7i, 3)", Call(ComplexMod, {0, 7}, {3, 0}), nan},
      {"hypot(3, 4)", Call(ComplexHypot, {3, 0}, {4, 0}), {5, 0}},
      {"hypot off the axis", Call(ComplexHypot, {3, 0}, {4, 1}), nan},
      {"angle of (-1, -1)", Call(ComplexAtan2, {-1, 0}, {-1, 0}), {3.9269908169872414, 0}},
      {"angle of (1, 0)", Call(ComplexAtan2, {0, 0}, {1, 0}), {0, 0}},
      {"angle off the axis", Call(ComplexAtan2, {-1, 1}, {-1, 0}), nan},
      {"besselj(0, 0)", Call(ComplexBesselJ, {0, 0}, {0, 0}), {1, 0}},
      {"besselj off the axis", Call(ComplexBesselJ, {0, 0}, {1, 1}), nan},
      {"1/(0+0i) is not a number", Call(ComplexDivide, {1, 0}, {0, 0}), nan},
      {"(1+2i)/(3+4i)", Call(ComplexDivide, {1, 2}, {3, 4}), {11.0 / 25, 2.0 / 25}},
      {"(x+i)(x-i) is exactly real", {0, Call(ComplexMultiply, {1.1, 1}, {1.1, -1}).im}, {0, 0}},
      // The real part is one fused multiply-add: (1 + 2^-30)^2 - 1 keeps its 2^-60 (by hand),
      // which a rounded product would drop.
      {"fused product", Call(ComplexSquare, {1 + 0x1p-30, 1}), {0x1p-29 + 0x1p-60, 2 + 0x1p-29}},
  };
  for (const Case& c : cases) EXPECT_TRUE(Exactly(c.got, c.want)) << c.what;
  EXPECT_TRUE(Near(Call(ComplexAcos, {2, 0}), Std(0, -1.3169578969248166), 1e-15));
  EXPECT_EQ(Call(ComplexAcos, {2, 0}).re, 0.0);
  EXPECT_TRUE(Near(Call(ComplexPower, {-8, 0}, {1.0 / 3, 0}), Std(1, 1.7320508075688772), 1e-15));
  EXPECT_TRUE(Near(Call(ComplexBesselJ, {1, 0}, {2, 0}), Std(BesselJv(1, 2), 0), 0));
  EXPECT_TRUE(Near(Call(ComplexLog10, {-100, 0}), Std(2, kPi / std::log(10.0)), 1e-15));
  Complex r;
  ComplexRealOver(r, 2.0, {0, 1});  // 2 / i = -2i
  EXPECT_TRUE(Exactly(r, {0, -2}));
}

struct UnaryOracle {
  const char* name;
  void (*f)(Complex&, const Complex&);
  Std (*oracle)(Std);
  double tol;
};

// Relative tolerances (measured worst cases over 200,000 points, with room): a few ulps where
// the formula has no cancellation; ln |z| loses relative accuracy as |z| nears 1 (tens of ulps,
// also in every function built on ln); the tangent formulas divide by cos 2x + cosh 2y, which
// cancels near their poles; asin and acos of a large 1/z cancel in i w + sqrt(1 - w^2).
constexpr double kFewUlps = 1e-15;
constexpr double kThroughLn = 1e-14;
constexpr double kTangent = 2e-12;
constexpr double kLargeReciprocal = 1e-11;

TEST(ComplexArithmetic, AgreesWithAnIndependentLibraryOffTheCuts) {
  const UnaryOracle cases[] = {
      {"exp", ComplexExp, [](Std z) { return std::exp(z); }, kFewUlps},
      {"ln", ComplexLn, [](Std z) { return std::log(z); }, kThroughLn},
      {"log10", ComplexLog10, [](Std z) { return std::log10(z); }, kThroughLn},
      {"sqrt", ComplexSqrt, [](Std z) { return std::sqrt(z); }, kFewUlps},
      {"square", ComplexSquare, [](Std z) { return z * z; }, kFewUlps},
      {"sin", ComplexSin, [](Std z) { return std::sin(z); }, kFewUlps},
      {"cos", ComplexCos, [](Std z) { return std::cos(z); }, kFewUlps},
      {"tan", ComplexTan, [](Std z) { return std::tan(z); }, kTangent},
      {"cot", ComplexCot, [](Std z) { return 1.0 / std::tan(z); }, kTangent},
      {"sec", ComplexSec, [](Std z) { return 1.0 / std::cos(z); }, kFewUlps},
      {"csc", ComplexCsc, [](Std z) { return 1.0 / std::sin(z); }, kFewUlps},
      {"asin", ComplexAsin, [](Std z) { return std::asin(z); }, kThroughLn},
      {"acos", ComplexAcos, [](Std z) { return std::acos(z); }, kThroughLn},
      {"atan", ComplexAtan, [](Std z) { return std::atan(z); }, kThroughLn},
      {"acot", ComplexAcot, [](Std z) { return std::atan(1.0 / z); }, kThroughLn},
      {"asec", ComplexAsec, [](Std z) { return std::acos(1.0 / z); }, kLargeReciprocal},
      {"acsc", ComplexAcsc, [](Std z) { return std::asin(1.0 / z); }, kLargeReciprocal},
      {"sinh", ComplexSinh, [](Std z) { return std::sinh(z); }, kFewUlps},
      {"cosh", ComplexCosh, [](Std z) { return std::cosh(z); }, kFewUlps},
      {"tanh", ComplexTanh, [](Std z) { return std::tanh(z); }, kTangent},
      {"coth", ComplexCoth, [](Std z) { return 1.0 / std::tanh(z); }, kTangent},
      {"sech", ComplexSech, [](Std z) { return 1.0 / std::cosh(z); }, kFewUlps},
      {"csch", ComplexCsch, [](Std z) { return 1.0 / std::sinh(z); }, kFewUlps},
      {"asinh", ComplexAsinh, [](Std z) { return std::asinh(z); }, kThroughLn},
      {"acosh", ComplexAcosh, [](Std z) { return std::acosh(z); }, kThroughLn},
      {"atanh", ComplexAtanh, [](Std z) { return std::atanh(z); }, kThroughLn},
      {"acoth", ComplexAcoth, [](Std z) { return std::atanh(1.0 / z); }, kThroughLn},
      {"asech", ComplexAsech, [](Std z) { return std::acosh(1.0 / z); }, kLargeReciprocal},
      {"acsch", ComplexAcsch, [](Std z) { return std::asinh(1.0 / z); }, kLargeReciprocal},
  };
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> coord(-3, 3);
  for (const UnaryOracle& c : cases) {
    int failures = 0;
    for (int i = 0; i < 4000 && failures < 3; ++i) {
      // Every cut of these functions lies on an axis (1/z maps the axes to themselves).
      Complex z{coord(rng), coord(rng)};
      if (std::fabs(z.re) < 1e-3 || std::fabs(z.im) < 1e-3) continue;
      Complex got;
      c.f(got, z);
      const auto ok = Near(got, c.oracle(Std(z.re, z.im)), c.tol);
      if (!ok) {
        ++failures;
        ADD_FAILURE() << c.name << " at (" << z.re << ", " << z.im << "): " << ok.message();
      }
    }
  }
}

TEST(ComplexArithmetic, PowerAgreesWithTheLibraryAndSatisfiesIdentities) {
  std::mt19937_64 rng(9);
  std::uniform_real_distribution<double> coord(-3, 3);
  for (int i = 0; i < 3000; ++i) {
    const Complex z{coord(rng), coord(rng)}, w{coord(rng), coord(rng)};
    if (std::fabs(z.im) < 1e-3) continue;  // the cut of ln
    EXPECT_TRUE(Near(Call(ComplexPower, z, w), std::pow(Std(z.re, z.im), Std(w.re, w.im)), 1e-12));
    const Complex n{std::round(coord(rng) * 3), 0};  // whole exponents: repeated multiplication
    EXPECT_TRUE(Near(Call(ComplexPower, z, n), std::pow(Std(z.re, z.im), n.re), 1e-12)) << n.re;
    Complex l, e;
    ComplexLn(l, z);
    ComplexExp(e, l);
    EXPECT_TRUE(Near(e, Std(z.re, z.im), 1e-14));
    Complex s, c, s2, c2;
    ComplexSin(s, z);
    ComplexCos(c, z);
    ComplexSquare(s2, s);
    ComplexSquare(c2, c);
    EXPECT_TRUE(Near({s2.re + c2.re, s2.im + c2.im}, Std(1, 0), 1e-12));
    // The product with one fused multiply-add per part: within an ulp or so of the exact one.
    Complex p;
    ComplexMultiply(p, z, w);
    EXPECT_TRUE(Near(p, Std(z.re, z.im) * Std(w.re, w.im), 1e-15));
    // The unscaled quotient, away from overflow: a few ulps of the library's.
    EXPECT_TRUE(Near(Call(ComplexDivide, z, w), Std(z.re, z.im) / Std(w.re, w.im), 1e-15));
  }
}

TEST(ComplexArithmetic, RealOnlyOperationsMatchTheRealFunctions) {
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> coord(-20, 20);
  for (int i = 0; i < 500; ++i) {
    const double x = coord(rng), y = coord(rng);
    EXPECT_TRUE(Exactly(Call(ComplexMod, {x, 0}, {y, 0}), {FlooredMod(x, y), 0}));
    EXPECT_TRUE(Exactly(Call(ComplexFactorial, {x, 0}), {Factorial(x), 0}));
    EXPECT_TRUE(Exactly(Call(ComplexBesselJ, {std::fabs(y), 0}, {x, 0}), {BesselJv(std::fabs(y), x), 0}));
    EXPECT_TRUE(Exactly(Call(ComplexMod, {x, 0}, {y, 0.5}), kUndefinedComplex));
  }
}

}  // namespace
