// The four stack machines: one templated core, one traits record per value kind.
// Invariants: the top of the stack is held apart with at most 199 values below it; after every
// instruction but OpLoopBack an undefined top is made canonical and ends the run unless the code
// has conditionals (or the instruction belongs to the derived-coordinate prologue); nothing is
// allocated while a program runs, except the private slots of a binding evaluation.
#include "kernel/eval/interpreter.h"

// Keep one indirect jump per handler: the global CSE and cross-jumping passes would merge them
// back into one shared, badly predicted jump.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("no-gcse", "no-crossjumping")
#endif

#include <cmath>
#include <cstring>
#include <limits>

#include "kernel/eval/bytecode_compiler.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/numeric/elementary_functions.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/numeric/special_functions.h"
#include "kernel/numeric/value_of.h"

namespace {

constexpr double kNaN = kUndefinedReal;
constexpr int kErrorMemory = 7;

// The evaluation scratch: one process-wide record, reset by FreeEvalScratch.
struct ScratchState {
  EvalCell* cells = nullptr;
  int32_t capacity = 0;
};
ScratchState gScratch;

// The templated core. M supplies the value kind and its operations. Dispatch is threaded: each
// handler ends with its own indirect jump (labels as values), so that the processor predicts the
// next handler from the current one instead of from one shared jump.
template <class M, bool kCheckDepth>
typename M::Value RunCore(const CompiledCode* code, EvalCell* slots, const EvalContext* context,
                          int32_t slotCapacity) {
  using V = typename M::Value;
  if (code == nullptr || code->instructions == nullptr || code->count <= 0 || slots == nullptr ||
      slotCapacity < code->slotCount) {
    PostError(kErrorMemory);
    return M::Undefined();
  }
  // A program runs until its OpEnd; one that does not end with it is not run at all.
  if (code->instructions[code->count - 1].op != OpEnd) return M::Undefined();
  const Complex* bindings = nullptr;
  int32_t bindingCount = 0;
  if (CompiledFunction* owner = code->owner; owner != nullptr && owner->bindings != nullptr &&
                                             owner->bindings->count > 0) {
    bindings = owner->bindingsEvaluated ? owner->bindings->values : EnsureBindingsCompiled(owner);
    if (bindings != nullptr) bindingCount = owner->bindings->count;
  }
  static void* const kHandlers[kDispatchCount] = {
      &&op_PushConstant, &&op_LoadSlot, &&op_PushDefinedName, &&op_StoreSlot, &&op_Swap,
      &&op_PushColumnValue, &&op_PushRowValue, &&op_PushBinding, &&op_Add, &&op_Nothing,
      &&op_Multiply, &&op_Divide, &&op_Power, &&op_Atan2Positive, &&op_Hypot,
      &&op_MakeInterval, &&op_Negate, &&op_Abs, &&op_Sign, &&op_Sqrt,
      &&op_Exp, &&op_Log10, &&op_Ln, &&op_Factorial, &&op_Square,
      &&op_Sin, &&op_Cos, &&op_Tan, &&op_Cot, &&op_Csc, &&op_Sec,
      &&op_Asin, &&op_Acos, &&op_Atan, &&op_Acot, &&op_Acsc, &&op_Asec,
      &&op_Sinh, &&op_Cosh, &&op_Tanh, &&op_Coth, &&op_Csch, &&op_Sech,
      &&op_Asinh, &&op_Acosh, &&op_Atanh, &&op_Acoth, &&op_Acsch, &&op_Asech,
      &&op_Chain, &&op_Chain, &&op_Chain, &&op_Chain, &&op_Chain,
      &&op_And, &&op_Or, &&op_RationalPower, &&op_BesselJ, &&op_Floor,
      &&op_Ceil, &&op_If, &&op_Branch, &&op_RealPart, &&op_ImagPart,
      &&op_Arg, &&op_PushI, &&op_Mod, &&op_Min, &&op_Max,
      &&op_Clamp, &&op_Abort, &&op_StorePop, &&op_LoopTest, &&op_LoopIncrement,
      &&op_LoopBack, &&op_End, &&op_Nothing /* every opcode above 75 */,
      &&op_LoadSlotAdd, &&op_LoadSlotMultiply, &&op_LoadSlotDivide,
      &&op_PushConstantAdd, &&op_PushConstantMultiply, &&op_PushConstantDivide,
      &&op_LoadSlotSin, &&op_LoadSlotCos, &&op_LoadSlotSquare, &&op_LoadSlotExp,
      &&op_LoadSlotLoadSlotAdd, &&op_LoadSlotLoadSlotMultiply, &&op_AddLoopIncrement, &&op_LoopIncrementBack};
  static_assert(sizeof kHandlers / sizeof kHandlers[0] == kDispatchCount, "one handler per dispatch code");
  V stack[kValueStackLimit + 1];
  V top = M::Undefined();
  int sp = 0;
  const BytecodeInstruction* ins = code->instructions;
  const bool keepGoing = code->hasConditionals != 0;
  const BytecodeInstruction* const prologueEnd = ins + code->prologueLength;
  const BytecodeInstruction* ip = ins;  // the instruction being run

#define QV_DISPATCH() goto* kHandlers[ip->dispatch]
// After an instruction: canonical undefined top (ending the run unless the code has
// conditionals or the instruction belongs to the prologue), then the next handler.
#define QV_NEXT()                                                 \
  do {                                                            \
    ++ip;                                                         \
    if (M::IsUndefined(top)) {                                    \
      top = M::Undefined();                                       \
      if (!keepGoing && ip > prologueEnd) return M::Undefined();     \
    }                                                             \
    QV_DISPATCH();                                                \
  } while (0)
// A push: the old top goes below; the 199th value below the top is an overflow.
#define QV_PUSH(value)                  \
  do {                                  \
    if (kCheckDepth && sp + 1 >= kValueStackLimit) { \
      PostError(kErrorMemory);          \
      return M::Undefined();            \
    }                                   \
    stack[sp++] = top;                  \
    top = (value);                      \
  } while (0)
#define QV_UNARY(name) \
  op_##name:           \
  top = M::name(top);  \
  QV_NEXT();
#define QV_BINARY(name)            \
  op_##name:                       \
  top = M::name(stack[--sp], top); \
  QV_NEXT();

  QV_DISPATCH();

// Combined pairs (chosen by ResolveJumpLabels): an operand pushed and consumed at once by the
// next instruction, a sum's accumulation followed by its increment, an increment followed by the
// back jump and the loop test. Each gives exactly the two instructions' results; when the pushed
// value is undefined or the push would overflow, the first instruction runs alone instead.
#define QV_PUSH_THEN_BINARY(name, load, alone)              \
  {                                                         \
    const V value = (load);                                 \
    if (M::IsUndefined(value) || (kCheckDepth && sp + 1 >= kValueStackLimit)) goto alone; \
    top = M::name(top, value);                              \
    ++ip;                                                   \
    QV_NEXT();                                              \
  }
#define QV_LOAD_THEN_UNARY(name)                                            \
  {                                                                         \
    const V value = M::Load(slots[ip->i.k]);                            \
    if (M::IsUndefined(value) || (kCheckDepth && sp + 1 >= kValueStackLimit)) goto op_LoadSlot; \
    stack[sp++] = top;                                                      \
    top = M::name(value);                                                   \
    ++ip;                                                                   \
    QV_NEXT();                                                              \
  }

op_LoadSlotAdd:
  QV_PUSH_THEN_BINARY(Add, M::Load(slots[ip->i.k]), op_LoadSlot)
op_LoadSlotMultiply:
  QV_PUSH_THEN_BINARY(Multiply, M::Load(slots[ip->i.k]), op_LoadSlot)
op_LoadSlotDivide:
  QV_PUSH_THEN_BINARY(Divide, M::Load(slots[ip->i.k]), op_LoadSlot)
op_PushConstantAdd:
  QV_PUSH_THEN_BINARY(Add, M::Constant(ip->c), op_PushConstant)
op_PushConstantMultiply:
  QV_PUSH_THEN_BINARY(Multiply, M::Constant(ip->c), op_PushConstant)
op_PushConstantDivide:
  QV_PUSH_THEN_BINARY(Divide, M::Constant(ip->c), op_PushConstant)
op_LoadSlotSin:
  QV_LOAD_THEN_UNARY(Sin)
op_LoadSlotCos:
  QV_LOAD_THEN_UNARY(Cos)
op_LoadSlotSquare:
  QV_LOAD_THEN_UNARY(Square)
op_LoadSlotExp:
  QV_LOAD_THEN_UNARY(Exp)
// Two slots pushed, then combined: one push of the result.
#define QV_TWO_SLOTS_THEN_BINARY(name)                                                              \
  {                                                                                                 \
    const V a = M::Load(slots[ip->i.k]);                                                            \
    const V b = M::Load(slots[ip[1].i.k]);                                                          \
    if (M::IsUndefined(a) || M::IsUndefined(b) || (kCheckDepth && sp + 2 >= kValueStackLimit)) {   \
      goto op_LoadSlot;                                                                             \
    }                                                                                               \
    stack[sp++] = top;                                                                              \
    top = M::name(a, b);                                                                            \
    ip += 2;                                                                                        \
    QV_NEXT();                                                                                      \
  }
op_LoadSlotLoadSlotAdd:
  QV_TWO_SLOTS_THEN_BINARY(Add)
op_LoadSlotLoadSlotMultiply:
  QV_TWO_SLOTS_THEN_BINARY(Multiply)
op_AddLoopIncrement:
  top = M::Add(stack[--sp], top);
  if (M::IsUndefined(top)) QV_NEXT();
  ++ip;
  QV_DISPATCH();  // the increment (itself possibly combined with the back jump)
op_LoopIncrementBack : {
  const int32_t k = ip->i.k;
  M::Increment(slots[k]);
  // The back jump lands on the test, which then continues into the body or leaves the loop.
  ip = M::LoopContinues(slots[k], slots[k + 1]) ? ip + 1 - ip[1].i.jump : ip + 1;
  QV_NEXT();
}

op_Add:
  top = M::Add(stack[--sp], top);
  QV_NEXT();
op_PushConstant:
  QV_PUSH(M::Constant(ip->c));
  QV_NEXT();
op_LoadSlot:
  QV_PUSH(M::Load(slots[ip->i.k]));
  QV_NEXT();
op_PushDefinedName : {
  Complex value{kNaN, kNaN};
  LookUpDefinedValue(&value, ip->i.k);
  QV_PUSH(M::FromDefined(value));
  QV_NEXT();
}
op_StoreSlot:
  M::Store(slots[ip->i.k], top);
  QV_NEXT();
op_Swap : {
  V t = stack[sp - 1];
  stack[sp - 1] = top;
  top = t;
  QV_NEXT();
}
op_PushColumnValue:
op_PushRowValue : {
  V value = M::Undefined();
  if (context != nullptr && context->table != nullptr) {
    const int32_t k = ip->i.k;
    int64_t entry;
    if (ip->op == OpPushColumnValue) {
      entry = static_cast<int64_t>(context->slotCount) + static_cast<int64_t>(k) * context->nx + context->column;
    } else {
      entry = static_cast<int64_t>(context->slotCount) + static_cast<int64_t>(context->uCount) * context->nx +
              static_cast<int64_t>(k) * context->ny + context->row;
    }
    if (entry >= 0 && entry < context->tableCells) value = M::Load(context->table[entry]);
  }
  QV_PUSH(value);
  QV_NEXT();
}
op_PushBinding : {
  const int32_t k = ip->i.k;
  QV_PUSH((k >= 0 && k < bindingCount) ? M::FromBinding(bindings[k]) : M::Undefined());
  QV_NEXT();
}
op_Nothing:
  QV_NEXT();
  QV_BINARY(Multiply)
  QV_BINARY(Divide)
  QV_BINARY(Power)
  QV_BINARY(Atan2Positive)
  QV_BINARY(Hypot)
  QV_BINARY(MakeInterval)
  QV_UNARY(Negate)
  QV_UNARY(Abs)
  QV_UNARY(Sign)
  QV_UNARY(Sqrt)
  QV_UNARY(Exp)
  QV_UNARY(Log10)
  QV_UNARY(Ln)
  QV_UNARY(Factorial)
  QV_UNARY(Square)
  QV_UNARY(Sin)
  QV_UNARY(Cos)
  QV_UNARY(Tan)
  QV_UNARY(Cot)
  QV_UNARY(Csc)
  QV_UNARY(Sec)
  QV_UNARY(Asin)
  QV_UNARY(Acos)
  QV_UNARY(Atan)
  QV_UNARY(Acot)
  QV_UNARY(Acsc)
  QV_UNARY(Asec)
  QV_UNARY(Sinh)
  QV_UNARY(Cosh)
  QV_UNARY(Tanh)
  QV_UNARY(Coth)
  QV_UNARY(Csch)
  QV_UNARY(Sech)
  QV_UNARY(Asinh)
  QV_UNARY(Acosh)
  QV_UNARY(Atanh)
  QV_UNARY(Acoth)
  QV_UNARY(Acsch)
  QV_UNARY(Asech)
op_Chain : {
  const int k = ip->i.k;
  stack[sp] = top;
  top = M::Chain(ip->op, &stack[sp + 1 - k], k);
  sp -= k - 1;
  QV_NEXT();
}
  QV_BINARY(And)
  QV_BINARY(Or)
op_RationalPower:
  top = M::RationalPower(stack[sp - 2], stack[sp - 1], top);
  sp -= 2;
  QV_NEXT();
  QV_BINARY(BesselJ)
  QV_UNARY(Floor)
  QV_UNARY(Ceil)
  QV_BINARY(If)
op_Branch : {
  const int k = ip->i.k;
  stack[sp] = top;
  top = M::Branch(&stack[sp + 1 - 2 * k], k);
  sp -= 2 * k - 1;
  QV_NEXT();
}
  QV_UNARY(RealPart)
  QV_UNARY(ImagPart)
  QV_UNARY(Arg)
op_PushI:
  QV_PUSH(M::ImaginaryUnit());
  QV_NEXT();
  QV_BINARY(Mod)
  QV_BINARY(Min)
  QV_BINARY(Max)
op_Clamp:
  top = M::Max(stack[sp - 1], M::Min(stack[sp - 2], top));
  sp -= 2;
  QV_NEXT();
op_Abort:
  return M::Undefined();
op_StorePop:
  M::Store(slots[ip->i.k], top);
  top = stack[--sp];
  QV_NEXT();
op_LoopTest:
  if (!M::LoopContinues(slots[ip->i.k], slots[ip->i.k + 1])) {
    if (ip->i.jump < 1) return M::Undefined();  // unresolved: no back jump to leave by
    ip += ip->i.jump;
  }
  QV_NEXT();
op_LoopIncrement:
  M::Increment(slots[ip->i.k]);
  QV_NEXT();
op_LoopBack:
  if (ip->i.jump < 1 || ip->i.jump > ip - ins) return M::Undefined();
  ip -= ip->i.jump;  // back to the test, without the checks
  QV_DISPATCH();
op_End:
  return M::Finish(top);

#undef QV_PUSH_THEN_BINARY
#undef QV_TWO_SLOTS_THEN_BINARY
#undef QV_LOAD_THEN_UNARY
#undef QV_BINARY
#undef QV_UNARY
#undef QV_PUSH
#undef QV_NEXT
#undef QV_DISPATCH
}

// A program whose depth is known to stay below the limit runs without the depth checks; any
// other (a deep one, or a hand-built one) runs with them.
template <class M>
typename M::Value RunMachine(const CompiledCode* code, EvalCell* slots, const EvalContext* context,
                             int32_t slotCapacity) {
  if (code != nullptr && code->maxDepth >= 0 && code->maxDepth < kValueStackLimit) {
    return RunCore<M, false>(code, slots, context, slotCapacity);
  }
  return RunCore<M, true>(code, slots, context, slotCapacity);
}

// ---------------------------------------------------------------------------------------------
// The real machine.

struct RealMachine {
  using Value = double;
  static double Undefined() { return kNaN; }
  static bool IsUndefined(double v) { return v != v; }
  static double Constant(double c) { return c; }
  static double Load(const EvalCell& cell) { return cell.real; }
  static void Store(EvalCell& cell, double v) { cell.real = v; }
  static double FromDefined(const Complex& z) { return z.im == 0 ? z.re : kNaN; }
  static double FromBinding(const Complex& z) { return z.re; }
  static double Add(double a, double b) { return a + b; }
  static double Multiply(double a, double b) { return a * b; }
  static double Divide(double a, double b) { return a / b; }
  static double Power(double a, double b) { return std::pow(a, b); }
  static double Atan2Positive(double a, double b) {
    double t = std::atan2(b, a);
    return t < 0 ? t + 2 * kPi : t;
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
  static double If(double value, double condition) { return condition == 1.0 ? value : kNaN; }
  // Clauses from the last: the first clause in written order whose condition is 1 wins.
  static double Branch(const double* pairs, int k) {
    double result = kNaN;
    bool found = false;
    for (int j = k - 1; j >= 0; --j) {
      const double value = pairs[2 * j];
      double condition = pairs[2 * j + 1];
      if (condition != condition) condition = 0.0;
      if (condition == 0.0) continue;
      result = (!found || condition == 1.0) ? value : kNaN;
      found = found || condition == 1.0;
    }
    return result;
  }
  static double RealPart(double b) { return b; }
  static double ImagPart(double b) { return b != b ? b : 0.0; }
  // The angle of a real number: pi for a negative one.
  static double Arg(double b) { return b != b ? b : (b < 0 ? kPi : 0.0); }
  static double ImaginaryUnit() { return kNaN; }
  static double Mod(double a, double b) { return FlooredMod(a, b); }
  // An undefined operand gives undefined whichever side it is on (the plain rule would let
  // min(NaN, 3) be 3 but min(3, NaN) NaN), as in the other three machines.
  static double Min(double a, double b) { return a != a ? a : (b >= a ? a : b); }
  static double Max(double a, double b) { return a != a ? a : (b <= a ? a : b); }
  static bool LoopContinues(const EvalCell& index, const EvalCell& bound) {
    return index.real <= bound.real && bound.real - index.real <= kMaxLoopSpan;
  }
  static void Increment(EvalCell& cell) {
    const double old = cell.real;
    const double next = old + 1.0;
    cell.real = next == old ? kNaN : next;
  }
  static double Finish(double top) { return top; }
};


// ---------------------------------------------------------------------------------------------
// The complex machine. Real-only operations give the undefined value off the real axis.

struct ComplexMachine {
  using Value = Complex;
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
  static Complex Branch(const Complex* pairs, int k) {
    Complex result = Undefined();
    bool found = false;
    for (int j = k - 1; j >= 0; --j) {
      const Complex& value = pairs[2 * j];
      const Complex& condition = pairs[2 * j + 1];
      if (IsUndefined(condition) || IsFalse(condition)) continue;
      result = (!found || IsTrue(condition)) ? value : Undefined();
      found = found || IsTrue(condition);
    }
    return result;
  }
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
  static Interval Add(const Interval& a, const Interval& b) { return Apply2(IntervalAdd, a, b); }
  static Interval Multiply(const Interval& a, const Interval& b) { return Apply2(IntervalMultiply, a, b); }
  static Interval Divide(const Interval& a, const Interval& b) { return Apply2(IntervalDivide, a, b); }
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
  static Interval Square(const Interval& b) { return Apply(IntervalSquare, b); }
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
  // holds wherever there are values does not hold everywhere: true becomes undecided.
  static Interval Chain(uint32_t op, const Interval* v, int k) {
    const Op2 compare = Comparison(op);
    Interval truth{1.0, 1.0};
    for (int j = 0; j + 1 < k; ++j) truth = Apply2(IntervalTruthAnd, truth, Apply2(compare, v[j], v[j + 1]));
    return Is(truth, 1.0) && IntervalPartialDomainSeen() ? Interval{0.0, 1.0} : truth;
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
  static Interval If(const Interval& value, const Interval& condition) { return Is(condition, 1.0) ? value : Undefined(); }
  // An undecided clause widens the result to cover every clause that may apply. A condition that
  // is undefined over the box counts as false, so a clause whose condition is undefined on part of
  // the box only is missed there (a known containment loss, like the loop's first undecided test).
  static Interval Branch(const Interval* pairs, int k) {
    Interval result = Undefined();
    Interval found{0.0, 0.0};
    for (int j = k - 1; j >= 0; --j) {
      const Interval& value = pairs[2 * j];
      Interval condition = pairs[2 * j + 1];
      if (IsUndefined(condition)) condition = Interval{0.0, 0.0};
      if (Is(condition, 0.0)) continue;
      if (Is(found, 0.0) || Is(condition, 1.0)) {
        result = value;
      } else if (IsUndefined(value)) {
        result = Undefined();  // an undecided clause with no bound on its value: nothing is known
      } else {
        result = Apply2(IntervalHull, result, value);
      }
      found = Apply2(IntervalTruthOr, found, condition);
    }
    return result;
  }
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
  static bool LoopContinues(const EvalCell& index, const EvalCell& bound) {
    const Interval& i = index.interval;
    const Interval& b = bound.interval;
    if (!Is(Apply2(IntervalLessEqual, i, b), 1.0)) return false;
    const Interval span = Add(b, Negate(i));
    return Is(Apply2(IntervalLessEqual, span, Interval{kMaxLoopSpan, kMaxLoopSpan}), 1.0);
  }
  static void Increment(EvalCell& cell) {
    const Interval old = cell.interval;
    const Interval next = Add(old, Interval{1.0, 1.0});
    cell.interval = (next.lo == old.lo && next.hi == old.hi) ? Undefined() : next;
  }
  static Interval Finish(const Interval& top) {
    return top.lo > top.hi ? Interval{-std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()}
                           : top;
  }
};

// ---------------------------------------------------------------------------------------------
// The complex-interval machine: truth values live in the real part with [0, 0] as imaginary part.

struct ComplexIntervalMachine {
  using Value = ComplexInterval;
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
  // A value compares where it is real: an imaginary part without 0 never is, one that only
  // holds 0 is real on part of the box (a partial domain).
  static CI Chain(uint32_t op, const CI* v, int k) {
    for (int j = 0; j < k; ++j) {
      const Interval& im = v[j].im;
      const bool holdsZero = im.lo > im.hi ? (im.lo <= 0.0 || im.hi >= 0.0) : (im.lo <= 0.0 && 0.0 <= im.hi);
      if (!holdsZero) return Truth(Interval{0.0, 0.0});
      if (!IsRealValued(v[j])) IntervalMarkPartialDomain();
    }
    Interval values[kValueStackLimit + 1];
    for (int j = 0; j < k; ++j) values[j] = v[j].re;
    return Truth(IntervalMachine::Chain(op, values, k));
  }
  static CI And(const CI& a, const CI& b) { return Truth(IntervalMachine::And(a.re, b.re)); }
  static CI Or(const CI& a, const CI& b) { return Truth(IntervalMachine::Or(a.re, b.re)); }
  static CI RationalPower(const CI& x, const CI& p, const CI& q) { return Power(x, Divide(p, q)); }
  static CI BesselJ(const CI& a, const CI& b) { return Apply2(ComplexIntervalBesselJ, b, a); }
  static CI Floor(const CI& b) { return Apply(ComplexIntervalFloor, b); }
  static CI Ceil(const CI& b) { return Apply(ComplexIntervalCeil, b); }
  static CI If(const CI& value, const CI& condition) { return IsTrue(condition) ? value : Undefined(); }
  static CI Branch(const CI* pairs, int k) {
    CI result = Undefined();
    Interval found{0.0, 0.0};
    for (int j = k - 1; j >= 0; --j) {
      const CI& value = pairs[2 * j];
      Interval condition = pairs[2 * j + 1].re;
      if (IntervalMachine::IsUndefined(condition) || !IsRealValued(pairs[2 * j + 1])) condition = Interval{0.0, 0.0};
      if (IntervalMachine::Is(condition, 0.0)) continue;
      if (IntervalMachine::Is(found, 0.0) || IntervalMachine::Is(condition, 1.0)) {
        result = value;
      } else if (IsUndefined(value)) {
        result = Undefined();
      } else {
        result = CI{IntervalMachine::Apply2(IntervalHull, result.re, value.re),
                    IntervalMachine::Apply2(IntervalHull, result.im, value.im)};
      }
      found = IntervalMachine::Apply2(IntervalTruthOr, found, condition);
    }
    return result;
  }
  static CI RealPart(const CI& b) { return CI{b.re, {0.0, 0.0}}; }
  static CI ImagPart(const CI& b) { return CI{b.im, {0.0, 0.0}}; }
  static CI Arg(const CI& b) { return Apply(ComplexIntervalArg, b); }
  static CI ImaginaryUnit() { return CI{{0.0, 0.0}, {1.0, 1.0}}; }
  static CI Mod(const CI& a, const CI& b) { return Apply2(ComplexIntervalMod, a, b); }
  static CI Min(const CI& a, const CI& b) { return Apply2(ComplexIntervalMin, a, b); }
  static CI Max(const CI& a, const CI& b) { return Apply2(ComplexIntervalMax, a, b); }
  static bool LoopContinues(const EvalCell& index, const EvalCell& bound) {
    if (!IsRealValued(index.complexInterval) || !IsRealValued(bound.complexInterval)) return false;
    EvalCell i, b;
    i.interval = index.complexInterval.re;
    b.interval = bound.complexInterval.re;
    return IntervalMachine::LoopContinues(i, b);
  }
  static void Increment(EvalCell& cell) {
    const CI old = cell.complexInterval;
    const CI next = Add(old, Constant(1.0));
    const bool stalled = next.re.lo == old.re.lo && next.re.hi == old.re.hi;
    cell.complexInterval = stalled ? Undefined() : next;
  }
  static CI Finish(const CI& top) { return CI{IntervalMachine::Finish(top.re), IntervalMachine::Finish(top.im)}; }
};

int32_t CapacityOf(EvalCell* slots, const EvalContext* context) {
  if (slots == gScratch.cells) return gScratch.capacity;
  if (context != nullptr && slots == context->table) return context->tableCells;
  return std::numeric_limits<int32_t>::max();  // the caller's own array, sized by the caller
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Entry points.

double InterpretRealCode(const CompiledCode* code, EvalCell* slots, const EvalContext* context) {
  return RunMachine<RealMachine>(code, slots, context, CapacityOf(slots, context));
}

void InterpretComplexCode(Complex* out, const CompiledCode* code, EvalCell* slots, const EvalContext* context) {
  *out = RunMachine<ComplexMachine>(code, slots, context, CapacityOf(slots, context));
}

void InterpretIntervalCode(Interval* out, const CompiledCode* code, EvalCell* slots, const EvalContext* context) {
  IntervalResetPartialDomain();
  *out = RunMachine<IntervalMachine>(code, slots, context, CapacityOf(slots, context));
}

void InterpretComplexIntervalCode(ComplexInterval* out, const CompiledCode* code, EvalCell* slots,
                                  const EvalContext* context) {
  IntervalResetPartialDomain();
  *out = RunMachine<ComplexIntervalMachine>(code, slots, context, CapacityOf(slots, context));
}

double RunRealCode(const CompiledCode* code) { return InterpretRealCode(code, gScratch.cells, nullptr); }
void RunComplexCode(Complex* out, const CompiledCode* code) { InterpretComplexCode(out, code, gScratch.cells, nullptr); }
void RunIntervalCode(Interval* out, const CompiledCode* code) { InterpretIntervalCode(out, code, gScratch.cells, nullptr); }
void RunComplexIntervalCode(ComplexInterval* out, const CompiledCode* code) {
  InterpretComplexIntervalCode(out, code, gScratch.cells, nullptr);
}

// ---------------------------------------------------------------------------------------------
// Bindings.

const Complex* EnsureBindingsCompiled(CompiledFunction* function) {
  BindingTable* table = function->bindings;
  if (table == nullptr || table->count == 0) return nullptr;
  for (int32_t k = 0; k < table->count; ++k) {
    if (table->entries[k].code != nullptr) continue;
    CompiledCode* code = NewCompiledCode();
    if (code == nullptr) {
      PostError(kErrorMemory);
      continue;
    }
    CompileExpression(code, table->entries[k].expression, nullptr, true);
    ResolveJumpLabels(code);
    table->entries[k].code = code;
  }
  if (!function->bindingsEvaluated) {
    for (int32_t k = 0; k < table->count; ++k) EvaluateBindingValue(function, k, function->complex != 0);
    function->bindingsEvaluated = 1;
  }
  return table->values;
}

void EvaluateBindingValue(CompiledFunction* function, int32_t k, bool complex) {
  BindingTable* table = function->bindings;
  if (table == nullptr || k < 0 || k >= table->count) return;
  Complex& value = table->values[k];
  value = Complex{kNaN, kNaN};
  const CompiledCode* code = table->entries[k].code;
  if (code == nullptr) return;
  int32_t cells = gScratch.capacity;
  if (cells < code->slotCount) cells = code->slotCount;
  if (cells < kFixedSlotCount) cells = kFixedSlotCount;
  auto* slots = static_cast<EvalCell*>(AllocMemory(static_cast<size_t>(cells) * sizeof(EvalCell)));
  if (slots == nullptr) {
    PostError(kErrorMemory);
    return;
  }
  std::memset(static_cast<void*>(slots), 0, static_cast<size_t>(cells) * sizeof(EvalCell));
  if (complex) {
    slots[kSlotParameter].complex = Complex{ParameterValue(), 0.0};
    InterpretComplexCode(&value, code, slots, nullptr);
  } else {
    slots[kSlotParameter].real = ParameterValue();
    value = Complex{RunMachine<RealMachine>(code, slots, nullptr, cells), 0.0};
  }
  FreeMemory(slots);
}

// ---------------------------------------------------------------------------------------------
// Scratch.

bool EnsureEvalScratch(int32_t n) {
  if (n <= gScratch.capacity) return true;
  auto* cells = static_cast<EvalCell*>(AllocMemory(static_cast<size_t>(n) * sizeof(EvalCell)));
  if (cells == nullptr) return false;
  std::memset(static_cast<void*>(cells), 0, static_cast<size_t>(n) * sizeof(EvalCell));
  if (gScratch.cells != nullptr) {
    std::memcpy(static_cast<void*>(cells), gScratch.cells, static_cast<size_t>(gScratch.capacity) * sizeof(EvalCell));
    FreeMemory(gScratch.cells);
  }
  gScratch.cells = cells;
  gScratch.capacity = n;
  return true;
}

void FreeEvalScratch() {
  FreeMemory(gScratch.cells);
  gScratch = ScratchState{};
}

EvalCell* EvalScratch() { return gScratch.cells; }
int32_t EvalScratchCapacity() { return gScratch.capacity; }
