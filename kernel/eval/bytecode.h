// Instruction set of the evaluation stack machines, the compiled code record and its emitters.
// Invariants: a code runs only once ResolveJumpLabels has verified it (balanced, within its slots,
// loops properly paired and nested) and nothing has been emitted since; every OpLoopTest is paired
// with the next OpLoopBack of the same operand; jump distances are counted in instructions.
// Opcodes above 75 do nothing when run.
#pragma once

#include <cstdint>

struct CompiledFunction;
struct BlockPlan;

enum Opcode : uint32_t {
  OpPushConstant = 0,
  OpLoadSlot = 1,
  OpPushDefinedName = 2,
  OpStoreSlot = 3,
  OpSwap = 4,
  OpPushColumnValue = 5,
  OpPushRowValue = 6,
  OpPushBinding = 7,
  OpAdd = 8,
  OpNoOperation9 = 9,
  OpMultiply = 10,
  OpDivide = 11,
  OpPower = 12,
  OpAtan2Positive = 13,
  OpHypot = 14,
  OpMakeInterval = 15,
  OpNegate = 16,
  OpAbs = 17,
  OpSign = 18,
  OpSqrt = 19,
  OpExp = 20,
  OpLog10 = 21,
  OpLn = 22,
  OpFactorial = 23,
  OpSquare = 24,
  // The 24 trigonometric and hyperbolic opcodes follow the node kinds sin (4155) .. asech (4178).
  OpSin = 25,
  OpCos = 26,
  OpTan = 27,
  OpCot = 28,
  OpCsc = 29,
  OpSec = 30,
  OpAsin = 31,
  OpAcos = 32,
  OpAtan = 33,
  OpAcot = 34,
  OpAcsc = 35,
  OpAsec = 36,
  OpSinh = 37,
  OpCosh = 38,
  OpTanh = 39,
  OpCoth = 40,
  OpCsch = 41,
  OpSech = 42,
  OpAsinh = 43,
  OpAcosh = 44,
  OpAtanh = 45,
  OpAcoth = 46,
  OpAcsch = 47,
  OpAsech = 48,
  OpLessChain = 49,
  OpGreaterChain = 50,
  OpLessEqualChain = 51,
  OpGreaterEqualChain = 52,
  OpEqualChain = 53,
  OpAnd = 54,
  OpOr = 55,
  OpRationalPower = 56,
  OpBesselJ = 57,
  OpFloor = 58,
  OpCeil = 59,
  OpIf = 60,
  OpBranch = 61,
  OpRealPart = 62,
  OpImagPart = 63,
  OpArg = 64,
  OpPushI = 65,
  OpMod = 66,
  OpMin = 67,
  OpMax = 68,
  OpClamp = 69,
  OpAbort = 70,
  OpStorePop = 71,
  OpLoopTest = 72,
  OpLoopIncrement = 73,
  OpLoopBack = 74,
  OpEnd = 75,
};

inline constexpr uint32_t kOpcodeCount = 76;

// What follows the opcode word.
enum class OperandKind : uint8_t { kNone, kConstant, kInteger, kIntegerAndJump };

// Static description of one opcode: its name for listings and its stack effect. `pops` counts the
// values consumed (the top included); -1 means "the integer operand" (the chains) and -2 "twice
// the integer operand" (OpBranch).
struct OpcodeInfo {
  const char* name;
  OperandKind operand;
  int8_t pops;
  int8_t pushes;
};

// The one table of the instruction set, indexed by opcode.
extern const OpcodeInfo kOpcodeTable[kOpcodeCount];

// Name of an opcode for listings ("?" above 75).
const char* OpcodeName(uint32_t op);

// How the machines run an instruction: its own opcode (76 for every opcode above 75), or one of
// the combined handlers below that run it together with the next instruction. The combined
// handlers give exactly the results of the instructions in turn (two, or three for the slot
// pairs); an instruction reached by a jump still runs alone through its own dispatch code.
enum DispatchCode : uint32_t {
  kDispatchNothing = kOpcodeCount,  // an opcode above 75
  kDispatchLoadSlotAdd,
  kDispatchLoadSlotMultiply,
  kDispatchLoadSlotDivide,
  kDispatchPushConstantAdd,
  kDispatchPushConstantMultiply,
  kDispatchPushConstantDivide,
  kDispatchLoadSlotSin,
  kDispatchLoadSlotCos,
  kDispatchLoadSlotSquare,
  kDispatchLoadSlotExp,
  kDispatchLoadSlotLoadSlotAdd,       // two slots pushed and added: one value pushed
  kDispatchLoadSlotLoadSlotMultiply,  // two slots pushed and multiplied
  kDispatchAddLoopIncrement,   // a sum's accumulation, then its increment
  kDispatchLoopIncrementBack,  // increment, back jump and the loop test in one step
  kDispatchLoopTestAlone,      // the test of a sum alone: no sum inside it, inside none
  kDispatchCount,
};

// One instruction: 16 bytes. `c` is read only by OpPushConstant; `i.jump` only by the loop pair.
// `dispatch` is kept by the emitters (the opcode) and by ResolveJumpLabels (combined pairs); it is
// not part of the program's meaning and listings do not show it.
struct BytecodeInstruction {
  uint32_t op;
  uint32_t dispatch;
  union {
    double c;
    struct {
      int32_t k;
      int32_t jump;
    } i;
  };
};
static_assert(sizeof(BytecodeInstruction) == 16, "instructions are 16 bytes");

// A compiled program. `owner` is the function whose binding table OpPushBinding reads (null for
// codes compiled without bindings). `slotCount` is the number of evaluation slots the program may
// touch (at least 11); evaluators refuse to run it over a smaller slot array. `prologueLength`
// instructions at the start store derived coordinates and never end the run early. `verified` is
// 1 only while the instructions are the ones CheckCodeBalance accepted: the machines run nothing
// else; likewise a block plan lives only as long as the instructions it describes.
struct CompiledCode {
  uint8_t hasConditionals;
  uint8_t complex;
  uint8_t failed;
  uint8_t verified;
  CompiledFunction* owner;
  BytecodeInstruction* instructions;
  int32_t count;
  int32_t capacity;
  int32_t slotCount;
  int32_t prologueLength;
  // Most values on the stack at once, from CheckCodeBalance; -1 when not known (hand-built).
  int32_t maxDepth;
  // Storage for the lone OpEnd of a code whose emission failed: it needs no allocation.
  BytecodeInstruction endOnly;
  // What the block machines know of the verified instructions (block_plan.h): one allocation,
  // built by the compile entries, freed by every change to the instructions; null when none.
  BlockPlan* blockPlan;
};

inline constexpr int kFixedSlotCount = 11;  // u, v, parameter, x, y, z, w, r, rho, theta, phi

// Loops open at once in a sound program (the compiler nests at most 32 sums).
inline constexpr int kMaxLoopNesting = 64;

// Allocates a zeroed code record from the memory budget; null when refused (nothing posted).
CompiledCode* NewCompiledCode();
// Frees the instruction array and the record; null is ignored.
void FreeCompiledCode(CompiledCode* code);
// Empties the instruction array (frees it) and clears the flags; the owner is kept.
void ResetCompiledCode(CompiledCode* code);

// Append one instruction (the code is unverified until ResolveJumpLabels runs again). On a refused
// growth the code's failed flag is set and nothing is appended; later appends to a failed code do
// nothing. Return 1 on success, 0 on failure.
int EmitOp(CompiledCode* code, uint32_t op);
int EmitOpWithOperand(CompiledCode* code, uint32_t op, int32_t k);
int EmitConstant(CompiledCode* code, uint32_t op, double c);

// Inserts `n` instructions at `position`, shifting the rest up. Returns 1 on success, 0 (failed
// flag set) when the array cannot grow. Jump distances must be resolved again afterwards.
int InsertInstructions(CompiledCode* code, int32_t position, const BytecodeInstruction* items, int32_t n);

// Turns a code into the lone OpEnd held inside the record (no allocation). Sets the failed flag;
// the code stays unverified and evaluates to undefined.
void MakeEndOnlyCode(CompiledCode* code);

// Replaces the program by the verified [PushConstant NaN, End]; used for programs that cannot be
// run soundly. Falls back to MakeEndOnlyCode when even that cannot be stored.
void MakeUndefinedCode(CompiledCode* code);

// Finishes a code: writes the jump distance b - a into every OpLoopTest at a and the first
// OpLoopBack at b >= a with the same operand, chooses the dispatch codes (combined pairs, and the
// tests of sums alone, whose work the machines do not count against the work limit), then
// verifies the program once and records the outcome (`verified`, `maxDepth`). Must run after
// every insertion. An OpLoopTest without partner gets distance -1 and fails the check.
void ResolveJumpLabels(CompiledCode* code);

// Static check of a finished program: no pop below the bottom, every loop properly paired and
// nested, its body balanced and never reaching below the value it found on top, every slot
// operand inside [0, slotCount), and exactly one value at OpEnd. Returns true when the program
// is sound to run. `maxDepth` (optional) receives the most values the program holds at once.
bool CheckCodeBalance(const CompiledCode* code, int32_t* maxDepth = nullptr);
