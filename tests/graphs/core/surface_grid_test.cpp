// The grid surfaces' shared rules on a 3 x 3 grid, by hand: which copy each corner of a cell takes
// in the two-tone modes (so a cell shows one colour), the copies' colours, the modes that draw
// nothing, and the hue steps of modes 6 and 7 (red, then the sixth of the wheel before it).
#include <cmath>
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

// Finite-difference normals of the plane (u, v, z) sampled a few float steps of the coordinates
// apart (from u = 1000 at 1, 4 and 15 float steps, from -1e6 at 8), near the origin, and in fine
// squares far below the float step of z: every normal is (0, 0, 1) by hand ((R - P) x (P - Q),
// R along v, Q along u, both ways turned on the last row and column).
TEST(SurfaceGridTest, FiniteDifferencesGiveNormalsFarFromTheOrigin) {
  const struct Case {
    float u0, v0, step, z;
  } cases[] = {
      {1000, 0, 0x1p-14f, 0},  // one float step of 1000 (2^-14 apart there)
      {1000, 0, 0x1p-14f * 4, 0},
      {1000, 3, 0x1p-14f * 15, 0},
      {-1e6f, 1e6f, 0.0625f * 8, 0},  // 2^-4 apart there
      {0, 0, 0.25f, 0},
      {0, 0, 0.001f / 41, 1000},  // 1000's float step is 6.1e-5
      {0, 0, 1e-9f, 5},
      {0, 0, 1e-9f, -1e6f},
  };
  constexpr int32_t n = 79;
  for (const Case& c : cases) {
    std::vector<float> vertices(3 * n * n), normals(3 * n * n, 0.0f);
    std::vector<uint8_t> valid(n * n, 1);
    for (int32_t i = 0; i < n; ++i) {
      for (int32_t j = 0; j < n; ++j) {
        float* p = &vertices[3 * (i * n + j)];
        p[0] = c.u0 + float(i) * c.step;
        p[1] = c.v0 + float(j) * c.step;
        p[2] = c.z;
      }
    }
    FiniteDifferenceNormals(vertices.data(), valid.data(), n, 1, normals.data());
    int32_t wrong = 0;
    for (int32_t k = 0; k < n * n; ++k) {
      const float* m = &normals[3 * k];
      wrong += !(m[0] == 0 && m[1] == 0 && m[2] == 1.0f);
    }
    EXPECT_EQ(wrong, 0) << c.u0 << " " << c.step << " " << c.z;
  }
}

// A cap of the unit sphere, (sin v cos u, sin v sin u, cos v), v = 0.2 i, u = pi j / 2, whose pole
// row carries sin's rounding noise (sin pi = 1.2e-16): those samples count as one point, and every
// normal, the pole's too, points out (by hand, sin v times the point: a dot over 0.8 here).
TEST(SurfaceGridTest, APolesRoundingNoiseGivesNoDirection) {
  constexpr int32_t n = 5;
  std::vector<float> vertices(3 * n * n), normals(3 * n * n, 0.0f);
  const std::vector<uint8_t> valid(n * n, 1);
  const double noise = std::sin(3.141592653589793);  // 1.2246e-16
  for (int32_t i = 0; i < n; ++i) {
    for (int32_t j = 0; j < n; ++j) {
      const double v = 0.2 * i, u = 1.5707963267948966 * j, s = i == 0 ? noise * (j % 2 ? -1 : 1) : std::sin(v);
      float* p = &vertices[3 * (i * n + j)];
      p[0] = float(s * std::cos(u)), p[1] = float(s * std::sin(u)), p[2] = float(std::cos(v));
    }
  }
  FiniteDifferenceNormals(vertices.data(), valid.data(), n, 1, normals.data());
  for (int32_t k = 0; k < n * n; ++k) {
    const float *p = &vertices[3 * k], *m = &normals[3 * k];
    EXPECT_GT(double(p[0]) * m[0] + double(p[1]) * m[1] + double(p[2]) * m[2], 0.8) << k;
  }
}
