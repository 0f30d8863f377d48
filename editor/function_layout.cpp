// Function, derivative, substitution, Bessel, gradient and Laplacian handlers. Each works out one
// geometry from its operands' boxes that both modes use; the derivative's numerator (glyph,
// order, and in the derivative form the function) reads left to right.
#include "editor/function_layout.h"

#include <algorithm>

#include "editor/layout_boxes.h"
#include "editor/typeset_primitives.h"
#include "kernel/trees/expr_node.h"

namespace {

constexpr int32_t kNabla = 209;

bool IsDerivativeKind(uint32_t kind) { return kind == KindOptotal || kind == KindOppartial; }

// ---- derivative operators ----------------------------------------------------------------------

// The denominator and numerator of a derivative operator. Variables are children 0 and 2..; a
// node without children has one prompt gap for its variable.
struct Derivative {
  KindGlyph glyph;
  Fixed glyphWidth, gw;          // the glyph's width, and gw = that + 62u
  Fixed denominatorDescent;      // D: the variables' largest descent
  Fixed denominatorAscent;       // A: their largest ascent, at least S
  Fixed denominatorWidth;
  Fixed numeratorX;              // the numerator glyph's left edge
  bool applied;
};

template <class Visit>
void ForEachVariable(ExprNode* node, OperandBoxes& operands, Visit visit) {
  for (int32_t slot = 0; slot < std::max<int32_t>(node->arity, 1); ++slot)
    if (slot != 1) visit(slot == 0 ? operands[0] : *node->children[slot]->box);
}

int32_t VariableCount(const ExprNode* node) { return node->arity <= 1 ? 1 : node->arity - 1; }

Derivative MeasureDerivative(ExprNode* node, OperandBoxes& operands, const SizeUnits& n) {
  Derivative d{GlyphOfKind(node->kind), 0, 0, 0, n.size, 0, 0, IsAppliedDerivative(node)};
  d.glyphWidth = SelectGlyph(d.glyph);
  d.gw = SumFixed(d.glyphWidth, n.U(62));
  int64_t x = 0;
  bool first = true;
  ForEachVariable(node, operands, [&](const TypesetBox& v) {
    const BaselineMetrics m = ChildBaselineMetrics(v);
    d.denominatorDescent = first ? m.descent : std::max(d.denominatorDescent, m.descent);
    d.denominatorAscent = std::max(d.denominatorAscent, m.ascent);
    x += (first ? 0 : n.tenth) + int64_t{d.gw} + v.width;
    first = false;
  });
  d.denominatorWidth = SaturateFixed(x);
  d.numeratorX =
      d.applied && VariableCount(node) == 1 ? 0 : SumFixed(d.denominatorWidth / 2, -(d.gw / 2), -(n.tenth / 2));
  return d;
}

Fixed DenominatorHeight(const Derivative& d) { return SumFixed(d.denominatorDescent, d.denominatorAscent); }

}  // namespace

void LayoutDerivativeOperator(ExprNode* node, int32_t mode) {
  const SizeUnits n = CurrentUnits();
  OperandBoxes operands(node, 1);
  const Derivative d = MeasureDerivative(node, operands, n);
  TypesetBox& box = *node->box;
  if (mode == kLayoutDraw) {
    // Each variable's glyph on the denominator's baseline, the numerator's over it, the bar.
    const Fixed baseline = d.denominatorDescent;
    int64_t x = 0;
    bool first = true;
    ForEachVariable(node, operands, [&](const TypesetBox& v) {
      x += first ? 0 : n.tenth;
      DrawCharAt(node, SaturateFixed(x), baseline, d.glyph.code);
      x += int64_t{d.gw} + v.width;
      first = false;
    });
    const ExprNode* parent = node->parent;
    const Fixed lift = d.applied ? parent->children[1]->box->descent : 0;
    DrawCharAt(node, d.numeratorX, SumFixed(DenominatorHeight(d), n.rule, n.U(200), lift), d.glyph.code);
    MoveToBaselinePoint(node, 0);
    TypesetLine(SubFixed(box.width, n.tenth), 0);
    return;
  }
  if (mode != kLayoutMeasure) return;
  box.descent = SumFixed(DenominatorHeight(d), 2 * int64_t{n.tenth});
  box.ascent = SumFixed(n.size, n.tenth);
  box.width = d.denominatorWidth;
  box.baselineFlag = 0;
  int64_t x = 0;
  bool first = true;
  ForEachVariable(node, operands, [&](TypesetBox& v) {
    x += (first ? 0 : n.tenth) + int64_t{d.gw};
    PlaceChild(v, SaturateFixed(x), SaturateFixed(int64_t{d.denominatorDescent} - ChildBaselineMetrics(v).descent));
    x += v.width;
    first = false;
  });
  if (node->arity < 2) return;
  // The order, an exponent of the numerator's glyph: its bottom m under the node's top, raised by
  // S/4 more when applied; after a lone variable's glyph at the left edge it follows that glyph.
  TypesetBox& order = *node->children[1]->box;
  const Fixed height = BoxHeight(order), m = std::min(height / 2, n.size / 2);
  int64_t at = int64_t{d.denominatorWidth} / 2 + d.gw / 2 + n.U(62);
  if (d.applied && node->arity == 2) at -= int64_t{d.denominatorWidth} / 2 - d.gw / 2;
  const Fixed raise = d.applied ? n.quarter : 0;
  PlaceChild(order, SaturateFixed(at), SumFixed(box.descent, box.ascent, -int64_t{m}, raise));
  box.width = std::max(box.width, SaturateFixed(at + order.width));
  box.ascent = SumFixed(box.ascent, height, -int64_t{m}, raise);
}

namespace {

// ---- function ----------------------------------------------------------------------------------

bool IsDerivativeForm(const ExprNode* node) {
  if (node->kind != KindFunction || node->arity < 2 || !IsDerivativeKind(node->children[0]->kind)) return false;
  const uint32_t argument = node->children[1]->kind;
  return argument == KindChar || argument == KindTensor || argument == KindIndexes;
}

// The function written into the operator's numerator: the glyph's width after the numerator's
// glyph, plus the order's width when there is one (the order starts 124u past the glyph, so the
// function runs on under its end); its baseline that of the glyph, t + 200u over the
// denominator. The glyph stands at the left edge over a single variable; over several it is
// centred, and the function follows it there rather than at the left edge, where it would print
// over the glyph.
void MeasureDerivativeForm(ExprNode* node, const SizeUnits& n) {
  ExprNode* opNode = node->children[0];
  TypesetBox &op = *opNode->box, &argument = *node->children[1]->box, &box = *node->box;
  OperandBoxes opOperands(opNode, 1);
  const Derivative d = MeasureDerivative(opNode, opOperands, n);
  const int64_t at = int64_t{d.numeratorX} + d.glyphWidth + (opNode->arity >= 2 ? opNode->children[1]->box->width : 0);
  const int64_t bottom = int64_t{DenominatorHeight(d)} + n.U(200) + n.rule;
  op.ascent = SumFixed(op.ascent, argument.descent);
  PlaceChild(op, 0, 0);
  PlaceChild(argument, SaturateFixed(at), SaturateFixed(bottom));
  box.width = std::max(op.width, SaturateFixed(at + argument.width));
  box.descent = op.descent;
  const int64_t argumentTop = bottom + BoxHeight(argument) - op.descent;
  box.ascent = SaturateFixed(std::max<int64_t>({op.ascent, int64_t{BoxHeight(argument)} + n.tenth, argumentTop}));
  box.baselineFlag = 0;
}

// ---- substitution ------------------------------------------------------------------------------

struct Substitution {
  Fixed expressionBottom;  // above the own bottom
  Fixed descent, ascent, valuesAt, width;
};

Substitution MeasureSubstitution(const ExprNode* node, OperandBoxes& operands, const SizeUnits& n) {
  const TypesetBox& e = operands[0];
  const Fixed gap = SumFixed(n.U(300), n.rule), half = n.size / 2, height = BoxHeight(e);
  Substitution s{n.tenth, SumFixed(n.tenth, e.descent), std::max(e.ascent, n.size), SumFixed(e.width, gap),
                 SumFixed(e.width, gap)};
  if (node->arity < 2) return s;
  const TypesetBox& lower = operands[1];
  const Fixed lowerHeight = BoxHeight(lower);
  // The expression's bottom lower height - S/2 up, the upper value's bottom S/2 under the
  // expression's top; neither under the node's bottom or the lower value's top.
  s.expressionBottom = std::max<Fixed>(SumFixed(lowerHeight, -int64_t{half}), 0);
  s.descent = SumFixed(e.descent, s.expressionBottom);
  int64_t top = std::max<int64_t>(int64_t{s.expressionBottom} + height, lowerHeight);
  Fixed widest = lower.width;
  if (operands.Has(2)) {
    const TypesetBox& upper = operands[2];
    const Fixed under = std::max(SumFixed(s.expressionBottom, height, -int64_t{half}), lowerHeight);
    top = std::max(top, int64_t{under} + BoxHeight(upper));
    widest = std::max(widest, upper.width);
  }
  s.ascent = SaturateFixed(top - s.descent);
  s.width = SumFixed(s.valuesAt, widest);
  return s;
}

}  // namespace

bool IsAppliedDerivative(const ExprNode* op) {
  const ExprNode* p = op->parent;
  return p && p->arity >= 2 && p->children[0] == op && IsDerivativeForm(p);
}

void LayoutFunction(ExprNode* node, int32_t mode) {
  const SizeUnits n = CurrentUnits();
  if (IsDerivativeForm(node)) {
    if (mode == kLayoutMeasure) {
      MeasureDerivativeForm(node, n);
      PlaceExtraOperands(node, 2);
    }
    return;
  }
  OperandBoxes operands(node, 2);
  TypesetBox &name = operands[0], &argument = operands[1];
  SetTypesetFont(kTextSlot);
  const Fixed open = TypesetCharWidth('('), at = SumFixed(name.width, open);
  if (mode == kLayoutDraw) {
    DrawCharAt(node, name.width, node->box->descent, '(');
    return DrawCharAt(node, SumFixed(at, argument.width), node->box->descent, ')');
  }
  if (mode != kLayoutMeasure) return;
  TypesetBox& box = *node->box;
  const BaselineMetrics a = ChildBaselineMetrics(name), b = ChildBaselineMetrics(argument);
  box.descent = std::max({a.descent, b.descent, n.quarter});
  box.ascent = std::max({a.ascent, b.ascent, n.size});
  AlignChildOnBaseline(name, 0, box.descent);
  AlignChildOnBaseline(argument, at, box.descent);
  box.width = SumFixed(at, argument.width, TypesetCharWidth(')'));
  box.baselineFlag = 1;
  PlaceExtraOperands(node, 2);
}

void LayoutSubstitution(ExprNode* node, int32_t mode) {
  const SizeUnits n = CurrentUnits();
  SetTypesetFont(kTextSlot);
  OperandBoxes operands(node, 1);
  TypesetBox& e = operands[0];
  const Substitution s = MeasureSubstitution(node, operands, n);
  TypesetBox& box = *node->box;
  if (mode == kLayoutDraw) {
    // The bar from S/10 over the bottom (over the lower value's baseline when there is one) to
    // S/10 under the expression's top.
    const Fixed own = SumFixed(box.descent, -int64_t{s.descent});
    const Fixed from = SumFixed(own, n.tenth, node->arity >= 2 ? operands[1].descent : 0);
    const Fixed to = SumFixed(own, s.expressionBottom, BoxHeight(e), -int64_t{n.tenth});
    MoveToNodePoint(node, SumFixed(e.width, n.U(200)), from);
    return TypesetLine(0, SaturateFixed(int64_t{from} - to));
  }
  if (mode != kLayoutMeasure) return;
  PlaceChild(e, 0, s.expressionBottom);
  if (node->arity >= 2) PlaceChild(operands[1], s.valuesAt, 0);
  if (node->arity >= 3) {
    const Fixed bottom =
        std::max(SumFixed(s.expressionBottom, BoxHeight(e), -int64_t{n.size / 2}), BoxHeight(operands[1]));
    PlaceChild(operands[2], s.valuesAt, bottom);
  }
  box.descent = s.descent;
  box.ascent = s.ascent;
  box.width = s.width;
  box.baselineFlag = e.baselineFlag;
  PlaceExtraOperands(node, 3);
}

void LayoutBesselJ(ExprNode* node, int32_t mode) {
  const SizeUnits n = CurrentUnits();
  SetTypesetFont(kTextSlot);
  OperandBoxes operands(node, 2);
  TypesetBox &argument = operands[0], &order = operands[1];
  const Fixed j = TypesetCharWidth('J'), open = TypesetCharWidth('(');
  const Fixed argumentAt = SumFixed(j, order.width, open);
  TypesetBox& box = *node->box;
  if (mode == kLayoutDraw) {
    DrawCharAt(node, 0, box.descent, 'J');
    DrawCharAt(node, SumFixed(j, order.width), box.descent, '(');
    return DrawCharAt(node, SumFixed(argumentAt, argument.width), box.descent, ')');
  }
  if (mode != kLayoutMeasure) return;
  const Fixed height = BoxHeight(order), drop = SubscriptDrop(n.size, height);
  const BaselineMetrics m = ChildBaselineMetrics(argument);
  box.descent = std::max({m.descent, n.quarter, SumFixed(height, -int64_t{drop})});
  box.ascent = std::max(m.ascent, n.size);
  PlaceChild(order, j, SumFixed(box.descent, drop, -int64_t{height}));
  AlignChildOnBaseline(argument, argumentAt, box.descent);
  box.width = SumFixed(argumentAt, argument.width, TypesetCharWidth(')'));
  box.baselineFlag = 1;
  PlaceExtraOperands(node, 2);
}

void LayoutGrad(ExprNode* node, int32_t mode) {
  const SizeUnits n = CurrentUnits();
  SetTypesetFont(kSymbolSlot);
  const Fixed nabla = TypesetCharWidth(kNabla);
  if (mode == kLayoutDraw) return DrawCharAt(node, 0, node->box->descent, kNabla);
  if (mode != kLayoutMeasure) return;
  if (node->arity < 2) return PrefixBox(node, nabla);
  TypesetBox &operand = *node->children[0]->box, &subscript = *node->children[1]->box, &box = *node->box;
  const Fixed height = BoxHeight(subscript), drop = SubscriptDrop(n.size, height);
  const BaselineMetrics m = ChildBaselineMetrics(operand);
  box.descent = std::max({m.descent, n.quarter, SumFixed(height, -int64_t{drop})});
  box.ascent = std::max(m.ascent, n.size);
  PlaceChild(subscript, nabla, SumFixed(box.descent, drop, -int64_t{height}));
  AlignChildOnBaseline(operand, SumFixed(nabla, subscript.width), box.descent);
  box.width = SumFixed(nabla, subscript.width, operand.width);
  box.baselineFlag = 1;
  PlaceExtraOperands(node, 2);
}

void LayoutLaplacian(ExprNode* node, int32_t mode) {
  const SizeUnits n = CurrentUnits();
  SetTypesetFont(kSymbolSlot);
  const Fixed nabla = TypesetCharWidth(kNabla);
  const int level = std::min<int>(node->box->scriptLevel + 1, kScriptLevelCount - 1);
  const Fixed small = TypesetGlobals().currentStyle[level];
  const Fixed raised = SumFixed(n.size, MulDivFixed(small, 3, 16));  // the "2"'s top
  Fixed two = 0;
  {
    TypesetFontScope scope;
    SetTypesetFont(kTextSlot);
    SetTypesetSize(small);
    two = TypesetCharWidth('2');
    if (mode == kLayoutDraw) DrawCharAt(node, nabla, SumFixed(node->box->descent, raised, -int64_t{small}), '2');
  }
  if (mode == kLayoutDraw) return DrawCharAt(node, 0, node->box->descent, kNabla);
  if (mode != kLayoutMeasure) return;
  OperandBoxes operands(node, 1);
  TypesetBox &operand = operands[0], &box = *node->box;
  const BaselineMetrics m = ChildBaselineMetrics(operand);
  box.descent = m.descent;
  box.ascent = std::max(raised, m.ascent);
  AlignChildOnBaseline(operand, SumFixed(nabla, two), box.descent);
  box.width = SumFixed(nabla, two, operand.width);
  box.baselineFlag = 1;
  PlaceExtraOperands(node, 1);
}
