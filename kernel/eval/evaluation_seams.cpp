// The seams through which evaluation reaches the document and the algebra, with their defaults.
// Invariants: all seam state lives in one record reset by ResetEvaluationSeams; a null seam
// always means "use the default".
#include "kernel/eval/evaluation_seams.h"

#include <cstring>

#include "kernel/eval/compiled_function.h"
#include "kernel/trees/expr_node.h"
#include "kernel/eval/interpreter.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/trees/node_builders.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/numeric/numeric_constants.h"

namespace {

struct EvaluationSeams {
  DefinedValueLookup lookup = nullptr;
  TreePass expandDerivatives = nullptr;
  TreePass normalise = nullptr;
  NodeNumberReader nodeToNumber = nullptr;
  double parameterValue = 0.0;
};
EvaluationSeams gSeams;

constexpr double kNaN = kUndefinedReal;

// Compiles a copy of the node as a function of its own (a nested compile: no batch, no scratch)
// and evaluates it over private slots, so that no batch or evaluation in progress is disturbed.
double EvaluateNodeCopy(const ExprNode* node) {
  CompiledFunction function{};
  InitFunction(&function, CopyExpression(node));
  double result = kNaN;
  CompiledCode* code = NewCompiledCode();
  EvalCell* slots = nullptr;
  if (code != nullptr && function.tree != nullptr) {
    CompileExpression(code, function.tree, function.bindings != nullptr ? &function : nullptr, true);
    function.code = code;
    code = nullptr;
    function.complex = function.code->complex = UsesComplexNumbersOutsideSumIndexes(function.tree) ? 1 : 0;
    const int32_t cells = function.code->slotCount;
    slots = static_cast<EvalCell*>(AllocMemory(static_cast<size_t>(cells) * sizeof(EvalCell)));
    if (slots != nullptr) {
      std::memset(static_cast<void*>(slots), 0, static_cast<size_t>(cells) * sizeof(EvalCell));
      if (function.complex) {
        slots[kSlotParameter].complex = Complex{gSeams.parameterValue, 0.0};
        Complex z;
        InterpretComplexCode(&z, function.code, slots, nullptr);
        result = z.im == 0 ? z.re : kNaN;
      } else {
        slots[kSlotParameter].real = gSeams.parameterValue;
        result = InterpretRealCode(function.code, slots, nullptr);
      }
    } else {
      PostError(7);
    }
  }
  FreeMemory(slots);
  FreeCompiledCode(code);
  DisposeFunction(&function);
  return result;
}

double DefaultNodeToNumber(const ExprNode* node) {
  if (node == nullptr) return kNaN;
  if (node->kind == KindNum) return node->value.number != nullptr ? node->value.number->value : kNaN;
  if (node->kind == KindMinus && node->arity == 1 && node->children[0]->kind == KindNum &&
      node->children[0]->value.number != nullptr) {
    return -node->children[0]->value.number->value;
  }
  return EvaluateNodeCopy(node);
}

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

void SetNormaliseTreePass(TreePass pass) { gSeams.normalise = pass; }
void NormaliseTree(ExprNode* tree) {
  if (gSeams.normalise != nullptr && tree != nullptr) gSeams.normalise(tree);
}

void SetNodeToNumberReader(NodeNumberReader reader) { gSeams.nodeToNumber = reader; }
double NodeToNumber(const ExprNode* node) {
  return gSeams.nodeToNumber != nullptr ? gSeams.nodeToNumber(node) : DefaultNodeToNumber(node);
}

void ResetEvaluationSeams() {
  gSeams = EvaluationSeams{};
  SetFreeVariable(0);
}
