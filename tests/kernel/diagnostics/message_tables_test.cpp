// Message tables against the texts as written down for the system, typed in here
// independently of the tables (taken from the source wording, not from this code), so a
// changed blank, quote or line break shows up byte for byte. "\r" is the alert's break.
#include "kernel/diagnostics/message_tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

struct Text { int index; const char* text; };

// Error messages by code. 12 and 25 have none; 26 has only its first sentence here: the
// closing sentence after the two carriage returns is our own wording.
const Text kErrorTexts[] = {
    {1, "Quorvalis requires MacOS System 8.6 or newer to run. Sorry."},
    {2, "Your display device is incompatible with the Quorvalis.  Sorry."},
    {3, "Direct Draw has failed for an unknown reason.  The Quorvalis must shut down."},
    {4, "There is not enough memory to continue. To avoid crashing, it is necessary for the "
        "Quorvalis to quit now. Sorry."},
    {5, "Memory is running low.  Quit some other applications."},
    {6, "Sorry, there is not enough memory to open a new document. Closing other windows may "
        "help. "},
    {7, "There is not enough memory available to draw the requested graph. Quitting other "
        "applications may enable the graph to be drawn."},
    {8, "There is not enough memory available for this operation.Quitting other applications "
        "or closing other windows may help."},
    {9, "Sorry, there is not enough memory for smooth graphics operations. Quitting other "
        "applications may improve the appearance of the Quorvalis."},
    {10, "The Symbol font is not available. Mathematical symbols and formatting may not "
         "appear correctly. Please install the Symbol font before using the Quorvalis."},
    {11, "The graph cannot be drawn properly because the expression exceeds the limits of "
         "IEEE double-precision 64-bit floating point values.\r\rChoose Reset Graph from the "
         "Graph menu."},
    {13, "That is not a valid filename."},
    {14, "We recommend that you install OpenGL. It is not required but it will improve the "
         "performance of the Quorvalis."},
    {15, "We recommend that you install the QuickDraw3D RAVE extension. It is not required "
         "but it will improve the performance of the Quorvalis."},
    {16, "Can't create movie file."},
    {17, "Sorry, there is not enough memory for rendering with transparency. Try quitting "
         "other applications or reducing the resolution of the graph. Then choose \"Use "
         "Transparency\" from the Graph Menu."},
    {18, "Sorry, Quorvalis was unable to connect to the internet integral server."},
    {19, "MacOS 8.5 with URL Access is needed to connect to the internet integral server."},
    {20, "Sorry, Quorvalis does not recognize this file. It was either damaged or it is not a "
         "Quorvalis file."},
    {21, "Sorry, Quorvalis was unable to open this file."},
    {22, "Quorvalis was unable to save this file because the disk is full."},
    {23, "Quorvalis was unable to save this file because the disk is locked."},
    {24, "Sorry, Quorvalis was unable to save this file."},
    {26, "This document cannot be opened because it was created by a newer version of "
         "Quorvalis."},
};

// Graph result messages 1..25.
const Text kGraphResultTexts[] = {
    {1, "Undefined in the region shown"},
    {2, "Undefined or infinite in the region shown"},
    {3, "Undefined in the domain shown"},
    {4, "Infinite in the domain shown"},
    {5, "Curve is outside the region shown"},
    {6, "Not satisfied anywhere"},
    {7, "Not satisfied in the region shown"},
    {8, "False everywhere"},
    {9, "False in the region shown"},
    {10, "Undefined or constant throughout the region shown"},
    {11, "Undefined or infinite for the coordinate ranges given"},
    {12, "Not satisfied in the coordinate ranges given"},
    {13, "No surface found in the coordinate ranges given"},
    {14, "Can't graph equations of this form"},
    {15, "Can't graph equations with question marks"},
    {16, "Parameter 't' can only be used in parametric curves"},
    {17, "Parameters 'u' and 'v' can only be used in parametric surfaces"},
    {18, "Can't graph equations using multiple coordinate systems"},
    {19, "Can't graph 2D inequalities in 3D"},
    {20, "Can't graph 2D vector plots in 3D"},
    {21, "A condition after the comma is not appropriate here"},
    {22, "No equation to graph. Try 'y = x'"},
    {23, "Can't parse condition after the comma"},
    {24, "Can't graph this in 3D"},
    {25, "Can't graph this in 4D"},
};

// The entries in front of the graph result messages.
const char* const kLeadingEntries[] = {
    "To exit the exponent, press the right arrow.",
    "To exit the fraction, press the right arrow.",
    "Use \"y\" instead of \"f(x)\".",
    "",
    "false",
    "true",
    "infinity",
    "not a number",
    "#",
    "= #",
    "x: #",
    "y: #",
    " ... #",
    "[false, true]",
};

TEST(MessageTables, ErrorMessagesMatchByteForByte) {
  for (const Text& t : kErrorTexts) {
    ASSERT_NE(ErrorMessage(t.index), nullptr) << "code " << t.index;
    if (t.index == 26) {
      const std::string whole = ErrorMessage(26);
      const std::string head = std::string(t.text) + "\r\r";
      EXPECT_EQ(whole.substr(0, head.size()), head);
      EXPECT_GT(whole.size(), head.size() + 20);  // our closing sentence follows
      EXPECT_EQ(whole.find('\r', head.size()), std::string::npos);
    } else {
      EXPECT_STREQ(ErrorMessage(t.index), t.text) << "code " << t.index;
    }
  }
  EXPECT_STREQ(ErrorMessageTable[0], "");
  EXPECT_STREQ(ErrorMessageTable[12], "");
  EXPECT_STREQ(ErrorMessageTable[25], "");
}

TEST(MessageTables, MessageTableMatchesByteForByte) {
  constexpr int kLeading = static_cast<int>(sizeof kLeadingEntries / sizeof kLeadingEntries[0]);
  static_assert(kLeading == 14);
  for (int i = 0; i < kLeading; ++i) EXPECT_STREQ(MessageTable[i], kLeadingEntries[i]) << "entry " << i;
  for (const Text& t : kGraphResultTexts) {
    EXPECT_STREQ(MessageTable[13 + t.index], t.text) << "graph result " << t.index;
    EXPECT_EQ(GraphResultMessageTable[t.index], MessageTable[13 + t.index]);
    EXPECT_EQ(GraphResultMessage(t.index), MessageTable[13 + t.index]);
  }
  EXPECT_EQ(kMessageTableCount, 39);
}

TEST(MessageTables, CodesWithoutMessageGiveNull) {
  for (int code : {0, 12, 25, 27, -1, 32, 1000}) EXPECT_EQ(ErrorMessage(code), nullptr) << code;
  for (int n : {0, 26, -3}) EXPECT_EQ(GraphResultMessage(n), nullptr) << n;
}

TEST(MessageTables, CopiesTruncateSafelyAndClearOnBadNumbers) {
  char buf[64];
  EXPECT_TRUE(CopyGraphResultMessage(buf, sizeof buf, 22));
  EXPECT_STREQ(buf, "No equation to graph. Try 'y = x'");
  std::strcpy(buf, "stale");
  EXPECT_FALSE(CopyGraphResultMessage(buf, sizeof buf, 0));
  EXPECT_STREQ(buf, "");
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
  EXPECT_TRUE(CopyInfinityWord(buf, sizeof buf));
  EXPECT_STREQ(buf, "infinity");
  EXPECT_TRUE(CopyNotANumberWord(buf, sizeof buf));
  EXPECT_STREQ(buf, "not a number");
  EXPECT_TRUE(CopyEqualsFormat(buf, sizeof buf));
  EXPECT_STREQ(buf, "= #");
  EXPECT_EQ(GetPlaceholderChar(), '#');
}

}  // namespace
