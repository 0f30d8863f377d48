// The process-wide number settings read by the number text and the formula writers: the
// decimal separator (read from the user's locale at start-up) and the display digits (the
// front document's significant digits).
#pragma once

// Default significant digits of number display before any document sets its own.
constexpr int kDefaultDisplayDigits = 8;

char GetDecimalSeparator();
void SetDecimalSeparator(char separator);  // '\0' is ignored
int GetDisplayDigits();
void SetDisplayDigits(int digits);

// The decimal separator set for a scope and put back at its end: text read the same in every
// locale (a document's typed rows) is typed with '.'.
class DecimalSeparatorScope {
 public:
  explicit DecimalSeparatorScope(char separator) : saved_(GetDecimalSeparator()) { SetDecimalSeparator(separator); }
  ~DecimalSeparatorScope() { SetDecimalSeparator(saved_); }
  DecimalSeparatorScope(const DecimalSeparatorScope&) = delete;
  DecimalSeparatorScope& operator=(const DecimalSeparatorScope&) = delete;

 private:
  char saved_;
};

// Tests: '.' and the default digits.
void ResetNumberSettingsForTests();
