// A real window over SDL2: it shows an offscreen buffer (WindowSurface), turns the system's
// keyboard and mouse into the program's events, and is the pointer source of the tracking loops
// while a button is held (events that are not the pointer's wait for the event loop). Keys come
// with the character produced, the base character (the key's own character, Shift kept) and the
// modifier keys; a printable key without Control or Alt arrives once, as its text. While the
// button is down the window captures the pointer, and every press is followed by one release:
// the one that came, or one made when the window system says the button is up and its release
// never arrived. Main thread only; at most one window at a time.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "platform/pointer_source.h"
#include "platform/window/window_surface.h"

union SDL_Event;
struct SDL_Window;
struct SDL_Cursor;

// Modifier bits of window events, in the program's code: Control stands for Command, Alt for
// Option; Control with Alt is the Control key of the key table.
inline constexpr uint32_t kModCommand = 1, kModShift = 2, kModOption = 4, kModControl = 8;

struct WindowKey {
  char32_t produced;  // Unicode, or a key code: 3 Enter, 8 backspace, 9 tab, 13 Return, 16 F10, 27 escape, 28..31 arrows
  char32_t base;
  bool shift, control, alt;
};

enum class WindowEventKind : uint8_t { kKey, kMouseDown, kMouseUp, kMouseMoved, kWheel, kExposed, kResized, kClose };

struct WindowEvent {
  WindowEventKind kind = WindowEventKind::kExposed;
  WindowKey key{0, 0, false, false, false};
  QDPoint where{0, 0};
  uint32_t modifiers = 0;  // kMod... bits
  int32_t clicks = 0;      // of a mouse-down: 2 for a double click
  int32_t wheelH = 0, wheelV = 0;
  int32_t width = 0, height = 0;  // of a resize
};

// True when a window system is there to show a window: an SDL video driver was asked for, or
// DISPLAY or WAYLAND_DISPLAY is set. *why says what is missing otherwise.
bool HasWindowDisplay(std::string* why);

class SdlWindow final : public WindowSurface, public PointerSource {
 public:
  // Opens a resizable window of the size; null with *error set when SDL or the display refuses.
  static SdlWindow* Open(const char* title, int32_t width, int32_t height, std::string* error);
  ~SdlWindow() override;
  SdlWindow(const SdlWindow&) = delete;
  SdlWindow& operator=(const SdlWindow&) = delete;

  // The next event, waiting at most the time-out (negative: no limit). False when none came. On
  // X11 the wait is on the window's connection, not SDL's (platform/window/x11_display.h): an
  // event pushed to SDL from another thread waits for the next window event or the time-out.
  bool WaitEvent(double timeoutSeconds, WindowEvent* event);
  void SetTitle(const char* title);
  // SDL's window, for the window system's own calls (platform/window/x11_display.h).
  SDL_Window* SdlHandle() const { return window_; }

  // WindowSurface.
  void Present(const Port& buffer, const QDRect& rect) override;
  // PointerSource: movements and the release of the button, Escape as a cancel; other events are
  // kept for WaitEvent.
  PointerEvent WaitPointerEvent(double timeoutSeconds) override;
  bool IsButtonDown() override { return buttonDown_; }
  void DiscardInput() override;
  bool SetThemeCursor(int themeCursor) override;
  bool SetColorCursor(const ColorCursorImage& image) override;
  // The cursor shown: a theme cursor's number, kColorCursorShown + a colour cursor's resource id,
  // -1 before any; and how many times it changed.
  static constexpr int kColorCursorShown = 1000;
  int ShownCursor() const { return shownCursor_; }
  int CursorChanges() const { return cursorChanges_; }

 private:
  explicit SdlWindow(SDL_Window* window) : window_(window) {}
  // Turns one SDL event into a window event; false for events the program does not use.
  bool Translate(const SDL_Event& sdl, WindowEvent* event);
  bool NextSdlEvent(double timeoutSeconds, SDL_Event* event);
  // One wait for the next event from the window system, at most the time-out: kEvent with it
  // translated (or with the release of a button the system has up while no release came), kUnused
  // for an event the program does not use or keeps for later, kNothing when none came.
  enum class Fresh : uint8_t { kNothing, kUnused, kEvent };
  Fresh NextFreshEvent(double timeoutSeconds, WindowEvent* event);
  // The release made when the system says the button is up and none arrived; false otherwise.
  bool LostRelease(WindowEvent* event);
  void SetButtonDown(bool down);
  void UseCursor(SDL_Cursor* cursor, int shown);

  SDL_Window* window_;
  SDL_Cursor* cursor_ = nullptr;
  int shownCursor_ = -1;
  int cursorChanges_ = 0;
  std::deque<WindowEvent> pending_;  // translated events waiting for WaitEvent
  bool textAfterCommandKey_ = false;  // the text of a key already sent with Control or Alt
  QDPoint lastPointer_{0, 0};
  bool buttonDown_ = false;      // a press translated, its release not yet
  bool sdlReleaseOwed_ = false;  // SDL was handed a lost release: its event is not the user's
  uint64_t lastReleaseCheck_ = 0;
};
