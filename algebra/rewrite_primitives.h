// Small tree operations every algebra rewrite shares: shape tests that check arity before a
// child is read, number nodes read and written with their display text kept honest, copies that
// report failure instead of handing back a NaN stand-in, and builders that own their operands.
// Invariant: nothing here changes a tree it was not asked to, and every allocating helper
// returns null (with no partial result left behind) when memory is refused.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "kernel/trees/bound_names.h"
#include "kernel/trees/expr_node.h"

// ---- Shape tests -------------------------------------------------------------------------------
// A num leaf with its record.
bool IsNumberNode(const ExprNode* node);
// The value of a node that IsNumberNode accepted.
inline double NumberValue(const ExprNode* node) { return node->value.number->value; }
// A char leaf of the symbol id.
bool IsSymbolNode(const ExprNode* node, int32_t id);
// A node of the kind with exactly `arity` operands (null: false).
bool IsShape(const ExprNode* node, uint32_t kind, int arity);
// The shapes the rules name most: -a, a/b, a^b and a group (a).
inline bool IsNegation(const ExprNode* node) { return IsShape(node, KindMinus, 1); }
inline bool IsQuotient(const ExprNode* node) { return IsShape(node, KindOver, 2); }
inline bool IsPower(const ExprNode* node) { return IsShape(node, KindPower, 2); }
inline bool IsGroup(const ExprNode* node) { return IsShape(node, KindId, 1); }
// A node of the kind with at least one operand whose first operand is a number.
bool HasNumberFirst(const ExprNode* node, uint32_t kind);
// The double as a 32-bit integer when it is one (range-checked first); false otherwise, NaN
// and values beyond the 32-bit range included.
bool AsInt32(double v, int32_t* out);

// An equation that a sum, product or integral holds as its second operand: the index and its
// start, not an equation of values (nothing is distributed over it, no move rearranges it).
bool IsIndexEquation(const ExprNode* node);

// The index names bound around the place where the trees simplified during the scope's life will
// stand, for trees worked on apart from their formula (a stepwise move's pieces): a detached
// tree has no sum above it to say that its i is an index. Scopes nest, each adding the names
// bound at `place` (AnyBinderAbove; null: none) and restoring the former set when it ends.
// Allocates nothing; past its capacity the set counts as holding every name.
class BoundIndexScope {
 public:
  explicit BoundIndexScope(const ExprNode* place);
  ~BoundIndexScope();
  BoundIndexScope(const BoundIndexScope&) = delete;
  BoundIndexScope& operator=(const BoundIndexScope&) = delete;

  // visit(id) for each name of the open scopes; true when one answered true. With names lost
  // past the capacity the answer is true without asking (any name may be bound).
  template <class Visit>
  static bool AnyName(Visit visit) {
    const Names& open = Open();
    if (open.lost) return true;
    for (int k = 0; k < open.count; ++k) {
      if (visit(open.names[k])) return true;
    }
    return false;
  }

 private:
  static constexpr int kMaxNames = 16;
  struct Names {
    int32_t names[kMaxNames];
    int count = 0;
    bool lost = false;
  };
  static Names& Open();
  Names saved_;
};

// True when visit(id) answers true for the name id bound at the node's place by some sum, product
// or integral above it (AnyBinderAbove), or of an open BoundIndexScope: a name bound there, not a
// constant or a parameter, however it is spelled (i is no imaginary unit under a sum over i, nor
// pi the constant under a sum over pi; in that sum's bounds both are what they are outside).
template <class Visit>
bool AnyEnclosingIndex(const ExprNode* node, Visit visit) {
  return AnyBinderAbove(node, [&visit](const ExprNode*, int32_t name) { return visit(name); }) ||
         BoundIndexScope::AnyName(visit);
}

// The node is the letter id standing for its constant (e, i, pi): no sum, product or integral
// around it binds that letter as its name.
inline bool IsConstantSymbol(const ExprNode* node, int32_t id) {
  return IsSymbolNode(node, id) && !AnyEnclosingIndex(node, [id](int32_t name) { return name == id; });
}

// A hash of the tree that trees equal under ExpressionsEqual share: kinds and arities in
// pre-order, and the leaves' values (numbers by value, -0 as 0; symbols and dummies by id;
// strings by text). Different trees may share it too, so equal hashes still need the comparison.
uint64_t StructureHash(const ExprNode* tree);

// ---- Changes in place without allocation -------------------------------------------------------
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

// ---- Places by path ------------------------------------------------------------------------------
// The child indexes from the root of the node's tree down to the node (empty for a root): a place
// that survives a rewrite which gives the nodes on the way new identities.
std::vector<int> PathFromRoot(const ExprNode* node);
// The node the path reaches from root; null when an index is out of range on the way.
ExprNode* NodeAtPath(ExprNode* root, const std::vector<int>& path);

// ---- Allocation that reports failure -----------------------------------------------------------
// Deep copy, or null when memory was refused (the kernel's NaN stand-in is freed, not returned).
ExprNode* CopyTree(const ExprNode* node);
// BuildNode, by the name the rules know it: a new node of the kind over the operands, which it
// owns from now on (every operand freed and null when one is null or the node cannot be had).
inline ExprNode* Build(uint32_t kind, std::initializer_list<ExprNode*> operands) { return BuildNode(kind, operands); }
// A new node of the kind with n operands, operand k made by make(k) (a new tree it owns from
// now on, or null); null, with everything made so far freed, when one cannot be had.
template <class Make>
ExprNode* BuildEach(uint32_t kind, int n, Make make) {
  ExprNode* node = NewNode(kind, n);
  for (int k = 0; node != nullptr && k < n; ++k) {
    ExprNode* operand = make(k);
    if (operand == nullptr) {
      FreeExpression(node);  // the slots not yet filled are null, which the walk steps over
      return nullptr;
    }
    SetChild(node, k, operand);
  }
  return node;
}
// A copy of node without operand k: the other operand itself when two remain, else a node of
// the same kind over copies of the rest. Null without memory or with fewer than two operands.
ExprNode* CopyWithout(const ExprNode* node, int k);
// Runs edit(copy) on a detached copy of the node; when edit answered true and no allocation was
// refused meanwhile, the copy's content replaces the node's (identity kept) and the answer is
// true. Otherwise the copy is freed and the node is untouched: a rewrite of many steps is whole
// or not at all. The edit runs in a BoundIndexScope of the node: the copy stands where it will.
template <class Edit>
bool RewriteCopy(ExprNode* node, Edit edit) {
  const BoundIndexScope indices(node);
  const uint64_t reports = NodeExhaustionReports();
  ExprNode* copy = CopyTree(node);
  if (copy == nullptr) return false;
  if (!edit(copy) || NodeExhaustionReports() != reports) {
    FreeExpression(copy);
    return false;
  }
  ReplaceExpression(copy, node);
  return true;
}
// Puts `made` (a new tree, or null) in with edit(made); false, with `made` freed, when it is
// null or the edit refused it. For the kernel's edits that leave their operand to the caller.
template <class Edit>
bool Attach(ExprNode* made, Edit edit) {
  if (made != nullptr && edit(made)) return true;
  FreeExpression(made);
  return false;
}
