// GraphColor as the colour programs see it: its GPU-side fields are the graphics layer's colour
// record, a clone of a colour drawn by its program takes the expressions' own mode (the clone has
// no program), the mode queries answer for exactly their modes, and the destructor releases
// programs and parameter functions (the fixture counts every byte).
#include "graphics/colour/colour_shader_programs.h"
#include "graphics/gl/shader_program.h"
#include "graphs/core/graph_color.h"
#include "kernel/eval/compiled_function.h"
#include "tests/graphs/graphs_test_support.h"

namespace {

class GraphColorProgramsTest : public graphs_test::GraphsTest {};

}  // namespace

TEST_F(GraphColorProgramsTest, ACloneOfAColourOnItsProgramTakesTheExpressionMode) {
  auto* source = new GraphColor(nullptr);
  source->mode = kColorGPUProgram;
  source->savedMode = kColorHSVExpressions;
  const char* texts[3] = {"x", "1", "1"};
  for (int k = 0; k < 3; ++k) source->component[k] = graphs_test::FunctionOf(texts[k]);
  source->fragmentProgram = NewShaderProgram("", "!!ARBfp1.0\nEND\n", true);
  source->vertexProgram = NewShaderProgram("", "!!ARBvp1.0\nEND\n", false);
  source->parameters = new FunctionArray();
  ASSERT_TRUE(GrowArrayAppend(*source->parameters, graphs_test::FunctionOf("a")));
  GraphColor* clone = CloneGraphColor(source);
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(clone->mode, kColorHSVExpressions);
  EXPECT_EQ(clone->fragmentProgram, nullptr);
  EXPECT_EQ(clone->parameters, nullptr);
  EXPECT_TRUE(ColorUsesVariable(clone, 'x'));
  delete source;
  delete clone;
}

TEST_F(GraphColorProgramsTest, TheModeQueriesAnswerForExactlyTheirModes) {
  GraphColor color(nullptr);
  for (uint32_t mode = 0; mode <= 13; ++mode) {
    color.mode = mode;
    const bool shaded = mode == 1 || mode == 2 || mode == 3 || mode == 6 || mode == 7;
    const bool graded = mode == 4 || mode == 5 || mode == 9 || mode == 10;
    EXPECT_EQ(IsGraphColorModeShaded(&color), shaded) << mode;
    EXPECT_EQ(IsGraphColorModeGraded(&color), graded) << mode;
  }
}
