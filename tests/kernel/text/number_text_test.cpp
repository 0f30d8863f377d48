// Number text under three process settings: plain "C", a comma locale (de_DE) with the comma
// as the user's separator, and the comma locale with "." kept. Every case must give the same
// values; only the explicit separator swap may differ. Golden texts are hand-computed from
// the decimal expansions of the values (1/3 = 0.333..., 1.5e-7, ...).
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
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
    savedDigits_ = GetDisplayDigits();
    savedSeparator_ = GetDecimalSeparator();
    ASSERT_NE(std::setlocale(LC_ALL, GetParam().processLocale), nullptr)
        << "locale " << GetParam().processLocale << " missing: run scripts/install-deps.sh";
    SetDecimalSeparator(GetParam().separator);
    SetDisplayDigits(8);
  }
  void TearDown() override {
    std::setlocale(LC_ALL, "C");
    SetDecimalSeparator(savedSeparator_);
    SetDisplayDigits(savedDigits_);
  }
  // The expected text with "." shown as the separator under test.
  std::string Local(std::string text) const {
    auto at = text.find('.');
    if (at != std::string::npos) text[at] = GetParam().separator;
    return text;
  }
  int savedDigits_ = 8;
  char savedSeparator_ = '.';
};

INSTANTIATE_TEST_SUITE_P(Locales, NumberTextLocale,
                         testing::Values(LocaleCase{"C", '.'}, LocaleCase{"de_DE.UTF-8", ','},
                                         LocaleCase{"de_DE.UTF-8", '.'}),
                         [](const testing::TestParamInfo<LocaleCase>& info) {
                           return std::string(info.param.separator == ',' ? "Comma" : "Period") +
                                  (std::strcmp(info.param.processLocale, "C") ? "UnderGerman" : "UnderC");
                         });

bool SameDouble(double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; }

TEST_P(NumberTextLocale, ParseDoubleReadsExactlyOneCValue) {
  struct Case { const char* text; double value; };
  const Case cases[] = {
      {"3.25", 3.25},   {"", NAN},          {"abc", NAN},       {"  -Infinity", -kInf},
      {"1e5", 1e5},     {"0x1p3", 8.0},     {"inf", kInf},      {"12abc", 12.0},
      {"-0.5,7", -0.5}, {".", NAN},         {"1,5", 1.0},       {"\t7", 7.0},
  };
  for (const Case& c : cases) EXPECT_TRUE(SameDouble(ParseDouble(c.text), c.value)) << c.text;
  EXPECT_TRUE(std::isnan(ParseDouble(nullptr)));
}

TEST_P(NumberTextLocale, FormatDoubleDigitsUsesPeriodAndClampsDigits) {
  struct Case { double value; int digits; const char* text; };
  const Case cases[] = {
      {1.0 / 3.0, 16, "0.3333333333333333"},
      {1e21, 8, "1e+21"},
      {123456789.0, 8, "1.2345679e+08"},
      {0.25, 0, "0.2"},                     // clamped to 1 digit, round-half-even of 0.25
      {-7.0, -5, "-7"},
      {0.1, 40, "0.10000000000000001"},     // clamped to 17 digits
      {2.5, 8, "2.5"},
  };
  for (const Case& c : cases) {
    char buffer[64];
    size_t n = FormatDoubleDigits(buffer, sizeof buffer, c.value, c.digits);
    EXPECT_STREQ(buffer, c.text);
    EXPECT_EQ(n, std::strlen(c.text));
  }
}

TEST_P(NumberTextLocale, LocalizedDigitsSwapOnlyTheFirstPeriod) {
  struct Case { double value; int digits; const char* text; };  // with "." standing for the separator
  const Case cases[] = {{2.5, 8, "2.5"}, {1.0 / 3.0, 4, "0.3333"}, {-7.0, 8, "-7"}, {1.5e-7, 3, "1.5e-07"}};
  for (const Case& c : cases) {
    char buffer[32];
    const size_t n = FormatDoubleDigitsLocalized(buffer, sizeof buffer, c.value, c.digits);
    EXPECT_EQ(std::string(buffer), Local(c.text));
    EXPECT_EQ(n, std::strlen(c.text));
  }
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

TEST_P(NumberTextLocale, FormattersNeverWritePastTheirBuffer) {
  // A 40-digit request into a 32-byte buffer with guard bytes on both sides.
  char block[48];
  std::memset(block, 0x5A, sizeof block);
  char* buffer = block + 8;
  FormatDoubleDigits(buffer, 32, -1.0 / 3.0 * 1e-300, 40);
  EXPECT_LT(std::strlen(buffer), 32u);
  SetDisplayDigits(40);
  FormatDoubleShort(-1.0 / 3.0 * 1e-300, buffer, 32);
  EXPECT_LT(std::strlen(buffer), 32u);
  int exponent = 1;
  FormatDoubleForEditing(-1.0 / 3.0 * 1e-300, buffer, 32, &exponent);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(block[i], 0x5A);
  for (int i = 40; i < 48; ++i) EXPECT_EQ(block[i], 0x5A);

  // Tiny buffers truncate and stay terminated.
  char tiny[4];
  EXPECT_EQ(FormatDoubleDigits(tiny, sizeof tiny, 1.0 / 3.0, 16), 3u);
  EXPECT_STREQ(tiny, "0.3");
  EXPECT_EQ(FormatDoubleShort(-kInf, tiny, sizeof tiny), 3u);
  EXPECT_STREQ(tiny, "-In");
  EXPECT_EQ(FormatDoubleDigits(tiny, 0, 1.0, 8), 0u);
}

TEST_P(NumberTextLocale, ParseNumberLocalizedSwapsSeparatorInACopy) {
  const std::string comma = Local("3.5");
  char text[8];
  std::strcpy(text, comma.c_str());
  EXPECT_EQ(ParseNumberLocalized(text), 3.5);
  EXPECT_STREQ(text, comma.c_str());  // the caller's bytes are untouched
  // A read-only literal: a write into it would fault.
  EXPECT_EQ(ParseNumberLocalized(GetParam().separator == ',' ? "3,5" : "3.5"), 3.5);

  struct Case { const char* text; double value; };
  const Case cases[] = {
      {" \t Infinity", kInf}, {"\r\nNaN", NAN},    {"-Infinity", -kInf}, {"Infinityxyz", kInf},
      {"", NAN},              {"   ", NAN},        {"1e-3", 1e-3},       {"NaNo", NAN},
  };
  for (const Case& c : cases) EXPECT_TRUE(SameDouble(ParseNumberLocalized(c.text), c.value)) << c.text;
  EXPECT_TRUE(std::isnan(ParseNumberLocalized(nullptr)));

  // A long text takes the heap copy and still reads.
  std::string longText = Local("1.25") + std::string(300, '0');
  EXPECT_EQ(ParseNumberLocalized(longText.c_str()), 1.25);
}

TEST_P(NumberTextLocale, FormatDoubleShortKeepsTheSignOfInfinity) {
  struct Case { double value; const char* text; };  // with "." standing for the separator
  const Case cases[] = {
      {kInf, "Infinity"}, {-kInf, "-Infinity"}, {NAN, "NaN"},  {2.5, "2.5"},
      {1.0 / 3.0, "0.33333333"}, {-1234.5, "-1234.5"}, {1e-7, "1e-07"}, {0.0, "0"},
  };
  for (const Case& c : cases) {
    char buffer[32];
    FormatDoubleShort(c.value, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), Local(c.text));
  }
  // The text reads back as the same value, infinities included.
  char buffer[32];
  for (double v : {kInf, -kInf}) {
    FormatDoubleShort(v, buffer, sizeof buffer);
    EXPECT_EQ(ParseNumberLocalized(buffer), v);
  }
}

TEST_P(NumberTextLocale, FormatDoubleForEditingSplitsTheExponent) {
  struct Case { double value; const char* text; int exponent; };
  const Case cases[] = {
      {1.5e-7, "1.5", -7}, {123.0, "123", 0},        {1e300, "1", 300},
      {-2.5e10, "-2.5", 10}, {kInf, "Infinity", 0}, {NAN, "NaN", 0},
      {123456789.0, "1.2345679", 8},
  };
  for (const Case& c : cases) {
    char buffer[32];
    int exponent = 99;
    size_t n = FormatDoubleForEditing(c.value, buffer, sizeof buffer, &exponent);
    EXPECT_EQ(std::string(buffer), Local(c.text));
    EXPECT_EQ(n, std::strlen(c.text));
    EXPECT_EQ(exponent, c.exponent) << c.text;
  }
}

TEST_P(NumberTextLocale, SeventeenDigitTextReadsBackExactly) {
  // Property: 17 significant digits identify every double (IEEE 754 round trip).
  SetDisplayDigits(17);
  std::mt19937_64 rng(12345);
  std::uniform_int_distribution<uint64_t> bits;
  for (int i = 0; i < 2000; ++i) {
    uint64_t word = bits(rng);
    double value;
    std::memcpy(&value, &word, sizeof value);
    if (!std::isfinite(value)) continue;
    char buffer[40];
    FormatDoubleShort(value, buffer, sizeof buffer);
    ASSERT_EQ(ParseNumberLocalized(buffer), value) << buffer;
  }
}

// Goldens from independent facts: the least subnormal 2^-1074 (ldexp), 50 x 2^-1074, the largest
// double, the exact products 1.5e3 and 0.1 x 1000 (0.1000000000000000055511... x 1000 rounds to
// 100), and 2 sqrt(10) for an exponent that is no whole number.
TEST(NumberText, ScientificValueRoundsTheExactProductOnce) {
  struct Case {
    double mantissa, exponent, value;
  };
  const Case cases[] = {
      {4.9406564584124654, -324, std::ldexp(1.0, -1074)}, {2.4703282292062327, -322, std::ldexp(50.0, -1074)},
      {1.7976931348623157, 308, std::numeric_limits<double>::max()}, {1.5, 3, 1500}, {0.1, 3, 100},
      {-2.5, -1, -0.25}, {1, 309, kInf}, {1, -400, 0}, {0, 1e9, 0}, {2, 0.5, 2 * std::sqrt(10.0)},
  };
  for (const Case& c : cases) EXPECT_EQ(ScientificValue(c.mantissa, c.exponent), c.value) << c.mantissa << "e" << c.exponent;
  EXPECT_TRUE(std::isnan(ScientificValue(NAN, 3)));
}

TEST(NumberText, SkipWhitespaceStopsAtTheFirstOtherCharacter) {
  EXPECT_EQ(SkipWhitespace(nullptr), nullptr);
  const char* text = " \t\r\nx ";
  EXPECT_EQ(SkipWhitespace(text), text + 4);
  for (const char* unmoved : {"", "\vx", "y"}) {  // only blank, tab, line feed and carriage return
    EXPECT_EQ(SkipWhitespace(unmoved), unmoved);
  }
}

}  // namespace
