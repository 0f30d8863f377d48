// The fixture of the 3D view's pictures: a 200 x 200 GraphView3D, still, from the default
// orientation, drawn on Mesa's software renderer in both GL kinds and by the software rasteriser
// into the document's buffer, and compared with goldens (frame_test::ExpectViewGoldens).
// QV_UPDATE_GOLDENS=1 rewrites them.
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
    view = NewStillView();
  }
  void TearDown() override {
    delete view;
    RealGLTest::TearDown();
  }
  // A view of the fixture's size, its spin stopped.
  static GraphView3D* NewStillView() {
    auto* v = new GraphView3D();
    v->rect = MakeRect(0, 0, kSide, kSide);
    v->SetOption(kOptionStopSpin, 0);
    return v;
  }
  // What one frame is: the view drawn; fixtures that compute before each frame draw their own way.
  virtual bool DrawOnce() { return view->DrawFrame(); }
  // One frame in the kind; the view's pixels (GL window frames read back into the buffer).
  std::vector<uint32_t> Frame(int32_t kind) {
    return frame_test::ViewFrameIn(view->context, kind, kSide, [this] { return DrawOnce(); });
  }
  void ExpectGoldens(const std::string& name) {
    frame_test::ExpectViewGoldens(name, view->context, kSide, [this] { return DrawOnce(); }, "graphs");
  }
  GraphView3D* view = nullptr;
};

}  // namespace view3d_test
