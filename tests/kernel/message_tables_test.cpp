// Message tables: every text checked byte for byte through its length and 64-bit FNV-1a
// hash. The golden lengths and hashes were computed by a separate script straight from the
// source wording (not from this code), so a changed blank or quote shows up here.
#include "kernel/message_tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

namespace {

std::uint64_t Fnv1a(const char* s) {
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (; *s != '\0'; ++s) {
    h ^= static_cast<unsigned char>(*s);
    h *= 0x100000001b3ull;
  }
  return h;
}

struct Golden { int index; std::size_t length; std::uint64_t hash; };

const Golden kErrorGolden[] = {
    {0, 0, 0xcbf29ce484222325ull},   {1, 59, 0x9ed859279ee602d8ull},  {2, 63, 0x06413325d6200fb3ull},
    {3, 76, 0x2ce9d8c50dd77a7bull},  {4, 112, 0xc9bef80a5da53913ull}, {5, 53, 0xc952cabfc32ea101ull},
    {6, 90, 0x0eb1a3e2f261a1b1ull},  {7, 127, 0xcc06716b90e1f5bbull}, {8, 118, 0xf4909ab654138b9full},
    {9, 138, 0x834c5b9a1d988ae8ull}, {10, 154, 0x1151246744d39a2bull}, {11, 172, 0xf2b185a8e1dad0e5ull},
    {12, 0, 0xcbf29ce484222325ull},  {13, 29, 0x705c5362c0dbc611ull}, {14, 110, 0x377ff40b6bb66621ull},
    {15, 134, 0xf523128672f47f38ull}, {16, 24, 0xc38303828d6b8be2ull}, {17, 191, 0xbf4e8ac3adff3458ull},
    {18, 71, 0x87837d83d58519a3ull}, {19, 79, 0x7eeec15b38002d38ull}, {20, 99, 0x6846b38d632f6274ull},
    {21, 46, 0xbd5c7e89d04c05adull}, {22, 64, 0x4cfd3cbbfb417646ull}, {23, 66, 0x4e2a919095d52857ull},
    {24, 46, 0x4c6fecdd7fbb3a76ull}, {25, 0, 0xcbf29ce484222325ull},
};

const Golden kMessageGolden[] = {
    {0, 44, 0xc920f023e9d3cc5dull},  {1, 44, 0xa47445150ea56380ull},  {2, 26, 0x5f8a517760823ffbull},
    {3, 0, 0xcbf29ce484222325ull},   {4, 5, 0xb5fae2c14238b978ull},   {5, 4, 0x5b5c98ef514dbfa5ull},
    {6, 8, 0x0f1f3d560b32f1b9ull},   {7, 12, 0x0c6345177e0c6e56ull},  {8, 1, 0xaf639e4c86018332ull},
    {9, 3, 0x691e76182ca374e1ull},   {10, 4, 0x1f4e2b53822271f2ull},  {11, 4, 0x8cca094aa28cd747ull},
    {12, 6, 0x6510134325adc7c6ull},  {13, 13, 0x3119c13cdc276bb8ull}, {14, 29, 0x7aec395736e88ab6ull},
    {15, 41, 0xae01179b854a7205ull}, {16, 29, 0x8399430e066ade7aull}, {17, 28, 0x6c24b265e5da1608ull},
    {18, 33, 0xcd6fc278245ab2e1ull}, {19, 22, 0x3e1944dad8b4fb5bull}, {20, 33, 0x3f857c5665a9f453ull},
    {21, 16, 0x2ab360864e47ff72ull}, {22, 25, 0x26b9b8acaad1e23dull}, {23, 49, 0x6d284860eff7c8fdull},
    {24, 53, 0xe2ed30c9aa189e25ull}, {25, 44, 0xbd51431d1692157full}, {26, 47, 0x4035a77e8619676aull},
    {27, 34, 0x1415e93b12fc7c5cull}, {28, 41, 0x729a13d8a84a89fbull}, {29, 51, 0xd6bf65c625d10c0full},
    {30, 62, 0x1750f9fe94e34b00ull}, {31, 55, 0xba87f927208bb841ull}, {32, 33, 0x575cbef83b8fe851ull},
    {33, 33, 0xbc3c2482b9578f51ull}, {34, 51, 0x4b9789ffb9960dc3ull}, {35, 33, 0x63d60e9589df44d0ull},
    {36, 37, 0xbcb6ef0521bb3fd6ull}, {37, 22, 0x1b9c0bf0159bcaf8ull}, {38, 22, 0x1b992df01599cee7ull},
};

TEST(MessageTables, ErrorMessagesMatchByteForByte) {
  for (const Golden& g : kErrorGolden) {
    const char* text = ErrorMessageTable[g.index];
    EXPECT_EQ(std::strlen(text), g.length) << "code " << g.index;
    EXPECT_EQ(Fnv1a(text), g.hash) << "code " << g.index;
  }
}

TEST(MessageTables, MessageTableMatchesByteForByte) {
  for (const Golden& g : kMessageGolden) {
    const char* text = MessageTable[g.index];
    EXPECT_EQ(std::strlen(text), g.length) << "entry " << g.index;
    EXPECT_EQ(Fnv1a(text), g.hash) << "entry " << g.index;
  }
}

TEST(MessageTables, SpotChecksOfTheTrickyTexts) {
  const std::string six = ErrorMessage(6);
  EXPECT_EQ(six.back(), ' ');
  EXPECT_NE(std::string(ErrorMessage(8)).find("operation.Quitting"), std::string::npos);
  EXPECT_NE(std::string(ErrorMessage(11)).find("values.\r\rChoose Reset Graph"), std::string::npos);
  EXPECT_NE(std::string(ErrorMessage(17)).find("\"Use Transparency\""), std::string::npos);
  EXPECT_NE(std::string(ErrorMessage(2)).find("Quorvalis.  Sorry."), std::string::npos);
  const std::string t26 = ErrorMessage(26);
  EXPECT_EQ(t26.rfind("This document cannot be opened because it was created by a newer version of Quorvalis.\r\r", 0),
            0u);
  EXPECT_GT(t26.size(), 90u);  // our own closing sentence follows
  EXPECT_STREQ(MessageTable[14], "Undefined in the region shown");
  EXPECT_STREQ(MessageTable[38], "Can't graph this in 4D");
  EXPECT_STREQ(MessageTable[2], "Use \"y\" instead of \"f(x)\".");
}

TEST(MessageTables, CodesWithoutMessageGiveNull) {
  for (int code : {0, 12, 25, 27, -1, 32, 1000}) EXPECT_EQ(ErrorMessage(code), nullptr) << code;
  for (int code = 1; code <= 26; ++code) {
    if (code != 12 && code != 25) {
      EXPECT_NE(ErrorMessage(code), nullptr) << code;
    }
  }
}

TEST(MessageTables, GraphResultMessageNIsEntry13PlusN) {
  for (int n = 1; n <= 25; ++n) EXPECT_EQ(GraphResultMessage(n), MessageTable[13 + n]);
  EXPECT_EQ(GraphResultMessage(0), nullptr);
  EXPECT_EQ(GraphResultMessage(26), nullptr);
  char buf[64];
  EXPECT_TRUE(CopyGraphResultMessage(buf, sizeof buf, 22));
  EXPECT_STREQ(buf, "No equation to graph. Try 'y = x'");
  std::strcpy(buf, "stale");
  EXPECT_FALSE(CopyGraphResultMessage(buf, sizeof buf, 0));
  EXPECT_STREQ(buf, "");
  EXPECT_FALSE(CopyGraphResultMessage(buf, sizeof buf, -3));
}

TEST(MessageTables, CopiesTruncateSafely) {
  char small[6];
  EXPECT_FALSE(CopyGraphResultMessage(small, sizeof small, 1));
  EXPECT_STREQ(small, "Undef");
  char exact[6];
  EXPECT_TRUE(CopyBooleanWord(0, exact, sizeof exact));  // "false" + NUL fits exactly
  EXPECT_STREQ(exact, "false");
  char untouched = 'x';
  EXPECT_FALSE(CopyInfinityWord(&untouched, 0));
  EXPECT_EQ(untouched, 'x');
}

TEST(MessageTables, BooleanAndReadOutWords) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Row { double lower, upper; const char* want; };
  const Row rows[] = {{0, 1, "[false, true]"}, {1, 1, "true"}, {0, 0, "false"}, {nan, 1, "false"},
                      {1, nan, "false"}, {0, nan, "false"}, {1, 0, "true"}, {-0.0, 0, "false"}};
  char buf[32];
  for (const Row& r : rows) {
    EXPECT_TRUE(CopyBooleanRangeWord(r.lower, r.upper, buf, sizeof buf));
    EXPECT_STREQ(buf, r.want) << r.lower << "," << r.upper;
  }
  EXPECT_TRUE(CopyBooleanWord(7, buf, sizeof buf));
  EXPECT_STREQ(buf, "true");
  EXPECT_TRUE(CopyBooleanWord(0, buf, sizeof buf));
  EXPECT_STREQ(buf, "false");
  EXPECT_TRUE(CopyInfinityWord(buf, sizeof buf));
  EXPECT_STREQ(buf, "infinity");
  EXPECT_TRUE(CopyNotANumberWord(buf, sizeof buf));
  EXPECT_STREQ(buf, "not a number");
  EXPECT_TRUE(CopyEqualsFormat(buf, sizeof buf));
  EXPECT_STREQ(buf, "= #");
  EXPECT_EQ(GetPlaceholderChar(), '#');
}

}  // namespace
