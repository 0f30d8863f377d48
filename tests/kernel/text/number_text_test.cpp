// Number text under three process settings: plain "C", a comma locale (de_DE) with the comma as
// the user's separator, and the comma locale with "." kept. Every case must give the same values;
// only the explicit separator swap may differ. Golden texts are hand-computed from the decimal
// expansions of the values (1/3 = 0.333..., 1.5e-7, ...).
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "kernel/text/number_settings.h"
#include "kernel/text/number_text.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

struct LocaleCase { const char* processLocale; char separator; };

class NumberTextLocale : public testing::TestWithParam<LocaleCase> {
 protected:
  void SetUp() override {
    ASSERT_NE(std::setlocale(LC_ALL, GetParam().processLocale), nullptr)
        << "locale " << GetParam().processLocale << " missing: run scripts/install-deps.sh";
    SetDecimalSeparator(GetParam().separator);
    SetDisplayDigits(8);
  }
  void TearDown() override {
    std::setlocale(LC_ALL, "C");
    ResetNumberSettingsForTests();
  }
  // The expected text with "." shown as the separator under test.
  std::string Local(std::string text) const {
    if (auto at = text.find('.'); at != std::string::npos) text[at] = GetParam().separator;
    return text;
  }
};

INSTANTIATE_TEST_SUITE_P(Locales, NumberTextLocale,  // C; German with its comma; German with "." kept
                         testing::Values(LocaleCase{"C", '.'}, LocaleCase{"de_DE.UTF-8", ','}, LocaleCase{"de_DE.UTF-8", '.'}));

bool SameDouble(double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; }

// ParseDouble reads C text whatever the process locale; ParseNumberLocalized skips blanks, knows
// the words Infinity and NaN, and reads the user's separator.
TEST_P(NumberTextLocale, ParsersReadCValuesAndTheUsersSeparator) {
  struct Case { const char* text; double value; };  // both parsers agree on these
  const Case cases[] = {{"3.25", 3.25}, {"", NAN}, {"abc", NAN}, {"12abc", 12}, {"\r\nNaN", NAN}, {"-0.5,7", -0.5},
                        {"  -Infinity", -kInf}, {"Infinityx", kInf}};
  for (const Case& c : cases) {
    EXPECT_TRUE(SameDouble(ParseDouble(c.text), c.value) && SameDouble(ParseNumberLocalized(c.text), c.value)) << c.text;
  }
  EXPECT_TRUE(std::isnan(ParseDouble(nullptr)) && std::isnan(ParseNumberLocalized(nullptr)));
  // The separator is swapped in a private copy: a read-only literal is fine, a long text too.
  EXPECT_EQ(ParseNumberLocalized(GetParam().separator == ',' ? "3,5" : "3.5"), 3.5);
  EXPECT_EQ(ParseNumberLocalized((Local("1.25") + std::string(300, '0')).c_str()), 1.25);
}

TEST_P(NumberTextLocale, FormattersWriteTheDisplayForms) {
  // digits, then the texts of FormatDoubleDigits (always "."), FormatDoubleDigitsLocalized,
  // FormatDoubleShort (8 display digits) and FormatDoubleForEditing with its exponent.
  struct Case { double value; int digits; const char* plain; const char* shortText; const char* editing; int exponent; };
  const Case cases[] = {
      {1.0 / 3.0, 16, "0.3333333333333333", "0.33333333", "0.33333333", 0},
      {123456789.0, 8, "1.2345679e+08", "1.2345679e+08", "1.2345679", 8},
      {0.25, 0, "0.2", "0.25", "0.25", 0},  // clamped to 1 digit, round-half-even of 0.25
      {0.1, 40, "0.10000000000000001", "0.1", "0.1", 0},  // clamped to 17 digits
      {-2.5e10, 3, "-2.5e+10", "-2.5e+10", "-2.5", 10},   {1.5e-7, 3, "1.5e-07", "1.5e-07", "1.5", -7},
      {kInf, 8, "inf", "Infinity", "Infinity", 0},        {-kInf, 8, "-inf", "-Infinity", "-Infinity", 0},
      {NAN, 8, "nan", "NaN", "NaN", 0},
  };
  for (const Case& c : cases) {
    char buffer[64];
    EXPECT_TRUE(FormatDoubleDigits(buffer, sizeof buffer, c.value, c.digits) == std::strlen(c.plain) && std::string(buffer) == c.plain);
    FormatDoubleDigitsLocalized(buffer, sizeof buffer, c.value, c.digits);
    EXPECT_EQ(std::string(buffer), Local(c.plain));
    FormatDoubleShort(c.value, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), Local(c.shortText));
    if (std::isinf(c.value)) {
      EXPECT_EQ(ParseNumberLocalized(buffer), c.value);  // the sign is kept
    }
    int exponent = 99;
    EXPECT_EQ(FormatDoubleForEditing(c.value, buffer, sizeof buffer, &exponent), std::strlen(c.editing));
    EXPECT_TRUE(std::string(buffer) == Local(c.editing) && exponent == c.exponent) << c.editing;
  }
}

// Tiny buffers truncate and stay terminated; every formatter keeps to its 4 bytes (AddressSanitizer
// watches the array).
TEST_P(NumberTextLocale, FormattersNeverWritePastTheirBuffer) {
  char tiny[4];
  EXPECT_TRUE(FormatDoubleDigits(tiny, sizeof tiny, 1.0 / 3.0, 16) == 3u && std::strcmp(tiny, "0.3") == 0);
  EXPECT_TRUE(FormatDoubleShort(-kInf, tiny, sizeof tiny) == 3u && std::strcmp(tiny, "-In") == 0);
  int exponent = 1;
  SetDisplayDigits(17);
  EXPECT_LE(FormatDoubleForEditing(-1.0 / 3.0 * 1e-300, tiny, sizeof tiny, &exponent), 3u);
}

// A buffer of size 0 (or none) is never written, so nothing in it may be read or localised: it
// used to be searched for a period it did not hold.
TEST_P(NumberTextLocale, LocalizedDigitsLeaveAnEmptyBufferAlone) {
  char unterminated[4] = {'1', '.', '5', '5'};
  EXPECT_EQ(FormatDoubleDigitsLocalized(unterminated, 0, 2.5, 8), 0u);
  EXPECT_EQ(std::memcmp(unterminated, "1.55", 4), 0);
  EXPECT_EQ(FormatDoubleDigitsLocalized(nullptr, 0, 2.5, 8), 0u);
  EXPECT_EQ(FormatDoubleShort(2.5, nullptr, 8), 0u);
}

// Property: 17 significant digits identify every double (IEEE 754 round trip).
TEST_P(NumberTextLocale, SeventeenDigitTextReadsBackExactly) {
  SetDisplayDigits(17);
  std::mt19937_64 rng(12345);
  for (int i = 0; i < 2000; ++i) {
    const uint64_t word = rng();
    double value;
    std::memcpy(&value, &word, sizeof value);
    if (!std::isfinite(value)) continue;
    char buffer[40];
    FormatDoubleShort(value, buffer, sizeof buffer);
    ASSERT_EQ(ParseNumberLocalized(buffer), value) << buffer;
  }
}

// Goldens from independent facts: the least subnormal 2^-1074 (ldexp), 50 x 2^-1074, the largest
// double, the products 1.5e3 and 0.1 x 1000 = 100, the whole number 238810495 and the double
// nearest 6.02e23 (strtod), which the binary expansions of the doubles 2.38810495 and 6.02 times a
// power of ten miss (238810494.99999997, 6.0199999999999993e23), and 2 sqrt(10) for an exponent
// that is no whole number.
TEST(NumberText, ScientificValueReadsTheMantissasDecimalWithTheExponentOnce) {
  struct Case { double mantissa, exponent, value; };
  const Case cases[] = {
      {4.9406564584124654, -324, std::ldexp(1.0, -1074)}, {2.4703282292062327, -322, std::ldexp(50.0, -1074)},
      {1.7976931348623157, 308, std::numeric_limits<double>::max()}, {1.5, 3, 1500}, {0.1, 3, 100},
      {2.38810495, 8, 238810495}, {6.02, 23, std::strtod("6.02e23", nullptr)},
      {-2.5, -1, -0.25}, {1, 309, kInf}, {1, -400, 0}, {0, 1e9, 0}, {2, 0.5, 2 * std::sqrt(10.0)},
  };
  for (const Case& c : cases) EXPECT_EQ(ScientificValue(c.mantissa, c.exponent), c.value) << c.mantissa << "e" << c.exponent;
  EXPECT_TRUE(std::isnan(ScientificValue(NAN, 3)));
}

}  // namespace
