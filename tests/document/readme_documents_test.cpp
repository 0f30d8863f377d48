// The README's circle document, read and graphed as quorvalis opens it: its `@t` line gives t the
// whole turn, so the curve reaches all four axis points, which the rows alone (t over 0..1) do not.
#include <fstream>
#include <iterator>
#include <string>

#include "document/document_ranges.h"
#include "graphs/view2d/graph_view_2d.h"
#include "tests/document/document_test_support.h"

namespace {

// The fenced block after the circle's marker line; empty when the README has none.
std::string CircleDocument() {
  std::ifstream file(std::string(QV_SOURCE_DIR) + "/README.md");
  const std::string readme((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const size_t marker = readme.find("<!-- circle document: drawn by tests/document/readme_documents_test.cpp -->\n```\n");
  if (marker == std::string::npos) return "";
  const size_t from = readme.find("```\n", marker) + 4, to = readme.find("\n```", from);
  return to == std::string::npos ? "" : readme.substr(from, to + 1 - from);
}

class ReadmeDocumentsTest : public document_test::DocumentTest {};

// Golden points (cos t, sin t) at t = 0, π/2, π, 3π/2; over 0..1 the curve keeps x >= cos 1.
TEST_F(ReadmeDocumentsTest, TheCircleDocumentDrawsTheWholeCircle) {
  const std::string circle = CircleDocument();
  ASSERT_EQ(circle.rfind("@t=0,6.2832\n", 0), 0u) << "no circle document after the marker";
  for (const auto& [text, whole] : {std::pair{circle, true}, std::pair{circle.substr(circle.find('\n') + 1), false}}) {
    SCOPED_TRACE(text);
    DocumentRecord document(MakeRect(0, 0, 400, 400));
    ASSERT_TRUE(document_test::ReadDocumentText(text, &document));
    std::string refusal;
    ASSERT_TRUE(ShowAskedRanges(document.askedRanges, document.shownView, &document.viewSet, &refusal)) << refusal;
    SetCurrentDocument(&document);
    ASSERT_EQ(BuildDocumentRowGraphs(&document), 0);
    for (int i = 0; i < 1000 && !ViewSetAllViewsReady(&document.viewSet); ++i) ViewSetIdleTick(&document.viewSet, 1 << 20);
    ASSERT_EQ(document.viewSet.first2D->graphs.count, 1);
    auto* curve = static_cast<GraphKind2D*>(document.viewSet.first2D->graphs.data[0]);
    EXPECT_TRUE(curve->HitTest(1, 0));
    for (const auto& [x, y] : {std::pair{0, 1}, std::pair{-1, 0}, std::pair{0, -1}})
      EXPECT_EQ(curve->HitTest(x, y), whole) << x << "," << y;
    SetCurrentDocument(nullptr);
  }
}

}  // namespace
