// Building and destroying the view set with its five real views: the state right after
// construction, a zero pane, and the whole life of a set in every combination of shown views
// (2D, 3D, 4D, split with a second 2D or 3D view, the coordinate transformations) with graphs in
// every view: laid out, computed, drawn (2D into the pane, 3D by the software rasteriser) and
// destroyed with or without deleting the graphs first. The fixture proves every counted byte is
// returned; LeakSanitizer checks the rest at exit.
#include "graphs/factory/factory_helpers.h"
#include "graphs/viewset/graph_view_set.h"
#include "tests/graphs/view3d/sample_surface.h"
#include "tests/graphs/view3d/view_3d_test_support.h"

namespace {

using graphs_test::FakeGraph;
using graphs_test::FakeGraph3D;
using FakeGraph4D = graphs_test::FakeGraphOf<GraphKind4D>;

class ViewSetConstructionTest : public graphs_test::GraphsTest {
 protected:
  void SetUp() override {
    GraphsTest::SetUp();
    view3d_test::InstallSoftwarePane(400, 300);
  }
  void TearDown() override {
    DestroyViewSet(&set);
    view3d_test::RemoveSoftwarePane();
    GraphsTest::TearDown();
  }
  graphs_test::FakeDocument document;
  GraphViewSet set;
};

TEST_F(ViewSetConstructionTest, ANewSetShowsTheFirst2DViewWithEmptyTablesAndOwnedViews) {
  InitViewSet(&set, MakeRect(10, 20, 410, 300), &document);
  EXPECT_EQ(set.primary, set.first2D);
  EXPECT_TRUE(set.secondary == nullptr && set.clicked == nullptr);
  EXPECT_TRUE(set.graphTable.data == nullptr && set.graphTable.count == 0 && set.graphTable.capacity == 0);
  EXPECT_TRUE(set.graphIndexList.data == nullptr && set.graphIndexList.count == 0);
  for (uint8_t used : set.rangeInUse) EXPECT_EQ(used, 0);
  // The views are the set's own, in order, each owned by the document.
  EXPECT_TRUE(set.first2D == &*set.held2D[0] && set.second2D == &*set.held2D[1]);
  EXPECT_TRUE(set.first3D == &*set.held3D[0] && set.second3D == &*set.held3D[1] && set.view4D == &*set.held4D);
  for (int32_t slot = kViewFirst2D; slot <= kView4D; ++slot) {
    GraphView* view = ViewSetView(&set, slot);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->document, &document);
    EXPECT_TRUE(EqualRect(view->rect, MakeRect(10, 20, 410, 300))) << slot;
  }
  for (GraphViewGL* view : {static_cast<GraphViewGL*>(set.first3D), static_cast<GraphViewGL*>(set.second3D),
                            static_cast<GraphViewGL*>(set.view4D)}) {
    ASSERT_NE(view->context, nullptr);
    EXPECT_EQ(view->context->window, static_cast<void*>(&document));
  }
  EXPECT_TRUE(CheckViewSet(&set));
  DestroyViewSet(&set);
  EXPECT_TRUE(set.first2D == nullptr && set.view4D == nullptr && !set.held3D[0] && !set.held4D);
}

TEST_F(ViewSetConstructionTest, AZeroPaneLeavesThe2DViewsAtTheDefaultCorner) {
  InitViewSet(&set, QDRect{0, 0, 0, 0}, &document);
  for (GraphView2D* view : {set.first2D, set.second2D}) {
    EXPECT_EQ(view->scale.cornerX, -2.0);
    EXPECT_EQ(view->scale.cornerY, -2.0);
  }
}

struct Shown {
  bool is3D, is4D, split, secondIs3D;
  uint32_t transform;
};

// Every way the factory shows views: one view of each kind, split with a second 2D or 3D view,
// and the transformations that open the second view themselves.
constexpr Shown kShownViews[] = {
    {false, false, false, false, kTransformNone}, {true, false, false, false, kTransformNone},
    {false, true, false, false, kTransformNone},  {false, false, true, false, kTransformNone},
    {false, false, true, true, kTransformNone},   {true, false, true, false, kTransformNone},
    {true, false, true, true, kTransformNone},    {false, true, true, true, kTransformNone},
    {false, false, false, false, kTransformPlaneForwards}, {true, false, false, false, kTransformSpace},
};

TEST_F(ViewSetConstructionTest, EveryCombinationOfViewsBuildsLaysOutDrawsAndDestroysWithoutALeak) {
  int deletions = 0, made = 0;
  for (const Shown& shown : kShownViews) {
    for (bool deleteGraphsFirst : {false, true}) {
      const QDRect pane = MakeRect(0, 0, 400, 300);
      InitViewSet(&set, pane, &document);
      CoordinateTransform transform;
      transform.mode = shown.transform;
      BuildGraphsForEquationSet(&set, shown.is3D, shown.is4D, shown.split, shown.secondIs3D, &transform);
      ASSERT_TRUE(CheckViewSet(&set));
      // Laid out: one view takes the pane; two share it with the divider between them.
      if (set.secondary == nullptr) {
        EXPECT_TRUE(EqualRect(set.primary->rect, pane));
      } else {
        EXPECT_EQ(set.primary->rect.right, 400 - 200 - 6);
        EXPECT_EQ(set.secondary->rect.left, 200 + 5);
      }
      // A graph in every view: one that computes over two ticks, and in the 3D views a surface.
      for (GraphView2D* view : {set.first2D, set.second2D}) {
        ASSERT_TRUE(PtrArrayAppend(view->graphs, static_cast<GraphKind*>(new FakeGraph(3, &deletions))));
      }
      for (GraphView3D* view : {set.first3D, set.second3D}) {
        ASSERT_TRUE(PtrArrayAppend(view->graphs, static_cast<GraphKind*>(new FakeGraph3D(3, &deletions))));
        auto* surface = new sample_surface::Bump3D(12, view->settings.camera.box, view->context);
        ASSERT_TRUE(PtrArrayAppend(view->graphs, static_cast<GraphKind*>(surface)));
      }
      ASSERT_TRUE(PtrArrayAppend(set.view4D->graphs, static_cast<GraphKind*>(new FakeGraph4D(3, &deletions))));
      made += 5;
      // The shown views compute (and upload once ready); the others wait until they are shown.
      for (int tick = 0; tick < 4; ++tick) ViewSetIdleTick(&set, 1 << 20);
      EXPECT_TRUE(set.primary->IsReady());
      ViewSetBroadcastCommand(&set, 7, 2);
      ViewSetSetPaneRect(&set, MakeRect(0, 0, 300, 200));
      SetGWorld(view3d_test::gPane.buffer, nullptr);
      ViewSetActivate(&set, 2);
      SetGWorld(nullptr, nullptr);
      if (deleteGraphsFirst) ViewSetDeleteAllGraphs(&set);
      DestroyViewSet(&set);
      ASSERT_TRUE(set.first2D == nullptr && !set.held2D[0] && !set.held4D);
      ASSERT_EQ(deletions, made) << shown.is3D << shown.is4D << shown.split << shown.secondIs3D;
    }
  }
}

}  // namespace

namespace {

// A graph in a view that is not shown (a space field built while the plane is shown) neither keeps
// the set from being ready nor is computed; once its view is shown it is.
TEST_F(ViewSetConstructionTest, HiddenViewsWaitUntilTheyAreShown) {
  InitViewSet(&set, MakeRect(0, 0, 400, 300), &document);
  int deletions = 0;
  auto* hidden = new FakeGraph3D(3, &deletions);
  ASSERT_TRUE(PtrArrayAppend(set.first3D->graphs, static_cast<GraphKind*>(hidden)));
  EXPECT_TRUE(ViewSetAllViewsReady(&set));
  ViewSetIdleTick(&set, 1 << 20);
  EXPECT_EQ(hidden->computes, 0);
  set.primary = set.first3D;
  EXPECT_FALSE(ViewSetAllViewsReady(&set));
  for (int tick = 0; tick < 4 && !ViewSetAllViewsReady(&set); ++tick) ViewSetIdleTick(&set, 1 << 20);
  EXPECT_TRUE(ViewSetAllViewsReady(&set) && hidden->computes > 0);
}

}  // namespace
