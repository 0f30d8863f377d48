// Builds block plans by running a verified code once over value numbers instead of values.
// Invariants: a value is numbered by its opcode, operand and input numbers, never by algebra, so a
// reuse is bit for bit what the skipped instructions give; a load yields the number last stored in
// its slot; values inside loops and slots a loop changes get numbers of their own; the temporary
// tables are freed before returning.
#include "kernel/eval/block_plan.h"

#include <cstring>

#include "kernel/memory/memory_budget.h"

namespace {

constexpr uint32_t kFreshValue = 0xFFFFFFFFu;    // equal to nothing else
constexpr uint32_t kStartingSlot = 0xFFFFFFFEu;  // a slot's value when the run began
// Beside the slot bits of a value's inputs: it reads what may change between runs without a slot
// (a defined name, a binding, a grid table).
constexpr uint64_t kOutsideInput = uint64_t{1} << 32;

// What a value number stands for: an operation on up to four numbered inputs.
struct ValueKey {
  uint32_t op;
  int32_t inputCount;
  uint64_t operand;
  int32_t inputs[4];
};

struct ValueRecord {
  ValueKey key;
  uint64_t inputsOf;     // BlockSlotBit of every starting slot the value depends on, kOutsideInput
  int32_t firstKept;     // first instruction that leaves it on top where it may be kept, or -1
  int32_t save;          // its saved-value index once some reuse takes it, or -1
};

// A value on the simulated stack: its number and the instructions that compute it. `clean` when
// those instructions are contiguous, outside the prologue and loops, and free of stores and swaps,
// so that skipping them skips nothing else.
struct StackValue {
  int32_t number;
  int32_t start;
  int32_t end;
  bool clean;
};

struct LoopOpen {
  int32_t test;
  int32_t back;
};

class Numbering {
 public:
  // Temporary tables for a code of `count` instructions, `slots` slots and `depth` values, with
  // room for `numbers` value numbers.
  bool Allocate(int32_t count, int32_t slots, int32_t depth, int32_t numbers) {
    capacity_ = numbers;
    buckets_ = 1;
    while (buckets_ < 2 * capacity_) buckets_ *= 2;
    const size_t bytes = sizeof(ValueRecord) * static_cast<size_t>(capacity_) +
                         sizeof(int32_t) * (static_cast<size_t>(buckets_) + 2 * static_cast<size_t>(count) +
                                            2 * static_cast<size_t>(slots)) +
                         sizeof(StackValue) * (static_cast<size_t>(depth) + 2);
    memory_ = static_cast<unsigned char*>(AllocMemory(bytes));
    if (memory_ == nullptr) return false;
    unsigned char* p = memory_;
    records_ = reinterpret_cast<ValueRecord*>(p);
    p += sizeof(ValueRecord) * static_cast<size_t>(capacity_);
    stack = reinterpret_cast<StackValue*>(p);
    p += sizeof(StackValue) * (static_cast<size_t>(depth) + 2);
    table_ = reinterpret_cast<int32_t*>(p);
    bestEnd = table_ + buckets_;
    bestNumber = bestEnd + count;
    slotNumber = bestNumber + count;
    writtenAt = slotNumber + slots;
    for (int32_t b = 0; b < buckets_; ++b) table_[b] = -1;
    for (int32_t i = 0; i < count; ++i) bestEnd[i] = -1;
    for (int32_t k = 0; k < slots; ++k) slotNumber[k] = writtenAt[k] = -1;
    return true;
  }
  ~Numbering() { FreeMemory(memory_); }

  ValueRecord& Record(int32_t number) { return records_[number]; }

  // The number of the key: an existing one when `shared` and an equal key was numbered before.
  int32_t Number(const ValueKey& key, uint64_t inputsOf, bool shared) {
    uint32_t h = 0;
    if (shared) {
      h = Hash(key);
      for (int32_t b = static_cast<int32_t>(h); table_[b] >= 0; b = (b + 1) & (buckets_ - 1)) {
        if (SameKey(records_[table_[b]].key, key)) return table_[b];
      }
    }
    const int32_t number = used_++;
    records_[number] = ValueRecord{key, inputsOf, -1, -1};
    if (shared) {
      int32_t b = static_cast<int32_t>(h);
      while (table_[b] >= 0) b = (b + 1) & (buckets_ - 1);
      table_[b] = number;
    }
    return number;
  }

  // A number equal to nothing else, depending on the given starting slots.
  int32_t Fresh(uint64_t inputsOf) {
    ValueKey key{};
    key.op = kFreshValue;
    key.operand = static_cast<uint64_t>(used_);
    return Number(key, inputsOf, false);
  }

  // The number a load of slot k yields now.
  int32_t SlotValue(int32_t k) {
    if (slotNumber[k] < 0) {
      ValueKey key{};
      key.op = kStartingSlot;
      key.operand = static_cast<uint64_t>(k);
      slotNumber[k] = Number(key, BlockSlotBit(k), false);
    }
    return slotNumber[k];
  }

  StackValue* stack = nullptr;
  int32_t* bestEnd = nullptr;     // per instruction: the end of the longest reusable range it starts
  int32_t* bestNumber = nullptr;  // and the value number of that range
  int32_t* slotNumber = nullptr;  // per slot: the number a load yields, -1 before the first load
  int32_t* writtenAt = nullptr;   // per slot: loop depth of a store sure to have run, else -1

 private:
  static bool SameKey(const ValueKey& a, const ValueKey& b) {
    if (a.op != b.op || a.inputCount != b.inputCount || a.operand != b.operand) return false;
    for (int32_t i = 0; i < a.inputCount; ++i) {
      if (a.inputs[i] != b.inputs[i]) return false;
    }
    return true;
  }
  uint32_t Hash(const ValueKey& key) const {
    uint64_t h = key.op * 0x9E3779B97F4A7C15ull ^ key.operand;
    for (int32_t i = 0; i < key.inputCount; ++i) h = (h ^ static_cast<uint32_t>(key.inputs[i])) * 0x100000001B3ull;
    h ^= h >> 29;
    return static_cast<uint32_t>(h) & static_cast<uint32_t>(buckets_ - 1);
  }

  unsigned char* memory_ = nullptr;
  ValueRecord* records_ = nullptr;
  int32_t* table_ = nullptr;
  int32_t capacity_ = 0;
  int32_t buckets_ = 0;
  int32_t used_ = 0;
};

bool IsStore(uint32_t op) { return op == OpStoreSlot || op == OpStorePop || op == OpLoopIncrement; }

// Values counted by the instruction's stack effect (the chains take k, a branch 2k).
int32_t PopsOf(const BytecodeInstruction& in) {
  const int8_t pops = kOpcodeTable[in.op].pops;
  if (pops == -1) return in.i.k;
  if (pops == -2) return 2 * in.i.k;
  return pops;
}

// Value numbers a run of the code may hand out: one an instruction and one a slot, plus the fresh
// numbers of the slots stored in each loop body (at its test and at its back jump) and of the
// value a loop leaves.
int32_t NumbersNeeded(const BytecodeInstruction* ins, int32_t count, int32_t slots) {
  int64_t numbers = static_cast<int64_t>(count) + slots + 2;
  for (int32_t pc = 0; pc < count; ++pc) {
    if (ins[pc].op != OpLoopTest) continue;
    for (int32_t b = pc + 1; b < pc + ins[pc].i.jump; ++b) numbers += IsStore(ins[b].op) ? 2 : 0;
    numbers += 1;
  }
  return numbers > (int64_t{1} << 28) ? -1 : static_cast<int32_t>(numbers);
}

// Slots stored inside a loop body change from one run of it to the next: fresh numbers.
void RenumberBodyStores(Numbering& v, const BytecodeInstruction* ins, int32_t from, int32_t to) {
  for (int32_t pc = from; pc < to; ++pc) {
    if (!IsStore(ins[pc].op)) continue;
    const int32_t k = ins[pc].i.k;
    v.slotNumber[k] = v.Fresh(v.Record(v.SlotValue(k)).inputsOf);
  }
}

}  // namespace

bool PrepareBlockPlan(CompiledCode* code) {
  if (code == nullptr) return false;
  FreeMemory(code->blockPlan);
  code->blockPlan = nullptr;
  if (!code->verified || code->maxDepth < 0 || code->count <= 0) return false;
  const int32_t count = code->count;
  const int32_t slots = code->slotCount;
  const size_t bytes = sizeof(BlockPlan) + sizeof(BlockStep) * static_cast<size_t>(count) + static_cast<size_t>(slots);
  auto* plan = static_cast<BlockPlan*>(AllocMemory(bytes, true));
  if (plan == nullptr) return false;
  plan->count = count;
  plan->slotCount = slots;
  plan->steps = reinterpret_cast<BlockStep*>(plan + 1);
  plan->slotUse = reinterpret_cast<uint8_t*>(plan->steps + count);
  plan->lastComparison = -1;
  plan->loopControlFixed = 1;
  for (int32_t pc = 0; pc < count; ++pc) {
    plan->steps[pc] = BlockStep{-1, 0, 0, -1};
    const uint32_t op = code->instructions[pc].op;
    if (op >= OpLessChain && op <= OpEqualChain) plan->lastComparison = pc;
  }

  Numbering v;
  const int32_t numbers = NumbersNeeded(code->instructions, count, slots);
  if (numbers < 0 || !v.Allocate(count, slots, code->maxDepth, numbers)) {
    FreeMemory(plan);
    return false;
  }
  const BytecodeInstruction* ins = code->instructions;
  const int32_t prologue = code->prologueLength;
  LoopOpen loops[kMaxLoopNesting];
  int loopDepth = 0;
  int32_t depth = 0;
  v.stack[0] = StackValue{v.Fresh(0), -1, -1, false};  // the undefined value below everything
  auto read = [&](int32_t k) {
    if (v.writtenAt[k] < 0) plan->slotUse[k] |= kSlotReadUnwritten;
  };
  auto write = [&](int32_t k, int32_t pc) {
    plan->slotUse[k] |= pc < prologue ? kSlotWritten | kSlotWrittenInPrologue : kSlotWritten;
    if (pc >= prologue) plan->storesAfterPrologue = 1;
    if (v.writtenAt[k] < 0 || v.writtenAt[k] > loopDepth) v.writtenAt[k] = loopDepth;
  };
  bool ended = false;
  for (int32_t pc = 0; pc < count && !ended; ++pc) {
    const BytecodeInstruction& in = ins[pc];
    const bool keepable = pc >= prologue && loopDepth == 0;
    const int32_t k = in.i.k;
    bool pushed = false;
    auto push = [&](int32_t number) {
      v.stack[++depth] = StackValue{number, pc, pc, keepable};
      pushed = true;
    };
    auto numbered = [&](uint64_t operand, uint64_t inputsOf) {
      ValueKey key{};
      key.op = in.op;
      key.operand = operand;
      return v.Number(key, inputsOf, true);
    };
    switch (in.op) {
      case OpEnd:
      case OpAbort:
        ended = true;
        break;
      case OpPushConstant: {
        uint64_t bits;
        std::memcpy(&bits, &in.c, sizeof bits);
        push(numbered(bits, 0));
        break;
      }
      case OpLoadSlot:
        read(k);
        push(v.SlotValue(k));
        break;
      case OpPushDefinedName:
      case OpPushBinding:
        push(numbered(static_cast<uint32_t>(k), kOutsideInput));
        break;
      case OpPushI:
        push(numbered(0, 0));
        break;
      case OpPushColumnValue:
      case OpPushRowValue:
        plan->readsGridTables = 1;
        push(v.Fresh(kOutsideInput));
        break;
      case OpStoreSlot:
      case OpStorePop:
        write(k, pc);
        v.slotNumber[k] = v.stack[depth].number;
        v.stack[depth].clean = false;
        if (in.op == OpStorePop) --depth;
        break;
      case OpSwap: {
        const StackValue t = v.stack[depth];
        v.stack[depth] = v.stack[depth - 1];
        v.stack[depth - 1] = t;
        v.stack[depth].clean = v.stack[depth - 1].clean = false;
        break;
      }
      case OpLoopTest: {
        read(k);
        read(k + 1);
        const uint64_t control = v.Record(v.SlotValue(k)).inputsOf | v.Record(v.SlotValue(k + 1)).inputsOf;
        plan->loopInputs |= static_cast<uint32_t>(control);
        if (control != 0) plan->loopControlFixed = 0;
        loops[loopDepth++] = LoopOpen{pc, pc + in.i.jump};
        RenumberBodyStores(v, ins, pc + 1, pc + in.i.jump);
        break;
      }
      case OpLoopIncrement:
        read(k);
        write(k, pc);
        v.slotNumber[k] = v.Fresh(v.Record(v.SlotValue(k)).inputsOf);
        break;
      case OpLoopBack: {
        const LoopOpen loop = loops[--loopDepth];
        RenumberBodyStores(v, ins, loop.test + 1, loop.back);
        for (int32_t s = 0; s < slots; ++s) {
          if (v.writtenAt[s] > loopDepth) v.writtenAt[s] = -1;
        }
        StackValue& top = v.stack[depth];
        top = StackValue{v.Fresh(v.Record(top.number).inputsOf), top.start, pc, false};
        break;
      }
      default: {
        if (in.op >= kOpcodeCount || in.op == OpNoOperation9) {
          v.stack[depth].end = pc;  // does nothing: part of the value below it
          break;
        }
        const int32_t pops = PopsOf(in);
        const int32_t first = depth - pops + 1;
        ValueKey key{};
        key.op = in.op;
        key.operand = (kOpcodeTable[in.op].pops < 0) ? static_cast<uint32_t>(k) : 0;
        key.inputCount = pops <= 4 ? pops : 0;
        uint64_t inputsOf = 0;
        bool clean = keepable && v.stack[depth].end == pc - 1;
        for (int32_t i = 0; i < pops; ++i) {
          const StackValue& s = v.stack[first + i];
          if (i < 4) key.inputs[i] = s.number;
          inputsOf |= v.Record(s.number).inputsOf;
          clean = clean && s.clean && (i == 0 || s.start == v.stack[first + i - 1].end + 1);
        }
        const int32_t start = v.stack[first].start;
        const int32_t number = pops <= 4 ? v.Number(key, inputsOf, true) : v.Fresh(inputsOf);
        depth = first;
        v.stack[depth] = StackValue{number, start, pc, clean};
        pushed = true;
        break;
      }
    }
    if (!pushed || !v.stack[depth].clean) continue;
    // A value met again: the longest clean range starting at its first instruction wins.
    const StackValue& top = v.stack[depth];
    ValueRecord& record = v.Record(top.number);
    if (record.firstKept < 0) {
      record.firstKept = pc;
    } else if (record.firstKept < top.start && pc > top.start && pc > v.bestEnd[top.start]) {
      v.bestEnd[top.start] = pc;
      v.bestNumber[top.start] = top.number;
    }
  }
  // Take the reuses in program order; a range inside a taken one is skipped with it.
  int32_t saves = 0;
  for (int32_t pc = 0; pc < count;) {
    if (v.bestEnd[pc] < 0) {
      ++pc;
      continue;
    }
    ValueRecord& record = v.Record(v.bestNumber[pc]);
    if (record.save < 0) {
      record.save = saves++;
      plan->steps[record.firstKept].save = record.save;
    }
    plan->steps[pc].reuse = record.save;
    plan->steps[pc].resume = v.bestEnd[pc] + 1;
    for (int32_t r = pc; r <= v.bestEnd[pc]; ++r) {
      if (ins[r].op >= OpLessChain && ins[r].op <= OpEqualChain) plan->steps[pc].compares = 1;
    }
    pc = v.bestEnd[pc] + 1;
  }
  plan->saveCount = saves;
  code->blockPlan = plan;
  return true;
}
