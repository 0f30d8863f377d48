// The X11 calls behind the SDL window's pointer: they reach SDL's own display connection through
// its window-manager information, so that what they change is what SDL reads next.
#include "platform/window/x11_pointer.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>

#include "platform/window/x11_display.h"

#if defined(QV_HAVE_X11) && defined(SDL_VIDEO_DRIVER_X11)

bool X11StopEnterNotify(SDL_Window* window) {
  Display* display = nullptr;
  Window xwindow = 0;
  if (!X11DisplayOf(window, &display, &xwindow)) return false;
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, xwindow, &attributes) == 0) return false;
  XSelectInput(display, xwindow, attributes.your_event_mask & ~EnterWindowMask);
  XFlush(display);
  return true;
}

bool X11QueryFirstButton(SDL_Window* window, bool* down, int* h, int* v) {
  Display* display = nullptr;
  Window xwindow = 0;
  if (!X11DisplayOf(window, &display, &xwindow)) return false;
  Window root = 0, child = 0;
  int rootH = 0, rootV = 0;
  unsigned int mask = 0;
  // On another screen the call answers false but still tells the buttons.
  XQueryPointer(display, xwindow, &root, &child, &rootH, &rootV, h, v, &mask);
  *down = (mask & Button1Mask) != 0;
  return true;
}

bool X11QueueFirstButtonRelease(SDL_Window* window, int h, int v) {
  Display* display = nullptr;
  Window xwindow = 0;
  if (!X11DisplayOf(window, &display, &xwindow)) return false;
  XEvent event{};
  XButtonEvent& b = event.xbutton;
  b.type = ButtonRelease;
  b.display = display;
  b.window = xwindow;
  b.root = DefaultRootWindow(display);
  b.time = CurrentTime;
  b.x = h;
  b.y = v;
  b.state = Button1Mask;
  b.button = Button1;
  b.same_screen = True;
  XPutBackEvent(display, &event);
  return true;
}

#else

bool X11StopEnterNotify(SDL_Window*) { return false; }
bool X11QueryFirstButton(SDL_Window*, bool*, int*, int*) { return false; }
bool X11QueueFirstButtonRelease(SDL_Window*, int, int) { return false; }

#endif
