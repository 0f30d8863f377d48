// The message tables through their readers: which codes have a message, and the copies that
// truncate to their buffer and choose the read-out word.
#include "kernel/diagnostics/message_tables.h"

#include <gtest/gtest.h>

#include <cstring>

#include "kernel/numeric/numeric_constants.h"

namespace {

// Hand-counted: codes 1..26 but 12 and 25 have a message; graph results run 1..25.
TEST(MessageTables, MessagesExistExactlyForTheirCodes) {
  int withMessage = 0;
  for (int code = -1; code <= 40; ++code) withMessage += ErrorMessage(code) != nullptr;
  EXPECT_EQ(withMessage, 24);
  for (int code : {0, 12, 25, 27}) EXPECT_EQ(ErrorMessage(code), nullptr) << code;
  for (int n = 1; n <= 25; ++n) EXPECT_GT(std::strlen(GraphResultMessage(n)), 10u) << n;
  for (int n : {0, 26, -3}) EXPECT_EQ(GraphResultMessage(n), nullptr) << n;
}

TEST(MessageTables, CopiesTruncateToTheBufferAndReportIt) {
  char buf[64];
  EXPECT_TRUE(CopyGraphResultMessage(buf, sizeof buf, 22));
  EXPECT_STREQ(buf, GraphResultMessage(22));
  EXPECT_FALSE(CopyGraphResultMessage(buf, sizeof buf, 0));  // out of range: cleared
  EXPECT_STREQ(buf, "");
  char small[6];
  EXPECT_FALSE(CopyGraphResultMessage(small, sizeof small, 1));
  EXPECT_EQ(std::strncmp(small, GraphResultMessage(1), 5), 0);
  EXPECT_EQ(small[5], '\0');
  EXPECT_TRUE(CopyBooleanWord(0, small, sizeof small));  // "false" and its NUL fit exactly
  char untouched = 'x';
  EXPECT_FALSE(CopyInfinityWord(&untouched, 0));
  EXPECT_EQ(untouched, 'x');
}

TEST(MessageTables, BooleanRangeWordFollowsTheBounds) {
  const double nan = kUndefinedReal;
  struct Row { double lower, upper; int entry; };
  const Row rows[] = {{0, 1, kMessageBooleanRange}, {1, 1, kMessageTrue},  {0, 0, kMessageFalse},
                      {nan, 1, kMessageFalse},      {1, nan, kMessageFalse}, {1, 0, kMessageTrue},
                      {-0.0, 0, kMessageFalse}};
  char buf[32];
  for (const Row& r : rows) {
    EXPECT_TRUE(CopyBooleanRangeWord(r.lower, r.upper, buf, sizeof buf));
    EXPECT_STREQ(buf, MessageTable[r.entry]) << r.lower << "," << r.upper;
  }
}

}  // namespace
