// Every glyph the node kind table names must exist in the font it names, and the symbol table's
// Symbol codes must reach the glyphs of the Adobe Symbol encoding the platform tests pin down.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "kernel/trees/node_kinds.h"
#include "platform/fonts.h"

TEST(TableGlyphs, EveryKindGlyphExists) {
  int checked = 0;
  for (int i = 0; i < kNodeKindCount; ++i) {
    uint16_t glyph = NodeKindTable[i].glyph;
    if (glyph == 0 || glyph == kGlyphTextFontBit) continue;  // none, or the text font's NUL (no glyph)
    bool text = glyph & kGlyphTextFontBit;
    uint8_t code = uint8_t(glyph & 0xFF);
    EXPECT_NE(FontGlyphIndex(text ? kFontTimes : kFontSymbol, 0, code), 0u) << NodeKindTable[i].name;
    ++checked;
  }
  EXPECT_GT(checked, 60);
}

// The Greek letters of the symbol table are their namesakes in the font (vartheta is theta1 etc.).
TEST(TableGlyphs, SymbolNamesMatchTheirGlyphNames) {
  const std::map<std::string, std::string> renamed = {
      {"varphi", "phi1"}, {"vartheta", "theta1"}, {"varsigma", "sigma1"}, {"Upsilon", "Upsilon1"},
      {"varpi", "omega1"}, {"inf", "infinity"}, {"bot", "perpendicular"}, {"ldots", "ellipsis"},
      {"Im", "Ifraktur"}, {"Re", "Rfraktur"}, {"wp", "weierstrass"}, {"cpartial", "partialdiff"},
      {"nabla", "gradient"}};
  for (int i = 0; i < kSymbolNameCount; ++i) {
    std::string name = SymbolNameTable[i].name;
    auto it = renamed.find(name);
    std::string want = it == renamed.end() ? name : it->second;
    char got[64];
    ASSERT_TRUE(FontGlyphName(kFontSymbol, 0, SymbolNameTable[i].symbolCode, got, sizeof got)) << name;
    EXPECT_EQ(want, got) << name;
  }
}
