// Formulas typed as keys: the headless program's second way to give a row, running the keys
// through the formula editor as a user's keyboard would (the key table, then the edit commands).
// Invariants: the keys are decoded and checked before any is typed; the editor is private to one
// call and disposed before it returns; a result holds no empty place (prompt).
#pragma once

#include <string>

struct ExprNode;

// Types `keys` into a fresh formula editor and returns a copy of its formula (the caller owns it).
// Each character is one key (UTF-8; the editor's own characters such as "π", "≤" and "√"
// included); "{Name}" is a key without a character or with modifiers: Right, Left, Up, Down, Tab,
// Backspace, Escape, or Ctrl-c, Alt-c, Ctrl-Alt-c and Shift- before any of these (c one
// character); any other "{" is the brace key. Null with *reason set for bad UTF-8, a key that means
// nothing to the editor, a formula left with an empty place, or memory refused.
ExprNode* TypeFormulaKeys(const std::string& keys, std::string* reason);
