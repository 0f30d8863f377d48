// Fonts and text: the URW files behind "Times" and "Symbol", codes reaching the glyphs of the
// Adobe Symbol encoding and of Mac Roman, and drawn text, widths and metrics equal to FreeType
// glyphs composed by hand (alpha and the integral found by glyph name).
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "platform/draw/shapes.h"
#include "platform/draw/text.h"
#include "platform/fonts.h"
#include "tests/platform/draw_test_support.h"

using draw_test::Canvas;
using draw_test::kWhitePixel;

// Glyph names from the Adobe Symbol encoding and from Mac Roman through Unicode: a few codes of
// each region of the tables (the symbol table's own codes are checked in the graphics suite);
// "Times" and "Symbol" resolve, other names do not.
TEST(Fonts, CodesReachTheirGlyphsInBothEncodings) {
  EXPECT_EQ(std::make_tuple(GetFNum("Times"), GetFNum("Symbol"), GetFNum("Helvetica")),
            std::make_tuple(kFontTimes, kFontSymbol, int16_t(0)));
  const struct { int16_t font; uint8_t code; const char* name; } table[] = {
      {kFontSymbol, 0x22, "universal"},    {kFontSymbol, 0x61, "alpha"},        {kFontSymbol, 0xA5, "infinity"},
      {kFontSymbol, 0xB6, "partialdiff"},  {kFontSymbol, 0xE5, "summation"},    {kFontSymbol, 0xE6, "parenlefttp"},
      {kFontSymbol, 0xEF, "braceex"},      {kFontSymbol, 0xF2, "integral"},     {kFontTimes, 'A', "A"},
      {kFontTimes, 0x80, "Adieresis"},     {kFontTimes, 0xA5, "bullet"},        {kFontTimes, 0xD0, "endash"},
      {kFontTimes, 0xC7, "guillemotleft"}, {kFontTimes, 0xFF, "caron"}};
  for (auto [font, code, name] : table) {
    char got[64];
    ASSERT_TRUE(FontGlyphName(font, 0, code, got, sizeof got)) << std::hex << int(code);
    EXPECT_STREQ(got, name) << "code 0x" << std::hex << int(code);
  }
  EXPECT_EQ(FontGlyphIndex(kFontTimes, 0, 0x07), 0u);  // control codes draw nothing
}

// Independent composition: FreeType renders each glyph here, found for the Symbol font by its
// PostScript name rather than by code, and the test lays the coverage on white by hand
// (channel = (255 * (255 - k) + 127) / 255 for black ink), placing it at the pen plus the
// bitmap offsets and advancing by the unhinted advance rounded to a pixel. The layer must agree
// to the last bit, and its widths and metrics with FreeType's.
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
  std::vector<uint32_t> want(kW * kH, kWhitePixel);
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
    FT_Fixed units = 0;  // the unhinted advance at 24 px, rounded half up
    FT_Get_Advance(face, glyph, FT_LOAD_NO_SCALE, &units);
    pen += int((2 * units * 24 + face->units_per_EM) / (2 * face->units_per_EM));
  };
  // "x=2" and Mac Roman 0xD0 (the en dash, U+2013) in Times; alpha and the integral in Symbol.
  for (uint32_t unicode : {0x78u, 0x3Du, 0x32u, 0x2013u}) compose(times, FT_Get_Char_Index(times, unicode));
  int timesWidth = pen - 3;
  for (const char* name : {"alpha", "integral"})
    compose(symbol, FT_Get_Name_Index(symbol, const_cast<FT_String*>(name)));
  const FT_Size_Metrics metrics = times->size->metrics;
  FT_Done_Face(times);
  FT_Done_Face(symbol);
  FT_Done_FreeType(lib);

  Canvas canvas(kW, kH);
  TextFont(kFontTimes);
  TextSize(24);
  EXPECT_EQ(StringWidth("x=2\xD0"), timesWidth);
  FontInfo info;
  GetFontInfo(&info);
  EXPECT_EQ(info.ascent, (metrics.ascender + 63) >> 6);
  EXPECT_EQ(info.descent, (-metrics.descender + 63) >> 6);
  MoveTo(3, kBaseline);
  DrawString("x=2\xD0");
  TextFont(kFontSymbol);
  DrawString("\x61\xF2");
  QDPoint end;
  GetPen(&end);
  EXPECT_EQ(std::make_pair(int(end.h), int(end.v)), std::make_pair(pen, kBaseline));
  EXPECT_GT(std::count_if(want.begin(), want.end(), [](uint32_t p) { return p != kWhitePixel; }), 100);
  EXPECT_EQ(canvas.Pixels(), want);
}

// Copy fills the character cell with the back colour; xor twice restores every pixel; condense
// takes a pixel off each character and extend adds one. Text far outside, longer than 255
// characters, or at a size from a document far past the largest (drawn and measured as
// kMaxTextSize) stays in bounds.
TEST(Text, ModesFacesAndSizes) {
  Canvas canvas(40, 34);
  TextFont(kFontTimes);
  TextSize(20);
  RGBBackColor(RGBColor16{0xFFFF, 0, 0});
  TextMode(kSrcCopy);
  MoveTo(5, 24);
  DrawChar('i');
  FontInfo info;
  GetFontInfo(&info);
  draw_test::Points cell = canvas.Where(kWhitePixel, false);  // ordered by column, then row
  EXPECT_EQ(*cell.begin(), std::make_pair(5, 24 - info.ascent));
  EXPECT_EQ(*cell.rbegin(), std::make_pair(5 + CharWidth('i') - 1, 24 + info.descent - 1));
  canvas.Fill([](int h, int v) { return uint32_t(h * 0x010203 + v * 0x030201) & 0xFFFFFFu; });
  const std::vector<uint32_t> before = canvas.Pixels();
  TextMode(kSrcXor);
  for (int pass = 1; pass <= 2; ++pass) {
    MoveTo(2, 22);
    DrawString("Mx");
    EXPECT_EQ(canvas.Pixels() == before, pass == 2) << pass;
  }
  for (auto [face, change] : {std::pair{kFaceCondense, -1}, {kFaceExtend, 1}}) {
    TextFace(face);
    EXPECT_EQ(CharWidth('m'), FontCharAdvance(kFontTimes, 20, 0, 'm') + change);
  }
  TextFace(0);
  std::string longText(600, 'M');
  MoveTo(-32000, 5);
  DrawString(longText.c_str());
  EXPECT_EQ(StringWidth(longText.c_str()), 600 * CharWidth('M'));
  TextSize(30000);
  EXPECT_EQ(CharWidth('M'), FontCharAdvance(kFontTimes, kMaxTextSize, 0, 'M'));
  MoveTo(0, 33);
  DrawChar('M');
  EXPECT_NE(canvas.Pixels(), before);  // the corner of the glyph shows
}
