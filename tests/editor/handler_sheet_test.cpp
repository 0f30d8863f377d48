// A sheet of brackets, braces, radicals, big operators, matrices and derivatives drawn with the
// real fonts at 9, 12, 18 and 24 pt, written to typeset_handlers_sheet.png in the test's working
// folder (under build/) for inspection. Checked by structure: every formula leaves ink, and
// none outside its own cell of the sheet (in a band of rows round the cell).
#include "platform/draw/png_io.h"
#include "tests/editor/typeset_test_support.h"
#include "tests/platform/draw_test_support.h"

using namespace typeset_test;

TEST_F(TypesetTest, HandlerSheetDrawsEachFormulaInItsCell) {
  TypesetGlobals().fontMetrics = nullptr;
  TypesetGlobals().port = nullptr;
  const char* const formulas[] = {
      "id[over[1,plus[x,1]]]", "id[over[over[a,b],plus[c,d]]]", "choice[n,k]", "lparen[atop[x,y,z]]",
      "branch[if[x,greaterthan[x,0]],if[minus[x],leq[x,0]]]", "abs[over[a,b]]", "sqrt[over[1,plus[x,1]]]",
      "sqrt[x,3]", "sum[power[x,i],equal[i,1],n]", "prod[a,equal[k,0]]", "oint[f]", "bigcup[A,equal[i,1],n]",
      "integral[f,x,0,1]", "matrix[2,2,a,b,c,d]", "matrix[3,1,x,over[1,y],z]", "function[optotal[x],f]",
      "function[oppartial[x,2],f]", "equal[oppartial[x,2,y],optotal[t]]"};
  const int32_t sizes[] = {9, 12, 18, 24}, cellWidth = 180, cellHeight = 150, columns = 6, width = columns * cellWidth;
  const int32_t height = (int32_t(std::size(formulas)) + columns - 1) / columns * 4 * cellHeight;
  draw_test::Canvas canvas(width, height);
  for (int32_t s = 0; s < 4; ++s) {
    const int32_t p = sizes[s] << 16, style[kScriptLevelCount] = {p * 4 / 3, p * 4 / 3, p, p * 2 / 3, p / 2, p / 2};
    for (int32_t f = 0; f < int32_t(std::size(formulas)); ++f) {
      const int32_t left = f % columns * cellWidth, top = (f / columns * 4 + s) * cellHeight;
      FormulaEditor* e = Edit(formulas[f], 0);
      e->style = style;
      e->frame = PixelRect{int16_t(top + 20), int16_t(left + 20), 0, 0};
      SetCurrentFormulaEditor(e, nullptr);
      LayoutFormula();
      // What the drawing changes in a band of rows round the cell, the whole sheet wide.
      const int32_t from = std::max(top - 40, 0), to = std::min(top + cellHeight + 40, height);
      std::vector<uint32_t> before;
      for (int32_t v = from; v < to; ++v)
        for (int32_t h = 0; h < width; ++h) before.push_back(canvas.At(h, v));
      DrawFormula(e->root);
      int32_t ink = 0;
      for (int32_t v = from, i = 0; v < to; ++v) {
        for (int32_t h = 0; h < width; ++h, ++i) {
          if (canvas.At(h, v) == before[size_t(i)]) continue;
          EXPECT_TRUE(h >= left && h < left + cellWidth && v >= top && v < top + cellHeight)
              << formulas[f] << " at " << sizes[s] << " pt: " << h << "," << v;
          ++ink;
        }
      }
      EXPECT_GT(ink, 20) << formulas[f] << " at " << sizes[s] << " pt";
      Drop(e);
    }
  }
  EXPECT_TRUE(WritePortPng("typeset_handlers_sheet.png", canvas.gw(), false));
}
