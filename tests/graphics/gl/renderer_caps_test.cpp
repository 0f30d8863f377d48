// Renderer capability tests: whole-word extension search, renderer names, the buffer-object
// decision with its Radeon 9800 inversion, the shader test by kind and switch, and the start-up
// switches read from a preferences file, with the OpenGL detection before them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "graphics/gl/renderer_caps.h"
#include "kernel/diagnostics/message_alert.h"
#include "platform/preferences.h"
#include "tests/graphics/gl/gl_test_support.h"

using gl_test::FakeGLTest;

TEST(RendererCaps, ExtensionsMatchWholeWordsOnly) {
  const char* list = "GL_ARB_vertex_program GL_ARB_vertex_buffer_object";
  struct Case {
    const char* list;
    const char* name;
    bool found;
  } cases[] = {
      {list, "GL_ARB_vertex", false},          // a prefix of listed names
      {list, "GL_ARB_vertex_program", true},
      {list, "GL_ARB_vertex_buffer_object", true},  // the last word
      {list, "", false},
      {list, "GL_ARB vertex", false},          // contains a blank
      {list, "ARB_vertex_program", false},     // a tail of a listed name
      {"GL_EXT_foo_bar GL_EXT_foo", "GL_EXT_foo", true},  // found after skipping a prefix hit
      {nullptr, "GL_EXT_foo", false},
  };
  for (const Case& c : cases) EXPECT_EQ(ExtensionListHas(c.list, c.name), c.found) << c.name;
}

TEST(RendererCaps, RendererNamesAreTestedAtTheirStart) {
  struct Case {
    const char* renderer;
    bool nvidia, ati, r200, r9800, geforce4mx;
  } cases[] = {
      {"nV40", true, false, false, false, false},
      {"Nv", true, false, false, false, false},
      {"NVidia GeForce4 MX 440", true, false, false, false, true},
      {"GeForce 6800", false, false, false, false, false},
      {"Mesa ATI", false, false, false, false, false},  // ATI only after the start
      {"ATI Radeon 9200 OpenGL Engine", false, true, true, false, false},
      {"ATI Radeon 9800 XT", false, true, false, true, false},
      {"llvmpipe (LLVM 15.0.6, 256 bits)", false, false, false, false, false},
      {nullptr, false, false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.renderer != nullptr ? c.renderer : "(null)");
    EXPECT_EQ(IsNVidiaRenderer(c.renderer), c.nvidia);
    EXPECT_EQ(IsATIRenderer(c.renderer), c.ati);
    EXPECT_EQ(IsRadeonR200Renderer(c.renderer), c.r200);
    EXPECT_EQ(IsRadeon9800Renderer(c.renderer), c.r9800);
    EXPECT_EQ(IsGeForce4MXRenderer(c.renderer), c.geforce4mx);
  }
}

// The option byte works inverted on the Radeon 9800 unless buffer objects are forced.
TEST_F(FakeGLTest, BufferObjectDecisionFollowsOptionSwitchesAndRenderer) {
  const char* vbo = "GL_ARB_vertex_buffer_object";
  struct Case {
    const char* extensions;
    const char* renderer;
    uint8_t option;
    bool force, disable, expected;
  } cases[] = {
      {vbo, "ATI Radeon 9800 XT", 1, false, false, false},
      {vbo, "ATI Radeon 9800 XT", 0, false, false, true},
      {vbo, "ATI Radeon 9800 XT", 1, true, false, true},
      {vbo, "llvmpipe", 1, false, false, true},
      {vbo, "llvmpipe", 0, false, false, false},
      {vbo, "llvmpipe", 1, true, true, false},  // disabling wins
      {"GL_ARB_vertex_program", "llvmpipe", 1, true, false, false},
  };
  for (const Case& c : cases) {
    GLGlobals().BufferObjectOptionByte = c.option;
    GLGlobals().switches.forceBufferObjects = c.force;
    GLGlobals().switches.noBufferObjects = c.disable;
    EXPECT_EQ(ShouldUseBufferObjects(c.extensions, c.renderer), c.expected) << c.renderer << " " << int(c.option);
  }
}

// The shader test answers for GL kinds only, with all four extensions listed and fragment
// programs not switched off.
TEST_F(FakeGLTest, ShaderExtensionsNeedAGLKindAllFourNamesAndNoSwitch) {
  fake.extensions = "GL_ARB_vertex_program GL_ARB_fragment_program GL_ARB_fragment_shader GL_ARB_shader_objects";
  PlatformGLContext* context = fake.CreateContext({GLTargetKind::kWindow, 8, 8, 0, false});
  struct Case {
    int32_t kind;
    bool switchedOff;
    const char* missing;  // a name taken out of the list, or null
    bool expected;
  } cases[] = {{kContextGLWindow, false, nullptr, true},           {kContextGLOffscreen, false, nullptr, true},
               {kContextQuickDraw, false, nullptr, false},         {kContextNone, false, nullptr, false},
               {kContextGLWindow, true, nullptr, false},           {kContextGLWindow, false, "GL_ARB_shader_objects", false},
               {kContextGLWindow, false, "GL_ARB_fragment_shader", false}};
  const std::string all = fake.extensions;
  for (const Case& c : cases) {
    GraphicsContext ctx;
    ctx.kind = c.kind;
    GLGlobals().switches.noFragmentPrograms = c.switchedOff;
    fake.extensions = all;
    if (c.missing != nullptr) fake.extensions.erase(fake.extensions.find(c.missing), std::strlen(c.missing));
    EXPECT_EQ(HasShaderExtensions(&ctx), c.expected) << c.kind << " " << c.switchedOff << " " << (c.missing ? c.missing : "");
  }
  fake.DestroyContext(context);
}

// Start-up: OpenGL is detected first (its absence shown once, as the no-OpenGL message), then the
// switches are read, so use_software_renderer turns a detected OpenGL off again; a missing
// preferences file leaves OpenGL as detected.
TEST_F(FakeGLTest, StartUpDetectsOpenGLThenReadsTheSwitches) {
  const std::string path = testing::TempDir() + "/startup_prefs_" + std::to_string(::getpid());
  struct Case {
    bool available;
    const char* preferences;  // null: no file
    bool openGL, alert, forced;
  } cases[] = {{true, nullptr, true, false, false},
               {true, "use_software_renderer=1\n", false, false, false},
               {true, "use_software_renderer=0\nenable_vertex_buffer_objects=1\n", true, false, true},
               {false, nullptr, false, true, false},
               {false, "enable_vertex_buffer_objects=1\n", false, true, true}};
  for (const Case& c : cases) {
    std::remove(path.c_str());
    if (c.preferences != nullptr) {
      FILE* f = std::fopen(path.c_str(), "wb");
      std::fputs(c.preferences, f);
      std::fclose(f);
    }
    SetPreferencesFile(path.c_str());
    ResetMessageAlertForTests();
    GLGlobals().OpenGLAvailable = 0;
    GLGlobals().switches = RendererSwitches();
    fake.available = c.available;
    EXPECT_EQ(InitGLPlatform(), c.openGL) << (c.preferences ? c.preferences : "no file");
    EXPECT_EQ(GLGlobals().OpenGLAvailable, c.openGL ? 1 : 0);
    ASSERT_EQ(CapturedAlerts().size(), c.alert ? 1u : 0u);
    if (c.alert) {
      EXPECT_NE(CapturedAlerts()[0].text.find("OpenGL"), std::string::npos);
    }
    EXPECT_EQ(GLGlobals().switches.forceBufferObjects, c.forced) << "the switches are read whatever was detected";
  }
  ResetMessageAlertForTests();
  ResetPreferencesForTest();
  std::remove(path.c_str());
}

// Only the integer 1 counts; the fragment-program keys are read in order; a damaged line is
// skipped; the software-renderer switch turns OpenGL off.
TEST_F(FakeGLTest, SwitchesComeFromThePreferencesInOrder) {
  const std::string path = testing::TempDir() + "/renderer_prefs_" + std::to_string(::getpid());
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fputs("disable_vertex_buffer_objects = 0\nenable_vertex_buffer_objects=2\n"
             "disable_fragment_programs=1\nenable_fragment_programs=1\nr200_fsaa_linewidth_bug_is_fixed=1\n"
             "geforce_fsaa_linewidth_bug_is_fixed=one\ndisable_gl_multisample_works=1\nuse_software_renderer=1\n", f);
  std::fclose(f);
  SetPreferencesFile(path.c_str());
  ReadRendererSwitches();
  const RendererSwitches& s = GLGlobals().switches;
  EXPECT_FALSE(s.noBufferObjects || s.forceBufferObjects || s.noFragmentPrograms || s.geforceLineFixPresent);
  EXPECT_TRUE(s.r200LineFixPresent && s.multisampleSwitchOffWorks);
  EXPECT_EQ(GLGlobals().OpenGLAvailable, 0);
  ResetPreferencesForTest();
  std::remove(path.c_str());
}
