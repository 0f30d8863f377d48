// The colour programs' process-wide record.
#include "graphics/colour/colour_program_state.h"

#include "kernel/memory/memory_budget.h"

ColorProgramState& ColorProgramGlobals() {
  static ColorProgramState state;
  return state;
}

char* TakeCapturedProgramText() {
  char* text = ColorProgramGlobals().capturedText;
  ColorProgramGlobals().capturedText = nullptr;
  return text;
}

void ResetColorProgramGlobalsForTest() {
  FreeMemory(ColorProgramGlobals().capturedText);
  ColorProgramGlobals() = ColorProgramState{};
}
