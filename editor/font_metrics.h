// The font measures typesetting reads, behind one interface: the platform's fonts for what is
// drawn, a fake in tests so that layout can be checked against values computed by hand. Widths
// and extents are whole pixels; faces are the drawing layer's bits (bold 1, condense 32).
#pragma once

#include <cstdint>

class FontMetrics {
 public:
  virtual ~FontMetrics() = default;
  // Advance of code c in (font number, pixel size, face), in whole pixels.
  virtual int32_t CharAdvance(int16_t font, int16_t size, int16_t face, uint8_t c) const = 0;
  // The font's ascent and descent in whole pixels (both positive).
  virtual void AscentDescent(int16_t font, int16_t size, int16_t face, int32_t* ascent, int32_t* descent) const = 0;
};

// FreeType through the platform's font registry.
const FontMetrics& PlatformFontMetrics();
