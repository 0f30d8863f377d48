// quorvalis-render with a document in 4D (a line @view=4d): the 4D example (a helix and w = z^2 / 4)
// draws its grid, its axes in cyan and its lit surface through Mesa's GL offscreen and through the
// software rasteriser; the ranges given move the picture; a 4D row in a plane document is built
// and said to be in the 4D view.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "tests/app/app_test_support.h"

namespace {

using app_test::Outcome;
using app_test::RendererEnvironments;
using app_test::RunRender;
using app_test::Temp;

// Axis pixels (cyan, faded towards grey by depth in GL), and the distinct shades of the red surface.
struct Picture {
  int axis = 0, red = 0;
  std::set<uint32_t> shades;
  std::vector<uint32_t> pixels;
};
Picture Look(const std::string& png) {
  Picture picture;
  for (const uint32_t pixel : app_test::PngPixels(png)) {
    const uint32_t p = pixel & 0xFFFFFF;
    const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
    picture.axis += g > r + 60 && b > r + 60 && g > 120;
    if (r > g + 40 && r > b + 40) {
      ++picture.red;
      picture.shades.insert(p);
    }
    picture.pixels.push_back(p);
  }
  return picture;
}

TEST(Render4DTest, ADocumentWithAView4DLineDrawsThe4DView) {
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  setenv("EGL_PLATFORM", "surfaceless", 1);
  const std::string example = std::string(QV_SOURCE_DIR) + "/examples/four-d.txt";
  const RendererEnvironments renderers("qv_config_4d");
  const std::string& gl = renderers.gl;
  const std::string png = Temp("qv_four_d.png");
  const struct {
    std::string environment;
    const char* drawnBy;
  } cases[] = {{gl, "4D by OpenGL"}, {renderers.software, "4D by the software rasteriser"}};
  for (const auto& c : cases) {
    std::remove(png.c_str());
    Outcome run = RunRender("--size 240x200 --output " + png + " " + example, c.environment);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find(c.drawnBy), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("2 graphs"), std::string::npos) << run.output;
    const Picture drawn = Look(png);
    ASSERT_EQ(drawn.pixels.size(), 240u * 200u);
    EXPECT_GT(drawn.axis, 30) << c.drawnBy;
    EXPECT_GT(drawn.red, 2000) << c.drawnBy;
    EXPECT_GT(drawn.shades.size(), 40u) << c.drawnBy << ": the surface is lit, not flat";
    // The x range 0..4 shows another part of both graphs.
    run = RunRender("--size 240x200 --x 0,4 --output " + png + " " + example, c.environment);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(Look(png).pixels, drawn.pixels) << c.drawnBy;
  }
  const std::string document = Temp("qv_plane_with_4d.txt");
  std::ofstream(document) << "equal[y,x]\nequal[w,power[z,2]]\n";
  const Outcome run = RunRender(document + " --output " + png, gl);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find(document + ":2: note: its graph is in the 4D view"), std::string::npos) << run.output;
  std::remove(document.c_str());
  std::remove(png.c_str());
}

}  // namespace
