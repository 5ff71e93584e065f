#include "cli/import/axis_conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

using kvoimport::ConvertTransform;
using kvoimport::Vec3;
using kvoimport::YUpToZUp;
using kvoimport::ZUpToYUp;

// The rotation of +90 degrees about X as a literal matrix (column vectors).
const double kRotation[3][3] = {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}};

Vec3 Rotate(const double r[3][3], Vec3 v) {
    const double in[3] = {v.x, v.y, v.z};
    double out[3];
    for (int i = 0; i < 3; ++i) out[i] = r[i][0] * in[0] + r[i][1] * in[1] + r[i][2] * in[2];
    return {static_cast<float>(out[0]), static_cast<float>(out[1]), static_cast<float>(out[2])};
}

TEST(AxisConversion, IsTheRotationAboutXAndItsExporterInverseGivesTheFileBack) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> value(-1e6f, 1e6f);
    for (int i = 0; i < 1000; ++i) {
        const Vec3 v{value(rng), value(rng), value(rng)};
        const Vec3 z = kvoimport::YUpToZUp(v);
        const Vec3 literal = Rotate(kRotation, v);
        EXPECT_EQ(z.x, literal.x);
        EXPECT_EQ(z.y, literal.y);
        EXPECT_EQ(z.z, literal.z);
        // The exporter's (x, z, -y).
        const Vec3 back{z.x, z.z, -z.y};
        EXPECT_EQ(back.x, v.x);
        EXPECT_EQ(back.y, v.y);
        EXPECT_EQ(back.z, v.z);
    }
    const Vec3 zeros = kvoimport::ZUpToYUp(kvoimport::YUpToZUp({0.0f, -0.0f, 0.0f}));
    EXPECT_TRUE(std::signbit(zeros.y));
    EXPECT_FALSE(std::signbit(zeros.z));
}

// Reference: host = R * A * R^-1 in double precision, written out as rows of
// images of the axes (row vectors), translation R * t.
void ReferenceTransform(const float a[4][4], double out[12]) {
    double ra[3][4] = {};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 4; ++j) {
            for (int k = 0; k < 3; ++k) ra[i][j] += kRotation[i][k] * a[k][j];
        }
    }
    // R^-1 is the transpose.
    double m[3][3] = {};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            for (int k = 0; k < 3; ++k) m[i][j] += ra[i][k] * kRotation[j][k];
        }
    }
    for (int axis = 0; axis < 3; ++axis) {
        for (int c = 0; c < 3; ++c) out[3 * axis + c] = m[c][axis];
    }
    for (int c = 0; c < 3; ++c) out[9 + c] = ra[c][3];
}

TEST(AxisConversion, TransformsAreConjugatedExactly) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> value(-100.0f, 100.0f);
    for (int n = 0; n < 200; ++n) {
        float a[4][4] = {};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 4; ++j) a[i][j] = value(rng);
        }
        a[3][3] = 1;
        float host[12];
        kvoimport::ConvertTransform(a, host);
        double reference[12];
        ReferenceTransform(a, reference);
        for (int i = 0; i < 12; ++i) EXPECT_EQ(static_cast<double>(host[i]), reference[i]) << i;
    }
}

TEST(AxisConversion, AHostPointMovedByTheConvertedTransformIsTheConvertedFilePoint) {
    // A translation by (1, 2, 3) and a quarter turn about Y in the file.
    const float a[4][4] = {{0, 0, 1, 1}, {0, 1, 0, 2}, {-1, 0, 0, 3}, {0, 0, 0, 1}};
    float host[12];
    kvoimport::ConvertTransform(a, host);
    const Vec3 p{0.5f, -4.0f, 8.0f};
    const Vec3 moved{a[0][0] * p.x + a[0][1] * p.y + a[0][2] * p.z + a[0][3],
                     a[1][0] * p.x + a[1][1] * p.y + a[1][2] * p.z + a[1][3],
                     a[2][0] * p.x + a[2][1] * p.y + a[2][2] * p.z + a[2][3]};
    const Vec3 q = kvoimport::YUpToZUp(p);
    const Vec3 viaHost{q.x * host[0] + q.y * host[3] + q.z * host[6] + host[9],
                       q.x * host[1] + q.y * host[4] + q.z * host[7] + host[10],
                       q.x * host[2] + q.y * host[5] + q.z * host[8] + host[11]};
    const Vec3 expected = kvoimport::YUpToZUp(moved);
    EXPECT_EQ(viaHost.x, expected.x);
    EXPECT_EQ(viaHost.y, expected.y);
    EXPECT_EQ(viaHost.z, expected.z);
}

}  // namespace
