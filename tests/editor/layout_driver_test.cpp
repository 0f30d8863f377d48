// The layout driver: the number pass (8 display digits), measure passes counted by a spy
// handler (the too-wide flags of a formula that fits again), invalidation, the caret bar by
// mode, and every refused allocation. Fake metrics at 18 pt: characters 9 px, ascent 18.0,
// descent 4.5.
#include <cmath>
#include <cstring>

#include "editor/atom_layout.h"
#include "editor/layout_handlers.h"
#include "editor/line_breaking.h"
#include "tests/editor/typeset_test_support.h"

using namespace typeset_test;

TEST_F(TypesetTest, NumberPassRewritesOnlyWhatDoesNotReadBack) {
  // A text short of its value's digits (1/3, the mantissa of 6.02214076e23) sets no truncated flag.
  struct Case { double value; const char* text; const char* after; int32_t mode; };
  const Case cases[] = {
      {1e25, "", "sn(1,25)", SelectionCaretAfter},  // the caret leaves the digits, stays on the node
      {2.5, "2.5", "2.5", SelectionDigits},          {0.5, "junk", "0.5", SelectionDigits},
      {1.0 / 3.0, "", "0.33333333", SelectionDigits},
      {6.02214076e23, "", "sn(6.0221408,23)", SelectionCaretAfter},
      {NAN, "NaN", "NaN", SelectionDigits},          {NAN, "", "prompt", SelectionCaretNode}};  // digits cleared
  for (const Case& c : cases) {
    FormulaEditor* e = Edit("x", 0);
    FreeExpression(e->root);
    e->root = e->caretNode = NewNumberNode(c.value);
    SetNumberText(e->root, c.text, std::strlen(c.text));
    e->selectionMode = SelectionDigits;
    for (int pass = 0; pass < 2; ++pass) {  // a settled number stays as it is
      InvalidateFormulaLayout();
      LayoutFormula();
      EXPECT_EQ(Dump(e->root), c.after) << c.text;
    }
    const ExprNode* shown = e->root->kind == KindSn ? e->root->children[0] : e->root;
    EXPECT_EQ(shown->kind == KindNum ? shown->value.number->moreDigits : 0, 0) << c.after;
    EXPECT_EQ(std::make_pair(e->caretNode, e->selectionMode), std::make_pair(e->root, c.mode)) << c.after;
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
    gMeasures = 0;
    e->widthLimit = s.limit;
    if (s.invalidate) InvalidateFormulaLayout();
    LayoutFormula();
    EXPECT_EQ(std::make_tuple(gMeasures, e->lineCount, e->root->box->tooWideFlag),
              std::make_tuple(s.measures, s.lines, uint8_t(s.lines > 1)));
  }
  EXPECT_EQ(RegisterLayoutHandler(LayoutHandler::Symbol, previous), CountingCharacter);
}

TEST_F(TypesetTest, InvalidationZeroesTheRootAndMissingBoxesInvalidate) {
  FormulaEditor* e = Edit("vector[x,y]");
  EXPECT_EQ(e->rootBaseline, Px(9) / 2);
  FreeNode(e->root->children[0]);
  SetChild(e->root, 0, NewNumberNode(2));  // new nodes come without a box
  ValidateFormulaBoxes();
  const bool stillValid = e->layoutValid;
  InvalidateFormulaLayout();
  EXPECT_EQ(std::make_tuple(stillValid, e->root->box->width, e->root->box->ascent, bool(e->root->children[0]->box)),
            std::make_tuple(false, 0, 0, true));
  LayoutFormula();
  EXPECT_EQ(e->root->children[1]->box->absoluteHorizontal, Px(9));
}

TEST_F(TypesetTest, CaretBarFollowsTheSelectionMode) {
  FormulaEditor* e = Edit("vector[x,string[\"\"]]");
  ExprNode *x = e->root->children[0], *empty = e->root->children[1];
  const Fixed bottom = Px(18) + Px(9) / 2;
  struct Case { ExprNode* node; int32_t mode; Fixed x, bottom, top; };
  const Case cases[] = {{x, SelectionCaretNode, Px(9) / 2, bottom, 0},
                        {x, SelectionCaretBefore, 0, bottom, 0},
                        {x, SelectionCaretAfter, Px(8), bottom, 0},
                        {empty, SelectionCaretAfter, Px(27 - 1 - 9), bottom - Px(1), 0},  // less an apostrophe
                        {x, SelectionChildRange, -1, -1, -1}};                          // untouched
  for (const Case& c : cases) {
    e->caretNode = c.node;
    e->selectionMode = c.mode;
    Fixed gx = -1, gb = -1, gt = -1;
    GetCaretBar(&gx, &gb, &gt);
    EXPECT_EQ(std::make_tuple(gx, gb, gt), std::make_tuple(c.x, c.bottom, c.top)) << c.mode;
  }
}

TEST_F(TypesetTest, EveryRefusedAllocationLeavesAValidEditor) {
  for (uint64_t n : {1, 2}) {  // the record, then its prompt (the record is given back)
    FailNodeAllocationAt(n);
    EXPECT_EQ(NewFormulaEditor(), nullptr);
  }
  FailNodeAllocationAt(0);
  SetOutOfMemoryFlag(false);
  // Wrappers, the sn node and boxes (node pools); the line table and candidates (counted heap).
  const std::string text = "equal[y,plus[times[plus[a,b],c],num[1e25,\"\"],d,e,f]]";
  FormulaEditor* reference = Edit(text, Px(120));
  ASSERT_GT(reference->lineCount, 1);
  for (int seam = 0; seam < 2; ++seam) {
    for (uint64_t n = 1;; ++n) {
      FormulaEditor* e = Edit(text, 0);
      e->widthLimit = Px(120);
      seam == 0 ? FailNodeAllocationAt(n) : FailAllocationAt(n);
      LayoutFormula();
      bool refused = (seam == 0 ? NodeAllocationAttempts() : CountedAllocationAttempts()) >= n;
      FailNodeAllocationAt(0);
      FailAllocationAt(0);
      SetOutOfMemoryFlag(false);
      const char* why = "";
      EXPECT_TRUE(CheckFormulaEditor(e, &why) && (!e->layoutValid || CheckLineTable(&why))) << n << ": " << why;
      InvalidateFormulaLayout();
      LayoutFormula();  // memory back: the layout made without refusals
      EXPECT_EQ(std::make_pair(Dump(e->root), e->lineCount),
                std::make_pair(Dump(reference->root), reference->lineCount));
      Drop(e);
      if (!refused) break;
    }
  }
}
