// Elementary real functions and the greatest common divisor: golden values (hand-computed or
// from closed forms such as Gamma(1.5) = sqrt(pi)/2), sign and range rules, and boundary cases
// of the whole-number tests at 2^52 and 2^53.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "kernel/numeric/elementary_functions.h"
#include "kernel/trees/tree_seams.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kPi = std::numbers::pi;

TEST(ElementaryFunctions, ReciprocalFunctionsMatchClosedForms) {
  struct Case { double (*f)(double); double x; double expected; };
  const Case cases[] = {
      {Cot, kPi / 4, 1.0},          {Csc, kPi / 6, 2.0},          {Sec, kPi / 3, 2.0},
      {Coth, std::log(3.0), 1.25},  // tanh(ln 3) = 0.8
      {Csch, std::log(2.0), 4.0 / 3.0},  // sinh(ln 2) = 0.75
      {Sech, std::log(2.0), 0.8},        // cosh(ln 2) = 1.25
      {Arccsc, 2.0, kPi / 6},       {Arcsec, 2.0, kPi / 3},
      {Arccsch, 4.0 / 3.0, std::log(2.0)}, {Arcsech, 0.8, std::log(2.0)}, {Arccoth, 1.25, std::log(3.0)},
      {Arccot, 1.0, kPi / 4},       {Arccot, -1.0, 3 * kPi / 4},  {Arccot, 0.0, kPi / 2},
      {Arccot, -0.0, kPi / 2},      {Arccot, kInf, 0.0},          {Arccot, -kInf, kPi},
  };
  for (const Case& c : cases) EXPECT_NEAR(c.f(c.x), c.expected, 4e-16 * std::max(1.0, std::fabs(c.expected))) << c.x;
  EXPECT_TRUE(std::isnan(Arccot(kNaN)));
  EXPECT_TRUE(std::isinf(Cot(0.0)));
  EXPECT_TRUE(std::isnan(Arcsec(0.5)));  // acos(2) is outside the domain
}

TEST(ElementaryFunctions, SignKeepsZeroAndNaN) {
  for (double x : {3.5, kInf}) EXPECT_EQ(Sign(x), 1.0);
  for (double x : {-1e-300, -kInf}) EXPECT_EQ(Sign(x), -1.0);
  EXPECT_FALSE(std::signbit(Sign(0.0)));
  EXPECT_TRUE(Sign(-0.0) == 0.0 && std::signbit(Sign(-0.0)));
  EXPECT_TRUE(std::isnan(Sign(kNaN)));
}

TEST(ElementaryFunctions, FactorialExactBelowThirtyGammaOtherwise) {
  // 20! is exact in a double (hand product); 29! is the exact product to the last bit.
  double product = 1.0;
  for (int k = 2; k <= 29; ++k) product *= k;
  const double exact[][2] = {{0, 1}, {1, 1}, {5, 120}, {20, 2432902008176640000.0}, {29, product}};
  for (const auto& c : exact) EXPECT_EQ(Factorial(c[0]), c[1]) << c[0];
  EXPECT_NEAR(Factorial(0.5), 0.886226925452758, 1e-15);  // sqrt(pi)/2
  EXPECT_NEAR(Factorial(-0.5), std::sqrt(kPi), 1e-15);    // Gamma(1/2)
  EXPECT_NEAR(Factorial(30.0) / 2.6525285981219103e32, 1.0, 1e-14);  // 30! from Gamma(31)
  EXPECT_TRUE(std::isnan(Factorial(-1.0)) || std::isinf(Factorial(-1.0)));  // pole of Gamma at 0
  EXPECT_TRUE(std::isnan(Factorial(kNaN)));
}

TEST(ElementaryFunctions, WholeAndEvenTestsAtTheirBoundaries) {
  struct Case { double x; bool whole; bool even; };
  const Case cases[] = {
      {0.0, true, true},    {-0.0, true, true},  {3.0, true, false},   {4.0, true, true},
      {-3.0, true, false},  {-4.0, true, true},  {0.5, false, false},  {-2.5, false, false},
      {1e-300, false, false},
      {std::ldexp(1.0, 52) - 0.5, false, false},   // largest fraction below 2^52
      {std::ldexp(1.0, 52) + 1.0, true, false},    // odd integer just above 2^52
      {std::ldexp(1.0, 53) - 1.0, true, false},    // largest odd integer a double holds
      {std::ldexp(1.0, 60), true, true},
      {kInf, true, true},   {kNaN, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsWholeNumber(c.x), c.whole) << c.x;
    EXPECT_EQ(IsEvenNumber(c.x), c.even) << c.x;
  }
}

TEST(ElementaryFunctions, WholeInt32StopsAtTheIntegerRange) {
  struct Case { double x; bool result; };
  // Hand-checked: the range is [-2^31, 2^31 - 1].
  const Case cases[] = {{0.0, true},           {-7.0, true},          {2147483647.0, true}, {2147483648.0, false},
                        {-2147483648.0, true}, {-2147483649.0, false}, {2.5, false},        {kInf, false},
                        {kNaN, false}};
  for (const Case& c : cases) EXPECT_EQ(IsWholeInt32(c.x), c.result) << c.x;
}

TEST(ElementaryFunctions, FlooredModTakesSignOfDivisor) {
  struct Case { double x, y, expected; };
  const Case cases[] = {{-1, 3, 2}, {1, -3, -2}, {7, 3, 1}, {-7, -3, -1}, {6, 3, 0}, {5.5, 2, 1.5}, {-0.5, 1, 0.5}};
  for (const Case& c : cases) EXPECT_EQ(FlooredMod(c.x, c.y), c.expected) << c.x << " mod " << c.y;
  EXPECT_TRUE(std::isnan(FlooredMod(1, 0)));
  EXPECT_TRUE(std::isnan(FlooredMod(kNaN, 2)));
}

TEST(ElementaryFunctions, RationalPowerRealRootsOfNegatives) {
  struct Case { double x, q, p, expected; };
  const Case cases[] = {
      {-8, 3, 1, -2},   {-8, 3, 2, 4},    {-8, -3, 1, -0.5}, {-8, 3, -1, -0.5},
      {-32, 5, 3, -8},  {-8, 6, 2, -2},   // 2/6 reduces to 1/3
      {8, 3, 1, 2},     {-1, 7, 7, -1},   {-27, 3, 1, -3},
  };
  for (const Case& c : cases) EXPECT_NEAR(RationalPower(c.x, c.q, c.p), c.expected, 1e-15 * std::fabs(c.expected)) << c.x << "^(" << c.p << "/" << c.q << ")";
  EXPECT_EQ(RationalPower(4, 2, 1), 2.0);
  // Even denominator (also 2/4 reduced), no fraction of integers, gcd 0, beyond 32 bits: pow.
  const double undefined[][2] = {{2, 1}, {4, 2}, {3.5, 1}, {0, 0}, {3e9, 1e9}};
  for (const auto& c : undefined) EXPECT_TRUE(std::isnan(RationalPower(-8, c[0], c[1]))) << c[1] << "/" << c[0];
}

TEST(GreatestCommonDivisor, EuclidOnWholeDoubles) {
  struct Case { double a, b, expected; };
  const Case cases[] = {
      {12, 18, 6}, {-4, 6, 2}, {4, -6, 2}, {-4, -6, 2}, {0, 7, 7}, {7, 0, 7}, {0, 0, 0},
      {17, 5, 1},  {2.5, 5, 1}, {5, 2.5, 1}, {kNaN, 3, 1}, {kInf, 3, 1},
      {std::ldexp(1.0, 80), std::ldexp(3.0, 70), std::ldexp(1.0, 70)},  // beyond 64-bit integers
      {1e300, 1e300, 1e300},
  };
  for (const Case& c : cases) EXPECT_EQ(GreatestCommonDivisor(c.a, c.b), c.expected) << c.a << ", " << c.b;
}

TEST(TreeSeams, UnfilledHooksAnswerNoAndFilledHooksAreAsked) {
  ResetTreeSeams();
  int dummy = 0;
  EXPECT_FALSE(CanMoveSelectedTerm());
  EXPECT_FALSE(TreeUsesDefinedName(reinterpret_cast<const ExprNode*>(&dummy), nullptr));
  GetTreeSeams().canMoveSelectedTerm = [] { return true; };
  GetTreeSeams().treeUsesDefinedName = [](const ExprNode*, const void* defs) { return defs != nullptr; };
  EXPECT_TRUE(CanMoveSelectedTerm());
  EXPECT_TRUE(TreeUsesDefinedName(reinterpret_cast<const ExprNode*>(&dummy), &dummy));
  EXPECT_FALSE(TreeUsesDefinedName(nullptr, &dummy));  // no tree, nothing used
  ResetTreeSeams();
  EXPECT_FALSE(CanMoveSelectedTerm());
}

}  // namespace
