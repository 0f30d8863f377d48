// What editing needs from the documents and the application shell: one record of hooks that
// those layers fill at start-up (tests install recording fakes), kept in the typesetting state.
// Editing code calls the services of document_services.h, never a hook directly, so that a
// missing hook always means the least: no snapshot, no redraw, an empty pane, the kernel's
// pointer tracking, algebra commands ignored.
#pragma once

#include <cstdint>

#include "kernel/trees/typeset_records.h"

struct QDPoint;

// The document facts that decide whether it can be saved as a movie.
struct MovieSaveState {
  bool graphsBuilt = false;     // set by the graph rebuild, cleared when the graphs are deleted
  bool graphPaneOpen = false;
  bool sliderAnimating = false;
  bool hasViewSet = false;
  bool viewSetNeedsRedraw = false;
  bool allViewsReady = false;
};

struct EditorHooks {
  // Loads the owner document's text style into the current editor (its font by name, the sizes)
  // and stores the owner in it. None: the owner is stored, the style kept.
  void (*loadDocumentTextStyle)(void* owner) = nullptr;
  // Records the undo snapshot of the current editor's formula in its owner document (a copy of
  // the tree, the caret fields and the caret's path), ending the previous snapshot.
  void (*beginEquationEdit)() = nullptr;
  // Redraws at once the equation pane of the owner document.
  void (*redrawEquationPane)(void* owner) = nullptr;
  // The math pane of the owner's window less the slider strip, in window pixels.
  void (*getMathPaneRect)(void* owner, PixelRect* rect) = nullptr;
  // Waits for the next pointer movement or release (negative time-out: no limit), writes the
  // point in window pixels; true while the button is still down. None: the kernel's tracking
  // over the installed pointer source.
  bool (*trackMouseWhileDown)(QDPoint* point, uint32_t* modifiers, double timeoutSeconds) = nullptr;
  // The system clipboard's text: puts a copy of the text there; the text there now, or null
  // (valid until the next call). None: no system clipboard, the formula clipboard stays private.
  void (*putScrapText)(const char* text) = nullptr;
  const char* (*scrapText)() = nullptr;
  // Runs an algebra command code on the current editor's selection.
  void (*doAlgebraCommand)(int32_t code) = nullptr;
  // Set by the palette for the length of the command one of its buttons sends.
  bool paletteCommand = false;
  // What the owner document tells about saving it as a movie. None: it cannot be.
  void (*getMovieSaveState)(void* owner, MovieSaveState* state) = nullptr;
  // Movie export was found available at launch.
  bool movieExportAvailable = false;
};
