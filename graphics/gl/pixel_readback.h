// Pixels back from the views: the composite pass of the two-pass frame (the first pass's
// hue-saturation-value picture turned into colour over the background), GL frames read into
// the document's buffer, single GL pixels, and the 11 x 11 test that decides whether a click
// landed on something drawn rather than on the background.
#pragma once

#include <cstdint>

#include "platform/draw/qd_geometry.h"

struct GraphicsContext;

// Between the two passes, in both GL kinds: copies the first pass into the context's rectangle
// texture, draws the background and camera again (depth kept) and lays the copy over it through
// the default colour fragment program, blended by its alpha. A texture that cannot be made posts
// error 7; the pass goes on.
void DrawTransparentOverlayGL(GraphicsContext* ctx);

// GL kinds: the whole view into the document's buffer at the view rectangle, top row first.
// False when there is nothing to read or no buffer holding the view.
bool ReadGLPixelsToGWorld(GraphicsContext* ctx);
// GL kinds: the pixel at window point (h, v) as 0x00RRGGBB; white outside the view or in other kinds.
uint32_t ReadGLPixel(GraphicsContext* ctx, int32_t h, int32_t v);

// True when a pixel within 5 of the point (inside clipRect, whose bottom and right are
// exclusive) shows something other than the document's background. Pixels come from the GL
// window frame, else from the current port. On a pattern background every window of it shows
// both a grey and a blue pattern colour, so seeing only one of them counts as a hit. A square
// wholly outside clipRect shows no background either, so it counts as a hit too.
bool HitTestPixelsNearPoint(QDPoint point, void* window, const QDRect& clipRect, GraphicsContext* ctx);
