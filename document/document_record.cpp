// The document record's services to the graphs, its rows and the building of their graphs, and
// the documents' process-wide state with the kernel seams it fills.
#include "document/document_record.h"

#include <algorithm>
#include <cmath>

#include "document/equation_sliders.h"
#include "editor/formula_editor.h"
#include "graphics/gl/gl_globals.h"
#include "graphics/gl/graphics_context.h"
#include "graphics/qd_layer.h"
#include "graphs/factory/definitions.h"
#include "graphs/factory/equation_form.h"
#include "graphs/factory/graph_factory.h"
#include "graphs/view2d/graph_view_2d.h"
#include "graphs/view3d/graph_view_3d.h"
#include "graphs/view4d/graph_view_4d.h"
#include "kernel/application_state.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/text/number_settings.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/tree_seams.h"

namespace {

DocumentsState gDocuments;

// A window pointer of the lower layers is the record it stands for.
DocumentRecord* RecordOfWindow(void* window) { return static_cast<DocumentRecord*>(window); }

void StoreModifiedMark(void* window, bool modified) {
  if (window != nullptr) RecordOfWindow(window)->modifiedFlag = modified ? 1 : 0;
}

// A graphics context's window is the DocumentServices of its view's owner: here a record.
DocumentRecord* RecordOfViewOwner(void* window) {
  return static_cast<DocumentRecord*>(static_cast<DocumentServices*>(window));
}

GWorldPtr PaneBufferOf(void* window) {
  return window != nullptr ? RecordOfViewOwner(window)->OffscreenBuffer() : nullptr;
}

bool DrawsWithTransparency(void* window) {
  if (window == nullptr) return false;
  const DocumentRecord* record = RecordOfViewOwner(window);
  if (!record->useTransparency) return false;
  for (int32_t i = 0; i < record->rows.count; ++i) {
    if (record->rows.data[i].kind == 0 && record->rows.data[i].opacity != 1.0) return true;
  }
  return false;
}

bool IsRecordAntialiased(void* window) { return window != nullptr && RecordOfViewOwner(window)->antialiased; }

void LookUpCurrentDocumentValue(Complex* out, int32_t key) {
  GetDefinedParameterValue(out, key, gDocuments.current);
}

bool TreeUsesDefinedNameOf(const ExprNode* tree, const void* definitions) {
  return TreeUsesComplexPointName(tree, static_cast<const DocumentServices*>(definitions));
}

}  // namespace

DocumentRecord::DocumentRecord(const QDRect& paneRect) {
  InstallDocumentSeams();
  InitViewSet(&viewSet, paneRect, this);
}

DocumentRecord::~DocumentRecord() {
  if (gDocuments.current == this) SetCurrentDocument(nullptr);
  EndSliderAnimation(&animation);  // its parameter letter goes with it
  ViewSetDeleteAllGraphs(&viewSet);
  DestroyViewSet(&viewSet);
  SafeDisposeGWorld(paneBuffer);
  SetTransform(kTransformNone, nullptr, nullptr);
  for (int32_t i = 0; i < rows.count; ++i) {
    if (rows.data[i].editor != nullptr) {
      DisposeFormulaEditor(rows.data[i].editor);
    } else {
      FreeExpression(rows.data[i].expression);
    }
  }
  GrowArrayFree(rows);
}

EquationRow* DocumentRecord::AppendEquationRow(ExprNode* expression) {
  EquationRow row;
  row.expression = expression;
  return GrowArrayAppend(rows, row) ? &rows.data[rows.count - 1] : nullptr;
}

EquationRow* DocumentRecord::AppendEditorRow(FormulaEditor* editor) {
  EquationRow row;
  row.expression = editor->root;
  row.editor = editor;
  return GrowArrayAppend(rows, row) ? &rows.data[rows.count - 1] : nullptr;
}

void DocumentRecord::DeleteRow(int32_t i) {
  if (i < 0 || i >= rows.count || undo.RecordRowDeletion(i)) return;
  FreeExpression(rows.data[i].expression);
  (void)GrowArrayRemove(rows, i);
}

bool DocumentRecord::ChangeRowSetting(int32_t row, RowSetting which, double value) {
  if (RowSettingOption(which) < 0 || row < 0 || row >= rows.count || !RowSettingAccepts(which, value) ||
      RowSettingOf(rows.data[row], which) == value) {
    return false;
  }
  undo.RecordRowSettings(row);
  SetRowSetting(&rows.data[row], which, value);
  SendRowSetting(row, which);
  SetDocumentModified(true);
  return true;
}

void DocumentRecord::SendRowSetting(int32_t row, RowSetting which) {
  const int32_t code = RowSettingOption(which);
  if (code < 0 || !graphsBuilt || row < 0 || row >= rows.count) return;
  const EquationRow& r = rows.data[row];
  if (r.graphRow >= 0) ViewSetSelectSlotEntry(&viewSet, code, RowSettingOf(r, which), r.graphRow);
}

void DocumentRecord::SendChangedRowSettings(int32_t row, const EquationRow& before) {
  if (row < 0 || row >= rows.count) return;
  for (const RowSetting which : kRowGraphSettings) {
    if (RowSettingOf(rows.data[row], which) != RowSettingOf(before, which)) SendRowSetting(row, which);
  }
}

bool DocumentRecord::EnsureRowEditors() {
  bool all = true;
  for (int32_t i = 0; i < rows.count; ++i) {
    EquationRow& row = rows.data[i];
    if (row.kind != 0 || row.editor != nullptr || row.expression == nullptr) continue;
    FormulaEditor* editor = NewFormulaEditor();
    if (editor == nullptr) {
      all = false;
      continue;
    }
    FreeExpression(editor->root);
    editor->root = editor->caretNode = row.expression;
    row.editor = editor;
  }
  return all;
}

void DocumentRecord::SyncRowsWithEditors() {
  for (int32_t i = 0; i < rows.count; ++i)
    if (rows.data[i].editor != nullptr) rows.data[i].expression = rows.data[i].editor->root;
}

void DocumentRecord::SetDocumentModified(bool modified) { ::SetDocumentModified(this, modified); }

void DocumentRecord::RedrawGraphPaneNow() {
  if (window != nullptr) {
    window->RedrawGraphPane();
  } else {
    ViewSetActivate(&viewSet, 2);
  }
}

void DocumentRecord::RedrawGraphPaneIfBoth2D(const GraphView* view) { ViewSetRedrawWhenBoth2D(&viewSet, view); }

bool DocumentRecord::IsBenchmarkRunning() const { return gDocuments.demoMode == kBenchmarkDemoMode; }

void DocumentRecord::SetToolbarHelpTags(int32_t code, int32_t axesSide0, int32_t axesSide1, int32_t paperSide0,
                                        int32_t paperSide1) {
  const int32_t tags[5] = {code, axesSide0, axesSide1, paperSide0, paperSide1};
  for (int k = 0; k < 5; ++k) toolbarTags[k] = tags[k];
}

void DocumentRecord::ApplyNumberFormat() { ApplyDocumentNumberFormat(this); }

void DocumentRecord::StoreViewParameterBlock(const double block[10]) {
  for (int k = 0; k < 10; ++k) axisLabels4D[k] = block[k];
  axisLabels4DStored = true;
}

bool DocumentRecord::IsTrackingMouse() const { return paneDividerDrag != 0 || gDocuments.trackingMouse != 0; }

bool DocumentRecord::IsDemoPaused() const { return gDocuments.demoMode != 0 && demoPaused != 0 && IsActiveDocument(); }

void DocumentRecord::RecordFrameTime(double seconds) {
  if (!(seconds > 0.0) || !std::isfinite(seconds)) return;
  FrameRateRecord& r = frameRate;
  r.seconds[r.next] = seconds;
  r.next = (r.next + 1) % kFrameTimeRing;
  r.count = std::min(r.count + 1, kFrameTimeRing);
  r.sinceShown += seconds;
  if (r.framesPerSecond != 0.0 && r.sinceShown < 1.0) return;
  double sum = 0.0;
  for (int32_t i = 0; i < r.count; ++i) sum += r.seconds[i];
  r.framesPerSecond = r.count / sum;
  r.sinceShown = 0.0;
}

void DocumentRecord::ResetViewStateFlags() {
  InvalidateGraphPane();
  SetToolbarHelpTags(toolbarTags[0], ViewSetGetOption15State(&viewSet, 0), ViewSetGetOption15State(&viewSet, 1),
                     ViewSetGetOption16State(&viewSet, 0), ViewSetGetOption16State(&viewSet, 1));
}

void DocumentRecord::RedrawMessageRectsNow() {
  ++messageRedraws;
  if (window != nullptr) window->RedrawMessageRects();
}

void DocumentRecord::AdjustCursor() {
  cursorRegionsValid = 0;
  if (window != nullptr) window->AdjustCursor();
}

void DocumentRecord::InvalidateGraphPane() {
  if (window != nullptr) window->InvalidateGraphPane();
}

void ApplyDocumentNumberFormat(const DocumentRecord* document) {
  if (document != nullptr) SetDisplayDigits(document->significantDigits);
}

void DocumentRecord::SetTransform(uint32_t mode, ExprNode* expression1, ExprNode* expression2,
                                  ExprNode* expression3) {
  ExprNode** held[3] = {&transform.expression1, &transform.expression2, &transform.expression3};
  ExprNode* given[3] = {expression1, expression2, expression3};
  const bool plane = mode == kTransformPlaneBackwards || mode == kTransformPlaneForwards;
  const int needed = plane ? 2 : mode == kTransformSpace ? 3 : 0;
  bool whole = needed > 0;
  for (int k = 0; k < needed; ++k) whole = whole && given[k] != nullptr;
  for (int k = 0; k < 3; ++k) {
    FreeExpression(*held[k]);
    *held[k] = whole && k < needed ? given[k] : nullptr;
    if (*held[k] != given[k]) FreeExpression(given[k]);
  }
  transform.mode = whole ? mode : kTransformNone;
}

const char* HiddenViewNote(const GraphViewSet* set, int32_t graphRow) {
  if (graphRow < 0 || graphRow >= set->graphTable.count) return nullptr;
  const GraphView* view = ViewSetView(set, set->graphTable.data[graphRow].pair[0].view);
  if (view == nullptr || view == set->primary || view == set->secondary) return nullptr;
  if (view == set->first3D) return "note: its graph is in the 3D view, which is not drawn (add a line @view=3d)";
  if (view == set->view4D) return "note: its graph is in the 4D view, which is not drawn (add a line @view=4d)";
  if (view == set->first2D) {
    return "note: its graph is in the 2D view, which is not drawn (without @view=3d or @view=4d)";
  }
  if (view == set->second3D) return "note: its graph is in the second 3D view, which is not drawn (add a line @split=3d)";
  if (view == set->second2D) return "note: its graph is in the second 2D view, which is not drawn (add a line @split=2d)";
  return "note: its graph is in a view this program does not draw";
}

int32_t RowGraphStatus(GraphViewSet* set, int32_t graphRow) {
  if (graphRow < 0 || graphRow >= set->graphTable.count || HiddenViewNote(set, graphRow) != nullptr) return 0;
  const GraphSlot first = set->graphTable.data[graphRow].pair[0];
  GraphView* view = ViewSetView(set, first.view);
  if (view == nullptr || first.index < 0 || first.index >= view->graphs.count) return 0;
  GraphKind* graph = view->graphs.data[first.index];
  // Through the view, as ViewSetGetSlotEntry reads it: its status includes sums that gave up.
  return graph != nullptr && graph->IsComplete() ? view->GraphStatus(first.index) : 0;
}

int32_t BuildDocumentRowGraphs(DocumentRecord* document) {
  // The slider parameters' values are read from the controls.
  UpdateEquationSliders(document->rows.data, document->rows.count);
  document->preparation.Finish();
  GraphViewSet* set = &document->viewSet;
  const CoordinateTransform& transform = document->transform;
  const bool is3D = document->shownView == ShownView::k3D, is4D = document->shownView == ShownView::k4D;
  const bool secondIs3D = document->secondViewIs3D != 0;
  BuildGraphsForEquationSet(set, is3D, is4D, document->splitView != 0, secondIs3D, &transform);
  // The document's pixels are its own buffer (the window's, or the pane buffer without a window),
  // which no GL window context presents into: the shown GL views draw offscreen and are read back.
  if (GLGlobals().OpenGLAvailable) ViewSetSetRequestedContextKind(set, kContextGLOffscreen);
  int32_t unbuilt = 0;
  for (int32_t i = 0; i < document->rows.count; ++i) {
    EquationRow& row = document->rows.data[i];
    if (row.kind != 0 || row.expression == nullptr) continue;
    row.graphRow = -1;
    row.resultMessage = 0;
    if (row.hasSliderControl || IsDefinitionRow(document, i)) continue;  // it defines a name: no graph, no failure
    const bool rowIs3D = row.side != 0 ? secondIs3D : is3D;  // a row of the second view in its space
    const PreparedRow* prepared = document->preparation.Row(i);
    ExprNode* equation = prepared != nullptr ? prepared->equation : nullptr;
    if (prepared != nullptr && prepared->message != 0) {
      row.resultMessage = prepared->message;
    } else if (equation == nullptr) {
      // Memory was refused for its preparation (error 7 posted).
    } else if (ClassifyEquationForGraph(equation, rowIs3D, is4D, document) == 0) {
      row.resultMessage = ClassifyEquationList(equation, rowIs3D, is4D, document);
    } else if (ExprNode* copy = CopyExpression(equation)) {  // the factory rewrites it in place
      row.graphRow = CreateGraphsForEquation(set, copy, rowIs3D, is4D, &transform, row.color, row.grain,
                                             row.opacity, row.plottingMode, row.xyType, document,
                                             &row.resultMessage, row.side);
      FreeExpression(copy);
    }
    if (row.graphRow < 0) ++unbuilt;
  }
  ViewSetCopyFlaggedRanges(set);
  document->graphsBuilt = true;
  return unbuilt;
}

bool IsDefinitionRow(const DocumentRecord* document, int32_t i) {
  const PreparedRow* prepared = document->preparation.Row(i);
  return prepared != nullptr && prepared->definition;
}

DocumentsState& DocumentsGlobals() { return gDocuments; }

void ResetDocumentsStateForTests() {
  SetCurrentDocument(nullptr);
  SetDemoMode(0);
  gDocuments.trackingMouse = 0;
}

void SetCurrentDocument(DocumentRecord* document) {
  gDocuments.current = document;
  GetTreeSeams().complexDefinitions = static_cast<const DocumentServices*>(document);
}

void SetDemoMode(int32_t mode) {
  gDocuments.demoMode = mode;
  SetDemoRunning(mode != 0);
  SetBenchmarkRunning(mode == kBenchmarkDemoMode);
}

void InstallDocumentSeams() {
  SetDocumentModifiedHook(StoreModifiedMark);
  DocumentGraphicsServices& graphics = GLGlobals().document;
  graphics.offscreenBuffer = PaneBufferOf;
  graphics.drawsWithTransparency = DrawsWithTransparency;
  graphics.isAntialiased = IsRecordAntialiased;
  SetDefinedValueLookup(LookUpCurrentDocumentValue);
  GetTreeSeams().treeUsesDefinedName = TreeUsesDefinedNameOf;
  GetTreeSeams().complexDefinitions = static_cast<const DocumentServices*>(gDocuments.current);
}
