// What the graph subsystem asks of the document that owns a graph pane, as one interface the
// documents layer implements (graphs never include a document header): the redraws, the marks,
// the cursor regions, the benchmark flag, the rebuild flag, read access to the equation rows,
// what the 2D view needs of its window (antialiasing, the window's offscreen buffer, animation),
// and what the graph factory asks (parameter values and lists, the range record).
// Invariants: rows are read, never changed, through this interface; a null document pointer is
// allowed wherever graphs take one and means "no document" (no rows, nothing redrawn).
#pragma once

#include <cstdint>
#include <limits>

#include "platform/draw/port.h"

struct ExprNode;
struct FormulaEditor;
class GraphView;

// The fields of one equation-pane row that the graphs read. Row kind 0 is an equation row; other
// kinds (text rows) have no expression. The document owns the row and its tree. The five graph
// values go to CreateGraphsForEquation as they stand (it clamps and truncates them itself).
struct EquationRow {
  int32_t kind = 0;
  ExprNode* expression = nullptr;
  bool hasSliderControl = false;  // the row shows its own slider
  int32_t sliderValue = 0;        // the slider control's value, 0 .. sliderSteps when in range
  double sliderMin = 0.0;
  double sliderMax = 1.0;
  int32_t sliderSteps = 100;
  double color = 1.0;         // colour-menu index
  double grain = 0.5;         // sampling detail, 0..1
  double opacity = 1.0;       // of the surface kinds
  double plottingMode = 2.0;  // 0 draft, 1 marked, 2 full analysis
  double xyType = 1.0;        // a function of x and y: 1 surface, 2 raster, 3 level lines (+4 equal arrows)
  uint8_t side = 0;           // the flag byte: 1 builds the row in the second view's space and shows it there
  int32_t resultMessage = 0;  // the graph result message shown under the row; 0 none
  int32_t graphRow = -1;      // the graph-table row its equation built; -1 none
  FormulaEditor* editor = nullptr;  // the row's editor, which then owns `expression` (its root)
};

class DocumentServices {
 public:
  virtual ~DocumentServices() = default;

  // The document's changed flag (its contents moved on since the last redraw of the panes).
  virtual void MarkDocumentDirty() = 0;
  // The modified mark of the window; ignored while a demo plays.
  virtual void SetDocumentModified(bool modified) = 0;
  // Immediate redraws of the graph pane and of the result messages under the rows.
  virtual void RedrawGraphPaneNow() = 0;
  virtual void RedrawMessageRectsNow() = 0;
  // Ends any text-field editing state tied to the graphs (called when every graph is deleted).
  virtual void ResetTextFieldState() = 0;
  // Rebuilds the cursor regions of the window.
  virtual void AdjustCursor() = 0;
  // True while the benchmark plays: graphs then skip partial uploads and caches.
  virtual bool IsBenchmarkRunning() const = 0;
  // Sets the rebuild flag: the next parameter change rebuilds the graphs instead of only
  // broadcasting the value (colour expressions and conditions are compiled into the graphs).
  virtual void SetDocumentRebuildFlag() = 0;
  // Help tags of the toolbar groups 15 (axes) and 16 (graph paper) from their on/off states.
  virtual void SetToolbarHelpTags(int32_t code, int32_t axesSide0, int32_t axesSide1, int32_t paperSide0,
                                  int32_t paperSide1) = 0;

  // The equation rows in pane order; RowAt requires 0 <= i < RowCount().
  virtual int32_t RowCount() const = 0;
  virtual const EquationRow& RowAt(int32_t i) const = 0;

  // What the 2D view asks; the bodies here are those of a document without a window.
  // Copies the document's significant digits and number format into the number settings.
  virtual void ApplyNumberFormat() {}
  // The document draws its 2D views antialiased (a document setting).
  virtual bool IsAntialiased() const { return false; }
  // The document's window is the active one. Antialiasing is in effect only while it is.
  virtual bool IsActiveDocument() const { return true; }
  // The window's 32-bit offscreen buffer, in window coordinates; null when there is none.
  virtual GWorldPtr OffscreenBuffer() { return nullptr; }
  // Copies a rectangle of the offscreen buffer onto the window.
  virtual void CopyOffscreenToWindow(const QDRect& rect) { (void)rect; }
  // Redraws the pane at once when `view` is the first 2D view and the second 2D view is shown
  // beside it (which maps what the first one shows).
  virtual void RedrawGraphPaneIfBoth2D(const GraphView* view) { (void)view; }
  // Paces the view set at the tick count of one second (the pane is redrawn whole while the
  // probe moves without a saved background).
  virtual void SetViewSetTickRate() {}
  // Seconds since the view's previous frame, for the frame-rate display.
  virtual void RecordFrameTime(double seconds) { (void)seconds; }
  // Removes the highlight a playing demo put on the pane.
  virtual void ClearDemoHighlight() {}
  // A draggable point of graph `index` of `view` moved to (x, y): the rows that define it are
  // rewritten with the new values.
  virtual void RewritePointParameters(const GraphView* view, int32_t index, double x, double y) {
    (void)view, (void)index, (void)x, (void)y;
  }
  // The animated slider: whether it runs, and one step of it.
  virtual bool IsSliderAnimating() const { return false; }
  virtual void StepSliderAnimation() {}

  // What the 3D view asks; the bodies are those of a document without a window.
  // Clears the per-view state bytes and sends the view options again.
  virtual void ResetViewStateFlags() {}
  // Marks the whole graph pane for redrawing at the next update.
  virtual void InvalidateGraphPane() {}
  // The window is tracking the mouse (a 3D view then holds its spin still).
  virtual bool IsTrackingMouse() const { return false; }
  // The demo playing in this document is paused (a still mouse then stops a 3D spin again).
  virtual bool IsDemoPaused() const { return false; }

  // What the 4D view asks; the bodies are those of a document without a window.
  // Clears the document's scroll state (the 4D view's spin stopped).
  virtual void ResetDocumentScroll() {}
  // Keeps the screen positions (h, v) of the 4D axes' origin and of the ends of x, y, z and w,
  // in that order, for the axis labels.
  virtual void StoreViewParameterBlock(const double block[10]) { (void)block; }

  // What the graph factory asks; the bodies are those of a document without parameters.
  // The value the factory substitutes for a parameter symbol; NaN when the symbol is no
  // parameter, and NaN for a parameter a slider drives (its graphs then follow the slider
  // through VariableChanged instead of holding a number).
  virtual double GetParameterValue(int32_t symbol) const {
    (void)symbol;
    return std::numeric_limits<double>::quiet_NaN();
  }
  // Enters the free identifiers of the expression that the document does not know yet into its
  // parameter table.
  virtual void CollectEquationParameters(const ExprNode* expression) { (void)expression; }
  // Creates the parameter list of an equation row when it is missing.
  virtual void EnsureRowParameterList(uint32_t rowKey, int32_t rowIndex) { (void)rowKey, (void)rowIndex; }
  // Keeps the bounds of a range index (0..12) in the document's range record.
  virtual void StoreRangeBounds(int32_t index, double lower, double upper) { (void)index, (void)lower, (void)upper; }
};

// The factory's name for the rebuild flag: the same byte.
inline void SetDocumentConditionFlag(DocumentServices* document) {
  if (document != nullptr) document->SetDocumentRebuildFlag();
}
