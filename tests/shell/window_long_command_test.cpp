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
    ClickMathItemWithoutWaiting(command);
    clicked_ = Clock::now();
  }
  // Presses keys, a click and two Escapes while the box shows: the command ends within `seconds`,
  // the row as it was, no press reaching it. False when it ended before the box; `fill` the bar's.
  bool EscapeWhileTheBoxShows(const char* shot, double seconds, int* fill) {
    int face = 0;
    AwaitBox(shot, &face, fill);
    if (program_.Log().find("command 0x2000") != std::string::npos) return false;
    EXPECT_GE(face, RectWidth(Box()) * RectHeight(Box()) / 2) << "the box is drawn while the command works";
    Type("qq");
    Click(QDPoint{40, 60});
    const KeyCode escape = XKeysymToKeycode(dpy_, XK_Escape);
    for (int press = 0; press < 2; ++press) {
      XTestFakeKeyEvent(dpy_, escape, True, CurrentTime);
      XTestFakeKeyEvent(dpy_, escape, False, CurrentTime);
    }
    XSync(dpy_, False);
    const auto escaped = Clock::now();
    std::string line;
    EXPECT_TRUE(program_.WaitFor("command 0x2000", nullptr, seconds + 5));
    EXPECT_LT(SecondsSince(escaped), seconds) << "Escape ends the command";
    EXPECT_TRUE(program_.WaitFor("row 0", &line));
    EXPECT_EQ(line, typed_) << "the row stays as it was";
    EXPECT_FALSE(program_.WaitFor("row 0", nullptr, 1.5)) << "a press made while the box showed reached the row";
    return true;
  }
  double SecondsSince(Clock::time_point t) const { return std::chrono::duration<double>(Clock::now() - t).count(); }
  Clock::time_point clicked_;
};

// (x+1)...(x+24) expands in milliseconds: the command ends at once and the next key is answered.
TEST_F(LongCommandWindowTest, ExpandingTwentyFourFactorsAnswersAtOnce) {
  SelectRowAndClickMathItem("equal[y," + long_formulas::UnlikeFactors(24) + "]", 0x2002);
  if (HasFatalFailure()) return;
  std::string line;
  ASSERT_TRUE(program_.WaitFor("command 0x2002", nullptr, 5));
  EXPECT_LT(SecondsSince(clicked_), 2.0);
  ASSERT_TRUE(program_.WaitFor("row 0", &line));
  EXPECT_NE(line.find("power[x,num[24,"), std::string::npos) << line.substr(0, 200);
  EXPECT_EQ(line.find("id[plus[x,"), std::string::npos) << "no factor left unexpanded";
  const auto pressed = Clock::now();
  Key(XK_Right, false);
  ASSERT_TRUE(program_.WaitFor("caret 0", nullptr, 5));
  EXPECT_LT(SecondsSince(pressed), 0.5) << "the window answers the next key";
}

// The derivative of sin nested 800 deep is long work; a stop by the user needs no message.
TEST_F(LongCommandWindowTest, EscapeStopsALongSimplifyAndTheWaitUsesUpThePresses) {
  SelectRowAndClickMathItem("equal[y," + long_formulas::NestedSinDerivative(800) + "]", 0x2000);
  int face = 0, fill = 0;
  if (HasFatalFailure() || !EscapeWhileTheBoxShows("window-long-command-box", 2.0, &fill)) return;
  EXPECT_GT(fill, 10) << "the box has its sweeping bar";
  EXPECT_EQ(program_.Log().find("message 0"), std::string::npos);
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
  EXPECT_TRUE(EscapeWhileTheBoxShows("window-remote-wait-box", 3.0, &fill)) << "the box shows while the server is awaited";
  const std::string& log = program_.Log();
  const size_t message = log.find(std::string("message 0 ") + ErrorMessage(kErrorIntegrationServer) + "\n");
  EXPECT_NE(message, std::string::npos) << log;
  EXPECT_EQ(log.find("message 0", message + 1), std::string::npos) << "one message";
  EXPECT_EQ(server_->Connections(), 1) << "no integral sent after Escape";
}

}  // namespace
}  // namespace window_test
