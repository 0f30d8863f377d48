// MenuBar: the document window's menu bar, drawn with the drawing layer into the window's buffer
// (the window system gives none): its menus and their items, the bar's and the open menu's
// geometry, and the tracking of clicks and keys. A click on a title opens its menu, a click on an
// enabled item or Return chooses it, Escape or a click outside closes, the arrow keys move between
// items and menus. A disabled item is drawn grey and is never chosen.
// Invariants: at most one menu is open; the highlighted item, when there is one, is an enabled
// item of the open menu; the geometry is that of the last Layout.
#pragma once

#include <cstdint>

#include "platform/draw/qd_geometry.h"

inline constexpr int32_t kMenuBarHeight = 20;
inline constexpr int32_t kMaxMenus = 4;
inline constexpr int32_t kMaxMenuItems = 24;
// The key that opens the first menu from the keyboard (F10; the window passes it as this code,
// which no row of the key table uses) and closes an open one.
inline constexpr uint8_t kMenuKey = 16;

struct MenuItem {
  const char* title = nullptr;  // static text
  const char* keys = nullptr;   // the key that runs it, shown at the right; null for none
  int32_t command = 0;
  bool enabled = false;
  bool checked = false;
  bool separatorBefore = false;  // a line above the item
};

struct Menu {
  const char* title = nullptr;
  MenuItem items[kMaxMenuItems];
  int32_t count = 0;
};

// What a click or a key did to the menus.
enum class MenuResult : uint8_t {
  kPassed,   // not the menus' business: the window handles it
  kIgnored,  // taken by the menus, nothing changed (a disabled item, a key while a menu is open)
  kChanged,  // a menu opened or the highlight moved: the bar and the open menu are drawn again
  kClosed,   // the open menu closed: what it covered is drawn again
  kChosen,   // the open menu closed and `command` is to run
};
struct MenuAction {
  MenuResult result = MenuResult::kPassed;
  int32_t command = 0;
};

class MenuBar {
 public:
  // A new menu at the right end; its index, -1 when the bar is full.
  int32_t AddMenu(const char* title);
  // A new item at the end of the menu, disabled. False when the menu is full or not there.
  bool AddItem(int32_t menu, const char* title, const char* keys, int32_t command, bool separatorBefore = false);
  // The first item of the command, null when none.
  MenuItem* FindItem(int32_t command);
  const MenuItem* FindItem(int32_t command) const { return const_cast<MenuBar*>(this)->FindItem(command); }
  void SetEnabled(int32_t command, bool enabled);
  void SetChecked(int32_t command, bool checked);
  int32_t MenuCount() const { return count_; }
  const Menu& MenuAt(int32_t menu) const { return menus_[menu]; }

  // Measures titles and items in the menu font (a port must be current) and places the bar.
  void Layout(const QDRect& bar);
  const QDRect& BarRect() const { return bar_; }
  QDRect TitleRect(int32_t menu) const;
  // The open menu's box and its item i; empty when no menu is open or no such item.
  QDRect DropRect() const;
  QDRect ItemRect(int32_t item) const;

  bool IsOpen() const { return open_ >= 0; }
  int32_t OpenMenu() const { return open_; }
  int32_t Highlighted() const { return highlighted_; }
  // Opens the menu (closing another) with nothing highlighted; an index out of range closes.
  void Open(int32_t menu);
  void Close();

  // A mouse-down at the window point.
  MenuAction Click(QDPoint point);
  // The pointer moved (no button): over an enabled item of the open menu it is highlighted.
  // kChanged when the highlight moved, else kIgnored; kPassed while no menu is open.
  MenuAction Hover(QDPoint point);
  // A key (a key-table character: Escape, Return, Enter and the arrows act); passed on while
  // no menu is open, but for kMenuKey, which opens the first menu (and closes an open one).
  MenuAction Key(uint8_t character);
  // The wheel (dv > 0 away from the user) while a menu is open: over the open menu it moves the
  // highlight as Up and Down do, elsewhere it closes the menu. Passed on while no menu is open.
  MenuAction Wheel(QDPoint point, int32_t dv);

  // Draws the bar and the open menu into the current port.
  void Draw() const;

 private:
  int32_t TitleAt(QDPoint point) const;
  int32_t ItemAt(QDPoint point) const;
  // The next enabled item after `from` going `step` (+1 or -1), wrapping; -1 when none.
  int32_t NextEnabled(int32_t from, int32_t step) const;

  Menu menus_[kMaxMenus];
  int32_t count_ = 0;
  QDRect bar_{0, 0, 0, 0};
  int16_t titleLeft_[kMaxMenus + 1] = {};  // title i spans titleLeft_[i]..titleLeft_[i + 1]
  int16_t dropWidth_[kMaxMenus] = {};
  int32_t open_ = -1;
  int32_t highlighted_ = -1;
};
