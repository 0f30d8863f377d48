// Point drags: the literal of a dragged point's value to the pixel, and the rewrite of the row that
// defines it, with its undo step, its caret and the news to the graphs and the window.
#include "document/point_drag.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "document/document_record.h"
#include "editor/edit_commands.h"
#include "graphs/core/compute_worker.h"
#include "graphs/factory/definitions.h"
#include "graphs/view2d/graph_view_2d.h"
#include "kernel/text/number_settings.h"
#include "kernel/text/number_text.h"
#include "kernel/trees/node_builders.h"

namespace {

// The decimal exponent of a positive magnitude's first digit, as "%e" writes it.
int DecimalExponent(double magnitude) {
  char text[40];
  std::snprintf(text, sizeof text, "%.16e", magnitude);
  return std::atoi(std::strchr(text, 'e') + 1);
}

// The exponent of the power of ten a positive magnitude is rounded to: the largest not above the
// pixel, and never below the last digit of the shortest text that reads back as the magnitude
// (digits past it are the binary value's noise).
int RoundingExponent(double magnitude, double pixel) {
  const int lowest = DecimalExponent(magnitude) - (ShortestDigits(magnitude) - 1);
  if (!(pixel > 0) || !std::isfinite(pixel)) return lowest;
  int exponent = static_cast<int>(std::floor(std::log10(pixel)));
  if (std::pow(10.0, exponent) > pixel) --exponent;  // log10 rounded up across a power of ten
  return std::max(exponent, lowest);
}

// The fixed notation of a number "%e" wrote (d.ddde+XX): its digits moved by the exponent, without
// trailing zeros after the point; at most size - 1 characters.
void FixedFromScientific(const char* scientific, char* out, size_t size) {
  char digits[40];
  int n = 0;
  const char* c = scientific;
  for (; *c != '\0' && *c != 'e'; ++c) {
    if (*c >= '0' && *c <= '9' && n < static_cast<int>(sizeof digits)) digits[n++] = *c;
  }
  const int exponent = *c == 'e' ? std::atoi(c + 1) : 0;
  while (n > 1 && digits[n - 1] == '0') --n;
  size_t k = 0;
  const auto put = [&](char ch) {
    if (k + 1 < size) out[k++] = ch;
  };
  if (exponent < 0) {
    put('0');
    put('.');
    for (int z = 1; z < -exponent; ++z) put('0');
    for (int i = 0; i < n; ++i) put(digits[i]);
  } else {
    for (int i = 0; i <= exponent; ++i) put(i < n ? digits[i] : '0');
    if (n > exponent + 1) put('.');
    for (int i = exponent + 1; i < n; ++i) put(digits[i]);
  }
  out[k] = '\0';
}

// A num node of the part's magnitude rounded to the pixel; *negative when the part is negative
// and does not round to zero. Null on exhaustion.
ExprNode* RoundedMagnitude(double part, double pixel, bool* negative) {
  const PixelNumber n = PixelNumberOf(std::fabs(part), pixel);
  *negative = part < 0 && n.value != 0;
  ExprNode* number = NewNumberNode(n.value);
  if (number != nullptr) SetNumberText(number, n.text, std::strlen(n.text));
  return number;
}

bool IsWithin(const ExprNode* node, const ExprNode* ancestor) {
  for (; node != nullptr; node = node->parent) {
    if (node == ancestor) return true;
  }
  return false;
}

// The view's slot in the set (first or second plane view); kNoView for any other view.
int32_t PlaneViewSlot(const GraphViewSet* set, const GraphView* view) {
  if (view != nullptr && view == set->first2D) return kViewFirst2D;
  if (view != nullptr && view == set->second2D) return kViewSecond2D;
  return kNoView;
}

// The row whose graph is graph `index` of the view in `slot`; -1 when none is.
int32_t RowOfGraph(const DocumentRecord* document, int32_t slot, int32_t index) {
  const GrowArray<GraphTableRow>& table = document->viewSet.graphTable;
  for (int32_t r = 0; r < document->rows.count; ++r) {
    const int32_t g = document->rows.data[r].graphRow;
    if (g < 0 || g >= table.count) continue;
    for (const GraphSlot& pair : table.data[g].pair) {
      if (pair.view == slot && pair.index == index) return r;
    }
  }
  return -1;
}

// The first row that defines the key as a complex point (the one the evaluation reads); -1 none.
int32_t DefiningRow(const DocumentRecord* document, int32_t key) {
  for (int32_t r = 0; r < document->rows.count; ++r) {
    const EquationRow& row = document->rows.data[r];
    if (row.kind == 0 && IsComplexPointDefinition(row.expression) && DefinedParameterKey(row.expression) == key) {
      return r;
    }
  }
  return -1;
}

}  // namespace

PixelNumber PixelNumberOf(double magnitude, double pixel) {
  PixelNumber n{};
  char text[512] = "0";  // room for the fixed text of any double: 309 digits, or 324 zeros and 17
  if (magnitude > 0 && std::isfinite(magnitude)) {
    const int exponent = RoundingExponent(magnitude, pixel);
    int digits = DecimalExponent(magnitude) - exponent + 1;
    double rounded = magnitude;
    if (digits < 1) {  // below the step: zero, or the step itself from half of it on
      rounded = magnitude >= 0.5 * std::pow(10.0, exponent) ? std::pow(10.0, exponent) : 0.0;
      digits = 1;
    }
    if (rounded > 0) {
      char scientific[48];
      std::snprintf(scientific, sizeof scientific, "%.*e", digits - 1, rounded);
      FixedFromScientific(scientific, text, sizeof text);
      if (std::strlen(text) > kNumberTextMax) FormatDoubleDigits(text, sizeof text, rounded, digits);
    }
  }
  n.value = ParseDouble(text);
  std::memcpy(n.text, text, std::min(std::strlen(text), sizeof n.text - 1));  // n.text ends zeroed
  if (char* point = std::strchr(n.text, '.')) *point = GetDecimalSeparator();
  return n;
}

ExprNode* NewPointLiteral(Complex value, double pixelX, double pixelY) {
  bool realNegative = false, imaginaryNegative = false;
  ExprNode* real = RoundedMagnitude(value.re, pixelX, &realNegative);
  ExprNode* imaginary = RoundedMagnitude(value.im, pixelY, &imaginaryNegative);
  // BuildNode frees its operands when one is missing or it fails: a part lost takes the rest.
  if (realNegative) real = BuildNode(KindMinus, {real});
  imaginary = BuildNode(KindTimes, {imaginary, NewSymbolNode(kSymbolI)});
  if (imaginaryNegative) imaginary = BuildNode(KindMinus, {imaginary});
  return BuildNode(KindPlus, {real, imaginary});
}

bool RewriteDraggedPoint(DocumentRecord* document, const GraphView* view, int32_t index, double x, double y) {
  const int32_t slot = PlaneViewSlot(&document->viewSet, view);
  if (slot == kNoView || !std::isfinite(x) || !std::isfinite(y)) return false;
  const int32_t graphRow = RowOfGraph(document, slot, index);
  if (graphRow < 0 || !IsComplexPointDefinition(document->rows.data[graphRow].expression)) return false;
  const int32_t key = DefinedParameterKey(document->rows.data[graphRow].expression);
  const int32_t r = DefiningRow(document, key);
  EquationRow& row = document->rows.data[r];
  ExprNode* value = row.expression->children[1];
  // A point that stays in its pixel (a press right on it) leaves the row as it is.
  const ViewMap* map = &static_cast<const GraphView2D*>(view)->windowMap;
  Complex before{};
  ComplexLiteralValue(&before, value);
  if (WorldToPixelX(map, before.re) == WorldToPixelX(map, x) && WorldToPixelY(map, before.im) == WorldToPixelY(map, y)) {
    return false;
  }
  ExprNode* literal = NewPointLiteral(Complex{x, y}, map->unitsPerPixelX, map->unitsPerPixelY);
  if (literal == nullptr || ExpressionsEqual(literal, value)) {
    FreeExpression(literal);
    return false;
  }
  // Nothing evaluates while the row changes under it; every graph is told afterwards.
  AbandonSuspendedCompute();
  if (FormulaEditor* e = row.editor) {
    if (document->pointDragRow != e) {
      document->undo.Record(e);  // refused: the history is forgotten, the drag still goes on
      document->pointDragRow = e;
      ResetEditCommandHistory();  // typing after the drag is a step of its own
    }
    if (IsWithin(e->caretNode, value)) {
      e->caretNode = value;  // keeps its identity below
      e->selectionMode = SelectionCaretAfter;
      e->selectionStart = e->selectionEnd = 0;
    }
    e->layoutValid = 0;
    e->displayValid = 0;
  }
  ReplaceExpression(literal, value);
  Complex after{};
  ComplexLiteralValue(&after, value);
  document->SetDocumentModified(true);
  ViewSetSetVariableAll(&document->viewSet, key, after.re);
  if (document->window != nullptr) document->window->RowsRewritten();
  return true;
}

void EndPointDrag(DocumentRecord* document) { document->pointDragRow = nullptr; }

void DocumentRecord::RewritePointParameters(const GraphView* view, int32_t index, double x, double y) {
  RewriteDraggedPoint(this, view, index, x, y);
}
