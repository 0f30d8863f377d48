// The atom handlers. Measuring and drawing share one description of what is shown (the glyphs
// and their slots), so the drawn text is always the measured text.
#include "editor/atom_layout.h"

#include <cstring>

#include "editor/layout_boxes.h"
#include "editor/typeset_primitives.h"
#include "editor/typeset_state.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"

namespace {

constexpr int32_t kEllipsis = 188;
constexpr int32_t kPrime = '\'';

void SetTextBox(ExprNode* node, Fixed width) {
  const TypeMetrics& m = TypesetGlobals().metrics;
  TypesetBox& box = *node->box;
  box.width = width;
  box.ascent = m.typeSize;
  box.descent = m.typeQuarter;
  box.baselineFlag = 1;
}

// What a char or dummy node shows: a slot, a code and whether a prime follows.
struct SymbolGlyph {
  int32_t slot;
  int32_t code;
  bool primed;
};

SymbolGlyph GlyphOfSymbol(int16_t id) {
  if (id >= kFirstSymbolId && id <= kLastSymbolId) return SymbolGlyph{kSymbolSlot, SymbolFontCode(id), false};
  bool primed = id >= kPrimeOffset + 'x' && id <= kPrimeOffset + 'z';
  return SymbolGlyph{kTextSlot, (primed ? id - kPrimeOffset : id) & 0xFF, primed};
}

const char* StringText(const ExprNode* node) { return node->text ? node->text : ""; }

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

void LayoutNumber(ExprNode* node, int32_t mode) {
  const NumberRecord* record = node->value.number;
  const char* text = record ? record->text : "";
  bool truncated = record && record->moreDigits;
  SetTypesetFont(kTextSlot);
  if (mode == kLayoutMeasure) {
    Fixed width = TypesetTextWidth(text);
    SetTypesetFont(kSymbolSlot);
    SetTextBox(node, SumFixed(width, truncated ? TypesetCharWidth(kEllipsis) : 0));
  } else if (mode == kLayoutDraw) {
    MoveToBaselinePoint(node, 0);
    if (!truncated) {
      TypesetDrawString(text);
      return;
    }
    // The missing digits are the mantissa's: the ellipsis ends the digits (the box's right end
    // when the text has no exponent), and an exponent follows it.
    char digits[sizeof record->text] = {};
    const char* exponent = std::strpbrk(text, "eE");
    std::memcpy(digits, text, exponent ? size_t(exponent - text) : std::strlen(text));
    TypesetDrawString(digits);
    const Fixed digitsWidth = TypesetTextWidth(digits);
    SetTypesetFont(kSymbolSlot);
    const Fixed ellipsis = TypesetCharWidth(kEllipsis);
    MoveToBaselinePoint(node, digitsWidth);
    TypesetDrawChar(kEllipsis);
    if (!exponent) return;
    SetTypesetFont(kTextSlot);
    MoveToBaselinePoint(node, SumFixed(digitsWidth, ellipsis));
    TypesetDrawString(exponent);
  }
}

void LayoutPrompt(ExprNode* node, int32_t mode) {
  SetTypesetFont(kTextSlot);
  TypesetFaceBold();
  if (mode == kLayoutMeasure) {
    SetTextBox(node, TypesetCharWidth('?'));
  } else if (mode == kLayoutDraw) {
    const TypesettingState& t = TypesettingGlobals();
    if (t.promptCaretPending && t.currentEditor && t.currentEditor->caretNode == node) return;
    MoveToBaselinePoint(node, 0);
    TypesetDrawChar('?');
  }
}

void LayoutCharacter(ExprNode* node, int32_t mode) {
  SymbolGlyph glyph = GlyphOfSymbol(node->value.symbol);
  SetTypesetFont(glyph.slot);
  if (node->kind == KindDummy) TypesetFaceBold();
  if (mode == kLayoutMeasure) {
    SetTextBox(node, SumFixed(TypesetCharWidth(glyph.code), glyph.primed ? TypesetCharWidth(kPrime) : 0));
  } else if (mode == kLayoutDraw) {
    MoveToBaselinePoint(node, 0);
    TypesetDrawChar(glyph.code);
    if (glyph.primed) TypesetDrawChar(kPrime);
  }
}

void LayoutString(ExprNode* node, int32_t mode) {
  const char* text = StringText(node);
  bool empty = text[0] == 0, letter = IsLetter(text[0]) && text[1] == 0;
  SetTypesetFont(kTextSlot);
  TypesetFaceCondensed();
  if (mode == kLayoutMeasure) {
    Fixed width = empty ? SumFixed(TypesetCharWidth('"'), TypesetCharWidth('"')) : TypesetTextWidth(text);
    SetTextBox(node, SumFixed(width, letter ? TypesetCharWidth(kPrime) : 0));
  } else if (mode == kLayoutDraw) {
    MoveToBaselinePoint(node, 0);
    if (empty) {
      TypesetDrawString("\"\"");
      return;
    }
    if (letter) TypesetDrawChar(kPrime);
    TypesetDrawString(text);
  }
}
