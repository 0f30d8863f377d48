// The one table of OpenGL entry points the program calls: every GL function is reached through
// a GLEntryPoints record filled from the platform's proc-address lookup (or by a fake backend),
// never by linking libGL. Required entries are never null in a loaded table; optional ones
// (extension entry points) are null when the lookup has none, and callers test them.
#pragma once

#define GL_GLEXT_PROTOTYPES 1  // declarations only: the table takes each function's type from them
#include <GL/gl.h>
#include <GL/glext.h>

// X(Name): member `Name` of the type of glName, looked up as "glName".
#define QV_GL_REQUIRED_ENTRY_POINTS(X)                                                          \
  X(GetString) X(GetError) X(GetIntegerv) X(Finish) X(Flush) X(Enable) X(Disable) X(Hint)       \
  X(ShadeModel) X(LightModelfv) X(LightModeli) X(Lightfv) X(MatrixMode) X(LoadIdentity)         \
  X(EnableClientState) X(LineWidth) X(Viewport) X(ClearColor) X(Clear) X(Begin) X(End)          \
  X(Color4f) X(Vertex2f) X(ReadPixels) X(PixelStorei) X(GenFramebuffers) X(DeleteFramebuffers) \
  X(BindFramebuffer) X(FramebufferRenderbuffer) X(CheckFramebufferStatus) X(GenRenderbuffers)   \
  X(DeleteRenderbuffers) X(BindRenderbuffer) X(RenderbufferStorage)                             \
  X(RenderbufferStorageMultisample) X(BlitFramebuffer) X(ClearDepth) X(DepthMask) X(IsEnabled)      \
  X(PushMatrix) X(PopMatrix) X(Translated) X(Scaled) X(Ortho) X(GetDoublev) X(GetFloatv)        \
  X(Materialfv) X(Materialf) X(ColorMaterial) X(Fogf) X(Fogfv) X(Fogi) X(ClipPlane) X(CullFace) \
  X(BlendFunc) X(VertexPointer) X(NormalPointer) X(ColorPointer) X(TexCoordPointer)             \
  X(DisableClientState) X(DrawElements) X(GenTextures) X(DeleteTextures) X(BindTexture)         \
  X(TexParameteri) X(TexImage2D) X(IsTexture) X(GetTexLevelParameteriv) X(CopyTexSubImage2D)    \
  X(ReadBuffer) X(TexCoord2f) X(Vertex3f) X(Normal3f)

#define QV_GL_OPTIONAL_ENTRY_POINTS(X)                                                          \
  X(GenProgramsARB) X(DeleteProgramsARB) X(BindProgramARB) X(ProgramStringARB)                  \
  X(GetProgramivARB) X(IsProgramARB) X(DebugMessageCallback) X(DebugMessageControl)           \
  X(ProgramLocalParameter4dvARB) X(GenBuffersARB) X(DeleteBuffersARB) X(BindBufferARB)          \
  X(BufferDataARB) X(GetBufferSubDataARB) X(MapBufferARB) X(UnmapBufferARB) X(IsBufferARB)

struct GLEntryPoints {
#define QV_GL_MEMBER(Name) decltype(&::gl##Name) Name = nullptr;
  QV_GL_REQUIRED_ENTRY_POINTS(QV_GL_MEMBER)
  QV_GL_OPTIONAL_ENTRY_POINTS(QV_GL_MEMBER)
#undef QV_GL_MEMBER
};

using GLProc = void (*)();
using GLProcLookup = GLProc (*)(const char* name);

// Fills *out through lookup. False (and *out left with the entries found) when a required
// entry point is missing; missing optional ones stay null.
bool LoadGLEntryPoints(GLProcLookup lookup, GLEntryPoints* out);
