// A GL backend for tests: no GL at all, a log of every context attempt, injected failures, and
// an entry-point table of stand-ins that answer from settable strings and limits and record the
// calls that matter (program names made and deleted per context, errors raised, hints, line
// widths). At most one exists at a time; its table's functions act on it.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/gl/gl_backend.h"

class FakeGLBackend : public GLBackend {
 public:
  FakeGLBackend();
  ~FakeGLBackend() override;
  FakeGLBackend(const FakeGLBackend&) = delete;
  FakeGLBackend& operator=(const FakeGLBackend&) = delete;

  bool Available() override { return available; }
  PlatformGLContext* CreateContext(const GLContextRequest& request) override;
  void DestroyContext(PlatformGLContext* context) override;
  bool MakeCurrent(PlatformGLContext* context) override;
  PlatformGLContext* CurrentContext() const override { return current_; }
  bool ResizeFramebuffer(PlatformGLContext* context, int32_t width, int32_t height) override;
  bool BindFrameForReading(PlatformGLContext* context) override;
  const GLEntryPoints& Api() const override { return gl_; }
  int32_t LiveContextCount() const override { return live_; }

  // Fault injection.
  bool available = true;
  std::function<bool(const GLContextRequest&)> refuseCreate;  // true refuses that attempt
  bool refuseResize = false;

  // What the GL stand-ins answer.
  std::string renderer = "Fake Renderer";
  std::string version = "2.1 Fake";
  std::string extensions = "GL_ARB_vertex_program GL_ARB_fragment_program GL_ARB_fragment_shader "
                           "GL_ARB_shader_objects GL_ARB_vertex_buffer_object";
  GLint maxViewportDims[2] = {16384, 16384};
  std::deque<GLenum> pendingErrors;          // glGetError pops the front
  std::string programRejectToken = "FOO";    // a program text containing it fails to compile
  GLint nativeInstructions = 12;
  GLint underNativeLimits = 1;

  // Logs.
  struct Attempt {
    GLContextRequest request;
    bool created;
  };
  std::vector<Attempt> attempts;
  std::vector<uint64_t> destroyed;  // serials, in order
  struct ProgramCall {
    uint64_t context;  // serial of the current context, 0 for none
    GLuint name;
  };
  std::vector<ProgramCall> generatedPrograms;
  std::vector<ProgramCall> deletedPrograms;
  int nativeLimitQueries = 0;
  int resolves = 0;
  int finishes = 0;
  std::vector<GLenum> hints;
  GLfloat lineWidth = 1.0f;
  GLint programErrorPosition = -1;

 private:
  GLEntryPoints gl_;
  PlatformGLContext* current_ = nullptr;
  int32_t live_ = 0;
  uint64_t nextSerial_ = 1;
};

// The fake alive now, or null.
FakeGLBackend* ActiveFakeGLBackend();
