// The compute worker on the fake clock, which stands still: every turn of an evaluation is past the
// deadline, so each call computes up to the next turn and leaves the Compute suspended there. The
// values come out as computed at one go, however the work is cut up, taken up again, abandoned or
// ended, what a Compute hands to the main thread runs there, and no block outlives a test.
#include <vector>

#include "graphs/core/compute_worker.h"
#include "graphs/core/graph_view.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/eval/evaluation_budget.h"
#include "kernel/threads/threads.h"
#include "platform/clock.h"
#include "platform/coop_threads.h"
#include "tests/graphs/graphs_test_support.h"
#include "tests/kernel/trees/tree_test_support.h"

namespace {

using graphs_test::FakeGraph;
using graphs_test::FunctionOf;

// Eight values of a bounded sum of 5,000 terms (a few turns each), one a unit, each stored once
// its evaluation is done: S(k) = 1.6447... k. Each unit starts one timer unit later.
class SumGraph : public FakeGraph {
 public:
  SumGraph() : function_(NewFunctionOver(tree_test::Reader("bsum[equal[n,1],5000,over[u,power[n,2]]]", '[', ']').Term())) {
    CompileFunction(function_);
  }
  ~SumGraph() override { DeleteCompiledFunction(function_); }
  void Compute(int32_t budget) override {
    const uint32_t deadline = ComputeDeadline(budget);
    while (values.size() < 8) {
      graphs_test::SpendUnits(1);  // the unit's first turn comes past a deadline one unit away
      const double v = EvaluateFunction1(function_, static_cast<double>(values.size() + 1));
      OnMainThread([this] { callsOnMain += CoopCurrentThread() == kCoopMainThread ? 1 : 0; });
      values.push_back(v);
      if (DeadlineReached(ElapsedTimerUnits(), deadline)) break;
    }
  }
  bool IsComplete() override { return values.size() == 8; }
  std::vector<double> values;
  int callsOnMain = 0;  // of the calls each unit makes through OnMainThread

 private:
  CompiledFunction* function_;
};

class ComputeWorkerTest : public graphs_test::GraphsTest {
 protected:
  void TearDown() override {
    UseComputeWorker(false);
    graphs_test::GraphsTest::TearDown();
    EXPECT_TRUE(CoopLiveWorkers().empty());
  }
  FakeClock clock_;
};

std::vector<double> AtOneGo() {
  SumGraph graph;
  graph.Compute(1 << 30);
  return graph.values;
}

enum class Meddle { kNothing, kOtherGraph, kEvaluateOnMain, kCompileOnMain, kAbandon, kWorkerOff, kShutdown };

// Each row: what the test does while the Compute lies suspended, once every `every` suspensions (a
// value takes two or three). A row that abandons needs more calls; none may change a value.
TEST_F(ComputeWorkerTest, TheValuesComeOutAsAtOneGoWhateverHappensWhileSuspended) {
  const std::vector<double> whole = AtOneGo();
  ASSERT_EQ(whole.size(), 8u);
  const struct {
    Meddle meddle;
    int every;
  } cases[] = {{Meddle::kNothing, 1},        {Meddle::kOtherGraph, 2}, {Meddle::kEvaluateOnMain, 4},
               {Meddle::kCompileOnMain, 5},  {Meddle::kAbandon, 3},    {Meddle::kWorkerOff, 6},
               {Meddle::kShutdown, 7}};
  for (const auto& c : cases) {
    SumGraph graph, other;
    UseComputeWorker(true);
    int suspensions = 0, abandoned = 0;
    for (int call = 0; !graph.IsComplete() && call < 10000; ++call) {
      if (ComputeInTurns(&graph, 0) != ComputeOutcome::kSuspended) continue;
      ASSERT_TRUE(ComputeSuspended());
      if (++suspensions % c.every != 0) continue;
      const size_t before = graph.values.size();
      switch (c.meddle) {
        case Meddle::kNothing:
          break;
        case Meddle::kOtherGraph:  // takes up the suspended one first, which then ends its unit
          ComputeInTurns(&other, 0);
          break;
        case Meddle::kEvaluateOnMain: {
          CompiledFunction* f = FunctionOf("plus[u,1]");
          CompileFunction(f);
          EXPECT_EQ(EvaluateFunction1(f, 2), 3.0);
          DeleteCompiledFunction(f);
          break;
        }
        case Meddle::kCompileOnMain: {
          CompiledFunction* f = FunctionOf("times[u,2]");
          CompileFunction(f);
          DeleteCompiledFunction(f);
          break;
        }
        case Meddle::kAbandon:
          AbandonSuspendedCompute();
          break;
        case Meddle::kWorkerOff:
          UseComputeWorker(false);
          EXPECT_TRUE(CoopLiveWorkers().empty());
          UseComputeWorker(true);
          break;
        case Meddle::kShutdown:
          ShutdownThreads();
          EXPECT_TRUE(CoopLiveWorkers().empty());
          break;
      }
      if (c.meddle != Meddle::kNothing && c.meddle != Meddle::kOtherGraph) {
        EXPECT_FALSE(ComputeSuspended()) << int(c.meddle);
        EXPECT_EQ(graph.values.size(), before) << "an abandoned unit stores nothing";
        ++abandoned;
      }
    }
    EXPECT_EQ(graph.values, whole) << int(c.meddle);
    EXPECT_GE(graph.callsOnMain, 8) << "every unit's call ran on the main thread";
    EXPECT_GT(suspensions, 8) << int(c.meddle);
    EXPECT_EQ(abandoned > 0, c.meddle != Meddle::kNothing && c.meddle != Meddle::kOtherGraph) << int(c.meddle);
    UseComputeWorker(false);
  }
}

// Without a worker (off, or refused when it is made) Compute runs on the caller's thread at one go;
// the view tick stops at a suspension and takes the Compute up at the next tick.
TEST_F(ComputeWorkerTest, WithoutAWorkerComputeRunsAtOneGoAndTheTickTakesASuspensionUpLater) {
  const std::vector<double> whole = AtOneGo();
  for (bool refused : {false, true}) {
    SumGraph graph;
    UseComputeWorker(refused);
    CoopInjectCreateFailures(refused ? 1 : 0);
    EXPECT_EQ(ComputeInTurns(&graph, 1 << 30), ComputeOutcome::kEnded);
    EXPECT_EQ(graph.values, whole);
    EXPECT_TRUE(CoopLiveWorkers().empty());
    UseComputeWorker(false);
  }
  GraphList graphs;
  auto* graph = new SumGraph;
  ASSERT_TRUE(PtrArrayAppend(graphs, static_cast<GraphKind*>(graph)));
  UseComputeWorker(true);
  int ticks = 0;
  for (; !graph->IsComplete() && ticks < 10000; ++ticks) {
    TickGraphList(graphs, 1);
    EXPECT_EQ(ComputeSuspended(), !graph->IsComplete());
  }
  EXPECT_GT(ticks, 8);
  EXPECT_EQ(graph->values, whole);
  UseComputeWorker(false);
  DeleteGraphList(graphs);
}

}  // namespace
