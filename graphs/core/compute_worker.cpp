// The compute worker: a direct cooperative thread that runs one job a request at a time, and the
// evaluation-turn hook that suspends it past its deadline or abandons it when another thread
// reaches for the evaluation state it holds.
#include "graphs/core/compute_worker.h"

#include <exception>

#include "graphs/core/graph_kind.h"
#include "kernel/eval/evaluation_budget.h"
#include "kernel/threads/threads.h"
#include "kernel/threads/timers.h"
#include "platform/coop_threads.h"

namespace {

enum class WorkerState : uint8_t { kIdle, kRunning, kSuspended, kCallingMain };
enum class WorkerRequest : uint8_t { kNone, kRun, kResume, kAbandon, kQuit };

struct ComputeWorker {
  bool wanted = false;
  CoopThreadId id = kCoopNoThread;
  WorkerState state = WorkerState::kIdle;
  WorkerRequest request = WorkerRequest::kNone;
  TurnsJob job = nullptr;  // the job in flight
  void* argument = nullptr;
  int32_t budget = 0;
  uint32_t deadline = 0;                   // of the present turn, in timer units
  CoopThreadId caller = kCoopMainThread;   // who handed the baton over last
  void (*call)(void*) = nullptr;           // while kCallingMain: what the caller runs
  void* callArgument = nullptr;
};

// What outlives the workers: the abandon count and the tests' switch with its count.
struct WorkerRecord {
  uint64_t abandoned = 0;
  bool everyTurn = false;  // suspends at each of the worker's turns
  bool counting = false;   // counts the main thread's runs
  uint64_t mainThreadRuns = 0;
  bool EveryStart() const { return everyTurn || counting; }
};

ComputeWorker worker;
WorkerRecord record;

// Hands the baton to the worker with a request and returns when it comes back with the job ended
// or suspended; meanwhile runs what the job asks of this thread (OnMainThread).
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
// Anything but a resume (an abandon, the worker's end, the threads' shut-down) unwinds the job.
void Suspend() {
  worker.state = WorkerState::kSuspended;
  SetTurnAtEveryStart(true);
  struct Resumed {  // also when the shut-down unwinds the worker from its yield
    ~Resumed() {
      SetTurnAtEveryStart(record.EveryStart());
      worker.state = WorkerState::kRunning;
    }
  } resumed;
  CoopYieldTo(worker.caller);
  const WorkerRequest request = worker.request;
  worker.request = WorkerRequest::kNone;
  if (request != WorkerRequest::kResume) throw ComputeAbandoned{};
}

void OnEvaluationTurn() {
  const bool onWorker = worker.id != kCoopNoThread && CoopCurrentThread() == worker.id;
  if (onWorker) {
    // Never where a throw could not pass: a disposal (destructors dispose) or an unwinding.
    if (TurnKindNow() == TurnKind::kDispose || std::uncaught_exceptions() > 0) return;
    const bool due = record.everyTurn || DeadlineReached(ElapsedTimerUnits(), worker.deadline);
    if (worker.state == WorkerState::kRunning && due) Suspend();
    return;
  }
  if (record.EveryStart() && TurnKindNow() == TurnKind::kRun) ++record.mainThreadRuns;
  if (worker.state == WorkerState::kSuspended) AbandonSuspendedCompute();  // about to evaluate, compile or free
}

// The worker's life: a job a request; woken with no job to run, it ends.
void WorkerMain(void*) {
  struct Ended {  // however it ends, the shut-down's unwinding included
    ~Ended() {
      worker.id = kCoopNoThread;
      worker.state = WorkerState::kIdle;
      worker.job = nullptr;
      worker.argument = nullptr;
    }
  } ended;
  while (worker.request == WorkerRequest::kRun) {
    worker.request = WorkerRequest::kNone;
    worker.state = WorkerState::kRunning;
    try {
      worker.job(worker.argument, worker.budget);
    } catch (const ComputeAbandoned&) {
      // A Compute's graph keeps what it finished; the unit it was in is done again at its next Compute.
    }
    worker.state = WorkerState::kIdle;
    worker.job = nullptr;
    worker.argument = nullptr;
    CoopYieldTo(worker.caller);
  }
}

bool WorkerReady() {
  if (!worker.wanted) return false;
  if (worker.id != kCoopNoThread && CoopIsAlive(worker.id)) return true;
  worker = ComputeWorker{true};
  worker.id = CoopCreateDirectThread(WorkerMain, nullptr, kWorkerStackBytes);
  return worker.id != kCoopNoThread;  // else the jobs run at one go
}

void ComputeJob(void* graph, int32_t budget) { static_cast<GraphKind*>(graph)->Compute(budget); }

}  // namespace

void UseComputeWorker(bool on) {
  if (on) {
    worker.wanted = true;
    SetEvaluationTurnHook(OnEvaluationTurn);
    return;
  }
  AbandonSuspendedCompute();
  worker.wanted = false;
  if (worker.id != kCoopNoThread && CoopIsAlive(worker.id)) Hand(WorkerRequest::kQuit, 0);
  worker = ComputeWorker{};
  if (InstalledEvaluationTurnHook() == OnEvaluationTurn) SetEvaluationTurnHook(nullptr);
  SetTurnAtEveryStart(record.EveryStart());
}

ComputeOutcome RunInTurns(TurnsJob job, void* argument, int32_t budget) {
  if (!WorkerReady()) {
    job(argument, budget);
    return ComputeOutcome::kEnded;
  }
  const uint32_t deadline = ElapsedTimerUnits() + static_cast<uint32_t>(budget > 0 ? budget : 0);
  if (worker.state == WorkerState::kSuspended) {
    const bool same = worker.job == job && worker.argument == argument;
    Hand(WorkerRequest::kResume, deadline);
    if (same) return worker.state == WorkerState::kSuspended ? ComputeOutcome::kSuspended : ComputeOutcome::kEnded;
    if (worker.state == WorkerState::kSuspended) return ComputeOutcome::kNotRun;
    const uint32_t now = ElapsedTimerUnits();
    if (DeadlineReached(now, deadline)) return ComputeOutcome::kNotRun;
    budget = static_cast<int32_t>(deadline - now);
  }
  worker.job = job;
  worker.argument = argument;
  worker.budget = budget;
  Hand(WorkerRequest::kRun, deadline);
  return worker.state == WorkerState::kSuspended ? ComputeOutcome::kSuspended : ComputeOutcome::kEnded;
}

ComputeOutcome ComputeInTurns(GraphKind* graph, int32_t budget) {
  // Not RunInTurns' "that is all": a Compute taken up again goes on into its next units.
  if (JobSuspended(ComputeJob, graph)) {
    const uint32_t deadline = ElapsedTimerUnits() + static_cast<uint32_t>(budget > 0 ? budget : 0);
    if (RunInTurns(ComputeJob, graph, budget) == ComputeOutcome::kSuspended) return ComputeOutcome::kSuspended;
    const uint32_t now = ElapsedTimerUnits();
    if (DeadlineReached(now, deadline)) return ComputeOutcome::kEnded;
    budget = static_cast<int32_t>(deadline - now);
  }
  return RunInTurns(ComputeJob, graph, budget);
}

bool ComputeSuspended() { return worker.state == WorkerState::kSuspended; }

bool JobSuspended(TurnsJob job, const void* argument) {
  return worker.state == WorkerState::kSuspended && worker.job == job && worker.argument == argument;
}

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

uint64_t ComputesAbandoned() { return record.abandoned; }

void AbandonSuspendedCompute() {
  if (worker.state != WorkerState::kSuspended || CoopCurrentThread() == worker.id) return;
  ++record.abandoned;
  Hand(WorkerRequest::kAbandon, 0);
}

void SetComputeTurnsForTests(bool everyTurn) {
  record.everyTurn = everyTurn;
  record.mainThreadRuns = 0;
  if (worker.state != WorkerState::kSuspended) SetTurnAtEveryStart(record.EveryStart());
}

void CountMainThreadRunsForTests(bool count) {
  record.counting = count;
  record.mainThreadRuns = 0;
  if (worker.state != WorkerState::kSuspended) SetTurnAtEveryStart(record.EveryStart());
}

uint64_t MainThreadRunsForTests() { return record.mainThreadRuns; }
