// Fuzz target for the formula text reader: any bytes must parse or be refused without a
// crash, a sanitizer report or a leak; a tree that parses must be well formed, every writer
// must handle it, and its bracket text must read back as the same tree when the writer
// calls it exact; the whole-text reading of pastes and server replies takes the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "kernel/kernel_startup.h"
#include "kernel/text/number_settings.h"
#include "kernel/text/bracket_writer.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/trees/expr_node.h"
#include "kernel/text/formula_reader.h"
#include "kernel/text/formula_writer.h"
#include "kernel/memory/memory_budget.h"
#include "tests/kernel/text/formula_tree_compare.h"

namespace {

ExprNode* Read(const char* text) {
  SetFormulaReaderText(text);
  return ParseFormulaText();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InitApplicationGlobals();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  SetDecimalSeparator(size > 0 && (data[0] & 1) ? ',' : '.');
  ExprNode* tree = Read(text.c_str());
  if (tree) {
    if (!CheckExpressionTree(tree)) std::abort();
    FreeMemory(FormatExpressionText(tree, size & 1));
    FreeMemory(FormatExpressionLisp(tree));
    bool exact = false;
    char* bracket = FormatExpressionBracket(tree, &exact);
    if (bracket) {
      ExprNode* back = Read(bracket);
      if (!back && exact) std::abort();
      if (back && exact && !StrictlyEqual(tree, back)) std::abort();
      FreeExpression(back);
      FreeMemory(bracket);
    }
    FreeExpression(tree);
  }
  // The reading of untrusted whole texts (pastes, server replies) over the same bytes.
  if (ExprNode* whole = ReadWholeFormula(text.c_str())) {
    if (!CheckExpressionTree(whole)) std::abort();
    FreeExpression(whole);
  }
  ReleaseNodePools();
  SetOutOfMemoryFlag(false);
  ResetErrorRegister();
  return 0;
}
