// Random documents: seeded rows of equations, relations, tuples, comma lists with conditions and
// definitions, mixed with empty comma lists and empty or one-sided comparisons, go through
// everything the document does with its rows: classification in each view (the tree must come
// back as it was, a row without a form must get a message 14..25), the form traits, the
// definition list, the building of the graphs, their computing to completion and the drawing of
// the pane. Nothing may crash, leak or break the view set's invariants.
#include <random>
#include <string>
#include <vector>

#include "graphs/factory/definitions.h"
#include "graphs/factory/equation_form.h"
#include "kernel/threads/timers.h"
#include "tests/document/document_test_support.h"
#include "tests/kernel/trees/tree_test_support.h"
#include "tests/platform/draw_test_support.h"

namespace {

class RandomDocumentTest : public document_test::DocumentTest {};

// Row texts in the vocabulary of graphs: small expressions over the coordinates, a parameter and
// i (every operator with its own number of operands, as the reader makes them), in the shapes the
// classifier tells apart, with definitions, sliders, complex points and the degenerate rows.
class RandomRows {
 public:
  explicit RandomRows(uint32_t seed) : pick_(seed) {}

  std::string Row() {
    switch (Below(14)) {
      case 0: return "comma[]";
      case 1: return Below(2) ? "lessthan[]" : "greaterthan[" + Expression(1) + "]";
      case 2: return "comma[" + Equation() + ",greaterthan[]]";
      case 3: return "comma[" + Equation() + "," + Relation() + "]";
      case 4: return Relation();
      case 5: return Tuple();
      case 6: return "comma[" + Tuple() + "," + Relation() + "]";
      case 7: return "equal[function[f,x]," + Expression(2) + "]";
      case 8: return "equal[a,slider[id[comma[0,2]]]]";
      case 9: return "equal[p,plus[1,times[2,i]]]";
      case 10: return Expression(3);
      default: return Equation();
    }
  }

 private:
  int Below(int n) { return static_cast<int>(pick_() % static_cast<uint32_t>(n)); }
  std::string Expression(int depth) {
    static const char* const kLeaves[] = {"x", "y", "x", "y", "x", "z", "r", "theta", "a", "i", "2", "0.5", "t", "phi"};
    static const char* const kUnary[] = {"sin", "minus", "sqrt"};
    static const char* const kBinary[] = {"plus", "times", "over"};
    if (depth <= 0 || Below(3) == 0) return kLeaves[Below(14)];
    switch (Below(3)) {
      case 0: return std::string(kUnary[Below(3)]) + "[" + Expression(depth - 1) + "]";
      case 1: return "power[" + Expression(depth - 1) + "," + std::to_string(Below(4)) + "]";
      default: return std::string(kBinary[Below(3)]) + "[" + Expression(depth - 1) + "," + Expression(depth - 1) + "]";
    }
  }
  std::string Equation() {
    static const char* const kLeft[] = {"y", "x", "z", "r", "theta", "w"};
    return std::string("equal[") + kLeft[Below(6)] + "," + Expression(2) + "]";
  }
  std::string Relation() {
    static const char* const kKinds[] = {"lessthan", "greaterthan", "leq", "equal"};
    return std::string(kKinds[Below(4)]) + "[" + Expression(2) + "," + Expression(2) + "]";
  }
  std::string Tuple() {
    if (Below(2)) return "equal[matrix[2,1,x,y],matrix[2,1," + Expression(2) + "," + Expression(2) + "]]";
    return "equal[matrix[3,1,x,y,z],matrix[3,1," + Expression(2) + "," + Expression(2) + "," + Expression(2) + "]]";
  }
  std::mt19937 pick_;
};

TEST_F(RandomDocumentTest, RowsOfEveryShapeAndTheDegenerateOnesAreClassifiedBuiltAndDrawn) {
  draw_test::Canvas canvas(120, 90);
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    RandomRows rows(seed);
    DocumentRecord document(MakeRect(0, 0, 120, 90));
    document.antialiased = seed % 2 == 0;
    SetCurrentDocument(&document);
    for (int k = 0; k < 8; ++k) {
      const std::string text = rows.Row();
      ExprNode* tree = tree_test::Build(text.c_str());
      ASSERT_NE(tree, nullptr) << text;
      ASSERT_NE(document.AppendEquationRow(tree), nullptr);
    }
    for (int32_t i = 0; i < document.RowCount(); ++i) {
      ExprNode* row = document.rows.data[i].expression;
      ExprNode* copy = CopyExpression(row);
      for (int view = 0; view < 3; ++view) {
        const bool flag3D = view == 1, flag4D = view == 2;
        if (ClassifyEquationForGraph(row, flag3D, flag4D, &document) == 0) {
          const int32_t message = ClassifyEquationList(row, flag3D, flag4D, &document);
          EXPECT_TRUE(message >= 14 && message <= 25) << seed << " " << tree_test::Text(row) << ": " << message;
        }
        ASSERT_TRUE(ExpressionsEqual(row, copy)) << seed << " " << tree_test::Text(copy) << " changed";
      }
      GetEquationFormTraits(row, 1.0, &document);
      AnyEquationHasProperty(row);
      ASSERT_TRUE(ExpressionsEqual(row, copy)) << seed << " " << tree_test::Text(copy) << " changed";
      FreeExpression(copy);
    }
    FreeExpression(CollectDefinitionEquations(&document));

    BuildDocumentRowGraphs(&document);
    GraphViewSet& set = document.viewSet;
    for (int32_t i = 0; i < document.RowCount(); ++i) {
      const EquationRow& row = document.rows.data[i];
      EXPECT_TRUE(row.graphRow >= -1 && row.graphRow < set.graphTable.count) << seed << " row " << i;
      EXPECT_TRUE(row.resultMessage >= 0 && row.resultMessage <= 25) << seed << " row " << i;
    }
    for (int round = 0; round < 40 && !ViewSetAllViewsReady(&set); ++round) {
      ViewSetIdleTick(&set, static_cast<int32_t>(TicksToTimerUnits(30)));
    }
    EXPECT_TRUE(ViewSetAllViewsReady(&set)) << seed;  // every graph completes, failed ones included
    for (int32_t row = 0; row < set.graphTable.count; ++row) {
      const int32_t status = ViewSetGetSlotEntry(&set, row);
      EXPECT_TRUE(status >= 0 && status <= 25) << seed << " graph " << row << ": " << status;
    }
    ViewSetActivate(&set, 2);
    EXPECT_TRUE(CheckViewSet(&set)) << seed;
    EXPECT_TRUE(CheckGraphView2D(*set.first2D)) << seed;
    SetCurrentDocument(nullptr);
  }
}

}  // namespace
