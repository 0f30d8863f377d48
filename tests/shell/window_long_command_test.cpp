// Long Math commands in the real window: a fast expansion answers at once; long work shows the
// progress box, Escape stops it with the row as it was, and presses made meanwhile are used up.
#include "tests/algebra/long_formulas.h"
#include "tests/shell/window_test_support.h"

namespace window_test {
namespace {

class LongCommandWindowTest : public WindowIntegrationTest {
 protected:
  // Starts on a document of the one row (not awaiting its graphs), selects it, clicks the Math item.
  void SelectRowAndClickMathItem(const std::string& row, int32_t command) {
    std::ofstream(document_) << row << "\n";
    Start({}, false);
    if (HasFatalFailure()) return;
    Key(XK_Up, false);
    ASSERT_TRUE(program_.WaitFor("caret 0"));
    ChooseItem(0, kCommandSelectAll);
    ASSERT_TRUE(program_.WaitFor("row 0", &typed_));
    char line[32];
    std::snprintf(line, sizeof line, "command 0x%X", unsigned(command));
    commandLine_ = line;
    ClickMathItemWithoutWaiting(command);
  }
  // Presses keys, a click and two Escapes while the box shows (the work left to itself runs far
  // longer than the test takes to press them): the command ends with the row as it was, and F10
  // pressed after it is the next press the window answers. `fill` is the bar's.
  void EscapeWhileTheBoxShows(const char* shot, int* fill) {
    int face = 0;
    AwaitBox(shot, &face, fill);
    ASSERT_EQ(program_.Log().find(commandLine_), std::string::npos) << "the command ended before Escape";
    EXPECT_GE(face, RectWidth(Box()) * RectHeight(Box()) / 2) << "the box is drawn while the command works";
    Type("qq");
    Click(QDPoint{40, 60});
    const KeyCode escape = XKeysymToKeycode(dpy_, XK_Escape);
    for (int press = 0; press < 2; ++press) {
      XTestFakeKeyEvent(dpy_, escape, True, CurrentTime);
      XTestFakeKeyEvent(dpy_, escape, False, CurrentTime);
    }
    XSync(dpy_, False);
    std::string line;
    ASSERT_TRUE(program_.WaitFor(commandLine_, nullptr, kCommandEndSeconds)) << "Escape ends the command";
    ended_ = program_.Log().size();
    ASSERT_TRUE(program_.WaitFor("row 0", &line));
    EXPECT_EQ(line, typed_) << "the row stays as it was";
    // The window takes its events in order: a press made while the box showed that reached the
    // rows would write its caret line before the menu's.
    const size_t after = program_.Log().size();
    Key(XK_F10, false);
    ASSERT_TRUE(program_.WaitFor("menu 0"));
    EXPECT_EQ(program_.CountSince(after, "caret ") + program_.CountSince(after, "row "), 0)
        << "a press made while the box showed reached the rows";
  }
  // The message lines since the command ended, once the next idle ticks have had 1.5 s to add one.
  int MessagesAfterTheCommand() {
    program_.WaitFor("message 0 ", nullptr, 1.5);
    return program_.CountSince(ended_, "message 0 ");
  }
  // A hang guard, not a figure: Escape is heard between steps of the work, which goes on far
  // longer when nobody stops it; how fast a command ends is benchmarked.
  static constexpr double kCommandEndSeconds = 20;
  std::string commandLine_;
  size_t ended_ = 0;  // the log's length once the command's line was read
};

// (x+1)...(x+24) is multiplied out in its 25 terms (once it took 2^24, past the command's bound),
// and the window answers the next key. How fast is benchmarked.
TEST_F(LongCommandWindowTest, ExpandingTwentyFourFactorsGivesTheirTermsAndTheNextKeyIsAnswered) {
  SelectRowAndClickMathItem("equal[y," + long_formulas::UnlikeFactors(24) + "]", 0x2002);
  if (HasFatalFailure()) return;
  std::string line;
  ASSERT_TRUE(program_.WaitFor("command 0x2002", nullptr, kCommandEndSeconds));
  ASSERT_TRUE(program_.WaitFor("row 0", &line));
  EXPECT_NE(line.find("power[x,num[24,"), std::string::npos) << line.substr(0, 200);
  EXPECT_EQ(line.find("id[plus[x,"), std::string::npos) << "no factor left unexpanded";
  Key(XK_Right, false);
  ASSERT_TRUE(program_.WaitFor("caret 0")) << "the window answers the next key";
}

// (x+1)...(x+1000) multiplied out one factor at a time is long work (some 20 s in the sanitized
// build, and it polls for Escape every few milliseconds): Escape stops it, the row as it was, and a
// stop by the user needs no message.
TEST_F(LongCommandWindowTest, EscapeStopsALongExpansionAndTheWaitUsesUpThePresses) {
  SelectRowAndClickMathItem("equal[y," + long_formulas::UnlikeFactors(1000) + "]", 0x2002);
  if (HasFatalFailure()) return;
  int face = 0, fill = 0;
  EscapeWhileTheBoxShows("window-long-command-box", &fill);
  if (HasFatalFailure()) return;
  EXPECT_GT(fill, 10) << "the box has its sweeping bar";
  EXPECT_EQ(MessagesAfterTheCommand(), 0);
  CountBox(Shoot("window-long-command-stopped"), Box(), &face, &fill);
  EXPECT_EQ(fill, 0) << "the box is gone";
}

// A server holding each of 3 answers 10 s: Escape ends the command after one request, one message.
TEST_F(LongCommandWindowTest, EscapeDuringARemoteWaitEndsTheWholeCommand) {
  const loopback::Script held{loopback::Answer::kReply, 200, "X", 10000};
  server_ = std::make_unique<loopback::Server>(std::vector<loopback::Script>{held, held, held});
  ASSERT_NE(server_->Port(), 0);
  for (const char* proxy : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) unsetenv(proxy);
  setenv("QUORVALIS_INTEGRATION_SERVER", server_->URL().c_str(), 1);
  SelectRowAndClickMathItem("equal[y,plus[integral[sin[x],x],integral[cos[x],x],integral[exp[x],x]]]", 0x2000);
  if (HasFatalFailure()) return;
  int fill = 0;
  EscapeWhileTheBoxShows("window-remote-wait-box", &fill);
  if (HasFatalFailure()) return;
  std::string line;
  ASSERT_TRUE(program_.SeenOrWaitFor(ended_, "message 0", &line)) << "the message comes with an idle tick";
  EXPECT_EQ(line, std::string("message 0 ") + ErrorMessage(kErrorIntegrationServer));
  EXPECT_EQ(MessagesAfterTheCommand(), 1);
  EXPECT_EQ(server_->Connections(), 1) << "no integral sent after Escape";
}

}  // namespace
}  // namespace window_test
