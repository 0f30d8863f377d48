// The arrowhead of the plane's arrows (the vector field's and the arrow graph's): a filled
// triangle, 3 to 5 drawing pixels long by the arrow's length on the screen, shaded into the current
// offscreen buffer by its 4 x 4 sample coverage of each pixel.
// Contract: it takes the arrow's tail and its vector, not its tip: the head lands at the tail plus
// the vector. Nothing is drawn for an arrow of no length on the screen, nor one wholly outside.
#pragma once

#include <cstdint>

#include "graphics/packed_color.h"

struct ViewMap;

// The head of the arrow from world (x, y) by (ax, ay), its tip at (x + ax, y + ay), in rgb.
void DrawArrowHead(double x, double y, double ax, double ay, const ViewMap* map, PackedRGB rgb);
