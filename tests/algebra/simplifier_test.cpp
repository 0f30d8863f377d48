// The simplifier: the edge cases of each rule as bracket goldens (each row names the entry point
// whose result it asserts), the numeric helpers, value kept over a thousand random expressions in
// normal and expansion mode, and refused allocations that leave a valid tree of the same value.
#include <gtest/gtest.h>

#include <string>

#include "tests/algebra/algebra_test_support.h"

namespace {

using namespace algebra_test;

enum class Entry { kNode, kBottomUp, kExpression, kExpanded, kReciprocals };

void Simplify(Entry entry, ExprNode* tree) {
  switch (entry) {
    case Entry::kNode: SimplifyNode(tree); break;
    case Entry::kBottomUp: SimplifyTreeBottomUp(tree); break;
    case Entry::kExpression: SimplifyExpression(tree); break;
    case Entry::kExpanded: {
      SwitchGuard expand(&AlgebraSwitches::expandProducts, true);
      SimplifyExpression(tree);
      break;
    }
    case Entry::kReciprocals: SimplifyWithReciprocals(tree); break;
  }
}

TEST_F(AlgebraTest, EdgeCasesGiveTheirGoldens) {
  const struct { Entry entry; const char* before; const char* after; } cases[] = {
      {Entry::kBottomUp, "power[0,0]", "1"},
      {Entry::kBottomUp, "power[x,0]", "1"},
      {Entry::kBottomUp, "power[0,x]", "0"},
      {Entry::kBottomUp, "power[1,x]", "1"},
      {Entry::kBottomUp, "power[-8,x]", "times[power[-1,x],power[8,x]]"},
      {Entry::kBottomUp, "power[-0.5,x]", "power[-0.5,x]"},
      {Entry::kBottomUp, "power[0,-1]", "power[0,-1]"},  // undefined: no longer folded to 0
      {Entry::kBottomUp, "times[2,x,3]", "times[6,x]"},
      {Entry::kBottomUp, "plus[x,1,y,2]", "plus[x,y,3]"},
      // the merged fraction is not reduced by the sum rule (a two-operand sum would become the
      // quotient itself and be reduced by the next round)
      {Entry::kNode, "plus[x,over[1,6],over[1,3]]", "plus[x,over[3,6]]"},
      {Entry::kBottomUp, "sqrt[12]", "power[12,over[1,2]]"},
      {Entry::kExpression, "sqrt[12]", "sqrt[12]"},  // NormalizeSigns turns the power back
      {Entry::kBottomUp, "sqrt[16]", "4"},
      {Entry::kBottomUp, "sqrt[-4]", "times[power[-1,over[1,2]],power[4,over[1,2]]]"},
      {Entry::kBottomUp, "sqrt[27,3]", "3"},  // exact roots: 27^(1/3) is 3.0000000000000004
      {Entry::kBottomUp, "sqrt[64,3]", "4"},  // and 64^(1/3) is 3.9999999999999996
      {Entry::kBottomUp, "sqrt[65,3]", "power[65,over[1,3]]"},
      {Entry::kBottomUp, "power[i,7]", "minus[i]"},
      {Entry::kBottomUp, "power[i,-1]", "minus[i]"},
      {Entry::kBottomUp, "fact[4]", "24"},
      {Entry::kBottomUp, "fact[5]", "fact[5]"},
      {Entry::kExpanded, "power[plus[a,b],24]", "power[plus[a,b],24]"},
      {Entry::kExpanded, "times[plus[a,b],plus[c,d]]", "plus[times[a,c],times[a,d],times[b,c],times[b,d]]"},
      {Entry::kExpression, "times[-2,x]", "minus[times[2,x]]"},
      {Entry::kExpression, "over[minus[x],y]", "minus[over[x,y]]"},
      {Entry::kExpression, "minus[plus[x,times[2,y]]]", "plus[minus[x],minus[times[2,y]]]"},
      {Entry::kExpression, "equal[equal[a,b],list[c]]", "equal[a,b,list[c]]"},
      {Entry::kExpression, "function[optotal[x,1],y]", "function[optotal[x],y]"},
      {Entry::kExpression, "over[over[a,b],over[c,d]]", "over[times[a,d],times[b,c]]"},
      {Entry::kExpression, "times[over[a,b],c]", "over[times[a,c],b]"},
      {Entry::kExpression, "over[times[6,x],times[4,y]]", "over[times[3,x],times[2,y]]"},
      {Entry::kExpression, "power[times[x,y],3]", "times[power[x,3],power[y,3]]"},
      {Entry::kExpression, "power[power[x,a],b]", "power[x,times[a,b]]"},
      {Entry::kExpression, "plus[sn[2.5,3],ln[e],exp[0],log[1]]", "2502"},
      {Entry::kReciprocals, "power[x,-2]", "over[1,power[x,2]]"},
      {Entry::kReciprocals, "power[e,minus[x]]", "power[e,minus[x]]"},
      {Entry::kReciprocals, "power[x,over[minus[1],2]]", "over[1,sqrt[x]]"},
  };
  for (const auto& c : cases) EXPECT_TRUE(Rewrites([&](ExprNode* t) { Simplify(c.entry, t); }, c.before, c.after));
  ExprNode* zero = Tree("minus[0]");
  SimplifyExpression(zero);
  EXPECT_TRUE(Is(zero, "0") && !std::signbit(zero->value.number->value));
  FreeExpression(zero);
}

// sin and cos of n pi and of (n pi)/2, the argument left unsimplified; (2 pi)/2 is pi, not -1.
TEST_F(AlgebraTest, SinAndCosOfMultiplesOfHalfPi) {
  for (int n = -3; n <= 5; ++n) {
    const std::string times = "times[" + std::to_string(n) + ",pi]", half = "over[" + times + ",2]";
    const int q = ((n % 4) + 4) % 4;
    const char* sinHalf[] = {"0", "1", "0", "-1"};
    const char* cosHalf[] = {"1", "0", "-1", "0"};
    EXPECT_TRUE(Rewrites(SimplifyNode, ("sin[" + times + "]").c_str(), "0"));
    EXPECT_TRUE(Rewrites(SimplifyNode, ("cos[" + times + "]").c_str(), n % 2 != 0 ? "-1" : "1"));
    EXPECT_TRUE(Rewrites(SimplifyNode, ("sin[" + half + "]").c_str(), sinHalf[q]));
    EXPECT_TRUE(Rewrites(SimplifyNode, ("cos[" + half + "]").c_str(), cosHalf[q]));
  }
}

// Pascal's triangle row by row (independent of the product formula); 2^31 beyond int32.
TEST(SimplifierNumbers, BinomialsAndPowersAreExact) {
  std::vector<int64_t> row = {1};
  for (int n = 1; n <= 23; ++n) {
    std::vector<int64_t> next(n + 1, 1);
    for (int k = 1; k < n; ++k) next[k] = row[k - 1] + row[k];
    row = next;
    for (int k = 0; k <= n; ++k) EXPECT_EQ(BinomialCoefficient(n, k), row[k]) << n << " " << k;
  }
  EXPECT_EQ(BinomialCoefficient(5, 7), 0);
  EXPECT_EQ(PowerByInteger(2, 31), 2147483648.0);
  EXPECT_EQ(PowerByInteger(-3, 5), -243.0);
}

// Simplification keeps the value wherever the expression and its simplification are both finite.
TEST_F(AlgebraTest, SimplificationKeepsTheValueOfRandomExpressions) {
  RandomExpressions random(20240517, {KindSin, KindCos});
  int compared = 0;
  for (int i = 0; i < 1200; ++i) {
    const Entry entry = i % 2 ? Entry::kExpanded : Entry::kExpression;
    ExprNode* tree = random.Any(4);
    ExprNode* copy = CopyExpression(tree);
    Simplify(entry, copy);
    ASSERT_TRUE(CheckExpressionTree(copy)) << Text(tree);
    for (int p = 0; p < 4; ++p) {
      const Values at = random.Point();
      const double before = Evaluate(tree, at), after = Evaluate(copy, at);
      if (!std::isfinite(before) || !std::isfinite(after)) continue;
      ++compared;
      EXPECT_TRUE(Close(before, after, 1e-7)) << Text(tree) << " -> " << Text(copy) << ": " << before << " vs " << after;
    }
    FreeExpression(tree);
    FreeExpression(copy);
  }
  EXPECT_GT(compared, 3000);
}

// Expansion leaves no power of a sum and no product holding a sum.
TEST_F(AlgebraTest, ExpansionMultipliesEverythingOut) {
  ExprNode* tree = Tree("power[plus[a,b,c],2]");
  Simplify(Entry::kExpanded, tree);
  TreeCursor cursor(tree, WalkOrder::kPreOrder);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    EXPECT_FALSE((n->kind == KindPower || n->kind == KindTimes) && n->children[0]->kind == KindPlus) << Text(tree);
    EXPECT_FALSE(n->kind == KindTimes && n->arity > 1 && n->children[1]->kind == KindPlus) << Text(tree);
  }
  const Values at{{'a', 0.7}, {'b', -1.3}, {'c', 2.9}};
  EXPECT_TRUE(Close(Evaluate(tree, at), std::pow(0.7 - 1.3 + 2.9, 2)));
  FreeExpression(tree);
}

// Every allocation refused in turn: the tree stays valid and keeps its value, nothing leaks, and
// the expansion that cannot have its copies leaves the product as it was (it used to become 0).
TEST_F(AlgebraTest, RefusedAllocationsKeepTreeAndValue) {
  const char* inputs[] = {"times[plus[a,b],plus[c,d],x]", "power[plus[a,b,c],3]", "plus[times[3,x],times[5,x],over[1,6],over[1,3]]",
                          "over[times[power[x,3],y,x],times[x,power[y,2]]]", "power[times[a,minus[b]],over[1,2]]", "sqrt[over[x,minus[y]]]"};
  const Values at{{'a', 1.3}, {'b', 0.6}, {'c', 2.1}, {'d', 0.9}, {'x', 1.7}, {'y', 0.8}};
  for (const char* input : inputs) {
    ExprNode* original = Tree(input);
    for (uint64_t n = 1;; ++n) {
      ExprNode* tree = Tree(input);
      FailNodeAllocationAt(n);
      Simplify(Entry::kExpanded, tree);
      const bool reached = NodeAllocationAttempts() >= n;
      FailNodeAllocationAt(0);
      SetOutOfMemoryFlag(false);
      EXPECT_TRUE(CheckExpressionTree(tree)) << input << " failing at " << n;
      EXPECT_TRUE(Close(Evaluate(tree, at), Evaluate(original, at))) << input << " failing at " << n << ": " << Text(tree);
      FreeExpression(tree);
      if (!reached) break;
    }
    FreeExpression(original);
  }
  ExprNode* product = Tree("times[plus[a,b],plus[c,d]]");
  FailNodeAllocationAt(1, true);
  Simplify(Entry::kExpanded, product);
  FailNodeAllocationAt(0);
  EXPECT_TRUE(Is(product, "times[plus[a,b],plus[c,d]]"));
  FreeExpression(product);
}

// 10,000 operands and a nested sum: the splice past the operand limit is refused and not retried
// for ever.
TEST_F(AlgebraTest, SumAtTheOperandLimitTerminates) {
  ExprNode* sum = NewNode(KindPlus, kMaxArity);
  for (int i = 0; i + 1 < kMaxArity; ++i) SetChild(sum, i, NewSymbolNode(static_cast<int16_t>(0x2000 + i)));
  SetChild(sum, kMaxArity - 1, Tree("plus[a,b]"));
  SwitchGuard noTerms(&AlgebraSwitches::collectLikeTerms, false);
  SimplifyNode(sum);
  EXPECT_EQ(sum->arity, kMaxArity);
  EXPECT_TRUE(CheckExpressionTree(sum));
  FreeExpression(sum);
}

// The expansion command on the current editor: the caret's subtree is expanded, the switch is
// restored (the fixture checks), the layout invalidated.
TEST_F(AlgebraTest, ExpansionCommandActsOnTheCaretNode) {
  FormulaEditor* editor = AllocFormulaEditor();
  *editor = FormulaEditor{};
  editor->root = Tree("equal[y,times[x,plus[1,x]]]");
  editor->caretNode = editor->root->children[1];
  editor->layoutValid = 1;
  TypesettingGlobals().currentEditor = editor;
  MathCommand2001();
  EXPECT_TRUE(Is(editor->root, "equal[y,plus[power[x,2],x]]"));  // 1 + x was ordered x + 1 first
  EXPECT_EQ(editor->layoutValid, 0);
  TypesettingGlobals().currentEditor = nullptr;
  FreeExpression(editor->root);
  FreeFormulaEditor(editor);
}

}  // namespace
