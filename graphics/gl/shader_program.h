// ShaderProgram: one ARB vertex or fragment program held as text and compiled on first bind.
// Compile errors and the native-limit report go to the loader's message sink (standard output
// by default) and mark the program failed, so callers fall back to fixed-function drawing.
// A program object belongs to the context it was made in: the record stays registered with
// that context and forgets the name (and counts as failed) when the context is destroyed.
#pragma once

#include <cstdint>

#include "graphics/gl/gl_resources.h"
#include "platform/gl/gl_entry_points.h"

constexpr uint32_t kNoProgramId = 0xFFFFFFFFu;

struct ShaderProgram {
  uint32_t programId = kNoProgramId;  // the program object's name; kNoProgramId while there is none
  uint8_t attempted = 0;              // loading was attempted, whatever came of it
  char* text = nullptr;               // own copy (may be null: the program then fails)
  char* name = nullptr;               // own copy, used in the messages
  uint8_t isFragment = 0;             // 1 fragment program, 0 vertex program
  uint8_t failed = 0;
  GLContextResource owner;            // registered while programId names an object
};

// Sets a fresh or disposed record up with copies of name (null counts as "") and text. False when a copy was
// refused: the record is still valid, and a refused text makes the program fail on load.
bool ShaderProgramInit(ShaderProgram* program, const char* name, const char* text, bool isFragment);
bool ShaderProgramIsUsable(const ShaderProgram* program);
// Deletes the program object in the context it was made in (made current for the call, then
// the caller's context comes back); frees the copies. Nothing is deleted for a record that
// never made an object or whose context is gone.
void ShaderProgramDispose(ShaderProgram* program);
// Makes the program current on its target in the current context, loading it the first time.
// A program whose object was made is bound on every call, failed or not: test
// ShaderProgramIsUsable afterwards.
void ShaderProgramLoad(ShaderProgram* program);

// 1 when no compile error is pending, 0 (after printing the error block) when GL reports
// GL_INVALID_OPERATION with an error position of 0 or more. Reads the error flag once.
int CheckProgramError(const char* name);
// 1 when the program runs natively (under the limits, a non-zero instruction count, a live
// program object); prints the instruction count, and the refusal when answering 0.
int CheckNativeLimits(GLenum target, GLuint programId, const char* name);

// A counted record made with ShaderProgramInit, or null when memory is refused.
ShaderProgram* NewShaderProgram(const char* name, const char* text, bool isFragment);
// ShaderProgramDispose, then the record is freed. Null is ignored.
void DeleteShaderProgram(ShaderProgram* program);
