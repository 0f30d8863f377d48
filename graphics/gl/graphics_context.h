// GraphicsContext: the record through which all drawing of one 3D or 4D view goes. Per frame it
// chooses the back end (software rasteriser, GL window, GL offscreen), rebuilds it when the
// kind, the rectangle or the document's transparency changes, and falls back window ->
// offscreen -> software; when all fail it posts error 7 and stays kind 0 (nothing drawn).
// Window contexts are retired and destroyed at idle time, after what lives in them was read
// back. Invariants (CheckGraphicsContext): exactly the current kind's resources exist.
#pragma once

#include <cstdint>

#include "platform/draw/port.h"
#include "platform/gl/gl_backend.h"

struct ShaderProgram;

enum ContextKind : int32_t {
  kContextNone = 0,
  kContextQuickDraw = 1,    // the software rasteriser into the document's offscreen buffer
  kContextGLWindow = 2,     // GL, presented into the window's pixels
  kContextGLOffscreen = 3,  // GL, read back into the document's offscreen buffer
  kContextAutomatic = 4,    // a request only: 2 unless a GL kind is already built for the rectangle
};

// Results of the builders and of presenting a frame.
enum : int32_t {
  kGraphicsDone = 0,
  kGraphicsFailed = 1,         // GL error, or memory refused (error 7 posted)
  kGraphicsBufferMissing = 2,  // the document's offscreen buffer is missing or does not hold the view
  kGraphicsContextFailed = 20,
};

// The view's orientation (row-major 3x3), coordinate box, zoom and scene radius; the view's own.
// The 3D view's camera block is this record: its rotation, box, depth and largest graph extent.
struct ViewFrame {
  double orientation[9];
  double box[6];  // xmin, xmax, ymin, ymax, zmin, zmax
  double zoom;
  double radius;
};

// One per-pixel fragment of the software transparency lists; chunks of kFragmentsPerChunk.
// Depth first, so a record packs into 16 bytes and a chunk into 1 MiB.
struct FragmentRecord {
  double depth;
  int32_t next;      // index of the next record in the pixel's list, negative at the end
  uint32_t pixel;    // 0xAARRGGBB
};
static_assert(sizeof(FragmentRecord) == 16);
constexpr int32_t kFragmentChunkShift = 16;
constexpr int32_t kFragmentsPerChunk = 1 << kFragmentChunkShift;

struct GraphicsContext {
  QDRect rect{0, 0, 0, 0};  // the view in window coordinates
  const ViewFrame* viewFrame = nullptr;
  int32_t kind = kContextNone;
  int32_t requestedKind = kContextAutomatic;
  uint8_t useBufferObjects = 0;
  uint8_t rendererIsNVidia = 0;
  uint8_t rendererIsATI = 0;
  uint32_t overlayTexture = 0;
  int32_t overlayHeight = 0;
  int32_t overlayWidth = 0;
  ShaderProgram* overlayProgram = nullptr;
  // Software kind: the target and the per-pixel stores.
  GWorldPtr backgroundGWorld = nullptr;
  uint8_t backgroundDrawn = 0;
  uint32_t* targetBase = nullptr;  // the document buffer's pixels; view pixel (x, y) at row top + y, column left + x
  int32_t targetRowBytes = 0;
  int32_t targetBytes = 0;
  double* depthBuffer = nullptr;  // one a pixel, or null when the fragment heads exist
  int32_t height = 0;
  int32_t width = 0;
  int32_t pixelCount = 0;
  int32_t* fragmentHeads = nullptr;  // one a pixel exactly when the document draws with transparency
  FragmentRecord** fragmentChunks = nullptr;
  int32_t lastFragment = -1;
  // Software camera, set per frame.
  double eye[3] = {0, 0, 0};
  double right[3] = {0, 0, 0};
  double up[3] = {0, 0, 0};
  double forward[3] = {0, 0, 0};
  double depthScale = 0;
  double depthOffset = 0;
  // Software drawing state.
  int32_t vertexCount = 0;
  const float* vertices = nullptr;
  const float* normals = nullptr;
  const float* texCoords = nullptr;
  const float* colors = nullptr;
  uint32_t color = 0xFFFFFF;
  float opacity = 1.0f;
  const void* texture = nullptr;
  int32_t colorSource = 0;
  // GL kinds.
  PlatformGLContext* windowContext = nullptr;
  PlatformGLContext* offscreenContext = nullptr;
  void* window = nullptr;  // the view's window; stands for its document
  uint8_t savedPixelsState = 0;
  uint32_t backgroundTextures[3] = {0, 0, 0};
};

// A cleared record (kind 0, request 4), counted; null when memory is refused.
GraphicsContext* NewGLContextRecord();
// Frees the record only: DetachGLContext releases what it built. Null is ignored.
void DeleteGLContextRecord(GraphicsContext* ctx);
void SetRequestedContextKind(GraphicsContext* ctx, int32_t kind);
void SetContextOwner(GraphicsContext* ctx, void* window);

int32_t GLContextKind(const GraphicsContext* ctx);
bool HasGLContextKind(const GraphicsContext* ctx);  // kind != 0
bool IsGLContextKind(const GraphicsContext* ctx);   // kind 2 or 3
// The GL context of the current kind (window or offscreen), else null.
PlatformGLContext* GLContextHandle(const GraphicsContext* ctx);
PlatformGLContext* WindowGLContextOf(const GraphicsContext* ctx);  // whatever the kind
// Dynamic meshes keep client arrays on NVIDIA renderers: the rendererIsNVidia byte.
bool AvoidBuffersForDynamicData(const GraphicsContext* ctx);
bool UsesBufferObjects(const GraphicsContext* ctx);
// A GL kind whose context lists the four ARB program and shader extensions, with fragment
// programs not switched off. Reads the current context.
bool HasShaderExtensions(const GraphicsContext* ctx);
// Makes the kind's GL context current (kinds 2 and 3); false for other kinds or on refusal.
bool MakeContextCurrent(const GraphicsContext* ctx);

// Called before every draw of the view: chooses the kind and builds it when needed. Returns the
// kind in force afterwards: 0 when nothing can be drawn (error 7 was posted unless the view is
// empty, which builds nothing). The view frame is the caller's and must outlive the record's use.
int32_t PrepareGraphicsContext(GraphicsContext* ctx, const QDRect& rect, const ViewFrame* viewFrame);
// How the views prepare their context: through the document layer's hook when it set one (it
// ends in PrepareGraphicsContext), else PrepareGraphicsContext directly. Same result.
int32_t PrepareViewGraphicsContext(GraphicsContext* ctx, const QDRect& rect, const ViewFrame* viewFrame);
int32_t ChooseContextKind(const GraphicsContext* ctx, const QDRect& rect);
// True when kind, rect or transparency need a new build. A window context's new rectangle is
// stored and its framebuffer resized in place (true only when that fails).
bool ContextNeedsRebuild(int32_t kind, const QDRect& rect, GraphicsContext* ctx);
// Builders: kGraphicsDone, kGraphicsBufferMissing or kGraphicsContextFailed (GL kinds),
// kGraphicsFailed (software kind, memory refused). A failure leaves nothing built.
int32_t CreateWindowGLContext(GraphicsContext* ctx, uint8_t option);
int32_t CreateOffscreenGLContext(GraphicsContext* ctx, uint8_t option);
int32_t CreateQuickDrawBuffers(GraphicsContext* ctx);
// Releases everything the current kind built (a window context is retired, not destroyed) and
// clears the record, keeping the request, the window and lastFragment = -1.
void DetachGLContext(GraphicsContext* ctx);
// Queues a window context for DestroyRetiredGLContexts; when the queue cannot grow it is
// destroyed at once, after what lives in it was read back.
void RetireGLContext(PlatformGLContext* context);
// Destroys every retired context in order, each after the objects registered with it were read
// back or released. Called at idle time, never while a frame is drawn.
void DestroyRetiredGLContexts();
// Kinds 2 and 3: makes the context current and waits for GL to finish; 1 when GL then reports
// an error, else 0 (also for the other kinds).
int32_t FinishGLContext(GraphicsContext* ctx);
// Shows a finished GL frame: the window kind's frame (resolved when multisampled) goes into the
// window's pixels at the view rectangle, the offscreen kind's into the document's buffer, rows
// flipped. kGraphicsBufferMissing when the offscreen kind has no buffer holding the view; a
// window without pixels (headless) shows nothing. Other kinds: kGraphicsDone, nothing done.
int32_t PresentGLFrame(GraphicsContext* ctx);
// Stores value in GLOptionByte only when OpenGL is available.
void SetGLFlagIfEnabled(uint8_t value);
// At start-up: OpenGLAvailable from whether the backend can make contexts. Returns it.
bool DetectOpenGL();
// The GL platform's share of the application's start-up, after the kernel's: DetectOpenGL
// (without OpenGL the no-OpenGL message is shown and every view draws in software), then the
// renderer switches from the preferences, last, since use_software_renderer clears
// OpenGLAvailable again. Returns OpenGLAvailable. Once, before any view exists.
bool InitGLPlatform();

// Verifies the record's invariants; true when they hold.
bool CheckGraphicsContext(const GraphicsContext* ctx);
