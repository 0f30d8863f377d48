// The view set over fake views, a fake clock and a recording document: the idle tick's budget
// split, pane geometry (the narrow pane included), the graph table's slot entries, broadcasts,
// mouse and wheel routing, invalidation, GL housekeeping and the settings copies. Expected calls
// and numbers are worked out by hand from the operations' rules.
#include <cmath>

#include "graphs/graph_view_set.h"
#include "kernel/threads/timers.h"
#include "tests/graphs/graph_fakes.h"
#include "tests/graphs/graphs_test_support.h"
#include "tests/platform/draw_test_support.h"

namespace {

using graphs_test::FakeDocument;
using graphs_test::FakeGraph;
using graphs_test::FakeView2D;
using graphs_test::FakeView3D;
using graphs_test::FakeView4D;
using graphs_test::Log;

constexpr double kPi = 3.141592653589793;

class ViewSetTest : public graphs_test::GraphsTest {
 protected:
  void SetUp() override {
    GraphsTest::SetUp();
    ResetTimersForTests();
    set.first2D = first2D = new FakeView2D("2D-1", &views);
    set.second2D = second2D = new FakeView2D("2D-2", &views);
    set.first3D = first3D = new FakeView3D("3D-1", &views);
    set.second3D = second3D = new FakeView3D("3D-2", &views);
    set.view4D = view4D = new FakeView4D("4D", &views);
    InitViewSet(&set, MakeRect(0, 0, 100, 50), &document);
    views.clear();
  }
  void TearDown() override {
    DestroyViewSet(&set);
    ResetTimersForTests();
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

  FakeDocument document;
  GraphViewSet set;
  Log views;
  FakeView2D* first2D;
  FakeView2D* second2D;
  FakeView3D* first3D;
  FakeView3D* second3D;
  FakeView4D* view4D;
  int deletions = 0;
};

TEST_F(ViewSetTest, ConstructionShowsTheFirst2DViewAloneWithEmptyTables) {
  EXPECT_EQ(set.primary, first2D);
  EXPECT_EQ(set.secondary, nullptr);
  EXPECT_EQ(set.graphTable.count, 0);
  EXPECT_EQ(view4D->document, &document);
  EXPECT_EQ(ViewSetView(&set, kViewSecond3D), second3D);
  EXPECT_EQ(ViewSetView(&set, kNoView), nullptr);
  EXPECT_EQ(ViewSetView(&set, 6), nullptr);
}

TEST_F(ViewSetTest, PrimaryBurnsTheWholeBudgetAndTheSecondaryStillGetsItsTick) {
  FakeClock clock;
  Show(first3D, second3D);
  first3D->tickCost = 30;   // more than the budget
  AddGraph(second3D, 4);    // not ready
  ViewSetIdleTick(&set, 20);
  EXPECT_EQ(views, (Log{"3D-1 tick 20", "3D-1 ready?", "2D-1 option 5", "3D-1 option 5", "3D-2 tick 0",
                                 "3D-2 ready?"}));
  EXPECT_EQ(document.log, (Log{"tags 5 11 00"}));  // code 5: no redraw

  views.clear();
  first3D->tickCost = 5;  // 15 units left for the secondary, which finishes
  ViewSetIdleTick(&set, 20);
  EXPECT_EQ(views[3], "3D-1 option 5");
  EXPECT_EQ(views[4], "3D-2 tick 15");
  EXPECT_EQ(views.back(), "3D-2 option 5");

  Show(first2D, nullptr);  // one view: side 1 is never touched
  AddGraph(first2D, 100);
  ViewSetIdleTick(&set, 20);
  EXPECT_EQ(views, (Log{"2D-1 tick 20", "2D-1 ready?"}));
}

TEST_F(ViewSetTest, PaneSplitsAroundTheDividerAndNeverInvertsARectangle) {
  Show(first2D, second2D);
  ViewSetSetPaneRect(&set, MakeRect(10, 20, 110, 220));
  EXPECT_EQ(first2D->rect.right, 10 + 44);
  EXPECT_EQ(second2D->rect.left, 10 + 55);
  EXPECT_EQ(first3D->rect.right, 110);  // views not shown keep the pane
  EXPECT_EQ(views, (Log{"2D-1 geometry", "2D-2 geometry", "3D-1 geometry", "3D-2 geometry"}));
  struct Narrow {
    QDRect pane;
  } const panes[] = {{MakeRect(0, 0, 10, 40)}, {MakeRect(0, 0, 8, 40)}, {MakeRect(0, 0, 0, 40)},
                     {MakeRect(0, 30, 11, 20)}};
  for (const Narrow& n : panes) {
    ViewSetSetPaneRect(&set, n.pane);
    for (GraphView* view : {static_cast<GraphView*>(first2D), static_cast<GraphView*>(second2D)}) {
      EXPECT_GE(view->rect.right, view->rect.left) << RectWidth(n.pane);
      EXPECT_GE(view->rect.bottom, view->rect.top) << RectWidth(n.pane);
    }
  }
  Show(first3D, nullptr);
  ViewSetSetPaneRect(&set, MakeRect(0, 0, 100, 50));
  for (GraphView* view : {ViewSetView(&set, 1), ViewSetView(&set, 2), ViewSetView(&set, 3), ViewSetView(&set, 4),
                          ViewSetView(&set, 5)}) {
    EXPECT_TRUE(EqualRect(view->rect, set.paneRect));
  }
  EXPECT_TRUE(EqualRect(ViewSetGetViewRect(&set, 1), set.paneRect));  // no secondary: the pane
}

TEST_F(ViewSetTest, MovieFramesFromSpinSpeedsKeepTheSign) {
  const struct {
    double speed;
    int32_t frames, expectedFrames;
    double expectedSpeed;
  } cases[] = {{15 * kPi / 50, 0, 100, kPi / 50},
               {-15 * kPi / 50, 0, 100, -kPi / 50},
               {15 * 0.001, 0, 200, 0.01 * kPi},
               {-15 * 0.001, 0, 200, -0.01 * kPi},
               {15.0, 40, 40, 2 * kPi / 40},
               {0.0, 0, 0, 0.0},
               {0.0, 7, 7, 0.0}};
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
  EXPECT_DOUBLE_EQ(view4D->spinSpeed1, 2 * kPi / 100);
  EXPECT_DOUBLE_EQ(view4D->spinSpeed2, 2 * kPi / 100);
}

TEST_F(ViewSetTest, SlotEntriesReachEachPairAndRefuseRowsOutsideTheTable) {
  FakeGraph* graph = AddGraph(first2D);
  graph->status = 7;
  ASSERT_TRUE(Array32Append(set.graphTable, GraphTableRow{{{kViewFirst2D, 0}, {kViewSecond2D, 1},
                                                           {kViewFirst3D, 2}, {kViewSecond3D, 3}}}));
  ASSERT_TRUE(Array32Append(set.graphTable, GraphTableRow{{{kViewFirst2D, 5}, {0, 0}, {0, 0}, {0, 0}}}));
  ViewSetSelectSlotEntry(&set, 6, 3.0, -1);
  ViewSetSelectSlotEntry(&set, 6, 3.0, 2);
  EXPECT_TRUE(views.empty());
  ViewSetSelectSlotEntry(&set, 6, 3.0, 0);
  EXPECT_EQ(views, (Log{"2D-1 graph option 6 3 0", "2D-2 graph option 6 3 1", "3D-1 graph option 6 8 2",
                                 "3D-2 graph option 6 8 3"}));
  views.clear();
  ViewSetSelectSlotEntry(&set, 6, 17.0, 0);
  ViewSetSelectSlotEntry(&set, 7, 3.0, 0);
  EXPECT_EQ(views[3], "3D-2 graph option 6 17 3");
  EXPECT_EQ(views[7], "3D-2 graph option 7 3 3");
  EXPECT_EQ(ViewSetGetSlotEntry(&set, 0), 7);
  EXPECT_EQ(ViewSetGetSlotEntry(&set, 1), 0);  // index past the view's list
  EXPECT_EQ(ViewSetGetSlotEntry(&set, 2), 0);
  GrowArray<int32_t> rows;
  ASSERT_TRUE(GrowArrayAppend(rows, 0));
  EXPECT_TRUE(ViewSetMatchSingleEquation(&set, rows, graph));
  EXPECT_FALSE(ViewSetMatchSingleEquation(&set, rows, nullptr));
  rows.data[0] = 1;
  EXPECT_FALSE(ViewSetMatchSingleEquation(&set, rows, graph));
  GrowArrayFree(rows);
}

TEST_F(ViewSetTest, OptionBroadcastsMapSidesToViewsAndRefreshTheTags) {
  Show(first2D, second2D);
  first2D->showGraphPaper = 0;
  second2D->showAxes = 0;
  ViewSetSetOptionAll(&set, 15, 0);
  ViewSetSetOptionAll(&set, 16, 1);
  ViewSetSetOptionAll(&set, 5, 2);
  EXPECT_EQ(views, (Log{"2D-1 option 15", "3D-1 option 15", "2D-2 option 16", "3D-2 option 16",
                                 "2D-1 option 5", "2D-2 option 5", "3D-1 option 5", "3D-2 option 5"}));
  EXPECT_EQ(document.log, (Log{"tags 15 10 01", "redraw", "tags 16 10 01", "redraw", "tags 5 10 01"}));
  views.clear();
  ViewSetThirdViewCommand(&set, 14, 4.0);
  EXPECT_EQ(views, (Log{"4D option 14"}));
}

TEST_F(ViewSetTest, CommandsVariablesAndDeletionReachEveryGraphOnce) {
  Show(first3D, second3D);
  ViewSetBroadcastCommand(&set, 6, 2);
  EXPECT_EQ(views.size(), 5u);
  views.clear();
  ViewSetBroadcastCommand(&set, 3, 2);
  ViewSetBroadcastCommand(&set, 3, 1);
  EXPECT_EQ(views, (Log{"3D-1 command 3", "3D-2 command 3", "3D-2 command 3"}));
  document.log.clear();
  ViewSetBroadcastCommand(&set, 7, 0);
  EXPECT_EQ(document.log, (Log{"dirty", "cursor"}));  // code 7 leaves the modified mark

  FakeGraph* a = AddGraph(first2D);
  FakeGraph* b = AddGraph(view4D);
  first2D->probeReadout.mode = 9;
  ViewSetSetVariableAll(&set, 'a', 2.5);
  EXPECT_EQ(a->changes.size(), 1u);
  EXPECT_EQ(b->changes[0].second, 2.5);
  EXPECT_EQ(first2D->probeReadout.mode, 0u);
  AddGraph(second3D);
  ASSERT_TRUE(GrowArrayAppend(second3D->graphs, static_cast<GraphKind*>(nullptr)));
  ASSERT_TRUE(Array32Append(set.graphTable, GraphTableRow{}));
  document.log.clear();
  ViewSetDeleteAllGraphs(&set);
  EXPECT_EQ(deletions, 3);
  for (int slot = kViewFirst2D; slot <= kView4D; ++slot) {
    EXPECT_EQ(ViewSetView(&set, slot)->graphs.count, 0);
    EXPECT_EQ(ViewSetView(&set, slot)->graphs.data, nullptr);
  }
  EXPECT_EQ(set.graphTable.count, 0);
  EXPECT_EQ(document.log, (Log{"textfield"}));
}

TEST_F(ViewSetTest, MouseAndWheelGoToTheViewUnderThePoint) {
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
  EXPECT_EQ(views, (Log{"2D-1 click",
                                 "3D-2 click", "3D-2 wheel 1 2"}));
  EXPECT_TRUE(ViewSetPointInCurrent2D(&set, MakePoint(10, 10)));
  EXPECT_FALSE(ViewSetPointInCurrent2D(&set, MakePoint(60, 10)));
  EXPECT_TRUE(ViewSetDropOn2DView(&set, nullptr, nullptr));
  Show(first3D, nullptr);  // one view takes every click, wherever it falls
  EXPECT_EQ(ViewSetTrackMouse(&set, MakePoint(500, 500), 0, flags), ClickResult::Handled);
  EXPECT_FALSE(ViewSetDropOn2DView(&set, nullptr, nullptr));
  Show(nullptr, nullptr);
  EXPECT_EQ(ViewSetTrackMouse(&set, MakePoint(10, 10), 0, flags), ClickResult::Declined);
}

TEST_F(ViewSetTest, InvalidationAddsTheSecondarysPartAndGLRegionsCoverGLViews) {
  Show(first2D, second3D);
  ViewSetLayoutViews(&set);
  RgnHandle region = NewRgn();
  ASSERT_NE(region, nullptr);
  ViewSetInvalRect(&set, region, true);
  EXPECT_TRUE(PtInRgn(MakePoint(10, 10), region));
  EXPECT_TRUE(PtInRgn(MakePoint(60, 10), region));
  EXPECT_FALSE(PtInRgn(MakePoint(50, 10), region));
  ViewSetGLViewRegion(&set, region);
  EXPECT_FALSE(PtInRgn(MakePoint(10, 10), region));
  EXPECT_TRUE(PtInRgn(MakePoint(60, 10), region));
  {
    draw_test::Refusal refusal(1);  // no region for the secondary: the whole pane is asked for
    ViewSetInvalRectMode(&set, region, false, MakePoint(0, 0));
  }
  EXPECT_TRUE(PtInRgn(MakePoint(50, 10), region));
  DisposeRgn(region);
}

TEST_F(ViewSetTest, QueriesAndActivationFollowTheShownViews) {
  Show(view4D, second3D);
  EXPECT_TRUE(ViewSetIsThirdViewCurrent(&set));
  EXPECT_TRUE(ViewSetHas3DView(&set));
  EXPECT_FALSE(ViewSetIsPrimary2DActive(&set));
  EXPECT_FALSE(ViewSetAnyViewBusy(&set));
  second3D->windowContext = true;
  EXPECT_TRUE(ViewSetAnyViewBusy(&set));
  view4D->showAxes = 0;
  EXPECT_EQ(ViewSetGetOption15State(&set, 0), 0);
  EXPECT_EQ(ViewSetGetOption15State(&set, 1), 1);
  EXPECT_EQ(ViewSetGetOption16State(&set, 1), 0);
  view4D->needsRedraw = true;
  ViewSetActivate(&set, 3);  // live redraw: only views that ask
  ViewSetActivate(&set, 1);
  ViewSetActivate(&set, 2);
  EXPECT_EQ(views, (Log{"4D draw", "3D-2 draw", "4D draw", "3D-2 draw"}));
  EXPECT_TRUE(ViewSetNeedsRedraw(&set));

  Show(first2D, second2D);
  ViewSetRedrawWhenBoth2D(&set, first2D);
  ViewSetRedrawWhenBoth2D(&set, second2D);
  ViewSetSetBounds(&set, -3, 3, -1, 1, 2);
  EXPECT_EQ(views, (Log{"2D-1 range -3", "2D-2 range -3"}));
  EXPECT_EQ(document.log, (Log{"redraw", "modified"}));
}

TEST_F(ViewSetTest, SettingsCopiesCarryEveryNamedFieldBothWays) {
  Show(first2D, second2D);
  View2DScale scale;
  double* fields[] = {&scale.rangeT[0],     &scale.rangeT[1],      &scale.rangeR[0], &scale.rangeR[1],
                      &scale.rangeTheta[0], &scale.rangeTheta[1],  &scale.scaleX,    &scale.scaleY,
                      &scale.originH,       &scale.originV,        &scale.pixelsPerUnitX, &scale.pixelsPerUnitY,
                      &scale.cornerX,       &scale.cornerY};
  for (int k = 0; k < 14; ++k) *fields[k] = 100.0 + k;
  scale.stepDigitX = 2;
  scale.stepDigitY = 5;
  second2D->scale = scale;
  ViewSetCopyViewSettings(&set, 0);  // into the first 2D view from the second
  first2D->scale.cornerX = -9;
  ViewSetCopyViewSettings(&set, 1);  // and back
  for (int k = 0; k < 14; ++k) {
    const double* got = reinterpret_cast<const double*>(&second2D->scale) + (fields[k] - &scale.rangeT[0]);
    EXPECT_EQ(*got, k == 12 ? -9.0 : 100.0 + k) << k;
  }
  EXPECT_EQ(second2D->scale.stepDigitX, 2);
  EXPECT_EQ(second2D->scale.stepDigitY, 5);
  EXPECT_EQ(views.back(), "2D-2 maps");

  Show(first3D, second3D);
  second3D->settings.rotation[4] = -1;
  second3D->settings.parameterRanges[5] = 42;
  second3D->settings.depth = 3;
  ViewSetCopyViewSettings(&set, 0);
  EXPECT_EQ(first3D->settings.rotation[4], -1);
  EXPECT_EQ(first3D->settings.parameterRanges[5], 42);
  EXPECT_EQ(first3D->settings.depth, 3);
}

}  // namespace
