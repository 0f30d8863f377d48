// The two settings in one record with one reset for tests.
#include "kernel/text/number_settings.h"

namespace {

struct NumberSettings {
  char decimalSeparator = '.';
  int displayDigits = kDefaultDisplayDigits;
};

constinit NumberSettings settings;

}  // namespace

char GetDecimalSeparator() { return settings.decimalSeparator; }

void SetDecimalSeparator(char separator) {
  if (separator != '\0') settings.decimalSeparator = separator;
}

int GetDisplayDigits() { return settings.displayDigits; }
void SetDisplayDigits(int digits) { settings.displayDigits = digits; }
void ResetNumberSettingsForTests() { settings = NumberSettings{}; }
