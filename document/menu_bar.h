// MenuBar: the document window's menu bar, drawn with the drawing layer into the window's buffer
// (the window system gives none): its menus and their items, submenus hanging from items, the
// bar's and the open menus' geometry, and the tracking of clicks and keys. A click on a title opens
// its menu, a click on an enabled item or Return chooses it, Escape or a click outside closes, the
// arrow keys move between items and menus. An item with a submenu opens it beside itself when the
// pointer rests on it, when it is clicked, or with Right or Return; Left closes it again. A disabled
// item is drawn grey and is never chosen.
// Invariants: at most one menu is open, and at most one submenu, hanging from the open menu's
// highlighted item; a highlighted item, when there is one, is an enabled item of its menu; the
// geometry is that of the last Layout.
#pragma once

#include <cstdint>

#include "platform/draw/qd_geometry.h"

inline constexpr int32_t kMenuBarHeight = 20;
inline constexpr int32_t kMaxMenus = 4;
inline constexpr int32_t kMaxSubmenus = 8;
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
  int32_t submenu = -1;           // the menu id of the submenu it opens; -1 none
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
  // A new item of the menu that opens a new, empty submenu, disabled (`command` names the item for
  // SetEnabled and FindItem; choosing it opens the submenu); the submenu's id (kMaxMenus and up, for
  // AddItem and MenuAt), -1 when the menu or the submenus are full (or `menu` is itself a submenu).
  int32_t AddSubmenu(int32_t menu, const char* title, int32_t command, bool separatorBefore = false);
  // A new item at the end of the menu or submenu, disabled. False when it is full or not there.
  bool AddItem(int32_t menu, const char* title, const char* keys, int32_t command, bool separatorBefore = false);
  // The first item of the command, in the menus and then the submenus; null when none.
  MenuItem* FindItem(int32_t command);
  const MenuItem* FindItem(int32_t command) const { return const_cast<MenuBar*>(this)->FindItem(command); }
  void SetEnabled(int32_t command, bool enabled);
  void SetChecked(int32_t command, bool checked);
  int32_t MenuCount() const { return count_; }
  // A menu (0 .. MenuCount() - 1) or a submenu (an id AddSubmenu gave).
  const Menu& MenuAt(int32_t menu) const { return *MenuOf(menu); }

  // Measures titles and items in the menu font (a port must be current) and places the bar; the
  // menus hang no lower than `bottom` where they can (the window's bottom).
  void Layout(const QDRect& bar, int32_t bottom = 32767);
  const QDRect& BarRect() const { return bar_; }
  QDRect TitleRect(int32_t menu) const;
  // The open menu's box and its item i; empty when no menu is open or no such item.
  QDRect DropRect() const;
  QDRect ItemRect(int32_t item) const;
  // The open submenu's box beside its item (to the right, or to the left where the bar ends) and
  // its item i; empty when no submenu is open or no such item.
  QDRect SubDropRect() const;
  QDRect SubItemRect(int32_t item) const;
  // The boxes of the open menu and submenu together.
  QDRect OpenArea() const;

  bool IsOpen() const { return open_ >= 0; }
  int32_t OpenMenu() const { return open_; }
  int32_t Highlighted() const { return highlighted_; }
  // The open submenu's id and its highlighted item; -1 for none.
  int32_t OpenSubmenu() const { return sub_; }
  int32_t SubHighlighted() const { return subHighlighted_; }
  // Opens the menu (closing another) with nothing highlighted; an index out of range closes.
  void Open(int32_t menu);
  void Close();

  // A mouse-down at the window point.
  MenuAction Click(QDPoint point);
  // The pointer moved (no button): over an enabled item of the open menu or submenu it is
  // highlighted, and an item's submenu opens (another closes). kChanged when the highlight moved
  // or a submenu opened, kClosed when a submenu closed (what it covered is to be drawn again),
  // else kIgnored; kPassed while no menu is open.
  MenuAction Hover(QDPoint point);
  // A key (a key-table character: Escape, Return, Enter and the arrows act); passed on while
  // no menu is open, but for kMenuKey, which opens the first menu (and closes an open one).
  MenuAction Key(uint8_t character);
  // The wheel (dv > 0 away from the user) while a menu is open: over the open menu or submenu it
  // moves the highlight as Up and Down do, elsewhere it closes the menu. Passed on while no menu
  // is open.
  MenuAction Wheel(QDPoint point, int32_t dv);

  // Draws the bar, the open menu and the open submenu into the current port.
  void Draw() const;

 private:
  Menu* MenuOf(int32_t menu);
  const Menu* MenuOf(int32_t menu) const { return const_cast<MenuBar*>(this)->MenuOf(menu); }
  int32_t TitleAt(QDPoint point) const;
  int32_t ItemAt(QDPoint point) const;
  int32_t SubItemAt(QDPoint point) const;
  // The next enabled item of the menu after `from` going `step` (+1 or -1), wrapping; -1 when none.
  int32_t NextEnabled(const Menu& menu, int32_t from, int32_t step) const;
  // The submenu of the open menu's item opened (nothing highlighted in it), or closed for -1 or an
  // item without one. True when that changed what is open.
  bool OpenSubmenuOf(int32_t item);
  // The box of a menu hanging at (left, top): its width measured by Layout, its height by its items.
  QDRect BoxOf(const Menu& menu, int32_t width, int32_t left, int32_t top) const;
  // The open submenu's highlight moved to its next enabled item going `step` (+1 or -1).
  MenuAction MoveSubHighlight(int32_t step);
  // A choice of the item of a menu: the menus close; disabled items are ignored, an item with a
  // submenu opens it (with its first item highlighted, for the keys, when `enterSubmenu`).
  MenuAction Choose(const Menu& menu, int32_t item, bool enterSubmenu = true);

  Menu menus_[kMaxMenus];
  int32_t count_ = 0;
  Menu subs_[kMaxSubmenus];
  int32_t subCount_ = 0;
  QDRect bar_{0, 0, 0, 0};
  int32_t bottom_ = 32767;
  int16_t titleLeft_[kMaxMenus + 1] = {};  // title i spans titleLeft_[i]..titleLeft_[i + 1]
  int16_t dropWidth_[kMaxMenus] = {};
  int16_t subWidth_[kMaxSubmenus] = {};
  int32_t open_ = -1;
  int32_t highlighted_ = -1;
  int32_t sub_ = -1;  // the open submenu's id
  int32_t subHighlighted_ = -1;
};
