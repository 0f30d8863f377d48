// The seams through which evaluation reaches the document and the algebra, with their defaults.
// Invariants: all seam state lives in one record reset by ResetEvaluationSeams, apart from the
// derivative bound, which is each thread's own and lives only while its pass runs; a null seam
// always means "use the default".
#include "kernel/eval/evaluation_seams.h"

#include <algorithm>
#include <cstdint>

#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"

namespace {

struct EvaluationSeams {
  DefinedValueLookup lookup = nullptr;
  TreePass expandDerivatives = nullptr;
  TreePass normalise = nullptr;
  NodeNumberReader nodeToNumber = nullptr;
  double parameterValue = 0.0;
};
EvaluationSeams gSeams;

// The bounded expansion running on this thread: the walk work past which it gives up (0: none
// running), and whether it got there.
struct DerivativeBound {
  uint64_t workCeiling = 0;
  bool exceeded = false;
};
thread_local DerivativeBound tDerivativeBound;

}  // namespace

void SetDefinedValueLookup(DefinedValueLookup lookup) { gSeams.lookup = lookup; }

void LookUpDefinedValue(Complex* out, int32_t key) {
  if (gSeams.lookup != nullptr) {
    gSeams.lookup(out, key);
  } else {
    *out = Complex{1.0, 0.0};
  }
}

double ParameterValue() { return gSeams.parameterValue; }
void SetParameterValue(double value) { gSeams.parameterValue = value; }
// The letter is the classifier's free variable: one process-wide byte kept with the classifier.
int32_t ParameterLetter() { return FreeVariable(); }
void SetParameterLetter(int32_t letter) { SetFreeVariable(static_cast<uint8_t>(letter)); }

void SetExpandDerivativesPass(TreePass pass) { gSeams.expandDerivatives = pass; }
void ExpandDerivatives(ExprNode* tree) {
  if (gSeams.expandDerivatives != nullptr && tree != nullptr) gSeams.expandDerivatives(tree);
}

bool ExpandDerivativesWithin(ExprNode* tree, uint64_t workLimit) {
  const DerivativeBound outer = tDerivativeBound;  // a bounded pass inside another keeps the tighter
  const uint64_t now = TreeWalkWork();
  const uint64_t ceiling = workLimit < UINT64_MAX - now ? now + workLimit : UINT64_MAX - 1;
  tDerivativeBound = DerivativeBound{outer.workCeiling != 0 ? std::min(ceiling, outer.workCeiling) : ceiling, false};
  ExpandDerivatives(tree);
  const bool within = !tDerivativeBound.exceeded;
  tDerivativeBound = outer;
  DerivativeWorkExceeded();  // an outer pass asks its own bound again
  return within;
}

bool DerivativeWorkExceeded() {
  DerivativeBound& bound = tDerivativeBound;
  if (bound.workCeiling != 0 && !bound.exceeded && TreeWalkWork() > bound.workCeiling) bound.exceeded = true;
  return bound.exceeded;
}

void SetNormaliseTreePass(TreePass pass) { gSeams.normalise = pass; }
void NormaliseTree(ExprNode* tree) {
  if (gSeams.normalise != nullptr && tree != nullptr) gSeams.normalise(tree);
}

void SetNodeToNumberReader(NodeNumberReader reader) { gSeams.nodeToNumber = reader; }
NodeNumberReader InstalledNodeToNumberReader() { return gSeams.nodeToNumber; }

void ResetEvaluationSeams() {
  gSeams = EvaluationSeams{};
  SetFreeVariable(0);
}
