// The document window's use of its rows' editors: row drawing, the caret blink, the click on a
// row and the movie test. The port is whatever the document made current (its window buffer).
#include "editor/equation_pane.h"

#include "editor/document_services.h"
#include "editor/formula_editor.h"
#include "editor/layout_driver.h"
#include "editor/line_mapping.h"
#include "editor/mouse_selection.h"
#include "editor/selection_geometry.h"
#include "editor/selection_highlight.h"
#include "editor/typeset_primitives.h"
#include "editor/typeset_state.h"
#include "kernel/threads/timers.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"
#include "platform/draw/qd_geometry.h"

namespace {

// Saves the pen on construction and restores it at the end of the scope.
class PenScope {
 public:
  PenScope() : port_(CurrentTypesetPort()) { port_.SavePen(); }
  ~PenScope() { port_.RestorePen(); }
  PenScope(const PenScope&) = delete;
  PenScope& operator=(const PenScope&) = delete;

 private:
  TypesetPort& port_;
};

bool CaretIsPendingPrompt(const FormulaEditor* e) {
  return TypesettingGlobals().promptCaretPending && e->caretNode != nullptr && e->caretNode->kind == KindPrompt;
}

}  // namespace

FormulaEditor* NewCurrentEquationEditor(const PixelRect& frame, void* owner) {
  FormulaEditor* e = NewFormulaEditor();
  if (e == nullptr) return nullptr;
  e->frame = frame;
  SetCurrentFormulaEditor(e, owner);
  TypesettingGlobals().promptCaretPending = true;
  return e;
}

void DrawEquationLine(FormulaEditor* editor, void* owner) {
  if (editor == nullptr) return;
  PenScope pen;
  SetCurrentFormulaEditor(editor, owner);
  LayoutFormula();
  TypesetPort& port = CurrentTypesetPort();
  port.PenSize(1);
  port.PenMode(TypesetPenMode::kCopy);
  TypesetState& g = TypesetGlobals();
  g.originV = editor->frame.top;
  g.originH = editor->frame.left;
  DrawFormula(editor->root);
  editor->documentFlag = 0;
}

bool BlinkEquationCaret(FormulaEditor* editor, void* owner) {
  if (editor == nullptr || !editor->active) return false;
  TypesetState& g = TypesetGlobals();
  const uint32_t now = ElapsedTimerUnits();
  if (now - g.lastCaretBlink <= TicksToTimerUnits(CaretBlinkTicks())) return false;
  SetCurrentFormulaEditor(editor, owner);
  g.lastCaretBlink = now;
  DrawCurrentEquationCaret();
  return true;
}

void HandleEquationPaneClick(QDPoint point, bool extend, bool dragAllowed, FormulaEditor* editor, bool selectOnClick,
                             void* owner) {
  if (editor == nullptr) return;
  PenScope pen;
  ActivateFormulaEditor(editor, owner);
  const TypesetState& g = TypesetGlobals();
  FixedPoint p{FixedFromInt(int64_t{point.v} - g.originV), FixedFromInt(int64_t{point.h} - g.originH)};
  DisplayToLayoutPoint(&p);
  FixedRect selection{}, second{};
  const bool hasSelection = ComputeSelectionGeometry(&selection, &second);
  const bool inside = hasSelection && p.v >= selection.top && p.v <= selection.bottom && p.h >= selection.left &&
                      p.h <= selection.right;
  if (!(dragAllowed && CanDragSelection() && inside)) {
    // Redrawn inactive with a caret mode, the pane loses the old highlight.
    const int32_t mode = editor->selectionMode;
    editor->active = 0;
    editor->selectionMode = SelectionCaretAfter;
    RedrawOwnerPane();
    editor->active = 1;
    ActivateFormulaEditor(editor, owner);
    editor->selectionMode = mode;
  }
  if (editor->documentFlag) DrawCurrentEquationCaret();
  if (CaretIsPendingPrompt(editor)) RedrawOwnerPane();
  TypesettingGlobals().promptCaretPending = false;
  FormulaMouseDown(p, extend, selectOnClick, dragAllowed);
}

int32_t RootBoxWidthPixels(const FormulaEditor* editor) {
  const TypesetBox* box = editor != nullptr && editor->root != nullptr ? editor->root->box : nullptr;
  return box != nullptr ? FixedToPixels(box->width) : 0;
}

int32_t RootBoxHeightPixels(const FormulaEditor* editor) {
  const TypesetBox* box = editor != nullptr && editor->root != nullptr ? editor->root->box : nullptr;
  return box != nullptr ? FixedToPixels(SaturateFixed(int64_t{box->descent} + box->ascent)) : 0;
}

bool CanSaveAsMovie(void* owner) {
  const EditorHooks& hooks = TypesetGlobals().hooks;
  if (!hooks.movieExportAvailable || hooks.getMovieSaveState == nullptr) return false;
  MovieSaveState s;
  hooks.getMovieSaveState(owner, &s);
  if (!s.graphsBuilt || !s.graphPaneOpen) return false;
  return s.sliderAnimating || (s.hasViewSet && s.viewSetNeedsRedraw && s.allViewsReady);
}
