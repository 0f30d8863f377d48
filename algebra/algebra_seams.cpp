// One installer, so start-up cannot fill one seam and forget the other.
#include "algebra/algebra_seams.h"

#include "algebra/differentiation.h"
#include "algebra/normalisation_passes.h"
#include "kernel/eval/evaluation_seams.h"

void InstallAlgebraSeams() {
  SetNormaliseTreePass(NormaliseForCompilation);
  SetExpandDerivativesPass(ExpandDerivativesPass);
}
