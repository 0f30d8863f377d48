// Cut, copy, paste and clear of formula selections through the process-wide formula clipboard
// (subtrees, digit runs, matrix blocks, bare operators). Pasted copies are always fresh, so one
// cut pastes many times. A copied tree also goes to the system clipboard as bracket text (its
// numbers as plain words, 1 and 0.5, where such a word reads back as the same number), and a
// paste first adopts text that another program put there since: only text that reads whole as a
// formula; any other text refuses the paste (error 20) and changes nothing. The text comes and
// goes through the documents' hooks (HasSystemClipboard, PutScrapText, ScrapText).
#pragma once

#include <cstdint>

struct ExprNode;

// Copy: modes 0, 1, 2 (the operator alone), 5 and a digit range. Cut: the same but blocks; the
// cut node leaves a prompt (gone in a product), an operator joins its operands. A copy refused
// for memory leaves the formula as it was and the clipboard empty.
void CopySelection();
void CutSelection();
// Paste by mode: over the selection, as a new factor after or before the caret, or as digits
// inside a number; a sum pasted into a sum (a product into a product) splices its operands.
void PasteClipboard();
// The caret node's content becomes a copy of the clipboard tree; returns the node, null (nothing
// changed) without a tree or memory.
ExprNode* ReplaceCaretByClipboard();
// A new matrix holding copies of the selected block's cells; null without a block or memory.
ExprNode* CopyMatrixBlock();

// For the documents' clipboard code: the tree (none: null) and its replacement (taken over).
const ExprNode* FormulaClipboardExpression();
void SetFormulaClipboardExpression(ExprNode* tree);
