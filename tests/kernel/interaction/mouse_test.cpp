// Mouse tracking over a scripted pointer and a fake clock: time-outs in fake time for both
// tracking forms, WaitMouseMoved's answers, headless behaviour, and the cursor setters.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "kernel/interaction/cursors.h"
#include "kernel/interaction/mouse_tracking.h"
#include "platform/clock.h"
#include "platform/pointer_source.h"

namespace {

using Kind = PointerEventKind;
using Moves = std::vector<std::pair<int, int>>;  // (v, h) of each reported move
constexpr uint64_t kSecond = 1000000000;

class Mouse : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetCursorsForTests();
    SetPointerSource(&pointer);
  }
  void TearDown() override {
    SetPointerSource(nullptr);
    ResetCursorsForTests();
  }
  uint64_t Elapsed() const { return clock.Now() - kStart; }
  static constexpr uint64_t kStart = 7 * kSecond;
  FakeClock clock{kStart};
  ScriptedPointerSource pointer{&clock};
};

// The loop form calls back for each move until the release, or gives up (true: the button
// is still down) once a wait outlasts the time-out, which restarts at each move.
TEST_F(Mouse, LoopFormFollowsMovesUntilReleaseOrTimeOut) {
  const uint64_t tenth = kSecond / 10;
  const struct {
    std::vector<ScriptedPointerSource::Step> steps;
    int32_t ticks;
    Moves moves;
    bool down;
    uint64_t took;
  } rows[] = {
      {{{100 * kSecond, Kind::kReleased, {1, 1}}}, 30, {}, true, 5 * tenth},  // 30 ticks: 0.5 s
      {{{kSecond, Kind::kMoved, {10, 20}}, {30 * kSecond, Kind::kMoved, {11, 22}},
        {60 * kSecond, Kind::kReleased, {12, 24}}}, -1, {{10, 20}, {11, 22}}, false, 91 * kSecond},
      {{{4 * tenth, Kind::kMoved, {0, 0}}, {4 * tenth, Kind::kMoved, {1, 0}},
        {6 * tenth, Kind::kReleased, {9, 9}}}, 30, {{0, 0}, {1, 0}}, true, 13 * tenth},
  };
  for (const auto& row : rows) {
    clock.Set(kStart);
    ScriptedPointerSource source(&clock);
    SetPointerSource(&source);
    for (const auto& step : row.steps) source.Push(step);
    Moves moves;
    auto record = [](void* data, QDPoint p) { static_cast<Moves*>(data)->emplace_back(p.v, p.h); };
    EXPECT_EQ(TrackMouseTicks(MouseTrackContext{record, &moves}, row.ticks), row.down) << row.took;
    EXPECT_EQ(moves, row.moves);
    EXPECT_EQ(Elapsed(), row.took);
  }
}

TEST_F(Mouse, StepFormReportsPointAndModifiersWhileDownAndNaNMeansNoLimit) {
  pointer.Push({kSecond / 10, Kind::kMoved, {5, 6}, 1 | 8});
  pointer.Push({500 * kSecond, Kind::kReleased, {7, 8}});
  QDPoint pt{0, 0};
  uint32_t modifiers = 0;
  EXPECT_TRUE(TrackMouseWhileDown(&pt, &modifiers, 1.0));  // the move
  EXPECT_EQ(std::make_pair(pt.v, pt.h), std::make_pair(int16_t{5}, int16_t{6}));
  EXPECT_EQ(modifiers, 9u);
  EXPECT_TRUE(TrackMouseTicks(&pt, 20));  // 1/3 s with no event: still down, same point
  EXPECT_EQ(pt.v, 5);
  EXPECT_FALSE(TrackMouseWhileDown(&pt, nullptr, std::nan("")));  // waits for the release
  EXPECT_EQ(pt.v, 7);
  EXPECT_EQ(Elapsed(), 500 * kSecond + kSecond / 10);
  EXPECT_FALSE(TrackMouseTicks(nullptr, 20));  // script exhausted: the button is up
}

TEST_F(Mouse, WaitMouseMovedAnswersTrueUnlessReleasedCancelledOrFailed) {
  const struct { Kind kind; uint64_t delay; bool moved; uint64_t elapsed; } rows[] = {
      {Kind::kMoved, kSecond, true, kSecond},        {Kind::kReleased, kSecond, false, kSecond},
      {Kind::kCancelled, kSecond, false, kSecond},   {Kind::kFailed, kSecond, false, kSecond},
      {Kind::kReleased, 20 * kSecond, true, 15 * kSecond},  // too late: the 15 s time-out
  };
  for (const auto& row : rows) {
    clock.Set(kStart);
    ScriptedPointerSource source(&clock);
    SetPointerSource(&source);
    source.Push({row.delay, row.kind, {3, 4}});
    EXPECT_EQ(WaitMouseMoved(nullptr), row.moved);
    EXPECT_EQ(Elapsed(), row.elapsed);
  }
}

// A source whose last press was already released (the release taken by an earlier loop or by the
// event loop), as the window reports it.
class ReleasedPointerSource : public ScriptedPointerSource {
 public:
  using ScriptedPointerSource::ScriptedPointerSource;
  bool IsButtonDown() override { return false; }
};

// A loop that starts after the release was taken waits for nothing: every entry point reports the
// button up at once, at a release still queued. Before, each waited for the next event (a move a
// hundred seconds on), and a loop went on after it.
TEST_F(Mouse, TrackingStartedAfterTheReleaseEndsAtOnce) {
  const struct {
    const char* entry;
    bool (*track)(QDPoint*);
  } entries[] = {
      {"step, no limit", [](QDPoint* p) { return TrackMouseTicks(p, -1); }},
      {"step, 20 ticks", [](QDPoint* p) { return TrackMouseTicks(p, 20); }},
      {"step, NaN seconds", [](QDPoint* p) { return TrackMouseWhileDown(p, nullptr, std::nan("")); }},
      {"loop, no limit", [](QDPoint*) { return TrackMouseTicks(MouseTrackContext{}, -1); }},
      {"wait for a move", [](QDPoint* p) { return WaitMouseMoved(p); }},
  };
  const ScriptedPointerSource::Step queued[] = {{100 * kSecond, Kind::kMoved, {1, 2}}, {0, Kind::kReleased, {7, 8}}};
  for (const auto& e : entries) {
    for (const auto& step : queued) {
      SCOPED_TRACE(e.entry);
      clock.Set(kStart);
      ReleasedPointerSource source(&clock);
      SetPointerSource(&source);
      source.Push(step);
      QDPoint p{0, 0};
      EXPECT_FALSE(e.track(&p));
      EXPECT_EQ(Elapsed(), 0u);
      if (step.kind == Kind::kReleased && std::string(e.entry) != "loop, no limit") {
        EXPECT_EQ(std::make_pair(p.v, p.h), std::make_pair(int16_t{7}, int16_t{8}));
      }
    }
  }
}

// Headless, no wait can hang: tracking ends at once, reporting the button up.
TEST_F(Mouse, HeadlessTrackingEndsAtOnce) {
  SetPointerSource(nullptr);
  EXPECT_FALSE(TrackMouseTicks(MouseTrackContext{}, -1) || TrackMouseTicks(nullptr, -1));
  EXPECT_FALSE(WaitMouseMoved(nullptr));
  SetPoofCursor();
}

TEST_F(Mouse, CursorSettersAndPoofFallback) {
  SetColorCursor128();  // not loaded yet: nothing happens
  SetThemeArrowCursor();
  SetThemeClosedHandCursor();
  SetPoofCursor();
  pointer.refusedThemeCursors = {kThemePoofCursor};
  SetPoofCursor();
  LoadColorCursors();
  SetColorCursor128();
  SetColorCursor355();
  SetColorCursor357();
  EXPECT_EQ(pointer.cursorLog, (std::vector<int>{0, 8, 22, 22, 0, 1128, 1355, 1357}));
}

}  // namespace
