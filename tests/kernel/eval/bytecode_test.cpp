// The instruction set table, the emitters, jump resolution, the static balance check and the
// listings of the disassembler.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "kernel/eval/bytecode.h"
#include "kernel/eval/disassembler.h"
#include "kernel/memory/memory_budget.h"

namespace {

class BytecodeTest : public ::testing::Test {
 protected:
  void TearDown() override { FailAllocationAt(0); }
};

TEST_F(BytecodeTest, OpcodeTableNamesEveryOpcodeInOrder) {
  // Opcodes 0..75 in order, copied by hand from the instruction set's table (the trigonometric
  // block follows the node kinds sin .. asech).
  const char* const kNames =
      "PushConstant LoadSlot PushDefinedName StoreSlot Swap PushColumnValue PushRowValue PushBinding Add "
      "NoOperation9 Multiply Divide Power Atan2Positive Hypot MakeInterval Negate Abs Sign Sqrt Exp Log10 Ln "
      "Factorial Square Sin Cos Tan Cot Csc Sec Asin Acos Atan Acot Acsc Asec Sinh Cosh Tanh Coth Csch Sech "
      "Asinh Acosh Atanh Acoth Acsch Asech LessChain GreaterChain LessEqualChain GreaterEqualChain EqualChain "
      "And Or RationalPower BesselJ Floor Ceil If Branch RealPart ImagPart Arg PushI Mod Min Max Clamp Abort "
      "StorePop LoopTest LoopIncrement LoopBack End";
  std::string all;
  for (uint32_t op = 0; op < kOpcodeCount; ++op) all += std::string(op > 0 ? " " : "") + OpcodeName(op);
  EXPECT_EQ(all, kNames);
  EXPECT_STREQ(OpcodeName(76), "?");
  EXPECT_EQ(OpSin, 25u);
  EXPECT_EQ(OpAsech, 48u);
  EXPECT_EQ(OpEnd, 75u);
  EXPECT_EQ(sizeof(BytecodeInstruction), 16u);
  // The loop pair alone carries a jump; only PushConstant carries a double.
  for (uint32_t op = 0; op < kOpcodeCount; ++op) {
    EXPECT_EQ(kOpcodeTable[op].operand == OperandKind::kIntegerAndJump, op == OpLoopTest || op == OpLoopBack) << op;
    EXPECT_EQ(kOpcodeTable[op].operand == OperandKind::kConstant, op == OpPushConstant) << op;
  }
}

TEST_F(BytecodeTest, EmittersAppendAndListingShowsOperands) {
  CompiledCode* code = NewCompiledCode();
  ASSERT_NE(code, nullptr);
  EXPECT_EQ(EmitConstant(code, OpPushConstant, 0.1), 1);
  EXPECT_EQ(EmitOpWithOperand(code, OpLoadSlot, 3), 1);
  EXPECT_EQ(EmitOp(code, OpAdd), 1);
  EXPECT_EQ(EmitOp(code, OpEnd), 1);
  EXPECT_EQ(DisassembleCode(code), "PushConstant 0.1\nLoadSlot 3\nAdd\nEnd\n");
  EXPECT_EQ(DisassembleCodeInline(code), "PushConstant 0.1, LoadSlot 3, Add, End");
  int32_t deepest = 0;
  EXPECT_TRUE(CheckCodeBalance(code, &deepest));
  EXPECT_EQ(deepest, 2);
  FreeCompiledCode(code);
  EXPECT_EQ(DisassembleCode(nullptr), "");
}

TEST_F(BytecodeTest, GrowthKeepsEveryInstruction) {
  CompiledCode* code = NewCompiledCode();
  for (int i = 0; i < 1000; ++i) EmitConstant(code, OpPushConstant, i);
  ASSERT_EQ(code->count, 1000);
  for (int i = 0; i < 1000; ++i) EXPECT_EQ(code->instructions[i].c, i);
  FreeCompiledCode(code);
}

TEST_F(BytecodeTest, RefusedGrowthSetsTheFailedFlagAndStopsAppending) {
  CompiledCode* code = NewCompiledCode();
  EmitOp(code, OpEnd);
  FailAllocationAt(1, true);
  for (int i = 0; i < 20; ++i) EmitOp(code, OpAdd);  // the first array holds 16
  FailAllocationAt(0);
  EXPECT_EQ(code->failed, 1);
  EXPECT_EQ(code->count, 16);
  EXPECT_EQ(EmitOp(code, OpAdd), 0);  // stays failed
  MakeEndOnlyCode(code);
  EXPECT_EQ(DisassembleCodeInline(code), "End");
  FreeCompiledCode(code);
}

TEST_F(BytecodeTest, EndOnlyCodeNeedsNoAllocation) {
  CompiledCode* code = NewCompiledCode();
  FailAllocationAt(1, true);
  MakeUndefinedCode(code);  // [PushConstant NaN, End] cannot be stored: falls back to [End]
  FailAllocationAt(0);
  EXPECT_EQ(DisassembleCodeInline(code), "End");
  FreeCompiledCode(code);
  code = NewCompiledCode();
  MakeUndefinedCode(code);
  EXPECT_EQ(DisassembleCodeInline(code), "PushConstant nan, End");
  FreeCompiledCode(code);
}

TEST_F(BytecodeTest, JumpResolutionPairsEachTestWithTheNextBackOfTheSameSlot) {
  CompiledCode* code = NewCompiledCode();
  code->slotCount = 15;
  const uint32_t ops[] = {OpPushConstant, OpPushConstant, OpStorePop,    OpPushConstant, OpStorePop,
                          OpLoopTest,     OpPushConstant, OpPushConstant, OpStorePop,    OpPushConstant,
                          OpStorePop,     OpLoopTest,     OpLoadSlot,    OpAdd,          OpLoopIncrement,
                          OpLoopBack,     OpAdd,          OpLoopIncrement, OpLoopBack,   OpEnd};
  const int32_t ks[] = {0, 0, 11, 0, 12, 11, 0, 0, 13, 0, 14, 13, 13, 0, 13, 13, 0, 11, 11, 0};
  for (size_t i = 0; i < sizeof ops / sizeof ops[0]; ++i) {
    if (ops[i] == OpPushConstant) {
      EmitConstant(code, ops[i], 1.0);
    } else {
      EmitOpWithOperand(code, ops[i], ks[i]);
    }
  }
  ResolveJumpLabels(code);
  EXPECT_EQ(code->instructions[5].i.jump, 13);   // outer: 5 -> 18
  EXPECT_EQ(code->instructions[18].i.jump, 13);
  EXPECT_EQ(code->instructions[11].i.jump, 4);   // inner: 11 -> 15
  EXPECT_EQ(code->instructions[15].i.jump, 4);
  EXPECT_TRUE(CheckCodeBalance(code));
  // An insertion shifts nothing relative: the distances stay, and stay checkable.
  BytecodeInstruction extra{};
  extra.op = OpNoOperation9;
  ASSERT_EQ(InsertInstructions(code, 0, &extra, 1), 1);
  ResolveJumpLabels(code);
  EXPECT_EQ(code->instructions[6].op, static_cast<uint32_t>(OpLoopTest));
  EXPECT_EQ(code->instructions[6].i.jump, 13);
  EXPECT_TRUE(CheckCodeBalance(code));
  FreeCompiledCode(code);
}

TEST_F(BytecodeTest, ListingOfConstantsIsLocaleFreeAndRoundTrips) {
  CompiledCode* code = NewCompiledCode();
  EmitConstant(code, OpPushConstant, 2.718281828459045);
  EmitConstant(code, OpPushConstant, std::numeric_limits<double>::infinity());
  EmitConstant(code, OpPushConstant, -0.5);
  EmitOp(code, OpEnd);
  EXPECT_EQ(DisassembleCodeInline(code), "PushConstant 2.718281828459045, PushConstant inf, PushConstant -0.5, End");
  FreeCompiledCode(code);
}

}  // namespace
