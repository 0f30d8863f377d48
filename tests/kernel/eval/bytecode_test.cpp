// The code record and its emitters under refused allocations, jump resolution, the one static
// verification of a finished code, and the listings of the disassembler.
#include <gtest/gtest.h>

#include "kernel/eval/bytecode.h"
#include "kernel/eval/disassembler.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/numeric/numeric_constants.h"
#include "tests/kernel/eval/evaluation_test_support.h"

using namespace evaltest;

namespace {

class BytecodeTest : public EvaluationFixture {};

TEST_F(BytecodeTest, ListingShowsOperandsInShortestRoundTripForm) {
  CompiledCode* code = Code({C(0.1), C(-kPositiveInfinity), O(OpSwap), O(OpLoadSlot, 3), O(OpAdd), O(OpAdd), O(OpEnd)});
  EXPECT_EQ(DisassembleCode(code), "PushConstant 0.1\nPushConstant -inf\nSwap\nLoadSlot 3\nAdd\nAdd\nEnd\n");
  EXPECT_TRUE(code->verified == 1 && code->maxDepth == 3);
  FreeCompiledCode(code);
  EXPECT_EQ(DisassembleCode(nullptr), "");
}

// A refused growth fails the code and stops appending; the undefined program then falls back to
// the lone OpEnd kept inside the record, which needs no allocation (and fails verification).
TEST_F(BytecodeTest, RefusedGrowthFailsTheCodeAndFallsBackToTheBuiltInEnd) {
  CompiledCode* code = NewCompiledCode();
  FailAllocationAt(2, true);
  for (int i = 0; i < 20; ++i) EmitConstant(code, OpPushConstant, i);  // the first array holds 16
  EXPECT_TRUE(code->failed == 1 && code->count == 16 && code->instructions[15].c == 15);
  EXPECT_EQ(EmitOp(code, OpAdd), 0);  // stays failed
  MakeUndefinedCode(code);
  FailAllocationAt(0);
  EXPECT_EQ(DisassembleCodeInline(code), "End");
  EXPECT_EQ(code->verified, 0);
  MakeUndefinedCode(code);
  EXPECT_EQ(DisassembleCodeInline(code), "PushConstant nan, End");
  EXPECT_EQ(code->verified, 1);
  FreeCompiledCode(code);
}

TEST_F(BytecodeTest, JumpResolutionPairsEachTestWithTheNextBackOfTheSameSlot) {
  const std::vector<BytecodeInstruction> nested = {
      C(0),  C(1), O(OpStorePop, 11), C(3), O(OpStorePop, 12), O(OpLoopTest, 11),                   // outer
      C(0),  C(1), O(OpStorePop, 13), C(2), O(OpStorePop, 14), O(OpLoopTest, 13), O(OpLoadSlot, 13),  // inner
      O(OpAdd), O(OpLoopIncrement, 13), O(OpLoopBack, 13), O(OpAdd), O(OpLoopIncrement, 11), O(OpLoopBack, 11),
      O(OpEnd)};
  CompiledCode* code = Code(nested, 15);
  EXPECT_EQ(code->instructions[5].i.jump, 13);  // outer: 5 -> 18
  EXPECT_EQ(code->instructions[18].i.jump, 13);
  EXPECT_EQ(code->instructions[11].i.jump, 4);  // inner: 11 -> 15
  EXPECT_EQ(code->instructions[15].i.jump, 4);
  EXPECT_EQ(code->verified, 1);
  ASSERT_TRUE(EnsureEvalScratch(15));
  EXPECT_EQ(RunRealCode(code), 9.0);  // (1 + 2) for each of three outer steps

  // An insertion unverifies the code; resolving again keeps the distances and verifies it.
  const BytecodeInstruction nothing = O(OpNoOperation9);
  ASSERT_EQ(InsertInstructions(code, 0, &nothing, 1), 1);
  EXPECT_EQ(code->verified, 0);
  ResolveJumpLabels(code);
  EXPECT_EQ(code->instructions[6].i.jump, 13);
  EXPECT_EQ(code->verified, 1);
  FreeCompiledCode(code);
}

TEST_F(BytecodeTest, VerificationRejectsUnsoundPrograms) {
  struct CheckCase {
    std::vector<BytecodeInstruction> items;
    bool sound;
  };
  const CheckCase cases[] = {
      {{C(1), O(OpEnd)}, true},
      {{O(OpAdd), O(OpEnd)}, false},                 // pops below the bottom
      {{C(1), C(2), O(OpEnd)}, false},               // two values at the end
      {{C(1)}, false},                               // no end
      {{O(OpLoadSlot, 13), O(OpEnd)}, false},        // slot beyond the code's slots
      {{O(OpLoadSlot, -1), O(OpEnd)}, false},
      {{C(1), C(2), O(OpLessChain, 3), O(OpEnd)}, false},
      {{C(1), O(OpLoopTest, 11), O(OpEnd)}, false},  // loop without its back jump
      {{C(1), O(OpLoopBack, 11), O(OpEnd)}, false},  // back jump without its test
      {{C(1), C(2), O(OpAbort), O(OpEnd)}, true},    // never runs past the abort
      {{C(0), C(1), O(OpStorePop, 11), C(2), O(OpStorePop, 12), O(OpLoopTest, 11), O(OpAbort),
        O(OpLoopIncrement, 11), O(OpLoopBack, 11), O(OpEnd)},
       false},  // an abort that a loop may skip
      {{C(5), C(0), C(1), O(OpStorePop, 11), C(2), O(OpStorePop, 12), O(OpLoopTest, 11), C(3), O(OpAdd),
        O(OpLoopIncrement, 11), O(OpLoopBack, 11), O(OpAdd), O(OpEnd)},
       true},
      {{C(5), C(0), C(1), O(OpStorePop, 11), C(2), O(OpStorePop, 12), O(OpLoopTest, 11), O(OpAdd), C(3),
        O(OpLoopIncrement, 11), O(OpLoopBack, 11), O(OpAdd), O(OpEnd)},
       false},  // the body consumes a value below the one it found on top
  };
  for (const CheckCase& c : cases) {
    CompiledCode* code = Code(c.items, 13);
    EXPECT_EQ(CheckCodeBalance(code), c.sound) << DisassembleCodeInline(code);
    EXPECT_EQ(code->verified, c.sound ? 1 : 0);
    FreeCompiledCode(code);
  }
}

}  // namespace
