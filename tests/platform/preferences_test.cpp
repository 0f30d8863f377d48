// The preferences file: well-formed lines give their values, and every kind of damage (bad
// lines, binary junk, an oversized or missing file) leaves the other keys or the defaults.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/preferences.h"

namespace {

class PreferencesTest : public testing::Test {
 protected:
  void TearDown() override {
    std::remove(path.c_str());
    ResetPreferencesForTest();
  }
  void Write(const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    SetPreferencesFile(path.c_str());
  }
  int32_t Value(const char* key, bool* found) { return GetAppIntegerPreference(key, found); }
  // One file per process and test: CTest runs the tests of a suite side by side.
  std::string path = testing::TempDir() + "/prefs_" + std::to_string(::getpid()) + "_" +
                     testing::UnitTest::GetInstance()->current_test_info()->name();
};

}  // namespace

TEST_F(PreferencesTest, WellFormedLinesGiveTheirValuesAndDamagedOnesAreSkipped) {
  Write(std::string("# renderer switches\r\n"
        "  use_software_renderer = 1\r\n"
        "a=-7\n"
        "a=2147483647\n"                      // the last line setting a key wins
        "b=2147483648\n"                      // out of range
        "c=1x\n" "d=\n" "=1\n" "e 1\n" "f=1=2\n" "g h=1\n"
        "bin\x01=1\n") +
        std::string("nul=1\0\n", 7) + "k=+3");  // no final line feed
  struct Case {
    const char* key;
    bool found;
    int32_t value;
  } cases[] = {{"use_software_renderer", true, 1}, {"a", true, 2147483647}, {"b", false, 0}, {"c", false, 0},
               {"d", false, 0}, {"e", false, 0}, {"f", false, 0}, {"g h", false, 0}, {"nul", false, 0},
               {"k", true, 3}, {"missing", false, 0}};
  for (const Case& c : cases) {
    bool found = !c.found;
    EXPECT_EQ(Value(c.key, &found), c.value) << c.key;
    EXPECT_EQ(found, c.found) << c.key;
  }
}

TEST_F(PreferencesTest, UnreadableFilesGiveNoValues) {
  struct Case {
    std::string content;
    bool create;
  } cases[] = {{"", false}, {std::string(kMaxPreferencesBytes + 1, '\n') + "a=1\n", true},
               {std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), true}};
  for (const Case& c : cases) {
    std::remove(path.c_str());
    if (c.create) Write(c.content);
    else SetPreferencesFile(path.c_str());
    EXPECT_EQ(SynchronizePreferences(), c.create && c.content.size() <= size_t(kMaxPreferencesBytes));
    bool found = true;
    EXPECT_EQ(Value("a", &found), 0);
    EXPECT_FALSE(found);
  }
}
