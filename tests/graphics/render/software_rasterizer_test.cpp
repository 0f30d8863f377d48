// The software rasteriser on a hand-made target (a view offset inside a larger buffer, so a
// write outside the view shows): pixel sets worked out by hand for lines, fill rules, clipping
// and snapping; depth ties; fragment order; mip level choice and texture clamping; colour
// interpolation against the plane equation; and a fragment store that cannot grow.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <utility>
#include <vector>

#include "graphics/gl/graphics_context.h"
#include "graphics/render/software_rasterizer.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/memory/memory_budget.h"
#include "tests/graphics/graphics_test_support.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;  // (x, y) of the view

// A w x h view at (2, 1) of a buffer two pixels larger each way, every pixel 0, depth 2.
struct Target {
  GraphicsContext ctx;
  int stride;
  std::vector<uint32_t> pixels;
  std::vector<double> depth;
  std::vector<int32_t> heads;
  Target(int w, int h, bool fragments = false) : stride(w + 4), pixels(size_t(w + 4) * (h + 2), 0) {
    ctx.rect = MakeRect(2, 1, 2 + w, 1 + h);
    ctx.width = w, ctx.height = h, ctx.pixelCount = w * h;
    ctx.targetBase = pixels.data();
    ctx.targetRowBytes = 4 * stride;
    ctx.targetBytes = int32_t(4 * pixels.size());
    if (fragments) ctx.fragmentHeads = (heads.assign(size_t(w) * h, -1), heads.data());
    else ctx.depthBuffer = (depth.assign(size_t(w) * h, 2.0), depth.data());
  }
  ~Target() { ClearFragmentStore(&ctx); }
  uint32_t At(int x, int y) const { return pixels[size_t(y + 1) * stride + x + 2]; }
  Pixels Drawn() const {  // pixels of the whole buffer, in view coordinates
    Pixels s;
    for (size_t i = 0; i < pixels.size(); ++i)
      if (pixels[i] != 0) s.insert({int(i % stride) - 2, int(i / stride) - 1});
    return s;
  }
  int ListLength(int x, int y) const {
    int n = 0;
    for (int32_t i = heads[y * ctx.width + x]; i >= 0; i = FragmentAt(&ctx, i)->next) ++n;
    return n;
  }
};

RasterVertex V(float x, float y, float z = 0.5f, float r = 1, float g = 1, float b = 1, float s = 0, float t = 0) {
  return RasterVertex{x, y, z, r, g, b, 1.0f, s, t};
}

}  // namespace

TEST(SoftwareRasterizer, LinesDrawTheirMajorLengthEndPixelExcluded) {
  const float w = 10;
  struct Case {
    RasterVertex a, b;
    Pixels expected;
  } cases[] = {
      {V(2, 3), V(5, 3), {{2, 3}, {3, 3}, {4, 3}}},
      {V(5, 3), V(2, 3), {{5, 3}, {4, 3}, {3, 3}}},  // one row: the given order is kept
      {V(3, 5), V(3, 2), {{3, 2}, {3, 3}, {3, 4}}},  // ordered top first
      {V(2.2f, 3), V(2.4f, 3.3f), {}},              // both ends snap to one pixel
      {V(0, 0), V(4, 2), {{0, 0}, {1, 1}, {2, 1}, {3, 2}}},  // error term from floor(-4 / 2)
      {V(0, 4), V(w - 1, 4), {{0, 4}, {1, 4}, {2, 4}, {3, 4}, {4, 4}, {5, 4}, {6, 4}, {7, 4}, {8, 4}}},  // to w - 1.5
      {V(-5, 4), V(-1, 4), {}},                     // wholly outside
      {V(NAN, 4), V(3, 4), {}},
  };
  for (const Case& c : cases) {
    Target t(10, 8);
    EXPECT_TRUE(RasterizeLine(c.a, c.b, &t.ctx));
    EXPECT_EQ(t.Drawn(), c.expected) << c.a.x << "," << c.a.y << " -> " << c.b.x << "," << c.b.y;
  }
}

// Pixels drawn are floor(x_left) .. floor(x_right) - 1 in each row between the top and bottom
// vertex rows: a column shared by two triangles belongs to the right one only.
TEST(SoftwareRasterizer, SharedEdgesAreWrittenOnceAndClippingKeepsToTheView) {
  Target t(12, 8, true);
  ASSERT_TRUE(RasterizeTriangle(V(0, 0, 0.5f, 1, 0, 0), V(4, 0, 0.5f, 1, 0, 0), V(4, 6, 0.5f, 1, 0, 0), &t.ctx));
  ASSERT_TRUE(RasterizeTriangle(V(4, 0, 0.5f, 0, 1, 0), V(10, 0, 0.5f, 0, 1, 0), V(4, 6, 0.5f, 0, 1, 0), &t.ctx));
  EXPECT_TRUE(CheckFragmentStore(&t.ctx));
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 12; ++x) EXPECT_LE(t.ListLength(x, y), 1);
    ASSERT_EQ(t.ListLength(4, y), 1) << y;
    EXPECT_EQ(FragmentAt(&t.ctx, t.heads[y * 12 + 4])->pixel, 0xFF00FF00u) << "column 4 is the right triangle's";
  }
  // A vertex at width - 0.2 is clipped back to width - 0.5, which snaps to column width.
  Target u(12, 8);
  ASSERT_TRUE(RasterizeTriangle(V(0, 0), V(11.8f, 0), V(0, 8), &u.ctx));
  int last = -1;
  for (auto [x, y] : u.Drawn()) last = std::max(last, x);
  EXPECT_EQ(last, 11);
  for (auto [x, y] : u.Drawn()) EXPECT_TRUE(x >= 0 && x < 12 && y >= 0 && y < 8);
  // Far outside, huge or not finite: nothing (and no undefined conversion); partly inside: clipped.
  Target v(12, 8);
  EXPECT_TRUE(RasterizeTriangle(V(-1e30f, -5), V(-1e29f, -5), V(-2e30f, 20), &v.ctx));
  EXPECT_TRUE(RasterizeTriangle(V(INFINITY, 0), V(5, 5), V(0, 5), &v.ctx));
  EXPECT_TRUE(v.Drawn().empty());
  EXPECT_TRUE(RasterizeTriangle(V(-1e30f, -1e30f), V(1e30f, -1e30f), V(0, 1e30f), &v.ctx));
  EXPECT_EQ(v.Drawn().size(), 96u) << "the whole view, nothing outside";
}

TEST(SoftwareRasterizer, EqualDepthKeepsTheFirstPixelButPutsTheNewerFragmentFirst) {
  Target direct(6, 6), fragments(6, 6, true);
  for (Target* t : {&direct, &fragments}) {
    ASSERT_TRUE(RasterizeTriangle(V(0, 0, 0.5f, 1, 0, 0), V(6, 0, 0.5f, 1, 0, 0), V(0, 6, 0.5f, 1, 0, 0), &t->ctx));
    ASSERT_TRUE(RasterizeTriangle(V(0, 0, 0.5f, 0, 0, 1), V(6, 0, 0.5f, 0, 0, 1), V(0, 6, 0.5f, 0, 0, 1), &t->ctx));
  }
  EXPECT_EQ(direct.At(1, 1), 0xFFFF0000u);
  EXPECT_EQ(FragmentAt(&fragments.ctx, fragments.heads[1 * 6 + 1])->pixel, 0xFF0000FFu);
  EXPECT_EQ(fragments.ListLength(1, 1), 2);
  // A nearer triangle wins in direct mode; a farther fragment heads its list (farthest first).
  ASSERT_TRUE(RasterizeTriangle(V(0, 0, 0.25f, 0, 1, 0), V(6, 0, 0.25f, 0, 1, 0), V(0, 6, 0.25f, 0, 1, 0), &direct.ctx));
  ASSERT_TRUE(RasterizeTriangle(V(0, 0, 0.75f, 0, 1, 0), V(6, 0, 0.75f, 0, 1, 0), V(0, 6, 0.75f, 0, 1, 0), &fragments.ctx));
  EXPECT_EQ(direct.At(1, 1), 0xFF00FF00u);
  EXPECT_EQ(FragmentAt(&fragments.ctx, fragments.heads[1 * 6 + 1])->depth, 0.75);
  EXPECT_TRUE(CheckFragmentStore(&fragments.ctx));
}

// Red, green and blue corners at (0, 0), (30, 0), (0, 30): at pixel (10, 10) the plane
// equation gives 255 * (1/3, 1/3, 1/3) = 85 each (hand-computed); the rasteriser is within 1.
TEST(SoftwareRasterizer, ColoursFollowThePlaneEquation) {
  Target t(32, 32);
  ASSERT_TRUE(RasterizeTriangle(V(0, 0, 0.5f, 1, 0, 0), V(30, 0, 0.5f, 0, 1, 0), V(0, 30, 0.5f, 0, 0, 1), &t.ctx));
  const uint32_t p = t.At(10, 10);
  for (int shift : {16, 8, 0}) EXPECT_NEAR(int(p >> shift & 0xFF), 85, 1) << shift;
}

// Every level a solid colour (level L: 0xFF000000 | L) except level 9's first and last columns.
TEST(SoftwareRasterizer, TexturesPickTheirLevelFromTheAreaRatioAndClampCoordinates) {
  std::vector<uint32_t> texels(349525);
  const uint32_t* levels[10];
  for (int L = 0, at = 0; L < 10; at += 1 << (2 * L), ++L) {
    levels[L] = texels.data() + at;
    for (int i = 0; i < (1 << (2 * L)); ++i) {
      const int u = i & ((1 << L) - 1);
      texels[at + i] = L < 9 ? 0xFF000000u | L : u == 0 ? 0xFFFF0000u : u == 511 ? 0xFF0000FFu : 0xFF00FF00u;
    }
  }
  const float a = std::sqrt(64.0f / 65.0f);
  struct Case {
    float s0, s1, t1;  // texture coordinates (s0, 0), (s1, 0), (s0, t1) at pixels (0, 0), (8, 0), (0, 8)
    uint32_t pixel;
  } cases[] = {
      {0, 1, 1, 0xFF000003u},      // |D / tcp| = 64 / 1 = 4^3: level 3
      {0, a, a, 0xFF000004u},      // 65: level 4
      {-0.5f, -0.5f, 1, 0xFFFF0000u},  // tcp = 0: level 9, s clamped to the first column
      {1.5f, 1.5f, 1, 0xFF0000FFu},    // ... and to the last
  };
  for (const Case& c : cases) {
    Target t(10, 10);
    ASSERT_TRUE(RasterizeTexturedTriangle(levels, V(0, 0, 0.5f, 1, 1, 1, c.s0, 0), V(8, 0, 0.5f, 1, 1, 1, c.s1, 0),
                                          V(0, 8, 0.5f, 1, 1, 1, c.s0, c.t1), &t.ctx));
    EXPECT_EQ(t.At(1, 1), c.pixel) << c.s0 << " " << c.s1;
  }
}

// 300 x 260 pixels need a second chunk. Refusing the longer table or the chunk itself fails the
// primitive with error 17, leaves the count at the first chunk's end and the first triangle's
// fragments listed, and leaks nothing.
TEST(SoftwareRasterizer, AFragmentStoreThatCannotGrowFailsCleanly) {
  graphics_test::FailureGuard guard;
  for (uint64_t refused : {1u, 2u}) {
    ResetErrorRegister();
    Target t(300, 260, true);
    ASSERT_TRUE(RasterizeTriangle(V(0, 0, 0.2f), V(4, 0, 0.2f), V(0, 4, 0.2f), &t.ctx));
    const size_t before = GetBytesInUse();
    FailAllocationAt(refused);
    EXPECT_FALSE(RasterizeTriangle(V(0, 0), V(600, 0), V(0, 600), &t.ctx));
    FailAllocationAt(0);
    EXPECT_EQ(PendingError(), kErrorTransparencyMemory);
    EXPECT_EQ(t.ctx.lastFragment, kFragmentsPerChunk - 1);
    EXPECT_EQ(GetBytesInUse(), before) << refused;
    EXPECT_TRUE(CheckFragmentStore(&t.ctx));
    EXPECT_EQ(FragmentAt(&t.ctx, t.heads[0])->depth, 0.5) << "the newer, farther fragment heads the list";
    EXPECT_EQ(t.ListLength(0, 0), 2);
  }
}
