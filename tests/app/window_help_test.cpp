// quorvalis --help against the README: the plane view's mouse in the same words in both, beside
// the 3D and 4D keys and the Edit keys in the help.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "tests/app/app_test_support.h"

namespace {

// Runs of blanks and line ends as one blank: both texts wrap their lines.
std::string Flowed(const std::string& text) { return std::regex_replace(text, std::regex("[ \n]+"), " "); }

TEST(WindowHelpTest, TheHelpAndTheReadmeTellThePlaneMouseAlike) {
  const app_test::Outcome help = app_test::RunCommand(std::string(QV_WINDOW_BINARY) + " --help");
  ASSERT_EQ(help.status, 0) << help.output;
  std::ifstream file(std::string(QV_SOURCE_DIR) + "/README.md");
  const std::string readme((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::string begin = "<!-- plane mouse: the same text as `quorvalis --help`, held to it by tests/app/window_help_test.cpp -->\n";
  const size_t from = readme.find(begin), to = readme.find("<!-- end of plane mouse -->");
  ASSERT_TRUE(from != std::string::npos && to != std::string::npos && from < to) << "no plane mouse text in README.md";
  const std::string mouse = Flowed(readme.substr(from + begin.size(), to - from - begin.size()));
  EXPECT_NE(mouse.find("Control-drag pans anywhere"), std::string::npos) << mouse;
  const std::string usage = Flowed(help.output);
  for (const char* told : {mouse.c_str(), "In 3D and 4D: drag a graph to turn the view",
                           "F10 opens the first menu", "Control+Z undoes", "Control+Shift+Z and Control+Y redo",
                           "Up widens the selection a part at a step"}) {
    EXPECT_NE(usage.find(told), std::string::npos) << told << "\nnot in the help:\n" << usage;
  }
  EXPECT_EQ(usage.find("drag the graph pane to pan it"), std::string::npos) << "not true of every plane graph";
}

}  // namespace
