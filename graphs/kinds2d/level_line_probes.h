// Level-line probes: the searches that put a 2D probe on a level line f(x, y) = level, shared by
// the relation region and the level lines. One reads the crossings round a box into a nearest-point
// record, the other snaps a probe read-out onto the line's crossing with an axis.
// Invariants: every field of the records they fill is written from a crossing found or is NaN,
// never left unset; each search evaluates f a bounded number of times (LocateZeroOnSegment).
#pragma once

#include "graphs/core/graph_kind.h"
#include "kernel/numeric/numeric_helpers.h"

// The crossings of f = level round the box centre (cx, cy), half sizes (dx, dy):
// at: the crossing on the four half-diagonals nearest the centre (vertical distances scaled by
// dx / dy), which sets `found`; before (the entry): the first crossing on the edges taken left,
// bottom, top, right; after (the exit): the last one (the entry itself when no later edge has
// one). `found` is cleared without a half-diagonal crossing, when the left, bottom and top edges
// have none (the right edge alone gives no entry), and when the exit is the entry. The argument
// fields (index 0) are 0; coordinates of an entry or exit not found are NaN.
NearestPointRecord ProbeCrossingsInBox(const RealEvaluator& f, double level, double cx, double cy, double dx,
                                       double dy);

// Snaps the read-out (x, y) of the record onto the level line where it crosses an axis: when |x|
// <= tx, onto the crossing on the y axis between y - ty and y + ty; then, when |y| <= ty (the y
// read at the start), onto the crossing on the x axis between x - tx and x + tx (x read at the
// start), which wins. `snapped` is set when a snap took place and cleared otherwise.
void ProbeSegmentIfNear(const RealEvaluator& f, double level, double tx, double ty, ProbeRecord* record);
