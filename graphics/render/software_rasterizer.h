// The software rasteriser behind the QuickDraw kind of a 3D view: lines, Gouraud-coloured
// triangles and mip-mapped textured triangles into the context's 32-bit target, with a
// strict-less depth test, or per-pixel fragment lists (kept farthest first) when the context
// has fragment heads. Invariants: every write lands inside the view rectangle of the target; a
// primitive with a non-finite position draws nothing; float-to-integer conversions are range
// checked; the only allocation is one fragment chunk a 65,536 records.
#pragma once

#include <cstdint>

struct GraphicsContext;
struct FragmentRecord;

// A projected vertex: view pixel x, y (origin at the view's top-left, y down), depth z (smaller
// is nearer), colour r, g, b, a in 0..1 and texture coordinates s, t in 0..1 across the texture.
struct RasterVertex {
  float x, y, z, r, g, b, a, s, t;
};

// The three entries return true when the primitive was drawn, clipped away or degenerate, and
// false when the fragment store could not grow: error 17 has then been posted, the primitive
// is cut short and the fragments stored before it are intact.
bool RasterizeLine(const RasterVertex& a, const RasterVertex& b, GraphicsContext* ctx);
bool RasterizeTriangle(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c, GraphicsContext* ctx);
// levels: ten pointers, level L a 2^L x 2^L square of 0xAARRGGBB texels, row-major. Null draws nothing.
bool RasterizeTexturedTriangle(const uint32_t* const* levels, const RasterVertex& a, const RasterVertex& b,
                               const RasterVertex& c, GraphicsContext* ctx);

// A plain 32-bit buffer a textured image is multiplied into: `width` x `height` pixels of
// `rowWords` words a row from `base`.
struct PixelTarget {
  uint32_t* base;
  int32_t rowWords;
  int32_t width;
  int32_t height;
};
// A vertex of such an image: buffer position x, y (a pixel covers [h, h + 1) across and
// [v, v + 1) down) in double precision, and texture coordinates s, t in 0..1.
struct TexturedVertex {
  double x, y, s, t;
};
// The triangle textured as RasterizeTexturedTriangle (level and 16 samples alike), clipped to the
// buffer in double precision before any conversion, with no depth test: each covered pixel's red,
// green and blue are multiplied by the texel average's and divided by 255, its alpha kept. A
// pixel belongs to the triangle its floor position falls in, by the same edge rules, so two
// triangles sharing an edge cover each pixel once. Null levels or a non-finite vertex draw nothing.
void MultiplyTexturedTriangle(const uint32_t* const* levels, const TexturedVertex& a, const TexturedVertex& b,
                              const TexturedVertex& c, const PixelTarget& target);

// The byte of a colour already scaled by 255: 0 at or below 0 (and for NaN), 255 at or above
// 255, else truncated toward zero.
inline uint32_t ScaledColorByte(float v) {
  if (!(v > 0.0f)) return 0;
  if (v >= 255.0f) return 255;
  return static_cast<uint32_t>(v);
}

// Fragment store of the context: the record of an index (0 <= index <= lastFragment).
FragmentRecord* FragmentAt(const GraphicsContext* ctx, int32_t index);
// Links a new record into the list of view pixel `pixel`, before the first record whose depth is
// less than or equal to `depth`. False (error 17 posted, store unchanged) when it cannot grow.
bool InsertFragment(GraphicsContext* ctx, int32_t pixel, double depth, uint32_t color);
// Frees every chunk and the chunk table and empties every list.
void ClearFragmentStore(GraphicsContext* ctx);
// Every list in range, acyclic and ordered by non-increasing depth; the chunk table matches
// lastFragment. True when that holds (or the context has no fragment heads).
bool CheckFragmentStore(const GraphicsContext* ctx);
