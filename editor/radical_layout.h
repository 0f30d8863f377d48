// Layout handler of square roots: 700u of radical sign before the radicand, an optional index
// (child 1, one script level smaller) overlapping the sign by 300u, and the sign drawn as one
// four-segment polyline whose bar runs 100u + t above the radicand.
#pragma once

#include <cstdint>

struct ExprNode;

// The radicand's baseline metrics raised to at least S and S/4; ascent A + t + 200u, grown for a
// tall index; an index wider than 300u widens the node by the excess, a narrower one does not
// narrow it (the sign never reaches left of the box).
void LayoutRadical(ExprNode* node, int32_t mode);
