// Units, primitives and fonts: the unit goldens worked by hand, the glyph tables at the sizes the
// layout uses, widths with the real fonts (from the fonts' own advance tables: Nimbus Roman x 500,
// s 389, i 278, n 500, ? 444, % 833 units; Standard Symbols PS 229 713, 188 1000 units, rounded
// per character), the pen calls the primitives make, and a missing Symbol font.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "editor/layout_handlers.h"
#include "editor/typeset_primitives.h"
#include "platform/draw/shapes.h"
#include "platform/draw/text.h"
#include "platform/fonts.h"
#include "tests/editor/typeset_test_support.h"
#include "tests/platform/draw_test_support.h"

using namespace typeset_test;

TEST(TypesetUnits, GoldenValuesPerSize) {
  // u = raw / 1000, 100u, t = max(raw / 20, 1.0), S/4, a = 268 raw >> 10: worked by hand.
  struct Row { Fixed size, u, tenth, t, quarter, a; };
  const Row rows[] = {{24 << 16, 1572, 157200, 78643, 393216, 411648},
                      {18 << 16, 1179, 117900, 65536, 294912, 308736},
                      {9 << 16, 589, 58900, 65536, 147456, 154368}};
  for (const Row& r : rows) {
    SetTypesetSize(r.size);
    const TypeMetrics& m = TypesetState().metrics;
    EXPECT_EQ(std::make_tuple(m.typeSize, m.typeThousandth, m.typeTenth, m.ruleThickness, m.typeQuarter),
              std::make_tuple(r.size, r.u, r.tenth, r.t, r.quarter));
    EXPECT_EQ(MathAxisOf(r.size), r.a);
    EXPECT_EQ(TypesetState().text.size, r.size >> 16);
  }
  // The floor of the shift, and products that pass 32 bits before the narrowing: 268 x 200 pt
  // and 85 x a 400 px exponent.
  EXPECT_EQ(std::make_tuple(FixedToPixels(-32768), FixedToPixels(-65537), FixedToPixels(65535)),
            std::make_tuple(-1, -2, 0));
  EXPECT_EQ(MathAxisOf(200 << 16), 3430400);
  EXPECT_EQ(MulDivFixed(400 << 16, 85, 100), 22282240);
  EXPECT_EQ(SaturateFixed(int64_t{1} << 40), INT32_MAX);
}

TEST_F(TypesetTest, ScriptPlacementTakesTheRawTwentiethOfTheSize) {
  // At 9 pt S/20 is 29491 raw where t would be 65536: min(h/2 - S/20, 3d/4) and
  // min(3h/4 - S/20, 85e/100) worked by hand for h = 9.0, d = e = 12.0.
  SetTypesetSize(9 << 16);
  EXPECT_EQ(SubscriptDrop(Px(9), Px(12)), 294912 - 29491);
  EXPECT_EQ(SuperscriptRaise(Px(9), Px(12)), 442368 - 29491);
  EXPECT_EQ(SubscriptDrop(Px(9), Px(1)), 49152);  // 3d/4 the smaller
}

TEST_F(TypesetTest, GlyphTablesDependOnTheSlot) {
  // Fake metrics at 24 px: ascent 18, descent 6, so FontHalfAscent = 9.0 + 1.0.
  SetTypesetSize(24 << 16);
  SetTypesetFont(kTextSlot);
  EXPECT_EQ(GlyphDescent('y'), Px(6));
  EXPECT_EQ(GlyphDescent('x'), Px(1));
  EXPECT_EQ(GlyphAscent('x'), Px(12));
  EXPECT_EQ(GlyphAscent('b'), Px(24));
  EXPECT_EQ(GlyphHeight(231), Px(24));  // no pieces in the text slot
  SetTypesetFont(kSymbolSlot);
  EXPECT_EQ(GlyphDescent('y'), Px(1));  // psi has no descender
  EXPECT_EQ(GlyphDescent('x'), Px(6));
  EXPECT_EQ(GlyphAscent(229), 1415577);  // 0.9 x 1572864, truncated
  EXPECT_EQ(GlyphDescent(232), 460849);
  EXPECT_EQ(PieceFullHeight(230), 1917321);
  EXPECT_EQ(GlyphAscent('P'), Px(12));
  SetTypesetSize(18 << 16);
  EXPECT_EQ(GlyphHeight(231), 1002700);
}

TEST_F(TypesetTest, PenCallsFloorThroughTheOrigin) {
  TypesetState().originH = 10;
  TypesetState().originV = 20;
  SetTypesetSize(24 << 16);
  TypesetMoveTo(-32768, Px(3));
  TypesetPolyLine(0, nullptr);
  const Fixed points[] = {Px(5), -Px(2)};  // (dy, dx)
  TypesetPolyLine(1, points);
  TypesetLineTo(Px(1), Px(1));
  std::string calls;
  for (const Call& c : port_.calls) calls += c.op + std::to_string(c.h) + "," + std::to_string(c.v) + " ";
  EXPECT_EQ(calls, "M9,23 P1,1 P1,1 l-2,5 P1,1 L11,21 ");
  port_.calls.clear();
  EXPECT_EQ(TypesetDrawString(std::string(256, 'x').c_str()), 256);
  EXPECT_TRUE(port_.calls.empty());
  EXPECT_EQ(TypesetDrawString(std::string(255, 'x').c_str()), 0);
  EXPECT_EQ(port_.calls.size(), 255u);
}

TEST_F(TypesetTest, RealFontWidthsAreRoundedUnhintedAdvances) {
  UsePlatformFonts();
  struct Case { int32_t slot, points, face; const char* text; int32_t pixels; };
  const Case cases[] = {
      {kTextSlot, 18, 0, "x", 9},  {kTextSlot, 18, 0, "sin", 21},  {kTextSlot, 18, 0, "?", 8},
      {kTextSlot, 18, 0, "123", 27}, {kTextSlot, 18, 1, "?", 9},   // Nimbus Roman Bold "?" is 500 units
      {kTextSlot, 18, 32, "sin", 18},                               // condensed: 1 px less a character
      {kTextSlot, 9, 0, "%", 7},   // 7.497 px: the hinted advance would be 8
      {kSymbolSlot, 24, 0, "\xE5", 17}, {kSymbolSlot, 24, 0, "\xBC", 24},
      {kSymbolSlot, 24, 1, "\xE5", 18},  // no bold Symbol face: 1 px more
  };
  for (const Case& c : cases) {
    SetTypesetFont(c.slot);
    SetTypesetSize(c.points << 16);
    TypesetState().text.face = int16_t(c.face);
    EXPECT_EQ(TypesetTextWidth(c.text), Px(c.pixels)) << c.text << " " << c.points;
  }
}

TEST_F(TypesetTest, MissingSymbolFontPostsErrorTenAndLayoutRuns) {
  char folder[] = "/tmp/qv_fonts_XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string link = std::string(folder) + "/NimbusRoman-Regular.otf";
  ASSERT_EQ(symlink(FontFilePath(kFontTimes, 0), link.c_str()), 0);
  SetFontDirectoryOverride(folder);
  ResetErrorRegister();
  ResetTypesetStateForTest();
  TypesetState().port = &port_;
  InitTypesetting();
  InitTypesetting();
  EXPECT_EQ(PendingError(), kErrorSymbolFontMissing);
  EXPECT_EQ(TypesetState().fontSlots[kSymbolSlot], 0);
  EXPECT_EQ(TypesetState().fontSlots[kTextSlot], kFontTimes);
  FormulaEditor* e = Edit("plus[alpha,sum[x],num[0.5,\"0.5\"]]");
  EXPECT_TRUE(e->layoutValid);
  DrawFormula(e->root);
  EXPECT_EQ(port_.Chars(), "a" "x" "0.5");
  SetFontDirectoryOverride(nullptr);
  std::remove(link.c_str());
  rmdir(folder);
}

TEST(FontRegistry, FamiliesResolveStrictlyAndBoldIsSynthesisedWithoutABoldFace) {
  const int16_t sans = GetFNum("Nimbus Sans");
  EXPECT_GE(sans, kFirstRegisteredFont);
  EXPECT_EQ(GetFNum("nimbus sans"), sans);
  EXPECT_EQ(GetFNum("Helvetica"), 0);  // fontconfig would offer Nimbus Sans for it
  EXPECT_EQ(GetFontNumberByName("No Such Family"), kFontApplication);
  EXPECT_EQ(std::make_pair(FontIsSyntheticBold(kFontSymbol, 1), FontIsSyntheticBold(kFontTimes, 1)),
            std::make_pair(true, false));
  EXPECT_EQ(FontCharDesignWidth(kFontSymbol, 229), 713);
  // Drawn bold: the plain strokes again one pixel to the right.
  draw_test::Canvas canvas(40, 40);
  TextFont(kFontSymbol);
  TextSize(24);
  MoveTo(5, 30);
  DrawChar(0xE5);
  const draw_test::Points plain = canvas.Where(draw_test::kWhitePixel, false);
  canvas.Fill([](int, int) { return draw_test::kWhitePixel; });
  TextFace(kFaceBold);
  MoveTo(5, 30);
  DrawChar(0xE5);
  const draw_test::Points bold = canvas.Where(draw_test::kWhitePixel, false);
  for (auto [h, v] : plain) EXPECT_TRUE(bold.count({h, v}) && bold.count({h + 1, v})) << h << "," << v;
  QDPoint pen;
  GetPen(&pen);
  EXPECT_EQ(pen.h, 5 + 18);
}

TEST(RoundedRect, PaintsPixelCentresInsideTheRoundedCorners) {
  // Expected: pixel centres within the rectangle and within r of the nearest point of the inner
  // rectangle inset by r (the corner discs), computed independently.
  draw_test::Canvas canvas(12, 10);
  RGBForeColor(RGBColor16{0, 0, 0});
  FillRoundedRect(1.0, 1.0, 11.0, 9.0, 4.0, nullptr);
  EXPECT_EQ(canvas.Map(),
            "............\n"
            "...######...\n"
            "..########..\n"
            ".##########.\n"
            ".##########.\n"
            ".##########.\n"
            ".##########.\n"
            "..########..\n"
            "...######...\n"
            "............\n");
}
