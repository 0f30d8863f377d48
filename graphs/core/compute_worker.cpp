// The compute worker: a direct cooperative thread that runs one graph's Compute a request at a
// time, and the evaluation-turn hook that suspends it past its deadline or abandons it when another
// thread reaches for the evaluation state it holds.
#include "graphs/core/compute_worker.h"

#include "graphs/core/graph_kind.h"
#include "kernel/eval/evaluation_budget.h"
#include "kernel/threads/threads.h"
#include "kernel/threads/timers.h"
#include "platform/coop_threads.h"

namespace {

enum class WorkerState : uint8_t { kIdle, kRunning, kSuspended, kCallingMain };
enum class WorkerRequest : uint8_t { kNone, kCompute, kResume, kAbandon, kQuit };

struct ComputeWorker {
  bool wanted = false;
  CoopThreadId id = kCoopNoThread;
  WorkerState state = WorkerState::kIdle;
  WorkerRequest request = WorkerRequest::kNone;
  GraphKind* graph = nullptr;  // the Compute in flight
  int32_t budget = 0;
  uint32_t deadline = 0;                   // of the present turn, in timer units
  CoopThreadId caller = kCoopMainThread;   // who handed the baton over last
  void (*call)(void*) = nullptr;           // while kCallingMain: what the caller runs
  void* callArgument = nullptr;
};

ComputeWorker worker;
uint64_t abandoned = 0;  // since start-up; outlives the workers

// Hands the baton to the worker with a request and returns when it comes back with the Compute
// ended or suspended; meanwhile runs what the Compute asks of this thread (OnMainThread).
void Hand(WorkerRequest request, uint32_t deadline) {
  worker.request = request;
  worker.deadline = deadline;
  worker.caller = CoopCurrentThread();
  CoopYieldTo(worker.id);
  while (worker.state == WorkerState::kCallingMain) {
    worker.call(worker.callArgument);
    CoopYieldTo(worker.id);
  }
}

// On the worker, at a turn past its deadline: the baton back to the caller until a request comes.
// Anything but a resume (an abandon, the worker's end, the threads' shut-down) unwinds the Compute.
void Suspend() {
  worker.state = WorkerState::kSuspended;
  SetTurnAtEveryStart(true);
  struct Resumed {  // also when the shut-down unwinds the worker from its yield
    ~Resumed() {
      SetTurnAtEveryStart(false);
      worker.state = WorkerState::kRunning;
    }
  } resumed;
  CoopYieldTo(worker.caller);
  const WorkerRequest request = worker.request;
  worker.request = WorkerRequest::kNone;
  if (request != WorkerRequest::kResume) throw ComputeAbandoned{};
}

void OnEvaluationTurn() {
  if (worker.id == kCoopNoThread) return;
  if (CoopCurrentThread() == worker.id) {
    if (worker.state == WorkerState::kRunning && DeadlineReached(ElapsedTimerUnits(), worker.deadline)) Suspend();
  } else if (worker.state == WorkerState::kSuspended) {
    AbandonSuspendedCompute();  // another thread is about to evaluate or compile
  }
}

// The worker's life: a Compute a request; woken with no compute to do, it ends.
void WorkerMain(void*) {
  struct Ended {  // however it ends, the shut-down's unwinding included
    ~Ended() {
      worker.id = kCoopNoThread;
      worker.state = WorkerState::kIdle;
      worker.graph = nullptr;
    }
  } ended;
  while (worker.request == WorkerRequest::kCompute) {
    worker.request = WorkerRequest::kNone;
    worker.state = WorkerState::kRunning;
    try {
      worker.graph->Compute(worker.budget);
    } catch (const ComputeAbandoned&) {
      // Its graph keeps what it finished; the unit it was in is done again at its next Compute.
    }
    worker.state = WorkerState::kIdle;
    worker.graph = nullptr;
    CoopYieldTo(worker.caller);
  }
}

bool WorkerReady() {
  if (!worker.wanted) return false;
  if (worker.id != kCoopNoThread && CoopIsAlive(worker.id)) return true;
  worker = ComputeWorker{true};
  worker.id = CoopCreateDirectThread(WorkerMain, nullptr, kWorkerStackBytes);
  if (worker.id == kCoopNoThread) return false;  // computing goes on at one go
  SetEvaluationTurnHook(OnEvaluationTurn);
  return true;
}

}  // namespace

void UseComputeWorker(bool on) {
  if (on) {
    worker.wanted = true;
    return;
  }
  AbandonSuspendedCompute();
  worker.wanted = false;
  if (worker.id != kCoopNoThread && CoopIsAlive(worker.id)) Hand(WorkerRequest::kQuit, 0);
  worker = ComputeWorker{};
  if (InstalledEvaluationTurnHook() == OnEvaluationTurn) SetEvaluationTurnHook(nullptr);
  SetTurnAtEveryStart(false);
}

ComputeOutcome ComputeInTurns(GraphKind* graph, int32_t budget) {
  if (!WorkerReady()) {
    graph->Compute(budget);
    return ComputeOutcome::kEnded;
  }
  const uint32_t deadline = ElapsedTimerUnits() + static_cast<uint32_t>(budget > 0 ? budget : 0);
  if (worker.state == WorkerState::kSuspended) {
    Hand(WorkerRequest::kResume, deadline);
    if (worker.state == WorkerState::kSuspended) return ComputeOutcome::kSuspended;
    const uint32_t now = ElapsedTimerUnits();
    if (DeadlineReached(now, deadline)) return ComputeOutcome::kEnded;
    budget = static_cast<int32_t>(deadline - now);
  }
  worker.graph = graph;
  worker.budget = budget;
  Hand(WorkerRequest::kCompute, deadline);
  return worker.state == WorkerState::kSuspended ? ComputeOutcome::kSuspended : ComputeOutcome::kEnded;
}

bool ComputeSuspended() { return worker.state == WorkerState::kSuspended; }

void OnMainThread(void (*call)(void*), void* argument) {
  if (worker.id == kCoopNoThread || CoopCurrentThread() != worker.id) {
    call(argument);
    return;
  }
  worker.call = call;
  worker.callArgument = argument;
  worker.state = WorkerState::kCallingMain;
  CoopYieldTo(worker.caller);
  worker.state = WorkerState::kRunning;
}

uint64_t ComputesAbandoned() { return abandoned; }

void AbandonSuspendedCompute() {
  if (worker.state != WorkerState::kSuspended || CoopCurrentThread() == worker.id) return;
  ++abandoned;
  Hand(WorkerRequest::kAbandon, 0);
}
