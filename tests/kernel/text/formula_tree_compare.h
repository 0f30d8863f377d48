// Strict tree equality for the formula text tests and the reader's fuzz target: kinds, arities,
// number values bit for bit (NaN equals NaN), display texts, string texts, symbols and the
// matrix, indexes, tensor and chem parameters that ExpressionsEqual ignores.
#pragma once

#include <cmath>
#include <cstring>

#include "kernel/trees/expr_node.h"

inline bool StrictlyEqual(const ExprNode* a, const ExprNode* b) {
  if (a == nullptr || b == nullptr) return a == b;
  if (a->kind != b->kind) return false;
  if (a->kind == KindNum) {
    const NumberRecord& x = *a->value.number;
    const NumberRecord& y = *b->value.number;
    const bool sameValue = (std::isnan(x.value) && std::isnan(y.value)) || std::memcmp(&x.value, &y.value, sizeof x.value) == 0;
    return sameValue && std::strcmp(x.text, y.text) == 0;
  }
  if (a->kind == KindString) return std::strcmp(a->text ? a->text : "", b->text ? b->text : "") == 0;
  // The other kinds keep their parameters in the value word (0 where there are none).
  if (a->value.raw != b->value.raw || a->arity != b->arity) return false;
  for (int i = 0; i < a->arity; ++i) {
    if (!StrictlyEqual(a->children[i], b->children[i])) return false;
  }
  return true;
}
