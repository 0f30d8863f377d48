// quorvalis-render with the rows' settings and the second views: each row setting changes the
// picture as its graph option says (colour, grain, opacity through the software rasteriser,
// plotting mode); a space map, a split view and a row sent to the second view draw the second 2D
// or 3D view beside the first; bad lines are named and nothing is written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "tests/app/app_test_support.h"

namespace {

using app_test::Outcome;
using app_test::RendererEnvironments;
using app_test::RunRender;
using app_test::Temp;

constexpr int kWidth = 400, kHeight = 200;

struct Rendered {
  Outcome run;
  std::vector<uint32_t> pixels;  // 0xRRGGBB, row by row; empty when nothing was written
};

Rendered Render(const std::string& document, const std::string& environment) {
  const std::string path = Temp("qv_row_views.txt"), png = Temp("qv_row_views.png");
  std::ofstream(path) << document;
  std::remove(png.c_str());
  Rendered r{RunRender("--size " + std::to_string(kWidth) + "x" + std::to_string(kHeight) + " --output " + png + " " +
                           path,
                       environment),
             {}};
  for (const uint32_t p : app_test::PngPixels(png)) r.pixels.push_back(p & 0xFFFFFF);
  std::remove(path.c_str());
  std::remove(png.c_str());
  return r;
}

// Pixels of a half (0 left, 1 right, 2 all) that pass the test.
int Count(const std::vector<uint32_t>& pixels, int half, bool (*test)(int r, int g, int b)) {
  int n = 0;
  for (size_t i = 0; i < pixels.size(); ++i) {
    const int h = static_cast<int>(i % kWidth);
    if (half != 2 && (h >= kWidth / 2) != (half == 1)) continue;
    n += test(pixels[i] >> 16 & 0xFF, pixels[i] >> 8 & 0xFF, pixels[i] & 0xFF);
  }
  return n;
}
bool Magenta(int r, int g, int b) { return r > 60 && b > 60 && g < 40 && std::abs(r - b) < 60; }
bool Blue(int r, int g, int b) { return b > 60 && r < 30 && g < 30; }
// A saturated colour: a graph's ink, not the paper, its grid or the grey axes.
bool Ink(int r, int g, int b) { return std::max({r, g, b}) - std::min({r, g, b}) > 90 && std::min({r, g, b}) < 170; }

// A magenta surface's pixel however it is shaded: red and blue above green, dark ones too.
bool Shaded(int r, int g, int b) { return r + b > 40 && 2 * g < std::min(r, b); }

// How drawn-out the magenta surface of the half is: the square root of the ratio of the largest to
// the smallest second moment of its pixels about their centre (1 for a disc).
double Elongation(const std::vector<uint32_t>& pixels, int half) {
  double n = 0, sh = 0, sv = 0, shh = 0, svv = 0, shv = 0;
  for (size_t i = 0; i < pixels.size(); ++i) {
    const double h = static_cast<double>(i % kWidth), v = static_cast<double>(i / kWidth);
    if ((h >= kWidth / 2) != (half == 1) || !Shaded(pixels[i] >> 16 & 0xFF, pixels[i] >> 8 & 0xFF, pixels[i] & 0xFF))
      continue;
    n += 1, sh += h, sv += v, shh += h * h, svv += v * v, shv += h * v;
  }
  if (n < 2) return 0.0;
  const double a = shh / n - (sh / n) * (sh / n), b = shv / n - (sh / n) * (sv / n), c = svv / n - (sv / n) * (sv / n);
  const double mean = (a + c) / 2, spread = std::sqrt((a - c) * (a - c) / 4 + b * b);
  return std::sqrt((mean + spread) / (mean - spread));
}

class RenderRowViewsTest : public testing::Test {
 protected:
  void SetUp() override {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    setenv("EGL_PLATFORM", "surfaceless", 1);
  }
  RendererEnvironments renderers_{"qv_row_views_config"};
};

// Each setting against the same document without it (or with another value): the picture changes
// as the option says, and the setting's default draws exactly the picture drawn without it.
TEST_F(RenderRowViewsTest, EachRowSettingChangesThePictureAsItsOptionSays) {
  const std::string field = "equal[matrix[2,1,x,y],matrix[2,1,minus[y],x]]\n";
  const std::string region = "lessthan[plus[power[x,2],power[y,2]],1]\n";
  using Check = std::function<void(const Rendered& with, const Rendered& other)>;
  const struct {
    const char* what;
    std::string with, other;
    Check check;
  } cases[] = {
      {"a blue colour", "@colour=3 equal[y,power[x,2]]\n", "equal[y,power[x,2]]\n",
       [](const Rendered& with, const Rendered& other) {
         EXPECT_GT(Count(with.pixels, 2, Blue), 100);
         EXPECT_EQ(Count(with.pixels, 2, Magenta), 0);
         EXPECT_EQ(Count(other.pixels, 2, Blue), 0);
       }},
      {"the finest grain: arrows ten pixels apart rather than a hundred", "@grain=1 " + field, "@grain=0 " + field,
       [](const Rendered& with, const Rendered& other) {
         EXPECT_GT(Count(with.pixels, 2, Ink), 4 * Count(other.pixels, 2, Ink));
       }},
      {"an opacity of a quarter, drawn by the software rasteriser", "@view=3d\n@opacity=0.25 equal[z,times[x,y]]\n",
       "@view=3d\nequal[z,times[x,y]]\n",
       [](const Rendered& with, const Rendered& other) {
         EXPECT_NE(with.run.output.find("3D by the software rasteriser"), std::string::npos) << with.run.output;
         EXPECT_NE(other.run.output.find("3D by OpenGL"), std::string::npos) << other.run.output;
         EXPECT_GT(Count(other.pixels, 2, Magenta), 500);
         EXPECT_LT(Count(with.pixels, 2, Magenta), Count(other.pixels, 2, Magenta) / 4);
         EXPECT_GT(Count(with.pixels, 2, [](int r, int g, int b) { return r > 200 && b > 200 && g > 60 && g < 230; }),
                   500);  // the surface's magenta mixed with the white behind it
       }},
      {"the draft mode", "@mode=0 " + region, region,
       [](const Rendered& with, const Rendered& other) { EXPECT_NE(with.pixels, other.pixels); }},
      {"the full analysis, the default mode", "@mode=2 " + region, region,
       [](const Rendered& with, const Rendered& other) { EXPECT_EQ(with.pixels, other.pixels); }},
      {"the grain's default", "@grain=0.5 " + field, field,
       [](const Rendered& with, const Rendered& other) { EXPECT_EQ(with.pixels, other.pixels); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Rendered with = Render(c.with, renderers_.gl), other = Render(c.other, renderers_.gl);
    ASSERT_EQ(with.run.status, 0) << with.run.output;
    ASSERT_EQ(other.run.status, 0) << other.run.output;
    ASSERT_EQ(with.pixels.size(), size_t{kWidth} * kHeight);
    c.check(with, other);
  }
}

// The second view stands in the right half: the space map's companions (the unit sphere stretched
// three times as long along x), a 3D second view beside the plane, a second 3D view beside the first, a
// second 2D view beside the first; a row sent to a second view not shown is named in a note; bad
// lines are named, nothing written.
TEST_F(RenderRowViewsTest, SecondViewsStandBesideTheFirst) {
  const char* sphere = "equal[plus[power[x,2],power[y,2],power[z,2]],1]\n";
  const struct {
    const char* what;
    std::string document;
    int magenta[2], blue[2];  // at least that many in the left and right halves; -1: none at all
    const char* says;         // in the output; the status is 1 for "bad" or "a view"
    bool stretched = false;   // the right half's magenta drawn out (the sphere's round)
  } cases[] = {
      {"the space map", std::string("@map=space matrix[3,1,times[3,x],y,z]\n") + sphere, {300, 300}, {-1, -1}, "3D by",
       true},
      {"a 3D view beside the plane", "@split=3d\nequal[y,power[x,2]]\n@side=1 @colour=3 equal[z,times[x,y]]\n",
       {50, -1}, {-1, 300}, "2 graphs"},
      {"two 3D views", std::string("@view=3d\n@split=3d\n") + sphere + "@side=1 @colour=3 " + sphere, {300, -1},
       {-1, 300}, "3D by"},
      {"two plane views", "@split=2d\nequal[y,power[x,2]]\n@side=1 @colour=3 equal[y,x]\n", {50, -1}, {-1, 50},
       "2 graphs"},
      {"a second view not shown", "equal[y,x]\n@side=1 equal[z,times[x,y]]\n", {0, 0}, {0, 0},
       ":2: note: its graph is in the second 3D view, which is not drawn (add a line @split=3d)"},
      {"a bad split", "@split=4d\nequal[y,x]\n", {0, 0}, {0, 0}, ":1: bad split setting"},
      {"a bad space map", "@map=space matrix[2,1,x,y]\nequal[y,x]\n", {0, 0}, {0, 0}, ":1: bad map (a column of three"},
      {"a plane view after a space map", std::string("@map=space matrix[3,1,x,y,z]\n@view=2d\n") + sphere, {0, 0},
       {0, 0}, ":2: a view other than 3d after a space map"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Rendered r = Render(c.document, renderers_.gl);
    EXPECT_NE(r.run.output.find(c.says), std::string::npos) << r.run.output;
    const bool refused = std::string(c.says).find(":1: bad") != std::string::npos ||
                         std::string(c.says).find("a view other") != std::string::npos;
    ASSERT_EQ(r.run.status, refused ? 1 : 0) << r.run.output;
    if (refused) {
      EXPECT_TRUE(r.pixels.empty());
      continue;
    }
    for (int half = 0; half < 2; ++half) {
      const int counts[2] = {Count(r.pixels, half, Magenta), Count(r.pixels, half, Blue)};
      const int least[2] = {c.magenta[half], c.blue[half]};
      for (int k = 0; k < 2; ++k) {
        EXPECT_TRUE(least[k] < 0 ? counts[k] == 0 : counts[k] >= least[k])
            << (k == 0 ? "magenta " : "blue ") << counts[k] << " in half " << half;
      }
    }
    if (c.stretched) {
      EXPECT_LT(Elongation(r.pixels, 0), 1.15);
      EXPECT_GT(Elongation(r.pixels, 1), 1.6);
    }
  }
}

}  // namespace
