// Drags released outside the window, through real SDL events under the X server: each drag loop
// ends where the button comes up, and the program is back in its event loop.
#include "tests/shell/window_test_support.h"

namespace window_test {
namespace {

// Where a drag begins, found in the twin (or given, for the window of another size).
enum class PressAt { kGiven, kFirstRow, kSliderTrack, kDivider, kOnTheLine, kEmptyPaper, kPaneCentre, kMenuTitle };

struct DragOut {
  const char* name;
  const char* document;
  int width, height;  // the window; the fixture's size has the twin's geometry
  PressAt at;
  QDPoint given;       // for PressAt::kGiven
  KeySym held;         // a modifier key held over the drag, 0 for none
  bool awaitGraphs;    // a document that draws nothing never says its graphs are complete
  const char* ended;   // the trace line the event loop writes once the press has been handled
  const char* answer;  // the line that answers a key typed during the drag (or after, with a key held)
  const char* click;   // the line that answers a click on the top row afterwards
};

class WindowDragReleaseWindowTest : public WindowTest {
 protected:
  void MoveToRoot(int x, int y) {
    XTestFakeMotionEvent(dpy_, DefaultScreen(dpy_), x, y, CurrentTime);
    XSync(dpy_, False);
  }
  void MoveInWindow(int h, int v) {
    int x = 0, y = 0;
    ::Window child;
    XTranslateCoordinates(dpy_, window_, DefaultRootWindow(dpy_), h, v, &x, &y, &child);
    MoveToRoot(x, y);
  }
  void KeyEvent(KeySym sym, bool down) {
    XTestFakeKeyEvent(dpy_, XKeysymToKeycode(dpy_, sym), down ? True : False, CurrentTime);
    XSync(dpy_, False);
  }
  // Whether another client holds the pointer: a grab of ours is refused then (and let go at once
  // when it is not).
  bool PointerHeldByAnother() {
    const int result =
        XGrabPointer(dpy_, DefaultRootWindow(dpy_), False, 0, GrabModeAsync, GrabModeAsync, 0, 0, CurrentTime);
    if (result == GrabSuccess) XUngrabPointer(dpy_, CurrentTime);
    XSync(dpy_, False);
    return result == AlreadyGrabbed;
  }
  QDPoint PressPoint(const DragOut& c) {
    const DocumentWindowLayout& layout = twinWindow_->Layout();
    const GraphView2D* plane = twin_->viewSet.first2D;
    const int16_t middle = int16_t((plane->rect.left + plane->rect.right) / 2);
    switch (c.at) {
      case PressAt::kGiven: return c.given;
      case PressAt::kFirstRow: {
        const PixelRect f = twinWindow_->RowEditor(0)->frame;
        return QDPoint{int16_t((f.top + f.bottom) / 2), int16_t(f.left + 4)};
      }
      case PressAt::kSliderTrack: {
        const QDRect track = SliderTrackRect(SliderLineRect(twinWindow_->SliderStrip(), 0));
        return QDPoint{int16_t((track.top + track.bottom) / 2), int16_t(SliderThumbCentre(track, 100, 25))};
      }
      case PressAt::kDivider: return QDPoint{int16_t(layout.mathPane.bottom + 1), int16_t(kWidth / 2)};
      case PressAt::kOnTheLine: return QDPoint{int16_t(WorldToPixelY(&plane->windowMap, -0.5)), middle};
      case PressAt::kEmptyPaper: return QDPoint{int16_t(WorldToPixelY(&plane->windowMap, -0.5) - 60), middle};
      case PressAt::kPaneCentre: return Centre(layout.graphPane);
      case PressAt::kMenuTitle: return Centre(twinWindow_->Menus().TitleRect(0));
    }
    return c.given;
  }
};

constexpr char kSliderAlone[] = "@slider=25 equal[a,slider[id[comma[0,10]]]]\n";
constexpr char kSliderAndParabola[] = "@slider=25 equal[a,slider[id[comma[0,4]]]]\nequal[y,times[a,power[x,2]]]\n";
constexpr char kLine[] = "# a horizontal line\nequal[y,minus[0.5]]\n";
constexpr char kSpace[] = "@view=3d\nequal[matrix[3,1,x,y,z],matrix[3,1,minus[y],x,0]]\n";
constexpr char kFourD[] = "@view=4d\nequal[w,times[0.25,power[z,2]]]\n";

// Pressed inside, moved to the far side below and right, to the negative side and to two points of
// the screen's top edge outside the window, and released there. The program reads the press only
// once the pointer has left: then SDL let go of the pointer on the crossing events, the release
// went to another window and the loop waited for it. The window must hold the pointer, the loop
// end, keys typed during the drag be answered without another click, and the next click count.
TEST_F(WindowDragReleaseWindowTest, EveryDragEndsWhereTheButtonIsReleasedOutsideTheWindow) {
  const DragOut cases[] = {
      {"selection in a 120 x 120 window", kSliderAlone, 120, 120, PressAt::kGiven, {43, 20}, 0, false, "caret ", "row ",
       "caret "},
      {"selection", kLine, kWidth, kHeight, PressAt::kFirstRow, {}, 0, true, "caret ", "row ", "caret "},
      {"slider", kSliderAndParabola, kWidth, kHeight, PressAt::kSliderTrack, {}, 0, true, "slider 0 ", "row ", "caret "},
      {"divider", kLine, kWidth, kHeight, PressAt::kDivider, {}, 0, true, "layout ", "row ", "caret "},
      {"probe", kLine, kWidth, kHeight, PressAt::kOnTheLine, {}, 0, true, "view ", "row ", "caret "},
      {"pan", kLine, kWidth, kHeight, PressAt::kEmptyPaper, {}, 0, true, "view ", "row ", "caret "},
      {"zoom box", kLine, kWidth, kHeight, PressAt::kPaneCentre, {}, XK_Shift_L, true, "view ", "row ", "caret "},
      {"3D turn", kSpace, kWidth, kHeight, PressAt::kPaneCentre, {}, XK_Alt_L, true, "view ", "row ", "caret "},
      {"4D turn", kFourD, kWidth, kHeight, PressAt::kPaneCentre, {}, XK_Alt_L, true, "view ", "row ", "caret "},
      {"menu", kLine, kWidth, kHeight, PressAt::kMenuTitle, {}, 0, true, "menu 0 -1", "menu 0 ", "menu -1 -1"},
  };
  constexpr double kLimit = 20;  // a drag that did not end holds every line back
  for (const DragOut& c : cases) {
    SCOPED_TRACE(c.name);
    const bool failedBefore = HasFailure();
    program_.Stop();
    twinWindow_.reset();
    twin_.reset();
    window_ = 0;
    std::ofstream(document_) << c.document;
    ASSERT_NO_FATAL_FAILURE(Start({"--size", std::to_string(c.width) + "x" + std::to_string(c.height)}, c.awaitGraphs));
    const QDPoint press = PressPoint(c);
    MoveToRoot(0, 0);
    if (c.held != 0) KeyEvent(c.held, true);
    // The pointer comes in, presses and leaves before the program reads any of it, as with a busy
    // program: the server holds the program's requests meanwhile.
    XGrabServer(dpy_);
    MoveInWindow(press.h, press.v);
    XTestFakeButtonEvent(dpy_, 1, True, CurrentTime);
    MoveInWindow(c.width + 125, c.height + 253);
    XUngrabServer(dpy_);
    XSync(dpy_, False);
    ASSERT_TRUE(program_.WaitFor("press ", nullptr, kLimit));
    EXPECT_TRUE(PointerHeldByAnother()) << "the window let go of the pointer while the button was down";
    MoveInWindow(-40, -30);
    if (c.held == 0) {
      KeyEvent(XK_b, true);
      KeyEvent(XK_b, false);
    }
    MoveToRoot(0, 0);
    MoveToRoot(381, 0);
    XTestFakeButtonEvent(dpy_, 1, False, CurrentTime);
    XSync(dpy_, False);
    const bool ended = program_.WaitFor(c.ended, nullptr, kLimit);
    if (c.held != 0) KeyEvent(c.held, false);
    if (!ended) Shoot(std::string("drag-out-") + c.name);
    ASSERT_TRUE(ended) << "the drag did not end";
    if (c.held != 0) Key(XK_b, false);
    EXPECT_TRUE(program_.WaitFor(c.answer, nullptr, kLimit)) << "the key waited";
    Click(QDPoint{30, int16_t(c.width - 20)});  // the top row however far the divider went, beside a menu
    EXPECT_TRUE(program_.WaitFor(c.click, nullptr, kLimit)) << "the next click was not taken";
    if (HasFailure() && !failedBefore) Shoot(std::string("drag-out-after-") + c.name);
  }
}

}  // namespace
}  // namespace window_test
