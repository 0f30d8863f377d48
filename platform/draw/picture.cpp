// Pictures from PNG and their scaled drawing through the current port's clipped spans.
#include "platform/draw/picture.h"

#include <algorithm>

#include "platform/draw/draw_internal.h"
#include "platform/draw/png_io.h"

namespace {

PicHandle Adopt(PngImage& image, bool ok) {
  if (!ok) return nullptr;
  PicHandle pic = NewPicture(image.pixels, image.width, image.height);
  FreePngImage(&image);
  return pic;
}

}  // namespace

PicHandle NewPicture(const uint32_t* pixels, int32_t width, int32_t height) {
  if (!pixels || width <= 0 || height <= 0 || width > INT16_MAX || height > INT16_MAX) return nullptr;
  const DrawAllocator* alloc = CurrentDrawAllocator();
  auto* pic = static_cast<Picture*>(alloc->alloc(sizeof(Picture)));
  if (!pic) return nullptr;
  size_t count = size_t(width) * size_t(height);
  auto* copy = static_cast<uint32_t*>(alloc->alloc(count * 4));
  if (!copy) {
    alloc->release(pic);
    return nullptr;
  }
  std::copy(pixels, pixels + count, copy);
  *pic = Picture{MakeRect(0, 0, width, height), width, height, copy, alloc};
  return pic;
}

PicHandle ReadPicturePng(const char* path) {
  PngImage image;
  bool ok = ReadPngFile(path, &image);
  return Adopt(image, ok);
}

PicHandle ReadPicturePngMemory(const uint8_t* data, size_t size) {
  PngImage image;
  bool ok = ReadPngMemory(data, size, &image);
  return Adopt(image, ok);
}

void KillPicture(PicHandle picture) {
  if (!picture) return;
  picture->alloc->release(picture->pixels);
  picture->alloc->release(picture);
}

void DrawPicture(const Picture* picture, const QDRect& dst) {
  Port* port = GetPort();
  if (!port || !picture || EmptyRect(dst)) return;
  int32_t dw = RectWidth(dst), dh = RectHeight(dst);
  RegionCursor clip;
  for (int32_t i = 0; i < dh; ++i) {
    int32_t sy = int32_t((int64_t(2 * i + 1) * picture->height) / (2 * int64_t(dh)));
    const uint32_t* srow = picture->pixels + size_t(sy) * size_t(picture->width);
    auto laySpan = [&](uint32_t* p, int32_t a, int32_t c, int32_t) {
      for (int32_t x = a; x < c; ++x, ++p) {
        int32_t sx = int32_t((int64_t(2 * (x - dst.left) + 1) * picture->width) / (2 * int64_t(dw)));
        uint32_t s = srow[sx];
        uint32_t alpha = s >> 24;
        if (alpha == 0) continue;
        // "Over": the picture's alpha lands in the buffer, so an erased buffer (alpha 0) ends
        // up holding exactly the picture's alpha bytes.
        uint32_t under = *p;
        uint32_t outAlpha = alpha + ((under >> 24) * (255 - alpha) + 127) / 255;
        *p = (alpha == 255 ? s & 0x00FFFFFFu : MixPixel(s, under, alpha)) | outAlpha << 24;
      }
    };
    draw_detail::ForClippedSpan(port, clip, dst.top + i, dst.left, dst.right, laySpan);
  }
}
