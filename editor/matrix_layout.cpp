// Index, matrix and stack handlers. The matrix walks its operands column by column and row by
// row straight from the shape word, so it needs no scratch: gaps and wholly empty rows are
// counted, never visited, and a layout costs O(operands + rows + columns).
#include "editor/matrix_layout.h"

#include <algorithm>
#include <climits>

#include "editor/layout_boxes.h"
#include "editor/script_levels.h"
#include "editor/typeset_primitives.h"
#include "kernel/trees/expr_node.h"

namespace {

// A group of indices in slots first..last (slots past the operands are gaps), side by side.
struct IndexGroup {
  int64_t first, last;
  Fixed width, descent, ascent;
  Fixed Height() const { return SaturateFixed(int64_t{descent} + ascent); }
  bool Empty() const { return last < first; }
};

const TypesetBox& SlotBox(const ExprNode* node, int64_t slot, const TypesetBox& gap) {
  return slot < node->arity ? *node->children[slot]->box : gap;
}

IndexGroup MeasureGroup(const ExprNode* node, int64_t first, int64_t last, const TypesetBox& gap) {
  IndexGroup g{first, last, 0, 0, 0};
  int64_t width = 0;
  for (int64_t slot = first; slot <= last; ++slot) {
    const TypesetBox& b = SlotBox(node, slot, gap);
    const BaselineMetrics m = ChildBaselineMetrics(b);
    width += b.width;
    g.descent = std::max(g.descent, m.descent);
    g.ascent = std::max(g.ascent, m.ascent);
  }
  g.width = SaturateFixed(width);
  return g;
}

// Lays the group's operands from x with their baselines `baseline` above the node's bottom.
void PlaceGroup(ExprNode* node, const IndexGroup& g, Fixed x, Fixed baseline, const TypesetBox& gap) {
  int64_t at = x;
  for (int64_t slot = g.first; slot <= g.last; ++slot) {
    if (slot >= node->arity) {
      at += gap.width;
      continue;
    }
    TypesetBox& b = *node->children[slot]->box;
    PlaceChild(b, SaturateFixed(at), SaturateFixed(int64_t{baseline} - ChildBaselineMetrics(b).descent));
    at += b.width;
  }
}

}  // namespace

ChildColumn MeasureChildColumn(const ExprNode* node, Fixed gap) {
  Fixed left = 0, right = 0;
  int64_t height = 0;
  for (int i = 0; i < node->arity; ++i) {
    const TypesetBox& b = *node->children[i]->box;
    left = std::max(left, b.width / 2);
    right = std::max(right, b.width - b.width / 2);
    height += BoxHeight(b) + (i ? gap : 0);
  }
  return ChildColumn{left, SaturateFixed(int64_t{left} + right), SaturateFixed(height)};
}

void PlaceChildColumn(ExprNode* node, const ChildColumn& column, Fixed gap, Fixed x, Fixed up) {
  int64_t top = int64_t{up} + column.height;
  for (int i = 0; i < node->arity; ++i) {
    TypesetBox& b = *node->children[i]->box;
    top -= BoxHeight(b);
    PlaceChild(b, SaturateFixed(int64_t{x} + column.centre - b.width / 2), SaturateFixed(top));
    top -= gap;
  }
}

void LayoutIndexes(ExprNode* node, int32_t mode) {
  if (mode != kLayoutMeasure) return;
  OperandBoxes operands(node, 1);
  TypesetBox& base = operands[0];
  TypesetBox& box = *node->box;
  TypesetFontScope scope;  // S, u and S/20 below are the indices'
  const int level = std::min<int>(box.scriptLevel + 1, kDeepestScriptLevel);
  SetTypesetSize(TypesetGlobals().currentStyle[level]);
  const SizeUnits n = CurrentUnits();
  const TypesetBox gap = PromptGapBox();
  const int64_t lowerCount = std::max<int16_t>(node->value.halves.second, 0);
  const int64_t upperCount = std::max<int16_t>(node->value.halves.first, 0);
  const IndexGroup lower = MeasureGroup(node, 1, lowerCount, gap);
  const IndexGroup upper = MeasureGroup(node, lowerCount + 1, std::max<int64_t>(node->arity - 1, lowerCount + upperCount), gap);
  const Fixed x = SaturateFixed(int64_t{base.width} + n.U(38)), height = BoxHeight(base);
  Fixed raise = 0;  // of the base over the node's bottom, so the subscripts' top is d1 above its bottom
  if (!lower.Empty()) {
    raise = std::max<Fixed>(SaturateFixed(int64_t{lower.Height()} - SubscriptDrop(height, lower.Height())), 0);
    PlaceGroup(node, lower, x, lower.descent, gap);
  }
  PlaceChild(base, 0, raise);
  box.ascent = base.ascent;
  if (!upper.Empty()) {
    const Fixed drop = SubscriptDrop(base.ascent, upper.Height());
    const int64_t bottom = int64_t{raise} + height - drop;
    PlaceGroup(node, upper, x, SaturateFixed(bottom + upper.descent), gap);
    box.ascent = std::max(base.ascent, SaturateFixed(int64_t{base.ascent} - drop + upper.Height()));
  }
  box.descent = SaturateFixed(int64_t{base.descent} + raise);
  box.width = SaturateFixed(int64_t{x} + std::max(lower.width, upper.width));
  box.baselineFlag = base.baselineFlag;
}

void LayoutMatrix(ExprNode* node, int32_t mode) {
  const SizeUnits n = CurrentUnits();
  TypesetBox& box = *node->box;
  if (mode == kLayoutDraw) {
    // Square brackets 200u inside the box, their 300u feet turned inwards.
    const Fixed h = SubFixed(BoxHeight(box), n.U(400)), foot = n.U(300);
    MoveToNodePoint(node, n.U(500), n.U(200));
    TypesetLine(NegateFixed(foot), 0);
    TypesetLine(0, NegateFixed(h));
    TypesetLine(foot, 0);
    MoveToNodePoint(node, SubFixed(box.width, n.U(500)), n.U(200));
    TypesetLine(foot, 0);
    TypesetLine(0, NegateFixed(h));
    TypesetLine(NegateFixed(foot), 0);
    return;
  }
  if (mode != kLayoutMeasure) return;
  const int64_t cells = node->arity, columns = std::max<int16_t>(node->value.halves.second, 1);
  const int64_t filled = (cells + columns - 1) / columns;  // rows that hold an operand
  const int64_t rows = std::max<int64_t>(std::max<int16_t>(node->value.halves.first, 1), filled);
  const TypesetBox gap = PromptGapBox();
  const Fixed gutter = n.U(400);
  auto cell = [node](int64_t i) -> TypesetBox& { return *node->children[i]->box; };
  // Columns from the left; a column the last row does not reach holds a gap there.
  int64_t x = gutter;
  for (int64_t c = 0; c < columns; ++c) {
    Fixed w = (rows - 1) * columns + c >= cells ? gap.width : 0;
    for (int64_t i = c; i < cells; i += columns) w = std::max(w, cell(i).width);
    for (int64_t i = c; i < cells; i += columns)
      cell(i).relativeHorizontal = SaturateFixed(x + CentredIn(w, cell(i).width) + n.rule);
    x += int64_t{w} + gutter;
  }
  // Rows from the bottom, 200u under the last and 400u between: first the rows of gaps alone.
  const int64_t gapRowHeight = BoxHeight(gap);
  int64_t y = n.U(200) + (rows - filled) * (gapRowHeight + gutter), heights = (rows - filled) * gapRowHeight;
  for (int64_t r = filled - 1; r >= 0; --r) {
    const int64_t first = r * columns, end = std::min(first + columns, cells);
    int64_t descent = end - first < columns ? gap.descent : INT32_MIN, ascent = end - first < columns ? gap.ascent : INT32_MIN;
    for (int64_t i = first; i < end; ++i) {
      const BaselineMetrics m = ChildBaselineMetrics(cell(i));
      descent = std::max<int64_t>(descent, m.descent);
      ascent = std::max<int64_t>(ascent, m.ascent);
    }
    for (int64_t i = first; i < end; ++i)
      cell(i).relativeVertical = SaturateFixed(-(y + descent - ChildBaselineMetrics(cell(i)).descent));
    y += descent + ascent + gutter;
    heights += descent + ascent;
  }
  const Fixed height = SaturateFixed(heights + (rows + 1) * int64_t{gutter});
  box.width = SaturateFixed(x);
  box.ascent = height / 2;
  box.descent = height - box.ascent;
  box.baselineFlag = 0;
}

void LayoutAtop(ExprNode* node, int32_t mode) {
  if (mode != kLayoutMeasure) return;
  const SizeUnits n = CurrentUnits();
  const ChildColumn column = MeasureChildColumn(node, n.U(500));
  PlaceChildColumn(node, column, n.U(500), 0, 0);
  TypesetBox& box = *node->box;
  box.width = column.width;
  box.descent = column.height / 2;
  box.ascent = column.height - box.descent;
  box.baselineFlag = 0;
}
