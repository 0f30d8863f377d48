// Test support for cooperative workers: the fixture every worker test starts from. Timers,
// threads and the memory budget start fresh; at the end every worker has been shut down and
// no thread closure is left behind.
#pragma once

#include <gtest/gtest.h>

#include "kernel/memory/memory_budget.h"
#include "kernel/threads/threads.h"
#include "kernel/threads/timers.h"
#include "platform/coop_threads.h"

class CoopWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetTimersForTests();
    ResetThreadsForTests();
    ResetMemoryBudgetForTest();
  }
  // Derived fixtures call this first: their workers may still hold what they free after it.
  void TearDown() override {
    ShutdownThreads();
    EXPECT_EQ(LiveThreadClosures(), 0);
    ResetTimersForTests();
  }
};
