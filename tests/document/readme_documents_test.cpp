// The README's example documents, read and graphed as quorvalis opens them: the circle document
// (its `@t` line gives t the whole turn) draws a curve through all four of the circle's axis
// points, which the same rows without the line (t over 0..1) do not reach.
#include <cmath>
#include <fstream>
#include <string>

#include "document/document_ranges.h"
#include "graphs/view2d/graph_view_2d.h"
#include "tests/document/document_test_support.h"

namespace {

constexpr const char* kCircleMarker = "<!-- circle document: drawn by tests/document/readme_documents_test.cpp -->";

// The fenced block after the marker line; empty when the README has none.
std::string BlockAfter(const char* marker) {
  std::ifstream readme(std::string(QV_SOURCE_DIR) + "/README.md");
  std::string line, block;
  bool marked = false, inside = false;
  while (std::getline(readme, line)) {
    if (!marked) {
      marked = line == marker;
      continue;
    }
    if (line.rfind("```", 0) == 0) {
      if (inside) return block;
      inside = true;
      continue;
    }
    if (inside) block += line + "\n";
  }
  return "";
}

class ReadmeDocumentsTest : public document_test::DocumentTest {};

// Golden points: (cos t, sin t) at t = 0, π/2, π, 3π/2. Over t in 0..1 the curve keeps x >= cos 1
// (about 0.54), so (-1, 0) and (0, -1) are off it.
TEST_F(ReadmeDocumentsTest, TheCircleDocumentDrawsTheWholeCircle) {
  const std::string circle = BlockAfter(kCircleMarker);
  ASSERT_NE(circle.find("@t=0,6.2832\n"), std::string::npos) << "no circle document after the marker";
  const struct {
    std::string text;
    bool whole;
  } cases[] = {
      {circle, true},
      {circle.substr(circle.find('\n') + 1), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    DocumentRecord document(MakeRect(0, 0, 400, 400));
    ASSERT_TRUE(document_test::ReadDocumentText(c.text, &document));
    std::string refusal;
    ASSERT_TRUE(ShowAskedRanges(document.askedRanges, document.shownView, &document.viewSet, &refusal)) << refusal;
    SetCurrentDocument(&document);
    ASSERT_EQ(BuildDocumentRowGraphs(&document), 0);
    for (int i = 0; i < 1000 && !ViewSetAllViewsReady(&document.viewSet); ++i) ViewSetIdleTick(&document.viewSet, 1 << 20);
    GraphView2D* view = document.viewSet.first2D;
    ASSERT_EQ(view->graphs.count, 1);
    auto* curve = static_cast<GraphKind2D*>(view->graphs.data[0]);
    EXPECT_TRUE(curve->HitTest(1, 0));
    EXPECT_EQ(curve->HitTest(0, 1), c.whole);
    EXPECT_EQ(curve->HitTest(-1, 0), c.whole);
    EXPECT_EQ(curve->HitTest(0, -1), c.whole);
    SetCurrentDocument(nullptr);
  }
}

}  // namespace
