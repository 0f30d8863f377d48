// C-string primitives: hand-checked tables, including the odd rule that an empty prefix is
// never a prefix.
#include <gtest/gtest.h>

#include <cstring>

#include "kernel/memory/memory_budget.h"
#include "kernel/text/string_helpers.h"

namespace {

TEST(StringHelpers, StartsWithMeansFirstOccurrenceAtStart) {
  struct Case { const char* s; const char* prefix; int result; };
  const Case cases[] = {
      {"abcabc", "bc", 0}, {"abcabc", "", 0},   {"abcabc", "ab", 1}, {"abcabc", "abcabc", 1},
      {"ab", "abc", 0},    {"", "a", 0},        {"", "", 0},         {"aab", "ab", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(CStringStartsWith(c.s, c.prefix), c.result) << c.s << "|" << c.prefix;
  EXPECT_EQ(CStringStartsWith(nullptr, "a"), 0);
  EXPECT_EQ(CStringStartsWith("a", nullptr), 0);
}

TEST(StringHelpers, EqualComparesUpToTheNul) {
  const char withTail[] = {'a', 'b', '\0', 'x'};
  struct Case { const char* a; const char* b; int result; };
  const Case cases[] = {{"abc", "abc", 1}, {"abc", "abd", 0}, {"abc", "ab", 0}, {"", "", 1},
                        {withTail, "ab", 1}, {nullptr, nullptr, 1}, {nullptr, "", 0}};
  for (const Case& c : cases) EXPECT_EQ(CStringEqual(c.a, c.b), c.result) << (c.a ? c.a : "null") << "|" << (c.b ? c.b : "null");
}

TEST(StringHelpers, LengthAndCopyIncludeTheNul) {
  EXPECT_TRUE(CStringLength("hello") == 5u && CStringLength("") == 0u && CStringLength(nullptr) == 0u);
  char buffer[8];
  std::memset(buffer, 'z', sizeof buffer);
  EXPECT_EQ(CStringCopy(buffer, "abc"), buffer);
  EXPECT_EQ(std::memcmp(buffer, "abc\0zzzz", 8), 0);
  // Overlapping copy within one buffer shifts correctly.
  char shifting[8] = "xabcd";
  CStringCopy(shifting, shifting + 1);
  EXPECT_STREQ(shifting, "abcd");
  CStringCopy(buffer, nullptr);
  EXPECT_STREQ(buffer, "");
}

TEST(StringHelpers, BoundedCopyCutsShortAndAlwaysTerminates) {
  struct Case { const char* text; size_t capacity; size_t stored; const char* bytes; };
  // Hand-checked: capacity counts the NUL; a 'z' marks a byte left untouched.
  const Case cases[] = {{"abc", 8, 3, "abc\0zzzz"}, {"abc", 4, 3, "abc\0zzzz"}, {"abc", 3, 2, "ab\0zzzzz"},
                        {"abc", 1, 0, "\0zzzzzzz"}, {"", 8, 0, "\0zzzzzzz"},    {nullptr, 8, 0, "\0zzzzzzz"},
                        {"abc", 0, 0, "zzzzzzzz"}};
  for (const Case& c : cases) {
    char buffer[8];
    std::memset(buffer, 'z', sizeof buffer);
    EXPECT_EQ(CStringCopyBounded(buffer, c.capacity, c.text), c.stored) << c.capacity;
    EXPECT_EQ(std::memcmp(buffer, c.bytes, 8), 0) << (c.text ? c.text : "null") << " into " << c.capacity;
  }
  EXPECT_EQ(CStringCopyBounded(nullptr, 8, "abc"), 0u);
}

TEST(StringHelpers, CopyHandleToTempCopiesBytesIntoACountedHandle) {
  ResetMemoryBudgetForTest();
  const size_t handlesBefore = LiveHandleCount();
  const size_t bytesBefore = GetBytesInUse();
  Handle source = TempNewHandle(5);
  ASSERT_NE(source, nullptr);
  std::memcpy(source->data, "a\0b\"c", 5);
  Handle copy = CopyHandleToTemp(source);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy->data, source->data);
  EXPECT_EQ(GetHandleSize(copy), 5u);
  EXPECT_EQ(std::memcmp(copy->data, "a\0b\"c", 5), 0);
  EXPECT_GT(GetBytesInUse(), bytesBefore);  // the copy is counted
  DisposeCountedHandle(copy);
  EXPECT_EQ(GetBytesInUse(), bytesBefore);

  FailAllocationAt(1);
  EXPECT_EQ(CopyHandleToTemp(source), nullptr);
  ResetMemoryBudgetForTest();
  EXPECT_EQ(CopyHandleToTemp(nullptr), nullptr);

  MemDisposeHandle(source);
  MemDisposeHandle(nullptr);
  EXPECT_EQ(LiveHandleCount(), handlesBefore);
  EXPECT_EQ(GetBytesInUse(), bytesBefore);
}

}  // namespace
