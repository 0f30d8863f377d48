// The one instance of the typesetting state and its reset.
#include "editor/typeset_state.h"

#include <algorithm>
#include <iterator>

namespace {

TypesetGlobals MakeStartState() {
  TypesetGlobals s{};
  std::copy(std::begin(kDefaultFontSizes), std::end(kDefaultFontSizes), s.defaultFontSizes);
  return s;
}

TypesetGlobals gState = MakeStartState();

}  // namespace

TypesetGlobals& TypesetState() {
  if (!gState.currentStyle) gState.currentStyle = gState.defaultFontSizes;
  return gState;
}

void ResetTypesetStateForTest() {
  gState = MakeStartState();
  TypesettingGlobals() = TypesettingState{};
}
