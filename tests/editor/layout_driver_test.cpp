// The layout driver: the number pass (goldens from the number formats: 8 display digits), the
// measure passes counted by a spy handler, the too-wide flags of a formula that fits again,
// boxes made and zeroed by invalidation, and the caret bar by mode. Fake metrics at 18 pt:
// every character 9 px, ascent 18.0, descent 4.5.
#include <cmath>
#include <cstring>

#include "editor/layout_handlers.h"
#include "editor/atom_layout.h"
#include "tests/editor/typeset_test_support.h"

using namespace typeset_test;

TEST_F(TypesetTest, NumberPassRewritesOnlyWhatDoesNotReadBack) {
  struct Case { double value; const char* text; const char* after; int truncated; };
  const Case cases[] = {
      {1e25, "", "sn(1,25)", 0},
      {2.5, "2.5", "2.5", 0},
      {0.5, "junk", "0.5", 0},
      {1.0 / 3.0, "", "0.33333333", 1},
      {6.02214076e23, "", "sn(6.0221408,23)", 1},
      {NAN, "NaN", "NaN", 0},
      {NAN, "", "prompt", 0},  // every digit cleared: a prompt, not "NaN"
  };
  for (const Case& c : cases) {
    FormulaEditor* e = Edit("x", 0);
    ExprNode* number = NewNumberNode(c.value);
    SetNumberText(number, c.text, std::strlen(c.text));
    FreeExpression(e->root);
    e->root = e->caretNode = number;
    e->selectionMode = SelectionDigits;
    for (int pass = 0; pass < 2; ++pass) {  // a settled number stays as it is
      InvalidateFormulaLayout();
      LayoutFormula();
      EXPECT_EQ(Dump(e->root), c.after) << c.text;
    }
    const ExprNode* shown = e->root->kind == KindSn ? e->root->children[0] : e->root;
    if (shown->kind == KindNum) {
      EXPECT_EQ(shown->value.number->moreDigits, c.truncated) << c.after;
    }
    EXPECT_EQ(e->caretNode, e->root);
    const int32_t mode = e->root->kind == KindSn ? SelectionCaretAfter
                         : e->root->kind == KindNum ? SelectionDigits : SelectionCaretNode;
    EXPECT_EQ(e->selectionMode, mode) << c.after;
  }
}

namespace {
int gMeasures = 0;
void CountingCharacter(ExprNode* node, int32_t mode) {
  gMeasures += mode == kLayoutMeasure;
  LayoutCharacter(node, mode);
}
}  // namespace

TEST_F(TypesetTest, MeasuresOnceWhenNarrowTwiceWhenTooWideAndNotWhenValid) {
  LayoutHandlerFn previous = RegisterLayoutHandler(LayoutHandler::Symbol, CountingCharacter);
  struct Step { Fixed limit; bool invalidate; int measures; int lines; };
  const Step steps[] = {{Px(100), false, 2, 1},   // x and y measured once
                        {Px(100), false, 0, 1},   // valid: no work
                        {Px(10), false, 4, 2},    // only the limit changed; too wide: twice
                        {Px(10), true, 4, 2},
                        {Px(100), false, 2, 1}};  // fits again: flags cleared, one pass
  FormulaEditor* e = Edit("plus[x,y]", 0);
  for (const Step& s : steps) {
    e->widthLimit = s.limit;
    if (s.invalidate) InvalidateFormulaLayout();
    LayoutFormula();
    EXPECT_EQ(std::make_pair(gMeasures, e->lineCount), std::make_pair(s.measures, s.lines)) << s.limit;
    EXPECT_EQ(e->root->box->tooWideFlag, s.lines > 1);
    gMeasures = 0;
  }
  EXPECT_EQ(RegisterLayoutHandler(LayoutHandler::Symbol, previous), CountingCharacter);
}

TEST_F(TypesetTest, InvalidationZeroesTheRootAndMissingBoxesInvalidate) {
  FormulaEditor* e = Edit("plus[x,y]");
  EXPECT_EQ(std::make_tuple(e->root->box->width, e->root->box->ascent, e->rootBaseline),
            std::make_tuple(Px(18), Px(18), Px(9) / 2));
  ExprNode* y = e->root->children[1];
  FreeNode(e->root->children[0]);
  e->root->children[0] = NewNumberNode(2);  // new nodes come without a box
  e->root->children[0]->parent = e->root;
  ValidateFormulaBoxes();
  EXPECT_FALSE(e->layoutValid);
  e->layoutValid = 1;
  InvalidateFormulaLayout();
  EXPECT_EQ(std::make_tuple(e->layoutValid, e->root->box->width, e->root->box->ascent), std::make_tuple(0, 0, 0));
  EXPECT_NE(e->root->children[0]->box, nullptr);
  LayoutFormula();
  EXPECT_EQ(y->box->absoluteHorizontal, Px(9));
}

TEST_F(TypesetTest, CaretBarFollowsTheSelectionMode) {
  FormulaEditor* e = Edit("plus[x,string[\"\"]]");
  ExprNode* x = e->root->children[0];
  ExprNode* empty = e->root->children[1];
  const Fixed bottom = Px(18) + Px(9) / 2, top = 0;
  struct Case { ExprNode* node; int32_t mode; Fixed x, bottom; };
  const Case cases[] = {
      {x, SelectionCaretNode, Px(9) / 2, bottom},
      {x, SelectionCaretBefore, 0, bottom},
      {x, SelectionCaretAfter, Px(8), bottom},
      {empty, SelectionCaretAfter, Px(27) - Px(1) - Px(9), bottom - Px(1)},  // less an apostrophe
      {x, SelectionChildRange, -1, -1},                                     // untouched
  };
  for (const Case& c : cases) {
    e->caretNode = c.node;
    e->selectionMode = c.mode;
    Fixed gx = -1, gb = -1, gt = -1;
    GetCaretBar(&gx, &gb, &gt);
    EXPECT_EQ(std::make_tuple(gx, gb, gt), std::make_tuple(c.x, c.bottom, c.x == -1 ? -1 : top)) << c.mode;
  }
}
