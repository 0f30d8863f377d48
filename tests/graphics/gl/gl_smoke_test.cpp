// Real contexts on the machine's Mesa (software renderer, no window system): the renderer is
// reported, the needed extensions are there, both built-in programs load, and a quad drawn at
// the top-left of a view reads back at the top-left of its target in both GL kinds. Every test
// fails on any GL error that KHR_debug reports and it did not expect. The CI's GL stage runs
// these (RealGLTest.Mesa*) on their own, so its log shows what they print.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "graphics/gl/default_programs.h"
#include "graphics/gl/renderer_caps.h"
#include "graphics/gl/shader_program.h"
#include "tests/graphics/gl/gl_test_support.h"

namespace {

using gl_test::gDocument;
using gl_test::RealGLTest;

// Clears the view blue and fills its top-left quarter red, with no lighting or depth test.
void DrawTopLeftQuad() {
  const GLEntryPoints& gl = GLApi();
  gl.Disable(GL_LIGHTING);
  gl.Disable(GL_DEPTH_TEST);
  gl.ClearColor(0.0f, 0.0f, 1.0f, 1.0f);
  gl.Clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  gl.MatrixMode(GL_PROJECTION);
  gl.LoadIdentity();
  gl.MatrixMode(GL_MODELVIEW);
  gl.LoadIdentity();
  gl.Color4f(1.0f, 0.0f, 0.0f, 1.0f);
  gl.Begin(GL_QUADS);
  gl.Vertex2f(-1.0f, 0.0f);
  gl.Vertex2f(0.0f, 0.0f);
  gl.Vertex2f(0.0f, 1.0f);
  gl.Vertex2f(-1.0f, 1.0f);
  gl.End();
}

}  // namespace

TEST_F(RealGLTest, MesaMakesACompatibilityContextWithTheNeededExtensions) {
  GraphicsContext* ctx = NewGLContextRecord();
  ASSERT_EQ(PrepareGraphicsContext(ctx, MakeRect(0, 0, 64, 48), nullptr), kContextGLWindow);
  const GLEntryPoints& gl = GLApi();
  GLint profile = 0;
  gl.GetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
  std::printf("GL renderer: %s\nGL version: %s\nGL profile: %s (EGL platform %s)\n", CurrentRendererString(),
              reinterpret_cast<const char*>(gl.GetString(GL_VERSION)),
              (profile & GL_CONTEXT_COMPATIBILITY_PROFILE_BIT) != 0 ? "compatibility" : "core",
              gl_test::CheckedEGLBackend::real().PlatformName());
  EXPECT_NE(profile & GL_CONTEXT_COMPATIBILITY_PROFILE_BIT, 0);
  for (const char* name : {"GL_ARB_vertex_program", "GL_ARB_fragment_program", "GL_ARB_vertex_buffer_object"}) {
    EXPECT_TRUE(HasGLExtension(name)) << name;
  }
  EXPECT_EQ(ctx->rendererIsNVidia, 0);
  EXPECT_EQ(ctx->useBufferObjects, 1);
  EXPECT_TRUE(HasShaderExtensions(ctx));
  EXPECT_EQ(gl.GetError(), static_cast<GLenum>(GL_NO_ERROR)) << "the build left an error for the first frame";
  DetachGLContext(ctx);
  DeleteGLContextRecord(ctx);
}

// Both built-in programs load as usable, each reporting "Shader  compiles to N native
// instructions" (empty name) with N > 0; a broken one prints Mesa's error position and fails.
TEST_F(RealGLTest, MesaLoadsBothDefaultProgramsAndABrokenOneReportsItsError) {
  GraphicsContext* ctx = NewGLContextRecord();
  ASSERT_EQ(PrepareGraphicsContext(ctx, MakeRect(0, 0, 16, 16), nullptr), kContextGLWindow);
  ShaderProgram vertex, fragment, broken;
  ShaderProgramInit(&vertex, "", kDefaultVertexProgram, false);
  ShaderProgramInit(&fragment, "", DefaultColorFragmentProgram(), true);
  ShaderProgramInit(&broken, "broken", "!!ARBfp1.0\nFOO R0;\nEND\n", true);
  ShaderProgramLoad(&fragment);
  ShaderProgramLoad(&vertex);
  EXPECT_TRUE(ShaderProgramIsUsable(&vertex) && ShaderProgramIsUsable(&fragment)) << messages;
  int reports = 0;
  for (size_t at = 0; (at = messages.find("Shader  compiles to ", at)) != std::string::npos; ++reports) {
    at += 20;
    EXPECT_GT(std::atoi(messages.c_str() + at), 0) << messages;
  }
  EXPECT_EQ(reports, 2) << messages;
  std::printf("Built-in programs, the fragment program first:\n%s", messages.c_str());
  gl_test::ExpectGLErrors(1);
  ShaderProgramLoad(&broken);
  EXPECT_FALSE(ShaderProgramIsUsable(&broken));
  size_t at = messages.find("error occured in at position ");
  ASSERT_NE(at, std::string::npos) << messages;
  EXPECT_GE(std::atoi(messages.c_str() + at + 29), 0);
  EXPECT_NE(messages.find("unable to compile shader broken\n"), std::string::npos) << messages;
  for (ShaderProgram* p : {&vertex, &fragment, &broken}) ShaderProgramDispose(p);
  DetachGLContext(ctx);
  DeleteGLContextRecord(ctx);
}

// The window kind is drawn multisampled (the document is antialiased) and resolved; both kinds
// land rows flipped at the view rectangle, and a resized window context draws at its new size.
TEST_F(RealGLTest, MesaDrawsAQuadThatReadsBackAtTheTopLeftInBothKinds) {
  const uint32_t kRed = 0xFFFF0000u, kBlue = 0xFF0000FFu, kUntouched = 0x00FFFFFFu;
  gDocument.antialiased = true;
  gDocument.buffer = NewGWorld32(MakeRect(0, 0, 200, 150));
  gDocument.windowPixels = NewGWorld32(MakeRect(0, 0, 200, 150));
  struct Case {
    int32_t kind;
    QDRect view;
  } cases[] = {{kContextGLOffscreen, MakeRect(30, 20, 130, 100)},
               {kContextGLWindow, MakeRect(30, 20, 130, 100)},
               {kContextGLWindow, MakeRect(10, 5, 190, 145)}};  // resized: same context
  GraphicsContext* ctx = NewGLContextRecord();
  PlatformGLContext* firstWindow = nullptr;
  for (const Case& c : cases) {
    SetRequestedContextKind(ctx, c.kind);
    ASSERT_EQ(PrepareGraphicsContext(ctx, c.view, nullptr), c.kind);
    if (c.kind == kContextGLWindow && firstWindow == nullptr) firstWindow = GLContextHandle(ctx);
    EXPECT_EQ(GLContextHandle(ctx)->samples, c.kind == kContextGLWindow ? 4 : 0);
    DrawTopLeftQuad();
    ASSERT_EQ(PresentGLFrame(ctx), kGraphicsDone);
    EXPECT_EQ(FinishGLContext(ctx), 0);
    GWorldPtr target = c.kind == kContextGLWindow ? gDocument.windowPixels : gDocument.buffer;
    auto at = [&](int h, int v) { return *PixelAddress(target, h, v); };
    const int l = c.view.left, t = c.view.top, r = c.view.right - 1, b = c.view.bottom - 1;
    SCOPED_TRACE(c.kind);
    EXPECT_EQ(at(l, t), kRed);
    EXPECT_EQ(at(l + (r - l) / 2 - 1, t + (b - t) / 2 - 1), kRed);
    EXPECT_EQ(at(r, t), kBlue);
    EXPECT_EQ(at(l, b), kBlue);
    EXPECT_EQ(at(r, b), kBlue);
    EXPECT_EQ(at(l - 1, t), kUntouched) << "written left of the view";
    EXPECT_EQ(at(l, t - 1), kUntouched) << "written above the view";
    std::printf("%s kind, %dx%d, %d samples: top-left 0x%08X, bottom-right 0x%08X\n",
                c.kind == kContextGLWindow ? "window" : "offscreen", r - l + 1, b - t + 1, GLContextHandle(ctx)->samples,
                at(l, t), at(r, b));
  }
  EXPECT_EQ(GLContextHandle(ctx), firstWindow);
  DetachGLContext(ctx);
  DeleteGLContextRecord(ctx);
}
