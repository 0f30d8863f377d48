// One-bit 8x8 patterns of the pen and the pattern fills, and the three standard ones. A pattern
// is anchored to local (0, 0) of the port it is drawn in, so adjacent fills line up.
#pragma once

#include <cstdint>

// Row 0 first, the leftmost pixel in the high bit.
struct Pattern8 {
  uint8_t bits[8];
};

const Pattern8& BlackPattern();
const Pattern8& GrayPattern();
const Pattern8& WhitePattern();

// The bit of local pixel (x, y): 1 draws the fore colour, 0 the back colour. Any x, y (negative too).
inline uint32_t PatternBit(const Pattern8& pat, int32_t x, int32_t y) {
  return (pat.bits[y & 7] >> (7 - (x & 7))) & 1u;
}
