// The 4D axes' letters: the block's points on the window, and the letters drawn beside them.
#include "document/axis_labels_4d.h"

#include <cmath>

#include "document/document_record.h"
#include "graphics/port_save.h"
#include "graphics/render/software_camera.h"
#include "graphs/view4d/graph_view_4d.h"
#include "platform/draw/shapes.h"
#include "platform/draw/text.h"
#include "platform/fonts.h"

namespace {

constexpr int16_t kLetterSize = 14;
constexpr double kLetterGap = 9.0;  // pixels from an axis's end to its letter's centre
constexpr char kLetters[4] = {'x', 'y', 'z', 'w'};
constexpr int32_t kRim[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
constexpr double kHalfDiagonal = 0.70710678118654752;  // a unit step up and to the right, per axis

}  // namespace

void AxisLabelPixel4D(const GraphView4D& view, double h, double v, double* x, double* y) {
  const QDRect& r = view.rect;
  const double perUnit = CameraPixelScale(view.camera, RectWidth(r), RectHeight(r)) / kEyeDistance;
  const BoxToCube cube = BoxToCubeOf(view.camera);  // the labels' h runs along the cube's y, v along -z
  *x = (r.left + r.right) / 2.0 + perUnit * cube.scale[1] * h;
  *y = (r.top + r.bottom) / 2.0 + perUnit * cube.scale[2] * v;
}

bool AxisLetterCentre4D(const DocumentRecord& document, int axis, double* x, double* y) {
  const GraphView4D* view = document.viewSet.view4D;
  const double* block = document.axisLabels4D;
  if (view == nullptr || axis < 0 || axis > 3) return false;
  double ox = 0.0, oy = 0.0, ex = 0.0, ey = 0.0;
  AxisLabelPixel4D(*view, block[0], block[1], &ox, &oy);
  AxisLabelPixel4D(*view, block[2 * axis + 2], block[2 * axis + 3], &ex, &ey);
  if (!std::isfinite(ox) || !std::isfinite(oy) || !std::isfinite(ex) || !std::isfinite(ey)) return false;
  const double dx = ex - ox, dy = ey - oy, length = std::hypot(dx, dy);
  const double ux = length >= 1.0 ? dx / length : kHalfDiagonal, uy = length >= 1.0 ? dy / length : -kHalfDiagonal;
  *x = ex + kLetterGap * ux;
  *y = ey + kLetterGap * uy;
  return true;
}

void DrawAxisLabels4D(const DocumentRecord& document) {
  const GraphView4D* view = document.viewSet.view4D;
  if (view == nullptr || document.viewSet.primary != view || view->showAxes == 0 || !document.axisLabels4DStored)
    return;
  ClipSave clip;
  SaveClipRect(&clip, view->rect);
  TextFont(kFontTimes);
  TextSize(kLetterSize);
  TextFace(kFaceItalic);
  TextMode(kSrcOr);
  for (int axis = 0; axis < 4; ++axis) {
    double x = 0.0, y = 0.0;
    GlyphCoverage glyph{};
    if (!AxisLetterCentre4D(document, axis, &x, &y) || std::fabs(x) > 30000 || std::fabs(y) > 30000 ||
        !FontRenderGlyph(kFontTimes, kLetterSize, kFaceItalic, static_cast<uint8_t>(kLetters[axis]), &glyph)) {
      continue;
    }
    // The glyph's ink, not its advance, is centred on the point; a white rim keeps it legible over
    // a graph.
    const int32_t h = static_cast<int32_t>(std::lround(x - glyph.left - glyph.width / 2.0));
    const int32_t v = static_cast<int32_t>(std::lround(y + glyph.top - glyph.rows / 2.0));
    ForeColor(kWhiteColor);
    for (const int32_t (&d)[2] : kRim) {
      MoveTo(h + d[0], v + d[1]);
      DrawChar(static_cast<uint8_t>(kLetters[axis]));
    }
    ForeColor(kBlackColor);
    MoveTo(h, v);
    DrawChar(static_cast<uint8_t>(kLetters[axis]));
  }
  RestoreClip(&clip);
}
