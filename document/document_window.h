// DocumentWindow: a document shown in a window: the math pane above (the rows, typeset, each with
// its result message, and an empty row at the end for a new equation; at its foot a slider for each
// row that defines one) and the graph pane below
// (the view set's views: the plane view, or the 3D view of a document in 3D, spinning in idle
// ticks; the 4D view with its axes' letters), drawn into an offscreen buffer of the window's size
// and shown through a WindowSurface. It takes the window's keys and clicks to the rows' editors and
// the views, blinks the caret, prepares the rows' equations in idle ticks after every edit, rebuilds
// the graphs on Return or Enter, computes them in idle ticks and steps an animated slider there.
// The math pane scrolls over its rows, the divider between the panes can be dragged, and the window
// can be resized.
// Invariants: exactly one row is active; every document row has an editor; the new row at index
// rows.count is always there and always empty (it joins the document at the edit that gives it
// content); a typed row's expression is its editor's root after every key; the graphs are deleted
// by any edit that is not a caret motion (deleting an empty row excepted) and built again only on
// Return or Enter; no build or edit runs while a slider animates; the scroll lies within 0 and the
// rows' height less the pane's.
#pragma once

#include <cstdint>

#include "algebra/command_progress.h"
#include "document/document_record.h"
#include "document/menu_bar.h"
#include "document/row_messages.h"
#include "document/window_commands.h"
#include "editor/editor_hooks.h"
#include "graphics/port_save.h"
#include "editor/equation_keys.h"
#include "platform/window/window_surface.h"

struct ExprNode;
struct FormulaEditor;

// The panes of a window of the size: the menu bar's strip on top, then the math pane (a third of
// the height below the bar, at least 80 and at most all but 40 pixels), a 4-pixel divider, the
// graph pane below.
struct DocumentWindowLayout {
  QDRect menuBar;
  QDRect mathPane;
  QDRect graphPane;
};
DocumentWindowLayout ComputeDocumentWindowLayout(int32_t width, int32_t height);
// The layout with the divider moved so that the math pane ends at `mathBottom`, kept where both
// panes are at least kMinPaneHeight tall (as far as the window allows); the panes' outer edges
// stay.
DocumentWindowLayout PlacePaneDivider(const DocumentWindowLayout& layout, int32_t mathBottom);
inline constexpr int32_t kMinPaneHeight = 20;

// Return or Enter, whatever the modifiers: the key that builds the graphs when no modifier but
// Shift is held (DocumentWindow::HandleKey).
inline bool IsReturnOrEnter(const EditKeyEvent& key) {
  return key.character == kKeyReturn || key.character == kKeyEnter;
}

class DocumentWindow final : public DocumentWindowServices, public WindowCommandTarget {
 public:
  // The document (not owned) must outlive the window; it gets editors for its rows.
  DocumentWindow(DocumentRecord* document, WindowSurface* surface);
  ~DocumentWindow() override;
  DocumentWindow(const DocumentWindow&) = delete;
  DocumentWindow& operator=(const DocumentWindow&) = delete;

  // Lays the window out at the size, makes the new row active, builds and draws. False when
  // memory is refused for the buffer or an editor.
  bool Open(int32_t width, int32_t height);
  // Lays the window out at the new size (the divider where it was dragged to, held to the window)
  // over a new buffer. False, the window as it was, when memory is refused for the buffer.
  bool Resize(int32_t width, int32_t height);
  void RedrawAll();
  void RedrawMathPane();

  // A key: while a menu is open the menu bar takes it (F10 opens the first menu); an Edit item's
  // key runs its command as if chosen; any other key stops the slider animation, then Return or
  // Enter without modifiers rebuilds the graphs and
  // puts the caret in the new row; Down at the bottom of a formula and Up at its top go to the next
  // and previous row; Backspace in an empty row deletes it (the new row stays);
  // others go to the active row's editor (HandleEquationKey). Returns the edit command run (0:
  // none).
  int32_t HandleKey(const EditKeyEvent& key);
  // A mouse-down (window point, kMod... bits, click count), followed until the button is up. The
  // menu bar takes it first: on the bar, or anywhere while a menu is open. Then on a row it places
  // the caret (the slider animation stops), on a slider's button it starts or stops that slider's
  // animation, on a slider's track the thumb follows the pointer (each position sends its
  // value to the graphs, no rebuild, which compute for 2 ticks a step and are drawn; an animation
  // of that slider stops), on the divider it drags the divider, in the graph pane it goes to the
  // views.
  void HandleMouseDown(QDPoint point, uint32_t modifiers, int32_t clicks);
  // The wheel (SDL's sense: dv > 0 away from the user): while a menu is open the menu bar takes
  // it (MenuBar::Wheel); else it scrolls the math pane's rows or goes to the view under the point.
  void HandleWheel(QDPoint point, int32_t dh, int32_t dv);
  // The pointer moved with no button down: an open menu highlights the enabled item under it, and
  // the arrow is set where another cursor was left.
  void HandleMouseMoved(QDPoint point);
  // The rows scrolled by `pixels` (positive: further down the document), within the rows.
  void ScrollMathPane(int32_t pixels);
  // The divider moved so that the math pane ends at `mathBottom` (PlacePaneDivider); the window
  // lays out and draws again. Kept across resizes.
  void MovePaneDivider(int32_t mathBottom);

  // The idle timer's interval in seconds, negative for none: 0.001 while the rows are prepared or
  // graphs compute, 0.01 while the graph pane waits to be drawn, the time to the next step of an
  // animated slider (at least 0.001), a tick (1/60 s) while a shown view animates (a 3D view
  // spinning), 0.1 while an error waits to be shown or the rows' messages to be looked at, the caret
  // blink time while a caret shows.
  double IdleIntervalSeconds() const;
  // One idle step: the caret blink, the rows prepared for at most `budgetTicks` while that is under
  // way (and the graphs built when a build waited for it), a step of the animated slider when it is
  // due (every shown view ready and its last picture drawn), then the graphs computed for at most
  // `budgetTicks` and the graph pane redrawn when they moved on or a shown view animates.
  void IdleTick(uint32_t budgetTicks);
  // Deletes the graphs and builds them again from the rows' prepared equations. A preparation that
  // does not end within a few ticks goes on in the idle ticks, which build the graphs once it ends
  // (an edit before then deletes the graphs as always, and the build with them).
  void RebuildGraphs();
  // The rebuilds so far (a slider's change is none).
  int32_t GraphBuilds() const { return graphBuilds_; }
  // The slider strip at the foot of the math pane (empty without slider rows) and the pane above
  // it, where the rows go.
  const QDRect& SliderStrip() const { return strip_; }
  QDRect RowsRect() const;
  // The progress of a Math command the window blocks on: the progress box drawn and shown (at once
  // for a transfer, after half a second of local work), then a look at the pointer that hears
  // Escape (a short wait while no bytes arrive). False (cancel) after Escape.
  bool ShowCommandProgress(const CommandProgress& progress);
  // After a command that may have shown the progress box: the keys and clicks pressed meanwhile
  // dropped, and the panes drawn again in the box's place.
  void EndTransferProgress();
  // Every view is ready and no build waits for the rows' preparation.
  bool GraphsComplete();
  // The graphs are built and a shown view asks to be drawn again (a spinning 3D view).
  bool Animating() const;

  DocumentRecord* Document() const override { return document_; }
  const DocumentWindowLayout& Layout() const { return layout_; }
  // Row i's editor; i == rows.count is the new row.
  FormulaEditor* RowEditor(int32_t i) const override;
  int32_t ActiveRow() const override { return activeRow_; }
  // Pixels of the rows scrolled above the math pane.
  int32_t MathScroll() const { return scroll_; }
  // The text shown under a row as last laid out, null for none (and for the new row): see
  // RowMessages for its sources.
  const char* RowMessageText(int32_t row) const;
  // The rows' messages compared with what they say now; where one changed (a graph completed, a
  // zoom moved a curve out of view or back) the rows are laid out and drawn again. True then.
  bool RedrawMessageRects() override;
  // The cursor of the pointer's place: the arrow over every part of the window (the views set
  // their own only while they track a drag).
  void AdjustCursor() override;
  // The arrow set by AdjustCursor is still the cursor: no cursor was asked for since.
  bool ArrowShown() const;
  // An alert's text (static, as the message tables hold it) shown under the active row until the
  // next key or click in the math pane.
  void ShowAlert(const char* text);

  // The menu bar, and what the last click or key did to it (a chosen command has run).
  const MenuBar& Menus() const { return menus_; }
  const MenuAction& LastMenuAction() const { return lastMenuAction_; }
  // Runs a menu command as if chosen (the commands of window_commands.h); false when it cannot
  // run now.
  bool ChooseCommand(int32_t command);
  // WindowCommandTarget (RowOfEditor: rows.count for the new row).
  int32_t RunEditCode(int32_t code) override;
  int32_t RowOfEditor(const FormulaEditor* editor) const override;
  void FocusRow(int32_t row) override { ActivateRow(row); }
  void FinishCommand(bool edited) override;

  // DocumentWindowServices.
  void RedrawGraphPane() override;
  GWorldPtr Buffer() override { return buffer_; }
  void Present(const QDRect& rect) override;
  void InvalidateGraphPane() override { graphPaneStale_ = true; }
  // A dragged point's row took its new value: the rows laid out and drawn again, the caret shown,
  // and the graphs computed for a slider step's 2 ticks (not when the rewrite came from inside
  // their computing, a probe ended in an idle tick, which goes on computing after it).
  void RowsRewritten() override;

 private:
  static constexpr int32_t kRowMargin = 12;  // left and right of a row
  static constexpr int32_t kRowGap = 10;     // above each row
  static constexpr int32_t kMessageHeight = 16;
  static constexpr int32_t kWheelStepPixels = 40;

  // The buffer current (with the clip narrowed, when a rectangle is given) for the scope's length,
  // the previous port (and clip) back at its end.
  class PortScope {
   public:
    explicit PortScope(GWorldPtr port);
    PortScope(GWorldPtr port, const QDRect& clip);
    ~PortScope();
    PortScope(const PortScope&) = delete;
    PortScope& operator=(const PortScope&) = delete;

   private:
    GWorldSave saved_{};
    ClipSave clip_{};
    bool clipped_ = false;
  };
  // Where an editor's caret is: a motion that leaves it as it was could not move.
  struct CaretPlace {
    const ExprNode* node;
    int32_t mode, start, end;
    bool operator==(const CaretPlace&) const = default;
  };
  static CaretPlace CaretPlaceOf(const FormulaEditor* editor);

  int32_t RowCount() const { return document_->rows.count + 1; }
  // The rows laid out down the math pane at the scroll (clamped to the rows' height), each row's
  // message taken as it is now. Positions are reckoned in 32 bits: a frame far out of the pane is
  // pinned to the 16-bit coordinates, which keeps it out of the pane.
  void LayoutRows();
  // The scroll moved so that the active row shows whole (its top when it is taller than the
  // pane), and the rows laid out again.
  void RevealActiveRow();
  int32_t RowAt(QDPoint point) const;
  // Row motions of the keys: Return's build with the caret to the new row; Up or Down that left
  // the caret as it was goes to the neighbouring row, and so does Down from the formula's end
  // (`fromEnd`: there the motion may go on inside for ever, after a power between its base and
  // itself); Backspace in an empty row deletes it. Each answers whether it took the key.
  void BuildAndGoToNewRow();
  bool MoveToNeighbourRow(int32_t code, const CaretPlace& before, bool fromEnd);
  // The place GoToRowEnd gives the caret in the current editor; the caret is left where it is.
  static CaretPlace FormulaEndPlace(FormulaEditor* editor);
  bool BackspaceInEmptyRow();
  // Makes row `row` active with the caret at the end of its formula.
  void GoToRowEnd(int32_t row);
  bool IsEmptyRow(int32_t row) const;
  bool IsOnPaneDivider(QDPoint point) const;
  // Follows a drag of the divider until the button is up.
  void TrackPaneDivider(QDPoint start);
  // The layout put in place: the views get the graph pane, the rows are laid out again.
  void ApplyLayout(const DocumentWindowLayout& layout);
  // The row's editor current again (after drawing every row).
  void ActivateRow(int32_t row);
  // The caret shown at once, the blink starting from it.
  void ShowCaret();
  // Runs an edit code on the active row (the undo step held until the row is compared with its
  // state before). True when the formula changed.
  bool RunCodeOnActiveRow(int32_t code);
  // Any edit but a caret motion: the graphs go, the new row joins the document when it was edited.
  void AfterEdit();
  // The graphs deleted, a build waiting for the preparation dropped, and the rows' result messages
  // cleared (Return builds them again).
  void DeleteGraphs();
  // The graphs built from the rows' prepared equations (the preparation has ended).
  void BuildPreparedGraphs();
  // A click or key the menu bar took: the command chosen runs, the window is drawn again.
  void AfterMenuAction(const MenuAction& action);
  // After a key or a command: the rows laid out (the active one scrolled into view when `reveal`)
  // and drawn, the caret shown.
  void RedrawAfterCommand(bool reveal);
  // The bar and the open menu over whatever the panes drew.
  void DrawMenus();
  // A pane drawn into the buffer, not yet shown (the Redraw... forms also draw an open menu over
  // it and show it).
  void DrawMathPane();
  void DrawGraphPane();
  // The graph pane has news to show and may be drawn now: not while a graph's Compute lies
  // suspended in the middle of a value (drawing would abandon it; the pane keeps its pixels).
  bool GraphPaneDue() const;
  // The strip drawn (and shown), with the animation's state it shows kept.
  void RedrawSliderStrip();
  // The strip drawn again when the animation moved or started or stopped since it was drawn.
  void RedrawSliderStripIfMoved();
  // The slider animation stopped, when one runs, and the strip shown without it.
  void StopAnimation();
  // Follows the pointer on slider line `line` from the press at `point` until the button is up.
  void TrackSlider(int32_t line, QDPoint point);
  // The graphs computed for a slider step's 2 ticks, and the graph pane drawn.
  void ComputeSliderStep();
  // While the graphs are built and not all ready: computed for `ticks` inside the graph pane, the
  // pane marked to be drawn. False when there was nothing to compute.
  bool ComputeGraphs(uint32_t ticks);

  DocumentRecord* document_;
  WindowSurface* surface_;
  GWorldPtr buffer_ = nullptr;
  DocumentWindowLayout layout_{};
  FormulaEditor* newRow_ = nullptr;
  int32_t activeRow_ = 0;
  int32_t scroll_ = 0;        // pixels of the rows above the math pane's top
  int32_t rowsHeight_ = 0;    // of all rows with their gaps and messages, as last laid out
  int32_t mathHeight_ = -1;   // the math pane's height the divider was dragged to; -1 none
  bool graphPaneStale_ = false;
  bool computing_ = false;  // inside ComputeGraphs
  QDRect strip_{0, 0, 0, 0};
  int32_t graphBuilds_ = 0;
  bool buildPending_ = false;   // a Return's build waits for the rows' preparation to end
  bool progressShown_ = false;
  int32_t progressFrame_ = 0;
  int64_t progressReceived_ = 0;  // the bytes the last progress call saw
  EditorHooks savedHooks_{};
  CommandProgressSeam savedProgress_{};
  MenuBar menus_;
  MenuAction lastMenuAction_{};
  RowMessages messages_{document_};
  int32_t activeTop_ = 0, activeBottom_ = 0;  // the active row's frame as laid out, unpinned
  uint32_t arrowRequest_ = 0;             // CursorRequests() just after the arrow was set; 0 none
  SliderAnimation stripAnimation_{};      // the animation as the strip last showed it
};
