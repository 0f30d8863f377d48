// Textures made from pictures and pixel patterns, for every context kind: GL texture names in
// the GL kinds (they live and die with their context) and, in the software kind, one counted
// block of ten level pointers followed by a 10-level mipmap (level L is 2^L x 2^L texels,
// level 9 the picture with its rows bottom first, so that the rasteriser's 1 - t shows it upright).
#pragma once

#include <cstdint>

#include "platform/draw/port.h"

struct GraphicsContext;
struct PixPat;
struct Picture;
struct PlatformGLContext;

// A texture of either kind: a GL texture name tagged with its context (the name in the low 32
// bits, the low 32 bits of the context's serial above them), or the address of a software
// texture block. The tag keeps a name from being taken for one of a later context that happens
// to sit at the same address: names restart in every context.
using TextureRef = uint64_t;
static_assert(sizeof(TextureRef) >= sizeof(void*));

constexpr int32_t kSoftwareTextureLevels = 10;
constexpr int32_t kSoftwareTextureTexels = 349525;  // (4^10 - 1) / 3

// The smallest power of two >= n, at least 4 and at most 512.
int32_t NextPowerOfTwo(int32_t n);

// 0 for a null picture or kind 0; a software texture for kind 1; a tagged GL texture for kinds
// 2 and 3 (made in the kind's context). 0 on failure (error 7 posted for a refused software block).
TextureRef TextureFromPicture(const Picture* picture, const GraphicsContext* ctx);
// The picture drawn scaled into a NextPowerOfTwo-sized buffer, as a GL_TEXTURE_2D with clamped
// wrap and linear filters, left bound. 0 when the buffer cannot be had.
uint32_t GLTextureFromPicture(const Picture* picture);
// A 16 x 16 pattern tile as a repeating, nearest-filtered GL_TEXTURE_2D, left bound; 0 on failure.
uint32_t GLTextureFromPixPat(const PixPat* pattern);
// The software texture of a picture, or null (error 7 posted). An all-transparent drawing is
// made opaque; otherwise the alpha bytes are kept as drawn.
uint32_t** SoftwareTextureFromPicture(const Picture* picture);
// The same block of a rectangle of a buffer, scaled to 512 x 512 (CopyGWorldToPort) with its alpha
// bytes as they are, its rows top first: texture rows grow downwards like the rows of a 2D image
// drawn with it, so a sample at a pixel's top edge reads the texel of that pixel's own row. The
// caller frees it (FreeMemory). Null (error 7 posted) when refused.
uint32_t** SoftwareTextureFromGWorld(GWorldPtr source, const QDRect& sourceRect);
// The level table of a software texture.
inline const uint32_t* const* SoftwareTextureLevelsOf(TextureRef texture) {
  return reinterpret_cast<const uint32_t* const*>(texture);
}

// Frees a texture made while the context had `kind` and GL context `glContext`: a software block
// is freed; a GL name is deleted only while ctx still has that kind and context, the very one it
// was made in (otherwise it went with its context). Null texture: nothing.
void DeleteGLTexture(TextureRef texture, int32_t kind, const PlatformGLContext* glContext, GraphicsContext* ctx);
// Kinds 0 and 1: true. GL kinds: whether the texture was made in the kind's context and is
// still a texture there (never one of the window kind's background textures). Other kinds: false.
bool IsTextureUsable(TextureRef texture, const GraphicsContext* ctx);
// The GL name of a tagged texture when it was made in `context`, else 0 (null context: 0).
uint32_t GLTextureNameIn(TextureRef texture, const PlatformGLContext* context);
