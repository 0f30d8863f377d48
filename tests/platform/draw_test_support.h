// Test helpers for the drawing layer: a current offscreen buffer per test, pixel maps written as
// text ('#' for a given ink colour, '.' for anything else), and an allocator that refuses the
// N-th request so every failure path can be reached.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/draw/port.h"

namespace draw_test {

constexpr uint32_t kWhitePixel = 0x00FFFFFFu;
constexpr uint32_t kBlackPixel = 0x00000000u;
using Points = std::set<std::pair<int, int>>;  // (h, v)

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
  template <class F>
  void ForEach(F f) const {
    for (int32_t v = gw_->bounds.top; v < gw_->bounds.bottom; ++v)
      for (int32_t h = gw_->bounds.left; h < gw_->bounds.right; ++h) f(h, v);
  }
  template <class F>
  void Fill(F pixelAt) {
    ForEach([&](int32_t h, int32_t v) { Set(h, v, pixelAt(h, v)); });
  }
  // Rows of the buffer, a character for each pixel value of the legend and '.' for any other.
  std::string Map(std::initializer_list<std::pair<uint32_t, char>> legend) const {
    std::string out;
    ForEach([&](int32_t h, int32_t v) {
      char c = '.';
      for (auto [pixel, mark] : legend) c = At(h, v) == pixel ? mark : c;
      out += c;
      if (h + 1 == gw_->bounds.right) out += '\n';
    });
    return out;
  }
  std::string Map(uint32_t ink = kBlackPixel) const { return Map({{ink, '#'}}); }
  std::vector<uint32_t> Pixels(uint32_t mask = 0xFFFFFFFFu) const {
    std::vector<uint32_t> out;
    ForEach([&](int32_t h, int32_t v) { out.push_back(At(h, v) & mask); });
    return out;
  }
  int32_t Count(uint32_t pixel) const { return int32_t(Where(pixel).size()); }
  // The pixels equal to `pixel`, or with equal false the ones that differ from it.
  Points Where(uint32_t pixel, bool equal = true) const {
    Points s;
    ForEach([&](int32_t h, int32_t v) {
      if ((At(h, v) == pixel) == equal) s.insert({h, v});
    });
    return s;
  }

 private:
  GWorldPtr gw_;
};

// While a Refusal lives, the drawing layer's requests go here: the N-th request (1-based) and
// every later one are refused (n = 0 refuses nothing), and live blocks are counted.
struct FailingAllocator {
  static inline int32_t failAt = 0, calls = 0, live = 0;
  static void* Alloc(size_t bytes) {
    if (++calls >= failAt && failAt > 0) return nullptr;
    ++live;
    return std::malloc(bytes == 0 ? 1 : bytes);
  }
  static void Release(void* p) {
    live -= p != nullptr;
    std::free(p);
  }
  static void Arm(int32_t n) {
    failAt = n;
    calls = 0;
  }
};

struct Refusal {
  explicit Refusal(int32_t n) {
    static const DrawAllocator kAllocator{FailingAllocator::Alloc, FailingAllocator::Release};
    FailingAllocator::Arm(n);
    FailingAllocator::live = 0;
    SetDrawAllocator(&kAllocator);
  }
  ~Refusal() { SetDrawAllocator(nullptr); }
};

inline std::string SourcePath(const std::string& relative) { return std::string(QV_SOURCE_DIR) + "/" + relative; }

}  // namespace draw_test
