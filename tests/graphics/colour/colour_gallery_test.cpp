// GPU against CPU: a gallery of colour functions (RGB and HSV, with parameters, theta, rho, phi,
// powers and odd roots, logarithms, the rewritten functions, steps, conditions, and complex
// intermediates reduced to their real part), each drawn over the whole view once with the
// generated program and once with the CPU colour path. At most 0.5 % of the pixels may differ by
// more than 2 in a channel; on failure both images are written under golden-failures/. The
// functions only the CPU can evaluate get no program and stay on the CPU path.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "graphics/gl/pixel_readback.h"
#include "kernel/trees/node_builders.h"
#include "tests/graphics/colour/colour_gallery.h"

namespace {

using colour_test::ColourGalleryCase;
using colour_test::FunctionOf;

class ColourGalleryTest : public colour_test::ColourGLTest {
 protected:
  void SetUp() override {
    ColourGLTest::SetUp();
    colour_test::InstallGalleryParameters();
  }
};

}  // namespace

TEST_F(ColourGalleryTest, TheGpuProgramsDrawWhatTheCpuPathDraws) {
  for (const ColourGalleryCase& c : colour_test::kColourGallery) {
    SCOPED_TRACE(c.name);
    ExpectGpuMatchesCpu(c);
  }
}

// Expressions in the surface parameters, the coordinates w, r and x', user functions and the other
// CPU-only kinds, in a component or in the condition: no program, the colour stays in its
// expression mode with its components compiled for the CPU, and no parameter is kept.
TEST_F(ColourGalleryTest, FunctionsOnlyTheCpuCanEvaluateStayOnTheCpuPath) {
  BeginGridFrame();
  const struct {
    const char* first;
    const char* condition;
  } cases[] = {
      {"times[t, x]", ""},      {"plus[u, v]", ""},          {"plus[w, x]", ""},        {"r", ""},
      {"'x", ""},               {"function[f, x]", ""},      {"fact[plus[x, 4]]", ""},  {"sum[x, equal[k, 1], 3]", ""},
      {"if[x, lessthan[x, 1]]", ""}, {"besselj[1, x]", ""},  {"branch[x, y]", ""},      {"lparen[x]", ""},
      {"x", "lessthan[t, 1]"},  {"x", "lessthan[function[f, x], 1]"},
  };
  for (const auto& c : cases) {
    for (uint32_t mode : {kColorRGBExpressions, kColorHSVExpressions}) {
      GraphColorCore color(ctx);
      color.mode = mode;
      const bool primed = c.first[0] == '\'';
      color.component[0] = FunctionOf(primed ? "x" : c.first);
      if (primed) RenameFunctionSymbol(color.component[0], 'x', kPrimeOffset + 'x');
      color.component[1] = FunctionOf("a");
      color.component[2] = FunctionOf("z");
      CompiledFunction* condition = FunctionOf(c.condition);
      PrepareColorShaderPrograms(&color, condition, 0, ctx);
      EXPECT_EQ(color.mode, mode) << c.first << " " << c.condition;
      EXPECT_EQ(color.fragmentProgram, nullptr) << c.first;
      EXPECT_EQ(color.vertexProgram, nullptr);
      EXPECT_EQ(color.parameters, nullptr);
      for (CompiledFunction* f : color.component) EXPECT_NE(f->code, nullptr) << c.first;
      colour_test::ReleaseColour(&color);
      colour_test::DeleteFunction(condition);
    }
  }
  End();
}

// Without the dynamic-buffer flag an HSV program writes hue, saturation and the lit value, and
// the overlay pass turns them into RGB: the same picture as the CPU path, up to the hue's 8-bit
// step in the overlay's texture (at most 3 in a channel).
TEST_F(ColourGalleryTest, AnHsvProgramForTheOverlayDrawsTheCpuColoursThroughIt) {
  const ColourGalleryCase c = {"hsv-overlay", {"plus[over[theta, times[2, pi]], times[a, 0.1]]", "plus[0.5, over[y, 6]]", "0.8"}, true, ""};
  GraphColorCore color(ctx);
  BeginGridFrame(1);
  ASSERT_EQ(ctx->rendererIsNVidia, 0);
  color.mode = kColorHSVExpressions;
  for (int k = 0; k < 3; ++k) color.component[k] = FunctionOf(c.component[k]);
  PrepareColorShaderPrograms(&color, nullptr, 0, ctx);
  ASSERT_EQ(color.mode, kColorGPUProgram);
  ASSERT_NE(std::string(color.fragmentProgram->text).find("FRC      result.color.x"), std::string::npos);
  ASSERT_TRUE(DrawWithProgram(&color));
  DrawTransparentOverlayGL(ctx);
  End();
  const std::vector<uint32_t> gpu = Pixels();
  colour_test::ReleaseColour(&color);
  const std::string texts[3] = {c.component[0], c.component[1], c.component[2]};
  const std::vector<uint32_t> cpu = RenderCpu(texts, true, "");
  EXPECT_LE(colour_test::CountDifferences(gpu, cpu, 3), colour_test::kSide * colour_test::kSide / 200);
}
