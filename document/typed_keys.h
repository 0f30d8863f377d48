// Rows written as the keys a user would type: the text of a "type:" line is decoded into key
// events and each is run through the editor's own key handling (KeyToEditCommand, then the edit
// command), exactly as the keyboard would. Invariants: the whole text is decoded and checked
// before any key is typed; a key that means nothing to the editor, or does nothing, where it is
// typed stops the typing with a reason.
#pragma once

#include <string>
#include <vector>

#include "editor/equation_keys.h"

struct FormulaEditor;

struct TypedKey {
  char32_t character;  // a Unicode character, or a key code of the key table (arrows, Tab, ...)
  bool shift, control, alt;
  std::string text;    // as written, for messages
};

// Decodes UTF-8 text into keys: each character is one key; "{Name}" is a key without a character
// or with modifiers: Right, Left, Up, Down, Tab, Backspace, Escape, or Ctrl-c, Alt-c (c one
// character), with Shift-, Ctrl- and Alt- before any of these. Braces around a name the table lacks
// (a letter, then more letters, digits, hyphens, pluses or underscores: "{Bogus}", "{right}") are
// refused, naming it as written; any other "{" is the brace key. False with *reason set for such
// a name or for text that is not UTF-8.
bool DecodeTypedKeys(const std::string& text, std::vector<TypedKey>* keys, std::string* reason);
// The key event of a decoded key, as the window's keyboard gives it (Control stands for Command,
// Alt for Option).
EditKeyEvent TypedKeyEvent(const TypedKey& key);
// Types the keys into the editor for the owner document, the same in every locale: "." is the
// decimal point and "," the list's comma while they are typed, and the numbers typed then take
// the separator number text has (GetDecimalSeparator). False with *reason set (naming the key by
// its place and text) at the first key that gives no command or does nothing where it is typed
// (changes neither the formula nor the caret; a blank outside text only spaces the keys), or once
// the formula nests deeper than a formula line may (kMaxFormulaDepth).
bool TypeKeysIntoEditor(const std::vector<TypedKey>& keys, FormulaEditor* editor, void* owner, std::string* reason);
