// The graph subsystem's process-wide record.
#include "graphs/graphs_state.h"

namespace {
GraphsState gState;
}  // namespace

GraphsState& GraphsGlobals() { return gState; }

void ResetGraphsStateForTests() { gState = GraphsState(); }
