// The fixture of every test that touches the counting allocator: the budget and the byte
// count are put back after each test (injection disarmed, flag cleared), so a test that
// moves the count by hand cannot disturb the next one.
#pragma once

#include <gtest/gtest.h>

#include "kernel/memory/memory_budget.h"

class MemoryBudgetTest : public ::testing::Test {
 protected:
  void SetUp() override { FailAllocationAt(0); }
  void TearDown() override {
    ResetMemoryBudgetForTest();
    SetMemoryBudget(savedBudget_);
    SetBytesInUse(savedBytes_);
  }

 private:
  std::uint64_t savedBudget_ = GetMemoryBudget();
  std::size_t savedBytes_ = GetBytesInUse();
};
