// Process-wide state of the GL platform in one struct with one reset: the backend contexts are
// made with, whether OpenGL is there at all, the option bytes and renderer switches read at
// start-up, the loader's renderer class and message sink, the queue of retired window contexts,
// the registry of objects living in contexts, and the seams the document layer above fills.
// The fields keep the names their callers know them by.
#pragma once

#include <cstdint>

#include "kernel/memory/growable_array.h"
#include "platform/draw/port.h"
#include "platform/draw/shapes.h"
#include "platform/gl/gl_backend.h"

// Switches read once from the preferences at start-up; each is set by the integer value 1 only.
struct RendererSwitches {
  bool noBufferObjects = false;            // disable_vertex_buffer_objects
  bool noFragmentPrograms = false;         // disable_fragment_programs, cleared by enable_fragment_programs
  bool r200LineFixPresent = false;         // r200_fsaa_linewidth_bug_is_fixed
  bool geforceLineFixPresent = false;      // geforce_fsaa_linewidth_bug_is_fixed
  bool forceBufferObjects = false;         // enable_vertex_buffer_objects
  bool multisampleSwitchOffWorks = false;  // disable_gl_multisample_works (read only: EGL has no such parameter)
};

struct GraphicsContext;
struct ViewFrame;

// The document's background: 0 solid colour, 1 room corner, 2 tiled pattern; the colour as
// 0x00RRGGBB (used by type 0 and by the pixel hit test).
enum : uint8_t { kBackgroundSolid = 0, kBackgroundRoomCorner = 1, kBackgroundTiled = 2 };
struct DocumentBackground {
  uint8_t type;
  uint32_t rgb;
};

// What the graphics contexts ask of the document layer (a window stands for its document), and
// the document's own preparation of a view's context, which the views call through
// PrepareViewGraphicsContext. Every hook is set; the defaults answer as for a headless program
// with no document, and prepare a view's context with PrepareGraphicsContext alone.
struct DocumentGraphicsServices {
  GWorldPtr (*offscreenBuffer)(void* window);     // the graph pane's 32-bit buffer, or null
  bool (*drawsWithTransparency)(void* window);    // some row's opacity is not 1
  bool (*isAntialiased)(void* window);            // the document's antialiasing option
  GWorldPtr (*windowBackingStore)(void* window);  // the window's own pixels, or null (no window)
  int32_t (*prepareViewContext)(GraphicsContext* ctx, const QDRect& rect, const ViewFrame* frame);
  DocumentBackground (*background)(void* window);  // null: solid white
};
// The document's background through its hook (solid white without one).
DocumentBackground DocumentBackgroundOf(void* window);
DocumentGraphicsServices HeadlessDocumentServices();

// Where the program loader's messages go; the default writes them to standard output.
using ShaderMessageSink = void (*)(const char* text);

struct GLContextResource;

struct GLPlatformState {
  GLBackend* backend = nullptr;  // null: the system backend
  uint8_t OpenGLAvailable = 0;   // set at start-up when contexts can be made
  uint8_t GLOptionByte = 1;
  uint8_t BufferObjectOptionByte = 1;
  RendererSwitches switches;
  int32_t rendererClass = -1;  // program loader: -1 unknown, 1 NVIDIA, 0 other; fixed by the first load
  ShaderMessageSink shaderMessages = nullptr;
  GrowArray<PlatformGLContext*> RetiredGLContexts;  // window contexts waiting for idle time
  GLContextResource* resources = nullptr;           // registry list head
  // Background patterns 507 (floor and tile), 508 (right wall), 509 (left wall): loaded on
  // first use, shared by every view, disposed by DisposeBackgroundPatterns.
  PixPat* backgroundPatterns[3] = {nullptr, nullptr, nullptr};
  bool backgroundPatternsLoaded = false;
  DocumentGraphicsServices document = HeadlessDocumentServices();
};
GLPlatformState& GLGlobals();

// Puts every field back to its start value and the backend back to the system one. Contexts
// still retired are only forgotten: tests call DestroyRetiredGLContexts first.
void ResetGLGlobalsForTest();

GLBackend& CurrentGLBackend();
// The entry points of the current backend.
inline const GLEntryPoints& GLApi() { return CurrentGLBackend().Api(); }

// A GL context made current for a scope (none for a null context); at its end the context that
// was current before (none included) is current again. ok(): the context became current.
class GLContextScope {
 public:
  explicit GLContextScope(PlatformGLContext* context) : before_(CurrentGLBackend().CurrentContext()) {
    ok_ = context != nullptr && CurrentGLBackend().MakeCurrent(context);
  }
  ~GLContextScope() {
    if (CurrentGLBackend().CurrentContext() != before_) CurrentGLBackend().MakeCurrent(before_);
  }
  GLContextScope(const GLContextScope&) = delete;
  GLContextScope& operator=(const GLContextScope&) = delete;
  bool ok() const { return ok_; }

 private:
  PlatformGLContext* before_;
  bool ok_ = false;
};
