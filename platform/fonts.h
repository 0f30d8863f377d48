// Fonts on FreeType with the URW base-35 Type 1 files: "Times" is Nimbus Roman (text codes are
// Mac Roman, mapped to Unicode) and "Symbol" is Standard Symbols PS addressed through its own
// built-in Symbol encoding. Faces are opened once and kept; a missing file makes its font absent
// (GetFNum answers 0) and every measure of it 0. Main thread only.
#pragma once

#include <cstdint>

// Font numbers: 0 is the application font (Nimbus Roman as well).
enum : int16_t { kFontApplication = 0, kFontTimes = 20, kFontSymbol = 23 };
constexpr int16_t kDefaultTextSize = 12;
// Sizes come from documents: larger ones are drawn and measured at this size, which bounds a
// glyph bitmap to about a megabyte.
constexpr int16_t kMaxTextSize = 1024;

// The number of a font name ("Times", "Symbol"; also their URW names); 0 when unknown or its
// file is missing.
int16_t GetFNum(const char* name);

struct FontMetrics {
  int16_t ascent;   // whole pixels above the baseline, rounded up
  int16_t descent;  // below it, rounded up
  int16_t widMax;
  int16_t leading;  // line height minus ascent and descent, never negative
};

// All take (font, pixel size, face bits); size <= 0 means kDefaultTextSize, and sizes above
// kMaxTextSize count as kMaxTextSize.
bool FontGetMetrics(int16_t font, int16_t size, int16_t face, FontMetrics* out);
// Advance of character code c in whole pixels (FreeType's hinted advance), with the face's
// condense (-1) and extend (+1) adjustments; 0 for codes the font has no glyph for.
int32_t FontCharAdvance(int16_t font, int16_t size, int16_t face, uint8_t c);

struct GlyphCoverage {
  int32_t left;   // pixel offset of the bitmap's first column from the pen
  int32_t top;    // rows of the bitmap above the baseline
  int32_t width;
  int32_t rows;
  int32_t pitch;
  const uint8_t* coverage;  // 0..255 per pixel; valid until the next font call
};
// Renders code c antialiased; false when the font or glyph is missing (nothing to draw).
bool FontRenderGlyph(int16_t font, int16_t size, int16_t face, uint8_t c, GlyphCoverage* out);

// The glyph index and PostScript glyph name that code c reaches; for checks and tests.
uint32_t FontGlyphIndex(int16_t font, int16_t face, uint8_t c);
bool FontGlyphName(int16_t font, int16_t face, uint8_t c, char* buffer, int32_t size);
// The file a font and face come from, or null when it is missing.
const char* FontFilePath(int16_t font, int16_t face);
// Unicode of a Mac Roman code.
uint32_t MacRomanToUnicode(uint8_t c);
