// FreeType glue: five faces (four Nimbus Roman styles and Standard Symbols PS), opened lazily
// from the first folder that has the file. The Symbol face is switched to the font's own
// encoding, so Symbol character codes select glyphs directly.
#include "platform/fonts.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

enum FaceSlot { kRegular, kBold, kItalic, kBoldItalic, kSymbol, kSlotCount };

const char* const kFileStems[kSlotCount] = {"NimbusRoman-Regular", "NimbusRoman-Bold", "NimbusRoman-Italic",
                                            "NimbusRoman-BoldItalic", "StandardSymbolsPS"};
const char* const kFolders[] = {"/usr/share/fonts/type1/urw-base35", "/usr/share/fonts/X11/Type1"};
const char* const kExtensions[] = {".t1", ".pfb"};

struct FontState {
  FT_Library library = nullptr;
  bool libraryTried = false;
  FT_Face faces[kSlotCount] = {};
  bool tried[kSlotCount] = {};
  std::string paths[kSlotCount];
  int32_t sizes[kSlotCount] = {};
};
FontState gFonts;

bool FileExists(const std::string& path) {
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    std::fclose(f);
    return true;
  }
  return false;
}

FaceSlot SlotOf(int16_t font, int16_t face) {
  if (font == kFontSymbol) return kSymbol;
  bool bold = face & 1, italic = face & 2;
  return bold ? (italic ? kBoldItalic : kBold) : (italic ? kItalic : kRegular);
}

FT_Face OpenFace(FaceSlot slot) {
  FontState& s = gFonts;
  if (s.tried[slot]) return s.faces[slot];
  s.tried[slot] = true;
  if (!s.libraryTried) {
    s.libraryTried = true;
    if (FT_Init_FreeType(&s.library) != 0) s.library = nullptr;
  }
  if (!s.library) return nullptr;
  std::string folders[3];
  int n = 0;
  if (const char* env = std::getenv("QV_FONT_DIR")) folders[n++] = env;
  for (const char* f : kFolders) folders[n++] = f;
  for (int i = 0; i < n && !s.faces[slot]; ++i) {
    for (const char* ext : kExtensions) {
      std::string path = folders[i] + "/" + kFileStems[slot] + ext;
      if (!FileExists(path)) continue;
      FT_Face face = nullptr;
      if (FT_New_Face(s.library, path.c_str(), 0, &face) != 0) continue;
      if (slot == kSymbol && FT_Select_Charmap(face, FT_ENCODING_ADOBE_CUSTOM) != 0 &&
          FT_Select_Charmap(face, FT_ENCODING_ADOBE_STANDARD) != 0) {
        FT_Done_Face(face);
        continue;
      }
      if (slot != kSymbol && FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0) {
        FT_Done_Face(face);
        continue;
      }
      s.faces[slot] = face;
      s.paths[slot] = path;
      break;
    }
  }
  return s.faces[slot];
}

int32_t PixelSize(int16_t size) {
  if (size <= 0) return kDefaultTextSize;
  return size < kMaxTextSize ? size : kMaxTextSize;
}

FT_Face SizedFace(int16_t font, int16_t size, int16_t face) {
  FaceSlot slot = SlotOf(font, face);
  FT_Face f = OpenFace(slot);
  if (!f) return nullptr;
  int32_t px = PixelSize(size);
  if (gFonts.sizes[slot] != px) {
    if (FT_Set_Pixel_Sizes(f, 0, FT_UInt(px)) != 0) return nullptr;
    gFonts.sizes[slot] = px;
  }
  return f;
}

FT_UInt GlyphFor(FT_Face f, int16_t font, uint8_t c) {
  if (font == kFontSymbol) return FT_Get_Char_Index(f, c);
  if (c < 0x20 || c == 0x7F) return 0;
  return FT_Get_Char_Index(f, MacRomanToUnicode(c));
}

int32_t FaceAdjust(int16_t face) { return ((face & 64) ? 1 : 0) - ((face & 32) ? 1 : 0); }

// Rendered glyphs, direct-mapped by (face slot, size, code): text is drawn and measured far
// more often than new glyphs appear. When a bitmap cannot be kept the entry stays empty and
// the glyph counts as missing for that call (no ink, width 0); the next call tries again.
struct CachedGlyph {
  int32_t slot = -1;
  int32_t size = 0;
  uint8_t code = 0;
  bool present = false;  // the font has a glyph for the code
  int32_t advance = 0;   // whole pixels, without face adjustments
  GlyphCoverage coverage{};
  uint8_t* bits = nullptr;
};
constexpr int32_t kGlyphCacheSize = 1024;
CachedGlyph gGlyphCache[kGlyphCacheSize];

// The cache entry of a glyph, filled on a miss; null when the font is missing.
const CachedGlyph* LookupGlyph(int16_t font, int16_t size, int16_t face, uint8_t c) {
  FaceSlot slot = SlotOf(font, face);
  int32_t px = PixelSize(size);
  CachedGlyph& e = gGlyphCache[(uint32_t(slot) * 131u + uint32_t(px) * 257u + c) % kGlyphCacheSize];
  if (e.slot == slot && e.size == px && e.code == c) return &e;
  FT_Face f = SizedFace(font, size, face);
  if (!f) return nullptr;
  std::free(e.bits);
  e = CachedGlyph{};
  FT_UInt glyph = GlyphFor(f, font, c);
  if (glyph != 0 && FT_Load_Glyph(f, glyph, FT_LOAD_RENDER) == 0 && f->glyph->bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
    const FT_Bitmap& bm = f->glyph->bitmap;
    e.present = true;
    e.advance = int32_t((f->glyph->advance.x + 32) >> 6);
    size_t bytes = size_t(bm.width) * bm.rows;
    e.bits = static_cast<uint8_t*>(std::malloc(bytes ? bytes : 1));
    if (!e.bits) return nullptr;  // nothing kept; the entry stays invalid
    for (unsigned r = 0; r < bm.rows; ++r)
      std::memcpy(e.bits + size_t(r) * bm.width, bm.buffer + ptrdiff_t(r) * bm.pitch, bm.width);
    e.coverage = GlyphCoverage{f->glyph->bitmap_left, f->glyph->bitmap_top, int32_t(bm.width), int32_t(bm.rows),
                               int32_t(bm.width), e.bits};
  }
  e.slot = slot;
  e.size = px;
  e.code = c;
  return &e;
}

// Mac Roman 0x80..0xFF.
const uint16_t kMacRomanHigh[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5,
    0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3, 0x00F2, 0x00F4,
    0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6,
    0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8, 0x221E, 0x00B1, 0x2264, 0x2265,
    0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF,
    0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB, 0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5,
    0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044,
    0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02, 0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9,
    0x0131, 0x02C6, 0x02DC, 0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7};

}  // namespace

uint32_t MacRomanToUnicode(uint8_t c) { return c < 0x80 ? c : kMacRomanHigh[c - 0x80]; }

int16_t GetFNum(const char* name) {
  if (!name) return 0;
  int16_t font = 0;
  if (std::strcmp(name, "Times") == 0 || std::strcmp(name, "Nimbus Roman") == 0) font = kFontTimes;
  else if (std::strcmp(name, "Symbol") == 0 || std::strcmp(name, "Standard Symbols PS") == 0) font = kFontSymbol;
  if (font == 0) return 0;
  return OpenFace(SlotOf(font, 0)) ? font : 0;
}

bool FontGetMetrics(int16_t font, int16_t size, int16_t face, FontMetrics* out) {
  *out = FontMetrics{0, 0, 0, 0};
  FT_Face f = SizedFace(font, size, face);
  if (!f) return false;
  const FT_Size_Metrics& m = f->size->metrics;
  int32_t ascent = int32_t((m.ascender + 63) >> 6);
  int32_t descent = int32_t((-m.descender + 63) >> 6);
  int32_t height = int32_t((m.height + 32) >> 6);
  out->ascent = int16_t(ascent);
  out->descent = int16_t(descent);
  out->widMax = int16_t((m.max_advance + 63) >> 6);
  out->leading = int16_t(height > ascent + descent ? height - ascent - descent : 0);
  return true;
}

int32_t FontCharAdvance(int16_t font, int16_t size, int16_t face, uint8_t c) {
  const CachedGlyph* g = LookupGlyph(font, size, face, c);
  if (!g || !g->present) return 0;
  int32_t advance = g->advance + FaceAdjust(face);
  return advance > 0 ? advance : 0;
}

bool FontRenderGlyph(int16_t font, int16_t size, int16_t face, uint8_t c, GlyphCoverage* out) {
  *out = GlyphCoverage{0, 0, 0, 0, 0, nullptr};
  const CachedGlyph* g = LookupGlyph(font, size, face, c);
  if (!g || !g->present) return false;
  *out = g->coverage;
  return true;
}

uint32_t FontGlyphIndex(int16_t font, int16_t face, uint8_t c) {
  FT_Face f = OpenFace(SlotOf(font, face));
  return f ? GlyphFor(f, font, c) : 0;
}

bool FontGlyphName(int16_t font, int16_t face, uint8_t c, char* buffer, int32_t size) {
  FT_Face f = OpenFace(SlotOf(font, face));
  if (!f || size <= 0) return false;
  FT_UInt glyph = GlyphFor(f, font, c);
  buffer[0] = 0;
  return glyph != 0 && FT_Get_Glyph_Name(f, glyph, buffer, FT_UInt(size)) == 0;
}

const char* FontFilePath(int16_t font, int16_t face) {
  FaceSlot slot = SlotOf(font, face);
  return OpenFace(slot) ? gFonts.paths[slot].c_str() : nullptr;
}
