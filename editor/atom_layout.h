// Layout handlers of the atoms: number, prompt, character and dummy, string. Each box has ascent
// S, descent S/4 and its reference line on the text baseline; each draws its glyphs from the
// baseline point.
#pragma once

#include <cstdint>

struct ExprNode;

// The display text in the text slot; a truncated number is wider by the Symbol ellipsis (188),
// drawn at its right end, or after the mantissa's digits when the text has an exponent ("e" or
// "E"): an ellipsis never follows an exponent.
void LayoutNumber(ExprNode* node, int32_t mode);
// A bold "?"; not drawn (its box kept) while it is the caret node and the prompt caret pending.
void LayoutPrompt(ExprNode* node, int32_t mode);
// A symbol id of the symbol table in the Symbol slot, any other id as a character of the text
// slot; a primed coordinate (x' = 0x7078) as its letter and a prime; a dummy in bold.
void LayoutCharacter(ExprNode* node, int32_t mode);
// Condensed text: an empty string shows two double quotes, a single letter follows an
// apostrophe, anything else shows as it is.
void LayoutString(ExprNode* node, int32_t mode);
