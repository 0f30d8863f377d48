// Big-operator and integral handlers, over one description of a big sign: its glyph measured at
// the big size, and where it reaches about the node's baseline once centred on the axis.
#include "editor/big_operator_layout.h"

#include <algorithm>

#include "editor/layout_boxes.h"
#include "editor/typeset_primitives.h"
#include "kernel/trees/expr_node.h"

namespace {

constexpr int32_t kIntegralSign = 242;

// A big sign: glyph extents T and B and width at the big size; U and L how far it reaches above
// and below the node's baseline once centred on the axis (a at the node's size).
struct BigSign {
  KindGlyph glyph;
  Fixed size, ascent, descent, width, above, below;
};

BigSign MeasureBigSign(KindGlyph glyph, int32_t level) {
  BigSign sign{glyph, TypesetGlobals().currentStyle[level], 0, 0, 0, 0, 0};
  {
    TypesetFontScope scope;
    SetTypesetSize(sign.size);
    sign.width = SelectGlyph(glyph);
    sign.ascent = GlyphAscent(glyph.code);
    sign.descent = GlyphDescent(glyph.code);
  }
  const int64_t height = int64_t{sign.ascent} + sign.descent, half = height / 2;
  const Fixed a = MathAxisOf(TypesetGlobals().metrics.typeSize);
  sign.above = SaturateFixed(half + a);
  sign.below = SaturateFixed(height - half - a);
  return sign;
}

BigSign SignOf(const ExprNode* node) {
  KindGlyph glyph = GlyphOfKind(node->kind);
  return MeasureBigSign(glyph, glyph.slot == kSymbolSlot && glyph.code == kIntegralSign ? 1 : 0);
}

// Draws the sign at its big size, left edge at x, its lowest point `below` under the node's
// baseline.
void DrawBigSign(const ExprNode* node, const BigSign& sign, Fixed x) {
  TypesetFontScope scope;
  SetTypesetSize(sign.size);
  SetTypesetFont(sign.glyph.slot);
  const Fixed lowest = SaturateFixed(int64_t{node->box->descent} - sign.below);
  DrawCharAt(node, x, SaturateFixed(int64_t{lowest} + sign.descent), sign.glyph.code);
  if (node->kind != KindOint) return;
  // The ring: an "o" at two thirds of the level-0 size (the sign itself is at level 1's), centred
  // on the sign.
  SetTypesetSize(MulDivFixed(TypesetGlobals().currentStyle[0], 2, 3));
  SetTypesetFont(kTextSlot);
  const Fixed ringWidth = TypesetCharWidth('o'), ringHeight = SubFixed(GlyphAscent('o'), GlyphDescent('o'));
  const int64_t centre = int64_t{lowest} + (int64_t{sign.ascent} + sign.descent) / 2;
  DrawCharAt(node, SaturateFixed(x + (int64_t{sign.width} - ringWidth) / 2), SaturateFixed(centre - ringHeight / 2),
             'o');
}

// Limits under and over a sign in a column W wide: the lower limit's top `gap` + 100u under the
// sign, the upper limit's bottom 50u over it. Returns the depth and height the limits need. The
// depth is 50u and the limit's height under the sign, whatever the gap: a lower limit that
// decides the descent hangs gap + 50u under the node's bottom (50u under a sum with a lower limit
// alone, 100u once there is an upper one, and under an integral).
struct Limits {
  Fixed depth, height;
};

Limits PlaceLimits(OperandBoxes& operands, int32_t lower, const BigSign& sign, Fixed column, Fixed descent,
                   Fixed gap, const SizeUnits& n) {
  Limits need{0, 0};
  if (operands.Has(lower)) {
    TypesetBox& limit = operands[lower];
    const int64_t height = BoxHeight(limit), bottom = int64_t{sign.below} + gap + n.U(100) + height;
    PlaceChild(limit, CentredIn(column, limit.width), SaturateFixed(descent - bottom));
    need.depth = SaturateFixed(int64_t{sign.below} + n.U(50) + height);
  }
  if (operands.Has(lower + 1)) {
    TypesetBox& limit = operands[lower + 1];
    const int64_t bottom = int64_t{sign.above} + n.U(50);
    PlaceChild(limit, CentredIn(column, limit.width), SaturateFixed(descent + bottom));
    need.height = SaturateFixed(bottom + BoxHeight(limit));
  }
  return need;
}

Fixed ColumnWidth(OperandBoxes& operands, int32_t lower, const BigSign& sign) {
  Fixed w = sign.width;
  for (int32_t i = lower; i <= lower + 1; ++i)
    if (operands.Has(i)) w = std::max(w, operands[i].width);
  return w;
}

}  // namespace

void LayoutBigOperator(ExprNode* node, int32_t mode) {
  const SizeUnits n = CurrentUnits();
  const BigSign sign = SignOf(node);
  OperandBoxes operands(node, 1);
  const Fixed column = ColumnWidth(operands, 1, sign);
  if (mode == kLayoutDraw) DrawBigSign(node, sign, CentredIn(column, sign.width));
  if (mode != kLayoutMeasure) return;
  // 50u over the sign once there is a lower limit, 50u under it too once there is an upper one.
  const Fixed over = operands.Has(1) ? n.U(50) : 0, under = operands.Has(2) ? n.U(50) : 0;
  TypesetBox& box = *node->box;
  TypesetBox& operand = operands[0];
  BaselineMetrics m = ChildBaselineMetrics(operand);
  // Sizes first with the limits at a trial depth, then the limits at the final one.
  Limits need = PlaceLimits(operands, 1, sign, column, 0, under, n);
  box.descent = std::max({m.descent, sign.below, need.depth});
  box.ascent = std::max({m.ascent, SaturateFixed(int64_t{sign.above} + over), need.height});
  PlaceLimits(operands, 1, sign, column, box.descent, under, n);
  AlignChildOnBaseline(operand, SumFixed(column, n.U(100)), box.descent);
  box.width = SaturateFixed(int64_t{column} + n.U(100) + operand.width);
  box.baselineFlag = 1;
  PlaceExtraOperands(node, 3);
}

void LayoutIntegral(ExprNode* node, int32_t mode) {
  const SizeUnits n = CurrentUnits();
  const BigSign sign = SignOf(node);
  OperandBoxes operands(node, 2);
  TypesetBox &integrand = operands[0], &variable = operands[1];
  const Fixed column = ColumnWidth(operands, 2, sign);
  SetTypesetFont(kTextSlot);
  const Fixed d = TypesetCharWidth('d');
  const Fixed variableAt = SaturateFixed(int64_t{column} + n.U(100) + integrand.width + d);
  if (mode == kLayoutDraw) {
    // Centred on the axis where U and L were measured, as a big operator's sign: with its
    // baseline on the node's it would reach T above it, past U, out of the box and into the
    // upper limit.
    DrawBigSign(node, sign, CentredIn(column, sign.width));
    SetTypesetFont(kTextSlot);
    return DrawCharAt(node, SubFixed(variableAt, d), node->box->descent, 'd');
  }
  if (mode != kLayoutMeasure) return;
  TypesetBox& box = *node->box;
  BaselineMetrics a = ChildBaselineMetrics(integrand), b = ChildBaselineMetrics(variable);
  // Sizes first with the limits at a trial depth, then the limits at the final one.
  Limits need = PlaceLimits(operands, 2, sign, column, 0, n.U(50), n);
  box.descent = std::max({sign.below, a.descent, b.descent, need.depth});
  box.ascent = std::max({sign.above, a.ascent, b.ascent, need.height});
  PlaceLimits(operands, 2, sign, column, box.descent, n.U(50), n);
  AlignChildOnBaseline(integrand, SumFixed(column, n.U(100)), box.descent);
  AlignChildOnBaseline(variable, variableAt, box.descent);
  box.width = SaturateFixed(int64_t{variableAt} + variable.width);
  box.baselineFlag = 1;
  PlaceExtraOperands(node, 4);
}
