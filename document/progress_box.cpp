// The progress box's geometry and drawing.
#include "document/progress_box.h"

#include <algorithm>

#include "platform/draw/shapes.h"
#include "platform/draw/text.h"
#include "platform/fonts.h"

namespace {

constexpr int32_t kBoxWidth = 320, kBoxHeight = 96;
constexpr int32_t kInset = 16;
constexpr int32_t kSweepFrames = 40;
constexpr RGBColor16 kBoxColour{0xF4F4, 0xF4F4, 0xF4F4};
constexpr RGBColor16 kBarColour{0xD8D8, 0xD8D8, 0xD8D8};
constexpr RGBColor16 kFillColour{0x2000, 0x5000, 0xC000};

}  // namespace

QDRect ProgressBoxRect(const QDRect& window) {
  const int32_t h = (window.left + window.right - kBoxWidth) / 2, v = (window.top + window.bottom - kBoxHeight) / 2;
  return MakeRect(std::max<int32_t>(h, window.left), std::max<int32_t>(v, window.top),
                  std::min<int32_t>(h + kBoxWidth, window.right), std::min<int32_t>(v + kBoxHeight, window.bottom));
}

QDRect ProgressBarRect(const QDRect& box) {
  const int32_t top = box.top + 40;
  return MakeRect(box.left + kInset, top, std::max(box.left + kInset, box.right - kInset), top + 12);
}

QDRect ProgressBarFill(const QDRect& bar, int64_t received, int64_t expected, int32_t frame) {
  const int32_t width = RectWidth(bar);
  if (expected > 0) {
    const int64_t part = std::clamp<int64_t>(received, 0, expected) * width / expected;
    return MakeRect(bar.left, bar.top, bar.left + static_cast<int32_t>(part), bar.bottom);
  }
  const int32_t block = width / 5;
  const int32_t step = ((frame % kSweepFrames) + kSweepFrames) % kSweepFrames;
  const int32_t left = bar.left + (width - block) * step / (kSweepFrames - 1);
  return MakeRect(left, bar.top, left + block, bar.bottom);
}

void DrawProgressBox(const QDRect& box, const char* title, int64_t received, int64_t expected, int32_t frame) {
  RGBForeColor(kBoxColour);
  PaintRect(box);
  ForeColor(kBlackColor);
  FrameRect(box);
  TextFont(kFontApplication);
  TextSize(12);
  TextFace(0);
  MoveTo(box.left + kInset, box.top + 26);
  DrawString(title);
  const QDRect bar = ProgressBarRect(box);
  RGBForeColor(kBarColour);
  PaintRect(bar);
  RGBForeColor(kFillColour);
  PaintRect(ProgressBarFill(bar, received, expected, frame));
  ForeColor(kBlackColor);
  MoveTo(box.left + kInset, bar.bottom + 22);
  DrawString(kProgressCancelHint);
}
