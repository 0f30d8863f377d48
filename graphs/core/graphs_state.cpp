// The graph subsystem's process-wide record and the default label text.
#include "graphs/core/graphs_state.h"

#include "graphics/qd_layer.h"
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
