// The 3D view's camera and interaction, on the fake clock and the scripted pointer, drawing (where
// a test draws) through the software rasteriser into a white pane: construction defaults, the
// zoom's animation steps (worked by hand: 2 -> 1.6 -> 1.28 -> 1 and 2 -> 2.5 -> 3.125 -> 4), the
// depth drag's clamps, the spin step (first step, the 20 degree cap both ways, movie frames,
// smoothing 0.1/0.2 -> 0.101 and 0.1/0.05 -> 0.09), commands 6 and 7, options, the tick's
// deadline, the frame's drawing order, and the trackball: a free drag turns by exactly the
// trackball matrix carried into the scene's frame, the picture follows the mouse, the spin goes on
// after the release and stops on a click or a still mouse, a locked drag turns about one axis.
#include <cmath>

#include "graphics/render/software_camera.h"
#include "graphs/core/rotation_matrices.h"
#include "graphs/view3d/graph_view_3d.h"
#include "kernel/application_state.h"
#include "kernel/numeric/numeric_constants.h"
#include "platform/clock.h"
#include "platform/pointer_source.h"
#include "tests/graphs/view3d/sample_surface.h"
#include "tests/graphs/view3d/view_3d_test_support.h"

namespace {

using graphs_test::FakeGraph3D;
using graphs_test::Log;
using Step = ScriptedPointerSource::Step;
using view3d_test::RecordingGraph3D;

constexpr double kCap = 20 * kPi / 180;
constexpr uint64_t kMs = 1000000;  // clock ticks (ns) in a millisecond

double OrthonormalityError(const double* m) {
  double worst = 0;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      const double dot = m[3 * i] * m[3 * j] + m[3 * i + 1] * m[3 * j + 1] + m[3 * i + 2] * m[3 * j + 2];
      worst = std::max(worst, std::fabs(dot - (i == j)));
    }
  return worst;
}

class View3DTest : public graphs_test::GraphsTest {
 protected:
  void SetUp() override {
    GraphsTest::SetUp();
    ResetApplicationStateForTests();
    view3d_test::InstallSoftwarePane(200, 200);
    view = new GraphView3D();
    view->rect = MakeRect(0, 0, 200, 200);
    view->SetOwner(&document);
    document.view = view;
    SetPointerSource(&pointer);
  }
  void TearDown() override {
    SetPointerSource(nullptr);
    delete view;
    view3d_test::RemoveSoftwarePane();
    ResetApplicationStateForTests();
    GraphsTest::TearDown();
  }
  template <typename G>
  G* Add(G* graph) {
    EXPECT_TRUE(PtrArrayAppend(view->graphs, static_cast<GraphKind*>(graph)));
    return graph;
  }
  RecordingGraph3D* AddRecording(const std::string& name) { return Add(new RecordingGraph3D(name, &log)); }
  static ClickFlags Keys(std::initializer_list<int32_t> held) {
    ClickFlags flags{};
    for (int32_t k : held) flags.byte[k] = 1;
    return flags;
  }
  // A mouse-down at `from`, the moves given (each `delayMs` after the previous), then the release.
  ClickResult Drag(QDPoint from, std::initializer_list<QDPoint> moves, std::initializer_list<int32_t> keys,
                   uint64_t delayMs = 10) {
    for (QDPoint p : moves) pointer.Push(Step{delayMs * kMs, PointerEventKind::kMoved, p});
    pointer.Push(Step{delayMs * kMs, PointerEventKind::kReleased, moves.size() ? *(moves.end() - 1) : from});
    return view->Click(from, 0, Keys(keys));
  }
  FakeClock clock{1000 * kMs};
  ScriptedPointerSource pointer{&clock};
  view3d_test::Document3D document;
  Log log;
  GraphView3D* view = nullptr;
};

TEST_F(View3DTest, ANewViewHasTheDefaultCameraAndSpinsAboutMinusZ) {
  double expected[9];
  MakeDefaultViewOrientation(expected);
  const ViewFrame& camera = view->settings.camera;
  for (int i = 0; i < 9; ++i) EXPECT_EQ(camera.orientation[i], expected[i]);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(camera.box[i], i % 2 ? 2 : -2);
  EXPECT_EQ(camera.zoom, 1.7330909743);
  const double units[6] = {0, 1, 0, 1, 0, 1}, polar[6] = {0, 2, 0, kTwoPi, 0, kPi};
  for (int i = 0; i < 6; ++i) EXPECT_TRUE(view->settings.unitRanges[i] == units[i] && view->settings.parameterRanges[i] == polar[i]);
  EXPECT_TRUE(view->spinAxis[0] == 0 && view->spinAxis[1] == 0 && view->spinAxis[2] == -1 && view->spinSpeed == 0.8);
  EXPECT_TRUE(view->showAxes == 1 && view->lastSpinAngle == 0 && view->dragMode == kDragNone);
  EXPECT_TRUE(view->NeedsRedraw());
  ASSERT_NE(view->context, nullptr);
  EXPECT_EQ(view->context->window, static_cast<void*>(&document));
  EXPECT_FALSE(view->HasWindowContext());
}

TEST_F(View3DTest, ZoomAnimatesInTwoStepsAboutTheBoxCentre) {
  struct Case {
    int32_t code;
    double low, high;          // x range before
    double steps[3];           // x maximum at the three redraws
    double finalLow;
  } cases[] = {
      {0, -2, 2, {1.6, 1.28, 1.0}, -1.0},
      {3, -2, 2, {2.5, 3.125, 4.0}, -4.0},
      {1, 0, 4, {3.6, 3.28, 3.0}, 1.0},  // any code but 3 zooms in; the centre 2 stays
  };
  for (const Case& c : cases) {
    const double box[6] = {c.low, c.high, -2, 2, -2, 2};
    std::copy(box, box + 6, view->settings.camera.box);
    document.boxes.clear();
    document.log.clear();
    log.clear();
    AddRecording("g");
    view->Command(c.code);
    ASSERT_EQ(document.boxes.size(), 3u) << c.code;
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(document.boxes[k], c.steps[k], 1e-15) << c.code << " step " << k;
    EXPECT_NEAR(view->settings.camera.box[0], c.finalLow, 1e-15);
    EXPECT_NEAR(view->settings.camera.box[3], c.code == 3 ? 4.0 : 1.0, 1e-15);  // y too
    // Each step: graphs invalidated, computed, uploaded once ready; the pane redrawn.
    EXPECT_EQ(std::count(log.begin(), log.end(), "g invalidate"), 3);
    EXPECT_EQ(std::count(log.begin(), log.end(), "g compute"), 3);
    EXPECT_EQ(std::count(log.begin(), log.end(), "g option 5"), 3);
    EXPECT_EQ(document.Count("view flags"), 3);
    EXPECT_EQ(document.Count("messages"), 3);
    EXPECT_EQ(document.log.back(), "invalidate pane");
    EXPECT_EQ(document.log.front(), "modified");
    DeleteGraphList(view->graphs);
  }
}

TEST_F(View3DTest, DepthDragsFollowTheMouseAndClampAtBothEnds) {
  const double start = 1.7330909743;
  struct Case {
    int32_t v;
    double depth;
  } cases[] = {{110, start + 0.3}, {40, 0.17330909743}, {250, 5.0}, {100, start}};
  for (const Case& c : cases) {
    view->settings.camera.zoom = start;
    EXPECT_EQ(Drag(MakePoint(100, 100), {MakePoint(100, c.v)}, {kClickControlKey}), ClickResult::Handled);
    EXPECT_NEAR(view->settings.camera.zoom, c.depth, 1e-12) << c.v;
    EXPECT_EQ(view->dragMode, kDragNone);
  }
}

TEST_F(View3DTest, SpinStepsTurnByElapsedTimeCappedSmoothedAndExactInMovies) {
  Add(new FakeGraph3D());
  struct Case {
    double speed, previous;
    double elapsedMs;
    bool movie;
    double angle;  // of the step, by hand
  } cases[] = {
      {0.8, 0, 10000, false, kCap},      // a 10 s pause turns 20 degrees, not 8 rad
      {-0.8, 0, 10000, false, -kCap},    // the cap holds for a backward spin (the wheel's)
      {0.8, 0.1, 250, false, 0.101},     // 0.2 wanted after 0.1: speeds up slowly
      {0.8, 0.1, 62.5, false, 0.09},     // 0.05 wanted after 0.1: slows down quickly
      {0.5, 0.3, 5000, true, 0.5},       // a movie frame turns by the speed exactly
      {0.8, 0, 500, false, 0.4 > kCap ? kCap : 0.4},
  };
  for (const Case& c : cases) {
    SetMovieExportFlag(c.movie);
    view->spinSpeed = c.speed;
    view->spinMicroseconds = 0;
    double before[9];
    CopyMatrix3(view->settings.camera.orientation, before);
    view->SpinStep();  // the first step after a pause has no time to turn by
    EXPECT_EQ(view->lastSpinAngle, c.movie ? c.speed : 0.0);
    CopyMatrix3(view->settings.camera.orientation, before);
    view->lastSpinAngle = c.previous;
    clock.Advance(uint64_t(c.elapsedMs * double(kMs)));
    view->SpinStep();
    EXPECT_NEAR(view->lastSpinAngle, c.angle, 1e-12) << c.speed << " " << c.elapsedMs;
    double turn[9], expected[9];
    AxisAngleToMatrix3(turn, view->spinAxis, view->lastSpinAngle);
    MultiplyMatrix3(turn, before, expected);
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(view->settings.camera.orientation[i], expected[i], 1e-15);
  }
  SetMovieExportFlag(false);
  EXPECT_NEAR(document.frameTimes.back(), 0.5, 1e-12);  // each turning step reports its elapsed time
}

TEST_F(View3DTest, SpinStepsHoldStillWithoutGraphsWhileTrackingAndWithoutAnAxis) {
  view->spinMicroseconds = 5;
  view->lastSpinAngle = 0.2;
  view->SpinStep();  // no graphs: timing restarts
  EXPECT_TRUE(view->spinMicroseconds == 0 && view->lastSpinAngle == 0);
  Add(new FakeGraph3D());
  double before[9];
  CopyMatrix3(view->settings.camera.orientation, before);
  document.tracking = true;
  view->SpinStep();
  clock.Advance(100 * kMs);
  view->SpinStep();
  EXPECT_TRUE(view->spinMicroseconds == 0 && Vectors3NearlyEqual(before, view->settings.camera.orientation));
  document.tracking = false;
  view->spinAxis[0] = view->spinAxis[1] = view->spinAxis[2] = std::nan("");
  view->SpinStep();
  clock.Advance(100 * kMs);
  view->SpinStep();
  for (double x : view->settings.camera.orientation) EXPECT_TRUE(std::isfinite(x));
  EXPECT_TRUE(Vectors3NearlyEqual(before, view->settings.camera.orientation));
}

TEST_F(View3DTest, ResetAndNewViewCommandsRestoreTheCamera) {
  AddRecording("g");
  for (int32_t code : {kCommandResetView3D, kCommandNewView3D}) {
    view->SetOption(kOptionToggleAxes, 0);
    view->SetOption(kOptionSpinX, 0);
    view->settings.camera.box[1] = 7;
    view->settings.camera.zoom = 3;
    view->settings.camera.orientation[0] = 0.5;
    view->settings.unitRanges[1] = 9;
    view->settings.parameterRanges[1] = 9;
    document.log.clear();
    log.clear();
    view->Command(code);
    double expected[9];
    MakeDefaultViewOrientation(expected);
    EXPECT_TRUE(Vectors3NearlyEqual(expected, view->settings.camera.orientation));
    EXPECT_TRUE(view->settings.camera.box[1] == 2 && view->settings.camera.zoom == 1.7330909743);
    EXPECT_TRUE(view->spinAxis[2] == -1 && view->spinAxis[0] == 0 && view->spinSpeed == 0.8);
    EXPECT_EQ(view->settings.parameterRanges[1], 2);
    EXPECT_EQ(log, (Log{"g invalidate"}));
    EXPECT_EQ(document.Count("view flags"), 1);
    if (code == kCommandResetView3D) {
      EXPECT_EQ(view->showAxes, 0);  // the reset leaves the axes as they were
      EXPECT_EQ(view->settings.unitRanges[1], 9);
      EXPECT_EQ(document.Count("modified"), 1);
    } else {
      EXPECT_EQ(view->showAxes, 1);
      EXPECT_EQ(view->settings.unitRanges[1], 1);
      EXPECT_EQ(document.Count("modified"), 0);  // a new view is no change of the document
    }
  }
}

TEST_F(View3DTest, OptionsAndGraphOptions) {
  AddRecording("g");
  view->SetOption(kOptionUploadMeshes, 0);
  EXPECT_TRUE(log == Log{"g option 5"} && document.log.empty());  // 5 is no change of the document
  struct OptionCase {
    int32_t code;
    double axis[3];
    double speed;
  } options[] = {{kOptionSpinX, {1, 0, 0}, 0.8}, {kOptionSpinY, {0, 1, 0}, 0.8}, {kOptionSpinZ, {0, 0, -1}, 0.8}};
  for (const OptionCase& c : options) {
    view->SetOption(kOptionStopSpin, 0);
    EXPECT_EQ(view->spinSpeed, 0);
    view->SetOption(c.code, 0);
    EXPECT_TRUE(view->spinAxis[0] == c.axis[0] && view->spinAxis[1] == c.axis[1] && view->spinAxis[2] == c.axis[2]);
    EXPECT_EQ(view->spinSpeed, c.speed);
  }
  view->SetOption(kOptionToggleAxes, 0);
  EXPECT_EQ(view->showAxes, 0);
  view->SetOption(kOptionToggleAxes, 0);
  EXPECT_EQ(view->showAxes, 1);
  EXPECT_EQ(document.Count("modified"), 8);

  struct GraphCase {
    int32_t code, index;
    bool passed, redrawn;
  } cases[] = {{0, 0, true, true}, {6, 0, true, true}, {7, 0, true, true}, {8, 0, true, false},
               {9, 0, false, false}, {6, 1, false, false}, {6, -1, false, false}};
  for (const GraphCase& c : cases) {
    log.clear();
    document.log.clear();
    view->SetGraphOption(c.code, 3, c.index);
    EXPECT_EQ(log.size(), c.passed ? 1u : 0u) << c.code << " " << c.index;
    EXPECT_EQ(document.Count("redraw"), c.redrawn ? 1 : 0) << c.code;
    EXPECT_EQ(document.Count("modified"), 1);
  }
}

TEST_F(View3DTest, TicksComputeWithinTheDeadlineAndNotAtAllWhenEmpty) {
  RecordingGraph3D* first = AddRecording("first");
  RecordingGraph3D* second = AddRecording("second");
  first->work = 1000;  // eats any budget
  second->work = 5;
  view->rect = MakeRect(0, 0, 0, 200);
  view->Tick(100);
  EXPECT_TRUE(log.empty());
  view->rect = MakeRect(0, 0, 200, 200);
  view->Tick(20);
  EXPECT_EQ(log, (Log{"first compute"}));
  EXPECT_EQ(document.numberFormats, 1);
  first->work = 0;
  log.clear();
  view->Tick(20);
  EXPECT_EQ(log, (Log{"first compute", "second compute"}));
  EXPECT_TRUE(view->IsReady());
  view->Tick(0);
  EXPECT_EQ(log.size(), 2u);
}

TEST_F(View3DTest, FramesDrawTransparentGraphsFirstAndStopAtAnUnfinishedGraph) {
  RecordingGraph3D* a = AddRecording("a");
  RecordingGraph3D* b = AddRecording("b");
  RecordingGraph3D* c = AddRecording("c");
  view->SetOption(kOptionStopSpin, 0);
  const QDRect pane = MakeRect(0, 0, 200, 200);
  EXPECT_TRUE(view->DrawFrame());
  EXPECT_EQ(log, (Log{"a draw", "b draw", "c draw"}));
  EXPECT_GT(view3d_test::CountPanePixels(0x00ff00, pane), 100);  // the axes
  b->transparent = true;
  log.clear();
  EXPECT_TRUE(view->DrawFrame());
  EXPECT_EQ(log, (Log{"b draw", "a draw", "c draw"}));
  b->transparent = false;
  a->drawAnswer = false;
  log.clear();
  EXPECT_FALSE(view->DrawFrame());
  EXPECT_EQ(log, (Log{"a draw"}));
  EXPECT_EQ(view3d_test::CountPanePixels(0x00ff00, pane), 0);  // no axes after an unfinished graph
  // The scene radius follows the largest extent, never below 2.3.
  a->drawAnswer = true;
  c->extent = 3.5;
  view->DrawFrame();
  EXPECT_EQ(view->settings.camera.radius, 3.5);
  c->extent = std::nan("");
  view->DrawFrame();
  EXPECT_EQ(view->settings.camera.radius, 2.3);
  // Nothing to draw into: complete, nothing drawn.
  log.clear();
  view->rect = MakeRect(0, 0, 200, 0);
  EXPECT_TRUE(view->DrawFrame());
  EXPECT_TRUE(log.empty());
}

TEST_F(View3DTest, AFreeDragTurnsByTheTrackballMatrixInTheScenesFrame) {
  view->SetOption(kOptionStopSpin, 0);
  double m0[9];
  CopyMatrix3(view->settings.camera.orientation, m0);
  const QDPoint a = MakePoint(100, 100), b = MakePoint(130, 85);
  ASSERT_EQ(Drag(a, {b}, {kClickOptionKey}, 50), ClickResult::Handled);
  // Centre (100, 100), radius trunc(0.4 * 200) = 80; the new point is p1.
  double r[9], expected[9];
  TrackballRotation3(b, a, MakePoint(100, 100), 80, r);
  ConjugateRotation3(m0, r);
  MultiplyMatrix3(r, m0, expected);
  for (int i = 0; i < 9; ++i) EXPECT_NEAR(view->settings.camera.orientation[i], expected[i], 1e-15);
  EXPECT_LT(OrthonormalityError(view->settings.camera.orientation), 1e-15);
  double axis[3], angle;
  RotationMatrixToAxisAngle(axis, &angle, r);
  EXPECT_NEAR(view->spinSpeed, angle / 0.05, 1e-9);  // the step's angle over its 50 ms
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(view->spinAxis[i], axis[i], 1e-12);
  EXPECT_EQ(document.Count("redraw"), 1);
  // A move in the same clock tick as the mouse-down: the speed is capped at 4 pi, not infinite.
  Drag(a, {b}, {kClickOptionKey}, 0);
  EXPECT_EQ(view->spinSpeed, 4 * kPi);
}

// The picture follows the mouse: the model point in front of the scene moves with the drag.
TEST_F(View3DTest, ThePictureFollowsTheMouse) {
  struct Case {
    int32_t dh, dv;
  } cases[] = {{20, 0}, {-20, 0}, {0, 20}, {0, -20}};
  for (const Case& c : cases) {
    view->SetOption(kOptionStopSpin, 0);
    view->Command(kCommandResetView3D);
    GraphicsContext probe;
    probe.viewFrame = &view->settings.camera;
    probe.width = probe.height = 200;
    SetSoftwareCamera(&probe);
    // The cube point on the line of sight, half way to the eye side.
    const double* m = view->settings.camera.orientation;
    const double front[3] = {1.5 * m[0], 1.5 * m[3], 1.5 * m[6]};
    double before[3], after[3];
    ProjectCubePoint(&probe, front, before);
    EXPECT_NEAR(before[0], 100, 1e-9);
    EXPECT_NEAR(before[1], 100, 1e-9);
    Drag(MakePoint(100, 100), {MakePoint(100 + c.dh, 100 + c.dv)}, {kClickOptionKey});
    SetSoftwareCamera(&probe);
    ProjectCubePoint(&probe, front, after);
    EXPECT_GT((after[0] - before[0]) * c.dh + (after[1] - before[1]) * c.dv, 5) << c.dh << "," << c.dv;
    EXPECT_LT(std::fabs((after[0] - before[0]) * c.dv - (after[1] - before[1]) * c.dh), 1e-6);
  }
}

TEST_F(View3DTest, ASpinGoesOnAfterTheReleaseAndStopsOnAClickOrAStillMouse) {
  Add(new FakeGraph3D());
  // The scripted pointer's release comes right after the last move: the drag ends moving.
  Drag(MakePoint(100, 100), {MakePoint(110, 100), MakePoint(120, 100)}, {kClickOptionKey});
  const double speed = view->spinSpeed;
  EXPECT_GT(speed, 0);
  double before[9];
  CopyMatrix3(view->settings.camera.orientation, before);
  view->SpinStep();
  clock.Advance(20 * kMs);
  view->SpinStep();
  EXPECT_FALSE(Vectors3NearlyEqual(before, view->settings.camera.orientation));
  EXPECT_EQ(view->spinSpeed, speed);
  // A click without moving stops it.
  Drag(MakePoint(50, 50), {}, {kClickOptionKey});
  EXPECT_EQ(view->spinSpeed, 0);
  // Moving, then holding the mouse still: two 20-tick waits pass more than 20 ticks.
  pointer.Push(Step{10 * kMs, PointerEventKind::kMoved, MakePoint(115, 100)});
  pointer.Push(Step{2000 * kMs, PointerEventKind::kReleased, MakePoint(115, 100)});
  view->Click(MakePoint(100, 100), 0, Keys({kClickOptionKey}));
  EXPECT_EQ(view->spinSpeed, 0);
  // ... but not while a demo plays.
  SetDemoRunning(true);
  pointer.Push(Step{10 * kMs, PointerEventKind::kMoved, MakePoint(115, 100)});
  pointer.Push(Step{2000 * kMs, PointerEventKind::kReleased, MakePoint(115, 100)});
  view->Click(MakePoint(100, 100), 0, Keys({kClickOptionKey}));
  EXPECT_GT(view->spinSpeed, 0);
}

TEST_F(View3DTest, ALockedDragTurnsAboutOneCoordinateAxis) {
  view->SetOption(kOptionStopSpin, 0);
  struct Case {
    std::initializer_list<QDPoint> path;
  } cases[] = {
      {{MakePoint(110, 102), MakePoint(125, 106), MakePoint(140, 100), MakePoint(160, 95)}},
      {{MakePoint(101, 120), MakePoint(104, 140), MakePoint(99, 170)}},
      {{MakePoint(90, 90), MakePoint(70, 72), MakePoint(40, 45)}},
  };
  for (const Case& c : cases) {
    view->Command(kCommandResetView3D);
    view->SetOption(kOptionStopSpin, 0);
    double m0[9];
    CopyMatrix3(view->settings.camera.orientation, m0);
    Drag(MakePoint(100, 100), c.path, {kClickShiftKey});
    // orientation = L m0: L = orientation m0^T turns about one coordinate axis k (row and column k
    // are e_k) by a non-zero angle.
    double t[9], l[9];
    CopyMatrix3(m0, t);
    TransposeMatrix3(t);
    MultiplyMatrix3(view->settings.camera.orientation, t, l);
    int fixed = 0;
    for (int k = 0; k < 3; ++k) {
      bool axis = std::fabs(l[4 * k] - 1) < 1e-12;
      for (int j = 0; j < 3; ++j) {
        if (j != k) axis = axis && std::fabs(l[3 * k + j]) < 1e-12 && std::fabs(l[3 * j + k]) < 1e-12;
      }
      fixed += axis;
    }
    EXPECT_EQ(fixed, 1);
    EXPECT_LT(OrthonormalityError(view->settings.camera.orientation), 1e-12);
    EXPECT_EQ(view->lockedAxisSet, 0);  // cleared at the release
  }
}

TEST_F(View3DTest, ClicksAreDeclinedForTheCommandKeyAndOnTheBackground) {
  EXPECT_EQ(view->Click(MakePoint(100, 100), 0, Keys({kClickCommandKey})), ClickResult::Declined);
  EXPECT_EQ(document.Count("modified"), 1);
  view->SetOption(kOptionStopSpin, 0);
  auto* surface = Add(new sample_surface::Bump3D(24, view->settings.camera.box, view->context));
  surface->Compute(1);
  view->SetOption(kOptionUploadMeshes, 0);
  ASSERT_TRUE(view->DrawFrame());
  SetGWorld(view3d_test::gPane.buffer, nullptr);
  EXPECT_EQ(view->Click(MakePoint(5, 5), 0, Keys({})), ClickResult::Declined);  // white there
  EXPECT_EQ(view->dragMode, kDragDeclined);
  EXPECT_EQ(Drag(MakePoint(100, 90), {MakePoint(104, 90)}, {}), ClickResult::Handled);  // on the bump
  SetGWorld(nullptr, nullptr);
  view->dragMode = kDragNone;
}

TEST_F(View3DTest, TheWheelSetsTheSpinSpeed) {
  view->spinMicroseconds = 77;
  view->lastSpinAngle = 0.3;
  EXPECT_EQ(view->ScrollWheel(0, -4), 1);
  EXPECT_TRUE(view->spinSpeed == -0.8 && view->spinMicroseconds == 0 && view->lastSpinAngle == 0);
  EXPECT_EQ(view->spinAxis[2], -1);  // about the axis it had
  view->ScrollWheel(3, 0);
  EXPECT_FALSE(view->NeedsRedraw());
}

}  // namespace
