// Pen, lines, rectangles, polygons and pattern fills of the current port. Lines draw both end
// points; the pen is a rectangle whose top-left follows the line. Pattern bits and pixel-pattern
// pixels are anchored to the port's local origin: pattern pixel (0, 0) lies at local (0, 0).
#pragma once

#include <cstdint>

#include "platform/draw/pattern.h"
#include "platform/draw/port.h"

// A pixel pattern: a width x height tile of 0xAARRGGBB pixels (alpha ignored when drawing).
struct PixPat {
  int16_t width;
  int16_t height;
  uint32_t* pixels;
  const DrawAllocator* alloc;
};
using PixPatHandle = PixPat*;

void MoveTo(int32_t h, int32_t v);
void Move(int32_t dh, int32_t dv);
void LineTo(int32_t h, int32_t v);
void Line(int32_t dh, int32_t dv);
void GetPen(QDPoint* p);
void PenSize(int32_t width, int32_t height);
void PenMode(int32_t mode);  // pattern modes kPatCopy .. kPatBic; others are ignored
void PenPat(const Pattern8& pat);
void PenNormal();             // 1x1, kPatCopy, black pattern; location kept
void GetPenState(PenState* state);
void SetPenState(const PenState& state);

void PaintRect(const QDRect& r);   // pen pattern and mode
void FrameRect(const QDRect& r);   // outline inside r, pen-sized, pen pattern and mode
void EraseRect(const QDRect& r);   // back colour
void InvertRect(const QDRect& r);  // RGB inverted, alpha 0
void FillRect(const QDRect& r, const Pattern8& pat);  // pattern copy
// A closed polygon of any number of points; a pixel is inside when its centre is (even-odd
// rule), so the polygon of a rectangle's corners covers exactly that rectangle. False, drawing
// nothing, when the memory for the polygon's edge crossings is refused; true otherwise.
bool PaintPoly(const QDPoint* points, int32_t count);
void FillCRect(const QDRect& r, const PixPat* pat);
// The selection highlight: a rectangle with corners rounded to `radius`, in local pixel
// coordinates with fractions kept, filled in the colour (the fore colour when null). A pixel is
// painted when its centre lies inside; the radius is limited to half the smaller side.
void FillRoundedRect(double left, double top, double right, double bottom, double radius,
                     const RGBColor16* colour);
bool FillCPoly(const QDPoint* points, int32_t count, const PixPat* pat);

// A pixel pattern of the given size, all pixels 0; null when refused or the size is not positive.
PixPatHandle NewPixPat(int32_t width, int32_t height);
void DisposePixPat(PixPatHandle pat);  // null ignored
// Loads pattern resource id from the resource folder ("ppat_<id>.png"); null when missing.
PixPatHandle GetPixPat(int32_t id);
// The folder resources are read from (default: the repository's resources/).
void SetResourceDirectory(const char* path);
const char* ResourceDirectory();
