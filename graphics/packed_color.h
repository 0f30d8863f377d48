// Colours passed as one word: PackedRGB 0x00RRGGBB, the low 24 bits of a pixel. A 16-bit
// channel is (c << 8) | c of the 8-bit one and the way back keeps the high byte, so
// packed -> 16-bit -> packed is the identity.
#pragma once

#include <cstdint>

#include "platform/draw/port.h"

using PackedRGB = uint32_t;

// The graph kinds' names for the drawing layer's pixel conversions.
inline RGBColor16 PackedRGBToRGBColor(PackedRGB rgb) { return PixelToColor(rgb); }
inline PackedRGB RGBColorToPackedRGB(const RGBColor16& c) { return ColorToPixel(c); }
