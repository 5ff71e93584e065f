// View directions and framing.
#include "view/camera.h"

#include <gtest/gtest.h>

#include <cmath>

#include "view/render_options.h"

namespace {

using kvoview::View;

struct Direction {
    View view;
    double back[3];   // towards the viewer
    double up[3];     // up on the picture
    double right[3];  // right on the picture
};

class ViewBasis : public ::testing::TestWithParam<Direction> {};

TEST_P(ViewBasis, GivesTheNamedAxes) {
    const Direction& d = GetParam();
    double back[3], up[3], right[3];
    kvoview::ViewBasis(d.view, back, up, right);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(back[i], d.back[i], 1e-12) << i;
        EXPECT_NEAR(up[i], d.up[i], 1e-12) << i;
        EXPECT_NEAR(right[i], d.right[i], 1e-12) << i;
    }
}

const double kS3 = 1 / std::sqrt(3.0), kS2 = 1 / std::sqrt(2.0), kS6 = 1 / std::sqrt(6.0);

INSTANTIATE_TEST_SUITE_P(
    Views, ViewBasis,
    ::testing::Values(Direction{View::kFront, {0, 0, 1}, {0, 1, 0}, {1, 0, 0}},
                      Direction{View::kBack, {0, 0, -1}, {0, 1, 0}, {-1, 0, 0}},
                      Direction{View::kLeft, {-1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                      Direction{View::kRight, {1, 0, 0}, {0, 1, 0}, {0, 0, -1}},
                      Direction{View::kTop, {0, 1, 0}, {0, 0, -1}, {1, 0, 0}},
                      Direction{View::kBottom, {0, -1, 0}, {0, 0, 1}, {1, 0, 0}},
                      Direction{
                          View::kIso, {kS3, kS3, kS3}, {-kS6, 2 * kS6, -kS6}, {kS2, 0, -kS2}}));

// Applies the column-major modelview to a point.
void Transform(const float m[16], const float p[3], double out[3]) {
    for (int r = 0; r < 3; ++r) {
        out[r] = m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r];
    }
}

TEST(FrameBox, CentresTheBoxAndFitsTheLimitingSide) {
    const float min[3] = {10, 20, 30}, max[3] = {14, 22, 31};
    const kvoview::Framing f = kvoview::FrameBox(min, max, View::kFront, 2.0);
    const float centre[3] = {12, 21, 30.5f};
    double eye[3];
    Transform(f.modelview, centre, eye);
    for (double c : eye) EXPECT_NEAR(c, 0, 1e-5);
    // 4 wide and 2 tall in a picture twice as wide as tall: both sides limit.
    EXPECT_NEAR(f.right, 2 / kvoview::kFrameFill, 1e-9);
    EXPECT_NEAR(f.top, 1 / kvoview::kFrameFill, 1e-9);
    EXPECT_EQ(f.left, -f.right);
    // The whole depth lies between the planes (eye space looks down -z).
    EXPECT_LT(f.zNear, -0.5);
    EXPECT_GT(f.zFar, 0.5);
}

TEST(FrameBox, FlatAndPointBoxesStillGiveAVolume) {
    const float point[3] = {5, 5, 5};
    for (View view : {View::kFront, View::kIso, View::kTop}) {
        const kvoview::Framing f = kvoview::FrameBox(point, point, view, 1.0);
        EXPECT_GT(f.right - f.left, 0);
        EXPECT_GT(f.top - f.bottom, 0);
        EXPECT_LT(f.zNear, f.zFar);
        EXPECT_TRUE(std::isfinite(f.right) && std::isfinite(f.zFar));
    }
    const float flatMin[3] = {-1, 0, -1}, flatMax[3] = {1, 0, 1};
    const kvoview::Framing f = kvoview::FrameBox(flatMin, flatMax, View::kFront, 1.0);
    EXPECT_NEAR(f.right, 1 / kvoview::kFrameFill, 1e-9);
    EXPECT_LT(f.zNear, f.zFar);
}

TEST(RenderOptions, ParsesTheCommandLineWords) {
    int w = 0, h = 0;
    EXPECT_TRUE(kvoview::ParseSize("320x200", &w, &h));
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 200);
    for (const char* bad : {"", "x", "320", "320x", "x200", "0x10", "10x0", "-1x5", "8193x10",
                            "10x99999", "3 x4", "4x4x4", "0x1F"}) {
        EXPECT_FALSE(kvoview::ParseSize(bad, &w, &h)) << bad;
    }
    EXPECT_TRUE(kvoview::ParseSize("8192x1", &w, &h));
    View view;
    EXPECT_TRUE(kvoview::ParseView("bottom", &view));
    EXPECT_EQ(view, View::kBottom);
    EXPECT_FALSE(kvoview::ParseView("Iso", &view));
    kvoview::Mode mode;
    EXPECT_TRUE(kvoview::ParseMode("wireframe", &mode));
    EXPECT_EQ(mode, kvoview::Mode::kWireframe);
    EXPECT_FALSE(kvoview::ParseMode("solid", &mode));
}

}  // namespace
