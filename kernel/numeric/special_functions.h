// Real special functions beyond the system math library: the Bessel function of the first kind
// of real order J_v(x) with its helpers (Airy functions, J0, J1, log-gamma, polynomial evaluation,
// cube root). Thresholds, constants and coefficient tables are the published ones, unchanged.
// Errors never throw: they set the calling thread's MathErrorCode and return 0, an overflow value or
// NaN. Every other result travels with its value, so concurrent callers never share one.
#pragma once

#include <cstdint>

#include "kernel/numeric/elementary_functions.h"

// Error classes of the published routine family, as stored in MathErrorCode.
enum MathErrorClass : int32_t {
  kMathNoError = 0,
  kMathDomain = 1,
  kMathSingular = 2,
  kMathOverflow = 3,
  kMathUnderflow = 4,
  kMathTotalLoss = 5,
  kMathPartialLoss = 6,  // outside 1..5: stored as 0
};

// Process-wide state of this module, in one place: the last error class only (a
// report for callers that poll; no result depends on it).
// The last error class recorded on this thread (see MathErrorClass); 0 after ResetMathError.
// Per thread, so a sampling worker and the main thread never share it.
int32_t MathErrorCode();
// Clears the error code (for tests and for callers that poll).
void ResetMathError();
// Records an error class for the named routine. Classes outside 1..5 store 0;
// the name is accepted for the record's shape and never shown.
void SetMathError(const char* routine, int32_t errorClass);

// Machine epsilon of this library: 2^-53 (not the kernel's 2^-52; they differ).
inline constexpr double kSpecialMachineEpsilon = 1.1102230246251565e-16;
inline constexpr double kSpecialMaxLog = 708.3964185322641;
inline constexpr double kSpecialMaxNumber = 1.7976931348623157e+308;

// Horner evaluation c[0] x^n + ... + c[n]; `degree` = n >= 1, each step one fma.
double PolyEval(double x, const double* coefficients, int degree);
// Same with an implied leading coefficient 1: x^n + c[0] x^(n-1) + ... + c[n-1].
double PolyEval1(double x, const double* coefficients, int degree);
// Cube root by frexp/ldexp, a quartic start and two Newton steps; keeps the sign,
// returns 0, infinities and NaN unchanged.
double CubeRoot(double x);
// log |Gamma(x)|, with the sign of Gamma(x) (+1 or -1) written to *sign, which must
// not be null. Poles give +inf with kMathSingular (sign +1); NaN gives NaN.
double LogGamma(double x, int32_t* sign);
// Airy functions Ai, Ai', Bi, Bi' at x. Beyond x = 25.77 gives Ai = Ai' = 0 and
// Bi = Bi' = the largest double and returns -1 (no error recorded); otherwise 0.
int AiryFunctions(double x, double* ai, double* aip, double* bi, double* bip);
// J0(x) and J1(x) of the published rational approximations (J0 even, J1 odd).
double BesselJ0(double x);
double BesselJ1(double x);
// J_v(x) for real order v. Whole orders use J_-n = (-1)^n J_n and
// J_n(-x) = (-1)^n J_n(x). A negative x with a non-whole order is a domain error
// (0, kMathDomain); a negative non-whole order of magnitude 500 or more outside the
// series and Hankel regions gives 0 with kMathTotalLoss; a series value whose
// logarithm passes kSpecialMaxLog gives +-largest double with kMathOverflow. NaN in
// gives NaN; an infinite order gives NaN (kMathDomain); an infinite x gives 0.
double BesselJv(double order, double x);

// Coefficient tables (kernel/bessel_tables.cpp), highest power first.
extern const double kAiryAN[8];
extern const double kAiryAD[8];
extern const double kAiryAPN[8];
extern const double kAiryAPD[8];
extern const double kAiryBN16[5];
extern const double kAiryBD16[5];
extern const double kAiryBPPN[5];
extern const double kAiryBPPD[5];
extern const double kAiryAFN[9];
extern const double kAiryAFD[9];
extern const double kAiryAGN[11];
extern const double kAiryAGD[10];
extern const double kAiryAPFN[9];
extern const double kAiryAPFD[9];
extern const double kAiryAPGN[11];
extern const double kAiryAPGD[10];
extern const double kJ0PP[7];
extern const double kJ0PQ[7];
extern const double kJ0QP[8];
extern const double kJ0QQ[7];
extern const double kJ0RP[4];
extern const double kJ0RQ[8];
extern const double kJ1RP[4];
extern const double kJ1RQ[8];
extern const double kJ1PP[7];
extern const double kJ1PQ[7];
extern const double kJ1QP[8];
extern const double kJ1QQ[7];
extern const double kJvLambda[11];
extern const double kJvMu[11];
extern const double kJvP1[2];
extern const double kJvP2[3];
extern const double kJvP3[4];
extern const double kJvP4[5];
extern const double kJvP5[6];
extern const double kJvP6[7];
extern const double kJvP7[8];
extern const double kJvPF2[2];
extern const double kJvPF3[3];
extern const double kJvPF4[4];
extern const double kJvPG1[2];
extern const double kJvPG2[3];
extern const double kJvPG3[3];
extern const double kLogGammaA[5];
extern const double kLogGammaB[6];
extern const double kLogGammaC[6];

// The factorial extended to real x (kernel/elementary_functions.h) under the name
// the algebra and the typesetting callers use for it.
inline double GammaFunction(double x) { return Factorial(x); }
