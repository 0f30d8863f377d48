// Picture helpers; see picture_helpers.h.
#include "graphics/picture_helpers.h"

#include "graphics/pixel_routines.h"
#include "graphics/qd_layer.h"

namespace {

QDRect PlacedFrame(const Picture* picture, int32_t h, int32_t v) {
  QDRect r = picture->frame;
  OffsetRect(&r, h - r.left, v - r.bottom);
  return r;
}

}  // namespace

void GetPictureFrame(const Picture* picture, QDRect* out) { *out = picture ? picture->frame : QDRect{0, 0, 0, 0}; }

bool PointInPictureAt(const Picture* picture, QDPoint p, int32_t h, int32_t v) {
  return picture && PtInRect(p, PlacedFrame(picture, h, v));
}

bool PictureOverlapsRectAt(const Picture* picture, int32_t h, int32_t v, const QDRect& r) {
  QDRect common;
  return picture && SectRect(PlacedFrame(picture, h, v), r, &common);
}

void DrawPictureInGWorld(const Picture* picture, int32_t h, int32_t v, const QDRect& clip, int32_t xScale,
                         int32_t yScale) {
  Port* port = GetPort();
  if (!port || !picture || xScale < 1 || yScale < 1) return;
  int64_t width = int64_t(RectWidth(picture->frame)) * xScale, height = int64_t(RectHeight(picture->frame)) * yScale;
  if (width <= 0 || height <= 0 || width > INT16_MAX || height > INT16_MAX) return;
  // Only the part that can show is rendered: the placed picture within clip and the buffer.
  int64_t left = h, top = int64_t(v) - height;
  if (left < INT16_MIN || left + width > INT16_MAX || top < INT16_MIN || v > INT16_MAX) return;
  QDRect placed = MakeRect(int32_t(left), int32_t(top), int32_t(left + width), v), visible;
  if (!SectRect(placed, clip, &visible) || !SectRect(visible, port->bounds, &visible)) return;
  GWorldPtr temp = NewGWorld32(visible);
  if (!temp) return;
  GWorldSave saved;
  SaveAndSetGWorld(&saved, temp);
  EraseRect(visible);
  DrawPicture(picture, placed);
  RestoreGWorld(&saved);
  for (int32_t y = visible.top; y < visible.bottom; ++y) {
    for (int32_t x = visible.left; x < visible.right; ++x) {
      uint32_t s = *PixelAddress(temp, x, y);
      if ((s & 0xFFFFFFu) == 0xFFFFFFu) continue;
      uint32_t* d = PixelAddress(port, x, y);
      *d = ShadePixelByLuminance(s, *d);
    }
  }
  DisposeGWorld(temp);
}
