// Test support for typesetting: fake metrics worked by hand (each character size/2 px wide,
// ascent 3·size/4, descent size/4), a port recording each primitive call with its pen position
// and text state, a compact tree dump, and a fixture that starts from fresh typesetting state
// and proves no node block or counted byte outlives a test.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "editor/font_metrics.h"
#include "editor/formula_editor.h"
#include "editor/layout_driver.h"
#include "editor/typeset_primitives.h"
#include "editor/typeset_state.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/text/formula_reader.h"
#include "kernel/text/number_settings.h"
#include "kernel/trees/expr_node.h"

namespace typeset_test {

struct FakeMetrics final : FontMetrics {
  int32_t CharAdvance(int16_t, int16_t size, int16_t, uint8_t) const override { return size / 2; }
  void AscentDescent(int16_t, int16_t size, int16_t, int32_t* ascent, int32_t* descent) const override {
    *ascent = 3 * size / 4;
    *descent = size / 4;
  }
};

// op: 'M' move to, 'm' move, 'L' line to, 'l' line (h, v: the arguments), 'P' pen size, 'X' pen
// mode (h 1 for XOR), 'S' and 'R' pen saved and restored, 'C' a character c drawn at the pen
// (h, v) with its text state, 'F' a rounded fill of `fill` (left, top, right, bottom), `plain`
// without a colour.
struct Call {
  char op;
  int32_t h, v;
  uint8_t c = 0;
  TypesetTextState text{};
  double fill[4] = {};
  bool plain = false;
};

struct RecordingPort final : TypesetPort {
  void MoveTo(int32_t h, int32_t v) override { Pen('M', h, v, h, v); }
  void Move(int32_t dh, int32_t dv) override { Pen('m', dh, dv, h_ + dh, v_ + dv); }
  void LineTo(int32_t h, int32_t v) override { Pen('L', h, v, h, v); }
  void Line(int32_t dh, int32_t dv) override { Pen('l', dh, dv, h_ + dh, v_ + dv); }
  void PenSize(int32_t n) override { calls.push_back(Call{'P', n, n}); }
  void PenMode(TypesetPenMode mode) override { calls.push_back(Call{'X', mode == TypesetPenMode::kXor, 0}); }
  void SavePen() override { calls.push_back(Call{'S', h_, v_}); }
  void RestorePen() override { calls.push_back(Call{'R', h_, v_}); }
  void FillRoundedRect(double left, double top, double right, double bottom, double, const TypesetColour* colour) override {
    Call call{'F', 0, 0};
    call.fill[0] = left, call.fill[1] = top, call.fill[2] = right, call.fill[3] = bottom;
    call.plain = colour == nullptr;
    calls.push_back(call);
  }
  void ForeColorBlack() override {}
  void DrawChar(uint8_t c, const TypesetTextState& text) override {
    calls.push_back(Call{'C', h_, v_, c, text});
    const FontMetrics* m = TypesetGlobals().fontMetrics;
    h_ += (m ? *m : PlatformFontMetrics()).CharAdvance(text.font, text.size, text.face, c);
  }
  // Characters drawn with code c, in drawing order.
  std::vector<Call> Drawn(uint8_t c) const {
    std::vector<Call> out;
    for (const Call& call : calls)
      if (call.op == 'C' && call.c == c) out.push_back(call);
    return out;
  }
  std::string Chars() const {
    std::string s;
    for (const Call& c : calls) s += c.op == 'C' ? std::string(1, char(c.c)) : "";
    return s;
  }
  void Pen(char op, int32_t a, int32_t b, int32_t h, int32_t v) {
    calls.push_back(Call{op, a, b});
    h_ = h;
    v_ = v;
  }
  std::vector<Call> calls;
  int32_t h_ = 0, v_ = 0;
};

// kind(child, ...) by keyword; a char as its code's low byte, a num as its text, a string 'quoted'.
inline std::string Dump(const ExprNode* n) {
  if (n->kind == KindChar || n->kind == KindDummy) return std::string(1, char(n->value.symbol));
  if (n->kind == KindNum) return n->value.number->text;
  if (n->kind == KindString) return "'" + std::string(n->text ? n->text : "") + "'";
  std::string s = NodeKindName(n->kind);
  for (int i = 0; i < n->arity; ++i) s += (i ? "," : "(") + Dump(n->children[i]);
  return n->arity ? s + ")" : s;
}

inline ExprNode* Parse(const std::string& text) {
  SetFormulaReaderText(text.c_str());
  return ParseFormulaText();
}

constexpr Fixed Px(int32_t pixels) { return pixels * kFixedOne; }

// The box of a descendant: path holds child indexes from n down.
inline TypesetBox& BoxAt(const ExprNode* n, std::initializer_list<int> path) {
  for (int i : path) n = n->children[i];
  return *n->box;
}

// A character's width in a slot at a size in points, with the metrics in force.
inline Fixed WidthOf(int32_t slot, int32_t points, int32_t c) {
  SetTypesetFont(slot);
  SetTypesetSize(points << 16);
  return TypesetCharWidth(c);
}

class TypesetTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetMemoryBudgetForTest();
    ResetErrorRegister();
    SetDecimalSeparator('.');
    SetDisplayDigits(8);
    ResetTypesetGlobalsForTest();
    TypesetGlobals().fontMetrics = &fake_;
    TypesetGlobals().port = &port_;
    InitTypesetting();
    ReleaseNodePools();
    blocks_ = NodePoolBlocksInUse();
    bytes_ = GetBytesInUse();
  }
  void TearDown() override {
    for (FormulaEditor* e : editors_) DisposeFormulaEditor(e);
    ResetTypesetGlobalsForTest();  // frees the formula clipboard
    ReleaseNodePools();
    EXPECT_EQ(NodePoolBlocksInUse(), blocks_) << "node blocks leaked";
    EXPECT_EQ(GetBytesInUse(), bytes_) << "counted bytes leaked";
  }
  // The current editor of the parsed formula, laid out with the width limit unless that is 0.
  FormulaEditor* Edit(const std::string& text, Fixed widthLimit = kDefaultWidthLimit) {
    FormulaEditor* e = NewFormulaEditor();
    editors_.push_back(e);
    ExprNode* tree = Parse(text);
    EXPECT_NE(tree, nullptr) << text;
    if (tree) {
      FreeExpression(e->root);
      e->root = e->caretNode = tree;
    }
    SetCurrentFormulaEditor(e, nullptr);
    if (widthLimit == 0) return e;
    e->widthLimit = widthLimit;
    LayoutFormula();
    return e;
  }
  void Drop(FormulaEditor* e) {  // the last editor made
    DisposeFormulaEditor(e);
    editors_.pop_back();
  }

  FakeMetrics fake_;
  RecordingPort port_;
  std::vector<FormulaEditor*> editors_;
  size_t blocks_ = 0, bytes_ = 0;
};

}  // namespace typeset_test
