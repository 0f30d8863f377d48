// The ARB program loader on the fake backend: the messages, lazy loading, the native-limit
// checks by renderer class, error-flag hygiene, and programs disposed in their own context.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "graphics/gl/default_programs.h"
#include "graphics/gl/gl_resources.h"
#include "graphics/gl/shader_program.h"
#include "tests/graphics/gl/gl_test_support.h"

namespace {

class ShaderProgramTest : public gl_test::FakeGLTest {
 protected:
  void SetUp() override {
    FakeGLTest::SetUp();
    messages.clear();
    GLGlobals().shaderMessages = [](const char* text) { messages += text; };
    context = fake.CreateContext({GLTargetKind::kOffscreen, 8, 8, 0, false});
  }
  void TearDown() override {
    ShaderProgramDispose(&program);
    DestroyGLContextAndResources(context);
    FakeGLTest::TearDown();
  }
  static inline std::string messages;
  PlatformGLContext* context = nullptr;
  ShaderProgram program;
};

}  // namespace

// Neither a null text nor a record never loaded makes or deletes a program object.
TEST_F(ShaderProgramTest, ANullTextOrNoLoadMakesNoObject) {
  ShaderProgramInit(&program, "X", "!!ARBfp1.0\nEND\n", true);
  ShaderProgramDispose(&program);
  ShaderProgramInit(&program, "X", nullptr, true);
  ShaderProgramLoad(&program);
  EXPECT_EQ(messages, "Loading shader X\n");
  EXPECT_FALSE(ShaderProgramIsUsable(&program));
  ShaderProgramLoad(&program);
  ShaderProgramDispose(&program);
  EXPECT_TRUE(fake.generatedPrograms.empty());
  EXPECT_TRUE(fake.deletedPrograms.empty());
}

TEST_F(ShaderProgramTest, ProgramsAreMadeOnceAndCheckedNatively) {
  ShaderProgramInit(&program, "", "!!ARBfp1.0\nEND\n", true);
  ShaderProgramLoad(&program);
  ShaderProgramLoad(&program);
  EXPECT_EQ(fake.generatedPrograms.size(), 1u);
  EXPECT_TRUE(ShaderProgramIsUsable(&program));
  EXPECT_EQ(messages, "Loading shader \nShader  compiles to 12 native instructions\n");
}

TEST_F(ShaderProgramTest, ACompileErrorPrintsTheBlockAndFails) {
  ShaderProgramInit(&program, "bad", "!!ARBfp1.0\nFOO R0;\nEND\n", true);
  ShaderProgramLoad(&program);
  EXPECT_FALSE(ShaderProgramIsUsable(&program));
  EXPECT_EQ(messages,
            "Loading shader bad\nfragment program error in file bad\nerror occured in at position 11\n"
            "error string from GL follows:\nline 2: unknown instruction\nunable to compile shader bad\n");
}

// GL keeps only the first error: a stale one would hide the compile failure without the drain.
TEST_F(ShaderProgramTest, AStaleErrorDoesNotHideACompileFailure) {
  fake.pendingErrors.push_back(GL_INVALID_ENUM);
  ShaderProgramInit(&program, "bad", "FOO", true);
  ShaderProgramLoad(&program);
  EXPECT_FALSE(ShaderProgramIsUsable(&program));
}

// On an NVIDIA renderer only fragment programs are checked, before binding; elsewhere both kinds.
// The renderer class is fixed by the first load.
TEST_F(ShaderProgramTest, NativeChecksFollowTheRendererClass) {
  struct Case {
    const char* renderer;
    bool fragment;
    int queries;
  } cases[] = {{"nv40", false, 0}, {"nv40", true, 2}, {"llvmpipe", false, 2}, {"llvmpipe", true, 2}};
  for (const Case& c : cases) {
    GLGlobals().rendererClass = -1;
    fake.renderer = c.renderer;
    fake.nativeLimitQueries = 0;
    ShaderProgramDispose(&program);
    ShaderProgramInit(&program, "p", "!!ARB\nEND\n", c.fragment);
    ShaderProgramLoad(&program);
    EXPECT_EQ(fake.nativeLimitQueries, c.queries) << c.renderer << " " << c.fragment;
  }
  fake.renderer = "nv40";  // the class stays "other"
  ShaderProgramDispose(&program);
  ShaderProgramInit(&program, "p", "!!ARB\nEND\n", false);
  ShaderProgramLoad(&program);
  EXPECT_EQ(fake.nativeLimitQueries, 4);
}

TEST_F(ShaderProgramTest, ProgramsBeyondTheNativeLimitsFail) {
  fake.underNativeLimits = 0;
  ShaderProgramInit(&program, "big", "!!ARBfp1.0\nEND\n", true);
  ShaderProgramLoad(&program);
  EXPECT_FALSE(ShaderProgramIsUsable(&program));
  EXPECT_NE(messages.find("shader big will not be run natively by GPU\n"), std::string::npos);
}

// The program's name is deleted in its own context, never in whichever is current; once that
// context is gone the name is only forgotten.
TEST_F(ShaderProgramTest, ProgramsAreDisposedInTheContextTheyWereMadeIn) {
  ShaderProgramInit(&program, "p", "!!ARBvp1.0\nEND\n", false);
  ShaderProgramLoad(&program);
  PlatformGLContext* other = fake.CreateContext({GLTargetKind::kOffscreen, 8, 8, 0, false});
  ShaderProgramDispose(&program);
  ASSERT_EQ(fake.deletedPrograms.size(), 1u);
  EXPECT_EQ(fake.deletedPrograms[0].context, context->serial);
  EXPECT_EQ(fake.CurrentContext(), other) << "the caller's context comes back";

  ShaderProgramInit(&program, "p", "!!ARBvp1.0\nEND\n", false);
  fake.MakeCurrent(other);
  ShaderProgramLoad(&program);
  DestroyGLContextAndResources(other);
  EXPECT_FALSE(ShaderProgramIsUsable(&program));
  ShaderProgramLoad(&program);
  ShaderProgramDispose(&program);
  EXPECT_EQ(fake.deletedPrograms.size(), 1u);
  EXPECT_TRUE(CheckGLResources());
}

// The built-in texts keep their stored form: every line ends with a carriage return (no line
// feed anywhere), the last being "END", at their stored lengths of 1,632 and 2,132 characters.
TEST(DefaultPrograms, TextsKeepTheirStoredForm) {
  struct Case {
    const char* text;
    const char* header;
    size_t length;
  } cases[] = {{kDefaultVertexProgram, "!!ARBvp1.0\r", 1632}, {DefaultColorFragmentProgram(), "!!ARBfp1.0\r", 2132}};
  for (const Case& c : cases) {
    const std::string text(c.text);
    EXPECT_EQ(text.size(), c.length);
    EXPECT_EQ(text.rfind(c.header, 0), 0u);
    EXPECT_EQ(text.substr(text.size() - 5), "\rEND\r");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 0);
  }
}
