// Application-shell services: the free-memory test against the heap limit, the short-memory
// test, start-up, the alert sink, and the process-wide settings.
#include "kernel/interaction/cursors.h"
#include "kernel/application_state.h"
#include "kernel/diagnostics/message_alert.h"
#include "kernel/kernel_startup.h"
#include "kernel/memory/memory_shortage.h"
#include "kernel/text/number_settings.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "kernel/diagnostics/error_register.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/memory/memory_budget.h"
#include "tests/kernel/memory/memory_test_support.h"

namespace {

class AppServices : public MemoryBudgetTest {
 protected:
  void SetUp() override {
    MemoryBudgetTest::SetUp();
    ResetErrorRegister();
    ResetMessageAlertForTests();
    ResetApplicationStateForTests();
    ResetNumberSettingsForTests();
    ResetCursorsForTests();
    InstallMessageAlertPresenter();
  }
  void TearDown() override {
    ResetErrorRegister();
    ResetMessageAlertForTests();
    ResetApplicationStateForTests();
    ResetNumberSettingsForTests();
    ResetCursorsForTests();
    InstallMessageAlertPresenter();
    MemoryBudgetTest::TearDown();
  }
};

TEST_F(AppServices, CheckFreeMemoryPostsSevenPastTheHeapLimit) {
  SetMemoryBudget(4096);  // heap limit 3072
  SetBytesInUse(2048);
  EXPECT_FALSE(CheckFreeMemory());
  EXPECT_FALSE(HasPendingError());
  EXPECT_FALSE(GetOutOfMemoryFlag());
  SetBytesInUse(3072);  // at the limit: not yet short
  EXPECT_FALSE(CheckFreeMemory());
  SetBytesInUse(3174);  // 3.1 KiB
  EXPECT_TRUE(CheckFreeMemory());
  EXPECT_EQ(PendingError(), kErrorOutOfMemory);
  EXPECT_TRUE(GetOutOfMemoryFlag());
  // The flag alone keeps answering true, and 7 is posted once.
  SetBytesInUse(0);
  ShowPendingError();
  EXPECT_TRUE(CheckFreeMemory());
  EXPECT_FALSE(HasPendingError());
  EXPECT_EQ(CapturedAlerts().size(), 1u);
}

// The short-stack half on a worker's own stack is shown in the worker tests.
TEST_F(AppServices, IsMemoryShortFollowsFlagAndBudgetInBothForms) {
  const std::size_t left = RemainingStackBytes();  // the main thread's stack is known
  EXPECT_NE(left, SIZE_MAX);
  EXPECT_GT(left, kShortStackBytes);
  EXPECT_FALSE(IsMemoryShort());
  EXPECT_FALSE(IsMemoryShort(1 << 20));
  SetOutOfMemoryFlag(true);
  EXPECT_TRUE(IsMemoryShort());
  EXPECT_TRUE(IsMemoryShort(0));
  SetOutOfMemoryFlag(false);
  SetMemoryBudget(4096);
  SetBytesInUse(5000);
  EXPECT_TRUE(IsMemoryShort(16));
  EXPECT_TRUE(GetOutOfMemoryFlag());
  EXPECT_EQ(PendingError(), kErrorOutOfMemory);
}

TEST_F(AppServices, StartUpSetsBudgetFromPhysicalMemory) {
  SetMemoryBudget(4096);
  SetBytesInUse(999);
  InitApplicationGlobals();
  EXPECT_EQ(GetMemoryBudget(), PhysicalMemoryBytes());
  EXPECT_EQ(GetBytesInUse(), 0u);
  EXPECT_TRUE(HasVectorUnit());
  const int line = CacheLineBytes();
  EXPECT_GE(line, 16);
  EXPECT_EQ(line & (line - 1), 0);  // a power of two
  EXPECT_FALSE(InitTypesettingKernel());  // start-up already made the node pools
}

TEST_F(AppServices, AlertSinkReceivesTextAndCaptureIsTheDefault) {
  EXPECT_TRUE(ShowMessageAlert(13));
  ASSERT_EQ(CapturedAlerts().size(), 1u);
  EXPECT_EQ(CapturedAlerts()[0].text, "That is not a valid filename.");
  EXPECT_FALSE(ShowMessageAlert(12));
  EXPECT_FALSE(ShowMessageAlert(0));
  EXPECT_FALSE(ShowMessageAlert(-7));
  EXPECT_EQ(CapturedAlerts().size(), 1u);
  static int sunk;
  sunk = 0;
  SetMessageAlertSink([](int code, const char*) { sunk = code; });
  EXPECT_TRUE(ShowMessageAlert(16));
  EXPECT_EQ(sunk, 16);
  EXPECT_EQ(CapturedAlerts().size(), 1u);
  ClearCapturedAlerts();
  EXPECT_TRUE(CapturedAlerts().empty());
}

// German writes 1,5 and C writes 1.5; the separator must follow the user's locale while
// the process's own number text stays C. The separator is scribbled first, so "." for the
// C locale proves start-up set it rather than left the default.
TEST_F(AppServices, StartUpReadsTheSeparatorFromTheUserLocaleAndKeepsNumericC) {
  const char* old = std::getenv("LC_ALL");
  const std::string saved = old != nullptr ? old : "";
  struct Row { const char* locale; char want; };
  const Row rows[] = {{"de_DE.UTF-8", ','}, {"C", '.'}};
  for (const Row& r : rows) {
    setenv("LC_ALL", r.locale, 1);
    SetDecimalSeparator('?');
    InitApplicationGlobals();
    EXPECT_EQ(GetDecimalSeparator(), r.want) << r.locale;
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", 1.5);
    EXPECT_STREQ(text, "1.5");
  }
  if (old != nullptr) setenv("LC_ALL", saved.c_str(), 1); else unsetenv("LC_ALL");
}

TEST_F(AppServices, NumberSettingsStartAtPointAndEightDigits) {
  EXPECT_EQ(GetDecimalSeparator(), '.');
  EXPECT_EQ(GetDisplayDigits(), 8);
  SetDecimalSeparator('\0');  // not a separator: ignored
  EXPECT_EQ(GetDecimalSeparator(), '.');
}

TEST_F(AppServices, DocumentModifiedIsANoOpWhileADemoRuns) {
  static int calls;
  static bool last;
  calls = 0;
  SetDocumentModified(nullptr, true);  // no document layer yet: nothing happens
  SetDocumentModifiedHook([](void*, bool modified) {
    ++calls;
    last = modified;
  });
  SetDocumentModified(nullptr, true);
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(last);
  SetDemoRunning(true);
  EXPECT_TRUE(IsDemoRunning());
  SetDocumentModified(nullptr, false);
  EXPECT_EQ(calls, 1);
  SetDemoRunning(false);
  SetDocumentModified(nullptr, false);
  EXPECT_EQ(calls, 2);
  EXPECT_FALSE(last);
}

}  // namespace
