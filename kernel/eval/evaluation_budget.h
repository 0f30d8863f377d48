// The work of one evaluation: its bound, and its turns. A bounded sum runs its body at most
// kMaxLoopSpan + 1 times, so a sum alone (no sum inside it, inside none) is bounded by its span and
// its term; but sums nest, and nested ones could cost the product of every level's span. Every
// machine counts the work of nested sums against the work limit and gives up past it: the value is
// undefined (never a partial sum) and the run is counted here, so that a graph can say why it drew
// nothing. Every machine also takes a turn (EvaluationTurn) about every kEvaluationTurnWork
// instructions, so that a computation on a worker of its own can hand the processor back while a
// long value is worked out. Invariants: the give-up count only grows; the hot loops touch only
// their own local work counts, this record only at a turn, a run's start or a give-up.
#pragma once

#include <cstdint>

// Work one run may spend in sums that nest, in instructions run inside their bodies:
// 2^27, about 134 million, some tenths of a second of the real machine in a release build. Three
// nested sums of span 400 over a short term, or 26 nested pairs, stay inside it. A sum alone is
// never counted, whatever its term: a run of 100,001 terms of a thousand instructions each always
// gets its value.
inline constexpr int64_t kEvaluationWorkLimit = int64_t{1} << 27;
static_assert(kEvaluationWorkLimit >= 100'000'000, "nested sums keep their value up to 10^8 instructions");

// Instructions between two turns: a sixteen-thousandth of the limit, well under a millisecond.
inline constexpr int64_t kEvaluationTurnWork = int64_t{1} << 14;

// The work limit the machines apply: kEvaluationWorkLimit, unless a test lowered it to reach the
// give-up paths in moments under the sanitizers (0 restores the real one).
int64_t EvaluationWorkLimit();
void SetEvaluationWorkLimitForTests(int64_t limit);

// Counts one run that passed the work limit (the machines call it).
void NoteEvaluationPastWorkLimit();
// The runs that passed the work limit since start-up; compare two readings to learn whether the
// work between them passed it.
uint64_t EvaluationsPastWorkLimit();

// A turn: a point between two instructions of a run where whoever installed the hook may take the
// processor (suspend the thread until it is handed back) or end the run by throwing through it.
// No machine holds an allocation or a half-written record across a turn. The hook runs at every
// turn of every thread, so it tells its own worker's turns from the others' itself.
using EvaluationTurnHook = void (*)();
void SetEvaluationTurnHook(EvaluationTurnHook hook);  // null: no hook (turns cost one test)
EvaluationTurnHook InstalledEvaluationTurnHook();

// While set, every run and every compile takes a turn at its start: the hook must see any use of
// the process-wide evaluation state (scratch, bindings, compile batch) while a run it suspended
// holds it.
void SetTurnAtEveryStart(bool every);

// The turn record: instructions run since the last turn, outside sums (the machines' own counters
// hold the work in sums).
// What starts at a turn: a run, a compile, a disposal of compiled code (which frees what a
// suspended run may hold, and runs in destructors: the hook must never suspend or throw there), or
// a step of the rewriting that prepares a document's equations.
enum class TurnKind : uint8_t { kRun, kCompile, kDispose, kRewrite };
struct EvaluationTurnState {
  int64_t sinceTurn = 0;
  EvaluationTurnHook hook = nullptr;
  bool everyStart = false;
  TurnKind kind = TurnKind::kRun;  // of the turn under way
};
extern EvaluationTurnState gEvaluationTurns;

// A turn now: the hook, if any. The second form marks the turn's kind for the hook (TurnKindNow).
void EvaluationTurn();
void EvaluationTurn(TurnKind kind);
inline TurnKind TurnKindNow() { return gEvaluationTurns.kind; }

// The start of a run of `instructions` instructions (at most, outside sums) or of a compile: a turn
// once the runs since the last one pass kEvaluationTurnWork, or at once while every start is asked.
inline void NoteRunStart(int64_t instructions) {
  if ((gEvaluationTurns.sinceTurn += instructions) >= kEvaluationTurnWork) [[unlikely]] EvaluationTurn();
}
inline void NoteCompileStart() {
  if (gEvaluationTurns.sinceTurn >= kEvaluationTurnWork) [[unlikely]] EvaluationTurn(TurnKind::kCompile);
}
inline void NoteDisposeStart() {
  if (gEvaluationTurns.sinceTurn >= kEvaluationTurnWork) [[unlikely]] EvaluationTurn(TurnKind::kDispose);
}

// Tests: the give-up count kept, the limit, the hook and the turn count as at start-up.
void ResetEvaluationBudgetForTests();
