// Post-order cursor over a subtree for the layout passes that need children before parents
// (measure, draw, break candidates): iterative, and cheap per step on nodes with thousands of
// operands because it keeps the sibling indexes of its path (the kernel's WalkTrail). The tree
// must not change above or around the current node while the walk runs; the current node may
// gain children (a number turned into sn), which the walk does not enter.
#pragma once

#include "kernel/trees/expr_node.h"

class PostOrderCursor {
 public:
  explicit PostOrderCursor(ExprNode* root) : root_(root), node_(root ? Descend(root) : nullptr) {}
  ExprNode* Current() const { return node_; }
  // The next node in post-order; null after the root.
  ExprNode* Next() {
    if (!node_ || node_ == root_) return node_ = nullptr;
    ExprNode* parent = node_->parent;
    int slot = trail_.SlotOf(node_);
    if (slot + 1 < parent->arity) {
      trail_.SetSlot(slot + 1);
      return node_ = Descend(parent->children[slot + 1]);
    }
    trail_.Pop();
    return node_ = parent;
  }

 private:
  ExprNode* Descend(ExprNode* node) {
    while (node->arity > 0 && node->kind != KindString) {
      trail_.Push(0);
      node = node->children[0];
    }
    return node;
  }

  ExprNode* root_;
  WalkTrail trail_;
  ExprNode* node_;
};
