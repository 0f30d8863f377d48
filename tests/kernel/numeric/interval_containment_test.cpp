// The contract of interval arithmetic as a property: for random ordinary and wrapped boxes
// (degenerate, touching 0 with either sign, poles, +-1, +-infinity), every finite value of the
// real point function at sampled (finite) points of the operands lies in the result, allowing a
// few ulps for the rounding of the bounds. An undefined result must be earned: some sampled point
// has no value, or a stated rule (0 times an unbounded operand) refuses the box.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "kernel/numeric/elementary_functions.h"
#include "kernel/numeric/interval.h"
#include "kernel/numeric/special_functions.h"
#include "tests/kernel/numeric/interval_test_support.h"

namespace {

using namespace interval_test;

bool Unbounded(const Interval& a) {
  return IntervalIsWrapped(a) || std::isinf(a.lo) || std::isinf(a.hi);
}

// The multiplication rule: an operand holding 0 times an unbounded one has no enclosure.
bool ZeroTimesUnbounded(const Interval& a, const Interval& b) {
  return (Holds(a, 0.0) && Unbounded(b)) || (Holds(b, 0.0) && Unbounded(a));
}

double PositiveAngle(double y, double x) {
  const double t = std::atan2(y, x);
  return t < 0 ? t + 2 * kPi : t;
}

TEST(IntervalContainment, EveryUnaryOperationEnclosesItsPointValues) {
  struct Case {
    const char* name;
    void (*f)(Interval&, const Interval&);
    double (*point)(double);
    double relative;
  };
  std::vector<Case> cases = {
      {"negate", IntervalNegate, [](double x) { return -x; }, 1e-15},
      {"reciprocal", IntervalReciprocal, [](double x) { return 1 / x; }, 1e-15},
      {"acot", IntervalAcot, Arccot, 1e-15},  // the real inverse cotangent, in (0, pi)
      {"sign", IntervalSign, Sign, 1e-15},
      {"floor", IntervalFloor, [](double x) { return std::floor(x); }, 1e-15},
      {"ceil", IntervalCeil, [](double x) { return std::ceil(x); }, 1e-15},
      {"factorial", IntervalFactorial, Factorial, 1e-13},
  };
  // The real machine's forms of the complex functions; arg and the complex acot are not its own.
  for (const ComplexUnary& c : kComplexUnary) {
    if (std::string(c.name) != "arg" && std::string(c.name) != "acot") cases.push_back({c.name, c.realBox, c.real, 1e-15});
  }
  BoxSampler s(20261206);
  std::vector<double> xs;
  for (const Case& c : cases) {
    ContainmentChecker check{c.name, c.relative};
    for (int i = 0; i < 1500 && check.failures == 0; ++i) {
      const Interval box = s.Box();
      const Interval r = ValueOf(c.f, box);
      s.Points(box, 16, xs);
      check.Start();
      for (double x : xs) check.Expect(r, c.point(x), [&] { return Show(box) + " at " + Fmt(x); });
      check.ExpectEarnedUndefined(r, false, [&] { return Show(box); });
    }
    EXPECT_GT(check.defined, 0) << c.name << " never gave a defined result";
  }
}

struct BinaryCase {
  const char* name;
  void (*f)(Interval&, const Interval&, const Interval&);
  double (*point)(double, double);
  bool (*refuses)(const Interval&, const Interval&) = nullptr;  // a rule's undefined boxes
  bool ordinaryOnly = false;  // the operation's caller guarantees ordinary operands
};

bool DivisionRefuses(const Interval& a, const Interval& b) { return ZeroTimesUnbounded(a, ValueOf(IntervalReciprocal, b)); }

// A negative base with exponents of a whole range: its points with whole exponents have values
// (every double past 2^53 is whole), yet the operation has no enclosure for the range.
bool PowerRefuses(const Interval& a, const Interval& b) {
  return (IntervalIsWrapped(a) || a.lo < 0.0) && !(b.lo == b.hi);
}

TEST(IntervalContainment, EveryBinaryOperationEnclosesItsPointValues) {
  const BinaryCase cases[] = {
      {"add", IntervalAdd, [](double x, double y) { return x + y; }},
      {"multiply", IntervalMultiply, [](double x, double y) { return x * y; }, ZeroTimesUnbounded},
      {"multiply ordinary", IntervalMultiplyOrdinary, [](double x, double y) { return x * y; },
       ZeroTimesUnbounded, true},
      {"divide", IntervalDivide, [](double x, double y) { return x / y; }, DivisionRefuses},
      {"power", IntervalPower, [](double x, double y) { return std::pow(x, y); }, PowerRefuses},
      {"power ordinary", IntervalPowerOrdinary, [](double x, double y) { return std::pow(x, y); }, PowerRefuses, true},
      {"min", IntervalMin, [](double x, double y) { return y >= x ? x : y; }},
      {"max", IntervalMax, [](double x, double y) { return y <= x ? x : y; }},
      {"mod", IntervalMod, FlooredMod},
      {"hypot", IntervalHypot, [](double x, double y) { return std::hypot(x, y); }},
      {"atan2 (y, x)", IntervalAtan2, PositiveAngle},
      {"atan2 signed (y, x)", IntervalAtan2Signed, [](double y, double x) { return std::atan2(y + 0.0, x); }},
      {"less", IntervalLess, [](double x, double y) { return x < y ? 1.0 : 0.0; }},
      {"greater", IntervalGreater, [](double x, double y) { return x > y ? 1.0 : 0.0; }},
      {"less equal", IntervalLessEqual, [](double x, double y) { return x <= y ? 1.0 : 0.0; }},
      {"greater equal", IntervalGreaterEqual, [](double x, double y) { return x >= y ? 1.0 : 0.0; }},
      {"equal", IntervalEqual, [](double x, double y) { return x == y ? 1.0 : 0.0; }},
  };
  BoxSampler s(7);
  std::vector<double> xs, ys;
  for (const BinaryCase& c : cases) {
    ContainmentChecker check{c.name};
    for (int i = 0; i < 800 && check.failures == 0; ++i) {
      const Interval a = s.Box(c.ordinaryOnly), b = s.Box(c.ordinaryOnly);
      const Interval r = ValueOf(c.f, a, b);
      s.Points(a, 8, xs);
      s.Points(b, 8, ys);
      if (ys.empty()) continue;
      check.Start();
      for (double x : xs) {
        for (double y : ys) {
          check.Expect(r, c.point(x, y), [&] { return Show(a) + " at " + Fmt(x) + " ; " + Show(b) + " at " + Fmt(y); });
        }
      }
      check.ExpectEarnedUndefined(r, c.refuses && c.refuses(a, b), [&] { return Show(a) + " ; " + Show(b); });
    }
    EXPECT_GT(check.defined, 0) << c.name << " never gave a defined result";
  }
}

TEST(IntervalContainment, HullsHoldEveryOperand) {
  BoxSampler s(11);
  ContainmentChecker check{"hull"};
  std::vector<double> points;
  for (int i = 0; i < 1500 && check.failures == 0; ++i) {
    const Interval a = s.Box(), b = s.Box();
    const Interval r = ValueOf(IntervalHull, a, b);
    for (const Interval& operand : {a, b}) {
      s.Points(operand, 6, points);
      for (double x : points) check.Expect(r, x, [&] { return Show(a) + " ; " + Show(b) + " at " + Fmt(x); });
    }
    // Four ordinary intervals, as the two-wrapped products give them.
    const Interval q[4] = {s.Box(true), s.Box(true), s.Box(true), s.Box(true)};
    Interval r4;
    IntervalHull4(r4, q[0], q[1], q[2], q[3]);
    for (const Interval& operand : q) {
      s.Points(operand, 3, points);
      for (double x : points) check.Expect(r4, x, [&] { return "hull4 with " + Show(operand) + " at " + Fmt(x); });
    }
  }
}

TEST(IntervalContainment, TruthOperationsEncloseTheirPointValues) {
  const Interval truths[] = {kTruthFalse, kTruthTrue, kTruthUndecided};
  for (const Interval& a : truths) {
    for (const Interval& b : truths) {
      const Interval andR = ValueOf(IntervalTruthAnd, a, b), orR = ValueOf(IntervalTruthOr, a, b);
      for (double x : {a.lo, a.hi}) {
        for (double y : {b.lo, b.hi}) {
          EXPECT_TRUE(Holds(andR, x == 1 && y == 1 ? 1.0 : 0.0));
          EXPECT_TRUE(Holds(orR, x == 1 || y == 1 ? 1.0 : 0.0));
        }
      }
    }
  }
}

TEST(IntervalContainment, RationalPowersEncloseTheRealRoots) {
  BoxSampler s(3);
  ContainmentChecker check{"rational power"};
  std::vector<double> xs;
  for (int i = 0; i < 3000 && check.failures == 0; ++i) {
    const Interval x = s.Box();
    const double q = static_cast<double>(s.Index(7)) - 3.0, p = static_cast<double>(s.Index(9)) - 4.0;
    const Interval r = ValueOf(IntervalRationalPower, x, Interval{q, q}, Interval{p, p});
    auto describe = [&] { return Show(x) + " p=" + Fmt(p) + " q=" + Fmt(q); };
    s.Points(x, 12, xs);
    check.Start();
    for (double v : xs) check.Expect(r, RationalPower(v, q, p), [&] { return describe() + " at " + Fmt(v); });
    // x^(p/0) takes the whole line as exponent; a negative base then has no enclosure.
    check.ExpectEarnedUndefined(r, q == 0, describe);
  }
}

TEST(IntervalContainment, BesselEnclosesEveryOrderAndArgument) {
  BoxSampler s(5);
  ContainmentChecker check{"bessel J", 1e-12, 1e-14};
  static const double kOrders[] = {0, 1, 2, 3, 5, 10, 0.5, -0.5, -1, -2, 0.25, -0.3, 2.5, 7.5};
  static const double kOrderWidths[] = {0, 0, 0, 0.2, 1, 3};
  std::vector<double> xs;
  for (int i = 0; i < 700 && check.failures == 0; ++i) {
    const double n0 = kOrders[s.Index(std::size(kOrders))];
    const Interval n{n0, n0 + kOrderWidths[s.Index(std::size(kOrderWidths))]};
    Interval x = s.Box();
    if (i % 4 != 0 && !IntervalIsWrapped(x) && !(std::fabs(x.lo) < 1e4 && std::fabs(x.hi) < 1e4)) {
      const double lo = s.Uniform(-40, 40);  // mostly short boxes, where turning points matter
      x = {lo, lo + s.Uniform(0, 3)};
    }
    const Interval r = ValueOf(IntervalBesselJ, n, x);
    s.Points(x, 6, xs);
    check.Start();
    for (double v : xs) {
      for (double order : {n.lo, n.hi, s.Uniform(n.lo, n.hi + 1e-300)}) {
        if (order > n.hi) order = n.hi;
        check.Expect(r, BesselJv(order, v), [&] { return Show(x) + " at " + Fmt(v) + " order " + Fmt(order); });
      }
    }
    check.ExpectEarnedUndefined(r, false, [&] { return Show(n) + " ; " + Show(x); });
  }
}

}  // namespace
