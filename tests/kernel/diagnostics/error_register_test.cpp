// Error register: lowest pending code wins, posted-once until re-armed, no bit for codes
// outside 0..31, and codes <= 0 ignored.
#include "kernel/text/number_settings.h"
#include "kernel/diagnostics/error_register.h"

#include <gtest/gtest.h>

#include <vector>

#include "kernel/application_state.h"
#include "kernel/diagnostics/message_alert.h"
#include "kernel/interaction/cursors.h"
#include "kernel/diagnostics/message_tables.h"

namespace {

class PendingErrors : public ::testing::Test {
 protected:
  void SetUp() override {
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
  }
};

// One step on the register and what it must hold afterwards (hand-traced).
struct Step {
  char op;  // 'p' PostError, 'c' ClearPendingError, 'r' ClearErrorPosted
  int code;
  int pending;
  bool posted;  // IsErrorPosted(code)
};

TEST_F(PendingErrors, LowestPendingCodeWinsAndEachPostsOnceUntilRearmed) {
  struct Script { const char* what; std::vector<Step> steps; };
  const Script scripts[] = {
      {"a lower code replaces a higher one, whose once-bit stays burnt",
       {{'p', 7, 7, true}, {'p', 4, 4, true}, {'c', 4, 0, false}, {'p', 7, 0, true}}},
      {"a higher code losing to the pending one stays postable",
       {{'p', 4, 4, true}, {'p', 7, 4, false}, {'c', 4, 0, false}, {'p', 7, 7, true}}},
      {"an equal code does not repost", {{'p', 5, 5, true}, {'r', 5, 5, false}, {'p', 5, 5, false}}},
      {"clearing another code only re-arms it", {{'p', 3, 3, true}, {'c', 9, 3, false}, {'p', 3, 3, true}}},
      {"non-positive codes are ignored",
       {{'p', 0, 0, false}, {'p', -1, 0, false}, {'p', -33, 0, false}, {'p', 9, 9, true},
        {'p', -4, 9, false}, {'r', -1, 9, false}, {'r', 99, 9, false}, {'p', 9, 9, true}}},
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

TEST_F(PendingErrors, CodesOutsideTheMaskNeitherSetNorTestABit) {
  // A wrapping shift would give code c the bit c mod 32: 40 -> 8, 32 -> 0, 63 -> 31.
  for (int code : {32, 40, 63, 64, 1000}) {
    const int alias = code % 32;
    ResetErrorRegister();
    PostError(code);
    EXPECT_EQ(PendingError(), code);
    EXPECT_EQ(ErrorRegisterGlobals().postedMask, 0u) << code;
    EXPECT_FALSE(IsErrorPosted(code));
    ErrorRegisterGlobals().pending = 0;  // as if shown
    if (alias > 0) {
      PostError(alias);  // shown and not re-armed would block it if `code` had set its bit
      EXPECT_EQ(PendingError(), alias) << code;
      ErrorRegisterGlobals().pending = 0;
    }
    ErrorRegisterGlobals().postedMask = std::uint32_t{1} << alias;
    PostError(code);  // the alias's bit is set, yet `code` is not blocked by it
    EXPECT_EQ(PendingError(), code);
    EXPECT_EQ(ErrorRegisterGlobals().postedMask, std::uint32_t{1} << alias);
  }
}

TEST_F(PendingErrors, PostedShownPostedAgainGivesOneAlertUntilRearmed) {
  PostError(7);
  ShowPendingError();
  PostError(7);
  EXPECT_FALSE(HasPendingError());
  ShowPendingError();
  ASSERT_EQ(CapturedAlerts().size(), 1u);
  ClearErrorPosted(7);
  PostError(7);
  EXPECT_TRUE(HasPendingError());
  ShowPendingError();
  EXPECT_EQ(CapturedAlerts().size(), 2u);
}

TEST_F(PendingErrors, BackgroundKeepsTheCodeFrontShowsItOnce) {
  int arrows = 0;
  static int* arrowCount;
  arrowCount = &arrows;
  SetArrowCursorHook([] { ++*arrowCount; });
  PostError(7);
  SetApplicationFrontmost(false);
  EXPECT_FALSE(IsFrontProcess());
  ShowPendingError();
  EXPECT_TRUE(CapturedAlerts().empty());
  EXPECT_EQ(PendingError(), 7);
  EXPECT_EQ(arrows, 0);
  SetApplicationFrontmost(true);
  ShowPendingError();
  ASSERT_EQ(CapturedAlerts().size(), 1u);
  EXPECT_EQ(CapturedAlerts()[0].code, 7);
  EXPECT_EQ(CapturedAlerts()[0].text, ErrorMessage(7));
  EXPECT_EQ(PendingError(), 0);
  EXPECT_TRUE(IsErrorPosted(7));  // shown, not re-armed
  EXPECT_EQ(arrows, 1);
  ShowPendingError();
  EXPECT_EQ(CapturedAlerts().size(), 1u);
}

TEST_F(PendingErrors, CodesWithoutMessageAreClearedWithoutAlert) {
  for (int code : {12, 25, 27, 40}) {
    ResetErrorRegister();
    PostError(code);
    ShowPendingError();
    EXPECT_FALSE(HasPendingError()) << code;
  }
  EXPECT_TRUE(CapturedAlerts().empty());
}

TEST_F(PendingErrors, ShowingCode17RearmsIt) {
  PostError(17);
  ShowPendingError();
  EXPECT_FALSE(IsErrorPosted(17));
  PostError(17);
  EXPECT_EQ(PendingError(), 17);
}

TEST_F(PendingErrors, ErrorPostedDuringTheAlertIsKept) {
  SetMessageAlertSink([](int, const char*) { PostError(4); });
  PostError(7);
  ShowPendingError();
  EXPECT_EQ(PendingError(), 4);
}

}  // namespace
