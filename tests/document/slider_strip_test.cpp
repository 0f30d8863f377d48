// The slider strip's model without a window: which rows get a slider and with what bounds and
// steps, the position under a point of the track (golden values worked by hand, and the thumb
// centre read back as the same position for every position), the strip's place in the pane, and a
// move sending the value to the graphs without rebuilding them.
#include <cmath>
#include <string>

#include "document/slider_strip.h"
#include "graphs/factory/definitions.h"
#include "kernel/text/formula_reader.h"
#include "kernel/trees/expr_node.h"
#include "tests/document/document_test_support.h"

namespace {

class SliderStripTest : public document_test::DocumentTest {
 protected:
  EquationRow* Add(DocumentRecord* document, const char* formula) {
    SetFormulaReaderText(formula);
    ExprNode* tree = ParseFormulaText();
    EXPECT_NE(tree, nullptr) << formula;
    return tree != nullptr ? document->AppendEquationRow(tree) : nullptr;
  }
  // The row's formula edited: the new tree in place of the old.
  void Replace(EquationRow* row, const char* formula) {
    SetFormulaReaderText(formula);
    ExprNode* tree = ParseFormulaText();
    ASSERT_NE(tree, nullptr) << formula;
    FreeExpression(row->expression);
    row->expression = tree;
  }
};

TEST_F(SliderStripTest, SliderRowsTakeTheirBoundsAndStepsFromTheFormula) {
  const struct {
    const char* formula;
    bool control;
    double min, max;
    int32_t steps;
  } cases[] = {
      {"equal[a,slider[id[comma[0,4]]]]", true, 0, 4, kDefaultSliderSteps},
      {"equal[b,slider[id[comma[minus[1],1,20]]]]", true, -1, 1, 20},
      {"equal[c,slider[id[comma[10,0]]]]", true, 10, 0, kDefaultSliderSteps},  // a slider may run down
      {"equal[d,slider[id[comma[0,pi,2.6]]]]", true, 0, M_PI, 3},               // steps rounded
      {"equal[f,slider[id[comma[0,1,0]]]]", true, 0, 1, 1},                     // at least one step
      {"equal[g,slider[id[comma[0,1,1000000000]]]]", true, 0, 1, kMaxSliderSteps},     // bounded
      {"equal[h,slider[id[comma[0,over[1,0]]]]]", false, 0, 0, 0},              // no finite bound
      {"equal[e,slider[id[comma[0,1]]]]", false, 0, 0, 0},                      // e is reserved
      {"equal[y,times[a,power[x,2]]]", false, 0, 0, 0},
  };
  for (const auto& c : cases) {
    DocumentRecord document;
    EquationRow* row = Add(&document, c.formula);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(UpdateEquationSliders(document.rows.data, document.rows.count), c.control ? 1 : 0) << c.formula;
    EXPECT_EQ(row->hasSliderControl, c.control) << c.formula;
    if (!c.control) continue;
    EXPECT_DOUBLE_EQ(row->sliderMin, c.min) << c.formula;
    EXPECT_DOUBLE_EQ(row->sliderMax, c.max) << c.formula;
    EXPECT_EQ(row->sliderSteps, c.steps) << c.formula;
  }
}

// A position survives a refresh, brought into the new steps when the formula shrinks them; a row
// that stops being a slider loses its control (and its value falls back to the document's 1).
TEST_F(SliderStripTest, RefreshKeepsThePositionWithinTheSteps) {
  DocumentRecord document;
  EquationRow* row = Add(&document, "equal[a,slider[id[comma[0,4]]]]");
  ASSERT_EQ(UpdateEquationSliders(document.rows.data, document.rows.count), 1);
  row->sliderValue = 75;
  EXPECT_EQ(UpdateEquationSliders(document.rows.data, document.rows.count), 1);
  EXPECT_EQ(row->sliderValue, 75);
  EXPECT_EQ(SliderValueText(*row), "3");
  Replace(row, "equal[a,slider[id[comma[0,8]]]]");
  UpdateEquationSliders(document.rows.data, document.rows.count);
  EXPECT_EQ(SliderValueText(*row), "6");
  row->sliderValue = kMaxSliderSteps;
  UpdateEquationSliders(document.rows.data, document.rows.count);
  EXPECT_EQ(row->sliderValue, kDefaultSliderSteps) << "clamped to the steps";
  EXPECT_EQ(SliderNameText(*row), "a");
  Replace(row, "equal[a,sin[id[comma[0,8]]]]");  // no slider any more
  EXPECT_EQ(UpdateEquationSliders(document.rows.data, document.rows.count), 0);
  EXPECT_FALSE(row->hasSliderControl);
  EXPECT_EQ(SliderRowCount(document), 0);
  EXPECT_EQ(NthSliderRow(document, 0), -1);
}

// The track of a line from h = 100 to 310 has its thumb centre run from 105 to 305 (200 pixels).
TEST_F(SliderStripTest, PositionUnderThePointerIsTheNearestStep) {
  const QDRect track = MakeRect(100, 0, 310, 24);
  const struct {
    int32_t h, steps, position;
  } cases[] = {
      {105, 100, 0},  {305, 100, 100}, {205, 100, 50}, {206, 100, 51},  {207, 100, 51}, {0, 100, 0},
      {999, 100, 100}, {155, 4, 1},    {179, 4, 1},    {180, 4, 2},     {205, 1, 1},   {204, 1, 0},
      {200, 0, 0},    {200, -5, 0},    {305, 100000, 100000}, {106, 100000, 500},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SliderPositionAt(track, c.steps, c.h), c.position) << c.h << " of " << c.steps << " steps";
  // Every position's thumb reads back as that position while a step is at least a pixel.
  for (int32_t steps : {1, 3, 7, 100, 200}) {
    for (int32_t p = 0; p <= steps; ++p)
      ASSERT_EQ(SliderPositionAt(track, steps, SliderThumbCentre(track, steps, p)), p) << p << " of " << steps;
  }
  EXPECT_EQ(SliderThumbCentre(track, 100, -3), 105) << "clamped";
  EXPECT_EQ(SliderThumbCentre(track, 100, 300), 305) << "clamped";
}

TEST_F(SliderStripTest, TheStripTakesALineASliderAndAtMostHalfThePane) {
  const QDRect pane = MakeRect(0, 0, 400, 200);
  const struct {
    int32_t sliders, height;
  } cases[] = {{0, 0}, {1, kSliderLineHeight}, {4, 4 * kSliderLineHeight}, {5, 4 * kSliderLineHeight}, {99, 4 * kSliderLineHeight}};
  for (const auto& c : cases) {
    const QDRect strip = SliderStripRect(pane, c.sliders);
    EXPECT_EQ(RectHeight(strip), c.height) << c.sliders;
    EXPECT_EQ(strip.bottom, pane.bottom);
    EXPECT_EQ(MathPaneLessStrip(pane, strip).bottom, strip.top);
    const int32_t shown = c.height / kSliderLineHeight;
    for (int32_t i = 0; i < shown; ++i) {
      const QDRect line = SliderLineRect(strip, i);
      EXPECT_EQ(SliderLineAt(strip, c.sliders, QDPoint{int16_t(line.top + 1), 50}), i);
    }
    EXPECT_EQ(SliderLineAt(strip, c.sliders, QDPoint{int16_t(strip.top - 1), 50}), -1) << "above the strip";
  }
  EXPECT_EQ(RectHeight(SliderStripRect(MakeRect(0, 0, 400, 30), 3)), 0) << "a pane too short for a line";
}

// A move changes the value the evaluation reads and reaches every graph; a move to where the thumb
// is, or on a row without a slider, sends nothing.
TEST_F(SliderStripTest, AMoveSetsTheValueAndMarksTheDocumentModified) {
  DocumentRecord document;
  Add(&document, "equal[y,x]");
  DocumentRecord plain;
  EquationRow* a = Add(&plain, "equal[a,slider[id[comma[minus[2],2,4]]]]");
  ASSERT_EQ(UpdateEquationSliders(plain.rows.data, plain.rows.count), 1);
  SetCurrentDocument(&plain);
  Complex value{};
  GetDefinedParameterValue(&value, 'a', &plain);
  EXPECT_EQ(value.re, -2.0);
  EXPECT_FALSE(SetSliderPosition(&plain, 0, 0)) << "already there";
  EXPECT_EQ(plain.modifiedFlag, 0);
  EXPECT_TRUE(SetSliderPosition(&plain, 0, 3));
  EXPECT_EQ(a->sliderValue, 3);
  GetDefinedParameterValue(&value, 'a', &plain);
  EXPECT_EQ(value.re, 1.0);
  EXPECT_EQ(plain.modifiedFlag, 1);
  EXPECT_TRUE(SetSliderPosition(&plain, 0, 99));
  EXPECT_EQ(a->sliderValue, 4) << "clamped to the steps";
  EXPECT_FALSE(SetSliderPosition(&document, 0, 2)) << "a row without a slider";
  EXPECT_FALSE(SetSliderPosition(&plain, 5, 2)) << "no such row";
}

}  // namespace
