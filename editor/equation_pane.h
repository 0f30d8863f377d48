// What the document window does with its rows' editors: creates one for a new row, draws a row,
// blinks and draws the caret, passes a click on a row, and tells whether the document can be
// saved as a movie. Every operation that takes an editor makes it current (loading the owner's
// text style) first, and every one that draws saves and restores the pen around it. The caret is
// drawn in XOR: the editor's document flag is its shown phase, cleared when the row is drawn.
#pragma once

#include <cstdint>

#include "kernel/trees/typeset_records.h"

struct QDPoint;

// A new editor (null when memory is refused), current, with the owner's text style and its frame
// (whose top-left corner is the drawing origin); a prompt caret is left pending.
FormulaEditor* NewCurrentEquationEditor(const PixelRect& frame, void* owner);
// Lays the row out when needed and draws it at its stored origin with a 1-pixel pen; the caret
// phase is cleared (the drawing erased any caret).
void DrawEquationLine(FormulaEditor* editor, void* owner);
// On an active editor, once more than the caret blink time has passed since the last blink
// (unsigned difference of timer units, so the wrap of the timer is harmless): the editor becomes
// current and the caret is drawn or erased. True when it blinked.
bool BlinkEquationCaret(FormulaEditor* editor, void* owner);
// A mouse-down at the window point on a row: the editor is activated, a highlight that is not
// about to be dragged is erased by redrawing the owner's pane, a shown caret is erased, the
// pending prompt caret is cleared, and the press is followed (FormulaMouseDown) until release.
void HandleEquationPaneClick(QDPoint point, bool extend, bool dragAllowed, FormulaEditor* editor, bool selectOnClick,
                             void* owner);
// Whole pixels of the root box: its width, and its descent plus ascent.
int32_t RootBoxWidthPixels(const FormulaEditor* editor);
int32_t RootBoxHeightPixels(const FormulaEditor* editor);
// Movie export is available, the owner's graphs are built and its graph pane open, and either its
// slider animates or its views are all ready with something to redraw.
bool CanSaveAsMovie(void* owner);
