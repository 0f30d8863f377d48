// The work limit of one evaluation on nested sums, and the turns of a long one.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "kernel/eval/block_evaluation.h"
#include "kernel/eval/evaluation_budget.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/numeric/interval.h"
#include "tests/kernel/eval/evaluation_test_support.h"

using namespace evaltest;

namespace {

// The give-up paths at a million instructions, so that a sanitized build reaches them in moments
// (the real limit is 134 times that).
class EvaluationBudgetTest : public EvaluationFixture {
 protected:
  void SetUp() override {
    EvaluationFixture::SetUp();
    SetEvaluationWorkLimitForTests(1'000'000);
  }
};

// `levels` sums of two terms each (indices a, b, c, ...) around x: 2^levels x.
std::string NestedPairSums(int levels) {
  std::string s = "x";
  for (int k = 0; k < levels; ++k) s = "bsum[equal[" + std::string(1, static_cast<char>('a' + k)) + ",1],2," + s + "]";
  return s;
}

// A tree at x = 1 on the real, complex and real-block machines, then over point boxes on the
// interval, complex-interval and interval-block ones.
struct EveryMachine {
  double points[3];
  Interval boxes[3];
};

EveryMachine ValuesOnEveryMachine(const std::string& tree) {
  const std::string complexTree = "plus[" + tree + ",times[0,i]]";
  CompiledFunction* c = Compiled(complexTree.c_str());
  Complex z;
  EvaluateComplexAt2(&z, c, 1, 0);
  Free(c);
  CompiledFunction* f = Function(tree.c_str());
  EvalContext* context = CompileFunctionsShared1(f);
  PrepareSampleGrid(1, 0, 1, 1, 4, 1, context);
  double row[4];
  EvaluateGridRow(f, 0, 0, 1, context, row);
  DisposeEvalContext(context);
  const Interval ones[4] = {{1, 1}, {1, 1}, {1, 1}, {1, 1}};
  Interval boxes[4];
  EvaluateIntervalXBlock(f, BoxAxis{ones, {}}, 4, boxes);
  Free(f);
  return {{ValueAt(tree.c_str(), 1), z.re, row[0]},
          {IntervalValue(tree.c_str(), 1, 1), IntervalValue(complexTree.c_str(), 1, 1), boxes[0]}};
}

// Golden values by hand: n(n+1)(2n+1)/6, (40 * 41 / 2)^3, 2^16, sums of n and n^2. Past the limit
// (NaN) never the partial sum, nor as the algebra reads a number; in moments, though the last tree
// of the first rows (the 96-byte document's) has 10^12 terms. A sum alone is bounded by its span,
// so its work never counts, however long its term: with the limit at 1,000 instructions (the last
// rows), sums alone of 100,001 terms keep their value, one after another and before a nested sum,
// which alone counts.
TEST_F(EvaluationBudgetTest, EveryMachineKeepsSumsWithinTheLimitAndGivesNoValuePastIt) {
  const double none = NAN;
  const struct {
    std::string tree;
    double expected;
    int64_t limit;  // 0: the fixture's million
  } cases[] = {
      {"bsum[equal[n,1],10000,times[n,n,x]]", 333383335000.0, 0},
      {"bsum[equal[i,1],40,bsum[equal[j,1],40,bsum[equal[k,1],40,times[i,j,k,x]]]]", 551368000.0, 0},
      {NestedPairSums(16), 65536.0, 0},
      {"bsum[equal[n,1],100001,x]", 100001.0, 0},  // the widest sum there is
      {NestedPairSums(20), none, 0},
      {"bsum[equal[n,1],200000,x]", none, 0},  // wider than a sum may be at its start
      {"bsum[equal[i,1],100000,bsum[equal[j,1],100000,x]]", none, 0},
      {"plus[x,bsum[equal[n,1],100001,bsum[equal[m,1],n,1]]]", none, 0},  // inner bound set by the outer index
      {"bsum[equal[i,1],10000,bsum[equal[j,1],10000,bsum[equal[k,1],10000,over[x,times[i,j,k]]]]]", none, 0},
      {"bsum[equal[n,1],100001,plus[times[x,n],times[x,n,n]]]", 333353333700002.0, 1'000},
      {"plus[bsum[equal[n,1],100001,x],bsum[equal[m,1],100001,times[2,x]]]", 300003.0, 1'000},
      {"plus[bsum[equal[n,1],100001,x],bsum[equal[i,1],5,bsum[equal[j,1],5,x]]]", 100026.0, 1'000},
      {"bsum[equal[i,1],40,bsum[equal[j,1],40,x]]", none, 1'000},  // 1,600 runs of the inner body
      {"plus[bsum[equal[i,1],5,bsum[equal[j,1],5,x]],bsum[equal[i,1],40,bsum[equal[j,1],40,x]]]", none, 1'000},
      {"plus[bsum[equal[n,1],100001,x],bsum[equal[i,1],40,bsum[equal[j,1],40,x]]]", none, 1'000},
  };
  const auto start = std::chrono::steady_clock::now();
  for (const auto& c : cases) {
    SetEvaluationWorkLimitForTests(c.limit != 0 ? c.limit : 1'000'000);
    const uint64_t gaveUp = EvaluationsPastWorkLimit();
    const bool past = std::isnan(c.expected);
    const EveryMachine m = ValuesOnEveryMachine(c.tree);
    for (double v : m.points) EXPECT_TRUE(past ? std::isnan(v) : v == c.expected) << c.tree << ": " << v;
    for (const Interval& box : m.boxes) {
      EXPECT_TRUE(past ? IntervalIsUndefined(box) : box.lo <= c.expected && c.expected <= box.hi) << c.tree;
    }
    ExprNode* node = Tree(c.tree.c_str());
    EXPECT_TRUE(!past || std::isnan(NodeToNumber(node))) << c.tree;
    FreeExpression(node);
    const uint64_t counted = EvaluationsPastWorkLimit() - gaveUp;  // a constant part gives up once
    EXPECT_TRUE(past ? counted >= 5 : counted == 0) << c.tree << ": " << counted;
  }
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 30.0);
}

// Boxes past the limit over part of them only (inner sums stopping apart; a span too wide) are a
// partial domain holding the points within the limit, and a point past it, again and again, never
// reaches those (values by hand).
TEST_F(EvaluationBudgetTest, AGiveUpLeavesThePointsWithinTheLimitAloneInABoxOrOnTheirOwn) {
  const struct {
    const char* tree;
    double lo, hi;  // hi is past the limit
    std::vector<std::pair<double, double>> within;  // x, value
    uint64_t gaveUp;  // a span too wide is refused before any work
  } cases[] = {
      {"bsum[equal[i,1],1000,bsum[equal[j,1],x,1]]", 1, 5000, {{1, 1000}, {2, 2000}, {10, 10000}}, 1},
      {"bsum[equal[n,1],x,1]", 50000, 150000, {{50000, 50000}, {100001, 100001}}, 0},
  };
  for (const auto& c : cases) {
    CompiledFunction* f = Compiled(c.tree);
    const uint64_t gaveUp = EvaluationsPastWorkLimit();
    double lo, hi, pointLo, pointHi;
    EvaluateIntervalXY(f, c.lo, c.hi, 0, 0, &lo, &hi);
    EXPECT_EQ(EvaluationsPastWorkLimit() - gaveUp, c.gaveUp) << c.tree;
    EXPECT_TRUE(IntervalPartialDomainSeen()) << c.tree;
    for (int round = 0; round < 3; ++round) {
      EXPECT_TRUE(std::isnan(EvaluateFunction2(f, c.hi, 0))) << c.tree;
      for (const auto& [x, value] : c.within) {
        EXPECT_EQ(EvaluateFunction2(f, x, 0), value) << c.tree << " at " << x;
        EvaluateIntervalXY(f, x, x, 0, 0, &pointLo, &pointHi);
        EXPECT_TRUE(lo <= value && value <= hi && pointLo <= value && value <= pointHi) << c.tree << " at " << x;
      }
    }
    Free(f);
  }
}

// Every run says so, over a constant part worked out once too (as a graph computed again after a
// zoom must be told); loops the same in every run give up at once after the first time (a
// sanitized build needs some 50 ms for one).
TEST_F(EvaluationBudgetTest, EveryRunPastTheLimitSaysSoAndFixedLoopsGiveUpAtOnceAfterTheFirst) {
  const struct {
    const char* tree;
    uint64_t firstRun;  // give-ups the first run counts: a constant part's working out is one more
  } cases[] = {{"plus[x,bsum[equal[i,1],10000,bsum[equal[j,1],10000,over[1,times[i,j]]]]]", 3},
               {"bsum[equal[i,1],2000,bsum[equal[j,1],2000,over[x,times[i,j]]]]", 2}};
  for (const auto& [tree, firstRun] : cases) {
    CompiledFunction* f = Compiled(tree);
    const auto start = std::chrono::steady_clock::now();
    for (int run = 0; run < 1000 && !HasFailure(); ++run) {
      const uint64_t before = EvaluationsPastWorkLimit();
      double lo, hi;
      EvaluateIntervalXY(f, run, run + 1, 0, 0, &lo, &hi);
      EXPECT_TRUE(std::isnan(EvaluateFunction2(f, run, 0)) && std::isnan(lo) && std::isnan(hi)) << tree << " " << run;
      EXPECT_EQ(EvaluationsPastWorkLimit() - before, run == 0 ? firstRun : 2u) << tree << " " << run;
    }
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0) << tree;
    Free(f);
  }
}

// Every machine takes a turn at its start and about every kEvaluationTurnWork instructions of a
// long sum, alone or nested; a turn that throws ends the run there, leaves no block behind (a
// constant part and a tree worked out by NodeToNumber hold blocks across their runs), and the next
// run, without the hook, gives the value.
TEST_F(EvaluationBudgetTest, EveryMachineTakesItsTurnsAndAThrowingTurnEndsTheRunCleanly) {
  struct Turns {
    int taken = 0;
    int throwAt = 0;  // 0: never
  };
  static Turns turns;
  struct Stop {};
  SetEvaluationTurnHook([] {
    if (++turns.taken == turns.throwAt) throw Stop{};
  });
  const char* trees[] = {
      "bsum[equal[n,1],100000,times[x,n]]",                                // 5,000,050,000 x: alone
      "bsum[equal[i,1],300,bsum[equal[j,1],300,times[x,i,j]]]",          // 2,038,522,500 x: nested
      "plus[x,bsum[equal[n,1],100000,n]]",                                 // a constant part: x + 5,000,050,000
  };
  const double expected[] = {5000050000.0, 2038522500.0, 5000050001.0};
  for (size_t t = 0; t < std::size(trees); ++t) {
    // About one turn every kEvaluationTurnWork instructions: at least one per 2 * 16,384 of the
    // some 300,000 to 400,000 run, and not one per body run.
    turns = Turns{};
    const EveryMachine m = ValuesOnEveryMachine(trees[t]);
    EXPECT_GT(turns.taken, 6 * 8) << trees[t];
    EXPECT_LT(turns.taken, 6 * 200) << trees[t];
    for (double v : m.points) EXPECT_EQ(v, expected[t]) << trees[t];
    // Thrown at the third turn of each entry, then the value again.
    for (int entry = 0; entry < 3; ++entry) {
      CompiledFunction* f = Compiled(trees[t]);
      ExprNode* node = Tree(trees[t]);
      const size_t bytes = GetBytesInUse();
      turns = Turns{0, 3};
      bool thrown = false;
      try {
        double lo, hi;
        if (entry == 0) EvaluateFunction2(f, 1, 0);
        if (entry == 1) EvaluateIntervalXY(f, 1, 1, 0, 0, &lo, &hi);
        if (entry == 2) NodeToNumber(node);
      } catch (const Stop&) {
        thrown = true;
      }
      EXPECT_TRUE(thrown) << trees[t] << " entry " << entry;
      EXPECT_EQ(GetBytesInUse(), bytes) << trees[t] << " entry " << entry;
      turns = Turns{};
      f->bindingsEvaluated = 0;  // a constant part cut short is worked out again
      EXPECT_EQ(EvaluateFunction2(f, 1, 0), expected[t]) << trees[t] << " entry " << entry;
      FreeExpression(node);
      Free(f);
    }
  }
}

}  // namespace
