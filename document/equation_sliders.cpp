// The slider rows' model: bounds and steps read from the formula, and the texts of the strip.
#include "document/equation_sliders.h"

#include <algorithm>
#include <cmath>

#include "graphs/factory/definitions.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/text/formula_writer.h"
#include "kernel/text/number_text.h"
#include "kernel/trees/expr_node.h"

namespace {

// The comma list of a slider definition's arguments: equal(name, slider(id(comma(...)))).
const ExprNode* SliderArguments(const ExprNode* definition) {
  return definition->children[1]->children[0]->children[0];
}

// Refreshes one row; true when it has a control afterwards.
bool UpdateRowSlider(EquationRow* row) {
  row->hasSliderControl = false;
  if (row->kind != 0 || row->expression == nullptr || !IsSliderDefinition(row->expression)) return false;
  const ExprNode* arguments = SliderArguments(row->expression);
  const double low = NodeToNumber(arguments->children[0]);
  const double high = NodeToNumber(arguments->children[1]);
  if (!std::isfinite(low) || !std::isfinite(high)) return false;
  int32_t steps = kDefaultSliderSteps;
  if (arguments->arity >= 3) {
    const double wanted = NodeToNumber(arguments->children[2]);
    if (!std::isfinite(wanted)) return false;
    steps = static_cast<int32_t>(std::clamp(std::round(wanted), 1.0, static_cast<double>(kMaxSliderSteps)));
  }
  row->sliderMin = low;
  row->sliderMax = high;
  row->sliderSteps = steps;
  row->sliderValue = std::clamp(row->sliderValue, 0, steps);
  row->hasSliderControl = true;
  return true;
}

}  // namespace

int32_t UpdateEquationSliders(EquationRow* rows, int32_t count) {
  int32_t sliders = 0;
  for (int32_t i = 0; i < count; ++i) sliders += UpdateRowSlider(&rows[i]) ? 1 : 0;
  return sliders;
}

std::string SliderNameText(const EquationRow& row) {
  std::string name;
  if (!row.hasSliderControl) return name;
  if (char* text = FormatExpressionText(row.expression->children[0], false)) {
    name = text;
    FreeMemory(text);
  }
  return name;
}

std::string SliderValueText(const EquationRow& row) {
  char text[64];
  FormatDoubleShort(GetRowSliderValue(row), text, sizeof text);
  return text;
}
