// Number text: conversions between doubles and the text the user sees.
// Invariants: every conversion runs under the "C" numeric rules whatever the process
// locale is; the user's decimal separator is applied only by the explicit swaps here;
// every formatter is given its buffer size and never writes past it.
#pragma once

#include <cstddef>

// Largest significant-digit count any formatter accepts; requests are clamped to 1..17.
constexpr int kMaxSignificantDigits = 17;

// The text read with "%lg". NaN when the text is null or does not yield exactly one value.
double ParseDouble(const char* text);

// Writes value with "%.*g" and digits significant digits (clamped to 1..17) into buffer
// of bufferSize bytes, always NUL-terminated when bufferSize > 0. Returns the length written.
size_t FormatDoubleDigits(char* buffer, size_t bufferSize, double value, int digits);

// Reads user text: skips blanks, tabs, line feeds and carriage returns; "Infinity" gives
// +infinity and "NaN" NaN; otherwise the first decimal separator counts as ".". The caller's
// text is never written (read-only literals are fine).
double ParseNumberLocalized(const char* text);

// FormatDoubleDigits with the first "." replaced by the decimal separator: number text as
// the user reads it. Returns the length written.
size_t FormatDoubleDigitsLocalized(char* buffer, size_t bufferSize, double value, int digits);

// The display form of a value with the display digits: "Infinity" / "-Infinity" for the
// infinities (the sign is kept so that the text reads back as the same value), "NaN", or
// "%.*g" with the first "." replaced by the decimal separator. Returns the length written.
size_t FormatDoubleShort(double value, char* buffer, size_t bufferSize);

// As FormatDoubleShort, with any exponent part split off: the text ends before its "e"
// and *exponent receives the exponent (0 when there is none).
size_t FormatDoubleForEditing(double value, char* buffer, size_t bufferSize, int* exponent);

// The fewest significant digits (1..17) whose text reads back as the value: the digits it holds,
// past which its text shows only the binary value's noise. 1 for zero, NaN and the infinities.
int ShortestDigits(double value);

// value x 10^places, read once from the value's decimal digits with the exponent moved: its
// shortest digits that read back as it (digits 0) or `digits` significant ones (clamped to 1..17).
// NaN, the infinities and zero come back as they are.
double MoveDecimalPoint(double value, long places, int digits);

// mantissa x 10^exponent as the value of a number written in scientific notation: the decimal the
// mantissa stands for (its shortest digits, MoveDecimalPoint) times ten to a whole exponent, read
// once, so 6.02 x 10^23 is the double nearest 6.02e23 and a value of at most 15 significant digits
// has a mantissa that gives it back bit for bit. Other exponents give mantissa * pow(10, exponent).
double ScientificValue(double mantissa, double exponent);

// First character that is not a blank, tab, line feed or carriage return; null stays null.
const char* SkipWhitespace(const char* text);
