// Tree edits at the caret. The kernel's edits that free a node's shell (MoveNodeInto, UnwrapNode,
// a two-operand RemoveOperand) are wrapped so that a caret on the freed shell moves to the node
// that took its content; callers read the caret node back from the editor after them. Then the
// insertions: a node wrapped around the caret node, a prompt operand after or before it. Each
// places the caret as stated and changes nothing when memory is refused (false or null).
#pragma once

#include <cstdint>

struct ExprNode;

void MoveNodeIntoKeepingCaret(ExprNode* source, ExprNode* destination);
// A one-operand node takes its operand's content.
bool UnwrapNodeKeepingCaret(ExprNode* node);
// Removes operand i (a two-operand node takes the other's content) and returns it detached.
ExprNode* RemoveOperandKeepingCaret(ExprNode* node, int32_t i);
bool RemoveOperandAndFreeKeepingCaret(ExprNode* node, int32_t i);
// Frees a detached or attached subtree; a caret inside it moves to `heir` first.
void FreeSubtreeKeepingCaret(ExprNode* subtree, ExprNode* heir);

// A new node of the kind with `arity` operands takes the caret node's place (or becomes the
// root); the caret node becomes operand `slot`, the others new prompts. The caret: with two or
// more operands the first prompt is selected; with one, the new node when a palette sent the
// command (unless the kind is oppartial or the wrapped node a prompt), else a wrapped prompt is
// selected, a postfix kind puts the caret after the new node and a prefix kind before the
// wrapped node. Returns the new node, null (nothing changed) when memory is refused.
ExprNode* WrapCaretNodeInKind(uint32_t kind, int32_t arity, int32_t slot);
// Grows the node by a prompt operand at index and selects the prompt. A node at the operand
// limit stays as it is and error 7 is posted (RefuseAtOperandLimit).
bool InsertPromptOperand(ExprNode* node, int32_t index);
// A prompt operand of the kind after (before) the caret node: appended to (put first in) a
// caret node of that kind, put next to the caret node in a parent of that kind, or else the
// caret node wrapped in a new two-operand node. A product typed before the base of a power
// wraps the power.
bool InsertOperatorAfterCaret(uint32_t kind);
bool InsertOperatorBeforeCaret(uint32_t kind);

// The node is bound to its parent as a factor, a negated term or a function's argument (the
// base of a log, a function applied to a power's base), so typing after it goes after the parent.
bool IsAttachedOperand(const ExprNode* node);
// A caret after a parentheses group climbs while the group (and then each parent) is attached.
void ClimbFromAttachedGroup();
