// The slider strip: the rows that define a parameter by a slider (a = slider(0, 10)) each get a
// line at the foot of the math pane, with a button that starts and stops its animation, the
// parameter's name, a track with its thumb and the value; the position under a point of the
// track, the strip's rectangles, and a move of a thumb sent to the graphs. Invariant: the strip
// takes at most half the pane.
#pragma once

#include <cstdint>

#include "document/document_record.h"
#include "document/equation_sliders.h"

inline constexpr int32_t kSliderLineHeight = 24;

// The rows with a slider control, in row order: the i-th such row's index, -1 past the last.
int32_t NthSliderRow(const DocumentRecord& document, int32_t i);
int32_t SliderRowCount(const DocumentRecord& document);

// The strip at the foot of the math pane: one line a slider while at most half the pane is taken
// (empty, at the pane's bottom, with no slider). The lines hidden past that are not drawn.
QDRect SliderStripRect(const QDRect& mathPane, int32_t sliders);
// The pane above the strip: where the rows go.
QDRect MathPaneLessStrip(const QDRect& mathPane, const QDRect& strip);
// Line i of the strip, and the track of the thumb inside it (between the name and the value).
QDRect SliderLineRect(const QDRect& strip, int32_t i);
QDRect SliderTrackRect(const QDRect& line);
// The button before the name that starts the line's animation (a triangle) and stops it (a
// square), as a press finds it: the line's height, from its left edge.
QDRect SliderAnimateButtonRect(const QDRect& line);
// The line of the strip under the point, -1 when none.
int32_t SliderLineAt(const QDRect& strip, int32_t sliders, QDPoint point);

// The position (0 .. steps) nearest a horizontal coordinate on the track; beyond its ends, the
// ends. steps <= 0 gives 0.
int32_t SliderPositionAt(const QDRect& track, int32_t steps, int32_t h);
// The thumb's centre on the track for a position (clamped to 0 .. steps).
int32_t SliderThumbCentre(const QDRect& track, int32_t steps, int32_t position);

// Moves the row's control to the position (clamped to 0 .. steps): its value is sent to every
// graph (VariableChanged through the view set, no rebuild), and is the parameter value when its
// variable is the parameter letter; the document is marked modified. False when the position did
// not change (nothing sent).
bool SetSliderPosition(DocumentRecord* document, int32_t row, int32_t position);

// Draws the strip (its lines, each with button, name, track, thumb and value) into the current
// port.
void DrawSliderStrip(const DocumentRecord& document, const QDRect& strip);
