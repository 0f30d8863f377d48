// The bracket-notation writer against the reader: read(write(t)) == t for random trees of
// every kind the reader can name (strict equality: values bit for bit, display texts,
// parameters), under both separators; the forms without a bracket form are reported.
#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "kernel/text/bracket_writer.h"
#include "kernel/text/number_text.h"
#include "kernel/trees/node_kinds.h"
#include "tests/kernel/text/formula_test_support.h"
#include "tests/kernel/trees/tree_test_support.h"

namespace {

using BracketWriter = FormulaTextTest;

std::string Bracket(const ExprNode* tree, bool* exact = nullptr) { return TakeText(FormatExpressionBracket(tree, exact)); }

TEST_F(BracketWriter, TextReadsBackAsTheSameTree) {
  for (char separator : {'.', ','}) {
    SetDecimalSeparator(separator);
    tree_test::RandomTree random(separator == '.' ? 2024u : 77u);
    for (int i = 0; i < 1000; ++i) {
      ExprNode* tree = random.Make(1 + i % 5);
      ASSERT_TRUE(CheckExpressionTree(tree));
      bool exact = false;
      const std::string text = Bracket(tree, &exact);
      EXPECT_TRUE(exact) << text;
      ExprNode* back = Parse(text);
      ASSERT_NE(back, nullptr) << text;
      std::string why;
      EXPECT_TRUE(StrictlyEqual(tree, back, &why)) << why << "\n" << text;
      EXPECT_TRUE(CheckExpressionTree(back));
      // And the second writing is identical: the text is a fixed point.
      EXPECT_EQ(Bracket(back), text);
      FreeExpression(back);
      FreeExpression(tree);
      if (HasFailure()) return;
    }
  }
}

TEST_F(BracketWriter, WritesTheReadersForms) {
  struct Case { const char* tree; const char* text; };
  const Case cases[] = {
      {"plus[x,times[2,alpha]]", "plus[x,times[num[2,\"2\"],alpha]]"},
      {"matrix[2,2,a,b,c,d]", "matrix[2,2,a,b,c,d]"}, {"chem[1,2,3,4,X]", "chem[1,2,3,4,X]"},
      {"indexes[1,0,x,i]", "indexes[1,0,x,i]"}, {"tensor[-5,]", "tensor[-5,]"},
      {"string[\"a\"\"b\"]", "string[\"a\"\"b\"]"}, {"char[7]", "char[7]"}, {"dummy[beta]", "dummy[beta]"},
      {"num[0.1,\"0.1\"]", "num[0.10000000000000001,\"0.1\"]"}, {"plus[,x]", "plus[,x]"},
      {"plus[x,]", "plus[x,]"}, {"sin[NaN]", "sin[NaN]"}, {"", ""}, {"Infinity", "num[inf,\"Infinity\"]"},
      {"num[-inf,\"-Infinity\"]", "num[-inf,\"-Infinity\"]"}, {"sin[]", "sin[]"}, {"prompt[]", "prompt[]"},
  };
  for (const Case& c : cases) {
    SetDecimalSeparator(',');
    ExprNode* tree = Parse(c.tree);
    ASSERT_NE(tree, nullptr) << c.tree;
    bool exact = false;
    EXPECT_EQ(Bracket(tree, &exact), c.text) << c.tree;
    EXPECT_TRUE(exact) << c.tree;
    FreeExpression(tree);
  }
}

TEST_F(BracketWriter, ReportsWhatHasNoBracketForm) {
  struct Case { ExprNode* tree; std::string text; };
  ExprNode* re = NewUnaryNode(KindRe, NewSymbolNode('z'));
  ExprNode* im = NewNode(KindIm, 0);
  ExprNode* infix = NewNode(KindInfix, 0);
  ExprNode* internal = NewNode(KindDerivativePartial, 0);
  ExprNode* primed = NewSymbolNode(0x7078);
  ExprNode* longString = NewStringNode(std::string(120, 's').data(), 120);
  ExprNode* badMatrix = NewNode(KindMatrix, 1);
  badMatrix->value.halves = NodeHalves{2, 2};
  SetChild(badMatrix, 0, NewSymbolNode('a'));
  const Case cases[] = {
      {re, "real[z]"}, {im, "imag[]"}, {infix, "prompt[]"}, {internal, "prompt[]"}, {primed, "prompt[]"},
      {longString, "string[\"" + std::string(99, 's') + "\"]"}, {badMatrix, "matrix[2,2,a]"},
  };
  for (const Case& c : cases) {
    ASSERT_NE(c.tree, nullptr);
    bool exact = true;
    const std::string text = Bracket(c.tree, &exact);
    EXPECT_FALSE(exact) << text;
    EXPECT_EQ(text, c.text);
    FreeExpression(c.tree);
  }
  // A record whose text would override its value keeps the value.
  for (double value : {-static_cast<double>(INFINITY), 2.5}) {
    for (const char* text : {"Infinity", "NaN"}) {
      ExprNode* number = NewNumberNode(value);
      SetNumberText(number, text, std::strlen(text));
      bool exact = true;
      const std::string written = Bracket(number, &exact);
      EXPECT_FALSE(exact) << written;
      ExprNode* back = Parse(written);
      ASSERT_NE(back, nullptr) << written;
      EXPECT_EQ(back->value.number->value, value) << written;
      FreeExpression(back);
      FreeExpression(number);
    }
  }
}

TEST_F(BracketWriter, ExactMeansTheNumberReadsBackUnchanged) {
  // Records built by hand: exact must hold exactly when the reader gives the record back.
  struct Case { char separator; double value; const char* text; bool exact; };
  const Case cases[] = {
      {'.', 2.5, "2.5", true},
      {'.', 2.5, "", false},                        // the number pass writes "2.5"
      {'.', 2.5, "3", false},
      {'.', 0.123456789012, "0.12345679", true},    // already the pass's own text
      {'.', 1.5e-7, "1.5e-07", true}, {',', 1.5, "1,5", true},
      {',', 1.5, "1.5", false},                     // the reader would localise this period
      {',', 1234.5, "1.234,5", false},
  };
  for (const Case& c : cases) {
    SetDecimalSeparator(c.separator);
    ExprNode* number = NewNumberNode(c.value);
    ASSERT_NE(number, nullptr);
    SetNumberText(number, c.text, std::strlen(c.text));
    bool exact = !c.exact;
    const std::string text = Bracket(number, &exact);
    EXPECT_EQ(exact, c.exact) << text;
    ExprNode* back = Parse(text);
    ASSERT_NE(back, nullptr) << text;
    EXPECT_EQ(StrictlyEqual(number, back), c.exact) << text;
    FreeExpression(back);
    FreeExpression(number);
  }
}

TEST_F(BracketWriter, DeepTreesAreCutAtTheReadersDepth) {
  ExprNode* root = NestedChain(KindSin, kMaxFormulaDepth + 5);
  ASSERT_NE(root, nullptr);
  bool exact = true;
  const std::string text = Bracket(root, &exact);
  EXPECT_FALSE(exact);
  ExprNode* back = Parse(text);
  ASSERT_NE(back, nullptr);  // the cut text is still within the reader's limit
  EXPECT_EQ(CountSubtreeNodes(back), kMaxFormulaDepth);
  FreeExpression(back);
  FreeExpression(root);
}

}  // namespace
