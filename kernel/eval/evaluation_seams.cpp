// The seams through which evaluation reaches the document and the algebra, with their defaults.
// Invariants: all seam state lives in one record reset by ResetEvaluationSeams; a null seam
// always means "use the default".
#include "kernel/eval/evaluation_seams.h"

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
  // The bounded expansion now running: the most blocks it may see in use, whether it passed
  // them, and the steps since the count was last read (reading it walks the pools' chunks).
  size_t blockCeiling = SIZE_MAX;
  bool workExceeded = false;
  uint32_t stepsUnread = 0;
};
EvaluationSeams gSeams;

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

bool ExpandDerivativesWithin(ExprNode* tree, size_t blockLimit) {
  const size_t inUse = NodePoolBlocksInUse();
  gSeams.blockCeiling = blockLimit < SIZE_MAX - inUse ? inUse + blockLimit : SIZE_MAX;
  gSeams.workExceeded = false;
  gSeams.stepsUnread = 0;
  ExpandDerivatives(tree);
  const bool within = !gSeams.workExceeded;
  gSeams.blockCeiling = SIZE_MAX;
  gSeams.workExceeded = false;
  return within;
}

bool DerivativeWorkExceeded() {
  constexpr uint32_t kStepsPerCount = 8;
  if (gSeams.blockCeiling == SIZE_MAX || gSeams.workExceeded) return gSeams.workExceeded;
  if (++gSeams.stepsUnread < kStepsPerCount) return false;
  gSeams.stepsUnread = 0;
  gSeams.workExceeded = NodePoolBlocksInUse() > gSeams.blockCeiling;
  return gSeams.workExceeded;
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
