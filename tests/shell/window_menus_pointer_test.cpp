// Menus, Edit keys, pointer and row messages through real SDL events under the X server.
#include "tests/shell/window_test_support.h"

namespace window_test {
namespace {

constexpr int32_t kMenuEdit = 0, kMenuGraph = 2;

class WindowMenusPointerWindowTest : public WindowTest {
 protected:
  // The next menu line: the menu open and its highlighted item, -1 for none.
  std::string MenuLine() {
    std::string line;
    EXPECT_TRUE(program_.WaitFor("menu ", &line));
    return line;
  }
};

// At 300 x 300 the Graph menu hangs over the strip between the two map views; closed, it leaves
// the strip as it was.
TEST_F(WindowMenusPointerWindowTest, AClosedMenuLeavesNoPixelsBetweenTheMapViews) {
  std::ofstream(document_) << "@map=picture matrix[2,1,x,y]\nequal[y,x]\n";
  ASSERT_NO_FATAL_FAILURE(Start({"--size", "300x300"}));
  const QDRect pane = ComputeDocumentWindowLayout(300, 300).graphPane;
  const int32_t middle = pane.left + RectWidth(pane) / 2;
  const QDPoint title = Centre(twinWindow_->Menus().TitleRect(kMenuGraph));
  twinWindow_->HandleMouseDown(title, 0, 1);
  QDRect covered{};
  ASSERT_TRUE(SectRect(MakeRect(middle - 6, pane.top, middle + 5, pane.bottom), twinWindow_->Menus().DropRect(), &covered));
  twinWindow_->HandleKey(EditKeyEvent{kKeyEscape, kKeyEscape, 0});
  const Screenshot before = Shoot("map-before-menu");
  Click(title);
  EXPECT_EQ(MenuLine(), "menu 2 -1");
  const Screenshot open = Shoot("map-menu-open");
  Key(XK_Escape, false);
  EXPECT_EQ(MenuLine(), "menu -1 -1");
  EXPECT_GT(DifferingPixels(open, before, covered), 0) << "the open menu was not drawn over the strip";
  const auto restored = [&](const Screenshot& s) { return DifferingPixels(s, before, covered) == 0; };
  EXPECT_TRUE(restored(ShootUntil("map-menu-closed", restored))) << "pixels of the closed menu left";
}

// With a menu open the wheel over it moves its highlight, elsewhere closes it; the rows never
// scroll, and typed keys reach no row.
TEST_F(WindowMenusPointerWindowTest, AnOpenMenuTakesTheWheelAndTheKeys) {
  std::ofstream file(document_);
  for (int i = 0; i < 30; ++i) file << "equal[y,plus[x," << i << "]]\n";
  file.close();
  ASSERT_NO_FATAL_FAILURE(Start());
  const QDPoint rows = Centre(twinWindow_->RowsRect());
  MoveTo(rows.h, rows.v);
  Wheel(true);
  std::string scroll;
  ASSERT_TRUE(program_.WaitFor("scroll ", &scroll)) << "with no menu the wheel scrolls the rows";
  const QDPoint title = Centre(twinWindow_->Menus().TitleRect(kMenuEdit));
  twinWindow_->HandleMouseDown(title, 0, 1);
  const QDPoint overMenu = Centre(twinWindow_->Menus().DropRect());
  Click(title);
  EXPECT_EQ(MenuLine(), "menu 0 -1");
  MoveTo(overMenu.h, overMenu.v);
  Wheel(false);
  const std::string line = MenuLine();
  EXPECT_TRUE(line.rfind("menu 0 ", 0) == 0 && line != "menu 0 -1") << "the wheel moved no highlight: " << line;
  Type("ab");
  for (int i = 0; i < 2; ++i) EXPECT_EQ(MenuLine().rfind("menu 0 ", 0), 0u);
  MoveTo(rows.h, int(twinWindow_->RowsRect().bottom) - 4);
  Wheel(true);
  EXPECT_EQ(MenuLine(), "menu -1 -1") << "a wheel away from the menu closes it";
  const std::string rest = program_.Log();
  EXPECT_EQ(rest.find("scroll ", rest.find(scroll) + scroll.size()), std::string::npos) << "the rows scrolled under a menu";
  EXPECT_EQ(rest.find("\nrow "), std::string::npos) << "a key reached a row under a menu";
}

// Each Edit key is traced as its item's command (Redo after Undo gives the row back); F10 opens
// the first menu, whose highlight the arrows move, and closes it.
TEST_F(WindowMenusPointerWindowTest, EditKeysRunTheirItemsAndF10OpensTheFirstMenu) {
  ASSERT_NO_FATAL_FAILURE(Start());
  Type("y=x");
  std::string typed, line;
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(program_.WaitFor("row 1", &typed));
  const struct { KeySym key; bool shift; const char* command; } cases[] = {
      {XK_a, false, "command 0x30002"}, {XK_c, false, "command 0x2201"}, {XK_z, false, "command 0x30000"},
      {XK_z, true, "command 0x30001"},  {XK_z, false, "command 0x30000"}, {XK_y, false, "command 0x30001"},
  };
  for (const auto& c : cases) {
    KeyHolding(XK_Control_L, c.key, c.shift);
    ASSERT_TRUE(program_.WaitFor("command ", &line)) << c.command;
    EXPECT_EQ(line, c.command);
  }
  ASSERT_TRUE(program_.WaitFor("row 1", &line));
  EXPECT_EQ(line, typed);
  Key(XK_F10, false);
  EXPECT_EQ(MenuLine(), "menu 0 -1");
  Key(XK_Down, false);
  EXPECT_NE(MenuLine(), "menu 0 -1");
  Key(XK_F10, false);
  EXPECT_EQ(MenuLine(), "menu -1 -1");
}

// A probe on the line and a pan on empty paper end with the arrow, which stays over the rows and
// the menu bar.
TEST_F(WindowMenusPointerWindowTest, ThePointerIsTheArrowAgainAfterAProbeAndAPan) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const GraphView2D* view = twin_->viewSet.first2D;
  const int onLine = WorldToPixelY(&view->windowMap, -0.5), h = (view->rect.left + view->rect.right) / 2;
  for (const auto& [v0, v1] : {std::pair{onLine, onLine}, std::pair{onLine - 60, onLine - 20}}) {
    Drag(h, v0, h + 40, v1);
    std::string line;
    ASSERT_TRUE(program_.WaitFor("cursor ", &line)) << "the drag from " << v0 << " set no cursor";
    EXPECT_EQ(line, "cursor left_ptr");
  }
  const QDPoint rows = Centre(twinWindow_->RowsRect());
  MoveTo(rows.h, rows.v);
  MoveTo(kWidth / 2, 4);
  Key(XK_F10, false);  // its menu line comes after any cursor line of the moves
  MenuLine();
  EXPECT_EQ(program_.Log().find("cursor colour"), std::string::npos) << "a drag's cursor was left";
  Key(XK_Escape, false);
}

// y = x + 100 is outside the default region: its message's grey text shows in the band under row 0.
TEST_F(WindowMenusPointerWindowTest, AGraphsMessageShowsUnderItsRow) {
  std::ofstream(document_) << "equal[y,plus[x,100]]\n";
  ASSERT_NO_FATAL_FAILURE(Start());
  const PixelRect f = twinWindow_->RowEditor(0)->frame;
  int grey = 0;
  ShootUntil("window-row-message", [&](const Screenshot& shot) {
    grey = 0;
    for (int v = f.bottom + 1; v < f.bottom + 10; ++v)
      for (int x = f.left; x < f.left + 200; ++x) {
        const uint32_t p = shot.At(x, v), r = p >> 16, g = (p >> 8) & 255, b = p & 255;
        grey += r == g && g == b && r < 0xC0;
      }
    return grey >= 30;
  });
  EXPECT_GE(grey, 30) << "no message text under the row";
}

}  // namespace
}  // namespace window_test
