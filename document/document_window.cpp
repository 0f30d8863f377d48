// The document window: pane layout, drawing into the window buffer, input to the rows and the
// views, and the idle work. The editors' document services are filled here while a window is
// open: the owner of an editor is the DocumentRecord, whose window answers.
#include "document/document_window.h"

#include <algorithm>

#include "editor/edit_commands.h"
#include "editor/equation_pane.h"
#include "editor/formula_editor.h"
#include "editor/layout_driver.h"
#include "editor/line_mapping.h"
#include "editor/selection_geometry.h"
#include "editor/selection_highlight.h"
#include "editor/typeset_state.h"
#include "graphs/view3d/graph_view_gl.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/diagnostics/message_tables.h"
#include "kernel/threads/timers.h"
#include "kernel/trees/expr_node.h"
#include "platform/draw/shapes.h"
#include "platform/fonts.h"
#include "platform/draw/text.h"

namespace {

constexpr int32_t kDividerHeight = 4;
constexpr int32_t kRowMargin = 12;   // left and right of a row
constexpr int32_t kRowGap = 10;      // above each row
constexpr int32_t kMessageHeight = 16;
constexpr int16_t kMessageSize = 12;
constexpr double kTickRate = 60.15;  // ticks a second of the blink setting
constexpr RGBColor16 kDividerColour{0xA0A0, 0xA0A0, 0xA0A0};
constexpr RGBColor16 kMessageColour{0x6000, 0x6000, 0x6000};

DocumentWindow* WindowOf(void* owner) {
  auto* record = static_cast<DocumentRecord*>(owner);
  return record != nullptr ? static_cast<DocumentWindow*>(record->window) : nullptr;
}

// The current port for the scope's length, the previous one back at its end.
class PortScope {
 public:
  explicit PortScope(GWorldPtr port) {
    GetGWorld(&saved_, &device_);
    SetGWorld(port, nullptr);
  }
  ~PortScope() { SetGWorld(saved_, device_); }
  PortScope(const PortScope&) = delete;
  PortScope& operator=(const PortScope&) = delete;

 private:
  CGrafPtr saved_ = nullptr;
  void* device_ = nullptr;
};

// The click flags of a plane view: {0, Command (pan), Option (probe), Shift (zoom box), a double
// click (zoom)}.
ClickFlags PlaneClickFlags(uint32_t modifiers, int32_t clicks) {
  return ClickFlags{{0, uint8_t((modifiers & kKeyCommand) != 0), uint8_t((modifiers & kKeyOption) != 0),
                     uint8_t((modifiers & kKeyShift) != 0), uint8_t(clicks >= 2)}};
}

// The click flags of a 3D or 4D view: the keys held, {Command, Option, Control, Shift}.
ClickFlags SpaceClickFlags(uint32_t modifiers) {
  ClickFlags flags{};
  flags.byte[kClickCommandKey] = (modifiers & kKeyCommand) != 0;
  flags.byte[kClickOptionKey] = (modifiers & kKeyOption) != 0;
  flags.byte[kClickControlKey] = (modifiers & kKeyControl) != 0;
  flags.byte[kClickShiftKey] = (modifiers & kKeyShift) != 0;
  return flags;
}

// The window's mouse-tracking flag held for the scope's length: the spinning views hold still.
class TrackingScope {
 public:
  TrackingScope() { DocumentsGlobals().trackingMouse = 1; }
  ~TrackingScope() { DocumentsGlobals().trackingMouse = 0; }
  TrackingScope(const TrackingScope&) = delete;
  TrackingScope& operator=(const TrackingScope&) = delete;
};

}  // namespace

DocumentWindowLayout ComputeDocumentWindowLayout(int32_t width, int32_t height) {
  const int32_t math = std::max(std::min(std::max(height / 3, 80), height - 40), 0);
  DocumentWindowLayout layout;
  layout.mathPane = MakeRect(0, 0, width, math);
  layout.graphPane = MakeRect(0, std::min(math + kDividerHeight, height), width, height);
  return layout;
}

DocumentWindow::DocumentWindow(DocumentRecord* document, WindowSurface* surface)
    : document_(document), surface_(surface) {
  document_->window = this;
  EditorHooks& hooks = TypesetGlobals().hooks;
  savedHooks_ = hooks;
  hooks.loadDocumentTextStyle = [](void* owner) {
    if (FormulaEditor* e = TypesettingGlobals().currentEditor) e->owner = owner;
  };
  hooks.redrawEquationPane = [](void* owner) {
    if (DocumentWindow* w = WindowOf(owner)) w->RedrawMathPane();
  };
  hooks.getMathPaneRect = [](void* owner, PixelRect* rect) {
    if (DocumentWindow* w = WindowOf(owner)) {
      const QDRect& r = w->Layout().mathPane;
      *rect = PixelRect{r.top, r.left, r.bottom, r.right};
    }
  };
  hooks.getMovieSaveState = [](void* owner, MovieSaveState* state) {
    DocumentWindow* w = WindowOf(owner);
    if (w == nullptr) return;
    DocumentRecord* d = w->Document();
    state->graphsBuilt = d->graphsBuilt;
    state->graphPaneOpen = RectHeight(w->Layout().graphPane) >= 20;
    state->sliderAnimating = d->IsSliderAnimating();
    state->hasViewSet = true;
    state->viewSetNeedsRedraw = ViewSetNeedsRedraw(&d->viewSet);
    state->allViewsReady = ViewSetAllViewsReady(&d->viewSet);
  };
}

DocumentWindow::~DocumentWindow() {
  TypesetGlobals().hooks = savedHooks_;
  if (TypesettingGlobals().currentEditor == newRow_) TypesettingGlobals().currentEditor = nullptr;
  DisposeFormulaEditor(newRow_);
  DisposeGWorld(buffer_);
  document_->window = nullptr;
}

FormulaEditor* DocumentWindow::RowEditor(int32_t i) const {
  if (i >= 0 && i < document_->rows.count) return document_->rows.data[i].editor;
  return i == document_->rows.count ? newRow_ : nullptr;
}

bool DocumentWindow::Open(int32_t width, int32_t height) {
  InitTypesetting();
  if (!document_->EnsureRowEditors()) return false;
  newRow_ = NewCurrentEquationEditor(PixelRect{0, 0, 0, 0}, document_);
  if (newRow_ == nullptr) return false;
  activeRow_ = document_->rows.count;
  if (!Resize(width, height)) return false;
  ActivateRow(activeRow_);
  RebuildGraphs();
  RedrawAll();
  ShowCaret();
  return true;
}

bool DocumentWindow::Resize(int32_t width, int32_t height) {
  GWorldPtr buffer = NewGWorld(MakeRect(0, 0, width, height));
  if (buffer == nullptr) return false;
  DisposeGWorld(buffer_);
  buffer_ = buffer;
  layout_ = ComputeDocumentWindowLayout(width, height);
  ViewSetSetPaneRect(&document_->viewSet, layout_.graphPane);
  LayoutRows();
  return true;
}

void DocumentWindow::LayoutRows() {
  const int32_t left = layout_.mathPane.left + kRowMargin;
  const int32_t right = std::max(left + 1, layout_.mathPane.right - kRowMargin);
  int32_t top = layout_.mathPane.top + kRowGap;
  for (int32_t i = 0; i < RowCount(); ++i) {
    FormulaEditor* e = RowEditor(i);
    if (e == nullptr) continue;
    SetCurrentFormulaEditor(e, document_);
    e->widthLimit = FixedFromInt(right - left);
    LayoutFormula();
    const int32_t height = std::max(FixedToPixels(FormulaTextHeight(e)), 1);
    e->frame = PixelRect{PinCoordinate(top), PinCoordinate(left), PinCoordinate(top + height), PinCoordinate(right)};
    top += height + kRowGap;
    if (i < document_->rows.count && document_->rows.data[i].resultMessage != 0) top += kMessageHeight;
  }
  ActivateRow(activeRow_);
}

void DocumentWindow::ActivateRow(int32_t row) {
  activeRow_ = std::clamp(row, 0, RowCount() - 1);
  ActivateFormulaEditor(RowEditor(activeRow_), document_);
}

void DocumentWindow::RedrawMathPane() {
  if (buffer_ == nullptr) return;
  FormulaEditor* current = TypesettingGlobals().currentEditor;
  {
    PortScope port(buffer_);
    const QDRect& pane = layout_.mathPane;
    ClipRect(buffer_->bounds);
    EraseRect(pane);
    RGBForeColor(kDividerColour);
    PaintRect(MakeRect(pane.left, pane.bottom, pane.right, layout_.graphPane.top));
    ForeColor(kBlackColor);
    ClipRect(pane);
    for (int32_t i = 0; i < RowCount(); ++i) {
      FormulaEditor* e = RowEditor(i);
      if (e == nullptr) continue;
      SetCurrentFormulaEditor(e, document_);
      if (e->active && e->layoutValid && SelectionIsDrawable()) {
        FixedRect selection{}, second{};
        if (ComputeSelectionGeometry(&selection, &second)) {
          DrawMultiLineSelection(selection, false);
          if (second.right > second.left) DrawHiliteRoundRect(second, false);
        }
      }
      DrawEquationLine(e, document_);
      const int32_t message = i < document_->rows.count ? document_->rows.data[i].resultMessage : 0;
      if (message != 0) {
        TextFont(kFontApplication);
        TextSize(kMessageSize);
        TextFace(0);
        RGBForeColor(kMessageColour);
        MoveTo(e->frame.left, e->frame.bottom + kMessageHeight - 4);
        DrawString(GraphResultMessage(message));
        ForeColor(kBlackColor);
      }
    }
    ClipRect(buffer_->bounds);
  }
  if (current != nullptr) SetCurrentFormulaEditor(current, document_);
  Present(layout_.mathPane);
}

void DocumentWindow::RedrawGraphPane() {
  if (buffer_ == nullptr) return;
  {
    PortScope port(buffer_);
    ClipRect(layout_.graphPane);
    ViewSetActivate(&document_->viewSet, 2);
    ClipRect(buffer_->bounds);
  }
  graphPaneStale_ = false;
  Present(layout_.graphPane);
}

void DocumentWindow::RedrawAll() {
  RedrawMathPane();
  RedrawGraphPane();
  Present(buffer_->bounds);
}

void DocumentWindow::Present(const QDRect& rect) {
  if (surface_ != nullptr && buffer_ != nullptr) surface_->Present(*buffer_, rect);
}

void DocumentWindow::ShowCaret() {
  FormulaEditor* e = RowEditor(activeRow_);
  if (e == nullptr || buffer_ == nullptr) return;
  {
    PortScope port(buffer_);
    SetCurrentFormulaEditor(e, document_);
    if (!e->documentFlag) DrawCurrentEquationCaret();
  }
  TypesetGlobals().lastCaretBlink = ElapsedTimerUnits();
  Present(layout_.mathPane);
}

void DocumentWindow::AfterEdit() {
  document_->SyncRowsWithEditors();
  if (RowEditor(activeRow_) == newRow_) {
    FormulaEditor* fresh = NewFormulaEditor();
    if (fresh != nullptr && document_->AppendEditorRow(newRow_) != nullptr) {
      document_->rows.data[document_->rows.count - 1].color = FixedColourOfRow(document_->rows.count - 1);
      newRow_ = fresh;
    } else {
      DisposeFormulaEditor(fresh);
    }
  }
  // The graphs go with every change; Return builds them again.
  ViewSetDeleteAllGraphs(&document_->viewSet);
  document_->graphsBuilt = false;
  for (int32_t i = 0; i < document_->rows.count; ++i) document_->rows.data[i].resultMessage = 0;
  document_->SetDocumentModified(true);
  graphPaneStale_ = true;
}

int32_t DocumentWindow::HandleKey(const EditKeyEvent& key) {
  if (IsReturnOrEnter(key) && (key.modifiers & ~kKeyShift) == 0) {
    RebuildGraphs();
    LayoutRows();
    RedrawAll();
    ShowCaret();
    return 0;
  }
  FormulaEditor* e = RowEditor(activeRow_);
  int32_t code = 0;
  {
    PortScope port(buffer_);
    code = HandleEquationKey(key, e, document_);
  }
  if (code != 0 && !IsCaretMotionCode(code)) AfterEdit();
  LayoutRows();
  RedrawMathPane();
  if (graphPaneStale_) RedrawGraphPane();
  ShowCaret();
  return code;
}

int32_t DocumentWindow::RowAt(QDPoint point) const {
  for (int32_t i = 0; i < RowCount(); ++i) {
    const FormulaEditor* e = RowEditor(i);
    if (e != nullptr && point.v < e->frame.bottom + kRowGap / 2) return i;
  }
  return RowCount() - 1;
}

void DocumentWindow::HandleMouseDown(QDPoint point, uint32_t modifiers, int32_t clicks) {
  if (PtInRect(point, layout_.mathPane)) {
    const int32_t row = RowAt(point);
    FormulaEditor* e = RowEditor(row);
    {
      PortScope port(buffer_);
      TrackingScope tracking;
      HandleEquationPaneClick(point, (modifiers & kKeyShift) != 0, true, e, false, document_);
    }
    activeRow_ = row;
    LayoutRows();
    RedrawMathPane();
    ShowCaret();
    return;
  }
  if (!PtInRect(point, layout_.graphPane)) return;
  // In the plane Command pans, Option probes, Shift draws a zoom box, a double click zooms, and a
  // press the views decline (empty paper) pans. In space a drag turns the view (Shift: about one
  // axis; in 4D the other three axes), Control sets the depth, and Command or a plain press on the
  // background is not the view's.
  GraphViewSet* set = &document_->viewSet;
  const GraphView* target = ViewSetViewAt(set, point);
  const bool plane = target != nullptr && (target == set->first2D || target == set->second2D);
  ClickFlags flags = plane ? PlaneClickFlags(modifiers, clicks) : SpaceClickFlags(modifiers);
  const uint32_t when = ElapsedTimerUnits();
  if (!plane) {
    PortScope port(buffer_);  // the space views test the pixels under the press in the buffer
    ViewSetTrackMouse(set, point, when, flags);
  } else if (ViewSetTrackMouse(set, point, when, flags) == ClickResult::Declined && flags.byte[kClickPan] == 0) {
    flags.byte[kClickPan] = 1;
    ViewSetTrackMouse(set, point, when, flags);
  }
  RedrawGraphPane();
}

void DocumentWindow::HandleWheel(QDPoint point, int32_t dh, int32_t dv) {
  if (ViewSetScrollWheel(&document_->viewSet, point, -dh, -dv) != 0) RedrawGraphPane();
}

bool DocumentWindow::GraphsComplete() { return ViewSetAllViewsReady(&document_->viewSet); }

bool DocumentWindow::Animating() const {
  return document_->graphsBuilt && ViewSetNeedsRedraw(&document_->viewSet);
}

double DocumentWindow::IdleIntervalSeconds() const {
  if (document_->graphsBuilt && !ViewSetAllViewsReady(&document_->viewSet)) return 0.001;
  if (graphPaneStale_) return 0.01;
  if (Animating()) return 1.0 / kTicksPerSecond;
  if (ErrorRegisterGlobals().pending != 0) return 0.1;
  const FormulaEditor* e = RowEditor(activeRow_);
  if (e != nullptr && e->active) return CaretBlinkTicks() / kTickRate;
  return -1.0;
}

void DocumentWindow::IdleTick(uint32_t budgetTicks) {
  if (FormulaEditor* e = RowEditor(activeRow_)) {
    bool blinked = false;
    {
      PortScope port(buffer_);
      blinked = BlinkEquationCaret(e, document_);
    }
    if (blinked) Present(layout_.mathPane);
  }
  GraphViewSet* set = &document_->viewSet;
  if (document_->graphsBuilt && !ViewSetAllViewsReady(set)) {
    ViewSetIdleTick(set, static_cast<int32_t>(TicksToTimerUnits(budgetTicks)));
    graphPaneStale_ = true;
  }
  if (Animating()) graphPaneStale_ = true;
  if (graphPaneStale_) RedrawGraphPane();
}

void DocumentWindow::RebuildGraphs() {
  document_->SyncRowsWithEditors();
  SetCurrentDocument(document_);
  BuildDocumentRowGraphs(document_);
  graphPaneStale_ = true;
  ActivateRow(activeRow_);
}
