// Names a sum, product or integral binds stay bound: not distributed over, not moved, not taken
// for constants, and kept in shape and value by the commands.
#include <gtest/gtest.h>

#include "algebra/algebra_commands.h"
#include "algebra/expansion_by_kind.h"
#include "algebra/numeric_evaluation.h"
#include "algebra/stepwise_moves.h"
#include "tests/algebra/algebra_test_support.h"

namespace {

using namespace algebra_test;

// Goldens by hand: index equations stay; an equation elsewhere, a product's body too, is distributed.
TEST_F(AlgebraTest, IndexEquationsAreNotDistributedOver) {
  const struct { const char* before; const char* after; } cases[] = {
      {"equal[y,prod[k,equal[k,1],3]]", "equal[y,prod[k,equal[k,1],3]]"},
      {"equal[y,sum[k,equal[k,1],3]]", "equal[y,sum[k,equal[k,1],3]]"},
      {"plus[int[x,equal[x,0],1],c]", "plus[int[x,equal[x,0],1],c]"},
      {"plus[equal[a,b],c]", "equal[plus[a,c],plus[b,c]]"},
      {"prod[equal[a,b],equal[k,1],3]", "equal[prod[a,equal[k,1],3],prod[b,equal[k,1],3]]"},
  };
  for (const auto& c : cases) EXPECT_TRUE(Transforms(NormalizeSelectionChildren, c.before, c.after));
  for (int32_t code : {kSimplify, kExpand, kExpandSpecialForms}) {
    CurrentEditor e("equal[y,prod[k,equal[k,1],3]]");
    RunAlgebraCommand(code);
    ASSERT_TRUE(IsShape(e.editor.root, KindEqual, 2)) << Text(e.editor.root);
    EXPECT_EQ(Evaluate(e.editor.root->children[1], {}), 6) << std::hex << code << " " << Text(e.editor.root);
  }
}

// A bound pi, e or i is a name to Simplify and numeric evaluation, unbound a constant (by hand).
TEST_F(AlgebraTest, BoundLettersAreNoConstants) {
  const struct { const char* before; const char* after; } cases[] = {
      {"sum[sin[pi],equal[pi,1],3]", "sum[sin[pi],equal[pi,1],3]"},
      {"sum[ln[e],equal[e,1],3]", "sum[ln[e],equal[e,1],3]"},
      {"prod[cos[times[2,pi]],equal[pi,1],2]", "prod[cos[times[2,pi]],equal[pi,1],2]"},
      {"sum[power[i,2],equal[i,1],3]", "sum[power[i,2],equal[i,1],3]"},
      {"integral[times[x,sin[pi]],pi,0,1]", "integral[times[x,sin[pi]],pi,0,1]"},
      {"int[ln[e],e]", "int[ln[e],e]"},
      {"function[optotal[x],sum[power[e,x],equal[e,2],3]]", "sum[times[power[e,x],ln[e]],equal[e,2],3]"},
      {"sum[sin[pi],equal[k,1],3]", "sum[0,equal[k,1],3]"},  // pi not bound: the constant
      {"plus[ln[e],power[i,2]]", "0"},
  };
  for (const auto& c : cases) EXPECT_TRUE(Rewrites(SimplifySelectionWithDerivatives, c.before, c.after));
  const struct { const char* before; const char* after; } numeric[] = {
      {"integral[times[sin[x],plus[1,2]],x]", "integral[times[sin[x],3],x]"},
      {"prod[times[k,y,plus[1,1]],equal[k,1],3]", "prod[times[k,y,2],equal[k,1],3]"},
  };
  for (const auto& c : numeric) EXPECT_TRUE(Rewrites(EvaluateSubtreesNumerically, c.before, c.after));
}

// No move or drag on a part of an index equation (1 = i is no index); the body still moves.
TEST_F(AlgebraTest, MovesLeaveIndexEquationsAlone) {
  const struct { const char* formula; const char* path; } places[] = {
      {"equal[y,sum[x,equal[i,1],3]]", "110"},
      {"equal[y,sum[x,equal[i,1],3]]", "111"},
      {"equal[y,prod[x,equal[pi,2],3]]", "110"},
      {"int[x,equal[x,0],1]", "10"},
  };
  for (const auto& p : places) {
    for (int32_t code : {0x2100, 0x2101, 0x2102, 0x2103, 0x2104, 0x2105, 0x2108, 0x2109}) {
      CurrentEditor e(p.formula, p.path);
      EXPECT_FALSE(SelectedTermCanMove()) << p.formula << " at " << p.path;
      RunAlgebraCommand(code);
      EXPECT_TRUE(Is(e.editor.root, p.formula)) << std::hex << code << " at " << p.path;
    }
  }
  CurrentEditor e("equal[y,sum[times[a,x],equal[i,1],3]]", "100");
  RunAlgebraCommand(0x2100);
  EXPECT_TRUE(Is(e.editor.root, "equal[y,sum[times[x,a],equal[i,1],3]]"));
}

// A letter in a sum's start or end is the letter outside the sum, even when it spells the index:
// Simplify, Expand and Expand Special Forms keep each value at letters of either sign, where the
// sign-blind reading took |k| in a bound for the index from 1 and dropped the bars (6 became 0 at
// k = -3). Goldens by hand: bars in a bound stay, the imaginary unit in a bound is one.
TEST_F(AlgebraTest, LettersInASumsBoundsAreTheOuterOnes) {
  checkBytes_ = false;  // the commands' compiles grow the process-wide evaluation scratch
  const char* sums[] = {
      "sum[k,equal[k,1],sqrt[power[k,2]]]",
      "prod[k,equal[k,1],sqrt[power[k,2]]]",
      "sum[k,equal[k,sqrt[power[k,2]]],4]",
      "sum[times[k,sqrt[power[k,2]]],equal[k,sqrt[power[k,2]]],4]",  // the term's k counts up from |k|
      "sum[sqrt[power[j,2]],equal[j,k],plus[sqrt[power[k,2]],2]]",
      "sum[j,equal[j,sqrt[power[k,2]]],plus[sqrt[power[j,2]],3]]",
      "sum[sqrt[power[k,2]],equal[k,1],sqrt[power[k,2]]]",
      "sum[k,equal[k,1],power[power[k,2],over[1,2]]]",
      "sum[k,equal[k,ln[power[exp[k],2]]],7]",
  };
  ValueComparison values;
  for (const char* text : sums) {
    for (int32_t code : {kSimplify, kExpand, kExpandSpecialForms}) {
      CurrentEditor e(text);
      RunAlgebraCommand(code);
      ASSERT_TRUE(CheckExpressionTree(e.editor.root)) << text;
      ExprNode* before = Tree(text);
      for (double k : {-3.0, -2.5, -2.0, 2.0, 2.5, 3.0}) {  // |k| >= 1: no sum here is empty
        for (double j : {-1.5, 1.5}) {
          values.At(before, e.editor.root, {{'k', k}, {'j', j}},
                    [&] { return std::to_string(code) + ": " + text + " -> " + Text(e.editor.root); });
        }
      }
      FreeExpression(before);
    }
  }
  EXPECT_EQ(values.failures, 0);
  EXPECT_GT(values.compared, 200);
  const struct { const char* before; const char* after; } cases[] = {
      {"sum[k,equal[k,1],sqrt[power[k,2]]]", "sum[k,equal[k,1],abs[k]]"},
      {"sum[k,equal[k,sqrt[power[k,2]]],3]", "sum[k,equal[k,abs[k]],3]"},
      {"sum[sqrt[power[k,2]],equal[k,1],3]", "sum[k,equal[k,1],3]"},  // the term's k is the index
      {"sum[i,equal[i,power[i,2]],3]", "sum[i,equal[i,minus[1]],3]"},
      {"prod[i,equal[i,1],power[i,4]]", "prod[i,equal[i,1],1]"},
  };
  for (const auto& c : cases) EXPECT_TRUE(Transforms([] { RunAlgebraCommand(kSimplify); }, c.before, c.after));
  // So are an integral's bounds (the command would also send the integral away).
  EXPECT_TRUE(Rewrites(SimplifySelectionWithDerivatives, "integral[sin[pi],pi,0,sin[pi]]", "integral[sin[pi],pi,0,0]"));
}

// Random nested sums and products over i, j, k, pi and e in y = F stay y = (F's value).
TEST_F(AlgebraTest, SumsAndProductsOverAnyIndexKeepShapeAndValue) {
  checkBytes_ = false;  // the commands' compiles grow the process-wide evaluation scratch
  const int32_t indices[] = {'i', 'j', 'k', SymPi, 'e'};
  std::mt19937 rng(4242);
  auto below = [&rng](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
  std::function<ExprNode*(int, int32_t)> big = [&](int depth, int32_t outer) -> ExprNode* {
    int32_t index = indices[below(5)];
    while (index == outer) index = indices[below(5)];
    SignedFormulas body(rng(), {'x', index, index, SymPi, 'e'});
    ExprNode* term = body.Make(2);
    if (depth > 0 && below(2) == 0) term = Build(below(2) ? KindPlus : KindTimes, {term, big(depth - 1, index)});
    const bool product = below(2) == 0;
    const int start = product ? 1 + below(2) : below(4) - 1;
    return Build(product ? KindProd : KindSum, {term, Build(KindEqual, {NewSymbolNode(static_cast<int16_t>(index)), NewNumberNode(start)}),
                                               NewNumberNode(start + below(3))});
  };
  ValueComparison values;
  ThroughTheThreeCommands(
      1500, [&] { return big(1, 0); }, [](const std::string& text) { return "equal[y," + text + "]"; },
      [&](const ExprNode* formula, const ExprNode* result, auto what) {
        const bool shaped = IsShape(result, KindEqual, 2) && IsSymbolNode(result->children[0], 'y');
        EXPECT_TRUE(shaped) << what();
        for (int p = 0; shaped && p < 4; ++p) {
          values.At(formula, result->children[1], {{'x', (below(2) ? -1 : 1) * (0.3 + 1.7 * below(1000) / 1000.0)}}, what);
        }
      });
  EXPECT_EQ(values.failures, 0);
  EXPECT_GT(values.compared, 2000);
}

}  // namespace
