// quorvalis-render on documents whose sums pass the work limit of one evaluation: every graph kind
// finishes in moments with a picture and names the row as having too many terms to sum.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "tests/app/app_test_support.h"
#include "tests/document/nested_sum_lines.h"

namespace {

using namespace app_test;
using namespace nested_sums;

// Each document's first graph row passes the limit at every point ("%v": the sums over v). A
// `timeout` ends a run that would not finish (status 124), so a regression fails, not hangs.
TEST(RenderSumsTest, EveryKindFinishesWithAPictureAndNamesTheRow) {
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  setenv("EGL_PLATFORM", "surfaceless", 1);
  const RendererEnvironments renderers("qv_sums_config");
  std::string cases[] = {
      TrillionTermsLine(), NestedPairsPastTheLimitLine(), "equal[x,%y]", "leq[y,%x]", "equal[sin[y],%x]",
      "@xytype=2 equal[z,%x]", "@xytype=3 equal[z,%x]", "equal[r,%theta]", "equal[matrix[2,1,x,y],matrix[2,1,%t,t]]",
      "equal[matrix[2,1,x,y],matrix[2,1,%x,1]]", "equal[matrix[2,1,x,y],matrix[2,1,%1,0.5]]",
      "equal[function[optotal[x],y],%x]", "equal[matrix[3,1,h,s,v],matrix[3,1,%x,0.35,1]]", "@view=3d\nequal[z,%x]",
      "@view=3d\nequal[plus[power[x,2],power[y,2],power[z,2]],%x]",
      "@view=3d\nequal[matrix[3,1,x,y,z],matrix[3,1,%t,t,0]]", "@view=3d\nequal[matrix[3,1,x,y,z],matrix[3,1,%x,x,0]]",
      "@view=4d\nequal[w,%z]", "@view=4d\nequal[matrix[4,1,x,y,u,v],matrix[4,1,%t,t,t,t]]"};
  EXPECT_EQ(cases[0].size() + 1, 96u);  // the 96-byte document, with its line end
  const std::string document = Temp("qv_sums.txt"), png = Temp("qv_sums.png");
  for (std::string& text : cases) {
    if (const size_t at = text.find('%'); at != std::string::npos) {
      const size_t end = text.find_first_of(",]", at);
      text.replace(at, end - at, TrillionTerms(text.substr(at + 1, end - at - 1)));
    }
    std::remove(png.c_str());
    std::ofstream(document) << text << "\n";
    const auto start = std::chrono::steady_clock::now();
    const Outcome run = RunRender("--size 240x200 --output " + png + " " + document, renderers.gl + "timeout 300 ");
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(run.status, 0) << text << "\n" << run.output;
    const std::string line = text.rfind("@view", 0) == 0 ? ":2" : ":1";
    EXPECT_NE(run.output.find(document + line + ": note: Too many terms to sum at some points"), std::string::npos)
        << text << "\n" << run.output;
    EXPECT_TRUE(std::ifstream(png).good()) << text;
    EXPECT_LT(seconds.count(), 60.0) << text;  // a sanitized build; some seconds in release
  }
  std::remove(document.c_str());
  std::remove(png.c_str());
}

}  // namespace
