// quorvalis-render run as a process: a document with a bad line and an ungraphable one gets a
// message naming each line and its reason and exit status 1, and writes nothing; the example
// document renders to a PNG of the requested size; bad options get the usage and status 2.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/draw/png_io.h"

namespace {

struct Outcome {
  int status;
  std::string output;  // standard output and error together
};

Outcome RunRender(const std::string& arguments) {
  const std::string command = std::string(QV_RENDER_BINARY) + " " + arguments + " 2>&1";
  Outcome run{-1, ""};
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) run.output += buffer;
  const int raw = pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

std::string Temp(const std::string& name) { return testing::TempDir() + name; }

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

// The same formulas typed as keys and written in bracket notation draw the same picture; keys
// the editor cannot use are named with the line and the key.
TEST(RenderProgramTest, TypedKeysDrawWhatTheBracketNotationDraws) {
  const std::string typed = Temp("qv_typed.txt"), written = Temp("qv_written.txt");
  std::ofstream(typed) << "@keys y=x^2{Right},x>0\n@keys y=1/(x-1\n@keys y=sin x\n"
                       << "@xytype=3 @keys z=x y\n@keys y=3{Backspace}2\xcf\x80x\n";
  std::ofstream(written) << "comma[equal[y,power[x,2]],greaterthan[x,0]]\nequal[y,over[1,plus[x,minus[1]]]]\n"
                         << "equal[y,sin[x]]\n@xytype=3 equal[z,times[x,y]]\nequal[y,times[2,pi,x]]\n";
  std::vector<uint32_t> pictures[2];
  for (int k = 0; k < 2; ++k) {
    const std::string png = Temp(k == 0 ? "qv_typed.png" : "qv_written.png");
    const Outcome run = RunRender((k == 0 ? typed : written) + " --size 160x120 --output " + png);
    ASSERT_EQ(run.status, 0) << run.output;
    PngImage image{};
    ASSERT_TRUE(ReadPngFile(png.c_str(), &image));
    pictures[k].assign(image.pixels, image.pixels + size_t(image.width) * size_t(image.height));
    FreePngImage(&image);
    std::remove(png.c_str());
  }
  EXPECT_TRUE(pictures[0] == pictures[1]);
  std::ofstream(typed) << "@keys y=x}\n@keys y=\n@keys y=\xff\n@keys \n@keys {Ctrl-q}\n";
  const Outcome bad = RunRender(typed + " --output " + Temp("qv_typed.png"));
  EXPECT_EQ(bad.status, 1) << bad.output;
  const char* messages[] = {":1: cannot type the formula: key 4 (}) means nothing to the editor there",
                            ":2: cannot type the formula: the typed formula still has an empty place",
                            ":3: cannot type the formula: the keys are not valid UTF-8",
                            ":4: cannot type the formula: no keys after \"@keys\"",
                            ":5: cannot type the formula: key 1 ({Ctrl-q}) means nothing to the editor there"};
  for (const char* message : messages) {
    EXPECT_NE(bad.output.find(typed + message), std::string::npos) << message << " in\n" << bad.output;
  }
  std::remove(typed.c_str());
  std::remove(written.c_str());
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
