// Mouse tracking over a scripted pointer and a fake clock: time-outs in fake time, both
// tracking signatures, WaitMouseMoved's answers, headless behaviour, and the cursors.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "kernel/interaction/cursors.h"
#include "kernel/interaction/mouse_tracking.h"
#include "platform/clock.h"
#include "platform/pointer_source.h"

namespace {

using Kind = PointerEventKind;
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

using Moves = std::vector<std::pair<int, int>>;  // (v, h) of each reported move

void RecordMove(void* data, QDPoint where) {
  static_cast<Moves*>(data)->emplace_back(where.v, where.h);
}

TEST_F(Mouse, LoopFormGivesUpAfterTheTimeOutWithTheButtonHeld) {
  pointer.Push({100 * kSecond, Kind::kReleased, {1, 1}});
  Moves moves;
  EXPECT_TRUE(TrackMouseTicks(MouseTrackContext{RecordMove, &moves}, 30));
  EXPECT_EQ(Elapsed(), kSecond / 2);  // 30 ticks = 0.5 s of fake time
  EXPECT_TRUE(moves.empty());
}

TEST_F(Mouse, LoopFormWithoutTimeOutFollowsEveryMoveUntilRelease) {
  pointer.Push({kSecond, Kind::kMoved, {10, 20}});
  pointer.Push({30 * kSecond, Kind::kMoved, {11, 22}});  // longer than any tick time-out
  pointer.Push({60 * kSecond, Kind::kReleased, {12, 24}});
  Moves moves;
  EXPECT_FALSE(TrackMouseTicks(MouseTrackContext{RecordMove, &moves}, -1));
  EXPECT_EQ(moves, (Moves{{10, 20}, {11, 22}}));
  EXPECT_EQ(Elapsed(), 91 * kSecond);
}

TEST_F(Mouse, LoopFormTimeOutRestartsAtEachMove) {
  // Moves 0.4 s apart never trip a 0.5 s time-out; the 0.6 s gap does.
  for (int i = 0; i < 3; ++i) pointer.Push({4 * kSecond / 10, Kind::kMoved, {int16_t(i), 0}});
  pointer.Push({6 * kSecond / 10, Kind::kReleased, {9, 9}});
  Moves moves;
  EXPECT_TRUE(TrackMouseWhileDown(MouseTrackContext{RecordMove, &moves}, 0.5));
  EXPECT_EQ(moves.size(), 3u);
  EXPECT_EQ(Elapsed(), 12 * kSecond / 10 + kSecond / 2);
}

TEST_F(Mouse, StepFormReportsStillDownUntilRelease) {
  pointer.Push({kSecond / 10, Kind::kMoved, {5, 6}, 2});
  pointer.Push({kSecond, Kind::kReleased, {7, 8}});
  QDPoint pt{0, 0};
  EXPECT_TRUE(TrackMouseTicks(&pt, 20));  // the move
  EXPECT_EQ(pt.v, 5);
  EXPECT_EQ(pt.h, 6);
  EXPECT_TRUE(TrackMouseTicks(&pt, 20));  // 1/3 s with no event: still down, same point
  EXPECT_EQ(pt.v, 5);
  EXPECT_EQ(pt.h, 6);
  EXPECT_EQ(Elapsed(), kSecond / 10 + 20 * kSecond / 60);
  uint32_t modifiers = 99;
  EXPECT_FALSE(TrackMouseWhileDown(&pt, &modifiers, -1.0));  // the release
  EXPECT_EQ(pt.v, 7);
  EXPECT_EQ(pt.h, 8);
  EXPECT_EQ(modifiers, 0u);
  EXPECT_FALSE(TrackMouseTicks(nullptr, 20));  // script exhausted: the button is up
}

TEST_F(Mouse, StepFormPassesModifiersAndTreatsNaNAsNoLimit) {
  pointer.Push({500 * kSecond, Kind::kMoved, {1, 2}, 1 | 8});
  uint32_t modifiers = 0;
  EXPECT_TRUE(TrackMouseWhileDown(nullptr, &modifiers, std::nan("")));
  EXPECT_EQ(modifiers, 9u);
  EXPECT_EQ(Elapsed(), 500 * kSecond);
}

TEST_F(Mouse, WaitMouseMovedAnswers) {
  const struct { Kind kind; bool moved; uint64_t elapsed; } rows[] = {
      {Kind::kMoved, true, kSecond},
      {Kind::kReleased, false, kSecond},
      {Kind::kCancelled, false, kSecond},
      {Kind::kFailed, false, kSecond},
      {Kind::kMoved, true, 15 * kSecond},  // the event comes too late: 15 s time-out
  };
  for (const auto& row : rows) {
    clock.Set(kStart);
    ScriptedPointerSource source(&clock);
    SetPointerSource(&source);
    source.Push({row.elapsed == kSecond ? kSecond : 20 * kSecond, row.kind, {3, 4}});
    QDPoint pt{0, 0};
    EXPECT_EQ(WaitMouseMoved(&pt), row.moved);
    EXPECT_EQ(Elapsed(), row.elapsed);
    EXPECT_EQ(WaitMouseMoved(nullptr), row.elapsed != kSecond);  // null point allowed
  }
}

TEST_F(Mouse, HeadlessTrackingEndsAtOnce) {
  SetPointerSource(nullptr);
  int calls = 0;
  MouseTrackContext context{[](void* d, QDPoint) { ++*static_cast<int*>(d); }, &calls};
  EXPECT_FALSE(TrackMouseTicks(context, -1));
  EXPECT_FALSE(TrackMouseTicks(nullptr, -1));
  EXPECT_FALSE(WaitMouseMoved(nullptr));
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(Elapsed(), 0u);
  SetPoofCursor();  // no source: nothing to do, and no crash
  LoadColorCursors();
  SetColorCursor128();
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

TEST_F(Mouse, BuiltInColorCursorsAreOpaqueAtTheirHotSpots) {
  for (int id : {128, 355, 357}) {
    const ColorCursorImage* image = BuiltInColorCursor(id);
    ASSERT_NE(image, nullptr) << id;
    EXPECT_EQ(image->resourceId, id);
    ASSERT_LT(image->hotSpot.v, 16);
    ASSERT_LT(image->hotSpot.h, 16);
    EXPECT_EQ(image->pixels[image->hotSpot.v * 16 + image->hotSpot.h] >> 24, 0xFFu) << id;
  }
  EXPECT_EQ(BuiltInColorCursor(129), nullptr);
  for (int theme : {kThemeArrowCursor, kThemeClosedHandCursor, kThemePoofCursor})
    EXPECT_NE(ThemeCursorName(theme), nullptr);
  EXPECT_EQ(ThemeCursorName(5), nullptr);
}

}  // namespace
