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
#include "tests/kernel/eval/evaluation_test_support.h"
#include "tests/kernel/numeric/interval_test_support.h"

using namespace evaltest;

namespace {

class InterpPropertyTest : public EvaluationFixture {};

struct Box {
  Interval x, y;
};

Box RandomBox(std::mt19937& rng) {
  std::uniform_real_distribution<double> corner(-3.0, 3.0), width(0.0, 1.5);
  const double x = corner(rng), y = corner(rng);
  return Box{{x, x + width(rng)}, {y, y + width(rng)}};
}

// Nine points of the box: its corners and the crossings of a random inner line of each axis.
template <class Visit>
void ForSamplePoints(std::mt19937& rng, const Box& b, Visit visit) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const double u[3] = {0, unit(rng), 1}, v[3] = {0, unit(rng), 1};
  for (double s : u) {
    for (double t : v) visit(b.x.lo + s * (b.x.hi - b.x.lo), b.y.lo + t * (b.y.hi - b.y.lo));
  }
}

std::string At(const std::string& text, double x, double y) {
  return text + " at (" + interval_test::Fmt(x) + ", " + interval_test::Fmt(y) + ")";
}

// No slack: the interval kinds round every bound outward past what the point kinds' own rounding
// can reach, so the point machines' values lie inside exactly.
interval_test::ContainmentChecker Checker(const char* name) { return interval_test::ContainmentChecker{name}; }

// At every sampled point the interval machine's result over the box holds the real machine's
// value, and the complex machine gives that value where it is finite. Left out of the second:
// rational powers and roots (the complex machine takes the principal root of a negative base
// where the real one takes the real odd root) and acot (the complex one is atan(1/z), in
// (-pi/2, pi/2], the real one in (0, pi)). At a pole (coth of an empty sum's exact 0) the real
// machine may pass through an infinity where the complex one has no value: allowed, but rarely.
TEST_F(InterpPropertyTest, IntervalAndComplexMachinesAgreeWithTheRealMachine) {
  RandomTrees random(71, false);
  std::mt19937 rng(5);
  auto checker = Checker("interval machine");
  int compared = 0, throughPoles = 0;
  for (int t = 0; t < 500; ++t) {
    const std::string text = random.Make(1 + t % 4);
    bool realOnly = false;
    for (const char* form : {"over[1,3]", "over[2,3]", ",3]", "acot["}) {
      realOnly = realOnly || text.find(form) != std::string::npos;
    }
    CompiledFunction* f = Compiled(text.c_str());
    ASSERT_EQ(f->complex, 0) << text;
    for (int b = 0; b < 3; ++b) {
      const Box box = RandomBox(rng);
      Interval range;
      EvaluateIntervalXY(f, box.x.lo, box.x.hi, box.y.lo, box.y.hi, &range.lo, &range.hi);
      ForSamplePoints(rng, box, [&](double x, double y) {
        const double real = EvaluateFunction2(f, x, y);
        checker.Expect(range, interval_test::Quad(real), [&] { return At(text, x, y); });
        if (realOnly || !std::isfinite(real) || std::fabs(real) > 1e12) return;
        Complex z;
        EvaluateComplexAt2(&z, f, x, y);
        ++compared;
        throughPoles += ComplexIsUndefined(z) ? 1 : 0;
        const double tolerance = 1e-9 * (1 + std::fabs(real));
        EXPECT_TRUE(ComplexIsUndefined(z) || (std::fabs(z.re - real) <= tolerance && std::fabs(z.im) <= tolerance))
            << At(text, x, y) << ": " << real << " but (" << z.re << ", " << z.im << ")";
      });
    }
    Free(f);
  }
  EXPECT_GT(checker.defined, 4000);  // the properties are not vacuous
  EXPECT_GT(compared, 2000);
  EXPECT_LT(throughPoles * 50, compared);
}

TEST_F(InterpPropertyTest, ComplexIntervalResultOverABoxHoldsEveryComplexPointValue) {
  RandomTrees random(1234, true);
  std::mt19937 rng(9);
  auto checker = Checker("complex-interval machine");
  for (int t = 0; t < 400; ++t) {
    const std::string text = "plus[" + random.Make(1 + t % 3) + ",times[i,y]]";
    CompiledFunction* f = Compiled(text.c_str());
    ASSERT_EQ(f->complex, 1) << text;
    for (int b = 0; b < 2; ++b) {
      const Box box = RandomBox(rng);
      EvalCell* slots = EvalScratch();
      slots[kSlotParameter].complexInterval = ComplexInterval{{0, 0}, {0, 0}};
      slots[kSlotX].complexInterval = ComplexInterval{box.x, {0, 0}};
      slots[kSlotY].complexInterval = ComplexInterval{box.y, {0, 0}};
      ComplexInterval range;
      RunComplexIntervalCode(&range, f->code);
      ForSamplePoints(rng, box, [&](double x, double y) {
        Complex z;
        EvaluateComplexAt2(&z, f, x, y);
        checker.Expect(range, interval_test::MakeQuad(z.re, z.im), [&] { return At(text, x, y); });
      });
    }
    Free(f);
  }
  EXPECT_GT(checker.defined, 1500);
}

}  // namespace
