// PNG files to and from native 0xAARRGGBB pixels, through libpng. Reading accepts every PNG
// colour type and bit depth (converted to 8-bit RGBA; no alpha channel reads as 255) and refuses
// images larger than kMaxPngSide on a side. Writing keeps the alpha byte or writes opaque RGB.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/draw/draw_memory.h"

constexpr int32_t kMaxPngSide = 16384;

struct PngImage {
  int32_t width;
  int32_t height;
  uint32_t* pixels;  // width * height words, row after row
  const DrawAllocator* alloc;
};

// False (and *out cleared) when the file is missing, not a PNG, damaged, too large or memory is refused.
bool ReadPngFile(const char* path, PngImage* out);
bool ReadPngMemory(const uint8_t* data, size_t size, PngImage* out);
void FreePngImage(PngImage* image);

// keepAlpha: RGBA with the pixels' alpha bytes; otherwise RGB (every pixel opaque).
bool WritePngFile(const char* path, const uint32_t* pixels, int32_t width, int32_t height, int32_t rowBytes,
                  bool keepAlpha);

struct Port;
// The port's whole pixel rectangle.
bool WritePortPng(const char* path, const Port* port, bool keepAlpha);
