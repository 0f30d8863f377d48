// A keystroke to a redrawn document window (goal: under 16 ms, one frame at 60 Hz), on a row of
// 15 nodes typed as a user types it: the key runs on the row's editor, the row is laid out and the
// math pane drawn, Return rebuilds the graphs, the idle ticks compute them and the graph pane is
// drawn, every pane shown through a surface that copies the pixels as a window does. Beside it the
// reference: the same window redrawn whole with nothing changed.
#include <benchmark/benchmark.h>

#include <vector>

#include "algebra/algebra_seams.h"
#include "document/document_window.h"
#include "document/typed_keys.h"
#include "graphics/graphics_layer.h"
#include "kernel/kernel_startup.h"
#include "kernel/trees/expr_node.h"

namespace {

constexpr int32_t kWidth = 800, kHeight = 800;

// Copies each shown rectangle into its own pixels, as the window surface does.
class MemorySurface final : public WindowSurface {
 public:
  void Present(const Port& buffer, const QDRect& rect) override {
    pixels_.resize(size_t(kWidth) * kHeight);
    for (int32_t v = std::max<int32_t>(rect.top, 0); v < std::min<int32_t>(rect.bottom, kHeight); ++v)
      for (int32_t h = std::max<int32_t>(rect.left, 0); h < std::min<int32_t>(rect.right, kWidth); ++h)
        pixels_[size_t(v) * kWidth + h] = buffer.pixels[v * (buffer.rowBytes / 4) + h];
  }

 private:
  std::vector<uint32_t> pixels_;
};

// A window on an empty document with one typed row: y = 2 sin(x^2) + x/3 + e - 15.
struct TypedWindow {
  TypedWindow() : document(ComputeDocumentWindowLayout(kWidth, kHeight).graphPane), window(&document, &surface) {
    InitApplicationGlobals();
    InstallAlgebraSeams();
    InitGraphicsLayer();
    window.Open(kWidth, kHeight);
    std::vector<TypedKey> keys;
    std::string reason;
    DecodeTypedKeys("y = 2 sin x^2{Right} + x/3{Right} + e - 15", &keys, &reason);
    for (const TypedKey& key : keys) window.HandleKey(TypedKeyEvent(key));
    Return();
  }
  void Return() {
    window.HandleKey(EditKeyEvent{kKeyReturn, kKeyReturn, 0});
    while (!window.GraphsComplete()) window.IdleTick(30);
  }
  MemorySurface surface;
  DocumentRecord document;
  DocumentWindow window;
};

}  // namespace

static void BM_KeystrokeToRedrawnWindow(benchmark::State& state) {
  TypedWindow w;
  state.counters["nodes"] = CountSubtreeNodes(w.document.rows.data[0].expression);
  bool digit = true;  // a digit, then the backspace that takes it off again: the row keeps its size
  for (auto _ : state) {
    w.window.HandleKey(digit ? EditKeyEvent{'7', '7', 0} : EditKeyEvent{kKeyBackspace, kKeyBackspace, 0});
    w.Return();
    digit = !digit;
  }
}
BENCHMARK(BM_KeystrokeToRedrawnWindow)->Unit(benchmark::kMillisecond);

static void BM_WindowRedrawReference(benchmark::State& state) {
  TypedWindow w;
  for (auto _ : state) w.window.RedrawAll();
}
BENCHMARK(BM_WindowRedrawReference)->Unit(benchmark::kMillisecond);
