// One frame of an empty 2D view of 600 x 400 pixels: graph paper, axes with their labels in the
// equation font, directly (Arg 0) and through the double-size antialias buffer halved onto the
// window (Arg 1). The frame should stay well under the 10 ms a pane redraw may take.
#include <benchmark/benchmark.h>

#include "document/document_record.h"
#include "graphics/graphics_layer.h"
#include "graphs/view2d/graph_view_2d.h"

namespace {

void BM_DrawView2D(benchmark::State& state) {
  InitGraphicsLayer();
  const QDRect pane = MakeRect(0, 0, 600, 400);
  GWorldPtr window = NewGWorld(pane);
  SetGWorld(window, nullptr);
  DocumentRecord document;
  document.antialiased = state.range(0) != 0;
  GraphView2D view;
  view.document = &document;
  view.rect = pane;
  view.SetViewDefaults();
  view.UpdateGeometry();
  for (auto _ : state) benchmark::DoNotOptimize(view.DrawGraphsInView(nullptr, nullptr));
  SetGWorld(nullptr, nullptr);
  DisposeGWorld(window);
}
BENCHMARK(BM_DrawView2D)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
