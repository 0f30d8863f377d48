// The four point-by-point stack machines (one templated core over machine_kinds.h) and binding
// values. Invariants: only verified codes run; at most 199 values below the held-apart top; after
// every instruction but OpLoopBack an undefined top is made canonical and ends the run unless the
// code has conditionals or the prologue runs; enclosure kinds keep every outcome a point of the
// box may take; nothing is allocated while a program runs, except a binding's private slots; a
// run gives up with no value (GiveUpOnLoops) before the work of its nested sums passes the work
// limit, and takes a turn (EvaluationTurn) at its start and about every kEvaluationTurnWork
// instructions of loop work.
#include "kernel/eval/interpreter.h"

// Keep one indirect jump per handler: the global CSE and cross-jumping passes would merge them
// back into one shared, badly predicted jump.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("no-gcse", "no-crossjumping")
#endif

#include <cmath>
#include <limits>

#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/evaluation_budget.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/eval/machine_kinds.h"
#include "kernel/memory/memory_budget.h"

namespace {

// The loop work of a run: each body run adds the body's length, less that of the sums inside it
// (each entry takes back one run of the entered body), so a unit is an instruction run; a sum alone
// gives its work back when it ends, so only nested sums count against the limit. The hot loop keeps
// only the count down to the next look (`untilLook`, a register); the rest lives here, touched at
// a look, at the entry and end of a sum alone. Work so far = done + span - untilLook.
struct LoopWork {
  int64_t done = 0;       // at the last look
  int64_t span;           // from the last look to the next: a turn, or the limit if nearer
  int64_t aloneMark = 0;  // the work when the running sum alone began
  int64_t limit;

  explicit LoopWork(int64_t workLimit) : span(Next(0, workLimit)), limit(workLimit) {}
  static int64_t Next(int64_t work, int64_t limit) {
    return limit - work < kEvaluationTurnWork ? limit - work : kEvaluationTurnWork;
  }
  int64_t Now(int64_t untilLook) const { return done + span - untilLook; }
  // A sum alone begins: its work is given back when it ends (BackToMark), and the next look comes
  // as if the sum had not run (the limit's distance measured from the mark again).
  void MarkAlone(int64_t untilLook) { aloneMark = Now(untilLook); }
  int64_t BackToMark() {
    done = aloneMark;
    span = Next(aloneMark, limit);
    return span;
  }
  // The count ran out at the test `test`: past the limit a nested sum gives up (false), a sum alone
  // gives its work back; then a turn, and the count down to the next look.
  bool Look(const BytecodeInstruction* test, int64_t* untilLook) {
    const bool alone = test->dispatch == kDispatchLoopTestAlone;
    int64_t work = Now(*untilLook);
    if (work > limit) {
      if (!alone) return false;
      work = aloneMark;
    }
    EvaluationTurn();
    done = work;
    span = alone ? kEvaluationTurnWork : Next(work, limit);  // no limit inside a sum alone
    *untilLook = span;
    return true;
  }
};

// What an enclosure machine remembers of one running bounded sum: how often its body ran and the
// hull of the values the sum has at the tests where some point of the box may stop.
template <class V>
struct LoopFrame {
  V stops;
  int32_t runs;
  bool mayHaveStopped;
};

// The templated core. M supplies the value kind and its operations. Dispatch is threaded: each
// handler ends with its own indirect jump (labels as values), so that the processor predicts the
// next handler from the current one instead of from one shared jump.
template <class M, bool kCheckDepth>
typename M::Value RunCore(const CompiledCode* code, EvalCell* slots, const EvalContext* context,
                          int32_t slotCapacity) {
  using V = typename M::Value;
  if (code == nullptr || slots == nullptr || slotCapacity < code->slotCount) {
    PostError(kErrorOutOfMemory);
    return M::Undefined();
  }
  // The check ResolveJumpLabels recorded stands for every range the handlers rely on.
  if (!code->verified) return M::Undefined();
  if (GivesUpAtOnce(code)) return GiveUpOnLoops<M>(code, false);
  NoteRunStart(code->count);
  int32_t bindingCount = 0;
  const Complex* bindings = BindingValuesOf(code, &bindingCount);
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
      &&op_LoadSlotLoadSlotAdd, &&op_LoadSlotLoadSlotMultiply, &&op_AddLoopIncrement, &&op_LoopIncrementBack,
      &&op_LoopTestAlone};
  static_assert(sizeof kHandlers / sizeof kHandlers[0] == kDispatchCount, "one handler per dispatch code");
  V stack[kValueStackLimit + 1];
  V top = M::Undefined();
  int sp = 0;
  // Running sums, innermost last (enclosure kinds only; verified codes nest at most 64).
  [[maybe_unused]] LoopFrame<V> loops[M::kEncloses ? kMaxLoopNesting : 1];
  [[maybe_unused]] int loopCount = 0;
  // The loop work (LoopWork), and whether some point of the box may have left a sum before the
  // others (enclosure kinds).
  LoopWork work(EvaluationWorkLimit());
  int64_t untilLook = work.span;
  [[maybe_unused]] bool someStopped = false;
  const BytecodeInstruction* ins = code->instructions;
  const bool keepGoing = code->hasConditionals != 0;
  const BytecodeInstruction* const prologueEnd = ins + code->prologueLength;
  const BytecodeInstruction* ip = ins;  // the instruction being run

#define QV_DISPATCH() goto* kHandlers[ip->dispatch]
// After an instruction: canonical undefined top (ending the run unless the code has
// conditionals or the instruction belongs to the prologue), then the next handler. The defined
// top is the path laid out straight.
#define QV_NEXT()                                                  \
  do {                                                             \
    ++ip;                                                          \
    if (M::IsUndefined(top)) [[unlikely]] {                        \
      top = M::Undefined();                                        \
      if (!keepGoing && ip > prologueEnd) return M::Undefined();   \
    }                                                              \
    QV_DISPATCH();                                                 \
  } while (0)
// A push: the old top goes below; the 199th value below the top is an overflow.
#define QV_PUSH(value)                  \
  do {                                  \
    if (kCheckDepth && sp + 1 >= kValueStackLimit) { \
      PostError(kErrorOutOfMemory);     \
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
op_LoopIncrementBack:
  M::Increment(slots[ip->i.k]);
  ++ip;              // the back jump,
  ip -= ip->i.jump;  // which lands on the test
  goto loop_test;

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
  Complex value{kUndefinedReal, kUndefinedReal};
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
  if constexpr (M::kEncloses) {
    top = EnclosureBranch<M>(&stack[sp + 1 - 2 * k], k);
  } else {
    top = PointBranch<M>(&stack[sp + 1 - 2 * k], k);
  }
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
// A test reached from above enters its sum; one reached by the back jump repeats it. Leaving
// jumps to the OpLoopBack, past which the run goes on.
op_LoopTestAlone:
  work.MarkAlone(untilLook);  // and on into the entry of every sum
op_LoopTest:
  untilLook += ip->i.jump;
  if constexpr (M::kEncloses) {
    const Interval wide = M::TooWideTruth(slots[ip->i.k], slots[ip->i.k + 1]);
    if (IntervalIsExactly(wide, 1.0, 1.0)) return GiveUpOnLoops<M>(code, false);  // at every point of the box
    if (IntervalHolds(wide, 1.0)) IntervalMarkPartialDomain();  // those points have no value
    loops[loopCount++] = LoopFrame<V>{M::Undefined(), 0, false};
  } else {
    if (M::TooWide(slots[ip->i.k], slots[ip->i.k + 1])) return GiveUpOnLoops<M>(code, false);
  }
loop_test : {
  const int32_t k = ip->i.k;
  if constexpr (!M::kEncloses) {
    if (!M::LoopContinues(slots[k], slots[k + 1])) {
      if (ip->dispatch == kDispatchLoopTestAlone) untilLook = work.BackToMark();
      ip += ip->i.jump;
    } else if ((untilLook -= ip->i.jump) < 0) [[unlikely]] {
      if (!work.Look(ip, &untilLook)) return GiveUpOnLoops<M>(code, false);
    }
  } else {
    // Where the test is undecided some points stop here: their sum joins the possible results
    // and the body runs on for the others. Past kMaxLoopRuns no point is left in the sum, so only
    // the whole line is sure to hold what the points gave.
    LoopFrame<V>& loop = loops[loopCount - 1];
    const Interval go = M::LoopTruth(slots[k], slots[k + 1]);
    bool leave = true;
    if (IntervalIsExactly(go, 0.0, 0.0)) {
      if (loop.mayHaveStopped) top = M::Hull(loop.stops, top);
    } else if (IntervalIsUndefined(go)) {
      top = M::Undefined();  // an undefined index or bound: the sum is undefined
    } else {
      if (!IntervalIsExactly(go, 1.0, 1.0)) {
        loop.stops = loop.mayHaveStopped ? M::Hull(loop.stops, top) : top;
        loop.mayHaveStopped = someStopped = true;
      }
      leave = ++loop.runs > kMaxLoopRuns;
      if (leave) {
        top = M::WholeLine();
      } else if ((untilLook -= ip->i.jump) < 0) [[unlikely]] {
        if (!work.Look(ip, &untilLook)) return GiveUpOnLoops<M>(code, someStopped);
      }
    }
    if (leave) {
      if (ip->dispatch == kDispatchLoopTestAlone) untilLook = work.BackToMark();
      --loopCount;
      ip += ip->i.jump;
    }
  }
  QV_NEXT();
}
op_LoopIncrement:
  M::Increment(slots[ip->i.k]);
  QV_NEXT();
op_LoopBack:
  ip -= ip->i.jump;  // back to the test, without the checks
  goto loop_test;
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

int32_t CapacityOf(EvalCell* slots, const EvalContext* context) {
  if (context != nullptr && slots == context->table) return context->tableCells;
  if (slots == EvalScratch()) return EvalScratchCapacity();
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

double RunRealCode(const CompiledCode* code) { return InterpretRealCode(code, EvalScratch(), nullptr); }
void RunComplexCode(Complex* out, const CompiledCode* code) { InterpretComplexCode(out, code, EvalScratch(), nullptr); }
void RunIntervalCode(Interval* out, const CompiledCode* code) { InterpretIntervalCode(out, code, EvalScratch(), nullptr); }
void RunComplexIntervalCode(ComplexInterval* out, const CompiledCode* code) {
  InterpretComplexIntervalCode(out, code, EvalScratch(), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Bindings.

const Complex* EnsureBindingsCompiled(CompiledFunction* function) {
  BindingTable* table = function->bindings;
  if (table == nullptr || table->count == 0) return nullptr;
  if (!function->bindingsEvaluated) {
    const uint64_t gaveUp = EvaluationsPastWorkLimit();
    for (int32_t k = 0; k < table->count; ++k) EvaluateBindingValue(function, k, function->complex != 0);
    table->gaveUp = EvaluationsPastWorkLimit() != gaveUp;
    function->bindingsEvaluated = 1;
  }
  return table->values;
}

const Complex* BindingValuesOf(const CompiledCode* code, int32_t* count) {
  *count = 0;
  CompiledFunction* owner = code->owner;
  if (owner == nullptr || owner->bindings == nullptr || owner->bindings->count == 0) return nullptr;
  const Complex* values = owner->bindingsEvaluated ? owner->bindings->values : EnsureBindingsCompiled(owner);
  if (values != nullptr) *count = owner->bindings->count;
  // A constant part that gave up is NaN in every run, and each run says so again.
  if (owner->bindings->gaveUp) NoteEvaluationPastWorkLimit();
  return values;
}

void EvaluateBindingValue(CompiledFunction* function, int32_t k, bool complex) {
  BindingTable* table = function->bindings;
  if (table == nullptr || k < 0 || k >= table->count) return;
  Complex& value = table->values[k];
  value = Complex{kUndefinedReal, kUndefinedReal};
  const CompiledCode* code = table->entries[k].code;
  if (code == nullptr) return;
  int32_t cells = EvalScratchCapacity();
  if (cells < code->slotCount) cells = code->slotCount;
  if (cells < kFixedSlotCount) cells = kFixedSlotCount;
  const CountedBlock<EvalCell> block(static_cast<size_t>(cells), true);
  EvalCell* slots = block.get();
  if (slots == nullptr) {
    PostError(kErrorOutOfMemory);
    return;
  }
  if (complex) {
    slots[kSlotParameter].complex = Complex{ParameterValue(), 0.0};
    InterpretComplexCode(&value, code, slots, nullptr);
  } else {
    slots[kSlotParameter].real = ParameterValue();
    value = Complex{RunMachine<RealMachine>(code, slots, nullptr, cells), 0.0};
  }
}
