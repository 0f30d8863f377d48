// Small tree operations every algebra rewrite shares: shape tests that check arity before a
// child is read, number nodes read and written with their display text kept honest, copies that
// report failure instead of handing back a NaN stand-in, and builders that own their operands.
// Invariant: nothing here changes a tree it was not asked to, and every allocating helper
// returns null (with no partial result left behind) when memory is refused.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "kernel/trees/expr_node.h"

// ---- Shape tests -------------------------------------------------------------------------------
// A num leaf with its record.
bool IsNumberNode(const ExprNode* node);
// A num leaf whose value is exactly v.
bool IsNumberValue(const ExprNode* node, double v);
// The value of a node that IsNumberNode accepted.
inline double NumberValue(const ExprNode* node) { return node->value.number->value; }
// A char leaf of the symbol id.
bool IsSymbolNode(const ExprNode* node, int32_t id);
// A node of the kind with exactly `arity` operands (null: false).
bool IsShape(const ExprNode* node, uint32_t kind, int arity);
// A node of the kind with at least one operand whose first operand is a number.
bool HasNumberFirst(const ExprNode* node, uint32_t kind);
// The double as a 32-bit integer when it is one (range-checked first); false otherwise, NaN
// and values beyond the 32-bit range included.
bool AsInt32(double v, int32_t* out);

// ---- Changes in place without allocation -------------------------------------------------------
// A num node takes the value; its display text is cleared, since it no longer says the value.
void SetNumberValue(ExprNode* node, double v);
// The node becomes a char leaf of the id: its children are freed, it keeps its identity.
void BecomeSymbol(ExprNode* node, int16_t id);
// The node takes operand i's content (MoveNodeInto); its other operands are freed.
void BecomeOperand(ExprNode* node, int i);
// Removes operand i and frees it; when the removal needs memory it cannot have, the operand is
// replaced by `spare` instead (which must be a fresh detached leaf) and `spare` is set to null.
// Either way the caller must re-read every neighbour: a two-operand node takes the content of
// its other operand. False (nothing changed) when neither could be done.
bool RemoveOrReplace(ExprNode* node, int i, ExprNode*& spare);

// ---- The rewriting walk -------------------------------------------------------------------------
// Calls change(node) on every node under root in post-order; a node's successor is taken after
// the change (TreeCursor::Next), so a node rewritten in place is never re-entered.
template <class Change>
void ForEachPostOrder(ExprNode* root, Change change) {
  TreeCursor cursor(root, WalkOrder::kPostOrder);
  for (ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) change(n);
}

// Replaces every id node that has one operand by that operand (an id of other arity, which only
// malformed text makes, stays: unwrapping it would drop operands). The first normalisation pass
// before compilation, and the first step of simplification and differentiation.
void UnwrapIdNodes(ExprNode* tree);

// ---- Allocation that reports failure -----------------------------------------------------------
// Deep copy, or null when memory was refused (the kernel's NaN stand-in is freed, not returned).
ExprNode* CopyTree(const ExprNode* node);
// A new node of the kind over the operands, which it owns from now on: when an operand is null
// or the node cannot be had, every operand is freed and the result is null.
ExprNode* Build(uint32_t kind, std::initializer_list<ExprNode*> operands);
