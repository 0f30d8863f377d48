// The walk: its three orders against a recursive reference on random trees, and both timings of a
// walk that changes the tree. (Its linear cost on wide and deep trees: the pipeline tests.)
#include <functional>
#include <string>
#include <vector>

#include "tests/kernel/trees/tree_test_support.h"

namespace {

using tree_test::Build;
using tree_test::Same;

class TreeCursorTest : public tree_test::TreeTest {};

std::string Name(const ExprNode* n, int depth) {
  return (n->kind == KindChar ? std::string(1, static_cast<char>(n->value.symbol)) : NodeKindName(n->kind)) + std::to_string(depth) + " ";
}

// Visits as "+name" (entering or pre-order), "-name" (leaving or post-order), with the depth.
std::string Visits(ExprNode* root, WalkOrder order) {
  std::string out;
  TreeCursor cursor(root, order);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    const bool enter = order == WalkOrder::kEnterAndLeave ? cursor.Entering() : order == WalkOrder::kPreOrder;
    out += (enter ? "+" : "-") + Name(n, cursor.Depth());
  }
  return out;
}

// The same visits by recursion, the reference.
void Reference(const ExprNode* n, int depth, WalkOrder order, std::string& out) {
  const std::string name = Name(n, depth);
  if (order != WalkOrder::kPostOrder) out += "+" + name;
  for (int i = 0; i < n->arity; ++i) Reference(n->children[i], depth + 1, order, out);
  if (order != WalkOrder::kPreOrder) out += "-" + name;
}

TEST_F(TreeCursorTest, OrdersMatchARecursiveWalk) {
  ExprNode* root = Build("plus[times[a,b],c]");
  EXPECT_EQ(Visits(root, WalkOrder::kEnterAndLeave), "+plus0 +times1 +a2 -a2 +b2 -b2 -times1 +c1 -c1 -plus0 ");
  // A walk of a subtree ends with it, whatever follows in the whole tree.
  EXPECT_EQ(Visits(root->children[0], WalkOrder::kPostOrder), "-a1 -b1 -times0 ");
  EXPECT_TRUE(TreeCursor(nullptr, WalkOrder::kPostOrder).Current() == nullptr && IndexInParent(root) == -1);
  FreeExpression(root);
  tree_test::RandomTree random(31, {KindPlus, KindTimes, KindSin, KindMatrix});
  for (int t = 0; t < 200; ++t) {
    ExprNode* tree = random.Make(1 + t % 6);
    for (WalkOrder order : {WalkOrder::kPreOrder, WalkOrder::kPostOrder, WalkOrder::kEnterAndLeave}) {
      std::string expected;
      Reference(tree, 0, order, expected);
      ASSERT_EQ(Visits(tree, order), expected);
    }
    FreeExpression(tree);
  }
}

// Next after an in-place rewrite: pre-order goes into the node's new children, post-order on
// after the node (so a rewrite that nests the old content deeper is never met again).
TEST_F(TreeCursorTest, NextTakesTheSuccessorAfterARewriteInPlace) {
  ExprNode* tree = Build("plus[id[sin[id[x]]],id[y]]");
  std::string seen;
  TreeCursor pre(tree, WalkOrder::kPreOrder);
  for (ExprNode* n = pre.Current(); n != nullptr; n = pre.Next()) {
    while (n->kind == KindId) UnwrapNode(n);
    seen += NodeKindName(n->kind) + std::string(" ");
  }
  EXPECT_TRUE(seen == "plus sin char char " && Same(tree, "plus[sin[x],y]")) << seen;
  TreeCursor post(tree, WalkOrder::kPostOrder);
  for (ExprNode* n = post.Current(); n != nullptr; n = post.Next()) {
    if (n->kind != KindChar) continue;
    ASSERT_TRUE(WrapInUnary(n, KindMinus));
  }
  EXPECT_TRUE(Same(tree, "plus[sin[minus[x]],minus[y]]") && CheckExpressionTree(tree));
  FreeExpression(tree);
}

// Pass before a change that removes the node: the walk goes on with the next sibling although the
// removal moved it one slot down, and never reads the freed node.
TEST_F(TreeCursorTest, PassTakesTheSuccessorBeforeTheNodeIsRemoved) {
  ExprNode* tree = Build("plus[a,b,times[b,c,b],b]");
  std::string seen;
  TreeCursor post(tree, WalkOrder::kPostOrder);
  for (ExprNode* n = post.Current(); n != nullptr; n = post.Current()) {
    post.Pass();
    seen += n->kind == KindChar ? static_cast<char>(n->value.symbol) : '*';
    if (n->kind != KindChar || n->value.symbol != 'b') continue;
    ASSERT_TRUE(DeleteChildAt(n->parent, IndexInParent(n)));
  }
  EXPECT_TRUE(seen == "abbcb*b*" && Same(tree, "plus[a,times[c]]") && CheckExpressionTree(tree)) << seen;
  // Entering visits: Pass leaves the subtree out, and in enter-and-leave its leaving visit too.
  TreeCursor pre(tree, WalkOrder::kPreOrder);
  EXPECT_TRUE(pre.Next() == tree->children[0] && pre.Next() == tree->children[1] && pre.Pass() == nullptr);
  TreeCursor both(tree, WalkOrder::kEnterAndLeave);
  both.Next();
  both.Next();
  EXPECT_TRUE(both.Next() == tree->children[1] && both.Entering() && both.Pass() == tree && !both.Entering());
  FreeExpression(tree);
}

}  // namespace
