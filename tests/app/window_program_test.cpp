// quorvalis run where there is no display: it says so and draws the graph pane into the PNG as
// the headless program does, for a document or for an empty one; bad options get its usage.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/draw/png_io.h"

namespace {

struct Outcome {
  int status;
  std::string output;
};

Outcome RunWithoutDisplay(const std::string& arguments) {
  const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER " + std::string(QV_WINDOW_BINARY) +
                              " " + arguments + " 2>&1";
  Outcome run{-1, ""};
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) run.output += buffer;
  const int raw = pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

TEST(WindowProgramTest, WithoutADisplayItSaysSoAndRendersThePng) {
  const std::string png = testing::TempDir() + "qv_no_display.png";
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
}

}  // namespace
