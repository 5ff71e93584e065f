// The console host's checks and listing name a face group's material by
// kvoscene::GroupMaterial; the export decides it from the host scene. Both must
// agree on every node and material ID of real scenes.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "cli/import/assimp_import.h"
#include "export/material_extraction.h"
#include "kvo/kvo_material.h"
#include "platform/max/host_scene.h"
#include "scene/host_scene_builder.h"
#include "tests/cli/cli_test_support.h"
#include "tests/export/export_test_support.h"

namespace {

std::vector<std::string> Scenes() {
    std::vector<std::string> scenes = {clitest::SamplesDir() + "/sample_scene.gltf"};
    const std::set<std::string> kinds = {".fbx", ".obj", ".gltf", ".glb", ".dae",
                                         ".3ds", ".ply", ".stl",  ".DAE", ".STL"};
    for (const auto& entry : std::filesystem::recursive_directory_iterator(clitest::ModelsDir())) {
        const std::string path = entry.path().string();
        if (entry.is_regular_file() && kinds.count(entry.path().extension().string()) &&
            path.find("/invalid/") == std::string::npos) {
            scenes.push_back(path);
        }
    }
    return scenes;
}

TEST(GroupMaterial, TheChecksRuleAgreesWithTheExportOnRealScenes) {
    int compared = 0;
    int multi = 0;
    for (const std::string& path : Scenes()) {
        SCOPED_TRACE(path);
        kvoscene::Scene scene;
        std::string error;
        if (!kvoimport::ImportWithAssimp(path, {}, scene, error)) continue;
        HostScene host;
        const std::vector<INode*> nodes = kvoscene::BuildHostScene(scene, host);
        exporttest::FakeContext context;
        for (size_t i = 0; i < scene.nodes.size(); ++i) {
            const kvoscene::Node& node = scene.nodes[i];
            std::set<uint16_t> ids(node.mesh.materialIds.begin(), node.mesh.materialIds.end());
            ids.insert(0);
            ids.insert(999);  // a number no sub-material has
            for (uint16_t id : ids) {
                KvoMaterial exported[1];
                exporter::BuildMaterial(context, nodes[i], exported, 0, id);
                const kvoscene::Material* mat = kvoscene::GroupMaterial(scene, node, id);
                const std::string name = mat ? exporter::SanitizeName(mat->name) : "";
                const std::string texture =
                    mat && mat->hasDiffuseMap ? exporter::StripPath(mat->diffuseMap) : "";
                EXPECT_EQ(exported[0].name, name) << node.name << " ID " << id;
                EXPECT_EQ(*exported[0].textures[0], texture) << node.name << " ID " << id;
                ++compared;
                if (node.material != kvoscene::kNone && scene.materials[node.material].multi) {
                    ++multi;
                }
            }
        }
    }
    EXPECT_GT(compared, 100);
    EXPECT_GT(multi, 5);  // the sample scene's multi-materials at least
}

TEST(GroupMaterial, RefusesMaterialIndicesTheSceneDoesNotHold) {
    kvoscene::Scene scene;
    scene.materials.resize(1);
    scene.materials[0].multi = true;
    scene.materials[0].subs = {{2, 7}};  // no material 7
    kvoscene::Node node;
    node.material = 0;
    EXPECT_EQ(kvoscene::GroupMaterial(scene, node, 2), &scene.materials[0]);
    node.material = 3;
    EXPECT_EQ(kvoscene::GroupMaterial(scene, node, 2), nullptr);
}

}  // namespace
