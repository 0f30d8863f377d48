// Fractions, powers and scientific notation with the real fonts at 18 pt (u = 1179, t = 1.0,
// digits 9 px): the built-up 1/2 golden worked by hand from those units, inline and built-up
// exponents, sin² x and x₁² (with the fake metrics too), and what an sn node draws in a
// narrow and a too-wide formula.
#include "tests/editor/typeset_test_support.h"

using namespace typeset_test;

TEST_F(TypesetTest, FractionsAndPowersPlaceTheirParts) {
  TypesetGlobals().fontMetrics = nullptr;
  // 1/2: width 9 px + 166u; ascent = descent = 22.5 px + 100u + t/2 = 1474560 + 117900 + 32768.
  const TypesetBox& half = *Edit("over[1,2]")->root->box;
  EXPECT_EQ(std::make_tuple(half.width, half.ascent, half.descent, half.baselineFlag),
            std::make_tuple(785538, 1625228, 1625228, 0));
  struct Case { const char* text; int flag; };  // the exponent's flag: 1 inline, 0 built up
  for (const Case& c : {Case{"power[x,over[1,2]]", 1}, Case{"power[x,minus[over[1,2]]]", 1},
                        Case{"power[x,over[plus[1,x],2]]", 0}}) {
    const ExprNode* exponent = Edit(c.text)->root->children[1];
    if (exponent->kind == KindMinus) exponent = exponent->children[0];
    EXPECT_EQ(exponent->box->baselineFlag, c.flag) << c.text;
  }
  for (const FontMetrics* metrics : {(const FontMetrics*)nullptr, static_cast<const FontMetrics*>(&fake_)}) {
    TypesetGlobals().fontMetrics = metrics;
    // sin² x: the 2 right after "sin" (two thin spaces of 59u before the name), x after the 2.
    const Fixed sin = 2 * 59 * 1179 + WidthOf(kTextSlot, 18, 's') + WidthOf(kTextSlot, 18, 'i') +
                      WidthOf(kTextSlot, 18, 'n');
    const Fixed two = WidthOf(kTextSlot, 12, '2');
    FormulaEditor* e = Edit("power[sin[x],2]");
    EXPECT_EQ(std::make_tuple(BoxAt(e->root, {1}).relativeHorizontal, BoxAt(e->root, {0, 0}).relativeHorizontal,
                              e->root->box->width),
              std::make_tuple(sin, sin + 100 * 1179 + two, sin + 100 * 1179 + two + Px(9)));
    // x₁²: the 2 over the subscript, 38u (of 12 pt, u = 786) after the x.
    e = Edit("power[indexes[0,1,x,1],2]");
    EXPECT_EQ(std::make_pair(BoxAt(e->root, {1}).relativeHorizontal, e->root->box->width),
              std::make_pair(Px(9) + 38 * 786, Px(9) + 38 * 786 + two));
  }
}

TEST_F(TypesetTest, ScientificNotationDrawsTimesTenOrE) {
  TypesetGlobals().fontMetrics = nullptr;
  for (Fixed limit : {kDefaultWidthLimit, Px(10)}) {
    FormulaEditor* e = Edit("sn[num[6.02,\"6.02\"],num[23,\"23\"]]", limit);
    port_.calls.clear();
    DrawFormula(e->root);
    const TypesetBox& exponent = BoxAt(e->root, {1});
    const Fixed mantissa = BoxAt(e->root, {0}).width, thin = 59 * 1179;
    if (limit == Px(10)) {  // 6.02E23, all on the baseline: E 59u after the mantissa
      const Fixed at = mantissa + 2 * 117900 + WidthOf(kTextSlot, 18, 'E');
      EXPECT_EQ(std::make_tuple(port_.Chars(), exponent.relativeHorizontal, exponent.relativeVertical,
                                port_.Drawn('E')[0].h),
                std::make_tuple(std::string("6.0223E"), at, 0, FixedToPixels(mantissa + thin)));
    } else {  // 6.02 × 10 with 23 raised: its bottom S/2 + the mantissa's descent over the bottom
      const Fixed ten = WidthOf(kSymbolSlot, 18, 180) + thin + 2 * WidthOf(kTextSlot, 18, '1');
      EXPECT_EQ(std::make_tuple(port_.Chars(), exponent.relativeHorizontal, exponent.relativeVertical),
                std::make_tuple(std::string("6.0223\xB4" "10"), mantissa + ten, -(9 * 65536 + 294912)));
    }
  }
}
