// The menu bar's model, geometry, tracking and drawing. Geometry is measured once a layout (the
// texts are static); enabled and checked states may change between any two events.
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

void DrawCheckMark(int32_t left, int32_t top) {
  PenSize(2, 2);
  MoveTo(left + 6, top + 9);
  LineTo(left + 9, top + 12);
  LineTo(left + 14, top + 5);
  PenSize(1, 1);
}

}  // namespace

int32_t MenuBar::AddMenu(const char* title) {
  if (count_ >= kMaxMenus) return -1;
  menus_[count_] = Menu{};
  menus_[count_].title = title;
  return count_++;
}

bool MenuBar::AddItem(int32_t menu, const char* title, const char* keys, int32_t command, bool separatorBefore) {
  if (menu < 0 || menu >= count_ || menus_[menu].count >= kMaxMenuItems) return false;
  MenuItem& item = menus_[menu].items[menus_[menu].count++];
  item = MenuItem{title, keys, command, false, false, separatorBefore};
  return true;
}

MenuItem* MenuBar::FindItem(int32_t command) {
  for (int32_t m = 0; m < count_; ++m)
    for (int32_t i = 0; i < menus_[m].count; ++i)
      if (menus_[m].items[i].command == command) return &menus_[m].items[i];
  return nullptr;
}

void MenuBar::SetEnabled(int32_t command, bool enabled) {
  if (MenuItem* item = FindItem(command)) item->enabled = enabled;
  if (highlighted_ >= 0 && !menus_[open_].items[highlighted_].enabled) highlighted_ = -1;
}

void MenuBar::SetChecked(int32_t command, bool checked) {
  if (MenuItem* item = FindItem(command)) item->checked = checked;
}

void MenuBar::Layout(const QDRect& bar) {
  bar_ = bar;
  UseMenuFont();
  int32_t left = bar.left + kTitlePadding / 2;
  for (int32_t m = 0; m < count_; ++m) {
    titleLeft_[m] = PinCoordinate(left);
    left += StringWidth(menus_[m].title) + 2 * kTitlePadding;
    int32_t width = 0;
    for (int32_t i = 0; i < menus_[m].count; ++i) {
      const MenuItem& item = menus_[m].items[i];
      width = std::max(width, StringWidth(item.title) + (item.keys != nullptr ? kKeyGap + StringWidth(item.keys) : 0));
    }
    dropWidth_[m] = PinCoordinate(kItemLeft + width + kItemRight);
  }
  titleLeft_[count_] = PinCoordinate(left);
}

QDRect MenuBar::TitleRect(int32_t menu) const {
  if (menu < 0 || menu >= count_) return QDRect{0, 0, 0, 0};
  return MakeRect(titleLeft_[menu], bar_.top, titleLeft_[menu + 1], bar_.bottom - 1);
}

QDRect MenuBar::DropRect() const {
  if (open_ < 0) return QDRect{0, 0, 0, 0};
  const Menu& menu = menus_[open_];
  const int32_t height = ItemTop(menu, menu.count - 1) + kItemHeight + 2;
  return MakeRect(titleLeft_[open_], bar_.bottom, titleLeft_[open_] + dropWidth_[open_], bar_.bottom + height);
}

QDRect MenuBar::ItemRect(int32_t item) const {
  if (open_ < 0 || item < 0 || item >= menus_[open_].count) return QDRect{0, 0, 0, 0};
  const QDRect drop = DropRect();
  const int32_t top = drop.top + 1 + ItemTop(menus_[open_], item);
  return MakeRect(drop.left + 1, top, drop.right - 1, top + kItemHeight);
}

void MenuBar::Open(int32_t menu) {
  open_ = menu >= 0 && menu < count_ ? menu : -1;
  highlighted_ = -1;
}

void MenuBar::Close() { Open(-1); }

int32_t MenuBar::TitleAt(QDPoint point) const {
  for (int32_t m = 0; m < count_; ++m)
    if (PtInRect(point, TitleRect(m))) return m;
  return -1;
}

int32_t MenuBar::ItemAt(QDPoint point) const {
  for (int32_t i = 0; open_ >= 0 && i < menus_[open_].count; ++i)
    if (PtInRect(point, ItemRect(i))) return i;
  return -1;
}

int32_t MenuBar::NextEnabled(int32_t from, int32_t step) const {
  const Menu& menu = menus_[open_];
  for (int32_t k = 1; k <= menu.count; ++k) {
    const int32_t i = ((from < 0 && step < 0 ? menu.count : from) + step * k + 2 * menu.count) % menu.count;
    if (menu.items[i].enabled) return i;
  }
  return -1;
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
  if (PtInRect(point, DropRect())) {
    const int32_t item = ItemAt(point);
    if (item < 0 || !menus_[open_].items[item].enabled) return {MenuResult::kIgnored, 0};
    const int32_t command = menus_[open_].items[item].command;
    Close();
    return {MenuResult::kChosen, command};
  }
  Close();
  return {MenuResult::kClosed, 0};
}

MenuAction MenuBar::Hover(QDPoint point) {
  if (!IsOpen()) return {MenuResult::kPassed, 0};
  const int32_t item = ItemAt(point);
  if (item < 0 || item == highlighted_ || !menus_[open_].items[item].enabled) return {MenuResult::kIgnored, 0};
  highlighted_ = item;
  return {MenuResult::kChanged, 0};
}

MenuAction MenuBar::Key(uint8_t character) {
  if (!IsOpen()) {
    if (character != kMenuKey || count_ == 0) return {MenuResult::kPassed, 0};
    Open(0);
    return {MenuResult::kChanged, 0};
  }
  switch (character) {
    case kMenuKey:
    case kKeyEscape:
      Close();
      return {MenuResult::kClosed, 0};
    case kKeyUpArrow:
    case kKeyDownArrow: {
      const int32_t next = NextEnabled(highlighted_, character == kKeyUpArrow ? -1 : 1);
      if (next == highlighted_) return {MenuResult::kIgnored, 0};
      highlighted_ = next;
      return {MenuResult::kChanged, 0};
    }
    case kKeyLeftArrow:
    case kKeyRightArrow:
      Open((open_ + (character == kKeyLeftArrow ? count_ - 1 : 1)) % count_);
      return {MenuResult::kClosed, 0};
    case kKeyReturn:
    case kKeyEnter: {
      if (highlighted_ < 0) return {MenuResult::kIgnored, 0};
      const int32_t command = menus_[open_].items[highlighted_].command;
      Close();
      return {MenuResult::kChosen, command};
    }
    default:
      return {MenuResult::kIgnored, 0};
  }
}

MenuAction MenuBar::Wheel(QDPoint point, int32_t dv) {
  if (!IsOpen()) return {MenuResult::kPassed, 0};
  if (!PtInRect(point, DropRect())) {
    Close();
    return {MenuResult::kClosed, 0};
  }
  if (dv == 0) return {MenuResult::kIgnored, 0};
  return Key(dv > 0 ? kKeyUpArrow : kKeyDownArrow);
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
  if (open_ >= 0) {
    const Menu& menu = menus_[open_];
    const QDRect drop = DropRect();
    RGBForeColor(kWhite);
    PaintRect(drop);
    RGBForeColor(kBarLineColour);
    FrameRect(drop);
    for (int32_t i = 0; i < menu.count; ++i) {
      const MenuItem& item = menu.items[i];
      const QDRect r = ItemRect(i);
      if (item.separatorBefore) {
        RGBForeColor(kBarLineColour);
        PaintRect(MakeRect(r.left + 4, r.top - kSeparatorHeight / 2 - 1, r.right - 4, r.top - kSeparatorHeight / 2));
      }
      const bool lit = i == highlighted_;
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
      }
    }
  }
  ForeColor(kBlackColor);
}
