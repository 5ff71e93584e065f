#include "cli/import/assimp_import.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "cli/import/axis_conversion.h"
#include "cli/import/import_files.h"
#include "tests/cli/cli_test_support.h"

namespace {

using kvoimport::ImportSettings;
using kvoscene::NodeKind;
using kvoscene::Scene;

const kvoscene::Node* FindNode(const Scene& scene, const std::string& name) {
    for (const kvoscene::Node& node : scene.nodes) {
        if (node.name == name) return &node;
    }
    return nullptr;
}

Scene Import(const std::string& path, kvoimport::ImportSettings settings = {}) {
    Scene scene;
    std::string error;
    EXPECT_TRUE(kvoimport::ImportWithAssimp(path, settings, scene, error)) << path << ": " << error;
    return scene;
}

// Positions given back in the file's frame, as the exporter writes them.
std::set<std::vector<float>> FilePoints(const kvoscene::Mesh& mesh) {
    std::set<std::vector<float>> points;
    for (size_t i = 0; i + 2 < mesh.positions.size(); i += 3) {
        const kvoimport::Vec3 p =
            kvoimport::ZUpToYUp({mesh.positions[i], mesh.positions[i + 1], mesh.positions[i + 2]});
        points.insert({p.x, p.y, p.z});
    }
    return points;
}

const char kObj[] =
    "mtllib parts.mtl\n"
    "v 0.1 -2.5 3.14159\nv 1e-3 7 -0.0\nv 123456.789 0.333333 -1\nv -49.713837 -2.983590 "
    "11.887197\n"
    "vt 0.25 0.75\nvn 0 1 0\n"
    "o Part_A\n"
    "usemtl red\nf 1 2 3\nusemtl green\nf 1 3 4\nusemtl red\nf 2 3 4\n"
    "o Part-B\n"
    "usemtl wood\nf 1/1/1 2/1/1 4/1/1\n";
const char kMtl[] =
    "newmtl red\nKd 1 0 0\nnewmtl green\nKd 0 1 0\n"
    "newmtl wood\nKd 1 1 1\nmap_Kd tex/b.png\n";

TEST(AssimpImport, ObjPositionsComeBackExactlyAfterTheExportersAxisChange) {
    clitest::ScratchDir dir;
    clitest::WriteFile(dir.Path("parts.obj"), kObj);
    clitest::WriteFile(dir.Path("parts.mtl"), kMtl);
    for (bool join : {true, false}) {
        kvoimport::ImportSettings settings;
        settings.joinVertices = join;
        const Scene scene = Import(dir.Path("parts.obj"), settings);
        const kvoscene::Node* a = FindNode(scene, "Part_A");
        ASSERT_NE(a, nullptr);
        std::set<std::vector<float>> expected;
        std::istringstream lines(kObj);
        std::string tag;
        for (std::string line; std::getline(lines, line);) {
            std::istringstream fields(line);
            fields >> tag;
            if (tag != "v") continue;
            std::string x, y, z;
            fields >> x >> y >> z;
            expected.insert({std::strtof(x.c_str(), nullptr), std::strtof(y.c_str(), nullptr),
                             std::strtof(z.c_str(), nullptr)});
        }
        EXPECT_EQ(FilePoints(a->mesh), expected) << "join " << join;
    }
}

TEST(AssimpImport, UsemtlSwitchesBecomeMaterialIdsOfAMultiMaterial) {
    clitest::ScratchDir dir;
    clitest::WriteFile(dir.Path("parts.obj"), kObj);
    clitest::WriteFile(dir.Path("parts.mtl"), kMtl);
    const Scene scene = Import(dir.Path("parts.obj"));
    const kvoscene::Node* a = FindNode(scene, "Part_A");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->kind, NodeKind::Geometry);
    EXPECT_EQ(a->parent, kvoscene::kNone);
    std::vector<uint16_t> ids = a->mesh.materialIds;
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<uint16_t>{0, 0, 1}));
    ASSERT_NE(a->material, kvoscene::kNone);
    const kvoscene::Material& multi = scene.materials[a->material];
    ASSERT_TRUE(multi.multi);
    std::map<uint32_t, std::string> subs;
    for (const auto& sub : multi.subs) subs[sub.first] = scene.materials[sub.second].name;
    EXPECT_EQ(subs, (std::map<uint32_t, std::string>{{0, "red"}, {1, "green"}}));

    const kvoscene::Node* b = FindNode(scene, "Part-B");
    ASSERT_NE(b, nullptr);
    ASSERT_NE(b->material, kvoscene::kNone);
    const kvoscene::Material& wood = scene.materials[b->material];
    EXPECT_FALSE(wood.multi);
    EXPECT_EQ(wood.name, "wood");
    EXPECT_TRUE(wood.hasDiffuseMap);
    EXPECT_EQ(wood.diffuseMap, "tex/b.png");
    EXPECT_EQ(b->mesh.uvFaceMode, kvoscene::ChannelFaces::SameAsPositions);
    ASSERT_EQ(b->mesh.uvs.size(), b->mesh.positions.size());
    EXPECT_EQ(b->mesh.uvs[0], 0.25f);
    EXPECT_EQ(b->mesh.uvs[1], 0.75f);
    // The file's normal (0, 1, 0) is Z-up's (0, 0, 1).
    ASSERT_EQ(b->mesh.normals.size(), b->mesh.positions.size());
    EXPECT_EQ(b->mesh.normals[1], 0.0f);
    EXPECT_EQ(b->mesh.normals[2], 1.0f);
}

TEST(AssimpImport, SampleSceneKeepsNamesKindsColoursAndHierarchy) {
    const Scene scene = Import(clitest::SamplesDir() + "/sample_scene.gltf");
    std::vector<std::string> roots;
    for (const kvoscene::Node& node : scene.nodes) {
        if (node.parent == kvoscene::kNone) roots.push_back(node.name);
    }
    EXPECT_EQ(roots, (std::vector<std::string>{"Crate - Wood", "Signal-Tower", "Rock Sphere-1",
                                               "Ground Plane", "Camera 01"}));
    const kvoscene::Node* camera = FindNode(scene, "Camera 01");
    ASSERT_NE(camera, nullptr);
    EXPECT_EQ(camera->kind, NodeKind::Camera);
    const kvoscene::Node* antenna = FindNode(scene, "Tower Antenna");
    ASSERT_NE(antenna, nullptr);
    ASSERT_NE(antenna->parent, kvoscene::kNone);
    EXPECT_EQ(scene.nodes[antenna->parent].name, "Signal-Tower");
    const kvoscene::Node* ground = FindNode(scene, "Ground Plane");
    ASSERT_NE(ground, nullptr);
    EXPECT_EQ(ground->mesh.colorFaceMode, kvoscene::ChannelFaces::SameAsPositions);
    EXPECT_EQ(ground->mesh.colors.size(), ground->mesh.positions.size());
    const kvoscene::Node* crate = FindNode(scene, "Crate - Wood");
    ASSERT_NE(crate, nullptr);
    // The file's translation (-2, 0, 1) in the host's Z-up frame.
    EXPECT_EQ(crate->transform[9], -2.0f);
    EXPECT_EQ(crate->transform[10], -1.0f);
    EXPECT_EQ(crate->transform[11], 0.0f);
    EXPECT_EQ(scene.materials[crate->material].diffuseMap, "checker.png");
}

TEST(AssimpImport, CollapseMergesTheSubtreeWithItsTransforms) {
    kvoimport::ImportSettings collapse;
    collapse.collapse = true;
    const Scene scene = Import(clitest::SamplesDir() + "/sample_scene.gltf", collapse);
    EXPECT_EQ(FindNode(scene, "Tower Antenna"), nullptr);
    const kvoscene::Node* tower = FindNode(scene, "Signal-Tower");
    ASSERT_NE(tower, nullptr);
    EXPECT_EQ(tower->mesh.FaceCount(), 48u);
    const std::set<uint16_t> ids(tower->mesh.materialIds.begin(), tower->mesh.materialIds.end());
    EXPECT_EQ(ids, (std::set<uint16_t>{0, 1, 2}));
    // The antenna's top, 1 above its origin, which sits 2.75 above the tower's.
    float top = -1e9f;
    for (size_t i = 2; i < tower->mesh.positions.size(); i += 3) {
        top = std::max(top, tower->mesh.positions[i]);
    }
    EXPECT_EQ(top, 3.75f);
}

TEST(AssimpImport, CamerasAndLightsBecomeTheirKinds) {
    const Scene scene = Import(clitest::ModelsDir() + "/assimp/test/models/Collada/duck.dae");
    std::map<std::string, NodeKind> kinds;
    for (const kvoscene::Node& node : scene.nodes) kinds[node.name] = node.kind;
    EXPECT_EQ(kinds["camera1"], NodeKind::Camera);
    EXPECT_EQ(kinds["directionalLight1"], NodeKind::Light);
    EXPECT_EQ(kinds["LOD3sp"], NodeKind::Geometry);
}

TEST(AssimpImport, UnnamedNodesGetANameFromTheFileAndTheirPosition) {
    const Scene scene = Import(clitest::ModelsDir() + "/assimp/test/models/STL/Spider_binary.stl");
    ASSERT_EQ(scene.nodes.size(), 1u);
    EXPECT_EQ(scene.nodes[0].name, "Spider_binary-0");
    EXPECT_EQ(scene.nodes[0].mesh.FaceCount(), 1368u);
}

TEST(AssimpImport, ReportsFilesItCannotRead) {
    clitest::ScratchDir dir;
    clitest::WriteFile(dir.Path("empty.obj"), "");
    for (const std::string& path :
         {dir.Path("missing.obj"), dir.Path("empty.obj"),
          clitest::ModelsDir() + "/assimp/test/models/glTF2/RecursiveNodes/RecursiveNodes.gltf"}) {
        Scene scene;
        std::string error;
        EXPECT_FALSE(kvoimport::ImportWithAssimp(path, {}, scene, error)) << path;
        EXPECT_FALSE(error.empty()) << path;
    }
}

}  // namespace

namespace {

TEST(AssimpImport, WeldingKeepsOneVertexPerDistinctCorner) {
    const std::string spider = clitest::ModelsDir() + "/assimp/test/models/OBJ/spider.obj";
    kvoimport::ImportSettings welded, unwelded;
    unwelded.joinVertices = false;
    const Scene a = Import(spider, welded), b = Import(spider, unwelded);
    ASSERT_EQ(a.nodes.size(), b.nodes.size());
    for (size_t i = 0; i < a.nodes.size(); ++i) {
        const kvoscene::Mesh& w = a.nodes[i].mesh;
        const kvoscene::Mesh& u = b.nodes[i].mesh;
        ASSERT_EQ(w.FaceCount(), u.FaceCount());
        EXPECT_EQ(u.VertexCount(), 3 * u.FaceCount());  // Assimp's OBJ corners
        // Distinct (position, normal, uv) corners of the unwelded mesh.
        std::set<std::vector<float>> corners;
        for (uint32_t v = 0; v < u.VertexCount(); ++v) {
            corners.insert({u.positions[3 * v], u.positions[3 * v + 1], u.positions[3 * v + 2],
                            u.normals[3 * v], u.normals[3 * v + 1], u.normals[3 * v + 2],
                            u.uvs[3 * v], u.uvs[3 * v + 1]});
        }
        EXPECT_EQ(w.VertexCount(), corners.size()) << a.nodes[i].name;
        // Face by face the same corners.
        for (uint32_t f = 0; f < 3 * w.FaceCount(); ++f) {
            for (int k = 0; k < 3; ++k) {
                EXPECT_EQ(w.positions[3 * w.faces[f] + k], u.positions[3 * u.faces[f] + k]);
            }
        }
    }
}

}  // namespace

namespace {

// A glTF file whose nodes form one chain `depth` long.
std::string ChainGltf(int depth) {
    std::string nodes;
    for (int i = 0; i < depth; ++i) {
        nodes += std::string(i ? "," : "") + "{\"name\":\"n" + std::to_string(i) + "\"" +
                 (i + 1 < depth ? ",\"children\":[" + std::to_string(i + 1) + "]" : "") + "}";
    }
    return "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[0]}],\"nodes\":[" +
           nodes + "]}";
}

TEST(AssimpImport, RefusesHierarchiesDeeperThanAThousandLevels) {
    clitest::ScratchDir dir;
    clitest::WriteFile(dir.Path("ok.gltf"), ChainGltf(900));
    clitest::WriteFile(dir.Path("deep.gltf"), ChainGltf(1100));
    const Scene ok = Import(dir.Path("ok.gltf"));
    // The file's single root node is Assimp's root, so 899 nodes remain.
    EXPECT_EQ(ok.nodes.size(), 899u);
    for (bool collapse : {false, true}) {
        kvoimport::ImportSettings settings;
        settings.collapse = collapse;
        Scene scene;
        std::string error;
        EXPECT_FALSE(kvoimport::ImportWithAssimp(dir.Path("deep.gltf"), settings, scene, error));
        EXPECT_EQ(error, "the node hierarchy is too deep");
    }
}

std::vector<std::string> FilesRead(const std::string& path) {
    Scene scene;
    std::string error;
    kvoimport::FilesRead files;
    EXPECT_TRUE(kvoimport::ImportWithAssimp(path, {}, scene, error, &files))
        << path << ": " << error;
    return files.Paths();
}

std::string Normal(const std::string& path) {
    return std::filesystem::path(path).lexically_normal().string();
}

TEST(AssimpImport, FilesReadAreTheSceneItsLibrariesAndTheTexturesThatExist) {
    clitest::ScratchDir dir;
    clitest::WriteFile(dir.Path("parts.obj"), std::string("mtllib gone.mtl\n") + kObj);
    clitest::WriteFile(dir.Path("parts.mtl"), std::string(kMtl) +
                                                  "map_Bump missing.png\nmap_Ks tex\\c.png\n"
                                                  "map_Ka tex/b.png\n");
    std::filesystem::create_directories(dir.Path("tex"));
    // Only images count as textures: a PNG signature, and a text that is none.
    const std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + "pixels";
    clitest::WriteFile(dir.Path("tex/b.png"), png);
    clitest::WriteFile(dir.Path("tex/c.png"), png);
    clitest::WriteFile(dir.Path("missing.png"), "not an image");
    EXPECT_EQ(FilesRead(dir.Path("parts.obj")),
              (std::vector<std::string>{dir.Path("parts.obj"), dir.Path("parts.mtl"),
                                        dir.Path("tex/b.png"), dir.Path("tex/c.png")}));
    // Given relative to the working directory, they stay relative to it.
    const std::string cwd = std::filesystem::current_path().string();
    std::filesystem::current_path(dir.Path());
    const std::vector<std::string> relative = FilesRead("./parts.obj");
    std::filesystem::current_path(cwd);
    EXPECT_EQ(relative,
              (std::vector<std::string>{"parts.obj", "parts.mtl", "tex/b.png", "tex/c.png"}));
}

TEST(AssimpImport, FilesReadOfTheSharedModels) {
    const std::string obj = clitest::ModelsDir() + "/assimp/test/models/OBJ/";
    const std::vector<std::string> spider = FilesRead(obj + "spider.obj");
    EXPECT_EQ(
        std::set<std::string>(spider.begin(), spider.end()),
        (std::set<std::string>{Normal(obj + "spider.obj"), Normal(obj + "spider.mtl"),
                               Normal(obj + "wal67ar_small.jpg"), Normal(obj + "wal69ar_small.jpg"),
                               Normal(obj + "SpiderTex.jpg"), Normal(obj + "drkwood2.jpg"),
                               Normal(obj + "engineflare1.jpg")}));
    const std::string box = clitest::ModelsDir() + "/assimp/test/models/glTF2/BoxTextured-glTF/";
    EXPECT_EQ(FilesRead(box + "BoxTextured.gltf"),
              (std::vector<std::string>{Normal(box + "BoxTextured.gltf"),
                                        Normal(box + "BoxTextured0.bin"),
                                        Normal(box + "CesiumLogoFlat.png")}));
    // A binary glTF holds its buffer and its pictures.
    const std::string truck = clitest::ModelsDir() + "/trimesh/models/CesiumMilkTruck.glb";
    EXPECT_EQ(FilesRead(truck), std::vector<std::string>{Normal(truck)});
}

}  // namespace
