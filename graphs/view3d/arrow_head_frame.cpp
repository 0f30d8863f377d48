// The arrowheads' frame: two cross products, each normalised.
#include "graphs/view3d/arrow_head_frame.h"

#include <cmath>

namespace {

void UnitCross(const double a[3], const double b[3], double out[3]) {
  const double c[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
  const double n = std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
  for (int i = 0; i < 3; ++i) out[i] = c[i] / n;
}

}  // namespace

void ArrowHeadFrame(const double d[3], double e1[3], double e2[3]) {
  const bool flat = std::fabs(d[2]) <= std::fabs(d[0]);
  const double aside[3] = {flat ? 0.0 : 1.0, 0.0, flat ? 1.0 : 0.0};
  UnitCross(d, aside, e1);
  UnitCross(d, e1, e2);
}
