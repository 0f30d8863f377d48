// The space arrow. Golden values worked by hand: (0, 0, 0) to (1, 0, 0) over the box -2..2 (widths
// 4) has its head points at (0.6, -0.2, 0), (0.6, 0, -0.2), (0.6, 0.2, 0), (0.6, 0, 0.2) (the frame
// e1 = (0, -1, 0), e2 = (0, 0, -1)) and extent 1; over widths (4, 2, 8) the head sits 0.4 back
// along x with radius 0.05 w per axis, 0.1 in y and 0.4 in z. Drawn from above by the software
// rasteriser, the barbs' pixels are found at the tip and none at the tail.
#include <cmath>

#include "graphics/render/software_camera.h"
#include "graphs/core/graph_color.h"
#include "graphs/view3d/arrow_3d.h"
#include "tests/graphs/view3d/view_3d_test_support.h"

namespace {

using graphs_test::FunctionOf;
using graphs_test::kAll;

class Arrow3DTest : public view3d_test::Graph3DTest {
 protected:
  void TearDown() override {
    delete arrow;
    Graph3DTest::TearDown();
  }
  static GraphArrow3D* Make(const char* const v[6], GraphicsContext* ctx) {
    CompiledFunction* tail[3] = {FunctionOf(v[0]), FunctionOf(v[1]), FunctionOf(v[2])};
    CompiledFunction* tip[3] = {FunctionOf(v[3]), FunctionOf(v[4]), FunctionOf(v[5])};
    auto* colour = new GraphColor(ctx);
    SetGraphColorIndex(colour, 1);
    return new GraphArrow3D(tail, tip, colour, ctx);
  }
  GraphArrow3D* Arrow(const char* const v[6]) {
    delete arrow;
    arrow = Make(v, context);
    arrow->Compute(kAll);
    return arrow;
  }
  void ExpectPoint(int k, double x, double y, double z) {
    EXPECT_NEAR(arrow->Point(k)[0], x, 1e-6) << k;
    EXPECT_NEAR(arrow->Point(k)[1], y, 1e-6) << k;
    EXPECT_NEAR(arrow->Point(k)[2], z, 1e-6) << k;
  }
  GraphArrow3D* arrow = nullptr;
};

TEST_F(Arrow3DTest, TheHeadConeIsATenthOfTheBoxLongAndATwentiethWide) {
  const char* unitX[6] = {"0", "0", "0", "1", "0", "0"};
  Arrow(unitX);
  ASSERT_TRUE(arrow->IsComplete() && arrow->Valid());
  ExpectPoint(0, 1, 0, 0);
  ExpectPoint(1, 0, 0, 0);
  ExpectPoint(2, 0.6, -0.2, 0);
  ExpectPoint(3, 0.6, 0, -0.2);
  ExpectPoint(4, 0.6, 0.2, 0);
  ExpectPoint(5, 0.6, 0, 0.2);
  EXPECT_NEAR(arrow->Extent(), 1, 1e-12);
  arrow->SetOption(5, 0);
  ASSERT_TRUE(MeshHasData(&arrow->Mesh()));
  const uint16_t segments[10] = {0, 1, 0, 2, 0, 3, 0, 4, 0, 5};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(arrow->Mesh().lines[i], segments[i]);
  EXPECT_EQ(arrow->Mesh().vertexCount, 6u);
  // Widths (4, 2, 8), and a longer arrow: the head keeps its size.
  frame.box[2] = -1, frame.box[3] = 1, frame.box[4] = -4, frame.box[5] = 4;
  const char* longX[6] = {"minus[1]", "0.5", "0", "1.5", "0.5", "0"};
  Arrow(longX);
  for (int k = 2; k < 6; ++k) {
    EXPECT_NEAR(arrow->Point(k)[0], 1.1, 1e-6) << k;
    const double dy = (arrow->Point(k)[1] - 0.5) / 0.1, dz = arrow->Point(k)[2] / 0.4;
    EXPECT_NEAR(dy * dy + dz * dz, 1, 1e-6) << k;  // on the ellipse of radii 0.05 w
  }
}

TEST_F(Arrow3DTest, ArrowsWithoutAValueOrALengthAreNotDrawn) {
  const char* cases[][6] = {
      {"0", "0", "0", "over[1,0]", "0", "0"},
      {"sqrt[minus[1]]", "0", "0", "1", "0", "0"},
      {"1", "1", "1", "1", "1", "1"},  // no length: no direction, no head
  };
  for (const auto& c : cases) {
    Arrow(c);
    EXPECT_TRUE(arrow->IsComplete());
    EXPECT_EQ(arrow->Status(), 0);
    arrow->SetOption(5, 0);
    EXPECT_FALSE(MeshHasData(&arrow->Mesh())) << c[3];
    EXPECT_TRUE(arrow->Draw());
  }
  EXPECT_FALSE(Arrow(cases[0])->Valid());
  // The arrow of no length is valid but has no head: its points collapse onto the tip, none NaN.
  EXPECT_TRUE(Arrow(cases[2])->Valid());
  for (int k = 2; k < 6; ++k) ExpectPoint(k, 1, 1, 1);
}

TEST_F(Arrow3DTest, AnyParameterChangeComputesAgain) {
  static double aValue = 1;
  SetDefinedValueLookup([](Complex* out, int32_t) { *out = Complex{aValue, 0}; });
  const char* v[6] = {"0", "0", "0", "a", "0", "0"};
  Arrow(v);
  arrow->SetOption(5, 0);
  aValue = 2;
  arrow->VariableChanged('q', 2);  // whatever the symbol
  EXPECT_FALSE(arrow->IsComplete());
  arrow->Compute(0);  // a budget of 0 computes nothing, any other is enough
  EXPECT_FALSE(arrow->IsComplete());
  arrow->Compute(1);
  EXPECT_TRUE(arrow->IsComplete());
  EXPECT_EQ(arrow->Point(0)[0], 2.0f);
}

// From above (eye on +z, screen right +x, up +y) the arrow (-1, 0, 0) to (1, 0, 0): the middle of
// each side barb, (0.8, +-0.1, 0), is drawn, and its mirror at the tail, (-0.8, +-0.1, 0), is not.
TEST_F(Arrow3DTest, TheDrawnHeadSitsAtTheTip) {
  GraphView3D view;
  view3d_test::LookFromAbove(view);
  const char* v[6] = {"minus[1]", "0", "0", "1", "0", "0"};
  GraphArrow3D* made = Make(v, view.context);
  ASSERT_TRUE(PtrArrayAppend(view.graphs, static_cast<GraphKind*>(made)));
  view.Tick(kAll);
  view.SetOption(kOptionUploadMeshes, 0);
  ASSERT_TRUE(view.DrawFrame());
  const BoxToCube b = BoxToCubeOf(view.settings.camera);
  auto inkedNear = [&](double x, double y) {
    const double q[3] = {(x - b.centre[0]) * b.scale[0], (y - b.centre[1]) * b.scale[1], -b.centre[2] * b.scale[2]};
    double out[3];
    ProjectCubePoint(view.context, q, out);
    for (int32_t dv = -1; dv <= 1; ++dv)
      for (int32_t dh = -1; dh <= 1; ++dh)
        if (view3d_test::PanePixel(int32_t(out[0]) + dh, int32_t(out[1]) + dv) != 0xFFFFFF) return true;
    return false;
  };
  for (double side : {-0.1, 0.1}) {
    EXPECT_TRUE(inkedNear(0.8, side)) << side;
    EXPECT_FALSE(inkedNear(-0.8, side)) << side;
  }
  EXPECT_TRUE(inkedNear(0, 0));  // the shaft
}

}  // namespace
