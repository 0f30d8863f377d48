// The process-wide count of runs that passed the evaluation work limit.
#include "kernel/eval/evaluation_budget.h"

namespace {

uint64_t gRunsPastWorkLimit = 0;

}  // namespace

void NoteEvaluationPastWorkLimit() { ++gRunsPastWorkLimit; }

uint64_t EvaluationsPastWorkLimit() { return gRunsPastWorkLimit; }
