// The block machines: one templated core over machine_kinds.h; each value shared by the block or
// held point by point in a lane buffer. Invariants: a stack position writes only its own buffer
// (a swap exchanges buffers too) and a store never changes what a stacked value reads; a point's
// undefined value is made canonical, and ends its run where the point machine's ends, before any
// step that could tell; loop control is the same at every point or the block is refused; while a
// comparison may still read it, each box keeps its own partial-domain record, as its point run's;
// loop work is counted as the point machine counts it, so every point gives up where its run would.
#include "kernel/eval/block_interpreter.h"

#include <algorithm>
#include <cstring>

#include "kernel/eval/block_plan.h"
#include "kernel/eval/evaluation_scratch.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/eval/interpreter.h"
#include "kernel/eval/machine_kinds.h"

namespace {

// A value over the block: the same at every point, or one per point in `data`.
template <class V>
struct Lanes {
  const V* data;
  V shared;
  bool varying;
  bool mayBeUndefined;  // some point's value may be undefined (varying values only)
  bool pending;         // made by a deferred step and not yet checked (see Settle)
  bool written;         // slots: to be written back once the block has succeeded
};

template <class V>
Lanes<V> Shared(const V& v) {
  return Lanes<V>{nullptr, v, false, false, false, false};
}

// Steps after which the machines' check of undefined values waits: an undefined operand
// gives an undefined result, so a point that meets one in a run of these steps still has one at
// the next other step, which checks (Settle) before it runs. Pushes and swaps take nothing.
bool DefersCheck(uint32_t op) {
  switch (op) {
    case OpAdd: case OpMultiply: case OpDivide: case OpNegate: case OpAbs: case OpSquare:
    case OpSqrt: case OpExp: case OpLn: case OpSin: case OpCos: case OpTan:
      return true;
    default:
      return false;
  }
}
bool TakesNothing(uint32_t op) {
  return op == OpPushConstant || op == OpLoadSlot || op == OpPushDefinedName || op == OpPushBinding ||
         op == OpPushI || op == OpSwap;
}

// Where the parts of a run live in the block scratch. Lane buffers hold kBlockLanes values of the
// larger kind, so one layout serves both machines.
struct BlockLayout {
  size_t stack, slots, saves, slotLanes, saveLanes, dead, partial, bytes;
};

BlockLayout LayoutFor(int32_t depth, int32_t slots, int32_t saves) {
  const size_t buffer = static_cast<size_t>(kBlockLanes) * sizeof(Interval);
  const size_t lanes = sizeof(Lanes<Interval>);
  BlockLayout l{};
  l.stack = 0;
  l.slots = l.stack + buffer * static_cast<size_t>(depth + 1);
  l.saves = l.slots + buffer * static_cast<size_t>(slots);
  l.slotLanes = l.saves + buffer * static_cast<size_t>(saves);
  l.saveLanes = l.slotLanes + lanes * static_cast<size_t>(slots);
  l.dead = l.saveLanes + lanes * static_cast<size_t>(saves);
  l.partial = l.dead + static_cast<size_t>(kBlockLanes);
  l.bytes = l.partial + static_cast<size_t>(kBlockLanes);
  return l;
}

// A code the block machines may run: verified, planned, and shallow enough that the point
// machine never overflows its stack on it.
bool Runnable(const CompiledCode* code) {
  return code != nullptr && code->verified && code->blockPlan != nullptr &&
         code->blockPlan->count == code->count && code->blockPlan->slotCount == code->slotCount &&
         code->maxDepth >= 0 && code->maxDepth < kValueStackLimit;
}

enum class Step { kGoOn, kAllUndefined, kRefuse };

template <class M>
class BlockMachine {
 public:
  using V = typename M::Value;
  using L = Lanes<V>;

  BlockMachine(void* scratch, const BlockLayout& layout, int32_t lanes, int32_t slotCount)
      : n_(lanes), slotCount_(slotCount) {
    auto* base = static_cast<unsigned char*>(scratch);
    stackBuffers_ = reinterpret_cast<V*>(base + layout.stack);
    slotBuffers_ = reinterpret_cast<V*>(base + layout.slots);
    saveBuffers_ = reinterpret_cast<V*>(base + layout.saves);
    slot_ = reinterpret_cast<L*>(base + layout.slotLanes);
    saved_ = reinterpret_cast<L*>(base + layout.saveLanes);
    dead_ = base + layout.dead;
    partial_ = base + layout.partial;
  }

  // Every slot as the slot array holds it, then the inputs.
  void Begin(const EvalCell* slots, const BlockInput<V>* inputs, int32_t inputCount) {
    for (int32_t k = 0; k < slotCount_; ++k) slot_[k] = Shared(M::Load(slots[k]));
    for (int32_t j = 0; j < inputCount; ++j) {
      const BlockInput<V>& in = inputs[j];
      L& s = slot_[in.slot];
      if (in.values == nullptr) {
        s = Shared(in.shared);
      } else {
        s = L{in.values, V{}, true, AnyUndefined(in.values), false, false};
      }
      s.written = true;
    }
  }

  // The slots as the last point leaves them.
  void WriteBack(EvalCell* slots) const {
    for (int32_t k = 0; k < slotCount_; ++k) {
      const L& s = slot_[k];
      if (s.written) M::Store(slots[k], s.varying ? s.data[n_ - 1] : s.shared);
    }
  }

  // One code over the block into out[0 .. n-1], and with `partial` each point's partial-domain
  // record into partial[0 .. n-1]; false when the block must be left to the point machine.
  bool Run(const CompiledCode* code, V* out, uint8_t* partial) {
    noteAll_ = partial != nullptr;
    if (!RunCode(code, out)) return false;
    for (int32_t i = 0; partial != nullptr && i < n_; ++i) partial[i] = PartialAt(i) ? 1 : 0;
    return true;
  }

 private:
  bool RunCode(const CompiledCode* code, V* out);
  V At(const L& l, int32_t i) const { return l.varying ? l.data[i] : l.shared; }
  V* SlotBuffer(int32_t k) const { return slotBuffers_ + static_cast<size_t>(k) * kBlockLanes; }

  // A result value at stack position `at`, written into its own buffer.
  void SetVarying(int32_t at, bool undefined) { stack_[at] = L{own_[at], V{}, true, undefined, false, false}; }
  void SetShared(int32_t at, const V& v) { stack_[at] = Shared(v); }

  // A word whose top bit is set when v is undefined. For reals: the magnitude's bits above those
  // of infinity make the subtraction wrap, a test the loops below vectorize (v != v keeps them
  // scalar).
  static uint64_t UndefinedSign(const V& v) {
    if constexpr (sizeof(V) == sizeof(uint64_t)) {
      uint64_t bits;
      std::memcpy(&bits, &v, sizeof bits);
      return 0x7FF0000000000000ull - (bits & 0x7FFFFFFFFFFFFFFFull);
    } else {
      return M::IsUndefined(v) ? uint64_t{1} << 63 : 0;
    }
  }

  bool AnyUndefined(const V* __restrict values) const {
    uint64_t bad = 0;
    const int32_t n = n_;
    for (int32_t i = 0; i < n; ++i) bad |= UndefinedSign(values[i]);
    return (bad >> 63) != 0;
  }

  // The loops over the points. The written buffer is never one the loop reads through another
  // pointer (in place it reads through the same one), so the real kind's loops vectorize. With
  // kTest each returns whether some result is undefined; without, false (the check is deferred).
  template <bool kTest, class F>
  bool Map(V* __restrict w, const V* __restrict x, F f) const {
    uint64_t bad = 0;
    const int32_t n = n_;
    for (int32_t i = 0; i < n; ++i) {
      const V r = f(x[i]);
      w[i] = r;
      if constexpr (kTest) bad |= UndefinedSign(r);
    }
    return (bad >> 63) != 0;
  }
  template <bool kTest, class F>
  bool MapInPlace(V* __restrict w, F f) const {
    uint64_t bad = 0;
    const int32_t n = n_;
    for (int32_t i = 0; i < n; ++i) {
      const V r = f(w[i]);
      w[i] = r;
      if constexpr (kTest) bad |= UndefinedSign(r);
    }
    return (bad >> 63) != 0;
  }
  template <bool kTest, class F>
  bool Map2(V* __restrict w, const V* __restrict x, const V* __restrict y, F f) const {
    uint64_t bad = 0;
    const int32_t n = n_;
    for (int32_t i = 0; i < n; ++i) {
      const V r = f(x[i], y[i]);
      w[i] = r;
      if constexpr (kTest) bad |= UndefinedSign(r);
    }
    return (bad >> 63) != 0;
  }
  template <bool kTest, class F>
  bool Map2InPlace(V* __restrict w, const V* __restrict y, F f) const {
    uint64_t bad = 0;
    const int32_t n = n_;
    for (int32_t i = 0; i < n; ++i) {
      const V r = f(w[i], y[i]);
      w[i] = r;
      if constexpr (kTest) bad |= UndefinedSign(r);
    }
    return (bad >> 63) != 0;
  }

  // A varying result: tested now (kTest), or left pending for Settle.
  template <bool kTest>
  void SetResult(int32_t at, bool undefined) {
    SetVarying(at, !kTest || undefined);
    if constexpr (!kTest) {
      stack_[at].pending = true;
      anyPending_ = true;
    }
  }

  template <bool kTest, class F>
  void Unary(F f) {
    if constexpr (M::kEncloses) {
      if (noting_) return UnaryNoting(f);
    }
    const L a = stack_[sp_];
    if (!a.varying) return SetShared(sp_, f(a.shared));
    V* w = own_[sp_];
    SetResult<kTest>(sp_, a.data == w ? MapInPlace<kTest>(w, f) : Map<kTest>(w, a.data, f));
  }

  // a b -> f(a, b). The lower value's buffer is the result's; the top's is never it.
  template <bool kTest, class F>
  void Binary(F f) {
    if constexpr (M::kEncloses) {
      if (noting_) return BinaryNoting(f);
    }
    const L a = stack_[sp_ - 1];
    const L b = stack_[sp_];
    --sp_;
    if (!a.varying && !b.varying) return SetShared(sp_, f(a.shared, b.shared));
    V* w = own_[sp_];
    bool bad;
    if (a.varying && b.varying) {
      bad = a.data == w ? Map2InPlace<kTest>(w, b.data, f) : Map2<kTest>(w, a.data, b.data, f);
    } else if (a.varying) {
      const V u = b.shared;
      const auto g = [&f, u](const V& x) __attribute__((always_inline)) { return f(x, u); };
      bad = a.data == w ? MapInPlace<kTest>(w, g) : Map<kTest>(w, a.data, g);
    } else {
      const V u = a.shared;
      bad = Map<kTest>(w, b.data, [&f, u](const V& y) __attribute__((always_inline)) { return f(u, y); });
    }
    SetResult<kTest>(sp_, bad);
  }

  // Partial domains (interval kinds): while `noting_`, the thread's flag, which the operations
  // raise, is read after each operation at each box (i >= 0) or once for a value the block
  // shares (i < 0), moved into that record and cleared.
  void Note(int32_t i) {
    if constexpr (M::kEncloses) {
      if (!noting_ || !IntervalPartialDomainSeen()) return;
      if (i < 0) {
        sharedPartial_ = true;
      } else {
        partial_[i] = 1;
        anyBoxPartial_ = true;
      }
      IntervalResetPartialDomain();
    } else {
      (void)i;
    }
  }
  bool PartialAt(int32_t i) const { return sharedPartial_ || (i >= 0 && partial_[i] != 0); }

  // Unary and Binary while noting: box after box, each noted.
  template <class F>
  void UnaryNoting(F f) {
    const L a = stack_[sp_];
    if (!a.varying) {
      const V r = f(a.shared);
      Note(-1);
      return SetShared(sp_, r);
    }
    V* w = own_[sp_];
    bool bad = false;
    for (int32_t i = 0; i < n_; ++i) {
      const V r = f(a.data[i]);
      Note(i);
      w[i] = r;
      bad |= M::IsUndefined(r);
    }
    SetVarying(sp_, bad);
  }
  template <class F>
  void BinaryNoting(F f) {
    const L a = stack_[sp_ - 1];
    const L b = stack_[sp_];
    --sp_;
    if (!a.varying && !b.varying) {
      const V r = f(a.shared, b.shared);
      Note(-1);
      return SetShared(sp_, r);
    }
    V* w = own_[sp_];
    bool bad = false;
    for (int32_t i = 0; i < n_; ++i) {
      const V r = f(At(a, i), At(b, i));
      Note(i);
      w[i] = r;
      bad |= M::IsUndefined(r);
    }
    SetVarying(sp_, bad);
  }

  // The top k values, gathered point by point for f(values, i) at box i, which replaces them;
  // f(values, -1) once when every value is shared and not `perBox`.
  template <class F>
  void Gather(int32_t k, F f, bool perBox = false) {
    const int32_t lo = sp_ - k + 1;
    V values[kValueStackLimit + 1];
    bool varying = perBox;
    for (int32_t j = 0; j < k; ++j) varying |= stack_[lo + j].varying;
    sp_ = lo;
    if (!varying) {
      for (int32_t j = 0; j < k; ++j) values[j] = stack_[lo + j].shared;
      const V r = f(values, -1);
      Note(-1);
      return SetShared(lo, r);
    }
    V* w = own_[lo];
    bool bad = false;
    for (int32_t i = 0; i < n_; ++i) {
      for (int32_t j = 0; j < k; ++j) values[j] = At(stack_[lo + j], i);
      const V r = f(values, i);
      Note(i);
      w[i] = r;
      bad |= M::IsUndefined(r);
    }
    SetVarying(lo, bad);
  }

  // A comparison chain over the top k values: at box i with that box's partial-domain record,
  // so box by box once some boxes have one and others not.
  void Chain(uint32_t op, int32_t k) {
    if constexpr (M::kEncloses) {
      Gather(k, [this, op, k](const V* v, int32_t i) { return M::ChainGiven(op, v, k, PartialAt(i)); },
             anyBoxPartial_ && !sharedPartial_);
    } else {
      Gather(k, [op, k](const V* v, int32_t) { return M::Chain(op, v, k); });
    }
  }

  void Push(const L& value) {
    stack_[++sp_] = value;
    stack_[sp_].written = false;
    anyPending_ = anyPending_ || value.pending;
  }

  // Values on the stack that read `buffer` take a copy before it changes.
  void Detach(const V* buffer) {
    for (int32_t p = 1; p <= sp_; ++p) {
      if (stack_[p].varying && stack_[p].data == buffer) {
        std::copy(buffer, buffer + n_, own_[p]);
        stack_[p].data = own_[p];
      }
    }
  }

  void Store(int32_t k) {
    const L& t = stack_[sp_];
    L& s = slot_[k];
    V* buffer = SlotBuffer(k);
    if (!(t.varying && t.data == buffer)) {
      if (s.varying && s.data == buffer) Detach(buffer);
      if (t.varying) {
        std::copy(t.data, t.data + n_, buffer);
        s = L{buffer, V{}, true, t.mayBeUndefined, false, false};
      } else {
        s = Shared(t.shared);
      }
    }
    s.written = true;
  }

  // The kept value of a repeated sub-expression, in a buffer of its own.
  void Save(int32_t m) {
    const L& t = stack_[sp_];
    if (!t.varying) {
      saved_[m] = t;
      return;
    }
    V* buffer = saveBuffers_ + static_cast<size_t>(m) * kBlockLanes;
    std::copy(t.data, t.data + n_, buffer);
    saved_[m] = L{buffer, V{}, true, t.mayBeUndefined, t.pending, false};
  }

  static bool IsCanonical(const V& v) {
    const V undefined = M::Undefined();
    return std::memcmp(&v, &undefined, sizeof v) == 0;
  }

  // The point machine's check of its top after an instruction, for the value at `at`: undefined
  // values made canonical (in a copy when read from elsewhere); where the run ends at an
  // undefined value (`ends`), the points that have one stop here. Only a shared value or one that
  // may hold an undefined value needs it.
  Step Check(int32_t at, bool ends, bool storesAfterPrologue) {
    L& t = stack_[at];
    if (!t.varying) {
      if (!M::IsUndefined(t.shared)) return Step::kGoOn;
      t.shared = M::Undefined();
      return ends ? Step::kAllUndefined : Step::kGoOn;
    }
    if (!t.mayBeUndefined) return Step::kGoOn;
    if (!AnyUndefined(t.data)) {
      t.mayBeUndefined = false;
      return Step::kGoOn;
    }
    V* w = own_[at];
    int32_t stopped = 0;
    for (int32_t i = 0; i < n_; ++i) {
      if (!M::IsUndefined(t.data[i])) continue;
      if (!IsCanonical(t.data[i])) {
        if (t.data != w) {
          std::copy(t.data, t.data + n_, w);
          t.data = w;
        }
        w[i] = M::Undefined();
      }
      if (ends && !dead_[i]) {
        dead_[i] = 1;
        ++stopped;
      }
    }
    if (stopped == 0) return Step::kGoOn;
    if (deadCount_ + stopped == n_) return Step::kAllUndefined;
    // Stores past the prologue would go on at the stopped points and leave other slot values
    // behind than the point machine does.
    if (storesAfterPrologue) return Step::kRefuse;
    deadCount_ += stopped;
    return Step::kGoOn;
  }

  // Checks the values deferred steps left, as those steps would have.
  Step Settle(bool ends, bool storesAfterPrologue) {
    anyPending_ = false;
    for (int32_t p = 1; p <= sp_; ++p) {
      if (!stack_[p].pending) continue;
      stack_[p].pending = false;
      const Step step = Check(p, ends, storesAfterPrologue);
      if (step != Step::kGoOn) return step;
    }
    return Step::kGoOn;
  }

  // The loop test at pc (reached from above when `entering`); moves pc to the back jump when the
  // loop ends. False when the points would not all go the same way.
  bool LoopTest(const BytecodeInstruction* ins, int32_t& pc, bool entering) {
    const int32_t k = ins[pc].i.k;
    const L& index = slot_[k];
    const L& bound = slot_[k + 1];
    if (index.varying || bound.varying) return false;
    EvalCell i{}, b{};
    M::Store(i, index.shared);
    M::Store(b, bound.shared);
    const bool alone = ins[pc].dispatch == kDispatchLoopTestAlone;
    if (entering) {
      if (alone) aloneMark_ = loopWork_;
      loopWork_ -= ins[pc].i.jump;  // as the point machine counts
    }
    if constexpr (!M::kEncloses) {
      if (entering && M::TooWide(i, b)) {
        givenUp_ = true;
      } else if (!M::LoopContinues(i, b)) {
        if (alone) BackToMark();
        pc += ins[pc].i.jump;
      } else {
        AddLoopWork(ins[pc].i.jump, alone);
      }
    } else {
      // The point machine's loop record, without stops: an undecided test refuses the block.
      if (entering) {
        const Interval wide = M::TooWideTruth(i, b);
        if (IntervalIsExactly(wide, 1.0, 1.0)) {
          givenUp_ = true;
          return true;
        }
        if (IntervalHolds(wide, 1.0)) return false;
        loopRuns_[loopCount_++] = 0;
      }
      const Interval go = M::LoopTruth(i, b);
      bool leave = true;
      if (IntervalIsUndefined(go)) {
        SetShared(sp_, M::Undefined());
      } else if (!IntervalIsExactly(go, 0.0, 0.0)) {
        if (!IntervalIsExactly(go, 1.0, 1.0)) return false;
        leave = ++loopRuns_[loopCount_ - 1] > kMaxLoopRuns;
        if (leave) {
          SetShared(sp_, M::WholeLine());
        } else {
          AddLoopWork(ins[pc].i.jump, alone);
        }
      }
      if (leave) {
        if (alone) BackToMark();
        --loopCount_;
        pc += ins[pc].i.jump;
      }
    }
    return true;
  }

  // One more run of a body of `length` instructions for every point. Loop control is the same at
  // every point, so every point passes the work limit together, as its own run would; a sum alone
  // gives its work back instead, and no limit applies inside it. A turn about every
  // kEvaluationTurnWork instructions a point.
  void AddLoopWork(int32_t length, bool alone) {
    if ((loopWork_ += length) <= checkAt_) [[likely]] return;
    if (loopWork_ > workLimit_) {
      if (!alone) {
        givenUp_ = true;
        return;
      }
      loopWork_ = aloneMark_;
    }
    EvaluationTurn();
    checkAt_ = alone ? loopWork_ + kEvaluationTurnWork : std::min(workLimit_, loopWork_ + kEvaluationTurnWork);
  }

  // The sum alone ends: its work given back, the next look as if it had not run.
  void BackToMark() {
    loopWork_ = aloneMark_;
    checkAt_ = std::min(workLimit_, loopWork_ + kEvaluationTurnWork);
  }

  void Finish(V* out) const {
    const L& t = stack_[sp_];
    if (!t.varying) {
      const V r = M::Finish(t.shared);
      for (int32_t i = 0; i < n_; ++i) out[i] = r;
    } else {
      for (int32_t i = 0; i < n_; ++i) out[i] = M::Finish(t.data[i]);
    }
    if (deadCount_ == 0) return;
    for (int32_t i = 0; i < n_; ++i) {
      if (dead_[i]) out[i] = M::Undefined();
    }
  }

  void AllUndefined(V* out) const {
    for (int32_t i = 0; i < n_; ++i) out[i] = M::Undefined();
  }

  // Every point gave up on its sums together (GiveUpOnLoops): undefined, the block run counted once.
  bool GiveUp(const CompiledCode* code, V* out) const {
    const V none = GiveUpOnLoops<M>(code, false);
    for (int32_t i = 0; i < n_; ++i) out[i] = none;
    return true;
  }

  int32_t n_;
  int32_t slotCount_;
  V* stackBuffers_;
  V* slotBuffers_;
  V* saveBuffers_;
  L* slot_;
  L* saved_;
  unsigned char* dead_;
  unsigned char* partial_;     // per box: a partial domain met in this run (see Note)
  bool sharedPartial_ = false;  // met by a value every box shares: every box has one
  bool anyBoxPartial_ = false;
  bool noting_ = false;
  bool noteAll_ = false;       // every step noted: the caller wants the records
  L stack_[kValueStackLimit + 1];
  V* own_[kValueStackLimit + 1];
  int32_t sp_ = 0;
  int32_t deadCount_ = 0;
  bool anyPending_ = false;
  int32_t loopRuns_[kMaxLoopNesting];
  int32_t loopCount_ = 0;
  int64_t loopWork_ = 0;
  int64_t aloneMark_ = 0;  // the loop work when the running sum alone began
  int64_t workLimit_ = 0;
  int64_t checkAt_ = 0;    // the next look at loopWork_: a turn or the limit
  bool givenUp_ = false;  // past the work limit, or a sum entered too wide: every point undefined
};

template <class M>
bool BlockMachine<M>::RunCode(const CompiledCode* code, V* out) {
  const BlockPlan* plan = code->blockPlan;
  int32_t bindingCount = 0;
  const Complex* bindings = BindingValuesOf(code, &bindingCount);
  for (int32_t d = 0; d <= code->maxDepth; ++d) own_[d] = stackBuffers_ + static_cast<size_t>(d) * kBlockLanes;
  sp_ = 0;
  stack_[0] = Shared(M::Undefined());
  deadCount_ = 0;
  loopCount_ = 0;
  loopWork_ = 0;
  workLimit_ = EvaluationWorkLimit();
  checkAt_ = std::min(workLimit_, kEvaluationTurnWork);
  givenUp_ = false;
  anyPending_ = false;
  std::memset(dead_, 0, static_cast<size_t>(n_));
  if constexpr (M::kEncloses) {
    // As each point run does: a fresh record of partial domains.
    std::memset(partial_, 0, static_cast<size_t>(n_));
    sharedPartial_ = anyBoxPartial_ = noting_ = false;
    IntervalResetPartialDomain();
  }
  if (GivesUpAtOnce(code)) return GiveUp(code, out);
  NoteRunStart(static_cast<int64_t>(code->count) * n_);
  const BytecodeInstruction* ins = code->instructions;
  const bool keepGoing = code->hasConditionals != 0;
  const int32_t prologue = code->prologueLength;
  const bool storesAfterPrologue = plan->storesAfterPrologue != 0;

  // Both machines defer their checks: each deferring step gives an undefined result for an
  // undefined operand, so a point that meets one still has one at the next check.
  constexpr bool kDefers = true;
// Each operation's body goes into its loop over the points (the inline sums and products of
// the interval kind would otherwise leave it a call per point).
#define QV_INLINE __attribute__((always_inline))
#define QV_UNARY(name)                                     \
  case Op##name:                                           \
    Unary<true>([](const V& b) QV_INLINE { return M::name(b); });    \
    break;
#define QV_BINARY(name)                                                    \
  case Op##name:                                                           \
    Binary<true>([](const V& a, const V& b) QV_INLINE { return M::name(a, b); });    \
    break;
#define QV_DEFERRING(name, Form, lambda) \
  case Op##name: {                        \
    const auto f = lambda;                \
    if constexpr (kDefers) {              \
      if (defer) {                        \
        Form<false>(f);                   \
        break;                            \
      }                                   \
    }                                     \
    Form<true>(f);                        \
    break;                                \
  }
#define QV_DEFERRING_UNARY(name) QV_DEFERRING(name, Unary, [](const V& b) QV_INLINE { return M::name(b); })
#define QV_DEFERRING_BINARY(name) \
  QV_DEFERRING(name, Binary, [](const V& a, const V& b) QV_INLINE { return M::name(a, b); })

  for (int32_t pc = 0;;) {
    const BlockStep& step = plan->steps[pc];
    if (step.reuse >= 0 && !(M::kEncloses && step.compares)) {
      // Bit for bit the value the skipped instructions give, checked (or pending) as first made.
      Push(saved_[step.reuse]);
      pc = step.resume;
      continue;
    }
    const BytecodeInstruction& in = ins[pc];
    const int32_t k = in.i.k;
    const bool defer = kDefers && pc >= prologue && DefersCheck(in.op);
    if constexpr (M::kEncloses) {
      // A comparison may read what this step meets: later in the code, or in a loop's next round.
      noting_ = noteAll_ || plan->lastComparison > pc || (plan->lastComparison >= 0 && loopCount_ > 0);
    }
    if (anyPending_ && !defer && !TakesNothing(in.op)) {
      switch (Settle(!keepGoing, storesAfterPrologue)) {
        case Step::kGoOn:
          break;
        case Step::kAllUndefined:
          AllUndefined(out);
          return true;
        case Step::kRefuse:
          return false;
      }
    }
    switch (in.op) {
      case OpPushConstant:
        Push(Shared(M::Constant(in.c)));
        break;
      case OpLoadSlot:
        Push(slot_[k]);
        break;
      case OpPushDefinedName: {
        Complex value{kUndefinedReal, kUndefinedReal};
        LookUpDefinedValue(&value, k);
        Push(Shared(M::FromDefined(value)));
        break;
      }
      case OpStoreSlot:
        Store(k);
        break;
      case OpSwap: {
        std::swap(stack_[sp_ - 1], stack_[sp_]);
        std::swap(own_[sp_ - 1], own_[sp_]);
        break;
      }
      case OpPushBinding:
        Push(Shared((k >= 0 && k < bindingCount) ? M::FromBinding(bindings[k]) : M::Undefined()));
        break;
      QV_DEFERRING_BINARY(Add)
      QV_DEFERRING_BINARY(Multiply)
      QV_DEFERRING_BINARY(Divide)
      QV_BINARY(Power)
      QV_BINARY(Atan2Positive)
      QV_BINARY(Hypot)
      QV_BINARY(MakeInterval)
      QV_DEFERRING_UNARY(Negate)
      QV_DEFERRING_UNARY(Abs)
      QV_UNARY(Sign)
      QV_DEFERRING_UNARY(Sqrt)
      QV_DEFERRING_UNARY(Exp)
      QV_UNARY(Log10)
      QV_DEFERRING_UNARY(Ln)
      QV_UNARY(Factorial)
      QV_DEFERRING_UNARY(Square)
      QV_DEFERRING_UNARY(Sin)
      QV_DEFERRING_UNARY(Cos)
      QV_DEFERRING_UNARY(Tan)
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
      case OpLessChain:
      case OpGreaterChain:
      case OpLessEqualChain:
      case OpGreaterEqualChain:
      case OpEqualChain:
        Chain(in.op, k);
        break;
      QV_BINARY(And)
      QV_BINARY(Or)
      case OpRationalPower:
        Gather(3, [](const V* v, int32_t) { return M::RationalPower(v[0], v[1], v[2]); });
        break;
      QV_BINARY(BesselJ)
      QV_UNARY(Floor)
      QV_UNARY(Ceil)
      QV_BINARY(If)
      case OpBranch:
        Gather(2 * k, [k](const V* v, int32_t) {
          if constexpr (M::kEncloses) {
            return EnclosureBranch<M>(v, k);
          } else {
            return PointBranch<M>(v, k);
          }
        });
        break;
      QV_UNARY(RealPart)
      QV_UNARY(ImagPart)
      QV_UNARY(Arg)
      case OpPushI:
        Push(Shared(M::ImaginaryUnit()));
        break;
      QV_BINARY(Mod)
      QV_BINARY(Min)
      QV_BINARY(Max)
      case OpClamp:
        Gather(3, [](const V* v, int32_t) { return M::Max(v[1], M::Min(v[0], v[2])); });
        break;
      case OpAbort:
        AllUndefined(out);
        return true;
      case OpStorePop:
        Store(k);
        --sp_;
        break;
      case OpLoopTest:
        if (!LoopTest(ins, pc, true)) return false;
        if (givenUp_) return GiveUp(code, out);
        break;
      case OpLoopIncrement: {
        L& s = slot_[k];
        if (s.varying) return false;
        EvalCell cell{};
        M::Store(cell, s.shared);
        M::Increment(cell);
        s.shared = M::Load(cell);
        s.written = true;
        break;
      }
      case OpLoopBack:
        pc -= in.i.jump;
        if (!LoopTest(ins, pc, false)) return false;
        if (givenUp_) return GiveUp(code, out);
        break;
      case OpEnd:
        Finish(out);
        return true;
      case OpPushColumnValue:
      case OpPushRowValue:
        return false;  // grid tables: the point machine reads them cell by cell
      default:  // does nothing
        break;
    }
    if (!stack_[sp_].pending) {
      switch (Check(sp_, !keepGoing && pc >= prologue, storesAfterPrologue)) {
        case Step::kGoOn:
          break;
        case Step::kAllUndefined:
          AllUndefined(out);
          return true;
        case Step::kRefuse:
          return false;
      }
    }
    if (step.save >= 0) Save(step.save);
    ++pc;
  }
#undef QV_INLINE
#undef QV_UNARY
#undef QV_BINARY
#undef QV_DEFERRING
#undef QV_DEFERRING_UNARY
#undef QV_DEFERRING_BINARY
}

// Shared checks of both entries: which codes, slots and inputs a block may take.
template <class M>
bool RunBlock(const CompiledCode* const* codes, int32_t codeCount, EvalCell* slots, int32_t slotCapacity,
              const BlockInput<typename M::Value>* inputs, int32_t inputCount, int32_t count,
              typename M::Value* const* results, uint8_t* const* partial) {
  if (codes == nullptr || codeCount < 1 || slots == nullptr || count < 1 || count > kBlockLanes) return false;
  int32_t depth = 0, slotCount = kFixedSlotCount, saves = 0;
  for (int32_t c = 0; c < codeCount; ++c) {
    const CompiledCode* code = codes[c];
    if (!Runnable(code) || code->slotCount > slotCapacity || code->blockPlan->readsGridTables) return false;
    depth = std::max(depth, code->maxDepth);
    slotCount = std::max(slotCount, code->slotCount);
    saves = std::max(saves, code->blockPlan->saveCount);
  }
  if (slotCount > slotCapacity) return false;
  uint32_t varying = 0;
  bool isInput[kFixedSlotCount] = {};
  for (int32_t j = 0; j < inputCount; ++j) {
    const int32_t s = inputs[j].slot;
    if (s < 0 || s >= kFixedSlotCount) return false;
    isInput[s] = true;
    if (inputs[j].values != nullptr) varying |= BlockSlotBit(s);
  }
  // Every slot a code reads must hold, at each point, what that point's run put there (or what
  // every point finds because no code of the block stores it).
  for (int32_t c = 0; c < codeCount; ++c) {
    const BlockPlan* plan = codes[c]->blockPlan;
    if (plan->loopInputs & varying) return false;
    for (int32_t k = 0; k < plan->slotCount; ++k) {
      const uint8_t use = plan->slotUse[k];
      const bool input = k < kFixedSlotCount && isInput[k];
      if (input && (use & kSlotWritten)) return false;
      if (input || !(use & kSlotReadUnwritten)) continue;
      bool storedBefore = false, storedAnywhere = false;
      for (int32_t e = 0; e < codeCount; ++e) {
        const BlockPlan* other = codes[e]->blockPlan;
        const uint8_t otherUse = k < other->slotCount ? other->slotUse[k] : 0;
        storedAnywhere |= (otherUse & kSlotWritten) != 0;
        storedBefore |= e < c && (otherUse & kSlotWrittenInPrologue) != 0;
      }
      if (storedAnywhere && !storedBefore) return false;
    }
  }
  const BlockLayout layout = LayoutFor(depth, slotCount, saves);
  if (BlockScratch() == nullptr || layout.bytes > BlockScratchCapacity()) return false;
  BlockMachine<M> machine(BlockScratch(), layout, count, slotCount);
  machine.Begin(slots, inputs, inputCount);
  for (int32_t c = 0; c < codeCount; ++c) {
    if (!machine.Run(codes[c], results[c], partial != nullptr ? partial[c] : nullptr)) return false;
  }
  machine.WriteBack(slots);
  return true;
}

}  // namespace

size_t BlockScratchBytes(const CompiledCode* const* codes, int32_t codeCount) {
  int32_t depth = 0, slotCount = kFixedSlotCount, saves = 0;
  for (int32_t c = 0; c < codeCount; ++c) {
    if (!Runnable(codes[c])) return 0;
    depth = std::max(depth, codes[c]->maxDepth);
    slotCount = std::max(slotCount, codes[c]->slotCount);
    saves = std::max(saves, codes[c]->blockPlan->saveCount);
  }
  return LayoutFor(depth, slotCount, saves).bytes;
}

bool RunRealBlock(const CompiledCode* const* codes, int32_t codeCount, EvalCell* slots, int32_t slotCapacity,
                  const RealBlockInput* inputs, int32_t inputCount, int32_t count, double* const* results) {
  return RunBlock<RealMachine>(codes, codeCount, slots, slotCapacity, inputs, inputCount, count, results, nullptr);
}

bool RunIntervalBlock(const CompiledCode* const* codes, int32_t codeCount, EvalCell* slots, int32_t slotCapacity,
                      const IntervalBlockInput* inputs, int32_t inputCount, int32_t count, Interval* const* results,
                      uint8_t* const* partial) {
  return RunBlock<IntervalMachine>(codes, codeCount, slots, slotCapacity, inputs, inputCount, count, results,
                                   partial);
}
