// Drawing throughput: the graph paper and the half-size copy of the double-size buffer (both run
// on every redraw of an antialiased 2D view), a line of label text, the coverage bitmaps, and
// the costs that must grow linearly: triangles by their visible rows, fills through a clip
// region by rows + bands.
#include <benchmark/benchmark.h>

#include <vector>

#include "graphics/packed_bitmap.h"
#include "graphics/pixel_routines.h"
#include "graphics/qd_layer.h"
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

// A triangle N rows high in a buffer N rows high, with its apex on the buffer's edge or two
// billion rows away: either way the cost follows the N visible rows.
static void BM_FillFlatTriangle(benchmark::State& state) {
  const int32_t rows = int32_t(state.range(0)), far = state.range(1) ? 2000000000 : 0;
  GWorldPtr gw = NewGWorld32(MakeRect(0, 0, 64, rows));
  SetGWorld(gw, nullptr);
  for (auto _ : state) FillFlatTriangle(0, -far, 64, rows / 2, 0, rows + far, 0x00123456u);
  state.SetItemsProcessed(state.iterations() * rows);
  SafeDisposeGWorld(gw);
}
BENCHMARK(BM_FillFlatTriangle)->ArgsProduct({{2048, 4096, 8192, 16384}, {0, 1}});

// A fill of 2N rows through a clip region of N bands (two rows each, alternating spans so that
// no two merge): one walk down the bands, so the time doubles with N.
static void BM_PaintRectThroughClipBands(benchmark::State& state) {
  const int32_t bands = int32_t(state.range(0));
  GWorldPtr gw = NewGWorld32(MakeRect(0, 0, 64, 2 * bands));
  SetGWorld(gw, nullptr);
  // Built by halves, so that setting up costs N log N rather than N^2.
  auto comb = [](auto& self, int32_t first, int32_t count) -> RgnHandle {
    RgnHandle r = NewRgn();
    if (count == 1) {
      SetRectRgn(r, first % 2 ? 8 : 0, 2 * first, first % 2 ? 56 : 48, 2 * first + 2);
      return r;
    }
    RgnHandle a = self(self, first, count / 2), b = self(self, first + count / 2, count - count / 2);
    UnionRgn(a, b, r);
    DisposeRgn(a);
    DisposeRgn(b);
    return r;
  };
  RgnHandle clip = comb(comb, 0, bands);
  SetClip(clip);
  for (auto _ : state) PaintRect(MakeRect(0, 0, 64, 2 * bands));
  state.SetItemsProcessed(state.iterations() * 2 * bands);
  DisposeRgn(clip);
  SafeDisposeGWorld(gw);
}
BENCHMARK(BM_PaintRectThroughClipBands)->Arg(2048)->Arg(4096)->Arg(8192)->Arg(16000);
