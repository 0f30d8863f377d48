// Hue, saturation and value to red, green and blue: sector goldens, hue wrapping, grey,
// and non-finite hues.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "kernel/numeric/hsv_colour.h"

namespace {

struct Rgb {
  double r, g, b;
};

Rgb Convert(double h, double s, double v) {
  Rgb c{-1, -1, -1};
  HSVToRGB(h, s, v, &c.r, &c.g, &c.b);
  return c;
}

TEST(HSVToRGB, Goldens) {
  // Hand-computed from the six sectors: x = frac(h) * 6, i = floor(x), f = x - i,
  // p = v(1-s), q = v(1-sf), t = v(1-s(1-f)).
  const struct { double h, s, v; Rgb want; } rows[] = {
      {0.0, 1, 1, {1, 0, 0}},
      {1.0 / 3, 1, 1, {0, 1, 0}},
      {0.25, 1, 1, {0.5, 1, 0}},
      {1.25, 1, 1, {0.5, 1, 0}},    // the hue wraps
      {-0.75, 1, 1, {0.5, 1, 0}},   // also from below
      {0.5, 1, 1, {0, 1, 1}},
      {2.0 / 3, 1, 1, {0, 0, 1}},
      {0.75, 1, 0.5, {0.25, 0, 0.5}},
      {0.9, 0.5, 0.8, {0.8, 0.4, 0.64}},
      {-1e-20, 1, 1, {1, 0, 0}},    // rounds to frac 1.0: still red, not magenta
      {0.123, 0, 0.3, {0.3, 0.3, 0.3}},
  };
  for (const auto& row : rows) {
    const Rgb got = Convert(row.h, row.s, row.v);
    EXPECT_NEAR(got.r, row.want.r, 1e-15) << row.h;
    EXPECT_NEAR(got.g, row.want.g, 1e-15) << row.h;
    EXPECT_NEAR(got.b, row.want.b, 1e-15) << row.h;
  }
}

TEST(HSVToRGB, NonFiniteHueGivesADefinedColour) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (double h : {nan, inf, -inf}) {
    const Rgb got = Convert(h, 1.0, 0.5);
    EXPECT_EQ(got.r, 0.5) << h;  // (v, p, v)
    EXPECT_EQ(got.g, 0.0) << h;
    EXPECT_EQ(got.b, 0.5) << h;
    const Rgb grey = Convert(h, 0.0, 0.25);
    EXPECT_EQ(grey.r, 0.25);
    EXPECT_EQ(grey.g, 0.25);
    EXPECT_EQ(grey.b, 0.25);
  }
}

TEST(HSVToRGB, InPlaceFormMatchesTheOutputForm) {
  for (double h = -1.0; h <= 2.0; h += 0.0625) {
    const Rgb want = Convert(h, 0.7, 0.9);
    double a = h, b = 0.7, c = 0.9;
    HSVToRGB(a, b, c);
    EXPECT_EQ(a, want.r);
    EXPECT_EQ(b, want.g);
    EXPECT_EQ(c, want.b);
    EXPECT_GE(std::fmin(a, std::fmin(b, c)), 0.0);
    EXPECT_LE(std::fmax(a, std::fmax(b, c)), 0.9);
  }
}

}  // namespace
