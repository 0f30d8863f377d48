// The view tick's record of evaluations that gave up on their sums: a graph whose computing met one
// says so (kMessageTooManyTerms) from that tick on and after it completes, however its work was
// sliced; a later run without one gives the graph its own status back once it completes.
#include <set>

#include "graphs/core/graph_view.h"
#include "kernel/eval/evaluation_budget.h"
#include "tests/graphs/graphs_test_support.h"

namespace {

using graphs_test::FakeGraph;

class GraphGiveUpTest : public graphs_test::GraphsTest {};

// `work` units of computing; while it spends a unit named in `giveUps`, an evaluation gives up.
class GivingUpGraph : public FakeGraph {
 public:
  GivingUpGraph(int32_t work, std::set<int32_t> giveUps) : FakeGraph(work), work_(work), giveUps_(std::move(giveUps)) {
    status = 3;  // its own status: "Undefined in the domain shown"
  }
  void Compute(int32_t budget) override {
    const int32_t from = work_ - left;
    FakeGraph::Compute(budget);
    for (int32_t unit = from; unit < work_ - left; ++unit) {
      if (giveUps_.count(unit) != 0) NoteEvaluationPastWorkLimit();
    }
  }
  void Invalidate() override { left = work_; }
  void Restart(std::set<int32_t> giveUps) {
    giveUps_ = std::move(giveUps);
    Invalidate();
  }

 private:
  int32_t work_;
  std::set<int32_t> giveUps_;
};

// Each row: the units that give up in the first run and in the second (after an invalidation),
// and the status expected when each run completes. Budgets 1, 2, 3 and 100 per tick.
TEST_F(GraphGiveUpTest, TheRecordFollowsTheRunsWhateverTheSlicing) {
  const struct {
    std::set<int32_t> first, second;
    int32_t afterFirst, afterSecond;
  } cases[] = {
      {{}, {}, 3, 3},
      {{5}, {}, kMessageTooManyTerms, 3},
      {{0, 1, 2, 3, 4, 5, 6, 7}, {7}, kMessageTooManyTerms, kMessageTooManyTerms},
      {{}, {0}, 3, kMessageTooManyTerms},
  };
  FakeClock clock;
  for (const auto& c : cases) {
    for (int32_t budget : {1, 2, 3, 100}) {
      GraphList graphs;
      auto* graph = new GivingUpGraph(8, c.first);
      ASSERT_TRUE(PtrArrayAppend(graphs, static_cast<GraphKind*>(graph)));
      bool seen = false;  // the message shows from the tick that met a give-up on
      for (int ticks = 0; !graph->IsComplete(); ++ticks) {
        ASSERT_LT(ticks, 100);
        const int32_t from = 8 - graph->left;
        TickGraphList(graphs, budget);
        for (int32_t unit = from; unit < 8 - graph->left; ++unit) seen = seen || c.first.count(unit) != 0;
        if (seen) {
          EXPECT_EQ(GraphListStatus(graphs, 0), kMessageTooManyTerms) << budget;
        }
      }
      EXPECT_EQ(GraphListStatus(graphs, 0), c.afterFirst) << budget;
      graph->Restart(c.second);
      for (int ticks = 0; !graph->IsComplete(); ++ticks) {
        ASSERT_LT(ticks, 100);
        TickGraphList(graphs, budget);
      }
      EXPECT_EQ(GraphListStatus(graphs, 0), c.afterSecond) << budget;
      TickGraphList(graphs, budget);  // a complete graph keeps its status
      EXPECT_EQ(GraphListStatus(graphs, 0), c.afterSecond) << budget;
      DeleteGraphList(graphs);
    }
  }
}

}  // namespace
