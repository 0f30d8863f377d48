// The four value kinds of the stack machines as traits records: each kind's undefined value,
// truth values and the operation behind every opcode, plus the two branch forms (point kinds and
// enclosure kinds). The point-by-point machines and the block machines share them.
// Invariants: every operation calls the numeric library's own function for its kind (so a change
// there reaches every machine); undefined operands give the kind's undefined value.
#pragma once

#include <cmath>
#include <cstdint>

#include "kernel/eval/block_plan.h"
#include "kernel/eval/bytecode.h"
#include "kernel/eval/evaluation_budget.h"
#include "kernel/eval/evaluation_records.h"
#include "kernel/numeric/complex.h"
#include "kernel/numeric/complex_interval.h"
#include "kernel/numeric/elementary_functions.h"
#include "kernel/numeric/interval.h"
#include "kernel/numeric/interval_core.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/numeric/special_functions.h"
#include "kernel/numeric/value_of.h"

// Body runs of one bounded sum past which no point of a box can still be in it.
inline constexpr int32_t kMaxLoopRuns = static_cast<int32_t>(kMaxLoopSpan) + 1;

// What a run of `code` gives when it gives up on its sums (the work of its nested sums past the
// work limit, or a sum entered more than kMaxLoopSpan steps wide): no value, never the partial
// sum, and the run is counted. An enclosure kind whose loop tests held for part of the box only
// (`someStopped`) may hold points that stopped within the bound: only the whole line, with a
// partial domain, is sure to hold what they gave. A code whose loop control is the same in every
// run is marked, so that its next runs give up at once (GivesUpAtOnce).
template <class M>
typename M::Value GiveUpOnLoops(const CompiledCode* code, bool someStopped) {
  NoteEvaluationPastWorkLimit();
  if constexpr (M::kEncloses) {
    if (someStopped) {
      IntervalMarkPartialDomain();
      return M::WholeLine();
    }
  }
  if (BlockPlan* plan = code->blockPlan; plan != nullptr && plan->loopControlFixed) plan->loopsGiveUp = 1;
  return M::Undefined();
}

// A run of the code would give up on its sums whatever its inputs: one did before.
inline bool GivesUpAtOnce(const CompiledCode* code) {
  return code->blockPlan != nullptr && code->blockPlan->loopsGiveUp != 0;
}

// Branch over a point kind, k clauses (value, condition) from the last: the first clause in written
// order whose condition is exactly true wins; an undefined condition counts as false.
template <class M>
typename M::Value PointBranch(const typename M::Value* pairs, int k) {
  typename M::Value result = M::Undefined();
  bool found = false;
  for (int j = k - 1; j >= 0; --j) {
    const typename M::Value& condition = pairs[2 * j + 1];
    if (M::IsUndefined(condition) || M::IsFalse(condition)) continue;
    result = (!found || M::IsTrue(condition)) ? pairs[2 * j] : M::Undefined();
    found = found || M::IsTrue(condition);
  }
  return result;
}

// Branch over an enclosure kind. Each condition is read as a truth interval (TruthOf): anything
// but exactly false or exactly true, an undefined condition included, is undecided, because the
// condition may hold at some point of the box. An undecided clause widens the result to cover
// every clause that may apply; one whose value is undefined leaves nothing known. Points where
// no clause holds have no value, which the run notes as a partial domain.
template <class M>
typename M::Value EnclosureBranch(const typename M::Value* pairs, int k) {
  typename M::Value result = M::Undefined();
  Interval found = kTruthFalse;
  for (int j = k - 1; j >= 0; --j) {
    const typename M::Value& value = pairs[2 * j];
    const Interval condition = M::TruthOf(pairs[2 * j + 1]);
    if (IntervalIsExactly(condition, 0.0, 0.0)) continue;
    if (IntervalIsExactly(found, 0.0, 0.0) || IntervalIsExactly(condition, 1.0, 1.0)) {
      result = value;
    } else {
      result = M::Hull(result, value);
    }
    found = ValueOf(IntervalTruthOr, found, condition);
  }
  // Where no clause may apply there is no value: unless one surely does, a partial domain.
  if (!IntervalIsExactly(found, 1.0, 1.0) && !M::IsUndefined(result)) IntervalMarkPartialDomain();
  return result;
}

// ---------------------------------------------------------------------------------------------
// The real machine.

struct RealMachine {
  using Value = double;
  static constexpr bool kEncloses = false;
  static double Undefined() { return kUndefinedReal; }
  static bool IsUndefined(double v) { return v != v; }
  static double Constant(double c) { return c; }
  static double Load(const EvalCell& cell) { return cell.real; }
  static void Store(EvalCell& cell, double v) { cell.real = v; }
  static double FromDefined(const Complex& z) { return z.im == 0 ? z.re : kUndefinedReal; }
  static double FromBinding(const Complex& z) { return z.re; }
  static double Add(double a, double b) { return a + b; }
  static double Multiply(double a, double b) { return a * b; }
  static double Divide(double a, double b) { return a / b; }
  static double Power(double a, double b) { return std::pow(a, b); }
  static double Atan2Positive(double a, double b) {
    double t = std::atan2(b, a);
    return t < 0 ? t + kTwoPi : t;
  }
  static double Hypot(double a, double b) { return std::hypot(a, b); }
  static double MakeInterval(double, double b) { return b; }
  static double Negate(double b) { return -b; }
  static double Abs(double b) { return std::fabs(b); }
  static double Sign(double b) { return ::Sign(b); }
  static double Sqrt(double b) { return std::sqrt(b); }
  static double Exp(double b) { return std::exp(b); }
  static double Log10(double b) { return std::log10(b); }
  static double Ln(double b) { return std::log(b); }
  static double Factorial(double b) { return ::Factorial(b); }
  static double Square(double b) { return b * b; }
  static double Sin(double b) { return std::sin(b); }
  static double Cos(double b) { return std::cos(b); }
  static double Tan(double b) { return std::tan(b); }
  static double Cot(double b) { return ::Cot(b); }
  static double Csc(double b) { return ::Csc(b); }
  static double Sec(double b) { return ::Sec(b); }
  static double Asin(double b) { return std::asin(b); }
  static double Acos(double b) { return std::acos(b); }
  static double Atan(double b) { return std::atan(b); }
  static double Acot(double b) { return ::Arccot(b); }
  static double Acsc(double b) { return ::Arccsc(b); }
  static double Asec(double b) { return ::Arcsec(b); }
  static double Sinh(double b) { return std::sinh(b); }
  static double Cosh(double b) { return std::cosh(b); }
  static double Tanh(double b) { return std::tanh(b); }
  static double Coth(double b) { return ::Coth(b); }
  static double Csch(double b) { return ::Csch(b); }
  static double Sech(double b) { return ::Sech(b); }
  static double Asinh(double b) { return std::asinh(b); }
  static double Acosh(double b) { return std::acosh(b); }
  static double Atanh(double b) { return std::atanh(b); }
  static double Acoth(double b) { return ::Arccoth(b); }
  static double Acsch(double b) { return ::Arccsch(b); }
  static double Asech(double b) { return ::Arcsech(b); }
  static bool Compare(uint32_t op, double a, double b) {
    switch (op) {
      case OpLessChain: return a < b;
      case OpGreaterChain: return a > b;
      case OpLessEqualChain: return a <= b;
      case OpGreaterEqualChain: return a >= b;
      default: return a == b;
    }
  }
  static double Chain(uint32_t op, const double* v, int k) {
    for (int j = 0; j + 1 < k; ++j) {
      if (!Compare(op, v[j], v[j + 1])) return 0.0;
    }
    return 1.0;
  }
  static double And(double a, double b) { return (a == 1.0 && b == 1.0) ? 1.0 : 0.0; }
  static double Or(double a, double b) { return (a == 1.0 || b == 1.0) ? 1.0 : 0.0; }
  static double RationalPower(double x, double p, double q) { return ::RationalPower(x, q, p); }
  static double BesselJ(double a, double b) { return BesselJv(b, a); }
  static double Floor(double b) { return std::floor(b); }
  static double Ceil(double b) { return std::ceil(b); }
  static bool IsTrue(double condition) { return condition == 1.0; }
  static bool IsFalse(double condition) { return condition == 0.0; }
  static double If(double value, double condition) { return IsTrue(condition) ? value : kUndefinedReal; }
  static double RealPart(double b) { return b; }
  static double ImagPart(double b) { return b != b ? b : 0.0; }
  // The angle of a real number: pi for a negative one.
  static double Arg(double b) { return b != b ? b : (b < 0 ? kPi : 0.0); }
  static double ImaginaryUnit() { return kUndefinedReal; }
  static double Mod(double a, double b) { return FlooredMod(a, b); }
  // An undefined operand gives undefined whichever side it is on (the plain rule would let
  // min(NaN, 3) be 3 but min(3, NaN) NaN), as in the other three machines.
  static double Min(double a, double b) { return a != a ? a : (b >= a ? a : b); }
  static double Max(double a, double b) { return a != a ? a : (b <= a ? a : b); }
  static bool LoopContinues(const EvalCell& index, const EvalCell& bound) {
    return index.real <= bound.real && bound.real - index.real <= kMaxLoopSpan;
  }
  // A sum entered with more than kMaxLoopSpan steps to go: it has no value.
  static bool TooWide(const EvalCell& index, const EvalCell& bound) {
    return index.real <= bound.real && bound.real - index.real > kMaxLoopSpan;
  }
  static void Increment(EvalCell& cell) {
    const double old = cell.real;
    const double next = old + 1.0;
    cell.real = next == old ? kUndefinedReal : next;
  }
  static double Finish(double top) { return top; }
};


// ---------------------------------------------------------------------------------------------
// The complex machine. Real-only operations give the undefined value off the real axis.

struct ComplexMachine {
  using Value = Complex;
  static constexpr bool kEncloses = false;
  using Op1 = void (*)(Complex&, const Complex&);
  static Complex Apply(Op1 f, const Complex& z) { return ValueOf(f, z); }
  static Complex Undefined() { return kUndefinedComplex; }
  static bool IsUndefined(const Complex& v) { return ComplexIsUndefined(v); }
  static Complex Constant(double c) { return Complex{c, 0.0}; }
  static Complex Load(const EvalCell& cell) { return cell.complex; }
  static void Store(EvalCell& cell, const Complex& v) { cell.complex = v; }
  static Complex FromDefined(const Complex& z) { return z; }
  static Complex FromBinding(const Complex& z) { return z; }
  static Complex Add(const Complex& a, const Complex& b) { return Complex{a.re + b.re, a.im + b.im}; }
  static Complex Multiply(const Complex& a, const Complex& b) { return ValueOf(ComplexMultiply, a, b); }
  static Complex Divide(const Complex& a, const Complex& b) { return ValueOf(ComplexDivide, a, b); }
  static Complex Power(const Complex& a, const Complex& b) { return ValueOf(ComplexPower, a, b); }
  static Complex Atan2Positive(const Complex& a, const Complex& b) { return ValueOf(ComplexAtan2, b, a); }
  static Complex Hypot(const Complex& a, const Complex& b) { return ValueOf(ComplexHypot, a, b); }
  static Complex MakeInterval(const Complex&, const Complex& b) { return b; }
  static Complex Negate(const Complex& b) { return Complex{-b.re, -b.im}; }
  static Complex Abs(const Complex& b) { return Apply(ComplexAbs, b); }
  static Complex Sign(const Complex& b) { return Apply(ComplexSign, b); }
  static Complex Sqrt(const Complex& b) { return Apply(ComplexSqrt, b); }
  static Complex Exp(const Complex& b) { return Apply(ComplexExp, b); }
  static Complex Log10(const Complex& b) { return Apply(ComplexLog10, b); }
  static Complex Ln(const Complex& b) { return Apply(ComplexLn, b); }
  static Complex Factorial(const Complex& b) { return Apply(ComplexFactorial, b); }
  static Complex Square(const Complex& b) { return Apply(ComplexSquare, b); }
  static Complex Sin(const Complex& b) { return Apply(ComplexSin, b); }
  static Complex Cos(const Complex& b) { return Apply(ComplexCos, b); }
  static Complex Tan(const Complex& b) { return Apply(ComplexTan, b); }
  static Complex Cot(const Complex& b) { return Apply(ComplexCot, b); }
  static Complex Csc(const Complex& b) { return Apply(ComplexCsc, b); }
  static Complex Sec(const Complex& b) { return Apply(ComplexSec, b); }
  static Complex Asin(const Complex& b) { return Apply(ComplexAsin, b); }
  static Complex Acos(const Complex& b) { return Apply(ComplexAcos, b); }
  static Complex Atan(const Complex& b) { return Apply(ComplexAtan, b); }
  static Complex Acot(const Complex& b) { return Apply(ComplexAcot, b); }
  static Complex Acsc(const Complex& b) { return Apply(ComplexAcsc, b); }
  static Complex Asec(const Complex& b) { return Apply(ComplexAsec, b); }
  static Complex Sinh(const Complex& b) { return Apply(ComplexSinh, b); }
  static Complex Cosh(const Complex& b) { return Apply(ComplexCosh, b); }
  static Complex Tanh(const Complex& b) { return Apply(ComplexTanh, b); }
  static Complex Coth(const Complex& b) { return Apply(ComplexCoth, b); }
  static Complex Csch(const Complex& b) { return Apply(ComplexCsch, b); }
  static Complex Sech(const Complex& b) { return Apply(ComplexSech, b); }
  static Complex Asinh(const Complex& b) { return Apply(ComplexAsinh, b); }
  static Complex Acosh(const Complex& b) { return Apply(ComplexAcosh, b); }
  static Complex Atanh(const Complex& b) { return Apply(ComplexAtanh, b); }
  static Complex Acoth(const Complex& b) { return Apply(ComplexAcoth, b); }
  static Complex Acsch(const Complex& b) { return Apply(ComplexAcsch, b); }
  static Complex Asech(const Complex& b) { return Apply(ComplexAsech, b); }
  static Complex Truth(bool t) { return Complex{t ? 1.0 : 0.0, 0.0}; }
  static bool IsTrue(const Complex& z) { return z.re == 1.0 && z.im == 0.0; }
  static bool IsFalse(const Complex& z) { return z.re == 0.0 && z.im == 0.0; }
  static Complex Chain(uint32_t op, const Complex* v, int k) {
    for (int j = 0; j + 1 < k; ++j) {
      if (v[j].im != 0.0 || v[j + 1].im != 0.0 || !RealMachine::Compare(op, v[j].re, v[j + 1].re)) return Truth(false);
    }
    return Truth(true);
  }
  static Complex And(const Complex& a, const Complex& b) { return Truth(IsTrue(a) && IsTrue(b)); }
  static Complex Or(const Complex& a, const Complex& b) { return Truth(IsTrue(a) || IsTrue(b)); }
  static Complex RationalPower(const Complex& x, const Complex& p, const Complex& q) { return Power(x, Divide(p, q)); }
  static Complex BesselJ(const Complex& a, const Complex& b) { return ValueOf(ComplexBesselJ, b, a); }
  static Complex Floor(const Complex& b) { return Apply(ComplexFloor, b); }
  static Complex Ceil(const Complex& b) { return Apply(ComplexCeil, b); }
  static Complex If(const Complex& value, const Complex& condition) { return IsTrue(condition) ? value : Undefined(); }
  static Complex RealPart(const Complex& b) { return Complex{b.re, 0.0}; }
  static Complex ImagPart(const Complex& b) { return Complex{b.im, 0.0}; }
  static Complex Arg(const Complex& b) { return Apply(ComplexArg, b); }
  static Complex ImaginaryUnit() { return Complex{0.0, 1.0}; }
  static Complex Mod(const Complex& a, const Complex& b) { return ValueOf(ComplexMod, a, b); }
  static Complex Min(const Complex& a, const Complex& b) { return ValueOf(ComplexMin, a, b); }
  static Complex Max(const Complex& a, const Complex& b) { return ValueOf(ComplexMax, a, b); }
  static bool LoopContinues(const EvalCell& index, const EvalCell& bound) {
    const Complex& i = index.complex;
    const Complex& b = bound.complex;
    return i.im == 0.0 && b.im == 0.0 && i.re <= b.re && b.re - i.re <= kMaxLoopSpan;
  }
  static bool TooWide(const EvalCell& index, const EvalCell& bound) {
    const Complex& i = index.complex;
    const Complex& b = bound.complex;
    return i.im == 0.0 && b.im == 0.0 && i.re <= b.re && b.re - i.re > kMaxLoopSpan;
  }
  static void Increment(EvalCell& cell) {
    const Complex old = cell.complex;
    const Complex next{old.re + 1.0, old.im};
    cell.complex = next.re == old.re ? Undefined() : next;
  }
  static Complex Finish(const Complex& top) { return top; }
};

// ---------------------------------------------------------------------------------------------
// The interval machine. Wrapped intervals may occur inside a run; the result is widened.

struct IntervalMachine {
  using Value = Interval;
  static constexpr bool kEncloses = true;
  using Op1 = void (*)(Interval&, const Interval&);
  using Op2 = void (*)(Interval&, const Interval&, const Interval&);
  static Interval Apply(Op1 f, const Interval& a) { return ValueOf(f, a); }
  static Interval Apply2(Op2 f, const Interval& a, const Interval& b) { return ValueOf(f, a, b); }
  static Interval Undefined() { return kUndefinedInterval; }
  static bool IsUndefined(const Interval& v) { return IntervalIsUndefined(v); }
  static Interval Constant(double c) { return Interval{c, c}; }
  static Interval Load(const EvalCell& cell) { return cell.interval; }
  static void Store(EvalCell& cell, const Interval& v) { cell.interval = v; }
  static Interval FromDefined(const Complex& z) { return z.im == 0 ? Interval{z.re, z.re} : Undefined(); }
  static Interval FromBinding(const Complex& z) { return Interval{z.re, z.re}; }
  // Sums and products in their common case inline (interval_core.h), the rest as the library
  // does them: the same values, without a call per box in the machines' loops.
  [[gnu::always_inline]] static Interval Add(const Interval& a, const Interval& b) {
    Interval r;
    return IntervalAddQuick(r, a, b) ? r : Apply2(IntervalAdd, a, b);
  }
  [[gnu::always_inline]] static Interval Multiply(const Interval& a, const Interval& b) {
    if (!(a.lo <= a.hi && b.lo <= b.hi)) return Apply2(IntervalMultiply, a, b);
    Interval r;
    IntervalMultiplyDefinedOrdinary(r, a, b);
    return r;
  }
  [[gnu::always_inline]] static Interval Divide(const Interval& a, const Interval& b) {
    Interval r;  // IntervalDivide takes the rest: a divisor whose reciprocal overflows divides directly
    return IntervalReciprocalQuick(r, b) ? Multiply(a, r) : Apply2(IntervalDivide, a, b);
  }
  static Interval Power(const Interval& a, const Interval& b) { return Apply2(IntervalPower, a, b); }
  static Interval Atan2Positive(const Interval& a, const Interval& b) { return Apply2(IntervalAtan2, b, a); }
  static Interval Hypot(const Interval& a, const Interval& b) { return Apply2(IntervalHypot, a, b); }
  static Interval MakeInterval(const Interval& a, const Interval& b) { return Interval{a.lo, b.hi}; }
  static Interval Negate(const Interval& b) { return Interval{-b.hi, -b.lo}; }
  static Interval Abs(const Interval& b) { return Apply(IntervalAbs, b); }
  static Interval Sign(const Interval& b) { return Apply(IntervalSign, b); }
  static Interval Sqrt(const Interval& b) { return Apply(IntervalSqrt, b); }
  static Interval Exp(const Interval& b) { return Apply(IntervalExp, b); }
  static Interval Log10(const Interval& b) { return Apply(IntervalLog10, b); }
  static Interval Ln(const Interval& b) { return Apply(IntervalLn, b); }
  static Interval Factorial(const Interval& b) { return Apply(IntervalFactorial, b); }
  [[gnu::always_inline]] static Interval Square(const Interval& b) {
    if (!(b.lo <= b.hi)) return Apply(IntervalSquare, b);
    Interval r;
    IntervalSquareOfOrdinary(r, b);
    return r;
  }
  static Interval Sin(const Interval& b) { return Apply(IntervalSin, b); }
  static Interval Cos(const Interval& b) { return Apply(IntervalCos, b); }
  static Interval Tan(const Interval& b) { return Apply(IntervalTan, b); }
  static Interval Cot(const Interval& b) { return Apply(IntervalCot, b); }
  static Interval Csc(const Interval& b) { return Apply(IntervalCsc, b); }
  static Interval Sec(const Interval& b) { return Apply(IntervalSec, b); }
  static Interval Asin(const Interval& b) { return Apply(IntervalAsin, b); }
  static Interval Acos(const Interval& b) { return Apply(IntervalAcos, b); }
  static Interval Atan(const Interval& b) { return Apply(IntervalAtan, b); }
  static Interval Acot(const Interval& b) { return Apply(IntervalAcot, b); }
  static Interval Acsc(const Interval& b) { return Apply(IntervalAcsc, b); }
  static Interval Asec(const Interval& b) { return Apply(IntervalAsec, b); }
  static Interval Sinh(const Interval& b) { return Apply(IntervalSinh, b); }
  static Interval Cosh(const Interval& b) { return Apply(IntervalCosh, b); }
  static Interval Tanh(const Interval& b) { return Apply(IntervalTanh, b); }
  static Interval Coth(const Interval& b) { return Apply(IntervalCoth, b); }
  static Interval Csch(const Interval& b) { return Apply(IntervalCsch, b); }
  static Interval Sech(const Interval& b) { return Apply(IntervalSech, b); }
  static Interval Asinh(const Interval& b) { return Apply(IntervalAsinh, b); }
  static Interval Acosh(const Interval& b) { return Apply(IntervalAcosh, b); }
  static Interval Atanh(const Interval& b) { return Apply(IntervalAtanh, b); }
  static Interval Acoth(const Interval& b) { return Apply(IntervalAcoth, b); }
  static Interval Acsch(const Interval& b) { return Apply(IntervalAcsch, b); }
  static Interval Asech(const Interval& b) { return Apply(IntervalAsech, b); }
  static bool Is(const Interval& a, double v) { return a.lo == v && a.hi == v; }
  static Op2 Comparison(uint32_t op) {
    switch (op) {
      case OpLessChain: return IntervalLess;
      case OpGreaterChain: return IntervalGreater;
      case OpLessEqualChain: return IntervalLessEqual;
      case OpGreaterEqualChain: return IntervalGreaterEqual;
      default: return IntervalEqual;
    }
  }
  // Once some point of the box had no value on the way (a partial domain), a comparison that
  // holds wherever there are values does not hold everywhere: true becomes undecided. The run's
  // record is this thread's flag; the block machine passes each box's own to ChainGiven.
  static Interval Chain(uint32_t op, const Interval* v, int k) {
    return ChainGiven(op, v, k, IntervalPartialDomainSeen());
  }
  static Interval ChainGiven(uint32_t op, const Interval* v, int k, bool partialDomain) {
    const Op2 compare = Comparison(op);
    Interval truth{1.0, 1.0};
    for (int j = 0; j + 1 < k; ++j) truth = Apply2(IntervalTruthAnd, truth, Apply2(compare, v[j], v[j + 1]));
    return Is(truth, 1.0) && partialDomain ? Interval{0.0, 1.0} : truth;
  }
  static Interval And(const Interval& a, const Interval& b) { return Apply2(IntervalTruthAnd, a, b); }
  // True when either is true; undefined when an operand is and the other is not true.
  static Interval Or(const Interval& a, const Interval& b) {
    if (Is(a, 1.0) || Is(b, 1.0)) return Interval{1.0, 1.0};
    if (IsUndefined(a) || IsUndefined(b)) return Undefined();
    return Apply2(IntervalTruthOr, a, b);
  }
  static Interval RationalPower(const Interval& x, const Interval& p, const Interval& q) {
    return ValueOf(IntervalRationalPower, x, q, p);
  }
  static Interval BesselJ(const Interval& a, const Interval& b) { return Apply2(IntervalBesselJ, b, a); }
  static Interval Floor(const Interval& b) { return Apply(IntervalFloor, b); }
  static Interval Ceil(const Interval& b) { return Apply(IntervalCeil, b); }
  // The value wherever the condition may be true (may hold 1): undefined only where it is
  // certainly not, or has no value anywhere. Not certainly true, the points where it fails have
  // no value: a partial domain.
  static Interval If(const Interval& value, const Interval& condition) {
    if (!IntervalHolds(condition, 1.0)) return Undefined();
    if (!Is(condition, 1.0)) IntervalMarkPartialDomain();
    return value;
  }
  // Exactly false, exactly true, or undecided (whatever else the condition holds).
  static Interval TruthOf(const Interval& condition) {
    return Is(condition, 0.0) || Is(condition, 1.0) ? condition : kTruthUndecided;
  }
  // Both sets at once; undefined when either is (nothing is known of it).
  static Interval Hull(const Interval& a, const Interval& b) {
    return IsUndefined(a) || IsUndefined(b) ? Undefined() : Apply2(IntervalHull, a, b);
  }
  static Interval WholeLine() { return kWholeLine; }
  static Interval RealPart(const Interval& b) { return b; }
  static Interval ImagPart(const Interval& b) { return IsUndefined(b) ? b : Interval{0.0, 0.0}; }
  // The angles of the real numbers in b: 0 for the non-negative ones, pi for the negative ones.
  static Interval Arg(const Interval& b) {
    if (IsUndefined(b)) return b;
    if (b.lo <= b.hi && b.lo >= 0) return Interval{0.0, 0.0};
    if (b.lo <= b.hi && b.hi < 0) return Interval{kPi, kPi};
    return Interval{0.0, kPi};
  }
  static Interval ImaginaryUnit() { return Undefined(); }
  static Interval Mod(const Interval& a, const Interval& b) { return Apply2(IntervalMod, a, b); }
  static Interval Min(const Interval& a, const Interval& b) { return Apply2(IntervalMin, a, b); }
  static Interval Max(const Interval& a, const Interval& b) { return Apply2(IntervalMax, a, b); }
  // Truth over the box of index <= bound and bound - index <= kMaxLoopSpan (the sum goes on);
  // undefined when the index or the bound is.
  static Interval LoopTruth(const EvalCell& index, const EvalCell& bound) { return InRangeAnd(index, bound, false); }
  // Truth of index <= bound and bound - index > kMaxLoopSpan (a sum entered that wide has no value).
  static Interval TooWideTruth(const EvalCell& index, const EvalCell& bound) {
    return InRangeAnd(index, bound, true);
  }
  static Interval InRangeAnd(const EvalCell& index, const EvalCell& bound, bool tooWide) {
    const Interval& i = index.interval;
    const Interval& b = bound.interval;
    if (IsUndefined(i) || IsUndefined(b)) return Undefined();
    const Interval inRange = Apply2(IntervalLessEqual, i, b);
    if (Is(inRange, 0.0)) return inRange;
    const Interval span = Add(b, Negate(i)), cap = Constant(kMaxLoopSpan);
    const Interval spanTruth = tooWide ? Apply2(IntervalLess, cap, span) : Apply2(IntervalLessEqual, span, cap);
    return Is(inRange, 1.0) ? spanTruth : And(inRange, spanTruth);
  }
  static void Increment(EvalCell& cell) {
    const Interval old = cell.interval;
    const Interval next = Add(old, Interval{1.0, 1.0});
    cell.interval = (next.lo == old.lo && next.hi == old.hi) ? Undefined() : next;
  }
  static Interval Finish(const Interval& top) { return IntervalIsWrapped(top) ? kWholeLine : top; }
};

// ---------------------------------------------------------------------------------------------
// The complex-interval machine: truth values live in the real part with [0, 0] as imaginary part.

struct ComplexIntervalMachine {
  using Value = ComplexInterval;
  static constexpr bool kEncloses = true;
  using CI = ComplexInterval;
  using Op1 = void (*)(CI&, const CI&);
  using Op2 = void (*)(CI&, const CI&, const CI&);
  static CI Apply(Op1 f, const CI& a) { return ValueOf(f, a); }
  static CI Apply2(Op2 f, const CI& a, const CI& b) { return ValueOf(f, a, b); }
  static CI Undefined() { return kUndefinedComplexInterval; }
  static bool IsUndefined(const CI& v) { return ComplexIntervalIsUndefined(v); }
  static CI Constant(double c) { return CI{{c, c}, {0.0, 0.0}}; }
  static CI Load(const EvalCell& cell) { return cell.complexInterval; }
  static void Store(EvalCell& cell, const CI& v) { cell.complexInterval = v; }
  static CI FromDefined(const Complex& z) { return CI{{z.re, z.re}, {z.im, z.im}}; }
  static CI FromBinding(const Complex& z) { return CI{{z.re, z.re}, {z.im, z.im}}; }
  static CI Add(const CI& a, const CI& b) { return Apply2(ComplexIntervalAdd, a, b); }
  static CI Multiply(const CI& a, const CI& b) { return Apply2(ComplexIntervalMultiply, a, b); }
  static CI Divide(const CI& a, const CI& b) { return Apply2(ComplexIntervalDivide, a, b); }
  static CI Power(const CI& a, const CI& b) { return Apply2(ComplexIntervalPower, a, b); }
  static CI Atan2Positive(const CI& a, const CI& b) { return Apply2(ComplexIntervalAtan2, b, a); }
  static CI Hypot(const CI& a, const CI& b) { return Apply2(ComplexIntervalHypot, a, b); }
  static CI MakeInterval(const CI& a, const CI& b) { return CI{{a.re.lo, b.re.hi}, {a.im.lo, b.im.hi}}; }
  static CI Negate(const CI& b) { return CI{{-b.re.hi, -b.re.lo}, {-b.im.hi, -b.im.lo}}; }
  static CI Abs(const CI& b) { return Apply(ComplexIntervalAbs, b); }
  static CI Sign(const CI& b) { return Apply(ComplexIntervalSign, b); }
  static CI Sqrt(const CI& b) { return Apply(ComplexIntervalSqrt, b); }
  static CI Exp(const CI& b) { return Apply(ComplexIntervalExp, b); }
  static CI Log10(const CI& b) { return Apply(ComplexIntervalLog10, b); }
  static CI Ln(const CI& b) { return Apply(ComplexIntervalLn, b); }
  static CI Factorial(const CI& b) { return Apply(ComplexIntervalFactorial, b); }
  static CI Square(const CI& b) { return Apply(ComplexIntervalSquare, b); }
  static CI Sin(const CI& b) { return Apply(ComplexIntervalSin, b); }
  static CI Cos(const CI& b) { return Apply(ComplexIntervalCos, b); }
  static CI Tan(const CI& b) { return Apply(ComplexIntervalTan, b); }
  static CI Cot(const CI& b) { return Apply(ComplexIntervalCot, b); }
  static CI Csc(const CI& b) { return Apply(ComplexIntervalCsc, b); }
  static CI Sec(const CI& b) { return Apply(ComplexIntervalSec, b); }
  static CI Asin(const CI& b) { return Apply(ComplexIntervalAsin, b); }
  static CI Acos(const CI& b) { return Apply(ComplexIntervalAcos, b); }
  static CI Atan(const CI& b) { return Apply(ComplexIntervalAtan, b); }
  static CI Acot(const CI& b) { return Apply(ComplexIntervalAcot, b); }
  static CI Acsc(const CI& b) { return Apply(ComplexIntervalAcsc, b); }
  static CI Asec(const CI& b) { return Apply(ComplexIntervalAsec, b); }
  static CI Sinh(const CI& b) { return Apply(ComplexIntervalSinh, b); }
  static CI Cosh(const CI& b) { return Apply(ComplexIntervalCosh, b); }
  static CI Tanh(const CI& b) { return Apply(ComplexIntervalTanh, b); }
  static CI Coth(const CI& b) { return Apply(ComplexIntervalCoth, b); }
  static CI Csch(const CI& b) { return Apply(ComplexIntervalCsch, b); }
  static CI Sech(const CI& b) { return Apply(ComplexIntervalSech, b); }
  static CI Asinh(const CI& b) { return Apply(ComplexIntervalAsinh, b); }
  static CI Acosh(const CI& b) { return Apply(ComplexIntervalAcosh, b); }
  static CI Atanh(const CI& b) { return Apply(ComplexIntervalAtanh, b); }
  static CI Acoth(const CI& b) { return Apply(ComplexIntervalAcoth, b); }
  static CI Acsch(const CI& b) { return Apply(ComplexIntervalAcsch, b); }
  static CI Asech(const CI& b) { return Apply(ComplexIntervalAsech, b); }
  static bool IsRealValued(const CI& a) { return a.im.lo == 0.0 && a.im.hi == 0.0; }
  static CI Truth(const Interval& t) { return CI{t, {0.0, 0.0}}; }
  static bool IsTrue(const CI& a) { return IsRealValued(a) && IntervalMachine::Is(a.re, 1.0); }
  // A point off the real axis compares false. An imaginary part that holds 0 without being exactly
  // [0, 0] leaves points on the axis, where the real parts decide: undecided at best.
  static CI Chain(uint32_t op, const CI* v, int k) {
    bool offAxisSomewhere = false;
    Interval values[kValueStackLimit + 1];
    for (int j = 0; j < k; ++j) {
      const Interval& im = v[j].im;
      if (!IsRealValued(v[j])) {
        const bool zeroOutside = IntervalIsWrapped(im) ? (im.lo > 0 && im.hi < 0) : (im.lo > 0 || im.hi < 0);
        if (zeroOutside) return Truth(kTruthFalse);
        offAxisSomewhere = true;
      }
      values[j] = v[j].re;
    }
    const Interval onAxis = IntervalMachine::Chain(op, values, k);
    return Truth(offAxisSomewhere ? IntervalMachine::And(onAxis, kTruthUndecided) : onAxis);
  }
  static CI And(const CI& a, const CI& b) { return Truth(IntervalMachine::And(a.re, b.re)); }
  static CI Or(const CI& a, const CI& b) { return Truth(IntervalMachine::Or(a.re, b.re)); }
  static CI RationalPower(const CI& x, const CI& p, const CI& q) { return Power(x, Divide(p, q)); }
  static CI BesselJ(const CI& a, const CI& b) { return Apply2(ComplexIntervalBesselJ, b, a); }
  static CI Floor(const CI& b) { return Apply(ComplexIntervalFloor, b); }
  static CI Ceil(const CI& b) { return Apply(ComplexIntervalCeil, b); }
  // As the interval kind's: the value where the condition may be true, which needs a point on the
  // real axis.
  static CI If(const CI& value, const CI& condition) {
    if (!IntervalHolds(condition.im, 0.0) || !IntervalHolds(condition.re, 1.0)) return Undefined();
    if (!IsTrue(condition)) IntervalMarkPartialDomain();
    return value;
  }
  // A condition off the real axis is no truth value at some points and may be one at others.
  static Interval TruthOf(const CI& condition) {
    return IsRealValued(condition) ? IntervalMachine::TruthOf(condition.re) : kTruthUndecided;
  }
  static CI Hull(const CI& a, const CI& b) {
    if (IsUndefined(a) || IsUndefined(b)) return Undefined();
    return CI{IntervalMachine::Hull(a.re, b.re), IntervalMachine::Hull(a.im, b.im)};
  }
  static CI WholeLine() { return CI{kWholeLine, kWholeLine}; }
  static CI RealPart(const CI& b) { return CI{b.re, {0.0, 0.0}}; }
  static CI ImagPart(const CI& b) { return CI{b.im, {0.0, 0.0}}; }
  static CI Arg(const CI& b) { return Apply(ComplexIntervalArg, b); }
  static CI ImaginaryUnit() { return CI{{0.0, 0.0}, {1.0, 1.0}}; }
  static CI Mod(const CI& a, const CI& b) { return Apply2(ComplexIntervalMod, a, b); }
  static CI Min(const CI& a, const CI& b) { return Apply2(ComplexIntervalMin, a, b); }
  static CI Max(const CI& a, const CI& b) { return Apply2(ComplexIntervalMax, a, b); }
  // An interval machine's loop test on the real parts; off the real axis a point stops, so a
  // part that is not exactly [0, 0] leaves the test undecided at best.
  static Interval OnRealParts(Interval (*test)(const EvalCell&, const EvalCell&), const EvalCell& index,
                              const EvalCell& bound) {
    if (IsUndefined(index.complexInterval) || IsUndefined(bound.complexInterval)) return kUndefinedInterval;
    EvalCell i, b;
    i.interval = index.complexInterval.re;
    b.interval = bound.complexInterval.re;
    const Interval onReals = test(i, b);
    const bool real = IsRealValued(index.complexInterval) && IsRealValued(bound.complexInterval);
    return real ? onReals : IntervalMachine::And(onReals, kTruthUndecided);
  }
  static Interval LoopTruth(const EvalCell& index, const EvalCell& bound) {
    return OnRealParts(IntervalMachine::LoopTruth, index, bound);
  }
  static Interval TooWideTruth(const EvalCell& index, const EvalCell& bound) {
    return OnRealParts(IntervalMachine::TooWideTruth, index, bound);
  }
  static void Increment(EvalCell& cell) {
    const CI old = cell.complexInterval;
    const CI next = Add(old, Constant(1.0));
    const bool stalled = next.re.lo == old.re.lo && next.re.hi == old.re.hi;
    cell.complexInterval = stalled ? Undefined() : next;
  }
  static CI Finish(const CI& top) { return CI{IntervalMachine::Finish(top.re), IntervalMachine::Finish(top.im)}; }
};
