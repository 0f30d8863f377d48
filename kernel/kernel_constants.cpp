// The kernel half of typesetting start-up and the process-wide typesetting state record the
// kernel reads (current editor, prompt caret switch).
#include "kernel/kernel_constants.h"

#include "kernel/expr_node.h"
#include "kernel/typeset_records.h"

namespace {

TypesettingState gTypesetting;
bool gKernelInitialised = false;

static_assert(kUndefinedReal != kUndefinedReal, "NaN must not equal itself");
static_assert(kPositiveInfinity > std::numeric_limits<double>::max());

}  // namespace

TypesettingState& TypesettingGlobals() { return gTypesetting; }

bool InitTypesettingKernel() {
  if (gKernelInitialised) return false;
  CreateNodePools();
  gKernelInitialised = true;
  return true;
}

void ResetTypesettingKernelForTest() { gKernelInitialised = false; }
