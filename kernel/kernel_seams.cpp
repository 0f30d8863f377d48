// Hooks to the documents and algebra layers, and the greatest common divisor the rational
// powers need. An absent hook answers false so the kernel runs alone (tests, early start-up).
#include "kernel/kernel_seams.h"

#include <cmath>

namespace {

KernelSeams gSeams;

bool IsFiniteInteger(double x) { return std::isfinite(x) && std::floor(x) == x; }

}  // namespace

KernelSeams& GetKernelSeams() { return gSeams; }

void ResetKernelSeams() { gSeams = KernelSeams{}; }

bool TreeUsesDefinedName(const ExprNode* tree, const void* definitions) {
  if (gSeams.treeUsesDefinedName == nullptr || tree == nullptr) return false;
  return gSeams.treeUsesDefinedName(tree, definitions);
}

bool CanMoveSelectedTerm() {
  return gSeams.canMoveSelectedTerm != nullptr && gSeams.canMoveSelectedTerm();
}

double GreatestCommonDivisor(double a, double b) {
  if (!IsFiniteInteger(a) || !IsFiniteInteger(b)) return 1.0;
  a = std::fabs(a);
  b = std::fabs(b);
  // fmod is exact, so each remainder is a smaller integer and the loop ends.
  while (b != 0.0) {
    const double r = std::fmod(a, b);
    a = b;
    b = r;
  }
  return a;
}
