// quorvalis-render run as a process: a document with a bad line and an ungraphable one gets a
// message naming each line and its reason and exit status 1, and writes nothing; the example
// documents render to a PNG of the requested size, the space one in the 3D view through GL or the
// software rasteriser; bad options get the usage and status 2.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/draw/png_io.h"
#include "tests/app/app_test_support.h"

namespace {

using app_test::Outcome;
using app_test::PngPixels;
using app_test::RendererEnvironments;
using app_test::RunRender;
using app_test::Temp;

TEST(RenderProgramTest, BadLinesAreNamedWithTheirReasonAndNothingIsWritten) {
  const std::string document = Temp("qv_bad_lines.txt"), png = Temp("qv_bad_lines.png");
  std::remove(png.c_str());
  std::ofstream(document) << "equal[y,x]\n\n# a comment\nequal[y,power[x,2]\nequal[y,t]\n@xytype=9 x\n@xytype=3\n";
  const Outcome run = RunRender(document + " --output " + png);
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find(document + ":4: cannot read the formula"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find(document + ":5: Parameter 't' can only be used in parametric curves"), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find(document + ":6: bad row setting"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find(document + ":7: a row setting without a formula"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find(":1:"), std::string::npos) << run.output;
  EXPECT_FALSE(std::ifstream(png).good());
  std::remove(document.c_str());
}

// The region example holds one graph of each region kind (a raster and level lines by their
// xy type), all built and computed.
TEST(RenderProgramTest, TheExamplesRenderAndBadOptionsGetTheUsage) {
  const std::string png = Temp("qv_example.png");
  for (const char* example : {"first-graphs.txt", "region-graphs.txt"}) {
    const Outcome run = RunRender(std::string(QV_SOURCE_DIR) + "/examples/" + example +
                                  " --antialias --size 300x200 --output " + png);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find(example[0] == 'r' ? "5 graphs" : "3 graphs"), std::string::npos) << run.output;
    PngImage image{};
    ASSERT_TRUE(ReadPngFile(png.c_str(), &image));
    EXPECT_TRUE(image.width == 300 && image.height == 200);
    FreePngImage(&image);
    std::remove(png.c_str());
  }
  for (const char* bad : {"--size 5x5 x.txt", "--x 3,1 x.txt", "--frobnicate x.txt", "", "/no/such/file.txt"}) {
    const Outcome refused = RunRender(bad);
    EXPECT_EQ(refused.status, 2) << bad << ": " << refused.output;
  }
}

// The plane examples: a graph of each new plane kind with the mapped picture beside them, and the
// textured image; both 2D views are drawn, the second holding the first one's picture carried over
// (its half of the pane far from white), in plain and antialiased pictures.
TEST(RenderProgramTest, ThePlaneExamplesDrawBothViews) {
  const std::string png = Temp("qv_plane.png");
  for (const char* example : {"plane-kinds.txt", "plane-image.txt"}) {
    for (const char* antialias : {"", " --antialias"}) {
      const Outcome run = RunRender(std::string(QV_SOURCE_DIR) + "/examples/" + example + antialias +
                                    " --size 410x200 --output " + png);
      ASSERT_EQ(run.status, 0) << run.output;
      EXPECT_NE(run.output.find(example[6] == 'k' ? "5 graphs" : "2 graphs"), std::string::npos) << run.output;
      PngImage image{};
      ASSERT_TRUE(ReadPngFile(png.c_str(), &image));
      ASSERT_TRUE(image.width == 410 && image.height == 200);
      int64_t coloured = 0;
      for (int32_t v = 0; v < 200; ++v) {
        for (int32_t h = 210; h < 410; ++h) {
          const uint32_t p = image.pixels[v * 410 + h] & 0xFFFFFF;
          coloured += p != 0xFFFFFF && p != 0xCCFFFF;
        }
      }
      EXPECT_GT(coloured, 200 * 200 / 2) << example << antialias;
      FreePngImage(&image);
      std::remove(png.c_str());
    }
  }
}

// The same formulas typed as keys and written in bracket notation draw the same picture; keys
// the editor cannot use are named with the line and the key.
TEST(RenderProgramTest, TypedKeysDrawWhatTheBracketNotationDraws) {
  const std::string typed = Temp("qv_typed.txt"), written = Temp("qv_written.txt");
  std::ofstream(typed) << "@keys y=x^2{Right},x>0\n@keys y=1/(x-1\n@keys y=sin x\n"
                       << "@xytype=3 @keys z=x y\n@keys y=3{Backspace}2\xcf\x80x\ntype: y = 0.5x - 1.25\n";
  std::ofstream(written) << "comma[equal[y,power[x,2]],greaterthan[x,0]]\nequal[y,over[1,plus[x,minus[1]]]]\n"
                         << "equal[y,sin[x]]\n@xytype=3 equal[z,times[x,y]]\nequal[y,times[2,pi,x]]\n"
                         << "equal[y,plus[times[0.5,x],minus[1.25]]]\n";
  // Typed keys mean the same in every locale: "." the decimal point and "," the list's comma also
  // where the decimal separator is "," (German).
  for (const std::string locale : {"", "LC_ALL=de_DE.UTF-8 "}) {
    std::vector<uint32_t> pictures[2];
    for (int k = 0; k < 2; ++k) {
      const std::string png = Temp(k == 0 ? "qv_typed.png" : "qv_written.png");
      const Outcome run = RunRender((k == 0 ? typed : written) + " --size 160x120 --output " + png, locale);
      ASSERT_EQ(run.status, 0) << locale << run.output;
      PngImage image{};
      ASSERT_TRUE(ReadPngFile(png.c_str(), &image));
      pictures[k].assign(image.pixels, image.pixels + size_t(image.width) * size_t(image.height));
      FreePngImage(&image);
      std::remove(png.c_str());
    }
    EXPECT_TRUE(pictures[0] == pictures[1]) << locale;
  }
  std::ofstream(typed) << "@keys y=x}\n@keys y=\n@keys y=\xff\n@keys \n@keys {Ctrl-q}\ntype: y = x{Right}\n";
  for (const std::string locale : {"", "LC_ALL=de_DE.UTF-8 "}) {
    const Outcome bad = RunRender(typed + " --output " + Temp("qv_typed.png"), locale);
    EXPECT_EQ(bad.status, 1) << bad.output;
    const char* messages[] = {":1: cannot type the formula: key 4 (}) means nothing to the editor there",
                              ":2: cannot type the formula: the typed formula still has an empty place",
                              ":3: cannot type the formula: the keys are not valid UTF-8",
                              ":4: cannot type the formula: no keys after \"@keys\"",
                              ":5: cannot type the formula: key 1 ({Ctrl-q}) means nothing to the editor there",
                              ":6: cannot type the formula: key 6 ({Right}) does nothing where it is typed"};
    for (const char* message : messages) {
      EXPECT_NE(bad.output.find(typed + message), std::string::npos) << locale << message << " in\n" << bad.output;
    }
  }
  std::remove(typed.c_str());
  std::remove(written.c_str());
}

// A slider row defines its parameter and draws nothing: the document renders (status 0), and
// y = a x^2 with the slider at a position draws exactly the parabola of that value written out. A
// letter no row defines is worth 1 (the typing guide says so). A definition (a constant, a
// function) draws nothing either, and the rows use it, as they use a derivative worked out. The
// graph comes first, so that it has the first row's colour in both documents.
TEST(RenderProgramTest, ASliderRowSetsItsParameterAtItsPosition) {
  const struct {
    const char* document;
    const char* same;
  } cases[] = {
      {"type: y = a x^2\n@slider=100 equal[a,slider[id[comma[0,4]]]]\n", "equal[y,times[4,power[x,2]]]"},
      {"type: y = a x^2\n@slider=25 equal[a,slider[id[comma[0,4]]]]\n", "equal[y,power[x,2]]"},
      {"type: y = a x^2\nequal[a,slider[id[comma[0,4]]]]\n", "equal[y,times[0,power[x,2]]]"},
      {"type: y = a x^2\n@slider=3 equal[a,slider[id[comma[minus[3],5,4]]]]\n", "equal[y,times[3,power[x,2]]]"},
      {"type: y = b x^2\n", "equal[y,power[x,2]]"},
      {"type: y = c x\ntype: c = 3\n", "equal[y,times[3,x]]"},
      {"type: y = f{Ctrl-Alt-9}x\ntype: f{Ctrl-Alt-9}x{Right} = x^2{Right} - 2\n", "equal[y,plus[power[x,2],minus[2]]]"},
      {"type: y = {Ctrl-Alt-t}x^3\n", "equal[y,times[3,power[x,2]]]"},
  };
  for (const auto& c : cases) {
    const std::string documents[2] = {Temp("qv_slider.txt"), Temp("qv_slider_plain.txt")};
    std::ofstream(documents[0]) << c.document;
    std::ofstream(documents[1]) << c.same << "\n";
    std::vector<uint32_t> pictures[2];
    for (int k = 0; k < 2; ++k) {
      const std::string png = documents[k] + ".png";
      const Outcome run = RunRender(documents[k] + " --size 160x120 --output " + png);
      ASSERT_EQ(run.status, 0) << c.document << run.output;
      pictures[k] = PngPixels(png);
      ASSERT_FALSE(pictures[k].empty());
      std::remove(png.c_str());
      std::remove(documents[k].c_str());
    }
    EXPECT_TRUE(pictures[0] == pictures[1]) << c.document << "draws as " << c.same;
  }
}

// Random key lines (printable characters and named keys, seeded): each is typed or named as
// unusable, and the program ends with status 0 or 1, never by a crash or a sanitizer report.
TEST(RenderProgramTest, RandomKeysNeverCrashTheProgram) {
  const std::string document = Temp("qv_random_keys.txt"), png = Temp("qv_random_keys.png");
  const std::string named[] = {"{Right}", "{Left}", "{Up}", "{Down}", "{Tab}", "{Backspace}", "{Escape}",
                               "{Ctrl-d}", "{Ctrl-i}", "{Alt-x}", "{Shift-Tab}", "{Ctrl-Alt-Right}", "\xcf\x80"};
  std::mt19937 random(25);
  for (int run = 0; run < 8; ++run) {
    std::ofstream out(document);
    for (int line = 0; line < 6; ++line) {
      out << "@keys ";
      for (int k = std::uniform_int_distribution<int>(1, 16)(random); k > 0; --k) {
        const int pick = std::uniform_int_distribution<int>(0, 112)(random);
        if (pick < 95) {
          out << char(' ' + pick);
        } else {
          out << named[size_t(pick - 95) % std::size(named)];
        }
      }
      out << "\n";
    }
    out.close();
    const Outcome result = RunRender(document + " --size 64x64 --output " + png);
    EXPECT_TRUE(result.status == 0 || result.status == 1) << result.output;
    EXPECT_EQ(result.output.find("Sanitizer"), std::string::npos) << result.output;
  }
  std::remove(png.c_str());
  std::remove(document.c_str());
}

// A range wider or narrower than any scale of the view is refused with status 2 before anything
// is built or written; one just inside the scales is drawn.
TEST(RenderProgramTest, RangesTheViewCannotShowAreRefused) {
  const std::string document = Temp("qv_ranges.txt"), png = Temp("qv_ranges.png");
  std::ofstream(document) << "equal[y,x]\n";
  const struct { const char* range; int status; } cases[] = {
      {"--x -1e300,1e300", 2}, {"--x 0,1e-290", 2}, {"--y -1e300,1e300", 2}, {"--x -1e270,1e270 --y 0,1e-270", 0}};
  for (const auto& c : cases) {
    std::remove(png.c_str());
    const Outcome run = RunRender(document + " " + c.range + " --size 64x64 --output " + png);
    EXPECT_EQ(run.status, c.status) << c.range << ": " << run.output;
    EXPECT_EQ(std::ifstream(png).good(), c.status == 0) << c.range;
    if (c.status != 0) {
      EXPECT_NE(run.output.find("the view cannot show"), std::string::npos) << run.output;
    }
  }
  std::remove(png.c_str());
  std::remove(document.c_str());
}

// Ranges asked for are shown whole, centred, at one scale on both axes: a disc of radius 3 comes
// out round and an ellipse with half-axes 4 and 3 keeps its 4:3, each centred in the picture and
// inside it. Sizes by hand at 500x400: x -4..4 needs 32 pixels a unit (64 would show 7.8 units),
// which y then shares, so the disc is 6 * 32 = 192 pixels across; y -3..3 alone fits at 64, 384.
TEST(RenderProgramTest, RangesAskedForAreShownWholeAtOneScale) {
  const std::string disc = Temp("qv_disc.txt"), ellipse = Temp("qv_ellipse.txt"), png = Temp("qv_one_scale.png");
  std::ofstream(disc) << "leq[plus[power[x,2],power[y,2]],9]\n";
  std::ofstream(ellipse) << "leq[plus[times[9,power[x,2]],times[16,power[y,2]]],144]\n";
  const struct {
    const std::string* document;
    const char* ranges;
    int width, height;  // of the filled region, in pixels
  } cases[] = {{&disc, "--x -4,4 --y -3,3", 192, 192},
               {&ellipse, "--x -4,4 --y -3,3", 256, 192},
               {&disc, "--x -4,4", 192, 192},
               {&disc, "--y -3,3", 384, 384},
               {&ellipse, "--y -3,3 --x -4,4", 256, 192}};
  for (const auto& c : cases) {
    std::remove(png.c_str());
    const Outcome run = RunRender(*c.document + " " + c.ranges + " --size 500x400 --output " + png);
    ASSERT_EQ(run.status, 0) << c.ranges << ": " << run.output;
    PngImage image{};
    ASSERT_TRUE(ReadPngFile(png.c_str(), &image)) << c.ranges;
    int left = image.width, right = -1, top = image.height, bottom = -1;
    for (int v = 0; v < image.height; ++v) {
      for (int h = 0; h < image.width; ++h) {
        const uint32_t p = image.pixels[size_t(v) * size_t(image.width) + size_t(h)];
        const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
        if (std::max({r, g, b}) - std::min({r, g, b}) < 100) continue;  // the region's saturated fill only
        left = std::min(left, h), right = std::max(right, h), top = std::min(top, v), bottom = std::max(bottom, v);
      }
    }
    FreePngImage(&image);
    EXPECT_NEAR(right - left + 1, c.width, 3) << c.ranges;
    EXPECT_NEAR(bottom - top + 1, c.height, 3) << c.ranges;
    EXPECT_TRUE(left > 0 && top > 0 && right < 499 && bottom < 399) << c.ranges << ": the region is cut";
    EXPECT_NEAR(left + right, 499, 3) << c.ranges << ": centred across";
    EXPECT_NEAR(top + bottom, 399, 3) << c.ranges << ": centred down";
  }
  std::remove(png.c_str());
  std::remove(disc.c_str());
  std::remove(ellipse.c_str());
}

// The usage names every option once, and --help prints it with status 0.
TEST(RenderProgramTest, HelpListsEachOptionOnce) {
  const Outcome run = RunRender("--help");
  EXPECT_EQ(run.status, 0) << run.output;
  for (const char* option : {"--output", "--size", "--x", "--y", "--antialias"}) {
    size_t count = 0;
    for (size_t at = run.output.find(std::string("  ") + option + " "); at != std::string::npos;
         at = run.output.find(std::string("  ") + option + " ", at + 1)) {
      ++count;
    }
    EXPECT_EQ(count, 1u) << option << " in\n" << run.output;
  }
}

}  // namespace

namespace {

// Pixels of the PNG in the axes' green (GL fades lines with depth: green well above the others),
// and those neither white nor green.
struct Inked {
  int axis = 0, other = 0;
};
Inked CountInk(const std::string& png) {
  Inked ink;
  for (const uint32_t p : PngPixels(png)) {
    const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
    const bool green = g > 150 && g > r + 80 && g > b + 80;
    ink.axis += green;
    ink.other += !green && (r & g & b) != 0xFF;
  }
  return ink;
}

// The space example (a line @view=3d) draws its field and the axes in the 3D view through Mesa's
// GL offscreen, and through the software rasteriser when the preferences switch GL off or OpenGL
// is missing (which is said once); a bad view line is named; a space field in a plane document is built and said to be in the 3D view.
TEST(RenderProgramTest, ADocumentWithAView3DLineDrawsThe3DView) {
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  setenv("EGL_PLATFORM", "surfaceless", 1);
  const std::string example = std::string(QV_SOURCE_DIR) + "/examples/space-field.txt";
  const RendererEnvironments renderers("qv_config");
  const std::string& gl = renderers.gl;
  const std::string png = Temp("qv_space.png");
  // Without EGL's vendor library OpenGL is missing: the program says so, once, and draws in
  // software (switched off by the preferences, it is not missing: nothing is said).
  const std::string noOpenGL = "We recommend that you install OpenGL.";
  const struct {
    std::string environment;
    const char* drawnBy;
    bool missing;
  } cases[] = {{gl, "3D by OpenGL", false},
               {renderers.software, "3D by the software rasteriser", false},
               {gl + "__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent ", "3D by the software rasteriser", true}};
  for (const auto& c : cases) {
    std::remove(png.c_str());
    const Outcome run = RunRender("--size 240x200 --output " + png + " " + example, c.environment);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find(c.drawnBy), std::string::npos) << run.output;
    const size_t said = run.output.find("quorvalis-render: " + noOpenGL);
    EXPECT_EQ(said != std::string::npos, c.missing) << run.output;
    EXPECT_EQ(run.output.find(noOpenGL, run.output.find(noOpenGL) + 1), std::string::npos) << run.output;
    PngImage image{};
    ASSERT_TRUE(ReadPngFile(png.c_str(), &image));
    EXPECT_TRUE(image.width == 240 && image.height == 200);
    FreePngImage(&image);
    const Inked ink = CountInk(png);
    EXPECT_GT(ink.axis, 40) << c.drawnBy;    // the three axes and two arrowheads
    EXPECT_GT(ink.other, 1000) << c.drawnBy;  // a thousand arrows
  }

  const std::string document = Temp("qv_views.txt");
  std::ofstream(document) << "@view=5d\n@view = 3d\n@view=3d\nequal[matrix[3,1,x,y,z],matrix[3,1,y,x,z]]\n";
  Outcome run = RunRender(document + " --output " + png, gl);
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find(document + ":1: bad view setting"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find(":2:"), std::string::npos) << run.output;  // blanks around it are fine
  std::ofstream(document) << "equal[y,x]\nequal[matrix[3,1,x,y,z],matrix[3,1,y,x,z]]\n";
  run = RunRender(document + " --output " + png, gl);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find(document + ":2: note: its graph is in the 3D view"), std::string::npos) << run.output;
  std::remove(document.c_str());
  std::remove(png.c_str());
}

// The surfaces example draws its three rows in the 3D view, by GL and by the software rasteriser:
// the saddle in the first row colour (magenta), the torus in the second (red), the sphere in the
// third (blue), each over hundreds of pixels, with no note and no message.
TEST(RenderProgramTest, TheSurfacesExampleDrawsEachKindIn3D) {
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  setenv("EGL_PLATFORM", "surfaceless", 1);
  const std::string example = std::string(QV_SOURCE_DIR) + "/examples/surfaces.txt";
  const RendererEnvironments renderers("qv_surfaces_config");
  const std::string png = Temp("qv_surfaces.png");
  for (const std::string& environment : {renderers.gl, renderers.software}) {
    std::remove(png.c_str());
    const Outcome run = RunRender("--size 240x200 --output " + png + " " + example, environment);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("3 graphs, 3D by"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("note"), std::string::npos) << run.output;
    const std::vector<uint32_t> pixels = PngPixels(png);
    ASSERT_FALSE(pixels.empty());
    int magenta = 0, red = 0, blue = 0;
    for (const uint32_t p : pixels) {
      const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
      magenta += r > 60 && b > 60 && g < 40 && std::abs(r - b) < 60;
      red += r > 60 && g < 40 && b < 30;
      blue += b > 60 && r < 30 && g < 30;
    }
    EXPECT_GT(magenta, 500) << environment;
    EXPECT_GT(red, 500) << environment;
    EXPECT_GT(blue, 500) << environment;
  }
  std::remove(png.c_str());
}

// In 3D the ranges given are the box's x and y ranges: the box's own default (-2,2 on both, as the
// help says) draws the very picture drawn without them, and a box moved to x in 0..4 draws
// another (the field's arrows there all turn one way). The software rasteriser draws exactly.
TEST(RenderProgramTest, RangesGivenInADocumentIn3DAreTheBoxsRanges) {
  const std::string example = std::string(QV_SOURCE_DIR) + "/examples/space-field.txt";
  const RendererEnvironments renderers("qv_box_config");
  const std::string png = Temp("qv_box.png");
  std::vector<uint32_t> pictures[3];
  const char* ranges[3] = {"", "--x -2,2 --y -2,2", "--x 0,4"};
  for (int k = 0; k < 3; ++k) {
    std::remove(png.c_str());
    const std::string arguments = std::string(ranges[k]) + " --size 160x120 --output " + png + " " + example;
    const Outcome run = RunRender(arguments, renderers.software);
    ASSERT_EQ(run.status, 0) << ranges[k] << "\n" << run.output;
    pictures[k] = PngPixels(png);
    ASSERT_EQ(pictures[k].size(), 160u * 120u) << ranges[k];
  }
  EXPECT_EQ(pictures[1], pictures[0]) << "the default box given again";
  size_t changed = 0;
  for (size_t i = 0; i < pictures[0].size(); ++i) changed += pictures[2][i] != pictures[0][i];
  EXPECT_GT(changed, 300u) << "a box moved along x";
  std::remove(png.c_str());
}

}  // namespace
