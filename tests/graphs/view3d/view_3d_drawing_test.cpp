// The 3D view's frames against golden pictures, 200 x 200 from the default orientation: the
// coordinate box's axes alone, and the axes with a surface (the bump of sample_surface.h), drawn
// by the software rasteriser (exact) and by Mesa's GL in both GL kinds (within 2 a channel on
// 0.5 % of the pixels, the frame tests' tolerance). The goldens were checked by eye when made:
// green axes through the origin with arrowheads on x and y, z upward, the bump lit from the
// upper left. QV_UPDATE_GOLDENS=1 rewrites them.
#include "graphs/view3d/graph_view_3d.h"
#include "tests/graphs/view3d/view_3d_frame_test.h"
#include "tests/graphs/view3d/sample_surface.h"

namespace {

class View3DDrawingTest : public view3d_test::View3DFrameTest {};

TEST_F(View3DDrawingTest, TheAxesOfTheDefaultBoxMatchTheirGoldens) { ExpectGoldens("view3d-axes"); }

TEST_F(View3DDrawingTest, ASurfaceWithTheAxesMatchesItsGoldens) {
  auto* surface = new sample_surface::Bump3D(40, view->settings.camera.box, view->context);
  ASSERT_TRUE(PtrArrayAppend(view->graphs, static_cast<GraphKind*>(surface)));
  view->Tick(1 << 20);
  ASSERT_TRUE(view->IsReady());
  view->SetOption(kOptionUploadMeshes, 0);
  ExpectGoldens("view3d-surface");
}

// The overlay road runs only in the GL kinds with a transparent graph: the transparent graphs make
// the first pass (their colour programs write it as hue, saturation and value with alpha, which
// the transparent surface kinds bring), the pass is laid over the background, then the opaque
// graphs and the axes draw. The frame completes without a GL error (the fixture fails on any), the
// pass covers the opaque surface behind it, and the axes show as they do without it.
TEST_F(View3DDrawingTest, ATransparentGraphTakesTheOverlayPassInGL) {
  struct Glass : sample_surface::Bump3D {
    using Bump3D::Bump3D;
    bool IsTransparent() override { return true; }
  };
  auto* solid = new sample_surface::Bump3D(30, view->settings.camera.box, view->context, 0xCC6633);
  ASSERT_TRUE(PtrArrayAppend(view->graphs, static_cast<GraphKind*>(solid)));
  view->Tick(1 << 20);
  view->SetOption(kOptionUploadMeshes, 0);
  auto count = [](const std::vector<uint32_t>& pixels, int* green) {
    int reddish = 0;
    *green = 0;
    for (uint32_t p : pixels) {
      const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
      reddish += r > b + 40 && r > g;
      *green += g > r + 80 && g > b + 80;
    }
    return reddish;
  };
  for (int32_t kind : {kContextGLOffscreen, kContextGLWindow}) {
    int greenAlone = 0, green = 0;
    const int alone = count(Frame(kind), &greenAlone);
    auto* glass = new Glass(30, view->settings.camera.box, view->context, 0x3366CC);
    ASSERT_TRUE(PtrArrayAppend(view->graphs, static_cast<GraphKind*>(glass)));
    view->Tick(1 << 20);
    view->SetOption(kOptionUploadMeshes, 0);
    const int together = count(Frame(kind), &green);  // Frame asserts the frame completed
    // The first pass lies over the opaque bump where it is in front (the same bump here), its depth
    // kept for the opaque pass; the axes draw on top as before.
    EXPECT_GT(alone, 1000) << kind;
    EXPECT_LT(together, alone / 2) << kind;
    EXPECT_NEAR(green, greenAlone, greenAlone / 10 + 5) << kind;
    delete glass;
    --view->graphs.count;
  }
}

// A transparent graph whose draw answers false ends the frame at once: the overlay pass is not
// laid (its texture is never made) and nothing after it draws, in both GL kinds; the same graph
// answering true takes the overlay as above.
TEST_F(View3DDrawingTest, AnUnfinishedTransparentGraphGetsNoOverlayPass) {
  struct UnfinishedGlass : sample_surface::Bump3D {
    using Bump3D::Bump3D;
    bool IsTransparent() override { return true; }
    bool Draw() override { return Bump3D::Draw() && finished; }
    bool finished = false;
  };
  auto* glass = new UnfinishedGlass(30, view->settings.camera.box, view->context, 0x3366CC);
  ASSERT_TRUE(PtrArrayAppend(view->graphs, static_cast<GraphKind*>(glass)));
  view->Tick(1 << 20);
  view->SetOption(kOptionUploadMeshes, 0);
  for (int32_t kind : {kContextGLOffscreen, kContextGLWindow}) {
    for (bool finished : {false, true}) {
      glass->finished = finished;
      DetachGLContext(view->context);
      SetRequestedContextKind(view->context, kind);
      EXPECT_EQ(view->DrawFrame(), finished) << kind;
      ASSERT_EQ(GLContextKind(view->context), kind);
      EXPECT_EQ(view->context->overlayTexture != 0, finished) << kind << " " << finished;
    }
  }
}

}  // namespace
