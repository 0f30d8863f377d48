// The highlight rectangle of the current editor's selection in layout coordinates (one long
// line), from the caret node's box narrowed or widened by the selection mode, and a second
// rectangle for what belongs to a selected node but lies outside its box (the exponent of sin²,
// the variable of d/dx). The caret bar, the highlight and the hit tests all start from it.
#pragma once

#include <cstdint>

#include "editor/layout_boxes.h"
#include "editor/typeset_units.h"
#include "kernel/trees/typeset_records.h"

struct ExprNode;

// Writes the selection rectangle and the second one (all zero unless a rule fills it). False,
// leaving both untouched, without a current editor or a laid-out caret node.
bool ComputeSelectionGeometry(FixedRect* selection, FixedRect* second);

// The font of a number's or string's text at its node's size (condensed for a string), set for
// the scope's length; the previous font state comes back at its end.
class NodeTextFont {
 public:
  explicit NodeTextFont(const ExprNode* node);
  // The text shown (a number's digits or a string's characters; "" for other kinds).
  const char* Text() const { return text_; }
  Fixed CharWidth(int32_t i) const;       // of character i
  Fixed PrefixWidth(int32_t count) const;  // of the first count characters

 private:
  TypesetFontScope scope_;
  const char* text_;
};
