// Number text: "%lg" / "%.*g" conversions pinned to the "C" numeric rules through a
// per-thread locale switch, so a process locale with a comma separator never leaks in.
// The user's separator comes only from GetDecimalSeparator and is swapped explicitly.
#include "kernel/text/number_text.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <string>

#include "kernel/numeric/numeric_constants.h"
#include "kernel/text/number_settings.h"
#include "kernel/text/string_helpers.h"

namespace {

// Runs the enclosed conversion under the "C" locale on this thread only.
class CNumericScope {
 public:
  CNumericScope() {
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    previous_ = cLocale ? uselocale(cLocale) : static_cast<locale_t>(0);
  }
  ~CNumericScope() {
    if (previous_) uselocale(previous_);
  }
  CNumericScope(const CNumericScope&) = delete;
  CNumericScope& operator=(const CNumericScope&) = delete;

 private:
  locale_t previous_;
};

// "%.*g" would take 0 digits as 1 and a negative count as 6; past 17 every double already reads
// back exactly and the digits shown are the binary value's expansion, which no user asked for.
int ClampDigits(int digits) {
  if (digits < 1) return 1;
  if (digits > kMaxSignificantDigits) return kMaxSignificantDigits;
  return digits;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Past this the scaled value is 0 or infinite whatever the mantissa's digits.
constexpr double kLargestExponent = 100000;

}  // namespace

double ParseDouble(const char* text) {
  if (!text) return kUndefinedReal;
  double value = 0.0;
  int count;
  {
    CNumericScope scope;
    count = std::sscanf(text, "%lg", &value);
  }
  return count == 1 ? value : kUndefinedReal;
}

size_t FormatDoubleDigits(char* buffer, size_t bufferSize, double value, int digits) {
  if (!buffer || bufferSize == 0) return 0;
  int n;
  {
    CNumericScope scope;
    n = std::snprintf(buffer, bufferSize, "%.*g", ClampDigits(digits), value);
  }
  if (n < 0) {
    buffer[0] = '\0';
    return 0;
  }
  return static_cast<size_t>(n) < bufferSize ? static_cast<size_t>(n) : bufferSize - 1;
}

double ParseNumberLocalized(const char* text) {
  text = SkipWhitespace(text);
  if (!text) return kUndefinedReal;
  if (std::strncmp(text, "Infinity", 8) == 0) return kPositiveInfinity;
  if (std::strncmp(text, "NaN", 3) == 0) return kUndefinedReal;
  const char separator = GetDecimalSeparator();
  const char* found = separator != '.' ? std::strchr(text, separator) : nullptr;
  if (!found || separator == '\0') return ParseDouble(text);
  // The swap happens in a private copy: the caller's text may be read-only or shared.
  char local[128];
  size_t length = std::strlen(text);
  if (length < sizeof local) {
    std::memcpy(local, text, length + 1);
    local[found - text] = '.';
    return ParseDouble(local);
  }
  std::string copy(text, length);
  copy[static_cast<size_t>(found - text)] = '.';
  return ParseDouble(copy.c_str());
}

size_t FormatDoubleDigitsLocalized(char* buffer, size_t bufferSize, double value, int digits) {
  const size_t n = FormatDoubleDigits(buffer, bufferSize, value, digits);
  // Only the n bytes just written: a buffer of size 0 (or none) was never written at all.
  if (n == 0) return 0;
  if (auto* period = static_cast<char*>(std::memchr(buffer, '.', n))) *period = GetDecimalSeparator();
  return n;
}

size_t FormatDoubleShort(double value, char* buffer, size_t bufferSize) {
  if (!buffer || bufferSize == 0) return 0;
  // "-Infinity", not one "Infinity" for both: the text must read back as the same value.
  if (std::isinf(value)) return CStringCopyBounded(buffer, bufferSize, value < 0 ? "-Infinity" : "Infinity");
  if (std::isnan(value)) return CStringCopyBounded(buffer, bufferSize, "NaN");
  return FormatDoubleDigitsLocalized(buffer, bufferSize, value, GetDisplayDigits());
}

size_t FormatDoubleForEditing(double value, char* buffer, size_t bufferSize, int* exponent) {
  if (exponent) *exponent = 0;
  size_t n = FormatDoubleShort(value, buffer, bufferSize);
  if (n == 0 || !std::isfinite(value)) return n;
  char* e = std::strchr(buffer, 'e');
  if (!e) return n;
  // "%g" exponents stay within three digits, so the conversion cannot overflow an int.
  double power = ParseDouble(e + 1);
  *e = '\0';
  if (exponent && !std::isnan(power)) *exponent = static_cast<int>(power);
  return static_cast<size_t>(e - buffer);
}

int ShortestDigits(double value) {
  if (!std::isfinite(value) || value == 0) return 1;
  char text[48];
  CNumericScope scope;
  int digits = 1;
  for (; digits < kMaxSignificantDigits; ++digits) {
    std::snprintf(text, sizeof text, "%.*e", digits - 1, value);
    if (std::strtod(text, nullptr) == value) break;
  }
  return digits;
}

double MoveDecimalPoint(double value, long places, int digits) {
  if (!std::isfinite(value) || value == 0) return value;
  char text[48];
  {
    const int shown = digits > 0 ? ClampDigits(digits) : ShortestDigits(value);
    CNumericScope scope;
    std::snprintf(text, sizeof text, "%.*e", shown - 1, value);
  }
  char* e = std::strchr(text, 'e');
  if (e == nullptr) return kUndefinedReal;
  const long own = std::strtol(e + 1, nullptr, 10);
  std::snprintf(e + 1, sizeof text - static_cast<size_t>(e + 1 - text), "%ld", own + places);
  return ParseDouble(text);
}

double ScientificValue(double mantissa, double exponent) {
  if (mantissa == 0 && std::isfinite(exponent)) return mantissa;
  if (!std::isfinite(mantissa) || exponent != std::trunc(exponent) || std::fabs(exponent) > kLargestExponent) {
    return mantissa * std::pow(10.0, exponent);
  }
  return MoveDecimalPoint(mantissa, static_cast<long>(exponent), 0);
}

const char* SkipWhitespace(const char* text) {
  if (!text) return nullptr;
  while (IsBlank(*text)) ++text;
  return text;
}
