// The window while graphs of nested sums compute: however many terms a point would take, a key is
// answered while they compute, the computing ends, and the row's graph says it has too many terms
// to sum (as the in-process twin computes the same document). How long a key can wait behind the
// computing is benchmarked (the longest slice); here the limit only tells a held window.
#include "tests/document/nested_sum_lines.h"
#include "tests/shell/window_test_support.h"

using namespace window_test;

namespace {

using GraphBudgetWindowTest = WindowTest;

// Two documents past the limit (10^12 and 2^28 terms a point), each alone; then the first beside a
// row that keeps the graphs computing far longer than the presses take (a sum of 50,000 terms a
// point: about a minute in the sanitized build), so that the keys are pressed while they compute.
TEST_F(GraphBudgetWindowTest, NestedSumsNeverHoldTheWindowAndTheRowSaysWhy) {
  const std::string trillion = nested_sums::TrillionTermsLine();
  const struct {
    std::string lines;
    bool alone;
  } cases[] = {
      {trillion, true},
      {nested_sums::NestedPairsPastTheLimitLine(), true},
      {trillion + "\nequal[y,sum[over[x,n],equal[n,1],50000]]", false},
  };
  for (const auto& c : cases) {
    const size_t logBefore = program_.Log().size();  // the log runs on across the cases
    std::ofstream(document_) << c.lines << "\n";
    Launch({}, false);  // the keys are pressed while the graphs compute
    ASSERT_TRUE(program_.SeenOrWaitFor(logBefore, "caret")) << "the start-up caret line, answering no key";
    FocusWindow();
    for (int press = 0; press < 4; ++press, Pause(150)) {
      const auto start = Clock::now();
      Key(XK_Right, false);
      EXPECT_TRUE(program_.WaitFor("caret", nullptr, 30)) << c.lines << " press " << press;
      EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), kHeldSeconds) << c.lines << " press " << press;
    }
    const bool complete = program_.Log().find("graphs complete", logBefore) != std::string::npos;
    if (c.alone) {
      EXPECT_TRUE(complete || program_.WaitFor("graphs complete")) << c.lines;
    } else {
      EXPECT_FALSE(complete) << "keys after the computing";
    }
    program_.Stop();
    window_ = 0;
    if (c.alone) {  // the row's status, from the twin once it has computed the document
      ASSERT_NO_FATAL_FAILURE(OpenTwin());
      for (int ticks = 0; !twinWindow_->GraphsComplete() && ticks < 100000; ++ticks) twinWindow_->IdleTick(30);
      EXPECT_TRUE(twinWindow_->GraphsComplete());
      EXPECT_EQ(ViewSetGetSlotEntry(&twin_->viewSet, twin_->rows.data[0].graphRow), kMessageTooManyTerms) << c.lines;
      EXPECT_STREQ(twinWindow_->RowMessageText(0), GraphResultMessage(kMessageTooManyTerms)) << "under the row";
    }
    twinWindow_.reset();
    twin_.reset();
  }
}

}  // namespace
