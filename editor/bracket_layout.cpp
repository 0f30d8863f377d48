// Bracket and enclosure handlers. Each handler works out its own geometry from its operands'
// boxes in both modes; drawing measures from the node's baseline, which operands past those the
// kind uses never move, rather than from a bottom they may lower.
#include "editor/bracket_layout.h"

#include <algorithm>

#include "editor/layout_boxes.h"
#include "editor/matrix_layout.h"
#include "editor/typeset_primitives.h"
#include "kernel/trees/expr_node.h"

namespace {

// The height under which a brace is drawn as one glyph: its hooks and middle piece.
Fixed BraceMinimum() {
  return SumFixed(GlyphHeight(kBraceTop), GlyphHeight(kBraceMiddle), GlyphHeight(kBraceBottom));
}

// Two hooks at their full height: up to this a round bracket is one glyph.
Fixed SmallFormLimit() { return SumFixed(PieceFullHeight(kRoundTop), PieceFullHeight(kRoundBottom)); }

// Draws a stack whose start lies `start` above the node's reference line (negative: below it).
void DrawPieceStack(const ExprNode* node, const PieceStack& stack, Fixed x, Fixed start, bool right) {
  SetTypesetFont(kSymbolSlot);
  const int64_t count = PieceCount(stack);
  for (int64_t i = 0; i < count; ++i) {
    StackedPiece piece = PieceOfStack(stack, i);
    const Fixed up = SumFixed(node->box->descent, start, piece.lowest, GlyphDescent(piece.code));
    DrawCharAt(node, x, up, right ? piece.code + kRightPieceOffset : piece.code);
  }
}

// ---- id, lparen, rparen ------------------------------------------------------------------------

struct BracketBox {
  Fixed pw;                 // width of "(" (of "{" for a brace)
  Fixed descent, ascent;    // the bracket's own extents about the baseline
  Fixed childX, width;
};

// The bracket of a kind round content of the given extents; `aroundId` for an id whose only
// child is again an id.
BracketBox MeasureBracketAround(uint32_t kind, bool aroundId, const BaselineMetrics& m, Fixed contentWidth,
                                const SizeUnits& n) {
  const bool brace = kind == KindLparen;
  SetTypesetFont(kSymbolSlot);
  BracketBox b{TypesetCharWidth(brace ? '{' : '('), 0, 0, 0, 0};
  if (aroundId)  // no growth round an id
    return BracketBox{b.pw, m.descent, m.ascent, SumFixed(n.U(238), b.pw),
                      SumFixed(contentWidth, n.U(476), 2 * int64_t{b.pw})};
  const Fixed a = std::max(m.ascent, n.size), d = std::max(m.descent, n.quarter);
  // Seen from the axis, the longer side may pass the shorter by 500u at most.
  const int64_t up = int64_t{a} - n.axis, down = int64_t{d} + n.axis;
  int64_t extraAbove = std::max<int64_t>(down - up - n.U(500), 0);
  int64_t extraBelow = std::max<int64_t>(up - down - n.U(500), 0);
  if (brace) {
    const int64_t total = int64_t{a} + d + extraAbove + extraBelow, least = BraceMinimum();
    if (2 * total > 3 * int64_t{GlyphHeight(kRoundExtension)} && total < least) {
      extraAbove += least - total;
      extraBelow += least - total;
    }
  }
  b.descent = SaturateFixed(d + extraBelow);
  b.ascent = SaturateFixed(a + extraAbove);
  b.childX = kind == KindRparen ? 0 : SumFixed(n.U(263), b.pw);
  b.width = SumFixed(contentWidth, n.U(476), b.pw, kind == KindId ? b.pw : 0);
  return b;
}

BracketBox MeasureBracketBox(const ExprNode* node, TypesetBox& child, const SizeUnits& n) {
  const bool aroundId = node->kind == KindId && node->arity == 1 && node->children[0]->kind == KindId;
  return MeasureBracketAround(node->kind, aroundId, ChildBaselineMetrics(child), child.width, n);
}

// Draws the bracket of a kind whose box starts x right of the node's left edge, on the node's
// baseline.
void DrawBracket(const ExprNode* node, uint32_t kind, Fixed x, const BracketBox& b, Fixed childWidth,
                 const SizeUnits& n) {
  const Fixed h = SumFixed(b.descent, b.ascent, -n.U(200)), edge = SumFixed(x, n.U(167));
  const bool brace = kind == KindLparen, left = kind != KindRparen, right = !brace;
  SetTypesetFont(kSymbolSlot);
  if (h <= SmallFormLimit() || (brace && h < BraceMinimum())) {
    if (left) DrawCharAt(node, edge, node->box->descent, brace ? '{' : '(');
    if (right) DrawCharAt(node, SumFixed(edge, b.pw, childWidth, n.U(142)), node->box->descent, ')');
    return;
  }
  const Fixed start = SaturateFixed(int64_t{n.tenth} - b.descent);
  if (brace) return DrawPieceStack(node, BracePieceStack(h), edge, start, false);
  const PieceStack stack = RoundPieceStack(h);
  if (left) DrawPieceStack(node, stack, edge, start, false);
  // rparen's child stands at 0, yet its bracket stands where id's would: 309u + pw after it.
  const Fixed further =
      kind == KindRparen ? SumFixed(n.U(309), childWidth) : SumFixed(n.U(309), childWidth, b.pw, -n.U(200));
  DrawPieceStack(node, stack, SumFixed(edge, further), start, true);
}

// ---- choice ------------------------------------------------------------------------------------

struct ChoiceBox {
  Fixed pw, column, gap, height, pad;
};

// Two operands centred in a column after g = 71u + 167u + pw, the top one S/10 over the bottom
// one; at least as tall as the two hooks of its always-built brackets and their margins.
ChoiceBox MeasureChoice(TypesetBox& top, TypesetBox& bottom, const SizeUnits& n) {
  SetTypesetFont(kSymbolSlot);
  ChoiceBox c{TypesetCharWidth('('), std::max(top.width, bottom.width), 0, 0, 0};
  c.gap = SumFixed(n.U(71), n.U(167), c.pw);
  const int64_t content = int64_t{BoxHeight(top)} + n.tenth + BoxHeight(bottom);
  const int64_t least = int64_t{GlyphHeight(kRoundTop)} + GlyphHeight(kRoundBottom) + n.U(200);
  c.pad = SaturateFixed(std::max<int64_t>(least - content, 0) / 2);
  c.height = SaturateFixed(content + 2 * int64_t{c.pad});
  return c;
}

void LayoutChoice(ExprNode* node, int32_t mode, const SizeUnits& n) {
  OperandBoxes operands(node, 2);
  TypesetBox &top = operands[0], &bottom = operands[1];
  const ChoiceBox c = MeasureChoice(top, bottom, n);
  const Fixed descent = c.height / 2;
  if (mode == kLayoutDraw) {
    const Fixed h = SubFixed(c.height, n.U(200)), start = SaturateFixed(int64_t{n.tenth} - descent);
    const PieceStack stack = RoundPieceStack(h);
    DrawPieceStack(node, stack, n.U(167), start, false);
    DrawPieceStack(node, stack, SumFixed(n.U(167), n.U(309), c.column, c.pw), start, true);
    return;
  }
  if (mode != kLayoutMeasure) return;
  TypesetBox& box = *node->box;
  PlaceChild(bottom, SumFixed(c.gap, CentredIn(c.column, bottom.width)), c.pad);
  PlaceChild(top, SumFixed(c.gap, CentredIn(c.column, top.width)), SumFixed(c.pad, BoxHeight(bottom), n.tenth));
  box.descent = descent;
  box.ascent = SubFixed(c.height, descent);
  box.width = SumFixed(2 * int64_t{c.gap}, c.column);
  box.baselineFlag = 0;
  PlaceExtraOperands(node, 2);
}

// ---- bars --------------------------------------------------------------------------------------

enum class Bars { kAbs, kFloor, kCeil };

void LayoutBars(ExprNode* node, int32_t mode, Bars bars) {
  const SizeUnits n = CurrentUnits();
  OperandBoxes operands(node, 1);
  TypesetBox& child = operands[0];
  const BaselineMetrics m = ChildBaselineMetrics(child);
  const Fixed gap = bars == Bars::kAbs ? SumFixed(n.U(200), n.rule) : SumFixed(n.rule, n.U(500));
  if (mode == kLayoutMeasure) {
    TypesetBox& box = *node->box;
    box.descent = m.descent;
    box.ascent = std::max(m.ascent, n.size);
    AlignChildOnBaseline(child, gap, box.descent);
    box.width = SumFixed(child.width, 2 * int64_t{gap});
    box.baselineFlag = 1;
    PlaceExtraOperands(node, 1);
    return;
  }
  if (mode != kLayoutDraw) return;
  const Fixed foot = SumFixed(node->box->descent, -int64_t{m.descent}, n.tenth);  // S/10 above the own bottom
  const Fixed height = BoxHeight(child);
  const Fixed length = SubFixed(height, bars == Bars::kAbs ? n.tenth : n.U(200));
  const Fixed sides[2] = {n.U(100), bars == Bars::kAbs ? SumFixed(gap, child.width, n.U(100))
                                                      : SumFixed(child.width, n.U(1000))};
  for (int side = 0; side < 2; ++side) {
    const Fixed inward = side == 0 ? n.U(300) : NegateFixed(n.U(300));
    MoveToNodePoint(node, bars == Bars::kFloor ? SumFixed(sides[side], inward) : sides[side], foot);
    if (bars == Bars::kFloor) TypesetLine(NegateFixed(inward), 0);  // the foot, towards the side
    TypesetLine(0, NegateFixed(length));
    if (bars == Bars::kCeil) TypesetLine(inward, 0);
  }
}

}  // namespace

PieceStack RoundPieceStack(Fixed h) {
  SetTypesetFont(kSymbolSlot);
  PieceStack s{false, 0, 0, GlyphHeight(kRoundBottom), GlyphHeight(kRoundExtension), 0, GlyphHeight(kRoundTop)};
  int64_t rest = int64_t{h} - s.bottom - s.top;
  if (s.extension > 0 && rest > s.extension) {  // whole extension pieces while more than one is left
    s.extensions = (rest - 1) / s.extension;
    rest -= s.extensions * s.extension;
  }
  s.margin = SaturateFixed(rest / 2);
  return s;
}

PieceStack BracePieceStack(Fixed h) {
  SetTypesetFont(kSymbolSlot);
  PieceStack s{true, 0, 0, GlyphHeight(kBraceBottom), GlyphHeight(kBraceExtension), GlyphHeight(kBraceMiddle),
               GlyphHeight(kBraceTop)};
  int64_t rest = int64_t{h} - s.bottom - s.middle - s.top;
  const int64_t pair = 2 * int64_t{s.extension};
  if (pair > 0 && rest > pair) {  // pairs of extension pieces, one each side of the middle
    s.extensions = (rest - 1) / pair;
    rest -= s.extensions * pair;
  }
  s.margin = SaturateFixed(rest / 2);
  return s;
}

int64_t PieceCount(const PieceStack& stack) { return 2 + (stack.brace ? 2 * stack.extensions + 1 : stack.extensions); }

StackedPiece PieceOfStack(const PieceStack& s, int64_t i) {
  const int64_t last = PieceCount(s) - 1;
  if (i <= 0) return StackedPiece{s.brace ? kBraceBottom : kRoundBottom, s.margin, s.bottom};
  int64_t lowest = int64_t{s.margin} + s.bottom + (i - 1) * int64_t{s.extension};
  if (s.brace && i > s.extensions + 1) lowest += int64_t{s.middle} - s.extension;  // past the middle
  if (i >= last) return StackedPiece{s.brace ? kBraceTop : kRoundTop, SaturateFixed(lowest), s.top};
  if (s.brace && i == s.extensions + 1) return StackedPiece{kBraceMiddle, SaturateFixed(lowest), s.middle};
  return StackedPiece{s.brace ? kBraceExtension : kRoundExtension, SaturateFixed(lowest), s.extension};
}

void LayoutBracket(ExprNode* node, int32_t mode) {
  const SizeUnits n = CurrentUnits();
  if (node->kind == KindChoice) return LayoutChoice(node, mode, n);
  OperandBoxes operands(node, 1);
  TypesetBox& child = operands[0];
  const BracketBox b = MeasureBracketBox(node, child, n);
  if (mode == kLayoutDraw) return DrawBracket(node, node->kind, 0, b, child.width, n);
  if (mode != kLayoutMeasure) return;
  TypesetBox& box = *node->box;
  box.descent = b.descent;
  box.ascent = b.ascent;
  AlignChildOnBaseline(child, b.childX, b.descent);
  box.width = b.width;
  box.baselineFlag = 1;
  PlaceExtraOperands(node, 1);
}

ParenthesesRoom MeasureParentheses(const BaselineMetrics& content, Fixed contentWidth) {
  const BracketBox b = MeasureBracketAround(KindId, false, content, contentWidth, CurrentUnits());
  return ParenthesesRoom{b.childX, SaturateFixed(int64_t{b.width} - b.childX - contentWidth), b.descent, b.ascent};
}

void DrawParentheses(const ExprNode* node, Fixed x, Fixed contentWidth, const ParenthesesRoom& room) {
  SetTypesetFont(kSymbolSlot);
  const BracketBox b{TypesetCharWidth('('), room.descent, room.ascent, room.before,
                     SumFixed(room.before, contentWidth, room.after)};
  DrawBracket(node, KindId, x, b, contentWidth, CurrentUnits());
}

void LayoutAbs(ExprNode* node, int32_t mode) { LayoutBars(node, mode, Bars::kAbs); }
void LayoutFloor(ExprNode* node, int32_t mode) { LayoutBars(node, mode, Bars::kFloor); }
void LayoutCeil(ExprNode* node, int32_t mode) { LayoutBars(node, mode, Bars::kCeil); }

void LayoutSet(ExprNode* node, int32_t mode) {
  const SizeUnits n = CurrentUnits();
  SetTypesetFont(kSymbolSlot);
  OperandBoxes operands(node, 1);
  TypesetBox& child = operands[0];
  const Fixed open = TypesetCharWidth('{');
  if (mode == kLayoutDraw) {
    DrawCharAt(node, 0, node->box->descent, '{');
    return DrawCharAt(node, SumFixed(open, child.width), node->box->descent, '}');
  }
  if (mode != kLayoutMeasure) return;
  TypesetBox& box = *node->box;
  const BaselineMetrics m = ChildBaselineMetrics(child);
  box.descent = m.descent;
  box.ascent = std::max(m.ascent, n.size);
  AlignChildOnBaseline(child, open, box.descent);
  box.width = SumFixed(open, child.width, TypesetCharWidth('}'));
  box.baselineFlag = 1;
  PlaceExtraOperands(node, 1);
}

void LayoutInterval(ExprNode* node, int32_t mode) {
  const SizeUnits n = CurrentUnits();
  const char open = node->kind == KindInterval ? '[' : node->kind == KindAcmut ? '{' : '(';
  const char close = node->kind == KindInterval ? ']' : node->kind == KindAcmut ? '}' : ')';
  SetTypesetFont(kTextSlot);
  OperandBoxes operands(node, 2);
  TypesetBox &first = operands[0], &second = operands[1];
  Fixed at[4];  // the first operand, the comma, the second operand, the closing glyph
  at[0] = TypesetCharWidth(open);
  at[1] = SumFixed(at[0], first.width);
  at[2] = SumFixed(at[1], TypesetCharWidth(','));
  at[3] = SumFixed(at[2], second.width);
  if (mode == kLayoutDraw) {
    const Fixed raised = SumFixed(node->box->descent, n.tenth);
    DrawCharAt(node, 0, raised, open);
    DrawCharAt(node, at[1], raised, ',');
    return DrawCharAt(node, at[3], raised, close);
  }
  if (mode != kLayoutMeasure) return;
  TypesetBox& box = *node->box;
  const BaselineMetrics a = ChildBaselineMetrics(first), b = ChildBaselineMetrics(second);
  box.descent = std::max({a.descent, b.descent, n.quarter});
  box.ascent = std::max({a.ascent, b.ascent, n.size});
  AlignChildOnBaseline(first, at[0], box.descent);
  AlignChildOnBaseline(second, at[2], box.descent);
  box.width = SumFixed(at[3], TypesetCharWidth(close));
  box.baselineFlag = 1;
  PlaceExtraOperands(node, 2);
}

void LayoutBranch(ExprNode* node, int32_t mode) {
  const SizeUnits n = CurrentUnits();
  SetTypesetFont(kSymbolSlot);
  const Fixed brace = TypesetCharWidth('{'), least = BraceMinimum();
  const ChildColumn column = MeasureChildColumn(node, n.U(500));
  // A block shorter than the brace's minimum is padded by S/10 and the shortfall on each side.
  const Fixed pad = column.height < least ? SumFixed(n.tenth, least, -int64_t{column.height}) : 0;
  const Fixed height = SumFixed(column.height, 2 * int64_t{pad});
  const Fixed descent = SaturateFixed(int64_t{pad} + column.height / 2 - n.axis);
  if (mode == kLayoutDraw) {
    const Fixed start = SaturateFixed(int64_t{n.tenth} - descent);
    return DrawPieceStack(node, BracePieceStack(SubFixed(height, n.U(200))), n.U(167), start, false);
  }
  if (mode != kLayoutMeasure) return;
  TypesetBox& box = *node->box;
  PlaceChildColumn(node, column, n.U(500), SumFixed(n.U(238), brace), pad);
  box.descent = descent;
  box.ascent = SaturateFixed(int64_t{height} - descent);
  box.width = SumFixed(n.U(476), column.width, brace);
  box.baselineFlag = 1;
}
