// Test support for typesetting: fake font metrics whose every value can be worked by hand (each
// character size/2 px wide, ascent 3·size/4, descent size/4), a port that records each primitive
// call with its text state and pen position, a compact tree dump, and a fixture that starts from
// fresh typesetting state and proves no node block or counted byte outlives a test.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "editor/font_metrics.h"
#include "editor/formula_editor.h"
#include "editor/layout_driver.h"
#include "editor/typeset_port.h"
#include "editor/typeset_state.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/text/formula_reader.h"
#include "kernel/text/number_settings.h"
#include "kernel/trees/expr_node.h"

namespace typeset_test {

class FakeMetrics final : public FontMetrics {
 public:
  int32_t CharAdvance(int16_t, int16_t size, int16_t, uint8_t) const override { return size / 2; }
  void AscentDescent(int16_t, int16_t size, int16_t, int32_t* ascent, int32_t* descent) const override {
    *ascent = 3 * size / 4;
    *descent = size / 4;
  }
};

// One primitive call: 'M' move to, 'm' move, 'L' line to, 'l' line, 'P' pen size (h = n),
// 'C' a character drawn at (h, v) with its text state.
struct Call {
  char op;
  int32_t h;
  int32_t v;
  uint8_t c = 0;
  TypesetTextState text{};
};

class RecordingPort final : public TypesetPort {
 public:
  void MoveTo(int32_t h, int32_t v) override { Pen('M', h, v, h, v); }
  void Move(int32_t dh, int32_t dv) override { Pen('m', dh, dv, h_ + dh, v_ + dv); }
  void LineTo(int32_t h, int32_t v) override { Pen('L', h, v, h, v); }
  void Line(int32_t dh, int32_t dv) override { Pen('l', dh, dv, h_ + dh, v_ + dv); }
  void PenSize(int32_t n) override { calls.push_back(Call{'P', n, n}); }
  void ForeColorBlack() override {}
  void DrawChar(uint8_t c, const TypesetTextState& text) override {
    calls.push_back(Call{'C', h_, v_, c, text});
    const FontMetrics* m = TypesetState().fontMetrics;
    h_ += (m ? *m : PlatformFontMetrics()).CharAdvance(text.font, text.size, text.face, c);
  }
  // The characters drawn, in order.
  std::string Chars() const {
    std::string s;
    for (const Call& c : calls)
      if (c.op == 'C') s += char(c.c);
    return s;
  }
  std::vector<Call> calls;

 private:
  void Pen(char op, int32_t a, int32_t b, int32_t h, int32_t v) {
    calls.push_back(Call{op, a, b});
    h_ = h;
    v_ = v;
  }
  int32_t h_ = 0, v_ = 0;
};

// kind(child, ...) with keyword names; a char as its letter (or #id), a num as its text, a
// string as 'text'.
inline std::string Dump(const ExprNode* n) {
  if (n->kind == KindChar || n->kind == KindDummy) {
    int16_t id = n->value.symbol;
    return id > 32 && id < 127 ? std::string(1, char(id)) : "#" + std::to_string(id);
  }
  if (n->kind == KindNum) return n->value.number->text;
  if (n->kind == KindString) return "'" + std::string(n->text ? n->text : "") + "'";
  std::string s = NodeKindName(n->kind) ? NodeKindName(n->kind) : "?";
  if (n->arity == 0) return s;
  for (int i = 0; i < n->arity; ++i) s += (i ? "," : "(") + Dump(n->children[i]);
  return s + ")";
}

inline ExprNode* Parse(const std::string& text) {
  SetFormulaReaderText(text.c_str());
  return ParseFormulaText();
}

constexpr Fixed Px(int32_t pixels) { return pixels * kFixedOne; }

class TypesetTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetMemoryBudgetForTest();
    ResetErrorRegister();
    SetDecimalSeparator('.');
    SetDisplayDigits(8);
    ResetTypesetStateForTest();
    TypesetState().fontMetrics = &fake_;
    TypesetState().port = &port_;
    InitTypesetting();
    ReleaseNodePools();
    blocks_ = NodePoolBlocksInUse();
    bytes_ = GetBytesInUse();
  }
  void TearDown() override {
    for (FormulaEditor* e : editors_) DisposeFormulaEditor(e);
    ReleaseNodePools();
    EXPECT_EQ(NodePoolBlocksInUse(), blocks_) << "node blocks leaked";
    EXPECT_EQ(GetBytesInUse(), bytes_) << "counted bytes leaked";
    ResetTypesetStateForTest();
  }
  // A current editor holding the parsed formula (a prompt when the text does not parse), laid
  // out with the width limit unless that is 0.
  FormulaEditor* Edit(const std::string& text, Fixed widthLimit = kDefaultWidthLimit) {
    FormulaEditor* e = NewFormulaEditor();
    editors_.push_back(e);
    if (ExprNode* tree = Parse(text)) {
      FreeExpression(e->root);
      e->root = e->caretNode = tree;
    }
    SetCurrentFormulaEditor(e, nullptr);
    if (widthLimit == 0) return e;
    e->widthLimit = widthLimit;
    LayoutFormula();
    return e;
  }
  // Real fonts, measured through the platform.
  void UsePlatformFonts() { TypesetState().fontMetrics = nullptr; }

  FakeMetrics fake_;
  RecordingPort port_;
  std::vector<FormulaEditor*> editors_;
  size_t blocks_ = 0;
  size_t bytes_ = 0;
};

}  // namespace typeset_test
