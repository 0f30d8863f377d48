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
  QDRect area = MakeRect(0, 0, int32_t(width), int32_t(height));
  GWorldPtr temp = NewGWorld32(area);
  if (!temp) return;
  GWorldSave saved;
  SaveAndSetGWorld(&saved, temp);
  EraseRect(area);
  DrawPicture(picture, area);
  RestoreGWorld(&saved);
  int32_t top = v - int32_t(height);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      int32_t dh = h + x, dv = top + y;
      if (!PtInRect(MakePoint(dh, dv), clip) || MakePoint(dh, dv).h != dh || MakePoint(dh, dv).v != dv) continue;
      uint32_t* d = PixelAddress(port, dh, dv);
      if (!d) continue;
      uint32_t s = *PixelAddress(temp, x, y);
      if ((s & 0xFFFFFFu) == 0xFFFFFFu) continue;
      *d = ShadePixelByLuminance(s, *d);
    }
  }
  DisposeGWorld(temp);
}
