// The cursor setters: theme cursors and the three colour cursors through the installed
// pointer source, and the arrow cursor through the window layer's hook. Headless, every
// request does nothing.
#pragma once

#include <cstdint>

// Start-up: loads the colour cursors 128, 355 and 357; before it, their setters do nothing.
void LoadColorCursors();
void SetThemeArrowCursor();
void SetThemeClosedHandCursor();
void SetPoofCursor();  // falls back to the arrow when the back end has no poof cursor
void SetColorCursor128();
void SetColorCursor355();
void SetColorCursor357();

// The window layer's arrow cursor, set before an alert is shown; no hook: nothing.
using ArrowCursorHook = void (*)();
void SetArrowCursorHook(ArrowCursorHook hook);
void SetArrowCursor();

// Cursor requests made through these setters so far (refused ones too): a window that set its
// cursor knows it is still shown while the count has not moved.
uint32_t CursorRequests();

// Tests: forget the loaded cursors and the hook.
void ResetCursorsForTests();
