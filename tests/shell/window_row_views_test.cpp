// The rows' settings and the second views in the window, through real events under the X server:
// the Graph menu's Colour submenu recolours the active row's line and Control+Z gives its colour
// back; a space map and a split view show the second view beside the first in the graph pane.
#include "tests/shell/window_test_support.h"

namespace {

using namespace window_test;

constexpr int32_t kMenuGraph = 2;

bool Blue(uint32_t p) { return (p & 0xFF) > 150 && (p >> 16 & 0xFF) < 80 && (p >> 8 & 0xFF) < 80; }
// Magenta however it is shaded (a surface's dark side too): red and blue well above green.
bool Magenta(uint32_t p) {
  const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
  return r + b > 80 && 2 * g < std::min(r, b) && std::abs(r - b) < 60;
}
int CountIn(const Screenshot& shot, const QDRect& r, bool (*colour)(uint32_t)) {
  int n = 0;
  for (int v = r.top; v < r.bottom; ++v)
    for (int h = r.left; h < r.right; ++h) n += colour(shot.At(h, v));
  return n;
}

class RowViewsWindowTest : public WindowTest {
 protected:
  // The Graph menu's submenu and its item chosen by clicks (the twin clicks too, for the menus'
  // geometry): the program's command line.
  std::string ChooseSetting(const char* submenu, const char* item) {
    const MenuBar& bar = twinWindow_->Menus();
    const QDPoint title = Centre(bar.TitleRect(kMenuGraph));
    Click(title);
    twinWindow_->HandleMouseDown(title, 0, 1);
    std::string line;
    EXPECT_TRUE(program_.WaitFor("menu 2", &line)) << "the Graph menu did not open";
    const Menu& graph = bar.MenuAt(kMenuGraph);
    for (int32_t i = 0; i < graph.count; ++i) {
      if (std::string(graph.items[i].title) != submenu) continue;
      const QDPoint opener = Centre(bar.ItemRect(i));
      Click(opener);
      twinWindow_->HandleMouseDown(opener, 0, 1);
      EXPECT_TRUE(program_.WaitFor("menu 2 " + std::to_string(i) + " sub", &line)) << submenu << " did not open";
      const Menu& sub = bar.MenuAt(bar.OpenSubmenu());
      for (int32_t k = 0; k < sub.count; ++k) {
        if (std::string(sub.items[k].title) != item) continue;
        const QDPoint choice = Centre(bar.SubItemRect(k));
        Click(choice);
        twinWindow_->HandleMouseDown(choice, 0, 1);
        EXPECT_TRUE(program_.WaitFor("command ", &line)) << item << " was not chosen";
        return line;
      }
    }
    ADD_FAILURE() << "no item " << submenu << " > " << item;
    return line;
  }
};

// The row's line y = -0.5 is magenta; Graph > Colour > Blue turns it blue without building the
// graphs again, and Control+Z turns it magenta again.
TEST_F(RowViewsWindowTest, TheColourSubmenuRecoloursTheRowAndUndoGivesItsColourBack) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const QDRect pane = twinWindow_->Layout().graphPane;
  const auto magentaLine = [&](const Screenshot& s) { return CountIn(s, pane, Magenta) > 200 && CountIn(s, pane, Blue) == 0; };
  ASSERT_TRUE(magentaLine(ShootUntil("window-row-magenta", magentaLine)));
  ClickFirstLeaf();
  EXPECT_EQ(ChooseSetting("Colour", "Blue"), "command 0x34002");
  ASSERT_TRUE(program_.WaitFor("graphs complete"));
  const auto blueLine = [&](const Screenshot& s) { return CountIn(s, pane, Blue) > 200 && CountIn(s, pane, Magenta) == 0; };
  EXPECT_TRUE(blueLine(ShootUntil("window-row-blue", blueLine))) << "the line did not turn blue";
  EXPECT_EQ(program_.Log().find("slider "), std::string::npos);
  KeyHolding(XK_Control_L, XK_z, false);
  std::string line;
  ASSERT_TRUE(program_.WaitFor("command ", &line));
  EXPECT_EQ(line, "command 0x30000");
  EXPECT_TRUE(magentaLine(ShootUntil("window-row-undone", magentaLine))) << "undo left the line blue";
}

// The second view beside the first: a space map's companion of the sphere, and a split view's 3D
// view holding the row sent there (blue) beside the plane's parabola (magenta).
TEST_F(RowViewsWindowTest, TheSecondViewStandsBesideTheFirst) {
  const char* sphere = "equal[plus[power[x,2],power[y,2],power[z,2]],1]\n";
  const struct {
    const char* name;
    std::string document;
    int magenta[2], blue[2];  // at least as many in the first and the second view; -1 none
  } cases[] = {
      {"window-space-map", std::string("@map=space matrix[3,1,times[3,x],y,z]\n") + sphere, {300, 300}, {-1, -1}},
      {"window-split-3d", "@split=3d\nequal[y,power[x,2]]\n@side=1 @colour=3 equal[z,times[x,y]]\n", {50, -1},
       {-1, 300}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    program_.Stop();
    window_ = 0;  // the next program's window is found anew
    std::ofstream(document_) << c.document;
    ASSERT_NO_FATAL_FAILURE(Start());
    const GraphViewSet& set = twin_->viewSet;
    ASSERT_NE(set.secondary, nullptr);
    const QDRect views[2] = {set.primary->rect, set.secondary->rect};
    const auto shown = [&](const Screenshot& s) {
      for (int k = 0; k < 2; ++k) {
        const int magenta = CountIn(s, views[k], Magenta), blue = CountIn(s, views[k], Blue);
        if (c.magenta[k] < 0 ? magenta != 0 : magenta < c.magenta[k]) return false;
        if (c.blue[k] < 0 ? blue != 0 : blue < c.blue[k]) return false;
      }
      return true;
    };
    EXPECT_TRUE(shown(ShootUntil(c.name, shown)));
  }
}

}  // namespace
