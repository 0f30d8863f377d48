// Rotation arithmetic of the 3D and 4D views: 3x3 and 4x4 matrices stored row-major (element
// (i, j) at n i + j) acting on column vectors (M v), their products and transforms, the tolerant
// comparison the document writer uses, re-orthonormalisation after many products, rotations from
// an axis and an angle, the 4D cross product, the mouse trackball, and the pair of unit
// quaternions (left, right) that describes any 4D rotation. Every routine writes caller storage,
// allocates nothing, and may be given the same array as input and output.
//
// Conventions callers rely on: a rotation built from an axis k, cosine c and sine s is the
// matrix M(k, c, s) below, which turns column vectors by -angle about k (right-hand rule); the
// trackball permutes its axis so that screen depth, right and up become coordinates 0, 1 and 2,
// matching the camera (eye on +x, up +z).
#pragma once

#include <cstdint>

#include "platform/draw/qd_geometry.h"

using Matrix3 = double[9];
using Matrix4 = double[16];
using Vector3 = double[3];
using Vector4 = double[4];

void SetIdentity3(Matrix3 m);
void SetIdentity4(Matrix4 m);
void CopyMatrix3(const Matrix3 source, Matrix3 destination);
void CopyMatrix4(const Matrix4 source, Matrix4 destination);
// In place.
void TransposeMatrix3(Matrix3 m);
void TransposeMatrix4(Matrix4 m);
// out = a b; out may be a or b.
void MultiplyMatrix3(const Matrix3 a, const Matrix3 b, Matrix3 out);
void MultiplyMatrix4(const Matrix4 a, const Matrix4 b, Matrix4 out);
// out = m v, out = m^T v, and the 4x4 m v; out may be v.
void TransformVector3(Vector3 out, const Matrix3 m, const Vector3 v);
void TransformVector3Transposed(Vector3 out, const Matrix3 m, const Vector3 v);
void TransformPoint4(Vector4 out, const Matrix4 m, const Vector4 v);

// True unless some element pair differs by more than 8 machine epsilons (2^-52): a difference of
// exactly 8 epsilons counts as equal, and so does a pair holding a NaN (it is never "more").
// Despite the name they compare matrices; the document writer omits a view matrix equal to its
// default by them.
bool Vectors3NearlyEqual(const Matrix3 a, const Matrix3 b);
bool Vectors4NearlyEqual(const Matrix4 a, const Matrix4 b);

// Row 1 keeps its direction and is normalised; row 0 = unit(row1 x row2); row 2 =
// unit(row0 x row1), with the new row 0.
void OrthonormalizeMatrix3(Matrix3 m);
// Row 1 normalised; row 0 = unit(Cross4(row1, row2, row3)); row 2 = unit(Cross4(row3, row0,
// row1)); row 3 = unit(Cross4(row1, row0, row2)); each step uses the rows already replaced.
void OrthonormalizeMatrix4(Matrix4 m);
// b = orthonormalised a b a^T: a rotation b given in the frame of a, in world terms.
void ConjugateRotation3(const Matrix3 a, Matrix3 b);
void ConjugateRotation4(const Matrix4 a, Matrix4 b);
// The vector orthogonal to a, b and c (the argument order fixes the sign: Cross4(e1, e2, e3) = e0).
void Cross4(Vector4 out, const Vector4 a, const Vector4 b, const Vector4 c);

// out = M(axis, cos angle, sin angle); the axis is used as given (unit length expected).
void AxisAngleToMatrix3(Matrix3 out, const Vector3 axis, double angle);
// angle = acos((trace - 1) / 2), the argument clamped into [-1, 1] (rounding after tiny drags
// takes it past 1), and axis = (m12 - m21, m20 - m02, m01 - m10) / (2 sin angle). The identity
// gives angle 0 and an axis of NaNs (0 / 0): callers keep their previous axis then.
void RotationMatrixToAxisAngle(Vector3 axis, double* angle, const Matrix3 m);
// The default orientation of a 3D view: a 0.3 rad turn in the (0, 1) plane times a -pi/6 turn in
// the (0, 2) plane.
void MakeDefaultViewOrientation(Matrix3 out);

// The matrix of x -> p x q for the unit quaternions p = (cos(angle1/2), sin(angle1/2) axis1) and
// q = (cos(angle2/2), sin(angle2/2) axis2), a 4-vector being x0 + x1 i + x2 j + x3 k.
void DoubleRotationMatrix4(Matrix4 out, const Vector3 axis1, const Vector3 axis2, double angle1, double angle2);
// The inverse: axes and angles (angles in [0, pi]) with DoubleRotationMatrix4(result) = m for a
// rotation m whose angles lie in (0, pi). When any axis component comes out not finite (the
// identity, a NaN matrix, or rounding past the domain of acos), both axes and angles are zero.
void DoubleRotationFromMatrix4(Vector3 axis1, double* angle1, Vector3 axis2, double* angle2, const Matrix4 m);

// The point on the unit trackball under a screen point: x = (h - centre.h) / radius, y =
// (centre.v - v) / radius, z = sqrt(1 - x^2 - y^2) inside the ball; outside it the point lands on
// the rim ((x, y) normalised, z = 0). A radius below 1 counts as 1.
void TrackballVector(QDPoint point, QDPoint centre, double radius, Vector3 out);
// The rotation turning the trackball from a to b: n = b x a, s = |n|, c = a.b, axis k = (n.z,
// n.x, n.y) / s, out = M(k, c, s); c times the identity when s is 0.
void RotationBetweenVectors3(Matrix3 out, const Vector3 a, const Vector3 b);
// The same in 4D: kind 1 turns x, y, z (M in rows and columns 0..2, 1 at (3, 3)); kind 2 turns
// y, z, w (M[i][j] at (s(i), s(j)) with s = (3, 1, 2), 1 at (0, 0)). Any other kind gives the
// identity.
void RotationBetweenVectors4(Matrix4 out, const Vector3 a, const Vector3 b, int32_t kind);
// RotationBetweenVectors of the trackball vectors of p1 and p2; the views pass the new mouse
// point as p1 and the previous one as p2.
void TrackballRotation3(QDPoint p1, QDPoint p2, QDPoint centre, double radius, Matrix3 out);
void TrackballRotation4(QDPoint p1, QDPoint p2, QDPoint centre, double radius, Matrix4 out, int32_t kind);
// The trackball of a view's rectangle: its centre, and its radius, 0.4 of the smaller side
// truncated to whole pixels.
QDPoint TrackballCentre(const QDRect& rect);
double TrackballRadius(const QDRect& rect);
// The spin speed a drag step leaves: the angle over the seconds it took, within [0, 4 pi]; not a
// number (a step of no time) gives 0.
double DragSpinSpeed(double angle, double seconds);
