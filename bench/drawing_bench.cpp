// Drawing throughput: the graph paper and the half-size copy of the double-size buffer (both run
// on every redraw of an antialiased 2D view), and a line of label text.
#include <benchmark/benchmark.h>

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
