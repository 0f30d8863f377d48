// A composite formula drawn with the real fonts into an offscreen buffer and written to
// typeset_composite.png in the test's working folder (under build/) for inspection. Checked by
// structure: two display lines, ink on both, none outside the formula's rectangle (±1 px), and
// a caret drawn twice in xor leaves the buffer as it was.
#include "editor/line_mapping.h"
#include "editor/typeset_primitives.h"
#include "platform/draw/png_io.h"
#include "platform/draw/shapes.h"
#include "tests/editor/typeset_test_support.h"
#include "tests/platform/draw_test_support.h"

using namespace typeset_test;

TEST_F(TypesetTest, CompositeFormulaDrawsInsideItsLines) {
  TypesetGlobals().fontMetrics = nullptr;
  TypesetGlobals().port = nullptr;
  const std::string terms = "over[1,2],power[x,2],times[a,b],sqrt[y],power[e,minus[t]],over[alpha,beta],"
                            "times[3,power[z,3]],sin[theta],string[\"ab\"],minus[4]";
  FormulaEditor* e = Edit("equal[y,plus[" + terms + "]]", 0);
  LayoutFormula();
  const Fixed oneLine = e->root->box->width;
  e->widthLimit = oneLine / 10 * 6;
  e->frame = PixelRect{10, 10, 0, 0};
  SetCurrentFormulaEditor(e, nullptr);
  LayoutFormula();
  ASSERT_EQ(e->lineCount, 2);
  const int32_t lineHeight = FixedToPixels(e->lineTable[1].top), wide = FixedToPixels(e->widestLine) + 1;
  draw_test::Canvas canvas(wide + 20, 2 * lineHeight + 20);
  DrawFormula(e->root);
  EXPECT_TRUE(WritePortPng("typeset_composite.png", canvas.gw(), false));
  int32_t inkPerLine[2] = {0, 0};
  for (auto [h, v] : canvas.Where(draw_test::kWhitePixel, false)) {
    EXPECT_TRUE(h >= 9 && h <= 10 + wide && v >= 9 && v <= 10 + 2 * lineHeight) << h << "," << v;
    if (v >= 10 && v < 10 + 2 * lineHeight) ++inkPerLine[(v - 10) / lineHeight];
  }
  EXPECT_GT(inkPerLine[0], 100);
  EXPECT_GT(inkPerLine[1], 100);
  // The caret bar on the last term, in xor: drawn twice, nothing is left of it.
  e->caretNode = e->root->children[1]->children[9];
  e->selectionMode = SelectionCaretAfter;
  Fixed x = 0, bottom = 0, top = 0;
  GetCaretBar(&x, &bottom, &top);
  const std::vector<uint32_t> before = canvas.Pixels();
  PenMode(kPatXor);
  for (int pass = 1; pass <= 2; ++pass) {
    LineMoveTo(x, bottom);
    LineLineTo(x, top);
    EXPECT_EQ(canvas.Pixels() == before, pass == 2) << pass;
  }
}
