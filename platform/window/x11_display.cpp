// The SDL window's X11 connection: its display from SDL's window-manager information, the wait
// on it, and the process's X error handler.
#include "platform/window/x11_display.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>

#if defined(QV_HAVE_X11) && defined(SDL_VIDEO_DRIVER_X11)

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace {

XErrorHandler previousErrorHandler = nullptr;
bool errorLogInstalled = false;

int LogErrorAboutGoneWindow(Display* display, XErrorEvent* error) {
  if (error->error_code != BadWindow && error->error_code != BadDrawable) {
    return previousErrorHandler != nullptr ? previousErrorHandler(display, error) : 0;
  }
  // The text comes from Xlib's own table: no request is made inside the handler.
  char text[160] = "";
  XGetErrorText(display, error->error_code, text, sizeof text);
  std::fprintf(stderr, "%s: X error ignored, the window is gone: %s (request %d, resource 0x%lx)\n",
               program_invocation_short_name, text, static_cast<int>(error->request_code), error->resourceid);
  return 0;
}

}  // namespace

bool X11DisplayOf(SDL_Window* window, Display** display, Window* xwindow) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return false;
  *display = info.info.x11.display;
  *xwindow = info.info.x11.window;
  return *display != nullptr && *xwindow != 0;
}

bool X11WaitForEvent(SDL_Window* window, double timeoutSeconds) {
  Display* display = nullptr;
  Window xwindow = 0;
  if (!X11DisplayOf(window, &display, &xwindow)) return false;
  XFlush(display);
  // Events an answer brought along are in Xlib's queue already, not on the connection.
  if (XEventsQueued(display, QueuedAlready) > 0) return true;
  const int ms = timeoutSeconds < 0 ? -1 : static_cast<int>(std::min(timeoutSeconds * 1000.0 + 0.5, 3.6e6));
  pollfd connection{ConnectionNumber(display), POLLIN, 0};
  poll(&connection, 1, ms);  // a signal or an error ends the wait early: the caller looks again
  return true;
}

bool InstallX11ErrorLog() {
  if (!errorLogInstalled) {
    previousErrorHandler = XSetErrorHandler(LogErrorAboutGoneWindow);
    errorLogInstalled = true;
  }
  return true;
}

#else

bool X11DisplayOf(SDL_Window*, _XDisplay**, unsigned long*) { return false; }
bool X11WaitForEvent(SDL_Window*, double) { return false; }
bool InstallX11ErrorLog() { return false; }

#endif
