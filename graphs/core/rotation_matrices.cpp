// Rotation arithmetic of the 3D and 4D views. Products and transforms go through a stack
// temporary so callers may multiply in place (the views turn orientation = R orientation every
// frame); nothing allocates.
#include "graphs/core/rotation_matrices.h"

#include <algorithm>
#include <cmath>

#include "kernel/numeric/numeric_constants.h"

namespace {

constexpr double kNearlyEqualTolerance = 8.0 * kMachineEpsilon;

// M(k, c, s) of a unit axis k (or the zero axis: c times the identity).
void RodriguesMatrix(Matrix3 out, const Vector3 k, double c, double s) {
  const double t = 1.0 - c;
  out[0] = t * k[0] * k[0] + c;
  out[1] = t * k[0] * k[1] + s * k[2];
  out[2] = t * k[0] * k[2] - s * k[1];
  out[3] = t * k[0] * k[1] - s * k[2];
  out[4] = t * k[1] * k[1] + c;
  out[5] = t * k[1] * k[2] + s * k[0];
  out[6] = t * k[0] * k[2] + s * k[1];
  out[7] = t * k[1] * k[2] - s * k[0];
  out[8] = t * k[2] * k[2] + c;
}

template <int N>
void SetIdentity(double* m) {
  for (int i = 0; i < N * N; ++i) m[i] = i % (N + 1) == 0 ? 1.0 : 0.0;
}

template <int N>
void Transpose(double* m) {
  for (int i = 0; i < N; ++i) {
    for (int j = 0; j < i; ++j) std::swap(m[N * i + j], m[N * j + i]);
  }
}

template <int N>
void Multiply(const double* a, const double* b, double* out) {
  double product[N * N];
  for (int i = 0; i < N; ++i) {
    for (int j = 0; j < N; ++j) {
      double sum = 0.0;
      for (int k = 0; k < N; ++k) sum += a[N * i + k] * b[N * k + j];
      product[N * i + j] = sum;
    }
  }
  std::copy(product, product + N * N, out);
}

template <int N>
bool NearlyEqual(const double* a, const double* b) {
  for (int i = 0; i < N * N; ++i) {
    if (std::fabs(a[i] - b[i]) > kNearlyEqualTolerance) return false;
  }
  return true;
}

// b = a b a^T.
template <int N>
void Conjugate(const double* a, double* b) {
  double transposed[N * N];
  std::copy(a, a + N * N, transposed);
  Transpose<N>(transposed);
  Multiply<N>(a, b, b);
  Multiply<N>(b, transposed, b);
}

// Divides the n values by their length; a zero vector becomes NaNs.
void Normalise(double* v, int n) {
  double sum = 0.0;
  for (int i = 0; i < n; ++i) sum += v[i] * v[i];
  const double length = std::sqrt(sum);
  for (int i = 0; i < n; ++i) v[i] /= length;
}

void Cross3(Vector3 out, const double* a, const double* b) {
  const double x = a[1] * b[2] - a[2] * b[1];
  const double y = a[2] * b[0] - a[0] * b[2];
  const double z = a[0] * b[1] - a[1] * b[0];
  out[0] = x;
  out[1] = y;
  out[2] = z;
}

// Axis k (permuted to matrix coordinates), cosine and sine of the trackball turn from a to b.
struct TrackballTurn {
  Vector3 k;
  double c;
  double s;
};
TrackballTurn TurnBetween(const Vector3 a, const Vector3 b) {
  Vector3 n;
  Cross3(n, b, a);
  TrackballTurn turn{{0.0, 0.0, 0.0}, a[0] * b[0] + a[1] * b[1] + a[2] * b[2], 0.0};
  turn.s = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  if (turn.s > 0.0) {
    turn.k[0] = n[2] / turn.s;
    turn.k[1] = n[0] / turn.s;
    turn.k[2] = n[1] / turn.s;
  }
  return turn;
}

// L(p) and R(q): the matrices of x -> p x and x -> x q.
void LeftQuaternionMatrix(Matrix4 out, const Vector4 p) {
  const double rows[16] = {p[0], -p[1], -p[2], -p[3], p[1], p[0], -p[3], p[2],
                           p[2], p[3],  p[0],  -p[1], p[3], -p[2], p[1], p[0]};
  std::copy(rows, rows + 16, out);
}
void RightQuaternionMatrix(Matrix4 out, const Vector4 q) {
  const double rows[16] = {q[0], -q[1], -q[2], -q[3], q[1], q[0], q[3], -q[2],
                           q[2], -q[3], q[0],  q[1],  q[3], q[2], -q[1], q[0]};
  std::copy(rows, rows + 16, out);
}

}  // namespace

void SetIdentity3(Matrix3 m) { SetIdentity<3>(m); }
void SetIdentity4(Matrix4 m) { SetIdentity<4>(m); }
void CopyMatrix3(const Matrix3 source, Matrix3 destination) { std::copy(source, source + 9, destination); }
void CopyMatrix4(const Matrix4 source, Matrix4 destination) { std::copy(source, source + 16, destination); }
void TransposeMatrix3(Matrix3 m) { Transpose<3>(m); }
void TransposeMatrix4(Matrix4 m) { Transpose<4>(m); }
void MultiplyMatrix3(const Matrix3 a, const Matrix3 b, Matrix3 out) { Multiply<3>(a, b, out); }
void MultiplyMatrix4(const Matrix4 a, const Matrix4 b, Matrix4 out) { Multiply<4>(a, b, out); }

void TransformVector3(Vector3 out, const Matrix3 m, const Vector3 v) {
  double r[3];
  for (int i = 0; i < 3; ++i) r[i] = m[3 * i] * v[0] + m[3 * i + 1] * v[1] + m[3 * i + 2] * v[2];
  std::copy(r, r + 3, out);
}

void TransformVector3Transposed(Vector3 out, const Matrix3 m, const Vector3 v) {
  double r[3];
  for (int i = 0; i < 3; ++i) r[i] = m[i] * v[0] + m[3 + i] * v[1] + m[6 + i] * v[2];
  std::copy(r, r + 3, out);
}

void TransformPoint4(Vector4 out, const Matrix4 m, const Vector4 v) {
  double r[4];
  for (int i = 0; i < 4; ++i) {
    r[i] = m[4 * i] * v[0] + m[4 * i + 1] * v[1] + m[4 * i + 2] * v[2] + m[4 * i + 3] * v[3];
  }
  std::copy(r, r + 4, out);
}

bool Vectors3NearlyEqual(const Matrix3 a, const Matrix3 b) { return NearlyEqual<3>(a, b); }
bool Vectors4NearlyEqual(const Matrix4 a, const Matrix4 b) { return NearlyEqual<4>(a, b); }

void OrthonormalizeMatrix3(Matrix3 m) {
  Normalise(m + 3, 3);
  Cross3(m, m + 3, m + 6);
  Normalise(m, 3);
  Cross3(m + 6, m, m + 3);
  Normalise(m + 6, 3);
}

void OrthonormalizeMatrix4(Matrix4 m) {
  double* row0 = m;
  double* row1 = m + 4;
  double* row2 = m + 8;
  double* row3 = m + 12;
  Normalise(row1, 4);
  Cross4(row0, row1, row2, row3);
  Normalise(row0, 4);
  Cross4(row2, row3, row0, row1);
  Normalise(row2, 4);
  Cross4(row3, row1, row0, row2);
  Normalise(row3, 4);
}

void ConjugateRotation3(const Matrix3 a, Matrix3 b) {
  Conjugate<3>(a, b);
  OrthonormalizeMatrix3(b);
}

void ConjugateRotation4(const Matrix4 a, Matrix4 b) {
  Conjugate<4>(a, b);
  OrthonormalizeMatrix4(b);
}

void Cross4(Vector4 out, const Vector4 a, const Vector4 b, const Vector4 c) {
  const double q01 = b[0] * c[1] - b[1] * c[0];
  const double q02 = b[0] * c[2] - b[2] * c[0];
  const double q03 = b[0] * c[3] - b[3] * c[0];
  const double q12 = b[1] * c[2] - b[2] * c[1];
  const double q13 = b[1] * c[3] - b[3] * c[1];
  const double q23 = b[2] * c[3] - b[3] * c[2];
  const double r[4] = {a[1] * q23 - a[2] * q13 + a[3] * q12, -a[0] * q23 + a[2] * q03 - a[3] * q02,
                       a[0] * q13 - a[1] * q03 + a[3] * q01, -a[0] * q12 + a[1] * q02 - a[2] * q01};
  std::copy(r, r + 4, out);
}

void AxisAngleToMatrix3(Matrix3 out, const Vector3 axis, double angle) {
  RodriguesMatrix(out, axis, std::cos(angle), std::sin(angle));
}

void RotationMatrixToAxisAngle(Vector3 axis, double* angle, const Matrix3 m) {
  const double cosine = 0.5 * (m[0] + m[4] + m[8] - 1.0);
  *angle = std::acos(std::clamp(cosine, -1.0, 1.0));
  const double d = 2.0 * std::sin(*angle);
  axis[0] = (m[5] - m[7]) / d;
  axis[1] = (m[6] - m[2]) / d;
  axis[2] = (m[1] - m[3]) / d;
}

void MakeDefaultViewOrientation(Matrix3 out) {
  Matrix3 a, b;
  SetIdentity3(a);
  SetIdentity3(b);
  a[0] = std::cos(0.3);
  a[1] = std::sin(0.3);
  a[3] = -std::sin(0.3);
  a[4] = std::cos(0.3);
  b[0] = std::cos(-kPi / 6);
  b[2] = std::sin(-kPi / 6);
  b[6] = -std::sin(-kPi / 6);
  b[8] = std::cos(-kPi / 6);
  MultiplyMatrix3(a, b, out);
}

void DoubleRotationMatrix4(Matrix4 out, const Vector3 axis1, const Vector3 axis2, double angle1, double angle2) {
  const double s1 = std::sin(angle1 / 2), s2 = std::sin(angle2 / 2);
  const Vector4 p = {std::cos(angle1 / 2), s1 * axis1[0], s1 * axis1[1], s1 * axis1[2]};
  const Vector4 q = {std::cos(angle2 / 2), s2 * axis2[0], s2 * axis2[1], s2 * axis2[2]};
  Matrix4 left, right;
  LeftQuaternionMatrix(left, p);
  RightQuaternionMatrix(right, q);
  MultiplyMatrix4(left, right, out);
}

void DoubleRotationFromMatrix4(Vector3 axis1, double* angle1, Vector3 axis2, double* angle2, const Matrix4 m) {
  auto at = [m](int i, int j) { return m[4 * i + j]; };
  const double h0 = (at(0, 0) + at(1, 1) + at(2, 2) + at(3, 3)) / 4;
  const double h1 = (at(1, 0) - at(0, 1) + at(2, 3) - at(3, 2)) / 4;
  const double h2 = (at(2, 0) + at(3, 1) - at(0, 2) - at(1, 3)) / 4;
  const double h3 = (at(1, 2) + at(3, 0) - at(2, 1) - at(0, 3)) / 4;
  const double n = std::sqrt(h0 * h0 + h1 * h1 + h2 * h2 + h3 * h3);
  const double c1 = h0 / n;
  const double a1 = 2 * std::acos(n);
  const double s = std::sqrt(1 - n * n);
  Vector3 e1 = {((at(3, 2) + at(1, 0) - at(0, 1) - at(2, 3)) / 4) / c1 / s,
                ((at(1, 3) + at(2, 0) - at(3, 1) - at(0, 2)) / 4) / c1 / s,
                ((at(3, 0) + at(2, 1) - at(1, 2) - at(0, 3)) / 4) / c1 / s};
  Normalise(e1, 3);
  const double a2 = 2 * std::acos(c1);
  const double s2 = std::sqrt(1 - c1 * c1);
  Vector3 e2 = {h1 / n / s2, h2 / n / s2, h3 / n / s2};
  Normalise(e2, 3);
  bool finite = true;
  for (int i = 0; i < 3; ++i) finite = finite && std::isfinite(e1[i]) && std::isfinite(e2[i]);
  for (int i = 0; i < 3; ++i) {
    axis1[i] = finite ? e1[i] : 0.0;
    axis2[i] = finite ? e2[i] : 0.0;
  }
  *angle1 = finite ? a1 : 0.0;
  *angle2 = finite ? a2 : 0.0;
}

void TrackballVector(QDPoint point, QDPoint centre, double radius, Vector3 out) {
  const double r = radius >= 1.0 ? radius : 1.0;
  const double x = double(int32_t(point.h) - centre.h) / r;
  const double y = double(int32_t(centre.v) - point.v) / r;
  const double q = x * x + y * y;
  if (q < 1.0) {
    out[0] = x;
    out[1] = y;
    out[2] = std::sqrt(1.0 - q);
  } else {
    const double length = std::sqrt(q);
    out[0] = x / length;
    out[1] = y / length;
    out[2] = 0.0;
  }
}

void RotationBetweenVectors3(Matrix3 out, const Vector3 a, const Vector3 b) {
  const TrackballTurn turn = TurnBetween(a, b);
  RodriguesMatrix(out, turn.k, turn.c, turn.s);
}

void RotationBetweenVectors4(Matrix4 out, const Vector3 a, const Vector3 b, int32_t kind) {
  SetIdentity4(out);
  if (kind != 1 && kind != 2) return;
  const TrackballTurn turn = TurnBetween(a, b);
  Matrix3 m;
  RodriguesMatrix(m, turn.k, turn.c, turn.s);
  static constexpr int kTurnXYZ[3] = {0, 1, 2};
  static constexpr int kTurnYZW[3] = {3, 1, 2};
  const int* place = kind == 1 ? kTurnXYZ : kTurnYZW;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) out[4 * place[i] + place[j]] = m[3 * i + j];
  }
}

void TrackballRotation3(QDPoint p1, QDPoint p2, QDPoint centre, double radius, Matrix3 out) {
  Vector3 a, b;
  TrackballVector(p1, centre, radius, a);
  TrackballVector(p2, centre, radius, b);
  RotationBetweenVectors3(out, a, b);
}

void TrackballRotation4(QDPoint p1, QDPoint p2, QDPoint centre, double radius, Matrix4 out, int32_t kind) {
  Vector3 a, b;
  TrackballVector(p1, centre, radius, a);
  TrackballVector(p2, centre, radius, b);
  RotationBetweenVectors4(out, a, b, kind);
}

QDPoint TrackballCentre(const QDRect& rect) {
  return MakePoint((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
}

double TrackballRadius(const QDRect& rect) { return std::trunc(0.4 * std::min(RectWidth(rect), RectHeight(rect))); }

double DragSpinSpeed(double angle, double seconds) {
  const double speed = angle / seconds;
  return speed > 0.0 ? std::min(speed, 4 * kPi) : 0.0;
}
