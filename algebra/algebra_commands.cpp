// The command table and the selection walk of the algebra commands. A code's steps are data: one
// row a code, at most six steps, each a function of no arguments over the current editor.
#include "algebra/algebra_commands.h"

#include <array>

#include "algebra/command_progress.h"
#include "algebra/expansion_by_kind.h"
#include "algebra/matrix_arithmetic.h"
#include "algebra/numeric_evaluation.h"
#include "algebra/remote_integration.h"
#include "algebra/rewrite_primitives.h"
#include "algebra/simplifier.h"
#include "algebra/solving.h"
#include "algebra/stepwise_moves.h"
#include "algebra/substitution.h"
#include "algebra/vector_calculus.h"
#include "editor/caret_navigation.h"
#include "editor/layout_driver.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/trees/expr_node.h"

namespace {

using Step = void (*)();

// A distribution that would make more nodes than this is refused: nested wide equations (which
// only pasted text makes) would otherwise multiply the tree by its width at every level.
constexpr int kMaxDistributedNodes = 100000;

struct CommandSteps {
  int32_t code;
  std::array<Step, 6> steps;  // in order; the unused slots are null
};

// Codes not listed (0x2001, 0x2003..0x2006, 0x2008..0x2015, 0x2017..0x201A, 0x2204, 0x2205) have
// no steps. 0x2002 is the expansion: its last step is MathCommand2001.
constexpr CommandSteps kCommands[] = {
    {0x2000, {NormalizeSelectionChildren, SimplifySelection, SymbolicRewriteSelection, RemoteEvaluateSelection,
              ApplySubstitutionsInFormula}},
    {0x2002, {NormalizeSelectionChildren, FoldSumsInFormula, MathCommand2001}},
    {0x2007, {EvaluateSelectionNumerically}},
    {0x2016, {MathCommand2016}},
    {0x201B, {NormalizeSelectionChildren, ApplySubstitutionsInFormula, SimplifySelectionAndSubstitute,
              SymbolicRewriteSelection, FoldSumsInFormula, ExpandVectorOperatorsInFormula}},
    {0x2100, {[] { DirectedRewriteForward(0); }}},
    {0x2101, {MathCommand2101}},
    {0x2102, {MathCommand2102}},
    {0x2103, {[] { DirectedRewriteBackward(0); }}},
    {0x2104, {MathCommand2104}},
    {0x2105, {MathCommand2105}},
    {0x2106, {MathCommand2106}},
    {0x2107, {MathCommand2107}},
    {0x2108, {MoveSelectedOperandLeft}},
    {0x2109, {MoveSelectedOperandRight}},
};

FormulaEditor* Editor() { return TypesettingGlobals().currentEditor; }

const CommandSteps* StepsOf(int32_t code) {
  for (const CommandSteps& row : kCommands) {
    if (row.code == code) return &row;
  }
  return nullptr;
}

// An equation under these stays an equation: a list of conditions, a summation's index range, a
// substitution's binding, a mapping.
bool KeepsEquations(uint32_t kind) {
  return kind == KindComma || kind == KindSum || kind == KindSubstitution || kind == KindRightarrow;
}

// The code on each cell of the selected block, row by row, left to right. The matrix keeps its
// identity through the cells' steps: every step changes its caret node in place or moves the caret
// to a node of its own, and no rule moves a cell within its matrix.
void RunOnMatrixBlock(FormulaEditor* e, int32_t code) {
  ExprNode* matrix = e->caretNode;
  const int32_t start = e->selectionStart, end = e->selectionEnd;
  if (!IsWellFormedMatrix(matrix) || start < 0 || end < 0 || start >= matrix->arity || end >= matrix->arity) return;
  const int32_t k = matrix->value.halves.second;
  for (int32_t r = start / k; r <= end / k; ++r) {
    for (int32_t c = start % k; c <= end % k; ++c) {
      e->caretNode = matrix->children[r * k + c];
      e->selectionMode = SelectionCaretNode;
      RunAlgebraCommand(code);
    }
  }
  e->caretNode = matrix;
  e->selectionMode = SelectionMatrixBlock;
  e->selectionStart = start;
  e->selectionEnd = end;
}

void RunSteps(FormulaEditor* e, int32_t code) {
  const CommandSteps* row = StepsOf(code);
  if (row == nullptr) return;
  const int32_t mode = e->selectionMode;
  if (mode == SelectionChildRange) {
    // The group is selected as a node: start and end no longer name children.
    if (ExprNode* group = GroupSelectedRange()) SetFormulaSelection(group, SelectionCaretNode);
  }
  if (e->selectionMode == SelectionCaretNode) {
    for (Step step : row->steps) {
      if (step != nullptr && !MathCommandStopped()) step();
    }
  } else if (mode == SelectionMatrixBlock) {
    RunOnMatrixBlock(e, code);
  }
}

}  // namespace

FormulaSnapshot::~FormulaSnapshot() { FreeExpression(tree_); }

bool FormulaSnapshot::Take(const FormulaEditor* editor) {
  tree_ = CopyTree(editor->root);
  caretPath_ = PathFromRoot(editor->caretNode);
  mode_ = editor->selectionMode;
  start_ = editor->selectionStart;
  end_ = editor->selectionEnd;
  return tree_ != nullptr;
}

void FormulaSnapshot::PutBack(FormulaEditor* editor) {
  if (tree_ == nullptr) return;
  ReplaceExpression(tree_, editor->root);
  tree_ = nullptr;
  ExprNode* caret = NodeAtPath(editor->root, caretPath_);
  editor->caretNode = caret != nullptr ? caret : editor->root;
  editor->selectionMode = mode_;
  editor->selectionStart = start_;
  editor->selectionEnd = end_;
}

void RunAlgebraCommand(int32_t code) {
  FormulaEditor* e = Editor();
  if (e == nullptr || e->caretNode == nullptr) return;
  MathCommandScope command;
  FormulaSnapshot before;
  if (command.Outermost() && StepsOf(code) != nullptr && !before.Take(e)) return;
  RunSteps(e, code);
  // A command that ran to its end is kept: only a stop seen while it worked puts the formula back.
  if (command.Outermost() && MathCommandStopReason() != CommandStop::kNone) before.PutBack(e);
  InvalidateFormulaLayout();
}

void SimplifySelection() {
  const FormulaEditor* e = Editor();
  if (e == nullptr || e->caretNode == nullptr) return;
  SimplifySelectionWithDerivatives(e->caretNode);
  InvalidateFormulaLayout();
}

void NormalizeSelectionChildren() {
  const FormulaEditor* e = Editor();
  if (e == nullptr || e->caretNode == nullptr) return;
  RemoveIdWrappers(e->caretNode);
  TreeCursor cursor(e->caretNode, WalkOrder::kPostOrder);
  for (ExprNode* n = cursor.Current(); n != nullptr && !GetOutOfMemoryFlag(); n = cursor.Next()) {
    if (KeepsEquations(n->kind)) continue;
    // n stays the node it is (its content replaced), so the indexes go on over its new operands.
    for (int i = 0; i < n->arity && !GetOutOfMemoryFlag(); ++i) {
      if (n->children[i]->kind == KindEqual && !IsIndexEquation(n->children[i])) DistributeOverEquation(n, i);
    }
  }
}

void DistributeOverEquation(ExprNode* node, int i) {
  if (i < 0 || i >= node->arity || node->children[i]->kind != KindEqual || node->children[i]->arity < 1) return;
  const int m = node->children[i]->arity;
  if (static_cast<int64_t>(CountSubtreeNodes(node)) * m > kMaxDistributedNodes) return;
  ExprNode* sides = BuildEach(KindEqual, m, [node, i](int j) {
    ExprNode* copy = CopyTree(node);
    if (copy != nullptr) BecomeOperand(copy->children[i], j);
    return copy;
  });
  if (sides != nullptr) ReplaceExpression(sides, node);
}
