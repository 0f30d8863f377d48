// The pointer of an SDL window on X11, where SDL 2's own handling falls short. SDL's EnterNotify
// handler re-applies the window's grab setting, which for a window without a grab of its own is an
// XUngrabPointer: it ends the capture of a press, and the server's implicit grab with it, whenever
// an Enter reaches SDL while the button is held (one still queued when the press came, or the one
// that the capture's own grab produces when the pointer is already outside). The release outside
// then goes to another window, and SDL keeps the button down. Each function does nothing and
// returns false when the window is not on X11.
#pragma once

struct SDL_Window;

// Stops EnterNotify from reaching SDL for the window (the next motion inside tells SDL the same).
bool X11StopEnterNotify(SDL_Window* window);

// The server's state of the first button, and the pointer in the window's coordinates.
bool X11QueryFirstButton(SDL_Window* window, bool* down, int* h, int* v);

// Puts a release of the first button at (h, v) at the head of SDL's X queue, so that SDL's own
// button state follows a release that never reached the window.
bool X11QueueFirstButtonRelease(SDL_Window* window, int h, int v);
