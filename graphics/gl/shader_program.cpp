// The ARB program loader. Messages keep their historical wording, misspelling included, since
// users' bug reports quote them. The error flag is drained before each program string, so a
// stale error can neither hide a failed compile nor fail a good program.
#include "graphics/gl/shader_program.h"

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "graphics/gl/gl_globals.h"
#include "graphics/gl/gl_state.h"
#include "graphics/gl/renderer_caps.h"
#include "kernel/memory/memory_budget.h"

namespace {

void Say(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  ShaderMessageSink sink = GLGlobals().shaderMessages;
  if (sink != nullptr) sink(text.c_str());
  else std::fputs(text.c_str(), stdout);
}

char* CountedCopy(const char* s) {
  if (s == nullptr) return nullptr;
  size_t n = std::strlen(s) + 1;
  auto* copy = static_cast<char*>(AllocMemory(n));
  if (copy != nullptr) std::memcpy(copy, s, n);
  return copy;
}

const char* NameOf(const ShaderProgram* p) { return p->name != nullptr ? p->name : ""; }

// The context is going: its program object goes with it.
void ForgetProgramObject(GLContextResource* owner) {
  auto* p = reinterpret_cast<ShaderProgram*>(reinterpret_cast<char*>(owner) - offsetof(ShaderProgram, owner));
  p->programId = kNoProgramId;
  p->failed = 1;
}

bool HaveProgramEntryPoints(const GLEntryPoints& gl) {
  return gl.GenProgramsARB != nullptr && gl.BindProgramARB != nullptr && gl.ProgramStringARB != nullptr &&
         gl.GetProgramivARB != nullptr && gl.IsProgramARB != nullptr && gl.DeleteProgramsARB != nullptr;
}

}  // namespace

bool ShaderProgramInit(ShaderProgram* program, const char* name, const char* text, bool isFragment) {
  *program = ShaderProgram();
  program->isFragment = isFragment ? 1 : 0;
  program->name = CountedCopy(name != nullptr ? name : "");
  program->text = CountedCopy(text);
  return program->name != nullptr && (text == nullptr || program->text != nullptr);
}

bool ShaderProgramIsUsable(const ShaderProgram* program) { return program->failed == 0; }

void ShaderProgramDispose(ShaderProgram* program) {
  if (program->owner.context != nullptr) {
    GLBackend& backend = CurrentGLBackend();
    PlatformGLContext* before = backend.CurrentContext();
    PlatformGLContext* owner = program->owner.context;
    GLuint id = program->programId;
    if (backend.MakeCurrent(owner)) GLApi().DeleteProgramsARB(1, &id);
    if (before != owner) backend.MakeCurrent(before);
    UnregisterGLResource(&program->owner);
  }
  program->programId = kNoProgramId;
  FreeMemory(program->name);
  FreeMemory(program->text);
  program->name = program->text = nullptr;
}

int CheckProgramError(const char* name) {
  const GLEntryPoints& gl = GLApi();
  if (gl.GetError() != GL_INVALID_OPERATION) return 1;
  GLint position = -1;
  gl.GetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &position);
  if (position < 0) return 1;
  const char* detail = reinterpret_cast<const char*>(gl.GetString(GL_PROGRAM_ERROR_STRING_ARB));
  Say("fragment program error in file %s\nerror occured in at position %d\nerror string from GL follows:\n%s\n", name,
      position, detail != nullptr ? detail : "");
  return 0;
}

int CheckNativeLimits(GLenum target, GLuint programId, const char* name) {
  const GLEntryPoints& gl = GLApi();
  GLint instructions = 0;
  GLint underLimits = 0;
  gl.GetProgramivARB(target, GL_PROGRAM_NATIVE_INSTRUCTIONS_ARB, &instructions);
  gl.GetProgramivARB(target, GL_PROGRAM_UNDER_NATIVE_LIMITS_ARB, &underLimits);
  Say("Shader %s compiles to %d native instructions\n", name, instructions);
  if (underLimits != 0 && instructions != 0 && gl.IsProgramARB(programId)) return 1;
  Say("shader %s will not be run natively by GPU\n", name);
  return 0;
}

void ShaderProgramLoad(ShaderProgram* program) {
  const GLEntryPoints& gl = GLApi();
  int32_t& rendererClass = GLGlobals().rendererClass;
  if (rendererClass == -1) rendererClass = IsNVidiaRenderer(CurrentRendererString()) ? 1 : 0;
  const GLenum target = program->isFragment ? GL_FRAGMENT_PROGRAM_ARB : GL_VERTEX_PROGRAM_ARB;
  const bool first = program->attempted == 0;
  const char* name = NameOf(program);
  if (first) {
    program->attempted = 1;
    Say("Loading shader %s\n", name);
    if (program->text == nullptr || !HaveProgramEntryPoints(gl)) {
      program->failed = 1;
      return;
    }
    DrainGLErrors();
    GLuint id = 0;
    gl.GenProgramsARB(1, &id);
    program->programId = id;
    RegisterGLResource(&program->owner, CurrentGLBackend().CurrentContext(), ForgetProgramObject);
    gl.BindProgramARB(target, id);
    gl.ProgramStringARB(target, GL_PROGRAM_FORMAT_ASCII_ARB, static_cast<GLsizei>(std::strlen(program->text)),
                        program->text);
    if (!CheckProgramError(name)) {
      Say("unable to compile shader %s\n", name);
      program->failed = 1;
      return;
    }
    if (rendererClass == 1 && program->isFragment && !CheckNativeLimits(target, id, name)) {
      program->failed = 1;
      return;
    }
  }
  // A forgotten object (its context is gone) is never bound: the name may be another's now.
  if (program->programId == kNoProgramId || program->owner.context == nullptr) return;
  gl.BindProgramARB(target, program->programId);
  if (first && rendererClass == 0 && !CheckNativeLimits(target, program->programId, name)) program->failed = 1;
}

ShaderProgram* NewShaderProgram(const char* name, const char* text, bool isFragment) {
  void* block = AllocMemory(sizeof(ShaderProgram));
  if (block == nullptr) return nullptr;
  auto* program = new (block) ShaderProgram();
  ShaderProgramInit(program, name, text, isFragment);
  return program;
}

void DeleteShaderProgram(ShaderProgram* program) {
  if (program == nullptr) return;
  ShaderProgramDispose(program);
  program->~ShaderProgram();
  FreeMemory(program);
}
