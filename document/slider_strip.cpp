// The slider strip: its geometry, the value sent to the graphs when a thumb moves, and its
// drawing.
#include "document/slider_strip.h"

#include <algorithm>
#include <cmath>

#include "graphs/factory/definitions.h"
#include "kernel/eval/evaluation_seams.h"
#include "platform/draw/shapes.h"
#include "platform/draw/text.h"
#include "platform/fonts.h"

namespace {

constexpr int32_t kNameWidth = 80;   // left of the track: the animation button, then the name
constexpr int32_t kButtonSize = 11;  // of its triangle or square
constexpr int32_t kButtonGap = 6;    // between it and the name
constexpr int32_t kValueWidth = 96;  // right of the track: the value
constexpr int32_t kMargin = 12;
constexpr int32_t kThumbHalf = 5;
constexpr int16_t kTextSize = 12;
constexpr RGBColor16 kStripColour{0xF0F0, 0xF0F0, 0xF0F0};
constexpr RGBColor16 kTrackColour{0x9000, 0x9000, 0x9000};
constexpr RGBColor16 kThumbColour{0x2000, 0x5000, 0xC000};
constexpr RGBColor16 kButtonColour{0x3000, 0x3000, 0x3000};

void DrawLabel(const std::string& text, int32_t h, int32_t v) {
  MoveTo(h, v);
  DrawString(text.c_str());
}

}  // namespace

int32_t NthSliderRow(const DocumentRecord& document, int32_t i) {
  for (int32_t r = 0; r < document.rows.count; ++r) {
    if (document.rows.data[r].hasSliderControl && i-- == 0) return r;
  }
  return -1;
}

int32_t SliderRowCount(const DocumentRecord& document) {
  int32_t count = 0;
  for (int32_t r = 0; r < document.rows.count; ++r) count += document.rows.data[r].hasSliderControl ? 1 : 0;
  return count;
}

QDRect SliderStripRect(const QDRect& mathPane, int32_t sliders) {
  const int32_t fit = std::max(RectHeight(mathPane) / 2, 0) / kSliderLineHeight;
  const int32_t height = std::clamp(sliders, 0, fit) * kSliderLineHeight;
  return MakeRect(mathPane.left, mathPane.bottom - height, mathPane.right, mathPane.bottom);
}

QDRect MathPaneLessStrip(const QDRect& mathPane, const QDRect& strip) {
  return MakeRect(mathPane.left, mathPane.top, mathPane.right, std::max(mathPane.top, strip.top));
}

QDRect SliderLineRect(const QDRect& strip, int32_t i) {
  const int32_t top = strip.top + i * kSliderLineHeight;
  return MakeRect(strip.left, top, strip.right, top + kSliderLineHeight);
}

QDRect SliderTrackRect(const QDRect& line) {
  const int32_t left = line.left + kMargin + kNameWidth;
  const int32_t right = std::max(left + 2 * kThumbHalf + 1, line.right - kMargin - kValueWidth);
  return MakeRect(left, line.top, right, line.bottom);
}

QDRect SliderAnimateButtonRect(const QDRect& line) {
  return MakeRect(line.left, line.top, line.left + kMargin + kButtonSize + kButtonGap / 2, line.bottom);
}

int32_t SliderLineAt(const QDRect& strip, int32_t sliders, QDPoint point) {
  if (!PtInRect(point, strip)) return -1;
  const int32_t i = (point.v - strip.top) / kSliderLineHeight;
  return i < sliders ? i : -1;
}

int32_t SliderPositionAt(const QDRect& track, int32_t steps, int32_t h) {
  if (steps <= 0) return 0;
  const int32_t left = track.left + kThumbHalf, width = RectWidth(track) - 2 * kThumbHalf;
  if (width <= 0) return 0;
  const double fraction = std::clamp(static_cast<double>(h - left) / width, 0.0, 1.0);
  return static_cast<int32_t>(std::lround(fraction * steps));
}

int32_t SliderThumbCentre(const QDRect& track, int32_t steps, int32_t position) {
  const int32_t left = track.left + kThumbHalf, width = std::max(RectWidth(track) - 2 * kThumbHalf, 0);
  if (steps <= 0) return left;
  const int64_t p = std::clamp(position, 0, steps);
  return left + static_cast<int32_t>((p * width + steps / 2) / steps);
}

bool SetSliderPosition(DocumentRecord* document, int32_t row, int32_t position) {
  if (row < 0 || row >= document->rows.count) return false;
  EquationRow& r = document->rows.data[row];
  if (!r.hasSliderControl) return false;
  position = std::clamp(position, 0, r.sliderSteps);
  if (position == r.sliderValue) return false;
  r.sliderValue = position;
  const int32_t key = DefinedParameterKey(r.expression);
  const double value = GetRowSliderValue(r);
  // The parameter variable's value is read by every evaluation: it moves before the graphs hear.
  if (key != 0 && key == ParameterLetter()) SetParameterValue(value);
  ViewSetSetVariableAll(&document->viewSet, key, value);
  document->SetDocumentModified(true);
  return true;
}

void DrawSliderStrip(const DocumentRecord& document, const QDRect& strip) {
  if (RectHeight(strip) <= 0) return;
  RGBForeColor(kStripColour);
  PaintRect(strip);
  TextFont(kFontApplication);
  TextSize(kTextSize);
  TextFace(0);
  const int32_t lines = RectHeight(strip) / kSliderLineHeight;
  for (int32_t r = 0, i = 0; r < document.rows.count && i < lines; ++r) {
    const EquationRow& row = document.rows.data[r];
    if (!row.hasSliderControl) continue;
    const QDRect line = SliderLineRect(strip, i++);
    const QDRect track = SliderTrackRect(line);
    const int32_t middle = (line.top + line.bottom) / 2;
    // A triangle starts the animation; while this row animates, a square stops it.
    const int32_t left = line.left + kMargin, top = middle - kButtonSize / 2;
    RGBForeColor(kButtonColour);
    if (document.animation.row == r) {
      PaintRect(MakeRect(left, top, left + kButtonSize, top + kButtonSize));
    } else {
      const QDPoint play[3] = {{int16_t(top), int16_t(left)},
                               {int16_t(top + kButtonSize), int16_t(left)},
                               {int16_t(middle), int16_t(left + kButtonSize)}};
      PaintPoly(play, 3);
    }
    ForeColor(kBlackColor);
    DrawLabel(SliderNameText(row), left + kButtonSize + kButtonGap, middle + 4);
    DrawLabel("= " + SliderValueText(row), track.right + kMargin, middle + 4);
    RGBForeColor(kTrackColour);
    PaintRect(MakeRect(track.left + kThumbHalf, middle - 1, track.right - kThumbHalf, middle + 1));
    const int32_t thumb = SliderThumbCentre(track, row.sliderSteps, row.sliderValue);
    RGBForeColor(kThumbColour);
    PaintRect(MakeRect(thumb - kThumbHalf, middle - 7, thumb + kThumbHalf + 1, middle + 8));
  }
  ForeColor(kBlackColor);
}
