// quorvalis run where there is no display: it says so and draws the graph pane into the PNG as
// the headless program does, for a document or for an empty one; bad options get its usage, and a
// range the view cannot show is refused as the headless program refuses it.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/draw/png_io.h"
#include "tests/app/app_test_support.h"

namespace {

using app_test::Outcome;

Outcome RunWithoutDisplay(const std::string& arguments) {
  return app_test::RunCommand("env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER " + std::string(QV_WINDOW_BINARY) +
                              " " + arguments);
}

TEST(WindowProgramTest, WithoutADisplayItSaysSoAndRendersThePng) {
  const std::string png = app_test::Temp("qv_no_display.png");
  const struct {
    std::string document;
    const char* graphs;
  } cases[] = {{std::string(QV_SOURCE_DIR) + "/examples/first-graphs.txt", "3 graphs"}, {"", "0 graphs"}};
  for (const auto& c : cases) {
    std::remove(png.c_str());
    const Outcome run = RunWithoutDisplay(c.document + " --size 320x240 --output " + png);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("quorvalis: no display"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(c.graphs), std::string::npos) << run.output;
    PngImage image{};
    ASSERT_TRUE(ReadPngFile(png.c_str(), &image)) << run.output;
    EXPECT_TRUE(image.width == 320 && image.height == 240);
    FreePngImage(&image);
  }
  const Outcome bad = RunWithoutDisplay("--size 10");
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.output.find("usage: quorvalis"), std::string::npos) << bad.output;
  std::remove(png.c_str());
  const Outcome narrow = RunWithoutDisplay(cases[0].document + " --x 0,1e-290 --output " + png);
  EXPECT_EQ(narrow.status, 2) << narrow.output;
  EXPECT_NE(narrow.output.find("the view cannot show this range"), std::string::npos) << narrow.output;
  EXPECT_FALSE(std::ifstream(png).good());
}

}  // namespace
