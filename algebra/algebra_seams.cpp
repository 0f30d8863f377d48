// One installer, so start-up cannot fill one seam and forget another.
#include "algebra/algebra_seams.h"

#include "algebra/algebra_commands.h"
#include "algebra/differentiation.h"
#include "algebra/normalisation_passes.h"
#include "algebra/pattern_rewriting.h"
#include "algebra/simplifier.h"
#include "algebra/stepwise_moves.h"
#include "editor/typeset_state.h"
#include "graphics/colour/colour_program_state.h"
#include "graphs/core/graphs_state.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/trees/tree_seams.h"

namespace {

// The factory hands one rule at a time, never one inside the tree.
void RewriteForGraphs(ExprNode* tree, const ExprNode* rule) { RewritePass(tree, rule); }

// The colour programs' complex lowering simplifies with powers left as written.
void SimplifyForColorPrograms(ExprNode* tree) {
  SwitchGuard keepPowers(&AlgebraSwitches::distributePowers, false);
  SimplifyTreeBottomUp(tree);
}

}  // namespace

void InstallAlgebraSeams() {
  SetNormaliseTreePass(NormaliseForCompilation);
  SetExpandDerivativesPass(ExpandDerivativesPass);
  GraphsGlobals().rewritePass = RewriteForGraphs;
  ColorProgramGlobals().simplify = SimplifyForColorPrograms;
  TypesetGlobals().hooks.doAlgebraCommand = RunAlgebraCommand;
  GetTreeSeams().canMoveSelectedTerm = SelectedTermCanMove;
}
