// The cooperative worker threads of the kernel: the preparation worker of a document
// runs beside the main thread and gives control back only at YieldIfDue (about one
// yield interval per idle cycle) or when it ends. The out-of-memory flag doubles as the
// abort request; the explicit-yield flag asks the worker to run to its end. The flags
// and the deadline are plain fields: only the thread holding the baton touches them.
#pragma once

#include <cstddef>
#include <cstdint>

using ThreadFunction = void (*)(void* argument);
using ThreadId = uint32_t;  // 0: no thread (the function ran at once)

inline constexpr size_t kWorkerStackBytes = size_t{8} << 20;  // as much as the main thread

// Starts a cooperative thread running function(argument); it first runs at the caller's
// next yield. Returns its id, or 0 when no thread could be made (creation refused, or the
// memory budget refused the closure): the function has then already run to its end on
// the caller's thread.
ThreadId StartThread(ThreadFunction function, void* argument);

// The shared thread entry: runs closure->function(closure->argument), frees the closure
// with the allocator that made it (also when shut-down unwinds the worker) and returns 0.
int ThreadEntry(void* closure);

// Main thread at idle: clears the explicit-yield flag, sets the deadline to now plus the
// yield interval and lets the workers run; returns when the baton comes back.
void YieldThreadsTimed();

// Worker yield point: yields round-robin once the deadline is reached, unless this is
// the main thread or the out-of-memory or explicit-yield flag is set. It never moves the
// deadline.
void YieldIfDue();

bool IsMainThread();

// Raises the out-of-memory flag, yields to the thread and restores the flag's former
// value when control returns: the worker leaves its loops at its next check and ends.
// A flag raised again while the worker unwound (memory really ran out) is kept raised.
void YieldToThreadAborting(ThreadId thread);

// Sets the explicit-yield flag and yields to the thread, which then runs to its end.
// The flag stays set until the next YieldThreadsTimed.
void YieldToThreadToFinish(ThreadId thread);

// At shut-down, on the main thread: aborts every worker as YieldToThreadAborting does,
// unwinds any that still will not end, and joins them all.
void ShutdownThreads();

// TicksToTimerUnits(10): how long a worker runs per idle cycle. Set by a static
// initialiser; safe to call from other static initialisers too.
uint32_t YieldIntervalUnits();

// Read-outs and reset for tests.
uint32_t YieldDeadline();
bool ExplicitYieldFlag();
int LiveThreadClosures();
void ResetThreadsForTests();
