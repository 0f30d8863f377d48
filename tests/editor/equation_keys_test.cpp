// Keys into commands: the rules in order, the key table reached by character and by base
// character, the Linux modifier mapping and the characters above 127, and a key run through the
// glue on a row's editor. Expected codes are read off the key table.
#include "editor/equation_keys.h"
#include "kernel/text/number_settings.h"
#include "tests/editor/edit_test_support.h"

using namespace edit_test;

namespace {

class EquationKeysTest : public EditTest {};

TEST_F(EquationKeysTest, KeysGiveTheirCommands) {
  const struct {
    EditKeyEvent key;
    int32_t code;
  } cases[] = {
      {{kKeyBackspace, kKeyBackspace, kKeyCommand | kKeyOption}, kCodeBackspace},
      {{kKeyEscape, kKeyEscape, 0}, kCodeClear},
      {{'Q', 'Q', kKeyShift}, 'Q'},
      {{'\\', '\\', 0}, '\\'},
      {{'+', '=', kKeyShift}, 0x100D},
      {{kKeyRightArrow, kKeyRightArrow, 0}, kCodeCaretRight},
      {{kKeyLeftArrow, kKeyLeftArrow, kKeyCommand | kKeyShift}, 0x2105},
      {{kKeyUpArrow, kKeyUpArrow, kKeyCommand | kKeyShift}, 0x2106},  // the Command row, by base character
      {{0xB6, 'd', kKeyOption}, 0x1332},                                // Option-d: the base character decides
      {{4, 'd', kKeyControl}, 0x18C0},
      {{')', '0', kKeyShift}, kCodeExitGroup},
      {{kKeyTab, kKeyTab, kKeyOption}, kCodeSelectNextPrompt},
      {{185, 'p', kKeyOption}, 0x1312},
      {{',', ',', 0}, 0x1907},
      {{'}', ']', kKeyShift}, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(KeyToEditCommand(c.key), c.code) << int(c.key.character);
  SetDecimalSeparator(',');
  EXPECT_EQ(KeyToEditCommand({',', ',', 0}), ',');
  EXPECT_EQ(KeyToEditCommand({',', ',', kKeyCommand}), 0);
}

TEST_F(EquationKeysTest, EditingTextTakesPlainCharactersButNotArrowsOrTab) {
  Fresh("string[\"ab\"]");
  Place({}, SelectionCaretAfter);
  EXPECT_EQ(KeyToEditCommand({'(', '9', kKeyShift}), '(');
  EXPECT_EQ(KeyToEditCommand({kKeyLeftArrow, kKeyLeftArrow, 0}), kCodeCaretLeft);
  EXPECT_EQ(KeyToEditCommand({kKeyTab, kKeyTab, 0}), kCodeSelectNextLeaf);
}

// Control stands for Command and Alt for Option; Control with Alt reaches the Control rows.
TEST_F(EquationKeysTest, LinuxModifiersAndCharactersMapOntoTheTable) {
  const struct {
    char32_t produced, base;
    bool shift, control, alt;
    int32_t code;
  } cases[] = {
      {kKeyLeftArrow, kKeyLeftArrow, false, true, false, 0x2103},
      {kKeyLeftArrow, kKeyLeftArrow, true, true, false, 0x2105},
      {'4', '4', false, true, false, 0x1908},
      {'d', 'd', false, false, true, 0x1332},
      {'d', 'd', false, true, true, 0x18C0},
      {'2', '2', false, true, true, 0x18C1},
      {U'\u03C0', 'p', false, false, true, 0x1312},
      {U'\u2264', U'\u2264', false, false, false, 0x1909},
      {U'\u221A', U'\u221A', false, false, false, 0x1055},
      {U'\u00E9', U'\u00E9', false, false, false, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(KeyToEditCommand(TranslateLinuxKey(c.produced, c.base, c.shift, c.control, c.alt)), c.code)
        << uint32_t(c.produced);
}

TEST_F(EquationKeysTest, AKeyRunsOnTheRowsEditorAndLeavesAPromptCaretPending) {
  FormulaEditor* other = Fresh();
  FormulaEditor* row = Fresh();
  SetCurrentFormulaEditor(other, nullptr);
  int owner = 0;
  EXPECT_EQ(HandleEquationKey({'x', 'x', 0}, row, &owner), 'x');
  EXPECT_EQ(TypesettingGlobals().currentEditor, row);
  EXPECT_EQ(row->owner, &owner);
  EXPECT_EQ(Infix(), "x");
  EXPECT_TRUE(TypesettingGlobals().promptCaretPending);
  HandleEquationKey({kKeyLeftArrow, kKeyLeftArrow, 0}, row, &owner);
  EXPECT_FALSE(TypesettingGlobals().promptCaretPending);
  EXPECT_EQ(HandleEquationKey({'}', ']', kKeyShift}, row, &owner), 0);
  EXPECT_EQ(Caret(), " m4 0:0");
}

}  // namespace
