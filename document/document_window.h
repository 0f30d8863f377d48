// DocumentWindow: a document shown in a window: the math pane above (the rows, typeset, each with
// its result message, and an empty row at the end for a new equation) and the graph pane below
// (the view set's views: the plane view, or the 3D view of a document in 3D, spinning in idle
// ticks), drawn into an offscreen buffer of the window's size and shown through a WindowSurface.
// It takes the window's keys and clicks to the rows' editors and the views, blinks the caret,
// rebuilds the graphs on Return or Enter and computes them in idle ticks.
// Invariants: exactly one row is active (the new row at index rows.count); every document row
// has an editor; a typed row's expression is its editor's root after every key; the graphs are
// deleted by any edit that is not a caret motion and built again only on Return or Enter.
#pragma once

#include <cstdint>

#include "document/document_record.h"
#include "editor/editor_hooks.h"
#include "editor/equation_keys.h"
#include "platform/window/window_surface.h"

struct FormulaEditor;

// The panes of a window of the size: the math pane on top (a third of the height, at least 80
// and at most all but 40 pixels), a 4-pixel divider, the graph pane below.
struct DocumentWindowLayout {
  QDRect mathPane;
  QDRect graphPane;
};
DocumentWindowLayout ComputeDocumentWindowLayout(int32_t width, int32_t height);

// Return or Enter, whatever the modifiers: the key that builds the graphs when no modifier but
// Shift is held (DocumentWindow::HandleKey).
inline bool IsReturnOrEnter(const EditKeyEvent& key) {
  return key.character == kKeyReturn || key.character == kKeyEnter;
}

class DocumentWindow final : public DocumentWindowServices {
 public:
  // The document (not owned) must outlive the window; it gets editors for its rows.
  DocumentWindow(DocumentRecord* document, WindowSurface* surface);
  ~DocumentWindow() override;
  DocumentWindow(const DocumentWindow&) = delete;
  DocumentWindow& operator=(const DocumentWindow&) = delete;

  // Lays the window out at the size, makes the new row active, builds and draws. False when
  // memory is refused for the buffer or an editor.
  bool Open(int32_t width, int32_t height);
  bool Resize(int32_t width, int32_t height);
  void RedrawAll();
  void RedrawMathPane();

  // A key: Return or Enter without modifiers rebuilds the graphs; others go to the active row's
  // editor (HandleEquationKey). Returns the edit command run (0: none).
  int32_t HandleKey(const EditKeyEvent& key);
  // A mouse-down (window point, kMod... bits, click count), followed until the button is up.
  void HandleMouseDown(QDPoint point, uint32_t modifiers, int32_t clicks);
  void HandleWheel(QDPoint point, int32_t dh, int32_t dv);

  // The idle timer's interval in seconds, negative for none: 0.001 while graphs compute, 0.01
  // while the graph pane waits to be drawn, a tick (1/60 s) while a shown view animates (a 3D view
  // spinning), 0.1 while an error waits to be shown, the caret blink time while a caret shows.
  double IdleIntervalSeconds() const;
  // One idle step: the caret blink, then the graphs computed for at most `budgetTicks` and the
  // graph pane redrawn when they moved on or a shown view animates.
  void IdleTick(uint32_t budgetTicks);
  // Deletes the graphs and builds them again from the rows.
  void RebuildGraphs();
  bool GraphsComplete();
  // The graphs are built and a shown view asks to be drawn again (a spinning 3D view).
  bool Animating() const;

  DocumentRecord* Document() const { return document_; }
  const DocumentWindowLayout& Layout() const { return layout_; }
  // Row i's editor; i == rows.count is the new row.
  FormulaEditor* RowEditor(int32_t i) const;
  int32_t ActiveRow() const { return activeRow_; }

  // DocumentWindowServices.
  void RedrawGraphPane() override;
  GWorldPtr Buffer() override { return buffer_; }
  void Present(const QDRect& rect) override;
  void InvalidateGraphPane() override { graphPaneStale_ = true; }

 private:
  int32_t RowCount() const { return document_->rows.count + 1; }
  void LayoutRows();
  int32_t RowAt(QDPoint point) const;
  // The row's editor current again (after drawing every row).
  void ActivateRow(int32_t row);
  // The caret shown at once, the blink starting from it.
  void ShowCaret();
  // Any edit but a caret motion: the graphs go, the new row joins the document when it was edited.
  void AfterEdit();

  DocumentRecord* document_;
  WindowSurface* surface_;
  GWorldPtr buffer_ = nullptr;
  DocumentWindowLayout layout_{};
  FormulaEditor* newRow_ = nullptr;
  int32_t activeRow_ = 0;
  bool graphPaneStale_ = false;
  EditorHooks savedHooks_{};
};
