// The process-wide count of runs that passed the evaluation work limit, the limit in force, and
// the turn record.
#include "kernel/eval/evaluation_budget.h"

namespace {

uint64_t gRunsPastWorkLimit = 0;
int64_t gWorkLimit = kEvaluationWorkLimit;

}  // namespace

EvaluationTurnState gEvaluationTurns;

int64_t EvaluationWorkLimit() { return gWorkLimit; }

void SetEvaluationWorkLimitForTests(int64_t limit) { gWorkLimit = limit > 0 ? limit : kEvaluationWorkLimit; }

void NoteEvaluationPastWorkLimit() { ++gRunsPastWorkLimit; }

uint64_t EvaluationsPastWorkLimit() { return gRunsPastWorkLimit; }

void SetEvaluationTurnHook(EvaluationTurnHook hook) { gEvaluationTurns.hook = hook; }

EvaluationTurnHook InstalledEvaluationTurnHook() { return gEvaluationTurns.hook; }

void SetTurnAtEveryStart(bool every) {
  gEvaluationTurns.everyStart = every;
  gEvaluationTurns.sinceTurn = every ? kEvaluationTurnWork : 0;
}

void EvaluationTurn() {
  EvaluationTurnState& turns = gEvaluationTurns;
  if (turns.hook != nullptr) turns.hook();
  // After the hook, which may have changed the request (a suspended run taken up or abandoned);
  // a hook that throws leaves the count due, and the next start takes a turn again.
  turns.sinceTurn = turns.everyStart ? kEvaluationTurnWork : 0;
}

void EvaluationTurn(TurnKind kind) {
  struct Marked {  // also when the hook throws
    explicit Marked(TurnKind k) { gEvaluationTurns.kind = k; }
    ~Marked() { gEvaluationTurns.kind = TurnKind::kRun; }
  } marked(kind);
  EvaluationTurn();
}

void ResetEvaluationBudgetForTests() {
  gWorkLimit = kEvaluationWorkLimit;
  gEvaluationTurns = EvaluationTurnState{};
}
