// The services editing asks of the documents and the application shell, each through its hook
// in the typesetting state's EditorHooks or, when none is installed, its least behaviour.
#pragma once

#include <cstdint>

#include "kernel/trees/typeset_records.h"

struct QDPoint;

// Loads the owner's text style into the editor and stores the owner in it.
void LoadDocumentTextStyle(FormulaEditor* editor, void* owner);
// The undo snapshot of the current editor's formula (its owner document keeps it).
void BeginEquationEdit();
// Redraws at once the equation pane of the document that owns the current editor.
void RedrawOwnerPane();
// The owner's math pane in window pixels; all zero when no document answers.
PixelRect GetMathPaneRect(void* owner);
// Waits for the next pointer movement or release; true while the button is still down.
bool TrackPointerWhileDown(QDPoint* point, uint32_t* modifiers, double timeoutSeconds);
void DoAlgebraCommand(int32_t code);
// The system clipboard's text: whether there is a clipboard to put it on, put there, and read
// (null when none or no clipboard).
bool HasSystemClipboard();
void PutScrapText(const char* text);
const char* ScrapText();
// The command being run came from a palette button.
bool IsPaletteCommand();
