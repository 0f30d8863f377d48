// Shared set-up of the GL tests: a fixture that runs each test against a fresh fake backend
// with clean GL globals and error register, a document stand-in whose buffers and flags tests
// set, and a backend for real contexts that fails the running test on any GL error reported
// through KHR_debug (tests expecting one say how many with ExpectGLErrors).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "graphics/gl/gl_globals.h"
#include "graphics/gl/graphics_context.h"
#include "graphics/qd_layer.h"
#include "kernel/diagnostics/error_register.h"
#include "platform/gl/egl_backend.h"
#include "platform/gl/fake_gl_backend.h"
#include "tests/graphics/graphics_test_support.h"

namespace gl_test {

// The document behind every test window: its offscreen buffer, flags and window pixels.
struct TestDocument {
  GWorldPtr buffer = nullptr;
  GWorldPtr windowPixels = nullptr;
  bool transparent = false;
  bool antialiased = false;
  DocumentBackground background{kBackgroundSolid, 0xFFFFFF};
};
inline TestDocument gDocument;

inline void InstallTestDocument() {
  gDocument = TestDocument();
  GLGlobals().document = {[](void*) { return gDocument.buffer; }, [](void*) { return gDocument.transparent; },
                          [](void*) { return gDocument.antialiased; }, [](void*) { return gDocument.windowPixels; },
                          nullptr, [](void*) { return gDocument.background; }};
}

// Each test starts from clean GL globals, error register and document, and must leave no
// context alive; the derived fixtures choose the backend.
class GLTestBase : public testing::Test {
 protected:
  void SetUp() override {
    ResetGLGlobalsForTest();
    ResetErrorRegister();
    InstallTestDocument();
  }
  void TearDown() override {
    DestroyRetiredGLContexts();
    EXPECT_EQ(CurrentGLBackend().LiveContextCount(), 0) << "a context leaked";
    SafeDisposeGWorld(gDocument.buffer);
    SafeDisposeGWorld(gDocument.windowPixels);
    ResetGLGlobalsForTest();
  }
  graphics_test::FailureGuard failures;
};

// A fake backend, OpenGL available and a 400 x 300 document buffer.
class FakeGLTest : public GLTestBase {
 protected:
  void SetUp() override {
    GLTestBase::SetUp();
    GLGlobals().backend = &fake;
    GLGlobals().OpenGLAvailable = 1;
    gDocument.buffer = NewGWorld32(MakeRect(0, 0, 400, 300));
  }
  FakeGLBackend fake;
};

// GL errors the running test expects from the real renderer; any beyond them fail it.
inline int gExpectedGLErrors = 0;
inline void ExpectGLErrors(int n) { gExpectedGLErrors = n; }

inline void GLAPIENTRY FailOnGLError(GLenum, GLenum type, GLuint, GLenum, GLsizei, const GLchar* message,
                                     const void*) {
  if (type != GL_DEBUG_TYPE_ERROR) return;
  if (gExpectedGLErrors > 0) {
    --gExpectedGLErrors;
    return;
  }
  ADD_FAILURE() << "GL error: " << message;
}

// The system backend with the KHR_debug error check installed in every context it makes.
class CheckedEGLBackend : public GLBackend {
 public:
  static EGLBackend& real() { return static_cast<EGLBackend&>(SystemGLBackend()); }
  PlatformGLContext* CreateContext(const GLContextRequest& request) override {
    PlatformGLContext* c = real().CreateContext(request);
    if (c != nullptr) {
      Api().Enable(GL_DEBUG_OUTPUT);
      Api().Enable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
      Api().DebugMessageCallback(FailOnGLError, nullptr);
    }
    return c;
  }
  bool Available() override { return real().Available(); }
  void DestroyContext(PlatformGLContext* c) override { real().DestroyContext(c); }
  bool MakeCurrent(PlatformGLContext* c) override { return real().MakeCurrent(c); }
  PlatformGLContext* CurrentContext() const override { return real().CurrentContext(); }
  bool ResizeFramebuffer(PlatformGLContext* c, int32_t w, int32_t h) override { return real().ResizeFramebuffer(c, w, h); }
  bool BindFrameForReading(PlatformGLContext* c) override { return real().BindFrameForReading(c); }
  const GLEntryPoints& Api() const override { return real().Api(); }
  int32_t LiveContextCount() const override { return real().LiveContextCount(); }
};

// Real contexts through CheckedEGLBackend, the loader's messages collected.
class RealGLTest : public GLTestBase {
 protected:
  void SetUp() override {
    // Mesa's software renderer on the surfaceless platform, whatever GPU the machine has; the
    // display is opened on first use, so this comes before it.
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    setenv("EGL_PLATFORM", "surfaceless", 1);
    GLTestBase::SetUp();
    gExpectedGLErrors = 0;
    GLGlobals().backend = &backend;
    ASSERT_TRUE(DetectOpenGL()) << "no EGL display: install the Mesa packages of scripts/install-deps.sh";
    messages.clear();
    GLGlobals().shaderMessages = [](const char* text) { messages += text; };
  }
  void TearDown() override {
    EXPECT_EQ(gExpectedGLErrors, 0) << "an expected GL error did not come";
    GLTestBase::TearDown();
  }
  CheckedEGLBackend backend;
  static inline std::string messages;
};

}  // namespace gl_test
