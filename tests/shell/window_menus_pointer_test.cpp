// The window's menus, Edit keys, pointer and row messages as a user meets them, through real SDL
// events under the X server: a closed menu leaves no pixels behind, an open menu keeps the wheel
// and the keys, the Edit keys and F10 act as their items, the cursor is the arrow again after a
// probe or a pan, and a graph's message shows under its row.
#include "tests/shell/window_test_support.h"

namespace window_test {
namespace {

constexpr int32_t kMenuEdit = 0, kMenuGraph = 2;

class WindowMenusPointerWindowTest : public WindowTest {
 protected:
  void Document(const std::string& text) { std::ofstream(document_) << text; }
  // A key with Control held (Shift too when asked), as the menus' keys are pressed.
  void ControlKey(KeySym sym, bool shift) {
    const KeyCode control = XKeysymToKeycode(dpy_, XK_Control_L);
    XTestFakeKeyEvent(dpy_, control, True, CurrentTime);
    Key(sym, shift);
    XTestFakeKeyEvent(dpy_, control, False, CurrentTime);
    XSync(dpy_, False);
  }
  // The menu line of the last key, click or wheel, and the command line after it when one ran.
  std::string MenuLine() {
    std::string line;
    EXPECT_TRUE(program_.WaitFor("menu ", &line));
    return line;
  }
};

// A map document at 300 x 300: the Graph menu hangs over the strip between the two plane views;
// once Escape closes it, the strip shows what it showed before.
TEST_F(WindowMenusPointerWindowTest, AClosedMenuLeavesNoPixelsBetweenTheMapViews) {
  Document("@map=picture matrix[2,1,x,y]\nequal[y,x]\n");
  Start({"--size", "300x300"});
  if (HasFatalFailure()) return;
  const QDRect pane = ComputeDocumentWindowLayout(300, 300).graphPane;
  const int32_t half = RectWidth(pane) / 2;
  const QDRect strip = MakeRect(pane.left + half - 6, pane.top, pane.left + half + 5, pane.bottom);
  twinWindow_->HandleMouseDown(Centre(twinWindow_->Menus().TitleRect(kMenuGraph)), 0, 1);
  QDRect covered{};
  ASSERT_TRUE(SectRect(strip, twinWindow_->Menus().DropRect(), &covered)) << "the menu covers part of the strip";
  twinWindow_->HandleKey(EditKeyEvent{kKeyEscape, kKeyEscape, 0});
  const Screenshot before = Shoot("map-before-menu");
  Click(Centre(twinWindow_->Menus().TitleRect(kMenuGraph)));
  EXPECT_EQ(MenuLine(), "menu 2 -1");
  const Screenshot open = Shoot("map-menu-open");
  Key(XK_Escape, false);
  EXPECT_EQ(MenuLine(), "menu -1 -1");
  Pause(200);
  const Screenshot after = Shoot("map-menu-closed");
  int drawn = 0, left = 0;
  for (int v = covered.top; v < covered.bottom; ++v)
    for (int h = covered.left; h < covered.right; ++h) {
      drawn += open.At(h, v) != before.At(h, v);
      left += after.At(h, v) != before.At(h, v);
    }
  EXPECT_GT(drawn, 0) << "the open menu was drawn over the strip";
  EXPECT_EQ(left, 0) << "pixels of the closed menu left in the strip";
}

// With a menu open the wheel and typed keys are the menu's: over the menu the wheel moves its
// highlight, elsewhere it closes the menu; neither scrolls the rows, and keys change no row.
TEST_F(WindowMenusPointerWindowTest, AnOpenMenuTakesTheWheelAndTheKeys) {
  std::string text;
  for (int i = 0; i < 30; ++i) text += "equal[y,plus[x," + std::to_string(i) + "]]\n";
  Document(text);
  Start();
  if (HasFatalFailure()) return;
  const QDPoint rows = Centre(twinWindow_->RowsRect());
  MoveTo(rows.h, rows.v);
  Wheel(true);
  std::string scroll;
  ASSERT_TRUE(program_.WaitFor("scroll ", &scroll)) << "with no menu the wheel scrolls the rows";
  twinWindow_->HandleMouseDown(Centre(twinWindow_->Menus().TitleRect(kMenuEdit)), 0, 1);
  const QDPoint overMenu = Centre(twinWindow_->Menus().DropRect());
  Click(Centre(twinWindow_->Menus().TitleRect(kMenuEdit)));
  EXPECT_EQ(MenuLine(), "menu 0 -1");
  MoveTo(overMenu.h, overMenu.v);
  Wheel(false);
  std::string line = MenuLine();
  EXPECT_EQ(line.rfind("menu 0 ", 0), 0u) << line;
  EXPECT_NE(line, "menu 0 -1") << "the wheel over the menu moves its highlight";
  Type("ab");
  EXPECT_EQ(MenuLine().rfind("menu 0 ", 0), 0u);
  EXPECT_EQ(MenuLine().rfind("menu 0 ", 0), 0u);
  MoveTo(rows.h, int(twinWindow_->RowsRect().bottom) - 4);
  Wheel(true);
  EXPECT_EQ(MenuLine(), "menu -1 -1") << "a wheel away from the menu closes it";
  const std::string rest = program_.Log();
  EXPECT_EQ(rest.find("scroll ", rest.find(scroll) + scroll.size()), std::string::npos) << "the rows scrolled under a menu";
  EXPECT_EQ(rest.find("\nrow "), std::string::npos) << "a key reached a row under a menu";
}

// The Edit keys run their items as if chosen, each traced as the menu's command, and F10 opens
// the first menu from the keyboard.
TEST_F(WindowMenusPointerWindowTest, EditKeysRunTheirItemsAndF10OpensTheFirstMenu) {
  Start();
  if (HasFatalFailure()) return;
  Type("y=x");
  std::string typed;
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(program_.WaitFor("row 1", &typed));
  struct Case {
    KeySym key;
    bool shift;
    const char* command;
  };
  const Case cases[] = {
      {XK_a, false, "command 0x30002"}, {XK_c, false, "command 0x2201"}, {XK_z, false, "command 0x30000"},
      {XK_z, true, "command 0x30001"},  {XK_z, false, "command 0x30000"}, {XK_y, false, "command 0x30001"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    ControlKey(c.key, c.shift);
    std::string line;
    ASSERT_TRUE(program_.WaitFor("command ", &line));
    EXPECT_EQ(line, c.command);
  }
  std::string row;
  ASSERT_TRUE(program_.WaitFor("row 1", &row));
  EXPECT_EQ(row, typed) << "Redo after Undo gives the typed row back";
  Key(XK_F10, false);
  EXPECT_EQ(MenuLine(), "menu 0 -1");
  Key(XK_Down, false);
  EXPECT_NE(MenuLine(), "menu 0 -1") << "the arrows move in the menu F10 opened";
  Key(XK_F10, false);
  EXPECT_EQ(MenuLine(), "menu -1 -1");
}

// A probe on the line and a pan on empty paper each set their own cursor while they track; when
// the button is up the arrow is back, and stays over the rows and the menu bar.
TEST_F(WindowMenusPointerWindowTest, ThePointerIsTheArrowAgainAfterAProbeAndAPan) {
  Start();
  if (HasFatalFailure()) return;
  const GraphView2D* view = twin_->viewSet.first2D;
  const int onLine = WorldToPixelY(&view->windowMap, -0.5);
  const int h = (view->rect.left + view->rect.right) / 2;
  struct Case {
    const char* name;
    int v0, v1;
  };
  const Case cases[] = {
      {"probe", onLine, onLine},
      {"pan", onLine - 60, onLine - 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Drag(h, c.v0, h + 40, c.v1);
    std::string line;
    ASSERT_TRUE(program_.WaitFor("cursor ", &line)) << "the drag set no cursor";
    EXPECT_EQ(line, "cursor left_ptr");
  }
  const QDPoint rows = Centre(twinWindow_->RowsRect());
  MoveTo(rows.h, rows.v);
  MoveTo(kWidth / 2, 4);
  Key(XK_F10, false);  // an event after the moves: any cursor line they caused comes before its menu line
  MenuLine();
  EXPECT_EQ(program_.Log().find("cursor colour"), std::string::npos) << "a drag's cursor was left";
  Key(XK_Escape, false);
}

// y = x + 100 lies outside the default region: its row says so once the graph is computed, in
// the message's grey under the row, as quorvalis-render reports it.
TEST_F(WindowMenusPointerWindowTest, AGraphsMessageShowsUnderItsRow) {
  Document("equal[y,plus[x,100]]\n");
  Start();
  if (HasFatalFailure()) return;
  for (int i = 0; i < 200 && !twinWindow_->GraphsComplete(); ++i) twinWindow_->IdleTick(30);
  twinWindow_->IdleTick(30);
  ASSERT_STREQ(twinWindow_->RowMessageText(0), "Curve is outside the region shown");
  const PixelRect f = twinWindow_->RowEditor(0)->frame;
  int grey = 0;
  Screenshot shot;
  for (int i = 0; i < 40 && grey < 30; ++i, Pause(50)) {
    shot = Shoot("window-row-message");
    grey = 0;
    // Between the row and the gap above the next one: the message's band, nothing else's.
    for (int v = f.bottom + 1; v < f.bottom + 10; ++v)
      for (int x = f.left; x < f.left + 200; ++x) {
        const uint32_t p = shot.At(x, v);
        const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
        grey += r == g && g == b && r < 0xC0;
      }
  }
  EXPECT_GE(grey, 30) << "no message text under the row";
}

}  // namespace
}  // namespace window_test
