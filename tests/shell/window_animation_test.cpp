// The window's slider animation, driven through the real program under the X
// server: the strip's button and Graph > Animate Slider start the animation, which steps the
// slider to its end and back, each step only after the last step's graphs were complete; a key or
// the menu item stops it.
#include "tests/shell/window_test_support.h"

namespace {

using namespace window_test;

constexpr int32_t kGraphMenu = 2;

// The log's lines from `from` on.
std::vector<std::string> LinesSince(const std::string& log, size_t from) {
  std::vector<std::string> lines;
  for (size_t at = from; at < log.size();) {
    const size_t end = log.find('\n', at);
    lines.push_back(log.substr(at, end - at));
    at = end == std::string::npos ? log.size() : end + 1;
  }
  return lines;
}

class AnimationWindowTest : public WindowTest {
 protected:
  // Waits for `count` steps after the log's length `from` (just after the start's line); their
  // positions, and whether each came only after the graphs of the step (or start) before it were
  // complete.
  std::vector<int> StepsSince(size_t from, int count, bool* waited) {
    for (int i = 0; i < count; ++i) EXPECT_TRUE(program_.WaitFor("slider 0 ")) << "step " << i;
    EXPECT_TRUE(program_.WaitFor("graphs complete"));
    std::vector<int> positions;
    bool complete = false;
    *waited = true;
    for (const std::string& line : LinesSince(program_.Log(), from)) {
      int position = 0;
      if (line == "graphs complete") complete = true;
      if (std::sscanf(line.c_str(), "slider 0 %d", &position) != 1) continue;
      *waited = *waited && complete;
      complete = false;
      positions.push_back(position);
    }
    return positions;
  }
};

TEST_F(AnimationWindowTest, TheStripAndTheGraphMenuStartTheAnimationAndAKeyStopsIt) {
  // A raster over the whole pane: each new value takes the idle ticks a while.
  std::ofstream(document_) << "@slider=0 equal[a,slider[id[comma[0,4,4]]]]\n@xytype=2 equal[z,sin[times[a,x,y]]]\n";
  Start();
  if (HasFatalFailure()) return;
  const QDRect line = SliderLineRect(twinWindow_->SliderStrip(), 0);
  const QDRect button = SliderAnimateButtonRect(line);
  const QDPoint press{int16_t((line.top + line.bottom) / 2), int16_t(button.right - 8)};
  Click(press);
  ASSERT_TRUE(program_.WaitFor("animation 0")) << "the strip's button";
  size_t from = program_.Log().size();
  bool waited = false;
  EXPECT_EQ(StepsSince(from, 6, &waited), (std::vector<int>{1, 2, 3, 4, 3, 2})) << "to the end and back";
  EXPECT_TRUE(waited) << "a step came before the last one's graphs were complete";
  const Screenshot moving = Shoot("window-animation-strip");
  EXPECT_TRUE(DifferingPixels(moving, ShootUntil("window-animation-strip-later", [&](const Screenshot& s) {
                                return DifferingPixels(moving, s, line) > 10;
                              }),
                              line) > 10)
      << "the thumb moves";

  Key(XK_Left, false);
  ASSERT_TRUE(program_.WaitFor("animation off")) << "a key stops it";
  from = program_.Log().size();
  Key(XK_Right, false);
  ASSERT_TRUE(program_.WaitFor("caret"));
  EXPECT_EQ(program_.CountSince(from, "slider "), 0) << "no step after the stop";

  ChooseItem(kGraphMenu, kCommandAnimateSlider);
  ASSERT_TRUE(program_.WaitFor("animation 0")) << "Graph > Animate Slider";
  from = program_.Log().size();
  const std::vector<int> again = StepsSince(from, 2, &waited);
  ASSERT_EQ(again.size(), 2u);
  EXPECT_TRUE(waited);
  ChooseItem(kGraphMenu, kCommandAnimateSlider);
  EXPECT_TRUE(program_.WaitFor("animation off")) << "chosen again, it stops";
}

}  // namespace
