// Services the kernel asks of higher layers (documents, algebra), reached through hooks those
// layers install at start-up. Until a hook is installed its question answers "no". The hooks live
// in one process-wide record with one reset function for tests.
#pragma once

struct ExprNode;

// True when the tree holds a char node whose name one of the document's equations defines in
// the given definitions list. No hook: false.
bool TreeUsesDefinedName(const ExprNode* tree, const void* definitions);

// True when the current editor's selected node is a term a directed rewrite can move (an
// operand of plus or over, the base of a power, a factor of a product). No hook: false.
bool CanMoveSelectedTerm();


struct TreeSeams {
  bool (*treeUsesDefinedName)(const ExprNode* tree, const void* definitions) = nullptr;
  bool (*canMoveSelectedTerm)() = nullptr;
  // The document's list of complex-valued definitions, handed to treeUsesDefinedName by
  // UsesComplexNumbers; opaque to the kernel.
  const void* complexDefinitions = nullptr;
};

// The process-wide hooks; higher layers fill the fields at start-up.
TreeSeams& GetTreeSeams();

// Clears every hook (tests).
void ResetTreeSeams();
