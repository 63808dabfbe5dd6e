#pragma once
// Double-precision quaternion and three-vector arithmetic of the attitude estimator.
// Vectors live in fixed storage of three doubles so that the per-sample path never
// touches the heap; the operations keep the element order of the plain formulas so
// that every sum is rounded in the same sequence on every platform.
#include <cstddef>

#include "MatrixAlgebra.h"

// A vector of up to three doubles; the engine only uses length 3. The length is kept so
// that the vector operations can check their preconditions.
class Vector3 {
  public:
    static constexpr std::size_t kCapacity = 3;

    Vector3() : e{0.0, 0.0, 0.0}, n(3) {}
    Vector3(double x, double y, double z) : e{x, y, z}, n(3) {}
    // First `count` elements of `values`; count must not exceed 3.
    Vector3(const double *values, std::size_t count);

    std::size_t size() const { return n; }
    double &operator[](std::size_t i) { return e[i]; }
    const double &operator[](std::size_t i) const { return e[i]; }

  private:
    double e[kCapacity];
    std::size_t n;
};

// a x b; both must have three elements.
Vector3 Cross(const Vector3 &a, const Vector3 &b);
// Sum of a[i] * b[i] in element order starting from 0.0; equal lengths required.
double Dot(const Vector3 &a, const Vector3 &b);
// Square root of the sum of squares in element order.
double Norm2(const Vector3 &a);
// Element-wise helpers used by the quaternion product.
Vector3 operator*(double s, const Vector3 &v);
Vector3 operator+(const Vector3 &a, const Vector3 &b);

// Plain 3x3 matrix, row-major, used where the rotation matrix must not allocate.
struct Matrix3 {
    double m[3][3];
};

class Quaternion {
  public:
    Quaternion();  // (1, 0, 0, 0)
    Quaternion(double w, double x, double y, double z);
    Quaternion(double rx, double ry, double rz);    // qz(rz) * qy(ry) * qx(rx), radians
    Quaternion(double angle, const Vector3 &axis);  // rotation by angle about axis

    double w() const { return w_; }
    const Vector3 &v() const { return v_; }
    double x() const { return v_[0]; }
    double y() const { return v_[1]; }
    double z() const { return v_[2]; }

    void set_w(double w) { w_ = w; }
    void set_v(const Vector3 &v);

    Quaternion conjugate() const;  // (w, -1.0 * v)
    double norm() const;           // sqrt(w^2 + v.v)
    Quaternion i() const;          // conjugate() / norm()

    // Rotation matrix of the quaternion (allocates; not used per sample).
    linalg::matrix<double> RotationMatrix() const;
    // The same values without heap storage.
    Matrix3 RotationMatrix3() const;

  private:
    double w_;
    Vector3 v_;
};

// Hamilton product.
Quaternion operator*(const Quaternion &p, const Quaternion &q);
// q with w and every element of v divided by d (note the argument order).
Quaternion operator/(double d, const Quaternion &q);
