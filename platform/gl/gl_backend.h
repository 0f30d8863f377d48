// Our stand-in for the old platform's GL context layer: one small interface with a real
// implementation (Mesa through EGL, headless) and a fault-injecting fake for tests. Each context
// draws into its own framebuffer object the size of the view with a 24-bit depth buffer; a
// multisampled one is resolved into a single-sampled one before anything reads it. Contexts are
// never shared, and a failed creation leaves nothing behind.
#pragma once

#include <cstdint>

#include "platform/gl/gl_entry_points.h"

enum class GLTargetKind : uint8_t { kWindow, kOffscreen };

struct GLContextRequest {
  GLTargetKind target = GLTargetKind::kOffscreen;
  int32_t width = 0;   // framebuffer size in pixels, both at least 1
  int32_t height = 0;
  int32_t samples = 0;  // 0 single-sampled, else the sample count of a multisampled framebuffer
  bool robust = false;  // the old robust-renderer request: no meaning on EGL, kept for the attempt log
};

// What every backend's contexts have in common; each backend derives its own record.
struct PlatformGLContext {
  uint64_t serial = 0;  // unique for the life of the process, never reused
  GLTargetKind target = GLTargetKind::kOffscreen;
  int32_t width = 0;
  int32_t height = 0;
  int32_t samples = 0;
};

// A rectangle of a frame in top-down rows: row 0 is the top of the picture.
struct GLFrameRect {
  int32_t top;
  int32_t left;
  int32_t bottom;
  int32_t right;
};

class GLBackend {
 public:
  virtual ~GLBackend() = default;

  // True when contexts can be made at all. Cheap after the first call.
  virtual bool Available() = 0;
  // A new context with its framebuffer, current, bound for drawing, the viewport covering the
  // whole framebuffer. Null on any failure, with nothing left allocated.
  virtual PlatformGLContext* CreateContext(const GLContextRequest& request) = 0;
  // Releases the framebuffer and the context (null ignored). When it was current, no context is.
  virtual void DestroyContext(PlatformGLContext* context) = 0;
  // Makes the context current with its framebuffer bound for drawing; null releases the current
  // one. False when the platform refuses.
  virtual bool MakeCurrent(PlatformGLContext* context) = 0;
  virtual PlatformGLContext* CurrentContext() const = 0;
  // A new framebuffer size for the same context: its other GL objects (buffer objects, programs,
  // textures) stay. Leaves the context current. False when the size cannot be had; the context
  // is then unusable for drawing and should be destroyed.
  virtual bool ResizeFramebuffer(PlatformGLContext* context, int32_t width, int32_t height) = 0;
  // Makes the context current and binds a single-sampled framebuffer holding the frame as the
  // read framebuffer, resolving a multisampled one first. The draw binding is unchanged.
  virtual bool BindFrameForReading(PlatformGLContext* context) = 0;
  // The entry points, valid while the backend lives (the same for all its contexts).
  virtual const GLEntryPoints& Api() const = 0;
  virtual int32_t LiveContextCount() const = 0;
};

// Copies `source` of the context's frame (clipped to the frame) to `destination`, the address
// that receives the source's top-left pixel, rows `rowBytes` apart: native 0xAARRGGBB words read
// as GL_BGRA / GL_UNSIGNED_INT_8_8_8_8_REV, rows flipped so the top of the picture comes first.
// Allocates nothing. False for a null context or destination or an empty source.
bool ReadFrameInto(GLBackend& backend, PlatformGLContext* context, const GLFrameRect& source,
                   uint32_t* destination, int32_t rowBytes);

// The process's real backend (Mesa through EGL); it lives until exit.
GLBackend& SystemGLBackend();
