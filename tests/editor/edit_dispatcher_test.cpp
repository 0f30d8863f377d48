// The dispatcher: undo snapshots counted by the recording document (runs of typing after one
// caret position, of backspaces and of stepwise moves are one step each; the clipboard's copy
// takes none), the memory-short gate, letter marking, and the codes that re-dispatch.
#include "editor/layout_driver.h"
#include "kernel/text/number_settings.h"
#include "tests/editor/edit_test_support.h"

using namespace edit_test;

namespace {

class EditDispatcherTest : public EditTest {
 protected:
  // Snapshots taken by the codes, from a fresh editor holding the formula, after one motion.
  int SnapshotsOf(const std::vector<int32_t>& codes, const std::string& formula = "12345678901") {
    Fresh(formula);
    Place({}, SelectionCaretAfter);
    RunCodes({kCodeCaretRight});
    const int before = document_.snapshots;
    RunCodes(codes);
    return document_.snapshots - before;
  }
};

TEST_F(EditDispatcherTest, UndoStepsGroupRunsOfTypingBackspacesAndMoves) {
  const struct {
    std::vector<int32_t> codes;
    int snapshots;
  } cases[] = {
      {Codes("abc"), 1},
      {Codes("ab>c"), 2},
      {Codes("~~~~~~~~~~"), 1},
      {Codes("a~"), 2},
      {Codes("a~b"), 3},  // the backspace leaves the flag set for the letter after it
      {{kCodeCopy}, 0},
      {{kCodeCut}, 1},
      {{kCodePaste}, 1},
      {{kCodeClear}, 1},
      {{0x1903}, 1},  // a template code without a handler still starts an undo step
      {{0x2101, 0x2101, 0x2104}, 1},
      {{0x2101, 'a', 0x2101}, 3},  // a letter between two moves ends the run
      {{0x2000, 0x2000}, 2},
  };
  for (const auto& c : cases) EXPECT_EQ(SnapshotsOf(c.codes), c.snapshots) << ::testing::PrintToString(c.codes);
  EXPECT_EQ(document_.clipboard, (std::vector<char>{'c', 'x', 'v'}));
  EXPECT_EQ(document_.algebraCodes, (std::vector<int32_t>{0x2101, 0x2101, 0x2104, 0x2101, 0x2101, 0x2000, 0x2000}));
}

// The zero that "." types first is a command of its own, inside the snapshot of the point.
TEST_F(EditDispatcherTest, DecimalPointRedispatchesItsZeroInOneUndoStep) {
  EXPECT_EQ(SnapshotsOf(Codes("."), "x"), 1);
  EXPECT_EQ(Infix(), "x*0");
  EXPECT_STREQ(E().caretNode->value.number->text, "0.");
  EXPECT_EQ(TypesetGlobals().editing.lastCode, '0');
  EXPECT_EQ(TypesetGlobals().editing.previousCode, '.');
  EXPECT_EQ(TypesetGlobals().editing.decimalPointNesting, 0);
}

TEST_F(EditDispatcherTest, WhileMemoryIsShortOnlyMotionsBackspaceAndClipboardRun) {
  Fresh("123");
  Place({}, SelectionCaretAfter);
  SetOutOfMemoryFlag(true);
  Run("ab4~<");
  RunCodes({kCodeCopy, 0x100D, 0x1903, 0x2000});
  EXPECT_EQ(Infix(), "12");
  EXPECT_EQ(Caret(), " m7 1:1");
  EXPECT_EQ(document_.clipboard, std::vector<char>{'c'});
  EXPECT_TRUE(document_.algebraCodes.empty() && document_.templates.empty() && document_.kindsInserted.empty());
}

TEST_F(EditDispatcherTest, DummyToggleSparesGreekLettersAndVectorMarkingDoesNotNest) {
  Fresh("times[a,alpha]");
  RunCodes({kCodeToggleDummies});
  EXPECT_EQ(E().root->children[0]->kind, KindDummy);
  EXPECT_EQ(E().root->children[1]->kind, KindChar);
  RunCodes({kCodeToggleDummies});
  EXPECT_EQ(E().root->children[0]->kind, KindChar);

  RunCodes({kCodeMarkVectors, kCodeMarkVectors});
  EXPECT_EQ(Infix(), "vector(a)*vector(alpha)");
  Place({}, SelectionOperator);
  RunCodes({kCodeToggleDummies});
  EXPECT_EQ(E().root->children[0]->children[0]->kind, KindChar) << "mode 2 marks nothing";
}

// Clear deletes the selected factor; the prompt it leaves goes with it, and nothing more.
TEST_F(EditDispatcherTest, ClearTakesTheSelectedFactorOnly) {
  for (const char* formula : {"times[x,y]", "times[x,y,z]"}) {
    Fresh(formula);
    Place({1}, SelectionCaretNode);
    RunCodes({kCodeClear});
    EXPECT_EQ(Infix(), std::string(formula) == "times[x,y]" ? "x" : "x*z");
  }
  const EditCommandState before = TypesetGlobals().editing;
  RunCodes({0});
  EXPECT_EQ(TypesetGlobals().editing.lastCode, before.lastCode) << "code 0 is ignored altogether";
}

TEST_F(EditDispatcherTest, CommaIsTheDecimalPointOnlyWhereItIsTheSeparator) {
  SetDecimalSeparator(',');
  Fresh("7");
  Place({}, SelectionCaretAfter);
  Run(".,5");
  EXPECT_STREQ(E().root->value.number->text, "7,5");
  EXPECT_DOUBLE_EQ(E().root->value.number->value, 7.5);
}

// The square template inside 1234 after 12 squares 12 of the product 12·34; at the first or last
// digit nothing is split (never an empty number): a new factor before it, or the whole number.
TEST_F(EditDispatcherTest, TemplatesInsideDigitsActOnTheFirstPartOfTheNumber) {
  const struct {
    int32_t at;
    const char *infix, *caret;
  } cases[] = {{2, "12^2*34", "0 m0 0:0"}, {0, "?^2*1234", "0.0 m0 0:0"}, {4, "1234^2", " m0 0:0"}};
  for (const auto& c : cases) {
    Fresh("1234");
    Place({}, SelectionDigits, c.at, c.at);
    RunCodes({0x18AA});
    EXPECT_EQ(Infix(), c.infix);
    EXPECT_EQ(Caret(), c.caret);
  }
  EXPECT_EQ(document_.templates, (std::vector<int32_t>{0x18AA, 0x18AA, 0x18AA}));
}

}  // namespace
