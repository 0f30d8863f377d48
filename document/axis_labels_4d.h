// The letters of the 4D view's axes: x, y, z and w drawn just beyond the ends of the four axes,
// where the view's last frame put them (the block of StoreViewParameterBlock, in the labels'
// perspective), in the equation font, over the view's picture. The window and the headless
// picture draw them alike.
// Invariants: nothing is drawn unless the 4D view is the one shown, with its axes, and a frame
// stored the block; a letter stays inside the view's rectangle (clipped to it).
#pragma once

class DocumentRecord;
class GraphView4D;

// The window pixel (x across, y down, fractional) of a point (h, v) of the labels' perspective:
// the view's camera scale at the eye's distance, and the cube's, about the centre of its rectangle.
void AxisLabelPixel4D(const GraphView4D& view, double h, double v, double* x, double* y);
// Where the letter of axis k (0 x, 1 y, 2 z, 3 w) is centred, in window pixels: a few pixels on
// from the axis's end, away from the origin (up and to the right of an end drawn on the origin).
// False when the block gives no finite point for it.
bool AxisLetterCentre4D(const DocumentRecord& document, int axis, double* x, double* y);
// Draws the four letters into the current port.
void DrawAxisLabels4D(const DocumentRecord& document);
