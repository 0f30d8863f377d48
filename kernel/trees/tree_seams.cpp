// Hooks to the documents and algebra layers for questions about trees. An absent hook answers
// false so the kernel runs alone (tests, early start-up).
#include "kernel/trees/tree_seams.h"

namespace {

TreeSeams gSeams;

}  // namespace

TreeSeams& GetTreeSeams() { return gSeams; }

void ResetTreeSeams() { gSeams = TreeSeams{}; }

bool TreeUsesDefinedName(const ExprNode* tree, const void* definitions) {
  if (gSeams.treeUsesDefinedName == nullptr || tree == nullptr) return false;
  return gSeams.treeUsesDefinedName(tree, definitions);
}

bool CanMoveSelectedTerm() {
  return gSeams.canMoveSelectedTerm != nullptr && gSeams.canMoveSelectedTerm();
}
