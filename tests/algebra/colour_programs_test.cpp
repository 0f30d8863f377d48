// The colour programs with the algebra's seams installed, as the application runs them: the
// complex lowering simplified by the algebra (with powers left as written, the switch restored
// afterwards), the gallery of colour functions drawing on Mesa what the CPU path draws, and the
// lowered programs shorter than without the simplifier.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "algebra/algebra_seams.h"
#include "algebra/simplifier.h"
#include "graphics/colour/colour_shader_front_end.h"
#include "tests/graphics/colour/colour_gallery.h"

namespace {

class SimplifiedColourProgramsTest : public colour_test::ColourGLTest {
 protected:
  void SetUp() override {
    ColourGLTest::SetUp();
    ResetAlgebraSwitches();
    InstallAlgebraSeams();
    colour_test::InstallGalleryParameters();
  }
  void TearDown() override {
    const AlgebraSwitches defaults{};
    EXPECT_EQ(std::memcmp(&Switches(), &defaults, sizeof defaults), 0) << "a switch was left changed";
    ColourGLTest::TearDown();
  }
};

int Instructions(const std::string& text) {
  int n = 0;
  for (size_t at = text.find(";\n"); at != std::string::npos; at = text.find(";\n", at + 1)) ++n;
  return n;
}

}  // namespace

TEST_F(SimplifiedColourProgramsTest, TheGalleryDrawsWhatTheCpuPathDraws) {
  ASSERT_NE(ColorProgramGlobals().simplify, nullptr);
  for (const colour_test::ColourGalleryCase& c : colour_test::kColourGallery) {
    SCOPED_TRACE(c.name);
    ExpectGpuMatchesCpu(c);
  }
}

// The same complex colour with and without the simplifier: the simplified program is shorter.
TEST_F(SimplifiedColourProgramsTest, TheSimplifierShortensLoweredPrograms) {
  CompiledFunction* f[3] = {colour_test::FunctionOf("real[power[plus[x, times[i, y]], 3]]"),
                            colour_test::FunctionOf("imag[times[plus[x, i], plus[y, times[2, i]]]]"),
                            colour_test::FunctionOf("abs[exp[times[i, x]]]")};
  ParameterList parameters{};
  const std::string simplified = BuildColorFragmentProgram(f[0], f[1], f[2], nullptr, false, &parameters, false);
  ColorProgramGlobals().simplify = nullptr;
  const std::string plain = BuildColorFragmentProgram(f[0], f[1], f[2], nullptr, false, &parameters, false);
  ASSERT_FALSE(simplified.empty());
  ASSERT_FALSE(plain.empty());
  EXPECT_LT(Instructions(simplified), Instructions(plain));
  FreeParameterList(&parameters);
  for (CompiledFunction* g : f) colour_test::DeleteFunction(g);
}
