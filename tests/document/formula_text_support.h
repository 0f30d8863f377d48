// Formulas as the bracket writer gives them, for tests that compare rows by their text: a tree's
// text, and the text of a formula read the way a paste reads it (numbers then carry their digits).
#pragma once

#include <string>

#include "kernel/memory/memory_budget.h"
#include "kernel/text/bracket_writer.h"
#include "kernel/text/formula_reader.h"
#include "kernel/trees/expr_node.h"

namespace formula_text {

inline std::string Bracket(const ExprNode* node) {
  char* text = FormatExpressionBracket(node);
  std::string s = text != nullptr ? text : "?";
  FreeMemory(text);
  return s;
}

inline std::string Written(const char* formula) {
  ExprNode* tree = ReadWholeFormula(formula);
  const std::string s = Bracket(tree);
  FreeExpression(tree);
  return s;
}

}  // namespace formula_text
