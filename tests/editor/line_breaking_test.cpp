// Line breaking with the fake metrics (each character 9 px, a line 22.5 px tall at 18 pt) and
// operators laid side by side: starts and tops worked by hand, the cases that must stay on one
// line, and the end of a formula that once gave an empty last line. The seeded layout fuzz
// checks the table's invariants over random trees and limits.
#include "editor/layout_handlers.h"
#include "editor/line_breaking.h"
#include "editor/operator_layout.h"
#include "tests/editor/typeset_test_support.h"

using namespace typeset_test;

namespace {
std::vector<Fixed> Starts(const FormulaEditor* e) {
  std::vector<Fixed> starts;
  for (int32_t i = 0; i < e->lineCount; ++i) starts.push_back(e->lineTable[i].start);
  return starts;
}
}  // namespace

TEST_F(TypesetTest, BreaksAfterWholeTermsNeverAfterTheLeftSide) {
  RegisterLayoutHandler(LayoutHandler::InfixOperator, nullptr);  // side by side until the next SetUp
  // y = a + ... + h is 81 px; terms end at 18, 27, ..., 81. Limit 30: break at 27 (the term
  // before the first edge past 30), then at 54.
  FormulaEditor* e = Edit("equal[y,plus[a,b,c,d,e,f,g,h]]", Px(30));
  EXPECT_EQ(Starts(e), (std::vector<Fixed>{0, Px(27), Px(54)}));
  const Fixed height = Px(18) + Px(9) / 2;
  EXPECT_EQ(std::make_tuple(e->lineTable[1].top, e->lineTable[2].top, e->widestLine),
            std::make_tuple(height, 2 * height, Px(27)));
  // y = a + LONG + b (edges 18, 54, 63), limit 20: after "a"; then line 2 holds only LONG, so
  // it breaks after LONG, wider than the limit.
  e = Edit("equal[y,plus[a,string[\"LONG\"],b]]", Px(20));
  EXPECT_EQ(Starts(e), (std::vector<Fixed>{0, Px(18), Px(54)}));
  EXPECT_TRUE(CheckLineTable());
  // Limit 15: the first edge past it is the first candidate's, so the line stays whole.
  EXPECT_EQ(Edit("equal[y,plus[a,b,c]]", Px(15))->lineCount, 1);
}

TEST_F(TypesetTest, WhatCannotOrNeedNotBreakKeepsOneLine) {
  struct Case { const char* text; Fixed limit; };
  const Case cases[] = {{"plus[a,b]", Px(100)},            // narrow
                        {"x", Px(1)},                      // one symbol wider than the limit
                        {"sum[plus[a,b,c,d]]", Px(10)},    // no breaks inside a big operator
                        {"equal[y,matrix[1,1,a]]", Px(5)}};  // nor at a matrix side of an equation
  for (const Case& c : cases) {
    FormulaEditor* e = Edit(c.text, c.limit);
    EXPECT_EQ(std::make_pair(e->lineCount, e->widestLine), std::make_pair(1, e->root->box->width)) << c.text;
  }
}

TEST_F(TypesetTest, NoLineBreaksAtTheEndOfTheFormula) {
  RegisterLayoutHandler(LayoutHandler::InfixOperator, nullptr);
  // y = a + LONG (9 + 9 + 72 px), limit 30: line 2 starts at 18 and the only edge past 48 is
  // the formula's end; breaking there would leave an empty third line.
  FormulaEditor* e = Edit("equal[y,plus[a,string[\"abcdefgh\"]]]", Px(30));
  EXPECT_EQ(Starts(e), (std::vector<Fixed>{0, Px(18)}));
  EXPECT_EQ(e->widestLine, Px(72));
  EXPECT_TRUE(CheckLineTable());
}

// Over every width limit from 20 px to 300 px: no line starts inside a number in scientific
// notation (its mantissa and power of ten stay together), and none starts with the closing
// parenthesis of an operand of a fraction set in one line.
TEST_F(TypesetTest, NoBreakInsideScientificNumbersOrBeforeAClosingParenthesis) {
  const char* const texts[] = {"plus[a,b,sn[num[6.0221408,\"6.0221408\"],num[23,\"23\"]],c,d]",
                               "equal[y,plus[a,over[plus[b,c,d,e,f,g],plus[h,i]],j]]",
                               "plus[a,power[e,plus[b,c,d,e,f,g]],h]"};
  for (const char* text : texts) {
    for (Fixed limit = Px(20); limit <= Px(300); limit += Px(1)) {
      FormulaEditor* e = Edit(text, limit);
      TreeCursor cursor(e->root, WalkOrder::kPreOrder);
      for (ExprNode* n = e->root; n; n = cursor.Next()) {
        const Fixed left = n->box->absoluteHorizontal, right = left + n->box->width;
        const Fixed closing = OneLineClosingRoom(n);
        for (int32_t i = 1; i < e->lineCount; ++i) {
          const Fixed s = e->lineTable[i].start;
          EXPECT_FALSE(n->kind == KindSn && s > left && s < right) << text << " at " << limit;
          EXPECT_FALSE(closing > 0 && s >= right && s < right + closing) << text << " at " << limit;
        }
      }
      Drop(e);
    }
  }
}
