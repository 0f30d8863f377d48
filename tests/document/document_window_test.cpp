// The document window without a display: its buffer is read back instead of a screenshot. Keys go
// into the new row, which joins the document at its first edit; an edit deletes the graphs and
// Return builds them again; idle ticks compute them and the graph pane shows the curve where the
// first plane view's map puts it; a click on a row moves the caret; a drag on empty paper pans; a
// document in 3D shows its spinning 3D view in the graph pane; Up, Down and the Edit menu's keys
// do what the README says.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "algebra/algebra_seams.h"
#include "document/document_file.h"
#include "document/slider_strip.h"
#include "document/document_window.h"
#include "editor/formula_editor.h"
#include "editor/typeset_state.h"
#include "graphics/gl/gl_globals.h"
#include "graphics/gl/graphics_context.h"
#include "graphs/view3d/graph_view_3d.h"
#include "graphs/view4d/graph_view_4d.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/diagnostics/message_tables.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/threads/timers.h"
#include "kernel/trees/expr_node.h"
#include "platform/clock.h"
#include "platform/pointer_source.h"
#include "tests/document/document_test_support.h"
#include "tests/document/formula_text_support.h"

namespace {

constexpr int32_t kWidth = 500, kHeight = 500;

// Counts what the window showed.
struct CountingSurface final : WindowSurface {
  void Present(const Port&, const QDRect& rect) override {
    ++presents;
    last = rect;
  }
  int presents = 0;
  QDRect last{0, 0, 0, 0};
};

class DocumentWindowTest : public document_test::DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    document_ = std::make_unique<DocumentRecord>(ComputeDocumentWindowLayout(kWidth, kHeight).graphPane);
    window_ = std::make_unique<DocumentWindow>(document_.get(), &surface_);
    ASSERT_TRUE(window_->Open(kWidth, kHeight));
  }
  void TearDown() override {
    document_test::CloseWindowForTest(window_, document_);
    DocumentTest::TearDown();
  }
  void Type(const std::string& text) { document_test::TypeKeys(window_.get(), text); }
  void ReturnAndCompute() {
    window_->HandleKey(EditKeyEvent{kKeyReturn, kKeyReturn, 0});
    for (int i = 0; i < 100 && !window_->GraphsComplete(); ++i) window_->IdleTick(30);
    window_->IdleTick(30);
  }
  // The buffer's pixels in the rectangle, row by row.
  std::vector<uint32_t> Pixels(const QDRect& r) const {
    const Port* buffer = window_->Buffer();
    std::vector<uint32_t> out;
    for (int v = r.top; v < r.bottom; ++v)
      for (int h = r.left; h < r.right; ++h) out.push_back(buffer->pixels[v * (buffer->rowBytes / 4) + h]);
    return out;
  }
  // Columns where the buffer has non-paper ink within 2 pixels of the curve, of those checked.
  double Hits(double (*f)(double), int* columns) {
    const GraphView2D* view = document_->viewSet.first2D;
    const Port* buffer = window_->Buffer();
    int count = 0, hits = 0;
    for (int h = view->rect.left + 10; h < view->rect.right - 10; h += 4) {
      const double y = f(view->WindowX(h));
      const int v = WorldToPixelY(&view->windowMap, y);
      if (!std::isfinite(y) || v < view->rect.top + 4 || v >= view->rect.bottom - 4) continue;
      ++count;
      bool ink = false;
      for (int b = -2; b <= 2 && !ink; ++b) {
        const uint32_t p = buffer->pixels[(v + b) * (buffer->rowBytes / 4) + h];
        const int r = (p >> 16) & 255, g = (p >> 8) & 255, bl = p & 255;
        ink = std::max({r, g, bl}) - std::min({r, g, bl}) > 90 && std::min({r, g, bl}) < 170;
      }
      hits += ink;
    }
    *columns = count;
    return count ? double(hits) / count : 0.0;
  }
  // The window reopened on a document read from the text, its graphs computed.
  void OpenDocumentText(const std::string& text) {
    window_.reset();
    document_ = std::make_unique<DocumentRecord>(ComputeDocumentWindowLayout(kWidth, kHeight).graphPane);
    ASSERT_TRUE(document_test::ReadDocumentText(text, document_.get()));
    window_ = std::make_unique<DocumentWindow>(document_.get(), &surface_);
    ASSERT_TRUE(window_->Open(kWidth, kHeight));
    for (int i = 0; i < 100 && !window_->GraphsComplete(); ++i) window_->IdleTick(30);
    window_->IdleTick(30);
  }
  CountingSurface surface_;
  std::unique_ptr<DocumentRecord> document_;
  std::unique_ptr<DocumentWindow> window_;
};

TEST_F(DocumentWindowTest, TypedRowJoinsTheDocumentAndReturnGraphsIt) {
  EXPECT_EQ(document_->rows.count, 0);
  EXPECT_EQ(window_->ActiveRow(), 0) << "the new row";
  Type("y = x/2");
  ASSERT_EQ(document_->rows.count, 1) << "the first edit makes the row the document's";
  EXPECT_EQ(document_->rows.data[0].expression, document_->rows.data[0].editor->root);
  EXPECT_NE(window_->RowEditor(1), nullptr) << "a new empty row below";
  EXPECT_FALSE(document_->graphsBuilt) << "typing alone builds nothing";
  ReturnAndCompute();
  EXPECT_TRUE(document_->graphsBuilt);
  ASSERT_TRUE(window_->GraphsComplete());
  int columns = 0;
  EXPECT_GE(Hits([](double x) { return x / 2; }, &columns), 0.9);
  EXPECT_GE(columns, 50);
  EXPECT_EQ(window_->ActiveRow(), 1) << "Return goes on in the new row";
  Type("{Backspace}");
  EXPECT_TRUE(document_->graphsBuilt) << "Backspace in the empty new row changes nothing";
  Type("{Up}{Backspace}");  // Up: the end of the row above, after the fraction, which goes
  EXPECT_EQ(window_->ActiveRow(), 0);
  EXPECT_FALSE(document_->graphsBuilt) << "an edit deletes the graphs";
  EXPECT_EQ(document_->viewSet.first2D->graphs.count, 0);
  Type("x/3");
  ReturnAndCompute();
  EXPECT_GE(Hits([](double x) { return x / 3; }, &columns), 0.9);
}

// Rows whose derivative once took minutes while the window stood frozen on Return: 4,000 factors
// x (8 KB of text) and sin 800 deep. The row is typed short, y = x, and its right side is then
// made long in place, the caret after its last leaf as typing leaves it (typing the 8,000 keys
// redraws the growing row at each, minutes under the sanitizers, which is not what is tested
// here). Return builds and computes the graph, and the next keys are answered: Up goes back to
// the row and Backspace edits it, which deletes the graphs. The time bound is generous: it tells a frozen window from a working
// one under the sanitizers and times nothing finer.
class LongRowTest : public DocumentWindowTest {
 protected:
  void SetUp() override {
    DocumentWindowTest::SetUp();
    window_.reset();  // gives its editor hooks back: the algebra's go in first, as in the program
    InstallAlgebraSeams();  // so the graphs differentiate their functions
    window_ = std::make_unique<DocumentWindow>(document_.get(), &surface_);
    ASSERT_TRUE(window_->Open(kWidth, kHeight));
  }
  void TearDown() override {
    ResetEvaluationSeams();
    DocumentWindowTest::TearDown();
  }
  void ReturnOnARowEndingIn(ExprNode* right) {
    Type("y = x");
    ASSERT_EQ(document_->rows.count, 1);
    FormulaEditor* editor = document_->rows.data[0].editor;
    ExprNode* equation = editor->root;
    ASSERT_TRUE(equation->kind == KindEqual && equation->arity == 2);
    FreeExpression(equation->children[1]);
    SetChild(equation, 1, right);
    ExprNode* leaf = right;
    while (leaf->arity > 0) leaf = leaf->children[leaf->arity - 1];
    editor->caretNode = leaf;
    editor->selectionMode = SelectionCaretAfter;
    editor->layoutValid = false;
    const auto start = std::chrono::steady_clock::now();
    ReturnAndCompute();
    EXPECT_TRUE(document_->graphsBuilt);
    EXPECT_TRUE(window_->GraphsComplete());
    EXPECT_EQ(document_->viewSet.first2D->graphs.count, 1);
    EXPECT_EQ(window_->ActiveRow(), 1) << "Return goes on in the new row";
    Type("{Up}{Backspace}");
    EXPECT_EQ(window_->ActiveRow(), 0);
    EXPECT_FALSE(document_->graphsBuilt) << "the keys after Return are answered";
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 60.0);
  }
};

TEST_F(LongRowTest, AProductOfFourThousandFactors) {
  ExprNode* product = NewNode(KindTimes, 4000);
  for (int k = 0; k < 4000; ++k) SetChild(product, k, NewSymbolNode('x'));
  ReturnOnARowEndingIn(product);
}

TEST_F(LongRowTest, SinNestedEightHundredDeep) {
  ExprNode* chain = NewSymbolNode('x');
  for (int k = 0; k < 800; ++k) chain = NewUnaryNode(KindSin, chain);
  ReturnOnARowEndingIn(chain);
}

TEST_F(DocumentWindowTest, IdleIntervalFollowsComputingRedrawsAndTheCaret) {
  Type("y = x^2");
  window_->HandleKey(EditKeyEvent{kKeyReturn, kKeyReturn, 0});
  EXPECT_DOUBLE_EQ(window_->IdleIntervalSeconds(), window_->GraphsComplete() ? 0.01 : 0.001);
  for (int i = 0; i < 100 && !window_->GraphsComplete(); ++i) window_->IdleTick(1);
  window_->IdleTick(1);
  EXPECT_NEAR(window_->IdleIntervalSeconds(), CaretBlinkTicks() / 60.15, 1e-12) << "the caret blinks";
}

TEST_F(DocumentWindowTest, ClickOnARowMovesTheCaretToTheClickedLeaf) {
  Type("y = 12 + a");
  Type("{Down}");
  const FormulaEditor* row = window_->RowEditor(0);
  ASSERT_NE(row, nullptr);
  const ExprNode* a = row->root->children[1]->children[1];
  FixedRect r{};
  GetNodeRect(a, &r);
  const QDPoint point{int16_t(row->frame.top + FixedToPixels((r.top + r.bottom) / 2)),
                      int16_t(row->frame.left + FixedToPixels(r.left + (r.right - r.left) / 5))};
  window_->HandleMouseDown(point, 0, 1);
  EXPECT_EQ(window_->ActiveRow(), 0);
  EXPECT_EQ(row->caretNode, a);
  EXPECT_EQ(row->selectionMode, SelectionCaretBefore);
  EXPECT_TRUE(row->active);
  EXPECT_FALSE(window_->RowEditor(1)->active);
}

TEST_F(DocumentWindowTest, DragOnEmptyPaperPansTheView) {
  FakeClock clock;
  ScriptedPointerSource pointer(&clock);
  SetPointerSource(&pointer);
  GraphView2D* view = document_->viewSet.first2D;
  const double x0 = view->WindowX(view->rect.left), y0 = view->WindowY(view->rect.top);
  const QDPoint start{int16_t(view->rect.top + 30), int16_t(view->rect.left + 30)};
  for (int k = 1; k <= 4; ++k)
    pointer.Push({1000, PointerEventKind::kMoved, QDPoint{int16_t(start.v + 8 * k), int16_t(start.h + 16 * k)}});
  pointer.Push({1000, PointerEventKind::kReleased, QDPoint{int16_t(start.v + 32), int16_t(start.h + 64)}});
  window_->HandleMouseDown(start, 0, 1);
  EXPECT_NEAR(view->WindowX(view->rect.left), x0 - 64 * view->windowMap.unitsPerPixelX, 1e-9);
  EXPECT_NEAR(view->WindowY(view->rect.top), y0 + 32 * view->windowMap.unitsPerPixelY, 1e-9);
  EXPECT_GT(surface_.presents, 0);
}

// A document in 3D (the space example, a line @view=3d) opens with its 3D view in the graph pane:
// by the software rasteriser without OpenGL and through Mesa's GL offscreen with it, read into the
// window's buffer at the pane's place (the math pane and the divider above stay untouched). The
// view spins, so the idle timer runs at a tick and each idle tick draws a turned frame; a stopped
// spin gives the idle timer back to the caret.
TEST_F(DocumentWindowTest, ADocumentIn3DShowsItsSpinningViewInTheGraphPane) {
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  setenv("EGL_PLATFORM", "surfaceless", 1);
  for (const int32_t kind : {kContextQuickDraw, kContextGLOffscreen}) {
    SCOPED_TRACE(kind == kContextQuickDraw ? "software" : "GL offscreen");
    window_.reset();
    document_.reset();
    ResetGLGlobalsForTest();  // OpenGL off until asked for; the record installs its hooks again
    document_ = std::make_unique<DocumentRecord>(ComputeDocumentWindowLayout(kWidth, kHeight).graphPane);
    if (kind != kContextQuickDraw) {
      ASSERT_TRUE(DetectOpenGL()) << "no EGL display (scripts/install-deps.sh)";
    }
    std::vector<int> lines;
    std::vector<DocumentProblem> problems;
    std::string failure;
    ASSERT_TRUE(ReadDocumentFile(std::string(QV_SOURCE_DIR) + "/examples/space-field.txt", document_.get(), &lines,
                                 &problems, &failure))
        << failure;
    ASSERT_TRUE(document_->shownView == ShownView::k3D && problems.empty());
    window_ = std::make_unique<DocumentWindow>(document_.get(), &surface_);
    ASSERT_TRUE(window_->Open(kWidth, kHeight));
    for (int i = 0; i < 100 && !window_->GraphsComplete(); ++i) window_->IdleTick(30);
    GraphView3D* view = document_->viewSet.first3D;
    ASSERT_EQ(document_->viewSet.primary, view);
    ASSERT_EQ(view->graphs.count, 1);
    window_->IdleTick(30);
    EXPECT_EQ(GLContextKind(view->context), kind);
    EXPECT_TRUE(EqualRect(view->rect, window_->Layout().graphPane));

    // Ink in the pane: the green axes and a thousand arrows; none of the frame above it.
    const Port* buffer = window_->Buffer();
    auto pixel = [&](int h, int v) { return buffer->pixels[v * (buffer->rowBytes / 4) + h] & 0xFFFFFFu; };
    auto green = [](uint32_t p) {
      const int r = p >> 16 & 255, g = p >> 8 & 255, b = p & 255;
      return g > 150 && g > r + 80 && g > b + 80;
    };
    const QDRect pane = window_->Layout().graphPane;
    int axis = 0, other = 0;
    for (int v = pane.top; v < pane.bottom; ++v) {
      for (int h = pane.left; h < pane.right; ++h) {
        axis += green(pixel(h, v));
        other += !green(pixel(h, v)) && pixel(h, v) != 0xFFFFFFu;
      }
    }
    EXPECT_GT(axis, 40);
    EXPECT_GT(other, 1000);
    const int divider = window_->Layout().mathPane.bottom;
    int greenAbove = 0, dividerPixels = 0;
    for (int h = 0; h < kWidth; ++h) {
      dividerPixels += pixel(h, divider) == 0xA0A0A0u && pixel(h, pane.top - 1) == 0xA0A0A0u;
      for (int v = 0; v < divider; ++v) greenAbove += green(pixel(h, v));
    }
    EXPECT_EQ(dividerPixels, kWidth);
    EXPECT_EQ(greenAbove, 0);

    // The spin: a tick's interval, and a turned frame a tenth of a second later.
    EXPECT_TRUE(window_->Animating());
    EXPECT_DOUBLE_EQ(window_->IdleIntervalSeconds(), 1.0 / 60);
    document_->viewSetTickRate = 30;  // the pace the probe passes to the view set is the one kept
    EXPECT_DOUBLE_EQ(window_->IdleIntervalSeconds(), 1.0 / 30);
    document_->viewSetTickRate = 0;
    std::vector<uint32_t> before(buffer->pixels, buffer->pixels + buffer->rowBytes / 4 * kHeight);
    const int presents = surface_.presents;
    for (int k = 0; k < 2; ++k) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      window_->IdleTick(30);
    }
    EXPECT_GT(surface_.presents, presents);
    int changed = 0;
    for (int v = pane.top; v < pane.bottom; ++v)
      for (int h = pane.left; h < pane.right; ++h) changed += (before[v * (buffer->rowBytes / 4) + h] & 0xFFFFFFu) != pixel(h, v);
    EXPECT_GT(changed, 200) << "the view turned";
    view->SetOption(kOptionStopSpin, 0.0);
    EXPECT_FALSE(window_->Animating());
    EXPECT_NEAR(window_->IdleIntervalSeconds(), CaretBlinkTicks() / 60.15, 1e-12);

    window_.reset();
    document_.reset();
    DestroyRetiredGLContexts();
    EXPECT_EQ(CurrentGLBackend().LiveContextCount(), 0) << "a context outlived its view";
    ResetGLGlobalsForTest();
  }
}

// A drag in a 3D and in a 4D document, with each modifier, read on the view's orientation and
// depth: the space views read the keys as {Command, Option, Control, Shift}, where Command
// declines, Control sets the depth, Option turns freely anywhere, Shift turns about one axis (in 4D
// the other three axes), and a plain drag turns when it starts on a graph and is declined on the
// background; a declined press is not retried with another meaning. Before, the window sent the
// plane view's flags: Option set the depth, Command turned, Control could not be had and a plain
// drag on the background turned the view.
TEST_F(DocumentWindowTest, ModifierDragsInSpaceTurnSetTheDepthOrAreDeclined) {
  const char* documents[2] = {
      "@view=3d\nequal[matrix[3,1,x,y,z],matrix[3,1,cos[times[6,t]],sin[times[6,t]],t]]\n",
      "@view=4d\nequal[matrix[4,1,x,y,u,v],matrix[4,1,cos[times[6,t]],sin[times[6,t]],plus[times[2,t],minus[1]],t]]\n"};
  const struct {
    const char* name;
    uint32_t modifiers;
    bool onGraph, turns, deepens;
  } cases[] = {{"plain on a graph", 0, true, true, false},       {"plain on the background", 0, false, false, false},
               {"Command", kKeyCommand, true, false, false},      {"Option", kKeyOption, false, true, false},
               {"Shift", kKeyShift, true, true, false},           {"Control", kKeyControl, true, false, true}};
  for (int space = 0; space < 2; ++space) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(space == 0 ? "3D, " : "4D, ") + c.name);
      OpenDocumentText(documents[space]);
      if (HasFatalFailure()) return;
      GraphView3D* view3D = document_->viewSet.first3D;
      GraphView4D* view4D = document_->viewSet.view4D;
      if (space == 0) view3D->SetOption(kOptionStopSpin, 0.0);
      window_->RedrawGraphPane();
      double* orientation = space == 0 ? view3D->settings.camera.orientation : view4D->orientation;
      const int entries = space == 0 ? 9 : 16;
      const double* depth = space == 0 ? &view3D->settings.camera.zoom : &view4D->depth;

      // A point on the curve (ink near the pane's centre that is not the green axes), or one whose
      // whole neighbourhood is white paper.
      const Port* buffer = window_->Buffer();
      auto pixel = [&](int h, int v) { return buffer->pixels[v * (buffer->rowBytes / 4) + h] & 0xFFFFFFu; };
      auto ink = [&](int h, int v) {
        const uint32_t p = pixel(h, v);
        const int r = p >> 16 & 255, g = p >> 8 & 255, b = p & 255;
        return p != 0xFFFFFFu && !(g > 150 && g > r + 80 && g > b + 80);
      };
      auto paper = [&](int h, int v) {
        for (int dv = -8; dv <= 8; ++dv)
          for (int dh = -8; dh <= 8; ++dh)
            if (pixel(h + dh, v + dv) != 0xFFFFFFu) return false;
        return true;
      };
      const QDRect pane = window_->Layout().graphPane;
      QDPoint start{0, 0};
      bool found = false;
      for (int v = pane.top + 40; v < pane.bottom - 60 && !found; ++v) {
        for (int h = pane.left + 40; h < pane.right - 60 && !found; ++h) {
          if (c.onGraph ? ink(h, v) : paper(h, v)) start = QDPoint{int16_t(v), int16_t(h)}, found = true;
        }
      }
      ASSERT_TRUE(found);

      const std::vector<double> turnedBefore(orientation, orientation + entries);
      const double depthBefore = *depth;
      FakeClock clock;
      ScriptedPointerSource pointer(&clock);
      SetPointerSource(&pointer);
      for (int k = 1; k <= 4; ++k) {
        pointer.Push({1000000, PointerEventKind::kMoved, QDPoint{int16_t(start.v + 10 * k), int16_t(start.h + 12 * k)},
                      c.modifiers});
      }
      pointer.Push({1000000, PointerEventKind::kReleased, QDPoint{int16_t(start.v + 40), int16_t(start.h + 48)},
                    c.modifiers});
      window_->HandleMouseDown(start, c.modifiers, 1);
      SetPointerSource(nullptr);
      double moved = 0.0;
      for (int i = 0; i < entries; ++i) moved = std::max(moved, std::fabs(orientation[i] - turnedBefore[i]));
      EXPECT_EQ(moved > 1e-3, c.turns) << "largest change of the orientation " << moved;
      EXPECT_EQ(*depth != depthBefore, c.deepens) << *depth << " from " << depthBefore;
      if (c.deepens) {
        EXPECT_NEAR(*depth, depthBefore + 0.03 * 40, 1e-9);
      }
    }
  }
}

// What the 3D and 4D views ask of their document: whether the mouse is tracked (the window's own
// tracking or the pane divider's drag: the 4D spin then holds still), whether its demo is paused,
// the frame rate from the frame times (a ring of 40, shown again at most once a second of frame
// time; golden rates by hand: 1/0.02 = 50, then 1/0.01 = 100 once a second of frames passed), and
// the view commands 6 and 7 and the zoom, which send the view states again (the toolbar tags read
// the axes shown) and have the window redraw the graph pane at its next idle tick.
TEST_F(DocumentWindowTest, TheSpaceViewsServicesReachTheDocumentAndItsWindow) {
  DocumentServices* services = document_.get();
  const struct { uint8_t divider, tracking; bool expected; } tracking[] = {
      {0, 0, false}, {1, 0, true}, {0, 1, true}, {1, 1, true}};
  for (const auto& t : tracking) {
    document_->paneDividerDrag = t.divider;
    DocumentsGlobals().trackingMouse = t.tracking;
    EXPECT_EQ(services->IsTrackingMouse(), t.expected) << int(t.divider) << int(t.tracking);
  }
  document_->paneDividerDrag = 0;
  DocumentsGlobals().trackingMouse = 0;
  const struct { int32_t demo; uint8_t paused; bool expected; } demos[] = {
      {0, 0, false}, {0, 1, false}, {2, 0, false}, {2, 1, true}};
  for (const auto& d : demos) {
    SetDemoMode(d.demo);
    document_->demoPaused = d.paused;
    EXPECT_EQ(services->IsDemoPaused(), d.expected) << d.demo << int(d.paused);
  }
  SetDemoMode(0);

  document_->frameRate = FrameRateRecord{};  // the plane view's draws were timed
  const FrameRateRecord& rate = document_->frameRate;
  for (double bad : {0.0, -0.5, std::nan(""), HUGE_VAL}) services->RecordFrameTime(bad);
  EXPECT_TRUE(rate.count == 0 && rate.framesPerSecond == 0.0);
  services->RecordFrameTime(0.02);  // the first time is shown at once
  EXPECT_NEAR(rate.framesPerSecond, 50.0, 1e-9);
  for (int k = 0; k < 50; ++k) services->RecordFrameTime(0.01);
  EXPECT_EQ(rate.count, kFrameTimeRing);
  EXPECT_NEAR(rate.framesPerSecond, 50.0, 1e-9) << "shown again before a second passed";
  for (int k = 0; k < 60; ++k) services->RecordFrameTime(0.01);
  EXPECT_NEAR(rate.framesPerSecond, 100.0, 1e-9);

  // The view commands in an empty 3D and an empty 4D document.
  for (const ShownView shown : {ShownView::k3D, ShownView::k4D}) {
    SCOPED_TRACE(shown == ShownView::k3D ? "3D" : "4D");
    window_.reset();
    document_ = std::make_unique<DocumentRecord>(ComputeDocumentWindowLayout(kWidth, kHeight).graphPane);
    document_->shownView = shown;
    window_ = std::make_unique<DocumentWindow>(document_.get(), &surface_);
    ASSERT_TRUE(window_->Open(kWidth, kHeight));
    GraphView* view = document_->viewSet.primary;
    GraphViewSet& set = document_->viewSet;
    uint8_t* axes = shown == ShownView::k3D ? &set.first3D->showAxes : &set.view4D->showAxes;
    for (const int32_t code : {6, 7, 0}) {
      SCOPED_TRACE(code);
      if (shown == ShownView::k3D) document_->viewSet.first3D->SetOption(kOptionStopSpin, 0.0);
      *axes = 0;
      for (int32_t& tag : document_->toolbarTags) tag = -1;
      window_->RedrawGraphPane();
      ASSERT_NE(window_->IdleIntervalSeconds(), 0.01);
      view->Command(code);
      // The 4D zoom's last step redraws the pane at once.
      if (shown == ShownView::k3D || code != 0) {
        EXPECT_EQ(window_->IdleIntervalSeconds(), 0.01) << "the pane waits to be redrawn";
      }
      EXPECT_EQ(document_->toolbarTags[1], code == 7 ? 1 : 0) << "the axes state sent again";
    }
  }

  // A spinning 4D view holds still while the divider is dragged.
  OpenDocumentText("@view=4d\nequal[matrix[4,1,x,y,u,v],matrix[4,1,cos[t],sin[t],t,1]]\n");
  if (HasFatalFailure()) return;
  GraphView4D* view4D = document_->viewSet.view4D;
  view4D->SetOption(kOption4DSpinPlaneFirst, 30.0);
  for (const uint8_t divider : {1, 0}) {
    document_->paneDividerDrag = divider;
    window_->RedrawGraphPane();
    const std::vector<double> before(view4D->orientation, view4D->orientation + 16);
    for (int k = 0; k < 3; ++k) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      window_->RedrawGraphPane();
    }
    const bool still = std::equal(before.begin(), before.end(), view4D->orientation);
    EXPECT_EQ(still, divider == 1) << int(divider);
  }
}

TEST_F(DocumentWindowTest, ClosingTheWindowGivesTheEditorHooksBack) {
  window_.reset();
  EXPECT_EQ(TypesetGlobals().hooks.redrawEquationPane, nullptr);
  EXPECT_EQ(TypesetGlobals().hooks.getMovieSaveState, nullptr);
  EXPECT_EQ(document_->window, nullptr);
}

// A slider row shows its slider in the strip at the foot of the math pane, the rows above it;
// dragging the thumb to the right end sends a = 4 to the graphs: the parabola y = a x^2 becomes
// 4x^2 with the same graph objects (no rebuild) and the value text reads 4.
TEST_F(DocumentWindowTest, DraggingASliderChangesTheGraphWithoutARebuild) {
  OpenDocumentText("@slider=25 equal[a,slider[id[comma[0,4]]]]\nequal[y,times[a,power[x,2]]]\n");
  const QDRect strip = window_->SliderStrip();
  ASSERT_EQ(RectHeight(strip), kSliderLineHeight);
  EXPECT_EQ(strip.bottom, window_->Layout().mathPane.bottom);
  EXPECT_EQ(window_->RowsRect().bottom, strip.top);
  for (int32_t r = 0; r <= document_->rows.count; ++r) EXPECT_LE(window_->RowEditor(r)->frame.bottom, strip.top) << r;
  EXPECT_EQ(SliderValueText(document_->rows.data[0]), "1");

  const QDRect track = SliderTrackRect(SliderLineRect(strip, 0));
  const int16_t middle = int16_t((track.top + track.bottom) / 2);
  std::vector<const GraphKind*> graphsBefore;
  for (int32_t g = 0; g < document_->viewSet.first2D->graphs.count; ++g)
    graphsBefore.push_back(document_->viewSet.first2D->graphs.data[g]);
  ASSERT_FALSE(graphsBefore.empty());
  const int32_t builds = window_->GraphBuilds();

  FakeClock clock;
  ScriptedPointerSource pointer(&clock);
  SetPointerSource(&pointer);
  const int16_t start = int16_t(SliderThumbCentre(track, 100, 25));
  for (int k = 1; k <= 5; ++k)
    pointer.Push({20'000'000, PointerEventKind::kMoved, QDPoint{middle, int16_t(start + (track.right + 40 - start) * k / 5)}});
  pointer.Push({20'000'000, PointerEventKind::kReleased, QDPoint{middle, int16_t(track.right + 40)}});
  window_->HandleMouseDown(QDPoint{middle, start}, 0, 1);
  SetPointerSource(nullptr);
  EXPECT_EQ(document_->rows.data[0].sliderValue, 100) << "past the right end is the end";
  EXPECT_EQ(SliderValueText(document_->rows.data[0]), "4");
  for (int i = 0; i < 100 && !window_->GraphsComplete(); ++i) window_->IdleTick(30);
  window_->IdleTick(30);
  EXPECT_EQ(window_->GraphBuilds(), builds) << "no rebuild";
  ASSERT_EQ(document_->viewSet.first2D->graphs.count, static_cast<int32_t>(graphsBefore.size()));
  for (size_t g = 0; g < graphsBefore.size(); ++g)
    EXPECT_EQ(document_->viewSet.first2D->graphs.data[g], graphsBefore[g]) << "the same graph objects";
  int columns = 0;
  EXPECT_GE(Hits([](double x) { return 4 * x * x; }, &columns), 0.9);
  EXPECT_GE(columns, 10);
}

// Only a press on a slider's track moves its thumb (to the pointer); a press on the name "a" or
// on the value "= 2" leaves a where it was, and nothing is rebuilt. Golden positions: the track's
// ends are 0 and 100, a thumb's centre is its own position.
TEST_F(DocumentWindowTest, OnlyAPressOnTheTrackMovesASlider) {
  OpenDocumentText("@slider=50 equal[a,slider[id[comma[0,4]]]]\nequal[y,times[a,power[x,2]]]\n");
  const QDRect line = SliderLineRect(window_->SliderStrip(), 0);
  const QDRect track = SliderTrackRect(line);
  const int16_t middle = int16_t((line.top + line.bottom) / 2);
  const int32_t builds = window_->GraphBuilds();
  const struct {
    const char* where;
    int32_t h, v;
    int32_t position;
  } cases[] = {
      {"the name", line.left + 3, middle, 50},
      {"between the name and the track", track.left - 1, middle, 50},
      {"the value text", track.right + 6, middle, 50},
      {"the line's right end", line.right - 1, middle, 50},
      {"the track's left end", track.left, middle, 0},
      {"the track's right end", track.right - 1, middle, 100},
      {"the track's top edge, a quarter along", SliderThumbCentre(track, 100, 25), track.top, 25},
      {"the track, three quarters along", SliderThumbCentre(track, 100, 75), middle, 75},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(RectHeight(window_->SliderStrip()), kSliderLineHeight);
    SetSliderPosition(document_.get(), 0, 50);
    window_->HandleMouseDown(QDPoint{int16_t(c.v), int16_t(c.h)}, 0, 1);
    EXPECT_EQ(document_->rows.data[0].sliderValue, c.position) << c.where;
    if (c.position == 50) {
      EXPECT_EQ(SliderValueText(document_->rows.data[0]), "2") << c.where;
    }
  }
  EXPECT_EQ(window_->GraphBuilds(), builds);
}

// A row whose graph goes to a view the window does not draw says so in its message place, with the
// headless program's text (one routine); a row drawn here says nothing, and the note goes with the
// graphs at the next edit.
TEST_F(DocumentWindowTest, ARowGraphedInAViewNotDrawnSaysWhereItWent) {
  const struct {
    const char* keys;
    const char* note;  // null: none
  } cases[] = {
      {"z = x y", "note: its graph is in the 3D view, which is not drawn (add a line @view=3d)"},
      {"y = x y", nullptr},
      {"y = x", nullptr},
  };
  for (const auto& c : cases) {
    Type(c.keys);
    const int32_t row = window_->ActiveRow();
    const PixelRect frame = window_->RowEditor(row)->frame;
    const QDRect place = MakeRect(frame.left, frame.bottom, frame.left + 200, frame.bottom + 14);
    const std::vector<uint32_t> before = Pixels(place);
    ReturnAndCompute();
    const char* shown = window_->RowMessageText(row);
    EXPECT_STREQ(shown, c.note) << c.keys;
    if (c.note != nullptr) {
      EXPECT_NE(Pixels(place), before) << c.keys << ": the note is drawn";
    }
  }
  Type("{Up}{Up}{Up}x");  // an edit: the graphs, and with them the note, are gone
  EXPECT_EQ(window_->RowMessageText(0), nullptr);
}

// An alert is shown under the active row, over its result message, until the next key.
TEST_F(DocumentWindowTest, AnAlertShowsUnderTheActiveRowUntilTheNextKey) {
  Type("y = ");
  ReturnAndCompute();
  const char* message = window_->RowMessageText(0);
  ASSERT_NE(message, nullptr) << "an unfinished row has its result message";
  window_->HandleKey(EditKeyEvent{kKeyUpArrow, kKeyUpArrow, 0});
  ASSERT_EQ(window_->ActiveRow(), 0);
  const char* alert = ErrorMessage(kErrorIntegrationServer);
  window_->ShowAlert(alert);
  EXPECT_EQ(window_->RowMessageText(0), alert);
  EXPECT_EQ(window_->RowMessageText(1), nullptr) << "only under the active row";
  window_->HandleKey(EditKeyEvent{kKeyRightArrow, kKeyRightArrow, 0});
  EXPECT_STREQ(window_->RowMessageText(0), message) << "the result message again";
}

// Up and Down as the README tells them: Up selects the part at the caret, then each larger part
// around it up to the whole formula, and only then goes to the row above (the caret at its end);
// Down goes into the first part of a selection, puts the caret after a selected symbol, and goes
// to the row below where it does not move, or at once from the formula's end (where after a power
// it would go back and forth between the power and its base for ever).
TEST_F(DocumentWindowTest, UpWidensTheSelectionBeforeTheRowAboveAndDownComesBackFromTheEnd) {
  Type("y = x^2");
  ReturnAndCompute();
  Type("y = 1");
  ReturnAndCompute();
  const struct {
    const char* key;
    int32_t row;
    const char* caretNode;
    int32_t mode;
  } steps[] = {
      {"{Up}", 1, "1", SelectionCaretAfter},  // from the empty last row, which cannot widen
      {"{Up}", 1, "1", SelectionCaretNode},
      {"{Up}", 1, "equal[y,1]", SelectionCaretNode},
      {"{Up}", 0, "power[x,2]", SelectionCaretAfter},
      {"{Down}", 1, "1", SelectionCaretAfter},  // from the end
      {"{Up}{Up}{Up}", 0, "power[x,2]", SelectionCaretAfter},
      {"{Up}", 0, "power[x,2]", SelectionCaretNode},
      {"{Up}", 0, "equal[y,power[x,2]]", SelectionCaretNode},
      {"{Down}", 0, "y", SelectionCaretNode},
      {"{Down}", 0, "y", SelectionCaretAfter},
      {"{Down}", 1, "1", SelectionCaretAfter},  // y = x^2 with the caret after y: Down does not move
  };
  for (const auto& step : steps) {
    Type(step.key);
    ASSERT_EQ(window_->ActiveRow(), step.row) << step.key << " to " << step.caretNode;
    const FormulaEditor* e = window_->RowEditor(step.row);
    EXPECT_EQ(formula_text::Bracket(e->caretNode), formula_text::Written(step.caretNode)) << step.key;
    EXPECT_EQ(e->selectionMode, step.mode) << step.key << " to " << step.caretNode;
  }
}

// The README's sentence on the Edit keys names, for each Edit item, the key shown beside it, and
// no key is shown there that the sentence does not name: "shown beside them: Control+Z Undo, ...".
TEST_F(DocumentWindowTest, TheEditKeysTheReadmeSaysAreShownAreTheOnesShown) {
    std::ifstream file(std::string(QV_SOURCE_DIR) + "/README.md");
  std::string readme((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::replace(readme.begin(), readme.end(), '\n', ' ');
  const std::string lead = "The Edit items have the keys every desktop program gives them, shown beside them: ";
  const size_t from = readme.find(lead);
  ASSERT_NE(from, std::string::npos) << "no sentence on the Edit keys in README.md";
  std::string told = readme.substr(from + lead.size(), readme.find_first_of(";(", from + lead.size()) - from - lead.size());
  for (size_t at; (at = told.find(" and ")) != std::string::npos;) told.replace(at, 5, ", ");
  const Menu& edit = window_->Menus().MenuAt(0);
  int named = 0;
  for (size_t at = 0; at < told.size();) {
    const size_t end = std::min(told.find(", ", at), told.size());
    const std::string pair = told.substr(at, end - at);  // "Control+Z Undo"
    at = end + 2;
    const size_t blank = pair.find(' ');
    ASSERT_NE(blank, std::string::npos) << pair;
    std::string keys = pair.substr(0, blank);
    const std::string title = pair.substr(blank + 1);
    for (size_t c; (c = keys.find("Control+")) != std::string::npos;) keys.replace(c, 8, "Ctrl+");
    if (keys == "Escape") keys = "Esc";
    const MenuItem* item = nullptr;
    for (int32_t i = 0; i < edit.count; ++i)
      if (title == edit.items[i].title) item = &edit.items[i];
    ASSERT_NE(item, nullptr) << "no Edit item " << title;
    EXPECT_STREQ(item->keys, keys.c_str()) << title << " in: " << told;
    ++named;
  }
  int shown = 0;
  for (int32_t i = 0; i < edit.count; ++i) shown += edit.items[i].keys != nullptr;
  EXPECT_EQ(named, shown) << told;
}

}  // namespace
