// Frame set-up: texture sizes and the software mipmap, the GL projection read back through
// glGetDoublev, the software camera and depth mapping (values worked out by hand), the fragment
// resolve, and the three backgrounds in all three kinds against golden images, including the
// property the pixel hit test relies on: no point of a pattern background counts as a hit.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "graphics/gl/gl_textures.h"
#include "graphics/gl/mesh_drawing.h"
#include "graphics/render/software_camera.h"
#include "graphics/render/software_rasterizer.h"
#include "kernel/memory/memory_budget.h"
#include "platform/draw/picture.h"
#include "tests/graphics/gl/frame_test_support.h"

namespace {

using frame_test::FrameTest;
using gl_test::gDocument;
using gl_test::RealGLTest;

constexpr double kFovyDivisor = 1.7330909743;

}  // namespace

TEST_F(RealGLTest, TextureSidesArePowersOfTwoFromFourTo512) {
  for (auto [n, p] : {std::pair{0, 4}, {3, 4}, {5, 8}, {512, 512}, {513, 512}, {700, 512}}) EXPECT_EQ(NextPowerOfTwo(n), p);
  GraphicsContext* ctx = NewGLContextRecord();
  ASSERT_EQ(PrepareGraphicsContext(ctx, MakeRect(0, 0, 16, 16), nullptr), kContextGLWindow);
  std::vector<uint32_t> pixels(3 * 700, 0xFF336699u);
  PicHandle picture = NewPicture(pixels.data(), 3, 700);
  const TextureRef texture = TextureFromPicture(picture, ctx);
  GLint w = 0, h = 0;
  GLApi().GetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
  GLApi().GetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
  EXPECT_EQ(w, 4);
  EXPECT_EQ(h, 512);
  EXPECT_TRUE(IsTextureUsable(texture, ctx));
  DeleteGLTexture(texture, kContextGLWindow, ctx->windowContext, ctx);
  EXPECT_FALSE(IsTextureUsable(texture, ctx));
  KillPicture(picture);
  DetachGLContext(ctx);
  DeleteGLContextRecord(ctx);
}

// Names restart in every context: a texture of a context that was rebuilt must never be taken
// for the new context's texture of the same name, even when the caller's record of the old
// context compares equal to the new one (a record freed and made again at the same address).
TEST_F(RealGLTest, ATextureOfAnEarlierContextNeverNamesOneOfALaterContext) {
  std::vector<uint32_t> pixels(8 * 8, 0xFF336699u);
  PicHandle picture = NewPicture(pixels.data(), 8, 8);
  gDocument.buffer = NewGWorld32(MakeRect(0, 0, 64, 64));
  GraphicsContext* ctx = NewGLContextRecord();
  SetRequestedContextKind(ctx, kContextGLOffscreen);
  ASSERT_EQ(PrepareGraphicsContext(ctx, MakeRect(0, 0, 16, 16), nullptr), kContextGLOffscreen);
  const TextureRef old = TextureFromPicture(picture, ctx);
  ASSERT_TRUE(IsTextureUsable(old, ctx));
  ASSERT_EQ(PrepareGraphicsContext(ctx, MakeRect(0, 0, 32, 16), nullptr), kContextGLOffscreen);  // rebuilt
  const TextureRef fresh = TextureFromPicture(picture, ctx);
  EXPECT_EQ(uint32_t(fresh), uint32_t(old)) << "the same name in the new context";
  EXPECT_NE(fresh, old);
  EXPECT_FALSE(IsTextureUsable(old, ctx));
  DeleteGLTexture(old, kContextGLOffscreen, GLContextHandle(ctx), ctx);
  EXPECT_TRUE(IsTextureUsable(fresh, ctx)) << "the old texture's deletion took the new one";
  BindGLTexture(old, ctx);
  GLint bound = -1;
  GLApi().GetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(bound, 0) << "an old texture binds none";
  BindGLTexture(fresh, ctx);
  GLApi().GetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(uint32_t(bound), uint32_t(fresh));
  GLApi().Disable(GL_TEXTURE_2D);
  DeleteGLTexture(fresh, kContextGLOffscreen, GLContextHandle(ctx), ctx);
  EXPECT_FALSE(IsTextureUsable(fresh, ctx));
  KillPicture(picture);
  DetachGLContext(ctx);
  DeleteGLContextRecord(ctx);
}

// P[5] = 1 / tan(fovy / 2); near and far from P[10] = (f + n)/(n - f), P[14] = 2fn/(n - f).
TEST_F(RealGLTest, TheProjectionFollowsAspectZoomAndRadius) {
  struct Case {
    int32_t w, h;
    double radius, fovy, nearPlane, farPlane;
  } cases[] = {
      {300, 200, 2.0, 10 / kFovyDivisor, 48, 52},
      {200, 300, 2.0, 15 / kFovyDivisor, 48, 52},
      {300, 200, 60.0, 10 / kFovyDivisor, 1, 110},
  };
  for (const Case& c : cases) {
    ViewFrame frame{{1, 0, 0, 0, 1, 0, 0, 0, 1}, -2, 2, -2, 2, -2, 2, 1.0, c.radius};
    GraphicsContext* ctx = NewGLContextRecord();
    ASSERT_EQ(PrepareGraphicsContext(ctx, MakeRect(0, 0, c.w, c.h), &frame), kContextGLWindow);
    ASSERT_EQ(BeginGLFrame(ctx, 0), kGraphicsDone);
    double p[16];
    GLApi().GetDoublev(GL_PROJECTION_MATRIX, p);
    EXPECT_NEAR(p[5], 1 / std::tan(c.fovy / 2 * M_PI / 180), 1e-6 * p[5]) << c.w << "x" << c.h;
    EXPECT_NEAR(p[14] / (p[10] - 1), c.nearPlane, 1e-5 * c.farPlane) << "GL keeps the matrix in floats";
    EXPECT_NEAR(p[14] / (p[10] + 1), c.farPlane, 1e-5 * c.farPlane);
    DetachGLContext(ctx);
    DeleteGLContextRecord(ctx);
  }
}

// M = identity, zoom 1, 200 x 200: s = 200 * 0.5 * 0.3972 * 50 = 1986; near and far 50 -+ 2.3,
// so depth 50 maps to 0.5; the cube point (0, 1, 0) lands 1986 / 50 = 39.72 right of centre.
// A radius of 60 gives near 1 and far 100 (the software far plane stops at 100, not 200).
TEST(SoftwareCamera, VectorsAndDepthMappingMatchTheHandValues) {
  ViewFrame frame{{1, 0, 0, 0, 1, 0, 0, 0, 1}, -2, 2, -2, 2, -2, 2, 1.0, 2.3};
  GraphicsContext ctx;
  ctx.viewFrame = &frame;
  ctx.width = ctx.height = 200;
  SetSoftwareCamera(&ctx);
  const double expected[4][3] = {{0, 1986, 0}, {0, 0, 1986}, {-1, 0, 0}, {50, 0, 0}};
  const double* actual[4] = {ctx.right, ctx.up, ctx.forward, ctx.eye};
  for (int v = 0; v < 4; ++v)
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(actual[v][i], expected[v][i], 1e-9) << v << " " << i;
  const double q[3] = {0, 1, 0};
  double p[3];
  ProjectCubePoint(&ctx, q, p);
  EXPECT_NEAR(p[0], 139.72, 1e-12);
  EXPECT_NEAR(p[1], 100, 1e-12);
  EXPECT_NEAR(p[2], 0.5, 1e-12);
  frame.radius = 60;
  SetSoftwareCamera(&ctx);
  EXPECT_DOUBLE_EQ(ctx.depthScale, 1.0 / 99);
  EXPECT_DOUBLE_EQ(ctx.depthOffset, -1.0 / 99);
}

// Over white (FF, FF, FF, FF), far (128, 255, 0, 0) then near (128, 0, 0, 255) give, by hand,
// a = 255, r = 255 then 127, g = 127 then 16129 / 255 = 63, b = 127 then 48769 / 255 = 191.
TEST_F(FrameTest, FragmentsResolveFarthestFirstOverTheBackground) {
  gDocument.transparent = true;
  ASSERT_EQ(Begin(kContextQuickDraw), kContextQuickDraw);
  for (int32_t i = 0; i < ctx->pixelCount; ++i) ASSERT_EQ(ctx->fragmentHeads[i], -1);
  ASSERT_TRUE(InsertFragment(ctx, 0, 0.2, 0x800000FFu));
  ASSERT_TRUE(InsertFragment(ctx, 0, 0.8, 0x80FF0000u));
  End();
  EXPECT_EQ(*PixelAddress(gDocument.buffer, kLeft, kTop), 0xFF7F3FBFu);
  EXPECT_EQ(*PixelAddress(gDocument.buffer, kLeft + 1, kTop), 0xFFFFFFFFu);
}

// A solid background fills the view with 0xFF rrggbb and every depth with 2.0, and leaves the
// buffer outside the view alone.
TEST_F(FrameTest, ASolidSoftwareBackgroundFillsTheViewAndResetsDepth) {
  gDocument.background = {kBackgroundSolid, 0x123456};
  ASSERT_EQ(Begin(kContextQuickDraw), kContextQuickDraw);
  for (uint32_t p : Pixels()) ASSERT_EQ(p, 0xFF123456u);
  for (int32_t i = 0; i < ctx->pixelCount; ++i) ASSERT_EQ(ctx->depthBuffer[i], 2.0);
  EXPECT_EQ(*PixelAddress(gDocument.buffer, kLeft - 1, kTop), 0x00FFFFFFu);
  EXPECT_EQ(*PixelAddress(gDocument.buffer, kLeft, kTop + kSide), 0x00FFFFFFu);
}

// Level 9 is the picture bottom row first; coarser levels average 2 x 2 bytes (the bottom-left
// block's blue bytes 10, 11, 12, 13 give 46 >> 2 = 11). Pictures lay their pixels by their own
// alpha over an erased buffer (alpha 0): one opaque pixel leaves the others' alpha as drawn, a
// wholly transparent picture becomes opaque.
TEST(SoftwareTexture, LevelsAreUprightAverageAndOpaqueWhenDrawnWithoutAlpha) {
  graphics_test::FailureGuard guard;
  std::vector<uint32_t> pixels(512 * 512, 0xFF808080u);
  for (int x = 0; x < 512; ++x) pixels[x] = 0xFFFF0000u;
  pixels[511 * 512] = 0xFF00000Au, pixels[511 * 512 + 1] = 0xFF00000Bu, pixels[510 * 512] = 0xFF00000Cu,
  pixels[510 * 512 + 1] = 0xFF00000Du;
  struct Case {
    uint32_t background;  // every pixel but the top row and the block
    uint32_t level9Texel0, middleAlpha;  // the alpha of a level-9 texel of the background
  } cases[] = {{0xFF808080u, 0xFF00000Au, 0xFF}, {0x00808080u, 0xFF00000Au, 0}, {0, 0, 0xFF}};
  for (const Case& c : cases) {
    for (int i = 512; i < 510 * 512; ++i) pixels[i] = c.background;
    if (c.level9Texel0 == 0) std::fill(pixels.begin(), pixels.end(), 0u);
    PicHandle picture = NewPicture(pixels.data(), 512, 512);
    uint32_t** levels = SoftwareTextureFromPicture(picture);
    ASSERT_NE(levels, nullptr);
    if (c.level9Texel0 != 0) {
      EXPECT_EQ(levels[9][511 * 512 + 7], 0xFFFF0000u) << "the picture's top row is level 9's last row";
      EXPECT_EQ(levels[8][0] & 0xFF, 11u);
    }
    EXPECT_EQ(levels[9][0], c.level9Texel0 != 0 ? c.level9Texel0 : 0xFFFFFFFFu);
    EXPECT_EQ(levels[9][100 * 512 + 100] >> 24, c.middleAlpha) << std::hex << c.background;
    DeleteGLTexture(reinterpret_cast<TextureRef>(levels), kContextQuickDraw, nullptr, nullptr);
    const size_t before = GetBytesInUse();
    FailAllocationAt(1);
    EXPECT_EQ(SoftwareTextureFromPicture(picture), nullptr);
    FailAllocationAt(0);
    EXPECT_EQ(GetBytesInUse(), before);
    KillPicture(picture);
  }
}

// Software goldens exact, GL goldens (shared by both GL kinds) within 2 a channel on 0.5 % of
// pixels; on pattern backgrounds no point of the view is a hit (software and GL window).
TEST_F(FrameTest, BackgroundsMatchTheirGoldensInEveryKind) {
  const char* names[3] = {"solid", "room", "tiled"};
  for (uint8_t type : {kBackgroundSolid, kBackgroundRoomCorner, kBackgroundTiled}) {
    for (int32_t kind : {kContextQuickDraw, kContextGLWindow, kContextGLOffscreen}) {
      gDocument.background = {type, 0x3366CC};
      DetachGLContext(ctx);
      ASSERT_EQ(Begin(kind), kind);
      End();
      const bool software = kind == kContextQuickDraw;
      frame_test::ExpectMatchesGolden(std::string("background-") + names[type] + (software ? "-software" : "-gl"),
                                      Pixels(), kSide, software ? 0 : 2, software ? 0.0 : 0.005);
      if (type == kBackgroundSolid || kind == kContextGLOffscreen) continue;
      GWorldSave save;
      SaveAndSetGWorld(&save, gDocument.buffer);
      for (int32_t v = kTop; v < kTop + kSide; v += 3)
        for (int32_t h = kLeft; h < kLeft + kSide; h += 3)
          ASSERT_FALSE(HitTestPixelsNearPoint(MakePoint(h, v), nullptr, View(), ctx)) << h << "," << v << " " << kind;
      RestoreGWorld(&save);
    }
  }
}
