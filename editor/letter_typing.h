// Typing letters and symbols. A letter becomes a char node joined to its neighbour as a factor; a
// run of letters in a product spelling a function or constant name becomes it when its last
// letter is typed (s, i, n gives sin(?); p, i gives π), never through a letter whose box has the
// name-break mark. "E" after a number starts scientific notation, "d" in an integral its
// differential, "f" after "i" a condition, "h" makes a trigonometric function hyperbolic.
#pragma once

#include <cstdint>

// A letter (A..Z, a..z) or a symbol id (0x1300..0x1332).
void TypeLetter(int32_t code);
// The caret node becomes a char node of the code (the caret after it), then names are
// recognised.
void InsertSymbolAtCaret(int32_t code);
