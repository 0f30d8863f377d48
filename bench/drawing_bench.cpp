// Drawing throughput: the graph paper and the half-size copy of the double-size buffer (both run
// on every redraw of an antialiased 2D view), a line of label text, and the coverage bitmaps.
#include <benchmark/benchmark.h>

#include <vector>

#include "graphics/packed_bitmap.h"
#include "graphics/pixel_routines.h"
#include "platform/draw/text.h"
#include "platform/fonts.h"

static void BM_FillGridFast(benchmark::State& state) {
  GWorldPtr gw = NewGWorld32(MakeRect(0, 0, 2048, 1536));
  SetGWorld(gw, nullptr);
  for (auto _ : state) FillGridFast(2, 0, MakeRect(0, 0, 2048, 1536));
  state.SetItemsProcessed(state.iterations() * 2048 * 1536);
  SafeDisposeGWorld(gw);
}
BENCHMARK(BM_FillGridFast);

static void BM_HalveGWorldVector(benchmark::State& state) {
  GWorldPtr src = NewGWorld32(MakeRect(0, 0, 2048, 1536)), dst = NewGWorld32(MakeRect(0, 0, 1024, 768));
  SetGWorld(dst, nullptr);
  for (auto _ : state) HalveGWorldVector(src, MakeRect(0, 0, 2048, 1536), MakeRect(0, 0, 1024, 768));
  state.SetItemsProcessed(state.iterations() * 1024 * 768);
  SafeDisposeGWorld(src);
  SafeDisposeGWorld(dst);
}
BENCHMARK(BM_HalveGWorldVector);

static void BM_DrawLabel(benchmark::State& state) {
  GWorldPtr gw = NewGWorld32(MakeRect(0, 0, 200, 40));
  SetGWorld(gw, nullptr);
  TextFont(kFontTimes);
  TextSize(12);
  for (auto _ : state) {
    MoveTo(2, 20);
    DrawString("x: -1.2345678e+08");
  }
  SafeDisposeGWorld(gw);
}
BENCHMARK(BM_DrawLabel);

// Coverage bitmaps of the double-size buffer of a large 2D view: the relation graph fills cells,
// blits the whole bitmap on every redraw, and scrolls it while the view is dragged.
namespace {
constexpr int32_t kBitsWidth = 2048, kBitsHeight = 1536, kBitsRowBytes = kBitsWidth / 4;
}  // namespace

static void BM_FillPackedBitmapRect(benchmark::State& state) {
  std::vector<uint8_t> bytes(size_t(kBitsRowBytes) * kBitsHeight);
  PackedBitmap bm{bytes.data(), kBitsRowBytes, MakeRect(0, 0, kBitsWidth, kBitsHeight)};
  for (auto _ : state) FillPackedBitmapRect(bm, MakeRect(3, 1, kBitsWidth - 5, kBitsHeight - 2), 3);
  state.SetItemsProcessed(state.iterations() * kBitsWidth * kBitsHeight);
}
BENCHMARK(BM_FillPackedBitmapRect);

static void BM_BlitPackedBitmapShaded(benchmark::State& state) {
  std::vector<uint8_t> bytes(size_t(kBitsRowBytes) * kBitsHeight);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = (i / 64) % 3 ? 0x00 : 0xE4;  // mostly empty
  PackedBitmap bm{bytes.data(), kBitsRowBytes, MakeRect(0, 0, kBitsWidth, kBitsHeight)};
  GWorldPtr gw = NewGWorld32(MakeRect(0, 0, kBitsWidth, kBitsHeight));
  SetGWorld(gw, nullptr);
  QDRect all = MakeRect(0, 0, kBitsWidth, kBitsHeight);
  for (auto _ : state) BlitPixelsToPortSameSize(bm, all, 0x2040C0, all);
  state.SetItemsProcessed(state.iterations() * kBitsWidth * kBitsHeight);
  SafeDisposeGWorld(gw);
}
BENCHMARK(BM_BlitPackedBitmapShaded);

static void BM_ScrollPackedBitmap(benchmark::State& state) {
  std::vector<uint8_t> bytes(size_t(kBitsRowBytes) * kBitsHeight, 0x5A);
  PackedBitmap bm{bytes.data(), kBitsRowBytes, MakeRect(0, 0, kBitsWidth, kBitsHeight)};
  for (auto _ : state) ScrollPackedBitmap(bm, 3, -2);
  state.SetItemsProcessed(state.iterations() * kBitsWidth * kBitsHeight);
}
BENCHMARK(BM_ScrollPackedBitmap);
