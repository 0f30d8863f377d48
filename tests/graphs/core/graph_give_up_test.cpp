// The view tick's record of evaluations that gave up on their sums: a graph whose computing met one
// says so (kMessageTooManyTerms); a later run without one gives it its own status back.
#include <set>

#include "graphs/core/graph_view.h"
#include "kernel/eval/evaluation_budget.h"
#include "tests/graphs/graphs_test_support.h"

namespace {

using graphs_test::FakeGraph;

class GraphGiveUpTest : public graphs_test::GraphsTest {};

// Eight units of computing; while it spends a unit named in `giveUps`, an evaluation gives up.
// Its own status is 3, "Undefined in the domain shown".
class GivingUpGraph : public FakeGraph {
 public:
  GivingUpGraph() : FakeGraph(8) { status = 3; }
  void Compute(int32_t budget) override {
    const int32_t from = 8 - left;
    FakeGraph::Compute(budget);
    for (int32_t unit = from; unit < 8 - left; ++unit) {
      if (giveUps.count(unit) != 0) met = true, NoteEvaluationPastWorkLimit();
    }
  }
  void Invalidate() override { left = 8, met = false; }
  std::set<int32_t> giveUps;
  bool met = false;  // a give-up in this run so far
};

// Each row: the units that give up in a run and in the next (after an invalidation). The message
// shows from the tick that met a give-up on, and the run completes with it or with the graph's
// own status, which a complete graph keeps. Budgets 1, 2, 3 and 100 per tick.
TEST_F(GraphGiveUpTest, TheRecordFollowsTheRunsWhateverTheSlicing) {
  const std::set<int32_t> cases[][2] = {{{}, {}}, {{5}, {}}, {{0, 1, 2, 3, 4, 5, 6, 7}, {7}}, {{}, {0}}};
  FakeClock clock;
  for (const auto& runs : cases) {
    for (int32_t budget : {1, 2, 3, 100}) {
      GraphList graphs;
      auto* graph = new GivingUpGraph;
      ASSERT_TRUE(PtrArrayAppend(graphs, static_cast<GraphKind*>(graph)));
      for (const std::set<int32_t>& giveUps : runs) {
        graph->giveUps = giveUps;
        graph->Invalidate();
        for (int ticks = 0; !graph->IsComplete(); ++ticks) {
          ASSERT_LT(ticks, 100);
          TickGraphList(graphs, budget);
          if (graph->met) {
            EXPECT_EQ(GraphListStatus(graphs, 0), kMessageTooManyTerms) << budget;
          }
        }
        const int32_t completed = giveUps.empty() ? 3 : kMessageTooManyTerms;
        EXPECT_EQ(GraphListStatus(graphs, 0), completed) << budget << " " << giveUps.size();
        TickGraphList(graphs, budget);
        EXPECT_EQ(GraphListStatus(graphs, 0), completed) << budget << " " << giveUps.size();
      }
      DeleteGraphList(graphs);
    }
  }
}

}  // namespace
