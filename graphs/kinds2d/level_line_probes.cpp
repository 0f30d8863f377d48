// Level-line probes: the half-diagonals and edges of a box, and two axis segments, searched with
// LocateZeroOnSegment; entries and exits not found stay NaN.
#include "graphs/kinds2d/level_line_probes.h"

#include <cmath>

#include "kernel/numeric/numeric_constants.h"

NearestPointRecord ProbeCrossingsInBox(const RealEvaluator& f, double level, double cx, double cy, double dx,
                                       double dy) {
  NearestPointRecord record = NoNearestPoint();
  record.before[1] = record.before[2] = kUndefinedReal;
  record.after[1] = record.after[2] = kUndefinedReal;
  const double corners[4][2] = {{cx - dx, cy - dy}, {cx - dx, cy + dy}, {cx + dx, cy + dy}, {cx + dx, cy - dy}};
  const double aspect = (dx * dx) / (dy * dy);
  double best = kPositiveInfinity;
  for (const auto& corner : corners) {
    double x, y;
    if (!LocateZeroOnSegment(f, level, cx, cy, corner[0], corner[1], &x, &y)) continue;
    const double d = (x - cx) * (x - cx) + aspect * (y - cy) * (y - cy);
    if (record.found && !(d < best)) continue;
    best = d;
    record.at[1] = x, record.at[2] = y;
    record.found = 1;
  }
  if (!record.found) return record;

  // Left, bottom, top, right: the first three may give the entry, any of them the exit.
  const double edges[4][4] = {{cx - dx, cy - dy, cx - dx, cy + dy},
                              {cx - dx, cy - dy, cx + dx, cy - dy},
                              {cx - dx, cy + dy, cx + dx, cy + dy},
                              {cx + dx, cy + dy, cx + dx, cy - dy}};
  bool entered = false;
  for (int e = 0; e < 4; ++e) {
    double x, y;
    if (!LocateZeroOnSegment(f, level, edges[e][0], edges[e][1], edges[e][2], edges[e][3], &x, &y)) continue;
    if (!entered && e < 3) {
      entered = true;
      record.before[1] = x, record.before[2] = y;
    }
    record.after[1] = x, record.after[2] = y;
  }
  if (!entered) record.found = 0;
  if (record.after[1] == record.before[1] && record.after[2] == record.before[2]) record.found = 0;
  return record;
}

void ProbeSegmentIfNear(const RealEvaluator& f, double level, double tx, double ty, ProbeRecord* record) {
  record->snapped = 0;
  const double x = record->x, y = record->y;
  double px, py;
  if (std::fabs(x) <= tx && LocateZeroOnSegment(f, level, 0.0, y - ty, 0.0, y + ty, &px, &py)) {
    record->x = px, record->y = py, record->snapped = 1;
  }
  if (std::fabs(y) <= ty && LocateZeroOnSegment(f, level, x - tx, 0.0, x + tx, 0.0, &px, &py)) {
    record->x = px, record->y = py, record->snapped = 1;
  }
}
