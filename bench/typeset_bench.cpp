// Layout of a 200-node formula with the real fonts, every pass from the number texts to line
// breaking, on one line and broken over several (goal: well under a millisecond); and drawing
// it into an offscreen buffer.
#include <benchmark/benchmark.h>

#include <string>

#include "editor/formula_editor.h"
#include "editor/layout_driver.h"
#include "kernel/text/formula_reader.h"
#include "kernel/trees/expr_node.h"
#include "platform/draw/port.h"

namespace {

// y = 3.5·x^2·sin(theta) - a/"bc" + ... : 201 nodes.
FormulaEditor* NewBenchEditor(int32_t widthLimit) {
  std::string text = "equal[y,plus[";
  for (int i = 0; i < 18; ++i) {
    text += i ? "," : "";
    text += "times[num[3.5,\"3.5\"],power[x,2],sin[theta]],minus[over[a,string[\"bc\"]]]";
  }
  text += "]]";
  FormulaEditor* e = NewFormulaEditor();
  SetFormulaReaderText(text.c_str());
  FreeExpression(e->root);
  e->root = e->caretNode = ParseFormulaText();
  e->widthLimit = widthLimit;
  SetCurrentFormulaEditor(e, nullptr);
  return e;
}

void LayoutFormulaOf(benchmark::State& state, int32_t widthLimit) {
  FormulaEditor* e = NewBenchEditor(widthLimit);
  LayoutFormula();  // the automatic parentheses go in once
  for (auto _ : state) {
    InvalidateFormulaLayout();
    LayoutFormula();
  }
  state.counters["nodes"] = CountSubtreeNodes(e->root);
  state.counters["lines"] = e->lineCount;
  DisposeFormulaEditor(e);
}

}  // namespace

static void BM_LayoutFormula200Nodes(benchmark::State& state) { LayoutFormulaOf(state, kDefaultWidthLimit); }
BENCHMARK(BM_LayoutFormula200Nodes);

static void BM_LayoutFormula200NodesBroken(benchmark::State& state) { LayoutFormulaOf(state, 300 << 16); }
BENCHMARK(BM_LayoutFormula200NodesBroken);

static void BM_DrawFormula200Nodes(benchmark::State& state) {
  FormulaEditor* e = NewBenchEditor(600 << 16);
  LayoutFormula();
  GWorldPtr gw = NewGWorld(MakeRect(0, 0, 640, 480));
  SetGWorld(gw, nullptr);
  for (auto _ : state) DrawFormula(e->root);
  DisposeGWorld(gw);
  DisposeFormulaEditor(e);
}
BENCHMARK(BM_DrawFormula200Nodes);
