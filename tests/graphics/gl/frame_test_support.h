// Shared set-up of the frame tests: a view inside a document buffer in any of the three kinds,
// a lit UV sphere, and golden images (tests/<suite>/data/*.png, RGB compared). A mismatch
// writes the actual image and a diff under golden-failures/ in the working directory (the
// build tree); QV_UPDATE_GOLDENS=1 rewrites the goldens instead.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "graphics/gl/frame_setup.h"
#include "graphics/gl/gl_mesh.h"
#include "graphics/gl/mesh_drawing.h"
#include "graphics/gl/pixel_readback.h"
#include "platform/draw/png_io.h"
#include "tests/graphics/gl/gl_test_support.h"

namespace frame_test {

using gl_test::gDocument;

// Vertices and normals (equal: unit length) of a sphere of radius r, stacks x slices quads.
struct SphereMesh {
  std::vector<float> vertices, normals;
  std::vector<uint32_t> triangles;
  SphereMesh(int stacks, int slices, float r = 1.0f) {
    for (int i = 0; i <= stacks; ++i) {
      const double theta = M_PI * i / stacks;
      for (int j = 0; j <= slices; ++j) {
        const double phi = 2 * M_PI * j / slices;
        const float n[3] = {float(std::sin(theta) * std::cos(phi)), float(std::sin(theta) * std::sin(phi)),
                            float(std::cos(theta))};
        for (float c : n) {
          normals.push_back(c);
          vertices.push_back(r * c);
        }
      }
    }
    for (int i = 0; i < stacks; ++i) {
      for (int j = 0; j < slices; ++j) {
        const uint32_t a = i * (slices + 1) + j, b = a + slices + 1;
        triangles.insert(triangles.end(), {a, b, a + 1, a + 1, b, b + 1});
      }
    }
  }
  uint32_t VertexCount() const { return uint32_t(vertices.size() / 3); }
  uint32_t TriangleCount() const { return uint32_t(triangles.size() / 3); }
};

// A view of kSide x kSide at (kLeft, kTop) of an 80 x 72 document buffer, in the chosen kind.
class FrameTest : public gl_test::RealGLTest {
 protected:
  static constexpr int32_t kLeft = 8, kTop = 4, kSide = 64;
  void SetUp() override {
    RealGLTest::SetUp();
    gDocument.buffer = NewGWorld32(MakeRect(0, 0, 80, 72));
    ctx = NewGLContextRecord();
    // Looking from above the x-z plane, 30 degrees up; the box a little larger than the sphere.
    const double c = std::cos(M_PI / 6), s = std::sin(M_PI / 6);
    frame = ViewFrame{{c, 0, -s, 0, 1, 0, s, 0, c}, {-1.25, 1.25, -1.25, 1.25, -1.25, 1.25}, 1.0, 2 * std::sqrt(3.0)};
  }
  void TearDown() override {
    DetachGLContext(ctx);
    DeleteGLContextRecord(ctx);
    RealGLTest::TearDown();
  }
  QDRect View() const { return MakeRect(kLeft, kTop, kLeft + kSide, kTop + kSide); }
  // The kind built (asserted by the caller), the frame begun.
  int32_t Begin(int32_t kind, uint8_t twoPass = 0) {
    SetRequestedContextKind(ctx, kind);
    if (PrepareGraphicsContext(ctx, View(), &frame) != kind) return kContextNone;
    return BeginGLFrame(ctx, twoPass) == kGraphicsDone ? kind : kContextNone;
  }
  // Ends the frame; GL frames are read into the document's buffer.
  void End() {
    EXPECT_EQ(EndGLFrame(ctx), kGraphicsDone);
    if (IsGLContextKind(ctx)) {
      EXPECT_TRUE(ReadGLPixelsToGWorld(ctx));
    }
  }
  // The view's pixels in the document buffer (row-major, 0xAARRGGBB).
  std::vector<uint32_t> Pixels() const {
    std::vector<uint32_t> out;
    for (int32_t y = 0; y < kSide; ++y)
      for (int32_t x = 0; x < kSide; ++x) out.push_back(*PixelAddress(gDocument.buffer, kLeft + x, kTop + y));
    return out;
  }
  uint32_t At(int32_t x, int32_t y) const { return *PixelAddress(gDocument.buffer, kLeft + x, kTop + y) & 0xFFFFFF; }
  void DrawSphere(const SphereMesh& s) {
    SetGLVertexArray(s.vertices.data(), int32_t(s.VertexCount()), ctx);
    SetGLNormalArray(s.normals.data(), ctx);
    DrawGLTriangleElements(s.triangles.data(), s.TriangleCount(), ctx);
    DisableNormalArray(ctx);
  }
  GraphicsContext* ctx = nullptr;
  ViewFrame frame{};
};

// The golden `name` of a test suite (its folder under tests/).
inline std::string GoldenPath(const std::string& name, const std::string& suite = "graphics") {
  return std::string(QV_SOURCE_DIR) + "/tests/" + suite + "/data/" + name + ".png";
}

// RGB of pixels against the golden of the suite: at most `maxOutside` of them may differ by more
// than `tolerance` in a channel.
inline void ExpectMatchesGolden(const std::string& name, const std::vector<uint32_t>& pixels, int32_t side,
                                int tolerance = 0, double maxOutside = 0.0, const std::string& suite = "graphics") {
  const std::string path = GoldenPath(name, suite);
  if (std::getenv("QV_UPDATE_GOLDENS") != nullptr) {
    ASSERT_TRUE(WritePngFile(path.c_str(), pixels.data(), side, side, side * 4, false));
    return;
  }
  PngImage golden{};
  ASSERT_TRUE(ReadPngFile(path.c_str(), &golden)) << "missing golden " << name;
  ASSERT_EQ(golden.width * golden.height, side * side) << name;
  std::vector<uint32_t> diff(pixels.size());
  int outside = 0;
  for (size_t i = 0; i < pixels.size(); ++i) {
    int worst = 0;
    for (int shift = 0; shift < 24; shift += 8) {
      worst = std::max(worst, std::abs(int(pixels[i] >> shift & 0xFF) - int(golden.pixels[i] >> shift & 0xFF)));
    }
    diff[i] = worst > tolerance ? 0xFF0000u : worst > 0 ? 0xFFFF00u : 0xFFFFFFu;
    outside += worst > tolerance;
  }
  FreePngImage(&golden);
  if (outside > maxOutside * double(pixels.size())) {
    std::filesystem::create_directories("golden-failures");
    WritePngFile(("golden-failures/" + name + "-actual.png").c_str(), pixels.data(), side, side, side * 4, false);
    WritePngFile(("golden-failures/" + name + "-diff.png").c_str(), diff.data(), side, side, side * 4, false);
    ADD_FAILURE() << name << ": " << outside << " pixels outside +-" << tolerance
                  << "; actual and diff written to golden-failures/";
  }
}

// One frame of a view whose context is built again in `kind`, drawn by `draw` (which answers
// whether the frame completed), a GL window frame read back: the side x side pixels at the
// document buffer's top-left.
template <typename Draw>
std::vector<uint32_t> ViewFrameIn(GraphicsContext* ctx, int32_t kind, int32_t side, Draw draw) {
  DetachGLContext(ctx);
  SetRequestedContextKind(ctx, kind);
  EXPECT_TRUE(draw());
  EXPECT_EQ(GLContextKind(ctx), kind);
  if (kind == kContextGLWindow) {
    EXPECT_TRUE(ReadGLPixelsToGWorld(ctx));
  }
  std::vector<uint32_t> pixels;
  for (int32_t y = 0; y < side; ++y)
    for (int32_t x = 0; x < side; ++x) pixels.push_back(*PixelAddress(gDocument.buffer, x, y));
  return pixels;
}

// The view's frame in the software kind against `name`-software exactly, and in both GL kinds
// against `name`-gl within 2 a channel on 0.5 % of the pixels (the frame tests' tolerance).
template <typename Draw>
void ExpectViewGoldens(const std::string& name, GraphicsContext* ctx, int32_t side, Draw draw,
                       const std::string& suite) {
  for (int32_t kind : {kContextQuickDraw, kContextGLOffscreen, kContextGLWindow}) {
    const bool software = kind == kContextQuickDraw;
    ExpectMatchesGolden(name + (software ? "-software" : "-gl"), ViewFrameIn(ctx, kind, side, draw), side,
                        software ? 0 : 2, software ? 0.0 : 0.005, suite);
  }
}

}  // namespace frame_test
