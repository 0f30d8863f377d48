// The window's start and end: a message of start-up (OpenGL missing) is shown in the window once
// it is there; closed as a window manager does (a WM_DELETE_WINDOW message) after the clipboard
// went both ways, the program ends with status 0 every time, and an X error about its window once
// it is gone is a line on standard error, not the end of the process.
#include "platform/window/sdl_window.h"
#include "platform/window/x11_display.h"
#include "tests/shell/window_test_support.h"

namespace {

using namespace window_test;

class LifetimeWindowTest : public WindowTest {
 protected:
  // Waits for a line starting with `prefix` while this process answers the program's requests for
  // the clipboard it owns.
  bool WaitAnswering(const std::string& prefix) {
    for (int i = 0; i < 400; ++i) {
      SDL_PumpEvents();
      if (program_.WaitFor(prefix, nullptr, 0.05)) return true;
    }
    return false;
  }
  // The window manager's close: WM_PROTOCOLS with WM_DELETE_WINDOW, sent to the window.
  void CloseAsTheWindowManager() {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window_;
    event.xclient.message_type = XInternAtom(dpy_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy_, window_, False, NoEventMask, &event);
    XSync(dpy_, False);
  }
};

// Without EGL's vendor library OpenGL is missing: start-up says so before the window exists, and
// the window shows it under the active row (the graphs are drawn in software all the same).
TEST_F(LifetimeWindowTest, TheMessageThatOpenGLIsMissingIsShownInTheWindow) {
  setenv("__EGL_VENDOR_LIBRARY_FILENAMES", "/nonexistent", 1);
  Launch({}, false);
  unsetenv("__EGL_VENDOR_LIBRARY_FILENAMES");
  if (HasFatalFailure()) return;
  std::string line;
  ASSERT_TRUE(program_.WaitFor("message", &line));
  EXPECT_EQ(line, std::string("message 1 ") + ErrorMessage(kErrorNoOpenGL));
  EXPECT_TRUE(program_.WaitFor("graphs complete"));
}

// Twenty runs: y = x typed, Control+A and Control+C put it on the clipboard, this process takes the
// clipboard over as another program would, Control+V pastes its formula, and the window manager
// closes the window.
TEST_F(LifetimeWindowTest, ClosedByTheWindowManagerAfterCopyAndPasteItExitsZero) {
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  struct SdlEnd {
    ~SdlEnd() { SDL_Quit(); }
  } sdlEnd;
  for (int run = 0; run < 20; ++run) {
    Launch({}, true);
    if (HasFatalFailure()) return;
    window_ = 0;
    FocusWindow();
    if (HasFatalFailure()) return;
    for (const KeySym key : {XK_y, XK_equal, XK_x}) Key(key, false);
    ASSERT_TRUE(program_.WaitFor("row 1 equal[y,x]")) << "run " << run;
    KeyHolding(XK_Control_L, XK_a, false);
    ASSERT_TRUE(program_.WaitFor("command 0x30002")) << "run " << run;
    KeyHolding(XK_Control_L, XK_c, false);
    ASSERT_TRUE(program_.WaitFor("command 0x2201")) << "run " << run;
    ASSERT_EQ(SDL_SetClipboardText("equal[y,power[x,2]]"), 0) << SDL_GetError();
    KeyHolding(XK_Control_L, XK_v, false);
    ASSERT_TRUE(WaitAnswering("row 1 " + Written("equal[y,power[x,2]]"))) << "run " << run;
    CloseAsTheWindowManager();
    EXPECT_EQ(program_.WaitExit(), 0) << "run " << run;
    if (HasFailure()) return;
  }
}

// A process that had a window (opened and closed again through SDL, with Xlib's own error handler
// before it) sends an event to that window through a connection of its own, as SDL's wake-up
// could: the BadWindow answer is logged and the process goes on to exit 0.
TEST_F(LifetimeWindowTest, AnXErrorAboutTheClosedWindowIsLoggedNotFatal) {
  int output[2];
  ASSERT_EQ(pipe(output), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    dup2(output[1], STDERR_FILENO);
    close(output[0]);
    XSetErrorHandler(nullptr);  // Xlib's own, as the program starts with
    std::string error;
    SdlWindow* window = SdlWindow::Open("Quorvalis closed", 120, 90, &error);
    _XDisplay* display = nullptr;
    unsigned long gone = 0;
    if (window == nullptr || !X11DisplayOf(window->SdlHandle(), &display, &gone)) _exit(3);
    delete window;
    Display* other = XOpenDisplay(nullptr);
    if (other == nullptr) _exit(4);
    XEvent wake{};
    wake.xclient.type = ClientMessage;
    wake.xclient.window = gone;
    wake.xclient.format = 8;
    XSendEvent(other, gone, False, NoEventMask, &wake);
    XSync(other, False);
    XCloseDisplay(other);
    _exit(0);
  }
  close(output[1]);
  std::string said;
  char buffer[512];
  for (ssize_t n; (n = read(output[0], buffer, sizeof buffer)) > 0;) said.append(buffer, size_t(n));
  close(output[0]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << said;
  EXPECT_EQ(WEXITSTATUS(status), 0) << said;
  EXPECT_NE(said.find("X error ignored, the window is gone: BadWindow"), std::string::npos) << said;
}

}  // namespace
