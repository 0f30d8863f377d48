// A doubly linked list through the owners' own records, headed in the GL globals. A resource is
// taken off the list before its release hook runs, so a hook may register it elsewhere.
#include "graphics/gl/gl_resources.h"

#include "graphics/gl/gl_globals.h"

void UnregisterGLResource(GLContextResource* r) {
  if (r == nullptr || r->context == nullptr) return;
  if (r->prev != nullptr) r->prev->next = r->next;
  else GLGlobals().resources = r->next;
  if (r->next != nullptr) r->next->prev = r->prev;
  r->prev = r->next = nullptr;
  r->context = nullptr;
}

void RegisterGLResource(GLContextResource* r, PlatformGLContext* context, void (*release)(GLContextResource*)) {
  UnregisterGLResource(r);
  if (context == nullptr) return;
  GLContextResource*& head = GLGlobals().resources;
  r->context = context;
  r->release = release;
  r->prev = nullptr;
  r->next = head;
  if (head != nullptr) head->prev = r;
  head = r;
}

int32_t CountGLResources(const PlatformGLContext* context) {
  int32_t n = 0;
  for (GLContextResource* r = GLGlobals().resources; r != nullptr; r = r->next) n += r->context == context;
  return n;
}

void DestroyGLContextAndResources(PlatformGLContext* context) {
  if (context == nullptr) return;
  GLBackend& backend = CurrentGLBackend();
  PlatformGLContext* before = backend.CurrentContext();
  backend.MakeCurrent(context);
  for (;;) {
    GLContextResource* r = GLGlobals().resources;
    while (r != nullptr && r->context != context) r = r->next;
    if (r == nullptr) break;
    UnregisterGLResource(r);
    if (r->release != nullptr) r->release(r);
  }
  backend.DestroyContext(context);
  if (before != nullptr && before != context) backend.MakeCurrent(before);
}

bool CheckGLResources() {
  const GLContextResource* prev = nullptr;
  for (const GLContextResource* r = GLGlobals().resources; r != nullptr; prev = r, r = r->next) {
    if (r->prev != prev || r->context == nullptr) return false;
  }
  return true;
}
