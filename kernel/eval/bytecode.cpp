// Instruction set table, code records, emitters and the one verification of the stack machines.
// Invariants: instruction arrays come from the memory budget and are freed exactly once; a code
// whose failed flag is set holds no allocated array (at most its built-in lone OpEnd); every
// change to the instructions clears `verified` and drops the block plan, and only
// ResolveJumpLabels sets `verified`.
#include "kernel/eval/bytecode.h"

#include <cstring>
#include <limits>

#include "kernel/memory/memory_budget.h"
#include "kernel/numeric/numeric_constants.h"

#define N OperandKind::kNone
#define C OperandKind::kConstant
#define I OperandKind::kInteger
#define J OperandKind::kIntegerAndJump

const OpcodeInfo kOpcodeTable[kOpcodeCount] = {
    {"PushConstant", C, 0, 1},      {"LoadSlot", I, 0, 1},           {"PushDefinedName", I, 0, 1},
    {"StoreSlot", I, 1, 1},         {"Swap", N, 2, 2},               {"PushColumnValue", I, 0, 1},
    {"PushRowValue", I, 0, 1},      {"PushBinding", I, 0, 1},        {"Add", N, 2, 1},
    {"NoOperation9", N, 0, 0},      {"Multiply", N, 2, 1},           {"Divide", N, 2, 1},
    {"Power", N, 2, 1},             {"Atan2Positive", N, 2, 1},      {"Hypot", N, 2, 1},
    {"MakeInterval", N, 2, 1},      {"Negate", N, 1, 1},             {"Abs", N, 1, 1},
    {"Sign", N, 1, 1},              {"Sqrt", N, 1, 1},               {"Exp", N, 1, 1},
    {"Log10", N, 1, 1},             {"Ln", N, 1, 1},                 {"Factorial", N, 1, 1},
    {"Square", N, 1, 1},            {"Sin", N, 1, 1},                {"Cos", N, 1, 1},
    {"Tan", N, 1, 1},               {"Cot", N, 1, 1},                {"Csc", N, 1, 1},
    {"Sec", N, 1, 1},               {"Asin", N, 1, 1},               {"Acos", N, 1, 1},
    {"Atan", N, 1, 1},              {"Acot", N, 1, 1},               {"Acsc", N, 1, 1},
    {"Asec", N, 1, 1},              {"Sinh", N, 1, 1},               {"Cosh", N, 1, 1},
    {"Tanh", N, 1, 1},              {"Coth", N, 1, 1},               {"Csch", N, 1, 1},
    {"Sech", N, 1, 1},              {"Asinh", N, 1, 1},              {"Acosh", N, 1, 1},
    {"Atanh", N, 1, 1},             {"Acoth", N, 1, 1},              {"Acsch", N, 1, 1},
    {"Asech", N, 1, 1},             {"LessChain", I, -1, 1},         {"GreaterChain", I, -1, 1},
    {"LessEqualChain", I, -1, 1},   {"GreaterEqualChain", I, -1, 1}, {"EqualChain", I, -1, 1},
    {"And", N, 2, 1},               {"Or", N, 2, 1},                 {"RationalPower", N, 3, 1},
    {"BesselJ", N, 2, 1},           {"Floor", N, 1, 1},              {"Ceil", N, 1, 1},
    {"If", N, 2, 1},                {"Branch", I, -2, 1},            {"RealPart", N, 1, 1},
    {"ImagPart", N, 1, 1},          {"Arg", N, 1, 1},                {"PushI", N, 0, 1},
    {"Mod", N, 2, 1},               {"Min", N, 2, 1},                {"Max", N, 2, 1},
    {"Clamp", N, 3, 1},             {"Abort", N, 0, 0},              {"StorePop", I, 1, 0},
    {"LoopTest", J, 0, 0},          {"LoopIncrement", I, 0, 0},      {"LoopBack", J, 0, 0},
    {"End", N, 1, 0},
};

#undef N
#undef C
#undef I
#undef J

const char* OpcodeName(uint32_t op) { return op < kOpcodeCount ? kOpcodeTable[op].name : "?"; }

CompiledCode* NewCompiledCode() {
  auto* code = static_cast<CompiledCode*>(AllocMemory(sizeof(CompiledCode)));
  if (code == nullptr) return nullptr;
  std::memset(static_cast<void*>(code), 0, sizeof(CompiledCode));
  code->slotCount = kFixedSlotCount;
  code->maxDepth = -1;
  return code;
}

// The block plan describes the instructions as they were: any change makes it stale.
static void DropBlockPlan(CompiledCode* code) {
  FreeMemory(code->blockPlan);
  code->blockPlan = nullptr;
}

static void ReleaseInstructions(CompiledCode* code) {
  DropBlockPlan(code);
  if (code->instructions != nullptr && code->instructions != &code->endOnly) FreeMemory(code->instructions);
  code->instructions = nullptr;
  code->count = 0;
  code->capacity = 0;
  code->verified = 0;
}

void FreeCompiledCode(CompiledCode* code) {
  if (code == nullptr) return;
  ReleaseInstructions(code);
  FreeMemory(code);
}

void ResetCompiledCode(CompiledCode* code) {
  ReleaseInstructions(code);
  code->hasConditionals = 0;
  code->complex = 0;
  code->failed = 0;
  code->slotCount = kFixedSlotCount;
  code->prologueLength = 0;
  code->maxDepth = -1;
}

// Makes room for `extra` more instructions; 1 on success, 0 when the budget refuses.
static int ReserveInstructions(CompiledCode* code, int32_t extra) {
  if (code->failed) return 0;
  if (code->instructions == &code->endOnly) return 0;
  const int64_t need = static_cast<int64_t>(code->count) + extra;
  if (need <= code->capacity) return 1;
  int64_t capacity = code->capacity < 16 ? 16 : code->capacity;
  while (capacity < need) capacity *= 2;
  if (capacity > std::numeric_limits<int32_t>::max() / 2) {
    code->failed = 1;
    return 0;
  }
  auto* grown = static_cast<BytecodeInstruction*>(AllocMemory(static_cast<size_t>(capacity) * sizeof(BytecodeInstruction)));
  if (grown == nullptr) {
    code->failed = 1;
    return 0;
  }
  if (code->count > 0) std::memcpy(grown, code->instructions, static_cast<size_t>(code->count) * sizeof(BytecodeInstruction));
  if (code->instructions != nullptr) FreeMemory(code->instructions);
  code->instructions = grown;
  code->capacity = static_cast<int32_t>(capacity);
  return 1;
}

// The dispatch code of an instruction run alone.
static uint32_t OwnDispatch(uint32_t op) { return op < kOpcodeCount ? op : kDispatchNothing; }

static int Append(CompiledCode* code, const BytecodeInstruction& item) {
  if (!ReserveInstructions(code, 1)) return 0;
  code->instructions[code->count] = item;
  code->instructions[code->count].dispatch = OwnDispatch(item.op);
  ++code->count;
  code->verified = 0;
  DropBlockPlan(code);
  return 1;
}

int EmitOp(CompiledCode* code, uint32_t op) {
  BytecodeInstruction item{};
  item.op = op;
  return Append(code, item);
}

int EmitOpWithOperand(CompiledCode* code, uint32_t op, int32_t k) {
  BytecodeInstruction item{};
  item.op = op;
  item.i.k = k;
  item.i.jump = 0;
  return Append(code, item);
}

int EmitConstant(CompiledCode* code, uint32_t op, double c) {
  BytecodeInstruction item{};
  item.op = op;
  item.c = c;
  return Append(code, item);
}

int InsertInstructions(CompiledCode* code, int32_t position, const BytecodeInstruction* items, int32_t n) {
  if (n <= 0) return 1;
  if (position < 0 || position > code->count) return 0;
  if (!ReserveInstructions(code, n)) return 0;
  std::memmove(code->instructions + position + n, code->instructions + position,
               static_cast<size_t>(code->count - position) * sizeof(BytecodeInstruction));
  std::memcpy(code->instructions + position, items, static_cast<size_t>(n) * sizeof(BytecodeInstruction));
  for (int32_t k = 0; k < n; ++k) code->instructions[position + k].dispatch = OwnDispatch(items[k].op);
  code->count += n;
  code->verified = 0;
  DropBlockPlan(code);
  return 1;
}

void MakeEndOnlyCode(CompiledCode* code) {
  ReleaseInstructions(code);
  code->endOnly = BytecodeInstruction{};
  code->endOnly.op = OpEnd;
  code->endOnly.dispatch = OpEnd;
  code->instructions = &code->endOnly;
  code->count = 1;
  code->capacity = 1;
  code->failed = 1;
  code->prologueLength = 0;
  code->maxDepth = -1;
}

void MakeUndefinedCode(CompiledCode* code) {
  ReleaseInstructions(code);
  code->failed = 0;
  code->prologueLength = 0;
  if (!EmitConstant(code, OpPushConstant, kUndefinedReal) || !EmitOp(code, OpEnd)) {
    MakeEndOnlyCode(code);
    return;
  }
  ResolveJumpLabels(code);
}

// The combined dispatch code for the instruction at a and the next one, or its own code.
static uint32_t PairDispatch(const BytecodeInstruction* ins, int32_t a, int32_t count) {
  const uint32_t first = ins[a].op;
  if (a + 1 >= count) return OwnDispatch(first);
  const BytecodeInstruction& next = ins[a + 1];
  if (first == OpLoadSlot && next.op == OpLoadSlot && a + 2 < count) {
    if (ins[a + 2].op == OpAdd) return kDispatchLoadSlotLoadSlotAdd;
    if (ins[a + 2].op == OpMultiply) return kDispatchLoadSlotLoadSlotMultiply;
  }
  if (first == OpLoadSlot) {
    switch (next.op) {
      case OpAdd: return kDispatchLoadSlotAdd;
      case OpMultiply: return kDispatchLoadSlotMultiply;
      case OpDivide: return kDispatchLoadSlotDivide;
      case OpSin: return kDispatchLoadSlotSin;
      case OpCos: return kDispatchLoadSlotCos;
      case OpSquare: return kDispatchLoadSlotSquare;
      case OpExp: return kDispatchLoadSlotExp;
      default: break;
    }
  } else if (first == OpPushConstant) {
    switch (next.op) {
      case OpAdd: return kDispatchPushConstantAdd;
      case OpMultiply: return kDispatchPushConstantMultiply;
      case OpDivide: return kDispatchPushConstantDivide;
      default: break;
    }
  } else if (first == OpAdd && next.op == OpLoopIncrement) {
    return kDispatchAddLoopIncrement;
  } else if (first == OpLoopIncrement && next.op == OpLoopBack && next.i.k == ins[a].i.k && next.i.jump >= 1 &&
             next.i.jump <= a + 1) {
    const BytecodeInstruction& test = ins[a + 1 - next.i.jump];
    if (test.op == OpLoopTest && test.i.k == ins[a].i.k) return kDispatchLoopIncrementBack;
  }
  return OwnDispatch(first);
}

void ResolveJumpLabels(CompiledCode* code) {
  if (code == nullptr) return;
  DropBlockPlan(code);
  BytecodeInstruction* ins = code->instructions;
  for (int32_t a = 0; a < code->count; ++a) {
    if (ins[a].op != OpLoopTest) continue;
    ins[a].i.jump = -1;
    for (int32_t b = a; b < code->count; ++b) {
      if (ins[b].op == OpLoopBack && ins[b].i.k == ins[a].i.k) {
        ins[a].i.jump = b - a;
        ins[b].i.jump = b - a;
        break;
      }
    }
  }
  for (int32_t a = 0; a < code->count; ++a) ins[a].dispatch = PairDispatch(ins, a, code->count);
  // A sum alone: paired, no test inside its body, and its test past the end of every sum before it
  // (sums nest properly in a sound program; an unsound one fails the check below and never runs).
  int32_t openUntil = -1;
  for (int32_t a = 0; a < code->count; ++a) {
    if (ins[a].op != OpLoopTest || ins[a].i.jump < 1) continue;
    const int32_t b = a + ins[a].i.jump;
    bool nests = a < openUntil;
    for (int32_t t = a + 1; t < b && !nests; ++t) nests = ins[t].op == OpLoopTest;
    if (!nests) ins[a].dispatch = kDispatchLoopTestAlone;
    if (b > openUntil) openUntil = b;
  }
  int32_t depth = -1;
  code->verified = CheckCodeBalance(code, &depth) ? 1 : 0;
  code->maxDepth = depth;
}

bool CheckCodeBalance(const CompiledCode* code, int32_t* maxDepth) {
  if (code == nullptr || code->instructions == nullptr || code->count <= 0) return false;
  const BytecodeInstruction* ins = code->instructions;
  // Depth at each open OpLoopTest: a body must leave the stack as it found it and may consume
  // only the value it found on top (the interval machines hull that value over possible stops).
  int32_t loopAt[kMaxLoopNesting];
  int32_t loopDepth[kMaxLoopNesting];
  int openLoops = 0;
  int64_t depth = 0;
  int64_t deepest = 0;
  if (maxDepth != nullptr) *maxDepth = -1;
  for (int32_t pc = 0; pc < code->count; ++pc) {
    const uint32_t op = ins[pc].op;
    if (op >= kOpcodeCount) continue;
    const OpcodeInfo& info = kOpcodeTable[op];
    const int32_t k = ins[pc].i.k;
    int64_t pops = info.pops;
    if (pops == -1 || pops == -2) {
      if (k < 1 || k > 1000) return false;
      pops = info.pops == -1 ? k : 2 * static_cast<int64_t>(k);
    }
    switch (op) {
      case OpLoadSlot:
      case OpStoreSlot:
      case OpStorePop:
        if (k < 0 || k >= code->slotCount) return false;
        break;
      case OpLoopIncrement:
        if (k < kFixedSlotCount || k >= code->slotCount) return false;
        break;
      case OpLoopTest: {
        if (k < kFixedSlotCount || k + 1 >= code->slotCount) return false;
        const int32_t b = pc + ins[pc].i.jump;
        if (ins[pc].i.jump < 1 || b >= code->count || ins[b].op != OpLoopBack || ins[b].i.k != k) return false;
        if (openLoops == kMaxLoopNesting) return false;
        loopAt[openLoops] = pc;
        loopDepth[openLoops] = static_cast<int32_t>(depth);
        ++openLoops;
        break;
      }
      case OpLoopBack: {
        if (openLoops == 0) return false;
        --openLoops;
        const int32_t a = loopAt[openLoops];
        if (pc - a != ins[pc].i.jump || ins[a].i.k != k || loopDepth[openLoops] != depth) return false;
        break;
      }
      case OpAbort:
        // The run ends here with the undefined value; inside a loop body it might not be
        // reached, and what follows would then run unbalanced.
        if (openLoops != 0) return false;
        if (maxDepth != nullptr) *maxDepth = static_cast<int32_t>(deepest);
        return true;
      case OpEnd:
        if (depth != 1 || openLoops != 0) return false;
        if (maxDepth != nullptr) *maxDepth = static_cast<int32_t>(deepest);
        // Anything after the first OpEnd is never reached.
        return true;
      default:
        break;
    }
    const int64_t floor = openLoops > 0 && loopDepth[openLoops - 1] > 0 ? loopDepth[openLoops - 1] - 1 : 0;
    if (depth - pops < floor) return false;
    depth = depth - pops + info.pushes;
    if (depth > deepest) deepest = depth;
  }
  return false;  // no OpEnd
}
