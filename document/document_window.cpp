// The document window: pane layout, drawing into the window buffer, input to the rows and the
// views, and the idle work. The editors' document services are filled here while a window is
// open: the owner of an editor is the DocumentRecord, whose window answers.
#include "document/document_window.h"

#include <algorithm>
#include <cstdint>

#include "algebra/command_progress.h"
#include "document/axis_labels_4d.h"
#include "document/point_drag.h"
#include "document/progress_box.h"
#include "document/row_change_watch.h"
#include "document/slider_animation.h"
#include "document/slider_strip.h"
#include "editor/edit_commands.h"
#include "editor/equation_pane.h"
#include "editor/formula_editor.h"
#include "editor/layout_driver.h"
#include "editor/line_mapping.h"
#include "editor/selection_geometry.h"
#include "editor/selection_highlight.h"
#include "editor/typeset_state.h"
#include "graphics/port_save.h"
#include "graphs/core/compute_worker.h"
#include "graphs/view3d/graph_view_gl.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/diagnostics/message_tables.h"
#include "kernel/interaction/cursors.h"
#include "kernel/interaction/mouse_tracking.h"
#include "kernel/threads/timers.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"
#include "platform/draw/shapes.h"
#include "platform/fonts.h"
#include "platform/draw/text.h"
#include "platform/pointer_source.h"

namespace {

constexpr int32_t kDividerHeight = 4;
constexpr int16_t kMessageSize = 12;
constexpr double kTickRate = 60.15;  // ticks a second of the blink setting
constexpr RGBColor16 kDividerColour{0xA0A0, 0xA0A0, 0xA0A0};
constexpr RGBColor16 kMessageColour{0x6000, 0x6000, 0x6000};
constexpr uint32_t kSliderStepTicks = 2;       // of computing, a step of a slider's drag
constexpr double kProgressPollSeconds = 0.05;  // the pointer waited for between progress calls
constexpr double kProgressDelaySeconds = 0.5;  // of a command's work before the box shows
// Ticks of preparing a Return gives the rows before it leaves the build to the idle ticks (some
// 67 ms, as one idle tick computes).
constexpr uint32_t kPrepareTicksOnBuild = 4;

// A position of the rows held to half the 32-bit range, where sums of a few of them cannot overflow.
int32_t Clamp32(int64_t value) { return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN / 2, INT32_MAX / 2)); }

// Codes that change the formula: all but caret motions and copy, which leave the graphs built.
bool IsEditingCode(int32_t code) { return code != 0 && !IsCaretMotionCode(code) && code != kCodeCopy; }

DocumentWindow* WindowOf(void* owner) {
  auto* record = static_cast<DocumentRecord*>(owner);
  return record != nullptr ? static_cast<DocumentWindow*>(record->window) : nullptr;
}

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

DocumentWindow::PortScope::PortScope(GWorldPtr port) { SaveAndSetGWorld(&saved_, port); }

DocumentWindow::PortScope::PortScope(GWorldPtr port, const QDRect& clip) : PortScope(port) {
  clipped_ = port != nullptr;
  if (clipped_) SaveClipRect(&clip_, clip);
}

DocumentWindow::PortScope::~PortScope() {
  if (clipped_) RestoreClip(&clip_);
  RestoreGWorld(&saved_);
}

DocumentWindowLayout ComputeDocumentWindowLayout(int32_t width, int32_t height) {
  // The menu bar's fixed strip first; the panes share what is below it.
  const int32_t bar = std::clamp(height, 0, kMenuBarHeight);
  DocumentWindowLayout layout;
  layout.menuBar = MakeRect(0, 0, width, bar);
  const int32_t below = height - bar;

  const int32_t math = std::max(std::min(std::max(below / 3, 80), below - 40), 0);
  layout.mathPane = MakeRect(0, bar, width, bar + math);
  layout.graphPane = MakeRect(0, std::min(bar + math + kDividerHeight, height), width, height);
  return layout;
}

DocumentWindowLayout PlacePaneDivider(const DocumentWindowLayout& layout, int32_t mathBottom) {
  const int32_t lowest = layout.mathPane.top + kMinPaneHeight;
  const int32_t highest = layout.graphPane.bottom - kDividerHeight - kMinPaneHeight;
  if (highest < lowest) return layout;  // too small a window for both: its own division stays
  DocumentWindowLayout placed = layout;
  const int32_t bottom = std::clamp(mathBottom, lowest, highest);
  placed.mathPane.bottom = PinCoordinate(bottom);
  placed.graphPane.top = PinCoordinate(bottom + kDividerHeight);
  return placed;
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
      const QDRect r = w->RowsRect();
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
  InstallUndoHook(&hooks);
  BuildWindowMenus(&menus_);
  // A Math command blocks (its work, a remote wait); the window shows its progress meanwhile and
  // hears Escape.
  CommandProgressSeam& seam = CommandProgressGlobals();
  savedProgress_ = seam;
  seam.hook = [](void* context, const CommandProgress& progress) {
    return static_cast<DocumentWindow*>(context)->ShowCommandProgress(progress);
  };
  seam.context = this;
}

DocumentWindow::~DocumentWindow() {
  // The worker is the open window's: closing abandons what it holds and removes its turn hook, so
  // what computes afterwards (headless) computes at one go.
  UseComputeWorker(false);
  StopSliderAnimation(document_);
  if (CommandProgressGlobals().context == this) CommandProgressGlobals() = savedProgress_;
  TypesetGlobals().hooks = savedHooks_;
  if (TypesettingGlobals().currentEditor == newRow_) TypesettingGlobals().currentEditor = nullptr;
  document_->undo.Forget(newRow_);
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
  UseComputeWorker(true);
  if (!document_->EnsureRowEditors()) return false;
  UpdateEquationSliders(document_->rows.data, document_->rows.count);
  newRow_ = NewCurrentEquationEditor(PixelRect{0, 0, 0, 0}, document_);
  if (newRow_ == nullptr) return false;
  activeRow_ = document_->rows.count;
  if (!Resize(width, height)) return false;
  ActivateRow(activeRow_);
  RebuildGraphs();
  RedrawAll();
  ShowCaret();
  AdjustCursor();
  return true;
}

bool DocumentWindow::Resize(int32_t width, int32_t height) {
  GWorldPtr buffer = NewGWorld(MakeRect(0, 0, width, height));
  if (buffer == nullptr) return false;
  DisposeGWorld(buffer_);
  buffer_ = buffer;
  DocumentWindowLayout layout = ComputeDocumentWindowLayout(width, height);
  if (mathHeight_ >= 0) layout = PlacePaneDivider(layout, layout.mathPane.top + mathHeight_);
  ApplyLayout(layout);
  {
    PortScope port(buffer_);
    menus_.Layout(layout_.menuBar, height);
  }
  RevealActiveRow();
  return true;
}

void DocumentWindow::ApplyLayout(const DocumentWindowLayout& layout) {
  layout_ = layout;
  ViewSetSetPaneRect(&document_->viewSet, layout_.graphPane);
  graphPaneStale_ = true;
  LayoutRows();
}

QDRect DocumentWindow::RowsRect() const { return MathPaneLessStrip(layout_.mathPane, strip_); }

void DocumentWindow::LayoutRows() {
  strip_ = SliderStripRect(layout_.mathPane, SliderRowCount(*document_));
  const QDRect pane = RowsRect();
  const int32_t left = pane.left + kRowMargin;
  const int32_t right = std::max(left + 1, pane.right - kRowMargin);
  // The rows' height first (each laid out at the pane's width, its message taken), which bounds
  // the scroll; then the frames, from the pane's top less the scroll.
  messages_.BeginLayout();
  int64_t height = kRowGap;
  for (int32_t i = 0; i < RowCount(); ++i) {
    const char* message = messages_.Lay(i);
    FormulaEditor* e = RowEditor(i);
    if (e == nullptr) continue;
    SetCurrentFormulaEditor(e, document_);
    e->widthLimit = FixedFromInt(right - left);
    LayoutFormula();
    height += std::max(FixedToPixels(FormulaTextHeight(e)), 1) + kRowGap + (message != nullptr ? kMessageHeight : 0);
  }
  rowsHeight_ = Clamp32(height);
  scroll_ = std::clamp(scroll_, 0, std::max(0, rowsHeight_ - RectHeight(pane)));
  int64_t top = int64_t{pane.top} + kRowGap - scroll_;
  for (int32_t i = 0; i < RowCount(); ++i) {
    FormulaEditor* e = RowEditor(i);
    if (e == nullptr) continue;
    const int32_t rowHeight = std::max(FixedToPixels(FormulaTextHeight(e)), 1);
    const int64_t bottom = top + rowHeight;
    e->frame = PixelRect{PinCoordinate(Clamp32(top)), PinCoordinate(left), PinCoordinate(Clamp32(bottom)),
                         PinCoordinate(right)};
    if (i == activeRow_) {
      activeTop_ = Clamp32(top);
      activeBottom_ = Clamp32(bottom);
    }
    top = bottom + kRowGap + (RowMessageText(i) != nullptr ? kMessageHeight : 0);
  }
  ActivateRow(activeRow_);
}

const char* DocumentWindow::RowMessageText(int32_t row) const { return messages_.Shown(row); }

bool DocumentWindow::RedrawMessageRects() {
  if (!messages_.Changed(RowCount())) return false;
  // The active row shown stays shown as messages above it come and go.
  const QDRect pane = RowsRect();
  const bool shown = activeTop_ >= pane.top && activeBottom_ <= pane.bottom;
  LayoutRows();
  if (shown) RevealActiveRow();
  RedrawMathPane();
  ShowCaret();
  return true;
}

void DocumentWindow::AdjustCursor() {
  // Every part of the window shows the arrow; a view's drag sets its own cursor only while it
  // tracks, and its end comes here.
  if (GetPointerSource() == nullptr) return;  // headless: no cursor
  SetThemeArrowCursor();
  arrowRequest_ = CursorRequests();
  document_->cursorRegionsValid = 1;
}

bool DocumentWindow::ArrowShown() const { return arrowRequest_ != 0 && arrowRequest_ == CursorRequests(); }

void DocumentWindow::ShowAlert(const char* text) {
  messages_.ShowAlert(text, activeRow_);
  RedrawAfterCommand(true);
}

void DocumentWindow::ActivateRow(int32_t row) {
  activeRow_ = std::clamp(row, 0, RowCount() - 1);
  ActivateFormulaEditor(RowEditor(activeRow_), document_);
}

void DocumentWindow::RedrawMathPane() {
  if (buffer_ == nullptr) return;
  DrawMathPane();
  if (menus_.IsOpen()) DrawMenus();
  Present(layout_.mathPane);
}

void DocumentWindow::DrawMathPane() {
  FormulaEditor* current = TypesettingGlobals().currentEditor;
  {
    const QDRect& pane = layout_.mathPane;
    PortScope port(buffer_, buffer_->bounds);
    EraseRect(pane);
    RGBForeColor(kDividerColour);
    PaintRect(MakeRect(pane.left, pane.bottom, pane.right, layout_.graphPane.top));
    ForeColor(kBlackColor);
    ClipRect(pane);
    DrawSliderStrip(*document_, strip_);
    stripAnimation_ = document_->animation;
    const QDRect rows = RowsRect();
    ClipRect(rows);
    for (int32_t i = 0; i < RowCount(); ++i) {
      FormulaEditor* e = RowEditor(i);
      // Rows scrolled wholly out of the pane are not drawn.
      if (e == nullptr || e->frame.bottom + kMessageHeight < rows.top || e->frame.top >= rows.bottom) continue;
      SetCurrentFormulaEditor(e, document_);
      if (e->active && e->layoutValid && SelectionIsDrawable()) {
        FixedRect selection{}, second{};
        if (ComputeSelectionGeometry(&selection, &second)) {
          DrawMultiLineSelection(selection, false);
          if (second.right > second.left) DrawHiliteRoundRect(second, false);
        }
      }
      DrawEquationLine(e, document_);
      if (const char* message = RowMessageText(i); message != nullptr) {
        TextFont(kFontApplication);
        TextSize(kMessageSize);
        TextFace(0);
        RGBForeColor(kMessageColour);
        MoveTo(e->frame.left, e->frame.bottom + kMessageHeight - 4);
        DrawString(message);
        ForeColor(kBlackColor);
      }
    }
  }
  if (current != nullptr) SetCurrentFormulaEditor(current, document_);
}

void DocumentWindow::RedrawSliderStrip() {
  stripAnimation_ = document_->animation;
  if (buffer_ == nullptr || RectHeight(strip_) <= 0) return;
  {
    PortScope port(buffer_, strip_);
    DrawSliderStrip(*document_, strip_);
  }
  if (menus_.IsOpen()) DrawMenus();  // an open menu stays over the strip
  Present(strip_);
}

void DocumentWindow::StopAnimation() {
  if (!document_->IsSliderAnimating()) return;
  StopSliderAnimation(document_);
  RedrawSliderStrip();
}

void DocumentWindow::RedrawSliderStripIfMoved() {
  const SliderAnimation& now = document_->animation;
  if (now.row != stripAnimation_.row || now.steps != stripAnimation_.steps) RedrawSliderStrip();
}

bool DocumentWindow::GraphPaneDue() const { return graphPaneStale_ && !ComputeSuspended(); }

void DocumentWindow::RedrawGraphPane() {
  messages_.MarkStale();  // a zoom, a pan or computing may have moved a graph's status
  if (buffer_ == nullptr) return;
  DrawGraphPane();
  if (menus_.IsOpen()) DrawMenus();
  Present(layout_.graphPane);
  RedrawSliderStripIfMoved();  // a pan steps the animation as it goes
}

void DocumentWindow::DrawGraphPane() {
  {
    PortScope port(buffer_, layout_.graphPane);
    // The strip between two views side by side is no view's: erased, so that nothing drawn over
    // it (an open menu) stays there.
    const GraphViewSet& set = document_->viewSet;
    if (set.primary != nullptr && set.secondary != nullptr) {
      EraseRect(MakeRect(set.primary->rect.right, layout_.graphPane.top, set.secondary->rect.left,
                         layout_.graphPane.bottom));
    }
    ViewSetActivate(&document_->viewSet, 2);
    DrawAxisLabels4D(*document_);
  }
  graphPaneStale_ = TurnOffTransparencyAfterFailure(document_);
}

// Both panes and the bar drawn once, then shown in one piece.
void DocumentWindow::RedrawAll() {
  if (buffer_ == nullptr) return;
  DrawMathPane();
  DrawGraphPane();
  DrawMenus();
  Present(buffer_->bounds);
}

void DocumentWindow::DrawMenus() {
  PortScope port(buffer_, buffer_->bounds);
  menus_.Draw();
}

void DocumentWindow::Present(const QDRect& rect) {
  if (surface_ != nullptr && buffer_ != nullptr) surface_->Present(*buffer_, rect);
}

void DocumentWindow::ShowCaret() {
  FormulaEditor* e = RowEditor(activeRow_);
  if (e == nullptr || buffer_ == nullptr || menus_.IsOpen()) return;  // nothing draws over an open menu
  {
    PortScope port(buffer_, RowsRect());
    SetCurrentFormulaEditor(e, document_);
    if (!e->documentFlag) DrawCurrentEquationCaret();
  }
  TypesetGlobals().lastCaretBlink = ElapsedTimerUnits();
  Present(layout_.mathPane);
}

void DocumentWindow::AfterEdit() {
  StopSliderAnimation(document_);
  document_->SyncRowsWithEditors();
  // The new row joins the document once it holds something: it stays the empty last row.
  if (RowEditor(activeRow_) == newRow_ && !IsPromptRoot(newRow_)) {
    FormulaEditor* fresh = NewFormulaEditor();
    if (fresh != nullptr && document_->AppendEditorRow(newRow_) != nullptr) {
      document_->rows.data[document_->rows.count - 1].color = FixedColourOfRow(document_->rows.count - 1);
      newRow_ = fresh;
    } else {
      DisposeFormulaEditor(fresh);
    }
  }
  UpdateEquationSliders(document_->rows.data, document_->rows.count);
  DeleteGraphs();
  document_->preparation.Restart();  // prepared again in the idle ticks, from the rows as they are now
  document_->SetDocumentModified(true);
}

void DocumentWindow::DeleteGraphs() {
  buildPending_ = false;
  ViewSetDeleteAllGraphs(&document_->viewSet);
  document_->graphsBuilt = false;
  for (int32_t i = 0; i < document_->rows.count; ++i) document_->rows.data[i].resultMessage = 0;
  graphPaneStale_ = true;
}

int32_t DocumentWindow::HandleKey(const EditKeyEvent& key) {
  EndPointDrag(document_);
  if (menus_.IsOpen() || key.character == kMenuKey) UpdateWindowMenus(&menus_, this);
  lastMenuAction_ = menus_.Key(key.character);
  if (lastMenuAction_.result == MenuResult::kPassed && messages_.TakeAlert()) {
    LayoutRows();  // seen: the next key past the menus takes it away
  }
  if (const int32_t command = EditMenuKeyCommand(key); command != 0 && lastMenuAction_.result == MenuResult::kPassed) {
    // As its item would be chosen: a disabled one takes the key and does nothing.
    UpdateWindowMenus(&menus_, this);
    const MenuItem* item = menus_.FindItem(command);
    lastMenuAction_ = {item != nullptr && item->enabled ? MenuResult::kChosen : MenuResult::kIgnored, command};
  }
  if (lastMenuAction_.result != MenuResult::kPassed) {
    AfterMenuAction(lastMenuAction_);
    return 0;
  }
  // Any key the rows take ends the animation (a build or an edit must not see its parameter letter).
  StopAnimation();
  if (IsReturnOrEnter(key) && (key.modifiers & ~kKeyShift) == 0) {
    BuildAndGoToNewRow();
    return 0;
  }
  if (key.character == kKeyBackspace && BackspaceInEmptyRow()) return kCodeBackspace;
  FormulaEditor* e = RowEditor(activeRow_);
  const CaretPlace before = CaretPlaceOf(e);
  SetCurrentFormulaEditor(e, document_);
  const int32_t code = KeyToEditCommand(key);
  const bool fromEnd = code == kCodeCaretDescend && e != nullptr && before == FormulaEndPlace(e);
  if (RunCodeOnActiveRow(code)) AfterEdit();
  const bool moved = MoveToNeighbourRow(code, before, fromEnd);
  RedrawAfterCommand(moved || code != 0);
  return code;
}

int32_t DocumentWindow::RunEditCode(int32_t code) {
  FinishCommand(RunCodeOnActiveRow(code));
  return code;
}

bool DocumentWindow::RunCodeOnActiveRow(int32_t code) {
  FormulaEditor* e = RowEditor(activeRow_);
  if (!IsEditingCode(code)) {
    PortScope port(buffer_, RowsRect());
    RunEquationEditCommand(code, e, document_);
    return false;
  }
  RowChangeWatch watch(&document_->undo, e);
  {
    PortScope port(buffer_, RowsRect());
    RunEquationEditCommand(code, e, document_);
  }
  // A code that left the formula as it was (a transfer cancelled, nothing to simplify, a term
  // that cannot move, Backspace at the start) keeps the graphs, whether its key or its menu item
  // sent it.
  const RowChangeWatch::Change change = watch.End();
  if (change == RowChangeWatch::Change::kTree) return true;
  // A command that changed nothing ends a run of grouped moves or backspaces as a caret motion
  // does: the next one is a step of its own. A typed character (a blank) leaves a run of letters.
  if (change == RowChangeWatch::Change::kNone && (code < 0 || code >= 0x100)) ResetEditCommandHistory();
  document_->SyncRowsWithEditors();  // an equal tree may still be a new one
  return false;
}

void DocumentWindow::FinishCommand(bool edited) {
  if (edited) AfterEdit();
  RedrawAfterCommand(true);
}

void DocumentWindow::RedrawAfterCommand(bool reveal) {
  LayoutRows();
  if (reveal) RevealActiveRow();
  RedrawMathPane();
  if (GraphPaneDue()) RedrawGraphPane();
  EndTransferProgress();
  ShowCaret();
}

int32_t DocumentWindow::RowOfEditor(const FormulaEditor* editor) const {
  for (int32_t i = 0; editor != nullptr && i < RowCount(); ++i)
    if (RowEditor(i) == editor) return i;
  return -1;
}

bool DocumentWindow::ChooseCommand(int32_t command) {
  UpdateWindowMenus(&menus_, this);
  const MenuItem* item = menus_.FindItem(command);
  return item != nullptr && item->enabled && RunWindowCommand(this, command);
}

void DocumentWindow::AfterMenuAction(const MenuAction& action) {
  if (action.result == MenuResult::kIgnored) return;
  if (action.result == MenuResult::kChosen) {
    RedrawAll();  // the menu gone from the pixels first: a command may block (a transfer)
    ChooseCommand(action.command);
  }
  RedrawAll();
  if (!menus_.IsOpen()) ShowCaret();
}

bool DocumentWindow::ShowCommandProgress(const CommandProgress& progress) {
  const bool waiting = progress.activity == CommandActivity::kWaitingForServer;
  if (buffer_ == nullptr || (!waiting && !progressShown_ && progress.seconds < kProgressDelaySeconds)) return true;
  const QDRect box = ProgressBoxRect(buffer_->bounds);
  {
    PortScope port(buffer_, buffer_->bounds);
    DrawProgressBox(box, waiting ? kIntegrationProgressTitle : kCommandProgressTitle, progress.received,
                    progress.expected, progressFrame_++);
  }
  progressShown_ = true;
  Present(box);
  // While nothing arrives the wait paces the box and hears Escape; while bytes flow or the
  // command works it only looks.
  const double wait = waiting && progress.received == progressReceived_ ? kProgressPollSeconds : 0.0;
  progressReceived_ = progress.received;
  PointerSource* source = GetPointerSource();
  return source == nullptr || source->WaitPointerEvent(wait).kind != PointerEventKind::kCancelled;
}

void DocumentWindow::EndTransferProgress() {
  if (!progressShown_) return;
  progressShown_ = false;
  progressFrame_ = 0;
  progressReceived_ = 0;
  // What was pressed while the box showed was meant for the wait (a second Escape, keys typed
  // ahead), not for the rows the box covered.
  if (PointerSource* source = GetPointerSource()) source->DiscardInput();
  RedrawAll();
}

int32_t DocumentWindow::RowAt(QDPoint point) const {
  for (int32_t i = 0; i < RowCount(); ++i) {
    const FormulaEditor* e = RowEditor(i);
    const int32_t message = RowMessageText(i) != nullptr ? kMessageHeight : 0;
    if (e != nullptr && point.v < e->frame.bottom + message + kRowGap / 2) return i;
  }
  return RowCount() - 1;
}

void DocumentWindow::TrackSlider(int32_t line, QDPoint point) {
  const int32_t row = NthSliderRow(*document_, line);
  if (row < 0) return;
  const QDRect track = SliderTrackRect(SliderLineRect(strip_, line));
  // A new position is drawn and computed for a step; false when the thumb stays where it is.
  const auto moveTo = [&](int16_t h) {
    if (!SetSliderPosition(document_, row, SliderPositionAt(track, document_->rows.data[row].sliderSteps, h)))
      return false;
    RedrawSliderStrip();
    graphPaneStale_ = true;
    ComputeSliderStep();
    return true;
  };
  moveTo(point.h);
  if (GetPointerSource() == nullptr) return;
  // The graphs compute while the button is held still too, a step at a time.
  TrackingScope tracking;
  for (bool down = true; down;) {
    down = TrackMouseWhileDown(&point, nullptr, kSliderStepTicks / static_cast<double>(kTicksPerSecond));
    if (!moveTo(point.h) && down) ComputeSliderStep();
  }
}

void DocumentWindow::ComputeSliderStep() {
  if (!document_->graphsBuilt) return;
  ComputeGraphs(kSliderStepTicks);
  if (GraphPaneDue()) RedrawGraphPane();
}

bool DocumentWindow::ComputeGraphs(uint32_t ticks) {
  GraphViewSet* set = &document_->viewSet;
  if (!document_->graphsBuilt || ViewSetAllViewsReady(set)) return false;
  PortScope port(buffer_, layout_.graphPane);
  computing_ = true;
  ViewSetIdleTick(set, static_cast<int32_t>(TicksToTimerUnits(ticks)));
  computing_ = false;
  graphPaneStale_ = true;
  messages_.MarkStale();
  return true;
}

void DocumentWindow::HandleMouseDown(QDPoint point, uint32_t modifiers, int32_t clicks) {
  EndPointDrag(document_);  // a point dragged before was one undo step
  if (menus_.IsOpen() || PtInRect(point, layout_.menuBar)) UpdateWindowMenus(&menus_, this);
  lastMenuAction_ = menus_.Click(point);
  if (lastMenuAction_.result != MenuResult::kPassed) {
    AfterMenuAction(lastMenuAction_);
    return;
  }
  const int32_t line = SliderLineAt(strip_, SliderRowCount(*document_), point);
  if (line >= 0) {
    // The button starts or stops the line's animation; only the track moves the thumb (and takes
    // it from the animation): a press on the name or the value leaves the value alone.
    const int32_t row = NthSliderRow(*document_, line);
    if (PtInRect(point, SliderAnimateButtonRect(SliderLineRect(strip_, line)))) {
      const bool start = document_->animation.row != row;
      StopAnimation();
      if (start && StartSliderAnimation(document_, row)) {
        graphPaneStale_ = true;
        RedrawSliderStrip();
      }
    } else if (PtInRect(point, SliderTrackRect(SliderLineRect(strip_, line)))) {
      if (document_->animation.row == row) StopAnimation();
      TrackSlider(line, point);
    }
    return;
  }
  if (PtInRect(point, layout_.mathPane)) {
    StopAnimation();  // a press in the rows may drag a term (an edit)
    const int32_t row = RowAt(point);
    FormulaEditor* e = RowEditor(row);
    // A drag of a term moves it as its key does: the same undo step and the graphs gone with it.
    RowChangeWatch watch(&document_->undo, e);
    {
      PortScope port(buffer_, RowsRect());
      TrackingScope tracking;
      HandleEquationPaneClick(point, (modifiers & kKeyShift) != 0, true, e, false, document_);
    }
    activeRow_ = row;
    if (watch.End() == RowChangeWatch::Change::kTree) AfterEdit();
    messages_.TakeAlert();
    LayoutRows();
    RevealActiveRow();
    RedrawMathPane();
    ShowCaret();
    return;
  }
  if (IsOnPaneDivider(point)) {
    TrackPaneDivider(point);
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
  {
    // Whatever the views draw while they track the mouse stays inside the graph pane; the space
    // views test the pixels under the press in the buffer. Only a plane view's declined press is
    // taken again as a pan.
    PortScope port(buffer_, layout_.graphPane);
    if (ViewSetTrackMouse(set, point, when, flags) == ClickResult::Declined && plane && flags.byte[kClickPan] == 0) {
      flags.byte[kClickPan] = 1;
      ViewSetTrackMouse(set, point, when, flags);
    }
  }
  // A click whose pick or probe still runs leaves it suspended for the idle ticks; the pane is drawn
  // once it ends.
  graphPaneStale_ = true;
  if (GraphPaneDue()) RedrawGraphPane();
  RedrawMessageRects();
  // A drag's cursor (probe, grab) is not left behind, whichever way the view's tracking ended.
  if (!ArrowShown()) AdjustCursor();
}

void DocumentWindow::RowsRewritten() {
  if (!computing_) ComputeGraphs(kSliderStepTicks);
  if (buffer_ == nullptr) return;
  {
    PortScope port(buffer_);  // the rows are measured in the window's buffer, whatever a view holds
    LayoutRows();
  }
  RedrawMathPane();
  ShowCaret();
}

void DocumentWindow::HandleMouseMoved(QDPoint point) {
  if (!ArrowShown()) AdjustCursor();
  const MenuResult hovered = menus_.Hover(point).result;
  if (hovered == MenuResult::kClosed) {
    RedrawAll();  // a submenu closed: what it covered is drawn again
    return;
  }
  if (hovered != MenuResult::kChanged) return;
  DrawMenus();
  Present(menus_.OpenArea());
}

void DocumentWindow::HandleWheel(QDPoint point, int32_t dh, int32_t dv) {
  lastMenuAction_ = menus_.Wheel(point, dv);
  if (lastMenuAction_.result != MenuResult::kPassed) {
    AfterMenuAction(lastMenuAction_);
    return;
  }
  if (PtInRect(point, layout_.mathPane)) {
    ScrollMathPane(-dv * kWheelStepPixels);
    return;
  }
  int32_t scrolled = 0;
  {
    PortScope port(buffer_, layout_.graphPane);
    scrolled = ViewSetScrollWheel(&document_->viewSet, point, -dh, -dv);
  }
  if (scrolled == 0) return;
  RedrawGraphPane();
  RedrawMessageRects();
}

bool DocumentWindow::GraphsComplete() { return !buildPending_ && ViewSetAllViewsReady(&document_->viewSet); }

bool DocumentWindow::Animating() const {
  return document_->graphsBuilt && ViewSetNeedsRedraw(&document_->viewSet);
}

double DocumentWindow::IdleIntervalSeconds() const {
  if (buildPending_ || document_->preparation.UnderWay()) return 0.001;
  if (document_->graphsBuilt && !ViewSetAllViewsReady(&document_->viewSet)) return 0.001;
  if (graphPaneStale_) return 0.01;
  const double frame = 1.0 / (document_->viewSetTickRate > 0 ? document_->viewSetTickRate : kTicksPerSecond);
  if (document_->IsSliderAnimating()) {
    return std::max(0.001, std::min(SliderAnimationWaitSeconds(*document_), Animating() ? frame : 1.0));
  }
  if (Animating()) return frame;
  if (ErrorRegisterGlobals().pending != 0 || messages_.Stale()) return 0.1;
  const FormulaEditor* e = RowEditor(activeRow_);
  if (e != nullptr && e->active) return CaretBlinkTicks() / kTickRate;
  return -1.0;
}

void DocumentWindow::IdleTick(uint32_t budgetTicks) {
  FormulaEditor* e = menus_.IsOpen() ? nullptr : RowEditor(activeRow_);  // no blink under a menu
  if (e != nullptr) {
    bool blinked = false;
    {
      PortScope port(buffer_, RowsRect());
      blinked = BlinkEquationCaret(e, document_);
    }
    if (blinked) Present(layout_.mathPane);
  }
  if ((buildPending_ || document_->preparation.UnderWay()) &&
      document_->preparation.PrepareInTurns(static_cast<int32_t>(TicksToTimerUnits(budgetTicks))) && buildPending_) {
    BuildPreparedGraphs();
    messages_.MarkStale();
  }
  // The animation steps once the last step's picture is complete and drawn; the graphs only hear
  // the value here, they compute it in the turns below.
  if (!graphPaneStale_ && SliderAnimationStepDue(document_) && AdvanceSliderAnimation(document_)) {
    graphPaneStale_ = true;
  }
  RedrawSliderStripIfMoved();
  ComputeGraphs(budgetTicks);
  if (Animating()) graphPaneStale_ = true;
  if (GraphPaneDue()) RedrawGraphPane();
  EndTransferProgress();
  // The messages follow the graphs as they compute and are drawn.
  if (messages_.TakeLookDue(GraphsComplete() && !Animating(), ElapsedTimerUnits())) RedrawMessageRects();
}

void DocumentWindow::RebuildGraphs() {
  document_->SyncRowsWithEditors();
  SetCurrentDocument(document_);
  // The rows are prepared first, in the computing's turns: a costly preparation leaves the build
  // to the idle tick that ends it, and the window answers meanwhile. The graphs go first, so that
  // deleting them does not abandon the preparation lying suspended.
  DeleteGraphs();
  if (document_->preparation.PrepareInTurns(static_cast<int32_t>(TicksToTimerUnits(kPrepareTicksOnBuild)))) {
    BuildPreparedGraphs();
    return;
  }
  buildPending_ = true;
  ActivateRow(activeRow_);
}

void DocumentWindow::BuildPreparedGraphs() {
  buildPending_ = false;
  BuildDocumentRowGraphs(document_);
  ++graphBuilds_;
  graphPaneStale_ = true;
  ActivateRow(activeRow_);
}
