// The GL platform's process-wide record and the headless defaults of the document seams: no
// buffer, no transparency, no antialiasing, no window pixels, and no preparation hook.
#include "graphics/gl/gl_globals.h"

namespace {

GWorldPtr NoBuffer(void*) { return nullptr; }
bool No(void*) { return false; }

}  // namespace

DocumentGraphicsServices HeadlessDocumentServices() { return {NoBuffer, No, No, NoBuffer, nullptr, nullptr}; }

DocumentBackground DocumentBackgroundOf(void* window) {
  auto hook = GLGlobals().document.background;
  return hook != nullptr ? hook(window) : DocumentBackground{kBackgroundSolid, 0xFFFFFF};
}

GLPlatformState& GLGlobals() {
  static GLPlatformState state;
  return state;
}

void ResetGLGlobalsForTest() {
  GLPlatformState& s = GLGlobals();
  GrowArrayFree(s.RetiredGLContexts);
  for (PixPat* pattern : s.backgroundPatterns) DisposePixPat(pattern);
  s = GLPlatformState();
}

GLBackend& CurrentGLBackend() {
  GLBackend* b = GLGlobals().backend;
  return b != nullptr ? *b : SystemGLBackend();
}
