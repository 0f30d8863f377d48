// The formula text reader: the grammar's cases (hand-derived from the notation's rules),
// the limits on untrusted text, and that every failure, including injected allocation
// failures, leaves nothing allocated.
#include <cmath>
#include <string>
#include <vector>

#include "tests/kernel/text/formula_test_support.h"

#include "kernel/trees/node_kinds.h"
#include "platform/handles.h"

namespace {

std::string Repeat(const std::string& s, int n) {
  std::string out;
  out.reserve(s.size() * static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

using FormulaReader = FormulaTextTest;

TEST_F(FormulaReader, ReadsEachGrammarCase) {
  struct Case { const char* text; uint32_t kind; int arity; int symbol; };  // kind 0: refused
  const Case cases[] = {
      {"x", KindChar, 0, 'x'},       {"alpha", KindChar, 0, 4864}, {"pi", KindChar, 0, 4882},
      {"Im", KindChar, 0, 4906},
      {"Im[x]", KindChar, 0, 4906},  // a symbol ends the item; the rest is ignored
      {"x2", 0, 0, 0},               {"1e5", 0, 0, 0},             {"sin[x]", KindSin, 1, 0},
      {"sin[]", KindSin, 0, 0},      {"over[a,b,c]", KindOver, 3, 0}, {"plus[x, y]", 0, 0, 0},
      {" x", KindNum, 0, 0},  // an empty word before the blank: a NaN number, rest ignored
      {"plus[x,y", 0, 0, 0},         {"plus[Im[x],y]", 0, 0, 0},   {"num[NaN,\"x\"]", 0, 0, 0},
      {"infix[a]", 0, 0, 0},  // kinds past set cannot be named
      {"set[a]", KindSet, 1, 0},     {"prompt[]", KindPrompt, 0, 0}, {"prompt[x]", 0, 0, 0},
      {"char[x]", KindChar, 0, 'x'}, {"char[2]", KindChar, 0, '2'}, {"char[.]", KindChar, 0, '.'},
      {"char[beta]", KindChar, 0, 4865}, {"char[]", 0, 0, 0},      {"char[zz]", 0, 0, 0},
      {"dummy[t]", KindDummy, 0, 't'}, {"sin[(skipped)x]", KindSin, 1, 0}, {"sin[(unclosed x]", 0, 0, 0},
      {"plus[x,]", KindPlus, 2, 0},  {"sin[x]trailing", KindSin, 1, 0}, {"nosuchkind[x]", 0, 0, 0},
      {"sin", 0, 0, 0},              {"sin(x)", 0, 0, 0},          {"string[\"unterminated]", 0, 0, 0},
      // Refused after building part of the tree: the fixture proves the part was freed.
      {"plus[x,sin[y],matrix[2,2,a,b,c]]", 0, 0, 0}, {"plus[x,y,z,string[\"abc\"],q x]", 0, 0, 0},
      {"times[num[1,\"1\"],plus[a,b],", 0, 0, 0},     {"over[sin[cos[tan[x]]],Im[y]]", 0, 0, 0},
  };
  for (const Case& c : cases) {
    ExprNode* tree = Parse(c.text);
    if (c.kind == 0) {
      EXPECT_EQ(tree, nullptr) << c.text;
      EXPECT_NE(FormulaReaderError(), 0) << c.text;
      continue;
    }
    ASSERT_NE(tree, nullptr) << c.text;
    EXPECT_EQ(FormulaReaderError(), 0);
    EXPECT_EQ(tree->kind, c.kind) << c.text;
    EXPECT_EQ(tree->arity, c.arity) << c.text;
    EXPECT_EQ(tree->parent, nullptr);
    if (c.kind == KindChar || c.kind == KindDummy) {
      EXPECT_EQ(tree->value.symbol, c.symbol) << c.text;
    }
    EXPECT_TRUE(CheckExpressionTree(tree)) << c.text;
    FreeExpression(tree);
  }
}

TEST_F(FormulaReader, ReadsNumberWordsAndForms) {
  struct Case { const char* text; char separator; double value; const char* display; };
  const Case cases[] = {
      {"3.25", '.', 3.25, "3.25"},
      {"3.25", ',', 3.25, "3,25"},
      {"NaN", '.', NAN, "NaN"},
      {"", '.', NAN, ""},
      {"Infinity", '.', INFINITY, "Infinity"},
      {"num[2.5,\"2.5\"]", ',', 2.5, "2,5"},
      {"num[-7,\"-7\"]", '.', -7.0, "-7"},
      {"num[1,\"Infinity\"]", '.', INFINITY, "Infinity"},  // the text decides
      {"num[1,\"NaN\"]", '.', NAN, "NaN"},
      {"num[-inf,\"-Infinity\"]", '.', -INFINITY, "-Infinity"},
      {"num[(x)0.5,\"0.5\"]", '.', 0.5, "0.5"},
      {"num[0.5 junk,\"0.5\"]", '.', 0.5, "0.5"},  // text up to the comma is skipped
      {"num[0.5,\"a\"\"b\"]", '.', 0.5, "0.5"},    // a text that does not match is redone
  };
  for (const Case& c : cases) {
    SetDecimalSeparator(c.separator);
    ExprNode* tree = Parse(c.text);
    ASSERT_NE(tree, nullptr) << c.text;
    ASSERT_EQ(tree->kind, KindNum) << c.text;
    const double value = tree->value.number->value;
    if (std::isnan(c.value)) {
      EXPECT_TRUE(std::isnan(value)) << c.text;
    } else {
      EXPECT_EQ(value, c.value) << c.text;
    }
    EXPECT_STREQ(tree->value.number->text, c.display) << c.text;
    FreeExpression(tree);
  }
}

TEST_F(FormulaReader, EmptyFirstOperandIsANaNNumber) {
  ExprNode* tree = Parse("plus[,x]");
  ASSERT_NE(tree, nullptr);
  ExprNode* expected = NewNode(KindPlus, 2);
  expected->children[0] = NewNumberNode(NAN);  // a NaN num with empty text
  expected->children[1] = NewSymbolNode('x');
  for (ExprNode* child : {expected->children[0], expected->children[1]}) child->parent = expected;
  std::string why;
  EXPECT_TRUE(StrictlyEqual(tree, expected, &why)) << why;
  EXPECT_TRUE(CheckExpressionTree(tree));
  FreeExpression(expected);
  FreeExpression(tree);
}

TEST_F(FormulaReader, QuotedTextsStopAtNinetyNineCharacters) {
  ExprNode* ok = Parse("string[\"" + std::string(99, 'q') + "\"]");
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->kind, KindString);
  EXPECT_EQ(std::string(ok->text), std::string(99, 'q'));
  FreeExpression(ok);
  EXPECT_EQ(Parse("string[\"" + std::string(100, 'q') + "\"]"), nullptr);
  // Doubled quotes count once.
  ExprNode* quoted = Parse("string[\"" + Repeat("\"\"", 99) + "\"]");
  ASSERT_NE(quoted, nullptr);
  EXPECT_EQ(std::string(quoted->text), std::string(99, '"'));
  FreeExpression(quoted);
  EXPECT_EQ(Parse("num[1,\"" + std::string(100, '1') + "\"]"), nullptr);
  ExprNode* cut = Parse("num[1,\"" + std::string(99, '1') + "\"]");
  ASSERT_NE(cut, nullptr);  // the display text keeps 25 characters (then is redone: no match)
  FreeExpression(cut);
}

TEST_F(FormulaReader, KindParametersAreReadAndChecked) {
  // Parameters 1..4 land in bytes 2, 3, 0, 1. Every number value needs its comma, so the
  // shortest chem text ends "4,]" (no operands); "chem[1,2,3,4]" runs out of text.
  for (const char* text : {"chem[1,2,3,4,]", "chem[1,2,3,4,X]"}) {
    ExprNode* chem = Parse(text);
    ASSERT_NE(chem, nullptr) << text;
    const uint8_t expected[4] = {3, 4, 1, 2};
    EXPECT_EQ(std::memcmp(chem->value.chem, expected, 4), 0) << text;
    EXPECT_EQ(chem->arity, text[13] == 'X' ? 1 : 0) << text;
    FreeExpression(chem);
  }

  struct Shape { const char* text; int rows, columns, arity; };
  const Shape shapes[] = {{"matrix[2,2,a,b,c,d]", 2, 2, 4},
                          {"matrix[2.9,1.2,a,b]", 2, 1, 2}};  // parameters truncate towards zero
  for (const Shape& c : shapes) {
    ExprNode* matrix = Parse(c.text);
    ASSERT_NE(matrix, nullptr) << c.text;
    EXPECT_TRUE(matrix->value.halves.first == c.rows && matrix->value.halves.second == c.columns) << c.text;
    EXPECT_EQ(matrix->arity, c.arity);
    FreeExpression(matrix);
  }

  ExprNode* tensor = Parse("tensor[-2147483648,a]");
  ASSERT_NE(tensor, nullptr);
  EXPECT_EQ(tensor->value.tensorMask, INT32_MIN);
  FreeExpression(tensor);

  ExprNode* indexes = Parse("indexes[1,1,x,i,j]");
  ASSERT_NE(indexes, nullptr);
  EXPECT_EQ(indexes->arity, 3);
  FreeExpression(indexes);

  const char* refused[] = {
      "matrix[2,2,a]",         "matrix[2,2,a,b,c,d,e]", "matrix[0,1,a]",      "matrix[1,0,a]",
      "matrix[-1,-1,a]",       "matrix[32768,1,a]",     "matrix[1e30,1,a]",   "matrix[2,2]",
      "matrix[x,1,a]",         "indexes[1,1,x,i]",      "indexes[-1,2,x,i]",  "tensor[2147483648,a]",
      "tensor[1e300,a]",       "chem[256,0,0,0,X]",     "chem[1,2,3,4]",      "chem[-129,0,0,0,X]",
      "matrix[200,200,a]",  // 40,000 operands are more than one node may hold
  };
  for (const char* text : refused) {
    EXPECT_EQ(Parse(text), nullptr) << text;
    EXPECT_NE(FormulaReaderError(), 0) << text;
  }
}

TEST_F(FormulaReader, DepthLimitRefusesWithoutCrashing) {
  const int deepest = kMaxFormulaDepth - 1;  // the root item plus this many nested minus items
  ExprNode* deep = Parse(Repeat("minus[", deepest) + "x" + std::string(static_cast<size_t>(deepest), ']'));
  ASSERT_NE(deep, nullptr);
  EXPECT_TRUE(CheckExpressionTree(deep));
  FreeExpression(deep);
  EXPECT_EQ(Parse(Repeat("minus[", deepest + 1) + "x" + std::string(static_cast<size_t>(deepest + 1), ']')), nullptr);
  // A hostile text far past the limit, never closed.
  EXPECT_EQ(Parse(Repeat("minus[", 100000)), nullptr);
}

TEST_F(FormulaReader, OperandLimitRefusesWithoutCrashing) {
  ExprNode* wide = Parse("plus[" + Repeat("x,", kMaxFormulaOperands - 1) + "x]");
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(wide->arity, kMaxFormulaOperands);
  FreeExpression(wide);
  EXPECT_EQ(Parse("plus[" + Repeat("x,", kMaxFormulaOperands) + "x]"), nullptr);
  EXPECT_EQ(Parse("plus[" + Repeat(",", 70000) + "]"), nullptr);  // 16-bit arity would wrap
}

TEST_F(FormulaReader, InjectedNodeFailuresFreeEverything) {
  const std::string text =
      "plus[x,times[2,alpha],matrix[2,2,a,b,num[2.5,\"2.5\"],string[\"s\"]],num[1.5e-7,\"z\"],sin[over[a,b,c]]]";
  ExprNode* reference = Parse(text);
  ASSERT_NE(reference, nullptr);
  const uint64_t attempts = NodeAllocationAttempts();
  ASSERT_GT(attempts, 10u);
  for (uint64_t n = 1; n <= attempts; ++n) {
    FailNodeAllocationAt(n);
    ExprNode* tree = Parse(text);
    FailNodeAllocationAt(0);
    if (tree) {
      // A failure inside the number pass may leave a number unsplit, never a broken tree.
      EXPECT_TRUE(CheckExpressionTree(tree)) << n;
      FreeExpression(tree);
    } else {
      EXPECT_NE(FormulaReaderError(), 0);
    }
    SetOutOfMemoryFlag(false);
    ResetErrorRegister();
  }
  FreeExpression(reference);
}

TEST_F(FormulaReader, InjectedScratchFailureFreesEverything) {
  // The first counted allocation of a parse is the operand scratch.
  FailAllocationAt(1);
  EXPECT_EQ(Parse("plus[x,y,sin[z]]"), nullptr);
  ResetMemoryBudgetForTest();
  FailAllocationAt(2);  // growth past 64 operands
  EXPECT_EQ(Parse("plus[" + Repeat("x,", 100) + "x]"), nullptr);
  ResetMemoryBudgetForTest();
}

TEST_F(FormulaReader, HandleGrowsByATerminatingNulAndStaysLocked) {
  const char text[] = "sin[x]";
  Handle h = TempNewHandle(sizeof text - 1);  // no terminator of its own
  ASSERT_NE(h, nullptr);
  std::memcpy(h->data, text, sizeof text - 1);
  ExprNode* tree = ParseFormulaHandle(h);
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(tree->kind, KindSin);
  EXPECT_EQ(GetHandleSize(h), sizeof text);
  EXPECT_EQ(static_cast<char*>(h->data)[sizeof text - 1], '\0');
  EXPECT_TRUE(HandleIsLocked(h));
  FreeExpression(tree);
  HUnlock(h);
  DisposeHandle(h);
  EXPECT_EQ(ParseFormulaHandle(nullptr), nullptr);
  EXPECT_NE(FormulaReaderError(), 0);
}

TEST_F(FormulaReader, NumbersThatNeedAnExponentBecomeScientific) {
  // The mantissa shows the display digits but keeps the value (golden mantissas divided by
  // hand); a display rounding that carries moves the exponent up.
  struct Case { const char* text; const char* mantissaText; double mantissa; double exponent; };
  const Case cases[] = {{"num[1.5e-7,\"x\"]", "1.5", 1.5, -7},
                        {"num[1.2345678901234e-7,\"x\"]", "1.2345679", 1.2345678901234, -7},
                        {"num[9999999999,\"x\"]", "1", 0.9999999999, 10},
                        {"num[-6.02214076e23,\"\"]", "-6.0221408", -6.02214076, 23},
                        // 29 digits keep 25 in the text, which no longer reads as the value.
                        {"12345678901234567890123456789", "1.2345679", 1.2345678901234567890123456789, 28}};
  for (const Case& c : cases) {
    ExprNode* sn = Parse(c.text);
    ASSERT_NE(sn, nullptr) << c.text;
    ASSERT_EQ(sn->kind, KindSn) << c.text;
    ASSERT_TRUE(CheckExpressionTree(sn) && sn->arity == 2) << c.text;
    EXPECT_STREQ(sn->children[0]->value.number->text, c.mantissaText);
    EXPECT_EQ(sn->children[1]->value.number->text, std::to_string(static_cast<int>(c.exponent)));
    // Within a few units in the last place, far closer than the 8 digits shown.
    EXPECT_NEAR(sn->children[0]->value.number->value, c.mantissa, 1e-15 * std::fabs(c.mantissa)) << c.text;
    EXPECT_EQ(sn->children[1]->value.number->value, c.exponent) << c.text;
    // A second pass leaves the split tree alone.
    EXPECT_TRUE(SplitNumbersIntoScientific(sn));
    EXPECT_EQ(sn->children[0]->kind, KindNum);
    EXPECT_STREQ(sn->children[0]->value.number->text, c.mantissaText);
    FreeExpression(sn);
  }

  ExprNode* kept = Parse("num[1.5e-7,\"1.5e-07\"]");  // text and value agree: unchanged
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->kind, KindNum);
  FreeExpression(kept);

  // A tree built elsewhere, deeper than the reader allows: the pass walks without recursion.
  ExprNode* root = NestedChain(KindMinus, 20000);
  ASSERT_NE(root, nullptr);
  ExprNode* leaf = LastLeaf(root);
  ExprNode* number = NewNumberNode(2.0);
  SetNumberText(number, "3", 1);
  ReplaceExpression(number, leaf);
  EXPECT_TRUE(SplitNumbersIntoScientific(root));
  EXPECT_STREQ(leaf->value.number->text, "2");
  FreeExpression(root);
}

}  // namespace
