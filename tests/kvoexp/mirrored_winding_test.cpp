// Mirrored nodes through the whole console host: whether the mirror is a root
// child's own transform or a child's merged by --collapse, every written triangle
// winds the way its normals face.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <ostream>
#include <string>
#include <vector>

#include "gltf_writer.h"
#include "kvo_corners.h"
#include "tests/cli/cli_test_support.h"

namespace {

using clitest::GltfNode;
using clitest::KvoCorners;
using clitest::Vec3;

// A glTF matrix (column-major) from the rows of a column-vector transform.
std::array<float, 16> Matrix(const float rows[3][4]) {
    std::array<float, 16> out{};
    for (int col = 0; col < 4; ++col) {
        for (int row = 0; row < 3; ++row) out[4 * col + row] = rows[row][col];
    }
    out[15] = 1;
    return out;
}

Vec3 Minus(const std::array<float, 3>& a, const std::array<float, 3>& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

float Dot(const Vec3& a, const std::array<float, 3>& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// Triangles whose geometric normal, from the written corner positions, points away
// from one of the corners' written normals.
size_t TrianglesAgainstTheirNormals(const KvoCorners& kvo) {
    size_t against = 0;
    for (const clitest::KvoTriangle& t : kvo.triangles) {
        const auto& p = t.corners;
        const Vec3 n =
            Cross(Minus(p[1].position, p[0].position), Minus(p[2].position, p[0].position));
        bool agrees = true;
        for (const auto& corner : p) agrees = agrees && Dot(n, corner.normal) > 0;
        if (!agrees) ++against;
    }
    return against;
}

// Triangles that face the point `centre` instead of away from it.
size_t TrianglesFacingInward(const KvoCorners& kvo, const std::array<float, 3>& centre) {
    size_t inward = 0;
    for (const clitest::KvoTriangle& t : kvo.triangles) {
        const auto& p = t.corners;
        const Vec3 n =
            Cross(Minus(p[1].position, p[0].position), Minus(p[2].position, p[0].position));
        if (!(Dot(n, Minus(p[0].position, centre)) > 0)) ++inward;
    }
    return inward;
}

// Root children of the scene, each a hard cube:
//   Single: scaled unevenly, turned and mirrored, moved to (0, 0, -20);
//   Family: turned and moved, with a mirrored child that has a mirrored child;
//   MirroredFamily: mirrored, with a mirrored child (which is unmirrored in the world).
void WriteScene(const std::string& path) {
    const float single[3][4] = {{0, -0.5f, 0, 0}, {-2, 0, 0, 0}, {0, 0, 3, -20}};
    const float turned[3][4] = {{1, 0, 0, 10}, {0, 0, -1, 0}, {0, 1, 0, 0}};
    const float mirrorX[3][4] = {{-1, 0, 0, 0}, {0, 1, 0, 5}, {0, 0, 1, 0}};
    const float swapYZ[3][4] = {{1, 0, 0, 0}, {0, 0, 1, 0}, {0, 1, 0, 5}};
    const float mirrorY[3][4] = {{1, 0, 0, -10}, {0, -1, 0, 0}, {0, 0, 1, 0}};
    std::vector<GltfNode> nodes = {
        {"Single", 0, Matrix(single), {}},
        {"Family", 0, Matrix(turned), {2}},
        {"Family Child", 0, Matrix(mirrorX), {3}},
        {"Family Grandchild", 0, Matrix(swapYZ), {}},
        {"MirroredFamily", 0, Matrix(mirrorY), {5}},
        {"MirroredFamily Child", 0, Matrix(mirrorX), {}},
    };
    clitest::WriteGltf(path, {{clitest::HardCube()}}, nodes);
}

struct RunCase {
    const char* name;
    std::vector<std::string> flags;
    size_t familyTriangles, mirroredFamilyTriangles;
};

void PrintTo(const RunCase& c, std::ostream* out) {
    *out << c.name;
}

class MirroredWinding : public ::testing::TestWithParam<RunCase> {
protected:
    void SetUp() override {
        if (!clitest::ModuleBuilt()) GTEST_SKIP() << "the plug-in module is not built";
    }
    clitest::ScratchDir dir_;
};

TEST_P(MirroredWinding, EveryTriangleWindsAsItsNormalsFace) {
    const RunCase& c = GetParam();
    const std::string scene = dir_.Path("mirrored.gltf");
    WriteScene(scene);
    const std::string out = dir_.Path("out");
    std::vector<std::string> args = {scene, "-o", out, "-q", "--normals", "--no-up-normals"};
    args.insert(args.end(), c.flags.begin(), c.flags.end());
    const clitest::ProcessResult r = clitest::RunKvoexp(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;

    const struct {
        const char* file;
        size_t triangles;
    } expected[] = {{"Single", 12},
                    {"Family", c.familyTriangles},
                    {"MirroredFamily", c.mirroredFamilyTriangles}};
    for (const auto& e : expected) {
        const KvoCorners kvo = clitest::ReadKvoCorners(out + "/" + e.file + ".kvo");
        ASSERT_TRUE(kvo.loaded) << e.file;
        ASSERT_TRUE(kvo.normals) << e.file;
        EXPECT_EQ(kvo.triangles.size(), e.triangles) << e.file;
        EXPECT_EQ(TrianglesAgainstTheirNormals(kvo), 0u) << e.file;
    }
    // The lone cube faces out of its own centre: the file's (0, 0, -20) in the world,
    // which the written files share with the glTF, or the origin in its own frame.
    const bool local = std::find(c.flags.begin(), c.flags.end(), "--localize") != c.flags.end();
    const KvoCorners single = clitest::ReadKvoCorners(out + "/Single.kvo");
    EXPECT_EQ(TrianglesFacingInward(single, {0, 0, local ? 0.0f : -20.0f}), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, MirroredWinding,
    ::testing::Values(RunCase{"world", {"--no-collapse", "--no-localize"}, 12, 12},
                      RunCase{"local", {"--no-collapse", "--localize"}, 12, 12},
                      RunCase{"collapse_world", {"--collapse", "--no-localize"}, 36, 24},
                      RunCase{"collapse_local", {"--collapse", "--localize"}, 36, 24}),
    [](const ::testing::TestParamInfo<RunCase>& info) { return info.param.name; });

}  // namespace
