// Worker start with its synchronous fallback, the shared entry, and the yield points.
// The closure is a counted heap block (AllocMemory, back through FreeMemory), so a
// refused allocation is injectable; a count of live closures lets tests prove that no
// path leaks one.
#include "kernel/threads/threads.h"

#include "kernel/memory/memory_budget.h"
#include "kernel/threads/timers.h"
#include "platform/coop_threads.h"

namespace {

struct ThreadClosure {
  ThreadFunction function;
  void* argument;
};

struct ThreadState {
  uint32_t deadline = 0;
  bool explicitYield = false;
  int liveClosures = 0;
};

constinit ThreadState threads;
constinit uint32_t yieldInterval = 0;  // 0 until the static initialiser (or first use) sets it

// The static initialiser: the yield interval is ready before main.
struct StaticInitialiser {
  StaticInitialiser() { YieldIntervalUnits(); }
} staticInitialiser;

void FreeClosure(ThreadClosure* closure) {
  FreeMemory(closure);
  --threads.liveClosures;
}

void EntryTrampoline(void* closure) { ThreadEntry(closure); }

// Workers that refuse to end after this many abort rounds are unwound instead.
constexpr int kShutdownAbortRounds = 64;

}  // namespace

uint32_t YieldIntervalUnits() {
  if (yieldInterval == 0) yieldInterval = TicksToTimerUnits(10);
  return yieldInterval;
}

ThreadId StartThread(ThreadFunction function, void* argument) {
  if (function == nullptr) return 0;
  auto* closure = static_cast<ThreadClosure*>(AllocMemory(sizeof(ThreadClosure)));
  if (closure == nullptr) {
    // No error is posted: the work still gets done, only not beside the main thread.
    function(argument);
    return 0;
  }
  ++threads.liveClosures;
  closure->function = function;
  closure->argument = argument;
  const CoopThreadId id = CoopCreateThread(EntryTrampoline, closure, kWorkerStackBytes);
  if (id == kCoopNoThread) {
    FreeClosure(closure);
    function(argument);
    return 0;
  }
  return id;
}

int ThreadEntry(void* raw) {
  struct FreeOnExit {
    ThreadClosure* closure;
    ~FreeOnExit() { FreeClosure(closure); }
  } guard{static_cast<ThreadClosure*>(raw)};
  guard.closure->function(guard.closure->argument);
  return 0;
}

void YieldThreadsTimed() {
  threads.explicitYield = false;
  threads.deadline = ElapsedTimerUnits() + YieldIntervalUnits();
  CoopYieldToAny();
}

void YieldIfDue() {
  if (GetOutOfMemoryFlag() || threads.explicitYield) return;
  if (IsMainThread()) return;
  if (DeadlineReached(ElapsedTimerUnits(), threads.deadline)) CoopYieldToAny();
}

bool IsMainThread() { return CoopCurrentThread() == kCoopMainThread; }

void YieldToThreadAborting(ThreadId thread) {
  const bool saved = GetOutOfMemoryFlag();
  SetOutOfMemoryFlag(true);
  const std::uint64_t raises = OutOfMemoryRaises();
  CoopYieldTo(thread);
  // A raise while the worker unwound is a real exhaustion, not the abort request: it stays
  // (unless whoever raised it has recovered since).
  const bool raisedMeanwhile = OutOfMemoryRaises() != raises && GetOutOfMemoryFlag();
  SetOutOfMemoryFlag(saved || raisedMeanwhile);
}

void YieldToThreadToFinish(ThreadId thread) {
  threads.explicitYield = true;
  CoopYieldTo(thread);
}

void ShutdownThreads() {
  if (!IsMainThread()) return;
  for (int round = 0; round < kShutdownAbortRounds; ++round) {
    const auto live = CoopLiveWorkers();
    if (live.empty()) break;
    for (CoopThreadId id : live) YieldToThreadAborting(id);
  }
  CoopShutdown();
}

uint32_t YieldDeadline() { return threads.deadline; }
bool ExplicitYieldFlag() { return threads.explicitYield; }
int LiveThreadClosures() { return threads.liveClosures; }

void ResetThreadsForTests() {
  const int live = threads.liveClosures;
  threads = ThreadState{};
  threads.liveClosures = live;  // a count of real blocks, not a setting
  yieldInterval = 0;
}
