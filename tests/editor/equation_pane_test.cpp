// The document window's use of the editor, headless: keys into commands as the window sends them
// (expected codes read off the key table), a row typed key by key, the prompt caret switch, the
// XOR caret on a real offscreen buffer, the blink across a wrap of the timer, a click on a row
// with a scripted pointer, and the movie test over a stub document.
#include "editor/equation_keys.h"
#include "editor/equation_pane.h"
#include "editor/selection_highlight.h"
#include "kernel/threads/timers.h"
#include "kernel/trees/node_builders.h"
#include "kernel/trees/tree_seams.h"
#include "platform/clock.h"
#include "platform/draw/port.h"
#include "platform/draw/shapes.h"
#include "platform/pointer_source.h"
#include "tests/editor/edit_test_support.h"

using namespace edit_test;

namespace {

class EquationPaneTest : public EditTest {
 protected:
  void TearDown() override {
    SetPointerSource(nullptr);
    EditTest::TearDown();
  }
  // Each character of the text as the key that types it, run on the editor.
  static void TypeKeys(const std::u32string& text, FormulaEditor* editor, void* owner) {
    for (char32_t c : text) HandleEquationKey(TranslateLinuxKey(c, c, false, false, false), editor, owner);
  }
  // The layout point at a fraction of a node's box, in window pixels of the editor's frame.
  static QDPoint WindowPointOf(const FormulaEditor* e, const std::vector<int>& path, double across) {
    const ExprNode* n = e->root;
    for (int i : path) n = n->children[i];
    FixedRect r{};
    GetNodeRect(n, &r);
    return QDPoint{int16_t(e->frame.top + FixedToPixels((r.top + r.bottom) / 2)),
                   int16_t(e->frame.left + FixedToPixels(r.left + static_cast<Fixed>((r.right - r.left) * across)))};
  }
};

TEST_F(EquationPaneTest, KeysOfTheWindowGiveTheTablesCommands) {
  EXPECT_EQ(KeyCommandTableRowCount(), 71);
  const struct {
    EditKeyEvent key;
    int32_t code;
  } cases[] = {
      {{kKeyBackspace, kKeyBackspace, 0}, kCodeBackspace},
      {{kKeyBackspace, kKeyBackspace, kKeyShift | kKeyCommand | kKeyOption | kKeyControl}, kCodeBackspace},
      {{kKeyUpArrow, kKeyUpArrow, kKeyShift | kKeyCommand}, 0x2106},
      {{kKeyLeftArrow, kKeyLeftArrow, kKeyShift | kKeyCommand}, 0x2105},
      {{kKeyRightArrow, kKeyRightArrow, kKeyShift | kKeyCommand}, 0x2102},
      {{0xB6, 'd', kKeyOption}, 0x1332},  // Option-d: the base character finds the row
      {{kKeyTab, kKeyTab, 0}, 0x1600},
      {{kKeyTab, kKeyTab, kKeyShift}, 0x160E},
      {{kKeyTab, kKeyTab, kKeyOption}, 0x160F},
      {{'=', '=', kKeyOption}, 0x102E},  // the "in" kind, as the table has it
      {{kKeyReturn, kKeyReturn, kKeyControl}, 0x18A0},
      {{kKeyReturn, kKeyReturn, 0}, 0},  // no row: nothing
      {{'}', ']', kKeyShift}, 0},
      {{'a', 'a', kKeyCommand}, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(KeyToEditCommand(c.key), c.code) << int(c.key.character);
  SetDecimalSeparator(',');
  EXPECT_EQ(KeyToEditCommand({',', ',', 0}), ',');
  SetDecimalSeparator('.');
  EXPECT_EQ(KeyToEditCommand({',', ',', 0}), 0x1907);
}

// Control codes never reach a string's text: the document file ends its lines with CR.
TEST_F(EquationPaneTest, ControlCodesNeverGoIntoAString) {
  Fresh("string[\"ab\"]");
  Place({}, SelectionCaretAfter);
  ASSERT_TRUE(IsEditingText());
  EXPECT_EQ(KeyToEditCommand({'(', '9', kKeyShift}), '(');
  EXPECT_EQ(KeyToEditCommand({'~', '`', kKeyShift}), '~');
  const uint8_t controls[] = {kKeyReturn, 3 /* Enter */, 1, 127, 0};
  for (uint8_t c : controls) EXPECT_EQ(KeyToEditCommand({c, c, 0}), 0) << int(c);
  EXPECT_EQ(KeyToEditCommand({kKeyReturn, kKeyReturn, kKeyControl}), 0x18A0) << "the table still answers";
  Place({}, SelectionText, 1, 1);
  HandleEquationKey({kKeyReturn, kKeyReturn, 0}, &E(), nullptr);
  HandleEquationKey({3, 3, 0}, &E(), nullptr);
  EXPECT_STREQ(E().root->text, "ab");
}

// The blank is no edit outside a text, so the exponent takes the rest of the keys; the Right
// arrow leaves it.
TEST_F(EquationPaneTest, ARowTypedKeyByKeyReadsAsTheFormula) {
  const struct {
    std::u32string keys;
    const char* infix;
  } rows[] = {
      {U"y = sin x^2 + 1/2", "y=sin(x^(2+1/2))"},
      {U"y = sin x^2\x1D + 1/2", "y=sin(x^2)+1/2"},
      {U"y=x^2\x1D,x>0", "y=x^2,x>0"},
  };
  for (const auto& r : rows) {
    FormulaEditor* e = NewCurrentEquationEditor(PixelRect{10, 20, 60, 300}, &document_);
    editors_.push_back(e);
    TypeKeys(r.keys, e, &document_);
    EXPECT_EQ(Infix(), r.infix);
    EXPECT_EQ(e->owner, &document_);
  }
}

TEST_F(EquationPaneTest, PromptCaretIsPendingAfterEditsUntilAMotionOrAClick) {
  FakeClock clock;
  ScriptedPointerSource pointer(&clock);
  SetPointerSource(&pointer);
  FormulaEditor* e = NewCurrentEquationEditor(PixelRect{0, 0, 40, 200}, nullptr);
  editors_.push_back(e);
  bool& pending = TypesettingGlobals().promptCaretPending;
  EXPECT_TRUE(pending) << "a new row";
  TypeKeys(U"a+", e, nullptr);
  EXPECT_TRUE(pending);
  HandleEquationKey({kKeyLeftArrow, kKeyLeftArrow, 0}, e, nullptr);
  EXPECT_FALSE(pending) << "an arrow";
  HandleEquationKey({kKeyBackspace, kKeyBackspace, 0}, e, nullptr);
  EXPECT_TRUE(pending) << "the backspace is an edit";
  LayoutFormula();
  HandleEquationPaneClick(QDPoint{5, 2}, false, false, e, false, nullptr);
  EXPECT_FALSE(pending) << "a click";
}

// XOR twice on a real buffer: the pixels and the phase come back; an invalid layout draws nothing.
TEST_F(EquationPaneTest, CaretDrawnTwiceLeavesBufferAndPhaseAsTheyWere) {
  TypesetGlobals().port = nullptr;  // the drawing layer's port, on the buffer below
  GWorldPtr world = NewGWorld(MakeRect(0, 0, 200, 60));
  ASSERT_NE(world, nullptr);
  SetGWorld(world, nullptr);
  EraseRect(MakeRect(0, 0, 200, 60));
  FormulaEditor* e = Fresh("plus[x,1]");
  e->frame = PixelRect{10, 10, 50, 190};
  DrawEquationLine(e, nullptr);
  Place({0}, SelectionCaretAfter);
  const size_t words = size_t(world->rowBytes) / 4 * 60;
  const std::vector<uint32_t> before(world->pixels, world->pixels + words);
  DrawCurrentEquationCaret();
  EXPECT_EQ(e->documentFlag, 1);
  EXPECT_NE(std::vector<uint32_t>(world->pixels, world->pixels + words), before) << "the caret shows";
  DrawCurrentEquationCaret();
  EXPECT_EQ(e->documentFlag, 0);
  EXPECT_EQ(std::vector<uint32_t>(world->pixels, world->pixels + words), before);
  InvalidateFormulaLayout();
  DrawCurrentEquationCaret();
  EXPECT_EQ(e->documentFlag, 0) << "no layout, no caret";
  EXPECT_EQ(std::vector<uint32_t>(world->pixels, world->pixels + words), before);
  SetGWorld(nullptr, nullptr);
  DisposeGWorld(world);
}

// The blink waits for the blink time, also when the timer wraps between two blinks.
TEST_F(EquationPaneTest, CaretBlinksEveryBlinkTimeAcrossTheTimersWrap) {
  FakeClock clock(1'000'000'000);
  FormulaEditor* e = Fresh("plus[x,1]");
  LayoutFormula();
  Place({0}, SelectionCaretAfter);
  const uint64_t unit = 65536;  // clock ticks (nanoseconds) of one timer unit
  const uint32_t blink = TicksToTimerUnits(CaretBlinkTicks());
  // Move the clock so the timer reads 2^32 - blink / 2: the next blink is due after the wrap.
  clock.Advance(uint64_t(uint32_t(0u - blink / 2) - ElapsedTimerUnits()) * unit);
  ASSERT_EQ(ElapsedTimerUnits(), uint32_t(0u - blink / 2));
  TypesetGlobals().lastCaretBlink = ElapsedTimerUnits() - blink - 1;
  EXPECT_FALSE(BlinkEquationCaret(e, nullptr)) << "an inactive editor";
  e->active = 1;
  EXPECT_TRUE(BlinkEquationCaret(e, nullptr));
  EXPECT_EQ(e->documentFlag, 1);
  clock.Advance(uint64_t(blink) * unit);  // the timer wraps past 0
  ASSERT_LT(ElapsedTimerUnits(), blink);
  EXPECT_FALSE(BlinkEquationCaret(e, nullptr)) << "exactly the blink time is not more";
  clock.Advance(unit);
  EXPECT_TRUE(BlinkEquationCaret(e, nullptr));
  EXPECT_EQ(e->documentFlag, 0);
}

TEST_F(EquationPaneTest, ClickOnARowPutsTheCaretAtTheClickedLeaf) {
  FakeClock clock;
  ScriptedPointerSource pointer(&clock);
  SetPointerSource(&pointer);
  FormulaEditor* e = Fresh("equal[y,plus[x,12]]");
  FormulaEditor* other = Fresh("plus[a,b]");
  other->active = 1;
  e->frame = PixelRect{30, 40, 80, 400};
  DrawEquationLine(e, nullptr);
  SetCurrentFormulaEditor(other, nullptr);
  const int redraws = document_.redraws;
  HandleEquationPaneClick(WindowPointOf(e, {1, 0}, 0.8), false, false, e, false, nullptr);
  EXPECT_EQ(Caret(), "1.0 m3 0:0") << "after x";
  EXPECT_EQ(other->active, 0);
  EXPECT_EQ(e->active, 1);
  EXPECT_GT(document_.redraws, redraws) << "the old highlight is erased";
  HandleEquationPaneClick(WindowPointOf(e, {0}, 0.2), false, false, e, false, nullptr);
  EXPECT_EQ(Caret(), "0 m4 0:0") << "before y";
}

TEST_F(EquationPaneTest, ClickInADraggableSelectionKeepsItsHighlight) {
  FakeClock clock;
  ScriptedPointerSource pointer(&clock);
  SetPointerSource(&pointer);
  FormulaEditor* e = Fresh("equal[y,plus[x,z]]");
  e->frame = PixelRect{0, 0, 50, 300};
  DrawEquationLine(e, nullptr);
  Place({1, 0}, SelectionCaretNode);
  GetTreeSeams().canMoveSelectedTerm = [] { return true; };
  ASSERT_TRUE(CanDragSelection());
  const int redraws = document_.redraws;
  HandleEquationPaneClick(WindowPointOf(e, {1, 0}, 0.5), false, true, e, false, nullptr);
  EXPECT_EQ(document_.redraws, redraws) << "no erasing redraw before the press is followed";
  Place({1, 0}, SelectionCaretNode);
  HandleEquationPaneClick(WindowPointOf(e, {1, 0}, 0.5), false, false, e, false, nullptr);
  EXPECT_GT(document_.redraws, redraws) << "without dragging allowed the highlight is erased";
  ResetTreeSeams();
}

TEST_F(EquationPaneTest, NewRowAndDrawingKeepOriginAndClearThePhase) {
  int owner = 0;
  FormulaEditor* e = NewCurrentEquationEditor(PixelRect{12, 34, 56, 78}, &owner);
  editors_.push_back(e);
  EXPECT_EQ(TypesettingGlobals().currentEditor, e);
  EXPECT_EQ(TypesetGlobals().originV, 12);
  EXPECT_EQ(TypesetGlobals().originH, 34);
  e->documentFlag = 1;
  port_.calls.clear();
  DrawEquationLine(e, &owner);
  EXPECT_EQ(e->documentFlag, 0);
  ASSERT_FALSE(port_.calls.empty());
  EXPECT_EQ(port_.calls.front().op, 'S');
  EXPECT_EQ(port_.calls.back().op, 'R');
  // A prompt with the fake metrics: 24-point box, ascent and descent of its glyph.
  EXPECT_EQ(RootBoxWidthPixels(e), FixedToPixels(e->root->box->width));
  EXPECT_EQ(RootBoxHeightPixels(e), FixedToPixels(e->root->box->ascent + e->root->box->descent));
  EXPECT_GT(RootBoxHeightPixels(e), 0);
  EXPECT_EQ(RootBoxWidthPixels(nullptr), 0);
}

struct MovieStub {
  static MovieSaveState& State() {
    static MovieSaveState s;
    return s;
  }
};

TEST_F(EquationPaneTest, MovieSaveNeedsExportGraphsPaneAndAnimationOrReadyViews) {
  EditorHooks& hooks = TypesetGlobals().hooks;
  hooks.getMovieSaveState = [](void*, MovieSaveState* s) { *s = MovieStub::State(); };
  const struct {
    bool available, built, open, animating, hasSet, needsRedraw, ready, can;
  } cases[] = {
      {true, true, true, true, false, false, false, true},
      {true, true, true, false, true, true, true, true},
      {true, true, true, false, true, true, false, false},
      {true, true, true, false, true, false, true, false},
      {true, true, true, false, false, true, true, false},
      {false, true, true, true, true, true, true, false},
      {true, false, true, true, true, true, true, false},
      {true, true, false, true, true, true, true, false},
  };
  for (const auto& c : cases) {
    hooks.movieExportAvailable = c.available;
    MovieStub::State() = MovieSaveState{c.built, c.open, c.animating, c.hasSet, c.needsRedraw, c.ready};
    EXPECT_EQ(CanSaveAsMovie(nullptr), c.can) << c.available << c.built << c.open << c.animating << c.hasSet
                                              << c.needsRedraw << c.ready;
  }
  hooks.getMovieSaveState = nullptr;
  EXPECT_FALSE(CanSaveAsMovie(nullptr)) << "no document answers";
}

}  // namespace
