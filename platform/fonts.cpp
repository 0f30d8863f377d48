// FreeType glue over a registry of families found through fontconfig. A family keeps the best
// file of each of its four styles (CFF before TrueType before Type 1) and opens each face once;
// glyphs are cached by (font number, style, size, code). Changing the font folder closes every
// face and empties the registry and the cache together, so no cached glyph outlives its face.
#include "platform/fonts.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_FONT_FORMATS_H
#include <fontconfig/fontconfig.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <strings.h>
#include <vector>

namespace {

// Styles index a family's files: bit 0 bold, bit 1 italic, as in the face bits.
enum Style { kRegular, kBold, kItalic, kBoldItalic, kStyleCount };

struct Alias {
  const char* name;
  const char* family;
  int16_t number;
  bool rawCodes;  // character codes select glyphs directly (the Symbol encoding)
};
constexpr Alias kAliases[] = {{"Times", "Nimbus Roman", kFontTimes, false},
                              {"Symbol", "Standard Symbols PS", kFontSymbol, true}};

struct Family {
  int16_t number = 0;
  std::string name;
  bool rawCodes = false;
  bool present = false;  // fontconfig lists at least one file of the family
  std::string files[kStyleCount];
  FT_Face faces[kStyleCount] = {};
  bool tried[kStyleCount] = {};
  int32_t sizes[kStyleCount] = {};
};

struct FontState {
  FT_Library library = nullptr;
  bool libraryTried = false;
  FcConfig* systemConfig = nullptr;
  FcConfig* overrideConfig = nullptr;
  bool overridden = false;
  std::vector<std::unique_ptr<Family>> families;  // the aliases stay registered even when absent
  int16_t nextNumber = kFirstRegisteredFont;
};
FontState gFonts;

FcConfig* Config() {
  if (gFonts.overridden) return gFonts.overrideConfig;
  if (!gFonts.systemConfig) gFonts.systemConfig = FcInitLoadConfigAndFonts();
  return gFonts.systemConfig;
}

int FormatRank(const FcChar8* format) {
  if (!format) return 3;
  if (std::strcmp(reinterpret_cast<const char*>(format), "CFF") == 0) return 0;
  if (std::strcmp(reinterpret_cast<const char*>(format), "TrueType") == 0) return 1;
  return 2;
}

// The best file of each style of exactly this family (case aside); false when there is none.
// fontconfig's matching would always offer some font: listing, then checking the family
// name, is what lets a missing font be reported as missing.
bool ListFamily(const char* family, std::string files[kStyleCount]) {
  FcConfig* config = Config();
  FcPattern* pattern = FcPatternCreate();
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_FILE, FC_WEIGHT, FC_SLANT, FC_FONTFORMAT, nullptr);
  FcFontSet* set = nullptr;
  if (config && pattern && objects &&
      FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family)))
    set = FcFontList(config, pattern, objects);
  int ranks[kStyleCount] = {INT_MAX, INT_MAX, INT_MAX, INT_MAX};
  bool found = false;
  for (int i = 0; set && i < set->nfont; ++i) {
    const FcPattern* font = set->fonts[i];
    bool same = false;
    FcChar8* name = nullptr;
    for (int k = 0; FcPatternGetString(font, FC_FAMILY, k, &name) == FcResultMatch; ++k)
      same = same || FcStrCmpIgnoreCase(name, reinterpret_cast<const FcChar8*>(family)) == 0;
    FcChar8* file = nullptr;
    if (!same || FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch) continue;
    int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(font, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(font, FC_SLANT, 0, &slant);
    int style = (weight >= FC_WEIGHT_BOLD ? kBold : kRegular) | (slant != FC_SLANT_ROMAN ? kItalic : 0);
    FcChar8* format = nullptr;
    FcPatternGetString(font, FC_FONTFORMAT, 0, &format);
    int rank = FormatRank(format);
    std::string path(reinterpret_cast<const char*>(file));
    if (rank < ranks[style] || (rank == ranks[style] && path < files[style])) {
      ranks[style] = rank;
      files[style] = path;
      found = true;
    }
  }
  if (set) FcFontSetDestroy(set);
  if (objects) FcObjectSetDestroy(objects);
  if (pattern) FcPatternDestroy(pattern);
  return found;
}

Family* Register(const char* family, int16_t number, bool rawCodes, bool keepAbsent) {
  auto entry = std::make_unique<Family>();
  entry->number = number;
  entry->name = family;
  entry->rawCodes = rawCodes;
  entry->present = ListFamily(family, entry->files);
  if (!entry->present && !keepAbsent) return nullptr;
  gFonts.families.push_back(std::move(entry));
  Family* f = gFonts.families.back().get();
  return f->present ? f : nullptr;
}

// The family of a font number, or null when it is unknown or not installed.
Family* FamilyOf(int16_t number) {
  if (number == kFontApplication) number = kFontTimes;
  for (const auto& f : gFonts.families)
    if (f->number == number) return f->present ? f.get() : nullptr;
  // An alias resolves to its URW family, or else to a family of the alias's own name.
  for (const Alias& a : kAliases) {
    if (a.number != number) continue;
    Family* f = Register(a.family, a.number, a.rawCodes, false);
    return f ? f : Register(a.name, a.number, a.rawCodes, true);
  }
  return nullptr;
}

// The style whose file stands in for the wanted one: the nearest style the family has.
int ResolvedStyle(const Family& f, int wanted) {
  static const int kOrder[kStyleCount][kStyleCount] = {{0, 1, 2, 3}, {1, 0, 3, 2}, {2, 0, 3, 1}, {3, 1, 2, 0}};
  for (int s : kOrder[wanted])
    if (!f.files[s].empty()) return s;
  return -1;
}

FT_Face OpenFace(Family& f, int style) {
  if (f.tried[style]) return f.faces[style];
  f.tried[style] = true;
  FontState& s = gFonts;
  if (!s.libraryTried) {
    s.libraryTried = true;
    if (FT_Init_FreeType(&s.library) != 0) s.library = nullptr;
  }
  FT_Face face = nullptr;
  if (!s.library || FT_New_Face(s.library, f.files[style].c_str(), 0, &face) != 0) return nullptr;
  // A Type 1 Symbol font reaches its glyphs through its built-in encoding; the OpenType one maps
  // the raw Symbol codes in its Unicode table.
  bool type1 = std::strcmp(FT_Get_Font_Format(face), "Type 1") == 0;
  bool ok = FT_Select_Charmap(face, f.rawCodes && type1 ? FT_ENCODING_ADOBE_CUSTOM : FT_ENCODING_UNICODE) == 0;
  if (!ok) {
    FT_Done_Face(face);
    return nullptr;
  }
  f.faces[style] = face;
  return face;
}

// The family, its resolved style and its face for (font, face bits); false when missing.
bool FaceOf(int16_t font, int16_t face, Family** family, int* style, FT_Face* ft) {
  Family* f = FamilyOf(font);
  int s = f ? ResolvedStyle(*f, face & 3) : -1;
  FT_Face opened = s >= 0 ? OpenFace(*f, s) : nullptr;
  if (!opened) return false;
  *family = f;
  *style = s;
  *ft = opened;
  return true;
}

int32_t PixelSize(int16_t size) {
  if (size <= 0) return kDefaultTextSize;
  return size < kMaxTextSize ? size : kMaxTextSize;
}

FT_Face SizedFace(int16_t font, int16_t size, int16_t face, Family** family, int* style) {
  FT_Face f;
  if (!FaceOf(font, face, family, style, &f)) return nullptr;
  int32_t px = PixelSize(size);
  int32_t& current = (*family)->sizes[*style];
  if (current != px) {
    if (FT_Set_Pixel_Sizes(f, 0, FT_UInt(px)) != 0) return nullptr;
    current = px;
  }
  return f;
}

FT_UInt GlyphFor(FT_Face f, const Family& family, uint8_t c) {
  if (family.rawCodes) return FT_Get_Char_Index(f, c);
  if (c < 0x20 || c == 0x7F) return 0;
  return FT_Get_Char_Index(f, MacRomanToUnicode(c));
}

int32_t FaceAdjust(int16_t face) { return ((face & 64) ? 1 : 0) - ((face & 32) ? 1 : 0); }

// Rendered glyphs, direct-mapped by (font, style, size, code): text is drawn and measured far
// more often than new glyphs appear. When a bitmap cannot be kept the entry stays empty and
// the glyph counts as missing for that call (no ink, width 0); the next call tries again.
struct CachedGlyph {
  int32_t font = -1;
  int32_t style = 0;
  int32_t size = 0;
  uint8_t code = 0;
  bool present = false;  // the font has a glyph for the code
  int32_t advance = 0;   // whole pixels, unhinted and rounded, without face adjustments
  GlyphCoverage coverage{};
  uint8_t* bits = nullptr;
};
constexpr int32_t kGlyphCacheSize = 1024;
CachedGlyph gGlyphCache[kGlyphCacheSize];

void ClearGlyphCache() {
  for (CachedGlyph& e : gGlyphCache) {
    std::free(e.bits);
    e = CachedGlyph{};
  }
}

// The cache entry of a glyph, filled on a miss; null when the font is missing.
const CachedGlyph* LookupGlyph(int16_t font, int16_t size, int16_t face, uint8_t c) {
  Family* family = FamilyOf(font);
  int style = family ? ResolvedStyle(*family, face & 3) : -1;
  if (style < 0) return nullptr;
  int32_t px = PixelSize(size);
  uint32_t hash = uint32_t(family->number) * 2654435761u + uint32_t(style) * 131u + uint32_t(px) * 257u + c;
  CachedGlyph& e = gGlyphCache[hash % kGlyphCacheSize];
  if (e.font == family->number && e.style == style && e.size == px && e.code == c) return &e;
  FT_Face f = SizedFace(font, size, face, &family, &style);
  if (!f) return nullptr;
  std::free(e.bits);
  e = CachedGlyph{};
  FT_UInt glyph = GlyphFor(f, *family, c);
  FT_Fixed units = 0;
  if (glyph != 0 && FT_Get_Advance(f, glyph, FT_LOAD_NO_SCALE, &units) == 0 &&
      FT_Load_Glyph(f, glyph, FT_LOAD_RENDER) == 0 && f->glyph->bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
    const FT_Bitmap& bm = f->glyph->bitmap;
    int64_t em = f->units_per_EM > 0 ? f->units_per_EM : 1000;
    e.present = true;
    e.advance = int32_t((2 * int64_t(units) * px + em) / (2 * em));
    size_t bytes = size_t(bm.width) * bm.rows;
    e.bits = static_cast<uint8_t*>(std::malloc(bytes ? bytes : 1));
    if (!e.bits) return nullptr;  // nothing kept; the entry stays invalid
    for (unsigned r = 0; r < bm.rows; ++r)
      std::memcpy(e.bits + size_t(r) * bm.width, bm.buffer + ptrdiff_t(r) * bm.pitch, bm.width);
    e.coverage = GlyphCoverage{f->glyph->bitmap_left, f->glyph->bitmap_top, int32_t(bm.width), int32_t(bm.rows),
                               int32_t(bm.width), e.bits};
  }
  e.font = family->number;
  e.style = style;
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
  if (!name || !*name) return 0;
  for (const Alias& a : kAliases)
    if (std::strcmp(name, a.name) == 0 || strcasecmp(name, a.family) == 0) return FamilyOf(a.number) ? a.number : 0;
  for (const auto& f : gFonts.families)
    if (strcasecmp(f->name.c_str(), name) == 0) return f->present ? f->number : 0;
  if (gFonts.nextNumber == INT16_MAX) return 0;
  Family* f = Register(name, gFonts.nextNumber, false, false);
  if (!f) return 0;
  ++gFonts.nextNumber;
  return f->number;
}

void SetFontDirectoryOverride(const char* folder) {
  FontState& s = gFonts;
  ClearGlyphCache();
  for (const auto& f : s.families)
    for (FT_Face face : f->faces)
      if (face) FT_Done_Face(face);
  s.families.clear();
  s.nextNumber = kFirstRegisteredFont;
  if (s.overrideConfig) FcConfigDestroy(s.overrideConfig);
  s.overrideConfig = nullptr;
  s.overridden = folder != nullptr;
  if (!folder || (s.overrideConfig = FcConfigCreate()) == nullptr) return;
  // File by file: adding the folder would make fontconfig try to write a cache for it.
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    FcConfigAppFontAddFile(s.overrideConfig, reinterpret_cast<const FcChar8*>(entry.path().c_str()));
}

bool FontGetMetrics(int16_t font, int16_t size, int16_t face, FontFaceMetrics* out) {
  *out = FontFaceMetrics{0, 0, 0, 0};
  Family* family;
  int style;
  FT_Face f = SizedFace(font, size, face, &family, &style);
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

bool FontIsSyntheticBold(int16_t font, int16_t face) {
  Family* f = (face & 1) ? FamilyOf(font) : nullptr;
  int style = f ? ResolvedStyle(*f, face & 3) : -1;
  return style >= 0 && (style & kBold) == 0;
}

int32_t FontCharAdvance(int16_t font, int16_t size, int16_t face, uint8_t c) {
  const CachedGlyph* g = LookupGlyph(font, size, face, c);
  if (!g || !g->present) return 0;
  int32_t advance = g->advance + FaceAdjust(face) + (FontIsSyntheticBold(font, face) ? 1 : 0);
  return advance > 0 ? advance : 0;
}

int32_t FontCharDesignWidth(int16_t font, uint8_t c) {
  Family* family;
  int style;
  FT_Face f;
  FT_Fixed units = 0;
  if (!FaceOf(font, 0, &family, &style, &f)) return 0;
  FT_UInt glyph = GlyphFor(f, *family, c);
  if (glyph == 0 || FT_Get_Advance(f, glyph, FT_LOAD_NO_SCALE, &units) != 0) return 0;
  int64_t em = f->units_per_EM > 0 ? f->units_per_EM : 1000;
  return int32_t((2 * int64_t(units) * 1000 + em) / (2 * em));
}

bool FontRenderGlyph(int16_t font, int16_t size, int16_t face, uint8_t c, GlyphCoverage* out) {
  *out = GlyphCoverage{0, 0, 0, 0, 0, nullptr};
  const CachedGlyph* g = LookupGlyph(font, size, face, c);
  if (!g || !g->present) return false;
  *out = g->coverage;
  return true;
}

uint32_t FontGlyphIndex(int16_t font, int16_t face, uint8_t c) {
  Family* family;
  int style;
  FT_Face f;
  return FaceOf(font, face, &family, &style, &f) ? GlyphFor(f, *family, c) : 0;
}

bool FontGlyphName(int16_t font, int16_t face, uint8_t c, char* buffer, int32_t size) {
  Family* family;
  int style;
  FT_Face f;
  if (size <= 0 || !FaceOf(font, face, &family, &style, &f)) return false;
  FT_UInt glyph = GlyphFor(f, *family, c);
  buffer[0] = 0;
  return glyph != 0 && FT_Get_Glyph_Name(f, glyph, buffer, FT_UInt(size)) == 0;
}

const char* FontFilePath(int16_t font, int16_t face) {
  Family* family;
  int style;
  FT_Face f;
  return FaceOf(font, face, &family, &style, &f) ? family->files[style].c_str() : nullptr;
}
