// Typesetting primitives over the FontMetrics and TypesetPort backends of the typesetting
// state. The text state (font, pixel size, face) is kept here and handed to the port with each
// character, so measuring needs no port and drawing always uses what was measured.
#include "editor/typeset_primitives.h"

#include <algorithm>
#include <cstring>

#include "editor/font_metrics.h"
#include "editor/typeset_state.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/trees/expr_node.h"
#include "platform/fonts.h"

namespace {

constexpr int32_t kLongestDrawnString = 255;
// The Symbol encoding's summation sign is 713/1000 em wide; a font that answers otherwise is not
// the Symbol font whatever its name.
constexpr int32_t kSummationSign = 229;
constexpr int32_t kSummationDesignWidth = 713;

const FontMetrics& Metrics() {
  const FontMetrics* m = TypesetGlobals().fontMetrics;
  return m ? *m : PlatformFontMetrics();
}

TypesetPort& Port() { return CurrentTypesetPort(); }

void SetRulePen() { Port().PenSize(FixedToPixels(TypesetGlobals().metrics.ruleThickness)); }

bool InSymbolSlot() { return TypesetGlobals().currentFontSlot == kSymbolSlot; }

// Lowercase letters without an ascender, set at x-height.
bool IsSmallTextLetter(int32_t c) { return c >= 'a' && c <= 'z' && !std::strchr("bdfhijklt", c); }

bool IsOneOf(int32_t c, const char* codes) { return c > 0 && c < 128 && std::strchr(codes, c); }

void FontAscentDescent(int32_t* ascent, int32_t* descent) {
  const TypesetTextState& t = TypesetGlobals().text;
  Metrics().AscentDescent(t.font, t.size, t.face, ascent, descent);
}

}  // namespace

TypesetPort& CurrentTypesetPort() {
  TypesetPort* p = TypesetGlobals().port;
  return p ? *p : DrawingLayerTypesetPort();
}

void TypesetMove(Fixed dx, Fixed dy) { Port().Move(FixedToPixels(dx), FixedToPixels(dy)); }

void TypesetMoveTo(Fixed x, Fixed y) {
  const TypesetState& g = TypesetGlobals();
  Port().MoveTo(g.originH + FixedToPixels(x), g.originV + FixedToPixels(y));
}

void TypesetLine(Fixed dx, Fixed dy) {
  SetRulePen();
  Port().Line(FixedToPixels(dx), FixedToPixels(dy));
}

void TypesetLineTo(Fixed x, Fixed y) {
  const TypesetState& g = TypesetGlobals();
  SetRulePen();
  Port().LineTo(g.originH + FixedToPixels(x), g.originV + FixedToPixels(y));
}

void TypesetPolyLine(int32_t count, const Fixed* points) {
  SetRulePen();
  for (int32_t i = 0; i < count; ++i) Port().Line(FixedToPixels(points[2 * i + 1]), FixedToPixels(points[2 * i]));
}

void TypesetDrawChar(int32_t c) { Port().DrawChar(static_cast<uint8_t>(c), TypesetGlobals().text); }

int32_t TypesetDrawString(const char* s) {
  if (!s) return 0;
  size_t length = std::strlen(s);
  if (length > size_t(kLongestDrawnString)) return static_cast<int32_t>(std::min<size_t>(length, INT32_MAX));
  for (size_t i = 0; i < length; ++i) TypesetDrawChar(static_cast<uint8_t>(s[i]));
  return 0;
}

Fixed TypesetCharWidth(int32_t c) {
  const TypesetTextState& t = TypesetGlobals().text;
  return FixedFromInt(Metrics().CharAdvance(t.font, t.size, t.face, static_cast<uint8_t>(c)));
}

Fixed TypesetTextWidth(const char* s) {
  if (!s) return 0;
  const TypesetTextState& t = TypesetGlobals().text;
  int64_t pixels = 0;
  for (; *s; ++s) pixels += Metrics().CharAdvance(t.font, t.size, t.face, static_cast<uint8_t>(*s));
  return FixedFromInt(pixels);
}

Fixed FontHalfAscent() {
  int32_t ascent = 0, descent = 0;
  FontAscentDescent(&ascent, &descent);
  return SaturateFixed(int64_t{ascent} * kFixedOne / 2 + kFixedOne);
}

void InitTypesetFonts() {
  TypesetState& g = TypesetGlobals();
  int16_t symbol = GetFNum("Symbol");
  if (symbol != 0 && FontCharDesignWidth(symbol, kSummationSign) != kSummationDesignWidth) symbol = 0;
  g.fontSlots[kSymbolSlot] = symbol;
  g.fontSlots[kTextSlot] = GetFNum("Times");
  g.fontsInitialised = true;
  if (symbol == 0) PostError(kErrorSymbolFontMissing);
}

int16_t SetTextFontByName(const char* name) {
  int16_t font = GetFontNumberByName(name);
  TypesetGlobals().fontSlots[kTextSlot] = font;
  return font;
}

void SetTypesetFont(int32_t slot) {
  if (slot != kSymbolSlot && slot != kTextSlot) return;
  TypesetState& g = TypesetGlobals();
  g.currentFontSlot = slot;
  g.text.font = g.fontSlots[slot];
}

void SetTypesetSize(Fixed size) {
  TypesetState& g = TypesetGlobals();
  g.metrics = TypeMetrics{size, QuarterOf(size), RuleThicknessOf(size), ThousandthOf(size), TenthOf(size)};
  g.text.size = static_cast<int16_t>(std::clamp<int32_t>(FixedToPixels(size), 0, INT16_MAX));
}

void TypesetFaceBold() { TypesetGlobals().text.face = 1; }
void TypesetFaceCondensed() { TypesetGlobals().text.face = 32; }

void TypesetFacePlain() {
  TypesetGlobals().text.face = 0;
  Port().ForeColorBlack();
}

Fixed GlyphHeight(int32_t c) {
  Fixed s = TypesetGlobals().metrics.typeSize;
  if (InSymbolSlot()) {
    if (c == 230 || c == 232) return ScaleFixed(s, 0.9);
    if (c == 231) return ScaleFixed(s, 0.85);
    if (c >= 236 && c <= 239) return ScaleFixed(s, 0.8);
  }
  int32_t ascent = 0, descent = 0;
  FontAscentDescent(&ascent, &descent);
  return FixedFromInt(int64_t{ascent} + descent);
}

Fixed GlyphAscent(int32_t c) {
  Fixed s = TypesetGlobals().metrics.typeSize;
  if (!InSymbolSlot()) return IsSmallTextLetter(c) ? SumFixed(FontHalfAscent(), 2 * kFixedOne) : s;
  if (c == kSummationSign) return ScaleFixed(s, 0.9);
  // The Symbol letters set at x-height; P and V are the capital Pi and the final sigma.
  return IsOneOf(c, "aceghijkmnrstuvwPV") ? SumFixed(FontHalfAscent(), 2 * kFixedOne) : s;
}

Fixed GlyphDescent(int32_t c) {
  const TypeMetrics& m = TypesetGlobals().metrics;
  if (!InSymbolSlot()) return IsOneOf(c, "gjpqyQ") ? m.typeQuarter : kFixedOne;
  switch (c) {
    case kSummationSign: return ScaleFixed(m.typeSize, 0.1);
    case 230: return ScaleFixed(m.typeSize, 0.111);
    case 231: return ScaleFixed(m.typeSize, 0.085);
    case 232: return ScaleFixed(m.typeSize, 0.293);
    case 236: case 237: case 238: case 239: return ScaleFixed(m.typeSize, 0.075);
    default: return IsOneOf(c, "bcfghjmrVxz") ? m.typeQuarter : kFixedOne;
  }
}

Fixed PieceFullHeight(int32_t c) {
  return c == 230 || c == 232 ? ScaleFixed(TypesetGlobals().metrics.typeSize, 1.219) : GlyphHeight(c);
}

int32_t BoxDescentPixels(const ExprNode* node) {
  return node && node->box ? FixedToPixels(node->box->descent) : 0;
}

int32_t CaretBoxDescent() {
  const FormulaEditor* e = TypesettingGlobals().currentEditor;
  return e ? BoxDescentPixels(e->caretNode) : 0;
}

int32_t RootBoxDescent() {
  const FormulaEditor* e = TypesettingGlobals().currentEditor;
  return e ? BoxDescentPixels(e->root) : 0;
}
