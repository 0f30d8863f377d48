// The Math menu's algebra commands: each code runs a fixed sequence of steps on the current
// editor's selection (a child range grouped first, each cell of a matrix block in turn), and the
// layout is invalidated after every command. Steps read the caret node when they run and change
// the tree in place; the selected node keeps its identity.
// Invariants: a matrix block is visited only on a matrix whose value word agrees with its arity
// and with start and end among its cells; afterwards the block is selected as before (the caret
// on the matrix in mode 5, start and end untouched).
#pragma once

#include <cstdint>

struct ExprNode;

// One algebra code (0x2000..0x2205 but the clipboard's 0x2200..0x2203) on the current editor.
// The editor reaches it as DoAlgebraCommand through its hook, which InstallAlgebraSeams fills.
// A range (mode 1) is grouped only for codes that have steps, so a code without steps leaves
// the tree as it was in every mode. Modes other than 0, 1 and 5 run no step.
void RunAlgebraCommand(int32_t code);

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
