// The output-buffer stack: growth keeps earlier bytes, a third nested buffer is refused without
// disturbing the second, refused blocks leave a clean terminated prefix and balanced accounting.
#include <string>

#include "tests/kernel/trees/tree_test_support.h"

namespace {

using OutputBufferTest = tree_test::TreeTest;  // checks the counted heap comes back whole
using tree_test::TakeText;

char PatternByte(size_t i) { return static_cast<char>('a' + i % 26); }

// 1500 bytes need one growth; refusing it (or the first block) leaves what fitted, terminated.
TEST_F(OutputBufferTest, GrowthKeepsEarlierBytesAndARefusalTruncatesCleanly) {
  for (uint64_t refused : {0, 1, 2}) {
    FailAllocationAt(refused);
    BeginOutputBuffer();
    for (size_t i = 0; i < 1500; ++i) EmitChar(PatternByte(i));
    EmitString("-");
    EXPECT_TRUE(CheckOutputBuffers());
    size_t length = 0;
    char* text = EndOutputBuffer(&length);
    EXPECT_EQ(length, refused == 0 ? 1501u : refused == 1 ? 0u : 1023u) << refused;
    EXPECT_EQ(text == nullptr, refused == 1);
    for (size_t i = 0; i < length && i < 1500; ++i) ASSERT_EQ(text[i], PatternByte(i)) << i;
    EXPECT_TRUE(text == nullptr || text[length] == '\0');
    FreeMemory(text);
    EXPECT_EQ(OutputBufferDepth(), 0);
  }
}

TEST_F(OutputBufferTest, ThirdNestedBufferIsRefusedAndLeavesTheSecondIntact) {
  BeginOutputBuffer();
  EmitString("outer");
  BeginOutputBuffer();
  EmitString("inner");
  EXPECT_EQ(BeginOutputBuffer(), nullptr);
  EmitString("lost");  // goes nowhere while the refused level is open
  EXPECT_TRUE(EndOutputBuffer() == nullptr && OutputBufferDepth() == 2);
  EmitString("+");
  EXPECT_EQ(TakeText(EndOutputBuffer()), "inner+");
  EXPECT_EQ(TakeText(EndOutputBuffer()), "outer");
  EXPECT_EQ(EndOutputBuffer(), nullptr);  // nothing open
  EmitChar('x');                           // nothing open: no effect
  EXPECT_TRUE(CheckOutputBuffers());
}

}  // namespace
