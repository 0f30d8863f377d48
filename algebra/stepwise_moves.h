// Stepwise term and factor moves: the selected operand goes one step left or right through an
// equation the way one moves terms by hand (past a neighbour, across the equal sign as -s or 1/s,
// out of or into a quotient, root, power, group or big operator, out of a sum as a common
// factor), raised and lowered indices, and the structural test behind term dragging.
// Invariants: a move runs on a copy of the formula and replaces it only when it succeeded whole,
// so a refused allocation leaves formula and caret as they were; every move that changed the
// formula ends with the caret on a live node of it, in mode 0; a shape a rule does not expect
// (operands missing, a malformed index list) changes nothing.
#pragma once

#include <cstdint>

struct ExprNode;

// +1 rightward (forward), -1 leftward (backward); set by each command before it runs. The move
// across the equal sign of a factor attaches with the direction negated.
int32_t& RewriteDirection();

// sum, prod, int and oint: operand 0 the body, operand 1 the variable or index equation.
bool IsBigOperatorKind(uint32_t kind);

// The commands 0x2100..0x2105: RewriteDirection set, DirectedRewrite(mode) on the caret node
// (mode 0 a neighbour swap, 1 to the far end of the parent, 2 combined with a neighbour where the
// neighbour's kind allows), then a caret left on an id group has the group unwrapped, and the
// layout is invalidated.
void DirectedRewriteForward(int32_t mode);
void DirectedRewriteBackward(int32_t mode);
void MathCommand2101();  // forward, combining
void MathCommand2102();  // forward to the end
void MathCommand2104();  // backward, combining
void MathCommand2105();  // backward to the end
// 0x2106 / 0x2107: RaiseSelectedIndex / LowerSelectedIndex, then the layout invalidated.
void MathCommand2106();
void MathCommand2107();
// 0x2108 / 0x2109: the selection changes places with its left (right) neighbour under any
// parent, over and power included (a structural edit that may change the value); the caret stays.
void MoveSelectedOperandLeft();
void MoveSelectedOperandRight();

// One move of the caret node in the current RewriteDirection. Nothing without an editor, a
// parent, or a rule for the shape.
void DirectedRewrite(int32_t mode);
// An index of an index list or tensor changes between lowered and raised (the node normalised by
// SimplifyTensorToIndexes); otherwise a factor moves between numerator and denominator as
// s^(-1). Direction +1 for raising, -1 for lowering.
void RaiseSelectedIndex();
void LowerSelectedIndex();

// The structural part of DirectedRewrite, end positions and independence not asked: whether the
// current editor's selection (mode 0: the caret node; mode 1: the range, a group of the caret
// node) could move. The kernel reaches it as CanMoveSelectedTerm, which dragging asks.
bool SelectedTermCanMove();
