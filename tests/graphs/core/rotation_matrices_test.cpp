// The rotation arithmetic of the 3D and 4D views. Golden values are worked by hand from the
// definitions (the trackball points, the 0.6/0.8 turn, the plane rotations) or computed
// independently in long double (the default orientation); the rest are properties: products in
// place, round trips through axis and angle and through the quaternion pair, orthogonality of the
// 4D cross product, orthonormality kept over 10,000 composed rotations.
#include "graphs/core/rotation_matrices.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "kernel/numeric/numeric_constants.h"

namespace {

constexpr double kEps = 0x1p-52;
const double kNaN = std::nan("");

// Largest |M M^T - I| entry.
template <int N>
double OrthonormalityError(const double* m) {
  double worst = 0;
  for (int i = 0; i < N; ++i) {
    for (int j = 0; j < N; ++j) {
      double dot = 0;
      for (int k = 0; k < N; ++k) dot += m[N * i + k] * m[N * j + k];
      worst = std::max(worst, std::fabs(dot - (i == j ? 1.0 : 0.0)));
    }
  }
  return worst;
}

double Determinant3(const double* m) {
  return m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) + m[2] * (m[3] * m[7] - m[4] * m[6]);
}

template <int N>
void ExpectNear(const double* actual, const double* expected, double tolerance) {
  for (int i = 0; i < N * N; ++i) EXPECT_NEAR(actual[i], expected[i], tolerance) << "element " << i;
}

struct RandomRotations {
  std::mt19937_64 engine{20240611};
  double Uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(engine); }
  void UnitAxis(Vector3 k) {
    double n = 0;
    do {
      for (int i = 0; i < 3; ++i) k[i] = Uniform(-1, 1);
      n = std::sqrt(k[0] * k[0] + k[1] * k[1] + k[2] * k[2]);
    } while (n < 0.1 || n > 1);
    for (int i = 0; i < 3; ++i) k[i] /= n;
  }
  void Matrix4(double* m) {  // a random 4D rotation from a random quaternion pair
    Vector3 a, b;
    UnitAxis(a);
    UnitAxis(b);
    DoubleRotationMatrix4(m, a, b, Uniform(0, 3), Uniform(0, 3));
  }
};

TEST(RotationMatrices, ProductsMayOverwriteEitherFactorAndTransposeTwiceRestores) {
  RandomRotations random;
  double a[16], b[16], expected[16];
  for (double& x : a) x = random.Uniform(-2, 2);
  for (double& x : b) x = random.Uniform(-2, 2);
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      expected[4 * i + j] = 0;
      for (int k = 0; k < 4; ++k) expected[4 * i + j] += a[4 * i + k] * b[4 * k + j];
    }
  }
  double intoA[16], intoB[16];
  CopyMatrix4(a, intoA);
  CopyMatrix4(b, intoB);
  MultiplyMatrix4(intoA, b, intoA);
  MultiplyMatrix4(a, intoB, intoB);
  ExpectNear<4>(intoA, expected, 1e-15);
  ExpectNear<4>(intoB, expected, 1e-15);
  double t[16];
  CopyMatrix4(a, t);
  TransposeMatrix4(t);
  EXPECT_EQ(t[1], a[4]);
  TransposeMatrix4(t);
  ExpectNear<4>(t, a, 0);
  double a3[9] = {1, 2, 3, 4, 5, 6, 7, 8, 10}, b3[9] = {0, 1, 0, -1, 0, 0, 0, 0, 1};
  const double expected3[9] = {-2, 1, 3, -5, 4, 6, -8, 7, 10};  // a3 times the quarter turn, by hand
  MultiplyMatrix3(a3, b3, b3);
  ExpectNear<3>(b3, expected3, 0);
}

TEST(RotationMatrices, TransformsMultiplyColumnVectors) {
  const double m[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  double v[3] = {1, 0, -1};
  double out[3];
  TransformVector3(out, m, v);
  EXPECT_TRUE(out[0] == -2 && out[1] == -2 && out[2] == -2);
  TransformVector3Transposed(out, m, v);
  EXPECT_TRUE(out[0] == -6 && out[1] == -6 && out[2] == -6);
  TransformVector3(v, m, v);  // in place
  EXPECT_TRUE(v[0] == -2 && v[1] == -2 && v[2] == -2);
  double m4[16];
  SetIdentity4(m4);
  m4[3] = 5;  // x += 5 w
  double p[4] = {1, 2, 3, 2};
  TransformPoint4(p, m4, p);
  EXPECT_TRUE(p[0] == 11 && p[1] == 2 && p[2] == 3 && p[3] == 2);
}

TEST(RotationMatrices, NearlyEqualAllowsEightEpsilonsAndNaN) {
  struct Case {
    double difference;
    bool equal;
  } cases[] = {{0, true}, {8 * kEps, true}, {9 * kEps, false}, {-9 * kEps, false}, {kNaN, true}, {1e300, false}};
  for (const Case& c : cases) {
    double a[9], b[9], a4[16], b4[16];
    SetIdentity3(a);
    SetIdentity3(b);
    SetIdentity4(a4);
    SetIdentity4(b4);
    a[5] = a4[11] = 0.0;
    b[5] = b4[11] = c.difference;
    EXPECT_EQ(Vectors3NearlyEqual(a, b), c.equal) << c.difference;
    EXPECT_EQ(Vectors4NearlyEqual(a4, b4), c.equal) << c.difference;
  }
}

TEST(RotationMatrices, TrackballVectorsOnAndOffTheBall) {
  const QDPoint centre = MakePoint(100, 100);  // h, v
  struct Case {
    int32_t h, v;
    double x, y, z;
  } cases[] = {
      {100, 100, 0, 0, 1},                    // the centre
      {150, 100, 0.5, 0, 0.8660254037844386},  // right, half the radius
      {300, 100, 1, 0, 0},                    // beyond the radius: on the rim
      {100, 40, 0, 0.6, 0.8},                 // up is +y
      {200, 100, 1, 0, 0},                    // exactly on the rim
      {0, 200, -std::sqrt(0.5), -std::sqrt(0.5), 0},
  };
  for (const Case& c : cases) {
    double out[3];
    TrackballVector(MakePoint(c.h, c.v), centre, 100, out);
    EXPECT_NEAR(out[0], c.x, 1e-15) << c.h << "," << c.v;
    EXPECT_NEAR(out[1], c.y, 1e-15) << c.h << "," << c.v;
    EXPECT_NEAR(out[2], c.z, 1e-15) << c.h << "," << c.v;
  }
  double out[3];
  TrackballVector(MakePoint(103, 100), centre, 0, out);  // a radius below 1 counts as 1: no inf
  EXPECT_TRUE(out[0] == 1 && out[1] == 0 && out[2] == 0);
}

TEST(RotationMatrices, RotationBetweenTrackballVectors) {
  const double a[3] = {0.6, 0, 0.8}, b[3] = {0, 0, 1};
  double m[9];
  RotationBetweenVectors3(m, a, b);
  const double expected[9] = {0.8, 0.6, 0, -0.6, 0.8, 0, 0, 0, 1};
  ExpectNear<3>(m, expected, 1e-15);
  RotationBetweenVectors3(m, a, a);
  double identity[9];
  SetIdentity3(identity);
  ExpectNear<3>(m, identity, 1e-15);

  double m4[16];
  RotationBetweenVectors4(m4, a, b, 2);  // the screen depth becomes w
  EXPECT_NEAR(m4[15], 0.8, 1e-15);
  EXPECT_NEAR(m4[13], 0.6, 1e-15);
  EXPECT_NEAR(m4[7], -0.6, 1e-15);
  EXPECT_NEAR(m4[5], 0.8, 1e-15);
  EXPECT_TRUE(m4[0] == 1 && m4[10] == 1 && m4[1] == 0 && m4[4] == 0);
  RotationBetweenVectors4(m4, a, b, 1);
  EXPECT_NEAR(m4[0], 0.8, 1e-15);
  EXPECT_NEAR(m4[1], 0.6, 1e-15);
  EXPECT_TRUE(m4[15] == 1 && m4[3] == 0 && m4[12] == 0);
  for (int32_t kind : {0, 3, -1}) {  // other kinds: the identity, never stale storage
    for (double& x : m4) x = kNaN;
    RotationBetweenVectors4(m4, a, b, kind);
    double identity4[16];
    SetIdentity4(identity4);
    ExpectNear<4>(m4, identity4, 0);
  }
  // Antipodal rim points: -I made orthonormal is a half turn, never NaN.
  const double left[3] = {-1, 0, 0}, right[3] = {1, 0, 0};
  RotationBetweenVectors3(m, left, right);
  OrthonormalizeMatrix3(m);
  EXPECT_LT(OrthonormalityError<3>(m), 1e-15);
  EXPECT_NEAR(Determinant3(m), 1.0, 1e-15);
}

TEST(RotationMatrices, DefaultViewOrientation) {
  // A (0.3 rad in the (0, 1) plane) times B (-pi/6 in the (0, 2) plane), multiplied out in long
  // double.
  const long double c3 = std::cos(0.3L), s3 = std::sin(0.3L), c6 = std::cos(-M_PIl / 6), s6 = std::sin(-M_PIl / 6);
  const long double expected[9] = {c3 * c6, s3, c3 * s6, -s3 * c6, c3, -s3 * s6, -s6, 0, c6};
  double m[9];
  MakeDefaultViewOrientation(m);
  for (int i = 0; i < 9; ++i) EXPECT_NEAR(m[i], double(expected[i]), 1e-15) << i;
  const double rounded[9] = {0.827345668745, 0.295520206661, -0.477668244563, -0.255928006300, 0.955336489126,
                             0.147760103331, 0.5,            0,              0.866025403784};
  for (int i = 0; i < 9; ++i) EXPECT_NEAR(m[i], rounded[i], 5e-13) << i;
}

TEST(RotationMatrices, AxisAngleRoundTripsAndTheIdentityHasNoAxis) {
  RandomRotations random;
  for (int n = 0; n < 1000; ++n) {
    double k[3], m[9], axis[3], angle = 0;
    random.UnitAxis(k);
    const double theta = random.Uniform(0.01, kPi - 0.01);
    AxisAngleToMatrix3(m, k, theta);
    EXPECT_LT(OrthonormalityError<3>(m), 4e-15);
    RotationMatrixToAxisAngle(axis, &angle, m);
    ASSERT_NEAR(angle, theta, 1e-9) << n;
    for (int i = 0; i < 3; ++i) ASSERT_NEAR(axis[i], k[i], 1e-9) << n;
  }
  // The matrix turns column vectors by -angle: e1 about e2 by +90 degrees goes to +e3.
  const double y[3] = {0, 1, 0}, x[3] = {1, 0, 0};
  double m[9], out[3];
  AxisAngleToMatrix3(m, y, kPi / 2);
  TransformVector3(out, m, x);
  EXPECT_NEAR(out[0], 0, 1e-15);
  EXPECT_NEAR(out[2], 1, 1e-15);

  double identity[9], axis[3], angle = -1;
  SetIdentity3(identity);
  RotationMatrixToAxisAngle(axis, &angle, identity);
  EXPECT_EQ(angle, 0);
  EXPECT_TRUE(std::isnan(axis[0]) && std::isnan(axis[1]) && std::isnan(axis[2]));
  // A trace a rounding past 3 would give acos(1 + tiny) = NaN; the argument is clamped.
  identity[0] = identity[4] = identity[8] = 1 + 4 * kEps;
  RotationMatrixToAxisAngle(axis, &angle, identity);
  EXPECT_EQ(angle, 0);
}

TEST(RotationMatrices, DoubleRotationRoundTripsOnAThousandRandomPairs) {
  RandomRotations random;
  for (int n = 0; n < 1000; ++n) {
    double k1[3], k2[3], m[16], r1[3], r2[3], a1 = 0, a2 = 0;
    random.UnitAxis(k1);
    random.UnitAxis(k2);
    const double t1 = random.Uniform(0.01, kPi - 0.01), t2 = random.Uniform(0.01, kPi - 0.01);
    DoubleRotationMatrix4(m, k1, k2, t1, t2);
    ASSERT_LT(OrthonormalityError<4>(m), 1e-14);
    DoubleRotationFromMatrix4(r1, &a1, r2, &a2, m);
    ASSERT_NEAR(a1, t1, 1e-9) << n;
    ASSERT_NEAR(a2, t2, 1e-9) << n;
    for (int i = 0; i < 3; ++i) {
      ASSERT_NEAR(r1[i], k1[i], 1e-9) << n;
      ASSERT_NEAR(r2[i], k2[i], 1e-9) << n;
    }
  }
}

TEST(RotationMatrices, DoubleRotationEdgeCases) {
  double r1[3], r2[3], a1 = 7, a2 = 7;
  double identity[16], nan[16];
  SetIdentity4(identity);
  for (double& x : nan) x = kNaN;
  for (const double* m : {static_cast<const double*>(identity), static_cast<const double*>(nan)}) {
    DoubleRotationFromMatrix4(r1, &a1, r2, &a2, m);
    EXPECT_TRUE(a1 == 0 && a2 == 0);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(r1[i] == 0 && r2[i] == 0);
  }
  // The xy-plane rotation the 4D view's spin code 32 makes at 90 degrees: theta = pi/4 (it turns
  // by half the degrees given), R[0][0] = R[1][1] = cos, R[0][1] = sin, R[1][0] = -sin. Worked
  // by hand: p = q = (cos pi/8, -sin pi/8, 0, 0) and L(p) R(q) is that matrix.
  const double t = kPi / 4;
  double plane[16];
  SetIdentity4(plane);
  plane[0] = plane[5] = std::cos(t);
  plane[1] = std::sin(t);
  plane[4] = -std::sin(t);
  DoubleRotationFromMatrix4(r1, &a1, r2, &a2, plane);
  EXPECT_NEAR(a1, kPi / 4, 1e-12);
  EXPECT_NEAR(a2, kPi / 4, 1e-12);
  const double minusX[3] = {-1, 0, 0};
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(r1[i], minusX[i], 1e-12);
    EXPECT_NEAR(r2[i], minusX[i], 1e-12);
  }
  // Both quaternions about (1, 0, 0) by theta turn the (0, 1) plane by theta, (2, 3) not at all.
  const double e0[3] = {1, 0, 0};
  const double theta = 0.7;
  double m[16];
  DoubleRotationMatrix4(m, e0, e0, theta, theta);
  const double expected[16] = {std::cos(theta), -std::sin(theta), 0, 0, std::sin(theta), std::cos(theta), 0, 0,
                               0, 0, 1, 0, 0, 0, 0, 1};
  ExpectNear<4>(m, expected, 1e-15);
}

TEST(RotationMatrices, Cross4IsOrthogonalToItsArgumentsWithAFixedSign) {
  RandomRotations random;
  for (int n = 0; n < 200; ++n) {
    double a[4], b[4], c[4], out[4];
    for (double* v : {a, b, c})
      for (int i = 0; i < 4; ++i) v[i] = random.Uniform(-1, 1);
    Cross4(out, a, b, c);
    for (const double* v : {a, b, c}) {
      const double dot = out[0] * v[0] + out[1] * v[1] + out[2] * v[2] + out[3] * v[3];
      ASSERT_NEAR(dot, 0, 1e-14) << n;
    }
  }
  const double e[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
  double out[4];
  Cross4(out, e[1], e[2], e[3]);
  EXPECT_TRUE(out[0] == 1 && out[1] == 0 && out[2] == 0 && out[3] == 0);
  Cross4(out, e[2], e[1], e[3]);  // two arguments exchanged: the sign turns
  EXPECT_EQ(out[0], -1);
}

TEST(RotationMatrices, OrthonormalisingKeepsRotationsAndMendsPerturbedOnes) {
  RandomRotations random;
  for (int n = 0; n < 100; ++n) {
    double k[3], m[9], kept[9], m4[16], kept4[16];
    random.UnitAxis(k);
    AxisAngleToMatrix3(m, k, random.Uniform(-3, 3));
    CopyMatrix3(m, kept);
    OrthonormalizeMatrix3(kept);
    ExpectNear<3>(kept, m, 1e-15);
    random.Matrix4(m4);
    CopyMatrix4(m4, kept4);
    OrthonormalizeMatrix4(kept4);
    ExpectNear<4>(kept4, m4, 1e-15);
    for (double& x : m) x += random.Uniform(-0.01, 0.01);
    for (double& x : m4) x += random.Uniform(-0.01, 0.01);
    OrthonormalizeMatrix3(m);
    OrthonormalizeMatrix4(m4);
    ASSERT_LT(OrthonormalityError<3>(m), 1e-15) << n;
    ASSERT_NEAR(Determinant3(m), 1, 1e-15) << n;
    ASSERT_LT(OrthonormalityError<4>(m4), 1e-15) << n;
  }
}

// The views compose every frame (orientation = R orientation): free drags through the conjugated,
// re-orthonormalised trackball turn, spins through AxisAngleToMatrix3. Composed as they stand the
// products drift by about 1e-16 a step (1e-12 after 10,000); orthonormalising the orientation
// after each step, as the 3D view does, keeps it within rounding for good.
TEST(RotationMatrices, TenThousandComposedRotationsStayOrthonormal) {
  RandomRotations random;
  double dragged[9], raw[9], spun[9], orientation4[16];
  MakeDefaultViewOrientation(dragged);
  CopyMatrix3(dragged, raw);
  CopyMatrix3(dragged, spun);
  SetIdentity4(orientation4);
  const QDPoint centre = MakePoint(100, 100);
  for (int n = 0; n < 10000; ++n) {
    const QDPoint p1 = MakePoint(int32_t(random.Uniform(0, 200)), int32_t(random.Uniform(0, 200)));
    const QDPoint p2 = MakePoint(int32_t(random.Uniform(0, 200)), int32_t(random.Uniform(0, 200)));
    double r[9], rRaw[9];
    TrackballRotation3(p1, p2, centre, 80, r);
    CopyMatrix3(r, rRaw);
    ConjugateRotation3(dragged, r);
    MultiplyMatrix3(r, dragged, dragged);
    OrthonormalizeMatrix3(dragged);
    ConjugateRotation3(raw, rRaw);
    MultiplyMatrix3(rRaw, raw, raw);
    double k[3], step[9];
    random.UnitAxis(k);
    AxisAngleToMatrix3(step, k, random.Uniform(-0.35, 0.35));
    MultiplyMatrix3(step, spun, spun);
    OrthonormalizeMatrix3(spun);
    double r4[16];
    TrackballRotation4(p1, p2, centre, 80, r4, 1 + n % 2);
    ConjugateRotation4(orientation4, r4);
    MultiplyMatrix4(r4, orientation4, orientation4);
    OrthonormalizeMatrix4(orientation4);
  }
  EXPECT_LT(OrthonormalityError<3>(dragged), 1e-15);
  EXPECT_NEAR(Determinant3(dragged), 1, 1e-15);
  EXPECT_LT(OrthonormalityError<3>(spun), 1e-15);
  EXPECT_LT(OrthonormalityError<4>(orientation4), 1e-15);
  EXPECT_LT(OrthonormalityError<3>(raw), 1e-11);
  EXPECT_NEAR(Determinant3(raw), 1, 1e-11);
}

TEST(RotationMatrices, ConjugationCarriesAScreenTurnIntoTheFrame) {
  // With a = a quarter turn about z, a turn about x seen in a's frame is a turn about a x.
  const double z[3] = {0, 0, 1}, x[3] = {1, 0, 0};
  double a[9], b[9], expected[9], ax[3];
  AxisAngleToMatrix3(a, z, kPi / 2);
  AxisAngleToMatrix3(b, x, 0.4);
  TransformVector3(ax, a, x);
  AxisAngleToMatrix3(expected, ax, 0.4);
  ConjugateRotation3(a, b);
  ExpectNear<3>(b, expected, 1e-15);
}

}  // namespace
