// Pictures placed in the 2D views: the frame, hit tests of a picture placed with its left edge
// at h and its bottom edge at v, and drawing it scaled into the current buffer with white as
// the transparent colour and every other pixel shaded by the paper beneath.
#pragma once

#include <cstdint>

#include "platform/draw/picture.h"

void GetPictureFrame(const Picture* picture, QDRect* out);  // all zero for null
bool PointInPictureAt(const Picture* picture, QDPoint p, int32_t h, int32_t v);
bool PictureOverlapsRectAt(const Picture* picture, int32_t h, int32_t v, const QDRect& r);
// Draws the picture scaled by the two whole factors into a temporary buffer (of the part that can
// show), then into the current buffer with its left edge at h and bottom edge at v, within clip:
// pure white source pixels (low 24 bits all ones) are skipped, the others written as
// ShadePixelByLuminance of the pixel beneath. Nothing is drawn when the temporary buffer cannot
// be had, a factor is < 1, or the placed picture leaves the coordinate range.
void DrawPictureInGWorld(const Picture* picture, int32_t h, int32_t v, const QDRect& clip, int32_t xScale,
                         int32_t yScale);
