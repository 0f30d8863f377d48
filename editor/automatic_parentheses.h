// Automatic parentheses: where precedence needs them, a child is wrapped in an id node (an
// invisible group, drawn as round brackets by the bracket handler). The decision depends on the
// parent's and the child's kinds, the child's index and, for a product under a named function,
// on what the product holds. The wrappers stay in the tree.
#pragma once

#include <cstdint>

struct ExprNode;

// Wraps every child for which NeedsParentheses holds; a current editor's caret on a wrapped child
// stays on its content. Returns false when a wrapper could not be made (memory); the tree is
// then valid with fewer wrappers.
bool AddAutomaticParentheses(ExprNode* root);
// The twelve ordered rules; the first that applies decides. `parent` is the parent node.
bool NeedsParentheses(uint32_t parentKind, uint32_t childKind, int32_t childIndex, const ExprNode* parent);
// The rule that decided (1 to 12), for tests and for reading the table.
int32_t ParenthesesRule(uint32_t parentKind, uint32_t childKind, int32_t childIndex, const ExprNode* parent);
// A child of the node is an over node or holds, anywhere in its subtree, a named function.
bool HasFractionOrFunction(const ExprNode* node);
