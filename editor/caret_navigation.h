// Placing the caret and moving it. The caret is a node (the caret node) with a selection mode,
// a start and an end. SetFormulaSelection normalises until no rule applies, so equivalent places
// are one (after a + b is after b; before a factor is after the factor on its left). The motions
// change only the caret fields (FinishStringEntry aside), keep the caret node in the tree and its
// start and end valid for the mode, and repeated arrows always come to rest.
#pragma once

#include <cstdint>

struct ExprNode;

// Places the caret of the current editor on the node in the mode, then normalises. Start and
// end are zeroed in modes 0, 3 and 4 and kept otherwise (callers set them for ranges and text).
void SetFormulaSelection(ExprNode* node, int32_t mode);
void SetFormulaSelectionKeepMode(ExprNode* node);

// The motions of the codes 0x1600..0x1610 (the backspace aside).
void CaretRight();
void CaretLeft();
void CaretDescend();
void CaretToParent();
void CaretToLastChild();
void SelectNextLeaf();      // Tab: the next leaf selected, wrapping at the end
void SelectPreviousLeaf();  // Shift-Tab
void SelectNextPrompt();    // Option-Tab: the next prompt in pre-order, wrapping; none: no change
void ExtendSelectionRight();
void ExtendSelectionLeft();
void CaretExitGroup();      // ")": after the nearest enclosing parentheses or function
// The caret at the end of the formula, where Right comes to rest (out of an exponent, a
// denominator or a group that ends it); a prompt that ends the formula is selected, for typing
// into. Nothing without a current editor.
void CaretToFormulaEnd();
// Ends the text of a string that the caret stands after: a backslash name becomes its symbol or
// inserts its kind (re-dispatched); other texts are selected.
void FinishStringEntry();

// For the document's hint line: the caret (mode 3) ends an exponent, or a denominator.
bool IsCaretInExponent();
bool IsCaretInDenominator();

// The neighbours of a node's whole subtree in pre-order: the next (previous) sibling of the
// nearest ancestor-or-self that has one; null at the end (start) of the tree.
ExprNode* NextSiblingOrAncestorSibling(const ExprNode* node);
ExprNode* PrevSiblingOrAncestorSibling(const ExprNode* node);
