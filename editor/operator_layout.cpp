// Operator handlers. The infix handler walks its operands once for measuring and once for
// drawing with the same arithmetic, so every glyph lands in the room the measure made for it.
#include "editor/operator_layout.h"

#include <algorithm>

#include "editor/bracket_layout.h"
#include "editor/layout_boxes.h"
#include "editor/typeset_primitives.h"
#include "kernel/trees/expr_node.h"

namespace {

constexpr int32_t kPlusMinus = 177;
constexpr int32_t kNabla = 209;

bool IsSignKind(uint32_t kind) { return kind == KindMinus || kind == KindPm || kind == KindMp; }

uint8_t NotationOf(uint32_t kind) {
  const NodeKindRow* row = GetNodeKindRow(kind);
  return row ? row->notation : uint8_t{NotationAtom};
}

// Operands a kind expects: two for the binary kinds (and too-wide fractions and powers), else
// whatever the node has.
int32_t ExpectedOperands(uint32_t kind) {
  const NodeKindRow* row = GetNodeKindRow(kind);
  return row && row->arityClass == kArityTwo ? 2 : 0;
}

// The operator advance (end of one operand to the start of the next) and the spaces round the
// glyph. Leaves the glyph's slot selected.
struct InfixSpacing {
  Fixed advance, before, glyphWidth;
};

InfixSpacing SpacingOf(const ExprNode* node, const SizeUnits& n, KindGlyph glyph) {
  Fixed w = SelectGlyph(glyph);
  switch (node->kind) {
    case KindList: return {n.U(2500), 0, 0};  // nothing drawn between list items
    case KindTimes: return {ThinSpace(n), 0, w};
    case KindIf: return {SaturateFixed(int64_t{TypesetCharWidth('f')} + TypesetCharWidth('i') + n.U(500)), n.U(250), w};
    case KindEqual: {
      const ExprNode* p = node->parent;
      bool wide = !p || p->kind == KindAtop || p->kind == KindList;
      return wide ? InfixSpacing{SumFixed(w, n.U(1000)), n.U(500), w}
                  : InfixSpacing{SumFixed(w, n.U(666)), n.U(333), w};
    }
    case KindComma: return {SumFixed(w, n.U(250)), 0, w};
    case KindParallel: return {SaturateFixed(2 * int64_t{w} + n.U(500)), n.U(250), w};
    default: return {SumFixed(w, n.U(500)), n.U(250), w};
  }
}

// The parentheses round operand i of a node set in one line, when it needs them; none otherwise.
ParenthesesRoom OneLineGroup(const ExprNode* node, int32_t i, const TypesetBox& operand) {
  if (!NeedsOneLineParentheses(node, i)) return ParenthesesRoom{};
  return MeasureParentheses(ChildBaselineMetrics(operand), operand.width);
}

// Whether operand i of a plus steps back over the plus sign's room, its own sign standing there.
bool StepsBack(const ExprNode* node, int32_t i) {
  return node->kind == KindPlus && i > 0 && i < node->arity && IsSignKind(node->children[i]->kind);
}

void DrawInfixGlyph(const ExprNode* node, int32_t i, Fixed end, const InfixSpacing& sp, KindGlyph glyph,
                    const SizeUnits& n) {
  switch (node->kind) {
    case KindList: return;
    case KindPlus:
      if (StepsBack(node, i + 1)) return;  // the operand's own sign stands there
      break;
    case KindTimes:
      if (TimesShowsDot(node, i)) DrawCharAt(node, end, node->box->descent, glyph.code);
      return;
    case KindIf:
      MoveToBaselinePoint(node, SumFixed(end, sp.before));
      TypesetDrawChar('i');
      TypesetDrawChar('f');
      return;
    case KindParallel:
      MoveToNodePoint(node, SumFixed(end, sp.before), SumFixed(node->box->descent, n.tenth));
      TypesetDrawChar(glyph.code);
      TypesetDrawChar(glyph.code);
      return;
    default: break;
  }
  DrawCharAt(node, SumFixed(end, sp.before), node->box->descent, glyph.code);
}

}  // namespace

bool TimesShowsDot(const ExprNode* node, int32_t i) {
  if (i < 0 || i + 1 >= node->arity) return false;
  const ExprNode* a = node->children[i];
  const ExprNode* b = node->children[i + 1];
  if (NotationOf(a->kind) == NotationPrefix || a->kind == KindPrompt || b->kind == KindPrompt) return true;
  if (a->kind != KindNum) return false;
  bool powerOfNumber = b->kind == KindPower && b->arity > 0 && b->children[0]->kind == KindNum;
  return b->kind == KindNum || b->kind == KindMinus || powerOfNumber;
}

bool NeedsOneLineParentheses(const ExprNode* node, int32_t i) {
  if ((node->kind != KindOver && node->kind != KindPower) || !node->box || !node->box->tooWideFlag) return false;
  if (i < 0 || i >= node->arity) return false;
  const ExprNode* operand = node->children[i];
  if (operand->kind == KindOver || operand->kind == KindPower) return operand->box && operand->box->tooWideFlag;
  const NodeKindRow* row = GetNodeKindRow(operand->kind);
  if (!row || operand->arity == 0) return false;
  if (row->handler == LayoutHandler::InfixOperator) return true;
  // Prefix kinds reach to whatever follows them; a radical, a derivative operator and a brace
  // close themselves, as under a product.
  return row->notation == NotationPrefix && operand->kind != KindSqrt && operand->kind != KindOptotal &&
         operand->kind != KindOppartial && operand->kind != KindLparen;
}

Fixed OneLineClosingRoom(const ExprNode* operand) {
  const ExprNode* node = operand->parent;
  if (!node || !NeedsOneLineParentheses(node, IndexInParent(operand))) return 0;
  TypesetFontScope scope;
  SetTypesetSize(TypesetGlobals().currentStyle[std::min<int>(node->box->scriptLevel, kScriptLevelCount - 1)]);
  return MeasureParentheses(BaselineMetrics{}, 0).after;
}

void LayoutInfix(ExprNode* node, int32_t mode) {
  if (mode != kLayoutMeasure && mode != kLayoutDraw) return;
  const SizeUnits n = CurrentUnits();
  const KindGlyph glyph = GlyphOfKind(node->kind);
  const InfixSpacing sp = SpacingOf(node, n, glyph);
  OperandBoxes operands(node, ExpectedOperands(node->kind));
  const int32_t count = std::max<int32_t>(node->arity, ExpectedOperands(node->kind));
  TypesetBox& box = *node->box;
  if (mode == kLayoutMeasure) {
    box.descent = 0;
    box.ascent = n.size;
    for (int32_t i = 0; i < count; ++i) {
      const ParenthesesRoom group = OneLineGroup(node, i, operands[i]);
      BaselineMetrics m = ChildBaselineMetrics(operands[i]);
      box.descent = std::max({box.descent, m.descent, group.descent});
      box.ascent = std::max({box.ascent, m.ascent, group.ascent});
    }
  }
  const Fixed stepBack = SumFixed(n.U(250), sp.glyphWidth);
  int64_t x = 0;
  for (int32_t i = 0; i < count; ++i) {
    if (StepsBack(node, i)) x -= stepBack;
    TypesetBox& operand = operands[i];
    const ParenthesesRoom group = OneLineGroup(node, i, operand);
    if (mode == kLayoutDraw && group.before) {
      DrawParentheses(node, SaturateFixed(x), operand.width, group);
      SetTypesetFont(glyph.slot);
    }
    x += group.before;
    if (mode == kLayoutMeasure) AlignChildOnBaseline(operand, SaturateFixed(x), box.descent);
    x += int64_t{operand.width} + group.after;
    if (i + 1 == count) break;
    if (mode == kLayoutDraw) DrawInfixGlyph(node, i, SaturateFixed(x), sp, glyph, n);
    if (node->kind == KindTimes && TimesShowsDot(node, i)) x += sp.glyphWidth;
    x += sp.advance;
    x = std::clamp<int64_t>(x, INT32_MIN, INT32_MAX);
  }
  if (mode == kLayoutMeasure) {
    box.width = SaturateFixed(x);
    box.baselineFlag = 1;
  }
}

void LayoutPrefixOperator(ExprNode* node, int32_t mode) {
  const SizeUnits n = CurrentUnits();
  const bool nabla = node->kind == KindDiv || node->kind == KindCurl;
  SetTypesetFont(kSymbolSlot);
  const Fixed nablaWidth = nabla ? TypesetCharWidth(kNabla) : 0;
  const KindGlyph glyph = GlyphOfKind(node->kind);
  const Fixed glyphWidth = SelectGlyph(glyph);
  if (mode == kLayoutMeasure) {
    PrefixBox(node, SaturateFixed(int64_t{nablaWidth} + glyphWidth + (node->kind == KindUequal ? n.U(500) : 0)));
  } else if (mode == kLayoutDraw) {
    MoveToBaselinePoint(node, 0);
    if (nabla) {
      SetTypesetFont(kSymbolSlot);
      TypesetDrawChar(kNabla);
      SetTypesetFont(glyph.slot);
    }
    TypesetDrawChar(glyph.code);
  }
}

void LayoutNamedFunction(ExprNode* node, int32_t mode) {
  const SizeUnits n = CurrentUnits();
  const char* name = NodeKindName(node->kind);
  SetTypesetFont(kTextSlot);
  const Fixed g = ThinSpace(n), at = SaturateFixed(2 * int64_t{g} + TypesetTextWidth(name) + n.U(100));
  if (mode == kLayoutMeasure) {
    OperandBoxes operands(node, 1);
    TypesetBox& box = *node->box;
    TypesetBox& argument = operands[0];
    BaselineMetrics m = ChildBaselineMetrics(argument);
    box.descent = std::max(m.descent, node->kind == KindSgn ? n.quarter : 0);
    box.ascent = std::max(m.ascent, n.size);
    AlignChildOnBaseline(argument, at, box.descent);
    box.width = SaturateFixed(int64_t{at} + argument.width);
    box.baselineFlag = 1;
    PlaceExtraOperands(node, 1);
  } else if (mode == kLayoutDraw) {
    MoveToBaselinePoint(node, SaturateFixed(2 * int64_t{g}));
    TypesetDrawString(name);
  }
}

void LayoutSign(ExprNode* node, int32_t mode) {
  const SizeUnits n = CurrentUnits();
  SetTypesetFont(kSymbolSlot);
  if (mode == kLayoutMeasure) {
    const bool inPlus = node->parent && node->parent->kind == KindPlus;
    PrefixBoxTight(node, SumFixed(TypesetCharWidth(kPlusMinus), n.U(inPlus ? 250 : 150)));
  } else if (mode == kLayoutDraw) {
    const Fixed baseline = node->box->descent;
    if (node->kind == KindMp) {  // "+" lowered by S/10 under a "-" raised by a
      DrawCharAt(node, 0, SubFixed(baseline, n.tenth), '+');
      DrawCharAt(node, 0, SumFixed(baseline, n.axis), '-');
    } else {
      DrawCharAt(node, 0, baseline, GlyphOfKind(node->kind).code);
    }
  }
}

void LayoutLog(ExprNode* node, int32_t mode) {
  const SizeUnits n = CurrentUnits();
  SetTypesetFont(kTextSlot);
  if (mode == kLayoutDraw) {
    MoveToBaselinePoint(node, 0);
    TypesetDrawString("log");
  }
  if (mode != kLayoutMeasure) return;
  const Fixed w = SumFixed(TypesetTextWidth("log"), n.U(100));
  OperandBoxes operands(node, 1);
  TypesetBox& box = *node->box;
  TypesetBox& argument = operands[0];
  BaselineMetrics m = ChildBaselineMetrics(argument);
  box.descent = std::max(m.descent, n.quarter);
  box.ascent = std::max(m.ascent, n.size);
  int64_t x = w;
  if (operands.Has(1)) {  // the base, its top `drop` above the baseline
    TypesetBox& base = operands[1];
    const Fixed height = BoxHeight(base), drop = SubscriptDrop(n.size, height);
    box.descent = std::max<Fixed>(box.descent, SaturateFixed(int64_t{height} - drop));
    PlaceChild(base, w, SaturateFixed(int64_t{box.descent} + drop - height));
    x += base.width;
  }
  AlignChildOnBaseline(argument, SaturateFixed(x), box.descent);
  box.width = SaturateFixed(x + argument.width);
  box.baselineFlag = 1;
  PlaceExtraOperands(node, 2);
}

void LayoutPostfix(ExprNode* node, int32_t mode) {
  const SizeUnits n = CurrentUnits();
  const KindGlyph glyph = GlyphOfKind(node->kind);
  const Fixed glyphWidth = SelectGlyph(glyph);
  OperandBoxes operands(node, 1);
  TypesetBox& operand = operands[0];
  if (mode == kLayoutMeasure) {
    TypesetBox& box = *node->box;
    box.descent = operand.descent;
    box.ascent = std::max(operand.ascent, n.size);
    PlaceChild(operand, 0, 0);
    box.width = SaturateFixed(int64_t{operand.width} + glyphWidth);
    box.baselineFlag = 1;
    PlaceExtraOperands(node, 1);
  } else if (mode == kLayoutDraw) {
    DrawCharAt(node, operand.width, node->box->descent, glyph.code);
  }
}
