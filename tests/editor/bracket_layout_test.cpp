// Brackets and enclosures at 18 pt (u = 1179, a = 308736, S/10 = 117900): the cases by hand with
// the fake metrics, and the property of built brackets for contents one to ten lines high (a
// column of x's): pieces touch end to end inside [bottom + S/10, top], the right side is the
// left side's stack drawn with the right-hand codes, and with the real fonts no row of the
// bracket's ink is blank between its ends.
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

bool IsLeftPiece(uint8_t c) { return c >= kRoundTop && c <= kBraceExtension && c != 233 && c != 234 && c != 235; }

}  // namespace

TEST_F(TypesetTest, BracketsGrowOnlyWhereTheContentNeeds) {
  const Fixed pw = Px(9);
  const TypesetBox inner = *Edit("id[x]")->root->box, outer = *Edit("id[id[x]]")->root->box;
  EXPECT_EQ(std::make_tuple(outer.width - inner.width, outer.ascent, outer.descent),
            std::make_tuple(476 * kU + 2 * pw, inner.ascent, inner.descent));
  // Content far above the axis is extended below until the sides differ by exactly 500u.
  const TypesetBox& tall = *Edit("id[power[x,over[plus[a,b],c]]]")->root->box;
  EXPECT_EQ((tall.ascent - 308736) - (tall.descent + 308736), 500 * kU);
  struct Case { const char* text; const char* small; size_t pieces; };  // glyphs drawn, pieces drawn
  const Case cases[] = {{"id[x]", "()", 0},
                        {"id[over[1,2]]", "", 4},                   // built: two hooks a side
                        {"choice[x,y]", "", 4},                     // always built, hooks alone here
                        {"lparen[x]", "{", 0},
                        {"rparen[x]", ")", 0},
                        {"branch[if[x,y]]", "", 3}};                // one short row: a whole brace
  for (const Case& c : cases) {
    port_.calls.clear();
    DrawFormula(Edit(c.text)->root);
    std::string small;
    size_t pieces = 0;
    for (const Call& call : port_.calls) {
      if (call.op != 'C') continue;
      if (std::string("(){}").find(char(call.c)) != std::string::npos) small += char(call.c);
      pieces += IsLeftPiece(call.c) || IsLeftPiece(uint8_t(call.c - kRightPieceOffset));
    }
    EXPECT_EQ(std::make_pair(small, pieces), std::make_pair(std::string(c.small), c.pieces)) << c.text;
  }
  port_.calls.clear();
  DrawFormula(Edit("branch[if[x,y]]")->root);
  EXPECT_EQ(std::make_tuple(port_.Drawn(kBraceBottom).size(), port_.Drawn(kBraceMiddle).size(),
                            port_.Drawn(kBraceTop).size()),
            std::make_tuple(1u, 1u, 1u));
}

TEST_F(TypesetTest, BuiltBracketsTouchStayInsideAndMirror) {
  const Fixed s = 18 << 16, tenth = 117900;
  for (int lines = 1; lines <= 10; ++lines) {
    for (const std::string& text : BuiltBrackets(lines)) {
      FormulaEditor* e = Edit(text);
      const Fixed height = BoxHeight(*e->root->box);
      SetTypesetSize(s);
      const bool brace = e->root->kind == KindLparen || e->root->kind == KindBranch;
      const PieceStack stack = brace ? BracePieceStack(height - 200 * kU) : RoundPieceStack(height - 200 * kU);
      Fixed end = PieceOfStack(stack, 0).lowest;
      EXPECT_GE(end, 0) << text;
      for (int64_t i = 0; i < PieceCount(stack); ++i) {
        const StackedPiece p = PieceOfStack(stack, i);
        EXPECT_EQ(p.lowest, end) << text << " piece " << i;  // touching the piece under it
        end = p.lowest + p.height;
      }
      EXPECT_LE(end + tenth, height) << text;
      port_.calls.clear();
      DrawFormula(e->root);
      std::vector<Call> left, right;
      for (const Call& c : port_.calls) {
        if (c.op == 'C' && IsLeftPiece(c.c)) left.push_back(c);
        if (c.op == 'C' && c.c >= kRoundTop + kRightPieceOffset && c.c <= kRoundBottom + kRightPieceOffset)
          right.push_back(c);
      }
      EXPECT_EQ(int64_t(left.size()), PieceCount(stack)) << text;
      if (right.empty()) continue;  // a brace has no right side
      ASSERT_EQ(right.size(), left.size()) << text;
      for (size_t i = 0; i < left.size(); ++i)
        EXPECT_EQ(std::make_pair(right[i].c - kRightPieceOffset, right[i].v), std::make_pair(int(left[i].c), left[i].v))
            << text;
    }
  }
}

TEST_F(TypesetTest, BuiltBracketsLeaveNoInkGapWithTheRealFonts) {
  TypesetGlobals().fontMetrics = nullptr;
  TypesetGlobals().port = nullptr;
  for (int lines = 1; lines <= 10; ++lines) {
    for (const std::string& text : BuiltBrackets(lines)) {
      FormulaEditor* e = Edit(text);
      const TypesetBox& box = *e->root->box;
      draw_test::Canvas canvas(FixedToPixels(box.width) + 2, FixedToPixels(BoxHeight(box)) + 2);
      DrawFormula(e->root);
      // The left bracket's columns (167u from the left, a piece wide), row by row.
      const int32_t from = FixedToPixels(167 * kU), to = from + 9;
      int32_t first = -1, last = -1, blank = 0;
      for (int32_t v = 0; v < FixedToPixels(BoxHeight(box)) + 2; ++v) {
        bool ink = false;
        for (int32_t h = from; h <= to; ++h) ink = ink || canvas.At(h, v) != draw_test::kWhitePixel;
        if (!ink) continue;
        if (first >= 0) blank += v - last - 1;
        if (first < 0) first = v;
        last = v;
      }
      EXPECT_TRUE(first >= 0 && blank == 0) << text << ": " << blank << " blank rows";
      Drop(e);
    }
  }
}
