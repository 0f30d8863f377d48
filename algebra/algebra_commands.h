// The Math menu's algebra commands: each code runs a fixed sequence of steps on the current
// editor's selection (a child range grouped first, each cell of a matrix block in turn), and the
// layout is invalidated after every command. Steps read the caret node when they run and change
// the tree in place; the selected node keeps its identity.
// Invariants: a matrix block is visited only on a matrix whose value word agrees with its arity
// and with start and end among its cells; afterwards the block is selected as before (the caret
// on the matrix in mode 5, start and end untouched).
#pragma once

#include <cstdint>
#include <vector>

struct ExprNode;
struct FormulaEditor;

// One algebra code (0x2000..0x2205 but the clipboard's 0x2200..0x2203) on the current editor.
// The editor reaches it as DoAlgebraCommand through its hook, which InstallAlgebraSeams fills.
// A range (mode 1) is grouped only for codes that have steps, so a code without steps leaves
// the tree as it was in every mode. Modes other than 0, 1 and 5 run no step.
// The code runs as one MathCommandScope (command_progress.h): when it stops at its size bound or
// on the user's cancel, the formula, caret and selection are put back as they were before it
// (a tree equal to the old one, so the window records no step). Without memory for that copy
// the command does not run.
void RunAlgebraCommand(int32_t code);

// A formula's tree, caret place and selection, kept apart so that a stopped command can put them
// back. The copy is freed with the snapshot unless PutBack used it.
class FormulaSnapshot {
 public:
  FormulaSnapshot() = default;
  ~FormulaSnapshot();
  FormulaSnapshot(const FormulaSnapshot&) = delete;
  FormulaSnapshot& operator=(const FormulaSnapshot&) = delete;
  // False when the copy could not be had.
  bool Take(const FormulaEditor* editor);
  // The editor's root takes the kept tree's content (keeping its identity), the caret its place.
  void PutBack(FormulaEditor* editor);

 private:
  ExprNode* tree_ = nullptr;
  std::vector<int> caretPath_;
  int32_t mode_ = 0, start_ = 0, end_ = 0;
};

// SimplifySelectionWithDerivatives on the caret node, then the layout invalidated.
void SimplifySelection();
// id groups removed from the caret node's subtree, then in post-order each node that is none of
// comma, sum, substitution and rightarrow has every equation among its operands distributed
// (DistributeOverEquation), one level a command, but for the index equation of a product or
// integral (IsIndexEquation); the walk stops once memory has run out.
void NormalizeSelectionChildren();
// node's operand i an equation of m >= 1 sides: node becomes an equation whose side j is a copy
// of node with that operand replaced by side j (f(a = b) gives f(a) = f(b)). In place; other
// shapes, a result of more than 100,000 nodes, or a refused allocation leave it as it was.
void DistributeOverEquation(ExprNode* node, int i);
