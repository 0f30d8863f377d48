// Cooperative threads: real pthreads that pass one baton, so exactly one of them runs
// at a time and control changes hands only inside the yields below or when a worker
// ends. Ids are never reused; a yield to an unknown, ended or current id returns at
// once. Every worker is unwound and joined by CoopShutdown (and at process exit).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

using CoopThreadId = uint32_t;
using CoopEntry = void (*)(void* argument);

inline constexpr CoopThreadId kCoopNoThread = 0;    // "no thread": creation failed
inline constexpr CoopThreadId kCoopMainThread = 1;  // the thread that is not a worker
inline constexpr size_t kCoopMinStackBytes = size_t{1} << 20;

// Thrown out of a yield inside a worker while CoopShutdown is unwinding it; the
// worker's own entry frame catches it. Worker code must let it pass. A yield made by a
// destructor during that unwinding returns at once.
struct CoopThreadAbort {};

// Creates a worker that will run entry(argument) when the baton first reaches it; the
// caller keeps running. The stack is max(stackBytes, 1 MiB). Returns its id, or
// kCoopNoThread when creation fails (injected failure, pthread refusal, ids used up).
CoopThreadId CoopCreateThread(CoopEntry entry, void* argument, size_t stackBytes);

// A worker of its own for one caller: the round-robin never passes it the baton, and its own
// CoopYieldToAny returns at once, so it runs only between a CoopYieldTo naming it and its own
// CoopYieldTo back. Otherwise as CoopCreateThread.
CoopThreadId CoopCreateDirectThread(CoopEntry entry, void* argument, size_t stackBytes);

// Passes the baton round-robin: to the next live worker after the caller in creation
// order (direct workers left out), and after the last worker to the main thread. Returns
// when the baton comes back; returns at once when no other thread is ready.
void CoopYieldToAny();

// Passes the baton to one thread and returns when it comes back. An unknown, ended or
// current id returns at once.
void CoopYieldTo(CoopThreadId id);

// A worker that ends hands the baton to the main thread (not round-robin), so a request
// the main thread aimed at one worker never runs another under the same flags.

// Any thread not made by CoopCreateThread counts as the main thread: only one such
// thread may use this layer.
CoopThreadId CoopCurrentThread();
bool CoopIsAlive(CoopThreadId id);              // created and not yet ended
std::vector<CoopThreadId> CoopLiveWorkers();    // in creation order

// Main thread only: unwinds every live worker (its pending or next yield throws
// CoopThreadAbort) and joins every thread. The layer can be used again afterwards.
void CoopShutdown();

// Test hook: the next `count` creations fail as if pthread had refused them.
void CoopInjectCreateFailures(int count);
