// Non-finite values as the files would get them: positions moved by the
// node's transform (a NaN matrix, a scale that overflows float), or left in
// the object's frame with Localize; normals, texture coordinates, colours.
#include "cli/checks/written_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "cli/checks/scene_checks.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

kvoscene::Node Triangle(float scale, float position) {
    kvoscene::Node node;
    node.name = "Tri";
    node.kind = kvoscene::NodeKind::Geometry;
    node.mesh.positions = {0, 0, 0, position, 0, 0, 0, position, 0};
    node.mesh.faces = {0, 1, 2};
    node.mesh.materialIds = {0};
    node.mesh.smoothing = {0};
    node.transform[0] = node.transform[4] = node.transform[8] = scale;
    return node;
}

TEST(WrittenValues, CountsWhatTheFileWouldHold) {
    struct Case {
        const char* name;
        kvoscene::Node node;
        bool localize, colors;
        uint64_t positions, normals, uvs, colorValues;
        bool transform;
    };
    kvoscene::Node nanMatrix = Triangle(1, 1);
    nanMatrix.transform[9] = kNaN;  // the translation's x
    kvoscene::Node withChannels = Triangle(1, 1);
    withChannels.mesh.normals = {0, 0, 1, 0, kInf, 1, 0, 0, 1};
    withChannels.mesh.uvs = {0, 0, kNaN, kNaN, 0, 0, 0, 0, 0};  // w is not written
    withChannels.mesh.colors = {1, 1, 1, kNaN, 1, 1, 1, 1, 1};
    const Case cases[] = {
        {"finite", Triangle(2, 1), false, false, 0, 0, 0, 0, false},
        // 1e30 * 1e10 overflows float: the two moved corners become infinite.
        {"overflowing scale", Triangle(1e30f, 1e10f), false, false, 2, 0, 0, 0, false},
        {"overflowing scale, localized", Triangle(1e30f, 1e10f), true, false, 0, 0, 0, 0, false},
        {"NaN translation", nanMatrix, false, false, 3, 0, 0, 0, true},
        {"NaN translation, localized", nanMatrix, true, false, 0, 0, 0, 0, true},
        {"infinite scale", Triangle(kInf, 1), false, false, 9, 0, 0, 0, true},
        {"channels, no colours written", withChannels, false, false, 0, 1, 1, 0, false},
        {"channels, colours written", withChannels, false, true, 0, 1, 1, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const kvochecks::NonFiniteValues bad =
            kvochecks::CountNonFiniteWritten(c.node, {c.localize, c.colors});
        EXPECT_EQ(bad.positions, c.positions);
        EXPECT_EQ(bad.normals, c.normals);
        EXPECT_EQ(bad.uvs, c.uvs);
        EXPECT_EQ(bad.colors, c.colorValues);
        EXPECT_EQ(bad.transform, c.transform);
    }
}

TEST(WrittenValues, AnOverflowingTransformIsANonFiniteWarning) {
    kvoscene::Scene scene;
    scene.nodes.push_back(Triangle(1e30f, 1e10f));
    kvochecks::SceneCheckSettings settings;
    settings.scenePath = "scene.gltf";
    settings.outputDir = "out";
    const kvochecks::SceneCheck check = kvochecks::CheckScene(scene, settings);
    ASSERT_EQ(check.warnings.size(), 1u);
    EXPECT_EQ(check.warnings[0].code, kvochecks::WarningCode::kNonFiniteValues);
    EXPECT_NE(check.warnings[0].text.find("2 non-finite position values (moved by the node's "
                                          "transform)"),
              std::string::npos)
        << check.warnings[0].text;
    settings.localize = true;
    EXPECT_TRUE(kvochecks::CheckScene(scene, settings).warnings.empty());
}

}  // namespace
