// The pointer while the button is held in a formula: each step waits for the next movement or
// release (no time-out) and reports where the pointer then is, as a layout point of the current
// editor (window pixels less the drawing origin, in 16.16, mapped from its display line). The
// pinned form first keeps the pointer inside the whole formula's rectangle (for a broken formula
// as wide as the width limit and as tall as all its lines), so it never reports a point outside.
#pragma once

#include "editor/line_mapping.h"

// True while the button is still down.
bool TrackFormulaMouse(FixedPoint* point);
bool TrackFormulaMousePinned(FixedPoint* point);
