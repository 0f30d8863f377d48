// The graphs' computing on a cooperative worker of its own, so that a value that outlasts the idle
// budget (a sum of a hundred thousand terms at every point of a column) hands the window its turn
// at an evaluation turn and is taken up again where it stopped: the picture is the one computed at
// one go. The worker runs jobs that evaluate (a graph's Compute, a probe, a pick under the mouse)
// and nothing else; views, drawing and GL stay on the main thread. While a job lies suspended the
// rest of the program may read the graphs but not evaluate, compile or change them: each of those
// abandons it first (the evaluation turns see to evaluating and compiling, the view set to
// changes). A Compute's graph keeps every unit of work it finished; the unit it was in is computed
// again. Invariants: at most one job is in flight, suspended only at an evaluation turn of the
// worker; the baton goes back to whoever handed it over; the evaluation-turn hook is installed
// exactly while the worker is wanted.
#pragma once

#include <cstdint>
#include <type_traits>

class GraphKind;

// What became of the job asked for: it ended, it lies suspended, or it did not start, since the job
// suspended earlier, taken up first, used the whole budget (it may lie suspended still).
enum class ComputeOutcome : uint8_t { kEnded, kSuspended, kNotRun };

// Turns the worker on (the window, while it is open) or off (its close). Off: a suspended job is
// abandoned, the worker ends, the evaluation-turn hook is removed, and jobs run on the caller's
// thread at one go, as they do headless.
void UseComputeWorker(bool on);

// A job the worker runs: job(argument, budget), where budget is the time given in timer units. It
// may evaluate; at a turn past the deadline it lies suspended until taken up again or abandoned
// (ComputeAbandoned then unwinds it, so it holds no allocation and no half-made record across an
// evaluation).
using TurnsJob = void (*)(void* argument, int32_t budget);

// Runs the job on the worker when it is on, until it returns or the budget runs out in the middle of
// a value (kSuspended); off, on the caller's thread at one go. A job suspended earlier is taken up
// first, for at most the budget; when it was this very job (same job and argument) that is all,
// otherwise this one then starts with what is left, if any is (else kNotRun).
ComputeOutcome RunInTurns(TurnsJob job, void* argument, int32_t budget);

// graph->Compute(budget) as a job: a graph's suspended Compute taken up again is also started anew
// with the time left, which only carries it on from the units it kept.
ComputeOutcome ComputeInTurns(GraphKind* graph, int32_t budget);

// True while a job lies suspended; the second form, while this job (job and argument) does.
bool ComputeSuspended();
bool JobSuspended(TurnsJob job, const void* argument);
// Jobs abandoned since start-up (a read-out for tests).
uint64_t ComputesAbandoned();

// Abandons the suspended job, if any: it unwinds from its turn (a Compute's graph keeps the units it
// finished). Any thread; does nothing when none is suspended.
void AbandonSuspendedCompute();

// Runs `call` on the thread that handed the job over (the main thread, where GL contexts are
// current and the views live) and returns when it is done; elsewhere it runs at once. Graph code
// calls it between evaluations, never inside one.
void OnMainThread(void (*call)(void*), void* argument);
template <class F>
void OnMainThread(F&& f) {
  using Call = std::remove_reference_t<F>;
  OnMainThread([](void* callable) { (*static_cast<Call*>(callable))(); }, static_cast<void*>(&f));
}

// Thrown through a job from its turn to abandon it. Graph code lets it pass; the worker's own frame
// catches it.
struct ComputeAbandoned {};

// Tests: while on, every run and compile takes a turn and the worker lies suspended at every turn of
// its own, whatever the clock says, so any computing is cut up however fast the machine is; and the
// runs the main thread starts while the worker is wanted (compiles aside) are counted. The count
// form only counts: the worker keeps its deadlines.
void SetComputeTurnsForTests(bool everyTurn);
void CountMainThreadRunsForTests(bool count);
uint64_t MainThreadRunsForTests();
