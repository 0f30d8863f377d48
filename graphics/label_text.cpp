// C-string edits and number labels. Number text never depends on LC_NUMERIC: FormatDoubleDigits
// prints with "." and the user's separator is swapped in here.
#include "graphics/label_text.h"

#include <cmath>
#include <cstring>

#include "kernel/text/number_settings.h"
#include "kernel/diagnostics/message_tables.h"
#include "kernel/text/number_text.h"

namespace {

// Our untoken table: the text of each token (empty for the unknown token).
const char* const kUntokenTexts[] = {"",  " ", "(", ")", "[", "]", "{", "}", "+", "-", "*", "/", "<",
                                     ">", "=", "<=", ">=", "!=", ",", ".", ":", ";", "^", "!", "."};
static_assert(sizeof(kUntokenTexts) / sizeof(kUntokenTexts[0]) == kTokenLastToken + 1);

std::string NumberText(double value, int digits) {
  if (std::isnan(value)) return MessageTable[kMessageNotANumber];
  if (std::isinf(value)) return std::string(value < 0 ? "- " : "") + MessageTable[kMessageInfinity];
  char text[64];
  FormatDoubleDigitsLocalized(text, sizeof text, value, digits);
  return text;
}

}  // namespace

bool CStringInsertFront(const char* prefix, char* text, size_t capacity) {
  size_t p = std::strlen(prefix), t = std::strlen(text);
  if (p + t + 1 > capacity) return false;
  std::memmove(text + p, text, t + 1);
  std::memcpy(text, prefix, p);
  return true;
}

const char* CStringCopyEnd(char* destination, const char* source) {
  while ((*destination++ = *source++) != 0) {
  }
  return source;
}

int32_t CStringIndexOf(const char* text, char c) {
  const char* at = std::strchr(text, c);
  return at && c != 0 ? int32_t(at - text) : -1;
}

bool CStringReplaceChar(char* templ, size_t capacity, const char* text, char c) {
  char* at = c ? std::strchr(templ, c) : nullptr;
  if (!at) return false;
  size_t before = size_t(at - templ), insert = std::strlen(text), after = std::strlen(at + 1);
  if (before + insert + after + 1 > capacity) return false;
  std::memmove(at + insert, at + 1, after + 1);
  std::memcpy(at, text, insert);
  return true;
}

bool CStringReplaceChar(std::string& templ, const char* text, char c) {
  size_t at = templ.find(c);
  if (c == 0 || at == std::string::npos) return false;
  templ.replace(at, 1, text);
  return true;
}

const char* CStringFindChar(const char* text, int c) { return std::strchr(text, c); }

char DecimalSeparator() { return GetDecimalSeparator(); }

char UntokenChar(int32_t token) {
  if (token < 0 || token > kTokenLastToken) return 0;
  const char* text = kUntokenTexts[token];
  return std::strlen(text) == 1 ? text[0] : 0;
}

void FormatNumberLocalized(std::string& buffer, const char* templ, double value) {
  std::string number = NumberText(value, GetDisplayDigits());
  if (!templ) {
    buffer = number;
    return;
  }
  buffer = templ;
  if (!CStringReplaceChar(buffer, number.c_str(), '#')) buffer += number;
}

void FormatNumberLocalized(double value, int digits, std::string& buffer) { buffer = NumberText(value, digits); }
