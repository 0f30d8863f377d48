// Keys into edit command codes, and the glue that runs a code or a key on a row's editor. A key
// event carries the character produced, the base character (modifiers removed, Shift kept) and
// the modifier code (1 Command, 2 Shift, 4 Option, 8 Control), in the key table's code set. On
// Linux TranslateLinuxKey builds it: Control stands for Command, Alt for Option, and Control with
// Alt reaches the table's own Control rows.
#pragma once

#include <cstdint>

struct FormulaEditor;

enum KeyModifier : uint8_t {
  kKeyCommand = 1,
  kKeyShift = 2,
  kKeyOption = 4,
  kKeyControl = 8,
};

// Keys with no character of their own, in the codes the key table uses.
enum KeyCharacter : uint8_t {
  kKeyEnter = 3,
  kKeyBackspace = 8,
  kKeyTab = 9,
  kKeyReturn = 13,
  kKeyEscape = 27,
  kKeyLeftArrow = 28,
  kKeyRightArrow = 29,
  kKeyUpArrow = 30,
  kKeyDownArrow = 31,
};

struct EditKeyEvent {
  uint8_t character;
  uint8_t baseCharacter;
  uint8_t modifiers;
};

// The key table's code of a character: ASCII as itself; °, π, §, ≤, ≥, the en dash and √ as
// their one-byte codes (161, 185, 164, 178, 179, 208, 195); anything else 0 (no command).
uint8_t KeyTableCharacter(char32_t c);
EditKeyEvent TranslateLinuxKey(char32_t produced, char32_t base, bool shift, bool control, bool alt);

// The command of a key, 0 when it means nothing: backspace and escape; letters, digits, ".",
// "\\", the blank and the decimal separator alone or with Shift; any printable ASCII character
// while text is edited (never a control code); then the key table, first by character and modifiers, then by base character and
// modifiers without Shift; "," is the list separator unless it is the decimal separator.
int32_t KeyToEditCommand(const EditKeyEvent& key);
// Rows of the key table (71).
int32_t KeyCommandTableRowCount();

// Makes the editor current (without activating it), loads the owner's text style and runs the
// code; a non-motion code (the backspace included) leaves a prompt caret pending.
void RunEquationEditCommand(int32_t code, FormulaEditor* editor, void* owner);
// The same for a key; returns the command run (0: none).
int32_t HandleEquationKey(const EditKeyEvent& key, FormulaEditor* editor, void* owner);
