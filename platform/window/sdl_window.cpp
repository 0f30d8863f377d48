// The SDL window: event translation, the buffer shown through the window surface, and the pointer
// source of the tracking loops.
#include "platform/window/sdl_window.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/utf8.h"
#include "platform/window/x11_display.h"
#include "platform/window/x11_pointer.h"

namespace {

// While the button is held, how often the window system is asked whether it still is.
constexpr uint64_t kReleaseCheckMs = 50;

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

uint32_t ModifierBits(uint16_t mod) {
  const bool control = (mod & KMOD_CTRL) != 0, alt = (mod & KMOD_ALT) != 0;
  uint32_t bits = (mod & KMOD_SHIFT) != 0 ? kModShift : 0;
  if (control && alt) return bits | kModControl;
  return bits | (control ? kModCommand : 0) | (alt ? kModOption : 0);
}

// The key code of a key without a character; 0 for others.
char32_t SpecialKey(SDL_Keycode sym) {
  switch (sym) {
    case SDLK_BACKSPACE: return 8;
    case SDLK_TAB: return 9;
    case SDLK_RETURN: return 13;
    case SDLK_KP_ENTER: return 3;
    case SDLK_ESCAPE: return 27;
    case SDLK_LEFT: return 28;
    case SDLK_RIGHT: return 29;
    case SDLK_UP: return 30;
    case SDLK_DOWN: return 31;
    case SDLK_F10: return 16;  // the menu key
    default: return 0;
  }
}

// The character Shift gives a key of a US layout (the key table's characters are placed as there);
// the key's own character for keys Shift does not change.
char32_t UsShifted(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - ('a' - 'A');
  constexpr char kUnshifted[] = "1234567890-=[]\\;',./`";
  constexpr char kShifted[] = "!@#$%^&*()_+{}|:\"<>?~";
  static_assert(sizeof kUnshifted == sizeof kShifted);
  for (size_t i = 0; i + 1 < sizeof kUnshifted; ++i)
    if (c == char32_t(kUnshifted[i])) return char32_t(kShifted[i]);
  return c;
}

// The characters of UTF-8 text (SDL hands valid UTF-8); a malformed byte ends the text.
template <typename Each>
void ForEachCharacter(const char* text, Each each) {
  const size_t size = std::strlen(text);
  char32_t c = 0;
  for (size_t at = 0; NextUtf8Character(text, size, &at, &c);) each(c);
}

double SecondsSince(uint64_t startMs) { return static_cast<double>(SDL_GetTicks64() - startMs) / 1000.0; }

QDPoint PointOf(int32_t x, int32_t y) {
  return QDPoint{static_cast<int16_t>(std::clamp(y, -32767, 32767)),
                 static_cast<int16_t>(std::clamp(x, -32767, 32767))};
}

}  // namespace

bool HasWindowDisplay(std::string* why) {
  if (Set("SDL_VIDEODRIVER") || Set("DISPLAY") || Set("WAYLAND_DISPLAY")) return true;
  *why = "no display (neither DISPLAY nor WAYLAND_DISPLAY is set)";
  return false;
}

SdlWindow* SdlWindow::Open(const char* title, int32_t width, int32_t height, std::string* error) {
  if (!HasWindowDisplay(error)) return nullptr;
  // The window shows our own pixels: its surface must not be backed by a GL renderer, whose
  // context, made on the surface's first use, fails once the views' GL contexts are current.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // The window captures the pointer itself while the button is down, so that it can take the
  // capture again when SDL lets it go (SDL's own capture cannot be renewed while it thinks it holds).
  SDL_SetHint(SDL_HINT_MOUSE_AUTO_CAPTURE, "0");
  // Before SDL's video: SDL keeps the X error handler it finds (platform/window/x11_display.h).
  InstallX11ErrorLog();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    *error = std::string("no display (") + SDL_GetError() + ")";
    return nullptr;
  }
  SDL_Window* window = SDL_CreateWindow(title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height,
                                        SDL_WINDOW_RESIZABLE | SDL_WINDOW_SHOWN);
  if (window == nullptr) {
    *error = std::string("cannot open a window (") + SDL_GetError() + ")";
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return nullptr;
  }
  SDL_StartTextInput();
  // SDL's Enter handler would drop the capture of a drag (platform/window/x11_pointer.h).
  X11StopEnterNotify(window);
  return new SdlWindow(window);
}

SdlWindow::~SdlWindow() {
  if (GetPointerSource() == this) SetPointerSource(nullptr);
  if (cursor_ != nullptr) SDL_FreeCursor(cursor_);
  SDL_DestroyWindow(window_);
  SDL_Quit();  // also ends SDL's bus connection, which SDL_QuitSubSystem keeps
}

void SdlWindow::SetTitle(const char* title) { SDL_SetWindowTitle(window_, title); }

bool SdlWindow::NextSdlEvent(double timeoutSeconds, SDL_Event* event) {
  // On X11 the wait is on the window's connection: SDL's own wait would have a wake-up sent to
  // the window, which may arrive after the window is gone (platform/window/x11_display.h).
  const uint64_t start = SDL_GetTicks64();
  for (;;) {
    if (SDL_PollEvent(event) == 1) return true;
    const double left = timeoutSeconds < 0 ? -1.0 : timeoutSeconds - SecondsSince(start);
    if (timeoutSeconds >= 0 && left <= 0) return false;
    if (X11WaitForEvent(window_, left)) continue;
    if (left < 0) return SDL_WaitEvent(event) == 1;
    return SDL_WaitEventTimeout(event, static_cast<int>(std::min(left * 1000.0 + 0.5, 3.6e6))) == 1;
  }
}

bool SdlWindow::Translate(const SDL_Event& sdl, WindowEvent* event) {
  WindowEvent e;
  switch (sdl.type) {
    case SDL_KEYDOWN: {
      const SDL_Keysym& k = sdl.key.keysym;
      const bool shift = (k.mod & KMOD_SHIFT) != 0, control = (k.mod & KMOD_CTRL) != 0, alt = (k.mod & KMOD_ALT) != 0;
      textAfterCommandKey_ = false;
      char32_t c = SpecialKey(k.sym), base = c;
      if (c == 0) {
        // A printable key arrives as its text, unless Control or Alt turn it into a command.
        if (!(control || alt) || k.sym < 32 || (k.sym & SDLK_SCANCODE_MASK) != 0 || k.sym >= 0x110000) return false;
        // The key arrives as its unshifted character: Shift gives it the character the user
        // pressed (Alt+Shift+comma is Alt+"<"), the unshifted one stays as the base.
        base = static_cast<char32_t>(k.sym);
        c = shift ? UsShifted(base) : base;
        if (c >= 'A' && c <= 'Z') base = c;  // a letter's rows are found by its case
        textAfterCommandKey_ = true;
      }
      e.kind = WindowEventKind::kKey;
      e.key = WindowKey{c, base, shift, control, alt};
      e.modifiers = ModifierBits(k.mod);
      break;
    }
    case SDL_TEXTINPUT: {
      if (textAfterCommandKey_) {
        textAfterCommandKey_ = false;
        return false;
      }
      const uint16_t mod = SDL_GetModState();
      const bool shift = (mod & KMOD_SHIFT) != 0;
      ForEachCharacter(sdl.text.text, [&](char32_t c) {
        WindowEvent key;
        key.kind = WindowEventKind::kKey;
        key.key = WindowKey{c, c, shift, false, false};
        key.modifiers = shift ? kModShift : 0;
        pending_.push_back(key);
      });
      return false;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      if (sdl.button.button != SDL_BUTTON_LEFT) return false;
      if (sdl.type == SDL_MOUSEBUTTONUP && sdlReleaseOwed_) {  // the lost release, handed to SDL
        sdlReleaseOwed_ = false;
        return false;
      }
      SetButtonDown(sdl.type == SDL_MOUSEBUTTONDOWN);
      e.kind = sdl.type == SDL_MOUSEBUTTONDOWN ? WindowEventKind::kMouseDown : WindowEventKind::kMouseUp;
      e.where = lastPointer_ = PointOf(sdl.button.x, sdl.button.y);
      e.clicks = sdl.button.clicks;
      e.modifiers = ModifierBits(SDL_GetModState());
      break;
    case SDL_MOUSEMOTION:
      e.kind = WindowEventKind::kMouseMoved;
      e.where = lastPointer_ = PointOf(sdl.motion.x, sdl.motion.y);
      e.modifiers = ModifierBits(SDL_GetModState());
      break;
    case SDL_MOUSEWHEEL:
      e.kind = WindowEventKind::kWheel;
      e.where = lastPointer_;
      e.wheelH = sdl.wheel.x;
      e.wheelV = sdl.wheel.y;
      break;
    case SDL_WINDOWEVENT:
      if (sdl.window.event == SDL_WINDOWEVENT_EXPOSED) {
        e.kind = WindowEventKind::kExposed;
      } else if (sdl.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
        e.kind = WindowEventKind::kResized;
        e.width = sdl.window.data1;
        e.height = sdl.window.data2;
      } else if (sdl.window.event == SDL_WINDOWEVENT_CLOSE) {
        e.kind = WindowEventKind::kClose;
      } else {
        // Taking the focus, SDL lets go of the pointer: a drag's capture is taken again.
        if (sdl.window.event == SDL_WINDOWEVENT_FOCUS_GAINED && buttonDown_) {
          SDL_CaptureMouse(SDL_FALSE);
          SDL_CaptureMouse(SDL_TRUE);
        }
        return false;
      }
      break;
    case SDL_QUIT:
      e.kind = WindowEventKind::kClose;
      break;
    default:
      return false;
  }
  *event = e;
  return true;
}

void SdlWindow::SetButtonDown(bool down) {
  buttonDown_ = down;
  SDL_CaptureMouse(down ? SDL_TRUE : SDL_FALSE);
}

bool SdlWindow::LostRelease(WindowEvent* event) {
  bool down = true;
  int h = 0, v = 0;
  if (!X11QueryFirstButton(window_, &down, &h, &v)) {
    int left = 0, top = 0;
    down = (SDL_GetGlobalMouseState(&h, &v) & SDL_BUTTON_LMASK) != 0;
    SDL_GetWindowPosition(window_, &left, &top);
    h -= left;
    v -= top;
  }
  if (down) return false;
  // A release the system sent before it answered has been read with the answer: SDL takes it.
  SDL_PumpEvents();
  if (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_MOUSEBUTTONUP, SDL_MOUSEBUTTONUP) > 0) return false;
  // SDL still has the button down, and would take the next press for no change.
  if ((SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK) != 0)
    sdlReleaseOwed_ = X11QueueFirstButtonRelease(window_, h, v);
  SetButtonDown(false);
  WindowEvent e;
  e.kind = WindowEventKind::kMouseUp;
  e.where = lastPointer_ = PointOf(h, v);
  e.modifiers = ModifierBits(SDL_GetModState());
  *event = e;
  return true;
}

SdlWindow::Fresh SdlWindow::NextFreshEvent(double timeoutSeconds, WindowEvent* event) {
  if (buttonDown_) {
    const uint64_t now = SDL_GetTicks64();
    if (now - lastReleaseCheck_ >= kReleaseCheckMs) {
      lastReleaseCheck_ = now;
      if (LostRelease(event)) return Fresh::kEvent;
    }
    constexpr double kSlice = kReleaseCheckMs / 1000.0;
    timeoutSeconds = timeoutSeconds < 0 ? kSlice : std::min(timeoutSeconds, kSlice);
  }
  SDL_Event sdl;
  if (!NextSdlEvent(timeoutSeconds, &sdl)) return Fresh::kNothing;
  return Translate(sdl, event) ? Fresh::kEvent : Fresh::kUnused;
}

bool SdlWindow::WaitEvent(double timeoutSeconds, WindowEvent* event) {
  const uint64_t start = SDL_GetTicks64();
  for (;;) {
    if (!pending_.empty()) {
      *event = pending_.front();
      pending_.pop_front();
      return true;
    }
    const double left = timeoutSeconds < 0 ? -1.0 : std::max(0.0, timeoutSeconds - SecondsSince(start));
    WindowEvent e;
    const Fresh got = NextFreshEvent(left, &e);
    if (got == Fresh::kEvent) pending_.push_back(e);
    if (got == Fresh::kNothing && timeoutSeconds >= 0 && SecondsSince(start) >= timeoutSeconds) return false;
  }
}

PointerEvent SdlWindow::WaitPointerEvent(double timeoutSeconds) {
  PointerEvent out;
  out.modifiers = ModifierBits(SDL_GetModState());
  // A release already translated for the event loop ends the tracking.
  for (auto it = pending_.begin(); it != pending_.end(); ++it) {
    if (it->kind != WindowEventKind::kMouseUp) continue;
    out.kind = PointerEventKind::kReleased;
    out.where = it->where;
    pending_.erase(it);
    return out;
  }
  const uint64_t start = SDL_GetTicks64();
  for (;;) {
    const double left = timeoutSeconds < 0 ? -1.0 : std::max(0.0, timeoutSeconds - SecondsSince(start));
    WindowEvent e;
    const Fresh got = NextFreshEvent(left, &e);
    // Only a wait that brought nothing ends at the time-out: what is queued is looked at first.
    if (got == Fresh::kNothing && timeoutSeconds >= 0 && SecondsSince(start) >= timeoutSeconds) {
      out.kind = PointerEventKind::kTimedOut;
      out.where = lastPointer_;
      return out;
    }
    if (got != Fresh::kEvent) continue;
    if (e.kind == WindowEventKind::kMouseMoved || e.kind == WindowEventKind::kMouseUp) {
      out.kind = e.kind == WindowEventKind::kMouseUp ? PointerEventKind::kReleased : PointerEventKind::kMoved;
      out.where = e.where;
      out.modifiers = e.modifiers;
      return out;
    }
    // Escape cancels what is being tracked (a drag, a transfer waited for) instead of typing.
    if (e.kind == WindowEventKind::kKey && e.key.produced == 27 && !e.key.control && !e.key.alt) {
      out.kind = PointerEventKind::kCancelled;
      out.where = lastPointer_;
      return out;
    }
    pending_.push_back(e);
    if (e.kind == WindowEventKind::kClose) {  // the loop lets go; the close waits for the event loop
      out.kind = PointerEventKind::kReleased;
      out.where = lastPointer_;
      return out;
    }
  }
}

void SdlWindow::DiscardInput() {
  const auto isInput = [](const WindowEvent& e) {
    return e.kind == WindowEventKind::kKey || e.kind == WindowEventKind::kMouseDown ||
           e.kind == WindowEventKind::kMouseUp || e.kind == WindowEventKind::kMouseMoved ||
           e.kind == WindowEventKind::kWheel;
  };
  // Presses made just before the wait ended may still be on their way from the window system (a
  // second Escape right behind the first): the queue is drained until no input has come for
  // kSettleMs, and for kMostMs at the longest, so that a held key cannot keep the window waiting.
  constexpr uint64_t kSettleMs = 100, kMostMs = 500;
  const uint64_t start = SDL_GetTicks64();
  uint64_t lastInput = start;
  for (;;) {
    SDL_Event sdl;
    while (SDL_PollEvent(&sdl) == 1) {
      WindowEvent e;
      if (!Translate(sdl, &e)) continue;
      if (isInput(e)) {
        lastInput = SDL_GetTicks64();
      } else {
        pending_.push_back(e);
      }
    }
    const uint64_t now = SDL_GetTicks64();
    if (now - lastInput >= kSettleMs || now - start >= kMostMs) break;
    SDL_Delay(5);
  }
  std::erase_if(pending_, isInput);
}

void SdlWindow::Present(const Port& buffer, const QDRect& rect) {
  SDL_Surface* surface = SDL_GetWindowSurface(window_);
  if (surface == nullptr) return;
  const int32_t left = std::max<int32_t>({rect.left, buffer.bounds.left, 0});
  const int32_t top = std::max<int32_t>({rect.top, buffer.bounds.top, 0});
  const int32_t right = std::min<int32_t>({rect.right, buffer.bounds.right, surface->w});
  const int32_t bottom = std::min<int32_t>({rect.bottom, buffer.bounds.bottom, surface->h});
  if (right <= left || bottom <= top) return;
  if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return;
  const uint32_t* source =
      buffer.pixels + (top - buffer.bounds.top) * (buffer.rowBytes / 4) + (left - buffer.bounds.left);
  auto* destination =
      static_cast<uint8_t*>(surface->pixels) + top * surface->pitch + left * surface->format->BytesPerPixel;
  SDL_ConvertPixels(right - left, bottom - top, SDL_PIXELFORMAT_ARGB8888, source, buffer.rowBytes,
                    surface->format->format, destination, surface->pitch);
  if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
  const SDL_Rect shown{left, top, right - left, bottom - top};
  SDL_UpdateWindowSurfaceRects(window_, &shown, 1);
}

void SdlWindow::UseCursor(SDL_Cursor* cursor, int shown) {
  SDL_SetCursor(cursor);
  if (cursor_ != nullptr) SDL_FreeCursor(cursor_);
  cursor_ = cursor;
  shownCursor_ = shown;
  ++cursorChanges_;
}

bool SdlWindow::SetThemeCursor(int themeCursor) {
  if (cursor_ != nullptr && shownCursor_ == themeCursor) return true;  // already shown: no new cursor
  SDL_SystemCursor which;
  if (themeCursor == kThemeArrowCursor) {
    which = SDL_SYSTEM_CURSOR_ARROW;
  } else if (themeCursor == kThemeClosedHandCursor) {
    which = SDL_SYSTEM_CURSOR_HAND;
  } else {
    return false;
  }
  SDL_Cursor* cursor = SDL_CreateSystemCursor(which);
  if (cursor == nullptr) return false;
  UseCursor(cursor, themeCursor);
  return true;
}

bool SdlWindow::SetColorCursor(const ColorCursorImage& image) {
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(image.pixels), 16, 16, 32, 64,
                                                            SDL_PIXELFORMAT_ARGB8888);
  if (surface == nullptr) return false;
  SDL_Cursor* cursor = SDL_CreateColorCursor(surface, image.hotSpot.h, image.hotSpot.v);
  SDL_FreeSurface(surface);
  if (cursor == nullptr) return false;
  UseCursor(cursor, kColorCursorShown + image.resourceId);
  return true;
}
