// Pictures: a frame rectangle plus an ARGB raster of the frame's size, read from PNG. Drawing
// scales the raster into a destination rectangle by nearest neighbour and lays each pixel over
// the destination by its alpha (255 replaces, 0 leaves the pixel), alpha included: unlike the
// other drawing calls a picture keeps its alpha bytes, which the texture builders rely on.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/draw/port.h"

struct Picture {
  QDRect frame;      // top-left (0, 0) for a picture read from PNG
  int32_t width;     // raster size = frame size
  int32_t height;
  uint32_t* pixels;  // width * height words
  const DrawAllocator* alloc;
};
using PicHandle = Picture*;

// A picture of the given raster (copied); null when refused or the size is not positive.
PicHandle NewPicture(const uint32_t* pixels, int32_t width, int32_t height);
PicHandle ReadPicturePng(const char* path);
PicHandle ReadPicturePngMemory(const uint8_t* data, size_t size);
void KillPicture(PicHandle picture);  // null ignored
void DrawPicture(const Picture* picture, const QDRect& dst);
