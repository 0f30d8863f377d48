// The selection highlight and the caret of the current editor, and the selection's rectangles
// in window pixels. A highlight given in layout coordinates is drawn on the display lines it
// covers: one rounded rectangle on one line, else a tail on the first line, a whole band for
// each line between and a head on the last (always in the highlight colour). The pixel
// rectangles come from the selection geometry in layout coordinates, not mapped through lines.
#pragma once

#include <cstdint>

#include "editor/typeset_port.h"
#include "kernel/trees/typeset_records.h"

struct QDPoint;

inline constexpr TypesetColour kHighlightColour{0xB5B5, 0xD5D5, 0xFFFF};
inline constexpr double kHighlightCornerRadius = 5.0;

// Fills the rectangle (layout coordinates, origin added, fractions kept) with rounded corners,
// in the highlight colour, or in the port's own colour when `plain`.
void DrawHiliteRoundRect(const FixedRect& rect, bool plain);
void DrawMultiLineSelection(const FixedRect& rect, bool plain);

// Window pixel rectangles; each returns what the geometry returns (false: rect untouched).
bool GetFormulaSelectionRect(PixelRect* rect);
// As GetFormulaSelectionRect, with an operator selection measured as its whole node.
bool GetCaretRectKeepMode(PixelRect* rect);
// The root's rectangle; the caret is put back.
bool GetWholeFormulaRect(PixelRect* rect);
// The rectangle of the first char node (pre-order) of the symbol; false, rect untouched, when
// the formula has none.
bool GetSymbolCharRect(int32_t symbol, PixelRect* rect);
// The window point lies in a selection that can be dragged (edges included).
bool PointInDraggableSelection(QDPoint point);
// The window point lies in the selected node's rectangle (mode 0 only).
bool PointInCaretRect(QDPoint point);

// Draws the caret bar in XOR (a second call erases it) when the layout is valid and the mode
// shows one: modes 3 and 4, a collapsed text or digit caret, or a selected prompt while a prompt
// caret is pending. Toggles the caret-shown phase (the editor's document flag).
void DrawCurrentEquationCaret();
