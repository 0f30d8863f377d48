// The installed pointer source, the built-in colour cursor images and the scripted
// fake. The images are drawn here as text, one character a pixel, and converted once.
#include "platform/pointer_source.h"

#include <atomic>
#include <cmath>

#include "platform/clock.h"

namespace {

std::atomic<PointerSource*> installedSource{nullptr};

struct CursorArt {
  int resourceId;
  QDPoint hotSpot;
  const char* rows[16];  // '.' clear, 'X' black, 'o' white, 'r' red
};

// 128: the probe cross; 355: a pointing hand; 357: a magnifier.
constexpr CursorArt kCursorArt[] = {
    {128, {7, 7}, {"......XXX.......", "......XoX.......", "......XoX.......", "......XoX.......",
                   "......XoX.......", "......XoX.......", "XXXXXXXrXXXXXXX.", "XooooorrrooooX..",
                   "XXXXXXXrXXXXXXX.", "......XoX.......", "......XoX.......", "......XoX.......",
                   "......XoX.......", "......XoX.......", "......XXX.......", "................"}},
    {355, {0, 4}, {"....XX..........", "...XooX.........", "...XooX.........", "...XooX.........",
                   "...XooXXX.......", "...XooXooXXX....", "...XooXooXooXX..", "XX.XooooooXooX..",
                   "XoXXoooooooooX..", "XooXoooooooooX..", ".XoooooooooooX..", "..XooooooooooX..",
                   "...XoooooooooX..", "....XoooooooX...", ".....XooooooX...", ".....XXXXXXXX..."}},
    {357, {5, 5}, {"...XXXXX........", "..XoooooX.......", ".XoooooooX......", "XoooooooooX.....",
                   "XoooooooooX.....", "XoooooooooX.....", "XoooooooooX.....", "XoooooooooX.....",
                   ".XoooooooX......", "..XoooooXXX.....", "...XXXXX.XXX....", "..........XXX...",
                   "...........XXX..", "............XXX.", ".............XX.", "................"}},
};

constexpr bool ArtIsWellFormed() {
  for (const CursorArt& art : kCursorArt) {
    for (const char* row : art.rows) {
      int n = 0;
      while (row[n] != '\0') ++n;
      if (n != 16) return false;
    }
  }
  return true;
}
static_assert(ArtIsWellFormed(), "every cursor row is 16 pixels");

ColorCursorImage Render(const CursorArt& art) {
  ColorCursorImage image;
  image.resourceId = art.resourceId;
  image.hotSpot = art.hotSpot;
  for (int r = 0; r < 16; ++r) {
    for (int c = 0; c < 16; ++c) {
      uint32_t pixel = 0;  // transparent
      switch (art.rows[r][c]) {
        case 'X': pixel = 0xFF000000u; break;
        case 'o': pixel = 0xFFFFFFFFu; break;
        case 'r': pixel = 0xFFFF0000u; break;
        default: break;
      }
      image.pixels[r * 16 + c] = pixel;
    }
  }
  return image;
}

}  // namespace

void SetPointerSource(PointerSource* source) {
  installedSource.store(source, std::memory_order_release);
}

PointerSource* GetPointerSource() { return installedSource.load(std::memory_order_acquire); }

const char* ThemeCursorName(int themeCursor) {
  switch (themeCursor) {
    case kThemeArrowCursor: return "left_ptr";
    case kThemeClosedHandCursor: return "closedhand";
    case kThemePoofCursor: return "pirate";
    default: return nullptr;
  }
}

const ColorCursorImage* BuiltInColorCursor(int resourceId) {
  static const ColorCursorImage images[] = {Render(kCursorArt[0]), Render(kCursorArt[1]),
                                            Render(kCursorArt[2])};
  for (const ColorCursorImage& image : images)
    if (image.resourceId == resourceId) return &image;
  return nullptr;
}

PointerEvent ScriptedPointerSource::WaitPointerEvent(double timeoutSeconds) {
  ++waits;
  PointerEvent event;
  event.where = last_;
  if (script_.empty()) {
    event.kind = PointerEventKind::kReleased;
    return event;
  }
  Step& next = script_.front();
  const bool limited = timeoutSeconds >= 0.0 && std::isfinite(timeoutSeconds);
  const uint64_t timeoutNs =
      limited ? static_cast<uint64_t>(std::llround(timeoutSeconds * 1e9)) : UINT64_MAX;
  if (next.delayNs > timeoutNs) {
    next.delayNs -= timeoutNs;
    if (clock_ != nullptr) clock_->Advance(timeoutNs);
    event.kind = PointerEventKind::kTimedOut;
    return event;
  }
  if (clock_ != nullptr) clock_->Advance(next.delayNs);
  event.kind = next.kind;
  event.where = last_ = next.where;
  event.modifiers = next.modifiers;
  script_.pop_front();
  return event;
}

bool ScriptedPointerSource::SetThemeCursor(int themeCursor) {
  cursorLog.push_back(themeCursor);
  for (int refused : refusedThemeCursors)
    if (refused == themeCursor) return false;
  return true;
}

bool ScriptedPointerSource::SetColorCursor(const ColorCursorImage& image) {
  cursorLog.push_back(1000 + image.resourceId);
  return true;
}
