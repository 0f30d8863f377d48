// Fonts and text: the URW files behind "Times" and "Symbol", every Symbol code that the kind and
// symbol tables use reaching the glyph of that name in the Adobe Symbol encoding, widths equal to
// an independent FreeType measurement, drawn text equal to FreeType glyphs composed by hand
// (alpha and the integral found by glyph name), and a rendered string against a golden PNG.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/draw/png_io.h"
#include "platform/draw/shapes.h"
#include "platform/draw/text.h"
#include "platform/fonts.h"
#include "tests/platform/draw_test_support.h"

using draw_test::Canvas;

TEST(Fonts, TimesAndSymbolResolveToTheUrwFiles) {
  EXPECT_EQ(GetFNum("Times"), kFontTimes);
  EXPECT_EQ(GetFNum("Symbol"), kFontSymbol);
  EXPECT_EQ(GetFNum("Helvetica"), 0);
  EXPECT_EQ(GetFNum(nullptr), 0);
  ASSERT_NE(FontFilePath(kFontTimes, 0), nullptr);
  EXPECT_NE(std::strstr(FontFilePath(kFontTimes, 0), "NimbusRoman-Regular"), nullptr);
  EXPECT_NE(std::strstr(FontFilePath(kFontTimes, kFaceBold), "NimbusRoman-Bold"), nullptr);
  EXPECT_NE(std::strstr(FontFilePath(kFontTimes, kFaceItalic), "NimbusRoman-Italic"), nullptr);
  EXPECT_NE(std::strstr(FontFilePath(kFontSymbol, 0), "StandardSymbolsPS"), nullptr);
}

// Glyph names of the Adobe Symbol encoding, for every Symbol code of the node kind table, the
// symbol name table and the pieces of tall delimiters.
TEST(Fonts, SymbolCodesReachTheirGlyphs) {
  struct { uint8_t code; const char* name; } table[] = {
      {0x22, "universal"}, {0x24, "existential"}, {0x27, "suchthat"}, {0x2A, "asteriskmath"}, {0x2C, "comma"},
      {0x2D, "minus"}, {0x3C, "less"}, {0x3E, "greater"}, {0x40, "congruent"}, {0x44, "Delta"},
      {0x46, "Phi"}, {0x47, "Gamma"}, {0x4A, "theta1"}, {0x4C, "Lambda"}, {0x50, "Pi"}, {0x51, "Theta"},
      {0x53, "Sigma"}, {0x56, "sigma1"}, {0x57, "Omega"}, {0x58, "Xi"}, {0x59, "Psi"}, {0x5C, "therefore"},
      {0x5E, "perpendicular"}, {0x61, "alpha"}, {0x62, "beta"}, {0x63, "chi"}, {0x64, "delta"},
      {0x65, "epsilon"}, {0x66, "phi"}, {0x67, "gamma"}, {0x68, "eta"}, {0x69, "iota"}, {0x6A, "phi1"},
      {0x6B, "kappa"}, {0x6C, "lambda"}, {0x6D, "mu"}, {0x6E, "nu"}, {0x70, "pi"}, {0x71, "theta"},
      {0x72, "rho"}, {0x73, "sigma"}, {0x74, "tau"}, {0x75, "upsilon"}, {0x76, "omega1"}, {0x77, "omega"},
      {0x78, "xi"}, {0x79, "psi"}, {0x7A, "zeta"}, {0x7C, "bar"}, {0x7E, "similar"}, {0xA1, "Upsilon1"},
      {0xA2, "minute"}, {0xA3, "lessequal"}, {0xA4, "fraction"}, {0xA5, "infinity"}, {0xAB, "arrowboth"},
      {0xAC, "arrowleft"}, {0xAE, "arrowright"}, {0xB0, "degree"}, {0xB1, "plusminus"}, {0xB2, "second"},
      {0xB3, "greaterequal"}, {0xB4, "multiply"}, {0xB5, "proportional"}, {0xB6, "partialdiff"},
      {0xB8, "divide"}, {0xB9, "notequal"}, {0xBA, "equivalence"}, {0xBB, "approxequal"}, {0xBC, "ellipsis"},
      {0xC0, "aleph"}, {0xC1, "Ifraktur"}, {0xC2, "Rfraktur"}, {0xC3, "weierstrass"}, {0xC4, "circlemultiply"},
      {0xC5, "circleplus"}, {0xC6, "emptyset"}, {0xC7, "intersection"}, {0xC8, "union"},
      {0xC9, "propersuperset"}, {0xCA, "reflexsuperset"}, {0xCB, "notsubset"}, {0xCC, "propersubset"},
      {0xCD, "reflexsubset"}, {0xCE, "element"}, {0xCF, "notelement"}, {0xD0, "angle"}, {0xD1, "gradient"},
      {0xD5, "product"}, {0xD7, "dotmath"}, {0xD8, "logicalnot"}, {0xD9, "logicaland"}, {0xDA, "logicalor"},
      {0xDB, "arrowdblboth"}, {0xDC, "arrowdblleft"}, {0xDE, "arrowdblright"}, {0xE0, "lozenge"},
      {0xE5, "summation"}, {0xE6, "parenlefttp"}, {0xE7, "parenleftex"}, {0xE8, "parenleftbt"},
      {0xEC, "bracelefttp"}, {0xED, "braceleftmid"}, {0xEE, "braceleftbt"}, {0xEF, "braceex"},
      {0xF2, "integral"}};
  for (auto [code, name] : table) {
    char got[64];
    ASSERT_TRUE(FontGlyphName(kFontSymbol, 0, code, got, sizeof got)) << std::hex << int(code);
    EXPECT_STREQ(got, name) << "code 0x" << std::hex << int(code);
  }
}

TEST(Fonts, TimesReadsMacRomanCodes) {
  struct { uint8_t code; uint32_t unicode; const char* name; } table[] = {
      {'A', 'A', "A"}, {0x80, 0xC4, "Adieresis"}, {0xA5, 0x2022, "bullet"}, {0xC7, 0xAB, "guillemotleft"},
      {0xC8, 0xBB, "guillemotright"}, {0xD0, 0x2013, "endash"}, {0xFF, 0x2C7, "caron"}};
  for (auto [code, unicode, name] : table) {
    EXPECT_EQ(MacRomanToUnicode(code), unicode);
    char got[64];
    ASSERT_TRUE(FontGlyphName(kFontTimes, 0, code, got, sizeof got));
    EXPECT_STREQ(got, name);
  }
  EXPECT_EQ(FontGlyphIndex(kFontTimes, 0, 0x07), 0u);  // control codes draw nothing
}

// Independent measurement: FreeType on the same file, hinted advance rounded to whole pixels.
TEST(Fonts, WidthsEqualFreeTypeAdvances) {
  FT_Library lib;
  ASSERT_EQ(FT_Init_FreeType(&lib), 0);
  for (int16_t font : {kFontTimes, kFontSymbol}) {
    FT_Face face;
    ASSERT_EQ(FT_New_Face(lib, FontFilePath(font, 0), 0, &face), 0);
    if (font == kFontSymbol) {
      ASSERT_EQ(FT_Select_Charmap(face, FT_ENCODING_ADOBE_CUSTOM), 0);
    }
    FT_Set_Pixel_Sizes(face, 0, 24);
    Canvas canvas(4, 4);
    TextFont(font);
    TextSize(24);
    const char* sample = font == kFontTimes ? "Wavy x+1" : "a\xF2\xE5p";
    int32_t sum = 0;
    for (const char* p = sample; *p; ++p) {
      ASSERT_EQ(FT_Load_Char(face, uint8_t(*p), FT_LOAD_DEFAULT), 0);
      int32_t want = int32_t((face->glyph->advance.x + 32) >> 6);
      EXPECT_EQ(CharWidth(uint8_t(*p)), want) << font << " " << *p;
      sum += want;
    }
    EXPECT_EQ(StringWidth(sample), sum);
    FontInfo info;
    GetFontInfo(&info);
    EXPECT_EQ(info.ascent, (face->size->metrics.ascender + 63) >> 6);
    EXPECT_EQ(info.descent, (-face->size->metrics.descender + 63) >> 6);
    EXPECT_GE(info.leading, 0);
    TextFace(kFaceCondense);
    EXPECT_EQ(StringWidth("ab"), TextWidth("ab", 2));
    EXPECT_EQ(CharWidth('a') + 1, FontCharAdvance(font, 24, 0, 'a'));
    FT_Done_Face(face);
  }
  FT_Done_FreeType(lib);
}

// Far outside, at the int16 edges, and with a text longer than 255 characters.
TEST(Text, DrawingStaysInBounds) {
  Canvas canvas(20, 10);
  TextFont(kFontTimes);
  TextSize(12);
  std::string longText(600, 'M');
  MoveTo(-32000, 5);
  DrawString(longText.c_str());
  MoveTo(32700, 32700);
  DrawString("WWW");
  MoveTo(-5, -5);
  DrawChar(0xF2);
  DrawString(nullptr);
  EXPECT_EQ(StringWidth(longText.c_str()), 600 * CharWidth('M'));
}

// Independent composition: FreeType renders each glyph here, found for the Symbol font by its
// PostScript name rather than by code, and the test lays the coverage on white by hand
// (channel = (255 * (255 - k) + 127) / 255 for black ink), placing it at the pen plus the
// bitmap offsets and advancing by the rounded advance. The layer must agree to the last bit.
TEST(Text, DrawnStringEqualsFreeTypeGlyphsComposedByHand) {
  FT_Library lib;
  ASSERT_EQ(FT_Init_FreeType(&lib), 0);
  FT_Face times, symbol;
  ASSERT_EQ(FT_New_Face(lib, FontFilePath(kFontTimes, 0), 0, &times), 0);
  ASSERT_EQ(FT_New_Face(lib, FontFilePath(kFontSymbol, 0), 0, &symbol), 0);
  ASSERT_EQ(FT_Select_Charmap(times, FT_ENCODING_UNICODE), 0);
  FT_Set_Pixel_Sizes(times, 0, 24);
  FT_Set_Pixel_Sizes(symbol, 0, 24);
  constexpr int kW = 96, kH = 32, kBaseline = 23;
  std::vector<uint32_t> want(kW * kH, draw_test::kWhitePixel);
  int pen = 3;
  auto compose = [&](FT_Face face, FT_UInt glyph) {
    ASSERT_NE(glyph, 0u);
    ASSERT_EQ(FT_Load_Glyph(face, glyph, FT_LOAD_RENDER), 0);
    const FT_Bitmap& bm = face->glyph->bitmap;
    for (unsigned r = 0; r < bm.rows; ++r)
      for (unsigned c = 0; c < bm.width; ++c) {
        int x = pen + face->glyph->bitmap_left + int(c), y = kBaseline - face->glyph->bitmap_top + int(r);
        uint32_t k = bm.buffer[int(r) * bm.pitch + int(c)];
        if (k == 0 || x < 0 || x >= kW || y < 0 || y >= kH) continue;
        uint32_t& px = want[size_t(y * kW + x)];
        uint32_t u = px & 0xFF, v = (u * (255 - k) + 127) / 255;
        px = v << 16 | v << 8 | v;
      }
    pen += int((face->glyph->advance.x + 32) >> 6);
  };
  // "x=2" and Mac Roman 0xD0 (the en dash, U+2013) in Times; alpha and the integral in Symbol.
  for (uint32_t unicode : {0x78u, 0x3Du, 0x32u, 0x2013u}) compose(times, FT_Get_Char_Index(times, unicode));
  for (const char* name : {"alpha", "integral"})
    compose(symbol, FT_Get_Name_Index(symbol, const_cast<FT_String*>(name)));
  FT_Done_Face(times);
  FT_Done_Face(symbol);
  FT_Done_FreeType(lib);

  Canvas canvas(kW, kH);
  TextFont(kFontTimes);
  TextSize(24);
  MoveTo(3, kBaseline);
  DrawString("x=2\xD0");
  TextFont(kFontSymbol);
  DrawString("\x61\xF2");
  QDPoint end;
  GetPen(&end);
  EXPECT_EQ(end.h, pen);
  EXPECT_EQ(end.v, kBaseline);
  int inked = 0;
  for (int v = 0; v < kH; ++v)
    for (int h = 0; h < kW; ++h) {
      inked += want[size_t(v * kW + h)] != draw_test::kWhitePixel;
      ASSERT_EQ(canvas.At(h, v), want[size_t(v * kW + h)]) << h << "," << v;
    }
  EXPECT_GT(inked, 100);
}

// Sizes are bounded: a huge size from a document measures and draws as kMaxTextSize.
TEST(Text, HugeSizesAreDrawnAtTheLargestSize) {
  Canvas canvas(16, 16);
  TextFont(kFontTimes);
  TextSize(30000);
  int16_t width = CharWidth('M');
  EXPECT_EQ(width, FontCharAdvance(kFontTimes, kMaxTextSize, 0, 'M'));
  EXPECT_GT(width, kMaxTextSize / 2);
  MoveTo(0, 15);
  DrawChar('M');
  EXPECT_LT(canvas.Count(draw_test::kWhitePixel), 16 * 16);  // the corner of the glyph shows
}

// The golden image (x=2 then alpha) was rendered by this layer with the FreeType of the build
// machine and checked by eye; the exact check is the hand composition above. Other FreeType
// versions may move antialiasing slightly, so up to 1 % of pixels may differ by more than 24.
TEST(Text, RenderedStringMatchesGoldenPng) {
  Canvas canvas(64, 32);
  TextFont(kFontTimes);
  TextSize(24);
  MoveTo(3, 23);
  DrawString("x=2");
  TextFont(kFontSymbol);
  DrawChar(0x61);
  std::string golden = draw_test::SourcePath("tests/platform/data/text_golden.png");
  if (std::getenv("QV_WRITE_GOLDEN")) {
    ASSERT_TRUE(WritePortPng(golden.c_str(), canvas.gw(), false));
  }
  PngImage image;
  ASSERT_TRUE(ReadPngFile(golden.c_str(), &image));
  ASSERT_EQ(image.width, 64);
  ASSERT_EQ(image.height, 32);
  int off = 0, inked = 0;
  canvas.ForEach([&](int h, int v) {
    uint32_t got = canvas.At(h, v), want = image.pixels[v * 64 + h];
    inked += (got & 0xFFFFFF) != 0xFFFFFF;
    bool far = false;
    for (int s = 0; s < 24; s += 8) far |= std::abs(int(got >> s & 0xFF) - int(want >> s & 0xFF)) > 24;
    off += far;
  });
  FreePngImage(&image);
  EXPECT_GT(inked, 60);
  EXPECT_LE(off, 64 * 32 / 100);
}

TEST(Text, ModesCopyXorAndFaces) {
  Canvas canvas(40, 34);
  TextFont(kFontTimes);
  TextSize(20);
  RGBBackColor(RGBColor16{0xFFFF, 0, 0});
  TextMode(kSrcCopy);
  MoveTo(5, 24);
  DrawChar('i');
  FontInfo info;
  GetFontInfo(&info);
  int16_t w = CharWidth('i');
  ASSERT_LE(info.ascent, 24);
  ASSERT_LE(info.descent, 10);
  EXPECT_EQ(canvas.At(5, 24 - info.ascent), 0x00FF0000u);  // cell corner: back colour
  EXPECT_EQ(canvas.At(5 + w - 1, 24 + info.descent - 1), 0x00FF0000u);
  EXPECT_EQ(canvas.At(5 + w, 24), draw_test::kWhitePixel);  // just past the cell
  EXPECT_EQ(canvas.At(4, 24), draw_test::kWhitePixel);
  Canvas xored(40, 30);
  auto background = [](int h, int v) { return uint32_t(h * 0x010203 + v * 0x030201) & 0xFFFFFFu; };
  xored.Fill(background);
  TextFont(kFontTimes);
  TextSize(20);
  TextMode(kSrcXor);
  for (int pass = 1; pass <= 2; ++pass) {
    MoveTo(2, 22);
    DrawString("Mx");
    int changed = 0;
    xored.ForEach([&](int h, int v) { changed += xored.At(h, v) != background(h, v); });
    if (pass == 1) EXPECT_GT(changed, 20);
    else EXPECT_EQ(changed, 0);  // xor twice restores every pixel
  }
  // Bold measures with the bold file.
  TextFace(0);
  int32_t plain = StringWidth("mmmm");
  TextFace(kFaceBold);
  EXPECT_GT(StringWidth("mmmm"), plain);
  TextFace(kFaceBold | kFaceExtend);
  EXPECT_EQ(StringWidth("mmmm"), 4 * FontCharAdvance(kFontTimes, 20, kFaceBold, 'm') + 4);
}
