// Hue sectors by floor, with the wrap taken before the sector is chosen so that a hue a
// rounding step below 0 lands in sector 0, not in a seventh sector.
#include "kernel/numeric/hsv_colour.h"

#include <cmath>

void HSVToRGB(double h, double s, double v, double* red, double* green, double* blue) {
  if (s == 0.0) {
    *red = *green = *blue = v;
    return;
  }
  int i = 6;  // "any other value": where a non-finite hue lands
  double f = 0.0;
  if (std::isfinite(h)) {
    double x = (h - std::floor(h)) * 6.0;
    // A tiny negative hue rounds h - floor(h) up to 1: that is hue 0, not sector 6.
    if (x >= 6.0) x = 0.0;
    i = static_cast<int>(std::floor(x));
    f = x - i;
  }
  const double p = v * (1.0 - s);
  const double q = v * (1.0 - s * f);
  const double t = v * (1.0 - s * (1.0 - f));
  switch (i) {
    case 0: *red = v; *green = t; *blue = p; break;
    case 1: *red = q; *green = v; *blue = p; break;
    case 2: *red = p; *green = v; *blue = t; break;
    case 3: *red = p; *green = q; *blue = v; break;
    case 4: *red = t; *green = p; *blue = v; break;
    default: *red = v; *green = p; *blue = q; break;
  }
}

void HSVToRGB(double& h, double& s, double& v) {
  double r = 0, g = 0, b = 0;
  HSVToRGB(h, s, v, &r, &g, &b);
  h = r;
  s = g;
  v = b;
}
