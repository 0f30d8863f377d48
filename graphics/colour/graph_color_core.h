// GraphColorCore: the part of a graph's colour that the graphics layer serves: its mode, its three
// colour expressions, its texture and picture, and the GPU program pair with its parameter
// functions and values, recorded with the GL context they were made in. GraphColor (graphs/)
// derives from it and adds the RGB word. Invariants: the record owns all of these, never its
// context; mode 11 is set only together with both programs, and savedMode then says 9 or 10; the
// values exist exactly while the parameters do.
#pragma once

#include <cstdint>

#include "graphics/gl/gl_textures.h"
#include "kernel/memory/growable_array.h"
#include "platform/draw/picture.h"
#include "platform/gl/gl_backend.h"

struct CompiledFunction;
struct GraphicsContext;
struct ShaderProgram;

// Colouring modes.
enum GraphColorMode : uint32_t {
  kColorFixed = 0,
  kColorChecks = 1,
  kColorStripesAcross = 2,
  kColorStripesAlong = 3,
  kColorHueRampDown = 4,
  kColorHueRampAcross = 5,
  kColorHueStepsDown = 6,
  kColorHueStepsAcross = 7,
  kColorTexture = 8,
  kColorRGBExpressions = 9,
  kColorHSVExpressions = 10,
  kColorGPUProgram = 11,  // set by the colour programs in place of 9 or 10
  kColorNoFill = 13,      // colour index 17
};

// The compiled parameter functions that feed a generated fragment program.
using FunctionArray = GrowArray<CompiledFunction*>;

struct GraphColorCore {
  explicit GraphColorCore(GraphicsContext* ctx = nullptr) : context(ctx) {}

  uint32_t mode = kColorFixed;
  uint32_t savedMode = kColorFixed;  // the mode before a GPU program took over
  CompiledFunction* component[3] = {nullptr, nullptr, nullptr};
  TextureRef texture = 0;
  PicHandle picture = nullptr;  // the colour's own copy (mode 8)
  GraphicsContext* context;     // not owned
  int32_t resourceContextKind = 0;
  PlatformGLContext* resourceContextHandle = nullptr;
  ShaderProgram* fragmentProgram = nullptr;
  ShaderProgram* vertexProgram = nullptr;
  FunctionArray* parameters = nullptr;
  // Counted block of 2 x parameters->count: the values the shading passes load, then the places
  // their next evaluation fills before it replaces them whole (a pass never loads half of one).
  double* parameterValues = nullptr;
  uint8_t parameterValuesStale = 0;  // a symbol some parameter reads changed since they were had
};

// Disposes and deletes every function of the array, frees its block and empties it. Null is ignored.
void DisposeFunctionArray(FunctionArray* array);
// Disposes and deletes the parameter array and its functions and frees their values; both fields
// become null.
void DeleteColorParameters(GraphColorCore* color);
// Deletes the fragment and then the vertex program (each in the context it was made in); both
// fields become null.
void DeleteColorPrograms(GraphColorCore* color);
// Deletes the texture in the context it was made in and forgets that context.
void DeleteColorTexture(GraphColorCore* color);
