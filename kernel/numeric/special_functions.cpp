// J_v(x) of real order by the published routine family: power series, backward
// recurrence with a continued fraction, Hankel's asymptotic expansion, and the
// uniform (Airy) expansion with its transition form for orders >= 500. Published
// thresholds and constants; departures only where the published code goes wrong:
// non-finite input, signs (BesselJv, BesselSeries, BesselJ1), long fractions (BesselRecur).
#include "kernel/numeric/special_functions.h"

#include <cmath>

#include "kernel/numeric/numeric_constants.h"

namespace {

thread_local int32_t mathErrorCode = kMathNoError;

constexpr double kMachEp = kSpecialMachineEpsilon;
constexpr double kMaxLog = kSpecialMaxLog;
constexpr double kPiOver4 = 7.85398163397448309616e-1;
constexpr double kThreePiOver4 = 2.35619449019234492885;
constexpr double kSqrt2OverPi = 7.9788456080286535587989e-1;
constexpr double kLogSqrt2Pi = 0.91893853320467274178;
constexpr double kLogPi = 1.14472988584940017414;
constexpr double kMaxLogGammaArg = 2.556348e305;
constexpr double kMaxGamma = 171.624376956302725;
constexpr double kRecurBig = 1.44115188075855872e+17;  // 2^57, renormalisation step

// Airy constants: Ai(0) = c1, -Ai'(0) = c2, 1/sqrt(pi); domain limit for large x.
constexpr double kAiryC1 = 0.35502805388781723926;
constexpr double kAiryC2 = 0.258819403792806798405;
constexpr double kSqrt3 = 1.732050807568877293527;
constexpr double kSqrtPiInv = 5.64189583547756286948e-1;
constexpr double kMaxAiry = 25.77;

// Zeros of J0 and J1 squared, factored out of the small-argument rational forms.
constexpr double kJ0Zero1Sq = 5.78318596294678452118e0;
constexpr double kJ0Zero2Sq = 3.04712623436620863991e1;
constexpr double kJ1Zero1Sq = 1.46819706421238932572e1;
constexpr double kJ1Zero2Sq = 4.92184563216946036703e1;

// Cube-root start polynomial on [0.5, 1) and the powers of 2^(1/3).
constexpr double kCbrt2 = 1.2599210498948731647672;
constexpr double kCbrt4 = 1.5874010519681994747517;
constexpr double kCbrt2Inv = 0.79370052598409973737585;
constexpr double kCbrt4Inv = 0.62996052494743658238361;

}  // namespace

int32_t MathErrorCode() { return mathErrorCode; }

void ResetMathError() { mathErrorCode = kMathNoError; }

void SetMathError(const char* routine, int32_t errorClass) {
  (void)routine;
  mathErrorCode =
      (errorClass >= kMathDomain && errorClass <= kMathTotalLoss) ? errorClass : kMathNoError;
}

double PolyEval(double x, const double* coefficients, int degree) {
  double sum = coefficients[0];
  for (int i = 1; i <= degree; ++i) sum = std::fma(sum, x, coefficients[i]);
  return sum;
}

double PolyEval1(double x, const double* coefficients, int degree) {
  double sum = x + coefficients[0];
  for (int i = 1; i < degree; ++i) sum = std::fma(sum, x, coefficients[i]);
  return sum;
}

double CubeRoot(double x) {
  if (!std::isfinite(x) || x == 0.0) return x;
  const bool negative = x < 0.0;
  const double z = negative ? -x : x;
  int e = 0;
  double m = std::frexp(z, &e);
  // Start value for m in [0.5, 1): relative error below 1e-5; two Newton steps follow.
  m = (((-1.3466110473359520655053e-1 * m + 5.4664601366395524503440e-1) * m -
        9.5438224771509446525043e-1) * m + 1.1399983354717293273738e0) * m +
      4.0238979564544752126924e-1;
  if (e >= 0) {
    const int rem = e % 3;
    e /= 3;
    if (rem == 1) m *= kCbrt2;
    else if (rem == 2) m *= kCbrt4;
  } else {
    const int rem = (-e) % 3;
    e = -((-e) / 3);
    if (rem == 1) m *= kCbrt2Inv;
    else if (rem == 2) m *= kCbrt4Inv;
  }
  double r = std::ldexp(m, e);
  r -= (r - (z / (r * r))) * 0.33333333333333333333;
  r -= (r - (z / (r * r))) * 0.33333333333333333333;
  return negative ? -r : r;
}

double LogGamma(double x, int32_t* sign) {
  *sign = 1;
  if (std::isnan(x)) return x;
  if (!std::isfinite(x)) return kPositiveInfinity;

  if (x < -34.0) {
    // Reflection: Gamma(x) Gamma(1 - x) = pi / sin(pi x).
    const double q = -x;
    int32_t ignored = 1;
    const double w = LogGamma(q, &ignored);
    double p = std::floor(q);
    if (p == q) {
      SetMathError("lgam", kMathSingular);
      return kPositiveInfinity;
    }
    // q < 2^52 here is not guaranteed; only the parity of floor(q) matters.
    *sign = (std::fmod(p, 2.0) == 0.0) ? -1 : 1;
    double z = q - p;
    if (z > 0.5) {
      p += 1.0;
      z = p - q;
    }
    z = q * std::sin(kPi * z);
    if (z == 0.0) {
      SetMathError("lgam", kMathSingular);
      return kPositiveInfinity;
    }
    return kLogPi - std::log(z) - w;
  }

  if (x < 13.0) {
    // Shift into [2, 3) by the recurrence, then a rational form.
    double z = 1.0;
    double p = 0.0;
    double u = x;
    while (u >= 3.0) {
      p -= 1.0;
      u = x + p;
      z *= u;
    }
    while (u < 2.0) {
      if (u == 0.0) {
        SetMathError("lgam", kMathSingular);
        return kPositiveInfinity;
      }
      z /= u;
      p += 1.0;
      u = x + p;
    }
    if (z < 0.0) {
      *sign = -1;
      z = -z;
    }
    if (u == 2.0) return std::log(z);
    p -= 2.0;
    const double t = x + p;
    return std::log(z) + t * PolyEval(t, kLogGammaB, 5) / PolyEval1(t, kLogGammaC, 6);
  }

  if (x > kMaxLogGammaArg) return kPositiveInfinity;
  // Stirling's series.
  double q = (x - 0.5) * std::log(x) - x + kLogSqrt2Pi;
  if (x > 1.0e8) return q;
  const double p = 1.0 / (x * x);
  if (x >= 1000.0) {
    q += ((7.9365079365079365079365e-4 * p - 2.7777777777777777777778e-3) * p +
          0.0833333333333333333333) / x;
  } else {
    q += PolyEval(p, kLogGammaA, 4) / x;
  }
  return q;
}

int AiryFunctions(double x, double* ai, double* aip, double* bi, double* bip) {
  if (x > kMaxAiry) {
    // Outside the domain: no error is recorded, only the -1 result.
    *ai = 0.0;
    *aip = 0.0;
    *bi = kSpecialMaxNumber;
    *bip = kSpecialMaxNumber;
    return -1;
  }

  if (x < -2.09) {
    // Oscillating side: modulus-phase asymptotic forms.
    double t = std::sqrt(-x);
    const double zeta = -2.0 * x * t / 3.0;
    t = std::sqrt(t);
    double k = kSqrtPiInv / t;
    const double z = 1.0 / zeta;
    const double zz = z * z;
    double uf = 1.0 + zz * PolyEval(zz, kAiryAFN, 8) / PolyEval1(zz, kAiryAFD, 9);
    double ug = z * PolyEval(zz, kAiryAGN, 10) / PolyEval1(zz, kAiryAGD, 10);
    const double theta = zeta + 0.25 * kPi;
    const double f = std::sin(theta);
    const double g = std::cos(theta);
    *ai = k * (f * uf - g * ug);
    *bi = k * (g * uf + f * ug);
    uf = 1.0 + zz * PolyEval(zz, kAiryAPFN, 8) / PolyEval1(zz, kAiryAPFD, 9);
    ug = z * PolyEval(zz, kAiryAPGN, 10) / PolyEval1(zz, kAiryAPGD, 10);
    k = kSqrtPiInv * t;
    *aip = -k * (g * uf + f * ug);
    *bip = k * (f * uf - g * ug);
    return 0;
  }

  // Bits of `skip`: 1 Ai, 2 Bi, 4 Ai', 8 Bi' already set by an asymptotic form.
  int skip = 0;
  if (x >= 2.09) {
    skip = 5;
    double t = std::sqrt(x);
    const double zeta = 2.0 * x * t / 3.0;
    const double g = std::exp(zeta);
    t = std::sqrt(t);
    double k = 2.0 * t * g;
    const double z = 1.0 / zeta;
    double f = PolyEval(z, kAiryAN, 7) / PolyEval(z, kAiryAD, 7);
    *ai = kSqrtPiInv * f / k;
    k = -0.5 * kSqrtPiInv * t / g;
    f = PolyEval(z, kAiryAPN, 7) / PolyEval(z, kAiryAPD, 7);
    *aip = f * k;
    if (x > 8.3203353) {  // zeta > 16
      f = z * PolyEval(z, kAiryBN16, 4) / PolyEval1(z, kAiryBD16, 5);
      k = kSqrtPiInv * g;
      *bi = k * (1.0 + f) / t;
      f = z * PolyEval(z, kAiryBPPN, 4) / PolyEval1(z, kAiryBPPD, 5);
      *bip = k * t * (1.0 + f);
      return 0;
    }
  }

  // Maclaurin series of the two solutions f and g.
  double f = 1.0;
  double g = x;
  double t = 1.0;
  double uf = 1.0;
  double ug = x;
  double k = 1.0;
  const double z = x * x * x;
  while (t > kMachEp) {
    uf *= z;
    k += 1.0;
    uf /= k;
    ug *= z;
    k += 1.0;
    ug /= k;
    uf /= k;
    f += uf;
    k += 1.0;
    ug /= k;
    g += ug;
    t = std::fabs(uf / f);
  }
  uf = kAiryC1 * f;
  ug = kAiryC2 * g;
  if ((skip & 1) == 0) *ai = uf - ug;
  if ((skip & 2) == 0) *bi = kSqrt3 * (uf + ug);

  // The same for the derivatives.
  k = 4.0;
  uf = x * x / 2.0;
  ug = z / 3.0;
  f = uf;
  g = 1.0 + ug;
  uf /= 3.0;
  t = 1.0;
  while (t > kMachEp) {
    uf *= z;
    ug /= k;
    k += 1.0;
    ug *= z;
    uf /= k;
    f += uf;
    k += 1.0;
    ug /= k;
    uf /= k;
    g += ug;
    k += 1.0;
    t = std::fabs(ug / g);
  }
  uf = kAiryC1 * f;
  ug = kAiryC2 * g;
  if ((skip & 4) == 0) *aip = uf - ug;
  if ((skip & 8) == 0) *bip = kSqrt3 * (uf + ug);
  return 0;
}

double BesselJ0(double x) {
  if (x < 0.0) x = -x;
  if (x <= 5.0) {
    const double z = x * x;
    if (x < 1.0e-5) return 1.0 - z / 4.0;
    const double p = (z - kJ0Zero1Sq) * (z - kJ0Zero2Sq);
    return p * PolyEval(z, kJ0RP, 3) / PolyEval1(z, kJ0RQ, 8);
  }
  const double w = 5.0 / x;
  const double q2 = 25.0 / (x * x);
  double p = PolyEval(q2, kJ0PP, 6) / PolyEval(q2, kJ0PQ, 6);
  const double q = PolyEval(q2, kJ0QP, 7) / PolyEval1(q2, kJ0QQ, 7);
  const double xn = x - kPiOver4;
  p = p * std::cos(xn) - w * q * std::sin(xn);
  return p * kSqrt2OverPi / std::sqrt(x);
}

double BesselJ1(double x) {
  // Odd: the large-argument form below needs x > 0.
  if (x < 0.0) return -BesselJ1(-x);
  if (x <= 5.0) {
    const double z = x * x;
    const double w = PolyEval(z, kJ1RP, 3) / PolyEval1(z, kJ1RQ, 8);
    return w * x * (z - kJ1Zero1Sq) * (z - kJ1Zero2Sq);
  }
  const double w = 5.0 / x;
  const double z = w * w;
  double p = PolyEval(z, kJ1PP, 6) / PolyEval(z, kJ1PQ, 6);
  const double q = PolyEval(z, kJ1QP, 7) / PolyEval1(z, kJ1QQ, 7);
  const double xn = x - kThreePiOver4;
  p = p * std::cos(xn) - w * q * std::sin(xn);
  return p * kSqrt2OverPi / std::sqrt(x);
}

namespace {

// Reduces the order by backward recurrence (J_{k-1} = (2k/x) J_k - J_{k+1}),
// started from the continued fraction for J_n / J_{n-1}. Runs from *n down to
// *newn and returns J_{newn} / J_n (n possibly moved one down for negative
// orders with a small fraction). With `cancel`, the last step is dropped when
// it would lose more to cancellation; *newn receives the order reached.
double BesselRecur(double* n, double x, double* newn, bool cancel) {
  // The fraction only starts to converge once the index passes |x|; an earlier
  // pair of equal convergents would end it too soon.
  constexpr int kMaxIterations = 22000;
  int minIterations = 1;
  if (std::fabs(x) - std::fabs(*n) > 1.0) minIterations = static_cast<int>(std::fabs(x) - std::fabs(*n));
  bool negativeOrder = *n < 0.0;

  double ans = 0.0;
  for (;;) {
    double pkm2 = 0.0;
    double qkm2 = 1.0;
    double pkm1 = x;
    double qkm1 = *n + *n;
    const double xk = -x * x;
    double yk = qkm1;
    ans = 0.0;
    int count = 0;
    double t = 1.0;
    do {
      yk += 2.0;
      const double pk = pkm1 * yk + pkm2 * xk;
      const double qk = qkm1 * yk + qkm2 * xk;
      pkm2 = pkm1;
      pkm1 = pk;
      qkm2 = qkm1;
      qkm1 = qk;
      const double r = (qk != 0.0 && count > minIterations) ? pk / qk : 0.0;
      if (r != 0.0) {
        t = std::fabs((ans - r) / r);
        ans = r;
      } else {
        t = 1.0;
      }
      if (++count > kMaxIterations) {
        SetMathError("jv", kMathUnderflow);
        break;
      }
      if (std::fabs(pk) > kRecurBig) {
        pkm2 /= kRecurBig;
        pkm1 /= kRecurBig;
        qkm2 /= kRecurBig;
        qkm1 /= kRecurBig;
      }
    } while (t > kMachEp);
    if (ans == 0.0) ans = 1.0;
    // For a negative order with a small ratio, start one order lower instead.
    if (negativeOrder && std::fabs(ans) < 0.125) {
      negativeOrder = false;
      *n -= 1.0;
      continue;
    }
    break;
  }

  const double kf = *newn;
  double pk = 1.0;
  double pkm1 = 1.0 / ans;
  double pkm2 = 0.0;
  double k = *n - 1.0;
  double r = 2.0 * k;
  do {
    pkm2 = (pkm1 * r - pk * x) / x;
    pk = pkm1;
    pkm1 = pkm2;
    r -= 2.0;
    k -= 1.0;
  } while (k > kf + 0.5);

  if (cancel && kf >= 0.0 && std::fabs(pk) > std::fabs(pkm1)) {
    k += 1.0;
    pkm2 = pk;
  }
  *newn = k;
  return pkm2;
}

// Power series sum_k (-x^2/4)^k / (k! (n+1)_k) times (x/2)^n / Gamma(n+1).
double BesselSeries(double n, double x) {
  const double z = -x * x / 4.0;
  double u = 1.0;
  double y = u;
  double k = 1.0;
  double t = 1.0;
  while (t > kMachEp) {
    u *= z / (k * (n + k));
    y += u;
    k += 1.0;
    if (y != 0.0) t = std::fabs(u / y);
  }
  int ex = 0;
  (void)std::frexp(0.5 * x, &ex);
  // The binary exponent of (x/2)^n, in doubles: n may be far beyond int range.
  const double powerExponent = static_cast<double>(ex) * n;
  if (powerExponent > -1023.0 && powerExponent < 1023.0 && n > 0.0 && n < kMaxGamma - 1.0) {
    return y * (std::pow(0.5 * x, n) / std::tgamma(n + 1.0));
  }
  int32_t sign = 1;
  double lt = n * std::log(0.5 * x) - LogGamma(n + 1.0, &sign);
  if (y < 0.0) {
    sign = -sign;
    y = -y;
  }
  lt += std::log(y);
  if (lt < -kMaxLog) return 0.0;
  if (lt > kMaxLog) {
    // The published overflow value, with the sign the value would have had.
    SetMathError("Jv", kMathOverflow);
    return sign * kSpecialMaxNumber;
  }
  return sign * std::exp(lt);
}

// Hankel's asymptotic expansion, summed until the terms stop decreasing.
double BesselHankel(double n, double x) {
  const double m = 4.0 * n * n;
  double j = 1.0;
  const double z = 8.0 * x;
  double k = 1.0;
  double p = 1.0;
  double u = (m - 1.0) / z;
  double q = u;
  double sign = 1.0;
  double conv = 1.0;
  bool converging = false;
  double t = 1.0;
  double pp = 1.0e38;
  double qq = 1.0e38;
  while (t > kMachEp) {
    k += 2.0;
    j += 1.0;
    sign = -sign;
    u *= (m - k * k) / (j * z);
    p += sign * u;
    k += 2.0;
    j += 1.0;
    u *= (m - k * k) / (j * z);
    q += sign * u;
    t = std::fabs(u / p);
    if (t < conv) {
      conv = t;
      qq = q;
      pp = p;
      converging = true;
    }
    if (converging && t > conv) break;
  }
  const double phase = x - (0.5 * n + 0.25) * kPi;
  return std::sqrt(2.0 / (kPi * x)) * (pp * std::cos(phase) - qq * std::sin(phase));
}

// Transition-region expansion for large n with x close to n.
double BesselTransition(double n, double x) {
  const double cbn = CubeRoot(n);
  const double z = (x - n) / cbn;
  const double cbtwo = CubeRoot(2.0);
  double ai = 0.0, aip = 0.0, bi = 0.0, bip = 0.0;
  AiryFunctions(-cbtwo * z, &ai, &aip, &bi, &bip);

  const double zz = z * z;
  const double z3 = zz * z;
  double f[5];
  double g[4];
  f[0] = 1.0;
  f[1] = -z / 5.0;
  f[2] = PolyEval(z3, kJvPF2, 1) * zz;
  f[3] = PolyEval(z3, kJvPF3, 2);
  f[4] = PolyEval(z3, kJvPF4, 3) * z;
  g[0] = 0.3 * zz;
  g[1] = PolyEval(z3, kJvPG1, 1);
  g[2] = PolyEval(z3, kJvPG2, 2) * z;
  g[3] = PolyEval(z3, kJvPG3, 2) * zz;

  double pp = 0.0;
  double qq = 0.0;
  double nk = 1.0;
  const double n23 = CubeRoot(n * n);
  for (int k = 0; k <= 4; ++k) {
    pp += f[k] * nk;
    if (k != 4) qq += g[k] * nk;
    nk /= n23;
  }
  return cbtwo * ai * pp / cbn + CubeRoot(4.0) * aip * qq / n;
}

// Uniform asymptotic expansion in Airy functions for large n; hands over to the
// transition form when |x - n| <= 0.7 n^(1/3).
double BesselUniform(double n, double x) {
  const double cbn = CubeRoot(n);
  if (std::fabs((x - n) / cbn) <= 0.7) return BesselTransition(n, x);

  const double z = x / n;
  const double zz = 1.0 - z * z;
  if (zz == 0.0) return 0.0;

  double sz = 0.0;
  double t = 0.0;
  double zeta = 0.0;
  int nflg = 1;
  if (zz > 0.0) {
    sz = std::sqrt(zz);
    t = 1.5 * (std::log((1.0 + sz) / z) - sz);  // zeta^(3/2)
    zeta = CubeRoot(t * t);
  } else {
    sz = std::sqrt(-zz);
    t = 1.5 * (sz - std::acos(1.0 / z));
    zeta = -CubeRoot(t * t);
    nflg = -1;
  }
  const double z32i = std::fabs(1.0 / t);
  const double sqz = CubeRoot(t);

  const double n23 = CubeRoot(n * n);
  double ai = 0.0, aip = 0.0, bi = 0.0, bip = 0.0;
  AiryFunctions(n23 * zeta, &ai, &aip, &bi, &bip);

  // Debye polynomials u_k in 1/(1 - z^2).
  double u[8];
  u[0] = 1.0;
  const double zzi = 1.0 / zz;
  u[1] = PolyEval(zzi, kJvP1, 1) / sz;
  u[2] = PolyEval(zzi, kJvP2, 2) / zz;
  u[3] = PolyEval(zzi, kJvP3, 3) / (sz * zz);
  double pp = zz * zz;
  u[4] = PolyEval(zzi, kJvP4, 4) / pp;
  u[5] = PolyEval(zzi, kJvP5, 5) / (pp * sz);
  pp *= zz;
  u[6] = PolyEval(zzi, kJvP6, 6) / pp;
  u[7] = PolyEval(zzi, kJvP7, 7) / (pp * sz);

  pp = 0.0;
  double qq = 0.0;
  double np = 1.0;
  bool sumA = true;  // each sum stops at its first non-decreasing term
  bool sumB = true;
  double lastA = kPositiveInfinity;
  double lastB = kPositiveInfinity;
  for (int k = 0; k <= 3; ++k) {
    const int tk = 2 * k;
    const int tkp1 = tk + 1;
    double zp = 1.0;
    double ak = 0.0;
    double bk = 0.0;
    for (int s = 0; s <= tk; ++s) {
      if (sumA) {
        const int sign = ((s & 3) > 1) ? nflg : 1;
        ak += sign * kJvMu[s] * zp * u[tk - s];
      }
      if (sumB) {
        const int m = tkp1 - s;
        const int sign = (((m + 1) & 3) > 1) ? nflg : 1;
        bk += sign * kJvLambda[s] * zp * u[m];
      }
      zp *= z32i;
    }
    if (sumA) {
      ak *= np;
      const double a = std::fabs(ak);
      if (a < lastA) {
        lastA = a;
        pp += ak;
      } else {
        sumA = false;
      }
    }
    if (sumB) {
      bk += kJvLambda[tkp1] * zp * u[0];
      bk *= -np / sqz;
      const double b = std::fabs(bk);
      if (b < lastB) {
        lastB = b;
        qq += bk;
      } else {
        sumB = false;
      }
    }
    if (np < kMachEp) break;
    np /= n * n;
  }

  // Normalising factor (4 zeta / (1 - z^2))^(1/4).
  t = std::sqrt(std::sqrt(4.0 * zeta / zz));
  return t * (ai * pp / cbn + aip * qq / (n23 * n));
}

}  // namespace

double BesselJv(double order, double x) {
  if (std::isnan(order) || std::isnan(x)) return kUndefinedReal;
  if (std::isinf(order)) {
    SetMathError("Jv", kMathDomain);
    return kUndefinedReal;
  }
  double n = order;
  double sign = 1.0;
  const double an = std::fabs(n);
  const bool wholeOrder = std::floor(an) == an;
  if (wholeOrder) {
    // Only the parity of n matters; reduce it below 2^14 first.
    const int parity = static_cast<int>(an - 16384.0 * std::floor(an / 16384.0)) & 1;
    if (n < 0.0) {
      if (parity) sign = -sign;
      n = an;
    }
    if (x < 0.0) {
      if (parity) sign = -sign;
      x = -x;
    }
    if (std::isinf(x)) return 0.0;
    if (n == 0.0) return BesselJ0(x);
    if (n == 1.0) return sign * BesselJ1(x);
  }
  if (x < 0.0 && !wholeOrder) {
    SetMathError("Jv", kMathDomain);
    return 0.0;
  }
  if (std::isinf(x)) return 0.0;

  double y = std::fabs(x);
  if (y * y < std::fabs(n + 1.0) * kMachEp) {
    // Only the leading term counts. The sign of a negated whole order still
    // applies, and for huge orders (inf / inf) the series works in logarithms.
    const double lead = std::pow(0.5 * x, n) / std::tgamma(n + 1.0);
    return sign * (std::isnan(lead) ? BesselSeries(n, x) : lead);
  }

  double k = 3.6 * std::sqrt(y);
  double t = 3.6 * std::sqrt(an);
  if (y < t && an > 21.0) return sign * BesselSeries(n, x);
  if (an < k && y > 21.0) return sign * BesselHankel(n, x);

  if (an >= 500.0) {
    // Uniform or transition expansion; Hankel where x is of the order of n^2.
    if (n < 0.0) {
      SetMathError("Jv", kMathTotalLoss);
      return 0.0;
    }
    t = x / n;
    t /= n;
    y = (t > 0.3) ? BesselHankel(n, x) : BesselUniform(n, x);
    return sign * y;
  }

  double q = 1.0;
  if (wholeOrder) {
    // Down to order 0 or 1, then scale the J0 or J1 value.
    k = 0.0;
    q = BesselRecur(&n, x, &k, true);
    if (k == 0.0) return sign * (BesselJ0(x) / q);
    if (k == 1.0) return sign * (BesselJ1(x) / q);
  }

  if (an > 2.0 * y || (n >= 0.0 && n < 20.0 && y > 6.0 && y < 20.0)) {
    // Recur backwards from a larger order of the same fraction, where the series converges.
    k = n;
    y = y + an + 1.0;
    if (y < 30.0) y = 30.0;
    y = n + std::floor(y - n);
    q = BesselRecur(&y, x, &k, false);
    return sign * (BesselSeries(y, x) * q);
  }

  if (k <= 30.0) {
    k = 2.0;
  } else if (k < 90.0) {
    k = (3.0 * k) / 4.0;
  }
  if (an > k + 3.0) {
    if (n < 0.0) k = -k;
    q = n - std::floor(n);
    k = std::floor(k) + q;
    if (n > 0.0) {
      q = BesselRecur(&n, x, &k, true);
    } else {
      t = k;
      k = n;
      q = BesselRecur(&t, x, &k, true);
      k = t;
    }
    if (q == 0.0) return 0.0;
  } else {
    k = n;
    q = 1.0;
  }

  // Boundary between the power series and the Hankel expansion.
  y = std::fabs(k);
  t = (y < 26.0) ? (0.0083 * y + 0.09) * y + 12.9 : 0.9 * y;
  y = (x > t) ? BesselHankel(k, x) : BesselSeries(k, x);
  if (n > 0.0) {
    y /= q;
  } else {
    y *= q;
  }
  return sign * y;
}
