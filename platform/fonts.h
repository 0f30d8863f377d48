// Fonts on FreeType, found through fontconfig: a registry from font number to one family's face
// files. "Times" is Nimbus Roman and "Symbol" Standard Symbols PS (the alias table); any other
// name resolves only when fontconfig lists a font of exactly that family, so a missing font
// answers 0 rather than a look-alike. Text-font codes are Mac Roman, mapped to Unicode; the
// Symbol font is addressed by its own codes. Main thread only.
#pragma once

#include <cstdint>

// Font numbers: 0 is the application font (Nimbus Roman as well); families other than the two
// aliased ones get numbers from kFirstRegisteredFont on, in the order they are first asked for.
enum : int16_t { kFontApplication = 0, kFontTimes = 20, kFontSymbol = 23, kFirstRegisteredFont = 1024 };
constexpr int16_t kDefaultTextSize = 12;
// Sizes come from documents: larger ones are drawn and measured at this size, which bounds a
// glyph bitmap to about a megabyte.
constexpr int16_t kMaxTextSize = 1024;

// The number of a font name ("Times", "Symbol", their URW family names, or any installed family);
// 0 when no font of that family is installed.
int16_t GetFNum(const char* name);
// The shell's name for GetFNum: the font of the name, or the application font (0) when no font
// has that name.
inline int16_t GetFontNumberByName(const char* name) { return GetFNum(name); }
// Looks for fonts in this folder only (tests hide a family this way); null returns to the
// system's fonts. Forgets every family registered so far and every cached glyph.
void SetFontDirectoryOverride(const char* folder);

struct FontFaceMetrics {
  int16_t ascent;   // whole pixels above the baseline, rounded up
  int16_t descent;  // below it, rounded up
  int16_t widMax;
  int16_t leading;  // line height minus ascent and descent, never negative
};

// All take (font, pixel size, face bits); size <= 0 means kDefaultTextSize, and sizes above
// kMaxTextSize count as kMaxTextSize.
bool FontGetMetrics(int16_t font, int16_t size, int16_t face, FontFaceMetrics* out);
// Advance of character code c in whole pixels: the unhinted advance rounded to the nearest pixel
// (half up), so widths do not move between FreeType builds; condense takes 1 px off, extend and a
// synthetic bold add 1 px. Never negative; 0 for codes the font has no glyph for.
int32_t FontCharAdvance(int16_t font, int16_t size, int16_t face, uint8_t c);
// Unscaled advance of code c in thousandths of an em (rounded); 0 without a glyph. Start-up
// checks the Symbol font's encoding with it.
int32_t FontCharDesignWidth(int16_t font, uint8_t c);
// Bold asked of a family that has no bold face (Standard Symbols PS): each glyph is drawn twice,
// 1 px apart, and advances 1 px more.
bool FontIsSyntheticBold(int16_t font, int16_t face);

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
