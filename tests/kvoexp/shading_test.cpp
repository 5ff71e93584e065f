// Shading through the whole console host: normals in the node's frame, hard
// edges and smooth surfaces as the file has them, welding that changes no corner.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <iostream>

#include "gltf_writer.h"
#include "kvo_corners.h"
#include "source_normals.h"
#include "tests/cli/cli_test_support.h"

namespace {

namespace fs = std::filesystem;
using clitest::GltfNode;
using clitest::GltfPrimitive;
using clitest::KvoCorners;
using clitest::Vec3;

class Shading : public ::testing::Test {
protected:
    void SetUp() override {
        if (!clitest::ModuleBuilt()) GTEST_SKIP() << "the plug-in module is not built";
    }
    // Exports `scene` into a fresh directory; returns it.
    std::string Export(const std::string& scene, std::vector<std::string> flags) {
        const std::string out = dir_.Path("out" + std::to_string(++runs_));
        flags.insert(flags.begin(), {scene, "-o", out, "-q"});
        const clitest::ProcessResult r = clitest::RunKvoexp(flags);
        EXPECT_EQ(r.exitCode, 0) << scene << ": " << r.err;
        return out;
    }
    clitest::ScratchDir dir_;
    int runs_ = 0;
};

std::string Model(const std::string& relative) {
    return clitest::ModelsDir() + "/" + relative;
}

std::vector<std::string> KvoFiles(const std::string& dir) {
    std::vector<std::string> files;
    if (!fs::exists(dir)) return files;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() == ".kvo") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// A column-major glTF matrix M = translation * rotation * scale.
struct Affine {
    double m[3][4];  // rows of the column-vector transform
    Vec3 Point(const Vec3& p) const {
        Vec3 out;
        for (int i = 0; i < 3; ++i)
            out[i] = static_cast<float>(m[i][0] * p[0] + m[i][1] * p[1] + m[i][2] * p[2] + m[i][3]);
        return out;
    }
    double Determinant() const {
        return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
               m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
               m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    }
    // The inverse transpose, by the cofactors of the 3x3 part, normalised.
    Vec3 Normal(const Vec3& n) const {
        double cof[3][3];
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                const int i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
                cof[i][j] = m[i1][j1] * m[i2][j2] - m[i1][j2] * m[i2][j1];
            }
        }
        const double det = m[0][0] * cof[0][0] + m[0][1] * cof[0][1] + m[0][2] * cof[0][2];
        double out[3], length = 0;
        for (int i = 0; i < 3; ++i) {
            out[i] = (cof[i][0] * n[0] + cof[i][1] * n[1] + cof[i][2] * n[2]) / det;
            length += out[i] * out[i];
        }
        length = std::sqrt(length);
        return {static_cast<float>(out[0] / length), static_cast<float>(out[1] / length),
                static_cast<float>(out[2] / length)};
    }
    std::array<float, 16> Gltf() const {
        std::array<float, 16> out{};
        for (int col = 0; col < 4; ++col)
            for (int row = 0; row < 3; ++row) out[4 * col + row] = static_cast<float>(m[row][col]);
        out[15] = 1;
        return out;
    }
};

// Rotation by `angle` about the unit axis, then per-axis scale first, then translation.
Affine MakeAffine(Vec3 axis, double angle, Vec3 scale, Vec3 translation) {
    const double c = std::cos(angle), s = std::sin(angle), t = 1 - c;
    const double x = axis[0], y = axis[1], z = axis[2];
    const double r[3][3] = {{t * x * x + c, t * x * y - s * z, t * x * z + s * y},
                            {t * x * y + s * z, t * y * y + c, t * y * z - s * x},
                            {t * x * z - s * y, t * y * z + s * x, t * z * z + c}};
    Affine a;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) a.m[i][j] = static_cast<float>(r[i][j] * scale[j]);
        a.m[i][3] = translation[i];
    }
    return a;
}

::testing::AssertionResult Near(const std::array<float, 3>& got, const Vec3& want,
                                float tolerance) {
    for (int i = 0; i < 3; ++i) {
        if (!(std::fabs(got[i] - want[i]) <= tolerance)) {
            return ::testing::AssertionFailure()
                   << "(" << got[0] << ", " << got[1] << ", " << got[2] << ") instead of ("
                   << want[0] << ", " << want[1] << ", " << want[2] << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

// Every exported corner is a corner of `prim` moved by `tm` (or left in the object's
// frame), carrying that corner's normal moved the same way; every triangle occurs once,
// its corners in the file's order, reversed where a mirroring `tm` moved them.
void ExpectCorners(const KvoCorners& kvo, const GltfPrimitive& prim, const Affine& tm,
                   bool localize) {
    const bool reversed = !localize && tm.Determinant() < 0;
    const auto corner = [&](size_t t, int r, int k) {
        return prim.indices[3 * t + (reversed ? r + 3 - k : r + k) % 3];
    };
    ASSERT_TRUE(kvo.loaded);
    ASSERT_TRUE(kvo.normals);
    ASSERT_EQ(kvo.triangles.size(), prim.indices.size() / 3);
    std::vector<int> seen(prim.indices.size() / 3, 0);
    for (const clitest::KvoTriangle& e : kvo.triangles) {
        int match = -1, rotation = 0;
        for (size_t t = 0; t < seen.size() && match < 0; ++t) {
            for (int r = 0; r < 3 && match < 0; ++r) {
                bool all = true;
                for (int k = 0; k < 3 && all; ++k) {
                    const Vec3& p = prim.positions[corner(t, r, k)];
                    all = Near(e.corners[k].position, localize ? p : tm.Point(p), 1e-5f);
                }
                if (all) match = static_cast<int>(t), rotation = r;
            }
        }
        ASSERT_GE(match, 0) << "an exported triangle that the file does not have";
        ++seen[match];
        for (int k = 0; k < 3; ++k) {
            const Vec3& n = prim.normals[corner(static_cast<size_t>(match), rotation, k)];
            EXPECT_TRUE(Near(e.corners[k].normal, localize ? n : tm.Normal(n), 1e-5f))
                << "triangle " << match << " corner " << k << (localize ? " local" : " world");
        }
    }
    for (int count : seen) EXPECT_EQ(count, 1);
}

TEST_F(Shading, RotatedHardCubeCornersCarryTheirFaceNormalsInWorldAndObjectFrames) {
    const GltfPrimitive cube = clitest::HardCube();
    const double third = 1 / std::sqrt(3.0);
    const Vec3 axis{static_cast<float>(third), static_cast<float>(third),
                    static_cast<float>(-third)};
    const Affine turned = MakeAffine(axis, 0.7, {1, 1, 1}, {5, -2, 7});
    // Scaled unevenly and mirrored: normals must still point out of the box.
    const Affine mirrored = MakeAffine({0, 1, 0}, 2.1, {-2, 0.5, 3}, {-4, 1, 0});
    const std::string scene = dir_.Path("cubes.gltf");
    clitest::WriteGltf(
        scene, {{cube}},
        {GltfNode{"Turned", 0, turned.Gltf()}, GltfNode{"Mirrored", 0, mirrored.Gltf()}});

    for (bool localize : {false, true}) {
        const std::string out = Export(
            scene, {"--normals", "--no-up-normals", localize ? "--localize" : "--no-localize"});
        const KvoCorners turnedKvo = clitest::ReadKvoCorners(out + "/Turned.kvo");
        ExpectCorners(turnedKvo, cube, turned, localize);
        EXPECT_EQ(turnedKvo.vertexCount, 24u);  // four corners per face, none shared
        const KvoCorners mirroredKvo = clitest::ReadKvoCorners(out + "/Mirrored.kvo");
        ExpectCorners(mirroredKvo, cube, mirrored, localize);
        if (localize) continue;
        const Vec3 centre = mirrored.Point({0, 0, 0});
        for (const auto& t : mirroredKvo.triangles) {
            for (const auto& c : t.corners) {
                const float outward = (c.position[0] - centre[0]) * c.normal[0] +
                                      (c.position[1] - centre[1]) * c.normal[1] +
                                      (c.position[2] - centre[2]) * c.normal[2];
                EXPECT_GT(outward, 0.0f);
            }
        }
    }
}

TEST_F(Shading, ObjBoxWithoutNormalsGivesEveryCornerItsFaceNormal) {
    const std::string out = Export(Model("assimp/test/models/OBJ/box.obj"), {"--normals"});
    const std::vector<std::string> files = KvoFiles(out);
    ASSERT_EQ(files.size(), 1u);
    const KvoCorners kvo = clitest::ReadKvoCorners(files[0]);
    ASSERT_TRUE(kvo.loaded);
    ASSERT_EQ(kvo.triangles.size(), 12u);
    EXPECT_EQ(kvo.vertexCount, 24u);  // each of the 8 corners once per face that meets it
    for (const auto& t : kvo.triangles) {
        const auto& a = t.corners[0].position;
        const auto& b = t.corners[1].position;
        const auto& c = t.corners[2].position;
        const Vec3 u{b[0] - a[0], b[1] - a[1], b[2] - a[2]},
            v{c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        Vec3 n{u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        for (float& x : n) x /= length;
        for (const auto& corner : t.corners) EXPECT_TRUE(Near(corner.normal, n, 1e-6f));
    }
}

TEST_F(Shading, SmoothSphereKeepsItsVertexCountAndItsNormals) {
    const GltfPrimitive sphere = clitest::SmoothSphere(10, 16);
    const std::string scene = dir_.Path("sphere.gltf");
    const Affine moved = MakeAffine({1, 0, 0}, 0.4, {2, 2, 2}, {0, 3, 0});
    clitest::WriteGltf(scene, {{sphere}}, {GltfNode{"Ball", 0, moved.Gltf()}});
    const std::string out = Export(scene, {"--normals", "--no-up-normals", "--no-localize"});
    const KvoCorners kvo = clitest::ReadKvoCorners(out + "/Ball.kvo");
    EXPECT_EQ(kvo.vertexCount, sphere.positions.size());
    ExpectCorners(kvo, sphere, moved, false);
}

// Welding may only merge vertices that the export cannot tell apart: with and
// without it, every corner of every triangle comes out the same, bit for bit.
TEST_F(Shading, WeldingChangesNoExportedCorner) {
    // One mesh of two primitives, one without normals: the node keeps no file normals,
    // and the hard cube's faces are smoothed from its topology alone.
    GltfPrimitive bare;
    bare.positions = {{3, 3, 3}, {4, 3, 3}, {3, 4, 3}};
    bare.indices = {0, 1, 2};
    GltfPrimitive tinted = clitest::HardCube();
    for (size_t v = 0; v < tinted.positions.size(); ++v) {
        tinted.colours.push_back({v % 3 == 0 ? 1.0f : 0.0f, 0.5f, (v / 4) % 2 ? 1.0f : 0.0f});
    }
    // Two quads folded along an edge whose vertices the file repeats with equal
    // normals: joined, the host would smooth across the fold.
    GltfPrimitive folded;
    folded.positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                        {1, 0, 0}, {2, 0, 1}, {2, 1, 1}, {1, 1, 0}};
    folded.normals.assign(8, {0, 0, 1});
    folded.indices = {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7};
    const std::string mixed = dir_.Path("mixed.gltf");
    clitest::WriteGltf(mixed, {{clitest::HardCube(), bare}, {tinted}, {folded, bare}},
                       {GltfNode{"Mixed", 0}, GltfNode{"Tinted", 1}, GltfNode{"Folded", 2}});
    const std::vector<std::string> scenes = {
        mixed,
        Model("assimp/test/models/OBJ/box.obj"),
        Model("assimp/test/models/OBJ/cube_with_vertexcolors.obj"),
        Model("assimp/test/models/glTF2/BoxTextured-glTF/BoxTextured.gltf"),
        Model("assimp/test/models/Collada/kwxport_test_vcolors.dae"),
        Model("assimp/test/models/3DS/CameraRollAnimWithChildObject.3ds"),
    };
    const std::vector<std::string> flags = {"--normals", "--no-up-normals", "--vertex-colors",
                                            "--no-optimize"};
    for (const std::string& scene : scenes) {
        if (!fs::exists(scene)) continue;
        const std::vector<std::string> welded = KvoFiles(Export(scene, flags));
        std::vector<std::string> apart = flags;
        apart.push_back("--no-join-vertices");
        const std::vector<std::string> unwelded = KvoFiles(Export(scene, apart));
        ASSERT_EQ(welded.size(), unwelded.size()) << scene;
        ASSERT_FALSE(welded.empty()) << scene;
        for (size_t i = 0; i < welded.size(); ++i) {
            const KvoCorners a = clitest::ReadKvoCorners(welded[i]);
            const KvoCorners b = clitest::ReadKvoCorners(unwelded[i]);
            ASSERT_TRUE(a.loaded && b.loaded) << welded[i];
            EXPECT_LE(a.vertexCount, b.vertexCount);
            EXPECT_TRUE(a.triangles == b.triangles)
                << scene << ": " << fs::path(welded[i]).filename();
        }
    }
}

// The scenes in which rotated nodes and hard edges were shaded wrongly: every
// exported corner lies within a degree of the file's own normal, moved to world space.
TEST_F(Shading, RotatedAndHardEdgedScenesKeepTheFileNormals) {
    const char* scenes[] = {
        "assimp/test/models/glTF2/BoxTextured-glTF/BoxTextured.gltf",
        "assimp/test/models/Collada/kwxport_test_vcolors.dae",
        "assimp/test/models/FBX/global_settings.fbx",
        "assimp/test/models/FBX/box_orphant_embedded_texture.fbx",
        "assimp/test/models/3DS/CameraRollAnimWithChildObject.3ds",
        "assimp/test/models/Collada/teapot_instancenodes.DAE",
        "assimp/test/models/OBJ/box.obj",
    };
    for (const char* relative : scenes) {
        const std::string scene = Model(relative);
        if (!fs::exists(scene)) continue;
        const std::string out = Export(scene, {"--normals", "--no-up-normals", "--no-localize"});
        const clitest::NormalDeviation d = clitest::CompareWithSourceNormals(scene, KvoFiles(out));
        std::cout << "  " << relative << ": " << d.corners << " corners, " << d.over1
                  << " > 1 deg, " << d.over60 << " > 60 deg, worst " << d.worstDegrees
                  << " deg, unmatched " << d.unmatched << ", undefined " << d.undefined << "\n";
        EXPECT_GT(d.corners, 0u) << relative;
        EXPECT_EQ(d.unmatched, 0u) << relative;
        EXPECT_EQ(d.over1, 0u) << relative;
    }
}

}  // namespace
