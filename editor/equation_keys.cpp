// The key table as data, and key translation. Rows are scanned in order; 255 in a row's
// modifier column matches any modifiers.
#include "editor/equation_keys.h"

#include <iterator>

#include "editor/document_services.h"
#include "editor/edit_commands.h"
#include "kernel/text/number_settings.h"
#include "kernel/trees/node_builders.h"
#include "kernel/trees/typeset_records.h"

namespace {

constexpr uint8_t kAnyModifiers = 255;
constexpr uint8_t kCommandOption = kKeyCommand | kKeyOption;
constexpr uint8_t kCommandShift = kKeyCommand | kKeyShift;

struct KeyRow {
  uint8_t modifiers;
  uint8_t character;
  int16_t command;
};

constexpr KeyRow kKeyTable[] = {
    {kKeyShift, kKeyLeftArrow, 0x160D},     {kKeyShift, kKeyRightArrow, 0x160C},
    {kKeyShift, kKeyUpArrow, 0x160A},       {kKeyShift, kKeyDownArrow, 0x160B},
    {0, kKeyLeftArrow, 0x1604},             {0, kKeyRightArrow, 0x1603},
    {0, kKeyUpArrow, 0x1601},               {0, kKeyDownArrow, 0x1602},
    {kKeyCommand, kKeyLeftArrow, 0x2103},   {kKeyCommand, kKeyRightArrow, 0x2100},
    {kKeyCommand, kKeyUpArrow, 0x2106},     {kKeyCommand, kKeyDownArrow, 0x2107},
    {kCommandOption, kKeyLeftArrow, 0x2104}, {kCommandOption, kKeyRightArrow, 0x2101},
    {kCommandOption, kKeyUpArrow, 0x2106},  {kCommandOption, kKeyDownArrow, 0x2107},
    {kCommandShift, kKeyLeftArrow, 0x2105}, {kCommandShift, kKeyRightArrow, 0x2102},
    {kAnyModifiers, 161, 0x1332},           {kAnyModifiers, '@', 0x18AA},
    {kAnyModifiers, '#', 0x18AB},           {kAnyModifiers, '<', 0x1905},
    {kAnyModifiers, '>', 0x1906},           {kAnyModifiers, ';', 0x1907},
    {kAnyModifiers, 185, 0x1312},           {kKeyShift, 164, 0x1314},
    {kKeyOption, 'd', 0x1332},              {kKeyOption, 'f', 0x1306},
    {kAnyModifiers, 178, 0x1909},           {kAnyModifiers, 179, 0x190A},
    {kKeyOption, '<', 0x1909},              {kKeyOption, '>', 0x190A},
    {kKeyOption, 'x', 0x1086},              {kKeyControl, 'i', 0x18BF},
    {kKeyControl, 'd', 0x18C0},             {kKeyControl, '9', 0x100C},
    {kKeyControl, 'a', 0x18A0},             {kKeyControl, kKeyReturn, 0x18A0},
    {kKeyControl, 'f', 0x1094},             {kKeyControl, 't', 0x18BA},
    {kKeyControl, 'p', 0x18B2},             {kKeyControl, 'j', 0x1093},
    {kKeyControl, 's', 0x18BB},             {kKeyControl, '-', 0x1900},
    {kKeyControl, 'x', 0x1086},             {kKeyControl, '\\', 0x18BD},
    {kKeyControl, 'r', 0x1055},             {kKeyControl, '.', 0x1085},
    {kKeyOption, '[', 0x1081},              {kKeyOption, '=', 0x102E},
    {kAnyModifiers, '{', 0x109E},           {kKeyCommand, '4', 0x1908},
    {kKeyControl, '2', 0x18C1},             {kKeyControl, '3', 0x18C2},
    {kAnyModifiers, '+', 0x100D},           {kAnyModifiers, '*', 0x100B},
    {kAnyModifiers, '^', 0x107D},           {kAnyModifiers, '!', 0x1035},
    {kAnyModifiers, '|', 0x1076},           {kAnyModifiers, '(', 0x1075},
    {kAnyModifiers, ')', 0x1610},           {kAnyModifiers, '[', 0x1075},
    {kAnyModifiers, '/', 0x107C},           {kAnyModifiers, '=', 0x1901},
    {kAnyModifiers, '-', 0x103A},           {kAnyModifiers, 208, 0x1900},
    {kAnyModifiers, 195, 0x1055},           {kAnyModifiers, '\'', 0x1090},
    {kKeyShift, kKeyTab, 0x160E},           {0, kKeyTab, 0x1600},
    {kKeyOption, kKeyTab, 0x160F},
};
static_assert(std::size(kKeyTable) == 71);

struct CharacterCode {
  char32_t unicode;
  uint8_t code;
};

constexpr CharacterCode kHighCharacters[] = {
    {U'\u00B0', 161}, {U'\u03C0', 185}, {U'\u00A7', 164}, {U'\u2264', 178},
    {U'\u2265', 179}, {U'\u2013', 208}, {U'\u221A', 195},
};

bool IsStandAlone(uint8_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '\\' ||
         c == ' ' || c == static_cast<unsigned char>(GetDecimalSeparator());
}

}  // namespace

uint8_t KeyTableCharacter(char32_t c) {
  if (c < 128) return static_cast<uint8_t>(c);
  for (const CharacterCode& high : kHighCharacters)
    if (high.unicode == c) return high.code;
  return 0;
}

EditKeyEvent TranslateLinuxKey(char32_t produced, char32_t base, bool shift, bool control, bool alt) {
  uint8_t modifiers = shift ? kKeyShift : 0;
  if (control && alt) {
    modifiers |= kKeyControl;
  } else {
    modifiers |= (control ? kKeyCommand : 0) | (alt ? kKeyOption : 0);
  }
  return EditKeyEvent{KeyTableCharacter(produced), KeyTableCharacter(base), modifiers};
}

int32_t KeyToEditCommand(const EditKeyEvent& key) {
  const uint8_t c = key.character, m = key.modifiers;
  if (c == kKeyBackspace) return kCodeBackspace;
  if (c == kKeyEscape) return kCodeClear;
  if ((m == 0 || m == kKeyShift) && c != 0 && IsStandAlone(c)) return c;
  // Control codes (Return, Enter, Tab, the arrows) never go into a string: the document file
  // ends its lines with CR, and a saved string must not break it. The blank is handled above.
  const bool printable = c > ' ' && c < 127;
  if (IsEditingText() && printable) return c;
  for (const KeyRow& row : kKeyTable)
    if (c != 0 && row.character == c && (row.modifiers == m || row.modifiers == kAnyModifiers)) return row.command;
  const uint8_t withoutShift = m & ~kKeyShift;
  for (const KeyRow& row : kKeyTable)
    if (key.baseCharacter != 0 && row.character == key.baseCharacter && row.modifiers == withoutShift) return row.command;
  if (c == ',') return GetDecimalSeparator() == ',' ? 0 : 0x1907;
  return 0;
}

int32_t KeyCommandTableRowCount() { return static_cast<int32_t>(std::size(kKeyTable)); }

void RunEquationEditCommand(int32_t code, FormulaEditor* editor, void* owner) {
  TypesettingGlobals().currentEditor = editor;
  LoadDocumentTextStyle(editor, owner);
  if (code == 0) return;
  TypesettingGlobals().promptCaretPending = !IsCaretMotionCode(code);
  DoFormulaEditCommand(code);
}

int32_t HandleEquationKey(const EditKeyEvent& key, FormulaEditor* editor, void* owner) {
  TypesettingGlobals().currentEditor = editor;
  LoadDocumentTextStyle(editor, owner);
  const int32_t code = KeyToEditCommand(key);
  RunEquationEditCommand(code, editor, owner);
  return code;
}
