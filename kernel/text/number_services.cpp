// Number services: number fields for the writers, the document digit setting, and the
// start-up locale read. The user's locale is consulted through a private locale object,
// so the process locale itself is never switched away from "C" for numbers.
#include "kernel/text/number_services.h"

#include <clocale>
#include <langinfo.h>
#include <locale.h>

#include "kernel/text/number_settings.h"
#include "kernel/text/number_text.h"
#include "kernel/text/output_buffer.h"

void WriteNumberField(double value) {
  char text[40];
  FormatDoubleDigits(text, sizeof text, value, 16);
  EmitChar(' ');
  EmitString(text);
}

void ApplyDocumentNumberFormat(int significantDigits) {
  if (significantDigits < 1) significantDigits = 1;
  if (significantDigits > kMaxSignificantDigits) significantDigits = kMaxSignificantDigits;
  SetDisplayDigits(significantDigits);
}

char InitDecimalSeparatorFromLocale() {
  char separator = '.';
  locale_t user = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
  if (user) {
    const char* point = nl_langinfo_l(RADIXCHAR, user);
    // A separator must be one byte: the number text swaps it byte for byte.
    if (point && point[0] != '\0' && point[1] == '\0') separator = point[0];
    freelocale(user);
  }
  std::setlocale(LC_NUMERIC, "C");
  SetDecimalSeparator(separator);
  return separator;
}
