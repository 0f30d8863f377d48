// Editing in the window through real SDL events: Undo after a swap that could not move, keys with
// Shift and Control or Alt, and text pasted from another program.
#include "tests/shell/window_test_support.h"

namespace {

using namespace window_test;

constexpr const char* kRow = "equal[y,plus[a,b]]";

class EditingWindowTest : public WindowTest {
 protected:
  // Waits for the row line of the program's active row `row`; its formula (after "row N ").
  std::string RowLine(int row) {
    std::string line;
    EXPECT_TRUE(program_.WaitFor("row " + std::to_string(row), &line)) << "no row " << row;
    const size_t text = line.find(' ', 4);
    return text == std::string::npos ? std::string() : line.substr(text + 1);
  }
  // Waits for a line starting with `prefix` while this process answers the program's requests for
  // the clipboard it owns (the program reads it to enable Paste and to paste).
  std::string WaitAnswering(const std::string& prefix) {
    std::string line;
    bool seen = false;
    for (int i = 0; i < 400 && !seen; ++i) {
      SDL_PumpEvents();
      seen = program_.WaitFor(prefix, &line, 0.05);
    }
    EXPECT_TRUE(seen) << "no line " << prefix;
    return line;
  }
  // Edit > Paste in the program only (the twin has no system clipboard, its menu only gives the
  // geometry); the program's next line starting with `prefix`.
  std::string PasteAndWaitFor(const std::string& prefix) {
    const QDPoint title = Centre(twinWindow_->Menus().TitleRect(0));
    Click(title);
    WaitAnswering("menu 0");
    twinWindow_->HandleMouseDown(title, 0, 1);
    const Menu& edit = twinWindow_->Menus().MenuAt(0);
    for (int32_t i = 0; i < edit.count; ++i)
      if (edit.items[i].command == kCodePaste) Click(Centre(twinWindow_->Menus().ItemRect(i)));
    twinWindow_->HandleKey(EditKeyEvent{kKeyEscape, kKeyEscape, 0});
    return WaitAnswering(prefix);
  }
};

// y = a + b typed, Shift+Left selects b, Math > Swap with Right Neighbour changes nothing (b is
// last), Swap with Left Neighbour gives b + a: Edit > Undo gives back y = a + b with b selected.
TEST_F(EditingWindowTest, UndoAfterASwapThatCouldNotMoveGivesBackTheTypedRow) {
  Start();
  if (HasFatalFailure()) return;
  Type("y=a+b");
  std::string row;
  for (int i = 0; i < 5; ++i) row = RowLine(1);
  ASSERT_EQ(row, Written(kRow));
  Key(XK_Left, true);
  twinWindow_->HandleKey(EditKeyEvent{kKeyLeftArrow, kKeyLeftArrow, kKeyShift});
  ASSERT_TRUE(program_.WaitFor("caret 1"));
  ChooseItem(1, 0x2109);
  ASSERT_TRUE(program_.WaitFor("command 0x2109"));
  EXPECT_EQ(RowLine(1), Written(kRow));
  ChooseItem(1, 0x2108);
  ASSERT_TRUE(program_.WaitFor("command 0x2108"));
  EXPECT_EQ(RowLine(1), Written("equal[y,plus[b,a]]"));
  ChooseItem(0, kCommandUndo);
  std::string caret;
  ASSERT_TRUE(program_.WaitFor("command 0x30000"));
  ASSERT_TRUE(program_.WaitFor("caret 1", &caret));
  EXPECT_EQ(RowLine(1), Written(kRow)) << "the typed row, not an empty prompt";
  EXPECT_EQ(caret, "caret 1 1.1 m" + std::to_string(twinWindow_->RowEditor(1)->selectionMode) + " 0:0");
  if (HasFailure()) Shoot("window-undo-swap");
}

// Every key-table character that needs Shift on a US keyboard, pressed with Shift and Alt or
// Control, types what the character alone types (the twin's row), after an x each time.
TEST_F(EditingWindowTest, ShiftedCharactersKeepShiftWithControlOrAlt) {
  Start();
  if (HasFatalFailure()) return;
  const std::pair<char, KeySym> rows[] = {  // the character, the US key giving it with Shift
      {'@', XK_2}, {'#', XK_3}, {'<', XK_comma}, {'>', XK_period}, {'{', XK_bracketleft}, {'+', XK_equal},
      {'*', XK_8}, {'^', XK_6}, {'!', XK_1},     {'|', XK_backslash}, {'(', XK_9},       {')', XK_0},
  };
  for (KeySym modifier : {XK_Alt_L, XK_Control_L}) {
    for (const auto& [character, key] : rows) {
      Type("x");
      RowLine(1);
      KeyHolding(modifier, key, true);
      twinWindow_->HandleKey(TranslateLinuxKey(char32_t(character), char32_t(character), false, false, false));
      EXPECT_EQ(RowLine(1), Bracket(twinWindow_->RowEditor(1)->root)) << (modifier == XK_Alt_L ? "Alt+" : "Control+") << character;
      if (HasFatalFailure()) return;
    }
  }
  if (HasFailure()) Shoot("window-shifted-keys");
}

// A formula with blanks after its commas pastes as a document line reads it; then text that is no
// formula changes nothing, says so in the program's words, and leaves no step: Undo takes back
// the paste that worked.
TEST_F(EditingWindowTest, PasteReadsTheClipboardAsADocumentLine) {
  Start();
  if (HasFatalFailure()) return;
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  struct SdlEnd {
    ~SdlEnd() { SDL_Quit(); }
  } sdlEnd;
  const std::string pasted = "row 1 " + Written("equal[y,power[x,2]]");
  ASSERT_EQ(SDL_SetClipboardText("equal[y, power[x, 2]]"), 0) << SDL_GetError();
  EXPECT_EQ(PasteAndWaitFor("row 1"), pasted);
  ASSERT_EQ(SDL_SetClipboardText("equal[y, power[x"), 0) << SDL_GetError();
  EXPECT_EQ(PasteAndWaitFor("row 1"), pasted) << "refused text changes nothing";
  std::string line;
  ASSERT_TRUE(program_.WaitFor("message", &line));
  EXPECT_NE(line.find(ErrorMessage(kErrorUnreadableClipboard)), std::string::npos) << line;
  EXPECT_EQ(line.find("damaged"), std::string::npos) << line;
  ChooseItem(0, kCommandUndo);
  ASSERT_TRUE(program_.WaitFor("command 0x30000"));
  EXPECT_EQ(RowLine(1), Written("prompt[]")) << "the paste undone, no empty step before it";
  if (HasFailure()) Shoot("window-paste-blanks");
}

}  // namespace
