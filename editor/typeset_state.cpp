// The one instance of the typesetting state and its reset.
#include "editor/typeset_state.h"

#include <algorithm>
#include <iterator>

#include "kernel/memory/memory_budget.h"
#include "kernel/trees/expr_node.h"

namespace {

TypesetState MakeStartState() {
  TypesetState s{};
  std::copy(std::begin(kDefaultFontSizes), std::end(kDefaultFontSizes), s.defaultFontSizes);
  return s;
}

TypesetState gState = MakeStartState();

}  // namespace

TypesetState& TypesetGlobals() {
  if (!gState.currentStyle) gState.currentStyle = gState.defaultFontSizes;
  return gState;
}

void ResetTypesetGlobalsForTest() {
  FreeExpression(gState.clipboard.expression);
  FreeMemory(gState.clipboard.seenScrapText);
  gState = MakeStartState();
  TypesettingGlobals() = TypesettingState{};
}
