// Math commands on short formulas whose work once grew far past their results: Expand of
// (x+1)...(x+n), of (a+...+h)^p, of sums nested two terms a level and of a quotient chain;
// Simplify of d/dx of sin nested n deep and of a quotient chain n deep; and the simplification
// of a server's reply of n reciprocals. Each runs the command as the window does, on a fresh
// formula made outside the timing. The reference: Expand of (x+1)(x+2)(x+3)(x+4) in the same run.
#include <benchmark/benchmark.h>

#include <string>

#include "algebra/algebra_commands.h"
#include "algebra/algebra_seams.h"
#include "algebra/simplifier.h"
#include "kernel/text/formula_reader.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/typeset_records.h"
#include "tests/algebra/long_formulas.h"

namespace {

// The command on a fresh editor of the formula, the editor's tree made and freed untimed.
void MeasureCommand(benchmark::State& state, const std::string& text, int32_t code) {
  InstallAlgebraSeams();
  for (auto _ : state) {
    state.PauseTiming();
    FormulaEditor editor{};
    editor.root = ReadWholeFormula(text.c_str());
    editor.caretNode = editor.root;
    TypesettingGlobals().currentEditor = &editor;
    state.ResumeTiming();
    RunAlgebraCommand(code);
    state.PauseTiming();
    state.counters["nodes after"] = CountSubtreeNodes(editor.root);
    TypesettingGlobals().currentEditor = nullptr;
    FreeExpression(editor.root);
    state.ResumeTiming();
  }
}

constexpr int32_t kExpand = 0x2002, kSimplify = 0x2000;
const auto kMs = benchmark::kMillisecond;

void BM_ReferenceExpandFourFactors(benchmark::State& state) {
  MeasureCommand(state, long_formulas::UnlikeFactors(4), kExpand);
}
BENCHMARK(BM_ReferenceExpandFourFactors)->Unit(kMs);

void BM_ExpandUnlikeFactors(benchmark::State& state) {
  MeasureCommand(state, long_formulas::UnlikeFactors(static_cast<int>(state.range(0))), kExpand);
}
BENCHMARK(BM_ExpandUnlikeFactors)->Arg(12)->Arg(16)->Arg(20)->Arg(24)->Unit(kMs);

void BM_ExpandEightLetterPower(benchmark::State& state) {
  MeasureCommand(state, long_formulas::EightLetterPower(static_cast<int>(state.range(0))), kExpand);
}
BENCHMARK(BM_ExpandEightLetterPower)->Arg(6)->Arg(8)->Arg(15)->Unit(kMs);

void BM_ExpandNestedIndexSums(benchmark::State& state) {
  MeasureCommand(state, long_formulas::NestedIndexSums(static_cast<int>(state.range(0))), kExpand);
}
BENCHMARK(BM_ExpandNestedIndexSums)->Arg(12)->Arg(16)->Arg(22)->Unit(kMs);

void BM_ExpandQuotientChain(benchmark::State& state) {
  MeasureCommand(state, long_formulas::QuotientChain(static_cast<int>(state.range(0))), kExpand);
}
BENCHMARK(BM_ExpandQuotientChain)->Arg(12)->Arg(16)->Arg(20)->Unit(kMs);

void BM_SimplifyQuotientChain(benchmark::State& state) {
  MeasureCommand(state, long_formulas::QuotientChain(static_cast<int>(state.range(0))), kSimplify);
}
BENCHMARK(BM_SimplifyQuotientChain)->Arg(1000)->Arg(2000)->Arg(4000)->Unit(kMs);

void BM_SimplifyNestedSinDerivative(benchmark::State& state) {
  MeasureCommand(state, long_formulas::NestedSinDerivative(static_cast<int>(state.range(0))), kSimplify);
}
BENCHMARK(BM_SimplifyNestedSinDerivative)->Arg(200)->Arg(400)->Arg(800)->Unit(kMs);

// The reply read as the client reads it (lower case), then the client's simplification of it.
void BM_SimplifyReciprocalReply(benchmark::State& state) {
  std::string text = long_formulas::ReciprocalProductReply(static_cast<int>(state.range(0)));
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
  InstallAlgebraSeams();
  for (auto _ : state) {
    state.PauseTiming();
    ExprNode* reply = ReadWholeFormula(text.c_str());
    state.ResumeTiming();
    SimplifyWithReciprocals(reply);
    state.PauseTiming();
    FreeExpression(reply);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_SimplifyReciprocalReply)->Arg(2500)->Arg(5000)->Arg(10000)->Unit(kMs);

}  // namespace
