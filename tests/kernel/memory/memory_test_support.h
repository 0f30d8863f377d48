// Test fixture for code that touches the counting allocator: saves the budget and the
// byte count, and puts back both (and clears injections and the flag) after each test,
// so a test that moves the count by hand cannot disturb the next one.
#pragma once

#include <gtest/gtest.h>

#include "kernel/memory/memory_budget.h"

class MemoryBudgetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedBudget_ = GetMemoryBudget();
    savedBytes_ = GetBytesInUse();
    FailAllocationAt(0);
  }
  void TearDown() override {
    ResetMemoryBudgetForTest();
    SetMemoryBudget(savedBudget_);
    SetBytesInUse(savedBytes_);
  }

 private:
  std::uint64_t savedBudget_ = 0;
  std::size_t savedBytes_ = 0;
};
