// Properties over a thousand seeded cases each: numeric evaluation and expansion keep the value,
// matrix products and dot and cross products agree with direct integer arithmetic, the rule
// f(x) = x^2 squares both arguments of f(a) + f(b); and random reader texts through every entry
// point leave valid trees and no leak.
#include <gtest/gtest.h>

#include <string>

#include "algebra/expansion_by_kind.h"
#include "algebra/matrix_arithmetic.h"
#include "algebra/numeric_evaluation.h"
#include "algebra/solving.h"
#include "algebra/substitution.h"
#include "algebra/vector_calculus.h"
#include "kernel/text/formula_reader.h"
#include "tests/algebra/algebra_test_support.h"

namespace {

using namespace algebra_test;

TEST_F(AlgebraTest, EvaluationExpansionAndTheDefinitionRuleKeepTheValue) {
  checkBytes_ = false;  // compiles grow the process-wide evaluation scratch
  RandomExpressions random(20240612, {KindSin, KindCos, KindTan});
  ExprNode* rule = Tree("equal[function[f,dummy[x]],power[dummy[x],2]]");
  int compared = 0;
  for (int i = 0; i < 3000; ++i) {
    ExprNode* a = random.Make(4);
    ExprNode* b = random.Make(3);
    ExprNode* changed = i % 3 == 2 ? Build(KindPlus, {Build(KindFunction, {NewSymbolNode('f'), CopyExpression(a)}),
                                                     Build(KindFunction, {NewSymbolNode('f'), CopyExpression(b)})})
                                   : CopyExpression(a);
    if (i % 3 == 0) {
      EvaluateSubtreesNumerically(changed);
    } else if (i % 3 == 1) {
      ForEachPostOrder(changed, ExpandNodeByKind);
    } else {
      EXPECT_TRUE(RewritePass(changed, rule) && changed->kind == KindPlus && changed->children[0]->kind != KindFunction);
    }
    ASSERT_TRUE(CheckExpressionTree(changed)) << Text(a);
    const Values at = random.Point();
    const double before = i % 3 == 2 ? std::pow(Evaluate(a, at), 2) + std::pow(Evaluate(b, at), 2) : Evaluate(a, at);
    const double after = Evaluate(changed, at);
    if (std::isfinite(before) && std::isfinite(after)) {
      ++compared;
      EXPECT_TRUE(Close(before, after, 1e-7)) << Text(a) << " -> " << Text(changed) << ": " << before << " vs " << after;
    }
    for (ExprNode* t : {a, b, changed}) FreeExpression(t);
  }
  FreeExpression(rule);
  EXPECT_GT(compared, 2400);
}

// Integer matrices of 1 to 3 rows and columns, numbers -4..5: r x n times n x c, a row dot a
// column, a row cross a column; each cell against the sum of products computed here.
TEST_F(AlgebraTest, MatrixProductsAgreeWithDirectArithmetic) {
  std::mt19937 rng(77);
  auto matrix = [&](int rows, int cols, std::vector<int>& cells) {
    std::string text = "matrix[" + std::to_string(rows) + "," + std::to_string(cols);
    cells.resize(rows * cols);
    for (int& c : cells) text += "," + std::to_string(c = static_cast<int>(rng() % 10) - 4);
    return text + "]";
  };
  for (int i = 0; i < 3000; ++i) {
    const int r = i % 3 ? 1 : 1 + rng() % 3, n = i % 3 == 2 ? 3 : 1 + rng() % 3, c = i % 3 ? 1 : 1 + rng() % 3;
    std::vector<int> a, b, want(r * c);
    const std::string text = std::string(i % 3 == 0 ? "times[" : i % 3 == 1 ? "dot[" : "cross[") + matrix(r, n, a) + "," +
                             (i % 3 == 2 ? matrix(n, 1, b) : matrix(n, c, b)) + "]";
    for (int p = 0; p < r * c && i % 3 < 2; ++p) {
      for (int k = 0; k < n; ++k) want[p] += a[p / c * n + k] * b[k * c + p % c];
    }
    if (i % 3 == 2) want = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    ExprNode* tree = Tree(text);
    SymbolicRewritePass(tree);
    SimplifyExpression(tree);
    ExprNode* const* cells = want.size() == 1 ? &tree : tree->children;
    ASSERT_TRUE(want.size() == 1 || (IsWellFormedMatrix(tree) && tree->arity == static_cast<int>(want.size()))) << Text(tree);
    for (size_t k = 0; k < want.size(); ++k) {
      const ExprNode* cell = cells[k];  // a negative number shows as a negation
      EXPECT_EQ(IsShape(cell, KindMinus, 1) ? -Evaluate(cell->children[0], {}) : Evaluate(cell, {}), want[k]) << text << " -> " << Text(tree);
    }
    FreeExpression(tree);
  }
}

// Trees the reader could have produced, written as bracket text, every other text damaged at one
// place, and read back, through every entry point (rules from other random trees): valid trees,
// no crash, no pool block leaked.
TEST_F(AlgebraTest, RandomReaderTextsThroughEveryEntryPoint) {
  checkBytes_ = false;
  tree_test::RandomTree random(424242);
  auto readBack = [&](int depth) {
    ExprNode* made = random.Make(depth);
    std::string text = Text(made);
    FreeExpression(made);
    if (!text.empty() && random.Below(2) == 0) text[random.Below(static_cast<int>(text.size()))] = "[],x0-\"m"[random.Below(8)];
    SetFormulaReaderText(text.c_str());
    return ParseFormulaText();
  };
  void (*const entries[])(ExprNode*) = {ApplySubstitutions, FoldSums, EvaluateSubtreesNumerically, SymbolicRewritePass,
                                        ExpandVectorOperators, SimplifySelectionWithDerivatives,
                                        [](ExprNode* t) { ForEachPostOrder(t, ExpandNodeByKind); }};
  void (*const commands[])() = {MathCommand2016, ApplySubstitutionsInFormula, FoldSumsInFormula, SimplifySelectionAndSubstitute,
                                EvaluateSelectionNumerically, SymbolicRewriteSelection, ExpandVectorOperatorsInFormula};
  // Every node matches the second rule and is rewritten into a copy of itself: full passes.
  ExprNode* fixpointRules = Tree("list[equal[x,plus[x,0]],leftarrow[dummy[a],dummy[a]]]");
  int trees = 0;
  for (int i = 0; i < 2500; ++i) {
    ExprNode* tree = readBack(5);
    ExprNode* rules = readBack(3);
    if (tree == nullptr || rules == nullptr) {
      for (ExprNode* t : {tree, rules}) FreeExpression(t);
      continue;
    }
    ++trees;
    RewritePass(tree, rules);
    for (auto entry : entries) entry(tree);
    EXPECT_TRUE(CheckExpressionTree(tree)) << Text(tree);
    FormulaEditor editor{};
    editor.root = tree;
    TypesettingGlobals().currentEditor = &editor;
    for (auto command : commands) {
      TreeCursor cursor(tree, WalkOrder::kPreOrder);
      for (int steps = random.Below(CountSubtreeNodes(tree)); steps > 0; --steps) cursor.Next();
      editor.caretNode = cursor.Current();
      command();
      EXPECT_TRUE(CheckExpressionTree(tree)) << Text(tree);
    }
    TypesettingGlobals().currentEditor = nullptr;
    RewriteToFixpoint(tree, fixpointRules);
    EXPECT_TRUE(CheckExpressionTree(tree)) << Text(tree);
    for (ExprNode* t : {tree, rules}) FreeExpression(t);
  }
  FreeExpression(fixpointRules);
  EXPECT_GT(trees, 1200);
}

}  // namespace
