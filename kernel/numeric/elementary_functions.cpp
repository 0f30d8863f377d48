// Real elementary functions. The whole-number tests rely on strict IEEE rounding (the build
// forbids contraction and fast-math): adding 2^52 to a smaller magnitude rounds away its fraction.
#include "kernel/numeric/elementary_functions.h"

#include <cmath>

#include "kernel/numeric/numeric_constants.h"

namespace {

constexpr double kTwoTo52 = 4503599627370496.0;
constexpr double kTwoTo53 = 9007199254740992.0;

}  // namespace

bool IsWholeInt32(double x) { return x >= -2147483648.0 && x <= 2147483647.0 && std::floor(x) == x; }

double Cot(double x) { return 1.0 / std::tan(x); }
double Csc(double x) { return 1.0 / std::sin(x); }
double Sec(double x) { return 1.0 / std::cos(x); }
double Coth(double x) { return 1.0 / std::tanh(x); }
double Csch(double x) { return 1.0 / std::sinh(x); }
double Sech(double x) { return 1.0 / std::cosh(x); }
double Arccsc(double x) { return std::asin(1.0 / x); }
double Arcsec(double x) { return std::acos(1.0 / x); }
double Arccsch(double x) { return std::asinh(1.0 / x); }
double Arcsech(double x) { return std::acosh(1.0 / x); }
double Arccoth(double x) { return std::atanh(1.0 / x); }

double Arccot(double x) {
  if (x > 0.0) return std::atan(1.0 / x);
  if (x < 0.0) return kPi + std::atan(1.0 / x);
  if (x == 0.0) return kPi / 2.0;
  return x;  // NaN
}

double Sign(double x) {
  if (x > 0.0) return 1.0;
  if (x < 0.0) return -1.0;
  return x;
}

double Factorial(double x) {
  if (x == 0.0) return 1.0;
  if (x > 0.0 && x < 30.0 && IsWholeNumber(x)) {
    double product = 1.0;
    for (double k = 2.0; k <= x; k += 1.0) product *= k;
    return product;
  }
  return std::tgamma(x + 1.0);
}

bool IsWholeNumber(double x) {
  const double a = std::fabs(x);
  if (a >= kTwoTo52) return true;
  return (kTwoTo52 + a) - kTwoTo52 == a;
}

bool IsEvenNumber(double x) {
  const double a = std::fabs(x);
  if (a >= kTwoTo53) return true;
  return (kTwoTo53 + a) - kTwoTo53 == a;
}

double FlooredMod(double x, double y) {
  if (std::isinf(y)) return kUndefinedReal;
  // fmod is exact and takes the sign of x; moving it by one y to the sign of y rounds at most
  // once, and only a remainder within half an ulp of y can round onto y itself.
  const double r = std::fmod(x, y);
  if (r == 0.0) return 0.0;
  if ((r < 0.0) == (y < 0.0)) return r;
  const double moved = r + y;
  return moved == y ? std::nextafter(y, 0.0) : moved;
}

int RealRootSign(double q, double p) {
  if (!IsWholeInt32(p) || !IsWholeInt32(q)) return 0;
  const double g = GreatestCommonDivisor(q, p);
  const double reducedQ = q / g;
  if (!IsWholeNumber(reducedQ) || IsEvenNumber(reducedQ)) return 0;
  return IsEvenNumber(p / g) ? 1 : -1;
}

double RationalPower(double x, double q, double p) {
  const double exponent = p / q;
  if (x < 0.0) {
    const int sign = RealRootSign(q, p);
    if (sign != 0) {
      const double magnitude = std::pow(-x, exponent);
      return sign > 0 ? magnitude : -magnitude;
    }
  }
  return std::pow(x, exponent);
}

double GreatestCommonDivisor(double a, double b) {
  if (!std::isfinite(a) || !std::isfinite(b) || std::floor(a) != a || std::floor(b) != b) return 1.0;
  a = std::fabs(a);
  b = std::fabs(b);
  // fmod is exact, so each remainder is a smaller integer and the loop ends.
  while (b != 0.0) {
    const double r = std::fmod(a, b);
    a = b;
    b = r;
  }
  return a;
}
