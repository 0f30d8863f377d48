// Operator handlers, each case run with the fake metrics and with the real fonts at 18 pt (u =
// 1179 raw): the dot rule of products, one sign in a + (-b), equal spacing by place, list gaps,
// a lowered log base, and x!!. Expected positions are the handlers' rules applied by hand to
// the widths the metrics give.
#include "editor/layout_boxes.h"
#include "tests/editor/typeset_test_support.h"

using namespace typeset_test;

namespace {
constexpr Fixed kU = 1179;  // u at 18 pt
constexpr uint8_t kDot = 0xD7;
}  // namespace

TEST_F(TypesetTest, ProductsShowTheirDotOnlyWhereTheRuleSays) {
  struct Case { const char* text; int dots; };
  const Case cases[] = {{"times[2,3]", 1},          {"times[2,power[3,2]]", 1}, {"times[2,x]", 0},
                        {"times[x,y]", 0},          {"times[sin[x],y]", 1},     {"times[sqrt[x],y,z]", 1},
                        {"times[x,prompt[]]", 1},   {"times[2,minus[3]]", 0}};  // the minus gets parentheses
  for (const FontMetrics* metrics : {static_cast<const FontMetrics*>(&fake_), (const FontMetrics*)nullptr}) {
    TypesetGlobals().fontMetrics = metrics;
    for (const Case& c : cases) {
      FormulaEditor* e = Edit(c.text);
      port_.calls.clear();
      DrawFormula(e->root);
      Fixed width = (e->root->arity - 1) * 59 * kU + c.dots * WidthOf(kSymbolSlot, 18, kDot);
      for (int i = 0; i < e->root->arity; ++i) width += BoxAt(e->root, {i}).width;
      EXPECT_EQ(std::make_pair(int(port_.Drawn(kDot).size()), e->root->box->width), std::make_pair(c.dots, width))
          << c.text << (metrics ? " fake" : " real");
    }
  }
}

TEST_F(TypesetTest, SumsRelationsListsAndLogsSpaceTheirOperands) {
  for (const FontMetrics* metrics : {static_cast<const FontMetrics*>(&fake_), (const FontMetrics*)nullptr}) {
    TypesetGlobals().fontMetrics = metrics;
    const Fixed x = WidthOf(kTextSlot, 18, 'y'), equal = WidthOf(kTextSlot, 18, '=');
    // a + (-b): the minus steps back over the plus sign's room, leaving 250u; no "+" is drawn.
    FormulaEditor* e = Edit("plus[y,minus[y],y]");
    port_.calls.clear();
    DrawFormula(e->root);
    EXPECT_EQ(std::make_tuple(BoxAt(e->root, {1}).relativeHorizontal, port_.Drawn('+').size(), port_.Drawn('-').size()),
              std::make_tuple(x + 250 * kU, size_t(1), size_t(1)));
    // y = y: 1000u round "=" at the root and directly in a list or atop, 666u elsewhere.
    struct Case { const char* text; std::initializer_list<int> path; Fixed at; };
    const Case cases[] = {{"equal[y,y]", {1}, x + equal + 1000 * kU},
                          {"list[equal[y,y],y]", {0, 1}, x + equal + 1000 * kU},
                          {"atop[equal[y,y]]", {0, 1}, x + equal + 1000 * kU},
                          {"id[equal[y,y]]", {0, 1}, x + equal + 666 * kU},
                          {"list[y,y]", {1}, x + 2500 * kU}};
    for (const Case& c : cases) EXPECT_EQ(BoxAt(Edit(c.text)->root, c.path).relativeHorizontal, c.at) << c.text;
    port_.calls.clear();
    DrawFormula(Edit("list[y,y]")->root);
    EXPECT_EQ(port_.Chars(), "yy");
    // log_2 y: the base 100u after "log", its top SubscriptDrop(S, h) over the baseline; y after it.
    e = Edit("log[y,2]");
    const TypesetBox &base = BoxAt(e->root, {1}), &root = *e->root->box;
    SetTypesetSize(18 << 16);
    const Fixed drop = SubscriptDrop(18 << 16, BoxHeight(base));
    SetTypesetFont(kTextSlot);
    const Fixed log = TypesetTextWidth("log");
    EXPECT_EQ(std::make_tuple(base.relativeHorizontal, BoxAt(e->root, {0}).relativeHorizontal,
                              root.absoluteVertical - root.descent - (base.absoluteVertical - BoxHeight(base))),
              std::make_tuple(log + 100 * kU, log + 100 * kU + base.width, drop));
    // x!! appends two glyphs.
    EXPECT_EQ(Edit("fact[fact[y]]")->root->box->width, x + 2 * WidthOf(kTextSlot, 18, '!'));
  }
}
