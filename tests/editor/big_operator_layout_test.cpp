// Big operators, integrals and radicals with the real fonts at 18 pt. Goldens worked by hand: the
// summation sign at 24 pt has T = 0.9 s = 1415577, B = 0.1 s = 157286 and 17 px of width; centred
// on the axis (a = 308736) it reaches U = 1095167 up and L = 477696 down; u = 1179, t = 65536.
#include "editor/layout_boxes.h"
#include "tests/editor/typeset_test_support.h"

using namespace typeset_test;

namespace {
constexpr Fixed kU = 1179, kAbove = 1095167, kBelow = 477696, kAxis = 308736;
Fixed Baseline(const TypesetBox& b) { return b.absoluteVertical - b.descent; }
Fixed Top(const TypesetBox& b) { return b.absoluteVertical - BoxHeight(b); }
}  // namespace

TEST_F(TypesetTest, BigOperatorsCentreTheirSignAndHoldTheirLimits) {
  TypesetGlobals().fontMetrics = nullptr;
  const TypesetBox& sum = *Edit("sum[x]")->root->box;
  EXPECT_EQ(std::make_tuple(sum.descent, sum.ascent, sum.width), std::make_tuple(kBelow, Px(18), 1114112 + 117900 + Px(9)));
  // Over an operand of no height: 50u over the sign once there is a lower limit; the lower limit
  // 100u under the sign, 150u once there is an upper one, whose bottom is 50u over the sign. The
  // descent holds the sign, 50u and the limit (i at 12 pt: 15 px high), so the limit hangs 50u
  // (100u) under the node's bottom.
  const Fixed limitHeight = Px(12) + Px(3);
  struct Case { const char* text; Fixed ascent, descent, lowerTop, upperBottom, hang; };
  const Case cases[] = {{"sum[atop[]]", kAbove, kBelow, 0, 0, 0},
                        {"sum[atop[],i]", kAbove + 50 * kU, kBelow + 50 * kU + limitHeight, kBelow + 100 * kU, 0, 50 * kU},
                        {"sum[atop[],i,n]", 0, kBelow + 50 * kU + limitHeight, kBelow + 150 * kU, kAbove + 50 * kU, 100 * kU}};
  for (const Case& c : cases) {
    FormulaEditor* e = Edit(c.text);
    const TypesetBox& box = *e->root->box;
    const int n = e->root->arity;  // 0 stands for a value the case does not fix
    EXPECT_EQ(std::make_tuple(c.ascent ? box.ascent : 0, box.descent, n > 1 ? Top(BoxAt(e->root, {1})) - Baseline(box) : 0,
                              n > 2 ? Baseline(box) - BoxAt(e->root, {2}).absoluteVertical : 0,
                              n > 1 ? BoxAt(e->root, {1}).absoluteVertical - box.absoluteVertical : 0),
              std::make_tuple(c.ascent, c.descent, c.lowerTop, c.upperBottom, c.hang))
        << c.text;
  }
  // A deeper operand decides the descent: the limit then stays inside.
  FormulaEditor* deep = Edit("sum[over[1,over[1,over[1,2]]],i]");
  EXPECT_LT(BoxAt(deep->root, {1}).absoluteVertical, deep->root->box->absoluteVertical);
  // In an exponent the sign keeps the level-0 size; the ring of oint is centred on its sign.
  port_.calls.clear();
  DrawFormula(Edit("power[x,sum[y]]")->root);
  EXPECT_EQ(port_.Drawn(229).at(0).text.size, 24);
  port_.calls.clear();
  DrawFormula(Edit("oint[f]")->root);
  const Call sign = port_.Drawn(242).at(0), ring = port_.Drawn('o').at(0);
  EXPECT_NEAR(ring.h + FixedToPixels(WidthOf(kTextSlot, 16, 'o')) / 2.0,
              sign.h + FixedToPixels(WidthOf(kSymbolSlot, 24, 242)) / 2.0, 1.0);
  EXPECT_EQ(ring.text.size, 16);
  // The ring is two thirds of the level-0 size, the sign at level 1's.
  const int32_t style[kScriptLevelCount] = {30 << 16, 24 << 16, 18 << 16, 12 << 16, 9 << 16, 9 << 16};
  FormulaEditor* e = Edit("oint[f]", 0);
  e->style = style;
  LayoutFormula();
  port_.calls.clear();
  DrawFormula(e->root);
  EXPECT_EQ(std::make_pair(int(port_.Drawn(242).at(0).text.size), int(port_.Drawn('o').at(0).text.size)), std::make_pair(24, 20));
}

TEST_F(TypesetTest, IntegralDrawsItsSignOnTheAxisAndTheD) {
  TypesetGlobals().fontMetrics = nullptr;
  // The sign at 24 pt: T = 24 px, B = 1 px; centred, its lowest point lies L = 12.5 px - a under
  // the baseline, so its baseline lies 11.5 px - a under it.
  FormulaEditor* e = Edit("integral[f,x,0,1]");
  port_.calls.clear();
  DrawFormula(e->root);
  const TypesetBox& box = *e->root->box;
  const Call sign = port_.Drawn(242).at(0), d = port_.Drawn('d').at(0);
  EXPECT_EQ(sign.v, FixedToPixels(Baseline(box) + 753664 - kAxis));
  EXPECT_EQ(d.h, FixedToPixels(BoxAt(e->root, {0}).absoluteHorizontal + BoxAt(e->root, {0}).width));
  EXPECT_EQ(Top(BoxAt(e->root, {2})) - Baseline(box), 819200 - kAxis + 150 * kU);
  // The lower limit (0 at the node's 18 pt: the template's limits are no scripts) decides the
  // descent and hangs 100u under the bottom.
  EXPECT_EQ(std::make_pair(box.descent, BoxAt(e->root, {2}).absoluteVertical - box.absoluteVertical),
            std::make_pair(819200 - kAxis + 50 * kU + Px(45) / 2, 100 * kU));
}

TEST_F(TypesetTest, RadicalsGrowWithTheirRadicandAndIndex) {
  TypesetGlobals().fontMetrics = nullptr;
  // Over 1/2 (ascent 1625228 on the axis): H = A + t + 200u.
  EXPECT_EQ(Edit("sqrt[over[1,2]]")->root->box->ascent, 1625228 + kAxis + 65536 + 200 * kU);
  // An index 18 px wide at 12 pt widens the node by its width - 300u; a 3 px "i" does not narrow it.
  struct Case { const char* text; Fixed width; };
  for (const Case& c : {Case{"sqrt[x,123]", Px(18) - 300 * kU + Px(9) + 700 * kU}, Case{"sqrt[x,i]", Px(9) + 700 * kU},
                        Case{"sqrt[x]", Px(9) + 700 * kU}})
    EXPECT_EQ(Edit(c.text)->root->box->width, c.width) << c.text;
  // The narrow index leaves the sign in place: across, the same polyline (from the last pen move
  // on) and the radicand 700u in, as without an index; a pulled sign would start 300u - 3 px
  // further left. (The index only makes the node taller.)
  std::vector<std::string> signs;
  for (const char* text : {"sqrt[x,i]", "sqrt[x]"}) {
    FormulaEditor* e = Edit(text);
    port_.calls.clear();
    DrawFormula(e->root);
    std::string sign;
    for (const Call& c : port_.calls) {
      if (c.op == 'M') sign.clear();
      sign += c.op + std::to_string(c.h) + " ";
    }
    signs.push_back(sign);
    EXPECT_EQ(BoxAt(e->root, {0}).relativeHorizontal, 700 * kU) << text;
  }
  EXPECT_EQ(signs[0], signs[1]);
}
