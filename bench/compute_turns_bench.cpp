// How long a key waits while a graph computes values of a hundred thousand terms a point, or while
// the rows are prepared with a costly definition (goal: under 250 ms). A headless window runs its
// idle loop as the event loop does, an idle tick of the plane budget and then a key (Right or
// Left), for two seconds of computing; the figure is the longest tick and key together. With the
// compute worker on (the program) and off (each Compute at one go, as before the worker), beside an
// idle window's figure as the reference: the traced Fourier sum, a region, an implicit surface in
// space and a colour plot of nested sums whose bound follows x; and rows prepared with definitions
// whose rewriting grows past its bound (the worker off, the preparation left runs at one go, as a
// build at one go would). Two rows count what comes before the first tick in its wait:
// opening level lines of nested sums (the window's Open), and a click in the pane of integral
// curves of a long sum (its hit tests and probe; headless, the press is all of the click).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "algebra/algebra_seams.h"
#include "document/document_file.h"
#include "document/document_window.h"
#include "graphics/graphics_layer.h"
#include "graphs/core/compute_worker.h"
#include "kernel/kernel_startup.h"
#include "shell/document_event_loop.h"

namespace {

constexpr int32_t kWidth = 800, kHeight = 800;
constexpr double kComputingSeconds = 2.0;

struct NoSurface final : WindowSurface {
  void Present(const Port&, const QDRect&) override {}
};

// What the first wait holds before its tick and key: only the key that starts the loop, the window's
// Open too, or a click in the graph pane after it.
enum class FirstWait { kKey, kOpen, kClick };

void BM_KeyWaitWhileComputing(benchmark::State& state, const char* text, bool worker, FirstWait first) {
  InitApplicationGlobals();
  InstallAlgebraSeams();
  InitGraphicsLayer();
  const std::string path = "/tmp/qv_compute_turns_bench_" + std::to_string(getpid()) + ".txt";
  std::ofstream(path) << text << "\n";
  double longest = 0;
  int ticks = 0;
  for (auto _ : state) {
    NoSurface surface;
    DocumentRecord document(ComputeDocumentWindowLayout(kWidth, kHeight).graphPane);
    std::vector<int> lines;
    std::vector<DocumentProblem> problems;
    std::string failure;
    if (!ReadDocumentFile(path, &document, &lines, &problems, &failure) || !problems.empty()) {
      state.SkipWithError("the document does not read");
      break;
    }
    DocumentWindow window(&document, &surface);
    const auto opening = std::chrono::steady_clock::now();
    window.Open(kWidth, kHeight);
    if (!worker) UseComputeWorker(false);
    window.HandleKey(EditKeyEvent{kKeyUpArrow, kKeyUpArrow, 0});
    auto before = first == FirstWait::kOpen ? opening : std::chrono::steady_clock::now();
    if (first == FirstWait::kClick) {
      const QDRect pane = ComputeDocumentWindowLayout(kWidth, kHeight).graphPane;
      const QDPoint press{int16_t((pane.top + pane.bottom) / 2 - 37), int16_t((pane.left + pane.right) / 2 + 23)};
      window.HandleMouseDown(press, 0, 1);
    }
    const auto start = std::chrono::steady_clock::now();
    for (bool right = true; std::chrono::steady_clock::now() - start < std::chrono::duration<double>(kComputingSeconds);
         right = !right) {
      window.IdleTick(kIdleBudgetTicks);
      const uint8_t key = right ? kKeyRightArrow : kKeyLeftArrow;
      window.HandleKey(EditKeyEvent{key, key, 0});
      const auto after = std::chrono::steady_clock::now();
      longest = std::max(longest, std::chrono::duration<double, std::milli>(after - before).count());
      before = after;
      ++ticks;
    }
  }
  std::remove(path.c_str());
  state.counters["longest_wait_ms"] = longest;
  state.counters["ticks"] = ticks;
}

constexpr const char* kIdle = "equal[y,times[x,x]]";
constexpr const char* kFourier = "equal[y,sum[over[sin[times[x,k]],k],equal[k,1],50000]]";
constexpr const char* kRegion = "leq[y,sum[over[sin[times[x,k]],k],equal[k,1],100000]]";
constexpr const char* kImplicitSurface = "@view=3d\nequal[arg[z],fact[sum[plus[y,x],equal[k,1],100000]]]";
constexpr const char* kColourPlot =
    "equal[matrix[3,1,h,s,v],matrix[3,1,sum[sum[over[1,times[i,j]],equal[j,1],times[100000,abs[x]]],"
    "equal[i,1],1000],0.35,1]]";
constexpr const char* kLevelLines =
    "@xytype=3 equal[z,sum[sum[over[x,times[i,j]],equal[j,1],plus[2000,floor[x]]],equal[i,1],plus[2000,floor[y]]]]";
constexpr const char* kIntegralCurves =
    "equal[function[optotal[x],y],sum[over[sin[times[plus[x,y],k]],k],equal[k,1],100000]]";
// Definitions that apply a doubling rewrite 64 times over, each through the one before (the rows
// say only y = k(x)), used by four rows: each row's preparation grows until it passes its bound,
// some seconds a row.
const std::string kCostlyDefinition = [] {
  std::string text = "equal[function[a,x],plus[x,power[x,2]]]";
  const char names[] = "abcdghk";
  for (int k = 1; k < 7; ++k) {
    const std::string f(1, names[k]), g(1, names[k - 1]);
    text += "\nequal[function[" + f + ",x],function[" + g + ",function[" + g + ",x]]]";
  }
  for (int row = 0; row < 4; ++row) text += "\nequal[y,function[k,x]]";
  return text;
}();

}  // namespace

BENCHMARK_CAPTURE(BM_KeyWaitWhileComputing, reference_idle_window, kIdle, true, FirstWait::kKey)
    ->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_KeyWaitWhileComputing, open_level_lines, kLevelLines, true, FirstWait::kOpen)
    ->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_KeyWaitWhileComputing, probe_click_on_integral_curves, kIntegralCurves, true, FirstWait::kClick)
    ->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_KeyWaitWhileComputing, fourier_traced, kFourier, true, FirstWait::kKey)
    ->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_KeyWaitWhileComputing, region, kRegion, true, FirstWait::kKey)
    ->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_KeyWaitWhileComputing, implicit_surface_3d, kImplicitSurface, true, FirstWait::kKey)
    ->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_KeyWaitWhileComputing, colour_plot_nested, kColourPlot, true, FirstWait::kKey)
    ->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_KeyWaitWhileComputing, costly_definition_prepared, kCostlyDefinition.c_str(), true,
                  FirstWait::kKey)
    ->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_KeyWaitWhileComputing, costly_definition_prepared_at_one_go, kCostlyDefinition.c_str(), false,
                  FirstWait::kKey)
    ->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_KeyWaitWhileComputing, fourier_traced_at_one_go, kFourier, false, FirstWait::kKey)
    ->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_KeyWaitWhileComputing, region_at_one_go, kRegion, false, FirstWait::kKey)
    ->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_KeyWaitWhileComputing, implicit_surface_3d_at_one_go, kImplicitSurface, false, FirstWait::kKey)
    ->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_KeyWaitWhileComputing, colour_plot_nested_at_one_go, kColourPlot, false, FirstWait::kKey)
    ->Unit(benchmark::kMillisecond)->Iterations(1);
