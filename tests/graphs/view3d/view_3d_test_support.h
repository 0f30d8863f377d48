// Shared set-up of the 3D view tests: a document pane drawn by the software rasteriser (OpenGL
// switched off, the document's buffer handed to the graphics contexts through the document
// hooks), a recording document that also notes the view's box at each pane redraw, a 3D graph
// that records what the view asks of it, and a fixture for one 3D graph kind on its own.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "graphics/gl/gl_globals.h"
#include "graphics/gl/graphics_context.h"
#include "graphics/qd_layer.h"
#include "graphs/core/graph_color.h"
#include "graphs/view3d/graph_view_3d.h"
#include "graphs/view3d/vector_glyphs_3d.h"
#include "tests/graphs/graphs_test_support.h"

namespace view3d_test {

using graphs_test::Log;

// The pane's buffer and the document's transparency, as the graphics hooks read them.
struct SoftwarePane {
  GWorldPtr buffer = nullptr;
  bool transparent = false;
};
inline SoftwarePane gPane;

// OpenGL off, the hooks answering from gPane, a white w x h buffer (freed by RemoveSoftwarePane).
inline void InstallSoftwarePane(int32_t w, int32_t h) {
  ResetGLGlobalsForTest();
  gPane = SoftwarePane{NewGWorld32(MakeRect(0, 0, w, h)), false};
  GLGlobals().document.offscreenBuffer = [](void*) { return gPane.buffer; };
  GLGlobals().document.drawsWithTransparency = [](void*) { return gPane.transparent; };
}
inline void RemoveSoftwarePane() {
  DestroyRetiredGLContexts();
  SafeDisposeGWorld(gPane.buffer);
  gPane = SoftwarePane{};
  ResetGLGlobalsForTest();
}
// The pane pixel (0x00RRGGBB).
inline uint32_t PanePixel(int32_t h, int32_t v) { return *PixelAddress(gPane.buffer, h, v) & 0xFFFFFFu; }
inline int CountPanePixels(uint32_t rgb, const QDRect& r) {
  int n = 0;
  for (int32_t v = r.top; v < r.bottom; ++v)
    for (int32_t h = r.left; h < r.right; ++h) n += PanePixel(h, v) == rgb;
  return n;
}

class Document3D : public graphs_test::FakeDocument {
 public:
  void RedrawGraphPaneNow() override {
    FakeDocument::RedrawGraphPaneNow();
    if (view != nullptr) boxes.push_back(view->settings.camera.box[1]);
  }
  void ResetViewStateFlags() override { log.push_back("view flags"); }
  void InvalidateGraphPane() override { log.push_back("invalidate pane"); }
  void RecordFrameTime(double seconds) override { frameTimes.push_back(seconds); }
  bool IsTrackingMouse() const override { return tracking; }
  const GraphView3D* view = nullptr;
  std::vector<double> boxes;  // the x maximum at each redraw
  std::vector<double> frameTimes;
  bool tracking = false;
};

// Logs "<name> <call>" for each view call; draws nothing; answers as set.
class RecordingGraph3D : public GraphKind3D {
 public:
  RecordingGraph3D(std::string name, Log* log) : name_(std::move(name)), log_(log) {}
  void Compute(int32_t budget) override {
    Note("compute");
    const int32_t spent = budget < 1 ? 1 : std::min(budget, work);
    work -= spent;
    if (ClockInstalledFake() != nullptr) graphs_test::SpendUnits(spent);
  }
  bool Draw() override { return Note("draw"), drawAnswer; }
  int32_t Status() override { return 0; }
  void VariableChanged(int32_t, double) override {}
  void SetOption(int32_t code, double) override { Note("option " + std::to_string(code)); }
  void Invalidate() override { Note("invalidate"); }
  bool IsComplete() override { return work <= 0; }
  double Extent() override { return extent; }
  bool IsTransparent() override { return transparent; }
  int32_t work = 0;
  bool drawAnswer = true, transparent = false;
  double extent = 1.0;

 private:
  void Note(const std::string& what) { log_->push_back(name_ + " " + what); }
  std::string name_;
  Log* log_;
};

// A 200 x 200 view, still, without axes, seen from above: the eye on +z, screen right +x, up +y.
inline void LookFromAbove(GraphView3D& view) {
  view.rect = MakeRect(0, 0, 200, 200);
  view.SetOption(kOptionStopSpin, 0);
  view.showAxes = 0;
  const double fromAbove[9] = {0, 1, 0, 0, 0, 1, 1, 0, 0};
  std::copy(fromAbove, fromAbove + 9, view.settings.camera.orientation);
}

// Every point of every arrow the glyphs hold, in order: tip, base, barb ends.
inline std::vector<float> GlyphPoints(const GraphGlyphs3D* glyphs) {
  std::vector<float> out;
  for (int32_t i = 0; i < glyphs->GlyphCount(); ++i) {
    const ArrowGlyph& g = glyphs->GlyphAt(i);
    out.insert(out.end(), &g.point[0][0], &g.point[0][0] + 15);
  }
  return out;
}

// For n = 1 .. tries: the field `make` builds (its functions and colour made before the n-th counted
// allocation is refused, and every later one) computed whole, uploaded and drawn: it is complete
// and draws, and without arrows it says so (status 11) with error 7 posted. The field is deleted.
template <typename Make>
void ExpectFieldsCompleteUnderRefusedMemory(uint64_t tries, Make make) {
  for (uint64_t n = 1; n < tries; ++n) {
    ResetErrorRegister();
    auto* field = make([n] { FailAllocationAt(n, true); });
    field->Compute(graphs_test::kAll);
    field->SetOption(5, 0);
    const bool complete = field->IsComplete();
    const int32_t status = field->Status();
    const bool drawn = field->Draw();
    FailAllocationAt(0);
    EXPECT_TRUE(complete && drawn) << n;
    if (field->Glyphs() == nullptr || field->Glyphs()->GlyphCount() == 0) {
      EXPECT_TRUE(status == 11 && IsErrorPosted(kErrorOutOfMemory)) << n;
    }
    delete field;
  }
}

// A fixture for one 3D graph kind on its own: the software pane, and a context whose view frame is
// `frame` (box -2..2 unless a test changes it) for the kinds that read the view's ranges.
class Graph3DTest : public graphs_test::GraphsTest {
 protected:
  void SetUp() override {
    GraphsTest::SetUp();
    InstallSoftwarePane(200, 200);
    context = NewGLContextRecord();
    context->viewFrame = &frame;
  }
  void TearDown() override {
    DetachGLContext(context);
    DeleteGLContextRecord(context);
    RemoveSoftwarePane();
    GraphsTest::TearDown();
  }
  // A fixed colour (index 1) over the context (or another).
  GraphColor* Colour(GraphicsContext* ctx = nullptr, double index = 1) {
    auto* colour = new GraphColor(ctx != nullptr ? ctx : context);
    SetGraphColorIndex(colour, index);
    return colour;
  }
  ViewFrame frame = {{1, 0, 0, 0, 1, 0, 0, 0, 1}, {-2, 2, -2, 2, -2, 2}, 1.7330909743, 2.3};
  GraphicsContext* context = nullptr;
};

}  // namespace view3d_test
