// Vector and transform arithmetic of the host stand-in. Points are row
// vectors: a point p moves to p.x*row0 + p.y*row1 + p.z*row2 + row3.
#include <cmath>

#include "platform/max/max_sdk.h"

float Point3::Length() const {
    // Summed in double so that tiny components do not underflow to zero.
    double xx = x, yy = y, zz = z;
    return static_cast<float>(std::sqrt(xx * xx + yy * yy + zz * zz));
}

Point3 CrossProd(const Point3& a, const Point3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float DotProd(const Point3& a, const Point3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Point3 Normalize(const Point3& p) {
    double xx = p.x, yy = p.y, zz = p.z;
    double length = std::sqrt(xx * xx + yy * yy + zz * zz);
    // A zero, non-finite or NaN length gives the zero vector rather than NaNs.
    if (!(length > 0.0) || !std::isfinite(length)) return Point3();
    return {static_cast<float>(xx / length), static_cast<float>(yy / length),
            static_cast<float>(zz / length)};
}

Matrix3::Matrix3() {
    IdentityMatrix();
}

Matrix3::Matrix3(bool identity) {
    if (identity) {
        IdentityMatrix();
    } else {
        Zero();
    }
}

void Matrix3::IdentityMatrix() {
    m_[0] = Point3(1, 0, 0);
    m_[1] = Point3(0, 1, 0);
    m_[2] = Point3(0, 0, 1);
    m_[3] = Point3(0, 0, 0);
}

void Matrix3::Zero() {
    for (Point3& row : m_) row = Point3();
}

namespace {

// The direction of a vector under the matrix (no translation).
Point3 TransformVector(const Matrix3& m, const Point3& v) {
    return m.GetRow(0) * v.x + m.GetRow(1) * v.y + m.GetRow(2) * v.z;
}

}  // namespace

Matrix3 Matrix3::operator*(const Matrix3& b) const {
    Matrix3 product(false);
    for (int i = 0; i < 3; ++i) product.SetRow(i, TransformVector(b, m_[i]));
    product.SetRow(3, b * m_[3]);
    return product;
}

bool Matrix3::operator==(const Matrix3& o) const {
    for (int i = 0; i < 4; ++i) {
        if (!(m_[i] == o.m_[i])) return false;
    }
    return true;
}

Point3 operator*(const Matrix3& m, const Point3& p) {
    return TransformVector(m, p) + m.GetRow(3);
}

Matrix3 RotateXMatrix(float angle) {
    float c = std::cos(angle), s = std::sin(angle);
    Matrix3 m;
    m.SetRow(1, Point3(0, c, s));
    m.SetRow(2, Point3(0, -s, c));
    return m;
}

Matrix3 TransMatrix(const Point3& p) {
    Matrix3 m;
    m.SetRow(3, p);
    return m;
}

Matrix3 ScaleMatrix(const Point3& s) {
    Matrix3 m(false);
    m.SetRow(0, Point3(s.x, 0, 0));
    m.SetRow(1, Point3(0, s.y, 0));
    m.SetRow(2, Point3(0, 0, s.z));
    return m;
}
