// Graphs computed in turns on the compute worker: whether a graph is computed at one go, in slices
// of one evaluation turn that suspend it in the middle of its values, or with those suspended
// computes abandoned again and again, the graph pane shows the same pixels once every view is ready.
// The slices are cut at every turn of the worker, not by the clock, so a fast machine cuts up a
// document as finely as a slow one.
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "algebra/algebra_seams.h"
#include "document/document_window.h"
#include "graphs/core/compute_worker.h"
#include "graphs/view3d/graph_view_3d.h"
#include "graphs/view4d/graph_view_4d.h"
#include "graphs/viewset/graph_view_set.h"
#include "kernel/eval/evaluation_budget.h"
#include "platform/coop_threads.h"
#include "tests/document/document_test_support.h"

namespace {

constexpr int32_t kWidth = 180, kHeight = 240;

using document_test::NullSurface;

enum class Slicing { kAtOneGo, kSuspended, kAbandoned };

class ComputeTurnsTest : public document_test::DocumentTest {
 protected:
  void TearDown() override {
    SetComputeTurnsForTests(false);
    document_test::CloseWindowForTest(window_, document_);
    DocumentTest::TearDown();
  }
  // The graph pane's pixels once every view is ready, computed as `slicing` says: at one go, or a
  // turn of the worker a slice. Counts the slices that ended suspended and the computes abandoned.
  std::vector<uint32_t> Computed(const std::string& text, Slicing slicing) {
    window_.reset();
    document_ = std::make_unique<DocumentRecord>(ComputeDocumentWindowLayout(kWidth, kHeight).graphPane);
    EXPECT_TRUE(document_test::ReadDocumentText(text + "\n", document_.get()));
    window_ = std::make_unique<DocumentWindow>(document_.get(), &surface_);
    EXPECT_TRUE(window_->Open(kWidth, kHeight));
    GraphViewSet* set = &document_->viewSet;
    // The space views hold still: their spin turns them by the time between two frames.
    if (set->first3D != nullptr) set->first3D->spinSpeed = 0;
    if (set->view4D != nullptr) set->view4D->spinSpeed1 = set->view4D->spinSpeed2 = 0;
    if (slicing == Slicing::kAtOneGo) UseComputeWorker(false);
    SetComputeTurnsForTests(slicing != Slicing::kAtOneGo);
    std::mt19937 random(7);
    // A slice is one turn's work: the implicit surface in space takes some 430,000.
    for (int slice = 0; slice < 2'000'000 && !ViewSetAllViewsReady(set); ++slice) {
      ViewSetIdleTick(set, slicing == Slicing::kAtOneGo ? 1 << 30 : 1);
      if (!ComputeSuspended()) continue;
      ++suspended_;
      // Abandoned now and then, a few dozen times: a unit of many slices must get to its end.
      if (slicing == Slicing::kAbandoned && abandoned_ < 30 && random() % 3 == 0) {
        AbandonSuspendedCompute();
        ++abandoned_;
      }
    }
    EXPECT_TRUE(ViewSetAllViewsReady(set)) << text;
    return document_test::GraphPanePixels(window_.get());
  }
  NullSurface surface_;
  std::unique_ptr<DocumentRecord> document_;
  std::unique_ptr<DocumentWindow> window_;
  int suspended_ = 0, abandoned_ = 0;
};

// While a value lies suspended, what the window does with the rows alone leaves it suspended, to be
// taken up at the next idle tick; what touches the graphs abandons it. A region of nested sums of a
// million terms a point (its first unit, the relation over the whole plane, spans many ticks) below
// a region complete at once, whose status the rows show.
TEST_F(ComputeTurnsTest, OnlyWhatTouchesTheGraphsAbandonsASuspendedValue) {
  InstallAlgebraSeams();
  const QDRect graph = ComputeDocumentWindowLayout(kWidth, kHeight).graphPane;
  const QDPoint inMath{60, 20}, inGraph{static_cast<int16_t>((graph.top + graph.bottom) / 2), 90};
  const struct {
    const char* action;
    std::function<void(DocumentWindow*)> act;
    bool abandons;
  } cases[] = {
      {"caret key", [](DocumentWindow* w) { w->HandleKey(EditKeyEvent{kKeyLeftArrow, kKeyLeftArrow, 0}); }, false},
      {"wheel over the rows", [&](DocumentWindow* w) { w->HandleWheel(inMath, 0, 1); }, false},
      {"pointer moved", [&](DocumentWindow* w) { w->HandleMouseMoved(inGraph); }, false},
      {"click in a row", [&](DocumentWindow* w) { w->HandleMouseDown(inMath, 0, 1); }, false},
      {"idle tick", [](DocumentWindow* w) { w->IdleTick(1); }, false},
      {"typed letter", [](DocumentWindow* w) { w->HandleKey(EditKeyEvent{'a', 'a', 0}); }, true},
      {"wheel over the graphs", [&](DocumentWindow* w) { w->HandleWheel(inGraph, 0, 1); }, true},
      {"window drawn again", [](DocumentWindow* w) { w->RedrawAll(); }, true},
  };
  for (const auto& c : cases) {
    window_.reset();
    document_ = std::make_unique<DocumentRecord>(graph);
    ASSERT_TRUE(document_test::ReadDocumentText(
        "leq[y,x]\nleq[y,sum[sum[over[x,times[i,j]],equal[j,1],1000],equal[i,1],1000]]\n", document_.get()));
    window_ = std::make_unique<DocumentWindow>(document_.get(), &surface_);
    ASSERT_TRUE(window_->Open(kWidth, kHeight));
    for (int tick = 0; tick < 100 && !ComputeSuspended(); ++tick) window_->IdleTick(1);
    ASSERT_TRUE(ComputeSuspended()) << c.action;
    const uint64_t before = ComputesAbandoned();
    c.act(window_.get());
    EXPECT_EQ(ComputesAbandoned() > before, c.abandons) << c.action;
    // An idle tick takes the value up: it lies suspended again, or its Compute ended at the tick's
    // deadline, as the machine's speed has it.
    if (c.action != std::string("idle tick")) {
      EXPECT_EQ(ComputeSuspended(), !c.abandons) << c.action;
    }
  }
}

// The documents: one a graph kind (and the paths a kind takes for a condition after a comma, a
// colour computed per point, a field on a surface), each over a sum of some 24,000 instructions a
// value, so that every value takes a turn: S(u) is 1.64 u, give or take.
std::string S(const std::string& u) { return "sum[over[" + u + ",power[k,2]],equal[k,1],4000]"; }
const std::string kDocuments[] = {
    "equal[y," + S("x") + "]",
    "equal[x," + S("y") + "]",
    "leq[y," + S("x") + "]",
    "equal[plus[power[x,2],power[y,2]]," + S("plus[4,times[x,y]]") + "]",
    "equal[matrix[2,1,x,y],matrix[2,1,cos[times[6,t]]," + S("sin[times[6,t]]") + "]]",
    "equal[r," + S("theta") + "]",
    "equal[matrix[3,1,h,s,v],matrix[3,1," + S("times[x,y]") + ",0.35,1]]",
    "@xytype=2 equal[z," + S("times[x,y]") + "]",
    "@xytype=3 equal[z," + S("times[x,y]") + "]",
    "equal[function[optotal[x],y]," + S("times[x,y]") + "]",
    "@view=3d\nequal[z," + S("times[x,y]") + "]",
    "@view=3d\nequal[plus[power[x,2],power[y,2],power[z,2]]," + S("plus[2,x]") + "]",
    "@view=3d\nequal[matrix[3,1,x,y,z],matrix[3,1,cos[times[6,t]],sin[times[6,t]]," + S("t") + "]]",
    "@view=4d\nequal[w," + S("z") + "]",
    "@view=4d\nequal[matrix[4,1,x,y,u,v],matrix[4,1," + S("t") + ",t,t,t]]",
    "equal[matrix[2,1,x,y],matrix[2,1,minus[y]," + S("x") + "]]",
    "equal[function[optotal[t],matrix[2,1,x,y]],matrix[2,1,minus[y]," + S("times[0.5,x]") + "]]",
    "equal[matrix[2,1,x,y],matrix[2,1," + S("1") + ",0.5]]",
    "comma[matrix[2,1,0,0],matrix[2,1," + S("1") + ",1]]",
    "@map=picture matrix[2,1," + S("x") + ",y]\nequal[matrix[3,1,h,s,v],matrix[3,1,plus[x,y],0.35,1]]",
    "@map=image matrix[2,1," + S("x") + ",y]\nequal[matrix[3,1,h,s,v],matrix[3,1,plus[x,y],0.35,1]]",
    "@view=3d\ncomma[equal[matrix[3,1,x,y,z],matrix[3,1,minus[y],x," + S("z") + "]],lessthan[minus[2]," + S("x") +
        ",1]]",
    "@view=3d\ncomma[matrix[3,1,0,0,0],matrix[3,1," + S("1") + ",1,1]]",
    "@view=3d\nmatrix[3,1,minus[1],1," + S("0.5") + "]",
    "@view=3d\ncomma[equal[matrix[3,1,x,y,z],matrix[3,1,minus[y],x,0]],equal[z," + S("times[0.2,x]") + "]]",
    "@view=3d\ncomma[equal[matrix[3,1,x,y,z],matrix[3,1,minus[y],x," + S("z") + "]],"
    "equal[plus[power[x,2],power[y,2],power[z,2]],2]]",
    "@view=3d\ncomma[equal[z,times[x,y]],equal[matrix[3,1,h,s,v],matrix[3,1," + S("x") + ",1,1]],lessthan[" +
        S("y") + ",1]]",
    "@view=3d\ncomma[equal[plus[power[x,2],power[y,2],power[z,2]],2],equal[matrix[3,1,r,g,b],matrix[3,1," + S("x") +
        ",0.5,0.5]]]",
    "@view=4d\ncomma[matrix[4,1,0,0,0,0],matrix[4,1," + S("0.5") + ",1,1,1],matrix[4,1,1,0,1,0]]",
    "@view=4d\ncomma[equal[matrix[4,1,x,y,u,v],matrix[4,1,cos[u],sin[u],u,v]],greaterthan[" + S("x") +
        ",0],equal[matrix[3,1,h,s,v],matrix[3,1," + S("y") + ",1,1]]]",
};

class EveryKind : public ComputeTurnsTest, public testing::WithParamInterface<std::string> {};

TEST_P(EveryKind, DrawsTheSamePixelsHoweverItsComputingIsCutUp) {
  InstallAlgebraSeams();
  const std::string& text = GetParam();
  const std::vector<uint32_t> whole = Computed(text, Slicing::kAtOneGo);
  suspended_ = abandoned_ = 0;
  EXPECT_TRUE(Computed(text, Slicing::kSuspended) == whole) << text << ": suspended " << suspended_ << " times";
  EXPECT_GT(suspended_, 0) << text;
  suspended_ = abandoned_ = 0;
  EXPECT_TRUE(Computed(text, Slicing::kAbandoned) == whole) << text << ": abandoned " << abandoned_ << " times";
  EXPECT_GT(abandoned_, 0) << text;
}

INSTANTIATE_TEST_SUITE_P(ComputeTurnsTest, EveryKind, testing::ValuesIn(kDocuments));

// The worker is the open window's: closed with a value of a 100,000-term sum lying suspended, it
// leaves nothing suspended, no worker and no turn hook, and a document computed headless afterwards
// in the same process computes at one go (the every-turn switch, still on, would otherwise suspend
// it at its first turn). The headless document is the first of the kinds': at one go, the traced
// sum's interval hulls take minutes.
TEST_F(ComputeTurnsTest, ClosingTheWindowEndsTheWorker) {
  InstallAlgebraSeams();
  const QDRect pane = ComputeDocumentWindowLayout(kWidth, kHeight).graphPane;
  document_ = std::make_unique<DocumentRecord>(pane);
  const char* traced = "equal[y,sum[over[sin[times[x,k]],k],equal[k,1],100000]]\n";
  ASSERT_TRUE(document_test::ReadDocumentText(traced, document_.get()));
  window_ = std::make_unique<DocumentWindow>(document_.get(), &surface_);
  ASSERT_TRUE(window_->Open(kWidth, kHeight));
  SetComputeTurnsForTests(true);
  for (int tick = 0; tick < 100 && !ComputeSuspended(); ++tick) window_->IdleTick(1);
  ASSERT_TRUE(ComputeSuspended());
  window_.reset();
  EXPECT_FALSE(ComputeSuspended()) << "the close itself abandons it";
  document_.reset();
  EXPECT_FALSE(ComputeSuspended());
  EXPECT_EQ(InstalledEvaluationTurnHook(), nullptr);
  EXPECT_TRUE(CoopLiveWorkers().empty());

  DocumentRecord headless(pane);
  ASSERT_TRUE(document_test::ReadDocumentText(kDocuments[0] + "\n", &headless));
  SetCurrentDocument(&headless);
  ASSERT_EQ(BuildDocumentRowGraphs(&headless), 0);
  ViewSetIdleTick(&headless.viewSet, 1 << 30);
  EXPECT_FALSE(ComputeSuspended());
  EXPECT_TRUE(ViewSetAllViewsReady(&headless.viewSet));
  EXPECT_TRUE(CoopLiveWorkers().empty());
  SetCurrentDocument(nullptr);
}

}  // namespace
