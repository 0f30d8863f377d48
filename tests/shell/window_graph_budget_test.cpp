// The window while graphs of nested sums compute: however many terms a point would take, a key is
// answered within half a second of its press, the computing ends, and the row's graph says it has
// too many terms to sum. The program runs under Xvfb; its in-process twin computes the same
// document for the row's status.
#include "tests/document/nested_sum_lines.h"
#include "tests/shell/window_test_support.h"

using namespace window_test;

namespace {

class GraphBudgetWindowTest : public WindowTest {
 protected:
  // Opens the program on a document of the one line and finds its window, without waiting for
  // the graphs: the keys below are pressed while they compute.
  void Open(const std::string& line) {
    std::ofstream(document_) << line << "\n";
    ASSERT_TRUE(program_.Start({"--trace", "--size", std::to_string(kWidth) + "x" + std::to_string(kHeight), document_}));
    ASSERT_TRUE(program_.WaitFor("layout")) << "the window did not open";
    for (int i = 0; i < 100 && window_ == 0; ++i, Pause(50)) window_ = Find(DefaultRootWindow(dpy_));
    ASSERT_NE(window_, 0u) << "no window named Quorvalis";
    XSetInputFocus(dpy_, window_, RevertToParent, CurrentTime);
    XSync(dpy_, False);
  }

  // Seconds from a press of the right arrow to the caret line that answers it; a large value
  // when no answer came.
  double KeyAnswerSeconds() {
    const auto start = Clock::now();
    Key(XK_Right, false);
    if (!program_.WaitFor("caret", nullptr, 30)) return 1e9;
    return std::chrono::duration<double>(Clock::now() - start).count();
  }

  // The status of row 0's graph once the in-process twin has computed the document.
  int32_t TwinRowStatus() {
    InitApplicationGlobals();
    InstallAlgebraSeams();
    EXPECT_TRUE(InitGraphicsLayer());
    twin_ = std::make_unique<DocumentRecord>(ComputeDocumentWindowLayout(kWidth, kHeight).graphPane);
    std::vector<int> lines;
    std::vector<DocumentProblem> problems;
    std::string failure;
    EXPECT_TRUE(ReadDocumentFile(document_, twin_.get(), &lines, &problems, &failure)) << failure;
    twinWindow_ = std::make_unique<DocumentWindow>(twin_.get(), nullptr);
    EXPECT_TRUE(twinWindow_->Open(kWidth, kHeight));
    for (int ticks = 0; !twinWindow_->GraphsComplete() && ticks < 100000; ++ticks) twinWindow_->IdleTick(30);
    EXPECT_TRUE(twinWindow_->GraphsComplete());
    return ViewSetGetSlotEntry(&twin_->viewSet, twin_->rows.data[0].graphRow);
  }
};

// The two documents that held the window (10^12 and 2^20 terms a point), each alone; then the
// first beside a row that keeps the graphs computing for a while (a sum of thousands of terms whose
// bound follows x), so that the keys are pressed while they compute.
TEST_F(GraphBudgetWindowTest, NestedSumsNeverHoldTheWindowAndTheRowSaysWhy) {
  const std::string trillion = nested_sums::TrillionTermsLine();
  const struct {
    std::string lines;
    bool alone;
  } cases[] = {
      {trillion, true},
      {nested_sums::TwentyNestedPairsLine(), true},
      {trillion + "\nequal[y,sum[over[x,n],equal[n,1],5000]]", false},
  };
  for (const auto& c : cases) {
    const size_t logBefore = program_.Log().size();  // the log runs on across the cases
    Open(c.lines);
    for (int press = 0; press < 4; ++press) {
      EXPECT_LT(KeyAnswerSeconds(), 0.5) << c.lines << " press " << press;
      Pause(150);
    }
    if (!c.alone) {
      EXPECT_EQ(program_.Log().find("graphs complete", logBefore), std::string::npos) << "keys after the computing";
    }
    if (c.alone) {
      const bool complete = program_.Log().find("graphs complete", logBefore) != std::string::npos;
      EXPECT_TRUE(complete || program_.WaitFor("graphs complete")) << c.lines;
    }
    program_.Stop();
    window_ = 0;
    if (c.alone) {
      EXPECT_EQ(TwinRowStatus(), kMessageTooManyTerms) << c.lines;
    }
    twinWindow_.reset();
    twin_.reset();
  }
}

}  // namespace
