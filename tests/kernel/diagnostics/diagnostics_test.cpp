// The error register, its alert and the message tables: the lowest pending code wins, each
// code posts once until re-armed (codes outside 0..31 have no once-bit), a pending code is
// shown once and only in front, and the copies choose their word and truncate to the buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "kernel/application_state.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/diagnostics/message_alert.h"
#include "kernel/diagnostics/message_tables.h"
#include "kernel/interaction/cursors.h"
#include "kernel/numeric/numeric_constants.h"

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
  const std::vector<Step> scripts[] = {
      // a lower code replaces a higher one, whose once-bit stays burnt
      {{'p', 7, 7, true}, {'p', 4, 4, true}, {'c', 4, 0, false}, {'p', 7, 0, true}},
      // a higher code losing to the pending one stays postable
      {{'p', 4, 4, true}, {'p', 7, 4, false}, {'c', 4, 0, false}, {'p', 7, 7, true}},
      // an equal code does not repost; clearing another code only re-arms it
      {{'p', 5, 5, true}, {'r', 5, 5, false}, {'p', 5, 5, false}, {'c', 9, 5, false}},
      // non-positive codes are ignored
      {{'p', 0, 0, false}, {'p', -33, 0, false}, {'p', 9, 9, true}, {'p', -4, 9, false},
       {'r', -1, 9, false}, {'r', 99, 9, false}, {'p', 9, 9, true}},
  };
  for (const auto& steps : scripts) {
    ResetErrorRegister();
    for (const Step& step : steps) {
      if (step.op == 'p') PostError(step.code);
      if (step.op == 'c') ClearPendingError(step.code);
      if (step.op == 'r') ClearErrorPosted(step.code);
      EXPECT_EQ(PendingError(), step.pending) << &steps - scripts << ": " << step.op << step.code;
      EXPECT_EQ(IsErrorPosted(step.code), step.posted) << &steps - scripts << ": " << step.op << step.code;
    }
  }
}

// A wrapping shift would give code c the bit of c mod 32.
TEST_F(PendingErrors, CodesPast31NeitherSetNorReadAnotherCodesBit) {
  for (int code : {33, 40, 63, 1000}) {
    ResetErrorRegister();
    PostError(code);
    EXPECT_EQ(ErrorRegisterGlobals().postedMask, 0u) << code;
    ErrorRegisterGlobals().pending = 0;  // as if shown
    PostError(code % 32);
    EXPECT_EQ(PendingError(), code % 32) << code;
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
  SetApplicationFrontmost(true);
  ShowPendingError();
  PostError(kErrorOutOfMemory);  // shown, not re-armed: ignored
  ShowPendingError();
  ASSERT_EQ(CapturedAlerts().size(), 1u);
  EXPECT_EQ(CapturedAlerts()[0].text, ErrorMessage(kErrorOutOfMemory));
  EXPECT_EQ(arrows, 1);
  ClearErrorPosted(kErrorOutOfMemory);
  PostError(kErrorOutOfMemory);
  ShowPendingError();
  EXPECT_EQ(CapturedAlerts().size(), 2u);
}

TEST_F(PendingErrors, ShowingDropsCodesWithoutMessageRearms17AndKeepsCodesPostedMeanwhile) {
  for (int code : {12, 25, 29, 40}) {
    PostError(code);
    ShowPendingError();
    EXPECT_FALSE(HasPendingError()) << code;
  }
  EXPECT_TRUE(CapturedAlerts().empty());
  PostError(kErrorTransparencyMemory);
  ShowPendingError();
  EXPECT_FALSE(IsErrorPosted(kErrorTransparencyMemory));
  ClearCapturedAlerts();  // nothing held for the sink below
  SetMessageAlertSink([](int, const char*) { PostError(4); });
  PostError(kErrorOutOfMemory);
  ShowPendingError();
  EXPECT_EQ(PendingError(), 4);
  EXPECT_TRUE(CapturedAlerts().empty());  // the sink took it
}

// Messages shown before any sink (a start-up's "no OpenGL") are held; the next sink installed
// shows them in the order they came, once, and then every message at once; without a sink again
// they are held for the next one.
TEST_F(PendingErrors, MessagesShownBeforeASinkAreShownByTheNextSinkOnce) {
  static std::vector<int> shown;
  shown.clear();
  const MessageAlertSink record = [](int code, const char* text) {
    EXPECT_STREQ(text, ErrorMessage(code));
    shown.push_back(code);
  };
  struct Step {
    char op;  // 's' show the code, 'i' install the sink, 'n' no sink
    int code;
    size_t held;                  // messages held after the step
    std::vector<int> shownSoFar;  // by the sink
  };
  const int gl = kErrorNoOpenGL, memory = kErrorOutOfMemory, server = kErrorIntegrationServer;
  const Step steps[] = {{'s', gl, 1, {}},
                        {'s', memory, 2, {}},
                        {'s', 12, 2, {}},  // no message: nothing to hold
                        {'i', 0, 0, {gl, memory}},
                        {'i', 0, 0, {gl, memory}},
                        {'s', server, 0, {gl, memory, server}},
                        {'n', 0, 0, {gl, memory, server}},
                        {'s', gl, 1, {gl, memory, server}},
                        {'i', 0, 0, {gl, memory, server, gl}}};
  for (size_t i = 0; i < std::size(steps); ++i) {
    const Step& step = steps[i];
    if (step.op == 's') ShowMessageAlert(step.code);
    if (step.op != 's') SetMessageAlertSink(step.op == 'i' ? record : nullptr);
    EXPECT_EQ(shown, step.shownSoFar) << "step " << i;
    EXPECT_EQ(CapturedAlerts().size(), step.held) << "step " << i;
  }
}

TEST(MessageTables, CopiesChooseTheirWordAndTruncateToTheBuffer) {
  struct Row { double lower, upper; int entry; };
  const Row rows[] = {{0, 1, kMessageBooleanRange}, {1, 1, kMessageTrue}, {0, 0, kMessageFalse},
                      {kUndefinedReal, 1, kMessageFalse}, {1, kUndefinedReal, kMessageFalse},
                      {1, 0, kMessageTrue}, {-0.0, 0, kMessageFalse}};
  char buf[64];
  for (const Row& r : rows) {
    EXPECT_TRUE(CopyBooleanRangeWord(r.lower, r.upper, buf, sizeof buf));
    EXPECT_STREQ(buf, MessageTable[r.entry]) << r.lower << "," << r.upper;
  }
  EXPECT_FALSE(CopyGraphResultMessage(buf, sizeof buf, 0));  // out of range: cleared
  EXPECT_STREQ(buf, "");
  EXPECT_FALSE(CopyGraphResultMessage(buf, 6, 1));
  EXPECT_EQ(std::strncmp(buf, GraphResultMessage(1), 5), 0);
  EXPECT_EQ(buf[5], '\0');
  EXPECT_TRUE(CopyBooleanWord(0, buf, 6));  // "false" and its NUL fit exactly
  EXPECT_FALSE(CopyInfinityWord(buf, 0));
  EXPECT_EQ(buf[0], 'f');  // nothing written
}

}  // namespace
