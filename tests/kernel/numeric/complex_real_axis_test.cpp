// Complex and complex-interval functions on the real axis: wherever the real function is defined,
// a real argument must give an exactly real result (imaginary part 0, or exactly [0, 0] over a
// real box) whose real part is the real machine's value to a few ulps (or holds it, over a box).
// A stray imaginary ulp would make every real-only operation and comparison downstream undefined.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "kernel/eval/compiled_function.h"
#include "kernel/numeric/complex.h"
#include "kernel/numeric/complex_interval.h"
#include "kernel/numeric/elementary_functions.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/eval/interpreter.h"
#include "kernel/numeric/interval.h"
#include "tests/kernel/eval/evaluation_test_support.h"
#include "tests/kernel/numeric/interval_test_support.h"

namespace {

using interval_test::Call;
using interval_test::Fmt;
using interval_test::Show;

constexpr double kPi = 3.141592653589793;
constexpr double kInf = std::numeric_limits<double>::infinity();

using PointFn = void (*)(Complex&, const Complex&);
using BoxFn = void (*)(ComplexInterval&, const ComplexInterval&);
using RealFn = double (*)(double);
using RealBoxFn = void (*)(Interval&, const Interval&);

// One function: its complex and complex-interval forms, the real function it must agree with on
// the real axis and the real machine's interval operation. Where the real function gives NaN the
// argument is outside its domain and nothing is claimed.
struct UnaryCase {
  const char* name;
  PointFn point;
  BoxFn box;
  RealFn real;
  RealBoxFn realBox;
};

void IntervalArgOfReal(Interval& out, const Interval& a) {
  out = a.hi < 0.0 ? Interval{kPi, kPi} : a.lo >= 0.0 ? Interval{0.0, 0.0} : Interval{0.0, kPi};
}

// The real machine's functions. acot is the exception: the complex one is atan(1/z), whose values
// on the negative reals lie in (-pi/2, 0) where the real inverse cotangent lies in (pi/2, pi); the
// reference keeps the complex convention (both agree on the positive reals, checked below).
const UnaryCase kUnary[] = {
    {"exp", ComplexExp, ComplexIntervalExp, [](double x) { return std::exp(x); }, IntervalExp},
    {"ln", ComplexLn, ComplexIntervalLn, [](double x) { return std::log(x); }, IntervalLn},
    {"log10", ComplexLog10, ComplexIntervalLog10, [](double x) { return std::log10(x); }, IntervalLog10},
    {"sqrt", ComplexSqrt, ComplexIntervalSqrt, [](double x) { return std::sqrt(x); }, IntervalSqrt},
    {"square", ComplexSquare, ComplexIntervalSquare, [](double x) { return x * x; }, IntervalSquare},
    {"abs", ComplexAbs, ComplexIntervalAbs, [](double x) { return std::fabs(x); }, IntervalAbs},
    {"arg", ComplexArg, ComplexIntervalArg, [](double x) { return x < 0.0 ? kPi : 0.0; }, IntervalArgOfReal},
    {"sin", ComplexSin, ComplexIntervalSin, [](double x) { return std::sin(x); }, IntervalSin},
    {"cos", ComplexCos, ComplexIntervalCos, [](double x) { return std::cos(x); }, IntervalCos},
    {"tan", ComplexTan, ComplexIntervalTan, [](double x) { return std::tan(x); }, IntervalTan},
    {"cot", ComplexCot, ComplexIntervalCot, Cot, IntervalCot},
    {"sec", ComplexSec, ComplexIntervalSec, Sec, IntervalSec},
    {"csc", ComplexCsc, ComplexIntervalCsc, Csc, IntervalCsc},
    {"asin", ComplexAsin, ComplexIntervalAsin, [](double x) { return std::asin(x); }, IntervalAsin},
    {"acos", ComplexAcos, ComplexIntervalAcos, [](double x) { return std::acos(x); }, IntervalAcos},
    {"atan", ComplexAtan, ComplexIntervalAtan, [](double x) { return std::atan(x); }, IntervalAtan},
    {"acot", ComplexAcot, ComplexIntervalAcot, [](double x) { return std::atan(1.0 / x); }, IntervalAcot},
    {"asec", ComplexAsec, ComplexIntervalAsec, Arcsec, IntervalAsec},
    {"acsc", ComplexAcsc, ComplexIntervalAcsc, Arccsc, IntervalAcsc},
    {"sinh", ComplexSinh, ComplexIntervalSinh, [](double x) { return std::sinh(x); }, IntervalSinh},
    {"cosh", ComplexCosh, ComplexIntervalCosh, [](double x) { return std::cosh(x); }, IntervalCosh},
    {"tanh", ComplexTanh, ComplexIntervalTanh, [](double x) { return std::tanh(x); }, IntervalTanh},
    {"coth", ComplexCoth, ComplexIntervalCoth, Coth, IntervalCoth},
    {"sech", ComplexSech, ComplexIntervalSech, Sech, IntervalSech},
    {"csch", ComplexCsch, ComplexIntervalCsch, Csch, IntervalCsch},
    {"asinh", ComplexAsinh, ComplexIntervalAsinh, [](double x) { return std::asinh(x); }, IntervalAsinh},
    {"acosh", ComplexAcosh, ComplexIntervalAcosh, [](double x) { return std::acosh(x); }, IntervalAcosh},
    {"atanh", ComplexAtanh, ComplexIntervalAtanh, [](double x) { return std::atanh(x); }, IntervalAtanh},
    {"acoth", ComplexAcoth, ComplexIntervalAcoth, Arccoth, IntervalAcoth},
    {"asech", ComplexAsech, ComplexIntervalAsech, Arcsech, IntervalAsech},
    {"acsch", ComplexAcsch, ComplexIntervalAcsch, Arccsch, IntervalAcsch},
};

// Distance in representable doubles (same-sign infinities are 0 apart).
uint64_t UlpsApart(double a, double b) {
  if (a == b) return 0;
  const auto ordered = [](double v) {
    int64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits < 0 ? std::numeric_limits<int64_t>::min() - bits : bits;
  };
  const int64_t ia = ordered(a), ib = ordered(b);
  return ia > ib ? static_cast<uint64_t>(ia) - static_cast<uint64_t>(ib)
                 : static_cast<uint64_t>(ib) - static_cast<uint64_t>(ia);
}

constexpr uint64_t kFewUlps = 4;

// Containment of a finite value with slack for the rounding of the bounds, which is not
// directed. Infinite values at poles are not claimed: a box approaches a pole at its end from
// inside, whatever the sign of the zero there.
bool HoldsNear(const Interval& r, double v) {
  if (!std::isfinite(v)) return true;
  const double slack = 1e-13 * (1.0 + std::fabs(v));
  if (IntervalIsWrapped(r)) return v >= r.lo - slack || v <= r.hi + slack;
  return r.lo - slack <= v && v <= r.hi + slack;
}

// Real arguments: the edges of the real domains (0, +-1), values just inside and outside them,
// poles and overflow thresholds of the functions, huge and tiny magnitudes, and random ones.
std::vector<double> RealProbes() {
  std::vector<double> v = {0.0,   1e-300, 1e-170, 1e-20, 1e-8,  0.1,   0.5,  0.75, 0.9999999, 1.0,
                           1.0000001, 1.25, 1.5, kPi / 2, 2.0, 2.33, 2.4, 3.0, kPi,  10.0,
                           100.0, 355.0,  400.0,  710.0, 800.0, 1e10,  1e20, 1e160, 1e300,  kInf};
  const size_t n = v.size();
  for (size_t i = 1; i < n; ++i) v.push_back(-v[i]);
  std::mt19937 rng(20261206);
  std::uniform_real_distribution<double> exponent(-12.0, 12.0);
  for (int i = 0; i < 300; ++i) {
    const double m = std::exp(exponent(rng));
    v.push_back(i % 2 ? m : -m);
  }
  return v;
}

std::string Describe(const char* name, double x, const Complex& got, double want) {
  return std::string(name) + "(" + Fmt(x) + ") = (" + Fmt(got.re) + ", " + Fmt(got.im) + "), the real function " +
         Fmt(want);
}

TEST(ComplexRealAxis, EveryFunctionIsExactlyRealAndAgreesWithTheRealOneInsideItsDomain) {
  const std::vector<double> probes = RealProbes();
  for (const UnaryCase& c : kUnary) {
    int failures = 0, checked = 0;
    for (double x : probes) {
      const double want = c.real(x);
      if (std::isnan(want)) continue;
      // The reciprocal functions divide by an exact 0 there, which the unscaled complex
      // quotient leaves undefined rather than infinite.
      if (x == 0.0 && std::isinf(want)) continue;
      ++checked;
      for (double zeroIm : {0.0, -0.0}) {  // negation leaves -0 behind; it counts as 0
        const Complex got = Call(c.point, Complex{x, zeroIm});
        const bool ok = got.im == 0.0 && UlpsApart(got.re, want) <= kFewUlps;
        if (!ok && failures++ < 4) ADD_FAILURE() << Describe(c.name, x, got, want);
      }
    }
    EXPECT_GT(checked, 40) << c.name;
  }
}

// Closed forms, hand-derived: asinh 0.75 = ln(0.75 + 1.25), acosh 1.25 = ln(1.25 + 0.75),
// atanh 0.6 = ln(1.6 / 0.4) / 2, tanh ln 2 = (2 - 1/2) / (2 + 1/2), acsch 2 = asinh 0.5 =
// ln((1 + sqrt 5) / 2), asinh(-1e8) = -ln(2e8) to 1e-17. Several come from where the formulas
// went wrong: an ulp of imaginary part (atan, asin, acos), cancellation (asinh, atanh, acos near
// 1), overflow to NaN (tanh, sech, exp) and a rounded log10.
TEST(ComplexRealAxis, ClosedFormsAtRealArgumentsAreExactlyReal) {
  const double ln2 = std::log(2.0);
  struct Case { const char* what; PointFn f; double x; double want; uint64_t ulps; };
  const Case cases[] = {
      {"atan 1 = pi/4", ComplexAtan, 1.0, kPi / 4, 1},
      {"atan e^0.5548", ComplexAtan, std::exp(0.5548), std::atan(std::exp(0.5548)), 1},
      {"asin 0.5 = pi/6", ComplexAsin, 0.5, kPi / 6, 2},
      {"acos 0.5 = pi/3", ComplexAcos, 0.5, kPi / 3, 2},
      {"acos 1 = 0", ComplexAcos, 1.0, 0.0, 0},
      {"acos(1 - 2^-40) = 2^-19.5 (1 + 2^-42 / 3)", ComplexAcos, 1.0 - std::ldexp(1.0, -40),
       std::ldexp(std::sqrt(2.0), -20) * (1.0 + std::ldexp(1.0, -42) / 3.0), 2},
      {"acsc 2 = pi/6", ComplexAcsc, 2.0, kPi / 6, 2},
      {"asec 2 = pi/3", ComplexAsec, 2.0, kPi / 3, 2},
      {"acot 1 = pi/4", ComplexAcot, 1.0, kPi / 4, 1},
      {"acot 0 = pi/2, as the real one", ComplexAcot, 0.0, kPi / 2, 0},
      {"acot(-1) = -pi/4: atan(1/z), pi below the real 3 pi/4", ComplexAcot, -1.0, -kPi / 4, 1},
      {"asinh 0.75 = ln 2", ComplexAsinh, 0.75, ln2, 2},
      {"asinh(-1e8) = -ln(2e8)", ComplexAsinh, -1e8, -std::log(2e8), 2},
      {"acosh 1.25 = ln 2", ComplexAcosh, 1.25, ln2, 2},
      {"atanh 0.6 = ln 2", ComplexAtanh, 0.6, ln2, 4},
      {"atanh 1e-20 = 1e-20", ComplexAtanh, 1e-20, 1e-20, 1},
      {"acoth 2 = ln 3 / 2", ComplexAcoth, 2.0, std::log(3.0) / 2, 2},
      {"acsch 2 = ln of the golden ratio", ComplexAcsch, 2.0, std::log((1 + std::sqrt(5.0)) / 2), 2},
      {"asech 0.8 = ln 2", ComplexAsech, 0.8, ln2, 4},
      {"tanh ln 2 = 0.6", ComplexTanh, ln2, 0.6, 2},
      {"tanh 400 = 1", ComplexTanh, 400.0, 1.0, 0},
      {"coth ln 2 = 5/3", ComplexCoth, ln2, 5.0 / 3, 4},
      {"sech ln 2 = 0.8", ComplexSech, ln2, 0.8, 2},
      {"sech 800 = 0", ComplexSech, 800.0, 0.0, 0},
      {"csch ln 2 = 4/3", ComplexCsch, ln2, 4.0 / 3, 4},
      {"csc 1e-200 = 1e200", ComplexCsc, 1e-200, 1e200, 1},
      {"tan pi/4 = 1", ComplexTan, kPi / 4, 1.0, 1},
      {"exp 800 = +inf", ComplexExp, 800.0, kInf, 0},
      {"sinh 800 = +inf", ComplexSinh, 800.0, kInf, 0},
      {"log10 1000 = 3", ComplexLog10, 1000.0, 3.0, 0},
  };
  for (const Case& c : cases) {
    const Complex got = Call(c.f, Complex{c.x, 0.0});
    EXPECT_EQ(got.im, 0.0) << c.what;
    EXPECT_LE(UlpsApart(got.re, c.want), c.ulps) << c.what << ": " << Fmt(got.re) << " for " << Fmt(c.want);
  }
  // Powers: the real power of a positive base or with a whole exponent; a negative base with a
  // fractional exponent keeps the principal root.
  EXPECT_EQ(Call(ComplexPower, Complex{10.0, 0.0}, Complex{-2.0, 0.0}).re, 0.01);
  EXPECT_EQ(Call(ComplexPower, Complex{10.0, 0.0}, Complex{22.0, 0.0}).re, 1e22);  // exact in doubles
  EXPECT_EQ(Call(ComplexPower, Complex{-2.0, 0.0}, Complex{3.0, 0.0}).re, -8.0);
  EXPECT_EQ(Call(ComplexPower, Complex{-2.0, 0.0}, Complex{101.0, 0.0}).re, -std::ldexp(1.0, 101));
  const Complex root = Call(ComplexPower, Complex{-8.0, 0.0}, Complex{1.0 / 3, 0.0});
  EXPECT_NEAR(root.re, 1.0, 1e-15);
  EXPECT_NEAR(root.im, std::sqrt(3.0), 1e-15);
  // Off the real axis, and outside the real domain, the formulas still hold.
  const Complex lnMinus1 = Call(ComplexLn, Complex{-1.0, 0.0});
  EXPECT_TRUE(lnMinus1.re == 0.0 && lnMinus1.im == kPi);
  const Complex log10Minus = Call(ComplexLog10, Complex{-100.0, 0.0});  // (2, pi / ln 10)
  EXPECT_NEAR(log10Minus.re, 2.0, 1e-15);
  EXPECT_NEAR(log10Minus.im, kPi / std::log(10.0), 1e-15);
  const Complex asin2 = Call(ComplexAsin, Complex{2.0, 0.0});  // pi/2 - i ln(2 + sqrt 3)
  EXPECT_NEAR(asin2.re, kPi / 2, 1e-15);
  EXPECT_NEAR(std::fabs(asin2.im), std::log(2 + std::sqrt(3.0)), 1e-15);
  const Complex acos2 = Call(ComplexAcos, Complex{2.0, 0.0});
  EXPECT_EQ(acos2.re, 0.0);
  EXPECT_NEAR(acos2.im, -std::log(2 + std::sqrt(3.0)), 1e-15);
  // Im atan(x + iy) = ln((x^2 + (y + 1)^2) / (x^2 + (y - 1)^2)) / 4.
  EXPECT_NEAR(Call(ComplexAtan, Complex{1.0, 0.001}).im, std::log(2.002001 / 1.998001) / 4, 1e-15);
}

// On the positive reals the complex inverse cotangent is the real one; on the negative reals it
// is pi below it (atan(1/z), the principal convention), and a box over 0 holds both sides of
// the jump at 0.
TEST(ComplexRealAxis, InverseCotangentFollowsTheReciprocalConvention) {
  for (double x : {1e-8, 0.3, 1.0, 7.0, 1e12}) {
    EXPECT_LE(UlpsApart(Call(ComplexAcot, Complex{x, 0.0}).re, Arccot(x)), 2u) << x;
    EXPECT_LE(UlpsApart(Call(ComplexAcot, Complex{-x, 0.0}).re + kPi, Arccot(-x)), 4u) << -x;
  }
  const ComplexInterval box = Call(ComplexIntervalAcot, ComplexInterval{{-1.0, 1.0}, {0.0, 0.0}});
  ASSERT_TRUE(ComplexIntervalIsReal(box)) << Show(box);
  for (double x : {-1.0, -0.5, -1e-300, -0.0, 0.0, 1e-300, 0.5, 1.0}) {
    EXPECT_TRUE(HoldsNear(box.re, Call(ComplexAcot, Complex{x, 0.0}).re)) << Show(box) << " at " << x;
  }
}

// Two-operand operations on real pairs: product, quotient and power.
struct BinaryCase {
  const char* name;
  void (*point)(Complex&, const Complex&, const Complex&);
  void (*box)(ComplexInterval&, const ComplexInterval&, const ComplexInterval&);
  double (*real)(double, double);
  void (*realBox)(Interval&, const Interval&, const Interval&);
};

// A negative base has a real power only for a whole exponent (std::pow would also give one for
// an infinite base); a fractional one takes the principal root, which is not real.
double RealPower(double a, double b) { return a < 0.0 && !IsWholeNumber(b) ? std::nan("") : std::pow(a, b); }

const BinaryCase kBinary[] = {
    {"times", ComplexMultiply, ComplexIntervalMultiply, [](double a, double b) { return a * b; }, IntervalMultiply},
    {"over", ComplexDivide, ComplexIntervalDivide, [](double a, double b) { return a / b; }, IntervalDivide},
    {"power", ComplexPower, ComplexIntervalPower, RealPower, IntervalPower},
};

std::vector<double> PairProbes() {
  std::vector<double> v = {0.0, 1e-200, 0.1, 0.5, 1.0, 1.5, 2.0, 3.0, 7.0, 10.0, 64.0, 65.0, 100.0, 1e200, kInf};
  const size_t n = v.size();
  for (size_t i = 1; i < n; ++i) v.push_back(-v[i]);
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-12.0, 12.0);
  for (int i = 0; i < 30; ++i) v.push_back(u(rng));
  return v;
}

TEST(ComplexRealAxis, ProductQuotientAndPowerOfRealsAreExactlyReal) {
  const std::vector<double> probes = PairProbes();
  for (const BinaryCase& c : kBinary) {
    int failures = 0;
    for (double a : probes) {
      for (double b : probes) {
        const double want = c.real(a, b);
        if (std::isnan(want)) continue;
        if (c.point == ComplexDivide && b == 0.0) continue;  // the unscaled quotient's own rule
        const Complex got = Call(c.point, Complex{a, 0.0}, Complex{b, 0.0});
        const bool ok = got.im == 0.0 && UlpsApart(got.re, want) <= kFewUlps;
        if (!ok && failures++ < 4) {
          ADD_FAILURE() << c.name << "(" << Fmt(a) << ", " << Fmt(b) << ") = (" << Fmt(got.re) << ", "
                        << Fmt(got.im) << "), the real operation " << Fmt(want);
        }
      }
    }
  }
}

// A real box result: defined wherever the real machine's interval operation is, imaginary part
// exactly [0, 0], holding the real function's values at the samples.
::testing::AssertionResult RealResultHolds(const ComplexInterval& got, const Interval& realOperation,
                                           const std::vector<double>& values) {
  if (ComplexIntervalIsUndefined(got)) {
    if (IntervalIsUndefined(realOperation)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "undefined, the real interval operation gives " << Show(realOperation);
  }
  if (!ComplexIntervalIsReal(got)) return ::testing::AssertionFailure() << Show(got) << " is not real";
  for (double v : values) {
    if (!HoldsNear(got.re, v)) return ::testing::AssertionFailure() << Show(got) << " misses " << Fmt(v);
  }
  return ::testing::AssertionSuccess();
}

// Real boxes: between neighbouring probes, from each probe to its neighbours two and five
// further on, and degenerate ones, kept when the real function is defined at both ends and at
// the sampled inside points (poles inside a box are allowed: the real function is infinite
// there, not undefined).
struct RealBox {
  double lo, hi;
};

std::vector<RealBox> Boxes() {
  std::vector<double> p = RealProbes();
  p.resize(59);  // the fixed probes, without the random ones
  std::sort(p.begin(), p.end());
  std::vector<RealBox> boxes;
  for (size_t i = 0; i < p.size(); ++i) {
    for (size_t step : {0u, 1u, 2u, 5u}) {
      if (i + step < p.size()) boxes.push_back({p[i], p[i + step]});
    }
  }
  boxes.push_back({2.33, 2.40});
  return boxes;
}

// The ends and inside points of a box. A zero end is approached from inside, as the interval
// operations take it (1 / [-1, 0] is [-inf, -1]), so it is sampled as the zero of that side.
std::vector<double> Samples(const RealBox& b, int parts = 16) {
  std::vector<double> s = {b.lo == 0.0 ? 0.0 : b.lo, b.hi == 0.0 && b.lo < 0.0 ? -0.0 : b.hi};
  if (std::isfinite(b.lo) && std::isfinite(b.hi)) {
    for (int k = 1; k < parts; ++k) s.push_back(b.lo + (b.hi - b.lo) * k / parts);
  }
  return s;
}

TEST(ComplexIntervalRealAxis, EveryFunctionOverARealBoxIsExactlyRealAndHoldsTheRealValues) {
  const std::vector<RealBox> boxes = Boxes();
  for (const UnaryCase& c : kUnary) {
    int failures = 0, checked = 0;
    for (const RealBox& b : boxes) {
      const std::vector<double> s = Samples(b);
      if (std::any_of(s.begin(), s.end(), [&](double x) { return std::isnan(c.real(x)); })) continue;
      // A box on a pole alone ([0, 0] for csc) has no finite value to be real.
      if (std::none_of(s.begin(), s.end(), [&](double x) { return std::isfinite(c.real(x)); })) continue;
      ++checked;
      std::vector<double> values;
      for (double x : s) values.push_back(c.real(x));
      const Interval realBox{b.lo, b.hi};
      const ComplexInterval got = Call(c.box, ComplexInterval{realBox, {0.0, 0.0}});
      const ::testing::AssertionResult ok = RealResultHolds(got, Call(c.realBox, realBox), values);
      if (!ok && failures++ < 4) ADD_FAILURE() << c.name << " over " << Show(realBox) << ": " << ok.message();
    }
    EXPECT_GT(checked, 20) << c.name;
  }
}

TEST(ComplexIntervalRealAxis, ProductQuotientAndPowerOfRealBoxesAreExactlyReal) {
  std::vector<RealBox> boxes = Boxes();
  for (const BinaryCase& c : kBinary) {
    int failures = 0;
    for (size_t i = 0; i < boxes.size(); i += 3) {
      for (size_t j = 1; j < boxes.size(); j += 5) {
        const Interval a{boxes[i].lo, boxes[i].hi}, b{boxes[j].lo, boxes[j].hi};
        // A negative base box with a box of exponents reaches fractional exponents, whose powers
        // are not real (a box of huge exponents holds only whole ones, but is not told apart).
        if (c.real == RealPower && a.lo < 0.0 && b.lo != b.hi) continue;
        std::vector<double> values;
        bool defined = true;
        for (double x : Samples(boxes[i], 4)) {
          for (double y : Samples(boxes[j], 4)) {
            values.push_back(c.real(x, y));
            defined = defined && !std::isnan(values.back());
          }
        }
        if (!defined) continue;
        const ComplexInterval got = Call(c.box, ComplexInterval{a, {0.0, 0.0}}, ComplexInterval{b, {0.0, 0.0}});
        const ::testing::AssertionResult ok = RealResultHolds(got, Call(c.realBox, a, b), values);
        if (!ok && failures++ < 4) {
          ADD_FAILURE() << c.name << " of " << Show(a) << " and " << Show(b) << ": " << ok.message();
        }
      }
    }
  }
}

// Real boxes just inside a domain's edge: the reciprocal must stay inside [-1, 1] (1 / [1, 1.1]
// is [0.909, 1], while 1 * [1, 1.1] / [1, 1.21] would reach 1.1), and a box reaching a pole
// keeps its infinite bound real. Values from the real library at the box ends.
TEST(ComplexIntervalRealAxis, BoxesAtDomainEdgesStayReal) {
  struct Case { const char* what; BoxFn f; Interval box; Interval want; };
  const Case cases[] = {
      {"acsc over [2.33, 2.40]", ComplexIntervalAcsc, {2.33, 2.40}, {std::asin(1 / 2.40), std::asin(1 / 2.33)}},
      {"acsc over [1, 1.1]", ComplexIntervalAcsc, {1.0, 1.1}, {std::asin(1 / 1.1), kPi / 2}},
      {"asec over [-1.1, -1]", ComplexIntervalAsec, {-1.1, -1.0}, {std::acos(1 / -1.1), kPi}},
      {"asin over [-1, 1]", ComplexIntervalAsin, {-1.0, 1.0}, {-kPi / 2, kPi / 2}},
      {"acosh over [1, 2]", ComplexIntervalAcosh, {1.0, 2.0}, {0.0, std::acosh(2.0)}},
      {"atanh over [0, 1]", ComplexIntervalAtanh, {0.0, 1.0}, {0.0, kInf}},
      {"acoth over [1, 2]", ComplexIntervalAcoth, {1.0, 2.0}, {std::atanh(0.5), kInf}},
      {"asech over [0, 1]", ComplexIntervalAsech, {0.0, 1.0}, {0.0, kInf}},
      {"ln over [0, 1]", ComplexIntervalLn, {0.0, 1.0}, {-kInf, 0.0}},
      {"exp over [0, 1000]", ComplexIntervalExp, {0.0, 1000.0}, {1.0, kInf}},
      {"sinh over [-inf, 0]", ComplexIntervalSinh, {-kInf, 0.0}, {-kInf, 0.0}},
      {"atan over [0, inf]", ComplexIntervalAtan, {0.0, kInf}, {0.0, kPi / 2}},
  };
  for (const Case& c : cases) {
    const ComplexInterval got = Call(c.f, ComplexInterval{c.box, {0.0, 0.0}});
    EXPECT_TRUE(ComplexIntervalIsReal(got) && !ComplexIntervalIsUndefined(got)) << c.what << ": " << Show(got);
    EXPECT_LE(UlpsApart(got.re.lo, c.want.lo), kFewUlps) << c.what << ": " << Show(got);
    EXPECT_LE(UlpsApart(got.re.hi, c.want.hi), kFewUlps) << c.what << ": " << Show(got);
  }
  // A box reaching past the domain keeps the formula: its points past the edge are not real.
  const ComplexInterval past = Call(ComplexIntervalAsin, ComplexInterval{{0.5, 1.5}, {0.0, 0.0}});
  EXPECT_FALSE(ComplexIntervalIsReal(past)) << Show(past);
  EXPECT_TRUE(HoldsNear(past.im, Call(ComplexAsin, Complex{1.5, 0.0}).im)) << Show(past);
}

class ComplexMachineRealAxis : public evaltest::EvaluationFixture {};

// A formula that uses i anywhere runs in the complex machines; its real-only steps (clamp, the
// comparison) must still see the real values of atan and acsc.
TEST_F(ComplexMachineRealAxis, RealOnlyStepsAfterInverseFunctionsStayDefined) {
  CompiledFunction* f = evaltest::Function("plus[clamp[2,atan[power[e,x]],5],times[i,y]]");
  CompileFunction(f);
  ASSERT_EQ(f->complex, 1);
  EXPECT_EQ(EvaluateFunction2(f, 0.5548, 0.0), 2.0);
  evaltest::Free(f);

  f = evaltest::Function("plus[greaterthan[acsc[x],0.4],times[i,y]]");
  CompileFunction(f);
  ASSERT_EQ(f->complex, 1);
  EvalCell* slots = EvalScratch();
  slots[kSlotParameter].complexInterval = ComplexInterval{{0, 0}, {0, 0}};
  slots[kSlotX].complexInterval = ComplexInterval{{2.33, 2.40}, {0, 0}};
  slots[kSlotY].complexInterval = ComplexInterval{{0, 0}, {0, 0}};
  ComplexInterval truth;
  RunComplexIntervalCode(&truth, f->code);
  EXPECT_TRUE(interval_test::Same(truth, ComplexInterval{kTruthTrue, {0, 0}}));  // acsc is above 0.4 there
  evaltest::Free(f);
}

}  // namespace
