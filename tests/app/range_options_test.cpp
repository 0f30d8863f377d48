// The ranges both programs take, run as a user runs them: every range of the view shown can be
// asked for by an option or a document line of the same name (the option wins); a range the
// view shown does not have, or cannot show, is refused with status 2 and nothing written, in the
// plane (a map document too) and in space alike; an axis without a range is centred on 0; options
// are read once, in order, and a missing value is an error.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/app/app_test_support.h"

namespace {

using app_test::Outcome;
using app_test::PngPixels;
using app_test::RendererEnvironments;
using app_test::RunRender;
using app_test::Temp;

bool Written(const std::string& png) { return std::ifstream(png).good(); }

// Pixels of the picture that are neither white nor grey: graph ink.
int Ink(const std::vector<uint32_t>& pixels, int width, int left, int top, int right, int bottom) {
  int ink = 0;
  for (int v = top; v < bottom; ++v) {
    for (int h = left; h < right; ++h) {
      const uint32_t p = pixels[size_t(v) * size_t(width) + size_t(h)];
      const int r = p >> 16 & 255, g = p >> 8 & 255, b = p & 255;
      ink += std::max({r, g, b}) - std::min({r, g, b}) > 80;
    }
  }
  return ink;
}

// The ranges refused, by document and option: a range the view cannot show (too wide for the
// projection's floats, narrow against its distance from 0, narrow against the pane after the
// view's corner is rounded), and a range the view shown does not have. Golden cases: the ones that
// were drawn before, blank (3D, 4D), unchanged (a map document at half width) or elsewhere (2D).
TEST(RangeOptionsTest, RangesTheViewShownCannotShowOrDoesNotHaveAreRefused) {
  const RendererEnvironments renderers("qv_range_refusal_config");
  const std::string plane = Temp("qv_rr_plane.txt"), space = Temp("qv_rr_space.txt"), four = Temp("qv_rr_four.txt"),
                    map = Temp("qv_rr_map.txt"), png = Temp("qv_rr.png");
  std::ofstream(plane) << "equal[y,x]\n";
  std::ofstream(space) << "@view=3d\nequal[z,times[0.1,x,y]]\n";
  std::ofstream(four) << "@view=4d\nequal[matrix[4,1,x,y,u,v],matrix[4,1,cos[t],sin[t],t,1]]\n";
  std::ofstream(map) << "@map=picture matrix[2,1,x,y]\nequal[y,x]\n";
  const struct {
    const std::string* document;
    const char* options;
    int status;
    const char* says;
  } cases[] = {
      {&space, "--x -1.7e308,1.7e308", 2, "the view cannot show"},
      {&space, "--x -1e31,1e31", 2, "the view cannot show"},
      {&space, "--y 1e10,1.00000001e10", 2, "the view cannot show"},
      {&space, "--z 0,1e-31", 2, "the view cannot show"},
      {&space, "--w -1,1", 2, "the 3D view has no w range"},
      {&space, "--x -1e29,1e29 --z 0,1e-3", 0, ""},
      {&four, "--x -1.7e308,1.7e308", 2, "the view cannot show"},
      {&four, "--w 5,5.0000000001", 2, "the view cannot show"},
      {&four, "--theta 0,1", 2, "the 4D view has no theta range"},
      {&four, "--w -1,3 --z -3,1", 0, ""},
      {&plane, "--z -1,1", 2, "the 2D view has no z range"},
      {&plane, "--u 0,1", 2, "the 2D view has no u range"},
      {&plane, "--x 9.9999999999999982e99,1.0000000000000002e100", 2, "the view cannot show"},
      {&map, "--x -1e281,1e281", 2, "the view cannot show"},
      {&map, "--x -4,4", 0, ""},
  };
  for (const auto& c : cases) {
    std::remove(png.c_str());
    const Outcome run =
        RunRender(*c.document + " " + c.options + " --size 800x600 --output " + png, renderers.software);
    EXPECT_EQ(run.status, c.status) << c.options << ": " << run.output;
    EXPECT_EQ(Written(png), c.status == 0) << c.options;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << c.options << ": " << run.output;
  }
  for (const std::string* path : {&plane, &space, &four, &map, &png}) std::remove(path->c_str());
}

// Each range asked for by an option draws what the document line of the same name draws, and
// something else than the default: the box's z range cut from -2..2 to 0..2 hides the lower half
// of a saddle, t from 0..1 to 0..0.5 shortens a 3D helix, u and v halve a parametric square, the
// 4D view's z range squeezes a curve rising in z (its w lies along the default view's depth), the
// plane's t range halves a parametric segment. An option wins over the
// line; a bad range is told in the same words by both, the line named and the document refused.
TEST(RangeOptionsTest, EveryRangeIsSetByAnOptionOrADocumentLineAlike) {
  const RendererEnvironments renderers("qv_range_lines_config");
  const std::string document = Temp("qv_rl.txt"), png = Temp("qv_rl.png");
  const struct {
    const char* view;  // the view line
    const char* formula;
    const char* name;
    const char* range;
  } cases[] = {
      {"@view=3d", "equal[z,times[x,y]]", "z", "0,2"},
      {"@view=3d", "equal[matrix[3,1,x,y,z],matrix[3,1,cos[times[6,t]],sin[times[6,t]],t]]", "t", "0,0.5"},
      {"@view=3d", "equal[matrix[3,1,x,y,z],matrix[3,1,u,v,0]]", "u", "0,0.5"},
      {"@view=3d", "equal[matrix[3,1,x,y,z],matrix[3,1,u,v,0]]", "v", "0,0.5"},
      {"@view=4d", "equal[matrix[4,1,x,y,u,v],matrix[4,1,cos[t],sin[t],times[4,t],t]]", "z", "-1,8"},
      {"", "equal[matrix[2,1,x,y],matrix[2,1,t,t]]", "t", "0,0.5"},
  };
  auto draw = [&](const std::string& lines, const std::string& options) {
    std::ofstream(document) << lines;
    std::remove(png.c_str());
    const Outcome run = RunRender(options + " --size 160x120 --output " + png + " " + document, renderers.software);
    EXPECT_EQ(run.status, 0) << lines << options << ": " << run.output;
    return PngPixels(png);
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.view) + " " + c.name);
    const std::string head = std::string(c.view) + "\n" + c.formula + "\n";
    const std::vector<uint32_t> plain = draw(head, "");
    const std::vector<uint32_t> byOption = draw(head, std::string("--") + c.name + " " + c.range);
    const std::vector<uint32_t> byLine = draw(head + "@" + c.name + "=" + c.range + "\n", "");
    const std::vector<uint32_t> overridden =
        draw(head + "@" + c.name + "=" + "-7,7\n", std::string("--") + c.name + " " + c.range);
    ASSERT_EQ(plain.size(), 160u * 120u);
    EXPECT_NE(byOption, plain) << "the range changed the picture";
    EXPECT_EQ(byLine, byOption) << "the line draws what the option draws";
    EXPECT_EQ(overridden, byOption) << "the option wins over the line";
  }
  // A bad range is told in the same words by a document line and by the option of its name
  // (before, a line said "finite MIN below MAX" where the option said "too wide", and a line with
  // a formula after its range said the former whatever the range).
  const struct {
    const char* name;
    const char* range;
    const char* says;  // after the range's form
  } badRanges[] = {
      {"z", "1,0", "with finite MIN below MAX expected"},
      {"t", "0", "with finite MIN below MAX expected"},
      {"u", "0,inf", "with finite MIN below MAX expected"},
      {"u", "0,1e400", "with finite MIN below MAX expected"},
      {"theta", "a,b", "with finite MIN below MAX expected"},
      {"v", "-1e308,1e308", "with MAX - MIN finite expected: the range is too wide"},
      {"phi", "-1e308 : 1e308", "with MAX - MIN finite expected: the range is too wide"},
  };
  for (const auto& c : badRanges) {
    SCOPED_TRACE(std::string(c.name) + " " + c.range);
    std::ofstream(document) << "@view=3d\nequal[z,x]\n@" << c.name << "=" << c.range << "\n";
    std::remove(png.c_str());
    const Outcome line = RunRender("--output " + png + " " + document, renderers.software);
    EXPECT_EQ(line.status, 1) << line.output;
    EXPECT_NE(line.output.find(std::string(":3: bad range (\"@") + c.name + "=MIN,MAX\" " + c.says + ")\n"),
              std::string::npos)
        << line.output;
    EXPECT_FALSE(Written(png));
    std::ofstream(document) << "@view=3d\nequal[z,x]\n";
    const std::string given = std::string("--") + c.name + " '" + c.range + "'";
    const Outcome option = RunRender(given + " --output " + png + " " + document, renderers.software);
    EXPECT_EQ(option.status, 2) << option.output;
    EXPECT_NE(option.output.find(std::string("quorvalis-render: bad range (\"--") + c.name + " MIN,MAX\" " + c.says +
                                 ")\n"),
              std::string::npos)
        << option.output;
    EXPECT_FALSE(Written(png));
  }
  std::remove(document.c_str());
  std::remove(png.c_str());
}

// --x alone centres y on 0: y = sin x over x in -0.01..0.01 is the diagonal through the centre
// of the picture (before, y was centred on -1/64 and the curve was off the picture).
TEST(RangeOptionsTest, AnAxisWithoutARangeIsCentredOnZero) {
  const std::string document = Temp("qv_centre.txt"), png = Temp("qv_centre.png");
  std::ofstream(document) << "equal[y,sin[x]]\n";
  for (const char* options : {"--x -0.01,0.01", "--y -0.01,0.01"}) {
    std::remove(png.c_str());
    const Outcome run = RunRender(std::string(options) + " --size 200x200 --output " + png + " " + document);
    ASSERT_EQ(run.status, 0) << run.output;
    const std::vector<uint32_t> pixels = PngPixels(png);
    ASSERT_EQ(pixels.size(), 200u * 200u);
    EXPECT_GT(Ink(pixels, 200, 95, 95, 105, 105), 4) << options << ": the curve passes through the centre";
    EXPECT_GT(Ink(pixels, 200, 20, 160, 40, 180), 4) << options << ": and near the lower left corner";
  }
  std::remove(document.c_str());
  std::remove(png.c_str());
}

#ifdef QV_WINDOW_BINARY
// Options are read once, in order: --trace is the window program's own option only where it
// stands as one, a value that is an option is missing, and a missing value is an error (before,
// "--output --trace notes.txt" wrote the PNG over notes.txt and reported success).
TEST(RangeOptionsTest, OptionsAreReadOnceInOrderAndAMissingValueIsAnError) {
  const std::string notes = Temp("qv_notes.txt"), png = Temp("qv_trace.png");
  const std::string example = std::string(QV_SOURCE_DIR) + "/examples/first-graphs.txt";
  const struct {
    bool window;
    std::string arguments;
    int status;
  } cases[] = {
      {true, "--output --trace " + notes, 2},
      {true, example + " --output", 2},
      {true, example + " --x", 2},
      {true, example + " --size --antialias", 2},
      {true, "--output " + png + " --trace " + example, 0},
      {false, "--output --antialias " + example, 2},
      {false, "--trace --output " + png + " " + example, 2},
      {false, example + " --output " + png + " --z", 2},
  };
  for (const auto& c : cases) {
    std::ofstream(notes) << "my notes\n";
    std::remove(png.c_str());
    const Outcome run =
        c.window ? app_test::RunCommand("env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER " +
                                        std::string(QV_WINDOW_BINARY) + " " + c.arguments)
                 : RunRender(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments << ": " << run.output;
    std::ifstream read(notes);
    const std::string kept((std::istreambuf_iterator<char>(read)), std::istreambuf_iterator<char>());
    EXPECT_EQ(kept, "my notes\n") << c.arguments;
    EXPECT_EQ(Written(png), c.status == 0) << c.arguments;
  }
  std::remove(notes.c_str());
  std::remove(png.c_str());
}
#endif

}  // namespace
