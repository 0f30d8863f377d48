// Start-up order matters only where a step reads what an earlier one set: the budget before
// the pools, the pools before anything builds a tree.
#include "kernel/kernel_startup.h"

#include <unistd.h>

#include "kernel/diagnostics/message_alert.h"
#include "kernel/interaction/cursors.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/text/number_services.h"
#include "kernel/threads/threads.h"
#include "kernel/trees/expr_node.h"

namespace {

struct MachineProbes {
  bool vectorUnit = true;   // SSE2 is part of the x86-64 baseline
  int cacheLineBytes = 64;
};

constinit MachineProbes probes;
constinit bool kernelInitialised = false;

}  // namespace

void InitApplicationGlobals() {
  SetMemoryBudget(PhysicalMemoryBytes());
  SetBytesInUse(0);
  const long line = sysconf(_SC_LEVEL1_DCACHE_LINESIZE);
  probes.cacheLineBytes = line > 0 ? static_cast<int>(line) : 64;
  InitDecimalSeparatorFromLocale();
  InitTypesettingKernel();
  LoadColorCursors();
  InstallMessageAlertPresenter();
}

void ShutdownApplicationKernel() {
  ShutdownThreads();
  ReleaseNodePools();
}

bool HasVectorUnit() { return probes.vectorUnit; }
int CacheLineBytes() { return probes.cacheLineBytes; }

bool InitTypesettingKernel() {
  if (kernelInitialised) return false;
  CreateNodePools();
  kernelInitialised = true;
  return true;
}

void ResetTypesettingKernelForTest() { kernelInitialised = false; }
