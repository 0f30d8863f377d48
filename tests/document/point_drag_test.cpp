// The value a dragged point's row takes: a complex literal rounded to the view's pixel, read back
// exactly, and the rewrite of the row with its undo step and its caret.
#include <cmath>

#include "document/point_drag.h"
#include "editor/formula_editor.h"
#include "editor/typeset_state.h"
#include "graphs/factory/definitions.h"
#include "kernel/text/formula_reader.h"
#include "kernel/text/number_settings.h"
#include "kernel/text/number_text.h"
#include "tests/document/document_test_support.h"

namespace document_test {
namespace {

// The magnitude's num node (under a minus for a negative part) and its text.
const ExprNode* Magnitude(const ExprNode* part, bool* negative) {
  *negative = part->kind == KindMinus;
  return *negative ? part->children[0] : part;
}

// Golden texts by hand: each part rounded to the largest power of ten not above its pixel, never
// past the digits of the value's shortest text, in fixed notation while that fits a number's 25 characters. A
// leading "-" stands for the minus node over the part.
TEST_F(DocumentTest, APointsLiteralIsRoundedToThePixelAndReadsBackAsWritten) {
  struct Case {
    double re, im, pixelX, pixelY;
    char separator;
    const char *realText, *imaginaryText;
  } const cases[] = {
      {2, 0.001, 1 / 64.0, 1 / 64.0, '.', "2", "0"},  // a zero part stays: the row stays a point
      {-1.5, -0.5, 1 / 64.0, 1 / 64.0, '.', "-1.5", "-0.5"},
      {1.23456, 0.98765, 0.0125, 0.0125, '.', "1.23", "0.99"},
      {-0.004, -0.003, 0.0125, 0.0125, '.', "0", "0"},  // no minus over a zero
      {1234.5, -987.64, 50, 0.5, '.', "1230", "-987.6"},
      {0.26, -0.34, 0.1, 0.1, '.', "0.3", "-0.3"},  // a pixel of a power of ten itself
      {123456.123, 7, 1e-20, 1, '.', "123456.123", "7"},
      {9.996, 0.006, 0.01, 0.01, '.', "10", "0.01"},  // a carry; a part under the step's first digit
      {1.234e22, 0, 1e20, 1, '.', "12300000000000000000000", "0"},  // the rounded digits, not the double's
      {1e30, 1.5e-30, 1e28, 1e-32, '.', "1e+30", "1.5e-30"},
      {0.1, 0, 0, NAN, '.', "0.1", "0"},  // no pixel: the shortest text of the value
      {-1.5, 2.25, 1 / 64.0, 1 / 64.0, ',', "-1,5", "2,25"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.realText << " " << c.imaginaryText);
    SetDecimalSeparator(c.separator);
    ExprNode* literal = NewPointLiteral(Complex{c.re, c.im}, c.pixelX, c.pixelY);
    ASSERT_NE(literal, nullptr);
    ExprNode* row = NewBinaryNode(KindEqual, NewSymbolNode('p'), literal);
    ASSERT_TRUE(IsComplexPointDefinition(row));
    ASSERT_EQ(literal->kind, KindPlus);
    bool negative[2];
    const ExprNode* real = Magnitude(literal->children[0], &negative[0]);
    const ExprNode* term = Magnitude(literal->children[1], &negative[1]);
    ASSERT_EQ(term->kind, KindTimes);
    const ExprNode* numbers[2] = {real, term->children[0]};
    const char* texts[2] = {c.realText, c.imaginaryText};
    double expected[2];
    for (int k = 0; k < 2; ++k) {
      ASSERT_EQ(numbers[k]->kind, KindNum);
      EXPECT_EQ(negative[k], texts[k][0] == '-');
      EXPECT_STREQ(numbers[k]->value.number->text, texts[k] + (texts[k][0] == '-' ? 1 : 0));
      EXPECT_TRUE(NumberTextIsSettled(numbers[k])) << "the number pass would change it";
      expected[k] = ParseNumberLocalized(texts[k]);
    }
    Complex value{};
    ComplexLiteralValue(&value, literal);
    EXPECT_EQ(value.re, expected[0]);
    EXPECT_EQ(value.im, expected[1]);
    EXPECT_FALSE(std::signbit(value.re) && value.re == 0) << "no negative zero";
    EXPECT_LE(std::fabs(value.re - c.re), std::max(c.pixelX > 0 ? c.pixelX : 0, std::fabs(c.re) * 1e-16));
    EXPECT_LE(std::fabs(value.im - c.im), std::max(c.pixelY > 0 ? c.pixelY : 0, std::fabs(c.im) * 1e-16));
    FreeExpression(row);
  }
}

// Two moves of a drag are one undo step of the row, and its caret, inside the old value, goes after
// the new one; a move inside the point's pixel changes nothing; after EndPointDrag the next move is
// a step of its own.
TEST_F(DocumentTest, ADragIsOneUndoStepAndTheCaretLeavesTheOldValue) {
  InitTypesetting();
  {
    DocumentRecord document(MakeRect(0, 0, 400, 400));
    ASSERT_TRUE(ReadDocumentText("equal[p,plus[1,i]]\n", &document));
    ASSERT_TRUE(document.EnsureRowEditors());
    ASSERT_EQ(BuildDocumentRowGraphs(&document), 0);
    const GraphView2D* view = document.viewSet.first2D;
    const int32_t point = document.viewSet.graphTable.data[document.rows.data[0].graphRow].pair[0].index;
    FormulaEditor* e = document.rows.data[0].editor;
    ExprNode* value = e->root->children[1];
    e->caretNode = value->children[1];  // on the i
    EXPECT_FALSE(RewriteDraggedPoint(&document, view, point, 1 + view->windowMap.unitsPerPixelX / 4, 1));
    EXPECT_TRUE(RewriteDraggedPoint(&document, view, point, 2.2, -0.7));
    EXPECT_TRUE(RewriteDraggedPoint(&document, view, point, -1.5, 0.25));
    EXPECT_EQ(document.undo.UndoCount(), 1);
    EXPECT_TRUE(CheckExpressionTree(e->root));
    EXPECT_TRUE(e->caretNode == value && e->selectionMode == SelectionCaretAfter);
    EndPointDrag(&document);
    EXPECT_TRUE(RewriteDraggedPoint(&document, view, point, 3, 0));
    EXPECT_EQ(document.undo.UndoCount(), 2);
    document.undo.Undo();
    document.undo.Undo();
    ExprNode* original = ReadWholeFormula("plus[1,i]");
    EXPECT_TRUE(ExpressionsEqual(e->root->children[1], original));
    FreeExpression(original);
  }
  ResetTypesetGlobalsForTest();
}

}  // namespace
}  // namespace document_test
