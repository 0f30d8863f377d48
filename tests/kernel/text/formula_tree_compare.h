// Strict tree equality for the formula text tests and the reader's fuzz target: kinds,
// arities, number values bit for bit (NaN equals NaN), display texts, string texts, symbols
// and the matrix, indexes, tensor and chem parameters that ExpressionsEqual ignores.
#pragma once

#include <cmath>
#include <cstring>
#include <string>

#include "kernel/trees/expr_node.h"

// True when the trees agree; otherwise *why (when given) says where they first differ.
inline bool StrictlyEqual(const ExprNode* a, const ExprNode* b, std::string* why = nullptr) {
  auto differ = [&](const std::string& what) {
    if (why) *why = what;
    return false;
  };
  if (!a || !b) return a == b ? true : differ("one tree missing");
  if (a->kind != b->kind) return differ("kind " + std::to_string(a->kind) + " vs " + std::to_string(b->kind));
  switch (a->kind) {
    case KindNum: {
      double x = a->value.number->value, y = b->value.number->value;
      if (!(std::isnan(x) && std::isnan(y)) && std::memcmp(&x, &y, sizeof x) != 0) return differ("number value");
      if (std::strcmp(a->value.number->text, b->value.number->text) != 0)
        return differ(std::string("number text ") + a->value.number->text + " vs " + b->value.number->text);
      return true;
    }
    case KindString:
      if (std::strcmp(a->text ? a->text : "", b->text ? b->text : "") != 0) return differ("string text");
      return true;
    case KindChar:
    case KindDummy:
      if (a->value.symbol != b->value.symbol) return differ("symbol");
      break;
    case KindMatrix:
    case KindIndexes:
      if (a->value.halves.first != b->value.halves.first || a->value.halves.second != b->value.halves.second)
        return differ("shape");
      break;
    case KindTensor:
      if (a->value.tensorMask != b->value.tensorMask) return differ("tensor");
      break;
    case KindChem:
      if (std::memcmp(a->value.chem, b->value.chem, 4) != 0) return differ("chem");
      break;
    default: break;
  }
  if (a->arity != b->arity) return differ("arity of kind " + std::to_string(a->kind));
  for (int i = 0; i < a->arity; ++i) {
    if (!StrictlyEqual(a->children[i], b->children[i], why)) return false;
  }
  return true;
}
