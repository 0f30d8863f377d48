// Every glyph the node kind table names must exist in the font it names: a code that reaches no
// glyph draws nothing where an operator should be.
#include <gtest/gtest.h>

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
