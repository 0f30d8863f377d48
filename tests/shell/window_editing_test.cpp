// Editing in the window as a keyboard and another program drive it: Undo after a Math command
// that changed nothing gives back the typed row; keys pressed with Shift and Control or Alt type
// the character Shift gives them on a US keyboard; the system clipboard's text pastes as a
// document line reads it, and text that is no formula changes nothing and says so.
#include "tests/shell/window_test_support.h"

namespace {

using namespace window_test;

class EditingWindowTest : public WindowTest {
 protected:
  // Waits for the row line of the program's active row `row`; its formula (after "row N ").
  std::string RowLine(int row) {
    std::string line;
    EXPECT_TRUE(program_.WaitFor("row " + std::to_string(row), &line)) << "no row " << row;
    const size_t text = line.find(' ', 4);
    return text == std::string::npos ? std::string() : line.substr(text + 1);
  }
  // The key with Shift and the modifier (Control or Alt) held, as a keyboard sends them.
  void ShiftedKeyWith(KeySym modifier, KeySym key) {
    const KeyCode held = XKeysymToKeycode(dpy_, modifier);
    XTestFakeKeyEvent(dpy_, held, True, CurrentTime);
    Key(key, true);
    XTestFakeKeyEvent(dpy_, held, False, CurrentTime);
    XSync(dpy_, False);
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
  // Chooses Edit > Paste in the program (the twin has no system clipboard); the program's next
  // line starting with `prefix`.
  std::string PasteAndWaitFor(const std::string& prefix) {
    Click(Centre(twinWindow_->Menus().TitleRect(0)));
    WaitAnswering("menu 0");
    const Menu& edit = twinWindow_->Menus().MenuAt(0);
    for (int32_t i = 0; i < edit.count; ++i)
      if (edit.items[i].command == kCodePaste) Click(ItemCentre(i));
    return WaitAnswering(prefix);
  }
  // The centre of item i of the Edit menu, as the twin lays the open menu out.
  QDPoint ItemCentre(int32_t i) {
    const QDPoint title = Centre(twinWindow_->Menus().TitleRect(0));
    twinWindow_->HandleMouseDown(title, 0, 1);
    const QDPoint item = Centre(twinWindow_->Menus().ItemRect(i));
    twinWindow_->HandleKey(EditKeyEvent{kKeyEscape, kKeyEscape, 0});
    return item;
  }
};

// The user's sequence: y = a + b typed into the new row, Shift+Left selects b, Math > Swap with
// Right Neighbour changes nothing (b is last), Math > Swap with Left Neighbour gives b + a, and
// Edit > Undo gives back y = a + b with b selected, not an empty row. The twin follows each step.
TEST_F(EditingWindowTest, UndoAfterASwapThatCouldNotMoveGivesBackTheTypedRow) {
  Start();
  if (HasFatalFailure()) return;
  Type("y=a+b");
  std::string row;
  for (int i = 0; i < 5; ++i) row = RowLine(1);
  ASSERT_EQ(row, Written("equal[y,plus[a,b]]"));
  Key(XK_Left, true);
  twinWindow_->HandleKey(EditKeyEvent{kKeyLeftArrow, kKeyLeftArrow, kKeyShift});
  ASSERT_TRUE(program_.WaitFor("caret 1"));
  ChooseItem(1, 0x2109);
  ASSERT_TRUE(program_.WaitFor("command 0x2109"));
  EXPECT_EQ(RowLine(1), Written("equal[y,plus[a,b]]")) << "b has no right neighbour";
  ChooseItem(1, 0x2108);
  ASSERT_TRUE(program_.WaitFor("command 0x2108"));
  EXPECT_EQ(RowLine(1), Written("equal[y,plus[b,a]]"));
  ChooseItem(0, kCommandUndo);
  std::string caret;
  ASSERT_TRUE(program_.WaitFor("command 0x30000"));
  ASSERT_TRUE(program_.WaitFor("caret 1", &caret));
  EXPECT_EQ(RowLine(1), Written("equal[y,plus[a,b]]")) << "the typed row, not an empty prompt";
  const FormulaEditor* twin = twinWindow_->RowEditor(1);
  EXPECT_EQ(Bracket(twin->root), Written("equal[y,plus[a,b]]"));
  EXPECT_EQ(twin->caretNode, twin->root->children[1]->children[1]) << "b selected in the twin";
  EXPECT_EQ(caret, "caret 1 1.1 m" + std::to_string(twin->selectionMode) + " 0:0") << "b selected again";
  if (HasFailure()) Shoot("window-undo-swap");
}

// Every key-table row whose character needs Shift on a US keyboard, pressed with Shift and Alt or
// Control: the program types what the character alone types (the rows take any modifier), after
// an x each time. Before, the key arrived as its unshifted character: Alt+"<" typed a comma.
TEST_F(EditingWindowTest, ShiftedCharactersKeepShiftWithControlOrAlt) {
  Start();
  if (HasFatalFailure()) return;
  const struct {
    char character;
    KeySym key;  // the US key that gives it with Shift
  } rows[] = {
      {'@', XK_2}, {'#', XK_3}, {'<', XK_comma}, {'>', XK_period}, {'{', XK_bracketleft}, {'+', XK_equal},
      {'*', XK_8}, {'^', XK_6}, {'!', XK_1},     {'|', XK_backslash}, {'(', XK_9},       {')', XK_0},
  };
  for (KeySym modifier : {XK_Alt_L, XK_Control_L}) {
    for (const auto& r : rows) {
      Type("x");
      RowLine(1);
      ShiftedKeyWith(modifier, r.key);
      twinWindow_->HandleKey(TranslateLinuxKey(char32_t(r.character), char32_t(r.character), false, false, false));
      EXPECT_EQ(RowLine(1), Bracket(twinWindow_->RowEditor(1)->root))
          << (modifier == XK_Alt_L ? "Alt+" : "Control+") << r.character;
      if (HasFatalFailure()) return;
    }
  }
  if (HasFailure()) Shoot("window-shifted-keys");
}

// A formula from another program with blanks after its commas (a document line's spelling)
// pastes; then text that is no formula changes nothing, is told in the program's own words, and
// leaves no undo step: Undo takes back the paste that worked.
TEST_F(EditingWindowTest, PasteReadsTheClipboardAsADocumentLine) {
  Start();
  if (HasFatalFailure()) return;
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  struct SdlEnd {
    ~SdlEnd() { SDL_Quit(); }
  } sdlEnd;
  ASSERT_EQ(SDL_SetClipboardText("equal[y, power[x, 2]]"), 0) << SDL_GetError();
  std::string line = PasteAndWaitFor("row 1");
  EXPECT_EQ(line, "row 1 " + Written("equal[y,power[x,2]]"));
  ASSERT_EQ(SDL_SetClipboardText("equal[y, power[x"), 0) << SDL_GetError();
  line = PasteAndWaitFor("row 1");
  EXPECT_EQ(line, "row 1 " + Written("equal[y,power[x,2]]")) << "refused text changes nothing";
  ASSERT_TRUE(program_.WaitFor("message", &line));
  EXPECT_NE(line.find(ErrorMessage(kErrorUnreadableClipboard)), std::string::npos) << line;
  EXPECT_EQ(line.find("damaged"), std::string::npos) << line;
  ChooseItem(0, kCommandUndo);
  ASSERT_TRUE(program_.WaitFor("command 0x30000"));
  EXPECT_EQ(RowLine(1), Written("prompt[]")) << "the paste undone, no empty step before it";
  if (HasFailure()) Shoot("window-paste-blanks");
}

}  // namespace
