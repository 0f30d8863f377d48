// The shared box operations. Sums of widths saturate, so a pathological row cannot wrap.
#include "editor/layout_boxes.h"

#include <algorithm>

#include "editor/line_mapping.h"
#include "editor/typeset_state.h"
#include "kernel/trees/expr_node.h"

namespace {

void PrefixBoxWithMinimums(ExprNode* node, Fixed gap, Fixed minDescent, Fixed minAscent) {
  TypesetBox& box = *node->box;
  BaselineMetrics m{0, 0};
  Fixed width = 0;
  if (node->arity > 0) {
    m = ChildBaselineMetrics(*node->children[0]->box);
    width = node->children[0]->box->width;
  }
  box.descent = std::max(m.descent, minDescent);
  box.ascent = std::max(m.ascent, minAscent);
  if (node->arity > 0) AlignChildOnBaseline(*node->children[0]->box, gap, box.descent);
  box.width = gap + width;
  box.baselineFlag = 1;
}

}  // namespace

BaselineMetrics ChildBaselineMetrics(const TypesetBox& child) {
  if (child.baselineFlag) return BaselineMetrics{child.descent, child.ascent};
  Fixed a = MathAxisOf(TypesetGlobals().metrics.typeSize);
  return BaselineMetrics{child.descent - a, child.ascent + a};
}

void AlignChildOnBaseline(TypesetBox& child, Fixed x, Fixed nodeDescent) {
  child.relativeHorizontal = x;
  child.relativeVertical = ChildBaselineMetrics(child).descent - nodeDescent;
}

void LayoutSideBySide(ExprNode* node, int32_t mode) {
  if (mode != kLayoutMeasure) return;
  TypesetBox& box = *node->box;
  Fixed descent = 0, ascent = TypesetGlobals().metrics.typeSize, x = 0;
  for (int i = 0; i < node->arity; ++i) {
    BaselineMetrics m = ChildBaselineMetrics(*node->children[i]->box);
    descent = std::max(descent, m.descent);
    ascent = std::max(ascent, m.ascent);
  }
  for (int i = 0; i < node->arity; ++i) {
    TypesetBox& child = *node->children[i]->box;
    AlignChildOnBaseline(child, x, descent);
    x = SaturateFixed(int64_t{x} + child.width);
  }
  box.descent = descent;
  box.ascent = ascent;
  box.width = x;
  box.baselineFlag = 1;
}

void PrefixBox(ExprNode* node, Fixed gap) {
  const TypeMetrics& m = TypesetGlobals().metrics;
  PrefixBoxWithMinimums(node, gap, m.typeQuarter, m.typeSize);
}

void PrefixBoxTight(ExprNode* node, Fixed gap) { PrefixBoxWithMinimums(node, gap, 0, 0); }

Fixed SubscriptDrop(Fixed h, Fixed d) {
  Fixed s20 = TypesetGlobals().metrics.typeSize / 20;
  return std::min(SaturateFixed(int64_t{h} / 2 - s20), MulDivFixed(d, 3, 4));
}

Fixed SuperscriptRaise(Fixed h, Fixed e) {
  Fixed s20 = TypesetGlobals().metrics.typeSize / 20;
  return std::min(SaturateFixed(int64_t{MulDivFixed(h, 3, 4)} - s20), MulDivFixed(e, 85, 100));
}

void MoveToBaselinePoint(const ExprNode* node, Fixed dx) {
  const TypesetBox& box = *node->box;
  LineMoveTo(box.absoluteHorizontal + dx, box.absoluteVertical - box.descent);
}
