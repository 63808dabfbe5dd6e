#include <gtest/gtest.h>

#include <cmath>

#include "Quaternion.h"

namespace {

constexpr double kPi = 3.141592653589793;

void ExpectQuat(const Quaternion &q, double w, double x, double y, double z, double tol = 1e-12) {
    EXPECT_NEAR(q.w(), w, tol);
    EXPECT_NEAR(q.x(), x, tol);
    EXPECT_NEAR(q.y(), y, tol);
    EXPECT_NEAR(q.z(), z, tol);
}

TEST(VectorMath, CrossDotNorm) {
    const Vector3 c = Cross(Vector3(1, 2, 3), Vector3(4, 5, 6));
    EXPECT_EQ(c[0], -3.0);
    EXPECT_EQ(c[1], 6.0);
    EXPECT_EQ(c[2], -3.0);
    EXPECT_EQ(Norm2(Vector3(3, 4, 12)), 13.0);
    // (1e16 + 1) rounds back to 1e16: summed in element order the result is 0.
    EXPECT_EQ(Dot(Vector3(1e16, 1.0, -1e16), Vector3(1, 1, 1)), 0.0);
}

TEST(QuaternionTest, ConstructorsProductAndInverse) {
    ExpectQuat(Quaternion(0.0, 0.0, 0.0), 1, 0, 0, 0, 0);
    const Quaternion b(0.7, Vector3(1, 0, 0));
    ExpectQuat(Quaternion(0.7, 0.0, 0.0), b.w(), b.x(), b.y(), b.z());
    ExpectQuat(Quaternion(kPi / 2, Vector3(0, 0, 5)), std::sqrt(0.5), 0, 0, std::sqrt(0.5));
    // Three angles compose as qz * qy * qx, not the other way round.
    const Quaternion zyx =
        (Quaternion(1.1, Vector3(0, 0, 1)) * Quaternion(-0.5, Vector3(0, 1, 0))) *
        Quaternion(0.3, Vector3(1, 0, 0));
    ExpectQuat(Quaternion(0.3, -0.5, 1.1), zyx.w(), zyx.x(), zyx.y(), zyx.z());
    ExpectQuat(Quaternion(0, 1, 0, 0) * Quaternion(0, 0, 1, 0), 0, 0, 0, 1, 0);  // i j = k
    ExpectQuat(2.0 / Quaternion(1, 2, 3, 4), 0.5, 1, 1.5, 2, 0);                 // divisor first
    const Quaternion u(0.4, Vector3(1, -2, 0.5));
    ExpectQuat(u * u.i(), 1, 0, 0, 0, 1e-15);
}

TEST(QuaternionTest, RotationMatrix) {
    const linalg::matrix<double> id = Quaternion().RotationMatrix();
    const Matrix3 g = Quaternion(0.3, -0.5, 1.1).RotationMatrix3();
    const linalg::matrix<double> h = Quaternion(0.3, -0.5, 1.1).RotationMatrix();
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(id(r, c), r == c ? 1.0 : 0.0);
            EXPECT_EQ(g.m[r][c], h(r, c));  // heap-free form, same bits
        }
    }
    EXPECT_NEAR(Quaternion(kPi / 2, Vector3(0, 0, 1)).RotationMatrix3().m[1][0], 1.0, 1e-15);
}

}  // namespace
