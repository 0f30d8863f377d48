// The document record as the graphs' DocumentServices: its flags, the modified mark that a demo
// leaves alone, the benchmark word, the number format, the rows it owns, the kernel seams it fills
// (defined values for evaluation, complex names for UsesComplexNumbers), the probe's redraw
// services, and its rows' graphs built with each row's own values.
#include <gtest/gtest.h>

#include "document/document_record.h"
#include "graphs/core/graph_color.h"
#include "graphs/factory/equation_form.h"
#include "graphs/kinds2d/traced_graph.h"
#include "kernel/application_state.h"
#include "kernel/eval/evaluation_scratch.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/text/formula_reader.h"
#include "kernel/text/number_settings.h"
#include "kernel/trees/node_builders.h"
#include "kernel/trees/tree_seams.h"
#include "tests/document/document_test_support.h"
#include "tests/platform/draw_test_support.h"

namespace {

ExprNode* Read(const char* text) { return SetFormulaReaderText(text), ParseFormulaText(); }

class DocumentRecordTest : public document_test::DocumentTest {};

TEST_F(DocumentRecordTest, FlagsMarksNumberFormatAndTheKernelSeams) {
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
}

// The probe's two redraw services: the pane is redrawn for the first 2D view only while the second
// 2D view is shown beside it (the sentinel colour over that view's rectangle goes), and the tick
// rate the view set is paced at is one second's ticks.
TEST_F(DocumentRecordTest, PaneRedrawForBoth2DViewsAndTheTickRate) {
  {
    constexpr uint32_t kSentinel = 0x00123456u;
    draw_test::Canvas canvas(200, 100);
    DocumentRecord document(MakeRect(0, 0, 200, 100));
    GraphViewSet& set = document.viewSet;
    const struct { bool beside; GraphView* asking; bool redrawn; } cases[] = {
        {true, set.first2D, true}, {true, set.second2D, false}, {false, set.first2D, false}};
    for (const auto& c : cases) {
      set.secondary = c.beside ? set.second2D : nullptr;
      ViewSetSetPaneRect(&set, set.paneRect);
      canvas.Fill([&](int32_t, int32_t) { return kSentinel; });
      document.RedrawGraphPaneIfBoth2D(c.asking);
      const QDRect second = set.second2D->rect;
      EXPECT_EQ(canvas.At(second.right - 1, second.bottom - 1) != kSentinel, c.redrawn) << c.beside;
    }
    EXPECT_EQ(document.viewSetTickRate, 0);
    document.SetViewSetTickRate();
    EXPECT_EQ(document.viewSetTickRate, kTicksPerSecond);
  }
}

// Each row's colour and xy type reach its graphs; an equation of no form gets the classifier's
// explanation, a form whose kind is missing (a surface in the plane) the factory's message 14.
TEST_F(DocumentRecordTest, RowGraphsAreBuiltWithTheRowsOwnValues) {
  {
    DocumentRecord document(MakeRect(0, 0, 200, 200));
    const char* rows[] = {"equal[y,x]", "equal[y,t]", "equal[z,times[x,y]]", "equal[z,times[x,y]]"};
    for (const char* text : rows) ASSERT_NE(document.AppendEquationRow(Read(text)), nullptr);
    EquationRow* row = document.rows.data;
    row[0].color = 2;                      // red
    row[2].xyType = 1, row[3].xyType = 3;  // a surface, level lines
    const int32_t noForm = ClassifyEquationList(row[1].expression, false, false, &document);
    EXPECT_EQ(BuildDocumentRowGraphs(&document), 1);
    EXPECT_TRUE(row[0].graphRow == 0 && row[0].resultMessage == 0);
    EXPECT_TRUE(noForm != 0 && row[1].graphRow == -1 && row[1].resultMessage == noForm);
    // The surface goes to the first 3D view, which shows it once the document is drawn in 3D.
    EXPECT_TRUE(row[2].graphRow == 1 && row[2].resultMessage == 0);
    EXPECT_EQ(document.viewSet.first3D->graphs.count, 1);
    EXPECT_TRUE(row[3].graphRow == 2 && row[3].resultMessage == 0);
    auto* traced = static_cast<GraphTraced2D*>(document.viewSet.first2D->graphs.data[0]);
    EXPECT_EQ(traced->Color()->rgb, 0xff0000u);
  }
}

}  // namespace
