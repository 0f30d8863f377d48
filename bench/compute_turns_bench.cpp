// How long a key waits while a graph computes values of a hundred thousand terms a point (goal:
// under 250 ms). A headless window runs its idle loop as the event loop does, an idle tick of the
// plane budget and then a key (Right or Left), for two seconds of computing; the figure is the
// longest tick and key together. With the compute worker on (the program) and off (each Compute at
// one go, as before the worker), beside an idle window's figure as the reference: the traced Fourier
// sum, a region, an implicit surface in space and a colour plot of nested sums whose bound follows x.
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

void BM_KeyWaitWhileComputing(benchmark::State& state, const char* text, bool worker) {
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
    window.Open(kWidth, kHeight);
    if (!worker) UseComputeWorker(false);
    window.HandleKey(EditKeyEvent{kKeyUpArrow, kKeyUpArrow, 0});
    const auto start = std::chrono::steady_clock::now();
    for (bool right = true; std::chrono::steady_clock::now() - start < std::chrono::duration<double>(kComputingSeconds);
         right = !right) {
      const auto before = std::chrono::steady_clock::now();
      window.IdleTick(kIdleBudgetTicks);
      const uint8_t key = right ? kKeyRightArrow : kKeyLeftArrow;
      window.HandleKey(EditKeyEvent{key, key, 0});
      longest = std::max(longest, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before).count());
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

}  // namespace

BENCHMARK_CAPTURE(BM_KeyWaitWhileComputing, reference_idle_window, kIdle, true)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_KeyWaitWhileComputing, fourier_traced, kFourier, true)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_KeyWaitWhileComputing, region, kRegion, true)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_KeyWaitWhileComputing, implicit_surface_3d, kImplicitSurface, true)
    ->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_KeyWaitWhileComputing, colour_plot_nested, kColourPlot, true)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_KeyWaitWhileComputing, fourier_traced_at_one_go, kFourier, false)
    ->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_KeyWaitWhileComputing, region_at_one_go, kRegion, false)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_KeyWaitWhileComputing, implicit_surface_3d_at_one_go, kImplicitSurface, false)
    ->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_KeyWaitWhileComputing, colour_plot_nested_at_one_go, kColourPlot, false)
    ->Unit(benchmark::kMillisecond)->Iterations(1);
