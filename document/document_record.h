// DocumentRecord: the least of a document window's record that the graphs need: the equation rows
// with their graph values, the flag bytes, the view set, the number format, the antialias setting,
// the view shown, the animated slider, the 4D axes' label points and the pane's offscreen buffer,
// serving the graphs as their DocumentServices and
// the 3D views' graphics contexts through the graphics layer's document hooks; with the building
// of the rows' graphs, the documents' process-wide state (current document, demo mode) and the
// kernel seams they fill.
// Invariants: the record owns its rows' trees (or their editors), its view set and its pane
// buffer; a record stands for its window (the graphics contexts know it as the DocumentServices
// it is).
#pragma once

#include <cstdint>

#include "document/document_ranges.h"
#include "document/equation_preparation.h"
#include "document/row_settings.h"
#include "document/shown_view.h"
#include "document/slider_animation_state.h"
#include "document/undo_history.h"
#include "graphs/core/document_services.h"
#include "graphs/factory/factory_helpers.h"
#include "graphs/viewset/graph_view_set.h"
#include "kernel/memory/growable_array.h"

// The tick count of one second (ticks are sixtieths of a second).
inline constexpr int32_t kTicksPerSecond = 60;

// What a document shown in a window asks of it: the graph pane redrawn there, the window's
// offscreen buffer (window coordinates) and rectangles of it shown. DocumentWindow answers.
class DocumentWindowServices {
 public:
  virtual ~DocumentWindowServices() = default;
  virtual void RedrawGraphPane() = 0;
  virtual GWorldPtr Buffer() = 0;
  virtual void Present(const QDRect& rect) = 0;
  // Marks the graph pane to be redrawn at the next idle tick.
  virtual void InvalidateGraphPane() = 0;
  // The rows' graph messages shown again where a graph's status changed (a zoom); true then.
  virtual bool RedrawMessageRects() = 0;
  // The pointer's cursor set again for where it is (after a drag set one of its own).
  virtual void AdjustCursor() = 0;
  // Rows changed outside an edit (a dragged point's value): laid out and drawn again, and the
  // graphs that follow them computed for a step as a slider's drag computes them.
  virtual void RowsRewritten() {}
};

// The frame times the spinning views report, and the frame rate shown from them.
inline constexpr int32_t kFrameTimeRing = 40;
struct FrameRateRecord {
  double seconds[kFrameTimeRing] = {};  // a ring of the last frame times
  int32_t count = 0;                    // entries filled, up to kFrameTimeRing
  int32_t next = 0;                     // where the next frame time goes
  double sinceShown = 0.0;              // seconds of frames reported since the rate was last refreshed
  double framesPerSecond = 0.0;         // the rate shown: entries over their sum; 0 until refreshed
};

class DocumentRecord final : public DocumentServices {
 public:
  // An empty document whose graph pane is `paneRect` (empty by default); installs the documents'
  // kernel seams (once).
  explicit DocumentRecord(const QDRect& paneRect = QDRect{0, 0, 0, 0});
  // Deletes the view set with its views and graphs, and every row's editor or tree. A current
  // document stops being current.
  ~DocumentRecord() override;
  DocumentRecord(const DocumentRecord&) = delete;
  DocumentRecord& operator=(const DocumentRecord&) = delete;

  // Appends an equation row with the default graph values, taking over the tree. Returns the row;
  // null (the tree stays the caller's) when the row list cannot grow.
  EquationRow* AppendEquationRow(ExprNode* expression);
  // Appends an equation row whose editor (taken over) owns its tree. Null (the editor stays the
  // caller's) when the row list cannot grow.
  EquationRow* AppendEditorRow(FormulaEditor* editor);
  // Removes row i (0 <= i < rows.count); the rows after it move up one place. A row with an editor
  // becomes an undo step (Undo puts it back at its place with its content); one without is
  // disposed. Its graphs are the caller's: a row whose equation built some (graphRow >= 0) must
  // have had them deleted first. Nothing for an index outside the rows.
  void DeleteRow(int32_t i);
  // Takes over the expressions of a coordinate transformation (mode 1: x and y in x' and y', the
  // second 2D view's mapped picture; mode 2: x' and y' in x and y, its textured image; mode 4: x',
  // y' and z' in x, y and z, the second 3D view's companions), freeing the ones it held; mode 0, or
  // an expression the mode needs missing, removes it (the expressions given are freed then).
  void SetTransform(uint32_t mode, ExprNode* expression1, ExprNode* expression2, ExprNode* expression3 = nullptr);
  // Sets a graph setting of row `row` (0 <= row < rows.count) as the Graph menu does: one undo step
  // of the row (when it has an editor), the value stored and sent to the row's graphs, the
  // document modified. False, nothing changed, for the side, a value the setting does not take, or
  // the value the row has.
  bool ChangeRowSetting(int32_t row, RowSetting which, double value);
  // The row's value of the setting sent to its built graphs as their option (SetGraphOption through
  // the view set); nothing for the side, for a row that built nothing, or while the graphs are not
  // built.
  void SendRowSetting(int32_t row, RowSetting which);
  // The graph settings in which row `row` now differs from `before` sent to its graphs.
  void SendChangedRowSettings(int32_t row, const EquationRow& before);
  // Gives every equation row that has none an editor over its tree, the caret on the root (rows
  // whose editor cannot be had keep their tree alone). False when one could not be had.
  bool EnsureRowEditors();
  // After an edit: each row's expression is its editor's root again.
  void SyncRowsWithEditors();

  // DocumentServices.
  void MarkDocumentDirty() override { changedFlag = 1; }
  // Through the kernel's SetDocumentModified, which ignores it while a demo plays.
  void SetDocumentModified(bool modified) override;
  // The shown views draw at once (in the window when there is one, else into the current port).
  void RedrawGraphPaneNow() override;
  // The window's buffer when the document is shown in one, else the pane buffer (headless 3D).
  GWorldPtr OffscreenBuffer() override { return window != nullptr ? window->Buffer() : paneBuffer; }
  void CopyOffscreenToWindow(const QDRect& rect) override {
    if (window != nullptr) window->Present(rect);
  }
  // Through the view set: only the first 2D view with the second shown beside it.
  void RedrawGraphPaneIfBoth2D(const GraphView* view) override;
  // The idle pacing is the window layer's: the rate is kept for it.
  void SetViewSetTickRate() override { viewSetTickRate = kTicksPerSecond; }
  // Counted; the window shows the rows' messages again.
  void RedrawMessageRectsNow() override;
  void ResetTextFieldState() override { textFieldActive = 0; }
  // The window sets the cursor for the pointer's place again; headless the regions stay stale.
  void AdjustCursor() override;
  bool IsBenchmarkRunning() const override;
  void SetDocumentRebuildFlag() override { rebuildFlag = 1; }
  void SetToolbarHelpTags(int32_t code, int32_t axesSide0, int32_t axesSide1, int32_t paperSide0,
                          int32_t paperSide1) override;
  int32_t RowCount() const override { return rows.count; }
  const EquationRow& RowAt(int32_t i) const override { return rows.data[i]; }
  void ApplyNumberFormat() override;
  bool IsAntialiased() const override { return antialiased; }
  // Kept for the 4D axis labels (DrawAxisLabels4D).
  void StoreViewParameterBlock(const double block[10]) override;
  // The animated slider: whether one runs, and one step of it (a pan's; AdvanceSliderAnimation,
  // defined with it in slider_animation.cpp).
  bool IsSliderAnimating() const override { return animation.row >= 0; }
  void StepSliderAnimation() override;
  // The window tracks the mouse in a control of its own, or the pane divider is dragged.
  bool IsTrackingMouse() const override;
  // A demo plays in this document, which is the active one, and it is paused.
  bool IsDemoPaused() const override;
  // Keeps the frame time in the ring; the rate shown is refreshed at most once a second (of the
  // frames' own time) and only from finite, positive times.
  void RecordFrameTime(double seconds) override;
  // The per-view states are sent again: the toolbar help tags are set from the shown views' axes
  // and graph-paper states, and the graph pane is redrawn at the next idle tick.
  void ResetViewStateFlags() override;
  // The window's graph pane is redrawn at its next idle tick; headless, nothing.
  void InvalidateGraphPane() override;
  // The row that defines the dragged point takes its new value (RewriteDraggedPoint; defined with
  // it in point_drag.cpp).
  void RewritePointParameters(const GraphView* view, int32_t index, double x, double y) override;

  GrowArray<EquationRow> rows;
  GraphViewSet viewSet;
  uint8_t rebuildFlag = 0;         // also the condition flag of the colour expressions
  uint8_t modifiedFlag = 0;        // the window's modified mark
  uint8_t changedFlag = 0;         // contents changed since the panes were drawn
  uint8_t textFieldActive = 0;
  uint8_t cursorRegionsValid = 0;  // set once the window has set the cursor for the pointer's place
  int32_t significantDigits = 8;   // the number format: digits of the number display
  bool antialiased = false;        // the 2D views draw through their double-size buffer
  ShownView shownView = ShownView::k2D;  // the first 2D view, the first 3D view or the 4D view
  uint8_t splitView = 0;           // a second view is shown beside the first (not in 4D)
  uint8_t secondViewIs3D = 0;      // that second view is the second 3D view, else the second 2D view
  CoordinateTransform transform;   // the coordinate transformation, its expressions owned; mode 0 none
  double axisLabels4D[10] = {};    // h, v of the 4D axes' origin and ends as last drawn (O, X, Y, Z, W)
  bool axisLabels4DStored = false; // a 4D frame drew its axes since the record was made
  SliderAnimation animation;       // the slider row that animates, if any
  GWorldPtr paneBuffer = nullptr;  // without a window, the graph pane's 32-bit offscreen buffer, owned;
                                   // the software 3D views draw into it and GL offscreen frames are
                                   // read into it (a window's buffer serves the same in a window)
  int32_t toolbarTags[5] = {0, 0, 0, 0, 0};  // code, axes side 0 and 1, paper side 0 and 1
  int32_t messageRedraws = 0;
  int32_t viewSetTickRate = 0;     // ticks a second the views animate at (the idle interval); 0: kTicksPerSecond
  bool graphsBuilt = false;        // set by the graph rebuild, cleared when the graphs are deleted
  uint8_t paneDividerDrag = 0;     // set while the divider between the panes is tracked: the 3D
                                   // and 4D spins hold still (IsTrackingMouse)
  uint8_t demoPaused = 0;          // the demo playing in this document is paused
  FrameRateRecord frameRate;
  AskedRanges askedRanges;         // the ranges the document's lines ask for (ShowAskedRanges)
  DocumentWindowServices* window = nullptr;  // the window showing the document; null headless
  bool useTransparency = true;     // rows with an opacity other than 1 draw with transparency
  UndoHistory undo{&rows};         // the rows' undo and redo steps, deleted rows held there
  const FormulaEditor* pointDragRow = nullptr;  // the row the point drag going on took its undo step for
  EquationPreparation preparation{this};  // the rows' prepared equations, which alone are built
};

// Copies the document's number format into the number settings the number text reads.
void ApplyDocumentNumberFormat(const DocumentRecord* document);

// Builds the graphs of the equation rows (their sliders refreshed first) in the plane, in space
// when the document shows its 3D view, or in 4D space when it shows the 4D view (a plane
// transformation shows the second 2D view beside the first, with the transformation's own graph and
// the rows' companions there; a space transformation the second 3D view beside the first 3D view,
// with the companions; a split view the second 2D or 3D view): the rows' preparation is finished
// (at one go, unless it already ended for the rows as they are), the view set is emptied and the
// views shown made ready (a GL view drawing through an offscreen context read back into the
// document's buffer when OpenGL is there), then each row's prepared equation is classified and
// built from a private copy with the row's graph values; a row on side 1 in the second view's space
// (3D when the second view is the 3D one) and into the second view. Each row gets its graph-table
// row (-1 when nothing was built) and its result message: the preparation's when it failed, the
// classifier's explanation for an equation of no form, the factory's for a form whose kinds are
// missing, 0 otherwise (also when memory ran out: error 7 is posted). A row with a slider defines
// its parameter, and a definition its name, and builds nothing, with no message. Returns the
// number of the other equation rows that built nothing.
int32_t BuildDocumentRowGraphs(DocumentRecord* document);
// Row i is a definition (a named constant or function) as the graphs were last built: it draws
// nothing and is no failure.
bool IsDefinitionRow(const DocumentRecord* document, int32_t i);

// The note for a row whose graph went to a view the document does not draw (a space form in a
// plane document, say): the text both programs show beside the row; null when its graph is shown
// or the row built none.
const char* HiddenViewNote(const GraphViewSet* set, int32_t graphRow);

// The graph result message number (Status) of the row's graph once that graph is complete; 0
// while it computes, for a row that built none, and for a graph in a view not drawn (its note
// says so).
int32_t RowGraphStatus(GraphViewSet* set, int32_t graphRow);

// The documents' process-wide state, one struct with one reset.
struct DocumentsState {
  DocumentRecord* current = nullptr;  // whose defined names the evaluation reads
  int32_t demoMode = 0;               // non-zero while a demo plays; 4 during the benchmark
  uint8_t trackingMouse = 0;          // a document window tracks the mouse in a control of its own
};
DocumentsState& DocumentsGlobals();
void ResetDocumentsStateForTests();
inline constexpr int32_t kBenchmarkDemoMode = 4;

// Makes the document current (null: none): the evaluation's defined values and the kernel's
// complex-name question then read its rows.
void SetCurrentDocument(DocumentRecord* document);
// Sets the demo mode word and the kernel's demo and benchmark flags with it.
void SetDemoMode(int32_t mode);
// Fills the kernel seams the documents serve: the modified-mark hook, the defined-value look-up
// and the defined-name question of UsesComplexNumbers; and the graphics layer's document hooks:
// the pane buffer, whether some row draws with an opacity other than 1, the antialias setting.
// Idempotent.
void InstallDocumentSeams();
