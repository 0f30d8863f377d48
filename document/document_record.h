// DocumentRecord: the least of a document window's record that the graphs need: the equation rows,
// the flag bytes, the view set and the number format, serving the graphs as their
// DocumentServices; with the documents' process-wide state (the current document, the demo mode
// word) and the kernel seams the documents fill (modified mark, defined values, complex names).
// Invariants: the record owns its rows' trees and its view set; a record stands for its window
// wherever the lower layers pass a window pointer.
#pragma once

#include <cstdint>

#include "graphs/document_services.h"
#include "graphs/graph_view_set.h"
#include "kernel/memory/growable_array.h"

class DocumentRecord final : public DocumentServices {
 public:
  // An empty document; installs the documents' kernel seams (once).
  DocumentRecord();
  // Deletes the view set with its views and graphs, and every row's tree. A current document
  // stops being current.
  ~DocumentRecord() override;
  DocumentRecord(const DocumentRecord&) = delete;
  DocumentRecord& operator=(const DocumentRecord&) = delete;

  // Appends an equation row taking over the tree. False (the tree stays the caller's) when the
  // row list cannot grow.
  bool AppendEquationRow(ExprNode* expression);

  // DocumentServices.
  void MarkDocumentDirty() override { changedFlag = 1; }
  // Through the kernel's SetDocumentModified, which ignores it while a demo plays.
  void SetDocumentModified(bool modified) override;
  // The shown views draw at once.
  void RedrawGraphPaneNow() override;
  // The result messages are redrawn by the window layer: counted until it exists.
  void RedrawMessageRectsNow() override { ++messageRedraws; }
  void ResetTextFieldState() override { textFieldActive = 0; }
  // The cursor regions are the window layer's: they are marked stale for it.
  void AdjustCursor() override { cursorRegionsValid = 0; }
  bool IsBenchmarkRunning() const override;
  void SetDocumentRebuildFlag() override { rebuildFlag = 1; }
  void SetToolbarHelpTags(int32_t code, int32_t axesSide0, int32_t axesSide1, int32_t paperSide0,
                          int32_t paperSide1) override;
  int32_t RowCount() const override { return rows.count; }
  const EquationRow& RowAt(int32_t i) const override { return rows.data[i]; }
  void ApplyNumberFormat() override;

  GrowArray<EquationRow> rows;
  GraphViewSet viewSet;
  uint8_t rebuildFlag = 0;         // also the condition flag of the colour expressions
  uint8_t modifiedFlag = 0;        // the window's modified mark
  uint8_t changedFlag = 0;         // contents changed since the panes were drawn
  uint8_t textFieldActive = 0;
  uint8_t cursorRegionsValid = 0;
  int32_t significantDigits = 8;   // the number format: digits of the number display
  int32_t toolbarTags[5] = {0, 0, 0, 0, 0};  // code, axes side 0 and 1, paper side 0 and 1
  int32_t messageRedraws = 0;
};

// Copies the document's number format into the number settings the number text reads.
void ApplyDocumentNumberFormat(const DocumentRecord* document);

// The documents' process-wide state, one struct with one reset.
struct DocumentsState {
  DocumentRecord* current = nullptr;  // whose defined names the evaluation reads
  int32_t demoMode = 0;               // non-zero while a demo plays; 4 during the benchmark
};
DocumentsState& DocumentsGlobals();
void ResetDocumentsStateForTests();
inline constexpr int32_t kBenchmarkDemoMode = 4;

// Makes the document current (null: none): the evaluation's defined values and the kernel's
// complex-name question then read its rows.
void SetCurrentDocument(DocumentRecord* document);
// Sets the demo mode word and the kernel's demo flag with it.
void SetDemoMode(int32_t mode);
// Fills the kernel seams the documents serve: the modified-mark hook, the defined-value look-up
// and the defined-name question of UsesComplexNumbers. Idempotent.
void InstallDocumentSeams();
