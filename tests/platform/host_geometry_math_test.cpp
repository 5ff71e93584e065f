// Points moved by transforms, transform products and vector helpers.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/max/max_sdk.h"

namespace {

void ExpectNear(const Point3& expected, const Point3& actual) {
    EXPECT_NEAR(expected.x, actual.x, 1e-6f);
    EXPECT_NEAR(expected.y, actual.y, 1e-6f);
    EXPECT_NEAR(expected.z, actual.z, 1e-6f);
}

Matrix3 Rows(Point3 r0, Point3 r1, Point3 r2, Point3 r3) {
    Matrix3 m;
    m.SetRow(0, r0);
    m.SetRow(1, r1);
    m.SetRow(2, r2);
    m.SetRow(3, r3);
    return m;
}

TEST(Matrix3, MovesPointsByAxesAndTranslation) {
    const float halfPi = std::acos(-1.f) / 2;
    struct Case {
        Matrix3 m;
        Point3 p, expected;
    };
    const Case cases[] = {
        {Matrix3(), {1, 2, 3}, {1, 2, 3}},
        {Matrix3(false), {1, 2, 3}, {0, 0, 0}},
        {TransMatrix({10, 20, 30}), {1, 2, 3}, {11, 22, 33}},
        {ScaleMatrix({2, 3, 4}), {1, 1, -1}, {2, 3, -4}},
        {Rows({0, 1, 0}, {-1, 0, 0}, {0, 0, 2}, {5, 6, 7}), {1, 2, 3}, {3, 7, 13}},
        {RotateXMatrix(-halfPi), {1, 2, 3}, {1, 3, -2}},  // Z-up to Y-up
        {RotateXMatrix(halfPi), {0, 1, 0}, {0, 0, 1}},
    };
    for (const Case& c : cases) ExpectNear(c.expected, c.m * c.p);
}

TEST(Matrix3, ProductAppliesLeftOperandFirst) {
    Matrix3 scale = ScaleMatrix({2, 2, 2});
    Matrix3 move = TransMatrix({1, 0, 0});
    Point3 p(1, 1, 1);
    ExpectNear(Point3(3, 2, 2), (scale * move) * p);
    ExpectNear(Point3(4, 2, 2), (move * scale) * p);
    Matrix3 a = Rows({1, 2, 0}, {0, 1, 3}, {4, 0, 1}, {1, 1, 1});
    Matrix3 b = Rows({0, 1, 0}, {1, 0, 2}, {0, 3, 1}, {5, 6, 7});
    ExpectNear(b * (a * p), (a * b) * p);
    EXPECT_TRUE(a * Matrix3() == a);
    EXPECT_FALSE(a * b == b * a);
}

TEST(Matrix3, ClearedAndResetMatrices) {
    Matrix3 m = TransMatrix({1, 2, 3});
    m.Zero();
    EXPECT_TRUE(m == Matrix3(false));
    m.IdentityMatrix();
    EXPECT_TRUE(m == Matrix3(true));
    EXPECT_FALSE(Matrix3() == Matrix3(false));
}

TEST(Point3, VectorHelpers) {
    EXPECT_EQ(Point3(0, 0, 1), CrossProd({1, 0, 0}, {0, 1, 0}));
    EXPECT_EQ(Point3(0, 0, -1), CrossProd({0, 1, 0}, {1, 0, 0}));
    EXPECT_FLOAT_EQ(32.f, DotProd({1, 2, 3}, {4, 5, 6}));
    EXPECT_FLOAT_EQ(5.f, Point3(3, 0, 4).Length());
    ExpectNear(Point3(0.6f, 0, 0.8f), Normalize({3, 0, 4}));
    ExpectNear(Point3(1, 0, 0), Normalize({1e-30f, 0, 0}));
    EXPECT_EQ(Point3(), Normalize(Point3()));
    EXPECT_EQ(Point3(), Normalize({INFINITY, 0, 0}));
}

}  // namespace
