// The window's work with costly graphs, with the compute worker cutting every job up at each of its
// evaluation turns: nothing the window does (opening, building, clicks of every kind, the wheel,
// zooms, sliders and their animation, grain and colour, a resize, status reads) evaluates a graph
// on the main thread, and a probe computed in turns, moved, released or taken up in the ticks shows
// what the probe at one go shows.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "algebra/algebra_seams.h"
#include "document/document_window.h"
#include "document/slider_strip.h"
#include "document/window_commands.h"
#include "graphs/core/compute_worker.h"
#include "graphs/core/graphs_state.h"
#include "graphs/view2d/graph_view_2d.h"
#include "graphs/viewset/graph_view_set.h"
#include "platform/pointer_source.h"
#include "tests/document/document_test_support.h"

namespace {

constexpr int32_t kWidth = 200, kHeight = 260;

using document_test::NullSurface;

// A pointer that answers each wait from a script: each event comes at the first wait at which its
// condition holds (the waits before it time out where the pointer is); after the last, the button
// is up.
class PollScript final : public PointerSource {
 public:
  struct Event {
    std::function<bool()> when;
    PointerEventKind kind;
    QDPoint where;
  };
  PollScript(std::vector<Event> script, QDPoint start) : script_(std::move(script)), last_(start) {}
  PointerEvent WaitPointerEvent(double) override {
    if (next_ >= script_.size()) return PointerEvent{PointerEventKind::kReleased, last_, 0};
    const Event& e = script_[next_];
    if (!e.when()) return PointerEvent{PointerEventKind::kTimedOut, last_, 0};
    ++next_;
    last_ = e.where;
    return PointerEvent{e.kind, e.where, 0};
  }
  bool IsButtonDown() override { return next_ < script_.size(); }
  bool SetThemeCursor(int) override { return true; }
  bool SetColorCursor(const ColorCursorImage&) override { return true; }

 private:
  std::vector<Event> script_;
  size_t next_ = 0;
  QDPoint last_;
};

// S(u): a sum of 40 terms, 1.62 u give or take. Its cost does not matter here: the tests have every
// run start take a turn, which is where the main thread's runs are counted and the worker's jobs cut.
std::string S(const std::string& u) { return "sum[over[" + u + ",power[k,2]],equal[k,1],40]"; }

class PointerTurnsTest : public document_test::DocumentTest {
 protected:
  void TearDown() override {
    SetComputeTurnsForTests(false);
    CountMainThreadRunsForTests(false);
    SetPointerSource(nullptr);
    document_test::CloseWindowForTest(window_, document_);
    DocumentTest::TearDown();
  }
  // Opens the document in a window and computes it: at one go (the worker off), with the main
  // thread's runs counted, or with every job of the worker also cut up at each of its turns.
  enum class Mode { kAtOneGo, kCounted, kCut };
  void Open(const std::string& text, Mode mode, int32_t width = kWidth, int32_t height = kHeight) {
    SetPointerSource(nullptr);
    window_.reset();
    document_ = std::make_unique<DocumentRecord>(ComputeDocumentWindowLayout(width, height).graphPane);
    ASSERT_TRUE(document_test::ReadDocumentText(text + "\n", document_.get()));
    window_ = std::make_unique<DocumentWindow>(document_.get(), &surface_);
    SetComputeTurnsForTests(mode == Mode::kCut);
    CountMainThreadRunsForTests(mode != Mode::kAtOneGo);
    ASSERT_TRUE(window_->Open(width, height));
    if (mode == Mode::kAtOneGo) UseComputeWorker(false);
    Complete();
  }
  // Idle ticks until every view is ready (a click's work included, and the rows' preparation cut
  // up with the rest before the graphs are built); `between` (when given) is called before the
  // first tick, whether or not one comes, and after each, with the tick's number.
  void Complete(const std::function<void(int)>& between = nullptr) {
    if (between) between(0);
    for (int tick = 1; tick < 4'000'000 && !window_->GraphsComplete(); ++tick) {
      window_->IdleTick(1);
      if (between) between(tick);
    }
    ASSERT_TRUE(window_->GraphsComplete());
  }
  // A press at the pane's centre with the probe key, the motions and the release queued behind it.
  void ProbeDrag(const std::vector<QDPoint>& moves, QDPoint release) {
    std::vector<PollScript::Event> script;
    for (const QDPoint p : moves) script.push_back({[] { return true; }, PointerEventKind::kMoved, p});
    script.push_back({[] { return true; }, PointerEventKind::kReleased, release});
    PollScript pointer(std::move(script), InPane(0, 0));
    SetPointerSource(&pointer);
    window_->HandleMouseDown(InPane(0, 0), kKeyOption, 1);
    SetPointerSource(nullptr);
  }
  GraphView2D* View() const { return document_->viewSet.first2D; }
  QDPoint InPane(int dh, int dv) const {
    const QDRect& r = View()->rect;
    return QDPoint{static_cast<int16_t>((r.top + r.bottom) / 2 + dv), static_cast<int16_t>((r.left + r.right) / 2 + dh)};
  }
  NullSurface surface_;
  std::unique_ptr<DocumentRecord> document_;
  std::unique_ptr<DocumentWindow> window_;
};

// One document a kind whose building, status or pointer queries evaluate, each over S and a
// slider's parameter; a first row defines the slider.
const char* const kSlider = "@slider=20 equal[a,slider[id[comma[0,10]]]]\n";
const std::string kKinds[] = {
    "equal[y," + S("times[a,x]") + "]",
    "leq[y," + S("times[a,x]") + "]",
    "equal[plus[power[x,2],power[y,2]]," + S("plus[1,times[a,x,y]]") + "]",
    "equal[matrix[2,1,x,y],matrix[2,1,cos[times[6,t]]," + S("times[a,sin[times[6,t]]]") + "]]",
    "equal[matrix[3,1,h,s,v],matrix[3,1," + S("times[a,x,y]") + ",0.35,1]]",
    "@xytype=2 equal[z," + S("times[a,x,y]") + "]",
    "@xytype=3 equal[z," + S("times[a,x,y]") + "]",
    "@xytype=3 equal[z," + S("times[0,a]") + "]",  // a constant: its levels are measured at each change
    "equal[function[optotal[x],y]," + S("times[a,x,y]") + "]",
    "equal[matrix[2,1,x,y],matrix[2,1,minus[y]," + S("times[a,x]") + "]]",
    "equal[y,plus[x,0.5]]\nequal[y," + S("times[a,x]") + "]",  // the probe snaps to their crossing
    "@view=3d\nequal[plus[power[x,2],power[y,2],power[z,2]]," + S("plus[2,times[a,x]]") + "]",
    "@view=3d\nequal[plus[power[x,2],power[y,2],power[z,2]]," + S("minus[a]") + "]",  // no surface: its verdict
};

class EveryPlace : public PointerTurnsTest, public testing::WithParamInterface<std::string> {};

// Each action of the window, then the ticks that finish what it started: the main thread starts
// no evaluation at any of them.
TEST_P(EveryPlace, NothingTheWindowDoesEvaluatesOnTheMainThread) {
  InstallAlgebraSeams();
  const std::string text = kSlider + GetParam();
  Open(text, Mode::kCounted);
  DocumentWindow* w = window_.get();
  DocumentRecord* d = document_.get();
  const QDRect track = SliderTrackRect(SliderLineRect(w->SliderStrip(), 0));
  const QDPoint onTrack{static_cast<int16_t>((track.top + track.bottom) / 2), static_cast<int16_t>(track.left + 3 * RectWidth(track) / 4)};
  const struct {
    const char* action;
    std::function<void()> act;
  } actions[] = {
      {"click", [&] { w->HandleMouseDown(InPane(0, 0), 0, 1); }},
      {"click beside", [&] { w->HandleMouseDown(InPane(9, -7), 0, 1); }},
      {"probe key", [&] { w->HandleMouseDown(InPane(4, 4), kKeyOption, 1); }},
      {"pan key", [&] { w->HandleMouseDown(InPane(0, 0), kKeyCommand, 1); }},
      {"zoom box key", [&] { w->HandleMouseDown(InPane(0, 0), kKeyShift, 1); }},
      {"double click", [&] { w->HandleMouseDown(InPane(2, 2), 0, 2); }},
      {"wheel", [&] { w->HandleWheel(InPane(0, 0), 0, 1); }},
      {"zoom out", [&] { w->ChooseCommand(kCommandFirstViewCommand + int32_t{kZoomOutBoth}); }},
      {"reset", [&] { w->ChooseCommand(kCommandResetGraph); }},
      {"slider", [&] { w->HandleMouseDown(onTrack, 0, 1); }},
      {"animation",
       [&] {
         w->ChooseCommand(kCommandAnimateSlider);
         for (const uint32_t until = d->animation.steps + 3; d->animation.steps < until;) w->IdleTick(1);
         w->ChooseCommand(kCommandAnimateSlider);
       }},
      {"grain", [&] { ViewSetSelectSlotEntry(&d->viewSet, 8, 0.8, d->rows.data[1].graphRow); }},
      {"colour", [&] { ViewSetSelectSlotEntry(&d->viewSet, 6, 3, d->rows.data[1].graphRow); }},
      {"resize", [&] { w->Resize(kWidth + 16, kHeight + 12); }},
      {"messages", [&] { w->RedrawMessageRects(); }},
      {"Return", [&] { w->HandleKey(EditKeyEvent{kKeyReturn, kKeyReturn, 0}); }},
  };
  EXPECT_EQ(MainThreadRunsForTests(), 0u) << "opening";
  for (const auto& a : actions) {
    const uint64_t before = MainThreadRunsForTests();
    a.act();
    ASSERT_NO_FATAL_FAILURE(Complete()) << a.action;
    for (int32_t row = 0; row < d->rows.count; ++row) RowGraphStatus(&d->viewSet, d->rows.data[row].graphRow);
    EXPECT_EQ(MainThreadRunsForTests() - before, 0u) << a.action << " in " << GetParam();
  }
}

INSTANTIATE_TEST_SUITE_P(PointerTurnsTest, EveryPlace, testing::ValuesIn(kKinds));

// The readout a view shows, as one record (the mode-10 lists' points appended; mode 0 shows nothing).
std::vector<double> Readout(const GraphView2D* view) {
  const ProbeRecord& r = view->probeReadout;
  if (r.mode == 0) return {0};
  std::vector<double> out = {double(r.mode), r.value, r.x, r.y, double(r.rgb), double(r.snapped)};
  out.insert(out.end(), r.aux + 2, r.aux + 10);
  if (r.mode == 10) {
    for (const GrowArray<ProbePoint>* list : {GraphsGlobals().probeListA, GraphsGlobals().probeListB}) {
      for (int32_t k = 0; list != nullptr && k < list->count; ++k) out.insert(out.end(), {list->data[k].x, list->data[k].y});
    }
  }
  return out;
}

// The probe of each kind, pressed at one point and moved to another while its first probe still
// runs (which that abandons), released, or released before its pick ended: once the ticks have
// finished, the readout is the one a probe at one go shows at the last point.
TEST_F(PointerTurnsTest, AProbeInTurnsShowsWhatTheProbeAtOneGoShowsAtTheLastPoint) {
  InstallAlgebraSeams();
  using K = PointerEventKind;
  const std::string documents[] = {
      "equal[y," + S("x") + "]",
      "leq[y," + S("x") + "]",
      "@xytype=3 equal[z," + S("times[x,y]") + "]",
      "equal[function[optotal[x],y]," + S("times[x,y]") + "]",
      "equal[matrix[2,1,x,y],matrix[2,1,minus[y]," + S("x") + "]]",
      "equal[y,plus[x,0.5]]\nequal[y," + S("x") + "]",
  };
  const auto always = [] { return true; };
  const auto probing = [this] { return View()->pointerWork.stage == PointerStage::kProbe && View()->pointerWork.started; };
  int deferred = 0;
  for (const std::string& text : documents) {
    Open(text, Mode::kAtOneGo);
    const QDPoint press = InPane(3, 0), last = InPane(12, -5);
    // The reference: a probe at one go at the last point, the pick at the press deciding.
    PollScript atOnce({{always, K::kMoved, last}, {always, K::kReleased, last}}, press);
    SetPointerSource(&atOnce);
    window_->HandleMouseDown(press, kKeyOption, 1);
    ASSERT_NO_FATAL_FAILURE(Complete());  // a probe at the release may end in the ticks
    const std::vector<double> expected = Readout(View());
    ASSERT_NE(expected[0], 0) << text << ": nothing probed";
    int polls = 0;
    const auto threePollsOn = [&polls] { return ++polls > 3; };
    const struct {
      const char* how;
      std::vector<PollScript::Event> script;
      bool abandons;
    } cases[] = {
        {"moved while the first probe runs", {{probing, K::kMoved, last}, {always, K::kReleased, last}}, true},
        {"released while the probe runs", {{probing, K::kMoved, last}, {threePollsOn, K::kReleased, last}}, true},
        {"released before the pick ended", {{always, K::kMoved, last}, {always, K::kReleased, last}}, false},
    };
    for (const auto& c : cases) {
      Open(text, Mode::kCut);
      PollScript script(c.script, press);
      SetPointerSource(&script);
      const uint64_t abandoned = ComputesAbandoned();
      window_->HandleMouseDown(press, kKeyOption, 1);
      deferred += View()->pointerWork.stage == PointerStage::kPick ? 1 : 0;
      SetPointerSource(nullptr);
      ASSERT_NO_FATAL_FAILURE(Complete());
      EXPECT_EQ(Readout(View()), expected) << text << ": " << c.how;
      if (c.abandons) {
        EXPECT_GT(ComputesAbandoned(), abandoned) << text << ": " << c.how;
      }
    }
    // Twenty motions queued while the first probe runs are taken at once: the probe starts again
    // once, at the last, rather than once a motion (a slice each, ever further behind a drag).
    Open(text, Mode::kCut);
    std::vector<PollScript::Event> drag;
    for (int k = 1; k <= 20; ++k) drag.push_back({probing, K::kMoved, InPane(3 + 9 * k / 20, -5 * k / 20)});
    drag.push_back({always, K::kReleased, last});
    PollScript script(drag, press);
    SetPointerSource(&script);
    const uint64_t abandoned = ComputesAbandoned();
    window_->HandleMouseDown(press, kKeyOption, 1);
    SetPointerSource(nullptr);
    ASSERT_NO_FATAL_FAILURE(Complete());
    EXPECT_EQ(Readout(View()), expected) << text << ": a drag";
    EXPECT_LE(ComputesAbandoned() - abandoned, 2u) << text << ": a probe started for each queued motion";
  }
  EXPECT_GT(deferred, 0) << "no click was left to the ticks before its pick ended";
}

// A probe still running after the release is the graphs': a caret key leaves it running, a typed
// letter (the graphs deleted) abandons it and leaves nothing behind; a grain that clears the readout
// drops the probe waiting to make it, as at one go it clears the probe made.
TEST_F(PointerTurnsTest, APendingProbeGoesOnUnderCaretKeysAndGoesWithTheGraphs) {
  InstallAlgebraSeams();
  const std::string text = "equal[function[optotal[x],y]," + S("times[x,y]") + "]";
  Open(text, Mode::kCut);
  window_->HandleMouseDown(InPane(0, 0), 0, 1);
  ASSERT_TRUE(View()->PointerWorkRuns());
  window_->HandleKey(EditKeyEvent{kKeyLeftArrow, kKeyLeftArrow, 0});
  EXPECT_TRUE(View()->PointerWorkRuns()) << "a caret key";
  window_->HandleKey(EditKeyEvent{'b', 'b', 0});
  EXPECT_FALSE(View()->PointerWorkRuns()) << "a typed letter";
  EXPECT_EQ(View()->probeReadout.mode, 0u);
  Open(text, Mode::kCut);
  window_->HandleMouseDown(InPane(0, 0), 0, 1);
  for (int tick = 0; tick < 100'000 && View()->pointerWork.stage == PointerStage::kPick; ++tick) window_->IdleTick(1);
  ASSERT_EQ(View()->pointerWork.stage, PointerStage::kProbe) << "the pick ended, its probe to come";
  ViewSetSelectSlotEntry(&document_->viewSet, 8, 0.8, document_->rows.data[0].graphRow);
  ASSERT_NO_FATAL_FAILURE(Complete());
  EXPECT_EQ(View()->probeReadout.mode, 0u) << "a grain change";
}

// Another job that evaluates a graph: a probe of its own, elsewhere.
void ProbeElsewhere(void* graph, int32_t) {
  ProbeRecord r = static_cast<GraphKind2D*>(graph)->Probe(0.3, -0.2);
  DisposeProbeList(r.listA);
  DisposeProbeList(r.listB);
}

// Every entry of pointer work (a click released at once, a drag, a release away from the press, a
// zoom's probe again, a double click that zooms) in a field and a relation, with something done while
// it runs (nothing, a redraw between every two ticks and a resize, the graphs rebuilt, another job
// left suspended on the worker): once the ticks have finished, the readout is the one the same
// actions show at one go. Work begun is never lost to what the view does to itself, and never
// outlives the graphs it was begun on.
TEST_F(PointerTurnsTest, PointerWorkInTurnsEndsAsAtOneGoWhateverHappensWhileItRuns) {
  InstallAlgebraSeams();
  constexpr int32_t kWide = 300, kTall = 360;
  const std::string documents[] = {
      "equal[matrix[2,1,x,y],matrix[2,1,minus[y]," + S("x") + "]]",
      "equal[plus[power[x,2],power[y,2]]," + S("plus[1,times[x,y]]") + "]",
  };
  const struct {
    const char* entry;
    bool probedFirst;  // a probe shown at (+20, -10) before the entry
    bool click;        // else a zoom, which probes again only a field's arrow
    std::function<void()> act;
  } entries[] = {
      {"a click", false, true, [&] { window_->HandleMouseDown(InPane(0, 0), kKeyOption, 1); }},
      {"a drag", false, true, [&] { ProbeDrag({InPane(10, -5)}, InPane(30, -20)); }},
      {"a release away", false, true, [&] { ProbeDrag({}, InPane(30, -20)); }},
      {"a zoom", true, false, [&] { window_->ChooseCommand(kCommandFirstViewCommand + int32_t{kZoomInBoth}); }},
      {"a double click", true, true, [&] { window_->HandleMouseDown(InPane(20, -10), 0, 2); }},
  };
  bool rebuilt = false, resized = false;
  const struct {
    const char* meanwhile;
    std::function<void(int)> between;  // called between ticks, with the tick's number
  } events[] = {
      {"nothing", nullptr},
      // While the work lies on the worker: a redraw abandons a suspended Compute, which cut up at every
      // turn would never end under a redraw a tick.
      {"redraws and a resize",
       [&](int) {
         if (!View()->pointerWork.started) return;
         if (!resized) window_->Resize(kWide, kTall);
         resized = true;
         window_->RedrawAll();
       }},
      // At the first tick that leaves no work on the worker: none left, or a probe waiting to begin.
      {"the graphs rebuilt",
       [&](int) {
         const PointerWork& work = View()->pointerWork;
         if (rebuilt || (work.stage != PointerStage::kNone && work.started)) return;
         rebuilt = true;
         for (const uint8_t key : {uint8_t('b'), uint8_t(kKeyBackspace), uint8_t(kKeyReturn)}) {
           window_->HandleKey(EditKeyEvent{key, key, 0});
         }
       }},
      {"another job left suspended",
       [&](int tick) {
         if (tick != 0) return;
         AbandonSuspendedCompute();
         RunInTurns(ProbeElsewhere, View()->GraphAt(0), 1);
       }},
  };
  for (const std::string& text : documents) {
    for (const auto& e : entries) {
      for (const auto& m : events) {
        SCOPED_TRACE(text + ": " + e.entry + ", " + m.meanwhile);
        std::vector<double> readouts[2];
        for (const Mode mode : {Mode::kAtOneGo, Mode::kCut}) {
          Open(text, mode, kWide, kTall);
          if (e.probedFirst) {
            ProbeDrag({InPane(20, -10)}, InPane(20, -10));
            ASSERT_NO_FATAL_FAILURE(Complete());
          }
          const std::vector<double> before = Readout(View());
          e.act();
          const bool works = e.click || before[0] == 9;
          if (mode == Mode::kAtOneGo) {
            EXPECT_EQ(View()->pointerWork.stage, PointerStage::kNone) << "at one go the work ends inside the entry";
          } else if (works) {
            EXPECT_NE(View()->pointerWork.stage, PointerStage::kNone) << "nothing ran in turns";
          }
          rebuilt = resized = false;
          ASSERT_NO_FATAL_FAILURE(Complete(m.between));
          readouts[mode == Mode::kCut] = Readout(View());
          if (rebuilt || mode == Mode::kCut) continue;
          EXPECT_NE(readouts[0][0], 0) << "nothing probed";
          if (e.probedFirst && text == documents[0]) {
            EXPECT_NE(readouts[0], before) << "the zoom kept the arrow";
          }
        }
        EXPECT_EQ(readouts[1], readouts[0]);
        if (rebuilt) {
          EXPECT_EQ(readouts[0][0], 0) << "a probe outlived its graphs";
        }
      }
    }
  }
}

// With the worker off a click returns with its work done, the release's probe included: the drag's
// readout is the one at the release, 30 pixels right of the pane's centre (x 0) at 64 pixels a unit.
TEST_F(PointerTurnsTest, WithTheWorkerOffAClickReturnsWithTheReleaseProbed) {
  InstallAlgebraSeams();
  Open("equal[matrix[2,1,x,y],matrix[2,1,minus[y]," + S("x") + "]]", Mode::kAtOneGo, 300, 360);
  ProbeDrag({InPane(10, -5)}, InPane(30, -20));
  EXPECT_EQ(View()->pointerWork.stage, PointerStage::kNone);
  EXPECT_EQ(View()->probeReadout.mode, 9u);
  EXPECT_EQ(View()->probeReadout.x, 0.46875);
}

}  // namespace
