// What the graph subsystem asks of the document that owns a graph pane, as one interface the
// documents layer implements (graphs never include a document header): the redraws, the marks,
// the cursor regions, the benchmark flag, the rebuild flag and read access to the equation rows.
// Invariants: rows are read, never changed, through this interface; a null document pointer is
// allowed wherever graphs take one and means "no document" (no rows, nothing redrawn).
#pragma once

#include <cstdint>

struct ExprNode;

// The fields of one equation-pane row that the graphs read. Row kind 0 is an equation row; other
// kinds (text rows) have no expression. The document owns the row and its tree.
struct EquationRow {
  int32_t kind = 0;
  ExprNode* expression = nullptr;
  bool hasSliderControl = false;  // the row shows its own slider
  int32_t sliderValue = 0;        // the slider control's value, 0 .. sliderSteps when in range
  double sliderMin = 0.0;
  double sliderMax = 1.0;
  int32_t sliderSteps = 100;
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
};

// The factory's name for the rebuild flag: the same byte.
inline void SetDocumentConditionFlag(DocumentServices* document) {
  if (document != nullptr) document->SetDocumentRebuildFlag();
}
