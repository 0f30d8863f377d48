// Which name a sum, product or integral binds, and where: the one scope rule every bound-name
// question of the system asks. A binder's name reaches its term (the integrand) and the name
// itself only; its start, its end and an integral's bounds stand in the scope outside it, so a k
// there is the k around the binder, not its index.
#pragma once

#include <cstdint>

#include "kernel/trees/expr_node.h"

// The operand of a binder that its name's scope holds: 0 (the term, the integrand) for sum,
// prod, int, oint and integral, 2 (the term) for the internal bounded sum; -1 for other kinds.
// Reads the kind only: the caller checks the shape (BoundNameOf).
int ScopedOperand(const ExprNode* node);
// The letter that spells the name a binder binds: the left side of a sum's or product's index
// equation (three operands, the second equal(letter, start)), of a bounded sum's (its first
// operand), or an integral's variable (its second operand, a letter or an equation whose left
// side is one); null for any other node or shape.
const ExprNode* BoundNameNode(const ExprNode* binder);
// The symbol of BoundNameNode, 0 when there is none.
int32_t BoundNameOf(const ExprNode* binder);
// The name `binder` binds at the place of `node`, which lies in its operand `from`: the name when
// `from` is the scoped operand or `node` is the letter spelling the name, else 0.
int32_t NameBoundAt(const ExprNode* binder, const ExprNode* from, const ExprNode* node);

// The binder whose scope the node opens: the binder of which it is the scoped operand; null
// when none.
const ExprNode* BinderScopedAt(const ExprNode* node);
// The binder whose name the node spells (BoundNameNode); null when none.
const ExprNode* BinderNamedBy(const ExprNode* node);

// visit(binder, name) for each binder above the node, nearest first, that binds a name at the
// node's place (NameBoundAt); true as soon as one visit answers true. Allocates nothing.
template <class Visit>
bool AnyBinderAbove(const ExprNode* node, Visit visit) {
  for (const ExprNode *from = node, *a = node->parent; a != nullptr; from = a, a = a->parent) {
    if (const int32_t name = NameBoundAt(a, from, node); name != 0 && visit(a, name)) return true;
  }
  return false;
}
