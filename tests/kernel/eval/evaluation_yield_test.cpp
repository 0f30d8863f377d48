// Compilation and evaluation are not reentrant and rely on never yielding: a cooperative worker
// that compiles and evaluates, with its time slice already spent, still runs to its end before
// the main thread gets the baton back.
#include <gtest/gtest.h>

#include "kernel/eval/compiled_function.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/threads/threads.h"
#include "kernel/threads/timers.h"
#include "platform/clock.h"
#include "tests/kernel/eval/evaluation_test_support.h"

using namespace evaltest;

namespace {

struct Work {
  FakeClock* clock;
  double sum;
  bool ended;
};

void CompileAndEvaluate(void* raw) {
  auto* work = static_cast<Work*>(raw);
  work->clock->Advance(uint64_t{1} << 40);  // far past the slice: any yield point would yield now
  SetParameterLetter('a');
  CompiledFunction* f = Function("plus[times[sin[a],x],bsum[equal[n,1],50,over[cos[times[n,x]],n]],r]");
  CompiledFunction* g = Function("times[theta,y]");
  EvalContext* context = CompileFunctionsShared2(f, g);
  PrepareSampleGrid(0, 0, 0.1, 0.1, 20, 20, context);
  for (int j = 0; j < 20; ++j) {
    for (int i = 0; i < 20; ++i) work->sum += EvaluateAtGridPoint(f, i, j, context) + EvaluateAtGridPoint(g, i, j, context);
  }
  double lo, hi;
  EvaluateIntervalXY(f, 0, 1, 0, 1, &lo, &hi);
  DisposeEvalContext(context);
  Free(f);
  Free(g);
  work->ended = true;
}

TEST(EvaluationYieldTest, CompileAndEvaluateNeverYield) {
  ResetTimersForTests();
  ResetThreadsForTests();
  ResetEvaluationSeams();
  FakeClock clock{5000000};
  Work work{&clock, 0, false};
  ASSERT_NE(StartThread(CompileAndEvaluate, &work), 0u);
  YieldThreadsTimed();
  EXPECT_TRUE(work.ended);
  EXPECT_TRUE(std::isfinite(work.sum));
  ShutdownThreads();
  ResetEvaluationSeams();
  ResetErrorRegister();
  ResetTimersForTests();
}

}  // namespace
