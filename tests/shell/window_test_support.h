// Shared by the window tests: the program under test read line by line, screenshots, and the
// fixture that starts the program on a document under the X server with its in-process twin.
// Named namespace (not anonymous): test files share the fixture classes, which GoogleTest needs
// to be one type a suite.
#pragma once
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "algebra/algebra_seams.h"
#include "document/document_file.h"
#include "document/document_window.h"
#include "document/progress_box.h"
#include "document/slider_strip.h"
#include "document/typed_keys.h"
#include "document/window_commands.h"
#include "editor/edit_commands.h"
#include "editor/typeset_state.h"
#include "graphics/graphics_layer.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/diagnostics/message_tables.h"
#include "kernel/kernel_startup.h"
#include "platform/draw/png_io.h"
#include "tests/algebra/loopback_http_server.h"
#include "tests/document/formula_text_support.h"
#include "shell/document_event_loop.h"

// SDL before Xlib too: the test reads and fills the system clipboard through SDL as a user's other
// program would.
#include <SDL2/SDL.h>

// Xlib last: its macros (None, Bool, Status) would break the headers above; Xutil.h is left out
// (its Region is ours), so images are read through their own functions.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>


namespace window_test {


using formula_text::Bracket;
using formula_text::Written;
using Clock = std::chrono::steady_clock;
constexpr int kWidth = 640, kHeight = 640;
constexpr double kWaitSeconds = 60;  // a sanitized build under a software X server is slow
constexpr double kShowSeconds = 20;  // for pixels the program is drawing to reach the server
// A key answered later than this was held (behind a graph's computing, say) rather than slow: how
// long a key may wait is benchmarked, a busy machine stretches it several times.
constexpr double kHeldSeconds = 5;

inline void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The program, its standard output read line by line.
class Program {
 public:
  bool Start(const std::vector<std::string>& arguments) {
    lines_.clear();  // unread lines of a program stopped before are not this one's
    partial_.clear();
    int fds[2];
    if (pipe(fds) != 0) return false;
    pid_ = fork();
    if (pid_ == 0) {
      // The window system's libraries (the session bus, the loader) keep process-long state that
      // LeakSanitizer cannot attribute; the same code runs leak-checked in this process's twin.
      setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
      dup2(fds[1], STDOUT_FILENO);
      close(fds[0]);
      close(fds[1]);
      std::vector<char*> argv;
      static std::string binary = QV_WINDOW_BINARY;
      argv.push_back(binary.data());
      for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(binary.c_str(), argv.data());
      _exit(127);
    }
    close(fds[1]);
    fd_ = fds[0];
    return pid_ > 0;
  }
  ~Program() { Stop(); }
  // Waits for a line starting with the prefix; lines before it are dropped. False on time-out or
  // the end of the output.
  bool WaitFor(const std::string& prefix, std::string* line = nullptr, double seconds = kWaitSeconds) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
      while (!lines_.empty()) {
        std::string l = lines_.front();
        lines_.pop_front();
        log_ += l + "\n";
        if (l.compare(0, prefix.size(), prefix) == 0) {
          if (line != nullptr) *line = l;
          return true;
        }
      }
      const int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
      if (left <= 0) return false;
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, left) <= 0) return false;
      char buffer[4096];
      const ssize_t n = read(fd_, buffer, sizeof buffer);
      if (n <= 0) return false;
      partial_.append(buffer, static_cast<size_t>(n));
      for (size_t end; (end = partial_.find('\n')) != std::string::npos; partial_.erase(0, end + 1))
        lines_.push_back(partial_.substr(0, end));
    }
  }
  // The lines starting with the prefix already read, at or after `from` in the log (a length the
  // log had); the first of them in `line`.
  int CountSince(size_t from, const std::string& prefix, std::string* line = nullptr) const {
    int n = 0;
    for (size_t at = from; at < log_.size(); at = log_.find('\n', at) + 1) {
      if (log_.compare(at, prefix.size(), prefix) != 0) continue;
      if (n++ == 0 && line != nullptr) *line = log_.substr(at, log_.find('\n', at) - at);
    }
    return n;
  }
  // A line starting with the prefix already read at or after `from`, or else the next one.
  bool SeenOrWaitFor(size_t from, const std::string& prefix, std::string* line = nullptr) {
    return CountSince(from, prefix, line) > 0 || WaitFor(prefix, line);
  }
  // Waits for the program to end by itself; its exit status, or -1 on time-out or a signal.
  int WaitExit() {
    int status = 0;
    for (int i = 0; i < kWaitSeconds * 20; ++i, Pause(50)) {
      if (waitpid(pid_, &status, WNOHANG) != pid_) continue;
      pid_ = -1;
      close(fd_);
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return -1;
  }
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 100 && waitpid(pid_, &status, WNOHANG) == 0; ++i) Pause(50);
    if (waitpid(pid_, &status, WNOHANG) == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    close(fd_);
  }
  const std::string& Log() const { return log_; }

 private:
  pid_t pid_ = -1;
  int fd_ = -1;
  std::string partial_, log_;
  std::deque<std::string> lines_;
};

struct Screenshot {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB
  uint32_t At(int h, int v) const { return pixels[size_t(v) * width + h]; }
};

// How many pixels of the rectangle differ between two shots.
inline int DifferingPixels(const Screenshot& a, const Screenshot& b, const QDRect& r) {
  int n = 0;
  for (int v = r.top; v < r.bottom; ++v)
    for (int h = r.left; h < r.right; ++h) n += a.At(h, v) != b.At(h, v);
  return n;
}

// Curve ink: a saturated colour that is not the pale paper, its grid or the grey axes.
inline bool IsInk(uint32_t p) {
  const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
  const int hi = std::max({r, g, b}), lo = std::min({r, g, b});
  return hi - lo > 90 && lo < 170;
}

class WindowTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') GTEST_SKIP() << "no X server (scripts/test.d/window.sh starts Xvfb)";
    dpy_ = XOpenDisplay(nullptr);
    ASSERT_NE(dpy_, nullptr) << "cannot open " << display;
    // A request on a window not yet mapped (focus) fails harmlessly; Xlib's default handler exits.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    int event, error, major, minor;
    ASSERT_TRUE(XTestQueryExtension(dpy_, &event, &error, &major, &minor)) << "the X server lacks XTest";
    // Per process: window stages of other checkouts may run at the same time.
    document_ = testing::TempDir() + "window_test_document_" + std::to_string(getpid()) + ".txt";
    std::ofstream(document_) << "# a horizontal line\nequal[y,minus[0.5]]\n";
  }
  void TearDown() override {
    program_.Stop();
    twinWindow_.reset();
    twin_.reset();
    if (dpy_ != nullptr) XCloseDisplay(dpy_);
    std::remove(document_.c_str());
    if (HasFailure()) {
      ADD_FAILURE() << "program output:\n" << program_.Log() << "screenshots: " << shots_;
    }
  }

  // Starts the program (with the extra options) and its twin, and finds the window; with
  // `awaitGraphs`, once the graphs are complete (a row that draws nothing never says so).
  void Start(const std::vector<std::string>& extra = {}, bool awaitGraphs = true) {
    Launch(extra, awaitGraphs);
    if (HasFatalFailure()) return;
    OpenTwin();
    if (HasFatalFailure()) return;
    FocusWindow();
    if (HasFatalFailure()) return;
    MoveTo(kWidth / 2, 4);
    XSync(dpy_, False);
    Pause(200);
  }
  // The program alone, up to its window's layout (and its graphs with `awaitGraphs`).
  void Launch(const std::vector<std::string>& extra, bool awaitGraphs) {
    std::vector<std::string> arguments = {"--trace", "--size", std::to_string(kWidth) + "x" + std::to_string(kHeight)};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    arguments.push_back(document_);
    ASSERT_TRUE(program_.Start(arguments));
    ASSERT_TRUE(program_.WaitFor("layout")) << "the window did not open";
    if (awaitGraphs) {
      ASSERT_TRUE(program_.WaitFor("graphs complete"));
    }
  }
  // The in-process twin on the document, its graphs not yet computed.
  void OpenTwin() {
    twinWindow_.reset();  // a twin opened before goes before its document
    InitApplicationGlobals();
    InstallAlgebraSeams();
    ASSERT_TRUE(InitGraphicsLayer());
    twin_ = std::make_unique<DocumentRecord>(ComputeDocumentWindowLayout(kWidth, kHeight).graphPane);
    std::vector<int> lines;
    std::vector<DocumentProblem> problems;
    std::string failure;
    ASSERT_TRUE(ReadDocumentFile(document_, twin_.get(), &lines, &problems, &failure)) << failure;
    twinWindow_ = std::make_unique<DocumentWindow>(twin_.get(), nullptr);
    ASSERT_TRUE(twinWindow_->Open(kWidth, kHeight));
  }
  void FocusWindow() {
    for (int i = 0; i < 100 && window_ == 0; ++i, Pause(50)) window_ = Find(DefaultRootWindow(dpy_));
    ASSERT_NE(window_, 0u) << "no window named Quorvalis";
    XSetInputFocus(dpy_, window_, RevertToParent, CurrentTime);
  }

  ::Window Find(::Window w) {
    char* name = nullptr;
    if (XFetchName(dpy_, w, &name) != 0 && name != nullptr) {
      const bool ours = std::string(name).rfind("Quorvalis", 0) == 0;
      XFree(name);
      if (ours) return w;
    }
    ::Window root, parent, *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(dpy_, w, &root, &parent, &children, &count) == 0) return 0;
    ::Window found = 0;
    for (unsigned int i = 0; i < count && found == 0; ++i) found = Find(children[i]);
    if (children != nullptr) XFree(children);
    return found;
  }

  void MoveTo(int h, int v) {
    int x = 0, y = 0;
    ::Window child;
    XTranslateCoordinates(dpy_, window_, DefaultRootWindow(dpy_), h, v, &x, &y, &child);
    XTestFakeMotionEvent(dpy_, DefaultScreen(dpy_), x, y, CurrentTime);
    XSync(dpy_, False);
  }
  void Key(KeySym sym, bool shift) {
    const KeyCode code = XKeysymToKeycode(dpy_, sym);
    ASSERT_NE(code, 0) << "no key for keysym " << sym;
    const KeyCode shiftKey = XKeysymToKeycode(dpy_, XK_Shift_L);
    if (shift) XTestFakeKeyEvent(dpy_, shiftKey, True, CurrentTime);
    XTestFakeKeyEvent(dpy_, code, True, CurrentTime);
    XTestFakeKeyEvent(dpy_, code, False, CurrentTime);
    if (shift) XTestFakeKeyEvent(dpy_, shiftKey, False, CurrentTime);
    XSync(dpy_, False);
    Pause(10);
  }
  // The key (with Shift when asked) while the modifier key is held, as a keyboard sends them.
  void KeyHolding(KeySym modifier, KeySym sym, bool shift) {
    const KeyCode held = XKeysymToKeycode(dpy_, modifier);
    XTestFakeKeyEvent(dpy_, held, True, CurrentTime);
    Key(sym, shift);
    XTestFakeKeyEvent(dpy_, held, False, CurrentTime);
    XSync(dpy_, False);
  }
  // Each character as the key that types it on the server's keyboard (Shift when the key's first
  // level is another character).
  void Type(const std::string& text) {
    for (char c : text) {
      const KeySym sym = c == ' ' ? XK_space : static_cast<KeySym>(static_cast<unsigned char>(c));
      const KeyCode code = XKeysymToKeycode(dpy_, sym);
      Key(sym, XkbKeycodeToKeysym(dpy_, code, 0, 0) != sym);
      twinWindow_->HandleKey(TranslateLinuxKey(char32_t(c), char32_t(c), false, false, false));
    }
  }
  void Button(bool down) {
    XTestFakeButtonEvent(dpy_, 1, down ? True : False, CurrentTime);
    XSync(dpy_, False);
    Pause(30);
  }
  // The view line of the start-up trace (read while waiting for the window), and its x and y
  // ranges.
  testing::AssertionResult StartUpView(std::string* line, double* x0, double* x1, double* y0, double* y1) {
    const std::string& log = program_.Log();
    const size_t at = log.find("\nview ");
    if (at == std::string::npos) return testing::AssertionFailure() << "no view line in " << log;
    *line = log.substr(at + 1, log.find('\n', at + 1) - at - 1);
    if (std::sscanf(line->c_str(), "view %lf %lf %lf %lf", x0, x1, y0, y1) != 4) {
      return testing::AssertionFailure() << "cannot read " << *line;
    }
    return testing::AssertionSuccess();
  }
  // One notch of the wheel at the pointer (X buttons 4 up, 5 down).
  void Wheel(bool up) {
    XTestFakeButtonEvent(dpy_, up ? 4 : 5, True, CurrentTime);
    XTestFakeButtonEvent(dpy_, up ? 4 : 5, False, CurrentTime);
    XSync(dpy_, False);
    Pause(30);
  }
  // A press at one point, moved in eight steps to the other, released there.
  void Drag(int h0, int v0, int h1, int v1) {
    MoveTo(h0, v0);
    Button(true);
    for (int k = 1; k <= 8; ++k) {
      MoveTo(h0 + (h1 - h0) * k / 8, v0 + (v1 - v0) * k / 8);
      Pause(30);
    }
    Button(false);
  }

  void Click(QDPoint p) {
    MoveTo(p.h, p.v);
    Button(true);
    Button(false);
  }
  // Clicks row 0's leaf (root child 1, its child 0) three quarters across, in the program and the
  // twin, and waits for the caret line.
  void ClickFirstLeaf() {
    const FormulaEditor* row = twinWindow_->RowEditor(0);
    FixedRect leaf{};
    GetNodeRect(row->root->children[1]->children[0], &leaf);
    const QDPoint p{int16_t(row->frame.top + FixedToPixels((leaf.top + leaf.bottom) / 2)),
                    int16_t(row->frame.left + FixedToPixels(leaf.left + (leaf.right - leaf.left) * 3 / 4))};
    Click(p);
    twinWindow_->HandleMouseDown(p, 0, 1);
    ASSERT_TRUE(program_.WaitFor("caret 0"));
  }
  static QDPoint Centre(const QDRect& r) {
    return QDPoint{int16_t((r.top + r.bottom) / 2), int16_t((r.left + r.right) / 2)};
  }
  // Clicks the menu's title, waits for it to open, clicks the command's item; the program's menu
  // line after the item's click (the twin does the same).
  std::string ChooseItem(int32_t menu, int32_t command) {
    const QDPoint title = Centre(twinWindow_->Menus().TitleRect(menu));
    Click(title);
    twinWindow_->HandleMouseDown(title, 0, 1);
    std::string line;
    EXPECT_TRUE(program_.WaitFor("menu " + std::to_string(menu), &line)) << "menu " << menu << " did not open";
    const Menu& m = twinWindow_->Menus().MenuAt(menu);
    for (int32_t i = 0; i < m.count; ++i) {
      if (m.items[i].command != command) continue;
      const QDPoint item = Centre(twinWindow_->Menus().ItemRect(i));
      Click(item);
      twinWindow_->HandleMouseDown(item, 0, 1);
      EXPECT_TRUE(program_.WaitFor("menu ", &line));
      return line;
    }
    ADD_FAILURE() << "no item " << command;
    return line;
  }
  // The window's pixels as the server has them.
  Screenshot Grab() {
    Screenshot shot;
    XWindowAttributes a;
    XGetWindowAttributes(dpy_, window_, &a);
    XImage* image = XGetImage(dpy_, window_, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    if (image == nullptr) return shot;
    shot.width = a.width;
    shot.height = a.height;
    shot.pixels.resize(size_t(a.width) * a.height);
    for (int v = 0; v < a.height; ++v)
      for (int h = 0; h < a.width; ++h) shot.pixels[size_t(v) * a.width + h] = image->f.get_pixel(image, h, v) & 0xFFFFFF;
    image->f.destroy_image(image);
    return shot;
  }
  // The shot kept as NAME.png in $QV_ARTIFACT_DIR (default: the test temp dir).
  void Keep(const Screenshot& shot, const std::string& name) {
    const char* folder = std::getenv("QV_ARTIFACT_DIR");
    const std::string path = (folder != nullptr ? std::string(folder) + "/" : testing::TempDir()) + name + ".png";
    std::vector<uint32_t> opaque(shot.pixels);
    for (uint32_t& p : opaque) p |= 0xFF000000u;
    WritePngFile(path.c_str(), opaque.data(), shot.width, shot.height, shot.width * 4, false);
    if (shots_.find(path + " ") == std::string::npos) shots_ += path + " ";
  }
  Screenshot Shoot(const std::string& name) {
    Screenshot shot = Grab();
    Keep(shot, name);
    return shot;
  }
  // Grabs the window until `seen(shot)` holds, kShowSeconds at most (the program draws in its own
  // time, later on a busy machine): the last shot, kept.
  template <class Seen>
  Screenshot ShootUntil(const std::string& name, Seen seen) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(kShowSeconds);
    Screenshot shot = Grab();
    while ((shot.pixels.empty() || !seen(shot)) && Clock::now() < deadline) {
      Pause(50);
      shot = Grab();
    }
    Keep(shot, name);
    return shot;
  }

  // Columns of the plane view where the curve y = f(x) runs gently inside the pane, shifted by
  // (dh, dv): the fraction of them with ink within 2 pixels of where the map puts the curve.
  double CurveHits(const Screenshot& shot, double (*f)(double), int dh, int dv, int* columns) {
    const GraphView2D* view = twin_->viewSet.first2D;
    const QDRect pane = twinWindow_->Layout().graphPane;
    int count = 0, hits = 0;
    for (int h = view->rect.left + 10; h < view->rect.right - 10; h += 3) {
      const double x = view->WindowX(h);
      const double y = f(x), before = f(view->WindowX(h - 1)), after = f(view->WindowX(h + 1));
      if (!std::isfinite(y) || !std::isfinite(before) || !std::isfinite(after)) continue;
      const int v = WorldToPixelY(&view->windowMap, y);
      if (std::abs(WorldToPixelY(&view->windowMap, after) - WorldToPixelY(&view->windowMap, before)) > 4) continue;
      const int sh = h + dh, sv = v + dv;
      if (sh < pane.left + 4 || sh >= pane.right - 4 || sv < pane.top + 4 || sv >= pane.bottom - 4) continue;
      ++count;
      bool ink = false;
      for (int a = -1; a <= 1 && !ink; ++a)
        for (int b = -2; b <= 2 && !ink; ++b) ink = IsInk(shot.At(sh + a, sv + b));
      hits += ink ? 1 : 0;
    }
    *columns = count;
    return count > 0 ? double(hits) / count : 0.0;
  }

  Display* dpy_ = nullptr;
  ::Window window_ = 0;
  Program program_;
  std::string document_, shots_;
  std::unique_ptr<DocumentRecord> twin_;
  std::unique_ptr<DocumentWindow> twinWindow_;
};

// The saturated fill of a region graph.
inline bool IsFill(uint32_t p) {
  const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
  return std::max({r, g, b}) - std::min({r, g, b}) >= 100;
}

// ---- the integration server awaited through Math > Simplify ---------------------------------

// The box's pixels: its pale face, the bar's blue fill.
inline bool IsBoxFace(uint32_t p) { return p == 0xF4F4F4u; }
inline bool IsBarFill(uint32_t p) { return p == 0x2050C0u; }

class WindowIntegrationTest : public WindowTest {
 protected:
  void TearDown() override {
    unsetenv("QUORVALIS_INTEGRATION_SERVER");
    WindowTest::TearDown();
  }
  // A key with Control and Alt held (the key table's Control row), in the program and the twin.
  void ControlAltKey(char c) {
    const KeyCode control = XKeysymToKeycode(dpy_, XK_Control_L), alt = XKeysymToKeycode(dpy_, XK_Alt_L);
    XTestFakeKeyEvent(dpy_, control, True, CurrentTime);
    XTestFakeKeyEvent(dpy_, alt, True, CurrentTime);
    Key(static_cast<KeySym>(c), false);
    XTestFakeKeyEvent(dpy_, alt, False, CurrentTime);
    XTestFakeKeyEvent(dpy_, control, False, CurrentTime);
    XSync(dpy_, False);
    twinWindow_->HandleKey(TranslateLinuxKey(char32_t(c), char32_t(c), false, true, true));
  }
  // Starts the program on a server that gives the answer, types the integral's template key, Tab to
  // its integrand and the integrand, builds with Return, goes back up, selects the row and clicks
  // Math > Simplify without waiting for the command (it blocks on the server).
  void TypeIntegralAndSimplify(const loopback::Script& answer, char templateKey, const std::string& integrand) {
    server_ = std::make_unique<loopback::Server>(std::vector<loopback::Script>{answer});
    ASSERT_NE(server_->Port(), 0);
    for (const char* proxy : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) unsetenv(proxy);
    setenv("QUORVALIS_INTEGRATION_SERVER", server_->URL().c_str(), 1);
    Start();
    if (HasFatalFailure()) return;
    ControlAltKey(templateKey);
    ASSERT_TRUE(program_.WaitFor("caret 1"));
    std::string line;
    for (int i = 0; i < 4 && line != "caret 1 0 m0 0:0"; ++i) {
      Key(XK_Tab, false);
      twinWindow_->HandleKey(EditKeyEvent{kKeyTab, kKeyTab, 0});
      ASSERT_TRUE(program_.WaitFor("caret 1", &line));
    }
    ASSERT_EQ(line, "caret 1 0 m0 0:0") << "Tab did not reach the integrand";
    Type(integrand);
    for (size_t i = 0; i < integrand.size(); ++i) ASSERT_TRUE(program_.WaitFor("row 1"));
    // Return builds the graphs (the typing took them away) and goes on in the new row; Up comes back.
    Key(XK_Return, false);
    twinWindow_->HandleKey(EditKeyEvent{kKeyReturn, kKeyReturn, 0});
    ASSERT_TRUE(program_.WaitFor("graphs complete"));
    Key(XK_Up, false);
    twinWindow_->HandleKey(EditKeyEvent{kKeyUpArrow, kKeyUpArrow, 0});
    ASSERT_TRUE(program_.WaitFor("caret 1"));
    ChooseItem(0, kCommandSelectAll);
    ASSERT_TRUE(program_.WaitFor("row 1", &typed_));
    ASSERT_NE(typed_.find("integral["), std::string::npos) << typed_;
    twinWindow_->ChooseCommand(kCommandSelectAll);
    before_ = Shoot("window-integral-typed");
    ClickMathItemWithoutWaiting(0x2000);
  }
  // Opens the Math menu (in the twin too, for its geometry) and clicks the command's item in the
  // program only, without waiting for the command (it may block); the twin's menu is closed again.
  void ClickMathItemWithoutWaiting(int32_t command) {
    const QDPoint title = Centre(twinWindow_->Menus().TitleRect(1));
    Click(title);
    ASSERT_TRUE(program_.WaitFor("menu 1"));
    twinWindow_->HandleMouseDown(title, 0, 1);
    const Menu& math = twinWindow_->Menus().MenuAt(1);
    for (int32_t i = 0; i < math.count; ++i) {
      if (math.items[i].command != command) continue;
      item_ = twinWindow_->Menus().ItemRect(i);
      Click(Centre(item_));
    }
    twinWindow_->HandleKey(EditKeyEvent{kKeyEscape, kKeyEscape, 0});
  }
  // Pixels of the box's face and of the bar's fill inside the box's rectangle.
  static void CountBox(const Screenshot& shot, const QDRect& box, int* face, int* fill) {
    *face = *fill = 0;
    for (int v = box.top; v < box.bottom; ++v)
      for (int h = box.left; h < box.right; ++h) {
        *face += IsBoxFace(shot.At(h, v));
        *fill += IsBarFill(shot.At(h, v));
      }
  }
  static QDRect Box() { return ProgressBoxRect(MakeRect(0, 0, kWidth, kHeight)); }
  // Shoots the window until the box's face covers half its rectangle (kShowSeconds at most): the
  // last shot, its face and fill counted.
  Screenshot AwaitBox(const std::string& name, int* face, int* fill) {
    const QDRect box = Box();
    return ShootUntil(name, [&](const Screenshot& shot) {
      CountBox(shot, box, face, fill);
      return *face >= RectWidth(box) * RectHeight(box) / 2;
    });
  }
  // Pixels that changed from before the command in the place of row 1's message (under its
  // typeset frame).
  int MessageInk(const Screenshot& shot) const {
    const PixelRect f = twinWindow_->RowEditor(1)->frame;
    int ink = 0;
    for (int v = f.bottom; v < f.bottom + 16 && v < shot.height; ++v)
      for (int h = f.left; h < f.left + 300 && h < shot.width; ++h) ink += shot.At(h, v) != before_.At(h, v);
    return ink;
  }
  std::string typed_;
  Screenshot before_;
  QDRect item_{};  // the Math item clicked last, in the open menu
  std::unique_ptr<loopback::Server> server_;
};

}  // namespace window_test
