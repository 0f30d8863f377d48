// The shared box operations. Every sum saturates (typeset_units.h), so a pathological row cannot wrap.
#include "editor/layout_boxes.h"

#include <algorithm>

#include "editor/line_mapping.h"
#include "editor/script_levels.h"
#include "editor/typeset_primitives.h"
#include "kernel/trees/expr_node.h"

namespace {

void PrefixBoxWithMinimums(ExprNode* node, Fixed gap, Fixed minDescent, Fixed minAscent) {
  TypesetBox& box = *node->box;
  OperandBoxes operands(node, 1);
  TypesetBox& child = operands[0];
  BaselineMetrics m = ChildBaselineMetrics(child);
  box.descent = std::max(m.descent, minDescent);
  box.ascent = std::max(m.ascent, minAscent);
  AlignChildOnBaseline(child, gap, box.descent);
  box.width = SaturateFixed(int64_t{gap} + child.width);
  box.baselineFlag = 1;
  PlaceExtraOperands(node, 1);
}

}  // namespace

SizeUnits CurrentUnits() {
  const TypeMetrics& m = TypesetGlobals().metrics;
  return SizeUnits{m.typeSize, m.typeThousandth, m.ruleThickness, m.typeTenth, m.typeQuarter, MathAxisOf(m.typeSize)};
}

Fixed ThinSpace(const SizeUnits& units) { return units.size < 9 * kFixedOne ? units.U(77) : units.U(59); }

TypesetFontScope::TypesetFontScope()
    : slot_(TypesetGlobals().currentFontSlot), text_(TypesetGlobals().text), metrics_(TypesetGlobals().metrics) {}

TypesetFontScope::~TypesetFontScope() {
  TypesetState& g = TypesetGlobals();
  g.currentFontSlot = slot_;
  g.text = text_;
  g.metrics = metrics_;
}

KindGlyph GlyphOfKind(uint32_t kind) {
  const NodeKindRow* row = GetNodeKindRow(kind);
  uint16_t glyph = row ? row->glyph : 0;
  return KindGlyph{glyph & kGlyphTextFontBit ? kTextSlot : kSymbolSlot, glyph & 0xFF};
}

Fixed SelectGlyph(KindGlyph glyph) {
  SetTypesetFont(glyph.slot);
  return TypesetCharWidth(glyph.code);
}

Fixed BoxHeight(const TypesetBox& box) { return SaturateFixed(int64_t{box.descent} + box.ascent); }

BaselineMetrics ChildBaselineMetrics(const TypesetBox& child) {
  if (child.baselineFlag) return BaselineMetrics{child.descent, child.ascent};
  Fixed a = MathAxisOf(TypesetGlobals().metrics.typeSize);
  return BaselineMetrics{SubFixed(child.descent, a), SumFixed(child.ascent, a)};
}

void AlignChildOnBaseline(TypesetBox& child, Fixed x, Fixed nodeDescent) {
  child.relativeHorizontal = x;
  child.relativeVertical = SaturateFixed(int64_t{ChildBaselineMetrics(child).descent} - nodeDescent);
}

void PlaceChild(TypesetBox& child, Fixed x, Fixed up) {
  child.relativeHorizontal = x;
  child.relativeVertical = SaturateFixed(-int64_t{up});
}

TypesetBox PromptGapBox() {
  TypesetFontScope scope;
  SetTypesetFont(kTextSlot);
  TypesetFaceBold();
  TypesetBox gap{};
  gap.width = TypesetCharWidth('?');
  gap.ascent = TypesetGlobals().metrics.typeSize;
  gap.descent = TypesetGlobals().metrics.typeQuarter;
  gap.baselineFlag = 1;
  return gap;
}

OperandBoxes::OperandBoxes(ExprNode* node, int32_t expected) : node_(node), gaps_{} {
  if (node->arity >= std::min(expected, kMaxUsed)) return;
  // A missing script operand is a prompt of the script's size.
  TypesetFontScope scope;
  const int32_t level = node->box->scriptLevel, script = std::min<int32_t>(level + 1, kDeepestScriptLevel);
  for (int32_t i = node->arity; i < kMaxUsed; ++i) {
    SetTypesetSize(TypesetGlobals().currentStyle[IsScriptOperand(*node, i) ? script : level]);
    gaps_[i] = PromptGapBox();
  }
}

TypesetBox& OperandBoxes::operator[](int32_t i) {
  return i < node_->arity ? *node_->children[i]->box : gaps_[std::clamp(i, 0, kMaxUsed - 1)];
}

bool OperandBoxes::Has(int32_t i) const { return i < node_->arity; }

void PlaceExtraOperands(ExprNode* node, int32_t first) {
  if (first >= node->arity) return;
  TypesetBox& box = *node->box;
  Fixed descent = box.descent, ascent = box.ascent;
  for (int i = first; i < node->arity; ++i) {
    BaselineMetrics m = ChildBaselineMetrics(*node->children[i]->box);
    descent = std::max(descent, m.descent);
    ascent = std::max(ascent, m.ascent);
  }
  // A deeper box moves the node's bottom down: the children placed so far keep their place.
  Fixed deeper = SubFixed(descent, box.descent);
  for (int i = 0; i < first; ++i) {
    TypesetBox& child = *node->children[i]->box;
    child.relativeVertical = SaturateFixed(int64_t{child.relativeVertical} - deeper);
  }
  Fixed x = box.width;
  for (int i = first; i < node->arity; ++i) {
    TypesetBox& child = *node->children[i]->box;
    AlignChildOnBaseline(child, x, descent);
    x = SaturateFixed(int64_t{x} + child.width);
  }
  box.descent = descent;
  box.ascent = ascent;
  box.width = x;
}

void LayoutSideBySide(ExprNode* node, int32_t mode) {
  if (mode != kLayoutMeasure) return;
  TypesetBox& box = *node->box;
  box.descent = 0;
  box.ascent = TypesetGlobals().metrics.typeSize;
  box.width = 0;
  PlaceExtraOperands(node, 0);  // every child is an operand laid after an empty box
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

void MoveToBaselinePoint(const ExprNode* node, Fixed dx) { MoveToNodePoint(node, dx, node->box->descent); }

void MoveToNodePoint(const ExprNode* node, Fixed dx, Fixed up) {
  const TypesetBox& box = *node->box;
  LineMoveTo(SaturateFixed(int64_t{box.absoluteHorizontal} + dx), SaturateFixed(int64_t{box.absoluteVertical} - up));
}

void DrawCharAt(const ExprNode* node, Fixed dx, Fixed up, int32_t code) {
  MoveToNodePoint(node, dx, up);
  TypesetDrawChar(code);
}
