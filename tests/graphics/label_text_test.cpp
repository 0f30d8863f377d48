// Number labels and C-string edits. Expected texts are written out by hand.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "graphics/label_text.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/text/number_settings.h"

// Templates of any length (the old fixed 256-byte working copy is gone), special values, and
// the user's separator in place of the first ".".
TEST(LabelText, NumbersWithTemplatesSpecialValuesAndSeparator) {
  const char separator = GetDecimalSeparator();
  const int digits = GetDisplayDigits();
  SetDecimalSeparator('.');
  SetDisplayDigits(8);
  const std::string longTemplate = std::string(400, 'a') + " #";
  const struct { const char* templ; double value; std::string want; } cases[] = {
      {"x: #", -kPositiveInfinity, "x: - infinity"}, {nullptr, kUndefinedReal, "not a number"},
      {"y: ", 3.25, "y: 3.25"},                      {nullptr, 1.0 / 3.0, "0.33333333"},
      {"# units", -0.5, "-0.5 units"},               {"a # b #", 2, "a 2 b #"},
      {"", 1e21, "1e+21"},                           {longTemplate.c_str(), 7, std::string(400, 'a') + " 7"}};
  std::string out;
  for (const auto& c : cases) {
    FormatNumberLocalized(out, c.templ, c.value);
    EXPECT_EQ(out, c.want) << (c.templ ? c.templ : "(none)");
  }
  SetDecimalSeparator(',');
  FormatNumberLocalized(out, nullptr, 1234.5);
  EXPECT_EQ(out, "1234,5");
  FormatNumberLocalized(0.125, 2, out);
  EXPECT_EQ(out, "0,12");  // "%.2g" of 0.125 is 0.12 (round half to even in binary)
  FormatNumberLocalized(-123456789.0, 6, out);
  EXPECT_EQ(out, "-1,23457e+08");
  SetDecimalSeparator(separator);
  SetDisplayDigits(digits);
}

// Edits that grow a string refuse, leaving it as it was, what would not fit in its capacity.
TEST(LabelText, CStringEditsRefuseWhatWouldNotFit) {
  const struct { const char* before; size_t capacity; const char* text; bool ok; const char* after; } cases[] = {
      {"x: #", 16, "1.5", true, "x: 1.5"}, {"x: 1.5", 16, "9", false, "x: 1.5"},
      {"ab#cd", 8, "12345", false, "ab#cd"}, {"ab#cd", 8, "12", true, "ab12cd"}};
  for (auto c : cases) {
    char buffer[16];
    std::strcpy(buffer, c.before);
    EXPECT_EQ(CStringReplaceChar(buffer, c.capacity, c.text, '#'), c.ok) << c.before << " " << c.text;
    EXPECT_STREQ(buffer, c.after);
  }
  char front[10] = "world";
  EXPECT_FALSE(CStringInsertFront("hello ", front, sizeof front));
  EXPECT_TRUE(CStringInsertFront("o ", front, sizeof front) && std::strcmp(front, "o world") == 0);
}
