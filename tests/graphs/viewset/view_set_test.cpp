// The view set over fake views, a fake clock and a recording document: the idle tick's budget
// split, pane geometry (the narrow pane included), slot entries, broadcasts, mouse and wheel
// routing, invalidation, GL housekeeping and the settings copies. Expected calls and numbers are
// worked out by hand from the operations' rules.
#include "graphs/viewset/graph_view_set.h"
#include "tests/graphs/graphs_test_support.h"
#include "tests/platform/draw_test_support.h"

namespace {

using graphs_test::FakeGraph;
using graphs_test::Log;

constexpr double kPi = 3.141592653589793;

class ViewSetTest : public graphs_test::GraphsTest {
 protected:
  void SetUp() override {
    GraphsTest::SetUp();
    set.first2D = first2D = new graphs_test::FakeView2D("2D-1", &views);
    set.second2D = second2D = new graphs_test::FakeView2D("2D-2", &views);
    set.first3D = first3D = new graphs_test::FakeView3D("3D-1", &views);
    set.second3D = second3D = new graphs_test::FakeView3D("3D-2", &views);
    set.view4D = view4D = new graphs_test::FakeView4D("4D", &views);
    InitViewSet(&set, MakeRect(0, 0, 100, 50), &document);
  }
  void TearDown() override {
    EXPECT_TRUE(CheckViewSet(&set));
    DestroyViewSet(&set);
    // The recording views are the test's own: the set destroys only the views it built.
    delete first2D;
    delete second2D;
    delete first3D;
    delete second3D;
    delete view4D;
    GraphsTest::TearDown();
  }
  void Show(GraphView* primary, GraphView* secondary) {
    set.primary = primary;
    set.secondary = secondary;
    views.clear();
    document.log.clear();
  }
  FakeGraph* AddGraph(GraphView* view, int32_t work = 0) {
    auto* graph = new FakeGraph(work, &deletions);
    EXPECT_TRUE(PtrArrayAppend(view->graphs, static_cast<GraphKind*>(graph)));
    return graph;
  }
  graphs_test::FakeDocument document;
  GraphViewSet set;
  Log views;
  graphs_test::FakeView2D *first2D, *second2D;
  graphs_test::FakeView3D *first3D, *second3D;
  graphs_test::FakeView4D* view4D;
  int deletions = 0;
};

TEST_F(ViewSetTest, PrimaryBurnsTheWholeBudgetAndTheSecondaryStillGetsItsTick) {
  FakeClock clock;
  Show(first3D, second3D);
  first3D->tickCost = 30;  // more than the budget
  AddGraph(second3D, 4);   // not ready
  ViewSetIdleTick(&set, 20);
  EXPECT_EQ(views,
            (Log{"3D-1 tick 20", "3D-1 ready?", "2D-1 option 5", "3D-1 option 5", "3D-2 tick 0", "3D-2 ready?"}));
  EXPECT_EQ(document.log, (Log{"tags 5 11 00"}));  // code 5: no redraw
  views.clear();
  first3D->tickCost = 5;  // 15 units left for the secondary, which finishes
  ViewSetIdleTick(&set, 20);
  EXPECT_EQ(views, (Log{"3D-1 tick 20", "3D-1 ready?", "2D-1 option 5", "3D-1 option 5", "3D-2 tick 15",
                        "3D-2 ready?", "2D-2 option 5", "3D-2 option 5"}));
  Show(first2D, nullptr);  // one view: side 1 is never touched
  AddGraph(first2D, 100);
  ViewSetIdleTick(&set, 20);
  EXPECT_EQ(views, (Log{"2D-1 tick 20", "2D-1 ready?"}));
}

TEST_F(ViewSetTest, ConstructionAndPaneSplitAroundTheDividerThatNeverInvertsARectangle) {
  EXPECT_TRUE(set.primary == first2D && set.secondary == nullptr && set.graphTable.count == 0);
  EXPECT_TRUE(view4D->document == &document && ViewSetView(&set, kViewSecond3D) == second3D);
  EXPECT_TRUE(ViewSetView(&set, kNoView) == nullptr && ViewSetView(&set, 6) == nullptr);
  Show(second2D, nullptr);  // a side-1 view cannot be the primary
  EXPECT_FALSE(CheckViewSet(&set));
  Show(first2D, second2D);
  ViewSetSetPaneRect(&set, MakeRect(10, 20, 110, 220));
  EXPECT_TRUE(first2D->rect.right == 10 + 44 && second2D->rect.left == 10 + 55);
  EXPECT_EQ(first3D->rect.right, 110);  // views not shown keep the pane
  EXPECT_EQ(views, (Log{"2D-1 geometry", "2D-2 geometry", "3D-1 geometry", "3D-2 geometry"}));
  for (QDRect pane : {MakeRect(0, 0, 10, 40), MakeRect(0, 0, 8, 40), MakeRect(0, 0, 0, 40), MakeRect(0, 30, 11, 20)}) {
    ViewSetSetPaneRect(&set, pane);
    for (const QDRect& r : {first2D->rect, second2D->rect}) EXPECT_TRUE(r.right >= r.left && r.bottom >= r.top);
  }
  Show(first3D, nullptr);
  ViewSetSetPaneRect(&set, MakeRect(0, 0, 100, 50));
  for (int slot = kViewFirst2D; slot <= kView4D; ++slot) {
    EXPECT_TRUE(EqualRect(ViewSetView(&set, slot)->rect, set.paneRect));
  }
  EXPECT_TRUE(EqualRect(ViewSetGetViewRect(&set, 1), set.paneRect));  // no secondary: the pane
}

TEST_F(ViewSetTest, MovieFramesFromSpinSpeedsKeepTheSign) {
  const struct { double speed; int32_t frames, expectedFrames; double expectedSpeed; } cases[] = {
      {15 * kPi / 50, 0, 100, kPi / 50}, {-15 * kPi / 50, 0, 100, -kPi / 50}, {15 * 0.001, 0, 200, 0.01 * kPi},
      {-15 * 0.001, 0, 200, -0.01 * kPi}, {15.0, 40, 40, 2 * kPi / 40},     {0.0, 7, 7, 0.0},
      // The cap is tested after rounding: 200.3 frames round to 200 and keep their speed; 200.6
      // round to 201 and are capped.
      {15 * 2 * kPi / 200.3, 0, 200, 2 * kPi / 200.3}, {15 * 2 * kPi / 200.6, 0, 200, 0.01 * kPi}};
  Show(first3D, nullptr);
  for (const auto& c : cases) {
    first3D->spinSpeed = c.speed;
    EXPECT_EQ(ViewSetApplyToGLViews(&set, c.frames), c.expectedFrames) << c.speed;
    EXPECT_DOUBLE_EQ(first3D->spinSpeed, c.expectedSpeed) << c.speed;
  }
  Show(view4D, second3D);  // the secondary's frames carry into the 4D view
  second3D->spinSpeed = 15 * kPi / 50;
  view4D->spinSpeed1 = 3.0;
  view4D->spinSpeed2 = 7.0;
  EXPECT_EQ(ViewSetApplyToGLViews(&set, 0), 100);
  EXPECT_TRUE(view4D->spinSpeed1 == 2 * kPi / 100 && view4D->spinSpeed2 == 2 * kPi / 100);
}

TEST_F(ViewSetTest, SlotEntriesReachEachPairAndRefuseRowsOutsideTheTable) {
  FakeGraph* graph = AddGraph(first2D);
  graph->status = 7;
  ASSERT_TRUE(Array32Append(set.graphTable, GraphTableRow{{{1, 0}, {2, 1}, {3, 2}, {4, 3}}}));
  ASSERT_TRUE(Array32Append(set.graphTable, GraphTableRow{{{1, 5}, {0, 0}, {0, 0}, {0, 0}}}));
  Show(first2D, nullptr);
  ViewSetSelectSlotEntry(&set, 6, 3.0, -1);
  ViewSetSelectSlotEntry(&set, 6, 3.0, 2);
  ViewSetSelectSlotEntry(&set, 6, 3.0, 0);  // colours of the third and fourth pair become 8
  ViewSetSelectSlotEntry(&set, 6, 17.0, 0);
  EXPECT_EQ(views, (Log{"2D-1 graph option 6 3 0", "2D-2 graph option 6 3 1", "3D-1 graph option 6 8 2",
                        "3D-2 graph option 6 8 3", "2D-1 graph option 6 17 0", "2D-2 graph option 6 17 1",
                        "3D-1 graph option 6 17 2", "3D-2 graph option 6 17 3"}));
  EXPECT_EQ(ViewSetGetSlotEntry(&set, 0), 7);
  EXPECT_EQ(ViewSetGetSlotEntry(&set, 1) + ViewSetGetSlotEntry(&set, 2), 0);  // index past the list; no row
  GrowArray<int32_t> rows;
  ASSERT_TRUE(GrowArrayAppend(rows, 0));
  EXPECT_TRUE(ViewSetMatchSingleEquation(&set, rows, graph) && !ViewSetMatchSingleEquation(&set, rows, nullptr));
  rows.data[0] = 1;
  EXPECT_FALSE(ViewSetMatchSingleEquation(&set, rows, graph));
  GrowArrayFree(rows);
}

TEST_F(ViewSetTest, BroadcastsMapSidesToViewsAndMarkTheDocument) {
  Show(first2D, second2D);
  first2D->showGraphPaper = 0;
  second2D->showAxes = 0;
  ViewSetSetOptionAll(&set, 15, 0);
  ViewSetSetOptionAll(&set, 5, 2);
  ViewSetThirdViewCommand(&set, 14, 4.0);
  EXPECT_EQ(views, (Log{"2D-1 option 15", "3D-1 option 15", "2D-1 option 5", "2D-2 option 5", "3D-1 option 5",
                        "3D-2 option 5", "4D option 14"}));
  EXPECT_EQ(document.log, (Log{"tags 15 10 01", "redraw", "tags 5 10 01"}));
  Show(first3D, second3D);
  ViewSetBroadcastCommand(&set, 6, 2);
  EXPECT_EQ(views.size(), 5u);
  Show(first3D, second3D);
  ViewSetBroadcastCommand(&set, 3, 2);
  ViewSetBroadcastCommand(&set, 7, 1);
  EXPECT_EQ(views, (Log{"3D-1 command 3", "3D-2 command 3", "3D-2 command 7"}));
  EXPECT_EQ(document.log, (Log{"dirty", "modified", "cursor", "dirty", "cursor"}));  // 7 leaves the mark
}

TEST_F(ViewSetTest, VariablesAndDeletionReachEveryGraphOnce) {
  FakeGraph* a = AddGraph(first2D);
  FakeGraph* b = AddGraph(view4D);
  first2D->probeReadout.mode = 9;
  ViewSetSetVariableAll(&set, 'a', 2.5);
  EXPECT_TRUE(a->changes.size() == 1 && b->changes[0].second == 2.5 && first2D->probeReadout.mode == 0);
  AddGraph(second3D);
  ASSERT_TRUE(GrowArrayAppend(second3D->graphs, static_cast<GraphKind*>(nullptr)));
  ASSERT_TRUE(Array32Append(set.graphTable, GraphTableRow{}));
  ViewSetDeleteAllGraphs(&set);
  EXPECT_EQ(deletions, 3);
  for (int slot = kViewFirst2D; slot <= kView4D; ++slot) EXPECT_FALSE(ViewSetView(&set, slot)->graphs.data);
  EXPECT_EQ(set.graphTable.count, 0);
  EXPECT_EQ(document.log, (Log{"textfield"}));
}

TEST_F(ViewSetTest, MouseWheelAndInvalidationGoByTheViewUnderThePoint) {
  Show(first2D, second3D);
  ViewSetLayoutViews(&set);  // 0..44 and 55..100
  const ClickFlags flags{};
  EXPECT_EQ(ViewSetTrackMouse(&set, MakePoint(10, 10), 0, flags), ClickResult::Handled);
  EXPECT_EQ(set.clicked, first2D);
  EXPECT_EQ(ViewSetTrackMouse(&set, MakePoint(60, 10), 0, flags), ClickResult::Handled);
  EXPECT_EQ(set.clicked, second3D);
  EXPECT_EQ(ViewSetTrackMouse(&set, MakePoint(50, 10), 0, flags), ClickResult::Declined);  // the divider
  EXPECT_EQ(ViewSetScrollWheel(&set, MakePoint(50, 10), 1, 2), 0);
  EXPECT_EQ(ViewSetScrollWheel(&set, MakePoint(70, 10), 1, 2), 1);
  EXPECT_EQ(views, (Log{"2D-1 click", "3D-2 click", "3D-2 wheel 1 2"}));
  EXPECT_TRUE(ViewSetPointInCurrent2D(&set, MakePoint(10, 10)) && !ViewSetPointInCurrent2D(&set, MakePoint(60, 10)));
  EXPECT_TRUE(ViewSetDropOn2DView(&set, nullptr, nullptr));

  RgnHandle region = NewRgn();
  ViewSetInvalRect(&set, region, true);
  EXPECT_TRUE(PtInRgn(MakePoint(10, 10), region) && PtInRgn(MakePoint(60, 10), region));
  EXPECT_FALSE(PtInRgn(MakePoint(50, 10), region));
  ViewSetGLViewRegion(&set, region);
  EXPECT_TRUE(!PtInRgn(MakePoint(10, 10), region) && PtInRgn(MakePoint(60, 10), region));
  {
    draw_test::Refusal refusal(1);  // no region for the secondary: the whole pane is asked for
    ViewSetInvalRectMode(&set, region, false, MakePoint(0, 0));
  }
  EXPECT_TRUE(PtInRgn(MakePoint(50, 10), region));
  DisposeRgn(region);

  Show(first3D, nullptr);  // one view takes every click, wherever it falls
  EXPECT_EQ(ViewSetTrackMouse(&set, MakePoint(500, 500), 0, flags), ClickResult::Handled);
  EXPECT_FALSE(ViewSetDropOn2DView(&set, nullptr, nullptr));
  Show(nullptr, nullptr);
  EXPECT_EQ(ViewSetTrackMouse(&set, MakePoint(10, 10), 0, flags), ClickResult::Declined);
}

TEST_F(ViewSetTest, QueriesActivationAndBoundsFollowTheShownViews) {
  Show(view4D, second3D);
  second3D->windowContext = true;
  view4D->needsRedraw = true;
  EXPECT_TRUE(ViewSetIsThirdViewCurrent(&set) && ViewSetHas3DView(&set) && ViewSetAnyViewBusy(&set));
  EXPECT_FALSE(ViewSetIsPrimary2DActive(&set));
  ViewSetActivate(&set, 3);  // live redraw: only views that ask
  ViewSetActivate(&set, 2);
  EXPECT_EQ(views, (Log{"4D draw", "4D draw", "3D-2 draw"}));
  Show(first2D, second2D);
  ViewSetRedrawWhenBoth2D(&set, first2D);
  ViewSetSetBounds(&set, -3, 3, -1, 1, 2);
  EXPECT_EQ(views, (Log{"2D-1 range -3", "2D-2 range -3"}));
  EXPECT_EQ(document.log, (Log{"redraw", "modified"}));
}

TEST_F(ViewSetTest, SettingsCopiesCarryEveryNamedFieldBothWays) {
  Show(first2D, second2D);
  View2DScale& from = second2D->scale;
  double* fields[14] = {&from.rangeT[0], &from.rangeT[1], &from.rangeR[0], &from.rangeR[1], &from.rangeTheta[0],
                        &from.rangeTheta[1], &from.scaleX, &from.scaleY, &from.originH, &from.originV,
                        &from.pixelsPerUnitX, &from.pixelsPerUnitY, &from.cornerX, &from.cornerY};
  for (int k = 0; k < 14; ++k) *fields[k] = 100.0 + k;
  from.stepDigitX = 2;
  from.stepDigitY = 5;
  ViewSetCopyViewSettings(&set, 0);  // into the first 2D view, from the second
  first2D->scale.cornerX = -9;
  for (int k = 0; k < 14; ++k) *fields[k] = 0;
  from.stepDigitX = from.stepDigitY = 0;
  ViewSetCopyViewSettings(&set, 1);  // and back
  for (int k = 0; k < 14; ++k) EXPECT_EQ(*fields[k], k == 12 ? -9.0 : 100.0 + k) << k;
  EXPECT_TRUE(from.stepDigitX == 2 && from.stepDigitY == 5 && views.back() == "2D-2 maps");
  Show(first3D, second3D);
  second3D->settings.camera.orientation[4] = -1;
  second3D->settings.parameterRanges[5] = 42;
  ViewSetCopyViewSettings(&set, 0);
  EXPECT_TRUE(first3D->settings.camera.orientation[4] == -1 && first3D->settings.parameterRanges[5] == 42);
}

}  // namespace
