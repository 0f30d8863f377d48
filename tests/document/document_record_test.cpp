// The document record as the graphs' DocumentServices: its flags, the modified mark that a demo
// leaves alone, the benchmark word, the number format, the rows it owns, the kernel seams it fills
// (defined values for evaluation, complex names for UsesComplexNumbers), and its rows' graphs built
// with each row's own values.
#include <gtest/gtest.h>

#include "document/document_record.h"
#include "graphs/graph_color.h"
#include "graphs/equation_form.h"
#include "graphs/traced_graph.h"
#include "kernel/application_state.h"
#include "kernel/eval/evaluation_scratch.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/text/formula_reader.h"
#include "kernel/text/number_settings.h"
#include "kernel/trees/node_builders.h"
#include "kernel/trees/tree_seams.h"

namespace {

ExprNode* Read(const char* text) { return SetFormulaReaderText(text), ParseFormulaText(); }

TEST(DocumentRecordTest, FlagsMarksNumberFormatAndTheKernelSeams) {
  ReleaseNodePools();
  const size_t bytesBefore = GetBytesInUse();
  auto* document = new DocumentRecord;
  DocumentServices* services = document;
  SetDocumentConditionFlag(services);
  services->MarkDocumentDirty();
  services->SetDocumentModified(true);
  EXPECT_TRUE(document->rebuildFlag == 1 && document->changedFlag == 1 && document->modifiedFlag == 1);
  SetDemoMode(2);
  services->SetDocumentModified(false);  // a demo leaves the mark alone
  EXPECT_TRUE(document->modifiedFlag == 1 && !services->IsBenchmarkRunning() && !IsBenchmarkRunning());
  SetDemoMode(kBenchmarkDemoMode);
  EXPECT_TRUE(services->IsBenchmarkRunning() && IsBenchmarkRunning());  // the graph kinds ask the kernel's
  document->textFieldActive = 1;
  ViewSetDeleteAllGraphs(&document->viewSet);  // the view set reaches the record
  EXPECT_EQ(document->textFieldActive, 0);
  document->significantDigits = 12;
  ApplyDocumentNumberFormat(document);
  EXPECT_EQ(GetDisplayDigits(), 12);

  ASSERT_TRUE(document->AppendEquationRow(Read("equal[a,slider[id[comma[0,2]]]]")));
  ASSERT_TRUE(document->AppendEquationRow(Read("equal[p,plus[1,times[2,i]]]")));
  document->rows.data[0] = EquationRow{0, document->rows.data[0].expression, true, 25, 0.0, 2.0, 100};
  ExprNode* usesP = Read("times[2,p]");
  Complex value;
  LookUpDefinedValue(&value, 'a');
  EXPECT_TRUE(value.re == 1.0 && !UsesComplexNumbers(usesP));  // no current document: the defaults
  SetCurrentDocument(document);
  LookUpDefinedValue(&value, 'a');
  EXPECT_EQ(value.re, 0.5);
  LookUpDefinedValue(&value, 'p');
  EXPECT_TRUE(value.im == 2.0 && UsesComplexNumbers(usesP));
  delete document;  // frees its rows, and stops being current
  EXPECT_TRUE(DocumentsGlobals().current == nullptr && !UsesComplexNumbers(usesP));
  FreeExpression(usesP);
  ResetDocumentsStateForTests();
  ResetApplicationStateForTests();
  ResetEvaluationSeams();
  ResetTreeSeams();
  ResetNumberSettingsForTests();
  ReleaseNodePools();
  EXPECT_EQ(GetBytesInUse(), bytesBefore);
}

// Each row's colour and xy type reach its graphs; an equation of no form gets the classifier's
// explanation, a form whose kind is missing (a surface in the plane) the factory's message 14.
TEST(DocumentRecordTest, RowGraphsAreBuiltWithTheRowsOwnValues) {
  ReleaseNodePools();
  const size_t bytesBefore = GetBytesInUse();
  {
    DocumentRecord document(MakeRect(0, 0, 200, 200));
    const char* rows[] = {"equal[y,x]", "equal[y,t]", "equal[z,times[x,y]]", "equal[z,times[x,y]]"};
    for (const char* text : rows) ASSERT_NE(document.AppendEquationRow(Read(text)), nullptr);
    EquationRow* row = document.rows.data;
    row[0].color = 2;                      // red
    row[2].xyType = 1, row[3].xyType = 3;  // a surface, level lines
    const int32_t noForm = ClassifyEquationList(row[1].expression, false, false, &document);
    EXPECT_EQ(BuildDocumentRowGraphs(&document), 2);
    EXPECT_TRUE(row[0].graphRow == 0 && row[0].resultMessage == 0);
    EXPECT_TRUE(noForm != 0 && row[1].graphRow == -1 && row[1].resultMessage == noForm);
    EXPECT_TRUE(row[2].graphRow == -1 && row[2].resultMessage == 14);
    EXPECT_TRUE(row[3].graphRow == 1 && row[3].resultMessage == 0);
    auto* traced = static_cast<GraphTraced2D*>(document.viewSet.first2D->graphs.data[0]);
    EXPECT_EQ(traced->Color()->rgb, 0xff0000u);
  }
  ResetDocumentsStateForTests();
  ResetApplicationStateForTests();
  ResetEvaluationSeams();
  ResetTreeSeams();
  FreeEvalScratch();  // compiles grow the process-wide scratch
  ReleaseNodePools();
  EXPECT_EQ(GetBytesInUse(), bytesBefore);
}

}  // namespace
