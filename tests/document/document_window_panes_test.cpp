// The document window's panes without a display: Return builds and moves the caret to the new row,
// Up and Down cross rows at a formula's edges, Backspace deletes an empty row, the math pane
// scrolls to keep the caret's row in view, the divider drags within bounds (the drag flag set
// while it is tracked), a resize lays out again, and no drag of a 2D graph writes a pixel outside
// the graph pane.
#include <algorithm>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "document/document_window.h"
#include "editor/formula_editor.h"
#include "editor/typeset_state.h"
#include "kernel/memory/memory_budget.h"
#include "platform/draw/draw_memory.h"
#include "kernel/text/bracket_writer.h"
#include "platform/clock.h"
#include "platform/pointer_source.h"
#include "tests/document/document_test_support.h"

namespace {

constexpr int32_t kWidth = 500, kHeight = 500;

using document_test::NullSurface;

// A scripted pointer that notes the document's divider-drag flag at every wait.
class FlagWatchingPointer final : public ScriptedPointerSource {
 public:
  FlagWatchingPointer(FakeClock* clock, const DocumentRecord* document)
      : ScriptedPointerSource(clock), document_(document) {}
  PointerEvent WaitPointerEvent(double timeoutSeconds) override {
    flags.push_back(document_->paneDividerDrag);
    return ScriptedPointerSource::WaitPointerEvent(timeoutSeconds);
  }
  std::vector<int> flags;

 private:
  const DocumentRecord* document_;
};

class DocumentWindowPanesTest : public document_test::DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    Open("");
  }
  void TearDown() override {
    document_test::CloseWindowForTest(window_, document_);
    DocumentTest::TearDown();
  }
  // A window over a document of the text (document file lines; empty: an empty document).
  void Open(const std::string& text) {
    window_.reset();
    document_ = std::make_unique<DocumentRecord>(ComputeDocumentWindowLayout(kWidth, kHeight).graphPane);
    if (!text.empty()) {
      ASSERT_TRUE(document_test::ReadDocumentText(text, document_.get()));
    }
    window_ = std::make_unique<DocumentWindow>(document_.get(), &surface_);
    ASSERT_TRUE(window_->Open(kWidth, kHeight));
  }
  void Type(const std::string& text) { document_test::TypeKeys(window_.get(), text); }
  void Compute() {
    for (int i = 0; i < 200 && !window_->GraphsComplete(); ++i) window_->IdleTick(30);
    window_->IdleTick(30);
  }
  // The rows in bracket notation, "?" for an empty row; the new row last.
  std::string Rows() const {
    std::string all;
    for (int32_t i = 0; i <= document_->rows.count; ++i) {
      const FormulaEditor* e = window_->RowEditor(i);
      char* text = FormatExpressionBracket(e->root);
      all += (i > 0 ? " | " : "") + std::string(e->root->kind == KindPrompt ? "?" : text ? text : "!");
      FreeMemory(text);
    }
    // Typed numbers keep their text (num[2,"2"]): written here as the number alone.
    return std::regex_replace(all, std::regex(R"re(num\[([0-9.]+),"[0-9.]+"\])re"), "$1");
  }
  NullSurface surface_;
  std::unique_ptr<DocumentRecord> document_;
  std::unique_ptr<DocumentWindow> window_;
};

// Golden rows: hand-written from the keys. Return moves to the new row, Up at the top of a formula
// and Down at its bottom cross to the neighbouring row (the caret at its end), Backspace in an
// empty row deletes it (the caret to the end of the row above) but never the new row.
TEST_F(DocumentWindowPanesTest, KeysMoveBetweenRowsAndDeleteEmptyOnes) {
  const struct {
    const char* keys;
    const char* rows;
    int32_t activeRow;
  } cases[] = {
      {"y=x{Return}y=2{Return}", "equal[y,x] | equal[y,2] | ?", 2},
      {"y=x{Return}{Up}+1", "equal[y,plus[x,1]] | ?", 0},
      {"y=x{Return}y=2{Return}{Up}{Up}{Up}{Up}+1", "equal[y,plus[x,1]] | equal[y,2] | ?", 0},
      {"y=x{Return}{Up}{Down}z=1", "equal[y,x] | equal[z,1] | ?", 1},
      {"y=x{Return}{Down}{Down}{Up}{Down}", "equal[y,x] | ?", 1},
      {"y=x{Return}y{Backspace}{Backspace}", "equal[y,x] | ?", 0},
      {"y=x{Return}y{Backspace}{Backspace}+1", "equal[y,plus[x,1]] | ?", 0},
      {"y{Backspace}{Backspace}{Backspace}", "?", 0},
      {"{Backspace}y=x{Return}{Backspace}", "equal[y,x] | ?", 1},
      {"y=x{Return}y=1{Return}z=2{Return}{Up}{Up}{Up}{Up}{Up}{Up}{Backspace}{Backspace}",
       "equal[y,x] | equal[z,2] | ?", 0},
      {"y=x{Return}y{Backspace}{Return}z=1", "equal[y,x] | equal[z,1] | ?", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys);
    Open("");
    Type(c.keys);
    EXPECT_EQ(Rows(), c.rows);
    EXPECT_EQ(window_->ActiveRow(), c.activeRow);
    EXPECT_TRUE(window_->RowEditor(window_->ActiveRow())->active);
    const std::string rows = Rows();
    EXPECT_EQ(document_->rows.count, static_cast<int32_t>(std::count(rows.begin(), rows.end(), '|')));
  }
}

// A row the user left empty shows "no equation" once Return has built; the new row never does,
// and deleting the empty row keeps the other rows' graphs.
TEST_F(DocumentWindowPanesTest, OnlyARowLeftEmptyGetsTheNoEquationMessageAndGoesAlone) {
  Type("y=x{Return}y=1{Return}y=2{Return}{Up}{Up}{Up}{Up}{Up}{Up}{Backspace}");
  ASSERT_EQ(Rows(), "equal[y,x] | ? | equal[y,2] | ?");
  EXPECT_EQ(document_->rows.data[1].resultMessage, 0) << "not before Return";
  Type("{Return}");
  Compute();
  EXPECT_EQ(window_->ActiveRow(), 3) << "the new row";
  EXPECT_EQ(document_->rows.data[0].resultMessage, 0);
  EXPECT_NE(document_->rows.data[1].resultMessage, 0) << "left empty and built";
  ASSERT_TRUE(document_->graphsBuilt);
  const int32_t graphs = document_->viewSet.first2D->graphs.count;
  EXPECT_EQ(graphs, 2);
  Type("{Up}{Up}{Up}{Up}");
  ASSERT_EQ(window_->ActiveRow(), 1);
  Type("{Backspace}");
  EXPECT_EQ(Rows(), "equal[y,x] | equal[y,2] | ?");
  EXPECT_EQ(window_->ActiveRow(), 0);
  EXPECT_TRUE(document_->graphsBuilt) << "the other rows' graphs stay";
  EXPECT_EQ(document_->viewSet.first2D->graphs.count, graphs);
}

// Typing row after row keeps the caret's row whole inside the math pane; the wheel scrolls within
// the rows (never above the first, never past the last), and a click below the rows lands in the
// new row.
TEST_F(DocumentWindowPanesTest, TheMathPaneScrollsToTheCaretsRowAndWithTheWheel) {
  const QDRect pane = window_->Layout().mathPane;
  for (int i = 1; i <= 8; ++i) {
    Type("y=" + std::to_string(i) + "{Return}");
    const FormulaEditor* e = window_->RowEditor(window_->ActiveRow());
    EXPECT_GE(e->frame.top, pane.top) << i;
    EXPECT_LE(e->frame.bottom, pane.bottom) << i;
  }
  ASSERT_EQ(window_->ActiveRow(), 8);
  const int32_t bottom = window_->MathScroll();
  EXPECT_GT(bottom, 0) << "eight rows do not fit";
  window_->HandleWheel(QDPoint{int16_t(pane.top + 20), 50}, 0, 1);  // away from the user: up
  EXPECT_EQ(window_->MathScroll(), std::max(0, bottom - 40));
  for (int k = 0; k < 50; ++k) window_->HandleWheel(QDPoint{int16_t(pane.top + 20), 50}, 0, 1);
  EXPECT_EQ(window_->MathScroll(), 0);
  EXPECT_EQ(window_->RowEditor(0)->frame.top, pane.top + 10);
  for (int k = 0; k < 50; ++k) window_->HandleWheel(QDPoint{int16_t(pane.top + 20), 50}, 0, -1);
  EXPECT_EQ(window_->MathScroll(), bottom) << "the last row's bottom at the pane's";
  window_->HandleMouseDown(QDPoint{int16_t(pane.bottom - 2), 200}, 0, 1);
  EXPECT_EQ(window_->ActiveRow(), 8);
  // Clicking the first visible row's middle activates it; Up from the top of row 0 stays.
  for (int k = 0; k < 50; ++k) window_->HandleWheel(QDPoint{int16_t(pane.top + 20), 50}, 0, 1);
  const FormulaEditor* first = window_->RowEditor(0);
  window_->HandleMouseDown(QDPoint{int16_t((first->frame.top + first->frame.bottom) / 2), 30}, 0, 1);
  EXPECT_EQ(window_->ActiveRow(), 0);
  // The wheel over the graph pane leaves the rows alone.
  window_->HandleWheel(QDPoint{int16_t(window_->Layout().graphPane.top + 50), 50}, 0, -1);
  EXPECT_EQ(window_->MathScroll(), 0);
}

// Golden layouts, hand-computed: the divider keeps both panes at least 20 pixels tall (the math
// pane starts below the 20-pixel menu bar, a third of the 480 pixels below it).
TEST_F(DocumentWindowPanesTest, PlacePaneDividerKeepsBothPanes) {
  const DocumentWindowLayout base = ComputeDocumentWindowLayout(500, 500);
  ASSERT_EQ(base.mathPane.top, 20);
  ASSERT_EQ(base.mathPane.bottom, 180);
  const struct {
    int32_t asked, mathBottom;
  } cases[] = {{300, 300}, {0, 40}, {-5000, 40}, {476, 476}, {477, 476}, {9000, 476}, {40, 40}};
  for (const auto& c : cases) {
    const DocumentWindowLayout placed = PlacePaneDivider(base, c.asked);
    EXPECT_EQ(placed.mathPane.bottom, c.mathBottom) << c.asked;
    EXPECT_EQ(placed.graphPane.top, c.mathBottom + 4) << c.asked;
    EXPECT_EQ(placed.graphPane.bottom, 500);
    EXPECT_EQ(placed.mathPane.top, 20) << "below the menu bar";
  }
  const DocumentWindowLayout tiny = ComputeDocumentWindowLayout(100, 40);
  const DocumentWindowLayout kept = PlacePaneDivider(tiny, 10);
  EXPECT_TRUE(EqualRect(kept.mathPane, tiny.mathPane) && EqualRect(kept.graphPane, tiny.graphPane));
}

// A drag of the divider moves it with the pointer (the grip kept), sets the drag flag exactly
// while it is tracked, gives the views the new graph pane, and survives a resize.
TEST_F(DocumentWindowPanesTest, TheDividerDragsAndTheWindowResizes) {
  Type("y=x{Return}");
  Compute();
  FakeClock clock;
  FlagWatchingPointer pointer(&clock, document_.get());
  SetPointerSource(&pointer);
  const int32_t divider = window_->Layout().mathPane.bottom;
  const int16_t grab = int16_t(divider + 1);
  for (int k = 1; k <= 4; ++k) pointer.Push({1000, PointerEventKind::kMoved, QDPoint{int16_t(grab + 25 * k), 100}});
  pointer.Push({1000, PointerEventKind::kReleased, QDPoint{int16_t(grab + 100), 100}});
  EXPECT_EQ(document_->paneDividerDrag, 0);
  window_->HandleMouseDown(QDPoint{grab, 100}, 0, 1);
  EXPECT_EQ(window_->Layout().mathPane.bottom, divider + 100);
  EXPECT_EQ(window_->Layout().graphPane.top, divider + 104);
  EXPECT_TRUE(EqualRect(document_->viewSet.first2D->rect, window_->Layout().graphPane));
  ASSERT_FALSE(pointer.flags.empty());
  for (int flag : pointer.flags) EXPECT_EQ(flag, 1);
  EXPECT_EQ(document_->paneDividerDrag, 0);
  Compute();
  EXPECT_TRUE(window_->GraphsComplete());

  ASSERT_TRUE(window_->Resize(600, 700));
  EXPECT_EQ(window_->Layout().mathPane.bottom, divider + 100) << "the dragged divider stays";
  EXPECT_EQ(window_->Layout().graphPane.bottom, 700);
  EXPECT_EQ(window_->Layout().graphPane.right, 600);
  EXPECT_EQ(window_->Buffer()->bounds.right, 600);
  EXPECT_TRUE(EqualRect(document_->viewSet.first2D->rect, window_->Layout().graphPane));
  ASSERT_TRUE(window_->Resize(300, 200));
  EXPECT_EQ(window_->Layout().mathPane.bottom, 200 - 4 - kMinPaneHeight) << "held to the smaller window";
}

// A resize refused for want of memory keeps the window as it was.
TEST_F(DocumentWindowPanesTest, ARefusedResizeKeepsTheWindow) {
  const QDRect before = window_->Buffer()->bounds;
  static const DrawAllocator refusing{[](size_t) -> void* { return nullptr; }, [](void*) {}};
  const DrawAllocator* saved = CurrentDrawAllocator();
  SetDrawAllocator(&refusing);
  EXPECT_FALSE(window_->Resize(900, 900));
  SetDrawAllocator(saved);
  EXPECT_TRUE(EqualRect(window_->Buffer()->bounds, before));
  EXPECT_EQ(window_->Layout().graphPane.bottom, before.bottom);
}

// Each plane kind computed, then its view dragged up by 100 pixels: no pixel above the graph pane
// changes (arrows, curves and fills stop at the pane's top).
TEST_F(DocumentWindowPanesTest, DraggingEachPlaneKindLeavesTheMathPaneAlone) {
  const char* documents[] = {
      "equal[y,sin[x]]\n",
      "leq[plus[power[x,2],power[y,2]],4]\n",
      "equal[matrix[2,1,x,y],matrix[2,1,minus[y],x]]\n",
      "@xytype=2 equal[z,times[x,y]]\n",
      "@xytype=3 equal[z,plus[power[x,2],power[y,2]]]\n",
      "equal[matrix[2,1,x,y],matrix[2,1,times[1.5,cos[times[3,t]]],times[1.5,sin[times[2,t]]]]]\n",
      "equal[r,sqrt[cos[times[2,theta]]]]\n",
      "equal[matrix[2,1,x,y],matrix[2,1,1,0.5]]\n",
      "equal[function[optotal[x],y],plus[sin[x],minus[times[0.5,y]]]]\n",
      "equal[matrix[3,1,h,s,v],matrix[3,1,plus[x,y],0.35,1]]\n",
      "@map=picture matrix[2,1,plus[x,times[0.25,y]],plus[y,minus[times[0.25,x]]]]\nequal[y,x]\n",
  };
  for (const char* text : documents) {
    SCOPED_TRACE(text);
    Open(text);
    Compute();
    const Port* buffer = window_->Buffer();
    const int32_t top = window_->Layout().graphPane.top, stride = buffer->rowBytes / 4;
    const std::vector<uint32_t> before(buffer->pixels, buffer->pixels + top * stride);
    FakeClock clock;
    ScriptedPointerSource pointer(&clock);
    SetPointerSource(&pointer);
    const QDPoint start{int16_t(top + 150), 137};
    for (int k = 1; k <= 5; ++k)
      pointer.Push({1000, PointerEventKind::kMoved, QDPoint{int16_t(start.v - 20 * k), start.h}});
    pointer.Push({1000, PointerEventKind::kReleased, QDPoint{int16_t(start.v - 100), start.h}});
    window_->HandleMouseDown(start, kKeyCommand, 1);  // Command pans whatever lies under it
    Compute();
    SetPointerSource(nullptr);
    // The caret blinks meanwhile: changes in its one column are its bar.
    std::set<int32_t> columns;
    int changed = 0;
    for (int32_t i = 0; i < top * stride; ++i) {
      if (buffer->pixels[i] == before[static_cast<size_t>(i)]) continue;
      ++changed;
      columns.insert(i % stride);
    }
    EXPECT_LE(columns.size(), 1u) << changed << " pixels changed";
    EXPECT_LE(changed, 40);
  }
}

}  // namespace
