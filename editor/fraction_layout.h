// Layout handlers of fractions (over), powers and numbers in scientific notation (sn). A
// too-wide fraction or power is set on one line by the infix handler with its kind's glyph. A
// built-up fraction and what it holds are centred on the math axis (baseline flag 0); a power
// takes its base's flag.
#pragma once

#include <cstdint>

struct ExprNode;

// Inline a/b when both operands are atoms and the fraction is a power's exponent (or a minus
// that is one); else built up: numerator over denominator about a bar W + 166u long.
void LayoutFraction(ExprNode* node, int32_t mode);
// Whether a fraction is set inline (both operands atoms, in an exponent).
bool IsInlineFraction(const ExprNode* node);
// The exponent raised by SuperscriptRaise after the base; over a lone subscript of an indexes
// base; between the name and the argument of a named function or log base (sin² x).
void LayoutPower(ExprNode* node, int32_t mode);
// mantissa × 10 with the exponent raised; in a too-wide formula mantissa "E" exponent.
void LayoutScientific(ExprNode* node, int32_t mode);
