// The poof animation and the view sound with a recording sound device and overlay host: the
// right sound at the right call, the window where the point puts it, each frame of the strip
// flushed at its injected tick, and everything released whatever piece is missing. Nothing sleeps.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "graphics/feedback/poof_animation.h"
#include "graphics/feedback/sound_feedback.h"
#include "graphics/qd_layer.h"
#include "platform/draw/shapes.h"
#include "platform/sound.h"

namespace {

namespace fs = std::filesystem;

// Records each window and, at every flush, the tick and the surface's pixels.
struct RecordingHost : PoofOverlayHost {
  QDPoint GlobalMouse() override { return QDPoint{100, 200}; }  // (v, h)
  Port* CreateOverlayWindow(const QDRect& bounds) override {
    windows.push_back(bounds);
    return NewGWorld32(MakeRect(0, 0, RectWidth(bounds), RectHeight(bounds)));
  }
  void ShowOverlayWindow(Port*) override { ++shown; }
  void FlushOverlayWindow(Port* s) override {
    flushTicks.push_back(ticks);
    frames.emplace_back(s->pixels, s->pixels + RectWidth(s->bounds) * RectHeight(s->bounds));
  }
  void DisposeOverlayWindow(Port* surface) override { SafeDisposeGWorld(surface), ++disposed; }
  void Delay(int32_t t) override { ticks += t; }

  int32_t ticks = 0;
  int shown = 0, disposed = 0;
  std::vector<QDRect> windows;
  std::vector<int32_t> flushTicks;
  std::vector<std::vector<uint32_t>> frames;
};

class PoofTest : public testing::Test {
 protected:
  void SetUp() override {
    SetSoundDevice(&device);
    SetPoofOverlayHost(&host);
  }
  void TearDown() override {
    ReleaseSoundResource();
    SetSoundDevice(nullptr);
    SetPoofOverlayHost(nullptr);
    SetResourceDirectory(saved.c_str());
    if (!dir.empty()) fs::remove_all(dir);
    EXPECT_EQ(device.openChannels, 0);
    EXPECT_EQ(host.disposed, static_cast<int>(host.windows.size()));
  }
  // A fresh resource folder with a poof strip `width` wide (0: none; pixel = its column) and
  // sound 129 when asked.
  void UseResources(int32_t width, bool withSound) {
    if (!dir.empty()) fs::remove_all(dir);
    dir = testing::TempDir() + "/poof_" + std::to_string(::getpid());
    fs::create_directories(dir);
    std::vector<uint32_t> pixels(size_t(width) * 64);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = 0xFF000000u | uint32_t(i % size_t(width));
    if (width > 0) WritePngFile((dir + "/poof.png").c_str(), pixels.data(), width, 64, width * 4, true);
    if (withSound) fs::copy_file(saved + "/snd129.wav", dir + "/snd129.wav");
    SetResourceDirectory(dir.c_str());
  }
  RecordingSoundDevice device;
  RecordingHost host;
  std::string saved = ResourceDirectory();
  std::string dir;
};

}  // namespace

// Golden window from the strip's size: top = v - h/2, left = h - w/10, one frame (w/5) wide.
TEST_F(PoofTest, FramesOfTheStripPassAtFourTickIntervals) {
  PlayPoofAnimation(QDPoint{0, 0});  // (0, 0): at the mouse (h 200, v 100)
  ASSERT_EQ(host.windows.size(), 1u);
  const QDRect& w = host.windows[0];
  EXPECT_EQ((std::vector<int>{w.top, w.left, w.bottom, w.right}), (std::vector<int>{68, 168, 132, 232}));
  EXPECT_EQ(host.shown, 1);
  EXPECT_EQ(host.flushTicks, (std::vector<int32_t>{0, 4, 8, 12, 16}));
  EXPECT_EQ(host.ticks, 20);
  PngImage* strip = LoadPoofImage();
  ASSERT_NE(strip, nullptr);
  for (int frame = 0; frame < 5; ++frame) {
    for (int row = 0; row < 64; row += 7) {
      for (int col = 0; col < 64; col += 5) {
        ASSERT_EQ(host.frames[frame][row * 64 + col], strip->pixels[row * 320 + frame * 64 + col])
            << "frame " << frame << " row " << row << " col " << col;
      }
    }
  }
  ReleasePoofImage(strip);
  EXPECT_EQ(device.calls, (std::vector<std::string>{"open-channel 1", "play-async 1 snd129", "dispose-quiet 1"}));
}

// A width not a multiple of five: the window and the step are w / 5 truncated.
TEST_F(PoofTest, AnUnevenStripStepsByTheTruncatedFrameWidth) {
  UseResources(322, true);
  PlayPoofAnimation(QDPoint{50, 60});
  ASSERT_EQ(host.frames.size(), 5u);
  EXPECT_EQ(host.windows[0].left * 1000 + RectWidth(host.windows[0]), (60 - 32) * 1000 + 64);
  for (int frame = 0; frame < 5; ++frame) EXPECT_EQ(host.frames[frame][0] & 0xFFFF, uint32_t(frame * 64));
}

TEST_F(PoofTest, AnyMissingPieceEndsTheAnimationWithNothingLeft) {
  struct Case {
    int32_t imageWidth;
    bool sound, refuseOpen, refusePlay, window;
    std::vector<std::string> calls;
  } cases[] = {
      {320, false, false, false, false, {"open-channel 1", "dispose-quiet 1"}},  // no sound 129: no window
      {0, true, false, false, false, {}},
      {320, true, true, false, false, {"open-channel refused"}},
      {320, true, false, true, true, {"open-channel 1", "play-async 1 snd129 refused", "dispose-quiet 1"}},
  };
  for (const Case& c : cases) {
    device = RecordingSoundDevice();
    host = RecordingHost();
    device.refuseOpen = c.refuseOpen;
    device.refusePlay = c.refusePlay;
    UseResources(c.imageWidth, c.sound);
    PlayPoofAnimation(QDPoint{50, 60});
    EXPECT_EQ(device.calls, c.calls);
    EXPECT_EQ(host.windows.size(), c.window ? 1u : 0u);
    EXPECT_EQ(host.shown, 0);
    EXPECT_EQ(device.openChannels, 0);
    EXPECT_EQ(host.disposed, static_cast<int>(host.windows.size()));
  }
}

TEST_F(PoofTest, TheViewSoundPlaysOnlyWhileLoaded) {
  PlayViewSound();
  EXPECT_TRUE(device.calls.empty());
  LoadViewSound();
  PlayViewSound();
  DisposeViewSound();
  PlayViewSound();  // the channel is gone: nothing plays on it
  EXPECT_EQ(device.calls, (std::vector<std::string>{"open-channel 1", "play-async 1 snd128", "dispose-quiet 1"}));
  LoadViewSound();  // the sound stayed loaded: only a channel is opened
  EXPECT_TRUE(ViewSoundReady());
  ReleaseSoundResource();
  EXPECT_FALSE(ViewSoundReady());
  EXPECT_EQ(device.calls.back(), "dispose-quiet 2");
}
