// Error register: lowest pending code wins, posted-once until re-armed, no bit for codes
// outside 0..31, and codes <= 0 ignored.
#include "kernel/error_register.h"

#include <gtest/gtest.h>

#include "kernel/app_services.h"
#include "kernel/message_tables.h"

namespace {

class PendingErrors : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetErrorRegister();
    ResetAppServicesForTest();
  }
  void TearDown() override {
    ResetErrorRegister();
    ResetAppServicesForTest();
  }
};

TEST_F(PendingErrors, LowerCodeReplacesHigherAndBurnsItsOnceBit) {
  EXPECT_EQ(PostError(7), 7);
  EXPECT_EQ(PostError(4), 4);
  EXPECT_EQ(PendingError(), 4);
  ClearPendingError(4);
  EXPECT_FALSE(HasPendingError());
  PostError(7);  // 7's once-bit was set when it was pending: not postable
  EXPECT_FALSE(HasPendingError());
}

TEST_F(PendingErrors, HigherCodeLosingToPendingStaysPostable) {
  PostError(4);
  PostError(7);
  EXPECT_EQ(PendingError(), 4);
  EXPECT_FALSE(IsErrorPosted(7));
  ClearPendingError(4);
  PostError(7);
  EXPECT_EQ(PendingError(), 7);
}

TEST_F(PendingErrors, EqualCodeDoesNotRepost) {
  PostError(5);
  ClearErrorPosted(5);
  PostError(5);  // 5 pending (<= 5): unchanged
  EXPECT_EQ(PendingError(), 5);
  EXPECT_FALSE(IsErrorPosted(5));
}

TEST_F(PendingErrors, ClearErrorPostedRearms) {
  PostError(7);
  ErrorRegisterGlobals().pending = 0;  // as if shown: the once-bit stays
  PostError(7);
  EXPECT_FALSE(HasPendingError());
  ClearErrorPosted(7);
  PostError(7);
  EXPECT_EQ(PendingError(), 7);
}

TEST_F(PendingErrors, ClearPendingOfAnotherCodeOnlyRearmsIt) {
  PostError(3);
  ClearPendingError(9);
  EXPECT_EQ(PendingError(), 3);
  EXPECT_TRUE(IsErrorPosted(3));
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

TEST_F(PendingErrors, NonPositiveCodesAreIgnored) {
  for (int code : {0, -1, -32, -33}) {
    PostError(code);
    EXPECT_FALSE(HasPendingError());
    EXPECT_EQ(ErrorRegisterGlobals().postedMask, 0u);
  }
  PostError(9);
  PostError(-4);
  EXPECT_EQ(PendingError(), 9);
  ClearErrorPosted(-1);
  ClearErrorPosted(99);
  EXPECT_TRUE(IsErrorPosted(9));
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
  EXPECT_EQ(CapturedAlerts()[0].text,
            "There is not enough memory available to draw the requested graph. Quitting other applications may "
            "enable the graph to be drawn.");
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
