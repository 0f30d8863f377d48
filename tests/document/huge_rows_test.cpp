// Rows far past what 16.16 coordinates hold (32,767 pixels across one line, or down one row) open,
// draw, take clicks, caret moves, a drag and a scroll in the window without a wrapped coordinate:
// the sanitizer build aborts on any signed overflow, so getting through is the verdict. Each row
// is checked to be huge indeed (its one-line layout reaches the range's edge) and to keep a sound
// tree and line table through every step. One table, one test a row, so ctest runs them side by
// side.
#include <algorithm>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "document/document_window.h"
#include "editor/formula_editor.h"
#include "editor/layout_boxes.h"
#include "editor/line_breaking.h"
#include "editor/typeset_state.h"
#include "kernel/trees/expr_node.h"
#include "platform/clock.h"
#include "platform/pointer_source.h"
#include "tests/document/document_test_support.h"

namespace {

constexpr int32_t kWidth = 500, kHeight = 500;
constexpr int32_t kPixelRange = 32767;  // the widest or tallest 16.16 extent, in pixels

// kind[head, item(1), ..., item(n)] (no head when it is empty).
std::string Row(const std::string& kind, int n, const std::function<std::string(int)>& item,
                const std::string& head = "") {
  std::string text = kind + "[" + head;
  for (int k = 1; k <= n; ++k) {
    if (k > 1 || !head.empty()) text += ',';
    text += item(k);
  }
  return text + "]";
}

// `depth` times open, then inner, then `depth` times close.
std::string Nested(int depth, const std::string& open, const std::string& inner, const std::string& close) {
  std::string text;
  for (int k = 0; k < depth; ++k) text += open;
  text += inner;
  for (int k = 0; k < depth; ++k) text += close;
  return text;
}

std::string Number(int k) { return std::to_string(k); }
std::string Equation(const std::string& right) { return "equal[y," + right + "]"; }

// One operand of every layout handler's family, each in its usual shapes.
std::vector<std::string> EveryKind() {
  return {"log[x,2]", "log[x]", "sqrt[x,3]", "integral[x,x,0,1]", "sum[x,equal[k,1],n]", "oint[x]", "choice[n,k]",
          "function[f,x]", "function[optotal[x,2],f]", "oppartial[x,y,z]", "abs[over[x,y]]", "floor[x]", "ceil[x]",
          "set[x]", "interval[a,b]", "inprod[a,b]", "acmut[a,b]", "lparen[over[x,y]]", "rparen[x]", "id[over[x,y]]",
          "substitution[x,equal[x,a],b]", "branch[if[x,lessthan[x,1]],if[y,geq[x,1]]]", "besselj[x,n]", "grad[x]",
          "grad[x,y]", "lap[x]", "div[x]", "curl[x]", "not[x]", "uequal[x]", "sn[6.02,23]", "string[\"text\"]",
          "string[\"a\"]", "string[\"\"]", "fact[x]", "prime[x]", "minus[x]", "pm[x]", "mp[x]", "indexes[1,1,T,i,j]",
          "power[sin[x],2]", "power[indexes[0,1,x,1],2]", "power[x,over[1,2]]", "atop[x,y]", "matrix[2,2,a,b,c,d]",
          "parallel[a,b]", "if[x,lessthan[x,y]]", "times[2,3]", "comma[a,b]", "dot[a,b]", "mod[comma[a,b]]", "ln[x]",
          "sgn[x]"};
}

// `cycles` times every kind: the terms of a sum, or the cells of a one-column matrix.
std::string EveryKindRow(int cycles, bool column) {
  const std::vector<std::string> kinds = EveryKind();
  const int n = cycles * static_cast<int>(kinds.size());
  return Row(column ? "matrix" : "plus", n, [&kinds](int k) { return kinds[(k - 1) % kinds.size()]; },
             column ? std::to_string(n) + ",1" : "");
}

struct HugeRow {
  const char* name;
  std::function<std::string()> text;
  int32_t windowWidth = kWidth;  // a fraction stack needs a wide pane to stay built up
};

void PrintTo(const HugeRow& row, std::ostream* out) { *out << row.name; }

const std::vector<HugeRow>& HugeRows() {
  static const std::vector<HugeRow> rows = {
      // The 56 KB row of 3,000 sines.
      {"SumOfSines",
       [] { return Equation(Row("plus", 2999, [](int k) { return "sin[times[x," + Number(k) + "]]"; }, "x")); }},
      {"ProductOfTenThousandFactors", [] { return Equation(Row("times", 10000, [](int) { return "x"; })); }},
      {"ListOfTenThousandNumbers", [] { return Row("list", 10000, Number); }},
      {"SumOfFractions",
       [] { return Row("plus", 4000, [](int k) { return "over[" + Number(k) + ",plus[x," + Number(k) + "]]"; }); }},
      {"FractionsDeep", [] { return Equation(Nested(1300, "over[", "x", ",y]")); }, 5000},
      {"PowersDeep", [] { return Nested(3000, "power[", "x", ",over[x,y]]"); }},
      {"ExponentsDeep", [] { return Nested(900, "power[x,", "x", "]"); }},
      {"RootsDeep", [] { return Equation(Nested(3000, "sqrt[", "x", "]")); }},
      {"BracketsRoundATallMatrix", [] { return Nested(20, "abs[id[", Row("matrix", 1400, Number, "1400,1"), "]]"); }},
      {"SumsDeepWithLimits", [] { return Nested(2000, "sum[", "k", ",equal[k,1],n]"); }},
      {"MatrixOfOneRow", [] { return Row("matrix", 10000, Number, "1,10000"); }},
      {"MatrixOfOneColumn", [] { return Row("matrix", 10000, Number, "10000,1"); }},
      // Every handler drawn past the range's right end; then in columns past its bottom, which
      // the pane breaks into lines that start further down still.
      {"EveryKindAcross", [] { return EveryKindRow(25, false); }},
      {"EveryKindDown", [] { return Row("plus", 8, [](int) { return EveryKindRow(18, true); }); }},
      {"PiecewiseOfFiveThousandBranches",
       [] { return Row("branch", 5000, [](int k) { return "if[" + Number(k) + ",lessthan[x," + Number(k) + "]]"; }); }},
  };
  return rows;
}

class HugeRowsTest : public document_test::DocumentTest, public testing::WithParamInterface<HugeRow> {
 protected:
  void TearDown() override {
    document_test::CloseWindowForTest(window_, document_);
    DocumentTest::TearDown();
  }
  FormulaEditor* Editor() const { return window_->RowEditor(0); }
  // The row's editor current again (the window leaves the last one drawn current), its tree and
  // line table sound.
  void ExpectSound(const char* step) {
    FormulaEditor* e = Editor();
    SetCurrentFormulaEditor(e, document_.get());
    const char* why = "";
    EXPECT_TRUE(CheckExpressionTree(e->root)) << "after " << step;
    EXPECT_TRUE(!e->layoutValid || CheckLineTable(&why)) << "after " << step << ": " << why;
  }
  void Key(uint8_t character, uint8_t modifiers = 0) {
    window_->HandleKey(EditKeyEvent{character, character, modifiers});
  }
  // A click at a fraction of the row's frame across and of its part the pane shows down.
  void Click(double across, double down, uint32_t modifiers = 0) {
    const PixelRect f = Editor()->frame;
    const QDRect rows = window_->RowsRect();
    const int32_t top = std::max<int32_t>(f.top, rows.top), bottom = std::min<int32_t>(f.bottom, rows.bottom - 1);
    const QDPoint point{int16_t(top + (bottom - top) * down), int16_t(f.left + (f.right - f.left) * across)};
    window_->HandleMouseDown(point, modifiers, 1);
  }
  document_test::NullSurface surface_;
  std::unique_ptr<DocumentRecord> document_;
  std::unique_ptr<DocumentWindow> window_;
};

TEST_P(HugeRowsTest, LaysOutDrawsAndTakesClicksAndCaretMovesWithoutOverflow) {
  const int32_t width = GetParam().windowWidth;
  document_ = std::make_unique<DocumentRecord>(ComputeDocumentWindowLayout(width, kHeight).graphPane);
  ASSERT_TRUE(document_test::ReadDocumentText(GetParam().text() + "\n", document_.get()));
  window_ = std::make_unique<DocumentWindow>(document_.get(), &surface_);
  ASSERT_TRUE(window_->Open(width, kHeight));
  const TypesetBox& root = *Editor()->root->box;
  EXPECT_TRUE(FixedToPixels(root.width) >= kPixelRange || FixedToPixels(BoxHeight(root)) >= kPixelRange)
      << "not huge: " << FixedToPixels(root.width) << " x " << FixedToPixels(BoxHeight(root));
  ExpectSound("opening");
  window_->RedrawAll();
  // Clicks across the row and a shift-click that extends; caret moves that widen the selection
  // and walk the leaves; a drag along the first display line.
  for (double at : {0.0, 0.4, 0.99}) Click(at, at);
  Click(0.6, 0.3, kKeyShift);
  ExpectSound("the clicks");
  for (uint8_t key : {kKeyUpArrow, kKeyUpArrow, kKeyRightArrow, kKeyLeftArrow, kKeyDownArrow}) Key(key);
  Key(kKeyRightArrow, kKeyShift);
  ExpectSound("the caret moves");
  FakeClock clock;
  ScriptedPointerSource pointer(&clock);
  SetPointerSource(&pointer);
  const PixelRect f = Editor()->frame;
  const int16_t v = int16_t(std::max<int32_t>(f.top, window_->RowsRect().top) + 10);
  for (int k = 1; k <= 4; ++k)
    pointer.Push({1000, PointerEventKind::kMoved, QDPoint{v, int16_t(f.left + (f.right - f.left) * k / 4)}});
  pointer.Push({1000, PointerEventKind::kReleased, QDPoint{v, int16_t(f.right - 1)}});
  Click(0.01, 0.02);
  SetPointerSource(nullptr);
  // The far end: scrolled down to the last display line, clicked there, and drawn.
  window_->ScrollMathPane(kPixelRange);
  Click(0.5, 0.98);
  Key(kKeyRightArrow);
  window_->RedrawAll();
  ExpectSound("the scroll");
}

INSTANTIATE_TEST_SUITE_P(Table, HugeRowsTest, testing::ValuesIn(HugeRows()),
                         [](const testing::TestParamInfo<HugeRow>& info) { return std::string(info.param.name); });

}  // namespace
