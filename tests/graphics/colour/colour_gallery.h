// The gallery of colour functions drawn on the GPU and on the CPU: every fixed sequence of the
// generator, every rewrite family of the front end and the complex lowering appear in it. The
// view spans x and y in [-3, 3] with z = 0.25 + 0.3 x - 0.2 y; no pixel centre lies on a branch
// cut, an integer step or a domain edge, where float and double may fall on different sides.
// Parameters a, b and c are defined names of the document (0.7, 2 and -0.4).
#pragma once

#include "kernel/eval/evaluation_seams.h"
#include "tests/graphics/colour/colour_test_support.h"

namespace colour_test {

inline void InstallGalleryParameters() {
  SetDefinedValueLookup([](Complex* out, int32_t key) {
    const double value = key == 'a' ? 0.7 : key == 'b' ? 2.0 : key == 'c' ? -0.4 : 1.0;
    *out = Complex{value, 0.0};
  });
}

inline const ColourGalleryCase kColourGallery[] = {
    {"linear", {"over[plus[x, 3], 6]", "over[plus[y, 3], 6]", "over[plus[z, 1.5], 3]"}, false, ""},
    {"trig-with-parameters",
     {"plus[0.5, times[0.5, sin[times[b, x]]]]", "power[cos[times[a, y]], 2]", "abs[over[plus[z, c], 2]]"}, false, ""},
    {"powers-and-roots",
     {"over[power[x, 2], 9]", "over[power[plus[y, 3], 2.5], 50]", "plus[0.5, times[0.3, power[x, over[1, 3]]]]"}, false,
     ""},
    {"exp-and-logs", {"exp[minus[power[z, 2]]]", "over[ln[plus[x, 3.5]], 2]", "log[plus[y, 4]]"}, false, ""},
    {"theta-rho-phi", {"over[theta, times[2, pi]]", "over[rho, 4]", "over[phi, pi]"}, false, ""},
    {"hsv-ramp", {"over[x, 6]", "1", "1"}, true, ""},
    {"hsv-theta-parameter", {"plus[over[theta, times[2, pi]], times[a, 0.1]]", "plus[0.5, over[y, 6]]", "0.8"}, true, ""},
    {"complex-real-parts",
     {"plus[0.5, over[real[power[plus[x, times[i, y]], 2]], 18]]", "times[0.5, abs[exp[times[i, x]]]]",
      "plus[0.5, over[imag[sqrt[plus[x, times[i, y]]]], 4]]"},
     false, ""},
    {"complex-arg-and-log",
     {"plus[0.5, over[arg[plus[x, times[i, y]]], times[2, pi]]]", "plus[0.5, over[real[ln[plus[x, times[i, y]]]], 4]]",
      "plus[0.5, over[imag[times[plus[x, i], plus[y, times[2, i]]]], 12]]"},
     false, ""},
    {"complex-trig",
     {"plus[0.5, times[0.25, real[sin[plus[x, times[i, over[y, 3]]]]]]]",
      "plus[0.5, times[0.2, imag[cos[plus[over[x, 2], times[i, over[y, 3]]]]]]]", "times[0.5, abs[plus[z, i]]]"},
     false, ""},
    {"inverse-trig", {"plus[0.5, over[atan[x], pi]]", "plus[0.5, over[asin[over[y, 3]], pi]]", "over[acot[z], pi]"},
     false, ""},
    {"hyperbolic-and-tan",
     {"plus[0.5, over[tanh[x], 2]]", "plus[cosh[over[y, 3]], minus[1]]", "plus[0.5, times[0.2, tan[over[z, 2]]]]"},
     false, ""},
    {"acos-clamp-degree",
     {"over[acos[over[x, 3]], pi]", "clamp[over[y, 3], 0.1, 0.9]", "plus[0.5, times[0.5, sin[times[x, 30, degree]]]]"},
     false, ""},
    {"steps", {"mod[x, 1]", "plus[0.5, over[floor[y], 6]]", "plus[0.5, times[0.25, sgn[y]], times[0.1, max[z, 0]]]"},
     false, ""},
    {"condition", {"1", "over[plus[x, 3], 6]", "0"}, false, "lessthan[plus[power[x, 2], power[y, 2]], 4]"},
    {"hsv-condition-parameter", {"over[rho, 3]", "1", "0.9"}, true, "greaterthan[y, plus[times[a, x], minus[1]]]"},
    // Saturation and value beyond [0, 1] are clamped before the conversion (v = 2 with s = 0.25 is
    // a pale colour, not white); the second crosses both ends of both across the view.
    {"hsv-beyond-the-unit-range", {"over[x, 6]", "0.25", "2"}, true, ""},
    {"hsv-crossing-the-unit-range", {"over[y, 6]", "plus[0.5, x]", "plus[0.5, minus[y]]"}, true, ""},
    // Exponents within 1e-7 of a negative whole number (x + 3.5 spans [0.5, 6.5]).
    {"powers-just-off-whole",
     {"times[0.25, power[plus[x, 3.5], minus[1.99999999]]]", "times[0.5, power[plus[y, 3.5], minus[0.99999999]]]",
      "over[power[plus[x, 3.5], 2.99999999], 300]"},
     false, ""},
};

}  // namespace colour_test
