// Layout handlers of what encloses its operands: stretchable brackets (id, the automatic and
// user parentheses; lparen, a left brace alone; rparen, a right parenthesis alone; choice, the
// binomial coefficient), bars drawn as rules (abs, floor, ceil), glyph pairs (set, interval,
// acmut, inprod) and the brace of branch. Tall brackets are stacked from Symbol pieces whose
// stack is worked out once from the left pieces' metrics; the right side draws the same stack
// with the right-hand codes, so both sides always match. A built stack is centred in the height
// it is given, its pieces touching end to end.
#pragma once

#include <cstdint>

#include "editor/layout_boxes.h"
#include "editor/typeset_units.h"

struct ExprNode;

enum BracketPiece : int32_t {
  kRoundTop = 230,
  kRoundExtension = 231,
  kRoundBottom = 232,
  kRightPieceOffset = 16,  // 246, 247, 248: the right round pieces
  kBraceTop = 236,
  kBraceMiddle = 237,
  kBraceBottom = 238,
  kBraceExtension = 239,
};

// A stack of pieces from the bottom up: the bottom hook, extension pieces (for a brace, as many
// on each side of its middle piece), the top hook. Heights are the Symbol slot's GlyphHeight at
// the size current when the stack was made.
struct PieceStack {
  bool brace;
  Fixed margin;        // from the stack's start to the bottom piece's lowest point
  int64_t extensions;  // a brace: extension pieces on each side of the middle piece
  Fixed bottom, extension, middle, top;  // piece heights
};
// Round and brace stacks for a height h: whole extension pieces (pairs for a brace) fill what the
// hooks leave, and the margin centres the rest. A brace's hooks and middle piece always show.
PieceStack RoundPieceStack(Fixed h);
PieceStack BracePieceStack(Fixed h);
int64_t PieceCount(const PieceStack& stack);
struct StackedPiece {
  int32_t code;   // a left piece
  Fixed lowest;   // above the stack's start
  Fixed height;
};
StackedPiece PieceOfStack(const PieceStack& stack, int64_t i);  // i from the bottom, < PieceCount

// Round brackets for id and rparen, a brace for lparen, built pieces on both sides for choice;
// one-glyph brackets while the content is at most two hooks' full height (2.438 S) high.
void LayoutBracket(ExprNode* node, int32_t mode);
// Round parentheses round a span of a row that is not a node of its own (an operand of a
// fraction or power set on one line): the room an id gives its content before and after it, and
// the extents they grow to about the row's baseline, at the current size.
struct ParenthesesRoom {
  Fixed before, after, descent, ascent;
};
ParenthesesRoom MeasureParentheses(const BaselineMetrics& content, Fixed contentWidth);
// Draws them as an id draws its own, round content whose room starts x right of the node's left
// edge, on the node's baseline.
void DrawParentheses(const ExprNode* node, Fixed x, Fixed contentWidth, const ParenthesesRoom& room);
// Vertical rules 100u inside each side; floor and ceil add 300u feet at the bottom or the top.
void LayoutAbs(ExprNode* node, int32_t mode);
void LayoutFloor(ExprNode* node, int32_t mode);
void LayoutCeil(ExprNode* node, int32_t mode);
// "{" and "}" of the Symbol slot round the operand.
void LayoutSet(ExprNode* node, int32_t mode);
// interval "[a, b]", acmut "{a, b}", inprod "(a, b)" in the text slot, glyphs raised by S/10.
void LayoutInterval(ExprNode* node, int32_t mode);
// A built left brace before its rows, stacked from the top and centred on the axis; a short
// block is padded to the brace's minimum height.
void LayoutBranch(ExprNode* node, int32_t mode);
