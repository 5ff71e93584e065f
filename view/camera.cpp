// View directions and the orthographic box around the scene.
#include "view/camera.h"

#include <algorithm>
#include <cmath>

namespace kvoview {

namespace {

void Cross(const double a[3], const double b[3], double out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

void Normalize(double v[3]) {
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (int i = 0; i < 3; ++i) v[i] /= length;
}

double Dot(const double a[3], const double b[3]) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

}  // namespace

void ViewBasis(View view, double back[3], double up[3], double right[3]) {
    // Towards the viewer, and the world direction that is up on the picture.
    static const struct {
        View view;
        double back[3];
        double up[3];
    } kViews[] = {
        {View::kIso, {1, 1, 1}, {0, 1, 0}},     {View::kFront, {0, 0, 1}, {0, 1, 0}},
        {View::kBack, {0, 0, -1}, {0, 1, 0}},   {View::kLeft, {-1, 0, 0}, {0, 1, 0}},
        {View::kRight, {1, 0, 0}, {0, 1, 0}},   {View::kTop, {0, 1, 0}, {0, 0, -1}},
        {View::kBottom, {0, -1, 0}, {0, 0, 1}},
    };
    const auto* entry = &kViews[0];
    for (const auto& candidate : kViews) {
        if (candidate.view == view) entry = &candidate;
    }
    std::copy(entry->back, entry->back + 3, back);
    Normalize(back);
    Cross(entry->up, back, right);
    Normalize(right);
    Cross(back, right, up);
}

Framing FrameBox(const float min[3], const float max[3], View view, double aspect) {
    double back[3], up[3], right[3];
    ViewBasis(view, back, up, right);
    double centre[3];
    for (int i = 0; i < 3; ++i) centre[i] = 0.5 * (double{min[i]} + double{max[i]});

    // Extents of the box's corners along the three view axes.
    double halfX = 0, halfY = 0, halfZ = 0;
    for (int corner = 0; corner < 8; ++corner) {
        double d[3];
        for (int i = 0; i < 3; ++i) d[i] = ((corner >> i) & 1 ? max[i] : min[i]) - centre[i];
        halfX = std::max(halfX, std::fabs(Dot(d, right)));
        halfY = std::max(halfY, std::fabs(Dot(d, up)));
        halfZ = std::max(halfZ, std::fabs(Dot(d, back)));
    }
    const double size = std::max({halfX, halfY, halfZ});
    const double tiny = size > 0 ? size * 1e-3 : 1.0;
    halfX = std::max(halfX, tiny);
    halfY = std::max(halfY, tiny);
    halfZ = std::max(halfZ, tiny);

    // Fit the silhouette's extent into kFrameFill of the limiting side.
    const double fitY = std::max(halfY, halfX / aspect) / kFrameFill;
    Framing f;
    f.right = fitY * aspect;
    f.left = -f.right;
    f.top = fitY;
    f.bottom = -fitY;
    f.zNear = -2 * halfZ;
    f.zFar = 2 * halfZ;

    const double* rows[3] = {right, up, back};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) f.modelview[c * 4 + r] = static_cast<float>(rows[r][c]);
        f.modelview[12 + r] = static_cast<float>(-Dot(rows[r], centre));
        f.modelview[r * 4 + 3] = 0;
    }
    f.modelview[15] = 1;
    return f;
}

}  // namespace kvoview
