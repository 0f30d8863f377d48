// The graphs' computing on a cooperative worker of its own, so that a value that outlasts the idle
// budget (a sum of a hundred thousand terms at every point of a column) hands the window its turn
// at an evaluation turn and is taken up again where it stopped: the picture is the one computed at
// one go. The worker runs a graph's Compute and nothing else; views, drawing and GL stay on the
// main thread. While a Compute lies suspended the rest of the program may read the graphs but not
// evaluate, compile or change them: each of those abandons it first (the evaluation turns see to
// evaluating and compiling, the view set to changes). Its graph keeps every unit of work it
// finished; the unit it was in is computed again.
// Invariants: at most one Compute is in flight, suspended only at an evaluation turn of the worker;
// the baton goes back to whoever handed it over.
#pragma once

#include <cstdint>
#include <type_traits>

class GraphKind;

enum class ComputeOutcome : uint8_t { kEnded, kSuspended };

// Turns the worker on or off (the window, while it is open). Off: a suspended Compute is abandoned,
// the worker ends, and Compute runs on the caller's thread at one go, as it does headless.
void UseComputeWorker(bool on);

// graph->Compute(budget), on the worker when it is on, until it returns or the budget runs out in
// the middle of a value (kSuspended). A Compute suspended earlier is taken up first, for at most
// the budget; `graph`'s own Compute then gets what is left.
ComputeOutcome ComputeInTurns(GraphKind* graph, int32_t budget);

// True while a Compute lies suspended.
bool ComputeSuspended();
// Computes abandoned since start-up (a read-out for tests).
uint64_t ComputesAbandoned();

// Abandons the suspended Compute, if any: it unwinds from its turn and its graph keeps the units it
// finished. Any thread; does nothing when none is suspended.
void AbandonSuspendedCompute();

// Runs `call` on the thread that handed the Compute over (the main thread, where GL contexts are
// current and the views live) and returns when it is done; elsewhere it runs at once. Graph code
// calls it between evaluations, never inside one.
void OnMainThread(void (*call)(void*), void* argument);
template <class F>
void OnMainThread(F&& f) {
  using Call = std::remove_reference_t<F>;
  OnMainThread([](void* callable) { (*static_cast<Call*>(callable))(); }, static_cast<void*>(&f));
}

// Thrown through a Compute from its turn to abandon it. Graph code lets it pass (it holds no
// allocation and no half-made record across an evaluation); the worker's own frame catches it.
struct ComputeAbandoned {};
