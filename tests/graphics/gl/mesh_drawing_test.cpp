// Mesh drawing in all three kinds: the software lighting against hand values and against GL
// (the two sign conventions must cancel: no black surfaces), a lit sphere against goldens,
// transparency composited in depth order, fog and the clip plane touching only their pixels,
// read-back orientation, the curve material, the two-pass frame, and the pixel hit test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "graphics/gl/default_programs.h"
#include "graphics/gl/gl_material.h"
#include "graphics/gl/shader_program.h"
#include "tests/graphics/gl/frame_test_support.h"

namespace {

using frame_test::SphereMesh;
using gl_test::gDocument;

constexpr ViewFrame kFront = {{1, 0, 0, 0, 1, 0, 0, 0, 1}, -2, 2, -2, 2, -2, 2, 1.0, 3.4641016151377544};

class MeshDrawingTest : public frame_test::FrameTest {
 protected:
  // A frame of `kind` over a black background, M = identity unless the view was turned.
  void BeginBlack(int32_t kind, uint8_t twoPass = 0) {
    gDocument.background = {kBackgroundSolid, 0x000000};
    DetachGLContext(ctx);
    ASSERT_EQ(Begin(kind, twoPass), kind);
  }
  // An unlit quad in normalised device coordinates (GL kinds), both matrices identity.
  void DrawUnlitQuad(float x0, float y0, float x1, float y1, float r, float g, float b) {
    const GLEntryPoints& gl = GLApi();
    gl.Disable(GL_LIGHTING);
    gl.MatrixMode(GL_PROJECTION);
    gl.LoadIdentity();
    gl.MatrixMode(GL_MODELVIEW);
    gl.LoadIdentity();
    gl.Color4f(r, g, b, 1);
    gl.Begin(GL_QUADS);
    for (auto [x, y] : {std::pair{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}) gl.Vertex2f(x, y);
    gl.End();
    gl.Enable(GL_LIGHTING);
  }
  SphereMesh sphere{24, 32};
};

}  // namespace

// A normal at right angles to the software light (-1, 1, -1)/√3: intensity exactly 0.2, so
// pure red draws 255 * 0.2 = 51 (hand-computed); a corner in front of the near plane skips its triangle.
TEST_F(MeshDrawingTest, SoftwareLightingMatchesHandValuesAndSkipsTheNearPlane) {
  frame = kFront;
  const float vertices[] = {0, -1, -1, 0, 1, -1, 0, 0, 1, 49, 0, 0};
  const float normals[] = {1, 1, 0, 1, 1, 0, 1, 1, 0, 1, 1, 0};
  const uint32_t triangles[] = {0, 1, 2, 0, 1, 3};  // the second reaches past the near plane
  std::vector<uint32_t> images[2];
  for (uint32_t count : {1u, 2u}) {
    BeginBlack(kContextQuickDraw);
    SetGLMaterialColor(0xFF0000, ctx);
    SetGLVertexArray(vertices, 4, ctx);
    SetGLNormalArray(normals, ctx);
    DrawGLTriangleElements(triangles, count, ctx);
    End();
    images[count - 1] = Pixels();
  }
  EXPECT_EQ(images[0], images[1]);
  const int red = int(std::count(images[0].begin(), images[0].end(), 0xFF330000u));
  EXPECT_GT(red, 200);
  EXPECT_EQ(red + std::count(images[0].begin(), images[0].end(), 0xFF000000u), kSide * kSide);
}

// A closed mesh seen from outside and from inside (the eye within the sphere): every pixel of
// the surface is at least the ambient 0.2 of white, 51.
TEST_F(MeshDrawingTest, NoSurfaceIsBlackFromEitherSide) {
  for (double half : {1.25, 0.03}) {
    for (int i = 0; i < 6; ++i) frame.box[i] = i % 2 == 0 ? -half : half;
    frame.radius = half < 1 ? 60 : frame.radius;
    BeginBlack(kContextQuickDraw);
    DrawSphere(sphere);
    End();
    int covered = 0;
    for (uint32_t p : Pixels()) {
      if ((p & 0xFFFFFF) == 0) continue;
      ++covered;
      for (int shift : {16, 8, 0}) ASSERT_GE(int(p >> shift & 0xFF), 51) << std::hex << p;
    }
    EXPECT_EQ(covered == kSide * kSide, half < 1) << "from inside the sphere fills the view";
  }
}

// The lit sphere in every kind against goldens; GL and software differ in their lighting
// models, so their mean difference is bounded: agreed at 6 a channel (measured 0.4 to 1.7); a
// sign error in either light shows as black or inverted shading, far above it.
TEST_F(MeshDrawingTest, ALitSphereMatchesItsGoldensAndAgreesAcrossKinds) {
  std::vector<uint32_t> images[3];
  const int32_t kinds[3] = {kContextQuickDraw, kContextGLWindow, kContextGLOffscreen};
  for (int k = 0; k < 3; ++k) {
    BeginBlack(kinds[k]);
    SetGLMaterialColor(0x40C0FF, ctx);
    DrawSphere(sphere);
    End();
    images[k] = Pixels();
    const bool software = k == 0;
    frame_test::ExpectMatchesGolden(software ? "sphere-software" : "sphere-gl", images[k], kSide, software ? 0 : 2,
                                    software ? 0.0 : 0.005);
  }
  for (int shift : {16, 8, 0}) {
    double sum = 0;
    for (size_t i = 0; i < images[0].size(); ++i) sum += std::abs(int(images[0][i] >> shift & 0xFF) - int(images[1][i] >> shift & 0xFF));
    EXPECT_LT(sum / double(images[0].size()), 6.0) << "channel at bit " << shift;
  }
}

// Fragment mode: a half-transparent red sphere in front of an opaque blue one composites the
// same whichever is drawn first: red at alpha 127 over the blue.
TEST_F(MeshDrawingTest, TransparencyCompositesInDepthOrderWhateverTheDrawingOrder) {
  gDocument.transparent = true;
  // The red sphere between the eye, at M (50, 0, 0), and the blue one, clear of it.
  SphereMesh front(12, 16, 0.4f), back(12, 16, 1.0f);
  for (size_t i = 0; i < front.vertices.size(); i += 3) {
    front.vertices[i] += 1.45f * float(frame.orientation[0]);
    front.vertices[i + 2] += 1.45f * float(frame.orientation[6]);
  }
  std::vector<uint32_t> results[2];
  for (int order = 0; order < 2; ++order) {
    BeginBlack(kContextQuickDraw);
    for (int i = 0; i < 2; ++i) {
      const bool red = (i == order);
      SetGLMaterialColor(red ? 0xFF0000 : 0x0000FF, ctx);
      SetQDOpacity(red ? 0.5f : 1.0f, ctx);
      DrawSphere(red ? front : back);
    }
    End();
    results[order] = Pixels();
  }
  EXPECT_EQ(results[0], results[1]);
  const uint32_t centre = At(kSide / 2, kSide / 2);
  EXPECT_GT(centre >> 16 & 0xFF, 0u);
  EXPECT_GT(centre & 0xFF, 0u) << "the blue sphere shows through the red one";
}

// M = identity looks down -x with +y to the right. The clip plane y >= 0 leaves the right half
// as it was and the left half background; fog greys a GL line towards its back end only, and
// the software kind draws lines opaque, unfogged and in their exact colour.
TEST_F(MeshDrawingTest, FogAndTheClipPlaneChangeOnlyTheirPixels) {
  frame = kFront;
  std::vector<uint32_t> plain, clipped;
  for (bool clip : {false, true}) {
    BeginBlack(kContextGLWindow);
    if (clip) SetGLClipPlane(0, 1, 0, 0, ctx);
    DrawSphere(sphere);
    DisableGLClipPlane(ctx);
    End();
    (clip ? clipped : plain) = Pixels();
  }
  for (int32_t y = 0; y < kSide; ++y) {
    for (int32_t x = 0; x < kSide; ++x) {
      const size_t i = size_t(y) * kSide + x;
      if (x >= kSide / 2 - 1 && x <= kSide / 2) continue;  // the plane's own columns
      EXPECT_EQ(clipped[i] & 0xFFFFFF, x < kSide / 2 ? 0u : plain[i] & 0xFFFFFF) << x << "," << y;
    }
  }
  const float line[] = {2, -1, 0, -2, 1, 0};  // from the front (depth 48) to the back (52): row 32
  const uint16_t pair[] = {0, 1};
  for (int32_t kind : {kContextGLWindow, kContextQuickDraw}) {
    BeginBlack(kind);
    SetQDOpacity(0.25f, ctx);
    SetGLCurveMaterialColor(0xFF0000, ctx);
    SetGLVertexArray(line, 2, ctx);
    DrawGLLineElements(pair, 1, ctx);
    End();
    std::vector<uint32_t> row;
    for (int32_t x = 0; x < kSide; ++x) {
      const uint32_t p = *PixelAddress(gDocument.buffer, kLeft + x, kTop + kSide / 2);
      if ((p & 0xFFFFFF) != 0) row.push_back(p);
    }
    ASSERT_GT(row.size(), 4u);
    if (kind == kContextQuickDraw) {
      EXPECT_EQ(std::count(row.begin(), row.end(), 0xFFFF0000u), long(row.size())) << "opaque, unfogged";
    } else {
      EXPECT_NEAR(int(row.front() >> 16 & 0xFF), 0xFF, 8) << "the front end is not fogged";
      EXPECT_NEAR(int(row.back() >> 8 & 0xFF), 0x80, 16) << "the back end is grey";
    }
  }
  // The fog is the lines' own: a sphere drawn after a line is the sphere drawn alone, except on
  // the line's row.
  BeginBlack(kContextGLWindow);
  SetGLVertexArray(line, 2, ctx);
  DrawGLLineElements(pair, 1, ctx);
  SetGLMaterialColor(0xFFFFFF, ctx);
  DrawSphere(sphere);
  End();
  const std::vector<uint32_t> afterLine = Pixels();
  for (int32_t y = 0; y < kSide; ++y) {
    if (y >= kSide / 2 - 1 && y <= kSide / 2 + 1) continue;
    for (int32_t x = 0; x < kSide; ++x) ASSERT_EQ(afterLine[size_t(y) * kSide + x], plain[size_t(y) * kSide + x]) << x << "," << y;
  }
}

// Red drawn into the top half reads back into the top half of the view's rows, in both GL kinds.
TEST_F(MeshDrawingTest, ReadBackKeepsTheTopRowsOnTop) {
  for (int32_t kind : {kContextGLWindow, kContextGLOffscreen}) {
    BeginBlack(kind);
    DrawUnlitQuad(-1, 0, 1, 1, 1, 0, 0);
    End();
    for (int32_t y = 0; y < kSide; ++y) EXPECT_EQ(At(5, y), y < kSide / 2 ? 0xFF0000u : 0u) << y << " " << kind;
    EXPECT_EQ(ReadGLPixel(ctx, kLeft, kTop), 0xFF0000u);
    EXPECT_EQ(ReadGLPixel(ctx, kLeft, kTop + kSide - 1), 0u);
  }
}

// The same upright quad (model z from 0.5 to 2, up in the picture) lands in the same top rows of
// the document's buffer in every kind: the camera's s = 64 * 0.5 * 0.3972 * 50 = 635.52 puts
// z = 2 at row 32 - 635.52 * 2 / 50 = 6.6 and z = 0.5 at row 25.6 (hand-computed).
TEST_F(MeshDrawingTest, AnUprightQuadLandsInTheTopRowsInEveryKind) {
  frame = kFront;
  const float vertices[] = {0, -1.5f, 0.5f, 0, 1.5f, 0.5f, 0, 1.5f, 2, 0, -1.5f, 2};
  const float normals[] = {1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0};
  const uint32_t triangles[] = {0, 1, 2, 0, 2, 3};
  for (int32_t kind : {kContextQuickDraw, kContextGLWindow, kContextGLOffscreen}) {
    BeginBlack(kind);
    SetGLMaterialColor(0xFFFFFF, ctx);
    SetGLVertexArray(vertices, 4, ctx);
    SetGLNormalArray(normals, ctx);
    DrawGLTriangleElements(triangles, 2, ctx);
    DisableNormalArray(ctx);
    End();
    SCOPED_TRACE(kind);
    for (int32_t y : {8, 16, 24}) EXPECT_NE(At(kSide / 2, y), 0u) << y;
    for (int32_t y : {4, 28, 40, 60}) EXPECT_EQ(At(kSide / 2, y), 0u) << y;
    if (kind != kContextQuickDraw) {
      EXPECT_NE(ReadGLPixel(ctx, kLeft + kSide / 2, kTop + 16), 0u);
      EXPECT_EQ(ReadGLPixel(ctx, kLeft + kSide / 2, kTop + 40), 0u);
    }
  }
}

// Ambient c / 0.2 under the 0.2 light-model ambient, no diffuse or specular: exactly c.
TEST_F(MeshDrawingTest, TheCurveMaterialShowsItsColourWhateverTheNormals) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> unit(-1, 1);
  for (float& n : sphere.normals) n = unit(random);
  BeginBlack(kContextGLOffscreen);
  SetGLCurveMaterialColor(0x3399CC, ctx);
  DrawSphere(sphere);
  End();
  for (uint32_t p : Pixels()) {
    if ((p & 0xFFFFFF) == 0) continue;
    for (auto [shift, c] : {std::pair{16, 0x33}, {8, 0x99}, {0, 0xCC}}) ASSERT_NEAR(int(p >> shift & 0xFF), c, 1);
  }
}

// The first pass writes hue 0, saturation 1, value 1; the overlay turns it red over the
// document's colour, in the offscreen kind too.
TEST_F(MeshDrawingTest, TheTwoPassFrameShowsColourOverTheBackground) {
  for (int32_t kind : {kContextGLWindow, kContextGLOffscreen}) {
    gDocument.background = {kBackgroundSolid, 0x336699};
    DetachGLContext(ctx);
    ASSERT_EQ(Begin(kind, 1), kind);
    DrawUnlitQuad(-0.5f, -0.5f, 0.5f, 0.5f, 0, 1, 1);
    DrawTransparentOverlayGL(ctx);
    End();
    const uint32_t red = At(kSide / 2, kSide / 2);
    EXPECT_NEAR(int(red >> 16 & 0xFF), 255, 2) << kind;
    EXPECT_NEAR(int(red >> 8 & 0xFF), 0, 2);
    EXPECT_NEAR(int(red & 0xFF), 0, 2);
    EXPECT_EQ(At(2, 2), 0x336699u);
  }
  ShaderProgram* vertex = NewShaderProgram("", kDefaultVertexProgram, false);
  EXPECT_TRUE(BeginTwoSidedShading(ctx->overlayProgram, vertex, ctx));
  FlipTwoSidedShading(ctx);
  EndTwoSidedShading(ctx);
  EXPECT_FALSE(BeginTwoSidedShading(nullptr, vertex, ctx));
  EndTwoSidedShading(ctx);
  DeleteShaderProgram(vertex);
}

// A mesh's colours go with it: the software state must not go on naming them (ASan would
// report the read), so the next plain draw takes the uniform white.
TEST_F(MeshDrawingTest, AFreedMeshLeavesNoArraysBehindInSoftware) {
  BeginBlack(kContextQuickDraw);
  std::vector<float> red(sphere.vertices.size(), 0.0f);
  for (size_t i = 0; i < red.size(); i += 3) red[i] = 1.0f;
  GLMesh mesh;
  SetGLTriangleMesh(&mesh, sphere.vertices.data(), sphere.normals.data(), red.data(), nullptr, sphere.triangles.data(),
                    sphere.VertexCount(), sphere.TriangleCount(), 0, ctx);
  DrawGLMesh(&mesh);
  DestroyGLMesh(&mesh);
  DrawSphere(SphereMesh(24, 32, 1.02f));  // in front of the red one
  End();
  const uint32_t centre = At(kSide / 2, kSide / 2);
  EXPECT_TRUE(centre >> 16 == (centre >> 8 & 0xFF) && centre >> 16 == (centre & 0xFF)) << std::hex << centre;
}

// The software Disable operations forget the array they name (the mesh that owned it may be
// freed before the next draw) and put a colour source that named it back to the uniform colour;
// a source naming the other array stays.
TEST(SoftwareArrayState, DisablingAnArrayForgetsItAndTheSourceNamingIt) {
  const float values[6] = {0, 0, 0, 1, 1, 1};
  struct Case {
    void (*disable)(GraphicsContext*);
    int32_t sourceBefore, sourceAfter;
    bool normals, colors, texCoords;  // which pointers are left
  } cases[] = {
      {DisableColorArray, 1, 0, true, false, true},     {DisableColorArray, 2, 2, true, false, true},
      {DisableTexCoordArray, 2, 0, true, true, false},  {DisableTexCoordArray, 1, 1, true, true, false},
      {DisableNormalArray, 1, 1, false, true, true},
  };
  for (const Case& c : cases) {
    GraphicsContext ctx;
    ctx.kind = kContextQuickDraw;
    SetGLNormalArray(values, &ctx);
    SetGLTexCoordArray(values, &ctx);
    SetGLColorArray(values, &ctx);
    ctx.colorSource = c.sourceBefore;
    c.disable(&ctx);
    EXPECT_EQ(ctx.colorSource, c.sourceAfter);
    EXPECT_EQ(ctx.normals != nullptr, c.normals);
    EXPECT_EQ(ctx.colors != nullptr, c.colors);
    EXPECT_EQ(ctx.texCoords != nullptr, c.texCoords);
  }
}

// A plane with a NaN or infinite coefficient is switched off, also over one already on, and
// the sphere draws as with no plane at all; a finite plane is on.
TEST_F(MeshDrawingTest, ANonFiniteClipPlaneClipsNothing) {
  frame = kFront;
  BeginBlack(kContextGLOffscreen);
  DrawSphere(sphere);
  End();
  const std::vector<uint32_t> plain = Pixels();
  const double kNaN = std::nan(""), kInf = HUGE_VAL;
  const double planes[][4] = {{kNaN, 1, 0, 0}, {0, kInf, 0, 0}, {0, 1, 0, -kInf}, {0, 0, kNaN, kNaN}};
  for (const auto& p : planes) {
    BeginBlack(kContextGLOffscreen);
    SetGLClipPlane(0, 1, 0, 0, ctx);
    EXPECT_TRUE(GLApi().IsEnabled(GL_CLIP_PLANE1));
    SetGLClipPlane(p[0], p[1], p[2], p[3], ctx);
    EXPECT_FALSE(GLApi().IsEnabled(GL_CLIP_PLANE1)) << p[0] << " " << p[1] << " " << p[2] << " " << p[3];
    DrawSphere(sphere);
    End();
    EXPECT_EQ(Pixels(), plain);
  }
}

// A checker of two colours, a lone 0x123456 pixel at (extraH, 10) or none, clicks at row 10.
TEST(HitTestPixels, OnlyTheBackgroundsOwnColoursAreMisses) {
  gl_test::InstallTestDocument();
  graphics_test::FailureGuard guard;
  draw_test::Canvas canvas(40, 40);
  struct Case {
    uint8_t type;
    uint32_t even, odd;
    int extraH, clickH;
    bool hit;
  } cases[] = {
      {kBackgroundSolid, 0xFFFFFF, 0xCCCCCC, -1, 10, false}, {kBackgroundSolid, 0xFFFFFF, 0xCCCCCC, 12, 10, true},
      {kBackgroundSolid, 0xFFFFFF, 0xCCCCCC, 20, 17, false},  // just outside the clip
      {kBackgroundSolid, 0xFFFFFF, 0xCCCCCC, 19, 17, true},
      {kBackgroundRoomCorner, 0xEFEFEF, 0xCCCCCC, -1, 10, true},  // grey only
      {kBackgroundRoomCorner, 0xCCCCCC, 0x99FFFF, -1, 10, false},  // grey and blue
      // The square (columns 25 to 35) misses the clip: no background seen, a hit on either kind.
      {kBackgroundSolid, 0xFFFFFF, 0xCCCCCC, -1, 30, true},
      {kBackgroundRoomCorner, 0xCCCCCC, 0x99FFFF, -1, 30, true},
  };
  for (const Case& c : cases) {
    gDocument.background = {c.type, 0xFFFFFF};
    canvas.Fill([&](int h, int v) { return h == c.extraH && v == 10 ? 0x123456u : (h + v) % 2 ? c.odd : c.even; });
    EXPECT_EQ(HitTestPixelsNearPoint(MakePoint(c.clickH, 10), nullptr, MakeRect(0, 0, 20, 40), nullptr), c.hit)
        << c.extraH << " " << int(c.type);
  }
  ResetGLGlobalsForTest();
}
