// Shared set-up of the graphics suite: the graphics layer is initialised once for the whole
// executable (counted allocator, grid patterns), and each test draws into draw_test::Canvas.
#pragma once

#include <gtest/gtest.h>

#include "graphics/graphics_layer.h"
#include "kernel/memory/memory_budget.h"
#include "tests/platform/draw_test_support.h"

namespace graphics_test {

class GraphicsEnvironment : public testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(InitGraphicsLayer()); }
  void TearDown() override { ShutdownGraphicsLayer(); }
};

// Disarms allocation failures when a test ends, whatever happened in it.
struct FailureGuard {
  ~FailureGuard() { FailAllocationAt(0); }
};

}  // namespace graphics_test
