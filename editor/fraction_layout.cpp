// Fraction, power and scientific-notation handlers. The sin² case moves its base's argument and
// widens the base after the base was measured: positions are made later, so the move holds.
#include "editor/fraction_layout.h"

#include <algorithm>

#include "editor/layout_boxes.h"
#include "editor/operator_layout.h"
#include "editor/typeset_primitives.h"
#include "kernel/trees/expr_node.h"

namespace {

constexpr int32_t kMultiplicationCross = 180;

bool IsExponent(const ExprNode* node) {
  const ExprNode* p = node->parent;
  return p && p->kind == KindPower && p->arity > 1 && p->children[1] == node;
}

bool TooWide(const ExprNode* node) { return node->box->tooWideFlag != 0; }

// A named function or log with its one operand: the exponent goes before the argument.
bool IsFunctionNameBase(const ExprNode* base) {
  return (IsNamedFunctionKind(base->kind) || base->kind == KindLog) && base->arity == 1;
}

// The width of the lone subscript of an indexes base (x₁²), over which the exponent stands.
Fixed SubscriptUnderExponent(const ExprNode* node) {
  if (node->arity < 1) return 0;
  const ExprNode* base = node->children[0];
  if (base->kind != KindIndexes || base->arity != 2 || base->value.halves.second != 1) return 0;
  return base->children[1]->box->width;
}

void MeasureBuiltFraction(TypesetBox& box, TypesetBox& numerator, TypesetBox& denominator, const SizeUnits& n) {
  const Fixed w = std::max(numerator.width, denominator.width);
  const Fixed below = BoxHeight(denominator);
  PlaceChild(numerator, SumFixed(n.U(83), CentredIn(w, numerator.width)),
             SaturateFixed(int64_t{below} + n.U(200) + n.rule));
  PlaceChild(denominator, SumFixed(n.U(83), CentredIn(w, denominator.width)), 0);
  box.width = SaturateFixed(int64_t{w} + n.U(166));
  // The reference line is the bar's middle; the ascent takes what the halved t leaves, so the box
  // holds the numerator exactly whatever the parity of t.
  box.descent = SaturateFixed(int64_t{below} + n.U(100) + n.rule / 2);
  box.ascent = SaturateFixed(int64_t{BoxHeight(numerator)} + below + n.U(200) + n.rule - box.descent);
  box.baselineFlag = 0;
}

}  // namespace

bool IsInlineFraction(const ExprNode* node) {
  if (node->arity < 2 || node->children[0]->arity != 0 || node->children[1]->arity != 0) return false;
  const ExprNode* p = node->parent;
  return IsExponent(node) || (p && p->kind == KindMinus && IsExponent(p));
}

void LayoutFraction(ExprNode* node, int32_t mode) {
  if (TooWide(node)) return LayoutInfix(node, mode);
  const SizeUnits n = CurrentUnits();
  OperandBoxes operands(node, 2);
  TypesetBox &numerator = operands[0], &denominator = operands[1];
  const bool inline_ = IsInlineFraction(node);
  SetTypesetFont(kTextSlot);
  if (mode == kLayoutDraw) {
    if (inline_) return DrawCharAt(node, SumFixed(numerator.width, n.U(111)), node->box->descent, '/');
    MoveToBaselinePoint(node, n.U(83));
    return TypesetLine(SubFixed(std::max(numerator.width, denominator.width), n.tenth), 0);
  }
  if (mode != kLayoutMeasure) return;
  TypesetBox& box = *node->box;
  if (inline_) {
    const Fixed gap = SumFixed(n.U(222), TypesetCharWidth('/'));
    BaselineMetrics a = ChildBaselineMetrics(numerator), b = ChildBaselineMetrics(denominator);
    box.descent = std::max(a.descent, b.descent);
    box.ascent = std::max(a.ascent, b.ascent);
    AlignChildOnBaseline(numerator, 0, box.descent);
    AlignChildOnBaseline(denominator, SaturateFixed(int64_t{numerator.width} + gap), box.descent);
    box.width = SaturateFixed(int64_t{numerator.width} + gap + denominator.width);
    box.baselineFlag = 1;
  } else {
    MeasureBuiltFraction(box, numerator, denominator, n);
  }
  PlaceExtraOperands(node, 2);
}

void LayoutPower(ExprNode* node, int32_t mode) {
  if (TooWide(node)) return LayoutInfix(node, mode);
  if (mode != kLayoutMeasure) return;
  const SizeUnits n = CurrentUnits();
  OperandBoxes operands(node, 2);
  TypesetBox &base = operands[0], &exponent = operands[1];
  TypesetBox& box = *node->box;
  const Fixed exponentHeight = BoxHeight(exponent);
  PlaceChild(base, 0, 0);
  box.descent = base.descent;
  if (node->arity >= 1 && IsFunctionNameBase(node->children[0])) {
    TypesetBox& argument = *node->children[0]->children[0]->box;
    PlaceChild(exponent, SaturateFixed(int64_t{base.width} - argument.width - n.U(100)),
               SaturateFixed(int64_t{base.descent} + n.quarter));
    argument.relativeHorizontal = SaturateFixed(int64_t{argument.relativeHorizontal} + exponent.width);
    base.width = SaturateFixed(int64_t{base.width} + exponent.width);
    box.width = base.width;
    box.ascent = std::max(base.ascent, SaturateFixed(int64_t{exponentHeight} + n.quarter));
    box.baselineFlag = 1;
  } else {
    const Fixed raise = SuperscriptRaise(base.ascent, exponentHeight), s = SubscriptUnderExponent(node);
    PlaceChild(exponent, SubFixed(base.width, s), SaturateFixed(int64_t{BoxHeight(base)} - raise));
    box.width = SaturateFixed(int64_t{base.width} - s + std::max(s, exponent.width));
    box.ascent = SaturateFixed(int64_t{base.ascent} - raise + exponentHeight);
    box.baselineFlag = base.baselineFlag;
  }
  PlaceExtraOperands(node, 2);
}

void LayoutScientific(ExprNode* node, int32_t mode) {
  const SizeUnits n = CurrentUnits();
  OperandBoxes operands(node, 2);
  TypesetBox &mantissa = operands[0], &exponent = operands[1];
  const Fixed thin = ThinSpace(n);
  SetTypesetFont(kTextSlot);
  if (mode == kLayoutDraw) {
    const Fixed at = SumFixed(mantissa.width, thin), baseline = node->box->descent;
    if (TooWide(node)) return DrawCharAt(node, at, baseline, 'E');
    SetTypesetFont(kSymbolSlot);
    DrawCharAt(node, at, baseline, kMultiplicationCross);
    SetTypesetFont(kTextSlot);
    TypesetDrawChar('1');
    TypesetDrawChar('0');
    return;
  }
  if (mode != kLayoutMeasure) return;
  TypesetBox& box = *node->box;
  PlaceChild(mantissa, 0, 0);
  if (TooWide(node)) {
    const Fixed at = SaturateFixed(int64_t{mantissa.width} + 2 * int64_t{n.tenth} + TypesetCharWidth('E'));
    PlaceChild(exponent, at, 0);
    box.width = SaturateFixed(int64_t{at} + exponent.width);
    box.descent = std::max(mantissa.descent, exponent.descent);
    box.ascent = std::max(mantissa.ascent, exponent.ascent);
  } else {
    const Fixed ten = SumFixed(TypesetCharWidth('1'), TypesetCharWidth('0'));
    SetTypesetFont(kSymbolSlot);
    const Fixed at = SaturateFixed(int64_t{mantissa.width} + TypesetCharWidth(kMultiplicationCross) + thin + ten);
    const Fixed half = n.size / 2, exponentHeight = BoxHeight(exponent);
    PlaceChild(exponent, at, SaturateFixed(int64_t{half} + mantissa.descent));
    box.width = SaturateFixed(int64_t{at} + exponent.width);
    box.descent = mantissa.descent;
    // mantissa ascent - S/2 + exponent height; a mantissa shorter than S still leaves the raised
    // exponent (its bottom S/2 above the baseline) inside the box.
    box.ascent = SaturateFixed(std::max<int64_t>(
        {int64_t{mantissa.ascent} - half + exponentHeight, int64_t{half} + exponentHeight, mantissa.ascent}));
  }
  box.baselineFlag = mantissa.baselineFlag;
  PlaceExtraOperands(node, 2);
}
