// The work limit of one evaluation: nested sums whose terms together pass it have no value on any
// machine (point, box, block) nor as the algebra reads a number, and are counted; sums within it
// keep their exact values; a give-up at one point never reaches a point within the limit; a code
// whose loops are the same in every run gives up at once after the first time.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "kernel/eval/block_evaluation.h"
#include "kernel/eval/evaluation_budget.h"
#include "kernel/numeric/interval.h"
#include "tests/kernel/eval/evaluation_test_support.h"

using namespace evaltest;

namespace {

class EvaluationBudgetTest : public EvaluationFixture {};

// `levels` sums of two terms each (indices a, b, c, ...) around x: 2^levels x.
std::string NestedPairSums(int levels) {
  std::string s = "x";
  for (int k = 0; k < levels; ++k) s = "bsum[equal[" + std::string(1, static_cast<char>('a' + k)) + ",1],2," + s + "]";
  return s;
}

// The 96-byte document's sum: three nested sums of 10,000 terms, 10^12 terms at every point.
constexpr const char* kTrillionTerms =
    "bsum[equal[i,1],10000,bsum[equal[j,1],10000,bsum[equal[k,1],10000,over[x,times[i,j,k]]]]]";

// What every machine gives for a tree at x = 1 (y = 0): the real and complex machines, the
// interval and complex-interval machines over the point box, the real block over a grid row and
// the interval block over a row of point boxes. The complex forms add 0 i.
struct EveryMachine {
  double real, complexRe, blockRow;
  Interval box, complexBox, blockBox;
};

EveryMachine ValuesOnEveryMachine(const std::string& tree) {
  EveryMachine m{};
  m.real = ValueAt(tree.c_str(), 1);
  const std::string complexTree = "plus[" + tree + ",times[0,i]]";
  CompiledFunction* c = Compiled(complexTree.c_str());
  Complex z;
  EvaluateComplexAt2(&z, c, 1, 0);
  m.complexRe = z.re;
  Free(c);
  m.box = IntervalValue(tree.c_str(), 1, 1);
  m.complexBox = IntervalValue(complexTree.c_str(), 1, 1);
  CompiledFunction* f = Function(tree.c_str());
  EvalContext* context = CompileFunctionsShared1(f);
  PrepareSampleGrid(1, 0, 1, 1, 4, 1, context);
  double row[4];
  EvaluateGridRow(f, 0, 0, 1, context, row);
  m.blockRow = row[0];
  DisposeEvalContext(context);
  const Interval ones[4] = {{1, 1}, {1, 1}, {1, 1}, {1, 1}};
  Interval boxes[4];
  EvaluateIntervalXBlock(f, BoxAxis{ones, {}}, 4, boxes);
  m.blockBox = boxes[0];
  Free(f);
  return m;
}

// Golden values by hand: n(n+1)(2n+1)/6 for the squares, (40 * 41 / 2)^3 for the triple sum,
// 2^16 for sixteen levels of pairs.
TEST_F(EvaluationBudgetTest, SumsWithinTheLimitKeepTheirValuesOnEveryMachine) {
  const struct {
    std::string tree;
    double expected;
  } cases[] = {
      {"bsum[equal[n,1],10000,times[n,n,x]]", 333383335000.0},
      {"bsum[equal[i,1],40,bsum[equal[j,1],40,bsum[equal[k,1],40,times[i,j,k,x]]]]", 551368000.0},
      {NestedPairSums(16), 65536.0},
      {"bsum[equal[n,1],100001,x]", 100001.0},  // the widest sum there is
  };
  for (const auto& c : cases) {
    const uint64_t gaveUp = EvaluationsPastWorkLimit();
    const EveryMachine m = ValuesOnEveryMachine(c.tree);
    EXPECT_EQ(m.real, c.expected) << c.tree;
    EXPECT_EQ(m.complexRe, c.expected) << c.tree;
    EXPECT_EQ(m.blockRow, c.expected) << c.tree;
    for (const Interval& box : {m.box, m.complexBox, m.blockBox}) {
      EXPECT_TRUE(box.lo <= c.expected && c.expected <= box.hi) << c.tree << ": [" << box.lo << ", " << box.hi << "]";
    }
    EXPECT_EQ(EvaluationsPastWorkLimit(), gaveUp) << c.tree;
  }
}

// Past the limit every machine gives no value, never the partial sum, and counts the run, and so
// does the algebra's reading of a number; the whole table finishes in moments (the last tree
// alone would take hours term by term).
TEST_F(EvaluationBudgetTest, NestedSumsPastTheLimitHaveNoValueOnEveryMachine) {
  const std::string cases[] = {
      NestedPairSums(20),
      "bsum[equal[n,1],200000,x]",  // wider than a sum may be at its start
      "bsum[equal[i,1],100000,bsum[equal[j,1],100000,x]]",
      "plus[x,bsum[equal[n,1],100001,bsum[equal[m,1],n,1]]]",  // inner bound set by the outer index
      kTrillionTerms,
  };
  const auto start = std::chrono::steady_clock::now();
  for (const std::string& tree : cases) {
    const uint64_t gaveUp = EvaluationsPastWorkLimit();
    const EveryMachine m = ValuesOnEveryMachine(tree);
    ASSERT_TRUE(std::isnan(m.real) && std::isnan(m.complexRe) && std::isnan(m.blockRow)) << tree;
    for (const Interval& box : {m.box, m.complexBox, m.blockBox}) {
      EXPECT_TRUE(IntervalIsUndefined(box)) << tree << ": [" << box.lo << ", " << box.hi << "]";
    }
    ExprNode* node = Tree(tree.c_str());  // as the algebra reads a number
    EXPECT_TRUE(std::isnan(NodeToNumber(node))) << tree;
    FreeExpression(node);
    // At least once a compiled function: a sum free of x is a constant part, worked out once.
    EXPECT_GE(EvaluationsPastWorkLimit() - gaveUp, 5u) << tree;
  }
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 30.0);
}

// The bound depends on x: past the limit at x = 5000 (5 million inner terms), within it at x = 10.
// Each point is evaluated on its own, so the give-up before never reaches the point after.
TEST_F(EvaluationBudgetTest, AGiveUpAtOnePointLeavesPointsWithinTheLimitAlone) {
  CompiledFunction* f = Compiled("bsum[equal[i,1],1000,bsum[equal[j,1],x,1]]");
  for (int round = 0; round < 3; ++round) {
    EXPECT_TRUE(std::isnan(EvaluateFunction2(f, 5000, 0))) << round;
    EXPECT_EQ(EvaluateFunction2(f, 10, 0), 10000.0) << round;
    double lo, hi;
    EvaluateIntervalXY(f, 10, 10, 0, 0, &lo, &hi);
    EXPECT_TRUE(lo <= 10000 && 10000 <= hi) << round;
  }
  Free(f);
}

// Over a box where the inner sum ends at different points, the points that stop early may finish
// within the limit: the box's value must still hold theirs (the whole line, with a partial
// domain), though the run over the box as a whole passes the limit.
TEST_F(EvaluationBudgetTest, ABoxWhosePointsStopApartStillHoldsThoseWithinTheLimit) {
  CompiledFunction* f = Compiled("bsum[equal[i,1],1000,bsum[equal[j,1],x,1]]");
  const uint64_t gaveUp = EvaluationsPastWorkLimit();
  double lo, hi;
  EvaluateIntervalXY(f, 1, 5000, 0, 0, &lo, &hi);
  EXPECT_EQ(EvaluationsPastWorkLimit() - gaveUp, 1u);
  EXPECT_TRUE(IntervalPartialDomainSeen());
  for (double x : {1.0, 2.0, 10.0}) {
    const double v = EvaluateFunction2(f, x, 0);
    EXPECT_TRUE(lo <= v && v <= hi) << x << ": " << v << " outside [" << lo << ", " << hi << "]";
  }
  Free(f);
}

// A sum whose span is too wide at part of the box only: those points have no value (a partial
// domain), the others keep theirs.
TEST_F(EvaluationBudgetTest, ASumTooWideOverPartOfTheBoxLeavesAPartialDomain) {
  CompiledFunction* f = Compiled("bsum[equal[n,1],x,1]");
  double lo, hi;
  EvaluateIntervalXY(f, 50000, 150000, 0, 0, &lo, &hi);
  EXPECT_TRUE(IntervalPartialDomainSeen());
  EXPECT_TRUE(lo <= 50000 && 100001 <= hi) << "[" << lo << ", " << hi << "]";
  EXPECT_TRUE(std::isnan(EvaluateFunction2(f, 150000, 0)));
  EXPECT_EQ(EvaluateFunction2(f, 50000, 0), 50000.0);
  Free(f);
}

// A constant part (a binding, worked out once) that gave up leaves every later run undefined, and
// each of them says so, as a graph computed again after a zoom must be told.
TEST_F(EvaluationBudgetTest, EveryRunReadingAConstantPartThatGaveUpSaysSo) {
  CompiledFunction* f = Compiled("plus[x,bsum[equal[i,1],10000,bsum[equal[j,1],10000,over[1,times[i,j]]]]]");
  for (int run = 0; run < 3; ++run) {
    const uint64_t gaveUp = EvaluationsPastWorkLimit();
    EXPECT_TRUE(std::isnan(EvaluateFunction2(f, run, 0))) << run;
    double lo, hi;
    EvaluateIntervalXY(f, run, run + 1, 0, 0, &lo, &hi);
    EXPECT_TRUE(std::isnan(lo) && std::isnan(hi)) << run;
    EXPECT_GE(EvaluationsPastWorkLimit() - gaveUp, 2u) << run;
  }
  Free(f);
}

// Loops that are the same in every run give up at once after the first time: a thousand points of
// four million terms each take about what one takes (a sanitized build needs some 50 ms for one).
TEST_F(EvaluationBudgetTest, FixedLoopsGiveUpAtOnceAfterTheFirstTime) {
  CompiledFunction* f = Compiled("bsum[equal[i,1],2000,bsum[equal[j,1],2000,over[x,times[i,j]]]]");
  const uint64_t gaveUp = EvaluationsPastWorkLimit();
  const auto start = std::chrono::steady_clock::now();
  for (int k = 0; k < 1000; ++k) ASSERT_TRUE(std::isnan(EvaluateFunction2(f, k, 0)));
  double lo, hi;
  EvaluateIntervalXY(f, -1, 1, 0, 0, &lo, &hi);
  EXPECT_TRUE(std::isnan(lo) && std::isnan(hi));
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0);
  EXPECT_EQ(EvaluationsPastWorkLimit() - gaveUp, 1001u);
  Free(f);
}

}  // namespace
