// The space curve. Golden values worked by hand: grain 0 samples 200 values of t and grain 1 a
// thousand, both ends exactly; (t, 1/(t - 100), 0) over [0, 200] with 201 samples (step 1, so
// t = 100 is hit exactly) breaks at sample 100 into two pieces of 99 segments; x = t over [0, 1]
// with the condition x > 0.5 keeps samples 100..199 (k/199 > 0.5). The helix (cos t, sin t,
// t/10) is checked against the exact curve twice: the samples lie on it (float rounding) and the
// pixels the software rasteriser draws lie within 1.5 pixels of its projection, and cover it.
#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "graphics/render/software_camera.h"
#include "graphs/core/graph_color.h"
#include "graphs/view3d/space_curve_3d.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/numeric/numeric_constants.h"
#include "tests/graphs/view3d/view_3d_test_support.h"

namespace {

using graphs_test::FunctionOf;
using graphs_test::kAll;

class SpaceCurve3DTest : public view3d_test::Graph3DTest {
 protected:
  void TearDown() override {
    delete curve;
    Graph3DTest::TearDown();
  }
  GraphCurve3D* Curve(const std::string& x, const std::string& y, const std::string& z, double grain,
                      const std::string& condition = "") {
    delete curve;
    curve = new GraphCurve3D(FunctionOf(x), FunctionOf(y), FunctionOf(z),
                             condition.empty() ? nullptr : FunctionOf(condition), Colour(context), grain, context,
                             &range[0], &range[1]);
    return curve;
  }
  GraphCurve3D* curve = nullptr;
  double range[2] = {0, 1};
};

TEST_F(SpaceCurve3DTest, TheGrainSetsTheSamplesAndBothEndsAreSampledExactly) {
  range[0] = 0.1;
  range[1] = 0.7;
  struct Case {
    double grain;
    int32_t n;
  } cases[] = {{0, 200}, {1, 1000}, {0.5, 600}, {1000, 1000}, {-4, 200}, {std::nan(""), 600}};
  for (const Case& c : cases) {
    Curve("u", "0", "0", c.grain)->Compute(kAll);
    ASSERT_TRUE(curve->IsComplete()) << c.grain;
    ASSERT_EQ(curve->SampleCount(), c.n) << c.grain;
    EXPECT_EQ(curve->Vertices()[0], 0.1f);
    EXPECT_EQ(curve->Vertices()[3 * (c.n - 1)], 0.7f);
    EXPECT_EQ(curve->SegmentCount(), c.n - 1);
    for (int32_t i = 0; i < 2 * curve->SegmentCount(); ++i) ASSERT_LT(curve->Segments()[i], c.n);
  }
  // The Grain option gives new arrays and starts over.
  curve->SetOption(8, 0);
  EXPECT_FALSE(curve->IsComplete());
  curve->Compute(kAll);
  EXPECT_EQ(curve->SampleCount(), 200);
  EXPECT_EQ(curve->SegmentCount(), 199);
}

TEST_F(SpaceCurve3DTest, ACurveThroughAPoleBreaksThere) {
  range[0] = 0;
  range[1] = 200;
  Curve("u", "over[1,plus[u,minus[100]]]", "0", 0.0013)->Compute(kAll);
  ASSERT_EQ(curve->SampleCount(), 201);
  EXPECT_FALSE(curve->SampleValid(100));
  EXPECT_TRUE(curve->SampleValid(99) && curve->SampleValid(101));
  ASSERT_EQ(curve->SegmentCount(), 198);
  for (int32_t s = 0; s < curve->SegmentCount(); ++s) {
    const uint16_t a = curve->Segments()[2 * s], b = curve->Segments()[2 * s + 1];
    ASSERT_EQ(b, a + 1);
    ASSERT_TRUE(a != 100 && b != 100) << s;
  }
  EXPECT_TRUE(std::isnan(curve->Vertices()[300]));  // an invalid sample breaks, never joins
  EXPECT_EQ(curve->Status(), 0);
  // NaN is invalid as infinity is: sqrt(u) over [-1, 1] keeps the samples from 0 on.
  range[0] = -1;
  range[1] = 1;
  Curve("sqrt[u]", "0", "0", 0)->Compute(kAll);
  for (int32_t k = 0; k < 200; ++k) EXPECT_EQ(curve->SampleValid(k), -1 + k * (2.0 / 199) >= 0) << k;
  EXPECT_EQ(curve->SegmentCount(), 99);
}

TEST_F(SpaceCurve3DTest, ACurveUndefinedEverywhereSaysSoAndDrawsNothing) {
  const char* nowhere[] = {"over[1,0]", "sqrt[minus[1]]", "minus[over[1,0]]"};
  for (const char* f : nowhere) {
    Curve("u", f, "0", 0)->Compute(kAll);
    EXPECT_TRUE(curve->IsComplete()) << f;
    EXPECT_EQ(curve->Status(), 11) << f;
    EXPECT_EQ(curve->SegmentCount(), 0) << f;
    curve->SetOption(5, 0);
    EXPECT_FALSE(MeshHasData(&curve->Mesh())) << f;
    EXPECT_TRUE(curve->Draw());
  }
  // A lone valid sample draws nothing either: 1/u is finite only away from 0, here only at t = 0.
  range[0] = 0;
  range[1] = 0;
  Curve("over[1,u]", "0", "0", 0)->Compute(kAll);
  EXPECT_EQ(curve->Status(), 11);
  EXPECT_FALSE(HasPendingError());
}

TEST_F(SpaceCurve3DTest, AConditionKeepsItsSamplesAndParametersRestartOnlyWhatDependsOnThem) {
  Curve("u", "times[a,u]", "0", 0, "greaterthan[x,0.5]")->Compute(kAll);
  for (int32_t k = 0; k < 200; ++k) ASSERT_EQ(curve->SampleValid(k), k >= 100) << k;
  EXPECT_EQ(curve->SegmentCount(), 99);
  curve->VariableChanged('c', 2);  // nothing mentions c
  EXPECT_TRUE(curve->IsComplete());
  curve->VariableChanged('a', 2);
  EXPECT_FALSE(curve->IsComplete());
  curve->Compute(kAll);
  EXPECT_TRUE(curve->IsComplete());

  Curve("u", "0", "0", 0, "greaterthan[x,b]")->Compute(kAll);
  curve->VariableChanged('b', 2);  // the condition mentions b
  EXPECT_FALSE(curve->IsComplete());
}

TEST_F(SpaceCurve3DTest, UploadsTheFinishedCurveOnceAndHidesItWithTheNoFillColour) {
  Curve("cos[u]", "sin[u]", "u", 0)->Compute(10);
  curve->SetOption(5, 0);  // (may be) unfinished: nothing is handed over until it is
  if (!curve->IsComplete()) {
    EXPECT_FALSE(MeshHasData(&curve->Mesh()));
  }
  curve->Compute(kAll);
  curve->SetOption(5, 0);
  ASSERT_TRUE(MeshHasData(&curve->Mesh()));
  EXPECT_EQ(curve->Mesh().vertexCount, 200u);
  EXPECT_EQ(curve->Mesh().lineCount, 199u);
  // Extent: the farthest sample in cube units, (cos 1, sin 1, 1) at t = 1: |p| * 4 / 4.
  EXPECT_NEAR(curve->Extent(), std::sqrt(2.0), 1e-6);
}

// A parameter or grain change starts the sampling over, but the curve stays on screen: every frame
// drawn before the new sampling finishes shows the last uploaded curve, pixel for pixel, and the
// extent stays (it was zeroed with the segments, and the curve vanished from those frames).
TEST_F(SpaceCurve3DTest, TheLastCurveStaysDrawnWhileItSamplesAgain) {
  const struct Case {
    const char* change;
    std::function<void(GraphCurve3D*)> apply;
  } cases[] = {
      {"parameter", [](GraphCurve3D* c) { c->VariableChanged('a', 2); }},
      {"grain", [](GraphCurve3D* c) { c->SetOption(8, 0.7); }},
      {"invalidate", [](GraphCurve3D* c) { c->Invalidate(); }},
  };
  for (const Case& c : cases) {
    GraphView3D view;
    view.rect = MakeRect(0, 0, 200, 200);
    view.SetOption(kOptionStopSpin, 0);
    view.showAxes = 0;
    auto* made = new GraphCurve3D(FunctionOf("times[a,cos[u]]"), FunctionOf("sin[u]"), FunctionOf("0"), nullptr,
                                  Colour(view.context), 0.5, view.context, &range[0], &range[1]);
    range[1] = 6;
    ASSERT_TRUE(PtrArrayAppend(view.graphs, static_cast<GraphKind*>(made)));
    view.Tick(kAll);
    view.SetOption(kOptionUploadMeshes, 0);
    ASSERT_TRUE(view.DrawFrame());
    auto pixels = [] {
      std::vector<uint32_t> out;
      for (int32_t v = 0; v < 200; ++v) {
        for (int32_t h = 0; h < 200; ++h) out.push_back(view3d_test::PanePixel(h, v));
      }
      return out;
    };
    const std::vector<uint32_t> before = pixels();
    const int32_t inked = 40000 - int32_t(std::count(before.begin(), before.end(), 0xFFFFFFu));
    ASSERT_GT(inked, 100) << c.change;
    const double extent = made->Extent();
    c.apply(made);
    ASSERT_FALSE(made->IsComplete()) << c.change;
    EXPECT_EQ(made->Extent(), extent) << c.change;
    ASSERT_TRUE(view.DrawFrame());
    EXPECT_EQ(pixels(), before) << c.change;
    made->Compute(1);  // part of the new sampling: still the last curve
    view.SetOption(kOptionUploadMeshes, 0);
    ASSERT_TRUE(view.DrawFrame());
    if (!made->IsComplete()) {
      EXPECT_EQ(pixels(), before) << c.change;
    }
  }
}

// On the real clock: a timer unit is about 65 us.
TEST_F(SpaceCurve3DTest, ComputingInSmallBudgetsGivesTheSameCurve) {
  range[1] = 20;
  Curve("cos[u]", "sin[u]", "over[u,10]", 1)->Compute(kAll);
  const std::vector<float> whole(curve->Vertices(), curve->Vertices() + 3000);
  Curve("cos[u]", "sin[u]", "over[u,10]", 1)->Compute(0);
  EXPECT_FALSE(curve->IsComplete());
  int calls = 0;
  for (; !curve->IsComplete() && calls < 100000; ++calls) curve->Compute(1);
  ASSERT_TRUE(curve->IsComplete());
  EXPECT_EQ(std::vector<float>(curve->Vertices(), curve->Vertices() + 3000), whole);
  EXPECT_EQ(curve->SegmentCount(), 999);
}

TEST_F(SpaceCurve3DTest, RefusedMemoryLeavesACompleteCurveThatSaysSo) {
  for (uint64_t n = 1; n < 8; ++n) {
    ResetErrorRegister();
    CompiledFunction* f[3] = {FunctionOf("u"), FunctionOf("u"), FunctionOf("u")};
    GraphColor* colour = Colour(context);
    FailAllocationAt(n, true);
    curve = new GraphCurve3D(f[0], f[1], f[2], nullptr, colour, 0, context, &range[0], &range[1]);
    curve->Compute(kAll);
    curve->SetOption(5, 0);
    curve->VariableChanged('u', 1);
    curve->SetOption(8, 0.5);
    const bool complete = curve->IsComplete();
    const int32_t status = curve->Status();
    FailAllocationAt(0);
    EXPECT_TRUE(complete) << n;
    if (curve->Vertices() == nullptr) {
      EXPECT_TRUE(status == 11 && IsErrorPosted(kErrorOutOfMemory)) << n;
    }
    EXPECT_TRUE(curve->Draw());
    delete curve;
    curve = nullptr;
  }
}

// The helix (cos t, sin t, t/10) over [0, 4 pi] at grain 0.5, seen from the default orientation in
// a 200 x 200 view over a box the helix fills: every pixel drawn lies within 1.5 pixels of the exact curve's projection, and
// every point of the exact curve (at steps far finer than the samples) has a drawn pixel within
// 1.5 pixels.
TEST_F(SpaceCurve3DTest, AHelixIsDrawnWithinAPixelAndAHalfOfTheExactCurve) {
  GraphView3D view;
  view.rect = MakeRect(0, 0, 200, 200);
  view.SetOption(kOptionStopSpin, 0);
  view.showAxes = 0;
  view.settings.unitRanges[0] = 0;
  view.settings.unitRanges[1] = 4 * kPi;
  const double box[6] = {-1.1, 1.1, -1.1, 1.1, -0.1, 1.4};  // the helix fills it
  std::copy(box, box + 6, view.settings.camera.box);
  auto* made = new GraphCurve3D(FunctionOf("cos[u]"), FunctionOf("sin[u]"), FunctionOf("over[u,10]"), nullptr,
                                Colour(view.context), 0.5, view.context, &view.settings.unitRanges[0],
                                &view.settings.unitRanges[1]);
  ASSERT_TRUE(PtrArrayAppend(view.graphs, static_cast<GraphKind*>(made)));
  view.Tick(kAll);
  ASSERT_TRUE(view.IsReady());
  // The samples are the exact curve's points.
  for (int32_t k = 0; k < made->SampleCount(); ++k) {
    const double t = 4 * kPi * k / (made->SampleCount() - 1);
    const float* p = made->Vertices() + 3 * k;
    ASSERT_NEAR(p[0], std::cos(t), 1e-6);
    ASSERT_NEAR(p[1], std::sin(t), 1e-6);
    ASSERT_NEAR(p[2], t / 10, 1e-6);
  }
  view.SetOption(kOptionUploadMeshes, 0);
  ASSERT_TRUE(view.DrawFrame());

  GraphicsContext* ctx = view.context;
  const BoxToCube b = BoxToCubeOf(view.settings.camera);
  std::vector<std::pair<double, double>> exact;
  for (int i = 0; i <= 20000; ++i) {
    const double t = 4 * kPi * i / 20000, p[3] = {std::cos(t), std::sin(t), t / 10};
    const double q[3] = {(p[0] - b.centre[0]) * b.scale[0], (p[1] - b.centre[1]) * b.scale[1],
                         (p[2] - b.centre[2]) * b.scale[2]};
    double out[3];
    ProjectCubePoint(ctx, q, out);
    exact.emplace_back(out[0], out[1]);
  }
  auto nearCurve = [&](double h, double v) {
    for (const auto& e : exact) {
      if (std::hypot(e.first - h, e.second - v) <= 1.5) return true;
    }
    return false;
  };
  int inked = 0;
  for (int32_t v = 0; v < 200; ++v) {
    for (int32_t h = 0; h < 200; ++h) {
      if (view3d_test::PanePixel(h, v) == 0xFFFFFF) continue;
      ++inked;
      // The pixel's centre: pixel (h, v) covers [h, h + 1) x [v, v + 1).
      ASSERT_TRUE(nearCurve(h + 0.5, v + 0.5)) << h << "," << v;
    }
  }
  EXPECT_GT(inked, 300);
  for (size_t i = 0; i < exact.size(); i += 25) {
    bool found = false;
    for (int32_t dv = -2; dv <= 2 && !found; ++dv) {
      for (int32_t dh = -2; dh <= 2 && !found; ++dh) {
        const int32_t h = int32_t(std::floor(exact[i].first)) + dh, v = int32_t(std::floor(exact[i].second)) + dv;
        found = std::hypot(h + 0.5 - exact[i].first, v + 0.5 - exact[i].second) <= 1.5 &&
                view3d_test::PanePixel(h, v) != 0xFFFFFF;
      }
    }
    EXPECT_TRUE(found) << i;
  }
  // The no-fill colour hides it.
  made->SetOption(6, 17);
  ASSERT_TRUE(view.DrawFrame());
  EXPECT_EQ(view3d_test::CountPanePixels(0xFFFFFF, MakeRect(0, 0, 200, 200)), 200 * 200);
}

}  // namespace
