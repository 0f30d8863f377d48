// Graphics contexts: kind choice, builds with their fall-back chain, detaching, retirement and
// presenting GL frames. Every GL build drains the error flag once the context's start state is
// set, so the first frame never inherits an error of the build.
#include "graphics/gl/graphics_context.h"

#include <new>

#include "graphics/gl/gl_globals.h"
#include "graphics/gl/gl_resources.h"
#include "graphics/gl/gl_state.h"
#include "graphics/gl/renderer_caps.h"
#include "graphics/gl/shader_program.h"
#include "graphics/qd_layer.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/diagnostics/message_alert.h"
#include "kernel/memory/memory_budget.h"

namespace {

constexpr int32_t kWindowSamples = 4;

const DocumentGraphicsServices& Document() { return GLGlobals().document; }

// The document's buffer when it exists, can be locked and holds the whole view (its pixel (0, 0)
// is the window's), else null.
GWorldPtr UsableDocumentBuffer(const GraphicsContext* ctx) {
  GWorldPtr buffer = Document().offscreenBuffer(ctx->window);
  if (buffer == nullptr || GWorldPixelsLost(buffer)) return nullptr;
  QDRect bounds = GWorldBounds(buffer);
  const QDRect& r = ctx->rect;
  if (r.top < 0 || r.left < 0 || RectHeight(r) <= 0 || RectWidth(r) <= 0 || r.bottom > RectHeight(bounds) ||
      r.right > RectWidth(bounds)) {
    return nullptr;
  }
  return buffer;
}

bool FitsViewport(int32_t width, int32_t height) {
  GLint dims[2] = {0, 0};
  GLApi().GetIntegerv(GL_MAX_VIEWPORT_DIMS, dims);
  return width <= dims[0] && height <= dims[1];
}

GLContextRequest RequestFor(const GraphicsContext* ctx, GLTargetKind target, int32_t samples, bool robust) {
  GLContextRequest request;
  request.target = target;
  request.width = RectWidth(ctx->rect);
  request.height = RectHeight(ctx->rect);
  request.samples = samples;
  request.robust = robust;
  return request;
}

// A made context (current) must have raised no error and hold the view; otherwise it goes.
bool Accept(PlatformGLContext* context, const GraphicsContext* ctx) {
  if (context == nullptr) return false;
  if (GLApi().GetError() == GL_NO_ERROR && FitsViewport(RectWidth(ctx->rect), RectHeight(ctx->rect))) return true;
  DrainGLErrors();
  CurrentGLBackend().DestroyContext(context);
  return false;
}

void SetRendererBytes(GraphicsContext* ctx) {
  const char* renderer = CurrentRendererString();
  ctx->rendererIsNVidia = IsNVidiaRenderer(renderer);
  ctx->rendererIsATI = IsATIRenderer(renderer);
  ctx->useBufferObjects = ShouldUseBufferObjects(CurrentExtensionString(), renderer);
  ctx->overlayTexture = 0;
  ctx->overlayHeight = ctx->overlayWidth = 0;
  ctx->overlayProgram = nullptr;
}

// Lines in a multisampled window: 3 on the Radeon 8500/9000/9200 and the GeForce4 MX unless
// their fix is known present, 1.5 elsewhere.
float MultisampledLineWidth(const char* renderer) {
  const RendererSwitches& s = GLGlobals().switches;
  if (IsRadeonR200Renderer(renderer) && !s.r200LineFixPresent) return 3.0f;
  if (IsGeForce4MXRenderer(renderer) && !s.geforceLineFixPresent) return 3.0f;
  return 1.5f;
}

// One builder with the retry of the option byte: again with 0 when it failed with 1 set.
bool BuildWithRetry(GraphicsContext* ctx, int32_t (*build)(GraphicsContext*, uint8_t)) {
  uint8_t option = GLGlobals().GLOptionByte;
  if (build(ctx, option) == kGraphicsDone) return true;
  return option != 0 && build(ctx, 0) == kGraphicsDone;
}

// The chain 2 -> 3 -> 1 from the chosen kind; the kind built, or 0.
int32_t BuildContextKind(GraphicsContext* ctx, int32_t kind) {
  switch (kind) {
    case kContextGLWindow:
      if (BuildWithRetry(ctx, CreateWindowGLContext)) return kContextGLWindow;
      [[fallthrough]];
    case kContextGLOffscreen:
      if (BuildWithRetry(ctx, CreateOffscreenGLContext)) return kContextGLOffscreen;
      [[fallthrough]];
    case kContextQuickDraw:
      return CreateQuickDrawBuffers(ctx) == kGraphicsDone ? kContextQuickDraw : kContextNone;
    default:
      return kContextNone;
  }
}

void RestorePixelsState(const GraphicsContext* ctx) {
  GWorldPtr buffer = Document().offscreenBuffer(ctx->window);
  if (buffer != nullptr) SetPixelsState(buffer, ctx->savedPixelsState);
}

void ReleaseQuickDrawBuffers(GraphicsContext* ctx) {
  RestorePixelsState(ctx);
  if (ctx->backgroundGWorld != nullptr) {
    UnlockGWorldPixels(ctx->backgroundGWorld);
    SafeDisposeGWorld(ctx->backgroundGWorld);
  }
  if (ctx->fragmentHeads != nullptr) {
    if (ctx->fragmentChunks != nullptr) {
      for (int32_t c = 0; ctx->lastFragment >= 0 && c <= (ctx->lastFragment >> kFragmentChunkShift); ++c) {
        FreeMemory(ctx->fragmentChunks[c]);
      }
      FreeMemory(ctx->fragmentChunks);
    }
    FreeMemory(ctx->fragmentHeads);
  } else {
    FreeMemory(ctx->depthBuffer);
  }
}

// The view's top-left pixel in a buffer whose pixel (0, 0) is the window's, or null when the
// buffer does not hold the whole view.
uint32_t* ViewOrigin(GWorldPtr buffer, const QDRect& rect) {
  if (buffer == nullptr) return nullptr;
  QDRect bounds = GWorldBounds(buffer);
  if (rect.top < 0 || rect.left < 0 || rect.bottom > RectHeight(bounds) || rect.right > RectWidth(bounds)) {
    return nullptr;
  }
  auto* base = reinterpret_cast<uint8_t*>(GWorldBaseAddr(buffer));
  return reinterpret_cast<uint32_t*>(base + int64_t(rect.top) * GWorldRowBytes(buffer) + int64_t(rect.left) * 4);
}

}  // namespace

GraphicsContext* NewGLContextRecord() {
  void* block = AllocMemory(sizeof(GraphicsContext));
  return block != nullptr ? new (block) GraphicsContext() : nullptr;
}

void DeleteGLContextRecord(GraphicsContext* ctx) {
  if (ctx == nullptr) return;
  ctx->~GraphicsContext();
  FreeMemory(ctx);
}

void SetRequestedContextKind(GraphicsContext* ctx, int32_t kind) { ctx->requestedKind = kind; }
void SetContextOwner(GraphicsContext* ctx, void* window) { ctx->window = window; }
int32_t GLContextKind(const GraphicsContext* ctx) { return ctx->kind; }
bool HasGLContextKind(const GraphicsContext* ctx) { return ctx->kind != kContextNone; }
bool IsGLContextKind(const GraphicsContext* ctx) {
  return ctx->kind == kContextGLWindow || ctx->kind == kContextGLOffscreen;
}

PlatformGLContext* GLContextHandle(const GraphicsContext* ctx) {
  if (ctx->kind == kContextGLWindow) return ctx->windowContext;
  if (ctx->kind == kContextGLOffscreen) return ctx->offscreenContext;
  return nullptr;
}

PlatformGLContext* WindowGLContextOf(const GraphicsContext* ctx) { return ctx->windowContext; }
bool AvoidBuffersForDynamicData(const GraphicsContext* ctx) { return ctx->rendererIsNVidia != 0; }
bool UsesBufferObjects(const GraphicsContext* ctx) { return ctx->useBufferObjects != 0; }

bool HasShaderExtensions(const GraphicsContext* ctx) {
  if (GLGlobals().switches.noFragmentPrograms || !IsGLContextKind(ctx)) return false;
  return ShaderExtensionsListed(CurrentExtensionString());
}

bool MakeContextCurrent(const GraphicsContext* ctx) {
  PlatformGLContext* context = GLContextHandle(ctx);
  return context != nullptr && CurrentGLBackend().MakeCurrent(context);
}

int32_t ChooseContextKind(const GraphicsContext* ctx, const QDRect& rect) {
  int32_t kind;
  if (!GLGlobals().OpenGLAvailable) {
    kind = kContextQuickDraw;
  } else if (ctx->requestedKind == kContextAutomatic) {
    kind = EqualRect(rect, ctx->rect) && IsGLContextKind(ctx) ? ctx->kind : kContextGLWindow;
  } else {
    kind = ctx->requestedKind;
  }
  return Document().drawsWithTransparency(ctx->window) ? kContextQuickDraw : kind;
}

bool ContextNeedsRebuild(int32_t kind, const QDRect& rect, GraphicsContext* ctx) {
  if (kind != ctx->kind) return true;
  if (!EqualRect(rect, ctx->rect)) {
    if (kind != kContextGLWindow) return true;
    // The window kind keeps its context and the objects in it: only the framebuffer changes.
    ctx->rect = rect;
    GLBackend& backend = CurrentGLBackend();
    return !backend.ResizeFramebuffer(ctx->windowContext, RectWidth(rect), RectHeight(rect)) ||
           !FitsViewport(RectWidth(rect), RectHeight(rect));
  }
  if (kind == kContextQuickDraw) return Document().drawsWithTransparency(ctx->window) != (ctx->fragmentHeads != nullptr);
  return false;
}

int32_t PrepareGraphicsContext(GraphicsContext* ctx, const QDRect& rect, const ViewFrame* viewFrame) {
  ctx->viewFrame = viewFrame;
  // An empty view has nothing to draw into: no build, and no memory alert either.
  const int32_t kind = EmptyRect(rect) ? kContextNone : ChooseContextKind(ctx, rect);
  if (!ContextNeedsRebuild(kind, rect, ctx)) {
    MakeContextCurrent(ctx);
    return ctx->kind;
  }
  DetachGLContext(ctx);
  ctx->viewFrame = viewFrame;
  ctx->rect = rect;
  const int32_t built = BuildContextKind(ctx, kind);
  ctx->kind = built;
  if (built == kContextNone && kind != kContextNone) PostError(kErrorOutOfMemory);
  return built;
}

int32_t PrepareViewGraphicsContext(GraphicsContext* ctx, const QDRect& rect, const ViewFrame* viewFrame) {
  auto hook = Document().prepareViewContext;
  return hook != nullptr ? hook(ctx, rect, viewFrame) : PrepareGraphicsContext(ctx, rect, viewFrame);
}

int32_t CreateWindowGLContext(GraphicsContext* ctx, uint8_t option) {
  GLBackend& backend = CurrentGLBackend();
  if (!backend.Available()) return kGraphicsContextFailed;
  PlatformGLContext* context = nullptr;
  if (option != 0 && Document().isAntialiased(ctx->window)) {
    context = backend.CreateContext(RequestFor(ctx, GLTargetKind::kWindow, kWindowSamples, false));
  }
  if (context == nullptr) {
    context = backend.CreateContext(RequestFor(ctx, GLTargetKind::kWindow, 0, option == 0));
  }
  if (!Accept(context, ctx)) return kGraphicsContextFailed;
  ctx->windowContext = context;
  SetRendererBytes(ctx);
  InitGLState();
  if (context->samples > 0) GLApi().LineWidth(MultisampledLineWidth(CurrentRendererString()));
  DrainGLErrors();
  return kGraphicsDone;
}

int32_t CreateOffscreenGLContext(GraphicsContext* ctx, uint8_t option) {
  GWorldPtr buffer = UsableDocumentBuffer(ctx);
  if (buffer == nullptr) return kGraphicsBufferMissing;
  GLBackend& backend = CurrentGLBackend();
  if (!backend.Available()) return kGraphicsContextFailed;
  ctx->savedPixelsState = GetPixelsState(buffer);
  LockPixels(buffer);
  PlatformGLContext* context = backend.CreateContext(RequestFor(ctx, GLTargetKind::kOffscreen, 0, option == 0));
  if (!Accept(context, ctx)) {
    SetPixelsState(buffer, ctx->savedPixelsState);
    ctx->offscreenContext = nullptr;
    return kGraphicsContextFailed;
  }
  ctx->offscreenContext = context;
  SetRendererBytes(ctx);
  InitGLState();
  DrainGLErrors();
  return kGraphicsDone;
}

int32_t CreateQuickDrawBuffers(GraphicsContext* ctx) {
  ctx->useBufferObjects = ctx->rendererIsNVidia = ctx->rendererIsATI = 0;
  ctx->overlayTexture = 0;
  ctx->overlayHeight = ctx->overlayWidth = 0;
  ctx->overlayProgram = nullptr;
  GWorldPtr buffer = UsableDocumentBuffer(ctx);
  if (buffer == nullptr) return kGraphicsBufferMissing;
  ctx->savedPixelsState = GetPixelsState(buffer);
  LockPixels(buffer);
  ctx->backgroundGWorld = NewGWorld32(ctx->rect);
  if (ctx->backgroundGWorld != nullptr) {
    LockGWorldPixels(ctx->backgroundGWorld);
    ctx->height = RectHeight(ctx->rect);
    ctx->width = RectWidth(ctx->rect);
    ctx->pixelCount = ctx->height * ctx->width;
    ctx->targetBase = GWorldBaseAddr(buffer);
    ctx->targetRowBytes = GWorldRowBytes(buffer);
    ctx->targetBytes = RectHeight(GWorldBounds(buffer)) * ctx->targetRowBytes;
    const size_t pixels = static_cast<size_t>(ctx->pixelCount);
    if (Document().drawsWithTransparency(ctx->window)) {
      ctx->fragmentHeads = static_cast<int32_t*>(AllocMemory(4 * pixels));
      if (ctx->fragmentHeads != nullptr) return kGraphicsDone;
    } else {
      ctx->depthBuffer = static_cast<double*>(AllocMemory(8 * pixels));
      if (ctx->depthBuffer != nullptr) return kGraphicsDone;
    }
    PostError(kErrorOutOfMemory);
  }
  SetPixelsState(buffer, ctx->savedPixelsState);
  if (ctx->backgroundGWorld != nullptr) SafeDisposeGWorld(ctx->backgroundGWorld);
  ctx->backgroundGWorld = nullptr;
  ctx->targetBase = nullptr;
  ctx->targetRowBytes = ctx->targetBytes = ctx->height = ctx->width = ctx->pixelCount = 0;
  return kGraphicsFailed;
}

void DetachGLContext(GraphicsContext* ctx) {
  FinishGLContext(ctx);
  // The overlay program lives in the GL context: it goes before the context does.
  DeleteShaderProgram(ctx->overlayProgram);
  ctx->overlayProgram = nullptr;
  switch (ctx->kind) {
    case kContextQuickDraw:
      ReleaseQuickDrawBuffers(ctx);
      break;
    case kContextGLWindow:
      RetireGLContext(ctx->windowContext);
      break;
    case kContextGLOffscreen:
      RestorePixelsState(ctx);
      DestroyGLContextAndResources(ctx->offscreenContext);
      break;
    default:
      break;
  }
  const int32_t requested = ctx->requestedKind;
  void* window = ctx->window;
  *ctx = GraphicsContext();
  ctx->requestedKind = requested;
  ctx->window = window;
  ctx->lastFragment = -1;
}

void RetireGLContext(PlatformGLContext* context) {
  if (context == nullptr) return;
  if (!GrowArrayAppend(GLGlobals().RetiredGLContexts, context)) DestroyGLContextAndResources(context);
}

void DestroyRetiredGLContexts() {
  GrowArray<PlatformGLContext*>& retired = GLGlobals().RetiredGLContexts;
  // The queue is emptied first, so a context retired while the hooks run waits for the next call.
  GrowArray<PlatformGLContext*> queue = retired;
  retired = GrowArray<PlatformGLContext*>();
  for (int32_t i = 0; i < queue.count; ++i) DestroyGLContextAndResources(*GrowArrayAt(queue, i));
  GrowArrayFree(queue);
}

int32_t FinishGLContext(GraphicsContext* ctx) {
  if (!IsGLContextKind(ctx) || !MakeContextCurrent(ctx)) return 0;
  const GLEntryPoints& gl = GLApi();
  gl.Finish();
  return gl.GetError() != GL_NO_ERROR ? 1 : 0;
}

int32_t PresentGLFrame(GraphicsContext* ctx) {
  GWorldPtr target;
  if (ctx->kind == kContextGLWindow) {
    target = Document().windowBackingStore(ctx->window);
    if (target == nullptr) return kGraphicsDone;
  } else if (ctx->kind == kContextGLOffscreen) {
    target = Document().offscreenBuffer(ctx->window);
    if (target == nullptr || GWorldPixelsLost(target)) return kGraphicsBufferMissing;
  } else {
    return kGraphicsDone;
  }
  uint32_t* origin = ViewOrigin(target, ctx->rect);
  if (origin == nullptr) return ctx->kind == kContextGLOffscreen ? kGraphicsBufferMissing : kGraphicsDone;
  const GLFrameRect whole{0, 0, RectHeight(ctx->rect), RectWidth(ctx->rect)};
  ReadFrameInto(CurrentGLBackend(), GLContextHandle(ctx), whole, origin, GWorldRowBytes(target));
  return kGraphicsDone;
}

void SetGLFlagIfEnabled(uint8_t value) {
  GLPlatformState& g = GLGlobals();
  if (g.OpenGLAvailable) g.GLOptionByte = value;
}

bool DetectOpenGL() {
  GLPlatformState& g = GLGlobals();
  g.OpenGLAvailable = CurrentGLBackend().Available() ? 1 : 0;
  return g.OpenGLAvailable != 0;
}

bool InitGLPlatform() {
  if (!DetectOpenGL()) ShowMessageAlert(kErrorNoOpenGL);
  ReadRendererSwitches();
  return GLGlobals().OpenGLAvailable != 0;
}

bool CheckGraphicsContext(const GraphicsContext* ctx) {
  const bool software = ctx->backgroundGWorld != nullptr || ctx->depthBuffer != nullptr ||
                        ctx->fragmentHeads != nullptr || ctx->targetBase != nullptr;
  if (ctx->lastFragment < -1 || (ctx->lastFragment >= 0 && ctx->fragmentChunks == nullptr)) return false;
  switch (ctx->kind) {
    case kContextNone:
      return !software && ctx->windowContext == nullptr && ctx->offscreenContext == nullptr;
    case kContextQuickDraw:
      return ctx->backgroundGWorld != nullptr && ctx->targetBase != nullptr &&
             (ctx->depthBuffer != nullptr) != (ctx->fragmentHeads != nullptr) && ctx->windowContext == nullptr &&
             ctx->offscreenContext == nullptr && ctx->pixelCount == ctx->width * ctx->height;
    case kContextGLWindow:
      return !software && ctx->windowContext != nullptr && ctx->offscreenContext == nullptr;
    case kContextGLOffscreen:
      return !software && ctx->offscreenContext != nullptr && ctx->windowContext == nullptr;
    default:
      return false;
  }
}
