// Texts of the drawing layer: small in-place C-string edits, the decimal separator and the
// untoken table of the user's script, and the localized number labels of the views. Edits that
// grow a string take the buffer's capacity and refuse (leaving it unchanged) what would not fit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Inserts prefix before text in place; false when the result would not fit in capacity bytes.
bool CStringInsertFront(const char* prefix, char* text, size_t capacity);
// Copies source up to and including its NUL into destination; returns the source position just
// past the NUL (where a following packed string starts).
const char* CStringCopyEnd(char* destination, const char* source);
// Index of the first c in text, or -1.
int32_t CStringIndexOf(const char* text, char c);
// Replaces the first c of templ by text in place; false (unchanged) when templ has no c or the
// result would not fit in capacity bytes.
bool CStringReplaceChar(char* templ, size_t capacity, const char* text, char c);
bool CStringReplaceChar(std::string& templ, const char* text, char c);
// The first c in text (c = 0 finds the terminator), or null.
const char* CStringFindChar(const char* text, int c);

// The decimal separator of the user's locale, read once at start-up ("." when there is none).
char DecimalSeparator();

// Script tokens with a one-character text; token numbers are the index into the untoken table.
enum UntokenToken : int32_t {
  kTokenUnknown = 0, kTokenWhite, kTokenLeftParen, kTokenRightParen, kTokenLeftBracket, kTokenRightBracket,
  kTokenLeftCurly, kTokenRightCurly, kTokenPlus, kTokenMinus, kTokenAsterisk, kTokenSlash, kTokenLess,
  kTokenGreat, kTokenEqual, kTokenLessEqual, kTokenGreatEqual, kTokenNotEqual, kTokenComma, kTokenPeriod,
  kTokenColon, kTokenSemicolon, kTokenCaret, kTokenExclam, kTokenDecimalPoint, kTokenLastToken = kTokenDecimalPoint
};
// The one-character text of a token; 0 for tokens past the table or whose text is not one
// character long (the comparison tokens are two characters, the unknown token has none).
char UntokenChar(int32_t token);

// A number label: NaN gives "not a number", an infinity "infinity" ("- infinity" when
// negative), other values FormatDoubleDigits with the display digits and the first "."
// replaced by the decimal separator. A template's first "#" is replaced by the number; a
// template without "#" is put in front of it; a null template gives the number alone.
void FormatNumberLocalized(std::string& buffer, const char* templ, double value);
// The same with an explicit digit count and no template (the 2D axes use 6 digits).
void FormatNumberLocalized(double value, int digits, std::string& buffer);
