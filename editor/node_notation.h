// How the editor reads a node's place in the notation: the kind table's notation class of its
// kind (postfix, prefix, enclosing, infix, two-dimensional), and where it stands among its
// parent's operands. Kinds without a table row (the algebra's internal ones) have no notation.
#pragma once

#include <cstdint>

#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_kinds.h"

inline constexpr uint8_t kNoNotation = 0xFF;

inline uint8_t NotationOf(uint32_t kind) {
  const NodeKindRow* row = GetNodeKindRow(kind);
  return row ? row->notation : kNoNotation;
}
inline bool IsInfixNode(const ExprNode* n) { return NotationOf(n->kind) == NotationInfix; }
inline bool IsPrefixNode(const ExprNode* n) { return NotationOf(n->kind) == NotationPrefix; }
inline bool IsPostfixNode(const ExprNode* n) { return NotationOf(n->kind) == NotationPostfix; }
inline bool IsEnclosingNode(const ExprNode* n) { return NotationOf(n->kind) == NotationEnclosing; }
inline bool IsTwoDimensionalNode(const ExprNode* n) { return NotationOf(n->kind) == NotationTwoDimensional; }

// Nodes that hold their content as text or a number record, never operands.
inline bool IsTextLeaf(const ExprNode* n) { return n->kind == KindNum || n->kind == KindString; }
inline int32_t OperandCount(const ExprNode* n) { return IsTextLeaf(n) ? 0 : n->arity; }

inline bool IsFirstOperand(const ExprNode* n) { return n->parent && IsChildAt(n, 0); }
inline bool IsLastOperand(const ExprNode* n) { return n->parent && IsChildAt(n, n->parent->arity - 1); }

// sin .. asec, whose hyperbolic kinds lie 12 rows further.
inline bool IsTrigonometricKind(uint32_t kind) { return kind >= KindSin && kind <= KindAsec; }
inline constexpr uint32_t kHyperbolicOffset = KindSinh - KindSin;
