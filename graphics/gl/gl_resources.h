// The registry of what lives in a GL context's objects (buffer-object meshes, ARB programs):
// each such owner embeds a GLContextResource registered with the context its objects were made
// in, and hears through its release hook, while that context still exists and is current, that
// the context is about to be destroyed, so it can read its objects back or forget their names.
// Invariant: a resource is on the list exactly when its context is non-null. No allocation, so
// registering cannot fail; a registered resource must not be moved in memory.
#pragma once

#include <cstdint>

#include "platform/gl/gl_backend.h"

struct GLContextResource {
  PlatformGLContext* context = nullptr;  // the context the owner's objects live in; null when none
  void (*release)(GLContextResource* self) = nullptr;
  GLContextResource* prev = nullptr;
  GLContextResource* next = nullptr;
};

// Registers r with the context (moving it from any other). Null context: unregisters.
void RegisterGLResource(GLContextResource* r, PlatformGLContext* context, void (*release)(GLContextResource*));
// Takes r off the list (nothing when it is not registered).
void UnregisterGLResource(GLContextResource* r);
int32_t CountGLResources(const PlatformGLContext* context);

// Makes the context current, hands each resource registered with it to its release hook (the
// resource is unregistered first; a hook must not register it with the dying context again),
// then destroys the context through the current backend. The context current before comes
// back when it was another one. Null is ignored.
void DestroyGLContextAndResources(PlatformGLContext* context);

// Verifies the list links and that every listed resource has a context; true when they hold.
bool CheckGLResources();
