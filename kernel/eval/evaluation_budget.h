// The work bound of one evaluation. A bounded sum runs its body at most kMaxLoopSpan + 1 times,
// but sums nest, so one value could otherwise cost the product of every level's span. Every
// machine counts the loop work of one run against kEvaluationWorkLimit and gives up past it: the
// value is undefined (never a partial sum) and the run is counted here, so that a graph can say
// why it drew nothing. Invariants: the count only grows; the hot loops touch only their own local
// work count, this record only when a run gives up.
#pragma once

#include <cstdint>

// Work one run of a compiled code may spend in bounded sums, in instructions run inside their
// bodies. A million: about a millisecond of the real machine and eight of the interval machine in
// a release build, so a graph that computes a column between two looks at the clock still leaves
// the window its turn. A sum of 10,000 terms of up to a hundred instructions, or three nested sums
// of span 40 over a short term, stay inside it; twenty nested sums of two terms do not.
inline constexpr int64_t kEvaluationWorkLimit = 1'000'000;

// Counts one run that passed the work limit (the machines call it).
void NoteEvaluationPastWorkLimit();
// The runs that passed the work limit since start-up; compare two readings to learn whether the
// work between them passed it.
uint64_t EvaluationsPastWorkLimit();
