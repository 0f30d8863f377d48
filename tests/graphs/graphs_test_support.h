// Shared set-up of the graph tests: a fixture that resets the process-wide records and proves no
// node or counted byte outlives a test; formula text read by the kernel's reader (blanks dropped);
// a document that records what is asked of it; graphs that spend a fixed amount of fake-clock
// time; and views of each kind that record the view set's calls as "<name> <call> <arguments>".
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "graphs/document_services.h"
#include "graphs/graph_view_2d.h"
#include "graphs/graph_view_3d.h"
#include "graphs/graph_view_4d.h"
#include "graphs/graphs_state.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/text/formula_reader.h"
#include "kernel/threads/timers.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"
#include "kernel/trees/tree_seams.h"
#include "platform/clock.h"

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
  std::vector<EquationRow> rows;
  Log log;
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
  void SetViewRange(double x1, double, double, double) { Note("range " + std::to_string(int(x1))); }
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

}  // namespace graphs_test
