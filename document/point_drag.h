// Point drags: a draggable complex point (p = 1 + i) dragged in a plane view rewrites the row that
// defines it with the new value, written to what a pixel of the view tells apart; the graphs that
// use the name follow through VariableChanged, as they follow a slider, and the whole drag is one
// undo step of the row.
// Invariants: the value written is a complex literal (plus of a signed number and an imaginary
// term, whatever its parts' signs, zero included), so the row stays a draggable point; each number
// written is a plain num node whose text reads back as its value.
#pragma once

#include <cstdint>

#include "kernel/numeric/complex.h"
#include "kernel/trees/expr_node.h"

class GraphView;
class DocumentRecord;

// A finite magnitude (>= 0) rounded to the largest power of ten not above `pixel` (so neighbouring pixels
// get different texts), never to more digits than the shortest text that reads back as the
// magnitude: its text in fixed notation without trailing zeros ("1.25", "1230", "0"), or with an
// exponent where that would not fit a number's text ("1.5e-30"), and the value the text reads back
// as. A pixel that is not a positive finite size keeps the shortest text's digits. The text's
// decimal point is the user's separator.
struct PixelNumber {
  double value;
  char text[kNumberTextMax + 1];
};
PixelNumber PixelNumberOf(double magnitude, double pixel);

// The complex literal of the value, its real part to the pixel width `pixelX` and its imaginary
// part to the pixel height `pixelY`: plus(real, imaginary term), a negative real part as
// minus(num), a negative imaginary part as minus(times(num, i)); a part that rounds to zero is 0
// (p = 2 + 0i). Null, nothing held, when memory is refused.
ExprNode* NewPointLiteral(Complex value, double pixelX, double pixelY);

// A draggable point, graph `index` of the plane view `view`, was dragged to (x, y): the row that
// gives the point's name its value (the first complex-point definition of the name of the row whose
// graph it is) takes the literal of (x, y) to the view's pixel, unless the point stays in the
// pixel where the row puts it. The first rewrite of a drag records the row's undo step (the row's
// editor, if any); later ones join it until EndPointDrag. A caret inside the old value goes after
// the new one. Every graph is told the name changed (no rebuild), the document is marked
// modified and its window lays the rows out and draws them again. Returns whether a row changed;
// false also for a view or graph of no such row, coordinates that are not finite, or memory
// refused for the literal (the row stays as it was).
bool RewriteDraggedPoint(DocumentRecord* document, const GraphView* view, int32_t index, double x, double y);

// The drag is over (a new press, a key): the next rewrite is an undo step of its own.
void EndPointDrag(DocumentRecord* document);
