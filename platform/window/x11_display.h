// SDL's X11 connection of a window, where SDL 2's own handling falls short. SDL's event waits
// send a wake-up to the window through a second connection of their own; the server may take it
// after the window is destroyed on the first, and the BadWindow error it answers is read when SDL
// closes that connection, by Xlib's default handler, which ends the process. So the window waits
// on its connection itself (SDL never sends a wake-up), and an X error about a window or drawable
// that no longer exists is logged, never fatal. Each function does nothing and returns false
// when the window is not on X11.
#pragma once

struct SDL_Window;
struct _XDisplay;  // Xlib's Display

// SDL's display connection of the window and its X window.
bool X11DisplayOf(SDL_Window* window, _XDisplay** display, unsigned long* xwindow);

// Writes out the requests made so far and waits until an event of the window's connection can be
// read (or is queued already), at most the time-out (negative: no limit). True when it waited
// (an event may have come or not), false when the window is not on X11.
bool X11WaitForEvent(SDL_Window* window, double timeoutSeconds);

// Makes an X error about a window or drawable that no longer exists a line on standard error;
// every other error goes to the handler there was (Xlib's, which ends the process). Once, before
// SDL's video starts: SDL keeps the handler it finds, hands it the errors and puts it back when
// it ends. True when the handler is in place.
bool InstallX11ErrorLog();
