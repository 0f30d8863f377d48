// The least of a document the headless program needs: the equation rows read from a text file
// with their xy types, the antialiasing setting and the graph pane's view set. It serves the graphs as their
// DocumentServices; nothing is on a screen, so redraws, marks and cursor regions do nothing.
// Invariants: the document owns its rows' trees and its view set; rows hold only formulas that
// the reader accepted.
#pragma once

#include <string>
#include <vector>

#include "graphs/document_services.h"
#include "graphs/graph_view_set.h"

class HeadlessDocument final : public DocumentServices {
 public:
  HeadlessDocument() = default;
  // Deletes the graphs and views, then the rows' trees.
  ~HeadlessDocument() override;
  HeadlessDocument(const HeadlessDocument&) = delete;
  HeadlessDocument& operator=(const HeadlessDocument&) = delete;

  void MarkDocumentDirty() override {}
  void SetDocumentModified(bool) override {}
  void RedrawGraphPaneNow() override {}
  void RedrawMessageRectsNow() override {}
  void ResetTextFieldState() override {}
  void AdjustCursor() override {}
  bool IsBenchmarkRunning() const override { return false; }
  void SetDocumentRebuildFlag() override {}
  void SetToolbarHelpTags(int32_t, int32_t, int32_t, int32_t, int32_t) override {}
  int32_t RowCount() const override { return static_cast<int32_t>(rows.size()); }
  const EquationRow& RowAt(int32_t i) const override { return rows[static_cast<size_t>(i)]; }
  bool IsAntialiased() const override { return antialiased; }

  std::vector<EquationRow> rows;
  std::vector<int> lineOfRow;    // the file line each row came from, 1-based
  std::vector<double> xyTypes;   // each row's XYType: 1 surface, 2 raster, 3 level lines (+4 equal arrows)
  GraphViewSet viewSet;
  bool antialiased = false;
};

// A line of the file that could not be used, and why.
struct DocumentProblem {
  int line;
  std::string reason;
};

// Reads the document: each line that is not blank and does not start with # must be one formula
// in bracket notation (blanks outside quotes are ignored), after an optional "@xytype=N " (N a
// whole number 0..7: how a function of x and y is shown; 1 when absent). Unreadable lines are
// listed in *problems. False, with *failure set, when the file itself cannot be read or exceeds 1 MiB.
bool ReadDocumentFile(const std::string& path, HeadlessDocument* document, std::vector<DocumentProblem>* problems,
                      std::string* failure);
