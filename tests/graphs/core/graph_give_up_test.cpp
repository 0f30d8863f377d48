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
      if (giveUps.count(unit) != 0) NoteEvaluationPastWorkLimit();
    }
  }
  void Invalidate() override { left = 8; }
  std::set<int32_t> giveUps;
};

// Each row: the units that give up in the first run and in the second (after an invalidation),
// and the status each run completes with; the message shows from the tick that met a give-up on,
// and a complete graph keeps its status. Budgets 1, 2, 3 and 100 per tick.
TEST_F(GraphGiveUpTest, TheRecordFollowsTheRunsWhateverTheSlicing) {
  const struct {
    std::set<int32_t> runs[2];
    int32_t completed[2];
  } cases[] = {
      {{{}, {}}, {3, 3}},
      {{{5}, {}}, {kMessageTooManyTerms, 3}},
      {{{0, 1, 2, 3, 4, 5, 6, 7}, {7}}, {kMessageTooManyTerms, kMessageTooManyTerms}},
      {{{}, {0}}, {3, kMessageTooManyTerms}},
  };
  FakeClock clock;
  for (const auto& c : cases) {
    for (int32_t budget : {1, 2, 3, 100}) {
      GraphList graphs;
      auto* graph = new GivingUpGraph;
      ASSERT_TRUE(PtrArrayAppend(graphs, static_cast<GraphKind*>(graph)));
      for (int run = 0; run < 2; ++run) {
        graph->giveUps = c.runs[run];
        graph->Invalidate();
        bool seen = false;
        for (int ticks = 0; !graph->IsComplete(); ++ticks) {
          ASSERT_LT(ticks, 100);
          const int32_t from = 8 - graph->left;
          TickGraphList(graphs, budget);
          for (int32_t unit = from; unit < 8 - graph->left; ++unit) seen = seen || c.runs[run].count(unit) != 0;
          if (seen) {
            EXPECT_EQ(GraphListStatus(graphs, 0), kMessageTooManyTerms) << budget << " run " << run;
          }
        }
        EXPECT_EQ(GraphListStatus(graphs, 0), c.completed[run]) << budget << " run " << run;
      }
      TickGraphList(graphs, budget);
      EXPECT_EQ(GraphListStatus(graphs, 0), c.completed[1]) << budget;
      DeleteGraphList(graphs);
    }
  }
}

}  // namespace
