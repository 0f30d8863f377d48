// The document record as the graphs' DocumentServices: its flags, the modified mark that a demo
// leaves alone, the benchmark word, the number format, the rows it owns, and the kernel seams it
// fills (defined values for evaluation, complex names for UsesComplexNumbers).
#include <gtest/gtest.h>

#include "document/document_record.h"
#include "graphs/graph_view_set.h"
#include "kernel/application_state.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/text/formula_reader.h"
#include "kernel/text/number_settings.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"
#include "kernel/trees/tree_seams.h"

namespace {

ExprNode* Read(const char* text) {
  SetFormulaReaderText(text);
  return ParseFormulaText();
}

class DocumentRecordTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetMemoryBudgetForTest();
    ReleaseNodePools();
    blocksBefore_ = NodePoolBlocksInUse();
    bytesBefore_ = GetBytesInUse();
  }
  void TearDown() override {
    ResetDocumentsStateForTests();
    ResetApplicationStateForTests();
    ResetEvaluationSeams();
    ResetTreeSeams();
    ResetNumberSettingsForTests();
    ReleaseNodePools();
    EXPECT_EQ(NodePoolBlocksInUse(), blocksBefore_);
    EXPECT_EQ(GetBytesInUse(), bytesBefore_);
  }
  size_t blocksBefore_ = 0;
  size_t bytesBefore_ = 0;
};

TEST_F(DocumentRecordTest, FlagsMarksAndNumberFormat) {
  DocumentRecord document;
  DocumentServices* services = &document;
  SetDocumentConditionFlag(services);
  services->MarkDocumentDirty();
  services->SetDocumentModified(true);
  EXPECT_EQ(document.rebuildFlag, 1);
  EXPECT_EQ(document.changedFlag, 1);
  EXPECT_EQ(document.modifiedFlag, 1);
  SetDemoMode(2);
  services->SetDocumentModified(false);  // a demo leaves the mark alone
  EXPECT_EQ(document.modifiedFlag, 1);
  EXPECT_FALSE(services->IsBenchmarkRunning());
  SetDemoMode(kBenchmarkDemoMode);
  EXPECT_TRUE(services->IsBenchmarkRunning());
  document.textFieldActive = 1;
  ViewSetDeleteAllGraphs(&document.viewSet);  // the view set reaches the record
  EXPECT_EQ(document.textFieldActive, 0);
  document.significantDigits = 12;
  ApplyDocumentNumberFormat(&document);
  EXPECT_EQ(GetDisplayDigits(), 12);
}

TEST_F(DocumentRecordTest, CurrentDocumentServesDefinedValuesAndComplexNames) {
  auto* document = new DocumentRecord;
  ASSERT_TRUE(document->AppendEquationRow(Read("equal[a,slider[id[comma[0,2]]]]")));
  ASSERT_TRUE(document->AppendEquationRow(Read("equal[p,plus[1,times[2,i]]]")));
  document->rows.data[0].hasSliderControl = true;
  document->rows.data[0].sliderValue = 25;
  document->rows.data[0].sliderMax = 2.0;  // the row keeps the range the slider was made with
  ExprNode* usesP = Read("times[2,p]");
  Complex value;
  LookUpDefinedValue(&value, 'a');
  EXPECT_EQ(value.re, 1.0);  // no current document: the default
  EXPECT_FALSE(UsesComplexNumbers(usesP));
  SetCurrentDocument(document);
  LookUpDefinedValue(&value, 'a');
  EXPECT_EQ(value.re, 0.5);
  LookUpDefinedValue(&value, 'p');
  EXPECT_EQ(value.im, 2.0);
  EXPECT_TRUE(UsesComplexNumbers(usesP));
  delete document;  // frees its rows, and stops being current
  EXPECT_EQ(DocumentsGlobals().current, nullptr);
  EXPECT_FALSE(UsesComplexNumbers(usesP));
  FreeExpression(usesP);
}

}  // namespace
