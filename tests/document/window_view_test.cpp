// The document window's view of its document without a display: the Graph menu in space views
// (only Zoom In and Zoom Out, doing what they say), the Edit items' keys against the key table, a
// graph's status message under its row as zooms move the curve, the rows of a tall document placed
// in 32 bits, and the arrow back after a drag. (The same keys, menus and pointer through real
// window events: tests/shell/window_menus_pointer_test.cpp.)
#include <memory>
#include <string>
#include <vector>

#include "document/document_window.h"
#include "document/window_commands.h"
#include "editor/edit_commands.h"
#include "editor/equation_keys.h"
#include "editor/formula_editor.h"
#include "graphs/view3d/graph_view_3d.h"
#include "graphs/view4d/graph_view_4d.h"
#include "kernel/diagnostics/message_tables.h"
#include "kernel/interaction/cursors.h"
#include "platform/clock.h"
#include "platform/pointer_source.h"
#include "tests/document/document_test_support.h"
#include "tests/document/formula_text_support.h"

namespace {

constexpr int32_t kWidth = 500, kHeight = 500;
constexpr int32_t kZoomInHorizontally = kCommandFirstViewCommand + 1, kZoomInVertically = kCommandFirstViewCommand + 2,
                  kZoomOutHorizontally = kCommandFirstViewCommand + 4, kZoomOutVertically = kCommandFirstViewCommand + 5;

QDPoint Centre(const QDRect& r) { return QDPoint{int16_t((r.top + r.bottom) / 2), int16_t((r.left + r.right) / 2)}; }

class WindowViewTest : public document_test::DocumentTest {
 protected:
  void TearDown() override {
    document_test::CloseWindowForTest(window_, document_);
    DocumentTest::TearDown();
  }
  void Open(const std::string& text, int32_t width = kWidth, int32_t height = kHeight) {
    document_ = std::make_unique<DocumentRecord>(ComputeDocumentWindowLayout(width, height).graphPane);
    ASSERT_TRUE(document_test::ReadDocumentText(text, document_.get()));
    window_ = std::make_unique<DocumentWindow>(document_.get(), nullptr);
    ASSERT_TRUE(window_->Open(width, height));
    Compute();
  }
  void Compute() {
    for (int i = 0; i < 200 && !window_->GraphsComplete(); ++i) window_->IdleTick(30);
    window_->IdleTick(30);
  }
  bool Enabled(int32_t command) {
    window_->HandleMouseDown(Centre(window_->Menus().TitleRect(2)), 0, 1);  // updates the menus
    const MenuItem* item = window_->Menus().FindItem(command);
    window_->HandleKey(EditKeyEvent{kKeyEscape, kKeyEscape, 0});
    return item != nullptr && item->enabled;
  }
  std::unique_ptr<DocumentRecord> document_;
  std::unique_ptr<DocumentWindow> window_;
};

// In a 3D or 4D view every view code but 3 zooms in, so the four one-axis items are off there and
// refused when chosen; Zoom Out widens the box (2x) and Zoom In narrows it (0.5x), the view's
// final factors. A plane view keeps all six.
TEST_F(WindowViewTest, SpaceViewsOfferOnlyZoomInAndOutAndTheyDoWhatTheySay) {
  struct Case {
    const char* text;
    bool space;
  };
  const Case cases[] = {
      {"@view=3d\nequal[z,times[x,y]]\n", true},
      {"@view=4d\nequal[w,power[z,2]]\n", true},
      {"equal[y,x]\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Open(c.text);
    for (const int32_t axis : {kZoomInHorizontally, kZoomInVertically, kZoomOutHorizontally, kZoomOutVertically}) {
      EXPECT_EQ(Enabled(axis), !c.space) << axis;
      if (c.space) {
        EXPECT_FALSE(window_->ChooseCommand(axis)) << axis;
      }
    }
    EXPECT_TRUE(Enabled(kCommandFirstViewCommand + kViewZoomIn));
    EXPECT_TRUE(Enabled(kCommandFirstViewCommand + kViewZoomOut));
    if (c.space) {
      const GraphViewSet& set = document_->viewSet;
      const bool in4D = set.primary == set.view4D;
      auto width = [&] {
        return in4D ? set.view4D->axisRanges[1] - set.view4D->axisRanges[0]
                    : set.first3D->settings.camera.box[1] - set.first3D->settings.camera.box[0];
      };
      const double w = width();
      EXPECT_TRUE(window_->ChooseCommand(kCommandFirstViewCommand + kViewZoomOut));
      EXPECT_NEAR(width(), 2 * w, 1e-9 * w) << "Zoom Out widens";
      EXPECT_TRUE(window_->ChooseCommand(kCommandFirstViewCommand + kViewZoomIn));
      EXPECT_NEAR(width(), w, 1e-9 * w) << "Zoom In narrows";
    }
    document_test::CloseWindowForTest(window_, document_);
  }
}

// Each Edit key runs its item (Control arrives as Command; Shift as either case of the letter),
// and the key table has no row for any of them, so no edit key is shadowed by a menu key.
TEST_F(WindowViewTest, EditKeysNameTheirItemsAndShadowNoKeyTableRow) {
  struct Case {
    uint8_t character;
    uint8_t modifiers;
    int32_t command;
  };
  const Case cases[] = {
      {'z', kKeyCommand, kCommandUndo},
      {'Z', kKeyCommand | kKeyShift, kCommandRedo},
      {'z', kKeyCommand | kKeyShift, kCommandRedo},
      {'y', kKeyCommand, kCommandRedo},
      {'x', kKeyCommand, kCodeCut},
      {'c', kKeyCommand, kCodeCopy},
      {'v', kKeyCommand, kCodePaste},
      {'a', kKeyCommand, kCommandSelectAll},
      {'Y', kKeyCommand | kKeyShift, 0},  // no Shift form
      {'z', kKeyControl, 0},              // Control with Alt is the key table's Control
      {'z', kKeyOption, 0},
      {'z', 0, 0},
      {'q', kKeyCommand, 0},
  };
  for (const Case& c : cases) {
    const EditKeyEvent key{c.character, c.character, c.modifiers};
    EXPECT_EQ(EditMenuKeyCommand(key), c.command) << c.character << " " << int(c.modifiers);
    if (c.command != 0) {
      EXPECT_EQ(KeyToEditCommand(key), 0) << c.character << " is a key-table row too";
    }
  }
  // The keys are shown beside their items.
  MenuBar bar;
  BuildWindowMenus(&bar);
  const std::pair<int32_t, const char*> shown[] = {
      {kCommandUndo, "Ctrl+Z"}, {kCommandRedo, "Ctrl+Shift+Z"}, {kCodeCut, "Ctrl+X"},
      {kCodeCopy, "Ctrl+C"},    {kCodePaste, "Ctrl+V"},          {kCommandSelectAll, "Ctrl+A"},
  };
  for (const auto& [command, keys] : shown) {
    ASSERT_NE(bar.FindItem(command), nullptr);
    EXPECT_STREQ(bar.FindItem(command)->keys, keys);
  }
}

// The line y = x + 100 lies outside the default region: once computed its row says so, as the
// headless program does. Zooming out brings it into view and the message goes; zooming in again
// takes the curve out and brings it back; an edit clears it with the graphs.
TEST_F(WindowViewTest, AGraphsStatusShowsUnderItsRowAndFollowsTheZoom) {
  const char* outside = GraphResultMessage(5);
  ASSERT_STREQ(outside, "Curve is outside the region shown");
  Open("equal[y,plus[x,100]]\nequal[y,x]\n");
  EXPECT_STREQ(window_->RowMessageText(0), outside);
  EXPECT_EQ(window_->RowMessageText(1), nullptr);
  int zooms = 0;
  for (; zooms < 6 && window_->RowMessageText(0) != nullptr; ++zooms) {
    ASSERT_TRUE(window_->ChooseCommand(kCommandFirstViewCommand + kViewZoomOut));
    Compute();
  }
  EXPECT_EQ(window_->RowMessageText(0), nullptr) << "in view after " << zooms << " zooms out";
  for (int i = 0; i < zooms; ++i) {
    ASSERT_TRUE(window_->ChooseCommand(kCommandFirstViewCommand + kViewZoomIn));
    Compute();
  }
  EXPECT_STREQ(window_->RowMessageText(0), outside);
  const int32_t frameBottom = window_->RowEditor(0)->frame.bottom;
  EXPECT_GE(window_->RowEditor(1)->frame.top, frameBottom + 16) << "the message has its room under the row";
  window_->FocusRow(0);
  document_test::TypeKeys(window_.get(), "1");
  EXPECT_EQ(window_->RowMessageText(0), nullptr) << "the graphs went with the edit";
}

// 3,000 rows run past the 16-bit coordinates (about 30 pixels a row): the new row at the end is in
// view after opening and after typing, the rows' frames increase down the pane wherever it is
// scrolled, and a click finds the row under it.
TEST_F(WindowViewTest, ATallDocumentPlacesItsRowsPastSixteenBits) {
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "equal[y," + std::to_string(i % 10) + "]\n";
  Open(text);
  const QDRect pane = window_->RowsRect();
  auto activeInView = [&] {
    const PixelRect f = window_->RowEditor(window_->ActiveRow())->frame;
    return f.top >= pane.top && f.bottom <= pane.bottom;
  };
  EXPECT_EQ(window_->ActiveRow(), 3000);
  EXPECT_TRUE(activeInView()) << "after opening";
  EXPECT_GT(window_->MathScroll(), 32767);
  document_test::TypeKeys(window_.get(), "y=2");
  EXPECT_EQ(window_->ActiveRow(), 3000);
  EXPECT_TRUE(activeInView()) << "after typing";
  for (const int32_t scroll : {-window_->MathScroll(), 40000, 30000}) {
    window_->ScrollMathPane(scroll);
    int32_t shown = 0, last = -32768;
    for (int32_t i = 0; i <= 3001; ++i) {
      const PixelRect f = window_->RowEditor(i)->frame;
      EXPECT_GE(f.top, last) << "row " << i;
      last = f.top;
      if (f.bottom <= pane.top || f.top >= pane.bottom) continue;
      ++shown;
      const QDPoint inside{int16_t((f.top + f.bottom) / 2), int16_t(f.left + 2)};
      if (f.top >= pane.top && f.bottom <= pane.bottom && i < 3000) {
        window_->HandleMouseDown(inside, 0, 1);
        EXPECT_EQ(window_->ActiveRow(), i) << "a click on row " << i;
      }
    }
    EXPECT_GT(shown, 2) << "rows in the pane at scroll " << window_->MathScroll();
  }
}

// A probe drag sets the probe cursor while it tracks; its end, through the document's
// AdjustCursor, gives the arrow back, and a move over the rows finds the arrow shown.
TEST_F(WindowViewTest, TheArrowComesBackAfterAProbeDrag) {
  LoadColorCursors();
  Open("equal[y,x]\n");
  FakeClock clock;
  ScriptedPointerSource pointer(&clock);
  SetPointerSource(&pointer);
  window_->AdjustCursor();
  ASSERT_TRUE(window_->ArrowShown());
  const GraphView2D* view = document_->viewSet.first2D;
  const QDPoint onLine{int16_t(WorldToPixelY(&view->windowMap, 0.0)), int16_t(WorldToPixelX(&view->windowMap, 0.0))};
  pointer.Push({1000, PointerEventKind::kMoved, QDPoint{int16_t(onLine.v - 5), int16_t(onLine.h + 5)}});
  pointer.Push({1000, PointerEventKind::kReleased, QDPoint{int16_t(onLine.v - 5), int16_t(onLine.h + 5)}});
  pointer.cursorLog.clear();
  window_->HandleMouseDown(onLine, 0, 1);
  ASSERT_FALSE(pointer.cursorLog.empty());
  EXPECT_EQ(pointer.cursorLog.front(), 1128) << "the probe's cursor while it tracks";
  EXPECT_EQ(pointer.cursorLog.back(), kThemeArrowCursor) << "the arrow after it";
  EXPECT_TRUE(window_->ArrowShown());
  EXPECT_EQ(document_->cursorRegionsValid, 1);
  // A cursor set behind the window's back is put right at the next move.
  SetColorCursor355();
  EXPECT_FALSE(window_->ArrowShown());
  window_->HandleMouseMoved(Centre(window_->RowsRect()));
  EXPECT_EQ(pointer.cursorLog.back(), kThemeArrowCursor);
  ResetCursorsForTests();
}

}  // namespace
