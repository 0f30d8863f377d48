// The rows prepared before their graphs are built: a document that uses definitions, derivatives,
// vector operators and substitutions draws the pixels of the same document written out by hand,
// whether its preparation runs at one go or is cut up at every turn of the compute worker; bad
// definitions end with their row's message, never a hang or a crash; an edit abandons a
// preparation under way and Return builds once it has ended.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "algebra/algebra_seams.h"
#include "document/document_window.h"
#include "graphs/core/compute_worker.h"
#include "graphs/view3d/graph_view_3d.h"
#include "graphs/viewset/graph_view_set.h"
#include "tests/document/document_test_support.h"

namespace {

constexpr int32_t kWidth = 180, kHeight = 240;

class EquationPreparationTest : public document_test::DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    InstallAlgebraSeams();
  }
  void TearDown() override {
    SetComputeTurnsForTests(false);
    document_test::CloseWindowForTest(window_, document_);
    DocumentTest::TearDown();
  }
  // Opens the document in a window, the worker cutting every job at each of its turns or off.
  void Open(const std::string& text, bool cut) {
    window_.reset();
    document_ = std::make_unique<DocumentRecord>(ComputeDocumentWindowLayout(kWidth, kHeight).graphPane);
    ASSERT_TRUE(document_test::ReadDocumentText(text + "\n", document_.get()));
    window_ = std::make_unique<DocumentWindow>(document_.get(), &surface_);
    SetComputeTurnsForTests(cut);
    ASSERT_TRUE(window_->Open(kWidth, kHeight));
    if (!cut) UseComputeWorker(false);
    if (document_->viewSet.first3D != nullptr) document_->viewSet.first3D->spinSpeed = 0;
  }
  void Complete() {
    for (int tick = 0; tick < 2'000'000 && !window_->GraphsComplete(); ++tick) window_->IdleTick(1);
    ASSERT_TRUE(window_->GraphsComplete());
  }
  // The graph pane's pixels once complete; every row drew or is a definition, with no message.
  std::vector<uint32_t> Pixels(const std::string& text, bool cut) {
    Open(text, cut);
    Complete();
    for (int32_t i = 0; i < document_->rows.count; ++i) {
      EXPECT_EQ(window_->RowMessageText(i), nullptr) << text << " row " << i;
      EXPECT_TRUE(document_->rows.data[i].graphRow >= 0 || IsDefinitionRow(document_.get(), i)) << text << " row " << i;
    }
    return document_test::GraphPanePixels(window_.get());
  }
  // Where the document's graphs stand: the pixels that differ from those of a document of the same
  // view without graphs (the rows' colours follow their places, which the written-out forms change).
  std::vector<bool> Drawn(const std::string& text, bool cut) {
    const std::string view = text.rfind("@view=3d\n", 0) == 0 ? "@view=3d\n" : "";
    const std::vector<uint32_t> empty = Pixels(view + "equal[c,1]", false), pixels = Pixels(text, cut);
    std::vector<bool> drawn(pixels.size());
    for (size_t i = 0; i < pixels.size() && i < empty.size(); ++i) drawn[i] = pixels[i] != empty[i];
    return drawn;
  }
  document_test::NullSurface surface_;
  std::unique_ptr<DocumentRecord> document_;
  std::unique_ptr<DocumentWindow> window_;
};

// The item `count` times, separated by commas.
std::string Repeated(const std::string& item, int count) {
  std::string items = item;
  for (int i = 1; i < count; ++i) items += "," + item;
  return items;
}

// Each document beside its written-out form; the forms are worked out by hand.
TEST_F(EquationPreparationTest, EachDocumentDrawsWhatItsWrittenOutFormDraws) {
  const struct {
    const char* what;
    std::string prepared, written;
  } cases[] = {
      {"a named constant", "equal[c,3]\nequal[y,times[c,x]]", "equal[y,times[3,x]]"},
      {"a function", "equal[function[f,x],plus[power[x,2],minus[2]]]\nequal[y,function[f,x]]",
       "equal[y,plus[power[x,2],minus[2]]]"},
      {"a derivative", "equal[y,function[optotal[x],power[x,3]]]", "equal[y,times[3,power[x,2]]]"},
      {"a function of two variables in a region",
       "equal[function[g,comma[x,y]],plus[power[x,2],power[y,2]]]\nlessthan[function[g,comma[y,x]],1]",
       "lessthan[plus[power[y,2],power[x,2]],1]"},
      {"a vector sum", "@t=0,6.2832\nequal[matrix[2,1,x,y],plus[matrix[2,1,cos[t],sin[t]],matrix[2,1,0.5,0]]]",
       "@t=0,6.2832\nequal[matrix[2,1,x,y],matrix[2,1,plus[cos[t],0.5],plus[sin[t],0]]]"},
      {"a gradient field in 3D", "@view=3d\nequal[matrix[3,1,x,y,z],grad[plus[power[x,2],times[y,z]]]]",
       "@view=3d\nequal[matrix[3,1,x,y,z],matrix[3,1,times[2,x],z,y]]"},
      {"a substitution", "equal[y,substitution[power[t,2],equal[t,plus[x,1]]]]", "equal[y,power[plus[x,1],2]]"},
      {"a chain of definitions", "equal[a,2]\nequal[b,plus[a,1]]\nequal[y,times[b,x]]", "equal[y,times[3,x]]"},
      {"a definition in a condition", "equal[a,0.5]\ncomma[equal[y,power[x,2]],greaterthan[x,a]]",
       "comma[equal[y,power[x,2]],greaterthan[x,0.5]]"},
      {"a recursion that ends", "equal[function[h,0],1]\nequal[function[h,n],times[n,function[h,plus[n,minus[1]]]]]\n"
       "equal[y,times[function[h,3],x]]", "equal[y,times[6,x]]"},
      {"a function used three hundred times",
       "equal[function[f,x],times[x,0.01]]\nequal[y,plus[" + Repeated("function[f,x]", 300) + "]]",
       "equal[y,plus[" + Repeated("times[0.01,x]", 300) + "]]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<bool> written = Drawn(c.written, false);
    EXPECT_NE(std::count(written.begin(), written.end(), true), 0);
    EXPECT_TRUE(Drawn(c.prepared, false) == written);
    EXPECT_TRUE(Drawn(c.prepared, true) == written) << "cut at every turn";
  }
}

// The row that uses a bad definition says why; the definitions draw nothing and say nothing, and a
// row that uses none of them is drawn.
TEST_F(EquationPreparationTest, BadDefinitionsEndWithTheirRowsMessage) {
  std::string nested = "x";
  for (int i = 0; i < 40; ++i) nested = "function[f," + nested + "]";
  const struct {
    const char* what;
    std::string text;
    int32_t message;  // of the last row but one
  } cases[] = {
      {"a = a + 1", "equal[a,plus[a,1]]\nequal[y,times[a,x]]", kMessageRefersToItself},
      {"a = b, b = a", "equal[a,b]\nequal[b,a]\nequal[y,times[a,x]]", kMessageRefersToItself},
      {"f(x) = f(x) + f(x)", "equal[function[f,x],plus[function[f,x],function[f,x]]]\nequal[y,function[f,x]]",
       kMessageRefersToItself},
      {"one argument short", "equal[function[f,comma[x,y]],times[x,y]]\nequal[y,function[f,x]]",
       kMessageWrongArgumentCount},
      {"one argument over", "equal[function[f,x],power[x,2]]\nequal[y,function[f,comma[x,2]]]",
       kMessageWrongArgumentCount},
      {"none: f(x) typed as a product", "equal[function[f,x],power[x,2]]\nequal[y,times[f,id[x]]]",
       kMessageWrongArgumentCount},
      {"over, in a definition used", "equal[function[f,x],power[x,2]]\nequal[g,function[f,1,2]]\nequal[y,times[g,x]]",
       kMessageWrongArgumentCount},
      {"a rewrite that doubles forty times", "equal[function[f,x],plus[x,power[x,2]]]\nequal[y," + nested + "]",
       kMessageGrowsTooLarge},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DocumentRecord document;
    ASSERT_TRUE(document_test::ReadDocumentText(c.text + "\nequal[y,x]\n", &document));
    SetCurrentDocument(&document);
    EXPECT_EQ(BuildDocumentRowGraphs(&document), 1);
    const int32_t last = document.rows.count - 1;
    for (int32_t i = 0; i < last - 1; ++i) {
      EXPECT_TRUE(IsDefinitionRow(&document, i)) << i;
      EXPECT_EQ(document.rows.data[i].resultMessage, 0) << i;
    }
    EXPECT_EQ(document.rows.data[last - 1].resultMessage, c.message);
    EXPECT_GE(document.rows.data[last].graphRow, 0);
    SetCurrentDocument(nullptr);
  }
}

// A preparation cut at every turn lies suspended in the idle ticks after Open; a caret key leaves
// it so, a typed letter abandons it, Return starts it again and the graphs are built once it has
// ended.
TEST_F(EquationPreparationTest, AnEditAbandonsThePreparationAndReturnBuildsOnceItEnds) {
  Open("equal[function[f,x],plus[x,1]]\nequal[y,function[f,function[f,x]]]", true);
  window_->IdleTick(1);
  window_->HandleKey(EditKeyEvent{kKeyLeftArrow, kKeyLeftArrow, 0});
  EXPECT_TRUE(document_->preparation.UnderWay());
  EXPECT_TRUE(ComputeSuspended());
  EXPECT_FALSE(window_->GraphsComplete());
  const uint64_t abandoned = ComputesAbandoned();
  window_->HandleKey(EditKeyEvent{'a', 'a', 0});
  EXPECT_EQ(ComputesAbandoned(), abandoned + 1);
  EXPECT_TRUE(window_->GraphsComplete()) << "the edit dropped the build";
  window_->HandleKey(EditKeyEvent{kKeyBackspace, kKeyBackspace, 0});
  window_->HandleKey(EditKeyEvent{kKeyReturn, kKeyReturn, 0});
  EXPECT_FALSE(window_->GraphsComplete());
  Complete();
  EXPECT_FALSE(document_->preparation.UnderWay());
  EXPECT_GE(document_->rows.data[1].graphRow, 0);
}

// Typed primes are the primed coordinates: the row is recognised in them and built in the second
// view of its kind (typed as prime nodes, it was no form at all).
TEST_F(EquationPreparationTest, TypedPrimesBuildInTheSecondView) {
  const struct {
    std::string text;
    bool space;
  } cases[] = {
      {"@map=picture matrix[2,1,x,y]\ntype: x'^2{Right} + y'^2{Right} = 1", false},
      {"type: y' = x'^2", false},
      {"@view=3d\ntype: z' = x'^2{Right} + y'^2", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    DocumentRecord document;
    ASSERT_TRUE(document_test::ReadDocumentText(c.text + "\n", &document));
    SetCurrentDocument(&document);
    EXPECT_EQ(BuildDocumentRowGraphs(&document), 0);
    const int32_t graphRow = document.rows.data[0].graphRow;
    ASSERT_GE(graphRow, 0);
    const GraphView* view = ViewSetView(&document.viewSet, document.viewSet.graphTable.data[graphRow].pair[0].view);
    EXPECT_EQ(view, c.space ? static_cast<const GraphView*>(document.viewSet.second3D) : document.viewSet.second2D);
    SetCurrentDocument(nullptr);
  }
}

}  // namespace
