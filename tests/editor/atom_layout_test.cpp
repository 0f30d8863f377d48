// Atoms and the handler table: a number box with the real fonts ("123" at 18 pt: three 500-unit
// Nimbus Roman digits), what each atom draws, in which font and face and how wide (fake
// metrics: 9 px a character), the side-by-side layout of kinds without a handler, prefix boxes.
#include <cstring>

#include "editor/atom_layout.h"
#include "editor/layout_handlers.h"
#include "editor/typeset_primitives.h"
#include "tests/editor/typeset_test_support.h"

using namespace typeset_test;

TEST_F(TypesetTest, NumberBoxWithTheRealFonts) {
  TypesetGlobals().fontMetrics = nullptr;
  const TypesetBox& b = *Edit("num[123,\"123\"]")->root->box;
  EXPECT_EQ(std::make_tuple(b.width, b.ascent, b.descent, b.baselineFlag), std::make_tuple(Px(27), 1179648, 294912, 1));
}

TEST_F(TypesetTest, AtomsDrawWhatTheyMeasure) {
  const int16_t symbol = TypesetGlobals().fontSlots[kSymbolSlot], text = TypesetGlobals().fontSlots[kTextSlot];
  struct Case { const char* formula; const char* drawn; int16_t font, face; int32_t width, lastAt; };
  const Case cases[] = {
      {"string[\"\"]", "\"\"", text, 32, 18, 9},        {"string[\"a\"]", "'a", text, 32, 18, 9},
      {"string[\"ab\"]", "ab", text, 32, 18, 9},        {"string[\"1\"]", "1", text, 32, 9, 0},  // no apostrophe
      {"dummy[alpha]", "a", symbol, 1, 9, 0},           {"dummy[t]", "t", text, 1, 9, 0},  // dummies bold
      {"char[pi]", "p", symbol, 0, 9, 0},               {"prompt[]", "?", text, 1, 9, 0},
      {"vector[x,char[x]]", "xx'", text, 0, 27, 18}};  // x x': a primed coordinate shows its prime
  for (const Case& c : cases) {
    FormulaEditor* e = Edit(c.formula);
    if (e->root->kind == KindVector) e->root->children[1]->value.symbol = 0x7078;
    InvalidateFormulaLayout();
    LayoutFormula();
    port_.calls.clear();
    DrawFormula(e->root);
    const Call& first = port_.calls[1];  // after the move to the baseline point
    EXPECT_EQ(std::make_tuple(port_.Chars(), first.text.font, first.text.face, e->root->box->width,
                              port_.calls.back().h),
              std::make_tuple(std::string(c.drawn), c.font, c.face, Px(c.width), c.lastAt))
        << c.formula;
  }
}

TEST_F(TypesetTest, OnlyATruncatedNumberShowsAnEllipsisAndNeverAfterItsExponent) {
  // Texts that show fewer digits than their values hold (1/3, pi) draw as they are, and so does a
  // text that carries its own exponent and reads back as the value: the layout never sets the
  // flag. A number flagged truncated keeps the flag through layout, is wider by the ellipsis, and
  // ends its digits with it: at the right end, or before an exponent.
  struct Case { double value; const char* text; uint8_t truncated; const char* drawn; int32_t width, ellipsisAt; };
  const Case cases[] = {{1.0 / 3.0, "0.33333333", 0, "0.33333333", 90, -1},
                        {3.14159265358979, "3.1415927", 0, "3.1415927", 81, -1},
                        {123456790000.0, "1.2345679e+11", 0, "1.2345679e+11", 117, -1},
                        {1.0 / 3.0, "0.33333333", 1, "0.33333333\xBC", 99, 90},
                        {123456790000.0, "1.2345679e+11", 1, "1.2345679\xBC" "e+11", 126, 81},
                        {2.5e-7, "2.5E-7", 1, "2.5\xBC" "E-7", 63, 27}};
  for (const Case& c : cases) {
    FormulaEditor* e = Edit("x", 0);
    FreeExpression(e->root);
    e->root = e->caretNode = NewNumberNode(c.value);
    SetNumberText(e->root, c.text, std::strlen(c.text));
    e->root->value.number->moreDigits = c.truncated;
    InvalidateFormulaLayout();
    LayoutFormula();
    port_.calls.clear();
    DrawFormula(e->root);
    const std::vector<Call> ellipsis = port_.Drawn(0xBC);
    EXPECT_EQ(std::make_tuple(Dump(e->root), e->root->value.number->moreDigits, port_.Chars(), e->root->box->width,
                              ellipsis.empty() ? -1 : ellipsis[0].h),
              std::make_tuple(std::string(c.text), c.truncated, std::string(c.drawn), Px(c.width), c.ellipsisAt))
        << c.text;
  }
}

TEST_F(TypesetTest, PendingPromptCaretHidesThePromptButKeepsItsBox) {
  FormulaEditor* e = Edit("vector[a,prompt[]]");
  e->caretNode = e->root->children[1];
  TypesettingGlobals().promptCaretPending = true;
  DrawFormula(e->root);
  EXPECT_EQ(std::make_pair(port_.Chars(), e->caretNode->box->width), std::make_pair(std::string("a"), Px(9)));
}

TEST_F(TypesetTest, EveryKindHasAHandlerAndKindsWithoutOneLieSideBySide) {
  for (uint32_t kind = kFirstNodeKind; kind <= kLastNodeKind; ++kind) EXPECT_NE(LayoutHandlerForKind(kind), nullptr);
  for (uint32_t kind : {uint32_t(KindDerivativePartial), uint32_t(KindVector), uint32_t(KindNorm), uint32_t(KindLim),
                        uint32_t(KindChem), uint32_t(KindBox), uint32_t(KindHat)})
    EXPECT_EQ(LayoutHandlerForKind(kind), LayoutSideBySide) << kind;
  EXPECT_EQ(LayoutHandlerForKind(KindNum), LayoutNumber);
  // vector(a, "bc"): the children in a row from the node's left edge, nothing drawn of its own.
  FormulaEditor* e = Edit("vector[a,string[\"bc\"]]");
  DrawFormula(e->root);
  EXPECT_EQ(std::make_tuple(e->root->box->width, e->root->children[1]->box->absoluteHorizontal, port_.Chars()),
            std::make_tuple(Px(27), Px(9), std::string("abc")));
}

TEST_F(TypesetTest, PrefixBoxesAndBaselineMetrics) {
  // not and minus before vector() (descent 0, ascent S): after the 9 px "not" sign the box keeps
  // at least S/4 (4.5 px) of descent; after the sign's 9 px + 150u the tight box keeps 0.
  const TypesetBox& box = *Edit("not[vector[]]")->root->box;
  EXPECT_EQ(std::make_tuple(box.width, box.descent, box.ascent), std::make_tuple(Px(9), Px(9) / 2, Px(18)));
  const TypesetBox& tight = *Edit("minus[vector[]]")->root->box;
  EXPECT_EQ(std::make_tuple(tight.width, tight.descent, tight.ascent), std::make_tuple(Px(9) + 150 * 1179, 0, Px(18)));
  // A box on the math axis (a = 308736 at 18 pt) seen from the baseline.
  TypesetBox axis{};
  axis.descent = axis.ascent = Px(10);
  SetTypesetSize(18 << 16);
  EXPECT_EQ(std::make_pair(ChildBaselineMetrics(axis).descent, ChildBaselineMetrics(axis).ascent),
            std::make_pair(Px(10) - 308736, Px(10) + 308736));
}
