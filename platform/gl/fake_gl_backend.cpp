// The fake backend's contexts and GL stand-ins. Every entry point of the table is filled: the
// ones a test observes act on the active fake, the rest do nothing and answer zero.
// A frame read back from a fake context holds 0xFF000000 | (GL row << 12) | column, so tests
// can check which rows and columns a read-back copied, and in which order.
#include "platform/gl/fake_gl_backend.h"

#include <cstring>
#include <type_traits>

namespace {

FakeGLBackend* gActive = nullptr;
GLint gPackRowLength = 0;

struct FakeContextRecord : PlatformGLContext {
  GLuint lastProgramName = 0;  // names count from 1 in every context, as in GL
};

uint64_t CurrentSerial() {
  PlatformGLContext* c = gActive != nullptr ? gActive->CurrentContext() : nullptr;
  return c != nullptr ? c->serial : 0;
}

template <typename F>
struct Inert;
template <typename R, typename... A>
struct Inert<R (*)(A...)> {
  static R Call(A...) {
    if constexpr (!std::is_void_v<R>) return R{};
  }
};

bool FakeHasExtension(const char* name) {
  const std::string& list = gActive->extensions;
  const size_t n = std::strlen(name);
  for (size_t at = list.find(name); at != std::string::npos; at = list.find(name, at + n)) {
    if ((at == 0 || list[at - 1] == ' ') && (at + n == list.size() || list[at + n] == ' ')) return true;
  }
  return false;
}

void RaiseError(GLenum error) {
  if (gActive->pendingErrors.empty()) gActive->pendingErrors.push_back(error);  // GL keeps the first
}

const GLubyte* FakeGetString(GLenum name) {
  const std::string* s = nullptr;
  switch (name) {
    case GL_RENDERER: s = &gActive->renderer; break;
    case GL_VERSION: s = &gActive->version; break;
    case GL_EXTENSIONS: s = &gActive->extensions; break;
    case GL_PROGRAM_ERROR_STRING_ARB: {
      static const char kMessage[] = "line 2: unknown instruction";
      return reinterpret_cast<const GLubyte*>(kMessage);
    }
    default: return reinterpret_cast<const GLubyte*>("");
  }
  return reinterpret_cast<const GLubyte*>(s->c_str());
}

GLenum FakeGetError() {
  if (gActive->pendingErrors.empty()) return GL_NO_ERROR;
  GLenum e = gActive->pendingErrors.front();
  gActive->pendingErrors.pop_front();
  return e;
}

void FakeGetIntegerv(GLenum name, GLint* out) {
  switch (name) {
    case GL_MAX_VIEWPORT_DIMS: out[0] = gActive->maxViewportDims[0]; out[1] = gActive->maxViewportDims[1]; break;
    case GL_PROGRAM_ERROR_POSITION_ARB: *out = gActive->programErrorPosition; break;
    default: *out = 0;
  }
}

void FakeHint(GLenum target, GLenum mode) {
  gActive->hints.push_back(target);
  if (target == GL_MULTISAMPLE_FILTER_HINT_NV && !FakeHasExtension("GL_NV_multisample_filter_hint")) {
    RaiseError(GL_INVALID_ENUM);
  }
  (void)mode;
}

void FakeLineWidth(GLfloat width) { gActive->lineWidth = width; }
void FakeFinish() { ++gActive->finishes; }
GLenum FakeCheckFramebufferStatus(GLenum) { return GL_FRAMEBUFFER_COMPLETE; }

void FakePixelStorei(GLenum name, GLint value) {
  if (name == GL_PACK_ROW_LENGTH) gPackRowLength = value;
}

void FakeReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum, GLenum, void* pixels) {
  auto* out = static_cast<uint32_t*>(pixels);
  const GLint stride = gPackRowLength > 0 ? gPackRowLength : width;
  for (GLsizei r = 0; r < height; ++r) {
    for (GLsizei c = 0; c < width; ++c) {
      out[r * stride + c] = 0xFF000000u | (static_cast<uint32_t>(y + r) << 12) | static_cast<uint32_t>(x + c);
    }
  }
}

void FakeGenProgramsARB(GLsizei n, GLuint* names) {
  auto* c = static_cast<FakeContextRecord*>(gActive->CurrentContext());
  for (GLsizei i = 0; i < n; ++i) {
    names[i] = c != nullptr ? ++c->lastProgramName : 0;
    gActive->generatedPrograms.push_back({CurrentSerial(), names[i]});
  }
}

void FakeDeleteProgramsARB(GLsizei n, const GLuint* names) {
  for (GLsizei i = 0; i < n; ++i) gActive->deletedPrograms.push_back({CurrentSerial(), names[i]});
}

void FakeProgramStringARB(GLenum, GLenum, GLsizei length, const void* text) {
  std::string program(static_cast<const char*>(text), static_cast<size_t>(length));
  size_t at = program.find(gActive->programRejectToken);
  if (!gActive->programRejectToken.empty() && at != std::string::npos) {
    gActive->programErrorPosition = static_cast<GLint>(at);
    RaiseError(GL_INVALID_OPERATION);
  } else {
    gActive->programErrorPosition = -1;
  }
}

void FakeGetProgramivARB(GLenum, GLenum name, GLint* out) {
  ++gActive->nativeLimitQueries;
  if (name == GL_PROGRAM_NATIVE_INSTRUCTIONS_ARB) *out = gActive->nativeInstructions;
  else if (name == GL_PROGRAM_UNDER_NATIVE_LIMITS_ARB) *out = gActive->underNativeLimits;
  else *out = 0;
}

GLboolean FakeIsProgramARB(GLuint name) { return name != 0 ? GL_TRUE : GL_FALSE; }

GLEntryPoints FakeTable() {
  GLEntryPoints t;
#define QV_GL_INERT(Name) t.Name = &Inert<decltype(t.Name)>::Call;
  QV_GL_REQUIRED_ENTRY_POINTS(QV_GL_INERT)
  QV_GL_OPTIONAL_ENTRY_POINTS(QV_GL_INERT)
#undef QV_GL_INERT
  t.GetString = FakeGetString;
  t.GetError = FakeGetError;
  t.GetIntegerv = FakeGetIntegerv;
  t.Hint = FakeHint;
  t.LineWidth = FakeLineWidth;
  t.Finish = FakeFinish;
  t.CheckFramebufferStatus = FakeCheckFramebufferStatus;
  t.PixelStorei = FakePixelStorei;
  t.ReadPixels = FakeReadPixels;
  t.GenProgramsARB = FakeGenProgramsARB;
  t.DeleteProgramsARB = FakeDeleteProgramsARB;
  t.ProgramStringARB = FakeProgramStringARB;
  t.GetProgramivARB = FakeGetProgramivARB;
  t.IsProgramARB = FakeIsProgramARB;
  return t;
}

}  // namespace

FakeGLBackend::FakeGLBackend() : gl_(FakeTable()) {
  gActive = this;
  gPackRowLength = 0;
}

FakeGLBackend::~FakeGLBackend() {
  if (gActive == this) gActive = nullptr;
}

FakeGLBackend* ActiveFakeGLBackend() { return gActive; }

PlatformGLContext* FakeGLBackend::CreateContext(const GLContextRequest& request) {
  bool refused = !available || request.width < 1 || request.height < 1 || (refuseCreate && refuseCreate(request));
  attempts.push_back({request, !refused});
  if (refused) return nullptr;
  auto* c = new FakeContextRecord;
  c->serial = nextSerial_++;
  c->target = request.target;
  c->width = request.width;
  c->height = request.height;
  c->samples = request.samples;
  ++live_;
  current_ = c;
  return c;
}

void FakeGLBackend::DestroyContext(PlatformGLContext* context) {
  if (context == nullptr) return;
  if (current_ == context) current_ = nullptr;
  destroyed.push_back(context->serial);
  --live_;
  delete static_cast<FakeContextRecord*>(context);
}

bool FakeGLBackend::MakeCurrent(PlatformGLContext* context) {
  current_ = context;
  return true;
}

bool FakeGLBackend::ResizeFramebuffer(PlatformGLContext* context, int32_t width, int32_t height) {
  if (context == nullptr || refuseResize || width < 1 || height < 1) return false;
  current_ = context;
  context->width = width;
  context->height = height;
  return true;
}

bool FakeGLBackend::BindFrameForReading(PlatformGLContext* context) {
  if (context == nullptr) return false;
  current_ = context;
  if (context->samples > 0) ++resolves;
  return true;
}
