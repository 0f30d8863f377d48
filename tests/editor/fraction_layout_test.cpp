// Fractions, powers and scientific notation with the real fonts at 18 pt (u = 1179, t = 1.0,
// digits 9 px): the built-up 1/2 golden worked by hand from those units, inline and built-up
// exponents, sin² x and x₁² (with the fake metrics too), and what an sn node draws in a
// narrow and a too-wide formula.
#include "editor/operator_layout.h"
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

// Fractions and powers set in one line (too wide), fake metrics at 18 pt: 9 px a character,
// "(" included, u = 1179. A compound operand is put in parentheses with an id's room round it
// (263u + pw before, 213u + pw after; "(" 167u in, ")" 46u after the content); atoms,
// parenthesised groups and kinds that close themselves are not.
TEST_F(TypesetTest, OneLineFractionsAndPowersKeepTheirGrouping) {
  struct Case { const char* operand; bool grouped; };
  const Case cases[] = {{"plus[a,b]", true},   {"times[a,b]", true},      {"sin[x]", true},   {"minus[a]", true},
                        {"sum[x]", true},      {"over[a,b]", true},       {"power[a,b]", true},  // flattened too
                        {"x", false},          {"num[2,\"2\"]", false},   {"id[plus[a,b]]", false},
                        {"sqrt[x]", false},    {"function[f,x]", false},  {"abs[x]", false}};
  for (const Case& c : cases) {
    for (const char* form : {"over[%,y]", "power[y,%]"}) {
      std::string text = form;
      text.replace(text.find('%'), 1, c.operand);
      const int32_t i = text[0] == 'o' ? 0 : 1;
      EXPECT_EQ(NeedsOneLineParentheses(Edit(text, Px(1))->root, i), c.grouped) << text;
      EXPECT_FALSE(NeedsOneLineParentheses(Edit(text)->root, i)) << text << " built up";
    }
  }
  // sqrt((b+c+d+e)/(f+g)), not broken inside the radical: the numerator (63 px + 1500u of plus
  // signs' room) is wider than 60 px.
  FormulaEditor* e = Edit("sqrt[over[plus[b,c,d,e],plus[f,g]]]", Px(60));
  const ExprNode* over = e->root->children[0];
  const TypesetBox &numerator = BoxAt(over, {0}), &denominator = BoxAt(over, {1});
  const Fixed before = 263 * 1179 + Px(9), after = 213 * 1179 + Px(9), slash = Px(9) + 500 * 1179;
  EXPECT_EQ(std::make_tuple(numerator.relativeHorizontal, denominator.relativeHorizontal, over->box->width),
            std::make_tuple(before, before + numerator.width + after + slash + before,
                            2 * (before + after) + numerator.width + slash + denominator.width));
  port_.calls.clear();
  DrawFormula(e->root);
  const std::vector<Call> open = port_.Drawn('('), close = port_.Drawn(')');
  ASSERT_EQ(std::make_pair(open.size(), close.size()), std::make_pair(size_t(2), size_t(2)));
  EXPECT_EQ(std::make_tuple(open[0].h, close[0].h, open[1].h, port_.Drawn(0xA4).size()),
            std::make_tuple(FixedToPixels(over->box->absoluteHorizontal + 167 * 1179),
                            FixedToPixels(numerator.absoluteHorizontal + numerator.width + 46 * 1179),
                            FixedToPixels(denominator.absoluteHorizontal - before + 167 * 1179), size_t(1)));
  // 2e^(a+b+c+d): the exponent in parentheses, the base not.
  e = Edit("times[2,power[e,plus[a,b,c,d]]]", Px(40));
  const ExprNode* power = e->root->children[1];
  EXPECT_EQ(std::make_pair(BoxAt(power, {0}).relativeHorizontal, BoxAt(power, {1}).relativeHorizontal),
            std::make_pair(0, Px(9) + WidthOf(kTextSlot, 18, '^') + 500 * 1179 + before));
}

// A fraction measured in one line under a kind that lines are never broken inside (a radical)
// is drawn in one line too: the slash and its parentheses, no bar.
TEST_F(TypesetTest, OneLineFormsAreDrawnAsMeasuredUnderAnUnbreakableParent) {
  FormulaEditor* e = Edit("sqrt[over[plus[a,b,c,d],e]]", Px(40));
  ASSERT_TRUE(BoxAt(e->root, {0}).tooWideFlag);
  port_.calls.clear();
  DrawFormula(e->root);
  int32_t bars = 0;
  for (const Call& c : port_.calls) bars += c.op == 'l' && c.v == 0 && c.h > 0;  // the radical's is leftwards
  EXPECT_EQ(std::make_tuple(port_.Drawn(0xA4).size(), port_.Drawn('(').size(), bars), std::make_tuple(size_t(1), size_t(1), 0));
}
