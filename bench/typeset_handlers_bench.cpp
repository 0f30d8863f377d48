// Layout and drawing with the real fonts of a formula that uses every handler family (brackets,
// fractions, powers, radicals, big operators, integrals, matrices, derivatives, indices,
// branches, substitutions), about 400 nodes; and a 30 x 30 matrix, whose handler walks its
// operands by column and by row without scratch.
#include <benchmark/benchmark.h>

#include <string>

#include "editor/formula_editor.h"
#include "editor/layout_driver.h"
#include "kernel/text/formula_reader.h"
#include "kernel/trees/expr_node.h"
#include "platform/draw/port.h"

namespace {

std::string FamiliesFormula() {
  std::string text = "equal[y,plus[";
  for (int i = 0; i < 8; ++i) {
    text += i ? "," : "";
    text += "id[over[sqrt[plus[x,1],3],power[x,over[1,2]]]],sum[power[x,i],equal[i,1],n],"
            "integral[sin[x],x,0,pi],matrix[2,2,a,b,c,d],function[oppartial[x,2],f],"
            "choice[n,k],branch[if[x,greaterthan[x,0]],if[minus[x],leq[x,0]]],"
            "indexes[1,1,T,i,j],substitution[f,a,b],abs[log[x,2]]";
  }
  return text + "]]";
}

std::string BigMatrix() {
  std::string text = "matrix[30,30";
  for (int i = 0; i < 900; ++i) text += i % 3 ? ",x" : ",over[1,y]";
  return text + "]";
}

FormulaEditor* NewBenchEditor(const std::string& text) {
  FormulaEditor* e = NewFormulaEditor();
  SetFormulaReaderText(text.c_str());
  FreeExpression(e->root);
  e->root = e->caretNode = ParseFormulaText();
  SetCurrentFormulaEditor(e, nullptr);
  LayoutFormula();  // the automatic parentheses go in once
  return e;
}

void Layout(benchmark::State& state, const std::string& text) {
  FormulaEditor* e = NewBenchEditor(text);
  for (auto _ : state) {
    InvalidateFormulaLayout();
    LayoutFormula();
  }
  state.counters["nodes"] = CountSubtreeNodes(e->root);
  DisposeFormulaEditor(e);
}

}  // namespace

static void BM_LayoutHandlerFamilies(benchmark::State& state) { Layout(state, FamiliesFormula()); }
BENCHMARK(BM_LayoutHandlerFamilies);

static void BM_LayoutMatrix30x30(benchmark::State& state) { Layout(state, BigMatrix()); }
BENCHMARK(BM_LayoutMatrix30x30);

static void BM_DrawHandlerFamilies(benchmark::State& state) {
  FormulaEditor* e = NewBenchEditor(FamiliesFormula());
  GWorldPtr gw = NewGWorld(MakeRect(0, 0, 1024, 256));
  SetGWorld(gw, nullptr);
  for (auto _ : state) DrawFormula(e->root);
  state.counters["nodes"] = CountSubtreeNodes(e->root);
  DisposeGWorld(gw);
  DisposeFormulaEditor(e);
}
BENCHMARK(BM_DrawHandlerFamilies);
