// Texture builders. Pictures and patterns are first drawn into a 32-bit buffer with the drawing
// layer, whose native 0xAARRGGBB words GL reads as GL_BGRA / GL_UNSIGNED_INT_8_8_8_8_REV.
// The software block is sized with sizeof(void*) for its level table, whatever the pointer width.
#include "graphics/gl/gl_textures.h"

#include "graphics/gl/gl_globals.h"
#include "graphics/gl/graphics_context.h"
#include "graphics/qd_layer.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/memory/memory_budget.h"
#include "platform/draw/picture.h"

namespace {

constexpr int32_t kFinestLevel = kSoftwareTextureLevels - 1;
constexpr int32_t kFinestSide = 1 << kFinestLevel;

// Uploads a buffer's pixels as a new bound GL_TEXTURE_2D with the given wrap and filter.
uint32_t UploadTexture(GWorldPtr gw, GLint wrap, GLint filter) {
  const GLEntryPoints& gl = GLApi();
  GLuint name = 0;
  gl.GenTextures(1, &name);
  gl.BindTexture(GL_TEXTURE_2D, name);
  gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
  gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
  gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  gl.PixelStorei(GL_UNPACK_ROW_LENGTH, GWorldRowBytes(gw) / 4);
  const QDRect bounds = GWorldBounds(gw);
  gl.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, RectWidth(bounds), RectHeight(bounds), 0, GL_BGRA,
                GL_UNSIGNED_INT_8_8_8_8_REV, GWorldBaseAddr(gw));
  gl.PixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  return name;
}

TextureRef TagOf(const PlatformGLContext* context) { return TextureRef(context->serial & 0xFFFFFFFFu) << 32; }

}  // namespace

uint32_t GLTextureNameIn(TextureRef texture, const PlatformGLContext* context) {
  if (context == nullptr || (texture & ~TextureRef(0xFFFFFFFFu)) != TagOf(context)) return 0;
  return static_cast<uint32_t>(texture);
}

int32_t NextPowerOfTwo(int32_t n) {
  int32_t p = 4;
  while (p < n && p < 512) p <<= 1;
  return p;
}

uint32_t GLTextureFromPicture(const Picture* picture) {
  if (picture == nullptr) return 0;
  const QDRect frame = picture->frame;
  const int32_t w = NextPowerOfTwo(RectWidth(frame)), h = NextPowerOfTwo(RectHeight(frame));
  const QDRect bounds = MakeRect(0, 0, w, h);
  GWorldPtr gw = NewGWorld32(bounds);
  if (gw == nullptr) return 0;
  GWorldSave save;
  SaveAndSetGWorld(&save, gw);
  EraseRect(bounds);
  DrawPicture(picture, bounds);
  RestoreGWorld(&save);
  const uint32_t name = UploadTexture(gw, GL_CLAMP, GL_LINEAR);
  SafeDisposeGWorld(gw);
  return name;
}

uint32_t GLTextureFromPixPat(const PixPat* pattern) {
  if (pattern == nullptr) return 0;
  const QDRect bounds = MakeRect(0, 0, 16, 16);
  GWorldPtr gw = NewGWorld32(bounds);
  if (gw == nullptr) return 0;
  GWorldSave save;
  SaveAndSetGWorld(&save, gw);
  FillCRect(bounds, pattern);
  RestoreGWorld(&save);
  // Fills write alpha 0; a pattern is opaque, also where the overlay pass blends by alpha.
  uint32_t* pixels = GWorldBaseAddr(gw);
  for (int32_t y = 0; y < 16; ++y) {
    for (int32_t x = 0; x < 16; ++x) pixels[y * (GWorldRowBytes(gw) / 4) + x] |= 0xFF000000u;
  }
  const uint32_t name = UploadTexture(gw, GL_REPEAT, GL_NEAREST);
  SafeDisposeGWorld(gw);
  return name;
}

namespace {

// The ten-level block over the 512 x 512 buffer: level 9 its rows (bottom first unless `topFirst`;
// made opaque when `opaqueIfClear` and no pixel has alpha), each coarser texel every byte the sum
// of the four finer bytes below it shifted right by 2. Null (error 7 posted) when refused.
uint32_t** SoftwareTextureFromFinest(GWorldPtr gw, bool opaqueIfClear, bool topFirst) {
  const size_t tableBytes = kSoftwareTextureLevels * sizeof(uint32_t*);
  auto* block = static_cast<uint8_t*>(AllocMemory(tableBytes + 4 * size_t(kSoftwareTextureTexels)));
  if (block == nullptr) {
    PostError(kErrorOutOfMemory);
    return nullptr;
  }
  auto** levels = reinterpret_cast<uint32_t**>(block);
  uint32_t* texels = reinterpret_cast<uint32_t*>(block + tableBytes);
  for (int32_t L = 0, offset = 0; L < kSoftwareTextureLevels; offset += 1 << (2 * L), ++L) levels[L] = texels + offset;

  const uint32_t* base = GWorldBaseAddr(gw);
  const int32_t stride = GWorldRowBytes(gw) / 4;
  uint32_t anyAlpha = 0;
  for (int32_t r = 0; r < kFinestSide; ++r) {
    const uint32_t* src = base + int64_t(topFirst ? r : kFinestSide - 1 - r) * stride;
    uint32_t* dst = levels[kFinestLevel] + r * kFinestSide;
    for (int32_t c = 0; c < kFinestSide; ++c) {
      dst[c] = src[c];
      anyAlpha |= src[c] & 0xFF000000u;
    }
  }
  if (opaqueIfClear && anyAlpha == 0) {
    for (int32_t i = 0; i < kFinestSide * kFinestSide; ++i) levels[kFinestLevel][i] |= 0xFF000000u;
  }
  for (int32_t L = kFinestLevel - 1; L >= 0; --L) {
    const int32_t side = 1 << L;
    const uint32_t* fine = levels[L + 1];
    for (int32_t v = 0; v < side; ++v) {
      for (int32_t u = 0; u < side; ++u) {
        const uint32_t* q = fine + (2 * v) * (2 * side) + 2 * u;
        const uint32_t texels4[4] = {q[0], q[1], q[2 * side], q[2 * side + 1]};
        uint32_t out = 0;
        for (int shift = 0; shift < 32; shift += 8) {
          uint32_t sum = 0;
          for (uint32_t t : texels4) sum += t >> shift & 0xFF;
          out |= (sum >> 2) << shift;
        }
        levels[L][v * side + u] = out;
      }
    }
  }
  return levels;
}

// A 512 x 512 buffer with `draw` run into it (erased first), the level block over it, the buffer
// gone again; null (error 7 posted) when the buffer or the block is refused.
template <typename Draw>
uint32_t** SoftwareTextureDrawn(Draw draw, bool opaqueIfClear, bool topFirst) {
  const QDRect bounds = MakeRect(0, 0, kFinestSide, kFinestSide);
  GWorldPtr gw = NewGWorld32(bounds);
  if (gw == nullptr) {
    PostError(kErrorOutOfMemory);
    return nullptr;
  }
  GWorldSave save;
  SaveAndSetGWorld(&save, gw);
  EraseRect(bounds);
  draw(bounds);
  RestoreGWorld(&save);
  uint32_t** levels = SoftwareTextureFromFinest(gw, opaqueIfClear, topFirst);
  SafeDisposeGWorld(gw);
  return levels;
}

}  // namespace

uint32_t** SoftwareTextureFromPicture(const Picture* picture) {
  return SoftwareTextureDrawn(
      [picture](const QDRect& bounds) {
        if (picture != nullptr) DrawPicture(picture, bounds);
      },
      true, false);
}

uint32_t** SoftwareTextureFromGWorld(GWorldPtr source, const QDRect& sourceRect) {
  return SoftwareTextureDrawn([&](const QDRect& bounds) { CopyGWorldToPort(source, sourceRect, bounds); }, false,
                              true);
}

TextureRef TextureFromPicture(const Picture* picture, const GraphicsContext* ctx) {
  if (picture == nullptr) return 0;
  switch (ctx->kind) {
    case kContextQuickDraw:
      return reinterpret_cast<TextureRef>(SoftwareTextureFromPicture(picture));
    case kContextGLWindow:
    case kContextGLOffscreen: {
      const uint32_t name = MakeContextCurrent(ctx) ? GLTextureFromPicture(picture) : 0;
      return name != 0 ? TagOf(GLContextHandle(ctx)) | name : 0;
    }
    default:
      return 0;
  }
}

void DeleteGLTexture(TextureRef texture, int32_t kind, const PlatformGLContext* glContext, GraphicsContext* ctx) {
  if (texture == 0) return;
  if (kind == kContextQuickDraw) {
    FreeMemory(reinterpret_cast<void*>(texture));
    return;
  }
  if ((kind != kContextGLWindow && kind != kContextGLOffscreen) || ctx->kind != kind) return;
  PlatformGLContext* current = GLContextHandle(ctx);
  const GLuint name = GLTextureNameIn(texture, current);
  if (current == nullptr || current != glContext || name == 0 || !MakeContextCurrent(ctx)) return;
  GLApi().DeleteTextures(1, &name);
}

bool IsTextureUsable(TextureRef texture, const GraphicsContext* ctx) {
  switch (ctx->kind) {
    case kContextNone:
    case kContextQuickDraw:
      return true;
    case kContextGLWindow:
    case kContextGLOffscreen: {
      const uint32_t name = GLTextureNameIn(texture, GLContextHandle(ctx));
      if (name == 0) return false;
      if (ctx->kind == kContextGLWindow) {
        for (uint32_t background : ctx->backgroundTextures) {
          if (background == name) return false;
        }
      }
      return MakeContextCurrent(ctx) && GLApi().IsTexture(name);
    }
    default:
      return false;
  }
}
