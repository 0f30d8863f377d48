// The frame the 3D arrowheads are laid out in (the arrow graph's cone and the glyphs' barbs): two
// unit vectors square to the arrow's direction and to each other.
#pragma once

// e1 = unit(d x a) and e2 = unit(d x e1), where the auxiliary axis a is (0, 0, 1) when
// |dz| <= |dx|, else (1, 0, 0), so it is never parallel to d. d need not be a unit vector; a zero
// d has no frame (NaN components), so callers skip the head of an arrow of no length.
void ArrowHeadFrame(const double d[3], double e1[3], double e2[3]);
