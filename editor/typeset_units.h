// Fixed-point units of typesetting. Lengths are signed 16.16 (65536 = one point = one pixel) and
// every handler metric derives from the type size S (raw 16.16). Divisions truncate toward zero,
// conversion to pixels floors (arithmetic shift). Every sum, difference and product of lengths in
// layout, drawing, line mapping, hit testing and the caret goes through 64 bits and saturates:
// a row wider or taller than the range (32,767 pixels) keeps its far parts pinned at the edge and
// never wraps, while any row inside the range is computed exactly as before.
#pragma once

#include <cstdint>
#include <limits>

using Fixed = int32_t;
inline constexpr Fixed kFixedOne = 65536;

constexpr Fixed SaturateFixed(int64_t v) {
  if (v > std::numeric_limits<Fixed>::max()) return std::numeric_limits<Fixed>::max();
  if (v < std::numeric_limits<Fixed>::min()) return std::numeric_limits<Fixed>::min();
  return static_cast<Fixed>(v);
}
// Up to four lengths summed in 64 bits, then saturated (pass -int64_t{x} to subtract).
constexpr Fixed SumFixed(int64_t a, int64_t b, int64_t c = 0, int64_t d = 0) { return SaturateFixed(a + b + c + d); }
constexpr Fixed SubFixed(Fixed a, Fixed b) { return SaturateFixed(int64_t{a} - b); }
constexpr Fixed NegateFixed(Fixed a) { return SaturateFixed(-int64_t{a}); }
// Where a box `width` wide starts when centred in a column `column` wide.
constexpr Fixed CentredIn(Fixed column, Fixed width) { return SaturateFixed((int64_t{column} - width) / 2); }
constexpr Fixed FixedFromInt(int64_t pixels) { return SaturateFixed(pixels * kFixedOne); }
// Whole pixels: the shift rounds toward minus infinity, so -0.5 lands on pixel -1.
constexpr int32_t FixedToPixels(Fixed v) { return v >> 16; }

// u: the raw size / 1000, truncated; handler metrics are written k·u.
constexpr Fixed ThousandthOf(Fixed size) { return size / 1000; }
// "S/10" is 100u: close to a tenth, not exactly one (157200 raw at 24 pt, a tenth being 157286).
constexpr Fixed TenthOf(Fixed size) { return 100 * (size / 1000); }
constexpr Fixed QuarterOf(Fixed size) { return size / 4; }
// t: the rule thickness, raw size / 20 but at least one pixel.
constexpr Fixed RuleThicknessOf(Fixed size) { return size / 20 > kFixedOne ? size / 20 : kFixedOne; }
// a: the math axis, 268/1024 of the size above the baseline.
constexpr Fixed MathAxisOf(Fixed size) { return SaturateFixed((int64_t{268} * size) >> 10); }

// k·u, and a length scaled by num/den with the division truncating toward zero.
constexpr Fixed Units(int32_t k, Fixed u) { return SaturateFixed(int64_t{k} * u); }
constexpr Fixed MulDivFixed(Fixed v, int32_t num, int32_t den) { return SaturateFixed(int64_t{v} * num / den); }
// The size times a factor, as a double, truncated toward zero (the glyph tables).
constexpr Fixed ScaleFixed(Fixed size, double factor) {
  double v = static_cast<double>(size) * factor;
  return v >= 2147483647.0 ? std::numeric_limits<Fixed>::max()
         : v <= -2147483648.0 ? std::numeric_limits<Fixed>::min()
                              : static_cast<Fixed>(v);
}
