// The 4D view's projection, camera and interaction, on the fake clock and the scripted pointer,
// drawing (where a test draws) through the software rasteriser into a white pane. Golden values
// are worked by hand: the default orientation is R(xy, 45 deg) R(xz, -30 deg), whose rows, axes,
// depths and label points follow with cos 30 = 0.866025404 and cos 45 = 0.707106781; a quarter
// turn in plane (a, b) from the identity sends unit axis e_i to row i of its matrix (a drawn point
// is (p.col0, p.col1, p.col2) with the eye at 50 col3), its depth (2.3 - R[i][3]) / 4.6.
#include <cmath>

#include "graphs/core/rotation_matrices.h"
#include "graphs/view4d/graph_view_4d.h"
#include "kernel/application_state.h"
#include "kernel/numeric/numeric_constants.h"
#include "platform/clock.h"
#include "platform/pointer_source.h"
#include "tests/graphs/view3d/view_3d_test_support.h"
#include "tests/graphs/view4d/view_4d_test_support.h"

namespace {

using graphs_test::Log;
using Step = ScriptedPointerSource::Step;
using view4d_test::RecordingGraph4D;

constexpr double kCap = 0.3490658503988659;
constexpr uint64_t kMs = 1000000;  // clock ticks (ns) in a millisecond
constexpr double kC30 = 0.866025403784438647, kC45 = 0.707106781186547524;

double OrthonormalityError(const double* m) {
  double worst = 0;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      double dot = 0;
      for (int k = 0; k < 4; ++k) dot += m[4 * i + k] * m[4 * j + k];
      worst = std::max(worst, std::fabs(dot - (i == j)));
    }
  return worst;
}

void ExpectNear4(const double* actual, std::initializer_list<double> expected, double tolerance, const char* what) {
  int k = 0;
  for (double e : expected) EXPECT_NEAR(actual[k++], e, tolerance) << what << " [" << k - 1 << "]";
}

class View4DTest : public graphs_test::GraphsTest {
 protected:
  void SetUp() override {
    GraphsTest::SetUp();
    ResetApplicationStateForTests();
    view3d_test::InstallSoftwarePane(200, 200);
    view = new GraphView4D();
    view->rect = MakeRect(0, 0, 200, 200);
    view->SetOwner(&document);
    SetPointerSource(&pointer);
  }
  void TearDown() override {
    SetPointerSource(nullptr);
    delete view;
    view3d_test::RemoveSoftwarePane();
    ResetApplicationStateForTests();
    GraphsTest::TearDown();
  }
  RecordingGraph4D* AddRecording(const std::string& name) {
    auto* graph = new RecordingGraph4D(name, &log, &view->projection);
    EXPECT_TRUE(PtrArrayAppend(view->graphs, static_cast<GraphKind*>(graph)));
    return graph;
  }
  static ClickFlags Keys(std::initializer_list<int32_t> held) {
    ClickFlags flags{};
    for (int32_t k : held) flags.byte[k] = 1;
    return flags;
  }
  // A mouse-down at `from`, the moves given (each `delayMs` after the previous), then the release
  // (after `releaseMs`).
  ClickResult Drag(QDPoint from, std::initializer_list<QDPoint> moves, std::initializer_list<int32_t> keys,
                   uint64_t delayMs = 10, uint64_t releaseMs = 10) {
    for (QDPoint p : moves) pointer.Push(Step{delayMs * kMs, PointerEventKind::kMoved, p});
    pointer.Push(Step{releaseMs * kMs, PointerEventKind::kReleased, moves.size() ? *(moves.end() - 1) : from});
    return view->Click(from, 0, Keys(keys));
  }
  // The label point (h, v) of end e (0 O, 1 X, 2 Y, 3 Z, 4 W) after Draw4DAxes.
  std::pair<double, double> Label(int e) {
    view->Draw4DAxes();
    return {document.labels.at(2 * e), document.labels.at(2 * e + 1)};
  }
  // Drawn coordinates and depth of a point.
  void Project(std::initializer_list<double> point, double drawn[3], double* depth) {
    double p[4];
    std::copy(point.begin(), point.end(), p);
    Project4DPoint(view->projection, p, drawn, depth);
  }
  FakeClock clock{1000 * kMs};
  ScriptedPointerSource pointer{&clock};
  view4d_test::Document4D document;
  Log log;
  GraphView4D* view = nullptr;
};

TEST_F(View4DTest, TheDefaultOrientationProjectsAsWorkedByHand) {
  const double* m = view->orientation;
  ExpectNear4(m, {kC30 * kC45, kC45, -0.5 * kC45, 0}, 1e-9, "row 0");
  ExpectNear4(m + 4, {-kC30 * kC45, kC45, 0.5 * kC45, 0}, 1e-9, "row 1");
  ExpectNear4(m + 8, {0.5, 0, kC30, 0}, 1e-9, "row 2");
  ExpectNear4(m + 12, {0, 0, 0, 1}, 1e-15, "row 3");
  const Projection4D& p = view->projection;
  ExpectNear4(p.eye, {0, 0, 0, 50}, 1e-12, "eye");
  ExpectNear4(p.axisX, {0.612372436, -0.612372436, 0.5, 0}, 1e-9, "axisX");
  ExpectNear4(p.axisY, {0.707106781, 0.707106781, 0, 0}, 1e-9, "axisY");
  ExpectNear4(p.axisZ, {-0.353553391, 0.353553391, 0.866025404, 0}, 1e-9, "axisZ");
  ExpectNear4(p.axisDepth, {0, 0, 0, -1}, 1e-15, "axisDepth");
  EXPECT_NEAR(p.depthScale, 1 / 4.6, 1e-15);
  EXPECT_NEAR(p.depthOffset, -47.7 / 4.6, 1e-13);
  double drawn[3], depth = 0;
  Project({0, 0, 0, 0}, drawn, &depth);
  EXPECT_NEAR(depth, 0.5, 1e-12);
  Project({0, 0, 0, 1}, drawn, &depth);
  EXPECT_NEAR(depth, 0.2826087, 1e-7);
  const double labels[5][2] = {{0, 0}, {0.715874416, 0.357937208}, {0.698551310, -0.349275655}, {0, -0.874773135},
                               {0, 0}};  // W lies on the viewing axis: it coincides with O
  for (int e = 0; e < 5; ++e) {
    const auto [h, v] = Label(e);
    EXPECT_NEAR(h, labels[e][0], 1e-9) << e;
    EXPECT_NEAR(v, labels[e][1], 1e-9) << e;
  }
  EXPECT_TRUE(view->showAxes && view->showXYPlane && view->trackballKind == 1 && view->extent == 2.3);
  EXPECT_TRUE(view->depth == 1.7330909743 && !view->NeedsRedraw() && !view->CanRedrawLive());
  for (int k = 0; k < 6; ++k) EXPECT_EQ(view->parameterRanges[k], k % 2);
  EXPECT_EQ(view->context->window, static_cast<void*>(&document));
}

TEST_F(View4DTest, AQuarterTurnInEachPlaneProjectsTheUnitAxesAsWorkedByHand) {
  struct Case {
    int32_t code;
    double drawn[4][3];  // of e_x, e_y, e_z, e_w
    double depth[4];
  };
  const double kBack = (2.3 - 1) / 4.6;  // a unit axis turned onto the eye's side of the viewing axis
  const Case cases[] = {
      {96, {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}, {0, 0, 0}}, {0.5, 0.5, 0.5, kBack}},
      {97, {{0, 0, 1}, {0, 1, 0}, {-1, 0, 0}, {0, 0, 0}}, {0.5, 0.5, 0.5, kBack}},
      {98, {{0, 0, 0}, {0, 1, 0}, {0, 0, 1}, {-1, 0, 0}}, {kBack, 0.5, 0.5, 0.5}},
      {99, {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}, {0, 0, 0}}, {0.5, 0.5, 0.5, kBack}},
      {100, {{1, 0, 0}, {0, 0, 0}, {0, 0, 1}, {0, -1, 0}}, {0.5, kBack, 0.5, 0.5}},
      {101, {{1, 0, 0}, {0, 1, 0}, {0, 0, 0}, {0, 0, -1}}, {0.5, 0.5, kBack, 0.5}},
  };
  for (const Case& c : cases) {
    SetIdentity4(view->orientation);
    view->Rotate4DInPlane(c.code, 180);  // degrees are halved: a quarter turn
    view->Update4DProjection();
    for (int i = 0; i < 4; ++i) {
      double e[4] = {0, 0, 0, 0}, drawn[3], depth = 0;
      e[i] = 1;
      Project4DPoint(view->projection, e, drawn, &depth);
      for (int k = 0; k < 3; ++k) EXPECT_NEAR(drawn[k], c.drawn[i][k], 1e-15) << c.code << " e" << i << " " << k;
      EXPECT_NEAR(depth, c.depth[i], 1e-14) << c.code << " e" << i;
    }
  }
  // From the identity (x, y, z drawn as they stand, w along the viewing axis), two quarter turns
  // in the xy plane are a half turn: diag(-1, -1, 1, 1).
  SetIdentity4(view->orientation);
  view->Rotate4DInPlane(96, 360);
  const double half[16] = {-1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  for (int k = 0; k < 16; ++k) EXPECT_NEAR(view->orientation[k], half[k], 1e-15) << k;
}

TEST_F(View4DTest, PresetsLookAlongEachAxisAndOtherValuesChooseTheTrackballOrNothing) {
  double defaultOrientation[16];
  CopyMatrix4(view->orientation, defaultOrientation);
  view->spinSpeed1 = view->spinSpeed2 = 1;
  view->SetOption(kOption4DPreset, 4);
  EXPECT_TRUE(Vectors4NearlyEqual(view->orientation, defaultOrientation));
  EXPECT_TRUE(view->spinSpeed1 == 0 && view->spinSpeed2 == 0);  // presets stop the spin
  struct Case {
    double value;
    double eye[4];
    int collapsed;  // the end whose label falls on O's
  } cases[] = {{5, {0, 0, -50, 0}, 3}, {6, {0, 50, 0, 0}, 2}, {7, {-50, 0, 0, 0}, 1}};
  for (const Case& c : cases) {
    view->SetOption(kOption4DPreset, c.value);
    view->Update4DProjection();
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(view->projection.eye[k], c.eye[k], 1e-12) << c.value << " " << k;
    const auto o = Label(0), collapsed = Label(c.collapsed);
    EXPECT_NEAR(collapsed.first, o.first, 1e-12) << c.value;
    EXPECT_NEAR(collapsed.second, o.second, 1e-12) << c.value;
    EXPECT_LT(OrthonormalityError(view->orientation), 1e-15);
  }
  view->SetOption(kOption4DPreset, 5);
  view->Update4DProjection();
  const auto w = Label(4);  // w takes z's place on the screen
  EXPECT_NEAR(w.first, 0, 1e-12);
  EXPECT_NEAR(w.second, -0.874773135, 1e-9);

  double before[16];
  CopyMatrix4(view->orientation, before);
  for (double value : {3.0, 8.0, -1.0, std::nan(""), 1e300, -1e300}) {  // nothing, and no undefined conversion
    view->SetOption(kOption4DPreset, value);
    EXPECT_TRUE(Vectors4NearlyEqual(view->orientation, before)) << value;
    EXPECT_EQ(view->trackballKind, 1) << value;
  }
  view->SetOption(kOption4DPreset, 2.9);
  EXPECT_EQ(view->trackballKind, 2);
  view->SetOption(kOption4DPreset, 1);
  EXPECT_EQ(view->trackballKind, 1);
}

TEST_F(View4DTest, PlaneOptionsTurnAtOnceOrSpinAndASpinTurnsItsPlaneByTheAnglePerSecond) {
  AddRecording("g");
  // A spin option of 0 only stops the spin.
  view->spinSpeed1 = view->spinSpeed2 = 2;
  double before[16];
  CopyMatrix4(view->orientation, before);
  document.log.clear();
  view->SetOption(32, 0);
  EXPECT_TRUE(view->spinSpeed1 == 0 && view->spinSpeed2 == 0 && Vectors4NearlyEqual(before, view->orientation));
  EXPECT_EQ(document.log, (Log{"modified", "scroll", "redraw"}));
  // A direct turn of 0 does nothing.
  view->spinSpeed1 = 2;
  view->SetOption(96, 0);
  EXPECT_EQ(view->spinSpeed1, 2);

  struct Case {
    int32_t code;
    double axis1[3], axis2[3];
  } cases[] = {{32, {-1, 0, 0}, {-1, 0, 0}}, {35, {0, 0, -1}, {0, 0, 1}}};
  for (const Case& c : cases) {
    view->SetOption(c.code, 90);
    for (int k = 0; k < 3; ++k) {
      EXPECT_NEAR(view->spinAxis1[k], c.axis1[k], 1e-15) << c.code;
      EXPECT_NEAR(view->spinAxis2[k], c.axis2[k], 1e-15) << c.code;
    }
    EXPECT_NEAR(view->spinSpeed1, kPi / 4, 1e-15);
    EXPECT_NEAR(view->spinSpeed2, kPi / 4, 1e-15);
  }
  // One second in steady 10 ms frames turns the xy plane by pi/4 (a quarter of 90 degrees halved):
  // as far as the direct turn by the same option value.
  double expected[16];
  SetIdentity4(view->orientation);
  view->Rotate4DInPlane(96, 90);
  CopyMatrix4(view->orientation, expected);
  view->SetOption(32, 90);
  SetIdentity4(view->orientation);
  view->Spin4DStep();
  for (int frame = 0; frame < 100; ++frame) {
    clock.Advance(10 * kMs);
    view->Spin4DStep();
  }
  for (int k = 0; k < 16; ++k) EXPECT_NEAR(view->orientation[k], expected[k], 1e-9) << k;
  EXPECT_NEAR(document.frameTimes.back(), 0.01, 1e-12);
  // A half-turn spin cannot be decomposed: it stays still.
  view->SetOption(32, 360);
  EXPECT_TRUE(view->spinSpeed1 == 0 && view->spinSpeed2 == 0);
}

TEST_F(View4DTest, SpinStepsAreSmoothedCappedExactInMoviesAndHeldDuringADividerDrag) {
  AddRecording("g");
  const double axis[3] = {1, 0, 0};
  auto spin = [&](double speed, double previous, double elapsedMs) {
    std::copy(axis, axis + 3, view->spinAxis1);
    std::copy(axis, axis + 3, view->spinAxis2);
    view->spinSpeed1 = view->spinSpeed2 = speed;
    view->lastSpinTime = MicrosecondsNow();
    view->lastSpinAngle1 = view->lastSpinAngle2 = previous;
    clock.Advance(uint64_t(elapsedMs * double(kMs)));
    double before[16], step[16], expected[16];
    CopyMatrix4(view->orientation, before);
    view->Spin4DStep();
    DoubleRotationMatrix4(step, axis, axis, view->lastSpinAngle1, view->lastSpinAngle2);
    MultiplyMatrix4(step, before, expected);
    for (int k = 0; k < 16; ++k) EXPECT_NEAR(view->orientation[k], expected[k], 1e-14);
    return view->lastSpinAngle1;
  };
  struct Case {
    double speed, previous, elapsedMs;
    bool movie;
    double angle;  // by hand
  } cases[] = {
      {1, 0, 100, false, 0.1},
      {1, 0.1, 2000, false, 0.99 * 0.1 + 0.01 * 2},  // 0.119: a long frame is taken a hundredth at a time
      {1, 0.2, 100, false, 0.1},                     // slowing down is taken at once
      {1, 0, 2000, false, kCap},                     // from rest, a long frame is capped at 20 degrees
      {-1, 0, 2000, false, -kCap},                   // in either sense (the wheel spins backwards)
      {0.5, 0.3, 5000, true, 0.5},                   // a movie frame turns by the speed exactly
  };
  for (const Case& c : cases) {
    SetMovieExportFlag(c.movie);
    EXPECT_NEAR(spin(c.speed, c.previous, c.elapsedMs), c.angle, 1e-12) << c.speed << " " << c.elapsedMs;
  }
  SetMovieExportFlag(false);
  // The pane divider is dragged: nothing turns and the timing starts over.
  document.tracking = true;
  double before[16];
  CopyMatrix4(view->orientation, before);
  view->lastSpinTime = MicrosecondsNow();
  clock.Advance(100 * kMs);
  view->Spin4DStep();
  EXPECT_TRUE(view->lastSpinTime == 0 && view->lastSpinAngle1 == 0 && Vectors4NearlyEqual(before, view->orientation));
  document.tracking = false;
  // An unfinished graph pauses the spin, the timing kept current.
  view->graphs.data[0]->Invalidate();
  clock.Advance(100 * kMs);
  view->Spin4DStep();
  EXPECT_TRUE(view->lastSpinTime == MicrosecondsNow() && Vectors4NearlyEqual(before, view->orientation));
}

TEST_F(View4DTest, TheWheelAfterAResetSpinsWithoutShrinkingTheOrientation) {
  AddRecording("g");
  view->ResetView4D();
  EXPECT_EQ(view->ScrollWheel(0, 10), 1);
  EXPECT_TRUE(view->spinSpeed1 == 2 && view->spinSpeed2 == 2 && view->lastSpinTime == 0);
  for (int frame = 0; frame < 50; ++frame) {
    view->Spin4DStep();
    clock.Advance(20 * kMs);
  }
  for (double x : view->orientation) EXPECT_TRUE(std::isfinite(x));
  EXPECT_LT(OrthonormalityError(view->orientation), 1e-12);
  // With axes, the wheel's spin turns and stays a rotation.
  view->spinAxis1[2] = 1;
  view->spinAxis2[1] = -1;
  for (int frame = 0; frame < 500; ++frame) {
    view->Spin4DStep();
    clock.Advance(20 * kMs);
  }
  EXPECT_LT(OrthonormalityError(view->orientation), 1e-12);
}

TEST_F(View4DTest, ZoomAnimatesInTwoStepsAndNewViewRestoresWithoutMarking) {
  struct Case {
    int32_t code;
    double low, high;
    double steps[3];  // x maximum at the three computes
    double finalLow;
  } cases[] = {
      {3, -2, 2, {2.5, 3.125, 4.0}, -4.0},
      {0, -2, 2, {1.6, 1.28, 1.0}, -1.0},
      {5, 0, 4, {3.6, 3.28, 3.0}, 1.0},  // any code but 3, 6 and 7 zooms in about the centre
  };
  for (const Case& c : cases) {
    for (int k = 2; k < 8; ++k) view->axisRanges[k] = k % 2 ? 2 : -2;
    view->axisRanges[0] = c.low, view->axisRanges[1] = c.high;
    RecordingGraph4D* g = AddRecording("g");
    log.clear();
    document.log.clear();
    view->Command(c.code);
    ASSERT_EQ(g->ranges.size(), 3u) << c.code;
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(g->ranges[k], c.steps[k], 1e-15) << c.code << " step " << k;
    EXPECT_NEAR(view->axisRanges[0], c.finalLow, 1e-15);
    EXPECT_NEAR(view->axisRanges[7], c.code == 3 ? 4.0 : 1.0, 1e-15);  // w too
    EXPECT_EQ(std::count(log.begin(), log.end(), "g invalidate"), 3);
    EXPECT_EQ(document.Count("view flags"), 3);
    EXPECT_EQ(document.Count("redraw"), 3);
    EXPECT_EQ(document.Count("messages"), 3);
    EXPECT_EQ(document.log.front(), "modified");
    DeleteGraphList(view->graphs);
  }
  // Command 7: the default view, both parts shown, the parameter ranges (0, 1); no modified mark.
  AddRecording("g");
  view->showAxes = view->showXYPlane = 0;
  view->parameterRanges[3] = 9;
  view->depth = 4;
  view->axisRanges[5] = 7;
  view->orientation[0] = 0.5;
  log.clear();
  document.log.clear();
  view->Command(kCommand4DNewView);
  EXPECT_TRUE(view->showAxes == 1 && view->showXYPlane == 1 && view->parameterRanges[3] == 1);
  EXPECT_TRUE(view->depth == 1.7330909743 && view->axisRanges[5] == 2);
  EXPECT_NEAR(view->orientation[0], kC30 * kC45, 1e-12);
  EXPECT_EQ(document.Count("modified"), 0);
  EXPECT_EQ(log, (Log{"g invalidate"}));
  // Command 6 keeps the shown parts and marks the document modified.
  view->showAxes = 0;
  document.log.clear();
  view->Command(kCommand4DReset);
  EXPECT_TRUE(view->showAxes == 0 && document.Count("modified") == 1 && document.Count("view flags") == 1);
}

TEST_F(View4DTest, DepthDragsClampAndTheCommandKeyIsDeclined) {
  struct Case {
    int32_t v;
    double depth;
  } cases[] = {{110, 1.7330909743 + 0.3}, {1100, 5.0}, {-900, 0.17330909743}};
  for (const Case& c : cases) {
    view->depth = 1.7330909743;
    EXPECT_EQ(Drag(MakePoint(100, 100), {MakePoint(100, c.v)}, {kClickControlKey}), ClickResult::Handled);
    EXPECT_NEAR(view->depth, c.depth, 1e-12) << c.v;
    EXPECT_EQ(view->dragMode, kDrag4DNone);
  }
  view->dragMode = kDrag4DDepth;
  EXPECT_EQ(view->Click(MakePoint(100, 100), 0, Keys({kClickCommandKey})), ClickResult::Declined);
  EXPECT_EQ(view->dragMode, kDrag4DDepth);  // left as it was
}

TEST_F(View4DTest, APlainClickOnTheBackgroundIsDeclinedAndAnOptionClickRotates) {
  AddRecording("g");
  view->SetOption(kOption4DShowAxes, 0);
  view->SetOption(kOption4DShowXYPlane, 0);
  ASSERT_TRUE(view->DrawFrame());  // a white pane: nothing under the pointer
  EXPECT_EQ(Drag(MakePoint(30, 30), {MakePoint(40, 30)}, {}), ClickResult::Declined);
  EXPECT_EQ(view->dragMode, kDrag4DDeclined);
  double before[16];
  CopyMatrix4(view->orientation, before);
  EXPECT_EQ(Drag(MakePoint(30, 30), {MakePoint(40, 30)}, {kClickOptionKey}), ClickResult::Handled);
  EXPECT_EQ(view->dragMode, kDrag4DNone);
  EXPECT_FALSE(Vectors4NearlyEqual(before, view->orientation));
}

TEST_F(View4DTest, ThePictureFollowsTheMouseAndTheSpinOutlivesTheRelease) {
  SetIdentity4(view->orientation);
  view->Update4DProjection();
  double drawn[3], depth = 0;
  Project({1, 0, 0, 0}, drawn, &depth);
  EXPECT_NEAR(drawn[1], 0, 1e-15);  // x points at the eye of the drawing: in the middle
  EXPECT_EQ(Drag(MakePoint(100, 100), {MakePoint(120, 100)}, {}, 100), ClickResult::Handled);
  view->Update4DProjection();
  Project({1, 0, 0, 0}, drawn, &depth);
  EXPECT_GT(drawn[1], 0.2);  // dragged right, it went right
  EXPECT_NEAR(drawn[2], 0, 1e-12);
  EXPECT_LT(OrthonormalityError(view->orientation), 1e-15);
  // Released while moving: the spin goes on; its speeds are the step's angles over its 100 ms.
  EXPECT_TRUE(view->spinSpeed1 > 0 && view->spinSpeed2 > 0 && view->NeedsRedraw());
  const double angle = std::asin(20.0 / 80.0);  // the trackball's radius is 0.4 of 200
  EXPECT_NEAR(view->spinSpeed1, angle / 0.1, 1e-9);
  EXPECT_NEAR(view->spinSpeed2, angle / 0.1, 1e-9);
  // Shift turns the other three axes: y, z and w; x stays where it was.
  SetIdentity4(view->orientation);
  EXPECT_EQ(Drag(MakePoint(100, 100), {MakePoint(100, 80)}, {kClickShiftKey}), ClickResult::Handled);
  EXPECT_NEAR(view->orientation[0], 1, 1e-15);
  EXPECT_GT(std::fabs(view->orientation[15] - 1), 1e-3);
  // Held still for longer than 20 ticks before the release: the view is left still.
  EXPECT_EQ(Drag(MakePoint(100, 100), {MakePoint(110, 100), MakePoint(110, 100)}, {}, 10, 800), ClickResult::Handled);
  EXPECT_TRUE(view->spinSpeed1 == 0 && view->spinSpeed2 == 0);
  // A move in the mouse-down's own instant spins at the cap, not at infinity.
  EXPECT_EQ(Drag(MakePoint(100, 100), {MakePoint(130, 100)}, {}, 0), ClickResult::Handled);
  EXPECT_EQ(view->spinSpeed1, 4 * kPi);
}

TEST_F(View4DTest, OptionsMarkTheDocumentAndGraphOptionsGoToTheirGraph) {
  AddRecording("g");
  document.log.clear();
  view->SetOption(kOption4DShowAxes, 0);
  view->SetOption(kOption4DShowXYPlane, 0);
  EXPECT_TRUE(view->showAxes == 0 && view->showXYPlane == 0);
  view->SetOption(kOption4DShowAxes, 2);
  EXPECT_EQ(view->showAxes, 1);
  view->spinSpeed1 = 1;
  view->SetOption(kOption4DStopSpin, 0);
  view->SetOption(99999, 0);
  EXPECT_EQ(view->spinSpeed1, 0);
  EXPECT_EQ(document.Count("modified"), 5);
  EXPECT_EQ(document.Count("redraw"), 3);
  struct GraphCase {
    int32_t code, index;
    bool passed, redrawn;
  } cases[] = {{6, 0, true, true}, {7, 0, true, true}, {8, 0, true, false}, {0, 0, false, false}, {6, 1, false, false}};
  for (const GraphCase& c : cases) {
    log.clear();
    document.log.clear();
    view->SetGraphOption(c.code, 3, c.index);
    EXPECT_EQ(log.size(), c.passed ? 1u : 0u) << c.code << " " << c.index;
    EXPECT_EQ(document.Count("redraw"), c.redrawn ? 1 : 0) << c.code;
    EXPECT_EQ(document.Count("modified"), 1);
  }
}

TEST_F(View4DTest, TicksTakeTheProjectionAndTheLargestExtent) {
  RecordingGraph4D* a = AddRecording("a");
  RecordingGraph4D* b = AddRecording("b");
  a->work = b->work = 1;
  view->axisRanges[1] = 3;
  b->extent = 3.5;
  view->Tick(1 << 20);
  EXPECT_EQ(a->ranges, (std::vector<double>{3}));  // the projection was rebuilt first
  EXPECT_EQ(view->extent, 3.5);
  view->Update4DProjection();
  EXPECT_NEAR(view->projection.depthScale, 1 / 7.0, 1e-15);
  b->extent = std::nan("");
  view->Tick(1 << 20);
  EXPECT_EQ(view->extent, 2.3);  // never below 2.3; NaN never raises it
  EXPECT_EQ(document.numberFormats, 2);
  EXPECT_TRUE(view->IsReady());
  view->Tick(0);
  EXPECT_EQ(std::count(log.begin(), log.end(), "a compute"), 2);
}

TEST_F(View4DTest, FramesDrawTheGridAndAxesAndStopAtAGraphThatCannotDraw) {
  const QDRect pane = MakeRect(0, 0, 200, 200);
  EXPECT_TRUE(view->IsReady());
  EXPECT_TRUE(view->DrawFrame());
  const int grid = view3d_test::CountPanePixels(0xbbbbbb, pane), axes = view3d_test::CountPanePixels(0x00ffff, pane);
  EXPECT_GT(grid, 500);
  EXPECT_GT(axes, 100);
  view->SetOption(kOption4DShowXYPlane, 0);
  EXPECT_TRUE(view->DrawFrame());
  EXPECT_EQ(view3d_test::CountPanePixels(0xbbbbbb, pane), 0);
  EXPECT_NEAR(view3d_test::CountPanePixels(0x00ffff, pane), axes, 10);  // crossings with the grid aside
  view->SetOption(kOption4DShowAxes, 0);
  EXPECT_TRUE(view->DrawFrame());
  EXPECT_EQ(view3d_test::CountPanePixels(0x00ffff, pane), 0);
  view->SetOption(kOption4DShowAxes, 1);
  // A line whose end lies behind the eye is left out but counts as drawn: the axes follow.
  RecordingGraph4D* g = AddRecording("g");
  g->view = view;
  const double behind[8] = {0, 0, 0, 0, 0, 0, 0, 40};
  std::copy(behind, behind + 8, g->line);
  EXPECT_TRUE(view->DrawFrame());
  EXPECT_EQ(view3d_test::CountPanePixels(0xff0000, pane), 0);
  const int axesAlone = view3d_test::CountPanePixels(0x00ffff, pane);
  EXPECT_NEAR(axesAlone, axes, 10);
  // One in front draws.
  const double across[8] = {-1, -1, 0, 0, 1, 1, 0, 0};
  std::copy(across, across + 8, g->line);
  EXPECT_TRUE(view->DrawFrame());
  EXPECT_GT(view3d_test::CountPanePixels(0xff0000, pane), 50);
  // A graph that cannot draw ends the pass: no axes after it.
  g->drawAnswer = false;
  EXPECT_FALSE(view->DrawFrame());
  EXPECT_EQ(view3d_test::CountPanePixels(0x00ffff, pane), 0);
  // Nothing to draw into: complete, nothing drawn, and the next frame draws again.
  g->drawAnswer = true;
  std::copy(behind, behind + 8, g->line);
  GWorldPtr buffer = view3d_test::gPane.buffer;
  view3d_test::gPane.buffer = nullptr;
  log.clear();
  EXPECT_TRUE(view->DrawFrame());
  EXPECT_EQ(log, Log{});
  view3d_test::gPane.buffer = buffer;
  EXPECT_TRUE(view->DrawFrame());
  EXPECT_EQ(view3d_test::CountPanePixels(0x00ffff, pane), axesAlone);
  view->rect = MakeRect(0, 0, 200, 0);
  EXPECT_TRUE(view->DrawFrame());
}

TEST_F(View4DTest, AxesStartAtTheCubeFaceWhenARangeExcludesZero) {
  view->axisRanges[0] = 1, view->axisRanges[1] = 3;
  view->Update4DProjection();
  // O is the cube point (-1, 0, 0, 0): drawn -(0.612372, 0.707107, -0.353553), seen from 50.612372.
  const auto o = Label(0);
  EXPECT_NEAR(o.first, -0.698551310, 1e-9);
  EXPECT_NEAR(o.second, -0.349275655, 1e-9);
}

}  // namespace
