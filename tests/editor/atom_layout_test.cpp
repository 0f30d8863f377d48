// Atoms and the handler table: boxes with the real fonts ("123" at 18 pt: three 500-unit digits
// of Nimbus Roman) and with the fake metrics, what each atom draws and in which slot and face,
// the prompt hidden under a pending caret, and the side-by-side layout of kinds without a
// handler of their own.
#include "editor/atom_layout.h"
#include "editor/layout_handlers.h"
#include "editor/typeset_primitives.h"
#include "tests/editor/typeset_test_support.h"

using namespace typeset_test;

TEST_F(TypesetTest, NumberBoxWithTheRealFonts) {
  UsePlatformFonts();
  FormulaEditor* e = Edit("num[123,\"123\"]");
  const TypesetBox& b = *e->root->box;
  EXPECT_EQ(std::make_tuple(b.width, b.ascent, b.descent, b.baselineFlag),
            std::make_tuple(Px(27), 1179648, 294912, 1));
}

TEST_F(TypesetTest, AtomsDrawWhatTheyMeasure) {
  const int16_t symbol = TypesetState().fontSlots[kSymbolSlot], text = TypesetState().fontSlots[kTextSlot];
  struct Case { const char* formula; const char* drawn; int16_t font; int16_t face; int32_t width; };
  const Case cases[] = {
      {"string[\"\"]", "\"\"", text, 32, 18},
      {"string[\"a\"]", "'a", text, 32, 18},
      {"string[\"ab\"]", "ab", text, 32, 18},
      {"string[\"1\"]", "1", text, 32, 9},  // a digit takes no apostrophe
      {"dummy[alpha]", "a", symbol, 1, 9},  // a Greek dummy: bold in the Symbol slot
      {"dummy[t]", "t", text, 1, 9},
      {"char[pi]", "p", symbol, 0, 9},
      {"prompt[]", "?", text, 1, 9},
  };
  for (const Case& c : cases) {
    FormulaEditor* e = Edit(c.formula);
    port_.calls.clear();
    DrawFormula(e->root);
    EXPECT_EQ(port_.Chars(), c.drawn) << c.formula;
    EXPECT_EQ(e->root->box->width, Px(c.width)) << c.formula;
    for (const Call& call : port_.calls)
      if (call.op == 'C') {
        EXPECT_EQ(std::make_pair(call.text.font, call.text.face), std::make_pair(c.font, c.face)) << c.formula;
      }
  }
  // A primed coordinate shows its letter and a prime (the symbol id is not a character code).
  FormulaEditor* primed = Edit("x", 0);
  primed->root->value.symbol = 0x7078;
  InvalidateFormulaLayout();
  LayoutFormula();
  port_.calls.clear();
  DrawFormula(primed->root);
  EXPECT_EQ(std::make_pair(port_.Chars(), primed->root->box->width), std::make_pair(std::string("x'"), Px(18)));
}

TEST_F(TypesetTest, TruncatedNumberEndsWithTheEllipsis) {
  FormulaEditor* e = Edit("num[0.1,\"0.1\"]", 0);
  e->root->value.number->value = 1.0 / 3.0;
  LayoutFormula();
  EXPECT_EQ(e->root->box->width, Px(9 * 11));  // "0.33333333" and the ellipsis
  port_.calls.clear();
  DrawFormula(e->root);
  const Call& last = port_.calls.back();
  EXPECT_EQ(std::make_tuple(port_.Chars(), last.h, last.text.font),
            std::make_tuple(std::string("0.33333333\xBC"), 90, TypesetState().fontSlots[kSymbolSlot]));
}

TEST_F(TypesetTest, PendingPromptCaretHidesThePromptButKeepsItsBox) {
  FormulaEditor* e = Edit("plus[a,prompt[]]");
  e->caretNode = e->root->children[1];
  TypesettingGlobals().promptCaretPending = true;
  port_.calls.clear();
  DrawFormula(e->root);
  EXPECT_EQ(port_.Chars(), "a");
  EXPECT_EQ(e->caretNode->box->width, Px(9));
}

TEST_F(TypesetTest, EveryKindHasAHandlerAndKindsWithoutOneLieSideBySide) {
  for (uint32_t kind = kFirstNodeKind; kind <= kLastNodeKind; ++kind) EXPECT_NE(LayoutHandlerForKind(kind), nullptr);
  EXPECT_EQ(LayoutHandlerForKind(KindDerivativePartial), LayoutSideBySide);
  for (uint32_t kind : {KindVector, KindNorm, KindLim, KindChem, KindBox, KindHat})
    EXPECT_EQ(LayoutHandlerForKind(kind), LayoutSideBySide) << kind;
  EXPECT_EQ(LayoutHandlerForKind(KindNum), LayoutNumber);
  // vector(a, b): the children in a row from the node's left edge, the node as wide as both.
  FormulaEditor* e = Edit("vector[a,string[\"bc\"]]");
  EXPECT_EQ(std::make_tuple(e->root->box->width, e->root->children[1]->box->absoluteHorizontal),
            std::make_tuple(Px(27), Px(9)));
  port_.calls.clear();
  DrawFormula(e->root);
  EXPECT_EQ(port_.Chars(), "abc");
}
