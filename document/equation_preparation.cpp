// The equation preparation: the job on the compute worker, the rows' copies it stands for, and the
// steps that turn a row's formula into its prepared equation.
#include "document/equation_preparation.h"

#include <climits>

#include "algebra/command_progress.h"
#include "algebra/differentiation.h"
#include "algebra/matrix_arithmetic.h"
#include "algebra/pattern_rewriting.h"
#include "algebra/rewrite_primitives.h"
#include "algebra/simplifier.h"
#include "algebra/substitution.h"
#include "algebra/vector_calculus.h"
#include "graphs/core/compute_worker.h"
#include "graphs/core/document_services.h"
#include "graphs/factory/definitions.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/eval/evaluation_budget.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/memory/memory_shortage.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"

namespace {

// The node-pool blocks the preparation of one row may add: as much memory as one Math command may
// take, counted as a command counts new nodes (32 bytes at least each). Blocks, not bytes: a row
// reuses the blocks that earlier ones freed without taking new memory.
constexpr size_t kMaxPreparationBlocks = kMaxCommandBytes / 32;

bool HasDerivativeOperator(const ExprNode* tree) {
  TreeCursor cursor(const_cast<ExprNode*>(tree), WalkOrder::kPreOrder);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (n->kind == KindOptotal || n->kind == KindOppartial) return true;
  }
  return false;
}

// Tree-walk work between two turns of the preparation, as the machines take a turn every so many
// instructions: a fraction of a millisecond, so that a cheap preparation (every row of an
// ordinary document) ends in the call that starts it however late its thread is scheduled.
constexpr uint64_t kPreparationTurnWork = uint64_t{1} << 14;

}  // namespace

void EquationPreparation::TakeTurn() {
  const uint64_t work = TreeWalkWork();
  if (!gEvaluationTurns.everyStart && work - turnWork_ < kPreparationTurnWork) return;
  turnWork_ = work;
  // The other thread finds the algebra's switches as it would with no preparation under way, and
  // the preparation gets its own back (also when it is abandoned here).
  struct Restore {
    AlgebraSwitches saved = Switches();
    ~Restore() { Switches() = saved; }
  } restore;
  ResetAlgebraSwitches();
  EvaluationTurn(TurnKind::kRewrite);
}

EquationPreparation::~EquationPreparation() { Restart(); }

void EquationPreparation::Forget() {
  for (int32_t i = 0; i < rows_.count; ++i) {
    FreeExpression(rows_.data[i].source);
    FreeExpression(rows_.data[i].equation);
  }
  GrowArrayFree(rows_);
  FreeExpression(definitions_);
  definitions_ = nullptr;
  graph_.Forget();
  FreeExpression(working_);
  working_ = nullptr;
  next_ = 0;
  begun_ = refused_ = false;
}

void EquationPreparation::Restart() {
  if (JobSuspended(Job, this)) AbandonSuspendedCompute();
  Forget();
}

bool EquationPreparation::MatchesRows() const {
  if (refused_) return true;  // memory was refused for the copies: nothing is prepared until the next change
  if (rows_.count != document_->RowCount()) return false;
  for (int32_t i = 0; i < rows_.count; ++i) {
    const EquationRow& row = document_->RowAt(i);
    const ExprNode* now = row.kind == 0 ? row.expression : nullptr;
    const PreparedRow& prepared = rows_.data[i];
    if (prepared.refused) continue;
    const bool same = prepared.source == nullptr ? now == nullptr
                                                 : now != nullptr && ExpressionsAndShapesEqual(prepared.source, now);
    if (!same) return false;
  }
  return true;
}

bool EquationPreparation::PrepareInTurns(int32_t budget) {
  if (begun_ && !MatchesRows()) Restart();
  if (UnderWay()) RunInTurns(Job, this, budget);
  return !UnderWay();
}

void EquationPreparation::Finish() {
  while (!PrepareInTurns(INT32_MAX / 2)) {
  }
}

const PreparedRow* EquationPreparation::Row(int32_t i) const {
  if (UnderWay() || refused_ || i < 0 || i >= rows_.count) return nullptr;
  return &rows_.data[i];
}

void EquationPreparation::Job(void* preparation, int32_t) { static_cast<EquationPreparation*>(preparation)->Run(); }

void EquationPreparation::Run() {
  struct TurnScope {
    explicit TurnScope(EquationPreparation* preparation) { SetRewriteTurnHook(Turn, preparation); }
    ~TurnScope() { SetRewriteTurnHook(nullptr, nullptr); }
  } turns(this);
  // A row abandoned in the middle is prepared again from its copy.
  FreeExpression(working_);
  working_ = nullptr;
  turnWork_ = TreeWalkWork();
  if (!begun_) Begin();
  for (bool first = true; next_ < rows_.count; first = false) {
    if (!first) TakeTurn();
    PrepareRow(&rows_.data[next_]);
    ++next_;
  }
}

void EquationPreparation::Begin() {
  Forget();
  begun_ = true;
  // The rows and the definitions are taken together, with no turn between them.
  for (int32_t i = 0; i < document_->RowCount(); ++i) {
    const EquationRow& row = document_->RowAt(i);
    PreparedRow prepared;
    if (row.kind == 0 && row.expression != nullptr) {
      prepared.source = CopyTree(row.expression);
      prepared.refused = prepared.source == nullptr;
    }
    if (!GrowArrayAppend(rows_, prepared)) {
      FreeExpression(prepared.source);
      Forget();
      begun_ = refused_ = true;
      PostError(kErrorOutOfMemory);
      return;
    }
  }
  definitions_ = CollectDefinitionEquations(document_);
  GroupFunctionArguments(definitions_);
  graph_.Learn(definitions_);
}

bool EquationPreparation::GrownTooLarge() const {
  return NodePoolBlocksInUse() > rowStartBlocks_ + kMaxPreparationBlocks;
}

bool EquationPreparation::Turn(void* preparation) {
  auto* self = static_cast<EquationPreparation*>(preparation);
  self->tooLarge_ = self->tooLarge_ || self->GrownTooLarge();
  if (self->tooLarge_) return false;
  self->TakeTurn();
  return true;
}

int32_t EquationPreparation::ApplyDefinitions(ExprNode* formula, DefinitionFault fault) {
  if (definitions_ == nullptr) return 0;
  if (fault == DefinitionFault::kWrongArgumentCount) return kMessageWrongArgumentCount;
  // A definition that is drawn (a complex point, x_1 = ...) keeps the name it defines.
  ExprNode* target = formula->kind == KindEqual && IsDefinitionEquation(formula) ? formula->children[1] : formula;
  const SwitchGuard unordered(&AlgebraSwitches::orderFactors, false);
  bool unsettled = false;
  if (fault == DefinitionFault::kRefersToItself || graph_.HasOtherRules()) {
    // Within the rewriting's own limits: a recursion that ends there (a factorial of 3 with its
    // case of 0) is kept, one that still rewrites at the last pass is told rather than left half
    // done.
    unsettled = RewriteToFixpoint(target, definitions_);
  } else {
    // No name reaches a cycle, so the rewriting ends: passes that offer every node to the rules go
    // on until one changes nothing, however many uses the formula makes of the names.
    while (RewriteEveryNode(target, definitions_)) {
    }
  }
  if (tooLarge_) return fault == DefinitionFault::kRefersToItself ? kMessageRefersToItself : kMessageGrowsTooLarge;
  if (unsettled) return kMessageRefersToItself;
  return graph_.MisappliesFunction(formula) ? kMessageWrongArgumentCount : 0;
}

void EquationPreparation::PrepareRow(PreparedRow* row) {
  if (row->source == nullptr) return;
  if (IsUndrawnDefinition(row->source)) {
    row->definition = true;
    return;
  }
  const uint64_t reports = NodeExhaustionReports();
  rowStartBlocks_ = NodePoolBlocksInUse();
  tooLarge_ = false;
  working_ = CopyTree(row->source);
  if (working_ == nullptr) return;  // error 7 is posted: the row builds nothing
  FoldPrimesIntoCoordinates(working_);
  GroupFunctionArguments(working_);
  int32_t message = ApplyDefinitions(working_, graph_.FaultOf(working_));
  if (message == 0) {
    ExpandVectorOperators(working_);
    if (HasDerivativeOperator(working_) &&
        !ExpandDerivativesWithin(working_, DerivativeWorkLimit(CountSubtreeNodes(working_)))) {
      message = kMessageGrowsTooLarge;
    }
  }
  if (message == 0) {
    SymbolicRewritePass(working_);
    ApplySubstitutions(working_);
    if (GrownTooLarge()) message = kMessageGrowsTooLarge;
  }
  if (NodeExhaustionReports() != reports || IsMemoryShort()) {
    message = 0;  // memory was refused on the way (error 7 posted): what is left is no result
  } else if (message == 0) {
    row->equation = working_;
    working_ = nullptr;
  }
  row->message = message;
  FreeExpression(working_);
  working_ = nullptr;
}
