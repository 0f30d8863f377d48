// The formula editor record's life: creation with a prompt root, disposal with its tree and line
// table, the one-time typesetting set-up, which editor is current and active, the caret reset,
// and the one tree operation editing and algebra share (FlattenChildInto). Exactly one editor is
// current at a time; the passes and commands reach it through the kernel's TypesettingState.
#pragma once

#include <cstdint>

#include "kernel/trees/typeset_records.h"

// 10000.0 in 16.16: lines wider than the width limit are broken.
inline constexpr int32_t kDefaultWidthLimit = 655360000;

// Once per program: font numbers (error 10 when the Symbol font is missing), the layout handler
// families, the default style, the node pools. Later calls do nothing.
void InitTypesetting();
// A new record: a prompt root, one line, the default style, width limit 10000.0, the caret on
// the root in mode 0, every other field 0 and every flag clear. Null when memory is refused.
FormulaEditor* NewFormulaEditor();
// Frees the line table, the whole tree and the record; an editor that was current stops being
// current. Null is ignored.
void DisposeFormulaEditor(FormulaEditor* editor);
// Makes the editor current, loads its owner's text style (which stores the owner) and copies the
// frame's top-left corner into the drawing origin.
void SetCurrentFormulaEditor(FormulaEditor* editor, void* owner);
// Clears the active flag of the editor current until now, sets this one's, makes it current.
void ActivateFormulaEditor(FormulaEditor* editor, void* owner);
// Clears the edit command history and selects the current editor's root in mode 0.
void ResetFormulaCaret();
// Splices the children of child i (of the same kind, which the caller checks) into the node in
// its place, re-parented, and frees the child's shell. Nothing changes when the node would pass
// 10000 operands or memory is refused. A caret on the freed child moves to the node. Returns
// the node.
ExprNode* FlattenChildInto(ExprNode* node, int32_t i);
// Verifies an editor: a valid tree with no parent above the root, the caret node inside it, the
// selection valid for the mode (ordered ranges inside the operands, a text range either way inside
// the text, a text caret in a string or number, a block in a matrix), at least one line.
// `message` gets the reason.
bool CheckFormulaEditor(const FormulaEditor* editor, const char** message = nullptr);
