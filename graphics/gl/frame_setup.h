// The frame of a 3D or 4D view, for every context kind: BeginGLFrame clears the target, draws
// the document's background and loads the camera; EndGLFrame presents the frame and, in the
// software kind with transparency, composites the fragment lists over the background.
// Invariants: GL kinds set both matrices for the box-to-cube camera on every begin; the software
// kind's camera, depth (2.0 everywhere) or emptied fragment lists and drawing state are reset on
// every begin, and its background is drawn into the context's own buffer once.
#pragma once

#include <cstdint>

#include "graphics/gl/graphics_context.h"

// 0 done; 1 a GL error pending after the set-up (the caller posts error 7 and draws nothing);
// 2 the document's buffer is missing or no longer holds the view (software kind). twoPass
// starts the first half of the two-pass frame: a transparent black clear, multisampling off.
int32_t BeginGLFrame(GraphicsContext* ctx, uint8_t twoPass);
// 0, or 2 as above. GL kinds present the frame (PresentGLFrame).
int32_t EndGLFrame(GraphicsContext* ctx);
// GL kinds: the clear or background, then the camera, white material and colour. clearDepth
// clears the depth buffer with the background; the overlay pass keeps it. Current context.
void SetUpGLFrame(GraphicsContext* ctx, uint8_t twoPass, uint8_t clearDepth);

// The software background of the document (types 1 and 2) into ctx->backgroundGWorld, pattern
// pixel (0, 0) at the view's top-left; erased when a pattern is missing.
void DrawBackgroundIntoGWorld(GraphicsContext* ctx);
// Disposes the three shared background patterns (at shutdown); the next use loads them again.
void DisposeBackgroundPatterns();

// The extents xmax - xmin, ymax - ymin, zmax - zmin of the view's box.
void GetViewBoxExtents(const GraphicsContext* ctx, double extents[3]);
// The largest length of n float points (x, y, z each) after the box-to-cube mapping; 0 for n <= 0.
// Non-finite points are passed over.
double MaxScaledRadius(const float* points, int32_t n, const GraphicsContext* ctx);

// The graph kinds of the surfaces and the 4D view call these two by their own names.
inline void GetViewRangeWidths(const GraphicsContext* ctx, double extents[3]) { GetViewBoxExtents(ctx, extents); }
inline double MeshExtentInView(const float* points, int32_t n, const GraphicsContext* ctx) {
  return MaxScaledRadius(points, n, ctx);
}
