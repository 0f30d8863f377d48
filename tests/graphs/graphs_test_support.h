// Shared set-up of the graph tests: a fixture that resets the process-wide records and proves no
// node or counted byte outlives a test; formula text read by the kernel's reader (blanks dropped);
// a document that records what is asked of it; graphs that spend a fixed amount of fake-clock
// time; views of each kind that record the view set's calls as "<name> <call> <arguments>"; for
// the 2D view a curve graph with exact nearest points and a label seam of fixed metrics; and for
// the traced graphs functions of u from text with the derivative the algebra would give; a graph
// computed through Computes abandoned at its evaluations.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "graphics/graphics_layer.h"
#include "graphs/view2d/graph_view_2d.h"

#include "graphs/core/compute_worker.h"
#include "graphs/core/document_services.h"
#include "graphs/factory/factory_helpers.h"
#include "graphs/view2d/graph_view_2d.h"
#include "graphs/view3d/graph_view_3d.h"
#include "graphs/view4d/graph_view_4d.h"
#include "graphs/core/graphs_state.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/evaluation_budget.h"
#include "kernel/eval/evaluation_scratch.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/text/formula_reader.h"
#include "kernel/threads/timers.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"
#include "kernel/trees/tree_seams.h"
#include "platform/clock.h"
#include "platform/pointer_source.h"

namespace graphs_test {

using Log = std::vector<std::string>;

class GraphsTest : public testing::Test {
 protected:
  void SetUp() override {
    Reset();
    blocksBefore_ = NodePoolBlocksInUse();
    bytesBefore_ = GetBytesInUse();
  }
  void TearDown() override {
    Reset();
    EXPECT_EQ(NodePoolBlocksInUse(), blocksBefore_) << "node pool blocks leaked";
    EXPECT_EQ(GetBytesInUse(), bytesBefore_) << "counted heap bytes leaked";
  }
  static void Reset() {
    ResetMemoryBudgetForTest();  // also disarms allocation failures
    FailNodeAllocationAt(0);
    ResetErrorRegister();
    ResetGraphsStateForTests();
    ResetTreeSeams();
    ResetEvaluationSeams();
    ResetTimersForTests();
    FreeEvalScratch();  // compiles grow the process-wide scratch
    ReleaseNodePools();
  }
  size_t blocksBefore_ = 0, bytesBefore_ = 0;
};

// A leading ' exchanges x, y, z for x', y', z' (the reader cannot spell them).
inline ExprNode* Parse(const std::string& text) {
  std::string compact;
  for (char c : text) compact += c == ' ' || c == '\'' ? "" : std::string(1, c);
  SetFormulaReaderText(compact.c_str());
  ExprNode* tree = ParseFormulaText();
  EXPECT_NE(tree, nullptr) << "unreadable: " << text;
  if (tree != nullptr && text[0] == '\'') SwapPrimedCoordinates(tree);
  return tree;
}

// An uncompiled function over the parsed text.
inline CompiledFunction* FunctionOf(const std::string& text) { return NewFunctionOver(Parse(text)); }

// The worker wanted, with every job cut at each of its evaluation turns, or neither: the turns come
// whatever the machine's speed, and turning it off abandons a job left suspended.
inline void CutComputeIntoTurns(bool on) {
  UseComputeWorker(on);
  SetComputeTurnsForTests(on);
}

// A budget that computes any graph of the tests whole.
inline constexpr int32_t kAll = 1 << 30;

// Computes the graph to completion as the compute worker does when it abandons its Compute again
// and again: a turn at the start of every evaluation throws at the 1st, 3rd, 6th, ... turn (each
// gap one longer, so the graph always gets further), and the next Compute goes on. Returns the
// Computes abandoned; the hook is gone afterwards.
inline int ComputeAbandonedAgainAndAgain(GraphKind* graph) {
  struct Abandoned {};
  struct Turns {
    int64_t taken = 0, next = 1, gap = 1;
    ~Turns() {
      SetEvaluationTurnHook(nullptr);
      SetTurnAtEveryStart(false);
    }
  } turns;
  static Turns* live;
  live = &turns;
  SetTurnAtEveryStart(true);
  SetEvaluationTurnHook([] {
    if (++live->taken < live->next) return;
    live->next = live->taken + ++live->gap;
    throw Abandoned{};
  });
  int abandons = 0;
  for (int calls = 0; !graph->IsComplete() && calls < 1000000; ++calls) {
    try {
      graph->Compute(kAll);
    } catch (const Abandoned&) {
      ++abandons;
    }
  }
  return abandons;
}

// A fixture over one graph of kind G on a map of its own: a 200 x 200 frame at 64 px a unit with
// world (0, 0) at pixel (100, 99) unless the test lays another. The graph is deleted after the test.
template <typename G>
class OneGraphTest : public GraphsTest {
 protected:
  void SetUp() override {
    GraphsTest::SetUp();
    SetViewMap(&map, MakeRect(0, 0, 200, 200), 100, 99, 64, -64, 1, 1);
  }
  void TearDown() override {
    delete graph;
    GraphsTest::TearDown();
  }
  // Takes over `made` in place of the last graph.
  G* Take(G* made) {
    delete graph;
    return graph = made;
  }
  // Takes over `made` and computes it whole.
  G* TakeComputed(G* made) {
    Take(made)->Compute(kAll);
    EXPECT_TRUE(graph->IsComplete());
    return graph;
  }
  ViewMap map;
  G* graph = nullptr;
};

// Stands in for the algebra's differentiation: the next derivative made is the parsed `text`
// (none, as without the algebra, when it is empty). The fixture's reset removes it.
inline std::string& NextDerivative() {
  static std::string text;
  return text;
}
inline void InstallKnownDerivative(const std::string& text) {
  NextDerivative() = text;
  SetExpandDerivativesPass([](ExprNode* tree) {
    if (!NextDerivative().empty()) ReplaceExpression(Parse(NextDerivative()), tree);
  });
}

// A parsed tree freed at the end of its scope.
struct Tree {
  explicit Tree(const std::string& text) : node(Parse(text)) {}
  ~Tree() { FreeExpression(node); }
  operator ExprNode*() const { return node; }
  ExprNode* operator->() const { return node; }
  ExprNode* const node;
};

class FakeDocument : public DocumentServices {
 public:
  ~FakeDocument() override {
    for (EquationRow& row : rows) FreeExpression(row.expression);
  }
  EquationRow& AddRow(const std::string& text) {
    rows.push_back(EquationRow{});
    rows.back().expression = Parse(text);
    return rows.back();
  }
  void MarkDocumentDirty() override { log.push_back("dirty"); }
  void SetDocumentModified(bool m) override { log.push_back(m ? "modified" : "unmodified"); }
  void RedrawGraphPaneNow() override { log.push_back("redraw"); }
  void RedrawMessageRectsNow() override { log.push_back("messages"); }
  void ResetTextFieldState() override { log.push_back("textfield"); }
  void AdjustCursor() override { log.push_back("cursor"); }
  bool IsBenchmarkRunning() const override { return false; }
  void SetDocumentRebuildFlag() override { log.push_back("rebuild"); }
  void SetToolbarHelpTags(int32_t code, int32_t a0, int32_t a1, int32_t p0, int32_t p1) override {
    log.push_back("tags " + std::to_string(code) + " " + std::to_string(a0) + std::to_string(a1) + " " +
                  std::to_string(p0) + std::to_string(p1));
  }
  int32_t RowCount() const override { return static_cast<int32_t>(rows.size()); }
  const EquationRow& RowAt(int32_t i) const override { return rows[static_cast<size_t>(i)]; }
  void ApplyNumberFormat() override { ++numberFormats; }
  bool IsAntialiased() const override { return antialiased; }
  bool IsActiveDocument() const override { return active; }
  GWorldPtr OffscreenBuffer() override { return offscreen; }
  void CopyOffscreenToWindow(const QDRect&) override { log.push_back("copy"); }
  void RedrawGraphPaneIfBoth2D(const GraphView*) override { log.push_back("both 2D"); }
  void SetViewSetTickRate() override { log.push_back("tick rate"); }
  void RewritePointParameters(const GraphView*, int32_t index, double x, double y) override {
    log.push_back("point " + std::to_string(index) + " " + std::to_string(x) + " " + std::to_string(y));
  }
  void StepSliderAnimation() override { log.push_back("slider"); }
  int Count(const std::string& entry) const { return int(std::count(log.begin(), log.end(), entry)); }
  std::vector<EquationRow> rows;
  Log log;
  int numberFormats = 0;
  bool antialiased = false, active = true;
  GWorldPtr offscreen = nullptr;
};

// Advances the fake clock by whole timer units (2^16 clock ticks each).
inline void SpendUnits(int64_t units) { ClockInstalledFake()->Advance(static_cast<uint64_t>(units) << 16); }

// Needs `work` units; each Compute spends what it is given (one unit at least) until done. The 2D
// operations are plain members of the 3D instance, Extent of the 2D one.
template <typename Base>
class FakeGraphOf : public Base {
 public:
  explicit FakeGraphOf(int32_t work = 0, int* deletions = nullptr) : left(work), deletions_(deletions) {}
  ~FakeGraphOf() override {
    DisposeCountedHandle(owned);
    if (deletions_ != nullptr) ++*deletions_;
  }
  void Compute(int32_t budget) override {
    const int32_t spent = budget < 1 ? 1 : std::min(budget, left);
    ++computes, left -= spent;
    if (ClockInstalledFake() != nullptr) SpendUnits(spent);
  }
  bool Draw() override { return true; }
  int32_t Status() override { return status; }
  void VariableChanged(int32_t symbol, double value) override { changes.push_back({symbol, value}); }
  void SetOption(int32_t, double) override {}
  void Invalidate() override {}
  bool IsComplete() override { return left <= 0; }
  double Extent() { return 1.0; }
  void GeometryChanged() {}
  void Scroll(int32_t, int32_t) {}
  bool HitTest(double, double) { return false; }
  ProbeRecord Probe(double, double) { return ProbeRecord{}; }
  NearestPointRecord NearestPoint(double, double, double, double, double) { return NoNearestPoint(); }
  int32_t left, status = 0;
  int computes = 0;
  Handle owned = nullptr;  // a counted block the graph releases
  std::vector<std::pair<int32_t, double>> changes;

 private:
  int* deletions_;
};
using FakeGraph = FakeGraphOf<GraphKind2D>;
using FakeGraph3D = FakeGraphOf<GraphKind3D>;

template <typename Base>
class FakeView : public Base {
 public:
  FakeView(std::string name, Log* log) : name_(std::move(name)), log_(log) {}
  ~FakeView() override { DeleteGraphList(this->graphs); }
  void Tick(int32_t budget) override {
    Note("tick " + std::to_string(budget));
    if (tickCost != 0) SpendUnits(tickCost);
    TickGraphList(this->graphs, budget);
  }
  void Draw() override { Note("draw"); }
  int32_t GraphStatus(int32_t index) override { return GraphListStatus(this->graphs, index); }
  void UpdateGeometry() override { Note("geometry"); }
  void Command(int32_t code) override { Note("command " + std::to_string(code)); }
  int32_t ScrollWheel(int32_t dh, int32_t dv) override { return Note("wheel " + Args(dh, dv)), 1; }
  void SetGraphOption(int32_t code, double value, int32_t index) override {
    Note("graph option " + Args(code, int32_t(value)) + " " + std::to_string(index));
  }
  RgnHandle InvalRect(RgnHandle region, bool) override { return RectRgn(region, this->rect), region; }
  RgnHandle InvalRectMode(RgnHandle region, bool, QDPoint) override { return RectRgn(region, this->rect), region; }
  RgnHandle InvalRegion(RgnHandle region) override { return RectRgn(region, this->rect), region; }
  QDPoint Origin() override { return QDPoint{0, 0}; }
  ClickResult Click(QDPoint, uint32_t, const ClickFlags&) override { return Note("click"), ClickResult::Handled; }
  void ReservedHook1() override {}
  void ReservedHook2() override {}
  bool NeedsRedraw() override { return needsRedraw; }
  bool CanRedrawLive() override { return true; }
  bool IsReady() override { return Note("ready?"), AllGraphsComplete(this->graphs); }
  void SetOption(int32_t code, double) override { Note("option " + std::to_string(code)); }
  // The kind-specific operations.
  bool SetViewRange(double x1, double, double, double) { return Note("range " + std::to_string(int(x1))), true; }
  bool DropPicture(const Picture*, const QDPoint*) { return Note("drop"), true; }
  bool UpdateViewMaps() { return Note("maps"), false; }
  bool HasWindowContext() { return windowContext; }
  int32_t tickCost = 0;
  bool needsRedraw = false, windowContext = false;

 private:
  static std::string Args(int32_t a, int32_t b) { return std::to_string(a) + " " + std::to_string(b); }
  void Note(const std::string& what) { log_->push_back(name_ + " " + what); }
  std::string name_;
  Log* log_;
};
using FakeView2D = FakeView<GraphView2D>;

using FakeView3D = FakeView<GraphView3D>;
using FakeView4D = FakeView<GraphView4D>;

// The graph paper and its patterns for the whole suite (counted before any test's baseline).
struct GraphicsEnvironment : testing::Environment {
  void SetUp() override { ASSERT_TRUE(InitGraphicsLayer()); }
  void TearDown() override { ShutdownGraphicsLayer(); }
};

// A curve y = f(x) with its first two derivatives.
struct Curve {
  double (*f)(double), (*df)(double), (*d2f)(double);
};
inline constexpr Curve kLineYX{[](double x) { return x; }, [](double) { return 1.0; }, [](double) { return 0.0; }};

// A complete graph of a curve: hit within `hitTolerance` of it, probed as (x, f(x)) in
// `probeMode`, nearest points exact (Newton on the foot of the perpendicular, no walk); it paints
// `paint` (world x0, y0, x1, y1) through `map` when given one.
class CurveGraph : public GraphKind2D {
 public:
  CurveGraph(Curve curve, int32_t hitClass) : c_(curve), hitClass_(hitClass) {}
  void Compute(int32_t) override {}
  bool Draw() override {
    for (int32_t v = map ? WorldToPixelY(map, paint[3]) : 0; map && v < WorldToPixelY(map, paint[1]); ++v)
      for (int32_t h = WorldToPixelX(map, paint[0]); h < WorldToPixelX(map, paint[2]); ++h)
        if (uint32_t* p = PixelAddress(GetPort(), h, v)) *p = 0x00FF0000u;
    return true;
  }
  int32_t Status() override { return 0; }
  void VariableChanged(int32_t, double) override {}
  void SetOption(int32_t code, double value) override { options.push_back({code, value}); }
  void Invalidate() override {}
  bool IsComplete() override { return complete; }
  void GeometryChanged() override { ++geometryChanges; }
  void Scroll(int32_t, int32_t) override {}
  bool HitTest(double x, double y) override { return std::fabs(y - c_.f(x)) <= hitTolerance; }
  ProbeRecord Probe(double x, double) override {
    ProbeRecord r{};
    r.mode = probeMode, r.x = r.value = x, r.y = c_.f(x);
    return r;
  }
  NearestPointRecord NearestPoint(double x, double y, double tolerance, double tmin, double tmax) override {
    double t = x;
    for (int k = 0; k < 60 && (std::isfinite(tmin) || std::isfinite(tmax)); ++k) {
      const double e = c_.f(t) - y;  // g(t) = (t - x) + e f'(t) = 0
      t -= ((t - x) + e * c_.df(t)) / (1 + c_.df(t) * c_.df(t) + e * c_.d2f(t));
    }
    t = std::min(std::max(t, tmin), tmax);
    NearestPointRecord r{{t - tolerance, t - tolerance, c_.f(t - tolerance)}, {t, t, c_.f(t)},
                         {t + tolerance, t + tolerance, c_.f(t + tolerance)}, 1};
    return r;
  }
  int32_t HitClass() override { return hitClass_; }
  const ViewMap* map = nullptr;
  double paint[4] = {0, 0, 0, 0};
  uint32_t probeMode = 1;
  double hitTolerance = 0.05;
  bool complete = true;
  int geometryChanges = 0;
  std::vector<std::pair<int32_t, double>> options;

 private:
  Curve c_;
  int32_t hitClass_;
};

// Labels measured 6 pixels a character and recorded where they would be drawn, with no ink.
struct DrawnLabel {
  std::string text;
  int32_t h, v;
  bool operator==(const DrawnLabel& o) const { return text == o.text && h == o.h && v == o.v; }
};
inline std::vector<DrawnLabel>& DrawnLabels() {
  static std::vector<DrawnLabel> labels;
  return labels;
}

// A 2D view over the recording document, with the fixed labels.
class View2DTest : public GraphsTest {
 protected:
  void SetUp() override {
    GraphsTest::SetUp();
    DrawnLabels().clear();
    GraphsGlobals().labelText = LabelTextSeam{
        [] {}, [](const char* text) { return int32_t(6 * std::string(text).size()); },
        [](const char* text) { DrawnLabels().push_back({text, GetPort()->pen.location.h, GetPort()->pen.location.v}); }};
    view->document = &document;
  }
  void TearDown() override {
    EXPECT_TRUE(CheckGraphView2D(*view));
    delete view;
    GraphsTest::TearDown();
  }
  // The view at the rectangle with the default scale and corner for it.
  void Place(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    view->rect = MakeRect(left, top, right, bottom);
    view->SetViewDefaults();
    view->UpdateGeometry();
  }
  CurveGraph* AddCurve(Curve curve = kLineYX, int32_t hitClass = 2) {
    auto* graph = new CurveGraph(curve, hitClass);
    EXPECT_TRUE(PtrArrayAppend(view->graphs, static_cast<GraphKind*>(graph)));
    return graph;
  }
  FakeDocument document;
  GraphView2D* view = new GraphView2D();
};

// The 2D view driven by a scripted pointer on the fake clock.
class ScriptedView2DTest : public View2DTest {
 protected:
  void SetUp() override {
    View2DTest::SetUp();
    SetPointerSource(&pointer);
  }
  void TearDown() override {
    SetPointerSource(nullptr);
    View2DTest::TearDown();
  }
  void Script(std::initializer_list<ScriptedPointerSource::Step> steps) {
    for (const ScriptedPointerSource::Step& s : steps) pointer.Push(s);
  }
  FakeClock clock;
  ScriptedPointerSource pointer{&clock};
};

}  // namespace graphs_test
