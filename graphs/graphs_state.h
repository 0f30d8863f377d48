// Process-wide state of the graph subsystem, in one struct with one reset for tests: the picture
// that colour index 999 turns into a texture, and the graphics services the graphs reach through
// seams until the graphics layer provides them (texture making, reading a GL frame back). Every
// seam defaults to "nothing made, nothing read", which is what a headless program needs.
#pragma once

#include <cstdint>

#include "platform/draw/picture.h"
#include "platform/gl/gl_backend.h"

struct GraphicsContext;

struct GraphsState {
  // The document sets it to an equation row's picture just before it sends colour index 999 to
  // that row's graphs, and clears it right after. Not owned.
  const Picture* currentTexturePicture = nullptr;
  // A texture name made from the picture in the context; 0 when none could be made (always for
  // a null context).
  uint32_t (*textureFromPicture)(const Picture* picture, GraphicsContext* context) = nullptr;
  // Deletes a texture made in the context recorded with it.
  void (*deleteTexture)(uint32_t texture, int32_t contextKind, PlatformGLContext* contextHandle,
                        GraphicsContext* context) = nullptr;
  // Reads the context's GL frame into its offscreen picture, rows flipped.
  void (*readGLFrame)(GraphicsContext* context) = nullptr;
};

GraphsState& GraphsGlobals();
// Puts every field back to its default (tests).
void ResetGraphsStateForTests();
