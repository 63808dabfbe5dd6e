#include "Quaternion.h"

#include <cassert>
#include <cmath>

#include "FallDetectorMath.h"

Vector3::Vector3(const double *values, std::size_t count) : e{0.0, 0.0, 0.0}, n(count) {
    assert(count <= kCapacity);
    if (n > kCapacity)
        n = kCapacity;
    for (std::size_t i = 0; i < n; ++i) e[i] = values[i];
}

Vector3 Cross(const Vector3 &a, const Vector3 &b) {
    assert(a.size() == 3 && b.size() == 3);
    return Vector3(a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]);
}

double Dot(const Vector3 &a, const Vector3 &b) {
    assert(a.size() == b.size());
    double sum = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) sum += a[i] * b[i];
    return sum;
}

double Norm2(const Vector3 &a) {
    double sum = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) sum += a[i] * a[i];
    return std::sqrt(sum);
}

Vector3 operator*(double s, const Vector3 &v) {
    Vector3 r = v;
    for (std::size_t i = 0; i < v.size(); ++i) r[i] = s * v[i];
    return r;
}

Vector3 operator+(const Vector3 &a, const Vector3 &b) {
    assert(a.size() == b.size());
    Vector3 r = a;
    for (std::size_t i = 0; i < a.size(); ++i) r[i] = a[i] + b[i];
    return r;
}

Quaternion::Quaternion() : w_(1.0), v_(0.0, 0.0, 0.0) {}

Quaternion::Quaternion(double w, double x, double y, double z) : w_(w), v_(x, y, z) {}

Quaternion::Quaternion(double rx, double ry, double rz) : w_(1.0), v_() {
    const Quaternion qx(fdmath::cos(rx / 2), fdmath::sin(rx / 2), 0.0, 0.0);
    const Quaternion qy(fdmath::cos(ry / 2), 0.0, fdmath::sin(ry / 2), 0.0);
    const Quaternion qz(fdmath::cos(rz / 2), 0.0, 0.0, fdmath::sin(rz / 2));
    *this = (qz * qy) * qx;
}

Quaternion::Quaternion(double angle, const Vector3 &axis) : w_(1.0), v_() {
    assert(axis.size() == 3);
    const double s = fdmath::sin(angle / 2);
    const double len = Norm2(axis);
    const Vector3 scaled = s * axis;
    for (std::size_t i = 0; i < 3; ++i) v_[i] = scaled[i] / len;
    w_ = fdmath::cos(angle / 2);
}

void Quaternion::set_v(const Vector3 &v) {
    assert(v.size() == 3);
    v_ = v;
}

Quaternion Quaternion::conjugate() const {
    return Quaternion(w_, -1.0 * v_[0], -1.0 * v_[1], -1.0 * v_[2]);
}

double Quaternion::norm() const {
    return std::sqrt(w_ * w_ + Dot(v_, v_));
}

Quaternion Quaternion::i() const {
    return norm() / conjugate();
}

Matrix3 Quaternion::RotationMatrix3() const {
    const double w = w_, x = v_[0], y = v_[1], z = v_[2];
    Matrix3 r;
    r.m[0][0] = 2 * (x * x + w * w) - 1;
    r.m[0][1] = 2 * (x * y - z * w);
    r.m[0][2] = 2 * (x * z + y * w);
    r.m[1][0] = 2 * (x * y + w * z);
    r.m[1][1] = 2 * (y * y + w * w) - 1;
    r.m[1][2] = 2 * (y * z - x * w);
    r.m[2][0] = 2 * (x * z - y * w);
    r.m[2][1] = 2 * (y * z + x * w);
    r.m[2][2] = 2 * (z * z + w * w) - 1;
    return r;
}

linalg::matrix<double> Quaternion::RotationMatrix() const {
    const Matrix3 r = RotationMatrix3();
    linalg::matrix<double> m(3, 3);
    for (std::size_t row = 0; row < 3; ++row)
        for (std::size_t col = 0; col < 3; ++col) m(row, col) = r.m[row][col];
    return m;
}

Quaternion operator*(const Quaternion &p, const Quaternion &q) {
    const double w = p.w() * q.w() - Dot(p.v(), q.v());
    const Vector3 v = (p.w() * q.v() + q.w() * p.v()) + Cross(p.v(), q.v());
    Quaternion r(w, 0.0, 0.0, 0.0);
    r.set_v(v);
    return r;
}

Quaternion operator/(double d, const Quaternion &q) {
    return Quaternion(q.w() / d, q.x() / d, q.y() / d, q.z() / d);
}
