// The records of the 2D probe: the cleared probe and the empty nearest point.
#include "graphs/graph_kind.h"

#include <new>

void InitProbeRecord(ProbeRecord* record) {
  const double keep0 = record->aux[0];
  const double keep1 = record->aux[1];
  *record = ProbeRecord{};
  record->aux[0] = keep0;
  record->aux[1] = keep1;
}

NearestPointRecord NoNearestPoint() { return NearestPointRecord{}; }

GrowArray<ProbePoint>* NewProbeList() { return new (std::nothrow) GrowArray<ProbePoint>(); }

void DisposeProbeList(GrowArray<ProbePoint>* list) {
  if (list == nullptr) return;
  GrowArrayFree(*list);
  delete list;
}
