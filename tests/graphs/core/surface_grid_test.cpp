// The grid surfaces' shared rules on a 3 x 3 grid, by hand: which copy each corner of a cell takes
// in the two-tone modes (so a cell shows one colour), the copies' colours, the modes that draw
// nothing, and the hue steps of modes 6 and 7 (red, then the sixth of the wheel before it).
#include <vector>

#include "graphs/core/surface_grid.h"
#include "graphics/colour/graph_color_core.h"
#include "tests/graphs/graphs_test_support.h"

namespace {

TEST(SurfaceGridTest, TwoToneCellsTakeOneCopyAtEveryCornerOrSplitByRowOrColumn) {
  const uint8_t valid[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
  struct Case {
    uint32_t mode;
    int32_t copies;
    std::vector<uint32_t> firstCells;  // cells (0, 0) and (0, 1): (a, d, b), (a, c, d) each
  } cases[] = {
      {kColorFixed, 1, {0, 4, 1, 0, 3, 4, 1, 5, 2, 1, 4, 5}},
      {kColorChecks, 2, {0, 8, 2, 0, 6, 8, 3, 11, 5, 3, 9, 11}},          // copy (i xor j) and 1
      {kColorStripesAcross, 2, {0, 8, 2, 0, 6, 8, 2, 10, 4, 2, 8, 10}},   // copy i and 1
      {kColorStripesAlong, 2, {0, 8, 2, 0, 6, 8, 3, 11, 5, 3, 9, 11}},    // copy j and 1
      {kColorHueStepsDown, 2, {1, 8, 3, 1, 6, 8, 3, 10, 5, 3, 8, 10}},    // B at a and b
      {kColorHueStepsAcross, 2, {1, 8, 2, 1, 7, 8, 3, 10, 4, 3, 9, 10}},  // B at a and c
      {kColorHueRampDown, 1, {0, 4, 1, 0, 3, 4, 1, 5, 2, 1, 4, 5}},
  };
  for (const Case& c : cases) {
    std::vector<uint32_t> triangles(3 * 8, 0);
    ASSERT_EQ(BuildSurfaceTriangles(valid, 3, c.mode, triangles.data()), 8u) << c.mode;
    EXPECT_EQ(std::vector<uint32_t>(triangles.begin(), triangles.begin() + 12), c.firstCells) << c.mode;
    EXPECT_EQ(SurfaceVertexCopies(c.mode), c.copies) << c.mode;
  }
  for (uint32_t mode : {uint32_t(kColorGPUProgram), uint32_t(kColorNoFill)}) {
    EXPECT_EQ(BuildSurfaceTriangles(valid, 3, mode, nullptr), 0u) << mode;
  }
}

TEST(SurfaceGridTest, TwoToneColoursAndHueSteps) {
  const struct {
    uint32_t mode;
    int32_t i, j;
    float rgb[6];  // copy A, copy B
  } cases[] = {
      {kColorChecks, 1, 2, {0.3f, 0.3f, 0.3f, 1, 1, 1}},
      {kColorHueStepsDown, 0, 2, {1, 0, 1, 1, 0, 0}},    // row 0: hue 5/6 (magenta), hue 0 (red)
      {kColorHueStepsAcross, 2, 2, {1, 1, 0, 0, 1, 0}},  // column 2: hue 1/6 (yellow), 2/6 (green)
  };
  for (const auto& c : cases) {
    float out[6] = {};
    SurfacePatternColors(c.mode, c.i, c.j, 3, out);
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(out[k], c.rgb[k], 1e-6) << c.mode << " " << k;
  }
  float tex[2];
  SurfaceTexCoord(2, 0, 3, tex);
  EXPECT_TRUE(tex[0] == 1 && tex[1] == 1);
  EXPECT_TRUE(SurfaceModeHasColors(kColorChecks) && !SurfaceModeHasColors(kColorTexture) &&
              SurfaceModeHasTexCoords(kColorTexture));
}

}  // namespace
