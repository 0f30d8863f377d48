// The bracket-notation writer against the reader: read(write(t)) == t for random trees of
// every kind the reader can name (strict equality: values bit for bit, display texts,
// parameters), under both separators; the forms without a bracket form are reported.
#include <cmath>
#include <cstring>
#include <string>

#include "kernel/text/bracket_writer.h"
#include "kernel/text/number_text.h"
#include "kernel/trees/node_kinds.h"
#include "tests/kernel/text/formula_tree_compare.h"
#include "tests/kernel/trees/tree_test_support.h"

namespace {

using BracketWriter = tree_test::TreeTest;
using tree_test::TakeText;

std::string Bracket(const ExprNode* tree, bool* exact = nullptr) { return TakeText(FormatExpressionBracket(tree, exact)); }

TEST_F(BracketWriter, TextReadsBackAsTheSameTree) {
  for (char separator : {'.', ','}) {
    SetDecimalSeparator(separator);
    tree_test::RandomTree random(separator == '.' ? 2024u : 77u);
    for (int i = 0; i < 1000 && !HasFailure(); ++i) {
      ExprNode* tree = random.Make(1 + i % 5);
      bool exact = false;
      const std::string text = Bracket(tree, &exact);
      ExprNode* back = Parse(text);
      EXPECT_TRUE(exact && back != nullptr && StrictlyEqual(tree, back) && CheckExpressionTree(back)) << text;
      EXPECT_EQ(Bracket(back), text);  // the text is a fixed point
      FreeExpression(back);
      FreeExpression(tree);
    }
  }
}

TEST_F(BracketWriter, WritesTheReadersForms) {
  struct Case { const char* tree; const char* text; };
  const Case cases[] = {{"times[2,alpha]", "times[num[2,\"2\"],alpha]"}, {"num[0.1,\"0.1\"]", "num[0.10000000000000001,\"0.1\"]"},
                        {"char[7]", "char[7]"},  // a bare digit would read as a number
                        {"plus[,x]", "plus[,x]"}, {"sin[NaN]", "sin[NaN]"}, {"Infinity", "num[inf,\"Infinity\"]"}};
  SetDecimalSeparator(',');
  for (const Case& c : cases) {
    ExprNode* tree = Parse(c.tree);
    bool exact = false;
    EXPECT_TRUE(Bracket(tree, &exact) == c.text && exact) << c.tree << ": " << Bracket(tree);
    FreeExpression(tree);
  }
}

TEST_F(BracketWriter, ReportsWhatHasNoBracketForm) {
  ExprNode* badMatrix = NewNode(KindMatrix, 1);
  badMatrix->value.halves = NodeHalves{2, 2};
  SetChild(badMatrix, 0, NewSymbolNode('a'));
  struct Case { ExprNode* tree; std::string text; };
  const Case cases[] = {
      {NewUnaryNode(KindRe, NewSymbolNode('z')), "real[z]"}, {NewNode(KindInfix, 0), "prompt[]"},
      {NewNode(KindDerivativePartial, 0), "prompt[]"},       {NewSymbolNode(0x7078), "prompt[]"},
      {NewStringNode(std::string(120, 's').data(), 120), "string[\"" + std::string(99, 's') + "\"]"},
      {badMatrix, "matrix[2,2,a]"},
  };
  for (const Case& c : cases) {
    bool exact = true;
    EXPECT_TRUE(Bracket(c.tree, &exact) == c.text && !exact) << c.text;
    FreeExpression(c.tree);
  }
}

// Records built by hand: exact holds exactly when the reader gives the record back; a text that
// would override the value is replaced, and the value kept.
TEST_F(BracketWriter, ExactMeansTheNumberReadsBackUnchanged) {
  struct Case { char separator; double value; const char* text; bool exact; };
  const Case cases[] = {
      {'.', 2.5, "", false},  // the number pass writes "2.5"
      {'.', 0.123456789012, "0.12345679", true}, {',', 1.5, "1,5", true},  // already the pass's own text
      {',', 1.5, "1.5", false},                      // the reader would localise this period
      {',', 1234.5, "1.234,5", false}, {'.', -INFINITY, "Infinity", false}, {'.', 2.5, "NaN", false},
  };
  for (const Case& c : cases) {
    SetDecimalSeparator(c.separator);
    ExprNode* number = NewNumberNode(c.value);
    SetNumberText(number, c.text, std::strlen(c.text));
    bool exact = !c.exact;
    const std::string text = Bracket(number, &exact);
    ExprNode* back = Parse(text);
    ASSERT_NE(back, nullptr) << text;
    EXPECT_TRUE(exact == c.exact && StrictlyEqual(number, back) == c.exact && back->value.number->value == c.value) << text;
    FreeExpression(back);
    FreeExpression(number);
  }
}

TEST_F(BracketWriter, DeepTreesAreCutAtTheReadersDepth) {
  ExprNode* root = tree_test::Chain(KindSin, kMaxFormulaDepth + 5);
  bool exact = true;
  ExprNode* back = Parse(Bracket(root, &exact));  // the cut text is still within the reader's limit
  EXPECT_TRUE(!exact && back != nullptr && CountSubtreeNodes(back) == kMaxFormulaDepth);
  FreeExpression(back);
  FreeExpression(root);
}

}  // namespace
