// Generated programs on Mesa's software renderer: every hand-worked text and a program for each
// fixed sequence compile with no error position and no GL error, and the sequences' accuracy is
// read back from a float target through a pass-through vertex program: the arctangent, the
// arcsine, theta, the arccotangent, rho and phi against the C library, hue wrapping, and the
// discard of square roots of negative numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "graphics/colour/fragment_program_builder.h"
#include "tests/graphics/colour/colour_test_support.h"

namespace {

using colour_test::kSide;
using colour_test::PlaneZ;
using colour_test::Tree;

class FragmentProgramGLTest : public colour_test::ColourGLTest {
 protected:
  void TearDown() override {
    FreeParameterList(&parameters);
    ColourGLTest::TearDown();
  }
  std::string Rgb(const std::string& red, const std::string& green, const std::string& blue) {
    Tree r(red), g(green), b(blue);
    return BuildRgbFragmentProgram(&parameters, r, g, b, nullptr);
  }
  // Loads the text as a fragment program in the current context: true when it is usable and GL
  // reports no error position.
  bool Compiles(const std::string& text) {
    ShaderProgram program;
    ShaderProgramInit(&program, "generated", text.c_str(), true);
    ShaderProgramLoad(&program);
    GLint position = 0;
    GLApi().GetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &position);
    const bool ok = ShaderProgramIsUsable(&program) && position == -1;
    ShaderProgramDispose(&program);
    return ok;
  }
  // The grid drawn with the program into a 64 x 64 float target cleared to kClear; RGBA floats,
  // rows from the bottom.
  std::vector<float> RenderFloat(const std::string& text) {
    const GLEntryPoints& gl = GLApi();
    GLint drawBinding = 0, readBinding = 0, viewport[4];
    gl.GetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawBinding);
    gl.GetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readBinding);
    gl.GetIntegerv(GL_VIEWPORT, viewport);
    GLuint framebuffer = 0, renderbuffer = 0;
    gl.GenFramebuffers(1, &framebuffer);
    gl.BindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    gl.GenRenderbuffers(1, &renderbuffer);
    gl.BindRenderbuffer(GL_RENDERBUFFER, renderbuffer);
    gl.RenderbufferStorage(GL_RENDERBUFFER, GL_RGBA32F, kSide, kSide);
    gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, renderbuffer);
    EXPECT_EQ(gl.CheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
    gl.Viewport(0, 0, kSide, kSide);
    gl.ClearColor(kClear[0], kClear[1], kClear[2], kClear[3]);
    gl.Clear(GL_COLOR_BUFFER_BIT);
    GraphColorCore color(ctx);
    color.fragmentProgram = NewShaderProgram("generated", text.c_str(), true);
    EXPECT_TRUE(DrawWithProgram(&color));
    std::vector<float> pixels(size_t(4 * kSide * kSide));
    gl.ReadPixels(0, 0, kSide, kSide, GL_RGBA, GL_FLOAT, pixels.data());
    DeleteColorPrograms(&color);
    gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(drawBinding));
    gl.BindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(readBinding));
    gl.DeleteRenderbuffers(1, &renderbuffer);
    gl.DeleteFramebuffers(1, &framebuffer);
    gl.Viewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    return pixels;
  }
  // The worst error of f against the reference over the view: red carries (f + 2) / 4, green and
  // blue the x and y the GPU used, as (x + 3) / 6 and (y + 3) / 6.
  template <typename Reference>
  double WorstError(const std::string& f, Reference reference, double scale = 4, double offset = 2) {
    const std::string red = "over[plus[" + f + ", " + std::to_string(offset) + "], " + std::to_string(scale) + "]";
    const std::string text = Rgb(red, "over[plus[x, 3], 6]", "over[plus[y, 3], 6]");
    EXPECT_FALSE(text.empty()) << f;
    const std::vector<float> p = RenderFloat(text);
    double worst = 0;
    for (size_t k = 0; k < p.size(); k += 4) {
      const double x = 6.0 * p[k + 1] - 3, y = 6.0 * p[k + 2] - 3;
      const double expected = reference(x, y, PlaneZ(x, y));
      worst = std::max(worst, std::fabs(scale * p[k] - offset - expected));
    }
    return worst;
  }

  static constexpr float kClear[4] = {0.25f, 0.5f, 0.75f, 1.0f};
  ParameterList parameters{};
};

}  // namespace

TEST_F(FragmentProgramGLTest, EveryGoldenAndEverySequenceCompilesWithoutAnError) {
  BeginGridFrame();
  std::vector<std::pair<std::string, std::string>> programs = {
      {"rgb", Rgb("x", "y", "z")},
      {"atan", Rgb("atan[x]", "acot[y]", "asin[times[z, 0.5]]")},
      {"angles", Rgb("theta", "phi", "rho")},
      {"powers", Rgb("power[x, 3]", "power[y, num[-2,\"-2\"]]", "power[z, 2.5]")},
      {"roots", Rgb("power[x, over[1, 3]]", "power[x, y]", "power[y, minus[over[2, 5]]]")},
      {"logs", Rgb("ln[x]", "log[y]", "sqrt[z]")},
      {"steps", Rgb("sgn[x]", "mod[y, 0.7]", "floor[z]")},
      {"reductions", Rgb("min[x, y, z]", "max[x, y]", "abs[plus[x, minus[y]]]")},
      {"comparisons", Rgb("lessthan[x, y, z]", "greaterthan[x, 0]", "wedge[lessthan[x, 1], greaterthan[y, 0]]")},
      {"exp and parameters", Rgb("exp[times[a, x]]", "over[sin[times[b, y]], c]", "cos[plus[z, d, f, g, h]]")},
  };
  Tree h("x"), s("y"), v("z"), condition("lessthan[x, 0.5]");
  programs.push_back({"hsv", BuildHsvFragmentProgram(&parameters, h, s, v, nullptr, false)});
  programs.push_back({"hsv float", BuildHsvFragmentProgram(&parameters, h, s, v, nullptr, true)});
  programs.push_back({"condition", BuildRgbFragmentProgram(&parameters, nullptr, nullptr, nullptr, condition)});
  for (const auto& [name, text] : programs) {
    ASSERT_FALSE(text.empty()) << name;
    EXPECT_TRUE(Compiles(text)) << name << "\n" << text << messages;
  }
  End();
}

TEST_F(FragmentProgramGLTest, TheSequencesMatchTheCLibraryOnTheView) {
  BeginGridFrame();
  EXPECT_LT(WorstError("atan[x]", [](double x, double, double) { return std::atan(x); }), 1e-4);
  EXPECT_LT(WorstError("asin[over[x, 3]]", [](double x, double, double) { return std::asin(x / 3); }), 2e-4);
  EXPECT_LT(WorstError("acot[x]", [](double x, double, double) { return x > 0 ? std::atan(1 / x) : M_PI + std::atan(1 / x); },
                       4, 0),
            1e-4);
  // theta in [0, 2 pi) as the CPU's slot, scaled into the channel.
  EXPECT_LT(WorstError("theta",
                       [](double x, double y, double) {
                         const double t = std::atan2(y, x);
                         return t < 0 ? t + 2 * M_PI : t;
                       },
                       8, 0),
            1e-4);
  EXPECT_LT(WorstError("rho", [](double x, double y, double z) { return std::sqrt(x * x + y * y + z * z); }, 8, 0),
            1e-4);
  EXPECT_LT(WorstError("phi", [](double x, double y, double z) { return std::atan2(std::hypot(x, y), z); }, 4, 0),
            1e-4);
  // The real cube root of a negative base, as the CPU's rational power takes it.
  EXPECT_LT(WorstError("power[x, over[1, 3]]", [](double x, double, double) { return std::cbrt(x); }), 1e-4);
  // A zero base (the left half) gives 0 for a positive exponent, constant or not.
  EXPECT_LT(WorstError("power[over[max[x, 0], 3], 2.5]",
                       [](double x, double, double) { return std::pow(std::max(x, 0.0) / 3, 2.5); }),
            1e-4);
  EXPECT_LT(WorstError("power[over[max[x, 0], 3], plus[2, over[y, 6]]]",
                       [](double x, double y, double) { return std::pow(std::max(x, 0.0) / 3, 2 + y / 6); }),
            1e-4);
  End();
}

TEST_F(FragmentProgramGLTest, AHueWrapsAndASquareRootOfANegativeNumberIsDiscarded) {
  BeginGridFrame();
  // The builder takes the hue in degrees: 1.25 and 0.25 turns.
  Tree h("times[360, plus[x, 1.25]]"), hWrapped("times[360, plus[x, 0.25]]"), s("1"), v("1");
  const std::vector<float> a = RenderFloat(BuildHsvFragmentProgram(&parameters, h, s, v, nullptr, false));
  const std::vector<float> b = RenderFloat(BuildHsvFragmentProgram(&parameters, hWrapped, s, v, nullptr, false));
  double worst = 0;
  for (size_t k = 0; k < a.size(); ++k) worst = std::max(worst, double(std::fabs(a[k] - b[k])));
  EXPECT_LT(worst, 1e-4);

  const std::vector<float> root = RenderFloat(Rgb("over[sqrt[x], 2]", "1", "1"));
  int kept = 0, discarded = 0;
  for (int32_t row = 0; row < kSide; ++row) {
    for (int32_t i = 0; i < kSide; ++i) {
      const float* p = &root[size_t(4 * (row * kSide + i))];
      const double x = colour_test::PixelX(i);
      if (x < 0) {
        discarded += p[0] == kClear[0] && p[1] == kClear[1] && p[2] == kClear[2];
      } else {
        kept += std::fabs(2 * p[0] - std::sqrt(x)) < 1e-4 && p[1] == 1.0f;
      }
    }
  }
  EXPECT_EQ(discarded, kSide * kSide / 2);
  EXPECT_EQ(kept, kSide * kSide / 2);
  End();
}
