// Typing numbers: a digit extends the number at the caret (after, in front or inside its digits)
// or starts a new one beside the caret node as a factor (a term before a negation); a number
// takes one decimal separator. Limits, in characters before the change: a digit after or in front
// while fewer than 18, inside while at most 23, a separator while fewer than 21; past them the
// character is ignored, and a character ignored changes nothing (the layout is not invalidated).
// After every change the value is read back from the text.
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
