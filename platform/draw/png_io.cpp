// libpng glue. libpng reports errors by longjmp, so the functions that call it hold only
// trivially destructible locals and release what they took on the error path themselves.
#include "platform/draw/png_io.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "platform/draw/port.h"

namespace {

struct MemoryReader {
  const uint8_t* data;
  size_t size;
  size_t offset;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (reader->size - reader->offset < length) png_error(png, "truncated");
  std::memcpy(out, reader->data + reader->offset, length);
  reader->offset += length;
}

void QuietWarning(png_structp, png_const_charp) {}
[[noreturn]] void QuietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// Decodes from an already set-up source (file or memory reader); see ReadPngFile.
bool Decode(std::FILE* file, MemoryReader* reader, PngImage* out) {
  *out = PngImage{0, 0, nullptr, CurrentDrawAllocator()};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  uint32_t* volatile pixels = nullptr;
  const DrawAllocator* alloc = out->alloc;
  if (!info || setjmp(png_jmpbuf(png))) {
    alloc->release(pixels);
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    *out = PngImage{0, 0, nullptr, alloc};
    return false;
  }
  if (file) png_init_io(png, file);
  else png_set_read_fn(png, reader, ReadFromMemory);
  png_set_user_limits(png, kMaxPngSide, kMaxPngSide);
  png_read_info(png, info);
  png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
  int colorType = png_get_color_type(png, info);
  png_set_expand(png);
  png_set_strip_16(png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != size_t(width) * 4) png_error(png, "unexpected layout");
  pixels = static_cast<uint32_t*>(alloc->alloc(size_t(width) * height * 4));
  if (!pixels) png_error(png, "out of memory");
  // Interlaced images need every pass to land in the same rows: keep the RGBA rows in the
  // output buffer itself and convert each word in place at the end.
  for (int pass = 0; pass < passes; ++pass)
    for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, reinterpret_cast<png_bytep>(pixels + size_t(y) * width), nullptr);
  png_read_end(png, nullptr);
  for (size_t i = 0; i < size_t(width) * height; ++i) {
    uint8_t b[4];
    std::memcpy(b, pixels + i, 4);
    pixels[i] = uint32_t(b[3]) << 24 | uint32_t(b[0]) << 16 | uint32_t(b[1]) << 8 | b[2];
  }
  png_destroy_read_struct(&png, &info, nullptr);
  *out = PngImage{int32_t(width), int32_t(height), pixels, alloc};
  return true;
}

}  // namespace

bool ReadPngFile(const char* path, PngImage* out) {
  *out = PngImage{0, 0, nullptr, CurrentDrawAllocator()};
  std::FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  uint8_t signature[8];
  bool ok = std::fread(signature, 1, 8, file) == 8 && png_sig_cmp(signature, 0, 8) == 0;
  if (ok) {
    std::rewind(file);
    ok = Decode(file, nullptr, out);
  }
  std::fclose(file);
  return ok;
}

bool ReadPngMemory(const uint8_t* data, size_t size, PngImage* out) {
  *out = PngImage{0, 0, nullptr, CurrentDrawAllocator()};
  if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0) return false;
  MemoryReader reader{data, size, 0};
  return Decode(nullptr, &reader, out);
}

void FreePngImage(PngImage* image) {
  if (image->pixels) image->alloc->release(image->pixels);
  image->pixels = nullptr;
  image->width = image->height = 0;
}

bool WritePngFile(const char* path, const uint32_t* pixels, int32_t width, int32_t height, int32_t rowBytes,
                  bool keepAlpha) {
  if (!pixels || width <= 0 || height <= 0 || width > kMaxPngSide || height > kMaxPngSide || rowBytes < width * 4)
    return false;
  std::FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  const DrawAllocator* alloc = CurrentDrawAllocator();
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  uint8_t* volatile row = nullptr;
  if (!png || !info || setjmp(png_jmpbuf(png))) {
    alloc->release(row);
    if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
    std::fclose(file);
    std::remove(path);
    return false;
  }
  png_init_io(png, file);
  int channels = keepAlpha ? 4 : 3;
  png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8,
               keepAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  row = static_cast<uint8_t*>(alloc->alloc(size_t(width) * 4));
  if (!row) png_error(png, "out of memory");
  for (int32_t y = 0; y < height; ++y) {
    const uint32_t* src = reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(pixels) + int64_t(y) * rowBytes);
    uint8_t* d = row;
    for (int32_t x = 0; x < width; ++x) {
      uint32_t p = src[x];
      *d++ = uint8_t(p >> 16);
      *d++ = uint8_t(p >> 8);
      *d++ = uint8_t(p);
      if (channels == 4) *d++ = uint8_t(p >> 24);
    }
    png_write_row(png, row);
  }
  png_write_end(png, nullptr);
  alloc->release(row);
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0;
}

bool WritePortPng(const char* path, const Port* port, bool keepAlpha) {
  if (!port) return false;
  return WritePngFile(path, port->pixels, RectWidth(port->bounds), RectHeight(port->bounds), port->rowBytes,
                      keepAlpha);
}
