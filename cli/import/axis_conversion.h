// Y-up to Z-up: a rotation of +90 degrees about X, (x, y, z) -> (x, -z, y).
// Only sign changes and swaps, so no value is rounded, and the exporter's
// (x, z, -y) gives back the file's own coordinates bit for bit.
// The plug-in's own axis change, (x, z, -y), is AxisChange in export/geob_builder.cpp.
#pragma once

namespace kvoimport {

struct Vec3 {
    float x, y, z;
};

inline Vec3 YUpToZUp(Vec3 v) {
    return {v.x, -v.z, v.y};
}
inline Vec3 ZUpToYUp(Vec3 v) {
    return {v.x, v.z, -v.y};
}

// Column-vector affine transform of the Y-up frame (Assimp's layout: `m[row][col]`,
// translation in column 3) conjugated into the Z-up frame's rows (the host's
// layout: axis rows 0-2, translation row 3, 12 floats). Row i of the result is
// the image of the Z-up axis i: YUpToZUp(A * ZUpToYUp(e_i)).
inline void ConvertTransform(const float m[4][4], float out[12]) {
    const Vec3 col0{m[0][0], m[1][0], m[2][0]};
    const Vec3 col1{m[0][1], m[1][1], m[2][1]};
    const Vec3 col2{m[0][2], m[1][2], m[2][2]};
    const Vec3 translation{m[0][3], m[1][3], m[2][3]};
    // ZUpToYUp maps e_x to e_x, e_y to -e_z and e_z to e_y.
    const Vec3 rows[4] = {YUpToZUp(col0), YUpToZUp({-col2.x, -col2.y, -col2.z}), YUpToZUp(col1),
                          YUpToZUp(translation)};
    for (int r = 0; r < 4; ++r) {
        out[3 * r] = rows[r].x;
        out[3 * r + 1] = rows[r].y;
        out[3 * r + 2] = rows[r].z;
    }
}

}  // namespace kvoimport
