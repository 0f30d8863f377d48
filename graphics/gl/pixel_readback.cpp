// Read-back and the composite pass. Frames are read through the backend's ReadFrameInto, which
// resolves a multisampled frame first and flips the rows in place, so nothing here allocates.
// The composite pass runs in the offscreen kind too: its first pass is just as much a
// hue-saturation-value picture on transparent black, and showing it raw would be wrong.
#include "graphics/gl/pixel_readback.h"

#include <algorithm>

#include "graphics/gl/default_programs.h"
#include "graphics/gl/frame_setup.h"
#include "graphics/gl/gl_globals.h"
#include "graphics/gl/graphics_context.h"
#include "graphics/gl/gl_state.h"
#include "graphics/gl/shader_program.h"
#include "graphics/qd_layer.h"
#include "kernel/diagnostics/error_register.h"

namespace {

constexpr int32_t kHitRadius = 5;
constexpr uint32_t kGreyBackground[] = {0xCCCCCC, 0xEFEFEF, 0xEEEEEE, 0xCECECE, 0xFFFFFF};
constexpr uint32_t kBlueBackground[] = {0x99FFFF, 0x66CCFF, 0x616CFF, 0x9CFFFF};

template <size_t N>
bool OneOf(uint32_t pixel, const uint32_t (&set)[N]) {
  return std::find(set, set + N, pixel) != set + N;
}

// The rectangle texture the first pass is copied into, made again when the view's size changed.
void PrepareOverlayTexture(GraphicsContext* ctx, int32_t w, int32_t h) {
  const GLEntryPoints& gl = GLApi();
  if (ctx->overlayTexture != 0 && ctx->overlayWidth == w && ctx->overlayHeight == h) {
    gl.BindTexture(GL_TEXTURE_RECTANGLE_ARB, ctx->overlayTexture);
    return;
  }
  if (ctx->overlayTexture != 0) gl.DeleteTextures(1, &ctx->overlayTexture);
  DrainGLErrors();
  gl.GenTextures(1, &ctx->overlayTexture);
  gl.BindTexture(GL_TEXTURE_RECTANGLE_ARB, ctx->overlayTexture);
  gl.TexImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  ctx->overlayWidth = w;
  ctx->overlayHeight = h;
  if (gl.GetError() != GL_NO_ERROR) PostError(kErrorOutOfMemory);
}

// The document's buffer's address of the view's top-left pixel, or null when it does not hold the view.
uint32_t* DocumentViewOrigin(const GraphicsContext* ctx, int32_t* rowBytes) {
  GWorldPtr buffer = GLGlobals().document.offscreenBuffer(ctx->window);
  if (buffer == nullptr || GWorldPixelsLost(buffer)) return nullptr;
  const QDRect bounds = GWorldBounds(buffer);
  const QDRect& r = ctx->rect;
  if (r.top < 0 || r.left < 0 || r.bottom > RectHeight(bounds) || r.right > RectWidth(bounds)) return nullptr;
  *rowBytes = GWorldRowBytes(buffer);
  return GWorldBaseAddr(buffer) + int64_t(r.top) * (*rowBytes / 4) + r.left;
}

}  // namespace

void DrawTransparentOverlayGL(GraphicsContext* ctx) {
  if (!IsGLContextKind(ctx) || !MakeContextCurrent(ctx)) return;
  const GLEntryPoints& gl = GLApi();
  const int32_t w = RectWidth(ctx->rect), h = RectHeight(ctx->rect);
  gl.Disable(GL_DEPTH_TEST);
  gl.Disable(GL_LIGHT0);
  gl.Disable(GL_LIGHTING);
  gl.Disable(GL_NORMALIZE);
  gl.Enable(GL_BLEND);
  gl.BlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  PrepareOverlayTexture(ctx, w, h);
  // The frame's colour buffer (resolved when multisampled) is the read buffer of the copy.
  PlatformGLContext* context = GLContextHandle(ctx);
  CurrentGLBackend().BindFrameForReading(context);
  gl.CopyTexSubImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, 0, 0, 0, 0, w, h);
  CurrentGLBackend().MakeCurrent(context);

  gl.Enable(GL_MULTISAMPLE_ARB);
  SetUpGLFrame(ctx, 0, 0);
  gl.Disable(GL_LIGHT0);
  gl.Disable(GL_LIGHTING);
  gl.Disable(GL_NORMALIZE);
  gl.DepthMask(GL_FALSE);
  gl.Enable(GL_FRAGMENT_PROGRAM_ARB);
  gl.Enable(GL_TEXTURE_RECTANGLE_ARB);
  gl.BindTexture(GL_TEXTURE_RECTANGLE_ARB, ctx->overlayTexture);
  if (ctx->overlayProgram == nullptr) ctx->overlayProgram = NewShaderProgram("", DefaultColorFragmentProgram(), true);
  if (ctx->overlayProgram != nullptr) ShaderProgramLoad(ctx->overlayProgram);
  gl.Color4f(1, 1, 1, 1);
  // Clamped as GL_CLAMP would; rectangle textures take only the edge-clamping modes.
  gl.TexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  gl.TexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  gl.TexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  gl.TexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  gl.MatrixMode(GL_PROJECTION);
  gl.PushMatrix();
  gl.LoadIdentity();
  gl.MatrixMode(GL_MODELVIEW);
  gl.PushMatrix();
  gl.LoadIdentity();
  gl.Translated(-1, -1, 0);
  gl.Scaled(2.0 / w, 2.0 / h, 1);
  gl.Translated(0.375, 0.375, 0);
  gl.Disable(GL_DEPTH_TEST);
  gl.Begin(GL_QUADS);
  const float corners[4][2] = {{0, 0}, {float(w), 0}, {float(w), float(h)}, {0, float(h)}};
  for (const auto& c : corners) {
    gl.TexCoord2f(c[0], c[1]);
    gl.Vertex2f(c[0], c[1]);
  }
  gl.End();
  gl.MatrixMode(GL_PROJECTION);
  gl.PopMatrix();
  gl.MatrixMode(GL_MODELVIEW);
  gl.PopMatrix();
  gl.Disable(GL_TEXTURE_RECTANGLE_ARB);
  gl.Disable(GL_FRAGMENT_PROGRAM_ARB);
  gl.DepthMask(GL_TRUE);
  gl.Disable(GL_BLEND);
  gl.Enable(GL_DEPTH_TEST);
  gl.Enable(GL_LIGHT0);
  gl.Enable(GL_LIGHTING);
  gl.Enable(GL_NORMALIZE);
  gl.Color4f(1, 1, 1, 1);
}

bool ReadGLPixelsToGWorld(GraphicsContext* ctx) {
  if (!IsGLContextKind(ctx)) return false;
  FinishGLContext(ctx);
  int32_t rowBytes = 0;
  uint32_t* origin = DocumentViewOrigin(ctx, &rowBytes);
  if (origin == nullptr) return false;
  const GLFrameRect whole{0, 0, RectHeight(ctx->rect), RectWidth(ctx->rect)};
  return ReadFrameInto(CurrentGLBackend(), GLContextHandle(ctx), whole, origin, rowBytes);
}

uint32_t ReadGLPixel(GraphicsContext* ctx, int32_t h, int32_t v) {
  const int32_t x = h - ctx->rect.left, row = v - ctx->rect.top;
  if (!IsGLContextKind(ctx) || x < 0 || row < 0 || x >= RectWidth(ctx->rect) || row >= RectHeight(ctx->rect)) {
    return 0xFFFFFF;
  }
  FinishGLContext(ctx);
  uint32_t pixel = 0xFFFFFFu;
  ReadFrameInto(CurrentGLBackend(), GLContextHandle(ctx), GLFrameRect{row, x, row + 1, x + 1}, &pixel, 4);
  return pixel & 0xFFFFFFu;
}

bool HitTestPixelsNearPoint(QDPoint point, void* window, const QDRect& clipRect, GraphicsContext* ctx) {
  const DocumentBackground bg = DocumentBackgroundOf(window);
  const uint32_t background = bg.rgb & 0xFFFFFFu;
  QDRect square = MakeRect(point.h - kHitRadius, point.v - kHitRadius, point.h + kHitRadius + 1, point.v + kHitRadius + 1);
  // No pixel to visit: no background was seen, which both background rules read as a hit.
  if (!SectRect(square, clipRect, &square)) return true;

  // The GL window's pixels of the square, read at once (white outside the view).
  constexpr int32_t kSide = 2 * kHitRadius + 1;
  uint32_t block[kSide * kSide];
  std::fill_n(block, kSide * kSide, 0xFFFFFFu);
  const bool fromGL = ctx != nullptr && ctx->kind == kContextGLWindow;
  if (fromGL) {
    QDRect inView;
    if (SectRect(square, ctx->rect, &inView)) {
      FinishGLContext(ctx);
      const GLFrameRect source{inView.top - ctx->rect.top, inView.left - ctx->rect.left, inView.bottom - ctx->rect.top,
                               inView.right - ctx->rect.left};
      uint32_t* at = block + (inView.top - square.top) * kSide + (inView.left - square.left);
      ReadFrameInto(CurrentGLBackend(), ctx->windowContext, source, at, kSide * 4);
    }
  }
  bool grey = false, blue = false, backgroundSeen = false;
  for (int32_t h = square.left; h < square.right; ++h) {
    for (int32_t v = square.top; v < square.bottom; ++v) {
      const uint32_t pixel = (fromGL ? block[(v - square.top) * kSide + (h - square.left)]
                                     : GetPixelPacked(MakePoint(h, v))) & 0xFFFFFFu;
      if (background == 0xFFFFFF && pixel == 0xFFFFFF) backgroundSeen = true;
      else if (OneOf(pixel, kGreyBackground)) grey = true;
      else if (OneOf(pixel, kBlueBackground)) blue = true;
      else if (pixel == background) backgroundSeen = true;
      else return true;
    }
  }
  if (bg.type != kBackgroundSolid) return !(grey && blue);
  return !backgroundSeen;
}
