#include <gtest/gtest.h>

#include <cmath>

#include "Quaternion.h"

namespace {

constexpr double kPi = 3.141592653589793;

void ExpectQuat(const Quaternion& q, double w, double x, double y, double z, double tol = 1e-12) {
  EXPECT_NEAR(q.w(), w, tol);
  EXPECT_NEAR(q.x(), x, tol);
  EXPECT_NEAR(q.y(), y, tol);
  EXPECT_NEAR(q.z(), z, tol);
}

TEST(VectorMath, CrossDotNorm) {
  const Vector3 a(1, 2, 3), b(4, 5, 6);
  const Vector3 c = Cross(a, b);
  EXPECT_EQ(c[0], -3.0);
  EXPECT_EQ(c[1], 6.0);
  EXPECT_EQ(c[2], -3.0);
  const Vector3 ex(1, 0, 0), ey(0, 1, 0);
  EXPECT_EQ(Cross(ex, ey)[2], 1.0);
  EXPECT_EQ(Cross(ey, ex)[2], -1.0);
  EXPECT_EQ(Dot(a, b), 32.0);
  EXPECT_EQ(Norm2(Vector3(3, 4, 12)), 13.0);
}

TEST(VectorMath, SumsRunInElementOrder) {
  // (1e16 + 1) rounds back to 1e16, so the ordered sum is 0; any other order gives 1 or 2.
  const Vector3 a(1e16, 1.0, -1e16), ones(1, 1, 1);
  EXPECT_EQ(Dot(a, ones), 0.0);
  const Vector3 r(1e8, 1.0, -1e8);
  EXPECT_EQ(Norm2(r), std::sqrt((1e16 + 1.0) + 1e16));
}

TEST(VectorMath, ShorterVectors) {
  const double v[2] = {3.0, 4.0};
  const Vector3 a(v, 2);
  EXPECT_EQ(a.size(), 2u);
  EXPECT_EQ(Norm2(a), 5.0);
  EXPECT_EQ(Dot(a, a), 25.0);
}

TEST(QuaternionTest, Constructors) {
  ExpectQuat(Quaternion(), 1, 0, 0, 0, 0);
  const Quaternion zero(0.0, 0.0, 0.0);
  EXPECT_EQ(zero.w(), 1.0);
  EXPECT_EQ(zero.x(), 0.0);
  EXPECT_EQ(zero.y(), 0.0);
  EXPECT_EQ(zero.z(), 0.0);

  // One angle about X equals the axis-angle rotation about (1, 0, 0).
  const double rx = 0.7;
  const Quaternion a(rx, 0.0, 0.0), b(rx, Vector3(1, 0, 0));
  ExpectQuat(a, b.w(), b.x(), b.y(), b.z());
  ExpectQuat(a, std::cos(rx / 2), std::sin(rx / 2), 0, 0);

  // The axis is normalised.
  const Quaternion c(kPi / 2, Vector3(0, 0, 5));
  ExpectQuat(c, std::sqrt(0.5), 0, 0, std::sqrt(0.5));
}

TEST(QuaternionTest, ThreeAnglesComposeZThenYThenX) {
  const double rx = 0.3, ry = -0.5, rz = 1.1;
  const Quaternion q(rx, ry, rz);
  const Quaternion expected =
      (Quaternion(rz, Vector3(0, 0, 1)) * Quaternion(ry, Vector3(0, 1, 0))) * Quaternion(rx, Vector3(1, 0, 0));
  ExpectQuat(q, expected.w(), expected.x(), expected.y(), expected.z());
  // The other order is a different rotation.
  const Quaternion other =
      (Quaternion(rx, Vector3(1, 0, 0)) * Quaternion(ry, Vector3(0, 1, 0))) * Quaternion(rz, Vector3(0, 0, 1));
  EXPECT_GT(std::fabs(other.x() - q.x()) + std::fabs(other.z() - q.z()), 1e-3);
}

TEST(QuaternionTest, HamiltonProduct) {
  const Quaternion i(0, 1, 0, 0), j(0, 0, 1, 0), k(0, 0, 0, 1);
  ExpectQuat(i * j, 0, 0, 0, 1, 0);
  ExpectQuat(j * i, 0, 0, 0, -1, 0);
  ExpectQuat(j * k, 0, 1, 0, 0, 0);
  ExpectQuat(i * i, -1, 0, 0, 0, 0);
  const Quaternion p(1, 2, 3, 4), q(5, 6, 7, 8);
  ExpectQuat(p * q, -60, 12, 30, 24, 0);
}

TEST(QuaternionTest, ConjugateNormInverse) {
  const Quaternion p(1, 2, 3, 4);
  ExpectQuat(p.conjugate(), 1, -2, -3, -4, 0);
  EXPECT_EQ(p.norm(), std::sqrt(30.0));

  // operator/ takes the divisor first.
  ExpectQuat(2.0 / p, 0.5, 1, 1.5, 2, 0);

  // i() is conjugate / norm: the inverse for unit quaternions only.
  const double n = std::sqrt(30.0);
  ExpectQuat(p.i(), 1 / n, -2 / n, -3 / n, -4 / n);
  const Quaternion u(0.4, Vector3(1, -2, 0.5));
  ExpectQuat(u * u.i(), 1, 0, 0, 0, 1e-15);
  ExpectQuat(u.i() * u, 1, 0, 0, 0, 1e-15);
}

TEST(QuaternionTest, SetV) {
  Quaternion q;
  q.set_v(Vector3(7, 8, 9));
  ExpectQuat(q, 1, 7, 8, 9, 0);
}

TEST(QuaternionTest, RotationMatrix) {
  const linalg::matrix<double> id = Quaternion().RotationMatrix();
  ASSERT_EQ(id.RowNo(), 3u);
  ASSERT_EQ(id.ColNo(), 3u);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(id(r, c), r == c ? 1.0 : 0.0);

  // 90 degrees about Z maps X onto Y: column 0 is (0, 1, 0).
  const Quaternion qz(kPi / 2, Vector3(0, 0, 1));
  const linalg::matrix<double> m = qz.RotationMatrix();
  const double expected[3][3] = {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(m(r, c), expected[r][c], 1e-15) << r << "," << c;

  // The heap-free form gives the same bits.
  const Quaternion g(0.3, -0.5, 1.1);
  const Matrix3 f = g.RotationMatrix3();
  const linalg::matrix<double> h = g.RotationMatrix();
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(f.m[r][c], h(r, c));
  // Each entry from its own formula: row 1, column 2 is 2(yz - xw).
  EXPECT_EQ(f.m[1][2], 2 * (g.y() * g.z() - g.x() * g.w()));
  EXPECT_EQ(f.m[2][1], 2 * (g.y() * g.z() + g.x() * g.w()));
}

}  // namespace
