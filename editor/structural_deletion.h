// Structural deletion and the clear command. Backspace removes an operator with what it binds,
// dissolves brackets and signs, takes the last digit or character of a text, turns a deleted
// operand into a prompt and then removes the prompt, and joins the operands beside a deleted
// operator into a product. The tree stays one that can be typeset: a node losing one of two
// operands collapses into the other, a longer one shrinks, an emptied structure becomes a prompt.
#pragma once

#include <cstdint>

struct ExprNode;

// Backspace: by the selection mode, then the layout is invalidated.
void DeleteBackward();

// The caret node becomes a prompt (a factor's prompt then goes too); a prompt root stays.
void DeleteCaretNode();
// Removes the prompt that is the caret node from its parent (index lists, tensors, chemical
// indices and vectors by their own rules; the first operand of a big operator, substitution or
// integral is kept and its parent selected instead).
void DeletePrompt();
// Mode 3: what stands just before the caret (the last digit, a bracket, the node).
void DeleteBeforeCaret();
// Mode 4: the operator or structure on the caret's left.
void DeleteOperatorBefore();
// Mode 3 on a string: its last character, or the string itself when empty.
void DeleteStringCharacter();
// Mode 2: the selected operator; its operands are joined into a product. The replacing form,
// for an operator typed over the selection, leaves a dissolved prefix sign's operand in mode 4
// without normalising.
void DeleteSelectedOperator();
void ReplaceSelectedOperator();

// The clear command: a digit or character range is removed, a selected node deleted (its prompt
// too when the caret is a prompt in a parent of several operands), whole rows or columns of a
// matrix block removed. Modes 3 and 4 clear nothing.
void ClearSelection();
void ClearMatrixBlock();

// The block of a mode-5 selection: rows r0..r1 and columns c0..c1 of a whole matrix of `rows` by
// `columns` cells (row by row). False without a block selected on such a matrix.
struct MatrixBlock {
  int32_t rows, columns;
  int32_t r0, r1, c0, c1;
  int32_t Height() const { return r1 - r0 + 1; }
  int32_t Width() const { return c1 - c0 + 1; }
  int32_t Cell(int32_t k) const { return (r0 + k / Width()) * columns + c0 + k % Width(); }  // k-th, row by row
};
bool SelectedMatrixBlock(MatrixBlock* block);

// A tensor whose indices are now all lower (all upper) becomes an index list.
void SimplifyTensorToIndexes(ExprNode* tensor);
