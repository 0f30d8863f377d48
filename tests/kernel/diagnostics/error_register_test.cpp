// The error register and its alert: the lowest pending code wins, each code posts once until
// re-armed (codes outside 0..31 have no once-bit), and a pending code is shown once, only in
// front, with the arrow cursor.
#include "kernel/diagnostics/error_register.h"

#include <gtest/gtest.h>

#include <vector>

#include "kernel/application_state.h"
#include "kernel/diagnostics/message_alert.h"
#include "kernel/diagnostics/message_tables.h"
#include "kernel/interaction/cursors.h"

namespace {

class PendingErrors : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    ResetErrorRegister();
    ResetMessageAlertForTests();
    ResetApplicationStateForTests();
    ResetCursorsForTests();
    InstallMessageAlertPresenter();
  }
};

// Each step and what the register holds after it, hand-traced.
TEST_F(PendingErrors, LowestPendingCodeWinsAndEachPostsOnceUntilRearmed) {
  struct Step { char op; int code, pending; bool posted; };  // op: Post, Clear, Rearm
  struct Script { const char* what; std::vector<Step> steps; };
  const Script scripts[] = {
      {"a lower code replaces a higher one, whose once-bit stays burnt",
       {{'p', 7, 7, true}, {'p', 4, 4, true}, {'c', 4, 0, false}, {'p', 7, 0, true}}},
      {"a higher code losing to the pending one stays postable",
       {{'p', 4, 4, true}, {'p', 7, 4, false}, {'c', 4, 0, false}, {'p', 7, 7, true}}},
      {"an equal code does not repost", {{'p', 5, 5, true}, {'r', 5, 5, false}, {'p', 5, 5, false}}},
      {"clearing another code only re-arms it", {{'p', 3, 3, true}, {'c', 9, 3, false}, {'p', 3, 3, true}}},
      {"non-positive codes are ignored",
       {{'p', 0, 0, false}, {'p', -33, 0, false}, {'p', 9, 9, true}, {'p', -4, 9, false},
        {'r', -1, 9, false}, {'r', 99, 9, false}, {'p', 9, 9, true}}},
  };
  for (const Script& script : scripts) {
    ResetErrorRegister();
    for (const Step& step : script.steps) {
      if (step.op == 'p') PostError(step.code);
      if (step.op == 'c') ClearPendingError(step.code);
      if (step.op == 'r') ClearErrorPosted(step.code);
      EXPECT_EQ(PendingError(), step.pending) << script.what << ": " << step.op << step.code;
      EXPECT_EQ(IsErrorPosted(step.code), step.posted) << script.what << ": " << step.op << step.code;
    }
  }
}

// A wrapping shift would give code c the bit of c mod 32.
TEST_F(PendingErrors, CodesPast31NeitherSetNorReadAnotherCodesBit) {
  for (int code : {33, 40, 63, 1000}) {
    const int alias = code % 32;
    ResetErrorRegister();
    PostError(code);
    EXPECT_EQ(ErrorRegisterGlobals().postedMask, 0u) << code;
    ErrorRegisterGlobals().pending = 0;  // as if shown
    PostError(alias);
    EXPECT_EQ(PendingError(), alias) << code;
    ErrorRegisterGlobals().pending = 0;
    PostError(code);
    EXPECT_EQ(PendingError(), code);
  }
}

TEST_F(PendingErrors, ShownOnceInFrontWithTheArrowCursorUntilRearmed) {
  static int arrows;
  arrows = 0;
  SetArrowCursorHook([] { ++arrows; });
  PostError(kErrorOutOfMemory);
  SetApplicationFrontmost(false);
  ShowPendingError();
  EXPECT_EQ(PendingError(), kErrorOutOfMemory);
  EXPECT_EQ(arrows, 0);
  SetApplicationFrontmost(true);
  ShowPendingError();
  PostError(kErrorOutOfMemory);  // shown, not re-armed: ignored
  ShowPendingError();
  ASSERT_EQ(CapturedAlerts().size(), 1u);
  EXPECT_EQ(CapturedAlerts()[0].code, kErrorOutOfMemory);
  EXPECT_EQ(CapturedAlerts()[0].text, ErrorMessage(kErrorOutOfMemory));
  EXPECT_EQ(arrows, 1);
  ClearErrorPosted(kErrorOutOfMemory);
  PostError(kErrorOutOfMemory);
  ShowPendingError();
  EXPECT_EQ(CapturedAlerts().size(), 2u);
}

TEST_F(PendingErrors, ShowingDropsCodesWithoutMessageRearms17AndKeepsCodesPostedMeanwhile) {
  for (int code : {12, 25, 27, 40}) {
    PostError(code);
    ShowPendingError();
    EXPECT_FALSE(HasPendingError()) << code;
  }
  EXPECT_TRUE(CapturedAlerts().empty());
  PostError(kErrorTransparencyMemory);
  ShowPendingError();
  EXPECT_FALSE(IsErrorPosted(kErrorTransparencyMemory));
  SetMessageAlertSink([](int, const char*) { PostError(4); });
  PostError(kErrorOutOfMemory);
  ShowPendingError();
  EXPECT_EQ(PendingError(), 4);
  EXPECT_EQ(CapturedAlerts().size(), 1u);  // the sink, not the capture, took the second
}

}  // namespace
