// The window while a graph computes values of a hundred thousand terms a point, or while its rows
// are prepared with a costly definition: each key is answered within a second while the graphs go
// on computing (nothing is finished meanwhile) or the rows are prepared.
// The window takes its turn every 67 ms of computing, so the second is a wide margin for a
// sanitized build on a busy machine; the release figure is benchmarked (bench/).
#include "tests/shell/window_test_support.h"

using namespace window_test;

namespace {

using ComputeTurnsWindowTest = WindowTest;

constexpr double kAnswerSeconds = 1.0;

// One document a kind that looks at the clock only between costly units: the traced Fourier sum
// (a column), a region (a rectangle), an implicit surface in space (a slab), a colour plot of
// nested sums whose bound follows x (a row).
TEST_F(ComputeTurnsWindowTest, EveryKeyIsAnsweredWhileAnyGraphComputes) {
  const char* documents[] = {
      "equal[y,sum[over[sin[times[x,k]],k],equal[k,1],50000]]",
      "leq[y,sum[over[sin[times[x,k]],k],equal[k,1],100000]]",
      "@view=3d\nequal[arg[z],fact[sum[plus[y,x],equal[k,1],100000]]]",
      "equal[matrix[3,1,h,s,v],matrix[3,1,sum[sum[over[1,times[i,j]],equal[j,1],times[100000,abs[x]]],"
      "equal[i,1],1000],0.35,1]]",
  };
  for (const char* lines : documents) {
    const size_t logBefore = program_.Log().size();
    std::ofstream(document_) << lines << "\n";
    Launch({}, false);  // the keys are pressed while the graphs compute
    ASSERT_TRUE(program_.SeenOrWaitFor(logBefore, "caret")) << "the start-up caret line, answering no key";
    FocusWindow();
    for (int press = 0; press < 5; ++press, Pause(300)) {
      const auto start = Clock::now();
      Key(XK_Right, false);
      EXPECT_TRUE(program_.WaitFor("caret")) << lines << " press " << press;
      EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), kAnswerSeconds) << lines << " press " << press;
    }
    EXPECT_EQ(program_.Log().find("graphs complete", logBefore), std::string::npos) << lines;
    if (HasFailure()) Shoot("window-compute-turns");
    program_.Stop();
    window_ = 0;
  }
}

// Two rows prepared with a definition whose rewriting doubles at each of forty levels (each row
// grows until it passes its bound, seconds a row in a sanitized build): each key is answered while
// the rows are prepared, and the graphs are built once they are (unprepared, the rows were built at
// once, saying "Can't graph equations of this form", and nothing was left to complete).
TEST_F(ComputeTurnsWindowTest, EveryKeyIsAnsweredWhileACostlyDefinitionIsApplied) {
  std::string nested = "x";
  for (int level = 0; level < 40; ++level) nested = "function[f," + nested + "]";
  std::ofstream(document_) << "equal[function[f,x],plus[x,power[x,2]]]\nequal[y," << nested << "]\nequal[y," << nested
                           << "]\n";
  Launch({}, false);
  ASSERT_TRUE(program_.SeenOrWaitFor(0, "caret")) << "the start-up caret line, answering no key";
  FocusWindow();
  for (int press = 0; press < 5; ++press, Pause(300)) {
    const auto start = Clock::now();
    Key(XK_Right, false);
    EXPECT_TRUE(program_.WaitFor("caret")) << "press " << press;
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), kAnswerSeconds) << "press " << press;
  }
  EXPECT_TRUE(program_.SeenOrWaitFor(0, "graphs complete"));
  if (HasFailure()) Shoot("window-costly-definition");
}

}  // namespace
