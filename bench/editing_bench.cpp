// Editing at typing speed: one keystroke is a command and a layout with the real fonts (goal:
// far below a frame, 1 ms, on a formula of a few dozen nodes); and Right arrows across sums of
// growing length, whose cost per step should not grow with the formula.
#include <benchmark/benchmark.h>

#include <string>

#include "editor/caret_navigation.h"
#include "editor/edit_commands.h"
#include "editor/formula_editor.h"
#include "editor/layout_driver.h"
#include "kernel/text/formula_reader.h"
#include "kernel/trees/expr_node.h"

namespace {

// y = 3·sin(θ) + x² - 12.5a ... typed key by key: numbers, names, a Greek name, operators' caret
// motions and backspaces.
const int32_t kScript[] = {'y', kCodeCaretRight, '3', 's', 'i', 'n', 't', 'h', 'e', 't', 'a', kCodeCaretRight,
                           'x', '2', kCodeBackspace, '1', '2', '.', '5', 'a', 'b', 'c', kCodeCaretLeft,
                           kCodeCaretLeft, 'q', 'r', kCodeSelectNextLeaf, 'z', 'p', 'i', '4', '4', '4'};

}  // namespace

static void BM_TypeKeystrokeWithLayout(benchmark::State& state) {
  int64_t keystrokes = 0;
  for (auto _ : state) {
    FormulaEditor* e = NewFormulaEditor();
    SetCurrentFormulaEditor(e, nullptr);
    for (int32_t code : kScript) {
      DoFormulaEditCommand(code);
      LayoutFormula();
      ++keystrokes;
    }
    state.counters["nodes"] = CountSubtreeNodes(e->root);
    DisposeFormulaEditor(e);
  }
  state.SetItemsProcessed(keystrokes);
}
BENCHMARK(BM_TypeKeystrokeWithLayout);

static void BM_RightArrowAcrossSum(benchmark::State& state) {
  std::string text = "plus[";
  for (int64_t i = 0; i < state.range(0); ++i) text += (i ? "," : "") + std::string("times[2,x,sin[y]]");
  FormulaEditor* e = NewFormulaEditor();
  text += "]";  // the reader keeps a pointer into the text until the parse ends
  SetFormulaReaderText(text.c_str());
  FreeExpression(e->root);
  e->root = ParseFormulaText();
  SetCurrentFormulaEditor(e, nullptr);
  int64_t steps = 0;
  for (auto _ : state) {
    SetFormulaSelection(e->root, SelectionCaretBefore);
    for (;;) {
      const ExprNode* before = e->caretNode;
      const int32_t mode = e->selectionMode;
      CaretRight();
      ++steps;
      if (e->caretNode == before && e->selectionMode == mode) break;
    }
  }
  state.SetItemsProcessed(steps);
  DisposeFormulaEditor(e);
}
BENCHMARK(BM_RightArrowAcrossSum)->Arg(100)->Arg(1000);
