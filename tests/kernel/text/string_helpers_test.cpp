// C-string primitives and the handle copy: the odd rule that an empty prefix is never a prefix,
// bounded copies that always terminate, and a refused copy that leaves no handle behind.
#include <gtest/gtest.h>

#include <cstring>

#include "kernel/memory/memory_budget.h"
#include "kernel/text/string_helpers.h"

namespace {

TEST(StringHelpers, ComparisonsAndCopies) {
  EXPECT_TRUE(CStringStartsWith("abcabc", "ab") && !CStringStartsWith("abcabc", "bc") && !CStringStartsWith("abc", ""));
  const char withTail[] = {'a', 'b', '\0', 'x'};  // compared up to the NUL
  EXPECT_TRUE(CStringEqual(withTail, "ab") && CStringEqual(nullptr, nullptr) && !CStringEqual(nullptr, ""));
  // Capacity counts the NUL; a 'z' marks a byte left untouched.
  struct Case { const char* text; size_t capacity; size_t stored; const char* bytes; };
  const Case cases[] = {{"abc", 4, 3, "abc\0zzzz"}, {"abc", 3, 2, "ab\0zzzzz"}, {nullptr, 8, 0, "\0zzzzzzz"},
                        {"abc", 0, 0, "zzzzzzzz"}};
  for (const Case& c : cases) {
    char buffer[8];
    std::memset(buffer, 'z', sizeof buffer);
    EXPECT_EQ(CStringCopyBounded(buffer, c.capacity, c.text), c.stored) << c.capacity;
    EXPECT_EQ(std::memcmp(buffer, c.bytes, 8), 0) << c.capacity;
  }
  char shifting[8] = "xabcd";  // an overlapping copy within one buffer
  EXPECT_STREQ(CStringCopy(shifting, shifting + 1), "abcd");
}

TEST(StringHelpers, CopyHandleToTempCopiesBytesIntoACountedHandle) {
  ResetMemoryBudgetForTest();
  const size_t handles = LiveHandleCount(), bytes = GetBytesInUse();
  Handle source = TempNewHandle(5);
  std::memcpy(source->data, "a\0b\"c", 5);
  Handle copy = CopyHandleToTemp(source);
  EXPECT_TRUE(GetHandleSize(copy) == 5 && std::memcmp(copy->data, "a\0b\"c", 5) == 0 && GetBytesInUse() > bytes);
  DisposeCountedHandle(copy);
  FailAllocationAt(1);  // refused: no handle, nothing counted
  EXPECT_TRUE(CopyHandleToTemp(source) == nullptr && CopyHandleToTemp(nullptr) == nullptr);
  ResetMemoryBudgetForTest();
  MemDisposeHandle(source);
  EXPECT_TRUE(LiveHandleCount() == handles && GetBytesInUse() == bytes);
}

}  // namespace
