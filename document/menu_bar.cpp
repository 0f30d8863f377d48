// The menu bar's model, geometry, tracking and drawing. Geometry is measured once a layout (the
// texts are static); enabled and checked states may change between any two events. A submenu
// hangs beside the open menu's highlighted item; keys move in it once it has a highlight.
#include "document/menu_bar.h"

#include <algorithm>

#include "editor/equation_keys.h"
#include "platform/draw/port.h"
#include "platform/draw/shapes.h"
#include "platform/draw/text.h"
#include "platform/fonts.h"

namespace {

constexpr int16_t kMenuTextSize = 12;
constexpr int32_t kTitlePadding = 10;  // left and right of a title
constexpr int32_t kItemHeight = 18;
constexpr int32_t kSeparatorHeight = 7;
constexpr int32_t kItemLeft = 20;      // room for the check mark
constexpr int32_t kKeyGap = 24;        // between an item's title and its keys
constexpr int32_t kItemRight = 12;
constexpr int32_t kBaseline = 14;      // of a title or an item, from its top
constexpr int32_t kArrowRoom = 14;     // right of an item's title: the arrow of its submenu
constexpr RGBColor16 kBarColour{0xEEEE, 0xEEEE, 0xEEEE};
constexpr RGBColor16 kBarLineColour{0xA0A0, 0xA0A0, 0xA0A0};
constexpr RGBColor16 kHighlightColour{0x3333, 0x6666, 0xCCCC};
constexpr RGBColor16 kDisabledColour{0x9999, 0x9999, 0x9999};
constexpr RGBColor16 kWhite{0xFFFF, 0xFFFF, 0xFFFF};
constexpr RGBColor16 kBlack{0, 0, 0};

void UseMenuFont() {
  TextFont(kFontApplication);
  TextSize(kMenuTextSize);
  TextFace(0);
}

int32_t ItemTop(const Menu& menu, int32_t item) {
  int32_t top = 0;
  for (int32_t i = 0; i <= item && i < menu.count; ++i) {
    if (menu.items[i].separatorBefore) top += kSeparatorHeight;
    if (i < item) top += kItemHeight;
  }
  return top;
}

// The item's box in a menu whose box is `box`.
QDRect ItemRectIn(const Menu& menu, const QDRect& box, int32_t item) {
  if (item < 0 || item >= menu.count) return QDRect{0, 0, 0, 0};
  const int32_t top = box.top + 1 + ItemTop(menu, item);
  return MakeRect(box.left + 1, top, box.right - 1, top + kItemHeight);
}

int32_t ItemIn(const Menu& menu, const QDRect& box, QDPoint point) {
  for (int32_t i = 0; i < menu.count; ++i)
    if (PtInRect(point, ItemRectIn(menu, box, i))) return i;
  return -1;
}

// The widest item of the menu, with its keys or its submenu's arrow, plus the margins.
int32_t MenuWidth(const Menu& menu) {
  int32_t width = 0;
  for (int32_t i = 0; i < menu.count; ++i) {
    const MenuItem& item = menu.items[i];
    const int32_t extra = item.keys != nullptr ? kKeyGap + StringWidth(item.keys) : item.submenu >= 0 ? kArrowRoom : 0;
    width = std::max(width, StringWidth(item.title) + extra);
  }
  return kItemLeft + width + kItemRight;
}

void DrawCheckMark(int32_t left, int32_t top) {
  PenSize(2, 2);
  MoveTo(left + 6, top + 9);
  LineTo(left + 9, top + 12);
  LineTo(left + 14, top + 5);
  PenSize(1, 1);
}

void DrawSubmenuArrow(const QDRect& item) {
  const int32_t right = item.right - kItemRight + 4, middle = item.top + kItemHeight / 2;
  for (int32_t k = 0; k < 4; ++k) {
    MoveTo(right - 4 + k, middle - 3 + k);
    LineTo(right - 4 + k, middle + 3 - k);
  }
}

void DrawMenuBox(const Menu& menu, const QDRect& box, int32_t highlighted) {
  RGBForeColor(kWhite);
  PaintRect(box);
  RGBForeColor(kBarLineColour);
  FrameRect(box);
  for (int32_t i = 0; i < menu.count; ++i) {
    const MenuItem& item = menu.items[i];
    const QDRect r = ItemRectIn(menu, box, i);
    if (item.separatorBefore) {
      RGBForeColor(kBarLineColour);
      PaintRect(MakeRect(r.left + 4, r.top - kSeparatorHeight / 2 - 1, r.right - 4, r.top - kSeparatorHeight / 2));
    }
    const bool lit = i == highlighted;
    if (lit) {
      RGBForeColor(kHighlightColour);
      PaintRect(r);
    }
    RGBForeColor(lit ? kWhite : item.enabled ? kBlack : kDisabledColour);
    if (item.checked) DrawCheckMark(r.left, r.top);
    MoveTo(r.left + kItemLeft - 1, r.top + kBaseline);
    DrawString(item.title);
    if (item.keys != nullptr) {
      MoveTo(r.right - kItemRight + 1 - StringWidth(item.keys), r.top + kBaseline);
      DrawString(item.keys);
    } else if (item.submenu >= 0) {
      DrawSubmenuArrow(r);
    }
  }
}

}  // namespace

int32_t MenuBar::AddMenu(const char* title) {
  if (count_ >= kMaxMenus) return -1;
  menus_[count_] = Menu{};
  menus_[count_].title = title;
  return count_++;
}

int32_t MenuBar::AddSubmenu(int32_t menu, const char* title, int32_t command, bool separatorBefore) {
  if (menu < 0 || menu >= count_) return -1;  // a submenu opens no further submenu
  Menu* parent = &menus_[menu];
  if (parent->count >= kMaxMenuItems || subCount_ >= kMaxSubmenus) return -1;
  const int32_t id = kMaxMenus + subCount_;
  subs_[subCount_++] = Menu{title, {}, 0};
  MenuItem& item = parent->items[parent->count++];
  item = MenuItem{title, nullptr, command, false, false, separatorBefore, id};
  return id;
}

bool MenuBar::AddItem(int32_t menu, const char* title, const char* keys, int32_t command, bool separatorBefore) {
  Menu* m = MenuOf(menu);
  if (m == nullptr || m->count >= kMaxMenuItems) return false;
  MenuItem& item = m->items[m->count++];
  item = MenuItem{title, keys, command, false, false, separatorBefore};
  return true;
}

Menu* MenuBar::MenuOf(int32_t menu) {
  if (menu >= 0 && menu < count_) return &menus_[menu];
  if (menu >= kMaxMenus && menu < kMaxMenus + subCount_) return &subs_[menu - kMaxMenus];
  return nullptr;
}

MenuItem* MenuBar::FindItem(int32_t command) {
  for (int32_t m = 0; m < kMaxMenus + subCount_; ++m) {
    Menu* menu = MenuOf(m);
    for (int32_t i = 0; menu != nullptr && i < menu->count; ++i)
      if (menu->items[i].command == command) return &menu->items[i];
  }
  return nullptr;
}

void MenuBar::SetEnabled(int32_t command, bool enabled) {
  if (MenuItem* item = FindItem(command)) item->enabled = enabled;
  if (highlighted_ >= 0 && !menus_[open_].items[highlighted_].enabled) {
    highlighted_ = -1;
    OpenSubmenuOf(-1);
  }
  if (subHighlighted_ >= 0 && !MenuOf(sub_)->items[subHighlighted_].enabled) subHighlighted_ = -1;
}

void MenuBar::SetChecked(int32_t command, bool checked) {
  if (MenuItem* item = FindItem(command)) item->checked = checked;
}

void MenuBar::Layout(const QDRect& bar, int32_t bottom) {
  bar_ = bar;
  bottom_ = bottom;
  UseMenuFont();
  int32_t left = bar.left + kTitlePadding / 2;
  for (int32_t m = 0; m < count_; ++m) {
    titleLeft_[m] = PinCoordinate(left);
    left += StringWidth(menus_[m].title) + 2 * kTitlePadding;
    dropWidth_[m] = PinCoordinate(MenuWidth(menus_[m]));
  }
  titleLeft_[count_] = PinCoordinate(left);
  for (int32_t k = 0; k < subCount_; ++k) subWidth_[k] = PinCoordinate(MenuWidth(subs_[k]));
}

QDRect MenuBar::TitleRect(int32_t menu) const {
  if (menu < 0 || menu >= count_) return QDRect{0, 0, 0, 0};
  return MakeRect(titleLeft_[menu], bar_.top, titleLeft_[menu + 1], bar_.bottom - 1);
}

QDRect MenuBar::BoxOf(const Menu& menu, int32_t width, int32_t left, int32_t top) const {
  const int32_t height = ItemTop(menu, menu.count - 1) + kItemHeight + 2;
  // Lifted to end at the window's bottom where it would pass it, never above the bar.
  top = std::max<int32_t>(bar_.bottom, std::min(top, bottom_ - height));
  return MakeRect(left, top, left + width, top + height);
}

QDRect MenuBar::DropRect() const {
  if (open_ < 0) return QDRect{0, 0, 0, 0};
  return BoxOf(menus_[open_], dropWidth_[open_], titleLeft_[open_], bar_.bottom);
}

QDRect MenuBar::ItemRect(int32_t item) const {
  if (open_ < 0) return QDRect{0, 0, 0, 0};
  return ItemRectIn(menus_[open_], DropRect(), item);
}

QDRect MenuBar::SubDropRect() const {
  if (sub_ < 0 || highlighted_ < 0) return QDRect{0, 0, 0, 0};
  const QDRect drop = DropRect(), parent = ItemRect(highlighted_);
  const int32_t width = subWidth_[sub_ - kMaxMenus];
  // Beside the menu on the right; on the left where the bar (the window) ends first.
  const int32_t left = drop.right - 1 + width <= bar_.right ? drop.right - 1 : drop.left - width + 1;
  return BoxOf(subs_[sub_ - kMaxMenus], width, left, parent.top - 1);
}

QDRect MenuBar::SubItemRect(int32_t item) const {
  if (sub_ < 0) return QDRect{0, 0, 0, 0};
  return ItemRectIn(subs_[sub_ - kMaxMenus], SubDropRect(), item);
}

QDRect MenuBar::OpenArea() const {
  QDRect area = DropRect();
  if (sub_ >= 0) UnionRect(area, SubDropRect(), &area);
  return area;
}

void MenuBar::Open(int32_t menu) {
  open_ = menu >= 0 && menu < count_ ? menu : -1;
  highlighted_ = -1;
  sub_ = subHighlighted_ = -1;
}

void MenuBar::Close() { Open(-1); }

bool MenuBar::OpenSubmenuOf(int32_t item) {
  const int32_t sub = open_ >= 0 && item >= 0 && item < menus_[open_].count ? menus_[open_].items[item].submenu : -1;
  if (sub == sub_) return false;
  sub_ = sub;
  subHighlighted_ = -1;
  return true;
}

int32_t MenuBar::TitleAt(QDPoint point) const {
  for (int32_t m = 0; m < count_; ++m)
    if (PtInRect(point, TitleRect(m))) return m;
  return -1;
}

int32_t MenuBar::ItemAt(QDPoint point) const { return open_ >= 0 ? ItemIn(menus_[open_], DropRect(), point) : -1; }

int32_t MenuBar::SubItemAt(QDPoint point) const {
  return sub_ >= 0 ? ItemIn(subs_[sub_ - kMaxMenus], SubDropRect(), point) : -1;
}

int32_t MenuBar::NextEnabled(const Menu& menu, int32_t from, int32_t step) const {
  for (int32_t k = 1; k <= menu.count; ++k) {
    const int32_t i = ((from < 0 && step < 0 ? menu.count : from) + step * k + 2 * menu.count) % menu.count;
    if (menu.items[i].enabled) return i;
  }
  return -1;
}

MenuAction MenuBar::Choose(const Menu& menu, int32_t item, bool enterSubmenu) {
  if (item < 0 || !menu.items[item].enabled) return {MenuResult::kIgnored, 0};
  if (menu.items[item].submenu >= 0) {
    // Only the open menu's items open submenus.
    highlighted_ = item;
    const bool opened = OpenSubmenuOf(item);
    if (enterSubmenu) subHighlighted_ = NextEnabled(*MenuOf(sub_), -1, 1);  // the keys move in it
    return {opened ? MenuResult::kChanged : MenuResult::kIgnored, 0};
  }
  const int32_t command = menu.items[item].command;
  Close();
  return {MenuResult::kChosen, command};
}

MenuAction MenuBar::MoveSubHighlight(int32_t step) {
  const int32_t next = NextEnabled(subs_[sub_ - kMaxMenus], subHighlighted_, step);
  if (next == subHighlighted_) return {MenuResult::kIgnored, 0};
  subHighlighted_ = next;
  return {MenuResult::kChanged, 0};
}

MenuAction MenuBar::Click(QDPoint point) {
  const int32_t title = TitleAt(point);
  if (title >= 0) {
    if (title == open_) {
      Close();
      return {MenuResult::kClosed, 0};
    }
    const bool wasOpen = IsOpen();
    Open(title);
    return {wasOpen ? MenuResult::kClosed : MenuResult::kChanged, 0};
  }
  if (!IsOpen()) return {PtInRect(point, bar_) ? MenuResult::kIgnored : MenuResult::kPassed, 0};
  if (sub_ >= 0 && PtInRect(point, SubDropRect())) return Choose(subs_[sub_ - kMaxMenus], SubItemAt(point));
  // A click opens a submenu without entering it: the pointer moves in it.
  if (PtInRect(point, DropRect())) return Choose(menus_[open_], ItemAt(point), false);
  Close();
  return {MenuResult::kClosed, 0};
}

MenuAction MenuBar::Hover(QDPoint point) {
  if (!IsOpen()) return {MenuResult::kPassed, 0};
  if (sub_ >= 0 && PtInRect(point, SubDropRect())) {
    const int32_t item = SubItemAt(point);
    const Menu& sub = subs_[sub_ - kMaxMenus];
    if (item < 0 || item == subHighlighted_ || !sub.items[item].enabled) return {MenuResult::kIgnored, 0};
    subHighlighted_ = item;
    return {MenuResult::kChanged, 0};
  }
  const int32_t item = ItemAt(point);
  if (item < 0 || item == highlighted_ || !menus_[open_].items[item].enabled) return {MenuResult::kIgnored, 0};
  highlighted_ = item;
  const bool hadSubmenu = sub_ >= 0;
  const bool changed = OpenSubmenuOf(item);
  return {changed && hadSubmenu ? MenuResult::kClosed : MenuResult::kChanged, 0};
}

MenuAction MenuBar::Key(uint8_t character) {
  if (!IsOpen()) {
    if (character != kMenuKey || count_ == 0) return {MenuResult::kPassed, 0};
    Open(0);
    return {MenuResult::kChanged, 0};
  }
  const bool inSubmenu = sub_ >= 0 && subHighlighted_ >= 0;  // the keys move in the submenu
  switch (character) {
    case kMenuKey:
    case kKeyEscape:
      Close();
      return {MenuResult::kClosed, 0};
    case kKeyUpArrow:
    case kKeyDownArrow: {
      const int32_t step = character == kKeyUpArrow ? -1 : 1;
      if (inSubmenu) return MoveSubHighlight(step);
      const int32_t next = NextEnabled(menus_[open_], highlighted_, step);
      if (next == highlighted_) return {MenuResult::kIgnored, 0};
      highlighted_ = next;
      return {OpenSubmenuOf(-1) ? MenuResult::kClosed : MenuResult::kChanged, 0};
    }
    case kKeyLeftArrow:
      if (sub_ >= 0) {
        OpenSubmenuOf(-1);
        return {MenuResult::kClosed, 0};
      }
      Open((open_ + count_ - 1) % count_);
      return {MenuResult::kClosed, 0};
    case kKeyRightArrow:
      if (!inSubmenu && highlighted_ >= 0 && menus_[open_].items[highlighted_].submenu >= 0) {
        return Choose(menus_[open_], highlighted_);
      }
      Open((open_ + 1) % count_);
      return {MenuResult::kClosed, 0};
    case kKeyReturn:
    case kKeyEnter:
      if (inSubmenu) return Choose(subs_[sub_ - kMaxMenus], subHighlighted_);
      if (highlighted_ < 0) return {MenuResult::kIgnored, 0};
      return Choose(menus_[open_], highlighted_);
    default:
      return {MenuResult::kIgnored, 0};
  }
}

MenuAction MenuBar::Wheel(QDPoint point, int32_t dv) {
  if (!IsOpen()) return {MenuResult::kPassed, 0};
  const bool overSubmenu = sub_ >= 0 && PtInRect(point, SubDropRect());
  if (!overSubmenu && !PtInRect(point, DropRect())) {
    Close();
    return {MenuResult::kClosed, 0};
  }
  if (dv == 0) return {MenuResult::kIgnored, 0};
  const int32_t step = dv > 0 ? -1 : 1;
  if (overSubmenu) return MoveSubHighlight(step);
  subHighlighted_ = -1;  // the wheel over the menu moves in the menu
  return Key(step < 0 ? kKeyUpArrow : kKeyDownArrow);
}

void MenuBar::Draw() const {
  UseMenuFont();
  RGBForeColor(kBarColour);
  PaintRect(MakeRect(bar_.left, bar_.top, bar_.right, bar_.bottom - 1));
  RGBForeColor(kBarLineColour);
  PaintRect(MakeRect(bar_.left, bar_.bottom - 1, bar_.right, bar_.bottom));
  for (int32_t m = 0; m < count_; ++m) {
    const QDRect r = TitleRect(m);
    if (m == open_) {
      RGBForeColor(kHighlightColour);
      PaintRect(r);
    }
    RGBForeColor(m == open_ ? kWhite : kBlack);
    MoveTo(r.left + kTitlePadding, r.top + kBaseline);
    DrawString(menus_[m].title);
  }
  if (open_ >= 0) DrawMenuBox(menus_[open_], DropRect(), highlighted_);
  if (sub_ >= 0) DrawMenuBox(subs_[sub_ - kMaxMenus], SubDropRect(), subHighlighted_);
  ForeColor(kBlackColor);
}
