// The standard patterns; see pattern.h.
#include "platform/draw/pattern.h"

namespace {
constexpr Pattern8 kBlack{{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
constexpr Pattern8 kGray{{0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55}};
constexpr Pattern8 kWhite{{0, 0, 0, 0, 0, 0, 0, 0}};
}  // namespace

const Pattern8& BlackPattern() { return kBlack; }
const Pattern8& GrayPattern() { return kGray; }
const Pattern8& WhitePattern() { return kWhite; }
