// Hue, saturation and value to red, green and blue: sector goldens, hue wrapping, grey, and
// non-finite hues, through both forms of the conversion.
#include <gtest/gtest.h>

#include <cmath>

#include "kernel/numeric/hsv_colour.h"
#include "kernel/numeric/numeric_constants.h"

namespace {

TEST(HSVToRGB, SectorGoldensWrappingAndNonFiniteHues) {
  // Hand-computed from the six sectors: x = frac(h) * 6, i = floor(x), f = x - i, p = v(1-s),
  // q = v(1-sf), t = v(1-s(1-f)). A non-finite hue gives (v, p, v).
  const double rows[][6] = {  // h, s, v, red, green, blue
      {0.0, 1, 1, 1, 0, 0},       {1.0 / 3, 1, 1, 0, 1, 0},   {0.25, 1, 1, 0.5, 1, 0},
      {1.25, 1, 1, 0.5, 1, 0},    {-0.75, 1, 1, 0.5, 1, 0},   {0.5, 1, 1, 0, 1, 1},
      {0.75, 1, 0.5, 0.25, 0, 0.5}, {0.9, 0.5, 0.8, 0.8, 0.4, 0.64}, {0.123, 0, 0.3, 0.3, 0.3, 0.3},
      {-1e-20, 1, 1, 1, 0, 0},    // frac rounds to 1.0: still red, not magenta
      {kUndefinedReal, 1, 0.5, 0.5, 0, 0.5}, {kPositiveInfinity, 1, 0.5, 0.5, 0, 0.5},
      {-kPositiveInfinity, 0, 0.25, 0.25, 0.25, 0.25},
  };
  for (const auto& row : rows) {
    double r = -1, g = -1, b = -1, h = row[0], s = row[1], v = row[2];
    HSVToRGB(row[0], row[1], row[2], &r, &g, &b);
    HSVToRGB(h, s, v);  // in place
    EXPECT_TRUE(std::fabs(r - row[3]) <= 1e-15 && std::fabs(g - row[4]) <= 1e-15 && std::fabs(b - row[5]) <= 1e-15)
        << row[0] << ": " << r << " " << g << " " << b;
    EXPECT_TRUE(h == r && s == g && v == b) << row[0];
  }
}

}  // namespace
