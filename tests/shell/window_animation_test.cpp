// The window's slider animation and 4D axis letters, driven through the real program under the X
// server: the strip's button and Graph > Animate Slider start the animation, which steps the
// slider to its end and back, each step only after the last step's graphs were complete; a key or
// the menu item stops it. A document in 4D shows x, y, z and w just beyond the ends of its axes,
// where its twin's view stored them.
#include "document/axis_labels_4d.h"
#include "graphs/view4d/graph_view_4d.h"
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

// Near-black ink of the letters (the axes are cyan, the grid light grey, the helix coloured).
bool IsLetterInk(uint32_t p) {
  const int r = p >> 16 & 255, g = p >> 8 & 255, b = p & 255;
  return std::max({r, g, b}) < 110 && std::max({r, g, b}) - std::min({r, g, b}) < 40;
}
bool IsAxisCyan(uint32_t p) {  // faded towards grey by depth in GL
  const int r = p >> 16 & 255, g = p >> 8 & 255, b = p & 255;
  return g > r + 30 && b > r + 30;
}
// Pixels of the kind within `radius` of (x, y).
template <class Kind>
int PixelsNear(const Screenshot& s, double x, double y, int radius, Kind kind) {
  int n = 0;
  for (int v = int(y) - radius; v <= int(y) + radius; ++v)
    for (int h = int(x) - radius; h <= int(x) + radius; ++h)
      n += h >= 0 && v >= 0 && h < s.width && v < s.height && kind(s.At(h, v));
  return n;
}

TEST_F(AnimationWindowTest, TheFourAxesOfA4DDocumentCarryTheirLetters) {
  std::ofstream(document_) << "@view=4d\nequal[matrix[4,1,x,y,u,v],matrix[4,1,cos[times[6,t]],sin[times[6,t]],t,t]]\n";
  Start();
  if (HasFatalFailure()) return;
  ASSERT_TRUE(twin_->axisLabels4DStored) << "the twin drew its 4D frame";
  const GraphView4D& view = *twin_->viewSet.view4D;
  double ends[4][2], letters[4][2];
  for (int k = 0; k < 4; ++k) {
    AxisLabelPixel4D(view, twin_->axisLabels4D[2 * k + 2], twin_->axisLabels4D[2 * k + 3], &ends[k][0], &ends[k][1]);
    ASSERT_TRUE(AxisLetterCentre4D(*twin_, k, &letters[k][0], &letters[k][1]));
  }
  // Every axis reaches its stored end (cyan there), and its letter is drawn beside it.
  const auto labelled = [&](const Screenshot& s) {
    for (int k = 0; k < 4; ++k) {
      if (PixelsNear(s, ends[k][0], ends[k][1], 4, IsAxisCyan) == 0) return false;
      if (PixelsNear(s, letters[k][0], letters[k][1], 6, IsLetterInk) < 4) return false;
    }
    return true;
  };
  const Screenshot shot = ShootUntil("window-4d-letters", labelled);
  for (int k = 0; k < 4; ++k) {
    EXPECT_GT(PixelsNear(shot, ends[k][0], ends[k][1], 4, IsAxisCyan), 0) << "axis " << k << " ends there";
    EXPECT_GE(PixelsNear(shot, letters[k][0], letters[k][1], 6, IsLetterInk), 4) << "letter of axis " << k;
  }
}

}  // namespace
