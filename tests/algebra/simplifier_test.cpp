// The simplifier: the edge cases of each rule as bracket goldens (each row names the entry point
// whose result it asserts), the numeric helpers, value kept over a thousand random expressions in
// normal and expansion mode, and refused allocations that leave a valid tree of the same value.
#include <gtest/gtest.h>

#include <string>

#include "tests/algebra/algebra_test_support.h"

namespace {

using namespace algebra_test;

// SimplifyExpression in expansion mode (the expansion command's setting).
void Expanded(ExprNode* tree) {
  SwitchGuard expand(&AlgebraSwitches::expandProducts, true);
  SimplifyExpression(tree);
}

TEST_F(AlgebraTest, SimplifierEdgeCasesGiveTheirGoldens) {
  const struct { void (*entry)(ExprNode*); const char* before; const char* after; } cases[] = {
      {SimplifyTreeBottomUp, "power[0,0]", "1"},
      {SimplifyTreeBottomUp, "power[x,0]", "1"},
      {SimplifyTreeBottomUp, "power[0,x]", "power[0,x]"},  // 1 at x = 0
      {SimplifyTreeBottomUp, "power[0,exp[x]]", "0"},
      {SimplifyTreeBottomUp, "power[1,x]", "1"},
      {SimplifyTreeBottomUp, "power[-8,x]", "times[power[-1,x],power[8,x]]"},
      {SimplifyTreeBottomUp, "power[-0.5,x]", "power[-0.5,x]"},
      {SimplifyTreeBottomUp, "power[0,-1]", "power[0,-1]"},  // undefined: no longer folded to 0
      {SimplifyTreeBottomUp, "times[2,x,3]", "times[6,x]"},
      {SimplifyTreeBottomUp, "plus[x,1,y,2]", "plus[x,y,3]"},
      // the merged fraction is not reduced by the sum rule (a two-operand sum would become the
      // quotient itself and be reduced by the next round)
      {SimplifyNode, "plus[x,over[1,6],over[1,3]]", "plus[x,over[3,6]]"},
      {SimplifyTreeBottomUp, "sqrt[12]", "power[12,over[1,2]]"},
      {SimplifyExpression, "sqrt[12]", "sqrt[12]"},  // NormalizeSigns turns the power back
      {SimplifyTreeBottomUp, "sqrt[16]", "4"},
      {SimplifyTreeBottomUp, "sqrt[-4]", "times[power[-1,over[1,2]],power[4,over[1,2]]]"},
      {SimplifyTreeBottomUp, "sqrt[27,3]", "3"},  // exact roots: 27^(1/3) is 3.0000000000000004
      {SimplifyTreeBottomUp, "sqrt[64,3]", "4"},  // and 64^(1/3) is 3.9999999999999996
      {SimplifyTreeBottomUp, "sqrt[65,3]", "power[65,over[1,3]]"},
      {SimplifyTreeBottomUp, "sqrt[1000000,6]", "10"},
      {SimplifyTreeBottomUp, "sqrt[2147395600,2]", "46340"},  // the largest square in 32 bits
      {SimplifyTreeBottomUp, "sqrt[4,0]", "power[4,over[1,0]]"},  // no 0th root
      {SimplifyTreeBottomUp, "sqrt[-27,3]", "times[power[-1,over[1,3]],power[27,over[1,3]]]"},
      {SimplifyTreeBottomUp, "power[i,7]", "minus[i]"},
      {SimplifyTreeBottomUp, "power[i,-1]", "minus[i]"},
      {SimplifyTreeBottomUp, "fact[4]", "24"},
      {SimplifyTreeBottomUp, "fact[5]", "fact[5]"},
      {Expanded, "power[plus[a,b],24]", "power[plus[a,b],24]"},
      {Expanded, "times[plus[a,b],plus[c,d]]", "plus[times[a,c],times[a,d],times[b,c],times[b,d]]"},
      {Expanded, "power[plus[a,b,c],2]",
       "plus[power[a,2],times[2,a,b],times[2,a,c],power[b,2],times[2,b,c],power[c,2]]"},
      {SimplifyExpression, "times[-2,x]", "minus[times[2,x]]"},
      {SimplifyExpression, "over[minus[x],y]", "minus[over[x,y]]"},
      {SimplifyExpression, "minus[plus[x,times[2,y]]]", "plus[minus[x],minus[times[2,y]]]"},
      {SimplifyExpression, "equal[equal[a,b],list[c]]", "equal[a,b,list[c]]"},
      {SimplifyExpression, "function[optotal[x,1],y]", "function[optotal[x],y]"},
      {SimplifyExpression, "over[over[a,b],over[c,d]]", "over[times[a,d],times[b,c]]"},
      {SimplifyExpression, "times[over[a,b],c]", "over[times[a,c],b]"},
      {SimplifyExpression, "over[times[6,x],times[4,y]]", "over[times[3,x],times[2,y]]"},
      {SimplifyExpression, "power[times[x,y],3]", "times[power[x,3],power[y,3]]"},
      {SimplifyExpression, "power[power[exp[x],a],b]", "power[exp[x],times[a,b]]"},
      {SimplifyExpression, "plus[sn[2.5,3],ln[e],exp[0],log[1]]", "2502"},
      // A split number keeps its value: 2.38810495 x 10^8 is 238810495, not the double's product.
      {SimplifyExpression, "sn[2.38810495,8]", "238810495"},
      {SimplifyWithReciprocals, "power[x,-2]", "over[1,power[x,2]]"},
      {SimplifyWithReciprocals, "power[e,minus[x]]", "power[e,minus[x]]"},
      {SimplifyWithReciprocals, "power[x,over[minus[1],2]]", "over[1,sqrt[x]]"},
  };
  for (const auto& c : cases) EXPECT_TRUE(Rewrites(c.entry, c.before, c.after));
  ExprNode* zero = Tree("minus[0]");
  SimplifyExpression(zero);
  EXPECT_TRUE(Is(zero, "0") && !std::signbit(zero->value.number->value));
  FreeExpression(zero);
}

// sin and cos of n pi and of (n pi)/2, the argument left unsimplified; (2 pi)/2 is pi, not -1.
TEST_F(AlgebraTest, SinAndCosOfMultiplesOfHalfPi) {
  const char* atQuarterTurns[2][4] = {{"0", "1", "0", "-1"}, {"1", "0", "-1", "0"}};  // sin, cos of q pi/2
  for (int n = -3; n <= 5; ++n) {
    const std::string times = "times[" + std::to_string(n) + ",pi]";
    for (int cos = 0; cos < 2; ++cos) {
      const std::string f = cos ? "cos[" : "sin[";
      EXPECT_TRUE(Rewrites(SimplifyNode, (f + times + "]").c_str(), atQuarterTurns[cos][(2 * n % 4 + 4) % 4]));
      EXPECT_TRUE(Rewrites(SimplifyNode, (f + "over[" + times + ",2]]").c_str(), atQuarterTurns[cos][(n % 4 + 4) % 4]));
    }
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
  for (int i = 0; i < 2000; ++i) {  // a thousand in each mode
    void (*entry)(ExprNode*) = i % 2 ? Expanded : SimplifyExpression;
    ExprNode* tree = random.Make(4);
    ExprNode* copy = CopyExpression(tree);
    entry(copy);
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
  EXPECT_GT(compared, 5000);
}

// Every allocation refused in turn: the tree stays valid and keeps its value, nothing leaks, and
// the expansion that cannot have its copies leaves the product as it was (it used to become 0).
TEST_F(AlgebraTest, RefusedAllocationsKeepTreeAndValue) {
  const char* inputs[] = {"times[plus[a,b],plus[c,d],x]", "power[plus[a,b,c],3]", "plus[times[3,x],times[5,x],over[1,6],over[1,3]]",
                          "over[times[power[x,3],y,x],times[x,power[y,2]]]", "power[times[a,minus[b]],over[1,2]]", "sqrt[over[x,minus[y]]]"};
  const Values at{{'a', 1.3}, {'b', 0.6}, {'c', 2.1}, {'d', 0.9}, {'x', 1.7}, {'y', 0.8}};
  for (const char* input : inputs) {
    ExprNode* original = Tree(input);
    WithEachAllocationRefused(input, Expanded, [&](const ExprNode* tree, uint64_t n) {
      EXPECT_TRUE(Close(Evaluate(tree, at), Evaluate(original, at))) << input << " refusing " << n << ": " << Text(tree);
    });
    FreeExpression(original);
  }
  ExprNode* product = Tree("times[plus[a,b],plus[c,d]]");
  FailNodeAllocationAt(1, true);
  Expanded(product);
  FailNodeAllocationAt(0);
  EXPECT_TRUE(Is(product, "times[plus[a,b],plus[c,d]]"));
  FreeExpression(product);
}

// Every merging round gets its turn however many operands there are: a hundred halves make 50,
// sixty-six twos make 2^66 (exact in a double), x times eighty 1s is x, and a sum of 300 ones
// and a fraction folds whole. Goldens by hand.
TEST_F(AlgebraTest, LongSumsAndProductsSimplifyCompletely) {
  auto repeated = [](const char* head, const char* first, const char* item, int n) {
    std::string text = std::string(head) + "[" + first;
    for (int k = 0; k < n; ++k) text += std::string(text.back() == '[' ? "" : ",") + item;
    return text + "]";
  };
  const struct { std::string before; const char* after; } cases[] = {
      {repeated("plus", "", "over[1,2]", 100), "50"},
      {repeated("times", "", "2", 66), "73786976294838206464"},
      {repeated("times", "x", "1", 80), "x"},
      {repeated("plus", "over[1,3]", "1", 300), "over[901,3]"},
      {repeated("times", "", "x", 90), "power[x,90]"},
  };
  for (const auto& c : cases) EXPECT_TRUE(Rewrites(SimplifyNode, c.before.c_str(), c.after));
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
  FormulaEditor editor{};
  editor.root = Tree("equal[y,times[x,plus[1,x]]]");
  editor.caretNode = editor.root->children[1];
  editor.layoutValid = 1;
  TypesettingGlobals().currentEditor = &editor;
  MathCommand2001();
  EXPECT_TRUE(Is(editor.root, "equal[y,plus[power[x,2],x]]") && editor.layoutValid == 0);  // 1 + x became x + 1 first
  TypesettingGlobals().currentEditor = nullptr;
  FreeExpression(editor.root);
}

}  // namespace
