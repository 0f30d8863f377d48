// Definitions, sliders and complex points: literal values, keys (the interpreter's additive form,
// so Greek subscripts stay distinct), slider values including a slider of no steps, the values a
// document gives its names, and the definition list written back as bracket text. Goldens are
// worked out by hand from the rules.
#include <string>
#include <vector>

#include "graphs/factory/definitions.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/text/bracket_writer.h"
#include "tests/graphs/graphs_test_support.h"

namespace {

using graphs_test::FakeDocument;
using graphs_test::Parse;
using graphs_test::Tree;

class DefinitionsTest : public graphs_test::GraphsTest {};

std::string BracketText(const ExprNode* tree) {
  if (tree == nullptr) return "<null>";
  char* text = FormatExpressionBracket(tree);
  std::string out = text != nullptr ? text : "<null>";
  FreeMemory(text);
  return out;
}

TEST_F(DefinitionsTest, ComplexLiteralValues) {
  const struct { const char* right; double re, im; } cases[] = {
      {"i", 0, 1}, {"times[2,i]", 0, 2}, {"plus[2,i]", 2, 1}, {"minus[times[2,i]]", 0, -2},
      {"plus[minus[2],i]", -2, 1}, {"plus[2,minus[times[minus[3],i]]]", 2, 3}};
  for (const auto& c : cases) {
    Tree tree(std::string("equal[p,") + c.right + "]");
    ASSERT_TRUE(IsComplexPointDefinition(tree)) << c.right;
    Complex value;
    ComplexLiteralValue(&value, tree->children[1]);
    EXPECT_TRUE(value.re == c.re && value.im == c.im) << c.right;
  }
}

TEST_F(DefinitionsTest, RowKindsAndKeys) {
  const struct {
    const char* text;
    bool definition, slider, complexPoint, subscriptedCoordinate;
    int32_t key;
  } cases[] = {
      {"equal[e,5]", false, false, false, false, 'e'},  // e is reserved
      {"equal[a,5]", true, false, false, false, 'a'},
      {"equal[indexes[0,1,a,1],slider[id[comma[0,1]]]]", true, true, false, false, 0x261},
      {"equal[b,slider[id[comma[0,times[b,x]]]]]", true, false, false, false, 'b'},  // x is no constant
      {"equal[b,slider[id[comma[0,1,2,3]]]]", true, false, false, false, 'b'},       // four items
      {"equal[function[f,x],power[x,2]]", true, false, false, false, 'f'},
      {"equal[x,plus[1,i]]", false, false, false, false, 'x'},                        // x is reserved
      {"equal[indexes[0,1,x,2],y]", true, false, false, true, 'x' + 3 * 256},
      {"equal[alpha,i]", true, false, true, false, 4864},
      {"equal[indexes[0,1,alpha,0],i]", true, false, true, false, 4864 + 256},  // distinct from alpha
      {"equal[indexes[0,1,alpha,1],i]", true, false, true, false, 4864 + 512},
      {"comma[equal[a,1],greaterthan[x,0]]", true, false, false, false, -1},  // a row item, no key
  };
  for (const auto& c : cases) {
    Tree tree(c.text);
    const bool kinds[4] = {IsDefinitionItem(tree), IsSliderDefinition(tree), IsComplexPointDefinition(tree),
                           IsSubscriptedCoordinateEquation(tree)};
    EXPECT_TRUE(kinds[0] == c.definition && kinds[1] == c.slider && kinds[2] == c.complexPoint &&
                kinds[3] == c.subscriptedCoordinate) << c.text;
    EXPECT_EQ(DefinedParameterKey(tree), c.key) << c.text;
  }
}

TEST_F(DefinitionsTest, SliderValuesClampAndSurviveNoSteps) {
  EquationRow row{0, nullptr, true, 0, 0.0, 10.0, 100};
  const struct { int32_t control, steps; double expected; } cases[] = {
      {150, 100, 10}, {-5, 100, 0}, {37, 100, 3.7}, {37, 0, 0}, {37, -3, 0}, {100, 100, 10}};
  for (const auto& c : cases) {
    row.sliderValue = c.control;
    row.sliderSteps = c.steps;
    EXPECT_DOUBLE_EQ(GetRowSliderValue(row), c.expected) << c.control << " of " << c.steps;
  }
}

TEST_F(DefinitionsTest, DocumentValuesFirstMatchingRowWins) {
  FakeDocument document;
  Complex none, point, slider;
  GetDefinedParameterValue(&none, 'a', &document);
  document.AddRow("equal[a,plus[3,times[4,i]]]");
  document.AddRow("equal[a,slider[id[comma[0,1]]]]").hasSliderControl = true;
  document.rows.push_back(EquationRow{0, Parse("equal[indexes[0,1,a,1],slider[id[comma[0,1]]]]"), true, 1, 0, 1, 4});
  GetDefinedParameterValue(&point, 'a', &document);
  GetDefinedParameterValue(&slider, 0x261, &document);
  EXPECT_TRUE(none.re == 1.0 && none.im == 0.0);      // no row: 1
  EXPECT_TRUE(point.re == 3.0 && point.im == 4.0);    // the complex point listed first wins
  EXPECT_TRUE(slider.re == 0.25 && slider.im == 0.0);
  EXPECT_TRUE(DocumentDefinesParameter('a', &document) && !DocumentDefinesParameter('b', &document));
  Tree uses("plus[a,indexes[0,1,a,1],b]");
  EXPECT_TRUE(IsNameDefinedInDocument(uses->children[0], &document) && TreeUsesComplexPointName(uses, &document));
  EXPECT_FALSE(IsNameDefinedInDocument(uses->children[1]->children[0], &document));  // a_1 is a slider
  EXPECT_FALSE(IsNameDefinedInDocument(uses->children[2], &document));
  // A raised index is no subscript: b^1 is not the defined b_1.
  document.AddRow("equal[indexes[0,1,b,1],plus[1,i]]");
  Tree raised("plus[indexes[0,1,b,1],indexes[1,0,b,1]]");
  EXPECT_TRUE(IsNameDefinedInDocument(raised->children[0]->children[0], &document));
  EXPECT_FALSE(IsNameDefinedInDocument(raised->children[1]->children[0], &document));
}

// The first collected row whole, later comma rows by their definition equations (a slider and a
// complex point among them), later plain rows as they stand; sliders, complex points and rows of
// no definition never start one.
TEST_F(DefinitionsTest, DefinitionListWrittenBack) {
  FakeDocument document;
  document.AddRow("equal[function[f,x],power[x,2]]");
  document.AddRow("equal[a,slider[id[comma[0,1]]]]");
  document.AddRow("comma[equal[function[g,t],plus[t,1]],greaterthan[t,0],equal[c,2]]");
  document.AddRow("equal[p,plus[1,i]]");
  document.AddRow("equal[y,x]");
  document.AddRow("equal[function[h,alpha],times[alpha,x]]");
  document.AddRow("comma[equal[k,3],equal[q,slider[id[comma[0,1]]]],equal[s,plus[1,i]],lessthan[x,1]]");
  ExprNode* list = CollectDefinitionEquations(&document);
  ASSERT_NE(list, nullptr);
  // Parameters become dummies in the pattern and the body; a Greek parameter stays a char in the
  // pattern while its uses in the body become dummies.
  EXPECT_EQ(BracketText(list),
            "list[equal[function[f,dummy[x]],power[dummy[x],num[2,\"2\"]]],"
            "equal[function[g,dummy[t]],plus[dummy[t],num[1,\"1\"]]],equal[c,num[2,\"2\"]],"
            "equal[function[h,alpha],times[dummy[alpha],x]],equal[k,num[3,\"3\"]],"
            "equal[q,slider[id[comma[num[0,\"0\"],num[1,\"1\"]]]]],equal[s,plus[num[1,\"1\"],i]]]");
  FreeExpression(list);

  const struct { std::vector<const char*> rows; const char* expected; } cases[] = {
      // A first comma row is copied whole, its condition and a slider included, as a list.
      {{"comma[equal[c,2],greaterthan[x,0],equal[b,slider[id[comma[0,1]]]]]", "equal[d,slider[id[comma[0,1]]]]"},
       "list[equal[c,num[2,\"2\"]],greaterthan[x,num[0,\"0\"]],equal[b,slider[id[comma[num[0,\"0\"],num[1,"
       "\"1\"]]]]]]"},
      {{"comma[equal[c,2]]"}, "list[equal[c,num[2,\"2\"]]]"},
      {{"equal[b,slider[id[comma[0,1]]]]", "equal[c,2]", "equal[p,i]"}, "equal[c,num[2,\"2\"]]"},  // one: bare
      {{"equal[b,slider[id[comma[0,1]]]]", "equal[p,i]", "equal[y,x]", "comma[greaterthan[x,0],equal[c,2]]"},
       "<null>"},
  };
  for (const auto& c : cases) {
    FakeDocument rows;
    for (const char* text : c.rows) rows.AddRow(text);
    ExprNode* collected = CollectDefinitionEquations(&rows);
    EXPECT_EQ(BracketText(collected), c.expected) << c.rows[0];
    FreeExpression(collected);
  }
  EXPECT_EQ(CollectDefinitionEquations(nullptr), nullptr);

  FakeDocument two;  // a copy that fails takes the whole list with it
  two.AddRow("equal[function[f,x],power[x,2]]");
  two.AddRow("equal[c,2]");
  int refused = 0;
  for (uint64_t n = 1; n <= 16; ++n) {
    FailNodeAllocationAt(n, true);
    ExprNode* partial = CollectDefinitionEquations(&two);
    FailNodeAllocationAt(0);
    refused += partial == nullptr;
    EXPECT_TRUE(partial == nullptr || partial->arity == 2) << "a list that exists is whole, failing at " << n;
    FreeExpression(partial);
  }
  EXPECT_GE(refused, 8);  // the list node and each node of both copies
}

// One definition row past the operand limit: no list, rather than the first 10,000 rows with the
// last dropped unseen, and error 7 at every collection (re-armed after each alert); exactly at the
// limit the list holds every row.
TEST_F(DefinitionsTest, DefinitionsPastTheOperandLimitAreRefusedAndTold) {
  ResetErrorRegister();
  for (const int32_t rows : {kMaxArity + 1, kMaxArity + 1, kMaxArity}) {
    FakeDocument document;
    for (int32_t k = 0; k < rows; ++k) document.AddRow("equal[c,2]");
    ExprNode* list = CollectDefinitionEquations(&document);
    const bool over = rows > kMaxArity;
    EXPECT_EQ(list == nullptr, over) << rows;
    EXPECT_EQ(PendingError(), over ? kErrorOutOfMemory : kErrorNone) << rows;
    if (list != nullptr) {
      EXPECT_EQ(list->arity, kMaxArity);
    }
    FreeExpression(list);
    ShowPendingError();
  }
}

}  // namespace
