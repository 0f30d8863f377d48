// The document record's services to the graphs, its rows, and the documents' process-wide state
// with the kernel seams it fills.
#include "document/document_record.h"

#include "graphs/definitions.h"
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

void LookUpCurrentDocumentValue(Complex* out, int32_t key) {
  GetDefinedParameterValue(out, key, gDocuments.current);
}

bool TreeUsesDefinedNameOf(const ExprNode* tree, const void* definitions) {
  return TreeUsesComplexPointName(tree, static_cast<const DocumentServices*>(definitions));
}

}  // namespace

DocumentRecord::DocumentRecord() {
  InstallDocumentSeams();
  InitViewSet(&viewSet, QDRect{0, 0, 0, 0}, this);
}

DocumentRecord::~DocumentRecord() {
  if (gDocuments.current == this) SetCurrentDocument(nullptr);
  ViewSetDeleteAllGraphs(&viewSet);
  DestroyViewSet(&viewSet);
  for (int32_t i = 0; i < rows.count; ++i) FreeExpression(rows.data[i].expression);
  GrowArrayFree(rows);
}

bool DocumentRecord::AppendEquationRow(ExprNode* expression) {
  EquationRow row;
  row.expression = expression;
  return GrowArrayAppend(rows, row);
}

void DocumentRecord::SetDocumentModified(bool modified) { ::SetDocumentModified(this, modified); }

void DocumentRecord::RedrawGraphPaneNow() { ViewSetActivate(&viewSet, 2); }

bool DocumentRecord::IsBenchmarkRunning() const { return gDocuments.demoMode == kBenchmarkDemoMode; }

void DocumentRecord::SetToolbarHelpTags(int32_t code, int32_t axesSide0, int32_t axesSide1, int32_t paperSide0,
                                        int32_t paperSide1) {
  const int32_t tags[5] = {code, axesSide0, axesSide1, paperSide0, paperSide1};
  for (int k = 0; k < 5; ++k) toolbarTags[k] = tags[k];
}

void DocumentRecord::ApplyNumberFormat() { ApplyDocumentNumberFormat(this); }

void ApplyDocumentNumberFormat(const DocumentRecord* document) {
  if (document != nullptr) SetDisplayDigits(document->significantDigits);
}

DocumentsState& DocumentsGlobals() { return gDocuments; }

void ResetDocumentsStateForTests() {
  SetCurrentDocument(nullptr);
  SetDemoMode(0);
}

void SetCurrentDocument(DocumentRecord* document) {
  gDocuments.current = document;
  GetTreeSeams().complexDefinitions = static_cast<const DocumentServices*>(document);
}

void SetDemoMode(int32_t mode) {
  gDocuments.demoMode = mode;
  SetDemoRunning(mode != 0);
}

void InstallDocumentSeams() {
  SetDocumentModifiedHook(StoreModifiedMark);
  SetDefinedValueLookup(LookUpCurrentDocumentValue);
  GetTreeSeams().treeUsesDefinedName = TreeUsesDefinedNameOf;
  GetTreeSeams().complexDefinitions = static_cast<const DocumentServices*>(gDocuments.current);
}
