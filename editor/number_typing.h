// Typing numbers: a digit extends the number at the caret (after it, in front of it or inside
// its digits) or starts a new one, joined to what stands next to it as a factor (or, before a
// negated term, as a term); the decimal separator goes into a number's text once. Text limits,
// in characters before the change: a digit after or in front of a number while it has fewer
// than 18, inside its digits while it has at most 23, a separator while fewer than 21. A number
// at a limit ignores the character. After every change the value is read back from the text.
#pragma once

#include <cstdint>

void TypeDigit(int32_t code);  // '0'..'9'
void TypeDecimalPoint();
// The caret node becomes the number code - '0' (codes past '9' give larger values: ':' is 10),
// with its short text, and the caret goes after it.
void InsertDigitNumber(int32_t code);
// Ends a caret inside digits: a selected range is cleared, then the number is split at the
// caret into a product of two numbers (1234 with the caret after 12 becomes 12·34), the caret
// after the first. At the first digit the caret goes before the number and at the last after
// it, with no split (never an empty number).
void LeaveNumberDigits();
