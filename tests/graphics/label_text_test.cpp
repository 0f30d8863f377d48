// Number labels and C-string edits. Expected texts are written out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "graphics/label_text.h"
#include "kernel/text/number_settings.h"

namespace {

struct SeparatorGuard {
  char saved = GetDecimalSeparator();
  int digits = GetDisplayDigits();
  ~SeparatorGuard() {
    SetDecimalSeparator(saved);
    SetDisplayDigits(digits);
  }
};

}  // namespace

TEST(LabelText, NumbersWithTemplatesSpecialValuesAndSeparator) {
  SeparatorGuard guard;
  SetDecimalSeparator('.');
  SetDisplayDigits(8);
  const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
  struct { const char* templ; double value; const char* want; } cases[] = {
      {"x: #", -inf, "x: - infinity"}, {nullptr, nan, "not a number"}, {"= #", 3.25, "= 3.25"},
      {"y: ", 3.25, "y: 3.25"},        {"#", inf, "infinity"},        {nullptr, 1.0 / 3.0, "0.33333333"},
      {"# units", -0.5, "-0.5 units"}, {"a # b #", 2, "a 2 b #"},     {"", 1e21, "1e+21"}};
  std::string out;
  for (auto c : cases) {
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
  FormatNumberLocalized(-inf, 6, out);
  EXPECT_EQ(out, "- infinity");
}

// Templates of any length: the old fixed 256-byte working copy is gone.
TEST(LabelText, LongTemplatesAreNotCut) {
  SeparatorGuard guard;
  SetDecimalSeparator('.');
  std::string templ(400, 'a');
  templ += " #";
  std::string out;
  FormatNumberLocalized(out, templ.c_str(), 7);
  EXPECT_EQ(out, std::string(400, 'a') + " 7");
}

TEST(LabelText, CStringEdits) {
  struct { const char* before; size_t capacity; const char* text; bool ok; const char* after; } cases[] = {
      {"x: #", 16, "1.5", true, "x: 1.5"}, {"x: 1.5", 16, "9", false, "x: 1.5"},
      {"ab#cd", 8, "12345", false, "ab#cd"},  // would need 10 bytes
      {"ab#cd", 8, "12", true, "ab12cd"}};
  for (auto c : cases) {
    char buffer[16];
    std::strcpy(buffer, c.before);
    EXPECT_EQ(CStringReplaceChar(buffer, c.capacity, c.text, '#'), c.ok) << c.before << " " << c.text;
    EXPECT_STREQ(buffer, c.after);
  }
  std::string s = "= #";
  EXPECT_TRUE(CStringReplaceChar(s, "2", '#'));
  EXPECT_EQ(s, "= 2");
  EXPECT_FALSE(CStringReplaceChar(s, "2", '#'));

  const char* text = "abc";
  EXPECT_EQ(CStringFindChar(text, 0), text + 3);
  EXPECT_EQ(CStringFindChar(text, 'b'), text + 1);
  EXPECT_EQ(CStringFindChar(text, 'z'), nullptr);
  EXPECT_EQ(CStringIndexOf(text, 'c'), 2);
  EXPECT_EQ(CStringIndexOf(text, 'q'), -1);

  char front[10] = "world";
  EXPECT_TRUE(CStringInsertFront("o ", front, sizeof front));
  EXPECT_STREQ(front, "o world");
  EXPECT_FALSE(CStringInsertFront("hello ", front, sizeof front));
  EXPECT_STREQ(front, "o world");

  const char packed[] = "one\0two";
  char copy[8];
  const char* next = CStringCopyEnd(copy, packed);
  EXPECT_STREQ(copy, "one");
  EXPECT_EQ(next, packed + 4);
  EXPECT_STREQ(next, "two");
}

TEST(LabelText, UntokenTableAndSeparator) {
  SeparatorGuard guard;
  EXPECT_EQ(UntokenChar(kTokenLeftParen), '(');
  EXPECT_EQ(UntokenChar(kTokenDecimalPoint), '.');
  EXPECT_EQ(UntokenChar(kTokenLessEqual), 0);  // two characters
  EXPECT_EQ(UntokenChar(kTokenUnknown), 0);
  EXPECT_EQ(UntokenChar(kTokenLastToken + 1), 0);
  EXPECT_EQ(UntokenChar(-1), 0);
  SetDecimalSeparator(',');
  EXPECT_EQ(DecimalSeparator(), ',');
}
