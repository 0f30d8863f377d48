// Copies between ports: the same size, scaled by nearest neighbour (the centre of each
// destination pixel picks its source pixel), and blended with the destination's OpColor.
// Only destination pixels inside its clip and bounds change, and only source pixels inside the
// source's bounds are read (a destination pixel whose source falls outside is left alone).
#pragma once

#include "platform/draw/port.h"

// mode: kSrcCopy (also used for kDitherCopy and every other source mode) or kBlend.
// Copies write the source's RGB with alpha 0. Blend computes each 16-bit channel as
// (src * w + dst * (65535 - w)) / 65535, truncated, with w the OpColor channel, and keeps the
// high byte. Overlapping copies within one port at the same size behave as if through a copy
// (rows and clip pieces are visited away from the overlap).
void CopyBits(const Port* src, Port* dst, const QDRect& srcRect, const QDRect& dstRect, int32_t mode);
