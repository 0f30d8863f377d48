// Typing letters and symbols. A letter becomes a char node at the caret, joined to its neighbour
// as a factor; a run of letters in a product that spells a function or constant name turns into
// it as its last letter is typed (s, i, n gives sin with the caret in its argument; p, i gives
// π). Special letters: "E" after a number starts scientific notation, "d" inside an integral
// starts its differential, "f" after "i" makes a condition, "h" after a trigonometric name makes
// it hyperbolic. A letter whose box carries the name-break mark never takes part in a name.
#pragma once

#include <cstdint>

// A letter (A..Z, a..z) or a symbol id (0x1300..0x1332).
void TypeLetter(int32_t code);
// The caret node becomes a char node of the code (the caret after it), then names are
// recognised.
void InsertSymbolAtCaret(int32_t code);
