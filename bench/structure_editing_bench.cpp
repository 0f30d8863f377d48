// Structural editing at interactive speed: a template script with its layout (goal: far below a
// frame, 1 ms), one drag-selection step over sums of growing length (the pointer moves at mouse
// rate, so a step should cost microseconds and grow no faster than the formula), and a cut and
// paste of one term of a long sum.
#include <benchmark/benchmark.h>

#include <string>

#include "editor/edit_commands.h"
#include "editor/formula_editor.h"
#include "editor/layout_driver.h"
#include "editor/mouse_selection.h"
#include "kernel/text/formula_reader.h"
#include "kernel/trees/expr_node.h"

namespace {

FormulaEditor* EditorOfSum(int64_t terms) {
  std::string text = "plus[";
  for (int64_t i = 0; i < terms; ++i) text += (i ? "," : "") + std::string("times[2,x,sin[y]]");
  text += "]";  // the reader reads the text in place: it must outlive the parse
  FormulaEditor* e = NewFormulaEditor();
  SetFormulaReaderText(text.c_str());
  FreeExpression(e->root);
  e->root = e->caretNode = ParseFormulaText();
  SetCurrentFormulaEditor(e, nullptr);
  LayoutFormula();
  return e;
}

FixedPoint Middle(const ExprNode* n) {
  FixedRect r{};
  GetNodeRect(n, &r);
  return {(r.top + r.bottom) / 2, r.left + (r.right - r.left) / 2};
}

}  // namespace

// Control-3 (the 3 by 3 identity: nineteen typed steps) and Control-D, each laid out.
static void BM_TemplateScriptWithLayout(benchmark::State& state) {
  int64_t templates = 0;
  for (auto _ : state) {
    FormulaEditor* e = NewFormulaEditor();
    SetCurrentFormulaEditor(e, nullptr);
    for (int32_t code : {int32_t{0x18C2}, int32_t{kCodeCaretRight}, int32_t{0x18C0}}) {
      DoFormulaEditCommand(code);
      LayoutFormula();
    }
    templates += 2;
    DisposeFormulaEditor(e);
  }
  state.SetItemsProcessed(templates);
}
BENCHMARK(BM_TemplateScriptWithLayout);

static void BM_DragSelectionStep(benchmark::State& state) {
  FormulaEditor* e = EditorOfSum(state.range(0));
  ExprNode* anchor = e->root->children[0];
  const FixedPoint near = Middle(e->root->children[1]), far = Middle(e->root->children[state.range(0) / 2]);
  int64_t steps = 0;
  for (auto _ : state) {
    const FixedPoint p = steps % 2 ? near : far;
    benchmark::DoNotOptimize(TrackFormulaDrag(p.v, p.h, anchor));
    ++steps;
  }
  state.SetItemsProcessed(steps);
  DisposeFormulaEditor(e);
}
BENCHMARK(BM_DragSelectionStep)->Arg(100)->Arg(1000);

static void BM_CutAndPasteTermOfALongSum(benchmark::State& state) {
  FormulaEditor* e = EditorOfSum(state.range(0));
  int64_t pairs = 0;
  for (auto _ : state) {
    e->caretNode = e->root->children[state.range(0) / 2];
    e->selectionMode = SelectionCaretNode;
    DoFormulaEditCommand(kCodeCut);
    DoFormulaEditCommand(kCodePaste);
    ++pairs;
  }
  state.SetItemsProcessed(pairs);
  DisposeFormulaEditor(e);
}
BENCHMARK(BM_CutAndPasteTermOfALongSum)->Arg(100)->Arg(1000);
