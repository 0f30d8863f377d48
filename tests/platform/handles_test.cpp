// Handle layer: sizes, locking, resizing, the test-only purge and the live-handle count.
// (The block primitives are proved through CopyBytes / ZeroBytes in the memory tests.)
#include "platform/handles.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(Handles, NewHandleHasSizeAndStorageAndEmptyOneHasNone) {
  const std::size_t live = LiveHandleCount();
  Handle h = TempNewHandle(100);
  Handle empty = TempNewHandle(0);
  ASSERT_TRUE(h && empty);
  EXPECT_EQ(GetHandleSize(h), 100u);
  ASSERT_NE(h->data, nullptr);
  std::memset(h->data, 0xAB, 100);  // ASan: the whole size is usable
  EXPECT_EQ(empty->data, nullptr);
  EXPECT_EQ(GetHandleSize(empty), 0u);
  EXPECT_EQ(LiveHandleCount(), live + 2);
  DisposeHandle(h);
  DisposeHandle(empty);
  EXPECT_EQ(LiveHandleCount(), live);
}

TEST(Handles, NullIsToleratedEverywhere) {
  const std::size_t live = LiveHandleCount();
  DisposeHandle(nullptr);
  HPurge(nullptr);
  HNoPurge(nullptr);
  HLock(nullptr);
  HUnlock(nullptr);
  EXPECT_FALSE(HandleIsLocked(nullptr));
  EXPECT_EQ(GetHandleSize(nullptr), 0u);
  EXPECT_FALSE(SetHandleSize(nullptr, 4));
  EXPECT_FALSE(PurgeHandleForTest(nullptr));
  EXPECT_FALSE(HandleIsPurged(nullptr));
  EXPECT_EQ(LiveHandleCount(), live);
}

TEST(Handles, NeverPurgeByThemselvesAndTestPurgeHonoursMarksAndLocks) {
  Handle plain = TempNewHandle(8);
  Handle marked = TempNewHandle(8);
  Handle locked = TempNewHandle(8);
  ASSERT_TRUE(plain && marked && locked);
  HPurge(marked);
  HPurge(locked);
  HLock(locked);
  EXPECT_FALSE(PurgeHandleForTest(plain));
  EXPECT_EQ(PurgeHandlesForTest(), 1u);  // only `marked`
  EXPECT_TRUE(HandleIsPurged(marked));
  EXPECT_EQ(marked->data, nullptr);
  EXPECT_EQ(GetHandleSize(marked), 0u);
  EXPECT_FALSE(SetHandleSize(marked, 8));  // a purged handle stays empty
  EXPECT_FALSE(HandleIsPurged(plain));
  EXPECT_FALSE(HandleIsPurged(locked));
  HUnlock(locked);
  EXPECT_TRUE(PurgeHandleForTest(locked));
  EXPECT_FALSE(PurgeHandleForTest(locked));  // already purged
  HNoPurge(plain);
  EXPECT_EQ(PurgeHandlesForTest(), 0u);
  DisposeHandle(plain);
  DisposeHandle(marked);
  DisposeHandle(locked);
}

TEST(Handles, ResizeKeepsLeadingBytes) {
  Handle h = TempNewHandle(16);
  for (int i = 0; i < 16; ++i) static_cast<unsigned char*>(h->data)[i] = static_cast<unsigned char>(i);
  ASSERT_TRUE(SetHandleSize(h, 100000));
  EXPECT_EQ(GetHandleSize(h), 100000u);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(static_cast<unsigned char*>(h->data)[i], i);
  ASSERT_TRUE(SetHandleSize(h, 4));
  EXPECT_EQ(GetHandleSize(h), 4u);
  ASSERT_TRUE(SetHandleSize(h, 0));
  EXPECT_EQ(h->data, nullptr);
  DisposeHandle(h);
}

TEST(Handles, LocksNestAndALockedHandleResizesOnlyInPlace) {
  Handle h = TempNewHandle(64);
  void* before = h->data;
  HLock(h);
  HLock(h);
  HUnlock(h);
  EXPECT_TRUE(HandleIsLocked(h));
  EXPECT_TRUE(SetHandleSize(h, 32));        // shrinking stays in place
  EXPECT_EQ(h->data, before);
  EXPECT_FALSE(SetHandleSize(h, 1 << 20));  // would have to move
  EXPECT_EQ(GetHandleSize(h), 32u);
  EXPECT_FALSE(SetHandleSize(h, 0));        // would free the block
  EXPECT_EQ(h->data, before);
  HUnlock(h);
  HUnlock(h);  // one too many: ignored
  EXPECT_FALSE(HandleIsLocked(h));
  EXPECT_EQ(h->lockCount, 0u);
  DisposeHandle(h);
}

}  // namespace
