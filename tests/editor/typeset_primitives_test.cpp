// Units, primitives and fonts: unit goldens worked by hand, the glyph tables, widths with the
// real fonts (from the fonts' advance tables: Nimbus Roman x 500, s 389, i 278, n 500, ? 444,
// % 833 units, Bold ? 500; Standard Symbols PS 229 713, 188 1000; rounded per character), the
// pen calls, a missing Symbol font, the font registry and the rounded-rectangle fill.
#include <unistd.h>

#include "editor/layout_handlers.h"
#include "editor/typeset_primitives.h"
#include "platform/draw/shapes.h"
#include "platform/draw/text.h"
#include "platform/fonts.h"
#include "tests/editor/typeset_test_support.h"
#include "tests/platform/draw_test_support.h"

using namespace typeset_test;

TEST_F(TypesetTest, UnitGoldensAndScriptPlacement) {
  // u = raw / 1000, 100u, t = max(raw / 20, 1.0), S/4, a = 268 raw >> 10.
  struct Row { Fixed size, u, tenth, t, quarter, a; };
  const Row rows[] = {{24 << 16, 1572, 157200, 78643, 393216, 411648},
                      {18 << 16, 1179, 117900, 65536, 294912, 308736},
                      {9 << 16, 589, 58900, 65536, 147456, 154368}};
  for (const Row& r : rows) {
    SetTypesetSize(r.size);
    const TypeMetrics& m = TypesetGlobals().metrics;
    EXPECT_EQ(std::make_tuple(m.typeSize, m.typeThousandth, m.typeTenth, m.ruleThickness, m.typeQuarter,
                              MathAxisOf(r.size), TypesetGlobals().text.size),
              std::make_tuple(r.size, r.u, r.tenth, r.t, r.quarter, r.a, int16_t(r.size >> 16)));
  }
  // Floors, and products past 32 bits before the narrowing (268 x 200 pt, 85 x 400 px).
  EXPECT_EQ(std::make_tuple(FixedToPixels(-32768), FixedToPixels(-65537), MathAxisOf(200 << 16),
                            MulDivFixed(400 << 16, 85, 100), SaturateFixed(int64_t{1} << 40)),
            std::make_tuple(-1, -2, 3430400, 22282240, INT32_MAX));
  // At 9 pt S/20 is 29491 raw (t would be 65536): h = 9.0, d = e = 12.0.
  EXPECT_EQ(std::make_tuple(SubscriptDrop(Px(9), Px(12)), SuperscriptRaise(Px(9), Px(12)), SubscriptDrop(Px(9), Px(1))),
            std::make_tuple(294912 - 29491, 442368 - 29491, 49152));
}

TEST_F(TypesetTest, GlyphTablesDependOnTheSlot) {
  // Fake metrics at 24 px: ascent 18, descent 6, FontHalfAscent 10.0; factors of s truncated.
  struct Case { int32_t slot, points, c; Fixed (*glyph)(int32_t); Fixed want; };
  const Case cases[] = {
      {kTextSlot, 24, 'y', GlyphDescent, Px(6)},     {kSymbolSlot, 24, 'y', GlyphDescent, Px(1)},
      {kTextSlot, 24, 'x', GlyphDescent, Px(1)},     {kSymbolSlot, 24, 'x', GlyphDescent, Px(6)},
      {kTextSlot, 24, 'x', GlyphAscent, Px(12)},     {kTextSlot, 24, 'b', GlyphAscent, Px(24)},
      {kSymbolSlot, 24, 'P', GlyphAscent, Px(12)},   {kSymbolSlot, 24, 229, GlyphAscent, 1415577},
      {kSymbolSlot, 24, 232, GlyphDescent, 460849},  {kSymbolSlot, 24, 230, PieceFullHeight, 1917321},
      {kTextSlot, 24, 231, GlyphHeight, Px(24)},     {kSymbolSlot, 18, 231, GlyphHeight, 1002700}};
  for (const Case& c : cases) {
    SetTypesetFont(c.slot);
    SetTypesetSize(c.points << 16);
    EXPECT_EQ(c.glyph(c.c), c.want) << c.slot << " " << c.c;
  }
}

TEST_F(TypesetTest, PenCallsFloorThroughTheOrigin) {
  TypesetGlobals().originH = 10;
  TypesetGlobals().originV = 20;
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
  EXPECT_EQ(TypesetDrawString(std::string(256, 'x').c_str()), 256);  // refused: nothing drawn
  EXPECT_EQ(TypesetDrawString(std::string(255, 'x').c_str()), 0);
  EXPECT_EQ(port_.calls.size(), 255u);
}

TEST_F(TypesetTest, RealFontWidthsAreRoundedUnhintedAdvances) {
  TypesetGlobals().fontMetrics = nullptr;
  struct Case { int32_t slot, points, face; const char* text; int32_t pixels; };
  const Case cases[] = {
      {kTextSlot, 18, 0, "x", 9},      {kTextSlot, 18, 0, "sin", 21}, {kTextSlot, 18, 0, "?", 8},
      {kTextSlot, 18, 1, "?", 9},      {kTextSlot, 18, 32, "sin", 18},  // condensed: 1 px less each
      {kTextSlot, 9, 0, "%", 7},                                         // 7.497: hinted would be 8
      {kSymbolSlot, 24, 0, "\xE5", 17}, {kSymbolSlot, 24, 0, "\xBC", 24},
      {kSymbolSlot, 24, 1, "\xE5", 18}};  // no bold Symbol face: 1 px more
  for (const Case& c : cases) {
    SetTypesetFont(c.slot);
    SetTypesetSize(c.points << 16);
    TypesetGlobals().text.face = int16_t(c.face);
    EXPECT_EQ(TypesetTextWidth(c.text), Px(c.pixels)) << c.text << " " << c.points;
  }
}

TEST_F(TypesetTest, MissingSymbolFontPostsErrorTenAndLayoutRuns) {
  char folder[] = "/tmp/qv_fonts_XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string link = std::string(folder) + "/NimbusRoman-Regular.otf";
  ASSERT_EQ(symlink(FontFilePath(kFontTimes, 0), link.c_str()), 0);
  SetFontDirectoryOverride(folder);
  ResetTypesetGlobalsForTest();
  TypesetGlobals().port = &port_;
  InitTypesetting();
  const int16_t* slots = TypesetGlobals().fontSlots;
  EXPECT_EQ(std::make_tuple(PendingError(), slots[kSymbolSlot], slots[kTextSlot]),
            std::make_tuple(int(kErrorSymbolFontMissing), int16_t(0), int16_t(kFontTimes)));
  FormulaEditor* e = Edit("plus[alpha,sum[x],num[0.5,\"0.5\"]]");
  DrawFormula(e->root);
  EXPECT_EQ(std::make_pair(bool(e->layoutValid), port_.Chars()), std::make_pair(true, std::string("ax\xE5" "0.5++")));
  SetFontDirectoryOverride(nullptr);
  unlink(link.c_str());
  rmdir(folder);
}

TEST(FontRegistry, FamiliesResolveStrictlyAndBoldIsSynthesisedWithoutABoldFace) {
  const int16_t sans = GetFNum("Nimbus Sans");
  EXPECT_GE(sans, kFirstRegisteredFont);
  EXPECT_EQ(std::make_tuple(GetFNum("nimbus sans"), GetFNum("Helvetica"), GetFontNumberByName("No Such Family")),
            std::make_tuple(sans, int16_t(0), int16_t(kFontApplication)));  // no look-alike for Helvetica
  EXPECT_EQ(std::make_tuple(FontIsSyntheticBold(kFontSymbol, 1), FontIsSyntheticBold(kFontTimes, 1),
                            FontCharDesignWidth(kFontSymbol, 229)),
            std::make_tuple(true, false, 713));
  // Drawn bold: the plain strokes again one pixel to the right, and the pen 1 px further.
  draw_test::Canvas canvas(40, 40);
  TextFont(kFontSymbol);
  TextSize(24);
  draw_test::Points ink[2];
  for (int bold = 0; bold < 2; ++bold) {
    canvas.Fill([](int, int) { return draw_test::kWhitePixel; });
    TextFace(bold);
    MoveTo(5, 30);
    DrawChar(0xE5);
    ink[bold] = canvas.Where(draw_test::kWhitePixel, false);
  }
  for (auto [h, v] : ink[0]) EXPECT_TRUE(ink[1].count({h, v}) && ink[1].count({h + 1, v})) << h << "," << v;
  QDPoint pen;
  GetPen(&pen);
  EXPECT_EQ(pen.h, 5 + 18);
}

TEST(RoundedRect, PaintsPixelCentresInsideTheRoundedCorners) {
  // Centres inside the rectangle and within r of the rectangle inset by r, computed apart.
  draw_test::Canvas canvas(12, 10);
  RGBForeColor(RGBColor16{0, 0, 0});
  FillRoundedRect(1.0, 1.0, 11.0, 9.0, 4.0, nullptr);
  EXPECT_EQ(canvas.Map(),
            "............\n...######...\n..########..\n.##########.\n.##########.\n"
            ".##########.\n.##########.\n..########..\n...######...\n............\n");
}
