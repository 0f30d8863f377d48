// Long Math commands in the real window: an expansion whose work follows its result answers at
// once; work past half a second shows the progress box, Escape stops it with the row as it was,
// and what is pressed while the box shows is used up by the wait; Escape during a remote wait
// ends the whole command after one request.
#include "tests/algebra/long_formulas.h"
#include "tests/shell/window_test_support.h"

namespace window_test {
namespace {

class LongCommandWindowTest : public WindowIntegrationTest {
 protected:
  // Starts on a document of the one row (not waiting for its graphs, which a long row may never
  // finish), selects the row and clicks the Math item in the program only.
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
  // Presses keys, a click on the rows and a second Escape while the box shows, then Escape.
  void PressWhileTheBoxShowsThenEscape() {
    Type("qq");
    Click(QDPoint{40, 60});
    // Two presses sent together: the second comes while the box still shows.
    const KeyCode escape = XKeysymToKeycode(dpy_, XK_Escape);
    for (int press = 0; press < 2; ++press) {
      XTestFakeKeyEvent(dpy_, escape, True, CurrentTime);
      XTestFakeKeyEvent(dpy_, escape, False, CurrentTime);
    }
    XSync(dpy_, False);
    escaped_ = Clock::now();
  }
  double SecondsSince(Clock::time_point t) const { return std::chrono::duration<double>(Clock::now() - t).count(); }
  Clock::time_point clicked_, escaped_;
};

// (x+1)...(x+24) expands to 25 terms in milliseconds: the command's trace comes at once, and the
// window takes the next key straight after.
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

// The derivative of sin nested 800 deep is long work: the box shows, the keys, the click and the
// second Escape pressed meanwhile reach no row, and Escape leaves the row as it was.
TEST_F(LongCommandWindowTest, EscapeStopsALongSimplifyAndTheWaitUsesUpThePresses) {
  SelectRowAndClickMathItem("equal[y," + long_formulas::NestedSinDerivative(800) + "]", 0x2000);
  if (HasFatalFailure()) return;
  const QDRect box = Box();
  int face = 0, fill = 0;
  AwaitBox("window-long-command-box", &face, &fill);
  if (program_.Log().find("command 0x2000") != std::string::npos) return;  // finished before the box
  EXPECT_GE(face, RectWidth(box) * RectHeight(box) / 2) << "the box is drawn while the command works";
  EXPECT_GT(fill, 10) << "with its sweeping bar";
  PressWhileTheBoxShowsThenEscape();
  std::string line;
  ASSERT_TRUE(program_.WaitFor("command 0x2000", nullptr, 5));
  EXPECT_LT(SecondsSince(escaped_), 2.0) << "Escape stops the work";
  ASSERT_TRUE(program_.WaitFor("row 0", &line));
  EXPECT_EQ(line, typed_) << "the row stays as it was";
  EXPECT_FALSE(program_.WaitFor("row 0", nullptr, 1.5)) << "a press made while the box showed reached the row";
  EXPECT_EQ(program_.Log().find("message 0"), std::string::npos) << "a stop by the user needs no message";
  CountBox(Shoot("window-long-command-stopped"), box, &face, &fill);
  EXPECT_EQ(fill, 0) << "the box is gone";
}

// Three integrals on a server that holds every answer 10 s: Escape during the first wait ends the
// command at once, nothing more is sent, the row stays, one message is shown, and the presses
// made while the box showed are used up.
TEST_F(LongCommandWindowTest, EscapeDuringARemoteWaitEndsTheWholeCommand) {
  const loopback::Script held{loopback::Answer::kReply, 200, "X", 10000};
  server_ = std::make_unique<loopback::Server>(std::vector<loopback::Script>{held, held, held});
  ASSERT_NE(server_->Port(), 0);
  for (const char* proxy : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) unsetenv(proxy);
  setenv("QUORVALIS_INTEGRATION_SERVER", server_->URL().c_str(), 1);
  SelectRowAndClickMathItem("equal[y,plus[integral[sin[x],x],integral[cos[x],x],integral[exp[x],x]]]", 0x2000);
  if (HasFatalFailure()) return;
  int face = 0, fill = 0;
  AwaitBox("window-remote-wait-box", &face, &fill);
  EXPECT_GE(face, RectWidth(Box()) * RectHeight(Box()) / 2) << "the box shows while the server is awaited";
  PressWhileTheBoxShowsThenEscape();
  std::string line;
  ASSERT_TRUE(program_.WaitFor("command 0x2000", nullptr, 8));
  EXPECT_LT(SecondsSince(escaped_), 3.0) << "not (N - 1) more waits";
  ASSERT_TRUE(program_.WaitFor("row 0", &line));
  EXPECT_EQ(line, typed_) << "each integral stays";
  ASSERT_TRUE(program_.WaitFor("message 0", &line));
  EXPECT_EQ(line, std::string("message 0 ") + ErrorMessage(kErrorIntegrationServer));
  EXPECT_FALSE(program_.WaitFor("row 0", nullptr, 1.5)) << "a press made while the box showed reached the row";
  EXPECT_EQ(program_.Log().find("message 0", program_.Log().find("message 0") + 1), std::string::npos) << "one message";
  EXPECT_EQ(server_->Connections(), 1) << "no integral sent after Escape";
}

}  // namespace
}  // namespace window_test
