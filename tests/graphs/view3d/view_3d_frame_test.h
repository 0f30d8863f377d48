// The fixture of the 3D view's pictures: a 200 x 200 GraphView3D, still, from the default
// orientation, drawn on Mesa's software renderer in both GL kinds and by the software rasteriser
// into the document's buffer, and compared with goldens: software exact, GL within 2 a channel on
// 0.5 % of the pixels (the frame tests' tolerance). QV_UPDATE_GOLDENS=1 rewrites them.
#pragma once

#include <string>
#include <vector>

#include "graphs/view3d/graph_view_3d.h"
#include "tests/graphics/gl/frame_test_support.h"

namespace view3d_test {

class View3DFrameTest : public gl_test::RealGLTest {
 protected:
  static constexpr int32_t kSide = 200;
  void SetUp() override {
    RealGLTest::SetUp();
    gl_test::gDocument.buffer = NewGWorld32(MakeRect(0, 0, kSide, kSide));
    view = new GraphView3D();
    view->rect = MakeRect(0, 0, kSide, kSide);
    view->SetOption(kOptionStopSpin, 0);
  }
  void TearDown() override {
    delete view;
    RealGLTest::TearDown();
  }
  // One frame in the kind; the view's pixels (GL window frames read back into the buffer).
  std::vector<uint32_t> Frame(int32_t kind) {
    DetachGLContext(view->context);
    SetRequestedContextKind(view->context, kind);
    EXPECT_TRUE(view->DrawFrame());
    EXPECT_EQ(GLContextKind(view->context), kind);
    if (kind == kContextGLWindow) {
      EXPECT_TRUE(ReadGLPixelsToGWorld(view->context));
    }
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < kSide; ++y)
      for (int32_t x = 0; x < kSide; ++x) pixels.push_back(*PixelAddress(gl_test::gDocument.buffer, x, y));
    return pixels;
  }
  // The frame of a kind against the golden `name` plus "-software" or "-gl".
  void ExpectGolden(const std::string& name, int32_t kind, const std::vector<uint32_t>& pixels) {
    const bool software = kind == kContextQuickDraw;
    frame_test::ExpectMatchesGolden(name + (software ? "-software" : "-gl"), pixels, kSide, software ? 0 : 2,
                                    software ? 0.0 : 0.005, "graphs");
  }
  void ExpectGoldens(const std::string& name) {
    for (int32_t kind : {kContextQuickDraw, kContextGLOffscreen, kContextGLWindow}) ExpectGolden(name, kind, Frame(kind));
  }
  GraphView3D* view = nullptr;
};

}  // namespace view3d_test
