// The document window without a display: space views' Graph menu, Edit keys, row messages, tall
// documents, the arrow after a drag (through real events: tests/shell/window_menus_pointer_test.cpp).
#include "document/window_commands.h"
#include "editor/edit_commands.h"
#include "editor/equation_keys.h"
#include "editor/formula_editor.h"
#include "graphs/view3d/graph_view_3d.h"
#include "graphs/view4d/graph_view_4d.h"
#include "kernel/diagnostics/message_tables.h"
#include "kernel/interaction/cursors.h"
#include "platform/clock.h"
#include "tests/document/document_test_support.h"

namespace {

constexpr int32_t kZoomIn = kCommandFirstViewCommand + kViewZoomIn, kZoomOut = kCommandFirstViewCommand + kViewZoomOut;

QDPoint Centre(const QDRect& r) { return QDPoint{int16_t((r.top + r.bottom) / 2), int16_t((r.left + r.right) / 2)}; }

class WindowViewTest : public document_test::DocumentTest {
 protected:
  void TearDown() override {
    document_test::CloseWindowForTest(window_, document_);
    DocumentTest::TearDown();
  }
  void Open(const std::string& text) {
    document_test::CloseWindowForTest(window_, document_);
    document_ = std::make_unique<DocumentRecord>(ComputeDocumentWindowLayout(500, 500).graphPane);
    ASSERT_TRUE(document_test::ReadDocumentText(text, document_.get()));
    window_ = std::make_unique<DocumentWindow>(document_.get(), nullptr);
    ASSERT_TRUE(window_->Open(500, 500));
    Compute();
  }
  void Compute() {
    for (int i = 0; i < 200 && !window_->GraphsComplete(); ++i) window_->IdleTick(30);
    window_->IdleTick(30);
  }
  // Opening the Graph menu updates its items.
  bool Enabled(int32_t command) {
    window_->HandleMouseDown(Centre(window_->Menus().TitleRect(2)), 0, 1);
    const MenuItem* item = window_->Menus().FindItem(command);
    window_->HandleKey(EditKeyEvent{kKeyEscape, kKeyEscape, 0});
    return item != nullptr && item->enabled;
  }
  std::unique_ptr<DocumentRecord> document_;
  std::unique_ptr<DocumentWindow> window_;
};

// A space view zooms all axes alike: the one-axis items (codes 1, 2, 4, 5) are off and refused;
// Zoom Out doubles the box and Zoom In halves it. A plane view keeps all items.
TEST_F(WindowViewTest, SpaceViewsOfferOnlyZoomInAndOutAndTheyDoWhatTheySay) {
  for (const auto& [text, space] : {std::pair{"@view=3d\nequal[z,times[x,y]]\n", true},
                                    std::pair{"@view=4d\nequal[w,power[z,2]]\n", true}, std::pair{"equal[y,x]\n", false}}) {
    SCOPED_TRACE(text);
    Open(text);
    for (const int32_t code : {1, 2, 4, 5}) {
      EXPECT_EQ(Enabled(kCommandFirstViewCommand + code), !space) << code;
      EXPECT_TRUE(!space || !window_->ChooseCommand(kCommandFirstViewCommand + code)) << code << " chosen";
    }
    EXPECT_TRUE(Enabled(kZoomIn) && Enabled(kZoomOut));
    if (!space) continue;
    const GraphViewSet& set = document_->viewSet;
    auto width = [&] {
      return set.primary == set.view4D ? set.view4D->axisRanges[1] - set.view4D->axisRanges[0]
                                       : set.first3D->settings.camera.box[1] - set.first3D->settings.camera.box[0];
    };
    const double w = width();
    EXPECT_TRUE(window_->ChooseCommand(kZoomOut));
    EXPECT_NEAR(width(), 2 * w, 1e-9 * w) << "Zoom Out widens";
    EXPECT_TRUE(window_->ChooseCommand(kZoomIn));
    EXPECT_NEAR(width(), w, 1e-9 * w) << "Zoom In narrows";
  }
}

// Control arrives as Command, Shift as either case; no Edit key is also a key-table row, and each
// is shown beside its item.
TEST_F(WindowViewTest, EditKeysNameTheirItemsAndShadowNoKeyTableRow) {
  const struct { uint8_t character, modifiers; int32_t command; } cases[] = {
      {'z', kKeyCommand, kCommandUndo}, {'Z', kKeyCommand | kKeyShift, kCommandRedo}, {'y', kKeyCommand, kCommandRedo},
      {'z', kKeyCommand | kKeyShift, kCommandRedo}, {'x', kKeyCommand, kCodeCut}, {'c', kKeyCommand, kCodeCopy},
      {'v', kKeyCommand, kCodePaste}, {'a', kKeyCommand, kCommandSelectAll}, {'Y', kKeyCommand | kKeyShift, 0},
      {'z', kKeyControl, 0} /* Control is Control with Alt */, {'z', kKeyOption, 0}, {'z', 0, 0}, {'q', kKeyCommand, 0}};
  for (const auto& c : cases) {
    const EditKeyEvent key{c.character, c.character, c.modifiers};
    EXPECT_EQ(EditMenuKeyCommand(key), c.command) << c.character << " " << int(c.modifiers);
    EXPECT_TRUE(c.command == 0 || KeyToEditCommand(key) == 0) << c.character << " is a key-table row too";
  }
  MenuBar bar;
  BuildWindowMenus(&bar);
  const std::pair<int32_t, const char*> shown[] = {{kCommandUndo, "Ctrl+Z"}, {kCommandRedo, "Ctrl+Shift+Z"},
      {kCodeCut, "Ctrl+X"}, {kCodeCopy, "Ctrl+C"}, {kCodePaste, "Ctrl+V"}, {kCommandSelectAll, "Ctrl+A"}};
  for (const auto& [command, keys] : shown) {
    ASSERT_NE(bar.FindItem(command), nullptr);
    EXPECT_STREQ(bar.FindItem(command)->keys, keys);
  }
}

// y = x + 100 is outside the default region: its row says so (as the headless program does) with
// room under it; zooms out bring it in and clear the message, zooms in bring it back, an edit clears it.
TEST_F(WindowViewTest, AGraphsStatusShowsUnderItsRowAndFollowsTheZoom) {
  const char* outside = GraphResultMessage(5);
  ASSERT_STREQ(outside, "Curve is outside the region shown");
  Open("equal[y,plus[x,100]]\nequal[y,x]\n");
  EXPECT_STREQ(window_->RowMessageText(0), outside);
  EXPECT_EQ(window_->RowMessageText(1), nullptr);
  int zooms = 0;
  for (; zooms < 6 && window_->RowMessageText(0) != nullptr; ++zooms, Compute())
    ASSERT_TRUE(window_->ChooseCommand(kZoomOut));
  EXPECT_EQ(window_->RowMessageText(0), nullptr) << "in view after " << zooms << " zooms out";
  for (int i = 0; i < zooms; ++i, Compute()) ASSERT_TRUE(window_->ChooseCommand(kZoomIn));
  EXPECT_STREQ(window_->RowMessageText(0), outside);
  EXPECT_GE(window_->RowEditor(1)->frame.top, window_->RowEditor(0)->frame.bottom + 16) << "no room for the message";
  window_->FocusRow(0);
  document_test::TypeKeys(window_.get(), "1");
  EXPECT_EQ(window_->RowMessageText(0), nullptr) << "the graphs went with the edit";
}

// 3,000 rows of about 30 pixels pass 16-bit coordinates: the new row stays in view after opening and
// typing; at each scroll the frames increase down the pane and a click finds the row under it.
TEST_F(WindowViewTest, ATallDocumentPlacesItsRowsPastSixteenBits) {
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "equal[y," + std::to_string(i % 10) + "]\n";
  Open(text);
  const QDRect pane = window_->RowsRect();
  auto inPane = [&](const PixelRect& f) { return f.top >= pane.top && f.bottom <= pane.bottom; };
  EXPECT_GT(window_->MathScroll(), 32767);
  for (const char* typed : {"", "y=2"}) {
    document_test::TypeKeys(window_.get(), typed);
    EXPECT_EQ(window_->ActiveRow(), 3000);
    EXPECT_TRUE(inPane(window_->RowEditor(3000)->frame)) << "after typing '" << typed << "'";
  }
  for (const int32_t scroll : {-window_->MathScroll(), 40000, 30000}) {
    window_->ScrollMathPane(scroll);
    int32_t shown = 0, last = -32768;
    for (int32_t i = 0; i <= 3001; ++i) {
      const PixelRect f = window_->RowEditor(i)->frame;
      EXPECT_GE(f.top, last) << "row " << i;
      last = f.top;
      shown += f.bottom > pane.top && f.top < pane.bottom;
      if (!inPane(f) || i >= 3000) continue;
      window_->HandleMouseDown(QDPoint{int16_t((f.top + f.bottom) / 2), int16_t(f.left + 2)}, 0, 1);
      EXPECT_EQ(window_->ActiveRow(), i) << "a click on row " << i;
    }
    EXPECT_GT(shown, 2) << "rows in the pane at scroll " << window_->MathScroll();
  }
}

// A probe drag shows the probe cursor (1128) while it tracks and the arrow after it; a cursor set
// behind the window's back is put right at the next move.
TEST_F(WindowViewTest, TheArrowComesBackAfterAProbeDrag) {
  LoadColorCursors();
  Open("equal[y,x]\n");
  FakeClock clock;
  ScriptedPointerSource pointer{&clock};
  SetPointerSource(&pointer);
  window_->AdjustCursor();
  ASSERT_TRUE(window_->ArrowShown());
  const GraphView2D* view = document_->viewSet.first2D;
  const QDPoint onLine{int16_t(WorldToPixelY(&view->windowMap, 0.0)), int16_t(WorldToPixelX(&view->windowMap, 0.0))};
  for (const PointerEventKind kind : {PointerEventKind::kMoved, PointerEventKind::kReleased})
    pointer.Push({1000, kind, QDPoint{int16_t(onLine.v - 5), int16_t(onLine.h + 5)}});
  pointer.cursorLog.clear();
  window_->HandleMouseDown(onLine, 0, 1);
  ASSERT_FALSE(pointer.cursorLog.empty());
  EXPECT_EQ(pointer.cursorLog.front(), 1128);
  EXPECT_EQ(pointer.cursorLog.back(), kThemeArrowCursor);
  EXPECT_TRUE(window_->ArrowShown());
  EXPECT_EQ(document_->cursorRegionsValid, 1);
  SetColorCursor355();
  EXPECT_FALSE(window_->ArrowShown());
  window_->HandleMouseMoved(Centre(window_->RowsRect()));
  EXPECT_EQ(pointer.cursorLog.back(), kThemeArrowCursor);
  ResetCursorsForTests();
}

}  // namespace
