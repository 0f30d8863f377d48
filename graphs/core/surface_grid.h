// What the surfaces sampled on an n x n grid of (u, v) share: the grid's size from the grain, how
// many vertices a sample has and which colour arrays its colour mode needs, the colours of a sample
// by mode, the triangles of the grid cells, unit normals, and finite-difference normals where a
// sample has none.
// Conventions: sample (i, j) has index k = i n + j, i along u and j along v; in the two-tone modes
// (1, 2, 3, 6, 7) every sample has two vertices, copy A at 2k and copy B at 2k + 1, each with its
// own colour, and a cell is drawn in one colour by choosing its corners' copies. Colours are three
// floats in [0, 1], never NaN.
#pragma once

#include <cstdint>

class GraphColor;

// Samples a side of the grain q: trunc(74 q + 5) (GrainSize), 5 at q = 0 and 79 at q = 1, the
// default grain's 42 where that falls outside 2..most.
int32_t SurfaceGridOfGrain(double q, int32_t most);

// 2 for the two-tone modes, 1 otherwise.
int32_t SurfaceVertexCopies(uint32_t mode);
// The mode takes a colour array (every mode but 0, 8, 11 and 13) / texture coordinates (mode 8).
bool SurfaceModeHasColors(uint32_t mode);
bool SurfaceModeHasTexCoords(uint32_t mode);
// The mode draws triangles: 0, 8, the computed modes 4, 5, 9, 10 and the two-tone modes.
bool SurfaceModeDrawsTriangles(uint32_t mode);

// The colours of sample (i, j) in a pattern mode: modes 4 (hue by row, (i + 1) / n) and 5 (hue by
// column, j / n) write out[0..2]; the two-tone modes write copy A to out[0..2] and copy B to
// out[3..5] (1, 2, 3: grey 0.3 and white; 6: hues ((i + 5) mod 6) / 6 and (i mod 6) / 6 of six;
// 7: the same by j). Other modes write nothing.
void SurfacePatternColors(uint32_t mode, int32_t i, int32_t j, int32_t n, float out[6]);
// Modes 9 (red, green, blue) and 10 (hue, saturation, value) of the colour's three expressions,
// evaluated at (u, v, x, y, z, w) = args: the second and third values are clamped to [0, 1], the
// first too in mode 9 (a hue wraps); a value that is not a number, or a missing component, counts
// as 0.
void SurfaceExpressionColor(GraphColor* color, const double args[6], float out[3]);
// Mode 8: (i / (n - 1), 1 - j / (n - 1)).
void SurfaceTexCoord(int32_t i, int32_t j, int32_t n, float out[2]);
// Stores what the mode colours sample (i, j) with, k = i n + j: its texture coordinates at
// texCoords + 2 k (mode 8), or at colors + 3 SurfaceVertexCopies(mode) k the expressions' colour at
// (u, v, x, y, z, w) = args (modes 9 and 10) or the pattern's colours of its copies. Nothing for
// the other modes, nor where colors is null.
void StoreSurfaceSampleColour(GraphColor* color, uint32_t mode, int32_t i, int32_t j, int32_t n, const double args[6],
                              float* colors, float* texCoords);

// The triangles of every cell (i, j), i, j < n - 1, with corners a (i, j), b (i, j + 1), c (i + 1,
// j), d (i + 1, j + 1): all four valid give (a, d, b) and (a, c, d); three give one ((b, c, d)
// without a, (a, c, d) without b, (a, d, b) without c, (a, c, b) without d); fewer give none.
// Vertex indices are sample indices, or copy indices 2k + p in the two-tone modes (6: copy B at a
// and b; 7: at a and c; 1: p = (i xor j) and 1; 2: p = i and 1; 3: p = j and 1 at every corner).
// Writes at most 2 (n - 1)^2 triangles of three indices; returns their count (0 for a mode that
// draws none).
uint32_t BuildSurfaceTriangles(const uint8_t* valid, int32_t n, uint32_t mode, uint32_t* triangles);

// n / |n| into out; false (out (0, 0, 0)) when n is not finite or has no length. Scaled first, so
// components near the overflow threshold still give a unit normal; never NaN.
bool UnitNormal(const double n[3], float out[3]);

// For every valid sample whose normal is (0, 0, 0): the normal from its neighbours' positions
// (vertices of `copies` copies a sample, normals likewise; both copies get it). With P the sample,
// Q the next row's sample (the previous row's on the last row, the sign then turned) or, when that
// is invalid or at P (no coordinate off it by more than 2^-24 of that coordinate's span over the
// valid samples), the diagonal one in that row; R the next column's (the previous column's on the
// last column, the sign turned again) or its diagonal one likewise; a neighbour still invalid is P
// itself. The normal is (R - P) x (P - Q) times the sign, normalised (UnitNormal); one that is not
// finite or is zero is left (0, 0, 0).
void FiniteDifferenceNormals(const float* vertices, const uint8_t* valid, int32_t n, int32_t copies, float* normals);
