// SDL hands out its clipboard text in a buffer the caller frees: the last one is kept here
// until the next read, so callers get the C string contract of the editor's scrap hook.
#include "platform/window/system_clipboard.h"

#include <SDL2/SDL.h>

namespace {

char* gLastText = nullptr;

bool HasVideo() { return SDL_WasInit(SDL_INIT_VIDEO) != 0; }

}  // namespace

bool PutSystemClipboardText(const char* text) {
  return text != nullptr && HasVideo() && SDL_SetClipboardText(text) == 0;
}

const char* SystemClipboardText() {
  SDL_free(gLastText);
  gLastText = nullptr;
  if (!HasVideo() || !SDL_HasClipboardText()) return nullptr;
  gLastText = SDL_GetClipboardText();
  if (gLastText != nullptr && *gLastText == '\0') {
    SDL_free(gLastText);
    gLastText = nullptr;
  }
  return gLastText;
}
