// Functions, derivatives and evaluation bars at 18 pt (u = 1179, S/10 = 117900, S/20 = 58950)
// with the fake metrics (characters 9 px, 6 px at 12 pt), the derivatives also with the real
// fonts, whose d, x and 2 are as wide. The derivative positions are the rules worked by hand:
// gw = 9 px + 62u = 662922, d/dx is gw + 9 px = 1252746 wide.
#include "editor/layout_boxes.h"
#include "tests/editor/typeset_test_support.h"

using namespace typeset_test;

namespace {
constexpr Fixed kGw = 662922, kDx = 1252746, kU = 1179;
}

TEST_F(TypesetTest, FunctionsShowParenthesesNamedFunctionsDoNot) {
  port_.calls.clear();
  DrawFormula(Edit("function[f,x]")->root);
  EXPECT_EQ(port_.Chars(), "fx()");
  port_.calls.clear();
  DrawFormula(Edit("sin[x]")->root);
  EXPECT_EQ(port_.Chars(), "xsin");
  // f|_a: the bar 200u after f, from S/10 over the value's baseline to S/10 under f's top.
  FormulaEditor* e = Edit("substitution[f,a]");
  port_.calls.clear();
  DrawFormula(e->root);
  const TypesetBox &f = BoxAt(e->root, {0}), &a = BoxAt(e->root, {1});
  const Call move = port_.calls[port_.calls.size() - 3], line = port_.calls.back();
  EXPECT_EQ(std::make_tuple(move.op, move.h, move.v, line.op, line.v),
            std::make_tuple('M', FixedToPixels(Px(9) + 200 * kU), FixedToPixels(a.absoluteVertical - a.descent - 117900),
                            'l', FixedToPixels(f.absoluteVertical - BoxHeight(f) + 117900) - move.v));
}

TEST_F(TypesetTest, DerivativesSetTheirNumeratorLeftToRight) {
  for (const FontMetrics* metrics : {static_cast<const FontMetrics*>(&fake_), (const FontMetrics*)nullptr}) {
    TypesetGlobals().fontMetrics = metrics;
    // d²/dx²: the 2 at d/dx's middle + gw/2 + 62u, 124u + S/20 after the centred numerator d.
    FormulaEditor* e = Edit("optotal[x,2]");
    port_.calls.clear();
    DrawFormula(e->root);
    const Fixed numerator = kDx / 2 - kGw / 2 - 58950, order = kDx / 2 + kGw / 2 + 62 * kU;
    EXPECT_EQ(std::make_tuple(BoxAt(e->root, {1}).relativeHorizontal, port_.Drawn('d').at(1).h, e->root->box->width),
              std::make_tuple(order, FixedToPixels(numerator), order + Px(6)));
    EXPECT_EQ(order - (numerator + Px(9)), 124 * kU + 58950);
    // Applied to f: the d at the left edge, f right after its 9 px; with an order, the 2 right
    // after the d (moved left by half the denominator less gw/2, so at gw + 62u) and f the d's
    // and the 2's widths from the left edge, under the 2's last 124u.
    struct Case { const char* text; Fixed f; };
    for (const Case& c : {Case{"function[optotal[x],f]", Px(9)}, Case{"function[optotal[x,2],f]", Px(9) + Px(6)}}) {
      e = Edit(c.text);
      port_.calls.clear();
      DrawFormula(e->root);
      const TypesetBox &op = BoxAt(e->root, {0}), &f = BoxAt(e->root, {1});
      EXPECT_EQ(std::make_tuple(f.relativeHorizontal, port_.Drawn('d').at(1).h, f.absoluteVertical,
                                port_.Drawn('d').at(1).v, e->root->box->baselineFlag),
                std::make_tuple(c.f, 0, op.absoluteVertical - (Px(18) + Px(9) / 2 + 200 * kU + 65536),
                                FixedToPixels(f.absoluteVertical - f.descent), 0))
          << c.text;
    }
    EXPECT_EQ(BoxAt(Edit("function[optotal[x,2],f]")->root, {0, 1}).relativeHorizontal, kGw + 62 * kU);
    // Over two variables the numerator's glyph is centred; f follows it and the 2's width there.
    e = Edit("function[oppartial[x,2,y],f]");
    port_.calls.clear();
    DrawFormula(e->root);
    const Call partial = port_.Drawn(0xB6).back();  // the numerator's, drawn after the variables'
    const Fixed glyph = WidthOf(kSymbolSlot, 18, 0xB6);
    EXPECT_EQ(FixedToPixels(BoxAt(e->root, {1}).absoluteHorizontal - glyph - Px(6)), partial.h)
        << (metrics ? "fake" : "real");
  }
}
