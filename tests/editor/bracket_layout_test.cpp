// Brackets and enclosures at 18 pt (u = 1179, a = 308736, S/10 = 117900): the cases by hand with
// the fake metrics, and the property of built brackets for contents one to ten lines high (a
// column of x's) with the real fonts.
#include <cstring>

#include "editor/bracket_layout.h"
#include "editor/layout_boxes.h"
#include "tests/editor/typeset_test_support.h"
#include "tests/platform/draw_test_support.h"

using namespace typeset_test;

namespace {

constexpr Fixed kU = 1179;

std::string Column(int lines) {
  std::string s = "atop[x";
  for (int i = 1; i < lines; ++i) s += ",x";
  return s + "]";
}

// The formulas whose brackets are built for a content of `lines` lines.
std::vector<std::string> BuiltBrackets(int lines) {
  std::vector<std::string> out = {"choice[" + Column(lines) + ",x]", "branch[" + Column(lines) + "]"};
  if (lines >= 2) out.insert(out.end(), {"id[" + Column(lines) + "]", "lparen[" + Column(lines) + "]"});
  return out;
}

bool IsPiece(uint8_t c) { return (c >= kRoundTop && c <= kRoundBottom) || (c >= kBraceTop && c <= kBraceExtension); }

}  // namespace

TEST_F(TypesetTest, BracketsGrowOnlyWhereTheContentNeeds) {
  const TypesetBox inner = *Edit("id[x]")->root->box, outer = *Edit("id[id[x]]")->root->box;
  EXPECT_EQ(std::make_tuple(outer.width - inner.width, outer.ascent, outer.descent),
            std::make_tuple(476 * kU + 2 * Px(9), inner.ascent, inner.descent));
  // Content far above the axis is extended below until the sides differ by exactly 500u.
  const TypesetBox& tall = *Edit("id[power[x,over[plus[a,b],c]]]")->root->box;
  EXPECT_EQ((tall.ascent - 308736) - (tall.descent + 308736), 500 * kU);
  // The bracket glyphs and pieces drawn, left side bottom up, then the right side.
  struct Case { const char* text; const char* drawn; };
  const Case cases[] = {{"id[x]", "()"},
                        {"id[over[1,2]]", "\xE8\xE6\xF8\xF6"},  // built: two hooks a side
                        {"choice[x,y]", "\xE8\xE6\xF8\xF6"},    // always built
                        {"lparen[x]", "{"},
                        {"rparen[x]", ")"},
                        {"branch[if[x,y]]", "\xEE\xED\xEC"}};   // one short row: a whole brace
  for (const Case& c : cases) {
    port_.calls.clear();
    DrawFormula(Edit(c.text)->root);
    std::string drawn;
    for (const Call& call : port_.calls)
      if (call.op == 'C' && ((call.c && std::strchr("(){}", call.c)) || IsPiece(call.c) || IsPiece(call.c - kRightPieceOffset)))
        drawn += char(call.c);
    EXPECT_EQ(drawn, c.drawn) << c.text;
  }
}

// With the real fonts: pieces touch end to end inside [bottom + S/10, top], the right side is
// the left side's stack, and no row of the left side's ink is blank between its ends.
TEST_F(TypesetTest, BuiltBracketsTouchStayInsideMirrorAndLeaveNoInkGap) {
  TypesetGlobals().fontMetrics = nullptr;
  for (int lines = 1; lines <= 10; ++lines) {
    for (const std::string& text : BuiltBrackets(lines)) {
      FormulaEditor* e = Edit(text);
      const TypesetBox& box = *e->root->box;
      SetTypesetSize(18 << 16);
      const bool brace = e->root->kind == KindLparen || e->root->kind == KindBranch;
      const Fixed h = BoxHeight(box) - 200 * kU;
      const PieceStack stack = brace ? BracePieceStack(h) : RoundPieceStack(h);
      Fixed end = PieceOfStack(stack, 0).lowest;
      EXPECT_GE(end, 0) << text;
      for (int64_t i = 0; i < PieceCount(stack); ++i) {
        EXPECT_EQ(PieceOfStack(stack, i).lowest, end) << text << " piece " << i;  // on the piece under it
        end += PieceOfStack(stack, i).height;
      }
      EXPECT_LE(end + 117900, BoxHeight(box)) << text;
      port_.calls.clear();
      DrawFormula(e->root);
      std::vector<Call> left, right;
      for (const Call& c : port_.calls) {
        if (c.op == 'C' && IsPiece(c.c)) left.push_back(c);
        if (c.op == 'C' && IsPiece(c.c - kRightPieceOffset)) right.push_back(c);
      }
      EXPECT_EQ(int64_t(left.size()), PieceCount(stack)) << text;
      for (size_t i = 0; i < right.size() && right.size() == left.size(); ++i)
        EXPECT_EQ(std::make_pair(right[i].c - kRightPieceOffset, right[i].v), std::make_pair(int(left[i].c), left[i].v));
      EXPECT_TRUE(right.empty() || right.size() == left.size()) << text;
      // The left side's columns (167u from the left, a piece wide) on a real port, row by row.
      TypesetGlobals().port = nullptr;
      draw_test::Canvas canvas(FixedToPixels(box.width) + 2, FixedToPixels(BoxHeight(box)) + 2);
      DrawFormula(e->root);
      TypesetGlobals().port = &port_;
      int32_t first = -1, last = -1, blank = 0;
      for (int32_t v = 0; v < FixedToPixels(BoxHeight(box)) + 2; ++v) {
        bool ink = false;
        for (int32_t x = FixedToPixels(167 * kU); x <= FixedToPixels(167 * kU) + 9; ++x)
          ink = ink || canvas.At(x, v) != draw_test::kWhitePixel;
        if (!ink) continue;
        blank += first >= 0 ? v - last - 1 : 0;
        first = first < 0 ? v : first;
        last = v;
      }
      EXPECT_TRUE(first >= 0 && blank == 0) << text << ": " << blank << " blank rows";
      Drop(e);
    }
  }
}
