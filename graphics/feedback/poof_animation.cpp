// The poof animation. The window is one frame wide (image width / 5, integer division) and
// each frame clears the surface, draws the whole strip shifted left by one frame more than the
// last, flushes and waits, so the strip's frames pass through the window in order.
#include "graphics/feedback/poof_animation.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "graphics/feedback/sound_feedback.h"
#include "platform/draw/shapes.h"
#include "platform/sound.h"

namespace {

class HeadlessOverlayHost : public PoofOverlayHost {
 public:
  QDPoint GlobalMouse() override { return QDPoint{0, 0}; }
  Port* CreateOverlayWindow(const QDRect&) override { return nullptr; }
  void ShowOverlayWindow(Port*) override {}
  void FlushOverlayWindow(Port*) override {}
  void DisposeOverlayWindow(Port*) override {}
  void Delay(int32_t) override {}
};

HeadlessOverlayHost gHeadless;
PoofOverlayHost* gHost = nullptr;

PoofOverlayHost& Host() { return gHost != nullptr ? *gHost : gHeadless; }

// Clears the surface to transparent and draws the image with its left edge at column x.
void DrawFrame(Port* surface, const PngImage& image, int32_t x) {
  const int32_t width = RectWidth(surface->bounds);
  const int32_t height = RectHeight(surface->bounds);
  const int32_t first = std::max(0, x);                     // surface columns the image covers
  const int32_t last = std::min(width, x + image.width);
  for (int32_t row = 0; row < height; ++row) {
    uint32_t* out = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(surface->pixels) +
                                                int64_t(row) * surface->rowBytes);
    std::fill(out, out + width, 0u);
    if (row < image.height && first < last) {
      const uint32_t* in = image.pixels + int64_t(row) * image.width;
      std::memcpy(out + first, in + (first - x), size_t(last - first) * 4);
    }
  }
}

}  // namespace

void SetPoofOverlayHost(PoofOverlayHost* host) { gHost = host; }

PngImage* LoadPoofImage() {
  auto* image = new (std::nothrow) PngImage();
  if (image == nullptr) return nullptr;
  std::string path = std::string(ResourceDirectory()) + "/poof.png";
  if (ReadPngFile(path.c_str(), image) && image->width >= kPoofFrames) return image;
  FreePngImage(image);
  delete image;
  return nullptr;
}

void ReleasePoofImage(PngImage* image) {
  if (image == nullptr) return;
  FreePngImage(image);
  delete image;
}

void PlayPoofAnimation(QDPoint point) {
  PoofOverlayHost& host = Host();
  if (point.h == 0 && point.v == 0) point = host.GlobalMouse();
  SoundDevice& device = CurrentSoundDevice();
  PngImage* image = LoadPoofImage();
  int32_t channel = image != nullptr ? device.OpenChannel() : 0;
  SoundResource* sound = channel != 0 ? GetSoundResource(kPoofSoundId) : nullptr;
  Port* surface = nullptr;
  if (sound != nullptr) {
    const int32_t w = image->width;
    const int32_t h = image->height;
    const int32_t top = point.v - h / 2;
    const int32_t left = point.h - w / 10;
    surface = host.CreateOverlayWindow(MakeRect(left, top, left + w / kPoofFrames, top + h));
  }
  if (surface != nullptr && device.Play(channel, *sound)) {
    host.ShowOverlayWindow(surface);
    const int32_t frameWidth = image->width / kPoofFrames;
    for (int32_t frame = 0, x = 0; frame < kPoofFrames; ++frame, x -= frameWidth) {
      DrawFrame(surface, *image, x);
      host.FlushOverlayWindow(surface);
      host.Delay(kPoofFrameTicks);
    }
  }
  if (surface != nullptr) host.DisposeOverlayWindow(surface);
  ReleasePoofImage(image);
  if (channel != 0) device.DisposeChannel(channel, true);  // the sound stops with the animation
  ReleaseSound(sound);
}
