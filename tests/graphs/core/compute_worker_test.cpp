// The compute worker on the fake clock, which stands still: every turn of an evaluation is past the
// deadline, so each call computes up to the next turn and leaves the Compute suspended there. The
// values come out as computed at one go, however the work is cut up, taken up again, abandoned or
// ended, what a Compute hands to the main thread runs there, and no block outlives a test. Jobs
// other than a Compute are taken up the same way, and with a turn at every start a disposal is
// still never a place to lie suspended.
#include <cmath>
#include <memory>
#include <vector>

#include "graphs/core/compute_worker.h"
#include "graphs/core/graph_view.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/eval/evaluation_budget.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/trees/expr_node.h"
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
    SetComputeTurnsForTests(false);
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

// A job that is no graph's Compute: a function's value at a point, stored once worked out. Its
// starts tell a job taken up where it stopped from one started again.
struct ValueJob {
  CompiledFunction* function;
  double at;
  double value = std::nan("");
  int starts = 0;
  bool underOtherName = false;
};

void EvaluateValue(void* argument, int32_t) {
  auto* job = static_cast<ValueJob*>(argument);
  ++job->starts;
  job->value = EvaluateFunction1(job->function, job->at);
}

// The same work under another name: to the worker, another job.
void EvaluateValueAgain(void* argument, int32_t budget) {
  static_cast<ValueJob*>(argument)->underOtherName = true;
  EvaluateValue(argument, budget);
}

// A value of 20,000 terms lies suspended at its first turn; each row then calls a job until that
// value is in. Whatever the row calls, the suspended job is taken up where it stopped and gives the
// value computed at one go, and another job starts only after it, with the time left: none on the
// still clock with a budget of nought, all of it with a large budget (the every-turn switch then
// cuts the work up). Each call says whether the job it asked for ran.
TEST_F(ComputeWorkerTest, AnyJobIsTakenUpWhereItStoppedBeforeAnotherStarts) {
  CompiledFunction* function =
      NewFunctionOver(tree_test::Reader("bsum[equal[n,1],20000,over[u,power[n,2]]]").Term());
  CompileFunction(function);
  const double whole3 = EvaluateFunction1(function, 3), whole2 = EvaluateFunction1(function, 2);
  const struct {
    const char* next;
    TurnsJob job;
    bool sameArgument;
    int32_t budget;
  } cases[] = {
      {"the same job", EvaluateValue, true, 0},
      {"the same function on another argument", EvaluateValue, false, 0},
      {"another function on another argument", EvaluateValueAgain, false, 0},
      {"the same job, time to spare", EvaluateValue, true, graphs_test::kAll},
      {"another function on another argument, time to spare", EvaluateValueAgain, false, graphs_test::kAll},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.next);
    UseComputeWorker(true);
    SetComputeTurnsForTests(c.budget > 0);
    ValueJob first{function, 3}, second{function, 2};
    ASSERT_EQ(RunInTurns(EvaluateValue, &first, c.budget), ComputeOutcome::kSuspended);
    EXPECT_TRUE(JobSuspended(EvaluateValue, &first));
    EXPECT_FALSE(JobSuspended(EvaluateValue, &second));
    EXPECT_FALSE(JobSuspended(EvaluateValueAgain, &first));
    ValueJob* next = c.sameArgument ? &first : &second;
    int calls = 1;
    for (; std::isnan(first.value) && calls < 1000; ++calls) {
      EXPECT_EQ(second.starts, 0) << "started while the first lay suspended";
      const ComputeOutcome outcome = RunInTurns(c.job, next, c.budget);
      // The answer is this job's: another that has not started is told so.
      EXPECT_EQ(outcome == ComputeOutcome::kNotRun, !c.sameArgument && second.starts == 0);
    }
    EXPECT_EQ(first.value, whole3);
    EXPECT_EQ(first.starts, 1);
    EXPECT_GT(calls, 3) << "cut up at its turns";
    const bool timeLeft = !c.sameArgument && c.budget > 0;
    EXPECT_EQ(second.starts, timeLeft ? 1 : 0);
    EXPECT_EQ(JobSuspended(c.job, &second), timeLeft);
    if (!c.sameArgument) {
      for (int more = 0; std::isnan(second.value) && more < 1000; ++more) RunInTurns(c.job, &second, c.budget);
      EXPECT_EQ(second.value, whole2);
      EXPECT_EQ(second.starts, 1);
      EXPECT_EQ(second.underOtherName, c.job == EvaluateValueAgain);
    }
    EXPECT_FALSE(ComputeSuspended());
    SetComputeTurnsForTests(false);
    UseComputeWorker(false);
  }
  DeleteCompiledFunction(function);
}

// A job whose scopes dispose compiled code on the way out, whether it ends or unwinds: the value of
// a formula node (NodeToNumber compiles a copy and disposes it) and a function of u compiled here
// and deleted by its holder.
struct DisposingJob {
  const ExprNode* node;
  const ExprNode* term;
  double nodeValue = std::nan(""), functionValue = std::nan("");
};

void EvaluateAndDispose(void* argument, int32_t) {
  auto* job = static_cast<DisposingJob*>(argument);
  job->nodeValue = NodeToNumber(job->node);
  const std::unique_ptr<CompiledFunction, void (*)(CompiledFunction*)> function(
      NewFunctionOver(CopyExpression(job->term)), DeleteCompiledFunction);
  CompileFunction(function.get());
  job->functionValue = EvaluateFunction1(function.get(), 2);
}

// With the every-turn switch on, each compile and disposal of the job takes a turn too. The worker
// never lies suspended at a disposal (an abandon's throw cannot leave a destructor: the process
// would end), in the job's own scopes or in its unwinding. Abandoned at its n-th suspension, for
// every n, the job unwinds with nothing left over and, started again, gives the values at one go.
TEST_F(ComputeWorkerTest, AJobAbandonedAtAnyTurnUnwindsThroughItsDisposals) {
  ExprNode* node = tree_test::Reader("bsum[equal[n,1],5000,over[1,power[n,2]]]").Term();
  ExprNode* term = tree_test::Reader("bsum[equal[n,1],3000,over[u,n]]").Term();
  DisposingJob whole{node, term};
  EvaluateAndDispose(&whole, graphs_test::kAll);
  ASSERT_FALSE(std::isnan(whole.nodeValue));
  ASSERT_FALSE(std::isnan(whole.functionValue));
  UseComputeWorker(true);
  SetComputeTurnsForTests(true);
  const auto toTheEnd = [](DisposingJob* job) {
    int suspensions = 0;
    while (RunInTurns(EvaluateAndDispose, job, 0) == ComputeOutcome::kSuspended && suspensions < 10000) ++suspensions;
    return suspensions;
  };
  DisposingJob alone{node, term};
  const int suspensions = toTheEnd(&alone);
  EXPECT_GE(suspensions, 4) << "a turn at each of its two compiles and two runs at least";
  EXPECT_EQ(alone.nodeValue, whole.nodeValue);
  EXPECT_EQ(alone.functionValue, whole.functionValue);
  const size_t bytes = GetBytesInUse(), blocks = NodePoolBlocksInUse();
  for (int n = 1; n <= suspensions; ++n) {
    DisposingJob job{node, term};
    for (int call = 1; call <= n; ++call) {
      ASSERT_EQ(RunInTurns(EvaluateAndDispose, &job, 0), ComputeOutcome::kSuspended) << n;
    }
    const uint64_t abandoned = ComputesAbandoned();
    AbandonSuspendedCompute();
    EXPECT_EQ(ComputesAbandoned(), abandoned + 1) << n;
    EXPECT_FALSE(ComputeSuspended()) << n << ": suspended again in its unwinding";
    EXPECT_EQ(GetBytesInUse(), bytes) << n;
    EXPECT_EQ(NodePoolBlocksInUse(), blocks) << n;
    toTheEnd(&job);
    EXPECT_EQ(job.nodeValue, whole.nodeValue) << n;
    EXPECT_EQ(job.functionValue, whole.functionValue) << n;
  }
  FreeExpression(node);
  FreeExpression(term);
}

// The main thread's runs while the worker is wanted, the every-turn switch on: a run counts, a
// compile or a disposal does not (NodeToNumber does all three), and nothing counts while the
// worker is off.
TEST_F(ComputeWorkerTest, TheMainThreadCountsItsRunsAloneWhileTheWorkerIsWanted) {
  using Act = void (*)(CompiledFunction**);
  const struct {
    const char* what;
    bool workerOn;
    Act act;
    uint64_t runs;
  } cases[] = {
      {"a compile", true, [](CompiledFunction** f) { CompileFunction(*f); }, 0},
      {"a run", true, [](CompiledFunction** f) { EvaluateFunction1(*f, 2); }, 1},
      {"three runs", true, [](CompiledFunction** f) { for (int k = 0; k < 3; ++k) EvaluateFunction1(*f, k); }, 3},
      {"a compile and a run", true,
       [](CompiledFunction** f) {
         CompileFunction(*f);
         EvaluateFunction1(*f, 2);
       },
       1},
      {"a node's value", true, [](CompiledFunction** f) { NodeToNumber((*f)->tree); }, 1},
      {"a function's disposal", true,
       [](CompiledFunction** f) {
         DeleteCompiledFunction(*f);
         *f = nullptr;
       },
       0},
      {"a grid context's disposal", true, [](CompiledFunction**) { DisposeEvalContext(NewEvalContext(11)); }, 0},
      {"a run, the worker off", false, [](CompiledFunction** f) { EvaluateFunction1(*f, 2); }, 0},
  };
  for (const auto& c : cases) {
    CompiledFunction* function = FunctionOf("plus[times[2,u],1]");
    CompileFunction(function);
    UseComputeWorker(c.workerOn);
    SetComputeTurnsForTests(true);  // counts from nought
    c.act(&function);
    EXPECT_EQ(MainThreadRunsForTests(), c.runs) << c.what;
    SetComputeTurnsForTests(false);
    UseComputeWorker(false);
    DeleteCompiledFunction(function);
  }
}

}  // namespace
