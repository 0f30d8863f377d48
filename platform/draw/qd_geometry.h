// Points and rectangles of the drawing layer: signed 16-bit, (vertical, horizontal) and
// (top, left, bottom, right). A rectangle covers the pixels top <= v < bottom, left <= h < right;
// it is empty when bottom <= top or right <= left. Results never overflow int16 silently: they clamp.
#pragma once

#include <cstdint>

struct QDPoint {
  int16_t v;
  int16_t h;
};

struct QDRect {
  int16_t top;
  int16_t left;
  int16_t bottom;
  int16_t right;
};

// Clamps a wide value into the int16 coordinate range.
int16_t PinCoordinate(int32_t value);

QDPoint MakePoint(int32_t h, int32_t v);
QDRect MakeRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
void SetRect(QDRect* r, int32_t left, int32_t top, int32_t right, int32_t bottom);

bool EmptyRect(const QDRect& r);
bool EqualRect(const QDRect& a, const QDRect& b);
// Intersection into *out (an empty intersection gives the all-zero rectangle); true when not empty.
bool SectRect(const QDRect& a, const QDRect& b, QDRect* out);
// Smallest rectangle holding both; an empty operand is ignored.
void UnionRect(const QDRect& a, const QDRect& b, QDRect* out);
bool PtInRect(QDPoint p, const QDRect& r);
inline bool EqualPt(QDPoint a, QDPoint b) { return a.h == b.h && a.v == b.v; }
void OffsetRect(QDRect* r, int32_t dh, int32_t dv);
void InsetRect(QDRect* r, int32_t dh, int32_t dv);
// The point moved to the nearest pixel inside r (r must not be empty).
QDPoint PinRect(const QDRect& r, QDPoint p);
inline int32_t RectWidth(const QDRect& r) { return int32_t(r.right) - r.left; }
inline int32_t RectHeight(const QDRect& r) { return int32_t(r.bottom) - r.top; }
