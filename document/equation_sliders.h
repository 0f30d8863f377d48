// The slider rows' model: a row that defines a parameter by a slider (a = slider(0, 10)) gets its
// control's bounds and steps from its formula, and shows its name and value as text. Rows alone:
// the strip that draws them and the document that holds them are elsewhere.
// Invariants: a row has a slider control exactly when its formula is a slider definition with
// finite bounds; its position stays within 0 .. steps.
#pragma once

#include <cstdint>
#include <string>

#include "graphs/core/document_services.h"

inline constexpr int32_t kDefaultSliderSteps = 100;
inline constexpr int32_t kMaxSliderSteps = 100000;

// Refreshes the slider fields of `count` rows from their formulas: a slider definition whose
// bounds are finite numbers gets the control with min and max from its first two arguments and its
// steps from the third (rounded, 1 .. kMaxSliderSteps; kDefaultSliderSteps without one); its
// position is kept, brought into 0 .. steps. Any other row loses its control. Returns the rows
// with a control.
int32_t UpdateEquationSliders(EquationRow* rows, int32_t count);

// The parameter's name as the strip shows it ("a", "alpha") and its value text; empty for a row
// without a control.
std::string SliderNameText(const EquationRow& row);
std::string SliderValueText(const EquationRow& row);
