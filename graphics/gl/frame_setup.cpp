// Frame set-up for the three context kinds. The GL backgrounds are drawn in pixel coordinates
// through an orthographic projection over the view (0..w, 0..h, y up) with depth writes off;
// the camera follows with GLU. The far plane is min(50 + r, 200) in GL but min(50 + r, 100) in
// software: the two kinds' depth ranges differ on purpose.
#include "graphics/gl/frame_setup.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "graphics/gl/gl_globals.h"
#include "graphics/gl/gl_material.h"
#include "graphics/gl/gl_state.h"
#include "graphics/gl/gl_textures.h"
#include "graphics/qd_layer.h"
#include "graphics/render/software_camera.h"
#include "graphics/render/software_rasterizer.h"

namespace {

enum { kFloorPattern, kRightWallPattern, kLeftWallPattern };
constexpr int32_t kPatternIds[3] = {507, 508, 509};
constexpr double kFovyDivisor = 1.7330909743;

// The three shared patterns, loaded on first use; false when any is missing.
bool BackgroundPatterns(PixPat* out[3]) {
  GLPlatformState& g = GLGlobals();
  if (!g.backgroundPatternsLoaded) {
    for (int i = 0; i < 3; ++i) g.backgroundPatterns[i] = QDGetPixPat(kPatternIds[i]);
    g.backgroundPatternsLoaded = true;
  }
  bool all = true;
  for (int i = 0; i < 3; ++i) {
    out[i] = g.backgroundPatterns[i];
    all = all && out[i] != nullptr;
  }
  return all;
}

// The document buffer when it still holds the view: the software target is refreshed from it.
bool RefreshSoftwareTarget(GraphicsContext* ctx) {
  GWorldPtr buffer = GLGlobals().document.offscreenBuffer(ctx->window);
  if (buffer == nullptr || GWorldPixelsLost(buffer) || ctx->backgroundGWorld == nullptr) return false;
  const QDRect bounds = GWorldBounds(buffer);
  const QDRect& r = ctx->rect;
  if (r.top < 0 || r.left < 0 || r.bottom > RectHeight(bounds) || r.right > RectWidth(bounds)) return false;
  LockPixels(buffer);
  ctx->targetBase = GWorldBaseAddr(buffer);
  ctx->targetRowBytes = GWorldRowBytes(buffer);
  ctx->targetBytes = RectHeight(bounds) * ctx->targetRowBytes;
  return true;
}

uint32_t* TargetRow(const GraphicsContext* ctx, int32_t y) {
  return ctx->targetBase + (int64_t(ctx->rect.top) + y) * (ctx->targetRowBytes / 4) + ctx->rect.left;
}

void BeginSoftwareFrame(GraphicsContext* ctx) {
  const DocumentBackground bg = DocumentBackgroundOf(ctx->window);
  if (bg.type == kBackgroundRoomCorner || bg.type == kBackgroundTiled) {
    if (!ctx->backgroundDrawn) {
      DrawBackgroundIntoGWorld(ctx);
      ctx->backgroundDrawn = 1;
    }
    const uint32_t* src = GWorldBaseAddr(ctx->backgroundGWorld);
    const int32_t stride = GWorldRowBytes(ctx->backgroundGWorld) / 4;
    for (int32_t y = 0; y < ctx->height; ++y) std::copy_n(src + int64_t(y) * stride, ctx->width, TargetRow(ctx, y));
  } else {
    const uint32_t pixel = 0xFF000000u | (bg.rgb & 0xFFFFFFu);
    for (int32_t y = 0; y < ctx->height; ++y) std::fill_n(TargetRow(ctx, y), ctx->width, pixel);
  }
  if (ctx->fragmentHeads != nullptr) {
    ClearFragmentStore(ctx);
  } else {
    std::fill_n(ctx->depthBuffer, ctx->pixelCount, 2.0);
  }
  SetSoftwareCamera(ctx);
  ctx->vertexCount = 0;
  ctx->vertices = ctx->normals = ctx->texCoords = ctx->colors = nullptr;
  ctx->color = 0xFFFFFF;
  ctx->opacity = 1.0f;
  ctx->texture = nullptr;
  ctx->colorSource = 0;
}

// Each pixel's list, farthest first, laid over the pixel with the fragments' own alpha.
void ResolveFragments(GraphicsContext* ctx) {
  for (int32_t y = 0; y < ctx->height; ++y) {
    uint32_t* row = TargetRow(ctx, y);
    const int32_t* heads = ctx->fragmentHeads + int64_t(y) * ctx->width;
    for (int32_t x = 0; x < ctx->width; ++x) {
      if (heads[x] < 0) continue;
      uint32_t a = row[x] >> 24, r = row[x] >> 16 & 0xFF, g = row[x] >> 8 & 0xFF, b = row[x] & 0xFF;
      for (int32_t i = heads[x]; i >= 0;) {
        const FragmentRecord* f = FragmentAt(ctx, i);
        const uint32_t fa = f->pixel >> 24, keep = 255 - fa;
        a = 255 - keep * (255 - a) / 255;
        r = (fa * (f->pixel >> 16 & 0xFF) + keep * r) / 255;
        g = (fa * (f->pixel >> 8 & 0xFF) + keep * g) / 255;
        b = (fa * (f->pixel & 0xFF) + keep * b) / 255;
        i = f->next;
      }
      row[x] = a << 24 | r << 16 | g << 8 | b;
    }
  }
}

// One textured polygon in view pixels (y up); texture coordinates are the position / 16 with
// t counted down from the view's top, so one pattern pixel covers one screen pixel.
void TexturedPolygon(uint32_t texture, const double (*points)[2], int count, int32_t h) {
  const GLEntryPoints& gl = GLApi();
  gl.BindTexture(GL_TEXTURE_2D, texture);
  gl.Begin(GL_POLYGON);
  for (int i = 0; i < count; ++i) {
    gl.TexCoord2f(float(points[i][0] / 16), float((h - points[i][1]) / 16));
    gl.Vertex2f(float(points[i][0]), float(points[i][1]));
  }
  gl.End();
}

// Room corner (type 1) or tiled pattern (type 2) with lighting, normalising and the depth test off.
void DrawGLBackground(GraphicsContext* ctx, uint8_t type, uint8_t clearDepth) {
  const GLEntryPoints& gl = GLApi();
  const int32_t w = RectWidth(ctx->rect), h = RectHeight(ctx->rect);
  PixPat* patterns[3];
  if (!BackgroundPatterns(patterns)) {
    gl.ClearColor(1, 1, 1, 0);
    gl.Clear(GL_COLOR_BUFFER_BIT | (clearDepth ? GL_DEPTH_BUFFER_BIT : 0));
    return;
  }
  for (int i = 0; i < 3; ++i) {
    if (ctx->backgroundTextures[i] == 0) ctx->backgroundTextures[i] = GLTextureFromPixPat(patterns[i]);
  }
  if (clearDepth) gl.Clear(GL_DEPTH_BUFFER_BIT);
  // Without multisampling the seams between floor and walls keep the patterns' exact colours,
  // which the pixel hit test takes for background.
  const bool multisample = gl.IsEnabled(GL_MULTISAMPLE_ARB);
  gl.Disable(GL_MULTISAMPLE_ARB);
  gl.Disable(GL_LIGHTING);
  gl.Disable(GL_NORMALIZE);
  gl.Disable(GL_DEPTH_TEST);
  gl.DepthMask(GL_FALSE);
  gl.MatrixMode(GL_PROJECTION);
  gl.LoadIdentity();
  gl.Ortho(0, w, 0, h, -1, 1);
  gl.MatrixMode(GL_MODELVIEW);
  gl.LoadIdentity();
  gl.Enable(GL_TEXTURE_2D);
  gl.Color4f(1, 1, 1, 1);
  if (type == kBackgroundTiled) {
    const double quad[4][2] = {{0, 0}, {double(w), 0}, {double(w), double(h)}, {0, double(h)}};
    TexturedPolygon(ctx->backgroundTextures[kFloorPattern], quad, 4, h);
  } else {
    const double m = std::max(w, h), ax = w / 2.0, ay = h - 16.0;
    const double floorTriangle[3][2] = {{ax, ay}, {ax - 2 * m, ay - m}, {ax + 2 * m, ay - m}};
    const double leftWall[4][2] = {{ax, ay}, {ax - 2 * m, ay - m}, {ax - 2 * m, ay + m}, {ax, ay + m}};
    const double rightWall[4][2] = {{ax, ay}, {ax + 2 * m, ay - m}, {ax + 2 * m, ay + m}, {ax, ay + m}};
    TexturedPolygon(ctx->backgroundTextures[kFloorPattern], floorTriangle, 3, h);
    TexturedPolygon(ctx->backgroundTextures[kLeftWallPattern], leftWall, 4, h);
    TexturedPolygon(ctx->backgroundTextures[kRightWallPattern], rightWall, 4, h);
  }
  gl.Disable(GL_TEXTURE_2D);
  if (multisample) gl.Enable(GL_MULTISAMPLE_ARB);
  gl.ShadeModel(GL_SMOOTH);
  gl.DepthMask(GL_TRUE);
  gl.Enable(GL_LIGHTING);
  gl.Enable(GL_NORMALIZE);
  gl.Enable(GL_DEPTH_TEST);
}

void LoadGLCamera(const GraphicsContext* ctx) {
  const GLEntryPoints& gl = GLApi();
  const ViewFrame& frame = FrameOf(ctx);
  const double w = RectWidth(ctx->rect), h = RectHeight(ctx->rect);
  double eye[3], up[3];
  CameraEyeAndUp(frame, eye, up);
  gl.MatrixMode(GL_MODELVIEW);
  gl.LoadIdentity();
  gluLookAt(eye[0], eye[1], eye[2], 0, 0, 0, up[0], up[1], up[2]);
  const BoxToCube b = BoxToCubeOf(frame);
  bool finite = true;
  for (int i = 0; i < 3; ++i) finite = finite && std::isfinite(b.scale[i]) && std::isfinite(b.centre[i]);
  if (finite) {  // otherwise the meshes draw nothing (see the mesh drawing)
    gl.Scaled(b.scale[0], b.scale[1], b.scale[2]);
    gl.Translated(-b.centre[0], -b.centre[1], -b.centre[2]);
  }
  gl.MatrixMode(GL_PROJECTION);
  gl.LoadIdentity();
  const double aspect = w / h;
  const double fovy = (aspect < 1 ? 10 / aspect : 10) * frame.zoom / kFovyDivisor;
  gluPerspective(fovy, aspect, std::max(kEyeDistance - frame.radius, 1.0), std::min(kEyeDistance + frame.radius, 200.0));
  gl.Translated(0.3 / w, 0, 0);
  gl.MatrixMode(GL_MODELVIEW);
}

int32_t BeginGLKindFrame(GraphicsContext* ctx, uint8_t twoPass) {
  if (!MakeContextCurrent(ctx)) return kGraphicsFailed;
  const GLEntryPoints& gl = GLApi();
  gl.Viewport(0, 0, RectWidth(ctx->rect), RectHeight(ctx->rect));
  // The first pass writes exact colours for the overlay to read: no sample blending.
  if (twoPass && ctx->kind == kContextGLWindow) gl.Disable(GL_MULTISAMPLE_ARB);
  SetUpGLFrame(ctx, twoPass, 1);
  if (gl.GetError() == GL_NO_ERROR) return kGraphicsDone;
  DrainGLErrors();
  return kGraphicsFailed;
}

}  // namespace

void SetUpGLFrame(GraphicsContext* ctx, uint8_t twoPass, uint8_t clearDepth) {
  const GLEntryPoints& gl = GLApi();
  if (twoPass) {
    gl.ClearColor(0, 0, 0, 0);
    gl.Clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  } else {
    const DocumentBackground bg = DocumentBackgroundOf(ctx->window);
    if (bg.type == kBackgroundRoomCorner || bg.type == kBackgroundTiled) {
      DrawGLBackground(ctx, bg.type, clearDepth);
    } else {
      gl.ClearColor(float(bg.rgb >> 16 & 0xFF) / 255, float(bg.rgb >> 8 & 0xFF) / 255, float(bg.rgb & 0xFF) / 255, 0);
      gl.Clear(GL_COLOR_BUFFER_BIT | (clearDepth ? GL_DEPTH_BUFFER_BIT : 0));
    }
  }
  LoadGLCamera(ctx);
  SetGLMaterialColor(0xFFFFFF, ctx);
  gl.Color4f(1, 1, 1, 1);
}

int32_t BeginGLFrame(GraphicsContext* ctx, uint8_t twoPass) {
  switch (ctx->kind) {
    case kContextGLWindow:
    case kContextGLOffscreen:
      return BeginGLKindFrame(ctx, twoPass);
    case kContextQuickDraw:
      if (!RefreshSoftwareTarget(ctx)) return kGraphicsBufferMissing;
      BeginSoftwareFrame(ctx);
      return kGraphicsDone;
    default:
      return kGraphicsDone;
  }
}

int32_t EndGLFrame(GraphicsContext* ctx) {
  switch (ctx->kind) {
    case kContextGLWindow:
    case kContextGLOffscreen:
      return PresentGLFrame(ctx);
    case kContextQuickDraw:
      if (!RefreshSoftwareTarget(ctx)) return kGraphicsBufferMissing;
      if (ctx->fragmentHeads != nullptr) ResolveFragments(ctx);
      return kGraphicsDone;
    default:
      return kGraphicsDone;
  }
}

void DrawBackgroundIntoGWorld(GraphicsContext* ctx) {
  GWorldPtr gw = ctx->backgroundGWorld;
  if (gw == nullptr) return;
  const QDRect bounds = GWorldBounds(gw);
  const int32_t w = RectWidth(bounds), h = RectHeight(bounds);
  GWorldSave save;
  SaveAndSetGWorld(&save, gw);
  // Local (0, 0) at the view's top-left, where the patterns are anchored, as in the GL kinds.
  SetOrigin(0, 0);
  const QDRect view = MakeRect(0, 0, w, h);
  ClipRect(view);
  PixPat* patterns[3];
  const DocumentBackground bg = DocumentBackgroundOf(ctx->window);
  if (!BackgroundPatterns(patterns)) {
    EraseRect(view);
  } else if (bg.type == kBackgroundTiled) {
    FillCRect(view, patterns[kFloorPattern]);
  } else {
    const int32_t m = std::max(w, h), ax = w / 2, ay = 16;
    const QDPoint floorTriangle[3] = {MakePoint(ax, ay), MakePoint(ax - 2 * m, ay + m), MakePoint(ax + 2 * m, ay + m)};
    const QDPoint leftWall[4] = {MakePoint(ax, ay), MakePoint(ax - 2 * m, ay + m), MakePoint(ax - 2 * m, ay - m),
                                 MakePoint(ax, ay - m)};
    const QDPoint rightWall[4] = {MakePoint(ax, ay), MakePoint(ax + 2 * m, ay + m), MakePoint(ax + 2 * m, ay - m),
                                  MakePoint(ax, ay - m)};
    FillCPoly(floorTriangle, 3, patterns[kFloorPattern]);
    FillCPoly(leftWall, 4, patterns[kLeftWallPattern]);
    FillCPoly(rightWall, 4, patterns[kRightWallPattern]);
  }
  SetOrigin(bounds.left, bounds.top);
  ClipRect(bounds);
  RestoreGWorld(&save);
}

void DisposeBackgroundPatterns() {
  GLPlatformState& g = GLGlobals();
  for (PixPat*& pattern : g.backgroundPatterns) {
    QDDisposePixPat(pattern);
    pattern = nullptr;
  }
  g.backgroundPatternsLoaded = false;
}

void GetViewBoxExtents(const GraphicsContext* ctx, double extents[3]) {
  const ViewFrame& f = FrameOf(ctx);
  for (int i = 0; i < 3; ++i) extents[i] = f.box[2 * i + 1] - f.box[2 * i];
}

double MaxScaledRadius(const float* points, int32_t n, const GraphicsContext* ctx) {
  if (points == nullptr || n <= 0) return 0;
  const BoxToCube b = BoxToCubeOf(FrameOf(ctx));
  double largest = 0;
  for (int32_t i = 0; i < n; ++i) {
    double sum = 0;
    for (int k = 0; k < 3; ++k) {
      const double q = (points[3 * i + k] - b.centre[k]) * b.scale[k];
      sum += q * q;
    }
    if (std::isfinite(sum)) largest = std::max(largest, sum);
  }
  return std::sqrt(largest);
}
