// quorvalis-render on documents whose sums pass the work limit of one evaluation: every graph kind
// finishes in moments with a picture, and names the row with the message that it has too many
// terms to sum; nothing of a partial sum is drawn.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "tests/app/app_test_support.h"
#include "tests/document/nested_sum_lines.h"

namespace {

using app_test::Outcome;
using app_test::RendererEnvironments;
using app_test::RunRender;
using app_test::Temp;
using nested_sums::TrillionTerms;

// Each document's first graph row passes the limit at every point; a `timeout` ends a run that
// would not (status 124), so a regression fails rather than hangs. The 96-byte line is the first.
TEST(RenderSumsTest, EveryKindFinishesWithAPictureAndNamesTheRow) {
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  setenv("EGL_PLATFORM", "surfaceless", 1);
  const RendererEnvironments renderers("qv_sums_config");
  const std::string s = TrillionTerms("x");
  const std::string cases[] = {
      nested_sums::TrillionTermsLine(),
      nested_sums::TwentyNestedPairsLine(),
      "equal[x," + TrillionTerms("y") + "]",
      "leq[y," + s + "]",
      "equal[sin[y]," + s + "]",
      "@xytype=2 equal[z," + s + "]",
      "@xytype=3 equal[z," + s + "]",
      "equal[r," + TrillionTerms("theta") + "]",
      "equal[matrix[2,1,x,y],matrix[2,1," + TrillionTerms("t") + ",t]]",
      "equal[matrix[2,1,x,y],matrix[2,1," + s + ",1]]",
      "equal[matrix[2,1,x,y],matrix[2,1," + TrillionTerms("1") + ",0.5]]",
      "equal[function[optotal[x],y]," + s + "]",
      "equal[matrix[3,1,h,s,v],matrix[3,1," + s + ",0.35,1]]",
      "@view=3d\nequal[z," + s + "]",
      "@view=3d\nequal[plus[power[x,2],power[y,2],power[z,2]]," + s + "]",
      "@view=3d\nequal[matrix[3,1,x,y,z],matrix[3,1," + TrillionTerms("t") + ",t,0]]",
      "@view=3d\nequal[matrix[3,1,x,y,z],matrix[3,1," + s + ",x,0]]",
      "@view=4d\nequal[w," + TrillionTerms("z") + "]",
      "@view=4d\nequal[matrix[4,1,x,y,u,v],matrix[4,1," + TrillionTerms("t") + ",t,t,t]]",
  };
  EXPECT_EQ(cases[0].size() + 1, 96u);  // and its line end
  const std::string document = Temp("qv_sums.txt"), png = Temp("qv_sums.png");
  for (const std::string& text : cases) {
    std::remove(png.c_str());
    std::ofstream(document) << text << "\n";
    const auto start = std::chrono::steady_clock::now();
    const Outcome run = RunRender("--size 240x200 --output " + png + " " + document, renderers.gl + "timeout 300 ");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(run.status, 0) << text << "\n" << run.output;
    const std::string line = text.rfind("@view", 0) == 0 ? ":2" : ":1";
    EXPECT_NE(run.output.find(document + line + ": note: Too many terms to sum at some points"), std::string::npos)
        << text << "\n" << run.output;
    EXPECT_TRUE(std::ifstream(png).good()) << text;
    EXPECT_LT(seconds, 60.0) << text;  // a sanitized build; some seconds in release
  }
  std::remove(document.c_str());
  std::remove(png.c_str());
}

}  // namespace
