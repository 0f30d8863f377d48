// The output-buffer stack: growth keeps earlier bytes, a third nested buffer is refused
// without disturbing the second, and injected allocation failures leave a clean,
// terminated prefix and balanced memory accounting. Also the number field and digit setting
// that the writers rely on.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kernel/text/number_settings.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/text/number_services.h"
#include "kernel/text/output_buffer.h"

namespace {

class OutputBufferTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetOutputBuffers();
    ResetMemoryBudgetForTest();
    bytesBefore_ = GetBytesInUse();
  }
  void TearDown() override {
    ResetOutputBuffers();
    ResetMemoryBudgetForTest();
    EXPECT_EQ(GetBytesInUse(), bytesBefore_);
  }
  size_t bytesBefore_ = 0;
};

char PatternByte(size_t i) { return static_cast<char>('a' + i % 26); }

TEST_F(OutputBufferTest, GrowsBy1024AndKeepsEarlierBytes) {
  ASSERT_NE(BeginOutputBuffer(), nullptr);
  EXPECT_EQ(CurrentOutputBuffer()->capacity, 1024u);
  for (size_t i = 0; i < 1500; ++i) EmitChar(PatternByte(i));
  EXPECT_EQ(CurrentOutputBuffer()->capacity, 2048u);
  EXPECT_TRUE(CheckOutputBuffers());
  size_t length = 0;
  char* text = EndOutputBuffer(&length);
  ASSERT_NE(text, nullptr);
  ASSERT_EQ(length, 1500u);
  for (size_t i = 0; i < 1500; ++i) ASSERT_EQ(text[i], PatternByte(i)) << i;
  EXPECT_EQ(text[1500], '\0');
  FreeMemory(text);
  EXPECT_EQ(OutputBufferDepth(), 0);
}

TEST_F(OutputBufferTest, ThirdNestedBufferIsRefusedAndLeavesTheSecondIntact) {
  ASSERT_NE(BeginOutputBuffer(), nullptr);
  EmitString("outer");
  ASSERT_NE(BeginOutputBuffer(), nullptr);
  EmitString("inner");
  EXPECT_EQ(BeginOutputBuffer(), nullptr);
  EmitString("lost");  // goes nowhere while the refused level is open
  EXPECT_EQ(EndOutputBuffer(), nullptr);
  EXPECT_EQ(OutputBufferDepth(), 2);
  EmitString("+");
  char* innerText = EndOutputBuffer();
  char* outerText = EndOutputBuffer();
  EXPECT_STREQ(innerText, "inner+");
  EXPECT_STREQ(outerText, "outer");
  FreeMemory(innerText);
  FreeMemory(outerText);
  EXPECT_EQ(EndOutputBuffer(), nullptr);  // nothing open
  EmitChar('x');                           // nothing open: no effect, no crash
  EXPECT_TRUE(CheckOutputBuffers());
}

TEST_F(OutputBufferTest, MissingFirstBlockMakesEmitsHarmless) {
  FailAllocationAt(1);
  EXPECT_EQ(BeginOutputBuffer(), nullptr);
  EXPECT_EQ(OutputBufferDepth(), 1);
  EmitString("abc");
  EXPECT_TRUE(CheckOutputBuffers());
  EXPECT_EQ(EndOutputBuffer(), nullptr);
  EXPECT_EQ(OutputBufferDepth(), 0);
}

TEST_F(OutputBufferTest, FailedGrowthTruncatesToATerminatedPrefix) {
  ASSERT_NE(BeginOutputBuffer(), nullptr);
  FailAllocationAt(1);  // the next counted allocation is the first growth
  for (size_t i = 0; i < 1500; ++i) EmitChar(PatternByte(i));
  FailAllocationAt(0);
  EmitString("later");  // dropped too: the text stays a prefix
  EXPECT_TRUE(CurrentOutputBuffer()->truncated);
  size_t length = 0;
  char* text = EndOutputBuffer(&length);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(length, 1023u);
  EXPECT_EQ(std::strlen(text), 1023u);
  for (size_t i = 0; i < length; ++i) ASSERT_EQ(text[i], PatternByte(i));
  FreeMemory(text);
}

TEST_F(OutputBufferTest, ResetFreesOpenBuffers) {
  for (int i = 0; i < 3; ++i) BeginOutputBuffer();
  EmitString("x");
  ResetOutputBuffers();  // the fixture's byte count shows both blocks freed
  EXPECT_EQ(OutputBufferDepth(), 0);
  EXPECT_NE(BeginOutputBuffer(), nullptr);
  FreeMemory(EndOutputBuffer());
}

TEST_F(OutputBufferTest, NumberFieldIsABlankAndSixteenDigits) {
  struct Case { double value; const char* text; };
  const Case cases[] = {{2.0, " 2"}, {1.0 / 3.0, " 0.3333333333333333"}, {-1e20, " -1e+20"}};
  for (const Case& c : cases) {
    BeginOutputBuffer();
    WriteNumberField(c.value);
    char* text = EndOutputBuffer();
    EXPECT_STREQ(text, c.text);
    FreeMemory(text);
  }
}

TEST(NumberServices, DocumentDigitsAreClampedToOneThroughSeventeen) {
  const int saved = GetDisplayDigits();
  const int cases[][2] = {{12, 12}, {0, 1}, {-3, 1}, {40, 17}, {17, 17}, {1, 1}};
  for (const auto& c : cases) {
    ApplyDocumentNumberFormat(c[0]);
    EXPECT_EQ(GetDisplayDigits(), c[1]);
  }
  SetDisplayDigits(saved);
}

TEST(NumberServices, SeparatorComesFromTheUserLocaleAndNumericStaysC) {
  const char saved = GetDecimalSeparator();
  const char* oldAll = std::getenv("LC_ALL");
  std::string savedAll = oldAll ? oldAll : "";
  setenv("LC_ALL", "de_DE.UTF-8", 1);
  EXPECT_EQ(InitDecimalSeparatorFromLocale(), ',');
  EXPECT_EQ(GetDecimalSeparator(), ',');
  EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(InitDecimalSeparatorFromLocale(), '.');
  EXPECT_EQ(GetDecimalSeparator(), '.');
  if (oldAll) setenv("LC_ALL", savedAll.c_str(), 1); else unsetenv("LC_ALL");
  SetDecimalSeparator(saved);
}

}  // namespace
