// What the window asks of a graph outside its computing starts no evaluation on the caller's
// thread: every kind, built by the factory from formula text as a document would have it, is made,
// asked its status, invalidated, told of a parameter, given options and moved while the compute
// worker is wanted, and the evaluations the main thread started meanwhile are counted (compiles
// are not). Any of them may cost what the document says: a slider move must not freeze the window.
#include <functional>
#include <string>
#include <vector>

#include "graphs/core/compute_worker.h"
#include "graphs/factory/graph_factory.h"
#include "graphs/viewset/graph_view_set.h"
#include "tests/graphs/graphs_test_support.h"
#include "tests/kernel/trees/tree_test_support.h"

namespace {

using graphs_test::kAll;
using graphs_test::CutComputeIntoTurns;

enum class Space { k2D, k3D, k4D };

class EvaluationOnlyInComputeTest : public graphs_test::GraphsTest {
 protected:
  void TearDown() override {
    CutComputeIntoTurns(false);
    DestroyViewSet(&set_);
    graphs_test::GraphsTest::TearDown();
  }
  // The runs the main thread starts in `act` while the worker is wanted.
  template <typename F>
  static uint64_t MainThreadRunsOf(F act) {
    CutComputeIntoTurns(true);
    const uint64_t before = MainThreadRunsForTests();
    act();
    const uint64_t runs = MainThreadRunsForTests() - before;
    CutComputeIntoTurns(false);
    return runs;
  }
  graphs_test::FakeDocument document_;
  GraphViewSet set_;
  CoordinateTransform transform_;
};

// A sum up to a defined name (a, 1 by the document's default) in each kind. Contours: one whose
// levels hold (a re-measure is due only at a new grain) and a constant, whose levels never hold
// (every invalidation measures again). Implicit surfaces: one with a mesh, and one never
// satisfied, whose status is an interval verdict.
std::string S(const std::string& u) { return "bsum[equal[k,1],plus[3,a],over[" + u + ",power[k,2]]]"; }
const struct {
  Space space;
  double xyType;
  std::string text;
} kDocuments[] = {
    {Space::k2D, 1, "equal[y," + S("x") + "]"},
    {Space::k2D, 1, "leq[y," + S("x") + "]"},
    {Space::k2D, 1, "equal[matrix[2,1,x,y],matrix[2,1,cos[t]," + S("sin[t]") + "]]"},
    {Space::k2D, 1, "equal[matrix[3,1,h,s,v],matrix[3,1," + S("times[x,y]") + ",0.35,1]]"},
    {Space::k2D, 2, "equal[z," + S("times[x,y]") + "]"},
    {Space::k2D, 3, "equal[z," + S("times[x,y]") + "]"},
    {Space::k2D, 3, "equal[z," + S("1") + "]"},
    {Space::k2D, 1, "equal[matrix[2,1,x,y],matrix[2,1,minus[y]," + S("x") + "]]"},
    {Space::k2D, 1, "equal[matrix[2,1,x,y],matrix[2,1," + S("1") + ",0.5]]"},
    {Space::k2D, 1, "comma[matrix[2,1,0,0],matrix[2,1," + S("1") + ",1]]"},
    {Space::k3D, 1, "equal[z," + S("times[x,y]") + "]"},
    {Space::k3D, 1, "equal[plus[power[x,2],power[y,2],power[z,2]]," + S("1") + "]"},
    {Space::k3D, 1, "equal[plus[power[x,2],power[y,2],power[z,2]],minus[" + S("1") + "]]"},
    {Space::k3D, 1, "comma[equal[plus[power[x,2],power[y,2],power[z,2]],2],lessthan[" + S("x") + ",1]]"},
    {Space::k3D, 1, "equal[matrix[3,1,x,y,z],matrix[3,1,cos[t],sin[t]," + S("t") + "]]"},
    {Space::k3D, 1, "comma[equal[matrix[3,1,x,y,z],matrix[3,1,minus[y],x," + S("z") + "]],lessthan[" + S("x") + ",1]]"},
    {Space::k3D, 1, "comma[equal[matrix[3,1,x,y,z],matrix[3,1,minus[y],x,0]],equal[z," + S("x") + "]]"},
    {Space::k3D, 1, "matrix[3,1,minus[1],1," + S("0.5") + "]"},
    {Space::k3D, 1, "comma[equal[z,times[x,y]],equal[matrix[3,1,h,s,v],matrix[3,1," + S("x") + ",1,1]]]"},
    {Space::k3D, 1,
     "comma[equal[plus[power[x,2],power[y,2],power[z,2]],2],equal[matrix[3,1,r,g,b],matrix[3,1," + S("x") +
         ",0.5,0.5]]]"},
    {Space::k4D, 1, "equal[w," + S("z") + "]"},
    {Space::k4D, 1, "equal[matrix[4,1,x,y,u,v],matrix[4,1," + S("t") + ",t,t,t]]"},
    {Space::k4D, 1,
     "comma[equal[matrix[4,1,x,y,u,v],matrix[4,1,cos[u],sin[u],u,v]],greaterthan[" + S("x") +
         ",0],equal[matrix[3,1,h,s,v],matrix[3,1," + S("y") + ",1,1]]]"},
};

TEST_F(EvaluationOnlyInComputeTest, NoKindEvaluatesOnTheCallersThreadOutsideItsComputing) {
  std::vector<std::string> offences;
  for (const auto& d : kDocuments) {
    DestroyViewSet(&set_);
    InitViewSet(&set_, MakeRect(0, 0, 200, 200), &document_);
    BuildGraphsForEquationSet(&set_, d.space == Space::k3D, d.space == Space::k4D, false, false, &transform_);
    ExprNode* tree = tree_test::Build(d.text.c_str());
    const uint64_t made = MainThreadRunsOf([&] {
      CreateGraphsForEquation(&set_, tree, d.space == Space::k3D, d.space == Space::k4D, &transform_, 1, 0.5, 1, 2,
                              d.xyType, &document_, nullptr);
    });
    FreeExpression(tree);
    if (made != 0) offences.push_back(d.text + ": made, " + std::to_string(made) + " runs");
    GraphView* view = d.space == Space::k2D   ? static_cast<GraphView*>(set_.first2D)
                      : d.space == Space::k3D ? static_cast<GraphView*>(set_.first3D)
                                              : static_cast<GraphView*>(set_.view4D);
    ASSERT_GT(view->graphs.count, 0) << d.text;
    for (int32_t i = 0; i < view->graphs.count; ++i) {
      GraphKind* graph = view->graphs.data[i];
      auto* plane = d.space == Space::k2D ? static_cast<GraphKind2D*>(graph) : nullptr;
      // Each action on a graph computed whole (its work done, what goes stale becomes due) but the
      // status read right after an invalidation.
      const struct {
        const char* name;
        bool computedFirst;
        std::function<void()> act;
      } actions[] = {
          {"status", true, [&] { graph->Status(); }},
          {"invalidated", true, [&] { graph->Invalidate(); }},
          {"status while due", false, [&] { graph->Status(); }},
          {"parameter", true, [&] { graph->VariableChanged('a', 1); }},
          {"grain", true, [&] { graph->SetOption(8, 0.3); }},
          {"plotting mode", true, [&] { graph->SetOption(0, 2); }},
          {"hand-over", true, [&] { graph->SetOption(5, 0); }},
          {"colour", true, [&] { graph->SetOption(6, 3); }},
          {"opacity", true, [&] { graph->SetOption(7, 0.5); }},
          {"equal arrows", true, [&] { graph->SetOption(11, 1); }},
          {"geometry", true, [&] { plane != nullptr ? plane->GeometryChanged() : void(); }},
          {"scroll", true, [&] { plane != nullptr ? plane->Scroll(3, -2) : void(); }},
      };
      for (const auto& a : actions) {
        for (int calls = 0; a.computedFirst && calls < 1000 && !graph->IsComplete(); ++calls) graph->Compute(kAll);
        const uint64_t runs = MainThreadRunsOf(a.act);
        if (runs != 0) offences.push_back(d.text + ": " + a.name + ", " + std::to_string(runs) + " runs");
      }
    }
  }
  std::string list;
  for (const std::string& o : offences) list += "\n  " + o;
  EXPECT_TRUE(offences.empty()) << list;
}

}  // namespace
