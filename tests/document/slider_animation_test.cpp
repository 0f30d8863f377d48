// The slider animation in a window without a screen, its graphs computed in the worker's turns:
// Graph > Animate Slider steps the slider to its end and back again, each step only once every
// view is ready; the second pass over the values costs the kinds that keep a picture per value of
// the parameter (relation, raster, colour plot, mapped picture) no evaluation; a key stops it and
// gives the parameter letter back, and the slider then stays where it is.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "document/document_window.h"
#include "document/slider_animation.h"
#include "document/window_commands.h"
#include "graphs/kinds2d/color_plot_graph.h"
#include "graphs/kinds2d/mapped_picture_graph.h"
#include "graphs/kinds2d/raster_graph.h"
#include "graphs/kinds2d/relation_graph.h"
#include "graphs/viewset/graph_view_set.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/threads/timers.h"
#include "tests/document/document_test_support.h"

namespace {

constexpr int32_t kWidth = 160, kHeight = 220;

// a steps 0, 0.5, ..., 2; each kind follows it (a = 0 draws an empty region and a flat raster).
const char* const kDocument =
    "@slider=0 equal[a,slider[id[comma[0,2,4]]]]\n"
    "lessthan[plus[power[x,2],power[y,2]],a]\n"
    "@xytype=2 equal[z,times[a,x,y]]\n"
    "equal[matrix[3,1,h,s,v],matrix[3,1,times[a,x,y],0.35,1]]\n"
    "@map=picture matrix[2,1,times[plus[a,1],x],y]\n";

class SliderAnimationTest : public document_test::DocumentTest {
 protected:
  void TearDown() override {
    document_test::CloseWindowForTest(window_, document_);
    DocumentTest::TearDown();
  }
  // The evaluations so far of each caching kind, in the order relation, raster, colour plot,
  // mapped picture (-1 for a kind the document did not build).
  std::vector<int64_t> Evaluations() const {
    std::vector<int64_t> sums(4, -1);
    for (const GraphView* view : {static_cast<GraphView*>(document_->viewSet.first2D),
                                  static_cast<GraphView*>(document_->viewSet.second2D)}) {
      for (int32_t i = 0; i < view->graphs.count; ++i) {
        GraphKind* g = view->graphs.data[i];
        int kind = -1;
        uint64_t n = 0;
        if (auto* r = dynamic_cast<GraphRelation2D*>(g)) kind = 0, n = r->Evaluations();
        if (auto* r = dynamic_cast<GraphRaster2D*>(g)) kind = 1, n = r->Evaluations();
        if (auto* r = dynamic_cast<GraphColorPlot2D*>(g)) kind = 2, n = r->Evaluations();
        if (auto* r = dynamic_cast<GraphMesh2D*>(g)) kind = 3, n = r->Evaluations();
        if (kind >= 0) sums[kind] = std::max<int64_t>(sums[kind], 0) + static_cast<int64_t>(n);
      }
    }
    return sums;
  }
  // Idle ticks until the animation has taken `steps` more steps and the last one's picture is
  // complete; the positions stepped to are appended. Fails when a step came while a view was not
  // ready.
  void Steps(int steps, std::vector<int32_t>* positions) {
    const uint32_t until = document_->animation.steps + static_cast<uint32_t>(steps);
    for (int tick = 0; tick < 4'000'000; ++tick) {
      const bool ready = ViewSetAllViewsReady(&document_->viewSet);
      const uint32_t before = document_->animation.steps;
      if (before == until && ready) return;
      window_->IdleTick(1);
      if (document_->animation.steps == before) continue;
      ASSERT_TRUE(ready) << "a step while a view computed";
      positions->push_back(document_->rows.data[0].sliderValue);
    }
    FAIL() << "the animation did not step";
  }
  document_test::NullSurface surface_;
  std::unique_ptr<DocumentRecord> document_;
  std::unique_ptr<DocumentWindow> window_;
};

TEST_F(SliderAnimationTest, ASecondPassOverTheValuesComputesNothingTheGraphsKeep) {
  document_ = std::make_unique<DocumentRecord>(ComputeDocumentWindowLayout(kWidth, kHeight).graphPane);
  ASSERT_TRUE(document_test::ReadDocumentText(kDocument, document_.get()));
  window_ = std::make_unique<DocumentWindow>(document_.get(), &surface_);
  ASSERT_TRUE(window_->Open(kWidth, kHeight));
  std::vector<int32_t> positions;
  ASSERT_NO_FATAL_FAILURE(Steps(0, &positions));
  const std::vector<int64_t> built = Evaluations();
  for (const int64_t n : built) ASSERT_GE(n, 0) << "a kind was not built";

  ASSERT_TRUE(window_->ChooseCommand(kCommandAnimateSlider));
  EXPECT_EQ(ParameterLetter(), 'a');
  ASSERT_NO_FATAL_FAILURE(Steps(8, &positions));
  const std::vector<int64_t> first = Evaluations();
  ASSERT_NO_FATAL_FAILURE(Steps(8, &positions));
  const std::vector<int64_t> second = Evaluations();
  // To the end and back, twice (hand-counted: steps 4, values 0 to 2).
  EXPECT_EQ(positions, (std::vector<int32_t>{1, 2, 3, 4, 3, 2, 1, 0, 1, 2, 3, 4, 3, 2, 1, 0}));
  for (size_t k = 0; k < built.size(); ++k) {
    EXPECT_GT(first[k], built[k]) << "kind " << k << " follows a";
    EXPECT_EQ(second[k], first[k]) << "kind " << k << " computed a value it had kept";
  }

  // A key the rows take (a caret motion, no edit) stops it; the slider then stays put.
  window_->HandleKey(EditKeyEvent{kKeyLeftArrow, kKeyLeftArrow, 0});
  EXPECT_FALSE(document_->IsSliderAnimating());
  EXPECT_EQ(ParameterLetter(), 0);
  const int32_t stopped = document_->rows.data[0].sliderValue;
  const uint32_t steps = document_->animation.steps;
  // Ticks for five steps' time, when a step would have been due.
  const uint32_t until = ElapsedTimerUnits() + TicksToTimerUnits(5 * kSliderAnimationStepTicks);
  while (!DeadlineReached(ElapsedTimerUnits(), until)) window_->IdleTick(1);
  EXPECT_EQ(document_->rows.data[0].sliderValue, stopped);
  EXPECT_EQ(document_->animation.steps, steps);
}

}  // namespace
