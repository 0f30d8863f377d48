// Test helpers for the drawing layer: a current offscreen buffer per test, pixel maps written as
// text ('#' for a given ink colour, '.' for anything else), and an allocator that refuses the
// N-th request so every failure path can be reached.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/draw/port.h"

namespace draw_test {

constexpr uint32_t kWhitePixel = 0x00FFFFFFu;
constexpr uint32_t kBlackPixel = 0x00000000u;

// Owns a w x h buffer (optionally with a moved top-left) made current for the test's lifetime.
class Canvas {
 public:
  Canvas(int32_t width, int32_t height, int32_t left = 0, int32_t top = 0)
      : gw_(NewGWorld(MakeRect(left, top, left + width, top + height))) {
    SetGWorld(gw_, nullptr);
  }
  ~Canvas() { DisposeGWorld(gw_); }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  GWorldPtr gw() const { return gw_; }
  uint32_t At(int32_t h, int32_t v) const { return *PixelAddress(gw_, h, v); }
  void Set(int32_t h, int32_t v, uint32_t pixel) { *PixelAddress(gw_, h, v) = pixel; }
  // Rows of the buffer: '#' where the pixel equals ink, '.' elsewhere.
  std::string Map(uint32_t ink = kBlackPixel) const {
    std::string out;
    for (int32_t v = gw_->bounds.top; v < gw_->bounds.bottom; ++v) {
      for (int32_t h = gw_->bounds.left; h < gw_->bounds.right; ++h) out += At(h, v) == ink ? '#' : '.';
      out += '\n';
    }
    return out;
  }
  int32_t Count(uint32_t pixel) const {
    int32_t n = 0;
    for (int32_t v = gw_->bounds.top; v < gw_->bounds.bottom; ++v)
      for (int32_t h = gw_->bounds.left; h < gw_->bounds.right; ++h) n += At(h, v) == pixel;
    return n;
  }

 private:
  GWorldPtr gw_;
};

// Refuses the N-th request (1-based) and every one after it when sticky; counts live blocks.
struct FailingAllocator {
  static inline int32_t failAt = 0;
  static inline int32_t calls = 0;
  static inline int32_t live = 0;
  static void* Alloc(size_t bytes) {
    ++calls;
    if (failAt > 0 && calls >= failAt) return nullptr;
    ++live;
    return std::malloc(bytes == 0 ? 1 : bytes);
  }
  static void Release(void* p) {
    if (!p) return;
    --live;
    std::free(p);
  }
  static const DrawAllocator* Install(int32_t n) {
    static const DrawAllocator kAllocator{Alloc, Release};
    failAt = n;
    calls = 0;
    SetDrawAllocator(&kAllocator);
    return &kAllocator;
  }
  static void Remove() { SetDrawAllocator(nullptr); }
};

inline std::string SourcePath(const std::string& relative) { return std::string(QV_SOURCE_DIR) + "/" + relative; }

}  // namespace draw_test
