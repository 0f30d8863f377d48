// The graph subsystem's process-wide record, the default label text and the constructors of the
// graph kinds that exist.
#include "graphs/graphs_state.h"

#include "graphics/qd_layer.h"
#include "graphs/traced_graph.h"
#include "platform/fonts.h"

namespace {

GraphsState gState;

constexpr int16_t kLabelTextSize = 12;

void SetEquationDrawingFont() {
  TextFont(kFontTimes);
  TextSize(kLabelTextSize);
  TextFace(0);
  TextMode(kSrcOr);
}

}  // namespace

LabelTextSeam DefaultLabelTextSeam() { return LabelTextSeam{SetEquationDrawingFont, CStringWidth, DrawCString}; }

GraphConstructors DefaultGraphConstructors() { return GraphConstructors{NewTracedGraph, nullptr, nullptr, nullptr}; }

GraphsState& GraphsGlobals() { return gState; }

void FreeProbeLists() {
  DisposeProbeList(gState.probeListA);
  DisposeProbeList(gState.probeListB);
  gState.probeListA = gState.probeListB = nullptr;
}

void ResetGraphsStateForTests() {
  FreeProbeLists();
  gState = GraphsState();
}
