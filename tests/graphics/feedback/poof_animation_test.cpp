// The poof animation and the view sound with a recording sound device and overlay host: the
// right sound at the right call, the window where the point puts it, each frame of the strip
// flushed at its injected tick, and everything released whatever piece is missing. Nothing sleeps.
#include <gtest/gtest.h>

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

struct RecordingHost : PoofOverlayHost {
  QDPoint GlobalMouse() override { return mouse; }
  Port* CreateOverlayWindow(const QDRect& bounds) override {
    windows.push_back(bounds);
    return NewGWorld32(MakeRect(0, 0, RectWidth(bounds), RectHeight(bounds)));
  }
  void ShowOverlayWindow(Port*) override { ++shown; }
  void FlushOverlayWindow(Port* surface) override {
    flushTicks.push_back(ticks);
    frames.push_back(std::vector<uint32_t>(surface->pixels, surface->pixels + RectWidth(surface->bounds) *
                                                                                RectHeight(surface->bounds)));
  }
  void DisposeOverlayWindow(Port* surface) override {
    SafeDisposeGWorld(surface);
    ++disposed;
  }
  void Delay(int32_t t) override { ticks += t; }

  QDPoint mouse{100, 200};  // (v, h)
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
  // A resource folder holding a poof strip `width` wide (pixel = its column) and, when asked, sound 129.
  void UseResources(int32_t width, bool withSound) {
    dir = testing::TempDir() + "/poof_" + std::to_string(testing::UnitTest::GetInstance()->random_seed());
    fs::create_directories(dir);
    std::vector<uint32_t> pixels(size_t(width) * 64);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = 0xFF000000u | uint32_t(i % size_t(width));
    ASSERT_TRUE(WritePngFile((dir + "/poof.png").c_str(), pixels.data(), width, 64, width * 4, true));
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
  ASSERT_EQ(host.windows.size(), 1u);
  EXPECT_EQ(RectWidth(host.windows[0]), 64);
  EXPECT_EQ(host.windows[0].left, 60 - 32);
  ASSERT_EQ(host.frames.size(), 5u);
  for (int frame = 0; frame < 5; ++frame) EXPECT_EQ(host.frames[frame][0] & 0xFFFF, uint32_t(frame * 64));
}

TEST_F(PoofTest, AnyMissingPieceEndsTheAnimationWithNothingLeft) {
  struct Case {
    bool image, sound, refuseOpen, refusePlay, window;
    std::vector<std::string> calls;
  } cases[] = {
      {true, false, false, false, false, {"open-channel 1", "dispose-quiet 1"}},  // no sound 129: no window
      {false, true, false, false, false, {}},
      {true, true, true, false, false, {"open-channel refused"}},
      {true, true, false, true, true, {"open-channel 1", "play-async 1 snd129 refused", "dispose-quiet 1"}},
  };
  for (const Case& c : cases) {
    device = RecordingSoundDevice();
    host = RecordingHost();
    device.refuseOpen = c.refuseOpen;
    device.refusePlay = c.refusePlay;
    if (c.image) {
      UseResources(320, c.sound);
    } else {
      SetResourceDirectory(testing::TempDir().c_str());
    }
    PlayPoofAnimation(QDPoint{50, 60});
    EXPECT_EQ(device.calls, c.calls);
    EXPECT_EQ(host.windows.size(), c.window ? 1u : 0u);
    EXPECT_EQ(host.shown, 0);
    EXPECT_EQ(device.openChannels, 0);
    EXPECT_EQ(host.disposed, static_cast<int>(host.windows.size()));
    if (!dir.empty()) fs::remove_all(dir);
    dir.clear();
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
