// The kernel's start-up and the shell's flags: start-up resets the budget and the count,
// probes the machine, makes the node pools once and installs the alert presenter; the
// document's modified mark is left alone while a demo runs.
#include "kernel/kernel_startup.h"

#include <gtest/gtest.h>

#include "kernel/application_state.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/diagnostics/message_alert.h"
#include "kernel/interaction/cursors.h"
#include "kernel/text/number_settings.h"
#include "tests/kernel/memory/memory_test_support.h"

namespace {

// Start-up touches every part's state: all of it goes back to the defaults afterwards.
class KernelStartup : public MemoryBudgetTest {
 protected:
  void TearDown() override {
    MemoryBudgetTest::TearDown();
    ResetErrorRegister();
    ResetMessageAlertForTests();
    ResetApplicationStateForTests();
    ResetNumberSettingsForTests();
    ResetCursorsForTests();
    InstallMessageAlertPresenter();
  }
};

TEST_F(KernelStartup, SetsBudgetAndProbesAndInstallsThePresenter) {
  SetMemoryBudget(4096);
  SetBytesInUse(999);
  SetPendingErrorPresenter(nullptr);
  InitApplicationGlobals();
  EXPECT_EQ(GetMemoryBudget(), PhysicalMemoryBytes());
  EXPECT_EQ(GetBytesInUse(), 0u);
  const int line = CacheLineBytes();
  EXPECT_TRUE(line >= 16 && (line & (line - 1)) == 0) << line;  // a power of two
  EXPECT_FALSE(InitTypesettingKernel());  // the node pools exist already
  PostError(kErrorOutOfMemory);
  ShowPendingError();
  EXPECT_EQ(CapturedAlerts().size(), 1u);
}

TEST_F(KernelStartup, DocumentModifiedMarkIsLeftAloneWhileADemoRuns) {
  static int calls;
  calls = 0;
  SetDocumentModified(nullptr, true);  // no document layer yet: nothing happens
  SetDocumentModifiedHook([](void*, bool) { ++calls; });
  SetDocumentModified(nullptr, true);
  SetDemoRunning(true);
  SetDocumentModified(nullptr, false);
  EXPECT_EQ(calls, 1);
  SetDemoRunning(false);
  SetDocumentModified(nullptr, false);
  EXPECT_EQ(calls, 2);
}

}  // namespace
