// Mesa through EGL. The display is opened once and kept for the life of the process (Mesa's
// own allocations behind it are not ours to free; the test suites suppress them by library).
// Invariant: live_ counts the contexts created and not yet destroyed; current_ is the context
// this backend last made current, or null.
#include "platform/gl/egl_backend.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstring>
#include <new>

namespace {

struct EGLContextRecord : PlatformGLContext {
  EGLContext egl = EGL_NO_CONTEXT;
  GLuint drawFbo = 0;
  GLuint colorRb = 0;
  GLuint depthRb = 0;
  GLuint resolveFbo = 0;  // single-sampled copy of a multisampled frame
  GLuint resolveRb = 0;
};

EGLContextRecord* Record(PlatformGLContext* context) { return static_cast<EGLContextRecord*>(context); }

// Whole-word test in a blank-separated extension list.
bool ListHas(const char* list, const char* name) {
  if (list == nullptr) return false;
  const size_t n = std::strlen(name);
  for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += n) {
    if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0')) return true;
  }
  return false;
}

GLProc LookUp(const char* name) { return eglGetProcAddress(name); }

// Storage for the framebuffer's renderbuffers at the record's size (names made on first use),
// attached and complete. True when GL reports no error and both framebuffers are complete.
bool SpecifyFramebuffer(const GLEntryPoints& gl, EGLContextRecord* r) {
  GLint maxSize = 0;
  gl.GetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
  if (r->width > maxSize || r->height > maxSize) return false;
  if (r->samples > 0) {
    GLint maxSamples = 0;
    gl.GetIntegerv(GL_MAX_SAMPLES, &maxSamples);
    if (r->samples > maxSamples) return false;
  }
  auto storage = [&](GLuint* name, GLenum format, GLsizei samples) {
    if (*name == 0) gl.GenRenderbuffers(1, name);
    gl.BindRenderbuffer(GL_RENDERBUFFER, *name);
    if (samples > 0) {
      gl.RenderbufferStorageMultisample(GL_RENDERBUFFER, samples, format, r->width, r->height);
    } else {
      gl.RenderbufferStorage(GL_RENDERBUFFER, format, r->width, r->height);
    }
  };
  storage(&r->colorRb, GL_RGBA8, r->samples);
  storage(&r->depthRb, GL_DEPTH_COMPONENT24, r->samples);
  if (r->drawFbo == 0) gl.GenFramebuffers(1, &r->drawFbo);
  gl.BindFramebuffer(GL_FRAMEBUFFER, r->drawFbo);
  gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, r->colorRb);
  gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, r->depthRb);
  bool complete = gl.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  if (r->samples > 0) {
    storage(&r->resolveRb, GL_RGBA8, 0);
    if (r->resolveFbo == 0) gl.GenFramebuffers(1, &r->resolveFbo);
    gl.BindFramebuffer(GL_FRAMEBUFFER, r->resolveFbo);
    gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, r->resolveRb);
    complete = complete && gl.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  }
  gl.BindRenderbuffer(GL_RENDERBUFFER, 0);
  gl.BindFramebuffer(GL_FRAMEBUFFER, r->drawFbo);
  gl.Viewport(0, 0, r->width, r->height);
  return gl.GetError() == GL_NO_ERROR && complete;
}

}  // namespace

EGLBackend::~EGLBackend() = default;

bool EGLBackend::OpenDisplay() {
  const char* client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (client == nullptr || getPlatformDisplay == nullptr) return false;

  EGLDisplay display = EGL_NO_DISPLAY;
  if (ListHas(client, "EGL_MESA_platform_surfaceless")) {
    display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    platformName_ = "surfaceless";
  }
  if (display == EGL_NO_DISPLAY && ListHas(client, "EGL_EXT_platform_device")) {
    auto queryDevices = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    auto deviceString =
        reinterpret_cast<PFNEGLQUERYDEVICESTRINGEXTPROC>(eglGetProcAddress("eglQueryDeviceStringEXT"));
    EGLDeviceEXT devices[16];
    EGLint count = 0;
    if (queryDevices != nullptr && deviceString != nullptr && queryDevices(16, devices, &count)) {
      for (EGLint i = 0; i < count && display == EGL_NO_DISPLAY; ++i) {
        if (ListHas(deviceString(devices[i], EGL_EXTENSIONS), "EGL_MESA_device_software")) {
          display = getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr);
          platformName_ = "device";
        }
      }
    }
  }
  if (display == EGL_NO_DISPLAY) {
    platformName_ = "none";
    return false;
  }
  EGLint major = 0, minor = 0;
  if (!eglInitialize(display, &major, &minor)) return false;
  const char* extensions = eglQueryString(display, EGL_EXTENSIONS);
  if (!ListHas(extensions, "EGL_KHR_surfaceless_context") ||
      !(ListHas(extensions, "EGL_KHR_no_config_context") || ListHas(extensions, "EGL_MESA_configless_context")) ||
      !eglBindAPI(EGL_OPENGL_API) || !LoadGLEntryPoints(LookUp, &gl_)) {
    eglTerminate(display);
    return false;
  }
  display_ = display;
  return true;
}

bool EGLBackend::Available() {
  if (!probed_) {
    probed_ = true;
    usable_ = OpenDisplay();
  }
  return usable_;
}

PlatformGLContext* EGLBackend::CreateContext(const GLContextRequest& request) {
  if (!Available() || request.width < 1 || request.height < 1 || request.samples < 0) return nullptr;
  auto* r = new (std::nothrow) EGLContextRecord;
  if (r == nullptr) return nullptr;
  r->target = request.target;
  r->width = request.width;
  r->height = request.height;
  r->samples = request.samples;
  // No profile attributes: a desktop context of the default version is the compatibility profile.
  const EGLint attributes[] = {EGL_NONE};
  eglBindAPI(EGL_OPENGL_API);
  r->egl = eglCreateContext(display_, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
  if (r->egl == EGL_NO_CONTEXT) {
    delete r;
    return nullptr;
  }
  ++live_;
  r->serial = nextSerial_++;
  if (!MakeCurrent(r) || !SpecifyFramebuffer(gl_, r)) {
    DestroyContext(r);
    return nullptr;
  }
  return r;
}

void EGLBackend::DestroyContext(PlatformGLContext* context) {
  if (context == nullptr) return;
  EGLContextRecord* r = Record(context);
  // The context's framebuffers and every other object of it go with it: nothing is shared.
  if (current_ == context) {
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    current_ = nullptr;
  }
  eglDestroyContext(display_, r->egl);
  --live_;
  delete r;
}

bool EGLBackend::MakeCurrent(PlatformGLContext* context) {
  if (context == nullptr) {
    if (display_ != nullptr) eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    current_ = nullptr;
    return true;
  }
  EGLContextRecord* r = Record(context);
  if (current_ != context) {
    if (!eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, r->egl)) return false;
    current_ = context;
  }
  if (r->drawFbo != 0) gl_.BindFramebuffer(GL_FRAMEBUFFER, r->drawFbo);
  return true;
}

bool EGLBackend::ResizeFramebuffer(PlatformGLContext* context, int32_t width, int32_t height) {
  if (context == nullptr || width < 1 || height < 1 || !MakeCurrent(context)) return false;
  EGLContextRecord* r = Record(context);
  r->width = width;
  r->height = height;
  return SpecifyFramebuffer(gl_, r);
}

bool EGLBackend::BindFrameForReading(PlatformGLContext* context) {
  if (context == nullptr || !MakeCurrent(context)) return false;
  EGLContextRecord* r = Record(context);
  if (r->samples > 0) {
    // A multisampled framebuffer cannot be read: resolve it into the single-sampled one.
    gl_.BindFramebuffer(GL_READ_FRAMEBUFFER, r->drawFbo);
    gl_.BindFramebuffer(GL_DRAW_FRAMEBUFFER, r->resolveFbo);
    gl_.BlitFramebuffer(0, 0, r->width, r->height, 0, 0, r->width, r->height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    gl_.BindFramebuffer(GL_DRAW_FRAMEBUFFER, r->drawFbo);
    gl_.BindFramebuffer(GL_READ_FRAMEBUFFER, r->resolveFbo);
  } else {
    gl_.BindFramebuffer(GL_READ_FRAMEBUFFER, r->drawFbo);
  }
  return true;
}

GLBackend& SystemGLBackend() {
  static EGLBackend backend;
  return backend;
}
