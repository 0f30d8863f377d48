// The algebra command dispatch on an editor without fonts: every code on selections in modes 0,
// 1 and 5 with the caret afterwards, the codes and modes that run nothing, matrix blocks (well
// formed, malformed: visited in order or not at all), the distribution of operations over
// equations, and the dispatcher's hook. Goldens are worked by hand from each command's steps.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "algebra/algebra_commands.h"
#include "algebra/remote_integration.h"
#include "editor/edit_commands.h"
#include "editor/layout_driver.h"
#include "editor/typeset_state.h"
#include "kernel/text/number_settings.h"
#include "kernel/text/number_text.h"
#include "tests/algebra/algebra_test_support.h"

namespace {

using namespace algebra_test;

class AlgebraCommandTest : public AlgebraTest {};

// Codes the command table gives no step.
std::vector<int32_t> CodesWithoutSteps() {
  std::vector<int32_t> codes = {0x2001, 0x2204, 0x2205, 0x2110, 0x21FF};
  for (int32_t c = 0x2003; c <= 0x2006; ++c) codes.push_back(c);
  for (int32_t c = 0x2008; c <= 0x2015; ++c) codes.push_back(c);
  for (int32_t c = 0x2017; c <= 0x201A; ++c) codes.push_back(c);
  return codes;
}

struct Selection {
  const char* tree;
  const char* path;
  int32_t mode;
  int32_t start, end;
};

// The editor on the tree with the caret as given; layout marked valid, so a test sees it cleared.
struct Selected : CurrentEditor {
  explicit Selected(const Selection& s) : CurrentEditor(s.tree, s.path) {
    editor.selectionMode = s.mode;
    editor.selectionStart = s.start;
    editor.selectionEnd = s.end;
    editor.layoutValid = editor.displayValid = 1;
  }
};

struct CommandCase {
  Selection selection;
  int32_t code;
  const char* after;
  const char* caret;
};

TEST_F(AlgebraCommandTest, EachCodeOnSelectionsOfModesZeroOneAndFive) {
  const CommandCase cases[] = {
      // Mode 0: the command's steps on the caret node.
      {{"plus[1,2,3,x]", "", 0, 0, 0}, 0x2000, "plus[x,6]", " m0 0:0"},
      {{"equal[plus[y,sqrt[equal[x,4]]],1]", "01", 0, 0, 0}, 0x2000, "equal[plus[y,equal[sqrt[x],2]],1]", "01 m0 0:0"},
      {{"substitution[power[x,2],equal[x,3]]", "", 0, 0, 0}, 0x2000, "9", " m0 0:0"},
      {{"integral[x,x,0,1]", "", 0, 0, 0}, 0x2000,  // no server: the definite integral as substitutions
       "plus[substitution[integral[x,x],equal[x,1]],minus[substitution[integral[x,x],equal[x,0]]]]", " m0 0:0"},
      {{"times[a,plus[b,c]]", "", 0, 0, 0}, 0x2002, "plus[times[a,b],times[a,c]]", " m0 0:0"},
      {{"sum[k,equal[k,1],3]", "", 0, 0, 0}, 0x2002, "plus[sum[k,equal[k,2],3],1]", " m0 0:0"},
      {{"plus[1,2]", "", 0, 0, 0}, 0x2007, "3", " m0 0:0"},
      {{"equal[plus[x,1],3]", "00", 0, 0, 0}, 0x2016, "equal[x,2]", "0 m0 0:0"},
      {{"substitution[power[x,2],equal[x,3]]", "", 0, 0, 0}, 0x201B, "9", " m0 0:0"},
      {{"grad[f]", "", 0, 0, 0}, 0x201B,
       "matrix[3,1,function[oppartial[x],f],function[oppartial[y],f],function[oppartial[z],f]]", " m0 0:0"},
      {{"equal[plus[a,b],c]", "01", 0, 0, 0}, 0x2100, "equal[a,plus[minus[b],c]]", "10 m0 0:0"},
      {{"times[x,power[x,3]]", "0", 0, 0, 0}, 0x2101, "power[x,4]", "0 m0 0:0"},
      {{"plus[a,b,c,d]", "1", 0, 0, 0}, 0x2102, "plus[a,c,d,b]", "3 m0 0:0"},
      {{"equal[c,plus[a,b]]", "10", 0, 0, 0}, 0x2103, "equal[plus[c,minus[a]],b]", "01 m0 0:0"},
      {{"times[plus[a,b],3]", "1", 0, 0, 0}, 0x2104, "plus[times[3,a],times[b,3]]", "11 m0 0:0"},
      {{"plus[a,b,c,d]", "2", 0, 0, 0}, 0x2105, "plus[c,a,b,d]", "0 m0 0:0"},
      {{"over[a,s]", "1", 0, 0, 0}, 0x2106, "times[a,power[s,minus[1]]]", "1 m0 0:0"},
      {{"over[s,b]", "0", 0, 0, 0}, 0x2107, "over[1,times[power[s,minus[1]],b]]", "10 m0 0:0"},
      {{"over[a,b]", "1", 0, 0, 0}, 0x2108, "over[b,a]", "0 m0 0:0"},
      {{"over[a,b]", "0", 0, 0, 0}, 0x2109, "over[b,a]", "1 m0 0:0"},
      // Mode 1: the range grouped first, the command on the group only.
      {{"plus[1,2,3,x]", "", 1, 1, 2}, 0x2000, "plus[1,5,x]", "1 m0 0:0"},
      {{"plus[a,b,c,d]", "", 1, 1, 2}, 0x2007, "plus[a,plus[b,c],d]", "1 m0 0:0"},
      {{"times[a,b,plus[c,d]]", "", 1, 1, 2}, 0x2002, "times[a,plus[times[b,c],times[b,d]]]", "1 m0 0:0"},
      {{"plus[a,b,c,d]", "", 1, 1, 2}, 0x2100, "plus[a,d,plus[b,c]]", "2 m0 0:0"},
      {{"plus[a,b,c,d]", "", 1, 1, 2}, 0x2103, "plus[plus[b,c],a,d]", "0 m0 0:0"},
      {{"equal[plus[a,b,c],d]", "0", 1, 1, 2}, 0x2100, "equal[a,plus[minus[plus[b,c]],d]]", "10 m0 0:0"},
      {{"plus[a,b,c,d]", "", 1, 0, 1}, 0x2109, "plus[c,plus[a,b],d]", "1 m0 0:0"},
      {{"equal[plus[x,1,2],5]", "0", 1, 1, 2}, 0x2016, "equal[plus[1,2],plus[minus[x],5]]", "0 m0 0:0"},
      // Mode 5: each cell of the block; the block stays selected.
      {{"matrix[2,2,plus[1,1],plus[1,2],plus[1,3],plus[1,4]]", "", 5, 1, 3}, 0x2000,
       "matrix[2,2,plus[1,1],3,plus[1,3],5]", " m5 1:3"},
      {{"matrix[1,3,times[a,plus[b,c]],times[a,plus[b,c]],x]", "", 5, 0, 1}, 0x2002,
       "matrix[1,3,plus[times[a,b],times[a,c]],plus[times[a,b],times[a,c]],x]", " m5 0:1"},
      {{"matrix[1,2,a,b]", "", 5, 0, 1}, 0x2100, "matrix[1,2,a,b]", " m5 0:1"},  // a cell has no move
      {{"matrix[1,2,substitution[power[x,2],equal[x,3]],over[a,s]]", "", 5, 0, 1}, 0x201B,
       "matrix[1,2,9,over[a,s]]", " m5 0:1"},
      // The first cell's isolation selects the matrix, the right side, so the sides change places;
      // the second finds the matrix on the left. The matrix stays the block's, wherever it went.
      {{"equal[x,matrix[1,2,a,b]]", "1", 5, 0, 1}, 0x2016, "equal[matrix[1,2,a,b],x]", "0 m5 0:1"},
  };
  for (const CommandCase& c : cases) {
    Selected e(c.selection);
    RunAlgebraCommand(c.code);
    EXPECT_TRUE(Is(e.editor.root, c.after)) << c.selection.tree << " code " << std::hex << c.code;
    EXPECT_EQ(CaretPlace(e.editor), c.caret) << c.selection.tree << " code " << std::hex << c.code;
    EXPECT_FALSE(e.editor.layoutValid || e.editor.displayValid) << c.selection.tree;
  }
}

// How a formula's numbers read once laid out, in pre-order: a num node its text, an sn node its
// mantissa's text, "x10^" and its exponent's text.
std::string ShownNumbers(ExprNode* root) {
  std::string shown;
  TreeCursor cursor(root, WalkOrder::kPreOrder);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (n->kind == KindSn && n->arity == 2 && n->children[0]->kind == KindNum && n->children[1]->kind == KindNum) {
      shown += std::string(shown.empty() ? "" : " ") + n->children[0]->value.number->text + "x10^" +
               n->children[1]->value.number->text;
      cursor.Next();
      cursor.Next();
    } else if (n->kind == KindNum) {
      shown += std::string(shown.empty() ? "" : " ") + n->value.number->text;
    }
  }
  return shown;
}

// The numbers' values in pre-order, an sn node of numbers counting as its ScientificValue.
std::vector<double> NumberValues(ExprNode* root) {
  std::vector<double> values;
  TreeCursor cursor(root, WalkOrder::kPreOrder);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (n->kind == KindSn && n->arity == 2 && n->children[0]->kind == KindNum && n->children[1]->kind == KindNum) {
      values.push_back(ScientificValue(NumberValue(n->children[0]), NumberValue(n->children[1])));
      cursor.Next();
      cursor.Next();
    } else if (n->kind == KindNum) {
      values.push_back(NumberValue(n));
    }
  }
  return values;
}

// (x + 1)(x + 2)...(x + 24).
std::string TwentyFourFactors() {
  std::string text = "times[";
  for (int k = 1; k <= 24; ++k) text += (k > 1 ? ",plus[x," : "plus[x,") + std::to_string(k) + "]";
  return text + "]";
}

// Every number a Math command writes gets, from the layout's number pass, what a typed or read
// number gets: one that needs an exponent becomes an sn node of the document's digits, never a
// text with "e" in it, and keeps its value, bit for bit (whole numbers below 10^15 here; the
// coefficients of the 24 factors, up to 24! = 6.2e23, within two units in their last place); an
// undefined value shows NaN, not the prompt of digits the user cleared. Before, 238810495 and
// about one whole number in eight had no mantissa of their own and showed "2.388105e+08".
// Goldens: the sums and products worked by hand, 13! = 6227020800, 2^40 = 1099511627776.
TEST_F(AlgebraCommandTest, NumbersACommandWritesAreTypesetLikeTypedOnes) {
  struct Case { Selection selection; int32_t code; int digits; const char* shown; };
  const std::string factors = TwentyFourFactors();
  const Case cases[] = {
      {{"plus[238810000,495]", "", 0, 0, 0}, 0x2000, 8, "2.388105x10^8"},
      {{"plus[238810000,495]", "", 0, 0, 0}, 0x2000, 5, "2.3881x10^8"},
      {{"times[plus[x,238810000],plus[x,495]]", "", 0, 0, 0}, 0x2002, 8, "2 2.388105x10^8 1.1821095x10^11"},
      {{"fact[13]", "", 0, 0, 0}, 0x201B, 8, "6.2270208x10^9"},
      {{"plus[times[238810,1000],495]", "", 0, 0, 0}, 0x2007, 8, "2.388105x10^8"},
      {{"power[2,40]", "", 0, 0, 0}, 0x2007, 6, "1.09951x10^12"},
      {{"plus[x,over[0,0]]", "1", 0, 0, 0}, 0x2007, 8, "NaN"},
      {{"equal[times[2,x],477620990]", "01", 0, 0, 0}, 0x2016, 8, "2.388105x10^8"},
      {{"times[x,power[x,238810494]]", "0", 0, 0, 0}, 0x2101, 8, "2.388105x10^8"},
      {{"times[power[x,238810494],x]", "1", 0, 0, 0}, 0x2104, 8, "2.388105x10^8"},
      {{factors.c_str(), "", 0, 0, 0}, 0x2002, 8, nullptr},  // the README's expansion
  };
  for (const Case& c : cases) {
    SetDisplayDigits(c.digits);
    Selected e(c.selection);
    RunAlgebraCommand(c.code);
    const std::vector<double> values = NumberValues(e.editor.root);
    SplitNumberTexts(&e.editor, e.editor.root);
    const std::string shown = ShownNumbers(e.editor.root);
    EXPECT_EQ(shown.find_first_of("eE"), std::string::npos) << shown;
    if (c.shown != nullptr) {
      EXPECT_EQ(shown, c.shown) << c.selection.tree << " code " << std::hex << c.code;
    }
    const std::vector<double> after = NumberValues(e.editor.root);
    ASSERT_EQ(after.size(), values.size()) << c.selection.tree;
    for (size_t i = 0; i < values.size(); ++i) {
      const double v = std::fabs(values[i]), unit = v < 1e15 ? 0 : std::nextafter(v, HUGE_VAL) - v;
      EXPECT_TRUE(std::isnan(values[i]) ? std::isnan(after[i]) : std::fabs(after[i] - values[i]) <= 2 * unit)
          << values[i] << " became " << after[i] << " in " << c.selection.tree;
    }
  }
  ResetNumberSettingsForTests();
}

// No step: the tree and the selection as they were (a range is not even grouped), the layout
// invalidated; and no step at all in the modes that select no node.
TEST_F(AlgebraCommandTest, CodesWithoutStepsAndModesWithoutNodesChangeNothing) {
  const Selection selections[] = {
      {"plus[a,b,c,d]", "1", 0, 0, 0},
      {"plus[a,b,c,d]", "", 1, 1, 2},
      {"matrix[2,2,plus[1,1],plus[1,2],plus[1,3],plus[1,4]]", "", 5, 0, 3},
  };
  for (const Selection& s : selections) {
    for (int32_t code : CodesWithoutSteps()) {
      Selected e(s);
      ExprNode* before = CopyTree(e.editor.root);
      const std::string caret = CaretPlace(e.editor);
      RunAlgebraCommand(code);
      EXPECT_TRUE(SameWithValueWords(e.editor.root, before)) << s.tree << " code " << std::hex << code;
      EXPECT_EQ(CaretPlace(e.editor), caret) << s.tree << " code " << std::hex << code;
      EXPECT_FALSE(e.editor.layoutValid || e.editor.displayValid);
      FreeExpression(before);
    }
  }
  for (int32_t mode : {2, 3, 4, 6, 7}) {
    for (int32_t code : {0x2000, 0x2002, 0x2007, 0x2016, 0x201B, 0x2100, 0x2106, 0x2109}) {
      Selected e({"plus[1,2,times[3,4]]", "2", mode, 0, 0});
      RunAlgebraCommand(code);
      EXPECT_TRUE(Is(e.editor.root, "plus[1,2,times[3,4]]")) << "mode " << mode << " code " << std::hex << code;
      EXPECT_EQ(CaretPlace(e.editor), "2 m" + std::to_string(mode) + " 0:0");
      EXPECT_FALSE(e.editor.layoutValid || e.editor.displayValid);
    }
  }
  // 0x2204 with a matrix block: nothing, the block kept.
  Selected block({"matrix[1,2,plus[1,1],plus[1,1]]", "", 5, 0, 1});
  RunAlgebraCommand(0x2204);
  EXPECT_TRUE(Is(block.editor.root, "matrix[1,2,plus[1,1],plus[1,1]]"));
}

// The cells of a block go in rows from the top, left to right in a row: the order in which
// their integrals reach the (fake) server.
TEST_F(AlgebraCommandTest, ABlockIsVisitedRowByRowAndStaysSelected) {
  struct Recording : IntegrationTransport {
    std::optional<std::string> PostForm(const std::string&, const std::string& body, const TransferLimits&) override {
      bodies.push_back(body);
      return std::nullopt;
    }
    std::vector<std::string> bodies;
  } server;
  RemoteIntegrationGlobals().server = "127.0.0.1";
  RemoteIntegrationGlobals().transport = &server;
  Selected e({"matrix[2,3,integral[a,x],integral[b,x],integral[c,x],integral[d,x],integral[f,x],integral[g,x]]",
              "", 5, 1, 5});
  RunAlgebraCommand(0x2000);
  const std::vector<std::string> order = {"thecommand=%28integrate+b+x%29", "thecommand=%28integrate+c+x%29",
                                          "thecommand=%28integrate+f+x%29", "thecommand=%28integrate+g+x%29"};
  EXPECT_EQ(server.bodies, order);
  EXPECT_EQ(CaretPlace(e.editor), " m5 1:5");

  // Numeric evaluation of the Part's block: cells 1, 2, 4, 5 become numbers, 0 and 3 stay.
  Selected numbers({"matrix[2,3,plus[1,1],plus[1,2],plus[1,3],plus[2,1],plus[2,2],plus[2,3]]", "", 5, 1, 5});
  RunAlgebraCommand(0x2007);
  EXPECT_TRUE(Is(numbers.editor.root, "matrix[2,3,plus[1,1],3,4,plus[2,1],4,5]"));
  EXPECT_EQ(CaretPlace(numbers.editor), " m5 1:5");
}

// A block on a matrix whose word disagrees with its cells, or whose corners lie outside them, or
// whose last column is left of its first, visits no cell (AddressSanitizer watches the reads).
TEST_F(AlgebraCommandTest, AMalformedBlockVisitsNoCell) {
  struct Malformed {
    const char* why;
    int16_t rows, columns;
    int32_t start, end;
  };
  const Malformed cases[] = {
      {"no columns", 2, 0, 0, 3},          {"no rows", 0, 2, 0, 3},
      {"more cells named than held", 3, 3, 0, 3},
      {"fewer cells named than held", 1, 2, 0, 1},
      {"end beyond the cells", 2, 2, 0, 4}, {"start beyond the cells", 2, 2, 9, 3},
      {"negative start", 2, 2, -1, 3},     {"negative columns", 2, -2, 0, 3},
      {"last column left of the first", 2, 2, 1, 2},
  };
  for (const Malformed& m : cases) {
    Selected e({"matrix[2,2,plus[1,1],plus[1,1],plus[1,1],plus[1,1]]", "", 5, m.start, m.end});
    e.editor.root->value.halves = NodeHalves{m.rows, m.columns};
    ExprNode* before = CopyTree(e.editor.root);
    RunAlgebraCommand(0x2007);
    EXPECT_TRUE(SameWithValueWords(e.editor.root, before)) << m.why;
    FreeExpression(before);
    EXPECT_EQ(e.editor.selectionMode, SelectionMatrixBlock) << m.why;
    EXPECT_EQ(e.editor.caretNode, e.editor.root) << m.why;
  }
  Selected notMatrix({"plus[plus[1,1],plus[1,1]]", "", 5, 0, 1});
  RunAlgebraCommand(0x2007);
  EXPECT_TRUE(Is(notMatrix.editor.root, "plus[plus[1,1],plus[1,1]]"));
}

TEST_F(AlgebraCommandTest, OperationsAreDistributedOverEquations) {
  struct Distribution {
    const char* before;
    const char* after;
  };
  const Distribution cases[] = {
      {"sqrt[equal[x,4]]", "equal[sqrt[x],sqrt[4]]"},
      {"plus[id[equal[a,b]],c]", "equal[plus[a,c],plus[b,c]]"},
      {"minus[equal[a,b,c]]", "equal[minus[a],minus[b],minus[c]]"},
      {"sin[sqrt[equal[x,y]]]", "equal[sin[sqrt[x]],sin[sqrt[y]]]"},
      {"list[equal[a,b],c]", "equal[list[a,c],list[b,c]]"},  // a list of equations too
      // One level a command: the walk goes on after the distributed operand.
      {"plus[equal[a,b],equal[c,d]]", "equal[plus[a,equal[c,d]],plus[b,equal[c,d]]]"},
      // These keep their equations.
      {"comma[f,equal[x,1]]", "comma[f,equal[x,1]]"},
      {"sum[k,equal[k,1],n]", "sum[k,equal[k,1],n]"},
      {"substitution[f,equal[x,1]]", "substitution[f,equal[x,1]]"},
      {"rightarrow[equal[a,b],c]", "rightarrow[equal[a,b],c]"},
      {"times[2,sum[k,equal[k,1],n]]", "times[2,sum[k,equal[k,1],n]]"},
      {"equal[a,b]", "equal[a,b]"},
  };
  for (const Distribution& c : cases) {
    CurrentEditor e(c.before);
    NormalizeSelectionChildren();
    EXPECT_TRUE(Is(e.editor.root, c.after)) << c.before;
    EXPECT_EQ(CaretPlace(e.editor), " m0 0:0");
  }
  {  // With memory already out, nothing.
    CurrentEditor e("sqrt[equal[x,4]]");
    SetOutOfMemoryFlag(true);
    NormalizeSelectionChildren();
    SetOutOfMemoryFlag(false);
    EXPECT_TRUE(Is(e.editor.root, "sqrt[equal[x,4]]"));
  }
  {  // An equation without sides, and a result past 100,000 nodes, are left alone.
    CurrentEditor e("sqrt[equal[]]");
    NormalizeSelectionChildren();
    EXPECT_TRUE(Is(e.editor.root, "sqrt[equal[]]"));
  }
  std::string wide = "plus[equal[a,b,c,d,e,f,g,h,i,j,k]";
  for (int k = 0; k < 9999; ++k) wide += ",x";
  CurrentEditor big((wide + "]").c_str());
  const int nodes = CountSubtreeNodes(big.editor.root);
  DistributeOverEquation(big.editor.root, 0);
  EXPECT_EQ(big.editor.root->kind, KindPlus);
  EXPECT_EQ(CountSubtreeNodes(big.editor.root), nodes);
}

// Random trees of any shape (operand counts their kinds do not expect included) through every
// code, the caret anywhere, in modes 0, 1 and 5 with any start and end: valid trees, the caret on
// a node of the formula, no pool block leaked.
TEST_F(AlgebraCommandTest, RandomTreesThroughEveryCodeAndSelection) {
  checkBytes_ = false;
  // The codes with steps four times in five, each mode-0 selection three times in five.
  const std::vector<int32_t> steps = {0x2000, 0x2002, 0x2007, 0x2016, 0x201B, 0x2100, 0x2101, 0x2102,
                                      0x2103, 0x2104, 0x2105, 0x2106, 0x2107, 0x2108, 0x2109};
  const std::vector<int32_t> others = CodesWithoutSteps();
  // The kinds the moves look at, then every kind.
  const std::vector<uint32_t> moved = {KindPlus, KindTimes, KindEqual, KindMinus, KindOver,   KindPower,
                                       KindId,   KindSqrt,  KindSum,   KindProd,  KindInt,    KindIntegral,
                                       KindList, KindComma, KindIndexes, KindTensor, KindMatrix, KindSin};
  int changed = 0;
  for (int round = 0; round < 2; ++round) {
    tree_test::RandomTree random(3636 + round, round == 0 ? moved : std::vector<uint32_t>{});
    auto pick = [&random](const std::vector<int32_t>& from) { return from[random.Below(static_cast<int>(from.size()))]; };
    for (int i = 0; i < 1000; ++i) {
      CurrentEditor e("x");
      FreeExpression(e.editor.root);
      e.editor.root = random.Make(5);
      for (int k = 0; k < 6; ++k) {
        TreeCursor cursor(e.editor.root, WalkOrder::kPreOrder);
        for (int n = random.Below(CountSubtreeNodes(e.editor.root)); n > 0; --n) cursor.Next();
        e.editor.caretNode = cursor.Current();
        e.editor.selectionMode = std::array<int32_t, 5>{0, 0, 0, 1, 5}[random.Below(5)];
        e.editor.selectionStart = random.Below(e.editor.caretNode->arity + 2) - 1;
        e.editor.selectionEnd = random.Below(e.editor.caretNode->arity + 2) - 1;
        const int32_t code = random.Below(5) == 0 ? pick(others) : pick(steps);
        ExprNode* before = CopyTree(e.editor.root);
        RunAlgebraCommand(code);
        changed += !ExpressionsEqual(before, e.editor.root);
        FreeExpression(before);
        ASSERT_TRUE(CheckExpressionTree(e.editor.root)) << Text(e.editor.root) << " code " << std::hex << code;
        ASSERT_NE(CaretPlace(e.editor), "outside") << Text(e.editor.root) << " code " << std::hex << code;
      }
    }
  }
  EXPECT_GT(changed, 800) << "too few commands changed anything to try the rules";
}

// The editor reaches the commands through its hook once the algebra is installed.
TEST_F(AlgebraCommandTest, TheDispatcherRunsTheCommandsThroughItsHook) {
  CurrentEditor e("plus[1,2,3,x]");
  e.editor.selectionMode = SelectionChildRange;
  e.editor.selectionStart = 0;
  e.editor.selectionEnd = 1;
  DoFormulaEditCommand(0x2000);
  EXPECT_TRUE(Is(e.editor.root, "plus[3,3,x]"));
  EXPECT_EQ(CaretPlace(e.editor), "0 m0 0:0");
}

}  // namespace
