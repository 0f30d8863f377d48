// Direct pixel work on the current 32-bit buffer: colours shaded by the luminance of the pixel
// beneath (drawn unchanged over white paper and over the grid colour), a small ring marker,
// dotted spans, clipped lines, flat triangles, anti-aliased lines, the graph paper at full speed
// and the half-size copy. Every routine clips to the buffer's bounds besides the rectangle it is
// given; the flat triangle and the anti-aliased line, which take none, clip to the bounding box of
// the port's clip. Points are in the buffer's coordinates (its bounds' top-left is subtracted).
#pragma once

#include <cstdint>

#include "graphics/packed_color.h"

constexpr uint32_t kGridColor = 0x00CCFFFFu;
constexpr uint32_t kGridPixel = 0xFFCCFFFFu;
constexpr uint32_t kPaperPixel = 0xFFFFFFFFu;

// L of a background pixel as the shading routines use it: (77 R + 150 G + 29 B) / 255, 256 for
// white and on the grid colour. Inline: the blits call it once a pixel.
inline uint32_t ShadeLuminance(uint32_t background) {
  if ((background & 0xFFFFFFu) == kGridColor) return 256;
  uint32_t r = background >> 16 & 0xFF, g = background >> 8 & 0xFF, b = background & 0xFF;
  return (77 * r + 150 * g + 29 * b) / 255;
}
// Each channel of the colour becomes (L * c) >> 8, alpha 0; over the grid colour the colour
// comes back unchanged (low 24 bits), as L = 256 gives.
inline uint32_t ShadePixelByLuminance(uint32_t color, uint32_t background) {
  uint32_t l = ShadeLuminance(background);
  uint32_t r = color >> 16 & 0xFF, g = color >> 8 & 0xFF, b = color & 0xFF;
  return ((l * r) >> 8) << 16 | ((l * g) >> 8) << 8 | ((l * b) >> 8);
}

void ShadeGWorldPixel(const QDRect& rect, QDPoint p, PackedRGB color);
void PlotSmallDot(const QDRect& rect, QDPoint p, PackedRGB color);
// step < 1 counts as 1.
void ShadeHorizontalSpan(const QDRect& rect, QDPoint p1, QDPoint p2, PackedRGB color, int32_t step);
void ShadeVerticalSpan(const QDRect& rect, QDPoint p1, QDPoint p2, PackedRGB color, int32_t step);
void ShadeLineSegment(const QDRect& rect, QDPoint p1, QDPoint p2, PackedRGB color);
// The end q of segment p-q moved onto the rectangle's edges (top, left, bottom - 1, right - 1),
// or (-1, -1) when the segment crosses none of them.
QDPoint ClipSegmentEnd(const QDRect& rect, QDPoint p, QDPoint q);
// Crossing of segment p0-p1 with the horizontal line v = edge (horizontalEdge) or the vertical
// line h = edge, which must lie within [lo, hi] along the edge; (-1, -1) for none.
QDPoint IntersectSegmentWithEdge(QDPoint p0, QDPoint p1, bool horizontalEdge, int32_t edge, int32_t lo, int32_t hi);
// Flat triangle in the current buffer's coordinates, the pixel word written as given: rows from
// the top vertex's up to, not including, the bottom vertex's; a row covers floor(x_left) up to,
// not including, floor(x_right), each edge's x taken exactly at the row. Vertices may lie
// anywhere in the int32 range; only the rows inside the clip are visited.
void FillFlatTriangle(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t pixel);
// One pixel a step of the major axis, both ends included, the minor coordinate's coverage split
// between the two pixels it falls between. End points may lie anywhere in the int32 range; only
// the stretch of the major axis inside the clip is walked.
void DrawAntialiasedLine(int32_t h0, int32_t v0, int32_t h1, int32_t v1, PackedRGB rgb);

// White paper with 2-pixel grid lines every 32 pixels in rect of the current port (see the
// comment in the source for the phases); locks the bits around the fill and marks rect dirty.
void FillGridFast(int32_t phaseH, int32_t phaseV, const QDRect& rect);
// Each destination pixel of dstRect (current buffer) is avg(avg(a, c), avg(b, d)) per byte of
// the 2x2 source block under it, avg(x, y) = (x + y + 1) >> 1; blocks counted from srcRect's top-left.
void HalveGWorldVector(GWorldPtr src, const QDRect& srcRect, const QDRect& dstRect);
