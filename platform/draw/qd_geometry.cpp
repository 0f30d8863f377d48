// Points and rectangles: all arithmetic in 32 bits, pinned back to int16 at the end.
#include "platform/draw/qd_geometry.h"

#include <algorithm>

int16_t PinCoordinate(int32_t value) {
  return int16_t(std::clamp<int32_t>(value, INT16_MIN, INT16_MAX));
}

QDPoint MakePoint(int32_t h, int32_t v) { return QDPoint{PinCoordinate(v), PinCoordinate(h)}; }

QDRect MakeRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return QDRect{PinCoordinate(top), PinCoordinate(left), PinCoordinate(bottom), PinCoordinate(right)};
}

void SetRect(QDRect* r, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  *r = MakeRect(left, top, right, bottom);
}

bool EmptyRect(const QDRect& r) { return r.bottom <= r.top || r.right <= r.left; }

bool EqualRect(const QDRect& a, const QDRect& b) {
  return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
}

bool SectRect(const QDRect& a, const QDRect& b, QDRect* out) {
  QDRect s{std::max(a.top, b.top), std::max(a.left, b.left), std::min(a.bottom, b.bottom),
           std::min(a.right, b.right)};
  if (EmptyRect(s)) {
    *out = QDRect{0, 0, 0, 0};
    return false;
  }
  *out = s;
  return true;
}

void UnionRect(const QDRect& a, const QDRect& b, QDRect* out) {
  if (EmptyRect(a)) { *out = b; return; }
  if (EmptyRect(b)) { *out = a; return; }
  *out = QDRect{std::min(a.top, b.top), std::min(a.left, b.left), std::max(a.bottom, b.bottom),
                std::max(a.right, b.right)};
}

bool PtInRect(QDPoint p, const QDRect& r) {
  return p.v >= r.top && p.v < r.bottom && p.h >= r.left && p.h < r.right;
}

void OffsetRect(QDRect* r, int32_t dh, int32_t dv) {
  *r = MakeRect(r->left + dh, r->top + dv, r->right + dh, r->bottom + dv);
}

void InsetRect(QDRect* r, int32_t dh, int32_t dv) {
  QDRect s = MakeRect(r->left + dh, r->top + dv, r->right - dh, r->bottom - dv);
  *r = EmptyRect(s) ? QDRect{0, 0, 0, 0} : s;
}

QDPoint PinRect(const QDRect& r, QDPoint p) {
  QDPoint q = p;
  q.v = std::clamp<int16_t>(p.v, r.top, int16_t(std::max<int32_t>(r.top, r.bottom - 1)));
  q.h = std::clamp<int16_t>(p.h, r.left, int16_t(std::max<int32_t>(r.left, r.right - 1)));
  return q;
}
