// Cross-machine properties on random trees of every numeric kind the compiler handles: the
// interval machine's result over a box holds the real machine's value at points of the box, the
// complex-interval machine's result holds the complex machine's, and the complex machine agrees
// with the real one on the real line. Point values come from the other machine, never from the
// code under test's own interval arithmetic.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "kernel/eval/compiled_function.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/evaluation_seams.h"
#include "tests/kernel/eval/evaluation_test_support.h"

using namespace evaltest;

namespace {

class InterpPropertyTest : public EvaluationFixture {};

// Random trees in the bracket notation over x, y (and i when asked), covering every family of
// opcodes: arithmetic, powers of all three kinds, the 24 trigonometric and hyperbolic kinds,
// real-only kinds, derived coordinates, bounded sums and branches.
struct RandomKinds {
  std::mt19937 rng;
  bool complex;
  RandomKinds(unsigned seed, bool withI) : rng(seed), complex(withI) {}
  int Pick(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }

  std::string Leaf() {
    static const char* leaves[] = {"x", "y", "x", "y", "0.5", "2", "3", "1.25", "pi", "r", "theta", "minus[0.75]"};
    if (complex && Pick(6) == 0) return "i";
    return leaves[Pick(12)];
  }

  std::string Make(int depth) {
    if (depth == 0) return Leaf();
    static const char* unary[] = {
        "minus", "sin",  "cos",  "tan",   "cot",   "csc",   "sec",   "asin",  "acos",  "atan",  "acot",  "acsc",
        "asec",  "sinh", "cosh", "tanh",  "coth",  "csch",  "sech",  "asinh", "acosh", "atanh", "acoth", "acsch",
        "asech", "exp",  "ln",   "log",   "abs",   "sgn",   "floor", "ceil",  "sqrt",  "fact"};
    static const char* binary[] = {"times", "over", "min", "max", "mod", "pointangle", "log", "power"};
    const std::string a = Make(depth - 1);
    switch (Pick(12)) {
      case 0: return Leaf();
      case 1: return "plus[" + a + "," + Make(depth - 1) + "," + Make(depth - 1) + "]";
      case 2: return "power[" + a + ",2]";
      case 3: return "power[" + a + (Pick(2) ? ",over[1,3]]" : ",minus[over[2,3]]]");
      case 4: return "power[e," + a + "]";
      case 5: return "clamp[" + a + "," + Make(depth - 1) + "," + Make(depth - 1) + "]";
      case 6: return "besselj[" + a + "," + std::to_string(Pick(3)) + "]";
      case 7: return "bsum[equal[n,1]," + std::to_string(Pick(4)) + ",times[n," + a + "]]";
      case 8:  // conditions that are never undefined (an undefined one counts as false)
        return "branch[if[" + a + ",lessthan[x," + Leaf() + "]],if[" + Make(depth - 1) + ",geq[y,0.5]],y]";
      case 9: return std::string(binary[Pick(8)]) + "[" + a + "," + Make(depth - 1) + "]";
      default: return std::string(unary[Pick(34)]) + "[" + a + "]";
    }
  }
};

// Rounding slack: the interval kinds round to nearest like the point kinds, so a point value may
// sit a few ulps outside a bound computed by another formula.
bool Holds(const Interval& box, double v) {
  if (std::isnan(v)) return true;
  if (!std::isfinite(v)) return box.lo <= v && v <= box.hi;
  double scale = 1 + std::fabs(v);
  if (std::isfinite(box.lo)) scale += std::fabs(box.lo);
  if (std::isfinite(box.hi)) scale += std::fabs(box.hi);
  const double slack = 1e-9 * scale;
  return box.lo - slack <= v && v <= box.hi + slack;
}

struct Box {
  double xLo, xHi, yLo, yHi;
};

Box RandomBox(std::mt19937& rng) {
  std::uniform_real_distribution<double> corner(-3.0, 3.0), width(0.0, 1.5);
  const double x = corner(rng), y = corner(rng);
  return Box{x, x + width(rng), y, y + width(rng)};
}

// Corners, centre and a few random points of the box.
int SamplePoints(std::mt19937& rng, const Box& b, double (*points)[2]) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  int n = 0;
  for (double x : {b.xLo, b.xHi}) {
    for (double y : {b.yLo, b.yHi}) points[n][0] = x, points[n][1] = y, ++n;
  }
  points[n][0] = 0.5 * (b.xLo + b.xHi), points[n][1] = 0.5 * (b.yLo + b.yHi), ++n;
  while (n < 9) {
    points[n][0] = b.xLo + unit(rng) * (b.xHi - b.xLo);
    points[n][1] = b.yLo + unit(rng) * (b.yHi - b.yLo);
    ++n;
  }
  return n;
}

TEST_F(InterpPropertyTest, IntervalResultOverABoxHoldsEveryPointValue) {
  RandomKinds random(71, false);
  std::mt19937 rng(5);
  int defined = 0, checked = 0;
  for (int t = 0; t < 500; ++t) {
    const std::string text = random.Make(1 + t % 4);
    CompiledFunction* f = Function(text.c_str());
    CompileFunction(f);
    ASSERT_EQ(f->complex, 0) << text;
    for (int b = 0; b < 3; ++b) {
      const Box box = RandomBox(rng);
      Interval range;
      EvaluateIntervalXY(f, box.xLo, box.xHi, box.yLo, box.yHi, &range.lo, &range.hi);
      if (IntervalIsUndefined(range)) continue;  // undefined somewhere in the box: nothing is claimed
      ++defined;
      double points[9][2];
      const int n = SamplePoints(rng, box, points);
      for (int p = 0; p < n; ++p) {
        const double v = EvaluateFunction2(f, points[p][0], points[p][1]);
        ++checked;
        EXPECT_TRUE(Holds(range, v)) << text << " at (" << points[p][0] << ", " << points[p][1] << ") = " << v
                                     << " outside [" << range.lo << ", " << range.hi << "]";
      }
    }
    Free(f);
  }
  EXPECT_GT(defined, 500);  // the property is not vacuous
  EXPECT_GT(checked, 4000);
}

// Complex functions: the complex-interval machine over a box of real x and y holds the complex
// machine's value at every sampled point, real and imaginary parts alike.
TEST_F(InterpPropertyTest, ComplexIntervalResultOverABoxHoldsEveryComplexPointValue) {
  RandomKinds random(1234, true);
  std::mt19937 rng(9);
  int defined = 0;
  for (int t = 0; t < 400; ++t) {
    const std::string text = "plus[" + random.Make(1 + t % 3) + ",times[i,y]]";
    CompiledFunction* f = Function(text.c_str());
    CompileFunction(f);
    ASSERT_EQ(f->complex, 1) << text;
    for (int b = 0; b < 2; ++b) {
      const Box box = RandomBox(rng);
      EvalCell* slots = EvalScratch();
      slots[kSlotParameter].complexInterval = ComplexInterval{{0, 0}, {0, 0}};
      slots[kSlotX].complexInterval = ComplexInterval{{box.xLo, box.xHi}, {0, 0}};
      slots[kSlotY].complexInterval = ComplexInterval{{box.yLo, box.yHi}, {0, 0}};
      ComplexInterval range;
      RunComplexIntervalCode(&range, f->code);
      if (ComplexIntervalIsUndefined(range)) continue;
      ++defined;
      double points[9][2];
      const int n = SamplePoints(rng, box, points);
      for (int p = 0; p < n; ++p) {
        Complex z;
        EvaluateComplexAt2(&z, f, points[p][0], points[p][1]);
        EXPECT_TRUE(Holds(range.re, z.re) && Holds(range.im, z.im))
            << text << " at (" << points[p][0] << ", " << points[p][1] << ") = (" << z.re << ", " << z.im
            << ") outside [" << range.re.lo << ", " << range.re.hi << "] x [" << range.im.lo << ", " << range.im.hi
            << "]";
      }
    }
    Free(f);
  }
  EXPECT_GT(defined, 200);
}

// Real functions run by the complex machine on real arguments give the real machine's value
// where that one is finite. Left out: rational powers (the complex machine takes the principal
// root of a negative base where the real one takes the real odd root) and acot (the complex one
// is atan(1/z), in (-pi/2, pi/2], the real one lies in (0, pi)).
TEST_F(InterpPropertyTest, ComplexMachineMatchesTheRealMachineOnTheRealLine) {
  RandomKinds random(2718, false);
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> coordinate(-3.0, 3.0);
  int compared = 0;
  for (int t = 0; t < 500; ++t) {
    const std::string text = random.Make(1 + t % 4);
    bool skip = false;
    for (const char* left : {"over[1,3]", "over[2,3]", "acot["}) skip = skip || text.find(left) != std::string::npos;
    if (skip) continue;
    CompiledFunction* f = Function(text.c_str());
    CompileFunction(f);
    for (int p = 0; p < 3; ++p) {
      const double x = coordinate(rng), y = coordinate(rng);
      const double real = EvaluateFunction2(f, x, y);
      if (!std::isfinite(real) || std::fabs(real) > 1e12) continue;
      Complex z;
      EvaluateComplexAt2(&z, f, x, y);
      const double tolerance = 1e-9 * (1 + std::fabs(real));
      EXPECT_NEAR(z.re, real, tolerance) << text << " at (" << x << ", " << y << ")";
      EXPECT_NEAR(z.im, 0.0, tolerance) << text << " at (" << x << ", " << y << ")";
      ++compared;
    }
    Free(f);
  }
  EXPECT_GT(compared, 500);
}

}  // namespace
